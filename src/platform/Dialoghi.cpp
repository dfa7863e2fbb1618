#include "platform/Dialoghi.h"

#include <QDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace Piattaforma {

namespace {

class DialoghiReali final : public Dialoghi {
  public:
    Risposta messaggio(QWidget *genitore, TipoMessaggio tipo, const QString &testo) override {
        const auto icona = tipo == TipoMessaggio::Avviso   ? QMessageBox::Warning
                           : tipo == TipoMessaggio::Errore ? QMessageBox::Critical
                                                           : QMessageBox::Information;
        QMessageBox box(icona, QStringLiteral(" Quadrelo"), testo,
                        QMessageBox::Ok | QMessageBox::Cancel, genitore);
        return box.exec() == QMessageBox::Ok ? Risposta::Ok : Risposta::Annulla;
    }

    void messaggioSemplice(QWidget *genitore, const QString &testo) override {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral(" Quadrelo"), testo, QMessageBox::Ok,
                        genitore);
        box.exec();
    }

    Risposta domanda(QWidget *genitore, const QString &testo) override {
        QMessageBox box(QMessageBox::Question, QStringLiteral(" Quadrelo"), testo,
                        QMessageBox::Yes | QMessageBox::No, genitore);
        return box.exec() == QMessageBox::No ? Risposta::No : Risposta::Si;
    }

    int esegui(QDialog *finestra) override { return finestra->exec(); }

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

} // namespace Piattaforma
