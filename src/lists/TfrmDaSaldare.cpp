#include "lists/TfrmDaSaldare.h"

#include "archive/CartellaProgramma.h"
#include "archive/Importi.h"
#include "lists/Ancoraggi.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
QString ultimaChiaveDaSaldare;
}

TfrmDaSaldare::TfrmDaSaldare(QWidget *genitore)
    : ElencoSchede(genitore, u"TfrmDaSaldare"_s, u" Riepilogo pagamenti non saldati"_s, u"euro"_s,
                   u"Riepilogo pagamenti non saldati"_s, u"Pagamenti non saldati"_s) {
    // Below the double-click hint, where the waiting label shows during the pass.
    m_lblDovuto = new QLabel(findChild<QWidget *>(u"panContainer"_s));
    m_lblDovuto->setObjectName(u"lblDovuto"_s);
    m_lblDovuto->setTextFormat(Qt::PlainText);
    m_lblDovuto->setFont(FontVerdana(10, true));
    m_lblDovuto->setStyleSheet(u"QLabel { color: maroon; }"_s);
    m_lblDovuto->setGeometry(26, 494, 426, 44);
    m_lblDovuto->setWordWrap(true);
    m_lblDovuto->hide();
    m_ancoraggiElenco->aggiungi(m_lblDovuto, Ancoraggi::SegueBasso);
    ValoreAccessibile(m_lblDovuto, u"Da saldare"_s);
}

QString &TfrmDaSaldare::ultimaChiave() {
    return ultimaChiaveDaSaldare;
}

const FormatoRiga &TfrmDaSaldare::formato() const {
    return FormatoDaSaldare();
}

QString TfrmDaSaldare::titoloStampa() const {
    return u"Riepilogo pagamenti non saldati"_s;
}

EsitoElenco TfrmDaSaldare::passata(const Avanza &avanza) const {
    return ElencaDaSaldare(DepositoCorrente(), avanza);
}

void TfrmDaSaldare::riempito(const EsitoElenco &esito) {
    const qsizetype voci = m_lstRecords->righe().size();
    QString testo =
        (voci == 1 ? u"1 voce in elenco"_s : QString::number(voci) + u" voci in elenco"_s) +
        u", valore a costo della giacenza: "_s + ImportoInEuro(esito.totale);
    if (!esito.scartate.isEmpty())
        testo += u" (senza "_s +
                 (esito.scartate.size() == 1
                      ? u"1 scheda non valutabile)"_s
                      : QString::number(esito.scartate.size()) + u" schede non valutabili)"_s);
    m_lblDovuto->setText(testo);
    m_lblDovuto->show();
}

void TfrmDaSaldare::segnalaScartate(const QStringList &codici) {
    // The cards stay in the list; only their value is missing from the total.
    const QString quante =
        codici.size() == 1 ? u"1 scheda"_s : QString::number(codici.size()) + u" schede"_s;
    Piattaforma::dialoghi().messaggio(
        this, Piattaforma::TipoMessaggio::Avviso,
        u"Attenzione: non è stato possibile valutare "_s + quante +
            u", perché la giacenza o il costo non è un numero valido: "_s + ElencoCodici(codici) +
            u". Le schede restano in elenco ma non sono comprese nel valore a costo. Correggere "
            "la giacenza e il costo nelle schede indicate."_s);
}
