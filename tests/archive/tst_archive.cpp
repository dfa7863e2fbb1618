#include "Fixture.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/Csv.h"
#include "archive/FileIntero.h"
#include "archive/FotoScheda.h"
#include "archive/Importi.h"
#include "archive/IntentoArchivio.h"
#include "archive/RegoleNumeri.h"
#include "archive/TestoFormula.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Flushes replaced for the length of a test.
class SincronizzazioneFinta {
  public:
    explicit SincronizzazioneFinta(std::function<int(int)> funzione)
        : m_vecchia(ImpostaSincronizzazioneArchivio(std::move(funzione))) {}
    ~SincronizzazioneFinta() { ImpostaSincronizzazioneArchivio(m_vecchia); }

  private:
    std::function<int(int)> m_vecchia;
};

// Records of the two-process driver: the code names the card, the name tells
// who wrote it last, and every other field is filled from the name, so a
// record made of two writes does not match the one rebuilt from its fields.
TScheda SchedaPilota(const QString &codice, const QString &firma) {
    const QString riempitivo = QString(firma + u'.').repeated(250 / (firma.size() + 1) + 1);
    TScheda scheda;
    for (int i = 0; i < NUMERO_CAMPI; ++i)
        scheda.impostaTesto(Campo(i), riempitivo);
    scheda.impostaTesto(Campo::Codice, codice);
    scheda.impostaTesto(Campo::Nome, firma);
    return scheda;
}

bool Intera(const TScheda &scheda) {
    return scheda.byte == SchedaPilota(scheda.testo(Campo::Codice), scheda.testo(Campo::Nome)).byte;
}

// One of two processes on one archive: appends its cards and writes others in
// place, checking every record it reads. Exit 0 when all went well.
int Pilota(const QString &percorso, const QString &nome, int operazioni) {
    // Without waiting on the disk, and with the cards made beforehand, the
    // two processes meet far more often.
    ImpostaSincronizzazioneArchivio([](int) { return 0; });
    std::vector<TScheda> nuove;
    for (int i = 0; i < operazioni; ++i) {
        const QString codice = nome + QString::number(i);
        nuove.push_back(SchedaPilota(codice, codice + u'/' + nome));
    }
    for (int attesa = 0; !QFile::exists(percorso + QStringLiteral(".via")); ++attesa) {
        if (attesa > 10000) return 5;
        usleep(1000);
    }
    QRandomGenerator caso(nome.at(0).unicode());
    for (int i = 0; i < operazioni; ++i) {
        Archivio archivio(percorso);
        if (!archivio.ApriArchivio() || archivio.accoda(nuove[std::size_t(i)]) < 1) return 2;
        const qint64 posizione = 1 + qint64(caso.bounded(quint64(archivio.conta())));
        TScheda letta;
        if (!archivio.leggi(posizione, letta)) return 2;
        if (!Intera(letta)) return 3;
        const QString suo = letta.testo(Campo::Codice);
        if (!archivio.scrivi(posizione, SchedaPilota(suo, suo + u'/' + nome + QString::number(i))))
            return 4;
        archivio.chiudi();
        if (i % 25 == 0) {
            bool intere = true;
            if (!ScorriArchivio(percorso, [&](const TScheda &s, qint64) {
                    intere = intere && Intera(s);
                    return true;
                }))
                return 2;
            if (!intere) return 3;
        }
    }
    return 0;
}

// The child of the crash tests: rewrites cards 2 and 4 and appends 600 new
// ones in one pass. At step `passo` (counted from 1; 0: none) it dies, or,
// with `attendi`, says so on stdout and waits for a line on stdin. A size
// limit above 0 applies to its files. The process starts with SIGXFSZ as the
// system sets it: only the program's own code may change that.
int Importa(const QString &archivio, int passo, bool attendi, qint64 limite) {
    if (limite > 0) {
        rlimit regola{};
        getrlimit(RLIMIT_FSIZE, &regola);
        regola.rlim_cur = rlim_t(limite);
        setrlimit(RLIMIT_FSIZE, &regola);
    }
    int n = 0;
    ImpostaPassoArchivio([&] {
        if (++n != passo) return;
        if (!attendi) ::raise(SIGKILL);
        std::fputs("fermo\n", stdout);
        std::fflush(stdout);
        char riga[8];
        if (!std::fgets(riga, sizeof riga, stdin)) std::_Exit(5);
    });
    Archivio a(archivio);
    if (!a.ApriArchivio()) return 2;
    const qint64 primo = a.scriviInsieme(
        {2, 4},
        [](qint64 i, TScheda &scheda) {
            scheda.impostaTesto(Campo::Nome, u"Aggiornata "_s + QString::number(i));
            return true;
        },
        600, [](qint64 i, TScheda &scheda) { scheda = SchedaNumero(int(100 + i)); });
    if (primo == 6) return 0;
    return a.errore() == EFBIG ? 4 : 1;
}

// The second copy beside a first one that dies half way through an import:
// it opens the archive while the first still holds it, says so, and then
// does one operation, which waits for the first one's lock.
int DopoLaCopiaMorta(const QString &archivio, const QString &operazione) {
    Archivio a(archivio);
    if (!a.ApriArchivio()) return 2;
    std::fputs("aperto\n", stdout);
    std::fflush(stdout);
    const TScheda sua = SchedaNumero(900);
    if (operazione == u"accoda") return a.accoda(sua) == 6 ? 0 : 1;
    if (operazione == u"insieme")
        return a.scriviInsieme({}, {}, 1, [&sua](qint64, TScheda &s) { s = sua; }) == 6 ? 0 : 1;
    if (operazione == u"sul posto") return a.scrivi(2, sua) ? 0 : 1;
    if (operazione == u"togli") {
        TScheda tolta, spostata;
        qint64 da = 0;
        const auto stessa = [](const TScheda &s) { return s.byte == SchedaNumero(5).byte; };
        return a.togli(5, stessa, tolta, spostata, da) ? 0 : 1;
    }
    return 3;
}

// Opens an archive with a named pipe beside it, in the intent record's place
// (refused at once) or in its new copy's (a leftover, removed): never waited
// on. Exit 0 when so.
int ApriAccantoAllaPipe(const QString &archivio, bool rifiuta) {
    Archivio a(archivio);
    if (!rifiuta) return a.ApriArchivio() && a.accoda(SchedaNumero(2)) == 2 ? 0 : 1;
    if (a.ApriArchivio() || a.errore() != EINVAL) return 1;
    if (ScorriArchivio(archivio, [](const TScheda &, qint64) { return true; })) return 2;
    const int fd = ::open(QFile::encodeName(archivio).constData(), O_RDWR);
    if (fd < 0) return 3;
    const Ripristino esito = RipristinaDaIntento(fd, archivio);
    ::close(fd);
    return esito == Ripristino::Nessuno || esito == Ripristino::Fallito ? 0 : 4;
}

// Five cards and the start of a sixth, and what the child's pass makes of them.
QByteArray PrimaDellImportazione() {
    return ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3), SchedaNumero(4),
                       SchedaNumero(5)}) +
           QByteArray(100, '\x07');
}
QByteArray DopoLImportazione() {
    QByteArray dopo;
    auto aggiungi = [&dopo](const TScheda &s) {
        dopo.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    };
    for (int i = 1; i <= 5; ++i) {
        TScheda s = SchedaNumero(i);
        if (i == 2 || i == 4)
            s.impostaTesto(Campo::Nome, u"Aggiornata "_s + QString::number(i / 2 - 1));
        aggiungi(s);
    }
    for (int i = 0; i < 600; ++i)
        aggiungi(SchedaNumero(100 + i));
    return dopo;
}

} // namespace

class TestArchivio : public QObject {
    Q_OBJECT

  private slots:
    void campiAlloroOffset();
    void testoTagliatoERifilato();
    void pagatoEBytePerBytes();
    void windows1252DaTabella();
    void lunghezzaDanneggiataLettaComeMassimo();
    void archivioMancanteCreatoVuoto();
    void recordParzialeSovrascrittoDallAccodamento();
    void testoSenzaFormula_data();
    void testoSenzaFormula();
    void campiCsv_data();
    void campiCsv();
    void codificaCampoCsv();
    void utf8Valido_data();
    void utf8Valido();
    void importiConMigliaia_data();
    void importiConMigliaia();
    void fileCheNonEUnArchivio_data();
    void fileCheNonEUnArchivio();
    void scritturaToccaSoloIlSuoRecord();
    void scorrimentoInOrdineEInterrotto();
    void archivioInaccessibile();
    void ogniScritturaSuDisco();
    void accodamentoFallito_data();
    void accodamentoFallito();
    void posizioniImpossibili_data();
    void posizioniImpossibili();
    void archivioOltreDueGigabyte();
    void bloccoRispettato_data();
    void bloccoRispettato();
    void dueProcessiInsieme();
    void fotoSalvataERiletta();
    void fotoMancanteOIllegibile();
    void fileInteroOppureNiente_data();
    void fileInteroOppureNiente();
    void letturaNumeri_data();
    void letturaNumeri();
    void scritturaNumeri_data();
    void scritturaNumeri();
    void numeriRiletti_data();
    void numeriRiletti();
    void numeriRilettiACaso();
    void arrotonda();
    void normalizzaImporto_data();
    void normalizzaImporto();
    void normalizzaQuantita();
    void messaggioAccesso();
    void messaggioScrittura_data();
    void messaggioScrittura();
    void importazioneInterrottaAnnullata();
    void copiaAlLavoroNonDisturbata();
    void limiteDimensioneErroreOrdinario();
    void conclusioneNelLoroFile_data();
    void conclusioneNelLoroFile();
    void copiaMortaDuranteLImportazione_data();
    void copiaMortaDuranteLImportazione();
    void pipeAlPostoDelRegistro_data();
    void pipeAlPostoDelRegistro();
    void registroNonSostituito();
    void annullataTogliIFileSuoi();
};

void TestArchivio::campiAlloroOffset() {
    // Each field gets a text as long as its width; its length byte and its
    // characters must sit exactly where the record layout puts them.
    TScheda scheda;
    for (int i = 0; i < NUMERO_CAMPI; ++i) {
        const auto campo = Campo(i);
        scheda.impostaTesto(campo, QString(definizione(campo).massimo, QChar(u'A' + i)));
    }
    const struct {
        Campo campo;
        int offset;
        int massimo;
    } attesi[] = {{Campo::Codice, 0, 25},         {Campo::Costo, 26, 12},
                  {Campo::Nome, 39, 50},          {Campo::Giacenza, 90, 4},
                  {Campo::Avviso, 95, 3},         {Campo::UM, 99, 30},
                  {Campo::Tipologia, 130, 50},    {Campo::Caratteristiche, 181, 250},
                  {Campo::Collocazione, 432, 50}, {Campo::Ditta, 483, 50},
                  {Campo::Agente, 534, 50},       {Campo::Recapito, 585, 30},
                  {Campo::Documento, 616, 50},    {Campo::Pagamento, 667, 50},
                  {Campo::DataSca, 718, 10},      {Campo::Note, 729, 250},
                  {Campo::Prezzo, 980, 12},       {Campo::Pagato, 993, 2},
                  {Campo::File01, 996, 250},      {Campo::File02, 1247, 250},
                  {Campo::File03, 1498, 250},     {Campo::Desc01, 1749, 250},
                  {Campo::Desc02, 2000, 250},     {Campo::Desc03, 2251, 250}};
    int fine = 0;
    for (const auto &a : attesi) {
        const char lettera = char('A' + int(a.campo));
        QCOMPARE(int(scheda.byte[std::size_t(a.offset)]), a.massimo);
        QCOMPARE(char(scheda.byte[std::size_t(a.offset + 1)]), lettera);
        QCOMPARE(char(scheda.byte[std::size_t(a.offset + a.massimo)]), lettera);
        QCOMPARE(scheda.testo(a.campo), QString(a.massimo, QChar::fromLatin1(lettera)));
        QCOMPARE(a.offset, fine); // no padding between fields
        fine = a.offset + 1 + a.massimo;
    }
    QCOMPARE(fine, TScheda::DIMENSIONE);
}

void TestArchivio::testoTagliatoERifilato() {
    TScheda scheda;
    const QString sessanta = QString(50, u'x') + QStringLiteral("0123456789");
    scheda.impostaTesto(Campo::Nome, sessanta);
    QCOMPARE(int(scheda.byte[39]), 50);
    QCOMPARE(scheda.testo(Campo::Nome), QString(50, u'x'));

    scheda.impostaTesto(Campo::Ditta, QStringLiteral("  \tRossi & C.  \r\n"));
    QCOMPARE(int(scheda.byte[483]), 10);
    QCOMPARE(scheda.testo(Campo::Ditta), QStringLiteral("Rossi & C."));

    // Blanks stored by another program are trimmed on reading as well.
    scheda.byte[26] = 4;
    std::memcpy(scheda.byte.data() + 27, " 5, ", 4);
    QCOMPARE(scheda.testo(Campo::Costo), QStringLiteral("5,"));

    // Windows-1252 beyond Latin-1: the euro sign is byte 0x80.
    scheda.impostaTesto(Campo::Note, QStringLiteral("€ 5 – “ok”"));
    QCOMPARE(int(scheda.byte[730]), 0x80);
    QCOMPARE(scheda.testo(Campo::Note), QStringLiteral("€ 5 – “ok”"));
    QVERIFY(!Cp1252::rappresentabile(QStringLiteral("ok ✓")));
    QCOMPARE(Cp1252::primoNonRappresentabile(QStringLiteral("ok ✓")), QStringLiteral("✓"));
    QCOMPARE(Cp1252::primoNonRappresentabile(QStringLiteral("a 😀 b")), QStringLiteral("😀"));
}

void TestArchivio::pagatoEBytePerBytes() {
    TScheda scheda;
    scheda.impostaTesto(Campo::Pagato, QStringLiteral("Sì"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(scheda.byte.data()) + 993, 3),
             QByteArray("\x02\x53\xEC", 3));
    QCOMPARE(scheda.testo(Campo::Pagato), QStringLiteral("Sì"));
    scheda.impostaTesto(Campo::Pagato, QStringLiteral("No"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(scheda.byte.data()) + 993, 3),
             QByteArray("\x02\x4E\x6F", 3));
}

void TestArchivio::windows1252DaTabella() {
    // Bytes 0x80 to 0x9F as the code chart gives them; the five bytes the
    // chart leaves empty stand for the C1 control of the same value.
    const QString grafico = QStringLiteral("€\u0081‚ƒ„…†‡"
                                           "ˆ‰Š‹Œ\u008DŽ\u008F"
                                           "\u0090‘’“”•–—"
                                           "˜™š›œ\u009DžŸ");
    QCOMPARE(grafico.size(), 32);
    QByteArray byte;
    for (int b = 0x80; b <= 0x9F; ++b) {
        const char c = char(b);
        const QChar atteso = grafico[b - 0x80];
        QCOMPARE(Cp1252::decodifica(&c, 1), QString(atteso));
        QCOMPARE(Cp1252::codifica(QString(atteso)), QByteArray(1, c));
        byte += c;
    }
    QCOMPARE(Cp1252::decodifica(byte.constData(), byte.size()), grafico);
    QCOMPARE(Cp1252::codifica(grafico), byte);
    QVERIFY(Cp1252::rappresentabile(grafico));
    // Above 0x9F the bytes are Latin-1; U+0080 to U+009F outside the chart have no byte.
    for (int b = 0xA0; b <= 0xFF; ++b) {
        const char c = char(b);
        QCOMPARE(Cp1252::decodifica(&c, 1), QString(QChar(b)));
        QCOMPARE(Cp1252::codifica(QString(QChar(b))), QByteArray(1, c));
    }
    QVERIFY(!Cp1252::rappresentabile(QString(QChar(0x80))));
    QVERIFY(!Cp1252::rappresentabile(QString(QChar(0x9F))));
}

void TestArchivio::lunghezzaDanneggiataLettaComeMassimo() {
    TScheda scheda = SchedaDiProva(
        {{Campo::Giacenza, QStringLiteral("12")}, {Campo::Avviso, QStringLiteral("3")}});
    scheda.byte[90] = 200; // stock field holds 4 characters at most
    QCOMPARE(scheda.lunghezza(Campo::Giacenza), 4);
    QCOMPARE(scheda.testo(Campo::Giacenza).size(), 2); // "12" and two zero bytes, trimmed
    QCOMPARE(scheda.testo(Campo::Avviso), QStringLiteral("3"));
    for (int i = 0; i < NUMERO_CAMPI; ++i)
        scheda.byte[std::size_t(definizione(Campo(i)).offset)] = 255;
    for (int i = 0; i < NUMERO_CAMPI; ++i)
        QVERIFY(scheda.testo(Campo(i)).size() <= definizione(Campo(i)).massimo);
}

void TestArchivio::archivioMancanteCreatoVuoto() {
    CartellaDiProva cartella;
    QVERIFY(!QFile::exists(cartella.archivio()));
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    QCOMPARE(archivio.conta(), 0);
    TScheda scheda;
    QVERIFY(!archivio.leggi(1, scheda)); // reading past the end fails
    archivio.chiudi();
    QVERIFY(QFile::exists(cartella.archivio()));
    QCOMPARE(QFileInfo(cartella.archivio()).size(), 0);
}

void TestArchivio::recordParzialeSovrascrittoDallAccodamento() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}) + QByteArray(1, 'z'));
    QCOMPARE(cartella.leggiArchivio().size(), 5005);

    int letti = 0;
    QVERIFY(ScorriArchivio(cartella.archivio(), [&](const TScheda &, qint64) { return ++letti; }));
    QCOMPARE(letti, 2);

    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    QCOMPARE(archivio.conta(), 2);
    QCOMPARE(archivio.accoda(SchedaNumero(3)), 3);
    archivio.chiudi();
    const QByteArray dopo = cartella.leggiArchivio();
    QCOMPARE(dopo.size(), 7506);
    QCOMPARE(dopo.mid(5004), ArchivioDi({SchedaNumero(3)}));
}

void TestArchivio::testoSenzaFormula_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("giornale"); // as the journal writes it
    QTest::addColumn<QString>("csv");      // as the CSV export writes it
    QTest::newRow("testo") << u"Vite"_s << u"Vite"_s << u"Vite"_s;
    QTest::newRow("formula") << u"=A1+1"_s << u"'=A1+1"_s << u"'=A1+1"_s;
    QTest::newRow("chiocciola") << u"@somma"_s << u"'@somma"_s << u"'@somma"_s;
    QTest::newRow("numero col segno") << u"-3,5"_s << u"-3,5"_s << u"-3,5"_s;
    QTest::newRow("segno e testo") << u"-x"_s << u"'-x"_s << u"'-x"_s;
    QTest::newRow("segno solo") << u"+"_s << u"'+"_s << u"'+"_s;
    // The one case the two files have always written apart.
    QTest::newRow("telefono") << u"+39 02 1234567"_s << u"'+39 02 1234567"_s << u"+39 02 1234567"_s;
    QTest::newRow("già con apostrofo") << u"'=x"_s << u"''=x"_s << u"''=x"_s;
    QTest::newRow("apostrofo e testo") << u"'ok"_s << u"'ok"_s << u"'ok"_s;
    QTest::newRow("tabulazione") << u"\tx"_s << u"'\tx"_s << u"'\tx"_s;
}

void TestArchivio::testoSenzaFormula() {
    QFETCH(QString, testo);
    QFETCH(QString, giornale);
    QFETCH(QString, csv);
    QCOMPARE(TestoSenzaFormula(testo, NumeroConSpazi::No), giornale);
    QCOMPARE(TestoSenzaFormula(testo, NumeroConSpazi::Si), csv);
    // And back, exactly.
    QCOMPARE(TestoDaSenzaFormula(giornale, NumeroConSpazi::No), testo);
    QCOMPARE(TestoDaSenzaFormula(csv, NumeroConSpazi::Si), testo);
}

// One record split by both rules, as bytes and as text: the journal's
// rigorous reading refuses what the import's tolerant one takes as written.
void TestArchivio::campiCsv_data() {
    QTest::addColumn<QString>("riga");
    QTest::addColumn<QStringList>("tolleranti");
    QTest::addColumn<bool>("rigorosa");
    const QStringList vuoto{QString()};
    QTest::newRow("vuota") << QString() << vuoto << true;
    QTest::newRow("semplice") << u"a;b;c"_s << QStringList{u"a"_s, u"b"_s, u"c"_s} << true;
    QTest::newRow("ultimo vuoto") << u"a;"_s << QStringList{u"a"_s, QString()} << true;
    QTest::newRow("virgolette") << u"\"x;y\";\"\"\"q\"\"\";\"\""_s
                                << QStringList{u"x;y"_s, u"\"q\""_s, QString()} << true;
    QTest::newRow("virgoletta nel mezzo") << u"a\"b;c"_s << QStringList{u"a\"b"_s, u"c"_s} << true;
    QTest::newRow("oltre la chiusura")
        << u"\"ab\"cd;e"_s << QStringList{u"abcd"_s, u"e"_s} << false;
    QTest::newRow("mai chiusa") << u"a;\"b\"\"c;d"_s << QStringList{u"a"_s, u"b\"c;d"_s} << false;
}

void TestArchivio::campiCsv() {
    QFETCH(QString, riga);
    QFETCH(QStringList, tolleranti);
    QFETCH(bool, rigorosa);
    QStringList testi;
    QVERIFY(DividiCampiCsv(QStringView(riga), QChar(u';'), Virgolette::Tolleranti, [&](auto &&c) {
        testi << QStringView(c).toString();
        return true;
    }));
    QCOMPARE(testi, tolleranti);
    const QByteArray byte = riga.toUtf8();
    QStringList daByte;
    const bool letta =
        DividiCampiCsv(QByteArrayView(byte), ';', Virgolette::Rigorose, [&](auto &&c) {
            daByte << QString::fromUtf8(c);
            return true;
        });
    QCOMPARE(letta, rigorosa);
    if (rigorosa) QCOMPARE(daByte, tolleranti);
    // Stopping early hands over no further field.
    int presi = 0;
    DividiCampiCsv(QByteArrayView(byte), ';', Virgolette::Tolleranti, [&](auto &&) {
        ++presi;
        return false;
    });
    QCOMPARE(presi, 1);
}

void TestArchivio::codificaCampoCsv() {
    const QString testo = u"Rossi, \"Mario\";\r\nnota"_s;
    QCOMPARE(CodificaCampoCsv(testo, ACapo::Tenuti),
             QByteArray("\"Rossi, \"\"Mario\"\";\r\nnota\""));
    QCOMPARE(CodificaCampoCsv(testo, ACapo::InSpazi, Virgola::TraVirgolette),
             QByteArray("\"Rossi, \"\"Mario\"\";  nota\""));
    QCOMPARE(CodificaCampoCsv(u"2,5"_s, ACapo::Tenuti), QByteArray("2,5"));
    QCOMPARE(CodificaCampoCsv(u"2,5"_s, ACapo::InSpazi, Virgola::TraVirgolette),
             QByteArray("\"2,5\""));
    QCOMPARE(CodificaCampoCsv(u"più"_s, ACapo::Tenuti), QByteArray("pi\xC3\xB9"));
    // Whatever is written splits back into the same field.
    const QByteArray scritto = CodificaCampoCsv(testo, ACapo::Tenuti);
    QString letto;
    DividiCampiCsv(QByteArrayView(scritto), ';', Virgolette::Rigorose, [&](auto &&c) {
        letto = QString::fromUtf8(c);
        return true;
    });
    QCOMPARE(letto, testo);
}

void TestArchivio::utf8Valido_data() {
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<bool>("valido");
    QTest::newRow("ascii lungo") << QByteArray(40, 'a') << true;
    QTest::newRow("accenti") << QByteArray("caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x93\xA6") << true;
    QTest::newRow("windows-1252") << QByteArray("caff\xE8") << false;
    QTest::newRow("troppo lunga") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("surrogato") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("oltre U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("tagliata in fondo") << QByteArray("abcdefgh\xE2\x82") << false;
    QTest::newRow("continuazione sola") << QByteArray("\x80") << false;
}

void TestArchivio::utf8Valido() {
    QFETCH(QByteArray, byte);
    QFETCH(bool, valido);
    QCOMPARE(Utf8Valido(byte), valido);
    // The same answer as Qt's own decoder.
    QStringDecoder qt(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(qt.decode(byte));
    QCOMPARE(!qt.hasError(), valido);
}

void TestArchivio::importiConMigliaia_data() {
    QTest::addColumn<double>("importo");
    QTest::addColumn<QString>("semplice");
    QTest::addColumn<QString>("euro");
    QTest::newRow("piccolo") << 117.5 << u"117,50"_s << u"€ 117,50"_s;
    QTest::newRow("migliaia") << 1490.0 << u"1490,00"_s << u"€ 1.490,00"_s;
    QTest::newRow("centinaia di migliaia") << 827810.2449 << u"827810,24"_s << u"€ 827.810,24"_s;
    QTest::newRow("milioni") << 2900000.0 << u"2900000,00"_s << u"€ 2.900.000,00"_s;
    QTest::newRow("negativo") << -1234.567 << u"-1234,57"_s << u"€ -1.234,57"_s;
    QTest::newRow("meno zero") << -0.001 << u"0,00"_s << u"€ 0,00"_s;
    QTest::newRow("mezzo centesimo") << 0.005 << u"0,01"_s << u"€ 0,01"_s;
}

void TestArchivio::importiConMigliaia() {
    QFETCH(double, importo);
    QFETCH(QString, semplice);
    QFETCH(QString, euro);
    QCOMPARE(ImportoSemplice(importo), semplice);
    QCOMPARE(ImportoInEuro(importo), euro);
}

void TestArchivio::fileCheNonEUnArchivio_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<bool>("archivio");
    const QByteArray csv = "Codice;Costo;Nome;Giacenza\r\nART-1;1,50;Vite;12\r\n";
    QTest::newRow("CSV salvato al suo posto") << csv << false;
    QTest::newRow("CSV lungo") << csv.repeated(200) << false;
    QTest::newRow("prima scheda interrotta") << ArchivioDi({SchedaNumero(1)}).left(700) << true;
    QTest::newRow("ultima scheda interrotta")
        << ArchivioDi({SchedaNumero(1), SchedaNumero(2)}).chopped(9) << true;
    QTest::newRow("vuoto") << QByteArray() << true;
}

void TestArchivio::fileCheNonEUnArchivio() {
    // Something else saved over the archive is said at once, and nothing is
    // written to it: it is not an empty archive to add cards to.
    QFETCH(QByteArray, contenuto);
    QFETCH(bool, archivio);
    CartellaDiProva cartella;
    cartella.scriviArchivio(contenuto);
    QCOMPARE(ArchivioNonRiconosciuto(cartella.archivio()), !archivio);
    Archivio file;
    QCOMPARE(file.ApriArchivio(), archivio);
    if (archivio) return;
    QCOMPARE(file.errore(), EBADMSG);
    QVERIFY(MessaggioScritturaArchivio(file.errore()).contains(u"non è un archivio di Quadrelo"_s));
    QCOMPARE(file.accoda(SchedaNumero(3)), -1);
    QCOMPARE(cartella.leggiArchivio(), contenuto);
}

void TestArchivio::scritturaToccaSoloIlSuoRecord() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));
    const QByteArray prima = cartella.leggiArchivio();
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    QVERIFY(archivio.scrivi(2, SchedaNumero(9)));
    TScheda riletta;
    QVERIFY(archivio.leggi(2, riletta));
    QCOMPARE(riletta.testo(Campo::Codice), QStringLiteral("COD9"));
    archivio.chiudi();
    const QByteArray dopo = cartella.leggiArchivio();
    QCOMPARE(dopo.size(), prima.size());
    QCOMPARE(dopo.left(2502), prima.left(2502));
    QCOMPARE(dopo.mid(2502, 2502), ArchivioDi({SchedaNumero(9)}));
    QCOMPARE(dopo.mid(5004), prima.mid(5004));
}

void TestArchivio::scorrimentoInOrdineEInterrotto() {
    CartellaDiProva cartella;
    // More records than one read block holds, to cross a block boundary.
    QByteArray contenuto;
    for (int i = 1; i <= 600; ++i)
        contenuto += ArchivioDi({SchedaNumero(i)});
    cartella.scriviArchivio(contenuto + QByteArray(100, '\0'));

    QStringList codici;
    qint64 ultima = 0;
    QVERIFY(ScorriArchivio(cartella.archivio(), [&](const TScheda &s, qint64 posizione) {
        codici << s.testo(Campo::Codice);
        ultima = posizione;
        return true;
    }));
    QCOMPARE(codici.size(), 600);
    QCOMPARE(codici.first(), QStringLiteral("COD1"));
    QCOMPARE(codici.at(299), QStringLiteral("COD300"));
    QCOMPARE(ultima, 600);

    int visti = 0;
    QVERIFY(
        ScorriArchivio(cartella.archivio(), [&](const TScheda &, qint64) { return ++visti < 5; }));
    QCOMPARE(visti, 5);
}

void TestArchivio::archivioInaccessibile() {
    CartellaDiProva cartella;
    // Something that is no file sits where the archive should be: even an
    // administrator cannot open it as one.
    QVERIFY(QDir(cartella.percorso()).mkdir(QStringLiteral("Magazzino.pro")));
    Archivio archivio;
    QVERIFY(!archivio.ApriArchivio());
    QCOMPARE(archivio.conta(), -1);
    QVERIFY(!archivio.scrivi(1, SchedaNumero(1)));
    QVERIFY(!ScorriArchivio(cartella.archivio(), [](const TScheda &, qint64) { return true; }));

    // A folder that does not exist cannot hold a new archive.
    Archivio altrove(cartella.percorso(QStringLiteral("manca/Magazzino.pro")));
    QVERIFY(!altrove.ApriArchivio());
}

void TestArchivio::ogniScritturaSuDisco() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    // At each flush: what the file then holds at the record written.
    QByteArrayList allaSincronizzazione;
    qint64 offset = 0;
    SincronizzazioneFinta finta([&](int fd) {
        allaSincronizzazione << cartella.leggiArchivio().mid(offset, TScheda::DIMENSIONE);
        return ::fsync(fd);
    });
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    offset = 2 * TScheda::DIMENSIONE;
    QCOMPARE(archivio.accoda(SchedaNumero(3)), 3);
    QCOMPARE(allaSincronizzazione, QByteArrayList{ArchivioDi({SchedaNumero(3)})});

    allaSincronizzazione.clear();
    offset = TScheda::DIMENSIONE;
    QVERIFY(archivio.scrivi(2, SchedaNumero(9)));
    QCOMPARE(allaSincronizzazione, QByteArrayList{ArchivioDi({SchedaNumero(9)})});
}

void TestArchivio::accodamentoFallito_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<qint64>("spazio"); // bytes the file may still grow; -1 no limit
    QTest::addColumn<bool>("sincronizzazioneFallita");
    const QByteArray due = ArchivioDi({SchedaNumero(1), SchedaNumero(2)});
    const QByteArray coda = due + QByteArray(700, 'z');
    QTest::newRow("flush fallito") << due << qint64(-1) << true;
    QTest::newRow("disco pieno") << due << qint64(0) << false;
    QTest::newRow("disco pieno a meta record") << due << qint64(1000) << false;
    QTest::newRow("record parziale, disco pieno a meta") << coda << qint64(1000) << false;
    QTest::newRow("record parziale, flush fallito") << coda << qint64(-1) << true;
}

void TestArchivio::accodamentoFallito() {
    // The file is as it was: no card on disk that the user was told was not
    // saved, so saving again does not add a second copy.
    QFETCH(QByteArray, contenuto);
    QFETCH(qint64, spazio);
    QFETCH(bool, sincronizzazioneFallita);
    CartellaDiProva cartella;
    cartella.scriviArchivio(contenuto);
    {
        SincronizzazioneFinta finta([&](int fd) {
            if (!sincronizzazioneFallita) return ::fsync(fd);
            errno = EIO;
            return -1;
        });
        const DiscoPieno disco(spazio < 0 ? -1 : contenuto.size() + spazio);
        QCOMPARE(disco.attivo(), spazio >= 0);
        Archivio archivio;
        QVERIFY(archivio.ApriArchivio());
        QCOMPARE(archivio.accoda(SchedaNumero(3)), -1);
    }
    QCOMPARE(cartella.leggiArchivio(), contenuto);

    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    QCOMPARE(archivio.accoda(SchedaNumero(3)), 3);
}

void TestArchivio::posizioniImpossibili_data() {
    QTest::addColumn<qint64>("posizione");
    QTest::addColumn<qint64>("quante");
    QTest::newRow("zero") << qint64(0) << qint64(1);
    QTest::newRow("negativa") << qint64(-1) << qint64(1);
    QTest::newRow("dopo l'ultima") << qint64(4) << qint64(1);
    QTest::newRow("oltre l'ultima") << qint64(6) << qint64(1);
    QTest::newRow("blocco oltre l'ultima") << qint64(2) << qint64(3);
    QTest::newRow("offset oltre 64 bit") << qint64(3'700'000'000'000'000) << qint64(1);
    QTest::newRow("ultima possibile") << Archivio::POSIZIONE_MASSIMA << qint64(1);
    QTest::newRow("dopo l'ultima possibile") << Archivio::POSIZIONE_MASSIMA + 1 << qint64(1);
    QTest::newRow("la piu grande") << std::numeric_limits<qint64>::max() << qint64(1);
    QTest::newRow("blocco sterminato") << qint64(2) << std::numeric_limits<qint64>::max();
    QTest::newRow("blocco fino al limite") << qint64(2) << Archivio::POSIZIONE_MASSIMA;
}

void TestArchivio::posizioniImpossibili() {
    // Three records: writing past them would leave records of zeros that read
    // as cards, and a position no file can reach must not wrap around.
    QFETCH(qint64, posizione);
    QFETCH(qint64, quante);
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));
    const QByteArray prima = cartella.leggiArchivio();
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    if (quante == 1) QVERIFY(!archivio.scrivi(posizione, SchedaNumero(9)));
    std::vector<TScheda> lette(4); // enough for every block that is read at all
    QVERIFY(!archivio.leggi(posizione, lette.data(), quante));
    archivio.chiudi();
    QCOMPARE(cartella.leggiArchivio(), prima);
}

void TestArchivio::archivioOltreDueGigabyte() {
    // A sparse file of 900,000 records: offsets past 2^31 and 2^32.
    CartellaDiProva cartella;
    constexpr qint64 posizione = 900000;
    {
        QFile file(cartella.archivio());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(posizione * TScheda::DIMENSIONE));
    }
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio());
    QCOMPARE(archivio.conta(), posizione);
    QVERIFY(archivio.scrivi(posizione, SchedaNumero(7)));
    QCOMPARE(archivio.accoda(SchedaNumero(8)), posizione + 1);
    TScheda letta;
    QVERIFY(archivio.leggi(posizione, letta));
    QCOMPARE(letta.testo(Campo::Codice), QStringLiteral("COD7"));
    TScheda due[2];
    QVERIFY(archivio.leggi(posizione, due, 2));
    QCOMPARE(due[1].testo(Campo::Codice), QStringLiteral("COD8"));
    archivio.chiudi();

    QFile file(cartella.archivio());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), (posizione + 1) * TScheda::DIMENSIONE);
    QVERIFY(file.seek((posizione - 1) * TScheda::DIMENSIONE));
    QCOMPARE(file.read(2 * TScheda::DIMENSIONE), ArchivioDi({SchedaNumero(7), SchedaNumero(8)}));
    QVERIFY(file.seek((posizione - 2) * TScheda::DIMENSIONE));
    QCOMPARE(file.read(TScheda::DIMENSIONE), QByteArray(TScheda::DIMENSIONE, '\0'));
}

void TestArchivio::bloccoRispettato_data() {
    QTest::addColumn<QString>("operazione");
    QTest::addColumn<int>("tipo"); // of the lock another copy holds
    QTest::addColumn<qint64>("da");
    QTest::addColumn<qint64>("lunghezza"); // 0: to the end and beyond
    QTest::addColumn<bool>("attende");
    constexpr qint64 R = TScheda::DIMENSIONE;
    QTest::newRow("accodamento, chi legge") << u"accoda"_qs << F_RDLCK << R << R << true;
    QTest::newRow("accodamento di piu schede, chi legge")
        << u"accodaTutte"_qs << F_RDLCK << R << R << true;
    QTest::newRow("accodamento, chi scrive oltre la fine")
        << u"accoda"_qs << F_WRLCK << 3 * R << qint64(0) << true;
    QTest::newRow("scrittura, chi legge il record") << u"scrivi"_qs << F_RDLCK << R << R << true;
    QTest::newRow("scrittura, chi legge un byte")
        << u"scrivi"_qs << F_RDLCK << 2 * R - 1 << qint64(1) << true;
    QTest::newRow("scrittura, chi legge un altro record")
        << u"scrivi"_qs << F_RDLCK << 2 * R << R << false;
    QTest::newRow("lettura, chi scrive") << u"leggi"_qs << F_WRLCK << R << R << true;
    QTest::newRow("lettura, chi scrive un altro record")
        << u"leggi"_qs << F_WRLCK << qint64(0) << R << false;
    QTest::newRow("letture insieme") << u"leggi"_qs << F_RDLCK << R << R << false;
    QTest::newRow("scorrimento, chi scrive") << u"scorri"_qs << F_WRLCK << 2 * R << R << true;
}

void TestArchivio::bloccoRispettato() {
    // Another copy of the program holds a lock on part of the archive: an
    // operation on the same bytes waits for it, one on other bytes does not.
    QFETCH(QString, operazione);
    QFETCH(int, tipo);
    QFETCH(qint64, da);
    QFETCH(qint64, lunghezza);
    QFETCH(bool, attende);
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));

    QFile altro(cartella.archivio());
    QVERIFY(altro.open(QIODevice::ReadWrite));
    struct flock regione {};
    regione.l_type = short(tipo);
    regione.l_whence = SEEK_SET;
    regione.l_start = off_t(da);
    regione.l_len = off_t(lunghezza);
    QCOMPARE(::fcntl(altro.handle(), F_OFD_SETLK, &regione), 0);

    std::atomic<bool> fatto = false;
    bool riuscito = false;
    std::thread filo([&] {
        Archivio archivio(cartella.archivio());
        if (archivio.ApriArchivio()) {
            TScheda scheda;
            if (operazione == u"accoda")
                riuscito = archivio.accoda(SchedaNumero(4)) == 4;
            else if (operazione == u"accodaTutte")
                riuscito = archivio.accodaTutte(
                               2, [](qint64 i, TScheda &s) { s = SchedaNumero(int(i) + 4); }) == 4;
            else if (operazione == u"scrivi")
                riuscito = archivio.scrivi(2, SchedaNumero(9));
            else if (operazione == u"leggi")
                riuscito = archivio.leggi(2, scheda);
            else
                riuscito = ScorriArchivio(cartella.archivio(),
                                          [](const TScheda &, qint64) { return true; });
        }
        fatto = true;
    });
    // Waiting is seen as not finishing while the lock is held; an operation
    // that need not wait finishes in a moment.
    for (int i = 0; i < (attende ? 30 : 2000) && !fatto; ++i)
        QThread::msleep(10);
    const bool finitoColBlocco = fatto;
    regione.l_type = F_UNLCK;
    ::fcntl(altro.handle(), F_OFD_SETLK, &regione);
    filo.join();
    QCOMPARE(finitoColBlocco, !attende);
    QVERIFY(riuscito);
}

void TestArchivio::dueProcessiInsieme() {
    // Two copies of the program on one archive, appending and writing in place
    // at once: every append keeps a record of its own, and no record, read by
    // either process or afterwards, is made of two writes.
    CartellaDiProva cartella;
    constexpr int OPERAZIONI = 400;
    QProcess processi[2];
    const QString nomi[2] = {QStringLiteral("A"), QStringLiteral("B")};
    for (int i = 0; i < 2; ++i) {
        processi[i].setProcessChannelMode(QProcess::ForwardedChannels);
        processi[i].start(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--pilota"), cartella.archivio(), nomi[i],
                           QString::number(OPERAZIONI)});
        QVERIFY(processi[i].waitForStarted());
    }
    QFile via(cartella.archivio() + QStringLiteral(".via"));
    QVERIFY(via.open(QIODevice::WriteOnly));
    via.close();
    for (auto &processo : processi) {
        QVERIFY(processo.waitForFinished(120000));
        QCOMPARE(processo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(processo.exitCode(), 0); // 3: a record read half written
    }

    const QByteArray contenuto = cartella.leggiArchivio();
    QCOMPARE(contenuto.size() % TScheda::DIMENSIONE, 0);
    QCOMPARE(contenuto.size() / TScheda::DIMENSIONE, 2 * OPERAZIONI);
    QSet<QString> codici;
    int intere = 0;
    QVERIFY(ScorriArchivio(cartella.archivio(), [&](const TScheda &s, qint64) {
        codici.insert(s.testo(Campo::Codice));
        intere += Intera(s);
        return true;
    }));
    QCOMPARE(intere, 2 * OPERAZIONI);
    QSet<QString> attesi;
    for (const QString &nome : nomi)
        for (int i = 0; i < OPERAZIONI; ++i)
            attesi.insert(nome + QString::number(i));
    QCOMPARE(codici, attesi);
}

void TestArchivio::fotoSalvataERiletta() {
    CartellaDiProva cartella;
    QImage foto(40, 30, QImage::Format_RGB32);
    foto.fill(Qt::red);
    QVERIFY(SalvaFotoScheda(QStringLiteral(" 7 "), foto));
    QVERIFY(QFile::exists(cartella.percorso(QStringLiteral("7.jpg"))));
    const QImage riletta = CaricaFotoScheda(QStringLiteral("7"));
    QCOMPARE(riletta.size(), foto.size());
    QVERIFY(qAbs(qRed(riletta.pixel(20, 15)) - 255) < 8);
}

void TestArchivio::fotoMancanteOIllegibile() {
    CartellaDiProva cartella;
    QVERIFY(CaricaFotoScheda(QStringLiteral("3")).isNull());
    QFile rotta(cartella.percorso(QStringLiteral("4.jpg")));
    QVERIFY(rotta.open(QIODevice::WriteOnly));
    rotta.write("not a picture");
    rotta.close();
    QVERIFY(CaricaFotoScheda(QStringLiteral("4")).isNull());
    QVERIFY(CaricaFotoScheda(QString()).isNull());
    QVERIFY(CaricaFotoScheda(QStringLiteral("../4")).isNull());

    // A folder in the photo's place cannot be replaced by a file.
    QVERIFY(QDir(cartella.percorso()).mkdir(QStringLiteral("5.jpg")));
    QImage foto(4, 4, QImage::Format_RGB32);
    foto.fill(Qt::blue);
    QVERIFY(!SalvaFotoScheda(QStringLiteral("5"), foto));
}

void TestArchivio::fileInteroOppureNiente_data() {
    QTest::addColumn<qint64>("limite");
    QTest::addColumn<int>("lunghezza");
    QTest::addColumn<bool>("scritto");
    QTest::newRow("c'è posto") << qint64(-1) << 38 << true;
    // The short write is the last one, held in a buffer until the commit.
    QTest::newRow("disco pieno a metà") << qint64(8) << 38 << false;
    QTest::newRow("disco pieno su un file grande") << qint64(100000) << 300000 << false;
}

void TestArchivio::fileInteroOppureNiente() {
    // A whole new file, or the previous one as it was: never a cut-short file.
    QFETCH(qint64, limite);
    QFETCH(int, lunghezza);
    QFETCH(bool, scritto);
    CartellaDiProva cartella;
    const QString percorso = cartella.percorso(QStringLiteral("Magazzino.xls"));
    QFile vecchio(percorso);
    QVERIFY(vecchio.open(QIODevice::WriteOnly));
    vecchio.write("precedente");
    vecchio.close();
    const QByteArray nuovo(lunghezza, 'x');
    bool esito = false;
    {
        DiscoPieno disco(limite);
        esito = ScriviFileIntero(percorso, [&](QIODevice *d) {
            // Written the way encoders do, without looking at what write() returns.
            d->write(nuovo);
            return true;
        });
    }
    QCOMPARE(esito, scritto);
    QFile letto(percorso);
    QVERIFY(letto.open(QIODevice::ReadOnly));
    QCOMPARE(letto.readAll(), scritto ? nuovo : QByteArray("precedente"));
    QCOMPARE(QDir(cartella.percorso()).entryList(QDir::Files), QStringList{u"Magazzino.xls"_qs});
}

void TestArchivio::letturaNumeri_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("leggibile");
    QTest::addColumn<double>("valore");
    QTest::newRow("intero") << u"12"_qs << true << 12.0;
    QTest::newRow("decimali") << u"12,5"_qs << true << 12.5;
    QTest::newRow("spazi") << u"  -3  "_qs << true << -3.0;
    QTest::newRow("piu") << u"+7"_qs << true << 7.0;
    QTest::newRow("solo virgola") << u","_qs << true << 0.0;
    QTest::newRow("virgola cinque") << u",5"_qs << true << 0.5;
    QTest::newRow("cinque virgola") << u"5,"_qs << true << 5.0;
    QTest::newRow("esponente") << u"1,5E3"_qs << true << 1500.0;
    QTest::newRow("esponente negativo") << u"25e-1"_qs << true << 2.5;
    QTest::newRow("punto") << u"12.5"_qs << false << 0.0;
    QTest::newRow("due virgole") << u"1,2,3"_qs << false << 0.0;
    QTest::newRow("lettera") << u"12a"_qs << false << 0.0;
    QTest::newRow("vuoto") << QString() << false << 0.0;
    QTest::newRow("solo segno") << u"-"_qs << false << 0.0;
    QTest::newRow("esponente senza cifre") << u"1E"_qs << false << 0.0;
    QTest::newRow("fuori scala") << u"1E999"_qs << false << 0.0;
    QTest::newRow("sotto il piu piccolo") << u"1e-400"_qs << true << 0.0;
    QTest::newRow("sotto il piu piccolo negativo") << u"-0,001e-400"_qs << true << 0.0;
    QTest::newRow("esponente sterminato") << u"5e-99999999999999999999"_qs << true << 0.0;
    QTest::newRow("denormale") << u"1e-323"_qs << true << 1e-323;
    QTest::newRow("oltre il massimo") << u"1,8E308"_qs << false << 0.0;
    QTest::newRow("spazio interno") << u"1 2"_qs << false << 0.0;
}

void TestArchivio::letturaNumeri() {
    QFETCH(QString, testo);
    QFETCH(bool, leggibile);
    QFETCH(double, valore);
    const auto letto = LeggiNumero(testo);
    QCOMPARE(letto.has_value(), leggibile);
    if (leggibile) QCOMPARE(*letto, valore);
}

void TestArchivio::scritturaNumeri_data() {
    QTest::addColumn<double>("valore");
    QTest::addColumn<QString>("testo");
    QTest::newRow("zero") << 0.0 << u"0"_qs;
    QTest::newRow("intero") << 12.0 << u"12"_qs;
    QTest::newRow("mezzo") << 12.5 << u"12,5"_qs;
    QTest::newRow("quattro decimali") << 0.1235 << u"0,1235"_qs;
    QTest::newRow("negativo") << -6.0 << u"-6"_qs;
    QTest::newRow("prodotto in virgola mobile") << 0.1 * 3 << u"0,3"_qs;
    QTest::newRow("quindici cifre") << 999999999999999.0 << u"999999999999999"_qs;
    QTest::newRow("esponente grande") << 1e15 << u"1E15"_qs;
    QTest::newRow("esponente con decimali") << 1.5e20 << u"1,5E20"_qs;
    QTest::newRow("piccolo in chiaro") << 0.00001 << u"0,00001"_qs;
    QTest::newRow("piccolo con esponente") << 0.000001 << u"1E-6"_qs;
    QTest::newRow("arrotondato a 15 cifre") << 2.0 / 3.0 << u"0,666666666666667"_qs;
}

void TestArchivio::scritturaNumeri() {
    QFETCH(double, valore);
    QFETCH(QString, testo);
    QCOMPARE(ScriviNumero(valore), testo);
}

void TestArchivio::numeriRiletti_data() {
    QTest::addColumn<double>("valore");
    QTest::addColumn<QString>("testo");
    // Rounded to 15 digits the largest double would be 1,79769313486232E308,
    // past the largest double: the digit below is written.
    QTest::newRow("massimo") << std::numeric_limits<double>::max() << u"1,79769313486231E308"_qs;
    QTest::newRow("massimo negativo")
        << -std::numeric_limits<double>::max() << u"-1,79769313486231E308"_qs;
    QTest::newRow("piu piccolo normale")
        << std::numeric_limits<double>::min() << u"2,2250738585072E-308"_qs;
    QTest::newRow("piu piccolo denormale")
        << std::numeric_limits<double>::denorm_min() << u"4,94065645841247E-324"_qs;
    QTest::newRow("quindici cifre") << 123456789012345.0 << u"123456789012345"_qs;
}

void TestArchivio::numeriRiletti() {
    QFETCH(double, valore);
    QFETCH(QString, testo);
    QCOMPARE(ScriviNumero(valore), testo);
    const auto letto = LeggiNumero(testo);
    QVERIFY(letto.has_value());
    QCOMPARE(ScriviNumero(*letto), testo);
}

void TestArchivio::numeriRilettiACaso() {
    // Any finite double, by its bits: what is written reads back as the
    // same text.
    QRandomGenerator caso(20261210);
    for (int i = 0; i < 20000; ++i) {
        const quint64 bit = caso.generate64();
        double valore;
        std::memcpy(&valore, &bit, sizeof valore);
        if (!std::isfinite(valore)) continue;
        const QString testo = ScriviNumero(valore);
        const auto letto = LeggiNumero(testo);
        QVERIFY2(letto.has_value(), qPrintable(testo));
        QCOMPARE(ScriviNumero(*letto), testo);
    }
}

void TestArchivio::arrotonda() {
    QCOMPARE(Arrotonda(0.123456, 4), 0.1235);
    QCOMPARE(Arrotonda(2.5, 0), 3.0);
    QCOMPARE(Arrotonda(2.9, 0), 3.0);
    QCOMPARE(Arrotonda(-3, 0), -3.0);
    QCOMPARE(PrimiCaratteri(u"abcdef"_qs, 3), u"abc"_qs);
    QCOMPARE(UltimiCaratteri(u"abcdef"_qs, 3), u"def"_qs);
    QCOMPARE(UltimiCaratteri(u"ab"_qs, 3), u"ab"_qs);
}

void TestArchivio::normalizzaImporto_data() {
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("risultato");
    for (const auto &caso : TabellaImporti())
        QTest::newRow(caso.nome) << caso.digitato << caso.risultato;
    // In the exponent form the decimals go before the E, so the text reads back.
    QTest::newRow("esponente") << u"1E20"_qs << u"1,00E20"_qs;
    QTest::newRow("esponente con un decimale") << u"15e19"_qs << u"1,50E20"_qs;
    QTest::newRow("massimo") << u"1,79769313486231E308"_qs << u"1,79769313486231E308"_qs;
}

void TestArchivio::normalizzaImporto() {
    QFETCH(QString, digitato);
    QFETCH(QString, risultato);
    QCOMPARE(NormalizzaImporto(digitato), risultato);
    QVERIFY(LeggiNumero(risultato).has_value());
}

void TestArchivio::normalizzaQuantita() {
    QCOMPARE(NormalizzaQuantita(QString()), u"0"_qs);
    QCOMPARE(NormalizzaQuantita(u"0012"_qs), u"12"_qs);
    QCOMPARE(NormalizzaQuantita(u"7"_qs), u"7"_qs);
    QCOMPARE(NormalizzaQuantita(u"-3"_qs), u"-3"_qs);
    QCOMPARE(NormalizzaQuantita(u"x"_qs), u"0"_qs);
}

void TestArchivio::messaggioAccesso() {
    QCOMPARE(
        MessaggioAccessoArchivio(),
        u"Attenzione: il sistema non permette di accedere all'archivio.\n\r\n\rAccertarsi di "
        "possedere i privilegi di scrittura nella cartella di installazione del programma."_qs);
}

void TestArchivio::messaggioScrittura_data() {
    QTest::addColumn<int>("errore");
    QTest::addColumn<QString>("messaggio");
    const QString pieno = u"Attenzione: il disco che contiene l'archivio è pieno.\n\r\n\rLiberare "
                          "spazio sul disco e riprovare."_s;
    QTest::newRow("disco pieno") << ENOSPC << pieno;
    QTest::newRow("quota esaurita") << EDQUOT << pieno;
    QTest::newRow("limite di dimensione")
        << EFBIG
        << u"Attenzione: l'archivio ha raggiunto la dimensione massima che il sistema consente "
           "per un file."_s;
    QTest::newRow("permessi") << EACCES << MessaggioAccessoArchivio();
    QTest::newRow("errore di lettura") << EIO << MessaggioAccessoArchivio();
}

void TestArchivio::messaggioScrittura() {
    QFETCH(int, errore);
    QFETCH(QString, messaggio);
    QCOMPARE(MessaggioScritturaArchivio(errore), messaggio);
}

void TestArchivio::importazioneInterrottaAnnullata() {
    // The child dies at every step in turn; whoever opens the archive next
    // finds it as before, and says so once when there was something to undo.
    const QByteArray prima = PrimaDellImportazione();
    int passo = 1;
    int annullate = 0;
    for (;; ++passo) {
        CartellaDiProva cartella;
        cartella.scriviArchivio(prima);
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"--importa"_s, cartella.archivio(), QString::number(passo), u"0"_s});
        QVERIFY(figlio.waitForFinished(120000));
        const QString intento = IntentoArchivio::percorsoPer(cartella.archivio());
        if (figlio.exitStatus() == QProcess::NormalExit) {
            QCOMPARE(figlio.exitCode(), 0);
            QCOMPARE(cartella.leggiArchivio(), DopoLImportazione());
            QVERIFY(!QFile::exists(intento));
            break;
        }
        const bool daAnnullare = QFile::exists(intento);
        {
            Archivio archivio(cartella.archivio());
            QVERIFY(archivio.ApriArchivio());
        }
        QCOMPARE(PrendiAvvisoRipristino(), daAnnullare);
        QVERIFY(!PrendiAvvisoRipristino());
        QCOMPARE(cartella.leggiArchivio(), prima);
        QVERIFY(!QFile::exists(intento));
        QVERIFY(!QFile::exists(intento + u".nuovo"_s));
        annullate += daAnnullare;
    }
    // The record, both updates, three blocks of new cards, the flush.
    QVERIFY2(passo > 10, qPrintable(QString::number(passo)));
    QVERIFY(annullate >= 6);
}

void TestArchivio::copiaAlLavoroNonDisturbata() {
    // A copy that opens the archive while another is half way through does
    // not take the living copy's work back.
    CartellaDiProva cartella;
    cartella.scriviArchivio(PrimaDellImportazione());
    QProcess figlio;
    figlio.start(QCoreApplication::applicationFilePath(),
                 {u"--importa"_s, cartella.archivio(), u"7"_s, u"0"_s, u"--attendi"_s});
    QVERIFY(figlio.waitForStarted());
    QVERIFY(figlio.waitForReadyRead(120000));
    QCOMPARE(figlio.readLine(), QByteArray("fermo\n"));
    QVERIFY(QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
    const QByteArray aMeta = cartella.leggiArchivio();
    QVERIFY(aMeta != PrimaDellImportazione());
    {
        Archivio archivio(cartella.archivio());
        QVERIFY(archivio.ApriArchivio());
    }
    QVERIFY(!PrendiAvvisoRipristino());
    QCOMPARE(cartella.leggiArchivio(), aMeta);
    figlio.write("via\n");
    figlio.closeWriteChannel();
    QVERIFY(figlio.waitForFinished(120000));
    QCOMPARE(figlio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(figlio.exitCode(), 0);
    QCOMPARE(cartella.leggiArchivio(), DopoLImportazione());
}

void TestArchivio::limiteDimensioneErroreOrdinario() {
    // Under a size limit the child is not killed by SIGXFSZ: the write
    // fails, is reported, and the archive is as before.
    CartellaDiProva cartella;
    cartella.scriviArchivio(PrimaDellImportazione());
    QProcess figlio;
    figlio.setProcessChannelMode(QProcess::ForwardedChannels);
    figlio.start(QCoreApplication::applicationFilePath(),
                 {u"--importa"_s, cartella.archivio(), u"0"_s,
                  QString::number((5 + 300) * TScheda::DIMENSIONE)});
    QVERIFY(figlio.waitForFinished(120000));
    QCOMPARE(figlio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(figlio.exitCode(), 4);
    QCOMPARE(cartella.leggiArchivio(), PrimaDellImportazione());
    QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
}

void TestArchivio::conclusioneNelLoroFile_data() {
    // A record that says its operation is final gets its file steps done,
    // and only inside the archive's folder, whatever the record says.
    QTest::addColumn<QString>("da");
    QTest::addColumn<QString>("a");
    QTest::addColumn<bool>("fatta");
    QTest::newRow("nella cartella") << u"Schede eliminate/x.jpg"_s << u"1.jpg"_s << true;
    QTest::newRow("rimozione") << u"x.jpg"_s << QString() << true;
    QTest::newRow("da fuori") << u"../fuori.jpg"_s << u"1.jpg"_s << false;
    QTest::newRow("verso fuori") << u"x.jpg"_s << u"../fuori.jpg"_s << false;
    QTest::newRow("fuori a metà strada") << u"a/../../fuori.jpg"_s << QString() << false;
    QTest::newRow("percorso assoluto") << u"/FUORI"_s << QString() << false;
    QTest::newRow("sopra l'archivio") << u"x.jpg"_s << u"Magazzino.pro"_s << false;
}

void TestArchivio::conclusioneNelLoroFile() {
    QFETCH(QString, da);
    QFETCH(QString, a);
    QFETCH(bool, fatta);
    CartellaDiProva cartella;
    const QString fuori = cartella.percorso(u"fuori.jpg"_s);
    Scrivi(fuori, "fuori");
    if (da == u"/FUORI"_s) da = fuori;
    const QDir sotto(cartella.percorso(u"sotto"_s));
    QVERIFY(sotto.mkpath(u"Schede eliminate"_s));
    const QString percorso = sotto.filePath(u"Magazzino.pro"_s);
    const QByteArray archivio = ArchivioDi({SchedaNumero(1), SchedaNumero(2)});
    Scrivi(percorso, archivio);
    Scrivi(sotto.filePath(u"x.jpg"_s), "x");
    Scrivi(sotto.filePath(u"Schede eliminate/x.jpg"_s), "x");
    Scrivi(sotto.filePath(u"giornale"_s), "...FATTO...");

    ConclusioneIntento fine;
    fine.file = u"giornale"_s;
    fine.marca = "FATTO";
    fine.dopo << ConclusioneIntento::Rinomina{da, a};
    IntentoArchivio intento(percorso);
    QVERIFY(intento.inizia(archivio.size() - TScheda::DIMENSIONE, &fine));
    QVERIFY(intento.aggiungi(0, reinterpret_cast<const unsigned char *>("vecchio"), 7));
    QVERIFY(intento.conferma());

    const int fd = ::open(QFile::encodeName(percorso).constData(), O_RDWR);
    QVERIFY(fd >= 0);
    const Ripristino esito = RipristinaDaIntento(fd, percorso);
    ::close(fd);
    QCOMPARE(esito, fatta ? Ripristino::Concluso : Ripristino::Fallito);
    // Final: the archive stays as the operation left it.
    QCOMPARE(Leggi(percorso), archivio);
    QCOMPARE(Leggi(fuori), QByteArray("fuori"));
    QCOMPARE(QFile::exists(IntentoArchivio::percorsoPer(percorso)), !fatta);
    if (fatta) {
        QVERIFY(!QFile::exists(sotto.filePath(da)));
        if (!a.isEmpty()) QCOMPARE(Leggi(sotto.filePath(a)), QByteArray("x"));
    }
}

void TestArchivio::copiaMortaDuranteLImportazione_data() {
    // What the second copy does, and the archive once the first copy's
    // half import is undone and the second's operation is kept.
    QTest::addColumn<QString>("operazione");
    QTest::addColumn<QByteArray>("atteso");
    const QByteArray coda(100, '\x07');
    const QByteArray conLaNuova = ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3),
                                              SchedaNumero(4), SchedaNumero(5), SchedaNumero(900)});
    QTest::newRow("nuova scheda") << u"accoda"_s << conLaNuova;
    QTest::newRow("ripristino di una scheda") << u"insieme"_s << conLaNuova;
    QTest::newRow("scheda aggiornata dall'importazione")
        << u"sul posto"_s
        << ArchivioDi({SchedaNumero(1), SchedaNumero(900), SchedaNumero(3), SchedaNumero(4),
                       SchedaNumero(5)}) +
               coda;
    QTest::newRow("eliminazione") << u"togli"_s
                                  << ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3),
                                                 SchedaNumero(4)});
}

void TestArchivio::copiaMortaDuranteLImportazione() {
    // Copy A dies half way through an import while copy B waits for the
    // archive: B settles A's leftover before its own operation, so B's work
    // is neither cut back by the next opening nor mixed with A's half.
    QFETCH(QString, operazione);
    QFETCH(QByteArray, atteso);
    CartellaDiProva cartella;
    cartella.scriviArchivio(PrimaDellImportazione());
    const QString intento = IntentoArchivio::percorsoPer(cartella.archivio());
    QProcess primo;
    primo.start(QCoreApplication::applicationFilePath(),
                {u"--importa"_s, cartella.archivio(), u"7"_s, u"0"_s, u"--attendi"_s});
    QVERIFY(primo.waitForStarted());
    QVERIFY(primo.waitForReadyRead(120000));
    QCOMPARE(primo.readLine(), QByteArray("fermo\n"));
    QVERIFY(QFile::exists(intento));

    QProcess secondo;
    secondo.setReadChannel(QProcess::StandardOutput);
    secondo.start(QCoreApplication::applicationFilePath(),
                  {u"--dopo"_s, cartella.archivio(), operazione});
    QVERIFY(secondo.waitForStarted());
    QVERIFY(secondo.waitForReadyRead(120000));
    QCOMPARE(secondo.readLine(), QByteArray("aperto\n"));
    // B waits on A's lock.
    QVERIFY(!secondo.waitForFinished(500));
    primo.kill();
    QVERIFY(primo.waitForFinished(120000));
    QVERIFY(secondo.waitForFinished(120000));
    QCOMPARE(secondo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(secondo.exitCode(), 0);
    QVERIFY(!QFile::exists(intento));

    {
        Archivio archivio(cartella.archivio());
        QVERIFY(archivio.ApriArchivio());
    }
    QVERIFY(!PrendiAvvisoRipristino());
    QCOMPARE(cartella.leggiArchivio(), atteso);
}

void TestArchivio::pipeAlPostoDelRegistro_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<bool>("rifiuta");
    QTest::newRow("registro") << u"Magazzino.pro.intento"_s << true;
    QTest::newRow("registro in scrittura") << u"Magazzino.pro.intento.nuovo"_s << false;
}

void TestArchivio::pipeAlPostoDelRegistro() {
    // A named pipe in the intent record's place: opening the archive is
    // refused at once, and the message names the file; in the place of the
    // record's new copy, a name of the program's own, it is a leftover and
    // goes. The child runs under a watchdog, so a wait on the pipe fails the
    // test instead of hanging it.
    QFETCH(QString, nome);
    QFETCH(bool, rifiuta);
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    const QString pipe = cartella.percorso(nome);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QProcess figlio;
    figlio.setProcessChannelMode(QProcess::ForwardedChannels);
    figlio.start(QCoreApplication::applicationFilePath(),
                 {u"--pipe"_s, cartella.archivio(), rifiuta ? u"rifiuta"_s : u"apre"_s});
    QVERIFY(figlio.waitForStarted());
    if (!FinitoEntro(figlio, 30000)) QFAIL("il programma resta in attesa sulla pipe");
    QCOMPARE(figlio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(figlio.exitCode(), 0);
    if (!rifiuta) {
        QVERIFY(!QFileInfo::exists(pipe));
        QCOMPARE(cartella.leggiArchivio(), ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
        return;
    }
    QCOMPARE(MessaggioAccessoArchivio(cartella.archivio()),
             u"Attenzione: \""_s + QDir::toNativeSeparators(pipe) +
                 u"\" non è un file ordinario (forse una pipe o un dispositivo messo al suo "
                 "posto) e il programma non può usarlo.\n\r\n\rToglierlo dalla cartella del "
                 "programma e riprovare."_s);
    // The pipe is not the program's to remove.
    QVERIFY(QFileInfo(pipe).exists());
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({SchedaNumero(1)}));
}

void TestArchivio::registroNonSostituito() {
    // An intent record already in place is never written over: the second
    // record is refused and the first stays as it was.
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    const QString percorso = IntentoArchivio::percorsoPer(cartella.archivio());
    IntentoArchivio primo(cartella.archivio());
    QVERIFY(primo.inizia(1));
    QVERIFY(primo.conferma());
    const QByteArray suo = Leggi(percorso);
    IntentoArchivio secondo(cartella.archivio());
    QVERIFY(secondo.inizia(2));
    QVERIFY(!secondo.conferma());
    QCOMPARE(secondo.errore(), EEXIST);
    QCOMPARE(Leggi(percorso), suo);
    QVERIFY(!QFile::exists(percorso + u".nuovo"_s));
}

void TestArchivio::annullataTogliIFileSuoi() {
    // An operation undone takes away the files it made for itself, and only
    // those inside the archive's folder; one made final keeps them.
    for (const bool finale : {false, true}) {
        CartellaDiProva cartella;
        const QByteArray archivio = ArchivioDi({SchedaNumero(1)});
        cartella.scriviArchivio(archivio);
        QVERIFY(QDir().mkpath(cartella.percorso(u"Schede eliminate"_s)));
        Scrivi(cartella.percorso(u"Schede eliminate/copia.jpg"_s), "copia");
        Scrivi(cartella.percorso(u"altro.jpg"_s), "altro");
        Scrivi(cartella.percorso(u"giornale"_s), finale ? "..FATTO.." : "...");
        ConclusioneIntento fine;
        fine.file = u"giornale"_s;
        fine.marca = "FATTO";
        fine.annullando << u"Schede eliminate/copia.jpg"_s << u"Schede eliminate/mai.jpg"_s;
        IntentoArchivio intento(cartella.archivio());
        QVERIFY(intento.inizia(archivio.size(), &fine));
        QVERIFY(intento.conferma());
        {
            Archivio a(cartella.archivio());
            QVERIFY(a.ApriArchivio());
        }
        QCOMPARE(PrendiAvvisoRipristino(), !finale);
        QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
        QCOMPARE(QFile::exists(cartella.percorso(u"Schede eliminate/copia.jpg"_s)), finale);
        QCOMPARE(Leggi(cartella.percorso(u"altro.jpg"_s)), QByteArray("altro"));
        QCOMPARE(cartella.leggiArchivio(), archivio);
    }
}

int main(int argc, char *argv[]) {
    // The same program is the driver of the two-process test.
    if (argc == 5 && qstrcmp(argv[1], "--pilota") == 0)
        return Pilota(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                      std::atoi(argv[4]));
    if (argc >= 5 && qstrcmp(argv[1], "--importa") == 0)
        return Importa(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                       argc == 6 && qstrcmp(argv[5], "--attendi") == 0, std::atoll(argv[4]));
    if (argc == 4 && qstrcmp(argv[1], "--dopo") == 0)
        return DopoLaCopiaMorta(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 4 && qstrcmp(argv[1], "--pipe") == 0)
        return ApriAccantoAllaPipe(QString::fromLocal8Bit(argv[2]),
                                   qstrcmp(argv[3], "rifiuta") == 0);
    QCoreApplication applicazione(argc, argv);
    TestArchivio test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_archive.moc"
