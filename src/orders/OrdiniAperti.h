#pragma once

#include "archive/CartellaProgramma.h"
#include "journal/Giornale.h"
#include "orders/Ordini.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <vector>

class Deposito;

// What is on order: the journal's "Ordine" lines, less what was loaded since.
// Read in file order for each card position: an order adds its quantity (a
// cancelled one takes it back), a "Carico" lowers what is open, never below
// zero; a card that moves takes its open quantity with it, and a removed,
// new or restored card starts with none. The lines of one order count only
// when its last line is there (a crash may have cut the append short).
struct OrdiniAperti {
    bool letto = true;              // false when the journal exists but cannot be read
    QHash<qint64, qint64> quantita; // record position -> quantity still to come
    QString messaggio;              // on a server, why it was not read
};
// `ferma`, when set meanwhile, stops the reading (what was read so far is
// given, and of no use).
OrdiniAperti LeggiOrdiniAperti(const QString &giornale = PercorsoGiornale(),
                               const std::atomic_bool *ferma = nullptr);
// The same from the journal of the archive in `deposito`.
OrdiniAperti LeggiOrdiniAperti(Deposito &deposito);

// Sets the quantity on order of every line, and proposes again what is
// missing after it on the lines the user has not touched: a card that what
// is on order covers is left unticked.
void ApplicaOrdiniAperti(std::vector<GruppoOrdine> &gruppi, const OrdiniAperti &aperti);

// The cards with something on order, whatever their stock now, grouped by
// supplier as the order is; each line's quantity is what is still to come.
EsitoOrdini RaccogliOrdiniAperti(const OrdiniAperti &aperti,
                                 const QString &archivio = PercorsoArchivio());
EsitoOrdini RaccogliOrdiniAperti(const OrdiniAperti &aperti, Deposito &deposito);

struct RegistrazioneOrdine {
    enum Esito { Fatto, NienteDaRegistrare, SchedaCambiata, ErroreArchivio, GiornaleNonScritto };
    Esito esito = NienteDaRegistrare;
    qint64 righe = 0;
    QString codice;    // the card found changed
    QString messaggio; // on a server, why nothing was recorded
};

// Records an "Ordine" line for every line in the order, with its quantity,
// all at once or none: one append, whose last line makes it final. Each
// card is read again first: one whose code is no longer at its position
// (removed meanwhile by another copy) stops it all. On success the lines'
// quantities on order grow by what was recorded.
RegistrazioneOrdine SegnaOrdinato(std::vector<GruppoOrdine> &gruppi, const QString &archivio,
                                  const QString &giornale = PercorsoGiornale());
RegistrazioneOrdine SegnaOrdinato(std::vector<GruppoOrdine> &gruppi, Deposito &deposito);

// Cancels what is on order for one line of a group (riga >= 0) or for all its
// lines: the opposite "Ordine" lines are recorded.
RegistrazioneOrdine AnnullaOrdine(GruppoOrdine &gruppo, int riga, const QString &archivio,
                                  const QString &giornale = PercorsoGiornale());
RegistrazioneOrdine AnnullaOrdine(GruppoOrdine &gruppo, int riga, Deposito &deposito);
