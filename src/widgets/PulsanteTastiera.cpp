#include "widgets/PulsanteTastiera.h"

#include <QEvent>
#include <QKeyEvent>
#include <QToolButton>

namespace {

class InvioSulPulsante : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *oggetto, QEvent *evento) override {
        if (evento->type() != QEvent::KeyPress) return false;
        const auto *tasto = static_cast<QKeyEvent *>(evento);
        if (tasto->key() != Qt::Key_Return && tasto->key() != Qt::Key_Enter) return false;
        if (tasto->modifiers() & ~Qt::KeypadModifier) return false;
        auto *pulsante = static_cast<QToolButton *>(oggetto);
        if (!pulsante->isEnabled()) return false;
        pulsante->click();
        return true;
    }
};

} // namespace

void PulsanteDaTastiera(QToolButton *pulsante) {
    pulsante->setFocusPolicy(Qt::TabFocus);
    pulsante->setStyleSheet(pulsante->styleSheet() +
                            QStringLiteral("QToolButton:focus { border: 2px solid #1d4f91; "
                                           "background: rgba(255,255,255,150); }"));
    pulsante->installEventFilter(new InvioSulPulsante(pulsante));
}
