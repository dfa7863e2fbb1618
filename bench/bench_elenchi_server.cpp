// The list passes on both storages, side by side: the record file read in
// place and the same cards on a PostgreSQL server (a throwaway cluster of its
// own, as the tests start), read through the server and through the copy at
// the workstation, with the time to make that copy and to bring it up to date.
// Each pass must give the same lines everywhere, or the benchmark stops with
// an error.
// Usage: bench_elenchi_server [folder] [N ...]   (default N: 100000)
#include "passes/Passate.h"
#include "server/Connessione.h"
#include "server/CopiaLocale.h"
#include "server/DepositoServer.h"
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

struct Passo {
    const char *nome;
    std::function<EsitoElenco(Deposito &)> esegui;
};

std::array<QString, CASELLE_RICERCA> caselle(std::initializer_list<std::pair<int, QString>> testi) {
    std::array<QString, CASELLE_RICERCA> c;
    for (const auto &[i, testo] : testi)
        c[std::size_t(i)] = testo;
    return c;
}

bool uguali(const EsitoElenco &a, const EsitoElenco &b) {
    if (a.righe.size() != b.righe.size() || a.scartate != b.scartate || a.totale != b.totale)
        return false;
    for (qsizetype i = 0; i < a.righe.size(); ++i)
        if (a.righe.byte(i) != b.righe.byte(i) || a.righe.posizione(i) != b.righe.posizione(i))
            return false;
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const Argomenti argomenti({100000});
    // Memory enough for the server to keep a 1,000,000-card table (411 MB),
    // as a server set up for such an archive has; Debian's default is 128 MB.
    ServerDiProva server(true, QStringLiteral("-c shared_buffers=1GB"));
    if (!server.avviato()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errore()));
        return 1;
    }
    // Box order: code, cost, name, category, characteristics, place, supplier...
    const QList<Passo> passi = {
        {"ricerca codice (1 scheda)",
         [](Deposito &d) {
             return CercaSchede(d, caselle({{0, QStringLiteral("ART-0012345")}}));
         }},
        {"ricerca nome \"vite\"",
         [](Deposito &d) {
             return CercaSchede(d, caselle({{2, QStringLiteral("vite")}}));
         }},
        {"ricerca nome + ditta",
         [](Deposito &d) {
             return CercaSchede(
                 d, caselle({{2, QStringLiteral("tassello")}, {6, QStringLiteral("verdi")}}));
         }},
        {"ricerca collocazione",
         [](Deposito &d) {
             return CercaSchede(d, caselle({{5, QStringLiteral("scaffale c, ripiano 2")}}));
         }},
        {"ricerca caselle vuote", [](Deposito &d) { return CercaSchede(d, caselle({})); }},
        {"sottoscorta", [](Deposito &d) { return ElencaSottoscorta(d); }},
        {"da saldare", [](Deposito &d) { return ElencaDaSaldare(d); }},
        {"inventario categoria",
         [](Deposito &d) { return ElencaInventario(d, QStringLiteral("vernici")); }},
        {"inventario completo", [](Deposito &d) { return ElencaInventario(d, QString()); }},
    };
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
        if (!su.riuscito) {
            std::fprintf(stderr, "%s\n", qPrintable(su.messaggio));
            return 3;
        }
        c.comando("VACUUM ANALYZE schede");
        std::printf("%lld schede, sul server in %.1f s\n", (long long)n, millisecondi(t) / 1000);
        const QString cartellaCopia = argomenti.file(QStringLiteral("copia"));
        QDir(cartellaCopia).removeRecursively();
        auto copia = std::make_unique<CopiaLocale>(cartellaCopia, QStringLiteral("misura"));
        CopiaLocale &vista = *copia;
        DepositoServer conCopia(c, std::move(copia));
        t.restart();
        if (vista.aggiorna(c, {}).isEmpty()) return 5;
        std::printf("  copia alla postazione fatta in %.1f s\n", millisecondi(t) / 1000);
        // Another site's day: a hundred cards saved.
        const QByteArray cento = "UPDATE schede SET versione = versione + 1 WHERE posizione % " +
                                 QByteArray::number(qMax<qint64>(1, n / 100)) + " = 0";
        c.comando(cento.constData());
        t.restart();
        if (vista.aggiorna(c, {}).isEmpty()) return 5;
        std::printf("  aggiornata dopo %lld schede salvate altrove in %.1f ms\n",
                    (long long)vista.righeLette(), millisecondi(t));
        t.restart();
        vista.aggiorna(c, {});
        std::printf("  aggiornata senza cambi in %.1f ms\n", millisecondi(t));
        std::printf("  %-28s %10s %10s %10s %10s\n", "", "file ms", "server ms", "copia ms",
                    "righe");
        DepositoFile file(cartella);
        DepositoServer sulServer(c);
        const int volte = n > 300000 ? 2 : 3;
        for (const Passo &p : passi) {
            EsitoElenco a, b, d;
            const double suFile = migliore(volte, [&] { a = p.esegui(file); });
            const double suServer = migliore(volte, [&] { b = p.esegui(sulServer); });
            const double suCopia = migliore(volte, [&] { d = p.esegui(conCopia); });
            if (!a.riuscito || !b.riuscito || !d.riuscito || !uguali(a, b) || !uguali(a, d)) {
                std::fprintf(stderr, "%s: the storages differ (%s%s)\n", p.nome,
                             qPrintable(b.messaggio), qPrintable(d.messaggio));
                return 4;
            }
            std::printf("  %-28s %10.1f %10.1f %10.1f %10lld\n", p.nome, suFile, suServer, suCopia,
                        (long long)a.righe.size());
            std::fflush(stdout);
        }
    }
    return 0;
}
