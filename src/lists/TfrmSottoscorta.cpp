#include "lists/TfrmSottoscorta.h"

#include "archive/CartellaProgramma.h"
#include "lists/Ancoraggi.h"
#include "orders/LetturaOrdiniAperti.h"
#include "orders/TfrmOrdini.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {
QString ultimaChiaveSottoscorta;
}

TfrmSottoscorta::TfrmSottoscorta(QWidget *genitore)
    : ElencoSchede(genitore, u"TfrmSottoscorta"_s, u" Materiali in esaurimento"_s, u"scorta"_s,
                   u"Materiali in esaurimento"_s, u"Materiali in esaurimento"_s) {
    QWidget *pan = findChild<QWidget *>(u"panContainer"_s);
    m_btnOrdini = PulsanteElenco(u"btnOrdini"_s, u"Ordini"_s, pan);
    m_btnOrdini->setAccessibleDescription(u"Prepara gli ordini ai fornitori"_s);
    m_btnOrdini->setGeometry(332, 504, 120, 38);
    // The texts on the left make room for the one more command.
    spazioAttesa(298);
    m_ancoraggiElenco->aggiungi(m_btnOrdini, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);
    setTabOrder(m_btnStampa, m_btnOrdini);
    // The progress of a long pass shows over the button.
    m_prgAvanzamento->raise();
    connect(m_btnOrdini, &QPushButton::clicked, this, &TfrmSottoscorta::btnOrdiniClick);

    m_lettura = new LetturaOrdiniAperti(this);
    m_lblInOrdine = new QLabel(pan);
    m_lblInOrdine->setObjectName(u"lblInOrdine"_s);
    m_lblInOrdine->setTextFormat(Qt::PlainText);
    m_lblInOrdine->setFont(FontVerdana(9, true));
    m_lblInOrdine->setStyleSheet(u"QLabel { color: darkgreen; }"_s);
    // Above the commands, right of the double-click hint.
    m_lblInOrdine->setGeometry(460, 472, 376, 20);
    m_lblInOrdine->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ValoreAccessibile(m_lblInOrdine, u"In ordine"_s);
    m_ancoraggiElenco->aggiungi(m_lblInOrdine, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);
    connect(m_lstRecords->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmSottoscorta::mostraInOrdine);
    connect(m_lettura, &LetturaOrdiniAperti::letti, this, [this] {
        m_inOrdine = m_lettura->aperti()->quantita;
        mostraInOrdine();
    });
}

void TfrmSottoscorta::riempito(const EsitoElenco &) {
    m_lettura->avvia(DepositoCorrente());
    mostraInOrdine();
}

void TfrmSottoscorta::mostraInOrdine() {
    if (!m_lettura->aperti()) {
        m_lblInOrdine->setText(u"Lettura degli ordini aperti in corso..."_s);
        return;
    }
    const qsizetype i = m_lstRecords->selezionata();
    if (i < 0) {
        m_lblInOrdine->setText(m_inOrdine.isEmpty() ? QString()
                                                    : u"Articoli con ordini aperti: "_s +
                                                          QString::number(m_inOrdine.size()));
        return;
    }
    const qint64 quantita = m_inOrdine.value(m_lstRecords->righe().posizione(i));
    m_lblInOrdine->setText(quantita == 0 ? u"Nessun ordine aperto per questo articolo."_s
                                         : u"In ordine e non ancora caricati: "_s +
                                               QString::number(quantita));
}

void TfrmSottoscorta::btnOrdiniClick() {
    TfrmOrdini ordini(this);
    Piattaforma::dialoghi().esegui(&ordini);
    // Orders recorded there show here once read again.
    m_lettura->avvia(DepositoCorrente());
    mostraInOrdine();
}

QString &TfrmSottoscorta::ultimaChiave() {
    return ultimaChiaveSottoscorta;
}

const FormatoRiga &TfrmSottoscorta::formato() const {
    return FormatoTrova();
}

QString TfrmSottoscorta::titoloStampa() const {
    return u"Materiali in esaurimento"_s;
}

EsitoElenco TfrmSottoscorta::passata(const Avanza &avanza) const {
    return ElencaSottoscorta(DepositoCorrente(), avanza);
}

void TfrmSottoscorta::segnalaScartate(const QStringList &codici) {
    // A card that cannot be judged is named, so the user can put it right.
    const QString quante =
        codici.size() == 1 ? u"1 scheda"_s : QString::number(codici.size()) + u" schede"_s;
    Piattaforma::dialoghi().messaggio(
        this, Piattaforma::TipoMessaggio::Avviso,
        u"Attenzione: non è stato possibile valutare "_s + quante +
            u", perché la giacenza o la soglia di avviso non è un numero valido: "_s +
            ElencoCodici(codici) +
            u". Correggere la giacenza e la soglia di avviso nelle schede indicate."_s);
}
