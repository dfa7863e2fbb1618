#pragma once

#include <QApplication>
#include <QLibraryInfo>
#include <memory>

class TfrmAvvio;
class TfrmCambiaPassword;
class TfrmMagazzino;
class TfrmMenuRiepilogo;
class TfrmPassword;

// The application object: an error that no handler caught ends the current
// action and is shown by the general error report; the program goes on.
class Applicazione : public QApplication {
    Q_OBJECT
  public:
    Applicazione(int &argc, char **argv);
    bool notify(QObject *destinatario, QEvent *evento) override;
};

// Loads Qt's own Italian texts (standard buttons, the print dialog) from the
// folder, Qt's translations folder unless told, whatever the system's language.
// False when they are missing: those texts then stay in English.
bool CaricaTraduzioniQt(
    const QString &cartella = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

// What a crash left of a restore from a backup (a swap half done) or of a
// backup (its temporary files) is settled before any window reads the data,
// the password store included; the user hears of it once.
void AssestaDatiAllAvvio();

// The windows that live as long as the program, created in start order and
// shown and hidden, never recreated. The access password window comes first
// and is the main window; the launcher opens once the password is accepted.
struct FinestreProgramma {
    FinestreProgramma();
    ~FinestreProgramma();
    // The start of the program: only the password window is visible.
    void mostraPassword();
    void mostraAvvio();

    std::unique_ptr<TfrmPassword> password;
    std::unique_ptr<TfrmAvvio> avvio;
    std::unique_ptr<TfrmCambiaPassword> cambiaPassword;
    std::unique_ptr<TfrmMagazzino> magazzino;
    std::unique_ptr<TfrmMenuRiepilogo> menuRiepilogo;
    bool archivioScelto = false;
};
