#include "DialoghiFinti.h"
#include "Fixture.h"
#include "app/Programma.h"
#include "app/TfrmAvvio.h"
#include "archive/RegoleNumeri.h"
#include "card/TfrmMagazzino.h"
#include "lists/TfrmMenuRiepilogo.h"
#include "platform/ErroreGenerale.h"

#include <QLineEdit>
#include <QToolButton>
#include <QtTest>
#include <stdexcept>

class TestAvvio : public QObject {
    Q_OBJECT

  private:
    static void clic(QWidget *finestra, const char *nome) {
        auto *b = finestra->findChild<QToolButton *>(QLatin1String(nome));
        QVERIFY2(b, nome);
        QTest::mouseClick(b, Qt::LeftButton);
    }

  private slots:
    void avvioELanciatore();
    void schedaEApertaVuotaOgniVolta();
    void inventarioEUscita();
    void erroreGenerale();
};

void TestAvvio::avvioELanciatore() {
    CartellaDiProva cartella;
    FinestreProgramma finestre;
    finestre.mostraAvvio();
    auto *avvio = finestre.avvio.get();
    QCOMPARE(avvio->windowTitle(), QStringLiteral(" Quadrelo"));
    QVERIFY(avvio->isVisible());
    QVERIFY(!finestre.magazzino->isVisible());
    QVERIFY(!finestre.menuRiepilogo->isVisible());
    QCOMPARE(finestre.menuRiepilogo->windowTitle(), QStringLiteral(" Quadrelo - Inventario Merce"));
    // Pictures only: nothing on the launcher takes the keyboard focus.
    const auto pulsanti = avvio->findChildren<QToolButton *>();
    QCOMPARE(pulsanti.size(), 9);
    for (auto *b : pulsanti) {
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!b->accessibleName().isEmpty());
    }
    // The process-wide formats are in force once the launcher exists.
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
}

void TestAvvio::schedaEApertaVuotaOgniVolta() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    FinestreProgramma finestre;
    finestre.mostraAvvio();
    auto *avvio = finestre.avvio.get();
    auto *scheda = finestre.magazzino.get();

    for (const char *via : {"imgMagazzino", "btnMagazzino"}) {
        clic(avvio, via);
        QVERIFY(scheda->isVisible());
        QVERIFY(!avvio->isVisible());
        QApplication::setActiveWindow(scheda);
        QVERIFY(QTest::qWaitForWindowActive(scheda));
        auto *codice = scheda->findChild<QLineEdit *>(QStringLiteral("txtCodice"));
        QCOMPARE(codice->text(), QString());
        QCOMPARE(QApplication::focusWidget(), codice);
        codice->setText(QStringLiteral("lasciato a metà"));
        scheda->findChild<QLineEdit *>(QStringLiteral("txtCosto"))->setText(QStringLiteral("9"));
        if (qstrcmp(via, "imgMagazzino") == 0)
            clic(scheda, "btnEsci");
        else
            scheda->close(); // the title-bar button does the same
        QVERIFY(!scheda->isVisible());
        QVERIFY(avvio->isVisible());
    }
    clic(avvio, "imgMagazzino");
    QCOMPARE(scheda->findChild<QLineEdit *>(QStringLiteral("txtCosto"))->text(),
             QStringLiteral("0,00"));
    QVERIFY(dialoghi.mostrati().isEmpty());
}

void TestAvvio::inventarioEUscita() {
    CartellaDiProva cartella;
    FinestreProgramma finestre;
    finestre.mostraAvvio();
    auto *avvio = finestre.avvio.get();
    auto *prompt = finestre.menuRiepilogo.get();
    clic(avvio, "imgInventario");
    QVERIFY(prompt->isVisible());
    QVERIFY(!avvio->isVisible());
    auto *categoria = prompt->findChild<QLineEdit *>(QStringLiteral("txtTipologia"));
    categoria->setText(QStringLiteral("Ferramenta"));
    clic(prompt, "imgEsci");
    QVERIFY(!prompt->isVisible());
    QVERIFY(avvio->isVisible());
    clic(avvio, "btnInventario");
    QCOMPARE(categoria->text(), QString()); // empty at each showing
    prompt->close();
    QVERIFY(avvio->isVisible());

    QSignalSpy fine(avvio, &TfrmAvvio::esci);
    clic(avvio, "imgEsci");
    QCOMPARE(fine.count(), 1);
    // Closing the launcher ends the program too, though nothing else is visible.
    avvio->close();
    QCOMPARE(fine.count(), 2);
}

void TestAvvio::erroreGenerale() {
    DialoghiFinti dialoghi;
    Piattaforma::eseguiProtetto(nullptr, [] { LeggiNumeroObbligatorio(QStringLiteral("abc")); });
    Piattaforma::eseguiProtetto(nullptr, [] { throw std::runtime_error("Già finito."); });
    bool eseguito = false;
    Piattaforma::eseguiProtetto(nullptr, [&] { eseguito = true; });
    QVERIFY(eseguito);
    QCOMPARE(dialoghi.testi(),
             (QStringList{QStringLiteral("'abc' is not a valid floating point value."),
                          QStringLiteral("Già finito.")}));
    QCOMPARE(dialoghi.mostrati().first().genere, DialoghiFinti::Genere::Semplice);
}

QTEST_MAIN(TestAvvio)
#include "tst_app.moc"
