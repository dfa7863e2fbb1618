// Times the card photo file: loading <n>.jpg, and saving a card whose photo
// did not change (the file's own bytes, left alone) against encoding the
// picture again; and shows what thirty saves do to the photo either way.
#include "archive/CartellaProgramma.h"
#include "archive/FotoScheda.h"

#include "Misure.h"
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

using namespace Misure;

namespace {

// A photo-like picture: smooth shading with fine detail on top.
QImage Foto(int larghezza, int altezza) {
    QImage immagine(larghezza, altezza, QImage::Format_RGB32);
    for (int y = 0; y < altezza; ++y) {
        auto *riga = reinterpret_cast<QRgb *>(immagine.scanLine(y));
        for (int x = 0; x < larghezza; ++x)
            riga[x] = qRgb((x * 255 / larghezza + (x * y) % 23) & 255,
                           (y * 255 / altezza + (x ^ y) % 17) & 255, ((x + y) / 8 + x % 11) & 255);
    }
    return immagine;
}

double Psnr(const QImage &a, const QImage &b) {
    double somma = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double dr = qRed(ra[x]) - qRed(rb[x]), dg = qGreen(ra[x]) - qGreen(rb[x]),
                         db = qBlue(ra[x]) - qBlue(rb[x]);
            somma += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = somma / (3.0 * a.width() * a.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

QByteArray Leggi(const QString &percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Misura(int larghezza, int altezza) {
    QTemporaryDir cartella;
    ImpostaCartellaProgramma(cartella.path());
    const QImage sorgente = Foto(larghezza, altezza);
    if (!SalvaFotoScheda(QStringLiteral("1"), sorgente)) return;
    const QByteArray primo = Leggi(PercorsoFoto(1));

    QElapsedTimer t;
    t.start();
    QByteArray originale;
    const QImage caricata = CaricaFotoScheda(QStringLiteral("1"), &originale);
    const double carica = millisecondi(t);
    t.restart();
    SalvaFotoScheda(QStringLiteral("1"), caricata, originale);
    const double intatta = millisecondi(t);
    t.restart();
    SalvaFotoScheda(QStringLiteral("1"), caricata);
    const double ricodificata = millisecondi(t);

    // Thirty saves, each after showing the card again.
    QFile::remove(PercorsoFoto(1));
    SalvaFotoScheda(QStringLiteral("1"), sorgente);
    for (int i = 0; i < 30; ++i) {
        const QImage mostrata = CaricaFotoScheda(QStringLiteral("1"), &originale);
        SalvaFotoScheda(QStringLiteral("1"), mostrata, originale);
    }
    const bool uguale = Leggi(PercorsoFoto(1)) == primo;
    QImage vecchia = QImage(PercorsoFoto(1)), dopoUna;
    for (int i = 0; i < 30; ++i) {
        SalvaFotoScheda(QStringLiteral("1"), vecchia); // encoding every time, as before
        vecchia = CaricaFotoScheda(QStringLiteral("1"));
        if (i == 0) dopoUna = vecchia;
    }
    const QImage prima(QImage::fromData(primo));
    std::printf("Foto %d x %d (%lld kB)\n", larghezza, altezza, qint64(primo.size() / 1024));
    std::printf("  caricamento:                     %8.2f ms\n", carica);
    std::printf("  salvataggio, foto non cambiata:  %8.2f ms\n", intatta);
    std::printf("  salvataggio ricodificando:       %8.2f ms\n", ricodificata);
    std::printf("  30 salvataggi: file identico %s; ricodificando PSNR %.1f dB dopo 1, %.1f dB "
                "dopo 30\n",
                uguale ? "sì" : "NO", Psnr(prima, dopoUna), Psnr(prima, vecchia));
    ImpostaCartellaProgramma(QString());
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    Misura(640, 480);
    Misura(4000, 3000);
    return 0;
}
