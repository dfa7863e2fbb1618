#pragma once

#include <QDialog>
#include <QHash>
#include <functional>

class QIODevice;
class QLabel;
class QTableView;
class QToolButton;
class ModelloEsportazione;

// " Esporta magazzino prodotti in Microsoft Excel": every card of the archive
// as a row of a grid, some columns open to edits, written to Magazzino.xls in
// the program folder. Edits made here never reach the archive.
class TfrmExpMagazzino : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmExpMagazzino(QWidget *genitore);
    ~TfrmExpMagazzino() override;

    void cmdEsportaClick();
    void cmdEsportaXlsxClick();
    void cmdEsportaCsvClick();
    void cmdImportaCsvClick();
    void cmdGuidaClick();
    void cmdEsciClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    void riempiGriglia();
    void confermaModifica();
    // Replaces a file of the program folder whole, or leaves it as it was.
    void impostaStato(const QString &testo);

    ModelloEsportazione *m_modello = nullptr;
    QTableView *m_grdRecords = nullptr;
    QLabel *m_panInfo = nullptr;
    QHash<QObject *, QString> m_testiStato;
    bool m_riempita = false;
};
