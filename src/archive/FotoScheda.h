#pragma once

#include <QImage>
#include <QString>

// The photo file of the card whose position label reads `posizione`.
// A null picture when the label is no position, or the file is missing or not
// a picture: the caller shows the default picture instead.
QImage CaricaFotoScheda(const QString &posizione);
// Writes the picture as JPEG, replacing any earlier file only once the new one
// is complete. False when it cannot be written.
bool SalvaFotoScheda(const QString &posizione, const QImage &foto);
