// Generates archives of realistic cards and times the archive operations:
// count, read at a random position, and a full scan decoding every record.
// Usage: bench_archivio [folder] [N ...]   (default N: 100000 1000000)
#include "archive/Archivio.h"
#include "archive/TScheda.h"

#include "Misure.h"
#include "SchedeGenerate.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace Misure;

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const Argomenti argomenti({100000, 1000000});

    std::printf("%10s %10s %12s %14s %14s %12s %14s\n", "schede", "MB", "conta ms", "lettura us",
                "scansione ms", "grep ms", "picco RSS MiB");
    for (qint64 n : argomenti.quanti) {
        const QString percorso = argomenti.file(QStringLiteral("Magazzino.pro"));
        SchedeGenerate::GeneraArchivio(percorso, n);

        const double conta = migliore(5, [&] {
            Archivio a(percorso);
            a.ApriArchivio();
            volatile qint64 c = a.conta();
            (void)c;
        });

        QRandomGenerator caso(7);
        const int letture = 1000;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < letture; ++i) {
            Archivio a(percorso);
            TScheda s;
            a.ApriArchivio();
            a.leggi(caso.bounded(n) + 1, s);
        }
        const double lettura = millisecondi(t) * 1000.0 / letture;

        qint64 trovate = 0;
        const double scansione = migliore(3, [&] {
            trovate = 0;
            ScorriArchivio(percorso, [&](const TScheda &s, qint64) {
                qsizetype caratteri = 0;
                for (int c = 0; c < NUMERO_CAMPI; ++c)
                    caratteri += s.testo(Campo(c)).size();
                trovate += caratteri > 0;
                return true;
            });
        });

        const double grep = migliore(3, [&] {
            QProcess p;
            QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
            ambiente.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
            p.setProcessEnvironment(ambiente);
            p.start(QStringLiteral("grep"),
                    {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("vite"), percorso});
            p.waitForFinished(-1);
        });

        std::printf("%10lld %10.0f %12.3f %14.1f %14.1f %12.1f %14.1f\n", (long long)n,
                    double(n) * TScheda::DIMENSIONE / 1e6, conta, lettura, scansione, grep,
                    Misure::piccoMiB());
        std::fflush(stdout);
        if (trovate != n)
            std::printf("  attenzione: %lld schede decodificate su %lld\n", (long long)trovate,
                        (long long)n);
        QFile::remove(percorso);
    }
    return 0;
}
