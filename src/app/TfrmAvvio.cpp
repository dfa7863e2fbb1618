#include "app/TfrmAvvio.h"

#include "access/Produttore.h"
#include "access/TfrmGuida.h"
#include "access/TfrmInfo.h"
#include "access/TfrmSplash.h"
#include "backup/ComandoBackup.h"
#include "count/ComandoConteggio.h"
#include "invoices/ComandoFattura.h"
#include "movements/ComandoMovimenti.h"
#include "platform/Dialoghi.h"
#include "server/CopieServer.h"
#include "server/TfrmArchivioServer.h"
#include "shop/TfrmDatiNegozio.h"
#include "widgets/Controlli.h"
#include "widgets/PulsanteTastiera.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QShowEvent>

namespace {

// A command added to the launcher: a small pill in the colours of the two
// main buttons, with the yellow frame of the program's focus highlight. It
// replaces whatever look the command came with, so all of them look alike.
void AspettoComando(QAbstractButton *pulsante) {
    pulsante->setCursor(Qt::PointingHandCursor);
    pulsante->setStyleSheet(QStringLiteral(
        "QAbstractButton { color: white; font: bold 11pt 'Verdana'; border: 2px solid white; "
        "border-radius: 20px; padding: 0px 12px; background: qlineargradient(x1:0, y1:0, x2:0, "
        "y2:1, stop:0 #3f86d6, stop:1 #1d4f91); }"
        "QAbstractButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #5a9be3, stop:1 #2a62a8); }"
        "QAbstractButton:pressed { background: #1d4f91; }"
        "QAbstractButton:focus { border: 3px solid #ffd700; }"));
}

} // namespace

TfrmAvvio::TfrmAvvio(QWidget *genitore) : QWidget(genitore, Qt::Window) {
    auto *pan = PreparaFinestra(this, QStringLiteral("TfrmAvvio"), QStringLiteral(" Quadrelo"),
                                QColor(0x2f, 0x6f, 0xb8), QSize(980, 640));

    auto immagine = [pan](const QString &nome, const QString &disegno, QRect posto,
                          const QString &descrizione) {
        auto *l = new QLabel(pan);
        l->setObjectName(nome);
        l->setGeometry(posto);
        l->setPixmap(Disegno(disegno, posto.size()));
        l->setAccessibleName(descrizione);
        return l;
    };
    immagine(QStringLiteral("icoLogo"), QStringLiteral("quadrelo"), QRect(300, 20, 96, 80),
             QStringLiteral("Logo di Quadrelo"));
    immagine(QStringLiteral("icoTitolo01"), QStringLiteral("titolo"), QRect(404, 18, 300, 64),
             QStringLiteral("Quadrelo"));
    immagine(QStringLiteral("icoTitolo02"), QStringLiteral("titolo2"), QRect(404, 80, 300, 24),
             QStringLiteral("Magazzino e inventario"));

    auto *sottotitolo = new QLabel(
        QStringLiteral("Software per registrare i prodotti in magazzino e ottenere l'inventario "
                       "della merce in giacenza con acquisizione foto da WebCam"),
        pan);
    sottotitolo->setObjectName(QStringLiteral("imgSottotitolo"));
    sottotitolo->setWordWrap(true);
    sottotitolo->setAlignment(Qt::AlignCenter);
    sottotitolo->setGeometry(140, 120, 700, 56);
    QFont fontSottotitolo(QStringLiteral("Verdana"));
    fontSottotitolo.setPointSize(12);
    fontSottotitolo.setItalic(true);
    sottotitolo->setFont(fontSottotitolo);
    sottotitolo->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: rgba(20,60,110,150); border-radius: 10px; "
        "padding: 4px 16px; }"));

    auto pulsante = [pan](const QString &nome, const QString &disegno, QRect posto,
                          const QString &didascalia) {
        auto *b = new PulsanteImmagine(nome, disegno, didascalia, pan, false);
        b->setIconSize(posto.size() - QSize(4, 4));
        b->setGeometry(posto);
        return b;
    };
    auto *imgMagazzino =
        pulsante(QStringLiteral("imgMagazzino"), QStringLiteral("cerchio_magazzino"),
                 QRect(190, 200, 240, 240), QStringLiteral("Magazzino Prodotti"));
    auto *btnMagazzino =
        pulsante(QStringLiteral("btnMagazzino"), QStringLiteral("bottone_magazzino"),
                 QRect(170, 456, 280, 64), QStringLiteral("Magazzino Prodotti"));
    auto *imgInventario =
        pulsante(QStringLiteral("imgInventario"), QStringLiteral("cerchio_inventario"),
                 QRect(550, 200, 240, 240), QStringLiteral("Inventario Merce"));
    auto *btnInventario =
        pulsante(QStringLiteral("btnInventario"), QStringLiteral("bottone_inventario"),
                 QRect(530, 456, 280, 64), QStringLiteral("Inventario Merce"));
    auto *imgInfo = pulsante(QStringLiteral("imgInfo"), QStringLiteral("info"),
                             QRect(16, 16, 56, 56), QStringLiteral("Informazioni"));
    auto *imgGuida = pulsante(QStringLiteral("imgGuida"), QStringLiteral("guida"),
                              QRect(908, 16, 56, 56), QStringLiteral("Guida"));
    auto *imgCopyright = pulsante(QStringLiteral("imgCopyright"), QStringLiteral("copyright"),
                                  QRect(16, 568, 56, 56), QStringLiteral("Riconoscimenti"));
    auto *imgSito =
        pulsante(QStringLiteral("imgSito"), QStringLiteral("sito"), QRect(290, 572, 400, 50),
                 QStringLiteral("Sito web di Quadrelo: www.quadrelo.it"));
    auto *imgEsci = pulsante(QStringLiteral("imgEsci"), QStringLiteral("chiudi"),
                             QRect(908, 568, 56, 56), QStringLiteral("Esci dal programma"));

    // Every picture is reached with Tab, in reading order, and pressed with
    // Enter or Space.
    QToolButton *ordine[] = {imgInfo,       imgGuida,     imgMagazzino, btnMagazzino, imgInventario,
                             btnInventario, imgCopyright, imgSito,      imgEsci};
    for (QToolButton *b : ordine)
        PulsanteDaTastiera(b);
    for (std::size_t i = 1; i < std::size(ordine); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);
    m_primo = imgMagazzino;

    connect(imgMagazzino, &QToolButton::clicked, this, &TfrmAvvio::imgMagazzinoClick);
    connect(btnMagazzino, &QToolButton::clicked, this, &TfrmAvvio::imgMagazzinoClick);
    connect(imgInventario, &QToolButton::clicked, this, &TfrmAvvio::imgInventarioClick);
    connect(btnInventario, &QToolButton::clicked, this, &TfrmAvvio::imgInventarioClick);
    connect(imgEsci, &QToolButton::clicked, this, &TfrmAvvio::imgEsciClick);
    connect(imgInfo, &QToolButton::clicked, this, &TfrmAvvio::imgInfoClick);
    connect(imgGuida, &QToolButton::clicked, this, &TfrmAvvio::imgGuidaClick);
    connect(imgCopyright, &QToolButton::clicked, this, &TfrmAvvio::imgCopyrightClick);
    connect(imgSito, &QToolButton::clicked, this, &TfrmAvvio::imgSitoClick);

    // The commands added on the bottom row, one each side of the site's link
    // and of equal size.
    // On the server's archive the backup copies it through the server's folder.
    PreparaComandoBackup(this, pan, QRect(710, 578, 170, 40), QRect(140, 528, 700, 36),
                         CopieArchivio{ServerInUsoInCartella, CartellaNelServerInUso});
    PreparaComandoMovimenti(this, pan, QRect(100, 578, 170, 40));
    PreparaComandoNegozio(this, pan, QRect(76, 24, 206, 40));
    PreparaComandoConteggio(this, pan, QRect(704, 76, 198, 40));
    PreparaComandoArchivioServer(this, pan, QRect(76, 70, 206, 40));
    // Beside the title, across from the shop's data, on two lines.
    PreparaComandoFattura(this, pan, QRect(704, 20, 198, 50))
        ->setText(QStringLiteral("Carico da fattura\nelettronica..."));
    for (const QString &nome :
         {QStringLiteral("btnMovimenti"), QStringLiteral("btnBackup"), QStringLiteral("btnNegozio"),
          QStringLiteral("btnFattura"), QStringLiteral("btnConteggio"),
          QStringLiteral("btnArchivioServer")})
        if (auto *b = pan->findChild<QAbstractButton *>(nome)) AspettoComando(b);
    // Enter presses the focused command as Space does; the pictures do so themselves.
    InvioPremePulsante(this);
    // The bottom row in reading order, the commands placed above included.
    QWidget *rigaBassa[] = {imgCopyright, pan->findChild<QWidget *>(QStringLiteral("btnMovimenti")),
                            imgSito, pan->findChild<QWidget *>(QStringLiteral("btnBackup")),
                            imgEsci};
    // The shop's data sits after the information picture, in reading order.
    // and the invoice and count commands before the help picture.
    auto *negozio = pan->findChild<QWidget *>(QStringLiteral("btnNegozio"));
    auto *fattura = pan->findChild<QWidget *>(QStringLiteral("btnFattura"));
    auto *conteggio = pan->findChild<QWidget *>(QStringLiteral("btnConteggio"));
    // The server's command sits under the shop's data and follows it.
    auto *server = pan->findChild<QWidget *>(QStringLiteral("btnArchivioServer"));
    setTabOrder(imgInfo, negozio);
    setTabOrder(negozio, server);
    setTabOrder(server, fattura);
    setTabOrder(fattura, conteggio);
    setTabOrder(conteggio, imgGuida);
    QWidget *prima = nullptr;
    for (QWidget *w : rigaBassa) {
        if (!w) continue;
        if (prima) setTabOrder(prima, w);
        prima = w;
    }
}

void TfrmAvvio::imgInfoClick() {
    TfrmInfo finestra(this);
    Piattaforma::dialoghi().esegui(&finestra);
}

void TfrmAvvio::imgGuidaClick() {
    ApriGuida(this, TemaGuida::Avvio);
}

void TfrmAvvio::imgCopyrightClick() {
    TfrmSplash finestra(this);
    Piattaforma::dialoghi().esegui(&finestra);
}

void TfrmAvvio::imgSitoClick() {
    Piattaforma::ApriConDesktop(Produttore::SitoWeb());
}

void TfrmAvvio::imgMagazzinoClick() {
    emit apriMagazzino();
}

void TfrmAvvio::imgInventarioClick() {
    emit apriInventario();
}

void TfrmAvvio::imgEsciClick() {
    emit esci();
}

void TfrmAvvio::showEvent(QShowEvent *evento) {
    QWidget::showEvent(evento);
    // Enter at once opens the card window, as a click on its picture does.
    if (!evento->spontaneous()) m_primo->setFocus(Qt::OtherFocusReason);
}

void TfrmAvvio::closeEvent(QCloseEvent *evento) {
    evento->accept();
    emit esci();
}
