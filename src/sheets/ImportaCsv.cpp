#include "sheets/ImportaCsv.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/Csv.h"
#include "archive/RegoleNumeri.h"
#include "journal/Movimenti.h"
#include "sheets/CsvMagazzino.h"
#include "storage/DepositoFile.h"

#include <QDate>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

static_assert(COLONNE_CSV == 24);
// Every byte of a record belongs to one field: filling all of them fills the record.
static_assert([] {
    int fine = 0;
    for (const DefinizioneCampo &d : CAMPI) {
        if (d.offset != fine) return false;
        fine = d.offset + 1 + d.massimo;
    }
    return fine == TScheda::DIMENSIONE;
}());

namespace {

// Flags of Compatta::difetti.
constexpr quint8 FORMATO = 1;      // the row itself is refused
constexpr quint8 MANCA = 2;        // a field a new card needs is missing
constexpr quint8 SOMMA_TROPPO = 4; // the added stock does not fit the card
constexpr quint8 ZERI = 8;         // a card's code differs only by leading zeros

// A code of digits without its leading zeros, which a spreadsheet drops when
// it saves a CSV ("007" becomes "7"); empty for any other code.
QString senzaZeri(const QString &codice) {
    if (codice.isEmpty()) return {};
    for (QChar c : codice)
        if (c < u'0' || c > u'9') return {};
    qsizetype i = 0;
    while (i + 1 < codice.size() && codice[i] == u'0')
        ++i;
    return codice.mid(i);
}

// A record of the file: where its bytes are and the line it begins on.
struct Record {
    qint64 inizio;
    qint64 lunghezza;
    qint64 numero;
};

// Cuts the bytes into records. Quotes, separators and line breaks are ASCII,
// so this works on UTF-8 and Windows-1252 alike.
std::vector<Record> records(const QByteArray &byte, qint64 da, char separatore, bool &aperte) {
    std::vector<Record> esito;
    const qint64 n = byte.size();
    const char *b = byte.constData();
    // The bytes that can change anything, outside quotes and inside: runs of
    // other bytes are passed over in a tight loop.
    std::array<bool, 256> fuori{};
    std::array<bool, 256> dentro{};
    for (const char c : {'"', '\r', '\n'})
        fuori[uchar(c)] = dentro[uchar(c)] = true;
    fuori[uchar(separatore)] = true;
    qint64 riga = 1;
    qint64 i = da;
    aperte = false;
    while (i < n) {
        const qint64 inizio = i;
        const qint64 numero = riga;
        bool campoVuoto = true;
        bool virgolettato = false;
        bool traVirgolette = false;
        qint64 fine = n;
        while (i < n) {
            const char c = b[i];
            if (traVirgolette) {
                if (c == '"') {
                    if (i + 1 < n && b[i + 1] == '"')
                        ++i;
                    else
                        traVirgolette = false;
                } else if (c == '\n' || (c == '\r' && (i + 1 >= n || b[i + 1] != '\n'))) {
                    ++riga;
                } else {
                    while (i + 1 < n && !dentro[uchar(b[i + 1])])
                        ++i;
                }
                ++i;
            } else if (c == '"' && campoVuoto && !virgolettato) {
                traVirgolette = virgolettato = true;
                campoVuoto = false;
                ++i;
            } else if (c == separatore) {
                campoVuoto = true;
                virgolettato = false;
                ++i;
            } else if (c == '\r' || c == '\n') {
                fine = i;
                i += (c == '\r' && i + 1 < n && b[i + 1] == '\n') ? 2 : 1;
                ++riga;
                break;
            } else {
                campoVuoto = false;
                ++i;
                while (i < n && !fuori[uchar(b[i])])
                    ++i;
            }
        }
        if (traVirgolette) aperte = true;
        if (fine > inizio) esito.push_back({inizio, fine - inizio, numero});
    }
    return esito;
}

// The fields of one record's text, taken as written where the quotes are
// not closed or go on. With `nelTesto` a field that is one piece of `testo`
// is not copied but points into it: `testo` must then outlive the list and
// stay unchanged.
QStringList dividi(const QString &testo, QChar separatore, bool nelTesto = false,
                   qsizetype attesi = 0) {
    QStringList campi;
    campi.reserve(attesi);
    DividiCampiCsv(QStringView(testo), separatore, Virgolette::Tolleranti, [&](auto &&campo) {
        if constexpr (std::is_same_v<std::decay_t<decltype(campo)>, QString>)
            campi << std::move(campo);
        else if (campo.isEmpty())
            campi.emplaceBack();
        else
            campi.emplaceBack(nelTesto ? QString::fromRawData(campo.data(), campo.size())
                                       : campo.toString());
        return true;
    });
    return campi;
}

// Copies of texts that may point into a row's text, to keep beyond it.
QStringList propri(QStringList testi) {
    for (QString &t : testi)
        if (!t.isNull()) t.detach();
    return testi;
}

QString decodificaRecord(QByteArrayView dati, bool utf8, bool *errato) {
    if (!utf8) return Cp1252::decodifica(dati.data(), dati.size());
    // ASCII reads the same either way, and cannot be invalid.
    unsigned alti = 0;
    for (const char c : dati)
        alti |= uchar(c);
    if (alti < 0x80) {
        if (errato) *errato = false;
        return QString::fromLatin1(dati);
    }
    // The file's own byte order mark is left out before this; one at the
    // start of a record is a character of its first field and stays.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString testo = decoder.decode(dati);
    if (errato) *errato = decoder.hasError();
    return testo;
}

char separatoreDi(QByteArrayView dati) {
    qsizetype fine = dati.indexOf('\n');
    const QByteArrayView prima = dati.first(fine < 0 ? dati.size() : fine);
    char scelto = ';';
    qsizetype massimo = 0;
    // On equal counts the first of these wins.
    for (char candidato : {';', '\t', ','}) {
        const qsizetype n = prima.count(candidato);
        if (n > massimo) {
            massimo = n;
            scelto = candidato;
        }
    }
    return scelto;
}

enum class Genere { Testo, Importo, Quantita, Pagato, Data };

Genere genereDi(Campo campo) {
    switch (campo) {
    case Campo::Costo:
    case Campo::Prezzo:
        return Genere::Importo;
    case Campo::Giacenza:
    case Campo::Avviso:
        return Genere::Quantita;
    case Campo::Pagato:
        return Genere::Pagato;
    case Campo::DataSca:
        return Genere::Data;
    default:
        return Genere::Testo;
    }
}

int indiceDi(Campo campo) {
    // Asked several times for every row: looked up once.
    static const auto indici = [] {
        std::array<int, NUMERO_CAMPI> indici;
        indici.fill(-1);
        for (int i = 0; i < COLONNE_CSV; ++i)
            indici[std::size_t(ColonneCsv()[std::size_t(i)].campo)] = i;
        return indici;
    }();
    return indici[std::size_t(campo)];
}

// Whether a text may hold something Windows-1252 has no byte for.
bool fuoriLatin1(QStringView testo) {
    // Without branches, so the compiler can take many characters at a time.
    const char16_t *c = testo.utf16();
    unsigned fuori = 0;
    for (qsizetype i = 0; i < testo.size(); ++i)
        fuori |= unsigned(char16_t(c[i] - 0x80) < 0x20) | unsigned(c[i] > 0xFF);
    return fuori != 0;
}

const QString &nomeCampo(int indice) {
    static const auto nomi = [] {
        std::array<QString, COLONNE_CSV> n;
        for (int i = 0; i < COLONNE_CSV; ++i)
            n[std::size_t(i)] = u"il campo \""_s + ColonneCsv()[std::size_t(i)].intestazione + u'"';
        return n;
    }();
    return nomi[std::size_t(indice)];
}

QString codiceU(char32_t codice) {
    return u"U+%1"_s.arg(uint(codice), 4, 16, QLatin1Char('0')).toUpper();
}

QString citato(const QString &carattere) {
    const char32_t codice = carattere.toUcs4().value(0);
    return QChar::isPrint(codice) ? u"\""_s + carattere + u"\" ("_s + codiceU(codice) + u')'
                                  : codiceU(codice);
}

// Tab and line breaks are text a card may hold; other control characters are not.
int primoControllo(QStringView testo) {
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const char16_t c = testo[i].unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || (c >= 0x7F && c <= 0x9F))
            return c;
    }
    return -1;
}

// Rifila and TestoDaCampoCsv without the call when they would change nothing,
// as for nearly every cell.
QString rifilato(const QString &testo) {
    if (testo.isEmpty() || (testo.front().unicode() > 32 && testo.back().unicode() > 32))
        return testo;
    return Rifila(testo);
}
QString senzaApostrofo(const QString &campo) {
    return campo.startsWith(u'\'') ? TestoDaCampoCsv(campo) : campo;
}
// A cell's text as a card keeps it: trimmed, without the apostrophe the
// export puts before a text that looks like a formula.
QString testoCella(const QString &cella) {
    if (cella.isEmpty() ||
        (cella.front().unicode() > 32 && cella.back().unicode() > 32 && cella.front() != u'\''))
        return cella;
    return rifilato(senzaApostrofo(rifilato(cella)));
}

// Whether OsservaNumero can learn anything from the cell: it looks only at
// commas and points.
bool conNumeri(QStringView cella) {
    for (const QChar c : cella)
        if (c == u',' || c == u'.') return true;
    return false;
}

// Whether primoControllo can find anything in the text: asked of a whole row,
// the cells of which are pieces of it.
bool conControlli(QStringView testo) {
    const char16_t *c = testo.utf16();
    unsigned controlli = 0;
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const char16_t u = c[i];
        controlli |= (unsigned(u < 0x20) & unsigned(u != u'\t') & unsigned(u != u'\r') &
                      unsigned(u != u'\n')) |
                     unsigned(char16_t(u - 0x7F) <= 0x20);
    }
    return controlli != 0;
}

QString chiave(const QString &codice) {
    // A copy of its own: the code may point into a row's text that goes first.
    QString k = Rifila(codice).toCaseFolded();
    k.detach();
    return k;
}

// The header names shops use, by field.
const QHash<QString, int> &sinonimi() {
    static const QHash<QString, int> tabella = [] {
        QHash<QString, int> t;
        const std::pair<Campo, std::vector<const char16_t *>> nomi[] = {
            {Campo::Codice,
             {u"Codice", u"Cod.", u"Codice articolo", u"Articolo", u"SKU", u"EAN", u"Cod. Art.",
              u"Codice prodotto", u"Cod. articolo"}},
            {Campo::Nome,
             {u"Descrizione", u"Nome", u"Prodotto", u"Descrizione articolo",
              u"Descrizione prodotto", u"Nome prodotto"}},
            {Campo::Costo,
             {u"Costo", u"Costo unitario", u"Prezzo acquisto", u"Prezzo d'acquisto", u"Netto",
              u"Prezzo netto"}},
            {Campo::Prezzo,
             {u"Prezzo", u"Prezzo vendita", u"Prezzo di vendita", u"Listino", u"Prezzo al pubblico",
              u"Prezzo listino"}},
            {Campo::Giacenza, {u"Quantità", u"Q.tà", u"Qta", u"Giacenza", u"Esistenza"}},
            {Campo::Avviso, {u"Scorta minima", u"Sottoscorta", u"Avviso"}},
            {Campo::Tipologia, {u"Categoria", u"Famiglia", u"Gruppo", u"Reparto"}},
            {Campo::Ditta, {u"Fornitore", u"Ditta"}},
            {Campo::DataSca, {u"Scadenza"}},
        };
        // The export's own captions first; the usual names add to them.
        for (int i = 0; i < COLONNE_CSV; ++i)
            t.insert(FormaIntestazione(ColonneCsv()[std::size_t(i)].intestazione), i);
        for (const auto &[campo, elenco] : nomi)
            for (const char16_t *nome : elenco)
                t.insert(FormaIntestazione(QString::fromUtf16(nome)), indiceDi(campo));
        return t;
    }();
    return tabella;
}

bool soloCifre(QStringView t) {
    if (t.isEmpty()) return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9') return false;
    return true;
}

// "12", "7,90", ",5", "3,": a number LeggiNumero reads, as long as it is not
// so long that it could leave the range of a double.
bool cifreConVirgola(QStringView t) {
    if (t.size() > 100) return false;
    bool cifra = false;
    bool virgola = false;
    for (const QChar c : t) {
        if (c >= u'0' && c <= u'9')
            cifra = true;
        else if (c == u',' && !virgola)
            virgola = true;
        else
            return false;
    }
    return cifra;
}

// Sign apart; the euro sign and blanks taken off an amount.
QString senzaValuta(QString t, bool importo) {
    t.replace(QChar(0x00A0), u' ').replace(QChar(0x202F), u' ');
    t = t.trimmed();
    if (importo) {
        if (t.startsWith(u'€'))
            t = t.mid(1).trimmed();
        else if (t.endsWith(u'€'))
            t = t.chopped(1).trimmed();
    }
    return t;
}

// "1.052" or "1.052.300,5": groups of three digits after points.
bool migliaiaConPunti(QStringView t, bool &conVirgola) {
    if (t.startsWith(u'+') || t.startsWith(u'-')) t = t.mid(1);
    const qsizetype virgola = t.indexOf(u',');
    conVirgola = virgola >= 0;
    const QStringView intera = conVirgola ? t.left(virgola) : t;
    if (conVirgola && !soloCifre(t.mid(virgola + 1))) return false;
    const auto gruppi = intera.split(u'.');
    if (gruppi.size() < 2 || gruppi[0].size() > 3 || !soloCifre(gruppi[0])) return false;
    for (qsizetype g = 1; g < gruppi.size(); ++g)
        if (gruppi[g].size() != 3 || !soloCifre(gruppi[g])) return false;
    return true;
}

// "12.5" or "12.50": a point with one or two decimals.
bool puntoDecimale(QStringView t) {
    if (t.startsWith(u'+') || t.startsWith(u'-')) t = t.mid(1);
    const qsizetype punto = t.indexOf(u'.');
    if (punto <= 0) return false;
    const QStringView decimali = t.mid(punto + 1);
    return soloCifre(t.left(punto)) && (decimali.size() == 1 || decimali.size() == 2) &&
           soloCifre(decimali);
}

} // namespace

QString FormaIntestazione(const QString &cella) {
    const QString scomposta = cella.normalized(QString::NormalizationForm_D).toCaseFolded();
    QString forma;
    forma.reserve(scomposta.size());
    for (QChar c : scomposta)
        if (c.isLetterOrNumber()) forma += c;
    return forma;
}

int CampoDiIntestazione(const QString &cella) {
    return sinonimi().value(FormaIntestazione(cella), -1);
}

void OsservaNumero(const QString &valore, bool importo, UsoColonna &uso) {
    // Every cell of the file comes here: only what can change the answer is looked at.
    if (!uso.virgola && valore.contains(u',')) uso.virgola = true;
    if (!uso.puntoDecimale && valore.contains(u'.') && puntoDecimale(senzaValuta(valore, importo)))
        uso.puntoDecimale = true;
}

ValoreLetto LeggiValoreNumerico(const QString &valore, bool importo, const UsoColonna &uso,
                                const QString &nomeCampo) {
    const QString scritto = Rifila(valore);
    if (scritto.isEmpty()) return {};
    // What the card reads already is kept exactly. Digits with at most one
    // comma always are, and are most of what comes here.
    if (cifreConVirgola(scritto) || LeggiNumero(scritto)) return {scritto, {}};
    const QString t = senzaValuta(scritto, importo);
    auto normale = [importo](const QString &numero) {
        return importo ? NormalizzaImporto(numero) : NormalizzaQuantita(numero);
    };
    if (t != scritto && LeggiNumero(t)) return {normale(t), {}};
    const QString esempio = importo ? u"1052,25"_s : u"1052"_s;
    bool conVirgola = false;
    if (migliaiaConPunti(t, conVirgola)) {
        QString senzaPunti = t;
        senzaPunti.remove(u'.');
        if (conVirgola || !uso.puntoDecimale) return {normale(senzaPunti), {}};
        QString decimale = t;
        decimale.replace(u'.', u',');
        return {{},
                nomeCampo + u" vale \""_s + scritto +
                    u"\", che può essere letto in due modi perché la colonna usa il punto anche "
                    "per i decimali: scrivere "_s +
                    senzaPunti + u" oppure "_s + decimale};
    }
    if (puntoDecimale(t)) {
        QString decimale = t;
        decimale.replace(u'.', u',');
        if (!uso.virgola) return {normale(decimale), {}};
        return {{},
                nomeCampo + u" vale \""_s + scritto +
                    u"\" con il punto, mentre altre righe usano la virgola per i decimali: "
                    "scrivere "_s +
                    decimale};
    }
    return {{}, nomeCampo + u" non contiene un numero valido: scrivere per esempio "_s + esempio};
}

ValoreLetto LeggiData(const QString &valore, const QString &nomeCampo) {
    const QString t = Rifila(valore);
    if (t.isEmpty()) return {};
    // Already "dd/mm/yyyy", as the export writes it: kept as written, since
    // formatting the date again costs more than reading the rest of the row.
    if (t.size() == 10 && t[2] == u'/' && t[5] == u'/' && soloCifre(QStringView(t).first(2)) &&
        soloCifre(QStringView(t).sliced(3, 2)) && soloCifre(QStringView(t).sliced(6)) &&
        t[6] != u'0') {
        auto cifre = [&t](qsizetype da, qsizetype quante) {
            int n = 0;
            for (qsizetype i = da; i < da + quante; ++i)
                n = n * 10 + (t[i].unicode() - u'0');
            return n;
        };
        if (QDate::isValid(cifre(6, 4), cifre(3, 2), cifre(0, 2))) return {t, {}};
    }
    QDate data;
    const auto parti = QStringView(t).split(u'/');
    const auto iso = QStringView(t).split(u'-');
    if (parti.size() == 3 && parti[0].size() <= 2 && parti[1].size() <= 2 &&
        (parti[2].size() == 4 || parti[2].size() == 2) && soloCifre(parti[0]) &&
        soloCifre(parti[1]) && soloCifre(parti[2])) {
        int anno = parti[2].toInt();
        if (parti[2].size() == 2) anno += 2000;
        data = QDate(anno, parti[1].toInt(), parti[0].toInt());
    } else if (iso.size() == 3 && iso[0].size() == 4 && iso[1].size() == 2 && iso[2].size() == 2 &&
               soloCifre(iso[0]) && soloCifre(iso[1]) && soloCifre(iso[2])) {
        data = QDate(iso[0].toInt(), iso[1].toInt(), iso[2].toInt());
    }
    if (!data.isValid())
        return {{},
                nomeCampo + u" non contiene una data valida: scrivere gg/mm/aaaa, per esempio "
                            "31/12/2026"_s};
    return {FormattaData(data), {}};
}

TestoCsv LeggiCsv(const QByteArray &byte) {
    QByteArrayView dati(byte);
    const bool bom = dati.startsWith("\xEF\xBB\xBF");
    const qint64 da = bom ? 3 : 0;
    const bool utf8 = bom || Utf8Valido(dati.sliced(da));
    TestoCsv csv;
    const char separatore = separatoreDi(dati.sliced(da));
    csv.separatore = QLatin1Char(separatore);
    for (const Record &r : records(byte, da, separatore, csv.virgoletteAperte))
        csv.righe << dividi(decodificaRecord(dati.sliced(r.inizio, r.lunghezza), utf8, nullptr),
                            csv.separatore);
    return csv;
}

Importazione PreparaImportazione(QByteArray contenuto, const QString &archivio) {
    Importazione imp;
    QByteArrayView dati(contenuto);
    imp.m_bom = dati.startsWith("\xEF\xBB\xBF");
    const qint64 da = imp.m_bom ? 3 : 0;
    imp.m_utf8 = imp.m_bom || Utf8Valido(dati.sliced(da));
    const char separatore = separatoreDi(dati.sliced(da));
    imp.m_separatore = QLatin1Char(separatore);
    const std::vector<Record> tutti = records(contenuto, da, separatore, imp.virgoletteAperte);
    if (tutti.empty()) {
        imp.errore = u"Attenzione: il file scelto è vuoto."_s;
        return imp;
    }
    bool errato = false;
    const QString intestazione = decodificaRecord(
        dati.sliced(tutti.front().inizio, tutti.front().lunghezza), imp.m_utf8, &errato);
    // A picture or a program: many control bytes at the start.
    const QByteArrayView inizio = dati.first(qMin<qsizetype>(dati.size(), 1 << 16));
    qsizetype controlli = 0;
    for (const char c : inizio)
        if ((uchar(c) < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) ++controlli;
    if (errato || primoControllo(intestazione) >= 0 || controlli * 32 > inizio.size()) {
        imp.errore = u"Attenzione: il file scelto non è un file CSV di testo: la prima riga "
                     "deve contenere i nomi delle colonne."_s;
        return imp;
    }
    for (const QString &cella : dividi(intestazione, imp.m_separatore))
        imp.m_intestazione << Rifila(cella);
    QList<bool> presi(COLONNE_CSV, false);
    for (const QString &cella : std::as_const(imp.m_intestazione)) {
        const int campo = CampoDiIntestazione(cella);
        if (campo >= 0 && !presi[campo]) {
            presi[campo] = true;
            imp.m_riconosciute << campo;
        } else {
            imp.m_riconosciute << -1;
        }
    }

    // How each column writes its numbers, over the whole file.
    const qsizetype colonne = imp.m_intestazione.size();
    imp.m_uso = QList<UsoColonna>(colonne);
    imp.m_righe.reserve(tutti.size() - 1);
    for (std::size_t r = 1; r < tutti.size(); ++r) {
        Importazione::Compatta riga;
        riga.inizio = tutti[r].inizio;
        riga.lunghezza =
            qint32(qMin<qint64>(tutti[r].lunghezza, std::numeric_limits<qint32>::max()));
        riga.numero = qint32(qMin<qint64>(tutti[r].numero, std::numeric_limits<qint32>::max()));
        imp.m_righe.push_back(riga);
        const QString testo =
            decodificaRecord(dati.sliced(riga.inizio, riga.lunghezza), imp.m_utf8, nullptr);
        const QStringList celle = dividi(testo, imp.m_separatore, true, colonne);
        if (celle.size() != colonne) continue;
        for (qsizetype c = 0; c < colonne; ++c)
            if (conNumeri(celle[c])) OsservaNumero(celle[c], true, imp.m_uso[c]);
    }
    imp.m_byte = std::move(contenuto);
    SceltaImportazione scelta;
    scelta.colonne = imp.m_riconosciute;
    imp.valuta(scelta, archivio);
    return imp;
}

Importazione PreparaImportazione(QByteArray contenuto, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return PreparaImportazione(std::move(contenuto), file->archivio());
    Importazione imp = PreparaImportazione(std::move(contenuto));
    if (imp.errore.isEmpty() && !imp.valuta(imp.scelta(), deposito))
        imp.errore = deposito.messaggio();
    return imp;
}

Importazione::Valori Importazione::valori(const Compatta &riga) const {
    Valori v;
    v.campi = QStringList(COLONNE_CSV);
    QString *const campi = v.campi.data(); // without a check for sharing at each use
    bool errato = false;
    v.testo = decodificaRecord(QByteArrayView(m_byte).sliced(riga.inizio, riga.lunghezza), m_utf8,
                               &errato);
    if (errato) {
        v.motivo = u"la riga contiene byte che non sono testo UTF-8 valido"_s;
        return v;
    }
    v.celle = dividi(v.testo, m_separatore, true, m_intestazione.size());
    const QStringList &celle = v.celle;
    if (celle.size() != m_intestazione.size()) {
        v.motivo = u"la riga ha "_s + QString::number(celle.size()) +
                   (celle.size() == 1 ? u" campo"_s : u" campi"_s) + u" e l'intestazione "_s +
                   QString::number(m_intestazione.size()) +
                   u": controllare i separatori e le virgolette"_s;
        return v;
    }
    bool vuota = true;
    const bool controlli = conControlli(v.testo);
    for (qsizetype c = 0; c < celle.size(); ++c) {
        const QString &cella = celle[c];
        const int campo = m_scelta.colonne.value(c, -1);
        vuota = vuota && rifilato(cella).isEmpty();
        if (campo < 0) continue;
        const int controllo = controlli ? primoControllo(cella) : -1;
        if (controllo >= 0 && v.motivo.isEmpty())
            v.motivo = nomeCampo(campo) + u" contiene il carattere di controllo "_s +
                       codiceU(char32_t(controllo)) + u", che non può essere archiviato"_s;
        // An apostrophe the export put before a formula-like text goes.
        campi[campo] = testoCella(cella);
        v.dati[campo] = !campi[campo].isEmpty();
    }
    if (vuota) {
        v.motivo = u"riga vuota"_s;
        return v;
    }
    if (!v.motivo.isEmpty()) return v;

    const auto &colonne = ColonneCsv();
    for (int i = 0; i < COLONNE_CSV; ++i) {
        const Campo campo = colonne[std::size_t(i)].campo;
        QString &t = campi[i];
        const int colonna = m_colonnaDi[i];
        switch (genereDi(campo)) {
        case Genere::Importo:
        case Genere::Quantita: {
            if (!v.dati[i]) break;
            const ValoreLetto letto =
                LeggiValoreNumerico(t, genereDi(campo) == Genere::Importo,
                                    colonna >= 0 ? m_uso[colonna] : UsoColonna(), nomeCampo(i));
            if (!letto.motivo.isEmpty()) {
                v.motivo = letto.motivo;
                return v;
            }
            t = letto.testo;
            break;
        }
        case Genere::Data: {
            const ValoreLetto letto = LeggiData(t, nomeCampo(i));
            if (!letto.motivo.isEmpty()) {
                v.motivo = letto.motivo;
                return v;
            }
            t = letto.testo;
            break;
        }
        case Genere::Pagato: {
            if (t == u"Sì" || t == u"No") break; // as the export writes it
            const QString valore = t.toLower();
            if (valore == u"sì" || valore == u"si")
                t = u"Sì"_s;
            else if (valore == u"no")
                t = u"No"_s;
            else if (!valore.isEmpty()) {
                v.motivo = nomeCampo(i) + u" deve valere Sì o No"_s;
                return v;
            }
            break;
        }
        case Genere::Testo:
            break;
        }
    }

    // What the file does not have, for new cards.
    const std::pair<Campo, const QString *> perTutte[] = {{Campo::Nome, &m_scelta.nome},
                                                          {Campo::Costo, &m_scelta.costo},
                                                          {Campo::Tipologia, &m_scelta.categoria}};
    for (const auto &[campo, valore] : perTutte) {
        const int i = indiceDi(campo);
        if (m_colonnaDi[i] >= 0) continue;
        v.campi[i] = Rifila(*valore);
        if (campo == Campo::Costo && !v.campi[i].isEmpty()) {
            const ValoreLetto letto = LeggiValoreNumerico(v.campi[i], true, {}, nomeCampo(i));
            if (!letto.motivo.isEmpty()) {
                v.motivo = letto.motivo;
                return v;
            }
            v.campi[i] = letto.testo;
        }
    }
    const int pagato = indiceDi(Campo::Pagato);
    if (v.campi[pagato].isEmpty()) v.campi[pagato] = m_scelta.pagato ? u"Sì"_s : u"No"_s;
    for (Campo campo : {Campo::Giacenza, Campo::Avviso})
        if (v.campi[indiceDi(campo)].isEmpty()) v.campi[indiceDi(campo)] = u"0"_s;

    for (int i = 0; i < COLONNE_CSV; ++i) {
        QString &t = campi[i];
        const QString estraneo = fuoriLatin1(t) ? Cp1252::primoNonRappresentabile(t) : QString();
        if (!estraneo.isEmpty()) {
            v.motivo = nomeCampo(i) + u" contiene il carattere "_s + citato(estraneo) +
                       u", che non può essere archiviato"_s;
            return v;
        }
        const Campo campo = colonne[std::size_t(i)].campo;
        const int massimo = definizione(campo).massimo;
        // A long text is cut to its field, as the card window's boxes do; a
        // code or a file name cut short would name something else.
        if (t.size() > massimo && genereDi(campo) == Genere::Testo && campo != Campo::Codice &&
            campo != Campo::File01 && campo != Campo::File02 && campo != Campo::File03) {
            t = Rifila(t.left(massimo));
            v.nota += (v.nota.isEmpty() ? QString() : u", "_s) + nomeCampo(i) + u" tagliato a "_s +
                      QString::number(massimo) + u" caratteri"_s;
            continue;
        }
        if (t.size() > massimo) {
            v.motivo = nomeCampo(i) + u" supera il limite di "_s + QString::number(massimo) +
                       u" caratteri"_s;
            return v;
        }
    }
    return v;
}

namespace {

QString motivoMancante(const QStringList &campi) {
    const std::pair<Campo, QString> obbligatori[] = {
        {Campo::Codice, u"manca il codice articolo"_s},
        {Campo::Costo, u"manca il costo unitario"_s},
        {Campo::Nome, u"manca il nome del prodotto"_s},
        {Campo::Tipologia, u"manca la categoria merceologica"_s}};
    for (const auto &[campo, motivo] : obbligatori)
        if (campi[indiceDi(campo)].isEmpty()) return motivo;
    return {};
}

// Same number, written either way: an update does not count it as a change.
bool stessoValore(Campo campo, const QString &a, const QString &b) {
    if (a == b) return true;
    const Genere g = genereDi(campo);
    if (g != Genere::Importo && g != Genere::Quantita) return false;
    const auto x = LeggiNumero(a);
    const auto y = LeggiNumero(b);
    return x && y && *x == *y;
}

} // namespace

bool Importazione::applica(const Valori &v, TScheda &scheda) const {
    for (int i = 0; i < COLONNE_CSV; ++i) {
        if (!v.dati[i]) continue;
        const Campo campo = ColonneCsv()[std::size_t(i)].campo;
        QString nuovo = v.campi[i];
        if (campo == Campo::Codice) continue; // the same but for case and blanks
        if (campo == Campo::Giacenza) {
            if (m_scelta.giacenza == ModoGiacenza::Lascia) continue;
            if (m_scelta.giacenza == ModoGiacenza::Somma) {
                const double prima = LeggiNumero(scheda.testo(campo)).value_or(0);
                nuovo = ScriviNumero(Arrotonda(prima + LeggiNumero(nuovo).value_or(0), 0));
                if (nuovo.size() > definizione(campo).massimo) return false;
            }
        }
        if (!stessoValore(campo, scheda.testo(campo), nuovo)) scheda.impostaTesto(campo, nuovo);
    }
    return true;
}

bool Importazione::valuta(const SceltaImportazione &scelta, const QString &archivio) {
    return valuta(scelta, archivio, nullptr);
}

bool Importazione::valuta(const SceltaImportazione &scelta, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return valuta(scelta, file->archivio(), nullptr);
    return valuta(scelta, QString(), &deposito);
}

bool Importazione::valuta(const SceltaImportazione &scelta, const QString &archivio,
                          Deposito *deposito) {
    m_scelta = scelta;
    m_scelta.colonne.resize(m_intestazione.size(), -1);
    m_archivio = archivio;
    m_deposito = deposito;
    for (int &c : m_colonnaDi)
        c = -1;
    for (qsizetype c = 0; c < m_scelta.colonne.size(); ++c) {
        int &campo = m_scelta.colonne[c];
        if (campo >= COLONNE_CSV || (campo >= 0 && m_colonnaDi[campo] >= 0)) campo = -1;
        if (campo >= 0) m_colonnaDi[campo] = int(c);
    }

    // The codes of the file, to find rows that repeat one and cards that have
    // one: kept as hashes beside their rows, the texts read again on a match,
    // so a large file costs 16 bytes a row here.
    const int codice = indiceDi(Campo::Codice);
    std::vector<std::pair<std::size_t, qint32>> codici;
    codici.reserve(m_righe.size());
    for (std::size_t r = 0; r < m_righe.size(); ++r) {
        Compatta &riga = m_righe[r];
        riga.difetti = 0;
        riga.doppione = 0;
        riga.posizione = 0;
        riga.cambiati = 0;
        const Valori v = valori(riga);
        if (!v.motivo.isEmpty()) {
            riga.difetti |= FORMATO;
            continue;
        }
        if (!motivoMancante(v.campi).isEmpty()) riga.difetti |= MANCA;
        if (!v.campi[codice].isEmpty())
            codici.emplace_back(qHash(chiave(v.campi[codice])), qint32(r));
    }
    std::sort(codici.begin(), codici.end());
    // Codes of digits, without leading zeros, to find a card the file names
    // with its zeros lost.
    std::vector<std::pair<std::size_t, qint32>> numerici;
    for (const auto &[hash, r] : codici) {
        const QString z = senzaZeri(valori(m_righe[std::size_t(r)]).campi[codice]);
        if (!z.isEmpty()) numerici.emplace_back(qHash(z), r);
    }
    std::sort(numerici.begin(), numerici.end());
    auto codiceDi = [&](qint32 r) { return chiave(valori(m_righe[std::size_t(r)]).campi[codice]); };
    for (std::size_t i = 0; i < codici.size();) {
        std::size_t fine = i + 1;
        while (fine < codici.size() && codici[fine].first == codici[i].first)
            ++fine;
        // Rows in file order: each later one names the first with its code.
        for (std::size_t a = i; fine - i > 1 && a < fine; ++a) {
            Compatta &riga = m_righe[std::size_t(codici[a].second)];
            const QString k = codiceDi(codici[a].second);
            for (std::size_t b = i; b < a; ++b) {
                if (codiceDi(codici[b].second) != k) continue;
                Compatta &prima = m_righe[std::size_t(codici[b].second)];
                riga.doppione = prima.numero;
                if (prima.doppione == 0) prima.doppione = riga.numero;
                break;
            }
        }
        i = fine;
    }

    const auto vedi = [&](const TScheda &scheda, qint64 posizione) {
        const QString k = chiave(scheda.testo(Campo::Codice));
        if (const QString z = senzaZeri(k); !z.isEmpty())
            for (auto it = std::lower_bound(numerici.cbegin(), numerici.cend(),
                                            std::pair<std::size_t, qint32>(qHash(z), -1));
                 it != numerici.cend() && it->first == qHash(z); ++it) {
                const QString suo = codiceDi(it->second);
                if (suo != k && senzaZeri(suo) == z)
                    m_righe[std::size_t(it->second)].difetti |= ZERI;
            }
        auto it = std::lower_bound(codici.cbegin(), codici.cend(),
                                   std::pair<std::size_t, qint32>(qHash(k), -1));
        for (; it != codici.cend() && it->first == qHash(k); ++it) {
            if (codiceDi(it->second) != k) continue;
            Compatta &riga = m_righe[std::size_t(it->second)];
            if (riga.posizione != 0) {
                riga.posizione = -1;
                continue;
            }
            riga.posizione = posizione;
            TScheda aggiornata = scheda;
            if (!applica(valori(riga), aggiornata)) riga.difetti |= SOMMA_TROPPO;
            for (int i = 0; i < COLONNE_CSV; ++i) {
                const Campo campo = ColonneCsv()[std::size_t(i)].campo;
                if (aggiornata.testo(campo) != scheda.testo(campo)) riga.cambiati |= 1u << i;
            }
        }
        return true;
    };
    bool letto = true;
    if (deposito && !codici.empty())
        letto = deposito->scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
            for (qint64 i = 0; i < quante; ++i)
                vedi(schede[i], prima + i);
            return true;
        });
    else if (!archivio.isEmpty() && QFileInfo::exists(archivio) && !codici.empty())
        letto = ScorriArchivio(archivio, vedi);

    std::fill(std::begin(m_conti), std::end(m_conti), 0);
    for (Compatta &riga : m_righe) {
        if (riga.difetti & FORMATO || riga.doppione != 0 || riga.posizione < 0 ||
            (riga.posizione > 0 && riga.difetti & SOMMA_TROPPO) ||
            (riga.posizione == 0 && riga.difetti & MANCA))
            riga.stato = StatoRiga::Rifiutata;
        else if (riga.posizione > 0)
            riga.stato = riga.cambiati ? StatoRiga::DaAggiornare : StatoRiga::Invariata;
        else
            riga.stato = StatoRiga::Nuova;
        ++m_conti[int(riga.stato)];
    }
    return letto;
}

QString Importazione::motivoCompleto(const Compatta &riga, const Valori &v) const {
    if (!v.motivo.isEmpty()) return v.motivo;
    const QString codice = v.campi[indiceDi(Campo::Codice)];
    if (riga.doppione != 0)
        return u"il codice "_s + codice + u" compare anche alla riga "_s +
               QString::number(riga.doppione) + u" del file"_s;
    if (riga.posizione < 0)
        return u"il codice "_s + codice +
               u" è di più schede dell'archivio: non si sa quale aggiornare"_s;
    if (riga.posizione > 0 && riga.difetti & SOMMA_TROPPO)
        return u"la giacenza sommata supera il limite di 4 caratteri"_s;
    if (riga.posizione == 0) return motivoMancante(v.campi);
    return {};
}

RigaImportata Importazione::riga(qsizetype indice) const {
    const Compatta &compatta = m_righe[std::size_t(indice)];
    RigaImportata riga;
    riga.numero = compatta.numero;
    riga.stato = compatta.stato;
    riga.posizione = compatta.posizione;
    const Valori v = valori(compatta);
    riga.campi = propri(v.campi);
    riga.celle = propri(v.celle);
    riga.motivo = compatta.stato == StatoRiga::Rifiutata ? motivoCompleto(compatta, v) : QString();
    if (compatta.stato != StatoRiga::Rifiutata) riga.nota = v.nota;
    if (compatta.stato == StatoRiga::Nuova && compatta.difetti & ZERI)
        riga.nota += (riga.nota.isEmpty() ? QString() : u", "_s) +
                     u"forse è una scheda già in archivio: un suo codice è uguale a parte gli "
                     u"zeri iniziali, che un foglio di calcolo toglie"_s;
    for (int i = 0; i < COLONNE_CSV; ++i)
        if (compatta.cambiati & (1u << i)) riga.cambiati << i;
    // An update shows the card as it will be.
    if (compatta.posizione > 0 && compatta.stato != StatoRiga::Rifiutata) {
        TScheda scheda;
        Archivio archivio(m_archivio);
        if (m_deposito ? m_deposito->leggi(compatta.posizione, scheda)
                       : archivio.ApriArchivio() && archivio.leggi(compatta.posizione, scheda)) {
            for (int i = 0; i < COLONNE_CSV; ++i)
                riga.prima << scheda.testo(ColonneCsv()[std::size_t(i)].campo);
            applica(v, scheda);
            for (int i = 0; i < COLONNE_CSV; ++i)
                riga.campi[i] = scheda.testo(ColonneCsv()[std::size_t(i)].campo);
        }
    }
    return riga;
}

namespace {

// What TScheda::impostaTesto writes, straight into the record when the text
// needs no table (Latin-1 outside 0x80-0x9F, as almost every text is).
void impostaCampo(TScheda &scheda, Campo campo, const QString &testo) {
    const QString t = rifilato(testo);
    const DefinizioneCampo &d = definizione(campo);
    const qsizetype n = qMin<qsizetype>(t.size(), d.massimo);
    if (fuoriLatin1(QStringView(t).first(n))) {
        scheda.impostaTesto(campo, t);
        return;
    }
    unsigned char *campoByte = scheda.byte.data() + d.offset;
    campoByte[0] = static_cast<unsigned char>(n);
    const char16_t *c = QStringView(t).utf16();
    for (qsizetype i = 0; i < n; ++i)
        campoByte[1 + i] = static_cast<unsigned char>(c[i]);
    std::memset(campoByte + 1 + n, 0, std::size_t(d.massimo - n));
}

} // namespace

TScheda Importazione::nuovaScheda(qsizetype indice) const {
    TScheda scheda;
    nuovaScheda(indice, scheda);
    return scheda;
}

void Importazione::nuovaScheda(qsizetype indice, TScheda &scheda) const {
    const Valori v = valori(m_righe[std::size_t(indice)]);
    // The fields lie end to end over the whole record: each byte is written once.
    for (int i = 0; i < COLONNE_CSV; ++i)
        impostaCampo(scheda, ColonneCsv()[std::size_t(i)].campo, v.campi[i]);
}

bool Importazione::aggiornaScheda(qsizetype indice, TScheda &scheda) const {
    const Valori v = valori(m_righe[std::size_t(indice)]);
    if (chiave(scheda.testo(Campo::Codice)) != chiave(v.campi[indiceDi(Campo::Codice)]))
        return false;
    return applica(v, scheda);
}

namespace {

// What an import writes, on the folder and on a server alike: the rows'
// cards and the lines of the stocks they change.
class LavoroImportazione {
  public:
    LavoroImportazione(const Importazione &importazione, const QString &nota,
                       ScritturaImportazione &esito)
        : m_importazione(importazione), m_movimenti(nota), m_esito(esito) {
        for (qsizetype i = 0; i < importazione.righe(); ++i) {
            if (importazione.stato(i) == StatoRiga::Nuova) m_nuove.push_back(i);
            if (importazione.stato(i) != StatoRiga::DaAggiornare) continue;
            m_aggiornate.push_back(i);
            esito.aggiornate.push_back(importazione.posizione(i));
        }
        esito.nuove = qsizetype(m_nuove.size());
        m_perAggiornata.resize(m_aggiornate.size());
    }

    qint64 nuove() const { return qint64(m_nuove.size()); }

    // Only the lines are kept, not the cards. An update may be built twice
    // (to check it, then to write it), and its line is the one of the last
    // time.
    bool aggiorna(qint64 i, TScheda &scheda) {
        // A stock that is not a whole number makes no line to count from.
        const auto giacenza = GiacenzaDi(scheda);
        const bool stessa = m_importazione.aggiornaScheda(m_aggiornate[std::size_t(i)], scheda);
        m_perAggiornata[std::size_t(i)] =
            m_movimenti.movimento(scheda, m_esito.aggiornate[std::size_t(i)], giacenza);
        return stessa;
    }

    void prepara(qint64 i, TScheda &scheda) {
        m_importazione.nuovaScheda(m_nuove[std::size_t(i)], scheda);
        if (auto m = m_movimenti.movimento(scheda, 0, 0)) {
            m_perNuova << std::move(*m);
            m_indiciNuove.push_back(i);
        }
    }

    // The lines, once the first new card's position is known.
    QList<Movimento> righe(qint64 primo) const {
        QList<Movimento> righe;
        for (const auto &m : m_perAggiornata)
            if (m) righe << *m;
        for (qsizetype k = 0; k < m_perNuova.size(); ++k) {
            righe << m_perNuova[k];
            righe.last().posizione = primo + m_indiciNuove[std::size_t(k)];
        }
        return righe;
    }

  private:
    const Importazione &m_importazione;
    const MovimentiImportazione m_movimenti;
    ScritturaImportazione &m_esito;
    std::vector<qsizetype> m_nuove, m_aggiornate;
    std::vector<std::optional<Movimento>> m_perAggiornata;
    QList<Movimento> m_perNuova;
    std::vector<qint64> m_indiciNuove;
};

} // namespace

ScritturaImportazione ScriviImportazione(const Importazione &importazione, const QString &archivio,
                                         const QString &giornale, const QString &nota) {
    ScritturaImportazione esito;
    LavoroImportazione lavoro(importazione, nota, esito);
    QList<Movimento> righe;
    bool registrate = false;
    const Conclusione conclusione = ConclusioneDeiMovimenti(
        archivio, giornale, righe, registrate, [&](qint64 primo) { righe = lavoro.righe(primo); });
    Archivio file(archivio);
    if (!file.ApriArchivio()) {
        esito.errore = file.errore() ? file.errore() : EACCES;
        return esito;
    }
    esito.prima = file.scriviInsieme(
        esito.aggiornate, [&](qint64 i, TScheda &scheda) { return lavoro.aggiorna(i, scheda); },
        lavoro.nuove(), [&](qint64 i, TScheda &scheda) { lavoro.prepara(i, scheda); },
        &conclusione);
    esito.errore = file.errore();
    return esito;
}

ScritturaImportazione ScriviImportazione(const Importazione &importazione, Deposito &deposito,
                                         const QString &nota) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return ScriviImportazione(importazione, file->archivio(), file->giornale(), nota);
    ScritturaImportazione esito;
    LavoroImportazione lavoro(importazione, nota, esito);
    bool cambiata = false;
    esito.prima = deposito.insiemeConRighe(
        esito.aggiornate,
        [&](qint64 i, TScheda &scheda) {
            cambiata = !lavoro.aggiorna(i, scheda);
            return !cambiata;
        },
        lavoro.nuove(), [&](qint64 i, TScheda &scheda) { lavoro.prepara(i, scheda); },
        [&](qint64 primo) { return lavoro.righe(primo); });
    if (esito.prima < 0) {
        // The same words as on the folder for a card changed meanwhile.
        esito.errore = cambiata ? ESTALE : EIO;
        if (!cambiata) esito.messaggio = deposito.messaggio();
    }
    return esito;
}
