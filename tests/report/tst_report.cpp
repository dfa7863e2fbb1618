#include "DialoghiFinti.h"
#include "archive/RegoleNumeri.h"
#include "report/FinestraAnteprima.h"
#include "report/TfrxReport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double Passo = 12.822;

// An A4 portrait report: a title band, a data band that may split holding a
// list memo of n lines, and a footer.
struct ReportDiProva {
    TfrxReport report;
    TfrxReportPage *pagina;
    TfrxReportTitle *testata;
    TfrxMasterData *dati;
    TfrxMemoView *elenco;
    TfrxFooter *piede;

    explicit ReportDiProva(int righe) {
        report.ReportName = QStringLiteral("Prova");
        new TfrxDataPage(&report);
        pagina = new TfrxReportPage(&report);
        pagina->Name = QStringLiteral("Page");
        // Declared out of order on purpose: bands stack by kind.
        piede = new TfrxFooter(pagina);
        piede->Height = 30;
        auto *fine = new TfrxMemoView(piede);
        fine->Name = QStringLiteral("txtFine");
        fine->SetBounds(0, 5, 200, 20);
        fine->SetText(QStringLiteral("Fine elenco"));
        dati = new TfrxMasterData(pagina);
        dati->Name = QStringLiteral("MasterData");
        dati->AllowSplit = true;
        elenco = new TfrxMemoView(dati);
        elenco->Name = QStringLiteral("txtRiepilogo");
        elenco->Font.Name = QStringLiteral("Courier New");
        elenco->Font.Height = TfrxFont::DaPunti(8);
        elenco->WordWrap = false;
        elenco->SetBounds(10, 0, 600, 0);
        testata = new TfrxReportTitle(pagina);
        testata->Height = 50;
        auto *titolo = new TfrxMemoView(testata);
        titolo->Name = QStringLiteral("txtTitolo");
        titolo->SetBounds(0, 0, 600, 40);
        titolo->SetText(QStringLiteral("Titolo"));
        riempi(righe);
    }

    void riempi(int righe) {
        elenco->Memo.clear();
        for (int i = 0; i < righe; ++i)
            elenco->Memo.append(QStringLiteral("Riga %1").arg(i, 4, 10, QLatin1Char('0')));
        elenco->Height = righe * Passo;
        dati->Height = elenco->Height + 10;
    }
};

const TestoPosizionato *cercaTesto(const PaginaPreparata &pagina, const QString &testo) {
    for (const auto &t : pagina.testi) {
        if (t.testo == testo) return &t;
    }
    return nullptr;
}

double fondoUtile(const TfrxReportPage &p) {
    return mm(p.PaperHeight - p.BottomMargin);
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void trovaOggettoIgnorandoMaiuscole();
    void testoEdElencoRighe();
    void immagineCopiataAllAssegnazione();
    void pagineEOrientamento_data();
    void pagineEOrientamento();
    void bandeImpilate();
    void bandaDivisaTraLeRighe_data();
    void bandaDivisaTraLeRighe();
    void bandaDivisaMaiAttraversoUnOggetto();
    void espressioni_data();
    void espressioni();
    void memoAllineatoETagliato();
    void immagineAdattataEScalataUnaVolta();
    void disegnoSuImmagine();
    void rettangoliPieniTagliatiAlRiquadro();
    void stampaAnnullata();
    void stampaSuFile();
    void anteprima();
};

void TestReport::initTestCase() {
    ImpostaFormati();
}

void TestReport::trovaOggettoIgnorandoMaiuscole() {
    ReportDiProva r(3);
    QCOMPARE(r.report.FindObject(QStringLiteral("TXTTITOLO"))->Name, QStringLiteral("txtTitolo"));
    QVERIFY(r.report.FindObject<TfrxMemoView>(QStringLiteral("txtriepilogo")) == r.elenco);
    QVERIFY(r.report.FindObject<TfrxMasterData>(QStringLiteral("MASTERDATA")) == r.dati);
    QVERIFY(r.report.FindObject(QStringLiteral("page")) == r.pagina);
    // Asked as the wrong kind, or not there at all: nothing.
    QVERIFY(r.report.FindObject<TfrxPictureView>(QStringLiteral("txtTitolo")) == nullptr);
    QVERIFY(r.report.FindObject(QStringLiteral("txtTitol")) == nullptr);
    QVERIFY(r.report.FindObject(QString()) == nullptr);

    // The first match in the tree wins.
    auto *doppione = new TfrxMemoView(r.testata);
    doppione->Name = QStringLiteral("TxtTitolo");
    QVERIFY(r.report.FindObject(QStringLiteral("txttitolo")) != doppione);
}

void TestReport::testoEdElencoRighe() {
    TfrxReport report;
    auto *memo = new TfrxMemoView(new TfrxReportPage(&report));
    QCOMPARE(memo->Memo.size(), 0);
    memo->Memo.append(QStringLiteral("uno"));
    memo->Memo.append(QStringLiteral("due"));
    QCOMPARE(memo->Text(), QStringLiteral("uno\ndue"));
    memo->SetText(QStringLiteral("tre"));
    QCOMPARE(memo->Memo, QStringList{QStringLiteral("tre")});
    memo->SetText(QStringLiteral("a\r\nb"));
    QCOMPARE(memo->Memo, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    memo->SetText(QString());
    QCOMPARE(memo->Memo.size(), 0);
}

void TestReport::immagineCopiataAllAssegnazione() {
    TfrxReport report;
    auto *vista = new TfrxPictureView(new TfrxReportPage(&report));
    QImage sorgente(4, 4, QImage::Format_RGB32);
    sorgente.fill(Qt::red);
    vista->Picture = sorgente;
    sorgente.fill(Qt::blue);
    QCOMPARE(vista->Picture.pixelColor(0, 0), QColor(Qt::red));
}

void TestReport::pagineEOrientamento_data() {
    QTest::addColumn<QList<int>>("passi"); // 0 portrait, 1 landscape
    QTest::addColumn<QSizeF>("carta");
    QTest::addColumn<QList<double>>("margini"); // left, top, right, bottom

    const QList<double> progetto{5, 10, 15, 20};
    const QList<double> girati{10, 5, 20, 15};
    QTest::newRow("verticale due volte") << QList<int>{0, 0} << QSizeF(210, 297) << progetto;
    QTest::newRow("orizzontale") << QList<int>{1} << QSizeF(297, 210) << girati;
    QTest::newRow("orizzontale due volte") << QList<int>{1, 1} << QSizeF(297, 210) << girati;
    QTest::newRow("e di nuovo verticale") << QList<int>{1, 0} << QSizeF(210, 297) << progetto;
}

void TestReport::pagineEOrientamento() {
    QFETCH(QList<int>, passi);
    QFETCH(QSizeF, carta);
    QFETCH(QList<double>, margini);

    TfrxReport report;
    new TfrxDataPage(&report);
    new TfrxReportPage(&report);
    QVERIFY(dynamic_cast<TfrxDataPage *>(report.Pages[0]));
    QCOMPARE(report.Pages.Count(), 2);
    QVERIFY(report.Pages[2] == nullptr);
    TfrxReportPage *p = report.ReportPage(1);
    QVERIFY(p);
    p->LeftMargin = 5;
    p->TopMargin = 10;
    p->RightMargin = 15;
    p->BottomMargin = 20;
    for (int passo : passi)
        p->SetOrientation(passo ? QPageLayout::Landscape : QPageLayout::Portrait);
    QCOMPARE(QSizeF(p->PaperWidth, p->PaperHeight), carta);
    QCOMPARE((QList<double>{p->LeftMargin, p->TopMargin, p->RightMargin, p->BottomMargin}),
             margini);

    report.PrepareReport(true);
    QCOMPARE(report.PreparedPages().at(0).cartaMm, carta);
    QCOMPARE(report.PreparedPages().at(0).impaginazione().orientation(),
             carta.width() > carta.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TestReport::bandeImpilate() {
    ReportDiProva r(3);
    QVERIFY(r.report.PrepareReport(true));
    QCOMPARE(r.report.PreparedPages().size(), std::size_t(1));
    const PaginaPreparata &pagina = r.report.PreparedPages().front();
    const double alto = mm(10);
    QCOMPARE(cercaTesto(pagina, QStringLiteral("Titolo"))->riquadro.top(), alto);
    for (int i = 0; i < 3; ++i) {
        const auto *riga =
            cercaTesto(pagina, QStringLiteral("Riga %1").arg(i, 4, 10, QLatin1Char('0')));
        QVERIFY(riga);
        QCOMPARE(riga->riquadro.top(), alto + 50 + i * Passo);
        QCOMPARE(riga->riquadro.left(), mm(10) + 10);
    }
    // The footer follows 10 units below the last line, its memo 5 units lower.
    QCOMPARE(cercaTesto(pagina, QStringLiteral("Fine elenco"))->riquadro.top(),
             alto + 50 + 3 * Passo + 10 + 5);

    // Preparing again replaces the pages.
    r.riempi(0);
    r.report.PrepareReport(true);
    QCOMPARE(r.report.PreparedPages().size(), std::size_t(1));
    QCOMPARE(
        cercaTesto(r.report.PreparedPages().front(), QStringLiteral("Fine elenco"))->riquadro.top(),
        alto + 50 + 10 + 5);
}

void TestReport::bandaDivisaTraLeRighe_data() {
    QTest::addColumn<int>("righe");
    QTest::addColumn<bool>("orizzontale");
    QTest::newRow("verticale 300") << 300 << false;
    QTest::newRow("orizzontale 250") << 250 << true;
    // Lines that end right at the bottom of a page: the rest of the band is
    // empty and the footer starts the next page.
    QTest::newRow("pagina piena") << 77 << false;
}

void TestReport::bandaDivisaTraLeRighe() {
    QFETCH(int, righe);
    QFETCH(bool, orizzontale);

    ReportDiProva r(righe);
    if (orizzontale) r.pagina->SetOrientation(QPageLayout::Landscape);
    r.report.PrepareReport(true);
    const auto &pagine = r.report.PreparedPages();
    QVERIFY(pagine.size() > 1);

    const double alto = mm(r.pagina->TopMargin);
    const double fondo = fondoUtile(*r.pagina);
    QHash<QString, int> viste;
    int titoli = 0;
    int piedi = 0;
    double ultimoFondo = 0;
    for (std::size_t n = 0; n < pagine.size(); ++n) {
        double atteso = -1;
        for (const auto &t : pagine[n].testi) {
            QVERIFY2(t.riquadro.top() >= alto - 1e-6 && t.riquadro.bottom() <= fondo + 1e-6,
                     qPrintable(t.testo));
            if (t.testo == QStringLiteral("Titolo")) {
                ++titoli;
                QCOMPARE(n, std::size_t(0));
                continue;
            }
            if (t.testo == QStringLiteral("Fine elenco")) {
                ++piedi;
                QCOMPARE(n, pagine.size() - 1);
                const double attesoPiede =
                    ultimoFondo + 10 > fondo - 30 + 1e-6 ? alto : ultimoFondo + 10;
                QCOMPARE(t.riquadro.top() - 5, attesoPiede);
                continue;
            }
            ++viste[t.testo];
            // Whole lines, one below the other at the pitch; a continued page
            // starts at the top of its printable area.
            QVERIFY(t.taglio.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(t.riquadro));
            if (atteso < 0) atteso = n == 0 ? alto + 50 : alto;
            QCOMPARE(t.riquadro.top(), atteso);
            atteso += Passo;
            ultimoFondo = t.riquadro.bottom();
        }
        // No page is left with room for one more line.
        if (n + 1 < pagine.size() && atteso > 0) QVERIFY(atteso + Passo > fondo);
    }
    QCOMPARE(titoli, 1);
    QCOMPARE(piedi, 1);
    QCOMPARE(viste.size(), righe);
    for (auto it = viste.cbegin(); it != viste.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
}

void TestReport::bandaDivisaMaiAttraversoUnOggetto() {
    TfrxReport report;
    auto *pagina = new TfrxReportPage(&report);
    auto *dati = new TfrxMasterData(pagina);
    dati->AllowSplit = true;
    dati->Height = 1300;
    QImage quadrato(10, 10, QImage::Format_RGB32);
    quadrato.fill(Qt::green);
    auto *primo = new TfrxPictureView(dati);
    primo->SetBounds(0, 0, 500, 500);
    primo->Picture = quadrato;
    auto *secondo = new TfrxPictureView(dati);
    secondo->SetBounds(0, 600, 600, 600); // across the bottom of page 1
    secondo->Picture = quadrato;

    report.PrepareReport(true);
    const auto &pagine = report.PreparedPages();
    QCOMPARE(pagine.size(), std::size_t(2));
    QCOMPARE(pagine[0].immagini.size(), std::size_t(1));
    QCOMPARE(pagine[1].immagini.size(), std::size_t(1));
    QCOMPARE(pagine[1].immagini[0].riquadro, QRectF(mm(10), mm(10), 600, 600));
    QVERIFY(pagine[1].immagini[0].taglio.contains(pagine[1].immagini[0].riquadro));
}

void TestReport::espressioni_data() {
    QTest::addColumn<bool>("espressioni");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("stampato");
    const QString oggi = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QTest::newRow("data") << true << QStringLiteral("Stampa eseguita in data [DATE]")
                          << QStringLiteral("Stampa eseguita in data ") + oggi;
    QTest::newRow("due volte") << true << QStringLiteral("[DATE]-[DATE]") << oggi + u'-' + oggi;
    QTest::newRow("altre parentesi") << true << QStringLiteral("Vite [M6] da [Ditta] [date]")
                                     << QStringLiteral("Vite [M6] da [Ditta] [date]");
    QTest::newRow("parentesi aperta") << true << QStringLiteral("[DATE") << QStringLiteral("[DATE");
    QTest::newRow("senza espressioni")
        << false << QStringLiteral("[DATE]") << QStringLiteral("[DATE]");
}

void TestReport::espressioni() {
    QFETCH(bool, espressioni);
    QFETCH(QString, testo);
    QFETCH(QString, stampato);
    for (const bool aCapo : {true, false}) {
        TfrxReport report;
        auto *memo = new TfrxMemoView(new TfrxReportPage(&report));
        memo->SetBounds(0, 0, 500, 20);
        memo->WordWrap = aCapo;
        memo->AllowExpressions = espressioni;
        memo->SetText(testo);
        report.PrepareReport(true);
        QCOMPARE(report.PreparedPages().at(0).testi.at(0).testo, stampato);
        QCOMPARE(memo->Text(), testo); // the template keeps its text
    }
}

void TestReport::memoAllineatoETagliato() {
    TfrxReport report;
    auto *pagina = new TfrxReportPage(&report);
    auto *memo = new TfrxMemoView(pagina);
    memo->SetBounds(100, 200, 300, 40);
    memo->Color = QColor(0x00, 0x80, 0x80);
    memo->Font.Height = 12;
    memo->HAlign = TfrxHAlign::Center;
    memo->VAlign = TfrxVAlign::Center;
    memo->WordWrap = false;
    memo->SetText(QStringLiteral("Centrato"));
    auto *aCapo = new TfrxMemoView(pagina);
    aCapo->SetBounds(100, 300, 50, 100);
    aCapo->SetText(QStringLiteral("un testo lungo che va a capo"));

    report.PrepareReport(true);
    const PaginaPreparata &p = report.PreparedPages().at(0);
    const QRectF riquadro(mm(10) + 100, mm(10) + 200, 300, 40);
    const auto *t = cercaTesto(p, QStringLiteral("Centrato"));
    QVERIFY(t);
    QCOMPARE(t->riquadro.center(), riquadro.center());
    QCOMPARE(t->taglio, riquadro);
    QVERIFY(t->allineamento & Qt::AlignHCenter);
    QCOMPARE(p.rettangoli.at(0).riquadro, riquadro);
    QCOMPARE(p.rettangoli.at(0).riempimento, QColor(0x00, 0x80, 0x80));
    QVERIFY(!p.rettangoli.at(0).contorno);

    const auto *a = cercaTesto(p, QStringLiteral("un testo lungo che va a capo"));
    QVERIFY(a);
    QVERIFY(a->allineamento & Qt::TextWordWrap);
    QCOMPARE(a->taglio, QRectF(mm(10) + 100, mm(10) + 300, 50, 100));
}

void TestReport::immagineAdattataEScalataUnaVolta() {
    TfrxReport report;
    auto *pagina = new TfrxReportPage(&report);
    auto *centrata = new TfrxPictureView(pagina);
    centrata->SetBounds(0, 0, 100, 100);
    centrata->Center = true;
    QImage foto(4000, 3000, QImage::Format_RGB32);
    foto.fill(Qt::darkGreen);
    centrata->Picture = foto;
    auto *inAlto = new TfrxPictureView(pagina);
    inAlto->SetBounds(0, 200, 100, 100);
    QImage alta(20, 40, QImage::Format_RGB32);
    alta.fill(Qt::yellow);
    inAlto->Picture = alta;
    new TfrxPictureView(pagina); // empty: prints nothing

    report.PrepareReport(true);
    const auto &immagini = report.PreparedPages().at(0).immagini;
    QCOMPARE(immagini.size(), std::size_t(2));
    const double o = mm(10);
    QCOMPARE(immagini[0].riquadro, QRectF(o, o + 12.5, 100, 75));
    QCOMPARE(immagini[1].riquadro, QRectF(o, o + 200, 50, 100));
    // Kept at print quality, not at the camera's size; small pictures as they are.
    QVERIFY(immagini[0].immagine.width() <= 100 * 300 / 96 + 1);
    QCOMPARE(immagini[1].immagine.size(), alta.size());

    // Preparing again reuses the scaled copy until the picture changes.
    const qint64 chiave = immagini[0].immagine.cacheKey();
    report.PrepareReport(true);
    QCOMPARE(report.PreparedPages().at(0).immagini[0].immagine.cacheKey(), chiave);
    foto.fill(Qt::red);
    centrata->Picture = foto;
    report.PrepareReport(true);
    const QImage nuova = report.PreparedPages().at(0).immagini[0].immagine;
    QVERIFY(nuova.cacheKey() != chiave);
    QCOMPARE(nuova.pixelColor(nuova.width() / 2, nuova.height() / 2), QColor(Qt::red));
}

void TestReport::disegnoSuImmagine() {
    TfrxReport report;
    auto *pagina = new TfrxReportPage(&report);
    auto *memo = new TfrxMemoView(pagina);
    memo->SetBounds(mm(20), mm(30), mm(40), mm(10));
    memo->Color = QColor(0xFF, 0x8C, 0x00);
    auto *forma = new TfrxShapeView(pagina);
    forma->SetBounds(mm(100), mm(100), mm(50), mm(50));
    report.PrepareReport(true);

    // At 96 dots per inch one unit is one pixel; at 192 two.
    for (const double zoom : {1.0, 2.0}) {
        const QImage immagine = ImmaginePagina(report.PreparedPages().at(0), zoom);
        QCOMPARE(immagine.size(), QSize(qRound(mm(210) * zoom), qRound(mm(297) * zoom)));
        const auto punto = [&](double xMm, double yMm) {
            return immagine.pixelColor(int(mm(xMm) * zoom), int(mm(yMm) * zoom));
        };
        QCOMPARE(punto(10 + 40, 10 + 35), QColor(0xFF, 0x8C, 0x00));
        QCOMPARE(punto(10 + 15, 10 + 35), QColor(Qt::white));   // outside, in the margin side
        QCOMPARE(punto(10 + 125, 10 + 125), QColor(Qt::white)); // outline is not filled
        QVERIFY(punto(10 + 125, 10 + 100).lightness() < 128);   // its top edge
    }
}

void TestReport::rettangoliPieniTagliatiAlRiquadro() {
    TfrxReport report;
    auto *pagina = new TfrxReportPage(&report);
    auto *barre = new TfrxRectanglesView(pagina);
    barre->SetBounds(mm(20), mm(30), 100, 50);
    // The last bar reaches past the right edge and is cut there.
    barre->Rectangles = {{0, 0, 10, 50}, {20, 0, 10, 50}, {95, 10, 20, 60}};
    report.PrepareReport(true);

    const auto &rettangoli = report.PreparedPages().at(0).rettangoli;
    const QPointF angolo(mm(10 + 20), mm(10 + 30));
    const QList<QRectF> attesi{QRectF(angolo, QSizeF(10, 50)),
                               QRectF(angolo + QPointF(20, 0), QSizeF(10, 50)),
                               QRectF(angolo + QPointF(95, 10), QSizeF(5, 40))};
    QCOMPARE(rettangoli.size(), std::size_t(attesi.size()));
    for (qsizetype i = 0; i < attesi.size(); ++i) {
        QCOMPARE(rettangoli[std::size_t(i)].riquadro, attesi[i]);
        QCOMPARE(rettangoli[std::size_t(i)].riempimento, QColor(Qt::black));
        QVERIFY(!rettangoli[std::size_t(i)].contorno);
    }

    for (const double zoom : {1.0, 3.125}) {
        const QImage immagine = ImmaginePagina(report.PreparedPages().at(0), zoom);
        const auto punto = [&](double x, double y) {
            return immagine.pixelColor(int((angolo.x() + x) * zoom), int((angolo.y() + y) * zoom));
        };
        QCOMPARE(punto(5, 25), QColor(Qt::black));
        QCOMPARE(punto(15, 25), QColor(Qt::white));
        QCOMPARE(punto(25, 25), QColor(Qt::black));
        QCOMPARE(punto(97, 30), QColor(Qt::black));
        QCOMPARE(punto(103, 30), QColor(Qt::white)); // beyond the view's edge
    }
}

void TestReport::stampaAnnullata() {
    DialoghiFinti dialoghi;
    ReportDiProva r(5);
    r.report.PrepareReport(true);
    dialoghi.allaProssimaStampa(false);
    QVERIFY(!r.report.Print());
    QCOMPARE(dialoghi.stampeRichieste(), 1);
    QVERIFY(!QFile::exists(dialoghi.fileStampa()));
    QVERIFY(dialoghi.mostrati().isEmpty());
}

void TestReport::stampaSuFile() {
    DialoghiFinti dialoghi;
    ReportDiProva r(150); // two pages
    r.report.PrepareReport(true);
    dialoghi.allaProssimaStampa(true);
    QVERIFY(r.report.Print());
    QCOMPARE(dialoghi.lavoriStampa(), QStringList{QStringLiteral("Prova")});
    QFile pdf(dialoghi.fileStampa());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.readAll().startsWith("%PDF"));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {dialoghi.fileStampa()});
    QVERIFY(info.waitForFinished());
    const QString uscita = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(uscita.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\b"))),
             qPrintable(uscita));
    QVERIFY2(uscita.contains(QRegularExpression(QStringLiteral("Title:\\s+Prova"))),
             qPrintable(uscita));
    QVERIFY(dialoghi.mostrati().isEmpty());
}

void TestReport::anteprima() {
    DialoghiFinti dialoghi;
    ReportDiProva r(200); // three pages
    bool vista = false;
    dialoghi.allaProssimaFinestra([&](QDialog *finestra) {
        vista = true;
        auto *anteprima = qobject_cast<FinestraAnteprima *>(finestra);
        QVERIFY(anteprima);
        QVERIFY(QTest::qWaitForWindowExposed(anteprima));
        QCOMPARE(anteprima->windowTitle(), QStringLiteral("Prova"));
        QVERIFY(anteprima->windowState() & Qt::WindowMaximized);
        QCOMPARE(anteprima->zoom(), 1.0);
        QCOMPARE(anteprima->findChild<QComboBox *>(QStringLiteral("cmbZoom"))->currentText(),
                 QStringLiteral("100 %"));
        QCOMPARE(anteprima->numeroPagine(), 3);
        QCOMPARE(anteprima->findChild<QLabel *>(QStringLiteral("lblTotalePagine"))->text(),
                 QStringLiteral("di 3"));

        // Every control can be reached by assistive technology.
        for (QWidget *w : anteprima->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) ||
                qobject_cast<QSpinBox *>(w))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }

        auto clic = [&](const char *nome) {
            auto *b = anteprima->findChild<QAbstractButton *>(QString::fromLatin1(nome));
            QVERIFY2(b, nome);
            QTest::mouseClick(b, Qt::LeftButton);
        };
        auto *numero = anteprima->findChild<QSpinBox *>(QStringLiteral("spnPagina"));
        clic("btnUltimaPagina");
        QCOMPARE(anteprima->paginaCorrente(), 3);
        QCOMPARE(numero->value(), 3);
        QVERIFY(!anteprima->findChild<QAbstractButton *>(QStringLiteral("btnPaginaSuccessiva"))
                     ->isEnabled());
        clic("btnPrimaPagina");
        QCOMPARE(anteprima->paginaCorrente(), 1);
        clic("btnPaginaSuccessiva");
        QCOMPARE(anteprima->paginaCorrente(), 2);
        numero->setValue(3);
        QCOMPARE(anteprima->paginaCorrente(), 3);
        clic("btnPaginaPrecedente");
        QCOMPARE(anteprima->paginaCorrente(), 2);

        // Zoom: whole page fits the window, page width fills it, the box sets it.
        clic("btnPaginaIntera");
        QCOMPARE(anteprima->adattamento(), FinestraAnteprima::Adattamento::PaginaIntera);
        QVERIFY2(anteprima->zoom() > 0.1 && anteprima->zoom() < 1,
                 qPrintable(QString::number(anteprima->zoom())));
        clic("btnLarghezzaPagina");
        QCOMPARE(anteprima->adattamento(), FinestraAnteprima::Adattamento::LarghezzaPagina);
        auto *zoom = anteprima->findChild<QComboBox *>(QStringLiteral("cmbZoom"));
        zoom->lineEdit()->selectAll();
        QTest::keyClicks(zoom->lineEdit(), QStringLiteral("150"));
        QTest::keyClick(zoom->lineEdit(), Qt::Key_Return);
        QCOMPARE(anteprima->zoom(), 1.5);
        QCOMPARE(anteprima->adattamento(), FinestraAnteprima::Adattamento::Nessuno);

        clic("btnMiniature");
        auto *miniature = anteprima->findChild<QListWidget *>(QStringLiteral("lstMiniature"));
        QVERIFY(miniature->isVisible());
        QCOMPARE(miniature->count(), 3);
        miniature->setCurrentRow(0);
        QCOMPARE(anteprima->paginaCorrente(), 1);

        clic("btnSchermoIntero");
        QVERIFY(anteprima->windowState() & Qt::WindowFullScreen);
        clic("btnSchermoIntero");
        QVERIFY(!(anteprima->windowState() & Qt::WindowFullScreen));

        // The preview's print button goes through the same print dialog.
        dialoghi.allaProssimaStampa(false);
        clic("btnStampa");
        QCOMPARE(dialoghi.stampeRichieste(), 1);
        QCOMPARE(dialoghi.lavoriStampa(), QStringList{QStringLiteral("Prova")});

        clic("btnChiudi");
        QVERIFY(!anteprima->isVisible());
    });
    QVERIFY(r.report.ShowReport(true));
    QVERIFY(vista);
    QCOMPARE(r.report.PreparedPages().size(), std::size_t(3));
    QVERIFY(dialoghi.mostrati().isEmpty());
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
