// The movement journal at scale: a journal of N lines (1,000,000 by default,
// about 120 MB), then a card's history, the period summary over the whole
// journal and over one month, and appending one movement with its flush,
// next to grep -c over the same file and to sqlite3 answering the same
// history and the totals per category from a table of the same lines (with
// an index on the position). Fails when sqlite3's answers differ.
//
//     bench_movimenti FOLDER [LINES]

#include "Misure.h"
#include "archive/Archivio.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "movements/Periodo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimeZone>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QStringList NOMI = {u"Vite a legno"_s,    u"Bullone zincato"_s, u"Tassello nylon"_s,
                          u"Vernice bianca"_s,  u"Pennello piatto"_s, u"Colla vinilica"_s,
                          u"Cerniera ottone"_s, u"Rondella piana"_s};
const QStringList CATEGORIE = {u"Ferramenta"_s, u"Colori"_s, u"Utensili"_s, u"Edilizia"_s};
const QStringList NOTE = {QString(), QString(), u"DDT 1234"_s, u"vendita al banco"_s,
                          u"reso fornitore"_s};

// sqlite3 run on `db` with the commands on its input; its output.
std::optional<QByteArray> sqlite(const QString &db, const QByteArray &comandi) {
    QProcess p;
    p.start(u"sqlite3"_s, {db});
    p.write(comandi);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return std::nullopt;
    return p.readAllStandardOutput();
}

// The best of three runs of sqlite3 answering `query`, process start included.
double sqliteMs(const QString &db, const QString &query, QByteArray &uscita) {
    return Misure::migliore(3, [&] {
        QProcess p;
        p.start(u"sqlite3"_s, {db, query});
        p.waitForFinished(-1);
        uscita = p.readAllStandardOutput();
    });
}

int fallito(const char *perche) {
    std::fprintf(stderr, "ERRORE: %s\n", perche);
    return 4;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication applicazione(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: bench_movimenti CARTELLA [RIGHE]\n");
        return 1;
    }
    const QString cartella = QString::fromLocal8Bit(argv[1]);
    const qint64 righe = argc > 2 ? QByteArray(argv[2]).toLongLong() : 1000000;
    const QString giornale = QDir(cartella).filePath(u"Movimenti.csv"_s);
    QFile::remove(giornale);

    // 20,000 cards over two years; card 777 gets about 50 movements.
    constexpr qint64 SCHEDE = 20000;
    QRandomGenerator caso(7);
    const QDateTime inizio(QDate(2025, 1, 1), QTime(8, 0), QTimeZone(3600));
    QList<qint64> giacenze(SCHEDE + 1, 0);
    QList<Movimento> blocco;
    // The same lines for SQLite, with the cost as a number.
    const QString csv = QDir(cartella).filePath(u"movimenti_sqlite.csv"_s);
    QFile tabella(csv);
    if (!tabella.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 2;
    QByteArray righeTabella;
    QElapsedTimer genera;
    genera.start();
    for (qint64 i = 0; i < righe; ++i) {
        const qint64 posizione = 1 + qint64(caso.bounded(quint32(SCHEDE)));
        Movimento m;
        m.quando = inizio.addSecs(i * (2 * 365 * 86400 / qMax<qint64>(righe, 1)));
        m.posizione = posizione;
        m.codice = u"ART"_s + QString::number(posizione).rightJustified(6, u'0');
        m.nome = NOMI[posizione % NOMI.size()] + u' ' + QString::number(posizione % 97);
        m.categoria = CATEGORIE[posizione % CATEGORIE.size()];
        const qint64 prima = giacenze[posizione];
        if (prima == 0) {
            m.tipo = TipoMovimento::NuovaScheda;
            m.quantita = 1 + caso.bounded(100);
        } else if (caso.bounded(3) == 0) {
            m.tipo = TipoMovimento::Carico;
            m.quantita = 1 + caso.bounded(50);
        } else {
            m.tipo = TipoMovimento::Scarico;
            m.quantita = -qint64(1 + caso.bounded(20));
        }
        m.prima = prima;
        m.dopo = prima + m.quantita;
        giacenze[posizione] = m.dopo;
        m.costo = QString::number(1 + posizione % 50) + u",50"_s;
        m.postazione = u"cassa (mario)"_s;
        m.nota = NOTE[caso.bounded(int(NOTE.size()))];
        righeTabella += QByteArray::number(m.posizione) + ',' + m.codice.toUtf8() + ',' +
                        m.nome.toUtf8() + ',' + m.categoria.toUtf8() + ',' +
                        NomeTipo(m.tipo).toUtf8() + ',' + QByteArray::number(m.quantita) + ',' +
                        m.costo.toUtf8().replace(',', '.') + '\n';
        blocco << m;
        if (blocco.size() == 10000 || i + 1 == righe) {
            tabella.write(righeTabella);
            righeTabella.clear();
            ImpostaSincronizzazioneArchivio([](int) { return 0; });
            if (!RegistraMovimenti(blocco, giornale)) return 2;
            ImpostaSincronizzazioneArchivio({});
            blocco.clear();
        }
    }
    const qint64 dimensione = QFileInfo(giornale).size();
    std::printf("journal: %lld lines, %.1f MB, written in %.0f ms\n", righe,
                double(dimensione) / 1e6, Misure::millisecondi(genera));

    tabella.close();

    // The first history builds the index beside the journal; the others find
    // it up to date.
    QFile::remove(giornale + u".indice"_s);
    qint64 trovati = 0;
    QElapsedTimer primaStoria;
    primaStoria.start();
    trovati = LeggiStoriaScheda(777, giornale).movimenti.size();
    std::printf("history of one card, building the index (%.1f MB): %.1f ms\n",
                double(QFileInfo(giornale + u".indice"_s).size()) / 1e6,
                Misure::millisecondi(primaStoria));
    const double storia =
        Misure::migliore(5, [&] { trovati = LeggiStoriaScheda(777, giornale).movimenti.size(); });
    std::printf("history of one card (%lld movements): %.2f ms\n", trovati, storia);

    const QByteArray cerca = ";ART000777;";
    double grep = Misure::migliore(3, [&] {
        QProcess processo;
        processo.start(u"grep"_s, {u"-c"_s, QString::fromLatin1(cerca), giornale});
        processo.waitForFinished(-1);
    });
    std::printf("grep -c %s: %.1f ms\n", cerca.constData(), grep);

    std::size_t tutte = 0;
    RiepilogoPeriodo riepilogo;
    const double periodo = Misure::migliore(3, [&] {
        riepilogo = RiepilogoPeriodo();
        riepilogo = RiepilogaPeriodo(QDate(2000, 1, 1), QDate(2100, 1, 1), giornale);
        tutte = riepilogo.righe.size();
    });
    std::printf("period summary, whole journal (%zu movements): %.0f ms\n", tutte, periodo);

    if (QStandardPaths::findExecutable(u"sqlite3"_s).isEmpty())
        return fallito("sqlite3 non si trova: serve per il confronto");
    const QString db = QDir(cartella).filePath(u"movimenti.db"_s);
    QFile::remove(db);
    QElapsedTimer importa;
    importa.start();
    if (!sqlite(db, "CREATE TABLE movimenti(posizione INTEGER, codice TEXT, nome TEXT, "
                    "categoria TEXT, tipo TEXT, quantita INTEGER, costo REAL);\n"
                    ".mode csv\n.import " +
                        csv.toUtf8() +
                        " movimenti\n"
                        "CREATE INDEX per_posizione ON movimenti(posizione);\n"))
        return fallito("sqlite3 non ha importato le righe");
    QFile::remove(csv);
    std::printf("SQLite table of the same lines, index on the position: %.0f MB, made in %.0f ms\n",
                double(QFileInfo(db).size()) / 1e6, Misure::millisecondi(importa));
    QByteArray uscita;
    const double avvio = sqliteMs(db, u"SELECT 1;"_s, uscita);
    std::printf("sqlite3, starting the process alone: %.1f ms\n", avvio);
    const double storiaSql =
        sqliteMs(db, u"SELECT * FROM movimenti WHERE posizione = 777 ORDER BY rowid;"_s, uscita);
    const qint64 righeSql = uscita.count('\n');
    std::printf("sqlite3, the same card's lines by the index (%lld rows): %.1f ms; "
                "ours / SQLite = %.2f\n",
                righeSql, storiaSql, storia / storiaSql);
    if (righeSql != trovati) return fallito("la storia della scheda non ha le righe di SQLite");

    // Pieces in and out, their value, and the stock of new cards, per category.
    const double gruppiSql =
        sqliteMs(db,
                 u"SELECT categoria,"
                 " SUM(CASE WHEN tipo NOT IN ('Nuova scheda','Importazione') AND quantita > 0"
                 "  THEN quantita ELSE 0 END),"
                 " SUM(CASE WHEN tipo NOT IN ('Nuova scheda','Importazione') AND quantita < 0"
                 "  THEN -quantita ELSE 0 END),"
                 " printf('%.2f', SUM(CASE WHEN tipo NOT IN ('Nuova scheda','Importazione')"
                 "  AND quantita > 0 THEN quantita * costo ELSE 0 END)),"
                 " printf('%.2f', SUM(CASE WHEN tipo NOT IN ('Nuova scheda','Importazione')"
                 "  AND quantita < 0 THEN -quantita * costo ELSE 0 END)),"
                 " SUM(CASE WHEN tipo IN ('Nuova scheda','Importazione') THEN quantita ELSE 0 END)"
                 " FROM movimenti GROUP BY categoria ORDER BY categoria;"_s,
                 uscita);
    QByteArray nostre;
    for (auto i = riepilogo.perCategoria.cbegin(); i != riepilogo.perCategoria.cend(); ++i)
        nostre += i.key().toUtf8() + '|' + QByteArray::number(i->entrate) + '|' +
                  QByteArray::number(i->uscite) + '|' +
                  QByteArray::number(i->valoreEntrate, 'f', 2) + '|' +
                  QByteArray::number(i->valoreUscite, 'f', 2) + '|' +
                  QByteArray::number(i->daSchede) + '\n';
    std::printf("sqlite3, GROUP BY category over the whole journal (%lld rows): %.0f ms; "
                "ours / SQLite = %.2f\n",
                qint64(uscita.count('\n')), gruppiSql, periodo / gruppiSql);
    if (nostre != uscita) {
        std::fprintf(stderr, "nostri:\n%s\nSQLite:\n%s\n", nostre.constData(), uscita.constData());
        return fallito("i totali per categoria non sono quelli di SQLite");
    }
    QFile::remove(db);
    std::size_t mese = 0;
    const double unMese = Misure::migliore(3, [&] {
        mese = RiepilogaPeriodo(QDate(2026, 3, 1), QDate(2026, 3, 31), giornale).righe.size();
    });
    std::printf("period summary, one month (%zu movements): %.0f ms\n", mese, unMese);

    // Appending one movement, flush included.
    Movimento uno = MovimentoScheda(TScheda(), 777, TipoMovimento::Carico, 1, 0);
    constexpr int VOLTE = 100;
    QElapsedTimer accoda;
    accoda.start();
    for (int i = 0; i < VOLTE; ++i)
        if (!RegistraMovimenti({uno}, giornale)) return 3;
    std::printf("append one movement with its flush: %.2f ms on average of %d\n",
                Misure::millisecondi(accoda) / VOLTE, VOLTE);
    // The index brought up to date with the lines just appended.
    QElapsedTimer dopo;
    dopo.start();
    trovati = LeggiStoriaScheda(777, giornale).movimenti.size();
    std::printf("history of one card after %d appends (%lld movements): %.2f ms\n", VOLTE, trovati,
                Misure::millisecondi(dopo));
    std::printf("peak memory: %.0f MiB\n", Misure::piccoMiB());
    return 0;
}
