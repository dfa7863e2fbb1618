#include "labels/CercaCodice.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "passes/Righe.h"
#include "storage/DepositoFile.h"

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

namespace {

// The one rule for a card, whichever way the archive is read: its code's
// bytes, A-Z in either case, against the key.
class ConfrontoCodice {
  public:
    explicit ConfrontoCodice(std::string_view chiave) : m_chiave(chiave) {}
    void operator()(EsitoCodice &esito, const TScheda &scheda, qint64 posizione) {
        const std::string_view campo = CampoGrezzo(scheda, Campo::Codice);
        if (campo.size() != m_chiave.size()) return;
        const auto *c = reinterpret_cast<const unsigned char *>(campo.data());
        const auto *k = reinterpret_cast<const unsigned char *>(m_chiave.data());
        for (std::size_t i = 0; i < m_chiave.size(); ++i)
            if (MinuscolaByte(c[i]) != k[i]) return;
        if (esito.posizioni.isEmpty()) esito.prima = scheda;
        esito.posizioni << posizione;
        FormatoTrova().costruisci(scheda, m_riga);
        esito.righe.aggiungi(m_riga, posizione);
    }

  private:
    std::string_view m_chiave;
    std::string m_riga;
};

} // namespace

EsitoCodice CercaCodiceEsatto(const QString &archivio, const QString &codice) {
    EsitoCodice esito;
    std::string chiave;
    // A code no card can hold is found nowhere; the archive is not read.
    if (!CodiceNonValido(codice).isEmpty() || !ChiaveMinuscola(Rifila(codice), chiave))
        return esito;
    // Trimmed as the card's field is when it is read, so its bytes compare as they are.
    ConfrontoCodice confronta(chiave);
    esito.riuscito = ScorriArchivio(archivio, [&](const TScheda &scheda, qint64 posizione) {
        confronta(esito, scheda, posizione);
        return true;
    });
    return esito;
}

EsitoCodice CercaCodiceEsatto(Deposito &deposito, const QString &codice) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return CercaCodiceEsatto(file->archivio(), codice);
    EsitoCodice esito;
    std::string chiave;
    if (!CodiceNonValido(codice).isEmpty() || !ChiaveMinuscola(Rifila(codice), chiave))
        return esito;
    ConfrontoCodice confronta(chiave);
    Deposito::Filtro filtro;
    filtro.testi.append({Campo::Codice, Rifila(codice)});
    // Every field: the first card found opens whole in the card window.
    filtro.almeno = 1;
    esito.riuscito = deposito.scorriFiltro(
        filtro, [&](const TScheda *schede, const qint64 *posizioni, qint64 quante) {
            for (qint64 i = 0; i < quante; ++i)
                confronta(esito, schede[i], posizioni[i]);
            return true;
        });
    if (!esito.riuscito) esito.messaggio = deposito.messaggio();
    return esito;
}
