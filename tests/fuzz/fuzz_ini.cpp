// The INI reading and writing of the password store. The input is a store's
// whole content (bytes, read as Latin-1 names and values):
// - reading never fails, and gives a value without surrounding blanks;
// - writing the key and reading it back gives the value written;
// - writing leaves other keys as they read before, in the same section and
//   in others.
#include "Verifica.h"
#include "access/FileIni.h"

#include <cstdint>

namespace {

const QString SEZIONE = QStringLiteral("Accesso");
const QString CHIAVE = QStringLiteral("Valore");

bool rifilato(const QString &valore) {
    auto vuoto = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r'; };
    return valore.isEmpty() || (!vuoto(valore.front()) && !vuoto(valore.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    const QByteArray contenuto(reinterpret_cast<const char *>(dati), qsizetype(dimensione));
    const QString prima = Ini::LeggiValore(contenuto, SEZIONE, CHIAVE);
    VERIFICA(rifilato(prima));

    const std::pair<QString, QString> altre[] = {
        {SEZIONE, QStringLiteral("Nome")},
        {QStringLiteral("Altro"), CHIAVE},
        {QStringLiteral("Altro"), QStringLiteral("A")},
    };
    QString valoriAltri[3];
    for (int i = 0; i < 3; ++i)
        valoriAltri[i] = Ini::LeggiValore(contenuto, altre[i].first, altre[i].second);

    const QString nuovo = QStringLiteral("500840A064C7DEC4B459067FF3C8");
    const QByteArray scritto = Ini::ScriviValore(contenuto, SEZIONE, CHIAVE, nuovo);
    const QString riletto = Ini::LeggiValore(scritto, SEZIONE, CHIAVE);
    if (riletto != nuovo) Mostra("riletto", riletto);
    VERIFICA(riletto == nuovo);
    for (int i = 0; i < 3; ++i) {
        const QString dopo = Ini::LeggiValore(scritto, altre[i].first, altre[i].second);
        if (dopo != valoriAltri[i]) {
            Mostra("prima", valoriAltri[i]);
            Mostra("dopo", dopo);
        }
        VERIFICA(dopo == valoriAltri[i]);
    }
    // Writing again changes nothing more.
    VERIFICA(Ini::ScriviValore(scritto, SEZIONE, CHIAVE, nuovo) == scritto);
    return 0;
}
