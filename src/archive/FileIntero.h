#pragma once

#include <QString>
#include <functional>

class QIODevice;

// Writes a whole file through a temporary file beside it, put in the file's
// place only when every byte reached the disk: a failure at any point (a full
// disk, a size limit, a folder that cannot be written) leaves the previous
// file as it was and gives false. `scrivi` writes the contents to the device
// it is given and returns false to give up.
//
// Every write is checked as it happens. A buffered save file can lose the
// error of its last flush and still put a cut-short file in place, so the
// writers of whole files all go through here.
bool ScriviFileIntero(const QString &percorso, const std::function<bool(QIODevice *)> &scrivi);

// For a file a library wrote itself beside its target (a workbook, a zip):
// puts it on disk, then in the target's place, and the new name on disk too.
// With `sostituisci` false an existing target is never replaced and the call
// fails. On failure the written file is removed and false is given.
bool PortaAlPostoFileIntero(const QString &scritto, const QString &percorso, bool sostituisci);
