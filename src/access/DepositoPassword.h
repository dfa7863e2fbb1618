#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class QIODevice;

// The password store unins000.dll in the program folder: an INI text whose
// section "Accesso" holds the scrambled password under "Valore". It comes with
// the installation; the program only reads it and rewrites that one value.
namespace DepositoPassword {

QString Percorso();

// The password the installation places in the store.
inline const QString PASSWORD_INIZIALE = QStringLiteral("bilanciopronto");

// Whether the store still holds the initial password.
bool TienePasswordIniziale();

// The password in force: the stored value decoded and trimmed. Empty when
// the store, its section or its key is missing (every password is then
// wrong); nothing when the store cannot be read (or is not a regular file of
// a store's size) or its value is not hexadecimal. A byte-order mark in front
// of the text is skipped.
std::optional<QString> Leggi();

// Writes the scrambled password into the store, keeping the rest of the file.
// The file is replaced whole only once everything is written, so a failure
// leaves the previous password in force. False on failure.
bool Scrivi(const QString &password);

// Writes the whole content; false unless every byte was taken.
bool ScriviContenuto(QIODevice *destinazione, const QByteArray &contenuto);

// A typed password as it is stored and compared: a-z in capitals (no other
// letter changes), then trimmed of blanks and control characters.
QString Normalizza(const QString &digitata);

// Why a normalised password could never be given back by the store, or an
// empty text when it can be kept. The store keeps one byte per character.
QString MotivoRifiuto(const QString &normalizzata);

} // namespace DepositoPassword
