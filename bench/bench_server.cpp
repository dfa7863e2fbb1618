// The archive on a PostgreSQL server beside the folder's files, side by side
// on one run: on N generated cards and a journal of 5 lines a card over two
// years, moving the archive to the server and back, a pass over every card,
// a card's history, the period summary (the whole journal and one month) and
// one save with a stock delta, and a count's scan looking its code up
// (median of 1,000 codes), on both storages. Starts a throwaway cluster
// of its own (as the tests do). Fails when the two storages' answers differ.
// Usage: bench_server [folder] [N ...]   (default N: 100000)
#include "count/Conteggio.h"
#include "movements/Periodo.h"
#include "movements/StoriaDeposito.h"
#include "server/Connessione.h"
#include "server/CopiaLocale.h"
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
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimeZone>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Misure;
using namespace Qt::StringLiterals;

namespace {

// A journal of `righe` loads and sales of random cards over 2024 and 2025,
// in time order, as the program writes it.
bool generaGiornale(const QString &percorso, qint64 schede, qint64 righe) {
    QFile file(percorso);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QRandomGenerator caso(20240101);
    QByteArray testo = "\xEF\xBB\xBF" + IntestazioneGiornale() + '\n';
    const QDateTime inizio(QDate(2024, 1, 1), QTime(8, 0), QTimeZone(3600));
    const qint64 secondi =
        inizio.secsTo(QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone(3600)));
    Movimento m;
    m.postazione = u"cassa (mario)"_s;
    for (qint64 i = 0; i < righe; ++i) {
        const qint64 posizione = 1 + qint64(caso.bounded(quint32(schede)));
        m.quando = inizio.addSecs(secondi * i / righe);
        m.posizione = posizione;
        m.codice = u"ART-%1"_s.arg(posizione, 7, 10, QLatin1Char('0'));
        m.nome = QString::fromUtf8(SchedeGenerate::NOMI[posizione % 10]);
        m.categoria = QString::fromUtf8(SchedeGenerate::CATEGORIE[posizione % 5]);
        const bool carico = caso.bounded(3) == 0;
        m.tipo = carico ? TipoMovimento::Carico : TipoMovimento::Scarico;
        m.quantita = carico ? 1 + caso.bounded(20) : -1 - caso.bounded(5);
        m.prima = 100;
        m.dopo = m.prima + m.quantita;
        m.costo = u"%1,50"_s.arg(posizione % 40);
        m.nota = i % 7 == 0 ? u"DDT 1234"_s : QString();
        testo += RigaGiornale(m) + '\n';
        if (testo.size() > (8 << 20)) {
            if (file.write(testo) != testo.size()) return false;
            testo.clear();
        }
    }
    return file.write(testo) == testo.size() && file.flush();
}

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

double storia(Deposito &d, qint64 posizione, StoriaScheda &letta) {
    LeggiStoriaScheda(d, posizione); // the folder's index is built once
    return migliore(5, [&] { letta = LeggiStoriaScheda(d, posizione); });
}

double periodo(Deposito &d, const QDate &dal, const QDate &al, RiepilogoPeriodo &r) {
    return migliore(3, [&] { r = RiepilogaPeriodo(dal, al, d); });
}

double salvataggio(Deposito &d, qint64 n) {
    TScheda s;
    d.leggi(n / 2, s);
    return migliore(5, [&] { d.scrivi(n / 2, s, 1, TipoMovimento::Carico, u"bench"_s); });
}

// The median time of looking up 1,000 codes of cards spread over the
// archive, as a scan does; -1 when one is not found exactly once.
double codici(IndiceCodici &indice, Deposito &d, qint64 n) {
    if (!indice.costruisci()) return -1;
    std::vector<double> tempi;
    TScheda s;
    for (qint64 i = 0; i < 1000; ++i) {
        if (!d.leggi(1 + i * (n / 1000), s)) return -1;
        const QString codice = s.testo(Campo::Codice).toLower();
        QElapsedTimer t;
        t.start();
        const IndiceCodici::Trovate trovate = indice.cerca(codice);
        tempi.push_back(millisecondi(t));
        if (!trovate.riuscito || trovate.posizioni.size() != 1) return -1;
    }
    std::sort(tempi.begin(), tempi.end());
    return tempi[tempi.size() / 2];
}

void riga(const char *cosa, const char *unita, double file, double server) {
    if (file < 0)
        std::printf("  %-34s %-3s %12s %12.1f\n", cosa, unita, "-", server);
    else
        std::printf("  %-34s %-3s %12.1f %12.1f\n", cosa, unita, file, server);
}

int diversi(const char *cosa) {
    std::fprintf(stderr, "ERRORE: %s diverso tra file e server\n", cosa);
    return 5;
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
    for (qint64 n : argomenti.quanti) {
        const QString cartella = argomenti.file(u"origine"_s);
        QDir(cartella).removeRecursively();
        QDir().mkpath(cartella);
        SchedeGenerate::GeneraArchivio(QDir(cartella).filePath(u"Magazzino.pro"_s), n);
        const qint64 righe = 5 * n;
        const QString giornale = QDir(cartella).filePath(u"Movimenti.csv"_s);
        if (!generaGiornale(giornale, n, righe)) return 2;
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
        const QString ritorno = argomenti.file(u"ritorno"_s);
        QDir(ritorno).removeRecursively();
        t.restart();
        const EsitoTrasloco giu = CopiaSuCartella(c, ritorno);
        const double indietro = millisecondi(t) / 1000.0;
        if (!giu.riuscito) {
            std::fprintf(stderr, "%s\n", qPrintable(giu.messaggio));
            return 4;
        }
        QDir(ritorno).removeRecursively();

        DepositoFile file(cartella);
        DepositoServer sulServer(c);
        qint64 a = 0, b = 0;
        const double passoFile = passata(file, a);
        const double passoServer = passata(sulServer, b);
        if (a != b) return diversi("passata");
        // The same pass on the workstation's copy (made at the first of the runs).
        const QString copie = argomenti.file(u"copia"_s);
        QDir(copie).removeRecursively();
        DepositoServer conCopia(c, std::make_unique<CopiaLocale>(copie, u"bench"_s));
        qint64 d = 0;
        const double passoCopia = passata(conCopia, d);
        if (a != d) return diversi("passata sulla copia");
        StoriaScheda sf, ss;
        const double storiaFile = storia(file, n / 3, sf);
        const double storiaServer = storia(sulServer, n / 3, ss);
        if (sf.movimenti != ss.movimenti || sf.movimenti.isEmpty()) return diversi("storia");
        RiepilogoPeriodo pf, ps;
        const double tuttoFile = periodo(file, QDate(2024, 1, 1), QDate(2025, 12, 31), pf);
        const double tuttoServer = periodo(sulServer, QDate(2024, 1, 1), QDate(2025, 12, 31), ps);
        if (pf.righe.size() != ps.righe.size() || !(pf.totale == ps.totale) ||
            pf.perScheda != ps.perScheda)
            return diversi("periodo");
        const double meseFile = periodo(file, QDate(2025, 3, 1), QDate(2025, 3, 31), pf);
        const double meseServer = periodo(sulServer, QDate(2025, 3, 1), QDate(2025, 3, 31), ps);
        if (pf.righe.size() != ps.righe.size() || !(pf.totale == ps.totale)) return diversi("mese");
        const double salvaFile = salvataggio(file, n);
        const double salvaServer = salvataggio(sulServer, n);
        IndiceCodici indiceFile(file.archivio());
        IndiceCodici indiceServer(QString(), &sulServer);
        const double codiceFile = codici(indiceFile, file, n);
        const double codiceServer = codici(indiceServer, sulServer, n);
        if (codiceFile < 0 || codiceServer < 0) return diversi("codice letto");

        std::printf("%lld schede (%.0f MB), giornale di %lld righe (%.0f MB)\n", (long long)n,
                    double(n) * TScheda::DIMENSIONE / 1e6, (long long)righe,
                    double(QFileInfo(giornale).size()) / 1e6);
        std::printf("  %-34s %-3s %12s %12s\n", "", "", "file", "server");
        riga("archivio sul server", "s", -1, suServer);
        riga("archivio dal server in cartella", "s", -1, indietro);
        riga("passata su ogni scheda", "ms", passoFile, passoServer);
        riga("passata su ogni scheda, con la copia", "ms", -1, passoCopia);
        riga("movimenti di una scheda", "ms", storiaFile, storiaServer);
        riga("riepilogo, tutto il giornale", "ms", tuttoFile, tuttoServer);
        riga("riepilogo, un mese", "ms", meseFile, meseServer);
        riga("salvataggio con giacenza", "ms", salvaFile, salvaServer);
        std::printf("  %-34s %-3s %12.3f %12.3f\n", "codice letto nel conteggio", "ms", codiceFile,
                    codiceServer);
        std::fflush(stdout);
    }
    return 0;
}
