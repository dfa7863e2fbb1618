#pragma once

#include "lists/ElencoSchede.h"

#include <QHash>

class LetturaOrdiniAperti;

// " Materiali in esaurimento": the cards whose stock is at or below their
// reorder threshold.
class TfrmSottoscorta : public ElencoSchede {
    Q_OBJECT
  public:
    explicit TfrmSottoscorta(QWidget *genitore = nullptr);

  public slots:
    // Opens the order window, one order per supplier.
    void btnOrdiniClick();

  protected:
    QString &ultimaChiave() override;
    const FormatoRiga &formato() const override;
    QString titoloStampa() const override;
    EsitoElenco passata(const Avanza &avanza) const override;
    void segnalaScartate(const QStringList &codici) override;
    void riempito(const EsitoElenco &esito) override;

  private:
    void mostraInOrdine();

    QPushButton *m_btnOrdini = nullptr;
    // What is on order for the chosen line's card.
    QLabel *m_lblInOrdine = nullptr;
    QHash<qint64, qint64> m_inOrdine;
    // The journal is read on a thread of its own; the label waits for it.
    LetturaOrdiniAperti *m_lettura = nullptr;
};
