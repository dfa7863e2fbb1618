#include "server/CopieServer.h"

#include "server/DepositoServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoCorrente.h"

using namespace Qt::StringLiterals;

namespace {

DepositoServer *serverInUso(QString &messaggio) {
    auto *server = dynamic_cast<DepositoServer *>(&DepositoCorrente());
    if (!server) messaggio = u"Attenzione: l'archivio in uso non è su un server."_s;
    return server;
}

} // namespace

bool ServerInUsoInCartella(const QString &cartella, QString &messaggio) {
    DepositoServer *server = serverInUso(messaggio);
    if (!server) return false;
    const EsitoTrasloco esito = CopiaSuCartella(server->connessioneInUso(), cartella);
    messaggio = esito.messaggio;
    return esito.riuscito;
}

bool CartellaNelServerInUso(const QString &cartella, QString &messaggio) {
    DepositoServer *server = serverInUso(messaggio);
    if (!server) return false;
    const EsitoTrasloco esito = SostituisciSuServer(cartella, server->connessioneInUso());
    messaggio = esito.messaggio;
    return esito.riuscito;
}
