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
