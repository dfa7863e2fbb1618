#pragma once

#include <QString>
#include <optional>

// The scrambling of the stored password: each character's low byte is mixed
// with a 16-bit key that follows the scrambled bytes, and written as two
// upper-case hexadecimal digits.
namespace Crypt {

QString Encrypt(const QString &password);
// The password back from its digits; a last odd digit is ignored. Nothing
// when a digit pair is not a hexadecimal number.
std::optional<QString> Decrypt(const QString &esadecimale);

} // namespace Crypt
