#include "DialoghiFinti.h"
#include "Fixture.h"
#include "access/TfrmCambiaPassword.h"
#include "access/TfrmPassword.h"
#include "app/Programma.h"
#include "app/TfrmAvvio.h"
#include "archive/Archivio.h"
#include "archive/IntentoArchivio.h"
#include "archive/RegoleNumeri.h"
#include "card/TfrmMagazzino.h"
#include "lists/TfrmMenuRiepilogo.h"
#include "platform/ErroreGenerale.h"
#include "widgets/Controlli.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

class TestAvvio : public QObject {
    Q_OBJECT

  private:
    static void clic(QWidget *finestra, const char *nome) {
        auto *b = finestra->findChild<QToolButton *>(QLatin1String(nome));
        QVERIFY2(b, nome);
        QTest::mouseClick(b, Qt::LeftButton);
    }

  private slots:
    void inclusioniSoloVersoIlBasso();
    void avvioConPassword();
    void avvioELanciatore();
    void operazioneInterrottaAnnunciata();
    void schedaEApertaVuotaOgniVolta();
    void inventarioEUscita();
    void erroreGenerale();
    void dialoghiDiQtInItaliano();
    void lanciatoreDaTastiera_data();
    void lanciatoreDaTastiera();
};

void TestAvvio::inclusioniSoloVersoIlBasso() {
    // Each folder of the program includes only folders below it: no two
    // folders lean on each other, directly or through others.
    const QDir sorgenti(QStringLiteral(QUADRELO_SORGENTI));
    QMap<QString, QSet<QString>> sotto;
    static const QRegularExpression inclusione(QStringLiteral("^#include \"([a-z]+)/"),
                                               QRegularExpression::MultilineOption);
    for (const QString &cartella : sorgenti.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QSet<QString> &usate = sotto[cartella];
        for (const QFileInfo &file : QDir(sorgenti.filePath(cartella)).entryInfoList(QDir::Files)) {
            QFile f(file.filePath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString testo = QString::fromUtf8(f.readAll());
            for (auto it = inclusione.globalMatch(testo); it.hasNext();) {
                const QString altra = it.next().captured(1);
                if (altra != cartella) usate.insert(altra);
            }
        }
    }
    QVERIFY(sotto.size() > 10);
    // A walk along the includes that comes back to a folder on its path is a cycle.
    QStringList percorso;
    QSet<QString> finite;
    QString ciclo;
    std::function<void(const QString &)> visita = [&](const QString &cartella) {
        if (!ciclo.isEmpty() || finite.contains(cartella)) return;
        if (percorso.contains(cartella)) {
            ciclo = (percorso.mid(percorso.indexOf(cartella)) << cartella).join(u" -> "_s);
            return;
        }
        percorso << cartella;
        for (const QString &altra : sotto.value(cartella))
            visita(altra);
        percorso.removeLast();
        finite.insert(cartella);
    };
    for (const QString &cartella : sotto.keys())
        visita(cartella);
    QVERIFY2(ciclo.isEmpty(), qPrintable(ciclo));
}

void TestAvvio::avvioConPassword() {
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    QFile store(cartella.percorso(QStringLiteral("unins000.dll")));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("[Accesso]\r\nValore=500840A064C7DEC4B459067FF3C8\r\n");
    store.close();
    FinestreProgramma finestre;
    finestre.mostraPassword();
    auto *password = finestre.password.get();
    const QList<QWidget *> altre = {finestre.avvio.get(), finestre.cambiaPassword.get(),
                                    finestre.magazzino.get(), finestre.menuRiepilogo.get()};
    QVERIFY(password->isVisible());
    for (auto *w : altre)
        QVERIFY(!w->isVisible());
    auto *casella = password->findChild<QLineEdit *>(QStringLiteral("txtPassword"));

    // To the change window and back: the password window returns empty.
    casella->setText(QStringLiteral("qualcosa"));
    QTest::mouseClick(password->findChild<QPushButton *>(QStringLiteral("btnCambiaPassword")),
                      Qt::LeftButton);
    QVERIFY(finestre.cambiaPassword->isVisible());
    QVERIFY(!password->isVisible());
    QTest::mouseClick(finestre.cambiaPassword->findChild<QPushButton *>(QStringLiteral("cmdEsci")),
                      Qt::LeftButton);
    QVERIFY(!finestre.cambiaPassword->isVisible());
    QVERIFY(password->isVisible());
    QCOMPARE(casella->text(), QString());

    // A change brings the password window back, and only the new one opens.
    QTest::mouseClick(password->findChild<QPushButton *>(QStringLiteral("btnCambiaPassword")),
                      Qt::LeftButton);
    auto *cambio = finestre.cambiaPassword.get();
    for (const char *nome : {"txtPasswordOld", "txtPasswordNew", "txtConferma"})
        QTest::keyClicks(cambio->findChild<QLineEdit *>(QLatin1String(nome)),
                         qstrcmp(nome, "txtPasswordOld") == 0 ? QStringLiteral("bilanciopronto")
                                                              : QStringLiteral("cassa7"));
    QTest::mouseClick(cambio->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    QCOMPARE(dialoghi.ultimo(), QStringLiteral("Modifica della password completata con successo."));
    QVERIFY(!cambio->isVisible());
    QVERIFY(password->isVisible());
    QCOMPARE(casella->text(), QString());
    QTest::keyClicks(casella, QStringLiteral("bilanciopronto"));
    QTest::keyClick(casella, Qt::Key_Return);
    QCOMPARE(dialoghi.ultimo(), QStringLiteral("Attenzione: password errata."));
    QVERIFY(!finestre.avvio->isVisible());
    dialoghi.azzera();

    // The right password opens the launcher, and only then.
    QTest::keyClicks(casella, QStringLiteral("CASSA7"));
    QTest::keyClick(casella, Qt::Key_Return);
    QVERIFY(finestre.avvio->isVisible());
    QVERIFY(!password->isVisible());
    QVERIFY(dialoghi.mostrati().isEmpty());
    // Closing the launcher ends the program though the main window is hidden.
    QSignalSpy fine(finestre.avvio.get(), &TfrmAvvio::esci);
    finestre.avvio->close();
    QCOMPARE(fine.count(), 1);

    // The password window's exit ends the program.
    QSignalSpy uscita(password, &TfrmPassword::esci);
    password->show();
    QTest::mouseClick(password->findChild<QPushButton *>(QStringLiteral("cmdEsci")),
                      Qt::LeftButton);
    QCOMPARE(uscita.count(), 1);
    QVERIFY(!password->isVisible());
}

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
    // Every picture is reached with Tab, in reading order; a click leaves the focus alone.
    const auto pulsanti = avvio->findChildren<QToolButton *>();
    QCOMPARE(pulsanti.size(), 10);
    for (auto *b : pulsanti) {
        QCOMPARE(b->focusPolicy(), Qt::TabFocus);
        QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!b->accessibleName().isEmpty());
    }
    QApplication::setActiveWindow(avvio);
    QVERIFY(QTest::qWaitForWindowActive(avvio));
    QCOMPARE(QApplication::focusWidget()->objectName(), u"imgMagazzino"_s);
    QStringList visti;
    for (int i = 0; i < 15; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visti << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visti,
             (QStringList{u"btnMagazzino"_s, u"imgInventario"_s, u"btnInventario"_s,
                          u"imgCopyright"_s, u"btnMovimenti"_s, u"imgSito"_s, u"btnBackup"_s,
                          u"imgEsci"_s, u"imgInfo"_s, u"btnNegozio"_s, u"btnArchivioServer"_s,
                          u"btnFattura"_s, u"btnConteggio"_s, u"imgGuida"_s, u"imgMagazzino"_s}));
    // The commands added to the bottom row look alike: one size, one look,
    // a name each.
    const auto *movimenti = avvio->findChild<QAbstractButton *>(u"btnMovimenti"_s);
    const auto *backup = avvio->findChild<QAbstractButton *>(u"btnBackup"_s);
    QCOMPARE(movimenti->size(), backup->size());
    QCOMPARE(movimenti->y(), backup->y());
    QCOMPARE(movimenti->styleSheet(), backup->styleSheet());
    QCOMPARE(movimenti->cursor().shape(), backup->cursor().shape());
    QCOMPARE(movimenti->accessibleName(), movimenti->text());
    QCOMPARE(backup->accessibleName(), backup->text());
    // The process-wide formats are in force once the launcher exists.
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
}

void TestAvvio::operazioneInterrottaAnnunciata() {
    // An import cut short left a card and its intent record: the start puts
    // the archive back and says so once.
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    const QByteArray prima = ArchivioDi({SchedaNumero(1)});
    cartella.scriviArchivio(prima + ArchivioDi({SchedaNumero(2)}));
    IntentoArchivio intento(cartella.archivio());
    QVERIFY(intento.inizia(prima.size()));
    QVERIFY(intento.conferma());
    FinestreProgramma finestre;
    finestre.mostraAvvio();
    QCOMPARE(dialoghi.testi(), QStringList{MessaggioRipristino()});
    QCOMPARE(cartella.leggiArchivio(), prima);
    finestre.mostraAvvio();
    QCOMPARE(dialoghi.testi().size(), 1);
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
        // One yellow frame, though the focus was in the notes when the window closed.
        QStringList riquadri;
        for (auto *r : scheda->findChildren<RiquadroEvidenza *>())
            if (r->isVisible()) riquadri << r->objectName();
        QCOMPARE(riquadri, QStringList{QStringLiteral("effCodice")});
        codice->setText(QStringLiteral("lasciato a metà"));
        scheda->findChild<QLineEdit *>(QStringLiteral("txtCosto"))->setText(QStringLiteral("9"));
        scheda->findChild<QLineEdit *>(QStringLiteral("txtNote"))->setFocus();
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
    // Each time the card left half-typed was offered for saving (answered No).
    QCOMPARE(dialoghi.testi(), QStringList(2, QStringLiteral("Salvare le modifiche alla scheda?")));
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

void TestAvvio::dialoghiDiQtInItaliano() {
    // The tests run with an English system language.
    auto pulsanti = [] {
        QMessageBox domanda(QMessageBox::Question, QString(), QString(),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QStringList testi;
        for (auto tipo : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            testi << domanda.button(tipo)->text().remove(u'&');
        return testi;
    };
    QTemporaryDir vuota;
    QVERIFY(!CaricaTraduzioniQt(vuota.path())); // missing: the program goes on
    QCOMPARE(pulsanti(), (QStringList{u"Yes"_s, u"No"_s, u"Cancel"_s}));

    QVERIFY2(CaricaTraduzioniQt(), "qt6-translations-l10n is not installed");
    QCOMPARE(pulsanti(), (QStringList{u"Sì"_s, u"No"_s, u"Annulla"_s}));
    QPrinter stampante;
    QPrintDialog stampa(&stampante);
    QCOMPARE(stampa.windowTitle(), u"Stampa"_s);
    // What Qt's catalogue lacks, the program supplies.
    QCOMPARE(stampa.findChild<QAbstractButton *>(u"pagesRadioButton"_s)->text(), u"Pagine"_s);
    QCOMPARE(stampa.findChild<QGroupBox *>(u"duplex"_s)->title(), u"Stampa fronte/retro"_s);

    // The file chooser opens in the program folder and lists it in Italian:
    // a folder's type, a file's size and date.
    CartellaDiProva cartella;
    QVERIFY(QDir(cartella.percorso()).mkdir(u"Documenti_Allegati"_s));
    QFile file(cartella.percorso(u"listino.csv"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(953, 'x'));
    // The bytes must be on disk before the time is set, or writing them
    // later makes the time "now" again.
    QVERIFY(file.flush());
    file.setFileTime(QDateTime(QDate(2026, 12, 10), QTime(15, 1)),
                     QFileDevice::FileModificationTime);
    file.close();
    QString inizio;
    QStringList righe;
    QTimer::singleShot(0, [&] {
        auto *dialogo = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialogo) return;
        inizio = dialogo->directory().absolutePath();
        auto *vista = dialogo->findChild<QTreeView *>(u"treeView"_s);
        QTRY_COMPARE(vista->model()->rowCount(vista->rootIndex()), 2);
        for (int r = 0; r < 2; ++r) {
            QStringList celle;
            for (int c = 0; c < 4; ++c)
                celle << vista->model()->index(r, c, vista->rootIndex()).data().toString();
            righe << celle.join(u'|');
        }
        dialogo->reject();
    });
    Piattaforma::dialoghi().scegliFileDaAprire(nullptr, u"Scegli"_s, {u"Tutti i file (*)"_s});
    QCOMPARE(inizio, QDir(cartella.percorso()).absolutePath());
    QCOMPARE(righe.size(), 2);
    QVERIFY2(righe[0].startsWith(u"Documenti_Allegati||Cartella|"_s), qPrintable(righe[0]));
    QVERIFY2(righe[1].startsWith(u"listino.csv|953 byte|"_s), qPrintable(righe[1]));
    QVERIFY2(righe[1].contains(u"|10/12/26"_s) && righe[1].endsWith(u"15:01"_s),
             qPrintable(righe[1]));

    // Given a folder, the open chooser starts there instead.
    inizio.clear();
    QTimer::singleShot(0, [&] {
        auto *dialogo = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialogo) return;
        inizio = dialogo->directory().absolutePath();
        dialogo->reject();
    });
    const QString scelto = Piattaforma::dialoghi().scegliFileDaAprire(
        nullptr, u"Scegli"_s, {u"Tutti i file (*)"_s}, cartella.percorso(u"Documenti_Allegati"_s));
    QCOMPARE(scelto, QString());
    QCOMPARE(inizio, QDir(cartella.percorso(u"Documenti_Allegati"_s)).absolutePath());
}

void TestAvvio::lanciatoreDaTastiera_data() {
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<int>("tasto");
    QTest::addColumn<QString>("finestra"); // caption of the window it opens, if any
    QTest::addColumn<QString>("aperto");   // what it hands to the desktop, if anything
    QTest::newRow("informazioni, Invio")
        << u"imgInfo"_s << int(Qt::Key_Return) << u" Informazioni su Quadrelo"_s << QString();
    QTest::newRow("guida, Spazio") << u"imgGuida"_s << int(Qt::Key_Space)
                                   << u" Guida all'utilizzo del software"_s << QString();
    QTest::newRow("riconoscimenti, Invio del tastierino")
        << u"imgCopyright"_s << int(Qt::Key_Enter) << u" Quadrelo - Realizzato da "_s << QString();
    QTest::newRow("sito, Invio") << u"imgSito"_s << int(Qt::Key_Return) << QString()
                                 << u"www.quadrelo.it"_s;
    QTest::newRow("movimenti, Invio")
        << u"btnMovimenti"_s << int(Qt::Key_Return) << u" Movimenti per periodo"_s << QString();
    QTest::newRow("movimenti, Spazio")
        << u"btnMovimenti"_s << int(Qt::Key_Space) << u" Movimenti per periodo"_s << QString();
    QTest::newRow("backup, Invio del tastierino")
        << u"btnBackup"_s << int(Qt::Key_Enter) << u" Backup"_s << QString();
}

void TestAvvio::lanciatoreDaTastiera() {
    QFETCH(QString, pulsante);
    QFETCH(int, tasto);
    QFETCH(QString, finestra);
    QFETCH(QString, aperto);
    CartellaDiProva cartella;
    DialoghiFinti dialoghi;
    TfrmAvvio avvio;
    avvio.show();
    QApplication::setActiveWindow(&avvio);
    QVERIFY(QTest::qWaitForWindowActive(&avvio));
    QString vista;
    if (!finestra.isEmpty())
        dialoghi.allaProssimaFinestra([&](QDialog *d) {
            vista = d->windowTitle();
            d->reject();
        });
    auto *b = avvio.findChild<QAbstractButton *>(pulsante);
    b->setFocus(Qt::TabFocusReason);
    QTest::keyClick(b, Qt::Key(tasto));
    QVERIFY(vista.startsWith(finestra));
    QCOMPARE(vista.isEmpty(), finestra.isEmpty());
    QCOMPARE(dialoghi.aperti().size(), aperto.isEmpty() ? 0 : 1);
    if (!aperto.isEmpty()) QVERIFY(dialoghi.aperti().first().toString().contains(aperto));
    // Enter on the exit picture ends the program.
    QSignalSpy fine(&avvio, &TfrmAvvio::esci);
    avvio.findChild<QToolButton *>(u"imgEsci"_s)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(fine.count(), 1);
}

QTEST_MAIN(TestAvvio)
#include "tst_app.moc"
