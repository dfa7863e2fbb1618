#include "app/Programma.h"
#include "archive/Archivio.h"

int main(int argc, char *argv[]) {
    // A file-size limit then fails a write, which the program reports and undoes.
    IgnoraLimiteDimensione();
    // Software rendering for the whole run, asked before the toolkit starts.
    QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL);
    Applicazione app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // Before the password window reads the password store.
    AssestaDatiAllAvvio();
    FinestreProgramma finestre;
    finestre.mostraPassword();
    return app.exec();
}
