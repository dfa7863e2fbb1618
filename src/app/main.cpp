#include "app/Programma.h"

int main(int argc, char *argv[]) {
    // Software rendering for the whole run, asked before the toolkit starts.
    QCoreApplication::setAttribute(Qt::AA_UseSoftwareOpenGL);
    Applicazione app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    FinestreProgramma finestre;
    finestre.mostraPassword();
    return app.exec();
}
