#pragma once

#include "server/Connessione.h"

#include <QDialog>
#include <QRect>

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

// "Archivio su server...": the server's address, a test of the connection,
// and the two moves of the archive between the program folder and the
// server. The program's other windows still work on the program folder.
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
    QString m_percorso;
};

// Places the launcher's button.
void PreparaComandoArchivioServer(QWidget *finestra, QWidget *pannello, QRect pulsante);
