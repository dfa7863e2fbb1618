// Makes the files the installation puts into the program folder, in the
// folder given: the user guide Guida.pdf, and the password store
// unins000.dll holding the initial password. The install step copies the
// store only where there is none.
#include "access/Crypt.h"
#include "access/DepositoPassword.h"
#include "access/FileIni.h"
#include "access/GuidaPdf.h"
#include "archive/FileIntero.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <functional>

int main(int argc, char *argv[]) {
    // Fonts without a screen: the guide is made at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: quadrelo_installazione CARTELLA\n");
        return 2;
    }
    const QDir cartella(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(cartella.path())) return 1;

    const QString iniziale = DepositoPassword::Normalizza(DepositoPassword::PASSWORD_INIZIALE);
    const QByteArray store = Ini::ScriviValore({}, QStringLiteral("Accesso"),
                                               QStringLiteral("Valore"), Crypt::Encrypt(iniziale));
    const bool riuscito =
        ScriviFileIntero(
            cartella.filePath(QStringLiteral("unins000.dll")),
            [&](QIODevice *d) { return DepositoPassword::ScriviContenuto(d, store); }) &&
        ScriviFileIntero(cartella.filePath(QStringLiteral("Guida.pdf")), ScriviGuidaPdf);
    if (!riuscito) std::fprintf(stderr, "quadrelo_installazione: scrittura non riuscita\n");
    return riuscito ? 0 : 1;
}
