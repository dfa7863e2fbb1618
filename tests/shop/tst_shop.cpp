#include "DialoghiFinti.h"
#include "Fixture.h"
#include "shop/DatiNegozio.h"
#include "shop/TfrmDatiNegozio.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestNegozio : public QObject {
    Q_OBJECT
  private slots:
    void partitaIva_data();
    void partitaIva();
    void datiScrittiERiletti();
    void finestra();
};

void TestNegozio::partitaIva_data() {
    QTest::addColumn<QString>("partitaIva");
    QTest::addColumn<QString>("errore"); // a part of it; empty when right
    QTest::newRow("giusta") << u"12345678903"_s << QString();
    QTest::newRow("giusta con lo zero davanti") << u"01234567897"_s << QString();
    QTest::newRow("non data") << QString() << QString();
    QTest::newRow("cifra di controllo") << u"12345678901"_s << u"ultima cifra"_s;
    QTest::newRow("corta") << u"1234567890"_s << u"11 cifre (ne ha 10)"_s;
    QTest::newRow("lettere") << u"1234567890A"_s << u"solo cifre"_s;
    QTest::newRow("prefisso") << u"IT12345678903"_s << u"11 cifre"_s;
}

void TestNegozio::partitaIva() {
    QFETCH(QString, partitaIva);
    QFETCH(QString, errore);
    const QString trovato = ErrorePartitaIva(partitaIva);
    if (errore.isEmpty())
        QCOMPARE(trovato, QString());
    else
        QVERIFY2(trovato.contains(errore), qPrintable(trovato));
}

void TestNegozio::datiScrittiERiletti() {
    CartellaDiProva cartella;
    QVERIFY(LeggiDatiNegozio().vuoti());
    const DatiNegozio dati{u"Ferramenta Rossi & C. s.n.c."_s, u"Via Roma 1\n20100 Milano (MI)"_s,
                           u"12345678903"_s, u"02 1234567"_s, u"negozio@rossi.it"_s};
    QVERIFY(ScriviDatiNegozio(dati));
    QCOMPARE(LeggiDatiNegozio(), dati);
    QCOMPARE(dati.righe(), (QStringList{u"Ferramenta Rossi & C. s.n.c."_s, u"Via Roma 1"_s,
                                        u"20100 Milano (MI)"_s, u"P. IVA 12345678903"_s,
                                        u"Tel. 02 1234567"_s, u"negozio@rossi.it"_s}));
    // A backslash and an equals sign in a value come back as they were.
    const DatiNegozio strani{u"A=B \\ C"_s, QString(), QString(), QString(), QString()};
    QVERIFY(ScriviDatiNegozio(strani));
    QCOMPARE(LeggiDatiNegozio(), strani);
    // A file that cannot be written keeps the old data.
    QVERIFY(QDir(cartella.percorso()).mkdir(u"sola lettura"_s));
    const QString bloccato = cartella.percorso(u"sola lettura/Negozio.txt"_s);
    QFile::setPermissions(cartella.percorso(u"sola lettura"_s), QFile::ReadOwner | QFile::ExeOwner);
    if (ScriviDatiNegozio(dati, bloccato)) QSKIP("running with rights over every folder");
    QVERIFY(LeggiDatiNegozio(bloccato).vuoti());
}

void TestNegozio::finestra() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TfrmDatiNegozio finestra;
    finestra.show();
    // Every box has its label as buddy and a name for assistive technology.
    for (QLabel *etichetta : finestra.findChildren<QLabel *>())
        if (etichetta->buddy()) QVERIFY(!etichetta->buddy()->accessibleName().isEmpty());
    QTest::keyClicks(finestra.txtNome, u"Ferramenta Rossi"_s);
    finestra.txtIndirizzo->setPlainText(u"Via Roma 1"_s);
    QTest::keyClicks(finestra.txtPartitaIva, u"12345678901"_s);
    QTest::keyClicks(finestra.txtEmail, u"negozio@rossi.it"_s);
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnSalva"_s), Qt::LeftButton);
    // A wrong partita IVA is said and nothing is written.
    QVERIFY2(dialoghi.ultimo().contains(u"ultima cifra"_s), qPrintable(dialoghi.ultimo()));
    QVERIFY(!QFile::exists(PercorsoDatiNegozio()));
    QVERIFY(finestra.isVisible());
    finestra.txtPartitaIva->setText(u"12345678903"_s);
    QTest::mouseClick(finestra.findChild<QPushButton *>(u"btnSalva"_s), Qt::LeftButton);
    QCOMPARE(finestra.result(), int(QDialog::Accepted));
    const DatiNegozio letti = LeggiDatiNegozio();
    QCOMPARE(letti.nome, u"Ferramenta Rossi"_s);
    QCOMPARE(letti.partitaIva, u"12345678903"_s);
    // Opened again, it shows what was saved.
    TfrmDatiNegozio ancora;
    QCOMPARE(ancora.txtNome->text(), u"Ferramenta Rossi"_s);
    QCOMPARE(ancora.txtIndirizzo->toPlainText(), u"Via Roma 1"_s);
}

QTEST_MAIN(TestNegozio)
#include "tst_shop.moc"
