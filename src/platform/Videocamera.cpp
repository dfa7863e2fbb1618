#include "platform/Videocamera.h"

#include <QCamera>
#include <QCameraDevice>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>

namespace Piattaforma {

Videocamera::Videocamera() : m_porta(std::make_shared<Porta>()) {
    m_porta->camera = this;
}

Videocamera::~Videocamera() {
    // Waits for a delivery in progress; later ones find the door closed.
    std::lock_guard blocco(m_porta->mutex);
    m_porta->camera = nullptr;
}

Videocamera::Consegna Videocamera::consegnatario() const {
    return [porta = m_porta](std::function<QImage()> fotogramma) {
        std::lock_guard blocco(porta->mutex);
        if (porta->camera) porta->camera->consegna(std::move(fotogramma));
    };
}

bool Videocamera::accendi() {
    if (m_accesa) return true;
    {
        std::lock_guard blocco(m_mutex);
        m_riceve = true;
    }
    if (!avvia()) {
        std::lock_guard blocco(m_mutex);
        m_riceve = false;
        m_ultimo = nullptr;
        return false;
    }
    m_accesa = true;
    return true;
}

void Videocamera::spegni() {
    if (!m_accesa) return;
    m_accesa = false;
    {
        // From here on a late frame is dropped, and a pending hand-over finds
        // the camera off and copies nothing.
        std::lock_guard blocco(m_mutex);
        m_riceve = false;
        m_ultimo = nullptr;
    }
    ferma();
}

QImage Videocamera::ultimoFotogramma() const {
    std::function<QImage()> fotogramma;
    {
        std::lock_guard blocco(m_mutex);
        if (!m_riceve) return QImage();
        fotogramma = m_ultimo;
    }
    return fotogramma ? fotogramma() : QImage();
}

void Videocamera::consegna(std::function<QImage()> fotogramma) {
    {
        std::lock_guard blocco(m_mutex);
        if (!m_riceve) return;
        m_ultimo = std::move(fotogramma);
    }
    // One hand-over at a time: later frames only replace the newest one.
    if (!m_inAttesa.exchange(true))
        QMetaObject::invokeMethod(this, &Videocamera::passaggio, Qt::QueuedConnection);
}

void Videocamera::passaggio() {
    m_inAttesa = false;
    if (m_accesa) emit fotogrammaPronto();
}

namespace {

// Qt Multimedia's default video input. The device is looked up and opened
// only when the user switches the camera on.
class VideocameraReale final : public Videocamera {
  public:
    ~VideocameraReale() override { ferma(); }

  protected:
    bool avvia() override {
        const QCameraDevice dispositivo = QMediaDevices::defaultVideoInput();
        if (dispositivo.isNull()) return false;
        m_camera = std::make_unique<QCamera>(dispositivo);
        m_uscita = std::make_unique<QVideoSink>();
        m_sessione = std::make_unique<QMediaCaptureSession>();
        m_sessione->setCamera(m_camera.get());
        m_sessione->setVideoSink(m_uscita.get());
        // The sink reports on the capture thread: keep the frame, convert it
        // later on the user-interface thread.
        QObject::connect(
            m_uscita.get(), &QVideoSink::videoFrameChanged, m_uscita.get(),
            [consegna = consegnatario()](const QVideoFrame &fotogramma) {
                consegna([fotogramma] { return fotogramma.toImage(); });
            },
            Qt::DirectConnection);
        m_camera->start();
        if (m_camera->error() != QCamera::NoError) {
            ferma();
            return false;
        }
        return true;
    }

    void ferma() override {
        if (m_uscita) QObject::disconnect(m_uscita.get(), nullptr, nullptr, nullptr);
        if (m_camera) m_camera->stop();
        m_sessione.reset();
        m_camera.reset();
        m_uscita.reset();
    }

  private:
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QVideoSink> m_uscita;
    std::unique_ptr<QMediaCaptureSession> m_sessione;
};

FabbricaVideocamera fabbricaAttuale;

} // namespace

std::unique_ptr<Videocamera> CreaVideocamera() {
    if (fabbricaAttuale) return fabbricaAttuale();
    return std::make_unique<VideocameraReale>();
}

void ImpostaFabbricaVideocamera(FabbricaVideocamera fabbrica) {
    fabbricaAttuale = std::move(fabbrica);
}

} // namespace Piattaforma
