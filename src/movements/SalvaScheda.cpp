#include "movements/SalvaScheda.h"

#include "archive/Archivio.h"
#include "movements/Movimenti.h"
#include "movements/TfrmConflittoScheda.h"
#include "platform/Dialoghi.h"

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

namespace {

SalvataggioScheda daEsito(const EsitoSalvataggio &e, bool nuova) {
    SalvataggioScheda s;
    s.esito = SalvataggioScheda::Salvata;
    s.posizione = e.posizione;
    s.nuova = nuova;
    s.scritta = e.scritta;
    s.giornaleScritto = e.giornaleScritto;
    return s;
}

} // namespace

SalvataggioScheda SalvaScheda(QWidget *finestra, qint64 posizione, const TScheda &caricata,
                              const TScheda &mia, const QList<CambioGiacenza> &cambi,
                              const QString &archivio, const QString &giornale) {
    auto &dialoghi = Piattaforma::dialoghi();
    // A stock change whose line could not be written was not saved either.
    const auto messaggioErrore = [&](const EsitoSalvataggio &e) {
        return e.giornaleScritto ? MessaggioAccessoArchivio(archivio)
                                 : MessaggioGiornaleNonScritto();
    };
    auto accoda = [&]() -> SalvataggioScheda {
        const EsitoSalvataggio e = AccodaConMovimenti(mia, archivio, giornale);
        if (e.esito == EsitoSalvataggio::Salvata) return daEsito(e, true);
        dialoghi.messaggio(finestra, TipoMessaggio::Errore, messaggioErrore(e));
        return {};
    };
    if (posizione < 1) return accoda();

    QMap<GruppoCampi, bool> scelte;
    while (true) {
        const EsitoSalvataggio e =
            SalvaConMovimenti(posizione, caricata, mia, cambi, archivio, scelte, giornale);
        switch (e.esito) {
        case EsitoSalvataggio::Salvata:
            return daEsito(e, false);
        case EsitoSalvataggio::Conflitto: {
            TfrmConflittoScheda domanda(finestra, e.conflitti, mia, e.suDisco);
            dialoghi.esegui(&domanda);
            if (domanda.scelta() == TfrmConflittoScheda::Salva) {
                // Asked again only if the other copy saved once more meanwhile.
                scelte = domanda.tengoLeMie();
                continue;
            }
            if (domanda.scelta() == TfrmConflittoScheda::Ricarica) {
                SalvataggioScheda s;
                s.esito = SalvataggioScheda::Ricaricare;
                s.posizione = posizione;
                s.scritta = e.suDisco;
                return s;
            }
            return {};
        }
        case EsitoSalvataggio::AltraScheda:
            if (dialoghi.domanda(
                    finestra,
                    u"Attenzione: la posizione "_s + QString::number(posizione) +
                        u" dell'archivio ora contiene un'altra scheda ("_s +
                        e.suDisco.testo(Campo::Codice) + u" - "_s + e.suDisco.testo(Campo::Nome) +
                        u"), forse perché un'altra postazione ha eliminato una scheda. Inserire "
                        u"la scheda corrente in archivio come nuova scheda?"_s) == Risposta::No)
                return {};
            return accoda();
        case EsitoSalvataggio::FuoriCampo:
            dialoghi.messaggio(finestra, TipoMessaggio::Avviso,
                               u"Attenzione: con i movimenti registrati nel frattempo da "
                               u"un'altra postazione la giacenza non può più essere archiviata "
                               u"(al massimo 4 caratteri). La scheda non è stata salvata."_s);
            return {};
        case EsitoSalvataggio::ErroreArchivio:
            dialoghi.messaggio(finestra, TipoMessaggio::Errore, messaggioErrore(e));
            return {};
        }
    }
}

void AvvisaGiornale(QWidget *finestra, const SalvataggioScheda &salvataggio) {
    if (salvataggio.esito == SalvataggioScheda::Salvata && !salvataggio.giornaleScritto)
        Piattaforma::dialoghi().messaggio(finestra, TipoMessaggio::Avviso,
                                          MessaggioGiornaleNonScritto());
}
