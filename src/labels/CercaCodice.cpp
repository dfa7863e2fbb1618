#include "labels/CercaCodice.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "passes/Righe.h"

#include <cstring>

using namespace Qt::StringLiterals;

QString CodiceNonValido(const QString &codice) {
    const QString c = Rifila(codice);
    if (c.isEmpty()) return u"Il codice letto è vuoto."_s;
    const int massimo = definizione(Campo::Codice).massimo;
    if (c.size() > massimo)
        return u"Il codice letto ha "_s + QString::number(c.size()) +
               u" caratteri: nessuna scheda può averlo, perché il codice articolo ne contiene al "
               u"massimo "_s +
               QString::number(massimo) + u'.';
    if (!Cp1252::rappresentabile(c))
        return u"Il codice letto contiene il carattere «"_s + Cp1252::primoNonRappresentabile(c) +
               u"», che nessuna scheda può contenere."_s;
    return {};
}

EsitoCodice CercaCodiceEsatto(const QString &archivio, const QString &codice) {
    EsitoCodice esito;
    std::string chiave;
    // A code no card can hold is found nowhere; the archive is not read.
    if (!CodiceNonValido(codice).isEmpty() || !ChiaveMinuscola(Rifila(codice), chiave))
        return esito;
    // Trimmed as the card's field is when it is read, so its bytes compare as they are.
    const std::string_view k(chiave);

    std::string riga;
    const auto *kb = reinterpret_cast<const unsigned char *>(k.data());
    esito.riuscito = ScorriArchivio(archivio, [&](const TScheda &scheda, qint64 posizione) {
        const std::string_view campo = CampoGrezzo(scheda, Campo::Codice);
        if (campo.size() != k.size()) return true;
        const auto *c = reinterpret_cast<const unsigned char *>(campo.data());
        for (std::size_t i = 0; i < k.size(); ++i)
            if (MinuscolaByte(c[i]) != kb[i]) return true;
        if (esito.posizioni.isEmpty()) esito.prima = scheda;
        esito.posizioni << posizione;
        FormatoTrova().costruisci(scheda, riga);
        esito.righe.aggiungi(riga, posizione);
        return true;
    });
    return esito;
}
