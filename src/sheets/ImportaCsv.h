#pragma once

#include "archive/TScheda.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class Deposito;

// Reading a CSV file of products into cards: new ones appended, existing ones
// (same code) updated.

// The records of a CSV text, the header first. The bytes are UTF-8 (with or
// without a byte-order mark) or, when they are not valid UTF-8, Windows-1252;
// the separator (';', ',' or tab) is the one the header line uses most.
// Quoted fields may hold separators, doubled quotes and line breaks; a quote
// left open takes the rest of the file. Empty lines are skipped.
struct TestoCsv {
    QList<QStringList> righe;
    QChar separatore;
    bool virgoletteAperte = false;
};
TestoCsv LeggiCsv(const QByteArray &byte);

// A header cell reduced to what matters for recognising it: lower case
// letters and digits, without accents, blanks or punctuation.
QString FormaIntestazione(const QString &cella);
// The field (index in ColonneCsv()) a header cell names, or -1.
int CampoDiIntestazione(const QString &cella);

// What a column of amounts or quantities holds as a whole: whether any value
// uses the comma, whether any uses a point followed by one or two decimals.
struct UsoColonna {
    bool virgola = false;
    bool puntoDecimale = false;
};
void OsservaNumero(const QString &valore, bool importo, UsoColonna &uso);

// A value of an amount (importo) or quantity field as the card will store it.
// A value the card can already read is kept exactly as written; the forms
// shops write ("1.052,25", "€ 7,90", "12.50") are converted. On refusal the
// text is empty and `motivo` says why and what to write.
struct ValoreLetto {
    QString testo;
    QString motivo;
};
ValoreLetto LeggiValoreNumerico(const QString &valore, bool importo, const UsoColonna &uso,
                                const QString &nomeCampo);
// A due date: "dd/mm/yyyy", "d/m/yyyy", "d/m/yy" or "yyyy-mm-dd" becomes
// "dd/mm/yyyy"; an empty one stays empty.
ValoreLetto LeggiData(const QString &valore, const QString &nomeCampo);

// How the stock of a card that is updated changes.
enum class ModoGiacenza { Sostituisci, Somma, Lascia };

// Choices made in the preview.
struct SceltaImportazione {
    QList<int> colonne; // for each column of the file, its field or -1
    // One value for every row when the file has no column for the field.
    QString nome;
    QString costo;
    QString categoria = QStringLiteral("Da classificare");
    bool pagato = true; // for rows that say nothing about it
    ModoGiacenza giacenza = ModoGiacenza::Sostituisci;
};

enum class StatoRiga : quint8 { Nuova, DaAggiornare, Invariata, Rifiutata };

// One data row of the file as it will become or change a card.
struct RigaImportata {
    qsizetype numero = 0; // line of the file where the row begins
    StatoRiga stato = StatoRiga::Rifiutata;
    QStringList campi;    // in the order of ColonneCsv(), as the card will store them
    QStringList celle;    // the file's own cells
    QString motivo;       // why the row is refused
    QList<int> cambiati;  // fields (order of ColonneCsv()) an update changes
    QStringList prima;    // for an update, the card's fields as they are now
    QString nota;         // what was changed to fit the card, e.g. a name cut short
    qint64 posizione = 0; // the card an update changes
};

// A file read for import. The rows are kept as places in the file's bytes and
// read again when shown, so the preview of a large file stays small.
class Importazione {
  public:
    QString errore; // the file as a whole is refused
    bool virgoletteAperte = false;

    const QStringList &intestazione() const { return m_intestazione; }
    // The fields the header names, before any choice.
    const QList<int> &colonneRiconosciute() const { return m_riconosciute; }
    const SceltaImportazione &scelta() const { return m_scelta; }

    // Checks every row against the choice and the cards in the archive at
    // `archivio` (none when empty). False when the archive cannot be read.
    bool valuta(const SceltaImportazione &scelta, const QString &archivio);
    // The same against the archive in `deposito`, which must outlive this.
    bool valuta(const SceltaImportazione &scelta, Deposito &deposito);

    qsizetype righe() const { return qsizetype(m_righe.size()); }
    RigaImportata riga(qsizetype indice) const;
    StatoRiga stato(qsizetype indice) const { return m_righe[std::size_t(indice)].stato; }
    qsizetype numero(qsizetype indice) const { return m_righe[std::size_t(indice)].numero; }
    qint64 posizione(qsizetype indice) const { return m_righe[std::size_t(indice)].posizione; }

    qsizetype nuove() const { return m_conti[0]; }
    qsizetype aggiornate() const { return m_conti[1]; }
    qsizetype invariate() const { return m_conti[2]; }
    qsizetype rifiutate() const { return m_conti[3]; }

    // The card a new row makes.
    TScheda nuovaScheda(qsizetype indice) const;
    // The same, written over every byte of `scheda`, without a copy.
    void nuovaScheda(qsizetype indice, TScheda &scheda) const;
    // The card an update row makes of the card as it is now; false when that
    // card no longer has the row's code.
    bool aggiornaScheda(qsizetype indice, TScheda &scheda) const;

  private:
    friend Importazione PreparaImportazione(QByteArray contenuto, const QString &archivio);
    bool valuta(const SceltaImportazione &scelta, const QString &archivio, Deposito *deposito);
    static constexpr int COLONNE_CSV_IMPORTA = 24;
    struct Compatta {
        qint64 inizio = 0;
        qint32 lunghezza = 0;
        qint32 numero = 0;
        qint32 doppione = 0; // line of another row with the same code
        quint32 cambiati = 0;
        qint64 posizione = 0; // card with the row's code; -1 when several have it
        StatoRiga stato = StatoRiga::Rifiutata;
        quint8 difetti = 0; // see the flags in the source
    };
    // The texts below may point into `testo`: copied (propri) to keep them
    // beyond it.
    struct Valori {
        QString testo;                                // the row as decoded
        QStringList campi;                            // as the card stores them
        QStringList celle;                            // as the file has them
        std::array<bool, COLONNE_CSV_IMPORTA> dati{}; // which ones the file gives
        QString motivo;
        QString nota; // what was changed to fit the card
    };
    Valori valori(const Compatta &riga) const;
    QString motivoCompleto(const Compatta &riga, const Valori &v) const;
    // False when the added stock does not fit the card.
    bool applica(const Valori &v, TScheda &scheda) const;

    QByteArray m_byte;
    bool m_utf8 = true;
    bool m_bom = false;
    QChar m_separatore;
    QStringList m_intestazione;
    QList<int> m_riconosciute;
    QList<UsoColonna> m_uso;
    int m_colonnaDi[COLONNE_CSV_IMPORTA] = {};
    QString m_archivio;
    Deposito *m_deposito = nullptr; // on a server: read through this
    std::vector<Compatta> m_righe;
    SceltaImportazione m_scelta;
    qsizetype m_conti[4] = {};
};

// Reads the file, recognises its header and checks the rows against the cards
// of the archive at `archivio` (none when empty).
Importazione PreparaImportazione(QByteArray contenuto, const QString &archivio = {});
// The same against the archive in `deposito`; on a server that does not
// answer, `errore` says so.
Importazione PreparaImportazione(QByteArray contenuto, Deposito &deposito);

// What writing an import did: the first new card's position (-1 when
// nothing was written, with the errno in `errore`: ESTALE when a card to
// update changed meanwhile, ECANCELED when the journal could not be written).
struct ScritturaImportazione {
    qint64 prima = -1;
    int errore = 0;
    qsizetype nuove = 0;
    std::vector<qint64> aggiornate; // positions of the updated cards
    QString messaggio;              // on a server, why nothing was written
};

// Writes every new and updated row into the archive and an "Importazione"
// line, noted `nota`, for each card whose stock changes into the journal, as
// one operation: the last line makes the import final, so after a crash at
// any point the archive and the journal hold all of it or none of it.
ScritturaImportazione ScriviImportazione(const Importazione &importazione, const QString &archivio,
                                         const QString &giornale, const QString &nota);
// The same into the archive in `deposito`: the folder's through the code
// above, a server's in one transaction.
ScritturaImportazione ScriviImportazione(const Importazione &importazione, Deposito &deposito,
                                         const QString &nota);
