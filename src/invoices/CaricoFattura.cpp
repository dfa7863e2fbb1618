#include "invoices/CaricoFattura.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <cerrno>
#include <map>

using namespace Qt::StringLiterals;

namespace {

// The lines that go to one card.
struct Gruppo {
    qint64 posizione = 0;
    QString codice;
    DatiNuovaScheda nuova;
    QString unita;
    qint64 quantita = 0;
    double importo = 0; // net price × quantity
    qint64 pesi = 0;
    double primoPrezzo = 0;
    double prezzo() const { return pesi > 0 ? importo / double(pesi) : primoPrezzo; }
};

QString Data(const QDate &data) {
    return data.toString(u"dd/MM/yyyy"_s);
}

QString NomeCampo(Campo campo) {
    switch (campo) {
    case Campo::Codice:
        return u"Codice"_s;
    case Campo::Nome:
        return u"Nome"_s;
    case Campo::Tipologia:
        return u"Categoria"_s;
    case Campo::Costo:
        return u"Costo"_s;
    case Campo::Ditta:
        return u"Ditta fornitrice"_s;
    case Campo::Documento:
        return u"Documento di acquisto"_s;
    case Campo::Pagamento:
        return u"Modalità di pagamento"_s;
    case Campo::UM:
        return u"Unità di misura"_s;
    default:
        return u"della scheda"_s;
    }
}

// A text that the card cannot hold exactly is stopped, never cut or changed.
QString ControllaTesto(const QString &valore, Campo campo, const QString &dove) {
    const QString testo = valore.trimmed();
    if (!Cp1252::rappresentabile(testo))
        return u"Attenzione: il carattere «"_s + Cp1252::primoNonRappresentabile(testo) +
               u"» di «"_s + testo + u"» ("_s + dove + u") non può essere scritto nel campo "_s +
               NomeCampo(campo) + u" della scheda: sostituirlo prima di caricare."_s;
    const int massimo = definizione(campo).massimo;
    if (testo.size() > massimo)
        return u"Attenzione: «"_s + testo + u"» ("_s + dove + u") ha "_s +
               QString::number(testo.size()) + u" caratteri, ma il campo "_s + NomeCampo(campo) +
               u" della scheda ne tiene al più "_s + QString::number(massimo) +
               u": accorciarlo prima di caricare."_s;
    return {};
}

QString Pagamento(const Fattura &f) {
    return f.modalitaPagamento.isEmpty() ? QString() : NomeModalitaPagamento(f.modalitaPagamento);
}

// The card's fields after the invoice, the stock by `quantita` (signed).
// Empty when all fits; otherwise the message.
QString Applica(TScheda &scheda, const Gruppo &g, const RichiestaCarico &r, qint64 quantita,
                qint64 &prima) {
    const auto giacenza = GiacenzaDi(scheda);
    const QString nome = scheda.testo(Campo::Codice) + u" – "_s + scheda.testo(Campo::Nome);
    if (!giacenza)
        return u"Attenzione: la giacenza della scheda "_s + nome + u" («"_s +
               scheda.testo(Campo::Giacenza) +
               u"») non è un numero intero: correggerla nella scheda prima di caricare la "
               u"fattura."_s;
    prima = *giacenza;
    if (!GiacenzaArchiviabile(prima + quantita))
        return u"Attenzione: la giacenza della scheda "_s + nome + u" diventerebbe "_s +
               QString::number(prima + quantita) +
               u", che non entra nei 4 caratteri del campo Giacenza: nulla è stato caricato."_s;
    scheda.impostaTesto(Campo::Giacenza, QString::number(prima + quantita));
    if (r.fattura.notaDiCredito()) return {};
    const QString nuovo = CostoDaPrezzo(g.prezzo());
    const auto attuale = LeggiNumero(scheda.testo(Campo::Costo));
    const bool cambia =
        r.costo == PoliticaCosto::Sempre || (r.costo == PoliticaCosto::SoloSePiuAlto &&
                                             (!attuale || Arrotonda(g.prezzo(), 4) > *attuale));
    if (cambia) {
        if (nuovo.size() > definizione(Campo::Costo).massimo)
            return u"Attenzione: il costo "_s + nuovo + u" della scheda "_s + nome +
                   u" non entra nei 12 caratteri del campo Costo: nulla è stato caricato."_s;
        scheda.impostaTesto(Campo::Costo, nuovo);
    }
    scheda.impostaTesto(Campo::Ditta, r.ditta);
    scheda.impostaTesto(Campo::Documento, DocumentoFattura(r.fattura));
    if (!Pagamento(r.fattura).isEmpty())
        scheda.impostaTesto(Campo::Pagamento, Pagamento(r.fattura));
    if (r.fattura.scadenza.isValid()) {
        scheda.impostaTesto(Campo::DataSca, Data(r.fattura.scadenza));
        // Due in the future: not paid yet.
        scheda.impostaTesto(Campo::Pagato,
                            r.fattura.scadenza > QDate::currentDate() ? u"No"_s : u"Sì"_s);
    }
    return {};
}

TScheda SchedaNuova(const Gruppo &g) {
    TScheda s;
    s.impostaTesto(Campo::Codice, g.nuova.codice);
    s.impostaTesto(Campo::Nome, g.nuova.nome);
    s.impostaTesto(Campo::Tipologia, g.nuova.categoria);
    s.impostaTesto(Campo::Costo, NormalizzaImporto(g.nuova.costo));
    s.impostaTesto(Campo::Giacenza, u"0"_s);
    s.impostaTesto(Campo::Avviso, u"0"_s);
    s.impostaTesto(Campo::UM, g.unita);
    s.impostaTesto(Campo::Prezzo, u"0,00"_s);
    s.impostaTesto(Campo::Pagato, u"No"_s);
    return s;
}

struct Gruppi {
    QString errore;
    std::vector<Gruppo> esistenti;
    std::vector<Gruppo> nuove;
};

Gruppi Raggruppa(const RichiestaCarico &r) {
    Gruppi esito;
    std::map<qint64, std::size_t> perPosizione;
    std::map<QString, std::size_t> perCodice;
    for (const VoceCarico &v : r.voci) {
        if (v.riga < 0 || v.riga >= r.fattura.righe.size()) continue;
        const RigaFattura &riga = r.fattura.righe[v.riga];
        const QString dove = u"riga "_s + riga.numero;
        Gruppo *g = nullptr;
        if (v.posizione > 0) {
            auto [it, nuovo] = perPosizione.try_emplace(v.posizione, esito.esistenti.size());
            if (nuovo) {
                esito.esistenti.push_back({});
                esito.esistenti.back().posizione = v.posizione;
                esito.esistenti.back().codice = v.codice;
            }
            g = &esito.esistenti[it->second];
        } else {
            if (r.fattura.notaDiCredito()) {
                esito.errore = u"Attenzione: una nota di credito non crea schede nuove (riga "_s +
                               riga.numero + u"): scegliere una scheda o «Non è merce»."_s;
                return esito;
            }
            const QString chiave = ChiaveCodice(v.nuova.codice);
            if (chiave.isEmpty()) {
                esito.errore = u"Attenzione: la nuova scheda della "_s + dove +
                               u" non ha un codice: scriverlo prima di caricare."_s;
                return esito;
            }
            for (auto [campo, valore] :
                 {std::pair{Campo::Codice, v.nuova.codice}, std::pair{Campo::Nome, v.nuova.nome},
                  std::pair{Campo::Tipologia, v.nuova.categoria},
                  std::pair{Campo::UM, riga.unitaMisura}}) {
                const QString e = ControllaTesto(valore, campo, u"nuova scheda, "_s + dove);
                if (!e.isEmpty()) {
                    esito.errore = e;
                    return esito;
                }
            }
            const auto costo = LeggiNumero(v.nuova.costo);
            if (!costo ||
                NormalizzaImporto(v.nuova.costo).size() > definizione(Campo::Costo).massimo) {
                esito.errore = u"Attenzione: il costo «"_s + v.nuova.costo +
                               u"» della nuova scheda ("_s + dove +
                               u") non è un importo che la scheda possa tenere."_s;
                return esito;
            }
            auto [it, nuovo] = perCodice.try_emplace(chiave, esito.nuove.size());
            if (nuovo) {
                esito.nuove.push_back({});
                esito.nuove.back().nuova = v.nuova;
                esito.nuove.back().codice = v.nuova.codice.trimmed();
                esito.nuove.back().unita = riga.unitaMisura;
            }
            g = &esito.nuove[it->second];
        }
        g->quantita += v.quantita;
        if (g->pesi == 0 && g->importo == 0) g->primoPrezzo = riga.prezzoNetto();
        if (v.quantita > 0) {
            g->importo += riga.prezzoNetto() * double(v.quantita);
            g->pesi += v.quantita;
        }
    }
    return esito;
}

QByteArray Identita(const Fattura &f) {
    return (u"FatturaPA;"_s + f.fornitore.identita() + u';' + f.numero + u';' +
            f.data.toString(Qt::ISODate) + u'\n')
        .toUtf8();
}

// A piece of a line's base64 data field that every line of the invoice has.
QByteArray FiltroIdentita(const QByteArray &identita) {
    return identita.left(identita.size() / 3 * 3).toBase64();
}

QString NomeConservato(const QString &nome) {
    QString pulito;
    for (QChar c : nome)
        pulito += (c == u'/' || c == u'\\' || c.unicode() < 32 || c == u':') ? u'_' : c;
    pulito = pulito.trimmed();
    if (pulito.isEmpty() || pulito.startsWith(u'.')) pulito = u"fattura"_s + pulito;
    return pulito;
}

} // namespace

QString CartellaFatture() {
    return QDir(CartellaProgramma()).filePath(u"Fatture"_s);
}

QString NotaFattura(const Fattura &fattura, const QString &ditta) {
    return NomeTipoDocumento(fattura.tipo == u"TD04" ? fattura.tipo : u"TD01"_s) + u' ' +
           fattura.numero + u" del "_s + Data(fattura.data) + u" – "_s + ditta.trimmed();
}

QString DocumentoFattura(const Fattura &fattura) {
    return u"Fattura n. "_s + fattura.numero + u" del "_s + Data(fattura.data);
}

PianoCarico PreparaCarico(const RichiestaCarico &r, const QString &archivio) {
    PianoCarico piano;
    const Gruppi gruppi = Raggruppa(r);
    if (!gruppi.errore.isEmpty()) {
        piano.errore = gruppi.errore;
        return piano;
    }
    if (gruppi.esistenti.empty() && gruppi.nuove.empty()) {
        piano.errore = u"Attenzione: nessuna riga della fattura è merce da caricare: scegliere "
                       u"la scheda delle righe o crearne di nuove."_s;
        return piano;
    }
    if (!r.fattura.notaDiCredito()) {
        for (auto [campo, valore, dove] :
             {std::tuple{Campo::Ditta, r.ditta, u"fornitore"_s},
              std::tuple{Campo::Documento, DocumentoFattura(r.fattura), u"documento"_s},
              std::tuple{Campo::Pagamento, Pagamento(r.fattura), u"pagamento"_s}}) {
            piano.errore = ControllaTesto(valore, campo, dove);
            if (!piano.errore.isEmpty()) return piano;
        }
    }
    // New codes must be new: an existing card is chosen, not made twice.
    QHash<QString, qint64> nuoviCodici;
    for (const Gruppo &g : gruppi.nuove)
        nuoviCodici.insert(ChiaveCodice(g.codice), 0);
    Archivio file(archivio);
    const bool aperto = QFileInfo::exists(archivio) ? file.ApriArchivio() : false;
    if (QFileInfo::exists(archivio) && !aperto) {
        piano.errore = MessaggioAccessoArchivio(archivio);
        return piano;
    }
    if (aperto && !nuoviCodici.isEmpty())
        ScorriArchivio(archivio, [&](const TScheda &s, qint64 p) {
            auto it = nuoviCodici.find(ChiaveCodice(s.testo(Campo::Codice)));
            if (it != nuoviCodici.end() && *it == 0) *it = p;
            return true;
        });
    for (auto it = nuoviCodici.cbegin(); it != nuoviCodici.cend(); ++it)
        if (*it > 0) {
            piano.errore = u"Attenzione: il codice «"_s + it.key() +
                           u"» di una nuova scheda è già della scheda n. "_s +
                           QString::number(*it) + u": sceglierla invece di crearne una nuova."_s;
            return piano;
        }
    const qint64 segno = r.fattura.notaDiCredito() ? -1 : 1;
    for (const Gruppo &g : gruppi.esistenti) {
        TScheda s;
        if (!aperto || !file.leggi(g.posizione, s) ||
            ChiaveCodice(s.testo(Campo::Codice)) != ChiaveCodice(g.codice)) {
            piano.errore = u"Attenzione: la scheda "_s + g.codice +
                           u" non è più quella scelta (eliminata o cambiata da un'altra "
                           u"postazione): riaprire la fattura."_s;
            return piano;
        }
        AnteprimaScheda a{g.posizione,
                          s.testo(Campo::Codice),
                          s.testo(Campo::Nome),
                          s.testo(Campo::Giacenza),
                          {},
                          s.testo(Campo::Costo),
                          {}};
        qint64 prima = 0;
        piano.errore = Applica(s, g, r, segno * g.quantita, prima);
        if (!piano.errore.isEmpty()) return piano;
        a.giacenzaDopo = s.testo(Campo::Giacenza);
        a.costoDopo = s.testo(Campo::Costo);
        piano.schede << a;
    }
    for (const Gruppo &g : gruppi.nuove) {
        TScheda s = SchedaNuova(g);
        qint64 prima = 0;
        piano.errore = Applica(s, g, r, g.quantita, prima);
        if (!piano.errore.isEmpty()) return piano;
        s.impostaTesto(Campo::Costo, NormalizzaImporto(g.nuova.costo));
        piano.schede << AnteprimaScheda{
            0, g.codice, g.nuova.nome, {}, s.testo(Campo::Giacenza), {}, s.testo(Campo::Costo)};
    }
    return piano;
}

std::optional<QDateTime> FatturaGiaCaricata(const Fattura &fattura, const QString &giornale) {
    const QByteArray identita = Identita(fattura);
    const QByteArray filtro = FiltroIdentita(identita);
    std::optional<QDateTime> quando;
    LeggiGiornale(
        giornale, [&](QByteArrayView riga, char) { return riga.contains(filtro); },
        [&](const Movimento &m, qint64) {
            if (!m.dati.startsWith(identita)) return true;
            quando = m.quando;
            return false;
        });
    return quando;
}

QString MessaggioGiaCaricata(const Fattura &fattura, const QDateTime &quando) {
    return u"Attenzione: la fattura n. "_s + fattura.numero + u" del "_s + Data(fattura.data) +
           u" di "_s + fattura.fornitore.denominazione + u" è già stata caricata il "_s +
           quando.toString(u"dd/MM/yyyy 'alle' HH:mm"_s) +
           u": non viene caricata una seconda volta."_s;
}

EsitoCarico ApplicaCarico(const RichiestaCarico &r, const QString &archivio,
                          const QString &giornale) {
    EsitoCarico esito;
    const PianoCarico piano = PreparaCarico(r, archivio);
    if (!piano.errore.isEmpty()) {
        esito.messaggio = piano.errore;
        return esito;
    }
    if (const auto quando = FatturaGiaCaricata(r.fattura, giornale)) {
        esito.messaggio = MessaggioGiaCaricata(r.fattura, *quando);
        return esito;
    }
    const Gruppi gruppi = Raggruppa(r);
    const qint64 segno = r.fattura.notaDiCredito() ? -1 : 1;
    const QString nota = NotaFattura(r.fattura, r.ditta);
    const TipoMovimento tipo = segno < 0 ? TipoMovimento::Scarico : TipoMovimento::Carico;
    // One time and workstation for every line, found once.
    const Movimento modello = MovimentoScheda(TScheda(), 0, tipo, 0, 0, nota);
    const auto movimento = [&](const TScheda &s, qint64 posizione, TipoMovimento t, qint64 quantita,
                               qint64 prima) {
        Movimento base = modello;
        base.tipo = t;
        return MovimentoDaModello(base, s, posizione, quantita, prima);
    };

    // The invoice as received, under a name of its own in its year's folder.
    const QDir base = QFileInfo(archivio).absoluteDir();
    const QString anno = QString::number(r.fattura.data.year());
    const QString cartella = base.filePath(u"Fatture/"_s + anno);
    const QString nome = NomeConservato(r.nomeFile);
    QString conservato;
    bool daScrivere = true;
    for (int n = 1; n < 1000; ++n) {
        const QFileInfo info(nome);
        const QString prova =
            n == 1 ? nome
                   : info.completeBaseName() + u" ("_s + QString::number(n) + u")"_s +
                         (info.suffix().isEmpty() ? QString() : u"."_s + info.suffix());
        conservato = QDir(cartella).filePath(prova);
        if (!QFileInfo::exists(conservato)) break;
        QFile esistente(conservato);
        if (esistente.size() == r.originale.size() && esistente.open(QIODevice::ReadOnly) &&
            esistente.readAll() == r.originale) {
            daScrivere = false; // another invoice of the same batch kept it
            break;
        }
    }

    const QByteArray identita = Identita(r.fattura);
    const QByteArray chiave = identita + ChiaveOperazione(u"Fattura"_s);
    std::vector<Movimento> perEsistente(gruppi.esistenti.size());
    QString erroreScheda;
    bool doppione = false;
    bool copiata = true;
    Conclusione conclusione;
    conclusione.prepara = [&](qint64) {
        ConclusioneIntento fine = FinaleNelGiornale(archivio, giornale, chiave);
        if (daScrivere) fine.annullando << base.relativeFilePath(conservato);
        return fine;
    };
    conclusione.iniziata = [&] {
        if (!daScrivere) return true;
        copiata = QDir().mkpath(cartella) && ScriviFileIntero(conservato, [&](QIODevice *d) {
                      return d->write(r.originale) == r.originale.size();
                  });
        return copiata;
    };
    conclusione.scrivi = [&](qint64 primo) {
        QList<Movimento> righe;
        for (const Movimento &m : perEsistente)
            righe << m;
        for (std::size_t k = 0; k < gruppi.nuove.size(); ++k) {
            TScheda s = SchedaNuova(gruppi.nuove[k]);
            const qint64 posizione = primo + qint64(k);
            righe << movimento(s, posizione, TipoMovimento::NuovaScheda, 0, 0);
            qint64 prima = 0;
            Applica(s, gruppi.nuove[k], r, gruppi.nuove[k].quantita, prima);
            s.impostaTesto(Campo::Costo, NormalizzaImporto(gruppi.nuove[k].nuova.costo));
            righe << movimento(s, posizione, TipoMovimento::Carico, gruppi.nuove[k].quantita, 0);
        }
        for (Movimento &m : righe)
            m.dati = identita;
        righe.last().dati = chiave;
        const QByteArray filtro = FiltroIdentita(identita);
        const Registrazione fatta = RegistraMovimentiSe(
            righe, giornale, [&](QByteArrayView riga, char) { return riga.contains(filtro); },
            [&](const Movimento &m) { return m.dati.startsWith(identita); });
        doppione = fatta == Registrazione::Rifiutata;
        return fatta == Registrazione::Fatta;
    };

    std::vector<qint64> posizioni;
    for (const Gruppo &g : gruppi.esistenti)
        posizioni.push_back(g.posizione);
    Archivio file(archivio);
    if (!file.ApriArchivio()) {
        esito.messaggio = MessaggioAccessoArchivio(archivio);
        return esito;
    }
    const qint64 primo = file.scriviInsieme(
        posizioni,
        [&](qint64 i, TScheda &s) {
            const Gruppo &g = gruppi.esistenti[std::size_t(i)];
            if (ChiaveCodice(s.testo(Campo::Codice)) != ChiaveCodice(g.codice)) return false;
            qint64 prima = 0;
            erroreScheda = Applica(s, g, r, segno * g.quantita, prima);
            if (!erroreScheda.isEmpty()) return false;
            perEsistente[std::size_t(i)] =
                movimento(s, g.posizione, tipo, segno * g.quantita, prima);
            return true;
        },
        qint64(gruppi.nuove.size()),
        [&](qint64 i, TScheda &s) {
            const Gruppo &g = gruppi.nuove[std::size_t(i)];
            s = SchedaNuova(g);
            qint64 prima = 0;
            Applica(s, g, r, g.quantita, prima);
            s.impostaTesto(Campo::Costo, NormalizzaImporto(g.nuova.costo));
        },
        &conclusione);
    const int errore = file.errore();
    file.chiudi();
    if (primo > 0) {
        esito.fatto = true;
        esito.fileConservato = conservato;
        esito.schede = qsizetype(gruppi.esistenti.size() + gruppi.nuove.size());
        return esito;
    }
    if (!erroreScheda.isEmpty()) {
        esito.messaggio = erroreScheda;
    } else if (errore == ESTALE) {
        esito.messaggio = u"Attenzione: una scheda della fattura è stata cambiata o eliminata da "
                          u"un'altra postazione nel frattempo: nulla è stato caricato. Riaprire "
                          u"la fattura."_s;
    } else if (doppione) {
        const auto quando = FatturaGiaCaricata(r.fattura, giornale);
        esito.messaggio = MessaggioGiaCaricata(r.fattura, quando.value_or(QDateTime()));
    } else if (errore == ECANCELED) {
        esito.messaggio = u"Attenzione: il giornale Movimenti.csv non può essere scritto, quindi "
                          u"la fattura non è stata caricata: un carico si registra solo insieme "
                          u"ai suoi movimenti. Controllare lo spazio libero sul disco e i "
                          u"permessi della cartella del programma."_s;
    } else if (!copiata) {
        esito.messaggio = u"Attenzione: la copia della fattura non può essere scritta nella "
                          u"cartella "_s +
                          QDir::toNativeSeparators(cartella) +
                          u", quindi la fattura non è stata caricata."_s;
    } else {
        esito.messaggio = MessaggioScritturaArchivio(errore);
    }
    return esito;
}
