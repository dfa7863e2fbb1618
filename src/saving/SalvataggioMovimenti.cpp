#include "saving/SalvataggioMovimenti.h"

#include "archive/Archivio.h"
#include "archive/RegoleNumeri.h"
#include "journal/Movimenti.h"

#include <cerrno>

using namespace Qt::StringLiterals;

QString NomeGruppo(GruppoCampi gruppo) {
    switch (gruppo) {
    case GruppoCampi::Prodotto:
        return u"Dati del prodotto"_s;
    case GruppoCampi::Fornitore:
        return u"Fornitore e pagamento"_s;
    case GruppoCampi::Note:
        return u"Note"_s;
    case GruppoCampi::Allegati:
        return u"Allegati"_s;
    }
    return {};
}

QList<Campo> CampiDelGruppo(GruppoCampi gruppo) {
    switch (gruppo) {
    case GruppoCampi::Prodotto:
        return {Campo::Codice,          Campo::Costo,        Campo::Nome,
                Campo::Avviso,          Campo::UM,           Campo::Tipologia,
                Campo::Caratteristiche, Campo::Collocazione, Campo::Prezzo};
    case GruppoCampi::Fornitore:
        return {Campo::Ditta,     Campo::Agente,  Campo::Recapito, Campo::Documento,
                Campo::Pagamento, Campo::DataSca, Campo::Pagato};
    case GruppoCampi::Note:
        return {Campo::Note};
    case GruppoCampi::Allegati:
        return {Campo::File01, Campo::File02, Campo::File03,
                Campo::Desc01, Campo::Desc02, Campo::Desc03};
    }
    return {};
}

namespace {

constexpr GruppoCampi GRUPPI[] = {GruppoCampi::Prodotto, GruppoCampi::Fornitore, GruppoCampi::Note,
                                  GruppoCampi::Allegati};

bool stessoCampo(const TScheda &a, const TScheda &b, Campo c) {
    return a.testo(c) == b.testo(c);
}

} // namespace

Unione UnisciScheda(const TScheda &caricata, const TScheda &mia, const TScheda &suDisco,
                    const QMap<GruppoCampi, bool> &tengoLeMie) {
    Unione u;
    u.scheda = suDisco;
    // Code and name both different: not the card this window loaded.
    u.altraScheda = !stessoCampo(caricata, suDisco, Campo::Codice) &&
                    !stessoCampo(caricata, suDisco, Campo::Nome);
    for (GruppoCampi gruppo : GRUPPI) {
        bool mioCambio = false;
        bool loroCambio = false;
        bool diversi = false;
        for (Campo c : CampiDelGruppo(gruppo)) {
            const bool mio = !stessoCampo(caricata, mia, c);
            const bool loro = !stessoCampo(caricata, suDisco, c);
            mioCambio = mioCambio || mio;
            loroCambio = loroCambio || loro;
            diversi = diversi || (mio && loro && !stessoCampo(mia, suDisco, c));
        }
        if (mioCambio && loroCambio && diversi && !tengoLeMie.contains(gruppo)) {
            u.conflitti << gruppo;
            continue;
        }
        const bool mie = tengoLeMie.value(gruppo, true);
        for (Campo c : CampiDelGruppo(gruppo)) {
            const bool mio = !stessoCampo(caricata, mia, c);
            const bool loro = !stessoCampo(caricata, suDisco, c);
            // Only here, or here and there with this window's values chosen.
            if (mio && (!loro || mie)) u.scheda.impostaTesto(c, mia.testo(c));
        }
    }
    const auto disco = GiacenzaDi(suDisco);
    if (Rifila(mia.testo(Campo::Giacenza)) == Rifila(caricata.testo(Campo::Giacenza))) {
        // Left as the disk has it, so a stock the program cannot count with
        // is never turned into 0 by a save of the note.
        u.giacenzaIntatta = true;
        u.giacenzaDisco = u.giacenza = disco.value_or(0);
        return u;
    }
    const auto mioDopo = GiacenzaDi(mia);
    const auto mioPrima = GiacenzaDi(caricata);
    if (!disco || !mioDopo || !mioPrima) {
        u.giacenzaNonIntera = true;
        u.giacenzaDisco = disco.value_or(0);
        u.giacenza = mioDopo.value_or(0);
        return u;
    }
    u.giacenzaDisco = *disco;
    u.giacenza = u.giacenzaDisco + *mioDopo - *mioPrima;
    u.scheda.impostaTesto(Campo::Giacenza, QString::number(u.giacenza));
    return u;
}

namespace {

// Whether a save may make journal lines: a change in the stock dialog, or a
// stock box changed in the window (even to a text no movement counts from,
// which asks before replacing a stock on disk).
bool ConMovimenti(const TScheda &caricata, const TScheda &mia, const QList<CambioGiacenza> &cambi) {
    for (const CambioGiacenza &c : cambi)
        if (c.quantita != 0) return true;
    return Rifila(mia.testo(Campo::Giacenza)) != Rifila(caricata.testo(Campo::Giacenza));
}

// The lines of a save: one per change of the dialog, and whatever else
// changed the stock here as a correction; or, for a stock replaced whole
// (`sostituita`, the old text), one correction with no quantity.
QList<Movimento> MovimentiDelSalvataggio(const Unione &unione, const TScheda &scritta,
                                         qint64 posizione, const QList<CambioGiacenza> &cambi,
                                         const QString &sostituita) {
    QList<Movimento> movimenti;
    if (!sostituita.isNull()) {
        // Nothing to count from: the new stock is recorded with the old text
        // in the note.
        movimenti << MovimentoScheda(
            scritta, posizione, TipoMovimento::Rettifica, 0, unione.giacenza,
            u"Giacenza \u00AB"_s + sostituita + u"\u00BB, non un numero intero, sostituita con "_s +
                QString::number(unione.giacenza));
        return movimenti;
    }
    qint64 giacenza = unione.giacenzaDisco;
    qint64 resto = unione.giacenza - unione.giacenzaDisco;
    for (const CambioGiacenza &cambio : cambi) {
        if (cambio.quantita == 0) continue;
        const TipoMovimento tipo = cambio.rettifica      ? TipoMovimento::Rettifica
                                   : cambio.quantita > 0 ? TipoMovimento::Carico
                                                         : TipoMovimento::Scarico;
        movimenti << MovimentoScheda(scritta, posizione, tipo, cambio.quantita, giacenza,
                                     cambio.causale);
        giacenza += cambio.quantita;
        resto -= cambio.quantita;
    }
    if (resto != 0)
        movimenti << MovimentoScheda(scritta, posizione, TipoMovimento::Rettifica, resto, giacenza);
    return movimenti;
}

// The card to write over `suDisco`: the fields merged, the stock checked.
// False, with the reason in `esito`, when a question comes first or the
// stock does not fit; `sostituita` is the old text of a stock replaced whole.
bool PreparaUnione(const TScheda &caricata, const TScheda &mia, const TScheda &suDisco,
                   const QList<CambioGiacenza> &cambi, const SceltePerSalvare &scelte,
                   Unione &unione, QString &sostituita, EsitoSalvataggio &esito) {
    unione = UnisciScheda(caricata, mia, suDisco, scelte.tengoLeMie);
    if (!unione.conflitti.isEmpty()) {
        esito.esito = EsitoSalvataggio::Conflitto;
        esito.conflitti = unione.conflitti;
        return false;
    }
    // Movements of the stock dialog need a stock to start from, even
    // when the box ends as it was.
    if (unione.giacenzaIntatta && !GiacenzaDi(suDisco)) {
        for (const CambioGiacenza &cambio : cambi)
            if (cambio.quantita != 0) unione.giacenzaNonIntera = true;
    }
    if (unione.giacenzaNonIntera) {
        if (!scelte.sostituisciGiacenza || !GiacenzaDi(mia)) {
            esito.esito = EsitoSalvataggio::GiacenzaNonIntera;
            return false;
        }
        sostituita = Rifila(suDisco.testo(Campo::Giacenza));
        unione.giacenzaIntatta = false;
        unione.giacenza = unione.giacenzaDisco = *GiacenzaDi(mia);
        unione.scheda.impostaTesto(Campo::Giacenza, QString::number(unione.giacenza));
    }
    if (!GiacenzaArchiviabile(unione.giacenza) && !unione.giacenzaIntatta) {
        esito.esito = EsitoSalvataggio::FuoriCampo;
        return false;
    }
    return true;
}

} // namespace

EsitoSalvataggio SalvaConMovimenti(qint64 posizione, const TScheda &caricata, const TScheda &mia,
                                   const QList<CambioGiacenza> &cambi, const QString &archivio,
                                   const SceltePerSalvare &scelte, const QString &giornale) {
    EsitoSalvataggio esito;
    esito.posizione = posizione;
    const qint64 posizioneCaricata =
        scelte.posizioneCaricata > 0 ? scelte.posizioneCaricata : posizione;
    Archivio file(archivio);
    Unione unione;
    bool scrivere = false;
    bool letta = false;
    bool rifiutata = false;
    // A stock replaced whole, when the one on disk took no movement.
    QString sostituita;
    // Runs once per pass over the record as it is on disk (twice through the
    // intent record, on the same bytes under the same lock).
    const auto modifica = [&](TScheda &suDisco) {
        letta = true;
        scrivere = false;
        rifiutata = true;
        sostituita = QString();
        esito.suDisco = suDisco;
        esito.identita = RiconosciScheda(posizione, suDisco, posizioneCaricata, caricata,
                                         scelte.segnoGiornale, giornale);
        if (esito.identita.esito != IdentitaScheda::Stessa) {
            esito.esito = EsitoSalvataggio::AltraScheda;
            return false;
        }
        if (!PreparaUnione(caricata, mia, suDisco, cambi, scelte, unione, sostituita, esito))
            return false;
        suDisco = unione.scheda;
        scrivere = true;
        rifiutata = false;
        return true;
    };
    bool riuscito = file.ApriArchivio();
    if (riuscito && !ConMovimenti(caricata, mia, cambi)) {
        // Nothing for the journal: one write of the record in place.
        riuscito = file.aggiorna(posizione, modifica);
    } else if (riuscito) {
        // The card and its lines as one operation, in the journal's order
        // since the lines are written under the archive's lock.
        bool registrati = false;
        const Conclusione conclusione =
            ConclusioneDeiMovimenti(archivio, giornale, esito.movimenti, registrati, [&](qint64) {
                esito.movimenti =
                    MovimentiDelSalvataggio(unione, unione.scheda, posizione, cambi, sostituita);
            });
        riuscito = file.scriviInsieme(
                       {posizione}, [&](qint64, TScheda &scheda) { return modifica(scheda); }, 0,
                       {}, &conclusione) > 0;
        esito.giornaleScritto = riuscito || rifiutata || file.errore() != ECANCELED;
    }
    // The archive ends before the position: a removal took the card away, or
    // moved it; not a question of access.
    if (!riuscito && !letta && file.conta() >= 0 && file.conta() < posizione) {
        file.chiudi();
        esito.identita = RiconosciScheda(posizione, std::nullopt, posizioneCaricata, caricata,
                                         scelte.segnoGiornale, giornale);
        esito.esito = esito.identita.esito == IdentitaScheda::Mancante
                          ? EsitoSalvataggio::ErroreArchivio
                          : EsitoSalvataggio::AltraScheda;
        return esito;
    }
    file.chiudi();
    // A question to ask, or a stock that does not fit: nothing written.
    if (rifiutata) return esito;
    if (!riuscito) {
        esito.esito = EsitoSalvataggio::ErroreArchivio;
        return esito;
    }
    if (!scrivere) return esito;
    esito.esito = EsitoSalvataggio::Salvata;
    esito.scritta = unione.scheda;
    return esito;
}

EsitoSalvataggio AccodaConMovimenti(const TScheda &mia, const QString &archivio,
                                    const QString &giornale) {
    EsitoSalvataggio esito;
    const qint64 giacenza = GiacenzaDi(mia).value_or(0);
    if (!GiacenzaArchiviabile(giacenza)) {
        esito.esito = EsitoSalvataggio::FuoriCampo;
        return esito;
    }
    Archivio file(archivio);
    if (!file.ApriArchivio()) {
        esito.esito = EsitoSalvataggio::ErroreArchivio;
        return esito;
    }
    if (giacenza == 0) {
        esito.posizione = file.accoda(mia);
    } else {
        // Its stock and the line "Nuova scheda" together, as for a save.
        bool registrati = false;
        const Conclusione conclusione = ConclusioneDeiMovimenti(
            archivio, giornale, esito.movimenti, registrati, [&](qint64 posizione) {
                esito.movimenti = {
                    MovimentoScheda(mia, posizione, TipoMovimento::NuovaScheda, giacenza, 0)};
            });
        esito.posizione = file.scriviInsieme(
            {}, {}, 1, [&](qint64, TScheda &scheda) { scheda = mia; }, &conclusione);
        esito.giornaleScritto = esito.posizione > 0 || file.errore() != ECANCELED;
    }
    file.chiudi();
    if (esito.posizione < 1) {
        esito.esito = EsitoSalvataggio::ErroreArchivio;
        return esito;
    }
    esito.esito = EsitoSalvataggio::Salvata;
    esito.scritta = mia;
    return esito;
}

EsitoSalvataggio SalvaConMovimenti(Deposito &deposito, qint64 posizione, const TScheda &caricata,
                                   const TScheda &mia, const QList<CambioGiacenza> &cambi,
                                   const SceltePerSalvare &scelte) {
    EsitoSalvataggio esito;
    esito.posizione = posizione;
    const auto errore = [&] {
        esito.esito = EsitoSalvataggio::ErroreArchivio;
        esito.messaggio = deposito.messaggio();
        return esito;
    };
    const qint64 quante = deposito.conta();
    if (quante < 0) return errore();
    TScheda suServer;
    if (posizione <= quante && !deposito.leggi(posizione, suServer)) return errore();
    esito.suDisco = suServer;
    // Another site may have removed the card, or moved it by removing
    // another: the card is the one with the same code and name.
    const bool stessa =
        posizione <= quante && (suServer.byte == caricata.byte ||
                                suServer.testo(Campo::Codice) == caricata.testo(Campo::Codice) ||
                                suServer.testo(Campo::Nome) == caricata.testo(Campo::Nome));
    if (!stessa) {
        esito.esito = EsitoSalvataggio::AltraScheda;
        esito.identita.esito =
            posizione <= quante ? IdentitaScheda::Altra : IdentitaScheda::Eliminata;
        const bool letto = deposito.scorri([&](const TScheda *schede, qint64 n, qint64 prima) {
            for (qint64 i = 0; i < n; ++i)
                if (schede[i].testo(Campo::Codice) == caricata.testo(Campo::Codice) &&
                    schede[i].testo(Campo::Nome) == caricata.testo(Campo::Nome)) {
                    esito.identita = {IdentitaScheda::Spostata, prima + i};
                    return false;
                }
            return true;
        });
        if (!letto && esito.identita.esito != IdentitaScheda::Spostata) return errore();
        return esito;
    }
    Unione unione;
    QString sostituita;
    if (!PreparaUnione(caricata, mia, suServer, cambi, scelte, unione, sostituita, esito))
        return esito;
    if (!sostituita.isNull()) {
        // A stock replaced whole: written as it is, if the server still
        // holds the text that was replaced.
        esito.movimenti =
            MovimentiDelSalvataggio(unione, unione.scheda, posizione, cambi, sostituita);
        const qint64 fatto = deposito.insieme(
            {posizione},
            [&](qint64, TScheda &scheda) {
                if (Rifila(scheda.testo(Campo::Giacenza)) != sostituita) return false;
                scheda = unione.scheda;
                return true;
            },
            0, {}, esito.movimenti);
        if (fatto < 0) return errore();
        esito.esito = EsitoSalvataggio::Salvata;
        esito.scritta = unione.scheda;
        return esito;
    }
    const qint64 delta =
        ConMovimenti(caricata, mia, cambi) ? unione.giacenza - unione.giacenzaDisco : 0;
    const Deposito::Salvataggio salvato = deposito.scriviConRighe(
        posizione, unione.scheda, delta, [&](qint64 prima, const TScheda &scritta) {
            // The stock another site left meanwhile is where the lines start.
            Unione sulServer = unione;
            sulServer.giacenzaDisco = prima;
            sulServer.giacenza = prima + delta;
            esito.movimenti = MovimentiDelSalvataggio(sulServer, scritta, posizione, cambi, {});
            return esito.movimenti;
        });
    switch (salvato.esito) {
    case Deposito::Salvataggio::Fatto:
        esito.esito = EsitoSalvataggio::Salvata;
        esito.scritta = unione.scheda;
        esito.scritta.impostaTesto(Campo::Giacenza, delta != 0 ? QString::number(salvato.dopo)
                                                               : suServer.testo(Campo::Giacenza));
        return esito;
    case Deposito::Salvataggio::FuoriCampo:
        esito.esito = EsitoSalvataggio::FuoriCampo;
        return esito;
    case Deposito::Salvataggio::GiacenzaNonIntera:
        esito.esito = EsitoSalvataggio::GiacenzaNonIntera;
        return esito;
    case Deposito::Salvataggio::NonTrovata:
        esito.esito = EsitoSalvataggio::AltraScheda;
        esito.identita.esito = IdentitaScheda::Eliminata;
        return esito;
    case Deposito::Salvataggio::Errore:
        break;
    }
    return errore();
}

EsitoSalvataggio AccodaConMovimenti(Deposito &deposito, const TScheda &mia) {
    EsitoSalvataggio esito;
    const qint64 giacenza = GiacenzaDi(mia).value_or(0);
    if (!GiacenzaArchiviabile(giacenza)) {
        esito.esito = EsitoSalvataggio::FuoriCampo;
        return esito;
    }
    std::function<QList<Movimento>(qint64)> righe;
    if (giacenza != 0)
        righe = [&](qint64 posizione) {
            esito.movimenti = {
                MovimentoScheda(mia, posizione, TipoMovimento::NuovaScheda, giacenza, 0)};
            return esito.movimenti;
        };
    esito.posizione = deposito.accodaConRighe(mia, righe);
    if (esito.posizione < 1) {
        esito.esito = EsitoSalvataggio::ErroreArchivio;
        esito.messaggio = deposito.messaggio();
        return esito;
    }
    esito.esito = EsitoSalvataggio::Salvata;
    esito.scritta = mia;
    return esito;
}
