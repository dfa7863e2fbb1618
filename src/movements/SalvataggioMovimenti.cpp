#include "movements/SalvataggioMovimenti.h"

#include "archive/Archivio.h"
#include "movements/Movimenti.h"

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
    u.giacenzaDisco = GiacenzaDi(suDisco).value_or(0);
    const qint64 mio = GiacenzaDi(mia).value_or(0) - GiacenzaDi(caricata).value_or(0);
    u.giacenza = u.giacenzaDisco + mio;
    u.scheda.impostaTesto(Campo::Giacenza, QString::number(u.giacenza));
    return u;
}

namespace {

// Whether a save makes journal lines: a change in the stock dialog, or a
// stock changed otherwise in the window.
bool ConMovimenti(const TScheda &caricata, const TScheda &mia, const QList<CambioGiacenza> &cambi) {
    qint64 resto = GiacenzaDi(mia).value_or(0) - GiacenzaDi(caricata).value_or(0);
    bool cambio = false;
    for (const CambioGiacenza &c : cambi) {
        cambio = cambio || c.quantita != 0;
        resto -= c.quantita;
    }
    return cambio || resto != 0;
}

// The lines of a save: one per change of the dialog, and whatever else
// changed the stock here as a correction.
QList<Movimento> MovimentiDelSalvataggio(const Unione &unione, const TScheda &scritta,
                                         qint64 posizione, const QList<CambioGiacenza> &cambi) {
    QList<Movimento> movimenti;
    qint64 giacenza = unione.giacenzaDisco;
    qint64 resto = unione.giacenza - unione.giacenzaDisco;
    for (const CambioGiacenza &cambio : cambi) {
        if (cambio.quantita == 0) continue;
        movimenti << MovimentoScheda(scritta, posizione,
                                     cambio.quantita > 0 ? TipoMovimento::Carico
                                                         : TipoMovimento::Scarico,
                                     cambio.quantita, giacenza, cambio.causale);
        giacenza += cambio.quantita;
        resto -= cambio.quantita;
    }
    if (resto != 0)
        movimenti << MovimentoScheda(scritta, posizione, TipoMovimento::Rettifica, resto, giacenza);
    return movimenti;
}

} // namespace

EsitoSalvataggio SalvaConMovimenti(qint64 posizione, const TScheda &caricata, const TScheda &mia,
                                   const QList<CambioGiacenza> &cambi, const QString &archivio,
                                   const QMap<GruppoCampi, bool> &tengoLeMie,
                                   const QString &giornale) {
    EsitoSalvataggio esito;
    esito.posizione = posizione;
    Archivio file(archivio);
    Unione unione;
    bool scrivere = false;
    const auto modifica = [&](TScheda &suDisco) {
        scrivere = false;
        unione = UnisciScheda(caricata, mia, suDisco, tengoLeMie);
        esito.suDisco = suDisco;
        if (unione.altraScheda) {
            esito.esito = EsitoSalvataggio::AltraScheda;
            return false;
        }
        if (!unione.conflitti.isEmpty()) {
            esito.esito = EsitoSalvataggio::Conflitto;
            esito.conflitti = unione.conflitti;
            return false;
        }
        if (!GiacenzaArchiviabile(unione.giacenza)) {
            esito.esito = EsitoSalvataggio::FuoriCampo;
            return false;
        }
        suDisco = unione.scheda;
        scrivere = true;
        return true;
    };
    bool riuscito = file.ApriArchivio();
    if (riuscito && !ConMovimenti(caricata, mia, cambi)) {
        // Nothing for the journal: one write of the record in place.
        riuscito = file.aggiorna(posizione, modifica);
    } else if (riuscito) {
        bool registrati = false;
        const Conclusione conclusione =
            ConclusioneDeiMovimenti(archivio, giornale, esito.movimenti, registrati, [&](qint64) {
                esito.movimenti = MovimentiDelSalvataggio(unione, unione.scheda, posizione, cambi);
            });
        riuscito = file.scriviInsieme(
                       {posizione}, [&](qint64, TScheda &scheda) { return modifica(scheda); }, 0,
                       {}, &conclusione) > 0;
        // A question to ask, or a stock that does not fit: nothing written.
        if (!riuscito && file.errore() == ESTALE && esito.esito != EsitoSalvataggio::ErroreArchivio)
            return esito;
        esito.giornaleScritto = riuscito || file.errore() != ECANCELED;
    }
    file.chiudi();
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
