#pragma once

#include <QString>
#include <optional>

// How numbers meet text everywhere in the program: decimal comma, no point,
// no thousands separator.

// Reads a number; nothing when the text is not one (a point, 1,2,3, 12a...).
std::optional<double> LeggiNumero(const QString &testo);
// Like LeggiNumero, but an unreadable text raises the general error
// "'<text>' is not a valid floating point value".
double LeggiNumeroObbligatorio(const QString &testo);
// Shortest general form: up to 15 significant digits, decimal comma, no
// trailing zeros, exponent form for very large or very small values.
QString ScriviNumero(double valore);
// Rounds to n decimals, halves upward.
double Arrotonda(double valore, int decimali);

// On leaving an amount box: "0,00" for empty or unreadable text, otherwise
// rounded to 4 decimals with at least two shown.
QString NormalizzaImporto(const QString &testo);
// On leaving a quantity box: "0" for empty or unreadable text, otherwise a
// whole number.
QString NormalizzaQuantita(const QString &testo);

// First and last n characters (the whole text when shorter).
QString PrimiCaratteri(const QString &testo, int n);
QString UltimiCaratteri(const QString &testo, int n);

// Removes leading and trailing characters up to and including the blank.
QString Rifila(const QString &testo);

// Process-wide date format "dd/mm/yyyy" and decimal comma.
void ImpostaFormati();
QString FormattaData(const class QDate &data);
