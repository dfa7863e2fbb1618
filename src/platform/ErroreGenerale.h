#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace Piattaforma {

// The general error report: a plain message with the error's text, a full stop
// added when it has none. The program then goes on.
void riportaErrore(QWidget *genitore, const QString &testo);
void riportaErrore(QWidget *genitore, const std::exception &errore);

// Runs one user action; an error it throws ends the action and is reported.
void eseguiProtetto(QWidget *genitore, const std::function<void()> &azione);

} // namespace Piattaforma
