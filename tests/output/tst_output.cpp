#include "DialoghiFinti.h"
#include "Fixture.h"
#include "access/ArgomentiGuida.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/IntentoArchivio.h"
#include "archive/RegoleNumeri.h"
#include "card/TfrmMagazzino.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "output/ModelliStampa.h"
#include "output/TfrmAnteprimaMag.h"
#include "output/TfrmStampaMag.h"
#include "report/FinestraAnteprima.h"
#include "report/TfrxReport.h"
#include "sheets/CsvMagazzino.h"
#include "sheets/FoglioMagazzino.h"
#include "sheets/ImportaCsv.h"
#include "sheets/LibroMagazzino.h"
#include "sheets/TfrmExpMagazzino.h"
#include "sheets/TfrmImportaCsv.h"
#include "widgets/RiquadroFoto.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <csignal>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Today as the footers print it, day/month/year, built here and not with the
// program's own date formatter.
QString oggi() {
    const QDate d = QDate::currentDate();
    return QStringLiteral("%1/%2/%3")
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char('0'))
        .arg(d.year(), 4, 10, QLatin1Char('0'));
}

const char *const Caselle[] = {
    "txtCodice",    "txtCosto",           "txtNome",         "txtGiacenza", "txtUM",
    "txtTipologia", "txtCaratteristiche", "txtCollocazione", "txtDitta",    "txtAgente",
    "txtRecapito",  "txtDocumento",       "txtPagamento",    "txtDataSca",  "txtNote",
    "txtPrezzo"};

const QStringList Titoli{u"Codice articolo:"_s,
                         u"Costo unitario:"_s,
                         u"Nome prodotto:"_s,
                         u"Giacenza attuale:"_s,
                         u"Aspetto esteriore del bene:"_s,
                         u"Categoria merceologica:"_s,
                         u"Caratteristiche:"_s,
                         u"Collocazione in magazzino:"_s,
                         u"Ditta fornitrice:"_s,
                         u"Agente:"_s,
                         u"Recapito telefonico"_s,
                         u"Documento di acquisto:"_s,
                         u"Modalità di pagamento:"_s,
                         u"Data scadenza:"_s,
                         u"Note:"_s,
                         u"Prezzo di vendita:"_s,
                         u"Valore totale:"_s,
                         u"Pagato:"_s};

// A stand-in for the card window: the named boxes the print windows read.
class SchedaFinta : public QWidget {
  public:
    SchedaFinta() {
        for (const char *nome : Caselle) {
            auto *casella = new QLineEdit(this);
            casella->setObjectName(QString::fromLatin1(nome));
        }
        auto *pagato = new QCheckBox(this);
        pagato->setObjectName(u"chkPagato"_s);
        foto = new RiquadroFoto(this);
        foto->setObjectName(u"imgFoto"_s);
    }
    QLineEdit *casella(const char *nome) const {
        return findChild<QLineEdit *>(QString::fromLatin1(nome));
    }
    void scrivi(const char *nome, const QString &testo) { casella(nome)->setText(testo); }

    RiquadroFoto *foto;
};

// Radio buttons react to clicks on their circle or caption, not the whole row.
void scegli(QRadioButton *pulsante) {
    QTest::mouseClick(pulsante, Qt::LeftButton, {}, QPoint(6, pulsante->height() / 2));
}

bool vicini(const QRectF &a, const QRectF &b) {
    return std::abs(a.left() - b.left()) < 1e-6 && std::abs(a.top() - b.top()) < 1e-6 &&
           std::abs(a.width() - b.width()) < 1e-6 && std::abs(a.height() - b.height()) < 1e-6;
}

// Where a card memo lands on the paper: its template position plus the margin.
QRectF sulFoglio(double sinistra, double alto, double larghezza, double altezza) {
    return {mm(10 + sinistra), mm(10 + alto), mm(larghezza), mm(altezza)};
}

// The text printed in a box (taken by its clip, the memo's whole box).
QString testoIn(const PaginaPreparata &pagina, const QRectF &riquadro) {
    for (const auto &t : pagina.testi) {
        if (vicini(t.taglio, riquadro)) return t.testo;
    }
    return {};
}

const TestoPosizionato *cercaTesto(const PaginaPreparata &pagina, const QString &testo) {
    for (const auto &t : pagina.testi) {
        if (t.testo == testo) return &t;
    }
    return nullptr;
}

// The list windows' steps: clear the memo, one line per entry, the two heights.
void riempiElenco(TfrxReport &report, const QStringList &righe) {
    auto *memo = report.FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    memo->Memo.clear();
    for (const QString &riga : righe)
        memo->Memo.append(riga);
    memo->Height = memo->Memo.size() * PassoRigaElenco;
    report.FindObject<TfrxMasterData>(u"MasterData"_s)->Height = memo->Height + 10;
}

QStringList righeElenco(int n) {
    QStringList righe;
    for (int i = 1; i <= n; ++i)
        righe << u"Riga %1 Vite M%2 [Ditta %1]"_s.arg(i, 4, 10, QLatin1Char('0')).arg(i % 12);
    return righe;
}

// The text of each page of a PDF, as pdftotext reads it back.
QStringList testoPdf(const QString &percorso) {
    QProcess pdftotext;
    pdftotext.start(u"pdftotext"_s, {u"-layout"_s, u"-enc"_s, u"UTF-8"_s, percorso, u"-"_s});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0) return {};
    QStringList pagine = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\f');
    if (!pagine.isEmpty() && pagine.last().trimmed().isEmpty()) pagine.removeLast();
    for (QString &p : pagine)
        p = p.simplified();
    return pagine;
}

// What was printed is what was prepared: every prepared text on its page.
void confrontaConPdf(const TfrxReport &report, const QString &percorso) {
    const QStringList pagine = testoPdf(percorso);
    const auto &preparate = report.PreparedPages();
    QCOMPARE(pagine.size(), qsizetype(preparate.size()));
    for (std::size_t n = 0; n < preparate.size(); ++n) {
        QStringList tutti;
        for (const auto &t : preparate[n].testi)
            tutti << t.testo.simplified();
        const QString pagina = tutti.join(u' ');
        for (const QString &atteso : tutti) {
            // As often as prepared ("12,50" is both a value and in the value line).
            QVERIFY2(pagine[qsizetype(n)].count(atteso) == pagina.count(atteso),
                     qPrintable(u"pagina %1: %2"_s.arg(n + 1).arg(atteso)));
        }
    }
}

// What a spreadsheet finds in Magazzino.xls: the page head, the header row,
// one row per list of 17 cells (bytes as they must appear), the page end.
QByteArray foglioAtteso(const QList<QList<QByteArray>> &righe) {
    QByteArray atteso =
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\" "
        "xmlns=\"http://www.w3.org/TR/REC-html40\"><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=windows-1252\"><!--[if gte mso 9]><xml><x:ExcelWorkbook>"
        "<x:ExcelWorksheets><x:ExcelWorksheet><x:Name>Magazzino Prodotti</x:Name>"
        "<x:WorksheetOptions><x:Selected/><x:Panes><x:Pane><x:Number>1</x:Number>"
        "<x:ActiveRow>3</x:ActiveRow></x:Pane></x:Panes>"
        "<x:ProtectContents>False</x:ProtectContents><x:ProtectObjects>False</x:ProtectObjects>"
        "<x:ProtectScenarios>False</x:ProtectScenarios></x:WorksheetOptions></x:ExcelWorksheet>"
        "</x:ExcelWorksheets></x:ExcelWorkbook></xml><![endif]--></head><body><table x:str><tr>";
    const std::pair<const char *, int> intestazioni[] = {{"Codice articolo", 250},
                                                         {"Costo unitario", 200},
                                                         {"Nome prodotto", 250},
                                                         {"Giacenza", 180},
                                                         {"Aspetto esteriore del bene", 250},
                                                         {"Categoria merceologica", 250},
                                                         {"Caratteristiche", 350},
                                                         {"Collocazione in magazzino", 250},
                                                         {"Ditta fornitrice", 250},
                                                         {"Agente", 250},
                                                         {"Recapito telefonico", 200},
                                                         {"Documento di acquisto", 250},
                                                         {"Modalit\xE0 di pagamento", 250},
                                                         {"Data scadenza", 200},
                                                         {"Note", 350},
                                                         {"Prezzo di vendita", 200},
                                                         {"Pagato", 150}};
    for (const auto &[etichetta, larghezza] : intestazioni)
        atteso += "<td style=\"text-align: left; font-weight: bold;\" width=" +
                  QByteArray::number(larghezza) + '>' + etichetta + "</td>";
    atteso += "</tr>";
    for (const auto &riga : righe) {
        Q_ASSERT(riga.size() == 17);
        atteso += "<tr>";
        for (const QByteArray &cella : riga)
            atteso += "<td sdnum=\"1040;0;@\" style=\"text-align: left;\">" + cella + "</td>";
        atteso += "</tr>";
    }
    return atteso + "</table></body></html>";
}

QList<QByteArray> rigaVuota() {
    return QList<QByteArray>(17);
}

// A device that takes the first `capienza` bytes and then refuses to write,
// as a full disk does.
class DispositivoCheCede : public QIODevice {
  public:
    explicit DispositivoCheCede(qint64 capienza) : m_capienza(capienza) {
        open(QIODevice::WriteOnly);
    }
    QByteArray scritti;
    int tentativiDopo = 0;

  protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *dati, qint64 quanti) override {
        const qint64 spazio = m_capienza - scritti.size();
        if (spazio <= 0) {
            ++tentativiDopo;
            return -1;
        }
        const qint64 presi = qMin(spazio, quanti);
        scritti.append(dati, presi);
        return presi;
    }

  private:
    qint64 m_capienza;
};

// The three cards of the export tests; the second has blanks around its name
// and markup in its notes.
TScheda primaScheda() {
    return SchedaDiProva({{Campo::Codice, u"007"_s},
                          {Campo::Costo, u"12,50"_s},
                          {Campo::Nome, u"Vite a testa piana"_s},
                          {Campo::Giacenza, u"40"_s},
                          {Campo::Avviso, u"5"_s},
                          {Campo::UM, u"Scatola"_s},
                          {Campo::Tipologia, u"Ferramenta"_s},
                          {Campo::Caratteristiche, u"Acciaio zincato"_s},
                          {Campo::Collocazione, u"Scaffale B"_s},
                          {Campo::Ditta, u"Rossi & figli"_s},
                          {Campo::Agente, u"Bianchi"_s},
                          {Campo::Recapito, u"0471 123456"_s},
                          {Campo::Documento, u"Fattura 12"_s},
                          {Campo::Pagamento, u"Bonifico"_s},
                          {Campo::DataSca, u"31/01/2027"_s},
                          {Campo::Note, u"Città: Bolzano"_s},
                          {Campo::Prezzo, u"20,00"_s},
                          {Campo::Pagato, u"Sì"_s},
                          {Campo::File01, u"fattura.pdf"_s},
                          {Campo::Desc01, u"Fattura"_s}});
}

QList<QByteArray> primaRiga() {
    return {"007",
            "12,50",
            "Vite a testa piana",
            "40",
            "Scatola",
            "Ferramenta",
            "Acciaio zincato",
            "Scaffale B",
            "Rossi &amp; figli",
            "Bianchi",
            "0471 123456",
            "Fattura 12",
            "Bonifico",
            "31/01/2027",
            "Citt\xE0: Bolzano",
            "20,00",
            "S\xEC"};
}

// The grid's texts, row by row, as the user sees them.
QList<QStringList> testiGriglia(const QTableView *griglia) {
    QList<QStringList> righe;
    const QAbstractItemModel *m = griglia->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList riga;
        for (int c = 0; c < m->columnCount(); ++c)
            riga << m->index(r, c).data().toString();
        righe << riga;
    }
    return righe;
}

QToolButton *pulsante(QWidget *finestra, const char *nome) {
    return finestra->findChild<QToolButton *>(QString::fromLatin1(nome));
}

const QString DomandaEsporta =
    u"L'esportazione dei dati in Excel può richiedere diversi minuti a seconda del numero di "
    "schede presenti in archivio.\r\n\r\nSi vuole esportare i dati adesso?"_s;
// The closing question names the file with its full path, in the test's program folder.
QString domandaApri(const QString &nome = u"Magazzino.xls"_s,
                    const QString &domanda = u"Si vuole aprire il file di Excel?"_s) {
    return u"Le schede in archivio sono state esportate con successo.\r\n\r\nFile: "_s +
           QDir(CartellaProgramma()).filePath(nome) + u"\r\n\r\n"_s + domanda;
}
const QString EsportazioneFallita =
    u"Attenzione: il sistema non permette di esportare i dati.\n\r\n\rAccertarsi che il file di "
    "Excel non sia già aperto."_s;

// Types a text key by key, letters outside ASCII as a keyboard layout sends them.
void digita(QWidget *dove, const QString &testo) {
    for (QChar c : testo) {
        if (c.unicode() < 0x80)
            QTest::keyClick(dove, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, dove, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Starts an edit of a grid cell with F2, as the user does, and types over it.
// Returns the editor, left open.
QWidget *scriviInCella(QTableView *griglia, int riga, int colonna, const QString &testo) {
    griglia->setFocus();
    griglia->setCurrentIndex(griglia->model()->index(riga, colonna));
    QTest::keyClick(griglia, Qt::Key_F2);
    QWidget *editore = QApplication::focusWidget();
    if (!editore || editore == griglia) return nullptr;
    digita(editore, testo);
    return editore;
}

} // namespace

class TestOutput : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    // List template
    void elencoModello();
    void elencoAltezze_data();
    void elencoAltezze();
    void elencoSuPiuPagine();
    // Card templates
    void schedaModelli_data();
    void schedaModelli();
    void stampatoComePreparato();
    // Card print and preview windows
    void finestreGemelle_data();
    void finestreGemelle();
    void schedaStampata_data();
    void schedaStampata();
    void rigaValore_data();
    void rigaValore();
    void numeroNonValido();
    void annullaEStampaAnnullata();
    void fotoDellaScheda();
    void anteprimaScheda();
    // Spreadsheet export
    void cellaFoglio_data();
    void cellaFoglio();
    void foglioSuDispositivoCheCede_data();
    void foglioSuDispositivoCheCede();
    void esportaArchivioVuoto();
    void esportaTreSchede();
    void modificheNellaGriglia();
    void esportazioneFallita_data();
    void esportazioneFallita();
    void esportazioneRinunciata();
    void rigaDiStatoETastiera();
    void esportaDallaScheda();
    // CSV export
    void esportaCsv();
    void csvVuotoEFallito();
    // .xlsx export
    void esportaXlsx();
    void xlsxFallito();
    void xlsxSuDispositivoCheCede_data();
    void xlsxSuDispositivoCheCede();
    // CSV import
    void letturaCsv_data();
    void letturaCsv();
    void fileCsvRifiutato_data();
    void fileCsvRifiutato();
    void intestazioneCsv_data();
    void intestazioneCsv();
    void numeriCsv_data();
    void numeriCsv();
    void dateCsv_data();
    void dateCsv();
    void motiviScarto_data();
    void motiviScarto();
    void righeDelFile();
    void noteDellaRiga();
    void andataERitornoDelCsv_data();
    void andataERitornoDelCsv();
    void rigaESchedaFuoriDallaLettura();
    void listiniDeiFornitori_data();
    void listiniDeiFornitori();
    void aggiornaNonRaddoppia_data();
    void aggiornaNonRaddoppia();
    void importaCsv();
    void importaNelGiornale();
    void importaSuGiacenzaNonIntera_data();
    void importaSuGiacenzaNonIntera();
    void importaDisabilitato();
    void importaTuttoONiente_data();
    void importaTuttoONiente();
    void importazioneInterrotta();
    void giornaleNonScrittoNienteImportato();
    void bloccoImpostazioniLasciato();
    void andataERitorno();
};

void TestOutput::initTestCase() {
    ImpostaFormati();
}

void TestOutput::elencoModello() {
    TfrxReport report;
    CostruisciFrxReport(report);
    QCOMPARE(report.ReportName, u"Riepilogo dati"_s);
    QCOMPARE(report.Pages[0]->Name, u"Data"_s);
    TfrxReportPage *pagina = report.ReportPage(1);
    QCOMPARE(pagina->Name, u"Page"_s);
    QCOMPARE(pagina->Orientation(), QPageLayout::Landscape);
    QCOMPARE(QSizeF(pagina->PaperWidth, pagina->PaperHeight), QSizeF(297, 210));

    auto *titolo = report.FindObject<TfrxMemoView>(u"TXTTITOLO"_s);
    QVERIFY(titolo);
    QCOMPARE(titolo->Name, u"txtTitolo"_s);
    QVERIFY(dynamic_cast<TfrxReportTitle *>(titolo->Parent()));
    QCOMPARE(titolo->Text(), u"Riepilogo"_s);
    auto *elenco = report.FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    QVERIFY(dynamic_cast<TfrxMasterData *>(elenco->Parent()));
    QVERIFY(!elenco->WordWrap);
    QCOMPARE(elenco->Font.Name, u"Courier New"_s);
    QCOMPARE(elenco->PassoRiga(), PassoRigaElenco);
    QVERIFY(report.FindObject<TfrxMasterData>(u"MasterData"_s)->AllowSplit);

    // The footer's date is today's; the rest of its text is printed unchanged.
    riempiElenco(report, {});
    report.PrepareReport(true);
    QVERIFY(cercaTesto(report.PreparedPages().at(0), u"Stampa eseguita in data "_s + oggi()));
}

void TestOutput::elencoAltezze_data() {
    QTest::addColumn<int>("righe");
    QTest::addColumn<double>("memo");
    QTest::addColumn<double>("banda");
    QTest::newRow("40 righe") << 40 << 512.88 << 522.88;
    QTest::newRow("vuoto") << 0 << 0.0 << 10.0;
}

void TestOutput::elencoAltezze() {
    QFETCH(int, righe);
    QFETCH(double, memo);
    QFETCH(double, banda);

    TfrxReport report;
    CostruisciFrxReport(report);
    report.FindObject<TfrxMemoView>(u"txtTitolo"_s)->SetText(u"Prodotti sottoscorta"_s);
    riempiElenco(report, righeElenco(righe));
    QCOMPARE(report.FindObject(u"txtRiepilogo"_s)->Height + 1, memo + 1);
    QCOMPARE(report.FindObject(u"MasterData"_s)->Height, banda);

    report.PrepareReport(true);
    QCOMPARE(report.PreparedPages().size(), std::size_t(1));
    const PaginaPreparata &pagina = report.PreparedPages().front();
    const double titolo = mm(10 + 1);
    QCOMPARE(cercaTesto(pagina, u"Prodotti sottoscorta"_s)->taglio.top(), titolo);
    // The list starts right below the 8 mm title band; the footer's memo sits
    // 2 mm into its band, which starts 10 units below the last line.
    const double inizio = mm(10 + 8);
    for (int i = 0; i < righe; ++i)
        QCOMPARE(pagina.testi.at(std::size_t(i + 1)).riquadro.top(), inizio + i * PassoRigaElenco);
    const auto *piede = cercaTesto(pagina, u"Stampa eseguita in data "_s + oggi());
    QCOMPARE(piede->taglio.top(), inizio + memo + 10 + mm(2));
}

void TestOutput::elencoSuPiuPagine() {
    TfrxReport report;
    CostruisciFrxReport(report);
    const QStringList righe = righeElenco(400);
    riempiElenco(report, righe);
    report.PrepareReport(true);
    const auto &pagine = report.PreparedPages();
    QVERIFY(pagine.size() >= 7);

    const double alto = mm(10);
    const double fondo = mm(200);
    const QString data = u"Stampa eseguita in data "_s + oggi();
    QStringList stampate;
    int titoli = 0;
    int piedi = 0;
    double fondoUltima = 0;
    for (std::size_t n = 0; n < pagine.size(); ++n) {
        QCOMPARE(pagine[n].cartaMm, QSizeF(297, 210));
        for (const auto &t : pagine[n].testi) {
            QVERIFY(t.riquadro.top() >= alto - 1e-6 && t.riquadro.bottom() <= fondo + 1e-6);
            if (t.testo == u"Riepilogo"_s) {
                ++titoli;
                QCOMPARE(n, std::size_t(0));
            } else if (t.testo == data) {
                ++piedi;
                QCOMPARE(n, pagine.size() - 1);
                QCOMPARE(t.taglio.top(), fondoUltima + 10 + mm(2));
            } else {
                // Whole lines only: each inside the visible part of the memo.
                QVERIFY(t.taglio.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(t.riquadro));
                QCOMPARE(t.riquadro.height(), PassoRigaElenco);
                stampate << t.testo;
                fondoUltima = t.riquadro.bottom();
            }
        }
    }
    QCOMPARE(titoli, 1);
    QCOMPARE(piedi, 1);
    QCOMPARE(stampate, righe); // every line once, in order
}

void TestOutput::schedaModelli_data() {
    QTest::addColumn<bool>("conFoto");
    QTest::addColumn<double>("primaRiga");
    QTest::addColumn<double>("passo");
    QTest::newRow("repScheda") << false << 24.0 << 10.0;
    QTest::newRow("repFoto") << true << 104.0 << 9.0;
}

void TestOutput::schedaModelli() {
    QFETCH(bool, conFoto);
    QFETCH(double, primaRiga);
    QFETCH(double, passo);

    TfrxReport report;
    conFoto ? CostruisciRepFoto(report) : CostruisciRepScheda(report);
    QCOMPARE(report.ReportName, u"Scheda informativa"_s);
    QCOMPARE(report.ReportPage(1)->Name, u"Page1"_s);
    QCOMPARE(report.PreviewOptions.Zoom, 1.0);

    // Portrait set on a portrait page, twice, changes nothing.
    TfrxReportPage *pagina = report.ReportPage(1);
    for (int volta = 0; volta < 2; ++volta) {
        pagina->SetOrientation(QPageLayout::Portrait);
        QCOMPARE(QSizeF(pagina->PaperWidth, pagina->PaperHeight), QSizeF(210, 297));
        QCOMPARE((QList<double>{pagina->LeftMargin, pagina->TopMargin, pagina->RightMargin,
                                pagina->BottomMargin}),
                 (QList<double>{10, 10, 10, 10}));
    }

    report.PrepareReport(true);
    QCOMPARE(report.PreparedPages().size(), std::size_t(1));
    const PaginaPreparata &p = report.PreparedPages().front();
    for (int n = 1; n <= 18; ++n) {
        const double alto = primaRiga + passo * (n - 1);
        const QString progetto = u"Campo "_s + QString::number(n);
        QCOMPARE(testoIn(p, sulFoglio(3, alto, 52, 6)), progetto);
        QCOMPARE(testoIn(p, sulFoglio(60, alto, 128, 6)), progetto);
    }
    QCOMPARE(testoIn(p, sulFoglio(23, 3, 165, 9)), u"Titolo Scheda"_s);
    QCOMPARE(testoIn(p, sulFoglio(3, 269, 185, 6)), u"Termine scheda"_s);
    QCOMPARE(p.linee.size(), std::size_t(2));
    QVERIFY(vicini(QRectF(p.linee[0].da, p.linee[0].a), sulFoglio(23, 16, 165, 0)));
    QVERIFY(vicini(QRectF(p.linee[1].da, p.linee[1].a), sulFoglio(3, 265, 185, 0)));
    // The logo fits its 17 x 13 mm box keeping its proportions.
    QVERIFY(!p.immagini.empty());
    QCOMPARE(p.immagini[0].riquadro.topLeft(), sulFoglio(3, 3, 0, 0).topLeft());
    QCOMPARE(p.immagini[0].riquadro.height(), mm(13));

    int contorni = 0;
    for (const auto &r : p.rettangoli) {
        if (r.contorno) {
            ++contorni;
            QVERIFY(vicini(r.riquadro, sulFoglio(3, 204, 185, 57)));
        }
    }
    QCOMPARE(contorni, conFoto ? 0 : 1);
    QCOMPARE(testoIn(p, sulFoglio(4, 205, 34, 4)), conFoto ? QString() : u"SPAZIO PER APPUNTI:"_s);
    auto *foto = report.FindObject<TfrxPictureView>(u"imgFoto"_s);
    QCOMPARE(foto != nullptr, conFoto);
    if (foto) {
        QVERIFY(foto->Center);
        QVERIFY(foto->Picture.isNull());
        QVERIFY(vicini(QRectF(foto->Left, foto->Top, foto->Width, foto->Height),
                       QRectF(mm(4), mm(21), mm(183), mm(79))));
    }
}

void TestOutput::stampatoComePreparato() {
    DialoghiFinti dialoghi;
    QTemporaryDir cartella;

    // A card, printed through its window.
    SchedaFinta scheda;
    scheda.scrivi("txtCodice", u"VT-0612"_s);
    scheda.scrivi("txtNome", u"Vite a testa esagonale M6"_s);
    scheda.scrivi("txtCosto", u"12,50"_s);
    scheda.scrivi("txtGiacenza", u"3"_s);
    scheda.scrivi("txtDitta", u"Ferramenta Rossi [Bologna]"_s);
    QImage foto(400, 300, QImage::Format_RGB32);
    foto.fill(Qt::darkCyan);
    scheda.foto->impostaImmagine(foto);
    TfrmStampaMag stampa(&scheda);
    dialoghi.allaProssimaStampa(true);
    dialoghi.stampaSuFile(cartella.filePath(u"scheda.pdf"_s));
    QTest::mouseClick(stampa.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    QCOMPARE(stampa.repFoto().PreparedPages().size(), std::size_t(1));
    confrontaConPdf(stampa.repFoto(), cartella.filePath(u"scheda.pdf"_s));
    QVERIFY(testoPdf(cartella.filePath(u"scheda.pdf"_s))
                .value(0)
                .contains(u"Costo unitario (€ 12,50) x giacenza (3 pezzi) = € 37,5"_s));

    // A list over several pages, printed by the engine.
    TfrxReport elenco;
    CostruisciFrxReport(elenco);
    riempiElenco(elenco, righeElenco(150));
    elenco.PrepareReport(true);
    QVERIFY(elenco.PreparedPages().size() >= 3);
    dialoghi.allaProssimaStampa(true);
    dialoghi.stampaSuFile(cartella.filePath(u"elenco.pdf"_s));
    QVERIFY(elenco.Print());
    confrontaConPdf(elenco, cartella.filePath(u"elenco.pdf"_s));
    QCOMPARE(dialoghi.lavoriStampa(), (QStringList{u"Scheda informativa"_s, u"Riepilogo dati"_s}));
}

void TestOutput::finestreGemelle_data() {
    QTest::addColumn<bool>("anteprima");
    QTest::addColumn<QStringList>("testi"); // caption, optUno, optDue, btnStampa
    QTest::newRow("TfrmStampaMag") << false
                                   << QStringList{u" Stampa scheda"_s, u"Stampa dati con foto."_s,
                                                  u"Stampa dati senza foto."_s, u"Stampa"_s};
    QTest::newRow("TfrmAnteprimaMag")
        << true
        << QStringList{u" Anteprima di stampa"_s, u"Anteprima dati con foto."_s,
                       u"Anteprima dati senza foto."_s, u"Mostra anteprima"_s};
}

void TestOutput::finestreGemelle() {
    QFETCH(bool, anteprima);
    QFETCH(QStringList, testi);

    SchedaFinta scheda;
    std::unique_ptr<FinestraStampaScheda> finestra;
    if (anteprima)
        finestra = std::make_unique<TfrmAnteprimaMag>(&scheda);
    else
        finestra = std::make_unique<TfrmStampaMag>(&scheda);
    QCOMPARE(finestra->parentWidget(), &scheda);
    QCOMPARE(finestra->windowTitle(), testi[0]);
    QVERIFY(!(finestra->windowFlags() & Qt::WindowCloseButtonHint));
    auto *uno = finestra->findChild<QRadioButton *>(u"optUno"_s);
    auto *due = finestra->findChild<QRadioButton *>(u"optDue"_s);
    auto *annulla = finestra->findChild<QPushButton *>(u"btnAnnulla"_s);
    auto *stampa = finestra->findChild<QPushButton *>(u"btnStampa"_s);
    auto *memoria = finestra->findChild<QLabel *>(u"lblMemory"_s);
    QCOMPARE(uno->text(), testi[1]);
    QCOMPARE(due->text(), testi[2]);
    QCOMPARE(stampa->text(), testi[3]);
    QCOMPARE(annulla->text(), u"Annulla"_s);
    QVERIFY(uno->isChecked());
    QCOMPARE(memoria->text(), u"con"_s);
    QVERIFY(finestra->findChild<QLabel *>(u"imgLogo02"_s));

    finestra->show();
    QVERIFY(QTest::qWaitForWindowActive(finestra.get()));
    QVERIFY(memoria->isHidden());
    for (QWidget *w : finestra->findChildren<QWidget *>()) {
        if (w->isVisible() && w->focusPolicy() != Qt::NoFocus)
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    // Annulla first in tab order, then the button, then the choice.
    QCOMPARE(QApplication::focusWidget(), annulla);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), stampa);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), uno);
    // The choice follows the radio buttons, by keyboard too.
    QTest::keyClick(uno, Qt::Key_Down);
    QVERIFY(due->isChecked());
    QCOMPARE(memoria->text(), u"senza"_s);
    scegli(uno);
    QCOMPARE(memoria->text(), u"con"_s);
    // Enter presses the focused button.
    annulla->setFocus();
    QTest::keyClick(annulla, Qt::Key_Return);
    QVERIFY(!finestra->isVisible());
    QCOMPARE(finestra->result(), int(QDialog::Rejected));
}

void TestOutput::schedaStampata_data() {
    QTest::addColumn<bool>("conFoto");
    QTest::addColumn<double>("primaRiga");
    QTest::addColumn<double>("passo");
    QTest::newRow("con foto") << true << 104.0 << 9.0;
    QTest::newRow("senza foto") << false << 24.0 << 10.0;
}

void TestOutput::schedaStampata() {
    QFETCH(bool, conFoto);
    QFETCH(double, primaRiga);
    QFETCH(double, passo);

    DialoghiFinti dialoghi;
    SchedaFinta scheda;
    QStringList valori;
    for (int i = 0; i < 16; ++i) {
        QString valore = u"Valore %1 [x]"_s.arg(i + 1);
        if (i == 1)
            valore = u"1,25"_s;
        else if (i == 3)
            valore = u"4"_s;
        else if (i == 9)
            valore.clear(); // an empty row keeps its place
        else if (i == 6)
            valore = QString(250, u'C'); // one line, cut at the box's edge
        valori << valore;
        // Spaces around a value are not printed; unsaved edits are.
        scheda.scrivi(Caselle[i], u"  "_s + valore + u" "_s);
    }
    qobject_cast<QCheckBox *>(scheda.findChild<QCheckBox *>(u"chkPagato"_s))->setChecked(true);

    TfrmStampaMag finestra(&scheda);
    finestra.show();
    if (!conFoto) scegli(finestra.findChild<QRadioButton *>(u"optDue"_s));
    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    QVERIFY(dialoghi.mostrati().isEmpty());
    QCOMPARE(dialoghi.stampeRichieste(), 1);
    QVERIFY(QFile::exists(dialoghi.fileStampa()));
    QVERIFY(!finestra.isVisible());
    QCOMPARE(finestra.result(), int(QDialog::Accepted));

    TfrxReport &usato = conFoto ? finestra.repFoto() : finestra.repScheda();
    TfrxReport &altro = conFoto ? finestra.repScheda() : finestra.repFoto();
    QCOMPARE(usato.PreparedPages().size(), std::size_t(1));
    QVERIFY(altro.PreparedPages().empty());
    const PaginaPreparata &p = usato.PreparedPages().front();
    QCOMPARE(testoIn(p, sulFoglio(23, 3, 165, 9)), u"SCHEDA PRODOTTO"_s);
    for (int n = 1; n <= 18; ++n) {
        const double alto = primaRiga + passo * (n - 1);
        QCOMPARE(testoIn(p, sulFoglio(3, alto, 52, 6)), Titoli[n - 1]);
        QString atteso;
        if (n <= 16)
            atteso = valori[n - 1];
        else if (n == 17)
            atteso = u"Costo unitario (€ 1,25) x giacenza (4 pezzi) = € 5"_s;
        else
            atteso = u"Sì"_s;
        QCOMPARE(testoIn(p, sulFoglio(60, alto, 128, 6)), atteso);
    }
    const auto *lungo = cercaTesto(p, QString(250, u'C'));
    QVERIFY(!(lungo->allineamento & Qt::TextWordWrap));
    QVERIFY(vicini(lungo->taglio, sulFoglio(60, primaRiga + passo * 6, 128, 6)));

    const QString piede = testoIn(p, sulFoglio(3, 269, 185, 6));
    QVERIFY2(QRegularExpression(u"^Stampa eseguita in data (.*) alle ore \\d\\d:\\d\\d:\\d\\d$"_s)
                 .match(piede)
                 .hasMatch(),
             qPrintable(piede));
    QVERIFY2(piede.startsWith(u"Stampa eseguita in data "_s + oggi() + u" alle ore "_s) ||
                 QTime::currentTime() < QTime(0, 0, 5),
             qPrintable(piede));
}

void TestOutput::rigaValore_data() {
    QTest::addColumn<QString>("costo");
    QTest::addColumn<QString>("giacenza");
    QTest::addColumn<QString>("riga");
    QTest::addColumn<QString>("costoDopo");
    QTest::addColumn<QString>("giacenzaDopo");
    QTest::newRow("esempio") << u"12,50"_s << u"3"_s
                             << u"Costo unitario (€ 12,50) x giacenza (3 pezzi) = € 37,5"_s
                             << u"12,50"_s << u"3"_s;
    QTest::newRow("arrotondato") << u"0,10"_s << u"3"_s
                                 << u"Costo unitario (€ 0,10) x giacenza (3 pezzi) = € 0,3"_s
                                 << u"0,10"_s << u"3"_s;
    QTest::newRow("negativo") << u"2,00"_s << u"-3"_s
                              << u"Costo unitario (€ 2,00) x giacenza (-3 pezzi) = € -6"_s
                              << u"2,00"_s << u"-3"_s;
    QTest::newRow("grandi totali")
        << u"1234,5"_s << u"1000"_s
        << u"Costo unitario (€ 1234,5) x giacenza (1000 pezzi) = € 1234500"_s << u"1234,5"_s
        << u"1000"_s;
    QTest::newRow("scheda nuova") << QString() << u"   "_s
                                  << u"Costo unitario (€ 0,00) x giacenza (0 pezzi) = € 0"_s
                                  << u"0,00"_s << u"0"_s;
}

void TestOutput::rigaValore() {
    QFETCH(QString, costo);
    QFETCH(QString, giacenza);
    QFETCH(QString, riga);
    QFETCH(QString, costoDopo);
    QFETCH(QString, giacenzaDopo);

    DialoghiFinti dialoghi;
    SchedaFinta scheda;
    scheda.scrivi("txtCosto", costo);
    scheda.scrivi("txtGiacenza", giacenza);
    TfrmAnteprimaMag finestra(&scheda);
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    QCOMPARE(dialoghi.finestreEseguite(), 1);
    const PaginaPreparata &p = finestra.repFoto().PreparedPages().at(0);
    QCOMPARE(testoIn(p, sulFoglio(60, 104 + 9 * 16, 128, 6)), riga);
    QCOMPARE(scheda.casella("txtCosto")->text(), costoDopo);
    QCOMPARE(scheda.casella("txtGiacenza")->text(), giacenzaDopo);
    // Values shown as they stand in the boxes; "No" when not paid.
    QCOMPARE(testoIn(p, sulFoglio(60, 104 + 9, 128, 6)), costoDopo);
    QCOMPARE(testoIn(p, sulFoglio(60, 104 + 9 * 17, 128, 6)), u"No"_s);
}

void TestOutput::numeroNonValido() {
    DialoghiFinti dialoghi;
    SchedaFinta scheda;
    scheda.scrivi("txtGiacenza", u"abc"_s);
    TfrmStampaMag finestra(&scheda);
    finestra.show();
    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    QCOMPARE(dialoghi.testi(), QStringList{u"'abc' is not a valid floating point value."_s});
    QCOMPARE(dialoghi.mostrati().at(0).genere, DialoghiFinti::Genere::Semplice);
    QCOMPARE(dialoghi.stampeRichieste(), 0);
    QVERIFY(finestra.repFoto().PreparedPages().empty());
    QVERIFY(finestra.isVisible());
    // The cost default was already written back.
    QCOMPARE(scheda.casella("txtCosto")->text(), u"0,00"_s);
    QCOMPARE(scheda.casella("txtGiacenza")->text(), u"abc"_s);
}

void TestOutput::annullaEStampaAnnullata() {
    DialoghiFinti dialoghi;
    SchedaFinta scheda;
    {
        TfrmStampaMag finestra(&scheda);
        finestra.show();
        QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnAnnulla"_s), Qt::LeftButton);
        QVERIFY(!finestra.isVisible());
        QCOMPARE(finestra.result(), int(QDialog::Rejected));
        QCOMPARE(dialoghi.stampeRichieste(), 0);
        QCOMPARE(scheda.casella("txtGiacenza")->text(), QString());
    }
    {
        // Cancelled in the print dialog: nothing printed, no error, and the
        // window closes as after a print.
        TfrmStampaMag finestra(&scheda);
        finestra.show();
        dialoghi.allaProssimaStampa(false);
        QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
        QCOMPARE(dialoghi.stampeRichieste(), 1);
        QVERIFY(!QFile::exists(dialoghi.fileStampa()));
        QVERIFY(dialoghi.mostrati().isEmpty());
        QVERIFY(!finestra.isVisible());
    }
}

void TestOutput::fotoDellaScheda() {
    DialoghiFinti dialoghi;
    SchedaFinta scheda;
    QImage rossa(400, 200, QImage::Format_RGB32);
    rossa.fill(Qt::red);
    scheda.foto->impostaImmagine(rossa);
    TfrmStampaMag finestra(&scheda);
    auto *copia = finestra.findChild<RiquadroFoto *>(u"imgLogo"_s);
    QCOMPARE(copia->immagine().pixelColor(0, 0), QColor(Qt::red));

    // Showing the window copies the card's photo again.
    QImage blu(300, 300, QImage::Format_RGB32);
    blu.fill(Qt::blue);
    scheda.foto->impostaImmagine(blu);
    finestra.show();
    QCOMPARE(copia->immagine().pixelColor(0, 0), QColor(Qt::blue));
    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    const auto &immagini = finestra.repFoto().PreparedPages().at(0).immagini;
    QCOMPARE(immagini.size(), std::size_t(2)); // logo and photo
    const ImmaginePosizionata &foto = immagini[1];
    // Square photo in a wide box: full height, centred across.
    const QRectF box = sulFoglio(4, 21, 183, 79);
    QCOMPARE(foto.riquadro.height(), box.height());
    QCOMPARE(foto.riquadro.center(), box.center());
    QCOMPARE(foto.immagine.pixelColor(1, 1), QColor(Qt::blue));

    // A box with no picture: the placeholder stands in, silently.
    scheda.foto->impostaImmagine(QImage());
    TfrmAnteprimaMag vuota(&scheda);
    vuota.show();
    QCOMPARE(vuota.findChild<RiquadroFoto *>(u"imgLogo"_s)->immagine().size(), QSize(230, 307));
    QVERIFY(dialoghi.mostrati().isEmpty());
}

void TestOutput::anteprimaScheda() {
    DialoghiFinti dialoghi;
    SchedaFinta scheda;
    scheda.scrivi("txtCodice", u"A1"_s);
    TfrmAnteprimaMag finestra(&scheda);
    finestra.show();
    bool vista = false;
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        vista = true;
        auto *anteprima = qobject_cast<FinestraAnteprima *>(d);
        QVERIFY(anteprima);
        QCOMPARE(anteprima->parentWidget(), &finestra);
        QCOMPARE(anteprima->windowTitle(), u"Scheda informativa"_s);
        QVERIFY(anteprima->windowState() & Qt::WindowMaximized);
        QCOMPARE(anteprima->zoom(), 1.0);
        QCOMPARE(anteprima->numeroPagine(), 1);
        for (const char *nome :
             {"btnStampa", "btnPaginaIntera", "btnLarghezzaPagina", "btnMiniature",
              "btnSchermoIntero", "btnPrimaPagina", "btnPaginaPrecedente", "btnPaginaSuccessiva",
              "btnUltimaPagina", "btnChiudi"})
            QVERIFY2(anteprima->findChild<QAbstractButton *>(QString::fromLatin1(nome)), nome);
        // Printing from the preview: the same print dialog, the same job.
        dialoghi.allaProssimaStampa(true);
        QTest::mouseClick(anteprima->findChild<QAbstractButton *>(u"btnStampa"_s), Qt::LeftButton);
        QCOMPARE(dialoghi.lavoriStampa(), QStringList{u"Scheda informativa"_s});
        QVERIFY(QFile::exists(dialoghi.fileStampa()));
        // Enter presses the button that has the focus.
        auto *chiudi = anteprima->findChild<QAbstractButton *>(u"btnChiudi"_s);
        chiudi->setFocus();
        QTest::keyClick(chiudi, Qt::Key_Return);
    });
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    QVERIFY(vista);
    QVERIFY(dialoghi.mostrati().isEmpty());
    // Closing the preview goes straight back: the window has closed too.
    QVERIFY(!finestra.isVisible());
    QCOMPARE(testoIn(finestra.repFoto().PreparedPages().at(0), sulFoglio(60, 104, 128, 6)),
             u"A1"_s);
}

void TestOutput::cellaFoglio_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QByteArray>("byte");
    QTest::newRow("vuota") << QString() << QByteArray();
    QTest::newRow("spazi intorno") << u"  Vite M6   "_s << QByteArray("Vite M6");
    QTest::newRow("tabulazione in coda") << u"Vite\t"_s << QByteArray("Vite");
    QTest::newRow("spazi interni restano") << u"a  b"_s << QByteArray("a  b");
    QTest::newRow("markup") << u"Viti <M6> & dadi"_s << QByteArray("Viti &lt;M6&gt; &amp; dadi");
    QTest::newRow("entità già scritta") << u"&amp;"_s << QByteArray("&amp;amp;");
    QTest::newRow("Sì") << u"Sì"_s << QByteArray("S\xEC");
    QTest::newRow("euro ha un byte") << u"€ 5"_s << QByteArray("\x80 5");
    QTest::newRow("omega") << u"Ω 10"_s << QByteArray("&#937; 10");
    QTest::newRow("fuori dal piano base") << u"a😀b"_s << QByteArray("a&#128512;b");
    QTest::newRow("mezza coppia") << QString(QChar(0xD83D)) + u"x"_s << QByteArray("&#65533;x");
    QTest::newRow("punto interrogativo") << u"Chi? Ω?"_s << QByteArray("Chi? &#937;?");
}

void TestOutput::cellaFoglio() {
    QFETCH(QString, testo);
    QFETCH(QByteArray, byte);
    QCOMPARE(CodificaCellaFoglio(testo), byte);
}

void TestOutput::foglioSuDispositivoCheCede_data() {
    QTest::addColumn<qint64>("capienza");
    const qint64 intero = foglioAtteso({rigaVuota(), rigaVuota()}).size();
    QTest::newRow("nulla") << qint64(0);
    QTest::newRow("nell'intestazione") << qint64(100);
    QTest::newRow("nella prima riga") << intero - 700;
    QTest::newRow("all'ultimo byte") << intero - 1;
}

void TestOutput::foglioSuDispositivoCheCede() {
    QFETCH(qint64, capienza);
    const auto cella = [](qsizetype, int) { return QString(); };
    DispositivoCheCede dispositivo(capienza);
    QVERIFY(!ScriviFoglioMagazzino(&dispositivo, 2, cella));
    // It stops at the first refusal: what was taken is the start of the page.
    QVERIFY(dispositivo.tentativiDopo <= 1);
    QCOMPARE(dispositivo.scritti, foglioAtteso({rigaVuota(), rigaVuota()}).left(capienza));

    DispositivoCheCede capiente(1 << 20);
    QVERIFY(ScriviFoglioMagazzino(&capiente, 2, cella));
    QCOMPARE(capiente.scritti, foglioAtteso({rigaVuota(), rigaVuota()}));
}

void TestOutput::esportaArchivioVuoto() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QVERIFY(!QFile::exists(cartella.archivio()));
    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u" Esporta magazzino prodotti in Microsoft Excel"_s);
        QVERIFY(!(d->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        // Opening the window created the archive, empty.
        QVERIFY(QFile::exists(cartella.archivio()));
        QCOMPARE(cartella.leggiArchivio(), QByteArray());

        auto *griglia = d->findChild<QTableView *>(u"grdRecords"_s);
        QVERIFY(griglia->alternatingRowColors());
        QCOMPARE(griglia->verticalHeader()->defaultSectionSize(), 21);
        QStringList intestazioni;
        for (int c = 0; c < griglia->model()->columnCount(); ++c)
            intestazioni << griglia->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(intestazioni,
                 (QStringList{u"N."_s, u"Codice articolo"_s, u"Costo unitario"_s,
                              u"Nome prodotto"_s, u"Giacenza"_s, u"Aspetto esteriore del bene"_s,
                              u"Categoria merceologica"_s, u"Caratteristiche"_s,
                              u"Collocazione in magazzino"_s, u"Ditta fornitrice"_s, u"Agente"_s,
                              u"Recapito telefonico"_s, u"Documento di acquisto"_s,
                              u"Modalità di pagamento"_s, u"Data scadenza"_s, u"Note"_s,
                              u"Prezzo di vendita"_s, u"Pagato"_s}));
        QCOMPARE(testiGriglia(griglia), QList<QStringList>(10, QStringList(18)));

        dialoghi.rispondi(Piattaforma::Risposta::Si);
        dialoghi.rispondi(Piattaforma::Risposta::No);
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        QCOMPARE(dialoghi.testi(), (QStringList{DomandaEsporta, domandaApri()}));
        QVERIFY(d->isVisible());
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
        QVERIFY(!d->isVisible());
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QCOMPARE(Leggi(cartella.percorso(u"Magazzino.xls"_s)),
             foglioAtteso(QList<QList<QByteArray>>(10, rigaVuota())));
    // Answered No: nothing handed to the desktop.
    QVERIFY(dialoghi.aperti().isEmpty());
}

void TestOutput::esportaTreSchede() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda seconda = SchedaNumero(2);
    seconda.impostaTesto(Campo::Nome, u"Dado M6"_s);
    // Blanks stored around a field (an older copy of the program wrote them).
    seconda.byte[std::size_t(definizione(Campo::Nome).offset)] = 11;
    std::memcpy(&seconda.byte[std::size_t(definizione(Campo::Nome).offset) + 1], "  Dado M6  ", 11);
    cartella.scriviArchivio(ArchivioDi({primaScheda(), seconda, SchedaNumero(3)}));
    // A previous export is replaced.
    Scrivi(cartella.percorso(u"Magazzino.xls"_s), QByteArray(50000, 'x'));

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        auto *griglia = d->findChild<QTableView *>(u"grdRecords"_s);
        const QList<QStringList> righe = testiGriglia(griglia);
        QCOMPARE(righe.size(), 3);
        QCOMPARE(righe[0],
                 (QStringList{u"1"_s, u"007"_s, u"12,50"_s, u"Vite a testa piana"_s, u"40"_s,
                              u"Scatola"_s, u"Ferramenta"_s, u"Acciaio zincato"_s, u"Scaffale B"_s,
                              u"Rossi & figli"_s, u"Bianchi"_s, u"0471 123456"_s, u"Fattura 12"_s,
                              u"Bonifico"_s, u"31/01/2027"_s, u"Città: Bolzano"_s, u"20,00"_s,
                              u"Sì"_s}));
        QCOMPARE(righe[1][0], u"2"_s);
        QCOMPARE(righe[1][3], u"Dado M6"_s);
        QCOMPARE(righe[2][0], u"3"_s);
        QCOMPARE(righe[2][1], u"COD3"_s);
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);

    const QString percorso = cartella.percorso(u"Magazzino.xls"_s);
    QList<QByteArray> seconda17 = rigaVuota();
    seconda17[0] = "COD2";
    seconda17[1] = "2,50";
    seconda17[2] = "Dado M6";
    seconda17[3] = "2";
    seconda17[5] = "Ferramenta";
    seconda17[16] = "No";
    QList<QByteArray> terza17 = rigaVuota();
    terza17[0] = "COD3";
    terza17[1] = "3,50";
    terza17[2] = "Prodotto 3";
    terza17[3] = "3";
    terza17[5] = "Ferramenta";
    terza17[16] = "S\xEC";
    const QByteArray scritto = Leggi(percorso);
    QCOMPARE(scritto, foglioAtteso({primaRiga(), seconda17, terza17}));
    QVERIFY(scritto.endsWith("</html>"));
    QVERIFY(!scritto.contains('\n') && !scritto.contains('\r'));
    QCOMPARE(dialoghi.testi(), (QStringList{DomandaEsporta, domandaApri()}));
    // Any answer but No opens the file with the desktop's program for it.
    QCOMPARE(dialoghi.aperti(), QList<QUrl>{QUrl::fromLocalFile(percorso)});
}

void TestOutput::modificheNellaGriglia() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const QByteArray archivio = ArchivioDi({primaScheda(), SchedaNumero(2)});
    cartella.scriviArchivio(archivio);

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        auto *griglia = d->findChild<QTableView *>(u"grdRecords"_s);
        // Name, notes and paid flag are open to edits; blanks typed around
        // them are not exported.
        QTest::keyClick(scriviInCella(griglia, 0, 3, u"Viti <M6> & dadi  "_s), Qt::Key_Return);
        QTest::keyClick(scriviInCella(griglia, 1, 15, u"  Prezzo in € o in Ω "_s), Qt::Key_Return);
        QTest::keyClick(scriviInCella(griglia, 1, 17, u"Sì"_s), Qt::Key_Return);
        // Code, cost and supplier are not: typing there changes nothing.
        for (int colonna : {1, 2, 9}) {
            const QString prima = griglia->model()->index(0, colonna).data().toString();
            griglia->setCurrentIndex(griglia->model()->index(0, colonna));
            QTest::keyClick(griglia, Qt::Key_F2);
            QTest::keyClicks(QApplication::focusWidget(), u"999"_s);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(griglia->model()->index(0, colonna).data().toString(), prima);
        }
        // An edit still open when the export starts is exported as it stands.
        QVERIFY(scriviInCella(griglia, 1, 11, u"333 1234567"_s));
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        QCOMPARE(dialoghi.testi(), (QStringList{DomandaEsporta, domandaApri()}));
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);

    QList<QByteArray> prima = primaRiga();
    prima[2] = "Viti &lt;M6&gt; &amp; dadi";
    QList<QByteArray> seconda = rigaVuota();
    seconda[0] = "COD2";
    seconda[1] = "2,50";
    seconda[2] = "Prodotto 2";
    seconda[3] = "2";
    seconda[5] = "Ferramenta";
    seconda[10] = "333 1234567";
    seconda[14] = "Prezzo in \x80 o in &#937;";
    seconda[16] = "S\xEC";
    QCOMPARE(Leggi(cartella.percorso(u"Magazzino.xls"_s)), foglioAtteso({prima, seconda}));
    // The archive keeps the cards as they were.
    QCOMPARE(cartella.leggiArchivio(), archivio);
}

void TestOutput::esportazioneFallita_data() {
    QTest::addColumn<bool>("discoPieno");
    QTest::newRow("file che non si può creare") << false;
    QTest::newRow("disco pieno a metà scrittura") << true;
}

void TestOutput::esportazioneFallita() {
    QFETCH(bool, discoPieno);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QList<TScheda> schede;
    std::vector<TScheda> molte(40, primaScheda());
    QByteArray archivio;
    for (const TScheda &s : molte)
        archivio.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    cartella.scriviArchivio(archivio);
    const QString percorso = cartella.percorso(u"Magazzino.xls"_s);
    const QByteArray precedente = foglioAtteso({primaRiga()});
    if (discoPieno) {
        Scrivi(percorso, precedente);
    } else {
        // Something in the way of the file that cannot be replaced.
        QVERIFY(QDir(cartella.percorso()).mkpath(u"Magazzino.xls/dentro"_s));
    }

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        // Files may grow to 8 KiB only: the export stops part way through.
        rlimit prima{};
        getrlimit(RLIMIT_FSIZE, &prima);
        const auto segnale = std::signal(SIGXFSZ, SIG_IGN);
        if (discoPieno) {
            rlimit piccolo = prima;
            piccolo.rlim_cur = 8192;
            setrlimit(RLIMIT_FSIZE, &piccolo);
        }
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        setrlimit(RLIMIT_FSIZE, &prima);
        std::signal(SIGXFSZ, segnale);
        QCOMPARE(dialoghi.testi(), (QStringList{DomandaEsporta, EsportazioneFallita}));
        QCOMPARE(dialoghi.mostrati().last().genere, DialoghiFinti::Genere::Semplice);
        QVERIFY(d->isVisible());
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QVERIFY(dialoghi.aperti().isEmpty());
    // The previous export is whole, and no half-written copy lies beside it.
    if (discoPieno)
        QCOMPARE(Leggi(percorso), precedente);
    else
        QVERIFY(QFileInfo(percorso).isDir());
    QCOMPARE(QDir(cartella.percorso()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(),
             qsizetype(discoPieno ? 2 : 1));
}

void TestOutput::esportazioneRinunciata() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    cartella.scriviArchivio(ArchivioDi({primaScheda()}));
    const QString percorso = cartella.percorso(u"Magazzino.xls"_s);
    Scrivi(percorso, "precedente");

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        dialoghi.rispondi(Piattaforma::Risposta::No);
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        QCOMPARE(dialoghi.testi(), QStringList{DomandaEsporta});
        QCOMPARE(Leggi(percorso), QByteArray("precedente"));
        // The export can be run again while the window is open.
        dialoghi.azzera();
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        QTest::mouseClick(pulsante(d, "cmdEsporta"), Qt::LeftButton);
        QCOMPARE(dialoghi.testi(),
                 (QStringList{DomandaEsporta, domandaApri(), DomandaEsporta, domandaApri()}));
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QCOMPARE(Leggi(percorso), foglioAtteso({primaRiga()}));
    QCOMPARE(dialoghi.aperti().size(), 2);
}

void TestOutput::rigaDiStatoETastiera() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        auto *info = d->findChild<QLabel *>(u"panInfo"_s);
        auto vede = [info](const QString &testo) {
            return info->text() == testo && info->accessibleName() == testo;
        };
        QVERIFY(vede(u"Esportazione archivio in Microsoft Excel."_s));
        auto *griglia = d->findChild<QTableView *>(u"grdRecords"_s);
        QCOMPARE(QApplication::focusWidget(), griglia);

        const std::pair<const char *, QString> pulsanti[] = {
            {"cmdEsporta", u"Esporta l'archivio in formato Microsoft Excel."_s},
            {"cmdGuida", u"Visualizza la pagina della guida sensibile al contesto."_s},
            {"cmdEsci", u"Esci da questo ambiente di lavoro."_s}};
        // The pointer reaching a control, and moving over a plain part.
        auto entra = [](QWidget *w) {
            QEnterEvent evento(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QApplication::sendEvent(w, &evento);
        };
        auto muovi = [](QWidget *w) {
            QMouseEvent evento(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton,
                               Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &evento);
        };
        const QList<QWidget *> sfondi{d, d->findChild<QWidget *>(u"panContainer"_s),
                                      griglia->viewport(), d->findChild<QWidget *>(u"shpInfo"_s),
                                      d->findChild<QWidget *>(u"shpSfondo"_s)};
        for (const auto &[nome, stato] : pulsanti) {
            QToolButton *b = pulsante(d, nome);
            QVERIFY(!b->accessibleName().isEmpty());
            QCOMPARE(b->accessibleDescription(), stato);
            for (QWidget *sfondo : sfondi) {
                entra(b);
                QVERIFY2(vede(stato), nome);
                muovi(sfondo);
                QVERIFY2(vede(QString()), qPrintable(sfondo->objectName()));
            }
        }

        // Tab leaves the grid for the export button; Enter presses it.
        QTest::keyClick(griglia, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), pulsante(d, "cmdEsporta"));
        QVERIFY(vede(u"Esporta l'archivio in formato Microsoft Excel."_s));
        dialoghi.rispondi(Piattaforma::Risposta::No);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(dialoghi.testi(), QStringList{DomandaEsporta});
        // Escape leaves the window.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!d->isVisible());
    });
    Piattaforma::dialoghi().esegui(&finestra);
}

void TestOutput::esportaDallaScheda() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    TfrmMagazzino scheda;
    scheda.show();
    bool aperta = false;
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        aperta = true;
        QVERIFY(qobject_cast<TfrmExpMagazzino *>(d));
        QCOMPARE(d->parentWidget(), &scheda);
        QVERIFY(d->isModal());
        QCOMPARE(d->findChild<QTableView *>(u"grdRecords"_s)->model()->rowCount(), 2);
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    QTest::mouseClick(scheda.findChild<QToolButton *>(u"btnEsporta"_s), Qt::LeftButton);
    QVERIFY(aperta);
    // Freed on closing.
    QVERIFY(!scheda.findChild<TfrmExpMagazzino *>());
}

namespace {
const QByteArray IntestazioneCsv =
    "\xEF\xBB\xBF"
    "Codice articolo;Costo unitario;Nome prodotto;Giacenza;Aspetto esteriore del bene;"
    "Categoria merceologica;Caratteristiche;Collocazione in magazzino;Ditta fornitrice;Agente;"
    "Recapito telefonico;Documento di acquisto;Modalit\xC3\xA0 di pagamento;Data scadenza;Note;"
    "Prezzo di vendita;Pagato;Avviso n. pezzi rimasti;File allegato 1;File allegato 2;"
    "File allegato 3;Descrizione allegato 1;Descrizione allegato 2;Descrizione allegato 3\r\n";
}

void TestOutput::esportaCsv() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda prima = primaScheda();
    prima.impostaTesto(Campo::Caratteristiche, u"Testa \"piana\"; acciaio"_s);
    prima.impostaTesto(Campo::Note, u"Riga uno\r\nriga due"_s);
    prima.impostaTesto(Campo::File03, u"scheda;tecnica.pdf"_s);
    prima.impostaTesto(Campo::Desc03, u"Scheda tecnica"_s);
    const QByteArray archivio = ArchivioDi({prima, SchedaNumero(2)});
    cartella.scriviArchivio(archivio);

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        auto *griglia = d->findChild<QTableView *>(u"grdRecords"_s);
        QToolButton *csv = pulsante(d, "cmdEsportaCsv");
        QCOMPARE(csv->accessibleName(), u"Esporta in formato CSV"_s);
        QCOMPARE(csv->accessibleDescription(),
                 u"Esporta tutti i dati delle schede in un file CSV."_s);
        // An edit in the grid is exported, as in the Excel file.
        QVERIFY(scriviInCella(griglia, 1, 3, u"Dado M6 "_s));
        dialoghi.rispondi(Piattaforma::Risposta::No);
        QTest::mouseClick(csv, Qt::LeftButton);
        QCOMPARE(dialoghi.testi(),
                 QStringList{u"Le schede in archivio sono state esportate con successo.\r\n\r\n"
                             "File: "_s +
                             cartella.percorso(u"Magazzino.csv"_s) +
                             u"\r\n\r\nSi vuole aprire il file?"_s});
        dialoghi.azzera();
        QTest::mouseClick(csv, Qt::LeftButton);
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);

    const QByteArray atteso =
        IntestazioneCsv +
        "007;12,50;Vite a testa piana;40;Scatola;Ferramenta;\"Testa \"\"piana\"\"; acciaio\";"
        "Scaffale B;Rossi & figli;Bianchi;0471 123456;Fattura 12;Bonifico;31/01/2027;"
        "\"Riga uno\r\nriga due\";20,00;S\xC3\xAC;5;fattura.pdf;;\"scheda;tecnica.pdf\";Fattura;;"
        "Scheda tecnica\r\n"
        "COD2;2,50;Dado M6;2;;Ferramenta;;;;;;;;;;;No;1;;;;;;\r\n";
    const QString percorso = cartella.percorso(u"Magazzino.csv"_s);
    QCOMPARE(Leggi(percorso), atteso);
    QCOMPARE(dialoghi.aperti(), QList<QUrl>{QUrl::fromLocalFile(percorso)});
    QCOMPARE(cartella.leggiArchivio(), archivio);
}

void TestOutput::csvVuotoEFallito() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QWidget scheda;
    {
        // No cards: the header alone, not the grid's empty rows.
        TfrmExpMagazzino finestra(&scheda);
        dialoghi.allaProssimaFinestra([&](QDialog *d) {
            dialoghi.rispondi(Piattaforma::Risposta::No);
            QTest::mouseClick(pulsante(d, "cmdEsportaCsv"), Qt::LeftButton);
            QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
        });
        Piattaforma::dialoghi().esegui(&finestra);
        QCOMPARE(Leggi(cartella.percorso(u"Magazzino.csv"_s)), IntestazioneCsv);
    }
    QVERIFY(QFile::remove(cartella.percorso(u"Magazzino.csv"_s)));
    QVERIFY(QDir(cartella.percorso()).mkpath(u"Magazzino.csv/dentro"_s));
    dialoghi.azzera();
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QTest::mouseClick(pulsante(d, "cmdEsportaCsv"), Qt::LeftButton);
        QVERIFY(d->isVisible());
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QCOMPARE(dialoghi.testi(),
             QStringList{u"Attenzione: il sistema non permette di esportare i dati.\r\n\r\n"
                         "Accertarsi che il file Magazzino.csv non sia già aperto in un altro "
                         "programma."_s});
    QVERIFY(dialoghi.aperti().isEmpty());
}

namespace {
// A part of a zip archive, as the unzip tool gives it.
QByteArray parteZip(const QString &archivio, const QString &parte) {
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, archivio, parte});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0) return {};
    return unzip.readAllStandardOutput();
}
} // namespace

void TestOutput::esportaXlsx() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda seconda = SchedaNumero(2);
    seconda.impostaTesto(Campo::Costo, u"n.d."_s);
    seconda.impostaTesto(Campo::Note, u"Viti <M6> & dadi"_s);
    cartella.scriviArchivio(ArchivioDi({primaScheda(), seconda}));
    const QString percorso = cartella.percorso(u"Magazzino.xlsx"_s);
    Scrivi(percorso, "precedente");

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        QToolButton *xlsx = pulsante(d, "cmdEsportaXlsx");
        QCOMPARE(xlsx->accessibleName(), u"Esporta in formato .xlsx"_s);
        QCOMPARE(xlsx->accessibleDescription(),
                 u"Esporta l'archivio in una cartella di lavoro di Excel (.xlsx)."_s);
        QVERIFY(scriviInCella(d->findChild<QTableView *>(u"grdRecords"_s), 1, 3, u"Dado M6"_s));
        QTest::mouseClick(xlsx, Qt::LeftButton);
        QCOMPARE(dialoghi.testi(),
                 QStringList{u"Le schede in archivio sono state esportate con successo.\r\n\r\n"
                             "File: "_s +
                             percorso + u"\r\n\r\nSi vuole aprire il file di Excel?"_s});
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QCOMPARE(dialoghi.aperti(), QList<QUrl>{QUrl::fromLocalFile(percorso)});
    // Nothing left beside it: archive and workbook only.
    QCOMPARE(QDir(cartella.percorso()).entryList(QDir::Files).size(), qsizetype(2));

    QVERIFY(parteZip(percorso, u"xl/workbook.xml"_s).contains("name=\"Magazzino Prodotti\""));
    const QByteArray foglio = parteZip(percorso, u"xl/worksheets/sheet1.xml"_s);
    QVERIFY(!foglio.isEmpty());
    // The header row stays in view and carries the filters.
    QVERIFY(foglio.contains("<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" "
                            "state=\"frozen\"/>"));
    QVERIFY(foglio.contains("<autoFilter ref=\"A1:Q3\"/>"));
    const QByteArray celle[] = {
        // Bold header cells, as text.
        "<c r=\"A1\" s=\"1\" t=\"inlineStr\"><is><t>Codice articolo</t></is></c>",
        "<c r=\"M1\" s=\"1\" t=\"inlineStr\"><is><t>Modalit\xC3\xA0 di pagamento</t></is></c>",
        "<c r=\"Q1\" s=\"1\" t=\"inlineStr\"><is><t>Pagato</t></is></c>",
        // A code stays text; cost and price are numbers shown with two
        // decimals, the stock a plain number.
        "<c r=\"A2\" t=\"inlineStr\"><is><t>007</t></is></c>",
        "<c r=\"B2\" s=\"2\"><v>12.5</v></c>",
        "<c r=\"D2\"><v>40</v></c>",
        "<c r=\"P2\" s=\"2\"><v>20</v></c>",
        "<c r=\"Q2\" t=\"inlineStr\"><is><t>S\xC3\xAC</t></is></c>",
        // A cost that is not a number stays as written; the edit is exported.
        "<c r=\"B3\" t=\"inlineStr\"><is><t>n.d.</t></is></c>",
        "<c r=\"C3\" t=\"inlineStr\"><is><t>Dado M6</t></is></c>",
        "<c r=\"O3\" t=\"inlineStr\"><is><t>Viti &lt;M6&gt; &amp; dadi</t></is></c>",
    };
    for (const QByteArray &cella : celle)
        QVERIFY2(foglio.contains(cella), cella.constData());
    // No rows beyond the cards.
    QVERIFY(!foglio.contains("<row r=\"4\""));
    // Style 2, the amounts' one, shows two decimals.
    const QByteArray stili = parteZip(percorso, u"xl/styles.xml"_s);
    QVERIFY(stili.contains("<numFmt numFmtId=\"164\" formatCode=\"0.00\"/>"));
    const qsizetype elenco = stili.indexOf("<cellXfs");
    const QList<QByteArray> stiliCella = stili.mid(elenco).split('>');
    QVERIFY(stiliCella.size() > 3);
    QVERIFY(stiliCella[3].contains("numFmtId=\"164\""));
}

void TestOutput::xlsxFallito() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    cartella.scriviArchivio(ArchivioDi({primaScheda()}));
    // Something in the way that cannot be replaced.
    QVERIFY(QDir(cartella.percorso()).mkpath(u"Magazzino.xlsx/dentro"_s));
    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QTest::mouseClick(pulsante(d, "cmdEsportaXlsx"), Qt::LeftButton);
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QCOMPARE(dialoghi.testi(), QStringList{EsportazioneFallita});
    QVERIFY(dialoghi.aperti().isEmpty());
    QVERIFY(QFileInfo(cartella.percorso(u"Magazzino.xlsx/dentro"_s)).isDir());
    // The half-made workbook went away.
    QCOMPARE(QDir(cartella.percorso()).entryList(QDir::Files), QStringList{u"Magazzino.pro"_s});
}

void TestOutput::xlsxSuDispositivoCheCede_data() {
    QTest::addColumn<qint64>("capienza");
    QTest::newRow("nulla") << qint64(0);
    QTest::newRow("all'inizio") << qint64(10);
    QTest::newRow("a metà") << qint64(2000);
    QTest::newRow("all'ultimo byte") << qint64(-1);
}

void TestOutput::xlsxSuDispositivoCheCede() {
    // The workbook reaches the file through a device whose every write is
    // checked, as the other exports do: a write that falls short fails it.
    QFETCH(qint64, capienza);
    QTemporaryDir lavoro;
    const auto cella = [](qsizetype r, int c) { return QString::number(r * 100 + c); };
    DispositivoCheCede capiente(1 << 24);
    QVERIFY(ScriviLibroMagazzino(&capiente, 3, cella, lavoro.path()));
    QVERIFY(capiente.scritti.startsWith("PK\x03\x04"));
    if (capienza < 0) capienza = capiente.scritti.size() - 1;
    DispositivoCheCede dispositivo(capienza);
    QVERIFY(!ScriviLibroMagazzino(&dispositivo, 3, cella, lavoro.path()));
    // Up to the refusal, then nothing more (the workbook carries the time it was made).
    QCOMPARE(dispositivo.scritti.size(), capienza);
    QVERIFY(dispositivo.tentativiDopo <= 1);
    // The library's own file is gone.
    QVERIFY(QDir(lavoro.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

namespace {
using Righe = QList<QStringList>;

// A valid row for the full header, with some fields replaced.
QByteArray rigaCsv(const QHash<int, QByteArray> &cambi = {}) {
    QList<QByteArray> campi = {"A1",        "12,50", "Vite", "40", "", "Ferramenta", "", "",
                               "",          "",      "",     "",   "", "",           "", "20,00",
                               "S\xC3\xAC", "5",     "",     "",   "", "",           "", ""};
    for (auto it = cambi.cbegin(); it != cambi.cend(); ++it)
        campi[it.key()] = it.value();
    return campi.join(';') + "\r\n";
}

QByteArray intestazioneCompleta() {
    QByteArray intestazione;
    for (const ColonnaCsv &c : ColonneCsv())
        intestazione += c.intestazione.toUtf8() + ';';
    intestazione.chop(1);
    return intestazione + "\r\n";
}

QString scriviCsvDiProva(const CartellaDiProva &cartella, const QByteArray &contenuto) {
    const QString percorso = cartella.percorso(u"prodotti.csv"_s);
    QFile file(percorso);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(contenuto);
    return percorso;
}

// The supplier files kept beside this source.
QByteArray listino(const char *nome) {
    QFile file(QFINDTESTDATA(u"listini/"_s + QString::fromLatin1(nome)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int campoCsv(Campo campo) {
    for (int i = 0; i < COLONNE_CSV; ++i)
        if (ColonneCsv()[std::size_t(i)].campo == campo) return i;
    return -1;
}

// The import window of a file, opened from the export window.
void conAnteprima(DialoghiFinti &dialoghi, const QString &file,
                  const std::function<void(QDialog *)> &copione) {
    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        dialoghi.allaProssimaScelta(file);
        dialoghi.allaProssimaFinestra(copione);
        QTest::mouseClick(pulsante(d, "cmdImportaCsv"), Qt::LeftButton);
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
}

// The archive of the import crash test: two cards whose stock the journal
// already tells.
TScheda SchedaListino(const char *codice, const char *costo, const char *giacenza) {
    return SchedaDiProva({{Campo::Codice, QString::fromUtf8(codice)},
                          {Campo::Costo, QString::fromUtf8(costo)},
                          {Campo::Nome, u"Vite"_s},
                          {Campo::Giacenza, QString::fromUtf8(giacenza)},
                          {Campo::Tipologia, u"Ferramenta"_s}});
}

// A price list that changes A1's stock, B2's cost only, and adds 300 cards,
// a third of them without stock.
QByteArray ListinoDaInterrompere() {
    QByteArray file = "Codice;Nome;Costo;Quantit\xC3\xA0;Categoria\r\n"
                      "A1;Vite;1,00;7;Ferramenta\r\n"
                      "B2;Vite;3,00;3;Ferramenta\r\n";
    for (int i = 0; i < 300; ++i)
        file += "N" + QByteArray::number(i) + ";Rondella;0,10;" + QByteArray::number(i % 3) +
                ";Ferramenta\r\n";
    return file;
}

// The child of the import crash test: imports the list and dies at step `passo`.
int ImportaEMuori(const QString &archivio, int passo) {
    int n = 0;
    ImpostaPassoArchivio([&] {
        if (++n == passo) ::raise(SIGKILL);
    });
    ImpostaCartellaProgramma(QFileInfo(archivio).path());
    Importazione importazione = PreparaImportazione(ListinoDaInterrompere(), archivio);
    SceltaImportazione scelta;
    scelta.colonne = importazione.colonneRiconosciute();
    if (!importazione.valuta(scelta, archivio) || importazione.nuove() != 300 ||
        importazione.aggiornate() != 2)
        return 2;
    return ScriviImportazione(importazione, archivio, PercorsoGiornale(), u"Listino"_s).prima == 3
               ? 0
               : 1;
}

// Takes the settings' lock file as QSettings does, and dies holding it.
int MuoriColBlocco(const QString &percorso) {
    QLockFile blocco(percorso);
    if (!blocco.lock()) return 1;
    ::raise(SIGKILL);
    return 2;
}
} // namespace

void TestOutput::letturaCsv_data() {
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<Righe>("righe");
    QTest::addColumn<QChar>("separatore");
    QTest::addColumn<bool>("aperte");
    const Righe semplici{{u"a"_s, u"b"_s}, {u"1"_s, u"2"_s}};
    QTest::newRow("BOM e CRLF") << QByteArray("\xEF\xBB\xBF"
                                              "a;b\r\n1;2\r\n")
                                << semplici << QChar(u';') << false;
    QTest::newRow("senza BOM, LF, senza a capo finale")
        << QByteArray("a;b\n1;2") << semplici << QChar(u';') << false;
    QTest::newRow("Windows-1252") << QByteArray("Citt\xE0;b\n\x80 5;S\xEC\n")
                                  << Righe{{u"Città"_s, u"b"_s}, {u"€ 5"_s, u"Sì"_s}} << QChar(u';')
                                  << false;
    QTest::newRow("virgola") << QByteArray("a,b\n\"1,5\",2\n")
                             << Righe{{u"a"_s, u"b"_s}, {u"1,5"_s, u"2"_s}} << QChar(u',') << false;
    QTest::newRow("tabulazione") << QByteArray("a\tb\n1;5\t2\n")
                                 << Righe{{u"a"_s, u"b"_s}, {u"1;5"_s, u"2"_s}} << QChar(u'\t')
                                 << false;
    QTest::newRow("a capo e virgolette tra virgolette")
        << QByteArray("a;b\n\"riga1\r\nriga2\";\"x\"\"y\"\"\"\n")
        << Righe{{u"a"_s, u"b"_s}, {u"riga1\r\nriga2"_s, u"x\"y\""_s}} << QChar(u';') << false;
    QTest::newRow("virgolette non chiuse")
        << QByteArray("a;b\n1;\"aperto\nfine")
        << Righe{{u"a"_s, u"b"_s}, {u"1"_s, u"aperto\nfine"_s}} << QChar(u';') << true;
    QTest::newRow("righe vuote") << QByteArray("a;b\n\n1;2\r\n\r\n") << semplici << QChar(u';')
                                 << false;
    QTest::newRow("campi vuoti restano")
        << QByteArray("a;b;c\n;;\n") << Righe{{u"a"_s, u"b"_s, u"c"_s}, {{}, {}, {}}} << QChar(u';')
        << false;
    QTest::newRow("vuoto") << QByteArray() << Righe{} << QChar(u';') << false;
}

void TestOutput::letturaCsv() {
    QFETCH(QByteArray, byte);
    QFETCH(Righe, righe);
    QFETCH(QChar, separatore);
    QFETCH(bool, aperte);
    const TestoCsv csv = LeggiCsv(byte);
    QCOMPARE(csv.righe, righe);
    QCOMPARE(csv.separatore, separatore);
    QCOMPARE(csv.virgoletteAperte, aperte);
}

void TestOutput::fileCsvRifiutato_data() {
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<QString>("errore");
    const QString nonTesto = u"Attenzione: il file scelto non è un file CSV di testo: la prima "
                             "riga deve contenere i nomi delle colonne."_s;
    QTest::newRow("vuoto") << QByteArray("\xEF\xBB\xBF")
                           << u"Attenzione: il file scelto è vuoto."_s;
    QTest::newRow("binario") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << nonTesto;
    QTest::newRow("UTF-8 rotto nell'intestazione") << QByteArray("\xEF\xBB\xBF"
                                                                 "Codice;Nome\xFF\r\nA;B\r\n")
                                                   << nonTesto;
}

void TestOutput::fileCsvRifiutato() {
    QFETCH(QByteArray, byte);
    QFETCH(QString, errore);
    QCOMPARE(PreparaImportazione(byte).errore, errore);
}

void TestOutput::intestazioneCsv_data() {
    QTest::addColumn<QString>("cella");
    QTest::addColumn<int>("campo");
    const struct {
        const char16_t *cella;
        Campo campo;
    } casi[] = {
        {u"Codice", Campo::Codice},
        {u"COD.", Campo::Codice},
        {u" Cod. Art. ", Campo::Codice},
        {u"Articolo", Campo::Codice},
        {u"sku", Campo::Codice},
        {u"EAN", Campo::Codice},
        {u"Codice articolo", Campo::Codice},
        {u"Descrizione articolo", Campo::Nome},
        {u"Prodotto", Campo::Nome},
        {u"Nome prodotto", Campo::Nome},
        {u"Prezzo acquisto", Campo::Costo},
        {u"Netto", Campo::Costo},
        {u"Prezzo netto", Campo::Costo},
        {u"Costo unitario", Campo::Costo},
        {u"Prezzo", Campo::Prezzo},
        {u"Prezzo al pubblico", Campo::Prezzo},
        {u"Listino", Campo::Prezzo},
        {u"Prezzo di vendita", Campo::Prezzo},
        {u"Q.tà", Campo::Giacenza},
        {u"QUANTITA'", Campo::Giacenza},
        {u"Esistenza", Campo::Giacenza},
        {u"Sottoscorta", Campo::Avviso},
        {u"Scorta minima", Campo::Avviso},
        {u"Avviso n. pezzi rimasti", Campo::Avviso},
        {u"Famiglia", Campo::Tipologia},
        {u"Reparto", Campo::Tipologia},
        {u"Categoria merceologica", Campo::Tipologia},
        {u"Ditta", Campo::Ditta},
        {u"Fornitore", Campo::Ditta},
        {u"Scadenza", Campo::DataSca},
        {u"Modalita di pagamento", Campo::Pagamento},
        {u"Pagato", Campo::Pagato},
        {u"File allegato 2", Campo::File02},
    };
    for (const auto &caso : casi)
        QTest::newRow(QString::fromUtf16(caso.cella).toUtf8().constData())
            << QString::fromUtf16(caso.cella) << campoCsv(caso.campo);
    QTest::newRow("Colore") << u"Colore"_s << -1;
    QTest::newRow("vuota") << QString() << -1;
}

void TestOutput::intestazioneCsv() {
    QFETCH(QString, cella);
    QFETCH(int, campo);
    QCOMPARE(CampoDiIntestazione(cella), campo);
    // The help names the usual headers as the import recognises them.
    if (campo < 0 || ColonneCsv()[std::size_t(campo)].intestazione == Rifila(cella)) return;
    const QString guida = Argomento(TemaGuida::Importazione).testo();
    const bool nominata = guida.contains(u' ' + Rifila(cella) + u',') ||
                          guida.contains(u' ' + Rifila(cella) + u';') ||
                          guida.contains(u' ' + Rifila(cella) + u'.');
    if (cella.trimmed() == cella && cella != u"COD."_s && cella != u"sku"_s &&
        cella != u"QUANTITA'"_s && cella != u"Modalita di pagamento"_s)
        QVERIFY2(nominata, qPrintable(cella));
}

void TestOutput::numeriCsv_data() {
    QTest::addColumn<QString>("valore");
    QTest::addColumn<bool>("importo");
    QTest::addColumn<bool>("colonnaConVirgola");
    QTest::addColumn<bool>("colonnaConPunto");
    QTest::addColumn<QString>("testo"); // empty: refused
    QTest::newRow("già leggibile, come scritto") << u"3"_s << true << false << false << u"3"_s;
    QTest::newRow("esponente come scritto") << u"1E-3"_s << true << false << false << u"1E-3"_s;
    QTest::newRow("virgola come scritta") << u"1052,25"_s << true << true << false << u"1052,25"_s;
    QTest::newRow("migliaia con il punto")
        << u"1.052,25"_s << true << true << false << u"1052,25"_s;
    QTest::newRow("milioni") << u"1.234.567,5"_s << true << true << false << u"1234567,50"_s;
    QTest::newRow("euro prima") << u"€ 7,90"_s << true << true << false << u"7,90"_s;
    QTest::newRow("euro dopo") << u"7,90 €"_s << true << true << false << u"7,90"_s;
    QTest::newRow("euro e migliaia") << u"€ 1.105,64"_s << true << true << false << u"1105,64"_s;
    QTest::newRow("spazi intorno") << u"  12,5 "_s << true << false << false << u"12,5"_s;
    QTest::newRow("punto decimale") << u"12.50"_s << true << false << true << u"12,50"_s;
    QTest::newRow("punto, un decimale") << u"12.5"_s << true << false << true << u"12,50"_s;
    QTest::newRow("punto in colonna con virgole")
        << u"12.50"_s << true << true << true << QString();
    QTest::newRow("1.052 con punti decimali") << u"1.052"_s << true << false << true << QString();
    QTest::newRow("1.052 tra virgole") << u"1.052"_s << true << true << false << u"1052,00"_s;
    QTest::newRow("quantità con migliaia") << u"1.200"_s << false << false << false << u"1200"_s;
    QTest::newRow("euro in una quantità") << u"€ 5"_s << false << false << false << QString();
    QTest::newRow("inglese") << u"1,052.25"_s << true << false << false << QString();
    QTest::newRow("testo") << u"tanti"_s << true << false << false << QString();
    QTest::newRow("quattro decimali col punto")
        << u"1.0525"_s << true << false << false << QString();
    // Thousands come in groups of three from the left too: four or five
    // digits before the point are no thousands, and three decimals after a
    // point are no amount, so neither reading is taken.
    QTest::newRow("milioni senza virgola")
        << u"1.234.567"_s << true << false << false << u"1234567,00"_s;
    QTest::newRow("milioni tra virgole")
        << u"1.234.567"_s << true << true << false << u"1234567,00"_s;
    QTest::newRow("quattro cifre, punto, tre")
        << u"1234.567"_s << true << false << false << QString();
    QTest::newRow("quattro cifre, punto, tre, tra virgole")
        << u"1234.567"_s << true << true << false << QString();
    QTest::newRow("quattro cifre, punto, tre, tra punti decimali")
        << u"1234.567"_s << true << false << true << QString();
    QTest::newRow("cinque cifre, punto, tre")
        << u"12345.678"_s << true << false << false << QString();
    QTest::newRow("quattro cifre, punto, tre, in euro")
        << u"€ 1234.567"_s << true << false << false << QString();
    QTest::newRow("quattro cifre, punto, tre, quantità")
        << u"1234.567"_s << false << false << false << QString();
    QTest::newRow("quattro cifre, punti a gruppi di tre")
        << u"1234.567.890"_s << true << false << false << QString();
}

void TestOutput::numeriCsv() {
    QFETCH(QString, valore);
    QFETCH(bool, importo);
    QFETCH(bool, colonnaConVirgola);
    QFETCH(bool, colonnaConPunto);
    QFETCH(QString, testo);
    const ValoreLetto letto = LeggiValoreNumerico(
        valore, importo, UsoColonna{colonnaConVirgola, colonnaConPunto}, u"il campo \"X\""_s);
    QCOMPARE(letto.testo, testo);
    QCOMPARE(letto.motivo.isEmpty(), !testo.isEmpty());
    // A refusal says what to write.
    if (!testo.isEmpty()) return;
    QVERIFY2(letto.motivo.startsWith(u"il campo \"X\""_s), qPrintable(letto.motivo));
    QVERIFY2(letto.motivo.contains(u"scrivere"_s), qPrintable(letto.motivo));
}

void TestOutput::dateCsv_data() {
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("rifiutata");
    QTest::newRow("gg/mm/aaaa") << u"31/12/2026"_s << u"31/12/2026"_s << false;
    QTest::newRow("g/m/aaaa") << u"1/2/2027"_s << u"01/02/2027"_s << false;
    QTest::newRow("g/m/aa") << u"1/2/27"_s << u"01/02/2027"_s << false;
    QTest::newRow("iso") << u"2026-12-31"_s << u"31/12/2026"_s << false;
    QTest::newRow("vuota") << u"  "_s << QString() << false;
    QTest::newRow("parola") << u"domani"_s << QString() << true;
    QTest::newRow("giorno impossibile") << u"31/02/2027"_s << QString() << true;
    QTest::newRow("con i punti") << u"31.12.2026"_s << QString() << true;
    QTest::newRow("iso senza zeri") << u"2026-1-5"_s << QString() << true;
}

void TestOutput::dateCsv() {
    QFETCH(QString, valore);
    QFETCH(QString, testo);
    QFETCH(bool, rifiutata);
    const ValoreLetto letto = LeggiData(valore, u"il campo \"Data scadenza\""_s);
    QCOMPARE(letto.testo, testo);
    QCOMPARE(!letto.motivo.isEmpty(), rifiutata);
    if (rifiutata) QVERIFY(letto.motivo.contains(u"gg/mm/aaaa"_s));
}

void TestOutput::motiviScarto_data() {
    QTest::addColumn<QByteArray>("riga");
    QTest::addColumn<QString>("motivo");
    QTest::addColumn<int>("colonna");
    QTest::addColumn<QString>("valore");
    QTest::newRow("valida") << rigaCsv() << QString() << 16 << u"Sì"_s;
    QTest::newRow("riga vuota")
        << rigaCsv({{0, ""}, {1, ""}, {2, ""}, {3, ""}, {5, ""}, {15, ""}, {16, ""}, {17, ""}})
        << u"riga vuota"_s << 0 << QString();
    QTest::newRow("codice mancante")
        << rigaCsv({{0, "  "}}) << u"manca il codice articolo"_s << 0 << QString();
    QTest::newRow("costo mancante")
        << rigaCsv({{1, ""}}) << u"manca il costo unitario"_s << 0 << QString();
    QTest::newRow("nome mancante")
        << rigaCsv({{2, ""}}) << u"manca il nome del prodotto"_s << 0 << QString();
    QTest::newRow("categoria mancante")
        << rigaCsv({{5, ""}}) << u"manca la categoria merceologica"_s << 0 << QString();
    QTest::newRow("un campo in più")
        << QByteArray(rigaCsv()).replace("\r\n", ";x\r\n")
        << u"la riga ha 25 campi e l'intestazione 24: controllare i separatori e le virgolette"_s
        << 0 << QString();
    QTest::newRow("un campo in meno")
        << QByteArray(rigaCsv()).replace(";\r\n", "\r\n")
        << u"la riga ha 23 campi e l'intestazione 24: controllare i separatori e le virgolette"_s
        << 0 << QString();
    QTest::newRow("costo non numerico")
        << rigaCsv({{1, "dodici"}})
        << u"il campo \"Costo unitario\" non contiene un numero valido: scrivere per esempio "
           "1052,25"_s
        << 0 << QString();
    QTest::newRow("giacenza troppo grande")
        << rigaCsv({{3, "12345"}}) << u"il campo \"Giacenza\" supera il limite di 4 caratteri"_s
        << 0 << QString();
    // A long name is cut to the field, as the card window does.
    QTest::newRow("nome troppo lungo")
        << rigaCsv({{2, QByteArray(51, 'x')}}) << QString() << 2 << QString(50, u'x');
    QTest::newRow("carattere fuori archivio")
        << rigaCsv({{14, "Pi\xC3\xB9 \xCE\xA9"}})
        << u"il campo \"Note\" contiene il carattere \"Ω\" (U+03A9), che non può essere "
           "archiviato"_s
        << 0 << QString();
    QTest::newRow("NUL") << rigaCsv({{2, QByteArray("Vi\0te", 5)}})
                         << u"il campo \"Nome prodotto\" contiene il carattere di controllo "
                            "U+0000, che non può essere archiviato"_s
                         << 0 << QString();
    QTest::newRow("ESC") << rigaCsv({{14, "nota\x1B[31m"}})
                         << u"il campo \"Note\" contiene il carattere di controllo U+001B, che "
                            "non può essere archiviato"_s
                         << 0 << QString();
    QTest::newRow("data non valida")
        << rigaCsv({{13, "domani"}})
        << u"il campo \"Data scadenza\" non contiene una data valida: scrivere gg/mm/aaaa, per "
           "esempio 31/12/2026"_s
        << 0 << QString();
    QTest::newRow("pagato sconosciuto")
        << rigaCsv({{16, "forse"}}) << u"il campo \"Pagato\" deve valere Sì o No"_s << 0
        << QString();
    QTest::newRow("pagato SI") << rigaCsv({{16, "SI"}}) << QString() << 16 << u"Sì"_s;
    QTest::newRow("pagato no") << rigaCsv({{16, "nO"}}) << QString() << 16 << u"No"_s;
    QTest::newRow("pagato vuoto: pagato") << rigaCsv({{16, ""}}) << QString() << 16 << u"Sì"_s;
    QTest::newRow("costo come scritto") << rigaCsv({{1, " 5 "}}) << QString() << 1 << u"5"_s;
    QTest::newRow("costo con il punto") << rigaCsv({{1, "12.50"}}) << QString() << 1 << u"12,50"_s;
    QTest::newRow("costo con un decimale dopo il punto")
        << rigaCsv({{1, "12.5"}}) << QString() << 1 << u"12,50"_s;
    QTest::newRow("costo in migliaia")
        << rigaCsv({{1, "1.052,25"}}) << QString() << 1 << u"1052,25"_s;
    QTest::newRow("costo in milioni")
        << rigaCsv({{1, "1.234.567"}}) << QString() << 1 << u"1234567,00"_s;
    QTest::newRow("costo di quattro cifre, punto, tre")
        << rigaCsv({{1, "1234.567"}})
        << u"il campo \"Costo unitario\" non contiene un numero valido: scrivere per esempio "
           "1052,25"_s
        << 0 << QString();
    QTest::newRow("costo di cinque cifre, punto, tre")
        << rigaCsv({{1, "12345.678"}})
        << u"il campo \"Costo unitario\" non contiene un numero valido: scrivere per esempio "
           "1052,25"_s
        << 0 << QString();
    QTest::newRow("giacenza come scritta") << rigaCsv({{3, "7,6"}}) << QString() << 3 << u"7,6"_s;
    QTest::newRow("giacenza vuota") << rigaCsv({{3, ""}}) << QString() << 3 << u"0"_s;
    QTest::newRow("data iso") << rigaCsv({{13, "2026-12-31"}}) << QString() << 13
                              << u"31/12/2026"_s;
    QTest::newRow("euro ha un byte")
        << rigaCsv({{14, "\xE2\x82\xAC 5"}}) << QString() << 14 << u"€ 5"_s;
    QTest::newRow("a capo nelle note")
        << rigaCsv({{14, "\"uno\r\ndue\""}}) << QString() << 14 << u"uno\r\ndue"_s;
    QTest::newRow("formula protetta") << rigaCsv({{14, "'=1+1"}}) << QString() << 14 << u"=1+1"_s;
}

void TestOutput::motiviScarto() {
    QFETCH(QByteArray, riga);
    QFETCH(QString, motivo);
    QFETCH(int, colonna);
    QFETCH(QString, valore);
    const Importazione importazione = PreparaImportazione(intestazioneCompleta() + riga);
    QCOMPARE(importazione.righe(), qsizetype(1));
    const RigaImportata letta = importazione.riga(0);
    QCOMPARE(letta.numero, qsizetype(2));
    QCOMPARE(letta.motivo, motivo);
    QCOMPARE(importazione.nuove(), qsizetype(motivo.isEmpty() ? 1 : 0));
    QCOMPARE(importazione.rifiutate(), qsizetype(motivo.isEmpty() ? 0 : 1));
    if (motivo.isEmpty()) {
        QCOMPARE(letta.campi[colonna], valore);
        QCOMPARE(importazione.nuovaScheda(0).testo(ColonneCsv()[std::size_t(colonna)].campo),
                 valore);
    }
}

void TestOutput::andataERitornoDelCsv_data() {
    QTest::addColumn<QString>("campo");
    // Found by the fuzz target: a byte order mark, control characters, U+FFFE.
    QTest::newRow("BOM e controllo") << QString::fromUtf16(u"\uFEFF\u0004\uD4EB");
    QTest::newRow("FFFE") << QString::fromUtf16(u"B\uFFFEC\u0001");
    QTest::newRow("controllo in testa") << QString::fromUtf16(u"\u0007x");
    QTest::newRow("BOM in coda") << QString::fromUtf16(u"D\uFEFF");
    // At the start of a line the reader took it for the file's own.
    QTest::newRow("BOM da solo") << QString::fromUtf16(u"\uFEFF");
    QTest::newRow("BOM in testa") << QString::fromUtf16(u"\uFEFFA1");
    QTest::newRow("virgolette e a capo") << u"a \"b\";\r\nc"_s;
}

void TestOutput::andataERitornoDelCsv() {
    // Whatever the export writes of a field, the import reads back the same.
    QFETCH(QString, campo);
    QStringList riga(COLONNE_CSV);
    riga[0] = campo;
    riga[2] = campo;
    riga[14] = campo;
    QByteArray scritto;
    QBuffer buffer(&scritto);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(ScriviCsvMagazzino(&buffer, 1, [&riga](qsizetype, int c) { return riga[c]; }));
    const TestoCsv letto = LeggiCsv(scritto);
    QCOMPARE(letto.righe.size(), qsizetype(2));
    QStringList campi = letto.righe[1];
    for (QString &c : campi)
        c = TestoDaCampoCsv(c);
    for (int c : {0, 2, 14})
        QCOMPARE(campi.value(c), Rifila(campo));
}

void TestOutput::noteDellaRiga() {
    // A name cut to its field says so in the row's state; a code that differs
    // from a card's only by the zeros a spreadsheet drops is flagged.
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi(
        {SchedaDiProva({{Campo::Codice, u"007"_s}}), SchedaDiProva({{Campo::Codice, u"8"_s}})}));
    const Importazione importazione = PreparaImportazione(
        intestazioneCompleta() + rigaCsv({{0, "7"}, {2, QByteArray(60, 'n')}}) +
            rigaCsv({{0, "A7"}}) + rigaCsv({{0, "0008"}}) + rigaCsv({{0, "70"}}),
        cartella.archivio());
    QCOMPARE(importazione.righe(), qsizetype(4));
    QCOMPARE(importazione.nuove(), qsizetype(4));
    const RigaImportata sette = importazione.riga(0);
    QCOMPARE(sette.campi[2], QString(50, u'n'));
    QVERIFY2(sette.nota.contains(u"\"Nome prodotto\" tagliato a 50 caratteri"_s),
             qPrintable(sette.nota));
    QVERIFY2(sette.nota.contains(u"zeri iniziali"_s), qPrintable(sette.nota));
    QCOMPARE(importazione.riga(1).nota, QString());
    QVERIFY(importazione.riga(2).nota.contains(u"zeri iniziali"_s));
    QCOMPARE(importazione.riga(3).nota, QString());
}

// The preview's cells point into the file's bytes: a row handed out must
// carry its own texts, and a new card must cover whatever the record held.
void TestOutput::rigaESchedaFuoriDallaLettura() {
    RigaImportata riga;
    TScheda scheda;
    TScheda sporca;
    sporca.byte.fill(0xFF);
    {
        const Importazione importazione = PreparaImportazione(
            intestazioneCompleta() +
            rigaCsv({{2, "\"Vite \"\"a legno\"\"\""}, {6, "\"zincata; 4 mm\""}, {14, "'=1+1"}}));
        QVERIFY(importazione.righe() == 1 && importazione.stato(0) == StatoRiga::Nuova);
        riga = importazione.riga(0);
        scheda = importazione.nuovaScheda(0);
        importazione.nuovaScheda(0, sporca);
    }
    QVERIFY(sporca.byte == scheda.byte);
    QCOMPARE(scheda.testo(Campo::Note), u"=1+1"_s);
    // Copied character by character here, after the file's bytes are gone,
    // so that the address sanitizer sees any text still pointing into them.
    const auto copia = [](const QString &testo) {
        return std::u16string(reinterpret_cast<const char16_t *>(testo.constData()),
                              std::size_t(testo.size()));
    };
    QCOMPARE(riga.celle.size(), COLONNE_CSV);
    QVERIFY(copia(riga.celle[0]) == u"A1");
    QVERIFY(copia(riga.celle[2]) == u"Vite \"a legno\"");
    QVERIFY(copia(riga.celle[6]) == u"zincata; 4 mm");
    QVERIFY(copia(riga.celle[14]) == u"'=1+1");
    QVERIFY(copia(riga.campi[0]) == u"A1");
    QVERIFY(copia(riga.campi[1]) == u"12,50");
    QVERIFY(copia(riga.campi[6]) == u"zincata; 4 mm");
    QVERIFY(copia(riga.campi[14]) == u"=1+1");
}

void TestOutput::righeDelFile() {
    // The line of the file, also after a field over two lines; a UTF-8 file
    // keeps its letters when one row has a broken byte.
    const Importazione importazione = PreparaImportazione("\xEF\xBB\xBF"
                                                          "Codice;Descrizione;Costo;Categoria\r\n"
                                                          "A1;Caff\xC3\xA8;1;Bar\r\n"
                                                          "A2;\"due\r\nrighe\";1;Bar\r\n"
                                                          "\r\n"
                                                          "A3;Rott\xE8;1;Bar\r\n"
                                                          "A4;Tazza;1;Bar\r\n");
    QCOMPARE(importazione.righe(), qsizetype(4));
    const qsizetype attese[] = {2, 3, 6, 7};
    for (qsizetype i = 0; i < 4; ++i)
        QCOMPARE(importazione.numero(i), attese[i]);
    QCOMPARE(importazione.riga(0).campi[campoCsv(Campo::Nome)], u"Caffè"_s);
    QCOMPARE(importazione.riga(2).motivo,
             u"la riga contiene byte che non sono testo UTF-8 valido"_s);
    QCOMPARE(importazione.nuove(), qsizetype(3));
}

void TestOutput::listiniDeiFornitori_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("righe");
    QTest::addColumn<QList<int>>("colonne");
    // Code, cost, name, stock, category, price, due date of the first card.
    QTest::addColumn<QStringList>("primaScheda");
    const int codice = campoCsv(Campo::Codice), nome = campoCsv(Campo::Nome),
              costo = campoCsv(Campo::Costo), prezzo = campoCsv(Campo::Prezzo),
              giacenza = campoCsv(Campo::Giacenza), categoria = campoCsv(Campo::Tipologia),
              ditta = campoCsv(Campo::Ditta), avviso = campoCsv(Campo::Avviso),
              note = campoCsv(Campo::Note), data = campoCsv(Campo::DataSca);
    QTest::newRow("grossista") << listino("grossista_utf8.csv") << 40
                               << QList<int>{codice,   nome,      costo, prezzo,
                                             giacenza, categoria, ditta}
                               << QStringList{u"GR0001"_s,
                                              u"904,63"_s,
                                              u"Vite autofilettante 3/4\""_s,
                                              u"52"_s,
                                              u"Antinfortunistica"_s,
                                              u"1453,83"_s,
                                              {}};
    QTest::newRow("foglio con la virgola")
        << listino("foglio_virgola.csv") << 30
        << QList<int>{codice, nome, costo, prezzo, giacenza, avviso, note}
        << QStringList{u"SP0001"_s, u"1232,25"_s,         u"Rondella piana 8 mm"_s,
                       u"94"_s,     u"Da classificare"_s, u"2163,17"_s,
                       {}};
    QTest::newRow("vecchio gestionale")
        << listino("vecchio_gestionale_cp1252.txt") << 25
        << QList<int>{codice, nome, costo, prezzo, giacenza, categoria, ditta, data}
        << QStringList{u"VK0001"_s,    u"1098,11"_s,    u"Rondella piana E27 9W"_s,
                       u"167"_s,       u"Ferramenta"_s, u"1510,91"_s,
                       u"01/01/2027"_s};
}

void TestOutput::listiniDeiFornitori() {
    QFETCH(QByteArray, file);
    QFETCH(int, righe);
    QFETCH(QList<int>, colonne);
    QFETCH(QStringList, primaScheda);
    QVERIFY(!file.isEmpty());
    const Importazione importazione = PreparaImportazione(file);
    QVERIFY(importazione.errore.isEmpty());
    QCOMPARE(importazione.colonneRiconosciute(), colonne);
    QCOMPARE(importazione.righe(), qsizetype(righe));
    for (qsizetype i = 0; i < importazione.righe(); ++i)
        QVERIFY2(importazione.stato(i) == StatoRiga::Nuova,
                 qPrintable(importazione.riga(i).motivo));
    const TScheda scheda = importazione.nuovaScheda(0);
    const Campo campi[] = {Campo::Codice,    Campo::Costo,  Campo::Nome,   Campo::Giacenza,
                           Campo::Tipologia, Campo::Prezzo, Campo::DataSca};
    for (std::size_t c = 0; c < std::size(campi); ++c)
        QCOMPARE(scheda.testo(campi[c]), primaScheda[qsizetype(c)]);
    // A price list is not a list of purchases to pay.
    QCOMPARE(scheda.testo(Campo::Pagato), u"Sì"_s);
}

void TestOutput::aggiornaNonRaddoppia_data() {
    QTest::addColumn<int>("modo");
    QTest::addColumn<QString>("giacenzaA1");
    QTest::newRow("sostituisce la giacenza") << int(ModoGiacenza::Sostituisci) << u"7"_s;
    QTest::newRow("somma la giacenza") << int(ModoGiacenza::Somma) << u"47"_s;
    QTest::newRow("lascia la giacenza") << int(ModoGiacenza::Lascia) << u"40"_s;
}

void TestOutput::aggiornaNonRaddoppia() {
    QFETCH(int, modo);
    QFETCH(QString, giacenzaA1);
    CartellaDiProva cartella;
    const TScheda a1 = SchedaDiProva({{Campo::Codice, u"A1"_s},
                                      {Campo::Costo, u"1,00"_s},
                                      {Campo::Nome, u"Vite"_s},
                                      {Campo::Giacenza, u"40"_s},
                                      {Campo::Tipologia, u"Ferramenta"_s},
                                      {Campo::Note, u"da tenere"_s},
                                      {Campo::Pagato, u"No"_s}});
    const TScheda b2 = SchedaDiProva({{Campo::Codice, u"B2"_s},
                                      {Campo::Costo, u"2,00"_s},
                                      {Campo::Nome, u"Dado"_s},
                                      {Campo::Giacenza, u"0"_s},
                                      {Campo::Tipologia, u"Ferramenta"_s}});
    cartella.scriviArchivio(ArchivioDi({a1, b2}));
    const QByteArray file = "Codice;Descrizione;Costo;Quantità;Categoria\r\n"
                            " a1 ;Vite;1.20;7;Ferramenta\r\n"
                            "B2;Dado;2;0;Ferramenta\r\n"
                            "C3;Rondella;0.10;5;Ferramenta\r\n"
                            "C3;Rondella;0.10;5;Ferramenta\r\n";
    Importazione importazione = PreparaImportazione(file, cartella.archivio());
    SceltaImportazione scelta;
    scelta.colonne = importazione.colonneRiconosciute();
    scelta.giacenza = ModoGiacenza(modo);
    importazione.valuta(scelta, cartella.archivio());
    QCOMPARE(importazione.aggiornate(), qsizetype(1));
    QCOMPARE(importazione.invariate(), qsizetype(1));
    QCOMPARE(importazione.nuove(), qsizetype(0));
    QCOMPARE(importazione.rifiutate(), qsizetype(2));
    QCOMPARE(importazione.riga(2).motivo, u"il codice C3 compare anche alla riga 5 del file"_s);
    QCOMPARE(importazione.riga(3).motivo, u"il codice C3 compare anche alla riga 4 del file"_s);
    const RigaImportata aggiornata = importazione.riga(0);
    QCOMPARE(aggiornata.stato, StatoRiga::DaAggiornare);
    QList<int> cambiati{campoCsv(Campo::Costo)};
    if (modo != int(ModoGiacenza::Lascia)) cambiati << campoCsv(Campo::Giacenza);
    std::sort(cambiati.begin(), cambiati.end());
    QCOMPARE(aggiornata.cambiati, cambiati);
    // The preview shows the card as it will be.
    QCOMPARE(aggiornata.campi[campoCsv(Campo::Giacenza)], giacenzaA1);

    Archivio archivio(cartella.archivio());
    QVERIFY(archivio.ApriArchivio());
    const qint64 primo = archivio.scriviInsieme(
        {importazione.posizione(0)},
        [&](qint64, TScheda &scheda) { return importazione.aggiornaScheda(0, scheda); }, 0, {});
    QCOMPARE(primo, qint64(3));
    archivio.chiudi();
    TScheda atteso = a1;
    atteso.impostaTesto(Campo::Costo, u"1,20"_s);
    atteso.impostaTesto(Campo::Giacenza, giacenzaA1);
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({atteso, b2}));
    QVERIFY(!QFile::exists(cartella.archivio() + u".intento"_s));

    // The same list again: nothing left to change.
    if (modo == int(ModoGiacenza::Somma)) return;
    importazione.valuta(scelta, cartella.archivio());
    QCOMPARE(importazione.aggiornate(), qsizetype(0));
    QCOMPARE(importazione.invariate(), qsizetype(2));
}

void TestOutput::importaCsv() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const QByteArray prima = ArchivioDi({primaScheda()});
    cartella.scriviArchivio(prima);
    const QString file =
        scriviCsvDiProva(cartella, "Codice;Prodotto;Prezzo acquisto;Giacenza;Colore\r\n"
                                   "B1;Dado;1,5;3;rosso\r\n"
                                   "B2;;2;1;blu\r\n"
                                   "B3;Rondella;0,2;;verde\r\n"
                                   "007;Vite a testa piana;12,50;40;nero\r\n");

    QWidget scheda;
    TfrmExpMagazzino finestra(&scheda);
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        QToolButton *importa = pulsante(d, "cmdImportaCsv");
        QCOMPARE(importa->text(), u"Importa da CSV..."_s);
        QCOMPARE(importa->accessibleName(), u"Importa da CSV..."_s);
        QCOMPARE(importa->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        // Cancelled chooser: nothing happens.
        QTest::mouseClick(importa, Qt::LeftButton);
        QCOMPARE(dialoghi.finestreEseguite(), 1);

        dialoghi.allaProssimaScelta(file);
        dialoghi.allaProssimaFinestra([&](QDialog *a) {
            QVERIFY(qobject_cast<TfrmImportaCsv *>(a));
            QCOMPARE(a->windowTitle(), u" Importa schede da CSV"_s);
            auto *riepilogo = a->findChild<QLabel *>(u"lblRiepilogo"_s);
            QCOMPARE(riepilogo->text(), u"File prodotti.csv: 4 righe: 2 nuove schede, 0 da "
                                        "aggiornare, 1 già presenti e 1 rifiutate."_s);
            // The category the file lacks has one value for every row.
            auto *categoria = a->findChild<QLineEdit *>(u"txtCategoriaPerTutte"_s);
            QVERIFY(categoria->isVisibleTo(a));
            QCOMPARE(categoria->text(), u"Da classificare"_s);
            QVERIFY(!a->findChild<QLineEdit *>(u"txtNomePerTutte"_s)->isVisibleTo(a));
            auto *griglia = a->findChild<QTableView *>(u"grdAnteprima"_s);
            QList<QStringList> righe = testiGriglia(griglia);
            QCOMPARE(righe.size(), 4);
            QCOMPARE(righe[0], (QStringList{u"2"_s, u"nuova scheda"_s, u"B1"_s, u"Dado"_s, u"1,5"_s,
                                            u"3"_s, u"rosso"_s}));
            QCOMPARE(righe[1].mid(0, 2), (QStringList{u"3"_s, u"manca il nome del prodotto"_s}));
            QCOMPARE(righe[3][1], u"già presente"_s);
            // Only the rows to fix, their reason in full below the grid.
            auto *solo = a->findChild<QCheckBox *>(u"chkSoloRifiutate"_s);
            solo->setChecked(true);
            righe = testiGriglia(griglia);
            QCOMPARE(righe.size(), 1);
            QCOMPARE(righe[0][0], u"3"_s);
            griglia->setCurrentIndex(griglia->model()->index(0, 0));
            QCOMPARE(a->findChild<QLabel *>(u"lblMotivo"_s)->text(),
                     u"Riga 3: manca il nome del prodotto"_s);
            solo->setChecked(false);
            // The colour column goes to the notes: the preview follows at once.
            auto *colore = a->findChild<QComboBox *>(u"cboColonna5"_s);
            QCOMPARE(colore->currentText(), u"non importare"_s);
            colore->setCurrentIndex(campoCsv(Campo::Note) + 1);
            emit colore->activated(colore->currentIndex());
            QCOMPARE(riepilogo->text(), u"File prodotti.csv: 4 righe: 2 nuove schede, 1 da "
                                        "aggiornare, 0 già presenti e 1 rifiutate."_s);
            QCOMPARE(testiGriglia(griglia)[3][1],
                     u"da aggiornare: Note da «Città: Bolzano» a «nero»"_s);
            // Updated cards keep the shop's stock unless asked otherwise.
            QCOMPARE(a->findChild<QComboBox *>(u"cboGiacenza"_s)->currentText(),
                     u"lasciarla com'è"_s);
            colore->setCurrentIndex(0);
            emit colore->activated(0);
            QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
        });
        QTest::mouseClick(importa, Qt::LeftButton);
        QCOMPARE(dialoghi.testi(), QStringList{u"Schede aggiunte all'archivio: 2.\r\nSchede "
                                               "aggiornate: 0.\r\nRighe invariate: 1.\r\n"
                                               "Righe saltate: 1."_s});
        // The grid shows the new cards after the old one.
        const QList<QStringList> griglia =
            testiGriglia(d->findChild<QTableView *>(u"grdRecords"_s));
        QCOMPARE(griglia.size(), 3);
        QCOMPARE(griglia[1].mid(0, 4), (QStringList{u"2"_s, u"B1"_s, u"1,5"_s, u"Dado"_s}));
        QCOMPARE(griglia[2].mid(0, 4), (QStringList{u"3"_s, u"B3"_s, u"0,2"_s, u"Rondella"_s}));
        QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
    });
    Piattaforma::dialoghi().esegui(&finestra);
    QCOMPARE(dialoghi.sceltePresentate().size(), 2);
    QCOMPARE(dialoghi.sceltePresentate().first().titolo, u"Importa schede da CSV"_s);

    const auto nuova = [](const char *codice, const char *nome, const char *costo,
                          const char *giacenza) {
        return SchedaDiProva({{Campo::Codice, QString::fromUtf8(codice)},
                              {Campo::Costo, QString::fromUtf8(costo)},
                              {Campo::Nome, QString::fromUtf8(nome)},
                              {Campo::Giacenza, QString::fromUtf8(giacenza)},
                              {Campo::Avviso, u"0"_s},
                              {Campo::Tipologia, u"Da classificare"_s},
                              {Campo::Pagato, u"Sì"_s}});
    };
    QCOMPARE(cartella.leggiArchivio(), prima + ArchivioDi({nuova("B1", "Dado", "1,5", "3"),
                                                           nuova("B3", "Rondella", "0,2", "0")}));
    // The new card with a stock is a movement of the import; the one without is none.
    QList<Movimento> movimenti;
    LeggiGiornale(PercorsoGiornale(), {}, [&movimenti](const Movimento &m, qint64) {
        movimenti << m;
        return true;
    });
    QCOMPARE(movimenti.size(), 1);
    QCOMPARE(movimenti[0].tipo, TipoMovimento::Importazione);
    QCOMPARE(movimenti[0].posizione, 2);
    QCOMPARE(movimenti[0].codice, u"B1"_s);
    QCOMPARE(movimenti[0].quantita, 3);
    QCOMPARE(movimenti[0].nota, u"Importazione da prodotti.csv"_s);
    // The choice of columns is kept for a file with the same header.
    QCOMPARE(ColonneRicordate(
                 {u"Codice"_s, u"Prodotto"_s, u"Prezzo acquisto"_s, u"Giacenza"_s, u"Colore"_s}),
             (QList<int>{0, 2, 1, 3, -1}));
}

void TestOutput::importaNelGiornale() {
    // Updated and new cards whose stock the import changes each get their
    // line, with the stock before, in the order the archive was written.
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const auto scheda = [](const char *codice, const char *giacenza) {
        return SchedaDiProva({{Campo::Codice, QString::fromUtf8(codice)},
                              {Campo::Costo, u"1,00"_s},
                              {Campo::Nome, u"Vite"_s},
                              {Campo::Giacenza, QString::fromUtf8(giacenza)},
                              {Campo::Tipologia, u"Ferramenta"_s}});
    };
    cartella.scriviArchivio(ArchivioDi({scheda("A1", "40"), scheda("B2", "3")}));
    const QString file = scriviCsvDiProva(cartella, "Codice;Nome;Costo;Quantità;Categoria\r\n"
                                                    "A1;Vite;1;7;Ferramenta\r\n"
                                                    "B2;Vite;2;3;Ferramenta\r\n"
                                                    "C3;Vite;1;5;Ferramenta\r\n");
    conAnteprima(dialoghi, file, [&](QDialog *a) {
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
    });
    QList<Movimento> movimenti;
    LeggiGiornale(PercorsoGiornale(), {}, [&movimenti](const Movimento &m, qint64) {
        movimenti << m;
        return true;
    });
    QCOMPARE(movimenti.size(), 2);
    QCOMPARE(movimenti[0].codice, u"A1"_s);
    QCOMPARE(movimenti[0].posizione, 1);
    QCOMPARE(movimenti[0].prima, 40);
    QCOMPARE(movimenti[0].quantita, -33);
    QCOMPARE(movimenti[1].codice, u"C3"_s);
    QCOMPARE(movimenti[1].posizione, 3);
    QCOMPARE(movimenti[1].prima, 0);
    QCOMPARE(movimenti[1].dopo, 5);
    for (const Movimento &m : movimenti) {
        QCOMPARE(m.tipo, TipoMovimento::Importazione);
        QCOMPARE(m.nota, u"Importazione da "_s + QFileInfo(file).fileName());
    }
}

void TestOutput::importaSuGiacenzaNonIntera_data() {
    // The stock on disk before the import, which sets it to 7, and the
    // quantity of the card's line (none without a whole number to count from).
    QTest::addColumn<QString>("disco");
    QTest::addColumn<QList<qint64>>("quantita");
    QTest::newRow("numero intero") << u"4"_s << QList<qint64>{3};
    QTest::newRow("con la virgola") << u"2,5"_s << QList<qint64>{};
    QTest::newRow("testo") << u"abc"_s << QList<qint64>{};
}

void TestOutput::importaSuGiacenzaNonIntera() {
    QFETCH(QString, disco);
    QFETCH(QList<qint64>, quantita);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    cartella.scriviArchivio(ArchivioDi({SchedaDiProva({{Campo::Codice, u"A1"_s},
                                                       {Campo::Costo, u"1,00"_s},
                                                       {Campo::Nome, u"Vite"_s},
                                                       {Campo::Giacenza, disco},
                                                       {Campo::Tipologia, u"Ferramenta"_s}})}));
    const QString file = scriviCsvDiProva(cartella, "Codice;Nome;Costo;Quantità;Categoria\r\n"
                                                    "A1;Vite;1;7;Ferramenta\r\n");
    conAnteprima(dialoghi, file, [&](QDialog *a) {
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
    });
    TScheda letta;
    Archivio archivio(cartella.archivio());
    QVERIFY(archivio.ApriArchivio() && archivio.leggi(1, letta));
    QCOMPARE(letta.testo(Campo::Giacenza), u"7"_s);
    QList<qint64> trovate;
    LeggiGiornale(PercorsoGiornale(), {}, [&trovate](const Movimento &m, qint64) {
        trovate << m.quantita;
        return true;
    });
    QCOMPARE(trovate, quantita);
}

void TestOutput::importaDisabilitato() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const QString file =
        scriviCsvDiProva(cartella, "Codice;Nome;Costo\r\nA1;;1\r\nA2;Vite;dodici\r\n");
    conAnteprima(dialoghi, file, [&](QDialog *a) {
        QVERIFY(!a->findChild<QPushButton *>(u"btnImporta"_s)->isEnabled());
        // The file's names left out, one name for every row: the first row is good.
        auto *nome = a->findChild<QLineEdit *>(u"txtNomePerTutte"_s);
        QVERIFY(!nome->isVisibleTo(a));
        auto *colonnaNome = a->findChild<QComboBox *>(u"cboColonna2"_s);
        colonnaNome->setCurrentIndex(0);
        emit colonnaNome->activated(0);
        QVERIFY(nome->isVisibleTo(a));
        nome->setText(u"Articolo"_s);
        emit nome->editingFinished();
        QVERIFY(a->findChild<QPushButton *>(u"btnImporta"_s)->isEnabled());
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnAnnulla"_s), Qt::LeftButton);
    });
    QVERIFY(cartella.leggiArchivio().isEmpty());
}

void TestOutput::importaTuttoONiente_data() {
    QTest::addColumn<bool>("limite"); // a size limit, or else a failed flush
    QTest::newRow("limite di dimensione") << true;
    QTest::newRow("flush fallito durante un aggiornamento") << false;
}

void TestOutput::importaTuttoONiente() {
    QFETCH(bool, limite);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    // Three cards and the start of a fourth, as a cut copy might leave it.
    const QByteArray prima =
        ArchivioDi({primaScheda(), SchedaNumero(2), SchedaNumero(3)}) + QByteArray(100, '\x07');
    cartella.scriviArchivio(prima);
    QByteArray contenuto = "Codice articolo;Nome prodotto;Costo unitario;Categoria merceologica\n"
                           "007;Vite nuova;13;Ferramenta\n";
    for (int i = 0; i < 600; ++i)
        contenuto += "C" + QByteArray::number(i) + ";Vite;1;Ferramenta\n";
    const QString file = scriviCsvDiProva(cartella, contenuto);
    conAnteprima(dialoghi, file, [&](QDialog *a) {
        rlimit regola{};
        getrlimit(RLIMIT_FSIZE, &regola);
        const rlimit originale = regola;
        std::function<int(int)> precedente;
        if (limite) {
            // Room for about 300 more cards only. The program itself must
            // make the limit a write error.
            regola.rlim_cur = rlim_t(3 + 300) * TScheda::DIMENSIONE;
            setrlimit(RLIMIT_FSIZE, &regola);
        } else {
            precedente = ImpostaSincronizzazioneArchivio([](int) {
                errno = EIO;
                return -1;
            });
        }
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
        if (limite)
            setrlimit(RLIMIT_FSIZE, &originale);
        else
            ImpostaSincronizzazioneArchivio(precedente);
        QCOMPARE(cartella.leggiArchivio(), prima);
        QCOMPARE(dialoghi.testi(),
                 QStringList{MessaggioScritturaArchivio(limite ? EFBIG : EIO) +
                             u"\r\n\r\nNessuna scheda è stata aggiunta o modificata."_s});
        // The window stays, to try again or give up.
        QVERIFY(a->isVisible());
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnAnnulla"_s), Qt::LeftButton);
    });
    QCOMPARE(cartella.leggiArchivio(), prima);
    QVERIFY(!QFile::exists(cartella.archivio() + u".intento"_s));
}

void TestOutput::importazioneInterrotta() {
    // The child is killed at each step in turn. After the next opening the
    // import is whole or absent in the archive and the journal alike: every
    // card's stock is what its lines add up to, each new card with a stock
    // has exactly one line and one without none, and an import undone left
    // no line behind.
    int interrotti = 0;
    for (int passo = 1;; ++passo) {
        CartellaDiProva cartella;
        cartella.scriviArchivio(
            ArchivioDi({SchedaListino("A1", "1,00", "40"), SchedaListino("B2", "2,00", "3")}));
        QVERIFY(RegistraMovimenti({MovimentoScheda(SchedaListino("A1", "1,00", "40"), 1,
                                                   TipoMovimento::NuovaScheda, 40, 0),
                                   MovimentoScheda(SchedaListino("B2", "2,00", "3"), 2,
                                                   TipoMovimento::NuovaScheda, 3, 0)}));
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"--importa"_s, cartella.archivio(), QString::number(passo)});
        QVERIFY(figlio.waitForFinished(60000));
        const bool interrotto = figlio.exitStatus() == QProcess::CrashExit;
        if (!interrotto) QCOMPARE(figlio.exitCode(), 0);

        const bool inSospeso = QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio()));
        Archivio archivio;
        QVERIFY(archivio.ApriArchivio());
        const qint64 schede = archivio.conta();
        QVERIFY2(schede == 2 || schede == 302, qPrintable(QString::number(schede)));
        // Said once, when there was something to undo.
        QCOMPARE(PrendiAvvisoRipristino(), inSospeso && schede == 2);
        QMap<qint64, qint64> somme, righe;
        QList<Movimento> importate;
        LeggiGiornale(PercorsoGiornale(), {}, [&](const Movimento &m, qint64) {
            somme[m.posizione] += m.quantita;
            ++righe[m.posizione];
            if (m.tipo == TipoMovimento::Importazione) importate << m;
            return true;
        });
        for (qint64 p = 1; p <= schede; ++p) {
            TScheda scheda;
            QVERIFY(archivio.leggi(p, scheda));
            const qint64 giacenza = GiacenzaDi(scheda).value_or(-1);
            QCOMPARE(somme.value(p), giacenza);
            if (p > 2) QCOMPARE(righe.value(p), giacenza != 0 ? 1 : 0);
        }
        QCOMPARE(cartella.leggiArchivio().size(), schede * TScheda::DIMENSIONE);
        QVERIFY(righe.lastKey() <= schede);
        // A1's stock and B2's cost go with the rest.
        TScheda a1, b2;
        QVERIFY(archivio.leggi(1, a1) && archivio.leggi(2, b2));
        QCOMPARE(a1.testo(Campo::Giacenza), schede == 2 ? u"40"_s : u"7"_s);
        QCOMPARE(b2.testo(Campo::Costo), schede == 2 ? u"2,00"_s : u"3,00"_s);
        QCOMPARE(importate.size(), schede == 2 ? 0 : 1 + 200);
        archivio.chiudi();
        QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
        if (!interrotto) {
            QCOMPARE(schede, 302);
            // The record, both updates, two blocks of new cards, the flush,
            // the lines.
            QVERIFY2(interrotti >= 9, qPrintable(QString::number(interrotti)));
            break;
        }
        ++interrotti;
        QVERIFY2(passo < 60, "il figlio non arriva mai alla fine");
    }
}

void TestOutput::giornaleNonScrittoNienteImportato() {
    // The journal cannot be written: the cards and their lines go together,
    // so nothing is imported, and the window says why.
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const QByteArray prima = ArchivioDi({SchedaListino("A1", "1,00", "40")});
    cartella.scriviArchivio(prima);
    QVERIFY(QDir().mkpath(PercorsoGiornale()));
    const QString file = scriviCsvDiProva(cartella, "Codice;Nome;Costo;Quantità;Categoria\r\n"
                                                    "A1;Vite;1;7;Ferramenta\r\n"
                                                    "C3;Vite;1;5;Ferramenta\r\n");
    conAnteprima(dialoghi, file, [&](QDialog *a) {
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
        QCOMPARE(dialoghi.testi(),
                 QStringList{u"Attenzione: il giornale Movimenti.csv non può essere scritto, e "
                             "l'importazione cambia giacenze che vi devono essere registrate."
                             "\r\n\r\nNessuna scheda è stata aggiunta o modificata. Controllare "
                             "lo spazio libero sul disco e i permessi della cartella del "
                             "programma."_s});
        QVERIFY(a->isVisible());
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnAnnulla"_s), Qt::LeftButton);
    });
    QCOMPARE(cartella.leggiArchivio(), prima);
    QVERIFY(!QFile::exists(cartella.archivio() + u".intento"_s));
}

void TestOutput::bloccoImpostazioniLasciato() {
    // A copy killed while writing the remembered columns leaves QSettings'
    // lock file: the next use of the settings removes it. A living copy's
    // lock is left alone.
    CartellaDiProva cartella;
    const QString blocco = cartella.percorso(u"ImportaCsv.ini.lock"_s);
    QProcess figlio;
    figlio.setProcessChannelMode(QProcess::ForwardedChannels);
    figlio.start(QCoreApplication::applicationFilePath(), {u"--blocca"_s, blocco});
    QVERIFY(figlio.waitForFinished(60000));
    QCOMPARE(figlio.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFile::exists(blocco));
    const QStringList intestazione{u"Codice"_s, u"Nome"_s};
    QCOMPARE(ColonneRicordate(intestazione), QList<int>());
    QVERIFY(!QFile::exists(blocco));
    RicordaColonne(intestazione, {0, 2});
    QCOMPARE(ColonneRicordate(intestazione), (QList<int>{0, 2}));
    QVERIFY(!QFile::exists(blocco));

    QLockFile vivo(blocco);
    QVERIFY(vivo.tryLock(0));
    QCOMPARE(ColonneRicordate(intestazione), (QList<int>{0, 2}));
    QVERIFY(QFile::exists(blocco));
    vivo.unlock();
    // Nothing else in the folder is touched.
    QCOMPARE(QDir(cartella.percorso()).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"ImportaCsv.ini"_s});
}

void TestOutput::andataERitorno() {
    DialoghiFinti dialoghi;
    TScheda prima = primaScheda();
    prima.impostaTesto(Campo::Caratteristiche, u"Testa \"piana\"; acciaio"_s);
    prima.impostaTesto(Campo::Note, u"=HYPERLINK(\"http://example.com\",\"clic\")"_s);
    prima.impostaTesto(Campo::File02, u"disegno;1.pdf"_s);
    prima.impostaTesto(Campo::Desc02, u"Disegno tecnico"_s);
    prima.impostaTesto(Campo::Recapito, u"+39 02 1234567"_s);
    TScheda seconda = SchedaNumero(2);
    seconda.impostaTesto(Campo::Costo, u"1E-3"_s);
    seconda.impostaTesto(Campo::Giacenza, u"-3"_s);
    seconda.impostaTesto(Campo::Note, u"''@SOMMA(A1)"_s);
    seconda.impostaTesto(Campo::Caratteristiche, u"-riga; € 5\r\nriga due"_s);
    TScheda terza = SchedaNumero(3);
    terza.impostaTesto(Campo::Note, u"'nota tra apostrofi'"_s);
    terza.impostaTesto(Campo::Agente, u"+A"_s);
    const QByteArray archivio = ArchivioDi({prima, seconda, terza});
    QString csv;
    QByteArray scritto;
    {
        CartellaDiProva cartella;
        cartella.scriviArchivio(archivio);
        QWidget scheda;
        TfrmExpMagazzino finestra(&scheda);
        dialoghi.allaProssimaFinestra([&](QDialog *d) {
            dialoghi.rispondi(Piattaforma::Risposta::No);
            QTest::mouseClick(pulsante(d, "cmdEsportaCsv"), Qt::LeftButton);
            QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
        });
        Piattaforma::dialoghi().esegui(&finestra);
        csv = QDir::temp().filePath(u"quadrelo-andata.csv"_s);
        QFile::remove(csv);
        QVERIFY(QFile::copy(cartella.percorso(u"Magazzino.csv"_s), csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        scritto = file.readAll();
    }
    // What a spreadsheet would run is written as text; plain numbers stay numbers.
    QVERIFY(scritto.contains("'=HYPERLINK("));
    QVERIFY(scritto.contains("\"'''@SOMMA(A1)\"") || scritto.contains(";'''@SOMMA(A1);"));
    QVERIFY(scritto.contains(";'+A;"));
    QVERIFY(scritto.contains(";+39 02 1234567;"));
    QVERIFY(scritto.contains(";-3;"));
    CartellaDiProva vuota;
    conAnteprima(dialoghi, csv, [&](QDialog *a) {
        QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
    });
    QFile::remove(csv);
    const QByteArray riletto = vuota.leggiArchivio();
    QCOMPARE(riletto.size(), archivio.size());
    for (qsizetype n = 0; n < archivio.size() / TScheda::DIMENSIONE; ++n) {
        TScheda attesa, letta;
        std::memcpy(attesa.byte.data(), archivio.constData() + n * TScheda::DIMENSIONE,
                    TScheda::DIMENSIONE);
        std::memcpy(letta.byte.data(), riletto.constData() + n * TScheda::DIMENSIONE,
                    TScheda::DIMENSIONE);
        for (int c = 0; c < NUMERO_CAMPI; ++c)
            QCOMPARE(letta.testo(Campo(c)), attesa.testo(Campo(c)));
    }
    QCOMPARE(riletto, archivio);
}

int main(int argc, char *argv[]) {
    // The same program is the child of the crash tests.
    if (argc == 4 && qstrcmp(argv[1], "--importa") == 0)
        return ImportaEMuori(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (argc == 3 && qstrcmp(argv[1], "--blocca") == 0)
        return MuoriColBlocco(QString::fromLocal8Bit(argv[2]));
    QApplication applicazione(argc, argv);
    applicazione.setAttribute(Qt::AA_Use96Dpi, true);
    TestOutput test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_output.moc"
