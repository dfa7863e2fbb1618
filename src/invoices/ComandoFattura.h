#pragma once

#include <QRect>
#include <QStringList>
#include <functional>

class QAbstractButton;
class QWidget;

// "Carico da fattura elettronica...": a button placed on a window's panel,
// and the same command for files dropped on that window. `caricata` runs
// after an invoice was loaded (the card window shows the stock on disk).
QAbstractButton *PreparaComandoFattura(QWidget *finestra, QWidget *pannello, QRect pulsante,
                                       std::function<void()> caricata = {});

// Chooses the files (when `file` is empty), reads them, says what cannot be
// read and shows the rest in the invoice window. True when an invoice was loaded.
bool CaricaDaFattura(QWidget *genitore, QStringList file = {});

// Whether a dropped file's name looks like an invoice: .xml, .p7m, .zip.
bool FileDiFattura(const QString &percorso);
