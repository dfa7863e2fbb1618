#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QWidget;

// What the launcher and the list windows call to count the goods: they place
// the button and hand over what they show.

// "Conta inventario" on the launcher's panel: a count of every card.
void PreparaComandoConteggio(QWidget *finestra, QWidget *pannello, QRect pulsante);
// Starts or continues a count; `posizioni` are the cards it covers (none:
// every card), `ambito` says which in words ("Categoria: vini").
void ApriConteggio(QWidget *proprietario, const QString &archivio, const QList<qint64> &posizioni,
                   const QString &ambito);
