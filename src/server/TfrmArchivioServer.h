#pragma once

#include "server/Connessione.h"

#include <QDialog>
#include <QRect>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Where the archive's server is, kept in ArchivioServer.ini in the program
// folder without the password (libpq's password file gives it, or the user
// types it each time).
ParametriServer LeggiParametriServer(const QString &percorso);
bool ScriviParametriServer(const ParametriServer &parametri, const QString &percorso);
QString PercorsoParametriServer();
// Whether the program works on the server's archive, kept beside them.
bool LeggiUsoServer(const QString &percorso);
bool ScriviUsoServer(bool usa, const QString &percorso);

// Puts in use the archive the settings name: the server's (its password
// asked when neither given nor in the password file) or the program
// folder's. A server that does not answer is said once; it stays the archive
// in use, and every later operation tries it again. True on the server.
bool ApriArchivioInUso(QWidget *finestra, const QString &percorso = PercorsoParametriServer());

// "Archivio su server...": the server's address, a test of the connection,
// and the two moves of the archive between the program folder and the
// server, and whether the program works on the server's archive.
class TfrmArchivioServer : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmArchivioServer(QWidget *genitore = nullptr,
                                QString percorso = PercorsoParametriServer());

    QLineEdit *txtHost;
    QSpinBox *txtPorta;
    QLineEdit *txtDatabase;
    QLineEdit *txtUtente;
    QComboBox *cmbSsl;
    QLineEdit *txtPassword;
    QCheckBox *chkUsaServer;
    QPushButton *btnProva;
    QPushButton *btnCopiaSuServer;
    QPushButton *btnCopiaDaServer;
    QPushButton *btnChiudi;

  private:
    ParametriServer parametri() const;
    // Remembers the address and checks that something names a server.
    bool prepara();
    void btnProvaClick();
    void btnCopiaSuServerClick();
    void btnCopiaDaServerClick();
    void done(int risultato) override;
    QString m_percorso;
    bool m_usaAllInizio = false;
};

// Places the launcher's button.
void PreparaComandoArchivioServer(QWidget *finestra, QWidget *pannello, QRect pulsante);
