#include "access/PezziAccesso.h"

#include "widgets/Controlli.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace PezziAccesso {

QLineEdit *crea(QWidget *genitore, const QString &nome, const QString &evidenza,
                const QString &nomeAccessibile, QRect posto) {
    auto *casella = new QLineEdit(genitore);
    casella->setObjectName(nome);
    casella->setEchoMode(QLineEdit::Password);
    casella->setAccessibleName(nomeAccessibile);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(14);
    font.setBold(true);
    casella->setFont(font);
    casella->setGeometry(posto);
    RiquadroEvidenza::perCasella(evidenza, casella);
    return casella;
}

QLabel *etichetta(QWidget *genitore, const QString &nome, const QString &testo, QRect posto) {
    auto *l = new QLabel(testo, genitore);
    l->setObjectName(nome);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(10);
    l->setFont(font);
    l->setGeometry(posto);
    return l;
}

QPushButton *pulsante(QWidget *genitore, const QString &nome, const QString &testo, QRect posto) {
    auto *b = new QPushButton(testo, genitore);
    b->setObjectName(nome);
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoDefault(true);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(10);
    b->setFont(font);
    b->setGeometry(posto);
    return b;
}

void centra(QWidget *finestra) {
    if (auto *schermo = finestra->screen())
        finestra->move(schermo->availableGeometry().center() - finestra->rect().center());
}

} // namespace PezziAccesso
