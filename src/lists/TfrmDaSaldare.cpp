#include "lists/TfrmDaSaldare.h"

#include "archive/CartellaProgramma.h"

using namespace Qt::StringLiterals;

namespace {
QString ultimaChiaveDaSaldare;
}

TfrmDaSaldare::TfrmDaSaldare(QWidget *genitore)
    : ElencoSchede(genitore, u"TfrmDaSaldare"_s, u" Riepilogo pagamenti non saldati"_s, u"euro"_s,
                   u"Riepilogo pagamenti non saldati"_s, u"Pagamenti non saldati"_s) {}

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
    return ElencaDaSaldare(PercorsoArchivio(), avanza);
}
