#include "widgets/Controlli.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

void attiva(QWidget *w) {
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT

  private slots:
    void focusSottoUnPopup();
    void valoreAccessibile();
    void invioSulPulsante();
};

void TestWidgets::focusSottoUnPopup() {
    // A list or menu opened over a box takes the focus for a moment: the box
    // keeps its frame and is not left.
    QWidget finestra;
    auto *casella = new QLineEdit(&finestra);
    auto *altra = new QLineEdit(&finestra);
    new QVBoxLayout(&finestra);
    finestra.layout()->addWidget(casella);
    finestra.layout()->addWidget(altra);
    auto *riquadro = RiquadroEvidenza::perCasella(u"effCasella"_s, casella);
    UscitaFocus uscita(&finestra);
    QSignalSpy lasciati(&uscita, &UscitaFocus::lasciato);
    finestra.show();
    attiva(&finestra);
    casella->setFocus();
    QVERIFY(riquadro->isVisible());

    QWidget popup(&finestra, Qt::Popup);
    auto *elenco = new QLineEdit(&popup);
    popup.show();
    elenco->setFocus(Qt::PopupFocusReason);
    QCOMPARE(QApplication::focusWidget(), elenco);
    QVERIFY(riquadro->isVisible());
    QCOMPARE(lasciati.count(), 0);
    popup.close();
    casella->setFocus();
    // Nor does the moment when no window of the program is active.
    QApplication::setActiveWindow(nullptr);
    QCOMPARE(QApplication::focusWidget(), nullptr);
    attiva(&finestra);
    QCOMPARE(QApplication::focusWidget(), casella);
    QCOMPARE(lasciati.count(), 0);

    altra->setFocus();
    QVERIFY(!riquadro->isVisible());
    QCOMPARE(lasciati.count(), 1);
    QCOMPARE(lasciati.at(0).at(0).value<QWidget *>(), casella);
}

void TestWidgets::valoreAccessibile() {
    // Also a label that had a text, and so a plain interface, before.
    QLabel conta(u"12"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(&conta)->text(QAccessible::Name), u"12"_s);
    conta.setAccessibleName(u"Schede"_s);
    ValoreAccessibile(&conta, u"Schede trovate"_s);
    auto nome = [&] {
        return QAccessible::queryAccessibleInterface(&conta)->text(QAccessible::Name);
    };
    QCOMPARE(nome(), u"Schede trovate: 12"_s);
    conta.setText(u"  7 "_s);
    QCOMPARE(nome(), u"Schede trovate: 7"_s);
    conta.clear();
    QCOMPARE(nome(), u"Schede trovate"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(&conta)->role(), QAccessible::StaticText);
}

void TestWidgets::invioSulPulsante() {
    QDialog finestra;
    auto *casella = new QLineEdit(&finestra);
    auto *premi = new QPushButton(u"Calcola"_s, &finestra);
    premi->setAutoDefault(false);
    auto *strumento = new QToolButton(&finestra);
    strumento->setText(u"Chiudi"_s);
    auto *spunta = new QCheckBox(u"Pagato"_s, &finestra);
    InvioPremePulsante(&finestra);
    QSignalSpy calcola(premi, &QPushButton::clicked);
    QSignalSpy chiudi(strumento, &QToolButton::clicked);
    finestra.show();
    attiva(&finestra);

    premi->setFocus();
    QTest::keyClick(premi, Qt::Key_Return);
    strumento->setFocus();
    QTest::keyClick(strumento, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(calcola.count(), 1);
    QCOMPARE(chiudi.count(), 1);
    // Not with a modifier, not a tick, not from a box.
    QTest::keyClick(strumento, Qt::Key_Return, Qt::ShiftModifier);
    spunta->setFocus();
    QTest::keyClick(spunta, Qt::Key_Return);
    QVERIFY(!spunta->isChecked());
    casella->setFocus();
    QTest::keyClick(casella, Qt::Key_Return);
    QCOMPARE(calcola.count(), 1);
    QCOMPARE(chiudi.count(), 1);
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
