#include "card/TfrmGiacenza.h"

#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "widgets/Controlli.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <cmath>

TfrmGiacenza::TfrmGiacenza(QWidget *proprietario, QLineEdit *giacenzaScheda)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_giacenzaScheda(giacenzaScheda) {
    ImpostaFormati();
    setObjectName(QStringLiteral("TfrmGiacenza"));
    setWindowTitle(QStringLiteral(" Aggiornamento giacenza"));
    setFixedSize(440, 290);

    QFont normale(QStringLiteral("Verdana"));
    normale.setPointSize(11);
    QFont grassetto = normale;
    grassetto.setBold(true);

    auto etichetta = [&](const QString &nome, const QString &testo, int y) {
        auto *l = new QLabel(testo, this);
        l->setObjectName(nome);
        l->setFont(normale);
        l->setGeometry(20, y, 230, 28);
        return l;
    };
    auto casella = [&](const QString &nome, int y) {
        auto *c = new QLineEdit(QStringLiteral("0"), this);
        c->setObjectName(nome);
        c->setFont(grassetto);
        c->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        c->setGeometry(260, y, 160, 28);
        return c;
    };
    lblGiacenza = etichetta(QStringLiteral("lblGiacenza"), QStringLiteral("Giacenza attuale:"), 18);
    txtGiacenza = casella(QStringLiteral("txtGiacenza"), 18);
    lblAggiunta =
        etichetta(QStringLiteral("lblAggiunta"), QStringLiteral("Quantità da aggiungere:"), 56);
    txtAggiunta = casella(QStringLiteral("txtAggiunta"), 56);
    btnTotale = new QPushButton(QStringLiteral("Calcola totale"), this);
    btnTotale->setObjectName(QStringLiteral("btnTotale"));
    btnTotale->setGeometry(260, 94, 160, 30);
    auto *lblTotale =
        etichetta(QStringLiteral("lblTotale"), QStringLiteral("Nuova giacenza:"), 134);
    txtTotale = casella(QStringLiteral("txtTotale"), 134);
    txtTotale->setReadOnly(true);
    txtTotale->setStyleSheet(QStringLiteral("QLineEdit { color: crimson; }"));
    lblCausale = new QLabel(QStringLiteral("Causale:"), this);
    lblCausale->setObjectName(QStringLiteral("lblCausale"));
    lblCausale->setFont(normale);
    lblCausale->setGeometry(20, 180, 90, 28);
    txtCausale = new QLineEdit(this);
    txtCausale->setObjectName(QStringLiteral("txtCausale"));
    txtCausale->setFont(normale);
    txtCausale->setGeometry(110, 180, 310, 28);
    txtCausale->setMaxLength(100);
    txtCausale->setPlaceholderText(QStringLiteral("ad es. DDT 123, vendita al banco"));
    lblCausale->setBuddy(txtCausale);
    btnAggiorna = new QPushButton(QStringLiteral("Applica e chiudi"), this);
    btnAggiorna->setObjectName(QStringLiteral("btnAggiorna"));
    btnAggiorna->setGeometry(100, 236, 160, 34);
    btnChiudi = new QPushButton(QStringLiteral("Annulla"), this);
    btnChiudi->setObjectName(QStringLiteral("btnChiudi"));
    btnChiudi->setGeometry(270, 236, 150, 34);

    lblGiacenza->setBuddy(txtGiacenza);
    lblAggiunta->setBuddy(txtAggiunta);
    lblTotale->setBuddy(txtTotale);
    txtGiacenza->setAccessibleName(QStringLiteral("Giacenza attuale"));
    txtAggiunta->setAccessibleName(QStringLiteral("Quantità"));
    txtTotale->setAccessibleName(QStringLiteral("Nuova giacenza"));
    for (auto *b : {btnTotale, btnAggiorna, btnChiudi})
        b->setAutoDefault(false);

    setTabOrder(txtGiacenza, txtAggiunta);
    setTabOrder(txtAggiunta, btnTotale);
    setTabOrder(btnTotale, txtTotale);
    setTabOrder(txtTotale, txtCausale);
    setTabOrder(txtCausale, btnAggiorna);
    setTabOrder(btnAggiorna, btnChiudi);

    for (auto *c : {txtGiacenza, txtAggiunta}) {
        c->installEventFilter(this);
        c->setContextMenuPolicy(Qt::NoContextMenu);
        c->setAcceptDrops(false);
    }
    // Leaving a box normalises it, whatever moved the focus.
    m_uscita = new UscitaFocus(this);
    connect(m_uscita, &UscitaFocus::lasciato, this, [this](QWidget *controllo) {
        if (controllo == txtGiacenza || controllo == txtAggiunta) {
            auto *casella = static_cast<QLineEdit *>(controllo);
            casella->setText(NormalizzaQuantita(casella->text()));
        }
    });
    InvioPremePulsante(this);
    connect(btnTotale, &QPushButton::clicked, this, &TfrmGiacenza::btnTotaleClick);
    connect(btnAggiorna, &QPushButton::clicked, this, &TfrmGiacenza::btnAggiornaClick);
    connect(btnChiudi, &QPushButton::clicked, this, &TfrmGiacenza::btnChiudiClick);
}

TfrmGiacenza::~TfrmGiacenza() {
    delete m_uscita; // the boxes are not normalised while the dialog goes away
}

void TfrmGiacenza::btnTotaleClick() {
    for (auto *c : {txtGiacenza, txtAggiunta, txtTotale})
        if (Rifila(c->text()).isEmpty()) c->setText(QStringLiteral("0"));
    const auto a = LeggiNumero(txtGiacenza->text());
    const auto b = LeggiNumero(txtAggiunta->text());
    if (!a || !b) {
        for (auto *c : {txtGiacenza, txtAggiunta, txtTotale})
            c->setText(QStringLiteral("0"));
        return;
    }
    const bool sottrai = Rifila(lblAggiunta->text()) == u"Quantità da sottrarre:";
    txtTotale->setText(ScriviNumero(sottrai ? *a - *b : *a + *b));
}

void TfrmGiacenza::btnAggiornaClick() {
    btnTotaleClick();
    const QString totale = Rifila(txtTotale->text());
    // A stock below zero is most often a slip of the mode or of the quantity.
    const auto valore = LeggiNumero(totale);
    if (valore && *valore < 0 &&
        Piattaforma::dialoghi().domanda(this, QStringLiteral("La giacenza diventerà ") + totale +
                                                  QStringLiteral(". Applicare?")) ==
            Piattaforma::Risposta::No)
        return;
    // A count corrected here and goods in or out are two different things.
    const auto attuale = LeggiNumero(txtGiacenza->text());
    const auto scheda = m_giacenzaScheda ? LeggiNumero(m_giacenzaScheda->text()) : attuale;
    m_correzione = attuale && scheda ? std::llround(*attuale - *scheda) : 0;
    m_quantita = attuale && valore ? std::llround(*valore - *attuale) : 0;
    if (m_giacenzaScheda) m_giacenzaScheda->setText(totale);
    accept();
}

void TfrmGiacenza::btnChiudiClick() {
    reject();
}

bool TfrmGiacenza::eventFilter(QObject *oggetto, QEvent *evento) {
    auto *casella = qobject_cast<QLineEdit *>(oggetto);
    if (!casella) return QDialog::eventFilter(oggetto, evento);
    if (evento->type() == QEvent::FocusIn) {
        // The whole text is selected, so what is typed replaces it. A click
        // gives the focus before it reaches the box: that press must not
        // place the cursor.
        casella->selectAll();
        m_cliccata = static_cast<QFocusEvent *>(evento)->reason() == Qt::MouseFocusReason ? casella
                                                                                          : nullptr;
    } else if (evento->type() == QEvent::MouseButtonPress && m_cliccata == casella) {
        m_cliccata = nullptr;
        return true;
    } else if (evento->type() == QEvent::ShortcutOverride) {
        // Only Ctrl+A of the editing shortcuts: no paste, no undo.
        evento->accept();
        return true;
    } else if (evento->type() == QEvent::KeyPress) {
        auto *tasto = static_cast<QKeyEvent *>(evento);
        if (tasto->matches(QKeySequence::SelectAll) ||
            tasto->matches(QKeySequence::MoveToStartOfLine) ||
            tasto->matches(QKeySequence::MoveToEndOfLine) ||
            tasto->matches(QKeySequence::SelectStartOfLine) ||
            tasto->matches(QKeySequence::SelectEndOfLine) ||
            tasto->matches(QKeySequence::SelectPreviousChar) ||
            tasto->matches(QKeySequence::SelectNextChar))
            return false;
        switch (tasto->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
            return false;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            (casella == txtGiacenza ? static_cast<QWidget *>(txtAggiunta) : btnTotale)
                ->setFocus(Qt::TabFocusReason);
            return true;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
            return false;
        default:
            break;
        }
        // A box that already overflows starts again from the new key.
        if (casella->text().size() > 15) casella->clear();
        const QString testo = tasto->text();
        const bool cifra = testo.size() == 1 && testo[0] >= u'0' && testo[0] <= u'9';
        return (tasto->modifiers() & Qt::ControlModifier) || !cifra;
    }
    return QDialog::eventFilter(oggetto, evento);
}

void TfrmGiacenza::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    // Centred on the screen rather than on the card window.
    if (!evento->spontaneous() && screen())
        move(screen()->availableGeometry().center() - rect().center());
}

void TfrmGiacenza::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0xbf, 0xdc, 0xf5));
}
