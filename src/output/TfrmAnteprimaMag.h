#pragma once

#include "output/FinestraStampaScheda.h"

// " Anteprima di stampa": shows the card shown in the card window, with or
// without its photo, in the preview window, from which it can be printed.
class TfrmAnteprimaMag : public FinestraStampaScheda {
    Q_OBJECT
  public:
    explicit TfrmAnteprimaMag(QWidget *scheda);

  protected:
    void concludi(TfrxReport &modello) override;
};
