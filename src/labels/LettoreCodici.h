#pragma once

#include <QImage>
#include <QObject>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QLineEdit;

// Codes typed into a box by a USB scanner, which types the code and Enter,
// or by hand. A code ends at Enter: the box is emptied as the code is taken,
// so the next one starts afresh and two codes scanned quickly never run
// together. A code that came in one quick burst and no Enter (a scanner set
// up without it) is replaced by the next one instead of joined to it, once
// the scanner has paused; text typed by hand is never thrown away.
class IngressoScanner : public QObject {
    Q_OBJECT
  public:
    // Milliseconds of a steady clock; tests give their own.
    using Orologio = std::function<qint64()>;

    explicit IngressoScanner(QLineEdit *casella, Orologio orologio = {});

    // Keys closer than this belong to one burst; a scanner types far quicker.
    static constexpr qint64 RAFFICA_MS = 40;
    // After this long without keys a burst left without Enter is over.
    static constexpr qint64 PAUSA_MS = 300;

  signals:
    // The text of the box when Enter was pressed, as typed; never blank.
    void codiceLetto(const QString &codice);

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    QLineEdit *m_casella;
    Orologio m_orologio;
    qint64 m_ultimoTasto = 0;
    bool m_tuttoInRaffica = false; // every character in the box came in one burst
};

// The code in a picture, EAN-13, EAN-8 or Code 128, as zxing-cpp reads it;
// empty when there is none.
QString LeggiCodiceInImmagine(const QImage &immagine);

// Reads codes from webcam frames on a thread of its own, so the
// user-interface thread never waits for it. A frame that arrives while another
// is being read replaces any frame still waiting: only the newest is read.
class LettoreWebcam : public QObject {
    Q_OBJECT
  public:
    explicit LettoreWebcam(QObject *genitore = nullptr);
    // Waits for the frame being read, if any (a few milliseconds).
    ~LettoreWebcam() override;

    // Returns at once.
    void proponi(const QImage &fotogramma);

  signals:
    // On the user-interface thread, for every frame in which a code was read.
    void codiceLetto(const QString &codice);

  private:
    void lavora();

    std::mutex m_mutex;
    std::condition_variable m_segnale;
    QImage m_prossimo; // under m_mutex
    bool m_fine = false;
    std::thread m_filo;
};
