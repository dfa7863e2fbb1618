#pragma once

#include "sheets/ImportaCsv.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;
class ModelloAnteprimaCsv;

// " Importa schede da CSV": the rows of the chosen file as they will become
// or change cards, each with its state, the field each column goes to, values
// for what the file lacks, and the button that writes them to the archive,
// all or nothing.
class TfrmImportaCsv : public QDialog {
    Q_OBJECT
  public:
    // `deposito`: the archive the rows are checked against and written to.
    TfrmImportaCsv(QWidget *genitore, Importazione importazione, const QString &nomeFile,
                   Deposito &deposito);
    ~TfrmImportaCsv() override;

    void btnImportaClick();
    // After a successful import: the position of the first new card, and the
    // cards changed.
    qint64 primaPosizione() const { return m_prima; }
    const std::vector<qint64> &posizioniAggiornate() const { return m_aggiornate; }
    const Importazione &importazione() const { return m_importazione; }
    // The new cards, in the order they were appended.
    std::vector<qsizetype> righeNuove() const;

  protected:
    void resizeEvent(QResizeEvent *evento) override;
    void showEvent(QShowEvent *evento) override;

  private:
    void ricalcola();
    void aggiornaTesti();
    void allineaColonne();
    void mostraRigaCorrente();
    SceltaImportazione sceltaCorrente() const;

    Importazione m_importazione;
    QString m_nomeFile;
    Deposito &m_deposito;
    ModelloAnteprimaCsv *m_modello = nullptr;
    QTableView *m_grdAnteprima = nullptr;
    QWidget *m_panColonne = nullptr;
    QList<QComboBox *> m_cboColonne;
    QLabel *m_lblRiepilogo = nullptr;
    QLabel *m_lblNote = nullptr;
    QLabel *m_lblMotivo = nullptr;
    QWidget *m_panNome = nullptr;
    QWidget *m_panCosto = nullptr;
    QWidget *m_panCategoria = nullptr;
    QLineEdit *m_txtNome = nullptr;
    QLineEdit *m_txtCosto = nullptr;
    QLineEdit *m_txtCategoria = nullptr;
    QComboBox *m_cboPagato = nullptr;
    QComboBox *m_cboGiacenza = nullptr;
    QCheckBox *m_chkSoloRifiutate = nullptr;
    QPushButton *m_btnImporta = nullptr;
    qint64 m_prima = -1;
    std::vector<qint64> m_aggiornate;
};

// Where the choice of columns for a file's header is remembered.
QList<int> ColonneRicordate(const QStringList &intestazione);
void RicordaColonne(const QStringList &intestazione, const QList<int> &colonne);
