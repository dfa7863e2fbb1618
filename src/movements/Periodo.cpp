#include "movements/Periodo.h"

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
    // An order placed moves no goods.
    if (m.tipo == TipoMovimento::Ordine) return;
    if (m.tipo == TipoMovimento::NuovaScheda || m.tipo == TipoMovimento::Importazione) {
        daSchede += m.quantita;
        valoreDaSchede += double(m.quantita) * costo;
        return;
    }
    if (m.quantita > 0) {
        entrate += m.quantita;
        valoreEntrate += double(m.quantita) * costo;
    } else if (m.quantita < 0) {
        uscite -= m.quantita;
        valoreUscite -= double(m.quantita) * costo;
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

// What an undoing names: the card, when the undone movement was written (to
// the minute, as the note says it) and its quantity.
using MovimentoAnnullato = QString;

MovimentoAnnullato chiaveMovimento(qint64 posizione, const QString &minuto, qint64 quantita) {
    return QString::number(posizione) + u'|' + minuto + u'|' + QString::number(quantita);
}

MovimentoAnnullato annullatoDa(const Movimento &annullamento) {
    return chiaveMovimento(annullamento.posizione,
                           annullamento.nota.mid(NOTA_ANNULLAMENTO.size(), 16),
                           -annullamento.quantita);
}

bool eAnnullamento(const Movimento &m) {
    return MovimentoDiGiacenza(m.tipo) && m.nota.startsWith(NOTA_ANNULLAMENTO);
}

QByteArray campo(const QString &testo) {
    QByteArray byte = TestoPerGiornale(testo).toUtf8();
    for (char &c : byte)
        if (c == '\r' || c == '\n') c = ' ';
    if (!byte.contains(';') && !byte.contains('"')) return byte;
    byte.replace("\"", "\"\"");
    return '"' + byte + '"';
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
    auto nelPeriodo = [&](QByteArrayView riga, char separatore) {
        QByteArrayView giorno;
        if (!giornoDiRiga(riga, separatore, giorno)) return true; // decoded, and counted if damaged
        return giorno >= primo && giorno <= ultimo;
    };
    // The undoings are few: a first look finds them by their note's words
    // without decoding anything else.
    const QByteArray parole = NOTA_ANNULLAMENTO.toUtf8();
    QSet<MovimentoAnnullato> annullati;
    LeggiGiornale(
        giornale,
        [&](QByteArrayView riga, char separatore) {
            return riga.indexOf(QByteArrayView(parole)) >= 0 && nelPeriodo(riga, separatore);
        },
        [&](const Movimento &m, qint64) {
            const QDate giorno = m.quando.date();
            if (giorno >= dal && giorno <= al && eAnnullamento(m)) annullati.insert(annullatoDa(m));
            return true;
        });
    QSet<MovimentoAnnullato> saltati;
    r.lettura = LeggiGiornale(
        giornale,
        [&](QByteArrayView riga, char separatore) { return nelPeriodo(riga, separatore); },
        [&](const Movimento &m, qint64 offset) {
            // The day as the line was written there, in its own offset.
            const QDate giorno = m.quando.date();
            if (giorno < dal || giorno > al) return true;
            r.righe.push_back(offset);
            // An order is listed with the movements but moves no goods: it
            // adds no card, category or month to the totals.
            if (m.tipo == TipoMovimento::Ordine) return true;
            // A movement undone within the period, and its undoing, moved
            // nothing in the end.
            if ((!annullati.isEmpty() || !saltati.isEmpty()) && MovimentoDiGiacenza(m.tipo)) {
                if (eAnnullamento(m) && saltati.remove(annullatoDa(m))) return true;
                const MovimentoAnnullato chiave = chiaveMovimento(
                    m.posizione, m.quando.toString(u"dd/MM/yyyy HH:mm"_s), m.quantita);
                if (annullati.contains(chiave) && !saltati.contains(chiave)) {
                    annullati.remove(chiave);
                    saltati.insert(chiave);
                    return true;
                }
            }
            auto costo = costi.constFind(m.costo);
            if (costo == costi.cend())
                costo = costi.insert(m.costo, LeggiNumero(m.costo).value_or(0));
            perScheda[{m.codice, m.nome}].aggiungi(m, *costo);
            perCategoria[m.categoria].aggiungi(m, *costo);
            const int mese = giorno.year() * 100 + giorno.month();
            if (mese != meseCorrente || !totaliMese) {
                meseCorrente = mese;
                totaliMese = &r.perMese[giorno.toString(u"yyyy-MM"_s)];
            }
            totaliMese->aggiungi(m, *costo);
            r.totale.aggiungi(m, *costo);
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
