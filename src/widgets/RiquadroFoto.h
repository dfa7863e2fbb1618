#pragma once

#include <QImage>
#include <QWidget>

// The card's photo box: keeps the full picture and paints it scaled to fit,
// keeping its proportions and centred. It always holds a picture.
class RiquadroFoto : public QWidget {
    Q_OBJECT
  public:
    explicit RiquadroFoto(QWidget *genitore = nullptr);

    const QImage &immagine() const { return m_immagine; }
    void impostaImmagine(const QImage &immagine);

  protected:
    void paintEvent(QPaintEvent *evento) override;

  private:
    QImage m_immagine;
    QImage m_scalata; // scaled once per change or resize, not once per paint
};
