#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the archive's one-byte character set.
namespace Cp1252 {

QString decodifica(const char *byte, qsizetype lunghezza);
// True when every character of the text has a byte in Windows-1252.
bool rappresentabile(const QString &testo);
// The first character that has no byte (both halves of a surrogate pair), or
// an empty string.
QString primoNonRappresentabile(const QString &testo);
// Characters without a byte become '?': callers check rappresentabile() first.
QByteArray codifica(const QString &testo);

} // namespace Cp1252
