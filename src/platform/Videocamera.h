#pragma once

#include <QImage>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace Piattaforma {

// The system's default video capture device behind one on/off switch.
//
// The device reports frames on a thread of its own. They are handed to the
// user-interface thread without waiting for it: the newest frame is kept and
// at most one hand-over is pending, so the capture thread never blocks on the
// user-interface thread and switching off can never deadlock with a frame
// waiting there. fotogrammaPronto() is emitted on the user-interface thread,
// only while the camera is on.
class Videocamera : public QObject {
    Q_OBJECT
  public:
    // Subclasses stop their device in their own destructor (ferma()). A frame
    // the device is handing over at that moment is waited for here, and any
    // later one is dropped, so none reaches a freed camera or window.
    ~Videocamera() override;

    // Switching on twice starts the device once. False when there is no
    // device, or it cannot start: the caller tells the user.
    bool accendi();
    // Switching off twice does nothing. Once it returns no frame is handed
    // over any more, not even one that was already pending.
    void spegni();
    bool accesa() const { return m_accesa; }
    // The newest frame at its own pixel size; null while off or before the
    // first frame.
    QImage ultimoFotogramma() const;

  signals:
    void fotogrammaPronto();

  protected:
    Videocamera();
    // Starts the device; false when there is none or it cannot start.
    virtual bool avvia() = 0;
    // Stops the device; once it returns the device calls consegna() no more.
    virtual void ferma() = 0;
    // What the device calls, on any thread, for each new frame. The frame
    // comes with its conversion to a picture, which runs later on the
    // user-interface thread, and only for the frames actually shown. It may be
    // called even after the camera is gone (a capture service need not wait
    // for its own deliveries when it stops): it then does nothing.
    using Consegna = std::function<void(std::function<QImage()> fotogramma)>;
    Consegna consegnatario() const;
    // The same from the device's own code while the camera surely exists.
    void consegna(std::function<QImage()> fotogramma);

  private:
    void passaggio();

    // Between the device's threads and this object: closed, under its
    // mutex, when the object goes.
    struct Porta {
        std::mutex mutex;
        Videocamera *camera = nullptr;
    };
    std::shared_ptr<Porta> m_porta;

    bool m_accesa = false; // user-interface thread only
    mutable std::mutex m_mutex;
    bool m_riceve = false;            // under m_mutex
    std::function<QImage()> m_ultimo; // under m_mutex
    std::atomic<bool> m_inAttesa{false};
};

using FabbricaVideocamera = std::function<std::unique_ptr<Videocamera>()>;

// A new camera object: the real device unless a test installed its own maker.
std::unique_ptr<Videocamera> CreaVideocamera();
// Installs a maker (an empty function brings back the real device).
void ImpostaFabbricaVideocamera(FabbricaVideocamera fabbrica);

} // namespace Piattaforma
