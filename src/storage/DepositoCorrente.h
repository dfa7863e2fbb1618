#pragma once

#include "storage/Deposito.h"

#include <QString>
#include <memory>

class DepositoFile;
class QWidget;

// The archive the program works on: the program folder's, unless the server
// was chosen at start. Windows reach the archive through this, so one
// command works on both.
Deposito &DepositoCorrente();
// The folder's storage when the archive is in the program folder, so the
// passes that read the file in place can do so; nullptr on the server.
DepositoFile *DepositoCorrenteSuFile();
// True when the archive is on a server.
bool ArchivioSuServer();
// What the title says of the archive in use: empty for the program folder.
QString DescrizioneArchivio();
// Puts another archive in use (nullptr: the program folder's again), with
// the words the title shows for it.
void ImpostaDepositoCorrente(std::unique_ptr<Deposito> deposito, const QString &descrizione);
// Puts the archive in use after a window's own title, when on a server.
void TitoloConArchivio(QWidget *finestra);
