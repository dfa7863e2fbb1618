#include "access/TfrmCambiaPassword.h"

#include "access/DepositoPassword.h"
#include "access/Intestazione.h"
#include "access/PezziAccesso.h"
#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace PezziAccesso;

namespace {

const QString ERRORE_MODIFICA =
    QStringLiteral("Attenzione: si è verificato un errore durante la procedura di modifica della "
                   "password. Si consiglia di reinstallare il software.");

void avvisa(QWidget *finestra, const QString &testo) {
    Piattaforma::dialoghi().messaggioSemplice(finestra, testo);
}

} // namespace

TfrmCambiaPassword::TfrmCambiaPassword(QWidget *genitore)
    : QWidget(genitore, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfrmCambiaPassword"));
    setWindowTitle(QStringLiteral(" Cambia password"));
    setWindowIcon(QIcon(QStringLiteral(":/quadrelo.svg")));
    setFixedSize(411, 418);

    CreaIntestazione(this, QRect(29, 12, 353, 148), QStringLiteral("lucchetto"),
                     QStringLiteral("Cambia password"),
                     {QStringLiteral("Compila i campi sottostanti e premi OK per sostituire la "
                                     "password in uso con quella nuova.")},
                     true);
    struct Riga {
        const char *etichetta;
        const char *testo;
        const char *casella;
        const char *evidenza;
        const char *nome;
    };
    const Riga righe[] = {
        {"lblRigo05", "Vecchia password:", "txtPasswordOld", "effPasswordOld", "Vecchia password"},
        {"lblRigo06", "Nuova password:", "txtPasswordNew", "effPasswordNew", "Nuova password"},
        {"lblRigo07", "Conferma nuova password:", "txtConferma", "effConferma",
         "Conferma nuova password"},
    };
    QLineEdit *caselle[3];
    int y = 168;
    for (int i = 0; i < 3; ++i) {
        auto *l = etichetta(this, QLatin1String(righe[i].etichetta),
                            QString::fromUtf8(righe[i].testo), QRect(29, y, 353, 22));
        caselle[i] = crea(this, QLatin1String(righe[i].casella), QLatin1String(righe[i].evidenza),
                          QString::fromUtf8(righe[i].nome), QRect(33, y + 24, 345, 34));
        l->setBuddy(caselle[i]);
        connect(caselle[i], &QLineEdit::textChanged, this, &TfrmCambiaPassword::aggiornaOK);
        y += 66;
    }
    m_txtPasswordOld = caselle[0];
    m_txtPasswordNew = caselle[1];
    m_txtConferma = caselle[2];
    // Enter moves round the three boxes; only OK confirms the change.
    for (int i = 0; i < 3; ++i) {
        QLineEdit *prossima = caselle[(i + 1) % 3];
        connect(caselle[i], &QLineEdit::returnPressed, prossima,
                [prossima] { prossima->setFocus(Qt::TabFocusReason); });
    }

    auto *cmdEsci = pulsante(this, QStringLiteral("cmdEsci"), QStringLiteral("Chiudi"),
                             QRect(29, 370, 170, 36));
    m_cmdOK =
        pulsante(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), QRect(212, 370, 170, 36));
    m_cmdOK->setEnabled(false);
    m_lblMemory = new QLabel(this);
    m_lblMemory->setObjectName(QStringLiteral("lblMemory"));
    m_lblMemory->hide();

    setTabOrder(m_txtPasswordOld, m_txtPasswordNew);
    setTabOrder(m_txtPasswordNew, m_txtConferma);
    setTabOrder(m_txtConferma, cmdEsci);
    setTabOrder(cmdEsci, m_cmdOK);

    connect(m_cmdOK, &QPushButton::clicked, this, &TfrmCambiaPassword::cmdOKClick);
    connect(cmdEsci, &QPushButton::clicked, this, &TfrmCambiaPassword::cmdEsciClick);
}

void TfrmCambiaPassword::aggiornaOK() {
    m_cmdOK->setEnabled(!Rifila(m_txtPasswordOld->text()).isEmpty() &&
                        !Rifila(m_txtPasswordNew->text()).isEmpty() &&
                        !Rifila(m_txtConferma->text()).isEmpty());
}

void TfrmCambiaPassword::cmdOKClick() {
    const auto salvata = DepositoPassword::Leggi();
    if (!salvata) {
        avvisa(this, ERRORE_MODIFICA);
        return;
    }
    m_lblMemory->setText(*salvata);
    const bool vecchiaGiusta =
        DepositoPassword::Normalizza(m_txtPasswordOld->text()) == m_lblMemory->text();
    m_lblMemory->clear();
    if (!vecchiaGiusta) {
        avvisa(this, QStringLiteral("Attenzione: vecchia password errata."));
        m_txtPasswordOld->clear();
        m_txtPasswordOld->setFocus();
        return;
    }
    auto ricomincia = [this](const QString &testo) {
        avvisa(this, testo);
        m_txtPasswordNew->clear();
        m_txtConferma->clear();
        m_txtPasswordNew->setFocus();
    };
    if (Rifila(m_txtPasswordNew->text()) != Rifila(m_txtConferma->text())) {
        ricomincia(QStringLiteral("Attenzione: la nuova password non è stata confermata "
                                  "correttamente. E' necessario reinserire entrambi i valori."));
        return;
    }
    // A password that the store could not give back would lock the user out.
    const QString nuova = DepositoPassword::Normalizza(m_txtPasswordNew->text());
    const QString motivo = DepositoPassword::MotivoRifiuto(nuova);
    if (!motivo.isEmpty()) {
        ricomincia(motivo);
        return;
    }
    if (!DepositoPassword::Scrivi(nuova)) {
        avvisa(this, ERRORE_MODIFICA);
        return;
    }
    avvisa(this, QStringLiteral("Modifica della password completata con successo."));
    close();
}

void TfrmCambiaPassword::cmdEsciClick() {
    close();
}

void TfrmCambiaPassword::showEvent(QShowEvent *evento) {
    QWidget::showEvent(evento);
    if (!evento->spontaneous()) {
        for (auto *c : {m_txtPasswordOld, m_txtPasswordNew, m_txtConferma})
            c->clear();
        m_lblMemory->clear();
        centra(this);
        m_txtPasswordOld->setFocus();
    }
}

void TfrmCambiaPassword::closeEvent(QCloseEvent *evento) {
    evento->accept();
    emit chiusa();
}

void TfrmCambiaPassword::keyPressEvent(QKeyEvent *evento) {
    if (evento->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(evento);
}

void TfrmCambiaPassword::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0x46, 0x82, 0xb4));
}
