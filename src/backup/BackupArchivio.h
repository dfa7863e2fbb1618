#pragma once

#include "backup/ZipBackup.h"

#include <QString>
#include <functional>

// The backup of an archive that is not in the program folder (the server's):
// the same verified zip, made from a folder the archive is copied into, and
// restored from the zip's folder. The ways to reach that archive come from
// whoever knows it (the server's folder), so the backup stands on no server
// code.
struct CopieArchivio {
    // Writes the archive whole into a new folder; false with the reason.
    std::function<bool(const QString &cartella, QString &messaggio)> versoCartella;
    // Replaces the archive whole with a folder's, or changes nothing.
    std::function<bool(const QString &cartella, QString &messaggio)> daCartella;
    explicit operator bool() const { return versoCartella && daCartella; }
};

// The zip of the archive `copie` reach, with the files of this program
// folder that are not the archive's (the password store, the shop's data,
// orders, counts, invoices), as a backup of the folder would hold them.
EsitoBackup EseguiBackupDaCopia(const QString &cartellaProgramma, const QString &cartellaBackup,
                                const QDateTime &ora, const CopieArchivio &copie,
                                const AvanzamentoBackup &avanza = {});

// Extracts and checks the zip in a folder of its own, then hands the
// archive in it to `copie.daCartella`: the archive is the backup's, whole,
// or as it was. The program folder is not touched.
EsitoRipristino RipristinaInCopia(const QString &zip, const QString &cartellaProgramma,
                                  const CopieArchivio &copie, const AvanzamentoBackup &avanza = {});
