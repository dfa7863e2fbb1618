#pragma once

#include "lists/ElencoSchede.h"

// " Riepilogo pagamenti non saldati": the cards whose paid flag reads "No".
class TfrmDaSaldare : public ElencoSchede {
    Q_OBJECT
  public:
    explicit TfrmDaSaldare(QWidget *genitore = nullptr);

  protected:
    QString &ultimaChiave() override;
    const FormatoRiga &formato() const override;
    QString titoloStampa() const override;
    EsitoElenco passata(const Avanza &avanza) const override;
    void riempito(const EsitoElenco &esito) override;
    void segnalaScartate(const QStringList &codici) override;

  private:
    // The number of lines and what is owed for them at cost.
    QLabel *m_lblDovuto = nullptr;
};
