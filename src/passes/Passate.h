#pragma once

#include "passes/Righe.h"
#include "storage/Deposito.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

// The passes that fill the lists: one sequential read of the archive through
// ScorriArchivio, looking only at the bytes of the fields a pass needs and
// building lines only for the cards it lists. Nothing is decoded for a card
// that is not listed.

// Called now and then with the records read so far and the records in the
// archive when the pass began, so a window can show how far it is.
using Avanza = std::function<void(qint64 letti, qint64 totale)>;

struct EsitoElenco {
    // False when the archive could not be opened, created or read: the lines
    // are those found before the failure.
    bool riuscito = true;
    Righe righe;
    // Cards left out because a number in them cannot be read: their codes
    // (or "scheda n. <position>" for a card without one), in file order.
    QStringList scartate;
    // The inventory's running total, in file order.
    double totale = 0;
    // Why a pass through a storage other than the folder failed, in words for
    // the user; empty for the record file, whose message is the usual one.
    QString messaggio;
};

// The search boxes in order: code, cost, name, category, characteristics,
// place, supplier, agent, purchase document, notes.
inline constexpr int CASELLE_RICERCA = 10;
inline constexpr std::array<Campo, CASELLE_RICERCA> CAMPI_RICERCA = {
    Campo::Codice,       Campo::Costo, Campo::Nome,   Campo::Tipologia, Campo::Caratteristiche,
    Campo::Collocazione, Campo::Ditta, Campo::Agente, Campo::Documento, Campo::Note};

// How many boxes count as filled: their text, trimmed, is not empty.
int CaselleCompilate(const std::array<QString, CASELLE_RICERCA> &caselle);

// Search: a card is listed when at least as many boxes match as are filled.
// A box matches when its text as typed, lower-cased, occurs in its field.
EsitoElenco CercaSchede(const QString &archivio,
                        const std::array<QString, CASELLE_RICERCA> &caselle,
                        const Avanza &avanza = {});
// Cards whose stock is at or below their threshold.
EsitoElenco ElencaSottoscorta(const QString &archivio, const Avanza &avanza = {});
// Cards whose paid text, trimmed, is exactly "No", with the total of their
// values at cost; a card whose value does not read stays listed and is named
// among the left-out ones.
EsitoElenco ElencaDaSaldare(const QString &archivio, const Avanza &avanza = {});
// All cards, or those whose category holds `categoria` (as typed), with
// value = stock x cost at the end of each line and the running total.
EsitoElenco ElencaInventario(const QString &archivio, const QString &categoria,
                             const Avanza &avanza = {});

// The same passes on the archive in use: the record file read in place as
// above, or a storage through its interface, with the same lines, order,
// left-out cards and total.
EsitoElenco CercaSchede(Deposito &deposito, const std::array<QString, CASELLE_RICERCA> &caselle,
                        const Avanza &avanza = {});
EsitoElenco ElencaSottoscorta(Deposito &deposito, const Avanza &avanza = {});
EsitoElenco ElencaDaSaldare(Deposito &deposito, const Avanza &avanza = {});
EsitoElenco ElencaInventario(Deposito &deposito, const QString &categoria,
                             const Avanza &avanza = {});

// A card's value at cost as the inventory reckons it: stock x cost; nothing
// when either does not read.
std::optional<double> ValoreACosto(const TScheda &scheda);

// The total as the inventory shows it: "€ " and two to four decimals.
QString TestoTotale(double totale);

// The number reading rule on the bytes of a field.
std::optional<double> LeggiNumeroGrezzo(std::string_view testo);
// The number writing rule into bytes, without building a text: appends what
// ScriviNumero writes.
void ScriviNumeroGrezzo(double valore, std::string &uscita);

// The card a line was made from: the record at the line's position when it
// still gives the same line; otherwise, as when the archive has changed since
// the list was filled, the last record in file order that gives it.
// False when there is none or the archive cannot be read.
bool SchedaDellaRiga(const QString &archivio, const FormatoRiga &formato, const QString &riga,
                     qint64 posizioneRiga, TScheda &scheda, qint64 &posizione);

bool SchedaDellaRiga(Deposito &deposito, const FormatoRiga &formato, const QString &riga,
                     qint64 posizioneRiga, TScheda &scheda, qint64 &posizione);

// "<n> schede" / "1 scheda": a count with its noun, singular for one.
QString ContaConNome(qsizetype n, const QString &singolare, const QString &plurale);

// The codes named in a message about left-out cards: the first ten, then "...".
QString ElencoCodici(const QStringList &codici);
