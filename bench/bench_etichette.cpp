// Times what scanning a code and printing labels cost: the exact-code lookup
// over an archive of N cards (a code in the middle, and one that no card
// has), reading the code in one 1280 x 720 webcam frame, and laying out and
// painting into a PDF a sheet of 24 labels.
// Usage: bench_etichette [folder] [N]   (default N: 100000); needs
// QT_QPA_PLATFORM=offscreen on a machine without a display.
#include "labels/CercaCodice.h"
#include "labels/FoglioEtichette.h"
#include "labels/LettoreCodici.h"
#include "report/TfrxReport.h"

#include "FotogrammaEtichetta.h"
#include "Misure.h"
#include "SchedeGenerate.h"
#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <cstdio>

using namespace Misure;

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    const Argomenti argomenti({100000});
    const qint64 n = argomenti.quanti.first();

    const QString archivio = argomenti.file(QStringLiteral("Magazzino.pro"));
    SchedeGenerate::GeneraArchivio(archivio, n);
    const QString codice = QStringLiteral("art-%1").arg(n / 2, 7, 10, QLatin1Char('0'));
    qsizetype trovate = 0;
    const double cerca =
        migliore(7, [&] { trovate = CercaCodiceEsatto(archivio, codice).posizioni.size(); });
    const double nessuna =
        migliore(7, [&] { CercaCodiceEsatto(archivio, QStringLiteral("NON-ESISTE")); });
    std::printf("ricerca del codice esatto su %lld schede: %.1f ms (%lld trovata), "
                "codice assente %.1f ms\n",
                static_cast<long long>(n), cerca, static_cast<long long>(trovate), nessuna);

    const QImage conEtichetta = FotogrammaConEtichetta(QStringLiteral("8001234567893"));
    QImage vuoto(1280, 720, QImage::Format_RGB32);
    vuoto.fill(SfondoFotogramma());
    QString letto;
    const double lettura = migliore(10, [&] { letto = LeggiCodiceInImmagine(conEtichetta); });
    const double letturaVuoto = migliore(10, [&] { LeggiCodiceInImmagine(vuoto); });
    std::printf("lettura di un fotogramma 1280 x 720: %.1f ms (letto \"%s\"), "
                "senza codice %.1f ms\n",
                lettura, qPrintable(letto), letturaVuoto);

    QList<SchedaEtichetta> schede;
    for (int i = 1; i <= 24; ++i)
        schede << SchedaEtichetta{QStringLiteral("ART-%1").arg(i, 7, 10, QLatin1Char('0')),
                                  QStringLiteral("Bullone esagonale zincato M8 x %1").arg(i),
                                  QStringLiteral("%1,90").arg(i), 1};
    EtichettePreparate foglio;
    const double prepara =
        migliore(5, [&] { foglio = PreparaEtichette(FormatiStandard().at(0), 1, {}, schede); });
    qint64 byte = 0;
    const double pdf = migliore(5, [&] {
        QBuffer uscita;
        uscita.open(QIODevice::WriteOnly);
        QPdfWriter scrittore(&uscita);
        foglio.report->DisegnaPagine(scrittore);
        byte = uscita.size();
    });
    std::printf("foglio di 24 etichette: preparato in %.1f ms, PDF in %.1f ms (%lld kB)\n", prepara,
                pdf, static_cast<long long>(byte / 1024));
    std::printf("picco di memoria: %.0f MiB\n", piccoMiB());
    return 0;
}
