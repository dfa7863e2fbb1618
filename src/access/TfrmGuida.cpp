#include "access/TfrmGuida.h"

#include "access/Collegamento.h"
#include "access/Intestazione.h"
#include "access/PezziAccesso.h"
#include "archive/CartellaProgramma.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTextEdit>

TfrmGuida::TfrmGuida(QWidget *proprietario)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfrmGuida"));
    setWindowTitle(QStringLiteral(" Guida all'utilizzo del software"));
    setFixedSize(670, 572);

    CreaIntestazione(this, QRect(41, 12, 587, 69), QStringLiteral("guida"),
                     QStringLiteral("Guida all'utilizzo del software"), {}, true);

    m_lblTitolo = new QLabel(QStringLiteral("Argomento della guida."), this);
    m_lblTitolo->setObjectName(QStringLiteral("lblTitolo"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(16);
    arial.setBold(true);
    m_lblTitolo->setFont(arial);
    m_lblTitolo->setStyleSheet(QStringLiteral("QLabel { color: crimson; }"));
    m_lblTitolo->setGeometry(22, 92, 625, 32);
    m_lblTitolo->setAccessibleName(m_lblTitolo->text());

    m_txtGuida = new QTextEdit(this);
    m_txtGuida->setObjectName(QStringLiteral("txtGuida"));
    m_txtGuida->setReadOnly(true);
    // Text to read, not to edit: no blinking cursor; the keys still scroll it.
    m_txtGuida->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_txtGuida->setFocusPolicy(Qt::StrongFocus);
    m_txtGuida->setLineWrapMode(QTextEdit::WidgetWidth);
    m_txtGuida->setTabChangesFocus(true);
    m_txtGuida->setAcceptRichText(false);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSize(12);
    m_txtGuida->setFont(verdana);
    m_txtGuida->setGeometry(22, 130, 625, 350);
    m_lblTitolo->setBuddy(m_txtGuida);

    auto *imgPDF = new PulsanteImmagine(QStringLiteral("imgPDF"), QStringLiteral("pdf"),
                                        QStringLiteral("Guida in formato PDF"), this, false);
    imgPDF->setIconSize(QSize(23, 23));
    imgPDF->setGeometry(22, 502, 27, 27);
    m_lnkWeb = new Collegamento(QStringLiteral("lnkWeb"),
                                QStringLiteral("Visualizza guida in formato PDF"), this);
    m_lnkWeb->setGeometry(54, 499, 330, 34);
    m_lnkWeb->accompagna(imgPDF);

    auto *btnChiudi = PezziAccesso::pulsante(this, QStringLiteral("btnChiudi"),
                                             QStringLiteral("Chiudi"), QRect(517, 496, 130, 38));
    QFont chiudi(QStringLiteral("Verdana"));
    chiudi.setPointSize(12);
    btnChiudi->setFont(chiudi);

    setTabOrder(m_txtGuida, m_lnkWeb);
    setTabOrder(m_lnkWeb, btnChiudi);
    connect(imgPDF, &QAbstractButton::clicked, this, &TfrmGuida::lnkWebClick);
    connect(m_lnkWeb, &QAbstractButton::clicked, this, &TfrmGuida::lnkWebClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmGuida::mostraArgomento(const ArgomentoGuida &argomento) {
    m_lblTitolo->setText(argomento.titolo);
    m_lblTitolo->setAccessibleName(argomento.titolo);
    // Plain paragraphs with some room between them, and the headings of a
    // long text in bold.
    QString html;
    for (qsizetype i = 0; i < argomento.paragrafi.size(); ++i) {
        const auto titoletto = argomento.titoletti.constFind(i);
        if (titoletto != argomento.titoletti.cend())
            html += QStringLiteral("<h3 style=\"color: #1d4f91; margin-top: 14px; "
                                   "margin-bottom: 4px;\">") +
                    titoletto->toHtmlEscaped() + QStringLiteral("</h3>");
        html += QStringLiteral("<p style=\"margin-top: 0px; margin-bottom: 10px;\">") +
                argomento.paragrafi[i].trimmed().toHtmlEscaped() + QStringLiteral("</p>");
    }
    m_txtGuida->setHtml(html);
    m_txtGuida->setAccessibleName(argomento.titolo);
}

void TfrmGuida::lnkWebClick() {
    m_lnkWeb->impostaColore(Collegamento::blu());
    Piattaforma::ApriConDesktop(QStringLiteral("\"") +
                                QDir(CartellaProgramma()).filePath(QStringLiteral("Guida.pdf")) +
                                QStringLiteral("\""));
}

void TfrmGuida::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    if (!evento->spontaneous()) {
        PezziAccesso::centra(this);
        m_txtGuida->setFocus();
    }
}

void TfrmGuida::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, Qt::white, QColor(0xbf, 0xd8, 0xef));
}

void ApriGuida(QWidget *proprietario, TemaGuida tema) {
    TfrmGuida finestra(proprietario);
    finestra.mostraArgomento(Argomento(tema));
    Piattaforma::dialoghi().esegui(&finestra);
}
