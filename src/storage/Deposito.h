#pragma once

#include "archive/TScheda.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

// Where the archive lives: the record file in the program folder or a
// PostgreSQL server. Windows and capabilities speak to this, so the same
// command works on both. Positions are 1-based, as in the record file; a
// removal moves the last card into the freed position.
//
// Every call says false (or -1) on failure and leaves the reason in
// messaggio(), in words a shop owner can act on.
class Deposito {
  public:
    virtual ~Deposito() = default;

    virtual qint64 conta() = 0;
    virtual bool leggi(qint64 posizione, TScheda &scheda) = 0;

    // A save of the card at `posizione`: every field from `scheda` except the
    // stock, which becomes the stock stored now plus `delta` (read by the
    // program's stock rule), so a movement another copy made meanwhile is
    // never lost. A delta other than 0 records its movement of kind `tipo`
    // with `nota`, card and line both or neither. Without a delta the stock
    // stored is kept as it is.
    struct Salvataggio {
        enum Esito { Fatto, GiacenzaNonIntera, FuoriCampo, NonTrovata, Errore };
        Esito esito = Errore;
        qint64 prima = 0; // the stock before and after
        qint64 dopo = 0;
    };
    Salvataggio scrivi(qint64 posizione, const TScheda &scheda, qint64 delta = 0,
                       TipoMovimento tipo = TipoMovimento::Rettifica,
                       const QString &nota = QString()) {
        return scriviConRighe(posizione, scheda, delta, [&](qint64 prima, const TScheda &scritta) {
            return QList<Movimento>{MovimentoScheda(scritta, posizione, tipo, delta, prima, nota)};
        });
    }
    // The same, with the lines the delta is recorded as built by `righe`
    // from the stock before and the card as written (their quantities add up
    // to the delta), as a save that gathers several changes of the stock.
    using RigheDelta = std::function<QList<Movimento>(qint64 prima, const TScheda &scritta)>;
    virtual Salvataggio scriviConRighe(qint64 posizione, const TScheda &scheda, qint64 delta,
                                       const RigheDelta &righe) = 0;
    // After the last card; the new position, -1 on failure.
    virtual qint64 accoda(const TScheda &scheda) = 0;
    // The same, with the lines `righe` builds for the new position recorded
    // in the same operation ("Nuova scheda" for its stock).
    virtual qint64
    accodaConRighe(const TScheda &scheda,
                   const std::function<QList<Movimento>(qint64 posizione)> &righe) = 0;

    // Takes out the card at `posizione` if it is still `attesa` byte for
    // byte: the last card moves into its place with its photo, the removed
    // card and its photo are kept among the removed ones, and the journal
    // says so ("Eliminazione", "Spostamento").
    struct Rimozione {
        enum Esito { Fatta, NonPiuLaStessa, Errore };
        Esito esito = Errore;
        qint64 spostataDa = 0; // 0 when the last card was the one removed
    };
    virtual Rimozione togli(qint64 posizione, const TScheda &attesa) = 0;
    // The removed cards not brought back yet, newest first: each one's key,
    // record and the "Eliminazione" line.
    struct Eliminata {
        QString chiave;
        TScheda scheda;
        Movimento movimento;
    };
    virtual QList<Eliminata> eliminate() = 0;
    // Appends a removed card back with its photo; its new position, -1 on
    // failure or when it is back already.
    virtual qint64 ripristina(const Eliminata &eliminata) = 0;

    // Every card in position order, in blocks: `visita` gets a block and
    // the position of its first card, and returns false to stop.
    using VisitaBlocco = std::function<bool(const TScheda *schede, qint64 quante, qint64 prima)>;
    virtual bool scorri(const VisitaBlocco &visita) = 0;
    // What a list pass looks for, for a storage that can narrow the cards
    // down before they reach the program: it may leave out only cards that
    // surely fail, and the pass judges every card it gets by its own rule.
    struct Filtro {
        // Texts found literally in their fields, capitals or not: at least
        // `almeno` of them (0: every card).
        QList<std::pair<Campo, QString>> testi;
        int almeno = 0;
        // Only cards whose stock is at or below their threshold, or either of
        // them is not a number.
        bool sottoscorta = false;
        // The fields the pass reads; the others may come empty. Empty: all.
        QList<Campo> campi;
        // False: the cards may come in any order, the pass puts them back.
        bool inOrdine = true;
    };
    // The cards and their positions, in position order unless the filter
    // says otherwise.
    using VisitaSchede =
        std::function<bool(const TScheda *schede, const qint64 *posizioni, qint64 quante)>;
    // How far a long pass is, also called while the storage waits.
    using Progresso = std::function<void(qint64 fatti, qint64 totale)>;
    // The cards that may meet `filtro`, in blocks; `visita` returns false to
    // stop. Here every card: a storage that can filter does better.
    virtual bool scorriFiltro(const Filtro &filtro, const VisitaSchede &visita,
                              const Progresso &avanza = {}) {
        (void)filtro;
        std::vector<qint64> posizioni;
        const qint64 n = avanza ? conta() : 0;
        return scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
            posizioni.resize(std::size_t(quante));
            for (qint64 i = 0; i < quante; ++i)
                posizioni[std::size_t(i)] = prima + i;
            if (avanza) avanza(prima + quante - 1, qMax(n, prima + quante - 1));
            return visita(schede, posizioni.data(), quante);
        });
    }

    // A copy of every card as the storage holds them now, in a record file,
    // for a pass by `filtro` to read in place (on both cores) rather than
    // through scorriFiltro; empty when the storage keeps none, or when its
    // own narrowing answers that filter sooner.
    virtual QString archivioDaLeggere(const Filtro &filtro, const Progresso &avanza) {
        (void)filtro;
        (void)avanza;
        return {};
    }

    // The positions whose text in one of `campi` holds `testo` (capitals or
    // not), literally: no character of it is a pattern.
    virtual bool cerca(const QString &testo, const QList<Campo> &campi,
                       QList<qint64> &posizioni) = 0;

    // All or nothing: rewrites the cards at `posizioni` (`aggiorna` gets each
    // as stored and may change it; false gives everything up), appends
    // `nuove` cards built by `prepara`, and records `movimenti`. The first
    // new position, -1 on failure.
    virtual qint64 insieme(const std::vector<qint64> &posizioni,
                           const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                           qint64 nuove,
                           const std::function<void(qint64 indice, TScheda &)> &prepara,
                           const QList<Movimento> &movimenti) = 0;
    // The same when the lines depend on what is written (the stock a card
    // had, the position a new one gets): `righe` makes them once every card
    // is updated and prepared, given the first new position.
    using RigheInsieme = std::function<QList<Movimento>(qint64 prima)>;
    virtual qint64 insiemeConRighe(const std::vector<qint64> &posizioni,
                                   const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                                   qint64 nuove,
                                   const std::function<void(qint64 indice, TScheda &)> &prepara,
                                   const RigheInsieme &righe) = 0;

    // Runs `lavoro` as one with the changes it makes through this storage,
    // no other site changing the archive meanwhile, so what it reads inside
    // still holds when it writes; false when `lavoro` gives up (nothing it
    // wrote stays) or the storage fails. Here it only runs it: the folder's
    // own operations check again under their locks.
    virtual bool inEsclusiva(const std::function<bool()> &lavoro) { return lavoro(); }

    // The journal.
    virtual bool registra(const QList<Movimento> &movimenti) = 0;
    // A card position's lines, oldest first.
    virtual bool movimentiScheda(qint64 posizione, QList<Movimento> &movimenti) = 0;
    // The lines from `da` up to `a` excluded, oldest first.
    virtual bool movimentiPeriodo(const QDateTime &da, const QDateTime &a,
                                  QList<Movimento> &movimenti) = 0;

    // The journal's lines as written, oldest first, each with its journal's
    // separator and its number there (the file's offset, the server's row),
    // from a superset the storage reads cheaply: the caller applies the
    // program's own rule to each line. `visita` returns false to stop.
    using VisitaRigaGrezza =
        std::function<bool(QByteArrayView riga, char separatore, qint64 numero)>;
    // The lines written from `da` up to `a` excluded, and any whose time
    // cannot be read.
    virtual bool righePeriodo(const QDateTime &da, const QDateTime &a,
                              const VisitaRigaGrezza &visita) = 0;
    // The lines of `posizioni`, every "Spostamento" and "Ordine" line, and
    // any without a position.
    virtual bool righeSchede(const QList<qint64> &posizioni, const VisitaRigaGrezza &visita) = 0;
    // The lines whose bytes as written hold `testo`. Here every line is read
    // and looked at; a storage that can look for it does better.
    virtual bool righeConTesto(const QByteArray &testo, const VisitaRigaGrezza &visita) {
        // No line the program writes is outside these years.
        return righePeriodo(QDateTime(QDate(1900, 1, 1), QTime(0, 0)),
                            QDateTime(QDate(9000, 1, 1), QTime(0, 0)),
                            [&](QByteArrayView riga, char separatore, qint64 numero) {
                                return !riga.contains(testo) || visita(riga, separatore, numero);
                            });
    }
    // The line numbered `numero`, decoded.
    virtual bool rigaGiornale(qint64 numero, Movimento &movimento) = 0;
    // The journal's mark now: every line recorded from now on is numbered at
    // or past it (the file's length, the server's next row); -1 on failure.
    virtual qint64 segnoGiornale() = 0;
    // The lines numbered from `segno` on, oldest first.
    virtual bool righeDopo(qint64 segno, const VisitaRigaGrezza &visita) = 0;

    // The positions whose code may be `codice`, capitals or not: a superset
    // read cheaply, the caller keeps the cards its own rule finds equal.
    virtual bool cercaCodice(const QString &codice, QList<qint64> &posizioni) = 0;

    // A card's photo (JPEG bytes; empty when it has none) and attachments,
    // named by their path under the attachments folder.
    virtual bool leggiFoto(qint64 posizione, QByteArray &foto) = 0;
    virtual bool scriviFoto(qint64 posizione, const QByteArray &foto) = 0;
    virtual bool allegati(QStringList &nomi) = 0;
    virtual bool leggiAllegato(const QString &nome, QByteArray &byte) = 0;
    virtual bool scriviAllegato(const QString &nome, const QByteArray &byte) = 0;

    virtual QString messaggio() const = 0;
};
