#include "lists/Ancoraggi.h"

#include <QEvent>
#include <QWidget>

Ancoraggi::Ancoraggi(QWidget *contenitore, QSize progetto)
    : QObject(contenitore), m_contenitore(contenitore), m_progetto(progetto) {
    contenitore->setMinimumSize(progetto);
    contenitore->installEventFilter(this);
}

void Ancoraggi::aggiungi(QWidget *controllo, int regole) {
    m_voci.insert(controllo, {controllo->geometry(), regole});
    connect(controllo, &QObject::destroyed, this, [this, controllo] { m_voci.remove(controllo); });
    disponi();
}

bool Ancoraggi::eventFilter(QObject *oggetto, QEvent *evento) {
    if (oggetto == m_contenitore && evento->type() == QEvent::Resize) disponi();
    return QObject::eventFilter(oggetto, evento);
}

void Ancoraggi::disponi() {
    const int dx = qMax(0, m_contenitore->width() - m_progetto.width());
    const int dy = qMax(0, m_contenitore->height() - m_progetto.height());
    for (auto it = m_voci.cbegin(); it != m_voci.cend(); ++it) {
        QRect r = it->posto;
        const int regole = it->regole;
        if (regole & Centra) r.translate(dx / 2, dy / 2);
        if (regole & SegueDestra) r.translate(dx, 0);
        if (regole & SegueBasso) r.translate(0, dy);
        if (regole & AllargaLarghezza) r.setWidth(r.width() + dx);
        if (regole & AllargaAltezza) r.setHeight(r.height() + dy);
        it.key()->setGeometry(r);
    }
}
