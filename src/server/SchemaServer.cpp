#include "server/SchemaServer.h"

#include "archive/Cp1252.h"

#include <cstring>

using namespace Qt::StringLiterals;

const std::array<const char *, NUMERO_CAMPI> &ColonneSchede() {
    static const std::array<const char *, NUMERO_CAMPI> colonne = {
        "codice",    "costo",           "nome",         "giacenza", "avviso", "um",
        "tipologia", "caratteristiche", "collocazione", "ditta",    "agente", "recapito",
        "documento", "pagamento",       "datasca",      "note",     "prezzo", "pagato",
        "file01",    "file02",          "file03",       "desc01",   "desc02", "desc03"};
    return colonne;
}

QByteArray ElencoColonneSchede() {
    QByteArray elenco;
    for (const char *colonna : ColonneSchede())
        elenco += QByteArray(colonna) + ", ";
    return elenco + "grezzo";
}

const char *CodiceConfrontato() {
    // The characters 1 to 32, each as an escape: the index and the lookup
    // must spell the expression alike.
    static const QByteArray espressione = []() -> QByteArray {
        QByteArray e = "lower(btrim(codice, E'";
        for (int c = 1; c <= 32; ++c)
            e += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0');
        return e + "') COLLATE \"C\")";
    }();
    return espressione.constData();
}

const char *CondizioneSottoscorta() {
    // Only whole numbers of up to 9 digits are compared here, exactly as the
    // program's rule compares them; any other text goes through.
    static const QByteArray condizione = []() -> QByteArray {
        const QByteArray intero =
            "length(%1) BETWEEN 1 AND 9 AND translate(%1, '0123456789', '') = ''";
        return "(CASE WHEN " + QByteArray(intero).replace("%1", "giacenza") + " AND " +
               QByteArray(intero).replace("%1", "avviso") +
               " THEN giacenza::bigint <= avviso::bigint ELSE true END)";
    }();
    return condizione.constData();
}

namespace {

// Indexes a database made by an older version may lack.
QList<std::pair<const char *, QByteArray>> indiciAggiunti() {
    return {
        // A scan looks its code up while the customer waits.
        {"schede_codice_esatto", "CREATE INDEX IF NOT EXISTS schede_codice_esatto ON schede (" +
                                     QByteArray(CodiceConfrontato()) + ")"},
        // The under-stock list reads only the few cards it may list (those
        // kept as bytes too, as every pass does).
        {"schede_sottoscorta", "CREATE INDEX IF NOT EXISTS schede_sottoscorta ON schede "
                               "(posizione) WHERE (" +
                                   QByteArray(CondizioneSottoscorta()) + ") OR grezzo IS NOT NULL"},
    };
}

// Every write of a card sets its column `cambio` to its transaction, so a
// workstation's copy can ask for the rows written since it last looked
// (xid8 never wraps): a new row by its default, cheap even for a whole
// archive moved in, a changed one by a trigger, so that any writer sets it.
// The default is set apart from the column, so an older table is not
// rewritten.
constexpr const char *CAMBI[] = {
    "ALTER TABLE schede ADD COLUMN IF NOT EXISTS cambio xid8",
    "ALTER TABLE schede ALTER COLUMN cambio SET DEFAULT pg_current_xact_id()",
    "CREATE OR REPLACE FUNCTION schede_cambio() RETURNS trigger LANGUAGE plpgsql AS "
    "$$ BEGIN NEW.cambio := pg_current_xact_id(); RETURN NEW; END $$",
    "CREATE TRIGGER schede_cambio BEFORE UPDATE ON schede FOR EACH ROW "
    "EXECUTE FUNCTION schede_cambio()",
    "CREATE INDEX IF NOT EXISTS schede_cambio ON schede (cambio)",
};

bool senzaCambi(Connessione &c) {
    const Risultato r = c.esegui("SELECT 1 FROM pg_trigger WHERE tgname = 'schede_cambio' "
                                 "AND tgrelid = 'schede'::regclass");
    return r.ok() && r.righe() == 0;
}

} // namespace

void AggiungiIndici(Connessione &c) {
    for (const auto &[nome, sql] : indiciAggiunti()) {
        const Risultato r = c.esegui("SELECT 1 FROM pg_indexes WHERE schemaname = "
                                     "current_schema() AND indexname = $1",
                                     {ValoreSql::testo(QString::fromLatin1(nome))});
        if (r.ok() && r.righe() == 0) c.comando(sql.constData());
    }
    if (!senzaCambi(c)) return;
    Transazione t(c);
    bool ok = t.iniziata();
    for (const char *sql : CAMBI)
        ok = ok && c.comando(sql);
    if (ok) t.conferma();
}

namespace {

// The fields searched by text get a trigram index.
constexpr const char *INDICI_TRIGRAMMI[] = {
    "CREATE INDEX IF NOT EXISTS schede_codice_trgm ON schede USING gin (codice gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_nome_trgm ON schede USING gin (nome gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_tipologia_trgm ON schede USING gin (tipologia "
    "gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_caratteristiche_trgm ON schede USING gin "
    "(caratteristiche gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_ditta_trgm ON schede USING gin (ditta gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_note_trgm ON schede USING gin (note gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_costo_trgm ON schede USING gin (costo gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_collocazione_trgm ON schede USING gin (collocazione "
    "gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_agente_trgm ON schede USING gin (agente gin_trgm_ops)",
    "CREATE INDEX IF NOT EXISTS schede_documento_trgm ON schede USING gin (documento "
    "gin_trgm_ops)",
};

QString campoGrezzo(const TScheda &scheda, Campo campo) {
    const auto &d = definizione(campo);
    const auto *inizio = reinterpret_cast<const char *>(scheda.byte.data()) + d.offset + 1;
    return Cp1252::decodifica(inizio, scheda.lunghezza(campo));
}

void ricomponi(const std::array<QString, NUMERO_CAMPI> &campi, TScheda &scheda) {
    scheda = TScheda();
    for (int i = 0; i < NUMERO_CAMPI; ++i) {
        const auto &d = CAMPI[std::size_t(i)];
        const QByteArray byte = Cp1252::codifica(campi[std::size_t(i)]).left(d.massimo);
        scheda.byte[std::size_t(d.offset)] = static_cast<unsigned char>(byte.size());
        std::memcpy(scheda.byte.data() + d.offset + 1, byte.constData(), std::size_t(byte.size()));
    }
}

} // namespace

RigaScheda RigaDaScheda(const TScheda &scheda) {
    RigaScheda riga;
    for (int i = 0; i < NUMERO_CAMPI; ++i)
        riga.campi[std::size_t(i)] = campoGrezzo(scheda, Campo(i)).remove(QChar(0));
    TScheda ricomposta;
    ricomponi(riga.campi, ricomposta);
    if (ricomposta.byte != scheda.byte)
        riga.grezzo =
            QByteArray(reinterpret_cast<const char *>(scheda.byte.data()), TScheda::DIMENSIONE);
    return riga;
}

bool SchedaDaRiga(const Risultato &r, int riga, int primaColonna, TScheda &scheda) {
    const int colonnaGrezzo = primaColonna + NUMERO_CAMPI;
    if (!r.nullo(riga, colonnaGrezzo)) {
        int n = 0;
        const char *p = r.grezzo(riga, colonnaGrezzo, n);
        if (n != TScheda::DIMENSIONE) return false;
        std::memcpy(scheda.byte.data(), p, TScheda::DIMENSIONE);
        return true;
    }
    std::array<QString, NUMERO_CAMPI> campi;
    for (int i = 0; i < NUMERO_CAMPI; ++i)
        campi[std::size_t(i)] = r.testo(riga, primaColonna + i);
    ricomponi(campi, scheda);
    return true;
}

bool SchedaDaColonne(const Risultato &r, int riga, const QList<Campo> &campi, bool intere,
                     TScheda &scheda) {
    int n = 0;
    if (!r.nullo(riga, 1)) {
        const char *p = r.grezzo(riga, 1, n);
        if (n != TScheda::DIMENSIONE) return false;
        std::memcpy(scheda.byte.data(), p, TScheda::DIMENSIONE);
        return true;
    }
    // A whole card is the record itself; otherwise the fields not read are
    // only made empty, which is all a pass looks at.
    if (intere)
        scheda.byte.fill(0);
    else
        for (const auto &d : CAMPI)
            scheda.byte[std::size_t(d.offset)] = 0;
    for (qsizetype k = 0; k < campi.size(); ++k) {
        const char *p = r.grezzo(riga, int(k) + 2, n);
        const auto &d = definizione(campi[k]);
        unsigned char alti = 0;
        for (int i = 0; i < n; ++i)
            alti |= static_cast<unsigned char>(p[i]);
        QByteArray codificato;
        if (alti >= 0x80) {
            codificato = Cp1252::codifica(QString::fromUtf8(p, n));
            p = codificato.constData();
            n = int(codificato.size());
        }
        n = qMin(n, int(d.massimo));
        scheda.byte[std::size_t(d.offset)] = static_cast<unsigned char>(n);
        std::memcpy(scheda.byte.data() + d.offset + 1, p, std::size_t(n));
    }
    return true;
}

bool CreaSchema(Connessione &c) {
    QByteArray schede = "CREATE TABLE IF NOT EXISTS schede (posizione bigint PRIMARY KEY "
                        "CHECK (posizione > 0), versione bigint NOT NULL DEFAULT 0";
    for (const char *colonna : ColonneSchede())
        schede += ", " + QByteArray(colonna) + " text NOT NULL DEFAULT ''";
    schede += ", grezzo bytea CHECK (grezzo IS NULL OR length(grezzo) = 2502))";
    const char *tabelle[] = {
        schede.constData(),
        "CREATE TABLE IF NOT EXISTS movimenti (id bigserial PRIMARY KEY, quando timestamptz, "
        "posizione bigint, tipo text, chiave text, riga bytea NOT NULL)",
        "CREATE INDEX IF NOT EXISTS movimenti_posizione ON movimenti (posizione)",
        // The few damaged cards, which every list pass lets through.
        "CREATE INDEX IF NOT EXISTS schede_grezzo ON schede (posizione) WHERE grezzo IS NOT NULL",
        "CREATE INDEX IF NOT EXISTS movimenti_quando ON movimenti (quando)",
        // A card's history reads every move and order line with its own.
        "CREATE INDEX IF NOT EXISTS movimenti_spostamenti ON movimenti (id) WHERE tipo IN "
        "('Spostamento', 'Ordine') OR posizione IS NULL",
        // A removed card comes back once at most, whichever site asks.
        "CREATE UNIQUE INDEX IF NOT EXISTS movimenti_ripristino ON movimenti (chiave) "
        "WHERE tipo = 'Ripristino'",
        "CREATE TABLE IF NOT EXISTS foto (posizione bigint PRIMARY KEY, dati bytea NOT NULL)",
        "CREATE TABLE IF NOT EXISTS allegati (nome text PRIMARY KEY, dati bytea NOT NULL)",
        "CREATE TABLE IF NOT EXISTS schede_eliminate (nome text PRIMARY KEY, dati bytea NOT "
        "NULL)",
    };
    Transazione t(c);
    if (!t.iniziata()) return false;
    for (const char *sql : tabelle)
        if (!c.comando(sql)) return false;
    for (const auto &indice : indiciAggiunti())
        if (!c.comando(indice.second.constData())) return false;
    // A server older than xid8 (PostgreSQL 13) keeps no marks: the lists then
    // read it through, without a copy at the workstation.
    if (senzaCambi(c)) {
        if (!c.comando("SAVEPOINT cambi")) return false;
        bool cambi = true;
        for (const char *sql : CAMBI)
            cambi = cambi && c.comando(sql);
        if (!c.comando(cambi ? "RELEASE SAVEPOINT cambi" : "ROLLBACK TO SAVEPOINT cambi"))
            return false;
    }
    // pg_trgm may be missing or not ours to create: the search then reads
    // the table through, slower but the same.
    if (!c.comando("SAVEPOINT trigrammi")) return false;
    bool trigrammi =
        c.esegui("SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm'").righe() == 1 ||
        c.comando("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    for (const char *sql : INDICI_TRIGRAMMI)
        trigrammi = trigrammi && c.comando(sql);
    if (!c.comando(trigrammi ? "RELEASE SAVEPOINT trigrammi" : "ROLLBACK TO SAVEPOINT trigrammi"))
        return false;
    return t.conferma();
}

QString ScriptRuolo(const QString &ruolo, const QString &database) {
    const QString r = u'"' + QString(ruolo).replace(u'"', u"\"\""_s) + u'"';
    const QString d = u'"' + QString(database).replace(u'"', u"\"\""_s) + u'"';
    return u"-- As the database's owner, after the program created its tables once.\n"
           u"CREATE ROLE "_s +
           r +
           u" LOGIN;\n"
           u"REVOKE ALL ON DATABASE "_s +
           d +
           u" FROM PUBLIC;\n"
           u"GRANT CONNECT ON DATABASE "_s +
           d + u" TO "_s + r +
           u";\n"
           u"REVOKE CREATE ON SCHEMA public FROM PUBLIC;\n"
           u"GRANT USAGE ON SCHEMA public TO "_s +
           r +
           u";\n"
           u"GRANT SELECT, INSERT, UPDATE, DELETE ON schede, movimenti, foto, allegati,\n"
           u"      schede_eliminate TO "_s +
           r +
           u";\n"
           u"GRANT USAGE ON SEQUENCE movimenti_id_seq TO "_s +
           r + u";\n"_s;
}
