#include "DialoghiFinti.h"
#include "Fixture.h"
#include "archive/FotoScheda.h"
#include "card/TfrmMagazzino.h"
#include "media/ComandiFoto.h"
#include "media/TfrmZoom.h"
#include "widgets/RiquadroFoto.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using Genere = DialoghiFinti::Genere;

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

QByteArray Leggi(const QString &percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Scrivi(const QString &percorso, const QByteArray &byte) {
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(byte), byte.size());
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

} // namespace

class TestMedia : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CartellaDiProva> cartella;
    std::unique_ptr<DialoghiFinti> dialoghi;
    std::unique_ptr<TfrmMagazzino> finestra;

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
};

void TestMedia::init() {
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
    struct rlimit prima {};
    getrlimit(RLIMIT_FSIZE, &prima);
    const auto segnale = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limite = prima;
    limite.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limite);
    dialoghi->allaProssimaScelta(percorso);
    clic("btnSalvaFoto");
    setrlimit(RLIMIT_FSIZE, &prima);
    std::signal(SIGXFSZ, segnale);

    QCOMPARE(dialoghi->testi(), QStringList{MessaggioFotoNonScritta(percorso)});
    QCOMPARE(Leggi(percorso), vecchia);
    QCOMPARE(foto()->immagine().size(), QSize(1600, 1200));
}

void TestMedia::cancellaFoto() {
    const QByteArray fileScheda = jpeg(Fotografia());
    cartella->scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));
    Scrivi(cartella->percorso(QStringLiteral("1.jpg")), fileScheda);
    clic("cmdPrimo");
    clic("btnCancFoto");
    QCOMPARE(foto()->immagine(), finestra->immagineBianca());
    QVERIFY(dialoghi->testi().isEmpty());
    // Not saved: the photo comes back when the card is shown again.
    clic("cmdAvanti");
    clic("cmdIndietro");
    QVERIFY(Simili(foto()->immagine(), Fotografia()));
    // Saved: the file holds the default picture, and still exists.
    clic("btnCancFoto");
    clic("btnSalva");
    QCOMPARE(dialoghi->testi(), QStringList{MODIFICATA});
    const QString percorso = cartella->percorso(QStringLiteral("1.jpg"));
    QCOMPARE(FormatoDi(percorso), QByteArray("jpeg"));
    QVERIFY(Simili(QImage(percorso), finestra->immagineBianca()));
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
                          << u"Immagine JPEG (*.jpg *.jpeg);;Immagine Bitmap (*.bmp)"_qs;
    QTest::newRow("copia") << FiltriSalvaFoto() << u"File Jpeg (*.jpg)"_qs;
    QTest::newRow("tutti i file") << QStringList{u"Tutti i file (*.*)"_qs}
                                  << u"Tutti i file (*)"_qs;
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

QTEST_MAIN(TestMedia)
#include "tst_media.moc"
