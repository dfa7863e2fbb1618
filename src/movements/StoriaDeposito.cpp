#include "movements/StoriaDeposito.h"

#include "storage/DepositoFile.h"

using namespace Qt::StringLiterals;

StoriaScheda LeggiStoriaScheda(Deposito &deposito, qint64 posizione) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return LeggiStoriaScheda(posizione, file->giornale());
    return LeggiStoriaScheda(posizione, [&deposito](const QSet<qint64> &posizioni,
                                                    const SceltaRiga &scelta,
                                                    const VisitaMovimento &visita) {
        LettoreGiornale lettore(scelta, visita);
        lettore.esito.aperto =
            deposito.righeSchede(QList<qint64>(posizioni.cbegin(), posizioni.cend()),
                                 [&](QByteArrayView riga, char separatore, qint64 numero) {
                                     lettore.separatore = separatore;
                                     return lettore(GenereRiga::Movimento, riga, numero);
                                 });
        return lettore.esito;
    });
}

Annullamento AnnullaUltimoMovimento(Deposito &deposito, qint64 posizione,
                                    const AttesaAnnullamento *attesa) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return AnnullaUltimoMovimento(posizione, file->archivio(), file->giornale(), attesa);
    Annullamento esito;
    bool rifiutata = false;
    bool letta = false;
    QList<Movimento> righe;
    // Runs with the card's row locked, inside the change's transaction: no
    // site records a movement of this card in between. The line is made
    // here, before the storage records `righe`.
    const auto modifica = [&](qint64, TScheda &suServer) {
        rifiutata = letta = true;
        esito.esito = Annullamento::NienteDaAnnullare;
        if (attesa && (suServer.testo(Campo::Codice) != attesa->scheda.testo(Campo::Codice) ||
                       suServer.testo(Campo::Nome) != attesa->scheda.testo(Campo::Nome))) {
            esito.esito = Annullamento::NonPiuQui;
            return false;
        }
        const StoriaScheda storia = LeggiStoriaScheda(deposito, posizione);
        if (!storia.letto) {
            esito.esito = Annullamento::ErroreArchivio;
            return false;
        }
        if (!AnnullaSullaScheda(storia, posizione, attesa, suServer, esito)) return false;
        esito.giacenza += esito.movimento.quantita;
        righe = {esito.movimento};
        rifiutata = false;
        return true;
    };
    if (deposito.insieme({posizione}, modifica, 0, {}, righe) > 0) {
        esito.esito = Annullamento::Fatto;
        return esito;
    }
    // A card no longer there is one another site removed.
    if (!letta) {
        const qint64 n = deposito.conta();
        if (n >= 0 && n < posizione) {
            esito.esito = attesa ? Annullamento::NonPiuQui : Annullamento::NienteDaAnnullare;
            return esito;
        }
    }
    if (!rifiutata) esito.esito = Annullamento::ErroreArchivio;
    return esito;
}
