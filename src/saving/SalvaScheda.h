#pragma once

#include "archive/CartellaProgramma.h"
#include "saving/SalvataggioMovimenti.h"

class QWidget;

// The card window's save through the journal: the card's stock changes go to
// the stock on disk as movements, and when another copy changed the card
// since it was loaded the user is asked (fields changed on both sides, or a
// position that now holds another card). Archive errors are reported here;
// the window shows its own message of success.
struct SalvataggioScheda {
    enum Esito { Salvata, NonSalvata, Ricaricare };
    Esito esito = NonSalvata;
    qint64 posizione = 0;
    bool nuova = false; // appended, also in place of a position that holds another card now
    TScheda scritta;    // Salvata: the card now on disk; Ricaricare: the card to show
    bool giornaleScritto = true;
};

// `segnoGiornale`: the journal's length when the card was loaded
// (SegnoGiornale), which tells whether another copy removed or moved it since.
SalvataggioScheda SalvaScheda(QWidget *finestra, qint64 posizione, const TScheda &caricata,
                              const TScheda &mia, const QList<CambioGiacenza> &cambi,
                              const QString &archivio = PercorsoArchivio(),
                              const QString &giornale = PercorsoGiornale(),
                              qint64 segnoGiornale = -1);

// The same on the archive in use: the file's code above, or the server's.
SalvataggioScheda SalvaScheda(QWidget *finestra, Deposito &deposito, qint64 posizione,
                              const TScheda &caricata, const TScheda &mia,
                              const QList<CambioGiacenza> &cambi, qint64 segnoGiornale = -1);

// After the window's message of success: says that the movements were not
// recorded, when so.
void AvvisaGiornale(QWidget *finestra, const SalvataggioScheda &salvataggio);
