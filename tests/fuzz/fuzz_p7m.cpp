// Unwrapping a signed envelope: any bytes give either a content or a reason,
// never both, never a crash; what is unwrapped then reads as an invoice or
// is refused with one reason.
#include "Verifica.h"
#include "invoices/FatturaElettronica.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    const QByteArray byte(reinterpret_cast<const char *>(dati), qsizetype(dimensione));
    QString errore;
    const QByteArray contenuto = SbustaP7m(byte, errore);
    VERIFICA(errore.isEmpty() != contenuto.isEmpty());
    const QList<FileFattura> file = LeggiFileFattura(QStringLiteral("f.xml.p7m"), byte);
    // Bytes that open as a zip are read as one, whatever the file's name.
    const bool zip = byte.startsWith("PK\x03\x04") || byte.startsWith("PK\x05\x06");
    VERIFICA(!file.isEmpty());
    for (const FileFattura &f : file)
        VERIFICA(f.errore.isEmpty() != f.fatture.isEmpty());
    if (!zip) VERIFICA(file.size() == 1 && file[0].originale == byte);
    return 0;
}
