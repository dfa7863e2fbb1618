#pragma once

#include "server/Connessione.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

// The server's plan for `select`, as text, with reads of a whole table
// turned off: a test sees which index the statement goes through. Empty when
// the server refused it.
inline QString PianoDi(Connessione &c, const QByteArray &select) {
    QString piano;
    if (!c.comando("SET enable_seqscan = off")) return piano;
    const QByteArray sql = "EXPLAIN " + select;
    const Risultato r = c.esegui(sql.constData());
    if (!c.comando("RESET enable_seqscan")) return piano;
    for (int i = 0; r.ok() && i < r.righe(); ++i)
        piano += r.testo(i, 0) + u'\n';
    return piano;
}

// A PostgreSQL cluster of the test's own: initdb and pg_ctl in a temporary
// folder, listening only on a Unix socket in that folder. As root the
// server runs as the "postgres" user (PostgreSQL refuses root). Stopped and
// removed when the object goes. Header-only, for the benchmarks too.
class ServerDiProva {
  public:
    // `suDisco`: commits wait for the disk as on a real server (the tests
    // skip that wait; the benchmarks do not).
    // `opzioni`: settings of the server's own, as `-c name=value` words.
    explicit ServerDiProva(bool suDisco = false, const QString &opzioni = {})
        : m_cartella(QDir::temp().filePath(QStringLiteral("qsrv-XXXXXX"))), m_suDisco(suDisco),
          m_opzioni(opzioni) {
        m_bin = cartellaProgrammi();
        if (m_bin.isEmpty()) {
            m_errore = QStringLiteral(
                "The PostgreSQL server programs (initdb, pg_ctl) are not installed: run "
                "scripts/setup, which installs the packages postgresql and postgresql-contrib.");
            return;
        }
        if (!m_cartella.isValid()) {
            m_errore = QStringLiteral("No temporary folder for the test cluster.");
            return;
        }
        if (::geteuid() == 0) {
            const passwd *utente = ::getpwnam("postgres");
            if (!utente) {
                m_errore = QStringLiteral("Running as root, but there is no user \"postgres\" "
                                          "to run the test cluster as (scripts/setup).");
                return;
            }
            m_uid = utente->pw_uid;
            m_gid = utente->pw_gid;
            if (::chown(QFile::encodeName(m_cartella.path()).constData(), m_uid, m_gid) != 0) {
                m_errore = QStringLiteral("Cannot give the test cluster's folder to postgres.");
                return;
            }
        }
        m_porta = portaLibera();
        if (!esegui(QStringLiteral("initdb"),
                    {QStringLiteral("-D"), dati(), QStringLiteral("-U"), QStringLiteral("postgres"),
                     QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                     QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")}))
            return;
        avvia();
    }

    ~ServerDiProva() {
        if (m_avviato) ferma(false);
    }

    bool avviato() const { return m_avviato; }
    QString errore() const { return m_errore; }
    int porta() const { return m_porta; }

    ParametriServer parametri() const {
        ParametriServer p;
        p.host = m_cartella.path();
        p.porta = m_porta;
        p.database = QStringLiteral("postgres");
        p.utente = QStringLiteral("postgres");
        p.ssl = QStringLiteral("disable");
        return p;
    }

    bool avvia() {
        m_avviato = esegui(
            QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), dati(), QStringLiteral("-l"),
             QDir(m_cartella.path()).filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
             QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
             QStringLiteral("-k ") + m_cartella.path() +
                 QStringLiteral(" -c listen_addresses='' -p ") + QString::number(m_porta) +
                 (m_opzioni.isEmpty() ? QString() : u' ' + m_opzioni),
             QStringLiteral("start")});
        return m_avviato;
    }

    // `subito`: as a server that dies (immediate shutdown), not a clean stop.
    bool ferma(bool subito) {
        const bool fermato = esegui(QStringLiteral("pg_ctl"),
                                    {QStringLiteral("-D"), dati(), QStringLiteral("-m"),
                                     subito ? QStringLiteral("immediate") : QStringLiteral("fast"),
                                     QStringLiteral("-w"), QStringLiteral("stop")});
        if (fermato) m_avviato = false;
        return fermato;
    }

    // A database with nothing of the program's in it.
    bool svuota(Connessione &c) {
        return c.comando("DROP SCHEMA IF EXISTS public CASCADE") &&
               c.comando("CREATE SCHEMA public");
    }

  private:
    QString dati() const { return QDir(m_cartella.path()).filePath(QStringLiteral("dati")); }

    static QString cartellaProgrammi() {
        QStringList versioni = QDir(QStringLiteral("/usr/lib/postgresql"))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versioni.begin(), versioni.end(),
                  [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
        for (const QString &v : versioni) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/") + v + QStringLiteral("/bin");
            if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
                QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable())
                return bin;
        }
        const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
    }

    static int portaLibera() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in indirizzo{};
        indirizzo.sin_family = AF_INET;
        indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t lunghezza = sizeof indirizzo;
        int porta = 0;
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&indirizzo), sizeof indirizzo) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr *>(&indirizzo), &lunghezza) == 0)
            porta = ntohs(indirizzo.sin_port);
        if (s >= 0) ::close(s);
        return porta > 0 ? porta : 54329;
    }

    bool esegui(const QString &programma, const QStringList &argomenti) {
        QProcess processo;
        processo.setProcessChannelMode(QProcess::MergedChannels);
        const QString percorso = m_bin + u'/' + programma;
        processo.setWorkingDirectory(m_cartella.path());
        if (m_uid >= 0)
            processo.start(QStringLiteral("runuser"),
                           QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                       QStringLiteral("--"), percorso} +
                               argomenti);
        else
            processo.start(percorso, argomenti);
        if (!processo.waitForFinished(120000) || processo.exitStatus() != QProcess::NormalExit ||
            processo.exitCode() != 0) {
            m_errore = programma + QStringLiteral(" failed: ") +
                       QString::fromLocal8Bit(processo.readAll()) + processo.errorString();
            QFile log(QDir(m_cartella.path()).filePath(QStringLiteral("server.log")));
            if (log.open(QIODevice::ReadOnly)) m_errore += QString::fromLocal8Bit(log.readAll());
            return false;
        }
        return true;
    }

    QTemporaryDir m_cartella;
    QString m_bin;
    QString m_errore;
    int m_porta = 0;
    int m_uid = -1;
    int m_gid = -1;
    bool m_avviato = false;
    bool m_suDisco = false;
    QString m_opzioni;
};
