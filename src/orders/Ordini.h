#pragma once

#include "passes/Passate.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Deposito;

// The order sheet: the cards at or below their reorder threshold, grouped by
// supplier, each with the quantity to order, its unit cost and the amount.

// The largest quantity an order line takes.
inline constexpr qint64 QUANTITA_MASSIMA = 999999;

// Brings the stock, with what is already on order, to twice the threshold,
// in whole pieces: at least one, or none when what is on order covers it.
qint64 QuantitaDaOrdinare(double giacenza, double avviso, qint64 inOrdine = 0);

struct RigaOrdine {
    qint64 posizione = 0;
    QString codice;
    QString nome;
    QString aspetto;
    // The texts as the card holds them, shown as they are when unreadable.
    QString testoGiacenza;
    QString testoAvviso;
    QString testoCosto;
    std::optional<double> giacenza;
    std::optional<double> avviso;
    std::optional<double> costo;
    qint64 quantita = 1;
    // Already ordered and not yet loaded.
    qint64 inOrdine = 0;
    bool inclusa = true;
    // Ticked or its quantity set by the user: what is on order, read later,
    // no longer changes them.
    bool scelta = false;

    bool leggibile() const { return giacenza && avviso && costo; }
    // Quantity x unit cost; nothing when a number of the card does not read.
    std::optional<double> importo() const;
};

struct GruppoOrdine {
    // The supplier as its first card spells it, trimmed; empty for the cards
    // that name none.
    QString fornitore;
    QString agente;
    QString recapito;
    bool incluso = true;
    std::vector<RigaOrdine> righe;

    QString nomeMostrato() const;
    // The lines that go into the order: ticked, in a ticked group.
    bool inOrdine(const RigaOrdine &riga) const { return incluso && riga.inclusa; }
    int righeInOrdine() const;
    // The amounts of those lines that read.
    double totale() const;
};

struct EsitoOrdini {
    // False when the archive could not be opened or read: the groups hold
    // what was found before.
    bool riuscito = true;
    std::vector<GruppoOrdine> gruppi;
    // Cards whose stock, threshold or cost does not read, in file order.
    QStringList nonLeggibili;
    // On a server, why it was not read.
    QString messaggio;
};

// One pass over the archive. A card is listed when its stock is at or below
// its threshold; a card whose stock or threshold does not read is listed too,
// not ticked, since it may be short. Groups come in the lists' order of their
// supplier (those without one last), lines in code order.
EsitoOrdini RaccogliOrdini(const QString &archivio, const Avanza &avanza = {});
// The same on the archive in `deposito`.
EsitoOrdini RaccogliOrdini(Deposito &deposito, const Avanza &avanza = {});

// Amounts as an order shows them: two decimals, decimal comma.
QString TestoEuro(double importo);
// "n.d." when there is no amount.
QString TestoImporto(const std::optional<double> &importo);
// The total of every line in the order.
double TotaleOrdini(const std::vector<GruppoOrdine> &gruppi);

// The message naming the cards whose numbers do not read.
QString MessaggioNonLeggibili(const QStringList &codici);
