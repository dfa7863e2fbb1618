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
    // Subclasses stop their device in their own destructor (ferma()), so no
    // frame arrives once the object is being destroyed.
    ~Videocamera() override = default;

    // Switching on twice starts the device once; with no device, or one that
    // cannot start, nothing happens and nothing is reported.
    void accendi();
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
    Videocamera() = default;
    // Starts the device; false when there is none or it cannot start.
    virtual bool avvia() = 0;
    // Stops the device; once it returns the device calls consegna() no more.
    virtual void ferma() = 0;
    // Called by the device, on any thread, for each new frame. The frame
    // comes with its conversion to a picture, which runs later on the
    // user-interface thread, and only for the frames actually shown.
    void consegna(std::function<QImage()> fotogramma);

  private:
    void passaggio();

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
