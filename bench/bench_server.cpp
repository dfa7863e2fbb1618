// The archive on a PostgreSQL server beside the record file: moving an
// archive of N cards to the server and back, a pass over every card and one
// save with a stock delta, on both storages. Starts a throwaway cluster of
// its own (as the tests do).
// Usage: bench_server [folder] [N ...]   (default N: 100000)
#include "server/Connessione.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoFile.h"

#include "Misure.h"
#include "SchedeGenerate.h"
#include "ServerDiProva.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>

using namespace Misure;

namespace {

double passata(Deposito &d, qint64 &schede) {
    return migliore(3, [&] {
        schede = 0;
        d.scorri([&](const TScheda *s, qint64 quante, qint64) {
            for (qint64 i = 0; i < quante; ++i)
                schede += !s[i].testo(Campo::Codice).isEmpty();
            return true;
        });
    });
}

double salvataggio(Deposito &d, qint64 n) {
    TScheda s;
    d.leggi(n / 2, s);
    return migliore(5,
                    [&] { d.scrivi(n / 2, s, 1, TipoMovimento::Carico, QStringLiteral("bench")); });
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const Argomenti argomenti({100000});
    ServerDiProva server(true);
    if (!server.avviato()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errore()));
        return 1;
    }
    std::printf("%8s %10s %12s %12s %12s %12s %12s %12s\n", "schede", "MB", "su server s",
                "ritorno s", "passo file", "passo srv", "salva file", "salva srv");
    std::printf("%8s %10s %12s %12s %12s %12s %12s %12s\n", "", "", "", "", "ms", "ms", "ms", "ms");
    for (qint64 n : argomenti.quanti) {
        const QString cartella = argomenti.file(QStringLiteral("origine"));
        QDir(cartella).removeRecursively();
        QDir().mkpath(cartella);
        SchedeGenerate::GeneraArchivio(QDir(cartella).filePath(QStringLiteral("Magazzino.pro")), n);
        Connessione c(server.parametri());
        if (!c.aperta() || !server.svuota(c)) return 2;

        QElapsedTimer t;
        t.start();
        const EsitoTrasloco su = CopiaSuServer(cartella, c);
        const double suServer = millisecondi(t) / 1000.0;
        if (!su.riuscito) {
            std::fprintf(stderr, "%s\n", qPrintable(su.messaggio));
            return 3;
        }
        const QString ritorno = argomenti.file(QStringLiteral("ritorno"));
        QDir(ritorno).removeRecursively();
        t.restart();
        const EsitoTrasloco giu = CopiaSuCartella(c, ritorno);
        const double indietro = millisecondi(t) / 1000.0;
        if (!giu.riuscito) {
            std::fprintf(stderr, "%s\n", qPrintable(giu.messaggio));
            return 4;
        }

        DepositoFile file(cartella);
        DepositoServer sulServer(c);
        qint64 a = 0, b = 0;
        const double passoFile = passata(file, a);
        const double passoServer = passata(sulServer, b);
        if (a != b) return 5;
        const double salvaFile = salvataggio(file, n);
        const double salvaServer = salvataggio(sulServer, n);
        std::printf("%8lld %10.1f %12.2f %12.2f %12.1f %12.1f %12.2f %12.2f\n", (long long)n,
                    double(n) * TScheda::DIMENSIONE / 1e6, suServer, indietro, passoFile,
                    passoServer, salvaFile, salvaServer);
        QDir(ritorno).removeRecursively();
    }
    return 0;
}
