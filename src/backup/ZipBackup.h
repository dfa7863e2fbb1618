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
};

struct EsitoRipristino {
    bool riuscito = false;
    QString messaggio;
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

// Opens a backup and checks every member against the manifest.
ContenutoBackup LeggiBackup(const QString &zip, const AvanzamentoBackup &avanza = {});

// Extracts the backup into a new folder beside the program folder, checks it,
// and only then swaps it with the data in the program folder; the data it
// replaces is removed afterwards. Any failure leaves the program folder as it
// was. Nothing is ever written outside the new folder, whatever names the zip
// holds: a name the program does not use refuses the whole backup.
EsitoRipristino RipristinaBackup(const QString &zip, const QString &cartellaProgramma,
                                 const AvanzamentoBackup &avanza = {});

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
