#pragma once

#include "archive/TScheda.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>

class QIODevice;

// Magazzino.csv: every text of every card, one card a line, as a spreadsheet
// set to Italian opens it straight into columns: UTF-8 with a byte-order
// mark, ';' between fields, CRLF at the end of every line.

struct ColonnaCsv {
    QString intestazione;
    Campo campo;
};

inline constexpr int COLONNE_CSV = 24;

// The export's 17 columns in the same order, then the reorder threshold and
// the six attachment fields.
const std::array<ColonnaCsv, COLONNE_CSV> &ColonneCsv();

// Text of one field: row from 0, column in the order of ColonneCsv().
using CampoCsv = std::function<QString(qsizetype riga, int colonna)>;

// Writes the header line and the rows to an open device. False as soon as a
// write fails.
bool ScriviCsvMagazzino(QIODevice *destinazione, qsizetype righe, const CampoCsv &campo);

// One field as written: trimmed, an apostrophe before a text a spreadsheet
// would take as a formula, in quotes (doubled inside) when it holds a
// separator, a quote or a line break.
QByteArray CampoEsportato(const QString &testo);

// The text of a card as the export writes it in a field, and back: a text
// that begins like a formula ("=", "+", "-" or "@" and not a plain number, a
// tab or a carriage return) gets an apostrophe before it, so a spreadsheet
// shows it as text and never runs it. A text that begins with apostrophes
// before such a beginning gets one more, so reading it back is exact.
QString TestoPerCampoCsv(const QString &testo);
QString TestoDaCampoCsv(const QString &campo);
