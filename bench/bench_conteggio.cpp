// Times the stock count on an archive of N cards: one scan through the
// window's box (from Enter to the card on screen and the line on disk, 1,000
// scans, median and worst), the differences of a count of every card, and
// applying them (one card in ten changed, then every card), with the peak
// memory. Usage: bench_conteggio [folder] [N]   (default N: 100000); needs
// QT_QPA_PLATFORM=offscreen on a machine without a display.
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "count/Conteggio.h"
#include "count/TfrmConteggio.h"
#include "journal/Giornale.h"
#include "journal/StessaScheda.h"
#include "journal/Movimenti.h"

#include "DialoghiMuti.h"
#include "Misure.h"
#include "SchedeGenerate.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Misure;
using namespace Qt::StringLiterals;

namespace {

// Every card counted: its stock, plus one for one card in `ogni`; appended a
// thousand lines at a time, as scanners do over a day.
bool ContaTutte(Conteggio &conteggio, const QString &archivio, qint64 ogni) {
    QList<RigaConteggio> righe;
    const QDateTime adesso = QDateTime::currentDateTime();
    const qint64 segno = qMax<qint64>(0, SegnoGiornale());
    const QString postazione = Postazione();
    qint64 letto = 0, danneggiate = 0;
    bool scritte = true;
    const auto accoda = [&] {
        scritte = scritte && AccodaConteggio(
                                 conteggio.percorso(), righe, letto, [](const RigaConteggio &) {},
                                 danneggiate);
        righe.clear();
    };
    ScorriArchivio(archivio, [&](const TScheda &scheda, qint64 posizione) {
        RigaConteggio r;
        r.quando = adesso.toOffsetFromUtc(adesso.offsetFromUtc());
        r.codice = scheda.testo(Campo::Codice);
        r.posizione = posizione;
        r.quantita = GiacenzaDi(scheda).value_or(0) + (posizione % ogni == 0 ? 1 : 0);
        r.postazione = postazione;
        r.giornale = segno;
        righe << r;
        if (righe.size() == 1000) accoda();
        return true;
    });
    accoda();
    return scritte && conteggio.aggiorna();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const Argomenti argomenti({100000});
    const qint64 n = argomenti.quanti.first();
    DialoghiMuti dialoghi;
    ImpostaCartellaProgramma(argomenti.cartella);
    const QString archivio = PercorsoArchivio();
    QFile::remove(archivio);
    QFile::remove(PercorsoGiornale());
    QDir(CartellaConteggi()).removeRecursively();
    SchedeGenerate::GeneraArchivio(archivio, n);

    // One scan, as the scanner sends it, through the window.
    {
        auto conteggio = std::make_unique<Conteggio>();
        QString errore;
        if (!conteggio->inizia(u"Banco"_s, u"Tutte le schede"_s, {}, {}, errore)) {
            std::printf("%s\n", qPrintable(errore));
            return 1;
        }
        QElapsedTimer apertura;
        apertura.start();
        TfrmConteggio finestra(nullptr, std::move(conteggio), archivio);
        finestra.show();
        const double indice = millisecondi(apertura);
        std::vector<double> tempi;
        for (int i = 0; i < 1000; ++i) {
            const QString codice =
                QStringLiteral("art-%1").arg(1 + (i * 7919) % n, 7, 10, QLatin1Char('0'));
            finestra.txtCodice->setText(codice);
            QKeyEvent invio(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QElapsedTimer t;
            t.start();
            QApplication::sendEvent(finestra.txtCodice, &invio);
            finestra.lblContati->repaint();
            tempi.push_back(millisecondi(t));
            if (finestra.lblCodiceScheda->text().compare(codice, Qt::CaseInsensitive) != 0) {
                std::printf("scheda sbagliata per %s\n", qPrintable(codice));
                return 1;
            }
        }
        std::sort(tempi.begin(), tempi.end());
        std::printf("%lld schede: finestra e indice dei codici %.0f ms; una lettura (1.000): "
                    "mediana %.1f ms, peggiore %.1f ms\n",
                    static_cast<long long>(n), indice, tempi[tempi.size() / 2], tempi.back());
    }

    for (const qint64 ogni : {qint64(10), qint64(1)}) {
        Conteggio conteggio;
        QString errore;
        const QString nome = u"Tutte "_s + QString::number(ogni);
        if (!conteggio.inizia(nome, u"Tutte le schede"_s, {}, {}, errore) ||
            !ContaTutte(conteggio, archivio, ogni)) {
            std::printf("conteggio non scritto\n");
            return 1;
        }
        QElapsedTimer t;
        t.start();
        const Differenze differenze = CalcolaDifferenze(conteggio, archivio, PercorsoGiornale());
        const double calcolo = millisecondi(t);
        t.restart();
        const double cpu = cpuMs();
        const EsitoApplicazione esito =
            ApplicaConteggio(conteggio, differenze, false, archivio, PercorsoGiornale());
        const double applicazione = millisecondi(t);
        std::printf("conteggio di %lld schede: differenze %.0f ms; applicate a %lld schede in "
                    "%.0f ms, CPU %.0f ms (esito %d); memoria di picco finora %.0f MiB\n",
                    static_cast<long long>(n), calcolo, static_cast<long long>(esito.cambiate),
                    applicazione, cpuMs() - cpu, int(esito.esito), piccoMiB());
    }
    std::printf("memoria di picco: %.0f MiB\n", piccoMiB());
    return 0;
}
