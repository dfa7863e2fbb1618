#include "DialoghiFinti.h"
#include "Fixture.h"
#include "ServerDiProva.h"
#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "card/TfrmMagazzino.h"
#include "labels/CercaCodice.h"
#include "lists/TfrmDaSaldare.h"
#include "lists/TfrmMenuRiepilogo.h"
#include "lists/TfrmRiepilogo.h"
#include "lists/TfrmSottoscorta.h"
#include "lists/TfrmTrovaMagazzino.h"
#include "passes/Passate.h"
#include "passes/VistaRighe.h"
#include "report/TfrxReport.h"
#include "server/CopiaLocale.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoCorrente.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

using namespace Qt::StringLiterals;
using Genere = DialoghiFinti::Genere;

using Caselle = QList<std::pair<const char *, QString>>;

namespace {

const QString NESSUNA_VOCE = u"Ricerca non applicabile: la lista non contiene nessuna voce."_s;

QStringList righeDi(const QListView *lista) {
    QStringList righe;
    for (int i = 0; i < lista->model()->rowCount(); ++i)
        righe << lista->model()->index(i, 0).data().toString();
    return righe;
}

// The codes at the start of search or under-stock lines.
QStringList codiciDi(const QListView *lista) {
    QStringList codici;
    for (const QString &riga : righeDi(lista))
        codici << riga.mid(5, 22).trimmed();
    return codici;
}

QStringList codiciDi(const Righe &righe) {
    QStringList codici;
    for (qsizetype i = 0; i < righe.size(); ++i)
        codici << righe.testo(i).mid(5, 22).trimmed();
    return codici;
}

TScheda carta(const QString &codice, std::initializer_list<std::pair<Campo, QString>> altri = {}) {
    TScheda s = SchedaDiProva(altri);
    s.impostaTesto(Campo::Codice, codice);
    return s;
}

} // namespace

class TestElenchi : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CartellaDiProva> cartella;
    std::unique_ptr<DialoghiFinti> dialoghi;
    // The throwaway cluster of the cases run on the server, started once.
    std::unique_ptr<ServerDiProva> server;
    std::unique_ptr<Connessione> connessione;
    QTemporaryDir copie;

    // Puts `schede` in use on the storage the row names ("copia": the server
    // with a copy at the workstation). On the server the folder then holds
    // other cards, so a pass that read the file would show.
    void inUso(const QString &tipo, const QList<TScheda> &schede);
    static QByteArray archivioDi(const QList<TScheda> &schede) {
        QByteArray byte;
        for (const TScheda &s : schede)
            byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
        return byte;
    }
    static void entrambi() {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("file") << u"file"_s;
        QTest::newRow("server") << u"server"_s;
        QTest::newRow("copia") << u"copia"_s;
    }

    template <class T = QWidget> static T *figlio(QWidget *w, const char *nome) {
        return w->findChild<T *>(QLatin1String(nome));
    }
    // Shown and active, so that focus moves as for the user.
    static void mostra(QWidget &w) {
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    static VistaRighe *lista(QWidget *w) { return figlio<VistaRighe>(w, "lstRecords"); }
    static void clic(QWidget *w, const char *nome) {
        auto *b = figlio<QAbstractButton>(w, nome);
        QVERIFY2(b, nome);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    static void doppioClic(VistaRighe *l, int riga) {
        const QRect r = l->visualRect(l->model()->index(riga, 0));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, r.center());
    }
    // Types into the search boxes and presses Cerca.
    static void cerca(TfrmTrovaMagazzino &f,
                      const QList<std::pair<const char *, QString>> &caselle) {
        for (const auto &[nome, testo] : caselle) {
            auto *box = figlio<QLineEdit>(&f, nome);
            box->setFocus();
            // QTest types ASCII only; other letters go in as typed by an input method.
            bool ascii = true;
            for (QChar c : testo)
                ascii = ascii && c.unicode() < 0x80;
            if (ascii)
                QTest::keyClicks(box, testo);
            else
                box->insert(testo);
        }
        clic(&f, "btnCerca");
    }

  private slots:
    void init();
    void cleanup();

    // Shared mechanics
    void righeAdattate();
    void ordinamento_data();
    void ordinamento();
    void rigaCheIniziaUnAltraPrima_data();
    void rigaCheIniziaUnAltraPrima();
    void finestreIngrandite_data();
    void finestreIngrandite();
    void numeriLettiComeLaRegola_data();
    void numeriLettiComeLaRegola();
    void numeriScrittiELettiComeLaRegola();
    void testoTotale_data();
    void testoTotale();

    // Search
    void ricerca_data();
    void ricerca();
    void finestraRicerca();
    void archivioMancanteCreato();
    void ricercaSenzaArchivio();
    void trovaSuccessiva();
    void stampaQuarantaRighe();
    void avanzamentoDiUnaPassataLunga();
    void passateInDuePartiComeUna();
    void ricercaMentreSiScrive();

    // Opening a card
    void doppioClicApreLaSchedaDellaRiga();
    void archivioCambiatoDopoIlRiempimento();
    void righeUgualiPrimaSchedaCambiata_data();
    void righeUgualiPrimaSchedaCambiata();
    void invioApreLaScheda();
    void senzaEtichettaMagazzinoNessunaScheda();

    // Under-stock and unpaid
    void sottoscorta_data();
    void sottoscorta();
    void sottoscortaSaltaLeSchedeIllegibili();
    void daSaldare();
    void valoreDaSaldare_data();
    void valoreDaSaldare();
    void finestreDallaScheda();
    void elenchiSenzaArchivio();

    // Inventory
    void inventarioCategoria_data();
    void inventarioCategoria();
    void inventarioValoriETotale();
    void inventarioSaltaLeSchedeIllegibili();
    void schedeEscluseAVideoEInStampa_data();
    void schedeEscluseAVideoEInStampa();
    void inventarioDalPrompt();
    void promptETastiera();
    void inventarioTrovaEStampa();

    // The archive on a server
    void ricercaSuEntrambi_data();
    void ricercaSuEntrambi();
    void elenchiSuEntrambi_data();
    void elenchiSuEntrambi();
    void finestraRicercaSuEntrambi_data();
    void finestraRicercaSuEntrambi();
    void serverFermatoDuranteUnaPassata();
    void serverFermatoFinestre_data();
    void serverFermatoFinestre();
    void serverMuto();
    void indiceSottoscorta();
    void ordineDelServer();
    void cleanupTestCase();
};

void TestElenchi::init() {
    cartella = std::make_unique<CartellaDiProva>();
    dialoghi = std::make_unique<DialoghiFinti>();
}

void TestElenchi::cleanup() {
    ImpostaDepositoCorrente(nullptr, {});
    AvanzamentoPassata::impostaSoglia(300);
    dialoghi.reset();
    cartella.reset();
}

// ---- Shared mechanics -------------------------------------------------------

void TestElenchi::righeAdattate() {
    // Long codes, names and suppliers are cut; short fields are padded; the
    // last column is only trimmed.
    const TScheda s = carta(u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s,
                            {{Campo::Nome, u"Vite autofilettante a testa svasata piana"_s},
                             {Campo::Tipologia, u"Ferramenta"_s},
                             {Campo::Giacenza, u"12"_s},
                             {Campo::Pagato, u"Sì"_s},
                             {Campo::DataSca, u"01/02/2027"_s},
                             {Campo::Costo, u"3,50"_s},
                             {Campo::Ditta, u"Ferramenta Rossi e Figli S.p.A."_s}});
    QCOMPARE(FormatoTrova().testo(s),
             u"Cod. ABCDEFGHIJKLMNOPQRSTUV  Vite autofilettante a testa svasat  Cat. Ferramenta "
             "             Giac. 12    Pagato: Sì  Scad. 01/02/2027  Costo: € 3,50"_s);
    QCOMPARE(FormatoDaSaldare().testo(s),
             u"Cod. ABCDEFGHIJKLMNOPQRST  Vite autofilettante a testa sv  Ferramenta           "
             " Giac. 12    Ferramenta Rossi e Figli  Scad. 01/02/2027  Costo: € 3,50"_s);
    std::string inventario;
    FormatoInventario().costruisci(s, inventario, "42");
    QCOMPARE(Cp1252::decodifica(inventario.data(), qsizetype(inventario.size())),
             u"ABCDEFGHIJKLMNOPQRSTUVWXY  Vite autofilettante a testa svasata piana   Scad. "
             "01/02/2027  Costo: € 3,50          Giacenza: 12          Valore: € 42"_s);
    QCOMPARE(AdattaCampo(u"  ab \t"_s, 4), u"ab  "_s);
    QCOMPARE(AdattaCampo(u"abcdef"_s, 4), u"abcd"_s);
}

void TestElenchi::ordinamento_data() {
    QTest::addColumn<QStringList>("codici");
    QTest::addColumn<QStringList>("attesi");
    // The blank after A1 sorts before the digit 0; case is ignored for a-z only.
    QTest::newRow("A1 prima di A10")
        << QStringList{u"A10"_s, u"A1"_s} << QStringList{u"A1"_s, u"A10"_s};
    QTest::newRow("B1 prima di b2")
        << QStringList{u"b2"_s, u"B1"_s} << QStringList{u"B1"_s, u"b2"_s};
    // '_' lies between Z and a: with a-z weighed as A-Z it follows every letter.
    QTest::newRow("trattino basso dopo le lettere")
        << QStringList{u"A_"_s, u"AZ1"_s, u"Az"_s} << QStringList{u"Az"_s, u"AZ1"_s, u"A_"_s};
    QTest::newRow("lettere accentate per codice")
        << QStringList{u"é"_s, u"€"_s, u"z"_s} << QStringList{u"z"_s, u"é"_s, u"€"_s};
}

void TestElenchi::ordinamento() {
    QFETCH(QStringList, codici);
    QFETCH(QStringList, attesi);
    Righe righe;
    for (const QString &c : codici)
        righe.aggiungi(FormatoTrova().testo(carta(c)), 1);
    righe.ordina();
    QCOMPARE(codiciDi(righe), attesi);
}

void TestElenchi::rigaCheIniziaUnAltraPrima_data() {
    QTest::addColumn<QStringList>("costi");
    // Equal over the shorter line: the shorter comes first, whatever the file order.
    QTest::newRow("5 poi 5,5") << QStringList{u"5"_s, u"5,5"_s};
    QTest::newRow("5,5 poi 5") << QStringList{u"5,5"_s, u"5"_s};
}

void TestElenchi::rigaCheIniziaUnAltraPrima() {
    QFETCH(QStringList, costi);
    Righe righe;
    for (const QString &costo : costi)
        righe.aggiungi(FormatoTrova().testo(carta(u"V1"_s, {{Campo::Costo, costo}})), 1);
    righe.ordina();
    QVERIFY(righe.testo(0).endsWith(u"€ 5"_s));
    QVERIFY(righe.testo(1).endsWith(u"€ 5,5"_s));
    QVERIFY(righe.testo(1).startsWith(righe.testo(0)));
}

void TestElenchi::finestreIngrandite_data() {
    QTest::addColumn<QString>("finestra");
    for (const char *nome : {"trova", "sottoscorta", "da saldare", "inventario"})
        QTest::newRow(nome) << QString::fromLatin1(nome);
}

void TestElenchi::finestreIngrandite() {
    // Long lines of every kind: a long code, name, supplier and value.
    QFETCH(QString, finestra);
    const QString lungo = QString(40, u'W');
    cartella->scriviArchivio(ArchivioDi({carta(lungo, {{Campo::Nome, lungo},
                                                       {Campo::Tipologia, lungo},
                                                       {Campo::Ditta, lungo},
                                                       {Campo::Giacenza, u"-12345"_s},
                                                       {Campo::Avviso, u"0"_s},
                                                       {Campo::Pagato, u"No"_s},
                                                       {Campo::DataSca, u"31/12/2099"_s},
                                                       {Campo::Costo, u"123456,1234"_s}})}));
    std::unique_ptr<QDialog> f;
    if (finestra == u"trova") {
        auto *t = new TfrmTrovaMagazzino;
        f.reset(t);
        t->show();
        cerca(*t, {});
    } else if (finestra == u"sottoscorta") {
        f = std::make_unique<TfrmSottoscorta>();
    } else if (finestra == u"da saldare") {
        f = std::make_unique<TfrmDaSaldare>();
    } else {
        f = std::make_unique<TfrmRiepilogo>(nullptr, QString());
    }
    f->showNormal();
    VistaRighe *l = lista(f.get());
    QCOMPARE(l->righe().size(), 1);
    const QString riga = l->righe().testo(0);
    auto intera = [l, &riga] {
        const QFont carattere = l->modello()->index(0).data(Qt::FontRole).value<QFont>();
        return QFontMetricsF(carattere).horizontalAdvance(riga) <= l->viewport()->width();
    };
    auto dentro = [&f](const char *nome) {
        QWidget *w = figlio(f.get(), nome);
        return f->rect().contains(QRect(w->mapTo(f.get(), QPoint(0, 0)), w->size()));
    };
    // At their design size the small windows keep 12-point lines, scrolled sideways.
    if (finestra != u"inventario") {
        QCOMPARE(f->size(), QSize(862, 560));
        QCOMPARE(l->modello()->index(0).data(Qt::FontRole).value<QFont>().pointSizeF(), 12.0);
        QVERIFY(!intera());
    }
    const int larga = l->width();
    const int prima = f->width();

    // Enlarged to a laptop screen: the list grows with it and the whole line shows.
    f->resize(1366, 740);
    QCOMPARE(l->width() - larga, 1366 - prima);
    QVERIFY(intera());
    QVERIFY(l->modello()->index(0).data(Qt::FontRole).value<QFont>().pointSizeF() >= 9.0);
    QVERIFY(dentro("btnStampa"));
    QVERIFY(dentro("btnTrova"));
    QCOMPARE(f->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QVERIFY(f->windowFlags() & Qt::WindowMaximizeButtonHint);
}

void TestElenchi::numeriLettiComeLaRegola_data() {
    QTest::addColumn<QString>("testo");
    for (const char *t :
         {"5", "-3", "+4",  "2,5",   ",5",  "5,", " 7 ", "0",   "1e3", "1,5E-2",           "",
          " ", ",",  "2.5", "1,2,3", "12a", "e5", "1e",  "--1", "1 2", "99999999999999999"})
        QTest::newRow(t) << QString::fromLatin1(t);
}

void TestElenchi::numeriLettiComeLaRegola() {
    QFETCH(QString, testo);
    const QByteArray byte = testo.toLatin1();
    QCOMPARE(LeggiNumeroGrezzo(std::string_view(byte.constData(), std::size_t(byte.size()))),
             LeggiNumero(testo));
}

void TestElenchi::numeriScrittiELettiComeLaRegola() {
    QList<double> valori{0.0,
                         -0.0,
                         1.0,
                         -5.0,
                         0.45,
                         25.0,
                         1e14,
                         1e15,
                         1.5e15,
                         1e-5,
                         1e-6,
                         -1.25e-7,
                         0.1 + 0.2,
                         123456789012345.0,
                         1234.56789,
                         1e300,
                         -1e-300,
                         1.5e308,
                         -std::numeric_limits<double>::max(),
                         std::numeric_limits<double>::denorm_min(),
                         -2.5e-310,
                         std::numeric_limits<double>::min()};
    QRandomGenerator caso(11);
    for (int i = 0; i < 2000; ++i) {
        // Stock times cost, as the inventory computes them, and odd magnitudes.
        valori << double(caso.bounded(-50, 5000)) * (caso.bounded(100000) / 100.0);
        valori << (caso.generateDouble() - 0.5) * std::pow(10.0, caso.bounded(-8, 18));
        // Any double at all, from its bits.
        const quint64 bit = caso.generate64();
        double qualsiasi;
        std::memcpy(&qualsiasi, &bit, sizeof qualsiasi);
        valori << qualsiasi;
    }
    for (double v : valori) {
        std::string testo;
        ScriviNumeroGrezzo(v, testo);
        QCOMPARE(QString::fromStdString(testo), ScriviNumero(v));
    }
    // Reading, on random amounts of up to 22 digits: the quick way and the
    // long way give the same double.
    for (int i = 0; i < 3000; ++i) {
        std::string testo = caso.bounded(4) ? "" : "-";
        for (int c = caso.bounded(0, 12); c > 0; --c)
            testo += char('0' + caso.bounded(10));
        testo += ',';
        for (int c = caso.bounded(0, 11); c > 0; --c)
            testo += char('0' + caso.bounded(10));
        QCOMPARE(LeggiNumeroGrezzo(testo), LeggiNumero(QString::fromStdString(testo)));
    }
}

void TestElenchi::testoTotale_data() {
    QTest::addColumn<double>("totale");
    QTest::addColumn<QString>("testo");
    QTest::newRow("zero") << 0.0 << u"€ 0,00"_s;
    QTest::newRow("un decimale") << 1234.5 << u"€ 1234,50"_s;
    QTest::newRow("tre decimali") << 12.345 << u"€ 12,345"_s;
    QTest::newRow("arrotondato a quattro") << 1234.56789 << u"€ 1234,5679"_s;
    QTest::newRow("negativo") << -5.0 << u"€ -5,00"_s;
    QTest::newRow("0,1 + 0,2") << 0.1 + 0.2 << u"€ 0,30"_s;
    QTest::newRow("10 + 2,5") << 12.5 << u"€ 12,50"_s;
}

void TestElenchi::testoTotale() {
    QFETCH(double, totale);
    QFETCH(QString, testo);
    QCOMPARE(TestoTotale(totale), testo);
}

// ---- Search -----------------------------------------------------------------

void TestElenchi::ricerca_data() {
    QTest::addColumn<Caselle>("caselle");
    QTest::addColumn<QStringList>("attesi");
    using C = Caselle;
    QTest::newRow("tutte vuote") << C{} << QStringList{u"A1"_s, u"A2"_s, u"A3"_s, u"A4"_s};
    QTest::newRow("maiuscole") << C{{"txtNome", u"VITE"_s}} << QStringList{u"A1"_s};
    QTest::newRow("accentate: solo A-Z cambiano") << C{{"txtNome", u"CAFFÈ"_s}} << QStringList{};
    QTest::newRow("accentata minuscola") << C{{"txtNome", u"CAFFè"_s}} << QStringList{u"A2"_s};
    QTest::newRow("spazio iniziale") << C{{"txtNome", u" legno"_s}} << QStringList{u"A1"_s};
    // Not filled, yet a match: one match is enough for one filled box.
    QTest::newRow("casella di soli spazi")
        << C{{"txtNome", u"nulla"_s}, {"txtNote", u"  "_s}} << QStringList{u"A3"_s};
    QTest::newRow("due caselle, una corrisponde")
        << C{{"txtNome", u"vite"_s}, {"txtDitta", u"bianchi"_s}} << QStringList{};
    QTest::newRow("due caselle, entrambe")
        << C{{"txtNome", u"vite"_s}, {"txtDitta", u"rossi"_s}} << QStringList{u"A1"_s};
    QTest::newRow("categoria e costo")
        << C{{"txtTipologia", u"vit"_s}, {"txtCosto", u"2,5"_s}} << QStringList{u"A4"_s};
    QTest::newRow("nessuna") << C{{"txtCodice", u"Z"_s}} << QStringList{};
}

void TestElenchi::ricerca() {
    QFETCH(Caselle, caselle);
    QFETCH(QStringList, attesi);
    cartella->scriviArchivio(ArchivioDi(
        {carta(u"A3"_s, {{Campo::Nome, u"legno duro"_s}, {Campo::Note, u"due  spazi"_s}}),
         carta(u"A1"_s, {{Campo::Nome, u"vite a legno"_s}, {Campo::Ditta, u"Rossi"_s}}),
         carta(u"A2"_s, {{Campo::Nome, u"caffè"_s}}),
         carta(u"A4"_s, {{Campo::Tipologia, u"Viti"_s}, {Campo::Costo, u"12,50"_s}})}));
    TfrmTrovaMagazzino f;
    mostra(f);
    cerca(f, caselle);
    QCOMPARE(codiciDi(lista(&f)), attesi);
    QVERIFY(figlio(&f, "panContainer")->isVisible());
    QVERIFY(!figlio(&f, "panAvvio")->isVisible());
    QCOMPARE(figlio<QLabel>(&f, "lblConta")->text(),
             QString::number(std::count_if(caselle.begin(), caselle.end(), [](const auto &c) {
                 return !Rifila(c.second).isEmpty();
             })));
    // One card is "1 scheda".
    const QString trovate =
        u"Il presente riepilogo contiene "_s +
        (attesi.size() == 1 ? u"1 scheda."_s : QString::number(attesi.size()) + u" schede."_s);
    QCOMPARE(figlio<QLabel>(&f, "lblTrovate")->text(), trovate);
    QCOMPARE(figlio<QLabel>(&f, "lblTrovate")->accessibleName(), trovate);
    QCOMPARE(lista(&f)->selezionata(), -1);
    QCOMPARE(QApplication::focusWidget(), figlio(&f, "txtTrova"));
    QVERIFY(dialoghi->mostrati().isEmpty());
}

void TestElenchi::finestraRicerca() {
    TfrmTrovaMagazzino f;
    mostra(f);
    QCOMPARE(f.windowTitle(), u" Trova prodotti in magazzino"_s);
    QCOMPARE(f.size(), QSize(862, 560));
    QVERIFY(!figlio(&f, "panContainer")->isVisible());
    QVERIFY(!figlio(&f, "lblAttendere")->isVisible());
    QVERIFY(!figlio(&f, "lblConta")->isVisible());
    QCOMPARE(f.lblMemory->text(), u"lblMemory"_s);

    // Enter goes along the ten boxes; each box shows its highlight while it
    // has the focus and has its label as buddy.
    const char *ciclo[] = {"txtCodice",          "txtCosto",        "txtNome",  "txtTipologia",
                           "txtCaratteristiche", "txtCollocazione", "txtDitta", "txtAgente",
                           "txtDocumento",       "txtNote"};
    const char *evidenze[] = {"effCampo01", "effCampo02", "effCampo09", "effCampo10", "effCampo05",
                              "effCampo06", "effCampo07", "effCampo08", "effCampo03", "effCampo04"};
    QCOMPARE(QApplication::focusWidget(), figlio(&f, "txtCodice"));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(ciclo[i]));
        QVERIFY(figlio(&f, evidenze[i])->isVisible());
        QCOMPARE(figlio<QLineEdit>(&f, ciclo[i])->accessibleName().isEmpty(), false);
        if (i == 9) break;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!figlio(&f, evidenze[i])->isVisible());
    }
    // Tab follows the same order, then the buttons.
    figlio(&f, "txtCodice")->setFocus();
    QStringList visti;
    for (int i = 0; i < 12; ++i) {
        visti << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visti.mid(10), (QStringList{u"btnCerca"_s, u"btnAnnulla"_s}));

    // The button goes down: the waiting label shows before the search runs.
    auto *cerca = figlio<QPushButton>(&f, "btnCerca");
    QTest::mousePress(cerca, Qt::LeftButton);
    QVERIFY(figlio(&f, "lblAttendere")->isVisible());
    // Let go off the button: no search.
    QTest::mouseRelease(cerca, Qt::LeftButton, {}, QPoint(-4, -4));
    QVERIFY(!figlio(&f, "panContainer")->isVisible());
    // Enter in the last box presses Cerca.
    QTest::keyClick(figlio(&f, "txtNote"), Qt::Key_Return);
    QVERIFY(figlio(&f, "panContainer")->isVisible());
    QCOMPARE(figlio<QLabel>(&f, "lblConta")->text(), u"0"_s);

    // Enter in the find box goes to Trova; Enter on Trova presses it.
    auto *trova = figlio<QLineEdit>(&f, "txtTrova");
    QTest::keyClick(trova, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), figlio(&f, "btnTrova"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(dialoghi->testi(), QStringList{NESSUNA_VOCE});
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Semplice);
    QCOMPARE(lista(&f)->accessibleName(), u"Schede trovate"_s);

    // The results panel's tab order: find box, Trova, the list, Etichette, Stampa, Chiudi.
    trova->setFocus();
    visti.clear();
    for (int i = 0; i < 6; ++i) {
        visti << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visti, (QStringList{u"txtTrova"_s, u"btnTrova"_s, u"lstRecords"_s, u"btnEtichette"_s,
                                 u"btnStampa"_s, u"btnChiudi"_s}));

    // Escape closes the window.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!f.isVisible());
}

void TestElenchi::archivioMancanteCreato() {
    TfrmTrovaMagazzino f;
    f.show();
    QVERIFY(!QFile::exists(cartella->archivio()));
    cerca(f, {});
    QVERIFY(QFile::exists(cartella->archivio()));
    QCOMPARE(cartella->leggiArchivio().size(), 0);
    QCOMPARE(righeDi(lista(&f)), QStringList{});
    QCOMPARE(figlio<QLabel>(&f, "lblTrovate")->text(),
             u"Il presente riepilogo contiene 0 schede."_s);
    clic(&f, "btnTrova");
    QCOMPARE(dialoghi->testi(), QStringList{NESSUNA_VOCE});
    // An empty list prints the title and the footer around an empty band.
    dialoghi->allaProssimaStampa(false);
    clic(&f, "btnStampa");
    QCOMPARE(f.frxReport().FindObject<TfrxMemoView>(u"txtRiepilogo"_s)->Memo, QStringList{});
    QCOMPARE(f.frxReport().FindObject(u"txtRiepilogo"_s)->Height, 0.0);
    QCOMPARE(f.frxReport().FindObject(u"MasterData"_s)->Height, 10.0);
}

void TestElenchi::ricercaSenzaArchivio() {
    QVERIFY(QDir(cartella->percorso()).mkdir(u"Magazzino.pro"_s));
    TfrmTrovaMagazzino f;
    f.show();
    cerca(f, {{"txtNome", u"vite"_s}});
    QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Semplice);
    // The criteria stay, the waiting label too; the user may try again.
    QVERIFY(figlio(&f, "panAvvio")->isVisible());
    QVERIFY(figlio(&f, "lblAttendere")->isVisible());
    QCOMPARE(figlio<QLineEdit>(&f, "txtNome")->text(), u"vite"_s);
    QVERIFY(f.isVisible());
    clic(&f, "btnAnnulla");
    QVERIFY(!f.isVisible());
    QVERIFY(figlio(&f, "lblAttendere")->isHidden());
}

void TestElenchi::trovaSuccessiva() {
    cartella->scriviArchivio(ArchivioDi({carta(u"A1"_s, {{Campo::Nome, u"vite"_s}}),
                                         carta(u"A2"_s, {{Campo::Nome, u"dado"_s}}),
                                         carta(u"A3"_s, {{Campo::Nome, u"VITE grande"_s}})}));
    TfrmTrovaMagazzino f;
    f.show();
    cerca(f, {});
    auto *l = lista(&f);
    auto *trova = figlio<QLineEdit>(&f, "txtTrova");
    QTest::keyClicks(trova, u"Vite"_s);
    // A new key tests the first line at once; the same key goes on from the
    // selection, round from the last line to the first.
    QList<qsizetype> selezioni;
    for (int i = 0; i < 3; ++i) {
        clic(&f, "btnTrova");
        selezioni << l->selezionata();
    }
    QCOMPARE(selezioni, (QList<qsizetype>{0, 2, 0}));

    // A key no line holds leaves the selection.
    l->seleziona(2);
    trova->setText(u"bullone"_s);
    clic(&f, "btnTrova");
    QCOMPARE(l->selezionata(), 2);
    // A changed key starts from the top again.
    trova->setText(u"DADO"_s);
    clic(&f, "btnTrova");
    QCOMPARE(l->selezionata(), 1);
    QVERIFY(dialoghi->mostrati().isEmpty());

    // With nothing selected, a key found nowhere selects the first line.
    TfrmTrovaMagazzino g;
    g.show();
    cerca(g, {});
    figlio<QLineEdit>(&g, "txtTrova")->setText(u"bullone"_s);
    clic(&g, "btnTrova");
    QCOMPARE(lista(&g)->selezionata(), 0);
}

void TestElenchi::stampaQuarantaRighe() {
    QByteArray archivio;
    for (int i = 1; i <= 40; ++i)
        archivio += ArchivioDi({SchedaNumero(i)});
    cartella->scriviArchivio(archivio);
    TfrmTrovaMagazzino f;
    f.show();
    cerca(f, {});
    dialoghi->allaProssimaStampa(true);
    clic(&f, "btnStampa");
    auto &report = f.frxReport();
    auto *memo = report.FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    QCOMPARE(memo->Memo, righeDi(lista(&f)));
    QCOMPARE(memo->Memo.size(), 40);
    QVERIFY(qAbs(memo->Height - 512.88) < 1e-9);
    QVERIFY(qAbs(report.FindObject(u"MasterData"_s)->Height - 522.88) < 1e-9);
    QCOMPARE(report.FindObject<TfrxMemoView>(u"txtTitolo"_s)->Text(),
             u"Riepilogo prodotti in magazzino"_s);
    QCOMPARE(dialoghi->lavoriStampa(), QStringList{u"Riepilogo dati"_s});
    QVERIFY(QFileInfo(dialoghi->fileStampa()).size() > 0);
}

void TestElenchi::avanzamentoDiUnaPassataLunga() {
    // A pass long enough to notice shows the waiting label and the share of
    // the archive read, and the window goes on painting meanwhile.
    const TScheda s = SchedaNumero(1);
    QByteArray archivio;
    for (int i = 0; i < 3 * 4096 + 10; ++i)
        archivio.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    cartella->scriviArchivio(archivio);
    AvanzamentoPassata::impostaSoglia(0);

    TfrmTrovaMagazzino f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    auto *barra = figlio<QProgressBar>(&f, "prgAvanzamento");
    QList<int> valori;
    QTimer campione;
    QObject::connect(&campione, &QTimer::timeout, [&] {
        if (barra->isVisible()) valori << barra->value();
    });
    campione.start(0);
    cerca(f, {});
    campione.stop();
    QVERIFY(!valori.isEmpty());
    QVERIFY(valori.last() > 0 && valori.last() <= 1000);
    QVERIFY(std::is_sorted(valori.begin(), valori.end()));
    QVERIFY(!barra->isVisible());
    QCOMPARE(lista(&f)->righe().size(), 3 * 4096 + 10);
}

// On an archive large enough to be read in two parts on two threads, every
// list is the one a single pass in file order gives, totals included.
void TestElenchi::passateInDuePartiComeUna() {
    QRandomGenerator caso(26);
    const QStringList nomi{u"Vite a legno"_s, u"VITE zincata"_s, u"Bullone"_s,
                           u"Tassello"_s,     u"Caffè"_s,        QString()};
    const QStringList ditte{u"Rossi srl"_s, u"Ferramenta ROSSI"_s, u"Bianchi"_s, QString()};
    const QStringList numeri{u"3"_s, u"12,5"_s, u"0"_s, u"-2"_s, u"abc"_s, QString()};
    QByteArray byte;
    std::vector<TScheda> schede;
    for (int i = 0; i < 2 * 8192 + 777; ++i) {
        auto uno = [&](const QStringList &l) { return l[caso.bounded(int(l.size()))]; };
        TScheda s = carta(u"C"_s + QString::number(i),
                          {{Campo::Nome, uno(nomi)},
                           {Campo::Ditta, uno(ditte)},
                           {Campo::Note, caso.bounded(3) == 0 ? u"a  b"_s : u"nota"_s},
                           {Campo::Giacenza, uno(numeri)},
                           {Campo::Avviso, uno(numeri)},
                           {Campo::Costo, uno(numeri)},
                           {Campo::Tipologia, caso.bounded(2) ? u"Ferramenta"_s : u"Colori"_s},
                           {Campo::Pagato, caso.bounded(2) ? u"No"_s : u"Sì"_s}});
        schede.push_back(s);
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
    cartella->scriviArchivio(byte);
    const QString archivio = cartella->archivio();

    // The same lists built one card after the other, as one pass does.
    auto unaPassata = [&](const FormatoRiga &formato, auto &&scelta) {
        QStringList righe;
        QStringList scartate;
        double totale = 0;
        std::string riga;
        for (std::size_t i = 0; i < schede.size(); ++i)
            scelta(schede[i], qint64(i) + 1, formato, riga, righe, scartate, totale);
        return std::tuple{righe, scartate, totale};
    };
    auto confronta = [](const EsitoElenco &e,
                        const std::tuple<QStringList, QStringList, double> &a) {
        QVERIFY(e.riuscito);
        QCOMPARE(e.righe.testi(), std::get<0>(a));
        QCOMPARE(e.scartate, std::get<1>(a));
        QCOMPARE(e.totale, std::get<2>(a));
    };
    auto nome = [](const TScheda &s) {
        const QString codice = Cp1252::decodifica(CampoGrezzo(s, Campo::Codice).data(),
                                                  qsizetype(CampoGrezzo(s, Campo::Codice).size()));
        return codice;
    };
    auto testo = [](const std::string &riga) {
        return Cp1252::decodifica(riga.data(), qsizetype(riga.size()));
    };

    std::array<QString, CASELLE_RICERCA> caselle;
    caselle[2] = u"vite"_s;
    caselle[6] = u"rossi"_s;
    caselle[9] = u"  "_s;
    std::array<std::string, 3> chiavi;
    ChiaveMinuscola(u"vite"_s, chiavi[0]);
    ChiaveMinuscola(u"rossi"_s, chiavi[1]);
    ChiaveMinuscola(u"  "_s, chiavi[2]);
    confronta(CercaSchede(archivio, caselle),
              unaPassata(FormatoTrova(), [&](const TScheda &s, qint64, const FormatoRiga &f,
                                             std::string &riga, QStringList &righe, QStringList &,
                                             double &) {
                  const int uguali = ContieneMinuscolo(CampoGrezzo(s, Campo::Nome), chiavi[0]) +
                                     ContieneMinuscolo(CampoGrezzo(s, Campo::Ditta), chiavi[1]) +
                                     ContieneMinuscolo(CampoGrezzo(s, Campo::Note), chiavi[2]);
                  if (uguali < 2) return;
                  f.costruisci(s, riga);
                  righe << testo(riga);
              }));
    confronta(ElencaSottoscorta(archivio),
              unaPassata(FormatoTrova(),
                         [&](const TScheda &s, qint64, const FormatoRiga &f, std::string &riga,
                             QStringList &righe, QStringList &scartate, double &) {
                             const auto g = LeggiNumeroGrezzo(CampoGrezzo(s, Campo::Giacenza));
                             const auto a = LeggiNumeroGrezzo(CampoGrezzo(s, Campo::Avviso));
                             if (!g || !a) {
                                 scartate << nome(s);
                             } else if (*g <= *a) {
                                 f.costruisci(s, riga);
                                 righe << testo(riga);
                             }
                         }));
    confronta(ElencaDaSaldare(archivio),
              unaPassata(FormatoDaSaldare(),
                         [&](const TScheda &s, qint64, const FormatoRiga &f, std::string &riga,
                             QStringList &righe, QStringList &scartate, double &totale) {
                             if (CampoGrezzo(s, Campo::Pagato) != "No") return;
                             f.costruisci(s, riga);
                             righe << testo(riga);
                             if (const auto v = ValoreACosto(s))
                                 totale += *v;
                             else
                                 scartate << nome(s);
                         }));
    const EsitoElenco inventario = ElencaInventario(archivio, u"ferra"_s);
    QCOMPARE(inventario.righe.size() + inventario.scartate.size(),
             qsizetype(std::count_if(schede.begin(), schede.end(), [](const TScheda &s) {
                 return CampoGrezzo(s, Campo::Tipologia) == "Ferramenta";
             })));
    double totale = 0;
    for (const TScheda &s : schede)
        if (CampoGrezzo(s, Campo::Tipologia) == "Ferramenta")
            if (const auto v = ValoreACosto(s)) totale += *v;
    QCOMPARE(inventario.totale, totale);
}

// Another writer rewrites cards in place while the search reads them: every
// card is listed once, each line whole from one version or the other.
void TestElenchi::ricercaMentreSiScrive() {
    constexpr int N = 2 * 8192 + 100;
    auto versione = [](int i, bool seconda) {
        return carta(u"C"_s + QString::number(i),
                     {{Campo::Nome, seconda ? u"vite seconda versione"_s : u"vite prima"_s},
                      {Campo::Ditta, seconda ? u"Rossi e figli"_s : u"Rossi"_s}});
    };
    QByteArray byte;
    for (int i = 1; i <= N; ++i) {
        const TScheda s = versione(i, false);
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
    cartella->scriviArchivio(byte);
    const QString archivio = cartella->archivio();

    std::atomic<bool> fine{false};
    std::atomic<int> scritte{0};
    ImpostaSincronizzazioneArchivio([](int) { return 0; });
    std::thread scrittore([&] {
        Archivio a(archivio); // a file of its own: its locks meet the pass's
        if (!a.ApriArchivio()) return;
        QRandomGenerator caso(9);
        while (!fine) {
            const int i = 1 + caso.bounded(N);
            if (a.scrivi(i, versione(i, caso.bounded(2)))) ++scritte;
        }
    });
    std::array<QString, CASELLE_RICERCA> caselle;
    caselle[2] = u"vite"_s;
    caselle[6] = u"rossi"_s;
    std::string prima;
    std::string seconda;
    for (int giro = 0; giro < 3; ++giro) {
        const EsitoElenco e = CercaSchede(archivio, caselle);
        QVERIFY(e.riuscito);
        QCOMPARE(e.righe.size(), qsizetype(N));
        for (qsizetype r = 0; r < e.righe.size(); ++r) {
            const int i = int(e.righe.posizione(r));
            QCOMPARE(i, int(r) + 1);
            FormatoTrova().costruisci(versione(i, false), prima);
            FormatoTrova().costruisci(versione(i, true), seconda);
            const std::string_view riga = e.righe.byte(r);
            if (riga != prima && riga != seconda) QFAIL(qPrintable(e.righe.testo(r)));
        }
    }
    fine = true;
    scrittore.join();
    ImpostaSincronizzazioneArchivio({});
    QVERIFY(scritte > 0);
}

// ---- Opening a card -----------------------------------------------------------

void TestElenchi::doppioClicApreLaSchedaDellaRiga() {
    // Two equal cards, and two whose codes differ beyond the cut: each line
    // opens the card it was made from.
    const TScheda doppia = carta(u"D1"_s, {{Campo::Nome, u"Doppia"_s}, {Campo::Pagato, u"Sì"_s}});
    TScheda seconda = doppia;
    seconda.impostaTesto(Campo::Note, u"la seconda"_s);
    const TScheda lunga1 = carta(u"LUNGHISSIMO-CODICE-000001"_s);
    const TScheda lunga2 = carta(u"LUNGHISSIMO-CODICE-000002"_s);
    cartella->scriviArchivio(ArchivioDi({doppia, lunga1, seconda, lunga2}));

    TfrmMagazzino scheda;
    scheda.show();
    const struct {
        int riga;
        QString posizione;
        QString codice;
        QString note;
    } casi[] = {{0, u"1"_s, u"D1"_s, QString()},
                {1, u"3"_s, u"D1"_s, u"la seconda"_s},
                {2, u"2"_s, u"LUNGHISSIMO-CODICE-000001"_s, QString()},
                {3, u"4"_s, u"LUNGHISSIMO-CODICE-000002"_s, QString()}};
    for (const auto &caso : casi) {
        bool chiusa = false;
        dialoghi->allaProssimaFinestra([&](QDialog *d) {
            auto *f = qobject_cast<TfrmTrovaMagazzino *>(d);
            QVERIFY(f);
            QCOMPARE(f->lblMemory->text(), u"magazzino"_s);
            cerca(*f, {});
            QCOMPARE(lista(f)->righe().size(), 4);
            doppioClic(lista(f), caso.riga);
            chiusa = !f->isVisible();
            QCOMPARE(lista(f)->righe().size(), 0); // emptied on close
        });
        clic(&scheda, "btnTrova");
        QVERIFY(chiusa);
        QCOMPARE(figlio<QLabel>(&scheda, "lblPosizione")->text(), caso.posizione);
        QCOMPARE(scheda.casella(Campo::Codice)->text(), caso.codice);
        QCOMPARE(scheda.casella(Campo::Note)->text(), caso.note);
    }
    QVERIFY(figlio<QCheckBox>(&scheda, "chkPagato")->isChecked());
}

void TestElenchi::archivioCambiatoDopoIlRiempimento() {
    // The line's record no longer gives the line: the card is looked for by
    // its line, and the last one in file order that gives it is loaded.
    const TScheda a = carta(u"A"_s, {{Campo::Nome, u"primo"_s}});
    const TScheda b = carta(u"B"_s, {{Campo::Nome, u"secondo"_s}});
    cartella->scriviArchivio(ArchivioDi({a, b}));
    TfrmMagazzino scheda;
    scheda.show();
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *f = static_cast<TfrmTrovaMagazzino *>(d);
        cerca(*f, {});
        cartella->scriviArchivio(ArchivioDi({b, b, a}));
        doppioClic(lista(f), 0); // the line of A, made from record 1
    });
    clic(&scheda, "btnTrova");
    QCOMPARE(figlio<QLabel>(&scheda, "lblPosizione")->text(), u"3"_s);
    QCOMPARE(scheda.casella(Campo::Nome)->text(), u"primo"_s);

    // A card no longer in the archive: nothing is loaded, the window closes.
    scheda.PulisciScheda();
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *f = static_cast<TfrmTrovaMagazzino *>(d);
        cerca(*f, {});
        cartella->scriviArchivio(ArchivioDi({b}));
        doppioClic(lista(f), 0);
        QVERIFY(!f->isVisible());
    });
    clic(&scheda, "btnTrova");
    QCOMPARE(figlio<QLabel>(&scheda, "lblPosizione")->text(), QString());
    QVERIFY(dialoghi->mostrati().isEmpty());
}

void TestElenchi::righeUgualiPrimaSchedaCambiata_data() {
    QTest::addColumn<QList<bool>>("cambiate");
    QTest::addColumn<qint64>("attesa");
    QTest::newRow("la prima") << QList<bool>{true, false, false} << qint64(3);
    QTest::newRow("la prima e l'ultima") << QList<bool>{true, false, true} << qint64(2);
    QTest::newRow("tutte") << QList<bool>{true, true, true} << qint64(0);
}

void TestElenchi::righeUgualiPrimaSchedaCambiata() {
    // Three cards give the same line; the first one's card changes after the
    // list was filled. Its line opens the last card in file order that still
    // gives the line.
    QFETCH(QList<bool>, cambiate);
    QFETCH(qint64, attesa);
    const TScheda uguale = carta(u"U1"_s, {{Campo::Nome, u"Uguale"_s}});
    cartella->scriviArchivio(ArchivioDi({uguale, uguale, uguale}));
    TfrmTrovaMagazzino f;
    qint64 aperta = 0;
    f.impostaApriScheda([&](const TScheda &, qint64 p) { aperta = p; });
    f.lblMemory->setText(u"magazzino"_s);
    f.show();
    cerca(f, {});
    QCOMPARE(lista(&f)->righe().size(), 3);
    QCOMPARE(lista(&f)->righe().posizione(0), qint64(1));
    QByteArray dopo;
    for (bool cambiata : cambiate)
        dopo += ArchivioDi({cambiata ? carta(u"U1"_s, {{Campo::Nome, u"Cambiata"_s}}) : uguale});
    cartella->scriviArchivio(dopo);
    doppioClic(lista(&f), 0);
    QCOMPARE(aperta, attesa);
    QVERIFY(!f.isVisible());
}

void TestElenchi::invioApreLaScheda() {
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    TfrmMagazzino scheda;
    scheda.show();
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *f = static_cast<TfrmTrovaMagazzino *>(d);
        cerca(*f, {});
        auto *l = lista(f);
        l->setFocus();
        // Enter without a selected line does nothing.
        QTest::keyClick(l, Qt::Key_Return);
        QVERIFY(f->isVisible());
        QTest::keyClick(l, Qt::Key_Down);
        QTest::keyClick(l, Qt::Key_Down);
        QCOMPARE(l->selezionata(), 1);
        QTest::keyClick(l, Qt::Key_Return);
        QVERIFY(!f->isVisible());
    });
    clic(&scheda, "btnTrova");
    QCOMPARE(figlio<QLabel>(&scheda, "lblPosizione")->text(), u"2"_s);
    QCOMPARE(scheda.casella(Campo::Codice)->text(), u"COD2"_s);
}

void TestElenchi::senzaEtichettaMagazzinoNessunaScheda() {
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    TfrmTrovaMagazzino f;
    bool caricata = false;
    f.impostaApriScheda([&](const TScheda &, qint64) { caricata = true; });
    f.lblMemory->setText(u" altro "_s);
    f.show();
    cerca(f, {});
    doppioClic(lista(&f), 0);
    QVERIFY(!caricata);
    QVERIFY(!f.isVisible());
    TfrmTrovaMagazzino g;
    g.impostaApriScheda([&](const TScheda &, qint64) { caricata = true; });
    g.lblMemory->setText(u" magazzino "_s);
    g.show();
    cerca(g, {});
    doppioClic(lista(&g), 0);
    QVERIFY(caricata);
}

// ---- Under-stock and unpaid ---------------------------------------------------

void TestElenchi::sottoscorta_data() {
    QTest::addColumn<QString>("giacenza");
    QTest::addColumn<QString>("avviso");
    QTest::addColumn<bool>("elencata");
    QTest::newRow("5/5") << u"5"_s << u"5"_s << true;
    QTest::newRow("6/5") << u"6"_s << u"5"_s << false;
    QTest::newRow("0/0") << u"0"_s << u"0"_s << true;
    QTest::newRow("2/3") << u"2"_s << u"3"_s << true;
    QTest::newRow("-1/0") << u"-1"_s << u"0"_s << true;
    QTest::newRow("1/0") << u"1"_s << u"0"_s << false;
    // 2,5 is two and a half: under 3, over 2.
    QTest::newRow("2,5/3") << u"2,5"_s << u"3"_s << true;
    QTest::newRow("2,5/2") << u"2,5"_s << u"2"_s << false;
}

void TestElenchi::sottoscorta() {
    QFETCH(QString, giacenza);
    QFETCH(QString, avviso);
    QFETCH(bool, elencata);
    cartella->scriviArchivio(
        ArchivioDi({carta(u"X"_s, {{Campo::Giacenza, giacenza}, {Campo::Avviso, avviso}})}));
    TfrmSottoscorta f;
    f.show();
    QCOMPARE(codiciDi(lista(&f)), elencata ? QStringList{u"X"_s} : QStringList{});
    QVERIFY(dialoghi->mostrati().isEmpty());
}

void TestElenchi::sottoscortaSaltaLeSchedeIllegibili() {
    // A card whose threshold is empty, or whose stock uses a point, cannot be
    // judged: it is skipped, the pass goes on, and one warning names it.
    QByteArray archivio =
        ArchivioDi({carta(u"PRIMA"_s, {{Campo::Giacenza, u"1"_s}, {Campo::Avviso, u"2"_s}}),
                    carta(u"VUOTA"_s, {{Campo::Giacenza, u"1"_s}}),
                    carta(u"PUNTO"_s, {{Campo::Giacenza, u"1.5"_s}, {Campo::Avviso, u"2"_s}}),
                    carta(QString(), {{Campo::Giacenza, u"x"_s}, {Campo::Avviso, u"2"_s}}),
                    carta(u"DOPO"_s, {{Campo::Giacenza, u"0"_s}, {Campo::Avviso, u"0"_s}})});
    cartella->scriviArchivio(archivio);
    {
        TfrmSottoscorta f;
        f.show();
        QCOMPARE(codiciDi(lista(&f)), (QStringList{u"DOPO"_s, u"PRIMA"_s}));
        QCOMPARE(dialoghi->mostrati().size(), 1);
        QCOMPARE(dialoghi->mostrati().first().genere, Genere::Avviso);
        QCOMPARE(dialoghi->ultimo(),
                 u"Attenzione: non è stato possibile valutare 3 schede, perché la giacenza o la "
                 "soglia di avviso non è un numero valido: VUOTA, PUNTO, scheda n. 4. Correggere "
                 "la giacenza e la soglia di avviso nelle schede indicate."_s);
    }
    // Past ten codes, the rest is "...".
    for (int i = 1; i <= 12; ++i)
        archivio += ArchivioDi({carta(u"M"_s + QString::number(i))});
    cartella->scriviArchivio(archivio);
    dialoghi->azzera();
    TfrmSottoscorta f;
    f.show();
    QVERIFY(dialoghi->ultimo().contains(u"valutare 15 schede"_s));
    QVERIFY(dialoghi->ultimo().contains(u": VUOTA, PUNTO, scheda n. 4, M1, M2, M3, M4, M5, M6, "
                                        "M7, ...."_s));
}

void TestElenchi::daSaldare() {
    cartella->scriviArchivio(
        ArchivioDi({carta(u"NO"_s, {{Campo::Pagato, u"No"_s}}),
                    carta(u"MINUSCOLO"_s, {{Campo::Pagato, u"no"_s}}),
                    carta(u"SI"_s, {{Campo::Pagato, u"Sì"_s}}), carta(u"VUOTO"_s),
                    carta(u"LUNGA"_s, {{Campo::Pagato, u"No"_s},
                                       {Campo::Nome, u"Nome molto lungo oltre trenta caratteri"_s},
                                       {Campo::Ditta, u"Ditta fornitrice dal nome lungo"_s}})}));
    TfrmDaSaldare f;
    mostra(f);
    QCOMPARE(f.windowTitle(), u" Riepilogo pagamenti non saldati"_s);
    const QStringList righe = righeDi(lista(&f));
    QStringList codici;
    for (const QString &r : righe)
        codici << r.mid(5, 20).trimmed();
    QCOMPARE(codici, (QStringList{u"LUNGA"_s, u"NO"_s}));
    QCOMPARE(righe.first().mid(27, 30), u"Nome molto lungo oltre trenta "_s);
    QCOMPARE(righe.first().mid(93, 24), u"Ditta fornitrice dal nom"_s);
    QCOMPARE(QApplication::focusWidget(), figlio(&f, "txtTrova"));
    QCOMPARE(lista(&f)->selezionata(), -1);

    // Tab order: find box, list, Stampa, Trova, Chiudi.
    QStringList visti;
    for (int i = 0; i < 5; ++i) {
        visti << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visti, (QStringList{u"txtTrova"_s, u"lstRecords"_s, u"btnStampa"_s, u"btnTrova"_s,
                                 u"btnChiudi"_s}));

    dialoghi->allaProssimaStampa(false);
    clic(&f, "btnStampa");
    QCOMPARE(f.frxReport().FindObject<TfrxMemoView>(u"txtTitolo"_s)->Text(),
             u"Riepilogo pagamenti non saldati"_s);
    QCOMPARE(f.frxReport().FindObject<TfrxMemoView>(u"txtRiepilogo"_s)->Memo, righe);

    // A double-click opens the card of the line.
    TScheda caricata;
    qint64 posizione = 0;
    f.impostaApriScheda([&](const TScheda &s, qint64 p) {
        caricata = s;
        posizione = p;
    });
    doppioClic(lista(&f), 1);
    QCOMPARE(posizione, 1);
    QCOMPARE(caricata.testo(Campo::Codice), u"NO"_s);
    QVERIFY(!f.isVisible());
}

void TestElenchi::valoreDaSaldare_data() {
    QTest::addColumn<QList<QStringList>>("carte"); // code, paid, stock, cost
    QTest::addColumn<QString>("dovuto");
    QTest::addColumn<QString>("avviso");
    QTest::newRow("costo per giacenza, solo i non saldati")
        << QList<QStringList>{{u"A"_s, u"No"_s, u"3"_s, u"0,15"_s},
                              {u"B"_s, u"No"_s, u"2"_s, u"12,50"_s},
                              {u"C"_s, u"Sì"_s, u"100"_s, u"100"_s}}
        << u"2 voci in elenco, valore a costo della giacenza: € 25,45"_s << QString();
    QTest::newRow("giacenza sotto zero")
        << QList<QStringList>{{u"A"_s, u"No"_s, u"-5"_s, u"1"_s}}
        << u"1 voce in elenco, valore a costo della giacenza: € -5,00"_s << QString();
    QTest::newRow("illeggibili: in elenco, fuori dal valore")
        << QList<QStringList>{{u"A"_s, u"No"_s, u"1"_s, u"2"_s},
                              {u"VUOTO"_s, u"No"_s, u""_s, u"2"_s},
                              {u"PUNTO"_s, u"No"_s, u"1"_s, u"2.5"_s}}
        << u"3 voci in elenco, valore a costo della giacenza: € 2,00 (senza 2 schede non "
           "valutabili)"_s
        << u"Attenzione: non è stato possibile valutare 2 schede, perché la giacenza o il costo "
           "non è un numero valido: VUOTO, PUNTO. Le schede restano in elenco ma non sono "
           "comprese nel valore a costo. Correggere la giacenza e il costo nelle schede "
           "indicate."_s;
    QTest::newRow("nessuna voce") << QList<QStringList>{}
                                  << u"0 voci in elenco, valore a costo della giacenza: € 0,00"_s
                                  << QString();
}

void TestElenchi::valoreDaSaldare() {
    QFETCH(QList<QStringList>, carte);
    QFETCH(QString, dovuto);
    QFETCH(QString, avviso);
    QByteArray byte;
    for (const QStringList &c : carte) {
        const TScheda s =
            carta(c[0], {{Campo::Pagato, c[1]}, {Campo::Giacenza, c[2]}, {Campo::Costo, c[3]}});
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
    cartella->scriviArchivio(byte);
    TfrmDaSaldare f;
    mostra(f);
    auto *etichetta = figlio<QLabel>(&f, "lblDovuto");
    QVERIFY(etichetta->isVisible());
    QCOMPARE(etichetta->text(), dovuto);
    QCOMPARE(QAccessible::queryAccessibleInterface(etichetta)->text(QAccessible::Name),
             u"Da saldare: "_s + dovuto);
    // The lines stay as they are, every unpaid card among them.
    QCOMPARE(lista(&f)->righe().size(), qsizetype(dovuto.section(u' ', 0, 0).toInt()));
    QCOMPARE(dialoghi->ultimo(), avviso);
    if (!avviso.isEmpty()) QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
}

void TestElenchi::finestreDallaScheda() {
    cartella->scriviArchivio(ArchivioDi(
        {carta(u"S1"_s,
               {{Campo::Giacenza, u"0"_s}, {Campo::Avviso, u"1"_s}, {Campo::Pagato, u"Sì"_s}}),
         carta(u"S2"_s,
               {{Campo::Giacenza, u"9"_s}, {Campo::Avviso, u"1"_s}, {Campo::Pagato, u"No"_s}})}));
    TfrmMagazzino scheda;
    scheda.show();
    QStringList visti;
    for (const char *pulsante : {"btnSottoscorta", "btnScaduti"}) {
        dialoghi->allaProssimaFinestra([&](QDialog *d) {
            visti << d->windowTitle() << codiciDi(lista(d));
            QCOMPARE(d->parentWidget(), &scheda);
            doppioClic(lista(d), 0);
        });
        clic(&scheda, pulsante);
        visti << figlio<QLabel>(&scheda, "lblPosizione")->text();
    }
    QCOMPARE(visti, (QStringList{u" Materiali in esaurimento"_s, u"S1"_s, u"1"_s,
                                 u" Riepilogo pagamenti non saldati"_s, u"S2"_s, u"2"_s}));
}

void TestElenchi::elenchiSenzaArchivio() {
    // An archive that cannot be read is said so, not shown as an empty list.
    QVERIFY(QDir(cartella->percorso()).mkdir(u"Magazzino.pro"_s));
    {
        TfrmSottoscorta f;
        f.show();
        QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Semplice);
        QVERIFY(f.isVisible());
    }
    dialoghi->azzera();
    TfrmRiepilogo f(nullptr, QString());
    f.show();
    QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Errore);
    QCOMPARE(figlio<QLabel>(&f, "lblTotale")->text(), u"€ 0,00"_s);
}

// ---- Inventory -------------------------------------------------------------------

void TestElenchi::inventarioCategoria_data() {
    QTest::addColumn<QString>("categoria");
    QTest::addColumn<QString>("titolo");
    QTest::addColumn<QStringList>("attesi");
    const QStringList tutti{u"BUL"_s, u"NESSUNA"_s, u"VIT1"_s, u"VIT2"_s};
    QTest::newRow("nessuna") << QString() << u"Tutti gli articoli in magazzino."_s << tutti;
    QTest::newRow("solo spazi") << u"   "_s << u"Tutti gli articoli in magazzino."_s << tutti;
    QTest::newRow("parte del testo") << u"vit"_s << u"vit"_s << QStringList{u"VIT1"_s, u"VIT2"_s};
    QTest::newRow("maiuscole") << u"VITI E"_s << u"VITI E"_s << QStringList{u"VIT2"_s};
    QTest::newRow("spazio iniziale") << u" e bulloni"_s << u"e bulloni"_s << QStringList{u"VIT2"_s};
    QTest::newRow("nessuna corrisponde") << u"legno"_s << u"legno"_s << QStringList{};
}

void TestElenchi::inventarioCategoria() {
    QFETCH(QString, categoria);
    QFETCH(QString, titolo);
    QFETCH(QStringList, attesi);
    auto voce = [](const char *codice, const QString &tipologia) {
        return carta(
            QString::fromLatin1(codice),
            {{Campo::Tipologia, tipologia}, {Campo::Giacenza, u"1"_s}, {Campo::Costo, u"1,00"_s}});
    };
    cartella->scriviArchivio(
        ArchivioDi({voce("VIT1", u"Viti"_s), voce("NESSUNA", QString()),
                    voce("VIT2", u"Viti e bulloni"_s), voce("BUL", u"Bulloni"_s)}));
    TfrmRiepilogo f(nullptr, categoria);
    f.show();
    QStringList codici;
    for (const QString &r : righeDi(lista(&f)))
        codici << r.left(25).trimmed();
    QCOMPARE(codici, attesi);
    QCOMPARE(figlio<QLabel>(&f, "titTipologia")->text(), titolo);
    QCOMPARE(figlio<QLabel>(&f, "titTipologia")->accessibleName(),
             u"Categoria selezionata: "_s + titolo);
    const QString conta =
        u"Il presente inventario contiene "_s +
        (attesi.size() == 1 ? u"1 articolo."_s : QString::number(attesi.size()) + u" articoli."_s);
    QCOMPARE(figlio<QLabel>(&f, "panInfo")->text(), conta);
    QCOMPARE(figlio<QLabel>(&f, "panInfo")->accessibleName(), conta);
    const QString totale = u"€ "_s + QString::number(attesi.size()) + u",00"_s;
    QCOMPARE(figlio<QLabel>(&f, "lblTotale")->text(), totale);
    QCOMPARE(figlio<QLabel>(&f, "lblTotale")->accessibleName(), u"Valore totale: "_s + totale);
}

void TestElenchi::inventarioValoriETotale() {
    cartella->scriviArchivio(
        ArchivioDi({carta(u"A"_s, {{Campo::Giacenza, u"3"_s}, {Campo::Costo, u"0,15"_s}}),
                    carta(u"B"_s, {{Campo::Giacenza, u"2"_s}, {Campo::Costo, u"12,50"_s}}),
                    carta(u"C"_s, {{Campo::Giacenza, u"-1"_s}, {Campo::Costo, u"0,1"_s}}),
                    carta(u"D"_s, {{Campo::Giacenza, u"1"_s}, {Campo::Costo, u"0,2"_s}})}));
    TfrmRiepilogo f(nullptr, QString());
    f.show();
    QStringList valori;
    for (const QString &r : righeDi(lista(&f)))
        valori << r.mid(r.indexOf(u"Valore: € "_s) + 10);
    // No decimals are added on the lines; the total has two to four.
    QCOMPARE(valori, (QStringList{u"0,45"_s, u"25"_s, u"-0,1"_s, u"0,2"_s}));
    QCOMPARE(figlio<QLabel>(&f, "lblTotale")->text(), u"€ 25,55"_s);
}

void TestElenchi::inventarioSaltaLeSchedeIllegibili() {
    // A card with an empty cost, one with a thousands point: left out of the
    // lines and of the total, named in one message; the rest is finished.
    cartella->scriviArchivio(ArchivioDi(
        {carta(u"A"_s, {{Campo::Giacenza, u"2"_s}, {Campo::Costo, u"1,50"_s}}),
         carta(u"VUOTO"_s, {{Campo::Giacenza, u"2"_s}}),
         carta(u"MIGLIAIA"_s, {{Campo::Giacenza, u"1"_s}, {Campo::Costo, u"1.000,00"_s}}),
         carta(u"B"_s, {{Campo::Giacenza, u"1"_s}, {Campo::Costo, u"2"_s}})}));
    TfrmRiepilogo f(nullptr, QString());
    f.show();
    QCOMPARE(righeDi(lista(&f)).size(), 2);
    QCOMPARE(figlio<QLabel>(&f, "lblTotale")->text(), u"€ 5,00"_s);
    QCOMPARE(figlio<QLabel>(&f, "panInfo")->text(),
             u"Il presente inventario contiene 2 articoli."_s);
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati().first().genere, Genere::Informazione);
    QCOMPARE(dialoghi->ultimo(),
             u"2 schede non sono comprese nell'inventario né nel valore totale, perché la "
             "giacenza o il costo unitario non è un numero valido: VUOTO, MIGLIAIA. Correggere "
             "queste schede e aprire di nuovo l'inventario."_s);
}

void TestElenchi::schedeEscluseAVideoEInStampa_data() {
    QTest::addColumn<QStringList>("escluse");
    QTest::addColumn<QString>("messaggio");
    QTest::addColumn<QStringList>("stampate");
    QTest::newRow("una") << QStringList{u"VUOTO"_s}
                         << u"Una scheda non è compresa nell'inventario né nel valore totale, "
                            "perché la giacenza o il costo unitario non è un numero valido: "
                            "VUOTO. Correggere queste schede e aprire di nuovo l'inventario."_s
                         << QStringList{u"Una scheda non è compresa nell'inventario né nel valore "
                                        "totale, perché la giacenza o il costo unitario non è un "
                                        "numero"_s,
                                        u"valido: VUOTO."_s};
    QTest::newRow("nessuna") << QStringList{} << QString() << QStringList{};
    QTest::newRow("due") << QStringList{u"VUOTO"_s, u"PUNTO"_s}
                         << u"2 schede non sono comprese nell'inventario né nel valore totale, "
                            "perché la giacenza o il costo unitario non è un numero valido: "
                            "VUOTO, PUNTO. Correggere queste schede e aprire di nuovo "
                            "l'inventario."_s
                         << QStringList{u"2 schede non sono comprese nell'inventario né nel valore "
                                        "totale, perché la giacenza o il costo unitario non è un "
                                        "numero"_s,
                                        u"valido: VUOTO, PUNTO."_s};
}

void TestElenchi::schedeEscluseAVideoEInStampa() {
    // The cards left out are named on screen, and the printout names them too.
    QFETCH(QStringList, escluse);
    QFETCH(QString, messaggio);
    QFETCH(QStringList, stampate);
    QByteArray archivio =
        ArchivioDi({carta(u"A"_s, {{Campo::Giacenza, u"2"_s}, {Campo::Costo, u"1,50"_s}})});
    for (const QString &codice : escluse)
        archivio +=
            ArchivioDi({carta(codice, {{Campo::Giacenza, u"1.5"_s}, {Campo::Costo, u"1"_s}})});
    cartella->scriviArchivio(archivio);
    TfrmRiepilogo f(nullptr, QString());
    f.show();
    QCOMPARE(dialoghi->testi(), messaggio.isEmpty() ? QStringList{} : QStringList{messaggio});
    dialoghi->allaProssimaStampa(false);
    clic(&f, "btnStampa");
    auto *memo = f.frxReport().FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    QStringList attese{righeDi(lista(&f)).first(), u"--------------------------"_s,
                       u"VALORE TOTALE: € 3,00"_s};
    if (!stampate.isEmpty()) attese << QString() << stampate;
    QCOMPARE(memo->Memo, attese);
    QVERIFY(qAbs(memo->Height - double(attese.size()) * 12.822) < 1e-9);
}

void TestElenchi::inventarioDalPrompt() {
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    TfrmMenuRiepilogo prompt;
    prompt.show();
    QTest::keyClicks(figlio(&prompt, "txtTipologia"), u"ferr"_s);
    QStringList visti;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        QVERIFY(figlio(&prompt, "lblAttendere")->isVisible());
        QCOMPARE(d->parentWidget(), &prompt);
        visti << d->windowTitle() << figlio<QLabel>(d, "titTipologia")->text()
              << QString::number(lista(d)->righe().size());
        QVERIFY(d->windowState() & Qt::WindowMaximized);
        clic(d, "btnEsci");
        QVERIFY(!d->isVisible());
    });
    clic(&prompt, "btnVisualizza");
    QCOMPARE(visti, (QStringList{u" Quadrelo - Inventario Merce"_s, u"ferr"_s, u"2"_s}));
    QVERIFY(!figlio(&prompt, "lblAttendere")->isVisible());
    QCOMPARE(figlio<QLineEdit>(&prompt, "txtTipologia")->text(), u"ferr"_s);
}

void TestElenchi::promptETastiera() {
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    TfrmMenuRiepilogo prompt;
    QSignalSpy chiusa(&prompt, &TfrmMenuRiepilogo::chiusa);
    mostra(prompt);
    // Enter in the box asks for the inventory, as Visualizza does.
    QTest::keyClicks(figlio(&prompt, "txtTipologia"), u"ferr"_s);
    QString vista;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        QVERIFY(figlio(&prompt, "lblAttendere")->isVisible());
        vista = figlio<QLabel>(d, "titTipologia")->text();
        // The help picture of the list is reached with Tab and pressed with Enter.
        QStringList visti;
        figlio(d, "txtTrova")->setFocus();
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visti << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visti.last(), u"imgGuida"_s);
        dialoghi->guardaProssimaFinestra([](QDialog *guida) {
            QCOMPARE(guida->findChild<QLabel *>(u"lblTitolo"_s)->text(),
                     u"Applicazione Inventario Merce."_s);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        clic(d, "btnEsci");
    });
    QTest::keyClick(figlio(&prompt, "txtTipologia"), Qt::Key_Return);
    QCOMPARE(vista, u"ferr"_s);
    QCOMPARE(dialoghi->finestreEseguite(), 2);

    // Tab reaches the help and exit pictures; Enter and Space press them.
    QStringList visti;
    figlio(&prompt, "txtTipologia")->setFocus();
    for (int i = 0; i < 4; ++i) {
        visti << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visti,
             (QStringList{u"txtTipologia"_s, u"btnVisualizza"_s, u"imgGuida"_s, u"imgEsci"_s}));
    figlio(&prompt, "imgGuida")->setFocus();
    dialoghi->guardaProssimaFinestra([](QDialog *guida) {
        QCOMPARE(guida->findChild<QLabel *>(u"lblTitolo"_s)->text(),
                 u"Applicazione Inventario Merce."_s);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(dialoghi->finestreEseguite(), 3);
    QVERIFY(prompt.isVisible());
    figlio(&prompt, "imgEsci")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(!prompt.isVisible());
    QCOMPARE(chiusa.count(), 1);

    // Esc closes the prompt too.
    mostra(prompt);
    QTest::keyClick(figlio(&prompt, "txtTipologia"), Qt::Key_Escape);
    QVERIFY(!prompt.isVisible());
    QCOMPARE(chiusa.count(), 2);
}

void TestElenchi::inventarioTrovaEStampa() {
    {
        // Empty: find next says so in an information dialog.
        TfrmRiepilogo vuoto(nullptr, u"legno"_s);
        vuoto.show();
        clic(&vuoto, "btnTrova");
        QCOMPARE(dialoghi->testi(), QStringList{NESSUNA_VOCE});
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Informazione);
        QCOMPARE(figlio<QLabel>(&vuoto, "lblTotale")->text(), u"€ 0,00"_s);
        QCOMPARE(figlio<QLabel>(&vuoto, "panInfo")->text(),
                 u"Il presente inventario contiene 0 articoli."_s);
    }
    dialoghi->azzera();
    QByteArray archivio;
    for (int i = 1; i <= 10; ++i)
        archivio += ArchivioDi({SchedaNumero(i)});
    cartella->scriviArchivio(archivio);
    TfrmRiepilogo f(nullptr, QString());
    mostra(f);
    QCOMPARE(QApplication::focusWidget(), figlio(&f, "txtTrova"));
    // Enter in the find box does nothing.
    QTest::keyClicks(figlio(&f, "txtTrova"), u"cod1"_s);
    QTest::keyClick(figlio(&f, "txtTrova"), Qt::Key_Return);
    QVERIFY(f.isVisible());
    QCOMPARE(lista(&f)->selezionata(), -1);
    clic(&f, "btnTrova");
    QCOMPARE(lista(&f)->selezionata(), 0);
    clic(&f, "btnTrova");
    QCOMPARE(lista(&f)->selezionata(), 1); // COD10
    QVERIFY(dialoghi->mostrati().isEmpty());

    dialoghi->allaProssimaStampa(false);
    clic(&f, "btnStampa");
    auto *memo = f.frxReport().FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    QCOMPARE(memo->Memo.size(), 12);
    QCOMPARE(memo->Memo.mid(0, 10), righeDi(lista(&f)));
    QCOMPARE(memo->Memo.at(10), u"--------------------------"_s);
    QCOMPARE(memo->Memo.at(11), u"VALORE TOTALE: "_s + figlio<QLabel>(&f, "lblTotale")->text());
    QVERIFY(qAbs(memo->Height - 12 * 12.822) < 1e-9);
    QVERIFY(qAbs(f.frxReport().FindObject(u"MasterData"_s)->Height - 12 * 12.822 - 10) < 1e-9);
    QCOMPARE(f.frxReport().FindObject<TfrxMemoView>(u"txtTitolo"_s)->Text(),
             u"Inventario merce - Categoria: Tutti gli articoli in magazzino."_s);

    // Tab order: find box, list, Etichette, Stampa inventario, Esci, Trova.
    figlio(&f, "txtTrova")->setFocus();
    QStringList visti;
    for (int i = 0; i < 6; ++i) {
        visti << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visti, (QStringList{u"txtTrova"_s, u"lstRecords"_s, u"btnEtichette"_s, u"btnStampa"_s,
                                 u"btnEsci"_s, u"btnTrova"_s}));
    // Escape closes the list, which lets go of its lines.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(lista(&f)->righe().size(), 0);
}

// ---- The archive on a server ------------------------------------------------

namespace {

// Cards a shop could have, with what a search box might mistake for SQL or
// for a pattern, letters outside A-Z, numbers the rule reads one way only,
// and one card whose bytes no text column keeps (a zero inside its name).
QList<TScheda> schedeVere() {
    auto s = [](const QString &codice, std::initializer_list<std::pair<Campo, QString>> campi) {
        TScheda t = SchedaDiProva(campi);
        t.impostaTesto(Campo::Codice, codice);
        return t;
    };
    QList<TScheda> schede{
        s(u"CAF-1"_s, {{Campo::Nome, u"Caffè del Perù"_s},
                       {Campo::Giacenza, u"5"_s},
                       {Campo::Avviso, u"10"_s},
                       {Campo::Costo, u"2,50"_s},
                       {Campo::Pagato, u"No"_s},
                       {Campo::Tipologia, u"Bevande"_s},
                       {Campo::Ditta, u"Rossi 100%"_s}}),
        s(u"SQL'1"_s, {{Campo::Nome, u"'; DROP TABLE schede; --"_s},
                       {Campo::Giacenza, u"20"_s},
                       {Campo::Avviso, u"3"_s},
                       {Campo::Costo, u"1"_s},
                       {Campo::Pagato, u" No "_s},
                       {Campo::Tipologia, u"Varie"_s}}),
        s(u"PCT_1"_s, {{Campo::Nome, u"sconto 50%"_s},
                       {Campo::Note, u"c:\\magazzino\\b"_s},
                       {Campo::Giacenza, u"abc"_s},
                       {Campo::Avviso, u"1"_s},
                       {Campo::Pagato, u"no"_s},
                       {Campo::Tipologia, u"bevande calde"_s}}),
        s(u"caf-1"_s, {{Campo::Nome, u"PERÙ CAFFÈ"_s},
                       {Campo::Giacenza, u"1,5"_s},
                       {Campo::Avviso, u"1,50"_s},
                       {Campo::Costo, u"x"_s},
                       {Campo::Pagato, u"No"_s},
                       {Campo::Tipologia, u"BEVANDE"_s}}),
        s(u"A%B"_s, {{Campo::Nome, u"Mele_verdi"_s},
                     {Campo::Giacenza, u" 7 "_s},
                     {Campo::Avviso, u"7"_s},
                     {Campo::Costo, u"0,1"_s},
                     {Campo::Note, u"due  spazi"_s},
                     {Campo::Tipologia, u"Frutta"_s}}),
        s(u"EXP"_s, {{Campo::Nome, u"esponente"_s},
                     {Campo::Giacenza, u"1e1"_s},
                     {Campo::Avviso, u"9"_s},
                     {Campo::Costo, u"3"_s}}),
        s(u"GRANDE"_s, {{Campo::Nome, u"dieci cifre"_s},
                        {Campo::Giacenza, u"1000000000"_s},
                        {Campo::Avviso, u"999999999,5"_s},
                        {Campo::Costo, u"0,2"_s}}),
        s(u""_s, {{Campo::Nome, u"senza codice"_s},
                  {Campo::Giacenza, u"-1"_s},
                  {Campo::Avviso, u"-0"_s},
                  {Campo::Costo, u"1"_s}}),
    };
    TScheda rotta = s(u"ROTTA"_s, {{Campo::Nome, u"vite x"_s},
                                   {Campo::Giacenza, u"100"_s},
                                   {Campo::Avviso, u"5"_s},
                                   {Campo::Costo, u"1"_s},
                                   {Campo::Pagato, u"No"_s},
                                   {Campo::Tipologia, u"Viti"_s}});
    // "vi\0te x": the server keeps its text as "vite x" and its bytes aside.
    const int nome = definizione(Campo::Nome).offset;
    rotta.byte[std::size_t(nome + 3)] = 0;
    rotta.byte[std::size_t(nome + 4)] = 't';
    rotta.byte[std::size_t(nome + 5)] = 'e';
    rotta.byte[std::size_t(nome + 6)] = ' ';
    rotta.byte[std::size_t(nome + 7)] = 'x';
    rotta.byte[std::size_t(nome)] = 7;
    schede.insert(2, rotta);
    return schede;
}

std::array<QString, CASELLE_RICERCA> caselleDi(const Caselle &caselle) {
    std::array<QString, CASELLE_RICERCA> testi;
    const char *nomi[] = {"txtCodice",          "txtCosto",        "txtNome",  "txtTipologia",
                          "txtCaratteristiche", "txtCollocazione", "txtDitta", "txtAgente",
                          "txtDocumento",       "txtNote"};
    for (const auto &[nome, testo] : caselle)
        for (int i = 0; i < CASELLE_RICERCA; ++i)
            if (qstrcmp(nomi[i], nome) == 0) testi[std::size_t(i)] = testo;
    return testi;
}

QStringList righeEPosizioni(const Righe &righe) {
    QStringList testi;
    for (qsizetype i = 0; i < righe.size(); ++i)
        testi << QString::number(righe.posizione(i)) + u'|' + righe.testo(i);
    return testi;
}

} // namespace

void TestElenchi::inUso(const QString &tipo, const QList<TScheda> &schede) {
    cartella->scriviArchivio(archivioDi(schede));
    if (tipo == u"file"_s) return;
    if (!server) {
        server = std::make_unique<ServerDiProva>();
        QVERIFY2(server->avviato(), qPrintable(server->errore()));
    }
    // A case that stopped the server leaves a connection that went with it.
    if (!server->avviato()) {
        QVERIFY(server->avvia());
        connessione.reset();
    }
    if (!connessione || !connessione->aperta())
        connessione = std::make_unique<Connessione>(server->parametri());
    QVERIFY2(connessione->aperta(), qPrintable(connessione->messaggio()));
    QVERIFY(server->svuota(*connessione));
    const EsitoTrasloco mosso = CopiaSuServer(cartella->percorso(), *connessione);
    QVERIFY2(mosso.riuscito, qPrintable(mosso.messaggio));
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    ImpostaDepositoCorrente(tipo == u"copia"_s ? std::make_unique<DepositoServer>(
                                                     *connessione, std::make_unique<CopiaLocale>(
                                                                       copie.path(), u"prova"_s))
                                               : std::make_unique<DepositoServer>(*connessione),
                            u"archivio sul server di prova"_s);
}

// The under-stock pass asks for what its index holds (the two spell the
// condition alike), so the server reads only those cards; a database made
// without the index gets it.
void TestElenchi::indiceSottoscorta() {
    inUso(u"server"_s, {SchedaNumero(1), SchedaNumero(2)});
    if (QTest::currentTestFailed()) return;
    Connessione &c = *connessione;
    QVERIFY(c.comando("DROP INDEX schede_sottoscorta"));
    AggiungiIndici(c);
    Deposito::Filtro filtro;
    filtro.sottoscorta = true;
    QList<ValoreSql> valori;
    const QString piano = PianoDi(c, "SELECT posizione FROM schede WHERE " +
                                         CondizioneFiltro(filtro, valori) + " ORDER BY posizione");
    QVERIFY2(!piano.isEmpty(), qPrintable(c.messaggio()));
    QVERIFY2(piano.contains(u"schede_sottoscorta"_s), qPrintable(piano));
}

// Cards a site changed lie further on in the server's table, so a search
// through the trigram indexes finds them out of position order: the lines,
// the cards left out and the total still come as the file's.
void TestElenchi::ordineDelServer() {
    QList<TScheda> schede;
    for (int i = 1; i <= 8; ++i) {
        TScheda s = SchedaNumero(i);
        s.impostaTesto(Campo::Nome, u"Vite n. "_s + QString::number(i));
        s.impostaTesto(Campo::Tipologia, u"Viteria"_s);
        s.impostaTesto(Campo::Costo, i == 5 ? u"due euro"_s : u"0,1"_s + QString::number(i));
        schede << s;
    }
    CartellaDiProva riferimento;
    Scrivi(riferimento.archivio(), archivioDi(schede));
    inUso(u"server"_s, schede);
    if (QTest::currentTestFailed()) return;
    QVERIFY(connessione->comando("UPDATE schede SET versione = versione + 1 "
                                 "WHERE posizione IN (1, 2, 5)"));
    const Risultato come = connessione->esegui("SELECT posizione FROM schede");
    QList<qint64> ordine;
    for (int i = 0; i < come.righe(); ++i)
        ordine << come.numero(i, 0);
    QVERIFY2(!std::is_sorted(ordine.begin(), ordine.end()), "the table kept its order");

    const auto testi = caselleDi({{"txtNome", u"vite"_s}});
    const EsitoElenco ricerca = CercaSchede(DepositoCorrente(), testi);
    QVERIFY2(ricerca.riuscito, qPrintable(ricerca.messaggio));
    QCOMPARE(righeEPosizioni(ricerca.righe),
             righeEPosizioni(CercaSchede(riferimento.archivio(), testi).righe));
    const EsitoElenco inventario = ElencaInventario(DepositoCorrente(), u"viteria"_s);
    const EsitoElenco atteso = ElencaInventario(riferimento.archivio(), u"viteria"_s);
    QVERIFY2(inventario.riuscito, qPrintable(inventario.messaggio));
    QCOMPARE(righeEPosizioni(inventario.righe), righeEPosizioni(atteso.righe));
    QCOMPARE(inventario.scartate, QStringList{u"COD5"_s});
    QCOMPARE(inventario.totale, atteso.totale);
}

void TestElenchi::cleanupTestCase() {
    ImpostaDepositoCorrente(nullptr, {});
    connessione.reset();
    server.reset();
}

void TestElenchi::ricercaSuEntrambi_data() {
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<Caselle>("caselle");
    QTest::addColumn<QStringList>("attesi");
    using C = Caselle;
    struct Caso {
        const char *nome;
        C caselle;
        QStringList attesi;
    };
    const QList<Caso> casi = {
        {"tutte vuote",
         {},
         {u"CAF-1"_s, u"SQL'1"_s, u"ROTTA"_s, u"PCT_1"_s, u"caf-1"_s, u"A%B"_s, u"EXP"_s,
          u"GRANDE"_s, u""_s}},
        {"perù minuscolo", {{"txtNome", u"perù"_s}}, {u"CAF-1"_s}},
        {"PERÙ: solo A-Z cambiano", {{"txtNome", u"PERÙ"_s}}, {u"caf-1"_s}},
        {"caffè", {{"txtNome", u"caffè"_s}}, {u"CAF-1"_s}},
        {"testo da SQL", {{"txtNome", u"'; DROP TABLE schede; --"_s}}, {u"SQL'1"_s}},
        {"apice", {{"txtCodice", u"'"_s}}, {u"SQL'1"_s}},
        {"percento", {{"txtNome", u"%"_s}}, {u"PCT_1"_s}},
        {"trattino basso", {{"txtNome", u"_"_s}}, {u"A%B"_s}},
        {"barra inversa", {{"txtNote", u"\\m"_s}}, {u"PCT_1"_s}},
        {"codice con percento", {{"txtCodice", u"a%b"_s}}, {u"A%B"_s}},
        {"zero nella scheda rotta", {{"txtNome", u"vite"_s}}, {}},
        {"scheda rotta", {{"txtNome", u"te x"_s}}, {u"ROTTA"_s}},
        {"due caselle", {{"txtNome", u"caff"_s}, {"txtDitta", u"100%"_s}}, {u"CAF-1"_s}},
        {"una piena, una di spazi", {{"txtNome", u"nulla"_s}, {"txtNote", u"  "_s}}, {u"A%B"_s}},
        {"carattere fuori da Windows-1252", {{"txtNome", u"caff\u4e00"_s}}, {}},
        {"nessuna", {{"txtCodice", u"ZZZ"_s}}, {}},
    };
    for (const char *tipo : {"file", "server", "copia"})
        for (const Caso &c : casi)
            QTest::addRow("%s: %s", tipo, c.nome)
                << QString::fromLatin1(tipo) << c.caselle << c.attesi;
}

void TestElenchi::ricercaSuEntrambi() {
    QFETCH(QString, tipo);
    QFETCH(Caselle, caselle);
    QFETCH(QStringList, attesi);
    const QList<TScheda> schede = schedeVere();
    CartellaDiProva riferimento;
    Scrivi(riferimento.archivio(), archivioDi(schede));
    inUso(tipo, schede);
    if (QTest::currentTestFailed()) return;
    const auto testi = caselleDi(caselle);
    const EsitoElenco atteso = CercaSchede(riferimento.archivio(), testi);
    const EsitoElenco esito = CercaSchede(DepositoCorrente(), testi);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    QCOMPARE(codiciDi(esito.righe), attesi);
    QCOMPARE(righeEPosizioni(esito.righe), righeEPosizioni(atteso.righe));

    // The card of each line comes back byte for byte.
    for (qsizetype i = 0; i < esito.righe.size(); ++i) {
        TScheda scheda;
        qint64 posizione = 0;
        QVERIFY(SchedaDellaRiga(DepositoCorrente(), FormatoTrova(), esito.righe.testo(i),
                                esito.righe.posizione(i), scheda, posizione));
        QCOMPARE(posizione, esito.righe.posizione(i));
        QVERIFY(scheda.byte == schede[int(posizione - 1)].byte);
    }
}

void TestElenchi::elenchiSuEntrambi_data() {
    entrambi();
}

void TestElenchi::elenchiSuEntrambi() {
    QFETCH(QString, tipo);
    const QList<TScheda> schede = schedeVere();
    CartellaDiProva riferimento;
    Scrivi(riferimento.archivio(), archivioDi(schede));
    inUso(tipo, schede);
    if (QTest::currentTestFailed()) return;
    const auto uguali = [](const EsitoElenco &a, const EsitoElenco &b) {
        QVERIFY2(a.riuscito, qPrintable(a.messaggio));
        QCOMPARE(righeEPosizioni(a.righe), righeEPosizioni(b.righe));
        QCOMPARE(a.scartate, b.scartate);
        QCOMPARE(a.totale, b.totale);
    };

    const EsitoElenco scorta = ElencaSottoscorta(DepositoCorrente());
    uguali(scorta, ElencaSottoscorta(riferimento.archivio()));
    QCOMPARE(codiciDi(scorta.righe), (QStringList{u"CAF-1"_s, u"caf-1"_s, u"A%B"_s, u""_s}));
    QCOMPARE(scorta.scartate, QStringList{u"PCT_1"_s});

    const EsitoElenco saldare = ElencaDaSaldare(DepositoCorrente());
    uguali(saldare, ElencaDaSaldare(riferimento.archivio()));
    QCOMPARE(saldare.righe.size(), 4);
    QCOMPARE(saldare.scartate, QStringList{u"caf-1"_s});

    for (const QString &categoria : {u""_s, u"bevande"_s, u"BEVANDE"_s, u"%"_s, u"vit"_s}) {
        const EsitoElenco inventario = ElencaInventario(DepositoCorrente(), categoria);
        uguali(inventario, ElencaInventario(riferimento.archivio(), categoria));
        if (categoria == u"bevande"_s)
            QCOMPARE(inventario.scartate, (QStringList{u"PCT_1"_s, u"caf-1"_s}));
    }

    // A scanned code: trimmed, A-Z in either case, every card that has it.
    for (const QString &codice : {u" caf-1 "_s, u"A%B"_s, u"a_b"_s, u"SQL'1"_s}) {
        const EsitoCodice esito = CercaCodiceEsatto(DepositoCorrente(), codice);
        const EsitoCodice atteso = CercaCodiceEsatto(riferimento.archivio(), codice);
        QVERIFY(esito.riuscito);
        QCOMPARE(esito.posizioni, atteso.posizioni);
        QCOMPARE(righeEPosizioni(esito.righe), righeEPosizioni(atteso.righe));
        QVERIFY(esito.prima.byte == atteso.prima.byte);
    }
    QCOMPARE(CercaCodiceEsatto(DepositoCorrente(), u"CAF-1"_s).posizioni, (QList<qint64>{1, 5}));
    // The passes above read the copy, not the server.
    if (tipo == u"copia"_s)
        QCOMPARE(QFileInfo(QDir(copie.path()).filePath(u"prova.pro"_s)).size(),
                 schede.size() * TScheda::DIMENSIONE);
}

void TestElenchi::finestraRicercaSuEntrambi_data() {
    entrambi();
}

void TestElenchi::finestraRicercaSuEntrambi() {
    QFETCH(QString, tipo);
    inUso(tipo, schedeVere());
    if (QTest::currentTestFailed()) return;
    TfrmTrovaMagazzino f;
    f.lblMemory->setText(u"magazzino"_s);
    TScheda aperta;
    qint64 posizione = 0;
    f.impostaApriScheda([&](const TScheda &s, qint64 p) {
        aperta = s;
        posizione = p;
    });
    mostra(f);
    QCOMPARE(f.windowTitle(),
             tipo == u"file"_s ? u" Trova prodotti in magazzino"_s
                               : u" Trova prodotti in magazzino - archivio sul server di prova"_s);
    cerca(f, {{"txtNome", u"'; DROP"_s}});
    QCOMPARE(codiciDi(lista(&f)), QStringList{u"SQL'1"_s});
    QVERIFY(dialoghi->mostrati().isEmpty());
    doppioClic(lista(&f), 0);
    QCOMPARE(posizione, 2);
    QCOMPARE(aperta.testo(Campo::Nome), u"'; DROP TABLE schede; --"_s);
}

void TestElenchi::serverFermatoDuranteUnaPassata() {
    // More cards than one block; the server stops once the first have come.
    QList<TScheda> schede;
    for (int i = 1; i <= DepositoServer::BLOCCO * 2 + 10; ++i)
        schede << SchedaNumero(i);
    inUso(u"server"_s, schede);
    if (QTest::currentTestFailed()) return;
    bool fermato = false;
    const EsitoElenco esito = CercaSchede(DepositoCorrente(), {}, [&](qint64 fatte, qint64) {
        if (fatte > 0 && !fermato) fermato = server->ferma(true);
    });
    QVERIFY(fermato);
    QVERIFY(!esito.riuscito);
    QVERIFY2(esito.messaggio.contains(u"collegamento con il server si è interrotto"_s),
             qPrintable(esito.messaggio));
    // The lines found before the stop stay, in order and none twice (the
    // answers already on their way may bring all of them).
    QVERIFY(esito.righe.size() >= qsizetype(DepositoServer::BLOCCO));
    for (qsizetype i = 0; i < esito.righe.size(); ++i)
        QCOMPARE(esito.righe.posizione(i), i + 1);

    // The server back: the next pass makes the connection again and finds all.
    QVERIFY(server->avvia());
    const EsitoElenco dopo = CercaSchede(DepositoCorrente(), {});
    QVERIFY2(dopo.riuscito, qPrintable(dopo.messaggio));
    QCOMPARE(dopo.righe.size(), qsizetype(schede.size()));
}

void TestElenchi::serverFermatoFinestre_data() {
    QTest::addColumn<QString>("finestra");
    QTest::newRow("ricerca") << u"ricerca"_s;
    QTest::newRow("sottoscorta") << u"sottoscorta"_s;
    QTest::newRow("da saldare") << u"saldare"_s;
    QTest::newRow("inventario") << u"inventario"_s;
}

void TestElenchi::serverFermatoFinestre() {
    QFETCH(QString, finestra);
    inUso(u"server"_s, schedeVere());
    if (QTest::currentTestFailed()) return;
    QVERIFY(server->ferma(true));
    std::unique_ptr<QDialog> f;
    if (finestra == u"ricerca"_s) {
        auto *t = new TfrmTrovaMagazzino;
        f.reset(t);
        mostra(*t);
        cerca(*t, {{"txtNome", u"caffè"_s}});
        // The criteria stay as typed, to try again.
        QCOMPARE(figlio<QLineEdit>(t, "txtNome")->text(), u"caffè"_s);
        QVERIFY(figlio(t, "panAvvio")->isVisible());
    } else if (finestra == u"inventario"_s) {
        f = std::make_unique<TfrmRiepilogo>(nullptr, QString());
        f->show();
    } else {
        if (finestra == u"sottoscorta"_s)
            f = std::make_unique<TfrmSottoscorta>();
        else
            f = std::make_unique<TfrmDaSaldare>();
        f->show();
    }
    // Said once, in words about the server; the window still closes.
    QCOMPARE(dialoghi->testi().size(), 1);
    QVERIFY2(dialoghi->testi().first().contains(u"server"_s),
             qPrintable(dialoghi->testi().first()));
    QCOMPARE(lista(f.get())->righe().size(), 0);
    f->reject();
    QVERIFY(!f->isVisible());

    // The server restarted: the first pass after it works on the same connection.
    QVERIFY(server->avvia());
    const EsitoElenco dopo = ElencaInventario(DepositoCorrente(), QString());
    QVERIFY2(dopo.riuscito, qPrintable(dopo.messaggio));
    QCOMPARE(dopo.righe.size() + dopo.scartate.size(), qsizetype(schedeVere().size()));
}

void TestElenchi::serverMuto() {
    // The server's process for this connection stops answering, the
    // connection staying open: the pass gives up after the longest wait, the
    // window painting meanwhile, and the next pass connects again.
    inUso(u"server"_s, schedeVere());
    if (QTest::currentTestFailed()) return;
    const Risultato processo = connessione->esegui("SELECT pg_backend_pid()");
    QVERIFY(processo.ok() && processo.righe() == 1);
    const auto pid = pid_t(processo.numero(0, 0));
    Connessione::impostaAttesaMassima(500);
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    int attese = 0;
    const EsitoElenco esito =
        ElencaSottoscorta(DepositoCorrente(), [&](qint64, qint64) { ++attese; });
    ::kill(pid, SIGCONT);
    Connessione::impostaAttesaMassima(60000);
    QVERIFY(!esito.riuscito);
    QVERIFY2(esito.messaggio.contains(u"il server non risponde"_s), qPrintable(esito.messaggio));
    QVERIFY(attese > 5);
    const EsitoElenco dopo = ElencaSottoscorta(DepositoCorrente());
    QVERIFY2(dopo.riuscito, qPrintable(dopo.messaggio));
    QCOMPARE(dopo.righe.size(), 4);
}

QTEST_MAIN(TestElenchi)
#include "tst_lists.moc"
