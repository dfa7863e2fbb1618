#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

class QLineEdit;

// A picture that reacts to a click: a real button that never takes the focus,
// so clicking it leaves the box being edited as it is. Its caption is its
// text or accessible name, its status-line text its accessible description.
class PulsanteImmagine : public QToolButton {
    Q_OBJECT
  public:
    PulsanteImmagine(const QString &nome, const QString &icona, const QString &didascalia,
                     QWidget *genitore, bool mostraTesto = true);
};

// Paints a widget's whole area shading from `alto` at the top to `basso`.
void DipingiSfumatura(QWidget *superficie, QColor alto, QColor basso = Qt::white);

// A window or panel background shading from one colour to another, top to bottom.
class Sfondo : public QWidget {
    Q_OBJECT
  public:
    Sfondo(QColor alto, QColor basso, QWidget *genitore = nullptr);

  protected:
    void paintEvent(QPaintEvent *evento) override;

  private:
    QColor m_alto;
    QColor m_basso;
};

// The yellow rectangle behind a box, shown only while that box has the focus.
class RiquadroEvidenza : public QWidget {
    Q_OBJECT
  public:
    explicit RiquadroEvidenza(QWidget *genitore);
    // Places the rectangle 4 pixels around the box, behind it, and shows it
    // exactly while the box is the application's focus widget (a popup over
    // the box leaves it shown), so no frame is left behind when the focus
    // moves while the window is inactive.
    static RiquadroEvidenza *perCasella(const QString &nome, QLineEdit *casella);

  protected:
    void paintEvent(QPaintEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;
};

// Tells when the focus really leaves a control of one window: to another
// control of it, or to another window of the program, whatever the reason,
// also when the program moved the focus while the window was inactive. While a
// dialog of the program is open over the window nothing is left: the focus
// comes back to the control when the dialog closes. A window whose handler
// uses its own members deletes this first in its destructor, since the focus
// also moves while the window goes away.
class UscitaFocus : public QObject {
    Q_OBJECT
  public:
    explicit UscitaFocus(QWidget *finestra);

  signals:
    void lasciato(QWidget *controllo);

  private:
    void cambiato(QWidget *ora);

    QWidget *m_finestra;
    QPointer<QWidget> m_attuale;
};

// A label that shows a value: assistive technology reads it as "nome: value"
// (just "nome" while it is empty), always in step with the label's text,
// whoever sets it.
void ValoreAccessibile(QLabel *etichetta, const QString &nome);

// In this window Enter presses the button that has the focus, as Space does.
// Enter in any other control keeps its own meaning (the default button, the
// window's own chain).
void InvioPremePulsante(QWidget *finestra);

// Typing limit of a box. Unlike QLineEdit's maximum length it limits only
// what the user types or pastes: text that the program puts into the box (a
// normalised amount, a stock total) is shown whole.
class LimiteDigitazione : public QObject {
    Q_OBJECT
  public:
    LimiteDigitazione(QLineEdit *casella, int massimo);
    int massimo() const { return m_massimo; }

  private:
    void modificato(const QString &testo);

    QLineEdit *m_casella;
    int m_massimo;
    qsizetype m_precedente = 0;
    qsizetype m_attuale = 0;
};

// The typing limit of a box, or 0 when it has none.
int LunghezzaMassima(const QLineEdit *casella);

// Lays out a working window: its name, caption and icon, a background shading
// from `alto` to white, and a fixed panel centred on it, which is returned.
// The window's grid has the panel in row 0; a caller may add rows below.
QWidget *PreparaFinestra(QWidget *finestra, const QString &nome, const QString &titolo, QColor alto,
                         QSize pannello);

// Shows a window maximised. Its normal size is first set to the screen's
// working area, so it fills the screen even where nothing maximises it.
void MostraIngrandita(QWidget *finestra);

// Renders a picture from the program's resources at the given size.
QPixmap Disegno(const QString &nome, QSize dimensione);
