#pragma once

#include <QString>

// Every data file lives in the program folder: the folder of the executable.
QString CartellaProgramma();
// Tests point the program at a folder of their own; empty restores the default.
void ImpostaCartellaProgramma(const QString &cartella);

QString PercorsoArchivio();
// The photo file of a record position, e.g. "12.jpg".
QString PercorsoFoto(qint64 posizione);
