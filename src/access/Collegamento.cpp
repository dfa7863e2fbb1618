#include "access/Collegamento.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

Collegamento::Collegamento(const QString &nome, const QString &testo, QWidget *genitore)
    : QAbstractButton(genitore) {
    setObjectName(nome);
    setText(testo);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(14);
    font.setUnderline(true);
    setFont(font);
    accompagna(this);
}

void Collegamento::impostaColore(QColor colore) {
    m_colore = colore;
    update();
}

void Collegamento::accompagna(QAbstractButton *immagine) {
    connect(immagine, &QAbstractButton::pressed, this, [this] { impostaColore(arancio()); });
    connect(immagine, &QAbstractButton::released, this, [this] { impostaColore(blu()); });
}

QSize Collegamento::sizeHint() const {
    return fontMetrics().size(Qt::TextSingleLine, text()) + QSize(8, 6);
}

void Collegamento::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setPen(m_colore);
    p.setFont(font());
    const QRect zona = rect().adjusted(3, 2, -3, -2);
    p.drawText(zona, Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        QStyleOptionFocusRect opzioni;
        opzioni.initFrom(this);
        opzioni.rect = fontMetrics()
                           .boundingRect(zona, Qt::AlignLeft | Qt::AlignVCenter, text())
                           .adjusted(-2, -1, 2, 1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opzioni, &p, this);
    }
}

void Collegamento::keyPressEvent(QKeyEvent *evento) {
    if (evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(evento);
}
