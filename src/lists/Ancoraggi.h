#pragma once

#include <QHash>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

// Keeps the controls of a window laid out for its design size in place when
// the window grows: each control follows the right or bottom edge, or
// stretches with it, by as much as the window has grown.
class Ancoraggi : public QObject {
    Q_OBJECT
  public:
    enum Regola {
        Fermo = 0,
        SegueDestra = 1,      // moves right with the right edge
        SegueBasso = 2,       // moves down with the bottom edge
        AllargaLarghezza = 4, // grows as wide as the window grows
        AllargaAltezza = 8,   // grows as tall as the window grows
        Riempie = AllargaLarghezza | AllargaAltezza,
        Centra = 16, // stays in the middle of the window
    };

    // `contenitore` is laid out for `progetto`; it never gets smaller.
    Ancoraggi(QWidget *contenitore, QSize progetto);
    // `controllo` as placed now, at the design size.
    void aggiungi(QWidget *controllo, int regole);

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    void disponi();

    QWidget *m_contenitore;
    QSize m_progetto;
    struct Voce {
        QRect posto;
        int regole;
    };
    QHash<QWidget *, Voce> m_voci;
};
