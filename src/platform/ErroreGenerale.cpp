#include "platform/ErroreGenerale.h"

#include "platform/Dialoghi.h"

namespace Piattaforma {

void riportaErrore(QWidget *genitore, const QString &testo) {
    dialoghi().messaggioSemplice(genitore,
                                 testo.endsWith(u'.') ? testo : testo + QStringLiteral("."));
}

void riportaErrore(QWidget *genitore, const std::exception &errore) {
    riportaErrore(genitore, QString::fromUtf8(errore.what()));
}

void eseguiProtetto(QWidget *genitore, const std::function<void()> &azione) {
    try {
        azione();
    } catch (const std::exception &errore) {
        riportaErrore(genitore, errore);
    }
}

} // namespace Piattaforma
