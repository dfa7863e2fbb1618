#pragma once

#include "archive/TScheda.h"

#include <QRect>

class QAbstractButton;
class QWidget;

// The card window's buttons for the journal: "Movimenti", "Elimina" and
// "Schede eliminate", placed on its panel within `area` (two rows). They are
// reached with Tab and never take the focus from the box being edited.
struct PulsantiMovimenti {
    QAbstractButton *btnMovimenti;
    QAbstractButton *btnElimina;
    QAbstractButton *btnSchedeEliminate;
};
PulsantiMovimenti PreparaPulsantiMovimenti(QWidget *pannello, QRect area);

// "Movimenti": the card's history. Gives the stock on disk when it changed
// there (a movement taken back), otherwise -1.
qint64 MostraMovimentiScheda(QWidget *finestra, qint64 posizione);

// "Elimina": asks, naming the card, and removes it if it is still `caricata`.
// True when removed; `mostrare`/`posizioneDaMostrare` give the card the window
// shows next (none when the archive is empty).
struct SchedaDopoEliminazione {
    bool eliminata = false;
    bool mostrare = false;
    qint64 posizione = 0;
    TScheda scheda;
};
SchedaDopoEliminazione EliminaSchedaConDomanda(QWidget *finestra, qint64 posizione,
                                               const TScheda &caricata);

// "Schede eliminate": the list and "Ripristina". The position of the card
// brought back last, 0 when none.
qint64 MostraSchedeEliminate(QWidget *finestra);
