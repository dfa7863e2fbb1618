// The movement journal at scale: a journal of N lines (1,000,000 by default,
// about 120 MB), then a card's history, the period summary over the whole
// journal and over one month, and appending one movement with its flush,
// next to grep -c over the same file.
//
//     bench_movimenti FOLDER [LINES]

#include "Misure.h"
#include "archive/Archivio.h"
#include "journal/Giornale.h"
#include "movements/Movimenti.h"
#include "movements/Periodo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimeZone>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QStringList NOMI = {u"Vite a legno"_s,   u"Bullone zincato"_s, u"Tassello nylon"_s,
                          u"Vernice bianca"_s, u"Pennello piatto"_s, u"Colla vinilica"_s,
                          u"Cerniera ottone"_s, u"Rondella piana"_s};
const QStringList CATEGORIE = {u"Ferramenta"_s, u"Colori"_s, u"Utensili"_s, u"Edilizia"_s};
const QStringList NOTE = {QString(), QString(), u"DDT 1234"_s, u"vendita al banco"_s,
                          u"reso fornitore"_s};

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
        blocco << m;
        if (blocco.size() == 10000 || i + 1 == righe) {
            ImpostaSincronizzazioneArchivio([](int) { return 0; });
            if (!RegistraMovimenti(blocco, giornale)) return 2;
            ImpostaSincronizzazioneArchivio({});
            blocco.clear();
        }
    }
    const qint64 dimensione = QFileInfo(giornale).size();
    std::printf("journal: %lld lines, %.1f MB, written in %.0f ms\n", righe,
                double(dimensione) / 1e6, Misure::millisecondi(genera));

    qint64 trovati = 0;
    const double storia = Misure::migliore(5, [&] {
        trovati = LeggiStoriaScheda(777, giornale).movimenti.size();
    });
    std::printf("history of one card (%lld movements): %.1f ms\n", trovati, storia);

    const QByteArray cerca = ";ART000777;";
    double grep = Misure::migliore(3, [&] {
        QProcess processo;
        processo.start(u"grep"_s, {u"-c"_s, QString::fromLatin1(cerca), giornale});
        processo.waitForFinished(-1);
    });
    std::printf("grep -c %s: %.1f ms\n", cerca.constData(), grep);

    std::size_t tutte = 0;
    const double periodo = Misure::migliore(3, [&] {
        tutte = RiepilogaPeriodo(QDate(2000, 1, 1), QDate(2100, 1, 1), giornale).righe.size();
    });
    std::printf("period summary, whole journal (%zu movements): %.0f ms\n", tutte, periodo);
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
    std::printf("peak memory: %.0f MiB\n", Misure::piccoMiB());
    return 0;
}
