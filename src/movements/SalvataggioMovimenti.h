#pragma once

#include "archive/TScheda.h"
#include "movements/Giornale.h"

#include <QList>
#include <QMap>
#include <QString>

// Saving a card as a stock movement: the card window keeps the record as it
// loaded it and the changes of the stock dialog since; a save applies them to
// the stock on disk and records them. A save that changes the stock writes
// the card and its lines as one operation (through the intent record beside
// the archive, made final by the last line), so a crash or a journal that
// cannot be written leaves neither; one that does not is one write of the
// record in place under its lock.

// A change applied in the stock dialog, with its optional reason.
struct CambioGiacenza {
    qint64 quantita = 0;
    QString causale;
};

// The fields a question about another copy's changes names together.
enum class GruppoCampi { Prodotto, Fornitore, Note, Allegati };
QString NomeGruppo(GruppoCampi gruppo);
QList<Campo> CampiDelGruppo(GruppoCampi gruppo);

// The card to write when another copy may have changed the record since it
// was loaded: the stock is the stock on disk plus this window's change; a
// field changed only here takes this window's value, one changed only there
// keeps the disk's; a group changed on both sides takes `mie` or the disk's
// as chosen, and is named in `conflitti` while no choice is made.
struct Unione {
    TScheda scheda;
    qint64 giacenzaDisco = 0;
    qint64 giacenza = 0;
    QList<GruppoCampi> conflitti;
    bool altraScheda = false; // the position now holds another card
};
Unione UnisciScheda(const TScheda &caricata, const TScheda &mia, const TScheda &suDisco,
                    const QMap<GruppoCampi, bool> &tengoLeMie = {});

struct EsitoSalvataggio {
    enum Esito { Salvata, Conflitto, AltraScheda, FuoriCampo, ErroreArchivio };
    Esito esito = ErroreArchivio;
    qint64 posizione = 0;
    TScheda scritta;              // what is now on disk
    QList<GruppoCampi> conflitti; // for Conflitto
    TScheda suDisco;              // for Conflitto and AltraScheda
    QList<Movimento> movimenti;   // recorded, or meant to be
    // False with ErroreArchivio when the journal could not be written, and
    // so the card was not saved either.
    bool giornaleScritto = true;
};

// Saves over the record at `posizione` (loaded as `caricata`) the card
// `mia`, with the stock dialog's `cambi` since loading; whatever else
// changed the stock here is a "Rettifica".
EsitoSalvataggio SalvaConMovimenti(qint64 posizione, const TScheda &caricata, const TScheda &mia,
                                   const QList<CambioGiacenza> &cambi, const QString &archivio,
                                   const QMap<GruppoCampi, bool> &tengoLeMie = {},
                                   const QString &giornale = PercorsoGiornale());

// Appends a new card and records its stock as "Nuova scheda" (nothing when
// its stock is 0).
EsitoSalvataggio AccodaConMovimenti(const TScheda &mia, const QString &archivio,
                                    const QString &giornale = PercorsoGiornale());
