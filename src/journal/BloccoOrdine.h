#pragma once

#include "journal/Giornale.h"

#include <QByteArray>
#include <QList>

// The lines of one order are appended at once, but a crash can still cut the
// append short. Each "Ordine" line of an order carries "<key> <n>/<count>."
// as its data; the closing full stop of the last one makes the order final,
// and a prefix of a block never reads as a whole one. "Ordine" lines without
// data were written before orders carried the mark, and count on their own.
QByteArray SegnoOrdine(const QByteArray &chiave, qsizetype n, qsizetype quante);

// Reads the journal's order lines as the blocks they were written in.
class BloccoOrdine {
  public:
    // A line in file order: the lines it makes final (none while its order
    // is not yet whole, the line itself when it is not part of one).
    QList<Movimento> aggiungi(const Movimento &movimento);

  private:
    QList<Movimento> m_righe;
    QByteArray m_chiave;
    qint64 m_quante = 0;
};
