#pragma once

#include <QByteArray>
#include <QString>

// One key of an INI text, read and written the way Windows does: section and
// key names match whatever their letter case, a value is the text after "="
// without surrounding blanks, and writing keeps every other line as it was.
// Names and values are single-byte text (Latin-1), as such files are.
namespace Ini {

// The key's value; empty when the section or the key is missing.
QString LeggiValore(const QByteArray &contenuto, const QString &sezione, const QString &chiave);

// The text with the key's value replaced in place, or the key (and its
// section) added when missing.
QByteArray ScriviValore(const QByteArray &contenuto, const QString &sezione, const QString &chiave,
                        const QString &valore);

} // namespace Ini
