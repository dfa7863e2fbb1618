// Times the export window on generated archives: opening it (reading every
// card into the grid) and writing Magazzino.xls, with the memory it takes.
// Usage: QT_QPA_PLATFORM=offscreen bench_esporta [N ...]   (default N: 10000 100000)
#include "archive/CartellaProgramma.h"
#include "archive/TScheda.h"
#include "output/TfrmExpMagazzino.h"
#include "platform/Dialoghi.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Yes to the export, No to opening the file.
class Risposte final : public Piattaforma::Dialoghi {
  public:
    Piattaforma::Risposta messaggio(QWidget *, Piattaforma::TipoMessaggio,
                                    const QString &) override {
        return Piattaforma::Risposta::Ok;
    }
    void messaggioSemplice(QWidget *, const QString &testo) override {
        std::printf("  messaggio: %s\n", qPrintable(testo));
    }
    Piattaforma::Risposta domanda(QWidget *, const QString &) override {
        return (domande++ % 2) ? Piattaforma::Risposta::No : Piattaforma::Risposta::Si;
    }
    int esegui(QDialog *) override { return 0; }
    bool dialogoStampa(QWidget *, QPrinter *) override { return false; }
    QString scegliFileDaAprire(QWidget *, const QString &, const QStringList &) override {
        return {};
    }
    QString scegliFileDaSalvare(QWidget *, const QString &, const QStringList &,
                                const QString &) override {
        return {};
    }
    void apriConDesktop(const QUrl &) override {}
    int domande = 0;
};

void genera(const QString &percorso, qint64 n) {
    QFile file(percorso);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (qint64 i = 1; i <= n; ++i) {
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
        file.write(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
}

double piccoMiB() {
    struct rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    return double(uso.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QList<qint64> quanti;
    for (const QString &a : app.arguments().mid(1))
        quanti << a.toLongLong();
    if (quanti.isEmpty()) quanti = {10000, 100000};

    Risposte risposte;
    Piattaforma::impostaDialoghi(&risposte);
    std::printf("%10s %14s %14s %12s %14s\n", "schede", "apertura ms", "esporta ms", "file MB",
                "picco RSS MiB");
    for (qint64 n : quanti) {
        QTemporaryDir cartella;
        ImpostaCartellaProgramma(cartella.path());
        genera(PercorsoArchivio(), n);
        const double prima = piccoMiB();

        QWidget proprietario;
        TfrmExpMagazzino finestra(&proprietario);
        QElapsedTimer t;
        t.start();
        finestra.show();
        const double apertura = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        finestra.cmdEsportaClick();
        const double esporta = double(t.nsecsElapsed()) / 1e6;
        const QFileInfo file(QDir(cartella.path()).filePath(QStringLiteral("Magazzino.xls")));
        std::printf("%10lld %14.1f %14.1f %12.1f %14.1f (prima %.1f)\n", (long long)n, apertura,
                    esporta, double(file.size()) / 1e6, piccoMiB(), prima);
        std::fflush(stdout);
        finestra.close();
    }
    Piattaforma::impostaDialoghi(nullptr);
    return 0;
}
