#pragma once

#include "sheets/FoglioMagazzino.h"

#include <QString>

// Magazzino.xlsx: a real workbook with one sheet "Magazzino Prodotti", the
// columns of Magazzino.xls, a bold header row kept in view and filters on it.
// Cost, stock and price that read as numbers become numbers.

class QIODevice;

// Writes the workbook to `uscita`, every write checked; false on any failure.
// The library makes its file in `cartellaLavoro` (beside the target, so on the
// same disk), which is then handed over and removed: the caller writes it
// through the checked writer of whole files, flushed before it takes the
// old file's place. `cella` gives the texts as for Magazzino.xls.
bool ScriviLibroMagazzino(QIODevice *uscita, qsizetype righe, const CellaFoglio &cella,
                          const QString &cartellaLavoro);
