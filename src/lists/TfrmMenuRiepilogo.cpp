#include "lists/TfrmMenuRiepilogo.h"
#include "access/TfrmGuida.h"

#include "lists/TfrmRiepilogo.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"
#include "widgets/PulsanteTastiera.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

TfrmMenuRiepilogo::TfrmMenuRiepilogo(QWidget *genitore) : QWidget(genitore, Qt::Window) {
    auto *pan = PreparaFinestra(this, QStringLiteral("TfrmMenuRiepilogo"),
                                QStringLiteral(" Quadrelo - Inventario Merce"),
                                QColor(0x46, 0x82, 0xb4), QSize(760, 420));

    auto *intestazione = new QLabel(QStringLiteral("INVENTARIO MERCE"), pan);
    intestazione->setObjectName(QStringLiteral("imgIntestazione"));
    intestazione->setGeometry(0, 4, 600, 52);
    QFont titolo(QStringLiteral("Verdana"));
    titolo.setPointSize(22);
    titolo.setBold(true);
    intestazione->setFont(titolo);
    intestazione->setStyleSheet(QStringLiteral("QLabel { color: white; }"));

    // A plain frame: nothing for assistive technology to read.
    auto *riquadro = new QFrame(pan);
    riquadro->setObjectName(QStringLiteral("shpRiquadro"));
    riquadro->setGeometry(0, 60, 760, 300);
    riquadro->setStyleSheet(QStringLiteral("QFrame { background: rgba(20,60,110,120); "
                                           "border: 1px solid white; border-radius: 12px; }"));

    QFont normale(QStringLiteral("Verdana"));
    normale.setPointSize(12);
    auto testo = [&](const QString &nome, const QString &t, QRect posto) {
        auto *l = new QLabel(t, pan);
        l->setObjectName(nome);
        l->setFont(normale);
        l->setWordWrap(true);
        l->setGeometry(posto);
        l->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
        return l;
    };
    auto *lblApri = testo(QStringLiteral("lblApri"),
                          QStringLiteral("Indicare una categoria merceologica e premere il "
                                         "pulsante Visualizza."),
                          QRect(30, 80, 700, 30));
    m_txtTipologia = new QLineEdit(pan);
    m_txtTipologia->setObjectName(QStringLiteral("txtTipologia"));
    QFont grande(QStringLiteral("Verdana"));
    grande.setPointSize(22);
    grande.setBold(true);
    m_txtTipologia->setFont(grande);
    m_txtTipologia->setGeometry(30, 120, 520, 50);
    m_txtTipologia->setAccessibleName(QStringLiteral("Categoria merceologica"));
    lblApri->setBuddy(m_txtTipologia);
    auto *btnVisualizza = new QPushButton(QStringLiteral("Visualizza"), pan);
    btnVisualizza->setObjectName(QStringLiteral("btnVisualizza"));
    btnVisualizza->setFont(normale);
    btnVisualizza->setAutoDefault(true);
    btnVisualizza->setGeometry(570, 120, 160, 50);
    testo(QStringLiteral("lblInformazioni"),
          QStringLiteral("Per ottenere l'inventario di tutti gli articoli in magazzino, premere il "
                         "pulsante Visualizza senza indicare alcuna categoria merceologica."),
          QRect(30, 190, 700, 60));
    m_lblAttendere = testo(QStringLiteral("lblAttendere"),
                           QStringLiteral("Caricamento inventario in corso. Attendere..."),
                           QRect(30, 300, 700, 30));
    m_lblAttendere->setStyleSheet(QStringLiteral("QLabel { color: darkcyan; }"));
    m_lblAttendere->hide();
    // The waiting label shows as soon as the button goes down, before the pass.
    connect(btnVisualizza, &QPushButton::pressed, this, [this] {
        m_lblAttendere->show();
        m_lblAttendere->repaint();
    });
    connect(btnVisualizza, &QPushButton::clicked, this, &TfrmMenuRiepilogo::btnVisualizzaClick);

    auto *guida = new PulsanteImmagine(QStringLiteral("imgGuida"), QStringLiteral("guida"),
                                       QStringLiteral("Guida"), pan, false);
    guida->setIconSize(QSize(44, 44));
    guida->setGeometry(640, 4, 52, 52);
    auto *esci = new PulsanteImmagine(QStringLiteral("imgEsci"), QStringLiteral("chiudi"),
                                      QStringLiteral("Chiudi l'inventario"), pan, false);
    esci->setIconSize(QSize(44, 44));
    esci->setGeometry(700, 4, 52, 52);
    connect(esci, &QToolButton::clicked, this, &QWidget::close);
    connect(guida, &QToolButton::clicked, this, [this] { ApriGuida(this, TemaGuida::Inventario); });
    // Enter in the box asks for the inventory, as the button beside it does.
    connect(m_txtTipologia, &QLineEdit::returnPressed, btnVisualizza, &QPushButton::click);
    PulsanteDaTastiera(guida);
    PulsanteDaTastiera(esci);
    setTabOrder(m_txtTipologia, btnVisualizza);
    setTabOrder(btnVisualizza, guida);
    setTabOrder(guida, esci);
}

void TfrmMenuRiepilogo::keyPressEvent(QKeyEvent *evento) {
    // Esc leaves the prompt, as its exit picture does.
    if (evento->key() == Qt::Key_Escape && evento->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(evento);
}

void TfrmMenuRiepilogo::showEvent(QShowEvent *evento) {
    QWidget::showEvent(evento);
    if (!evento->spontaneous()) {
        m_txtTipologia->clear();
        m_txtTipologia->setFocus();
    }
}

void TfrmMenuRiepilogo::closeEvent(QCloseEvent *evento) {
    evento->accept();
    emit chiusa();
}

void TfrmMenuRiepilogo::btnVisualizzaClick() {
    {
        TfrmRiepilogo finestra(this, m_txtTipologia->text());
        Piattaforma::dialoghi().esegui(&finestra);
    }
    m_lblAttendere->hide();
}
