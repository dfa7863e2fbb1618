#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The windows that have a help button, each with its own topic.
enum class TemaGuida { Avvio, Magazzino, Esportazione, Inventario, Importazione };

// A help topic: a one-line title and a text made of paragraphs.
struct ArgomentoGuida {
    QString titolo;
    QStringList paragrafi;
    // The paragraphs with an empty line between them (CR LF CR LF).
    QString testo() const;
};

ArgomentoGuida Argomento(TemaGuida tema);
// Every topic once, in the order the user guide shows them.
QList<ArgomentoGuida> TuttiGliArgomenti();
