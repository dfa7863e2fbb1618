#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

class QChart;
class TfrxReport;

// The list template with a chart under the title: the movements windows
// print their lines through it with their chart.
void PreparaStampaMovimenti(TfrxReport &report, const QString &titolo, const QImage &grafico,
                            const QStringList &righe);

// A chart drawn on a picture of the given size, for printing. Takes the chart.
QImage ImmagineGrafico(QChart *grafico, QSize dimensione);

// A text cut or filled with blanks to a column's width; numbers go right.
QString Colonna(const QString &testo, int larghezza, bool destra = false);
