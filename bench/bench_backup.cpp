// Times a backup of a program folder of N cards and P photos (written, then
// opened again and every member checked), next to `zip -r` of the same folder,
// then reading a backup through on its own and a restore into the folder.
#include "backup/ZipBackup.h"

#include "Misure.h"
#include "SchedeGenerate.h"
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <cstdio>

using namespace Misure;
using namespace Qt::StringLiterals;

namespace {

// A photo-like picture, a little different for each card.
QByteArray Foto(int n) {
    QImage immagine(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < immagine.height(); ++y) {
        auto *riga = reinterpret_cast<QRgb *>(immagine.scanLine(y));
        for (int x = 0; x < immagine.width(); ++x)
            riga[x] = qRgb((x * 255 / 640 + (x * y + n) % 23) & 255,
                           (y * 255 / 480 + (x ^ (y + n)) % 17) & 255, ((x + y + n) / 8) & 255);
    }
    QByteArray dati;
    QBuffer buffer(&dati);
    buffer.open(QIODevice::WriteOnly);
    immagine.save(&buffer, "JPEG", 85);
    return dati;
}

void Scrivi(const QString &percorso, const QByteArray &dati) {
    QFile file(percorso);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(dati);
}

double MB(qint64 byte) {
    return double(byte) / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication applicazione(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "uso: bench_backup CARTELLA [SCHEDE] [FOTO]\n");
        return 2;
    }
    const QString base = QString::fromLocal8Bit(argv[1]);
    const qint64 schede = argc > 2 ? QByteArray(argv[2]).toLongLong() : 100000;
    const int foto = argc > 3 ? QByteArray(argv[3]).toInt() : 1000;

    const QString programma = QDir(base).filePath(u"bench_backup/Quadrelo"_s);
    const QString backup = QDir(base).filePath(u"bench_backup/Backup"_s);
    QDir(QDir(base).filePath(u"bench_backup"_s)).removeRecursively();
    QDir().mkpath(programma + u"/Documenti_Allegati"_s);
    QDir().mkpath(backup);

    SchedeGenerate::GeneraArchivio(programma + u"/Magazzino.pro"_s, schede);
    qint64 dati = QFileInfo(programma + u"/Magazzino.pro"_s).size();
    for (int n = 1; n <= foto; ++n) {
        const QByteArray jpeg = Foto(n);
        Scrivi(programma + u"/%1.jpg"_s.arg(n), jpeg);
        dati += jpeg.size();
    }
    QRandomGenerator caso(7);
    for (int n = 1; n <= 20; ++n) {
        QByteArray pdf(200 * 1000, '\0');
        for (auto &c : pdf)
            c = char(caso.bounded(256));
        Scrivi(programma + u"/Documenti_Allegati/fattura %1.pdf"_s.arg(n), "%PDF-1.4 " + pdf);
        dati += pdf.size() + 9;
    }
    Scrivi(programma + u"/unins000.dll"_s, "[Accesso]\r\nValore=C0FFEE\r\n");
    std::printf("cartella: %lld schede, %d foto, 20 allegati, %.0f MB\n",
                static_cast<long long>(schede), foto, MB(dati));

    // Warm the page cache, as a user's second backup would find it.
    EsitoBackup esito = EseguiBackup(programma, backup, QDateTime::currentDateTime());
    if (!esito.riuscito) {
        std::fprintf(stderr, "%s\n", qPrintable(esito.messaggio));
        return 1;
    }
    QFile::remove(esito.percorso);

    const double tBackup = migliore(2, [&] {
        esito = EseguiBackup(programma, backup, QDateTime::currentDateTime());
        if (esito.riuscito) QFile::remove(esito.percorso);
    });
    esito = EseguiBackup(programma, backup, QDateTime::currentDateTime());
    const qint64 dimensione = QFileInfo(esito.percorso).size();
    const double tVerifica = migliore(2, [&] { LeggiBackup(esito.percorso); });

    const QString zipR = QDir(base).filePath(u"bench_backup/zip-r.zip"_s);
    // zip writes the folder it is started in.
    const QString attuale = QDir::currentPath();
    QDir::setCurrent(programma);
    const double tZipR = migliore(2, [&] {
        QFile::remove(zipR);
        QProcess::execute(u"zip"_s, {u"-q"_s, u"-r"_s, zipR, u"."_s});
    });
    QDir::setCurrent(attuale);
    const qint64 dimensioneZip = QFileInfo(zipR).size();

    QElapsedTimer t;
    t.start();
    const EsitoRipristino ripristino = RipristinaBackup(esito.percorso, programma);
    const double tRipristino = millisecondi(t);

    std::printf("backup, scritto e verificato: %.0f ms (%.0f MB)\n", tBackup, MB(dimensione));
    std::printf("  di cui la sola verifica (lettura di tutto il backup): %.0f ms\n", tVerifica);
    std::printf("zip -r della stessa cartella: %.0f ms (%.0f MB)\n", tZipR, MB(dimensioneZip));
    std::printf("ripristino (estrazione, controllo, scambio): %.0f ms%s\n", tRipristino,
                ripristino.riuscito ? "" : " NON RIUSCITO");
    std::printf("memoria di picco: %.0f MiB\n", piccoMiB());
    QDir(QDir(base).filePath(u"bench_backup"_s)).removeRecursively();
    return 0;
}
