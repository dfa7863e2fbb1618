#include "ArchivioInUso.h"
#include "DialoghiFinti.h"
#include "Fixture.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/IntentoArchivio.h"
#include "count/ComandoConteggio.h"
#include "count/Conteggio.h"
#include "count/StampaConteggio.h"
#include "count/TfrmConteggio.h"
#include "count/TfrmDifferenze.h"
#include "journal/Eliminazione.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "saving/SalvataggioMovimenti.h"
#include "server/DepositoServer.h"
#include "storage/DepositoCorrente.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <csignal>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;

namespace {

// The archive of cards 1..n (code CODn, stock n).
void ArchivioDiSchede(CartellaDiProva &cartella, int n) {
    QByteArray byte;
    for (int i = 1; i <= n; ++i) {
        const TScheda s = SchedaNumero(i);
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    }
    cartella.scriviArchivio(byte);
}

std::unique_ptr<Conteggio> NuovoConteggio(const QString &nome, const QList<qint64> &posizioni = {},
                                          const QStringList &codici = {}) {
    auto c = std::make_unique<Conteggio>();
    QString errore;
    if (!c->inizia(nome, u"Tutte le schede"_s, posizioni, codici, errore)) return nullptr;
    return c;
}

void Scansiona(QLineEdit *casella, const QString &testo) {
    QTest::keyClicks(casella, testo);
    QTest::keyClick(casella, Qt::Key_Return);
}

QList<RigaConteggio> RigheDelFile(const QString &percorso, qint64 *danneggiate = nullptr) {
    QList<RigaConteggio> righe;
    qint64 letto = 0, rotte = 0;
    LeggiCodaConteggio(
        percorso, letto, [&](const RigaConteggio &r) { righe << r; }, rotte);
    if (danneggiate) *danneggiate = rotte;
    return righe;
}

qint64 Giacenza(const QString &archivio, qint64 posizione) {
    Archivio a(archivio);
    TScheda s;
    if (!a.ApriArchivio() || !a.leggi(posizione, s)) return -9999;
    return GiacenzaDi(s).value_or(-9999);
}

// Cards 1..n (code CODn, stock n), for an archive in use.
QList<TScheda> SchedeNumerate(int n) {
    QList<TScheda> schede;
    for (int i = 1; i <= n; ++i)
        schede << SchedaNumero(i);
    return schede;
}

const RigaDifferenza *Riga(const Differenze &d, const QString &codice,
                           RigaDifferenza::Stato stato) {
    for (const RigaDifferenza &r : d.righe)
        if (r.codice() == codice && r.stato == stato) return &r;
    return nullptr;
}

// The child of the crash test: applies the count, dying at step `passo`.
int Applica(const QString &archivio, int passo) {
    int n = 0;
    ImpostaPassoArchivio([&] {
        if (++n == passo) ::raise(SIGKILL);
    });
    ImpostaCartellaProgramma(QFileInfo(archivio).path());
    Conteggio c;
    QString errore;
    if (!c.apri(u"Prova"_s, errore)) return 2;
    const Differenze d = CalcolaDifferenze(c, archivio, PercorsoGiornale());
    return ApplicaConteggio(c, d, true, archivio, PercorsoGiornale()).esito ==
                   EsitoApplicazione::Fatto
               ? 0
               : 1;
}

// The child of the two-copy test: `quante` scans of COD1..COD3 in turn, once
// the parent says go.
int Conta(const QString &archivio, const QString &via, int quante) {
    ImpostaCartellaProgramma(QFileInfo(archivio).path());
    Conteggio c;
    QString errore;
    if (!c.apri(u"Prova"_s, errore)) return 2;
    while (!QFile::exists(via))
        QThread::msleep(2);
    IndiceCodici indice(archivio);
    if (!indice.costruisci()) return 3;
    for (int i = 0; i < quante; ++i) {
        const QString codice = u"COD"_s + QString::number(i % 3 + 1);
        const auto trovate = indice.cerca(codice);
        if (trovate.posizioni.size() != 1) return 4;
        if (!c.registra(TipoRigaConteggio::Lettura, codice, trovate.posizioni[0], 1)) return 5;
    }
    return 0;
}

} // namespace

class TestConteggio : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { m_server.avvia(); }
    void cleanupTestCase() { m_server.ferma(); }
    void init() { Piattaforma::impostaDialoghi(&m_dialoghi); }
    void cleanup() {
        Piattaforma::impostaDialoghi(nullptr);
        QVERIFY2(m_dialoghi.rimasteAperte().isEmpty(),
                 qPrintable(m_dialoghi.rimasteAperte().join(u", "_s)));
        m_dialoghi.azzera();
    }

    void lettureDallaCasella();
    void rafficaDelLettore();
    void codiceInPiuSchede();
    void correggiETogli();
    void fileDanneggiato_data();
    void fileDanneggiato();
    void contatiPiuMossiDopo();
    void applicatoSuGiornaleConVirgole();
    void schedaEliminataDuranteIlConteggio();
    void schedaAggiuntaDaAltraCopia();
    void nonContateAZeroDallaFinestra();
    void esportaEStampa();
    void conteggioDiUnElenco();
    void applicazioneInterrotta();
    void dueProcessiContano();
    void suDueArchivi_data() { DueArchivi(); }
    void suDueArchivi();
    void rimossaPrimaDiApplicare_data() { DueArchivi(); }
    void rimossaPrimaDiApplicare();
    void serverFermoNellApplicazione();
    void indiceDeiCodici();

  private:
    DialoghiFinti m_dialoghi;
    ServerDeiTest m_server;
    // What the main path left on each storage, compared at the last row.
    QMap<QString, QStringList> m_esiti;
};

void TestConteggio::lettureDallaCasella() {
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 3);
    TfrmConteggio finestra(nullptr, NuovoConteggio(u"Scaffale A"_s), cartella.archivio());
    finestra.show();
    QVERIFY(QTest::qWaitForWindowExposed(&finestra));
    QLineEdit *box = finestra.txtCodice;
    Scansiona(box, u"COD2"_s);
    QCOMPARE(finestra.lblCodiceScheda->text(), u"COD2"_s);
    QCOMPARE(finestra.lblNomeScheda->text(), u"Prodotto 2"_s);
    QCOMPARE(finestra.lblGiacenza->text(), u"2"_s);
    QCOMPARE(finestra.lblContati->text(), u"1"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(finestra.lblContati)->text(QAccessible::Name),
             u"Contati finora: 1"_s);
    QVERIFY(box->text().isEmpty());
    // Capitals and blanks as the code box takes them.
    Scansiona(box, u"  cod2 "_s);
    QCOMPARE(finestra.lblContati->text(), u"2"_s);
    // A number first: the quantity of the next scan.
    Scansiona(box, u"12"_s);
    QCOMPARE(finestra.txtQuantita->value(), 12);
    Scansiona(box, u"COD2"_s);
    QCOMPARE(finestra.lblContati->text(), u"14"_s);
    QCOMPARE(finestra.txtQuantita->value(), 1);
    Scansiona(box, u"3*COD1"_s);
    QCOMPARE(finestra.lblContati->text(), u"3"_s);
    // Nothing, or only blanks: nothing recorded.
    Scansiona(box, QString());
    Scansiona(box, u"   "_s);
    // Unknown, and a code no card can hold, listed as typed.
    Scansiona(box, u"NONCE"_s);
    QCOMPARE(finestra.lblNomeScheda->text(), u"CODICE SCONOSCIUTO"_s);
    QVERIFY(finestra.lblEsito->text().contains(u"NONCE"_s));
    // Typed through an input method: no key of its own.
    box->insert(u"ЖЖ-1"_s);
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(finestra.lblEsito->text().contains(u"Ж"_s));
    finestra.close();

    const QList<RigaConteggio> righe = RigheDelFile(PercorsoConteggio(u"Scaffale A"_s));
    QStringList visti;
    for (const RigaConteggio &r : righe)
        if (r.tipo == TipoRigaConteggio::Lettura)
            visti << r.codice + u'@' + QString::number(r.posizione) + u'x' +
                         QString::number(r.quantita);
    QCOMPARE(visti, (QStringList{u"COD2@2x1"_s, u"cod2@2x1"_s, u"COD2@2x12"_s, u"COD1@1x3"_s,
                                 u"NONCE@0x1"_s, u"ЖЖ-1@0x1"_s}));
    QCOMPARE(righe.last().postazione, Postazione());
    // Reopened, the count goes on where it was.
    Conteggio riaperto;
    QString errore;
    QVERIFY(riaperto.apri(u"Scaffale A"_s, errore));
    QCOMPARE(riaperto.contati(2, u"COD2"_s), 14);
    QCOMPARE(riaperto.sconosciuti(u"nonce"_s), 1);
    QCOMPARE(m_dialoghi.mostrati().size(), 0);
}

void TestConteggio::rafficaDelLettore() {
    // A scanner's burst: 300 codes with Enter, no pause, none lost or merged.
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 5);
    TfrmConteggio finestra(nullptr, NuovoConteggio(u"Raffica"_s), cartella.archivio());
    finestra.show();
    for (int i = 0; i < 300; ++i)
        Scansiona(finestra.txtCodice, u"COD"_s + QString::number(i % 5 + 1));
    finestra.close();
    Conteggio c;
    QString errore;
    QVERIFY(c.apri(u"Raffica"_s, errore));
    for (qint64 p = 1; p <= 5; ++p)
        QCOMPARE(c.contati(p, u"COD"_s + QString::number(p)), 60);
    QCOMPARE(c.danneggiate(), 0);
}

void TestConteggio::codiceInPiuSchede() {
    CartellaDiProva cartella;
    TScheda gemella = SchedaNumero(9);
    gemella.impostaTesto(Campo::Codice, u"COD1"_s);
    cartella.scriviArchivio(ArchivioDi({SchedaNumero(1), SchedaNumero(2), gemella}));
    TfrmConteggio finestra(nullptr, NuovoConteggio(u"Doppi"_s), cartella.archivio());
    finestra.show();
    m_dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *elenco = d->findChild<QListWidget *>(u"lstSchede"_s);
        QCOMPARE(elenco->count(), 2);
        QVERIFY(elenco->item(1)->text().contains(u"Prodotto 9"_s));
        elenco->setCurrentRow(1);
        QTest::keyClick(elenco, Qt::Key_Return);
    });
    Scansiona(finestra.txtCodice, u"COD1"_s);
    QCOMPARE(finestra.lblNomeScheda->text(), u"Prodotto 9"_s);
    // Cancelled: nothing counted.
    m_dialoghi.allaProssimaFinestra([](QDialog *d) { d->reject(); });
    Scansiona(finestra.txtCodice, u"COD1"_s);
    finestra.close();
    QCOMPARE(finestra.conteggio().contati(3, u"COD1"_s), 1);
    QCOMPARE(finestra.conteggio().contati(1, u"COD1"_s), 0);
}

void TestConteggio::correggiETogli() {
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 3);
    TfrmConteggio finestra(nullptr, NuovoConteggio(u"Correzioni"_s), cartella.archivio());
    finestra.show();
    for (int i = 0; i < 4; ++i)
        Scansiona(finestra.txtCodice, u"COD3"_s);
    Scansiona(finestra.txtCodice, u"COD1"_s);
    // The wrong scan of COD1 taken back.
    finestra.lstLetture->setCurrentRow(0);
    m_dialoghi.rispondi(Risposta::Si);
    QTest::mouseClick(finestra.btnTogli, Qt::LeftButton);
    QCOMPARE(finestra.conteggio().contati(1, u"COD1"_s), 0);
    // COD3 set to 7, not added.
    finestra.lstLetture->setCurrentRow(2);
    m_dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *casella = d->findChild<QSpinBox *>(u"txtNuovaQuantita"_s);
        QCOMPARE(casella->value(), 4);
        casella->setValue(7);
        d->findChild<QPushButton *>(u"btnOk"_s)->click();
    });
    QTest::mouseClick(finestra.btnCorreggi, Qt::LeftButton);
    QCOMPARE(finestra.conteggio().contati(3, u"COD3"_s), 7);
    QCOMPARE(finestra.lblContati->text(), u"7"_s);
    Scansiona(finestra.txtCodice, u"COD3"_s);
    QCOMPARE(finestra.conteggio().contati(3, u"COD3"_s), 8);
    finestra.close();
}

void TestConteggio::fileDanneggiato_data() {
    QTest::addColumn<QByteArray>("aggiunta");
    QTest::addColumn<int>("saltate");
    QTest::addColumn<qint64>("contati");
    const QByteArray buona = "2026-03-01T09:00:00+01:00;Lettura;COD1;1;2;cassa (m);0\n";
    QTest::newRow("integra") << buona << 0 << qint64(3);
    QTest::newRow("riga tagliata")
        << QByteArray("2026-03-01T09:00:00+01:00;Lettura;COD1;1") + "\n" + buona << 1 << qint64(3);
    QTest::newRow("ultima riga tagliata")
        << buona + "2026-03-01T09:00:00+01:00;Lett" << 0 << qint64(3);
    QTest::newRow("non UTF-8") << QByteArray(
                                      "2026-03-01T09:00:00+01:00;Lettura;COD\xE8;1;5;x;0\n") +
                                      buona
                               << 1 << qint64(3);
    QTest::newRow("quantità non numero")
        << "2026-03-01T09:00:00+01:00;Lettura;COD1;1;due;x;0\n" + buona << 1 << qint64(3);
    QTest::newRow("tipo sconosciuto")
        << "2026-03-01T09:00:00+01:00;Furto;COD1;1;5;x;0\n" + buona << 1 << qint64(3);
    QTest::newRow("data sbagliata") << "ieri;Lettura;COD1;1;5;x;0\n" + buona << 1 << qint64(3);
    QTest::newRow("campi in più") << "2026-03-01T09:00:00+01:00;Lettura;COD1;1;5;x;0;y\n" + buona
                                  << 1 << qint64(3);
    QTest::newRow("formula") << "2026-03-01T09:00:00+01:00;Lettura;=HYPERLINK(\"x\");0;1;=1+1;0\n" +
                                    buona
                             << 0 << qint64(3);
    QTest::newRow("riga lunghissima") << QByteArray(100000, 'x') + "\n" + buona << 1 << qint64(3);
    QTest::newRow("salvato con CRLF") << QByteArray(buona).replace("\n", "\r\n") << 0 << qint64(3);
}

void TestConteggio::fileDanneggiato() {
    QFETCH(QByteArray, aggiunta);
    QFETCH(int, saltate);
    QFETCH(qint64, contati);
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 2);
    auto nuovo = NuovoConteggio(u"Rotto"_s);
    QVERIFY(nuovo);
    QVERIFY(nuovo->registra(TipoRigaConteggio::Lettura, u"COD1"_s, 1, 1));
    QFile file(PercorsoConteggio(u"Rotto"_s));
    QVERIFY(file.open(QIODevice::Append));
    file.write(aggiunta);
    file.close();
    Conteggio c;
    QString errore;
    QVERIFY(c.apri(u"Rotto"_s, errore));
    QCOMPARE(c.danneggiate(), saltate);
    QCOMPARE(c.contati(1, u"COD1"_s), contati);
    // One warning that counts the lines, as the window opens.
    {
        TfrmConteggio finestra(nullptr, std::make_unique<Conteggio>(std::move(c)),
                               cartella.archivio());
        QCOMPARE(m_dialoghi.mostrati().size(), saltate ? 1 : 0);
        if (saltate) QVERIFY(m_dialoghi.ultimo().contains(QString::number(saltate) + u" riga"_s));
        // The count goes on after a cut line, on a line of its own.
        Scansiona(finestra.txtCodice, u"COD1"_s);
        QCOMPARE(finestra.conteggio().contati(1, u"COD1"_s), contati + 1);
        // Nothing read runs as a formula once exported.
        const Differenze d =
            CalcolaDifferenze(finestra.conteggio(), cartella.archivio(), PercorsoGiornale());
        QBuffer uscita;
        uscita.open(QIODevice::WriteOnly);
        QVERIFY(ScriviCsvDifferenze(&uscita, finestra.conteggio(), d));
        for (const QByteArray &riga : uscita.data().split('\n'))
            for (const QByteArray &campo : riga.split(';'))
                QVERIFY2(!campo.startsWith('=') && !campo.startsWith("\"="), riga.constData());
    }
}

void TestConteggio::contatiPiuMossiDopo() {
    // Counted 5 of COD3; a sale of 2 recorded after the count, one of 1
    // before it: the stock applied is 5 - 2 = 3, whatever the book said.
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 3);
    auto c = NuovoConteggio(u"Vendite"_s);
    auto vendi = [&](qint64 quanti) {
        TScheda caricata;
        Archivio a(cartella.archivio());
        QVERIFY(a.ApriArchivio() && a.leggi(3, caricata));
        a.chiudi();
        TScheda mia = caricata;
        mia.impostaTesto(Campo::Giacenza, QString::number(GiacenzaDi(caricata).value() - quanti));
        QCOMPARE(SalvaConMovimenti(3, caricata, mia, {{-quanti, u"Vendita"_s}}, cartella.archivio())
                     .esito,
                 EsitoSalvataggio::Salvata);
    };
    vendi(1);
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD3"_s, 3, 5));
    vendi(2);
    QCOMPARE(Giacenza(cartella.archivio(), 3), 0);
    Differenze d = CalcolaDifferenze(*c, cartella.archivio(), PercorsoGiornale());
    const RigaDifferenza *r = Riga(d, u"COD3"_s, RigaDifferenza::Contata);
    QVERIFY(r);
    QCOMPARE(r->giacenza, 0);
    QCOMPARE(r->contati, 5);
    QCOMPARE(r->mossiDopo, -2);
    QCOMPARE(r->nuova, 3);
    QCOMPARE(r->differenza, 3);
    QCOMPARE(r->valore, 3 * 3.5);
    QCOMPARE(d.righe.front().codice(), u"COD3"_s); // the largest value first
    QCOMPARE(d.nonContate, 2);
    QVERIFY(RigheDifferenze(d, FiltroDifferenze::Tutte)
                .join(u'\n')
                .contains(u"-2 movimentati dopo la conta"_s));
    // A sale between the differences and applying them is kept too.
    vendi(-4); // goods back: +4
    EsitoApplicazione esito =
        ApplicaConteggio(*c, d, false, cartella.archivio(), PercorsoGiornale());
    QCOMPARE(esito.esito, EsitoApplicazione::Fatto);
    QCOMPARE(esito.cambiate, 1);
    QCOMPARE(Giacenza(cartella.archivio(), 3), 7);
    QCOMPARE(Giacenza(cartella.archivio(), 1), 1);
    Movimento ultimo;
    LeggiGiornale(PercorsoGiornale(), {}, [&](const Movimento &m, qint64) {
        ultimo = m;
        return true;
    });
    QCOMPARE(ultimo.tipo, TipoMovimento::Rettifica);
    QCOMPARE(ultimo.nota, u"Conteggio Vendite"_s);
    QCOMPARE(ultimo.quantita, 3);
    // Applied again: nothing changes.
    d = CalcolaDifferenze(*c, cartella.archivio(), PercorsoGiornale());
    QCOMPARE(Riga(d, u"COD3"_s, RigaDifferenza::Contata)->differenza, 0);
    QVERIFY(c->applicato());
}

void TestConteggio::applicatoSuGiornaleConVirgole() {
    // A journal saved again by a spreadsheet with commas: the count's lines,
    // written out before the journal is looked at, go on with commas too.
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 3);
    {
        QFile giornale(PercorsoGiornale());
        QVERIFY(giornale.open(QIODevice::WriteOnly));
        giornale.write("\xEF\xBB\xBF" + IntestazioneGiornale().replace(';', ',') + '\n');
    }
    auto c = NuovoConteggio(u"Virgole"_s);
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD1"_s, 1, 5));
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD2"_s, 2, 0));
    const Differenze d = CalcolaDifferenze(*c, cartella.archivio(), PercorsoGiornale());
    const EsitoApplicazione esito =
        ApplicaConteggio(*c, d, true, cartella.archivio(), PercorsoGiornale());
    QCOMPARE(esito.esito, EsitoApplicazione::Fatto);
    QCOMPARE(esito.cambiate, 3);
    QList<Movimento> righe;
    const LetturaGiornale letta =
        LeggiGiornale(PercorsoGiornale(), {}, [&](const Movimento &m, qint64) {
            righe << m;
            return true;
        });
    QCOMPARE(letta.danneggiate, 0);
    QCOMPARE(righe.size(), 3);
    const qint64 quantita[] = {4, -2, -3};
    for (int i = 0; i < 3; ++i) {
        const TScheda scheda = SchedaNumero(i + 1);
        QCOMPARE(righe[i].posizione, i + 1);
        QCOMPARE(righe[i].codice, scheda.testo(Campo::Codice));
        QCOMPARE(righe[i].costo, scheda.testo(Campo::Costo));
        QCOMPARE(righe[i].tipo, TipoMovimento::Rettifica);
        QCOMPARE(righe[i].quantita, quantita[i]);
        QCOMPARE(righe[i].dopo, righe[i].prima + quantita[i]);
        QCOMPARE(righe[i].nota, u"Conteggio Virgole"_s);
        // The last line carries the key that made the change final.
        QCOMPARE(righe[i].dati.isEmpty(), i < 2);
    }
    QFile giornale(PercorsoGiornale());
    QVERIFY(giornale.open(QIODevice::ReadOnly));
    QVERIFY(!giornale.readAll().contains(';'));
    QCOMPARE(Giacenza(cartella.archivio(), 1), 5);
    QCOMPARE(Giacenza(cartella.archivio(), 2), 0);
    QCOMPARE(Giacenza(cartella.archivio(), 3), 0);
}

void TestConteggio::schedaEliminataDuranteIlConteggio() {
    // COD2 counted, then removed: COD4 moves into its position. The scans of
    // COD2 never go to COD4; COD4's scans before the move follow it.
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 4);
    TfrmConteggio finestra(nullptr, NuovoConteggio(u"Spostate"_s), cartella.archivio());
    finestra.show();
    Scansiona(finestra.txtCodice, u"2*COD2"_s);
    Scansiona(finestra.txtCodice, u"COD4"_s);
    QCOMPARE(EliminaScheda(2, SchedaNumero(2), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    // The index notices: COD4 is at 2 now.
    Scansiona(finestra.txtCodice, u"COD4"_s);
    QCOMPARE(finestra.lblNomeScheda->text(), u"Prodotto 4"_s);
    Scansiona(finestra.txtCodice, u"COD2"_s);
    QCOMPARE(finestra.lblNomeScheda->text(), u"CODICE SCONOSCIUTO"_s);
    finestra.close();
    const Differenze d =
        CalcolaDifferenze(finestra.conteggio(), cartella.archivio(), PercorsoGiornale());
    const RigaDifferenza *quattro = Riga(d, u"COD4"_s, RigaDifferenza::Contata);
    QVERIFY(quattro);
    QCOMPARE(quattro->posizione, 2);
    QCOMPARE(quattro->contati, 2);
    const RigaDifferenza *due = Riga(d, u"COD2"_s, RigaDifferenza::Eliminata);
    QVERIFY(due);
    QCOMPARE(due->contati, 2);
    QVERIFY(Riga(d, u"COD2"_s, RigaDifferenza::Sconosciuta));
    // A removal after the differences: applying them changes nothing.
    QCOMPARE(EliminaScheda(1, SchedaNumero(1), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    const QByteArray prima = cartella.leggiArchivio();
    Conteggio &c = finestra.conteggio();
    QCOMPARE(ApplicaConteggio(c, d, true, cartella.archivio(), PercorsoGiornale()).esito,
             EsitoApplicazione::Cambiato);
    QCOMPARE(cartella.leggiArchivio(), prima);
    const Differenze ancora = CalcolaDifferenze(c, cartella.archivio(), PercorsoGiornale());
    QCOMPARE(ApplicaConteggio(c, ancora, false, cartella.archivio(), PercorsoGiornale()).esito,
             EsitoApplicazione::Fatto);
    // COD3, the last card, moved to 1; COD4 stays at 2 and has its 2.
    TScheda s;
    Archivio a(cartella.archivio());
    QVERIFY(a.ApriArchivio() && a.leggi(2, s));
    QCOMPARE(s.testo(Campo::Codice), u"COD4"_s);
    QCOMPARE(GiacenzaDi(s), 2);
}

void TestConteggio::schedaAggiuntaDaAltraCopia() {
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 2);
    IndiceCodici indice(cartella.archivio());
    QVERIFY(indice.costruisci());
    QVERIFY(indice.cerca(u"COD7"_s).posizioni.isEmpty());
    {
        Archivio a(cartella.archivio());
        QVERIFY(a.ApriArchivio());
        QCOMPARE(a.accoda(SchedaNumero(7)), 3);
    }
    QCOMPARE(indice.cerca(u"cod7"_s).posizioni, QList<qint64>{3});
    // A card whose code another copy changed in place.
    {
        Archivio a(cartella.archivio());
        TScheda s = SchedaNumero(1);
        s.impostaTesto(Campo::Codice, u"NUOVO1"_s);
        QVERIFY(a.ApriArchivio() && a.scrivi(1, s));
    }
    QVERIFY(indice.cerca(u"COD1"_s).posizioni.isEmpty());
    QCOMPARE(indice.cerca(u"NUOVO1"_s).posizioni, QList<qint64>{1});
}

void TestConteggio::nonContateAZeroDallaFinestra() {
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 3);
    auto c = NuovoConteggio(u"Zero"_s);
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD1"_s, 1, 4));
    TfrmDifferenze finestra(nullptr, *c, cartella.archivio());
    finestra.show();
    QCOMPARE(finestra.grdDifferenze->model()->rowCount(), 3);
    finestra.cboFiltro->setCurrentIndex(2);
    QCOMPARE(finestra.grdDifferenze->model()->rowCount(), 2);
    finestra.cboFiltro->setCurrentIndex(1);
    QCOMPARE(finestra.grdDifferenze->model()->rowCount(), 1);
    QVERIFY(finestra.lblTotali->text().contains(u"€ 17,00"_s)); // 1,5 + 5 + 10,5 before
    m_dialoghi.rispondi(Risposta::Si);                          // to 0
    m_dialoghi.rispondi(Risposta::Si);                          // write
    m_dialoghi.rispondi(Risposta::Ok);
    QTest::mouseClick(finestra.btnApplica, Qt::LeftButton);
    const auto mostrati = m_dialoghi.mostrati();
    QVERIFY(mostrati.size() >= 3);
    QVERIFY(mostrati[0].testo.startsWith(u"2 schede del conteggio non sono state contate"_s));
    QVERIFY(mostrati[0].testo.contains(u"€ 15,50"_s)); // 2×2,50 + 3×3,50
    QVERIFY(mostrati[1].testo.contains(u"3 schede"_s));
    QCOMPARE(Giacenza(cartella.archivio(), 1), 4);
    QCOMPARE(Giacenza(cartella.archivio(), 2), 0);
    QCOMPARE(Giacenza(cartella.archivio(), 3), 0);
    finestra.close();
}

void TestConteggio::esportaEStampa() {
    CartellaDiProva cartella;
    TScheda a = SchedaNumero(1), b = SchedaNumero(2), f = SchedaNumero(3);
    a.impostaTesto(Campo::Collocazione, u"B2"_s);
    b.impostaTesto(Campo::Collocazione, u"A1"_s);
    f.impostaTesto(Campo::Codice, u"=1+2"_s);
    f.impostaTesto(Campo::Collocazione, u"A1"_s);
    cartella.scriviArchivio(ArchivioDi({a, b, f}));
    auto c = NuovoConteggio(u"Carte"_s);
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"=1+2"_s, 3, 1));
    QStringList foglio;
    QVERIFY(RigheFoglioConta(*c, cartella.archivio(), foglio));
    QCOMPARE(foglio.size(), 6);
    QVERIFY(foglio[1].startsWith(u"A1                   =1+2"_s));
    QVERIFY(foglio[2].startsWith(u"A1                   COD2"_s));
    QVERIFY(foglio[3].startsWith(u"B2                   COD1"_s));
    QVERIFY(foglio[1].endsWith(u"__________"_s));

    TfrmDifferenze finestra(nullptr, *c, cartella.archivio());
    // The program's own data is refused, then another name is taken.
    m_dialoghi.allaProssimaScelta(cartella.archivio());
    const QString csv = cartella.percorso(u"differenze.csv"_s);
    m_dialoghi.allaProssimaScelta(csv);
    QTest::mouseClick(finestra.btnEsporta, Qt::LeftButton);
    QCOMPARE(cartella.leggiArchivio().size(), 3 * TScheda::DIMENSIONE);
    const QByteArray testo = Leggi(csv);
    QVERIFY(testo.startsWith("\xEF\xBB\xBF"
                             "Codice;Nome;"));
    QVERIFY(testo.contains("\r\n'=1+2;Prodotto 3;A1;3,50;3;1;0;1;-2;-7,00;Contata\r\n"));
    QVERIFY(testo.contains("Valore prima;17,00\r\n"));

    const QString pdf = cartella.percorso(u"differenze.pdf"_s);
    m_dialoghi.allaProssimaScelta(pdf);
    QTest::mouseClick(finestra.btnPdf, Qt::LeftButton);
    const QString letto = TestoDelPdf(pdf);
    QVERIFY2(letto.contains(u"conteggio Carte"_s), qPrintable(letto));
    QVERIFY(letto.contains(u"Valore prima del conteggio"_s));
    m_dialoghi.allaProssimaStampa(true);
    QTest::mouseClick(finestra.btnStampa, Qt::LeftButton);
    QCOMPARE(m_dialoghi.stampeRichieste(), 1);
}

void TestConteggio::conteggioDiUnElenco() {
    // Only the listed cards are counted; a card removed before the count is
    // done is followed.
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 5);
    auto c = NuovoConteggio(u"Elenco"_s, {2, 5}, {u"COD2"_s, u"COD5"_s});
    QVERIFY(!c->tutte());
    QCOMPARE(EliminaScheda(1, SchedaNumero(1), cartella.archivio()).esito,
             EsitoEliminazione::Fatta);
    const Differenze d = CalcolaDifferenze(*c, cartella.archivio(), PercorsoGiornale());
    QCOMPARE(d.righe.size(), std::size_t(2));
    QCOMPARE(d.nonContate, 2);
    QVERIFY(Riga(d, u"COD5"_s, RigaDifferenza::NonContata));
    QCOMPARE(Riga(d, u"COD5"_s, RigaDifferenza::NonContata)->posizione, 1);
    // Its name is taken once.
    Conteggio doppio;
    QString errore;
    QVERIFY(!doppio.inizia(u"Elenco"_s, QString(), {}, {}, errore));
    QVERIFY(errore.contains(u"Esiste già"_s));
    QVERIFY(!doppio.inizia(u"a/b"_s, QString(), {}, {}, errore));
    QVERIFY(FileDatiProgramma(CartellaConteggi()));
}

void TestConteggio::applicazioneInterrotta() {
    // The child is killed at each step of applying in turn: every card is
    // either as before or as counted, and the journal's lines add up to it.
    int interrotti = 0;
    PrendiAvvisoRipristino();
    for (int passo = 1;; ++passo) {
        CartellaDiProva cartella;
        ArchivioDiSchede(cartella, 4);
        auto c = NuovoConteggio(u"Prova"_s);
        QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD1"_s, 1, 9));
        QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD3"_s, 3, 1));
        QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD4"_s, 4, 4));
        const QByteArray prima = cartella.leggiArchivio();
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"--applica"_s, cartella.archivio(), QString::number(passo)});
        QVERIFY(figlio.waitForFinished(60000));
        const bool interrotto = figlio.exitStatus() == QProcess::CrashExit;
        if (!interrotto) QCOMPARE(figlio.exitCode(), 0);
        Archivio archivio(cartella.archivio());
        QVERIFY(archivio.ApriArchivio());
        archivio.chiudi();
        QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
        const QList<qint64> vecchie{1, 2, 3, 4}, nuove{9, 0, 1, 4};
        QList<qint64> ora;
        for (qint64 p = 1; p <= 4; ++p)
            ora << Giacenza(cartella.archivio(), p);
        QVERIFY2(ora == vecchie || ora == nuove, qPrintable(QString::number(passo)));
        QMap<qint64, qint64> somme;
        LeggiGiornale(PercorsoGiornale(), {}, [&](const Movimento &m, qint64) {
            somme[m.posizione] += m.quantita;
            return true;
        });
        for (qint64 p = 1; p <= 4; ++p)
            QCOMPARE(vecchie[p - 1] + somme.value(p), ora[p - 1]);
        if (ora == vecchie) QCOMPARE(cartella.leggiArchivio(), prima);
        if (!interrotto) {
            QCOMPARE(ora, nuove);
            QVERIFY2(interrotti >= 3, qPrintable(QString::number(interrotti)));
            break;
        }
        ++interrotti;
        QVERIFY2(passo < 40, "il figlio non arriva mai alla fine");
    }
}

void TestConteggio::dueProcessiContano() {
    CartellaDiProva cartella;
    ArchivioDiSchede(cartella, 3);
    QVERIFY(NuovoConteggio(u"Prova"_s));
    constexpr int QUANTE = 150;
    const QString via = cartella.percorso(u"via"_s);
    QProcess copie[2];
    for (auto &copia : copie) {
        copia.setProcessChannelMode(QProcess::ForwardedChannels);
        copia.start(QCoreApplication::applicationFilePath(),
                    {u"--conta"_s, cartella.archivio(), via, QString::number(QUANTE)});
        QVERIFY(copia.waitForStarted());
    }
    // This window counts too, and sees the others' scans.
    Conteggio mio;
    QString errore;
    QVERIFY(mio.apri(u"Prova"_s, errore));
    Scrivi(via, {});
    for (int i = 0; i < 30; ++i)
        QVERIFY(mio.registra(TipoRigaConteggio::Lettura, u"COD2"_s, 2, 1));
    for (auto &copia : copie) {
        QVERIFY(FinitoEntro(copia, 120000));
        QCOMPARE(copia.exitStatus(), QProcess::NormalExit);
        QCOMPARE(copia.exitCode(), 0);
    }
    QVERIFY(mio.aggiorna());
    QCOMPARE(mio.contati(1, u"COD1"_s), 2 * QUANTE / 3);
    QCOMPARE(mio.contati(2, u"COD2"_s), 2 * QUANTE / 3 + 30);
    QCOMPARE(mio.contati(3, u"COD3"_s), 2 * QUANTE / 3);
    QCOMPARE(mio.danneggiate(), 0);
    qint64 danneggiate = -1;
    QCOMPARE(RigheDelFile(PercorsoConteggio(u"Prova"_s), &danneggiate).size(), 1 + 2 * QUANTE + 30);
    QCOMPARE(danneggiate, 0);
}

// The main path on both storages: scans from the window, a sale before and
// one after the scan by another site, the differences, the count applied
// twice; the same stocks and journal lines on both. A count begun on one
// archive is refused on the other.
void TestConteggio::suDueArchivi() {
    QFETCH(QString, storage);
    m_server.riprendi();
    ArchivioInUso archivio(storage, m_server, SchedeNumerate(4));
    QVERIFY(archivio.pronto());
    QCOMPARE(ArchivioSuServer(), storage == u"server"_s);
    auto vendi = [](qint64 posizione, qint64 quanti) {
        TScheda s;
        QVERIFY(DepositoCorrente().leggi(posizione, s));
        QCOMPARE(DepositoCorrente().scrivi(posizione, s, -quanti, TipoMovimento::Scarico).esito,
                 Deposito::Salvataggio::Fatto);
    };
    m_dialoghi.allaProssimaFinestra([](QDialog *d) {
        auto *nome = d->findChild<QLineEdit *>(u"txtNome"_s);
        nome->selectAll();
        QTest::keyClicks(nome, u"Negozio"_s);
        QTest::mouseClick(d->findChild<QPushButton *>(u"btnInizia"_s), Qt::LeftButton);
    });
    std::unique_ptr<Conteggio> c;
    m_dialoghi.allaProssimaFinestra([&](QDialog *d) {
        auto *finestra = qobject_cast<TfrmConteggio *>(d);
        QVERIFY(finestra);
        vendi(3, 1); // before the scan: the book stock has it already
        Scansiona(finestra->txtCodice, u"5*cod3"_s);
        QCOMPARE(finestra->lblContati->text(), u"5"_s);
        Scansiona(finestra->txtCodice, u"COD1"_s);
        Scansiona(finestra->txtCodice, u"XYZ"_s);
        QCOMPARE(finestra->lblNomeScheda->text(), u"CODICE SCONOSCIUTO"_s);
        QVERIFY(d->windowTitle().endsWith(DescrizioneArchivio()));
        d->accept();
    });
    const int finestre = m_dialoghi.finestreEseguite();
    ApriConteggio(nullptr, PercorsoArchivio(), {}, u"Tutte le schede"_s);
    QCOMPARE(m_dialoghi.finestreEseguite(), finestre + 2);
    QVERIFY2(m_dialoghi.testi().isEmpty(), qPrintable(m_dialoghi.testi().join(u" | "_s)));
    QVERIFY(QFile::exists(archivio.cartella().percorso(u"Conteggi/Negozio.csv"_s)));
    c = std::make_unique<Conteggio>();
    QString errore;
    QVERIFY2(c->apri(u"Negozio"_s, errore), qPrintable(errore));
    vendi(3, 2); // another site sells 2 of COD3 after its scan

    Differenze d = CalcolaDifferenze(*c, DepositoCorrente());
    QVERIFY2(d.riuscito, qPrintable(d.errore));
    const RigaDifferenza *r = Riga(d, u"COD3"_s, RigaDifferenza::Contata);
    QVERIFY(r);
    QCOMPARE(r->giacenza, 0);
    QCOMPARE(r->contati, 5);
    QCOMPARE(r->mossiDopo, -2);
    QCOMPARE(r->nuova, 3);
    QCOMPARE(Riga(d, u"COD1"_s, RigaDifferenza::Contata)->differenza, 0);
    QVERIFY(Riga(d, u"XYZ"_s, RigaDifferenza::Sconosciuta));
    QCOMPARE(d.nonContate, 2);
    EsitoApplicazione esito = ApplicaConteggio(*c, d, true, DepositoCorrente());
    QCOMPARE(esito.esito, EsitoApplicazione::Fatto);
    QCOMPARE(esito.cambiate, 3);
    // Applied again: nothing left to change.
    d = CalcolaDifferenze(*c, DepositoCorrente());
    QCOMPARE(Riga(d, u"COD3"_s, RigaDifferenza::Contata)->differenza, 0);
    QVERIFY(c->applicato());

    QStringList lasciato = ArchivioInUso::righe();
    for (const TScheda &s : ArchivioInUso::schede())
        lasciato << s.testo(Campo::Codice) + u' ' + s.testo(Campo::Giacenza);
    QVERIFY(lasciato.contains(u"COD3 3"_s));
    QVERIFY(lasciato.contains(u"COD4 0"_s));
    m_esiti[storage] = lasciato;
    if (m_esiti.size() == 2) QCOMPARE(m_esiti[u"server"_s], m_esiti[u"file"_s]);

    // On the other archive the count is refused, and says why.
    auto altro =
        storage == u"file"_s
            ? std::unique_ptr<Deposito>(std::make_unique<DepositoServer>(m_server.connessione()))
            : nullptr;
    ImpostaDepositoCorrente(std::move(altro),
                            storage == u"file"_s ? u"archivio sul server di prova"_s : QString());
    Conteggio riaperto;
    QVERIFY(!riaperto.apri(u"Negozio"_s, errore));
    QVERIFY2(errore.contains(storage == u"file"_s ? u"iniziato sull'archivio nella cartella"_s
                                                  : u"iniziato sull'archivio sul server"_s),
             qPrintable(errore));
    const Differenze rifiutate = CalcolaDifferenze(*c, DepositoCorrente());
    QVERIFY(!rifiutate.riuscito);
    QCOMPARE(ApplicaConteggio(*c, d, true, DepositoCorrente()).esito,
             EsitoApplicazione::ErroreArchivio);
}

// A card removed between the differences and applying them: the last card
// took its position, so nothing is written; read again, its scans are a
// removed card's and the moved card's scans follow it.
void TestConteggio::rimossaPrimaDiApplicare() {
    QFETCH(QString, storage);
    m_server.riprendi();
    ArchivioInUso archivio(storage, m_server, SchedeNumerate(4));
    QVERIFY(archivio.pronto());
    auto c = NuovoConteggio(u"Spostate"_s);
    QVERIFY(c);
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD2"_s, 2, 8));
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD4"_s, 4, 6));
    const Differenze d = CalcolaDifferenze(*c, DepositoCorrente());
    QVERIFY2(d.riuscito, qPrintable(d.errore));
    TScheda due;
    QVERIFY(DepositoCorrente().leggi(2, due));
    QCOMPARE(DepositoCorrente().togli(2, due).esito, Deposito::Rimozione::Fatta);
    const QStringList prima = ArchivioInUso::righe();
    QCOMPARE(ApplicaConteggio(*c, d, true, DepositoCorrente()).esito, EsitoApplicazione::Cambiato);
    QCOMPARE(ArchivioInUso::righe(), prima);
    const Differenze dopo = CalcolaDifferenze(*c, DepositoCorrente());
    QCOMPARE(Riga(dopo, u"COD2"_s, RigaDifferenza::Eliminata)->contati, 8);
    const RigaDifferenza *spostata = Riga(dopo, u"COD4"_s, RigaDifferenza::Contata);
    QVERIFY(spostata);
    QCOMPARE(spostata->posizione, 2);
    QCOMPARE(spostata->contati, 6);
}

// The server dies while the count is applied: a clear message in the
// window, no stock changed and no line written.
void TestConteggio::serverFermoNellApplicazione() {
    m_server.riprendi();
    const QList<TScheda> prima = SchedeNumerate(3);
    ArchivioInUso archivio(
        u"server"_s, m_server, prima,
        std::make_unique<DepositoCheSiFerma>(m_server.connessione(), m_server.server()));
    QVERIFY(archivio.pronto());
    auto c = NuovoConteggio(u"Guasto"_s);
    QVERIFY(c);
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD1"_s, 1, 7));
    QVERIFY(c->registra(TipoRigaConteggio::Lettura, u"COD2"_s, 2, 9));
    {
        TfrmDifferenze finestra(nullptr, *c, PercorsoArchivio());
        finestra.show();
        m_dialoghi.rispondi(Risposta::No); // not counted: left as they are
        m_dialoghi.rispondi(Risposta::Si); // write
        m_dialoghi.rispondi(Risposta::Ok);
        QTest::mouseClick(finestra.btnApplica, Qt::LeftButton);
        const QStringList testi = m_dialoghi.testi();
        QVERIFY2(testi.size() >= 3 && testi[2].startsWith(u"Attenzione: l'archivio non può essere "
                                                          u"scritto; nessuna giacenza"_s),
                 qPrintable(testi.join(u" | "_s)));
        finestra.close();
    }
    QVERIFY(!c->applicato());
    ImpostaDepositoCorrente(nullptr, {});
    m_server.riprendi();
    ImpostaDepositoCorrente(std::make_unique<DepositoServer>(m_server.connessione()), u"prova"_s);
    const QList<TScheda> dopo = ArchivioInUso::schede();
    QCOMPARE(dopo.size(), prima.size());
    for (qsizetype i = 0; i < dopo.size(); ++i)
        QCOMPARE(dopo[i].byte, prima[i].byte);
    QVERIFY(ArchivioInUso::righe().isEmpty());
}

// The look-up of a scan goes through the exact-code index (the two spell the
// expression alike), and a database made without it gets it.
void TestConteggio::indiceDeiCodici() {
    m_server.riprendi();
    ArchivioInUso archivio(u"server"_s, m_server, SchedeNumerate(3));
    QVERIFY(archivio.pronto());
    Connessione &c = m_server.connessione();
    QVERIFY(c.comando("DROP INDEX schede_codice_esatto"));
    AggiungiIndici(c);
    const QString piano = PianoDi(c, "SELECT posizione FROM schede WHERE " +
                                         QByteArray(CodiceConfrontato()) + " = 'cod2'");
    QVERIFY2(!piano.isEmpty(), qPrintable(c.messaggio()));
    QVERIFY2(piano.contains(u"schede_codice_esatto"_s), qPrintable(piano));
    TScheda s = SchedaNumero(2);
    s.impostaTesto(Campo::Codice, u"  Cod2 "_s);
    QVERIFY(DepositoCorrente().accoda(s) == 4);
    IndiceCodici indice(QString(), &DepositoCorrente());
    QVERIFY(indice.costruisci());
    const IndiceCodici::Trovate trovate = indice.cerca(u"COD2"_s);
    QVERIFY(trovate.riuscito);
    QCOMPARE(trovate.posizioni, (QList<qint64>{2, 4}));
}

int main(int argc, char *argv[]) {
    if (argc == 4 && qstrcmp(argv[1], "--applica") == 0)
        return Applica(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (argc == 5 && qstrcmp(argv[1], "--conta") == 0)
        return Conta(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     std::atoi(argv[4]));
    QApplication applicazione(argc, argv);
    TestConteggio test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_count.moc"
