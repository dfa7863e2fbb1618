#include "ArchivioInUso.h"
#include "DialoghiFinti.h"
#include "Fixture.h"

#include "sheets/TfrmExpMagazzino.h"
#include "sheets/TfrmImportaCsv.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

TScheda scheda(const QString &codice, const QString &costo, const QString &giacenza) {
    return SchedaDiProva({{Campo::Codice, codice},
                          {Campo::Costo, costo},
                          {Campo::Nome, u"Vite "_s + codice},
                          {Campo::Giacenza, giacenza},
                          {Campo::Tipologia, u"Ferramenta"_s}});
}

QList<QStringList> testiGriglia(const QTableView *griglia) {
    QList<QStringList> righe;
    const QAbstractItemModel *m = griglia->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList riga;
        for (int c = 0; c < 5; ++c)
            riga << m->index(r, c).data().toString();
        righe << riga;
    }
    return righe;
}

QToolButton *pulsante(QWidget *finestra, const char *nome) {
    return finestra->findChild<QToolButton *>(QString::fromLatin1(nome));
}

const QByteArray Listino = "Codice;Nome;Costo;Quantità;Categoria\r\n"
                           "A1;Vite A1;1,20;47;Ferramenta\r\n"
                           "C3;Rondella;0,10;5;Ferramenta\r\n";

// The price list the cases import, in the program folder.
QString ScriviListino(ArchivioInUso &archivio) {
    const QString file = archivio.cartella().percorso(u"prodotti.csv"_s);
    Scrivi(file, Listino);
    return file;
}

} // namespace

class TestSheets : public QObject {
    Q_OBJECT

    ServerDeiTest m_server;
    QByteArray m_esportatoDalFile;

  private slots:
    void initTestCase() { m_server.avvia(); }
    void init() { m_server.riprendi(); }
    void cleanupTestCase() { m_server.ferma(); }

    // The export's pass and the import, all or nothing with its lines: the
    // same cards, stock and journal on the folder and on the server.
    void importaEdEsporta_data() { DueArchivi(); }
    void importaEdEsporta() {
        QFETCH(QString, storage);
        ArchivioInUso archivio(
            storage, m_server,
            {scheda(u"A1"_s, u"1,00"_s, u"40"_s), scheda(u"B2"_s, u"2,00"_s, u"3"_s)});
        QVERIFY(archivio.pronto());
        DialoghiFinti dialoghi;
        const QString file = ScriviListino(archivio);

        QWidget genitore;
        TfrmExpMagazzino finestra(&genitore);
        dialoghi.allaProssimaFinestra([&](QDialog *d) {
            // The title names the archive on a server, and only there.
            QCOMPARE(d->windowTitle().endsWith(u" - archivio sul server di prova"_s),
                     storage == u"server"_s);
            auto *griglia = d->findChild<QTableView *>(u"grdRecords"_s);
            QCOMPARE(testiGriglia(griglia).size(), 2);
            QCOMPARE(testiGriglia(griglia)[1],
                     (QStringList{u"2"_s, u"B2"_s, u"2,00"_s, u"Vite B2"_s, u"3"_s}));
            dialoghi.allaProssimaScelta(file);
            dialoghi.allaProssimaFinestra([&](QDialog *a) {
                QCOMPARE(a->findChild<QLabel *>(u"lblRiepilogo"_s)->text(),
                         u"File prodotti.csv: 2 righe: 1 nuova scheda, 1 da aggiornare, 0 già "
                         "presenti e 0 rifiutate."_s);
                // The stock the file gives replaces the card's.
                auto *giacenza = a->findChild<QComboBox *>(u"cboGiacenza"_s);
                giacenza->setCurrentIndex(int(ModoGiacenza::Sostituisci));
                emit giacenza->activated(giacenza->currentIndex());
                QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
            });
            QTest::mouseClick(pulsante(d, "cmdImportaCsv"), Qt::LeftButton);
            QCOMPARE(dialoghi.testi(),
                     QStringList{u"Schede aggiunte all'archivio: 1.\r\nSchede aggiornate: 1.\r\n"
                                 "Righe invariate: 0.\r\nRighe saltate: 0."_s});
            const QList<QStringList> righe = testiGriglia(griglia);
            QCOMPARE(righe.size(), 3);
            QCOMPARE(righe[0], (QStringList{u"1"_s, u"A1"_s, u"1,20"_s, u"Vite A1"_s, u"47"_s}));
            QCOMPARE(righe[2], (QStringList{u"3"_s, u"C3"_s, u"0,10"_s, u"Rondella"_s, u"5"_s}));
            dialoghi.rispondi(Piattaforma::Risposta::No);
            QTest::mouseClick(pulsante(d, "cmdEsportaCsv"), Qt::LeftButton);
            QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
        });
        Piattaforma::dialoghi().esegui(&finestra);
        QVERIFY(dialoghi.rimasteAperte().isEmpty());

        const QList<TScheda> schede = ArchivioInUso::schede();
        QCOMPARE(schede.size(), 3);
        QStringList viste;
        for (const TScheda &s : schede)
            viste << s.testo(Campo::Codice) + u' ' + s.testo(Campo::Costo) + u' ' +
                         s.testo(Campo::Giacenza);
        QCOMPARE(viste, (QStringList{u"A1 1,20 47"_s, u"B2 2,00 3"_s, u"C3 0,10 5"_s}));
        QCOMPARE(ArchivioInUso::righe(),
                 (QStringList{u"Importazione 1 A1 7 40 47 Importazione da prodotti.csv"_s,
                              u"Importazione 3 C3 5 0 5 Importazione da prodotti.csv"_s}));
        // The file written from the grid, byte for byte the same.
        const QByteArray esportato = Leggi(archivio.cartella().percorso(u"Magazzino.csv"_s));
        QVERIFY(esportato.contains("C3"));
        if (storage == u"file"_s)
            m_esportatoDalFile = esportato;
        else if (!m_esportatoDalFile.isEmpty())
            QCOMPARE(esportato, m_esportatoDalFile);
    }

    // The server dies while the import writes: one message, the preview
    // stays, nothing of it on the server; the export then says why it is empty.
    void serverFermoNelMezzo() {
        const QList<TScheda> prima{scheda(u"A1"_s, u"1,00"_s, u"40"_s)};
        ArchivioInUso archivio(
            u"server"_s, m_server, prima,
            std::make_unique<DepositoCheSiFerma>(m_server.connessione(), m_server.server()));
        QVERIFY(archivio.pronto());
        DialoghiFinti dialoghi;
        const QString file = ScriviListino(archivio);

        QWidget genitore;
        TfrmExpMagazzino finestra(&genitore);
        dialoghi.allaProssimaFinestra([&](QDialog *d) {
            dialoghi.allaProssimaScelta(file);
            dialoghi.guardaProssimaFinestra([&](QDialog *a) {
                QTest::mouseClick(a->findChild<QPushButton *>(u"btnImporta"_s), Qt::LeftButton);
                QVERIFY(a->isVisible());
            });
            QTest::mouseClick(pulsante(d, "cmdImportaCsv"), Qt::LeftButton);
            QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
        });
        Piattaforma::dialoghi().esegui(&finestra);
        QCOMPARE(dialoghi.testi().size(), 1);
        QVERIFY(dialoghi.ultimo().startsWith(u"Attenzione"_s));
        QVERIFY(
            dialoghi.ultimo().endsWith(u"\r\n\r\nNessuna scheda è stata aggiunta o modificata."_s));

        // Still stopped: the export has no cards to show, and says why.
        dialoghi.azzera();
        TfrmExpMagazzino esporta(&genitore);
        dialoghi.allaProssimaFinestra([&](QDialog *d) {
            for (const QStringList &riga :
                 testiGriglia(d->findChild<QTableView *>(u"grdRecords"_s)))
                QVERIFY(riga[1].isEmpty());
            QTest::mouseClick(pulsante(d, "cmdEsci"), Qt::LeftButton);
        });
        Piattaforma::dialoghi().esegui(&esporta);
        QCOMPARE(dialoghi.testi().size(), 1);
        QVERIFY(dialoghi.ultimo().startsWith(u"Attenzione"_s));

        ImpostaDepositoCorrente(nullptr, {});
        m_server.riprendi();
        DepositoServer dopo(m_server.connessione());
        QList<TScheda> schede;
        QVERIFY(dopo.scorri([&schede](const TScheda *s, qint64 quante, qint64) {
            for (qint64 i = 0; i < quante; ++i)
                schede << s[i];
            return true;
        }));
        QCOMPARE(schede.size(), 1);
        QCOMPARE(schede[0].byte, prima[0].byte);
        QList<Movimento> righe;
        QVERIFY(dopo.movimentiScheda(1, righe));
        QVERIFY(righe.isEmpty());
    }
};

QTEST_MAIN(TestSheets)
#include "tst_sheets.moc"
