#pragma once

#include "lists/ElencoSchede.h"

// " Materiali in esaurimento": the cards whose stock is at or below their
// reorder threshold.
class TfrmSottoscorta : public ElencoSchede {
    Q_OBJECT
  public:
    explicit TfrmSottoscorta(QWidget *genitore = nullptr);

  protected:
    QString &ultimaChiave() override;
    const FormatoRiga &formato() const override;
    QString titoloStampa() const override;
    EsitoElenco passata(const Avanza &avanza) const override;
    void segnalaScartate(const QStringList &codici) override;
};
