#include "journal/Movimenti.h"

#include "archive/Archivio.h"
#include "archive/RegoleNumeri.h"
#include "journal/BloccoOrdine.h"
#include "journal/IndiceGiornale.h"
#include "journal/StessaScheda.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;

std::optional<qint64> GiacenzaDi(const TScheda &scheda) {
    return LeggiGiacenza(scheda.testo(Campo::Giacenza));
}

std::optional<qint64> LeggiGiacenza(const QString &testo) {
    if (Rifila(testo).isEmpty()) return 0;
    // The number rules the lists read it with; a stock is a count of pieces,
    // so "2,5" is no stock a movement can start from.
    const auto valore = LeggiNumero(testo);
    if (!valore || *valore != std::trunc(*valore) || std::abs(*valore) > 1e15) return std::nullopt;
    return qint64(*valore);
}

QString MessaggioGiacenzaNonIntera(const QString &testo) {
    return u"Attenzione: la giacenza \u00AB"_s + Rifila(testo) +
           u"\u00BB non è un numero intero di pezzi, quindi non le si può applicare un "
           u"movimento di magazzino."_s;
}

bool GiacenzaArchiviabile(qint64 giacenza) {
    return QString::number(giacenza).size() <= definizione(Campo::Giacenza).massimo;
}

Movimento MovimentoScheda(const TScheda &scheda, qint64 posizione, TipoMovimento tipo,
                          qint64 quantita, qint64 prima, const QString &nota) {
    Movimento base;
    const QDateTime adesso = QDateTime::currentDateTime();
    base.quando = adesso.toOffsetFromUtc(adesso.offsetFromUtc());
    base.tipo = tipo;
    base.postazione = Postazione();
    base.nota = nota;
    return MovimentoDaModello(base, scheda, posizione, quantita, prima);
}

Movimento MovimentoDaModello(const Movimento &base, const TScheda &scheda, qint64 posizione,
                             qint64 quantita, qint64 prima) {
    Movimento m = base;
    m.posizione = posizione;
    m.codice = scheda.testo(Campo::Codice);
    m.nome = scheda.testo(Campo::Nome);
    m.categoria = scheda.testo(Campo::Tipologia);
    m.quantita = quantita;
    m.prima = prima;
    m.dopo = prima + quantita;
    m.costo = scheda.testo(Campo::Costo);
    return m;
}

bool MovimentoDiGiacenza(TipoMovimento tipo) {
    switch (tipo) {
    case TipoMovimento::Carico:
    case TipoMovimento::Scarico:
    case TipoMovimento::Rettifica:
    case TipoMovimento::NuovaScheda:
    case TipoMovimento::Importazione:
        return true;
    default:
        return false;
    }
}

StoriaScheda LeggiStoriaScheda(qint64 posizione, const QString &giornale) {
    return LeggiStoriaScheda(posizione, [&giornale](const QSet<qint64> &posizioni,
                                                    const SceltaRiga &scelta,
                                                    const VisitaMovimento &visita) {
        // The index beside the journal points at the same lines; without it
        // the journal is read whole.
        const auto indicizzata = LeggiConIndice(giornale, posizioni, scelta, visita);
        return indicizzata ? *indicizzata : LeggiGiornale(giornale, scelta, visita);
    });
}

StoriaScheda LeggiStoriaScheda(qint64 posizione, const LettoreStoria &leggi) {
    StoriaScheda storia;
    // Positions whose lines are needed; a move into one of them adds the
    // position it came from, and the journal is read again for it.
    QSet<qint64> posizioni{posizione};
    while (true) {
        QList<Movimento> lette;
        BloccoOrdine blocco;
        // An order's lines are all read, whatever their card, to tell a whole
        // order from one a crash cut short.
        const SceltaRiga scelta = [&posizioni](QByteArrayView riga, char separatore) {
            const qint64 p = PosizioneDiRiga(riga, separatore);
            return p < 0 || posizioni.contains(p) || RigaDiSpostamento(riga, separatore) ||
                   RigaDiOrdine(riga, separatore);
        };
        const VisitaMovimento visita = [&](const Movimento &letta, qint64) {
            for (const Movimento &m : blocco.aggiungi(letta))
                if (posizioni.contains(m.posizione) || m.tipo == TipoMovimento::Spostamento)
                    lette << m;
            return true;
        };
        const LetturaGiornale lettura = leggi(posizioni, scelta, visita);
        storia.letto = lettura.aperto;
        storia.danneggiate = lettura.danneggiate;

        // From the newest line back: the card is at `dove` until a line
        // says how it got there.
        QList<Movimento> sue;
        qint64 dove = posizione;
        qint64 manca = -1;
        // A restored card goes on from its removal, at the position it had;
        // the lines there in between are other cards'.
        QByteArray chiave;
        for (qsizetype i = lette.size() - 1; i >= 0; --i) {
            const Movimento &m = lette[i];
            if (!chiave.isEmpty()) {
                if (m.tipo == TipoMovimento::Eliminazione && m.posizione == dove &&
                    m.dati.endsWith(chiave)) {
                    sue << m;
                    chiave.clear();
                }
                continue;
            }
            if (m.tipo == TipoMovimento::Spostamento) {
                bool ok = false;
                const qint64 da = m.dati.toLongLong(&ok);
                if (m.posizione == dove && ok) {
                    sue << m;
                    dove = da;
                    if (!posizioni.contains(da)) {
                        manca = da;
                        break;
                    }
                } else if (ok && da == dove) {
                    break; // the card before was another one, which went away
                }
                continue;
            }
            if (m.posizione != dove) continue;
            if (m.tipo == TipoMovimento::Eliminazione) break; // another card, removed
            sue << m;
            if (m.tipo == TipoMovimento::NuovaScheda) break;
            if (m.tipo == TipoMovimento::Ripristino) {
                // The removal's key ends with the position the card had.
                bool ok = false;
                const qint64 da = m.dati.mid(m.dati.lastIndexOf('-') + 1).toLongLong(&ok);
                if (!ok || da < 1 || m.dati.lastIndexOf('-') < 0) break;
                chiave = m.dati;
                dove = da;
                if (!posizioni.contains(da)) {
                    manca = da;
                    break;
                }
            }
        }
        if (manca >= 0) {
            posizioni.insert(manca);
            continue;
        }
        std::reverse(sue.begin(), sue.end());
        storia.movimenti = std::move(sue);
        return storia;
    }
}

Movimento MovimentoAnnullamento(const TScheda &scheda, qint64 posizione, const Movimento &annullato,
                                qint64 prima) {
    TipoMovimento tipo = TipoMovimento::Rettifica;
    if (annullato.tipo == TipoMovimento::Carico) tipo = TipoMovimento::Scarico;
    if (annullato.tipo == TipoMovimento::Scarico) tipo = TipoMovimento::Carico;
    const QString nota = u"Annullato il movimento del "_s +
                         annullato.quando.toString(u"dd/MM/yyyy HH:mm"_s) + u" ("_s +
                         NomeTipo(annullato.tipo) + u')';
    return MovimentoScheda(scheda, posizione, tipo, -annullato.quantita, prima, nota);
}

bool AnnullaSullaScheda(const StoriaScheda &storia, qint64 posizione,
                        const AttesaAnnullamento *attesa, TScheda &scheda, Annullamento &esito) {
    const Movimento *ultimo = nullptr;
    for (qsizetype i = storia.movimenti.size() - 1; i >= 0 && !ultimo; --i)
        if (MovimentoDiGiacenza(storia.movimenti[i].tipo)) ultimo = &storia.movimenti[i];
    if (attesa && (!ultimo || !(*ultimo == attesa->movimento))) {
        esito.esito = Annullamento::Cambiato;
        return false;
    }
    if (!ultimo || ultimo->quantita == 0) return false;
    const auto giacenza = GiacenzaDi(scheda);
    if (!giacenza) {
        esito.esito = Annullamento::GiacenzaNonIntera;
        esito.testoGiacenza = scheda.testo(Campo::Giacenza);
        return false;
    }
    const qint64 prima = *giacenza;
    const qint64 quantita = -ultimo->quantita;
    if (!GiacenzaArchiviabile(prima + quantita)) {
        esito.esito = Annullamento::FuoriCampo;
        esito.giacenza = prima;
        return false;
    }
    esito.movimento = MovimentoAnnullamento(scheda, posizione, *ultimo, prima);
    scheda.impostaTesto(Campo::Giacenza, QString::number(prima + quantita));
    esito.giacenza = prima;
    return true;
}

Annullamento AnnullaUltimoMovimento(qint64 posizione, const QString &archivio,
                                    const QString &giornale, const AttesaAnnullamento *attesa) {
    Annullamento esito;
    Archivio file(archivio);
    qint64 prima = 0;
    qint64 quantita = 0;
    bool letta = false;
    bool rifiutata = false;
    bool registrato = false;
    QList<Movimento> righe;
    // The stock and its opposite line together, as for a save.
    const Conclusione conclusione = ConclusioneDeiMovimenti(
        archivio, giornale, righe, registrato, [&](qint64) { righe = {esito.movimento}; });
    // Runs once per pass over the record (twice through the intent record,
    // on the same bytes under the same lock).
    const auto modifica = [&](qint64, TScheda &suDisco) {
        letta = true;
        rifiutata = true;
        esito.esito = Annullamento::NienteDaAnnullare;
        if (attesa && RiconosciScheda(posizione, suDisco, posizione, attesa->scheda,
                                      attesa->segnoGiornale, giornale)
                              .esito != IdentitaScheda::Stessa) {
            esito.esito = Annullamento::NonPiuQui;
            return false;
        }
        // Read under the archive's lock: no copy records a movement of this
        // card in between.
        const StoriaScheda storia = LeggiStoriaScheda(posizione, giornale);
        if (!AnnullaSullaScheda(storia, posizione, attesa, suDisco, esito)) return false;
        prima = esito.giacenza;
        quantita = esito.movimento.quantita;
        rifiutata = false;
        return true;
    };
    const bool scritto =
        file.ApriArchivio() && file.scriviInsieme({posizione}, modifica, 0, {}, &conclusione) > 0;
    const int errore = file.errore();
    if (!scritto && !letta && file.conta() >= 0 && file.conta() < posizione) {
        file.chiudi();
        esito.esito = attesa ? Annullamento::NonPiuQui : Annullamento::NienteDaAnnullare;
        return esito;
    }
    file.chiudi();
    // Nothing to take back, or a reason not to: nothing written.
    if (rifiutata) return esito;
    if (!righe.isEmpty()) esito.movimento = righe.first();
    if (!scritto) {
        esito.esito =
            errore == ECANCELED ? Annullamento::GiornaleNonScritto : Annullamento::ErroreArchivio;
        return esito;
    }
    esito.giacenza = prima + quantita;
    esito.esito = Annullamento::Fatto;
    return esito;
}

MovimentiImportazione::MovimentiImportazione(const QString &nota)
    : m_base(MovimentoScheda(TScheda(), 0, TipoMovimento::Importazione, 0, 0, nota)) {}

std::optional<Movimento> MovimentiImportazione::movimento(const TScheda &scheda, qint64 posizione,
                                                          std::optional<qint64> primaLetta) const {
    const auto giacenza = GiacenzaDi(scheda);
    if (!giacenza || !primaLetta) return std::nullopt;
    const qint64 dopo = *giacenza;
    const qint64 prima = *primaLetta;
    if (dopo == prima) return std::nullopt;
    return MovimentoDaModello(m_base, scheda, posizione, dopo - prima, prima);
}

bool MovimentiImportazione::registra(const QString &giornale) const {
    return RegistraMovimenti(m_movimenti, giornale);
}

namespace {

// The last line carries the operation's key: written, the operation is final.
Conclusione conclusioneConChiave(const QString &archivio, const QString &giornale,
                                 const std::function<bool(qint64 posizione)> &vuote,
                                 const std::function<bool(const QByteArray &chiave)> &registra) {
    const QByteArray chiave = ChiaveOperazione(u"Salvataggio"_s);
    Conclusione conclusione;
    conclusione.prepara = [=](qint64) { return FinaleNelGiornale(archivio, giornale, chiave); };
    // A save always has its lines; an import may change no stock at all.
    conclusione.senzaRiga = vuote;
    conclusione.scrivi = [=](qint64 posizione) { return !vuote(posizione) && registra(chiave); };
    return conclusione;
}

} // namespace

Conclusione ConclusioneDeiMovimenti(const QString &archivio, const QString &giornale,
                                    QList<Movimento> &movimenti, bool &scritto,
                                    const std::function<void(qint64 posizione)> &prepara) {
    return conclusioneConChiave(
        archivio, giornale,
        [=, &movimenti](qint64 posizione) {
            prepara(posizione);
            return movimenti.isEmpty();
        },
        [=, &movimenti, &scritto](const QByteArray &chiave) {
            movimenti.last().dati = chiave;
            scritto = RegistraMovimenti(movimenti, giornale);
            return scritto;
        });
}

Conclusione ConclusioneDelTesto(const QString &archivio, const QString &giornale,
                                TestoMovimenti &righe, bool &scritto) {
    return conclusioneConChiave(
        archivio, giornale, [&righe](qint64) { return righe.vuoto(); },
        [=, &righe, &scritto](const QByteArray &chiave) {
            righe.datiUltima(chiave);
            scritto = RegistraTestoMovimenti(righe, giornale);
            return scritto;
        });
}

QString MessaggioGiornaleNonScritto() {
    return u"Attenzione: il giornale Movimenti.csv non può essere scritto, quindi la giacenza "
           u"non è stata cambiata: un cambio di giacenza si salva solo insieme al suo "
           u"movimento. Controllare lo spazio libero sul disco e i permessi della cartella "
           u"del programma."_s;
}
