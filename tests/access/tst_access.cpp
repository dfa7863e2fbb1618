#include "DialoghiFinti.h"
#include "Fixture.h"
#include "access/ArgomentiGuida.h"
#include "access/Collegamento.h"
#include "access/Crypt.h"
#include "access/DepositoPassword.h"
#include "access/FileIni.h"
#include "access/GuidaPdf.h"
#include "access/TfrmCambiaPassword.h"
#include "access/TfrmGuida.h"
#include "access/TfrmPassword.h"
#include "access/TfrmSplash.h"
#include "app/TfrmAvvio.h"
#include "card/TfrmMagazzino.h"
#include "lists/TfrmMenuRiepilogo.h"
#include "lists/TfrmRiepilogo.h"
#include "sheets/TfrmExpMagazzino.h"

#include <QAccessible>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <sys/stat.h>

using Genere = DialoghiFinti::Genere;

namespace {

const QString INIZIALE = QStringLiteral("500840A064C7DEC4B459067FF3C8");
const QString ERRATA = QStringLiteral("Attenzione: password errata.");
const QString ERRORE_LETTURA =
    QStringLiteral("Attenzione: si è verificato un errore durante la procedura di lettura della "
                   "password. Si consiglia di reinstallare il software.");
const QString ERRORE_MODIFICA =
    QStringLiteral("Attenzione: si è verificato un errore durante la procedura di modifica della "
                   "password. Si consiglia di reinstallare il software.");
const QString VECCHIA_ERRATA = QStringLiteral("Attenzione: vecchia password errata.");
const QString NON_CONFERMATA =
    QStringLiteral("Attenzione: la nuova password non è stata confermata correttamente. E' "
                   "necessario reinserire entrambi i valori.");
const QString COMPLETATA = QStringLiteral("Modifica della password completata con successo.");

QByteArray storeIniziale() {
    return "[Accesso]\nValore=" + INIZIALE.toLatin1() + '\n';
}

// A device that takes a few bytes and then fails, as a full disk does.
class DispositivoCheSiRiempie : public QIODevice {
  public:
    explicit DispositivoCheSiRiempie(qint64 capienza) : m_capienza(capienza) {
        open(QIODevice::WriteOnly);
    }
    QByteArray scritti;

  protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *dati, qint64 quanti) override {
        const qint64 presi = qMin(quanti, m_capienza - scritti.size());
        if (presi <= 0) return -1;
        scritti.append(dati, presi);
        return presi;
    }

  private:
    qint64 m_capienza;
};

} // namespace

class TestAccesso : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CartellaDiProva> cartella;
    std::unique_ptr<DialoghiFinti> dialoghi;

    void scriviStore(const QByteArray &contenuto) {
        QFile file(DepositoPassword::Percorso());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contenuto);
    }
    QByteArray leggiStore() {
        QFile file(DepositoPassword::Percorso());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    template <typename T> static T *trova(QWidget *finestra, const char *nome) {
        auto *w = finestra->findChild<T *>(QLatin1String(nome));
        if (!w) qWarning("manca %s", nome);
        return w;
    }
    static void mostra(QWidget *finestra) {
        finestra->show();
        QApplication::setActiveWindow(finestra);
        QVERIFY(QTest::qWaitForWindowActive(finestra));
    }

    // The change window filled and confirmed with OK.
    void cambia(TfrmCambiaPassword &finestra, const QString &vecchia, const QString &nuova,
                const QString &conferma) {
        trova<QLineEdit>(&finestra, "txtPasswordOld")->setText(vecchia);
        trova<QLineEdit>(&finestra, "txtPasswordNew")->setText(nuova);
        trova<QLineEdit>(&finestra, "txtConferma")->setText(conferma);
        QTest::mouseClick(trova<QPushButton>(&finestra, "cmdOK"), Qt::LeftButton);
    }
    // True when the password window accepts the typed text.
    bool accettata(const QString &digitata) {
        TfrmPassword finestra;
        QSignalSpy accettate(&finestra, &TfrmPassword::passwordAccettata);
        auto *casella = trova<QLineEdit>(&finestra, "txtPassword");
        casella->insert(digitata);
        QTest::keyClick(casella, Qt::Key_Return);
        return accettate.count() == 1;
    }

  private slots:
    void init() {
        cartella = std::make_unique<CartellaDiProva>();
        dialoghi = std::make_unique<DialoghiFinti>();
    }
    void cleanup() {
        dialoghi.reset();
        cartella.reset();
    }

    void crypt_data();
    void crypt();
    void cryptTuttiIByte();
    void decryptValoriGuasti_data();
    void decryptValoriGuasti();
    void iniLettura_data();
    void iniLettura();
    void iniScrittura_data();
    void iniScrittura();
    void scritturaCheSiInterrompe();

    void passwordAccettata_data();
    void passwordAccettata();
    void passwordErrata();
    void okSoloConTesto();
    void storeMancanteOGuasto_data();
    void storeMancanteOGuasto();
    void storeAssenteOIlleggibile();
    void cambioConSegnoDOrdine();
    void passwordInizialeNominata_data();
    void passwordInizialeNominata();
    void lettereAccentate();
    void cambioRiuscito();
    void cambioRifiutato();
    void cambioInvioAdAnello();
    void nuovaPasswordNonMemorizzabile_data();
    void nuovaPasswordNonMemorizzabile();
    void cambioConStoreGuasto();
    void storeCheNonSiPuoScrivere();
    void nomiAccessibili();

    void argomentiDelleFinestre_data();
    void argomentiDelleFinestre();
    void argomentiCollegati();
    void collegamentoGuida();
    void informazioniERiconoscimenti();
    void guidaPdf();
};

void TestAccesso::crypt_data() {
    QTest::addColumn<QString>("chiara");
    QTest::addColumn<QString>("cifrata");
    QTest::newRow("iniziale") << QStringLiteral("BILANCIOPRONTO") << INIZIALE;
    QTest::newRow("vuota") << QString() << QString();
    // The key follows the scrambled bytes: the same letter twice scrambles apart.
    QTest::newRow("ripetuta") << QStringLiteral("BB") << Crypt::Encrypt(QStringLiteral("BB"));
}

void TestAccesso::crypt() {
    QFETCH(QString, chiara);
    QFETCH(QString, cifrata);
    QCOMPARE(Crypt::Encrypt(chiara), cifrata);
    QCOMPARE(Crypt::Decrypt(cifrata), std::optional<QString>(chiara));
    QCOMPARE(Crypt::Decrypt(cifrata.toLower()), std::optional<QString>(chiara));
    if (chiara.size() == 2) QVERIFY(cifrata.left(2) != cifrata.mid(2));
}

void TestAccesso::cryptTuttiIByte() {
    // Every one-byte character, up to the longest password the store keeps.
    QString chiara;
    for (int i = 0; i < 255; ++i)
        chiara += QChar(char16_t((i * 7 + 3) % 256));
    const QString cifrata = Crypt::Encrypt(chiara);
    QCOMPARE(cifrata.size(), 510);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(cifrata).hasMatch());
    QCOMPARE(Crypt::Decrypt(cifrata), std::optional<QString>(chiara));
}

void TestAccesso::decryptValoriGuasti_data() {
    QTest::addColumn<QString>("valore");
    QTest::addColumn<bool>("leggibile");
    QTest::addColumn<QString>("chiara");
    QTest::newRow("cifra dispari ignorata")
        << INIZIALE + QStringLiteral("7") << true << QStringLiteral("BILANCIOPRONTO");
    QTest::newRow("una sola cifra") << QStringLiteral("5") << true << QString();
    QTest::newRow("lettera non esadecimale") << QStringLiteral("50G8") << false << QString();
    QTest::newRow("spazio in mezzo") << QStringLiteral("50 840") << false << QString();
    QTest::newRow("segno") << QStringLiteral("+5") << false << QString();
    QTest::newRow("cifra non latina") << QStringLiteral("٣٣") << false << QString();
}

void TestAccesso::decryptValoriGuasti() {
    QFETCH(QString, valore);
    QFETCH(bool, leggibile);
    QFETCH(QString, chiara);
    const auto risultato = Crypt::Decrypt(valore);
    QCOMPARE(risultato.has_value(), leggibile);
    if (leggibile) QCOMPARE(*risultato, chiara);
}

void TestAccesso::iniLettura_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<QString>("valore");
    QTest::newRow("usuale") << storeIniziale() << INIZIALE;
    QTest::newRow("nomi senza maiuscole e spazi")
        << QByteArray("; store\r\n[ accesso ]\r\n  VALORE  =  4142  \r\n")
        << QStringLiteral("4142");
    QTest::newRow("altre sezioni prima e dopo")
        << QByteArray("[Altro]\nValore=11\n\n[Accesso]\nNome=x\nValore=22\n[Fine]\nValore=33\n")
        << QStringLiteral("22");
    QTest::newRow("chiave in un'altra sezione") << QByteArray("[Altro]\nValore=11\n") << QString();
    QTest::newRow("sezione senza chiave") << QByteArray("[Accesso]\nValori=11\n") << QString();
    QTest::newRow("commento") << QByteArray("[Accesso]\n;Valore=11\n") << QString();
    QTest::newRow("vuoto") << QByteArray() << QString();
    QTest::newRow("valore vuoto") << QByteArray("[Accesso]\nValore=\n") << QString();
    QTest::newRow("senza a capo finale")
        << QByteArray("[Accesso]\nValore=AB") << QStringLiteral("AB");
    QTest::newRow("uguale nel valore")
        << QByteArray("[Accesso]\nValore=a=b\n") << QStringLiteral("a=b");
    QTest::newRow("lettere oltre la z non si confondono")
        << QByteArray("[Accesso]\nValor\xC8=1\n") << QString();
}

void TestAccesso::iniLettura() {
    QFETCH(QByteArray, contenuto);
    QFETCH(QString, valore);
    QCOMPARE(Ini::LeggiValore(contenuto, QStringLiteral("Accesso"), QStringLiteral("Valore")),
             valore);
}

void TestAccesso::iniScrittura_data() {
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QByteArray>("dopo");
    QTest::newRow("sostituito al suo posto")
        << QByteArray("; nota\n[Altro]\nValore=11\n\n[ACCESSO]\nNome=x\n  valore = 22 \nCoda=1\n"
                      "[Fine]\nValore=33\n")
        << QByteArray("; nota\n[Altro]\nValore=11\n\n[ACCESSO]\nNome=x\nvalore=NUOVO\nCoda=1\n"
                      "[Fine]\nValore=33\n");
    QTest::newRow("a capo di Windows")
        << QByteArray("[Accesso]\r\nValore=22\r\n") << QByteArray("[Accesso]\r\nValore=NUOVO\r\n");
    QTest::newRow("chiave aggiunta alla sezione")
        << QByteArray("[Accesso]\nNome=x\n\n[Fine]\nA=1")
        << QByteArray("[Accesso]\nNome=x\nValore=NUOVO\n\n[Fine]\nA=1");
    QTest::newRow("chiave in fondo al file")
        << QByteArray("[Accesso]") << QByteArray("[Accesso]\nValore=NUOVO\n");
    QTest::newRow("sezione aggiunta")
        << QByteArray("[Altro]\r\nA=1")
        << QByteArray("[Altro]\r\nA=1\r\n[Accesso]\r\nValore=NUOVO\r\n");
    QTest::newRow("file vuoto") << QByteArray() << QByteArray("[Accesso]\nValore=NUOVO\n");
}

void TestAccesso::iniScrittura() {
    QFETCH(QByteArray, prima);
    QFETCH(QByteArray, dopo);
    const QByteArray scritto = Ini::ScriviValore(prima, QStringLiteral("Accesso"),
                                                 QStringLiteral("Valore"), QStringLiteral("NUOVO"));
    QCOMPARE(scritto, dopo);
    QCOMPARE(Ini::LeggiValore(scritto, QStringLiteral("accesso"), QStringLiteral("VALORE")),
             QStringLiteral("NUOVO"));
}

void TestAccesso::scritturaCheSiInterrompe() {
    DispositivoCheSiRiempie pieno(10);
    QVERIFY(!DepositoPassword::ScriviContenuto(&pieno, storeIniziale()));
    QCOMPARE(pieno.scritti, storeIniziale().left(10));
    DispositivoCheSiRiempie capiente(1000);
    QVERIFY(DepositoPassword::ScriviContenuto(&capiente, storeIniziale()));
    QCOMPARE(capiente.scritti, storeIniziale());
}

void TestAccesso::passwordAccettata_data() {
    QTest::addColumn<QString>("digitata");
    QTest::addColumn<bool>("giusta");
    QTest::newRow("minuscole") << QStringLiteral("bilanciopronto") << true;
    QTest::newRow("maiuscole") << QStringLiteral("BILANCIOPRONTO") << true;
    QTest::newRow("miste") << QStringLiteral("BilancioPronto") << true;
    QTest::newRow("spazi intorno") << QStringLiteral("  bilanciopronto \t") << true;
    QTest::newRow("spazio in mezzo") << QStringLiteral("bilancio pronto") << false;
    QTest::newRow("una lettera in meno") << QStringLiteral("bilanciopront") << false;
}

void TestAccesso::passwordAccettata() {
    QFETCH(QString, digitata);
    QFETCH(bool, giusta);
    scriviStore(storeIniziale());
    QCOMPARE(accettata(digitata), giusta);
    QCOMPARE(dialoghi->testi(), giusta ? QStringList() : QStringList{ERRATA});
}

void TestAccesso::passwordErrata() {
    scriviStore(storeIniziale());
    TfrmPassword finestra;
    QCOMPARE(finestra.windowTitle(), QStringLiteral(" Quadrelo - Accesso"));
    mostra(&finestra);
    auto *casella = trova<QLineEdit>(&finestra, "txtPassword");
    auto *ok = trova<QPushButton>(&finestra, "cmdOK");
    QCOMPARE(QApplication::focusWidget(), casella);
    QVERIFY(trova<QWidget>(&finestra, "effPassword")->isVisible());
    QSignalSpy accettate(&finestra, &TfrmPassword::passwordAccettata);
    QTest::keyClicks(casella, QStringLiteral("sbagliata"));
    QVERIFY(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(dialoghi->mostrati().first().genere, Genere::Semplice);
    QCOMPARE(dialoghi->ultimo(), ERRATA);
    QCOMPARE(casella->text(), QString());
    QVERIFY(!ok->isEnabled());
    QCOMPARE(QApplication::focusWidget(), casella);
    QCOMPARE(accettate.count(), 0);

    // The right one, with Enter: accepted and kept in the box.
    QTest::keyClicks(casella, QStringLiteral("bilanciopronto"));
    QTest::keyClick(casella, Qt::Key_Return);
    QCOMPARE(accettate.count(), 1);
    QCOMPARE(casella->text(), QStringLiteral("bilanciopronto"));
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QCOMPARE(trova<QLabel>(&finestra, "lblMemory")->text(), QString());

    // Back from the change window: empty and ready.
    finestra.hide();
    finestra.riprendi();
    QVERIFY(finestra.isVisible());
    QCOMPARE(casella->text(), QString());
    QVERIFY(!ok->isEnabled());
}

void TestAccesso::okSoloConTesto() {
    scriviStore(storeIniziale());
    TfrmPassword finestra;
    auto *casella = trova<QLineEdit>(&finestra, "txtPassword");
    auto *ok = trova<QPushButton>(&finestra, "cmdOK");
    QSignalSpy accettate(&finestra, &TfrmPassword::passwordAccettata);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(casella, QStringLiteral("   "));
    QVERIFY(!ok->isEnabled());
    QTest::keyClick(casella, Qt::Key_Return);
    QVERIFY(dialoghi->mostrati().isEmpty());
    QCOMPARE(accettate.count(), 0);
    QTest::keyClick(casella, Qt::Key_A);
    QVERIFY(ok->isEnabled());
    QTest::keyClick(casella, Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
}

void TestAccesso::storeMancanteOGuasto_data() {
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("senza sezione")
        << QByteArray("[Altro]\nValore=" + INIZIALE.toLatin1()) << ERRATA;
    QTest::newRow("senza chiave") << QByteArray("[Accesso]\nAltro=" + INIZIALE.toLatin1())
                                  << ERRATA;
    QTest::newRow("non esadecimale") << QByteArray("[Accesso]\nValore=50084XA0") << ERRORE_LETTURA;
    QTest::newRow("cifra dispari")
        << QByteArray("[Accesso]\nValore=" + INIZIALE.toLatin1() + "F") << QString();
    // As a text editor saves it: the byte-order mark is not part of the section's name.
    QTest::newRow("con il segno d'ordine dei byte")
        << QByteArray("\xEF\xBB\xBF[Accesso]\r\nValore=" + INIZIALE.toLatin1() + "\r\n")
        << QString();
    // Far bigger than any store: not read at all.
    QTest::newRow("enorme") << storeIniziale() + QByteArray(100 * 1024, ';') << ERRORE_LETTURA;
}

void TestAccesso::storeMancanteOGuasto() {
    QFETCH(QByteArray, contenuto);
    QFETCH(QString, messaggio);
    scriviStore(contenuto);
    TfrmPassword finestra;
    auto *casella = trova<QLineEdit>(&finestra, "txtPassword");
    QSignalSpy accettate(&finestra, &TfrmPassword::passwordAccettata);
    QTest::keyClicks(casella, QStringLiteral("bilanciopronto"));
    QTest::keyClick(casella, Qt::Key_Return);
    QCOMPARE(accettate.count(), messaggio.isEmpty() ? 1 : 0);
    QCOMPARE(dialoghi->ultimo(), messaggio);
    // A store that cannot be read leaves what was typed.
    if (messaggio == ERRORE_LETTURA) QCOMPARE(casella->text(), QStringLiteral("bilanciopronto"));
}

void TestAccesso::storeAssenteOIlleggibile() {
    // No store at all: every password is wrong, and nothing else is said.
    QVERIFY(!accettata(QStringLiteral("bilanciopronto")));
    QCOMPARE(dialoghi->testi(), QStringList{ERRATA});
    // A store that is a folder cannot be read.
    QVERIFY(QDir().mkdir(DepositoPassword::Percorso()));
    QVERIFY(!accettata(QStringLiteral("bilanciopronto")));
    QCOMPARE(dialoghi->ultimo(), ERRORE_LETTURA);
    // Nor one replaced by a named pipe, which no one writes: it is not waited on.
    QVERIFY(QDir().rmdir(DepositoPassword::Percorso()));
    QCOMPARE(::mkfifo(QFile::encodeName(DepositoPassword::Percorso()).constData(), 0600), 0);
    dialoghi->azzera();
    QVERIFY(!accettata(QStringLiteral("bilanciopronto")));
    QCOMPARE(dialoghi->testi(), QStringList{ERRORE_LETTURA});
    TfrmCambiaPassword cambio;
    cambia(cambio, QStringLiteral("bilanciopronto"), QStringLiteral("x"), QStringLiteral("x"));
    QCOMPARE(dialoghi->ultimo(), ERRORE_MODIFICA);
}

void TestAccesso::cambioConSegnoDOrdine() {
    // The mark stays in front, and the new password is the one in force.
    scriviStore("\xEF\xBB\xBF[Accesso]\r\nValore=" + INIZIALE.toLatin1() + "\r\n");
    TfrmCambiaPassword cambio;
    cambia(cambio, QStringLiteral("bilanciopronto"), QStringLiteral("cassa"),
           QStringLiteral("cassa"));
    QCOMPARE(dialoghi->ultimo(), COMPLETATA);
    QCOMPARE(leggiStore(), "\xEF\xBB\xBF[Accesso]\r\nValore=" +
                               Crypt::Encrypt(QStringLiteral("CASSA")).toLatin1() + "\r\n");
    QVERIFY(accettata(QStringLiteral("cassa")));
}

void TestAccesso::passwordInizialeNominata_data() {
    QTest::addColumn<QString>("inVigore");
    QTest::addColumn<bool>("nominata");
    QTest::newRow("iniziale") << QStringLiteral("BILANCIOPRONTO") << true;
    QTest::newRow("cambiata") << QStringLiteral("CASSA") << false;
    QTest::newRow("nessuno store") << QString() << false;
}

void TestAccesso::passwordInizialeNominata() {
    // The password window tells the initial password only while it opens the program.
    QFETCH(QString, inVigore);
    QFETCH(bool, nominata);
    if (!inVigore.isEmpty())
        scriviStore("[Accesso]\nValore=" + Crypt::Encrypt(inVigore).toLatin1() + '\n');
    TfrmPassword finestra;
    finestra.show();
    auto nomina = [&finestra] {
        return trova<QLabel>(&finestra, "imgLogo")
            ->accessibleDescription()
            .contains(QStringLiteral("bilanciopronto"));
    };
    QCOMPARE(nomina(), nominata);
    QCOMPARE(finestra.findChildren<QLabel *>(QStringLiteral("imgLogo")).size(), 1);
    // After a change the window comes back without it.
    if (nominata) {
        TfrmCambiaPassword cambio;
        cambia(cambio, QStringLiteral("bilanciopronto"), QStringLiteral("cassa"),
               QStringLiteral("cassa"));
        finestra.hide();
        finestra.riprendi();
        QVERIFY(!nomina());
        QCOMPARE(finestra.findChildren<QLabel *>(QStringLiteral("imgLogo")).size(), 1);
    }
}

void TestAccesso::lettereAccentate() {
    // Only a-z change case: è stays as typed.
    scriviStore(storeIniziale());
    TfrmCambiaPassword cambio;
    cambia(cambio, QStringLiteral("bilanciopronto"), QStringLiteral("perché"),
           QStringLiteral("perché"));
    QCOMPARE(dialoghi->ultimo(), COMPLETATA);
    QCOMPARE(Ini::LeggiValore(leggiStore(), QStringLiteral("Accesso"), QStringLiteral("Valore")),
             Crypt::Encrypt(QStringLiteral("PERCHé")));
    QVERIFY(accettata(QStringLiteral("perché")));
    QVERIFY(accettata(QStringLiteral("Perché")));
    QVERIFY(!accettata(QStringLiteral("PERCHÉ")));
}

void TestAccesso::cambioRiuscito() {
    // Other lines of the store stay as they were.
    scriviStore("; Quadrelo\r\n[Accesso]\r\nValore=" + INIZIALE.toLatin1() +
                "\r\n[Altro]\r\nA=1\r\n");
    TfrmCambiaPassword finestra;
    QCOMPARE(finestra.windowTitle(), QStringLiteral(" Cambia password"));
    QSignalSpy chiusure(&finestra, &TfrmCambiaPassword::chiusa);
    mostra(&finestra);
    auto *vecchia = trova<QLineEdit>(&finestra, "txtPasswordOld");
    auto *nuova = trova<QLineEdit>(&finestra, "txtPasswordNew");
    auto *conferma = trova<QLineEdit>(&finestra, "txtConferma");
    auto *ok = trova<QPushButton>(&finestra, "cmdOK");
    QCOMPARE(QApplication::focusWidget(), vecchia);
    QTest::keyClicks(vecchia, QStringLiteral("Bilanciopronto"));
    QTest::keyClicks(nuova, QStringLiteral(" magazzino24"));
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(conferma, QStringLiteral("magazzino24  "));
    QVERIFY(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialoghi->testi(), QStringList{COMPLETATA});
    QCOMPARE(dialoghi->mostrati().first().genere, Genere::Semplice);
    QVERIFY(!finestra.isVisible());
    QCOMPARE(chiusure.count(), 1);
    QCOMPARE(leggiStore(), "; Quadrelo\r\n[Accesso]\r\nValore=" +
                               Crypt::Encrypt(QStringLiteral("MAGAZZINO24")).toLatin1() +
                               "\r\n[Altro]\r\nA=1\r\n");
    QVERIFY(accettata(QStringLiteral("MagaZZino24")));
    QVERIFY(!accettata(QStringLiteral("bilanciopronto")));

    // Shown again: empty boxes.
    mostra(&finestra);
    for (auto *c : {vecchia, nuova, conferma})
        QCOMPARE(c->text(), QString());
    QVERIFY(!ok->isEnabled());
    // Chiudi and Escape close it without a word.
    QTest::keyClicks(vecchia, QStringLiteral("x"));
    QTest::keyClick(&finestra, Qt::Key_Escape);
    QVERIFY(!finestra.isVisible());
    mostra(&finestra);
    QTest::mouseClick(trova<QPushButton>(&finestra, "cmdEsci"), Qt::LeftButton);
    QVERIFY(!finestra.isVisible());
    QCOMPARE(chiusure.count(), 3);
    QCOMPARE(dialoghi->mostrati().size(), 2); // the refused check above
}

void TestAccesso::cambioRifiutato() {
    scriviStore(storeIniziale());
    TfrmCambiaPassword finestra;
    mostra(&finestra);
    auto *vecchia = trova<QLineEdit>(&finestra, "txtPasswordOld");
    auto *nuova = trova<QLineEdit>(&finestra, "txtPasswordNew");
    auto *conferma = trova<QLineEdit>(&finestra, "txtConferma");

    cambia(finestra, QStringLiteral("bilancio"), QStringLiteral("nuova"), QStringLiteral("nuova"));
    QCOMPARE(dialoghi->ultimo(), VECCHIA_ERRATA);
    QCOMPARE(vecchia->text(), QString());
    QCOMPARE(nuova->text(), QStringLiteral("nuova"));
    QCOMPARE(conferma->text(), QStringLiteral("nuova"));
    QCOMPARE(QApplication::focusWidget(), vecchia);

    // The confirmation counts letter case.
    cambia(finestra, QStringLiteral("bilanciopronto"), QStringLiteral("nuova"),
           QStringLiteral("NUOVA"));
    QCOMPARE(dialoghi->ultimo(), NON_CONFERMATA);
    QCOMPARE(vecchia->text(), QStringLiteral("bilanciopronto"));
    QCOMPARE(nuova->text(), QString());
    QCOMPARE(conferma->text(), QString());
    QCOMPARE(QApplication::focusWidget(), nuova);
    QVERIFY(finestra.isVisible());
    QCOMPARE(leggiStore(), storeIniziale());
    QCOMPARE(dialoghi->mostrati().size(), 2);
}

void TestAccesso::cambioInvioAdAnello() {
    scriviStore(storeIniziale());
    TfrmCambiaPassword finestra;
    mostra(&finestra);
    auto *vecchia = trova<QLineEdit>(&finestra, "txtPasswordOld");
    auto *nuova = trova<QLineEdit>(&finestra, "txtPasswordNew");
    auto *conferma = trova<QLineEdit>(&finestra, "txtConferma");
    QTest::keyClicks(vecchia, QStringLiteral("bilanciopronto"));
    QTest::keyClick(vecchia, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), nuova);
    QTest::keyClicks(nuova, QStringLiteral("altra"));
    QTest::keyClick(nuova, Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), conferma);
    QTest::keyClicks(conferma, QStringLiteral("altra"));
    QTest::keyClick(conferma, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), vecchia);
    // Enter never confirms; OK does, with the keyboard too.
    QVERIFY(dialoghi->mostrati().isEmpty());
    QCOMPARE(leggiStore(), storeIniziale());
    QTest::keyClick(&finestra, Qt::Key_Tab, Qt::NoModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdEsci"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdOK"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(dialoghi->testi(), QStringList{COMPLETATA});
}

void TestAccesso::nuovaPasswordNonMemorizzabile_data() {
    QTest::addColumn<QString>("nuova");
    QTest::addColumn<QString>("motivo");
    QTest::newRow("euro") << QStringLiteral("prezzo€") << QStringLiteral("\"€\"");
    QTest::newRow("fuori dal piano di base")
        << QStringLiteral("ok\U0001F511") << QStringLiteral("\"\U0001F511\"");
    QTest::newRow("256 caratteri") << QString(256, u'x') << QStringLiteral("troppo lunga");
    QTest::newRow("255 caratteri") << QString(255, u'x') << QString();
    QTest::newRow("lettere latine") << QStringLiteral("ÿàß") << QString();
}

void TestAccesso::nuovaPasswordNonMemorizzabile() {
    QFETCH(QString, nuova);
    QFETCH(QString, motivo);
    scriviStore(storeIniziale());
    TfrmCambiaPassword finestra;
    mostra(&finestra);
    cambia(finestra, QStringLiteral("bilanciopronto"), nuova, nuova);
    if (motivo.isEmpty()) {
        QCOMPARE(dialoghi->testi(), QStringList{COMPLETATA});
        QVERIFY(accettata(nuova));
        return;
    }
    QCOMPARE(dialoghi->mostrati().size(), 1);
    QVERIFY2(dialoghi->ultimo().contains(motivo), qPrintable(dialoghi->ultimo()));
    QCOMPARE(leggiStore(), storeIniziale());
    QVERIFY(finestra.isVisible());
    QCOMPARE(trova<QLineEdit>(&finestra, "txtPasswordNew")->text(), QString());
    QCOMPARE(trova<QLineEdit>(&finestra, "txtConferma")->text(), QString());
    QVERIFY(accettata(QStringLiteral("bilanciopronto")));
}

void TestAccesso::cambioConStoreGuasto() {
    scriviStore("[Accesso]\nValore=ZZ\n");
    TfrmCambiaPassword finestra;
    mostra(&finestra);
    cambia(finestra, QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("y"));
    QCOMPARE(dialoghi->testi(), QStringList{ERRORE_MODIFICA});
    QVERIFY(finestra.isVisible());
    QCOMPARE(trova<QLineEdit>(&finestra, "txtPasswordOld")->text(), QStringLiteral("x"));
    QCOMPARE(leggiStore(), QByteArray("[Accesso]\nValore=ZZ\n"));

    // Without a store every old password is wrong, and none is created.
    QFile::remove(DepositoPassword::Percorso());
    cambia(finestra, QStringLiteral("bilanciopronto"), QStringLiteral("y"), QStringLiteral("y"));
    QCOMPARE(dialoghi->ultimo(), VECCHIA_ERRATA);
    QVERIFY(!QFile::exists(DepositoPassword::Percorso()));
}

void TestAccesso::storeCheNonSiPuoScrivere() {
    // The disk is full: the store keeps the old password, whole.
    scriviStore(storeIniziale());
    TfrmCambiaPassword finestra;
    mostra(&finestra);
    {
        DiscoPieno disco(8);
        cambia(finestra, QStringLiteral("bilanciopronto"), QStringLiteral("nuovissima"),
               QStringLiteral("nuovissima"));
    }
    QCOMPARE(dialoghi->testi(), QStringList{ERRORE_MODIFICA});
    QVERIFY(finestra.isVisible());
    QCOMPARE(leggiStore(), storeIniziale());
    QCOMPARE(QDir(cartella->percorso()).entryList(QDir::Files),
             QStringList{QStringLiteral("unins000.dll")});
}

void TestAccesso::nomiAccessibili() {
    TfrmPassword password;
    TfrmCambiaPassword cambio;
    const std::pair<QWidget *, const char *> caselle[] = {
        {&password, "txtPassword"},
        {&cambio, "txtPasswordOld"},
        {&cambio, "txtPasswordNew"},
        {&cambio, "txtConferma"},
    };
    const QStringList nomi = {QStringLiteral("Password"), QStringLiteral("Vecchia password"),
                              QStringLiteral("Nuova password"),
                              QStringLiteral("Conferma nuova password")};
    for (int i = 0; i < 4; ++i) {
        auto *casella = trova<QLineEdit>(caselle[i].first, caselle[i].second);
        QCOMPARE(casella->echoMode(), QLineEdit::Password);
        QCOMPARE(casella->maxLength(), 32767);
        auto *interfaccia = QAccessible::queryAccessibleInterface(casella);
        QVERIFY(interfaccia);
        QCOMPARE(interfaccia->text(QAccessible::Name), nomi[i]);
        QVERIFY(interfaccia->state().passwordEdit);
    }
    for (QWidget *finestra : {static_cast<QWidget *>(&password), static_cast<QWidget *>(&cambio)})
        for (auto *b : finestra->findChildren<QPushButton *>()) {
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(b->autoDefault());
            QVERIFY(!QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name).isEmpty());
        }
    QVERIFY(!trova<QPushButton>(&cambio, "cmdOK")->isEnabled());
}

void TestAccesso::argomentiDelleFinestre_data() {
    QTest::addColumn<QString>("finestra");
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<QString>("titolo");
    QTest::addColumn<int>("paragrafi");
    QTest::newRow("avvio") << QStringLiteral("avvio") << QStringLiteral("imgGuida")
                           << QStringLiteral("Uno sguardo a Quadrelo.") << 20;
    QTest::newRow("scheda") << QStringLiteral("scheda") << QStringLiteral("btnGuida")
                            << QStringLiteral("Applicazione Magazzino Prodotti.") << 13;
    QTest::newRow("inventario") << QStringLiteral("inventario") << QStringLiteral("imgGuida")
                                << QStringLiteral("Applicazione Inventario Merce.") << 3;
    QTest::newRow("elenco inventario")
        << QStringLiteral("elenco inventario") << QStringLiteral("imgGuida")
        << QStringLiteral("Applicazione Inventario Merce.") << 3;
    QTest::newRow("esportazione") << QStringLiteral("esportazione") << QStringLiteral("cmdGuida")
                                  << QStringLiteral(
                                         "Esportazione magazzino prodotti in Microsoft Excel.")
                                  << 5;
}

void TestAccesso::argomentiDelleFinestre() {
    QFETCH(QString, finestra);
    QFETCH(QString, pulsante);
    QFETCH(QString, titolo);
    QFETCH(int, paragrafi);
    std::unique_ptr<QWidget> chiamante;
    if (finestra == u"avvio")
        chiamante = std::make_unique<TfrmAvvio>();
    else if (finestra == u"scheda")
        chiamante = std::make_unique<TfrmMagazzino>();
    else if (finestra == u"inventario")
        chiamante = std::make_unique<TfrmMenuRiepilogo>();
    else if (finestra == u"elenco inventario")
        chiamante = std::make_unique<TfrmRiepilogo>(nullptr, QString());
    else
        chiamante = std::make_unique<TfrmExpMagazzino>(nullptr);
    chiamante->show();
    QString titoloMostrato;
    QString testoMostrato;
    QStringList titoletti;
    QWidget *proprietario = nullptr;
    dialoghi->allaProssimaFinestra([&](QDialog *guida) {
        proprietario = guida->parentWidget();
        titoloMostrato = trova<QLabel>(guida, "lblTitolo")->text();
        auto *txtGuida = trova<QTextEdit>(guida, "txtGuida");
        testoMostrato = txtGuida->toPlainText();
        // Plain text to read: normal weight, no cursor, headings only where the text is long.
        QVERIFY(!txtGuida->font().bold());
        QVERIFY(txtGuida->isReadOnly());
        QVERIFY(!(txtGuida->textInteractionFlags() &
                  (Qt::TextSelectableByKeyboard | Qt::TextEditable)));
        for (QTextBlock b = txtGuida->document()->begin(); b.isValid(); b = b.next()) {
            if (b.blockFormat().headingLevel() > 0)
                titoletti << b.text();
            else
                QVERIFY(b.charFormat().fontWeight() <= QFont::Normal);
        }
        QCOMPARE(guida->windowTitle(), QStringLiteral(" Guida all'utilizzo del software"));
        // Escape closes it, as Chiudi does.
        QTest::keyClick(guida, Qt::Key_Escape);
        QVERIFY(!guida->isVisible());
    });
    auto *b = chiamante->findChild<QAbstractButton *>(pulsante);
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(dialoghi->finestreEseguite(), 1);
    QCOMPARE(proprietario, chiamante.get());
    QCOMPARE(titoloMostrato, titolo);
    // One block a paragraph, and the headings of the launcher's long text.
    QStringList mostrati = testoMostrato.split(u'\n');
    for (const QString &t : titoletti)
        mostrati.removeOne(t);
    QCOMPARE(mostrati.size(), paragrafi);
    for (const auto &p : mostrati)
        QVERIFY(!p.trimmed().isEmpty());
    const QStringList attesi =
        finestra == u"avvio"
            ? QStringList{QStringLiteral("Magazzino Prodotti"), QStringLiteral("Inventario Merce"),
                          QStringLiteral("Da sapere")}
            : QStringList{};
    QCOMPARE(titoletti, attesi);
    QVERIFY(dialoghi->mostrati().isEmpty());
}

void TestAccesso::argomentiCollegati() {
    const auto avvio = Argomento(TemaGuida::Avvio);
    const auto scheda = Argomento(TemaGuida::Magazzino);
    const auto inventario = Argomento(TemaGuida::Inventario);
    // The card's topic is the launcher's without its first paragraph and its last six.
    QCOMPARE(scheda.paragrafi, avvio.paragrafi.mid(1, avvio.paragrafi.size() - 7));
    QCOMPARE(avvio.paragrafi.mid(15, 2), inventario.paragrafi.mid(1, 2));
    QVERIFY(avvio.paragrafi[14].startsWith(inventario.paragrafi[0].left(120)));
    QVERIFY(avvio.paragrafi[14] != inventario.paragrafi[0]);
    QCOMPARE(avvio.testo().count(QStringLiteral("\r\n\r\n")), 19);
    QVERIFY(!avvio.testo().endsWith(u'\n'));
    // Paragraphs given whole, word for word.
    QCOMPARE(avvio.paragrafi[18],
             QStringLiteral("L'accesso al software è protetto da una password aggiornabile "
                            "dall'utente che può essere cambiata tutte le volte che si desidera. "
                            "Per il primo accesso al programma, bisogna utilizzare la parola "
                            "chiave \"bilanciopronto\" (scritta senza le virgolette)."));
    QCOMPARE(inventario.paragrafi[2],
             QStringLiteral("Il pulsante Stampa inventario permette di ottenere su carta "
                            "l'elenco della merce visualizzata in quel momento con "
                            "l'indicazione in calce del valore complessivo."));
    QCOMPARE(Argomento(TemaGuida::Esportazione).paragrafi[2],
             QStringLiteral("A questo punto è sufficiente salvare il file sul proprio disco "
                            "fisso assegnandogli un nome qualsiasi."));
    QVERIFY(scheda.paragrafi[7].endsWith(QStringLiteral("danneggiato. ")));
    QCOMPARE(TuttiGliArgomenti().size(), 13);
    // The guide tells each paragraph once: the launcher's opening and closing
    // words, then the topics that tell the rest in full.
    const auto sezioni = SezioniGuida();
    QCOMPARE(sezioni.first().paragrafi, avvio.paragrafi.mid(0, 1));
    QCOMPARE(sezioni[1].paragrafi, scheda.paragrafi);
    QCOMPARE(sezioni[2].paragrafi, inventario.paragrafi);
    QCOMPARE(sezioni.last().paragrafi, avvio.paragrafi.mid(17));
}

void TestAccesso::collegamentoGuida() {
    TfrmGuida guida(nullptr);
    mostra(&guida);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtGuida"));
    auto *lnkWeb = trova<Collegamento>(&guida, "lnkWeb");
    auto *imgPDF = trova<QToolButton>(&guida, "imgPDF");
    QCOMPARE(trova<QLabel>(&guida, "lblTitolo")->text(), QStringLiteral("Argomento della guida."));
    QCOMPARE(lnkWeb->text(), QStringLiteral("Visualizza guida in formato PDF"));
    const QUrl guidaPdf = QUrl::fromLocalFile(cartella->percorso(QStringLiteral("Guida.pdf")));
    QFile pdf(guidaPdf.toLocalFile()); // a missing guide is reported instead of opened
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.close();
    // The picture and the text behave alike, colours included.
    qsizetype volte = 0;
    for (QAbstractButton *b :
         {static_cast<QAbstractButton *>(imgPDF), static_cast<QAbstractButton *>(lnkWeb)}) {
        QCOMPARE(lnkWeb->colore(), Collegamento::blu());
        QTest::mousePress(b, Qt::LeftButton);
        QCOMPARE(lnkWeb->colore(), Collegamento::arancio());
        QTest::mouseRelease(b, Qt::LeftButton);
        QCOMPARE(lnkWeb->colore(), Collegamento::blu());
        QCOMPARE(dialoghi->aperti().size(), ++volte);
        QCOMPARE(dialoghi->aperti().last(), guidaPdf);
    }
    // With the keyboard: the text scrolls, then from it to the link, Enter opens it.
    guida.mostraArgomento(Argomento(TemaGuida::Avvio));
    auto *txtGuida = trova<QTextEdit>(&guida, "txtGuida");
    txtGuida->setFocus();
    QCOMPARE(txtGuida->verticalScrollBar()->value(), 0);
    QTest::keyClick(txtGuida, Qt::Key_PageDown);
    QVERIFY(txtGuida->verticalScrollBar()->value() > 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), lnkWeb);
    QTest::keyClick(lnkWeb, Qt::Key_Return);
    QCOMPARE(dialoghi->aperti(), (QList<QUrl>{guidaPdf, guidaPdf, guidaPdf}));
    QTest::keyClick(lnkWeb, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("btnChiudi"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!guida.isVisible());
}

void TestAccesso::informazioniERiconoscimenti() {
    TfrmAvvio avvio;
    avvio.show();
    const QString posta =
        QStringLiteral("mailto:assistenza@quadrelo.it?subject=Software Quadrelo&body=Salve, "
                       "desidererei avere le seguenti informazioni sul software in oggetto:");
    const QUrl sito(QStringLiteral("https://www.quadrelo.it"));
    QStringList titoli;
    dialoghi->allaProssimaFinestra([&](QDialog *info) {
        titoli << info->windowTitle();
        QTest::mousePress(trova<QToolButton>(info, "imgEmail"), Qt::LeftButton);
        QCOMPARE(trova<Collegamento>(info, "lnkWeb")->colore(), Collegamento::arancio());
        QTest::mouseRelease(trova<QToolButton>(info, "imgEmail"), Qt::LeftButton);
        QTest::mouseClick(trova<Collegamento>(info, "lnkWeb"), Qt::LeftButton);
        // The program folder, what to copy for a backup, shown and read out.
        auto *lblCartella = trova<QLabel>(info, "lblCartella");
        QCOMPARE(lblCartella->text(), cartella->percorso());
        QCOMPARE(QAccessible::queryAccessibleInterface(lblCartella)->text(QAccessible::Name),
                 QStringLiteral("Cartella del programma: ") + cartella->percorso());
        QTest::mouseClick(trova<QPushButton>(info, "btnChiudi"), Qt::LeftButton);
    });
    QTest::mouseClick(trova<QToolButton>(&avvio, "imgInfo"), Qt::LeftButton);
    QCOMPARE(dialoghi->aperti().size(), 2);
    for (const QUrl &aperto : dialoghi->aperti()) {
        QCOMPARE(aperto.toString(), posta);
        // Blanks reach the mail program as blanks, not as a broken link.
        QVERIFY(aperto.toEncoded().contains("subject=Software%20Quadrelo&body=Salve,%20"));
    }

    dialoghi->allaProssimaFinestra([&](QDialog *crediti) {
        titoli << crediti->windowTitle();
        QTest::mouseClick(trova<QToolButton>(crediti, "imgWeb"), Qt::LeftButton);
        // The product's name stands out from its light ground: a good share of
        // its area is ink of at least 4.5:1 contrast (the measure for text).
        const QImage logo = trova<QLabel>(crediti, "imgLogo")->pixmap().toImage();
        const QColor fondo = logo.pixelColor(AreaNomeRiconoscimenti.topLeft() + QPoint(2, 2));
        auto luminanza = [](QColor c) {
            auto canale = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * canale(c.redF()) + 0.7152 * canale(c.greenF()) +
                   0.0722 * canale(c.blueF());
        };
        int inchiostro = 0;
        for (int y = AreaNomeRiconoscimenti.top(); y <= AreaNomeRiconoscimenti.bottom(); ++y)
            for (int x = AreaNomeRiconoscimenti.left(); x <= AreaNomeRiconoscimenti.right(); ++x) {
                const double a = luminanza(logo.pixelColor(x, y));
                const double b = luminanza(fondo);
                if ((qMax(a, b) + 0.05) / (qMin(a, b) + 0.05) >= 4.5) ++inchiostro;
            }
        const double quota =
            double(inchiostro) / (AreaNomeRiconoscimenti.width() * AreaNomeRiconoscimenti.height());
        QVERIFY2(quota > 0.12, qPrintable(QString::number(quota)));
        QTest::keyClick(crediti, Qt::Key_Escape);
    });
    QTest::mouseClick(trova<QToolButton>(&avvio, "imgCopyright"), Qt::LeftButton);
    QTest::mouseClick(trova<QToolButton>(&avvio, "imgSito"), Qt::LeftButton);
    QCOMPARE(titoli, (QStringList{QStringLiteral(" Informazioni su Quadrelo"),
                                  QStringLiteral(" Quadrelo - Realizzato da Quadrelo Software")}));
    QCOMPARE(dialoghi->aperti().mid(2), (QList<QUrl>{sito, sito}));
    QCOMPARE(dialoghi->finestreEseguite(), 2);
}

void TestAccesso::guidaPdf() {
    const QString percorso = cartella->percorso(QStringLiteral("Guida.pdf"));
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(ScriviGuidaPdf(&file));
    file.close();
    const QString lettore = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!lettore.isEmpty(), "pdftotext (poppler-utils) is needed to read the guide back");
    QProcess pdftotext;
    pdftotext.start(lettore, {percorso, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(30000));
    QCOMPARE(pdftotext.exitCode(), 0);
    const QString grezzo = QString::fromUtf8(pdftotext.readAllStandardOutput());
    // No page left with a few lines only.
    const QStringList pagine = grezzo.split(u'\f', Qt::SkipEmptyParts);
    QVERIFY(pagine.size() >= 3);
    for (qsizetype n = 0; n < pagine.size(); ++n) {
        const qsizetype righe = pagine[n].split(u'\n', Qt::SkipEmptyParts).size();
        QVERIFY2(righe > 4,
                 qPrintable(QStringLiteral("pagina %1: %2 righe").arg(n + 1).arg(righe)));
    }
    // One line per text line; words joined again for the checks.
    const QString testo = grezzo.simplified().replace(u'\uFB01', QStringLiteral("fi"));
    QVERIFY(testo.contains(QStringLiteral("Guida all'utilizzo del software")));
    QVERIFY(testo.contains(QStringLiteral("Indice")));
    const auto sezioni = SezioniGuida();
    for (qsizetype i = 0; i < sezioni.size(); ++i) {
        const QString titolo = QString::number(i + 1) + QStringLiteral(". ") + sezioni[i].titolo;
        // Listed in the contents, and heading its section.
        QVERIFY2(testo.count(titolo) >= 2, qPrintable(titolo));
    }
    // Every sentence told once (the section titles are in the contents too).
    QStringList titoli;
    for (const auto &sezione : sezioni)
        titoli << sezione.titolo;
    QHash<QString, int> frasi;
    for (const QString &frase :
         testo.split(QRegularExpression(QStringLiteral("(?<=[.:])\\s+")), Qt::SkipEmptyParts))
        if (frase.size() >= 30 && !titoli.contains(frase)) ++frasi[frase];
    for (auto it = frasi.cbegin(); it != frasi.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
    // The three export formats are covered.
    for (const char *file : {"Magazzino.xlsx", "Magazzino.csv", "formato XLS"})
        QVERIFY2(testo.contains(QLatin1String(file)), file);
    // And every capability the program has beyond its first windows.
    for (const char *parte :
         {"Movimenti.csv", "Causale", "Annulla ultimo movimento", "Schede eliminate",
          "Ordini aperti", "Segna come ordinato", "Codice a barre", "F3", "Esegui backup",
          "Ripristina...", "Dati del negozio", "zeri iniziali"})
        QVERIFY2(testo.contains(QString::fromUtf8(parte)), parte);
    QVERIFY(testo.contains(QStringLiteral("\"bilanciopronto\" (scritta senza le virgolette).")));
    QVERIFY(testo.contains(QStringLiteral("Pagina 2")));

    QProcess info;
    info.start(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {percorso});
    QVERIFY(info.waitForFinished(30000));
    const QString dati = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(dati.contains(QStringLiteral("(A4)")), qPrintable(dati));
}

QTEST_MAIN(TestAccesso)
#include "tst_access.moc"
