#include "Fixture.h"

#include "DialoghiFinti.h"
#include "archive/Archivio.h"
#include "movements/Giornale.h"
#include "movements/Movimenti.h"
#include "movements/Periodo.h"
#include "movements/TfrmMovimentiPeriodo.h"
#include "movements/TfrmMovimentiScheda.h"
#include "report/TfrxReport.h"

#include <QBuffer>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <QTimeZone>
#include <unistd.h>

Q_DECLARE_METATYPE(Totali)

using namespace Qt::StringLiterals;

namespace {

QDateTime Ora(int giorno, int ora, int minuti = 0) {
    return QDateTime(QDate(2026, 3, giorno), QTime(ora, minuti), QTimeZone(3600));
}

Movimento MovimentoDiProva(qint64 posizione, TipoMovimento tipo, qint64 quantita, qint64 prima,
                           int giorno = 1) {
    Movimento m;
    m.quando = Ora(giorno, 9);
    m.posizione = posizione;
    m.codice = u"COD"_s + QString::number(posizione);
    m.nome = u"Prodotto "_s + QString::number(posizione);
    m.categoria = u"Ferramenta"_s;
    m.tipo = tipo;
    m.quantita = quantita;
    m.prima = prima;
    m.dopo = prima + quantita;
    m.costo = u"2,50"_s;
    m.postazione = u"cassa (mario)"_s;
    return m;
}

QByteArray Leggi(const QString &percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Scrivi(const QString &percorso, const QByteArray &byte) {
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(byte), byte.size());
}

QList<Movimento> TuttiI(const QString &percorso, LetturaGiornale *esito = nullptr) {
    QList<Movimento> letti;
    const LetturaGiornale lettura = LeggiGiornale(percorso, {}, [&](const Movimento &m, qint64) {
        letti << m;
        return true;
    });
    if (esito) *esito = lettura;
    return letti;
}

// One process of the two-copies test: appends its movements one at a time.
int Pilota(const QString &percorso, const QString &nome, int quanti) {
    ImpostaSincronizzazioneArchivio([](int) { return 0; });
    for (int attesa = 0; !QFile::exists(percorso + u".via"_s); ++attesa) {
        if (attesa > 10000) return 5;
        usleep(1000);
    }
    for (int i = 0; i < quanti; ++i) {
        Movimento m = MovimentoDiProva(i + 1, TipoMovimento::Carico, 1, i);
        m.nota = nome + QString::number(i);
        if (!RegistraMovimenti({m}, percorso)) return 2;
    }
    return 0;
}

// Under a display, FOTO_FINESTRE=folder keeps a picture of each window tested.
void Fotografa(QWidget *finestra, const QString &nome) {
    const QString cartella = qEnvironmentVariable("FOTO_FINESTRE");
    if (cartella.isEmpty()) return;
    finestra->show();
    QTest::qWait(300);
    finestra->grab().save(cartella + u'/' + nome + u".png"_s);
}

QString Cella(QTableWidget *tabella, int riga, int colonna) {
    auto *cella = tabella->item(riga, colonna);
    return cella ? cella->text() : QString();
}

bool TestoInPagine(const std::vector<PaginaPreparata> &pagine, const QString &cercato) {
    for (const auto &pagina : pagine)
        for (const auto &testo : pagina.testi)
            if (testo.testo.contains(cercato)) return true;
    return false;
}

// A year of movements of three cards in two categories.
QList<Movimento> MovimentiDelPeriodo() {
    auto m = [](int mese, int giorno, qint64 posizione, TipoMovimento tipo, qint64 q,
                const QString &costo, const QString &categoria) {
        Movimento x = MovimentoDiProva(posizione, tipo, q, 0);
        x.quando = QDateTime(QDate(2026, mese, giorno), QTime(10, 0), QTimeZone(3600));
        x.costo = costo;
        x.categoria = categoria;
        return x;
    };
    return {m(1, 31, 1, TipoMovimento::NuovaScheda, 10, u"2,00"_s, u"Ferramenta"_s),
            m(2, 1, 1, TipoMovimento::Carico, 5, u"2,00"_s, u"Ferramenta"_s),
            m(2, 10, 2, TipoMovimento::Carico, 4, u"1,25"_s, u"Colori"_s),
            m(2, 28, 1, TipoMovimento::Scarico, -3, u"2,00"_s, u"Ferramenta"_s),
            m(3, 1, 3, TipoMovimento::Rettifica, -2, u"10,00"_s, u"Ferramenta"_s),
            m(3, 15, 2, TipoMovimento::Spostamento, 0, u"1,25"_s, u"Colori"_s),
            m(4, 1, 2, TipoMovimento::Scarico, -1, u"1,25"_s, u"Colori"_s)};
}

} // namespace

class TestMovimenti : public QObject {
    Q_OBJECT
  private slots:
    void rigaScrittaERiletta_data();
    void rigaScrittaERiletta();
    void giornaleNuovoConIntestazione();
    void righeDanneggiateSaltate_data();
    void righeDanneggiateSaltate();
    void giornaleDiUnFoglioDiCalcolo();
    void scritturaFallitaLasciaIlGiornale();
    void rigaTroncataRestaDaSola();
    void dueProcessiAccodano();
    void storiaSegueLaScheda_data();
    void storiaSegueLaScheda();
    void annullaUltimoMovimento();
    void annullaFuoriCampo();
    void periodo_data();
    void periodo();
    void periodoEsportato();
    void finestraScheda();
    void finestraSchedaAnnulla();
    void finestraPeriodo();
};

void TestMovimenti::rigaScrittaERiletta_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QByteArray>("campo"); // as it lies in the line
    QTest::newRow("semplice") << u"Vite M6"_s << QByteArray("Vite M6");
    QTest::newRow("vuoto") << QString() << QByteArray();
    QTest::newRow("accenti") << u"Però è così"_s << QByteArray("Per\xC3\xB2 \xC3\xA8 cos\xC3\xAC");
    QTest::newRow("punto e virgola") << u"a;b"_s << QByteArray("\"a;b\"");
    QTest::newRow("virgola") << u"12,50"_s << QByteArray("\"12,50\"");
    QTest::newRow("virgolette") << u"pollici \"3\""_s << QByteArray("\"pollici \"\"3\"\"\"");
    QTest::newRow("formula") << u"=SOMMA(A1)"_s << QByteArray("'=SOMMA(A1)");
    QTest::newRow("più") << u"+39 333"_s << QByteArray("'+39 333");
    QTest::newRow("chiocciola") << u"@casa"_s << QByteArray("'@casa");
    QTest::newRow("numero negativo") << u"-5"_s << QByteArray("-5");
    QTest::newRow("apostrofo e formula") << u"'=x"_s << QByteArray("''=x");
    QTest::newRow("apostrofo solo") << u"'ciao"_s << QByteArray("'ciao");
}

void TestMovimenti::rigaScrittaERiletta() {
    QFETCH(QString, testo);
    QFETCH(QByteArray, campo);
    for (const TipoMovimento tipo :
         {TipoMovimento::Carico, TipoMovimento::Scarico, TipoMovimento::Rettifica,
          TipoMovimento::NuovaScheda, TipoMovimento::Importazione, TipoMovimento::Eliminazione,
          TipoMovimento::Spostamento, TipoMovimento::Ripristino}) {
        Movimento m = MovimentoDiProva(12, tipo, -3, 10);
        m.nome = testo;
        m.nota = testo;
        m.dati = QByteArray("\x00\x01\xFF record", 11);
        const QByteArray riga = RigaGiornale(m);
        QCOMPARE(riga, "2026-03-01T09:00:00+01:00;12;COD12;" + campo + ";Ferramenta;" +
                           NomeTipo(tipo).toUtf8() + ";-3;10;7;\"2,50\";cassa (mario);" + campo +
                           ";" + m.dati.toBase64());
        Movimento letto;
        QVERIFY(LeggiRigaGiornale(riga, ';', letto));
        QCOMPARE(letto, m);
    }
}

void TestMovimenti::giornaleNuovoConIntestazione() {
    CartellaDiProva cartella;
    const QString giornale = PercorsoGiornale();
    QCOMPARE(giornale, cartella.percorso(u"Movimenti.csv"_s));
    const Movimento a = MovimentoDiProva(1, TipoMovimento::NuovaScheda, 5, 0);
    const Movimento b = MovimentoDiProva(1, TipoMovimento::Scarico, -2, 5);
    QVERIFY(RegistraMovimenti({a}));
    QVERIFY(RegistraMovimenti({b}));
    QCOMPARE(Leggi(giornale), "\xEF\xBB\xBF" + IntestazioneGiornale() + "\n" + RigaGiornale(a) +
                                  "\n" + RigaGiornale(b) + "\n");
    LetturaGiornale esito;
    QCOMPARE(TuttiI(giornale, &esito), (QList<Movimento>{a, b}));
    QCOMPARE(esito.righe, 2);
    QCOMPARE(esito.danneggiate, 0);
    // No journal yet reads as empty, not as a failure.
    QVERIFY(QFile::remove(giornale));
    QVERIFY(TuttiI(giornale, &esito).isEmpty());
    QVERIFY(esito.aperto);
}

void TestMovimenti::righeDanneggiateSaltate_data() {
    QTest::addColumn<QByteArray>("riga");
    const QByteArray buona = RigaGiornale(MovimentoDiProva(3, TipoMovimento::Carico, 4, 1));
    QTest::newRow("troncata") << buona.left(30);
    QTest::newRow("un campo in più") << buona + ";x";
    QTest::newRow("un campo in meno") << buona.left(buona.lastIndexOf(';'));
    QTest::newRow("non UTF-8") << QByteArray(buona).replace("COD3", "C\xE0"
                                                                    "D3");
    QTest::newRow("data illeggibile") << QByteArray(buona).replace("2026-03-01T", "01/03/2026 ");
    QTest::newRow("tipo sconosciuto") << QByteArray(buona).replace("Carico", "Regalo");
    QTest::newRow("quantità non numero") << QByteArray(buona).replace(";4;1;5;", ";quattro;1;5;");
    QTest::newRow("virgolette aperte") << QByteArray(buona).replace("Prodotto 3", "\"Prodotto 3");
    QTest::newRow("posizione zero") << QByteArray(buona).replace(";3;COD3", ";0;COD3");
}

void TestMovimenti::righeDanneggiateSaltate() {
    QFETCH(QByteArray, riga);
    CartellaDiProva cartella;
    const Movimento a = MovimentoDiProva(1, TipoMovimento::Carico, 1, 0);
    const Movimento b = MovimentoDiProva(2, TipoMovimento::Scarico, -1, 4);
    Scrivi(PercorsoGiornale(), "\xEF\xBB\xBF" + IntestazioneGiornale() + "\n" + RigaGiornale(a) +
                                   "\n" + riga + "\n\n" + RigaGiornale(b) + "\n");
    LetturaGiornale esito;
    QCOMPARE(TuttiI(PercorsoGiornale(), &esito), (QList<Movimento>{a, b}));
    QCOMPARE(esito.danneggiate, 1);
}

void TestMovimenti::giornaleDiUnFoglioDiCalcolo() {
    // Saved again by a spreadsheet: commas, CRLF, every text in quotes, no
    // byte-order mark, no line end after the last line.
    CartellaDiProva cartella;
    const QByteArray testo =
        "\"Data e "
        "ora\",\"Posizione\",\"Codice\",\"Nome\",\"Categoria\",\"Tipo\",\"Quantit\xC3\xA0\","
        "\"Giacenza prima\",\"Giacenza dopo\",\"Costo "
        "unitario\",\"Postazione\",\"Nota\",\"Dati\"\r\n"
        "2026-03-01T09:00:00+01:00,7,\"COD7\",\"Vite, M6\",\"Ferramenta\",\"Carico\",10,0,10,"
        "\"2,50\",\"cassa (mario)\",\"DDT 123\",\r\n"
        "2026-03-02T09:00:00+01:00,7,\"COD7\",\"Vite, M6\",\"Ferramenta\",\"Scarico\",-4,10,6,"
        "\"2,50\",\"cassa (mario)\",\"'=vendita\",";
    Scrivi(PercorsoGiornale(), testo);
    LetturaGiornale esito;
    const QList<Movimento> letti = TuttiI(PercorsoGiornale(), &esito);
    QCOMPARE(esito.danneggiate, 0);
    QCOMPARE(letti.size(), 2);
    QCOMPARE(letti[0].nome, u"Vite, M6"_s);
    QCOMPARE(letti[0].nota, u"DDT 123"_s);
    QCOMPARE(letti[0].costo, u"2,50"_s);
    QCOMPARE(letti[1].tipo, TipoMovimento::Scarico);
    QCOMPARE(letti[1].dopo, 6);
    QCOMPARE(letti[1].nota, u"=vendita"_s);
    // A journal written with commas is appended to as it is: the new line
    // is read with the others.
    QVERIFY(RegistraMovimenti({MovimentoDiProva(7, TipoMovimento::Carico, 1, 6)}));
    QCOMPARE(TuttiI(PercorsoGiornale(), &esito).size(), 3);
    QCOMPARE(esito.danneggiate, 0);
}

void TestMovimenti::scritturaFallitaLasciaIlGiornale() {
    CartellaDiProva cartella;
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 1, 0)}));
    const QByteArray prima = Leggi(PercorsoGiornale());
    {
        // The disk refuses the flush.
        const auto vecchia = ImpostaSincronizzazioneArchivio([](int) { return -1; });
        QVERIFY(!RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 1, 1)}));
        ImpostaSincronizzazioneArchivio(vecchia);
    }
    QCOMPARE(Leggi(PercorsoGiornale()), prima);
    {
        // The disk fills up halfway through the line.
        const DiscoPieno pieno(prima.size() + 20);
        if (pieno.attivo())
            QVERIFY(!RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 1, 1)}));
    }
    QCOMPARE(Leggi(PercorsoGiornale()), prima);
    // A folder that is not there.
    QVERIFY(!RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 1, 1)},
                               cartella.percorso(u"manca/Movimenti.csv"_s)));
}

void TestMovimenti::rigaTroncataRestaDaSola() {
    CartellaDiProva cartella;
    const Movimento a = MovimentoDiProva(1, TipoMovimento::Carico, 1, 0);
    const Movimento b = MovimentoDiProva(1, TipoMovimento::Carico, 2, 1);
    QVERIFY(RegistraMovimenti({a}));
    // A crash in the middle of a line: the next one starts on a line of its own.
    QFile file(PercorsoGiornale());
    QVERIFY(file.open(QIODevice::Append));
    file.write(RigaGiornale(b).left(25));
    file.close();
    QVERIFY(RegistraMovimenti({b}));
    LetturaGiornale esito;
    QCOMPARE(TuttiI(PercorsoGiornale(), &esito), (QList<Movimento>{a, b}));
    QCOMPARE(esito.danneggiate, 1);
}

void TestMovimenti::dueProcessiAccodano() {
    CartellaDiProva cartella;
    constexpr int QUANTI = 300;
    QProcess processi[2];
    const QString nomi[2] = {u"A"_s, u"B"_s};
    for (int i = 0; i < 2; ++i) {
        processi[i].setProcessChannelMode(QProcess::ForwardedChannels);
        processi[i].start(QCoreApplication::applicationFilePath(),
                          {u"--pilota"_s, PercorsoGiornale(), nomi[i], QString::number(QUANTI)});
        QVERIFY(processi[i].waitForStarted());
    }
    Scrivi(PercorsoGiornale() + u".via"_s, {});
    for (auto &processo : processi) {
        QVERIFY(processo.waitForFinished(120000));
        QCOMPARE(processo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(processo.exitCode(), 0);
    }
    LetturaGiornale esito;
    QSet<QString> note;
    for (const Movimento &m : TuttiI(PercorsoGiornale(), &esito))
        note.insert(m.nota);
    QCOMPARE(esito.danneggiate, 0);
    QCOMPARE(esito.righe, 2 * QUANTI);
    QCOMPARE(note.size(), 2 * QUANTI);
    // One header only, at the top.
    QCOMPARE(Leggi(PercorsoGiornale()).count(IntestazioneGiornale()), 1);
}

void TestMovimenti::storiaSegueLaScheda_data() {
    // Each line "position kind quantity [from]"; the history asked for and the
    // lines of it, by their index in the journal.
    QTest::addColumn<QStringList>("righe");
    QTest::addColumn<qint64>("posizione");
    QTest::addColumn<QList<int>>("attese");
    QTest::newRow("solo la sua posizione")
        << QStringList{u"1 N 5"_s, u"2 N 3"_s, u"1 C 2"_s, u"2 S -1"_s} << qint64(1)
        << QList<int>{0, 2};
    QTest::newRow("spostata dopo un'eliminazione")
        << QStringList{u"1 N 5"_s, u"3 N 7"_s, u"3 C 1"_s, u"1 E -5"_s, u"1 M 0 3"_s, u"1 S -2"_s}
        << qint64(1) << QList<int>{1, 2, 4, 5};
    QTest::newRow("la vecchia scheda della posizione no")
        << QStringList{u"2 N 4"_s, u"2 C 1"_s, u"2 E -5"_s, u"2 N 9"_s, u"2 S -1"_s} << qint64(2)
        << QList<int>{3, 4};
    QTest::newRow("ripristinata") << QStringList{u"4 N 4"_s, u"4 E -4"_s, u"4 R 4"_s, u"4 C 2"_s}
                                  << qint64(4) << QList<int>{2, 3};
    QTest::newRow("due spostamenti")
        << QStringList{u"5 N 1"_s, u"3 E 0"_s, u"3 M 0 5"_s, u"3 C 2"_s, u"2 E 0"_s, u"2 M 0 3"_s}
        << qint64(2) << QList<int>{0, 2, 3, 5};
}

void TestMovimenti::storiaSegueLaScheda() {
    QFETCH(QStringList, righe);
    QFETCH(qint64, posizione);
    QFETCH(QList<int>, attese);
    CartellaDiProva cartella;
    const QHash<QString, TipoMovimento> tipi = {
        {u"N"_s, TipoMovimento::NuovaScheda}, {u"C"_s, TipoMovimento::Carico},
        {u"S"_s, TipoMovimento::Scarico},     {u"E"_s, TipoMovimento::Eliminazione},
        {u"M"_s, TipoMovimento::Spostamento}, {u"R"_s, TipoMovimento::Ripristino}};
    QList<Movimento> scritti;
    for (qsizetype i = 0; i < righe.size(); ++i) {
        const QStringList parti = righe[i].split(u' ');
        Movimento m = MovimentoDiProva(parti[0].toLongLong(), tipi.value(parti[1]),
                                       parti[2].toLongLong(), 0, int(i) + 1);
        if (parti.size() > 3) m.dati = parti[3].toLatin1();
        m.nota = QString::number(i);
        scritti << m;
    }
    QVERIFY(RegistraMovimenti(scritti));
    QList<int> trovate;
    const StoriaScheda storia = LeggiStoriaScheda(posizione);
    for (const Movimento &m : storia.movimenti)
        trovate << m.nota.toInt();
    QCOMPARE(trovate, attese);
}

void TestMovimenti::annullaUltimoMovimento() {
    CartellaDiProva cartella;
    TScheda scheda = SchedaNumero(2);
    scheda.impostaTesto(Campo::Giacenza, u"8"_s);
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), scheda}));
    QVERIFY(RegistraMovimenti({MovimentoDiProva(2, TipoMovimento::Carico, 5, 0),
                               MovimentoDiProva(2, TipoMovimento::Scarico, -2, 5),
                               MovimentoDiProva(1, TipoMovimento::Carico, 9, 0)}));
    const QByteArray primaRiga = Leggi(PercorsoGiornale());
    // Another copy took 5 off meanwhile without the journal: the undo applies
    // to the stock on disk.
    const Annullamento esito = AnnullaUltimoMovimento(2, cartella.archivio());
    QCOMPARE(esito.esito, Annullamento::Fatto);
    QCOMPARE(esito.giacenza, 10);
    TScheda suDisco;
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio() && archivio.leggi(2, suDisco));
    QCOMPARE(suDisco.testo(Campo::Giacenza), u"10"_s);
    QCOMPARE(suDisco.testo(Campo::Nome), scheda.testo(Campo::Nome));
    // Nothing removed from the journal: one line more, a "Carico" of 2.
    const QByteArray dopo = Leggi(PercorsoGiornale());
    QVERIFY(dopo.startsWith(primaRiga));
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    QCOMPARE(tutti.size(), 4);
    QCOMPARE(tutti.last().tipo, TipoMovimento::Carico);
    QCOMPARE(tutti.last().quantita, 2);
    QCOMPARE(tutti.last().prima, 8);
    QCOMPARE(tutti.last().dopo, 10);
    QCOMPARE(tutti.last().codice, u"COD2"_s);
    QCOMPARE(tutti.last().nota, u"Annullato il movimento del 01/03/2026 09:00 (Scarico)"_s);
    // Taking back again takes back the take-back.
    QCOMPARE(AnnullaUltimoMovimento(2, cartella.archivio()).giacenza, 8);
    // A card without movements has nothing to take back.
    QCOMPARE(AnnullaUltimoMovimento(3, cartella.archivio()).esito, Annullamento::NienteDaAnnullare);
}

void TestMovimenti::annullaFuoriCampo() {
    CartellaDiProva cartella;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"-995"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 5, 0)}));
    const QByteArray archivio = cartella.leggiArchivio();
    const QByteArray giornale = Leggi(PercorsoGiornale());
    QCOMPARE(AnnullaUltimoMovimento(1, cartella.archivio()).esito, Annullamento::FuoriCampo);
    QCOMPARE(cartella.leggiArchivio(), archivio);
    QCOMPARE(Leggi(PercorsoGiornale()), giornale);
}

void TestMovimenti::periodo_data() {
    QTest::addColumn<QDate>("dal");
    QTest::addColumn<QDate>("al");
    QTest::addColumn<int>("righe");
    QTest::addColumn<Totali>("ferramenta");
    QTest::addColumn<Totali>("colori");
    QTest::addColumn<QStringList>("mesi");
    QTest::newRow("febbraio e marzo, estremi compresi")
        << QDate(2026, 2, 1) << QDate(2026, 3, 15) << 5 << Totali{5, 5, 10, 26}
        << Totali{4, 0, 5, 0} << QStringList{u"2026-02"_s, u"2026-03"_s};
    QTest::newRow("tutto l'anno") << QDate(2026, 1, 1) << QDate(2026, 12, 31) << 7
                                  << Totali{15, 5, 30, 26} << Totali{4, 1, 5, 1.25}
                                  << QStringList{u"2026-01"_s, u"2026-02"_s, u"2026-03"_s,
                                                 u"2026-04"_s};
    QTest::newRow("nessun movimento")
        << QDate(2025, 1, 1) << QDate(2025, 12, 31) << 0 << Totali{} << Totali{} << QStringList{};
}

void TestMovimenti::periodo() {
    QFETCH(QDate, dal);
    QFETCH(QDate, al);
    QFETCH(int, righe);
    QFETCH(Totali, ferramenta);
    QFETCH(Totali, colori);
    QFETCH(QStringList, mesi);
    CartellaDiProva cartella;
    QVERIFY(RegistraMovimenti(MovimentiDelPeriodo()));
    const RiepilogoPeriodo r = RiepilogaPeriodo(dal, al);
    QCOMPARE(int(r.righe.size()), righe);
    QCOMPARE(r.perCategoria.value(u"Ferramenta"_s), ferramenta);
    QCOMPARE(r.perCategoria.value(u"Colori"_s), colori);
    QCOMPARE(r.perMese.keys(), mesi);
    Totali totale = ferramenta;
    totale.entrate += colori.entrate;
    totale.uscite += colori.uscite;
    totale.valoreEntrate += colori.valoreEntrate;
    totale.valoreUscite += colori.valoreUscite;
    QCOMPARE(r.totale, totale);
    Totali perScheda;
    for (const Totali &t : r.perScheda)
        perScheda.entrate += t.entrate;
    QCOMPARE(perScheda.entrate, totale.entrate);
}

void TestMovimenti::periodoEsportato() {
    CartellaDiProva cartella;
    QList<Movimento> movimenti = MovimentiDelPeriodo();
    movimenti[1].nota = u"=DDT 5"_s;
    QVERIFY(RegistraMovimenti(movimenti));
    const RiepilogoPeriodo r = RiepilogaPeriodo(QDate(2026, 2, 1), QDate(2026, 2, 28));
    // A line appended after the summary is not in its export.
    QVERIFY(RegistraMovimenti({movimenti[1]}));
    QBuffer csv;
    QVERIFY(csv.open(QIODevice::WriteOnly));
    QVERIFY(ScriviCsvPeriodo(&csv, QDate(2026, 2, 1), QDate(2026, 2, 28), r));
    const QList<QByteArray> righe = csv.data().split('\n');
    QCOMPARE(righe[0], "\xEF\xBB\xBF" + IntestazioneGiornale().replace(";Dati", "") + "\r");
    QCOMPARE(righe[1], "2026-02-01T10:00:00+01:00;1;COD1;Prodotto 1;Ferramenta;Carico;5;0;5;"
                       "\"2,00\";cassa (mario);'=DDT 5\r");
    QCOMPARE(righe[4], "\r");
    QVERIFY(
        csv.data().contains("\r\nTotali per categoria\r\nCategoria;Pezzi in entrata;Pezzi in "
                            "uscita;Valore in entrata;Valore in uscita\r\nColori;4;0;5,00;0,00\r\n"
                            "Ferramenta;5;3;10,00;6,00\r\n\r\nTotale;9;3;15,00;6,00\r\n"));
}

void TestMovimenti::finestraScheda() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"11"_s);
    scheda.impostaTesto(Campo::Avviso, u"4"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    QList<Movimento> movimenti = {MovimentoDiProva(1, TipoMovimento::NuovaScheda, 10, 0, 1),
                                  MovimentoDiProva(1, TipoMovimento::Scarico, -7, 10, 2),
                                  MovimentoDiProva(1, TipoMovimento::Carico, 9, 3, 3)};
    movimenti[2].nota = u"DDT 123"_s;
    QVERIFY(RegistraMovimenti(movimenti));
    QFile giornale(PercorsoGiornale());
    QVERIFY(giornale.open(QIODevice::Append));
    giornale.write("riga rovinata;1;\n");
    giornale.close();

    TfrmMovimentiScheda finestra(nullptr, 1, cartella.archivio());
    QCOMPARE(finestra.lblScheda->text(), u"Scheda n. 1: COD1 - Prodotto 1   Giacenza: 11"_s);
    // Newest first; the stock on the card differs from the journal's last by -1.
    const QStringList attese[] = {
        {QString(), u"Differenza non registrata"_s, u"-1"_s, u"11"_s, QString(), QString()},
        {u"03/03/2026 09:00"_s, u"Carico"_s, u"+9"_s, u"12"_s, u"DDT 123"_s, u"cassa (mario)"_s},
        {u"02/03/2026 09:00"_s, u"Scarico"_s, u"-7"_s, u"3"_s, QString(), u"cassa (mario)"_s},
        {u"01/03/2026 09:00"_s, u"Nuova scheda"_s, u"+10"_s, u"10"_s, QString(),
         u"cassa (mario)"_s}};
    QCOMPARE(finestra.grdMovimenti->rowCount(), 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 6; ++c)
            QCOMPARE(Cella(finestra.grdMovimenti, r, c), attese[r][c]);
    QVERIFY(finestra.lblAvviso->isVisibleTo(&finestra));
    QCOMPARE(finestra.lblAvviso->text(),
             u"Attenzione: 1 riga danneggiata del giornale è stata saltata."_s);
    // The chart: the stock in steps, the threshold flat.
    QChart *grafico = finestra.graGiacenza->chart();
    QCOMPARE(grafico->series().size(), 2);
    const auto *giacenza = static_cast<QLineSeries *>(grafico->series()[0]);
    QCOMPARE(giacenza->at(giacenza->count() - 1).y(), 12.0);
    const auto *soglia = static_cast<QLineSeries *>(grafico->series()[1]);
    QCOMPARE(soglia->at(0).y(), 4.0);
    Fotografa(&finestra, u"storia"_s);

    // Printed through the report engine with its chart.
    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    const auto &pagine = finestra.frxReport().PreparedPages();
    QVERIFY(!pagine.empty());
    QCOMPARE(pagine.front().immagini.size(), std::size_t(1));
    QVERIFY(TestoInPagine(pagine, u"Movimenti della scheda COD1 - Prodotto 1"_s));
    QVERIFY(TestoInPagine(pagine, u"Differenza non registrata"_s));
    QVERIFY(TestoInPagine(pagine, u"DDT 123"_s));
    QCOMPARE(dialoghi.lavoriStampa().size(), 1);
}

void TestMovimenti::finestraSchedaAnnulla() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"12"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::NuovaScheda, 3, 0, 1),
                               MovimentoDiProva(1, TipoMovimento::Carico, 9, 3, 2)}));
    TfrmMovimentiScheda finestra(nullptr, 1, cartella.archivio());
    // "No" to the question changes nothing.
    dialoghi.rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(finestra.btnAnnullaUltimo, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"Annullare l'ultimo movimento (Carico +9 del 02/03/2026 09:00)? "
                                u"Verrà registrato il movimento opposto."_s);
    QVERIFY(!finestra.giacenzaCambiata());
    QCOMPARE(finestra.grdMovimenti->rowCount(), 2);

    dialoghi.rispondi(Piattaforma::Risposta::Si);
    QTest::mouseClick(finestra.btnAnnullaUltimo, Qt::LeftButton);
    QVERIFY(finestra.giacenzaCambiata());
    QCOMPARE(finestra.giacenza(), 3);
    QCOMPARE(finestra.grdMovimenti->rowCount(), 3);
    QCOMPARE(Cella(finestra.grdMovimenti, 0, 1), u"Scarico"_s);
    QCOMPARE(Cella(finestra.grdMovimenti, 0, 2), u"-9"_s);
    QCOMPARE(Cella(finestra.grdMovimenti, 0, 3), u"3"_s);
    TScheda suDisco;
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio() && archivio.leggi(1, suDisco));
    QCOMPARE(suDisco.testo(Campo::Giacenza), u"3"_s);
}

void TestMovimenti::finestraPeriodo() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QVERIFY(RegistraMovimenti(MovimentiDelPeriodo()));
    TfrmMovimentiPeriodo finestra(nullptr);
    finestra.txtDal->setText(u"01/02/2026"_s);
    finestra.txtAl->setText(u"31/01/2026"_s);
    QTest::mouseClick(finestra.btnCalcola, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"Attenzione: la data iniziale è successiva alla data finale."_s);
    QVERIFY(!finestra.btnStampa->isEnabled());

    finestra.txtAl->setText(u"31/03/2026"_s);
    QTest::mouseClick(finestra.btnCalcola, Qt::LeftButton);
    QCOMPARE(finestra.grdMovimenti->model()->rowCount(), 5);
    QCOMPARE(finestra.grdMovimenti->model()->index(0, 5).data().toString(), u"Carico"_s);
    QCOMPARE(finestra.grdMovimenti->model()->index(0, 0).data().toString(), u"01/02/2026 10:00"_s);
    QCOMPARE(finestra.grdCategorie->rowCount(), 2);
    QCOMPARE(Cella(finestra.grdCategorie, 1, 0), u"Ferramenta"_s);
    QCOMPARE(Cella(finestra.grdCategorie, 1, 3), u"10,00"_s);
    QCOMPARE(Cella(finestra.grdCategorie, 1, 4), u"26,00"_s);
    QCOMPARE(finestra.lblTotale->text(), u"5 movimenti. In entrata 9 pezzi per 15,00 euro, in "
                                         u"uscita 5 pezzi per 26,00 euro."_s);
    QCOMPARE(finestra.graMesi->chart()->series().size(), 1);
    finestra.resize(1100, 700);
    Fotografa(&finestra, u"periodo"_s);

    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    const auto &pagine = finestra.frxReport().PreparedPages();
    QCOMPARE(pagine.front().immagini.size(), std::size_t(1));
    QVERIFY(TestoInPagine(pagine, u"Movimenti dal 01/02/2026 al 31/03/2026"_s));
    QVERIFY(TestoInPagine(pagine, u"TOTALI PER CATEGORIA"_s));

    const QString csv = cartella.percorso(u"periodo.csv"_s);
    dialoghi.allaProssimaScelta(csv);
    QTest::mouseClick(finestra.btnEsporta, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(),
             u"I movimenti del periodo sono stati esportati nel file "_s + csv + u'.');
    QCOMPARE(Leggi(csv).count('\n'), 1 + 5 + 1 + 2 + 3 + 1 + 2 + 2 + 2);
}

int main(int argc, char *argv[]) {
    if (argc == 5 && qstrcmp(argv[1], "--pilota") == 0)
        return Pilota(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                      std::atoi(argv[4]));
    QApplication applicazione(argc, argv);
    TestMovimenti test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_movements.moc"
