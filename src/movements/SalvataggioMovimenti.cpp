#include "movements/SalvataggioMovimenti.h"

#include "archive/Archivio.h"
#include "movements/Movimenti.h"

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

EsitoSalvataggio SalvaConMovimenti(qint64 posizione, const TScheda &caricata, const TScheda &mia,
                                   const QList<CambioGiacenza> &cambi, const QString &archivio,
                                   const QMap<GruppoCampi, bool> &tengoLeMie,
                                   const QString &giornale) {
    EsitoSalvataggio esito;
    esito.posizione = posizione;
    Archivio file(archivio);
    Unione unione;
    bool scrivere = false;
    const bool riuscito =
        file.ApriArchivio() &&
        file.aggiorna(
            posizione,
            [&](TScheda &suDisco) {
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
            },
            [&](const TScheda &scritta) {
                // The record is on disk: now its movements, one per change of the
                // dialog, and whatever else changed the stock here as a correction,
                // still under the record's lock so that the journal follows the
                // order of the saves.
                qint64 giacenza = unione.giacenzaDisco;
                qint64 resto = unione.giacenza - unione.giacenzaDisco;
                for (const CambioGiacenza &cambio : cambi) {
                    if (cambio.quantita == 0) continue;
                    esito.movimenti << MovimentoScheda(scritta, posizione,
                                                       cambio.quantita > 0 ? TipoMovimento::Carico
                                                                           : TipoMovimento::Scarico,
                                                       cambio.quantita, giacenza, cambio.causale);
                    giacenza += cambio.quantita;
                    resto -= cambio.quantita;
                }
                if (resto != 0)
                    esito.movimenti << MovimentoScheda(scritta, posizione, TipoMovimento::Rettifica,
                                                       resto, giacenza);
                esito.giornaleScritto = RegistraMovimenti(esito.movimenti, giornale);
            });
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
    esito.posizione = file.ApriArchivio() ? file.accoda(mia) : -1;
    file.chiudi();
    if (esito.posizione < 1) {
        esito.esito = EsitoSalvataggio::ErroreArchivio;
        return esito;
    }
    esito.esito = EsitoSalvataggio::Salvata;
    esito.scritta = mia;
    if (giacenza != 0)
        esito.movimenti << MovimentoScheda(mia, esito.posizione, TipoMovimento::NuovaScheda,
                                           giacenza, 0);
    esito.giornaleScritto = RegistraMovimenti(esito.movimenti, giornale);
    return esito;
}
