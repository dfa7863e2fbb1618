#include "ArchivioInUso.h"
#include "DialoghiFinti.h"
#include "Fixture.h"
#include "FotogrammaEtichetta.h"
#include "Scorciatoie.h"
#include "archive/RegoleNumeri.h"
#include "card/TfrmMagazzino.h"
#include "labels/CercaCodice.h"
#include "labels/CodiceABarre.h"
#include "labels/Etichette.h"
#include "labels/FoglioEtichette.h"
#include "labels/LettoreCodici.h"
#include "labels/TfrmEtichette.h"
#include "lists/TfrmTrovaMagazzino.h"
#include "media/TfrmWebCam.h"
#include "passes/VistaRighe.h"
#include "platform/Videocamera.h"
#include "report/PaginePreparate.h"
#include "report/TfrxReport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using Genere = DialoghiFinti::Genere;

Q_DECLARE_METATYPE(Simbologia)

namespace {

constexpr double Dpi = 300;

// The cards of the sheet tests: every kind of code a card may hold.
QList<SchedaEtichetta> schedeDiProva() {
    return {
        {u"4006381333931"_s, u"Vite a legno 4 × 40 mm"_s, u"12,5"_s, 1},
        {u"96385074"_s, u"Tassello"_s, u"0,90"_s, 1},
        {u"ART-0000042"_s, u"Bullone esagonale zincato con rondella e dado autobloccante M8"_s,
         u"1234,5678"_s, 1},
        {u"abc def/12"_s, u"Colla"_s, u""_s, 1},
        {u"4006381333932"_s, u"EAN sbagliato"_s, u"3"_s, 1}, // wrong check digit: Code 128
        {u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s, u"Codice di 25"_s, u"2,00"_s, 1},
        {u"Caffè"_s, u"Miscela"_s, u"7,20"_s, 1},
        {u""_s, u"Senza codice"_s, u"1"_s, 1},
    };
}

// The sheet's page as pdftoppm renders it at 300 dpi, in grey levels.
QList<QImage> pagineDelPdf(const QString &pdf, const QString &cartella) {
    QProcess pdftoppm;
    pdftoppm.start(u"pdftoppm"_s, {u"-r"_s, QString::number(Dpi), u"-gray"_s, u"-png"_s, pdf,
                                   cartella + u"/pagina"_s});
    if (!pdftoppm.waitForFinished(120000) || pdftoppm.exitCode() != 0) return {};
    QList<QImage> pagine;
    for (int i = 1;; ++i) {
        QImage pagina(cartella + u"/pagina-"_s + QString::number(i) + u".png"_s);
        if (pagina.isNull()) break;
        pagine << pagina;
    }
    return pagine;
}

QRect pixel(const QRectF &postoMm) {
    const double s = Dpi / 25.4;
    return QRectF(postoMm.left() * s, postoMm.top() * s, postoMm.width() * s, postoMm.height() * s)
        .toAlignedRect();
}

bool tuttoBianco(const QImage &immagine) {
    const QImage g = immagine.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < g.height(); ++y) {
        const uchar *riga = g.constScanLine(y);
        for (int x = 0; x < g.width(); ++x)
            if (riga[x] < 200) return false;
    }
    return true;
}

QStringList testiDellaPagina(const PaginaPreparata &pagina, const QRectF &postoMm) {
    QStringList testi;
    const QRectF posto(mm(postoMm.left()), mm(postoMm.top()), mm(postoMm.width()),
                       mm(postoMm.height()));
    for (const auto &t : pagina.testi)
        if (posto.contains(t.riquadro.center())) testi << t.testo;
    return testi;
}

bool scriviPdf(const EtichettePreparate &etichette, const QString &percorso) {
    QFile file(percorso);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QPdfWriter pdf(&file);
    return etichette.report->DisegnaPagine(pdf);
}

// A step of typing: milliseconds before it, milliseconds between its keys,
// the keys ("\n" is Enter).
struct Passo {
    qint64 prima;
    qint64 traTasti;
    QString tasti;
};

// A webcam held in front of a label: the same frame, over and over, from a
// thread of its own as the real device does.
class VideocameraConEtichetta final : public Piattaforma::Videocamera {
  public:
    explicit VideocameraConEtichetta(QImage fotogramma) : m_fotogramma(std::move(fotogramma)) {}
    ~VideocameraConEtichetta() override { ferma(); }

  protected:
    bool avvia() override {
        m_fine = false;
        m_filo = std::thread([this] {
            while (!m_fine) {
                consegna([f = m_fotogramma] { return f; });
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        });
        return true;
    }
    void ferma() override {
        m_fine = true;
        if (m_filo.joinable()) m_filo.join();
    }

  private:
    QImage m_fotogramma;
    std::atomic<bool> m_fine{false};
    std::thread m_filo;
};

// The card window on an archive of four cards, two of them with one code.
struct SchedaAperta {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    std::unique_ptr<TfrmMagazzino> finestra;

    SchedaAperta() {
        cartella.scriviArchivio(ArchivioDi({
            SchedaDiProva({{Campo::Codice, u"ART-1"_s},
                           {Campo::Nome, u"Vite"_s},
                           {Campo::Giacenza, u"12"_s},
                           {Campo::Prezzo, u"4,5"_s}}),
            SchedaDiProva({{Campo::Codice, u"ART-2"_s}, {Campo::Nome, u"Dado"_s}}),
            SchedaDiProva({{Campo::Codice, u"art-2"_s}, {Campo::Nome, u"Dado piccolo"_s}}),
            SchedaDiProva({{Campo::Codice, u"8001234567893"_s}, {Campo::Nome, u"Colla"_s}}),
        }));
        finestra = std::make_unique<TfrmMagazzino>();
        finestra->show();
        QApplication::setActiveWindow(finestra.get());
    }
    QLineEdit *box(const char *nome) const {
        return finestra->findChild<QLineEdit *>(QLatin1String(nome));
    }
    QString posizione() const { return finestra->findChild<QLabel *>(u"lblPosizione"_s)->text(); }
};

} // namespace

class TestLabels : public QObject {
    Q_OBJECT

    ServerDeiTest server;

  private slots:
    void initTestCase() { server.avvia(); }
    void cleanupTestCase() { server.ferma(); }
    void sceltaSimbologia_data();
    void sceltaSimbologia();
    void cifraDiControlloZeroENove_data();
    void cifraDiControlloZeroENove();
    void controlloDelFoglio_data();
    void controlloDelFoglio();
    void prezzoECopie_data();
    void prezzoECopie();
    void testiEntroLEtichetta_data();
    void testiEntroLEtichetta();
    void foglioStampatoELettoBarraPerBarra_data();
    void foglioStampatoELettoBarraPerBarra();
    void cercaCodiceEsatto_data();
    void cercaCodiceEsatto();
    void schedeDellElencoLetteInUnaPassata();
    void scannerUnCodicePerInvio_data();
    void scannerUnCodicePerInvio();
    void webcamLettaFuoriDalFiloDellInterfaccia();
    void finestraEtichette();
    void finestraEanSbagliato();
    void finestraEtichetteDaTastiera_data();
    void finestraEtichetteDaTastiera();
    void codiceABarreNellaScheda_data();
    void codiceABarreNellaScheda();
    void invioNelCodiceDellaRicerca();
    void f3DaOgniCasella_data();
    void f3DaOgniCasella();
    void rafficaDelloScannerInUnImporto_data();
    void rafficaDelloScannerInUnImporto();
    void etichetteDallaSchedaEDaUnElenco();
    void codiceLettoDallaWebcam();
    void etichetteSuDueArchivi_data() { DueArchivi(); }
    void etichetteSuDueArchivi();
    void etichetteServerFermo();
};

void TestLabels::sceltaSimbologia_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<Simbologia>("attesa");
    QTest::addColumn<int>("moduli");     // quiet zones included; 0: not checked
    QTest::addColumn<QString>("motivo"); // part of the reason, when there is no barcode

    QTest::newRow("EAN-13") << u"4006381333931"_s << Simbologia::Ean13 << 113 << QString();
    QTest::newRow("EAN-13 tra spazi")
        << u"  4006381333931 "_s << Simbologia::Ean13 << 113 << QString();
    QTest::newRow("EAN-13, cifra di controllo sbagliata")
        << u"4006381333932"_s << Simbologia::Code128 << 0 << QString();
    QTest::newRow("EAN-8") << u"96385074"_s << Simbologia::Ean8 << 81 << QString();
    QTest::newRow("EAN-8, cifra di controllo sbagliata")
        << u"96385075"_s << Simbologia::Code128 << 0 << QString();
    QTest::newRow("12 cifre") << u"400638133393"_s << Simbologia::Code128 << 0 << QString();
    QTest::newRow("14 cifre") << u"40063813339310"_s << Simbologia::Code128 << 0 << QString();
    QTest::newRow("lettere e trattino")
        << u"ART-0000042"_s << Simbologia::Code128 << 0 << QString();
    QTest::newRow("minuscole, spazio, barra")
        << u"abc def/12"_s << Simbologia::Code128 << 0 << QString();
    QTest::newRow("25 caratteri") << u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s << Simbologia::Code128 << 0
                                  << QString();
    QTest::newRow("vuoto") << QString() << Simbologia::Nessuna << 0 << u"non ha un codice"_s;
    QTest::newRow("solo spazi") << u"   "_s << Simbologia::Nessuna << 0 << u"non ha un codice"_s;
    QTest::newRow("lettera accentata") << u"Caffè"_s << Simbologia::Nessuna << 0 << u"«è»"_s;
    QTest::newRow("euro") << u"P€5"_s << Simbologia::Nessuna << 0 << u"«€»"_s;
    QTest::newRow("tabulazione nel mezzo") << u"A\tB"_s << Simbologia::Nessuna << 0 << u"«\t»"_s;
}

void TestLabels::sceltaSimbologia() {
    QFETCH(QString, codice);
    QFETCH(Simbologia, attesa);
    QFETCH(int, moduli);
    QFETCH(QString, motivo);

    const SceltaSimbologia scelta = ScegliSimbologia(codice);
    QCOMPARE(scelta.simbologia, attesa);
    QCOMPARE(scelta.codice, Rifila(codice));
    QCOMPARE(scelta.motivo.isEmpty(), motivo.isEmpty());
    QVERIFY2(scelta.motivo.contains(motivo), qPrintable(scelta.motivo));

    const Barre barre = CodificaBarre(codice);
    QCOMPARE(barre.simbologia, attesa);
    QCOMPARE(barre.valide(), attesa != Simbologia::Nessuna);
    if (moduli) QCOMPARE(barre.moduli, moduli);
    if (!barre.valide()) return;
    // Bars in order, apart, inside the quiet zones.
    int fine = 0;
    for (const Barre::Barra &b : barre.barre) {
        QVERIFY(b.inizio >= fine);
        QVERIFY(b.larghezza >= 1 && b.larghezza <= 4);
        fine = b.inizio + b.larghezza;
    }
    QVERIFY(barre.barre.front().inizio >= 7);
    QVERIFY(fine <= barre.moduli - 7);
    // Drawn large and clean, the bars read back as the code.
    const auto rettangoli = barre.rettangoli(barre.moduli * 3, 120);
    QImage immagine(barre.moduli * 3, 120, QImage::Format_Grayscale8);
    immagine.fill(Qt::white);
    QPainter p(&immagine);
    for (const QRectF &r : rettangoli)
        p.fillRect(r, Qt::black);
    p.end();
    QCOMPARE(LeggiCodiceInImmagine(immagine), Rifila(codice));
}

// Every last digit of an EAN-13 and an EAN-8 whose check digit is 0, and of
// one whose check digit is 9: only the right one makes an EAN. A 0 is where
// "10 - sum % 10" goes wrong, a 9 where the sum's own last digit is 1.
void TestLabels::cifraDiControlloZeroENove_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<Simbologia>("attesa");
    QTest::addColumn<int>("giusta"); // the check digit the other digits call for

    const struct {
        const char16_t *senzaUltima;
        int giusta;
        Simbologia ean;
    } basi[] = {{u"800123456704", 0, Simbologia::Ean13},
                {u"800123456701", 9, Simbologia::Ean13},
                {u"1234567", 0, Simbologia::Ean8},
                {u"1234506", 9, Simbologia::Ean8}};
    for (const auto &b : basi) {
        for (int ultima = 0; ultima <= 9; ++ultima) {
            const QString codice = QString::fromUtf16(b.senzaUltima) + QString::number(ultima);
            QTest::addRow("%s, controllo %d, ultima %d", qPrintable(NomeSimbologia(b.ean)),
                          b.giusta, ultima)
                << codice << (ultima == b.giusta ? b.ean : Simbologia::Code128) << b.giusta;
        }
    }
}

void TestLabels::cifraDiControlloZeroENove() {
    QFETCH(QString, codice);
    QFETCH(Simbologia, attesa);
    QFETCH(int, giusta);
    const bool ean = attesa != Simbologia::Code128;
    const QString ean13o8 = codice.size() == 13 ? u"EAN-13"_s : u"EAN-8"_s;
    const QString nota = ean ? QString()
                             : u"l'ultima cifra non è la cifra di controllo di un "_s + ean13o8 +
                                   u" (sarebbe "_s + QString::number(giusta) +
                                   u"): stampato come Code 128"_s;

    QCOMPARE(CifraDiControlloEan(codice), ean);
    const SceltaSimbologia scelta = ScegliSimbologia(codice);
    QCOMPARE(scelta.simbologia, attesa);
    QCOMPARE(scelta.motivo, QString());
    QCOMPARE(scelta.nota, nota);

    // The bars are the symbology chosen, and read back as the code.
    const Barre barre = CodificaBarre(codice);
    QCOMPARE(barre.simbologia, attesa);
    QCOMPARE(barre.nota, nota);
    QVERIFY(barre.valide());
    if (attesa == Simbologia::Ean13) QCOMPARE(barre.moduli, 113);
    if (attesa == Simbologia::Ean8) QCOMPARE(barre.moduli, 81);
    QImage immagine(barre.moduli * 3, 120, QImage::Format_Grayscale8);
    immagine.fill(Qt::white);
    QPainter p(&immagine);
    for (const QRectF &r : barre.rettangoli(barre.moduli * 3, 120))
        p.fillRect(r, Qt::black);
    p.end();
    QCOMPARE(LeggiCodiceInImmagine(immagine), codice);

    // On the sheet: bars either way, the note listed once for two labels.
    const QList<SchedaEtichetta> schede{{codice, u"Prova"_s, u"1"_s, 2}};
    const EtichettePreparate etichette = PreparaEtichette(FormatiStandard().at(0), 1, {}, schede);
    QCOMPARE(etichette.etichette, 2);
    QCOMPARE(etichette.senzaBarre, QStringList());
    QCOMPARE(etichette.comeCode128, ean ? QStringList() : QStringList{codice + u": "_s + nota});
}

void TestLabels::controlloDelFoglio_data() {
    QTest::addColumn<FormatoFoglio>("formato");
    QTest::addColumn<QString>("errore"); // part of the message; empty: the sheet is sound

    for (const FormatoFoglio &f : FormatiStandard())
        QTest::newRow(qPrintable(f.nome)) << f << QString();
    FormatoFoglio f = FormatiStandard().at(0);
    f.colonne = 4; // 280 mm
    QTest::newRow("troppo larga") << f << u"arrivano a 280 mm in larghezza"_s;
    f = FormatiStandard().at(3);
    f.spazioVerticale = 2.5; // 21.5 + 254 + 22.5
    QTest::newRow("troppo alta con gli spazi") << f << u"arrivano a 298 mm in altezza"_s;
    f = FormatiStandard().at(0);
    f.margineSinistro = 0.01;
    QTest::newRow("un centesimo di mm oltre il bordo") << f << u"210,01 mm"_s;
    f = FormatiStandard().at(0);
    f.colonne = 0;
    QTest::newRow("nessuna colonna") << f << u"almeno una colonna"_s;
    f = FormatiStandard().at(0);
    f.altezza = 8;
    QTest::newRow("etichette troppo piccole") << f << u"almeno 20 mm"_s;
    f = FormatiStandard().at(0);
    f.margineAlto = -1;
    QTest::newRow("margine negativo") << f << u"negativi"_s;
}

void TestLabels::controlloDelFoglio() {
    QFETCH(FormatoFoglio, formato);
    QFETCH(QString, errore);
    const QString esito = ControllaFormato(formato);
    QCOMPARE(esito.isEmpty(), errore.isEmpty());
    QVERIFY2(esito.contains(errore), qPrintable(esito));
    if (!errore.isEmpty()) return;
    // The usual sheets are centred and their last label ends inside the paper.
    const QRectF ultima = formato.posto(formato.etichette());
    QVERIFY(ultima.right() <= LarghezzaA4 + 1e-9 && ultima.bottom() <= AltezzaA4 + 1e-9);
    QVERIFY(qAbs(formato.margineSinistro - (LarghezzaA4 - ultima.right())) < 1e-6);
    QVERIFY(qAbs(formato.margineAlto - (AltezzaA4 - ultima.bottom())) < 1e-6);
}

void TestLabels::prezzoECopie_data() {
    QTest::addColumn<QString>("prezzo");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("giacenza");
    QTest::addColumn<int>("copie");
    QTest::newRow("intero") << u"12"_s << u"€ 12,00"_s << u"5"_s << 5;
    QTest::newRow("un decimale") << u"12,5"_s << u"€ 12,50"_s << u" 24 "_s << 24;
    QTest::newRow("quattro decimali") << u"0,1234"_s << u"€ 0,12"_s << u"0"_s << 0;
    QTest::newRow("migliaia") << u"1490"_s << u"€ 1.490,00"_s << u"0"_s << 0;
    QTest::newRow("non un numero") << u"12.50"_s << u"12.50"_s << u"-3"_s << 0;
    QTest::newRow("vuoto") << u""_s << u""_s << u"abc"_s << 0;
    QTest::newRow("giacenza enorme") << u"1"_s << u"€ 1,00"_s << u"1E9"_s << MassimoCopie;
}

void TestLabels::prezzoECopie() {
    QFETCH(QString, prezzo);
    QFETCH(QString, testo);
    QFETCH(QString, giacenza);
    QFETCH(int, copie);
    QCOMPARE(TestoPrezzo(prezzo), testo);
    QCOMPARE(CopieDaGiacenza(giacenza), copie);
}

void TestLabels::testiEntroLEtichetta_data() {
    QTest::addColumn<double>("dpi");
    for (const double dpi : {96.0, 150.0, 200.0, 300.0, 360.0, 600.0, 720.0, 1200.0})
        QTest::newRow(qPrintable(QString::number(dpi) + u" dpi"_s)) << dpi;
}

// A name cut to fit keeps its ellipsis whole on screen, paper and PDF: each
// one-line text is as wide as its box at most, at every resolution.
void TestLabels::testiEntroLEtichetta() {
    QFETCH(double, dpi);
    QList<SchedaEtichetta> schede = schedeDiProva();
    schede.append({u"A-12"_s,
                   u"Vite autofilettante testa svasata a croce acciaio inox A2 4,2 x 38 mm "
                   u"confezione da 200 pezzi"_s,
                   u"123456789012,5"_s, 1});
    schede.append(
        {u"8001234567897"_s, u"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"_s, u"1"_s, 1});
    QImage superficie(1, 1, QImage::Format_RGB32);
    superficie.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    superficie.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    for (const FormatoFoglio &formato : FormatiStandard()) {
        const EtichettePreparate e = PreparaEtichette(formato, 1, {}, schede);
        int tagliati = 0;
        for (const TestoPosizionato &t : e.report->PreparedPages().at(0).testi) {
            if (t.allineamento & Qt::TextWordWrap) continue;
            QFont f(t.carattere.nome);
            f.setPointSizeF(t.carattere.altezzaPx * 0.75);
            f.setBold(t.carattere.grassetto);
            f.setHintingPreference(QFont::PreferNoHinting);
            const double larghezza = QFontMetricsF(f, &superficie).horizontalAdvance(t.testo);
            QVERIFY2(larghezza <= t.riquadro.width() * dpi / 96.0,
                     qPrintable(formato.nome + u": «"_s + t.testo + u"» "_s +
                                QString::number(larghezza) + u" > "_s +
                                QString::number(t.riquadro.width() * dpi / 96.0)));
            if (t.testo.endsWith(u'…')) ++tagliati;
        }
        QVERIFY2(tagliati >= 2, qPrintable(formato.nome)); // the long names were cut
    }
}

void TestLabels::foglioStampatoELettoBarraPerBarra_data() {
    QTest::addColumn<FormatoFoglio>("formato");
    QTest::addColumn<int>("primaLibera");
    for (const FormatoFoglio &f : FormatiStandard())
        QTest::newRow(qPrintable(f.nome)) << f << 2;
    FormatoFoglio f;
    f.nome = u"griglia propria"_s;
    f.colonne = 2;
    f.righe = 3;
    f.larghezza = 90;
    f.altezza = 50;
    f.margineSinistro = 12;
    f.margineAlto = 20;
    f.spazioOrizzontale = 6;
    f.spazioVerticale = 4;
    // The cards run over to a second sheet.
    QTest::newRow("griglia propria, su due fogli") << f << 3;
}

void TestLabels::foglioStampatoELettoBarraPerBarra() {
    QFETCH(FormatoFoglio, formato);
    QFETCH(int, primaLibera);
    const QList<SchedaEtichetta> schede = schedeDiProva();
    const EtichettePreparate etichette = PreparaEtichette(formato, primaLibera, {}, schede);
    QCOMPARE(etichette.etichette, int(schede.size()));
    const int fogli = (primaLibera - 1 + int(schede.size()) - 1) / formato.etichette() + 1;
    QCOMPARE(etichette.fogli, fogli);

    QTemporaryDir cartella;
    const QString pdf = cartella.filePath(u"etichette.pdf"_s);
    QVERIFY(scriviPdf(etichette, pdf));
    const QList<QImage> pagine = pagineDelPdf(pdf, cartella.path());
    QCOMPARE(pagine.size(), fogli);
    // A4 at 300 dpi, give or take the rounding of the last row.
    QCOMPARE(pagine.first().width(), 2480);
    QVERIFY(qAbs(pagine.first().height() - 3508) <= 1);

    // The labels before the first free one are left blank.
    for (int n = 1; n < primaLibera; ++n)
        QVERIFY(tuttoBianco(pagine.first().copy(pixel(formato.posto(n)))));

    const auto &preparate = etichette.report->PreparedPages();
    QStringList senzaBarre;
    for (qsizetype i = 0; i < schede.size(); ++i) {
        const int indice = primaLibera - 1 + int(i);
        const int foglio = indice / formato.etichette();
        const QRectF posto = formato.posto(indice % formato.etichette() + 1);
        const QString codice = Rifila(schede[i].codice);
        const QString letto = LeggiCodiceInImmagine(pagine.at(foglio).copy(pixel(posto)));
        const QStringList testi = testiDellaPagina(preparate.at(std::size_t(foglio)), posto);
        const bool aTesto = testi.join(u'|').contains(u"Senza codice a barre"_s);
        // A code that can be a barcode on this label reads back as itself and
        // nothing else: one that cannot has no bars, and a note instead.
        const bool lungoPerEtichetta =
            codice.size() == 25 && posto.width() - 2 * 2 < 330 * ModuloMinimo;
        const bool attesoATesto =
            ScegliSimbologia(codice).simbologia == Simbologia::Nessuna || lungoPerEtichetta;
        QCOMPARE(aTesto, attesoATesto);
        if (attesoATesto) {
            QVERIFY2(letto.isEmpty(), qPrintable(letto));
            senzaBarre << (codice.isEmpty() ? u"(senza codice)"_s : codice);
        } else {
            QCOMPARE(letto, codice);
        }
        // The texts: the code, the name cut to fit, the price.
        if (!codice.isEmpty()) QVERIFY2(testi.contains(codice), qPrintable(testi.join(u'|')));
        const QString prezzo = TestoPrezzo(schede[i].prezzo);
        if (!prezzo.isEmpty()) QVERIFY(testi.contains(prezzo));
        bool nome = false;
        for (const QString &t : testi) {
            if (t == schede[i].nome) nome = true;
            if (t.endsWith(u'…') && schede[i].nome.startsWith(t.chopped(1))) nome = true;
        }
        QVERIFY2(nome, qPrintable(testi.join(u'|')));
    }
    QCOMPARE(etichette.senzaBarre.size(), senzaBarre.size());
    for (qsizetype i = 0; i < senzaBarre.size(); ++i)
        QVERIFY(etichette.senzaBarre[i].startsWith(senzaBarre[i] + u": "_s));
}

void TestLabels::cercaCodiceEsatto_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QList<qint64>>("posizioni");
    QTest::addColumn<QString>("errore");
    using P = QList<qint64>;
    QTest::newRow("uguale") << u"ABC-1"_s << P{1, 2} << QString();
    QTest::newRow("minuscole, spazi intorno") << u"  abc-1 "_s << P{1, 2} << QString();
    QTest::newRow("solo l'inizio") << u"ABC"_s << P{} << QString();
    QTest::newRow("più lungo") << u"ABC-10"_s << P{3} << QString();
    QTest::newRow("accentata maiuscola") << u"ÀX"_s << P{4} << QString();
    QTest::newRow("accentata minuscola non è la maiuscola") << u"àx"_s << P{} << QString();
    QTest::newRow("nessuna") << u"ZZZ"_s << P{} << QString();
    QTest::newRow("25 caratteri") << u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s << P{5} << QString();
    QTest::newRow("26 caratteri") << u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s << P{} << u"ha 26 caratteri"_s;
    QTest::newRow("vuoto") << u"  "_s << P{} << u"vuoto"_s;
    QTest::newRow("carattere impossibile") << u"AB€✓"_s << P{} << u"«✓»"_s;
}

void TestLabels::cercaCodiceEsatto() {
    QFETCH(QString, codice);
    QFETCH(QList<qint64>, posizioni);
    QFETCH(QString, errore);
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({
        SchedaDiProva({{Campo::Codice, u"ABC-1"_s}}),
        SchedaDiProva({{Campo::Codice, u"abc-1"_s}, {Campo::Nome, u"ABC-1"_s}}),
        SchedaDiProva({{Campo::Codice, u"ABC-10"_s}}),
        SchedaDiProva({{Campo::Codice, u"ÀX"_s}}),
        SchedaDiProva({{Campo::Codice, u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s}}),
        SchedaDiProva({{Campo::Nome, u"ZZZ"_s}}),
    }));
    QCOMPARE(CodiceNonValido(codice).isEmpty(), errore.isEmpty());
    QVERIFY2(CodiceNonValido(codice).contains(errore), qPrintable(CodiceNonValido(codice)));
    const EsitoCodice esito = CercaCodiceEsatto(cartella.archivio(), codice);
    QVERIFY(esito.riuscito);
    QCOMPARE(esito.posizioni, posizioni);
}

void TestLabels::schedeDellElencoLetteInUnaPassata() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));
    QList<SchedaEtichetta> schede;
    // In the list's order; a position past the end (the archive shrank) is left out.
    QVERIFY(LeggiSchedeEtichette(cartella.archivio(), {3, 1, 7}, schede));
    QCOMPARE(schede.size(), 2);
    TScheda tre = SchedaNumero(3);
    QCOMPARE(schede[0].codice, tre.testo(Campo::Codice));
    QCOMPARE(schede[0].nome, tre.testo(Campo::Nome));
    QCOMPARE(schede[0].prezzo, tre.testo(Campo::Prezzo));
    QCOMPARE(schede[0].copie, CopieDaGiacenza(tre.testo(Campo::Giacenza)));
    QCOMPARE(schede[1].codice, SchedaNumero(1).testo(Campo::Codice));
}

void TestLabels::scannerUnCodicePerInvio_data() {
    QTest::addColumn<QList<Passo>>("passi");
    QTest::addColumn<QStringList>("codici");
    QTest::addColumn<QString>("rimasto");
    using L = QList<Passo>;
    QTest::newRow("un codice e Invio")
        << L{{0, 5, u"8001234567890\n"_s}} << QStringList{u"8001234567890"_s} << QString();
    QTest::newRow("due codici di fila")
        << L{{0, 5, u"ART-1\nART-2\n"_s}} << QStringList{u"ART-1"_s, u"ART-2"_s} << QString();
    QTest::newRow("senza Invio, poi un altro dopo una pausa")
        << L{{0, 5, u"ART-1"_s}, {800, 5, u"ART-2\n"_s}} << QStringList{u"ART-2"_s} << QString();
    QTest::newRow("senza Invio, resta nella casella")
        << L{{0, 5, u"ART-1"_s}} << QStringList{} << u"ART-1"_s;
    QTest::newRow("a mano, lento, con una pausa a metà")
        << L{{0, 200, u"AR"_s}, {2000, 200, u"T-1\n"_s}} << QStringList{u"ART-1"_s} << QString();
    QTest::newRow("Invio a casella vuota o di spazi")
        << L{{0, 5, u"\n   \n"_s}} << QStringList{} << u"   "_s;
}

void TestLabels::scannerUnCodicePerInvio() {
    QFETCH(QList<Passo>, passi);
    QFETCH(QStringList, codici);
    QFETCH(QString, rimasto);

    QLineEdit casella;
    qint64 ora = 1000;
    auto *ingresso = new IngressoScanner(&casella, [&] { return ora; });
    QStringList letti;
    connect(ingresso, &IngressoScanner::codiceLetto, this, [&](const QString &c) { letti << c; });
    for (const Passo &p : passi) {
        ora += p.prima;
        for (QChar c : p.tasti) {
            if (c == u'\n')
                QTest::keyClick(&casella, Qt::Key_Return);
            else
                QTest::keyClicks(&casella, QString(c));
            ora += p.traTasti;
        }
    }
    QCOMPARE(letti, codici);
    QCOMPARE(casella.text(), rimasto);
}

void TestLabels::webcamLettaFuoriDalFiloDellInterfaccia() {
    LettoreWebcam lettore;
    QSignalSpy letti(&lettore, &LettoreWebcam::codiceLetto);
    QImage vuoto(1280, 720, QImage::Format_RGB32);
    vuoto.fill(Qt::gray);
    lettore.proponi(vuoto);
    lettore.proponi(FotogrammaConEtichetta(u"8001234567893"_s));
    QVERIFY(letti.wait(10000));
    QCOMPARE(letti.first().first().toString(), u"8001234567893"_s);

    // Going away while a frame is being read waits for it and delivers nothing.
    {
        LettoreWebcam breve;
        QSignalSpy nessuno(&breve, &LettoreWebcam::codiceLetto);
        breve.proponi(FotogrammaConEtichetta(u"ART-7"_s));
    }
    QCoreApplication::processEvents();
}

void TestLabels::finestraEtichette() {
    DialoghiFinti dialoghi;
    QTemporaryDir cartella;
    QList<SchedaEtichetta> schede{{u"ART-1"_s, u"Uno"_s, u"1"_s, 3},
                                  {u"Caffè"_s, u"Due"_s, u"2"_s, 0},
                                  {u"ART-3"_s, u"Tre"_s, u"3"_s, 40}};
    TfrmEtichette finestra(nullptr, schede, TfrmEtichette::Origine::Elenco);
    finestra.show();
    QCOMPARE(finestra.lblRiepilogo->text(), u"3 etichette su 1 foglio."_s);
    QVERIFY(!finestra.spnColonne->isEnabled());

    // As many as the stock: 43 labels from the 3rd of the first sheet of 24.
    finestra.optGiacenza->click();
    finestra.spnPrimaLibera->setValue(3);
    QCOMPARE(finestra.lblRiepilogo->text(), u"43 etichette su 2 fogli."_s);
    QCOMPARE(finestra.lblPrimaLibera->text(), u"riga 1, colonna 3"_s);
    QCOMPARE(
        QAccessible::queryAccessibleInterface(finestra.lblPrimaLibera)->text(QAccessible::Name),
        u"Posizione della prima etichetta libera: riga 1, colonna 3"_s);

    // A grid of one's own that does not fit on A4: said, nothing printed.
    finestra.cboFoglio->setCurrentIndex(finestra.cboFoglio->count() - 1);
    QVERIFY(finestra.spnColonne->isEnabled());
    finestra.spnColonne->setValue(4);
    QVERIFY(finestra.lblRiepilogo->text().contains(u"non stanno sul foglio A4"_s));
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QCOMPARE(dialoghi.mostrati().size(), 1);
    QCOMPARE(dialoghi.mostrati().last().genere, Genere::Avviso);
    QVERIFY(dialoghi.ultimo().contains(u"arrivano a 280 mm in larghezza"_s));
    QCOMPARE(dialoghi.stampeRichieste(), 0);
    finestra.spnColonne->setValue(3);

    // The code that cannot be a barcode is named first; No prints nothing.
    finestra.optUnaPerScheda->click();
    dialoghi.rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QCOMPARE(dialoghi.mostrati().last().genere, Genere::Domanda);
    QVERIFY(dialoghi.ultimo().contains(u"Caffè: il carattere «è»"_s));
    QCOMPARE(dialoghi.stampeRichieste(), 0);

    // Printed: to the PDF the print dialog was given.
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QCOMPARE(dialoghi.stampeRichieste(), 1);
    QCOMPARE(dialoghi.lavoriStampa(), QStringList{u"Etichette"_s});
    QVERIFY(QFileInfo(dialoghi.fileStampa()).size() > 0);

    // Saved as PDF through the file chooser, replacing the file whole.
    const QString pdf = cartella.filePath(u"Etichette.pdf"_s);
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    dialoghi.allaProssimaScelta(pdf);
    QTest::mouseClick(finestra.btnPdf, Qt::LeftButton);
    QCOMPARE(dialoghi.sceltePresentate().last().nome, u"Etichette.pdf"_s);
    QCOMPARE(dialoghi.mostrati().last().genere, Genere::Informazione);
    const QList<QImage> pagine = pagineDelPdf(pdf, cartella.path());
    QCOMPARE(pagine.size(), 1);
    const FormatoFoglio formato = finestra.formato();
    QVERIFY(tuttoBianco(pagine[0].copy(pixel(formato.posto(2)))));
    QCOMPARE(LeggiCodiceInImmagine(pagine[0].copy(pixel(formato.posto(3)))), u"ART-1"_s);
    QCOMPARE(LeggiCodiceInImmagine(pagine[0].copy(pixel(formato.posto(5)))), u"ART-3"_s);

    // A folder that cannot be written: the error is said, not success.
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    dialoghi.allaProssimaScelta(cartella.filePath(u"manca/Etichette.pdf"_s));
    QTest::mouseClick(finestra.btnPdf, Qt::LeftButton);
    QCOMPARE(dialoghi.mostrati().last().genere, Genere::Errore);

    // From the card window: one card, copies preset to its stock.
    TfrmEtichette dallaScheda(nullptr, {schede[2]}, TfrmEtichette::Origine::Scheda);
    QCOMPARE(dallaScheda.spnCopie->value(), 40);
    QCOMPARE(dallaScheda.lblRiepilogo->text(), u"40 etichette su 2 fogli."_s);
    QCOMPARE(dallaScheda.spnCopie->accessibleName(), u"Numero di copie"_s);
    TfrmEtichette senzaGiacenza(nullptr, {schede[1]}, TfrmEtichette::Origine::Scheda);
    QCOMPARE(senzaGiacenza.spnCopie->value(), 1);
}

// A mistyped EAN is named before printing; the sound one is not.
void TestLabels::finestraEanSbagliato() {
    DialoghiFinti dialoghi;
    const QList<SchedaEtichetta> schede{{u"8001234567041"_s, u"Sbagliato"_s, u"1"_s, 1},
                                        {u"12345670"_s, u"Giusto"_s, u"2"_s, 1}};
    TfrmEtichette finestra(nullptr, schede, TfrmEtichette::Origine::Elenco);
    finestra.show();
    dialoghi.rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QCOMPARE(dialoghi.mostrati().size(), 1);
    QCOMPARE(dialoghi.mostrati().last().genere, Genere::Domanda);
    QVERIFY(dialoghi.ultimo().contains(
        u"\n8001234567041: l'ultima cifra non è la cifra di controllo di un EAN-13 (sarebbe 0): "
        u"stampato come Code 128\n"_s));
    QVERIFY(!dialoghi.ultimo().contains(u"\n12345670:"_s));
    QCOMPARE(dialoghi.stampeRichieste(), 0);

    dialoghi.rispondi(Piattaforma::Risposta::Si);
    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QCOMPARE(dialoghi.stampeRichieste(), 1);
}

void TestLabels::finestraEtichetteDaTastiera_data() {
    QTest::addColumn<bool>("dallaScheda");
    QTest::addColumn<QString>("schede"); // what the window says it prints
    QTest::newRow("dalla scheda") << true << u"Scheda: A-12 - Dado esagonale M8"_s;
    QTest::newRow("da un elenco") << false << u"Schede dell'elenco: 2"_s;
}

// Used with the keyboard alone: every shortcut letter leads to one control,
// Enter shows the preview or presses the button that has the focus, Esc closes.
void TestLabels::finestraEtichetteDaTastiera() {
    QFETCH(bool, dallaScheda);
    QFETCH(QString, schede);
    DialoghiFinti dialoghi;
    QList<SchedaEtichetta> elenco{{u" A-12 "_s, u"Dado esagonale M8"_s, u"0,9"_s, 3},
                                  {u"8001234567897"_s, u"Vite"_s, u"12,5"_s, 1}};
    if (dallaScheda) elenco.removeLast();
    TfrmEtichette finestra(nullptr, elenco,
                           dallaScheda ? TfrmEtichette::Origine::Scheda
                                       : TfrmEtichette::Origine::Elenco);
    finestra.show();
    QApplication::setActiveWindow(&finestra);
    QVERIFY(QTest::qWaitForWindowActive(&finestra));
    QCOMPARE(finestra.lblSchede->text(), schede);
    QCOMPARE(QAccessible::queryAccessibleInterface(finestra.lblSchede)->text(QAccessible::Name),
             schede);

    int lettere = 0;
    QCOMPARE(ScorciatoieDoppie(&finestra, &lettere), QStringList());
    QVERIFY(lettere >= 10);

    // Enter in a box: the preview.
    QWidget *casella =
        dallaScheda ? static_cast<QWidget *>(finestra.spnCopie) : finestra.spnPrimaLibera;
    casella->setFocus();
    QTest::keyClick(casella, Qt::Key_Return);
    QCOMPARE(dialoghi.finestreEseguite(), 1);
    QVERIFY(finestra.isVisible());
    // Enter on Chiudi closes the window, and shows no preview.
    finestra.btnChiudi->setFocus();
    QTest::keyClick(finestra.btnChiudi, Qt::Key_Return);
    QVERIFY(!finestra.isVisible());
    QCOMPARE(dialoghi.finestreEseguite(), 1);
    // Esc closes it too.
    finestra.show();
    QApplication::setActiveWindow(&finestra);
    QVERIFY(QTest::qWaitForWindowActive(&finestra));
    QTest::keyClick(finestra.cboFoglio, Qt::Key_Escape);
    QVERIFY(!finestra.isVisible());
}

void TestLabels::codiceABarreNellaScheda_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<int>("risposta"); // to the new-card question: 0 none, 1 Yes, 2 No
    QTest::addColumn<QString>("posizione");
    QTest::addColumn<QString>("codiceInScheda");
    QTest::addColumn<int>("righeElenco"); // lines of the search list shown, or 0
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("una scheda") << u"art-1"_s << 0 << u"1"_s << u"ART-1"_s << 0 << QString();
    QTest::newRow("EAN") << u" 8001234567893 "_s << 0 << u"4"_s << u"8001234567893"_s << 0
                         << QString();
    QTest::newRow("due schede: il loro elenco")
        << u"ART-2"_s << 0 << QString() << QString() << 2 << QString();
    QTest::newRow("nessuna, nuova scheda") << u"ZZ-9"_s << 1 << QString() << u"ZZ-9"_s << 0
                                           << u"Nessuna scheda ha il codice «ZZ-9»."_s;
    QTest::newRow("nessuna, niente") << u"ZZ-9"_s << 2 << QString() << QString() << 0
                                     << u"Nessuna scheda ha il codice «ZZ-9»."_s;
    QTest::newRow("26 caratteri") << u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s << 0 << QString() << QString()
                                  << 0 << u"ha 26 caratteri"_s;
}

void TestLabels::codiceABarreNellaScheda() {
    QFETCH(QString, codice);
    QFETCH(int, risposta);
    QFETCH(QString, posizione);
    QFETCH(QString, codiceInScheda);
    QFETCH(int, righeElenco);
    QFETCH(QString, messaggio);
    SchedaAperta s;
    QVERIFY(QTest::qWaitForWindowActive(s.finestra.get()));
    // F3 takes the focus to the box, from wherever it is.
    QTest::keyClick(s.finestra.get(), Qt::Key_F3);
    QLineEdit *barre = s.box("txtCodiceABarre");
    QCOMPARE(QApplication::focusWidget(), barre);
    if (risposta)
        s.dialoghi.rispondi(risposta == 1 ? Piattaforma::Risposta::Si : Piattaforma::Risposta::No);
    int righe = 0;
    if (righeElenco)
        s.dialoghi.allaProssimaFinestra([&](QDialog *d) {
            righe = int(static_cast<TfrmTrovaMagazzino *>(d)->lstRecords()->righe().size());
            d->reject();
        });
    QTest::keyClicks(barre, codice);
    QTest::keyClick(barre, Qt::Key_Return);

    QCOMPARE(barre->text(), QString());
    QCOMPARE(righe, righeElenco);
    QCOMPARE(s.posizione(), posizione);
    QCOMPARE(s.box("txtCodice")->text(), codiceInScheda);
    if (messaggio.isEmpty())
        QVERIFY2(s.dialoghi.mostrati().isEmpty(), qPrintable(s.dialoghi.ultimo()));
    else
        QVERIFY2(s.dialoghi.ultimo().contains(messaggio), qPrintable(s.dialoghi.ultimo()));
}

void TestLabels::f3DaOgniCasella_data() {
    QTest::addColumn<QString>("casella");
    for (const char *nome : {"txtCodice", "txtCosto", "txtNome", "txtGiacenza", "txtAvviso",
                             "txtTipologia", "txtNote", "txtPrezzo"})
        QTest::newRow(nome) << QString::fromLatin1(nome);
}

void TestLabels::f3DaOgniCasella() {
    QFETCH(QString, casella);
    SchedaAperta s;
    QVERIFY(QTest::qWaitForWindowActive(s.finestra.get()));
    s.finestra->cmdPrimoClick();
    QLineEdit *da = s.box(casella.toLatin1().constData());
    da->setFocus();
    QTest::keyClick(da, Qt::Key_F3);
    QCOMPARE(QApplication::focusWidget(), s.box("txtCodiceABarre"));
}

void TestLabels::rafficaDelloScannerInUnImporto_data() {
    QTest::addColumn<QString>("casella");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("posizione"); // the card opened by the code
    QTest::newRow("costo, EAN") << u"txtCosto"_s << u"8001234567893"_s << u"4"_s;
    QTest::newRow("prezzo, lettere") << u"txtPrezzo"_s << u"ART-1"_s << u"1"_s;
    QTest::newRow("giacenza") << u"txtGiacenza"_s << u"8001234567893"_s << u"4"_s;
    QTest::newRow("avviso") << u"txtAvviso"_s << u"8001234567893"_s << u"4"_s;
}

void TestLabels::rafficaDelloScannerInUnImporto() {
    QFETCH(QString, casella);
    QFETCH(QString, codice);
    QFETCH(QString, posizione);
    SchedaAperta s;
    QVERIFY(QTest::qWaitForWindowActive(s.finestra.get()));
    s.finestra->cmdUltimoClick(); // card 4; the code of card 1 is scanned from here too
    s.finestra->cmdPrimoClick();
    const QByteArray prima = s.cartella.leggiArchivio();
    QLineEdit *box = s.box(casella.toLatin1().constData());
    const QString testoPrima = box->text();
    box->setFocus();
    box->selectAll();
    // A scanner types the whole code and Enter within milliseconds.
    QTest::keyClicks(box, codice);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(s.posizione(), posizione);
    if (posizione == u"1") QCOMPARE(box->text(), testoPrima);
    // Nothing was asked or saved: the card on screen kept its amounts.
    QVERIFY2(s.dialoghi.mostrati().isEmpty(), qPrintable(s.dialoghi.ultimo()));
    QCOMPARE(s.cartella.leggiArchivio(), prima);

    // The same digits typed by hand, a key at a time, stay in the box.
    s.finestra->cmdPrimoClick();
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, u"123"_s, Qt::NoModifier, 60);
    QTest::qWait(60);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(s.posizione(), u"1"_s);
    QVERIFY2(box->text().startsWith(u"123"_s), qPrintable(box->text()));
}

void TestLabels::invioNelCodiceDellaRicerca() {
    SchedaAperta s;
    // Enter on a code in the search window's code box opens its card.
    s.dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *codice = d->findChild<QLineEdit *>(u"txtCodice"_s);
        QTest::keyClicks(codice, u"8001234567893"_s);
        QTest::keyClick(codice, Qt::Key_Return);
    });
    s.finestra->btnTrovaClick();
    QCOMPARE(s.posizione(), u"4"_s);
    QCOMPARE(s.box("txtNome")->text(), u"Colla"_s);

    // On an empty box Enter still moves to the next box; a code no card has
    // offers a new card with it.
    s.dialoghi.rispondi(Piattaforma::Risposta::Si);
    s.dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *codice = d->findChild<QLineEdit *>(u"txtCodice"_s);
        codice->setFocus();
        QTest::keyClick(codice, Qt::Key_Return);
        QCOMPARE(d->focusWidget(), d->findChild<QLineEdit *>(u"txtCosto"_s));
        QTest::keyClicks(codice, u"NUOVO-1"_s);
        QTest::keyClick(codice, Qt::Key_Return);
    });
    s.finestra->btnTrovaClick();
    QCOMPARE(s.posizione(), QString());
    QCOMPARE(s.box("txtCodice")->text(), u"NUOVO-1"_s);
}

void TestLabels::etichetteDallaSchedaEDaUnElenco() {
    SchedaAperta s;
    s.finestra->cmdPrimoClick();
    // The card: its copies preset to its stock.
    int copie = 0;
    s.dialoghi.guardaProssimaFinestra(
        [&](QDialog *d) { copie = static_cast<TfrmEtichette *>(d)->spnCopie->value(); });
    s.finestra->findChild<QToolButton *>(u"btnEtichette"_s)->click();
    QCOMPARE(copie, 12);

    // A list: every listed card, in the list's order.
    QStringList codici;
    s.dialoghi.allaProssimaFinestra([&](QDialog *d) {
        d->findChild<QPushButton *>(u"btnCerca"_s)->click();
        d->findChild<QPushButton *>(u"btnEtichette"_s)->click();
        d->reject();
    });
    s.dialoghi.guardaProssimaFinestra([&](QDialog *d) {
        for (const SchedaEtichetta &e : static_cast<TfrmEtichette *>(d)->schede())
            codici << e.codice;
    });
    s.finestra->btnTrovaClick();
    QCOMPARE(codici, (QStringList{u"8001234567893"_s, u"ART-1"_s, u"ART-2"_s, u"art-2"_s}));
}

void TestLabels::codiceLettoDallaWebcam() {
    Piattaforma::ImpostaFabbricaVideocamera([] {
        return std::make_unique<VideocameraConEtichetta>(FotogrammaConEtichetta(u"ART-1"_s));
    });
    SchedaAperta s;
    QString letto;
    s.dialoghi.allaProssimaFinestra([&](QDialog *d) {
        auto *webcam = static_cast<TfrmWebCam *>(d);
        webcam->btnLeggiCodice->click();
        // Reading goes on off the user-interface thread; the window closes on a code.
        QTRY_VERIFY_WITH_TIMEOUT(!webcam->isVisible(), 15000);
        letto = webcam->lblCodiceLetto->text();
        QVERIFY(!webcam->webcamAccesa());
    });
    s.finestra->btnAcquisisciFotoClick();
    Piattaforma::ImpostaFabbricaVideocamera({});
    QCOMPARE(letto, u"Codice letto: ART-1"_s);
    QCOMPARE(s.posizione(), u"1"_s);
    QCOMPARE(s.box("txtNome")->text(), u"Vite"_s);
}

QTEST_MAIN(TestLabels)
#include "tst_labels.moc"

// A list's labels read from the archive in use, the folder's or the server's.
void TestLabels::etichetteSuDueArchivi() {
    QFETCH(QString, storage);
    server.riprendi();
    ArchivioInUso archivio(storage, server, {SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)});
    QVERIFY(archivio.pronto());
    QList<SchedaEtichetta> schede;
    QVERIFY(LeggiSchedeEtichette(DepositoCorrente(), {3, 1, 7}, schede));
    QCOMPARE(schede.size(), 2);
    const TScheda tre = SchedaNumero(3);
    QCOMPARE(schede[0].codice, tre.testo(Campo::Codice));
    QCOMPARE(schede[0].nome, tre.testo(Campo::Nome));
    QCOMPARE(schede[0].prezzo, tre.testo(Campo::Prezzo));
    QCOMPARE(schede[0].copie, CopieDaGiacenza(tre.testo(Campo::Giacenza)));
    QCOMPARE(schede[1].codice, SchedaNumero(1).testo(Campo::Codice));

    DialoghiFinti dialoghi;
    dialoghi.guardaProssimaFinestra([](QDialog *d) { QVERIFY(qobject_cast<TfrmEtichette *>(d)); });
    ApriEtichetteElenco(nullptr, {2});
    QCOMPARE(dialoghi.finestreEseguite(), 1);
    QVERIFY(dialoghi.testi().isEmpty());
}

// A server that does not answer: its message, and no labels window.
void TestLabels::etichetteServerFermo() {
    server.riprendi();
    ArchivioInUso archivio(u"server"_s, server, {SchedaNumero(1)});
    QVERIFY(archivio.pronto());
    QVERIFY(server.server().ferma(true));
    DialoghiFinti dialoghi;
    ApriEtichetteElenco(nullptr, {1});
    QCOMPARE(dialoghi.finestreEseguite(), 0);
    QCOMPARE(dialoghi.testi().size(), 1);
    QVERIFY(dialoghi.ultimo().startsWith(u"Attenzione"_s));
    QVERIFY(server.server().avvia());
}
