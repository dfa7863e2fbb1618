#pragma once

#include "archive/Archivio.h"
#include "archive/TScheda.h"
#include "journal/Giornale.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

// What the card window asks of the journal: the movements of a save, the
// stock on disk, a card's history, taking back its last movement.

// The card's stock as a whole number, read by the program's number rules
// ("1E3" is 1000, blank is 0); nothing when it is not a whole number ("2,5",
// "abc"). Every reader of a stock for a movement goes through here.
std::optional<qint64> GiacenzaDi(const TScheda &scheda);
std::optional<qint64> LeggiGiacenza(const QString &testo);
// Says that a stock on disk is not a whole number and takes no movement.
QString MessaggioGiacenzaNonIntera(const QString &testo);
// Whether a stock fits the card's stock field (at most 4 characters).
bool GiacenzaArchiviabile(qint64 giacenza);

// A movement of the card at `posizione`, now, from this workstation; the
// stock after it is `prima` + `quantita`.
Movimento MovimentoScheda(const TScheda &scheda, qint64 posizione, TipoMovimento tipo,
                          qint64 quantita, qint64 prima, const QString &nota = QString());

// The same for many cards at once: a movement on the model of `base` (its
// time, kind, workstation and note) for the card at `posizione`.
Movimento MovimentoDaModello(const Movimento &base, const TScheda &scheda, qint64 posizione,
                             qint64 quantita, qint64 prima);

// A card's movements, oldest first, following the card through the moves
// that a removal makes and back through its own removal when it was
// restored, from the line that made it a new card on.
struct StoriaScheda {
    QList<Movimento> movimenti;
    qint64 danneggiate = 0;
    bool letto = true; // false when the journal could not be read
};
StoriaScheda LeggiStoriaScheda(qint64 posizione, const QString &giornale = PercorsoGiornale());
// The same on lines another reader gives: those of `posizioni` that
// `scelta` keeps, in journal order, each handed to `visita`.
using LettoreStoria = std::function<LetturaGiornale(
    const QSet<qint64> &posizioni, const SceltaRiga &scelta, const VisitaMovimento &visita)>;
StoriaScheda LeggiStoriaScheda(qint64 posizione, const LettoreStoria &leggi);

// Movements that change the stock and can be taken back.
bool MovimentoDiGiacenza(TipoMovimento tipo);

// Takes back the card's latest stock movement: the stock on disk changes by
// the opposite quantity and the opposite movement is recorded, both or
// neither (GiornaleNonScritto: the journal could not be written, and the
// stock is as it was); no line is ever removed. With `attesa`, only the
// movement the user was shown, on the card the window read: the history is
// read again under the archive's lock, and another copy's movement since, or
// a card removed or moved meanwhile, leaves everything as it is.
struct AttesaAnnullamento {
    Movimento movimento; // the one named to the user
    TScheda scheda;      // the card as the window read it
    qint64 segnoGiornale = -1;
};
struct Annullamento {
    enum Esito {
        Fatto,
        NienteDaAnnullare,
        ErroreArchivio,
        FuoriCampo,
        GiornaleNonScritto,
        Cambiato,          // the latest movement is another one now
        NonPiuQui,         // the card was removed or moved by another copy
        GiacenzaNonIntera, // the stock on disk is not a whole number
    };
    Esito esito = NienteDaAnnullare;
    qint64 giacenza = 0;   // the stock on disk afterwards
    Movimento movimento;   // the one recorded
    QString testoGiacenza; // GiacenzaNonIntera: the stock as the disk has it
};
// The line that takes back `annullato`: the opposite quantity, with a note
// naming it by its minute and kind.
Movimento MovimentoAnnullamento(const TScheda &scheda, qint64 posizione, const Movimento &annullato,
                                qint64 prima);
// The undo's step on the card as stored, `storia` its lines read under its
// lock: the last stock movement taken back on `scheda` (its stock changed,
// the opposite line in esito.movimento, the stock before in esito.giacenza).
// False when there is nothing to take back or it cannot be, said in `esito`.
bool AnnullaSullaScheda(const StoriaScheda &storia, qint64 posizione,
                        const AttesaAnnullamento *attesa, TScheda &scheda, Annullamento &esito);
Annullamento AnnullaUltimoMovimento(qint64 posizione, const QString &archivio,
                                    const QString &giornale = PercorsoGiornale(),
                                    const AttesaAnnullamento *attesa = nullptr);

// The movements of an import: one "Importazione" line for each card whose
// stock it changed, all with one time, workstation and note. Only these lines
// are kept, never the cards, so a large import holds little.
class MovimentiImportazione {
  public:
    explicit MovimentiImportazione(const QString &nota);
    // The line of a card as written at `posizione`, with its stock before
    // (0 for a new one); nothing when the stock did not change, or when the
    // stock before or after is not a whole number (no quantity to record).
    std::optional<Movimento> movimento(const TScheda &scheda, qint64 posizione,
                                       std::optional<qint64> prima) const;
    void aggiungi(Movimento movimento) { m_movimenti << std::move(movimento); }
    // False when the journal cannot be written.
    bool registra(const QString &giornale = PercorsoGiornale()) const;

  private:
    Movimento m_base;
    QList<Movimento> m_movimenti;
};

// A stock change and its lines are one operation: the card is written
// through the intent record (Archivio::scriviInsieme), and the last line,
// which carries the operation's key, makes it final; a crash before that
// line puts the card back as it was. `prepara` fills `movimenti` once the
// card is on disk at `posizione`; `scritto` tells whether they were written.
Conclusione ConclusioneDeiMovimenti(const QString &archivio, const QString &giornale,
                                    QList<Movimento> &movimenti, bool &scritto,
                                    const std::function<void(qint64 posizione)> &prepara);

// The same for lines already written out, which the change fills as it
// writes the cards.
Conclusione ConclusioneDelTesto(const QString &archivio, const QString &giornale,
                                TestoMovimenti &righe, bool &scritto);

// The message of a stock change not saved because its movements could not
// be written.
QString MessaggioGiornaleNonScritto();
