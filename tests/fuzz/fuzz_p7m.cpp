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
    VERIFICA(file.size() == 1);
    VERIFICA(file[0].errore.isEmpty() != file[0].fatture.isEmpty());
    VERIFICA(file[0].originale == byte);
    return 0;
}
