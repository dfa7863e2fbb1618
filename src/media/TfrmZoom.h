#pragma once

#include <QDialog>

class RiquadroFoto;

// The card's photo enlarged to fill a large panel, over the whole screen.
// A click anywhere closes it, and so do Esc, Enter and the space bar.
class TfrmZoom : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmZoom(QWidget *proprietario);

    QWidget *panContainer;
    RiquadroFoto *imgFoto;

  protected:
    void mouseReleaseEvent(QMouseEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;
};
