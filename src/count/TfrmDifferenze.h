#pragma once

#include "count/Conteggio.h"
#include "count/StampaConteggio.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class ModelloDifferenze;

// The count against the cards: every card with its book stock, counted,
// moved after its count, new stock, difference and its value at cost,
// largest value first; filters, totals, printing, PDF, CSV, and applying.
class TfrmDifferenze : public QDialog {
    Q_OBJECT
  public:
    TfrmDifferenze(QWidget *genitore, Conteggio &conteggio, QString archivio);
    ~TfrmDifferenze() override;

    QComboBox *cboFiltro = nullptr;
    QTableView *grdDifferenze = nullptr;
    QLabel *lblTotali = nullptr;
    QPushButton *btnApplica = nullptr;
    QPushButton *btnStampa = nullptr;
    QPushButton *btnPdf = nullptr;
    QPushButton *btnEsporta = nullptr;
    QPushButton *btnChiudi = nullptr;

    const Differenze &differenze() const { return m_differenze; }

  public slots:
    void calcola();
    void btnApplicaClick();
    void btnStampaClick();
    void btnPdfClick();
    void btnEsportaClick();

  private:
    FiltroDifferenze filtro() const;
    QString titolo() const;

    Conteggio &m_conteggio;
    QString m_archivio;
    Differenze m_differenze;
    ModelloDifferenze *m_modello = nullptr;
};
