#include "DialoghiFinti.h"
#include "Fixture.h"
#include "platform/Dialoghi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    void desktopSenzaProgramma();
    void nomiDeiDatiRifiutati_data();
    void nomiDeiDatiRifiutati();
};

void TestPiattaforma::desktopSenzaProgramma() {
    // The real open verb on a desktop that knows no program for PDF files or
    // mail links (xdg-mime answers nothing): refused, so the user is told,
    // rather than reported as opened.
    QTemporaryDir cartella;
    const QString script = cartella.filePath(u"xdg-mime"_s);
    Scrivi(script, "#!/bin/sh\nexit 0\n");
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray percorsoPrima = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(cartella.path()) + ':' + percorsoPrima);
    const QString pdf = cartella.filePath(u"Magazzino.pdf"_s);
    Scrivi(pdf, "%PDF-1.4\n");
    auto &reali = Piattaforma::dialoghi();
    const bool file = reali.apriConDesktop(QUrl::fromLocalFile(pdf));
    const bool posta = reali.apriConDesktop(QUrl(u"mailto:a@b.it"_s));
    qputenv("PATH", percorsoPrima);
    QVERIFY(!file);
    QVERIFY(!posta);
}

void TestPiattaforma::nomiDeiDatiRifiutati_data() {
    QTest::addColumn<QString>("nome"); // in the program folder
    QTest::addColumn<bool>("rifiutato");
    for (const char *nome : {"Magazzino.pro", "Magazzino.pro.intento", "Movimenti.csv",
                             "unins000.dll", "1.jpg", "12.jpg", "Backup.ini", "ImportaCsv.ini",
                             "Documenti_Allegati", "Schede eliminate", "Ordini", "Backup"})
        QTest::newRow(nome) << QString::fromUtf8(nome) << true;
    for (const char *nome : {"Magazzino.csv", "Movimenti 2026-12.csv", "Foto.jpg", "012.jpg",
                             "Ordini/Ordini 2026-12-11.csv", "Backup/Magazzino.pro"})
        QTest::newRow(nome) << QString::fromUtf8(nome) << false;
}

void TestPiattaforma::nomiDeiDatiRifiutati() {
    QFETCH(QString, nome);
    QFETCH(bool, rifiutato);
    CartellaDiProva cartella;
    for (const char *sotto : {"Documenti_Allegati", "Schede eliminate", "Ordini", "Backup"})
        QVERIFY(QDir(cartella.percorso()).mkdir(QString::fromUtf8(sotto)));
    DialoghiFinti dialoghi;
    const QString scelto = cartella.percorso(nome);
    const QString altro = cartella.percorso(u"Esportazione.csv"_s);
    auto atteso = [&] { return rifiutato ? altro : scelto; };

    // The save chooser says why and comes back for another name.
    dialoghi.allaProssimaScelta(scelto);
    dialoghi.allaProssimaScelta(altro);
    QCOMPARE(Piattaforma::ScegliFileDaSalvare(nullptr, u"Esporta"_s, {}, u"a.csv"_s), atteso());
    QCOMPARE(dialoghi.sceltePresentate().size(), rifiutato ? 2 : 1);
    QCOMPARE(dialoghi.mostrati().size(), rifiutato ? 1 : 0);
    if (rifiutato) {
        QCOMPARE(dialoghi.mostrati()[0].genere, Genere::Avviso);
        QVERIFY2(dialoghi.ultimo().contains(u"contiene i dati di Quadrelo"_s),
                 qPrintable(dialoghi.ultimo()));
    }

    // A print to a file is refused the same way.
    dialoghi.azzera();
    QCOMPARE(Piattaforma::RifiutaFileDatiProgramma(nullptr, scelto), rifiutato);
    QCOMPARE(dialoghi.mostrati().size(), rifiutato ? 1 : 0);

    // A folder to write into: the data folders are refused, but the one let in.
    if (!QFileInfo(scelto).isDir()) return;
    dialoghi.azzera();
    dialoghi.allaProssimaScelta(scelto);
    QCOMPARE(Piattaforma::ScegliCartellaDaScrivere(nullptr, u"Cartella"_s, QString()),
             rifiutato ? QString() : scelto);
    dialoghi.allaProssimaScelta(scelto);
    QCOMPARE(Piattaforma::ScegliCartellaDaScrivere(nullptr, u"Cartella"_s, QString(), scelto),
             scelto);
}

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
           "del sistema risulta associato a questo tipo di file: il file è stato scritto e può "
           "essere aperto a mano da quella cartella."_s;
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
