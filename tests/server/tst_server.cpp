#include "DialoghiFinti.h"
#include "Fixture.h"
#include "ServerDiProva.h"

#include "archive/Archivio.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "server/Connessione.h"
#include "server/CopiaLocale.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "server/TfrmArchivioServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// A child process that saves card 1 `volte` times with a delta of +1, as a
// second site would.
int Carica(std::unique_ptr<Deposito> deposito, int volte) {
    TScheda scheda;
    if (!deposito->leggi(1, scheda)) return 2;
    for (int i = 0; i < volte; ++i)
        if (deposito->scrivi(1, scheda, 1, TipoMovimento::Carico, u"figlio"_s).esito !=
            Deposito::Salvataggio::Fatto)
            return 3;
    return 0;
}

QByteArray Byte(const TScheda &s) {
    return QByteArray(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
}

} // namespace

class TestServer : public QObject {
    Q_OBJECT

    std::unique_ptr<ServerDiProva> m_server;
    std::unique_ptr<Connessione> m_connessione;
    std::unique_ptr<CartellaDiProva> m_cartella;

    void collega() {
        m_connessione = std::make_unique<Connessione>(m_server->parametri());
        QVERIFY2(m_connessione->aperta(), qPrintable(m_connessione->messaggio()));
    }

    // A fresh, empty storage of the kind the row names.
    std::unique_ptr<Deposito> nuovo(const QString &tipo) {
        m_cartella = std::make_unique<CartellaDiProva>();
        if (tipo == u"file"_s) return std::make_unique<DepositoFile>(m_cartella->percorso());
        if (!m_connessione->aperta()) collega();
        if (!m_server->svuota(*m_connessione) || !CreaSchema(*m_connessione)) return {};
        return std::make_unique<DepositoServer>(*m_connessione);
    }

    static void entrambi() {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("file") << u"file"_s;
        QTest::newRow("server") << u"server"_s;
    }

  private slots:
    void initTestCase() {
        m_server = std::make_unique<ServerDiProva>();
        QVERIFY2(m_server->avviato(), qPrintable(m_server->errore()));
        collega();
    }

    // A case that stopped the server and failed leaves none of it to the next.
    void init() {
        if (!m_server->avviato()) QVERIFY(m_server->avvia());
        if (!m_connessione->aperta()) collega();
    }

    // The copy of the cards at a workstation holds the server's cards byte
    // for byte after each update: other sites' saves, appends, removals and
    // damaged cards, a save whose transaction was still open when the copy
    // last looked, and a database, table or trigger made anew. It reads only
    // what changed, and is made whole again when its file is not as left.
    void copiaLocale() {
        auto d = nuovo(u"server"_s);
        QVERIFY(d);
        for (int n = 1; n <= 6; ++n)
            QCOMPARE(d->accoda(SchedaNumero(n)), n);
        QTemporaryDir cartella;
        CopiaLocale copia(cartella.path(), u"prova"_s);
        Connessione &c = *m_connessione;
        const auto uguale = [&](qint64 lette) {
            const QString file = copia.aggiorna(c, {});
            QVERIFY2(!file.isEmpty(), "no copy");
            QByteArray tutte;
            QVERIFY(d->scorri([&](const TScheda *s, qint64 n, qint64) {
                for (qint64 i = 0; i < n; ++i)
                    tutte += Byte(s[i]);
                return true;
            }));
            QFile letto(file);
            QVERIFY(letto.open(QIODevice::ReadOnly));
            QCOMPARE(letto.readAll(), tutte);
            if (lette >= 0) QCOMPARE(copia.righeLette(), lette);
        };
        uguale(6);
        uguale(0);

        // One site's save still open while the copy looks, others' done.
        Connessione lenta(m_server->parametri()), altra(m_server->parametri());
        QVERIFY(lenta.comando("BEGIN"));
        QVERIFY(lenta.comando("UPDATE schede SET nome = 'Lenta' WHERE posizione = 3"));
        DepositoServer sito(altra);
        TScheda cambiata = SchedaNumero(5);
        cambiata.impostaTesto(Campo::Nome, u"Cambiata altrove"_s);
        QCOMPARE(sito.scrivi(5, cambiata, 4).esito, Deposito::Salvataggio::Fatto);
        uguale(-1);
        QCOMPARE(sito.accoda(SchedaNumero(7)), 7);
        QCOMPARE(sito.togli(2, SchedaNumero(2)).esito, Deposito::Rimozione::Fatta);
        TScheda rotta = SchedaNumero(4);
        const int nome = definizione(Campo::Nome).offset;
        rotta.byte[std::size_t(nome)] = 3;
        rotta.byte[std::size_t(nome) + 2] = 0; // a byte the text columns cannot keep
        QCOMPARE(sito.scrivi(4, rotta).esito, Deposito::Salvataggio::Fatto);
        QVERIFY(lenta.comando("COMMIT"));
        uguale(-1);
        QVERIFY(copia.righeLette() < 6);
        // The last card removed: the copy is cut short.
        TScheda ultima;
        QVERIFY(sito.leggi(6, ultima));
        QCOMPARE(sito.togli(6, ultima).esito, Deposito::Rimozione::Fatta);
        uguale(0);

        // Left alone a minute, the copy is put on disk and its state says so.
        QFile stato(QDir(cartella.path()).filePath(u"prova.stato"_s));
        const auto righeStato = [&stato] {
            stato.open(QIODevice::ReadOnly);
            const QList<QByteArray> righe = stato.readAll().split('\n');
            stato.close();
            return righe;
        };
        QVERIFY(!righeStato().value(3).isEmpty());
        {
            QFile vecchia(copia.archivio());
            QVERIFY(vecchia.open(QIODevice::ReadWrite));
            QVERIFY(vecchia.setFileTime(QDateTime::currentDateTime().addSecs(-120),
                                        QFileDevice::FileModificationTime));
        }
        uguale(0);
        QCOMPARE(righeStato().value(3), QByteArray());

        // Made whole again: a file not as it was left, a state written before
        // the system last started (the copy's writes may not have reached the
        // disk), a trigger made anew, the tables made anew.
        QFile file(copia.archivio());
        QVERIFY(file.open(QIODevice::Append));
        file.write("x");
        file.close();
        uguale(5);
        QList<QByteArray> righe = righeStato();
        QVERIFY(righe.size() > 3);
        righe[3] = "un altro avvio";
        QVERIFY(stato.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stato.write(righe.join('\n'));
        stato.close();
        uguale(5);
        QVERIFY(c.comando("DROP TRIGGER schede_cambio ON schede"));
        QVERIFY(copia.aggiorna(c, {}).isEmpty());
        AggiungiIndici(c);
        uguale(5);
        d = nuovo(u"server"_s);
        QCOMPARE(d->accoda(SchedaNumero(9)), 1);
        uguale(1);

        // Inside another operation's transaction the pass reads the server.
        QVERIFY(c.comando("BEGIN"));
        QVERIFY(copia.aggiorna(c, {}).isEmpty());
        QVERIFY(c.comando("ROLLBACK"));
        uguale(0);

        // One program at a time keeps a copy.
        CopiaLocale seconda(cartella.path(), u"prova"_s);
        QVERIFY(seconda.aggiorna(c, {}).isEmpty());

        // A storage with a copy passes over every card in it, and stops when asked.
        QCOMPARE(d->accoda(SchedaNumero(10)), 2);
        DepositoServer conCopia(c, std::make_unique<CopiaLocale>(cartella.path(), u"tutte"_s));
        QByteArray viste;
        qint64 blocchi = 0;
        const auto vedi = [&](const TScheda *s, qint64 n, qint64) {
            for (qint64 i = 0; i < n; ++i)
                viste += Byte(s[i]);
            return ++blocchi < 1;
        };
        QVERIFY(conCopia.scorri(vedi));
        QCOMPARE(viste, Byte(SchedaNumero(9)) + Byte(SchedaNumero(10)));
        QVERIFY(QFile::exists(QDir(cartella.path()).filePath(u"tutte.pro"_s)));
    }

    void cleanupTestCase() {
        m_connessione.reset();
        m_server.reset();
    }

    void leggiScriviAccoda_data() { entrambi(); }
    void leggiScriviAccoda() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        QCOMPARE(d->conta(), 0);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(d->accoda(SchedaNumero(n)), n);
        QCOMPARE(d->conta(), 3);
        for (int n = 1; n <= 3; ++n) {
            TScheda letta;
            QVERIFY(d->leggi(n, letta));
            QCOMPARE(Byte(letta), Byte(SchedaNumero(n)));
        }

        // Without a delta the stock stays as stored, whatever the card says.
        TScheda cambiata = SchedaNumero(2);
        cambiata.impostaTesto(Campo::Nome, u"Vite a legno"_s);
        cambiata.impostaTesto(Campo::Giacenza, u"999"_s);
        auto esito = d->scrivi(2, cambiata, 0);
        QCOMPARE(esito.esito, Deposito::Salvataggio::Fatto);
        TScheda letta;
        QVERIFY(d->leggi(2, letta));
        QCOMPARE(letta.testo(Campo::Nome), u"Vite a legno"_s);
        QCOMPARE(letta.testo(Campo::Giacenza), u"2"_s);

        // A delta applies to the stock stored and records its line.
        esito = d->scrivi(2, cambiata, 5, TipoMovimento::Carico, u"arrivo"_s);
        QCOMPARE(esito.esito, Deposito::Salvataggio::Fatto);
        QCOMPARE(esito.prima, 2);
        QCOMPARE(esito.dopo, 7);
        QVERIFY(d->leggi(2, letta));
        QCOMPARE(letta.testo(Campo::Giacenza), u"7"_s);
        QList<Movimento> righe;
        QVERIFY(d->movimentiScheda(2, righe));
        QCOMPARE(righe.size(), 1);
        QCOMPARE(righe[0].tipo, TipoMovimento::Carico);
        QCOMPARE(righe[0].quantita, 5);
        QCOMPARE(righe[0].prima, 2);
        QCOMPARE(righe[0].dopo, 7);
        QCOMPARE(righe[0].nota, u"arrivo"_s);

        // What the stock field cannot hold, a stock that is no number, a card
        // that is not there: nothing written.
        QCOMPARE(d->scrivi(2, cambiata, 99999).esito, Deposito::Salvataggio::FuoriCampo);
        TScheda strana = SchedaNumero(3);
        strana.impostaTesto(Campo::Giacenza, u"abc"_s);
        QCOMPARE(d->scrivi(3, strana, 0).esito, Deposito::Salvataggio::Fatto);
        QCOMPARE(d->scrivi(3, strana, 1).esito, Deposito::Salvataggio::Fatto);
        QVERIFY(d->leggi(3, letta));
        QCOMPARE(letta.testo(Campo::Giacenza), u"4"_s);
        QVERIFY(d->leggi(1, letta));
        QCOMPARE(d->scrivi(9, letta, 1).esito, Deposito::Salvataggio::NonTrovata);
        QVERIFY(d->movimentiScheda(2, righe));
        QCOMPARE(righe.size(), 1);
    }

    void giacenzaNonIntera_data() { entrambi(); }
    void giacenzaNonIntera() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        TScheda s = SchedaNumero(1);
        s.impostaTesto(Campo::Giacenza, u"2,5"_s);
        QCOMPARE(d->accoda(s), 1);
        QCOMPARE(d->scrivi(1, s, 1).esito, Deposito::Salvataggio::GiacenzaNonIntera);
        TScheda letta;
        QVERIFY(d->leggi(1, letta));
        QCOMPARE(Byte(letta), Byte(s));
        QVERIFY(!d->messaggio().isEmpty());
    }

    void togliRipristina_data() { entrambi(); }
    void togliRipristina() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        for (int n = 1; n <= 3; ++n) {
            QCOMPARE(d->accoda(SchedaNumero(n)), n);
            QVERIFY(d->scriviFoto(n, "foto " + QByteArray::number(n) + QByteArray(3, '\0')));
        }
        // Only the card as it was read is taken out.
        auto tolta = d->togli(1, SchedaNumero(2));
        QCOMPARE(tolta.esito, Deposito::Rimozione::NonPiuLaStessa);
        QCOMPARE(d->conta(), 3);

        tolta = d->togli(1, SchedaNumero(1));
        QCOMPARE(tolta.esito, Deposito::Rimozione::Fatta);
        QCOMPARE(tolta.spostataDa, 3);
        QCOMPARE(d->conta(), 2);
        TScheda letta;
        QVERIFY(d->leggi(1, letta));
        QCOMPARE(Byte(letta), Byte(SchedaNumero(3)));
        QByteArray foto;
        QVERIFY(d->leggiFoto(1, foto));
        QCOMPARE(foto, "foto 3" + QByteArray(3, '\0'));
        QVERIFY(d->leggiFoto(3, foto));
        QVERIFY(foto.isEmpty());
        QList<Movimento> righe;
        QVERIFY(d->movimentiScheda(1, righe));
        QCOMPARE(righe.size(), 2);
        QCOMPARE(righe[0].tipo, TipoMovimento::Eliminazione);
        QCOMPARE(righe[1].tipo, TipoMovimento::Spostamento);

        // The last card goes without moving another.
        tolta = d->togli(2, SchedaNumero(2));
        QCOMPARE(tolta.esito, Deposito::Rimozione::Fatta);
        QCOMPARE(tolta.spostataDa, 0);

        const QList<Deposito::Eliminata> eliminate = d->eliminate();
        QCOMPARE(eliminate.size(), 2);
        QCOMPARE(Byte(eliminate[0].scheda), Byte(SchedaNumero(2))); // newest first
        QCOMPARE(Byte(eliminate[1].scheda), Byte(SchedaNumero(1)));

        const qint64 tornata = d->ripristina(eliminate[1]);
        QCOMPARE(tornata, 2);
        QVERIFY(d->leggi(2, letta));
        QCOMPARE(Byte(letta), Byte(SchedaNumero(1)));
        QVERIFY(d->leggiFoto(2, foto));
        QCOMPARE(foto, "foto 1" + QByteArray(3, '\0'));
        // Never back twice.
        QCOMPARE(d->ripristina(eliminate[1]), -1);
        QCOMPARE(d->conta(), 2);
        QCOMPARE(d->eliminate().size(), 1);
    }

    void passata_data() { entrambi(); }
    void passata() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        const int quante = DepositoServer::BLOCCO * 2 + 17;
        QCOMPARE(d->insieme({}, {}, quante,
                            [](qint64 i, TScheda &s) { s = SchedaNumero(int(i) + 1); }, {}),
                 1);
        qint64 attesa = 1;
        bool inOrdine = true;
        QVERIFY(d->scorri([&](const TScheda *schede, qint64 n, qint64 prima) {
            inOrdine = inOrdine && prima == attesa;
            for (qint64 i = 0; i < n; ++i)
                inOrdine = inOrdine && schede[i].byte == SchedaNumero(int(prima + i)).byte;
            attesa = prima + n;
            return true;
        }));
        QVERIFY(inOrdine);
        QCOMPARE(attesa, quante + 1);
        // A visitor that stops ends the pass.
        int blocchi = 0;
        QVERIFY(d->scorri([&](const TScheda *, qint64, qint64) { return ++blocchi < 1; }));
        QCOMPARE(blocchi, 1);
    }

    void insieme_data() { entrambi(); }
    void insieme() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(d->accoda(SchedaNumero(n)), n);
        const QByteArray prima = [&] {
            QByteArray b;
            d->scorri([&](const TScheda *s, qint64 n, qint64) {
                b.append(reinterpret_cast<const char *>(s), n * TScheda::DIMENSIONE);
                return true;
            });
            return b;
        }();
        // The second card refuses: nothing at all is written.
        QCOMPARE(d->insieme(
                     {1, 2},
                     [](qint64 i, TScheda &s) {
                         s.impostaTesto(Campo::Nome, u"cambiata"_s);
                         return i == 0;
                     },
                     2, [](qint64, TScheda &s) { s = SchedaNumero(9); },
                     {MovimentoScheda(SchedaNumero(1), 1, TipoMovimento::Rettifica, 1, 1)}),
                 -1);
        QCOMPARE(d->conta(), 3);
        QByteArray dopo;
        d->scorri([&](const TScheda *s, qint64 n, qint64) {
            dopo.append(reinterpret_cast<const char *>(s), n * TScheda::DIMENSIONE);
            return true;
        });
        QCOMPARE(dopo, prima);
        QList<Movimento> righe;
        QVERIFY(d->movimentiScheda(1, righe));
        QVERIFY(righe.isEmpty());

        // And all of it when nothing refuses.
        QCOMPARE(d->insieme(
                     {1, 2},
                     [](qint64, TScheda &s) {
                         s.impostaTesto(Campo::Nome, u"cambiata"_s);
                         return true;
                     },
                     2, [](qint64 i, TScheda &s) { s = SchedaNumero(10 + int(i)); },
                     {MovimentoScheda(SchedaNumero(1), 1, TipoMovimento::Rettifica, 1, 1)}),
                 4);
        QCOMPARE(d->conta(), 5);
        TScheda letta;
        QVERIFY(d->leggi(2, letta));
        QCOMPARE(letta.testo(Campo::Nome), u"cambiata"_s);
        QVERIFY(d->leggi(5, letta));
        QCOMPARE(Byte(letta), Byte(SchedaNumero(11)));
        QVERIFY(d->movimentiScheda(1, righe));
        QCOMPARE(righe.size(), 1);
    }

    void giornale_data() { entrambi(); }
    void giornale() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        QList<Movimento> movimenti;
        for (int giorno = 1; giorno <= 5; ++giorno) {
            Movimento m = MovimentoScheda(SchedaNumero(giorno), giorno % 2 + 1,
                                          TipoMovimento::Scarico, -giorno, 10);
            m.quando = QDateTime(QDate(2026, 3, giorno), QTime(12, 0));
            m.quando = m.quando.toOffsetFromUtc(m.quando.offsetFromUtc());
            m.nota = u"nota; con \"virgolette\" e =formula"_s;
            movimenti << m;
        }
        QVERIFY(d->registra(movimenti));
        QList<Movimento> letti;
        QVERIFY(d->movimentiPeriodo(QDateTime(QDate(2026, 3, 2), QTime(0, 0)),
                                    QDateTime(QDate(2026, 3, 4), QTime(12, 0)), letti));
        QCOMPARE(letti, (QList<Movimento>{movimenti[1], movimenti[2]}));
        QVERIFY(d->movimentiScheda(2, letti));
        QCOMPARE(letti, (QList<Movimento>{movimenti[0], movimenti[2], movimenti[4]}));
    }

    void fotoAllegati_data() { entrambi(); }
    void fotoAllegati() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        QByteArray tutti;
        for (int b = 0; b < 256; ++b)
            tutti.append(char(b));
        QVERIFY(d->scriviFoto(7, tutti));
        QByteArray letto;
        QVERIFY(d->leggiFoto(7, letto));
        QCOMPARE(letto, tutti);
        QVERIFY(d->scriviFoto(7, "nuova"));
        QVERIFY(d->leggiFoto(7, letto));
        QCOMPARE(letto, "nuova");
        QVERIFY(d->scriviAllegato(u"COD1/scheda tecnica.pdf"_s, tutti));
        QVERIFY(d->scriviAllegato(u"COD1/%_'\\.txt"_s, "x"));
        QVERIFY(d->scriviAllegato(u"listino.xls"_s, QByteArray()));
        QStringList nomi;
        QVERIFY(d->allegati(nomi));
        QCOMPARE(nomi, (QStringList{u"COD1/%_'\\.txt"_s, u"COD1/scheda tecnica.pdf"_s,
                                    u"listino.xls"_s}));
        QVERIFY(d->leggiAllegato(u"COD1/scheda tecnica.pdf"_s, letto));
        QCOMPARE(letto, tutti);
        QVERIFY(d->leggiAllegato(u"listino.xls"_s, letto));
        QVERIFY(letto.isEmpty());
        // Names that would leave the attachments folder are refused.
        for (const QString &nome : {u"../fuori.txt"_s, u"/etc/passwd"_s, u"a//b"_s, QString()})
            QVERIFY2(!d->scriviAllegato(nome, "x"), qPrintable(nome));
        QVERIFY(!d->leggiAllegato(u"manca.pdf"_s, letto));
    }

    // Text that looks like SQL or like a pattern is kept and found as it is.
    void testoLetterale_data() {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("testo");
        const QStringList testi{u"'; DROP TABLE schede; --"_s, u"%"_s,     u"_"_s,  u"\\"_s,
                                u"50% di sconto_"_s,           u"a\\%b"_s, u"$1"_s, u"\"x\"'y'"_s};
        for (const QString &tipo : {u"file"_s, u"server"_s})
            for (const QString &testo : testi)
                QTest::newRow(qPrintable(tipo + u": "_s + testo)) << tipo << testo;
    }
    void testoLetterale() {
        QFETCH(QString, tipo);
        QFETCH(QString, testo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        // Cards a pattern would find: every other text, and the text's
        // characters in another order.
        QCOMPARE(d->accoda(SchedaNumero(1)), 1);
        TScheda scheda;
        for (int c = 0; c < NUMERO_CAMPI; ++c)
            scheda.impostaTesto(Campo(c), u"x"_s + testo + u"y"_s);
        QCOMPARE(d->accoda(scheda), 2);
        TScheda altra = SchedaNumero(3);
        altra.impostaTesto(Campo::Note, u"abc"_s);
        QCOMPARE(d->accoda(altra), 3);
        TScheda letta;
        QVERIFY(d->leggi(2, letta));
        QCOMPARE(Byte(letta), Byte(scheda));
        for (int c = 0; c < NUMERO_CAMPI; ++c)
            QCOMPARE(letta.testo(Campo(c)), scheda.testo(Campo(c)));
        QList<qint64> trovate;
        for (Campo campo : {Campo::Codice, Campo::Nome, Campo::Note, Campo::Desc03}) {
            QVERIFY2(d->cerca(testo, {Campo::Pagato, campo}, trovate), qPrintable(d->messaggio()));
            QCOMPARE(trovate, QList<qint64>{2});
        }
        QVERIFY(d->cerca(u"PRODOTTO"_s, {Campo::Nome}, trovate));
        QCOMPARE(trovate, (QList<qint64>{1, 3}));
        QCOMPARE(d->conta(), 3);
    }

    // Two sites save the same card at once: every movement counts.
    void deltaDueProcessi_data() { entrambi(); }
    void deltaDueProcessi() {
        QFETCH(QString, tipo);
        auto d = nuovo(tipo);
        QVERIFY(d);
        QCOMPARE(d->accoda(SchedaNumero(0)), 1);
        const int volte = 40;
        QStringList argomenti{u"--carica"_s, QString::number(volte), tipo};
        if (tipo == u"file"_s)
            argomenti << m_cartella->percorso();
        else
            argomenti << m_server->parametri().host << QString::number(m_server->porta());
        QProcess primo, secondo;
        primo.start(QCoreApplication::applicationFilePath(), argomenti);
        secondo.start(QCoreApplication::applicationFilePath(), argomenti);
        QVERIFY(FinitoEntro(primo, 120000));
        QVERIFY(FinitoEntro(secondo, 120000));
        QCOMPARE(primo.exitCode(), 0);
        QCOMPARE(secondo.exitCode(), 0);
        TScheda letta;
        QVERIFY(d->leggi(1, letta));
        QCOMPARE(letta.testo(Campo::Giacenza), QString::number(2 * volte));
        QList<Movimento> righe;
        QVERIFY(d->movimentiScheda(1, righe));
        QCOMPARE(righe.size(), 2 * volte);
        // Each line starts from the stock the line before left.
        QList<qint64> prime;
        for (const Movimento &m : righe)
            prime << m.prima;
        std::sort(prime.begin(), prime.end());
        for (int i = 0; i < prime.size(); ++i)
            QCOMPARE(prime[i], i);
    }

    // A folder with everything an archive has, records the fields alone
    // could not give back among them.
    void andataRitorno() {
        CartellaDiProva origine;
        QByteArray archivio;
        for (int n = 1; n <= 300; ++n)
            archivio += Byte(SchedaNumero(n));
        TScheda strana = SchedaNumero(301);
        strana.byte[std::size_t(definizione(Campo::Note).offset) + 200] = 0xAB; // after the text
        archivio += Byte(strana);
        TScheda conZero = SchedaNumero(302);
        conZero.byte[std::size_t(definizione(Campo::Nome).offset) + 2] = 0; // a zero in the text
        archivio += Byte(conZero);
        TScheda lunga = SchedaNumero(303);
        lunga.byte[std::size_t(definizione(Campo::Codice).offset)] = 200; // length past the width
        archivio += Byte(lunga);
        TScheda cp1252 = SchedaNumero(304);
        cp1252.impostaTesto(Campo::Nome, u"Caffè € \u201Cspeciale\u201D \u0081"_s);
        archivio += Byte(cp1252);
        origine.scriviArchivio(archivio);
        for (int n : {1, 2, 150, 304}) {
            QByteArray foto = "JPEG " + QByteArray::number(n);
            foto.append(QByteArray(1000 * n, char(n)));
            Scrivi(origine.percorso(QString::number(n) + u".jpg"_s), foto);
        }
        QDir().mkpath(origine.percorso(u"Documenti_Allegati/COD1"_s));
        Scrivi(origine.percorso(u"Documenti_Allegati/COD1/manuale.pdf"_s),
               QByteArray(5000, '\x01'));
        Scrivi(origine.percorso(u"Documenti_Allegati/listino.csv"_s), "a;b\n");
        QDir().mkpath(origine.percorso(u"Schede eliminate"_s));
        Scrivi(origine.percorso(u"Schede eliminate/20260101-120000000-9.jpg"_s), "vecchia foto");
        DepositoFile file(origine.percorso());
        QList<Movimento> movimenti;
        for (int n = 1; n <= 20; ++n)
            movimenti << MovimentoScheda(SchedaNumero(n), n, TipoMovimento::Carico, n, 0,
                                         u"'; DROP TABLE movimenti; --"_s);
        QVERIFY(file.registra(movimenti));

        QVERIFY(m_server->svuota(*m_connessione));
        const EsitoTrasloco su = CopiaSuServer(origine.percorso(), *m_connessione);
        QVERIFY2(su.riuscito, qPrintable(su.messaggio));
        QCOMPARE(su.schede, 304);
        QCOMPARE(su.movimenti, 20);
        QCOMPARE(su.foto, 4);
        QCOMPARE(su.allegati, 2);
        QCOMPARE(su.eliminate, 1);

        // A second copy into the same database is refused and changes nothing.
        const EsitoTrasloco ancora = CopiaSuServer(origine.percorso(), *m_connessione);
        QVERIFY(!ancora.riuscito);
        QVERIFY2(ancora.messaggio.contains(u"contiene già un archivio"_s),
                 qPrintable(ancora.messaggio));
        DepositoServer server(*m_connessione);
        QCOMPARE(server.conta(), 304);

        CartellaDiProva ritorno;
        const QString destinazione = ritorno.percorso(u"copia"_s);
        const EsitoTrasloco giu = CopiaSuCartella(*m_connessione, destinazione);
        QVERIFY2(giu.riuscito, qPrintable(giu.messaggio));
        const auto stesso = [&](const QString &nome) {
            const QByteArray a = Leggi(origine.percorso(nome));
            const QByteArray b = Leggi(QDir(destinazione).filePath(nome));
            QVERIFY2(!a.isEmpty() && a == b, qPrintable(nome));
        };
        stesso(u"Magazzino.pro"_s);
        for (const QString &nome :
             {u"1.jpg"_s, u"2.jpg"_s, u"150.jpg"_s, u"304.jpg"_s,
              u"Documenti_Allegati/COD1/manuale.pdf"_s, u"Documenti_Allegati/listino.csv"_s,
              u"Schede eliminate/20260101-120000000-9.jpg"_s})
            stesso(nome);
        QCOMPARE(FileSotto(destinazione).size(), FileSotto(origine.percorso()).size());
        // The journal's lines as the file version reads them.
        DepositoFile copia(destinazione);
        QList<Movimento> letti, scritti;
        const QDateTime da(QDate(2000, 1, 1), QTime()), a(QDate(2100, 1, 1), QTime());
        QVERIFY(copia.movimentiPeriodo(da, a, letti));
        QVERIFY(file.movimentiPeriodo(da, a, scritti));
        QCOMPARE(scritti.size(), 20);
        QCOMPARE(letti, scritti);
        stesso(u"Movimenti.csv"_s);

        // Into a folder that holds something: refused, and left alone.
        const EsitoTrasloco piena = CopiaSuCartella(*m_connessione, origine.percorso());
        QVERIFY(!piena.riuscito);
        QVERIFY(piena.messaggio.contains(u"non è vuota"_s));
        QCOMPARE(Leggi(origine.archivio()), archivio);
    }

    // The server stops at each step of a move: nothing half written, and
    // the message says what happened.
    void serverFermato_data() {
        QTest::addColumn<bool>("versoServer");
        QTest::addColumn<QString>("passo");
        for (const QString &passo :
             {u"schede"_s, u"movimenti"_s, u"foto"_s, u"allegati"_s, u"verifica"_s}) {
            QTest::newRow(qPrintable(u"verso il server, "_s + passo)) << true << passo;
            QTest::newRow(qPrintable(u"verso la cartella, "_s + passo)) << false << passo;
        }
    }
    void serverFermato() {
        QFETCH(bool, versoServer);
        QFETCH(QString, passo);
        CartellaDiProva origine;
        QByteArray archivio;
        for (int n = 1; n <= 50; ++n)
            archivio += Byte(SchedaNumero(n));
        origine.scriviArchivio(archivio);
        Scrivi(origine.percorso(u"1.jpg"_s), "foto");
        QDir().mkpath(origine.percorso(u"Documenti_Allegati"_s));
        Scrivi(origine.percorso(u"Documenti_Allegati/a.txt"_s), "allegato");
        DepositoFile file(origine.percorso());
        QVERIFY(file.registra({MovimentoScheda(SchedaNumero(1), 1, TipoMovimento::Carico, 1, 0)}));
        QVERIFY(m_server->svuota(*m_connessione));
        if (!versoServer) {
            const EsitoTrasloco su = CopiaSuServer(origine.percorso(), *m_connessione);
            QVERIFY2(su.riuscito, qPrintable(su.messaggio));
        }

        bool fermato = false;
        ImpostaPassoTrasloco([&](const QString &nome) {
            if (nome == passo && !fermato) fermato = m_server->ferma(true);
        });
        const QString destinazione = origine.percorso(u"copia"_s);
        const EsitoTrasloco esito = versoServer ? CopiaSuServer(origine.percorso(), *m_connessione)
                                                : CopiaSuCartella(*m_connessione, destinazione);
        ImpostaPassoTrasloco({});
        QVERIFY(fermato);
        QVERIFY(!esito.riuscito);
        QVERIFY2(esito.messaggio.contains(u"collegamento con il server si è interrotto"_s),
                 qPrintable(esito.messaggio));
        QVERIFY(m_server->avvia());
        collega();
        DepositoServer server(*m_connessione);
        if (versoServer) {
            // The transaction died with the server: the tables stay empty.
            const Risultato r = m_connessione->esegui(
                "SELECT (SELECT count(*) FROM schede) + (SELECT count(*) FROM movimenti) + "
                "(SELECT count(*) FROM foto) + (SELECT count(*) FROM allegati)");
            QVERIFY(r.ok());
            QCOMPARE(r.numero(0, 0), 0);
        } else {
            QVERIFY(!QFileInfo::exists(destinazione));
            // Nothing of the move is left beside it either.
            QCOMPARE(QDir(origine.percorso())
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     (QStringList{u"1.jpg"_s, u"Documenti_Allegati"_s, u"Magazzino.pro"_s,
                                  u"Movimenti.csv"_s}));
            QCOMPARE(server.conta(), 50);
        }
        QCOMPARE(Leggi(origine.archivio()), archivio);
    }

    // The window as the shop owner uses it: the address typed, the test, the
    // two moves; the address remembered without the password.
    void finestra() {
        DialoghiFinti dialoghi;
        CartellaDiProva programma;
        QByteArray archivio;
        for (int n = 1; n <= 3; ++n)
            archivio += Byte(SchedaNumero(n));
        programma.scriviArchivio(archivio);
        QVERIFY(m_server->svuota(*m_connessione));
        const QString ini = programma.percorso(u"ArchivioServer.ini"_s);
        {
            TfrmArchivioServer w(nullptr, ini);
            w.show();
            QCOMPARE(w.cmbSsl->currentData().toString(), u"prefer"_s);
            QCOMPARE(w.cmbSsl->count(), 3);
            // Nothing named: said, and nothing tried.
            QTest::mouseClick(w.btnProva, Qt::LeftButton);
            QCOMPARE(dialoghi.ultimo(),
                     u"Attenzione: scrivere il server, il database e l'utente."_s);
            QVERIFY(w.txtHost->hasFocus() || !w.isActiveWindow());

            QTest::keyClicks(w.txtHost, m_server->parametri().host);
            w.txtPorta->selectAll();
            QTest::keyClicks(w.txtPorta, QString::number(m_server->porta()));
            QTest::keyClicks(w.txtDatabase, u"postgres"_s);
            QTest::keyClicks(w.txtUtente, u"postgres"_s);
            QTest::keyClicks(w.txtPassword, u"segreta"_s);
            QTest::mouseClick(w.btnProva, Qt::LeftButton);
            QVERIFY2(dialoghi.ultimo().startsWith(u"Collegamento riuscito: PostgreSQL "_s),
                     qPrintable(dialoghi.ultimo()));

            dialoghi.rispondi(Piattaforma::Risposta::Si);
            dialoghi.rispondi(Piattaforma::Risposta::Ok);
            // Not yet to work on the server.
            dialoghi.rispondi(Piattaforma::Risposta::No);
            QTest::mouseClick(w.btnCopiaSuServer, Qt::LeftButton);
            const QStringList testi = dialoghi.testi();
            QCOMPARE(testi.last(), u"Lavorare da ora sull'archivio del server?"_s);
            QVERIFY2(
                testi.at(testi.size() - 2).startsWith(u"L'archivio è stato copiato sul server"_s),
                qPrintable(testi.join(u'\n')));
            QVERIFY(!w.chkUsaServer->isChecked());
            DepositoServer server(*m_connessione);
            QCOMPARE(server.conta(), 3);

            const QString copia = programma.percorso(u"dal server"_s);
            dialoghi.allaProssimaScelta(copia);
            QTest::mouseClick(w.btnCopiaDaServer, Qt::LeftButton);
            QVERIFY2(dialoghi.ultimo().startsWith(u"L'archivio del server è stato scritto"_s),
                     qPrintable(dialoghi.ultimo()));
            QCOMPARE(Leggi(QDir(copia).filePath(u"Magazzino.pro"_s)), archivio);
            QTest::keyClick(&w, Qt::Key_Escape);
            QVERIFY(!w.isVisible());
        }
        const QByteArray salvato = Leggi(ini);
        QVERIFY(salvato.contains("Database=postgres"));
        QVERIFY(!salvato.contains("segreta"));
        TfrmArchivioServer di_nuovo(nullptr, ini);
        QCOMPARE(di_nuovo.txtHost->text(), m_server->parametri().host);
        QCOMPARE(di_nuovo.txtPorta->value(), m_server->porta());
        QCOMPARE(di_nuovo.txtUtente->text(), u"postgres"_s);
        QVERIFY(di_nuovo.txtPassword->text().isEmpty());
        for (QWidget *w : di_nuovo.findChildren<QWidget *>())
            if (!w->objectName().startsWith(u"qt_"_s) &&
                (qobject_cast<QLineEdit *>(w) || qobject_cast<QPushButton *>(w) ||
                 qobject_cast<QComboBox *>(w) || qobject_cast<QSpinBox *>(w)))
                QVERIFY2(!w->accessibleName().isEmpty() && !w->objectName().isEmpty(),
                         qPrintable(w->objectName()));
    }

    void collegamentoRifiutato() {
        ParametriServer p = m_server->parametri();
        p.porta = m_server->porta() + 1;
        Connessione c(p);
        QVERIFY(!c.aperta());
        QVERIFY2(
            c.messaggio().startsWith(u"Attenzione: non è stato possibile collegarsi al server"_s),
            qPrintable(c.messaggio()));
    }

    // The archive named in the settings at start: the server's, said once
    // when it does not answer and tried again at each operation; the folder's
    // when the choice is taken away.
    void archivioInUso() {
        DialoghiFinti dialoghi;
        CartellaDiProva programma;
        QVERIFY(m_server->svuota(*m_connessione));
        QVERIFY(CreaSchema(*m_connessione));
        DepositoServer(*m_connessione).accoda(SchedaNumero(1));
        const QString ini = programma.percorso(u"ArchivioServer.ini"_s);
        ParametriServer p = m_server->parametri();
        QVERIFY(ScriviParametriServer(p, ini) && ScriviUsoServer(true, ini));
        QVERIFY(m_server->ferma(true));
        QVERIFY(ApriArchivioInUso(nullptr, ini));
        QCOMPARE(dialoghi.testi().size(), 1);
        QVERIFY2(dialoghi.ultimo().startsWith(u"Attenzione: non è stato possibile collegarsi"_s),
                 qPrintable(dialoghi.ultimo()));
        QVERIFY(ArchivioSuServer());
        QCOMPARE(DepositoCorrente().conta(), -1);
        QVERIFY(!DepositoCorrente().messaggio().isEmpty());
        QVERIFY(m_server->avvia());
        QCOMPARE(DepositoCorrente().conta(), 1);
        QVERIFY(DescrizioneArchivio().contains(p.host));

        QVERIFY(ScriviUsoServer(false, ini));
        QVERIFY(!ApriArchivioInUso(nullptr, ini));
        QVERIFY(!ArchivioSuServer());
        QVERIFY(DepositoCorrenteSuFile());
        QCOMPARE(dialoghi.testi().size(), 1);
        collega();
    }

    // The journal's mark waits for a line another site is still writing, so
    // a line numbered before the mark never becomes visible after it.
    void segnoDopoLeRigheInScrittura() {
        auto d = nuovo(u"server"_s);
        QVERIFY(d);
        QCOMPARE(d->accoda(SchedaNumero(1)), 1);
        const auto riga = [](const QString &nota) {
            return MovimentoScheda(SchedaNumero(1), 1, TipoMovimento::Carico, 1, 1, nota);
        };
        Connessione lenta(m_server->parametri()), terza(m_server->parametri());
        QVERIFY(lenta.comando("BEGIN"));
        QVERIFY(DepositoServer(lenta).registra({riga(u"lenta"_s)}));
        QVERIFY(d->registra({riga(u"svelta"_s)}));
        std::atomic<bool> confermata{false};
        bool dopo = false;
        qint64 segno = 0;
        std::thread chiede([&] {
            segno = DepositoServer(terza).segnoGiornale();
            dopo = confermata;
        });
        QTest::qWait(300);
        confermata = true;
        QVERIFY(lenta.comando("COMMIT"));
        chiede.join();
        QVERIFY(dopo);
        QStringList note;
        QVERIFY(d->righeDopo(1, [&](QByteArrayView r, char sep, qint64 numero) {
            Movimento m;
            if (LeggiRigaGiornale(r, sep, m) && numero < segno) note << m.nota;
            return true;
        }));
        QCOMPARE(note, (QStringList{u"lenta"_s, u"svelta"_s}));
    }

    // A server that wants a password: the program asks it at start in its own
    // window and works once it is right; a wrong one is said without showing
    // it, and it is kept nowhere.
    void passwordAllAvvio() {
        Connessione &c = *m_connessione;
        QVERIFY(m_server->svuota(c));
        QVERIFY(CreaSchema(c));
        QVERIFY(c.comando("DROP ROLE IF EXISTS cassa_password"));
        QVERIFY(c.comando("CREATE ROLE cassa_password LOGIN PASSWORD 'Segreta-1'"));
        QVERIFY(c.comando("GRANT USAGE ON SCHEMA public TO cassa_password"));
        QVERIFY(c.comando("GRANT SELECT ON schede TO cassa_password"));
        const Risultato hba = c.esegui("SELECT setting FROM pg_settings WHERE name = 'hba_file'");
        QVERIFY(hba.ok() && hba.righe() == 1);
        const QString regole = hba.testo(0, 0);
        const QByteArray prima = Leggi(regole);
        const auto rimetti = qScopeGuard([&] {
            Scrivi(regole, prima);
            if (!m_connessione->aperta()) collega();
            m_connessione->esegui("SELECT pg_reload_conf()");
            ImpostaDepositoCorrente(nullptr, {});
        });
        Scrivi(regole, "local all cassa_password scram-sha-256\n" + prima);
        QVERIFY(c.esegui("SELECT pg_reload_conf()").ok());

        CartellaDiProva programma;
        const QString ini = programma.percorso(u"ArchivioServer.ini"_s);
        ParametriServer p = m_server->parametri();
        p.utente = u"cassa_password"_s;
        QVERIFY(ScriviParametriServer(p, ini) && ScriviUsoServer(true, ini));
        DialoghiFinti dialoghi;
        const auto scrivi = [](const QString &password) {
            return [password](QDialog *d) {
                auto *casella = d->findChild<QLineEdit *>(u"txtPassword"_s);
                QVERIFY(casella);
                QCOMPARE(casella->echoMode(), QLineEdit::Password);
                casella->setText(password);
                d->accept();
            };
        };
        dialoghi.allaProssimaFinestra(scrivi(u"Sbagliata-2"_s));
        QVERIFY(ApriArchivioInUso(nullptr, ini));
        QCOMPARE(dialoghi.testi().size(), 1);
        QVERIFY2(!dialoghi.ultimo().contains(u"Sbagliata"_s), qPrintable(dialoghi.ultimo()));
        QCOMPARE(DepositoCorrente().conta(), -1);
        QVERIFY(!DepositoCorrente().messaggio().contains(u"Sbagliata"_s));

        dialoghi.allaProssimaFinestra(scrivi(u"Segreta-1"_s));
        QVERIFY(ApriArchivioInUso(nullptr, ini));
        QCOMPARE(dialoghi.testi().size(), 1);
        QVERIFY2(DepositoCorrente().conta() == 0, qPrintable(DepositoCorrente().messaggio()));
        // A server restarted meanwhile is connected to again with the password typed.
        QVERIFY(m_server->ferma(true));
        QVERIFY(m_server->avvia());
        QVERIFY2(DepositoCorrente().conta() == 0, qPrintable(DepositoCorrente().messaggio()));
        QVERIFY(!Leggi(ini).contains("Segreta"));
        QVERIFY(!Leggi(ini).contains("Sbagliata"));
    }

    // Only the archive's tables: a role given the script's rights reads and
    // writes them, and nothing else.
    void ruolo() {
        QVERIFY(m_server->svuota(*m_connessione));
        QVERIFY(CreaSchema(*m_connessione));
        m_connessione->comando("DROP ROLE IF EXISTS quadrelo_cassa");
        const QString script = ScriptRuolo(u"quadrelo_cassa"_s, u"postgres"_s);
        for (const QString &istruzione : script.split(u";\n"_s, Qt::SkipEmptyParts)) {
            QString sql;
            for (const QString &riga : istruzione.split(u'\n'))
                if (!riga.startsWith(u"--"_s)) sql += riga + u' ';
            if (sql.trimmed().isEmpty()) continue;
            QVERIFY2(m_connessione->comando(sql.toUtf8().constData()),
                     qPrintable(m_connessione->messaggio()));
        }
        ParametriServer p = m_server->parametri();
        p.utente = u"quadrelo_cassa"_s;
        Connessione cassa(p);
        QVERIFY2(cassa.aperta(), qPrintable(cassa.messaggio()));
        DepositoServer server(cassa);
        Deposito &d = server;
        QCOMPARE(d.accoda(SchedaNumero(1)), 1);
        QCOMPARE(d.scrivi(1, SchedaNumero(1), 2).esito, Deposito::Salvataggio::Fatto);
        QVERIFY(!cassa.comando("CREATE TABLE altro (x int)"));
        QVERIFY(!cassa.comando("DROP TABLE schede"));
        QVERIFY(!cassa.comando("SELECT * FROM pg_authid"));
        QCOMPARE(d.conta(), 1);
        m_connessione->comando("DROP OWNED BY quadrelo_cassa");
        m_connessione->comando("DROP ROLE quadrelo_cassa");
    }
};

int main(int argc, char *argv[]) {
    if (argc >= 5 && qstrcmp(argv[1], "--carica") == 0) {
        QCoreApplication app(argc, argv);
        const int volte = std::atoi(argv[2]);
        if (qstrcmp(argv[3], "file") == 0)
            return Carica(std::make_unique<DepositoFile>(QString::fromLocal8Bit(argv[4])), volte);
        ParametriServer p;
        p.host = QString::fromLocal8Bit(argv[4]);
        p.porta = argc > 5 ? std::atoi(argv[5]) : 5432;
        p.database = u"postgres"_s;
        p.utente = u"postgres"_s;
        p.ssl = u"disable"_s;
        Connessione c(p);
        if (!c.aperta()) return 4;
        return Carica(std::make_unique<DepositoServer>(c), volte);
    }
    QApplication app(argc, argv);
    TestServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_server.moc"
