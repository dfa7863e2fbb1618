#pragma once

class QToolButton;

// Makes a picture button reachable with Tab and pressable with Enter as well
// as Space, with a frame that shows when it has the focus. A click still
// leaves the focus where it was, so the box being edited keeps it.
void PulsanteDaTastiera(QToolButton *pulsante);
