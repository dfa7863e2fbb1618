#pragma once

#include "archive/TScheda.h"
#include "journal/Giornale.h"

#include <QList>
#include <QString>

// Removing a card and bringing it back. The removed card's record goes into
// the journal ("Eliminazione"), its photo into the folder "Schede eliminate"
// beside the archive; the last card moves into the freed position with its
// photo ("Spostamento") and the archive is cut by one record.

// The journal line is what makes a removal or a restore final: when it cannot
// be written (GiornaleNonScritto) the archive is left as it was.
struct EsitoEliminazione {
    enum Esito { Fatta, NonPiuLaStessa, ErroreArchivio, GiornaleNonScritto };
    Esito esito = ErroreArchivio;
    int errore = 0;
    qint64 spostataDa = 0; // the moved card's old position, 0 when none moved
    TScheda spostata;      // the card now at the removed one's position
};

// Removes the card at `posizione` if it is still `attesa` byte for byte.
EsitoEliminazione EliminaScheda(qint64 posizione, const TScheda &attesa, const QString &archivio,
                                const QString &giornale = PercorsoGiornale());

// A removed card as the journal keeps it.
struct SchedaEliminata {
    Movimento movimento; // the "Eliminazione" line
    TScheda scheda;
    QString chiave; // names the kept photo and the restore
};
// The removed cards not brought back yet, newest first.
QList<SchedaEliminata> SchedeEliminate(const QString &giornale = PercorsoGiornale(),
                                       qint64 *danneggiate = nullptr);

struct EsitoRipristinoScheda {
    // GiaRipristinata: another copy brought the card back first.
    enum Esito { Fatto, ErroreArchivio, GiornaleNonScritto, GiaRipristinata };
    Esito esito = ErroreArchivio;
    int errore = 0;
    qint64 posizione = -1; // the card's new position
};
// Appends the removed card back with its photo ("Ripristino"), unless the
// journal already has its "Ripristino" line: a card is never back twice.
EsitoRipristinoScheda RipristinaScheda(const SchedaEliminata &eliminata, const QString &archivio,
                                       const QString &giornale = PercorsoGiornale());

// The lines a removal, a move and a restore write, for every storage: a
// removal's key (date, time and position) names its kept photo
// (NomeFotoEliminata, in the removed cards' folder) and its restore.
QString ChiaveEliminazione(qint64 posizione);
QString NomeFotoEliminata(const QString &chiave);
Movimento RigaEliminazione(qint64 posizione, const TScheda &attesa, const QString &chiave,
                           bool conFoto);
Movimento RigaSpostamento(const TScheda &spostata, qint64 posizione, qint64 spostataDa);
Movimento RigaRipristino(const SchedaEliminata &eliminata);

// The folder where removed cards' photos are kept, beside the archive.
QString CartellaEliminate(const QString &archivio);
