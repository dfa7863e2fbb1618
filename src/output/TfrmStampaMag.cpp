#include "output/TfrmStampaMag.h"

using namespace Qt::StringLiterals;

TfrmStampaMag::TfrmStampaMag(QWidget *scheda)
    : FinestraStampaScheda(
          scheda,
          {u" Stampa scheda"_s, u"Stampa dati con foto."_s, u"Stampa dati senza foto."_s,
           u"Stampa"_s, u"Stampa scheda"_s,
           u"Questa operazione stampa i dati testuali della scheda prodotto, con o senza la "
           "foto del prodotto."_s,
           u"Premere Stampa per avviare la stampa su carta, oppure Annulla per rinunciare."_s}) {
    setObjectName(u"frmStampaMag"_s);
}

void TfrmStampaMag::concludi(TfrxReport &modello) {
    modello.Print(this);
}
