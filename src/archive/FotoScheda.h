#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The photo file of the card whose position label reads `posizione`.
// A null picture when the label is no position, or the file is missing or not
// a picture: the caller shows the default picture instead. When the file is a
// JPEG, `originale` receives its bytes, to be written back unchanged.
QImage CaricaFotoScheda(const QString &posizione, QByteArray *originale = nullptr);
// Writes the picture as JPEG, replacing any earlier file only once the new one
// is complete. Given the JPEG bytes the picture was decoded from, writes those
// instead, and leaves the file alone when it already holds them, so saving a
// card again and again never degrades its photo. False when it cannot be
// written.
bool SalvaFotoScheda(const QString &posizione, const QImage &foto,
                     const QByteArray &originale = QByteArray());

// A picture file read whole: its picture, and its bytes when it is a JPEG.
// A null picture when the file cannot be read or is not a picture.
QImage LeggiImmagine(const QString &percorso, QByteArray *originale = nullptr);

// The same from the bytes of a picture, as the server keeps them.
QImage ImmagineDaByte(QByteArray byte, QByteArray *originale = nullptr);
// A photo as JPEG bytes: `originale` as it stands when given, so a photo is
// never encoded again; empty when it cannot be encoded.
QByteArray ByteJpeg(const QImage &foto, const QByteArray &originale = QByteArray());
// Writes a picture in the format that the file name's extension names, as a
// whole: the previous file is replaced only once the new one is complete.
// `originale`, the JPEG bytes the picture came from, is written as it stands
// for a JPEG name. False when it cannot be written.
bool ScriviImmagine(const QString &percorso, const QImage &immagine,
                    const QByteArray &originale = QByteArray());
