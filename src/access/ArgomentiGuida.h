#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The windows that have a help button, each with its own topic.
enum class TemaGuida {
    Avvio,
    Magazzino,
    Esportazione,
    Inventario,
    Importazione,
    // Topics of the guide for what the program does beyond its first windows.
    Movimenti,
    Eliminazione,
    Ordini,
    Etichette,
    Backup,
    Negozio,
    Conteggio,
    Fatture
};

// A help topic: a one-line title and a text made of paragraphs.
struct ArgomentoGuida {
    QString titolo;
    QStringList paragrafi;
    // Headings within a long text, each before the paragraph of its index.
    QMap<qsizetype, QString> titoletti = {};
    // The paragraphs with an empty line between them (CR LF CR LF).
    QString testo() const;
};

ArgomentoGuida Argomento(TemaGuida tema);
// Every topic once.
QList<ArgomentoGuida> TuttiGliArgomenti();
// The user guide's sections: every topic's text once, no sentence twice.
QList<ArgomentoGuida> SezioniGuida();
