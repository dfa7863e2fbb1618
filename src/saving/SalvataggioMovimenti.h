#pragma once

#include "archive/TScheda.h"
#include "journal/Giornale.h"
#include "journal/StessaScheda.h"
#include "storage/Deposito.h"

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

// A change applied in the stock dialog, with its optional reason: goods in
// or out, or a count corrected ("Rettifica").
struct CambioGiacenza {
    qint64 quantita = 0;
    QString causale;
    bool rettifica = false;
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
    // The stock was not changed here: the disk's text stays as it is, even
    // one that is not a whole number.
    bool giacenzaIntatta = false;
    // Changed here, but the stock on disk, or as loaded, is no whole number
    // a movement could start from ("2,5"): nothing is written without asking.
    bool giacenzaNonIntera = false;
};
Unione UnisciScheda(const TScheda &caricata, const TScheda &mia, const TScheda &suDisco,
                    const QMap<GruppoCampi, bool> &tengoLeMie = {});

// What the user chose when asked, and what the window knows of the card it
// loaded.
struct SceltePerSalvare {
    QMap<GruppoCampi, bool> tengoLeMie; // per group changed on both sides
    // A stock on disk that is not a whole number takes this window's stock.
    bool sostituisciGiacenza = false;
    qint64 posizioneCaricata = 0; // 0: the position written
    qint64 segnoGiornale = -1;    // the journal's length when loaded, -1 unknown
};

struct EsitoSalvataggio {
    enum Esito {
        Salvata,
        Conflitto,
        AltraScheda, // see `identita`: removed, moved, or another card there
        FuoriCampo,
        GiacenzaNonIntera, // see `suDisco`: its stock takes no movement
        ErroreArchivio
    };
    Esito esito = ErroreArchivio;
    qint64 posizione = 0;
    TScheda scritta;              // what is now on disk
    QList<GruppoCampi> conflitti; // for Conflitto
    TScheda suDisco;              // for Conflitto, AltraScheda, GiacenzaNonIntera
    IdentitaScheda identita;      // for AltraScheda
    QList<Movimento> movimenti;   // recorded, or meant to be
    // False with ErroreArchivio when the journal could not be written, and
    // so the card was not saved either.
    bool giornaleScritto = true;
    // The server's words for ErroreArchivio; empty on the file.
    QString messaggio;
};

// Saves over the record at `posizione` (loaded as `caricata`) the card
// `mia`, with the stock dialog's `cambi` since loading; whatever else
// changed the stock here is a "Rettifica". Nothing is written over a record
// that is no longer the card loaded (RiconosciScheda).
EsitoSalvataggio SalvaConMovimenti(qint64 posizione, const TScheda &caricata, const TScheda &mia,
                                   const QList<CambioGiacenza> &cambi, const QString &archivio,
                                   const SceltePerSalvare &scelte = {},
                                   const QString &giornale = PercorsoGiornale());

// Appends a new card and records its stock as "Nuova scheda" (nothing when
// its stock is 0).
EsitoSalvataggio AccodaConMovimenti(const TScheda &mia, const QString &archivio,
                                    const QString &giornale = PercorsoGiornale());

// The same on a server's archive: the card is found again by its code and
// name when another site removed or moved it, and the stock delta is applied
// to the stock the server holds as it writes, with its lines in the same
// transaction.
EsitoSalvataggio SalvaConMovimenti(Deposito &deposito, qint64 posizione, const TScheda &caricata,
                                   const TScheda &mia, const QList<CambioGiacenza> &cambi,
                                   const SceltePerSalvare &scelte = {});
EsitoSalvataggio AccodaConMovimenti(Deposito &deposito, const TScheda &mia);
