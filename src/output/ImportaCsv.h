#pragma once

#include "archive/TScheda.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// Reading a CSV file of products into new cards.

// The records of a CSV text, the header first. The bytes are UTF-8 (with or
// without a byte-order mark) or, when they are not valid UTF-8, Windows-1252;
// the separator (';', ',' or tab) is the one the header line uses most.
// Quoted fields may hold separators, doubled quotes and line breaks; a quote
// left open takes the rest of the file. Empty lines are skipped.
struct TestoCsv {
    QList<QStringList> righe;
    QChar separatore;
    bool virgoletteAperte = false;
};
TestoCsv LeggiCsv(const QByteArray &byte);

// A data row of the file as it will become a card.
struct RigaImportata {
    qsizetype numero = 0; // record number in the file, the header being 1
    QStringList campi;    // in the order of ColonneCsv(), normalised
    QString motivo;       // why the row is skipped; empty when it is imported
};

struct Importazione {
    QString errore;       // the file as a whole is refused
    QStringList ignorate; // header cells that name no field
    bool virgoletteAperte = false;
    std::vector<RigaImportata> righe;
    qsizetype valide = 0;
};

// Maps the header to the card fields and checks every row by the card
// window's rules for saving.
Importazione PreparaImportazione(const QByteArray &contenuto);

// The card of a valid row.
TScheda SchedaDaRiga(const RigaImportata &riga);
