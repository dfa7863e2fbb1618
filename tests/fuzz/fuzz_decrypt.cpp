// The password scrambling. The input is read as a store value (Latin-1):
// - Decrypt either refuses it or gives one character below 256 per digit
//   pair, and scrambling that again gives the same digits in capitals;
// - any one-byte text comes back whole from Encrypt and Decrypt.
#include "Verifica.h"
#include "access/Crypt.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    const QString testo =
        QString::fromLatin1(reinterpret_cast<const char *>(dati), qsizetype(dimensione));

    const auto chiaro = Crypt::Decrypt(testo);
    if (chiaro) {
        VERIFICA(chiaro->size() == testo.size() / 2);
        for (const QChar c : *chiaro)
            VERIFICA(c.unicode() <= 0xFF);
        const QString cifre = testo.left(chiaro->size() * 2).toUpper();
        if (Crypt::Encrypt(*chiaro) != cifre) {
            Mostra("cifre", cifre);
            Mostra("riscritte", Crypt::Encrypt(*chiaro));
        }
        VERIFICA(Crypt::Encrypt(*chiaro) == cifre);
    }

    const QString cifrato = Crypt::Encrypt(testo);
    VERIFICA(cifrato.size() == testo.size() * 2);
    const auto ritorno = Crypt::Decrypt(cifrato);
    VERIFICA(ritorno.has_value());
    VERIFICA(*ritorno == testo);
    return 0;
}
