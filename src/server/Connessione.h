#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

struct pg_conn;
struct pg_result;

// Where the archive's server is. The password is never kept by the program:
// libpq's password file (~/.pgpass) gives it, or the user types it.
struct ParametriServer {
    QString host;
    int porta = 5432;
    QString database;
    QString utente;
    QString ssl = QStringLiteral("prefer"); // prefer, require, verify-full
    QString password;
};

// One value handed to a statement as a parameter: the text of the statement
// never holds a value, so no card or search text can become SQL.
struct ValoreSql {
    QByteArray byte;
    bool binario = false;
    bool nullo = false;

    static ValoreSql testo(const QString &testo);
    static ValoreSql numero(qint64 numero);
    static ValoreSql dati(const QByteArray &dati);
    static ValoreSql niente();
};

// A statement's rows, always in binary form: bigint columns are read with
// numero(), text with testo(), bytea with dati().
class Risultato {
  public:
    Risultato() = default;
    explicit Risultato(pg_result *risultato);
    bool ok() const { return m_ok; }
    int righe() const;
    qint64 toccate() const; // rows an UPDATE or DELETE changed
    bool nullo(int riga, int colonna) const;
    qint64 numero(int riga, int colonna) const;
    QString testo(int riga, int colonna) const;
    QByteArray dati(int riga, int colonna) const;
    const char *grezzo(int riga, int colonna, int &lunghezza) const;
    const pg_result *pg() const { return m_risultato.get(); }

  private:
    std::shared_ptr<pg_result> m_risultato;
    bool m_ok = false;
};

// One connection to the server. Every statement goes through esegui() with
// its values as parameters.
class Connessione {
  public:
    explicit Connessione(const ParametriServer &parametri);
    ~Connessione();
    Connessione(const Connessione &) = delete;
    Connessione &operator=(const Connessione &) = delete;

    bool aperta() const;
    // Not connected because the server wants a password that was not given.
    bool chiedePassword() const;
    Risultato esegui(const char *sql, const QList<ValoreSql> &valori = {});
    // The same, calling `attesa` every few hundredths of a second while the
    // server works, so a window can keep painting.
    Risultato esegui(const char *sql, const QList<ValoreSql> &valori,
                     const std::function<void()> &attesa);
    // The statement `sql` (a fetch from a cursor) again and again inside the
    // caller's transaction, sent a few ahead of the answers so the server
    // never waits for the program; each answer goes to `ricevi` in turn,
    // until it returns false. Waited as above.
    bool inSequenza(const char *sql, const std::function<bool(const Risultato &)> &ricevi,
                    const std::function<void()> &attesa);
    // How long such a statement waits without a byte from the server before
    // it gives up and closes the connection (a minute; tests shorten it).
    static void impostaAttesaMassima(int millisecondi);
    // A statement that returns no rows; false on failure.
    bool comando(const char *sql, const QList<ValoreSql> &valori = {});
    // COPY ... FROM STDIN: the data in COPY's binary format, sent in pieces.
    bool iniziaCopia(const char *sql);
    bool inviaCopia(const QByteArray &dati);
    bool chiudiCopia();
    // The last failure, in Italian words with the server's own text after.
    QString messaggio() const { return m_messaggio; }
    QString versioneServer() const;
    pg_conn *pg() const { return m_pg; }

  private:
    friend class Transazione;
    void annota(const QString &testo, const pg_result *risultato = nullptr);
    void riprendi();
    bool attendi(const std::function<void()> &attesa, bool &muto);
    void annotaMuto();
    pg_conn *m_pg = nullptr;
    QString m_messaggio;
    int m_transazioni = 0; // outer transactions open now
    bool m_perso = false;  // the connection failed: made again before the next operation
};

// BEGIN ... COMMIT, or ROLLBACK when the object goes without conferma().
class Transazione {
  public:
    explicit Transazione(Connessione &connessione, const char *inizio = "BEGIN");
    // Its BEGIN, COMMIT and ROLLBACK awaited as Connessione::esegui with
    // `attesa` does, so a silent server holds nothing up.
    Transazione(Connessione &connessione, const char *inizio, std::function<void()> attesa);
    ~Transazione();
    bool iniziata() const { return m_iniziata; }
    bool conferma();

  private:
    bool esegui(const char *sql);
    Connessione &m_connessione;
    std::function<void()> m_attesa;
    bool m_iniziata = false;
    bool m_interna = false;
    bool m_finita = false;
};

// COPY's binary format: the header, rows of fields, the trailer.
class RigheCopia {
  public:
    RigheCopia();
    void riga(int campi);
    void numero(qint64 numero);
    void testo(const QString &testo);
    void dati(const QByteArray &dati);
    void dati(const char *byte, int lunghezza);
    void niente();
    void istante(qint64 msDaEpoca); // a timestamptz
    void fine();
    QByteArray &byte() { return m_byte; }

  private:
    QByteArray m_byte;
};
