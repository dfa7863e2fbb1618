#include "invoices/AbbinamentiFattura.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/FileDiretto.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"
#include "storage/DepositoFile.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 FILE_MASSIMO = 64 * 1024 * 1024;

QString chiaveVoce(const QString &fornitore, const QString &chiave) {
    return fornitore + u'\x1f' + chiave;
}

const char *nomePolitica(PoliticaCosto p) {
    switch (p) {
    case PoliticaCosto::Sempre:
        return "sempre";
    case PoliticaCosto::SoloSePiuAlto:
        return "se più alto";
    case PoliticaCosto::Mai:
        return "mai";
    }
    return "sempre";
}

bool leggiFile(const QString &percorso, QHash<QString, QString> &voci, PoliticaCosto &politica,
               bool &presente) {
    presente = false;
    const int fd = ApriFileRegolare(percorso, O_RDONLY);
    if (fd < 0) return errno == ENOENT;
    presente = true;
    struct stat info {};
    bool riuscito = ::fstat(fd, &info) == 0 && info.st_size <= FILE_MASSIMO;
    QByteArray byte(riuscito ? qsizetype(info.st_size) : 0, Qt::Uninitialized);
    riuscito = riuscito && LeggiTutto(fd, byte.data(), byte.size(), 0);
    ::close(fd);
    if (!riuscito) return false;
    QJsonParseError errore;
    const QJsonDocument documento = QJsonDocument::fromJson(byte, &errore);
    if (errore.error != QJsonParseError::NoError || !documento.isObject()) return false;
    const QJsonObject radice = documento.object();
    const QString p = radice.value(u"costo"_s).toString();
    for (PoliticaCosto c :
         {PoliticaCosto::Sempre, PoliticaCosto::SoloSePiuAlto, PoliticaCosto::Mai})
        if (p == QString::fromUtf8(nomePolitica(c))) politica = c;
    const QJsonArray elenco = radice.value(u"abbinamenti"_s).toArray();
    for (const QJsonValue &v : elenco) {
        const QJsonObject o = v.toObject();
        const QString fornitore = o.value(u"fornitore"_s).toString();
        const QString articolo = o.value(u"articolo"_s).toString();
        if (fornitore.isEmpty() || articolo.isEmpty()) continue;
        voci.insert(chiaveVoce(fornitore, articolo), o.value(u"scheda"_s).toString());
    }
    return true;
}

// The first bytes of a field as the card holds them, lower-cased A-Z.
QString CodiceDi(const TScheda &scheda) {
    return ChiaveCodice(scheda.testo(Campo::Codice));
}

// The same key from the card's bytes, without decoding them: a code of
// plain printable ASCII, as nearly every one is, is only trimmed of blanks
// and lowered. False for any other byte: the key is then to be made from the
// decoded text.
bool ChiaveAscii(const TScheda &scheda, std::string &chiave) {
    const auto *campo =
        reinterpret_cast<const char *>(scheda.byte.data()) + definizione(Campo::Codice).offset + 1;
    int a = 0, b = scheda.lunghezza(Campo::Codice);
    for (int i = a; i < b; ++i)
        if (campo[i] < 0x20 || campo[i] > 0x7E) return false;
    while (a < b && campo[a] == ' ')
        ++a;
    while (b > a && campo[b - 1] == ' ')
        --b;
    chiave.assign(campo + a, std::size_t(b - a));
    for (char &c : chiave)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return true;
}

SchedaTrovata Trovata(const TScheda &scheda, qint64 posizione) {
    return {posizione, scheda.testo(Campo::Codice), scheda.testo(Campo::Nome),
            scheda.testo(Campo::Giacenza), scheda.testo(Campo::Costo)};
}

bool CodiceEan(const CodiceArticolo &codice) {
    return codice.tipo.contains(u"EAN"_s, Qt::CaseInsensitive) ||
           codice.tipo.contains(u"GTIN"_s, Qt::CaseInsensitive);
}

} // namespace

QString ChiaveCodice(const QString &codice) {
    return codice.trimmed().toLower();
}

QString AbbinamentiRicordati::percorsoPredefinito() {
    return QDir(CartellaProgramma()).filePath(u"AbbinamentiFatture.json"_s);
}

bool AbbinamentiRicordati::leggi(const QString &percorso) {
    m_voci.clear();
    bool presente = false;
    if (leggiFile(percorso, m_voci, politica, presente)) return true;
    m_voci.clear();
    return false;
}

bool AbbinamentiRicordati::scrivi(const QString &percorso) const {
    // Another copy may have remembered its own choices meanwhile: they stay.
    QHash<QString, QString> voci;
    PoliticaCosto suDisco = politica;
    bool presente = false;
    if (!leggiFile(percorso, voci, suDisco, presente) && presente) voci.clear();
    for (auto it = m_nuove.cbegin(); it != m_nuove.cend(); ++it)
        voci.insert(it.key(), it.value());
    QStringList chiavi = voci.keys();
    chiavi.sort();
    QJsonArray elenco;
    for (const QString &k : chiavi) {
        const qsizetype separatore = k.indexOf(u'\x1f');
        elenco.append(QJsonObject{{u"fornitore"_s, k.left(separatore)},
                                  {u"articolo"_s, k.mid(separatore + 1)},
                                  {u"scheda"_s, voci.value(k)}});
    }
    const QJsonObject radice{{u"costo"_s, QString::fromUtf8(nomePolitica(politica))},
                             {u"abbinamenti"_s, elenco}};
    const QByteArray byte = QJsonDocument(radice).toJson(QJsonDocument::Indented);
    return ScriviFileIntero(percorso, [&](QIODevice *d) { return d->write(byte) == byte.size(); });
}

QStringList AbbinamentiRicordati::chiavi(const RigaFattura &riga) {
    QStringList elenco;
    for (const CodiceArticolo &c : riga.codici)
        elenco << c.tipo.trimmed().toUpper() + u':' + c.valore.trimmed();
    if (elenco.isEmpty() && !riga.descrizione.trimmed().isEmpty())
        elenco << u"Descrizione:"_s + riga.descrizione.simplified().toLower();
    return elenco;
}

std::optional<QString> AbbinamentiRicordati::cerca(const QString &fornitore,
                                                   const QStringList &chiavi) const {
    for (const QString &k : chiavi) {
        const QString voce = chiaveVoce(fornitore, k);
        auto it = m_nuove.constFind(voce);
        if (it != m_nuove.cend()) return *it;
        it = m_voci.constFind(voce);
        if (it != m_voci.cend()) return *it;
    }
    return std::nullopt;
}

void AbbinamentiRicordati::ricorda(const QString &fornitore, const QStringList &chiavi,
                                   const QString &codice) {
    if (fornitore.isEmpty()) return;
    for (const QString &k : chiavi)
        m_nuove.insert(chiaveVoce(fornitore, k), codice);
}

QString CostoDaPrezzo(double prezzo) {
    return NormalizzaImporto(ScriviNumero(Arrotonda(prezzo, 4)));
}

DatiNuovaScheda NuovaSchedaDaRiga(const RigaFattura &riga) {
    DatiNuovaScheda dati;
    for (const CodiceArticolo &c : riga.codici)
        if (CodiceEan(c)) {
            dati.codice = c.valore.trimmed();
            break;
        }
    if (dati.codice.isEmpty() && !riga.codici.isEmpty())
        dati.codice = riga.codici[0].valore.trimmed();
    dati.nome = riga.descrizione.simplified();
    dati.categoria = u"Da classificare"_s;
    dati.costo = CostoDaPrezzo(riga.prezzoNetto());
    return dati;
}

namespace {

// The pass in blocks over the cards, or false when they cannot be read;
// nothing to pass over when there is no archive yet.
using PassataSchede = std::function<bool(const Deposito::VisitaBlocco &visita)>;

QList<AbbinamentoRiga> abbina(const Fattura &fattura, const AbbinamentiRicordati &ricordati,
                              const PassataSchede &passata, bool *letto) {
    const QString fornitore = fattura.fornitore.identita();
    QList<AbbinamentoRiga> esito(fattura.righe.size());
    // Every code the lines might name, then one pass over the archive.
    QHash<QString, qint64> cercati; // 0: not found, -1: several cards
    std::vector<std::optional<QString>> memoria(std::size_t(fattura.righe.size()));
    for (qsizetype i = 0; i < fattura.righe.size(); ++i) {
        const RigaFattura &r = fattura.righe[i];
        memoria[std::size_t(i)] = ricordati.cerca(fornitore, AbbinamentiRicordati::chiavi(r));
        if (memoria[std::size_t(i)] && !memoria[std::size_t(i)]->isEmpty())
            cercati.insert(ChiaveCodice(*memoria[std::size_t(i)]), 0);
        for (const CodiceArticolo &c : r.codici)
            cercati.insert(ChiaveCodice(c.valore), 0);
    }
    // The same keys as bytes, for the cards whose code is plain ASCII.
    std::unordered_map<std::string, QString> perByte;
    for (auto it = cercati.cbegin(); it != cercati.cend(); ++it)
        perByte.emplace(it.key().toStdString(), it.key());
    QHash<qint64, SchedaTrovata> trovate;
    bool riuscito = true;
    if (!cercati.isEmpty()) {
        std::string chiave;
        const auto visita = [&](const TScheda &s, qint64 posizione) {
            if (s.lunghezza(Campo::Codice) == 0) return;
            auto it = cercati.end();
            if (ChiaveAscii(s, chiave)) {
                const auto b = perByte.find(chiave);
                if (b != perByte.end()) it = cercati.find(b->second);
            } else {
                it = cercati.find(CodiceDi(s));
            }
            if (it == cercati.end()) return;
            if (*it == 0) {
                *it = posizione;
                trovate.insert(posizione, Trovata(s, posizione));
            } else {
                *it = -1;
            }
        };
        riuscito = passata([&](const TScheda *schede, qint64 n, qint64 prima) {
            for (qint64 i = 0; i < n; ++i)
                visita(schede[i], prima + i);
            return true;
        });
    }
    if (letto) *letto = riuscito;

    const auto prova = [&](AbbinamentoRiga &a, const QString &codice, OrigineAbbinamento origine) {
        const qint64 p = cercati.value(ChiaveCodice(codice), 0);
        if (p == -1 && a.nota.isEmpty())
            a.nota = u"più schede hanno il codice "_s + codice.trimmed();
        if (p <= 0) return false;
        a.stato = StatoAbbinamento::Scheda;
        a.origine = origine;
        a.scheda = trovate.value(p);
        return true;
    };
    for (qsizetype i = 0; i < fattura.righe.size(); ++i) {
        const RigaFattura &r = fattura.righe[i];
        AbbinamentoRiga &a = esito[i];
        a.nuova = NuovaSchedaDaRiga(r);
        const auto &ricordo = memoria[std::size_t(i)];
        if (ricordo && ricordo->isEmpty()) {
            a.stato = StatoAbbinamento::NonMerce;
            a.origine = OrigineAbbinamento::Ricordata;
            continue;
        }
        if (ricordo && prova(a, *ricordo, OrigineAbbinamento::Ricordata)) continue;
        bool fatto = false;
        for (const CodiceArticolo &c : r.codici)
            if (!fatto && CodiceEan(c)) fatto = prova(a, c.valore, OrigineAbbinamento::Ean);
        for (const CodiceArticolo &c : r.codici)
            if (!fatto && !CodiceEan(c))
                fatto = prova(a, c.valore, OrigineAbbinamento::CodiceFornitore);
        if (fatto) continue;
        // Transport, services, discounts: no quantity, nothing to put on a shelf.
        if (!r.quantita.presente()) {
            a.stato = StatoAbbinamento::NonMerce;
            a.nota = u"senza quantità"_s;
        }
    }
    return esito;
}

// A card whose code or name holds `cercato` joins the list; false once full.
bool aggiungiTrovata(const TScheda &s, qint64 posizione, const QString &cercato, int quante,
                     QList<SchedaTrovata> &elenco) {
    if (cercato.isEmpty() || s.testo(Campo::Codice).contains(cercato, Qt::CaseInsensitive) ||
        s.testo(Campo::Nome).contains(cercato, Qt::CaseInsensitive))
        elenco << Trovata(s, posizione);
    return elenco.size() < quante;
}

} // namespace

QList<AbbinamentoRiga> AbbinaRighe(const Fattura &fattura, const AbbinamentiRicordati &ricordati,
                                   const QString &archivio, bool *letto) {
    return abbina(
        fattura, ricordati,
        [&archivio](const Deposito::VisitaBlocco &visita) {
            if (!QFileInfo::exists(archivio)) return true;
            // The archive's pages are read in place: only the codes are looked at.
            Archivio file(archivio);
            const qint64 quante = file.ApriArchivio() ? file.conta() : -1;
            return quante >= 0 && file.scorri(1, quante, visita);
        },
        letto);
}

QList<AbbinamentoRiga> AbbinaRighe(const Fattura &fattura, const AbbinamentiRicordati &ricordati,
                                   Deposito &deposito, bool *letto) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return AbbinaRighe(fattura, ricordati, file->archivio(), letto);
    return abbina(
        fattura, ricordati,
        [&deposito](const Deposito::VisitaBlocco &visita) { return deposito.scorri(visita); },
        letto);
}

QList<SchedaTrovata> CercaSchede(const QString &archivio, const QString &testo, int quante) {
    QList<SchedaTrovata> elenco;
    if (!QFileInfo::exists(archivio)) return elenco;
    ScorriArchivio(archivio, [&](const TScheda &s, qint64 posizione) {
        return aggiungiTrovata(s, posizione, testo.trimmed(), quante, elenco);
    });
    return elenco;
}

QList<SchedaTrovata> CercaSchede(Deposito &deposito, const QString &testo, int quante) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return CercaSchede(file->archivio(), testo, quante);
    QList<SchedaTrovata> elenco;
    deposito.scorri([&](const TScheda *schede, qint64 n, qint64 prima) {
        for (qint64 i = 0; i < n; ++i)
            if (!aggiungiTrovata(schede[i], prima + i, testo.trimmed(), quante, elenco))
                return false;
        return true;
    });
    return elenco;
}
