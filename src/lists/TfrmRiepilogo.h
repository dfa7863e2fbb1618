#pragma once

#include "lists/Passate.h"
#include "report/TfrxReport.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class VistaRighe;

// " Quadrelo - Inventario Merce": every card, or those of one category, with
// its value (stock x cost), the total value in stock and the number of
// articles. Filled once, when shown; its lines open no card.
class TfrmRiepilogo : public QDialog {
    Q_OBJECT
  public:
    // `categoria` is the prompt's category as typed.
    TfrmRiepilogo(QWidget *genitore, const QString &categoria);
    ~TfrmRiepilogo() override;

    TfrxReport &frxReport() { return m_frxReport; }
    VistaRighe *lstRecords() const { return m_lstRecords; }
    void setVisible(bool visibile) override;
    void done(int esito) override;

  public slots:
    void btnTrovaClick();
    void btnStampaClick();

  protected:
    void closeEvent(QCloseEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    void riempi();
    void impostaTotale(const QString &testo);
    void impostaConta(const QString &testo);

    QString m_categoria;
    TfrxReport m_frxReport;
    QLabel *m_titTipologia = nullptr;
    QLineEdit *m_txtTrova = nullptr;
    QPushButton *m_btnTrova = nullptr;
    VistaRighe *m_lstRecords = nullptr;
    QLabel *m_lblTotale = nullptr;
    QLabel *m_panInfo = nullptr;
    QLabel *m_lblAttendere = nullptr;
    QProgressBar *m_prgAvanzamento = nullptr;
    bool m_riempita = false;
    bool m_inPassata = false;
};
