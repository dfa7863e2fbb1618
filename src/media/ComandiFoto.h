#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

class QWidget;
class RiquadroFoto;

// The photo commands of the card window, and the save dialog that the webcam
// window shares with it. They change only the picture in memory, or a file
// that the user names; the card's own photo file is written by Salva.

// Settings of the two file dialogs.
QString TitoloApriFoto();
QStringList FiltriApriFoto();
QString TitoloSalvaFoto();
QStringList FiltriSalvaFoto();

// Load: the chosen picture file replaces the photo. A file that is not a
// readable picture leaves the photo as it was and says so.
void CaricaFoto(QWidget *finestra, RiquadroFoto *foto);
// Save a copy: asks for a file, preset to "Foto.jpg", and writes the picture
// there. A failure keeps the picture and says so; an earlier file of that
// name stays whole. True when a file was written.
bool SalvaCopiaFoto(QWidget *finestra, const RiquadroFoto *foto);
// Delete: the default picture takes the photo's place.
void CancellaFoto(RiquadroFoto *foto, const QImage &bianco);
// Zoom: shows a copy of the photo enlarged in TfrmZoom.
void IngrandisciFoto(QWidget *proprietario, const QImage &foto);

// The warning for a picture that could not be written to `percorso`.
QString MessaggioFotoNonScritta(const QString &percorso);
