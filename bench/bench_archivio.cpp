// Generates archives of realistic cards and times the archive operations:
// count, read at a random position, and a full scan decoding every record.
// Usage: bench_archivio [folder] [N ...]   (default N: 100000 1000000)
#include "archive/Archivio.h"
#include "archive/TScheda.h"

#include "Misure.h"
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

namespace {

const char *const NOMI[] = {"Vite a legno",        "Bullone esagonale",    "Tassello in nylon",
                            "Rondella piana",      "Chiodo a testa larga", "Staffa angolare",
                            "Cerniera per mobili", "Guarnizione in gomma", "Dado autobloccante",
                            "Colla vinilica"};
const char *const DITTE[] = {"Ferramenta Rossi S.r.l.", "Bianchi & Figli", "Utensileria Verdi",
                             "Idraulica Neri S.p.A.", "Colorificio Gallo"};
const char *const CATEGORIE[] = {"Ferramenta", "Idraulica", "Elettricità", "Vernici",
                                 "Giardinaggio"};

TScheda schedaRealistica(qint64 n, QRandomGenerator &caso) {
    TScheda s;
    auto scegli = [&](auto &elenco) {
        return QString::fromUtf8(elenco[caso.bounded(int(std::size(elenco)))]);
    };
    s.impostaTesto(Campo::Codice, QStringLiteral("ART-%1").arg(n, 7, 10, QLatin1Char('0')));
    s.impostaTesto(Campo::Costo, QStringLiteral("%1,%2")
                                     .arg(caso.bounded(200))
                                     .arg(caso.bounded(100), 2, 10, QLatin1Char('0')));
    s.impostaTesto(Campo::Nome, scegli(NOMI) + QStringLiteral(" %1 mm").arg(caso.bounded(2, 120)));
    s.impostaTesto(Campo::Giacenza, QString::number(caso.bounded(500)));
    s.impostaTesto(Campo::Avviso, QString::number(caso.bounded(20)));
    s.impostaTesto(Campo::UM, QStringLiteral("Scatola da 100 pezzi"));
    s.impostaTesto(Campo::Tipologia, scegli(CATEGORIE));
    s.impostaTesto(Campo::Caratteristiche,
                   QStringLiteral("Acciaio zincato, uso interno ed esterno, confezione in cartone "
                                  "riciclato con etichetta del lotto"));
    s.impostaTesto(Campo::Collocazione, QStringLiteral("Scaffale %1, ripiano %2")
                                            .arg(QChar(u'A' + caso.bounded(8)))
                                            .arg(caso.bounded(1, 6)));
    s.impostaTesto(Campo::Ditta, scegli(DITTE));
    s.impostaTesto(Campo::Agente, QStringLiteral("Mario Esposito"));
    s.impostaTesto(Campo::Recapito,
                   QStringLiteral("+39 02 %1").arg(caso.bounded(1000000, 9999999)));
    s.impostaTesto(Campo::Documento,
                   QStringLiteral("Fattura n. %1/2026").arg(caso.bounded(1, 900)));
    s.impostaTesto(Campo::Pagamento, QStringLiteral("Bonifico a 30 giorni"));
    s.impostaTesto(Campo::DataSca, QStringLiteral("%1/06/2027").arg(caso.bounded(10, 28)));
    s.impostaTesto(Campo::Note, QStringLiteral("Ordinare con anticipo nei mesi estivi."));
    s.impostaTesto(Campo::Prezzo, QStringLiteral("%1,90").arg(caso.bounded(1, 400)));
    s.impostaTesto(Campo::Pagato, caso.bounded(2) ? QStringLiteral("Sì") : QStringLiteral("No"));
    return s;
}

void genera(const QString &percorso, qint64 n) {
    QFile file(percorso);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QRandomGenerator caso(42);
    std::vector<TScheda> blocco;
    blocco.reserve(1024);
    for (qint64 i = 1; i <= n; ++i) {
        blocco.push_back(schedaRealistica(i, caso));
        if (blocco.size() == 1024 || i == n) {
            file.write(reinterpret_cast<const char *>(blocco.data()),
                       qint64(blocco.size()) * TScheda::DIMENSIONE);
            blocco.clear();
        }
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList argomenti = app.arguments().mid(1);
    QTemporaryDir temporanea;
    const QString cartella = !argomenti.isEmpty() && QDir(argomenti.first()).exists()
                                 ? argomenti.takeFirst()
                                 : temporanea.path();
    QList<qint64> quanti;
    for (const QString &a : argomenti)
        quanti << a.toLongLong();
    if (quanti.isEmpty()) quanti = {100000, 1000000};

    std::printf("%10s %10s %12s %14s %14s %12s %14s\n", "schede", "MB", "conta ms", "lettura us",
                "scansione ms", "grep ms", "picco RSS MiB");
    for (qint64 n : quanti) {
        const QString percorso = QDir(cartella).filePath(QStringLiteral("Magazzino.pro"));
        genera(percorso, n);

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
