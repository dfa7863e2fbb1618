#include "widgets/Controlli.h"

#include "archive/RegoleNumeri.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

PulsanteImmagine::PulsanteImmagine(const QString &nome, const QString &icona,
                                   const QString &didascalia, QWidget *genitore, bool mostraTesto)
    : QToolButton(genitore) {
    setObjectName(nome);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAutoRaise(true);
    setAccessibleName(didascalia);
    if (!icona.isEmpty()) setIcon(QIcon(QStringLiteral(":/") + icona + QStringLiteral(".svg")));
    setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid transparent; border-radius: 8px; background: "
        "transparent; padding: 2px; }"
        "QToolButton:hover { background: rgba(255,255,255,110); border-color: #9fbfe0; }"
        "QToolButton:pressed { background: rgba(29,79,145,60); }"));
    if (mostraTesto) {
        setText(didascalia);
        setToolButtonStyle(icona.isEmpty() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    } else {
        setToolButtonStyle(Qt::ToolButtonIconOnly);
        setToolTip(didascalia);
    }
}

Sfondo::Sfondo(QColor alto, QColor basso, QWidget *genitore)
    : QWidget(genitore), m_alto(alto), m_basso(basso) {}

void DipingiSfumatura(QWidget *superficie, QColor alto, QColor basso) {
    QPainter p(superficie);
    QLinearGradient sfumatura(0, 0, 0, superficie->height());
    sfumatura.setColorAt(0, alto);
    sfumatura.setColorAt(1, basso);
    p.fillRect(superficie->rect(), sfumatura);
}

void Sfondo::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, m_alto, m_basso);
}

RiquadroEvidenza::RiquadroEvidenza(QWidget *genitore) : QWidget(genitore) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

RiquadroEvidenza *RiquadroEvidenza::perCasella(const QString &nome, QLineEdit *casella) {
    auto *riquadro = new RiquadroEvidenza(casella->parentWidget());
    riquadro->setObjectName(nome);
    riquadro->setGeometry(casella->geometry().adjusted(-4, -4, 4, 4));
    riquadro->stackUnder(casella);
    riquadro->setVisible(casella->hasFocus());
    casella->installEventFilter(riquadro);
    return riquadro;
}

bool RiquadroEvidenza::eventFilter(QObject *oggetto, QEvent *evento) {
    if (evento->type() == QEvent::FocusIn) {
        show();
    } else if (evento->type() == QEvent::FocusOut) {
        // A dialog opening over the window does not move the focus off the box.
        const auto motivo = static_cast<QFocusEvent *>(evento)->reason();
        if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason) hide();
    } else if (evento->type() == QEvent::Move || evento->type() == QEvent::Resize)
        setGeometry(static_cast<QWidget *>(oggetto)->geometry().adjusted(-4, -4, 4, 4));
    return false;
}

void RiquadroEvidenza::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient bordo(r.topLeft(), r.bottomRight());
    bordo.setColorAt(0, QColor(0xff, 0xd7, 0x00));
    bordo.setColorAt(1, Qt::white);
    p.setPen(QPen(QBrush(bordo), 1));
    p.setBrush(QColor(0xff, 0xf1, 0x4d));
    p.drawRoundedRect(r, 3, 3);
}

QPixmap Disegno(const QString &nome, QSize dimensione) {
    QSvgRenderer disegno(QStringLiteral(":/") + nome + QStringLiteral(".svg"));
    QPixmap pixmap(dimensione);
    pixmap.fill(Qt::transparent);
    if (disegno.isValid()) {
        QPainter p(&pixmap);
        const QSize naturale = disegno.defaultSize().scaled(dimensione, Qt::KeepAspectRatio);
        disegno.render(&p, QRectF(QPointF((dimensione.width() - naturale.width()) / 2.0,
                                          (dimensione.height() - naturale.height()) / 2.0),
                                  naturale));
    }
    return pixmap;
}

LimiteDigitazione::LimiteDigitazione(QLineEdit *casella, int massimo)
    : QObject(casella), m_casella(casella), m_massimo(massimo), m_attuale(casella->text().size()) {
    setObjectName(QStringLiteral("limiteDigitazione"));
    connect(casella, &QLineEdit::textChanged, this, [this](const QString &testo) {
        m_precedente = m_attuale;
        m_attuale = testo.size();
    });
    connect(casella, &QLineEdit::textEdited, this, &LimiteDigitazione::modificato);
}

void LimiteDigitazione::modificato(const QString &testo) {
    // Only the user's own edits arrive here. Keep as much of what was typed
    // or pasted as still fits, as a maximum length would.
    const qsizetype prima = testo.size() == m_attuale ? m_precedente : m_attuale;
    const qsizetype crescita = testo.size() - prima;
    if (crescita <= 0 || testo.size() <= m_massimo) return;
    const int cursore = m_casella->cursorPosition();
    const qsizetype ammessi = qMax<qsizetype>(0, m_massimo - prima);
    const qsizetype eccesso = qMin<qsizetype>(crescita - ammessi, cursore);
    QString corretto = testo;
    corretto.remove(cursore - eccesso, eccesso);
    m_casella->setText(corretto);
    m_casella->setCursorPosition(int(cursore - eccesso));
}

int LunghezzaMassima(const QLineEdit *casella) {
    const auto *limite =
        casella->findChild<LimiteDigitazione *>(QString(), Qt::FindDirectChildrenOnly);
    return limite ? limite->massimo() : 0;
}

QWidget *PreparaFinestra(QWidget *finestra, const QString &nome, const QString &titolo, QColor alto,
                         QSize pannello) {
    ImpostaFormati();
    finestra->setObjectName(nome);
    finestra->setWindowTitle(titolo);
    finestra->setWindowIcon(QIcon(QStringLiteral(":/quadrelo.svg")));
    auto *griglia = new QGridLayout(finestra);
    griglia->setContentsMargins(0, 0, 0, 0);
    griglia->setSpacing(0);
    auto *sfondo = new Sfondo(alto, Qt::white, finestra);
    sfondo->setObjectName(QStringLiteral("imgSfondo"));
    griglia->addWidget(sfondo, 0, 0, -1, 1);
    griglia->setRowStretch(0, 1);
    auto *pan = new QWidget(finestra);
    pan->setObjectName(QStringLiteral("panContainer"));
    pan->setFixedSize(pannello);
    griglia->addWidget(pan, 0, 0, Qt::AlignCenter);
    return pan;
}

void MostraIngrandita(QWidget *finestra) {
    if (auto *schermo = finestra->screen()) finestra->setGeometry(schermo->availableGeometry());
    finestra->showMaximized();
}
