#include "labels/LettoreCodici.h"

#include "archive/RegoleNumeri.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <ZXing/ReadBarcode.h>

IngressoScanner::IngressoScanner(QLineEdit *casella, Orologio orologio)
    : QObject(casella), m_casella(casella), m_orologio(std::move(orologio)) {
    if (!m_orologio) {
        auto avvio = std::make_shared<QElapsedTimer>();
        avvio->start();
        m_orologio = [avvio] { return avvio->elapsed(); };
    }
    casella->installEventFilter(this);
}

bool IngressoScanner::eventFilter(QObject *oggetto, QEvent *evento) {
    if (oggetto != m_casella || evento->type() != QEvent::KeyPress) return false;
    auto *tasto = static_cast<QKeyEvent *>(evento);
    if (tasto->key() == Qt::Key_Return || tasto->key() == Qt::Key_Enter) {
        // Taken and emptied before anything is done with it: keys that come
        // meanwhile start the next code.
        // A blank box leaves Enter to the window.
        const QString codice = m_casella->text();
        if (Rifila(codice).isEmpty()) return false;
        m_casella->clear();
        m_tuttoInRaffica = false;
        emit codiceLetto(codice);
        return true;
    }
    const QString testo = tasto->text();
    const bool carattere = !testo.isEmpty() && testo.at(0).isPrint();
    if (!carattere) {
        // Editing by hand: whatever is in the box is the user's now.
        if (tasto->key() != Qt::Key_Shift) m_tuttoInRaffica = false;
        return false;
    }
    const qint64 ora = m_orologio();
    const qint64 intervallo = ora - m_ultimoTasto;
    m_ultimoTasto = ora;
    if (m_casella->text().isEmpty()) {
        m_tuttoInRaffica = true;
    } else if (m_tuttoInRaffica && intervallo >= PAUSA_MS && m_casella->text().size() >= 4) {
        // A scanned code left without Enter: this is the next code.
        m_casella->clear();
        m_tuttoInRaffica = true;
    } else if (intervallo > RAFFICA_MS) {
        m_tuttoInRaffica = false;
    }
    return false;
}

QString LeggiCodiceInImmagine(const QImage &immagine) {
    if (immagine.isNull()) return {};
    // Grey levels are all the reader looks at; one conversion up front is cheaper.
    const QImage grigia = immagine.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView vista(grigia.constBits(), grigia.width(), grigia.height(),
                                 ZXing::ImageFormat::Lum, int(grigia.bytesPerLine()));
    ZXing::DecodeHints suggerimenti;
    suggerimenti.setFormats(ZXing::BarcodeFormat::EAN13 | ZXing::BarcodeFormat::EAN8 |
                            ZXing::BarcodeFormat::Code128);
    suggerimenti.setTryHarder(true);
    suggerimenti.setTryRotate(true);
    // One symbol only: the library as Debian 12 ships it stops the program on
    // an assertion when it compares two linear results found in one picture,
    // which reading several would do.
    const ZXing::Result r = ZXing::ReadBarcode(vista, suggerimenti);
    return r.isValid() ? QString::fromStdString(r.text()) : QString();
}

LettoreWebcam::LettoreWebcam(QObject *genitore) : QObject(genitore) {
    m_filo = std::thread([this] { lavora(); });
}

LettoreWebcam::~LettoreWebcam() {
    {
        std::lock_guard blocco(m_mutex);
        m_fine = true;
        m_prossimo = QImage();
    }
    m_segnale.notify_one();
    m_filo.join();
}

void LettoreWebcam::proponi(const QImage &fotogramma) {
    if (fotogramma.isNull()) return;
    {
        std::lock_guard blocco(m_mutex);
        m_prossimo = fotogramma;
    }
    m_segnale.notify_one();
}

void LettoreWebcam::lavora() {
    for (;;) {
        QImage fotogramma;
        {
            std::unique_lock blocco(m_mutex);
            m_segnale.wait(blocco, [this] { return m_fine || !m_prossimo.isNull(); });
            if (m_fine) return;
            fotogramma = std::move(m_prossimo);
            m_prossimo = QImage();
        }
        const QString codice = LeggiCodiceInImmagine(fotogramma);
        if (codice.isEmpty()) continue;
        // Delivered on the user-interface thread; the destructor joins this
        // thread first, so nothing is posted to an object that is going.
        QMetaObject::invokeMethod(
            this, [this, codice] { emit codiceLetto(codice); }, Qt::QueuedConnection);
    }
}
