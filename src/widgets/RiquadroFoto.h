#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>

// The card's photo box: keeps the full picture and paints it scaled to fit,
// keeping its proportions and centred. It always holds a picture.
class RiquadroFoto : public QWidget {
    Q_OBJECT
  public:
    explicit RiquadroFoto(QWidget *genitore = nullptr);

    const QImage &immagine() const { return m_immagine; }
    // `originale` is the JPEG file the picture was decoded from, if any: as
    // long as the picture stays the same, saving writes those bytes back
    // rather than encoding the picture again and losing quality each time.
    void impostaImmagine(const QImage &immagine, const QByteArray &originale = QByteArray());
    const QByteArray &originale() const { return m_originale; }
    // Where the picture is painted, in the box's own coordinates.
    QRect areaMostrata() const;

  signals:
    // A new picture was put in the box.
    void cambiata();

  protected:
    void paintEvent(QPaintEvent *evento) override;

  private:
    QImage m_immagine;
    QByteArray m_originale;
    QImage m_scalata; // scaled once per change or resize, not once per paint
};
