#include "shop/TfrmDatiNegozio.h"

#include "platform/Dialoghi.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TfrmDatiNegozio::TfrmDatiNegozio(QWidget *genitore, QString percorso)
    : QDialog(genitore), m_percorso(std::move(percorso)) {
    setObjectName(u"frmDatiNegozio"_s);
    setWindowTitle(u"Dati del negozio"_s);
    auto *colonna = new QVBoxLayout(this);
    auto *spiegazione = new QLabel(
        u"Questi dati compaiono in testa agli ordini ai fornitori e in fondo ai messaggi di "
        u"posta che li accompagnano."_s,
        this);
    spiegazione->setWordWrap(true);
    colonna->addWidget(spiegazione);

    auto *modulo = new QFormLayout;
    auto casella = [this, modulo](const QString &nome, const QString &etichetta, int massimo) {
        auto *c = new QLineEdit(this);
        c->setObjectName(nome);
        c->setMaxLength(massimo);
        auto *l = new QLabel(etichetta, this);
        l->setBuddy(c);
        c->setAccessibleName(QString(etichetta).remove(u'&').remove(u':'));
        modulo->addRow(l, c);
        return c;
    };
    txtNome = casella(u"txtNome"_s, u"&Nome o ragione sociale:"_s, 100);
    txtIndirizzo = new QPlainTextEdit(this);
    txtIndirizzo->setObjectName(u"txtIndirizzo"_s);
    txtIndirizzo->setTabChangesFocus(true);
    txtIndirizzo->setFixedHeight(64);
    txtIndirizzo->setAccessibleName(u"Indirizzo"_s);
    auto *lblIndirizzo = new QLabel(u"&Indirizzo:"_s, this);
    lblIndirizzo->setBuddy(txtIndirizzo);
    modulo->addRow(lblIndirizzo, txtIndirizzo);
    txtPartitaIva = casella(u"txtPartitaIva"_s, u"&Partita IVA:"_s, 11);
    txtTelefono = casella(u"txtTelefono"_s, u"&Telefono:"_s, 40);
    txtEmail = casella(u"txtEmail"_s, u"&E-mail:"_s, 100);
    colonna->addLayout(modulo);

    auto *pulsanti = new QDialogButtonBox(this);
    auto *salva = pulsanti->addButton(u"&Salva"_s, QDialogButtonBox::AcceptRole);
    salva->setObjectName(u"btnSalva"_s);
    salva->setDefault(true);
    auto *annulla = pulsanti->addButton(u"&Annulla"_s, QDialogButtonBox::RejectRole);
    annulla->setObjectName(u"btnAnnulla"_s);
    colonna->addWidget(pulsanti);
    connect(salva, &QPushButton::clicked, this, &TfrmDatiNegozio::btnSalvaClick);
    connect(annulla, &QPushButton::clicked, this, &QDialog::reject);

    const DatiNegozio dati = LeggiDatiNegozio(m_percorso);
    txtNome->setText(dati.nome);
    txtIndirizzo->setPlainText(dati.indirizzo);
    txtPartitaIva->setText(dati.partitaIva);
    txtTelefono->setText(dati.telefono);
    txtEmail->setText(dati.email);
    resize(520, sizeHint().height());
}

void TfrmDatiNegozio::btnSalvaClick() {
    auto &dialoghi = Piattaforma::dialoghi();
    const QString errore = ErrorePartitaIva(txtPartitaIva->text());
    if (!errore.isEmpty()) {
        dialoghi.messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                           u"Attenzione: "_s + errore + u'.');
        txtPartitaIva->setFocus();
        return;
    }
    const QString email = txtEmail->text().trimmed();
    if (!email.isEmpty() && (!email.contains(u'@') || email.contains(u' '))) {
        dialoghi.messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                           u"Attenzione: l'indirizzo e-mail non è scritto correttamente "
                           u"(per esempio negozio@esempio.it)."_s);
        txtEmail->setFocus();
        return;
    }
    const DatiNegozio dati{txtNome->text(), txtIndirizzo->toPlainText(), txtPartitaIva->text(),
                           txtTelefono->text(), email};
    if (!ScriviDatiNegozio(dati, m_percorso)) {
        dialoghi.messaggio(this, Piattaforma::TipoMessaggio::Errore,
                           u"Attenzione: non è stato possibile scrivere il file "_s + m_percorso +
                               u". I dati del negozio non sono stati salvati."_s);
        return;
    }
    accept();
}

void PreparaComandoNegozio(QWidget *finestra, QWidget *pannello, QRect pulsante) {
    auto *btnNegozio = new QPushButton(u"Dati del negozio"_s, pannello);
    btnNegozio->setObjectName(u"btnNegozio"_s);
    btnNegozio->setGeometry(pulsante);
    btnNegozio->setFocusPolicy(Qt::StrongFocus);
    btnNegozio->setCursor(Qt::PointingHandCursor);
    btnNegozio->setAccessibleName(u"Dati del negozio"_s);
    const QString descrizione = u"Nome, indirizzo e partita IVA del negozio per gli ordini"_s;
    btnNegozio->setToolTip(descrizione);
    btnNegozio->setAccessibleDescription(descrizione);
    QObject::connect(btnNegozio, &QPushButton::clicked, finestra, [finestra] {
        TfrmDatiNegozio negozio(finestra);
        Piattaforma::dialoghi().esegui(&negozio);
    });
}
