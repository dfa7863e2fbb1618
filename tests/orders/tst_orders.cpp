#include "ArchivioInUso.h"
#include "DialoghiFinti.h"
#include "Fixture.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/RegoleNumeri.h"
#include "journal/Movimenti.h"
#include "lists/TfrmSottoscorta.h"
#include "orders/DocumentiOrdine.h"
#include "orders/LetturaOrdiniAperti.h"
#include "orders/Ordini.h"
#include "orders/OrdiniAperti.h"
#include "orders/TfrmOrdini.h"
#include "orders/TfrmOrdiniAperti.h"
#include "passes/VistaRighe.h"
#include "report/TfrxReport.h"
#include "shop/DatiNegozio.h"

#include <QAccessible>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeView>
#include <QUrlQuery>
#include <QtTest>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Genere = DialoghiFinti::Genere;

namespace {

struct Carta {
    QString codice;
    QString ditta;
    QString giacenza;
    QString avviso;
    QString costo;
};

TScheda carta(const Carta &c, std::initializer_list<std::pair<Campo, QString>> altri = {}) {
    TScheda s = SchedaDiProva(altri);
    s.impostaTesto(Campo::Codice, c.codice);
    s.impostaTesto(Campo::Ditta, c.ditta);
    s.impostaTesto(Campo::Giacenza, c.giacenza);
    s.impostaTesto(Campo::Avviso, c.avviso);
    s.impostaTesto(Campo::Costo, c.costo);
    s.impostaTesto(Campo::Nome, u"Nome "_s + c.codice);
    return s;
}

QByteArray archivioDi(const QList<Carta> &carte) {
    QByteArray byte;
    for (const Carta &c : carte) {
        const TScheda s = carta(c);
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
    return byte;
}

// A group as one text: "name: code x quantity = amount, ... | total", a line
// left out marked with "-".
QString descrivi(const GruppoOrdine &g) {
    QStringList righe;
    for (const RigaOrdine &r : g.righe)
        righe << (r.inclusa ? QString() : u"-"_s) + r.codice + u" x "_s +
                     QString::number(r.quantita) + u" = "_s + TestoImporto(r.importo());
    return g.nomeMostrato() + u": "_s + righe.join(u", "_s) + u" | "_s + TestoEuro(g.totale());
}

QStringList descrivi(const std::vector<GruppoOrdine> &gruppi) {
    QStringList testi;
    for (const GruppoOrdine &g : gruppi)
        testi << descrivi(g);
    return testi;
}

GruppoOrdine gruppo(const QString &fornitore, int righe, const QString &agente = QString(),
                    const QString &recapito = QString()) {
    GruppoOrdine g;
    g.fornitore = fornitore;
    g.agente = agente;
    g.recapito = recapito;
    for (int i = 1; i <= righe; ++i) {
        RigaOrdine r;
        r.posizione = i;
        r.codice = u"ART-%1"_s.arg(i, 4, 10, QLatin1Char('0'));
        r.nome = u"Vite a legno %1 mm"_s.arg(i);
        r.aspetto = u"Scatola"_s;
        r.testoGiacenza = u"1"_s;
        r.testoAvviso = u"5"_s;
        r.testoCosto = u"2,50"_s;
        r.giacenza = 1;
        r.avviso = 5;
        r.costo = 2.5;
        r.quantita = 9;
        g.righe.push_back(r);
    }
    return g;
}

// Waits for what is on order to be read: the buttons that record it wait too.
bool inOrdineLetto(TfrmOrdini &f) {
    auto *segna = f.findChild<QPushButton *>(u"btnSegnaOrdinato"_s);
    return QTest::qWaitFor([segna] { return segna->isEnabled(); }, 20000);
}

// Each line of the order window as "code=on order (to order)", a line left
// out with "-" before it.
QStringList righeDi(TfrmOrdini &f) {
    QStringList testi;
    const QAbstractItemModel *m = &f.modello();
    for (int g = 0; g < m->rowCount(); ++g)
        for (int r = 0; r < m->rowCount(m->index(g, 0)); ++r) {
            const QModelIndex codice = m->index(r, 0, m->index(g, 0));
            testi << (codice.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QString() : u"-"_s) +
                         codice.data().toString() + u"="_s +
                         m->index(r, ModelloOrdini::InOrdine, m->index(g, 0)).data().toString() +
                         u" ("_s +
                         m->index(r, ModelloOrdini::Quantita, m->index(g, 0)).data().toString() +
                         u")"_s;
        }
    return testi;
}

// The text of a PDF, page by page.
QStringList pagineDi(const QString &pdf) {
    QStringList pagine = TestoDelPdf(pdf).split(u'\f');
    if (!pagine.isEmpty() && pagine.last().trimmed().isEmpty()) pagine.removeLast();
    return pagine;
}

} // namespace

class TestOrdini : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CartellaDiProva> cartella;
    std::unique_ptr<DialoghiFinti> dialoghi;
    ServerDeiTest server;

    template <class T = QWidget> static T *figlio(QWidget *w, const char *nome) {
        return w->findChild<T *>(QLatin1String(nome));
    }

  private slots:
    void initTestCase() { server.avvia(); }
    void cleanupTestCase() { server.ferma(); }
    void init() {
        server.riprendi();
        cartella = std::make_unique<CartellaDiProva>();
        dialoghi = std::make_unique<DialoghiFinti>();
    }
    void cleanup() {
        dialoghi.reset();
        cartella.reset();
    }

    void quantita_data();
    void quantita();
    void raggruppamento_data();
    void raggruppamento();
    void agenteERecapito();
    void finestra();
    void nomeFileSicuro_data();
    void nomeFileSicuro();
    void pdfPerFornitore();
    void stampaUnFornitorePerPagina();
    void csv();
    void csvNonScritto();
    void posta_data();
    void posta();
    void inviaDallaFinestra();
    void ordiniAperti_data();
    void ordiniAperti();
    void segnaComeOrdinato();
    void sottoscortaApreGliOrdini();
    void ordineInterrotto();
    void propostaDopoUnOrdine();
    void domandaPrimaDiOrdinareDiNuovo();
    void ordiniApertiChiusi();
    void inOrdineLettoAParte();
    void suDueArchivi_data() { DueArchivi(); }
    void suDueArchivi();
    void serverFermo();
};

void TestOrdini::quantita_data() {
    QTest::addColumn<double>("giacenza");
    QTest::addColumn<double>("avviso");
    QTest::addColumn<qint64>("inOrdine");
    QTest::addColumn<qint64>("attesa");
    QTest::newRow("alla soglia") << 5.0 << 5.0 << qint64(0) << qint64(5);
    QTest::newRow("sotto la soglia") << 2.0 << 3.0 << qint64(0) << qint64(4);
    QTest::newRow("zero e soglia zero: almeno uno") << 0.0 << 0.0 << qint64(0) << qint64(1);
    QTest::newRow("sotto zero") << -3.0 << 5.0 << qint64(0) << qint64(13);
    QTest::newRow("sotto zero, soglia zero") << -2.0 << 0.0 << qint64(0) << qint64(2);
    QTest::newRow("frazione arrotondata in su") << 2.5 << 5.0 << qint64(0) << qint64(8);
    QTest::newRow("enorme: il massimo") << -9e99 << 1.0 << qint64(0) << QUANTITA_MASSIMA;
    QTest::newRow("in ordine una parte: il resto") << 0.0 << 50.0 << qint64(40) << qint64(60);
    QTest::newRow("in ordine tutto: niente") << 0.0 << 5.0 << qint64(10) << qint64(0);
    QTest::newRow("in ordine più del necessario: niente") << 3.0 << 5.0 << qint64(9) << qint64(0);
    QTest::newRow("in ordine, frazione arrotondata in su") << 2.5 << 5.0 << qint64(7) << qint64(1);
    QTest::newRow("in ordine, soglia zero: niente") << 0.0 << 0.0 << qint64(3) << qint64(0);
}

void TestOrdini::quantita() {
    QFETCH(double, giacenza);
    QFETCH(double, avviso);
    QFETCH(qint64, inOrdine);
    QFETCH(qint64, attesa);
    QCOMPARE(QuantitaDaOrdinare(giacenza, avviso, inOrdine), attesa);
    if (inOrdine == 0) QCOMPARE(QuantitaDaOrdinare(giacenza, avviso), attesa);
}

void TestOrdini::raggruppamento_data() {
    QTest::addColumn<QList<Carta>>("carte");
    QTest::addColumn<QStringList>("gruppi");
    QTest::addColumn<QStringList>("nonLeggibili");

    QTest::newRow("grafie dello stesso fornitore")
        << QList<Carta>{{u"B2"_s, u"Rossi Srl"_s, u"1"_s, u"2"_s, u"1,50"_s},
                        {u"A1"_s, u"  ROSSI srl "_s, u"0"_s, u"1"_s, u"2"_s},
                        {u"C3"_s, u"rossi SRL"_s, u"3"_s, u"3"_s, u"0,10"_s},
                        {u"D4"_s, u"Rossi Srl"_s, u"4"_s, u"3"_s, u"1"_s}}
        << QStringList{u"Rossi Srl: A1 x 2 = 4,00, B2 x 3 = 4,50, C3 x 3 = 0,30 | 8,80"_s}
        << QStringList{};
    QTest::newRow("senza fornitore, per ultimi")
        << QList<Carta>{{u"N1"_s, u""_s, u"0"_s, u"2"_s, u"1"_s},
                        {u"V1"_s, u"Verdi"_s, u"0"_s, u"1"_s, u"1"_s},
                        {u"N2"_s, u"   "_s, u"1"_s, u"1"_s, u"1"_s},
                        {u"B1"_s, u"bianchi"_s, u"0"_s, u"1"_s, u"1"_s}}
        << QStringList{u"bianchi: B1 x 2 = 2,00 | 2,00"_s, u"Verdi: V1 x 2 = 2,00 | 2,00"_s,
                       u"Fornitore non indicato: N1 x 4 = 4,00, N2 x 1 = 1,00 | 5,00"_s}
        << QStringList{};
    QTest::newRow("numeri illeggibili: n.d., fuori dai totali")
        << QList<Carta>{{u"OK"_s, u"Rossi"_s, u"1"_s, u"2"_s, u"1"_s},
                        {u"COSTO"_s, u"Rossi"_s, u"1"_s, u"2"_s, u"abc"_s},
                        {u"SOGLIA"_s, u"Rossi"_s, u"1"_s, u""_s, u"1"_s},
                        {u"PUNTO"_s, u"Rossi"_s, u"1.5"_s, u"2"_s, u"1"_s},
                        {u""_s, u"Rossi"_s, u"x"_s, u"2"_s, u"1"_s}}
        << QStringList{u"Rossi: - x 1 = n.d., COSTO x 3 = n.d., OK x 3 = 3,00, "
                       "-PUNTO x 1 = n.d., -SOGLIA x 1 = n.d. | 3,00"_s}
        << QStringList{u"COSTO"_s, u"SOGLIA"_s, u"PUNTO"_s, u"scheda n. 5"_s};
    QTest::newRow("giacenza sotto zero e frazioni")
        << QList<Carta>{{u"NEG"_s, u"Neri"_s, u"-3"_s, u"5"_s, u"0,5"_s},
                        {u"FRAZ"_s, u"Neri"_s, u"2,5"_s, u"5"_s, u"0,333"_s},
                        {u"SOPRA"_s, u"Neri"_s, u"6"_s, u"5"_s, u"1"_s}}
        << QStringList{u"Neri: FRAZ x 8 = 2,66, NEG x 13 = 6,50 | 9,16"_s} << QStringList{};
    QTest::newRow("nessuno in esaurimento")
        << QList<Carta>{{u"A"_s, u"Rossi"_s, u"9"_s, u"1"_s, u"1"_s}} << QStringList{}
        << QStringList{};
}

void TestOrdini::raggruppamento() {
    QFETCH(QList<Carta>, carte);
    QFETCH(QStringList, gruppi);
    QFETCH(QStringList, nonLeggibili);
    cartella->scriviArchivio(archivioDi(carte));
    const EsitoOrdini esito = RaccogliOrdini(cartella->archivio());
    QVERIFY(esito.riuscito);
    QCOMPARE(descrivi(esito.gruppi), gruppi);
    QCOMPARE(esito.nonLeggibili, nonLeggibili);
}

void TestOrdini::agenteERecapito() {
    // The first card that names them; the stored texts as the card has them.
    QByteArray byte;
    for (const TScheda &s :
         {carta({u"A"_s, u"Rossi"_s, u"0"_s, u"1"_s, u"1"_s}),
          carta({u"B"_s, u"ROSSI"_s, u"0"_s, u"1"_s, u"1"_s},
                {{Campo::Agente, u"Mario Bianchi"_s}, {Campo::UM, u"Scatola da 100"_s}}),
          carta({u"C"_s, u"rossi"_s, u"0"_s, u"1"_s, u"1"_s},
                {{Campo::Agente, u"Altro"_s}, {Campo::Recapito, u"347 1234567"_s}})})
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    cartella->scriviArchivio(byte);
    const EsitoOrdini esito = RaccogliOrdini(cartella->archivio());
    QCOMPARE(esito.gruppi.size(), std::size_t(1));
    const GruppoOrdine &g = esito.gruppi.front();
    QCOMPARE(g.fornitore, u"Rossi"_s);
    QCOMPARE(g.agente, u"Mario Bianchi"_s);
    QCOMPARE(g.recapito, u"347 1234567"_s);
    QCOMPARE(g.righe[1].aspetto, u"Scatola da 100"_s);
    QCOMPARE(g.righe[1].posizione, 2);

    // A missing archive is created empty; an unreadable one is reported.
    QFile::remove(cartella->archivio());
    QVERIFY(RaccogliOrdini(cartella->archivio()).riuscito);
    QVERIFY(QFile::exists(cartella->archivio()));
    QFile::remove(cartella->archivio());
    QDir().mkdir(cartella->archivio());
    QVERIFY(!RaccogliOrdini(cartella->archivio()).riuscito);
}

void TestOrdini::finestra() {
    cartella->scriviArchivio(archivioDi({{u"R1"_s, u"Rossi"_s, u"0"_s, u"1"_s, u"2"_s},
                                         {u"R2"_s, u"Rossi"_s, u"1"_s, u"2"_s, u"1,5"_s},
                                         {u"V1"_s, u"Verdi"_s, u"0"_s, u"2"_s, u"10"_s},
                                         {u"X"_s, u"Verdi"_s, u"0"_s, u"2"_s, u"?"_s}}));
    TfrmOrdini f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QVERIFY(inOrdineLetto(f));
    QCOMPARE(f.windowTitle(), u" Ordini ai fornitori"_s);
    // One message names the card whose amount cannot be reckoned.
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati().front().genere, Genere::Avviso);
    QVERIFY(dialoghi->ultimo().contains(u"1 scheda"_s));
    QVERIFY(dialoghi->ultimo().contains(u": X."_s));

    auto *albero = figlio<QTreeView>(&f, "trvOrdini");
    auto *totale = figlio<QLabel>(&f, "lblTotale");
    QAbstractItemModel *m = albero->model();
    QCOMPARE(m->rowCount(), 2);
    const QModelIndex rossi = m->index(0, 0);
    const QModelIndex verdi = m->index(1, 0);
    QCOMPARE(rossi.data().toString(), u"Rossi"_s);
    QCOMPARE(m->rowCount(verdi), 2);
    QCOMPARE(m->index(1, ModelloOrdini::Importo, verdi).data().toString(), u"n.d."_s);
    QCOMPARE(totale->text(), u"Totale ordine: € 48,50  (4 righe, 2 fornitori)"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(totale)->text(QAccessible::Name),
             u"Totale dell'ordine: "_s + totale->text());

    // Space on a supplier takes it out of the order, and back.
    albero->setFocus();
    albero->setCurrentIndex(verdi);
    QTest::keyClick(albero, Qt::Key_Space);
    QCOMPARE(verdi.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(totale->text(), u"Totale ordine: € 8,50  (2 righe, 1 fornitore)"_s);
    QTest::keyClick(albero, Qt::Key_Space);

    // A line out, a quantity edited: its amount and the totals follow.
    QVERIFY(m->setData(m->index(0, 0, rossi), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(m->index(0, ModelloOrdini::Importo, rossi).data().toString(), u"4,00"_s);
    const QModelIndex quantita = m->index(1, ModelloOrdini::Quantita, rossi);
    albero->setCurrentIndex(quantita);
    QTest::keyClick(albero, Qt::Key_F2);
    auto *casella = albero->findChild<QSpinBox *>(u"txtQuantita"_s);
    QVERIFY(casella);
    casella->selectAll();
    QTest::keyClicks(casella, u"7"_s);
    QTest::keyClick(casella, Qt::Key_Return);
    // The view takes the edited value once back in the event loop.
    QTRY_COMPARE(quantita.data().toString(), u"7"_s);
    QCOMPARE(m->index(1, ModelloOrdini::Importo, rossi).data().toString(), u"10,50"_s);
    QCOMPARE(m->index(0, ModelloOrdini::Importo).data().toString(), u"€ 10,50"_s);
    QCOMPARE(totale->text(), u"Totale ordine: € 50,50  (3 righe, 2 fornitori)"_s);
    // No quantity below one.
    QVERIFY(m->setData(quantita, 0, Qt::EditRole));
    QCOMPARE(quantita.data().toString(), u"1"_s);

    // Nothing ticked: every way out says so and writes nothing.
    for (int g = 0; g < 2; ++g)
        m->setData(m->index(g, 0), Qt::Unchecked, Qt::CheckStateRole);
    dialoghi->azzera();
    for (const char *nome : {"btnAnteprima", "btnStampa", "btnSalvaPdf", "btnSalvaCsv", "btnInvia"})
        QTest::mouseClick(figlio<QPushButton>(&f, nome), Qt::LeftButton);
    QCOMPARE(dialoghi->mostrati().size(), 5);
    QVERIFY(dialoghi->ultimo().startsWith(u"Nessun articolo da ordinare"_s));
    QVERIFY(!QDir(cartella->percorso(u"Ordini"_s)).exists());
    QVERIFY(dialoghi->aperti().isEmpty());
    QCOMPARE(dialoghi->stampeRichieste(), 0);
}

void TestOrdini::nomeFileSicuro_data() {
    QTest::addColumn<QString>("fornitore");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("semplice") << u"Rossi S.r.l."_s << u"Rossi S.r.l"_s;
    QTest::newRow("barre") << u"Rossi/Bianchi\\Verdi"_s << u"Rossi_Bianchi_Verdi"_s;
    QTest::newRow("virgolette") << u"\"Gallo\" & 'Figli'"_s << u"Gallo_ _ _Figli"_s;
    QTest::newRow("risalita") << u"../../etc/passwd"_s << u"etc_passwd"_s;
    QTest::newRow("nascosto") << u".bashrc"_s << u"bashrc"_s;
    QTest::newRow("solo simboli") << u"///"_s << u"Fornitore"_s;
    QTest::newRow("accenti") << u"Società Cà Foscari"_s << u"Società Cà Foscari"_s;
    QTest::newRow("a capo e tab") << u"Uno\nDue\tTre"_s << u"Uno_Due_Tre"_s;
    QTest::newRow("200 caratteri") << QString(200, u'x') << QString(60, u'x');
}

void TestOrdini::nomeFileSicuro() {
    QFETCH(QString, fornitore);
    QFETCH(QString, atteso);
    QCOMPARE(NomeFileSicuro(fornitore), atteso);
}

void TestOrdini::pdfPerFornitore() {
    // A long order over two pages, a supplier whose name cannot be a file
    // name, one of 200 characters, and two names that give the same file.
    std::vector<GruppoOrdine> gruppi{gruppo(u"Rossi/Bianchi \"Sud\""_s, 80, u"Mario"_s),
                                     gruppo(QString(200, u'Z'), 2),
                                     gruppo(u"Rossi\\Bianchi 'Sud'"_s, 1), gruppo(u"Fuori"_s, 3)};
    gruppi[3].incluso = false;
    gruppi[2].righe[0].costo.reset();
    const QDate data(2026, 12, 10);
    const EsitoPdf esito = SalvaPdfOrdini(gruppi, cartella->percorso(u"Ordini"_s), data);
    QVERIFY(esito.errore.isEmpty());
    QStringList nomi;
    for (const QString &p : esito.scritti)
        nomi << QFileInfo(p).fileName();
    QCOMPARE(nomi, (QStringList{u"Ordine Rossi_Bianchi _Sud 2026-12-10.pdf"_s,
                                u"Ordine "_s + QString(60, u'Z') + u" 2026-12-10.pdf"_s,
                                u"Ordine Rossi_Bianchi _Sud 2026-12-10 (2).pdf"_s}));
    QCOMPARE(QDir(cartella->percorso(u"Ordini"_s)).entryList(QDir::Files).size(), 3);

    const QStringList lunga = pagineDi(esito.scritti[0]);
    QCOMPARE(lunga.size(), 2);
    QVERIFY(lunga[0].contains(u"Ordine a: Rossi/Bianchi \"Sud\""_s));
    QVERIFY(lunga[0].contains(u"Agente: Mario"_s));
    QVERIFY(lunga[0].contains(u"Data dell'ordine: 10/12/2026"_s));
    QVERIFY(lunga[0].contains(u"ART-0001"_s));
    QVERIFY(lunga[1].contains(u"ART-0080"_s));
    // 80 lines of 9 at 2,50.
    QVERIFY(lunga[1].contains(u"Totale ordine: € 1.800,00"_s));
    // No shop data yet: the order does not name who sends it.
    QVERIFY(!lunga[0].contains(u"Da: "_s));

    // With the shop's data, every order is headed by it.
    QVERIFY(ScriviDatiNegozio({u"Ferramenta Bianchi"_s, u"Via Po 3, Torino"_s, u"12345678903"_s,
                               QString(), u"info@bianchi.it"_s}));
    const EsitoPdf conNegozio =
        SalvaPdfOrdini({gruppo(u"Verdi"_s, 2)}, cartella->percorso(u"Ordini"_s), data);
    QVERIFY(conNegozio.errore.isEmpty());
    const QString intestata = pagineDi(conNegozio.scritti[0]).value(0);
    QVERIFY2(
        intestata.contains(u"Da: Ferramenta Bianchi - Via Po 3, Torino - P. IVA 12345678903"_s),
        qPrintable(intestata));
    QVERIFY(intestata.contains(u"Ordine a: Verdi"_s));
    QVERIFY(!lunga[0].contains(u"Totale ordine"_s));

    const QStringList nd = pagineDi(esito.scritti[2]);
    QCOMPARE(nd.size(), 1);
    QVERIFY(nd[0].contains(u"n.d."_s));
    QVERIFY(nd[0].contains(u"Totale ordine: € 0,00"_s));
    QVERIFY(nd[0].contains(u"non sono comprese nel totale"_s));
}

void TestOrdini::stampaUnFornitorePerPagina() {
    std::vector<GruppoOrdine> gruppi{gruppo(u"Rossi"_s, 2), gruppo(u"Vuoto"_s, 1),
                                     gruppo(u"Verdi [x]"_s, 3)};
    gruppi[1].righe[0].inclusa = false;
    TfrxReport report;
    QVERIFY(CostruisciRepOrdini(report, gruppi, QDate(2026, 12, 10)));
    report.PrepareReport(true);
    QCOMPARE(report.PreparedPages().size(), std::size_t(2));
    auto testi = [&](std::size_t pagina) {
        QStringList t;
        for (const auto &pezzo : report.PreparedPages()[pagina].testi)
            t << pezzo.testo;
        return t.join(u'\n');
    };
    QVERIFY(testi(0).contains(u"Ordine a: Rossi"_s));
    QVERIFY(!testi(0).contains(u"Verdi"_s));
    // Brackets from a card stay as typed.
    QVERIFY(testi(1).contains(u"Ordine a: Verdi [x]"_s));
    QVERIFY(testi(1).contains(u"Stampa eseguita in data "_s + FormattaData(QDate::currentDate())));

    // Nothing ticked: no page at all.
    TfrxReport vuoto;
    gruppi[0].incluso = gruppi[2].incluso = false;
    QVERIFY(!CostruisciRepOrdini(vuoto, gruppi, QDate(2026, 12, 10)));

    // Through the window's print button, to the print dialog.
    cartella->scriviArchivio(archivioDi({{u"A"_s, u"Rossi"_s, u"0"_s, u"1"_s, u"1"_s},
                                         {u"B"_s, u"Verdi"_s, u"0"_s, u"1"_s, u"1"_s}}));
    TfrmOrdini f;
    f.show();
    dialoghi->allaProssimaStampa(true);
    QTest::mouseClick(figlio<QPushButton>(&f, "btnStampa"), Qt::LeftButton);
    QCOMPARE(dialoghi->lavoriStampa(), QStringList{u"Ordini ai fornitori"_s});
    QCOMPARE(pagineDi(dialoghi->fileStampa()).size(), 2);
}

void TestOrdini::csv() {
    std::vector<GruppoOrdine> gruppi{gruppo(u"=SOMMA(A1)"_s, 2, u"+agente"_s, u"-3; 4"_s),
                                     gruppo(u"Fuori"_s, 1)};
    gruppi[0].righe[1].nome = u"Vite \"grande\"; M8"_s;
    gruppi[0].righe[1].costo.reset();
    gruppi[0].righe[1].testoCosto = u"@x"_s;
    gruppi[0].righe[0].giacenza = -3;
    gruppi[0].righe[0].testoGiacenza = u"-3"_s;
    gruppi[1].righe[0].inclusa = false;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(ScriviCsvOrdini(&buffer, gruppi));
    QCOMPARE(buffer.data(),
             QByteArray("\xEF\xBB\xBF"
                        "Fornitore;Agente;Recapito;Codice;Nome;Aspetto;Giacenza;Soglia;"
                        "Quantit\xC3\xA0;Costo;Importo\r\n"
                        "'=SOMMA(A1);'+agente;\"'-3; 4\";ART-0001;Vite a legno 1 mm;Scatola;-3;5;"
                        "9;2,5;22,50\r\n"
                        "'=SOMMA(A1);'+agente;\"'-3; 4\";ART-0002;\"Vite \"\"grande\"\"; M8\";"
                        "Scatola;1;5;9;'@x;n.d.\r\n"));

    // Through the window: one file in the Ordini folder, written whole.
    cartella->scriviArchivio(archivioDi({{u"A"_s, u"Rossi"_s, u"0"_s, u"1"_s, u"1"_s}}));
    TfrmOrdini f;
    f.show();
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSalvaCsv"), Qt::LeftButton);
    const QString percorso = cartella->percorso(u"Ordini/"_s + NomeFileCsv(f.data()));
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Informazione);
    QVERIFY(dialoghi->ultimo().contains(QDir::toNativeSeparators(percorso)));
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith("Rossi;;;A;Nome A;;0;1;2;1;2,00\r\n"));
}

void TestOrdini::csvNonScritto() {
    // The Ordini folder cannot be made (a file has its name): an error, nothing claimed.
    cartella->scriviArchivio(archivioDi({{u"A"_s, u"Rossi"_s, u"0"_s, u"1"_s, u"1"_s}}));
    QFile ostacolo(cartella->percorso(u"Ordini"_s));
    QVERIFY(ostacolo.open(QIODevice::WriteOnly));
    ostacolo.close();
    TfrmOrdini f;
    f.show();
    for (const char *nome : {"btnSalvaCsv", "btnSalvaPdf"}) {
        QTest::mouseClick(figlio<QPushButton>(&f, nome), Qt::LeftButton);
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Errore);
        QVERIFY(dialoghi->ultimo().startsWith(u"Impossibile scrivere"_s));
    }
}

void TestOrdini::posta_data() {
    QTest::addColumn<int>("righe");
    QTest::addColumn<QString>("recapito");
    QTest::addColumn<QString>("destinatario");
    QTest::addColumn<bool>("troncato");
    QTest::newRow("breve, indirizzo nel recapito")
        << 3 << u"tel. 02 123, mario@rossi.it"_s << u"mario@rossi.it"_s << false;
    QTest::newRow("senza indirizzo") << 3 << u"02 123"_s << QString() << false;
    QTest::newRow("troppo lungo") << 200 << u"m@r.it"_s << u"m@r.it"_s << true;
}

void TestOrdini::posta() {
    QFETCH(int, righe);
    QFETCH(QString, recapito);
    QFETCH(QString, destinatario);
    QFETCH(bool, troncato);
    GruppoOrdine g = gruppo(u"Rossi & Figli"_s, righe, u"Mario"_s, recapito);
    g.righe[0].nome = u"Vite #8 & dado?"_s;
    const PostaOrdine posta = CollegamentoPosta(g, QDate(2026, 12, 10));
    QCOMPARE(posta.troncato, troncato);
    QVERIFY(posta.collegamento.size() <= LUNGHEZZA_MASSIMA_COLLEGAMENTO);

    const QUrl link(posta.collegamento, QUrl::StrictMode);
    QVERIFY(link.isValid());
    QCOMPARE(link.scheme(), u"mailto"_s);
    QCOMPARE(link.path(), destinatario);
    const QUrlQuery query(link);
    QCOMPARE(query.queryItemValue(u"subject"_s, QUrl::FullyDecoded),
             u"Ordine Rossi & Figli del 10/12/2026"_s);
    const QString corpo = query.queryItemValue(u"body"_s, QUrl::FullyDecoded);
    QVERIFY(corpo.startsWith(u"Buongiorno Mario,\r\n"_s));
    QVERIFY(corpo.contains(u"- 9 x ART-0001 Vite #8 & dado? (Scatola)\r\n"_s));
    QCOMPARE(corpo.contains(u"allegare il PDF"_s), troncato);
    QCOMPARE(corpo.contains(u"- 9 x ART-%1 "_s.arg(righe, 4, 10, QLatin1Char('0'))), !troncato);
    QVERIFY(corpo.contains(u"Totale ordine: € "_s + TestoEuro(g.totale())));

    // The shop signs the mail.
    QVERIFY(ScriviDatiNegozio(
        {u"Ferramenta Bianchi"_s, u"Via Po 3\nTorino"_s, QString(), u"011 555"_s, QString()}));
    const QString firmato = QUrlQuery(QUrl(CollegamentoPosta(g, QDate(2026, 12, 10)).collegamento))
                                .queryItemValue(u"body"_s, QUrl::FullyDecoded);
    QVERIFY2(firmato.endsWith(u"Cordiali saluti\r\nFerramenta Bianchi\r\nVia Po 3\r\nTorino\r\n"
                              u"Tel. 011 555\r\n"_s),
             qPrintable(firmato.right(120)));
}

void TestOrdini::inviaDallaFinestra() {
    QByteArray byte;
    for (const TScheda &s : {carta({u"A"_s, u"Rossi"_s, u"0"_s, u"1"_s, u"1"_s},
                                   {{Campo::Recapito, u"ordini@rossi.it"_s}}),
                             carta({u"B"_s, u"Verdi"_s, u"0"_s, u"1"_s, u"1"_s},
                                   {{Campo::Recapito, u"verdi@verdi.it"_s}})})
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    cartella->scriviArchivio(byte);
    TfrmOrdini f;
    f.show();
    auto *albero = figlio<QTreeView>(&f, "trvOrdini");
    // The supplier of the current row, a line of it as well as its head.
    albero->setCurrentIndex(albero->model()->index(0, 0, albero->model()->index(1, 0)));
    QTest::mouseClick(figlio<QPushButton>(&f, "btnInvia"), Qt::LeftButton);
    QCOMPARE(dialoghi->aperti().size(), 1);
    QCOMPARE(dialoghi->aperti().front().scheme(), u"mailto"_s);
    QCOMPARE(dialoghi->aperti().front().path(), u"verdi@verdi.it"_s);
    QVERIFY(dialoghi->mostrati().isEmpty());
}

namespace {

using Aperti = QList<std::pair<qint64, qint64>>;

// A journal line of card `posizione`: kind, quantity, and for a move the
// position it came from.
struct Riga {
    TipoMovimento tipo;
    qint64 posizione;
    qint64 quantita;
    qint64 da = 0;
    // The data of an order line: the mark of the order it belongs to.
    QByteArray segno = {};
};

Movimento movimento(const Riga &r) {
    Movimento m = MovimentoScheda(SchedaDiProva({{Campo::Codice, u"C"_s}}), r.posizione, r.tipo,
                                  r.quantita, 0);
    if (r.tipo == TipoMovimento::Spostamento) m.dati = QByteArray::number(r.da);
    if (!r.segno.isEmpty()) m.dati = r.segno;
    return m;
}

} // namespace

void TestOrdini::ordiniAperti_data() {
    using T = TipoMovimento;
    QTest::addColumn<QList<Riga>>("righe");
    QTest::addColumn<Aperti>("aperti");
    QTest::newRow("un ordine") << QList<Riga>{{T::Ordine, 1, 10}} << Aperti{{1, 10}};
    QTest::newRow("due ordini si sommano")
        << QList<Riga>{{T::Ordine, 1, 5}, {T::Ordine, 1, 3}, {T::Ordine, 2, 1}}
        << Aperti{{1, 8}, {2, 1}};
    QTest::newRow("un carico riduce l'aperto")
        << QList<Riga>{{T::Ordine, 1, 10}, {T::Carico, 1, 4}, {T::Scarico, 1, 2}} << Aperti{{1, 6}};
    QTest::newRow("un carico oltre l'ordine lo chiude")
        << QList<Riga>{{T::Ordine, 1, 10}, {T::Carico, 1, 15}, {T::Ordine, 1, 2}} << Aperti{{1, 2}};
    QTest::newRow("carico prima dell'ordine non conta")
        << QList<Riga>{{T::Carico, 1, 5}, {T::Ordine, 1, 3}} << Aperti{{1, 3}};
    QTest::newRow("annullato con la riga opposta")
        << QList<Riga>{{T::Ordine, 1, 10}, {T::Ordine, 1, -10}} << Aperti{};
    QTest::newRow("la scheda spostata porta il suo ordine")
        << QList<Riga>{{T::Ordine, 2, 4},
                       {T::Ordine, 3, 7},
                       {T::Eliminazione, 2, 0},
                       {T::Spostamento, 2, 0, 3}}
        << Aperti{{2, 7}};
    QTest::newRow("una scheda nuova al posto di quella eliminata")
        << QList<Riga>{{T::Ordine, 3, 4}, {T::Eliminazione, 3, 0}, {T::NuovaScheda, 3, 1}}
        << Aperti{};
    QTest::newRow("ordinati 100, ricevuti 60: 40 aperti")
        << QList<Riga>{{T::Ordine, 1, 100}, {T::Carico, 1, 60}} << Aperti{{1, 40}};
    QTest::newRow("ricevuti più degli ordinati: niente")
        << QList<Riga>{{T::Ordine, 1, 100}, {T::Carico, 1, 60}, {T::Carico, 1, 50}} << Aperti{};
    QTest::newRow("ordinati 100, ricevuti 60, il resto chiuso")
        << QList<Riga>{{T::Ordine, 1, 100}, {T::Carico, 1, 60}, {T::Ordine, 1, -40}} << Aperti{};
    QTest::newRow("due ordini, un carico li riduce insieme") << QList<Riga>{{T::Ordine, 1, 100},
                                                                            {T::Carico, 1, 30},
                                                                            {T::Ordine, 1, 20},
                                                                            {T::Carico, 1, 60}}
                                                             << Aperti{{1, 30}};
    QTest::newRow("ordine intero, con il suo segno")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "k 1/2."}, {T::Ordine, 2, 3, 0, "k 2/2."}}
        << Aperti{{1, 5}, {2, 3}};
    QTest::newRow("ordine senza la sua ultima riga")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "k 1/2."}, {T::Carico, 3, 1}} << Aperti{};
    QTest::newRow("ordine senza la sua ultima riga, in fondo")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "k 1/2."}} << Aperti{};
    QTest::newRow("ultima riga tagliata nel segno")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "k 1/2."}, {T::Ordine, 2, 3, 0, "k 2/2"}} << Aperti{};
    QTest::newRow("prima riga tagliata nel conteggio")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "k 1/1"}, {T::Ordine, 2, 3, 0, "k 2/2."}} << Aperti{};
    QTest::newRow("un'altra riga in mezzo all'ordine")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "k 1/2."},
                       {T::Carico, 3, 1},
                       {T::Ordine, 2, 3, 0, "k 2/2."}}
        << Aperti{};
    QTest::newRow("righe di due ordini diversi")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "a 1/2."}, {T::Ordine, 2, 3, 0, "b 2/2."}} << Aperti{};
    QTest::newRow("dopo un ordine tagliato, il seguente conta")
        << QList<Riga>{{T::Ordine, 1, 5, 0, "a 1/2."}, {T::Ordine, 1, 7, 0, "b 1/1."}}
        << Aperti{{1, 7}};
}

void TestOrdini::ordiniAperti() {
    QFETCH(QList<Riga>, righe);
    QFETCH(Aperti, aperti);
    QList<Movimento> movimenti;
    for (const Riga &r : righe)
        movimenti << movimento(r);
    const QString giornale = cartella->percorso(u"Movimenti.csv"_s);
    QVERIFY(RegistraMovimenti(movimenti, giornale));
    const OrdiniAperti letti = LeggiOrdiniAperti(giornale);
    QVERIFY(letti.letto);
    Aperti trovati;
    for (auto i = letti.quantita.cbegin(); i != letti.quantita.cend(); ++i)
        trovati << std::pair{i.key(), i.value()};
    std::sort(trovati.begin(), trovati.end());
    QCOMPARE(trovati, aperti);
}

void TestOrdini::segnaComeOrdinato() {
    cartella->scriviArchivio(archivioDi({{u"A"_s, u"Rossi"_s, u"0"_s, u"2"_s, u"1"_s},
                                         {u"B"_s, u"Rossi"_s, u"1"_s, u"1"_s, u"1"_s},
                                         {u"C"_s, u"Verdi"_s, u"0"_s, u"3"_s, u"1"_s}}));
    const QByteArray archivio = cartella->leggiArchivio();
    auto inOrdine = [](TfrmOrdini &f) {
        QStringList testi;
        const QAbstractItemModel *m = &f.modello();
        for (int g = 0; g < m->rowCount(); ++g)
            for (int r = 0; r < m->rowCount(m->index(g, 0)); ++r)
                testi << m->index(r, 0, m->index(g, 0)).data().toString() + u"="_s +
                             m->index(r, ModelloOrdini::InOrdine, m->index(g, 0)).data().toString();
        return testi;
    };
    {
        TfrmOrdini f;
        f.show();
        QVERIFY(inOrdineLetto(f));
        QCOMPARE(inOrdine(f), (QStringList{u"A="_s, u"B="_s, u"C="_s}));
        // B left out; a "No" to the question records nothing.
        f.modello().setData(f.modello().index(1, 0, f.modello().index(0, 0)), Qt::Unchecked,
                            Qt::CheckStateRole);
        dialoghi->rispondi(Piattaforma::Risposta::No);
        QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
        QVERIFY(!QFile::exists(PercorsoGiornale()));
        QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Informazione);
        QVERIFY(dialoghi->ultimo().startsWith(u"Registrato l'ordine di 2 articoli"_s));
        QCOMPARE(inOrdine(f), (QStringList{u"A=4"_s, u"B="_s, u"C=6"_s}));
    }
    // The journal holds the orders, with the stock as it was; the archive is untouched.
    const StoriaScheda storia = LeggiStoriaScheda(3);
    QCOMPARE(storia.movimenti.size(), 1);
    QCOMPARE(storia.movimenti[0].tipo, TipoMovimento::Ordine);
    QCOMPARE(storia.movimenti[0].quantita, 6);
    QCOMPARE(storia.movimenti[0].prima, 0);
    QCOMPARE(storia.movimenti[0].dopo, 0);
    QCOMPARE(storia.movimenti[0].nota, u"Ordine a Verdi"_s);
    QCOMPARE(cartella->leggiArchivio(), archivio);

    // A load of 4 pieces of C arrives: 2 still to come. A's order is cancelled.
    QVERIFY(RegistraMovimenti({MovimentoScheda(SchedaDiProva({{Campo::Codice, u"C"_s}}), 3,
                                               TipoMovimento::Carico, 4, 0)}));
    {
        TfrmOrdini f;
        f.show();
        QTRY_COMPARE(inOrdine(f), (QStringList{u"A=4"_s, u"B="_s, u"C=2"_s}));
        QVERIFY(inOrdineLetto(f));
        auto *albero = figlio<QTreeView>(&f, "trvOrdini");
        albero->setCurrentIndex(f.modello().index(0, 0, f.modello().index(0, 0)));
        QTest::mouseClick(figlio<QPushButton>(&f, "btnAnnullaOrdine"), Qt::LeftButton);
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Domanda);
        QVERIFY(dialoghi->ultimo().contains(u"dell'articolo A (4 pezzi in tutto)"_s));
        QCOMPARE(inOrdine(f), (QStringList{u"A="_s, u"B="_s, u"C=2"_s}));
        // Nothing left to cancel there.
        QTest::mouseClick(figlio<QPushButton>(&f, "btnAnnullaOrdine"), Qt::LeftButton);
        QCOMPARE(dialoghi->ultimo(), u"Non ci sono ordini aperti dell'articolo A."_s);
    }
    const StoriaScheda annullato = LeggiStoriaScheda(1);
    QCOMPARE(annullato.movimenti.size(), 2);
    QCOMPARE(annullato.movimenti[1].quantita, -4);
    QCOMPARE(annullato.movimenti[1].nota, u"Annullato l'ordine a Rossi"_s);

    // A card removed by another copy meanwhile: nothing is recorded.
    TfrmOrdini f;
    f.show();
    QVERIFY(inOrdineLetto(f));
    cartella->scriviArchivio(archivioDi({{u"B"_s, u"Rossi"_s, u"1"_s, u"1"_s, u"1"_s}}));
    const qint64 prima = QFileInfo(PercorsoGiornale()).size();
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Errore);
    QVERIFY(dialoghi->ultimo().startsWith(u"La scheda A non è più dove era"_s));
    QCOMPARE(QFileInfo(PercorsoGiornale()).size(), prima);
}

void TestOrdini::sottoscortaApreGliOrdini() {
    cartella->scriviArchivio(archivioDi({{u"A"_s, u"Rossi"_s, u"0"_s, u"2"_s, u"1"_s},
                                         {u"B"_s, u"Rossi"_s, u"1"_s, u"1"_s, u"1"_s}}));
    QVERIFY(RegistraMovimenti({MovimentoScheda(SchedaDiProva({{Campo::Codice, u"B"_s}}), 2,
                                               TipoMovimento::Ordine, 5, 1)}));
    TfrmSottoscorta f;
    f.show();
    // Active, so that the focus moves as for the user.
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    auto *lista = figlio<VistaRighe>(&f, "lstRecords");
    auto *inOrdine = figlio<QLabel>(&f, "lblInOrdine");
    // The journal is read on a thread of its own: the figures come when it is done.
    QTRY_COMPARE(inOrdine->text(), u"Articoli con ordini aperti: 1"_s);
    lista->seleziona(1);
    QCOMPARE(inOrdine->text(), u"In ordine e non ancora caricati: 5"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(inOrdine)->text(QAccessible::Name),
             u"In ordine: "_s + inOrdine->text());
    lista->seleziona(0);
    QCOMPARE(inOrdine->text(), u"Nessun ordine aperto per questo articolo."_s);

    // The button is reached by keyboard, after Stampa; in the order window A is marked ordered.
    figlio<QPushButton>(&f, "btnStampa")->setFocus();
    QTest::keyClick(figlio<QPushButton>(&f, "btnStampa"), Qt::Key_Tab);
    auto *ordini = figlio<QPushButton>(&f, "btnOrdini");
    QCOMPARE(QApplication::focusWidget(), ordini);
    QStringList visti;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        visti << d->windowTitle();
        auto *o = qobject_cast<TfrmOrdini *>(d);
        QVERIFY(o);
        QVERIFY(inOrdineLetto(*o));
        o->modello().setData(o->modello().index(1, 0, o->modello().index(0, 0)), Qt::Unchecked,
                             Qt::CheckStateRole);
        QTest::mouseClick(figlio<QPushButton>(d, "btnSegnaOrdinato"), Qt::LeftButton);
        QTest::mouseClick(figlio<QPushButton>(d, "btnChiudi"), Qt::LeftButton);
    });
    QTest::keyClick(ordini, Qt::Key_Space);
    QCOMPARE(visti, QStringList{u" Ordini ai fornitori"_s});
    QTRY_COMPARE(inOrdine->text(), u"In ordine e non ancora caricati: 4"_s);
}

namespace {

// Short cards of two suppliers and one above its threshold.
const QList<Carta> CARTE_IN_ORDINE = {{u"A"_s, u"Rossi"_s, u"0"_s, u"50"_s, u"1"_s},
                                      {u"B"_s, u"Rossi"_s, u"0"_s, u"5"_s, u"2"_s},
                                      {u"C"_s, u"Verdi"_s, u"2"_s, u"5"_s, u"3"_s},
                                      {u"D"_s, u"Verdi"_s, u"1"_s, u"4"_s, u"4"_s},
                                      {u"E"_s, u"Verdi"_s, u"9"_s, u"1"_s, u"5"_s}};

// The child of the crash test: marks every short card as ordered, with the
// journal allowed to grow to `limite` bytes (no limit when negative). The
// write past it kills the child, as a crash in the middle of the append would.
int Segna(const QString &cartella, qint64 limite) {
    ImpostaCartellaProgramma(cartella);
    if (limite >= 0) {
        // Killed there, without leaving a core file behind: the program's
        // own ignoring of the signal is done first and undone.
        IgnoraLimiteDimensione();
        std::signal(SIGXFSZ, SIG_DFL);
        struct rlimit core {};
        setrlimit(RLIMIT_CORE, &core);
        struct rlimit fsize {};
        getrlimit(RLIMIT_FSIZE, &fsize);
        fsize.rlim_cur = rlim_t(limite);
        if (setrlimit(RLIMIT_FSIZE, &fsize) != 0) return 3;
    }
    EsitoOrdini esito = RaccogliOrdini(PercorsoArchivio());
    if (!esito.riuscito) return 2;
    const auto segnato = SegnaOrdinato(esito.gruppi, PercorsoArchivio()).esito;
    return segnato == RegistrazioneOrdine::Fatto ? 0 : 10 + int(segnato);
}

Aperti apertiDi(const OrdiniAperti &letti) {
    Aperti trovati;
    for (auto i = letti.quantita.cbegin(); i != letti.quantita.cend(); ++i)
        trovati << std::pair{i.key(), i.value()};
    std::sort(trovati.begin(), trovati.end());
    return trovati;
}

} // namespace

void TestOrdini::ordineInterrotto() {
    // A child marks the order and is killed while it appends the lines: at
    // the start, middle and end of each line in turn. Read back, the order is
    // there whole or not at all, and stays so after the next append.
    cartella->scriviArchivio(archivioDi(CARTE_IN_ORDINE));
    const QString giornale = PercorsoGiornale();
    const Movimento prima =
        MovimentoScheda(carta(CARTE_IN_ORDINE[4]), 5, TipoMovimento::Carico, 1, 8);
    auto esegui = [&](qint64 limite, bool &interrotto) {
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"--segna"_s, cartella->percorso(), QString::number(limite)});
        QVERIFY(figlio.waitForFinished(60000));
        interrotto = figlio.exitStatus() == QProcess::CrashExit;
        if (!interrotto) QCOMPARE(figlio.exitCode(), 0);
    };

    QFile::remove(giornale);
    QVERIFY(RegistraMovimenti({prima}));
    const qint64 inizio = QFileInfo(giornale).size();
    bool interrotto = false;
    esegui(-1, interrotto);
    QVERIFY(!interrotto);
    const QByteArray intero = Leggi(giornale);
    const Aperti tutti = apertiDi(LeggiOrdiniAperti());
    QCOMPARE(tutti, (Aperti{{1, 100}, {2, 10}, {3, 8}, {4, 7}}));

    QList<qint64> limiti{inizio};
    // Up to the middle of the last line the order is not there; past it
    // only padding may be missing.
    qint64 metaUltima = 0;
    for (qsizetype a = inizio; a < intero.size();) {
        const qsizetype fine = intero.indexOf('\n', a);
        QVERIFY(fine > a);
        metaUltima = (a + fine) / 2;
        for (qint64 l : {a + 1, metaUltima, fine - 3, fine - 2, fine - 1, fine, fine + 1})
            limiti << l;
        a = fine + 1;
    }
    for (qint64 limite : std::as_const(limiti)) {
        QFile::remove(giornale);
        QVERIFY(RegistraMovimenti({prima}));
        esegui(limite, interrotto);
        QCOMPARE(interrotto, limite < intero.size());
        QCOMPARE(QFileInfo(giornale).size(), limite);
        for (int volta = 0; volta < 2; ++volta) {
            const OrdiniAperti letti = LeggiOrdiniAperti();
            QVERIFY(letti.letto);
            const Aperti trovati = apertiDi(letti);
            if (trovati != tutti || limite <= metaUltima)
                QVERIFY2(trovati.isEmpty(), qPrintable(u"tagliato a %1 byte"_s.arg(limite)));
            // The next append leaves the cut line on its own.
            QVERIFY(RegistraMovimenti({prima}));
        }
    }
}

void TestOrdini::propostaDopoUnOrdine() {
    cartella->scriviArchivio(archivioDi(CARTE_IN_ORDINE));
    {
        TfrmOrdini f;
        f.show();
        QVERIFY(inOrdineLetto(f));
        QCOMPARE(righeDi(f), (QStringList{u"A= (100)"_s, u"B= (10)"_s, u"C= (8)"_s, u"D= (7)"_s}));
        QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
        QVERIFY(dialoghi->ultimo().startsWith(u"Registrato l'ordine di 4 articoli"_s));
    }
    // Opened again: every card is covered by what is on order, and nothing is proposed.
    {
        TfrmOrdini f;
        f.show();
        QTRY_COMPARE(righeDi(f),
                     (QStringList{u"-A=100 (1)"_s, u"-B=10 (1)"_s, u"-C=8 (1)"_s, u"-D=7 (1)"_s}));
        QVERIFY(inOrdineLetto(f));
        dialoghi->azzera();
        QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
        QVERIFY(dialoghi->ultimo().startsWith(u"Nessun articolo da ordinare"_s));
        QCOMPARE(figlio<QLabel>(&f, "lblTotale")->text(),
                 u"Totale ordine: € 0,00  (0 righe, 0 fornitori)"_s);
    }
    // 60 of A's 100 arrive (the stock still short), and 3 more of D are sold
    // elsewhere: only what is missing after what is still to come.
    cartella->scriviArchivio(archivioDi({{u"A"_s, u"Rossi"_s, u"60"_s, u"50"_s, u"1"_s},
                                         CARTE_IN_ORDINE[1],
                                         CARTE_IN_ORDINE[2],
                                         {u"D"_s, u"Verdi"_s, u"-2"_s, u"4"_s, u"4"_s}}));
    QVERIFY(RegistraMovimenti(
        {MovimentoScheda(carta(CARTE_IN_ORDINE[0]), 1, TipoMovimento::Carico, 60, 0),
         MovimentoScheda(carta(CARTE_IN_ORDINE[3]), 4, TipoMovimento::Scarico, -3, 1)}));
    TfrmOrdini f;
    f.show();
    // A is above its threshold again, its 40 still to come.
    QTRY_COMPARE(righeDi(f), (QStringList{u"-B=10 (1)"_s, u"-C=8 (1)"_s, u"D=7 (3)"_s}));
}

void TestOrdini::domandaPrimaDiOrdinareDiNuovo() {
    cartella->scriviArchivio(archivioDi(CARTE_IN_ORDINE));
    QVERIFY(RegistraMovimenti(
        {MovimentoScheda(carta(CARTE_IN_ORDINE[0]), 1, TipoMovimento::Ordine, 40, 0),
         MovimentoScheda(carta(CARTE_IN_ORDINE[2]), 3, TipoMovimento::Ordine, 2, 2)}));
    const qint64 lunghezza = QFileInfo(PercorsoGiornale()).size();
    TfrmOrdini f;
    f.show();
    QVERIFY(inOrdineLetto(f));
    QCOMPARE(righeDi(f), (QStringList{u"A=40 (60)"_s, u"B= (10)"_s, u"C=2 (6)"_s, u"D= (7)"_s}));

    // Both named before anything is recorded; "No" records nothing.
    dialoghi->rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Domanda);
    QVERIFY(dialoghi->ultimo().startsWith(
        u"Attenzione: 2 articoli hanno già un ordine aperto, non ancora ricevuto: A (40 in "
        "ordine), C (2 in ordine). Ordinarli di nuovo? Registrare nel giornale dei movimenti "
        "l'ordine di 4 articoli?"_s));
    QCOMPARE(QFileInfo(PercorsoGiornale()).size(), lunghezza);

    // With those two left out, the question is the usual one.
    QAbstractItemModel &m = f.modello();
    QVERIFY(m.setData(m.index(0, 0, m.index(0, 0)), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(m.setData(m.index(0, 0, m.index(1, 0)), Qt::Unchecked, Qt::CheckStateRole));
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
    QVERIFY(dialoghi->mostrati()[1].testo.startsWith(
        u"Registrare nel giornale dei movimenti l'ordine di 2 articoli?"_s));
    QVERIFY(dialoghi->ultimo().startsWith(u"Registrato l'ordine di 2 articoli"_s));
    QCOMPARE(apertiDi(LeggiOrdiniAperti()), (Aperti{{1, 40}, {2, 10}, {3, 2}, {4, 7}}));

    // Once more, one line already on order: named alone.
    QVERIFY(m.setData(m.index(0, 0, m.index(1, 0)), Qt::Checked, Qt::CheckStateRole));
    dialoghi->rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
    QVERIFY(dialoghi->ultimo().startsWith(u"Attenzione: 3 articoli hanno già un ordine aperto"_s));
    QVERIFY(
        dialoghi->ultimo().contains(u": B (10 in ordine), C (2 in ordine), D (7 in ordine)."_s));

    // One alone is named as one.
    QVERIFY(m.setData(m.index(1, 0, m.index(0, 0)), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(m.setData(m.index(1, 0, m.index(1, 0)), Qt::Unchecked, Qt::CheckStateRole));
    dialoghi->rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
    QVERIFY(dialoghi->ultimo().startsWith(
        u"Attenzione: un articolo ha già un ordine aperto, non ancora ricevuto: C (2 in ordine). "
        "Ordinarlo di nuovo? Registrare nel giornale dei movimenti l'ordine di 1 articolo?"_s));
    QCOMPARE(apertiDi(LeggiOrdiniAperti()), (Aperti{{1, 40}, {2, 10}, {3, 2}, {4, 7}}));
}

void TestOrdini::ordiniApertiChiusi() {
    // X came back above its threshold with 60 of 100; Z's order was cancelled.
    cartella->scriviArchivio(archivioDi({{u"X"_s, u"Rossi"_s, u"70"_s, u"50"_s, u"1"_s},
                                         {u"Y"_s, u"Rossi"_s, u"0"_s, u"5"_s, u"1"_s},
                                         {u"Z"_s, u"Verdi"_s, u"1"_s, u"5"_s, u"1"_s},
                                         {u"W"_s, u""_s, u"0"_s, u"2"_s, u"1"_s}}));
    const TScheda x = carta({u"X"_s, u"Rossi"_s, u"70"_s, u"50"_s, u"1"_s});
    const TScheda y = carta({u"Y"_s, u"Rossi"_s, u"0"_s, u"5"_s, u"1"_s});
    const TScheda z = carta({u"Z"_s, u"Verdi"_s, u"1"_s, u"5"_s, u"1"_s});
    const TScheda w = carta({u"W"_s, u""_s, u"0"_s, u"2"_s, u"1"_s});
    QVERIFY(RegistraMovimenti({MovimentoScheda(x, 1, TipoMovimento::Ordine, 100, 10),
                               MovimentoScheda(y, 2, TipoMovimento::Ordine, 10, 0),
                               MovimentoScheda(z, 3, TipoMovimento::Ordine, 8, 1),
                               MovimentoScheda(w, 4, TipoMovimento::Ordine, 3, 0),
                               MovimentoScheda(x, 1, TipoMovimento::Carico, 60, 10),
                               MovimentoScheda(z, 3, TipoMovimento::Ordine, -8, 1)}));

    TfrmOrdini f;
    f.show();
    QApplication::setActiveWindow(&f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QVERIFY(inOrdineLetto(f));
    // X is not short, so not in the order; the window after Annulla ordine shows it.
    QCOMPARE(righeDi(f), (QStringList{u"-Y=10 (1)"_s, u"Z= (9)"_s, u"W=3 (1)"_s}));
    auto *annulla = figlio<QPushButton>(&f, "btnAnnullaOrdine");
    annulla->setFocus();
    QTest::keyClick(annulla, Qt::Key_Tab);
    auto *apri = figlio<QPushButton>(&f, "btnOrdiniAperti");
    QCOMPARE(QApplication::focusWidget(), apri);
    QCOMPARE(apri->accessibleName(), u"Ordini aperti"_s);

    QStringList visti;
    auto righe = [](QDialog *d) {
        QStringList testi;
        const QAbstractItemModel *m = d->findChild<QTreeView *>(u"trvAperti"_s)->model();
        for (int g = 0; g < m->rowCount(); ++g) {
            testi << m->index(g, 0).data().toString() + u": "_s +
                         m->index(g, TfrmOrdiniAperti::DaRicevere).data().toString();
            for (int r = 0; r < m->rowCount(m->index(g, 0)); ++r) {
                QStringList celle;
                for (int c = 0; c < TfrmOrdiniAperti::COLONNE; ++c)
                    celle << m->index(r, c, m->index(g, 0)).data().toString();
                testi << u"  "_s + celle.join(u'|');
            }
        }
        return testi;
    };
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        visti << d->windowTitle();
        QApplication::setActiveWindow(d);
        QVERIFY(QTest::qWaitForWindowActive(d));
        auto *albero = d->findChild<QTreeView *>(u"trvAperti"_s);
        auto *riepilogo = d->findChild<QLabel *>(u"lblRiepilogo"_s);
        QCOMPARE(QApplication::focusWidget(), albero);
        QCOMPARE(righe(d),
                 (QStringList{u"Rossi: 50"_s, u"  X|Nome X|70|50|40"_s, u"  Y|Nome Y|0|5|10"_s,
                              u"Fornitore non indicato: 3"_s, u"  W|Nome W|0|2|3"_s}));
        QCOMPARE(riepilogo->text(), u"3 articoli da ricevere, 53 pezzi in tutto."_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(riepilogo)->text(QAccessible::Name),
                 u"Ordini aperti: "_s + riepilogo->text());

        // X's 40 will never come: closed from the keyboard, after a question.
        QTest::keyClick(albero, Qt::Key_Down);
        QCOMPARE(albero->currentIndex().data().toString(), u"X"_s);
        auto *chiudi = d->findChild<QPushButton *>(u"btnChiudiOrdine"_s);
        QTest::keyClick(albero, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), chiudi);
        QTest::keyClick(chiudi, Qt::Key_Space);
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Domanda);
        QCOMPARE(dialoghi->ultimo(),
                 u"Chiudere l'ordine aperto dell'articolo X (40 pezzi ancora da ricevere)? Questa "
                 "merce non sarà più attesa: nel giornale dei movimenti sarà registrata la riga "
                 "opposta."_s);
        QCOMPARE(righe(d), (QStringList{u"Rossi: 10"_s, u"  Y|Nome Y|0|5|10"_s,
                                        u"Fornitore non indicato: 3"_s, u"  W|Nome W|0|2|3"_s}));
        QCOMPARE(riepilogo->text(), u"2 articoli da ricevere, 13 pezzi in tutto."_s);

        // A whole supplier; a "No" closes nothing.
        albero->setCurrentIndex(albero->model()->index(1, 0));
        dialoghi->rispondi(Piattaforma::Risposta::No);
        QTest::mouseClick(chiudi, Qt::LeftButton);
        QVERIFY(dialoghi->ultimo().startsWith(
            u"Chiudere l'ordine aperto del fornitore Fornitore non indicato (3 pezzi"_s));
        albero->setCurrentIndex(albero->model()->index(1, 0));
        QTest::mouseClick(chiudi, Qt::LeftButton);
        QCOMPARE(righe(d), (QStringList{u"Rossi: 10"_s, u"  Y|Nome Y|0|5|10"_s}));
        QTest::mouseClick(d->findChild<QPushButton *>(u"btnChiudi"_s), Qt::LeftButton);
    });
    QTest::keyClick(apri, Qt::Key_Space);
    QCOMPARE(visti, QStringList{u" Ordini aperti"_s});
    QVERIFY(dialoghi->rimasteAperte().isEmpty());

    // Recorded as the opposite order lines; the order window follows.
    QCOMPARE(apertiDi(LeggiOrdiniAperti()), (Aperti{{2, 10}}));
    const StoriaScheda storia = LeggiStoriaScheda(1);
    QCOMPARE(storia.movimenti.last().tipo, TipoMovimento::Ordine);
    QCOMPARE(storia.movimenti.last().quantita, -40);
    QCOMPARE(righeDi(f), (QStringList{u"-Y=10 (1)"_s, u"Z= (9)"_s, u"W= (1)"_s}));
}

namespace {

// A journal that cannot be read (a named pipe, which a reader refuses at
// once), and the reading of what is on order held as it starts until the
// test lets it go on.
class GiornaleTrattenuto {
  public:
    explicit GiornaleTrattenuto(const QString &percorso)
        : m_fatto(::mkfifo(QFile::encodeName(percorso).constData(), 0600) == 0),
          m_stato(std::make_shared<Stato>()) {
        ImpostaInizioLetturaOrdini([stato = m_stato] {
            std::unique_lock blocco(stato->mutex);
            stato->iniziata = true;
            stato->via.wait(blocco, [&stato] { return stato->libera; });
        });
    }
    ~GiornaleTrattenuto() {
        // Never leaves a reader waiting, even when the test stopped early.
        {
            const std::lock_guard blocco(m_stato->mutex);
            m_stato->libera = true;
        }
        m_stato->via.notify_all();
        ImpostaInizioLetturaOrdini({});
    }
    bool fatto() const { return m_fatto; }
    // False while nobody is reading it yet.
    bool libera() {
        {
            const std::lock_guard blocco(m_stato->mutex);
            if (!m_stato->iniziata) return false;
            m_stato->libera = true;
        }
        m_stato->via.notify_all();
        return true;
    }

  private:
    struct Stato {
        std::mutex mutex;
        std::condition_variable via;
        bool iniziata = false;
        bool libera = false;
    };
    bool m_fatto = false;
    std::shared_ptr<Stato> m_stato;
};

} // namespace

void TestOrdini::inOrdineLettoAParte() {
    // The window opens without waiting for the journal: its lines are there
    // at once, what is on order comes when the reading ends, and recording
    // waits for it.
    cartella->scriviArchivio(archivioDi(CARTE_IN_ORDINE));
    TfrmOrdini f;
    GiornaleTrattenuto giornale(PercorsoGiornale());
    QVERIFY(giornale.fatto());
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(righeDi(f),
             (QStringList{u"A=... (100)"_s, u"B=... (10)"_s, u"C=... (8)"_s, u"D=... (7)"_s}));
    for (const char *nome : {"btnSegnaOrdinato", "btnAnnullaOrdine", "btnOrdiniAperti"})
        QVERIFY(!figlio<QPushButton>(&f, nome)->isEnabled());
    QVERIFY(figlio<QPushButton>(&f, "btnStampa")->isEnabled());
    QVERIFY(dialoghi->mostrati().isEmpty());

    bool libero = false;
    QTRY_VERIFY(libero || (libero = giornale.libera()));
    QTRY_VERIFY(figlio<QPushButton>(&f, "btnSegnaOrdinato")->isEnabled());
    QCOMPARE(righeDi(f), (QStringList{u"A= (100)"_s, u"B= (10)"_s, u"C= (8)"_s, u"D= (7)"_s}));
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    QVERIFY(dialoghi->ultimo().startsWith(u"Impossibile leggere il giornale dei movimenti"_s));

    // The under-stock list waits for it the same way.
    QVERIFY(QFile::remove(PercorsoGiornale()));
    TfrmSottoscorta sottoscorta;
    GiornaleTrattenuto ancora(PercorsoGiornale());
    QVERIFY(ancora.fatto());
    sottoscorta.show();
    auto *inOrdine = figlio<QLabel>(&sottoscorta, "lblInOrdine");
    QTRY_COMPARE(inOrdine->text(), u"Lettura degli ordini aperti in corso..."_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(inOrdine)->text(QAccessible::Name),
             u"In ordine: Lettura degli ordini aperti in corso..."_s);
    libero = false;
    QTRY_VERIFY(libero || (libero = ancora.libera()));
    QTRY_COMPARE(inOrdine->text(), QString());
}

int main(int argc, char *argv[]) {
    if (argc == 4 && qstrcmp(argv[1], "--segna") == 0)
        return Segna(QString::fromLocal8Bit(argv[2]), std::atoll(argv[3]));
    QApplication applicazione(argc, argv);
    TestOrdini test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_orders.moc"

// The order's main path on the folder and on the server: the short cards by
// supplier, the order recorded, the goods received; the same lines on both.
void TestOrdini::suDueArchivi() {
    QFETCH(QString, storage);
    ArchivioInUso archivio(storage, server,
                           {carta({u"A"_s, u"Rossi"_s, u"0"_s, u"2"_s, u"1"_s}),
                            carta({u"B"_s, u"Rossi"_s, u"5"_s, u"1"_s, u"1"_s}),
                            carta({u"C"_s, u"Verdi"_s, u"1"_s, u"3"_s, u"2"_s})});
    QVERIFY(archivio.pronto());
    {
        TfrmOrdini f;
        f.show();
        QVERIFY(inOrdineLetto(f));
        QCOMPARE(righeDi(f), (QStringList{u"A= (4)"_s, u"C= (5)"_s}));
        dialoghi->rispondi(Piattaforma::Risposta::Si);
        QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
        QVERIFY(dialoghi->ultimo().startsWith(u"Registrato l'ordine di 2 articoli"_s));
        QCOMPARE(righeDi(f), (QStringList{u"A=4 (4)"_s, u"C=5 (5)"_s}));
    }
    // A's goods come: its stock is above the threshold, and C's order is still open.
    TScheda a;
    QVERIFY(DepositoCorrente().leggi(1, a));
    QCOMPARE(DepositoCorrente().scrivi(1, a, 4, TipoMovimento::Carico, u"arrivo"_s).esito,
             Deposito::Salvataggio::Fatto);
    {
        TfrmOrdini f;
        f.show();
        QVERIFY(inOrdineLetto(f));
        QCOMPARE(righeDi(f), (QStringList{u"-C=5 (1)"_s}));
        // Cancelling C's order records the opposite line.
        f.findChild<QTreeView *>(u"trvOrdini"_s)
            ->setCurrentIndex(f.modello().index(0, 0, f.modello().index(0, 0)));
        dialoghi->rispondi(Piattaforma::Risposta::Si);
        QTest::mouseClick(figlio<QPushButton>(&f, "btnAnnullaOrdine"), Qt::LeftButton);
        QCOMPARE(righeDi(f), (QStringList{u"-C= (1)"_s}));
    }
    QCOMPARE(ArchivioInUso::righe(),
             (QStringList{u"Ordine 1 A 4 0 0 Ordine a Rossi"_s,
                          u"Ordine 3 C 5 1 1 Ordine a Verdi"_s, u"Carico 1 A 4 0 4 arrivo"_s,
                          u"Ordine 3 C -5 1 1 Annullato l'ordine a Verdi"_s}));
}

// A server that stops before the order is recorded: one clear message, the
// window stays as it was, nothing on the server.
void TestOrdini::serverFermo() {
    ArchivioInUso archivio(u"server"_s, server,
                           {carta({u"A"_s, u"Rossi"_s, u"0"_s, u"2"_s, u"1"_s})});
    QVERIFY(archivio.pronto());
    TfrmOrdini f;
    f.show();
    QVERIFY(inOrdineLetto(f));
    QVERIFY(server.server().ferma(true));
    dialoghi->rispondi(Piattaforma::Risposta::Si);
    QTest::mouseClick(figlio<QPushButton>(&f, "btnSegnaOrdinato"), Qt::LeftButton);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Errore);
    QVERIFY(dialoghi->ultimo().startsWith(u"Attenzione"_s));
    QCOMPARE(righeDi(f), (QStringList{u"A= (4)"_s}));
    QVERIFY(server.server().avvia());
    QVERIFY(ArchivioInUso::righe().isEmpty());
}
