#pragma once

#include "count/Conteggio.h"

#include <QString>
#include <QStringList>

class QWidget;
class TfrxReport;

// The count's papers, through the list template of the report engine: the
// sheet to count on (the cards by place in the store, then code, with an
// empty column to write in) and the differences with their totals.

// The sheet's lines, header first; false when the archive cannot be read.
bool RigheFoglioConta(const Conteggio &conteggio, const QString &archivio, QStringList &righe);
// The same from a storage (the archive on a server).
bool RigheFoglioConta(const Conteggio &conteggio, Deposito &deposito, QStringList &righe);

// Which lines of the differences a window shows and prints.
enum class FiltroDifferenze { Tutte, SoloDifferenze, NonContate };
bool RigaNelFiltro(const RigaDifferenza &riga, FiltroDifferenze filtro);
QStringList RigheDifferenze(const Differenze &differenze, FiltroDifferenze filtro);
QStringList TotaliDifferenze(const Differenze &differenze);

// The lines into the template, pages prepared.
void PreparaStampaConteggio(TfrxReport &report, const QString &titolo, const QStringList &righe);
// Prints (print dialog) or saves a PDF (save chooser) of prepared lines.
void StampaConteggio(QWidget *genitore, const QString &titolo, const QStringList &righe);
void PdfConteggio(QWidget *genitore, const QString &titolo, const QStringList &righe,
                  const QString &nomeFile);
