#pragma once

class QIODevice;

// The user guide Guida.pdf, made from the program's own help topics: a title
// page, the contents with page numbers, and one section per topic on A4.
// Needs a running QGuiApplication for the fonts. False when the device
// refused the document.
bool ScriviGuidaPdf(QIODevice *destinazione);
