#include "output/TfrmAnteprimaMag.h"

using namespace Qt::StringLiterals;

TfrmAnteprimaMag::TfrmAnteprimaMag(QWidget *scheda)
    : FinestraStampaScheda(
          scheda, {u" Anteprima di stampa"_s, u"Anteprima dati con foto."_s,
                   u"Anteprima dati senza foto."_s, u"Mostra anteprima"_s, u"Anteprima di stampa"_s,
                   u"Questa operazione mostra l'anteprima dei dati testuali della scheda prodotto, "
                   "con o senza la foto del prodotto."_s,
                   u"Fare clic su Mostra anteprima per vedere il documento sullo schermo prima di "
                   "stamparlo."_s}) {
    setObjectName(u"frmAnteprimaMag"_s);
}

void TfrmAnteprimaMag::concludi(TfrxReport &modello) {
    modello.ShowReport(true, this);
}
