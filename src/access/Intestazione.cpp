#include "access/Intestazione.h"

#include "widgets/Controlli.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

QLabel *CreaIntestazione(QWidget *genitore, QRect posto, const QString &icona,
                         const QString &titolo, const QStringList &righe, bool fasciaBianca) {
    const qreal scala = genitore->devicePixelRatioF();
    QPixmap disegno(posto.size() * scala);
    disegno.setDevicePixelRatio(scala);
    disegno.fill(Qt::transparent);
    QPainter p(&disegno);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), QSizeF(posto.size()));
    if (fasciaBianca) {
        p.setPen(QPen(QColor(0x9f, 0xbf, 0xe0), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
    const int margine = 8;
    const int lato = qMin(posto.height() - 2 * margine, 80);
    const QPixmap simbolo = Disegno(icona, QSize(lato, lato));
    const int ySimbolo = righe.isEmpty() ? (posto.height() - lato) / 2 : margine;
    p.drawPixmap(margine + 4, ySimbolo, simbolo);

    const int xTesto = margine + 4 + lato + 14;
    QFont fontTitolo(QStringLiteral("Verdana"));
    fontTitolo.setBold(true);
    fontTitolo.setPixelSize(righe.isEmpty() ? qMin(22, posto.height() / 3) : 22);
    p.setFont(fontTitolo);
    p.setPen(QColor(0x1d, 0x4f, 0x91));
    const int altezzaTitolo = QFontMetrics(fontTitolo).height();
    const QRect zonaTitolo(xTesto, righe.isEmpty() ? 0 : margine, posto.width() - xTesto - margine,
                           righe.isEmpty() ? posto.height() : altezzaTitolo);
    p.drawText(zonaTitolo, Qt::AlignLeft | Qt::AlignVCenter, titolo);

    if (!righe.isEmpty()) {
        QFont fontRighe(QStringLiteral("Verdana"));
        fontRighe.setPixelSize(12);
        p.setFont(fontRighe);
        p.setPen(QColor(0x20, 0x20, 0x20));
        const QRect zonaRighe(xTesto, margine + altezzaTitolo + 6, posto.width() - xTesto - margine,
                              posto.height() - altezzaTitolo - 2 * margine - 6);
        p.drawText(zonaRighe, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   righe.join(QStringLiteral("\n")));
    }
    p.end();

    auto *immagine = new QLabel(genitore);
    immagine->setObjectName(QStringLiteral("imgLogo"));
    immagine->setGeometry(posto);
    immagine->setPixmap(disegno);
    immagine->setAccessibleName(titolo);
    immagine->setAccessibleDescription(righe.join(QLatin1Char(' ')));
    return immagine;
}
