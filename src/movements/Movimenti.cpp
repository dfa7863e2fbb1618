#include "movements/Movimenti.h"

#include "archive/Archivio.h"

#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

std::optional<qint64> GiacenzaDi(const TScheda &scheda) {
    const QString testo = scheda.testo(Campo::Giacenza);
    if (testo.isEmpty()) return 0;
    bool ok = false;
    const qint64 valore = testo.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return valore;
}

bool GiacenzaArchiviabile(qint64 giacenza) {
    return QString::number(giacenza).size() <= definizione(Campo::Giacenza).massimo;
}

Movimento MovimentoScheda(const TScheda &scheda, qint64 posizione, TipoMovimento tipo,
                          qint64 quantita, qint64 prima, const QString &nota) {
    Movimento m;
    const QDateTime adesso = QDateTime::currentDateTime();
    m.quando = adesso.toOffsetFromUtc(adesso.offsetFromUtc());
    m.posizione = posizione;
    m.codice = scheda.testo(Campo::Codice);
    m.nome = scheda.testo(Campo::Nome);
    m.categoria = scheda.testo(Campo::Tipologia);
    m.tipo = tipo;
    m.quantita = quantita;
    m.prima = prima;
    m.dopo = prima + quantita;
    m.costo = scheda.testo(Campo::Costo);
    m.postazione = Postazione();
    m.nota = nota;
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
    StoriaScheda storia;
    // Positions whose lines are needed; a move into one of them adds the
    // position it came from, and the journal is read again for it.
    QSet<qint64> posizioni{posizione};
    while (true) {
        QList<Movimento> lette;
        const LetturaGiornale lettura = LeggiGiornale(
            giornale,
            [&posizioni](QByteArrayView riga, char separatore) {
                const qint64 p = PosizioneDiRiga(riga, separatore);
                return p < 0 || posizioni.contains(p) || RigaDiSpostamento(riga, separatore);
            },
            [&](const Movimento &m, qint64) {
                if (posizioni.contains(m.posizione) || m.tipo == TipoMovimento::Spostamento)
                    lette << m;
                return true;
            });
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

Annullamento AnnullaUltimoMovimento(qint64 posizione, const QString &archivio,
                                    const QString &giornale) {
    Annullamento esito;
    const StoriaScheda storia = LeggiStoriaScheda(posizione, giornale);
    const Movimento *ultimo = nullptr;
    for (qsizetype i = storia.movimenti.size() - 1; i >= 0 && !ultimo; --i)
        if (MovimentoDiGiacenza(storia.movimenti[i].tipo)) ultimo = &storia.movimenti[i];
    if (!ultimo || ultimo->quantita == 0) return esito;

    const qint64 quantita = -ultimo->quantita;
    TipoMovimento tipo = TipoMovimento::Rettifica;
    if (ultimo->tipo == TipoMovimento::Carico) tipo = TipoMovimento::Scarico;
    if (ultimo->tipo == TipoMovimento::Scarico) tipo = TipoMovimento::Carico;
    const QString nota = u"Annullato il movimento del "_s +
                         ultimo->quando.toString(u"dd/MM/yyyy HH:mm"_s) + u" ("_s +
                         NomeTipo(ultimo->tipo) + u')';

    Archivio file(archivio);
    qint64 prima = 0;
    bool fuoriCampo = false;
    bool registrato = false;
    TScheda scritta;
    QList<Movimento> righe;
    // The stock and its opposite line together, as for a save.
    const Conclusione conclusione =
        ConclusioneDeiMovimenti(archivio, giornale, righe, registrato, [&](qint64) {
            righe = {MovimentoScheda(scritta, posizione, tipo, quantita, prima, nota)};
        });
    const bool scritto =
        file.ApriArchivio() &&
        file.scriviInsieme(
            {posizione},
            [&](qint64, TScheda &suDisco) {
                prima = GiacenzaDi(suDisco).value_or(0);
                if (!GiacenzaArchiviabile(prima + quantita)) {
                    fuoriCampo = true;
                    return false;
                }
                suDisco.impostaTesto(Campo::Giacenza, QString::number(prima + quantita));
                scritta = suDisco;
                return true;
            },
            0, {}, &conclusione) > 0;
    const int errore = file.errore();
    file.chiudi();
    if (!righe.isEmpty()) esito.movimento = righe.first();
    if (!scritto && !fuoriCampo) {
        esito.esito =
            errore == ECANCELED ? Annullamento::GiornaleNonScritto : Annullamento::ErroreArchivio;
        return esito;
    }
    if (fuoriCampo) {
        esito.esito = Annullamento::FuoriCampo;
        esito.giacenza = prima;
        return esito;
    }
    esito.giacenza = prima + quantita;
    esito.esito = registrato ? Annullamento::Fatto : Annullamento::GiornaleNonScritto;
    return esito;
}

MovimentiImportazione::MovimentiImportazione(const QString &nota)
    : m_base(MovimentoScheda(TScheda(), 0, TipoMovimento::Importazione, 0, 0, nota)) {}

std::optional<Movimento> MovimentiImportazione::movimento(const TScheda &scheda, qint64 posizione,
                                                          qint64 prima) const {
    const qint64 dopo = GiacenzaDi(scheda).value_or(0);
    if (dopo == prima) return std::nullopt;
    Movimento m = m_base;
    m.posizione = posizione;
    m.codice = scheda.testo(Campo::Codice);
    m.nome = scheda.testo(Campo::Nome);
    m.categoria = scheda.testo(Campo::Tipologia);
    m.costo = scheda.testo(Campo::Costo);
    m.quantita = dopo - prima;
    m.prima = prima;
    m.dopo = dopo;
    return m;
}

bool MovimentiImportazione::registra(const QString &giornale) const {
    return RegistraMovimenti(m_movimenti, giornale);
}

Conclusione ConclusioneDeiMovimenti(const QString &archivio, const QString &giornale,
                                    QList<Movimento> &movimenti, bool &scritto,
                                    const std::function<void(qint64 posizione)> &prepara) {
    const QByteArray chiave = ChiaveOperazione(u"Salvataggio"_s);
    Conclusione conclusione;
    conclusione.prepara = [=](qint64) { return FinaleNelGiornale(archivio, giornale, chiave); };
    // A save always has its lines; an import may change no stock at all.
    conclusione.senzaRiga = [=, &movimenti](qint64 posizione) {
        prepara(posizione);
        return movimenti.isEmpty();
    };
    conclusione.scrivi = [=, &movimenti, &scritto](qint64 posizione) {
        prepara(posizione);
        if (movimenti.isEmpty()) return false;
        movimenti.last().dati = chiave;
        scritto = RegistraMovimenti(movimenti, giornale);
        return scritto;
    };
    return conclusione;
}

QString MessaggioGiornaleNonScritto() {
    return u"Attenzione: il giornale Movimenti.csv non può essere scritto, quindi la giacenza "
           u"non è stata cambiata: un cambio di giacenza si salva solo insieme al suo "
           u"movimento. Controllare lo spazio libero sul disco e i permessi della cartella "
           u"del programma."_s;
}
