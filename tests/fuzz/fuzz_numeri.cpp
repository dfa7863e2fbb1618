// The number rules. The input is read as a typed text (UTF-8) and, when it has
// at least 8 bytes, its first 8 bytes as a double:
// - what ScriviNumero writes for a finite double, LeggiNumero reads back, and
//   writing that again gives the same text;
// - NormalizzaImporto and NormalizzaQuantita give readable text, and "0,00" or
//   "0" for text that cannot be read.
#include "Verifica.h"
#include "archive/RegoleNumeri.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void provaScrittura(double valore) {
    if (!std::isfinite(valore)) return;
    const QString scritto = ScriviNumero(valore);
    const auto letto = LeggiNumero(scritto);
    if (!letto) Mostra("illeggibile", scritto);
    VERIFICA(letto.has_value());
    if (ScriviNumero(*letto) != scritto) {
        Mostra("scritto", scritto);
        Mostra("riscritto", ScriviNumero(*letto));
        VERIFICA(ScriviNumero(*letto) == scritto);
    }
    // 15 significant digits: the value read is the written one, near enough.
    VERIFICA(std::fabs(*letto - valore) <= std::fabs(valore) * 1e-14);
}

void provaTesto(const QString &testo) {
    const auto valore = LeggiNumero(testo);
    if (valore) {
        VERIFICA(std::isfinite(*valore));
        provaScrittura(*valore);
    }
    const QString importo = NormalizzaImporto(testo);
    const QString quantita = NormalizzaQuantita(testo);
    if (!LeggiNumero(importo) || !LeggiNumero(quantita)) {
        Mostra("digitato", testo);
        Mostra("importo", importo);
        Mostra("quantita", quantita);
    }
    VERIFICA(LeggiNumero(importo).has_value());
    VERIFICA(LeggiNumero(quantita).has_value());
    if (!valore) {
        VERIFICA(importo == QStringLiteral("0,00"));
        VERIFICA(quantita == QStringLiteral("0"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    provaTesto(QString::fromUtf8(reinterpret_cast<const char *>(dati), qsizetype(dimensione)));
    if (dimensione >= sizeof(double)) {
        double valore;
        std::memcpy(&valore, dati, sizeof valore);
        provaScrittura(valore);
    }
    return 0;
}
