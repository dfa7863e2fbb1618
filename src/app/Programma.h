#pragma once

#include <QApplication>
#include <memory>

class TfrmAvvio;
class TfrmMagazzino;
class TfrmMenuRiepilogo;

// The application object: an error that no handler caught ends the current
// action and is shown by the general error report; the program goes on.
class Applicazione : public QApplication {
    Q_OBJECT
  public:
    Applicazione(int &argc, char **argv);
    bool notify(QObject *destinatario, QEvent *evento) override;
};

// The windows that live as long as the program, created in start order and
// shown and hidden, never recreated. The access password window will come
// first and be the main window; until then the launcher opens the program.
struct FinestreProgramma {
    FinestreProgramma();
    ~FinestreProgramma();
    void mostraAvvio();

    std::unique_ptr<TfrmAvvio> avvio;
    std::unique_ptr<TfrmMagazzino> magazzino;
    std::unique_ptr<TfrmMenuRiepilogo> menuRiepilogo;
};
