#include "Fixture.h"
#include "DialoghiFinti.h"
#include "platform/Dialoghi.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;
using Genere = DialoghiFinti::Genere;

class TestPiattaforma : public QObject {
    Q_OBJECT
  private slots:
    void apriConDesktop_data();
    void apriConDesktop();
    void aperturaNonRiuscita_data();
    void aperturaNonRiuscita();
    void messaggiInTestoSemplice_data();
    void messaggiInTestoSemplice();
};

void TestPiattaforma::apriConDesktop_data() {
    // %1 is a folder of the test's own, where every file named exists.
    QTest::addColumn<QString>("destinazione");
    QTest::addColumn<QString>("file"); // created first; empty for a link
    QTest::addColumn<QUrl>("aperto");
    QTest::newRow("percorso tra virgolette")
        << u"\"%1/Listino 2026.pdf\""_s << u"Listino 2026.pdf"_s << QUrl();
    // A name that a shell would run stays a plain file name.
    QTest::newRow("nome con comandi")
        << u"\"%1/a; rm -rf ~ $(id).pdf\""_s << u"a; rm -rf ~ $(id).pdf"_s << QUrl();
    // A quote inside the name is part of it.
    QTest::newRow("virgolette nel nome") << u"\"%1/a\"b.txt\""_s << u"a\"b.txt"_s << QUrl();
    QTest::newRow("sito") << u"https://www.quadrelo.it"_s << QString()
                          << QUrl(u"https://www.quadrelo.it"_s);
    QTest::newRow("posta") << u"mailto:assistenza@quadrelo.it?subject=Quadrelo"_s << QString()
                           << QUrl(u"mailto:assistenza@quadrelo.it?subject=Quadrelo"_s);
    // Blanks in the subject and body stay a mail link, not a file name.
    QTest::newRow("posta con spazi")
        << u"\"mailto:a@b.it?subject=Software Quadrelo&body=Salve, grazie:\""_s << QString()
        << QUrl::fromEncoded("mailto:a@b.it?subject=Software%20Quadrelo&body=Salve,%20grazie:");
}

void TestPiattaforma::apriConDesktop() {
    QFETCH(QString, destinazione);
    QFETCH(QString, file);
    QFETCH(QUrl, aperto);
    QTemporaryDir cartella;
    if (!file.isEmpty()) {
        QFile f(cartella.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        aperto = QUrl::fromLocalFile(cartella.filePath(file));
    }
    DialoghiFinti dialoghi;
    QVERIFY(Piattaforma::ApriConDesktop(destinazione.arg(cartella.path())));
    QCOMPARE(dialoghi.aperti(), QList<QUrl>{aperto});
    QCOMPARE(dialoghi.testi(), QStringList());

    // The exact path, handed over as it is, quotes and all.
    if (file.isEmpty()) return;
    DialoghiFinti altri;
    QVERIFY(Piattaforma::ApriFileConDesktop(cartella.filePath(file)));
    QCOMPARE(altri.aperti(), QList<QUrl>{aperto});
}

void TestPiattaforma::aperturaNonRiuscita_data() {
    QTest::addColumn<QString>("destinazione");
    QTest::addColumn<bool>("esiste");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("file mancante")
        << u"\"%1/Guida.pdf\""_s << false << u"Attenzione: il file \"%1/Guida.pdf\" non esiste."_s;
    QTest::newRow("rifiutato dal desktop")
        << u"\"%1/Guida.pdf\""_s << true
        << u"Attenzione: non è stato possibile aprire il file \"%1/Guida.pdf\". Nessun programma "
           "del sistema risulta associato a questo tipo di file."_s;
    QTest::newRow("collegamento rifiutato")
        << u"https://www.quadrelo.it"_s << false
        << u"Attenzione: non è stato possibile aprire \"https://www.quadrelo.it\". Nessun "
           "programma del sistema risulta associato a questo indirizzo."_s;
}

void TestPiattaforma::aperturaNonRiuscita() {
    QFETCH(QString, destinazione);
    QFETCH(bool, esiste);
    QFETCH(QString, messaggio);
    QTemporaryDir cartella;
    if (esiste) {
        QFile f(cartella.filePath(u"Guida.pdf"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    DialoghiFinti dialoghi;
    dialoghi.desktopRifiuta();
    QVERIFY(!Piattaforma::ApriConDesktop(destinazione.arg(cartella.path())));
    QCOMPARE(dialoghi.testi(), QStringList{messaggio.arg(cartella.path())});
    QCOMPARE(dialoghi.mostrati().first().genere, Genere::Avviso);
}

void TestPiattaforma::messaggiInTestoSemplice_data() {
    QTest::addColumn<int>("genere");
    QTest::newRow("messaggio") << 0;
    QTest::newRow("semplice") << 1;
    QTest::newRow("domanda") << 2;
    QTest::newRow("domanda con annulla") << 3;
}

void TestPiattaforma::messaggiInTestoSemplice() {
    // The real dialogs: a card coded <s>K1</s> shows its tags as typed.
    QFETCH(int, genere);
    const QString testo = u"Il codice \"<s>K1</s>\" & <b>altro</b>"_s;
    QString mostrato;
    Qt::TextFormat formato = Qt::RichText;
    RispondiNoAlProssimoMessaggio(mostrato, formato);
    auto &reali = Piattaforma::dialoghi();
    switch (genere) {
    case 0:
        reali.messaggio(nullptr, Piattaforma::TipoMessaggio::Avviso, testo);
        break;
    case 1:
        reali.messaggioSemplice(nullptr, testo);
        break;
    case 2:
        reali.domanda(nullptr, testo);
        break;
    default:
        QCOMPARE(reali.domandaConAnnulla(nullptr, testo), Piattaforma::Risposta::No);
    }
    QCOMPARE(formato, Qt::PlainText);
    QCOMPARE(mostrato, testo);
}

QTEST_MAIN(TestPiattaforma)
#include "tst_platform.moc"
