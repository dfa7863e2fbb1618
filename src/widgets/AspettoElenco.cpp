#include "widgets/AspettoElenco.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

QFont FontVerdana(int punti, bool grassetto) {
    QFont font(u"Verdana"_s);
    font.setPointSize(punti);
    font.setBold(grassetto);
    return font;
}

QPushButton *PulsanteElenco(const QString &nome, const QString &testo, QWidget *genitore) {
    auto *b = new QPushButton(testo, genitore);
    b->setObjectName(nome);
    b->setAccessibleName(testo);
    b->setFont(FontVerdana(11, true));
    b->setAutoDefault(true);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}
