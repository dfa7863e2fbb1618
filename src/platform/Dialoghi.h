#pragma once

#include <QString>

class QDialog;
class QPrinter;
class QWidget;

// The one place where the program waits on the user. Windows call these and
// never QMessageBox, QPrintDialog or exec() directly, so tests can answer.
namespace Piattaforma {

enum class TipoMessaggio { Avviso, Informazione, Errore };
enum class Risposta { Ok, Annulla, Si, No };

class Dialoghi {
  public:
    virtual ~Dialoghi() = default;
    // Typed message with OK and Cancel.
    virtual Risposta messaggio(QWidget *genitore, TipoMessaggio tipo, const QString &testo) = 0;
    // Plain message with OK only.
    virtual void messaggioSemplice(QWidget *genitore, const QString &testo) = 0;
    // Yes/No question.
    virtual Risposta domanda(QWidget *genitore, const QString &testo) = 0;
    // Runs a window modally and returns its result code.
    virtual int esegui(QDialog *finestra) = 0;
    // The print dialog; true when the user chose to print.
    virtual bool dialogoStampa(QWidget *genitore, QPrinter *stampante) = 0;
};

// The dialogs in use: the real ones unless a test installed its own.
Dialoghi &dialoghi();
// Installs a replacement (nullptr brings back the real dialogs). Not owned.
void impostaDialoghi(Dialoghi *sostituto);

} // namespace Piattaforma
