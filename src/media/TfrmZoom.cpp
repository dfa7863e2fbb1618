#include "media/TfrmZoom.h"

#include "widgets/Controlli.h"
#include "widgets/RiquadroFoto.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

TfrmZoom::TfrmZoom(QWidget *proprietario) : QDialog(proprietario) {
    panContainer =
        PreparaFinestra(this, QStringLiteral("TfrmZoom"),
                        QStringLiteral(" Fare clic sulla foto per chiudere questa finestra"),
                        QColor(0x9d, 0xb5, 0xca), QSize(995, 692));
    panContainer->setAttribute(Qt::WA_StyledBackground);
    panContainer->setStyleSheet(QStringLiteral(
        "#panContainer { background: white; border: 1px solid #9db5ca; border-radius: 6px; }"));
    imgFoto = new RiquadroFoto(panContainer);
    imgFoto->setObjectName(QStringLiteral("imgFoto"));
    imgFoto->setAccessibleName(QStringLiteral("Foto del prodotto ingrandita"));
    imgFoto->setAccessibleDescription(
        QStringLiteral("Fare clic sulla foto per chiudere questa finestra."));
    imgFoto->setGeometry((995 - 969) / 2, (692 - 669) / 2, 969, 669);
    imgFoto->setCursor(Qt::PointingHandCursor);

    // Opens maximised: its normal size is the screen's working area too, for
    // desktops that do not maximise.
    if (auto *schermo = screen()) setGeometry(schermo->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmZoom::mouseReleaseEvent(QMouseEvent *evento) {
    // Clicks on the picture, the panel and the background all end up here.
    if (evento->button() == Qt::LeftButton && rect().contains(evento->position().toPoint()))
        accept();
    else
        QDialog::mouseReleaseEvent(evento);
}

void TfrmZoom::keyPressEvent(QKeyEvent *evento) {
    switch (evento->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        accept();
        break;
    default:
        QDialog::keyPressEvent(evento);
    }
}
