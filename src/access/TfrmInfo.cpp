#include "access/TfrmInfo.h"

#include "access/Collegamento.h"
#include "access/Intestazione.h"
#include "access/PezziAccesso.h"
#include "access/Produttore.h"
#include "archive/CartellaProgramma.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

TfrmInfo::TfrmInfo(QWidget *proprietario)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfrmInfo"));
    setWindowTitle(QStringLiteral(" Informazioni su Quadrelo"));
    setFixedSize(473, 579);

    CreaIntestazione(this, QRect(40, 14, 392, 54), QStringLiteral("info"),
                     QStringLiteral("Informazioni sul programma"), {}, true);

    auto *informazioni = new QLabel(
        QStringLiteral("Quadrelo - versione ") + Produttore::Versione() +
            QStringLiteral("\n\nSoftware per registrare i prodotti in magazzino e ottenere "
                           "l'inventario della merce in giacenza con acquisizione foto da "
                           "WebCam.\n\nTutti i dati (archivio, foto, allegati e password) "
                           "si trovano nella cartella del programma: per spostarli o farne "
                           "una copia di sicurezza basta copiare la cartella.\n\n"
                           "Per ricevere assistenza o chiedere informazioni sul programma, "
                           "scrivere all'indirizzo:"),
        this);
    informazioni->setObjectName(QStringLiteral("lblInformazioni"));
    informazioni->setWordWrap(true);
    informazioni->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSize(11);
    informazioni->setFont(verdana);
    informazioni->setStyleSheet(QStringLiteral(
        "QLabel { color: #202020; background: rgba(255,255,255,235); border: 1px solid #9fbfe0; "
        "border-radius: 10px; padding: 14px; }"));
    informazioni->setGeometry(30, 90, 413, 360);

    // Where the data is, so the user knows what to copy for a backup.
    QFont piccolo(QStringLiteral("Verdana"));
    piccolo.setPointSize(10);
    auto *titoloCartella = new QLabel(QStringLiteral("Cartella del programma:"), this);
    titoloCartella->setObjectName(QStringLiteral("lblTitoloCartella"));
    titoloCartella->setFont(piccolo);
    titoloCartella->setGeometry(30, 456, 413, 20);
    auto *lblCartella = new QLabel(this);
    lblCartella->setObjectName(QStringLiteral("lblCartella"));
    lblCartella->setTextFormat(Qt::PlainText);
    lblCartella->setWordWrap(true);
    lblCartella->setTextInteractionFlags(Qt::TextSelectableByMouse);
    piccolo.setBold(true);
    lblCartella->setFont(piccolo);
    lblCartella->setStyleSheet(QStringLiteral("QLabel { color: #1d4f91; }"));
    lblCartella->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblCartella->setGeometry(30, 476, 413, 36);
    ValoreAccessibile(lblCartella, QStringLiteral("Cartella del programma"));
    lblCartella->setText(QDir::toNativeSeparators(CartellaProgramma()));

    auto *imgEmail = new PulsanteImmagine(QStringLiteral("imgEmail"), QStringLiteral("busta"),
                                          QStringLiteral("Scrivi all'assistenza"), this, false);
    imgEmail->setIconSize(QSize(23, 16));
    imgEmail->setGeometry(56, 392, 27, 20);
    m_lnkWeb = new Collegamento(QStringLiteral("lnkWeb"), Produttore::PostaAssistenza(), this);
    m_lnkWeb->setGeometry(88, 384, 330, 36);
    m_lnkWeb->accompagna(imgEmail);

    auto *btnChiudi = PezziAccesso::pulsante(this, QStringLiteral("btnChiudi"),
                                             QStringLiteral("Chiudi"), QRect(171, 516, 130, 38));
    QFont chiudi(QStringLiteral("Verdana"));
    chiudi.setPointSize(12);
    btnChiudi->setFont(chiudi);

    setTabOrder(m_lnkWeb, btnChiudi);
    connect(imgEmail, &QAbstractButton::clicked, this, &TfrmInfo::lnkWebClick);
    connect(m_lnkWeb, &QAbstractButton::clicked, this, &TfrmInfo::lnkWebClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmInfo::lnkWebClick() {
    m_lnkWeb->impostaColore(Collegamento::blu());
    // Put together as it stands: subject and body keep their blanks.
    Piattaforma::ApriConDesktop(
        QStringLiteral("\"") + QStringLiteral("mailto:") + Produttore::PostaAssistenza() +
        QStringLiteral("?subject=") + QStringLiteral("Software Quadrelo") +
        QStringLiteral("&body=") +
        QStringLiteral(
            "Salve, desidererei avere le seguenti informazioni sul software in oggetto:") +
        QStringLiteral("\""));
}

void TfrmInfo::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    if (!evento->spontaneous()) {
        PezziAccesso::centra(this);
        findChild<QPushButton *>(QStringLiteral("btnChiudi"))->setFocus();
    }
}

void TfrmInfo::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, Qt::black, Qt::white);
}
