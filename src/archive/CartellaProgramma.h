#pragma once

#include <QString>

// Every data file lives in the program folder: the folder of the executable.
QString CartellaProgramma();
// Tests point the program at a folder of their own; empty restores the default.
void ImpostaCartellaProgramma(const QString &cartella);

QString PercorsoArchivio();
// The photo file of a record position, e.g. "12.jpg".
QString PercorsoFoto(qint64 posizione);

// True when `percorso` names one of the program's own data files or folders
// in the program folder (the archive and its intent record, the journal and its
// index, the password store, a card's photo, Backup.ini, ImportaCsv.ini, the
// folders the program keeps and every file kept in Fatture): no export, copy
// or chosen folder may take their place.
bool FileDatiProgramma(const QString &percorso);
