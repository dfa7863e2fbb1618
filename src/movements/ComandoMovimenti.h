#pragma once

#include <QRect>

class QWidget;

// Places the "Movimenti" command on the launcher's panel: it opens the
// movements of a period.
void PreparaComandoMovimenti(QWidget *finestra, QWidget *pannello, QRect pulsante);
