#include "saving/SalvaScheda.h"

#include "archive/Archivio.h"
#include "journal/Movimenti.h"
#include "saving/TfrmConflittoScheda.h"
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
                              const QString &archivio, const QString &giornale,
                              qint64 segnoGiornale) {
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
    // The card to show instead of saving: the one at `dove`, or the last one.
    auto ricarica = [&](qint64 dove) -> SalvataggioScheda {
        Archivio file(archivio);
        SalvataggioScheda s;
        if (!file.ApriArchivio()) return s;
        const qint64 quante = file.conta();
        if (dove > quante) dove = quante;
        if (dove < 1 || !file.leggi(dove, s.scritta)) return s;
        s.esito = SalvataggioScheda::Ricaricare;
        s.posizione = dove;
        return s;
    };
    if (posizione < 1) return accoda();

    const QString nomeScheda =
        caricata.testo(Campo::Codice) + u" - "_s + caricata.testo(Campo::Nome);
    SceltePerSalvare scelte;
    scelte.posizioneCaricata = posizione;
    scelte.segnoGiornale = segnoGiornale;
    qint64 dove = posizione;
    while (true) {
        const EsitoSalvataggio e =
            SalvaConMovimenti(dove, caricata, mia, cambi, archivio, scelte, giornale);
        switch (e.esito) {
        case EsitoSalvataggio::Salvata:
            return daEsito(e, false);
        case EsitoSalvataggio::Conflitto: {
            TfrmConflittoScheda domanda(finestra, e.conflitti, mia, e.suDisco);
            dialoghi.esegui(&domanda);
            if (domanda.scelta() == TfrmConflittoScheda::Salva) {
                // Asked again only if the other copy saved once more meanwhile.
                scelte.tengoLeMie = domanda.tengoLeMie();
                continue;
            }
            if (domanda.scelta() == TfrmConflittoScheda::Ricarica) {
                SalvataggioScheda s;
                s.esito = SalvataggioScheda::Ricaricare;
                s.posizione = dove;
                s.scritta = e.suDisco;
                return s;
            }
            return {};
        }
        case EsitoSalvataggio::AltraScheda:
            switch (e.identita.esito) {
            case IdentitaScheda::Spostata:
                switch (dialoghi.domandaConAnnulla(
                    finestra,
                    u"Attenzione: un'altra postazione ha eliminato una scheda, e la scheda "_s +
                        nomeScheda + u" è stata spostata dalla posizione "_s +
                        QString::number(posizione) + u" alla posizione "_s +
                        QString::number(e.identita.posizione) +
                        u" dell'archivio. Salvare le modifiche sulla scheda nella sua nuova "
                        u"posizione? Con \u00ABNo\u00BB la scheda viene ricaricata dalla "
                        u"nuova posizione, senza le modifiche."_s)) {
                case Risposta::Si:
                    dove = e.identita.posizione;
                    continue;
                case Risposta::No:
                    return ricarica(e.identita.posizione);
                default:
                    return {};
                }
            case IdentitaScheda::Eliminata:
            case IdentitaScheda::Altra:
            case IdentitaScheda::Mancante:
            case IdentitaScheda::Stessa: {
                const QString cosa =
                    e.identita.esito == IdentitaScheda::Eliminata
                        ? QString(u"Attenzione: la scheda "_s + nomeScheda +
                                  u" è stata eliminata dall'archivio da un'altra postazione "
                                  u"dopo che è stata aperta qui."_s)
                        : u"Attenzione: la posizione "_s + QString::number(dove) +
                              u" dell'archivio ora contiene un'altra scheda ("_s +
                              e.suDisco.testo(Campo::Codice) + u" - "_s +
                              e.suDisco.testo(Campo::Nome) +
                              u"), forse perché un'altra postazione ha eliminato una scheda."_s;
                switch (dialoghi.domandaConAnnulla(
                    finestra, cosa + u" Inserire la scheda corrente in archivio come nuova "
                                     u"scheda? Con \u00ABNo\u00BB si ricarica la scheda che ora "
                                     u"occupa la posizione, senza le modifiche."_s)) {
                case Risposta::Si:
                    return accoda();
                case Risposta::No:
                    return ricarica(dove);
                default:
                    return {};
                }
            }
            }
            return {};
        case EsitoSalvataggio::GiacenzaNonIntera:
            if (scelte.sostituisciGiacenza || !GiacenzaDi(mia)) {
                dialoghi.messaggio(finestra, TipoMessaggio::Avviso,
                                   MessaggioGiacenzaNonIntera(mia.testo(Campo::Giacenza)) +
                                       u" La scheda non è stata salvata."_s);
                return {};
            }
            if (dialoghi.domanda(
                    finestra, MessaggioGiacenzaNonIntera(e.suDisco.testo(Campo::Giacenza)) +
                                  u" Sostituirla con la giacenza "_s +
                                  QString::number(*GiacenzaDi(mia)) +
                                  u" indicata nella scheda? I movimenti di questa scheda non "
                                  u"saranno applicati alla giacenza precedente."_s) == Risposta::No)
                return {};
            scelte.sostituisciGiacenza = true;
            continue;
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
