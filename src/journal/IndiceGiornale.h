#pragma once

#include "journal/Giornale.h"

#include <QSet>
#include <QString>
#include <optional>

// Movimenti.csv.indice, beside the journal: where each line starts and the
// card position it names, so that a card's history reads only its own lines.
// The journal stays the only record. The index holds offsets only; it is
// brought up to date from the journal's tail at each use (the journal only
// grows), rebuilt whole when it is missing, damaged or does not match the
// journal, and every line it points at is checked before it is used. It is a
// cache: written without a flush, never copied in a backup.

QString PercorsoIndice(const QString &giornale = PercorsoGiornale());

// The lines of the journal a card's history needs, as LeggiGiornale would
// hand them with a `scelta` that takes the lines of `posizioni`, every line
// whose position does not read, every move ("Spostamento") and every order
// line: the same movements, in the same order, with the same damaged-line
// count. `scelta` and `visita` are then applied as LeggiGiornale applies
// them. Nothing when the index cannot be used (a folder that cannot be
// written, a journal that cannot be read): the caller reads the journal whole.
std::optional<LetturaGiornale> LeggiConIndice(const QString &giornale,
                                              const QSet<qint64> &posizioni,
                                              const SceltaRiga &scelta,
                                              const VisitaMovimento &visita);
