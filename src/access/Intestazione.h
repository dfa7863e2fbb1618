#pragma once

#include <QRect>
#include <QStringList>

class QLabel;
class QWidget;

// A window's header picture: an icon from the resources, a title and a few
// lines below it, painted on a white band when asked. Assistive technology
// reads the same words as its name.
QLabel *CreaIntestazione(QWidget *genitore, QRect posto, const QString &icona,
                         const QString &titolo, const QStringList &righe, bool fasciaBianca);
