#pragma once

#include "archive/TScheda.h"
#include "storage/Deposito.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A stock count: the goods on the shelves counted card by card, mostly with a
// barcode scanner, then compared with the stocks the cards hold and written
// into them in one step.
//
// Each count is a file of its own, Conteggi/<nome>.csv beside the archive:
// UTF-8 with a header, ';' between fields, one line per scan, appended at once
// under an fcntl lock and flushed, so nothing counted is lost to a crash and
// two copies may count the same count at once (their scans add up). A line
// holds the time, the kind, the code as read, the card's position then (0
// for a code no card has), the quantity, the workstation and the journal's
// length then, which tells the movements recorded after the scan.
//
// With the archive on a server the count's file stays in the program folder
// all the same; its marks are then the server's journal rows (see
// Deposito::segnoGiornale), and a line "Archivio" after the start names the
// server, so a count is never read against another archive than its own.

enum class TipoRigaConteggio {
    Inizio,     // the count's start: its scope in the code field, its cards in the quantity
    Scheda,     // a card the count covers (a count of a list)
    Lettura,    // adds the quantity (a wrong scan is taken back by its opposite)
    Correzione, // sets the card's count to the quantity
    Applicato,  // the counted stocks were written into the cards
    Archivio    // the server the count was begun on, in the code field
};

struct RigaConteggio {
    QDateTime quando;
    TipoRigaConteggio tipo = TipoRigaConteggio::Lettura;
    QString codice;
    qint64 posizione = 0;
    qint64 quantita = 0;
    QString postazione;
    qint64 giornale = 0;
};

// The folder of the counts, in the program folder.
QString CartellaConteggi();
QString PercorsoConteggio(const QString &nome);
// Why a name cannot be a count's (empty when it can): a file name of its own.
QString NomeConteggioNonValido(const QString &nome);
// The counts in the folder, newest first.
QStringList ElencoConteggi();

QByteArray IntestazioneConteggio();
QByteArray RigaFileConteggio(const RigaConteggio &riga);
// False for a damaged line (cut, not UTF-8, a field that does not read).
bool LeggiRigaConteggio(QByteArrayView testo, RigaConteggio &riga);

// Reads the file from byte `letto` on, complete lines only, and moves `letto`
// past them. `danneggiate` grows by the lines that do not read. False when
// the file exists but cannot be read.
bool LeggiCodaConteggio(const QString &percorso, qint64 &letto,
                        const std::function<void(const RigaConteggio &)> &visita,
                        qint64 &danneggiate);
// Appends the lines under a lock on the whole file, creating it with its
// header, after reading under the same lock what other copies appended since
// `letto` (given to `visita` first); the new lines then go to `visita` too.
// On disk before returning; a failed append leaves the file as it was.
// With `nuovo`, the file must not exist yet.
bool AccodaConteggio(const QString &percorso, const QList<RigaConteggio> &righe, qint64 &letto,
                     const std::function<void(const RigaConteggio &)> &visita, qint64 &danneggiate,
                     bool nuovo = false);

// The cards by code, built once with a pass over the archive and kept up to
// date as the archive changes: cards appended by another copy are added, and
// a card found is read again to be sure it still has the code.
class IndiceCodici {
  public:
    // `deposito`: the archive on a server, looked up by code there instead.
    explicit IndiceCodici(QString archivio, Deposito *deposito = nullptr);
    // False when the archive cannot be read.
    bool costruisci();
    struct Trovate {
        bool riuscito = true;
        QList<qint64> posizioni;
        QList<TScheda> schede;
    };
    Trovate cerca(const QString &codice);
    qint64 schede() const { return m_schede; }

  private:
    bool aggiornaCoda();
    bool verifica(const std::string &chiave, Trovate &esito);
    bool cambiato(qint64 &dimensione, qint64 &modifica) const;
    Trovate cercaSulServer(const std::string &chiave, const QString &codice);

    QString m_archivio;
    Deposito *m_deposito = nullptr;
    std::unordered_map<std::string, std::vector<qint64>> m_indice;
    qint64 m_schede = 0;
    qint64 m_dimensione = -1;
    qint64 m_modifica = -1;
};

// The lowered code a card and a scan are compared by; false when no card can
// hold it.
bool ChiaveCodice(const QString &codice, std::string &chiave);

// A count as its file tells, read and kept up to date line by line.
class Conteggio {
  public:
    Conteggio() = default;
    // Starts a new count over the given cards (none: every card in the
    // archive). Fails when a count of that name exists.
    bool inizia(const QString &nome, const QString &ambito, const QList<qint64> &posizioni,
                const QStringList &codici, QString &errore);
    // Opens an existing count, reading its file.
    bool apri(const QString &nome, QString &errore);

    // Appends a line of this workstation, now; reads the tail first.
    bool registra(TipoRigaConteggio tipo, const QString &codice, qint64 posizione, qint64 quantita);
    // What other copies appended since the last look.
    bool aggiorna();

    QString nome() const { return m_nome; }
    QString percorso() const { return PercorsoConteggio(m_nome); }
    QDateTime inizio() const { return m_inizio; }
    QString ambito() const { return m_ambito; }
    qint64 segnoInizio() const { return m_segnoInizio; }
    bool tutte() const { return m_tutte; }
    const QList<qint64> &posizioniCoperte() const { return m_coperte; }
    bool applicato() const { return m_applicato; }
    // The archive it was begun on: empty for the program folder's, the
    // server's description otherwise.
    QString archivio() const { return m_archivio; }
    // Why it cannot be read against the archive in use (empty when it can).
    QString altroArchivio() const;
    qint64 danneggiate() const { return m_danneggiate; }
    // Counted so far of a code scanned at a position (scans of another code
    // there, a card since removed, are not added), and of an unknown code.
    qint64 contati(qint64 posizione, const QString &codice) const;
    qint64 sconosciuti(const QString &codice) const;
    // Every scan and correction and every card covered, in file order; a
    // line given back has no workstation (not kept).
    qsizetype righe() const { return qsizetype(m_righe.size()); }
    RigaConteggio riga(qsizetype i) const;

  private:
    // A line as the count keeps it, small whatever the count's size: its
    // code lies in one text shared by all the lines.
    struct Tenuta {
        qint64 quando = 0; // ms since the epoch
        qint64 posizione = 0;
        qint64 quantita = 0;
        qint64 giornale = 0;
        qint64 codiceDa = 0;
        qint32 codiceLunghezza = 0;
        qint32 scarto = 0; // the time's offset from UTC, in seconds
        TipoRigaConteggio tipo = TipoRigaConteggio::Lettura;
    };
    // The count of a position, for the code of the line `riga`.
    struct Contati {
        qint64 n = 0;
        qsizetype riga = 0;
    };
    void prendi(const RigaConteggio &riga);
    void tieni(const RigaConteggio &riga);
    QStringView codiceDi(const Tenuta &tenuta) const;

    QString m_nome;
    QDateTime m_inizio;
    QString m_ambito;
    qint64 m_segnoInizio = 0;
    bool m_tutte = true;
    QList<qint64> m_coperte;
    bool m_applicato = false;
    QString m_archivio;
    bool m_archivioLetto = false;
    qint64 m_letto = 0;
    qint64 m_danneggiate = 0;
    std::vector<Tenuta> m_righe;
    QString m_codici;
    QHash<qint64, Contati> m_perPosizione;
    // Another code scanned at a position already counted under one.
    QHash<std::pair<qint64, QString>, qint64> m_altriCodici;
    QHash<QString, qint64> m_perCodice; // unknown codes, by their lowered text
};

// What the count finds against the cards.
struct RigaDifferenza {
    enum Stato : quint8 {
        Contata,
        NonContata,
        Eliminata,         // its scans belong to a card removed since
        Sconosciuta,       // a code no card had
        GiacenzaNonIntera, // counted, but the card's stock is not a whole number
    };
    Stato stato = Contata;
    qint64 posizione = 0; // now
    double costo = 0;
    qint64 giacenza = 0; // the book stock now
    qint64 contati = 0;
    qint64 mossiDopo = 0; // stock movements recorded after its last count
    qint64 nuova = 0;     // contati + mossiDopo
    qint64 differenza = 0;
    double valore = 0; // differenza × costo

    // The card's texts, kept together: a count of every card holds a line
    // for each, and one text per line costs a quarter of four.
    QString codice() const { return testo(0); }
    QString nome() const { return testo(1); }
    QString collocazione() const { return testo(2); }
    QString testoGiacenza() const { return testo(3); } // as the card holds it
    void impostaTesti(const QString &codice, const QString &nome = {},
                      const QString &collocazione = {}, const QString &testoGiacenza = {});

  private:
    QString testo(int i) const;
    QString m_testi;
    std::array<quint16, 3> m_fine{}; // where each text but the last ends
};

struct Differenze {
    bool riuscito = true;
    QString errore;
    std::vector<RigaDifferenza> righe; // largest value of the difference first
    qint64 segnoGiornale = 0;          // the journal's length when read
    qint64 nonContate = 0;
    double valoreNonContate = 0;
    double valorePrima = 0; // book stocks at cost, of the cards of the count
    double valoreDopo = 0;  // with the counted stocks, not counted cards left as they are
    qint64 giornaleDanneggiate = 0;
};

// Compares the count with the cards and the journal. A scan follows its card
// through the removals recorded after it; a card's applied stock is what was
// counted plus what moved after its last count.
Differenze CalcolaDifferenze(const Conteggio &conteggio, const QString &archivio,
                             const QString &giornale,
                             const std::function<void(qint64, qint64)> &progresso = {});
// The same on a storage: the folder's runs the file code above, a server's
// reads its cards and its journal's rows after the count's start.
Differenze CalcolaDifferenze(const Conteggio &conteggio, Deposito &deposito);

struct EsitoApplicazione {
    enum Esito { Fatto, Niente, ErroreArchivio, GiornaleNonScritto, Cambiato, FuoriCampo };
    Esito esito = Niente;
    qint64 cambiate = 0;
    QString scheda; // FuoriCampo: the card whose stock does not fit
    QString errore; // ErroreArchivio on a server: the storage's words
};
// Writes the counted stocks into the cards and one "Rettifica" line per
// changed card, all or nothing through the intent record; not counted cards
// are set to 0 with `azzera`, left as they are otherwise. Cambiato: a card
// was removed or moved since the differences were read, and nothing is written.
EsitoApplicazione ApplicaConteggio(Conteggio &conteggio, const Differenze &differenze, bool azzera,
                                   const QString &archivio, const QString &giornale);
// The same on a storage: the folder's runs the file code above, a server's
// writes every card and line in one transaction (Deposito::insiemeConRighe).
EsitoApplicazione ApplicaConteggio(Conteggio &conteggio, const Differenze &differenze, bool azzera,
                                   Deposito &deposito);
// Every card of a storage in position order: the file's pass when the
// storage is the folder, its blocks otherwise. False when it cannot be read.
bool ScorriSchede(Deposito &deposito, const std::function<bool(const TScheda &, qint64)> &visita);

// The note of the journal lines of a count.
QString NotaConteggio(const QString &nome);

// The differences as CSV (UTF-8, ';', no text can become a formula).
bool ScriviCsvDifferenze(class QIODevice *destinazione, const Conteggio &conteggio,
                         const Differenze &differenze);
