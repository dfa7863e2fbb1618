#include "server/DepositoServer.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "journal/Eliminazione.h"
#include "journal/Movimenti.h"
#include "server/CopiaLocale.h"
#include "server/SchemaServer.h"
#include "storage/DepositoFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Changes of positions, one site at a time.
constexpr const char *BLOCCO_POSIZIONI = "SELECT pg_advisory_xact_lock(7271001)";
// Journal lines being written, by any number of sites at once; the journal's
// mark waits for them alone.
constexpr const char *RIGHE_IN_SCRITTURA = "SELECT pg_advisory_xact_lock_shared(7271002)";
constexpr const char *NESSUNA_RIGA_IN_SCRITTURA = "SELECT pg_advisory_xact_lock(7271002)";

const QByteArray &sqlInserisci() {
    static const QByteArray sql = []() -> QByteArray {
        QByteArray s = "INSERT INTO schede (posizione, " + ElencoColonneSchede() + ") VALUES ($1";
        for (int i = 0; i <= NUMERO_CAMPI; ++i)
            s += ", $" + QByteArray::number(i + 2);
        return s + ")";
    }();
    return sql;
}

const QByteArray &sqlAggiorna() {
    static const QByteArray sql = []() -> QByteArray {
        QByteArray s = "UPDATE schede SET versione = versione + 1";
        int n = 3;
        for (const char *colonna : ColonneSchede())
            s += ", " + QByteArray(colonna) + " = $" + QByteArray::number(n++);
        return s + ", grezzo = $" + QByteArray::number(n) +
               " WHERE posizione = $1 AND versione = $2";
    }();
    return sql;
}

const QByteArray &sqlLeggi() {
    static const QByteArray sql =
        "SELECT versione, " + ElencoColonneSchede() + " FROM schede WHERE posizione = $1";
    return sql;
}

QList<ValoreSql> valoriScheda(const TScheda &scheda) {
    const RigaScheda riga = RigaDaScheda(scheda);
    QList<ValoreSql> valori;
    for (const QString &campo : riga.campi)
        valori << ValoreSql::testo(campo);
    valori << (riga.grezzo.isEmpty() ? ValoreSql::niente() : ValoreSql::dati(riga.grezzo));
    return valori;
}

// A LIKE pattern that finds `testo` literally.
QString modelloLetterale(const QString &testo) {
    QString m;
    for (QChar c : testo) {
        if (c == u'\\' || c == u'%' || c == u'_') m += u'\\';
        m += c;
    }
    return u'%' + m + u'%';
}

} // namespace

QString ChiaveDiMovimento(const Movimento &m) {
    if (m.tipo == TipoMovimento::Eliminazione && m.dati.size() > TScheda::DIMENSIONE)
        return QString::fromUtf8(m.dati.mid(TScheda::DIMENSIONE));
    if (m.tipo == TipoMovimento::Ripristino) return QString::fromUtf8(m.dati);
    return {};
}

bool InserisciMovimenti(Connessione &c, const QList<Movimento> &movimenti) {
    if (!movimenti.isEmpty() && !c.comando(RIGHE_IN_SCRITTURA)) return false;
    for (const Movimento &m : movimenti) {
        const QString chiave = ChiaveDiMovimento(m);
        if (!c.comando("INSERT INTO movimenti (quando, posizione, tipo, chiave, riga) "
                       "VALUES ($1::timestamptz, $2, $3, $4, $5)",
                       {ValoreSql::testo(m.quando.toString(Qt::ISODateWithMs)),
                        ValoreSql::numero(m.posizione), ValoreSql::testo(NomeTipo(m.tipo)),
                        chiave.isEmpty() ? ValoreSql::niente() : ValoreSql::testo(chiave),
                        ValoreSql::dati(RigaGiornale(m, ';'))}))
            return false;
    }
    return true;
}

DepositoServer::DepositoServer(Connessione &connessione) : m_c(connessione) {}

DepositoServer::DepositoServer(Connessione &connessione, std::unique_ptr<CopiaLocale> copia)
    : m_c(connessione), m_copia(std::move(copia)) {}

DepositoServer::~DepositoServer() = default;

bool DepositoServer::errore() {
    m_messaggio = m_c.messaggio();
    return false;
}

bool DepositoServer::errore(const QString &messaggio) {
    m_messaggio = messaggio;
    return false;
}

qint64 DepositoServer::conta() {
    const Risultato r = m_c.esegui("SELECT coalesce(max(posizione), 0)::bigint FROM schede");
    if (!r.ok() || r.righe() != 1) return errore(), -1;
    return r.numero(0, 0);
}

bool DepositoServer::leggiVersione(qint64 posizione, TScheda &scheda, qint64 &versione,
                                   bool &trovata) {
    const Risultato r = m_c.esegui(sqlLeggi().constData(), {ValoreSql::numero(posizione)});
    if (!r.ok()) return errore();
    trovata = r.righe() == 1;
    if (!trovata) return true;
    versione = r.numero(0, 0);
    return SchedaDaRiga(r, 0, 1, scheda) ||
           errore(u"Attenzione: la scheda sul server è danneggiata."_s);
}

bool DepositoServer::leggi(qint64 posizione, TScheda &scheda) {
    qint64 versione = 0;
    bool trovata = false;
    if (!leggiVersione(posizione, scheda, versione, trovata)) return false;
    return trovata || errore(u"Attenzione: la scheda non è più sul server."_s);
}

bool DepositoServer::inserisci(qint64 posizione, const TScheda &scheda) {
    return m_c.comando(sqlInserisci().constData(),
                       QList<ValoreSql>{ValoreSql::numero(posizione)} + valoriScheda(scheda)) ||
           errore();
}

bool DepositoServer::aggiornaRiga(qint64 posizione, const TScheda &scheda, qint64 versione,
                                  bool &fatto) {
    const Risultato r =
        m_c.esegui(sqlAggiorna().constData(),
                   QList<ValoreSql>{ValoreSql::numero(posizione), ValoreSql::numero(versione)} +
                       valoriScheda(scheda));
    if (!r.ok()) return errore();
    fatto = r.toccate() == 1;
    return true;
}

Deposito::Salvataggio DepositoServer::scriviConRighe(qint64 posizione, const TScheda &scheda,
                                                     qint64 delta, const RigheDelta &righe) {
    Salvataggio esito;
    // Another site's write between the read and the update makes the update
    // find no row of that version: read again and apply the delta anew.
    for (int tentativo = 0; tentativo < 1000; ++tentativo) {
        TScheda suServer;
        qint64 versione = 0;
        bool trovata = false;
        if (!leggiVersione(posizione, suServer, versione, trovata)) return esito;
        if (!trovata) {
            esito.esito = Salvataggio::NonTrovata;
            errore(u"Attenzione: la scheda non è più sul server."_s);
            return esito;
        }
        TScheda nuova = scheda;
        const auto prima = GiacenzaDi(suServer);
        if (delta == 0) {
            CopiaCampo(nuova, suServer, Campo::Giacenza);
            esito.prima = esito.dopo = prima.value_or(0);
        } else {
            if (!prima) {
                esito.esito = Salvataggio::GiacenzaNonIntera;
                errore(u"Attenzione: la giacenza in archivio non è un numero intero di pezzi."_s);
                return esito;
            }
            if (!GiacenzaArchiviabile(*prima + delta)) {
                esito.esito = Salvataggio::FuoriCampo;
                esito.prima = *prima;
                errore(u"Attenzione: la giacenza non entra nel campo della scheda."_s);
                return esito;
            }
            esito.prima = *prima;
            esito.dopo = *prima + delta;
            nuova.impostaTesto(Campo::Giacenza, QString::number(esito.dopo));
        }
        Transazione t(m_c);
        bool fatto = false;
        if (!t.iniziata() || !aggiornaRiga(posizione, nuova, versione, fatto)) {
            errore();
            return esito;
        }
        if (!fatto) continue;
        if (delta != 0 && !InserisciMovimenti(m_c, righe(esito.prima, nuova))) {
            errore();
            return esito;
        }
        if (!t.conferma()) {
            errore();
            return esito;
        }
        esito.esito = Salvataggio::Fatto;
        return esito;
    }
    errore(u"Attenzione: la scheda è cambiata troppe volte mentre la si salvava; riprovare."_s);
    return esito;
}

qint64 DepositoServer::accoda(const TScheda &scheda) {
    return accodaConRighe(scheda, {});
}

qint64 DepositoServer::accodaConRighe(const TScheda &scheda,
                                      const std::function<QList<Movimento>(qint64)> &righe) {
    Transazione t(m_c);
    if (!t.iniziata() || !m_c.comando(BLOCCO_POSIZIONI)) return errore(), -1;
    const qint64 n = conta();
    if (n < 0 || !inserisci(n + 1, scheda)) return -1;
    if (righe && !InserisciMovimenti(m_c, righe(n + 1))) return errore(), -1;
    if (!t.conferma()) return errore(), -1;
    return n + 1;
}

Deposito::Rimozione DepositoServer::togli(qint64 posizione, const TScheda &attesa) {
    Rimozione esito;
    Transazione t(m_c);
    if (!t.iniziata() || !m_c.comando(BLOCCO_POSIZIONI)) return errore(), esito;
    const qint64 n = conta();
    TScheda suServer;
    qint64 versione = 0;
    bool trovata = false;
    if (n < 0 || !leggiVersione(posizione, suServer, versione, trovata)) return esito;
    if (!trovata || suServer.byte != attesa.byte) {
        esito.esito = Rimozione::NonPiuLaStessa;
        errore(u"Attenzione: la scheda è stata cambiata da un'altra postazione."_s);
        return esito;
    }
    const QString chiave = ChiaveEliminazione(posizione);
    const Risultato foto =
        m_c.esegui("SELECT dati FROM foto WHERE posizione = $1", {ValoreSql::numero(posizione)});
    if (!foto.ok()) return errore(), esito;
    const bool conFoto = foto.righe() == 1;
    QList<Movimento> righe{RigaEliminazione(posizione, attesa, chiave, conFoto)};
    bool ok = true;
    if (conFoto)
        ok = m_c.comando(
            "INSERT INTO schede_eliminate (nome, dati) VALUES ($1, $2)",
            {ValoreSql::testo(NomeFotoEliminata(chiave)), ValoreSql::dati(foto.dati(0, 0))});
    ok = ok &&
         m_c.comando("DELETE FROM schede WHERE posizione = $1", {ValoreSql::numero(posizione)}) &&
         m_c.comando("DELETE FROM foto WHERE posizione = $1", {ValoreSql::numero(posizione)});
    if (ok && posizione < n) {
        TScheda spostata;
        ok = m_c.comando("UPDATE schede SET posizione = $1, versione = versione + 1 "
                         "WHERE posizione = $2",
                         {ValoreSql::numero(posizione), ValoreSql::numero(n)}) &&
             m_c.comando("UPDATE foto SET posizione = $1 WHERE posizione = $2",
                         {ValoreSql::numero(posizione), ValoreSql::numero(n)}) &&
             leggi(posizione, spostata);
        righe << RigaSpostamento(spostata, posizione, n);
        esito.spostataDa = n;
    }
    if (!ok || !InserisciMovimenti(m_c, righe) || !t.conferma()) {
        esito.spostataDa = 0;
        if (m_messaggio.isEmpty() || !m_c.messaggio().isEmpty()) errore();
        return esito;
    }
    esito.esito = Rimozione::Fatta;
    return esito;
}

bool DepositoServer::leggiMovimenti(const Risultato &r, QList<Movimento> &movimenti) {
    if (!r.ok()) return errore();
    for (int i = 0; i < r.righe(); ++i) {
        Movimento m;
        int n = 0;
        const char *p = r.grezzo(i, 0, n);
        if (LeggiRigaGiornale(QByteArrayView(p, n), ';', m)) movimenti << m;
    }
    return true;
}

QList<Deposito::Eliminata> DepositoServer::eliminate() {
    QList<Movimento> righe;
    leggiMovimenti(m_c.esegui("SELECT riga FROM movimenti e WHERE tipo = 'Eliminazione' AND "
                              "NOT EXISTS (SELECT 1 FROM movimenti r WHERE r.tipo = "
                              "'Ripristino' AND r.chiave = e.chiave) ORDER BY id DESC"),
                   righe);
    QList<Eliminata> elenco;
    for (const Movimento &m : righe) {
        if (m.dati.size() <= TScheda::DIMENSIONE) continue;
        Eliminata e;
        e.movimento = m;
        std::memcpy(e.scheda.byte.data(), m.dati.constData(), TScheda::DIMENSIONE);
        e.chiave = ChiaveDiMovimento(m);
        elenco << e;
    }
    return elenco;
}

qint64 DepositoServer::ripristina(const Eliminata &eliminata) {
    Transazione t(m_c);
    if (!t.iniziata() || !m_c.comando(BLOCCO_POSIZIONI)) return errore(), -1;
    const Risultato gia =
        m_c.esegui("SELECT 1 FROM movimenti WHERE tipo = 'Ripristino' AND chiave = $1",
                   {ValoreSql::testo(eliminata.chiave)});
    if (!gia.ok()) return errore(), -1;
    if (gia.righe() > 0) return errore(u"Attenzione: la scheda è già stata ripristinata."_s), -1;
    const qint64 n = conta();
    if (n < 0 || !inserisci(n + 1, eliminata.scheda)) return -1;
    const QString nome = NomeFotoEliminata(eliminata.chiave);
    Movimento riga =
        RigaRipristino(SchedaEliminata{eliminata.movimento, eliminata.scheda, eliminata.chiave});
    riga.posizione = n + 1;
    const bool ok =
        m_c.comando("INSERT INTO foto (posizione, dati) SELECT $1, dati FROM schede_eliminate "
                    "WHERE nome = $2",
                    {ValoreSql::numero(n + 1), ValoreSql::testo(nome)}) &&
        m_c.comando("DELETE FROM schede_eliminate WHERE nome = $1", {ValoreSql::testo(nome)}) &&
        InserisciMovimenti(m_c, {riga}) && t.conferma();
    if (!ok) return errore(), -1;
    return n + 1;
}

bool DepositoServer::scorri(const VisitaBlocco &visita) {
    // The workstation's copy, brought up to date, is read in place; not
    // while a pass over it is under way, which it would change underneath.
    if (m_copia && !m_leggeCopia) {
        const QString copia = m_copia->aggiorna(m_c, {});
        Archivio archivio(copia);
        const qint64 n = copia.isEmpty() || !archivio.ApriArchivio() ? -1 : archivio.conta();
        if (n >= 0) {
            m_leggeCopia = true;
            const bool letto = archivio.scorri(1, n, visita);
            m_leggeCopia = false;
            return letto || errore(u"Attenzione: la copia delle schede su questa postazione non "
                                   u"può essere letta; riprovare."_s);
        }
    }
    // One snapshot for the whole pass: a removal meanwhile is not half seen.
    Transazione t(m_c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    if (!t.iniziata()) return errore();
    const QByteArray sql = "SELECT posizione, " + ElencoColonneSchede() +
                           " FROM schede WHERE posizione >= $1 ORDER BY posizione LIMIT " +
                           QByteArray::number(BLOCCO);
    std::vector<TScheda> blocco(BLOCCO);
    qint64 da = 1;
    for (;;) {
        const Risultato r = m_c.esegui(sql.constData(), {ValoreSql::numero(da)});
        if (!r.ok()) return errore();
        const int n = r.righe();
        if (n == 0) break;
        for (int i = 0; i < n; ++i) {
            if (r.numero(i, 0) != da + i)
                return errore(u"Attenzione: le posizioni delle schede sul server hanno un buco."_s);
            if (!SchedaDaRiga(r, i, 1, blocco[std::size_t(i)]))
                return errore(u"Attenzione: una scheda sul server è danneggiata."_s);
        }
        if (!visita(blocco.data(), n, da)) break;
        da += n;
        if (n < BLOCCO) break;
    }
    return t.conferma() || errore();
}

bool DepositoServer::cerca(const QString &testo, const QList<Campo> &campi,
                           QList<qint64> &posizioni) {
    posizioni.clear();
    if (campi.isEmpty()) return true;
    // Only column names from the program's own table go into the statement.
    QByteArray sql = "SELECT posizione FROM schede WHERE ";
    for (qsizetype i = 0; i < campi.size(); ++i)
        sql += (i ? " OR " : "") + QByteArray(ColonneSchede()[std::size_t(campi[i])]) + " ILIKE $1";
    sql += " ORDER BY posizione";
    const Risultato r = m_c.esegui(sql.constData(), {ValoreSql::testo(modelloLetterale(testo))});
    if (!r.ok()) return errore();
    for (int i = 0; i < r.righe(); ++i)
        posizioni << r.numero(i, 0);
    return true;
}

// A card the server cannot keep as text (its exact bytes aside) is always
// let through, for the program to judge.
QByteArray CondizioneFiltro(const Deposito::Filtro &filtro, QList<ValoreSql> &valori) {
    QByteArrayList parti;
    const auto n = filtro.testi.size();
    if (filtro.almeno > 0 && filtro.almeno <= n) {
        QByteArrayList testi;
        for (const auto &[campo, testo] : filtro.testi) {
            valori << ValoreSql::testo(modelloLetterale(testo));
            testi << QByteArray(ColonneSchede()[std::size_t(campo)]) + " ILIKE $" +
                         QByteArray::number(valori.size());
        }
        // All of them when all must be found, which the indexes narrow best.
        parti << "(" + testi.join(filtro.almeno == n ? " AND " : " OR ") + ")";
    } else if (filtro.almeno > n) {
        parti << "false";
    }
    if (filtro.sottoscorta) parti << CondizioneSottoscorta();
    if (parti.isEmpty()) return {};
    return "(" + parti.join(" AND ") + ") OR grezzo IS NOT NULL";
}

namespace {

// A filter on a field with a trigram index (every search field but "paid").
bool perTrigrammi(const Deposito::Filtro &filtro) {
    return std::any_of(filtro.testi.begin(), filtro.testi.end(),
                       [](const auto &testo) { return testo.first != Campo::Pagato; });
}

} // namespace

bool DepositoServer::scorriFiltro(const Filtro &filtro, const VisitaSchede &visita,
                                  const Progresso &avanza) {
    const std::function<void()> attesa = [&avanza] {
        if (avanza) avanza(0, 0);
    };
    // One snapshot for the whole pass, as scorri.
    Transazione t(m_c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", attesa);
    if (!t.iniziata()) return errore();
    QList<Campo> campi = filtro.campi;
    if (campi.isEmpty())
        for (int i = 0; i < NUMERO_CAMPI; ++i)
            campi << Campo(i);
    // Only the columns the pass reads cross the socket.
    QByteArray colonne = "SELECT posizione, grezzo";
    for (const Campo c : campi)
        colonne += ", " + QByteArray(ColonneSchede()[std::size_t(c)]);
    colonne += " FROM schede ";
    const Risultato quante =
        m_c.esegui("SELECT coalesce(max(posizione), 0)::bigint FROM schede", {}, attesa);
    if (!quante.ok() || quante.righe() != 1) return errore();
    const qint64 totale = quante.numero(0, 0);

    // Cards are built in a small block that stays in the processor's cache.
    constexpr int PICCOLO = 64;
    std::vector<TScheda> blocco(PICCOLO);
    std::array<qint64, PICCOLO> posizioni{};
    const bool intere = campi.size() == NUMERO_CAMPI;
    bool danneggiata = false;
    qint64 piuLontana = 0;
    // Turns rows into cards and hands them on, a block at a time.
    const auto visitaRighe = [&](const Risultato &r) {
        const int n = r.righe();
        for (int da = 0; da < n; da += PICCOLO) {
            const int quante = qMin(PICCOLO, n - da);
            for (int i = 0; i < quante; ++i) {
                posizioni[std::size_t(i)] = r.numero(da + i, 0);
                if (!SchedaDaColonne(r, da + i, campi, intere, blocco[std::size_t(i)]))
                    return !(danneggiata = true);
            }
            if (!visita(blocco.data(), posizioni.data(), quante)) return false;
        }
        // Cards in the table's order may go back a little: the furthest
        // position says how far the pass is.
        for (int i = 0; i < n && avanza; ++i)
            piuLontana = qMax(piuLontana, r.numero(i, 0));
        if (avanza && n > 0) avanza(piuLontana, totale);
        return true;
    };
    QList<ValoreSql> valori;
    const QByteArray condizione = CondizioneFiltro(filtro, valori);
    const bool trigrammi = perTrigrammi(filtro);
    // One statement finds the cards and they come in blocks. Through the
    // trigram indexes it is planned for all its rows; otherwise it goes
    // along the positions (or the under-stock index), with no sort.
    QByteArray sql = "DECLARE elenco NO SCROLL CURSOR FOR " + colonne;
    if (!condizione.isEmpty()) sql += "WHERE " + condizione;
    // The trigram indexes give the cards in the table's order; when the pass
    // takes any order, they come as they are found, with no sort to wait for.
    if (!trigrammi || filtro.inOrdine) sql += " ORDER BY posizione";
    const QByteArray prendi = "FETCH " + QByteArray::number(BLOCCO) + " FROM elenco";
    if (trigrammi && (!m_c.esegui("SET LOCAL cursor_tuple_fraction = 1", {}, attesa).ok() ||
                      !m_c.esegui("SET LOCAL work_mem = '64MB'", {}, attesa).ok()))
        return errore();
    if (!m_c.esegui(sql.constData(), valori, attesa).ok()) return errore();
    const bool riuscita = m_c.inSequenza(
        prendi.constData(),
        [&](const Risultato &r) { return visitaRighe(r) && r.righe() == BLOCCO; }, attesa);
    if (danneggiata) return errore(u"Attenzione: una scheda sul server è danneggiata."_s);
    if (!riuscita) return errore();
    return t.conferma() || errore();
}

// True when the server's indexes find the cards `filtro` wants among few:
// the server then sends only those, sooner than the copy is read through.
bool DepositoServer::pochiTrovati(const Filtro &filtro) {
    if (filtro.sottoscorta) return true;
    const bool trigrammi = perTrigrammi(filtro);
    if (!trigrammi || filtro.almeno <= 0) return false;
    QList<ValoreSql> valori;
    const QByteArray sql = "EXPLAIN (FORMAT JSON) SELECT posizione FROM schede WHERE " +
                           CondizioneFiltro(filtro, valori);
    const Risultato piano = m_c.esegui(sql.constData(), valori);
    const qint64 n = conta();
    if (!piano.ok() || piano.righe() != 1 || n < 0) return false;
    const double stimate = QJsonDocument::fromJson(piano.dati(0, 0))
                               .array()
                               .at(0)
                               .toObject()
                               .value(u"Plan"_s)
                               .toObject()
                               .value(u"Plan Rows"_s)
                               .toDouble(double(n));
    // A twentieth of the cards: above it, reading the copy takes less.
    return stimate * 20 < double(n);
}

QString DepositoServer::archivioDaLeggere(const Filtro &filtro, const Progresso &avanza) {
    if (!m_copia || m_leggeCopia || pochiTrovati(filtro)) return {};
    return m_copia->aggiorna(m_c, avanza);
}

bool DepositoServer::inEsclusiva(const std::function<bool()> &lavoro) {
    // One transaction under the lock every change of positions and every
    // all-or-nothing change takes: the operations inside join it.
    Transazione t(m_c);
    if (!t.iniziata() || !m_c.comando(BLOCCO_POSIZIONI)) return errore();
    return lavoro() && (t.conferma() || errore());
}

qint64 DepositoServer::insieme(const std::vector<qint64> &posizioni,
                               const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                               qint64 nuove,
                               const std::function<void(qint64 indice, TScheda &)> &prepara,
                               const QList<Movimento> &movimenti) {
    return insiemeConRighe(posizioni, aggiorna, nuove, prepara,
                           [&movimenti](qint64) { return movimenti; });
}

qint64 DepositoServer::insiemeConRighe(
    const std::vector<qint64> &posizioni,
    const std::function<bool(qint64 indice, TScheda &)> &aggiorna, qint64 nuove,
    const std::function<void(qint64 indice, TScheda &)> &prepara, const RigheInsieme &righe) {
    Transazione t(m_c);
    if (!t.iniziata() || !m_c.comando(BLOCCO_POSIZIONI)) return errore(), -1;
    for (std::size_t i = 0; i < posizioni.size(); ++i) {
        const Risultato blocca = m_c.esegui("SELECT 1 FROM schede WHERE posizione = $1 FOR UPDATE",
                                            {ValoreSql::numero(posizioni[i])});
        if (!blocca.ok()) return errore(), -1;
        TScheda scheda;
        qint64 versione = 0;
        bool trovata = false, fatto = false;
        if (!leggiVersione(posizioni[i], scheda, versione, trovata)) return -1;
        if (!trovata) return errore(u"Attenzione: una scheda non è più sul server."_s), -1;
        if (!aggiorna(qint64(i), scheda))
            return errore(u"Attenzione: una scheda è stata cambiata da un'altra postazione."_s), -1;
        if (!aggiornaRiga(posizioni[i], scheda, versione, fatto)) return -1;
        if (!fatto) return errore(u"Attenzione: una scheda è cambiata durante la scrittura."_s), -1;
    }
    const qint64 n = conta();
    if (n < 0) return -1;
    for (qint64 i = 0; i < nuove; ++i) {
        TScheda scheda;
        prepara(i, scheda);
        if (!inserisci(n + 1 + i, scheda)) return -1;
    }
    if (!InserisciMovimenti(m_c, righe(n + 1)) || !t.conferma()) return errore(), -1;
    return n + 1;
}

bool DepositoServer::registra(const QList<Movimento> &movimenti) {
    Transazione t(m_c);
    return (t.iniziata() && InserisciMovimenti(m_c, movimenti) && t.conferma()) || errore();
}

bool DepositoServer::movimentiScheda(qint64 posizione, QList<Movimento> &movimenti) {
    movimenti.clear();
    return leggiMovimenti(m_c.esegui("SELECT riga FROM movimenti WHERE posizione = $1 ORDER BY id",
                                     {ValoreSql::numero(posizione)}),
                          movimenti);
}

bool DepositoServer::movimentiPeriodo(const QDateTime &da, const QDateTime &a,
                                      QList<Movimento> &movimenti) {
    movimenti.clear();
    return leggiMovimenti(
        m_c.esegui("SELECT riga FROM movimenti WHERE quando >= $1::timestamptz AND quando < "
                   "$2::timestamptz ORDER BY id",
                   {ValoreSql::testo(da.toString(Qt::ISODateWithMs)),
                    ValoreSql::testo(a.toString(Qt::ISODateWithMs))}),
        movimenti);
}

bool DepositoServer::scorriRighe(const QByteArray &sql, const QList<ValoreSql> &valori,
                                 const VisitaRigaGrezza &visita) {
    // One snapshot, read through a cursor: memory holds a block, never the
    // journal.
    constexpr int RIGHE = 5000;
    const QByteArray prendi = "FETCH " + QByteArray::number(RIGHE) + " FROM righe_giornale";
    Transazione t(m_c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    // Planned for every row, as a plain query would be: the cursor's
    // first-rows plan would read the whole journal in order to find a few.
    if (!t.iniziata() || !m_c.comando("SET LOCAL cursor_tuple_fraction = 1") ||
        !m_c.comando(QByteArray("DECLARE righe_giornale NO SCROLL CURSOR FOR " + sql).constData(),
                     valori))
        return errore();
    for (bool avanti = true; avanti;) {
        const Risultato r = m_c.esegui(prendi.constData());
        if (!r.ok()) return errore();
        for (int i = 0; i < r.righe() && avanti; ++i) {
            int n = 0;
            const char *p = r.grezzo(i, 1, n);
            avanti = visita(QByteArrayView(p, n), ';', r.numero(i, 0));
        }
        avanti = avanti && r.righe() == RIGHE;
    }
    return (m_c.comando("CLOSE righe_giornale") && t.conferma()) || errore();
}

bool DepositoServer::righePeriodo(const QDateTime &da, const QDateTime &a,
                                  const VisitaRigaGrezza &visita) {
    // The day a line names is the writing site's: a day's leeway either side.
    return scorriRighe("SELECT id, riga FROM movimenti WHERE quando IS NULL OR (quando >= "
                       "$1::timestamptz AND quando < $2::timestamptz) ORDER BY id",
                       {ValoreSql::testo(da.addDays(-1).toString(Qt::ISODateWithMs)),
                        ValoreSql::testo(a.addDays(1).toString(Qt::ISODateWithMs))},
                       visita);
}

bool DepositoServer::righeSchede(const QList<qint64> &posizioni, const VisitaRigaGrezza &visita) {
    QStringList elenco;
    for (qint64 p : posizioni)
        elenco << QString::number(p);
    return scorriRighe("SELECT id, riga FROM movimenti WHERE posizione = ANY($1::bigint[]) OR "
                       "posizione IS NULL OR tipo IN ('Spostamento', 'Ordine') ORDER BY id",
                       {ValoreSql::testo(u'{' + elenco.join(u',') + u'}')}, visita);
}

bool DepositoServer::righeConTesto(const QByteArray &testo, const VisitaRigaGrezza &visita) {
    // The server looks through the journal; only the lines found cross.
    return scorriRighe("SELECT id, riga FROM movimenti WHERE position($1 in riga) > 0 ORDER BY id",
                       {ValoreSql::dati(testo)}, visita);
}

bool DepositoServer::rigaGiornale(qint64 numero, Movimento &movimento) {
    const Risultato r =
        m_c.esegui("SELECT riga FROM movimenti WHERE id = $1", {ValoreSql::numero(numero)});
    if (!r.ok()) return errore();
    int n = 0;
    const char *p = r.righe() == 1 ? r.grezzo(0, 0, n) : nullptr;
    return (p && LeggiRigaGiornale(QByteArrayView(p, n), ';', movimento)) ||
           errore(u"Attenzione: il movimento non è più sul server."_s);
}

qint64 DepositoServer::segnoGiornale() {
    // Rows are numbered by their sequence as they are written, but become
    // visible as their transactions end, not always in that order: the mark
    // waits for the lines being written, so none numbered before it shows up
    // later. The next line then takes a number past the largest there is.
    Transazione t(m_c);
    if (!t.iniziata() || !m_c.comando(NESSUNA_RIGA_IN_SCRITTURA)) return errore(), -1;
    const Risultato r = m_c.esegui("SELECT coalesce(max(id), 0)::bigint + 1 FROM movimenti");
    if (!r.ok() || r.righe() != 1 || !t.conferma()) return errore(), -1;
    return r.numero(0, 0);
}

bool DepositoServer::righeDopo(qint64 segno, const VisitaRigaGrezza &visita) {
    return scorriRighe("SELECT id, riga FROM movimenti WHERE id >= $1 ORDER BY id",
                       {ValoreSql::numero(segno)}, visita);
}

bool DepositoServer::cercaCodice(const QString &codice, QList<qint64> &posizioni) {
    posizioni.clear();
    QString chiave = codice;
    for (QChar &c : chiave)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    const QByteArray sql = "SELECT posizione FROM schede WHERE " + QByteArray(CodiceConfrontato()) +
                           " = $1 ORDER BY posizione";
    const Risultato r = m_c.esegui(sql.constData(), {ValoreSql::testo(chiave)});
    if (!r.ok()) return errore();
    for (int i = 0; i < r.righe(); ++i)
        posizioni << r.numero(i, 0);
    return true;
}

bool DepositoServer::leggiFoto(qint64 posizione, QByteArray &foto) {
    const Risultato r =
        m_c.esegui("SELECT dati FROM foto WHERE posizione = $1", {ValoreSql::numero(posizione)});
    if (!r.ok()) return errore();
    foto = r.righe() == 1 ? r.dati(0, 0) : QByteArray();
    return true;
}

bool DepositoServer::scriviFoto(qint64 posizione, const QByteArray &foto) {
    return m_c.comando("INSERT INTO foto (posizione, dati) VALUES ($1, $2) ON CONFLICT (posizione) "
                       "DO UPDATE SET dati = EXCLUDED.dati",
                       {ValoreSql::numero(posizione), ValoreSql::dati(foto)}) ||
           errore();
}

bool DepositoServer::allegati(QStringList &nomi) {
    nomi.clear();
    const Risultato r = m_c.esegui("SELECT nome FROM allegati ORDER BY nome COLLATE \"C\"");
    if (!r.ok()) return errore();
    for (int i = 0; i < r.righe(); ++i)
        nomi << r.testo(i, 0);
    return true;
}

bool DepositoServer::leggiAllegato(const QString &nome, QByteArray &byte) {
    const Risultato r =
        m_c.esegui("SELECT dati FROM allegati WHERE nome = $1", {ValoreSql::testo(nome)});
    if (!r.ok()) return errore();
    if (r.righe() != 1)
        return errore(u"Attenzione: l'allegato \u00AB"_s + nome + u"\u00BB non è sul server."_s);
    byte = r.dati(0, 0);
    return true;
}

bool DepositoServer::scriviAllegato(const QString &nome, const QByteArray &byte) {
    if (!NomeAllegatoValido(nome))
        return errore(u"Attenzione: il nome dell'allegato \u00AB"_s + nome +
                      u"\u00BB non è valido."_s);
    return m_c.comando("INSERT INTO allegati (nome, dati) VALUES ($1, $2) ON CONFLICT (nome) "
                       "DO UPDATE SET dati = EXCLUDED.dati",
                       {ValoreSql::testo(nome), ValoreSql::dati(byte)}) ||
           errore();
}
