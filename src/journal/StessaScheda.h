#pragma once

#include "archive/TScheda.h"
#include "journal/Giornale.h"

#include <QString>
#include <optional>

// "Is this still my card?" A position alone says nothing: removing a card
// moves the last card into the freed position, so a window that loaded a
// card may find another one there, or nothing. Every command that writes
// over a card a window loaded asks here first.

// Where a window's card is, as far as the journal tells: removals and moves
// are always recorded, so the lines since the card was loaded say whether it
// left its position.
struct PercorsoScheda {
    bool eliminata = false;
    qint64 posizione = 0; // where it is now, when not removed
};
PercorsoScheda SeguiScheda(qint64 posizioneCaricata, qint64 segnoGiornale,
                           const QString &giornale = PercorsoGiornale());

// The journal's length now: the mark a window keeps with the card it loads,
// -1 when the journal cannot be looked at.
qint64 SegnoGiornale(const QString &giornale = PercorsoGiornale());

struct IdentitaScheda {
    enum Esito {
        Stessa,    // the window's card, perhaps changed by another copy
        Eliminata, // removed by another copy
        Spostata,  // moved to `posizione` by another copy's removal
        Altra,     // another card, with neither its code nor its name
        Mancante   // the archive ends before it, and the journal does not say why
    };
    Esito esito = Stessa;
    qint64 posizione = 0;
};
// Whether `suDisco`, the record now at `posizione` (nothing when the archive
// ends before it), is still the card loaded as `caricata` at
// `posizioneCaricata` while the journal was `segnoGiornale` long: the same
// bytes; or, when another copy changed it, no removal or move of it in the
// journal since and its code or name still the same.
IdentitaScheda RiconosciScheda(qint64 posizione, const std::optional<TScheda> &suDisco,
                               qint64 posizioneCaricata, const TScheda &caricata,
                               qint64 segnoGiornale, const QString &giornale = PercorsoGiornale());
