#include "app/Programma.h"

#include "access/TfrmCambiaPassword.h"
#include "access/TfrmPassword.h"
#include "app/ItalianoQt.h"
#include "app/TfrmAvvio.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/IntentoArchivio.h"
#include "archive/RegoleNumeri.h"
#include "backup/ImpostazioniBackup.h"
#include "backup/ZipBackup.h"
#include "card/TfrmMagazzino.h"
#include "lists/TfrmMenuRiepilogo.h"
#include "platform/Dialoghi.h"
#include "platform/ErroreGenerale.h"
#include "server/TfrmArchivioServer.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QFileInfo>
#include <QPointer>
#include <QTranslator>
#include <cerrno>

Applicazione::Applicazione(int &argc, char **argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Quadrelo"));
    CaricaTraduzioniQt();
}

bool CaricaTraduzioniQt(const QString &cartella) {
    // Dates and sizes in Italian, in Qt's dialogs as in the program.
    ImpostaFormati();
    static QPointer<TraduzioniMancanti> mancanti;
    if (!mancanti) {
        mancanti = new TraduzioniMancanti(qApp);
        FileInItaliano(qApp);
    }
    auto *traduttore = new QTranslator(qApp);
    const bool caricato = traduttore->load(QStringLiteral("qtbase_it"), cartella);
    if (caricato)
        QCoreApplication::installTranslator(traduttore);
    else
        delete traduttore;
    // Installed last, so it is asked first: it answers only what the catalogue lacks.
    QCoreApplication::removeTranslator(mancanti);
    QCoreApplication::installTranslator(mancanti);
    return caricato;
}

bool Applicazione::notify(QObject *destinatario, QEvent *evento) {
    try {
        return QApplication::notify(destinatario, evento);
    } catch (const std::exception &errore) {
        Piattaforma::riportaErrore(activeWindow(), errore);
        return false;
    }
}

void AssestaDatiAllAvvio() {
    const QString testo =
        AssestaBackupAllAvvio(CartellaProgramma(), ImpostazioniBackup::Cartella());
    if (!testo.isEmpty()) Piattaforma::dialoghi().messaggioSemplice(nullptr, testo);
}

FinestreProgramma::FinestreProgramma()
    : password(std::make_unique<TfrmPassword>()), avvio(std::make_unique<TfrmAvvio>()),
      cambiaPassword(std::make_unique<TfrmCambiaPassword>()),
      magazzino(std::make_unique<TfrmMagazzino>()),
      menuRiepilogo(std::make_unique<TfrmMenuRiepilogo>()) {
    QObject::connect(password.get(), &TfrmPassword::passwordAccettata, avvio.get(), [this] {
        mostraAvvio();
        password->hide();
    });
    QObject::connect(password.get(), &TfrmPassword::cambiaPassword, cambiaPassword.get(), [this] {
        cambiaPassword->show();
        cambiaPassword->activateWindow();
        password->hide();
    });
    QObject::connect(cambiaPassword.get(), &TfrmCambiaPassword::chiusa, password.get(),
                     [this] { password->riprendi(); });
    QObject::connect(password.get(), &TfrmPassword::esci, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(avvio.get(), &TfrmAvvio::apriMagazzino, magazzino.get(), [this] {
        TitoloConArchivio(magazzino.get());
        MostraIngrandita(magazzino.get());
        avvio->hide();
    });
    QObject::connect(avvio.get(), &TfrmAvvio::apriInventario, menuRiepilogo.get(), [this] {
        TitoloConArchivio(menuRiepilogo.get());
        MostraIngrandita(menuRiepilogo.get());
        avvio->hide();
    });
    QObject::connect(avvio.get(), &TfrmAvvio::esci, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(magazzino.get(), &TfrmMagazzino::chiusa, avvio.get(),
                     [this] { mostraAvvio(); });
    QObject::connect(menuRiepilogo.get(), &TfrmMenuRiepilogo::chiusa, avvio.get(),
                     [this] { mostraAvvio(); });
}

FinestreProgramma::~FinestreProgramma() = default;

void FinestreProgramma::mostraPassword() {
    password->show();
    password->activateWindow();
}

void FinestreProgramma::mostraAvvio() {
    MostraIngrandita(avvio.get());
    // The archive named in the settings, once, after the access password.
    if (!archivioScelto) {
        archivioScelto = true;
        ApriArchivioInUso(avvio.get());
    }
    TitoloConArchivio(avvio.get());
    if (ArchivioSuServer()) return;
    // An operation on the archive that a crash cut short is undone on opening
    // it; the user hears of it once.
    if (QFileInfo::exists(IntentoArchivio::percorsoPer(PercorsoArchivio()))) {
        Archivio archivio;
        // Something that is not a file in the record's place is named.
        if (!archivio.ApriArchivio() && archivio.errore() == EINVAL)
            Piattaforma::dialoghi().messaggioSemplice(avvio.get(),
                                                      MessaggioAccessoArchivio(PercorsoArchivio()));
    }
    if (PrendiAvvisoRipristino())
        Piattaforma::dialoghi().messaggioSemplice(avvio.get(), MessaggioRipristino());
}
