#pragma once

#include <QStringList>

class QWidget;

// The shortcut letters (the "&" of a caption, or of a label for its buddy)
// of the visible controls of a window. Returns the letters that lead to more
// than one control, each as "Alt+x: first and second"; `quante` gets how many
// letters there are in all.
QStringList ScorciatoieDoppie(const QWidget *finestra, int *quante = nullptr);
