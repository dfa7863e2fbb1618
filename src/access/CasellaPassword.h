#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The pieces both password windows are made of.
namespace CasellaPassword {

// A masked box in Verdana 14 bold with its yellow focus rectangle, named for
// assistive technology.
QLineEdit *crea(QWidget *genitore, const QString &nome, const QString &evidenza,
                const QString &nomeAccessibile, QRect posto);
QLabel *etichetta(QWidget *genitore, const QString &nome, const QString &testo, QRect posto);
QPushButton *pulsante(QWidget *genitore, const QString &nome, const QString &testo, QRect posto);
// Centres a window on its screen.
void centra(QWidget *finestra);

} // namespace CasellaPassword
