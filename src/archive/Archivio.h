#pragma once

#include "archive/IntentoArchivio.h"
#include "archive/TScheda.h"

#include <QString>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

// The archive access message shown by the card window for any failure.
QString MessaggioAccessoArchivio();
// The same for the archive at `percorso`, unless it is not an archive at all,
// which is then said instead.
QString MessaggioAccessoArchivio(const QString &percorso);
// The message for a write that failed for the reason `errore` (an errno):
// a full disk or a size limit is named as such, anything else is a question
// of access.
QString MessaggioScritturaArchivio(int errore);

// A file at `percorso` that is not an archive at all (something else saved
// over it): ApriArchivio refuses it (errore() is then EBADMSG), and the card
// window says so as it opens.
bool ArchivioNonRiconosciuto(const QString &percorso);
QString MessaggioArchivioNonRiconosciuto();

// A file the program opens beside the archive (the intent record, the
// journal) that is a named pipe or a device instead of a regular file: the
// message that names it. Opening such a file would wait for ever, so it is
// refused (errno EINVAL) and said.
QString MessaggioFileNonRegolare(const QString &percorso);
// The intent record beside the archive when it exists and is not a regular
// file; empty otherwise.
QString FileNonRegolareAccanto(const QString &archivio);

// A size limit on files must be an ordinary write error, not the end of the
// process: the program ignores SIGXFSZ. Called at start and before writing.
void IgnoraLimiteDimensione();

// True once after an open put the archive back from an operation that a
// crash had cut short; the next call gives false.
bool PrendiAvvisoRipristino();
QString MessaggioRipristino();

// Every flush of the archive to disk goes through here (what fsync returns),
// so a test can count the flushes and see one fail.
int SincronizzaArchivio(int fd);
// Replaces the flush; an empty function puts fsync back. Returns the previous one.
std::function<int(int fd)> ImpostaSincronizzazioneArchivio(std::function<int(int fd)> funzione);

// For an operation that is made final by a line in another file (see
// ConclusioneIntento): `prepara` says what makes it final, given the position
// the operation settles on under its lock (togli: the moved record's old
// position, 0 when none moved; scriviInsieme: the first new position);
// `scrivi` writes that line once the archive's steps are on disk and says
// whether it could. Without the line the operation is undone. `senzaRiga`,
// when given, is asked first: true when there turns out to be no line to
// write, and the operation is then final once the intent record goes, as
// one without a conclusion. `iniziata`,
// when given, runs once the intent record is on disk and before the archive
// changes, for files the record names to go if the operation is undone;
// false gives the operation up.
struct Conclusione {
    std::function<ConclusioneIntento(qint64 posizione)> prepara;
    std::function<bool(qint64 posizione)> scrivi;
    std::function<bool(qint64 posizione)> senzaRiga;
    std::function<bool()> iniziata;
};

// One operation on Magazzino.pro. The file is opened by apri() and closed by
// chiudi() or when the object goes, so no handle outlives a user action.
// Positions are 1-based.
//
// Several copies of the program may share the archive. Each operation takes
// an advisory fcntl lock for its length: the whole file while appending, the
// record's bytes while writing it in place, the bytes read while reading, so
// no copy reads or writes half a card. Where the file system refuses locks the
// archive works without them.
//
// An intent record a dead copy left is settled under the whole-file lock at
// the start of every operation that takes that lock, and before a record is
// written in place, so no operation builds on an archive that the next
// opening would cut back. One that cannot be settled stops the operation.
class Archivio {
  public:
    // The last position whose record can lie in a file at all.
    static constexpr qint64 POSIZIONE_MASSIMA =
        std::numeric_limits<qint64>::max() / TScheda::DIMENSIONE;

    explicit Archivio(QString percorso);
    Archivio();
    ~Archivio();
    Archivio(const Archivio &) = delete;
    Archivio &operator=(const Archivio &) = delete;

    // Opens for reading and writing, creating the file empty when missing.
    bool ApriArchivio();
    // Whole records only; a trailing partial record is not counted. -1 on error.
    qint64 conta() const;
    bool leggi(qint64 posizione, TScheda &scheda) const;
    // Several consecutive records into one buffer.
    bool leggi(qint64 posizione, TScheda *schede, qint64 quante) const;
    // The records from `prima` for `quante`, in blocks read in place: the
    // file's pages are mapped rather than copied, each block under its read
    // lock as leggi() takes it. `visita` gets a block and the position of its
    // first record and returns false to stop. False when the archive fails
    // or ends before. Several threads may pass over parts of one archive.
    bool scorri(qint64 prima, qint64 quante,
                const std::function<bool(const TScheda *schede, qint64 quante, qint64 prima)>
                    &visita) const;
    // One write of the whole record at its offset, on disk before returning.
    // Only an existing record is written over: a position past the last whole
    // record fails.
    bool scrivi(qint64 posizione, const TScheda &scheda);
    // Writes after the last whole record; returns the new position or -1. A
    // failed append leaves the file as it was.
    qint64 accoda(const TScheda &scheda);
    // Writes `quante` records after the last whole one, each built by `prepara`
    // as it is written, and puts them on disk once at the end. All or nothing:
    // after a failure the file is as it was. Returns the first new position or -1.
    qint64 accodaTutte(qint64 quante, const std::function<void(qint64 indice, TScheda &)> &prepara);
    // Rewrites the records at `posizioni` and appends `nuove` records in one
    // pass under the whole-file lock, all or nothing even through a crash: an
    // intent record beside the archive keeps its length and the old records
    // until the final flush. `aggiorna` gets each record as it is on disk and
    // changes it; it returns false when the record is no longer the one meant,
    // which gives up the whole pass (errore() is then ESTALE). Returns the
    // position the first new record has (or would have), -1 on failure
    // (errore() is ECANCELED when the conclusion's line was not written).
    qint64 scriviInsieme(const std::vector<qint64> &posizioni,
                         const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                         qint64 nuove, const std::function<void(qint64 indice, TScheda &)> &prepara,
                         const Conclusione *conclusione = nullptr);
    // Takes the record at `posizione` out of the archive: the last record
    // moves into its place and the file is cut by one record, under the
    // whole-file lock and through the intent record, so a crash at any point
    // leaves the old archive or the new one. `verifica` gets the record as it
    // is on disk and returns false when it is no longer the one meant
    // (errore() is then ESTALE). Gives the removed and the moved record and
    // the moved one's old position (0 when the last record was the one
    // removed), already set when the conclusion's line is written; false on
    // failure, with the archive as it was (errore() is ECANCELED when the
    // conclusion's line was not written).
    bool togli(qint64 posizione, const std::function<bool(const TScheda &)> &verifica,
               TScheda &tolta, TScheda &spostata, qint64 &spostataDa,
               const Conclusione *conclusione = nullptr);
    // The errno of the last failed write, 0 when none.
    int errore() const { return m_errore; }
    // Reads the record at `posizione` under the record's write lock, lets
    // `modifica` change it (false: leave it as it is) and writes it back, on
    // disk before returning; no other copy writes the card in between.
    // `scritto` runs once the record is on disk, still under the lock, so
    // what it records follows the order of the writes.
    bool aggiorna(qint64 posizione, const std::function<bool(TScheda &)> &modifica,
                  const std::function<void(const TScheda &)> &scritto = {});
    void chiudi();

  private:
    bool scriviRecord(qint64 offset, const TScheda &scheda);
    // Under the whole-file lock: settles an intent record left by a copy
    // that died. False (errore() set) when one is there and cannot be.
    bool assesta();
    // Before writing a record in place: waits for an operation that holds
    // the whole-file lock and settles what it left.
    bool assestaPrimaDiScrivere();
    // Takes the write lock of the record at `offset` once no intent record
    // stands; false when one cannot be settled.
    bool bloccaRecord(qint64 offset, std::optional<class Blocco> &blocco);
    bool concludi(IntentoArchivio &intento, const Conclusione *conclusione, qint64 posizione);
    bool scriviNuove(qint64 inizio, qint64 quante,
                     const std::function<void(qint64 indice, TScheda &)> &prepara);

    QString m_percorso;
    int m_fd = -1;
    int m_errore = 0;
};

// Reads every whole record in file order, in large blocks. The visitor gets
// each record and its position and returns false to stop early. Returns false
// when the file cannot be opened or read.
bool ScorriArchivio(const QString &percorso,
                    const std::function<bool(const TScheda &, qint64 posizione)> &visita);

// The same pass cut into `parti` runs of consecutive records, each on a
// thread of its own (the first on the caller's), for passes whose work on a
// card does not depend on the cards before it. `visita` gets the part, a
// block of records and the position of the block's first record; a part
// that returns false stops alone. Small archives go in one part. False when
// the archive cannot be opened or read.
using VisitaParte =
    std::function<bool(int parte, const TScheda *schede, qint64 quante, qint64 prima)>;
bool ScorriArchivioInParti(const QString &percorso, int parti, const VisitaParte &visita);
