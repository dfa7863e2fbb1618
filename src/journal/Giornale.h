#pragma once

#include "archive/IntentoArchivio.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QTime>
#include <functional>
#include <optional>
#include <vector>

// Movimenti.csv, the journal of stock movements, beside the archive in the
// program folder. One line per movement, appended and never rewritten: UTF-8
// with a byte-order mark and a header, ';' between fields, as a spreadsheet
// set to Italian opens it. Readers also take ',' and CRLF, as a spreadsheet
// saves it.

enum class TipoMovimento {
    Carico,
    Scarico,
    Rettifica,
    NuovaScheda,
    Importazione,
    Eliminazione,
    Spostamento,
    Ripristino,
    // Goods ordered from the supplier: no change of stock; a cancelled order
    // is the same kind with the opposite quantity.
    Ordine
};

QString NomeTipo(TipoMovimento tipo);
std::optional<TipoMovimento> TipoDaNome(const QString &nome);

struct Movimento {
    QDateTime quando; // local time with its offset from UTC
    qint64 posizione = 0;
    QString codice;
    QString nome;
    QString categoria;
    TipoMovimento tipo = TipoMovimento::Rettifica;
    qint64 quantita = 0; // signed
    qint64 prima = 0;
    qint64 dopo = 0;
    QString costo; // the card's unit cost then, as the card writes it
    QString postazione;
    QString nota;
    // A removed card: its record and the names that went with it. A move:
    // the position it came from.
    QByteArray dati;

    bool operator==(const Movimento &) const = default;
};

inline constexpr int CAMPI_GIORNALE = 13;
// No line the program writes comes near this (a removed card's line, the
// longest, is a few kB): a longer one is damaged, and is passed over without
// ever being held whole.
inline constexpr qsizetype RIGA_GIORNALE_MASSIMA = 64 * 1024;

QString PercorsoGiornale();
// This computer and its user, e.g. "cassa (mario)".
QString Postazione();

// One line as written, without its line end.
QByteArray RigaGiornale(const Movimento &movimento, char separatore = ';');
// The header line, without its line end (and without the byte-order mark).
QByteArray IntestazioneGiornale();
// The fields of a raw line, as CSV: a field may be in quotes, with doubled
// quotes inside; a carriage return before the line end goes. Fields in
// quotes are unquoted into `spazio`, which `campi` then points into. Stops
// after `fino` fields. False when a quote is left open, text follows a
// closing quote, or there are more fields than a line has. The one reading
// of fields every reader of the journal goes through.
bool DividiRigaGiornale(QByteArrayView riga, char separatore, std::vector<QByteArrayView> &campi,
                        std::vector<QByteArray> &spazio, qsizetype fino = CAMPI_GIORNALE + 1);
// A line of the journal (no line end) split with the given separator. False
// for a damaged line: wrong number of fields, not UTF-8, a value that does
// not read.
bool LeggiRigaGiornale(QByteArrayView riga, char separatore, Movimento &movimento);

// A line checked as LeggiRigaGiornale checks it, without making its texts:
// for passes that look at a few fields of every line. The fields are views
// into the line (or into room of this thread's own, until its next call).
struct CampiMovimento {
    std::vector<QByteArrayView> campi;
    QDate giorno; // as written, in the line's own offset
    QTime ora;
    enum Zona { Locale, Utc, Scarto } zona = Locale;
    int scarto = 0; // seconds east of UTC
    qint64 posizione = 0;
    TipoMovimento tipo = TipoMovimento::Rettifica;
    qint64 quantita = 0;
    qint64 prima = 0;
    qint64 dopo = 0;
    QByteArray dati;
    QDateTime quando() const;
};
bool LeggiCampiGiornale(QByteArrayView riga, char separatore, CampiMovimento &campi);
// A text field as the movement holds it.
QString TestoDiCampo(QByteArrayView campo);
// The separator a header line announces.
char SeparatoreGiornale(QByteArrayView intestazione);

// A text as a field holds it: an apostrophe before one a spreadsheet would
// take for a formula, one more before apostrophes already there; and back.
QString TestoPerGiornale(const QString &testo);
QString TestoDaGiornale(const QString &campo);
// A text as a field of a line: as TestoPerGiornale, line breaks as blanks,
// in quotes when it holds a separator or a quote.
QByteArray CampoGiornale(const QString &testo);

// What makes an operation on the archive at `archivio` final: the journal,
// from its present end on, holding the line whose data are `dati`.
ConclusioneIntento FinaleNelGiornale(const QString &archivio, const QString &giornale,
                                     const QByteArray &dati);
// Data that name the last line of one operation and of no other.
QByteArray ChiaveOperazione(const QString &tipo);

// What a window says of a journal it cannot read: a named pipe or a device
// in its place is named.
QString AvvisoGiornaleIlleggibile(const QString &giornale = PercorsoGiornale());

// Appends the lines under an fcntl write lock on the whole journal, creating
// it with its header, and puts them on disk before returning. A failed
// append leaves the journal as it was. False when it cannot be written (a
// named pipe in its place is refused, never waited on).
bool RegistraMovimenti(const QList<Movimento> &movimenti,
                       const QString &percorso = PercorsoGiornale());

// The lines of one operation held as the bytes they are written as (';'
// between fields), so a change of many cards holds its text rather than a
// Movimento for each card; in blocks, so it never holds room it does not use.
class TestoMovimenti {
  public:
    void aggiungi(const Movimento &movimento);
    void svuota();
    bool vuoto() const { return m_righe == 0; }
    qint64 righe() const { return m_righe; }
    // Gives the last line, added without data, the data `dati`.
    void datiUltima(const QByteArray &dati);
    const QList<QByteArray> &blocchi() const { return m_blocchi; }

  private:
    QList<QByteArray> m_blocchi;
    qint64 m_righe = 0;
};

// As RegistraMovimenti, for lines already written out; a journal saved with
// commas gets them with commas.
bool RegistraTestoMovimenti(const TestoMovimenti &testo,
                            const QString &percorso = PercorsoGiornale());

struct LetturaGiornale {
    bool aperto = false; // false when the journal exists but cannot be read
    qint64 righe = 0;    // movements read
    qint64 danneggiate = 0;
};

// Reads the journal in file order, in large blocks. `scelta` looks at the raw
// line first and may pass over it without decoding (lines passed over are
// not checked, so not counted as damaged either). A line longer than
// RIGA_GIORNALE_MASSIMA is damaged and never reaches `scelta`. The visitor gets each
// movement with the byte offset of its line and returns false to stop. A
// missing journal reads as empty.
using SceltaRiga = std::function<bool(QByteArrayView riga, char separatore)>;
using VisitaMovimento = std::function<bool(const Movimento &, qint64 offset)>;
LetturaGiornale
LeggiGiornale(const QString &percorso, const SceltaRiga &scelta, const VisitaMovimento &visita,
              const std::function<void(qint64 letti, qint64 totale)> &progresso = {});

// The walk over the lines every reader shares, on a journal already open:
// the lines that start in [da, fino), each with its offset. The first line of
// the file is the header (a header too long to be one comes without its
// text); a line longer than RIGA_GIORNALE_MASSIMA comes without its text,
// once. A last line without its line end comes only with `ultimaParziale`.
// The visitor returns false to stop. Returns the offset just past the last
// whole line walked (where a later walk goes on), nothing when the file
// could not be read.
enum class GenereRiga { Intestazione, Vuota, TroppoLunga, Movimento };
using VisitaRiga = std::function<bool(GenereRiga genere, QByteArrayView riga, qint64 offset)>;
std::optional<qint64> ScorriRigheGiornale(int fd, qint64 da, qint64 fino, bool ultimaParziale,
                                          const VisitaRiga &visita,
                                          const std::function<void(qint64 letti)> &progresso = {});

// What LeggiGiornale makes of each line the walk hands it, for readers that
// walk the journal their own way: `scelta`, then the decoding, the count of
// damaged lines and `visita`.
class LettoreGiornale {
  public:
    LettoreGiornale(const SceltaRiga &scelta, const VisitaMovimento &visita, char separatore = ';')
        : separatore(separatore), m_scelta(scelta), m_visita(visita) {}
    bool operator()(GenereRiga genere, QByteArrayView riga, qint64 offset);
    LetturaGiornale esito{true, 0, 0};
    char separatore;

  private:
    const SceltaRiga &m_scelta;
    const VisitaMovimento &m_visita;
    Movimento m_movimento;
};

// As RegistraMovimenti, after `rifiuta` has seen, under the same lock, the
// movements already in the journal that `scelta` lets through: when it
// returns true for one, nothing is written. So a line that must be in the
// journal only once is checked and appended as one step.
enum class Registrazione { Fatta, Rifiutata, NonScritta };

Registrazione RegistraMovimentiSe(const QList<Movimento> &movimenti, const QString &percorso,
                                  const SceltaRiga &scelta,
                                  const std::function<bool(const Movimento &)> &rifiuta);

// What a reader's first look at a raw line needs, from its first fields
// only: the record position (-1 when it does not read), the kind, the date
// and time as written (empty when the fields do not read; the view lasts
// until the next call).
qint64 PosizioneDiRiga(QByteArrayView riga, char separatore);
std::optional<TipoMovimento> TipoDiRiga(QByteArrayView riga, char separatore);
QByteArrayView DataDiRiga(QByteArrayView riga, char separatore);
bool RigaDiSpostamento(QByteArrayView riga, char separatore);
// Whether the kind "Ordine" stands anywhere in the raw line: a card's history
// reads every order line, whatever its card, to tell a whole order from one a
// crash cut short.
bool RigaDiOrdine(QByteArrayView riga, char separatore);

// One line again, read at its offset (the journal only grows, so an offset
// keeps its line).
std::optional<Movimento> LeggiMovimentoA(const QString &percorso, qint64 offset);
