#include "widgets/ImmagineBianca.h"

#include <QPainter>
#include <QPainterPath>

QImage ImmagineBianca() {
    QImage immagine(366, 274, QImage::Format_RGB32);
    immagine.fill(QColor(0xf4, 0xf7, 0xfb));
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    // A plain camera outline: says "no photo yet" without words.
    const QColor tratto(0xb8, 0xc6, 0xd8);
    p.setPen(QPen(tratto, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath corpo;
    corpo.addRoundedRect(QRectF(118, 92, 130, 90), 14, 14);
    p.drawPath(corpo);
    p.drawRoundedRect(QRectF(155, 76, 56, 20), 6, 6);
    p.drawEllipse(QPointF(183, 137), 28, 28);
    p.drawEllipse(QPointF(183, 137), 12, 12);
    p.setPen(QPen(QColor(0xd5, 0xde, 0xea), 2));
    p.drawRect(QRectF(1, 1, 363, 271));
    return immagine;
}
