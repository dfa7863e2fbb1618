#include "DialoghiFinti.h"
#include "Fixture.h"
#include "archive/FotoScheda.h"
#include "card/TfrmMagazzino.h"
#include "media/ComandiFoto.h"
#include "media/TfrmAllegaCartella.h"
#include "media/TfrmWebCam.h"
#include "media/TfrmZoom.h"
#include "platform/Videocamera.h"
#include "widgets/ImmagineBianca.h"
#include "widgets/RiquadroFoto.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

using Genere = DialoghiFinti::Genere;
using namespace Qt::StringLiterals;

namespace {

const QString INSERITA = QStringLiteral("La scheda corrente è stata inserita in archivio.");
const QString MODIFICATA =
    QStringLiteral("Le modifiche apportate alla scheda corrente sono state salvate in archivio.");

// A picture with four coloured quarters, so that a wrong copy shows.
QImage Fotografia(int larghezza = 640, int altezza = 480, QColor colore = QColor(200, 60, 40)) {
    QImage immagine(larghezza, altezza, QImage::Format_RGB32);
    immagine.fill(colore);
    QPainter p(&immagine);
    p.fillRect(0, 0, larghezza / 2, altezza / 2, QColor(30, 90, 200));
    p.fillRect(larghezza / 2, altezza / 2, larghezza / 2, altezza / 2, QColor(250, 220, 40));
    return immagine;
}

TScheda PrimoRecord(const QByteArray &archivio) {
    TScheda scheda;
    if (archivio.size() >= TScheda::DIMENSIONE)
        std::memcpy(scheda.byte.data(), archivio.constData(), TScheda::DIMENSIONE);
    return scheda;
}

QByteArray FormatoDi(const QString &percorso) {
    QImageReader lettore(percorso);
    return lettore.format();
}

// Same size and, seen small, the same colours: JPEG changes pixels a little.
bool Simili(const QImage &a, const QImage &b) {
    if (a.size() != b.size()) return false;
    const QImage pa = a.scaled(16, 12).convertToFormat(QImage::Format_RGB32);
    const QImage pb = b.scaled(16, 12).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const QColor p = pa.pixelColor(x, y), q = pb.pixelColor(x, y);
            if (qAbs(p.red() - q.red()) > 24 || qAbs(p.green() - q.green()) > 24 ||
                qAbs(p.blue() - q.blue()) > 24)
                return false;
        }
    return true;
}

// Stands in for the webcam: once switched on, a thread of its own delivers
// 640 x 480 frames as fast as it can, as a capture service does.
struct StatoCamera {
    bool dispositivo = true;
    std::atomic<int> avvii{0};
    std::atomic<int> fotogrammi{0};
    std::atomic<int> filiAttivi{0};
};

class VideocameraFinta final : public Piattaforma::Videocamera {
  public:
    explicit VideocameraFinta(StatoCamera &stato) : m_stato(stato) {}
    ~VideocameraFinta() override { ferma(); }

  protected:
    bool avvia() override {
        if (!m_stato.dispositivo) return false;
        ++m_stato.avvii;
        m_fine = false;
        ++m_stato.filiAttivi;
        m_filo = std::thread([this] {
            int n = 0;
            while (!m_fine) {
                QImage fotogramma(640, 480, QImage::Format_RGB32);
                fotogramma.fill(QColor::fromHsv(n++ * 7 % 360, 200, 220));
                ++m_stato.fotogrammi;
                consegna([fotogramma] { return fotogramma; });
                std::this_thread::yield();
            }
            --m_stato.filiAttivi;
        });
        return true;
    }
    void ferma() override {
        m_fine = true;
        if (m_filo.joinable()) m_filo.join();
    }

  private:
    StatoCamera &m_stato;
    std::atomic<bool> m_fine{false};
    std::thread m_filo;
};

// Like a capture service that does not wait for its own deliveries when it
// stops: its thread goes on handing over frames for a while after the camera,
// and its window, are gone.
class VideocameraCheNonAspetta final : public Piattaforma::Videocamera {
  public:
    explicit VideocameraCheNonAspetta(std::thread &filo) : m_filo(filo) {}
    ~VideocameraCheNonAspetta() override { ferma(); }

  protected:
    bool avvia() override {
        m_filo = std::thread([consegna = consegnatario(), fine = m_fine] {
            int dopo = 0;
            while (dopo < 2000) {
                if (*fine) ++dopo;
                QImage fotogramma(64, 48, QImage::Format_RGB32);
                fotogramma.fill(Qt::blue);
                consegna([fotogramma] { return fotogramma; });
            }
        });
        return true;
    }
    void ferma() override { *m_fine = true; }

  private:
    std::thread &m_filo;
    std::shared_ptr<std::atomic<bool>> m_fine = std::make_shared<std::atomic<bool>>(false);
};

} // namespace

class TestMedia : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CartellaDiProva> cartella;
    std::unique_ptr<DialoghiFinti> dialoghi;
    std::unique_ptr<TfrmMagazzino> finestra;
    std::unique_ptr<StatoCamera> camera;

    QLineEdit *box(const char *nome) {
        return finestra->findChild<QLineEdit *>(QLatin1String(nome));
    }
    QLabel *etichetta(const char *nome) {
        return finestra->findChild<QLabel *>(QLatin1String(nome));
    }
    RiquadroFoto *foto() { return finestra->findChild<RiquadroFoto *>(QStringLiteral("imgFoto")); }
    void clic(const char *nome) {
        auto *b = finestra->findChild<QAbstractButton *>(QLatin1String(nome));
        QVERIFY2(b, nome);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void compila(const QString &codice) {
        box("txtCodice")->setText(codice);
        box("txtNome")->setText(QStringLiteral("Vite a legno"));
        box("txtTipologia")->setText(QStringLiteral("Ferramenta"));
    }
    // Card 1 in the archive with the given photo file, shown in the window.
    void schedaConFoto(const QByteArray &jpeg) {
        cartella->scriviArchivio(ArchivioDi({SchedaNumero(1)}));
        if (!jpeg.isEmpty()) Scrivi(cartella->percorso(QStringLiteral("1.jpg")), jpeg);
        clic("cmdPrimo");
        QCOMPARE(etichetta("lblPosizione")->text(), QStringLiteral("1"));
    }
    QByteArray jpeg(const QImage &immagine, int qualita = 95) {
        QByteArray byte;
        QBuffer b(&byte);
        b.open(QIODevice::WriteOnly);
        immagine.save(&b, "JPEG", qualita);
        return byte;
    }

  private slots:
    void init();
    void cleanup();

    // Photo commands
    void caricaFoto_data();
    void caricaFoto();
    void salvaCopia_data();
    void salvaCopia();
    void salvaCopiaSenzaSpazioLasciaIntero();
    void cancellaFoto();
    void salvataggiRipetutiNonDegradano();
    void bitmapArchiviataComeJpeg();
    void filtriDelDialogo_data();
    void filtriDelDialogo();
    void finestraZoom();

    // Webcam
    void webcamFinestra();
    void webcamSenzaDispositivo();
    void webcamCatturaEImporta();
    void webcamSpegnimentoMentreArrivanoFotogrammi();
    void webcamChiusuraConFotogrammi_data();
    void webcamChiusuraConFotogrammi();
    void webcamSalvaFotogramma_data();
    void webcamSalvaFotogramma();

    // Attachments
    void allegatiFinestra();
    void allegatiSfoglia();
    void allegatiSovrascrittura_data();
    void allegatiSovrascrittura();
    void allegatiNomi_data();
    void allegatiNomi();
    void allegatoSorgenteDifettosa_data();
    void allegatoSorgenteDifettosa();
    void allegatiCopiaFallita_data();
    void allegatiCopiaFallita();
    void allegatiCancellaApplicaSalva();
    void allegatiCancellaAnnulla();
    void allegatiApri();
    void allegatiDescrizioneLunga();
};

void TestMedia::init() {
    camera = std::make_unique<StatoCamera>();
    Piattaforma::ImpostaFabbricaVideocamera(
        [this] { return std::make_unique<VideocameraFinta>(*camera); });
    cartella = std::make_unique<CartellaDiProva>();
    dialoghi = std::make_unique<DialoghiFinti>();
    finestra = std::make_unique<TfrmMagazzino>();
    finestra->show();
    QApplication::setActiveWindow(finestra.get());
    QVERIFY(QTest::qWaitForWindowActive(finestra.get()));
}

void TestMedia::cleanup() {
    finestra.reset();
    dialoghi.reset();
    cartella.reset();
    Piattaforma::ImpostaFabbricaVideocamera({});
    QCOMPARE(camera->filiAttivi.load(), 0); // no capture thread outlives its window
    camera.reset();
}

// Photo commands

void TestMedia::caricaFoto_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QByteArray>("contenuto"); // empty: no such file
    QTest::addColumn<bool>("caricata");
    const QImage foto = Fotografia();
    QByteArray bmp;
    {
        QBuffer b(&bmp);
        b.open(QIODevice::WriteOnly);
        foto.save(&b, "BMP");
    }
    QTest::newRow("jpeg") << u"prodotto.jpg"_qs << jpeg(foto) << true;
    QTest::newRow("bitmap") << u"prodotto.bmp"_qs << bmp << true;
    QTest::newRow("testo chiamato .jpg")
        << u"listino.jpg"_qs << QByteArray("Listino prezzi 2026\n") << false;
    QTest::newRow("jpeg troncato") << u"rotto.jpg"_qs << jpeg(foto).left(20) << false;
    QTest::newRow("file mancante") << u"sparito.jpg"_qs << QByteArray() << false;
}

void TestMedia::caricaFoto() {
    QFETCH(QString, nome);
    QFETCH(QByteArray, contenuto);
    QFETCH(bool, caricata);
    const QImage vecchia = Fotografia(300, 200, Qt::green);
    const QByteArray fileScheda = jpeg(vecchia);
    schedaConFoto(fileScheda);
    const QImage mostrata = foto()->immagine();
    const QString percorso = cartella->percorso(nome);
    if (!contenuto.isEmpty()) Scrivi(percorso, contenuto);

    dialoghi->allaProssimaScelta(percorso);
    clic("btnCaricaFoto");

    const auto &scelta = dialoghi->sceltePresentate().last();
    QCOMPARE(scelta.titolo,
             QStringLiteral("Selezionare un file di immagine in formato Jpeg o Bitmap."));
    if (caricata) {
        QVERIFY(dialoghi->testi().isEmpty());
        QVERIFY(Simili(foto()->immagine(), Fotografia()));
        // 640 x 480 fills the 366 x 274 box as 365 x 274.
        QCOMPARE(foto()->areaMostrata().size(), QSize(365, 274));
    } else {
        QCOMPARE(dialoghi->mostrati().size(), 1);
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
        QCOMPARE(dialoghi->ultimo(), QStringLiteral("Attenzione: il file \"") + percorso +
                                         QStringLiteral("\" non può essere letto come immagine."
                                                        "\n\nLa foto della scheda non è stata "
                                                        "cambiata."));
        QCOMPARE(foto()->immagine(), mostrata);
    }
    // Nothing touches the card's own photo file until Salva.
    QCOMPARE(Leggi(cartella->percorso(QStringLiteral("1.jpg"))), fileScheda);

    // A failed load kept the photo: saving keeps the file as it was.
    dialoghi->azzera();
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MODIFICATA});
    if (!caricata)
        QCOMPARE(Leggi(cartella->percorso(QStringLiteral("1.jpg"))), fileScheda);
    else
        QVERIFY(Simili(QImage(cartella->percorso(QStringLiteral("1.jpg"))), Fotografia()));
}

void TestMedia::salvaCopia_data() {
    QTest::addColumn<QString>("nome"); // empty: the user cancels
    QTest::addColumn<bool>("scritta");
    QTest::addColumn<bool>("conFoto");
    QTest::newRow("jpeg") << u"Foto.jpg"_qs << true << true;
    QTest::newRow("senza foto: l'immagine vuota") << u"Vuota.jpg"_qs << true << false;
    QTest::newRow("annullato") << QString() << false << true;
    QTest::newRow("cartella inesistente") << u"manca/Foto.jpg"_qs << false << true;
    QTest::newRow("il nome è una cartella") << u"cartella.jpg"_qs << false << true;
    QTest::newRow("formato sconosciuto") << u"Foto.xyz"_qs << false << true;
}

void TestMedia::salvaCopia() {
    QFETCH(QString, nome);
    QFETCH(bool, scritta);
    QFETCH(bool, conFoto);
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("cartella.jpg")));
    if (conFoto) {
        dialoghi->allaProssimaScelta(cartella->percorso(QStringLiteral("p.jpg")));
        Scrivi(cartella->percorso(QStringLiteral("p.jpg")), jpeg(Fotografia()));
        clic("btnCaricaFoto");
    }
    const QImage prima = foto()->immagine();
    const QString percorso = nome.isEmpty() ? QString() : cartella->percorso(nome);
    dialoghi->allaProssimaScelta(percorso);
    clic("btnSalvaFoto");

    const auto &scelta = dialoghi->sceltePresentate().last();
    QCOMPARE(scelta.titolo,
             QStringLiteral("Selezionare la cartella in cui si desidera salvare il file Jpeg."));
    QCOMPARE(scelta.filtri, QStringList{u"File Jpeg (*.jpg)"_qs});
    QCOMPARE(scelta.nome, QStringLiteral("Foto.jpg"));
    QCOMPARE(foto()->immagine(), prima); // never lost, whatever happened
    if (scritta) {
        QVERIFY(dialoghi->testi().isEmpty());
        QCOMPARE(FormatoDi(percorso), QByteArray("jpeg"));
        QVERIFY(Simili(QImage(percorso), prima));
    } else if (nome.isEmpty()) {
        QVERIFY(dialoghi->testi().isEmpty());
    } else {
        QCOMPARE(dialoghi->mostrati().size(), 1);
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
        QCOMPARE(dialoghi->ultimo(), MessaggioFotoNonScritta(percorso));
        QVERIFY(dialoghi->ultimo().contains(nome));
    }
}

void TestMedia::salvaCopiaSenzaSpazioLasciaIntero() {
    // An earlier copy survives a write that fails half-way, as on a full disk.
    const QString percorso = cartella->percorso(QStringLiteral("Foto.jpg"));
    const QByteArray vecchia = jpeg(Fotografia(32, 24));
    Scrivi(percorso, vecchia);
    foto()->impostaImmagine(Fotografia(1600, 1200));
    {
        DiscoPieno disco(4096);
        dialoghi->allaProssimaScelta(percorso);
        clic("btnSalvaFoto");
    }

    QCOMPARE(dialoghi->testi(), QStringList{MessaggioFotoNonScritta(percorso)});
    QCOMPARE(Leggi(percorso), vecchia);
    QCOMPARE(foto()->immagine().size(), QSize(1600, 1200));
}

void TestMedia::cancellaFoto() {
    // The eraser and the magnifier sit on the picture's lower corners.
    const QRect riquadro = foto()->geometry();
    auto *gomma = finestra->findChild<QToolButton *>(QStringLiteral("btnCancFoto"));
    auto *lente = finestra->findChild<QToolButton *>(QStringLiteral("btnZoomFoto"));
    QCOMPARE(gomma->size(), QSize(22, 22));
    QCOMPARE(lente->size(), QSize(22, 22));
    QVERIFY(riquadro.contains(gomma->geometry()) && riquadro.contains(lente->geometry()));
    QVERIFY(gomma->geometry().bottomRight().x() > riquadro.right() - 8);
    QVERIFY(gomma->geometry().bottom() > riquadro.bottom() - 8);
    QVERIFY(lente->x() < riquadro.left() + 8 && lente->geometry().bottom() > riquadro.bottom() - 8);

    const QByteArray fileScheda = jpeg(Fotografia());
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    Scrivi(cartella->percorso(QStringLiteral("1.jpg")), fileScheda);
    clic("cmdPrimo");
    clic("btnCancFoto");
    QCOMPARE(foto()->immagine(), finestra->immagineBianca());
    QVERIFY(dialoghi->testi().isEmpty());
    // Not saved (No to the question): the photo comes back when the card is shown again.
    clic("cmdAvanti");
    QCOMPARE(dialoghi->testi(), QStringList{QStringLiteral("Salvare le modifiche alla scheda?")});
    clic("cmdIndietro");
    QVERIFY(Simili(foto()->immagine(), Fotografia()));
    // Saved: the card's file holds the default picture, not the photo.
    dialoghi->azzera();
    clic("btnCancFoto");
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MODIFICATA});
    const QImage salvata(cartella->percorso(QStringLiteral("1.jpg")));
    QCOMPARE(salvata.size(), finestra->immagineBianca().size());
    QVERIFY(!Simili(salvata, Fotografia()));
    clic("cmdAvanti");
    clic("cmdIndietro");
    QVERIFY(Simili(foto()->immagine(), finestra->immagineBianca()));
}

void TestMedia::salvataggiRipetutiNonDegradano() {
    // Each Salva used to decode and encode the photo again.
    const QByteArray originale = jpeg(Fotografia(), 75);
    schedaConFoto(originale);
    const QString percorso = cartella->percorso(QStringLiteral("1.jpg"));
    for (int i = 0; i < 30; ++i) {
        box("txtGiacenza")->setText(QString::number(i));
        clic("btnSalva");
        clic("cmdPrimo");
    }
    QCOMPARE(dialoghi->testi().size(), 30);
    QCOMPARE(Leggi(percorso), originale);

    // A photo loaded from a JPEG file is stored as that file, byte for byte.
    const QByteArray scelta = jpeg(Fotografia(320, 240, Qt::blue), 60);
    Scrivi(cartella->percorso(QStringLiteral("scelta.jpg")), scelta);
    dialoghi->allaProssimaScelta(cartella->percorso(QStringLiteral("scelta.jpg")));
    clic("btnCaricaFoto");
    clic("btnSalva");
    QCOMPARE(Leggi(percorso), scelta);

    // A picture that changed is encoded; saving it again gives the same bytes.
    foto()->impostaImmagine(Fotografia(200, 100, Qt::yellow));
    clic("btnSalva");
    const QByteArray codificata = Leggi(percorso);
    QVERIFY(codificata != scelta);
    QCOMPARE(FormatoDi(percorso), QByteArray("jpeg"));
    clic("btnSalva");
    QCOMPARE(Leggi(percorso), codificata);
}

void TestMedia::bitmapArchiviataComeJpeg() {
    const QString bmp = cartella->percorso(QStringLiteral("foto.bmp"));
    QVERIFY(Fotografia().save(bmp, "BMP"));
    dialoghi->allaProssimaScelta(bmp);
    clic("btnCaricaFoto");
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
    const QString percorso = cartella->percorso(QStringLiteral("1.jpg"));
    QCOMPARE(FormatoDi(percorso), QByteArray("jpeg"));
    QVERIFY(Simili(QImage(percorso), Fotografia()));
}

void TestMedia::filtriDelDialogo_data() {
    QTest::addColumn<QStringList>("filtri");
    QTest::addColumn<QString>("perQt");
    QTest::newRow("foto") << FiltriApriFoto()
                          << u"Immagine JPEG (*.jpg *.JPG *.jpeg *.JPEG);;Immagine Bitmap (*.bmp "
                             "*.BMP)"_qs;
    QTest::newRow("copia") << FiltriSalvaFoto() << u"File Jpeg (*.jpg *.JPG)"_qs;
    QTest::newRow("tutti i file") << QStringList{u"Tutti i file (*.*)"_qs}
                                  << u"Tutti i file (*)"_qs;
    QTest::newRow("senza modelli") << QStringList{u"Archivio"_qs} << u"Archivio"_qs;
}

void TestMedia::filtriDelDialogo() {
    // The patterns as written must reach Qt's dialog as patterns that match.
    QFETCH(QStringList, filtri);
    QFETCH(QString, perQt);
    QCOMPARE(Piattaforma::FiltriPerQt(filtri), perQt);
}

void TestMedia::finestraZoom() {
    foto()->impostaImmagine(Fotografia());
    QImage vista;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *zoom = qobject_cast<TfrmZoom *>(d);
        QVERIFY(zoom);
        QCOMPARE(zoom->parentWidget(), finestra.get());
        QCOMPARE(zoom->windowTitle(), QStringLiteral(" Fare clic sulla foto per chiudere questa "
                                                     "finestra"));
        QVERIFY(zoom->windowState() & Qt::WindowMaximized);
        auto *pan = zoom->findChild<QWidget *>(QStringLiteral("panContainer"));
        auto *img = zoom->findChild<RiquadroFoto *>(QStringLiteral("imgFoto"));
        QVERIFY(pan && img);
        QCOMPARE(pan->size(), QSize(995, 692));
        QCOMPARE(img->size(), QSize(969, 669));
        QCOMPARE(img->geometry().center(), pan->rect().center());
        QCOMPARE(pan->geometry().center(), zoom->rect().center());
        QCOMPARE(img->areaMostrata().size(), QSize(892, 669));
        // A copy of the card's picture, not shared with it.
        QVERIFY(img->immagine().constBits() != foto()->immagine().constBits());
        vista = img->immagine();
        QTest::mouseClick(pan, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!zoom->isVisible());
    });
    clic("btnZoomFoto");
    QCOMPARE(dialoghi->finestreEseguite(), 1);
    QCOMPARE(vista, foto()->immagine());

    // Closes with a click on the picture, and with the keyboard.
    dialoghi->allaProssimaFinestra([](QDialog *d) {
        QTest::mouseClick(d->findChild<RiquadroFoto *>(QStringLiteral("imgFoto")), Qt::LeftButton);
        QVERIFY(!d->isVisible());
    });
    clic("btnZoomFoto");
    dialoghi->allaProssimaFinestra([](QDialog *d) {
        QTest::keyClick(d, Qt::Key_Escape);
        QVERIFY(!d->isVisible());
    });
    clic("btnZoomFoto");
    QCOMPARE(dialoghi->finestreEseguite(), 3);
}

// Webcam

namespace {

QList<QWidget *> CatenaDiTab(QWidget *primo, int quanti) {
    QList<QWidget *> catena{primo};
    for (QWidget *w = primo->nextInFocusChain(); catena.size() < quanti; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) catena << w;
    return catena;
}

} // namespace

void TestMedia::webcamFinestra() {
    const QImage prima = foto()->immagine();
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = qobject_cast<TfrmWebCam *>(d);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), finestra.get());
        QCOMPARE(w->windowTitle(), QStringLiteral(" Cattura foto con webcam"));
        QCOMPARE(w->size(), QSize(807, 405));
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        // Centred on the card window.
        QVERIFY(
            (w->frameGeometry().center() - finestra->frameGeometry().center()).manhattanLength() <=
            2);
        QCOMPARE(w->imgCamera->immagine(), ImmagineWebcam());
        QCOMPARE(w->imgTarget->immagine(), ImmagineBianca());
        QCOMPARE(w->imgCamera->size(), QSize(366, 274));
        QCOMPARE(w->imgTarget->size(), QSize(366, 274));
        const QList<QWidget *> attesa{w->btnAccendi, w->btnCattura,     w->btnSalvaFotogramma,
                                      w->btnSpegni,  w->btnImportaFoto, w->btnLeggiCodice,
                                      w->btnClose};
        QCOMPARE(CatenaDiTab(w->btnAccendi, 7), attesa);
        const QStringList testi{
            u"Accendi webcam"_qs, u"Cattura foto"_qs,           u"Salva foto su disco"_qs,
            u"Spegni webcam"_qs,  u"Importa foto in scheda"_qs, u"Leggi codice a barre"_qs,
            u"Annulla"_qs};
        for (int i = 0; i < 7; ++i) {
            auto *b = static_cast<QPushButton *>(attesa[i]);
            QCOMPARE(b->text(), testi[i]);
            QVERIFY(b->autoDefault());
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        }
        // Enter on a focused button presses it.
        w->btnAccendi->setFocus();
        QTest::keyClick(w->btnAccendi, Qt::Key_Return);
        QVERIFY(w->webcamAccesa());
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QVERIFY(!w->webcamAccesa());
    });
    clic("btnAcquisisciFoto");
    QCOMPARE(dialoghi->finestreEseguite(), 1);
    QCOMPARE(foto()->immagine(), prima);
    QVERIFY(dialoghi->testi().isEmpty());
}

void TestMedia::webcamSenzaDispositivo() {
    camera->dispositivo = false;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmWebCam *>(d);
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QVERIFY(!w->webcamAccesa());
        QTest::qWait(20);
        QCOMPARE(w->imgCamera->immagine(), ImmagineWebcam());
        // Capture before any frame freezes the built-in webcam picture.
        QTest::mouseClick(w->btnCattura, Qt::LeftButton);
        QCOMPARE(w->imgTarget->immagine(), ImmagineWebcam());
        QTest::mouseClick(w->btnSpegni, Qt::LeftButton);
        QTest::mouseClick(w->btnClose, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    });
    clic("btnAcquisisciFoto");
    QCOMPARE(dialoghi->testi(),
             QStringList{u"Attenzione: nessuna webcam disponibile. Collegare la webcam, verificare "
                         "che non sia in uso da un altro programma e riprovare."_s});
    QCOMPARE(foto()->immagine(), finestra->immagineBianca());

    // Import without a capture puts the built-in camera picture into the card.
    foto()->impostaImmagine(Fotografia());
    dialoghi->allaProssimaFinestra([](QDialog *d) {
        QTest::mouseClick(static_cast<TfrmWebCam *>(d)->btnImportaFoto, Qt::LeftButton);
        QVERIFY(!d->isVisible());
    });
    clic("btnAcquisisciFoto");
    QCOMPARE(foto()->immagine(), ImmagineBianca());
}

void TestMedia::webcamCatturaEImporta() {
    QImage ultimo;
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmWebCam *>(d);
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QCOMPARE(camera->avvii.load(), 1); // on twice starts once
        QTRY_COMPARE(w->imgCamera->immagine().size(), QSize(640, 480));
        QTest::mouseClick(w->btnCattura, Qt::LeftButton);
        QCOMPARE(w->imgTarget->immagine().size(), QSize(640, 480));

        // Off, then capture: the last frame received is frozen.
        QTest::mouseClick(w->btnSpegni, Qt::LeftButton);
        QTest::mouseClick(w->btnSpegni, Qt::LeftButton);
        QCOMPARE(camera->filiAttivi.load(), 0);
        ultimo = w->imgCamera->immagine();
        QTest::qWait(30);
        QCOMPARE(w->imgCamera->immagine().cacheKey(), ultimo.cacheKey());
        QTest::mouseClick(w->btnCattura, Qt::LeftButton);
        QCOMPARE(w->imgTarget->immagine(), ultimo);
        QTest::mouseClick(w->btnImportaFoto, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    });
    clic("btnAcquisisciFoto");
    QCOMPARE(foto()->immagine(), ultimo);

    // The photo reaches the card's file only with Salva, at 640 x 480.
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{INSERITA});
    QCOMPARE(QImage(cartella->percorso(QStringLiteral("1.jpg"))).size(), QSize(640, 480));
}

void TestMedia::webcamSpegnimentoMentreArrivanoFotogrammi() {
    // Switching off while frames pour in, again and again: no deadlock, no
    // crash (the test build runs under the sanitizers), and no frame shown
    // after the camera is off.
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmWebCam *>(d);
        for (int giro = 0; giro < 40; ++giro) {
            const int prima = camera->fotogrammi;
            QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
            if (giro % 2) {
                // Let hand-overs pile up without the window taking them.
                QElapsedTimer attesa;
                attesa.start();
                while (camera->fotogrammi < prima + 5 && attesa.elapsed() < 5000)
                    std::this_thread::yield();
            } else {
                QTest::qWait(2);
            }
            QTest::mouseClick(w->btnSpegni, Qt::LeftButton);
            QCOMPARE(camera->filiAttivi.load(), 0);
            const qint64 mostrato = w->imgCamera->immagine().cacheKey();
            QCoreApplication::processEvents();
            QTest::qWait(1);
            QCOMPARE(w->imgCamera->immagine().cacheKey(), mostrato);
        }
        QCOMPARE(camera->avvii.load(), 40);
        QTest::mouseClick(w->btnClose, Qt::LeftButton);
    });
    clic("btnAcquisisciFoto");
    QVERIFY(camera->fotogrammi > 40);
}

void TestMedia::webcamChiusuraConFotogrammi_data() {
    QTest::addColumn<QString>("come");
    QTest::newRow("Annulla") << u"Annulla"_qs;
    QTest::newRow("Esc") << u"Esc"_qs;
    QTest::newRow("Importa") << u"Importa"_qs;
    QTest::newRow("distrutta accesa") << u"distrutta"_qs;
    QTest::newRow("distrutta, il servizio consegna ancora") << u"tardiva"_qs;
}

void TestMedia::webcamChiusuraConFotogrammi() {
    QFETCH(QString, come);
    if (come == u"tardiva") {
        std::thread filo;
        Piattaforma::ImpostaFabbricaVideocamera(
            [&filo] { return std::make_unique<VideocameraCheNonAspetta>(filo); });
        auto *w = new TfrmWebCam(finestra.get(), foto());
        w->show();
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QTRY_COMPARE(w->imgCamera->immagine().size(), QSize(64, 48));
        delete w; // the service's thread is still delivering
        filo.join();
        QCoreApplication::processEvents();
        QCOMPARE(foto()->immagine(), finestra->immagineBianca());
        return;
    }
    if (come == u"distrutta") {
        auto *w = new TfrmWebCam(finestra.get(), foto());
        w->show();
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QTRY_VERIFY(camera->fotogrammi > 3);
        delete w; // frames still arriving
        QCOMPARE(camera->filiAttivi.load(), 0);
        QTest::qWait(10); // no pending hand-over reaches the freed window
        QCOMPARE(foto()->immagine(), finestra->immagineBianca());
        return;
    }
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmWebCam *>(d);
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QTRY_VERIFY(camera->fotogrammi > 3);
        if (come == u"Annulla")
            QTest::mouseClick(w->btnClose, Qt::LeftButton);
        else if (come == u"Esc")
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::mouseClick(w->btnImportaFoto, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QVERIFY(!w->webcamAccesa());
        QCOMPARE(camera->filiAttivi.load(), 0);
    });
    clic("btnAcquisisciFoto");
    QTest::qWait(10);
    QCOMPARE(foto()->immagine(),
             come == u"Importa" ? ImmagineBianca() : finestra->immagineBianca());
}

void TestMedia::webcamSalvaFotogramma_data() {
    QTest::addColumn<QString>("nome"); // empty: the user cancels
    QTest::addColumn<bool>("scritta");
    QTest::newRow("scritta") << u"Foto.jpg"_qs << true;
    QTest::newRow("annullata") << QString() << false;
    QTest::newRow("cartella inesistente") << u"manca/Foto.jpg"_qs << false;
}

void TestMedia::webcamSalvaFotogramma() {
    QFETCH(QString, nome);
    QFETCH(bool, scritta);
    const QString percorso = nome.isEmpty() ? QString() : cartella->percorso(nome);
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmWebCam *>(d);
        QTest::mouseClick(w->btnAccendi, Qt::LeftButton);
        QTRY_COMPARE(w->imgCamera->immagine().size(), QSize(640, 480));
        QTest::mouseClick(w->btnCattura, Qt::LeftButton);
        QTest::mouseClick(w->btnSpegni, Qt::LeftButton);
        const QImage congelata = w->imgTarget->immagine();
        dialoghi->allaProssimaScelta(percorso);
        QTest::mouseClick(w->btnSalvaFotogramma, Qt::LeftButton);
        QCOMPARE(w->imgTarget->immagine(), congelata); // kept, whatever happened
        QVERIFY(w->isVisible());
        QTest::mouseClick(w->btnClose, Qt::LeftButton);
    });
    clic("btnAcquisisciFoto");
    const auto &scelta = dialoghi->sceltePresentate().last();
    QCOMPARE(scelta.titolo,
             QStringLiteral("Selezionare la cartella in cui si desidera salvare il file Jpeg."));
    QCOMPARE(scelta.filtri, QStringList{u"File Jpeg (*.jpg)"_qs});
    QCOMPARE(scelta.nome, QStringLiteral("Foto.jpg"));
    if (scritta) {
        QVERIFY(dialoghi->testi().isEmpty());
        QCOMPARE(FormatoDi(percorso), QByteArray("jpeg"));
        QCOMPARE(QImage(percorso).size(), QSize(640, 480));
    } else if (nome.isEmpty()) {
        QVERIFY(dialoghi->testi().isEmpty());
    } else {
        QCOMPARE(dialoghi->testi(), QStringList{MessaggioFotoNonScritta(percorso)});
        QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    }
}

// Attachments

namespace {

const QString SOVRASCRIVERE = QStringLiteral(
    "Attenzione: nella cartella dei documenti allegati è presente un file con lo stesso "
    "nome.\r\n\r\nSi vuole sovrascrivere il file esistente?");

} // namespace

void TestMedia::allegatiFinestra() {
    cartella->scriviArchivio(ArchivioDi({SchedaDiProva({{Campo::Codice, u"A1"_qs},
                                                        {Campo::File01, u"listino.pdf"_qs},
                                                        {Campo::Desc01, u"Listino 2026"_qs},
                                                        {Campo::Desc02, u"Solo descrizione"_qs},
                                                        {Campo::File03, u"foto.png"_qs}})}));
    clic("cmdPrimo");
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = qobject_cast<TfrmAllegaCartella *>(d);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), finestra.get());
        QCOMPARE(w->windowTitle(), QStringLiteral(" Allega file"));
        QCOMPARE(w->size(), QSize(634, 534));
        QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(w->lblMemory->text(), QStringLiteral("magazzino"));
        // Centred on the screen.
        QVERIFY((w->frameGeometry().center() - w->screen()->availableGeometry().center())
                    .manhattanLength() <= 2);
        QCOMPARE(w->txtFile[0]->text(), QStringLiteral("listino.pdf"));
        QCOMPARE(w->txtDesc[0]->text(), QStringLiteral("Listino 2026"));
        QCOMPARE(w->txtFile[1]->text(), QString());
        QCOMPARE(w->txtDesc[1]->text(), QStringLiteral("Solo descrizione"));
        QCOMPARE(w->txtFile[2]->text(), QStringLiteral("foto.png"));
        QVERIFY(w->btnApri[0]->isEnabled());
        QVERIFY(!w->btnApri[1]->isEnabled());
        QVERIFY(w->btnApri[2]->isEnabled());
        const QStringList etichette{
            u"Nome 1° file allegato:"_qs, u"Descrizione 1° file allegato:"_qs,
            u"Nome 2° file allegato:"_qs, u"Descrizione 2° file allegato:"_qs,
            u"Nome 3° file allegato:"_qs, u"Descrizione 3° file allegato:"_qs};
        for (int i = 0; i < 6; ++i) {
            auto *l = w->findChild<QLabel *>(QStringLiteral("lblCampo0") + QString::number(i + 1));
            QVERIFY(l);
            QCOMPARE(l->text(), etichette[i]);
            QCOMPARE(l->buddy(), i % 2 ? static_cast<QWidget *>(w->txtDesc[std::size_t(i / 2)])
                                       : static_cast<QWidget *>(w->txtFile[std::size_t(i / 2)]));
        }
        for (std::size_t i = 0; i < 3; ++i) {
            QVERIFY(w->txtFile[i]->isReadOnly());
            QCOMPARE(w->btnSfoglia[i]->text(), QStringLiteral("Sfoglia..."));
            QCOMPARE(w->btnApri[i]->text(), QStringLiteral("Apri"));
            QVERIFY(!w->imgCancella[i]->accessibleName().isEmpty());
        }
        QList<QWidget *> attesa;
        for (std::size_t i = 0; i < 3; ++i)
            attesa << w->txtFile[i] << w->btnSfoglia[i] << w->btnApri[i] << w->txtDesc[i];
        attesa << w->btnApplica << w->btnAnnulla;
        QCOMPARE(CatenaDiTab(w->txtFile[0], 14), attesa);
        QCOMPARE(w->btnApplica->text(), QStringLiteral("Applica e chiudi"));
        QCOMPARE(w->btnAnnulla->text(), QStringLiteral("Annulla"));
        QVERIFY(!w->findChild<QLabel *>(QStringLiteral("imgLogo"))->accessibleName().isEmpty());
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    });
    clic("btnAllegati");
    QCOMPARE(dialoghi->finestreEseguite(), 1);
    QCOMPARE(etichetta("lblFile01")->text(), QStringLiteral("listino.pdf"));
}

void TestMedia::allegatiSfoglia() {
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("origine")));
    const QString scelto = cartella->percorso(QStringLiteral("origine/Preventivo 2026.pdf"));
    const QByteArray contenuto("%PDF-1.4 preventivo\n");
    Scrivi(scelto, contenuto);
    const QString allegato =
        cartella->percorso(QStringLiteral("Documenti_Allegati/Preventivo 2026.pdf"));
    QVERIFY(!QFileInfo::exists(cartella->percorso(QStringLiteral("Documenti_Allegati"))));

    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        dialoghi->allaProssimaScelta(QString()); // cancelled: nothing changes
        QTest::mouseClick(w->btnSfoglia[1], Qt::LeftButton);
        QCOMPARE(w->txtFile[1]->text(), QString());
        dialoghi->allaProssimaScelta(scelto);
        QTest::mouseClick(w->btnSfoglia[1], Qt::LeftButton);
        QCOMPARE(w->txtFile[1]->text(), QStringLiteral("Preventivo 2026.pdf"));
        QVERIFY(w->btnApri[1]->isEnabled());
        w->txtDesc[1]->setFocus();
        QTest::keyClicks(w->txtDesc[1], QStringLiteral("Preventivo del fornitore"));
        QTest::mouseClick(w->btnApplica, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    });
    clic("btnAllegati");
    const auto &scelta = dialoghi->sceltePresentate().last();
    QCOMPARE(scelta.titolo, QStringLiteral("Selezionare il file da allegare:"));
    QCOMPARE(scelta.filtri, QStringList{u"Tutti i file (*.*)"_qs});
    QCOMPARE(Leggi(allegato), contenuto); // the folder was created
    QVERIFY(dialoghi->testi().isEmpty());
    QCOMPARE(etichetta("lblFile02")->text(), QStringLiteral("Preventivo 2026.pdf"));
    QCOMPARE(etichetta("lblDesc02")->text(), QStringLiteral("Preventivo del fornitore"));

    compila(QStringLiteral("A1"));
    clic("btnSalva");
    const TScheda salvata = PrimoRecord(cartella->leggiArchivio());
    QCOMPARE(salvata.testo(Campo::File02), QStringLiteral("Preventivo 2026.pdf"));
    QCOMPARE(salvata.testo(Campo::Desc02), QStringLiteral("Preventivo del fornitore"));

    // Browse then Annulla: the copy stays in the folder, the card is unchanged.
    const QString altro = cartella->percorso(QStringLiteral("origine/Fattura.pdf"));
    Scrivi(altro, QByteArray("fattura"));
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        dialoghi->allaProssimaScelta(altro);
        QTest::mouseClick(w->btnSfoglia[2], Qt::LeftButton);
        QTest::mouseClick(w->btnAnnulla, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    });
    clic("btnAllegati");
    QCOMPARE(Leggi(cartella->percorso(QStringLiteral("Documenti_Allegati/Fattura.pdf"))),
             QByteArray("fattura"));
    QCOMPARE(etichetta("lblFile03")->text(), QString());
}

void TestMedia::allegatiSovrascrittura_data() {
    QTest::addColumn<bool>("si");
    QTest::addColumn<QString>("allegato"); // the name the slot gets
    QTest::newRow("Sì: il file è sostituito") << true << u"nota.txt"_s;
    QTest::newRow("No: copiato accanto, con un nome libero") << false << u"nota (3).txt"_s;
}

void TestMedia::allegatiSovrascrittura() {
    QFETCH(bool, si);
    QFETCH(QString, allegato);
    QVERIFY(QDir(cartella->percorso()).mkpath(QStringLiteral("Documenti_Allegati")));
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("origine")));
    Scrivi(cartella->percorso(QStringLiteral("Documenti_Allegati/nota.txt")), "vecchia");
    Scrivi(cartella->percorso(QStringLiteral("Documenti_Allegati/nota (2).txt")), "altra");
    const QString scelto = cartella->percorso(QStringLiteral("origine/nota.txt"));
    Scrivi(scelto, "nuova");
    etichetta("lblFile01")->setText(QStringLiteral("altro.txt"));
    dialoghi->rispondi(si ? Piattaforma::Risposta::Si : Piattaforma::Risposta::No);
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        dialoghi->allaProssimaScelta(scelto);
        QTest::mouseClick(w->btnSfoglia[0], Qt::LeftButton);
        QTest::mouseClick(w->btnApplica, Qt::LeftButton);
    });
    clic("btnAllegati");
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Domanda);
    QCOMPARE(dialoghi->ultimo(), SOVRASCRIVERE);
    QCOMPARE(Leggi(cartella->percorso(QStringLiteral("Documenti_Allegati/nota.txt"))),
             si ? QByteArray("nuova") : QByteArray("vecchia"));
    QCOMPARE(Leggi(cartella->percorso(QStringLiteral("Documenti_Allegati/nota (2).txt"))),
             QByteArray("altra"));
    // Either way the slot refers to the file the user chose.
    QCOMPARE(etichetta("lblFile01")->text(), allegato);
    QCOMPARE(Leggi(cartella->percorso(QStringLiteral("Documenti_Allegati/") + allegato)),
             QByteArray("nuova"));
}

void TestMedia::allegatiNomi_data() {
    QTest::addColumn<QString>("scelto");
    QTest::addColumn<int>("mib"); // size of the file
    QTest::addColumn<QString>("allegato");
    QTest::addColumn<QString>("messaggio");
    const QString lungo = QString(246, u'n') + u".pdf"_s;
    QTest::newRow("250 caratteri, 6 MiB") << lungo << 6 << lungo << QString();
    QTest::newRow("fuori da Windows-1252")
        << u"Ωmega €.txt"_s << 0 << u"_mega €.txt"_s
        << u"Il nome del file \"Ωmega €.txt\" contiene caratteri che la scheda non può "
           "conservare: il file è stato allegato come \"_mega €.txt\"."_s;
}

void TestMedia::allegatiNomi() {
    QFETCH(QString, scelto);
    QFETCH(int, mib);
    QFETCH(QString, allegato);
    QFETCH(QString, messaggio);
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("origine")));
    QByteArray contenuto(mib * 1024 * 1024 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < contenuto.size(); ++i)
        contenuto[i] = char((i * 7919) >> 3);
    Scrivi(cartella->percorso(QStringLiteral("origine/") + scelto), contenuto);
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        dialoghi->allaProssimaScelta(cartella->percorso(QStringLiteral("origine/") + scelto));
        QTest::mouseClick(w->btnSfoglia[0], Qt::LeftButton);
        QTest::mouseClick(w->btnApplica, Qt::LeftButton);
    });
    clic("btnAllegati");
    QCOMPARE(dialoghi->testi(), messaggio.isEmpty() ? QStringList() : QStringList{messaggio});
    QCOMPARE(etichetta("lblFile01")->text(), allegato);
    QVERIFY(Leggi(cartella->percorso(QStringLiteral("Documenti_Allegati/") + allegato)) ==
            contenuto);
    // The card now saves with that name.
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    QCOMPARE(PrimoRecord(cartella->leggiArchivio()).testo(Campo::File01), allegato);
}

namespace {

// A file that gives its bytes up to a point, then fails to read or just ends
// short of the size it claimed.
class SorgenteDifettosa final : public QIODevice {
  public:
    SorgenteDifettosa(qint64 dimensione, qint64 guasto, bool errore)
        : m_dimensione(dimensione), m_guasto(guasto), m_errore(errore) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_dimensione; }

  protected:
    qint64 readData(char *dati, qint64 massimo) override {
        if (m_letti >= m_guasto) return m_errore ? -1 : 0;
        const qint64 n = qMin(massimo, m_guasto - m_letti);
        std::memset(dati, 'n', size_t(n));
        m_letti += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

  private:
    qint64 m_dimensione, m_guasto, m_letti = 0;
    bool m_errore;
};

} // namespace

void TestMedia::allegatoSorgenteDifettosa_data() {
    QTest::addColumn<qint64>("guasto");
    QTest::addColumn<bool>("errore");
    QTest::addColumn<bool>("copiato");
    const qint64 mib = 1024 * 1024;
    QTest::newRow("errore di lettura a metà") << 3 * mib + 5 << true << false;
    QTest::newRow("errore al primo blocco") << qint64(0) << true << false;
    QTest::newRow("finisce prima della sua dimensione") << 3 * mib + 5 << false << false;
    QTest::newRow("intero") << 4 * mib << false << true;
}

void TestMedia::allegatoSorgenteDifettosa() {
    QFETCH(qint64, guasto);
    QFETCH(bool, errore);
    QFETCH(bool, copiato);
    const QString destinazione = cartella->percorso(QStringLiteral("listino.pdf"));
    Scrivi(destinazione, "la copia di ieri");
    SorgenteDifettosa sorgente(4 * 1024 * 1024, guasto, errore);
    QCOMPARE(CopiaAllegato(&sorgente, destinazione), copiato);
    QCOMPARE(Leggi(destinazione),
             copiato ? QByteArray(4 * 1024 * 1024, 'n') : QByteArray("la copia di ieri"));
    QCOMPARE(QDir(cartella->percorso()).entryList(QDir::Files).size(), 1); // nothing left beside
}

void TestMedia::allegatiCopiaFallita_data() {
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("messaggio"); // how the warning begins
    QTest::newRow("cartella non creabile")
        << u"cartella"_qs
        << u"Attenzione: non è stato possibile creare la cartella dei documenti allegati"_qs;
    QTest::newRow("file scelto sparito")
        << u"sparito"_qs << u"Attenzione: non è stato possibile copiare il file"_qs;
    QTest::newRow("al suo posto una cartella")
        << u"occupato"_qs << u"Attenzione: non è stato possibile copiare il file"_qs;
    QTest::newRow("nome troppo lungo") << u"lungo"_qs << u"Attenzione: il nome del file"_qs;
}

void TestMedia::allegatiCopiaFallita() {
    QFETCH(QString, caso);
    QFETCH(QString, messaggio);
    QVERIFY(QDir(cartella->percorso()).mkdir(QStringLiteral("origine")));
    const QString nome = caso == u"lungo" ? QString(251, u'x') : QStringLiteral("ordine.pdf");
    const QString scelto = cartella->percorso(QStringLiteral("origine/") + nome);
    if (caso != u"sparito") Scrivi(scelto, "ordine");
    if (caso == u"cartella") Scrivi(cartella->percorso(QStringLiteral("Documenti_Allegati")), "x");
    if (caso == u"occupato")
        QVERIFY(QDir(cartella->percorso())
                    .mkpath(QStringLiteral("Documenti_Allegati/ordine.pdf/dentro")));
    etichetta("lblFile01")->setText(QStringLiteral("vecchio.pdf"));
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        dialoghi->allaProssimaScelta(scelto);
        QTest::mouseClick(w->btnSfoglia[0], Qt::LeftButton);
        QCOMPARE(w->txtFile[0]->text(), QStringLiteral("vecchio.pdf"));
        QTest::mouseClick(w->btnApplica, Qt::LeftButton);
    });
    clic("btnAllegati");
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    QVERIFY2(dialoghi->ultimo().startsWith(messaggio), qPrintable(dialoghi->ultimo()));
    QVERIFY(dialoghi->ultimo().endsWith(QStringLiteral("L'allegato non è stato cambiato.")));
    QCOMPARE(etichetta("lblFile01")->text(), QStringLiteral("vecchio.pdf"));
}

void TestMedia::allegatiCancellaApplicaSalva() {
    cartella->scriviArchivio(ArchivioDi({SchedaDiProva({{Campo::Codice, u"A1"_qs},
                                                        {Campo::Costo, u"1,00"_qs},
                                                        {Campo::Nome, u"Vite"_qs},
                                                        {Campo::Tipologia, u"Ferramenta"_qs},
                                                        {Campo::File01, u"contratto.pdf"_qs},
                                                        {Campo::Desc01, u"Contratto"_qs},
                                                        {Campo::File02, u"bolla.pdf"_qs},
                                                        {Campo::Desc02, u"Bolla"_qs}})}));
    QVERIFY(QDir(cartella->percorso()).mkpath(QStringLiteral("Documenti_Allegati")));
    Scrivi(cartella->percorso(QStringLiteral("Documenti_Allegati/contratto.pdf")), "contratto");
    clic("cmdPrimo");
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        QTest::mouseClick(w->imgCancella[0], Qt::LeftButton);
        QCOMPARE(w->txtFile[0]->text(), QString());
        QVERIFY(!w->btnApri[0]->isEnabled());
        QCOMPARE(w->txtDesc[0]->text(), QStringLiteral("Contratto"));
        // From the keyboard, Canc in the file box does the same.
        w->txtFile[1]->setFocus();
        QTest::keyClick(w->txtFile[1], Qt::Key_Delete);
        QCOMPARE(w->txtFile[1]->text(), QString());
        w->btnApplica->setFocus();
        QTest::keyClick(w->btnApplica, Qt::Key_Return);
        QVERIFY(!w->isVisible());
    });
    clic("btnAllegati");
    QCOMPARE(etichetta("lblFile01")->text(), QString());
    QCOMPARE(etichetta("lblDesc01")->text(), QStringLiteral("Contratto"));
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MODIFICATA});
    const TScheda salvata = PrimoRecord(cartella->leggiArchivio());
    QCOMPARE(salvata.testo(Campo::File01), QString());
    QCOMPARE(salvata.testo(Campo::Desc01), QStringLiteral("Contratto"));
    QCOMPARE(salvata.testo(Campo::File02), QString());
    QCOMPARE(salvata.testo(Campo::Desc02), QStringLiteral("Bolla"));
    QVERIFY(
        QFileInfo::exists(cartella->percorso(QStringLiteral("Documenti_Allegati/contratto.pdf"))));
}

void TestMedia::allegatiCancellaAnnulla() {
    const char *nomi[6] = {"lblFile01", "lblFile02", "lblFile03",
                           "lblDesc01", "lblDesc02", "lblDesc03"};
    for (int i = 0; i < 6; ++i)
        etichetta(nomi[i])->setText(QStringLiteral("valore ") + QString::number(i));
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        for (std::size_t i = 0; i < 3; ++i) {
            QTest::mouseClick(w->imgCancella[i], Qt::LeftButton);
            w->txtDesc[i]->clear();
        }
        QTest::mouseClick(w->btnAnnulla, Qt::LeftButton);
        QVERIFY(!w->isVisible());
    });
    clic("btnAllegati");
    for (int i = 0; i < 6; ++i)
        QCOMPARE(etichetta(nomi[i])->text(), QStringLiteral("valore ") + QString::number(i));
}

void TestMedia::allegatiApri() {
    // The exact names, a quote in one of them; the third file is missing.
    QDir().mkpath(cartella->percorso(QStringLiteral("Documenti_Allegati")));
    for (const QString &nome : {QStringLiteral("Listino prezzi; $(id).pdf"), u"a\"b.txt"_s})
        Scrivi(cartella->percorso(QStringLiteral("Documenti_Allegati/") + nome), "x");
    etichetta("lblFile01")->setText(QStringLiteral("  Listino prezzi; $(id).pdf "));
    etichetta("lblFile02")->setText(u"a\"b.txt"_s);
    etichetta("lblFile03")->setText(u"perso.pdf"_s);
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        for (auto *apri : w->btnApri)
            QTest::mouseClick(apri, Qt::LeftButton);
        QTest::mouseClick(w->btnAnnulla, Qt::LeftButton);
    });
    clic("btnAllegati");
    QCOMPARE(dialoghi->aperti(),
             (QList<QUrl>{QUrl::fromLocalFile(cartella->percorso(
                              QStringLiteral("Documenti_Allegati/Listino prezzi; $(id).pdf"))),
                          QUrl::fromLocalFile(
                              cartella->percorso(QStringLiteral("Documenti_Allegati/a\"b.txt")))}));
    QCOMPARE(dialoghi->testi(), QStringList{u"Attenzione: il file \""_s +
                                            cartella->percorso(u"Documenti_Allegati/perso.pdf"_s) +
                                            u"\" non esiste."_s});
    dialoghi->azzera();
    etichetta("lblFile02")->clear();
    etichetta("lblFile03")->clear();

    // A damaged card whose name leads out of the folder opens nothing.
    etichetta("lblFile01")->setText(QStringLiteral("../Magazzino.pro"));
    etichetta("lblFile02")->setText(QStringLiteral(".."));
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        QTest::mouseClick(w->btnApri[0], Qt::LeftButton);
        QTest::mouseClick(w->btnApri[1], Qt::LeftButton);
        QTest::mouseClick(w->btnAnnulla, Qt::LeftButton);
    });
    clic("btnAllegati");
    QCOMPARE(dialoghi->aperti().size(), 2);
    QCOMPARE(dialoghi->testi().size(), 2);
    QCOMPARE(dialoghi->mostrati().last().genere, Genere::Avviso);
    QVERIFY(dialoghi->testi().first().contains(QStringLiteral("\"../Magazzino.pro\"")));
}

void TestMedia::allegatiDescrizioneLunga() {
    QString lunga;
    for (int i = 0; i < 30; ++i)
        lunga += QStringLiteral("Parola%1 ").arg(i, 3, 10, QLatin1Char('0'));
    lunga = lunga.left(300);
    QCOMPARE(lunga.size(), 300);
    dialoghi->allaProssimaFinestra([&](QDialog *d) {
        auto *w = static_cast<TfrmAllegaCartella *>(d);
        w->txtDesc[2]->setFocus();
        QTest::keyClicks(w->txtDesc[2], lunga);
        QCOMPARE(w->txtDesc[2]->text(), lunga);
        // Enter in a box presses no button.
        QTest::keyClick(w->txtDesc[2], Qt::Key_Return);
        QVERIFY(w->isVisible());
        QVERIFY(dialoghi->sceltePresentate().isEmpty());
        QTest::mouseClick(w->btnApplica, Qt::LeftButton);
    });
    clic("btnAllegati");
    QCOMPARE(etichetta("lblDesc03")->text(), lunga.trimmed());
    dialoghi->guardaProssimaFinestra([&](QDialog *d) {
        QCOMPARE(static_cast<TfrmAllegaCartella *>(d)->txtDesc[2]->text(), lunga.trimmed());
    });
    clic("btnAllegati");
    compila(QStringLiteral("A1"));
    clic("btnSalva");
    QCOMPARE(PrimoRecord(cartella->leggiArchivio()).testo(Campo::Desc03),
             lunga.left(250).trimmed());
}

QTEST_MAIN(TestMedia)
#include "tst_media.moc"
