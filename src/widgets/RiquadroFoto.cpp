#include "widgets/RiquadroFoto.h"

#include <QPainter>

RiquadroFoto::RiquadroFoto(QWidget *genitore) : QWidget(genitore) {}

void RiquadroFoto::impostaImmagine(const QImage &immagine, const QByteArray &originale) {
    m_immagine = immagine;
    m_originale = originale;
    m_scalata = QImage();
    update();
    emit cambiata();
}

QRect RiquadroFoto::areaMostrata() const {
    if (m_immagine.isNull()) return QRect();
    const QSize dimensione = m_immagine.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - dimensione.width()) / 2, (height() - dimensione.height()) / 2),
                 dimensione);
}

void RiquadroFoto::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect area = areaMostrata();
    if (area.isEmpty()) return;
    if (m_scalata.size() != area.size())
        m_scalata = m_immagine.scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawImage(area.topLeft(), m_scalata);
}
