#include "Fixture.h"

#include "DialoghiFinti.h"
#include "ServerDiProva.h"
#include "app/TfrmAvvio.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/IntentoArchivio.h"
#include "archive/RegoleNumeri.h"
#include "card/TfrmGiacenza.h"
#include "card/TfrmMagazzino.h"
#include "journal/Eliminazione.h"
#include "journal/Giornale.h"
#include "journal/IndiceGiornale.h"
#include "journal/Movimenti.h"
#include "journal/StessaScheda.h"
#include "movements/Periodo.h"
#include "removal/TfrmSchedeEliminate.h"
#include "saving/SalvaScheda.h"
#include "saving/SalvataggioMovimenti.h"
#include "saving/TfrmConflittoScheda.h"

#include "movements/StoriaDeposito.h"
#include "movements/TfrmMovimentiPeriodo.h"
#include "movements/TfrmMovimentiScheda.h"
#include "removal/EliminaDeposito.h"
#include "report/TfrxReport.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"
#include <QComboBox>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QTimeZone>
#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// A card's history read from the journal whole: a folder where the index
// would be leaves the program without one.
StoriaScheda StoriaSenzaIndice(qint64 posizione) {
    const QString indice = PercorsoIndice(PercorsoGiornale());
    QFile::remove(indice);
    QDir().mkdir(indice);
    StoriaScheda storia = LeggiStoriaScheda(posizione);
    QDir().rmdir(indice);
    return storia;
}

// The index as the program builds it from nothing for the journal now.
QByteArray IndiceNuovo() {
    const QString indice = PercorsoIndice(PercorsoGiornale());
    const QByteArray prima = Leggi(indice);
    QFile::remove(indice);
    LeggiStoriaScheda(1);
    const QByteArray nuovo = Leggi(indice);
    Scrivi(indice, prima);
    return nuovo;
}

// The period as one plain reading of every line makes it: each movement
// decoded, an undoing taking back the latest movement it names.
RiepilogoPeriodo PeriodoLetturaIntera(const QDate &dal, const QDate &al) {
    RiepilogoPeriodo r;
    const QString nota = u"Annullato il movimento del "_s;
    auto annullamento = [&](const Movimento &m) {
        return MovimentoDiGiacenza(m.tipo) && m.nota.startsWith(nota);
    };
    QList<Movimento> presi;
    QList<bool> tolti;
    r.lettura = LeggiGiornale(
        PercorsoGiornale(),
        [&](QByteArrayView riga, char separatore) {
            const QByteArrayView data = DataDiRiga(riga, separatore);
            const QDate giorno = QDate::fromString(
                QString::fromLatin1(data.first(qMin<qsizetype>(10, data.size()))), Qt::ISODate);
            return !giorno.isValid() || (giorno >= dal && giorno <= al);
        },
        [&](const Movimento &m, qint64 offset) {
            if (m.quando.date() < dal || m.quando.date() > al) return true;
            r.righe.push_back(offset);
            if (m.tipo == TipoMovimento::Ordine) return true;
            if (annullamento(m)) {
                for (qsizetype i = presi.size() - 1; i >= 0; --i) {
                    const Movimento &u = presi[i];
                    if (tolti[i] || annullamento(u) || !MovimentoDiGiacenza(u.tipo) ||
                        u.posizione != m.posizione || u.quantita != -m.quantita ||
                        u.quando.toString(u"dd/MM/yyyy HH:mm"_s) != m.nota.mid(nota.size(), 16))
                        continue;
                    tolti[i] = true;
                    presi << m;
                    tolti << true;
                    return true;
                }
            }
            presi << m;
            tolti << false;
            return true;
        });
    for (qsizetype i = 0; i < presi.size(); ++i) {
        if (tolti[i]) continue;
        const Movimento &m = presi[i];
        r.perScheda[{m.codice, m.nome}].aggiungi(m);
        r.perCategoria[m.categoria].aggiungi(m);
        r.perMese[m.quando.date().toString(u"yyyy-MM"_s)].aggiungi(m);
        r.totale.aggiungi(m);
    }
    return r;
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

// The process's peak resident memory in bytes, read from the kernel.
qint64 MemoriaDiPicco() {
    QFile stato(u"/proc/self/status"_s);
    if (!stato.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    for (const QByteArray &riga : stato.readAll().split('\n'))
        if (riga.startsWith("VmHWM:"))
            return riga.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

// Sets the peak back to what the process holds now, so that what comes after
// is measured on its own; returns that.
qint64 AzzeraPicco() {
    QFile azzera(u"/proc/self/clear_refs"_s);
    if (azzera.open(QIODevice::WriteOnly)) azzera.write("5");
    azzera.close();
    return MemoriaDiPicco();
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

// Orders placed and cancelled around the year's movements: on cards that
// move, on one that only has orders (in a category of its own), and in a
// month with nothing else.
QList<Movimento> OrdiniDelPeriodo() {
    auto o = [](int mese, int giorno, qint64 posizione, qint64 q, const QString &costo,
                const QString &categoria) {
        Movimento x = MovimentoDiProva(posizione, TipoMovimento::Ordine, q, 0);
        x.quando = QDateTime(QDate(2026, mese, giorno), QTime(11, 0), QTimeZone(3600));
        x.dopo = 0; // an order leaves the stock as it is
        x.costo = costo;
        x.categoria = categoria;
        return x;
    };
    return {o(2, 5, 1, 20, u"2,00"_s, u"Ferramenta"_s), o(2, 6, 1, -20, u"2,00"_s, u"Ferramenta"_s),
            o(2, 10, 2, 8, u"1,25"_s, u"Colori"_s),     o(3, 2, 4, 6, u"3,00"_s, u"Vernici"_s),
            o(5, 10, 2, 12, u"1,25"_s, u"Colori"_s),    o(5, 11, 2, -12, u"1,25"_s, u"Colori"_s)};
}

// What the period window shows of the goods moved: the totals per card and
// per category, the total, the chart, and the same totals in its CSV and on
// its printed pages.
struct TotaliVisti {
    QStringList schede;
    QStringList categorie;
    QString totale;
    QStringList grafico;
    QString csv;
    QString stampa;
    int movimenti = 0;
};

QStringList Righe(QTableWidget *tabella) {
    QStringList righe;
    for (int r = 0; r < tabella->rowCount(); ++r) {
        QStringList celle;
        for (int c = 0; c < tabella->columnCount(); ++c)
            celle << Cella(tabella, r, c);
        righe << celle.join(u'|');
    }
    return righe;
}

TotaliVisti TotaliDellaFinestra(DialoghiFinti &dialoghi, const QString &giornale, const QDate &dal,
                                const QDate &al) {
    TotaliVisti visti;
    TfrmMovimentiPeriodo finestra(nullptr, giornale);
    finestra.txtDal->setText(dal.toString(u"dd/MM/yyyy"_s));
    finestra.txtAl->setText(al.toString(u"dd/MM/yyyy"_s));
    QTest::mouseClick(finestra.btnCalcola, Qt::LeftButton);
    visti.movimenti = finestra.grdMovimenti->model()->rowCount();
    visti.schede = Righe(finestra.grdSchede);
    visti.categorie = Righe(finestra.grdCategorie);
    // The count of lines comes first; what follows is the goods.
    visti.totale = finestra.lblTotale->text().section(u" movimenti. "_s, 1);
    for (QAbstractAxis *asse : finestra.graMesi->chart()->axes(Qt::Horizontal))
        if (auto *mesi = qobject_cast<QBarCategoryAxis *>(asse))
            visti.grafico << mesi->categories();
    for (QAbstractSeries *serie : finestra.graMesi->chart()->series())
        if (auto *barre = qobject_cast<QBarSeries *>(serie))
            for (QBarSet *insieme : barre->barSets())
                for (int i = 0; i < insieme->count(); ++i)
                    visti.grafico << insieme->label() + u' ' + QString::number(insieme->at(i));

    const QString csv = giornale + u".periodo.csv"_s;
    dialoghi.allaProssimaScelta(csv);
    QTest::mouseClick(finestra.btnEsporta, Qt::LeftButton);
    const QString esportato = QString::fromUtf8(Leggi(csv));
    visti.csv = esportato.mid(esportato.indexOf(u"\r\nTotali per scheda"_s));

    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QStringList testi;
    for (const auto &pagina : finestra.frxReport().PreparedPages())
        for (const auto &testo : pagina.testi)
            testi << testo.testo;
    const QString stampato = testi.join(u'\n');
    const qsizetype inizio = stampato.indexOf(u"TOTALI PER SCHEDA"_s);
    const qsizetype fine = stampato.indexOf(u'\n', stampato.indexOf(u"TOTALE "_s, inizio));
    visti.stampa = inizio < 0 ? QString() : stampato.mid(inizio, fine < 0 ? -1 : fine - inizio);
    return visti;
}

// The child of the crash test: removes card 2 of four, or brings back the
// removed card, and dies at step `passo`.
int Elimina(const QString &archivio, int passo, bool ripristino) {
    int n = 0;
    ImpostaPassoArchivio([&] {
        if (++n == passo) ::raise(SIGKILL);
    });
    ImpostaCartellaProgramma(QFileInfo(archivio).path());
    if (ripristino) {
        const QList<SchedaEliminata> eliminate = SchedeEliminate();
        if (eliminate.size() != 1) return 2;
        return RipristinaScheda(eliminate[0], archivio).esito == EsitoRipristinoScheda::Fatto ? 0
                                                                                              : 1;
    }
    const EsitoEliminazione esito = EliminaScheda(2, SchedaNumero(2), archivio);
    return esito.esito == EsitoEliminazione::Fatta ? 0 : 1;
}

// The child of the save crash test: one stock change (a save of card 2 with
// the stock dialog and a number typed, a new card with a stock, taking back
// card 2's last movement), dying at step `passo`.
int CambiaGiacenza(const QString &archivio, const QString &caso, int passo) {
    int n = 0;
    ImpostaPassoArchivio([&] {
        if (++n == passo) ::raise(SIGKILL);
    });
    ImpostaCartellaProgramma(QFileInfo(archivio).path());
    if (caso == u"salvataggio") {
        TScheda mia = SchedaNumero(2);
        mia.impostaTesto(Campo::Giacenza, u"10"_s);
        const EsitoSalvataggio esito =
            SalvaConMovimenti(2, SchedaNumero(2), mia, {{5, u"DDT 7"_s}}, archivio);
        return esito.esito == EsitoSalvataggio::Salvata ? 0 : 1;
    }
    if (caso == u"nuova scheda")
        return AccodaConMovimenti(SchedaNumero(9), archivio).esito == EsitoSalvataggio::Salvata ? 0
                                                                                                : 1;
    if (caso == u"annullamento")
        return AnnullaUltimoMovimento(2, archivio).esito == Annullamento::Fatto ? 0 : 1;
    return 2;
}

// The child of the named pipe test: each operation on a journal that is a
// named pipe fails at once. Exit 0 when every one did as it should.
int GiornaleNellaPipe(const QString &archivio, const QString &caso) {
    ImpostaCartellaProgramma(QFileInfo(archivio).path());
    const QString giornale = PercorsoGiornale();
    if (caso == u"lettura") {
        if (LeggiGiornale(giornale, {}, [](const Movimento &, qint64) { return true; }).aperto)
            return 1;
        if (LeggiMovimentoA(giornale, 0)) return 1;
        if (LeggiStoriaScheda(1).letto || !SchedeEliminate().isEmpty()) return 1;
        return 0;
    }
    if (caso == u"registrazione")
        return RegistraMovimenti({MovimentoScheda(SchedaNumero(1), 1, TipoMovimento::Carico, 1, 1)})
                   ? 1
                   : 0;
    if (caso == u"salvataggio") {
        TScheda mia = SchedaNumero(1);
        mia.impostaTesto(Campo::Giacenza, u"4"_s);
        const EsitoSalvataggio esito = SalvaConMovimenti(1, SchedaNumero(1), mia, {}, archivio);
        return esito.esito == EsitoSalvataggio::ErroreArchivio && !esito.giornaleScritto ? 0 : 1;
    }
    if (caso == u"eliminazione")
        return EliminaScheda(1, SchedaNumero(1), archivio).esito ==
                       EsitoEliminazione::GiornaleNonScritto
                   ? 0
                   : 1;
    if (caso == u"operazione lasciata a metà") {
        // A removal's record, whose conclusion is looked for in the journal.
        ConclusioneIntento fine = FinaleNelGiornale(archivio, giornale, "chiave");
        IntentoArchivio intento(archivio);
        if (!intento.inizia(3 * TScheda::DIMENSIONE, &fine) || !intento.conferma()) return 3;
        Archivio a(archivio);
        return a.ApriArchivio() && PrendiAvvisoRipristino() ? 0 : 1;
    }
    return 2;
}

QByteArray ArchivioDelle(const QList<int> &numeri) {
    QByteArray archivio;
    for (int n : numeri)
        archivio += ArchivioDi({SchedaNumero(n)});
    return archivio;
}

// One of the two copies saving card 1 at once: each save loads the card,
// changes its stock by `quantita` in the stock dialog and saves.
int Salva(const QString &archivio, const QString &giornale, qint64 quantita, int volte) {
    ImpostaSincronizzazioneArchivio([](int) { return 0; });
    for (int attesa = 0; !QFile::exists(giornale + u".via"_s); ++attesa) {
        if (attesa > 10000) return 5;
        usleep(1000);
    }
    for (int i = 0; i < volte; ++i) {
        TScheda caricata;
        {
            Archivio a(archivio);
            if (!a.ApriArchivio() || !a.leggi(1, caricata)) return 2;
        }
        TScheda mia = caricata;
        mia.impostaTesto(Campo::Giacenza,
                         QString::number(GiacenzaDi(caricata).value_or(0) + quantita));
        usleep(useconds_t(i % 3) * 300);
        const EsitoSalvataggio esito =
            SalvaConMovimenti(1, caricata, mia, {{quantita, QString()}}, archivio, {}, giornale);
        if (esito.esito != EsitoSalvataggio::Salvata || !esito.giornaleScritto) return 3;
    }
    return 0;
}

// Cards 1 to n, each with a photo file of its own bytes.
void ArchivioConFoto(const CartellaDiProva &cartella, int n) {
    QByteArray archivio;
    for (int i = 1; i <= n; ++i) {
        archivio += ArchivioDi({SchedaNumero(i)});
        Scrivi(cartella.percorso(QString::number(i) + u".jpg"_s), "foto " + QByteArray::number(i));
    }
    cartella.scriviArchivio(archivio);
    QList<Movimento> nuove;
    for (int i = 1; i <= n; ++i)
        nuove << MovimentoScheda(SchedaNumero(i), i, TipoMovimento::NuovaScheda, i, 0);
    QVERIFY(RegistraMovimenti(nuove));
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
    void periodoSchedeNuoveEAnnullamenti_data();
    void periodoSchedeNuoveEAnnullamenti();
    void periodoSenzaOrdini_data();
    void periodoSenzaOrdini();
    void finestraScheda();
    void finestraSchedaAnnulla();
    void finestraPeriodo();
    void eliminaERipristina_data();
    void eliminaERipristina();
    void eliminaSoloLaStessa();
    void eliminazioneInterrotta_data();
    void eliminazioneInterrotta();
    void giornaleNonScrivibile();
    void giacenzaInterrotta_data();
    void giacenzaInterrotta();
    void pipeAlPostoDelGiornale_data();
    void pipeAlPostoDelGiornale();
    void unione_data();
    void unione();
    void salvataggioConMovimenti();
    void dueCopieSalvanoLaGiacenza();
    void salvaConDomanda_data();
    void salvaConDomanda();
    void finestraSchedeEliminate();
    void avvioApreIMovimenti();
    void schedaSalvaIMovimenti();
    void schedaEliminaERipristina();
    void schedaMostraIMovimenti();
    void giacenzaNonIntera_data();
    void giacenzaNonIntera();
    void giornaleTuttoTraVirgolette_data();
    void giornaleTuttoTraVirgolette();
    void salvaDopoEliminazioneAltrui_data();
    void salvaDopoEliminazioneAltrui();
    void annullaSoloIlMovimentoNominato();
    void annullaDopoEliminazioneAltrui();
    void ripristinoSoloUnaVolta();
    void schedaSpostataDaUnAltraCopia();
    void rettificaECaricoDistinti_data();
    void rettificaECaricoDistinti();
    void controlliNellOperazioneUnica_data();
    void controlliNellOperazioneUnica();
    void indiceVedeAltreCopie();
    void indiceRifatto_data();
    void indiceRifatto();
    void indiceDiUnFoglioDiCalcolo();
    void indiceEPeriodoComeLaLetturaIntera();
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
    // Bytes written in place of "@@" in the line, a block at a time.
    QTest::addColumn<qint64>("ripieno");
    const QByteArray buona = RigaGiornale(MovimentoDiProva(3, TipoMovimento::Carico, 4, 1));
    Movimento conNota = MovimentoDiProva(3, TipoMovimento::Carico, 4, 1);
    conNota.nota = u"@@"_s;
    const QByteArray lunga = RigaGiornale(conNota);
    const qint64 oltre = RIGA_GIORNALE_MASSIMA - lunga.size() + 3;
    QTest::newRow("appena oltre la riga più lunga") << lunga << oltre;
    QTest::newRow("50 MB") << lunga << qint64(50) * 1024 * 1024;
    QTest::newRow("50 MB in testa") << QByteArray("@@") << qint64(50) * 1024 * 1024;
    QTest::newRow("troncata") << buona.left(30) << qint64(0);
    QTest::newRow("un campo in più") << buona + ";x" << qint64(0);
    QTest::newRow("un campo in meno") << buona.left(buona.lastIndexOf(';')) << qint64(0);
    QTest::newRow("non UTF-8") << QByteArray(buona).replace("COD3", "C\xE0"
                                                                    "D3")
                               << qint64(0);
    QTest::newRow("data illeggibile")
        << QByteArray(buona).replace("2026-03-01T", "01/03/2026 ") << qint64(0);
    QTest::newRow("tipo sconosciuto") << QByteArray(buona).replace("Carico", "Regalo") << qint64(0);
    QTest::newRow("quantità non numero")
        << QByteArray(buona).replace(";4;1;5;", ";quattro;1;5;") << qint64(0);
    QTest::newRow("virgolette aperte")
        << QByteArray(buona).replace("Prodotto 3", "\"Prodotto 3") << qint64(0);
    QTest::newRow("posizione zero") << QByteArray(buona).replace(";3;COD3", ";0;COD3") << qint64(0);
}

void TestMovimenti::righeDanneggiateSaltate() {
    QFETCH(QByteArray, riga);
    QFETCH(qint64, ripieno);
    CartellaDiProva cartella;
    const Movimento a = MovimentoDiProva(1, TipoMovimento::Carico, 1, 0);
    const Movimento b = MovimentoDiProva(2, TipoMovimento::Scarico, -1, 4);
    if (ripieno == 0) {
        Scrivi(PercorsoGiornale(), "\xEF\xBB\xBF" + IntestazioneGiornale() + "\n" +
                                       RigaGiornale(a) + "\n" + riga + "\n\n" + RigaGiornale(b) +
                                       "\n");
    } else {
        // Written a block at a time, so that only the reading can hold it whole.
        QFile file(PercorsoGiornale());
        QVERIFY(file.open(QIODevice::WriteOnly));
        const qsizetype segno = riga.indexOf("@@");
        QVERIFY(segno >= 0);
        file.write("\xEF\xBB\xBF" + IntestazioneGiornale() + "\n" + RigaGiornale(a) + "\n" +
                   riga.left(segno));
        const QByteArray blocco(1 << 20, 'x');
        for (qint64 scritti = 0; scritti < ripieno; scritti += blocco.size())
            QVERIFY(file.write(blocco.constData(), qMin<qint64>(blocco.size(), ripieno - scritti)) >
                    0);
        QVERIFY(file.write(riga.mid(segno + 2) + "\n\n" + RigaGiornale(b) + "\n") > 0);
        QVERIFY(file.flush());
    }
    const qint64 primaDellaLettura = AzzeraPicco();
    LetturaGiornale esito;
    QCOMPARE(TuttiI(PercorsoGiornale(), &esito), (QList<Movimento>{a, b}));
    QCOMPARE(esito.danneggiate, 1);
    // What the user opens reads the same journal: the period and the card.
    const RiepilogoPeriodo periodo = RiepilogaPeriodo(QDate(2026, 3, 1), QDate(2026, 3, 1));
    QCOMPARE(periodo.righe.size(), std::size_t(2));
    QCOMPARE(periodo.lettura.danneggiate, 1);
    const StoriaScheda storia = LeggiStoriaScheda(2);
    QCOMPARE(storia.movimenti.size(), 1);
    // Lines of other cards are passed over unread, unless they are too long
    // to be lines at all.
    if (ripieno > 0) QCOMPARE(storia.danneggiate, 1);
    // A line of any length is passed over without being held whole.
    const qint64 crescita = MemoriaDiPicco() - primaDellaLettura;
    QVERIFY2(crescita < 24 * 1024 * 1024,
             qPrintable(u"la lettura ha occupato "_s + QString::number(crescita >> 20) +
                        u" MiB in più"_s));
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
    // An order counts once its last line is there, whatever card that is of.
    QTest::newRow("un ordine intero e uno tagliato")
        << QStringList{u"1 N 5"_s, u"1 O 5 k 1/2."_s, u"2 O 3 k 2/2."_s, u"1 O 4 j 1/2."_s,
                       u"1 C 2"_s}
        << qint64(1) << QList<int>{0, 1, 4};
    QTest::newRow("l'ultima riga dell'ordine è di un'altra scheda")
        << QStringList{u"2 N 1"_s, u"1 O 5 k 1/2."_s, u"2 O 3 k 2/2."_s} << qint64(2)
        << QList<int>{0, 2};
    QTest::newRow("ordine tagliato nel segno dell'ultima riga")
        << QStringList{u"2 N 1"_s, u"2 O 5 k 1/2."_s, u"1 O 3 k 2/2"_s} << qint64(2)
        << QList<int>{0};
    QTest::newRow("ordine scritto senza segno")
        << QStringList{u"2 N 1"_s, u"2 O 5"_s} << qint64(2) << QList<int>{0, 1};
}

void TestMovimenti::storiaSegueLaScheda() {
    QFETCH(QStringList, righe);
    QFETCH(qint64, posizione);
    QFETCH(QList<int>, attese);
    CartellaDiProva cartella;
    const QHash<QString, TipoMovimento> tipi = {
        {u"N"_s, TipoMovimento::NuovaScheda}, {u"C"_s, TipoMovimento::Carico},
        {u"S"_s, TipoMovimento::Scarico},     {u"E"_s, TipoMovimento::Eliminazione},
        {u"M"_s, TipoMovimento::Spostamento}, {u"R"_s, TipoMovimento::Ripristino},
        {u"O"_s, TipoMovimento::Ordine}};
    QList<Movimento> scritti;
    for (qsizetype i = 0; i < righe.size(); ++i) {
        const QStringList parti = righe[i].split(u' ');
        Movimento m = MovimentoDiProva(parti[0].toLongLong(), tipi.value(parti[1]),
                                       parti[2].toLongLong(), 0, int(i) + 1);
        if (parti.size() > 3) m.dati = parti.mid(3).join(u' ').toLatin1();
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
                                  << Totali{5, 5, 10, 26, 10, 20} << Totali{4, 1, 5, 1.25}
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
    totale.daSchede += colori.daSchede;
    totale.valoreDaSchede += colori.valoreDaSchede;
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

void TestMovimenti::periodoSchedeNuoveEAnnullamenti_data() {
    QTest::addColumn<int>("dal"); // day of March 2026
    QTest::addColumn<qint64>("entrate");
    QTest::addColumn<qint64>("uscite");
    QTest::addColumn<qint64>("daSchede");
    QTest::addColumn<int>("righe"); // lines listed
    // Day 1: a new card of 10 and an import of 40; day 2: 5 in; day 3: 3 out,
    // undone on day 4.
    QTest::newRow("tutto") << 1 << qint64(5) << qint64(0) << qint64(50) << 7;
    QTest::newRow("senza le schede nuove") << 2 << qint64(5) << qint64(0) << qint64(0) << 5;
    // The movement undone is before the period: its undoing is goods in.
    QTest::newRow("solo l'annullamento") << 4 << qint64(3) << qint64(0) << qint64(0) << 1;
}

void TestMovimenti::periodoSchedeNuoveEAnnullamenti() {
    QFETCH(int, dal);
    QFETCH(qint64, entrate);
    QFETCH(qint64, uscite);
    QFETCH(qint64, daSchede);
    QFETCH(int, righe);
    CartellaDiProva cartella;
    QList<Movimento> movimenti = {MovimentoDiProva(1, TipoMovimento::NuovaScheda, 10, 0, 1),
                                  MovimentoDiProva(2, TipoMovimento::Importazione, 40, 0, 1),
                                  MovimentoDiProva(1, TipoMovimento::Carico, 5, 10, 2),
                                  MovimentoDiProva(1, TipoMovimento::Scarico, -3, 15, 3),
                                  MovimentoDiProva(1, TipoMovimento::Carico, 3, 12, 4),
                                  MovimentoDiProva(3, TipoMovimento::Scarico, -2, 8, 2),
                                  MovimentoDiProva(3, TipoMovimento::Carico, 2, 6, 2)};
    movimenti[4].nota = u"Annullato il movimento del "_s +
                        movimenti[3].quando.toString(u"dd/MM/yyyy HH:mm"_s) + u" (Scarico)"_s;
    // Card 3 moved only by a sale and its undoing, on the same day.
    movimenti[6].nota = u"Annullato il movimento del "_s +
                        movimenti[5].quando.toString(u"dd/MM/yyyy HH:mm"_s) + u" (Scarico)"_s;
    QVERIFY(RegistraMovimenti(movimenti));
    const RiepilogoPeriodo r = RiepilogaPeriodo(QDate(2026, 3, dal), QDate(2026, 3, 31));
    QCOMPARE(r.totale.entrate, entrate);
    QCOMPARE(r.totale.uscite, uscite);
    QCOMPARE(r.totale.daSchede, daSchede);
    QCOMPARE(r.totale.valoreDaSchede, double(daSchede) * 2.5);
    QCOMPARE(r.totale.valoreEntrate, double(entrate) * 2.5);
    // A card that nothing moved in the end is not listed.
    QVERIFY(!r.perScheda.contains({u"COD3"_s, u"Prodotto 3"_s}));
    // Every line is still listed.
    QCOMPARE(int(r.righe.size()), righe);
}

void TestMovimenti::periodoSenzaOrdini_data() {
    QTest::addColumn<QDate>("dal");
    QTest::addColumn<QDate>("al");
    QTest::addColumn<int>("ordini"); // order lines in the period
    QTest::newRow("tutto l'anno") << QDate(2026, 1, 1) << QDate(2026, 12, 31) << 6;
    QTest::newRow("febbraio e marzo") << QDate(2026, 2, 1) << QDate(2026, 3, 31) << 4;
    QTest::newRow("ordine e annullamento") << QDate(2026, 2, 5) << QDate(2026, 2, 6) << 2;
    QTest::newRow("solo ordini") << QDate(2026, 5, 1) << QDate(2026, 5, 31) << 2;
}

// An order moves no goods: the window, its CSV and its print give the same
// pieces and values, per card, per category and in total, with the order
// lines in the journal as without them.
void TestMovimenti::periodoSenzaOrdini() {
    QFETCH(QDate, dal);
    QFETCH(QDate, al);
    QFETCH(int, ordini);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QList<Movimento> tutti = MovimentiDelPeriodo() + OrdiniDelPeriodo();
    std::stable_sort(tutti.begin(), tutti.end(),
                     [](const Movimento &a, const Movimento &b) { return a.quando < b.quando; });
    const QString conOrdini = cartella.percorso(u"ConOrdini.csv"_s);
    const QString senzaOrdini = cartella.percorso(u"SenzaOrdini.csv"_s);
    QVERIFY(RegistraMovimenti(tutti, conOrdini));
    QVERIFY(RegistraMovimenti(MovimentiDelPeriodo(), senzaOrdini));

    const TotaliVisti con = TotaliDellaFinestra(dialoghi, conOrdini, dal, al);
    const TotaliVisti senza = TotaliDellaFinestra(dialoghi, senzaOrdini, dal, al);
    // The order lines are there, among the period's movements.
    QCOMPARE(con.movimenti, senza.movimenti + ordini);
    QVERIFY(!senza.totale.isEmpty());
    QVERIFY(senza.csv.startsWith(u"\r\nTotali per scheda"_s));
    QVERIFY(senza.stampa.startsWith(u"TOTALI PER SCHEDA"_s));
    QVERIFY(senza.stampa.contains(u"TOTALE "_s));
    QCOMPARE(con.schede, senza.schede);
    QCOMPARE(con.categorie, senza.categorie);
    QCOMPARE(con.totale, senza.totale);
    QCOMPARE(con.grafico, senza.grafico);
    QCOMPARE(con.csv, senza.csv);
    QCOMPARE(con.stampa, senza.stampa);
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
    // The chart is printed whole: title, both axes with their marks, legend.
    const QString pdf = TestoDelPdf(dialoghi.fileStampa());
    for (const QString &atteso :
         {u"Giacenza nel tempo"_s, u"Pezzi"_s, u"Data"_s, u"Avviso (pezzi rimasti)"_s, u"12"_s})
        QVERIFY2(pdf.contains(atteso), qPrintable(atteso + u"\n"_s + pdf.left(2000)));
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
    QCOMPARE(Cella(finestra.grdCategorie, 1, 3), u"€ 10,00"_s);
    QCOMPARE(Cella(finestra.grdCategorie, 1, 4), u"€ 26,00"_s);
    QCOMPARE(finestra.lblTotale->text(), u"5 movimenti. In entrata 9 pezzi per € 15,00, in "
                                         u"uscita 5 pezzi per € 26,00."_s);
    QCOMPARE(finestra.graMesi->chart()->series().size(), 1);
    finestra.resize(1100, 700);
    Fotografa(&finestra, u"periodo"_s);

    dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    const auto &pagine = finestra.frxReport().PreparedPages();
    QCOMPARE(pagine.front().immagini.size(), std::size_t(1));
    QVERIFY(TestoInPagine(pagine, u"Movimenti dal 01/02/2026 al 31/03/2026"_s));
    QVERIFY(TestoInPagine(pagine, u"TOTALI PER CATEGORIA"_s));
    const QString pdf = TestoDelPdf(dialoghi.fileStampa());
    for (const QString &atteso : {u"Euro"_s, u"Entrate"_s, u"Uscite"_s, u"02/2026"_s})
        QVERIFY2(pdf.contains(atteso), qPrintable(atteso + u"\n"_s + pdf.left(2000)));

    const QString csv = cartella.percorso(u"periodo.csv"_s);
    dialoghi.allaProssimaScelta(csv);
    QTest::mouseClick(finestra.btnEsporta, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(),
             u"I movimenti del periodo sono stati esportati nel file "_s + csv + u'.');
    QCOMPARE(Leggi(csv).count('\n'), 1 + 5 + 1 + 2 + 3 + 1 + 2 + 2 + 2);
}

void TestMovimenti::eliminaERipristina_data() {
    QTest::addColumn<qint64>("posizione");
    QTest::addColumn<QList<int>>("dopo"); // the cards in the archive afterwards
    QTest::newRow("la prima") << qint64(1) << QList<int>{3, 2};
    QTest::newRow("in mezzo") << qint64(2) << QList<int>{1, 3};
    QTest::newRow("l'ultima") << qint64(3) << QList<int>{1, 2};
}

void TestMovimenti::eliminaERipristina() {
    QFETCH(qint64, posizione);
    QFETCH(QList<int>, dopo);
    CartellaDiProva cartella;
    ArchivioConFoto(cartella, 3);
    const int tolta = int(posizione);
    const EsitoEliminazione esito =
        EliminaScheda(posizione, SchedaNumero(tolta), cartella.archivio());
    QCOMPARE(esito.esito, EsitoEliminazione::Fatta);
    QCOMPARE(esito.spostataDa, posizione == 3 ? 0 : 3);

    QByteArray attesi;
    for (int i = 0; i < dopo.size(); ++i) {
        attesi += ArchivioDi({SchedaNumero(dopo[i])});
        // Each photo is with its card.
        QCOMPARE(Leggi(cartella.percorso(QString::number(i + 1) + u".jpg"_s)),
                 "foto " + QByteArray::number(dopo[i]));
    }
    QCOMPARE(cartella.leggiArchivio(), attesi);
    QVERIFY(!QFile::exists(cartella.percorso(u"3.jpg"_s)));

    // The journal: the removal with the whole record, then the move.
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    const Movimento &eliminazione = tutti[3];
    QCOMPARE(eliminazione.tipo, TipoMovimento::Eliminazione);
    QCOMPARE(eliminazione.posizione, posizione);
    QCOMPARE(eliminazione.quantita, -tolta);
    QCOMPARE(eliminazione.dopo, 0);
    QVERIFY(eliminazione.nota.startsWith(u"Foto conservata: Schede eliminate/"_s));
    if (posizione != 3) {
        QCOMPARE(tutti.size(), 5);
        QCOMPARE(tutti[4].tipo, TipoMovimento::Spostamento);
        QCOMPARE(tutti[4].codice, u"COD3"_s);
        QCOMPARE(tutti[4].nota,
                 u"Spostata dalla posizione 3 alla posizione "_s + QString::number(posizione));
        // The moved card's history followed it.
        const StoriaScheda storia = LeggiStoriaScheda(posizione);
        QCOMPARE(storia.movimenti.size(), 2);
        QCOMPARE(storia.movimenti[0].codice, u"COD3"_s);
        QCOMPARE(storia.movimenti[0].tipo, TipoMovimento::NuovaScheda);
    } else {
        QCOMPARE(tutti.size(), 4);
    }

    // Brought back: appended byte for byte, with its photo.
    const QList<SchedaEliminata> eliminate = SchedeEliminate();
    QCOMPARE(eliminate.size(), 1);
    QCOMPARE(eliminate[0].scheda.byte, SchedaNumero(tolta).byte);
    const EsitoRipristinoScheda ripristino = RipristinaScheda(eliminate[0], cartella.archivio());
    QCOMPARE(ripristino.esito, EsitoRipristinoScheda::Fatto);
    QCOMPARE(ripristino.posizione, 3);
    QCOMPARE(cartella.leggiArchivio(), attesi + ArchivioDi({SchedaNumero(tolta)}));
    QCOMPARE(Leggi(cartella.percorso(u"3.jpg"_s)), "foto " + QByteArray::number(tolta));
    QVERIFY(SchedeEliminate().isEmpty());
    // Its history goes back through its removal to when it was new.
    const StoriaScheda storia = LeggiStoriaScheda(3);
    QCOMPARE(storia.movimenti.size(), 3);
    QCOMPARE(storia.movimenti[0].tipo, TipoMovimento::NuovaScheda);
    QCOMPARE(storia.movimenti[0].posizione, posizione);
    QCOMPARE(storia.movimenti[1].tipo, TipoMovimento::Eliminazione);
    QCOMPARE(storia.movimenti[1].dopo, 0);
    QCOMPARE(storia.movimenti[2].tipo, TipoMovimento::Ripristino);
    QCOMPARE(storia.movimenti[2].dopo, tolta);
    for (const Movimento &m : storia.movimenti)
        QCOMPARE(m.codice, SchedaNumero(tolta).testo(Campo::Codice));
}

void TestMovimenti::eliminaSoloLaStessa() {
    // Another copy changed the card since it was shown: nothing is removed.
    CartellaDiProva cartella;
    ArchivioConFoto(cartella, 3);
    const QByteArray archivio = cartella.leggiArchivio();
    const QByteArray giornale = Leggi(PercorsoGiornale());
    TScheda vista = SchedaNumero(2);
    vista.impostaTesto(Campo::Nome, u"Come era prima"_s);
    QCOMPARE(EliminaScheda(2, vista, cartella.archivio()).esito, EsitoEliminazione::NonPiuLaStessa);
    QCOMPARE(cartella.leggiArchivio(), archivio);
    QCOMPARE(Leggi(PercorsoGiornale()), giornale);
    QCOMPARE(Leggi(cartella.percorso(u"2.jpg"_s)), QByteArray("foto 2"));
    QVERIFY(QDir(CartellaEliminate(cartella.archivio())).isEmpty());
}

void TestMovimenti::eliminazioneInterrotta_data() {
    QTest::addColumn<bool>("ripristino");
    QTest::newRow("eliminazione") << false;
    QTest::newRow("ripristino") << true;
}

void TestMovimenti::eliminazioneInterrotta() {
    // A child is killed at each step in turn, until one runs to the end. The
    // next copy that opens the archive finds one of the two whole states:
    // the cards in file order, each photo with its card, and the removed
    // card listed, with its photo kept, exactly when it is not in the archive.
    QFETCH(bool, ripristino);
    const QList<int> tutte{1, 2, 3, 4}, senzaLaSeconda{1, 4, 3}, ritornata{1, 4, 3, 2};
    const QList<int> &prima = ripristino ? senzaLaSeconda : tutte;
    const QList<int> &dopo = ripristino ? ritornata : senzaLaSeconda;
    for (int passo = 1;; ++passo) {
        CartellaDiProva cartella;
        ArchivioConFoto(cartella, 4);
        if (ripristino)
            QCOMPARE(EliminaScheda(2, SchedaNumero(2), cartella.archivio()).esito,
                     EsitoEliminazione::Fatta);
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {ripristino ? u"--ripristina"_s : u"--elimina"_s, cartella.archivio(),
                      QString::number(passo)});
        QVERIFY(figlio.waitForFinished(60000));
        const bool interrotto = figlio.exitStatus() == QProcess::CrashExit;
        if (!interrotto) QCOMPARE(figlio.exitCode(), 0);

        Archivio archivio;
        QVERIFY(archivio.ApriArchivio());
        archivio.chiudi();
        QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
        const QList<int> schede = cartella.leggiArchivio() == ArchivioDelle(dopo) ? dopo : prima;
        QCOMPARE(cartella.leggiArchivio(), ArchivioDelle(schede));
        for (int i = 0; i < 4; ++i) {
            const QString foto = cartella.percorso(QString::number(i + 1) + u".jpg"_s);
            if (i < schede.size())
                QCOMPARE(Leggi(foto), "foto " + QByteArray::number(schede[i]));
            else
                QVERIFY(!QFile::exists(foto));
        }
        const QList<SchedaEliminata> eliminate = SchedeEliminate();
        QCOMPARE(eliminate.size(), schede.contains(2) ? 0 : 1);
        if (!eliminate.isEmpty()) {
            QCOMPARE(eliminate[0].scheda.byte, SchedaNumero(2).byte);
            QCOMPARE(Leggi(QDir(CartellaEliminate(cartella.archivio()))
                               .filePath(eliminate[0].chiave + u".jpg"_s)),
                     QByteArray("foto 2"));
        }
        // Nothing else in the folder: no copy of a removal that was undone,
        // none cut short.
        const QStringList conservate =
            QDir(CartellaEliminate(cartella.archivio())).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(conservate, eliminate.isEmpty() ? QStringList()
                                                 : QStringList{eliminate[0].chiave + u".jpg"_s});
        if (!interrotto) {
            QCOMPARE(schede, dopo);
            QVERIFY(passo > 5);
            break;
        }
        QVERIFY2(passo < 40, "il figlio non arriva mai alla fine");
    }
}

void TestMovimenti::giornaleNonScrivibile() {
    // The journal holds the only copy of a removed card: when it cannot be
    // written nothing is removed, and nothing is brought back twice.
    CartellaDiProva cartella;
    ArchivioConFoto(cartella, 3);
    const QByteArray tre = cartella.leggiArchivio();
    const QString bloccato = cartella.percorso(u"non un file"_s);
    QVERIFY(QDir().mkpath(bloccato));
    const EsitoEliminazione esito =
        EliminaScheda(2, SchedaNumero(2), cartella.archivio(), bloccato);
    QCOMPARE(esito.esito, EsitoEliminazione::GiornaleNonScritto);
    QCOMPARE(esito.spostataDa, 0);
    QCOMPARE(cartella.leggiArchivio(), tre);
    QCOMPARE(Leggi(cartella.percorso(u"2.jpg"_s)), QByteArray("foto 2"));
    QCOMPARE(Leggi(cartella.percorso(u"3.jpg"_s)), QByteArray("foto 3"));
    QVERIFY(QDir(CartellaEliminate(cartella.archivio())).isEmpty(QDir::Files));
    QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));

    QCOMPARE(EliminaScheda(2, SchedaNumero(2), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    const QList<SchedaEliminata> eliminate = SchedeEliminate();
    QCOMPARE(eliminate.size(), 1);
    const QByteArray due = cartella.leggiArchivio();
    QCOMPARE(RipristinaScheda(eliminate[0], cartella.archivio(), bloccato).esito,
             EsitoRipristinoScheda::GiornaleNonScritto);
    QCOMPARE(cartella.leggiArchivio(), due);
    QVERIFY(!QFile::exists(cartella.percorso(u"3.jpg"_s)));
    QCOMPARE(SchedeEliminate().size(), 1);

    const EsitoRipristinoScheda ripristino = RipristinaScheda(eliminate[0], cartella.archivio());
    QCOMPARE(ripristino.esito, EsitoRipristinoScheda::Fatto);
    QCOMPARE(Leggi(cartella.percorso(u"3.jpg"_s)), QByteArray("foto 2"));
    QVERIFY(SchedeEliminate().isEmpty());
}

void TestMovimenti::giacenzaInterrotta_data() {
    QTest::addColumn<QString>("caso");
    QTest::newRow("salvataggio") << u"salvataggio"_s;
    QTest::newRow("nuova scheda") << u"nuova scheda"_s;
    QTest::newRow("annullamento") << u"annullamento"_s;
}

void TestMovimenti::giacenzaInterrotta() {
    // A stock change and its lines are one operation: a child is killed at
    // each step in turn, and after the next opening every card's stock is
    // exactly what its lines add up to (no "Differenza non registrata"), and
    // no line names a card the archive does not hold.
    QFETCH(QString, caso);
    int interrotti = 0;
    PrendiAvvisoRipristino(); // what earlier tests left
    for (int passo = 1;; ++passo) {
        CartellaDiProva cartella;
        ArchivioConFoto(cartella, 3);
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"--giacenza"_s, cartella.archivio(), caso, QString::number(passo)});
        QVERIFY(figlio.waitForFinished(60000));
        const bool interrotto = figlio.exitStatus() == QProcess::CrashExit;
        if (!interrotto) QCOMPARE(figlio.exitCode(), 0);

        const bool inSospeso = QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio()));
        Archivio archivio;
        QVERIFY(archivio.ApriArchivio());
        // Said when something was undone, and only then.
        QVERIFY(!PrendiAvvisoRipristino() || inSospeso);
        QMap<qint64, qint64> somme;
        for (const Movimento &m : TuttiI(PercorsoGiornale()))
            somme[m.posizione] += m.quantita;
        const qint64 schede = archivio.conta();
        QVERIFY(schede == 3 || schede == 4);
        for (qint64 p = 1; p <= schede; ++p) {
            TScheda scheda;
            QVERIFY(archivio.leggi(p, scheda));
            QCOMPARE(somme.value(p), GiacenzaDi(scheda).value_or(-1));
        }
        QVERIFY(somme.isEmpty() || somme.lastKey() <= schede);
        archivio.chiudi();
        QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
        if (!interrotto) {
            QVERIFY2(interrotti >= 4, qPrintable(QString::number(interrotti)));
            break;
        }
        ++interrotti;
        QVERIFY2(passo < 40, "il figlio non arriva mai alla fine");
    }
}

void TestMovimenti::pipeAlPostoDelGiornale_data() {
    QTest::addColumn<QString>("caso");
    for (const char *caso :
         {"lettura", "registrazione", "salvataggio", "eliminazione", "operazione lasciata a metà"})
        QTest::newRow(caso) << QString::fromUtf8(caso);
}

void TestMovimenti::pipeAlPostoDelGiornale() {
    // A named pipe in the journal's place: every reader and writer gives up
    // at once instead of waiting on it, nothing is saved without its line,
    // and the window's warning names the file. The child runs under a
    // watchdog, so a wait on the pipe fails the test instead of hanging it.
    QFETCH(QString, caso);
    CartellaDiProva cartella;
    const QByteArray tre = ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)});
    cartella.scriviArchivio(tre);
    QCOMPARE(::mkfifo(QFile::encodeName(PercorsoGiornale()).constData(), 0600), 0);
    QProcess figlio;
    figlio.setProcessChannelMode(QProcess::ForwardedChannels);
    figlio.start(QCoreApplication::applicationFilePath(), {u"--pipe"_s, cartella.archivio(), caso});
    QVERIFY(figlio.waitForStarted());
    if (!FinitoEntro(figlio, 30000)) QFAIL("il programma resta in attesa sulla pipe");
    QCOMPARE(figlio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(figlio.exitCode(), 0);
    QCOMPARE(cartella.leggiArchivio(), tre);
    QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
    QCOMPARE(AvvisoGiornaleIlleggibile(), MessaggioFileNonRegolare(PercorsoGiornale()));
    QVERIFY(MessaggioFileNonRegolare(PercorsoGiornale())
                .contains(QDir::toNativeSeparators(PercorsoGiornale())));
}

void TestMovimenti::unione_data() {
    // The card as loaded, as this window has it and as it is on disk: name,
    // supplier and stock; then the choices made and what is written.
    QTest::addColumn<QStringList>("caricata");
    QTest::addColumn<QStringList>("mia");
    QTest::addColumn<QStringList>("suDisco");
    QTest::addColumn<int>("scelta"); // -1 none, 0 theirs, 1 mine for the product group
    QTest::addColumn<QStringList>("scritta");
    QTest::addColumn<int>("conflitti");
    const QStringList base{u"Vite"_s, u"Rossi"_s, u"10"_s};
    QTest::newRow("nessun'altra copia")
        << base << QStringList{u"Vite M6"_s, u"Rossi"_s, u"15"_s} << base << -1
        << QStringList{u"Vite M6"_s, u"Rossi"_s, u"15"_s} << 0;
    QTest::newRow("giacenza: disco più i miei movimenti")
        << base << QStringList{u"Vite"_s, u"Rossi"_s, u"15"_s}
        << QStringList{u"Vite"_s, u"Rossi"_s, u"8"_s} << -1
        << QStringList{u"Vite"_s, u"Rossi"_s, u"13"_s} << 0;
    QTest::newRow("campi diversi cambiati di qua e di là")
        << base << QStringList{u"Vite M6"_s, u"Rossi"_s, u"10"_s}
        << QStringList{u"Vite"_s, u"Bianchi"_s, u"7"_s} << -1
        << QStringList{u"Vite M6"_s, u"Bianchi"_s, u"7"_s} << 0;
    QTest::newRow("stesso cambio di qua e di là")
        << base << QStringList{u"Vite M6"_s, u"Rossi"_s, u"10"_s}
        << QStringList{u"Vite M6"_s, u"Rossi"_s, u"10"_s} << -1
        << QStringList{u"Vite M6"_s, u"Rossi"_s, u"10"_s} << 0;
    QTest::newRow("stesso campo, nessuna scelta")
        << base << QStringList{u"Vite M6"_s, u"Rossi"_s, u"10"_s}
        << QStringList{u"Vite M8"_s, u"Rossi"_s, u"10"_s} << -1 << QStringList{} << 1;
    QTest::newRow("stesso campo, tengo le mie")
        << base << QStringList{u"Vite M6"_s, u"Rossi"_s, u"12"_s}
        << QStringList{u"Vite M8"_s, u"Rossi"_s, u"9"_s} << 1
        << QStringList{u"Vite M6"_s, u"Rossi"_s, u"11"_s} << 0;
    QTest::newRow("stesso campo, prendo le loro")
        << base << QStringList{u"Vite M6"_s, u"Rossi"_s, u"10"_s}
        << QStringList{u"Vite M8"_s, u"Rossi"_s, u"9"_s} << 0
        << QStringList{u"Vite M8"_s, u"Rossi"_s, u"9"_s} << 0;
}

void TestMovimenti::unione() {
    QFETCH(QStringList, caricata);
    QFETCH(QStringList, mia);
    QFETCH(QStringList, suDisco);
    QFETCH(int, scelta);
    QFETCH(QStringList, scritta);
    QFETCH(int, conflitti);
    auto scheda = [](const QStringList &valori) {
        return SchedaDiProva({{Campo::Codice, u"V1"_s},
                              {Campo::Nome, valori[0]},
                              {Campo::Ditta, valori[1]},
                              {Campo::Giacenza, valori[2]}});
    };
    QMap<GruppoCampi, bool> scelte;
    if (scelta >= 0) scelte[GruppoCampi::Prodotto] = scelta == 1;
    const Unione u = UnisciScheda(scheda(caricata), scheda(mia), scheda(suDisco), scelte);
    QCOMPARE(u.conflitti.size(), conflitti);
    QVERIFY(!u.altraScheda);
    if (conflitti == 0) QCOMPARE(u.scheda.byte, scheda(scritta).byte);
}

void TestMovimenti::salvataggioConMovimenti() {
    CartellaDiProva cartella;
    TScheda caricata = SchedaNumero(2);
    caricata.impostaTesto(Campo::Giacenza, u"10"_s);
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), caricata}));
    // Two changes in the stock dialog, then a number typed in the box.
    TScheda mia = caricata;
    mia.impostaTesto(Campo::Giacenza, u"20"_s);
    EsitoSalvataggio esito = SalvaConMovimenti(
        2, caricata, mia, {{8, u"DDT 123"_s}, {-3, u"vendita al banco"_s}}, cartella.archivio());
    QCOMPARE(esito.esito, EsitoSalvataggio::Salvata);
    QVERIFY(esito.giornaleScritto);
    QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    QCOMPARE(tutti.size(), 3);
    const struct {
        TipoMovimento tipo;
        qint64 quantita, prima, dopo;
        QString nota;
    } attesi[] = {{TipoMovimento::Carico, 8, 10, 18, u"DDT 123"_s},
                  {TipoMovimento::Scarico, -3, 18, 15, u"vendita al banco"_s},
                  {TipoMovimento::Rettifica, 5, 15, 20, QString()}};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tutti[i].tipo, attesi[i].tipo);
        QCOMPARE(tutti[i].quantita, attesi[i].quantita);
        QCOMPARE(tutti[i].prima, attesi[i].prima);
        QCOMPARE(tutti[i].dopo, attesi[i].dopo);
        QCOMPARE(tutti[i].nota, attesi[i].nota);
        QCOMPARE(tutti[i].posizione, 2);
        QCOMPARE(tutti[i].codice, u"COD2"_s);
        QCOMPARE(tutti[i].costo, u"2,50"_s);
        QCOMPARE(tutti[i].postazione, Postazione());
    }
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({SchedaNumero(1), mia}));

    // A save without a stock change records nothing, and stays one write of
    // the record in place with its flush, without the intent record's steps.
    TScheda rinominata = mia;
    rinominata.impostaTesto(Campo::Nome, u"Altro nome"_s);
    int passi = 0, flush = 0;
    ImpostaPassoArchivio([&passi] { ++passi; });
    ImpostaSincronizzazioneArchivio([&flush](int) {
        ++flush;
        return 0;
    });
    QCOMPARE(SalvaConMovimenti(2, mia, rinominata, {}, cartella.archivio()).movimenti.size(), 0);
    ImpostaSincronizzazioneArchivio({});
    ImpostaPassoArchivio({});
    QCOMPARE(passi, 0);
    QCOMPARE(flush, 1);
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({SchedaNumero(1), rinominata}));
    QCOMPARE(TuttiI(PercorsoGiornale()).size(), 3);

    // A new card with a stock; one without records nothing.
    esito = AccodaConMovimenti(SchedaNumero(7), cartella.archivio());
    QCOMPARE(esito.posizione, 3);
    tutti = TuttiI(PercorsoGiornale());
    QCOMPARE(tutti.last().tipo, TipoMovimento::NuovaScheda);
    QCOMPARE(tutti.last().quantita, 7);
    QCOMPARE(tutti.last().posizione, 3);
    TScheda vuota = SchedaNumero(8);
    vuota.impostaTesto(Campo::Giacenza, u"0"_s);
    QCOMPARE(AccodaConMovimenti(vuota, cartella.archivio()).movimenti.size(), 0);

    // The position holds another card now: nothing written.
    const QByteArray archivio = cartella.leggiArchivio();
    QCOMPARE(SalvaConMovimenti(1, SchedaNumero(5), SchedaNumero(5), {}, cartella.archivio()).esito,
             EsitoSalvataggio::AltraScheda);
    // Another copy's stock plus this window's change does not fit the
    // field: nothing written.
    TScheda cinque = SchedaNumero(1);
    cinque.impostaTesto(Campo::Giacenza, u"5"_s);
    TScheda novemila = cinque;
    novemila.impostaTesto(Campo::Giacenza, u"9000"_s);
    TScheda duemila = cinque;
    duemila.impostaTesto(Campo::Giacenza, u"2000"_s);
    {
        Archivio a;
        QVERIFY(a.ApriArchivio() && a.scrivi(1, duemila));
    }
    const QByteArray primaDiOltre = cartella.leggiArchivio();
    QCOMPARE(SalvaConMovimenti(1, cinque, novemila, {{8995, QString()}}, cartella.archivio()).esito,
             EsitoSalvataggio::FuoriCampo);
    QCOMPARE(cartella.leggiArchivio(), primaDiOltre);
    QCOMPARE(cartella.leggiArchivio().mid(TScheda::DIMENSIONE), archivio.mid(TScheda::DIMENSIONE));
    const TScheda troppa = duemila;

    // The journal cannot be written: the stock change is not saved either,
    // since the two go together.
    const QList<Movimento> primaDelGuasto = TuttiI(PercorsoGiornale());
    ImpostaSincronizzazioneArchivio([](int fd) {
        return QFileInfo(u"/proc/self/fd/"_s + QString::number(fd))
                       .symLinkTarget()
                       .endsWith(u".csv"_s)
                   ? -1
                   : 0;
    });
    TScheda meno = troppa;
    meno.impostaTesto(Campo::Giacenza, u"1990"_s);
    esito = SalvaConMovimenti(1, troppa, meno, {{-10, QString()}}, cartella.archivio());
    ImpostaSincronizzazioneArchivio({});
    QCOMPARE(esito.esito, EsitoSalvataggio::ErroreArchivio);
    QVERIFY(!esito.giornaleScritto);
    TScheda letta;
    Archivio a;
    QVERIFY(a.ApriArchivio() && a.leggi(1, letta));
    QCOMPARE(letta.testo(Campo::Giacenza), u"2000"_s);
    QCOMPARE(TuttiI(PercorsoGiornale()), primaDelGuasto);
    QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
}

void TestMovimenti::dueCopieSalvanoLaGiacenza() {
    // Copy A adds 5 each time, copy B takes 2 off, both on card 1 at once:
    // every change counts and the journal tells each step.
    CartellaDiProva cartella;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"100"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    constexpr int VOLTE = 150;
    QProcess copie[2];
    const qint64 quantita[2] = {5, -2};
    for (int i = 0; i < 2; ++i) {
        copie[i].setProcessChannelMode(QProcess::ForwardedChannels);
        copie[i].start(QCoreApplication::applicationFilePath(),
                       {u"--salva"_s, cartella.archivio(), PercorsoGiornale(),
                        QString::number(quantita[i]), QString::number(VOLTE)});
        QVERIFY(copie[i].waitForStarted());
    }
    Scrivi(PercorsoGiornale() + u".via"_s, {});
    for (auto &copia : copie) {
        QVERIFY(copia.waitForFinished(120000));
        QCOMPARE(copia.exitStatus(), QProcess::NormalExit);
        QCOMPARE(copia.exitCode(), 0);
    }
    TScheda finale;
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio() && archivio.leggi(1, finale));
    QCOMPARE(finale.testo(Campo::Giacenza), QString::number(100 + VOLTE * 5 - VOLTE * 2));
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    QCOMPARE(tutti.size(), 2 * VOLTE);
    qint64 giacenza = 100;
    for (const Movimento &m : tutti) {
        QCOMPARE(m.prima, giacenza);
        QCOMPARE(m.dopo, m.prima + m.quantita);
        giacenza = m.dopo;
    }
    QCOMPARE(giacenza, 100 + VOLTE * 3);
}

void TestMovimenti::salvaConDomanda_data() {
    // What the user answers to the question about the other copy's change.
    QTest::addColumn<int>("risposta"); // TfrmConflittoScheda::Scelta
    QTest::addColumn<int>("esito");    // SalvataggioScheda::Esito
    QTest::addColumn<QString>("nome"); // the name on disk afterwards
    QTest::newRow("tengo le mie") << int(TfrmConflittoScheda::Salva)
                                  << int(SalvataggioScheda::Salvata) << u"Mio nome"_s;
    QTest::newRow("ricarico") << int(TfrmConflittoScheda::Ricarica)
                              << int(SalvataggioScheda::Ricaricare) << u"Loro nome"_s;
    QTest::newRow("annullo") << int(TfrmConflittoScheda::Annulla)
                             << int(SalvataggioScheda::NonSalvata) << u"Loro nome"_s;
}

void TestMovimenti::salvaConDomanda() {
    QFETCH(int, risposta);
    QFETCH(int, esito);
    QFETCH(QString, nome);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const TScheda caricata = SchedaNumero(1);
    TScheda loro = caricata;
    loro.impostaTesto(Campo::Nome, u"Loro nome"_s);
    loro.impostaTesto(Campo::Giacenza, u"4"_s);
    cartella.scriviArchivio(ArchivioDi({loro}));
    TScheda mia = caricata;
    mia.impostaTesto(Campo::Nome, u"Mio nome"_s);
    mia.impostaTesto(Campo::Giacenza, u"6"_s);
    dialoghi.allaProssimaFinestra([risposta](QDialog *finestra) {
        auto *domanda = qobject_cast<TfrmConflittoScheda *>(finestra);
        QVERIFY(domanda);
        QCOMPARE(domanda->cmbGruppi.keys(), QList<GruppoCampi>{GruppoCampi::Prodotto});
        QVERIFY(domanda->cmbGruppi.first()->accessibleDescription().contains(
            u"Nome: qui \u00ABMio nome\u00BB, altra postazione \u00ABLoro nome\u00BB"_s));
        QPushButton *pulsante = risposta == TfrmConflittoScheda::Salva      ? domanda->btnSalva
                                : risposta == TfrmConflittoScheda::Ricarica ? domanda->btnRicarica
                                                                            : domanda->btnAnnulla;
        QTest::mouseClick(pulsante, Qt::LeftButton);
    });
    const SalvataggioScheda fatto =
        SalvaScheda(nullptr, 1, caricata, mia, {{5, QString()}}, cartella.archivio());
    QCOMPARE(int(fatto.esito), esito);
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
    QCOMPARE(dialoghi.finestreEseguite(), 1);
    TScheda suDisco;
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio() && archivio.leggi(1, suDisco));
    QCOMPARE(suDisco.testo(Campo::Nome), nome);
    // Kept mine: the other copy's stock plus this window's 5.
    QCOMPARE(suDisco.testo(Campo::Giacenza),
             fatto.esito == SalvataggioScheda::Salvata ? u"9"_s : u"4"_s);
    if (fatto.esito == SalvataggioScheda::Ricaricare) QCOMPARE(fatto.scritta.byte, loro.byte);
}

void TestMovimenti::finestraSchedeEliminate() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    ArchivioConFoto(cartella, 3);
    QCOMPARE(EliminaScheda(1, SchedaNumero(1), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    QCOMPARE(EliminaScheda(2, SchedaNumero(2), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    QFile giornale(PercorsoGiornale());
    QVERIFY(giornale.open(QIODevice::Append));
    // Damaged lines of removals: counted and said.
    giornale.write("rovinata;Eliminazione;\n2026;x;Eliminazione;zzz\n");
    giornale.close();
    TfrmSchedeEliminate finestra(nullptr, cartella.archivio());
    QCOMPARE(finestra.lblAvviso->text(),
             u"Attenzione: 2 righe danneggiate del giornale sono state saltate."_s);
    QVERIFY(finestra.lblAvviso->isVisibleTo(&finestra));
    QCOMPARE(finestra.lblAvviso->accessibleName(), finestra.lblAvviso->text());
    QCOMPARE(finestra.grdEliminate->rowCount(), 2);
    QCOMPARE(Cella(finestra.grdEliminate, 0, 2), u"COD2"_s); // newest first
    QCOMPARE(Cella(finestra.grdEliminate, 1, 2), u"COD1"_s);
    QCOMPARE(Cella(finestra.grdEliminate, 1, 1), u"1"_s);
    finestra.grdEliminate->selectRow(1);
    QTest::mouseClick(finestra.btnRipristina, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"La scheda è stata ripristinata in archivio alla posizione 2."_s);
    QCOMPARE(finestra.posizioneRipristinata(), 2);
    QCOMPARE(finestra.grdEliminate->rowCount(), 1);
    QCOMPARE(Cella(finestra.grdEliminate, 0, 2), u"COD2"_s);
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({SchedaNumero(3), SchedaNumero(1)}));
    QCOMPARE(Leggi(cartella.percorso(u"2.jpg"_s)), QByteArray("foto 1"));
    // The last one back: the window says the list is empty, after the
    // damaged lines that are still there.
    QTest::mouseClick(finestra.btnRipristina, Qt::LeftButton);
    QCOMPARE(finestra.grdEliminate->rowCount(), 0);
    QVERIFY(!finestra.btnRipristina->isEnabled());
    QCOMPARE(finestra.lblAvviso->text(),
             u"Attenzione: 2 righe danneggiate del giornale sono state saltate. Non ci sono "
             u"schede eliminate da ripristinare."_s);
    QCOMPARE(finestra.lblAvviso->accessibleName(), finestra.lblAvviso->text());
}

void TestMovimenti::avvioApreIMovimenti() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TfrmAvvio avvio;
    auto *pulsante = avvio.findChild<QPushButton *>(u"btnMovimenti"_s);
    QVERIFY(pulsante);
    QCOMPARE(pulsante->text(), u"Movimenti"_s);
    // Reached with Tab from the launcher's first picture.
    QWidget *w = avvio.findChild<QWidget *>(u"imgMagazzino"_s);
    int passi = 0;
    while (w != pulsante && passi++ < 40)
        w = w->nextInFocusChain();
    QCOMPARE(w, pulsante);
    QCOMPARE(pulsante->focusPolicy(), Qt::StrongFocus);
    QString aperta;
    dialoghi.guardaProssimaFinestra(
        [&aperta](QDialog *finestra) { aperta = finestra->objectName(); });
    QTest::keyClick(pulsante, Qt::Key_Space);
    QCOMPARE(aperta, u"TfrmMovimentiPeriodo"_s);
}

namespace {
// The stock dialog of a card window: a quantity and its reason, applied.
void CambiaGiacenza(DialoghiFinti &dialoghi, TfrmMagazzino &finestra, const char *pulsante,
                    const QString &quantita, const QString &causale) {
    dialoghi.allaProssimaFinestra([quantita, causale](QDialog *d) {
        auto *g = qobject_cast<TfrmGiacenza *>(d);
        QVERIFY(g);
        g->txtAggiunta->setText(quantita);
        QTest::keyClicks(g->txtCausale, causale);
        QTest::mouseClick(g->btnAggiorna, Qt::LeftButton);
    });
    QTest::mouseClick(finestra.findChild<QAbstractButton *>(QLatin1String(pulsante)),
                      Qt::LeftButton);
}
} // namespace

void TestMovimenti::schedaSalvaIMovimenti() {
    // Two card windows on one card: A adds 50, B takes 3 off, each saving
    // after the other loaded; both changes count, each with its reason.
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"10"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    TfrmMagazzino a;
    TfrmMagazzino b;
    a.CaricaScheda(scheda, 1);
    b.CaricaScheda(scheda, 1);
    CambiaGiacenza(dialoghi, a, "btnAggiungi", u"50"_s, u"DDT 9"_s);
    CambiaGiacenza(dialoghi, b, "btnSottrai", u"3"_s, u"vendita al banco"_s);
    QCOMPARE(a.casella(Campo::Giacenza)->text(), u"60"_s);
    QCOMPARE(b.casella(Campo::Giacenza)->text(), u"7"_s);
    a.btnSalvaClick();
    b.btnSalvaClick();
    QCOMPARE(dialoghi.ultimo(),
             u"Le modifiche apportate alla scheda corrente sono state salvate in archivio."_s);
    TScheda suDisco;
    Archivio archivio;
    QVERIFY(archivio.ApriArchivio() && archivio.leggi(1, suDisco));
    QCOMPARE(suDisco.testo(Campo::Giacenza), u"57"_s);
    QCOMPARE(b.casella(Campo::Giacenza)->text(), u"57"_s);
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    QCOMPARE(tutti.size(), 2);
    QCOMPARE(tutti[0].tipo, TipoMovimento::Carico);
    QCOMPARE(tutti[0].nota, u"DDT 9"_s);
    QCOMPARE(tutti[0].dopo, 60);
    QCOMPARE(tutti[1].tipo, TipoMovimento::Scarico);
    QCOMPARE(tutti[1].nota, u"vendita al banco"_s);
    QCOMPARE(tutti[1].prima, 60);
    QCOMPARE(tutti[1].dopo, 57);

    // A typed stock is a correction; a new card with a stock is "Nuova scheda".
    a.CaricaScheda(suDisco, 1);
    a.casella(Campo::Giacenza)->setText(u"55"_s);
    a.btnSalvaClick();
    a.btnNuovoClick();
    a.casella(Campo::Codice)->setText(u"N1"_s);
    a.casella(Campo::Costo)->setText(u"1,00"_s);
    a.casella(Campo::Nome)->setText(u"Nuovo"_s);
    a.casella(Campo::Tipologia)->setText(u"Varie"_s);
    a.casella(Campo::Giacenza)->setText(u"4"_s);
    a.btnSalvaClick();
    const QList<Movimento> poi = TuttiI(PercorsoGiornale());
    QCOMPARE(poi.size(), 4);
    QCOMPARE(poi[2].tipo, TipoMovimento::Rettifica);
    QCOMPARE(poi[2].quantita, -2);
    QCOMPARE(poi[3].tipo, TipoMovimento::NuovaScheda);
    QCOMPARE(poi[3].posizione, 2);
    QCOMPARE(poi[3].quantita, 4);
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
    Fotografa(&b, u"scheda"_s);
}

void TestMovimenti::schedaEliminaERipristina() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    ArchivioConFoto(cartella, 3);
    TfrmMagazzino finestra;
    finestra.CaricaScheda(SchedaNumero(1), 1);
    // "No" to the question: nothing happens.
    dialoghi.rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(finestra.findChild<QAbstractButton *>(u"btnElimina"_s), Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"Eliminare dall'archivio la scheda n. 1 (COD1 - Prodotto 1)? Si "
                                u"potrà ripristinarla da \u00ABSchede eliminate\u00BB."_s);
    QCOMPARE(cartella.leggiArchivio().size(), 3 * TScheda::DIMENSIONE);

    QTest::mouseClick(finestra.findChild<QAbstractButton *>(u"btnElimina"_s), Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"La scheda è stata eliminata dall'archivio."_s);
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({SchedaNumero(3), SchedaNumero(2)}));
    // The card that moved into its place is on screen, with its photo.
    QCOMPARE(finestra.casella(Campo::Codice)->text(), u"COD3"_s);
    QCOMPARE(finestra.findChild<QLabel *>(u"lblPosizione"_s)->text(), u"1"_s);

    dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *elenco = qobject_cast<TfrmSchedeEliminate *>(d);
        QVERIFY(elenco);
        QCOMPARE(elenco->grdEliminate->rowCount(), 1);
        QTest::mouseClick(elenco->btnRipristina, Qt::LeftButton);
        QTest::mouseClick(elenco->btnChiudi, Qt::LeftButton);
    });
    QTest::mouseClick(finestra.findChild<QAbstractButton *>(u"btnSchedeEliminate"_s),
                      Qt::LeftButton);
    QCOMPARE(cartella.leggiArchivio(),
             ArchivioDi({SchedaNumero(3), SchedaNumero(2), SchedaNumero(1)}));
    QCOMPARE(finestra.casella(Campo::Codice)->text(), u"COD1"_s);
    QCOMPARE(finestra.findChild<QLabel *>(u"lblPosizione"_s)->text(), u"3"_s);
    QCOMPARE(Leggi(cartella.percorso(u"3.jpg"_s)), QByteArray("foto 1"));
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
}

void TestMovimenti::schedaMostraIMovimenti() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"8"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::NuovaScheda, 5, 0),
                               MovimentoDiProva(1, TipoMovimento::Carico, 3, 5)}));
    TfrmMagazzino finestra;
    finestra.CaricaScheda(scheda, 1);
    auto *pulsante = finestra.findChild<QAbstractButton *>(u"btnMovimenti"_s);
    QCOMPARE(pulsante->focusPolicy(), Qt::TabFocus);
    // Taking back the last movement there moves the card's stock box too.
    dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *storia = qobject_cast<TfrmMovimentiScheda *>(d);
        QVERIFY(storia);
        QCOMPARE(storia->grdMovimenti->rowCount(), 2);
        QTest::mouseClick(storia->btnAnnullaUltimo, Qt::LeftButton);
        QTest::mouseClick(storia->btnChiudi, Qt::LeftButton);
    });
    QTest::mouseClick(pulsante, Qt::LeftButton);
    QCOMPARE(finestra.casella(Campo::Giacenza)->text(), u"5"_s);
    QVERIFY(!finestra.modificata());
    // A new card has no movements to show.
    finestra.btnNuovoClick();
    QTest::mouseClick(pulsante, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"Attenzione: i movimenti si possono visualizzare soltanto per "
                                u"una scheda inserita in archivio."_s);
}

void TestMovimenti::giacenzaNonIntera_data() {
    // A stock as the disk holds it (the import keeps such texts, older
    // archives have them) and the whole number it reads as, if any.
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("leggibile");
    QTest::addColumn<qint64>("intero");
    QTest::newRow("2,5") << u"2,5"_s << false << qint64(0);
    QTest::newRow("1E3") << u"1E3"_s << true << qint64(1000);
    QTest::newRow("abc") << u"abc"_s << false << qint64(0);
    QTest::newRow("-2") << u"-2"_s << true << qint64(-2);
    QTest::newRow("12") << u"12"_s << true << qint64(12);
}

void TestMovimenti::giacenzaNonIntera() {
    QFETCH(QString, testo);
    QFETCH(bool, leggibile);
    QFETCH(qint64, intero);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, testo);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    QCOMPARE(GiacenzaDi(scheda).has_value(), leggibile);
    if (leggibile) QCOMPARE(*GiacenzaDi(scheda), intero);
    auto suDisco = [] {
        TScheda letta;
        Archivio a;
        if (!a.ApriArchivio() || !a.leggi(1, letta)) return TScheda();
        return letta;
    };

    // Only the note changed: the stock stays as written, without a movement.
    TScheda nota = scheda;
    nota.impostaTesto(Campo::Note, u"Scaffale 4"_s);
    SalvataggioScheda fatto = SalvaScheda(nullptr, 1, scheda, nota, {}, cartella.archivio(),
                                          PercorsoGiornale(), SegnoGiornale());
    QCOMPARE(fatto.esito, SalvataggioScheda::Salvata);
    QCOMPARE(suDisco().testo(Campo::Giacenza), testo);
    QCOMPARE(suDisco().testo(Campo::Note), u"Scaffale 4"_s);
    QVERIFY(TuttiI(PercorsoGiornale()).isEmpty());
    QVERIFY(dialoghi.mostrati().isEmpty());

    // A delivery of 5.
    const TScheda caricata = suDisco();
    TScheda mia = caricata;
    mia.impostaTesto(Campo::Giacenza, leggibile ? QString::number(intero + 5) : u"5"_s);
    const QByteArray prima = cartella.leggiArchivio();
    const EsitoSalvataggio esito =
        SalvaConMovimenti(1, caricata, mia, {{5, u"DDT 1"_s}}, cartella.archivio());
    if (leggibile) {
        QCOMPARE(esito.esito, EsitoSalvataggio::Salvata);
        QCOMPARE(suDisco().testo(Campo::Giacenza), QString::number(intero + 5));
        const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
        QCOMPARE(tutti.size(), 1);
        QCOMPARE(tutti[0].tipo, TipoMovimento::Carico);
        QCOMPARE(tutti[0].prima, intero);
        QCOMPARE(tutti[0].dopo, intero + 5);
        return;
    }
    // Nothing to add 5 to: nothing written without asking.
    QCOMPARE(esito.esito, EsitoSalvataggio::GiacenzaNonIntera);
    QCOMPARE(cartella.leggiArchivio(), prima);
    QVERIFY(TuttiI(PercorsoGiornale()).isEmpty());
    // Nor can a movement be taken back from it.
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 3, 0)}));
    const Annullamento annullato = AnnullaUltimoMovimento(1, cartella.archivio());
    QCOMPARE(annullato.esito, Annullamento::GiacenzaNonIntera);
    QCOMPARE(cartella.leggiArchivio(), prima);
    QCOMPARE(TuttiI(PercorsoGiornale()).size(), 1);

    // Through the card window's save: "No" leaves the card as it is; "Sì"
    // puts this window's stock in place of the old text, said in the note.
    dialoghi.rispondi(Piattaforma::Risposta::No);
    fatto = SalvaScheda(nullptr, 1, caricata, mia, {{5, u"DDT 1"_s}}, cartella.archivio());
    QCOMPARE(fatto.esito, SalvataggioScheda::NonSalvata);
    QCOMPARE(dialoghi.ultimo(),
             u"Attenzione: la giacenza \u00AB"_s + testo +
                 u"\u00BB non è un numero intero di pezzi, quindi non le si può applicare un "
                 u"movimento di magazzino. Sostituirla con la giacenza 5 indicata nella scheda? "
                 u"I movimenti di questa scheda non saranno applicati alla giacenza precedente."_s);
    QCOMPARE(cartella.leggiArchivio(), prima);
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    fatto = SalvaScheda(nullptr, 1, caricata, mia, {{5, u"DDT 1"_s}}, cartella.archivio());
    QCOMPARE(fatto.esito, SalvataggioScheda::Salvata);
    QCOMPARE(suDisco().testo(Campo::Giacenza), u"5"_s);
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    QCOMPARE(tutti.size(), 2);
    QCOMPARE(tutti[1].tipo, TipoMovimento::Rettifica);
    QCOMPARE(tutti[1].quantita, 0);
    QCOMPARE(tutti[1].dopo, 5);
    QVERIFY2(tutti[1].nota.contains(testo), qPrintable(tutti[1].nota));
}

namespace {
// The journal as a spreadsheet saves it again with every text in quotes:
// each field of each line quoted, with `separatore` and CRLF.
QByteArray TuttoTraVirgolette(const QByteArray &giornale, char separatore) {
    QByteArray uscita;
    for (QByteArray riga : giornale.split('\n')) {
        if (riga.isEmpty()) continue;
        QList<QByteArray> campi = riga.split(';'); // the test's texts hold no ';'
        for (QByteArray &campo : campi) {
            // A cost such as "2,50" is in quotes already.
            if (campo.startsWith('"')) campo = campo.mid(1, campo.size() - 2).replace("\"\"", "\"");
            campo = '"' + campo.replace("\"", "\"\"") + '"';
        }
        uscita += campi.join(separatore) + "\r\n";
    }
    return uscita;
}
} // namespace

void TestMovimenti::giornaleTuttoTraVirgolette_data() {
    QTest::addColumn<char>("separatore");
    QTest::newRow("punto e virgola") << ';';
    QTest::newRow("virgola") << ',';
}

void TestMovimenti::giornaleTuttoTraVirgolette() {
    QFETCH(char, separatore);
    CartellaDiProva cartella;
    ArchivioConFoto(cartella, 4);
    QCOMPARE(EliminaScheda(1, SchedaNumero(1), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    QCOMPARE(EliminaScheda(2, SchedaNumero(2), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    const QByteArray scritto = Leggi(PercorsoGiornale());
    Scrivi(PercorsoGiornale(), TuttoTraVirgolette(scritto, separatore));

    qint64 danneggiate = -1;
    const QList<SchedaEliminata> eliminate = SchedeEliminate(PercorsoGiornale(), &danneggiate);
    QCOMPARE(danneggiate, 0);
    QCOMPARE(eliminate.size(), 2);
    QCOMPARE(eliminate[0].scheda.byte, SchedaNumero(2).byte);
    QCOMPARE(eliminate[1].scheda.byte, SchedaNumero(1).byte);
    // The card moved into position 1 takes its history with it.
    const StoriaScheda storia = LeggiStoriaScheda(1);
    QCOMPARE(storia.danneggiate, 0);
    QCOMPARE(storia.movimenti.size(), 2);
    QCOMPARE(storia.movimenti[0].codice, u"COD4"_s);
    QCOMPARE(storia.movimenti[1].tipo, TipoMovimento::Spostamento);
    // The period finds every line of the day.
    const QDate oggi = QDate::currentDate();
    const RiepilogoPeriodo periodo = RiepilogaPeriodo(oggi, oggi);
    QCOMPARE(periodo.lettura.danneggiate, 0);
    QCOMPARE(periodo.righe.size(), std::size_t(TuttiI(PercorsoGiornale()).size()));
    // Brought back once: then it is no longer listed.
    QCOMPARE(RipristinaScheda(eliminate[0], cartella.archivio()).esito,
             EsitoRipristinoScheda::Fatto);
    QCOMPARE(SchedeEliminate().size(), 1);
    QCOMPARE(RipristinaScheda(eliminate[0], cartella.archivio()).esito,
             EsitoRipristinoScheda::GiaRipristinata);
    QCOMPARE(cartella.leggiArchivio(),
             ArchivioDi({SchedaNumero(4), SchedaNumero(3), SchedaNumero(2)}));
}

void TestMovimenti::salvaDopoEliminazioneAltrui_data() {
    // Cards 1 to 3; copy B loads card `caricata`, copy A then removes card 1
    // (card 3 moves into position 1), and B saves its card with 5 more. Card 3
    // shares card 1's code or name, so position and one field tell nothing.
    QTest::addColumn<int>("caricata");
    QTest::addColumn<int>("comune"); // 0: the code, 1: the name
    QTest::addColumn<int>("risposta");
    QTest::addColumn<QString>("domanda");
    QTest::addColumn<QStringList>("dopo"); // code, name and stock of each card afterwards
    const QString eliminata = u"Attenzione: la scheda COD1 - Prodotto 1 è stata eliminata "
                              u"dall'archivio da un'altra postazione dopo che è stata aperta "
                              u"qui. Inserire la scheda corrente in archivio come nuova scheda? "
                              u"Con \u00ABNo\u00BB si ricarica la scheda che ora occupa la "
                              u"posizione, senza le modifiche."_s;
    QTest::newRow("stesso codice, annullo")
        << 1 << 0 << int(Piattaforma::Risposta::Annulla) << eliminata
        << QStringList{u"COD1 Altro 3"_s, u"COD2 Prodotto 2 2"_s};
    QTest::newRow("stesso nome, come nuova")
        << 1 << 1 << int(Piattaforma::Risposta::Si) << eliminata
        << QStringList{u"COD3 Prodotto 1 3"_s, u"COD2 Prodotto 2 2"_s, u"COD1 Prodotto 1 6"_s};
    const QString spostata = u"Attenzione: un'altra postazione ha eliminato una scheda, e la "
                             u"scheda COD1 - Altro è stata spostata dalla posizione 3 alla "
                             u"posizione 1 dell'archivio. Salvare le modifiche sulla scheda "
                             u"nella sua nuova posizione? Con \u00ABNo\u00BB la scheda viene "
                             u"ricaricata dalla nuova posizione, senza le modifiche."_s;
    QTest::newRow("spostata, salvo là") << 3 << 0 << int(Piattaforma::Risposta::Si) << spostata
                                        << QStringList{u"COD1 Altro 8"_s, u"COD2 Prodotto 2 2"_s};
    QTest::newRow("spostata, ricarico") << 3 << 0 << int(Piattaforma::Risposta::No) << spostata
                                        << QStringList{u"COD1 Altro 3"_s, u"COD2 Prodotto 2 2"_s};
}

void TestMovimenti::salvaDopoEliminazioneAltrui() {
    QFETCH(int, caricata);
    QFETCH(int, comune);
    QFETCH(int, risposta);
    QFETCH(QString, domanda);
    QFETCH(QStringList, dopo);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda terza = SchedaNumero(3);
    if (comune == 0)
        terza.impostaTesto(Campo::Nome, u"Altro"_s), terza.impostaTesto(Campo::Codice, u"COD1"_s);
    else
        terza.impostaTesto(Campo::Nome, u"Prodotto 1"_s);
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), terza}));
    const TScheda schede[] = {SchedaNumero(1), SchedaNumero(2), terza};

    // Copy B.
    const TScheda suaScheda = schede[caricata - 1];
    const qint64 segno = SegnoGiornale();
    // Copy A.
    QCOMPARE(EliminaScheda(1, SchedaNumero(1), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    // Copy B saves.
    TScheda mia = suaScheda;
    mia.impostaTesto(Campo::Giacenza, QString::number(GiacenzaDi(suaScheda).value_or(0) + 5));
    dialoghi.rispondi(Piattaforma::Risposta(risposta));
    const SalvataggioScheda fatto = SalvaScheda(nullptr, caricata, suaScheda, mia, {{5, QString()}},
                                                cartella.archivio(), PercorsoGiornale(), segno);
    QCOMPARE(dialoghi.testi().value(0), domanda);
    QCOMPARE(dialoghi.mostrati().size(), 1);
    if (risposta == int(Piattaforma::Risposta::No)) {
        QCOMPARE(fatto.esito, SalvataggioScheda::Ricaricare);
        QCOMPARE(fatto.posizione, 1);
        QCOMPARE(fatto.scritta.byte, terza.byte);
    }
    QStringList trovate;
    ScorriArchivio(cartella.archivio(), [&](const TScheda &s, qint64) {
        trovate << s.testo(Campo::Codice) + u' ' + s.testo(Campo::Nome) + u' ' +
                       s.testo(Campo::Giacenza);
        return true;
    });
    QCOMPARE(trovate, dopo);
}

void TestMovimenti::annullaSoloIlMovimentoNominato() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"8"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 5, 3)}));
    TfrmMovimentiScheda storia(nullptr, 1, cartella.archivio());
    // Another copy sells 2 while this window shows the delivery of 5 as the last.
    TScheda mia = scheda;
    mia.impostaTesto(Campo::Giacenza, u"6"_s);
    QCOMPARE(SalvaConMovimenti(1, scheda, mia, {{-2, u"banco"_s}}, cartella.archivio()).esito,
             EsitoSalvataggio::Salvata);
    const QByteArray archivio = cartella.leggiArchivio();
    const QByteArray giornale = Leggi(PercorsoGiornale());
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    dialoghi.rispondi(Piattaforma::Risposta::No);
    QTest::mouseClick(storia.btnAnnullaUltimo, Qt::LeftButton);
    QCOMPARE(dialoghi.testi().size(), 2);
    QVERIFY2(dialoghi.testi()[0].startsWith(u"Annullare l'ultimo movimento (Carico +5"_s),
             qPrintable(dialoghi.testi()[0]));
    // Asked again, naming the sale.
    QVERIFY2(dialoghi.testi()[1].startsWith(
                 u"Nel frattempo un'altra postazione ha registrato un altro movimento per questa "
                 u"scheda, e nulla è stato annullato. Annullare l'ultimo movimento (Scarico -2"_s),
             qPrintable(dialoghi.testi()[1]));
    QCOMPARE(cartella.leggiArchivio(), archivio);
    QCOMPARE(Leggi(PercorsoGiornale()), giornale);
    QCOMPARE(storia.grdMovimenti->rowCount(), 2);
}

void TestMovimenti::annullaDopoEliminazioneAltrui() {
    // Copy B shows card 1's history; copy A removes card 1 and card 2 (same
    // code) moves into position 1 with its own last movement.
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda seconda = SchedaNumero(2);
    seconda.impostaTesto(Campo::Codice, u"COD1"_s);
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), seconda}));
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::Carico, 1, 0)}));
    TfrmMovimentiScheda storia(nullptr, 1, cartella.archivio());
    QCOMPARE(EliminaScheda(1, SchedaNumero(1), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    const QByteArray archivio = cartella.leggiArchivio();
    const QByteArray giornale = Leggi(PercorsoGiornale());
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    QTest::mouseClick(storia.btnAnnullaUltimo, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(),
             u"Attenzione: un'altra postazione ha eliminato o spostato questa scheda dopo che è "
             u"stata aperta qui, e nulla è stato annullato. Riaprire la scheda e riprovare."_s);
    QCOMPARE(cartella.leggiArchivio(), archivio);
    QCOMPARE(Leggi(PercorsoGiornale()), giornale);
}

void TestMovimenti::ripristinoSoloUnaVolta() {
    // Two copies list the removed cards, then each brings back the same one.
    CartellaDiProva cartella;
    ArchivioConFoto(cartella, 3);
    QCOMPARE(EliminaScheda(2, SchedaNumero(2), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    const QList<SchedaEliminata> viste[2] = {SchedeEliminate(), SchedeEliminate()};
    QCOMPARE(viste[0].size(), 1);
    QCOMPARE(viste[1].size(), 1);
    const EsitoRipristinoScheda prima = RipristinaScheda(viste[0][0], cartella.archivio());
    QCOMPARE(prima.esito, EsitoRipristinoScheda::Fatto);
    const QByteArray archivio = cartella.leggiArchivio();
    const QByteArray giornale = Leggi(PercorsoGiornale());
    const EsitoRipristinoScheda seconda = RipristinaScheda(viste[1][0], cartella.archivio());
    QCOMPARE(seconda.esito, EsitoRipristinoScheda::GiaRipristinata);
    QCOMPARE(cartella.leggiArchivio(), archivio);
    QCOMPARE(archivio, ArchivioDi({SchedaNumero(1), SchedaNumero(3), SchedaNumero(2)}));
    QCOMPARE(Leggi(PercorsoGiornale()), giornale);
    QCOMPARE(Leggi(cartella.percorso(u"3.jpg"_s)), QByteArray("foto 2"));
    QVERIFY(!QFile::exists(cartella.percorso(u"4.jpg"_s)));

    // The window says so, and lists it no more.
    DialoghiFinti dialoghi;
    TScheda ancora = SchedaNumero(1);
    QCOMPARE(EliminaScheda(1, ancora, cartella.archivio()).esito, EsitoEliminazione::Fatta);
    TfrmSchedeEliminate finestra(nullptr, cartella.archivio());
    QCOMPARE(finestra.grdEliminate->rowCount(), 1);
    QCOMPARE(RipristinaScheda(SchedeEliminate()[0], cartella.archivio()).esito,
             EsitoRipristinoScheda::Fatto);
    finestra.grdEliminate->selectRow(0);
    QTest::mouseClick(finestra.btnRipristina, Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(),
             u"Attenzione: un'altra postazione ha già ripristinato questa "
             u"scheda, che quindi non è stata ripristinata una seconda volta."_s);
    QCOMPARE(finestra.grdEliminate->rowCount(), 0);
    QCOMPARE(cartella.leggiArchivio().size(), 3 * TScheda::DIMENSIONE);
}

void TestMovimenti::schedaSpostataDaUnAltraCopia() {
    // Window A removes card 1 while window B shows card 3, which moves into
    // position 1; B's save says so, rather than a question of access, and
    // goes where the card is now.
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));
    TfrmMagazzino a;
    TfrmMagazzino b;
    a.CaricaScheda(SchedaNumero(1), 1);
    b.CaricaScheda(SchedaNumero(3), 3);
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    QTest::mouseClick(a.findChild<QAbstractButton *>(u"btnElimina"_s), Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), u"La scheda è stata eliminata dall'archivio."_s);
    dialoghi.azzera();
    b.casella(Campo::Note)->setText(u"Scaffale 9"_s);
    dialoghi.rispondi(Piattaforma::Risposta::Si);
    QVERIFY(b.salva());
    QCOMPARE(dialoghi.testi().size(), 2);
    QVERIFY2(dialoghi.testi()[0].contains(
                 u"COD3 - Prodotto 3 è stata spostata dalla posizione 3 alla posizione 1"_s),
             qPrintable(dialoghi.testi()[0]));
    QCOMPARE(dialoghi.testi()[1],
             u"Le modifiche apportate alla scheda corrente sono state salvate in archivio."_s);
    QCOMPARE(b.findChild<QLabel *>(u"lblPosizione"_s)->text(), u"1"_s);
    TScheda attesa = SchedaNumero(3);
    attesa.impostaTesto(Campo::Note, u"Scaffale 9"_s);
    QCOMPARE(cartella.leggiArchivio(), ArchivioDi({attesa, SchedaNumero(2)}));
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
}

void TestMovimenti::rettificaECaricoDistinti_data() {
    // The card's stock is 10; the dialog's "Giacenza attuale", the quantity,
    // and the journal lines of the save ("kind quantity").
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<QString>("attuale");
    QTest::addColumn<QString>("quantita");
    QTest::addColumn<QStringList>("righe");
    QTest::addColumn<QString>("giacenza");
    QTest::newRow("conta corretta e consegna")
        << u"btnAggiungi"_s << u"12"_s << u"5"_s << QStringList{u"Rettifica 2"_s, u"Carico 5"_s}
        << u"17"_s;
    QTest::newRow("conta corretta e vendita")
        << u"btnSottrai"_s << u"8"_s << u"3"_s << QStringList{u"Rettifica -2"_s, u"Scarico -3"_s}
        << u"5"_s;
    QTest::newRow("solo consegna")
        << u"btnAggiungi"_s << u"10"_s << u"5"_s << QStringList{u"Carico 5"_s} << u"15"_s;
    QTest::newRow("solo conta corretta")
        << u"btnAggiungi"_s << u"12"_s << u"0"_s << QStringList{u"Rettifica 2"_s} << u"12"_s;
}

void TestMovimenti::rettificaECaricoDistinti() {
    QFETCH(QString, pulsante);
    QFETCH(QString, attuale);
    QFETCH(QString, quantita);
    QFETCH(QStringList, righe);
    QFETCH(QString, giacenza);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, u"10"_s);
    cartella.scriviArchivio(ArchivioDi({scheda}));
    TfrmMagazzino finestra;
    finestra.CaricaScheda(scheda, 1);
    dialoghi.allaProssimaFinestra([attuale, quantita](QDialog *d) {
        auto *g = qobject_cast<TfrmGiacenza *>(d);
        QVERIFY(g);
        g->txtGiacenza->setText(attuale);
        g->txtAggiunta->setText(quantita);
        QTest::keyClicks(g->txtCausale, u"DDT 5"_s);
        QTest::mouseClick(g->btnAggiorna, Qt::LeftButton);
    });
    QTest::mouseClick(finestra.findChild<QAbstractButton *>(pulsante), Qt::LeftButton);
    QCOMPARE(finestra.casella(Campo::Giacenza)->text(), giacenza);
    finestra.btnSalvaClick();
    QStringList trovate;
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    for (const Movimento &m : tutti)
        trovate << NomeTipo(m.tipo) + u' ' + QString::number(m.quantita);
    QCOMPARE(trovate, righe);
    // The reason goes with the goods, not with the count.
    for (const Movimento &m : tutti)
        QCOMPARE(m.nota == u"DDT 5"_s, m.tipo != TipoMovimento::Rettifica);
    QCOMPARE(tutti.last().dopo, giacenza.toLongLong());
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
}

void TestMovimenti::controlliNellOperazioneUnica_data() {
    // What the save and the undo check before writing, and what the journal
    // then holds, when the card and its lines go through the intent record:
    // with a journal that can be written, and with one that cannot (nothing
    // changes then).
    QTest::addColumn<QString>("caso");
    QTest::addColumn<bool>("scrivibile");
    QTest::addColumn<QStringList>("righe"); // the lines added, "kind quantity"
    QTest::addColumn<QString>("giacenza");  // the stock on disk afterwards
    for (bool scrivibile : {true, false}) {
        const char *suffisso = scrivibile ? "" : ", giornale non scrivibile";
        QTest::addRow("conta corretta e consegna%s", suffisso)
            << u"rettifica"_s << scrivibile
            << (scrivibile ? QStringList{u"Rettifica 2"_s, u"Carico 5"_s} : QStringList())
            << (scrivibile ? u"17"_s : u"10"_s);
        QTest::addRow("giacenza non intera sostituita%s", suffisso)
            << u"sostituita"_s << scrivibile
            << (scrivibile ? QStringList{u"Rettifica 0"_s} : QStringList())
            << (scrivibile ? u"7"_s : u"2,5"_s);
        QTest::addRow("annullamento del movimento mostrato%s", suffisso)
            << u"annullamento"_s << scrivibile
            << (scrivibile ? QStringList{u"Scarico -5"_s} : QStringList())
            << (scrivibile ? u"5"_s : u"10"_s);
    }
}

void TestMovimenti::controlliNellOperazioneUnica() {
    QFETCH(QString, caso);
    QFETCH(bool, scrivibile);
    QFETCH(QStringList, righe);
    QFETCH(QString, giacenza);
    CartellaDiProva cartella;
    TScheda scheda = SchedaNumero(1);
    scheda.impostaTesto(Campo::Giacenza, caso == u"sostituita" ? u"2,5"_s : u"10"_s);
    cartella.scriviArchivio(ArchivioDi({scheda, SchedaNumero(2)}));
    const Movimento consegna = MovimentoDiProva(1, TipoMovimento::Carico, 5, 5);
    QVERIFY(RegistraMovimenti({consegna}));
    const QByteArray archivioPrima = cartella.leggiArchivio();
    const QByteArray giornalePrima = Leggi(PercorsoGiornale());
    const qint64 segno = SegnoGiornale();
    if (!scrivibile)
        ImpostaSincronizzazioneArchivio([](int fd) {
            return QFileInfo(u"/proc/self/fd/"_s + QString::number(fd))
                           .symLinkTarget()
                           .endsWith(u".csv"_s)
                       ? -1
                       : 0;
        });
    if (caso == u"annullamento") {
        const AttesaAnnullamento attesa{TuttiI(PercorsoGiornale()).last(), scheda, segno};
        const Annullamento esito =
            AnnullaUltimoMovimento(1, cartella.archivio(), PercorsoGiornale(), &attesa);
        ImpostaSincronizzazioneArchivio({});
        QCOMPARE(esito.esito, scrivibile ? Annullamento::Fatto : Annullamento::GiornaleNonScritto);
    } else {
        TScheda mia = scheda;
        QList<CambioGiacenza> cambi;
        SceltePerSalvare scelte;
        scelte.segnoGiornale = segno;
        if (caso == u"rettifica") {
            mia.impostaTesto(Campo::Giacenza, u"17"_s);
            cambi = {{2, QString(), true}, {5, u"DDT 5"_s, false}};
        } else {
            mia.impostaTesto(Campo::Giacenza, u"7"_s);
            scelte.sostituisciGiacenza = true;
        }
        const EsitoSalvataggio esito =
            SalvaConMovimenti(1, scheda, mia, cambi, cartella.archivio(), scelte);
        ImpostaSincronizzazioneArchivio({});
        QCOMPARE(esito.esito,
                 scrivibile ? EsitoSalvataggio::Salvata : EsitoSalvataggio::ErroreArchivio);
        QCOMPARE(esito.giornaleScritto, scrivibile);
    }
    QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
    TScheda letta;
    Archivio a;
    QVERIFY(a.ApriArchivio() && a.leggi(1, letta));
    a.chiudi();
    QCOMPARE(Rifila(letta.testo(Campo::Giacenza)), giacenza);
    QStringList trovate;
    const QList<Movimento> tutti = TuttiI(PercorsoGiornale());
    for (const Movimento &m : tutti.mid(1))
        trovate << NomeTipo(m.tipo) + u' ' + QString::number(m.quantita);
    QCOMPARE(trovate, righe);
    if (!scrivibile) {
        QCOMPARE(cartella.leggiArchivio(), archivioPrima);
        QCOMPARE(Leggi(PercorsoGiornale()), giornalePrima);
        return;
    }
    // The last line is the one that made the operation final.
    QVERIFY(!tutti.last().dati.isEmpty());
    QCOMPARE(tutti.last().dopo, giacenza.toLongLong());
    QCOMPARE(cartella.leggiArchivio().mid(TScheda::DIMENSIONE),
             archivioPrima.mid(TScheda::DIMENSIONE));
}

void TestMovimenti::indiceVedeAltreCopie() {
    CartellaDiProva cartella;
    QVERIFY(RegistraMovimenti({MovimentoDiProva(1, TipoMovimento::NuovaScheda, 5, 0)}));
    QCOMPARE(LeggiStoriaScheda(1).movimenti.size(), 1);
    QVERIFY(QFileInfo(PercorsoIndice()).size() > 0);
    // Two other copies append while this one reads the history again and again.
    constexpr int QUANTI = 150;
    QProcess processi[2];
    for (int i = 0; i < 2; ++i) {
        processi[i].setProcessChannelMode(QProcess::ForwardedChannels);
        processi[i].start(
            QCoreApplication::applicationFilePath(),
            {u"--pilota"_s, PercorsoGiornale(), QString(QChar(u'A' + i)), QString::number(QUANTI)});
        QVERIFY(processi[i].waitForStarted());
    }
    Scrivi(PercorsoGiornale() + u".via"_s, {});
    // What one reading has seen of a card, the next one still sees.
    qsizetype viste = 1;
    while (processi[0].state() != QProcess::NotRunning ||
           processi[1].state() != QProcess::NotRunning) {
        const StoriaScheda storia = LeggiStoriaScheda(1);
        QCOMPARE(storia.danneggiate, 0);
        QVERIFY(storia.movimenti.size() >= viste);
        viste = storia.movimenti.size();
        QCOMPARE(LeggiStoriaScheda(2).danneggiate, 0);
        QCoreApplication::processEvents();
    }
    for (auto &processo : processi) {
        QCOMPARE(processo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(processo.exitCode(), 0);
    }
    for (qint64 posizione : {1, 2, QUANTI}) {
        const StoriaScheda storia = LeggiStoriaScheda(posizione);
        QCOMPARE(storia.movimenti.size(), posizione == 1 ? 3 : 2);
        QCOMPARE(storia.movimenti, StoriaSenzaIndice(posizione).movimenti);
    }
    LeggiStoriaScheda(1);
    QCOMPARE(Leggi(PercorsoIndice()), IndiceNuovo());
}

void TestMovimenti::indiceRifatto_data() {
    QTest::addColumn<QString>("caso");
    for (const char *caso :
         {"vuoto", "troncato", "entrata cambiata", "testata cambiata", "di un altro giornale",
          "casuale", "giornale accorciato", "riga cambiata a mano", "coda persa"})
        QTest::newRow(caso) << QString::fromLatin1(caso);
}

void TestMovimenti::indiceRifatto() {
    QFETCH(QString, caso);
    CartellaDiProva cartella;
    const auto registra = [](int da, int a) {
        QList<Movimento> righe;
        for (int i = da; i < a; ++i) {
            Movimento m = MovimentoDiProva(1 + i % 4, TipoMovimento::Carico, 1 + i, i);
            m.nota = QString(200, QChar(u'a' + i % 26));
            righe << m;
        }
        return RegistraMovimenti(righe);
    };
    QVERIFY(registra(0, 60));
    const QString indice = PercorsoIndice();
    QCOMPARE(LeggiStoriaScheda(1).movimenti.size(), 15);
    QByteArray byte = Leggi(indice);
    QByteArray giornale = Leggi(PercorsoGiornale());
    if (caso == u"vuoto") {
        byte.clear();
    } else if (caso == u"troncato") {
        byte.chop(12 * 7 + 5);
    } else if (caso == u"entrata cambiata") {
        // An entry of card 1 said to be of card 3: the entries no longer add up.
        byte[64 + 8] = 3;
    } else if (caso == u"testata cambiata") {
        byte[9] = char(byte[9] ^ 0x10);
    } else if (caso == u"di un altro giornale") {
        // The index of a journal with other lines of the same length.
        {
            CartellaDiProva altra;
            QList<Movimento> righe;
            for (int i = 0; i < 60; ++i) {
                Movimento m = MovimentoDiProva(1 + (i + 1) % 4, TipoMovimento::Carico, 1 + i, i);
                m.nota = QString(200, QChar(u'a' + i % 26));
                righe << m;
            }
            QVERIFY(RegistraMovimenti(righe));
            LeggiStoriaScheda(1);
            byte = Leggi(PercorsoIndice());
        }
        ImpostaCartellaProgramma(cartella.percorso());
    } else if (caso == u"casuale") {
        QRandomGenerator caso(3);
        for (char &c : byte)
            c = char(caso.bounded(256));
    } else if (caso == u"giornale accorciato") {
        giornale.chop(giornale.size() - giornale.lastIndexOf('\n', giornale.size() - 2) - 1);
        giornale.chop(giornale.size() - giornale.lastIndexOf('\n', giornale.size() - 2) - 1);
    } else if (caso == u"riga cambiata a mano") {
        // A line of card 1 in the middle, now of card 2 with the same length.
        const qsizetype riga = giornale.indexOf(";1;COD1;Prodotto 1;", giornale.size() / 2);
        giornale.replace(riga, 19, ";2;COD2;Prodotto 2;");
    }
    Scrivi(indice, byte);
    Scrivi(PercorsoGiornale(), giornale);
    if (caso == u"coda persa") {
        // Lines added by a copy that knows nothing of the index, then its
        // last entries lost as by a crash while it was written.
        QVERIFY(registra(60, 70));
        LeggiStoriaScheda(1);
        byte = Leggi(indice);
        byte.chop(24);
        Scrivi(indice, byte);
    }
    const StoriaScheda attesa = StoriaSenzaIndice(1);
    Scrivi(indice, byte);
    const StoriaScheda storia = LeggiStoriaScheda(1);
    QCOMPARE(storia.movimenti, attesa.movimenti);
    QCOMPARE(storia.danneggiate, attesa.danneggiate);
    QCOMPARE(Leggi(indice), IndiceNuovo());
}

void TestMovimenti::indiceDiUnFoglioDiCalcolo() {
    // Saved again by a spreadsheet: commas, CRLF, every text in quotes.
    CartellaDiProva cartella;
    QByteArray testo = "\"Data e ora\",\"Posizione\",\"Codice\",\"Nome\",\"Categoria\",\"Tipo\","
                       "\"Quantit\xC3\xA0\",\"Giacenza prima\",\"Giacenza dopo\",\"Costo "
                       "unitario\",\"Postazione\",\"Nota\",\"Dati\"\r\n";
    for (int i = 0; i < 40; ++i)
        testo += "2026-03-01T09:" + QByteArray::number(10 + i) + ":00+01:00," +
                 QByteArray::number(7 + i % 3) + ",\"COD7\",\"Vite, M6\",\"Ferramenta\",\"" +
                 (i % 5 == 4 ? "Spostamento" : "Carico") + "\",1,0,1,\"2,50\",\"cassa\",\"" +
                 (i % 7 == 0 ? "\"\"Ordine\"\";" : "DDT") + "\"," +
                 (i % 5 == 4 ? QByteArray::number(i).toBase64() : QByteArray()) + "\r\n";
    Scrivi(PercorsoGiornale(), testo);
    for (int volta = 0; volta < 2; ++volta) {
        for (qint64 posizione : {7, 8, 9}) {
            const StoriaScheda storia = LeggiStoriaScheda(posizione);
            const StoriaScheda attesa = StoriaSenzaIndice(posizione);
            QVERIFY(!storia.movimenti.isEmpty());
            QCOMPARE(storia.movimenti, attesa.movimenti);
            QCOMPARE(storia.danneggiate, 0);
        }
        // Appended with commas, as the journal goes on.
        QVERIFY(RegistraMovimenti({MovimentoDiProva(7, TipoMovimento::Carico, 1, 6)}));
    }
    QVERIFY(!LeggiStoriaScheda(7).movimenti.isEmpty());
    QCOMPARE(Leggi(PercorsoIndice()), IndiceNuovo());
}

namespace {

// A journal of `quante` lines of every kind for cards 1 to 8 over a few days,
// with removals, restores, undoings, orders and damaged lines; with
// `troppoLunghe`, lines too long to be the program's; with `noteLunghe`,
// large notes now and then.
void ScriviGiornaleCasuale(int quante, bool troppoLunghe, bool noteLunghe) {
    ImpostaSincronizzazioneArchivio([](int) { return 0; });
    QRandomGenerator caso(20260301);
    QList<Movimento> scritti;
    QDateTime quando(QDate(2026, 2, 27), QTime(8, 0), QTimeZone(3600));
    QList<qint64> giacenze(9, 0);
    auto accoda = [](const QByteArray &riga) {
        QFile file(PercorsoGiornale());
        QVERIFY(file.open(QIODevice::Append));
        file.write(riga);
    };
    for (int i = 0; i < quante; ++i) {
        quando = quando.addSecs(60 * (1 + caso.bounded(400)));
        const qint64 posizione = 1 + caso.bounded(8);
        Movimento m = MovimentoDiProva(posizione, TipoMovimento::Carico, 0, giacenze[posizione]);
        m.quando = quando;
        if (posizione == 3) m.codice = u"COD,3"_s;
        if (posizione == 5) m.nome = u"=somma"_s;
        m.categoria = posizione % 2 ? u"Ferramenta"_s : u"Colori; vernici"_s;
        m.costo = QString::number(1 + posizione) + u",25"_s;
        // Large notes now and then: the journal grows past the size read in two halves.
        if (caso.bounded(2) == 0 && noteLunghe) m.nota = QString(32000 + caso.bounded(100), u'n');
        const int genere = caso.bounded(100);
        if (genere < 35) {
            m.tipo = TipoMovimento::Carico;
            m.quantita = 1 + caso.bounded(9);
        } else if (genere < 60) {
            m.tipo = TipoMovimento::Scarico;
            m.quantita = -1 - caso.bounded(5);
        } else if (genere < 66) {
            m.tipo = TipoMovimento::NuovaScheda;
            m.quantita = 1 + caso.bounded(9);
        } else if (genere < 72) {
            m.tipo = TipoMovimento::Ordine;
            m.quantita = 1 + caso.bounded(9);
        } else if (genere < 77) {
            // A removal: the card goes to the journal, the last one moves in.
            const qint64 ultima = 1 + (posizione + 3) % 8;
            m.tipo = TipoMovimento::Eliminazione;
            m.dati = "scheda-" + QByteArray::number(i) + "-" + QByteArray::number(posizione);
            Movimento sposta = MovimentoDiProva(posizione, TipoMovimento::Spostamento, 0, 0);
            sposta.quando = quando;
            sposta.dati = QByteArray::number(ultima);
            QVERIFY(RegistraMovimenti({m, sposta}));
            scritti << m;
            continue;
        } else if (genere < 81) {
            // A removed card brought back.
            const auto eliminata =
                std::find_if(scritti.crbegin(), scritti.crend(), [](const Movimento &e) {
                    return e.tipo == TipoMovimento::Eliminazione;
                });
            // A card comes back once at most.
            if (eliminata == scritti.crend() ||
                std::any_of(scritti.cbegin(), scritti.cend(), [&](const Movimento &e) {
                    return e.tipo == TipoMovimento::Ripristino && e.dati == eliminata->dati;
                }))
                continue;
            m.tipo = TipoMovimento::Ripristino;
            m.dati = eliminata->dati;
        } else if (genere < 90) {
            // An undoing of the card's latest stock movement.
            const auto ultimo =
                std::find_if(scritti.crbegin(), scritti.crend(), [&](const Movimento &e) {
                    return e.posizione == posizione && MovimentoDiGiacenza(e.tipo);
                });
            if (ultimo == scritti.crend()) continue;
            m.tipo = TipoMovimento::Rettifica;
            m.quantita = -ultimo->quantita;
            m.nota = u"Annullato il movimento del "_s +
                     ultimo->quando.toString(u"dd/MM/yyyy HH:mm"_s) + u" ("_s +
                     NomeTipo(ultimo->tipo) + u')';
        } else if (genere < 94) {
            accoda(genere % 2 ? "2026-03-01T09:00:00+01:00;x;rotta\n" : "\n");
            continue;
        } else if (genere < 95) {
            if (troppoLunghe) accoda(QByteArray(RIGA_GIORNALE_MASSIMA + 10, 'L') + '\n');
            continue;
        } else {
            m.tipo = TipoMovimento::Rettifica;
            m.quantita = 1 + caso.bounded(3);
        }
        m.dopo = m.prima + m.quantita;
        if (m.tipo != TipoMovimento::Ordine) giacenze[posizione] = m.dopo;
        QVERIFY(RegistraMovimenti({m}));
        scritti << m;
    }
    ImpostaSincronizzazioneArchivio({});
}

} // namespace

void TestMovimenti::indiceEPeriodoComeLaLetturaIntera() {
    CartellaDiProva cartella;
    ScriviGiornaleCasuale(400, true, true);
    if (QTest::currentTestFailed()) return;
    QVERIFY(QFileInfo(PercorsoGiornale()).size() > 4 << 20);
    for (qint64 posizione = 1; posizione <= 8; ++posizione) {
        const StoriaScheda storia = LeggiStoriaScheda(posizione);
        const StoriaScheda attesa = StoriaSenzaIndice(posizione);
        QCOMPARE(storia.movimenti, attesa.movimenti);
        QCOMPARE(storia.danneggiate, attesa.danneggiate);
        QVERIFY(storia.danneggiate > 0);
    }
    const std::pair<QDate, QDate> periodi[] = {{QDate(2000, 1, 1), QDate(2100, 1, 1)},
                                               {QDate(2026, 3, 2), QDate(2026, 3, 5)}};
    for (const auto &[dal, al] : periodi) {
        const RiepilogoPeriodo r = RiepilogaPeriodo(dal, al);
        const RiepilogoPeriodo atteso = PeriodoLetturaIntera(dal, al);
        QVERIFY(!r.righe.empty());
        QCOMPARE(r.righe, atteso.righe);
        QCOMPARE(r.lettura.righe, atteso.lettura.righe);
        QCOMPARE(r.lettura.danneggiate, atteso.lettura.danneggiate);
        QCOMPARE(r.perScheda, atteso.perScheda);
        QCOMPARE(r.perCategoria, atteso.perCategoria);
        QCOMPARE(r.perMese, atteso.perMese);
        QVERIFY(r.totale == atteso.totale);
    }
}

// The server's storage with a stop of the server in the middle of reading the
// journal: when a card's history is read inside an undo's transaction, or
// after the first line of a period.
class ServerCheSiFerma : public DepositoServer {
  public:
    ServerCheSiFerma(Connessione &c, std::function<void()> ferma)
        : DepositoServer(c), m_ferma(std::move(ferma)) {}
    bool righeSchede(const QList<qint64> &posizioni, const VisitaRigaGrezza &visita) override {
        fermaOra();
        return DepositoServer::righeSchede(posizioni, visita);
    }
    bool righePeriodo(const QDateTime &da, const QDateTime &a,
                      const VisitaRigaGrezza &visita) override {
        return DepositoServer::righePeriodo(da, a, [&](QByteArrayView r, char s, qint64 n) {
            fermaOra();
            return visita(r, s, n);
        });
    }

  private:
    void fermaOra() {
        if (const auto ferma = std::exchange(m_ferma, {})) ferma();
    }
    std::function<void()> m_ferma;
};

// The journal's windows and the removed cards on both storages: the program
// folder's files and a throwaway PostgreSQL cluster of the test's own.
class TestMovimentiDeposito : public QObject {
    Q_OBJECT

    std::unique_ptr<ServerDiProva> m_server;
    std::unique_ptr<Connessione> m_connessione;

    void collega() {
        m_connessione = std::make_unique<Connessione>(m_server->parametri());
        QVERIFY2(m_connessione->aperta(), qPrintable(m_connessione->messaggio()));
    }

    // The storage of the row put in use, empty.
    Deposito *inUso(const QString &tipo) {
        if (tipo == u"file"_s) {
            ImpostaDepositoCorrente(nullptr, QString());
            return &DepositoCorrente();
        }
        if (!m_server->svuota(*m_connessione) || !CreaSchema(*m_connessione)) return nullptr;
        ImpostaDepositoCorrente(std::make_unique<DepositoServer>(*m_connessione),
                                u"archivio sul server di prova"_s);
        return &DepositoCorrente();
    }

    static void entrambi() {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("file") << u"file"_s;
        QTest::newRow("server") << u"server"_s;
    }

    static QStringList Colonna(QTableWidget *griglia, int colonna) {
        QStringList celle;
        for (int r = 0; r < griglia->rowCount(); ++r)
            celle << (griglia->item(r, colonna) ? griglia->item(r, colonna)->text() : QString());
        return celle;
    }

    static QList<std::pair<TipoMovimento, qint64>> Tipi(const QList<Movimento> &movimenti) {
        QList<std::pair<TipoMovimento, qint64>> tipi;
        for (const Movimento &m : movimenti)
            tipi << std::pair{m.tipo, m.quantita};
        return tipi;
    }

  private slots:
    void initTestCase() {
        m_server = std::make_unique<ServerDiProva>();
        QVERIFY2(m_server->avviato(), qPrintable(m_server->errore()));
        collega();
    }

    // A case that stopped the server and failed leaves none of it to the next.
    void init() {
        if (!m_server->avviato()) QVERIFY(m_server->avvia());
        if (!m_connessione->aperta()) collega();
    }

    void cleanup() { ImpostaDepositoCorrente(nullptr, QString()); }

    void cleanupTestCase() {
        ImpostaDepositoCorrente(nullptr, QString());
        m_connessione.reset();
        m_server.reset();
    }

    // Saves with a stock delta, a removal with a move, an undoing and a
    // restore: the same histories, totals, lines and windows on both.
    void storiaPeriodoEliminate_data() { entrambi(); }
    void storiaPeriodoEliminate() {
        QFETCH(QString, tipo);
        CartellaDiProva cartella;
        Deposito *d = inUso(tipo);
        QVERIFY(d);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(d->accoda(SchedaNumero(n)), n);
        TScheda s;
        const std::tuple<qint64, qint64, TipoMovimento> salvataggi[] = {
            {1, 5, TipoMovimento::Carico},
            {1, -2, TipoMovimento::Scarico},
            {2, 3, TipoMovimento::Carico},
            {4, 7, TipoMovimento::Carico}};
        for (const auto &[posizione, delta, genere] : salvataggi) {
            QVERIFY(d->leggi(posizione, s));
            QCOMPARE(d->scrivi(posizione, s, delta, genere, u"banco"_s).esito,
                     Deposito::Salvataggio::Fatto);
        }
        // The removal routine the card window calls: the last card moves in.
        TScheda tolta;
        QVERIFY(d->leggi(2, tolta));
        TScheda cambiata = tolta;
        cambiata.impostaTesto(Campo::Nome, u"Altro"_s);
        QCOMPARE(EliminaScheda(*d, 2, cambiata).esito, EsitoEliminazione::NonPiuLaStessa);
        QCOMPARE(d->conta(), 4);
        const EsitoEliminazione eliminazione = EliminaScheda(*d, 2, tolta);
        QCOMPARE(eliminazione.esito, EsitoEliminazione::Fatta);
        QCOMPARE(eliminazione.spostataDa, 4);
        QCOMPARE(eliminazione.spostata.testo(Campo::Codice), SchedaNumero(4).testo(Campo::Codice));
        QCOMPARE(d->conta(), 3);
        QVERIFY(d->leggi(2, s));
        QCOMPARE(d->scrivi(2, s, -1, TipoMovimento::Scarico, u"banco"_s).esito,
                 Deposito::Salvataggio::Fatto);

        // The history window takes back card 1's latest movement.
        DialoghiFinti dialoghi;
        {
            TfrmMovimentiScheda storia(nullptr, 1, *d);
            QCOMPARE(Colonna(storia.grdMovimenti, 1), (QStringList{u"Scarico"_s, u"Carico"_s}));
            dialoghi.rispondi(Piattaforma::Risposta::Si);
            QTest::mouseClick(storia.btnAnnullaUltimo, Qt::LeftButton);
            QCOMPARE(dialoghi.mostrati().size(), 1); // the question alone
            QCOMPARE(dialoghi.mostrati().last().genere, DialoghiFinti::Genere::Domanda);
            QVERIFY(storia.giacenzaCambiata());
            QCOMPARE(storia.giacenza(), 6);
            QCOMPARE(Colonna(storia.grdMovimenti, 1),
                     (QStringList{u"Carico"_s, u"Scarico"_s, u"Carico"_s}));
            QCOMPARE(Colonna(storia.grdMovimenti, 2), (QStringList{u"+2"_s, u"-2"_s, u"+5"_s}));
            QCOMPARE(Colonna(storia.grdMovimenti, 3), (QStringList{u"6"_s, u"4"_s, u"6"_s}));
            QVERIFY(
                Colonna(storia.grdMovimenti, 4)[0].startsWith(u"Annullato il movimento del "_s));
            QVERIFY(storia.lblScheda->text().endsWith(u"Giacenza: 6"_s));
            QVERIFY(storia.lblAvviso->isHidden());
        }
        QVERIFY(d->leggi(1, s));
        QCOMPARE(s.testo(Campo::Giacenza), u"6"_s);

        // The removed cards window brings card 2 back at the end.
        {
            TfrmSchedeEliminate elenco(nullptr, *d);
            QCOMPARE(elenco.grdEliminate->rowCount(), 1);
            QCOMPARE(elenco.grdEliminate->item(0, 1)->text(), u"2"_s);
            QCOMPARE(elenco.grdEliminate->item(0, 2)->text(), tolta.testo(Campo::Codice));
            QCOMPARE(elenco.grdEliminate->item(0, 4)->text(), u"5"_s);
            QTest::mouseClick(elenco.btnRipristina, Qt::LeftButton);
            QCOMPARE(dialoghi.mostrati().size(), 2);
            QCOMPARE(dialoghi.mostrati().last().testo,
                     u"La scheda è stata ripristinata in archivio alla posizione 4."_s);
            QCOMPARE(elenco.posizioneRipristinata(), 4);
            QCOMPARE(elenco.grdEliminate->rowCount(), 0);
            QVERIFY(!elenco.btnRipristina->isEnabled());
            QCOMPARE(elenco.lblAvviso->text(), u"Non ci sono schede eliminate da ripristinare."_s);
        }
        QVERIFY(d->leggi(4, s));
        QVERIFY(s.byte == tolta.byte);

        // Each card's history follows it through the move and the restore.
        QCOMPARE(Tipi(LeggiStoriaScheda(*d, 2).movimenti),
                 (QList<std::pair<TipoMovimento, qint64>>{{TipoMovimento::Carico, 7},
                                                          {TipoMovimento::Spostamento, 0},
                                                          {TipoMovimento::Scarico, -1}}));
        QCOMPARE(Tipi(LeggiStoriaScheda(*d, 4).movimenti),
                 (QList<std::pair<TipoMovimento, qint64>>{{TipoMovimento::Carico, 3},
                                                          {TipoMovimento::Eliminazione, -5},
                                                          {TipoMovimento::Ripristino, 5}}));

        // The period: an undoing and what it took back count in neither direction.
        const QDate oggi = QDate::currentDate();
        TfrmMovimentiPeriodo periodo(nullptr, *d);
        periodo.txtDal->setText(oggi.toString(u"dd/MM/yyyy"_s));
        periodo.txtAl->setText(oggi.toString(u"dd/MM/yyyy"_s));
        QTest::mouseClick(periodo.btnCalcola, Qt::LeftButton);
        const RiepilogoPeriodo &r = periodo.riepilogo();
        QCOMPARE(r.righe.size(), 9u);
        QCOMPARE(r.totale.entrate, 20);
        QCOMPARE(r.totale.uscite, 6);
        QCOMPARE(r.perScheda.size(), 3); // card 3 never moved
        QCOMPARE(
            r.perScheda
                .value({SchedaNumero(1).testo(Campo::Codice), SchedaNumero(1).testo(Campo::Nome)})
                .entrate,
            5);
        QCOMPARE(periodo.grdMovimenti->model()->rowCount(), 9);
        QCOMPARE(periodo.grdMovimenti->model()->index(4, 5).data().toString(), u"Eliminazione"_s);
        QCOMPARE(periodo.grdMovimenti->model()->index(8, 5).data().toString(), u"Ripristino"_s);
        QVERIFY(periodo.lblTotale->text().startsWith(u"9 movimenti. In entrata 20 pezzi"_s));
        QVERIFY(periodo.btnEsporta->isEnabled());
        QBuffer csv;
        QVERIFY(csv.open(QIODevice::WriteOnly));
        QVERIFY(ScriviCsvPeriodo(&csv, oggi, oggi, r, *d));
        // The header, 9 lines, 3 cards, 1 category and the total, each part with its titles.
        const QList<QByteArray> righeCsv = csv.data().split('\n');
        QCOMPARE(righeCsv.size() - 1, 1 + 9 + 3 + 3 + 3 + 1 + 2);
        QVERIFY(righeCsv[5].contains(";Eliminazione;-5;"));
        QVERIFY(righeCsv[9].contains(";Ripristino;5;"));
        // The print has every line of the period once, in journal order.
        const QStringList stampa = periodo.righeStampa();
        QCOMPARE(stampa.filter(u" Eliminazione "_s).size(), 1);
        QCOMPARE(stampa.filter(u" Ripristino "_s).size(), 1);
        QVERIFY(stampa.indexOf(stampa.filter(u" Eliminazione "_s).first()) <
                stampa.indexOf(stampa.filter(u" Ripristino "_s).first()));
    }

    // A journal of every kind of line moved to the server gives the same
    // histories, summaries and export as the folder it came from.
    void stessiRisultatiDopoTrasloco() {
        CartellaDiProva cartella;
        Scrivi(cartella.archivio(),
               ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3), SchedaNumero(4),
                           SchedaNumero(5), SchedaNumero(6), SchedaNumero(7), SchedaNumero(8)}));
        ScriviGiornaleCasuale(400, false, false);
        if (QTest::currentTestFailed()) return;
        QVERIFY(m_server->svuota(*m_connessione));
        const EsitoTrasloco trasloco = CopiaSuServer(cartella.percorso(), *m_connessione);
        QVERIFY2(trasloco.riuscito, qPrintable(trasloco.messaggio));
        DepositoFile file(cartella.percorso());
        DepositoServer server(*m_connessione);
        for (qint64 posizione = 1; posizione <= 9; ++posizione) {
            const StoriaScheda suFile = LeggiStoriaScheda(file, posizione);
            const StoriaScheda sulServer = LeggiStoriaScheda(server, posizione);
            QVERIFY(posizione == 9 || !suFile.movimenti.isEmpty());
            QCOMPARE(sulServer.movimenti, suFile.movimenti);
            QCOMPARE(sulServer.danneggiate, suFile.danneggiate);
            QVERIFY(sulServer.letto);
        }
        const std::pair<QDate, QDate> periodi[] = {{QDate(2000, 1, 1), QDate(2100, 1, 1)},
                                                   {QDate(2026, 3, 1), QDate(2026, 3, 1)},
                                                   {QDate(2026, 3, 2), QDate(2026, 3, 5)}};
        for (const auto &[dal, al] : periodi) {
            const RiepilogoPeriodo f = RiepilogaPeriodo(dal, al, file);
            const RiepilogoPeriodo sv = RiepilogaPeriodo(dal, al, server);
            QVERIFY(!f.righe.empty());
            QCOMPARE(sv.righe.size(), f.righe.size());
            // The numbers are the file's offsets and the server's rows: the
            // lines they give are the same.
            for (std::size_t i = 0; i < f.righe.size(); i += 7) {
                Movimento a, b;
                QVERIFY(file.rigaGiornale(f.righe[i], a));
                QVERIFY(server.rigaGiornale(sv.righe[i], b));
                QCOMPARE(b, a);
            }
            QCOMPARE(sv.lettura.righe, f.lettura.righe);
            QCOMPARE(sv.lettura.danneggiate, f.lettura.danneggiate);
            QCOMPARE(sv.perScheda, f.perScheda);
            QCOMPARE(sv.perCategoria, f.perCategoria);
            QCOMPARE(sv.perMese, f.perMese);
            QVERIFY(sv.totale == f.totale);
            QBuffer csvFile, csvServer;
            QVERIFY(csvFile.open(QIODevice::WriteOnly) && csvServer.open(QIODevice::WriteOnly));
            QVERIFY(ScriviCsvPeriodo(&csvFile, dal, al, f, file));
            QVERIFY(ScriviCsvPeriodo(&csvServer, dal, al, sv, server));
            QCOMPARE(csvServer.data(), csvFile.data());
        }
        QCOMPARE(SchedeEliminate(file.giornale()).size(), server.eliminate().size());

        // The lines as written, on both: the same supersets once the
        // program's rule is applied, and each line found again by its number.
        QList<Movimento> delleSchede[2], delPeriodo[2];
        for (int i = 0; i < 2; ++i) {
            Deposito *d = i == 0 ? static_cast<Deposito *>(&file) : &server;
            const auto decodifica = [&](QList<Movimento> &righe, const SceltaRiga &scelta) {
                return [&righe, scelta, d](QByteArrayView riga, char separatore, qint64 numero) {
                    Movimento m, diNuovo;
                    if (!scelta(riga, separatore) || !LeggiRigaGiornale(riga, separatore, m))
                        return true;
                    righe << m;
                    return d->rigaGiornale(numero, diNuovo) && diNuovo == m;
                };
            };
            QVERIFY(d->righeSchede({3, 5}, decodifica(delleSchede[i], [](QByteArrayView r, char s) {
                                       const qint64 p = PosizioneDiRiga(r, s);
                                       return p == 3 || p == 5 || RigaDiSpostamento(r, s);
                                   })));
            QVERIFY(d->righePeriodo(QDateTime(QDate(2026, 3, 2), QTime(0, 0)),
                                    QDateTime(QDate(2026, 3, 4), QTime(0, 0)),
                                    decodifica(delPeriodo[i], [](QByteArrayView r, char s) {
                                        const QByteArrayView data = DataDiRiga(r, s);
                                        return data.size() >= 10 &&
                                               data.first(10) >= "2026-03-02" &&
                                               data.first(10) <= "2026-03-03";
                                    })));
            QVERIFY(delleSchede[i].size() > 20);
            QVERIFY(delPeriodo[i].size() > 5);
        }
        QCOMPARE(delleSchede[1], delleSchede[0]);
        QCOMPARE(delPeriodo[1], delPeriodo[0]);
    }

    // A server that stops answering: one clear message in each window,
    // nothing changed, what was on screen still there.
    void serverFermo() {
        CartellaDiProva cartella;
        Deposito *d = inUso(u"server"_s);
        QVERIFY(d);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(d->accoda(SchedaNumero(n)), n);
        TScheda s;
        QVERIFY(d->leggi(1, s));
        QCOMPARE(d->scrivi(1, s, 4, TipoMovimento::Carico, QString()).esito,
                 Deposito::Salvataggio::Fatto);
        QVERIFY(d->leggi(3, s));
        QCOMPARE(EliminaScheda(*d, 3, s).esito, EsitoEliminazione::Fatta);

        DialoghiFinti dialoghi;
        TfrmMovimentiScheda storia(nullptr, 1, *d);
        TfrmSchedeEliminate elenco(nullptr, *d);
        QCOMPARE(storia.grdMovimenti->rowCount(), 1);
        QVERIFY(storia.windowTitle().endsWith(u"archivio sul server di prova"_s));
        QVERIFY(m_server->ferma(true));

        dialoghi.rispondi(Piattaforma::Risposta::Si);
        QTest::mouseClick(storia.btnAnnullaUltimo, Qt::LeftButton);
        QCOMPARE(dialoghi.mostrati().size(), 2); // the question, then what went wrong
        QCOMPARE(dialoghi.mostrati().last().genere, DialoghiFinti::Genere::Errore);
        QVERIFY(!dialoghi.mostrati().last().testo.isEmpty());
        QVERIFY(!storia.giacenzaCambiata());
        // The window says the server did not answer rather than showing nothing.
        QCOMPARE(storia.grdMovimenti->rowCount(), 0);
        QVERIFY(!storia.lblAvviso->isHidden());
        QVERIFY(!storia.btnAnnullaUltimo->isEnabled());

        QTest::mouseClick(elenco.btnRipristina, Qt::LeftButton);
        QCOMPARE(dialoghi.mostrati().size(), 3);
        QCOMPARE(dialoghi.mostrati().last().genere, DialoghiFinti::Genere::Errore);
        QCOMPARE(elenco.grdEliminate->rowCount(), 1);

        TfrmMovimentiPeriodo periodo(nullptr, *d);
        QTest::mouseClick(periodo.btnCalcola, Qt::LeftButton);
        QVERIFY(!periodo.lblAvviso->isHidden());
        QVERIFY(!periodo.lblAvviso->text().isEmpty());
        QVERIFY(!periodo.btnEsporta->isEnabled());
        QVERIFY(!periodo.btnStampa->isEnabled());
        TfrmSchedeEliminate senzaServer(nullptr, *d);
        QVERIFY(senzaServer.lblAvviso->text() !=
                u"Non ci sono schede eliminate da ripristinare."_s);
        QVERIFY(!senzaServer.btnRipristina->isEnabled());
        QVERIFY(d->leggi(2, s) == false);
        QCOMPARE(EliminaScheda(*d, 2, SchedaNumero(2)).esito, EsitoEliminazione::ErroreArchivio);
        QVERIFY(!d->messaggio().isEmpty());

        // Back again: nothing of the above was written.
        QVERIFY(m_server->avvia());
        QCOMPARE(d->conta(), 2);
        QVERIFY(d->leggi(1, s));
        QCOMPARE(s.testo(Campo::Giacenza), u"5"_s);
        QList<Movimento> righe;
        QVERIFY(d->movimentiScheda(1, righe));
        QCOMPARE(righe.size(), 1);
        QCOMPARE(d->eliminate().size(), 1);
    }

    // The server stops inside an undo, with the card's row locked, and in the
    // middle of a period's lines: an error, not a half-done undo or a
    // summary of half the lines.
    void serverFermoNelMezzo() {
        CartellaDiProva cartella;
        Deposito *d = inUso(u"server"_s);
        QVERIFY(d);
        QCOMPARE(d->accoda(SchedaNumero(1)), 1);
        TScheda s;
        QVERIFY(d->leggi(1, s));
        for (int volta = 0; volta < 3; ++volta)
            QCOMPARE(d->scrivi(1, s, 4, TipoMovimento::Carico, QString()).esito,
                     Deposito::Salvataggio::Fatto);

        ServerCheSiFerma annullo(*m_connessione, [&] { QVERIFY(m_server->ferma(true)); });
        const Annullamento esito = AnnullaUltimoMovimento(annullo, 1);
        QCOMPARE(esito.esito, Annullamento::ErroreArchivio);
        QVERIFY(!annullo.messaggio().isEmpty());
        QVERIFY(m_server->avvia());
        QVERIFY(d->leggi(1, s));
        QCOMPARE(s.testo(Campo::Giacenza), u"13"_s);
        QList<Movimento> righe;
        QVERIFY(d->movimentiScheda(1, righe));
        QCOMPARE(righe.size(), 3);

        ServerCheSiFerma periodo(*m_connessione, [&] { QVERIFY(m_server->ferma(true)); });
        const QDate oggi = QDate::currentDate();
        const RiepilogoPeriodo r = RiepilogaPeriodo(oggi, oggi, periodo);
        QVERIFY(!r.lettura.aperto);
        QVERIFY(r.righe.empty());
        QVERIFY(r.totale == Totali{});
        QVERIFY(!periodo.messaggio().isEmpty());
    }
};

int main(int argc, char *argv[]) {
    if (argc == 5 && qstrcmp(argv[1], "--pilota") == 0)
        return Pilota(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                      std::atoi(argv[4]));
    if (argc == 6 && qstrcmp(argv[1], "--salva") == 0)
        return Salva(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     std::atoll(argv[4]), std::atoi(argv[5]));
    if (argc == 4 && (qstrcmp(argv[1], "--elimina") == 0 || qstrcmp(argv[1], "--ripristina") == 0))
        return Elimina(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                       qstrcmp(argv[1], "--ripristina") == 0);
    if (argc == 5 && qstrcmp(argv[1], "--giacenza") == 0)
        return CambiaGiacenza(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]),
                              std::atoi(argv[4]));
    if (argc == 4 && qstrcmp(argv[1], "--pipe") == 0)
        return GiornaleNellaPipe(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]));
    QApplication applicazione(argc, argv);
    TestMovimenti test;
    QTEST_SET_MAIN_SOURCE_PATH
    const int esito = QTest::qExec(&test, argc, argv);
    TestMovimentiDeposito suDeposito;
    return esito | QTest::qExec(&suDeposito, argc, argv);
}

#include "tst_movements.moc"
