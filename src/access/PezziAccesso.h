#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The pieces the access and help windows are made of.
namespace PezziAccesso {

// A masked box in Verdana 14 bold with its yellow focus rectangle, named for
// assistive technology.
QLineEdit *crea(QWidget *genitore, const QString &nome, const QString &evidenza,
                const QString &nomeAccessibile, QRect posto);
QLabel *etichetta(QWidget *genitore, const QString &nome, const QString &testo, QRect posto);
QPushButton *pulsante(QWidget *genitore, const QString &nome, const QString &testo, QRect posto);
// Centres a window on its screen.
void centra(QWidget *finestra);

} // namespace PezziAccesso
