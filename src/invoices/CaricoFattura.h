#pragma once

#include "invoices/AbbinamentiFattura.h"
#include "invoices/FatturaElettronica.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class Deposito;

// Receiving the goods of an invoice: every card's stock, cost, supplier,
// purchase document and payment, a "Carico" line per card in the journal
// and the invoice file kept in Fatture/<year>/, all as one operation.

// One line that is goods, with the card it goes to.
struct VoceCarico {
    qsizetype riga = 0;    // index in the invoice's lines
    qint64 posizione = 0;  // 0: a new card
    QString codice;        // the card's code (checked again when written) or the new one's
    DatiNuovaScheda nuova; // for a new card
    qint64 quantita = 0;   // whole, as chosen for the line
};

struct RichiestaCarico {
    Fattura fattura;
    QString ditta; // the supplier as the cards will say it
    PoliticaCosto costo = PoliticaCosto::Sempre;
    QList<VoceCarico> voci;
    QString nomeFile;     // to keep the file under
    QByteArray originale; // the file as received
};

// What one card will be: the preview's line.
struct AnteprimaScheda {
    qint64 posizione = 0; // 0: new
    QString codice;
    QString nome;
    QString giacenzaPrima;
    QString giacenzaDopo;
    QString costoPrima;
    QString costoDopo;
};

struct PianoCarico {
    QString errore; // a whole message; nothing may be written
    QList<AnteprimaScheda> schede;
};

// The note of the journal's lines: "Fattura 12/A del 03/02/2025 – Rossi srl".
QString NotaFattura(const Fattura &fattura, const QString &ditta);
// "Fattura n. 12/A del 03/02/2025", the card's purchase document.
QString DocumentoFattura(const Fattura &fattura);

// Checks every text against its card field and reads the cards as they are
// now: what the preview shows. Nothing is written.
PianoCarico PreparaCarico(const RichiestaCarico &richiesta, const QString &archivio);
// The same on the archive in `deposito`.
PianoCarico PreparaCarico(const RichiestaCarico &richiesta, Deposito &deposito);

// When the journal already holds this invoice (same supplier, number and
// date): the time it was loaded.
std::optional<QDateTime> FatturaGiaCaricata(const Fattura &fattura, const QString &giornale);
// The same in the journal of `deposito`; false when it cannot be read.
bool FatturaGiaCaricata(const Fattura &fattura, Deposito &deposito,
                        std::optional<QDateTime> &quando);
QString MessaggioGiaCaricata(const Fattura &fattura, const QDateTime &quando);

struct EsitoCarico {
    bool fatto = false;
    QString messaggio;      // what went wrong, when not done
    QString fileConservato; // the kept copy of the invoice
    qsizetype schede = 0;   // cards changed or added
};

// Writes the whole receiving or nothing: through the intent record, made
// final by the last journal line; the kept file goes if it is undone.
EsitoCarico ApplicaCarico(const RichiestaCarico &richiesta, const QString &archivio,
                          const QString &giornale);
// The same on the archive in `deposito`: on a server one transaction, the
// kept copy of the invoice in the program folder, removed when it fails.
EsitoCarico ApplicaCarico(const RichiestaCarico &richiesta, Deposito &deposito);

// The folder where the applied invoices are kept, in the program folder.
QString CartellaFatture();
