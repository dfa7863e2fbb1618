#include "labels/Etichette.h"

#include "archive/Archivio.h"
#include "archive/RegoleNumeri.h"
#include "labels/CercaCodice.h"
#include "labels/TfrmEtichette.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::TipoMessaggio;

void ApriEtichetteScheda(QWidget *proprietario, const SchedaEtichetta &scheda) {
    TfrmEtichette finestra(proprietario, {scheda}, TfrmEtichette::Origine::Scheda);
    dialoghi().esegui(&finestra);
}

void ApriEtichetteElenco(QWidget *proprietario, const QList<qint64> &posizioni) {
    ApriEtichetteElenco(proprietario, QString(), posizioni);
}

void ApriEtichetteElenco(QWidget *proprietario, const QString &archivio,
                         const QList<qint64> &posizioni) {
    if (posizioni.isEmpty()) {
        dialoghi().messaggioSemplice(proprietario,
                                     u"La lista non contiene nessuna scheda di cui stampare le "
                                     u"etichette."_s);
        return;
    }
    QList<SchedaEtichetta> schede;
    const bool suFile = DepositoCorrenteSuFile() != nullptr;
    if (!(suFile && !archivio.isEmpty()
              ? LeggiSchedeEtichette(archivio, posizioni, schede)
              : LeggiSchedeEtichette(DepositoCorrente(), posizioni, schede))) {
        dialoghi().messaggioSemplice(proprietario, suFile ? MessaggioAccessoArchivio()
                                                          : DepositoCorrente().messaggio());
        return;
    }
    TfrmEtichette finestra(proprietario, schede, TfrmEtichette::Origine::Elenco);
    dialoghi().esegui(&finestra);
}

namespace {

void gestisciCodice(QWidget *finestra, const QString &codice, const AzioniCodice &azioni,
                    const std::function<EsitoCodice()> &cerca) {
    const QString errore = CodiceNonValido(codice);
    if (!errore.isEmpty()) {
        dialoghi().messaggio(finestra, TipoMessaggio::Avviso, errore);
        return;
    }
    EsitoCodice esito = cerca();
    if (!esito.riuscito) {
        dialoghi().messaggio(finestra, TipoMessaggio::Errore,
                             esito.messaggio.isEmpty() ? MessaggioAccessoArchivio()
                                                       : esito.messaggio);
        return;
    }
    const QString c = Rifila(codice);
    if (esito.posizioni.isEmpty()) {
        const QString testo = u"Nessuna scheda ha il codice «"_s + c + u"»."_s;
        if (!azioni.nuova) {
            dialoghi().messaggio(finestra, TipoMessaggio::Informazione, testo);
            return;
        }
        if (dialoghi().domanda(finestra,
                               testo + u"\nCreare una nuova scheda con questo codice?"_s) ==
            Piattaforma::Risposta::Si)
            azioni.nuova(c);
        return;
    }
    if (esito.posizioni.size() == 1) {
        azioni.apri(esito.prima, esito.posizioni.first());
        return;
    }
    esito.righe.ordina();
    azioni.elenco(std::move(esito.righe));
}

} // namespace

void GestisciCodiceLetto(QWidget *finestra, const QString &archivio, const QString &codice,
                         const AzioniCodice &azioni) {
    gestisciCodice(finestra, codice, azioni, [&] { return CercaCodiceEsatto(archivio, codice); });
}

void GestisciCodiceLetto(QWidget *finestra, Deposito &deposito, const QString &codice,
                         const AzioniCodice &azioni) {
    gestisciCodice(finestra, codice, azioni, [&] { return CercaCodiceEsatto(deposito, codice); });
}
