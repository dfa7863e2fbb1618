#include "DialoghiFinti.h"
#include "archive/RegoleNumeri.h"
#include "widgets/RiquadroFoto.h"
#include "output/ModelliStampa.h"
#include "output/TfrmAnteprimaMag.h"
#include "output/TfrmStampaMag.h"
#include "report/FinestraAnteprima.h"
#include "report/TfrxReport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

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
    QVERIFY(cercaTesto(report.PreparedPages().at(0),
                       u"Stampa eseguita in data "_s + FormattaData(QDate::currentDate())));
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
    const auto *piede =
        cercaTesto(pagina, u"Stampa eseguita in data "_s + FormattaData(QDate::currentDate()));
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
    const QString data = u"Stampa eseguita in data "_s + FormattaData(QDate::currentDate());
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

    QVERIFY(QRegularExpression(
                u"^Stampa eseguita in data \\d\\d/\\d\\d/\\d{4} alle ore \\d\\d:\\d\\d:\\d\\d$"_s)
                .match(testoIn(p, sulFoglio(3, 269, 185, 6)))
                .hasMatch());
    QVERIFY(testoIn(p, sulFoglio(3, 269, 185, 6)).contains(FormattaData(QDate::currentDate())) ||
            QTime::currentTime() < QTime(0, 0, 5));
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
        QTest::mouseClick(anteprima->findChild<QAbstractButton *>(u"btnChiudi"_s), Qt::LeftButton);
    });
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnStampa"_s), Qt::LeftButton);
    QVERIFY(vista);
    QVERIFY(dialoghi.mostrati().isEmpty());
    // Closing the preview goes straight back: the window has closed too.
    QVERIFY(!finestra.isVisible());
    QCOMPARE(testoIn(finestra.repFoto().PreparedPages().at(0), sulFoglio(60, 104, 128, 6)),
             u"A1"_s);
}

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
