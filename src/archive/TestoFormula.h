#pragma once

#include <QString>
#include <QStringView>

// The one rule that keeps a text from becoming a formula in a spreadsheet
// that opens the program's files (the CSV export and the movement journal).
// A text is a formula when it starts with =, +, -, @, a tab or a carriage
// return, unless a sign starts a plain number. The export has always let a
// number hold blanks ("+39 02 1234567", a phone number in a card's field) and
// the journal has not; each keeps its files as they were written, so the
// caller says which.
enum class NumeroConSpazi { No, Si };

// The text with an apostrophe before it when, past the apostrophes it
// already starts with, it reads as a formula.
QString TestoSenzaFormula(const QString &testo, NumeroConSpazi spazi);
// The text written by TestoSenzaFormula, as it was before.
QString TestoDaSenzaFormula(const QString &campo, NumeroConSpazi spazi);
