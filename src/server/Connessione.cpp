#include "server/Connessione.h"

#include <QElapsedTimer>
#include <QtEndian>
#include <cerrno>
#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

using namespace Qt::StringLiterals;

ValoreSql ValoreSql::testo(const QString &testo) {
    ValoreSql v;
    // A text parameter ends at its first zero byte, so none is sent.
    v.byte = testo.toUtf8().replace('\0', QByteArray());
    return v;
}

ValoreSql ValoreSql::numero(qint64 numero) {
    ValoreSql v;
    v.byte = QByteArray::number(numero);
    return v;
}

ValoreSql ValoreSql::dati(const QByteArray &dati) {
    ValoreSql v;
    v.byte = dati;
    v.binario = true;
    return v;
}

ValoreSql ValoreSql::niente() {
    ValoreSql v;
    v.nullo = true;
    return v;
}

Risultato::Risultato(pg_result *risultato) : m_risultato(risultato, PQclear) {
    const auto stato = risultato ? PQresultStatus(risultato) : PGRES_FATAL_ERROR;
    m_ok = stato == PGRES_COMMAND_OK || stato == PGRES_TUPLES_OK || stato == PGRES_COPY_IN;
}

int Risultato::righe() const {
    return m_risultato ? PQntuples(m_risultato.get()) : 0;
}

qint64 Risultato::toccate() const {
    if (!m_risultato) return 0;
    return QByteArray(PQcmdTuples(m_risultato.get())).toLongLong();
}

bool Risultato::nullo(int riga, int colonna) const {
    return PQgetisnull(m_risultato.get(), riga, colonna);
}

const char *Risultato::grezzo(int riga, int colonna, int &lunghezza) const {
    lunghezza = PQgetlength(m_risultato.get(), riga, colonna);
    return PQgetvalue(m_risultato.get(), riga, colonna);
}

qint64 Risultato::numero(int riga, int colonna) const {
    int n = 0;
    const char *p = grezzo(riga, colonna, n);
    if (n == 8) return qFromBigEndian<qint64>(p);
    if (n == 4) return qFromBigEndian<qint32>(p);
    return 0;
}

QString Risultato::testo(int riga, int colonna) const {
    int n = 0;
    const char *p = grezzo(riga, colonna, n);
    return QString::fromUtf8(p, n);
}

QByteArray Risultato::dati(int riga, int colonna) const {
    int n = 0;
    const char *p = grezzo(riga, colonna, n);
    return QByteArray(p, n);
}

Connessione::Connessione(const ParametriServer &p) {
    const QByteArray host = p.host.toUtf8(), porta = QByteArray::number(p.porta),
                     database = p.database.toUtf8(), utente = p.utente.toUtf8(),
                     ssl = p.ssl.toUtf8(), password = p.password.toUtf8();
    std::vector<const char *> chiavi{"host",
                                     "port",
                                     "dbname",
                                     "user",
                                     "sslmode",
                                     "connect_timeout",
                                     "application_name",
                                     "client_encoding"};
    std::vector<const char *> valori{host.constData(),     porta.constData(),
                                     database.constData(), utente.constData(),
                                     ssl.constData(),      "10",
                                     "Quadrelo",           "UTF8"};
    if (!password.isEmpty()) {
        chiavi.push_back("password");
        valori.push_back(password.constData());
    }
    chiavi.push_back(nullptr);
    valori.push_back(nullptr);
    m_pg = PQconnectdbParams(chiavi.data(), valori.data(), 0);
    // The server's notices (a table dropped with its indexes) are not for the user.
    PQsetNoticeProcessor(
        m_pg, [](void *, const char *) {}, nullptr);
    if (PQstatus(m_pg) != CONNECTION_OK)
        m_messaggio =
            u"Attenzione: non è stato possibile collegarsi al server. Controllare il "
            u"nome del server, la porta, il database, l'utente e la password. Risposta: "_s +
            QString::fromUtf8(PQerrorMessage(m_pg)).simplified();
}

Connessione::~Connessione() {
    PQfinish(m_pg);
}

bool Connessione::aperta() const {
    return m_pg && PQstatus(m_pg) == CONNECTION_OK;
}

bool Connessione::chiedePassword() const {
    return m_pg && PQstatus(m_pg) != CONNECTION_OK && PQconnectionNeedsPassword(m_pg);
}

QString Connessione::versioneServer() const {
    const char *v = aperta() ? PQparameterStatus(m_pg, "server_version") : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

void Connessione::annota(const QString &testo, const pg_result *risultato) {
    // A failure without a state of the server's is the connection's own.
    const char *stato = risultato ? PQresultErrorField(risultato, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray codice = stato ? QByteArray(stato) : QByteArray();
    if (PQstatus(m_pg) != CONNECTION_OK || codice.isEmpty() || codice.startsWith("08") ||
        codice.startsWith("57P")) {
        // libpq may still call the connection good after the server went.
        m_perso = true;
        m_messaggio =
            u"Attenzione: il collegamento con il server si è interrotto e "
            u"l'operazione non è stata confermata: nulla è stato scritto a metà. Riprovare "
            u"quando il server risponde di nuovo. (Risposta del server: "_s +
            testo.simplified() + u')';
    } else
        m_messaggio = u"Attenzione: il server ha rifiutato l'operazione: "_s + testo.simplified();
}

namespace {

// How long a waited statement may go without a byte from the server.
int attesaMassima = 60000;

// A statement's values as libpq takes them.
struct Parametri {
    explicit Parametri(const QList<ValoreSql> &valori) {
        for (const ValoreSql &v : valori) {
            byte.push_back(v.nullo ? nullptr : v.byte.constData());
            lunghezze.push_back(int(v.byte.size()));
            formati.push_back(v.binario ? 1 : 0);
        }
    }
    std::vector<const char *> byte;
    std::vector<int> lunghezze, formati;
};

} // namespace

void Connessione::impostaAttesaMassima(int millisecondi) {
    attesaMassima = millisecondi;
}

void Connessione::riprendi() {
    // A connection lost between two operations is made again, so the server
    // coming back is enough; never inside a transaction, whose earlier
    // statements went with the connection.
    if (m_transazioni != 0 || !m_pg) return;
    // An idle connection has nothing to read unless the server closed it
    // meanwhile (a restart): reading it then tells libpq it is gone. Its
    // farewell message and the end of the connection may take two reads.
    for (int letture = 0; letture < 4 && PQstatus(m_pg) == CONNECTION_OK &&
                          PQtransactionStatus(m_pg) == PQTRANS_IDLE;
         ++letture) {
        pollfd presa{PQsocket(m_pg), POLLIN, 0};
        if (::poll(&presa, 1, 0) <= 0 || !PQconsumeInput(m_pg)) break;
    }
    if (m_perso || PQstatus(m_pg) == CONNECTION_BAD) {
        PQreset(m_pg);
        m_perso = false;
    }
}

Risultato Connessione::esegui(const char *sql, const QList<ValoreSql> &valori) {
    riprendi();
    const Parametri p(valori);
    Risultato r(PQexecParams(m_pg, sql, int(valori.size()), nullptr, p.byte.data(),
                             p.lunghezze.data(), p.formati.data(), 1));
    if (!r.ok()) annota(QString::fromUtf8(PQerrorMessage(m_pg)), r.pg());
    return r;
}

Risultato Connessione::esegui(const char *sql, const QList<ValoreSql> &valori,
                              const std::function<void()> &attesa) {
    if (!attesa) return esegui(sql, valori);
    riprendi();
    const Parametri p(valori);
    if (!PQsendQueryParams(m_pg, sql, int(valori.size()), nullptr, p.byte.data(),
                           p.lunghezze.data(), p.formati.data(), 1)) {
        annota(QString::fromUtf8(PQerrorMessage(m_pg)));
        return Risultato();
    }
    bool muto = false;
    attendi(attesa, muto);
    PGresult *ultimo = nullptr;
    while (PGresult *r = PQgetResult(m_pg)) {
        PQclear(ultimo);
        ultimo = r;
    }
    Risultato r(ultimo);
    if (muto) {
        annotaMuto();
        return Risultato();
    }
    if (!r.ok()) annota(QString::fromUtf8(PQerrorMessage(m_pg)), r.pg());
    return r;
}

bool Connessione::attendi(const std::function<void()> &attesa, bool &muto) {
    // The answer is read as it comes; a lost connection ends the wait, and so
    // does a server silent for too long: the connection is then closed, so
    // nothing stays waiting and the next operation connects again.
    const int presa = PQsocket(m_pg);
    bool perso = false;
    QElapsedTimer silenzio;
    silenzio.start();
    while (!perso && PQisBusy(m_pg)) {
        // A connection libpq found broken (a write that failed) has no socket
        // left to wait on.
        if (presa < 0 || PQstatus(m_pg) == CONNECTION_BAD) {
            perso = true;
            break;
        }
        pollfd attesaPresa{presa, POLLIN, 0};
        const int pronte = ::poll(&attesaPresa, 1, 40);
        if (pronte < 0 && errno != EINTR) perso = true;
        if (pronte > 0) {
            silenzio.restart();
            if (!PQconsumeInput(m_pg)) perso = true;
        }
        if (!perso && silenzio.elapsed() > attesaMassima) {
            muto = perso = true;
            ::shutdown(presa, SHUT_RDWR);
        }
        if (attesa) attesa();
    }
    return !perso;
}

void Connessione::annotaMuto() {
    annota(u"il server non risponde da "_s + QString::number(attesaMassima / 1000) +
           u" secondi."_s);
}

bool Connessione::inSequenza(const char *sql, const std::function<bool(const Risultato &)> &ricevi,
                             const std::function<void()> &attesa) {
    // A few statements ahead of the answers: the server works out the next
    // while the program reads this one.
    constexpr int AVANTI = 3;
    riprendi();
    if (!PQenterPipelineMode(m_pg)) {
        annota(QString::fromUtf8(PQerrorMessage(m_pg)));
        return false;
    }
    int inViaggio = 0; // statements sent whose end is not read yet
    bool continua = true, riuscita = true, muto = false;
    const auto invia = [&] {
        if (!continua) return true;
        // Each with its own sync, so the server sends its answer at once; inside
        // the caller's transaction a sync commits nothing.
        if (!PQsendQueryParams(m_pg, sql, 0, nullptr, nullptr, nullptr, nullptr, 1) ||
            !PQpipelineSync(m_pg))
            return false;
        ++inViaggio;
        return true;
    };
    for (int i = 0; i < AVANTI && riuscita; ++i)
        riuscita = invia();
    if (!riuscita) annota(QString::fromUtf8(PQerrorMessage(m_pg)));
    while (inViaggio > 0 && !muto) {
        if (!attendi(attesa, muto)) {
            riuscita = false;
            if (!muto) annota(QString::fromUtf8(PQerrorMessage(m_pg)));
            break;
        }
        PGresult *pg = PQgetResult(m_pg);
        if (!pg) {
            // The end of one statement's answer, or of all of them when the
            // connection went: libpq then gives no sync for the rest.
            if (PQstatus(m_pg) != CONNECTION_BAD) continue;
            if (riuscita) annota(QString::fromUtf8(PQerrorMessage(m_pg)));
            riuscita = false;
            break;
        }
        Risultato r(pg);
        const auto stato = PQresultStatus(pg);
        if (stato == PGRES_PIPELINE_SYNC) {
            --inViaggio;
            if (riuscita && !invia()) {
                riuscita = false;
                annota(QString::fromUtf8(PQerrorMessage(m_pg)));
            }
        } else if (stato == PGRES_TUPLES_OK) {
            if (riuscita && continua) continua = ricevi(r);
        } else if (riuscita) {
            // Only the first failure: the statements after it are given up.
            riuscita = false;
            if (stato != PGRES_PIPELINE_ABORTED)
                annota(QString::fromUtf8(PQerrorMessage(m_pg)), pg);
        }
    }
    if (muto) {
        annotaMuto();
        return false;
    }
    if (!PQexitPipelineMode(m_pg) && riuscita) {
        annota(QString::fromUtf8(PQerrorMessage(m_pg)));
        riuscita = false;
    }
    return riuscita;
}

bool Connessione::comando(const char *sql, const QList<ValoreSql> &valori) {
    return esegui(sql, valori).ok();
}

bool Connessione::iniziaCopia(const char *sql) {
    Risultato r(PQexec(m_pg, sql));
    if (!r.ok()) annota(QString::fromUtf8(PQerrorMessage(m_pg)), r.pg());
    return r.ok();
}

bool Connessione::inviaCopia(const QByteArray &dati) {
    if (PQputCopyData(m_pg, dati.constData(), int(dati.size())) == 1) return true;
    annota(QString::fromUtf8(PQerrorMessage(m_pg)));
    return false;
}

bool Connessione::chiudiCopia() {
    if (PQputCopyEnd(m_pg, nullptr) != 1) {
        annota(QString::fromUtf8(PQerrorMessage(m_pg)));
        return false;
    }
    bool ok = true;
    while (PGresult *r = PQgetResult(m_pg)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK) {
            ok = false;
            annota(QString::fromUtf8(PQresultErrorMessage(r)), r);
        }
        PQclear(r);
    }
    if (ok && !aperta()) {
        annota(QString::fromUtf8(PQerrorMessage(m_pg)));
        ok = false;
    }
    return ok;
}

Transazione::Transazione(Connessione &connessione, const char *inizio)
    : Transazione(connessione, inizio, {}) {}

Transazione::Transazione(Connessione &connessione, const char *inizio, std::function<void()> attesa)
    : m_connessione(connessione), m_attesa(std::move(attesa)) {
    // Inside another transaction this one is part of it: the outer one
    // commits or rolls back the whole.
    m_interna = PQtransactionStatus(m_connessione.pg()) == PQTRANS_INTRANS;
    m_iniziata = m_interna || esegui(inizio);
    if (m_iniziata && !m_interna) ++m_connessione.m_transazioni;
}

bool Transazione::esegui(const char *sql) {
    return m_connessione.esegui(sql, {}, m_attesa).ok();
}

Transazione::~Transazione() {
    if (m_iniziata && !m_interna && !m_finita) --m_connessione.m_transazioni;
    if (m_iniziata && !m_interna && !m_finita && m_connessione.aperta()) {
        // The failure that gave the work up is the one to tell.
        const QString messaggio = m_connessione.m_messaggio;
        esegui("ROLLBACK");
        m_connessione.m_messaggio = messaggio;
    }
}

bool Transazione::conferma() {
    if (m_interna) {
        m_finita = true;
        return m_iniziata;
    }
    if (m_iniziata && !m_finita) --m_connessione.m_transazioni;
    m_finita = true;
    return m_iniziata && esegui("COMMIT");
}

RigheCopia::RigheCopia() {
    m_byte.append("PGCOPY\n\377\r\n\0", 11);
    m_byte.append(QByteArray(8, '\0')); // flags and header extension length
}

void RigheCopia::riga(int campi) {
    char b[2];
    qToBigEndian<qint16>(qint16(campi), b);
    m_byte.append(b, 2);
}

void RigheCopia::dati(const char *byte, int lunghezza) {
    char b[4];
    qToBigEndian<qint32>(lunghezza, b);
    m_byte.append(b, 4);
    m_byte.append(byte, lunghezza);
}

void RigheCopia::dati(const QByteArray &d) {
    dati(d.constData(), int(d.size()));
}

void RigheCopia::numero(qint64 numero) {
    char b[8];
    qToBigEndian<qint64>(numero, b);
    dati(b, 8);
}

void RigheCopia::testo(const QString &t) {
    dati(t.toUtf8().replace('\0', QByteArray()));
}

void RigheCopia::niente() {
    char b[4];
    qToBigEndian<qint32>(-1, b);
    m_byte.append(b, 4);
}

void RigheCopia::istante(qint64 msDaEpoca) {
    // Microseconds from 2000-01-01 UTC.
    numero((msDaEpoca - 946684800000LL) * 1000);
}

void RigheCopia::fine() {
    riga(-1);
}
