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
    const int xTesto = margine + 4 + lato + 14;
    const int larghezzaTesto = posto.width() - xTesto - margine;
    QFont fontTitolo(QStringLiteral("Verdana"));
    fontTitolo.setBold(true);
    fontTitolo.setPixelSize(righe.isEmpty() ? qMin(22, posto.height() / 3) : 22);
    QFont fontRighe(QStringLiteral("Verdana"));
    fontRighe.setPixelSize(13);
    const QString testoRighe = righe.join(QStringLiteral("\n"));
    const int altezzaTitolo = QFontMetrics(fontTitolo).height();
    const int altezzaRighe =
        righe.isEmpty() ? 0
                        : QFontMetrics(fontRighe)
                                  .boundingRect(QRect(0, 0, larghezzaTesto, posto.height()),
                                                Qt::TextWordWrap, testoRighe)
                                  .height() +
                              6;
    // Icon and words sit in the middle of the band.
    const int yTesto = qMax(margine, (posto.height() - altezzaTitolo - altezzaRighe) / 2);
    p.drawPixmap(margine + 4, (posto.height() - lato) / 2, Disegno(icona, QSize(lato, lato)));

    p.setFont(fontTitolo);
    p.setPen(QColor(0x1d, 0x4f, 0x91));
    p.drawText(QRect(xTesto, yTesto, larghezzaTesto, altezzaTitolo),
               Qt::AlignLeft | Qt::AlignVCenter, titolo);
    if (!righe.isEmpty()) {
        p.setFont(fontRighe);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.drawText(QRect(xTesto, yTesto + altezzaTitolo + 6, larghezzaTesto, altezzaRighe),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, testoRighe);
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
