#pragma once

#include "server/Connessione.h"

#include <QString>
#include <functional>

// Moving an archive between a folder and a server, whole or not at all.
struct EsitoTrasloco {
    bool riuscito = false;
    QString messaggio; // what went wrong, or what was moved
    qint64 schede = 0;
    qint64 movimenti = 0;
    qint64 foto = 0;
    qint64 allegati = 0;
    qint64 eliminate = 0; // files kept for removed cards
};

// Copies the archive, journal, photos, attachments and removed cards' files
// of `cartella` into the server's tables, which must be empty, in one
// transaction; before it is committed everything is read back and compared
// (counts, and every record and file byte for byte). A failure at any step,
// a server that stops included, leaves the database as it was.
EsitoTrasloco CopiaSuServer(const QString &cartella, Connessione &connessione);

// The same into a database that may hold an archive already: it is replaced
// in the same transaction, so the server keeps the old archive or has the
// new one whole.
EsitoTrasloco SostituisciSuServer(const QString &cartella, Connessione &connessione);

// Writes the server's archive into `cartella`, which must be empty or not
// exist yet: everything is written into a new folder beside it, read back and
// compared with the server, and only then given its name, so the folder has
// the whole archive or nothing. The records are the server's byte for byte.
EsitoTrasloco CopiaSuCartella(Connessione &connessione, const QString &cartella);

// Tests stop the server between the steps of a move: `passo` gets the name of
// each step ("schede", "movimenti", "foto", "allegati", "eliminate",
// "verifica") before it runs. An empty function takes the seam away.
void ImpostaPassoTrasloco(std::function<void(const QString &passo)> passo);
