#pragma once

#include "passes/Passate.h"
#include "report/TfrxReport.h"

#include <QDialog>
#include <QStringList>

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
    void resizeEvent(QResizeEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    void riempi();
    void impostaTotale(const QString &testo);
    void impostaConta(const QString &testo);

    // The panel's design size, and the least room left around it.
    static constexpr QSize PANNELLO{1200, 660};
    static constexpr int MARGINE = 12;

    QString m_categoria;
    QWidget *m_pan = nullptr;
    TfrxReport m_frxReport;
    QLabel *m_titTipologia = nullptr;
    QLineEdit *m_txtTrova = nullptr;
    QPushButton *m_btnTrova = nullptr;
    VistaRighe *m_lstRecords = nullptr;
    QLabel *m_lblTotale = nullptr;
    QLabel *m_panInfo = nullptr;
    QLabel *m_lblAttendere = nullptr;
    QProgressBar *m_prgAvanzamento = nullptr;
    // Cards left out of the lines and the total, named on screen and on paper.
    QStringList m_scartate;
    bool m_riempita = false;
    bool m_inPassata = false;
};

// The note about cards left out of the inventory: how many, why, which.
QString TestoScartate(const QStringList &codici);
// A text in lines of at most `larghezza` characters, broken at blanks.
QStringList DividiInRighe(const QString &testo, qsizetype larghezza);
