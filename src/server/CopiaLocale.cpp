#include "server/CopiaLocale.h"

#include "archive/FileDiretto.h"
#include "server/Connessione.h"
#include "server/SchemaServer.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <fcntl.h>
#include <libpq-fe.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// What the copy was made from and how far it went, in its state file: a
// database made again, another cluster or a server put back from a dump
// has another identity or an earlier transaction counter.
struct Stato {
    QString identita;
    quint64 segno = 0; // rows written by transactions from this one on are read again
    qint64 schede = -1;
    // The system's start the copy's writes may still be waiting in memory
    // from: after another start (a power cut) the copy is made anew. Empty
    // once the copy is on disk; where the system does not say, the copy goes
    // to disk at each update.
    QString avvio;
};

// This start of the system.
QString avvioDelSistema() {
    QFile file(u"/proc/sys/kernel/random/boot_id"_s);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

// The last line says the file was written whole.
constexpr char FINE[] = "fine";

Stato leggiStato(const QString &percorso) {
    Stato s;
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly)) return s;
    const QStringList righe = QString::fromUtf8(file.readAll()).split(u'\n');
    if (righe.size() < 5 || righe[4] != QLatin1String(FINE)) return s;
    bool ok1 = false, ok2 = false;
    s.identita = righe[0];
    s.segno = righe[1].toULongLong(&ok1);
    s.schede = righe[2].toLongLong(&ok2);
    s.avvio = righe[3];
    if (!ok1 || !ok2) s.schede = -1;
    return s;
}

// Written in place: a crash half way leaves a file without its last line,
// and the copy is then made anew.
bool scriviStato(const QString &percorso, const Stato &s) {
    const QByteArray testo = s.identita.toUtf8() + '\n' + QByteArray::number(s.segno) + '\n' +
                             QByteArray::number(s.schede) + '\n' + s.avvio.toLatin1() + '\n' +
                             FINE + '\n';
    QFile file(percorso);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(testo) == testo.size() && file.flush();
}

// Consecutive cards go to the file in one write.
class Scrittura {
  public:
    explicit Scrittura(int fd) : m_fd(fd) {
        m_byte.reserve(std::size_t(MASSIMO) * TScheda::DIMENSIONE);
    }
    bool aggiungi(qint64 posizione, const TScheda &scheda) {
        if (m_quante > 0 && (posizione != m_prima + m_quante || m_quante == MASSIMO) && !svuota())
            return false;
        if (m_quante == 0) m_prima = posizione;
        m_byte.insert(m_byte.end(), scheda.byte.begin(), scheda.byte.end());
        ++m_quante;
        return true;
    }
    bool svuota() {
        const bool ok = m_quante == 0 || ScriviTutto(m_fd, m_byte.data(), qint64(m_byte.size()),
                                                     (m_prima - 1) * TScheda::DIMENSIONE);
        m_byte.clear();
        m_quante = 0;
        return ok;
    }

  private:
    static constexpr qint64 MASSIMO = 256;
    int m_fd;
    std::vector<char> m_byte;
    qint64 m_prima = 0;
    qint64 m_quante = 0;
};

} // namespace

QString NomeCopiaLocale(const QString &host, int porta, const QString &database,
                        const QString &utente) {
    const QByteArray chiave = host.toUtf8() + '\n' + QByteArray::number(porta) + '\n' +
                              database.toUtf8() + '\n' + utente.toUtf8();
    return QString::fromLatin1(
        QCryptographicHash::hash(chiave, QCryptographicHash::Sha256).toHex().left(24));
}

CopiaLocale::CopiaLocale(const QString &cartella, const QString &nome)
    : m_cartella(cartella), m_nome(nome) {}

CopiaLocale::~CopiaLocale() = default;

QString CopiaLocale::archivio() const {
    return QDir(m_cartella).filePath(m_nome + u".pro"_s);
}

QString CopiaLocale::stato() const {
    return QDir(m_cartella).filePath(m_nome + u".stato"_s);
}

QString CopiaLocale::aggiorna(Connessione &c, const Deposito::Progresso &avanza) {
    m_lette = 0;
    // Taken at the first pass and kept: the copy of a storage put in use
    // after this one waits until this one goes.
    if (!m_blocco) {
        if (!QDir().mkpath(m_cartella)) return {};
        auto blocco = std::make_unique<QLockFile>(QDir(m_cartella).filePath(m_nome + u".lock"_s));
        if (!blocco->tryLock(0)) return {};
        m_blocco = std::move(blocco);
    }
    // Inside another operation's transaction the pass reads the server, in
    // that transaction, as before: the copy's own snapshot would not be it.
    if (!c.pg() || PQtransactionStatus(c.pg()) != PQTRANS_IDLE) return {};
    const std::function<void()> attesa = [&avanza] {
        if (avanza) avanza(0, 0);
    };
    // One snapshot: the rows read and the mark kept are of the same moment.
    Transazione t(c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", attesa);
    if (!t.iniziata()) return {};
    // The cluster, the database, the table and the trigger that marks the
    // rows: a new one of any of them may hold rows marked before the copy's
    // mark, so the copy is then made anew. Without the trigger at work no
    // copy is kept at all.
    const Risultato r =
        c.esegui("SELECT (SELECT system_identifier FROM pg_control_system())::text || ':' || "
                 "(SELECT oid FROM pg_database WHERE datname = current_database())::text || ':' || "
                 "'schede'::regclass::oid::text || ':' || "
                 "(SELECT oid FROM pg_trigger WHERE tgname = 'schede_cambio' AND "
                 "tgrelid = 'schede'::regclass AND tgenabled IN ('O', 'A'))::text, "
                 "pg_snapshot_xmin(pg_current_snapshot())::text, "
                 "pg_snapshot_xmax(pg_current_snapshot())::text, "
                 "coalesce((SELECT max(posizione) FROM schede), 0)::bigint",
                 {}, attesa);
    if (!r.ok() || r.righe() != 1 || r.nullo(0, 0)) return {};
    Stato ora;
    ora.identita = r.testo(0, 0);
    ora.segno = r.testo(0, 1).toULongLong();
    const quint64 prossima = r.testo(0, 2).toULongLong();
    ora.schede = r.numero(0, 3);

    ora.avvio = avvioDelSistema();
    const Stato prima = leggiStato(stato());
    const bool intera = prima.schede < 0 || prima.identita != ora.identita ||
                        prossima < prima.segno ||
                        (!prima.avvio.isEmpty() && prima.avvio != ora.avvio) ||
                        QFileInfo(archivio()).size() != prima.schede * TScheda::DIMENSIONE;
    // Until the copy is whole again it is not to be trusted, even after a crash.
    if (intera && QFile::exists(stato()) && !QFile::remove(stato())) return {};

    const QByteArray nome = QFile::encodeName(archivio());
    // Only this user reads the shop's cards.
    const Descrittore copia(::open(nome.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    const int fd = copia.fd;
    if (fd < 0) return {};
    if (intera && ::ftruncate(fd, 0) != 0) return {};

    QList<Campo> campi;
    QByteArray sql = "DECLARE copia NO SCROLL CURSOR FOR SELECT posizione, grezzo";
    for (int i = 0; i < NUMERO_CAMPI; ++i) {
        campi << Campo(i);
        sql += ", " + QByteArray(ColonneSchede()[std::size_t(i)]);
    }
    sql += " FROM schede";
    QList<ValoreSql> valori;
    if (!intera) {
        sql += " WHERE cambio >= $1::xid8";
        valori << ValoreSql::testo(QString::number(prima.segno));
    }
    if (!c.esegui(sql.constData(), valori, attesa).ok()) return {};
    Scrittura scrittura(fd);
    bool buona = true;
    TScheda scheda;
    const bool letta = c.inSequenza(
        "FETCH 2048 FROM copia",
        [&](const Risultato &righe) {
            const int n = righe.righe();
            for (int i = 0; i < n && buona; ++i) {
                const qint64 posizione = righe.numero(i, 0);
                buona = posizione >= 1 && posizione <= ora.schede &&
                        SchedaDaColonne(righe, i, campi, true, scheda) &&
                        scrittura.aggiungi(posizione, scheda);
            }
            m_lette += n;
            if (avanza && intera) avanza(qMin(m_lette, ora.schede), ora.schede);
            return buona && n == 2048;
        },
        attesa);
    buona = buona && letta;
    // Nothing changed: the file and its mark stay as they are (an earlier
    // mark only reads a little more next time).
    if (buona && !intera && m_lette == 0 && ora.schede == prima.schede) {
        // A copy not yet known to be on disk goes there once it has been
        // left alone a minute (by then the system has written most of it),
        // so that it outlives the next start of the system.
        if (!prima.avvio.isEmpty() &&
            QFileInfo(archivio()).lastModified().secsTo(QDateTime::currentDateTime()) >= 60 &&
            ::fdatasync(fd) == 0) {
            Stato suDisco = prima;
            suDisco.avvio.clear();
            scriviStato(stato(), suDisco);
        }
        t.conferma();
        return archivio();
    }
    // A whole copy holds each position once; a damaged row is for the
    // server's own pass to report.
    buona = buona && scrittura.svuota() && (!intera || m_lette == ora.schede) &&
            ::ftruncate(fd, ora.schede * TScheda::DIMENSIONE) == 0 &&
            (!ora.avvio.isEmpty() || ::fdatasync(fd) == 0);
    if (!buona) {
        // A full disk gets its room back; the next pass makes the copy anew.
        if (intera) {
            const int tagliato = ::ftruncate(fd, 0);
            (void)tagliato;
        }
        return {};
    }
    if (!scriviStato(stato(), ora)) {
        QFile::remove(stato());
        return {};
    }
    t.conferma();
    return archivio();
}
