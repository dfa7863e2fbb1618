// Times the report engine on the program's own templates: a list of 10,000
// lines over about 180 landscape pages, and a card with a 4000 x 3000 photo.
#include "archive/RegoleNumeri.h"
#include "output/ModelliStampa.h"
#include "report/TfrxReport.h"

#include "Misure.h"
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <cstdio>

using namespace Misure;

namespace {

// Paints the prepared pages into a PDF held in memory; returns its size.
qint64 dipingiPdf(const TfrxReport &report) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setTitle(report.ReportName);
    report.DisegnaPagine(pdf);
    return buffer.size();
}

void elenco() {
    TfrxReport report;
    CostruisciFrxReport(report);
    report.FindObject<TfrxMemoView>(QStringLiteral("txtTitolo"))
        ->SetText(QStringLiteral("Riepilogo merci in magazzino"));
    auto *memo = report.FindObject<TfrxMemoView>(QStringLiteral("txtRiepilogo"));
    memo->Memo.clear();
    for (int i = 1; i <= 10000; ++i)
        memo->Memo.append(QStringLiteral("%1  Vite a testa esagonale M%2 zincata      "
                                         "Ferramenta Rossi     %3 pz   %4")
                              .arg(i, 6, 10, QLatin1Char('0'))
                              .arg(i % 12 + 3)
                              .arg(i % 500, 5)
                              .arg(ScriviNumero(i * 0.37)));
    memo->Height = memo->Memo.size() * PassoRigaElenco;
    report.FindObject<TfrxMasterData>(QStringLiteral("MasterData"))->Height = memo->Height + 10;

    QElapsedTimer t;
    t.start();
    report.PrepareReport(true);
    const double preparazione = millisecondi(t);
    const auto pagine = report.PreparedPages().size();
    t.restart();
    const qint64 byte = dipingiPdf(report);
    const double pittura = millisecondi(t);
    std::printf("Elenco di 10.000 righe: %zu pagine orizzontali\n", pagine);
    std::printf("  preparazione: %8.1f ms  (%.3f ms per pagina)\n", preparazione,
                preparazione / double(pagine));
    std::printf("  PDF:          %8.1f ms  (%.3f ms per pagina, %lld kB)\n", pittura,
                pittura / double(pagine), byte / 1024);
}

void scheda() {
    TfrxReport report;
    CostruisciRepFoto(report);
    QImage foto(4000, 3000, QImage::Format_RGB32);
    // A gradient, so that the picture does not compress to nothing.
    for (int y = 0; y < foto.height(); ++y) {
        auto *riga = reinterpret_cast<QRgb *>(foto.scanLine(y));
        for (int x = 0; x < foto.width(); ++x)
            riga[x] = qRgb(x * 255 / 4000, y * 255 / 3000, (x + y) % 256);
    }
    report.FindObject<TfrxPictureView>(QStringLiteral("imgFoto"))->Picture = foto;
    for (int n = 1; n <= 18; ++n)
        report
            .FindObject<TfrxMemoView>(QStringLiteral("txtCampo%1").arg(n, 2, 10, QLatin1Char('0')))
            ->SetText(QStringLiteral("Valore della riga %1").arg(n));

    QElapsedTimer t;
    t.start();
    report.PrepareReport(true);
    const double prima = millisecondi(t);
    t.restart();
    report.PrepareReport(true);
    const double seconda = millisecondi(t);
    t.restart();
    const qint64 byte = dipingiPdf(report);
    const double pittura = millisecondi(t);
    t.restart();
    dipingiPdf(report);
    const double pittura2 = millisecondi(t);
    std::printf("Scheda con foto 4000 x 3000:\n");
    std::printf("  preparazione: %8.1f ms (foto scalata), di nuovo %.1f ms\n", prima, seconda);
    std::printf("  PDF:          %8.1f ms (%lld kB), di nuovo %.1f ms\n", pittura, byte / 1024,
                pittura2);
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImpostaFormati();
    elenco();
    scheda();
    return 0;
}
