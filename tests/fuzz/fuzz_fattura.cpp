// The invoice reader: any bytes give either invoices or one reason, never
// both, never a crash; every invoice read has a number, a date and lines,
// and a line's net price is a number.
#include "Verifica.h"
#include "invoices/FatturaElettronica.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    const QByteArray byte(reinterpret_cast<const char *>(dati), qsizetype(dimensione));
    const LetturaFattura letta = LeggiFatturaXml(byte);
    VERIFICA(letta.errore.isEmpty() != letta.fatture.isEmpty());
    for (const Fattura &f : letta.fatture) {
        VERIFICA(!f.numero.isEmpty());
        VERIFICA(f.data.isValid());
        VERIFICA(!f.righe.isEmpty());
        for (const RigaFattura &r : f.righe) {
            VERIFICA(r.prezzoUnitario.presente() && r.prezzoTotale.presente());
            VERIFICA(!std::isnan(r.prezzoNetto()));
            for (const CodiceArticolo &c : r.codici)
                VERIFICA(!c.valore.isEmpty());
        }
    }
    // The same bytes as a file of each kind the user may choose.
    for (const char *nome : {"f.xml", "f.zip"}) {
        const QList<FileFattura> file = LeggiFileFattura(QString::fromLatin1(nome), byte);
        VERIFICA(!file.isEmpty());
        for (const FileFattura &f : file)
            VERIFICA(f.errore.isEmpty() != f.fatture.isEmpty());
    }
    return 0;
}
