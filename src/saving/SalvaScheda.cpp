#include "saving/SalvaScheda.h"

#include "archive/Archivio.h"
#include "journal/Movimenti.h"
#include "platform/Dialoghi.h"
#include "saving/TfrmConflittoScheda.h"
#include "storage/DepositoFile.h"

#include <functional>
#include <memory>

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

// The questions of a save, whichever the archive: `salvaQui` saves at a
// position with the choices made so far, `accodaQui` appends, `conta` and
// `leggi` give a card to show instead, `messaggioErrore` names a failure.
struct ModoSalvataggio {
    std::function<EsitoSalvataggio(qint64 dove, const SceltePerSalvare &scelte)> salvaQui;
    std::function<EsitoSalvataggio()> accodaQui;
    std::function<qint64()> conta;
    std::function<bool(qint64 posizione, TScheda &scheda)> leggi;
    std::function<QString(const EsitoSalvataggio &e)> messaggioErrore;
};

SalvataggioScheda salvaCon(QWidget *finestra, qint64 posizione, const TScheda &caricata,
                           const TScheda &mia, qint64 segnoGiornale, const ModoSalvataggio &modo) {
    auto &dialoghi = Piattaforma::dialoghi();
    auto accoda = [&]() -> SalvataggioScheda {
        const EsitoSalvataggio e = modo.accodaQui();
        if (e.esito == EsitoSalvataggio::Salvata) return daEsito(e, true);
        dialoghi.messaggio(finestra, TipoMessaggio::Errore, modo.messaggioErrore(e));
        return {};
    };
    // The card to show instead of saving: the one at `dove`, or the last one.
    auto ricarica = [&](qint64 dove) -> SalvataggioScheda {
        SalvataggioScheda s;
        const qint64 quante = modo.conta();
        if (dove > quante) dove = quante;
        if (dove < 1 || !modo.leggi(dove, s.scritta)) return s;
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
        const EsitoSalvataggio e = modo.salvaQui(dove, scelte);
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
            dialoghi.messaggio(finestra, TipoMessaggio::Errore, modo.messaggioErrore(e));
            return {};
        }
    }
}

} // namespace

SalvataggioScheda SalvaScheda(QWidget *finestra, qint64 posizione, const TScheda &caricata,
                              const TScheda &mia, const QList<CambioGiacenza> &cambi,
                              const QString &archivio, const QString &giornale,
                              qint64 segnoGiornale) {
    ModoSalvataggio modo;
    modo.salvaQui = [&](qint64 dove, const SceltePerSalvare &scelte) {
        return SalvaConMovimenti(dove, caricata, mia, cambi, archivio, scelte, giornale);
    };
    modo.accodaQui = [&] { return AccodaConMovimenti(mia, archivio, giornale); };
    // One opening for the count and the card.
    auto file = std::make_shared<Archivio>(archivio);
    modo.conta = [file] { return file->ApriArchivio() ? file->conta() : -1; };
    modo.leggi = [file](qint64 p, TScheda &scheda) { return file->leggi(p, scheda); };
    // A stock change whose line could not be written was not saved either.
    modo.messaggioErrore = [&](const EsitoSalvataggio &e) {
        return e.giornaleScritto ? MessaggioAccessoArchivio(archivio)
                                 : MessaggioGiornaleNonScritto();
    };
    return salvaCon(finestra, posizione, caricata, mia, segnoGiornale, modo);
}

SalvataggioScheda SalvaScheda(QWidget *finestra, Deposito &deposito, qint64 posizione,
                              const TScheda &caricata, const TScheda &mia,
                              const QList<CambioGiacenza> &cambi, qint64 segnoGiornale) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return SalvaScheda(finestra, posizione, caricata, mia, cambi, file->archivio(),
                           file->giornale(), segnoGiornale);
    ModoSalvataggio modo;
    modo.salvaQui = [&](qint64 dove, const SceltePerSalvare &scelte) {
        return SalvaConMovimenti(deposito, dove, caricata, mia, cambi, scelte);
    };
    modo.accodaQui = [&] { return AccodaConMovimenti(deposito, mia); };
    modo.conta = [&] { return deposito.conta(); };
    modo.leggi = [&](qint64 p, TScheda &scheda) { return deposito.leggi(p, scheda); };
    modo.messaggioErrore = [&](const EsitoSalvataggio &e) {
        return e.messaggio.isEmpty() ? deposito.messaggio() : e.messaggio;
    };
    return salvaCon(finestra, posizione, caricata, mia, segnoGiornale, modo);
}

void AvvisaGiornale(QWidget *finestra, const SalvataggioScheda &salvataggio) {
    if (salvataggio.esito == SalvataggioScheda::Salvata && !salvataggio.giornaleScritto)
        Piattaforma::dialoghi().messaggio(finestra, TipoMessaggio::Avviso,
                                          MessaggioGiornaleNonScritto());
}
