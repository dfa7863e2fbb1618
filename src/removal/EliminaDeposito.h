#pragma once

#include "journal/Eliminazione.h"
#include "storage/Deposito.h"

// Removing a card and bringing it back on any storage. The folder's archive
// goes through the program's file code (EliminaScheda, RipristinaScheda:
// crash-safe through the journal), another storage through Deposito::togli
// and ripristina, one transaction each. On a failure of the storage the
// words for the user are in deposito.messaggio().

// Removes the card at `posizione` if it is still `attesa` byte for byte.
EsitoEliminazione EliminaScheda(Deposito &deposito, qint64 posizione, const TScheda &attesa);

// The removed cards not brought back yet, newest first; false when they
// could not be read.
bool SchedeEliminate(Deposito &deposito, QList<SchedaEliminata> &eliminate,
                     qint64 *danneggiate = nullptr);

EsitoRipristinoScheda RipristinaScheda(Deposito &deposito, const SchedaEliminata &eliminata);
