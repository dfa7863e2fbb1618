#include "server/Trasloco.h"

#include "archive/Archivio.h"
#include "archive/FileIntero.h"
#include "journal/Giornale.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "storage/DepositoFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

std::function<void(const QString &)> &passoTrasloco() {
    static std::function<void(const QString &)> passo;
    return passo;
}

void passo(const QString &nome) {
    if (passoTrasloco()) passoTrasloco()(nome);
}

const QString CARTELLA_ALLEGATI = u"Documenti_Allegati"_s;
const QString CARTELLA_ELIMINATE = u"Schede eliminate"_s;

// Size and digest of a file's bytes, as the server's md5() gives them.
struct Impronta {
    qint64 dimensione = 0;
    QByteArray md5;
    bool operator==(const Impronta &) const = default;
};
Impronta improntaDi(const QByteArray &byte) {
    return {byte.size(), QCryptographicHash::hash(byte, QCryptographicHash::Md5).toHex()};
}

bool leggiTutto(const QString &percorso, QByteArray &byte) {
    QFile file(percorso);
    if (!QFileInfo(percorso).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    byte = file.readAll();
    return file.error() == QFile::NoError;
}

// The photos of a folder: <n>.jpg with n a position as the program writes it.
QList<qint64> fotoDi(const QString &cartella) {
    static const QRegularExpression nome(u"^([1-9][0-9]{0,17})\\.jpg$"_s);
    QList<qint64> posizioni;
    for (const QFileInfo &f : QDir(cartella).entryInfoList(QDir::Files, QDir::Name)) {
        const auto m = nome.match(f.fileName());
        if (m.hasMatch()) posizioni << m.captured(1).toLongLong();
    }
    std::sort(posizioni.begin(), posizioni.end());
    return posizioni;
}

// The journal's lines as they stand; a line of the older kind with ','
// becomes the program's line with ';'. A damaged line stays as it is, so
// nothing of it is lost. Written anew, a time in UTC could change its
// spelling ("Z", "+00:00"), so a line already with ';' keeps its bytes.
struct RigaMossa {
    QByteArray riga;
    std::optional<Movimento> movimento;
    char separatore = ';';
};
bool lineeGiornale(const QString &giornale, QList<RigaMossa> &righe) {
    const LetturaGiornale l = LeggiGiornale(
        giornale,
        [&](QByteArrayView riga, char separatore) {
            righe << RigaMossa{riga.toByteArray(), std::nullopt, separatore};
            return true;
        },
        [&](const Movimento &m, qint64) {
            righe.last().movimento = m;
            if (righe.last().separatore != ';') righe.last().riga = RigaGiornale(m, ';');
            return true;
        });
    return l.aperto;
}

QByteArray digestRighe(const QList<QByteArray> &righe) {
    QCryptographicHash h(QCryptographicHash::Md5);
    for (const QByteArray &r : righe)
        h.addData(QCryptographicHash::hash(r, QCryptographicHash::Md5).toHex());
    return h.result().toHex();
}

// Every card on the server against the archive file, byte for byte. False
// with `guasto` set when the server failed rather than the comparison.
bool ConfrontaConServer(Connessione &c, const QString &percorso, qint64 attese, bool &guasto) {
    DepositoServer server(c);
    Archivio archivio(percorso);
    guasto = false;
    const qint64 sulServer = server.conta();
    guasto = sulServer < 0;
    if (guasto || !archivio.ApriArchivio() || archivio.conta() != attese || sulServer != attese)
        return false;
    std::vector<TScheda> blocco(DepositoServer::BLOCCO);
    bool uguali = true;
    const bool letto = server.scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        uguali = archivio.leggi(prima, blocco.data(), quante) &&
                 std::memcmp(blocco.data(), schede, std::size_t(quante) * TScheda::DIMENSIONE) == 0;
        return uguali;
    });
    guasto = !letto;
    return letto && uguali;
}

bool verificaFile(Connessione &c, const char *sql, const QHash<QString, Impronta> &attese,
                  bool &guasto) {
    const Risultato r = c.esegui(sql);
    guasto = !r.ok();
    if (!r.ok() || r.righe() != attese.size()) return false;
    for (int i = 0; i < r.righe(); ++i)
        if (attese.value(r.testo(i, 0)) != Impronta{r.numero(i, 1), r.dati(i, 2)}) return false;
    return true;
}

} // namespace

void ImpostaPassoTrasloco(std::function<void(const QString &passo)> funzione) {
    passoTrasloco() = std::move(funzione);
}

namespace {

EsitoTrasloco copiaSuServer(const QString &cartella, Connessione &c, bool sostituisci) {
    EsitoTrasloco esito;
    DepositoFile file(cartella);
    const auto fallito = [&](const QString &messaggio) {
        esito.riuscito = false;
        esito.messaggio = messaggio.isEmpty() ? c.messaggio() : messaggio;
        return esito;
    };
    if (!c.aperta()) return fallito({});
    if (!QFileInfo(file.archivio()).isFile())
        return fallito(u"Attenzione: nella cartella non c'è l'archivio Magazzino.pro."_s);
    if (!CreaSchema(c)) return fallito({});

    Transazione t(c);
    if (!t.iniziata() ||
        !c.comando("LOCK TABLE schede, movimenti, foto, allegati, schede_eliminate IN "
                   "EXCLUSIVE MODE"))
        return fallito({});
    const Risultato vuoto =
        c.esegui("SELECT (SELECT count(*) FROM schede) + (SELECT count(*) FROM movimenti) + "
                 "(SELECT count(*) FROM foto) + (SELECT count(*) FROM allegati) + "
                 "(SELECT count(*) FROM schede_eliminate)");
    if (!vuoto.ok()) return fallito({});
    // The archive there goes in the same transaction as the new one comes.
    if (sostituisci && vuoto.numero(0, 0) != 0) {
        for (const char *sql : {"DELETE FROM schede", "DELETE FROM movimenti", "DELETE FROM foto",
                                "DELETE FROM allegati", "DELETE FROM schede_eliminate"})
            if (!c.comando(sql)) return fallito({});
    } else if (vuoto.numero(0, 0) != 0)
        return fallito(u"Attenzione: il database sul server contiene già un archivio; l'archivio "
                       u"si copia solo in un database vuoto."_s);

    // The cards, in blocks as the file gives them.
    passo(u"schede"_s);
    QByteArray copia = "COPY schede (posizione, ";
    for (const char *colonna : ColonneSchede())
        copia += QByteArray(colonna) + ", ";
    copia += "grezzo) FROM STDIN (FORMAT binary)";
    if (!c.iniziaCopia(copia.constData())) return fallito({});
    bool inviato = true;
    RigheCopia intestazione;
    if (!c.inviaCopia(intestazione.byte())) return fallito({});
    const bool letto = file.scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        RigheCopia righe;
        righe.byte().clear();
        for (qint64 i = 0; i < quante; ++i) {
            const RigaScheda r = RigaDaScheda(schede[i]);
            righe.riga(NUMERO_CAMPI + 2);
            righe.numero(prima + i);
            for (const QString &campo : r.campi)
                righe.testo(campo);
            if (r.grezzo.isEmpty())
                righe.niente();
            else
                righe.dati(r.grezzo);
        }
        esito.schede += quante;
        inviato = c.inviaCopia(righe.byte());
        return inviato;
    });
    if (!letto) return fallito(file.messaggio());
    RigheCopia trailer;
    trailer.byte().clear();
    trailer.fine();
    if (!inviato || !c.inviaCopia(trailer.byte()) || !c.chiudiCopia()) return fallito({});

    // The journal.
    passo(u"movimenti"_s);
    QList<RigaMossa> righeGiornale;
    if (!lineeGiornale(file.giornale(), righeGiornale))
        return fallito(AvvisoGiornaleIlleggibile(file.giornale()));
    QList<QByteArray> righeAttese;
    if (!righeGiornale.isEmpty()) {
        if (!c.iniziaCopia("COPY movimenti (quando, posizione, tipo, chiave, riga) FROM STDIN "
                           "(FORMAT binary)"))
            return fallito({});
        RigheCopia righe;
        for (const RigaMossa &r : righeGiornale) {
            righe.riga(5);
            if (r.movimento) {
                const Movimento &m = *r.movimento;
                righe.istante(m.quando.toMSecsSinceEpoch());
                righe.numero(m.posizione);
                righe.testo(NomeTipo(m.tipo));
                const QString chiave = ChiaveDiMovimento(m);
                if (chiave.isEmpty())
                    righe.niente();
                else
                    righe.testo(chiave);
            } else {
                righe.niente();
                righe.niente();
                righe.niente();
                righe.niente();
            }
            righe.dati(r.riga);
            righeAttese << r.riga;
            if (righe.byte().size() > (1 << 20)) {
                if (!c.inviaCopia(righe.byte())) return fallito({});
                righe.byte().clear();
            }
        }
        righe.fine();
        if (!c.inviaCopia(righe.byte()) || !c.chiudiCopia()) return fallito({});
    }
    esito.movimenti = righeGiornale.size();

    // Photos, attachments, the removed cards' files.
    passo(u"foto"_s);
    QHash<qint64, Impronta> impronteFoto;
    const QList<qint64> foto = fotoDi(cartella);
    if (!foto.isEmpty()) {
        if (!c.iniziaCopia("COPY foto (posizione, dati) FROM STDIN (FORMAT binary)"))
            return fallito({});
        RigheCopia righe;
        for (qint64 p : foto) {
            QByteArray byte;
            if (!leggiTutto(QDir(cartella).filePath(QString::number(p) + u".jpg"_s), byte))
                return fallito(u"Attenzione: la foto "_s + QString::number(p) +
                               u".jpg non può essere letta."_s);
            impronteFoto.insert(p, improntaDi(byte));
            righe.riga(2);
            righe.numero(p);
            righe.dati(byte);
            if (!c.inviaCopia(righe.byte())) return fallito({});
            righe.byte().clear();
        }
        righe.fine();
        if (!c.inviaCopia(righe.byte()) || !c.chiudiCopia()) return fallito({});
    }
    esito.foto = foto.size();

    const auto copiaCartella = [&](const QString &sotto, const char *sql,
                                   QHash<QString, Impronta> &impronte) {
        const QString percorso = QDir(cartella).filePath(sotto);
        const QStringList nomi = FileSotto(percorso);
        if (nomi.isEmpty()) return true;
        if (!c.iniziaCopia(sql)) return false;
        RigheCopia righe;
        for (const QString &nome : nomi) {
            QByteArray byte;
            if (!leggiTutto(QDir(percorso).filePath(nome), byte)) {
                esito.messaggio = u"Attenzione: il file \u00AB"_s + sotto + u'/' + nome +
                                  u"\u00BB non può essere letto."_s;
                return false;
            }
            impronte.insert(nome, improntaDi(byte));
            righe.riga(2);
            righe.testo(nome);
            righe.dati(byte);
            if (!c.inviaCopia(righe.byte())) return false;
            righe.byte().clear();
        }
        righe.fine();
        return c.inviaCopia(righe.byte()) && c.chiudiCopia();
    };
    passo(u"allegati"_s);
    QHash<QString, Impronta> impronteAllegati, impronteEliminate;
    if (!copiaCartella(CARTELLA_ALLEGATI, "COPY allegati (nome, dati) FROM STDIN (FORMAT binary)",
                       impronteAllegati))
        return fallito(esito.messaggio);
    esito.allegati = impronteAllegati.size();
    passo(u"eliminate"_s);
    if (!copiaCartella(CARTELLA_ELIMINATE,
                       "COPY schede_eliminate (nome, dati) FROM STDIN (FORMAT binary)",
                       impronteEliminate))
        return fallito(esito.messaggio);
    esito.eliminate = impronteEliminate.size();

    // Everything read back and compared before it counts.
    passo(u"verifica"_s);
    const QString diverso =
        u"Attenzione: la copia sul server non corrisponde all'archivio della cartella, quindi "
        u"non è stata conservata."_s;
    bool guasto = false;
    if (!ConfrontaConServer(c, file.archivio(), esito.schede, guasto))
        return fallito(guasto ? QString() : diverso);
    const Risultato giornale = c.esegui("SELECT count(*), coalesce(string_agg(md5(riga), '' ORDER "
                                        "BY id), '') FROM movimenti");
    if (!giornale.ok()) return fallito({});
    if (giornale.numero(0, 0) != esito.movimenti ||
        QCryptographicHash::hash(giornale.dati(0, 1), QCryptographicHash::Md5).toHex() !=
            digestRighe(righeAttese))
        return fallito(diverso);
    const Risultato fotoServer =
        c.esegui("SELECT posizione, length(dati)::bigint, md5(dati) FROM foto");
    if (!fotoServer.ok()) return fallito({});
    bool fotoUguali = fotoServer.righe() == impronteFoto.size();
    for (int i = 0; i < fotoServer.righe() && fotoUguali; ++i)
        fotoUguali = impronteFoto.value(fotoServer.numero(i, 0)) ==
                     Impronta{fotoServer.numero(i, 1), fotoServer.dati(i, 2)};
    if (!fotoUguali) return fallito(diverso);
    if (!verificaFile(c, "SELECT nome, length(dati)::bigint, md5(dati) FROM allegati",
                      impronteAllegati, guasto) ||
        !verificaFile(c, "SELECT nome, length(dati)::bigint, md5(dati) FROM schede_eliminate",
                      impronteEliminate, guasto))
        return fallito(guasto ? QString() : diverso);
    // The planner learns the new rows now rather than at the next autovacuum
    // (a role that does not own the tables is only warned).
    if (!c.comando("ANALYZE schede, movimenti") || !t.conferma()) return fallito({});
    esito.riuscito = true;
    esito.messaggio = u"L'archivio è stato copiato sul server e controllato: "_s +
                      QString::number(esito.schede) + u" schede, "_s +
                      QString::number(esito.movimenti) + u" movimenti, "_s +
                      QString::number(esito.foto) + u" foto, "_s + QString::number(esito.allegati) +
                      u" allegati."_s;
    return esito;
}

} // namespace

EsitoTrasloco CopiaSuServer(const QString &cartella, Connessione &c) {
    return copiaSuServer(cartella, c, false);
}

EsitoTrasloco SostituisciSuServer(const QString &cartella, Connessione &c) {
    return copiaSuServer(cartella, c, true);
}

namespace {

bool scriviTutto(const QString &percorso, const QByteArray &byte) {
    QDir().mkpath(QFileInfo(percorso).absolutePath());
    return ScriviFileIntero(percorso,
                            [&byte](QIODevice *d) { return d->write(byte) == byte.size(); });
}

// Rows of (name, bytes) by pages of `sql`, which takes the last name seen
// as $1 and gives its rows in name order.
bool scriviFileDa(Connessione &c, const char *sql, const QString &cartella,
                  QHash<QString, Impronta> &impronte, bool &scritto) {
    QString ultimo;
    scritto = true;
    for (;;) {
        const Risultato r = c.esegui(sql, {ValoreSql::testo(ultimo)});
        if (!r.ok()) return false;
        for (int i = 0; i < r.righe(); ++i) {
            const QString nome = r.testo(i, 0);
            const QByteArray byte = r.dati(i, 1);
            if (!NomeAllegatoValido(nome) || !scriviTutto(QDir(cartella).filePath(nome), byte)) {
                scritto = false;
                return false;
            }
            impronte.insert(nome, improntaDi(byte));
            ultimo = nome;
        }
        if (r.righe() < 64) return true;
    }
}

bool fileUguali(const QString &cartella, const QHash<QString, Impronta> &attese) {
    const QStringList nomi = FileSotto(cartella);
    if (nomi.size() != attese.size()) return false;
    for (const QString &nome : nomi) {
        QByteArray byte;
        if (!leggiTutto(QDir(cartella).filePath(nome), byte) ||
            attese.value(nome) != improntaDi(byte))
            return false;
    }
    return true;
}

} // namespace

EsitoTrasloco CopiaSuCartella(Connessione &c, const QString &cartella) {
    EsitoTrasloco esito;
    const auto fallito = [&](const QString &messaggio) {
        esito.riuscito = false;
        esito.messaggio = messaggio.isEmpty() ? c.messaggio() : messaggio;
        return esito;
    };
    if (!c.aperta()) return fallito({});
    const QFileInfo destinazione(cartella);
    if (destinazione.exists() &&
        (!destinazione.isDir() ||
         !QDir(cartella).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)))
        return fallito(u"Attenzione: la cartella \u00AB"_s + cartella +
                       u"\u00BB non è vuota: l'archivio del server si scrive solo in una "
                       u"cartella vuota o nuova."_s);
    const QString genitore = destinazione.absolutePath();
    QDir().mkpath(genitore);
    QTemporaryDir nuova(QDir(genitore).filePath(u".Quadrelo_server_XXXXXX"_s));
    if (!nuova.isValid())
        return fallito(u"Attenzione: nella cartella \u00AB"_s + genitore +
                       u"\u00BB non si può scrivere."_s);
    const QString scrittura = u"Attenzione: l'archivio non può essere scritto nella cartella: "
                              u"controllare lo spazio libero e i permessi."_s;

    // One snapshot of the server for everything.
    Transazione t(c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    if (!t.iniziata()) return fallito({});
    DepositoServer server(c);
    const QString archivio = QDir(nuova.path()).filePath(u"Magazzino.pro"_s);
    passo(u"schede"_s);
    bool letto = true;
    if (!ScriviFileIntero(archivio, [&](QIODevice *d) {
            letto = server.scorri([&](const TScheda *schede, qint64 quante, qint64) {
                esito.schede += quante;
                const qint64 n = quante * TScheda::DIMENSIONE;
                return d->write(reinterpret_cast<const char *>(schede), n) == n;
            });
            return letto;
        }))
        return fallito(letto ? scrittura : server.messaggio());

    passo(u"movimenti"_s);
    QList<QByteArray> righe;
    for (qint64 ultimo = 0;;) {
        const Risultato r =
            c.esegui("SELECT id, riga FROM movimenti WHERE id > $1 ORDER BY id LIMIT 10000",
                     {ValoreSql::numero(ultimo)});
        if (!r.ok()) return fallito({});
        for (int i = 0; i < r.righe(); ++i)
            righe << r.dati(i, 1);
        if (r.righe() == 0) break;
        ultimo = r.numero(r.righe() - 1, 0);
    }
    esito.movimenti = righe.size();
    if (!righe.isEmpty()) {
        QByteArray testo = "\xEF\xBB\xBF" + IntestazioneGiornale() + '\n';
        for (const QByteArray &riga : righe)
            testo += riga + '\n';
        if (!scriviTutto(QDir(nuova.path()).filePath(u"Movimenti.csv"_s), testo))
            return fallito(scrittura);
    }

    passo(u"foto"_s);
    QHash<QString, Impronta> impronteFoto, impronteAllegati, impronteEliminate;
    for (qint64 ultimo = 0;;) {
        const Risultato r = c.esegui(
            "SELECT posizione, dati FROM foto WHERE posizione > $1 ORDER BY posizione LIMIT 64",
            {ValoreSql::numero(ultimo)});
        if (!r.ok()) return fallito({});
        for (int i = 0; i < r.righe(); ++i) {
            const QString nome = QString::number(r.numero(i, 0)) + u".jpg"_s;
            const QByteArray byte = r.dati(i, 1);
            if (!scriviTutto(QDir(nuova.path()).filePath(nome), byte)) return fallito(scrittura);
            impronteFoto.insert(nome, improntaDi(byte));
            ultimo = r.numero(i, 0);
        }
        if (r.righe() < 64) break;
    }
    esito.foto = impronteFoto.size();

    bool scritto = true;
    passo(u"allegati"_s);
    if (!scriviFileDa(c,
                      "SELECT nome, dati FROM allegati WHERE nome COLLATE \"C\" > $1 ORDER BY "
                      "nome COLLATE \"C\" LIMIT 64",
                      QDir(nuova.path()).filePath(CARTELLA_ALLEGATI), impronteAllegati, scritto))
        return fallito(scritto ? QString() : scrittura);
    esito.allegati = impronteAllegati.size();
    passo(u"eliminate"_s);
    if (!scriviFileDa(c,
                      "SELECT nome, dati FROM schede_eliminate WHERE nome COLLATE \"C\" > $1 "
                      "ORDER BY nome COLLATE \"C\" LIMIT 64",
                      QDir(nuova.path()).filePath(CARTELLA_ELIMINATE), impronteEliminate, scritto))
        return fallito(scritto ? QString() : scrittura);
    esito.eliminate = impronteEliminate.size();

    // Read back from the disk and compared with the server.
    passo(u"verifica"_s);
    const QString diverso = u"Attenzione: i file scritti non corrispondono all'archivio del "
                            u"server, quindi non sono stati conservati."_s;
    bool guasto = false;
    if (!ConfrontaConServer(c, archivio, esito.schede, guasto))
        return fallito(guasto ? QString() : diverso);
    QHash<QString, Impronta> fotoLette;
    for (qint64 p : fotoDi(nuova.path())) {
        const QString nome = QString::number(p) + u".jpg"_s;
        QByteArray byte;
        if (!leggiTutto(QDir(nuova.path()).filePath(nome), byte)) return fallito(diverso);
        fotoLette.insert(nome, improntaDi(byte));
    }
    if (fotoLette != impronteFoto ||
        !fileUguali(QDir(nuova.path()).filePath(CARTELLA_ALLEGATI), impronteAllegati) ||
        !fileUguali(QDir(nuova.path()).filePath(CARTELLA_ELIMINATE), impronteEliminate))
        return fallito(diverso);
    if (!t.conferma()) return fallito({});

    if (destinazione.exists() && !QDir(genitore).rmdir(destinazione.fileName()))
        return fallito(scrittura);
    if (!QDir(genitore).rename(QFileInfo(nuova.path()).fileName(), destinazione.fileName()))
        return fallito(scrittura);
    nuova.setAutoRemove(false);
    esito.riuscito = true;
    esito.messaggio = u"L'archivio del server è stato scritto nella cartella e controllato: "_s +
                      QString::number(esito.schede) + u" schede, "_s +
                      QString::number(esito.movimenti) + u" movimenti, "_s +
                      QString::number(esito.foto) + u" foto, "_s + QString::number(esito.allegati) +
                      u" allegati."_s;
    return esito;
}
