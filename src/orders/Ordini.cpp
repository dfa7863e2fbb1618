#include "orders/Ordini.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/Importi.h"
#include "archive/RegoleNumeri.h"
#include "passes/Righe.h"
#include "storage/DepositoFile.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 PASSO_AVANZAMENTO = 4096;

QString decodifica(std::string_view byte) {
    return Cp1252::decodifica(byte.data(), qsizetype(byte.size()));
}

std::string minuscolo(std::string_view testo) {
    std::string s(testo);
    for (char &c : s)
        c = char(MinuscolaByte((unsigned char)c));
    return s;
}

struct Raccolta {
    std::string chiave; // the supplier lower-cased A-Z
    GruppoOrdine gruppo;
    std::vector<std::string> codici; // the lines' codes as bytes, for the order
};

} // namespace

qint64 QuantitaDaOrdinare(double giacenza, double avviso, qint64 inOrdine) {
    const double mancante =
        std::ceil(2 * avviso - giacenza - double(std::max<qint64>(0, inOrdine)));
    if (!(mancante >= 1)) return inOrdine > 0 ? 0 : 1;
    if (mancante >= double(QUANTITA_MASSIMA)) return QUANTITA_MASSIMA;
    return qint64(mancante);
}

std::optional<double> RigaOrdine::importo() const {
    if (!leggibile()) return std::nullopt;
    return double(quantita) * *costo;
}

QString GruppoOrdine::nomeMostrato() const {
    return fornitore.isEmpty() ? u"Fornitore non indicato"_s : fornitore;
}

int GruppoOrdine::righeInOrdine() const {
    if (!incluso) return 0;
    return int(
        std::count_if(righe.begin(), righe.end(), [](const RigaOrdine &r) { return r.inclusa; }));
}

double GruppoOrdine::totale() const {
    double somma = 0;
    for (const RigaOrdine &r : righe) {
        if (!inOrdine(r)) continue;
        if (const auto importo = r.importo()) somma += *importo;
    }
    return somma;
}

double TotaleOrdini(const std::vector<GruppoOrdine> &gruppi) {
    double somma = 0;
    for (const GruppoOrdine &g : gruppi)
        somma += g.totale();
    return somma;
}

namespace {

// The pass over the cards, whichever storage gives them: `scorri` hands each
// card to its visitor and says whether all were read.
EsitoOrdini
raccogli(qint64 totale, const Avanza &avanza,
         const std::function<bool(const std::function<bool(const TScheda &, qint64)> &)> &scorri) {
    EsitoOrdini esito;
    std::vector<Raccolta> raccolte;
    std::unordered_map<std::string, std::size_t> indici;

    esito.riuscito = scorri([&](const TScheda &scheda, qint64 posizione) {
        if (avanza && posizione % PASSO_AVANZAMENTO == 0) avanza(posizione, totale);
        const std::string_view testoGiacenza = CampoGrezzo(scheda, Campo::Giacenza);
        const std::string_view testoAvviso = CampoGrezzo(scheda, Campo::Avviso);
        const auto giacenza = LeggiNumeroGrezzo(testoGiacenza);
        const auto avviso = LeggiNumeroGrezzo(testoAvviso);
        if (giacenza && avviso && *giacenza > *avviso) return true;

        const std::string_view testoCosto = CampoGrezzo(scheda, Campo::Costo);
        const std::string_view codice = CampoGrezzo(scheda, Campo::Codice);
        RigaOrdine riga;
        riga.posizione = posizione;
        riga.codice = decodifica(codice);
        riga.nome = decodifica(CampoGrezzo(scheda, Campo::Nome));
        riga.aspetto = decodifica(CampoGrezzo(scheda, Campo::UM));
        riga.testoGiacenza = decodifica(testoGiacenza);
        riga.testoAvviso = decodifica(testoAvviso);
        riga.testoCosto = decodifica(testoCosto);
        riga.giacenza = giacenza;
        riga.avviso = avviso;
        riga.costo = LeggiNumeroGrezzo(testoCosto);
        if (giacenza && avviso) {
            riga.quantita = QuantitaDaOrdinare(*giacenza, *avviso);
        } else {
            // Whether it is short cannot be told: shown, but not ordered
            // unless the user ticks it.
            riga.inclusa = false;
        }
        if (!riga.leggibile())
            esito.nonLeggibili << (riga.codice.isEmpty()
                                       ? u"scheda n. "_s + QString::number(posizione)
                                       : riga.codice);

        const std::string_view ditta = CampoGrezzo(scheda, Campo::Ditta);
        std::string chiave = minuscolo(ditta);
        auto trovato = indici.find(chiave);
        if (trovato == indici.end()) {
            trovato = indici.emplace(chiave, raccolte.size()).first;
            Raccolta nuova;
            nuova.chiave = std::move(chiave);
            nuova.gruppo.fornitore = decodifica(ditta);
            raccolte.push_back(std::move(nuova));
        }
        Raccolta &r = raccolte[trovato->second];
        // The agent and the telephone of the first card that names them.
        if (r.gruppo.agente.isEmpty())
            r.gruppo.agente = decodifica(CampoGrezzo(scheda, Campo::Agente));
        if (r.gruppo.recapito.isEmpty())
            r.gruppo.recapito = decodifica(CampoGrezzo(scheda, Campo::Recapito));
        r.gruppo.righe.push_back(std::move(riga));
        r.codici.emplace_back(codice);
        return true;
    });

    for (Raccolta &r : raccolte) {
        std::vector<std::size_t> ordine(r.gruppo.righe.size());
        for (std::size_t i = 0; i < ordine.size(); ++i)
            ordine[i] = i;
        std::stable_sort(ordine.begin(), ordine.end(), [&](std::size_t a, std::size_t b) {
            return PrecedeRiga(r.codici[a], r.codici[b]);
        });
        std::vector<RigaOrdine> righe;
        righe.reserve(ordine.size());
        for (std::size_t i : ordine)
            righe.push_back(std::move(r.gruppo.righe[i]));
        r.gruppo.righe = std::move(righe);
    }
    std::stable_sort(raccolte.begin(), raccolte.end(), [](const Raccolta &a, const Raccolta &b) {
        if (a.chiave.empty() != b.chiave.empty()) return b.chiave.empty();
        return PrecedeRiga(a.chiave, b.chiave);
    });
    esito.gruppi.reserve(raccolte.size());
    for (Raccolta &r : raccolte)
        esito.gruppi.push_back(std::move(r.gruppo));
    return esito;
}

} // namespace

EsitoOrdini RaccogliOrdini(const QString &archivio, const Avanza &avanza) {
    return raccogli(QFileInfo(archivio).size() / TScheda::DIMENSIONE, avanza,
                    [&archivio](const std::function<bool(const TScheda &, qint64)> &vedi) {
                        return ScorriArchivio(archivio, vedi);
                    });
}

EsitoOrdini RaccogliOrdini(Deposito &deposito, const Avanza &avanza) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return RaccogliOrdini(file->archivio(), avanza);
    const qint64 totale = deposito.conta();
    EsitoOrdini esito;
    if (totale >= 0)
        esito = raccogli(
            totale, avanza, [&deposito](const std::function<bool(const TScheda &, qint64)> &vedi) {
                return deposito.scorri([&vedi](const TScheda *schede, qint64 quante, qint64 prima) {
                    for (qint64 i = 0; i < quante; ++i)
                        vedi(schede[i], prima + i);
                    return true;
                });
            });
    if (totale < 0 || !esito.riuscito) {
        esito.riuscito = false;
        esito.messaggio = deposito.messaggio();
    }
    return esito;
}

QString TestoEuro(double importo) {
    return ImportoConMigliaia(importo);
}

QString TestoImporto(const std::optional<double> &importo) {
    return importo ? TestoEuro(*importo) : u"n.d."_s;
}

QString MessaggioNonLeggibili(const QStringList &codici) {
    const QString quante =
        codici.size() == 1 ? u"1 scheda"_s : QString::number(codici.size()) + u" schede"_s;
    return u"Attenzione: non è stato possibile calcolare l'importo di "_s + quante +
           u", perché la giacenza, la soglia di avviso o il costo non è un numero valido: "_s +
           ElencoCodici(codici) +
           u". Queste righe mostrano \"n.d.\" e non entrano nei totali; correggere le schede "
           "indicate."_s;
}
