#include "card/ComandiScheda.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "journal/Eliminazione.h"
#include "journal/Movimenti.h"
#include "movements/TfrmMovimentiScheda.h"
#include "platform/Dialoghi.h"
#include "removal/EliminaDeposito.h"
#include "removal/TfrmSchedeEliminate.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <cerrno>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

PulsantiMovimenti PreparaPulsantiMovimenti(QWidget *pannello, QRect area) {
    // Picture buttons with their text, as the card's other commands.
    auto pulsante = [pannello](const QString &nome, const QString &icona, const QString &testo,
                               const QString &descrizione, QRect posto) {
        auto *b = new PulsanteImmagine(nome, icona, testo, pannello, true);
        b->setGeometry(posto);
        b->setIconSize(QSize(28, 28));
        b->setFocusPolicy(Qt::TabFocus);
        b->setToolTip(descrizione);
        b->setAccessibleDescription(descrizione);
        return b;
    };
    const int alto = (area.height() - 6) / 2;
    const int mezzo = (area.width() - 6) / 2;
    PulsantiMovimenti p;
    p.btnMovimenti = pulsante(u"btnMovimenti"_s, u"grafico"_s, u"Movimenti"_s,
                              u"Visualizza i movimenti di magazzino della scheda corrente."_s,
                              QRect(area.x(), area.y(), mezzo, alto));
    p.btnElimina = pulsante(u"btnElimina"_s, u"cestino"_s, u"Elimina"_s,
                            u"Elimina la scheda corrente dall'archivio."_s,
                            QRect(area.x() + mezzo + 6, area.y(), area.width() - mezzo - 6, alto));
    p.btnSchedeEliminate = pulsante(u"btnSchedeEliminate"_s, u"ripristina"_s, u"Schede eliminate"_s,
                                    u"Visualizza le schede eliminate e ne ripristina una."_s,
                                    QRect(area.x(), area.y() + alto + 6, area.width(), alto));
    return p;
}

qint64 MostraMovimentiScheda(QWidget *finestra, qint64 posizione) {
    if (posizione < 1) {
        Piattaforma::dialoghi().messaggio(
            finestra, TipoMessaggio::Avviso,
            u"Attenzione: i movimenti si possono visualizzare soltanto per una scheda inserita "
            u"in archivio."_s);
        return -1;
    }
    TfrmMovimentiScheda storia(finestra, posizione, DepositoCorrente());
    Piattaforma::dialoghi().esegui(&storia);
    return storia.giacenzaCambiata() ? storia.giacenza() : -1;
}

SchedaDopoEliminazione EliminaSchedaConDomanda(QWidget *finestra, qint64 posizione,
                                               const TScheda &caricata) {
    SchedaDopoEliminazione dopo;
    auto &dialoghi = Piattaforma::dialoghi();
    if (posizione < 1) {
        dialoghi.messaggio(finestra, TipoMessaggio::Avviso,
                           u"Attenzione: si può eliminare soltanto una scheda inserita in "
                           u"archivio."_s);
        return dopo;
    }
    if (dialoghi.domanda(
            finestra,
            u"Eliminare dall'archivio la scheda n. "_s + QString::number(posizione) + u" ("_s +
                caricata.testo(Campo::Codice) + u" - "_s + caricata.testo(Campo::Nome) +
                u")? Si potrà ripristinarla da \u00ABSchede eliminate\u00BB."_s) == Risposta::No)
        return dopo;
    Deposito &deposito = DepositoCorrente();
    const EsitoEliminazione esito = EliminaScheda(deposito, posizione, caricata);
    switch (esito.esito) {
    case EsitoEliminazione::NonPiuLaStessa:
        dialoghi.messaggio(finestra, TipoMessaggio::Avviso,
                           u"Attenzione: la scheda è stata modificata o spostata da un'altra "
                           u"postazione dopo che è stata aperta qui, e non è stata eliminata. "
                           u"Riaprirla e riprovare."_s);
        return dopo;
    case EsitoEliminazione::ErroreArchivio:
        dialoghi.messaggio(finestra, TipoMessaggio::Errore,
                           ArchivioSuServer() ? deposito.messaggio()
                           : esito.errore     ? MessaggioScritturaArchivio(esito.errore)
                                              : MessaggioAccessoArchivio());
        return dopo;
    case EsitoEliminazione::GiornaleNonScritto:
        // The journal would be the removed card's only copy.
        dialoghi.messaggio(finestra, TipoMessaggio::Errore,
                           u"Attenzione: la scheda non è stata eliminata, perché il giornale "
                           u"Movimenti.csv non può essere scritto. Controllare lo spazio libero "
                           u"e i permessi della cartella del programma."_s);
        return dopo;
    case EsitoEliminazione::Fatta:
        break;
    }
    dopo.eliminata = true;
    dialoghi.messaggio(finestra, TipoMessaggio::Informazione,
                       u"La scheda è stata eliminata dall'archivio."_s);
    // The card now at that position, or the one before it.
    if (esito.spostataDa > 0) {
        dopo.mostrare = true;
        dopo.posizione = posizione;
        dopo.scheda = esito.spostata;
        return dopo;
    }
    if (posizione > 1 && deposito.leggi(posizione - 1, dopo.scheda)) {
        dopo.mostrare = true;
        dopo.posizione = posizione - 1;
    }
    return dopo;
}

qint64 MostraSchedeEliminate(QWidget *finestra) {
    TfrmSchedeEliminate elenco(finestra, DepositoCorrente());
    Piattaforma::dialoghi().esegui(&elenco);
    return elenco.posizioneRipristinata();
}
