// Times the list passes on generated archives, next to grep and to SQLite
// answering the same search with LIKE on a table of the same cards.
// Usage: bench_elenchi [folder] [N ...]   (default N: 100000 1000000)
// Needs no display: it runs on the offscreen platform unless told otherwise.
#include "archive/TScheda.h"
#include "output/ModelliStampa.h"
#include "passes/Passate.h"
#include "passes/VistaRighe.h"
#include "report/TfrxReport.h"

#include "Misure.h"
#include "SchedeGenerate.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <sys/resource.h>

using namespace Misure;

namespace {

const char *const NOTE[] = {"Ordinare con anticipo nei mesi estivi.", "Vedi  listino 2026.",
                            "Merce fragile: maneggiare con cura.", ""};

// The archive, and a CSV of the same cards for SQLite.
void genera(const QString &archivio, const QString &csv, qint64 n) {
    QFile testo(csv);
    testo.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QTextStream righe(&testo);
    auto citato = [](QString s) {
        s.replace(u'"', QStringLiteral("\"\""));
        s.prepend(u'"');
        s.append(u'"');
        return s;
    };
    SchedeGenerate::GeneraArchivio(archivio, n, NOTE, [&](const SchedeGenerate::Campi &campi) {
        for (int k = 0; k < NUMERO_CAMPI; ++k)
            righe << (k ? "," : "") << citato(campi[k]);
        righe << '\n';
    });
}

const char *const COLONNE = "codice,costo,nome,giacenza,avviso,um,tipologia,caratteristiche,"
                            "collocazione,ditta,agente,recapito,documento,pagamento,datasca,note,"
                            "prezzo,pagato,file01,file02,file03,desc01,desc02,desc03";

bool sqlite(const QString &db, const QString &comandi, QByteArray *uscita = nullptr) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db});
    p.write(comandi.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    if (uscita) *uscita = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double processo(const QString &programma, const QStringList &argomenti, bool localeC) {
    return migliore(3, [&] {
        QProcess p;
        if (localeC) {
            QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
            ambiente.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
            p.setProcessEnvironment(ambiente);
        }
        // Read through a pipe: grep stops at the first match when it writes to /dev/null.
        p.start(programma, argomenti);
        p.waitForFinished(-1);
        p.readAllStandardOutput();
    });
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Argomenti argomenti({100000, 1000000});
    const bool conSqlite = !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty();

    for (qint64 n : argomenti.quanti) {
        const QString archivio = argomenti.file(QStringLiteral("Magazzino.pro"));
        const QString csv = argomenti.file(QStringLiteral("schede.csv"));
        const QString db = argomenti.file(QStringLiteral("schede.db"));
        genera(archivio, csv, n);
        QFile::remove(db);
        if (conSqlite)
            sqlite(db, QStringLiteral("CREATE TABLE schede(") + QString::fromLatin1(COLONNE) +
                           QStringLiteral(");\n.mode csv\n.import ") + csv +
                           QStringLiteral(" schede\n"));
        QFile::remove(csv);
        std::printf("\n%lld schede, archivio %.0f MB, tabella SQLite %.0f MB\n", (long long)n,
                    double(QFileInfo(archivio).size()) / 1e6, double(QFileInfo(db).size()) / 1e6);

        // A search with three boxes: name "vite", supplier "rossi", notes of blanks only.
        std::array<QString, CASELLE_RICERCA> tre;
        tre[2] = QStringLiteral("vite");
        tre[6] = QStringLiteral("rossi");
        tre[9] = QStringLiteral("  ");
        qsizetype trovate = 0;
        QList<qint64> posizioni;
        const double ricerca = migliore(5, [&] {
            const EsitoElenco e = CercaSchede(archivio, tre);
            trovate = e.righe.size();
            posizioni.clear();
            for (qsizetype i = 0; i < e.righe.size(); ++i)
                posizioni << e.righe.posizione(i);
        });
        std::printf("  %-44s %9.1f ms  (%lld righe)\n", "ricerca, tre caselle", ricerca,
                    (long long)trovate);
        std::printf("  %-44s %9ld MiB\n", "  picco di memoria fin qui", long(Misure::piccoMiB()));

        if (conSqlite) {
            // The row number is the card's position: both lists must name the same cards.
            const QString query = QStringLiteral(
                "SELECT rowid, codice, nome, tipologia, giacenza, pagato, datasca, costo "
                "FROM schede WHERE (nome LIKE '%vite%') + (ditta LIKE '%rossi%') "
                "+ (note LIKE '%  %') >= 2;\n");
            QByteArray uscita;
            sqlite(db, query, &uscita);
            QList<qint64> righeSqlite;
            for (const QByteArray &riga : uscita.split('\n'))
                if (!riga.isEmpty()) righeSqlite << riga.left(riga.indexOf('|')).toLongLong();
            if (righeSqlite != posizioni) {
                std::fprintf(
                    stderr,
                    "ERRORE: SQLite trova %lld righe, la ricerca %lld: non le stesse schede\n",
                    (long long)righeSqlite.size(), (long long)posizioni.size());
                return 1;
            }
            const double tempo = processo(QStringLiteral("sqlite3"), {db, query}, false);
            std::printf("  %-44s %9.1f ms  (%lld righe, le stesse)\n",
                        "sqlite3, stessa ricerca con LIKE", tempo, (long long)righeSqlite.size());
            std::printf("  %-44s %9.2f\n", "  rapporto ricerca / sqlite3", ricerca / tempo);
        }
        const double grep = processo(
            QStringLiteral("grep"),
            {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("vite"), archivio}, true);
        std::printf("  %-44s %9.1f ms\n", "LC_ALL=C grep -c -i vite", grep);

        qsizetype righe = 0;
        const double sotto = migliore(3, [&] { righe = ElencaSottoscorta(archivio).righe.size(); });
        std::printf("  %-44s %9.1f ms  (%lld righe)\n", "sottoscorta", sotto, (long long)righe);
        const double saldare = migliore(3, [&] { righe = ElencaDaSaldare(archivio).righe.size(); });
        std::printf("  %-44s %9.1f ms  (%lld righe)\n", "da saldare", saldare, (long long)righe);
        const double inventario =
            migliore(3, [&] { righe = ElencaInventario(archivio, QString()).righe.size(); });
        std::printf("  %-44s %9.1f ms  (%lld righe)\n", "inventario, tutti gli articoli",
                    inventario, (long long)righe);

        std::array<QString, CASELLE_RICERCA> vuote;
        EsitoElenco tutte;
        const double tutteMs = migliore(3, [&] {
            tutte = EsitoElenco(); // one list of lines in memory at a time
            tutte = CercaSchede(archivio, vuote);
        });
        std::printf("  %-44s %9.1f ms  (%lld righe)\n", "ricerca, caselle vuote", tutteMs,
                    (long long)tutte.righe.size());

        // Sorting and showing the lines of the blank search, once painted.
        VistaRighe vista;
        vista.resize(1168, 344);
        QElapsedTimer t;
        t.start();
        vista.riempi(std::move(tutte.righe));
        vista.show();
        QImage schermo = vista.grab().toImage();
        const double mostra = millisecondi(t);
        std::printf("  %-44s %9.1f ms\n", "ordinamento e visualizzazione delle righe", mostra);
        std::printf("  %-44s %9.1f ms\n", "  riempimento + ordinamento + visualizzazione",
                    tutteMs + mostra);

        QString ultima;
        const double trova = migliore(5, [&] {
            ultima.clear();
            TrovaSuccessiva(vista.righe(), 0, QStringLiteral("nessuna riga"), ultima);
        });
        std::printf("  %-44s %9.2f ms\n", "trova successiva su tutte le righe", trova);

        if (vista.righe().size() <= 100000) {
            TfrxReport report;
            CostruisciFrxReport(report);
            const double stampa = migliore(
                1, [&] { PreparaStampaElenco(report, QStringLiteral("Bench"), vista.righe()); });
            std::printf("  %-44s %9.1f ms  (%lld pagine)\n", "preparazione della stampa", stampa,
                        (long long)report.PreparedPages().size());
        }
        vista.svuota();
        std::printf("  %-44s %9ld MiB\n", "picco di memoria del processo",
                    long(Misure::piccoMiB()));
        std::fflush(stdout);
        QFile::remove(archivio);
        QFile::remove(db);
    }
    return 0;
}
