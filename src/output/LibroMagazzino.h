#pragma once

#include "output/FoglioMagazzino.h"

#include <QString>

// Magazzino.xlsx: a real workbook with one sheet "Magazzino Prodotti", the
// columns of Magazzino.xls, a bold header row kept in view and filters on it.
// Cost, stock and price that read as numbers become numbers.

// Writes the workbook beside `percorso` and puts it in place only when whole,
// so a failure leaves any previous file as it was. `cella` gives the texts as
// for Magazzino.xls.
bool ScriviLibroMagazzino(const QString &percorso, qsizetype righe, const CellaFoglio &cella);
