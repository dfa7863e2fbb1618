#include "access/TfrmSplash.h"

#include "access/Collegamento.h"
#include "access/PezziAccesso.h"
#include "access/Produttore.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"

#include <QDate>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>

namespace {

QStringList righeRiconoscimenti() {
    return {
        QStringLiteral("Progettazione e sviluppo: ") + Produttore::Nome(),
        QStringLiteral("Scritto in C++ con le librerie Qt"),
        QStringLiteral("Caratteri Liberation e DejaVu"),
        QStringLiteral("Icone e disegni realizzati per questo programma"),
    };
}

// The credits picture: the program's logo and name, and who made it.
QPixmap disegnaRiconoscimenti(QSize dimensione, qreal scala) {
    QPixmap disegno(dimensione * scala);
    disegno.setDevicePixelRatio(scala);
    disegno.fill(Qt::transparent);
    QPainter p(&disegno);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), QSizeF(dimensione));
    QLinearGradient fondo(0, 0, 0, dimensione.height());
    fondo.setColorAt(0, Qt::white);
    fondo.setColorAt(1, QColor(0xf3, 0xea, 0xdc));
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x4a), 2));
    p.setBrush(fondo);
    p.drawRoundedRect(area.adjusted(1, 1, -1, -1), 14, 14);

    p.drawPixmap(40, 34, Disegno(QStringLiteral("quadrelo"), QSize(120, 100)));
    // The name in solid dark blue: the launcher's white title would hardly
    // show on this light ground.
    QFont nome(QStringLiteral("Verdana"));
    nome.setPixelSize(56);
    nome.setBold(true);
    p.setFont(nome);
    p.setPen(QColor(0x1d, 0x4f, 0x91));
    p.drawText(AreaNomeRiconoscimenti, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quadrelo"));
    QFont sottotitolo(QStringLiteral("Verdana"));
    sottotitolo.setPixelSize(15);
    sottotitolo.setItalic(true);
    p.setFont(sottotitolo);
    p.setPen(QColor(0x35, 0x25, 0x25));
    p.drawText(QRect(40, 150, dimensione.width() - 80, 50), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("Magazzino prodotti e inventario della merce"));

    p.setPen(QPen(QColor(0xc8, 0xa8, 0x80), 1));
    p.drawLine(60, 208, dimensione.width() - 60, 208);

    QFont testo(QStringLiteral("Verdana"));
    testo.setPixelSize(14);
    p.setFont(testo);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(QRect(40, 222, dimensione.width() - 80, 100), Qt::AlignHCenter | Qt::AlignTop,
               righeRiconoscimenti().join(QLatin1Char('\n')));

    QFont diritti(QStringLiteral("Verdana"));
    diritti.setPixelSize(13);
    diritti.setBold(true);
    p.setFont(diritti);
    p.setPen(QColor(0x1d, 0x4f, 0x91));
    p.drawText(QRect(40, dimensione.height() - 48, dimensione.width() - 80, 30), Qt::AlignCenter,
               QStringLiteral("© ") + QString::number(QDate::currentDate().year()) +
                   QStringLiteral(" ") + Produttore::Nome() +
                   QStringLiteral(" - Tutti i diritti riservati"));
    return disegno;
}

} // namespace

TfrmSplash::TfrmSplash(QWidget *proprietario)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfrmSplash"));
    setWindowTitle(QStringLiteral(" Quadrelo - Realizzato da ") + Produttore::Nome());
    setFixedSize(661, 467);

    auto *imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setGeometry(18, 12, 625, 380);
    imgLogo->setPixmap(disegnaRiconoscimenti(imgLogo->size(), devicePixelRatioF()));
    imgLogo->setAccessibleName(QStringLiteral("Riconoscimenti"));
    imgLogo->setAccessibleDescription(righeRiconoscimenti().join(QStringLiteral(". ")));

    // A light band under the link, which the dark foot of the window would hide.
    auto *fascia = new QWidget(this);
    fascia->setObjectName(QStringLiteral("panWeb"));
    fascia->setAttribute(Qt::WA_StyledBackground);
    fascia->setStyleSheet(QStringLiteral(
        "QWidget#panWeb { background: rgba(255,255,255,225); border-radius: 8px; }"));
    fascia->setGeometry(12, 406, 250, 48);
    auto *imgWeb = new PulsanteImmagine(QStringLiteral("imgWeb"), QStringLiteral("web"),
                                        QStringLiteral("Sito web"), this, false);
    imgWeb->setIconSize(QSize(33, 30));
    imgWeb->setGeometry(18, 412, 39, 36);
    m_lnkWeb = new Collegamento(QStringLiteral("lnkWeb"), QStringLiteral("www.quadrelo.it"), this);
    m_lnkWeb->setGeometry(62, 412, 190, 36);
    m_lnkWeb->accompagna(imgWeb);

    auto *btnChiudi = PezziAccesso::pulsante(this, QStringLiteral("btnChiudi"),
                                             QStringLiteral("Chiudi"), QRect(513, 411, 130, 38));
    QFont chiudi(QStringLiteral("Verdana"));
    chiudi.setPointSize(12);
    btnChiudi->setFont(chiudi);

    setTabOrder(m_lnkWeb, btnChiudi);
    connect(imgWeb, &QAbstractButton::clicked, this, &TfrmSplash::lnkWebClick);
    connect(m_lnkWeb, &QAbstractButton::clicked, this, &TfrmSplash::lnkWebClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmSplash::lnkWebClick() {
    m_lnkWeb->impostaColore(Collegamento::blu());
    Piattaforma::ApriConDesktop(Produttore::SitoWeb());
}

void TfrmSplash::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    if (evento->spontaneous()) return;
    // Centred on the window that opened it.
    if (auto *proprietario = parentWidget())
        move(proprietario->window()->frameGeometry().center() - rect().center());
    else
        PezziAccesso::centra(this);
    findChild<QPushButton *>(QStringLiteral("btnChiudi"))->setFocus();
}

void TfrmSplash::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, Qt::white, QColor(0x35, 0x25, 0x25));
}
