#pragma once

#include <QString>

// The server's archive in use as a folder, for the backup: written whole
// into a new or empty folder, or replaced whole by a folder's archive in one
// transaction, each read back and compared before it counts. False, with
// the reason in `messaggio`, when the archive in use is not on a server or
// the copy failed; a failure changes nothing on the server.
bool ServerInUsoInCartella(const QString &cartella, QString &messaggio);
bool CartellaNelServerInUso(const QString &cartella, QString &messaggio);
