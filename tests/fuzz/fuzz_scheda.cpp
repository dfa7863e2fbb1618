// The record decoder: any 2502 bytes decode field by field into texts that fit
// their fields and can be stored, and decode -> encode -> decode is a fixed
// point. Longer inputs are taken as several records, shorter ones padded with
// zeros.
#include "Verifica.h"
#include "archive/Cp1252.h"
#include "archive/TScheda.h"

#include <cstdint>
#include <cstring>

namespace {

void provaScheda(const TScheda &letta) {
    TScheda scritta;
    for (int i = 0; i < NUMERO_CAMPI; ++i) {
        const auto campo = Campo(i);
        const QString testo = letta.testo(campo);
        VERIFICA(testo.size() <= definizione(campo).massimo);
        VERIFICA(letta.lunghezza(campo) <= definizione(campo).massimo);
        VERIFICA(Cp1252::rappresentabile(testo));
        scritta.impostaTesto(campo, testo);
        if (scritta.testo(campo) != testo) {
            Mostra("letto", testo);
            Mostra("riletto", scritta.testo(campo));
            VERIFICA(scritta.testo(campo) == testo);
        }
    }
    // Encoding what was decoded once more gives the same bytes.
    TScheda ancora;
    for (int i = 0; i < NUMERO_CAMPI; ++i)
        ancora.impostaTesto(Campo(i), scritta.testo(Campo(i)));
    VERIFICA(ancora.byte == scritta.byte);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    std::size_t inizio = 0;
    do {
        TScheda scheda;
        const std::size_t quanti =
            std::min<std::size_t>(dimensione - inizio, std::size_t(TScheda::DIMENSIONE));
        if (quanti > 0) std::memcpy(scheda.byte.data(), dati + inizio, quanti);
        provaScheda(scheda);
        inizio += quanti;
    } while (inizio < dimensione);
    return 0;
}
