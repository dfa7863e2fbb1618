#pragma once

#include "orders/LetturaOrdiniAperti.h"
#include "orders/ModelloOrdini.h"
#include "orders/OrdiniAperti.h"

#include <QDate>
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

// " Ordini ai fornitori": the cards at or below their threshold grouped by
// supplier, ready to become one order per supplier. Filled once, when first
// shown; what is on order is read meanwhile and fills its column when ready.
class TfrmOrdini : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmOrdini(QWidget *genitore = nullptr);
    ~TfrmOrdini() override;

    void setVisible(bool visibile) override;

    ModelloOrdini &modello() { return m_modello; }
    // The order's date: the day the window was opened.
    QDate data() const { return m_data; }

  public slots:
    void btnAnteprimaClick();
    void btnStampaClick();
    void btnSalvaPdfClick();
    void btnSalvaCsvClick();
    void btnInviaClick();
    void btnSegnaOrdinatoClick();
    void btnAnnullaOrdineClick();
    void btnOrdiniApertiClick();

  protected:
    void paintEvent(QPaintEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    void done(int esito) override;

  private:
    void riempi();
    // What is on order, once read, goes into the lines shown.
    void applicaInOrdine();
    // Takes what is on order for the lines after recording in the journal.
    void seguiLeRighe();
    // The note while the shop's data is missing, read when the window opens and
    // after "Dati del negozio", not at every change of the order.
    void mostraNegozio();
    void mostraTotale();
    // False, after telling the user, when nothing is ticked.
    bool qualcosaDaOrdinare();
    // The supplier of the current row, else the first with lines in the order; -1 for none.
    int gruppoScelto() const;
    // Tells the user how recording in the journal went; true when it was done.
    bool riportaRegistrazione(const RegistrazioneOrdine &esito);

    ModelloOrdini m_modello;
    DelegatoQuantita m_delegato;
    QDate m_data;
    QTreeView *m_trvOrdini = nullptr;
    QLabel *m_lblAttendere = nullptr;
    QProgressBar *m_prgAvanzamento = nullptr;
    QLabel *m_lblTotale = nullptr;
    QLabel *m_lblNegozio = nullptr; // said while the shop's data is missing
    QPushButton *m_btnAnteprima = nullptr;
    QPushButton *m_btnStampa = nullptr;
    QPushButton *m_btnSalvaPdf = nullptr;
    QPushButton *m_btnSalvaCsv = nullptr;
    QPushButton *m_btnInvia = nullptr;
    QPushButton *m_btnSegnaOrdinato = nullptr;
    QPushButton *m_btnAnnullaOrdine = nullptr;
    QPushButton *m_btnOrdiniAperti = nullptr;
    LetturaOrdiniAperti m_lettura;
    // What is on order, as read and then changed by this window.
    std::optional<OrdiniAperti> m_aperti;
    QPushButton *m_btnChiudi = nullptr;
    bool m_riempita = false;
    bool m_inPassata = false;
};
