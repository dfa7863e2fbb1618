#include "invoices/CaricoFattura.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "storage/DepositoFile.h"

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

namespace {

// The cards as the preview reads them, from the folder or a server.
struct LetturaSchede {
    QString errore;      // the archive cannot be opened: the whole message
    bool aperto = false; // false: there is no archive yet, so no card
    std::function<void(const std::function<bool(const TScheda &, qint64)> &)> scorri;
    std::function<bool(qint64, TScheda &)> leggi;
};

PianoCarico prepara(const RichiestaCarico &r, const LetturaSchede &schede) {
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
    if (!schede.errore.isEmpty()) {
        piano.errore = schede.errore;
        return piano;
    }
    const bool aperto = schede.aperto;
    if (aperto && !nuoviCodici.isEmpty())
        schede.scorri([&](const TScheda &s, qint64 p) {
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
        if (!aperto || !schede.leggi(g.posizione, s) ||
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

} // namespace

PianoCarico PreparaCarico(const RichiestaCarico &r, const QString &archivio) {
    Archivio file(archivio);
    LetturaSchede schede;
    const bool esiste = QFileInfo::exists(archivio);
    schede.aperto = esiste && file.ApriArchivio();
    if (esiste && !schede.aperto) schede.errore = MessaggioAccessoArchivio(archivio);
    schede.scorri = [&archivio](const std::function<bool(const TScheda &, qint64)> &vedi) {
        ScorriArchivio(archivio, vedi);
    };
    schede.leggi = [&file](qint64 p, TScheda &s) { return file.leggi(p, s); };
    return prepara(r, schede);
}

PianoCarico PreparaCarico(const RichiestaCarico &r, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return PreparaCarico(r, file->archivio());
    const qint64 n = deposito.conta();
    bool fallita = n < 0;
    LetturaSchede schede;
    schede.aperto = true;
    schede.scorri = [&](const std::function<bool(const TScheda &, qint64)> &vedi) {
        fallita = fallita || !deposito.scorri([&](const TScheda *blocco, qint64 q, qint64 prima) {
            for (qint64 i = 0; i < q; ++i)
                vedi(blocco[i], prima + i);
            return true;
        });
    };
    // A position past the end is a card removed meanwhile, not a failure.
    schede.leggi = [&](qint64 p, TScheda &s) {
        if (fallita || p > n) return false;
        fallita = !deposito.leggi(p, s);
        return !fallita;
    };
    PianoCarico piano;
    if (!fallita) piano = prepara(r, schede);
    if (fallita) piano = PianoCarico{deposito.messaggio(), {}};
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

bool FatturaGiaCaricata(const Fattura &fattura, Deposito &deposito,
                        std::optional<QDateTime> &quando) {
    quando.reset();
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito)) {
        quando = FatturaGiaCaricata(fattura, file->giornale());
        return true;
    }
    // Only the lines that may name the invoice, as from the file.
    const QByteArray identita = Identita(fattura);
    return deposito.righeConTesto(
        FiltroIdentita(identita), [&](QByteArrayView riga, char separatore, qint64) {
            Movimento m;
            if (!LeggiRigaGiornale(riga, separatore, m) || !m.dati.startsWith(identita))
                return true;
            quando = m.quando;
            return false;
        });
}

QString MessaggioGiaCaricata(const Fattura &fattura, const QDateTime &quando) {
    return u"Attenzione: la fattura n. "_s + fattura.numero + u" del "_s + Data(fattura.data) +
           u" di "_s + fattura.fornitore.denominazione + u" è già stata caricata il "_s +
           quando.toString(u"dd/MM/yyyy 'alle' HH:mm"_s) +
           u": non viene caricata una seconda volta."_s;
}

namespace {

// What receiving an invoice writes, on the folder and on a server alike: the
// cards' changes and the journal's lines.
class LavoroCarico {
  public:
    explicit LavoroCarico(const RichiestaCarico &r)
        : m_r(r), m_gruppi(Raggruppa(r)), m_segno(r.fattura.notaDiCredito() ? -1 : 1),
          m_tipo(m_segno < 0 ? TipoMovimento::Scarico : TipoMovimento::Carico),
          // One time and workstation for every line, found once.
          m_modello(MovimentoScheda(TScheda(), 0, m_tipo, 0, 0, NotaFattura(r.fattura, r.ditta))),
          m_identita(Identita(r.fattura)), m_chiave(m_identita + ChiaveOperazione(u"Fattura"_s)),
          m_perEsistente(m_gruppi.esistenti.size()) {
        for (const Gruppo &g : m_gruppi.esistenti)
            m_posizioni.push_back(g.posizione);
    }

    const std::vector<qint64> &posizioni() const { return m_posizioni; }
    qint64 nuove() const { return qint64(m_gruppi.nuove.size()); }
    qsizetype schede() const { return qsizetype(m_posizioni.size()) + qsizetype(nuove()); }
    const QByteArray &identita() const { return m_identita; }
    const QByteArray &chiave() const { return m_chiave; }
    // Why a card could not take its lines, when it is that.
    const QString &erroreScheda() const { return m_erroreScheda; }

    bool aggiorna(qint64 i, TScheda &s) {
        const Gruppo &g = m_gruppi.esistenti[std::size_t(i)];
        if (ChiaveCodice(s.testo(Campo::Codice)) != ChiaveCodice(g.codice)) return false;
        qint64 prima = 0;
        m_erroreScheda = Applica(s, g, m_r, m_segno * g.quantita, prima);
        if (!m_erroreScheda.isEmpty()) return false;
        m_perEsistente[std::size_t(i)] =
            movimento(s, g.posizione, m_tipo, m_segno * g.quantita, prima);
        return true;
    }

    void prepara(qint64 i, TScheda &s) const {
        const Gruppo &g = m_gruppi.nuove[std::size_t(i)];
        s = SchedaNuova(g);
        qint64 prima = 0;
        Applica(s, g, m_r, g.quantita, prima);
        s.impostaTesto(Campo::Costo, NormalizzaImporto(g.nuova.costo));
    }

    // Every line, once the first new card's position is known; the last one
    // carries the operation's key.
    QList<Movimento> righe(qint64 primo) const {
        QList<Movimento> righe;
        for (const Movimento &m : m_perEsistente)
            righe << m;
        for (std::size_t k = 0; k < m_gruppi.nuove.size(); ++k) {
            TScheda s = SchedaNuova(m_gruppi.nuove[k]);
            const qint64 posizione = primo + qint64(k);
            righe << movimento(s, posizione, TipoMovimento::NuovaScheda, 0, 0);
            prepara(qint64(k), s);
            righe << movimento(s, posizione, TipoMovimento::Carico, m_gruppi.nuove[k].quantita, 0);
        }
        for (Movimento &m : righe)
            m.dati = m_identita;
        righe.last().dati = m_chiave;
        return righe;
    }

  private:
    Movimento movimento(const TScheda &s, qint64 posizione, TipoMovimento t, qint64 quantita,
                        qint64 prima) const {
        Movimento base = m_modello;
        base.tipo = t;
        return MovimentoDaModello(base, s, posizione, quantita, prima);
    }

    const RichiestaCarico &m_r;
    const Gruppi m_gruppi;
    const qint64 m_segno;
    const TipoMovimento m_tipo;
    const Movimento m_modello;
    const QByteArray m_identita;
    const QByteArray m_chiave;
    std::vector<Movimento> m_perEsistente;
    std::vector<qint64> m_posizioni;
    QString m_erroreScheda;
};

// The invoice as received, under a name of its own in its year's folder.
struct Conservazione {
    QString cartella;
    QString file;
    bool daScrivere = true; // false: another invoice of the same batch kept it
};

Conservazione DoveConservare(const RichiestaCarico &r, const QDir &base) {
    Conservazione c;
    c.cartella = base.filePath(u"Fatture/"_s + QString::number(r.fattura.data.year()));
    const QString nome = NomeConservato(r.nomeFile);
    for (int n = 1; n < 1000; ++n) {
        const QFileInfo info(nome);
        const QString prova =
            n == 1 ? nome
                   : info.completeBaseName() + u" ("_s + QString::number(n) + u")"_s +
                         (info.suffix().isEmpty() ? QString() : u"."_s + info.suffix());
        c.file = QDir(c.cartella).filePath(prova);
        if (!QFileInfo::exists(c.file)) break;
        QFile esistente(c.file);
        if (esistente.size() == r.originale.size() && esistente.open(QIODevice::ReadOnly) &&
            esistente.readAll() == r.originale) {
            c.daScrivere = false;
            break;
        }
    }
    return c;
}

bool Conserva(const RichiestaCarico &r, const Conservazione &c) {
    return !c.daScrivere ||
           (QDir().mkpath(c.cartella) && ScriviFileIntero(c.file, [&](QIODevice *d) {
                return d->write(r.originale) == r.originale.size();
            }));
}

QString MessaggioCopiaNonScritta(const Conservazione &c) {
    return u"Attenzione: la copia della fattura non può essere scritta nella cartella "_s +
           QDir::toNativeSeparators(c.cartella) + u", quindi la fattura non è stata caricata."_s;
}

QString MessaggioSchedaCambiata() {
    return u"Attenzione: una scheda della fattura è stata cambiata o eliminata da un'altra "
           u"postazione nel frattempo: nulla è stato caricato. Riaprire la fattura."_s;
}

} // namespace

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
    LavoroCarico lavoro(r);
    const QDir base = QFileInfo(archivio).absoluteDir();
    const Conservazione conservazione = DoveConservare(r, base);

    bool doppione = false;
    bool copiata = true;
    Conclusione conclusione;
    conclusione.prepara = [&](qint64) {
        ConclusioneIntento fine = FinaleNelGiornale(archivio, giornale, lavoro.chiave());
        if (conservazione.daScrivere) fine.annullando << base.relativeFilePath(conservazione.file);
        return fine;
    };
    conclusione.iniziata = [&] {
        copiata = Conserva(r, conservazione);
        return copiata;
    };
    conclusione.scrivi = [&](qint64 primo) {
        const QByteArray filtro = FiltroIdentita(lavoro.identita());
        const Registrazione fatta = RegistraMovimentiSe(
            lavoro.righe(primo), giornale,
            [&](QByteArrayView riga, char) { return riga.contains(filtro); },
            [&](const Movimento &m) { return m.dati.startsWith(lavoro.identita()); });
        doppione = fatta == Registrazione::Rifiutata;
        return fatta == Registrazione::Fatta;
    };

    Archivio file(archivio);
    if (!file.ApriArchivio()) {
        esito.messaggio = MessaggioAccessoArchivio(archivio);
        return esito;
    }
    const qint64 primo = file.scriviInsieme(
        lavoro.posizioni(), [&](qint64 i, TScheda &s) { return lavoro.aggiorna(i, s); },
        lavoro.nuove(), [&](qint64 i, TScheda &s) { lavoro.prepara(i, s); }, &conclusione);
    const int errore = file.errore();
    file.chiudi();
    if (primo > 0) {
        esito.fatto = true;
        esito.fileConservato = conservazione.file;
        esito.schede = lavoro.schede();
        return esito;
    }
    if (!lavoro.erroreScheda().isEmpty()) {
        esito.messaggio = lavoro.erroreScheda();
    } else if (errore == ESTALE) {
        esito.messaggio = MessaggioSchedaCambiata();
    } else if (doppione) {
        const auto quando = FatturaGiaCaricata(r.fattura, giornale);
        esito.messaggio = MessaggioGiaCaricata(r.fattura, quando.value_or(QDateTime()));
    } else if (errore == ECANCELED) {
        esito.messaggio = u"Attenzione: il giornale Movimenti.csv non può essere scritto, quindi "
                          u"la fattura non è stata caricata: un carico si registra solo insieme "
                          u"ai suoi movimenti. Controllare lo spazio libero sul disco e i "
                          u"permessi della cartella del programma."_s;
    } else if (!copiata) {
        esito.messaggio = MessaggioCopiaNonScritta(conservazione);
    } else {
        esito.messaggio = MessaggioScritturaArchivio(errore);
    }
    return esito;
}

EsitoCarico ApplicaCarico(const RichiestaCarico &r, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return ApplicaCarico(r, file->archivio(), file->giornale());
    EsitoCarico esito;
    const PianoCarico piano = PreparaCarico(r, deposito);
    if (!piano.errore.isEmpty()) {
        esito.messaggio = piano.errore;
        return esito;
    }
    std::optional<QDateTime> quando;
    if (!FatturaGiaCaricata(r.fattura, deposito, quando)) {
        esito.messaggio = deposito.messaggio();
        return esito;
    }
    if (quando) {
        esito.messaggio = MessaggioGiaCaricata(r.fattura, *quando);
        return esito;
    }
    // The kept copy stays in the program folder, and goes if the cards do not change.
    LavoroCarico lavoro(r);
    const Conservazione conservazione = DoveConservare(r, QDir(CartellaProgramma()));
    if (!Conserva(r, conservazione)) {
        esito.messaggio = MessaggioCopiaNonScritta(conservazione);
        return esito;
    }
    bool cambiata = false;
    // Looked for again with no other site writing: two sites loading the
    // same invoice at once load it once.
    const bool fatto = deposito.inEsclusiva([&] {
        if (!FatturaGiaCaricata(r.fattura, deposito, quando) || quando) return false;
        return deposito.insiemeConRighe(
                   lavoro.posizioni(),
                   [&](qint64 i, TScheda &s) {
                       cambiata = !lavoro.aggiorna(i, s);
                       return !cambiata;
                   },
                   lavoro.nuove(), [&](qint64 i, TScheda &s) { lavoro.prepara(i, s); },
                   [&](qint64 prima) { return lavoro.righe(prima); }) > 0;
    });
    if (fatto) {
        esito.fatto = true;
        esito.fileConservato = conservazione.file;
        esito.schede = lavoro.schede();
        return esito;
    }
    // An invoice found loaded meanwhile keeps its copy: it is loaded.
    if (conservazione.daScrivere && !quando) QFile::remove(conservazione.file);
    esito.messaggio = quando                             ? MessaggioGiaCaricata(r.fattura, *quando)
                      : !lavoro.erroreScheda().isEmpty() ? lavoro.erroreScheda()
                      : cambiata                         ? MessaggioSchedaCambiata()
                                                         : deposito.messaggio();
    return esito;
}
