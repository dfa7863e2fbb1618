#include "orders/LetturaOrdiniAperti.h"

#include "storage/DepositoFile.h"

#include <mutex>

namespace {

std::mutex inizioMutex;
std::function<void()> inizioLettura;

} // namespace

void ImpostaInizioLetturaOrdini(std::function<void()> inizio) {
    const std::lock_guard blocco(inizioMutex);
    inizioLettura = std::move(inizio);
}

LetturaOrdiniAperti::LetturaOrdiniAperti(QObject *genitore) : QObject(genitore) {}

LetturaOrdiniAperti::~LetturaOrdiniAperti() {
    ferma();
}

void LetturaOrdiniAperti::ferma() {
    if (!m_filo.joinable()) return;
    m_ferma = true;
    m_filo.join();
    m_ferma = false;
}

void LetturaOrdiniAperti::avvia(Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito)) {
        avvia(file->giornale());
        return;
    }
    ferma();
    m_aperti.reset();
    const quint64 giro = ++m_giro;
    QMetaObject::invokeMethod(
        this,
        [this, giro, aperti = LeggiOrdiniAperti(deposito)]() mutable {
            if (giro != m_giro) return;
            m_aperti = std::move(aperti);
            emit letti();
        },
        Qt::QueuedConnection);
}

void LetturaOrdiniAperti::avvia(const QString &giornale) {
    ferma();
    m_aperti.reset();
    const quint64 giro = ++m_giro;
    m_filo = std::thread([this, giornale, giro] {
        std::function<void()> inizio;
        {
            const std::lock_guard blocco(inizioMutex);
            inizio = inizioLettura;
        }
        if (inizio) inizio();
        OrdiniAperti aperti = LeggiOrdiniAperti(giornale, &m_ferma);
        if (m_ferma) return;
        // Delivered on the object's thread; the destructor joins this thread
        // first, and Qt drops what is posted to an object that is gone.
        QMetaObject::invokeMethod(
            this,
            [this, giro, aperti = std::move(aperti)]() mutable {
                // A reading started after this one has the newer figures.
                if (giro != m_giro) return;
                m_aperti = std::move(aperti);
                emit letti();
            },
            Qt::QueuedConnection);
    });
}
