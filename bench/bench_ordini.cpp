// Times the order window on a generated archive: the pass that gathers the
// under-stock cards by supplier, opening the window (pass, tree, totals, on
// screen), a PDF per supplier, the CSV and the mail link.
// Usage: bench_ordini [folder] [N]   (default N: 100000)
// Needs no display: it runs on the offscreen platform unless told otherwise.
#include "archive/CartellaProgramma.h"
#include "orders/DocumentiOrdine.h"
#include "orders/Ordini.h"
#include "orders/TfrmOrdini.h"

#include "DialoghiMuti.h"
#include "Misure.h"
#include "SchedeGenerate.h"
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

using namespace Misure;

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const qint64 n = argc > 2 ? QByteArray(argv[2]).toLongLong() : 100000;
    QTemporaryDir cartella(base + QStringLiteral("/bench_ordini_XXXXXX"));
    ImpostaCartellaProgramma(cartella.path());
    DialoghiMuti muti;

    SchedeGenerate::GeneraArchivio(PercorsoArchivio(), n);
    const EsitoOrdini esito = RaccogliOrdini(PercorsoArchivio());
    qint64 righe = 0;
    for (const GruppoOrdine &g : esito.gruppi)
        righe += qint64(g.righe.size());
    std::printf("%lld cards, %lld under stock, %zu suppliers\n", static_cast<long long>(n),
                static_cast<long long>(righe), esito.gruppi.size());

    const double passata = migliore(5, [] { RaccogliOrdini(PercorsoArchivio()); });
    std::printf("gathering the orders (one pass)       %8.1f ms\n", passata);

    const double apertura = migliore(5, [] {
        TfrmOrdini finestra;
        finestra.show();
        QApplication::processEvents();
    });
    std::printf("opening the order window, on screen   %8.1f ms\n", apertura);

    const QString ordini = CartellaOrdini();
    const double pdf =
        migliore(3, [&] { SalvaPdfOrdini(esito.gruppi, ordini, QDate(2026, 12, 10)); });
    std::printf("a PDF per supplier (%zu files)         %8.1f ms\n", esito.gruppi.size(), pdf);

    const double csv = migliore(5, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ScriviCsvOrdini(&buffer, esito.gruppi);
    });
    std::printf("the CSV of every line                 %8.1f ms\n", csv);

    const double posta = migliore(5, [&] {
        for (const GruppoOrdine &g : esito.gruppi)
            CollegamentoPosta(g, QDate(2026, 12, 10));
    });
    std::printf("the mail links of every supplier      %8.1f ms\n", posta);
    std::printf("peak memory                           %8.1f MiB\n", piccoMiB());
    return 0;
}
