#pragma once

#include "orders/OrdiniAperti.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

// Reads what is on order on a thread of its own, so a window opens at once on
// a long journal; `letti` comes on the object's thread.
// Runs on the reading thread as each reading starts, so a test can hold a
// reading where it is. An empty function: none.
void ImpostaInizioLetturaOrdini(std::function<void()> inizio);

class LetturaOrdiniAperti : public QObject {
    Q_OBJECT
  public:
    explicit LetturaOrdiniAperti(QObject *genitore = nullptr);
    ~LetturaOrdiniAperti() override;

    // Starts a reading; one still running is stopped and its result dropped.
    void avvia(const QString &giornale = PercorsoGiornale());
    // The same from the journal of the archive in `deposito`: on a server
    // read here, since its connection serves one thread, and given as above.
    void avvia(Deposito &deposito);
    // The last reading's result, nothing while it runs.
    const std::optional<OrdiniAperti> &aperti() const { return m_aperti; }

  signals:
    void letti();

  private:
    void ferma();

    std::thread m_filo;
    std::atomic_bool m_ferma = false;
    quint64 m_giro = 0;
    std::optional<OrdiniAperti> m_aperti;
};
