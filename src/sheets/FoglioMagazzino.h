#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

// The export file Magazzino.xls: an HTML page with one table that spreadsheet
// programs open as a worksheet named "Magazzino Prodotti".

// Columns written for each row, after the row number that is not exported.
inline constexpr int COLONNE_FOGLIO = 17;

// Text of one cell: row from 0, column from 0 to COLONNE_FOGLIO - 1.
using CellaFoglio = std::function<QString(qsizetype riga, int colonna)>;

// Writes the whole page to an open device, one row after the other as they
// are built. False as soon as a write fails; what was written stays written.
bool ScriviFoglioMagazzino(QIODevice *destinazione, qsizetype righe, const CellaFoglio &cella);

// The bytes of a data cell's text: trimmed, with the HTML markup characters
// escaped, in Windows-1252, a character that has no byte there written as a
// numeric character reference.
QByteArray CodificaCellaFoglio(const QString &testo);
