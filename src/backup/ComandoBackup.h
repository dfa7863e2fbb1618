#pragma once

#include "backup/BackupArchivio.h"

#include <QRect>

class QWidget;

// Places the "Backup" command and the reminder line on the launcher's panel.
// The line shows while the last backup is a week old or there is none, and is
// brought up to date whenever the launcher is shown and after each backup.
// `copie` reach the archive when it is on a server.
void PreparaComandoBackup(QWidget *finestra, QWidget *pannello, QRect pulsante, QRect promemoria,
                          CopieArchivio copie = {});
