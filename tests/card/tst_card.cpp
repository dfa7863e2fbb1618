#include "DialoghiFinti.h"
#include "Fixture.h"
#include "ServerDiProva.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/FotoScheda.h"
#include "card/TfrmGiacenza.h"
#include "card/TfrmMagazzino.h"
#include "media/TfrmAllegaCartella.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"
#include "widgets/RiquadroFoto.h"
#include "widgets/TfrmCalendario.h"

#include <QAccessible>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using Genere = DialoghiFinti::Genere;
using Piattaforma::Risposta;
using namespace Qt::StringLiterals;

namespace {

const QString ARCHIVIO_VUOTO = QStringLiteral("L'archivio non contiene nessuna scheda.");
const QString INSERITA = QStringLiteral("La scheda corrente è stata inserita in archivio.");
const QString MODIFICATA =
    QStringLiteral("Le modifiche apportate alla scheda corrente sono state salvate in archivio.");
const QString SALVARE = QStringLiteral("Salvare le modifiche alla scheda?");

const char *const NOMI_CASELLE[17] = {"txtCodice",    "txtCosto",           "txtNome",
                                      "txtGiacenza",  "txtAvviso",          "txtUM",
                                      "txtTipologia", "txtCaratteristiche", "txtCollocazione",
                                      "txtDitta",     "txtAgente",          "txtRecapito",
                                      "txtDocumento", "txtPagamento",       "txtDataSca",
                                      "txtNote",      "txtPrezzo"};

} // namespace

class TestScheda : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CartellaDiProva> cartella;
    std::unique_ptr<DialoghiFinti> dialoghi;
    std::unique_ptr<TfrmMagazzino> finestra;

    QLineEdit *box(const char *nome) {
        return finestra->findChild<QLineEdit *>(QLatin1String(nome));
    }
    QLabel *posizione() { return finestra->findChild<QLabel *>(QStringLiteral("lblPosizione")); }
    QCheckBox *pagato() { return finestra->findChild<QCheckBox *>(QStringLiteral("chkPagato")); }
    RiquadroFoto *foto() { return finestra->findChild<RiquadroFoto *>(QStringLiteral("imgFoto")); }
    void clic(const char *nome) {
        auto *b = finestra->findChild<QAbstractButton *>(QLatin1String(nome));
        QVERIFY2(b, nome);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void scriviTre() {
        cartella->scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));
    }
    void compila(const QString &codice) {
        box("txtCodice")->setText(codice);
        box("txtNome")->setText(QStringLiteral("Vite a legno"));
        box("txtTipologia")->setText(QStringLiteral("Ferramenta"));
    }
    // A card with a different text in every field, paid, with attachments.
    static TScheda schedaPiena(int n) {
        TScheda s;
        for (int i = 0; i < 17; ++i)
            s.impostaTesto(Campo(i),
                           QLatin1String(NOMI_CASELLE[i]).mid(3) + u'-' + QString::number(n));
        s.impostaTesto(Campo::Costo, QStringLiteral("9,99"));
        s.impostaTesto(Campo::Prezzo, QString::number(n) + QStringLiteral("2,5"));
        s.impostaTesto(Campo::Giacenza, QString::number(n) + QStringLiteral("7"));
        s.impostaTesto(Campo::Avviso, QString::number(n));
        s.impostaTesto(Campo::DataSca, QStringLiteral("0%1/03/2024").arg(n));
        s.impostaTesto(Campo::Pagato, QStringLiteral("Sì"));
        for (int i = int(Campo::File01); i <= int(Campo::Desc03); ++i)
            s.impostaTesto(Campo(i), QStringLiteral("allegato %1-%2").arg(i).arg(n));
        return s;
    }
    // Everything the window shows of a card against the record it came from.
    void confrontaMostrata(const TScheda &atteso, bool pagatoAtteso, const QString &etichetta) {
        for (int i = 0; i < 17; ++i)
            QCOMPARE(box(NOMI_CASELLE[i])->text(), atteso.testo(Campo(i)));
        QCOMPARE(pagato()->isChecked(), pagatoAtteso);
        const char *nascoste[6] = {"lblFile01", "lblFile02", "lblFile03",
                                   "lblDesc01", "lblDesc02", "lblDesc03"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(finestra->findChild<QLabel *>(QLatin1String(nascoste[i]))->text(),
                     atteso.testo(Campo(int(Campo::File01) + i)));
        QCOMPARE(posizione()->text(), etichetta);
    }
    QStringList riquadriVisibili() {
        QStringList visibili;
        for (const char *nome : NOMI_CASELLE) {
            const QString eff = QStringLiteral("eff") + QLatin1String(nome).mid(3);
            if (finestra->findChild<QWidget *>(eff)->isVisible()) visibili << eff;
        }
        return visibili;
    }
    // A JPEG file that shows the default picture (within the losses of JPEG).
    bool fotoPredefinita(const QString &percorso) {
        QImageReader lettore(percorso);
        if (lettore.format() != "jpeg") return false;
        const QImage letta = lettore.read().convertToFormat(QImage::Format_RGB32);
        const QImage bianca = finestra->immagineBianca().convertToFormat(QImage::Format_RGB32);
        if (letta.size() != bianca.size()) return false;
        qint64 scarto = 0;
        for (int y = 0; y < letta.height(); ++y)
            for (int x = 0; x < letta.width(); ++x) {
                const QRgb a = letta.pixel(x, y), b = bianca.pixel(x, y);
                scarto += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b));
            }
        return scarto < qint64(letta.width()) * letta.height() * 3 * 6;
    }
    static QString nomeAccessibile(QWidget *w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    }
    static void attiva(QWidget *w) {
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    // The card's stock changed with "-" by the given quantity.
    void sottrai(const QString &quantita) {
        dialoghi->allaProssimaFinestra([quantita](QDialog *d) {
            auto *g = static_cast<TfrmGiacenza *>(d);
            g->txtAggiunta->setText(quantita);
            QTest::mouseClick(g->btnAggiorna, Qt::LeftButton);
        });
        clic("btnSottrai");
    }
    bool segnoModifiche() {
        return finestra->findChild<QLabel *>(QStringLiteral("lblModificata"))->isVisible();
    }
    TScheda record(int posizione) {
        const QByteArray tutto = cartella->leggiArchivio();
        TScheda s;
        std::memcpy(s.byte.data(), tutto.constData() + (posizione - 1) * TScheda::DIMENSIONE,
                    TScheda::DIMENSIONE);
        return s;
    }

    std::unique_ptr<ServerDiProva> server;

  private slots:
    void init();
    void cleanup();
    void cleanupTestCase() { server.reset(); }
    void sulServer();

    void controlliEtichetteETesti();
    void ordineDiTabulazioneEAccessibilita();
    void lineaDiStato();
    void navigazione_data();
    void navigazione();
    void archivioMancanteCreatoDallaNavigazione();
    void schedaMostrataComeArchiviata();
    void nuovoSvuotaTutto();
    void etichetteConValore();
    void primoSalvataggio();
    void salvataggioInPosto();
    void duplicaESalva();
    void duplicaSenzaPosizione();
    void campiObbligatori_data();
    void campiObbligatori();
    void archivioInaccessibile();
    void discoPienoAlAccodamento();
    void suDiscoPrimaDelMessaggio();
    void posizioneOltreLaFine();
    void cartellaSolaLettura();
    void numeriTroppoLunghi_data();
    void numeriTroppoLunghi();
    void caratteriNonArchiviabili_data();
    void caratteriNonArchiviabili();
    void fotoNonScrivibile();
    void stampaEAnteprima();

    void normalizzazioneImporti_data();
    void normalizzazioneImporti();
    void normalizzazioneQuantita();
    void tastiRespinti_data();
    void tastiRespinti();
    void entrataColMouseSelezionaTutto();
    void fileCheNonEUnArchivioDettoAllApertura();
    void importoIlleggibileDettoNellaLineaDiStato_data();
    void importoIlleggibileDettoNellaLineaDiStato();
    void catenaInvio_data();
    void catenaInvio();
    void unaSolaEvidenza();
    void focoSuAltreFinestre();
    void costoSalvatoComeDigitato();
    void dataScadenza();
    void giacenza_data();
    void giacenza();
    void giacenzaTroppoLunga();
    void giacenzaSvuotaOltreQuindici();
    void modificheNonSalvate_data();
    void modificheNonSalvate();
    void nessunaDomandaSenzaModifiche();
    void ctrlSSalva();
    void puntoDiventaVirgola_data();
    void puntoDiventaVirgola();
    void mezzoNegativoArrotondatoInSu();
    void giacenzaMostrataComeTotale();
    void quantitaSelezionataETastiDiModifica();
    void totaleNegativoChiedeConferma_data();
    void totaleNegativoChiedeConferma();
    void primoSalvataggioSincronizzaCartella();
    void testiDelleSchedeNonSonoMarcatura();
    void suggerimentiCategoriaEDitta();
    void pulsantiDaTastiera_data();
    void pulsantiDaTastiera();
    void codiceGiaUsato_data();
    void codiceGiaUsato();
};

void TestScheda::init() {
    cartella = std::make_unique<CartellaDiProva>();
    dialoghi = std::make_unique<DialoghiFinti>();
    finestra = std::make_unique<TfrmMagazzino>();
    finestra->show();
    QApplication::setActiveWindow(finestra.get());
    QVERIFY(QTest::qWaitForWindowActive(finestra.get()));
}

void TestScheda::cleanup() {
    finestra.reset();
    dialoghi.reset();
    cartella.reset();
}

void TestScheda::controlliEtichetteETesti() {
    QCOMPARE(finestra->windowTitle(), QStringLiteral(" Quadrelo - Magazzino Prodotti"));
    const struct {
        const char *nome;
        int massimo;
        const char *iniziale;
        Qt::Alignment allineamento;
    } attese[] = {{"txtCodice", 25, "", Qt::AlignLeft},
                  {"txtCosto", 12, "0,00", Qt::AlignRight},
                  {"txtNome", 50, "", Qt::AlignLeft},
                  {"txtGiacenza", 4, "0", Qt::AlignHCenter},
                  {"txtAvviso", 3, "0", Qt::AlignHCenter},
                  {"txtUM", 30, "", Qt::AlignLeft},
                  {"txtCaratteristiche", 250, "", Qt::AlignLeft},
                  {"txtRecapito", 30, "", Qt::AlignLeft},
                  {"txtDataSca", 10, "", Qt::AlignHCenter},
                  {"txtNote", 250, "", Qt::AlignLeft},
                  {"txtPrezzo", 12, "0,00", Qt::AlignRight}};
    for (const auto &a : attese) {
        auto *c = box(a.nome);
        QVERIFY2(c, a.nome);
        QCOMPARE(LunghezzaMassima(c), a.massimo);
        QCOMPARE(c->text(), QString::fromUtf8(a.iniziale));
        QCOMPARE(c->alignment() & Qt::AlignHorizontal_Mask, a.allineamento);
        QVERIFY(
            finestra->findChild<QWidget *>(QStringLiteral("eff") + QLatin1String(a.nome).mid(3)));
    }
    QVERIFY(box("txtDataSca")->isReadOnly());
    // The typing limit cuts what is typed, as a maximum length would.
    box("txtCodice")->setFocus();
    QTest::keyClicks(box("txtCodice"), QString(30, u'x'));
    QCOMPARE(box("txtCodice")->text().size(), 25);

    for (const char *nome :
         {"btnNuovo",     "btnDuplica",    "btnSalva",          "btnTrova",       "btnAllegati",
          "btnAnteprima", "btnStampa",     "btnScaduti",        "btnSottoscorta", "btnEsporta",
          "btnGuida",     "btnEsci",       "cmdPrimo",          "cmdIndietro",    "cmdAvanti",
          "cmdUltimo",    "btnCaricaFoto", "btnAcquisisciFoto", "btnSalvaFoto",   "btnCancFoto",
          "btnZoomFoto",  "delDataSca"}) {
        auto *b = finestra->findChild<QToolButton *>(QLatin1String(nome));
        QVERIFY2(b, nome);
        // Reached with Tab, never taken by a click.
        QCOMPARE(b->focusPolicy(), Qt::TabFocus);
    }
    for (const char *nome :
         {"lblFile01", "lblFile02", "lblFile03", "lblDesc01", "lblDesc02", "lblDesc03"})
        QVERIFY(!finestra->findChild<QLabel *>(QLatin1String(nome))->isVisible());
    QCOMPARE(finestra->findChild<QToolButton *>(QStringLiteral("btnScaduti"))->text(),
             QStringLiteral("Da saldare"));
    QCOMPARE(foto()->immagine().size(), QSize(366, 274));
    QCOMPARE(foto()->size(), QSize(366, 274));
}

void TestScheda::ordineDiTabulazioneEAccessibilita() {
    const QStringList atteso = {
        u"txtCodice"_qs,          u"txtCosto"_qs,        u"txtNome"_qs,
        u"txtGiacenza"_qs,        u"btnAggiungi"_qs,     u"btnSottrai"_qs,
        u"txtAvviso"_qs,          u"txtUM"_qs,           u"txtTipologia"_qs,
        u"txtCaratteristiche"_qs, u"txtCollocazione"_qs, u"txtDitta"_qs,
        u"txtAgente"_qs,          u"txtRecapito"_qs,     u"txtDocumento"_qs,
        u"txtPagamento"_qs,       u"chkPagato"_qs,       u"txtDataSca"_qs,
        u"delDataSca"_qs,         u"txtNote"_qs,         u"txtPrezzo"_qs,
        u"btnNuovo"_qs,           u"btnDuplica"_qs,      u"btnSalva"_qs,
        u"btnTrova"_qs,           u"btnAllegati"_qs,     u"btnAnteprima"_qs,
        u"btnStampa"_qs,          u"btnScaduti"_qs,      u"btnSottoscorta"_qs,
        u"btnEsporta"_qs,         u"btnGuida"_qs,        u"btnEsci"_qs,
        u"cmdPrimo"_qs,           u"cmdIndietro"_qs,     u"cmdAvanti"_qs,
        u"cmdUltimo"_qs,          u"btnCaricaFoto"_qs,   u"btnAcquisisciFoto"_qs,
        u"btnSalvaFoto"_qs,       u"btnZoomFoto"_qs,     u"btnCancFoto"_qs,
        u"btnMovimenti"_qs,       u"btnElimina"_qs,      u"btnSchedeEliminate"_qs,
        u"btnEtichette"_qs,       u"txtCodiceABarre"_qs, u"btnFattura"_qs,
        u"txtCodice"_qs};
    box("txtCodice")->setFocus();
    QStringList visti;
    for (int i = 0; i < atteso.size(); ++i) {
        visti << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visti, atteso);

    // Every control a user can reach has a name for assistive technology.
    for (auto *w : finestra->findChildren<QWidget *>()) {
        const bool comando = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w);
        if (comando && w->isVisible())
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QCOMPARE(box("txtCosto")->accessibleName(), QStringLiteral("Costo unitario"));
    QCOMPARE(finestra->findChild<QLabel *>(QStringLiteral("lblCosto"))->buddy(), box("txtCosto"));
    QCOMPARE(finestra->findChild<QToolButton *>(QStringLiteral("cmdPrimo"))->accessibleName(),
             QStringLiteral("Prima scheda"));
}

void TestScheda::lineaDiStato() {
    auto *stato = finestra->findChild<QLabel *>(QStringLiteral("panInfo"));
    QCOMPARE(stato->text(), QStringLiteral("Pronto per archiviare una nuova scheda..."));
    const struct {
        const char *nome;
        const char *testo;
    } casi[] = {{"btnSalva", "Salva la scheda corrente in archivio."},
                {"cmdUltimo", "Visualizza l'ultima scheda in archivio."},
                {"btnEsporta", "Esporta l'archivio in un foglio di Microsoft Excel."},
                {"btnAggiungi", "Aggiorna la giacenza aggiungendo una certa quantità."},
                {"chkPagato", "Contrassegna questa casella per indicare che il pagamento è "
                              "stato effettuato."},
                {"txtDataSca", "Fai clic su questo campo e premi un tasto qualsiasi per "
                               "importare una data dal calendario."},
                {"delDataSca", "Cancella la data."}};
    for (const auto &c : casi) {
        auto *w = finestra->findChild<QWidget *>(QLatin1String(c.nome));
        QEnterEvent entra(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(w, &entra);
        QCOMPARE(stato->text(), QString::fromUtf8(c.testo));
        QCOMPARE(w->accessibleDescription(), QString::fromUtf8(c.testo));
    }
    // The plain boxes and the labels leave the line alone; the photo box empties it.
    QMouseEvent muovi(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    for (const char *nome : {"txtNome", "txtCosto", "txtGiacenza", "lblNome", "lblPezzi"}) {
        auto *w = finestra->findChild<QWidget *>(QLatin1String(nome));
        QEnterEvent entra(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(w, &entra);
        QApplication::sendEvent(w, &muovi);
        QCOMPARE(stato->text(), QStringLiteral("Cancella la data."));
    }
    QApplication::sendEvent(foto(), &muovi);
    QCOMPARE(stato->text(), QString());
}

void TestScheda::navigazione_data() {
    QTest::addColumn<int>("schede");
    QTest::addColumn<QString>("partenza"); // empty: a new card
    QTest::addColumn<QString>("comando");
    QTest::addColumn<QString>("etichetta");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("messaggio");

    const QString nessuno;
    QTest::newRow("avanti sull'ultima")
        << 3 << u"3"_qs << u"cmdAvanti"_qs << u"3"_qs << u"COD3"_qs << nessuno;
    QTest::newRow("indietro dalla terza")
        << 3 << u"3"_qs << u"cmdIndietro"_qs << u"2"_qs << u"COD2"_qs << nessuno;
    QTest::newRow("primo") << 3 << u"2"_qs << u"cmdPrimo"_qs << u"1"_qs << u"COD1"_qs << nessuno;
    QTest::newRow("ultimo") << 3 << u"1"_qs << u"cmdUltimo"_qs << u"3"_qs << u"COD3"_qs << nessuno;
    QTest::newRow("indietro sulla prima")
        << 3 << u"1"_qs << u"cmdIndietro"_qs << u"1"_qs << u"COD1"_qs << nessuno;
    // The typed code is a change: leaving asks first (unanswered: not saved).
    QTest::newRow("avanti da nuova")
        << 3 << nessuno << u"cmdAvanti"_qs << u"1"_qs << u"COD1"_qs << SALVARE;
    QTest::newRow("indietro da nuova")
        << 3 << nessuno << u"cmdIndietro"_qs << u"1"_qs << u"COD1"_qs << SALVARE;
    QTest::newRow("avanti dalla prima")
        << 3 << u"1"_qs << u"cmdAvanti"_qs << u"2"_qs << u"COD2"_qs << nessuno;
    QTest::newRow("primo su archivio vuoto")
        << 0 << nessuno << u"cmdPrimo"_qs << nessuno << u"NUOVA"_qs << ARCHIVIO_VUOTO;
    QTest::newRow("ultimo su archivio vuoto")
        << 0 << nessuno << u"cmdUltimo"_qs << nessuno << u"NUOVA"_qs << ARCHIVIO_VUOTO;
    QTest::newRow("avanti su archivio vuoto")
        << 0 << nessuno << u"cmdAvanti"_qs << nessuno << u"NUOVA"_qs << ARCHIVIO_VUOTO;
    QTest::newRow("indietro su archivio vuoto")
        << 0 << nessuno << u"cmdIndietro"_qs << nessuno << u"NUOVA"_qs << ARCHIVIO_VUOTO;
}

void TestScheda::navigazione() {
    QFETCH(int, schede);
    QFETCH(QString, partenza);
    QFETCH(QString, comando);
    QFETCH(QString, etichetta);
    QFETCH(QString, codice);
    QFETCH(QString, messaggio);

    if (schede == 3)
        scriviTre();
    else
        cartella->scriviArchivio(QByteArray());
    if (!partenza.isEmpty()) {
        // Reach the starting card as a user would: first, then forward.
        clic("cmdPrimo");
        while (posizione()->text() != partenza)
            clic("cmdAvanti");
    } else {
        box("txtCodice")->setText(QStringLiteral("NUOVA"));
    }
    dialoghi->azzera();
    clic(comando.toLatin1().constData());
    QCOMPARE(posizione()->text(), etichetta);
    QCOMPARE(box("txtCodice")->text(), codice);
    QCOMPARE(dialoghi->ultimo(), messaggio);
    if (!messaggio.isEmpty())
        QCOMPARE(dialoghi->mostrati().last().genere,
                 messaggio == SALVARE ? Genere::DomandaConAnnulla : Genere::Informazione);
}

void TestScheda::archivioMancanteCreatoDallaNavigazione() {
    QVERIFY(!QFile::exists(cartella->archivio()));
    clic("cmdAvanti");
    QVERIFY(QFile::exists(cartella->archivio()));
    QCOMPARE(QFileInfo(cartella->archivio()).size(), 0);
    QCOMPARE(posizione()->text(), QString());
    QCOMPARE(dialoghi->ultimo(), ARCHIVIO_VUOTO);
}

void TestScheda::schedaMostrataComeArchiviata() {
    TScheda prima = schedaPiena(1);
    prima.impostaTesto(Campo::Costo, QStringLiteral("5")); // not normalised when shown
    TScheda seconda = schedaPiena(2);
    seconda.impostaTesto(Campo::Pagato, QString()); // neither "Sì" nor "No"
    seconda.impostaTesto(Campo::File02, QString());
    TScheda terza = schedaPiena(3);
    terza.impostaTesto(Campo::Pagato, QStringLiteral("No"));
    cartella->scriviArchivio(ArchivioDi({prima, seconda, terza}));
    QImage rossa(50, 40, QImage::Format_RGB32);
    rossa.fill(Qt::red);
    QVERIFY(SalvaFotoScheda(QStringLiteral("1"), rossa));

    clic("cmdPrimo");
    confrontaMostrata(prima, true, QStringLiteral("1"));
    QCOMPARE(foto()->immagine().size(), QSize(50, 40));

    clic("cmdAvanti");
    confrontaMostrata(seconda, true, QStringLiteral("2"));    // paid kept from the previous card
    QCOMPARE(foto()->immagine(), finestra->immagineBianca()); // no 2.jpg: no message either

    clic("cmdUltimo");
    confrontaMostrata(terza, false, QStringLiteral("3"));
    clic("cmdIndietro");
    confrontaMostrata(seconda, false, QStringLiteral("2"));
    QVERIFY(dialoghi->mostrati().isEmpty());
}

void TestScheda::nuovoSvuotaTutto() {
    cartella->scriviArchivio(ArchivioDi({schedaPiena(1)}));
    QImage rossa(50, 40, QImage::Format_RGB32);
    rossa.fill(Qt::red);
    QVERIFY(SalvaFotoScheda(QStringLiteral("1"), rossa));
    clic("cmdPrimo");
    box("txtNote")->setFocus();
    auto *stato = finestra->findChild<QLabel *>(QStringLiteral("panInfo"));
    const QString testoStato = stato->text();

    clic("btnNuovo");
    const TScheda vuota = SchedaDiProva({{Campo::Costo, QStringLiteral("0,00")},
                                         {Campo::Giacenza, QStringLiteral("0")},
                                         {Campo::Avviso, QStringLiteral("0")},
                                         {Campo::Prezzo, QStringLiteral("0,00")}});
    confrontaMostrata(vuota, false, QString());
    QCOMPARE(foto()->immagine(), finestra->immagineBianca());
    QCOMPARE(QApplication::focusWidget(), box("txtCodice"));
    QCOMPARE(riquadriVisibili(), QStringList{QStringLiteral("effCodice")});
    QCOMPARE(stato->text(), testoStato);
    QVERIFY(dialoghi->mostrati().isEmpty());
}

void TestScheda::etichetteConValore() {
    // What assistive technology reads follows the labels' texts.
    scriviTre();
    QCOMPARE(nomeAccessibile(posizione()), QStringLiteral("Posizione"));
    clic("cmdUltimo");
    QCOMPARE(nomeAccessibile(posizione()), QStringLiteral("Posizione: 3"));
    clic("cmdIndietro");
    QCOMPARE(nomeAccessibile(posizione()), QStringLiteral("Posizione: 2"));
    clic("btnNuovo");
    QCOMPARE(nomeAccessibile(posizione()), QStringLiteral("Posizione"));

    auto *stato = finestra->findChild<QLabel *>(QStringLiteral("panInfo"));
    QCOMPARE(nomeAccessibile(stato),
             QStringLiteral("Stato: Pronto per archiviare una nuova scheda..."));
    QEnterEvent entra(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(finestra->findChild<QWidget *>(QStringLiteral("btnSalva")), &entra);
    QCOMPARE(nomeAccessibile(stato),
             QStringLiteral("Stato: Salva la scheda corrente in archivio."));
}

void TestScheda::primoSalvataggio() {
    compila(QStringLiteral("  ABC-1  "));
    pagato()->setChecked(true);
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
    QCOMPARE(dialoghi->mostrati().first().genere, Genere::Informazione);
    QCOMPARE(posizione()->text(), QStringLiteral("1"));
    const QByteArray file = cartella->leggiArchivio();
    QCOMPARE(file.size(), 2502);
    QCOMPARE(file.left(6), QByteArray("\x05"
                                      "ABC-1"));
    QCOMPARE(file.mid(993, 3), QByteArray("\x02\x53\xEC", 3));
    QCOMPARE(record(1).testo(Campo::Costo), QStringLiteral("0,00"));
    // No photo of its own: its file holds the default picture.
    QVERIFY(fotoPredefinita(cartella->percorso(u"1.jpg"_s)));

    // Saved again, the same record is updated.
    dialoghi->azzera();
    box("txtNome")->setText(QStringLiteral("Vite a ferro"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MODIFICATA});
    QCOMPARE(cartella->leggiArchivio().size(), 2502);
    QCOMPARE(record(1).testo(Campo::Nome), QStringLiteral("Vite a ferro"));

    // A photo, then deleted: the file stays, with the default picture again.
    QImage blu(40, 30, QImage::Format_RGB32);
    blu.fill(Qt::blue);
    foto()->impostaImmagine(blu);
    clic("btnSalva");
    QVERIFY(!fotoPredefinita(cartella->percorso(u"1.jpg"_s)));
    QCOMPARE(QImage(cartella->percorso(u"1.jpg"_s)).size(), blu.size());
    clic("btnCancFoto");
    clic("btnSalva");
    QVERIFY(fotoPredefinita(cartella->percorso(u"1.jpg"_s)));
}

void TestScheda::salvataggioInPosto() {
    scriviTre();
    const QByteArray prima = cartella->leggiArchivio();
    clic("cmdUltimo");
    box("txtNote")->setText(QStringLiteral("Scaffale rifatto"));
    clic("btnSalva");
    QCOMPARE(dialoghi->ultimo(), MODIFICATA);
    const QByteArray dopo = cartella->leggiArchivio();
    QCOMPARE(dopo.size(), prima.size());
    QCOMPARE(dopo.left(5004), prima.left(5004));
    QVERIFY(dopo.mid(5004) != prima.mid(5004));
    QCOMPARE(record(3).testo(Campo::Note), QStringLiteral("Scaffale rifatto"));
    QCOMPARE(record(3).testo(Campo::Codice), QStringLiteral("COD3"));
}

void TestScheda::duplicaESalva() {
    TScheda originale = SchedaNumero(1);
    originale.impostaTesto(Campo::File01, QStringLiteral("manuale.pdf"));
    originale.impostaTesto(Campo::Desc01, QStringLiteral("Manuale d'uso"));
    cartella->scriviArchivio(ArchivioDi({originale}));
    QImage verde(30, 20, QImage::Format_RGB32);
    verde.fill(Qt::green);
    QVERIFY(SalvaFotoScheda(QStringLiteral("1"), verde));
    QFile fotoOriginale(cartella->percorso(QStringLiteral("1.jpg")));
    QVERIFY(fotoOriginale.open(QIODevice::ReadOnly));
    const QByteArray bytesFoto = fotoOriginale.readAll();
    fotoOriginale.close();

    clic("cmdPrimo");
    clic("btnDuplica");
    QCOMPARE(dialoghi->ultimo(),
             QStringLiteral("E' ora possibile apportare le proprie modifiche alla scheda "
                            "corrente.\n\r\n\rAl termine premere Salva per inserire la scheda in "
                            "archivio."));
    QCOMPARE(posizione()->text(), QString());
    QCOMPARE(QApplication::focusWidget(), box("txtCodice"));
    QCOMPARE(box("txtNome")->text(), QStringLiteral("Prodotto 1"));
    clic("btnSalva");
    QCOMPARE(dialoghi->ultimo(), INSERITA);
    QCOMPARE(posizione()->text(), QStringLiteral("2"));

    const TScheda copia = record(2);
    for (Campo c : {Campo::Codice, Campo::Costo, Campo::Nome, Campo::Giacenza, Campo::Tipologia,
                    Campo::Pagato})
        QCOMPARE(copia.testo(c), originale.testo(c));
    QCOMPARE(copia.testo(Campo::File01), QString());
    QCOMPARE(copia.testo(Campo::Desc01), QString());
    QVERIFY(fotoPredefinita(cartella->percorso(u"2.jpg"_s)));
    QCOMPARE(cartella->leggiArchivio().left(2502), ArchivioDi({originale}));
    QVERIFY(fotoOriginale.open(QIODevice::ReadOnly));
    QCOMPARE(fotoOriginale.readAll(), bytesFoto);
}

void TestScheda::duplicaSenzaPosizione() {
    compila(QStringLiteral("X"));
    clic("btnNuovo");
    box("txtNome")->setText(QStringLiteral("scritto"));
    clic("btnDuplica");
    QCOMPARE(dialoghi->ultimo(),
             QStringLiteral("Attenzione: la duplicazione di una scheda può avvenire soltanto "
                            "dopo che questa è stata inserita in archivio."));
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    QCOMPARE(box("txtNome")->text(), QStringLiteral("scritto"));
    QVERIFY(!QFile::exists(cartella->archivio()));
}

void TestScheda::campiObbligatori_data() {
    QTest::addColumn<QString>("vuoto");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("codice") << u"txtCodice"_qs
                            << u"Attenzione: per salvare la scheda è necessario indicare il "
                               "codice articolo."_qs;
    QTest::newRow("costo") << u"txtCosto"_qs
                           << u"Attenzione: per salvare la scheda è necessario indicare il costo "
                              "unitario."_qs;
    QTest::newRow("nome") << u"txtNome"_qs
                          << u"Attenzione: per salvare la scheda è necessario indicare il nome "
                             "del prodotto."_qs;
    QTest::newRow("categoria") << u"txtTipologia"_qs
                               << u"Attenzione: per salvare la scheda è necessario indicare la "
                                  "categoria merceologica."_qs;
}

void TestScheda::campiObbligatori() {
    QFETCH(QString, vuoto);
    QFETCH(QString, messaggio);
    compila(QStringLiteral("A1"));
    box("txtGiacenza")->clear();
    box("txtAvviso")->setText(QStringLiteral("  "));
    auto *casella = box(vuoto.toLatin1().constData());
    casella->setText(QStringLiteral("   ")); // blanks only count as empty
    box("txtPrezzo")->setFocus();
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{messaggio});
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    QCOMPARE(QApplication::focusWidget(), casella);
    QCOMPARE(box("txtGiacenza")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtAvviso")->text(), QStringLiteral("0"));
    QVERIFY(!QFile::exists(cartella->archivio()));
}

void TestScheda::archivioInaccessibile() {
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("Magazzino.pro")));
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Errore);
    QCOMPARE(posizione()->text(), QString());
    QVERIFY(!QFile::exists(cartella->percorso(QStringLiteral(".jpg"))));
    for (const char *comando : {"cmdPrimo", "cmdIndietro", "cmdAvanti", "cmdUltimo"}) {
        dialoghi->azzera();
        clic(comando);
        QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
    }
    QCOMPARE(box("txtCodice")->text(), QStringLiteral("A1"));
}

void TestScheda::discoPienoAlAccodamento() {
    // The file may not grow: appending fails as on a full disk.
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    const QByteArray prima = cartella->leggiArchivio();
    {
        DiscoPieno disco(prima.size());
        compila(QStringLiteral("A1"));
        clic("btnSalva");
    }

    QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
    QCOMPARE(posizione()->text(), QString());
    QCOMPARE(cartella->leggiArchivio(), prima);
}

void TestScheda::suDiscoPrimaDelMessaggio() {
    // Each save is flushed to disk, with its record already in the file,
    // before the user is told that it was saved.
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    struct Sincronizzazione {
        qsizetype messaggi;
        QByteArray archivio;
    };
    QList<Sincronizzazione> viste;
    const auto vera = ImpostaSincronizzazioneArchivio([&](int fd) {
        viste << Sincronizzazione{dialoghi->mostrati().size(), cartella->leggiArchivio()};
        return ::fsync(fd);
    });
    const auto ripristina = qScopeGuard([&] { ImpostaSincronizzazioneArchivio(vera); });
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    box("txtNote")->setText(QStringLiteral("Scaffale rifatto"));
    clic("btnSalva");

    QCOMPARE(dialoghi->testi(), (QStringList{INSERITA, MODIFICATA}));
    QCOMPARE(viste.size(), 2);
    QCOMPARE(viste[0].messaggi, 0);
    QCOMPARE(viste[0].archivio.size(), 2 * TScheda::DIMENSIONE);
    TScheda inserita;
    std::memcpy(inserita.byte.data(), viste[0].archivio.constData() + TScheda::DIMENSIONE,
                TScheda::DIMENSIONE);
    QCOMPARE(inserita.testo(Campo::Codice), QStringLiteral("A1"));
    QCOMPARE(viste[1].messaggi, 1);
    QCOMPARE(viste[1].archivio, cartella->leggiArchivio());
    QCOMPARE(record(2).testo(Campo::Note), QStringLiteral("Scaffale rifatto"));
}

void TestScheda::posizioneOltreLaFine() {
    // The label names a card the archive does not have: nothing is written
    // past the end, and the archive message is shown.
    scriviTre();
    const QByteArray prima = cartella->leggiArchivio();
    clic("cmdUltimo");
    posizione()->setText(QStringLiteral("7"));
    dialoghi->azzera();
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MessaggioAccessoArchivio()});
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Errore);
    QCOMPARE(cartella->leggiArchivio(), prima);
}

void TestScheda::cartellaSolaLettura() {
    if (geteuid() == 0) QSKIP("an administrator writes in read-only folders");
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1)}));
    const QByteArray prima = cartella->leggiArchivio();
    QFile::setPermissions(cartella->archivio(), QFile::ReadOwner);
    QFile::setPermissions(cartella->percorso(), QFile::ReadOwner | QFile::ExeOwner);
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    clic("cmdPrimo");
    QFile::setPermissions(cartella->percorso(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(cartella->archivio(), QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(dialoghi->testi(),
             (QStringList{MessaggioAccessoArchivio(), MessaggioAccessoArchivio()}));
    QCOMPARE(cartella->leggiArchivio(), prima);
}

void TestScheda::numeriTroppoLunghi_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("messaggio"); // empty: saved
    QTest::addColumn<QString>("archiviato");
    QTest::newRow("giacenza 10000")
        << u"txtGiacenza"_qs << u"10000"_qs
        << u"Attenzione: il valore del campo \"Giacenza\" supera il limite di 4 caratteri e non "
           "può essere archiviato."_qs
        << QString();
    QTest::newRow("giacenza -1000")
        << u"txtGiacenza"_qs << u"-1000"_qs
        << u"Attenzione: il valore del campo \"Giacenza\" supera il limite di 4 caratteri e non "
           "può essere archiviato."_qs
        << QString();
    QTest::newRow("importo che perderebbe decimali")
        << u"txtCosto"_qs << u"12345678,1235"_qs
        << u"Attenzione: il valore del campo \"Costo unitario\" supera il limite di 12 caratteri "
           "e non può essere archiviato."_qs
        << QString();
    QTest::newRow("importo che perde solo zeri")
        << u"txtPrezzo"_qs << u"999999999999,00"_qs << QString() << u"999999999999"_qs;
    QTest::newRow("giacenza -999") << u"txtGiacenza"_qs << u"-999"_qs << QString() << u"-999"_qs;
}

void TestScheda::numeriTroppoLunghi() {
    QFETCH(QString, nome);
    QFETCH(QString, valore);
    QFETCH(QString, messaggio);
    QFETCH(QString, archiviato);
    compila(QStringLiteral("A1"));
    auto *casella = box(nome.toLatin1().constData());
    casella->setText(valore);
    QCOMPARE(casella->text(), valore); // shown whole
    clic("btnSalva");
    if (messaggio.isEmpty()) {
        QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
        const Campo campo = nome == u"txtPrezzo" ? Campo::Prezzo : Campo::Giacenza;
        QCOMPARE(record(1).testo(campo), archiviato);
    } else {
        QCOMPARE(dialoghi->testi(), QStringList{messaggio});
        QCOMPARE(QApplication::focusWidget(), casella);
        QVERIFY(!QFile::exists(cartella->archivio()));
    }
}

void TestScheda::caratteriNonArchiviabili_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("citato"); // as the message names it
    QTest::newRow("visibile") << u"Controllato ✓"_qs << u"\"✓\""_qs;
    QTest::newRow("fuori dal piano base") << u"Ok 😀"_qs << u"\"😀\""_qs;
    QTest::newRow("invisibile") << u"Con\u200Btrollato"_qs << u"\"\u200B\" (U+200B)"_qs;
    QTest::newRow("spazio largo") << u"Con\u2003trollato"_qs << u"\"\u2003\" (U+2003)"_qs;
    QTest::newRow("segno combinante") << u"Ce\u0301"_qs << u"\"\u0301\" (U+0301)"_qs;
}

void TestScheda::caratteriNonArchiviabili() {
    QFETCH(QString, testo);
    QFETCH(QString, citato);
    compila(QStringLiteral("A1"));
    box("txtNote")->setText(testo);
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(),
             QStringList{QStringLiteral("Attenzione: il campo \"Note\" contiene il carattere ") +
                         citato +
                         QStringLiteral(", che non può essere archiviato. Sostituirlo o "
                                        "eliminarlo prima di salvare la scheda.")});
    QCOMPARE(QApplication::focusWidget(), box("txtNote"));
    QVERIFY(!QFile::exists(cartella->archivio()));
    // Windows-1252 letters beyond Latin-1 are fine.
    dialoghi->azzera();
    box("txtNote")->setText(QStringLiteral("Prezzo in € – “speciale”"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
    QCOMPARE(record(1).testo(Campo::Note), QStringLiteral("Prezzo in € – “speciale”"));
}

void TestScheda::fotoNonScrivibile() {
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("1.jpg")));
    QImage blu(20, 20, QImage::Format_RGB32);
    blu.fill(Qt::blue);
    foto()->impostaImmagine(blu);
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi().size(), 2);
    QCOMPARE(dialoghi->testi().first(), INSERITA);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    QVERIFY(dialoghi->ultimo().contains(QStringLiteral("1.jpg")));
    QCOMPARE(cartella->leggiArchivio().size(), 2502);
    QCOMPARE(posizione()->text(), QStringLiteral("1"));
    QCOMPARE(foto()->immagine(), blu); // kept for the next save
}

void TestScheda::stampaEAnteprima() {
    QStringList titoli;
    for (int i = 0; i < 2; ++i)
        dialoghi->guardaProssimaFinestra([&](QDialog *d) {
            titoli << d->windowTitle();
            QCOMPARE(d->parentWidget(), finestra.get());
        });
    clic("btnAnteprima");
    clic("btnStampa");
    QCOMPARE(titoli, (QStringList{u" Anteprima di stampa"_qs, u" Stampa scheda"_qs}));
    QCOMPARE(dialoghi->stampeRichieste(), 0); // nothing printed without the user's choice
}

// Field entry

void TestScheda::normalizzazioneImporti_data() {
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("risultato");
    for (const auto &caso : TabellaImporti())
        if (!caso.digitato.contains(u' ')) // a blank cannot be typed into these boxes
            QTest::newRow(caso.nome) << caso.digitato << caso.risultato;
}

void TestScheda::normalizzazioneImporti() {
    QFETCH(QString, digitato);
    QFETCH(QString, risultato);
    for (const char *nome : {"txtCosto", "txtPrezzo"}) {
        auto *c = box(nome);
        c->setFocus();
        c->clear();
        QTest::keyClicks(c, digitato);
        QCOMPARE(c->text(), digitato);
        QTest::keyClick(c, Qt::Key_Tab);
        QCOMPARE(c->text(), risultato);
    }
}

void TestScheda::normalizzazioneQuantita() {
    auto *giacenza = box("txtGiacenza");
    const struct {
        const char *prima, *dopo;
    } casi[] = {{"", "0"}, {"0012", "12"}, {"7", "7"}, {"-3", "-3"}};
    for (const auto &c : casi) {
        giacenza->setFocus();
        giacenza->setText(QString::fromLatin1(c.prima));
        QTest::keyClick(giacenza, Qt::Key_Tab);
        QCOMPARE(giacenza->text(), QString::fromLatin1(c.dopo));
    }
    // Showing a card never normalises.
    TScheda s = SchedaNumero(1);
    s.impostaTesto(Campo::Avviso, QStringLiteral("007"));
    finestra->CaricaScheda(s, 1);
    QCOMPARE(box("txtAvviso")->text(), QStringLiteral("007"));
}

void TestScheda::tastiRespinti_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("accettati");
    QTest::addColumn<QString>("dopo"); // after Home, Delete, End, Left and Backspace
    QTest::newRow("costo") << u"txtCosto"_qs << u"12,5"_qs << u"25"_qs;
    QTest::newRow("giacenza") << u"txtGiacenza"_qs << u"125"_qs << u"5"_qs;
}

void TestScheda::tastiRespinti() {
    QFETCH(QString, nome);
    QFETCH(QString, accettati);
    QFETCH(QString, dopo);
    auto *c = box(nome.toLatin1().constData());
    c->setFocus();
    c->clear();
    QApplication::clipboard()->setText(QStringLiteral("99"));
    QTest::keyClicks(c, QStringLiteral("1a2 -,5"));
    QTest::keyClick(c, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(c, Qt::Key_F5);
    QCOMPARE(c->text(), accettati);
    // The keys that move and select work as in any box.
    QTest::keyClick(c, Qt::Key_Home);
    QTest::keyClick(c, Qt::Key_Delete);
    QTest::keyClick(c, Qt::Key_End);
    QTest::keyClick(c, Qt::Key_Left);
    QTest::keyClick(c, Qt::Key_Backspace);
    QCOMPARE(c->text(), dopo);
    QTest::keyClick(c, Qt::Key_End);
    QTest::keyClick(c, Qt::Key_Home, Qt::ShiftModifier);
    QCOMPARE(c->selectedText(), dopo);
    QTest::keyClick(c, Qt::Key_End);
    QTest::keyClick(c, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(c->selectedText(), dopo);
    QTest::keyClicks(c, u"7"_s);
    QCOMPARE(c->text(), u"7"_s);
}

void TestScheda::fileCheNonEUnArchivioDettoAllApertura() {
    // A CSV saved over the archive: the window says so as it opens and
    // leaves the file as it is, instead of showing an empty archive.
    const QByteArray csv = "Codice;Nome\r\nART-1;Vite\r\n";
    cartella->scriviArchivio(csv);
    finestra->hide();
    dialoghi->azzera();
    finestra->show();
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati()[0].genere, Genere::Errore);
    QVERIFY2(dialoghi->ultimo().contains(u"non è un archivio di Quadrelo"_s),
             qPrintable(dialoghi->ultimo()));
    compila(u"ART-2"_s);
    clic("btnSalva");
    QCOMPARE(cartella->leggiArchivio(), csv);
    QVERIFY2(dialoghi->ultimo().contains(u"non è un archivio di Quadrelo"_s),
             qPrintable(dialoghi->ultimo()));
}

void TestScheda::entrataColMouseSelezionaTutto() {
    // A click into a number box selects it, so typing replaces the amount
    // instead of landing where the click fell (12,50 and 13 gave 1312,50).
    for (const char *nome : {"txtCosto", "txtPrezzo", "txtGiacenza", "txtAvviso"}) {
        auto *c = box(nome);
        box("txtNome")->setFocus();
        c->setText(u"12,50"_s);
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(4, c->height() / 2));
        QCOMPARE(QApplication::focusWidget(), c);
        QCOMPARE(c->selectedText(), u"12,50"_s);
        QTest::keyClicks(c, u"13"_s, Qt::NoModifier, 60);
        QCOMPARE(c->text(), u"13"_s);
        // A second click, in the box already, places the caret as usual.
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(2, c->height() / 2));
        QCOMPARE(c->selectedText(), QString());
    }
}

void TestScheda::importoIlleggibileDettoNellaLineaDiStato_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("scritto");
    QTest::addColumn<QString>("stato"); // empty: the line is left as it was
    QTest::newRow("prezzo") << u"txtPrezzo"_s << u"4,900,00"_s
                            << u"Importo non leggibile: 4,900,00 sostituito con 0,00"_s;
    QTest::newRow("giacenza") << u"txtGiacenza"_s << u"1,2,3"_s
                              << u"Quantità non leggibile: 1,2,3 sostituita con 0"_s;
    QTest::newRow("leggibile") << u"txtPrezzo"_s << u"4,9"_s << QString();
    QTest::newRow("vuoto") << u"txtCosto"_s << QString() << QString();
}

void TestScheda::importoIlleggibileDettoNellaLineaDiStato() {
    QFETCH(QString, nome);
    QFETCH(QString, scritto);
    QFETCH(QString, stato);
    attiva(finestra.get());
    auto *c = box(nome.toLatin1().constData());
    auto *linea = finestra->findChild<QLabel *>(u"panInfo"_s);
    linea->clear();
    c->setFocus();
    c->setText(scritto);
    QTest::keyClick(c, Qt::Key_Tab);
    QCOMPARE(linea->text(), stato);
}

void TestScheda::catenaInvio_data() {
    QTest::addColumn<QString>("da");
    QTest::addColumn<QString>("a");
    const char *catena[] = {"txtCodice",       "txtCosto",     "txtNome",      "txtGiacenza",
                            "txtAvviso",       "txtUM",        "txtTipologia", "txtCaratteristiche",
                            "txtCollocazione", "txtDitta",     "txtAgente",    "txtRecapito",
                            "txtDocumento",    "txtPagamento", "txtDataSca"};
    for (std::size_t i = 0; i + 1 < std::size(catena); ++i)
        QTest::newRow(catena[i]) << QString::fromLatin1(catena[i])
                                 << QString::fromLatin1(catena[i + 1]);
    QTest::newRow("txtNote") << u"txtNote"_qs << u"txtPrezzo"_qs;
    QTest::newRow("txtPrezzo") << u"txtPrezzo"_qs << u"txtCodice"_qs;
}

void TestScheda::catenaInvio() {
    QFETCH(QString, da);
    QFETCH(QString, a);
    box(da.toLatin1().constData())->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget()->objectName(), a);
}

void TestScheda::unaSolaEvidenza() {
    box("txtCodice")->setFocus();
    for (int passo = 0; passo < 22; ++passo) {
        QStringList visibili;
        for (const char *nome : NOMI_CASELLE) {
            const QString eff = QStringLiteral("eff") + QLatin1String(nome).mid(3);
            if (finestra->findChild<QWidget *>(eff)->isVisible()) visibili << eff;
        }
        auto *attuale = QApplication::focusWidget();
        if (qobject_cast<QLineEdit *>(attuale))
            QCOMPARE(visibili, QStringList{QStringLiteral("eff") + attuale->objectName().mid(3)});
        else
            QVERIFY(visibili.isEmpty());
        QTest::keyClick(attuale, Qt::Key_Tab);
    }
}

void TestScheda::focoSuAltreFinestre() {
    QWidget altra;
    auto *casellaAltra = new QLineEdit(&altra);
    altra.show();
    auto *costo = box("txtCosto");

    // Another window takes the focus: the box is left, no frame stays behind.
    costo->setFocus();
    costo->clear();
    QTest::keyClicks(costo, QStringLiteral("5"));
    attiva(&altra);
    QCOMPARE(QApplication::focusWidget(), casellaAltra);
    QCOMPARE(costo->text(), QStringLiteral("5,00"));
    QCOMPARE(riquadriVisibili(), QStringList());
    // The program moves the focus while the window is inactive.
    box("txtNote")->setFocus();
    finestra->PulisciScheda();
    attiva(finestra.get());
    QCOMPARE(QApplication::focusWidget(), box("txtCodice"));
    QCOMPARE(riquadriVisibili(), QStringList{QStringLiteral("effCodice")});

    // A dialog of the program over the window: the box is not left while it
    // is open; the focus given to another box before the window is active
    // again leaves it then.
    costo->setFocus();
    costo->clear();
    QTest::keyClicks(costo, QStringLiteral("7"));
    QDialog avviso(finestra.get());
    avviso.setWindowModality(Qt::ApplicationModal);
    new QPushButton(QStringLiteral("OK"), &avviso);
    avviso.show();
    attiva(&avviso);
    QCOMPARE(costo->text(), QStringLiteral("7"));
    box("txtNome")->setFocus();
    avviso.hide();
    attiva(finestra.get());
    QCOMPARE(QApplication::focusWidget(), box("txtNome"));
    QCOMPARE(costo->text(), QStringLiteral("7,00"));
    QCOMPARE(riquadriVisibili(), QStringList{QStringLiteral("effNome")});
}

void TestScheda::costoSalvatoComeDigitato() {
    compila(QStringLiteral("A1"));
    auto *costo = box("txtCosto");
    costo->setFocus();
    costo->clear();
    QTest::keyClicks(costo, QStringLiteral("5"));
    clic("btnSalva"); // a picture button: the cost box keeps the focus
    QCOMPARE(QApplication::focusWidget(), costo);
    QCOMPARE(costo->text(), QStringLiteral("5"));
    QCOMPARE(record(1).testo(Campo::Costo), QStringLiteral("5"));
}

void TestScheda::dataScadenza() {
    auto *data = box("txtDataSca");
    data->setFocus();
    // The picker opens on the box's date.
    data->setText(QStringLiteral("01/01/2020"));
    QString tag;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *cal = d->findChild<QCalendarWidget *>(QStringLiteral("calAppuntamenti"));
        QCOMPARE(cal->selectedDate(), QDate(2020, 1, 1));
        QCOMPARE(d->windowTitle(), QStringLiteral(" Importazione data"));
        QVERIFY(!(d->windowFlags() & Qt::WindowCloseButtonHint));
        tag = d->findChild<QLabel *>(QStringLiteral("lblMemory"))->text();
        cal->setSelectedDate(QDate(2024, 3, 5));
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("btnImportaData")),
                          Qt::LeftButton);
    });
    QTest::keyClick(data, Qt::Key_A);
    QCOMPARE(tag, QStringLiteral("datasca"));
    QCOMPARE(data->text(), QStringLiteral("05/03/2024"));

    // Enter opens it too; Annulla, pressed with Enter, leaves the date.
    dialoghi->allaProssimaFinestra([](QDialog *d) {
        d->findChild<QCalendarWidget *>()->setSelectedDate(QDate(2030, 1, 1));
        auto *annulla = d->findChild<QPushButton *>(QStringLiteral("btnAnnulla"));
        annulla->setFocus();
        QTest::keyClick(annulla, Qt::Key_Return);
    });
    QTest::keyClick(data, Qt::Key_Return);
    QCOMPARE(dialoghi->finestreEseguite(), 2);
    QCOMPARE(data->text(), QStringLiteral("05/03/2024"));

    // Another tag: the button does nothing and the picker stays open.
    TfrmCalendario altro(finestra.get(), data);
    altro.lblMemory->setText(QStringLiteral("altro"));
    altro.show();
    QTest::mouseClick(altro.btnImportaData, Qt::LeftButton);
    QVERIFY(altro.isVisible());
    QCOMPARE(data->text(), QStringLiteral("05/03/2024"));

    QTest::keyClick(data, Qt::Key_Backspace);
    QCOMPARE(data->text(), QString());
    data->setText(QStringLiteral("05/03/2024"));
    QTest::keyClick(data, Qt::Key_Delete);
    QCOMPARE(data->text(), QString());
    data->setText(QStringLiteral("05/03/2024"));
    clic("delDataSca");
    QCOMPARE(data->text(), QString());
    // With no date in the box, the picker opens on today.
    dialoghi->allaProssimaFinestra([](QDialog *d) {
        QCOMPARE(d->findChild<QCalendarWidget *>()->selectedDate(), QDate::currentDate());
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("btnAnnulla")),
                          Qt::LeftButton);
    });
    QTest::keyClick(data, Qt::Key_X);
    QCOMPARE(dialoghi->finestreEseguite(), 3);
}

void TestScheda::giacenza_data() {
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<QString>("iniziale");
    QTest::addColumn<QString>("quantita");
    QTest::addColumn<QString>("azione"); // buttons clicked in the dialog, in order
    QTest::addColumn<QString>("totale");
    QTest::addColumn<QString>("risultato");
    QTest::newRow("12 + 5 applicato senza calcolare")
        << u"btnAggiungi"_qs << u"12"_qs << u"5"_qs << u"btnAggiorna"_qs << u"17"_qs << u"17"_qs;
    QTest::newRow("5 - 8") << u"btnSottrai"_qs << u"5"_qs << u"8"_qs << u"btnTotale btnAggiorna"_qs
                           << u"-3"_qs << u"-3"_qs;
    QTest::newRow("annulla") << u"btnAggiungi"_qs << u"12"_qs << u"5"_qs
                             << u"btnTotale btnChiudi"_qs << u"17"_qs << u"12"_qs;
    QTest::newRow("giacenza vuota diventa 0")
        << u"btnSottrai"_qs << QString() << u"4"_qs << u"btnChiudi"_qs << u"0"_qs << u"0"_qs;
}

void TestScheda::giacenza() {
    QFETCH(QString, pulsante);
    QFETCH(QString, iniziale);
    QFETCH(QString, quantita);
    QFETCH(QString, azione);
    QFETCH(QString, totale);
    QFETCH(QString, risultato);
    box("txtGiacenza")->setText(iniziale);
    QString visto;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *g = static_cast<TfrmGiacenza *>(d);
        QCOMPARE(d->windowTitle(), QStringLiteral(" Aggiornamento giacenza"));
        QCOMPARE(g->lblAggiunta->text(), pulsante == u"btnAggiungi"
                                             ? QStringLiteral("Quantità da aggiungere:")
                                             : QStringLiteral("Quantità da sottrarre:"));
        QCOMPARE(g->txtGiacenza->text(), iniziale.isEmpty() ? u"0"_qs : iniziale);
        QCOMPARE(g->txtAggiunta->text(), QStringLiteral("0"));
        g->txtAggiunta->setFocus();
        g->txtAggiunta->clear();
        QTest::keyClicks(g->txtAggiunta, quantita);
        for (const QString &b : azione.split(u' ')) {
            if (b == u"btnTotale") QTest::mouseClick(g->btnTotale, Qt::LeftButton);
            if (b == u"btnTotale" || b == u"btnChiudi") visto = g->txtTotale->text();
            QTest::mouseClick(d->findChild<QPushButton *>(b), Qt::LeftButton);
        }
        if (visto.isEmpty()) visto = g->txtTotale->text();
    });
    clic(pulsante.toLatin1().constData());
    QCOMPARE(box("txtGiacenza")->text(), risultato);
    if (azione != u"btnChiudi") QCOMPARE(visto, totale);
}

void TestScheda::giacenzaTroppoLunga() {
    // 9999 + 1 reaches the card whole; the save then refuses it.
    compila(QStringLiteral("A1"));
    box("txtGiacenza")->setText(QStringLiteral("9999"));
    dialoghi->allaProssimaFinestra([](QDialog *d) {
        auto *g = static_cast<TfrmGiacenza *>(d);
        g->txtAggiunta->setText(QStringLiteral("1"));
        QTest::mouseClick(g->btnAggiorna, Qt::LeftButton);
    });
    clic("btnAggiungi");
    QCOMPARE(box("txtGiacenza")->text(), QStringLiteral("10000"));
    clic("btnSalva");
    QVERIFY(dialoghi->ultimo().contains(QStringLiteral("\"Giacenza\"")));
    QVERIFY(!QFile::exists(cartella->archivio()));
}

void TestScheda::giacenzaSvuotaOltreQuindici() {
    QLineEdit giacenzaScheda(QStringLiteral("0"));
    TfrmGiacenza d(finestra.get(), &giacenzaScheda);
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    d.txtAggiunta->setFocus();
    d.txtAggiunta->clear();
    QTest::keyClicks(d.txtAggiunta, QString(16, u'1'));
    QCOMPARE(d.txtAggiunta->text().size(), 16);
    QTest::keyClicks(d.txtAggiunta, QStringLiteral("7"));
    QCOMPARE(d.txtAggiunta->text(), QStringLiteral("7"));
    QTest::keyClicks(d.txtAggiunta, QStringLiteral("a.-"));
    QCOMPARE(d.txtAggiunta->text(), QStringLiteral("7"));
    // Enter moves from the stock to the quantity, then to the button.
    d.txtGiacenza->setFocus();
    QTest::keyClick(d.txtGiacenza, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), d.txtAggiunta);
    QTest::keyClick(d.txtAggiunta, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), d.btnTotale);
    // Unreadable input puts 0 everywhere.
    d.txtGiacenza->setText(QStringLiteral("1,2,3"));
    QTest::mouseClick(d.btnTotale, Qt::LeftButton);
    QCOMPARE(d.txtGiacenza->text() + d.txtAggiunta->text() + d.txtTotale->text(),
             QStringLiteral("000"));

    // Enter presses the button that has the focus; from a box it presses none.
    d.txtGiacenza->setText(QStringLiteral("5"));
    d.txtAggiunta->setText(QStringLiteral("7"));
    d.btnTotale->setFocus();
    QTest::keyClick(d.btnTotale, Qt::Key_Return);
    QCOMPARE(d.txtTotale->text(), QStringLiteral("12"));
    d.txtTotale->setFocus();
    d.txtTotale->setText(QStringLiteral("99"));
    QTest::keyClick(d.txtTotale, Qt::Key_Return);
    QCOMPARE(d.txtTotale->text(), QStringLiteral("99"));
    QVERIFY(d.isVisible());
    QTest::keyClick(d.txtTotale, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.txtCausale);
    QTest::keyClick(d.txtCausale, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), d.btnAggiorna);
    QTest::keyClick(d.btnAggiorna, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!d.isVisible());
    QCOMPARE(giacenzaScheda.text(), QStringLiteral("12"));
}

void TestScheda::modificheNonSalvate_data() {
    QTest::addColumn<QString>("comando");
    QTest::addColumn<Risposta>("risposta");
    QTest::addColumn<QString>("etichetta"); // position shown afterwards
    QTest::addColumn<QString>("salvata");   // stock of record 2 in the file afterwards
    QTest::addColumn<bool>("aperta");       // the window is still open
    QTest::newRow("avanti, no") << u"cmdAvanti"_s << Risposta::No << u"3"_s << u"2"_s << true;
    QTest::newRow("avanti, sì") << u"cmdAvanti"_s << Risposta::Si << u"3"_s << u"0"_s << true;
    QTest::newRow("avanti, annulla")
        << u"cmdAvanti"_s << Risposta::Annulla << u"2"_s << u"2"_s << true;
    QTest::newRow("primo, annulla")
        << u"cmdPrimo"_s << Risposta::Annulla << u"2"_s << u"2"_s << true;
    QTest::newRow("nuovo, annulla")
        << u"btnNuovo"_s << Risposta::Annulla << u"2"_s << u"2"_s << true;
    QTest::newRow("nuovo, no") << u"btnNuovo"_s << Risposta::No << QString() << u"2"_s << true;
    QTest::newRow("duplica, sì") << u"btnDuplica"_s << Risposta::Si << QString() << u"0"_s << true;
    QTest::newRow("esci, annulla") << u"btnEsci"_s << Risposta::Annulla << u"2"_s << u"2"_s << true;
    QTest::newRow("esci, sì") << u"btnEsci"_s << Risposta::Si << u"2"_s << u"0"_s << false;
}

void TestScheda::modificheNonSalvate() {
    QFETCH(QString, comando);
    QFETCH(Risposta, risposta);
    QFETCH(QString, etichetta);
    QFETCH(QString, salvata);
    QFETCH(bool, aperta);
    scriviTre();
    clic("cmdPrimo");
    clic("cmdAvanti");
    QVERIFY(!segnoModifiche());
    sottrai(u"2"_s); // 2 -> 0
    QCOMPARE(box("txtGiacenza")->text(), u"0"_s);
    QVERIFY(segnoModifiche());

    dialoghi->azzera();
    dialoghi->rispondi(risposta);
    clic(comando.toLatin1().constData());
    QCOMPARE(dialoghi->mostrati().first().genere, Genere::DomandaConAnnulla);
    QCOMPARE(dialoghi->mostrati().first().testo, SALVARE);
    QCOMPARE(posizione()->text(), etichetta);
    QCOMPARE(record(2).testo(Campo::Giacenza), salvata);
    QCOMPARE(finestra->isVisible(), aperta);
    // Staying keeps the change and its mark; leaving or saving clears the mark.
    QCOMPARE(segnoModifiche(), risposta == Risposta::Annulla || comando == u"btnDuplica");
    if (risposta == Risposta::Annulla) QCOMPARE(box("txtGiacenza")->text(), u"0"_s);
}

void TestScheda::nessunaDomandaSenzaModifiche() {
    scriviTre();
    clic("cmdPrimo");
    // Leaving a box rewrites "1,50" as it stood, and setting the same text
    // again, are no change; a change undone by hand is none either.
    box("txtCosto")->setFocus();
    QTest::keyClick(box("txtCosto"), Qt::Key_Tab);
    box("txtNote")->setText(u"  "_s);
    box("txtNome")->setText(u"Prodotto X"_s);
    QVERIFY(segnoModifiche());
    box("txtNome")->setText(u"Prodotto 1"_s);
    QVERIFY(!segnoModifiche());
    dialoghi->azzera();
    clic("cmdAvanti");
    clic("btnNuovo");
    QCOMPARE(dialoghi->testi(), QStringList());
    // A photo put on the card is a change too.
    clic("cmdPrimo");
    QImage rosso(40, 30, QImage::Format_RGB32);
    rosso.fill(Qt::red);
    foto()->impostaImmagine(rosso);
    QVERIFY(segnoModifiche());
    clic("btnCancFoto");
    QVERIFY(!segnoModifiche());
}

void TestScheda::ctrlSSalva() {
    compila(u"A1"_s);
    auto *costo = box("txtCosto");
    costo->setFocus();
    costo->clear();
    QTest::keyClicks(costo, u"5"_s);
    QTest::keyClick(costo, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
    QCOMPARE(record(1).testo(Campo::Costo), u"5"_s);
    QVERIFY(!segnoModifiche());
}

void TestScheda::puntoDiventaVirgola_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<bool>("tastierino");
    QTest::addColumn<QString>("scritto");
    QTest::addColumn<QString>("lasciato");
    QTest::newRow("costo") << u"txtCosto"_s << false << u"12,5"_s << u"12,50"_s;
    QTest::newRow("prezzo, tastierino") << u"txtPrezzo"_s << true << u"12,5"_s << u"12,50"_s;
    QTest::newRow("giacenza: nessun punto") << u"txtGiacenza"_s << false << u"125"_s << u"125"_s;
}

void TestScheda::puntoDiventaVirgola() {
    QFETCH(QString, nome);
    QFETCH(bool, tastierino);
    QFETCH(QString, scritto);
    QFETCH(QString, lasciato);
    auto *c = box(nome.toLatin1().constData());
    c->setFocus();
    c->clear();
    const auto modificatori = tastierino ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClicks(c, u"12"_s, modificatori);
    QTest::keyClick(c, '.', modificatori);
    QTest::keyClicks(c, u"5"_s, modificatori);
    QCOMPARE(c->text(), scritto);
    QTest::keyClick(c, Qt::Key_Tab);
    QCOMPARE(c->text(), lasciato);
}

void TestScheda::mezzoNegativoArrotondatoInSu() {
    // A stock of -2,5 from an older card: halves go up, to -2.
    TScheda s = SchedaNumero(1);
    s.impostaTesto(Campo::Giacenza, u"-2,5"_s);
    cartella->scriviArchivio(ArchivioDi({s}));
    clic("cmdPrimo");
    box("txtGiacenza")->setFocus();
    QTest::keyClick(box("txtGiacenza"), Qt::Key_Tab);
    QCOMPARE(box("txtGiacenza")->text(), u"-2"_s);
}

void TestScheda::giacenzaMostrataComeTotale() {
    box("txtGiacenza")->setText(u" 37 "_s);
    QString totale;
    dialoghi->guardaProssimaFinestra(
        [&](QDialog *d) { totale = static_cast<TfrmGiacenza *>(d)->txtTotale->text(); });
    clic("btnAggiungi");
    QCOMPARE(totale, u"37"_s);
}

void TestScheda::quantitaSelezionataETastiDiModifica() {
    QLineEdit giacenzaScheda(u"6"_s);
    TfrmGiacenza d(finestra.get(), &giacenzaScheda);
    d.txtGiacenza->setText(u"6"_s);
    d.show();
    attiva(&d);
    // A click into the quantity, which holds 0, then 2: the 0 is replaced.
    QTest::mouseClick(d.txtAggiunta, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(QApplication::focusWidget(), d.txtAggiunta);
    QTest::keyClicks(d.txtAggiunta, u"2"_s);
    QCOMPARE(d.txtAggiunta->text(), u"2"_s);
    // Reached with Tab, the stock is selected as well.
    QTest::keyClick(d.txtAggiunta, Qt::Key_Backtab);
    QCOMPARE(d.txtGiacenza->selectedText(), u"6"_s);
    // Home, End and Ctrl+A do their usual work.
    QTest::keyClick(d.txtGiacenza, Qt::Key_End);
    QTest::keyClicks(d.txtGiacenza, u"1"_s);
    QTest::keyClick(d.txtGiacenza, Qt::Key_Home);
    QTest::keyClicks(d.txtGiacenza, u"3"_s);
    QCOMPARE(d.txtGiacenza->text(), u"361"_s);
    QTest::keyClick(d.txtGiacenza, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(d.txtGiacenza, u"9"_s);
    QCOMPARE(d.txtGiacenza->text(), u"9"_s);
}

void TestScheda::totaleNegativoChiedeConferma_data() {
    QTest::addColumn<Risposta>("risposta");
    QTest::addColumn<QString>("giacenza");
    QTest::newRow("sì") << Risposta::Si << u"-14"_s;
    QTest::newRow("no: si resta nella finestra") << Risposta::No << u"5"_s;
}

void TestScheda::totaleNegativoChiedeConferma() {
    QFETCH(Risposta, risposta);
    QFETCH(QString, giacenza);
    box("txtGiacenza")->setText(u"5"_s);
    bool aperta = false;
    dialoghi->guardaProssimaFinestra([&](QDialog *d) {
        auto *g = static_cast<TfrmGiacenza *>(d);
        g->txtAggiunta->setText(u"19"_s);
        dialoghi->rispondi(risposta);
        QTest::mouseClick(g->btnAggiorna, Qt::LeftButton);
        aperta = d->isVisible();
    });
    clic("btnSottrai");
    QCOMPARE(dialoghi->testi(), QStringList{u"La giacenza diventerà -14. Applicare?"_s});
    QCOMPARE(aperta, risposta == Risposta::No);
    QCOMPARE(box("txtGiacenza")->text(), giacenza);
}

void TestScheda::primoSalvataggioSincronizzaCartella() {
    // The new archive's name reaches the disk with its first record: its
    // folder is flushed as well as the file.
    struct stat cartellaProgramma {};
    QCOMPARE(::stat(QFile::encodeName(cartella->percorso()).constData(), &cartellaProgramma), 0);
    QStringList flush;
    const auto precedente = ImpostaSincronizzazioneArchivio([&](int fd) {
        struct stat info {};
        ::fstat(fd, &info);
        flush << (S_ISDIR(info.st_mode) && info.st_ino == cartellaProgramma.st_ino ? u"cartella"_s
                                                                                   : u"file"_s);
        return ::fsync(fd);
    });
    compila(u"A1"_s);
    clic("btnSalva");
    box("txtNome")->setText(u"Vite a ferro"_s);
    clic("btnSalva"); // the archive exists now: no folder to flush
    ImpostaSincronizzazioneArchivio(precedente);
    QCOMPARE(flush.first(), u"cartella"_s);
    QCOMPARE(flush.count(u"cartella"_s), 1);
    QVERIFY(flush.contains(u"file"_s));
    QCOMPARE(dialoghi->testi(), (QStringList{INSERITA, MODIFICATA}));
}

void TestScheda::testiDelleSchedeNonSonoMarcatura() {
    // With the real dialogs: a code that looks like markup shows as typed.
    TScheda s = SchedaNumero(1);
    s.impostaTesto(Campo::Codice, u"<s>K1</s>"_s);
    cartella->scriviArchivio(ArchivioDi({s}));
    dialoghi.reset();
    compila(u"<s>K1</s>"_s);
    QString mostrato;
    Qt::TextFormat formato = Qt::RichText;
    RispondiNoAlProssimoMessaggio(mostrato, formato);
    clic("btnSalva");
    dialoghi = std::make_unique<DialoghiFinti>();
    QCOMPARE(formato, Qt::PlainText);
    QVERIFY2(mostrato.startsWith(u"Attenzione: il codice articolo \"<s>K1</s>\" è già usato"_s),
             qPrintable(mostrato));
    QCOMPARE(cartella->leggiArchivio().size(), TScheda::DIMENSIONE); // No: not saved
}

void TestScheda::suggerimentiCategoriaEDitta() {
    TScheda a = SchedaNumero(1), b = SchedaNumero(2), c = SchedaNumero(3);
    a.impostaTesto(Campo::Ditta, u"Viteria Rossi"_s);
    b.impostaTesto(Campo::Ditta, u"Bulloneria Bianchi"_s);
    b.impostaTesto(Campo::Tipologia, u"Minuteria"_s);
    c.impostaTesto(Campo::Ditta, u"Viteria Rossi"_s);
    cartella->scriviArchivio(ArchivioDi({a, b, c}));
    finestra->hide();
    finestra->show(); // opened again from the launcher: one pass over the archive
    auto valori = [this](const char *nome) {
        QStringList elenco;
        auto *modello = box(nome)->completer()->model();
        for (int i = 0; i < modello->rowCount(); ++i)
            elenco << modello->index(i, 0).data().toString();
        return elenco;
    };
    QCOMPARE(valori("txtTipologia"), (QStringList{u"Ferramenta"_s, u"Minuteria"_s}));
    QCOMPARE(valori("txtDitta"), (QStringList{u"Bulloneria Bianchi"_s, u"Viteria Rossi"_s}));
    // As one types, part of a name is enough.
    auto *ditta = box("txtDitta");
    ditta->setFocus();
    QTest::keyClicks(ditta, u"rossi"_s);
    QCOMPARE(ditta->completer()->currentCompletion(), u"Viteria Rossi"_s);
    // A saved card's values are offered at once.
    compila(u"A9"_s);
    box("txtTipologia")->setText(u"Utensili"_s);
    ditta->setText(u"Attrezzi Verdi"_s);
    clic("btnSalva");
    QCOMPARE(valori("txtTipologia"), (QStringList{u"Ferramenta"_s, u"Minuteria"_s, u"Utensili"_s}));
    QCOMPARE(valori("txtDitta").first(), u"Attrezzi Verdi"_s);
}

void TestScheda::pulsantiDaTastiera_data() {
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QString>("etichetta"); // position afterwards
    QTest::addColumn<QString>("codice");
    QTest::newRow("ultima, Invio") << u"cmdUltimo"_s << int(Qt::Key_Return) << u"3"_s << u"COD3"_s;
    QTest::newRow("nuovo, spazio") << u"btnNuovo"_s << int(Qt::Key_Space) << QString() << QString();
    QTest::newRow("indietro, Invio del tastierino")
        << u"cmdIndietro"_s << int(Qt::Key_Enter) << u"1"_s << u"COD1"_s;
}

void TestScheda::pulsantiDaTastiera() {
    QFETCH(QString, pulsante);
    QFETCH(int, tasto);
    QFETCH(QString, etichetta);
    QFETCH(QString, codice);
    scriviTre();
    clic("cmdPrimo");
    clic("cmdAvanti");
    // Tab from the price reaches the column of picture buttons.
    box("txtPrezzo")->setFocus();
    QTest::keyClick(box("txtPrezzo"), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), u"btnNuovo"_s);
    auto *b = finestra->findChild<QToolButton *>(pulsante);
    b->setFocus(Qt::TabFocusReason);
    QTest::keyClick(b, Qt::Key(tasto),
                    tasto == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(posizione()->text(), etichetta);
    QCOMPARE(box("txtCodice")->text(), codice);
}

void TestScheda::codiceGiaUsato_data() {
    QTest::addColumn<QString>("codice");
    QTest::addColumn<bool>("duplica");
    QTest::addColumn<Risposta>("risposta");
    QTest::addColumn<QString>("domanda"); // empty: none
    QTest::addColumn<int>("schede");      // in the file afterwards
    const QString suCod2 = u"Attenzione: il codice articolo \"%1\" è già usato dalla scheda n. 2 "
                           "(\"Prodotto 2\").\n\nSalvare comunque questa scheda con lo stesso "
                           "codice?"_s;
    QTest::newRow("nuova, no") << u"COD2"_s << false << Risposta::No << suCod2.arg(u"COD2"_s) << 3;
    QTest::newRow("nuova, sì") << u"COD2"_s << false << Risposta::Si << suCod2.arg(u"COD2"_s) << 4;
    QTest::newRow("maiuscole diverse")
        << u"cod2"_s << false << Risposta::No << suCod2.arg(u"cod2"_s) << 3;
    QTest::newRow("duplicata, no")
        << u"COD2"_s << true << Risposta::No << suCod2.arg(u"COD2"_s) << 3;
    QTest::newRow("codice libero") << u"COD9"_s << false << Risposta::No << QString() << 4;
}

void TestScheda::codiceGiaUsato() {
    QFETCH(QString, codice);
    QFETCH(bool, duplica);
    QFETCH(Risposta, risposta);
    QFETCH(QString, domanda);
    QFETCH(int, schede);
    scriviTre();
    if (duplica) {
        clic("cmdUltimo");
        clic("btnDuplica");
        box("txtCodice")->setText(codice);
    } else {
        compila(codice);
    }
    dialoghi->azzera();
    dialoghi->rispondi(risposta);
    box("txtNome")->setFocus();
    clic("btnSalva");
    QCOMPARE(cartella->leggiArchivio().size(), schede * TScheda::DIMENSIONE);
    if (domanda.isEmpty()) {
        QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
        return;
    }
    QCOMPARE(dialoghi->mostrati().first().genere, Genere::Domanda);
    QCOMPARE(dialoghi->mostrati().first().testo, domanda);
    if (risposta == Risposta::No) {
        QCOMPARE(dialoghi->testi().size(), 1);
        QCOMPARE(QApplication::focusWidget(), box("txtCodice"));
        QCOMPARE(posizione()->text(), QString());
    }
    // A stored card saved again is not asked about its own code.
    if (risposta == Risposta::Si) {
        dialoghi->azzera();
        clic("btnSalva");
        QCOMPARE(dialoghi->testi(), QStringList{MODIFICATA});
    }
}

// The window on an archive on a server: the same commands, another site's
// stock kept, a removal, and a server that stops while a card is typed.
void TestScheda::sulServer() {
    if (!server) server = std::make_unique<ServerDiProva>();
    QVERIFY2(server->avviato(), qPrintable(server->errore()));
    Connessione qui(server->parametri()), altrove(server->parametri());
    QVERIFY2(qui.aperta(), qPrintable(qui.messaggio()));
    QVERIFY(server->svuota(qui) && CreaSchema(qui));
    DepositoServer altraSede(altrove);
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(altraSede.accoda(SchedaNumero(n)), n);
    ImpostaDepositoCorrente(std::make_unique<DepositoServer>(qui),
                            u"archivio sul server di prova"_s);
    struct Ripristina {
        ~Ripristina() { ImpostaDepositoCorrente(nullptr, {}); }
    } ripristina;
    TitoloConArchivio(finestra.get());
    QCOMPARE(finestra->windowTitle(),
             u" Quadrelo - Magazzino Prodotti - archivio sul server di prova"_s);

    clic("cmdUltimo");
    QCOMPARE(posizione()->text(), u"3"_s);
    QCOMPARE(box("txtNome")->text(), u"Prodotto 3"_s);
    // Two pieces sold here while the other site receives five.
    sottrai(u"2"_s);
    box("txtNome")->setText(u"Prodotto 3 '; DROP TABLE schede; --"_s);
    QCOMPARE(altraSede.scrivi(3, SchedaNumero(3), 5, TipoMovimento::Carico).esito,
             Deposito::Salvataggio::Fatto);
    clic("btnSalva");
    QCOMPARE(dialoghi->ultimo(),
             u"Le modifiche apportate alla scheda corrente sono state salvate in archivio."_s);
    TScheda letta;
    QVERIFY(altraSede.leggi(3, letta));
    QCOMPARE(letta.testo(Campo::Giacenza), u"6"_s);
    QCOMPARE(letta.testo(Campo::Nome), u"Prodotto 3 '; DROP TABLE schede; --"_s);
    QCOMPARE(box("txtGiacenza")->text(), u"6"_s);
    QList<Movimento> storia;
    QVERIFY(altraSede.movimentiScheda(3, storia));
    QCOMPARE(storia.size(), 2);
    QCOMPARE(storia[0].tipo, TipoMovimento::Carico);
    QCOMPARE(storia[1].tipo, TipoMovimento::Scarico);
    QCOMPARE(storia[1].quantita, -2);
    QCOMPARE(storia[1].prima, 8);

    // A new card: appended with its stock's line and its photo.
    clic("btnNuovo");
    compila(u"NUOVO"_s);
    box("txtCosto")->setText(u"2,00"_s);
    box("txtGiacenza")->setText(u"4"_s);
    clic("btnSalva");
    QCOMPARE(dialoghi->ultimo(), u"La scheda corrente è stata inserita in archivio."_s);
    QCOMPARE(posizione()->text(), u"4"_s);
    QVERIFY(altraSede.movimentiScheda(4, storia));
    QCOMPARE(storia.size(), 1);
    QCOMPARE(storia[0].tipo, TipoMovimento::NuovaScheda);
    QCOMPARE(storia[0].quantita, 4);
    QByteArray jpeg;
    QVERIFY(altraSede.leggiFoto(4, jpeg));
    QVERIFY(jpeg.startsWith("\xFF\xD8"));

    // A code already on the server is named before a copy is saved.
    clic("btnNuovo");
    compila(u"cod2"_s);
    box("txtCosto")->setText(u"1,00"_s);
    dialoghi->rispondi(Piattaforma::Risposta::No);
    clic("btnSalva");
    QVERIFY2(dialoghi->ultimo().contains(u"è già usato dalla scheda n. 2"_s),
             qPrintable(dialoghi->ultimo()));

    // Removing card 2: the last card takes its place.
    clic("cmdPrimo");
    clic("cmdAvanti");
    QCOMPARE(box("txtCodice")->text(), u"COD2"_s);
    dialoghi->rispondi(Piattaforma::Risposta::Si);
    clic("btnElimina");
    QCOMPARE(dialoghi->ultimo(), u"La scheda è stata eliminata dall'archivio."_s);
    QCOMPARE(altraSede.conta(), 3);
    QCOMPARE(posizione()->text(), u"2"_s);
    QCOMPARE(box("txtCodice")->text(), u"NUOVO"_s);
    QCOMPARE(altraSede.eliminate().size(), 1);

    // The server stops while a change is typed: said, and the change stays
    // on screen to be saved once the server is back.
    QVERIFY(server->ferma(true));
    box("txtNome")->setText(u"Scritto mentre il server è fermo"_s);
    clic("btnSalva");
    QVERIFY2(dialoghi->ultimo().contains(u"server"_s), qPrintable(dialoghi->ultimo()));
    QCOMPARE(box("txtNome")->text(), u"Scritto mentre il server è fermo"_s);
    QVERIFY(segnoModifiche());
    QVERIFY(server->avvia());
    clic("btnSalva");
    QCOMPARE(dialoghi->ultimo(),
             u"Le modifiche apportate alla scheda corrente sono state salvate in archivio."_s);
    Connessione dopo(server->parametri());
    DepositoServer riaperto(dopo);
    QVERIFY(riaperto.leggi(2, letta));
    QCOMPARE(letta.testo(Campo::Nome), u"Scritto mentre il server è fermo"_s);

    // An attachment goes to the server, twice under two names, and opens
    // from a copy of the server's bytes.
    const QString scelto = cartella->percorso(u"listino.pdf"_s);
    Scrivi(scelto, "%PDF-1.4 listino");
    TfrmAllegaCartella allega(finestra.get(), {});
    for (int volta = 0; volta < 2; ++volta) {
        dialoghi->allaProssimaScelta(scelto);
        if (volta == 1) dialoghi->rispondi(Piattaforma::Risposta::No); // keep the first
        QTest::mouseClick(allega.btnSfoglia[std::size_t(volta)], Qt::LeftButton);
    }
    QCOMPARE(allega.txtFile[0]->text(), u"listino.pdf"_s);
    QCOMPARE(allega.txtFile[1]->text(), u"listino (2).pdf"_s);
    QByteArray allegato;
    QVERIFY(riaperto.leggiAllegato(u"listino (2).pdf"_s, allegato));
    QCOMPARE(allegato, QByteArray("%PDF-1.4 listino"));
    QVERIFY(!QFileInfo::exists(cartella->percorso(u"Documenti_Allegati"_s)));
    QTest::mouseClick(allega.btnApri[1], Qt::LeftButton);
    QCOMPARE(dialoghi->aperti().size(), 1);
    QCOMPARE(Leggi(dialoghi->aperti().first().toLocalFile()), allegato);
}

QTEST_MAIN(TestScheda)
#include "tst_card.moc"
