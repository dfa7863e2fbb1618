#include "widgets/RiquadroFoto.h"

#include <QPainter>

RiquadroFoto::RiquadroFoto(QWidget *genitore) : QWidget(genitore) {}

void RiquadroFoto::impostaImmagine(const QImage &immagine) {
    m_immagine = immagine;
    m_scalata = QImage();
    update();
}

void RiquadroFoto::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (m_immagine.isNull()) return;
    const QSize dimensione = m_immagine.size().scaled(size(), Qt::KeepAspectRatio);
    if (m_scalata.size() != dimensione)
        m_scalata = m_immagine.scaled(dimensione, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawImage((width() - dimensione.width()) / 2, (height() - dimensione.height()) / 2,
                m_scalata);
}
