#pragma once

#include "journal/Movimenti.h"
#include "storage/Deposito.h"

// A card's history and the undoing of its latest movement on any storage:
// the folder's journal through the program's file code (its index, its
// locks), the server's lines by the same rules.

StoriaScheda LeggiStoriaScheda(Deposito &deposito, qint64 posizione);

// As AnnullaUltimoMovimento on the files. On the server the card's row is
// locked while its history is read again, and the stock and its opposite line
// are one transaction; a failure leaves the reason in deposito.messaggio().
Annullamento AnnullaUltimoMovimento(Deposito &deposito, qint64 posizione,
                                    const AttesaAnnullamento *attesa = nullptr);
