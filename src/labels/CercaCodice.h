#pragma once

#include "archive/TScheda.h"
#include "passes/Righe.h"
#include "storage/Deposito.h"

#include <QList>
#include <QString>

// The cards whose code is exactly the one read by a scanner or the webcam:
// both trimmed, compared ignoring the case of A-Z only. One pass over the
// archive in blocks that looks at the code's bytes and nothing else.
struct EsitoCodice {
    bool riuscito = true;    // false when the archive could not be opened or read
    QList<qint64> posizioni; // in file order
    TScheda prima;           // the first card found
    Righe righe;             // their lines as the search window lists them
    QString messaggio;       // why a storage other than the folder failed
};
EsitoCodice CercaCodiceEsatto(const QString &archivio, const QString &codice);
// The same on the archive in use: the file read in place, or a storage
// through its interface with the same cards found.
EsitoCodice CercaCodiceEsatto(Deposito &deposito, const QString &codice);

// What a code read cannot be, before any search: an empty text, or one longer
// than the code field or with characters it cannot hold. Empty when the code
// may be looked up.
QString CodiceNonValido(const QString &codice);
