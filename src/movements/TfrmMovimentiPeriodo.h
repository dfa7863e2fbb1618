#pragma once

#include "movements/Periodo.h"
#include "report/TfrxReport.h"

#include <QDialog>

class QChart;
class QChartView;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class ModelloMovimenti;

// Movements between two days: every movement, totals in and out per card and
// per category with their value at cost, a bar chart of the value in and out
// per month; printed and exported to CSV.
class TfrmMovimentiPeriodo : public QDialog {
    Q_OBJECT
  public:
    // The program folder's journal stands for the archive in use: on a
    // server, the server's.
    explicit TfrmMovimentiPeriodo(QWidget *genitore, const QString &giornale = PercorsoGiornale());
    TfrmMovimentiPeriodo(QWidget *genitore, Deposito &deposito);
    ~TfrmMovimentiPeriodo() override;

    QLineEdit *txtDal;
    QPushButton *btnDal;
    QLineEdit *txtAl;
    QPushButton *btnAl;
    QPushButton *btnCalcola;
    QProgressBar *prgAvanzamento;
    QTabWidget *tabRiepilogo;
    QTableView *grdMovimenti;
    QTableWidget *grdSchede;
    QTableWidget *grdCategorie;
    QChartView *graMesi;
    QLabel *lblTotale;
    QLabel *lblAvviso;
    QPushButton *btnStampa;
    QPushButton *btnEsporta;
    QPushButton *btnChiudi;

    const RiepilogoPeriodo &riepilogo() const { return m_riepilogo; }
    TfrxReport &frxReport() { return m_report; }

    static QChart *Grafico(const RiepilogoPeriodo &riepilogo);
    QStringList righeStampa() const;

  public slots:
    void btnCalcolaClick();
    void btnStampaClick();
    void btnEsportaClick();

  private:
    void prepara();
    std::optional<Movimento> movimento(qint64 numero) const;
    void scegliData(QLineEdit *casella);
    bool leggiDate(QDate &dal, QDate &al);

    QString m_giornale;
    Deposito *m_deposito = nullptr; // a server's archive; null for the file above
    QDate m_dal;
    QDate m_al;
    RiepilogoPeriodo m_riepilogo;
    ModelloMovimenti *m_modello;
    TfrxReport m_report;
    bool m_inPassata = false;
};
