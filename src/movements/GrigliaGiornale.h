#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QLabel;
class QTableWidget;
class QWidget;

// What the windows that list lines of the journal share: a read-only grid
// chosen by whole rows, and the line under it that warns of damaged lines.

// An empty grid with these column headings; the last column takes the room
// left, the rows are numbered by nothing.
QTableWidget *GrigliaGiornale(QWidget *genitore, const QString &nome, const QString &descrizione,
                              const QStringList &intestazioni);
// Puts a row's texts into the grid, the columns in `aDestra` right-aligned.
void MettiRigaGiornale(QTableWidget *griglia, int riga, const QStringList &celle,
                       const QList<int> &aDestra = {});

// The warning line, hidden while there is nothing to say.
QLabel *RigaAvvisoGiornale(QWidget *genitore);
void MostraAvvisoGiornale(QLabel *riga, const QString &avviso);
// What the warning says of lines that could not be read; empty for none.
QString AvvisoRigheDanneggiate(qint64 danneggiate);
