#include "media/TfrmWebCam.h"

#include "archive/FotoScheda.h"
#include "archive/RegoleNumeri.h"
#include "labels/LettoreCodici.h"
#include "media/ComandiFoto.h"
#include "platform/Dialoghi.h"
#include "platform/Videocamera.h"
#include "widgets/Controlli.h"
#include "widgets/ImmagineBianca.h"
#include "widgets/RiquadroFoto.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QSvgRenderer>

using Piattaforma::dialoghi;
using Piattaforma::ScegliFileDaSalvare;

QImage ImmagineWebcam() {
    QImage immagine(366, 274, QImage::Format_RGB32);
    immagine.fill(QColor(0xee, 0xf2, 0xf7));
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer disegno(QStringLiteral(":/webcam.svg"));
    if (disegno.isValid()) disegno.render(&p, QRectF(123, 77, 120, 120));
    p.setPen(QPen(QColor(0xd5, 0xde, 0xea), 2));
    p.drawRect(QRectF(1, 1, 363, 271));
    return immagine;
}

TfrmWebCam::TfrmWebCam(QWidget *proprietario, RiquadroFoto *fotoScheda)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_fotoScheda(fotoScheda), m_camCamera(Piattaforma::CreaVideocamera()) {
    ImpostaFormati();
    setObjectName(QStringLiteral("TfrmWebCam"));
    setWindowTitle(QStringLiteral(" Cattura foto con webcam"));
    setFixedSize(807, 405);

    auto pannello = [this](const QString &nome, const QString &immagine, const QString &accessibile,
                           int x) {
        auto *pan = new QLabel(this);
        pan->setObjectName(nome);
        pan->setGeometry(x, 16, 386, 294);
        pan->setStyleSheet(QStringLiteral("QLabel { background: white; border: 1px solid "
                                          "#4f7397; border-radius: 6px; }"));
        auto *img = new RiquadroFoto(pan);
        img->setObjectName(immagine);
        img->setAccessibleName(accessibile);
        img->setGeometry(10, 10, 366, 274);
        return img;
    };
    imgCamera = pannello(QStringLiteral("panCamera"), QStringLiteral("imgCamera"),
                         QStringLiteral("Immagine della webcam"), 10);
    imgTarget = pannello(QStringLiteral("panTarget"), QStringLiteral("imgTarget"),
                         QStringLiteral("Foto catturata"), 411);
    imgBianco = new RiquadroFoto(this);
    imgBianco->setObjectName(QStringLiteral("imgBianco"));
    imgBianco->impostaImmagine(ImmagineWebcam());
    imgBianco->hide();
    imgCamera->impostaImmagine(imgBianco->immagine());
    imgTarget->impostaImmagine(ImmagineBianca());

    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSize(10);
    auto pulsante = [&](const QString &nome, const QString &testo, QRect posto) {
        auto *b = new QPushButton(testo, this);
        b->setObjectName(nome);
        b->setFont(verdana);
        b->setGeometry(posto);
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoDefault(true);
        return b;
    };
    btnAccendi = pulsante(QStringLiteral("btnAccendi"), QStringLiteral("Accendi webcam"),
                          QRect(10, 320, 124, 32));
    btnCattura = pulsante(QStringLiteral("btnCattura"), QStringLiteral("Cattura foto"),
                          QRect(141, 320, 124, 32));
    btnSpegni = pulsante(QStringLiteral("btnSpegni"), QStringLiteral("Spegni webcam"),
                         QRect(272, 320, 124, 32));
    btnSalvaFotogramma = pulsante(QStringLiteral("btnSalvaFotogramma"),
                                  QStringLiteral("Salva foto su disco"), QRect(411, 320, 190, 32));
    btnImportaFoto = pulsante(QStringLiteral("btnImportaFoto"),
                              QStringLiteral("Importa foto in scheda"), QRect(607, 320, 190, 32));
    btnClose =
        pulsante(QStringLiteral("btnClose"), QStringLiteral("Annulla"), QRect(667, 363, 130, 32));

    btnLeggiCodice = pulsante(QStringLiteral("btnLeggiCodice"),
                              QStringLiteral("Leggi codice a barre"), QRect(10, 363, 256, 32));
    lblCodiceLetto = new QLabel(this);
    lblCodiceLetto->setObjectName(QStringLiteral("lblCodiceLetto"));
    lblCodiceLetto->setFont(verdana);
    lblCodiceLetto->setTextFormat(Qt::PlainText);
    lblCodiceLetto->setGeometry(276, 363, 385, 32);
    ValoreAccessibile(lblCodiceLetto, QStringLiteral("Codice a barre"));

    const QList<QWidget *> ordine{btnAccendi, btnCattura,     btnSalvaFotogramma,
                                  btnSpegni,  btnImportaFoto, btnLeggiCodice,
                                  btnClose};
    for (int i = 1; i < ordine.size(); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    connect(btnAccendi, &QPushButton::clicked, this, &TfrmWebCam::btnAccendiClick);
    connect(btnCattura, &QPushButton::clicked, this, &TfrmWebCam::btnCatturaClick);
    connect(btnSalvaFotogramma, &QPushButton::clicked, this, &TfrmWebCam::btnSalvaFotogrammaClick);
    connect(btnSpegni, &QPushButton::clicked, this, &TfrmWebCam::btnSpegniClick);
    connect(btnImportaFoto, &QPushButton::clicked, this, &TfrmWebCam::btnImportaFotoClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmWebCam::btnCloseClick);
    connect(btnLeggiCodice, &QPushButton::clicked, this, &TfrmWebCam::btnLeggiCodiceClick);
    // Frames reach this window on its own thread, one hand-over at a time;
    // the connection ends with the camera, so none arrives after the window.
    connect(m_camCamera.get(), &Piattaforma::Videocamera::fotogrammaPronto, this,
            &TfrmWebCam::fotogrammaArrivato);
}

TfrmWebCam::~TfrmWebCam() {
    m_camCamera.reset();
    m_lettore.reset();
}

bool TfrmWebCam::webcamAccesa() const {
    return m_camCamera && m_camCamera->accesa();
}

void TfrmWebCam::fotogrammaArrivato() {
    const QImage fotogramma = m_camCamera->ultimoFotogramma();
    if (fotogramma.isNull()) return;
    imgCamera->impostaImmagine(fotogramma);
    if (m_lettore && m_codiceLetto.isEmpty()) m_lettore->proponi(fotogramma);
}

void TfrmWebCam::btnLeggiCodiceClick() {
    m_camCamera->accendi();
    if (!m_camCamera->accesa()) {
        lblCodiceLetto->setText(QStringLiteral("Nessuna webcam disponibile."));
        return;
    }
    if (!m_lettore) {
        // Frames are read off this thread; the first code read opens its card.
        m_lettore = std::make_unique<LettoreWebcam>();
        connect(m_lettore.get(), &LettoreWebcam::codiceLetto, this, [this](const QString &c) {
            if (!m_codiceLetto.isEmpty()) return;
            m_codiceLetto = c;
            lblCodiceLetto->setText(QStringLiteral("Codice letto: ") + c);
            m_camCamera->spegni();
            accept();
        });
    }
    lblCodiceLetto->setText(QStringLiteral("Inquadrare il codice a barre..."));
}

void TfrmWebCam::btnAccendiClick() {
    if (!m_camCamera->accendi())
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                             QStringLiteral("Attenzione: nessuna webcam disponibile. Collegare la "
                                            "webcam, verificare che non sia in uso da un altro "
                                            "programma e riprovare."));
}

void TfrmWebCam::btnCatturaClick() {
    imgTarget->impostaImmagine(imgCamera->immagine());
}

void TfrmWebCam::btnSalvaFotogrammaClick() {
    const QString percorso =
        ScegliFileDaSalvare(this, TitoloSalvaFoto(), FiltriSalvaFoto(), QStringLiteral("Foto.jpg"));
    if (percorso.isEmpty()) return;
    if (!ScriviImmagine(percorso, imgTarget->immagine()))
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                             MessaggioFotoNonScritta(percorso));
}

void TfrmWebCam::btnSpegniClick() {
    m_camCamera->spegni();
}

void TfrmWebCam::btnImportaFotoClick() {
    m_camCamera->spegni();
    if (m_fotoScheda) m_fotoScheda->impostaImmagine(imgTarget->immagine());
    accept();
}

void TfrmWebCam::btnCloseClick() {
    m_camCamera->spegni();
    QDialog::reject();
}

void TfrmWebCam::reject() {
    btnCloseClick();
}

void TfrmWebCam::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    // Centred on the card window.
    if (!evento->spontaneous() && parentWidget()) {
        QRect cornice = frameGeometry();
        cornice.moveCenter(parentWidget()->frameGeometry().center());
        move(cornice.topLeft());
    }
}

void TfrmWebCam::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0x4f, 0x73, 0x97));
}
