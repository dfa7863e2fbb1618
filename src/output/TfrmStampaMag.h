#pragma once

#include "output/FinestraStampaScheda.h"

// " Stampa scheda": prints the card shown in the card window on A4, with or
// without its photo, through the print dialog.
class TfrmStampaMag : public FinestraStampaScheda {
    Q_OBJECT
  public:
    explicit TfrmStampaMag(QWidget *scheda);

  protected:
    void concludi(TfrxReport &modello) override;
};
