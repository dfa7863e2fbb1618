#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QPrinter;
class QUrl;
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
    // Question with Yes, No and Cancel (Esc and the close box answer Cancel).
    virtual Risposta domandaConAnnulla(QWidget *genitore, const QString &testo) = 0;
    // Runs a window modally and returns its result code.
    virtual int esegui(QDialog *finestra) = 0;
    // The print dialog; true when the user chose to print.
    virtual bool dialogoStampa(QWidget *genitore, QPrinter *stampante) = 0;
    // File chooser to open one file, starting in `cartella` (the program
    // folder when not given); an empty text when the user cancels. Filters
    // are in the usual "Descrizione (*.ext)" form.
    virtual QString scegliFileDaAprire(QWidget *genitore, const QString &titolo,
                                       const QStringList &filtri,
                                       const QString &cartella = QString()) = 0;
    // File chooser to save a file, with the name preset; it asks itself before
    // an existing file is replaced. An empty text when the user cancels.
    virtual QString scegliFileDaSalvare(QWidget *genitore, const QString &titolo,
                                        const QStringList &filtri, const QString &nome) = 0;
    // Folder chooser starting at `iniziale`; an empty text when the user cancels.
    virtual QString scegliCartella(QWidget *genitore, const QString &titolo,
                                   const QString &iniziale) = 0;
    // The desktop's open verb: a document, a web link or a mail link. False
    // when the desktop refused it.
    virtual bool apriConDesktop(const QUrl &indirizzo) = 0;
};

// The dialogs in use: the real ones unless a test installed its own.
Dialoghi &dialoghi();
// Installs a replacement (nullptr brings back the real dialogs). Not owned.
void impostaDialoghi(Dialoghi *sostituto);

// The save chooser every command uses: a name of the program's own data in
// the program folder (see FileDatiProgramma) is refused with a message and
// the chooser comes back, so an export never takes the place of the archive,
// the journal or a photo. An empty text when the user cancels.
QString ScegliFileDaSalvare(QWidget *genitore, const QString &titolo, const QStringList &filtri,
                            const QString &nome);
// The folder chooser for a folder the program will write into; the program's
// own data folders are refused in the same way, except `ammessa` (a full path).
QString ScegliCartellaDaScrivere(QWidget *genitore, const QString &titolo, const QString &iniziale,
                                 const QString &ammessa = QString());
// True, after saying so, when a chosen name is the program's own data (a
// print to a file, for one).
bool RifiutaFileDatiProgramma(QWidget *genitore, const QString &percorso);

// Filters are written as the program has always written them, "Immagine JPEG
// (*.jpg; *.jpeg)" or "Tutti i file (*.*)". Qt's file dialog splits patterns
// at blanks only, takes "*.*" literally and tells capitals apart, so the real
// choosers rewrite them: a semicolon separates like a blank, "*.*" shows every
// file, and each pattern also matches in capitals.
QString FiltriPerQt(const QStringList &filtri);

// Hands a document path, web link or mail link to the desktop. A path may come
// enclosed in one pair of double quotes, as callers write it; only that pair
// is removed, so a quote inside a file name stays. No shell is involved, so no
// file name can run a command. A missing file, or one the desktop refuses to
// open, is reported to the user; false then.
bool ApriConDesktop(const QString &destinazione, QWidget *genitore = nullptr);
// The same for a file path taken exactly as it is, without any quote handling.
bool ApriFileConDesktop(const QString &percorso, QWidget *genitore = nullptr);

} // namespace Piattaforma
