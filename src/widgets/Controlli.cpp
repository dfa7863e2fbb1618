#include "widgets/Controlli.h"

#include "archive/RegoleNumeri.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
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
        "QToolButton:pressed { background: rgba(29,79,145,60); }"
        // Reached with Tab, the button shows that it has the focus.
        "QToolButton:focus { background: rgba(255,255,255,170); border: 2px solid #1d4f91; }"));
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

namespace {

bool inFinestraPopup(const QWidget *w) {
    return w && w->window()->windowType() == Qt::Popup;
}

} // namespace

RiquadroEvidenza *RiquadroEvidenza::perCasella(const QString &nome, QLineEdit *casella) {
    auto *riquadro = new RiquadroEvidenza(casella->parentWidget());
    riquadro->setObjectName(nome);
    riquadro->setGeometry(casella->geometry().adjusted(-4, -4, 4, 4));
    riquadro->stackUnder(casella);
    riquadro->setVisible(QApplication::focusWidget() == casella);
    casella->installEventFilter(riquadro);
    connect(qApp, &QApplication::focusChanged, riquadro,
            [riquadro, casella](QWidget *, QWidget *ora) {
                if (!inFinestraPopup(ora)) riquadro->setVisible(ora == casella);
            });
    return riquadro;
}

bool RiquadroEvidenza::eventFilter(QObject *oggetto, QEvent *evento) {
    if (evento->type() == QEvent::Move || evento->type() == QEvent::Resize)
        setGeometry(static_cast<QWidget *>(oggetto)->geometry().adjusted(-4, -4, 4, 4));
    return false;
}

UscitaFocus::UscitaFocus(QWidget *finestra) : QObject(finestra), m_finestra(finestra) {
    if (QApplication::focusWidget() && QApplication::focusWidget()->window() == finestra)
        m_attuale = QApplication::focusWidget();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *ora) { cambiato(ora); });
}

void UscitaFocus::cambiato(QWidget *ora) {
    // A menu or a list opened over the control does not leave it, nor does the
    // moment with no focus at all between two windows, as a dialog closes.
    if (!ora || inFinestraPopup(ora)) return;
    const bool dentro = ora && ora->window() == m_finestra;
    const QWidget *modale = QApplication::activeModalWidget();
    if (!dentro && modale && modale != m_finestra) return; // a dialog over the window
    QWidget *prima = m_attuale;
    m_attuale = dentro ? ora : nullptr;
    if (prima && prima != ora) emit lasciato(prima);
}

namespace {

const char *const NOME_VALORE = "quadreloNomeValore";

class EtichettaConValore : public QAccessibleWidget {
  public:
    explicit EtichettaConValore(QLabel *etichetta)
        : QAccessibleWidget(etichetta, QAccessible::StaticText) {}
    QString text(QAccessible::Text genere) const override {
        if (genere != QAccessible::Name) return QAccessibleWidget::text(genere);
        const QString nome = widget()->property(NOME_VALORE).toString();
        const QString valore = static_cast<const QLabel *>(widget())->text().trimmed();
        return valore.isEmpty() ? nome : nome + QStringLiteral(": ") + valore;
    }
};

QAccessibleInterface *fabbricaEtichette(const QString &, QObject *oggetto) {
    auto *etichetta = qobject_cast<QLabel *>(oggetto);
    if (!etichetta || !etichetta->property(NOME_VALORE).isValid()) return nullptr;
    return new EtichettaConValore(etichetta);
}

class PulsanteConInvio : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *finestra, QEvent *evento) override {
        if (evento->type() != QEvent::KeyPress) return false;
        const auto *tasto = static_cast<QKeyEvent *>(evento);
        if (tasto->key() != Qt::Key_Return && tasto->key() != Qt::Key_Enter) return false;
        if (tasto->modifiers() & ~Qt::KeypadModifier) return false;
        // Only a key the focused button let through; check boxes and options keep Space.
        QWidget *fuoco = static_cast<QWidget *>(finestra)->focusWidget();
        auto *pulsante = qobject_cast<QAbstractButton *>(fuoco);
        if (!qobject_cast<QPushButton *>(fuoco) && !qobject_cast<QToolButton *>(fuoco))
            return false;
        if (!pulsante->isEnabled()) return false;
        evento->accept();
        pulsante->click();
        return true;
    }
};

} // namespace

void ValoreAccessibile(QLabel *etichetta, const QString &nome) {
    static const bool installata = [] {
        QAccessible::installFactory(fabbricaEtichette);
        return true;
    }();
    Q_UNUSED(installata);
    etichetta->setProperty(NOME_VALORE, nome);
    etichetta->setAccessibleName(QString()); // no fixed name: the label's text counts
    // A label given a text as it was made may already have a plain interface.
    QAccessibleInterface *attuale = QAccessible::queryAccessibleInterface(etichetta);
    if (attuale && !dynamic_cast<EtichettaConValore *>(attuale))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(attuale));
}

void InvioPremePulsante(QWidget *finestra) {
    finestra->installEventFilter(new PulsanteConInvio(finestra));
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
