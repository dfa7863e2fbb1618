#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A backup is one zip file of everything a shop keeps in the program folder:
// the archive, the card photos, the attachments folder, the password store and
// the movement journal, with a manifest (date, program version, number of
// cards, every member's size and CRC) as its last member.

// Progress of a long pass, in bytes.
using AvanzamentoBackup = std::function<void(qint64 fatti, qint64 totale)>;

struct EsitoBackup {
    bool riuscito = false;
    QString percorso;  // the zip, once in place
    QString messaggio; // what went wrong, for the user
    qint64 schede = 0;
};

// What a backup holds, read and checked from its manifest and members.
struct ContenutoBackup {
    bool valido = false;
    QString messaggio; // why it cannot be used
    QDateTime data;
    QString versione;
    qint64 schede = 0;
    qint64 foto = 0;
    qint64 allegati = 0;
    qint64 dimensione = 0; // every member's bytes, once extracted
};

struct EsitoRipristino {
    bool riuscito = false;
    QString messaggio;
    bool passwordCambiata = false; // the password store is now the backup's, and differs
};

inline constexpr int BACKUP_CONSERVATI = 10;
inline constexpr int GIORNI_PROMEMORIA = 7;

// "Quadrelo_AAAA-MM-GG_HHMM.zip"
QString NomeBackup(const QDateTime &ora);
// The time a backup's file name gives, if it is one of ours.
std::optional<QDateTime> DataDalNome(const QString &nome);

// Writes the backup into the folder (created when missing) beside its final
// name, checks it, and only then puts it in place. A backup taken the same
// minute as another gets a number after the time instead of replacing it.
// The archive is read under its whole-file read lock, so a card another copy
// is adding is either wholly in the backup or not at all.
EsitoBackup EseguiBackup(const QString &cartellaProgramma, const QString &cartellaBackup,
                         const QDateTime &ora, const AvanzamentoBackup &avanza = {});

// Opens a backup and checks every member against the manifest. Given the
// program folder, a backup that would not fit on its disk once extracted is
// refused before its members are read.
ContenutoBackup LeggiBackup(const QString &zip, const AvanzamentoBackup &avanza = {},
                            const QString &cartellaProgramma = QString());

// Extracts the backup into a new folder beside the program folder, checks it,
// and only then swaps it with the data in the program folder; the data it
// replaces is removed afterwards. Any failure leaves the program folder as it
// was. Nothing is ever written outside the new folder, whatever names the zip
// holds: a name the program does not use refuses the whole backup.
//
// Before the first rename a record in the program folder (Ripristino.intento)
// names the two folders beside it and every rename, so that a process stopped
// half way leaves enough for AssestaRipristino to finish or undo the swap.
EsitoRipristino RipristinaBackup(const QString &zip, const QString &cartellaProgramma,
                                 const AvanzamentoBackup &avanza = {});

struct EsitoAssestamento {
    enum class Genere {
        Nessuno,    // nothing was cut short
        Completato, // the swap had gone through: only the leftovers were removed
        Annullato,  // the data of before the restore is back
        Fallito,    // left as it was, record included, to be tried again
    } genere = Genere::Nessuno;
    bool passwordCambiata = false;
};

// Settles a restore that a crash cut short: the program folder ends up holding
// either its old data or the backup's, whole, and the folders the restore made
// beside it go. Does nothing while another copy is restoring into the folder.
EsitoAssestamento AssestaRipristino(const QString &cartellaProgramma);

// Removes what backups cut short left in the backup folder: only files named
// as this program names its temporaries, and only while no copy of the
// program is writing a backup there.
void PulisciTemporaneiBackup(const QString &cartellaBackup);

// At start, before anything reads the data: both of the above. The text to
// tell the user, or empty.
QString AssestaBackupAllAvvio(const QString &cartellaProgramma, const QString &cartellaBackup);

// Free bytes on the disk of a folder (-1 when unknown), and whether a restore
// of that many bytes fits there with room to spare for the program's work.
qint64 SpazioLibero(const QString &cartella);
bool SpazioSufficiente(qint64 serve, qint64 libero);
inline constexpr qint64 MARGINE_SPAZIO = 64 * 1024 * 1024;
// "1,5 GB", as the messages write sizes.
QString Dimensione(qint64 byte);
// Tests stand in for the disk's free space; an empty function asks the disk.
void ImpostaSpazioLibero(std::function<qint64(const QString &)> spazio);
// Called before and after each rename of a restore's swap (tests stop the
// process there). An empty function: no calls.
void ImpostaPassoRipristino(std::function<void()> passo);

// The backups in the folder, oldest first (full paths).
QStringList BackupPresenti(const QString &cartellaBackup);
// Removes all but the newest `quanti`; `escluso` is never removed.
void ConservaUltimiBackup(const QString &cartellaBackup, int quanti,
                          const QString &escluso = QString());
// The reminder line of the launcher: empty while the last backup is recent.
QString PromemoriaBackup(const QString &cartellaBackup, const QDateTime &ora);

// Whether a member name of a backup is one the program folder uses; false for
// a name climbing out, an absolute path, a file of another program.
bool NomeMembroAmmesso(const QByteArray &nome);

// Copies into `verso` the data of the program folder that stay with this
// workstation when the archive is elsewhere: every member a backup takes
// except the archive, the journal, the photos, the attachments and the
// removed cards' files. Each copy is compared with its original.
bool CopiaDatiDellaPostazione(const QString &cartellaProgramma, const QString &verso);
