#pragma once

#include <QPicture>
#include <QSize>
#include <QString>
#include <QStringList>

class QChart;
class TfrxReport;

// The list template with a chart under the title: the movements windows
// print their lines through it with their chart.
void PreparaStampaMovimenti(TfrxReport &report, const QString &titolo, const QPicture &grafico,
                            const QStringList &righe);

// A chart laid out whole at the given size and recorded as a drawing, for
// printing: axes, dates and legend included, its texts kept as texts. Takes
// the chart.
QPicture DisegnoGrafico(QChart *grafico, QSize dimensione);

// A text cut or filled with blanks to a column's width; numbers go right.
QString Colonna(const QString &testo, int larghezza, bool destra = false);
// A printed line whose note column holds `nota` whole: what does not fit goes
// on the lines below, under the note's column.
void AggiungiRigaConNota(QStringList &righe, const QString &inizio, const QString &nota,
                         int larghezza, const QString &fine = QString());
