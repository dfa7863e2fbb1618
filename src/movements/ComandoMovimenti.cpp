#include "movements/ComandoMovimenti.h"

#include "movements/TfrmMovimentiPeriodo.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

void PreparaComandoMovimenti(QWidget *finestra, QWidget *pannello, QRect pulsante) {
    auto *btnMovimenti = new QPushButton(u"Movimenti"_s, pannello);
    btnMovimenti->setObjectName(u"btnMovimenti"_s);
    btnMovimenti->setGeometry(pulsante);
    btnMovimenti->setFocusPolicy(Qt::StrongFocus);
    btnMovimenti->setCursor(Qt::PointingHandCursor);
    btnMovimenti->setAccessibleName(u"Movimenti"_s);
    btnMovimenti->setToolTip(u"Movimenti di magazzino per periodo"_s);
    btnMovimenti->setAccessibleDescription(u"Movimenti di magazzino per periodo"_s);
    QObject::connect(btnMovimenti, &QPushButton::clicked, finestra, [finestra] {
        TfrmMovimentiPeriodo periodo(finestra, DepositoCorrente());
        Piattaforma::dialoghi().esegui(&periodo);
    });
}
