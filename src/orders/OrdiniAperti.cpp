#include "orders/OrdiniAperti.h"

#include "archive/Archivio.h"
#include "journal/BloccoOrdine.h"
#include "journal/Movimenti.h"
#include "passes/Righe.h"
#include "storage/DepositoFile.h"

#include <QUuid>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Voce {
    RigaOrdine *riga;
    qint64 quantita;
    QString nota;
};

// The lines of an order, each card read again through `leggi`: false (with
// `esito` saying why) when one is no longer where it was.
bool righeOrdine(const std::vector<Voce> &voci, const std::function<bool(qint64, TScheda &)> &leggi,
                 QList<Movimento> &movimenti, RegistrazioneOrdine &esito) {
    const QByteArray chiave = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    for (const Voce &v : voci) {
        TScheda scheda;
        if (!leggi(v.riga->posizione, scheda) || scheda.testo(Campo::Codice) != v.riga->codice) {
            if (esito.esito == RegistrazioneOrdine::NienteDaRegistrare) {
                esito.esito = RegistrazioneOrdine::SchedaCambiata;
                esito.codice = v.riga->codice;
            }
            return false;
        }
        const qint64 giacenza = GiacenzaDi(scheda).value_or(0);
        Movimento m = MovimentoScheda(scheda, v.riga->posizione, TipoMovimento::Ordine, v.quantita,
                                      giacenza, v.nota);
        m.dopo = m.prima; // an order leaves the stock as it is
        m.dati = SegnoOrdine(chiave, movimenti.size() + 1, qsizetype(voci.size()));
        movimenti << m;
    }
    return true;
}

RegistrazioneOrdine registrate(const std::vector<Voce> &voci) {
    for (const Voce &v : voci)
        v.riga->inOrdine = std::max<qint64>(0, v.riga->inOrdine + v.quantita);
    RegistrazioneOrdine esito;
    esito.esito = RegistrazioneOrdine::Fatto;
    esito.righe = qint64(voci.size());
    return esito;
}

RegistrazioneOrdine registra(const std::vector<Voce> &voci, const QString &archivio,
                             const QString &giornale) {
    RegistrazioneOrdine esito;
    if (voci.empty()) return esito;
    Archivio file(archivio);
    if (!file.ApriArchivio()) {
        esito.esito = RegistrazioneOrdine::ErroreArchivio;
        return esito;
    }
    QList<Movimento> movimenti;
    if (!righeOrdine(
            voci, [&file](qint64 p, TScheda &s) { return file.leggi(p, s); }, movimenti, esito))
        return esito;
    file.chiudi();
    if (!RegistraMovimenti(movimenti, giornale)) {
        esito.esito = RegistrazioneOrdine::GiornaleNonScritto;
        return esito;
    }
    return registrate(voci);
}

// On a server the lines go in one transaction.
RegistrazioneOrdine registra(const std::vector<Voce> &voci, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return registra(voci, file->archivio(), file->giornale());
    RegistrazioneOrdine esito;
    if (voci.empty()) return esito;
    const qint64 n = deposito.conta();
    QList<Movimento> movimenti;
    const auto leggi = [&](qint64 p, TScheda &s) {
        if (p > n) return false;
        if (deposito.leggi(p, s)) return true;
        esito.esito = RegistrazioneOrdine::ErroreArchivio;
        return false;
    };
    if (n < 0) esito.esito = RegistrazioneOrdine::ErroreArchivio;
    if (n < 0 || !righeOrdine(voci, leggi, movimenti, esito)) {
        if (esito.esito == RegistrazioneOrdine::ErroreArchivio)
            esito.messaggio = deposito.messaggio();
        return esito;
    }
    if (!deposito.registra(movimenti)) {
        esito.esito = RegistrazioneOrdine::GiornaleNonScritto;
        esito.messaggio = deposito.messaggio();
        return esito;
    }
    return registrate(voci);
}

} // namespace

namespace {

// What is on order, line by line in the journal's order.
class ContoOrdini {
  public:
    void aggiungi(const Movimento &letto) {
        // Order lines count once their whole order is there.
        for (const Movimento &m : m_blocco.aggiungi(letto)) {
            switch (m.tipo) {
            case TipoMovimento::Ordine:
                q[m.posizione] = std::max<qint64>(0, q.value(m.posizione) + m.quantita);
                break;
            case TipoMovimento::Carico:
                if (q.contains(m.posizione))
                    q[m.posizione] = std::max<qint64>(0, q.value(m.posizione) - m.quantita);
                break;
            case TipoMovimento::Spostamento: {
                bool ok = false;
                const qint64 da = m.dati.toLongLong(&ok);
                const qint64 portata = ok ? q.take(da) : 0;
                if (portata > 0)
                    q[m.posizione] = portata;
                else
                    q.remove(m.posizione);
                break;
            }
            case TipoMovimento::Eliminazione:
            case TipoMovimento::NuovaScheda:
            case TipoMovimento::Ripristino:
                q.remove(m.posizione);
                break;
            default:
                break;
            }
        }
    }
    OrdiniAperti fine(bool letto) {
        OrdiniAperti aperti;
        aperti.letto = letto;
        aperti.quantita = std::move(q);
        aperti.quantita.removeIf([](const auto &voce) { return voce.value() <= 0; });
        return aperti;
    }

  private:
    QHash<qint64, qint64> q;
    BloccoOrdine m_blocco;
};

} // namespace

OrdiniAperti LeggiOrdiniAperti(const QString &giornale, const std::atomic_bool *ferma) {
    ContoOrdini conto;
    const LetturaGiornale lettura = LeggiGiornale(
        giornale, [](QByteArrayView, char) { return true; },
        [&](const Movimento &letto, qint64) {
            if (ferma && ferma->load(std::memory_order_relaxed)) return false;
            conto.aggiungi(letto);
            return true;
        });
    return conto.fine(lettura.aperto);
}

OrdiniAperti LeggiOrdiniAperti(Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return LeggiOrdiniAperti(file->giornale());
    // The whole journal: no line the program writes is outside these years.
    QList<Movimento> movimenti;
    const bool letto =
        deposito.movimentiPeriodo(QDateTime(QDate(1900, 1, 1), QTime(0, 0)),
                                  QDateTime(QDate(9000, 1, 1), QTime(0, 0)), movimenti);
    ContoOrdini conto;
    for (const Movimento &m : std::as_const(movimenti))
        conto.aggiungi(m);
    OrdiniAperti aperti = conto.fine(letto);
    if (!letto) aperti.messaggio = deposito.messaggio();
    return aperti;
}

void ApplicaOrdiniAperti(std::vector<GruppoOrdine> &gruppi, const OrdiniAperti &aperti) {
    for (GruppoOrdine &g : gruppi)
        for (RigaOrdine &r : g.righe) {
            r.inOrdine = aperti.quantita.value(r.posizione);
            if (r.scelta || !r.giacenza || !r.avviso) continue;
            const qint64 quantita = QuantitaDaOrdinare(*r.giacenza, *r.avviso, r.inOrdine);
            // Covered by what is on order: shown, not proposed.
            r.inclusa = quantita > 0;
            r.quantita = std::max<qint64>(1, quantita);
        }
}

namespace {

// The cards on order, each read through `leggi`, which is false for one not
// there.
EsitoOrdini raccogliAperti(const OrdiniAperti &aperti,
                           const std::function<bool(qint64, TScheda &)> &leggi) {
    EsitoOrdini esito;
    QList<qint64> posizioni = aperti.quantita.keys();
    std::sort(posizioni.begin(), posizioni.end());
    std::vector<std::string> chiavi;
    std::vector<std::vector<std::string>> codici;
    for (qint64 posizione : std::as_const(posizioni)) {
        TScheda scheda;
        // A position past the end: the journal names a card the archive no
        // longer has, and there is nothing to show for it.
        if (!leggi(posizione, scheda)) continue;
        RigaOrdine riga;
        riga.posizione = posizione;
        riga.codice = scheda.testo(Campo::Codice);
        riga.nome = scheda.testo(Campo::Nome);
        riga.aspetto = scheda.testo(Campo::UM);
        riga.testoGiacenza = scheda.testo(Campo::Giacenza);
        riga.testoAvviso = scheda.testo(Campo::Avviso);
        riga.testoCosto = scheda.testo(Campo::Costo);
        riga.inOrdine = aperti.quantita.value(posizione);
        riga.quantita = riga.inOrdine;
        std::string chiave(CampoGrezzo(scheda, Campo::Ditta));
        for (char &c : chiave)
            c = char(MinuscolaByte((unsigned char)c));
        auto dove = std::find(chiavi.begin(), chiavi.end(), chiave);
        if (dove == chiavi.end()) {
            GruppoOrdine gruppo;
            gruppo.fornitore = scheda.testo(Campo::Ditta).trimmed();
            gruppo.agente = scheda.testo(Campo::Agente);
            gruppo.recapito = scheda.testo(Campo::Recapito);
            esito.gruppi.push_back(std::move(gruppo));
            codici.emplace_back();
            chiavi.push_back(chiave);
            dove = chiavi.end() - 1;
        }
        const std::size_t g = std::size_t(dove - chiavi.begin());
        codici[g].emplace_back(CampoGrezzo(scheda, Campo::Codice));
        esito.gruppi[g].righe.push_back(std::move(riga));
    }

    // The lists' order: suppliers by name (those without one last), lines by code.
    std::vector<std::size_t> ordine(esito.gruppi.size());
    for (std::size_t i = 0; i < ordine.size(); ++i) {
        ordine[i] = i;
        std::vector<std::size_t> righe(esito.gruppi[i].righe.size());
        for (std::size_t j = 0; j < righe.size(); ++j)
            righe[j] = j;
        std::stable_sort(righe.begin(), righe.end(), [&](std::size_t a, std::size_t b) {
            return PrecedeRiga(codici[i][a], codici[i][b]);
        });
        std::vector<RigaOrdine> ordinate;
        for (std::size_t j : righe)
            ordinate.push_back(std::move(esito.gruppi[i].righe[j]));
        esito.gruppi[i].righe = std::move(ordinate);
    }
    std::stable_sort(ordine.begin(), ordine.end(), [&](std::size_t a, std::size_t b) {
        if (chiavi[a].empty() != chiavi[b].empty()) return chiavi[b].empty();
        return PrecedeRiga(chiavi[a], chiavi[b]);
    });
    std::vector<GruppoOrdine> gruppi;
    for (std::size_t i : ordine)
        gruppi.push_back(std::move(esito.gruppi[i]));
    esito.gruppi = std::move(gruppi);
    return esito;
}

} // namespace

EsitoOrdini RaccogliOrdiniAperti(const OrdiniAperti &aperti, const QString &archivio) {
    if (aperti.quantita.isEmpty()) return {};
    Archivio file(archivio);
    if (!file.ApriArchivio()) {
        EsitoOrdini esito;
        esito.riuscito = false;
        return esito;
    }
    return raccogliAperti(aperti, [&file](qint64 p, TScheda &s) { return file.leggi(p, s); });
}

EsitoOrdini RaccogliOrdiniAperti(const OrdiniAperti &aperti, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return RaccogliOrdiniAperti(aperti, file->archivio());
    if (aperti.quantita.isEmpty()) return {};
    const qint64 n = deposito.conta();
    bool fallita = n < 0;
    EsitoOrdini esito;
    if (!fallita)
        esito = raccogliAperti(aperti, [&](qint64 p, TScheda &s) {
            if (p > n || fallita) return false;
            fallita = !deposito.leggi(p, s);
            return !fallita;
        });
    if (fallita) {
        esito.riuscito = false;
        esito.messaggio = deposito.messaggio();
    }
    return esito;
}

namespace {

std::vector<Voce> vociOrdinate(std::vector<GruppoOrdine> &gruppi) {
    std::vector<Voce> voci;
    for (GruppoOrdine &g : gruppi)
        for (RigaOrdine &r : g.righe)
            if (g.inOrdine(r)) voci.push_back({&r, r.quantita, u"Ordine a "_s + g.nomeMostrato()});
    return voci;
}

std::vector<Voce> vociAnnullate(GruppoOrdine &gruppo, int riga) {
    std::vector<Voce> voci;
    for (int i = 0; i < int(gruppo.righe.size()); ++i) {
        RigaOrdine &r = gruppo.righe[std::size_t(i)];
        if ((riga < 0 || riga == i) && r.inOrdine > 0)
            voci.push_back({&r, -r.inOrdine, u"Annullato l'ordine a "_s + gruppo.nomeMostrato()});
    }
    return voci;
}

} // namespace

RegistrazioneOrdine SegnaOrdinato(std::vector<GruppoOrdine> &gruppi, const QString &archivio,
                                  const QString &giornale) {
    return registra(vociOrdinate(gruppi), archivio, giornale);
}

RegistrazioneOrdine SegnaOrdinato(std::vector<GruppoOrdine> &gruppi, Deposito &deposito) {
    return registra(vociOrdinate(gruppi), deposito);
}

RegistrazioneOrdine AnnullaOrdine(GruppoOrdine &gruppo, int riga, const QString &archivio,
                                  const QString &giornale) {
    return registra(vociAnnullate(gruppo, riga), archivio, giornale);
}

RegistrazioneOrdine AnnullaOrdine(GruppoOrdine &gruppo, int riga, Deposito &deposito) {
    return registra(vociAnnullate(gruppo, riga), deposito);
}
