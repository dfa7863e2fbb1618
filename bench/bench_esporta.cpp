// Times the export window on generated archives: opening it (reading every
// card into the grid), writing Magazzino.xls, Magazzino.xlsx and
// Magazzino.csv, then reading that CSV file back as an import (the preview's
// rows) and appending its cards to an empty archive; with the memory it takes.
// Usage: QT_QPA_PLATFORM=offscreen bench_esporta [N ...]   (default N: 10000 100000)
//        bench_esporta --importa N                            (the import alone)
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/TScheda.h"
#include "sheets/CsvMagazzino.h"
#include "sheets/ImportaCsv.h"
#include "sheets/TfrmExpMagazzino.h"

#include "DialoghiMuti.h"
#include "Misure.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace Misure;

namespace {

TScheda generata(qint64 i) {
    {
        TScheda s;
        s.impostaTesto(Campo::Codice, QStringLiteral("ART-%1").arg(i, 7, 10, QLatin1Char('0')));
        s.impostaTesto(Campo::Costo, QStringLiteral("%1,50").arg(i % 300));
        s.impostaTesto(Campo::Nome, QStringLiteral("Vite a legno %1 mm").arg(i % 120));
        s.impostaTesto(Campo::Giacenza, QString::number(i % 500));
        s.impostaTesto(Campo::UM, QStringLiteral("Scatola da 100 pezzi"));
        s.impostaTesto(Campo::Tipologia, QStringLiteral("Ferramenta"));
        s.impostaTesto(Campo::Caratteristiche,
                       QStringLiteral("Acciaio zincato, uso interno ed esterno, confezione in "
                                      "cartone riciclato con etichetta del lotto"));
        s.impostaTesto(Campo::Collocazione, QStringLiteral("Scaffale B, ripiano 3"));
        s.impostaTesto(Campo::Ditta, QStringLiteral("Bianchi & Figli"));
        s.impostaTesto(Campo::Agente, QStringLiteral("Mario Esposito"));
        s.impostaTesto(Campo::Recapito, QStringLiteral("+39 02 1234567"));
        s.impostaTesto(Campo::Documento, QStringLiteral("Fattura n. 12/2026"));
        s.impostaTesto(Campo::Pagamento, QStringLiteral("Bonifico a 30 giorni"));
        s.impostaTesto(Campo::DataSca, QStringLiteral("15/06/2027"));
        s.impostaTesto(Campo::Note, QStringLiteral("Ordinare con anticipo nei mesi estivi."));
        s.impostaTesto(Campo::Prezzo, QStringLiteral("12,90"));
        s.impostaTesto(Campo::Pagato, i % 2 ? QStringLiteral("Sì") : QStringLiteral("No"));
        return s;
    }
}

void genera(const QString &percorso, qint64 n) {
    QFile file(percorso);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (qint64 i = 1; i <= n; ++i) {
        const TScheda s = generata(i);
        file.write(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
}

// The import alone, in a process of its own: a CSV file of n cards written as
// the export writes it, read into the preview and appended to an empty archive.
int soloImportazione(qint64 n) {
    QTemporaryDir cartella;
    ImpostaCartellaProgramma(cartella.path());
    const QString csv = QDir(cartella.path()).filePath(QStringLiteral("Magazzino.csv"));
    {
        QFile file(csv);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        qsizetype letta = -1;
        TScheda scheda;
        ScriviCsvMagazzino(&file, n, [&](qsizetype r, int c) {
            if (r != letta) scheda = generata(letta = r);
            return scheda.testo(ColonneCsv()[std::size_t(c)].campo);
        });
    }
    const double prima = piccoMiB();
    QElapsedTimer t;
    t.start();
    QFile file(csv);
    file.open(QIODevice::ReadOnly);
    Importazione importazione = PreparaImportazione(file.readAll(), PercorsoArchivio());
    file.close();
    const double lettura = millisecondi(t);
    t.restart();
    Archivio archivio;
    archivio.ApriArchivio();
    const qint64 primo =
        archivio.scriviInsieme({}, {}, importazione.righe(), [&](qint64 i, TScheda &scheda) {
            importazione.nuovaScheda(i, scheda);
        });
    const double accoda = millisecondi(t);
    std::printf("%8lld %10.0f %10.0f %14.1f %9.1f\n", (long long)n, lettura, accoda, prima,
                piccoMiB());
    if (importazione.nuove() != n || primo != 1)
        std::printf("  attenzione: %lld righe valide su %lld\n", (long long)importazione.nuove(),
                    (long long)n);
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    // bench_esporta --importa N: the import alone, its peak its own.
    if (argc == 3 && qstrcmp(argv[1], "--importa") == 0) {
        QCoreApplication app(argc, argv);
        std::printf("%8s %10s %10s %14s %9s\n", "righe", "lettura ms", "accoda ms", "RSS prima MiB",
                    "RSS MiB");
        return soloImportazione(std::atoll(argv[2]));
    }
    QApplication app(argc, argv);
    QList<qint64> quanti;
    for (const QString &a : app.arguments().mid(1))
        quanti << a.toLongLong();
    if (quanti.isEmpty()) quanti = {10000, 100000};

    // Yes to the export, No to opening the file.
    DialoghiMuti risposte([](const QString &domanda) {
        return domanda.startsWith(QStringLiteral("L'esportazione")) ? Piattaforma::Risposta::Si
                                                                    : Piattaforma::Risposta::No;
    });
    std::printf("%8s %9s %9s %9s %9s %10s %10s %12s %9s\n", "schede", "apri ms", "xls ms",
                "xlsx ms", "csv ms", "lettura ms", "accoda ms", "RSS apri MiB", "RSS MiB");
    for (qint64 n : quanti) {
        QTemporaryDir cartella;
        ImpostaCartellaProgramma(cartella.path());
        genera(PercorsoArchivio(), n);

        QWidget proprietario;
        auto *finestra = new TfrmExpMagazzino(&proprietario);
        auto misura = [](auto &&azione) {
            QElapsedTimer t;
            t.start();
            azione();
            return double(t.nsecsElapsed()) / 1e6;
        };
        const double apertura = misura([&] { finestra->show(); });
        const double memoriaGriglia = piccoMiB();
        const double xls = misura([&] { finestra->cmdEsportaClick(); });
        const double xlsx = misura([&] { finestra->cmdEsportaXlsxClick(); });
        const double csv = misura([&] { finestra->cmdEsportaCsvClick(); });
        delete finestra;

        // The import of that CSV file into an empty archive.
        QFile file(QDir(cartella.path()).filePath(QStringLiteral("Magazzino.csv")));
        file.open(QIODevice::ReadOnly);
        QFile::remove(PercorsoArchivio());
        Importazione importazione;
        const double lettura =
            misura([&] { importazione = PreparaImportazione(file.readAll(), PercorsoArchivio()); });
        qint64 prima = -1;
        const double accoda = misura([&] {
            Archivio archivio;
            archivio.ApriArchivio();
            prima = archivio.scriviInsieme(
                {}, {}, importazione.righe(),
                [&](qint64 i, TScheda &scheda) { importazione.nuovaScheda(i, scheda); });
        });
        std::printf("%8lld %9.0f %9.0f %9.0f %9.0f %10.0f %10.0f %12.1f %9.1f\n", (long long)n,
                    apertura, xls, xlsx, csv, lettura, accoda, memoriaGriglia, piccoMiB());
        if (importazione.nuove() != n || prima != 1)
            std::printf("  attenzione: %lld righe valide su %lld\n",
                        (long long)importazione.nuove(), (long long)n);
        std::fflush(stdout);
    }
    return 0;
}
