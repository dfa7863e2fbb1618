#include "movements/Periodo.h"

#include "archive/Csv.h"
#include "archive/Importi.h"
#include "archive/RegoleNumeri.h"
#include "journal/Movimenti.h"
#include "storage/DepositoFile.h"

#include "archive/FileDiretto.h"

#include <QIODevice>
#include <QSet>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

void Totali::aggiungi(const Movimento &m) {
    aggiungi(m, LeggiNumero(m.costo).value_or(0));
}

void Totali::aggiungi(const Movimento &m, double costo) {
    conta(m, costo, 1);
}

void Totali::togli(const Movimento &m, double costo) {
    conta(m, costo, -1);
}

void Totali::conta(const Movimento &m, double costo, int segno) {
    // An order placed moves no goods.
    if (m.tipo == TipoMovimento::Ordine) return;
    const qint64 quantita = m.quantita * segno;
    const double valore = double(m.quantita) * costo * segno;
    if (m.tipo == TipoMovimento::NuovaScheda || m.tipo == TipoMovimento::Importazione) {
        daSchede += quantita;
        valoreDaSchede += valore;
        return;
    }
    if (m.quantita > 0) {
        entrate += quantita;
        valoreEntrate += valore;
    } else if (m.quantita < 0) {
        uscite -= quantita;
        valoreUscite -= valore;
    }
}

QString Valore(double valore) {
    return ImportoSemplice(valore);
}

namespace {

bool cifra(char c) {
    return c >= '0' && c <= '9';
}

// The day a line was written, from its first field when it starts with a
// date: lines of other days are passed over without decoding.
bool giornoDiRiga(QByteArrayView riga, char separatore, QByteArrayView &giorno) {
    const QByteArrayView data = DataDiRiga(riga, separatore);
    if (data.size() < 10) return false;
    const char *p = data.data();
    if (!(cifra(p[0]) && cifra(p[1]) && cifra(p[2]) && cifra(p[3]) && p[4] == '-' && cifra(p[5]) &&
          cifra(p[6]) && p[7] == '-' && cifra(p[8]) && cifra(p[9])))
        return false;
    giorno = data.first(10);
    return true;
}

const QString NOTA_ANNULLAMENTO = u"Annullato il movimento del "_s;

bool eAnnullamento(const Movimento &m) {
    return MovimentoDiGiacenza(m.tipo) && m.nota.startsWith(NOTA_ANNULLAMENTO);
}

// Whether `m` is the movement an undoing names: the same card, the opposite
// quantity, written in the minute its note gives.
bool annullatoDa(const Movimento &m, const Movimento &annullamento) {
    return MovimentoDiGiacenza(m.tipo) && !eAnnullamento(m) &&
           m.posizione == annullamento.posizione && m.quantita == -annullamento.quantita &&
           m.quando.toString(u"dd/MM/yyyy HH:mm"_s) ==
               QStringView(annullamento.nota).mid(NOTA_ANNULLAMENTO.size(), 16);
}

QByteArray campo(const QString &testo) {
    return CodificaCampoCsv(TestoPerGiornale(testo), ACapo::InSpazi);
}

} // namespace

namespace {

// Keys as bytes, each given a number in the order it first comes: a table
// of open addresses, as a pass looks up keys for every line.
class Dizionario {
  public:
    qint32 numero(std::string_view chiave) {
        if ((m_chiavi.size() + 1) * 2 > m_posti.size()) ingrandisci();
        const quint64 h = hash(chiave);
        for (std::size_t i = h & (m_posti.size() - 1);; i = (i + 1) & (m_posti.size() - 1)) {
            Posto &p = m_posti[i];
            if (p.numero < 0) {
                p = {h, qint32(m_chiavi.size())};
                m_chiavi.emplace_back(chiave);
                return p.numero;
            }
            if (p.hash == h && m_chiavi[std::size_t(p.numero)] == chiave) return p.numero;
        }
    }
    // The number of a key, -1 when it never came.
    qint32 cerca(std::string_view chiave) const {
        if (m_posti.empty()) return -1;
        const quint64 h = hash(chiave);
        for (std::size_t i = h & (m_posti.size() - 1);; i = (i + 1) & (m_posti.size() - 1)) {
            const Posto &p = m_posti[i];
            if (p.numero < 0) return -1;
            if (p.hash == h && m_chiavi[std::size_t(p.numero)] == chiave) return p.numero;
        }
    }
    const std::vector<std::string> &chiavi() const { return m_chiavi; }

  private:
    struct Posto {
        quint64 hash = 0;
        qint32 numero = -1;
    };
    static quint64 hash(std::string_view k) { return std::hash<std::string_view>{}(k); }
    void ingrandisci() {
        std::vector<Posto> vecchi(std::max<std::size_t>(64, m_posti.size() * 2));
        vecchi.swap(m_posti);
        for (const Posto &p : vecchi) {
            if (p.numero < 0) continue;
            std::size_t i = p.hash & (m_posti.size() - 1);
            while (m_posti[i].numero >= 0)
                i = (i + 1) & (m_posti.size() - 1);
            m_posti[i] = p;
        }
    }
    std::vector<Posto> m_posti;
    std::vector<std::string> m_chiavi;
};

// A text field as its movement holds it, in UTF-8: the line's own bytes
// unless it starts with the apostrophe that guards a formula.
void testoDi(QByteArrayView campo, std::string &testo) {
    if (campo.isEmpty() || campo.front() != '\'') {
        testo.append(campo.data(), std::size_t(campo.size()));
        return;
    }
    const QByteArray decodificato = TestoDiCampo(campo).toUtf8();
    testo.append(decodificato.constData(), std::size_t(decodificato.size()));
}

// What the summary needs of a line in the period, with its card, category
// and cost as numbers of the dictionaries of the part that read it.
struct RigaPeriodo {
    qint64 offset;
    qint64 quantita;
    qint32 scheda;
    qint32 categoria;
    qint32 costo;
    qint32 mese; // yyyy * 100 + MM
    TipoMovimento tipo;
    bool annullamento;
};

// One part of the journal, read on a core of its own: the lines in the
// period, and the dictionaries their numbers refer to.
struct PartePeriodo {
    std::vector<RigaPeriodo> righe;
    Dizionario schede; // code and name: the code's length in 4 bytes, the code, the name
    Dizionario categorie;
    Dizionario costi;
    std::vector<double> valoriCosti;
    // The raw bytes of card, category and cost as they stand in a line, and
    // the numbers they have above.
    Dizionario insiemi;
    std::vector<std::array<qint32, 3>> numeriInsiemi;
    LetturaGiornale lettura{true, 0, 0};
    std::atomic<qint64> letti{0};
};

// What the summary keeps of each line: checked as LeggiGiornale checks it
// but without making its texts. Lines of other days are passed over without
// decoding.
class LettorePeriodo {
  public:
    LettorePeriodo(const QDate &dal, const QDate &al, PartePeriodo &parte)
        : m_dal(dal), m_al(al), m_primo(dal.toString(Qt::ISODate).toLatin1()),
          m_ultimo(al.toString(Qt::ISODate).toLatin1()), m_nota(NOTA_ANNULLAMENTO.toUtf8()),
          m_parte(parte) {}

    void riga(QByteArrayView riga, char separatore, qint64 offset) {
        PartePeriodo &parte = m_parte;
        CampiMovimento &c = m_campi;
        std::string &chiave = m_chiave;
        QByteArrayView giorno;
        if (giornoDiRiga(riga, separatore, giorno) && !(giorno >= m_primo && giorno <= m_ultimo))
            return;
        if (!LeggiCampiGiornale(riga, separatore, c)) {
            ++parte.lettura.danneggiate;
            return;
        }
        ++parte.lettura.righe;
        if (c.giorno < m_dal || c.giorno > m_al) return;
        RigaPeriodo r{offset, c.quantita, -1, -1, -1, 0, c.tipo, false};
        if (c.tipo != TipoMovimento::Ordine) {
            chiave.clear();
            testoDi(c.campi[11], chiave);
            r.annullamento = MovimentoDiGiacenza(c.tipo) && chiave.starts_with(m_nota.constData());
            // Card, category and cost come together: one look-up for the
            // three, on the line's own bytes.
            chiave.clear();
            for (std::size_t campo : {2, 3, 4, 9}) {
                const auto lunghezza = quint32(c.campi[campo].size());
                chiave.append(reinterpret_cast<const char *>(&lunghezza), 4);
                chiave.append(c.campi[campo].data(), lunghezza);
            }
            const qint32 insieme = parte.insiemi.numero(chiave);
            if (std::size_t(insieme) == parte.numeriInsiemi.size()) {
                chiave.assign(4, '\0');
                testoDi(c.campi[2], chiave);
                const auto lunghezza = quint32(chiave.size() - 4);
                std::memcpy(chiave.data(), &lunghezza, 4);
                testoDi(c.campi[3], chiave);
                const qint32 scheda = parte.schede.numero(chiave);
                chiave.clear();
                testoDi(c.campi[4], chiave);
                const qint32 categoria = parte.categorie.numero(chiave);
                chiave.clear();
                testoDi(c.campi[9], chiave);
                const qint32 costo = parte.costi.numero(chiave);
                if (std::size_t(costo) == parte.valoriCosti.size())
                    parte.valoriCosti.push_back(
                        LeggiNumero(QString::fromUtf8(chiave.data(), qsizetype(chiave.size())))
                            .value_or(0));
                parte.numeriInsiemi.push_back({scheda, categoria, costo});
            }
            const auto &numeri = parte.numeriInsiemi[std::size_t(insieme)];
            r.scheda = numeri[0];
            r.categoria = numeri[1];
            r.costo = numeri[2];
            r.mese = c.giorno.year() * 100 + c.giorno.month();
        }
        parte.righe.push_back(r);
    }

  private:
    QDate m_dal, m_al;
    QByteArray m_primo, m_ultimo, m_nota;
    PartePeriodo &m_parte;
    CampiMovimento m_campi;
    std::string m_chiave;
};

// Reads the lines of [da, fino) into `parte`.
void leggiParte(int fd, qint64 da, qint64 fino, bool ultima, char separatore, const QDate &dal,
                const QDate &al, PartePeriodo &parte) {
    LettorePeriodo lettore(dal, al, parte);
    const auto letta = ScorriRigheGiornale(
        fd, da, fino, ultima,
        [&](GenereRiga genere, QByteArrayView riga, qint64 offset) {
            switch (genere) {
            case GenereRiga::Intestazione:
            case GenereRiga::Vuota:
                return true;
            case GenereRiga::TroppoLunga:
                ++parte.lettura.danneggiate;
                return true;
            case GenereRiga::Movimento:
                break;
            }
            lettore.riga(riga, separatore, offset);
            return true;
        },
        [&](qint64 letti) { parte.letti = letti - da; });
    parte.lettura.aperto = letta.has_value();
}

// The byte key of a card and of a category, as the parts make them.
std::string chiaveScheda(const Movimento &m) {
    const QByteArray codice = m.codice.toUtf8();
    const QByteArray nome = m.nome.toUtf8();
    std::string chiave(4, '\0');
    const quint32 lunghezza = quint32(codice.size());
    std::memcpy(chiave.data(), &lunghezza, 4);
    chiave.append(codice.constData(), std::size_t(codice.size()));
    chiave.append(nome.constData(), std::size_t(nome.size()));
    return chiave;
}

} // namespace

namespace {

// The totals of the parts, added up in journal order as one reading would;
// `leggiA` reads a line by its number, for the few an undoing names.
void Riassumi(PartePeriodo (&parti)[2], RiepilogoPeriodo &r,
              const std::function<std::optional<Movimento>(qint64)> &leggiA) {
    for (const PartePeriodo &parte : parti) {
        r.lettura.righe += parte.lettura.righe;
        r.lettura.danneggiate += parte.lettura.danneggiate;
    }
    r.lettura.aperto = parti[0].lettura.aperto && parti[1].lettura.aperto;

    // The cards and categories of both parts, numbered as one.
    Dizionario schede, categorie;
    std::vector<qint32> numeriSchede[2], numeriCategorie[2];
    for (int i = 0; i < 2; ++i) {
        for (const std::string &k : parti[i].schede.chiavi())
            numeriSchede[i].push_back(schede.numero(k));
        for (const std::string &k : parti[i].categorie.chiavi())
            numeriCategorie[i].push_back(categorie.numero(k));
    }
    // A total that an undoing brought back to nothing is not listed.
    std::vector<Totali> perScheda(schede.chiavi().size()), perCategoria(categorie.chiavi().size());
    std::vector<char> conScheda(perScheda.size()), conCategoria(perCategoria.size());
    auto togli = [](std::vector<Totali> &totali, std::vector<char> &con, qint32 numero,
                    const Movimento &m, double costo) {
        if (numero < 0 || !con[std::size_t(numero)]) return;
        Totali &t = totali[std::size_t(numero)];
        t.togli(m, costo);
        if (t == Totali{}) {
            t = Totali{};
            con[std::size_t(numero)] = false;
        }
    };
    int meseCorrente = -1;
    Totali *totaliMese = nullptr;
    // Offsets of the movements an undoing took back, so no line is taken back twice.
    QSet<qint64> tolti;
    // A movement undone within the period, and its undoing, moved nothing in
    // the end. Undoings are few: the line undone is looked for back among the
    // period's lines only when one comes, so the journal is read once.
    auto annulla = [&](qint64 offsetAnnullamento) {
        const auto annullamento = leggiA(offsetAnnullamento);
        if (!annullamento) return false;
        const QDate nominato = QDate::fromString(
            annullamento->nota.mid(NOTA_ANNULLAMENTO.size(), 10), u"dd/MM/yyyy"_s);
        if (!nominato.isValid()) return false;
        for (auto it = r.righe.crbegin(); it != r.righe.crend(); ++it) {
            if (*it == offsetAnnullamento || tolti.contains(*it)) continue;
            const auto m = leggiA(*it);
            if (!m) continue;
            // Lines are in the order they were written: past the day named,
            // with a day's leeway for the offsets, there is nothing more.
            if (m->quando.date() < nominato.addDays(-1)) return false;
            if (!annullatoDa(*m, *annullamento)) continue;
            tolti.insert(*it);
            const double costo = LeggiNumero(m->costo).value_or(0);
            togli(perScheda, conScheda, schede.cerca(chiaveScheda(*m)), *m, costo);
            const QByteArray categoria = m->categoria.toUtf8();
            togli(perCategoria, conCategoria,
                  categorie.cerca(
                      std::string_view(categoria.constData(), std::size_t(categoria.size()))),
                  *m, costo);
            const QString mese = m->quando.date().toString(u"yyyy-MM"_s);
            auto delMese = r.perMese.find(mese);
            if (delMese != r.perMese.end()) {
                delMese->togli(*m, costo);
                if (*delMese == Totali{}) r.perMese.erase(delMese);
            }
            totaliMese = nullptr; // its month may be gone
            r.totale.togli(*m, costo);
            return true;
        }
        return false;
    };
    std::size_t tutte = 0;
    for (const PartePeriodo &parte : parti)
        tutte += parte.righe.size();
    r.righe.reserve(tutte);
    Movimento m; // what Totali looks at: the kind and the quantity
    for (int i = 0; i < 2; ++i) {
        for (const RigaPeriodo &riga : parti[i].righe) {
            r.righe.push_back(riga.offset);
            // An order is listed with the movements but moves no goods: it
            // adds no card, category or month to the totals.
            if (riga.tipo == TipoMovimento::Ordine) continue;
            if (riga.annullamento && annulla(riga.offset)) continue;
            m.tipo = riga.tipo;
            m.quantita = riga.quantita;
            const double costo = parti[i].valoriCosti[std::size_t(riga.costo)];
            const auto scheda = std::size_t(numeriSchede[i][std::size_t(riga.scheda)]);
            perScheda[scheda].aggiungi(m, costo);
            conScheda[scheda] = true;
            const auto categoria = std::size_t(numeriCategorie[i][std::size_t(riga.categoria)]);
            perCategoria[categoria].aggiungi(m, costo);
            conCategoria[categoria] = true;
            if (riga.mese != meseCorrente || !totaliMese) {
                meseCorrente = riga.mese;
                totaliMese =
                    &r.perMese[QDate(riga.mese / 100, riga.mese % 100, 1).toString(u"yyyy-MM"_s)];
            }
            totaliMese->aggiungi(m, costo);
            r.totale.aggiungi(m, costo);
        }
    }
    auto testo = [](std::string_view byte) {
        return QString::fromUtf8(byte.data(), qsizetype(byte.size()));
    };
    for (std::size_t i = 0; i < perScheda.size(); ++i) {
        if (!conScheda[i]) continue;
        const std::string_view chiave = schede.chiavi()[i];
        quint32 lunghezza;
        std::memcpy(&lunghezza, chiave.data(), 4);
        r.perScheda.insert(
            {testo(chiave.substr(4, lunghezza)), testo(chiave.substr(4 + lunghezza))},
            perScheda[i]);
    }
    for (std::size_t i = 0; i < perCategoria.size(); ++i)
        if (conCategoria[i]) r.perCategoria.insert(testo(categorie.chiavi()[i]), perCategoria[i]);
}

} // namespace

RiepilogoPeriodo RiepilogaPeriodo(const QDate &dal, const QDate &al, const QString &giornale,
                                  const std::function<void(qint64, qint64)> &progresso) {
    RiepilogoPeriodo r;
    const Descrittore file(ApriFileRegolare(giornale, O_RDONLY));
    if (file.fd < 0) {
        r.lettura.aperto = errno == ENOENT;
        return r;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return r;
    // Lines are appended whole under the write lock; what lies beyond the
    // length seen now is left for the next summary.
    const qint64 totale = info.st_size;

    // The header's separator, then two parts split at a line start, one for
    // each core; the totals are then added up in journal order, as one
    // reading would.
    char separatore = ';';
    ScorriRigheGiornale(file.fd, 0, qMin<qint64>(totale, RIGA_GIORNALE_MASSIMA + 2), false,
                        [&](GenereRiga genere, QByteArrayView riga, qint64) {
                            if (genere == GenereRiga::Intestazione && !riga.isEmpty())
                                separatore = SeparatoreGiornale(riga);
                            return false;
                        });
    qint64 meta = totale;
    if (totale >= (4 << 20) && std::thread::hardware_concurrency() > 1) {
        QByteArray dopo(RIGA_GIORNALE_MASSIMA + 1, Qt::Uninitialized);
        const qint64 da = totale / 2;
        const qint64 quanti = qMin<qint64>(dopo.size(), totale - da);
        if (LeggiTutto(file.fd, dopo.data(), quanti, da)) {
            const qsizetype fine = QByteArrayView(dopo.constData(), quanti).indexOf('\n');
            if (fine >= 0 && da + fine + 1 < totale) meta = da + fine + 1;
        }
    }
    PartePeriodo parti[2];
    std::future<void> seconda;
    if (meta < totale)
        seconda = std::async(std::launch::async, [&] {
            leggiParte(file.fd, meta, totale, true, separatore, dal, al, parti[1]);
        });
    std::atomic<bool> primaFinita{false};
    std::future<void> prima = std::async(std::launch::async, [&] {
        leggiParte(file.fd, 0, meta, meta == totale, separatore, dal, al, parti[0]);
        primaFinita = true;
    });
    // This thread keeps the window painting meanwhile.
    for (std::future<void> *parte : {&prima, &seconda}) {
        if (!parte->valid()) continue;
        while (parte->wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            if (progresso) progresso(parti[0].letti + parti[1].letti, totale);
        parte->get();
    }
    if (progresso) progresso(totale, totale);
    Riassumi(parti, r, [&giornale](qint64 offset) { return LeggiMovimentoA(giornale, offset); });
    return r;
}

namespace {

// Reads the journal's lines that `scelta` keeps, each decoded into `visita`.
using LetturaRighe = std::function<bool(const SceltaRiga &scelta, const VisitaMovimento &visita)>;

// Reads a storage's lines of the period from `dal` to `al` as LeggiGiornale
// reads the file's.
LetturaGiornale righeDelPeriodo(Deposito &deposito, const QDate &dal, const QDate &al,
                                const SceltaRiga &scelta, const VisitaMovimento &visita) {
    LettoreGiornale lettore(scelta, visita);
    lettore.esito.aperto =
        deposito.righePeriodo(QDateTime(dal, QTime(0, 0)), QDateTime(al.addDays(1), QTime(0, 0)),
                              [&](QByteArrayView riga, char separatore, qint64 numero) {
                                  lettore.separatore = separatore;
                                  return lettore(GenereRiga::Movimento, riga, numero);
                              });
    return lettore.esito;
}

// The summary's lines, read again in journal order: only those it counted,
// so a line appended since waits for the next summary.
bool righeDelRiepilogo(const QDate &dal, const QDate &al, const RiepilogoPeriodo &riepilogo,
                       const LetturaRighe &leggi,
                       const std::function<bool(const Movimento &)> &visita) {
    const QByteArray primo = dal.toString(Qt::ISODate).toLatin1();
    const QByteArray ultimo = al.toString(Qt::ISODate).toLatin1();
    std::size_t indice = 0;
    bool avanti = true;
    const bool letto = leggi(
        [&](QByteArrayView riga, char separatore) {
            QByteArrayView giorno;
            if (!giornoDiRiga(riga, separatore, giorno)) return true;
            return giorno >= primo && giorno <= ultimo;
        },
        [&](const Movimento &m, qint64 offset) {
            if (indice >= riepilogo.righe.size()) return false;
            if (offset != riepilogo.righe[indice]) return true;
            ++indice;
            avanti = visita(m);
            return avanti;
        });
    return letto && avanti;
}

bool scriviCsv(QIODevice *destinazione, const QDate &dal, const QDate &al,
               const RiepilogoPeriodo &riepilogo, const LetturaRighe &leggi) {
    auto scrivi = [destinazione](const QByteArray &testo) {
        return destinazione->write(testo) == testo.size();
    };
    auto totali = [](const Totali &t) -> QByteArray {
        return ';' + QByteArray::number(t.entrate) + ';' + QByteArray::number(t.uscite) + ';' +
               Valore(t.valoreEntrate).toUtf8() + ';' + Valore(t.valoreUscite).toUtf8();
    };
    QByteArray intestazione = IntestazioneGiornale();
    intestazione.chop(intestazione.size() - intestazione.lastIndexOf(';')); // no record data
    if (!scrivi("\xEF\xBB\xBF" + intestazione + "\r\n")) return false;

    bool riuscito = true;
    const bool letto = righeDelRiepilogo(dal, al, riepilogo, leggi, [&](const Movimento &m) {
        Movimento senzaDati = m;
        senzaDati.dati.clear();
        QByteArray riga = RigaGiornale(senzaDati);
        riga.chop(1); // the empty record data
        riuscito = scrivi(riga + "\r\n");
        return riuscito;
    });
    if (!riuscito || !letto) return false;

    QByteArray testo = "\r\nTotali per scheda\r\nCodice;Nome;Pezzi in entrata;Pezzi in "
                       "uscita;Valore in entrata;Valore in uscita\r\n";
    for (auto i = riepilogo.perScheda.cbegin(); i != riepilogo.perScheda.cend(); ++i)
        testo += campo(i.key().first) + ';' + campo(i.key().second) + totali(i.value()) + "\r\n";
    testo += "\r\nTotali per categoria\r\nCategoria;Pezzi in entrata;Pezzi in uscita;Valore in "
             "entrata;Valore in uscita\r\n";
    for (auto i = riepilogo.perCategoria.cbegin(); i != riepilogo.perCategoria.cend(); ++i)
        testo += campo(i.key()) + totali(i.value()) + "\r\n";
    testo += "\r\nTotale" + totali(riepilogo.totale) + "\r\n";
    return scrivi(testo);
}

} // namespace

bool ScriviCsvPeriodo(QIODevice *destinazione, const QDate &dal, const QDate &al,
                      const RiepilogoPeriodo &riepilogo, const QString &giornale) {
    return scriviCsv(destinazione, dal, al, riepilogo,
                     [&giornale](const SceltaRiga &scelta, const VisitaMovimento &visita) {
                         LeggiGiornale(giornale, scelta, visita);
                         return true;
                     });
}

bool ScriviCsvPeriodo(QIODevice *destinazione, const QDate &dal, const QDate &al,
                      const RiepilogoPeriodo &riepilogo, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return ScriviCsvPeriodo(destinazione, dal, al, riepilogo, file->giornale());
    return scriviCsv(destinazione, dal, al, riepilogo,
                     [&](const SceltaRiga &scelta, const VisitaMovimento &visita) {
                         return righeDelPeriodo(deposito, dal, al, scelta, visita).aperto;
                     });
}

RiepilogoPeriodo
RiepilogaPeriodo(const QDate &dal, const QDate &al, Deposito &deposito,
                 const std::function<void(qint64 letti, qint64 totale)> &progresso) {
    // The folder's journal is read in place, on both cores.
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return RiepilogaPeriodo(dal, al, file->giornale(), progresso);
    RiepilogoPeriodo r;
    PartePeriodo parti[2];
    LettorePeriodo lettore(dal, al, parti[0]);
    qint64 lette = 0;
    parti[0].lettura.aperto =
        deposito.righePeriodo(QDateTime(dal, QTime(0, 0)), QDateTime(al.addDays(1), QTime(0, 0)),
                              [&](QByteArrayView riga, char separatore, qint64 numero) {
                                  lettore.riga(riga, separatore, numero);
                                  // The total is not known ahead: lines read so far.
                                  if (progresso && ++lette % 20000 == 0) progresso(lette, 0);
                                  return true;
                              });
    if (!parti[0].lettura.aperto) {
        r.lettura.aperto = false;
        return r;
    }
    Riassumi(parti, r, [&deposito](qint64 numero) -> std::optional<Movimento> {
        Movimento m;
        if (!deposito.rigaGiornale(numero, m)) return std::nullopt;
        return m;
    });
    return r;
}

bool VisitaRighePeriodo(const QDate &dal, const QDate &al, const RiepilogoPeriodo &riepilogo,
                        Deposito &deposito, const std::function<bool(const Movimento &)> &visita) {
    const auto *file = dynamic_cast<DepositoFile *>(&deposito);
    return righeDelRiepilogo(
        dal, al, riepilogo,
        [&](const SceltaRiga &scelta, const VisitaMovimento &leggiRiga) {
            if (file) return LeggiGiornale(file->giornale(), scelta, leggiRiga).aperto;
            return righeDelPeriodo(deposito, dal, al, scelta, leggiRiga).aperto;
        },
        visita);
}
