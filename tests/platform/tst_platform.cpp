#include "DialoghiFinti.h"
#include "platform/Dialoghi.h"

#include <QTest>
#include <QUrl>

class TestPiattaforma : public QObject {
    Q_OBJECT
  private slots:
    void apriConDesktop_data();
    void apriConDesktop();
};

void TestPiattaforma::apriConDesktop_data() {
    QTest::addColumn<QString>("destinazione");
    QTest::addColumn<QUrl>("aperto");
    QTest::newRow("percorso tra virgolette")
        << QStringLiteral("\"/home/negozio/Quadrelo/Documenti_Allegati/Listino 2026.pdf\"")
        << QUrl::fromLocalFile(
               QStringLiteral("/home/negozio/Quadrelo/Documenti_Allegati/Listino 2026.pdf"));
    // A name that a shell would run stays a plain file name.
    QTest::newRow("nome con comandi")
        << QStringLiteral("\"/tmp/a; rm -rf ~ $(id).pdf\"")
        << QUrl::fromLocalFile(QStringLiteral("/tmp/a; rm -rf ~ $(id).pdf"));
    QTest::newRow("sito") << QStringLiteral("https://www.quadrelo.it")
                          << QUrl(QStringLiteral("https://www.quadrelo.it"));
    QTest::newRow("posta") << QStringLiteral("mailto:assistenza@quadrelo.it?subject=Quadrelo")
                           << QUrl(
                                  QStringLiteral("mailto:assistenza@quadrelo.it?subject=Quadrelo"));
    // Blanks in the subject and body stay a mail link, not a file name.
    QTest::newRow("posta con spazi")
        << QStringLiteral("\"mailto:a@b.it?subject=Software Quadrelo&body=Salve, grazie:\"")
        << QUrl::fromEncoded("mailto:a@b.it?subject=Software%20Quadrelo&body=Salve,%20grazie:");
}

void TestPiattaforma::apriConDesktop() {
    QFETCH(QString, destinazione);
    QFETCH(QUrl, aperto);
    DialoghiFinti dialoghi;
    Piattaforma::ApriConDesktop(destinazione);
    QCOMPARE(dialoghi.aperti(), QList<QUrl>{aperto});
}

QTEST_MAIN(TestPiattaforma)
#include "tst_platform.moc"
