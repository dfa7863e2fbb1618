#pragma once

#include "archive/TScheda.h"
#include "server/Connessione.h"

#include <QString>
#include <array>

// The archive's tables on the server:
//   schede           one row per card: its position, a version that every
//                    write raises, the 24 fields as text, the record's bytes
//                    only when the fields cannot give them back exactly (a
//                    damaged record), and the transaction that last wrote it
//   movimenti        the journal, one line per row as the file has it
//   foto, allegati   photos by position, attachments by path, as bytes
//   schede_eliminate the files kept for removed cards
// Creates what is missing; the trigram indexes for the search only where the
// server has pg_trgm. False, with the connection's message, on failure.
bool CreaSchema(Connessione &connessione);

// A card's code as the program compares it: without the blanks and control
// characters around it, A-Z as a-z and nothing else changed. The exact-code
// index is on this expression.
const char *CodiceConfrontato();

// The cards the under-stock list may hold, as a condition on the table's
// columns; its index is on this expression.
const char *CondizioneSottoscorta();
// Adds the exact-code and under-stock indexes, and the column of each card's
// last write, to a database made before they existed, when the role may
// (only the tables' owner can); without them the look-up and the lists still
// work, reading the table through.
void AggiungiIndici(Connessione &connessione);

// The column of each field, in record order.
const std::array<const char *, NUMERO_CAMPI> &ColonneSchede();
// Those columns and then `grezzo`, for a statement that reads whole cards
// (SchedaDaRiga).
QByteArray ElencoColonneSchede();

// A card as the table keeps it.
struct RigaScheda {
    std::array<QString, NUMERO_CAMPI> campi;
    QByteArray grezzo; // empty when the fields give the record back
};
RigaScheda RigaDaScheda(const TScheda &scheda);
// False when a damaged row gives no record.
bool SchedaDaRiga(const Risultato &r, int riga, int primaColonna, TScheda &scheda);
// The same from a row of its position, `grezzo` and the `campi` columns, as
// quickly as can be (plain ASCII copied as it is): the whole record when
// `intere`, otherwise only the fields read, the others empty, which is all a
// list pass looks at.
bool SchedaDaColonne(const Risultato &r, int riga, const QList<Campo> &campi, bool intere,
                     TScheda &scheda);

// The statements the program's own role needs and no more, for the README
// and for the administrator: `ruolo` owns nothing and may only read and
// write the archive's tables.
QString ScriptRuolo(const QString &ruolo, const QString &database);
