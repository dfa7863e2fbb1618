#include "lists/TfrmSottoscorta.h"

#include "archive/CartellaProgramma.h"
#include "platform/Dialoghi.h"

using namespace Qt::StringLiterals;

namespace {
QString ultimaChiaveSottoscorta;
}

TfrmSottoscorta::TfrmSottoscorta(QWidget *genitore)
    : ElencoSchede(genitore, u"TfrmSottoscorta"_s, u" Materiali in esaurimento"_s, u"scorta"_s,
                   u"Materiali in esaurimento"_s, u"Materiali in esaurimento"_s) {}

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
    return ElencaSottoscorta(PercorsoArchivio(), avanza);
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
