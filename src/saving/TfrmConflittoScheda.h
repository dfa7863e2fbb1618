#pragma once

#include "saving/SalvataggioMovimenti.h"

#include <QDialog>
#include <QMap>

class QComboBox;
class QPushButton;

// Another copy changed the card since this window loaded it, in fields this
// window changed too: for each group, keep this window's values or take the
// other copy's; or reload the card as it is now.
class TfrmConflittoScheda : public QDialog {
    Q_OBJECT
  public:
    enum Scelta { Annulla, Salva, Ricarica };

    TfrmConflittoScheda(QWidget *genitore, const QList<GruppoCampi> &gruppi, const TScheda &mia,
                        const TScheda &suDisco);

    QMap<GruppoCampi, QComboBox *> cmbGruppi;
    QPushButton *btnSalva;
    QPushButton *btnRicarica;
    QPushButton *btnAnnulla;

    Scelta scelta() const { return m_scelta; }
    // For each group: true to keep this window's values.
    QMap<GruppoCampi, bool> tengoLeMie() const;

  private:
    Scelta m_scelta = Annulla;
};
