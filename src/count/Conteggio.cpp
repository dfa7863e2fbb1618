#include "count/Conteggio.h"

#include "archive/Archivio.h"
#include "archive/BloccoFile.h"
#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/FileDiretto.h"
#include "archive/Importi.h"
#include "archive/RegoleNumeri.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "journal/StessaScheda.h"
#include "labels/CercaCodice.h"
#include "passes/Passate.h"
#include "passes/Righe.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr std::array<const char16_t *, 6> NOMI_RIGHE = {u"Inizio",     u"Scheda",    u"Lettura",
                                                        u"Correzione", u"Applicato", u"Archivio"};
constexpr QByteArrayView BOM("\xEF\xBB\xBF");
constexpr int CAMPI_CONTEGGIO = 7;
// No line the program writes comes near this: a longer one is damaged.
constexpr qsizetype RIGA_MASSIMA = 4096;
// A quantity beyond any shelf: a line that holds one is damaged.
constexpr qint64 QUANTITA_MASSIMA = 1'000'000'000;

std::optional<qint64> intero(QByteArrayView byte) {
    byte = byte.trimmed();
    bool ok = false;
    const qint64 valore = byte.toLongLong(&ok);
    if (!ok || byte.isEmpty() || byte.front() == '+') return std::nullopt;
    return valore;
}

// The lines of bytes [letto, fine) of an open file, complete ones only.
bool leggiDa(int fd, qint64 fine, qint64 &letto,
             const std::function<void(const RigaConteggio &)> &visita, qint64 &danneggiate) {
    QByteArray resto;
    bool troppoLunga = false;
    constexpr qint64 BLOCCO = 1 << 20;
    QByteArray buffer;
    qint64 offset = letto;
    RigaConteggio riga;
    while (offset < fine) {
        const qint64 quanti = std::min(BLOCCO, fine - offset);
        buffer.resize(quanti);
        if (!LeggiTutto(fd, buffer.data(), quanti, offset)) return false;
        qsizetype inizio = 0;
        while (true) {
            const qsizetype a = buffer.indexOf('\n', inizio);
            if (a < 0) {
                if (!troppoLunga) resto += QByteArrayView(buffer).sliced(inizio);
                if (resto.size() > RIGA_MASSIMA) {
                    resto.clear();
                    troppoLunga = true;
                }
                break;
            }
            QByteArrayView testo = QByteArrayView(buffer).sliced(inizio, a - inizio);
            QByteArray intera;
            if (!resto.isEmpty()) {
                intera = resto + testo.toByteArray();
                testo = intera;
                resto.clear();
            }
            const qint64 daRiga = letto;
            letto = offset + a + 1;
            inizio = a + 1;
            if (troppoLunga) {
                troppoLunga = false;
                ++danneggiate;
                continue;
            }
            // The first line is the header.
            if (daRiga == 0) continue;
            if (testo.endsWith('\r')) testo.chop(1);
            if (testo.trimmed().isEmpty()) continue;
            if (testo.size() > RIGA_MASSIMA || !LeggiRigaConteggio(testo, riga)) {
                ++danneggiate;
                continue;
            }
            visita(riga);
        }
        offset += quanti;
    }
    return true;
}

QString chiaveSconosciuto(const QString &codice) {
    return Rifila(codice).toLower();
}

// The journal's mark now, on the archive in use: the file's length as it
// always was, the server's next row there.
qint64 segnoAdesso() {
    if (DepositoCorrenteSuFile()) return qMax<qint64>(0, SegnoGiornale());
    return DepositoCorrente().segnoGiornale();
}

// "archivio nella cartella del programma" or the server's ("archivio sul
// server ..."), after an article.
QString nomeArchivio(const QString &descrizione) {
    return descrizione.isEmpty() ? u"archivio nella cartella del programma"_s : descrizione;
}

} // namespace

QString CartellaConteggi() {
    return QDir(CartellaProgramma()).filePath(u"Conteggi"_s);
}

QString PercorsoConteggio(const QString &nome) {
    return QDir(CartellaConteggi()).filePath(nome + u".csv"_s);
}

QString NomeConteggioNonValido(const QString &nome) {
    const QString n = nome.trimmed();
    if (n.isEmpty()) return u"Indicare un nome per il conteggio."_s;
    if (n.size() > 60) return u"Il nome del conteggio può avere al massimo 60 caratteri."_s;
    if (n.startsWith(u'.')) return u"Il nome del conteggio non può cominciare con un punto."_s;
    for (const QChar c : n)
        if (c.unicode() < 32 || QStringView(u"/\\:*?\"<>|").contains(c))
            return u"Il nome del conteggio non può contenere il carattere «"_s +
                   (c.unicode() < 32 ? u"a capo"_s : QString(c)) + u"»."_s;
    return {};
}

QStringList ElencoConteggi() {
    QStringList nomi;
    const QFileInfoList voci =
        QDir(CartellaConteggi()).entryInfoList({u"*.csv"_s}, QDir::Files, QDir::Time);
    for (const QFileInfo &voce : voci)
        nomi << voce.completeBaseName();
    return nomi;
}

QByteArray IntestazioneConteggio() {
    return "Data e ora;Tipo;Codice;Posizione;Quantit\xC3\xA0;Postazione;Giornale";
}

QByteArray RigaFileConteggio(const RigaConteggio &r) {
    QByteArray riga = r.quando.toString(Qt::ISODate).toLatin1();
    riga += ';';
    riga += QString::fromUtf16(NOMI_RIGHE[std::size_t(r.tipo)]).toUtf8();
    riga += ';';
    riga += CampoGiornale(r.codice);
    riga += ';' + QByteArray::number(r.posizione) + ';' + QByteArray::number(r.quantita) + ';';
    riga += CampoGiornale(r.postazione);
    riga += ';' + QByteArray::number(r.giornale);
    return riga;
}

bool LeggiRigaConteggio(QByteArrayView testo, RigaConteggio &r) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decodificata = utf8(testo);
    if (utf8.hasError()) return false;
    thread_local std::vector<QByteArrayView> campi;
    thread_local std::vector<QByteArray> spazio;
    const char separatore = testo.contains(';') ? ';' : ',';
    if (!DividiRigaGiornale(testo, separatore, campi, spazio, CAMPI_CONTEGGIO + 1) ||
        campi.size() != std::size_t(CAMPI_CONTEGGIO))
        return false;
    r.quando = QDateTime::fromString(QString::fromLatin1(campi[0].trimmed()), Qt::ISODate);
    if (!r.quando.isValid()) return false;
    const QString tipo = QString::fromUtf8(campi[1].trimmed());
    const auto trovato = std::find_if(NOMI_RIGHE.begin(), NOMI_RIGHE.end(),
                                      [&](const char16_t *n) { return tipo == n; });
    if (trovato == NOMI_RIGHE.end()) return false;
    r.tipo = TipoRigaConteggio(trovato - NOMI_RIGHE.begin());
    const auto posizione = intero(campi[3]);
    const auto quantita = intero(campi[4]);
    const auto giornale = intero(campi[6]);
    if (!posizione || *posizione < 0 || !quantita || std::abs(*quantita) > QUANTITA_MASSIMA ||
        !giornale || *giornale < 0)
        return false;
    auto testoCampo = [](QByteArrayView campo) {
        const QString t = QString::fromUtf8(campo);
        return t.startsWith(u'\'') ? TestoDaGiornale(t) : t;
    };
    r.codice = testoCampo(campi[2]);
    r.postazione = testoCampo(campi[5]);
    r.posizione = *posizione;
    r.quantita = *quantita;
    r.giornale = *giornale;
    return true;
}

bool LeggiCodaConteggio(const QString &percorso, qint64 &letto,
                        const std::function<void(const RigaConteggio &)> &visita,
                        qint64 &danneggiate) {
    const Descrittore file(ApriFileRegolare(percorso, O_RDONLY));
    if (file.fd < 0) return errno == ENOENT;
    // A copy appending holds the write lock until its lines are on disk.
    const Blocco blocco(file.fd, F_RDLCK, 0, 0);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return false;
    return leggiDa(file.fd, qint64(info.st_size), letto, visita, danneggiate);
}

bool AccodaConteggio(const QString &percorso, const QList<RigaConteggio> &righe, qint64 &letto,
                     const std::function<void(const RigaConteggio &)> &visita, qint64 &danneggiate,
                     bool nuovo) {
    if (!QDir().mkpath(QFileInfo(percorso).path())) return false;
    const Descrittore file(
        ApriFileRegolare(percorso, O_RDWR | O_CREAT | O_APPEND | (nuovo ? O_EXCL : 0)));
    if (file.fd < 0) return false;
    const Blocco blocco(file.fd, F_WRLCK, 0, 0);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return false;
    // What other copies appended first, so the lines keep the file's order.
    if (!leggiDa(file.fd, qint64(info.st_size), letto, visita, danneggiate)) return false;
    QByteArray testo;
    if (info.st_size == 0) {
        testo += BOM.toByteArray() + IntestazioneConteggio() + '\n';
    } else {
        // A line cut short by a crash stays a damaged line of its own.
        char ultimo = '\n';
        if (::pread(file.fd, &ultimo, 1, info.st_size - 1) != 1) return false;
        if (ultimo != '\n') testo += '\n';
    }
    for (const RigaConteggio &r : righe)
        testo += RigaFileConteggio(r) + '\n';
    const bool scritto = ScriviTutto(file.fd, testo.constData(), testo.size(), info.st_size) &&
                         SincronizzaArchivio(file.fd) == 0;
    if (!scritto) {
        int esito;
        do {
            esito = ::ftruncate(file.fd, info.st_size);
        } while (esito != 0 && errno == EINTR);
        SincronizzaArchivio(file.fd);
        return false;
    }
    return leggiDa(file.fd, qint64(info.st_size) + testo.size(), letto, visita, danneggiate);
}

bool ChiaveCodice(const QString &codice, std::string &chiave) {
    return CodiceNonValido(codice).isEmpty() && ChiaveMinuscola(Rifila(codice), chiave);
}

namespace {
std::string chiaveScheda(const TScheda &scheda) {
    const std::string_view campo = CampoGrezzo(scheda, Campo::Codice);
    std::string chiave(campo);
    for (char &c : chiave)
        c = char(MinuscolaByte(static_cast<unsigned char>(c)));
    return chiave;
}
} // namespace

IndiceCodici::IndiceCodici(QString archivio, Deposito *deposito)
    : m_archivio(std::move(archivio)), m_deposito(deposito) {}

IndiceCodici::Trovate IndiceCodici::cercaSulServer(const std::string &chiave,
                                                   const QString &codice) {
    // The server finds the code by its index; the program's own rule keeps
    // the cards, read as they are now.
    Trovate esito;
    QList<qint64> posizioni;
    if (!m_deposito->cercaCodice(Rifila(codice), posizioni)) {
        esito.riuscito = false;
        return esito;
    }
    TScheda scheda;
    for (const qint64 p : posizioni) {
        if (!m_deposito->leggi(p, scheda)) {
            esito.riuscito = false;
            return esito;
        }
        if (chiaveScheda(scheda) != chiave) continue;
        esito.posizioni << p;
        esito.schede << scheda;
    }
    return esito;
}

bool IndiceCodici::cambiato(qint64 &dimensione, qint64 &modifica) const {
    struct stat info {};
    if (::stat(QFile::encodeName(m_archivio).constData(), &info) != 0) {
        dimensione = 0;
        modifica = 0;
    } else {
        dimensione = qint64(info.st_size);
        modifica = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    }
    return dimensione != m_dimensione || modifica != m_modifica;
}

bool IndiceCodici::costruisci() {
    if (m_deposito) {
        m_schede = m_deposito->conta();
        return m_schede >= 0;
    }
    m_indice.clear();
    m_schede = 0;
    // Looked at before the pass: a change during it is seen at the next search.
    cambiato(m_dimensione, m_modifica);
    const bool letto = ScorriArchivio(m_archivio, [this](const TScheda &scheda, qint64 posizione) {
        m_indice[chiaveScheda(scheda)].push_back(posizione);
        m_schede = posizione;
        return true;
    });
    if (!letto) m_dimensione = -1;
    return letto;
}

bool IndiceCodici::aggiornaCoda() {
    Archivio archivio(m_archivio);
    if (!archivio.ApriArchivio()) return false;
    const qint64 schede = archivio.conta();
    if (schede < m_schede) return costruisci();
    TScheda scheda;
    for (qint64 p = m_schede + 1; p <= schede; ++p) {
        if (!archivio.leggi(p, scheda)) return false;
        m_indice[chiaveScheda(scheda)].push_back(p);
    }
    m_schede = schede;
    return true;
}

bool IndiceCodici::verifica(const std::string &chiave, Trovate &esito) {
    esito.posizioni.clear();
    esito.schede.clear();
    const auto trovata = m_indice.find(chiave);
    if (trovata == m_indice.end()) return true;
    Archivio archivio(m_archivio);
    if (!archivio.ApriArchivio()) {
        esito.riuscito = false;
        return true;
    }
    TScheda scheda;
    for (const qint64 p : trovata->second) {
        if (!archivio.leggi(p, scheda) || chiaveScheda(scheda) != chiave) return false;
        esito.posizioni << p;
        esito.schede << scheda;
    }
    return true;
}

IndiceCodici::Trovate IndiceCodici::cerca(const QString &codice) {
    Trovate esito;
    std::string chiave;
    if (!ChiaveCodice(codice, chiave)) return esito;
    if (m_deposito) return cercaSulServer(chiave, codice);
    qint64 dimensione = 0, modifica = 0;
    const bool mosso = m_dimensione < 0 || cambiato(dimensione, modifica);
    if (mosso) {
        const bool riuscito =
            m_dimensione < 0 || dimensione < m_dimensione ? costruisci() : aggiornaCoda();
        if (!riuscito) {
            esito.riuscito = false;
            return esito;
        }
        m_dimensione = dimensione;
        m_modifica = modifica;
    }
    // A card written in place by another copy may have another code now: a
    // found card that has not, or a code not found after a change, is looked
    // for again over the whole archive.
    if (verifica(chiave, esito) && !(mosso && esito.posizioni.isEmpty())) return esito;
    if (!costruisci()) {
        esito.riuscito = false;
        return esito;
    }
    if (!verifica(chiave, esito)) esito.riuscito = false;
    return esito;
}

bool Conteggio::inizia(const QString &nome, const QString &ambito, const QList<qint64> &posizioni,
                       const QStringList &codici, QString &errore) {
    errore = NomeConteggioNonValido(nome);
    if (!errore.isEmpty()) return false;
    m_nome = nome.trimmed();
    if (QFileInfo::exists(percorso())) {
        errore = u"Esiste già un conteggio di nome «"_s + m_nome +
                 u"»: per continuarlo, sceglierlo tra i conteggi aperti."_s;
        return false;
    }
    const QDateTime adesso = QDateTime::currentDateTime();
    RigaConteggio inizio;
    inizio.quando = adesso.toOffsetFromUtc(adesso.offsetFromUtc());
    inizio.tipo = TipoRigaConteggio::Inizio;
    inizio.codice = ambito;
    inizio.quantita = posizioni.size();
    inizio.postazione = Postazione();
    inizio.giornale = segnoAdesso();
    if (inizio.giornale < 0) {
        errore = DepositoCorrente().messaggio();
        return false;
    }
    QList<RigaConteggio> righe{inizio};
    if (ArchivioSuServer()) {
        RigaConteggio archivio = inizio;
        archivio.tipo = TipoRigaConteggio::Archivio;
        archivio.codice = DescrizioneArchivio();
        archivio.quantita = 0;
        righe << archivio;
    }
    for (qsizetype i = 0; i < posizioni.size(); ++i) {
        RigaConteggio scheda = inizio;
        scheda.tipo = TipoRigaConteggio::Scheda;
        scheda.codice = codici.value(i);
        scheda.posizione = posizioni[i];
        scheda.quantita = 0;
        righe << scheda;
    }
    if (!AccodaConteggio(
            percorso(), righe, m_letto, [this](const RigaConteggio &r) { prendi(r); },
            m_danneggiate, true)) {
        errore = u"Non è stato possibile creare il file del conteggio "_s +
                 QDir::toNativeSeparators(percorso()) +
                 u". Controllare lo spazio libero e i permessi della cartella del programma."_s;
        return false;
    }
    return true;
}

bool Conteggio::apri(const QString &nome, QString &errore) {
    m_nome = nome;
    if (!QFileInfo(percorso()).isFile() ||
        !LeggiCodaConteggio(
            percorso(), m_letto, [this](const RigaConteggio &r) { prendi(r); }, m_danneggiate)) {
        errore = u"Il file del conteggio "_s + QDir::toNativeSeparators(percorso()) +
                 u" non può essere letto."_s;
        return false;
    }
    if (!m_inizio.isValid()) {
        // A start line lost to damage: the count covers every card.
        m_inizio = QFileInfo(percorso()).birthTime();
        m_ambito = u"Tutte le schede"_s;
    }
    errore = altroArchivio();
    return errore.isEmpty();
}

QString Conteggio::altroArchivio() const {
    const QString inUso = DescrizioneArchivio();
    if (m_archivio == inUso) return {};
    return u"Il conteggio «"_s + m_nome + u"» è stato iniziato sull'"_s + nomeArchivio(m_archivio) +
           u", ma ora è in uso l'"_s + nomeArchivio(inUso) +
           u". Le sue letture valgono solo per l'archivio su cui è stato iniziato: per "
           u"continuarlo rimettere in uso quell'archivio da «Archivio su server...», oppure "
           u"iniziare un nuovo conteggio."_s;
}

bool Conteggio::registra(TipoRigaConteggio tipo, const QString &codice, qint64 posizione,
                         qint64 quantita) {
    const QDateTime adesso = QDateTime::currentDateTime();
    RigaConteggio riga;
    riga.quando = adesso.toOffsetFromUtc(adesso.offsetFromUtc());
    riga.tipo = tipo;
    riga.codice = codice;
    riga.posizione = posizione;
    riga.quantita = quantita;
    riga.postazione = Postazione();
    riga.giornale = segnoAdesso();
    // Without its mark a scan would take every later movement for its own.
    if (riga.giornale < 0) return false;
    return AccodaConteggio(
        percorso(), {riga}, m_letto, [this](const RigaConteggio &r) { prendi(r); }, m_danneggiate);
}

bool Conteggio::aggiorna() {
    return LeggiCodaConteggio(
        percorso(), m_letto, [this](const RigaConteggio &r) { prendi(r); }, m_danneggiate);
}

qint64 Conteggio::contati(qint64 posizione, const QString &codice) const {
    const QString chiave = chiaveSconosciuto(codice);
    const auto c = m_perPosizione.constFind(posizione);
    if (c == m_perPosizione.cend()) return 0;
    if (chiaveSconosciuto(codiceDi(m_righe[std::size_t(c->riga)]).toString()) == chiave)
        return c->n;
    return m_altriCodici.value({posizione, chiave});
}

QStringView Conteggio::codiceDi(const Tenuta &tenuta) const {
    return QStringView(m_codici).sliced(tenuta.codiceDa, tenuta.codiceLunghezza);
}

RigaConteggio Conteggio::riga(qsizetype i) const {
    const Tenuta &t = m_righe[std::size_t(i)];
    RigaConteggio r;
    r.quando = QDateTime::fromMSecsSinceEpoch(t.quando, Qt::OffsetFromUTC, t.scarto);
    r.tipo = t.tipo;
    r.codice = codiceDi(t).toString();
    r.posizione = t.posizione;
    r.quantita = t.quantita;
    r.giornale = t.giornale;
    return r;
}

qint64 Conteggio::sconosciuti(const QString &codice) const {
    return m_perCodice.value(chiaveSconosciuto(codice));
}

void Conteggio::tieni(const RigaConteggio &riga) {
    Tenuta t;
    t.quando = riga.quando.toMSecsSinceEpoch();
    t.scarto = riga.quando.offsetFromUtc();
    t.tipo = riga.tipo;
    t.posizione = riga.posizione;
    t.quantita = riga.quantita;
    t.giornale = riga.giornale;
    t.codiceDa = m_codici.size();
    t.codiceLunghezza = qint32(riga.codice.size());
    m_codici += riga.codice;
    m_righe.push_back(t);
}

void Conteggio::prendi(const RigaConteggio &riga) {
    switch (riga.tipo) {
    case TipoRigaConteggio::Inizio:
        if (m_inizio.isValid()) return;
        m_inizio = riga.quando;
        m_ambito = riga.codice;
        m_segnoInizio = riga.giornale;
        m_tutte = riga.quantita == 0;
        return;
    case TipoRigaConteggio::Scheda:
        m_coperte << riga.posizione;
        m_tutte = false;
        tieni(riga);
        return;
    case TipoRigaConteggio::Applicato:
        m_applicato = true;
        return;
    case TipoRigaConteggio::Archivio:
        if (m_archivioLetto) return;
        m_archivioLetto = true;
        m_archivio = riga.codice;
        return;
    case TipoRigaConteggio::Lettura:
    case TipoRigaConteggio::Correzione: {
        const bool somma = riga.tipo == TipoRigaConteggio::Lettura;
        tieni(riga);
        qint64 *n = nullptr;
        if (riga.posizione > 0) {
            const auto c = m_perPosizione.find(riga.posizione);
            if (c == m_perPosizione.end()) {
                n = &m_perPosizione.insert(riga.posizione, {0, righe() - 1})->n;
            } else {
                const QString chiave = chiaveSconosciuto(riga.codice);
                n = chiaveSconosciuto(codiceDi(m_righe[std::size_t(c->riga)]).toString()) == chiave
                        ? &c->n
                        : &m_altriCodici[{riga.posizione, chiave}];
            }
        } else {
            n = &m_perCodice[chiaveSconosciuto(riga.codice)];
        }
        *n = somma ? *n + riga.quantita : riga.quantita;
        return;
    }
    }
}

void RigaDifferenza::impostaTesti(const QString &codice, const QString &nome,
                                  const QString &collocazione, const QString &testoGiacenza) {
    // A card's fields are a few dozen characters: the ends fit 16 bits.
    m_testi = codice + nome + collocazione + testoGiacenza;
    m_testi.squeeze();
    m_fine = {quint16(codice.size()), quint16(codice.size() + nome.size()),
              quint16(codice.size() + nome.size() + collocazione.size())};
}

QString RigaDifferenza::testo(int i) const {
    const qsizetype da = i == 0 ? 0 : m_fine[std::size_t(i - 1)];
    const qsizetype a = i == 3 ? m_testi.size() : m_fine[std::size_t(i)];
    return m_testi.sliced(da, a - da);
}

QString NotaConteggio(const QString &nome) {
    return u"Conteggio "_s + nome;
}

namespace {

struct Evento {
    qint64 offset;
    bool eliminazione;
    qint64 da; // Eliminazione: the position removed; Spostamento: the old position
    qint64 a;  // Spostamento: the new position
};

struct MovimentoLetto {
    qint64 offset;
    qint64 posizione;
    qint64 quantita;
};

// Where the card at `posizione` when the journal was `offset` long is now:
// 0 when a removal recorded since took it away.
qint64 segui(const std::vector<Evento> &eventi, qint64 posizione, qint64 offset) {
    auto e = std::lower_bound(eventi.begin(), eventi.end(), offset,
                              [](const Evento &ev, qint64 o) { return ev.offset < o; });
    for (; e != eventi.end(); ++e) {
        if (e->eliminazione && e->da == posizione) return 0;
        if (!e->eliminazione && e->da == posizione) posizione = e->a;
    }
    return posizione;
}

struct Conta {
    qint64 quantita = 0;
    qint64 segno = 0; // the journal's length at its last count
    QString codice;
    std::string chiave;
};

// Where the differences read the cards and the journal from, with the words
// for each failure.
struct Fonti {
    qint64 segno = 0; // the journal's mark now
    std::function<LetturaGiornale(const SceltaRiga &, const VisitaMovimento &)> giornale;
    qint64 schede = 0; // about how many cards, for room
    std::function<bool(const std::function<bool(const TScheda &, qint64)> &)> scorri;
    std::function<QString()> erroreGiornale;
    std::function<QString()> erroreArchivio;
};

Differenze calcola(const Conteggio &conteggio, const Fonti &fonti) {
    Differenze esito;
    esito.segnoGiornale = fonti.segno;
    const qint64 inizio = conteggio.segnoInizio();
    const QString notaPropria = NotaConteggio(conteggio.nome());

    // The journal since the count began: removals and moves, stock movements.
    std::vector<Evento> eventi;
    std::vector<MovimentoLetto> movimenti;
    const LetturaGiornale letta = fonti.giornale(
        [](QByteArrayView riga, char separatore) {
            const auto tipo = TipoDiRiga(riga, separatore);
            return tipo && (MovimentoDiGiacenza(*tipo) || *tipo == TipoMovimento::Eliminazione ||
                            *tipo == TipoMovimento::Spostamento);
        },
        [&](const Movimento &m, qint64 offset) {
            if (offset < inizio) return true;
            if (offset >= esito.segnoGiornale) return false;
            if (m.tipo == TipoMovimento::Eliminazione) {
                eventi.push_back({offset, true, m.posizione, 0});
            } else if (m.tipo == TipoMovimento::Spostamento) {
                bool ok = false;
                const qint64 da = m.dati.toLongLong(&ok);
                if (ok) eventi.push_back({offset, false, da, m.posizione});
            } else if (!(m.tipo == TipoMovimento::Rettifica && m.nota == notaPropria)) {
                // The count's own lines are not goods that moved: applying it
                // twice changes nothing the second time.
                movimenti.push_back({offset, m.posizione, m.quantita});
            }
            return true;
        });
    if (!letta.aperto) {
        esito.riuscito = false;
        esito.errore = fonti.erroreGiornale();
        return esito;
    }
    esito.giornaleDanneggiate = letta.danneggiate;

    // The scans, each on the card it was made on, wherever that card is now.
    std::map<qint64, Conta> contate;
    std::map<std::string, std::pair<QString, qint64>> sconosciute, eliminate;
    QSet<qint64> coperte;
    auto aggiungi = [](qint64 &n, const RigaConteggio &r) {
        n = r.tipo == TipoRigaConteggio::Lettura ? n + r.quantita : r.quantita;
    };
    auto chiaveDi = [](const QString &codice) {
        std::string chiave;
        if (!ChiaveCodice(codice, chiave)) chiave = Rifila(codice).toLower().toStdString();
        return chiave;
    };
    for (qsizetype i = 0; i < conteggio.righe(); ++i) {
        const RigaConteggio r = conteggio.riga(i);
        if (r.tipo == TipoRigaConteggio::Scheda) {
            if (const qint64 ora = segui(eventi, r.posizione, r.giornale)) coperte.insert(ora);
            continue;
        }
        const std::string chiave = chiaveDi(r.codice);
        if (r.posizione == 0) {
            auto &s = sconosciute[chiave];
            if (s.first.isEmpty()) s.first = Rifila(r.codice);
            aggiungi(s.second, r);
            continue;
        }
        const qint64 ora = segui(eventi, r.posizione, r.giornale);
        if (ora == 0) {
            auto &s = eliminate[chiave];
            if (s.first.isEmpty()) s.first = Rifila(r.codice);
            aggiungi(s.second, r);
            continue;
        }
        Conta &c = contate[ora];
        aggiungi(c.quantita, r);
        c.segno = std::max(c.segno, r.giornale);
        c.codice = Rifila(r.codice);
        c.chiave = chiave;
    }
    // What moved after each card's last count.
    std::map<qint64, qint64> mossi;
    for (const MovimentoLetto &m : movimenti) {
        const qint64 ora = segui(eventi, m.posizione, m.offset);
        const auto c = contate.find(ora);
        if (c != contate.end() && m.offset >= c->second.segno) mossi[ora] += m.quantita;
    }

    const bool tutte = conteggio.tutte();
    // Room for every line at once: a vector grown line by line holds up to
    // twice what it needs.
    const qint64 schede = fonti.schede;
    esito.righe.reserve(
        std::size_t(tutte ? schede
                          : std::min<qint64>(schede, coperte.size() + qint64(contate.size()))) +
        sconosciute.size() + eliminate.size());
    const bool letto = fonti.scorri([&](const TScheda &scheda, qint64 posizione) {
        auto c = contate.find(posizione);
        const bool coperta = tutte || coperte.contains(posizione);
        // A card that is not the one scanned there (without a journal to say
        // it moved): its scans are not added to it.
        if (c != contate.end() && chiaveScheda(scheda) != c->second.chiave) {
            auto &s = eliminate[c->second.chiave];
            if (s.first.isEmpty()) s.first = c->second.codice;
            s.second += c->second.quantita;
            contate.erase(c);
            c = contate.end();
        }
        if (c == contate.end() && !coperta) return true;
        RigaDifferenza r;
        r.posizione = posizione;
        r.impostaTesti(scheda.testo(Campo::Codice), scheda.testo(Campo::Nome),
                       scheda.testo(Campo::Collocazione), scheda.testo(Campo::Giacenza));
        r.costo = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Costo)).value_or(0);
        const auto giacenza = GiacenzaDi(scheda);
        r.giacenza = giacenza.value_or(0);
        if (c == contate.end()) {
            r.stato = RigaDifferenza::NonContata;
            r.nuova = r.giacenza;
            ++esito.nonContate;
            esito.valoreNonContate += double(r.giacenza) * r.costo;
        } else {
            r.contati = c->second.quantita;
            r.mossiDopo = mossi[posizione];
            r.nuova = r.contati + r.mossiDopo;
            if (giacenza) {
                r.differenza = r.nuova - r.giacenza;
                r.valore = double(r.differenza) * r.costo;
            } else {
                r.stato = RigaDifferenza::GiacenzaNonIntera;
                r.nuova = 0;
            }
            contate.erase(c);
        }
        esito.valorePrima += double(r.giacenza) * r.costo;
        esito.valoreDopo +=
            double(r.stato == RigaDifferenza::GiacenzaNonIntera ? r.giacenza : r.nuova) * r.costo;
        esito.righe.push_back(std::move(r));
        return true;
    });
    if (!letto) {
        esito.riuscito = false;
        esito.errore = fonti.erroreArchivio();
        return esito;
    }
    // Scans of positions past the archive's end: their cards are gone.
    for (const auto &[posizione, c] : contate) {
        auto &s = eliminate[c.chiave];
        if (s.first.isEmpty()) s.first = c.codice;
        s.second += c.quantita;
    }
    std::stable_sort(esito.righe.begin(), esito.righe.end(),
                     [](const RigaDifferenza &a, const RigaDifferenza &b) {
                         return std::abs(a.valore) > std::abs(b.valore);
                     });
    for (const auto *gruppo : {&sconosciute, &eliminate})
        for (const auto &[chiave, s] : *gruppo) {
            if (s.second == 0) continue;
            RigaDifferenza r;
            r.stato =
                gruppo == &sconosciute ? RigaDifferenza::Sconosciuta : RigaDifferenza::Eliminata;
            r.impostaTesti(s.first);
            r.contati = s.second;
            esito.righe.push_back(std::move(r));
        }
    return esito;
}

} // namespace

Differenze CalcolaDifferenze(const Conteggio &conteggio, const QString &archivio,
                             const QString &giornale, const std::function<void(qint64, qint64)> &) {
    Fonti fonti;
    fonti.segno = qMax<qint64>(0, SegnoGiornale(giornale));
    fonti.giornale = [&](const SceltaRiga &scelta, const VisitaMovimento &visita) {
        return LeggiGiornale(giornale, scelta, visita);
    };
    fonti.schede = QFileInfo(archivio).size() / TScheda::DIMENSIONE;
    fonti.scorri = [&](const std::function<bool(const TScheda &, qint64)> &visita) {
        return ScorriArchivio(archivio, visita);
    };
    fonti.erroreGiornale = [&] { return AvvisoGiornaleIlleggibile(giornale); };
    fonti.erroreArchivio = [&] { return MessaggioAccessoArchivio(archivio); };
    return calcola(conteggio, fonti);
}

bool ScorriSchede(Deposito &deposito, const std::function<bool(const TScheda &, qint64)> &visita) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return ScorriArchivio(file->archivio(), visita);
    return deposito.scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        for (qint64 i = 0; i < quante; ++i)
            if (!visita(schede[i], prima + i)) return false;
        return true;
    });
}

namespace {

// Why a count cannot be read against `deposito` (empty when it can): the
// marks of a count begun on another archive tell nothing of this one.
QString altroDeposito(const Conteggio &conteggio, Deposito &deposito) {
    const bool suFile = dynamic_cast<DepositoFile *>(&deposito) != nullptr;
    if (conteggio.archivio().isEmpty() == suFile) return conteggio.altroArchivio();
    return u"Il conteggio «"_s + conteggio.nome() + u"» è stato iniziato sull'"_s +
           nomeArchivio(conteggio.archivio()) +
           u" e non può essere confrontato con un altro archivio."_s;
}

} // namespace

Differenze CalcolaDifferenze(const Conteggio &conteggio, Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito);
        file && conteggio.archivio().isEmpty())
        return CalcolaDifferenze(conteggio, file->archivio(), file->giornale());
    Differenze esito;
    esito.errore = altroDeposito(conteggio, deposito);
    if (!esito.errore.isEmpty()) {
        esito.riuscito = false;
        return esito;
    }
    Fonti fonti;
    fonti.segno = deposito.segnoGiornale();
    if (fonti.segno < 0) {
        esito.riuscito = false;
        esito.errore = deposito.messaggio();
        return esito;
    }
    // Only the rows since the count began, and their rule applied here as
    // the file's reader applies it.
    fonti.giornale = [&](const SceltaRiga &scelta, const VisitaMovimento &visita) {
        LettoreGiornale lettore(scelta, visita);
        const bool letto = deposito.righeDopo(
            conteggio.segnoInizio(), [&](QByteArrayView riga, char separatore, qint64 numero) {
                lettore.separatore = separatore;
                return lettore(GenereRiga::Movimento, riga, numero);
            });
        lettore.esito.aperto = letto;
        return lettore.esito;
    };
    fonti.schede = std::max<qint64>(0, deposito.conta());
    fonti.scorri = [&](const std::function<bool(const TScheda &, qint64)> &visita) {
        return ScorriSchede(deposito, visita);
    };
    fonti.erroreGiornale = [&] { return deposito.messaggio(); };
    fonti.erroreArchivio = [&] { return deposito.messaggio(); };
    return calcola(conteggio, fonti);
}

namespace {

// Only what each change needs: the line of the differences it comes from.
struct Cambio {
    qint64 posizione;
    const RigaDifferenza *riga;
    bool azzera;
};

// The cards to change, in position order; false, with the card named in
// `esito`, when a counted stock does not fit its field.
bool scegliCambi(const Differenze &differenze, bool azzera, EsitoApplicazione &esito,
                 std::vector<Cambio> &cambi, std::vector<qint64> &posizioni) {
    for (const RigaDifferenza &r : differenze.righe) {
        const bool contata = r.stato == RigaDifferenza::Contata && r.differenza != 0;
        const bool daAzzerare = azzera && r.stato == RigaDifferenza::NonContata &&
                                r.giacenza != 0 && LeggiGiacenza(r.testoGiacenza());
        if (!contata && !daAzzerare) continue;
        if (contata && !GiacenzaArchiviabile(r.nuova)) {
            esito.esito = EsitoApplicazione::FuoriCampo;
            esito.scheda =
                r.codice().isEmpty() ? u"n. "_s + QString::number(r.posizione) : r.codice();
            return false;
        }
        cambi.push_back({r.posizione, &r, !contata});
    }
    std::sort(cambi.begin(), cambi.end(),
              [](const Cambio &a, const Cambio &b) { return a.posizione < b.posizione; });
    posizioni.reserve(cambi.size());
    for (const Cambio &c : cambi)
        posizioni.push_back(c.posizione);
    return true;
}

// A line that moves cards: the positions of the differences mean other
// cards after it.
bool rigaCheSposta(QByteArrayView riga, char separatore) {
    return RigaDiSpostamento(riga, separatore) ||
           TipoDiRiga(riga, separatore) == TipoMovimento::Eliminazione;
}

// The counted stock into the card as stored now; its "Rettifica" line when
// the stock changes. Movements since the differences were read change the
// stock and the counted stock alike: the difference stays. False gives the
// change up: another card there (`cambiato`) or a stock that does not fit
// (`fuoriCampo`, the card named in `esito`).
bool cambiaScheda(const Cambio &c, const Movimento &modello, TScheda &scheda,
                  std::optional<Movimento> &riga, bool &cambiato, bool &fuoriCampo,
                  EsitoApplicazione &esito) {
    riga.reset();
    const auto giacenza = GiacenzaDi(scheda);
    if (scheda.testo(Campo::Codice) != c.riga->codice() || !giacenza) {
        cambiato = true;
        return false;
    }
    const qint64 nuova = c.azzera ? 0 : *giacenza + c.riga->differenza;
    if (!GiacenzaArchiviabile(nuova)) {
        fuoriCampo = true;
        esito.scheda = c.riga->codice();
        return false;
    }
    scheda.impostaTesto(Campo::Giacenza, QString::number(nuova));
    if (nuova != *giacenza)
        riga = MovimentoDaModello(modello, scheda, c.posizione, nuova - *giacenza, *giacenza);
    return true;
}

} // namespace

EsitoApplicazione ApplicaConteggio(Conteggio &conteggio, const Differenze &differenze, bool azzera,
                                   const QString &archivio, const QString &giornale) {
    EsitoApplicazione esito;
    std::vector<Cambio> cambi;
    std::vector<qint64> posizioni;
    if (!scegliCambi(differenze, azzera, esito, cambi, posizioni)) return esito;

    // The journal's lines are written out as each card is, one buffer for
    // them all; one time, workstation and note for every line.
    const Movimento modello = MovimentoScheda(TScheda(), 0, TipoMovimento::Rettifica, 0, 0,
                                              NotaConteggio(conteggio.nome()));
    TestoMovimenti righe;
    bool registrate = false;
    bool controllato = false;
    bool cambiato = false;
    bool fuoriCampo = false;
    const Conclusione conclusione = ConclusioneDelTesto(archivio, giornale, righe, registrate);
    const auto modifica = [&](qint64 i, TScheda &scheda) {
        if (!controllato) {
            // Under the archive's lock: a removal since the differences were
            // read moved cards, and the positions mean other cards now.
            controllato = true;
            LeggiGiornale(giornale, rigaCheSposta, [&](const Movimento &, qint64 offset) {
                if (offset >= differenze.segnoGiornale) cambiato = true;
                return !cambiato;
            });
        }
        if (cambiato) return false;
        // Each pass over the cards (the intent record's, then the writing's)
        // goes in order from the first: the lines are those of the last one.
        if (i == 0) righe.svuota();
        std::optional<Movimento> riga;
        if (!cambiaScheda(cambi[std::size_t(i)], modello, scheda, riga, cambiato, fuoriCampo,
                          esito))
            return false;
        if (riga) righe.aggiungi(*riga);
        return true;
    };
    if (cambi.empty()) {
        esito.esito = EsitoApplicazione::Niente;
    } else {
        Archivio file(archivio);
        const bool scritto =
            file.ApriArchivio() && file.scriviInsieme(posizioni, modifica, 0, {}, &conclusione) > 0;
        const int errore = file.errore();
        file.chiudi();
        if (!scritto) {
            esito.esito = fuoriCampo                     ? EsitoApplicazione::FuoriCampo
                          : cambiato || errore == ESTALE ? EsitoApplicazione::Cambiato
                          : errore == ECANCELED          ? EsitoApplicazione::GiornaleNonScritto
                                                         : EsitoApplicazione::ErroreArchivio;
            return esito;
        }
        esito.esito = EsitoApplicazione::Fatto;
        esito.cambiate = righe.righe();
    }
    // Said in the count's file, for whoever opens it next; the stocks are
    // already right if this line is lost.
    conteggio.registra(TipoRigaConteggio::Applicato, QString(), 0, esito.cambiate);
    return esito;
}

EsitoApplicazione ApplicaConteggio(Conteggio &conteggio, const Differenze &differenze, bool azzera,
                                   Deposito &deposito) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito);
        file && conteggio.archivio().isEmpty())
        return ApplicaConteggio(conteggio, differenze, azzera, file->archivio(), file->giornale());
    EsitoApplicazione esito;
    esito.errore = altroDeposito(conteggio, deposito);
    if (!esito.errore.isEmpty()) {
        esito.esito = EsitoApplicazione::ErroreArchivio;
        return esito;
    }
    std::vector<Cambio> cambi;
    std::vector<qint64> posizioni;
    if (!scegliCambi(differenze, azzera, esito, cambi, posizioni)) return esito;
    if (cambi.empty()) {
        esito.esito = EsitoApplicazione::Niente;
        conteggio.registra(TipoRigaConteggio::Applicato, QString(), 0, 0);
        return esito;
    }
    const Movimento modello = MovimentoScheda(TScheda(), 0, TipoMovimento::Rettifica, 0, 0,
                                              NotaConteggio(conteggio.nome()));
    QList<Movimento> righe;
    bool controllato = false, cambiato = false, fuoriCampo = false;
    QString guasto;
    const auto modifica = [&](qint64 i, TScheda &scheda) {
        if (!controllato) {
            // Inside the transaction, under the server's lock on positions:
            // a removal since the differences were read moved cards.
            controllato = true;
            const bool letto = deposito.righeDopo(
                differenze.segnoGiornale, [&](QByteArrayView riga, char separatore, qint64) {
                    cambiato = rigaCheSposta(riga, separatore);
                    return !cambiato;
                });
            if (!letto) {
                guasto = deposito.messaggio();
                return false;
            }
        }
        if (cambiato) return false;
        if (i == 0) righe.clear();
        std::optional<Movimento> riga;
        if (!cambiaScheda(cambi[std::size_t(i)], modello, scheda, riga, cambiato, fuoriCampo,
                          esito))
            return false;
        if (riga) righe << *riga;
        return true;
    };
    if (deposito.insiemeConRighe(posizioni, modifica, 0, {}, [&](qint64) { return righe; }) < 0) {
        esito.esito = fuoriCampo ? EsitoApplicazione::FuoriCampo
                      : cambiato ? EsitoApplicazione::Cambiato
                                 : EsitoApplicazione::ErroreArchivio;
        esito.errore = guasto.isEmpty() ? deposito.messaggio() : guasto;
        return esito;
    }
    esito.esito = EsitoApplicazione::Fatto;
    esito.cambiate = righe.size();
    // Said in the count's file, as on the folder.
    conteggio.registra(TipoRigaConteggio::Applicato, QString(), 0, esito.cambiate);
    return esito;
}

bool ScriviCsvDifferenze(QIODevice *destinazione, const Conteggio &conteggio,
                         const Differenze &differenze) {
    QByteArray testo = BOM.toByteArray();
    testo += "Codice;Nome;Collocazione in magazzino;Costo unitario;Giacenza;Contati;Movimenti "
             "dopo la conta;Nuova giacenza;Differenza;Valore della differenza;Stato\r\n";
    for (const RigaDifferenza &r : differenze.righe) {
        static const char *const STATI[] = {"Contata", "Non contata", "Scheda eliminata",
                                            "Codice sconosciuto", "Giacenza non intera"};
        const bool scheda =
            r.stato != RigaDifferenza::Sconosciuta && r.stato != RigaDifferenza::Eliminata;
        testo += CampoGiornale(r.codice()) + ';' + CampoGiornale(r.nome()) + ';' +
                 CampoGiornale(r.collocazione()) + ';';
        if (scheda) {
            testo +=
                ImportoSemplice(r.costo).toUtf8() + ';' + CampoGiornale(r.testoGiacenza()) + ';';
            testo += (r.stato == RigaDifferenza::NonContata ? QByteArray()
                                                            : QByteArray::number(r.contati)) +
                     ';' + QByteArray::number(r.mossiDopo) + ';' + QByteArray::number(r.nuova) +
                     ';' + QByteArray::number(r.differenza) + ';' +
                     ImportoSemplice(r.valore).toUtf8() + ';';
        } else {
            testo += ";;" + QByteArray::number(r.contati) + ";;;;;";
        }
        testo += STATI[r.stato];
        testo += "\r\n";
    }
    testo += "\r\nConteggio;" + CampoGiornale(conteggio.nome()) + "\r\n";
    testo += "Valore prima;" + ImportoSemplice(differenze.valorePrima).toUtf8() + "\r\n";
    testo += "Valore dopo;" + ImportoSemplice(differenze.valoreDopo).toUtf8() + "\r\n";
    testo += "Differenza;" +
             ImportoSemplice(differenze.valoreDopo - differenze.valorePrima).toUtf8() + "\r\n";
    testo += "Schede non contate;" + QByteArray::number(differenze.nonContate) + ';' +
             ImportoSemplice(differenze.valoreNonContate).toUtf8() + "\r\n";
    return destinazione->write(testo) == testo.size();
}
