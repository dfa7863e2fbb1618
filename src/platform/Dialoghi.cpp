#include "platform/Dialoghi.h"

#include "archive/CartellaProgramma.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

namespace Piattaforma {

QString FiltriPerQt(const QStringList &filtri) {
    QStringList risultato;
    for (const QString &filtro : filtri) {
        const qsizetype aperta = filtro.lastIndexOf(u'(');
        if (aperta < 0 || !filtro.endsWith(u')')) {
            risultato << filtro;
            continue;
        }
        QStringList modelli =
            filtro.mid(aperta + 1, filtro.size() - aperta - 2)
                .split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
        QStringList perQt;
        for (const QString &m : modelli) {
            if (m == u"*.*") {
                perQt << QStringLiteral("*");
                continue;
            }
            // Names match case by case here: FOTO.JPG from a camera is a JPEG too.
            perQt << m;
            if (m.toUpper() != m) perQt << m.toUpper();
        }
        risultato << filtro.left(aperta) + u'(' + perQt.join(u' ') + u')';
    }
    return risultato.join(QStringLiteral(";;"));
}

namespace {

// The desktop's open verb starts xdg-open and reports success even when no
// program is set for the type, so the user would wait for nothing. Asked
// first here: false only when the desktop says plainly there is none.
bool ProgrammaAssociato(const QUrl &indirizzo) {
    const QString interrogazione = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (interrogazione.isEmpty()) return true;
    const QString tipo = indirizzo.isLocalFile()
                             ? QMimeDatabase().mimeTypeForFile(indirizzo.toLocalFile()).name()
                             : QStringLiteral("x-scheme-handler/") + indirizzo.scheme().toLower();
    QProcess processo;
    processo.start(interrogazione, {QStringLiteral("query"), QStringLiteral("default"), tipo});
    if (!processo.waitForFinished(5000)) {
        processo.kill();
        processo.waitForFinished(1000);
        return true;
    }
    if (processo.exitStatus() != QProcess::NormalExit) return true;
    return !processo.readAllStandardOutput().trimmed().isEmpty();
}

class DialoghiReali final : public Dialoghi {
  public:
    Risposta messaggio(QWidget *genitore, TipoMessaggio tipo, const QString &testo) override {
        const auto icona = tipo == TipoMessaggio::Avviso   ? QMessageBox::Warning
                           : tipo == TipoMessaggio::Errore ? QMessageBox::Critical
                                                           : QMessageBox::Information;
        QMessageBox box(icona, QStringLiteral(" Quadrelo"), testo,
                        QMessageBox::Ok | QMessageBox::Cancel, genitore);
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Ok ? Risposta::Ok : Risposta::Annulla;
    }

    void messaggioSemplice(QWidget *genitore, const QString &testo) override {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral(" Quadrelo"), testo, QMessageBox::Ok,
                        genitore);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    Risposta domanda(QWidget *genitore, const QString &testo) override {
        QMessageBox box(QMessageBox::Question, QStringLiteral(" Quadrelo"), testo,
                        QMessageBox::Yes | QMessageBox::No, genitore);
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::No ? Risposta::No : Risposta::Si;
    }

    Risposta domandaConAnnulla(QWidget *genitore, const QString &testo) override {
        QMessageBox box(QMessageBox::Question, QStringLiteral(" Quadrelo"), testo,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, genitore);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        const int scelta = box.exec();
        return scelta == QMessageBox::Yes  ? Risposta::Si
               : scelta == QMessageBox::No ? Risposta::No
                                           : Risposta::Annulla;
    }

    int esegui(QDialog *finestra) override {
        const int esito = finestra->exec();
        // The window it was opened from takes the keyboard back, whichever
        // window the window manager activates once it closes.
        if (QWidget *genitore = finestra->parentWidget()) {
            QWidget *sotto = genitore->window();
            if (sotto->isVisible()) {
                sotto->raise();
                sotto->activateWindow();
            }
        }
        return esito;
    }

    bool dialogoStampa(QWidget *genitore, QPrinter *stampante) override {
        QPrintDialog dialogo(stampante, genitore);
        dialogo.setOptions(
            QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintPageRange |
            QAbstractPrintDialog::PrintCurrentPage | QAbstractPrintDialog::PrintToFile |
            QAbstractPrintDialog::PrintShowPageSize);
        // The caller puts the document's pages in the printer's range.
        if (stampante->toPage() > 0) dialogo.setMinMax(1, stampante->toPage());
        return dialogo.exec() == QDialog::Accepted;
    }

    QString scegliFileDaAprire(QWidget *genitore, const QString &titolo, const QStringList &filtri,
                               const QString &cartella) override {
        QFileDialog dialogo(genitore, titolo, cartella.isEmpty() ? CartellaProgramma() : cartella,
                            FiltriPerQt(filtri));
        dialogo.setFileMode(QFileDialog::ExistingFile);
        dialogo.setAcceptMode(QFileDialog::AcceptOpen);
        return dialogo.exec() == QDialog::Accepted ? dialogo.selectedFiles().value(0) : QString();
    }

    QString scegliCartella(QWidget *genitore, const QString &titolo,
                           const QString &iniziale) override {
        QFileDialog dialogo(genitore, titolo, iniziale);
        dialogo.setFileMode(QFileDialog::Directory);
        dialogo.setOption(QFileDialog::ShowDirsOnly);
        return dialogo.exec() == QDialog::Accepted ? dialogo.selectedFiles().value(0) : QString();
    }

    QString scegliFileDaSalvare(QWidget *genitore, const QString &titolo, const QStringList &filtri,
                                const QString &nome) override {
        QFileDialog dialogo(genitore, titolo, CartellaProgramma(), FiltriPerQt(filtri));
        dialogo.setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without an extension gets the preset name's, so the
        // file is written in the format offered.
        const QString suffisso = QFileInfo(nome).suffix();
        if (!suffisso.isEmpty()) dialogo.setDefaultSuffix(suffisso);
        dialogo.selectFile(nome);
        return dialogo.exec() == QDialog::Accepted ? dialogo.selectedFiles().value(0) : QString();
    }

    bool apriConDesktop(const QUrl &indirizzo) override {
        if (!ProgrammaAssociato(indirizzo)) return false;
        return QDesktopServices::openUrl(indirizzo);
    }
};

DialoghiReali reali;
Dialoghi *attuali = nullptr;

} // namespace

Dialoghi &dialoghi() {
    return attuali ? *attuali : reali;
}

void impostaDialoghi(Dialoghi *sostituto) {
    attuali = sostituto;
}

bool RifiutaFileDatiProgramma(QWidget *genitore, const QString &percorso) {
    if (!FileDatiProgramma(percorso)) return false;
    dialoghi().messaggio(genitore, TipoMessaggio::Avviso,
                         QStringLiteral("Attenzione: \"") + QDir::toNativeSeparators(percorso) +
                             QStringLiteral("\" contiene i dati di Quadrelo e non può essere "
                                            "sostituito. Scegliere un altro nome o un'altra "
                                            "cartella."));
    return true;
}

QString ScegliFileDaSalvare(QWidget *genitore, const QString &titolo, const QStringList &filtri,
                            const QString &nome) {
    for (;;) {
        const QString scelto = dialoghi().scegliFileDaSalvare(genitore, titolo, filtri, nome);
        if (!RifiutaFileDatiProgramma(genitore, scelto)) return scelto;
    }
}

QString ScegliCartellaDaScrivere(QWidget *genitore, const QString &titolo, const QString &iniziale,
                                 const QString &ammessa) {
    for (;;) {
        const QString scelta = dialoghi().scegliCartella(genitore, titolo, iniziale);
        if (scelta.isEmpty()) return scelta;
        if (!ammessa.isEmpty() &&
            QFileInfo(scelta).canonicalFilePath() == QFileInfo(ammessa).canonicalFilePath())
            return scelta;
        if (!RifiutaFileDatiProgramma(genitore, scelta)) return scelta;
    }
}

namespace {

bool ApriFile(const QString &percorso, QWidget *genitore) {
    const QString mostrato = QDir::toNativeSeparators(QFileInfo(percorso).absoluteFilePath());
    if (!QFileInfo(percorso).isFile()) {
        dialoghi().messaggio(genitore, TipoMessaggio::Avviso,
                             QStringLiteral("Attenzione: il file \"") + mostrato +
                                 QStringLiteral("\" non esiste."));
        return false;
    }
    if (dialoghi().apriConDesktop(QUrl::fromLocalFile(percorso))) return true;
    dialoghi().messaggio(genitore, TipoMessaggio::Avviso,
                         QStringLiteral("Attenzione: non è stato possibile aprire il file \"") +
                             mostrato +
                             QStringLiteral("\". Nessun programma del sistema risulta associato "
                                            "a questo tipo di file: il file è stato scritto e "
                                            "può essere aperto a mano da quella cartella."));
    return false;
}

} // namespace

bool ApriFileConDesktop(const QString &percorso, QWidget *genitore) {
    if (percorso.isEmpty()) return false;
    return ApriFile(percorso, genitore);
}

bool ApriConDesktop(const QString &destinazione, QWidget *genitore) {
    QString testo = destinazione.trimmed();
    if (testo.size() >= 2 && testo.startsWith(u'"') && testo.endsWith(u'"'))
        testo = testo.mid(1, testo.size() - 2);
    if (testo.isEmpty()) return false;
    // A link keeps its scheme; anything else is a path on this machine. A mail
    // link's subject and body carry plain blanks, which the tolerant reading
    // takes and encodes for the desktop.
    const QUrl link(testo, QUrl::TolerantMode);
    const QString schema = link.scheme().toLower();
    const bool eLink =
        link.isValid() && (schema == QLatin1String("http") || schema == QLatin1String("https") ||
                           schema == QLatin1String("mailto"));
    if (!eLink) return ApriFile(testo, genitore);
    if (dialoghi().apriConDesktop(link)) return true;
    dialoghi().messaggio(genitore, TipoMessaggio::Avviso,
                         QStringLiteral("Attenzione: non è stato possibile aprire \"") + testo +
                             QStringLiteral("\". Nessun programma del sistema risulta associato "
                                            "a questo indirizzo."));
    return false;
}

} // namespace Piattaforma
