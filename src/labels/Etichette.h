#pragma once

#include "labels/FoglioEtichette.h"

#include <QList>
#include <QString>
#include <functional>

class Deposito;
class QWidget;
class Righe;
struct TScheda;

// What the card and list windows call: they place the button or the box and
// hand over what they show.

// "Etichette" in the card window: the card on screen, its copies preset to its stock.
void ApriEtichetteScheda(QWidget *proprietario, const SchedaEtichetta &scheda);
// "Etichette" in a list window: the listed cards, in the list's order, from
// the archive in use (on a server that one, whatever `archivio` says).
void ApriEtichetteElenco(QWidget *proprietario, const QString &archivio,
                         const QList<qint64> &posizioni);
void ApriEtichetteElenco(QWidget *proprietario, const QList<qint64> &posizioni);

// What becomes of a code read by the scanner or the webcam.
struct AzioniCodice {
    // Exactly one card has it: open it.
    std::function<void(const TScheda &scheda, qint64 posizione)> apri;
    // None has it and the user wants a new card with it; when not given the
    // user is only told.
    std::function<void(const QString &codice)> nuova;
    // Several have it: show the list of them.
    std::function<void(Righe &&righe)> elenco;
};
// Looks the code up over the archive and acts on what it finds; bad codes,
// archive failures and a code no card has are said in messages over `finestra`.
void GestisciCodiceLetto(QWidget *finestra, const QString &archivio, const QString &codice,
                         const AzioniCodice &azioni);
// The same on the archive in use (DepositoCorrente()), file or server.
void GestisciCodiceLetto(QWidget *finestra, Deposito &deposito, const QString &codice,
                         const AzioniCodice &azioni);
