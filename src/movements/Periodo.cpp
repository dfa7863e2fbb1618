#include "movements/Periodo.h"

#include "archive/Csv.h"
#include "archive/Importi.h"
#include "archive/RegoleNumeri.h"
#include "movements/Movimenti.h"

#include <QHash>
#include <QIODevice>
#include <QSet>
#include <cmath>

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

RiepilogoPeriodo RiepilogaPeriodo(const QDate &dal, const QDate &al, const QString &giornale,
                                  const std::function<void(qint64, qint64)> &progresso) {
    RiepilogoPeriodo r;
    const QByteArray primo = dal.toString(Qt::ISODate).toLatin1();
    const QByteArray ultimo = al.toString(Qt::ISODate).toLatin1();
    // Totals gather in hashes, sorted once at the end; costs and months
    // repeat, so each is read once.
    QHash<std::pair<QString, QString>, Totali> perScheda;
    QHash<QString, Totali> perCategoria;
    QHash<QString, double> costi;
    int meseCorrente = -1;
    Totali *totaliMese = nullptr;
    auto costoDi = [&costi](const Movimento &m) {
        auto costo = costi.constFind(m.costo);
        if (costo == costi.cend()) costo = costi.insert(m.costo, LeggiNumero(m.costo).value_or(0));
        return *costo;
    };
    // A total that an undoing brought back to nothing is not listed.
    auto togli = [](auto &totali, const auto &chiave, const Movimento &m, double costo) {
        auto it = totali.find(chiave);
        if (it == totali.end()) return;
        it->togli(m, costo);
        if (*it == Totali{}) totali.erase(it);
    };
    // Offsets of the movements an undoing took back, so no line is taken back twice.
    QSet<qint64> tolti;
    // A movement undone within the period, and its undoing, moved nothing in
    // the end. Undoings are few: the line undone is looked for back among the
    // period's lines only when one comes, so the journal is read once.
    auto annulla = [&](const Movimento &annullamento, qint64 offsetAnnullamento) {
        const QDate nominato =
            QDate::fromString(annullamento.nota.mid(NOTA_ANNULLAMENTO.size(), 10), u"dd/MM/yyyy"_s);
        if (!nominato.isValid()) return false;
        for (auto it = r.righe.crbegin(); it != r.righe.crend(); ++it) {
            if (*it == offsetAnnullamento || tolti.contains(*it)) continue;
            const auto m = LeggiMovimentoA(giornale, *it);
            if (!m) continue;
            // Lines are in the order they were written: past the day named,
            // with a day's leeway for the offsets, there is nothing more.
            if (m->quando.date() < nominato.addDays(-1)) return false;
            if (!annullatoDa(*m, annullamento)) continue;
            tolti.insert(*it);
            const double costo = costoDi(*m);
            togli(perScheda, std::pair{m->codice, m->nome}, *m, costo);
            togli(perCategoria, m->categoria, *m, costo);
            togli(r.perMese, m->quando.date().toString(u"yyyy-MM"_s), *m, costo);
            totaliMese = nullptr; // its month may be gone
            r.totale.togli(*m, costo);
            return true;
        }
        return false;
    };
    r.lettura = LeggiGiornale(
        giornale,
        [&](QByteArrayView riga, char separatore) {
            QByteArrayView giorno;
            if (!giornoDiRiga(riga, separatore, giorno))
                return true; // decoded, and counted if damaged
            return giorno >= primo && giorno <= ultimo;
        },
        [&](const Movimento &m, qint64 offset) {
            // The day as the line was written there, in its own offset.
            const QDate giorno = m.quando.date();
            if (giorno < dal || giorno > al) return true;
            r.righe.push_back(offset);
            // An order is listed with the movements but moves no goods: it
            // adds no card, category or month to the totals.
            if (m.tipo == TipoMovimento::Ordine) return true;
            if (eAnnullamento(m) && annulla(m, offset)) return true;
            const double costo = costoDi(m);
            perScheda[{m.codice, m.nome}].aggiungi(m, costo);
            perCategoria[m.categoria].aggiungi(m, costo);
            const int mese = giorno.year() * 100 + giorno.month();
            if (mese != meseCorrente || !totaliMese) {
                meseCorrente = mese;
                totaliMese = &r.perMese[giorno.toString(u"yyyy-MM"_s)];
            }
            totaliMese->aggiungi(m, costo);
            r.totale.aggiungi(m, costo);
            return true;
        },
        progresso);
    for (auto i = perScheda.cbegin(); i != perScheda.cend(); ++i)
        r.perScheda.insert(i.key(), i.value());
    for (auto i = perCategoria.cbegin(); i != perCategoria.cend(); ++i)
        r.perCategoria.insert(i.key(), i.value());
    return r;
}

bool ScriviCsvPeriodo(QIODevice *destinazione, const QDate &dal, const QDate &al,
                      const RiepilogoPeriodo &riepilogo, const QString &giornale) {
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
    const QByteArray primo = dal.toString(Qt::ISODate).toLatin1();
    const QByteArray ultimo = al.toString(Qt::ISODate).toLatin1();
    std::size_t indice = 0;
    LeggiGiornale(
        giornale,
        [&](QByteArrayView riga, char separatore) {
            QByteArrayView giorno;
            if (!giornoDiRiga(riga, separatore, giorno)) return true;
            return giorno >= primo && giorno <= ultimo;
        },
        [&](const Movimento &m, qint64 offset) {
            // Only the lines the summary counted: a line appended since
            // then waits for the next summary.
            if (indice >= riepilogo.righe.size()) return false;
            if (offset != riepilogo.righe[indice]) return true;
            ++indice;
            Movimento senzaDati = m;
            senzaDati.dati.clear();
            QByteArray riga = RigaGiornale(senzaDati);
            riga.chop(1); // the empty record data
            riuscito = scrivi(riga + "\r\n");
            return riuscito;
        });
    if (!riuscito) return false;

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
