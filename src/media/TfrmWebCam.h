#pragma once

#include <QDialog>
#include <memory>

class LettoreWebcam;
class QLabel;
class QPushButton;
class RiquadroFoto;

namespace Piattaforma {
class Videocamera;
}

// Takes the product photo with the webcam: the live picture on the left, the
// frozen frame on the right. "Importa foto in scheda" puts the frozen frame
// into the card's photo box; the card keeps it only if the user saves it.
class TfrmWebCam : public QDialog {
    Q_OBJECT
  public:
    TfrmWebCam(QWidget *proprietario, RiquadroFoto *fotoScheda);
    ~TfrmWebCam() override;

    RiquadroFoto *imgCamera;
    RiquadroFoto *imgTarget;
    RiquadroFoto *imgBianco;
    QPushButton *btnAccendi;
    QPushButton *btnCattura;
    QPushButton *btnSalvaFotogramma;
    QPushButton *btnSpegni;
    QPushButton *btnImportaFoto;
    QPushButton *btnClose;
    QPushButton *btnLeggiCodice;
    QLabel *lblCodiceLetto;

    bool webcamAccesa() const;
    // The code "Leggi codice a barre" read before the window closed, or empty.
    QString codiceLetto() const { return m_codiceLetto; }

  public slots:
    void btnAccendiClick();
    void btnCatturaClick();
    void btnSalvaFotogrammaClick();
    void btnSpegniClick();
    void btnImportaFotoClick();
    void btnCloseClick();
    void btnLeggiCodiceClick();
    // Esc and the window manager's close do what "Annulla" does.
    void reject() override;

  protected:
    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    void fotogrammaArrivato();

    RiquadroFoto *m_fotoScheda;
    std::unique_ptr<Piattaforma::Videocamera> m_camCamera;
    // Reads frames on its own thread while a code is being looked for.
    std::unique_ptr<LettoreWebcam> m_lettore;
    QString m_codiceLetto;
};

// The built-in picture of a webcam that the live picture shows before the
// first frame (366 x 274).
QImage ImmagineWebcam();
