#pragma once

#include "invoices/AbbinamentiFattura.h"
#include "invoices/FatturaElettronica.h"

#include <QDialog>
#include <QList>
#include <QSet>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// " Carico da fattura elettronica": the invoices of the chosen files as a
// person reads them (supplier, number, date, type, DDT, every line), the card
// each line goes to, and the command that receives the goods after a preview.
class TfrmFattura : public QDialog {
    Q_OBJECT
  public:
    TfrmFattura(QWidget *genitore, QList<FileFattura> file, const QString &archivio,
                const QString &giornale);

    // The commands, also for tests.
    void btnScegliClick();
    void btnNuovaClick();
    void btnNonMerceClick();
    void btnCaricaClick();
    // Invoices loaded by this window.
    int caricate() const { return int(m_caricate.size()); }

  private:
    struct Voce {
        int file = 0;
        int fattura = 0;
        QList<AbbinamentoRiga> righe;
        bool letta = false;
    };
    void mostraFattura(int indice);
    void mostraRiga(int riga);
    void aggiornaRiepilogo();
    const Fattura &fattura() const;
    Voce &voce() { return m_voci[m_corrente]; }
    int rigaCorrente() const;

    QList<FileFattura> m_file;
    QString m_archivio;
    QString m_giornale;
    AbbinamentiRicordati m_ricordati;
    QList<Voce> m_voci;
    int m_corrente = 0;
    QSet<int> m_caricate;

    QComboBox *m_cboFattura = nullptr;
    QLabel *m_lblIntestazione = nullptr;
    QLineEdit *m_txtDitta = nullptr;
    QComboBox *m_cboCosto = nullptr;
    QTableWidget *m_grdRighe = nullptr;
    QLabel *m_lblRiga = nullptr;
    QLabel *m_lblRiepilogo = nullptr;
    QPushButton *m_btnScegli = nullptr;
    QPushButton *m_btnNuova = nullptr;
    QPushButton *m_btnNonMerce = nullptr;
    QPushButton *m_btnCarica = nullptr;
};
