#pragma once

#include "orders/OrdiniAperti.h"

#include <QDialog>
#include <QStandardItemModel>

class QLabel;
class QPushButton;
class QTreeView;

// " Ordini aperti": what is still to come from each supplier, whatever the
// cards' stock now, and closing what will never come.
class TfrmOrdiniAperti : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmOrdiniAperti(const OrdiniAperti &aperti, QWidget *genitore = nullptr);

    enum Colonna { Codice, Nome, Giacenza, Soglia, DaRicevere };
    static constexpr int COLONNE = 5;

    // What is on order after the closings made here.
    const OrdiniAperti &aperti() const { return m_aperti; }
    // Whether an order was closed here.
    bool cambiati() const { return m_cambiati; }

  public slots:
    void btnChiudiOrdineClick();

  protected:
    void paintEvent(QPaintEvent *evento) override;

  private:
    void riempi();

    OrdiniAperti m_aperti;
    std::vector<GruppoOrdine> m_gruppi;
    QStandardItemModel m_modello;
    QTreeView *m_trvAperti = nullptr;
    QLabel *m_lblRiepilogo = nullptr;
    QPushButton *m_btnChiudiOrdine = nullptr;
    QPushButton *m_btnChiudi = nullptr;
    bool m_cambiati = false;
};
