#include "access/TfrmPassword.h"

#include "access/DepositoPassword.h"
#include "access/Intestazione.h"
#include "access/PezziAccesso.h"
#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace PezziAccesso;

TfrmPassword::TfrmPassword(QWidget *genitore)
    : QWidget(genitore, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfrmPassword"));
    setWindowTitle(QStringLiteral(" Quadrelo - Accesso"));
    setWindowIcon(QIcon(QStringLiteral(":/quadrelo.svg")));
    setFixedSize(388, 405);

    aggiornaIntestazione();
    auto *lblRigo05 =
        etichetta(this, QStringLiteral("lblRigo05"),
                  QStringLiteral("Immetti la password e premi OK."), QRect(30, 192, 328, 24));
    m_txtPassword = crea(this, QStringLiteral("txtPassword"), QStringLiteral("effPassword"),
                         QStringLiteral("Password"), QRect(34, 224, 320, 36));
    lblRigo05->setBuddy(m_txtPassword);
    m_cmdOK =
        pulsante(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), QRect(30, 284, 156, 36));
    m_cmdOK->setEnabled(false);
    auto *cmdEsci =
        pulsante(this, QStringLiteral("cmdEsci"), QStringLiteral("Esci"), QRect(202, 284, 156, 36));
    auto *btnCambiaPassword = pulsante(this, QStringLiteral("btnCambiaPassword"),
                                       QStringLiteral("Cambia password"), QRect(30, 336, 328, 36));
    m_lblMemory = new QLabel(this);
    m_lblMemory->setObjectName(QStringLiteral("lblMemory"));
    m_lblMemory->hide();

    setTabOrder(m_txtPassword, m_cmdOK);
    setTabOrder(m_cmdOK, cmdEsci);
    setTabOrder(cmdEsci, btnCambiaPassword);

    connect(m_txtPassword, &QLineEdit::textChanged, this, &TfrmPassword::aggiornaOK);
    connect(m_txtPassword, &QLineEdit::returnPressed, this, [this] {
        if (!Rifila(m_txtPassword->text()).isEmpty()) cmdOKClick();
    });
    connect(m_cmdOK, &QPushButton::clicked, this, &TfrmPassword::cmdOKClick);
    connect(cmdEsci, &QPushButton::clicked, this, &TfrmPassword::cmdEsciClick);
    connect(btnCambiaPassword, &QPushButton::clicked, this, &TfrmPassword::btnCambiaPasswordClick);
}

void TfrmPassword::aggiornaIntestazione() {
    // The initial password is named only while it is the one in force.
    const bool iniziale = DepositoPassword::TienePasswordIniziale();
    if (m_imgLogo && m_inizialeMostrata == iniziale) return;
    QStringList righe{QStringLiteral("Proteggi l'accesso al programma con una password "
                                     "scelta da te.")};
    if (iniziale)
        righe << QStringLiteral("Per il primo accesso usa la password \"") +
                     DepositoPassword::PASSWORD_INIZIALE + QStringLiteral("\".");
    delete m_imgLogo;
    m_imgLogo = CreaIntestazione(this, QRect(30, 16, 328, 160), QStringLiteral("lucchetto"),
                                 QStringLiteral("Password"), righe, true);
    m_imgLogo->lower();
    m_imgLogo->show();
    m_inizialeMostrata = iniziale;
}

void TfrmPassword::aggiornaOK() {
    m_cmdOK->setEnabled(!Rifila(m_txtPassword->text()).isEmpty());
}

void TfrmPassword::cmdOKClick() {
    const auto salvata = DepositoPassword::Leggi();
    if (!salvata) {
        Piattaforma::dialoghi().messaggioSemplice(
            this, QStringLiteral("Attenzione: si è verificato un errore durante la procedura di "
                                 "lettura della password. Si consiglia di reinstallare il "
                                 "software."));
        return;
    }
    m_lblMemory->setText(*salvata);
    const bool giusta = DepositoPassword::Normalizza(m_txtPassword->text()) == m_lblMemory->text();
    // The password in force is kept on screen no longer than the check.
    m_lblMemory->clear();
    if (giusta) {
        emit passwordAccettata();
        return;
    }
    Piattaforma::dialoghi().messaggioSemplice(this, QStringLiteral("Attenzione: password errata."));
    m_txtPassword->clear();
    m_txtPassword->setFocus();
}

void TfrmPassword::cmdEsciClick() {
    close();
}

void TfrmPassword::btnCambiaPasswordClick() {
    emit cambiaPassword();
}

void TfrmPassword::riprendi() {
    m_txtPassword->clear();
    m_lblMemory->clear();
    show();
    activateWindow();
    m_txtPassword->setFocus();
}

void TfrmPassword::showEvent(QShowEvent *evento) {
    QWidget::showEvent(evento);
    if (!evento->spontaneous()) {
        aggiornaIntestazione();
        centra(this);
        m_txtPassword->setFocus();
    }
}

void TfrmPassword::closeEvent(QCloseEvent *evento) {
    m_lblMemory->clear();
    evento->accept();
    emit esci();
}

void TfrmPassword::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0x46, 0x82, 0xb4));
}
