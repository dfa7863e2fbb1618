#pragma once

#include <QAbstractButton>
#include <QColor>

// A link: underlined text in dark blue that turns orange while a mouse button
// is held on it, or on the picture that goes with it. It takes the focus, and
// Enter or Space opens it like a click.
class Collegamento : public QAbstractButton {
    Q_OBJECT
  public:
    Collegamento(const QString &nome, const QString &testo, QWidget *genitore);

    QColor colore() const { return m_colore; }
    void impostaColore(QColor colore);
    // The picture of the link colours the text alike while pressed.
    void accompagna(QAbstractButton *immagine);

    QSize sizeHint() const override;

    static QColor blu() { return QColor(0x00, 0x00, 0x8b); }
    static QColor arancio() { return QColor(0xff, 0xa5, 0x00); }

  protected:
    void paintEvent(QPaintEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;

  private:
    QColor m_colore = blu();
};
