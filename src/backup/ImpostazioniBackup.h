#pragma once

#include <QString>

// Where backups go and how many are kept, remembered in Backup.ini in the
// program folder. The file is about this installation, so it is not itself
// part of a backup.
namespace ImpostazioniBackup {

// The folder chosen by the user, or the Backup folder in the program folder.
QString Cartella();
void ImpostaCartella(const QString &cartella);
int Conservati();
void ImpostaConservati(int quanti);

} // namespace ImpostazioniBackup
