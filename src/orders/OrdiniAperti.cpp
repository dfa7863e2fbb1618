#include "orders/OrdiniAperti.h"

#include "archive/Archivio.h"
#include "movements/Movimenti.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Voce {
    RigaOrdine *riga;
    qint64 quantita;
    QString nota;
};

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
    for (const Voce &v : voci) {
        TScheda scheda;
        if (!file.leggi(v.riga->posizione, scheda) ||
            scheda.testo(Campo::Codice) != v.riga->codice) {
            esito.esito = RegistrazioneOrdine::SchedaCambiata;
            esito.codice = v.riga->codice;
            return esito;
        }
        const qint64 giacenza = GiacenzaDi(scheda).value_or(0);
        Movimento m = MovimentoScheda(scheda, v.riga->posizione, TipoMovimento::Ordine, v.quantita,
                                      giacenza, v.nota);
        m.dopo = m.prima; // an order leaves the stock as it is
        movimenti << m;
    }
    file.chiudi();
    if (!RegistraMovimenti(movimenti, giornale)) {
        esito.esito = RegistrazioneOrdine::GiornaleNonScritto;
        return esito;
    }
    for (const Voce &v : voci)
        v.riga->inOrdine = std::max<qint64>(0, v.riga->inOrdine + v.quantita);
    esito.esito = RegistrazioneOrdine::Fatto;
    esito.righe = qint64(voci.size());
    return esito;
}

} // namespace

OrdiniAperti LeggiOrdiniAperti(const QString &giornale) {
    OrdiniAperti aperti;
    auto &q = aperti.quantita;
    const LetturaGiornale lettura = LeggiGiornale(
        giornale, [](QByteArrayView, char) { return true; },
        [&q](const Movimento &m, qint64) {
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
            return true;
        });
    aperti.letto = lettura.aperto;
    q.removeIf([](const auto &voce) { return voce.value() <= 0; });
    return aperti;
}

void ApplicaOrdiniAperti(std::vector<GruppoOrdine> &gruppi, const OrdiniAperti &aperti) {
    for (GruppoOrdine &g : gruppi)
        for (RigaOrdine &r : g.righe)
            r.inOrdine = aperti.quantita.value(r.posizione);
}

RegistrazioneOrdine SegnaOrdinato(std::vector<GruppoOrdine> &gruppi, const QString &archivio,
                                  const QString &giornale) {
    std::vector<Voce> voci;
    for (GruppoOrdine &g : gruppi)
        for (RigaOrdine &r : g.righe)
            if (g.inOrdine(r)) voci.push_back({&r, r.quantita, u"Ordine a "_s + g.nomeMostrato()});
    return registra(voci, archivio, giornale);
}

RegistrazioneOrdine AnnullaOrdine(GruppoOrdine &gruppo, int riga, const QString &archivio,
                                  const QString &giornale) {
    std::vector<Voce> voci;
    for (int i = 0; i < int(gruppo.righe.size()); ++i) {
        RigaOrdine &r = gruppo.righe[std::size_t(i)];
        if ((riga < 0 || riga == i) && r.inOrdine > 0)
            voci.push_back({&r, -r.inOrdine, u"Annullato l'ordine a "_s + gruppo.nomeMostrato()});
    }
    return registra(voci, archivio, giornale);
}
