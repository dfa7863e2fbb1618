#include "removal/EliminaDeposito.h"

#include "storage/DepositoFile.h"

EsitoEliminazione EliminaScheda(Deposito &deposito, qint64 posizione, const TScheda &attesa) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return EliminaScheda(posizione, attesa, file->archivio(), file->giornale());
    EsitoEliminazione esito;
    const Deposito::Rimozione r = deposito.togli(posizione, attesa);
    switch (r.esito) {
    case Deposito::Rimozione::Fatta:
        esito.esito = EsitoEliminazione::Fatta;
        break;
    case Deposito::Rimozione::NonPiuLaStessa:
        esito.esito = EsitoEliminazione::NonPiuLaStessa;
        return esito;
    case Deposito::Rimozione::Errore:
        esito.esito = EsitoEliminazione::ErroreArchivio;
        return esito;
    }
    esito.spostataDa = r.spostataDa;
    // The card now in its place, for the window to show; the removal stands
    // even if it cannot be read now.
    if (r.spostataDa > 0 && !deposito.leggi(posizione, esito.spostata)) esito.spostata = TScheda();
    return esito;
}

bool SchedeEliminate(Deposito &deposito, QList<SchedaEliminata> &eliminate, qint64 *danneggiate) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito)) {
        eliminate = SchedeEliminate(file->giornale(), danneggiate);
        return true;
    }
    eliminate.clear();
    if (danneggiate) *danneggiate = 0;
    for (const Deposito::Eliminata &e : deposito.eliminate())
        eliminate << SchedaEliminata{e.movimento, e.scheda, e.chiave};
    // An empty list from a server that does not answer is no list: asking
    // it once more tells the two apart.
    return !eliminate.isEmpty() || deposito.conta() >= 0;
}

EsitoRipristinoScheda RipristinaScheda(Deposito &deposito, const SchedaEliminata &eliminata) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return RipristinaScheda(eliminata, file->archivio(), file->giornale());
    EsitoRipristinoScheda esito;
    esito.posizione = deposito.ripristina(
        Deposito::Eliminata{eliminata.chiave, eliminata.scheda, eliminata.movimento});
    if (esito.posizione > 0) {
        esito.esito = EsitoRipristinoScheda::Fatto;
        return esito;
    }
    // Not among the removed ones any more: another site brought it back.
    QList<SchedaEliminata> ancora;
    if (SchedeEliminate(deposito, ancora)) {
        const bool presente = std::any_of(ancora.cbegin(), ancora.cend(), [&](const auto &e) {
            return e.chiave == eliminata.chiave;
        });
        if (!presente) esito.esito = EsitoRipristinoScheda::GiaRipristinata;
    }
    return esito;
}
