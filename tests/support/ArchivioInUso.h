#pragma once

#include "Fixture.h"
#include "ServerDiProva.h"

#include "archive/Archivio.h"
#include "journal/Giornale.h"
#include "server/Connessione.h"
#include "server/CopiaLocale.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "storage/DepositoCorrente.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// For a table of cases run on both storages: a column "storage" with the rows
// "file" and "server".
inline void DueArchivi() {
    QTest::addColumn<QString>("storage");
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("server") << QStringLiteral("server");
}

// The throwaway cluster and its connection, for a whole test program; the
// connection is made again when a case stopped the server.
class ServerDeiTest {
  public:
    void avvia() {
        m_server = std::make_unique<ServerDiProva>();
        QVERIFY2(m_server->avviato(), qPrintable(m_server->errore()));
        collega();
    }
    void riprendi() {
        if (!m_server->avviato()) QVERIFY(m_server->avvia());
        if (!m_connessione || !m_connessione->aperta()) collega();
    }
    void ferma() {
        ImpostaDepositoCorrente(nullptr, {});
        m_connessione.reset();
        m_server.reset();
    }
    void collega() {
        m_connessione = std::make_unique<Connessione>(m_server->parametri());
        QVERIFY2(m_connessione->aperta(), qPrintable(m_connessione->messaggio()));
    }
    ServerDiProva &server() { return *m_server; }
    Connessione &connessione() { return *m_connessione; }

  private:
    std::unique_ptr<ServerDiProva> m_server;
    std::unique_ptr<Connessione> m_connessione;
};

// A server storage whose server dies while the lines of an all-or-nothing
// change are being written, after its cards were.
class DepositoCheSiFerma : public DepositoServer {
  public:
    DepositoCheSiFerma(Connessione &c, ServerDiProva &server)
        : DepositoServer(c), m_server(server) {}
    qint64 insiemeConRighe(const std::vector<qint64> &posizioni,
                           const std::function<bool(qint64, TScheda &)> &aggiorna, qint64 nuove,
                           const std::function<void(qint64, TScheda &)> &prepara,
                           const RigheInsieme &righe) override {
        return DepositoServer::insiemeConRighe(posizioni, aggiorna, nuove, prepara,
                                               [&](qint64 prima) {
                                                   m_server.ferma(true);
                                                   return righe(prima);
                                               });
    }

  private:
    ServerDiProva &m_server;
};

// The archive in use for one case: the test's program folder, or the server
// emptied and put in use, holding `schede` in order. The folder is in use
// again when the object goes. `deposito`, when given, is put in use in place
// of the server storage with its copy (a test's own, to stop the server
// midway).
class ArchivioInUso {
  public:
    ArchivioInUso(const QString &storage, ServerDeiTest &server, const QList<TScheda> &schede,
                  std::unique_ptr<Deposito> deposito = {}) {
        if (storage == QStringLiteral("file")) {
            Archivio archivio(m_cartella.archivio());
            m_pronto = archivio.ApriArchivio();
            for (const TScheda &s : schede)
                m_pronto = m_pronto && archivio.accoda(s) > 0;
            return;
        }
        Connessione &c = server.connessione();
        if (!server.server().svuota(c) || !CreaSchema(c)) return;
        // With a copy at the workstation, as the program keeps one, so the
        // passes over every card read it.
        if (!deposito)
            deposito = std::make_unique<DepositoServer>(
                c, std::make_unique<CopiaLocale>(m_copie.path(), QStringLiteral("prova")));
        m_pronto = true;
        for (const TScheda &s : schede)
            m_pronto = m_pronto && deposito->accoda(s) > 0;
        ImpostaDepositoCorrente(std::move(deposito),
                                QStringLiteral("archivio sul server di prova"));
    }
    ~ArchivioInUso() { ImpostaDepositoCorrente(nullptr, {}); }
    ArchivioInUso(const ArchivioInUso &) = delete;
    ArchivioInUso &operator=(const ArchivioInUso &) = delete;

    bool pronto() const { return m_pronto; }
    CartellaDiProva &cartella() { return m_cartella; }

    // Every card in use now, in position order.
    static QList<TScheda> schede() {
        QList<TScheda> tutte;
        const bool letto =
            DepositoCorrente().scorri([&tutte](const TScheda *s, qint64 quante, qint64) {
                for (qint64 i = 0; i < quante; ++i)
                    tutte << s[i];
                return true;
            });
        if (!letto) tutte.clear();
        return tutte;
    }
    // The journal's lines as the comparisons need them: kind, position, code,
    // quantity, stock before and after, note.
    static QStringList righe() {
        QList<Movimento> movimenti;
        DepositoCorrente().movimentiPeriodo(QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                                            QDateTime(QDate(2200, 1, 1), QTime(0, 0)), movimenti);
        QStringList testi;
        for (const Movimento &m : movimenti)
            testi << NomeTipo(m.tipo) + u' ' + QString::number(m.posizione) + u' ' + m.codice +
                         u' ' + QString::number(m.quantita) + u' ' + QString::number(m.prima) +
                         u' ' + QString::number(m.dopo) + u' ' + m.nota;
        return testi;
    }

  private:
    CartellaDiProva m_cartella;
    QTemporaryDir m_copie;
    bool m_pronto = false;
};
