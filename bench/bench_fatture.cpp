// Times an electronic invoice of many lines on a generated archive: reading
// the file, matching every line to a card, opening the invoice window, and
// receiving the goods (every card, the journal and the kept file, through the
// intent record).
// Usage: bench_fatture [folder] [N cards] [lines]   (default 100000 and 5000)
// Needs no display: it runs on the offscreen platform unless told otherwise.
#include "archive/CartellaProgramma.h"
#include "invoices/AbbinamentiFattura.h"
#include "invoices/CaricoFattura.h"
#include "invoices/FatturaElettronica.h"
#include "invoices/TfrmFattura.h"
#include "journal/Giornale.h"

#include "DialoghiMuti.h"
#include "Misure.h"
#include "SchedeGenerate.h"
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

using namespace Misure;

namespace {

// An invoice whose lines name every twentieth card by the supplier's code,
// with an EAN no card has, two decimals of quantity and eight of price.
QByteArray FatturaGenerata(int righe, qint64 schede, const QString &numero) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica "
                     "versione=\"FPR12\" xmlns:p=\"http://ivaservizi.agenziaentrate.gov.it/"
                     "docs/xsd/fatture/v1.2\"><FatturaElettronicaHeader><CedentePrestatore>"
                     "<DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese><IdCodice>01234567890"
                     "</IdCodice></IdFiscaleIVA><Anagrafica><Denominazione>Ferramenta Rossi srl"
                     "</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
                     "</FatturaElettronicaHeader><FatturaElettronicaBody><DatiGenerali>"
                     "<DatiGeneraliDocumento><TipoDocumento>TD01</TipoDocumento><Data>2025-03-14"
                     "</Data><Numero>" +
                     numero.toUtf8() +
                     "</Numero></DatiGeneraliDocumento></DatiGenerali><DatiBeniServizi>";
    for (int i = 1; i <= righe; ++i) {
        const qint64 carta = (qint64(i) * 20) % schede + 1;
        xml += "<DettaglioLinee><NumeroLinea>" + QByteArray::number(i) +
               "</NumeroLinea><CodiceArticolo><CodiceTipo>EAN</CodiceTipo><CodiceValore>" +
               QByteArray::number(8000000000000LL + i) +
               "</CodiceValore></CodiceArticolo><CodiceArticolo><CodiceTipo>SKU</CodiceTipo>"
               "<CodiceValore>" +
               QStringLiteral("ART-%1").arg(carta, 7, 10, QLatin1Char('0')).toUtf8() +
               "</CodiceValore></CodiceArticolo><Descrizione>Vite zincata " +
               QByteArray::number(i) +
               " mm</Descrizione><Quantita>3.00</Quantita><UnitaMisura>PZ</UnitaMisura>"
               "<PrezzoUnitario>1.23456789</PrezzoUnitario><ScontoMaggiorazione><Tipo>SC</Tipo>"
               "<Percentuale>10.00</Percentuale></ScontoMaggiorazione><PrezzoTotale>3.33"
               "</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>";
    }
    xml += "</DatiBeniServizi></FatturaElettronicaBody></p:FatturaElettronica>";
    return xml;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const qint64 n = argc > 2 ? QByteArray(argv[2]).toLongLong() : 100000;
    const int righe = argc > 3 ? QByteArray(argv[3]).toInt() : 5000;
    QTemporaryDir cartella(base + QStringLiteral("/bench_fatture_XXXXXX"));
    ImpostaCartellaProgramma(cartella.path());
    DialoghiMuti muti;
    SchedeGenerate::GeneraArchivio(PercorsoArchivio(), n);
    const QByteArray xml = FatturaGenerata(righe, n, QStringLiteral("1"));
    std::printf("%lld cards, an invoice of %d lines (%lld kB)\n", static_cast<long long>(n), righe,
                static_cast<long long>(xml.size() / 1024));

    QList<FileFattura> file;
    const double lettura =
        migliore(5, [&] { file = LeggiFileFattura(QStringLiteral("fattura.xml"), xml); });
    std::printf("reading the file                      %8.1f ms\n", lettura);
    const Fattura &f = file[0].fatture[0];
    AbbinamentiRicordati ricordati;
    QList<AbbinamentoRiga> abbinate;
    const double abbina =
        migliore(5, [&] { abbinate = AbbinaRighe(f, ricordati, PercorsoArchivio()); });
    qsizetype trovate = 0;
    for (const AbbinamentoRiga &a : abbinate)
        trovate += a.stato == StatoAbbinamento::Scheda;
    std::printf("matching %lld lines (%lld to a card)   %8.1f ms\n",
                static_cast<long long>(abbinate.size()), static_cast<long long>(trovate), abbina);
    std::printf("opened and matched                    %8.1f ms\n", lettura + abbina);
    const double finestra = migliore(3, [&] {
        TfrmFattura w(nullptr, file, PercorsoArchivio(), PercorsoGiornale());
        w.show();
        QApplication::processEvents();
    });
    std::printf("the invoice window on screen          %8.1f ms\n", finestra);

    // Receiving: a new number each time, so it is not refused as loaded.
    double carico = 1e300;
    for (int volta = 1; volta <= 3; ++volta) {
        RichiestaCarico r;
        r.fattura = f;
        r.fattura.numero = QString::number(volta);
        r.ditta = f.fornitore.denominazione;
        r.nomeFile = QStringLiteral("fattura.xml");
        r.originale = xml;
        for (qsizetype i = 0; i < abbinate.size(); ++i)
            if (abbinate[i].stato == StatoAbbinamento::Scheda)
                r.voci << VoceCarico{
                    i, abbinate[i].scheda.posizione, abbinate[i].scheda.codice, {}, 3};
        QElapsedTimer t;
        t.start();
        const EsitoCarico esito = ApplicaCarico(r, PercorsoArchivio(), PercorsoGiornale());
        carico = std::min(carico, millisecondi(t));
        if (!esito.fatto) {
            std::printf("not loaded: %s\n", qPrintable(esito.messaggio));
            return 1;
        }
        // Each matched line again for the next time, on fresh stocks.
        abbinate = AbbinaRighe(f, ricordati, PercorsoArchivio());
    }
    std::printf("receiving (%lld cards, journal, file)  %8.1f ms\n",
                static_cast<long long>(trovate), carico);
    std::printf("peak memory                           %8.1f MiB\n", piccoMiB());
    return 0;
}
