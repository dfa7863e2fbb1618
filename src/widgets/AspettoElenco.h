#pragma once

#include <QFont>
#include <QString>

class QPushButton;
class QWidget;

// The look shared by the list windows' buttons and labels, and by the
// windows of the capabilities that stand on the lists.
QFont FontVerdana(int punti, bool grassetto = false);
QPushButton *PulsanteElenco(const QString &nome, const QString &testo, QWidget *genitore);
