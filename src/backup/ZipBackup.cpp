#include "backup/ZipBackup.h"

#include "access/Produttore.h"
#include "archive/Archivio.h"
#include "archive/BloccoFile.h"
#include "archive/FileDiretto.h"
#include "archive/FileIntero.h"
#include "archive/IntentoArchivio.h"
#include "archive/TScheda.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char ARCHIVIO[] = "Magazzino.pro";
constexpr char PASSWORD[] = "unins000.dll";
constexpr char MOVIMENTI[] = "Movimenti.csv";
constexpr char NEGOZIO[] = "Negozio.txt";
// The invoice lines' remembered cards.
constexpr char ABBINAMENTI[] = "AbbinamentiFatture.json";
constexpr char ALLEGATI[] = "Documenti_Allegati";
// Folders kept whole with their subfolders: the attachments, the photos of
// removed cards (the journal names them), the orders sent to suppliers and
// the stock counts and the invoices received.
constexpr const char *CARTELLE[] = {ALLEGATI, "Schede eliminate", "Ordini", "Conteggi", "Fatture"};
constexpr char MANIFESTO[] = "Manifesto.json";
constexpr qint64 MANIFESTO_MASSIMO = 64 * 1024 * 1024;
constexpr qint64 PASSO_AVANZAMENTO = 4 * 1024 * 1024;
// A member's size beyond any disk: the manifest is not believed.
constexpr qint64 DIMENSIONE_MASSIMA = qint64(1) << 50;
// libzip would take the slowest level; the usual one saves almost as much.
constexpr zip_uint32_t LIVELLO_COMPRESSIONE = 6;

QByteArray prefissoAllegati() {
    return QByteArray(ALLEGATI) + '/';
}

bool cartellaDati(const QByteArray &nome) {
    for (const char *cartella : CARTELLE)
        if (nome == cartella) return true;
    return false;
}

QString messaggioDanneggiato() {
    return u"Attenzione: il file scelto è danneggiato o incompleto e non può essere usato."_s;
}
QString messaggioEstraneo() {
    return u"Attenzione: il file scelto non è un backup di Quadrelo."_s;
}
QString messaggioNomi() {
    return u"Attenzione: il backup contiene nomi di file che non appartengono ai dati del "
           u"programma o che porterebbero fuori dalla sua cartella. Il file non può essere "
           u"usato."_s;
}

QString messaggioSpazio(qint64 serve, qint64 libero) {
    return u"Attenzione: il backup, una volta estratto, occupa %1, ma sul disco della cartella "
           u"del programma sono liberi solo %2. Il ripristino non è stato eseguito e i dati "
           u"attuali non sono stati toccati: liberare spazio sul disco e riprovare."_s.arg(
               Dimensione(serve), Dimensione(libero));
}

bool eFoto(const QByteArray &nome) {
    if (nome.size() < 5 || nome.size() > 23 || !nome.endsWith(".jpg")) return false;
    if (nome[0] < '1' || nome[0] > '9') return false;
    for (qsizetype i = 1; i < nome.size() - 4; ++i)
        if (nome[i] < '0' || nome[i] > '9') return false;
    return true;
}

bool memorizzato(const QByteArray &nome) {
    const QByteArray minuscolo = nome.toLower();
    return minuscolo.endsWith(".jpg") || minuscolo.endsWith(".jpeg") || minuscolo.endsWith(".pdf");
}

quint32 crcIniziale() {
    return quint32(crc32(0L, nullptr, 0));
}
quint32 aggiornaCrc(quint32 crc, const void *dati, qint64 quanti) {
    return quint32(crc32(uLong(crc), static_cast<const Bytef *>(dati), uInt(quanti)));
}

// ---------------------------------------------------------------------------
// What the program folder holds

struct Voce {
    QByteArray nome; // member name; folders without the closing slash
    bool cartella = false;
    qint64 dimensione = 0;
};

bool fileRegolare(const QByteArray &percorso, qint64 *dimensione = nullptr) {
    struct stat info {};
    if (::lstat(percorso.constData(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (dimensione) *dimensione = qint64(info.st_size);
    return true;
}

bool cartellaVera(const QByteArray &percorso) {
    struct stat info {};
    return ::lstat(percorso.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Names in a folder, as bytes, sorted; links and special files are left out.
QList<QByteArray> nomiIn(const QByteArray &cartella) {
    QList<QByteArray> nomi;
    DIR *d = ::opendir(cartella.constData());
    if (!d) return nomi;
    while (const dirent *e = ::readdir(d)) {
        const QByteArray nome(e->d_name);
        if (nome != "." && nome != "..") nomi << nome;
    }
    ::closedir(d);
    std::sort(nomi.begin(), nomi.end());
    return nomi;
}

void aggiungiCartella(const QByteArray &base, const QByteArray &relativo, std::vector<Voce> &voci) {
    voci.push_back({relativo, true, 0});
    for (const QByteArray &nome : nomiIn(base + '/' + relativo)) {
        const QByteArray figlio = relativo + '/' + nome;
        qint64 dimensione = 0;
        if (fileRegolare(base + '/' + figlio, &dimensione))
            voci.push_back({figlio, false, dimensione});
        else if (cartellaVera(base + '/' + figlio))
            aggiungiCartella(base, figlio, voci);
    }
}

// The archive first: it is read under its lock while nothing else is held.
std::vector<Voce> elencoDati(const QByteArray &base) {
    std::vector<Voce> voci;
    for (const char *nome : {ARCHIVIO, PASSWORD, MOVIMENTI, NEGOZIO, ABBINAMENTI}) {
        qint64 dimensione = 0;
        if (fileRegolare(base + '/' + nome, &dimensione))
            voci.push_back({QByteArray(nome), false, dimensione});
    }
    QList<QByteArray> foto;
    for (const QByteArray &nome : nomiIn(base))
        if (eFoto(nome) && fileRegolare(base + '/' + nome)) foto << nome;
    std::sort(foto.begin(), foto.end(), [](const QByteArray &a, const QByteArray &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const QByteArray &nome : foto) {
        qint64 dimensione = 0;
        fileRegolare(base + '/' + nome, &dimensione);
        voci.push_back({nome, false, dimensione});
    }
    for (const char *cartella : CARTELLE)
        if (cartellaVera(base + '/' + cartella)) aggiungiCartella(base, QByteArray(cartella), voci);
    return voci;
}

// ---------------------------------------------------------------------------
// Writing

struct Registrato {
    QByteArray nome;
    qint64 dimensione;
    quint32 crc;
};

struct StatoScrittura {
    QByteArray base;
    QDateTime ora;
    std::vector<Registrato> registrati;
    qint64 schede = 0;
    qint64 fatti = 0;
    qint64 totale = 0;
    qint64 prossimo = 0;
    AvanzamentoBackup avanza;
    QString problema;

    void avanzati(qint64 n) {
        fatti += n;
        if (avanza && fatti >= prossimo) {
            prossimo = fatti + PASSO_AVANZAMENTO;
            avanza(fatti, totale);
        }
    }
};

QString nomePerManifesto(const QByteArray &nome) {
    return QString::fromLatin1(nome.toPercentEncoding("/()_-. "));
}

// One member as libzip reads it: a file of the program folder, read once, its
// CRC taken on the way; or the manifest, made when its turn comes, after all
// the others.
class Sorgente {
  public:
    enum class Genere { File, Bloccato, Manifesto };
    Sorgente(StatoScrittura *stato, QByteArray nome, Genere genere)
        : m_stato(stato), m_nome(std::move(nome)), m_genere(genere) {
        zip_error_init(&m_errore);
    }
    ~Sorgente() {
        chiudi();
        zip_error_fini(&m_errore);
    }

    static zip_int64_t richiamo(void *dati, void *buffer, zip_uint64_t quanti,
                                zip_source_cmd_t comando) {
        auto *s = static_cast<Sorgente *>(dati);
        switch (comando) {
        case ZIP_SOURCE_OPEN:
            return s->apri() ? 0 : -1;
        case ZIP_SOURCE_READ:
            return s->leggi(static_cast<char *>(buffer), qint64(quanti));
        case ZIP_SOURCE_CLOSE:
            s->chiudi();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(buffer);
            zip_stat_init(st);
            st->mtime = s->m_stato->ora.toSecsSinceEpoch();
            st->valid |= ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->m_errore, buffer, quanti);
        case ZIP_SOURCE_FREE:
            delete s;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&s->m_errore, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

  private:
    bool apri() {
        m_letti = 0;
        m_crc = crcIniziale();
        if (m_genere == Genere::Manifesto) {
            m_dati = manifesto();
            return true;
        }
        const QByteArray percorso = m_stato->base + '/' + m_nome;
        if (m_nome == ARCHIVIO) {
            // Opening it the program's way first undoes an operation a crash
            // cut short, so the backup never holds half of one.
            Archivio archivio(QFile::decodeName(percorso));
            archivio.ApriArchivio();
        }
        do {
            m_fd = ::open(percorso.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0) {
            zip_error_set(&m_errore, ZIP_ER_OPEN, errno);
            if (m_stato->problema.isEmpty())
                m_stato->problema = u"Attenzione: il file %1 della cartella del programma non "
                                    u"può essere letto."_s.arg(QFile::decodeName(m_nome));
            return false;
        }
        m_limite = -1;
        if (m_genere == Genere::Bloccato) {
            // Appends by other copies wait until this member is read; only
            // whole records are taken.
            m_blocco.emplace(m_fd, F_RDLCK, 0, 0);
            struct stat info {};
            if (::fstat(m_fd, &info) != 0) {
                zip_error_set(&m_errore, ZIP_ER_READ, errno);
                return false;
            }
            m_limite = qint64(info.st_size);
            if (m_nome == ARCHIVIO) {
                m_limite -= m_limite % TScheda::DIMENSIONE;
                m_stato->schede = m_limite / TScheda::DIMENSIONE;
            }
        }
        return true;
    }

    zip_int64_t leggi(char *buffer, qint64 quanti) {
        if (m_genere == Genere::Manifesto) {
            const qint64 n = qMin(quanti, qint64(m_dati.size()) - m_letti);
            std::memcpy(buffer, m_dati.constData() + m_letti, std::size_t(n));
            m_letti += n;
            return n;
        }
        if (m_limite >= 0) quanti = qMin(quanti, m_limite - m_letti);
        if (quanti <= 0) return 0;
        ssize_t n;
        do {
            n = ::read(m_fd, buffer, std::size_t(quanti));
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            zip_error_set(&m_errore, ZIP_ER_READ, errno);
            if (m_stato->problema.isEmpty())
                m_stato->problema = u"Attenzione: il file %1 della cartella del programma non "
                                    u"può essere letto."_s.arg(QFile::decodeName(m_nome));
            return -1;
        }
        m_crc = aggiornaCrc(m_crc, buffer, n);
        m_letti += n;
        m_stato->avanzati(n);
        return n;
    }

    void chiudi() {
        m_blocco.reset();
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
            if (!m_registrato) m_stato->registrati.push_back({m_nome, m_letti, m_crc});
            m_registrato = true;
        }
    }

    QByteArray manifesto() const {
        QJsonArray membri;
        for (const Registrato &r : m_stato->registrati)
            membri.append(QJsonObject{
                {u"nome"_s, nomePerManifesto(r.nome)},
                {u"dimensione"_s, double(r.dimensione)},
                {u"crc"_s, u"%1"_s.arg(r.crc, 8, 16, QLatin1Char('0'))},
            });
        const QJsonObject radice{
            {u"programma"_s, u"Quadrelo"_s},
            {u"versione"_s, Produttore::Versione()},
            {u"data"_s, m_stato->ora.toString(Qt::ISODate)},
            {u"schede"_s, double(m_stato->schede)},
            {u"membri"_s, membri},
        };
        return QJsonDocument(radice).toJson();
    }

    StatoScrittura *m_stato;
    QByteArray m_nome;
    Genere m_genere;
    zip_error_t m_errore;
    std::optional<Blocco> m_blocco; // on the whole file, while it is read
    int m_fd = -1;
    qint64 m_limite = -1;
    qint64 m_letti = 0;
    quint32 m_crc = 0;
    bool m_registrato = false;
    QByteArray m_dati;
};

bool aggiungi(zip_t *za, StatoScrittura *stato, const QByteArray &nome, Sorgente::Genere genere) {
    auto *sorgente = new Sorgente(stato, nome, genere);
    zip_source_t *zs = zip_source_function(za, &Sorgente::richiamo, sorgente);
    if (!zs) {
        delete sorgente;
        return false;
    }
    const zip_int64_t indice = zip_file_add(za, nome.constData(), zs, ZIP_FL_ENC_GUESS);
    if (indice < 0) {
        zip_source_free(zs);
        return false;
    }
    return zip_set_file_compression(za, zip_uint64_t(indice),
                                    memorizzato(nome) ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                    memorizzato(nome) ? 0 : LIVELLO_COMPRESSIONE) == 0;
}

QString messaggioScrittura(int sistema, const QString &dettaglio) {
    if (sistema == ENOSPC || sistema == EFBIG || sistema == EDQUOT)
        return u"Attenzione: il backup non è stato eseguito perché lo spazio nella cartella dei "
               u"backup è esaurito. Non è rimasto nessun file di backup incompleto e i dati del "
               u"programma non sono stati toccati."_s;
    return u"Attenzione: il backup non è stato eseguito (%1). Non è rimasto nessun file di "
           u"backup incompleto e i dati del programma non sono stati toccati."_s.arg(dettaglio);
}

// ---------------------------------------------------------------------------
// Reading and checking

class Estrattore {
  public:
    virtual ~Estrattore() = default;
    virtual bool cartella(const QByteArray &nome) = 0;
    virtual bool inizio(const QByteArray &nome) = 0;
    virtual bool dati(const char *dati, qint64 quanti) = 0;
    virtual bool fine() = 0;
    // What went wrong, for the user.
    virtual QString problema() const = 0;
};

struct Chiusura {
    void operator()(zip_t *za) const { zip_discard(za); }
};

// `spazio`: the free bytes where it is going (-1: not asked).
ContenutoBackup scorriBackup(const QString &percorso, const AvanzamentoBackup &avanza,
                             Estrattore *estrai, qint64 spazio = -1) {
    ContenutoBackup contenuto;
    auto rifiuta = [&contenuto](const QString &messaggio) {
        contenuto.messaggio = messaggio;
        return contenuto;
    };
    int errore = 0;
    std::unique_ptr<zip_t, Chiusura> za(
        zip_open(QFile::encodeName(percorso).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!za) {
        if (errore == ZIP_ER_OPEN || errore == ZIP_ER_NOENT || errore == ZIP_ER_READ)
            return rifiuta(u"Attenzione: il file %1 non può essere letto."_s.arg(percorso));
        return rifiuta(messaggioDanneggiato());
    }

    struct Membro {
        zip_uint64_t indice;
        QByteArray nome;
        bool cartella;
    };
    std::vector<Membro> membri;
    zip_int64_t indiceManifesto = -1;
    const zip_int64_t numero = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < numero; ++i) {
        const char *grezzo = zip_get_name(za.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (!grezzo) return rifiuta(messaggioDanneggiato());
        QByteArray nome(grezzo);
        if (nome == MANIFESTO) indiceManifesto = i;
        const bool cartella = nome.endsWith('/');
        if (cartella) nome.chop(1);
        membri.push_back({zip_uint64_t(i), nome, cartella});
    }
    if (indiceManifesto < 0) return rifiuta(messaggioEstraneo());

    QSet<QByteArray> visti;
    for (const Membro &m : membri) {
        zip_uint8_t sistema = 0;
        zip_uint32_t attributi = 0;
        if (zip_file_get_external_attributes(za.get(), m.indice, 0, &sistema, &attributi) != 0)
            return rifiuta(messaggioDanneggiato());
        const mode_t modo = mode_t(attributi >> 16);
        const bool speciale =
            sistema == ZIP_OPSYS_UNIX && (modo & S_IFMT) != 0 && !S_ISREG(modo) && !S_ISDIR(modo);
        // A folder only where folders are kept, and no file under a folder's name.
        const bool ammesso =
            m.cartella ? m.nome.contains('/') || cartellaDati(m.nome) : !cartellaDati(m.nome);
        if (speciale || !ammesso || !NomeMembroAmmesso(m.nome) || visti.contains(m.nome))
            return rifiuta(messaggioNomi());
        visti.insert(m.nome);
    }

    // The manifest.
    zip_stat_t st;
    if (zip_stat_index(za.get(), zip_uint64_t(indiceManifesto), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE) || st.size > zip_uint64_t(MANIFESTO_MASSIMO))
        return rifiuta(messaggioEstraneo());
    QByteArray testo(qsizetype(st.size), '\0');
    {
        zip_file_t *f = zip_fopen_index(za.get(), zip_uint64_t(indiceManifesto), 0);
        if (!f) return rifiuta(messaggioDanneggiato());
        const zip_int64_t letti = zip_fread(f, testo.data(), zip_uint64_t(testo.size()));
        zip_fclose(f);
        if (letti != zip_int64_t(testo.size())) return rifiuta(messaggioDanneggiato());
    }
    const QJsonObject radice = QJsonDocument::fromJson(testo).object();
    if (radice.value(u"programma"_s).toString() != u"Quadrelo"_s ||
        !radice.value(u"membri"_s).isArray())
        return rifiuta(messaggioEstraneo());
    struct Atteso {
        qint64 dimensione;
        quint32 crc;
    };
    std::map<QByteArray, Atteso> attesi;
    qint64 totale = 0;
    for (const QJsonValue &v : radice.value(u"membri"_s).toArray()) {
        const QJsonObject o = v.toObject();
        bool ok = false;
        const quint32 crc = o.value(u"crc"_s).toString().toUInt(&ok, 16);
        const qint64 dimensione = qint64(o.value(u"dimensione"_s).toDouble(-1));
        if (!ok || dimensione < 0 || dimensione > DIMENSIONE_MASSIMA)
            return rifiuta(messaggioDanneggiato());
        attesi[QByteArray::fromPercentEncoding(o.value(u"nome"_s).toString().toLatin1())] = {
            dimensione, crc};
        totale += dimensione;
    }
    contenuto.data = QDateTime::fromString(radice.value(u"data"_s).toString(), Qt::ISODate);
    contenuto.versione = radice.value(u"versione"_s).toString();
    contenuto.schede = qint64(radice.value(u"schede"_s).toDouble(-1));
    qsizetype file = 0;
    for (const Membro &m : membri)
        if (!m.cartella && m.indice != zip_uint64_t(indiceManifesto)) {
            if (!attesi.count(m.nome)) return rifiuta(messaggioDanneggiato());
            ++file;
        }
    if (file != qsizetype(attesi.size())) return rifiuta(messaggioDanneggiato());
    if (!attesi.count(QByteArray(ARCHIVIO)) && contenuto.schede != 0)
        return rifiuta(messaggioDanneggiato());
    contenuto.dimensione = totale;
    // Refused before a byte is inflated: a small zip may hold gigabytes.
    if (!SpazioSufficiente(totale, spazio)) return rifiuta(messaggioSpazio(totale, spazio));

    // Every member read whole: libzip checks its CRC, and so does the manifest.
    std::vector<char> buffer(1 << 20);
    qint64 fatti = 0;
    qint64 prossimo = 0;
    for (const Membro &m : membri) {
        if (m.indice == zip_uint64_t(indiceManifesto)) continue;
        if (m.cartella) {
            if (estrai && !estrai->cartella(m.nome)) return rifiuta(estrai->problema());
            continue;
        }
        const Atteso &atteso = attesi[m.nome];
        zip_file_t *f = zip_fopen_index(za.get(), m.indice, 0);
        if (!f) return rifiuta(messaggioDanneggiato());
        if (estrai && !estrai->inizio(m.nome)) {
            zip_fclose(f);
            return rifiuta(estrai->problema());
        }
        quint32 crc = crcIniziale();
        qint64 dimensione = 0;
        zip_int64_t n;
        bool scritto = true;
        while ((n = zip_fread(f, buffer.data(), buffer.size())) > 0) {
            crc = aggiornaCrc(crc, buffer.data(), n);
            dimensione += n;
            if (dimensione > atteso.dimensione) break;
            if (estrai && !estrai->dati(buffer.data(), n)) {
                scritto = false;
                break;
            }
            fatti += n;
            if (avanza && fatti >= prossimo) {
                prossimo = fatti + PASSO_AVANZAMENTO;
                avanza(fatti, totale);
            }
        }
        zip_fclose(f);
        if (estrai && (!estrai->fine() || !scritto)) return rifiuta(estrai->problema());
        if (n < 0 || dimensione != atteso.dimensione || crc != atteso.crc)
            return rifiuta(messaggioDanneggiato());
        if (m.nome == ARCHIVIO && (dimensione % TScheda::DIMENSIONE != 0 ||
                                   dimensione / TScheda::DIMENSIONE != contenuto.schede))
            return rifiuta(messaggioDanneggiato());
        if (eFoto(m.nome)) ++contenuto.foto;
        if (m.nome.startsWith(prefissoAllegati())) ++contenuto.allegati;
    }
    if (avanza) avanza(totale, totale);
    contenuto.valido = true;
    return contenuto;
}

// Writes the members into a new folder, which is known to hold nothing else:
// no name can follow a link or climb out of it.
class EstrattoreCartella final : public Estrattore {
  public:
    explicit EstrattoreCartella(int cartella) : m_cartella(cartella) {}
    ~EstrattoreCartella() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool cartella(const QByteArray &nome) override { return creaCartelle(nome); }
    bool inizio(const QByteArray &nome) override {
        const qsizetype barra = nome.lastIndexOf('/');
        if (barra > 0 && !creaCartelle(nome.left(barra))) return false;
        do {
            m_fd = ::openat(m_cartella, nome.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (m_fd < 0 && errno == EINTR);
        return m_fd >= 0 || fallito();
    }
    bool dati(const char *dati, qint64 quanti) override {
        while (quanti > 0) {
            const ssize_t n = ::write(m_fd, dati, std::size_t(quanti));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fallito();
            dati += n;
            quanti -= n;
        }
        return true;
    }
    bool fine() override {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 || fallito();
    }
    QString problema() const override {
        if (m_errno == ENOSPC || m_errno == EFBIG || m_errno == EDQUOT)
            return u"Attenzione: il ripristino non è stato eseguito perché lo spazio sul disco è "
                   u"esaurito. I dati attuali non sono stati toccati."_s;
        return u"Attenzione: il ripristino non è stato eseguito: non è possibile scrivere i "
               u"file estratti (%1). I dati attuali non sono stati toccati."_s.arg(
                   QString::fromLocal8Bit(std::strerror(m_errno)));
    }

  private:
    bool fallito() {
        m_errno = errno ? errno : EIO;
        return false;
    }
    bool creaCartelle(const QByteArray &relativo) {
        qsizetype da = 0;
        while (da <= relativo.size()) {
            qsizetype barra = relativo.indexOf('/', da);
            if (barra < 0) barra = relativo.size();
            if (::mkdirat(m_cartella, relativo.left(barra).constData(), 0777) != 0 &&
                errno != EEXIST)
                return fallito();
            da = barra + 1;
        }
        return true;
    }

    int m_cartella;
    int m_fd = -1;
    int m_errno = 0;
};

QString nuovaCartellaAccanto(const QString &genitore, const QString &prefisso) {
    QByteArray modello = QFile::encodeName(QDir(genitore).filePath(prefisso + u"_XXXXXX"_s));
    if (!::mkdtemp(modello.data())) return QString();
    return QFile::decodeName(modello);
}

dev_t dispositivo(const QString &percorso) {
    struct stat info {};
    return ::stat(QFile::encodeName(percorso).constData(), &info) == 0 ? info.st_dev : dev_t(-1);
}

bool rinomina(const QByteArray &da, const QByteArray &a) {
    return ::rename(da.constData(), a.constData()) == 0;
}

bool esiste(const QByteArray &percorso) {
    struct stat info {};
    return ::lstat(percorso.constData(), &info) == 0;
}

std::function<void()> &passoRipristino() {
    static std::function<void()> passo;
    return passo;
}
void passo() {
    if (passoRipristino()) passoRipristino()();
}

std::function<qint64(const QString &)> &spazioFinto() {
    static std::function<qint64(const QString &)> spazio;
    return spazio;
}

// A lock on a folder while this process works in it. flock goes with the
// process however it ends, so a lock found free means nobody is at work.
class BloccoCartella {
  public:
    explicit BloccoCartella(const QByteArray &cartella)
        : m_fd(::open(cartella.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~BloccoCartella() {
        if (m_fd >= 0) ::close(m_fd);
    }
    BloccoCartella(const BloccoCartella &) = delete;
    BloccoCartella &operator=(const BloccoCartella &) = delete;
    // Without waiting. Also true where the file system keeps no locks.
    bool esclusivo() { return prendi(LOCK_EX | LOCK_NB); }
    // Waits only for a short cleaning by another copy.
    void condiviso() { prendi(LOCK_SH); }

  private:
    bool prendi(int modo) {
        if (m_fd < 0) return false;
        int esito;
        do {
            esito = ::flock(m_fd, modo);
        } while (esito != 0 && errno == EINTR);
        return esito == 0 || errno != EWOULDBLOCK;
    }
    int m_fd;
};

// ---------------------------------------------------------------------------
// The restore's swap and its record

constexpr char REGISTRO[] = "Ripristino.intento";
constexpr char INTESTAZIONE_REGISTRO[] = "Quadrelo ripristino 1";

// The two folders a restore makes, beside the program folder or, where that
// cannot be, inside it: ".<program folder>_ripristino_XXXXXX" and "_precedente_".
QRegularExpression modelloCartelle(const QString &nomeProgramma) {
    return QRegularExpression(u"^\\."_s + QRegularExpression::escape(nomeProgramma) +
                              u"_(ripristino|precedente)_[A-Za-z0-9]{6}$"_s);
}

struct Scambio {
    // Relative to the program folder.
    QByteArray estratta;
    QByteArray precedenti;
    // First every old name moves into `precedenti`, in this order; then every
    // new one from `estratta` into the program folder.
    QList<QByteArray> tolti;
    QList<QByteArray> messi;
};

QByteArray codifica(const Scambio &s) {
    QByteArray testo = QByteArray(INTESTAZIONE_REGISTRO) + '\n';
    testo += "estratta " + s.estratta + '\n';
    testo += "precedenti " + s.precedenti + '\n';
    for (const QByteArray &nome : s.tolti)
        testo += "tolto " + nome + '\n';
    for (const QByteArray &nome : s.messi)
        testo += "messo " + nome + '\n';
    return testo + "fine\n";
}

bool nomeSemplice(const QByteArray &nome) {
    return !nome.isEmpty() && nome != "." && nome != ".." && !nome.contains('/') &&
           !nome.contains('\0');
}

// Only what a restore writes is accepted: the record could never send the
// renames or the removal outside the two folders and the program folder.
std::optional<Scambio> decodifica(const QByteArray &testo, const QString &nomeProgramma) {
    QList<QByteArray> righe = testo.split('\n');
    if (righe.size() < 5 || righe.takeFirst() != INTESTAZIONE_REGISTRO || righe.takeLast() != "" ||
        righe.takeLast() != "fine")
        return std::nullopt;
    const QRegularExpression modello = modelloCartelle(nomeProgramma);
    auto cartella = [&modello](const QByteArray &riga, const QByteArray &chiave) {
        if (!riga.startsWith(QByteArray(chiave + ' '))) return QByteArray();
        const QByteArray nome = riga.mid(chiave.size() + 1);
        const QByteArray semplice = nome.startsWith("../") ? nome.mid(3) : nome;
        return modello.match(QFile::decodeName(semplice)).hasMatch() ? nome : QByteArray();
    };
    Scambio s;
    s.estratta = cartella(righe.takeFirst(), "estratta");
    s.precedenti = cartella(righe.takeFirst(), "precedenti");
    if (s.estratta.isEmpty() || s.precedenti.isEmpty() || s.estratta == s.precedenti)
        return std::nullopt;
    for (const QByteArray &riga : righe) {
        const bool tolto = riga.startsWith("tolto ");
        if (!tolto && !riga.startsWith("messo ")) return std::nullopt;
        const QByteArray nome = riga.mid(6);
        if (!nomeSemplice(nome) || nome == REGISTRO || (tolto && !s.messi.isEmpty()))
            return std::nullopt;
        (tolto ? s.tolti : s.messi) << nome;
    }
    return s;
}

// Written beside its place, flushed, renamed, and the folder flushed: a record
// found at its place is whole and on disk before the first rename.
bool scriviRegistro(const QByteArray &base, const Scambio &s) {
    const QByteArray percorso = base + '/' + REGISTRO;
    const QByteArray nuovo = percorso + ".nuovo";
    const QByteArray testo = codifica(s);
    const int fd = ::open(nuovo.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool scritto = ScriviTutto(fd, testo.constData(), testo.size(), 0);
    if (scritto) {
        int esito;
        do {
            esito = ::fsync(fd);
        } while (esito != 0 && errno == EINTR);
        scritto = esito == 0;
    }
    ::close(fd);
    if (!scritto || !rinomina(nuovo, percorso)) {
        ::unlink(nuovo.constData());
        return false;
    }
    return SincronizzaCartella(QFile::decodeName(base));
}

QByteArray leggiTutto(const QByteArray &percorso) {
    QFile file(QFile::decodeName(percorso));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool stessiByte(const QByteArray &a, const QByteArray &b) {
    QFile primo(QFile::decodeName(a)), secondo(QFile::decodeName(b));
    const bool apertoA = primo.open(QIODevice::ReadOnly);
    const bool apertoB = secondo.open(QIODevice::ReadOnly);
    if (!apertoA || !apertoB) return apertoA == apertoB;
    return primo.size() == secondo.size() && primo.readAll() == secondo.readAll();
}

// Finishes or undoes the swap the record describes; the record and the two
// folders are left to the caller. Each step can be done again after a crash
// in the middle of this one: every name is in exactly one of its two places.
EsitoAssestamento assesta(const QByteArray &base, const Scambio &s) {
    const QByteArray estratta = base + '/' + s.estratta;
    const QByteArray precedenti = base + '/' + s.precedenti;
    // Done once every old name is out and every new one in. Undoing moves the
    // new ones back first, so a swap half undone is never taken for done.
    const bool fatto =
        std::all_of(s.tolti.begin(), s.tolti.end(),
                    [&](const QByteArray &n) { return esiste(precedenti + '/' + n); }) &&
        std::none_of(s.messi.begin(), s.messi.end(),
                     [&](const QByteArray &n) { return esiste(estratta + '/' + n); });
    EsitoAssestamento esito;
    bool riuscito = true;
    if (fatto) {
        esito.genere = EsitoAssestamento::Genere::Completato;
        esito.passwordCambiata = !stessiByte(precedenti + '/' + PASSWORD, base + '/' + PASSWORD);
    } else {
        esito.genere = EsitoAssestamento::Genere::Annullato;
        for (auto n = s.messi.crbegin(); riuscito && n != s.messi.crend(); ++n)
            if (!esiste(estratta + '/' + *n) && esiste(base + '/' + *n))
                riuscito = rinomina(base + '/' + *n, estratta + '/' + *n);
        for (auto n = s.tolti.crbegin(); riuscito && n != s.tolti.crend(); ++n)
            if (esiste(precedenti + '/' + *n))
                riuscito = rinomina(precedenti + '/' + *n, base + '/' + *n);
    }
    for (const QByteArray &cartella : {base, estratta, precedenti})
        riuscito = SincronizzaCartella(QFile::decodeName(cartella)) && riuscito;
    if (!riuscito) esito.genere = EsitoAssestamento::Genere::Fallito;
    return esito;
}

// The record goes first: from then on the two folders are leftovers.
bool chiudiScambio(const QByteArray &base, const Scambio &s) {
    if (::unlink(QByteArray(base + '/' + REGISTRO).constData()) != 0 && errno != ENOENT)
        return false;
    SincronizzaCartella(QFile::decodeName(base));
    passo();
    QDir(QFile::decodeName(base + '/' + s.estratta)).removeRecursively();
    QDir(QFile::decodeName(base + '/' + s.precedenti)).removeRecursively();
    return true;
}

// With the program folder's lock held: settles a record left by a crash, then
// removes the folders restores left beside the program folder and in it.
EsitoAssestamento assestaCartella(const QString &programma) {
    const QByteArray base = QFile::encodeName(programma);
    const QString nomeProgramma = QDir(programma).dirName();
    EsitoAssestamento esito;
    ::unlink(QByteArray(base + '/' + REGISTRO + ".nuovo").constData());
    if (esiste(base + '/' + REGISTRO)) {
        const std::optional<Scambio> s =
            decodifica(leggiTutto(base + '/' + REGISTRO), nomeProgramma);
        // A record that cannot be read leaves everything as it is.
        if (!s) return {EsitoAssestamento::Genere::Fallito, false};
        esito = assesta(base, *s);
        if (esito.genere == EsitoAssestamento::Genere::Fallito || !chiudiScambio(base, *s))
            return {EsitoAssestamento::Genere::Fallito, false};
    }
    const QRegularExpression modello = modelloCartelle(nomeProgramma);
    QDir sopra(programma);
    QStringList luoghi{programma};
    if (sopra.cdUp()) luoghi << sopra.absolutePath();
    for (const QString &luogo : luoghi)
        for (const QByteArray &nome : nomiIn(QFile::encodeName(luogo)))
            if (modello.match(QFile::decodeName(nome)).hasMatch() &&
                cartellaVera(QFile::encodeName(luogo) + '/' + nome))
                QDir(QDir(luogo).filePath(QFile::decodeName(nome))).removeRecursively();
    return esito;
}

} // namespace

bool NomeMembroAmmesso(const QByteArray &nome) {
    if (nome.contains('\0')) return false;
    if (nome == ARCHIVIO || nome == PASSWORD || nome == MOVIMENTI || nome == NEGOZIO ||
        nome == ABBINAMENTI || nome == MANIFESTO || eFoto(nome))
        return true;
    const qsizetype barra = nome.indexOf('/');
    if (!cartellaDati(barra < 0 ? nome : nome.left(barra))) return false;
    for (const QByteArray &parte : nome.split('/'))
        if (parte.isEmpty() || parte == "." || parte == "..") return false;
    return true;
}

QString NomeBackup(const QDateTime &ora) {
    return u"Quadrelo_"_s + ora.toString(u"yyyy-MM-dd_HHmm"_s) + u".zip"_s;
}

namespace {

struct NomeLetto {
    QDateTime data;
    int numero = 1;
};

std::optional<NomeLetto> leggiNome(const QString &nome) {
    static const QRegularExpression modello(
        u"^Quadrelo_(\\d{4})-(\\d{2})-(\\d{2})_(\\d{2})(\\d{2})(?:_(\\d{1,4}))?\\.zip$"_s);
    const auto trovato = modello.match(nome);
    if (!trovato.hasMatch()) return std::nullopt;
    const QDate giorno(trovato.captured(1).toInt(), trovato.captured(2).toInt(),
                       trovato.captured(3).toInt());
    const QTime ora(trovato.captured(4).toInt(), trovato.captured(5).toInt());
    if (!giorno.isValid() || !ora.isValid()) return std::nullopt;
    NomeLetto letto{QDateTime(giorno, ora), 1};
    if (trovato.hasCaptured(6)) letto.numero = trovato.captured(6).toInt();
    return letto;
}

// Names of a backup's temporaries: ours, then the one libzip writes beside it.
bool temporaneoBackup(const QString &nome) {
    static const QRegularExpression modello(
        u"^\\.Quadrelo_backup_[A-Za-z0-9]{6}(\\.[A-Za-z0-9]{6})?$"_s);
    return modello.match(nome).hasMatch();
}

// With the backup folder's lock held, so no backup is being written there.
void pulisciTemporanei(const QString &cartellaBackup) {
    const QByteArray cartella = QFile::encodeName(cartellaBackup);
    for (const QByteArray &nome : nomiIn(cartella))
        if (temporaneoBackup(QFile::decodeName(nome)) && fileRegolare(cartella + '/' + nome))
            ::unlink(QByteArray(cartella + '/' + nome).constData());
}

} // namespace

std::optional<QDateTime> DataDalNome(const QString &nome) {
    const auto letto = leggiNome(nome);
    return letto ? std::optional(letto->data) : std::nullopt;
}

QStringList BackupPresenti(const QString &cartellaBackup) {
    struct Trovato {
        NomeLetto letto;
        QString percorso;
    };
    std::vector<Trovato> trovati;
    const QDir cartella(cartellaBackup);
    for (const QFileInfo &info : cartella.entryInfoList(QDir::Files | QDir::NoSymLinks))
        if (const auto letto = leggiNome(info.fileName()))
            trovati.push_back({*letto, info.absoluteFilePath()});
    std::sort(trovati.begin(), trovati.end(), [](const Trovato &a, const Trovato &b) {
        return a.letto.data != b.letto.data ? a.letto.data < b.letto.data
                                            : a.letto.numero < b.letto.numero;
    });
    QStringList percorsi;
    for (const Trovato &t : trovati)
        percorsi << t.percorso;
    return percorsi;
}

void ConservaUltimiBackup(const QString &cartellaBackup, int quanti, const QString &escluso) {
    const QStringList presenti = BackupPresenti(cartellaBackup);
    const QString tenuto = escluso.isEmpty() ? QString() : QFileInfo(escluso).absoluteFilePath();
    qsizetype eccesso = presenti.size() - qMax(quanti, 1);
    for (qsizetype i = 0; i < presenti.size() && eccesso > 0; ++i) {
        if (presenti[i] == tenuto) continue;
        QFile::remove(presenti[i]);
        --eccesso;
    }
}

QString PromemoriaBackup(const QString &cartellaBackup, const QDateTime &ora) {
    const QStringList presenti = BackupPresenti(cartellaBackup);
    if (presenti.isEmpty())
        return u"Non è ancora stato eseguito un backup dei dati: si consiglia di eseguirlo con "
               u"il comando Backup."_s;
    const QDateTime ultimo = *DataDalNome(QFileInfo(presenti.last()).fileName());
    if (ultimo.daysTo(ora) < GIORNI_PROMEMORIA) return QString();
    return u"L'ultimo backup dei dati risale al %1: si consiglia di eseguirne uno nuovo con il "
           u"comando Backup."_s.arg(ultimo.toString(u"dd/MM/yyyy"_s));
}

EsitoBackup EseguiBackup(const QString &cartellaProgramma, const QString &cartellaBackup,
                         const QDateTime &ora, const AvanzamentoBackup &avanza) {
    EsitoBackup esito;
    const QDir destinazione(cartellaBackup);
    if (!QDir().mkpath(cartellaBackup)) {
        esito.messaggio = u"Attenzione: non è possibile creare la cartella dei backup %1."_s.arg(
            QDir::toNativeSeparators(cartellaBackup));
        return esito;
    }

    // Copies writing backups here share the folder's lock; one that finds it
    // free first removes what backups cut short left behind.
    BloccoCartella blocco(QFile::encodeName(destinazione.absolutePath()));
    if (blocco.esclusivo()) pulisciTemporanei(destinazione.absolutePath());
    blocco.condiviso();

    StatoScrittura stato;
    stato.base = QFile::encodeName(QDir(cartellaProgramma).absolutePath());
    stato.ora = ora;
    stato.avanza = avanza;
    const std::vector<Voce> voci = elencoDati(stato.base);
    for (const Voce &v : voci)
        stato.totale += v.dimensione;

    // libzip writes its own file beside this name and renames it here when
    // done; the name itself is ours, so two copies never share it.
    // PulisciTemporaneiBackup knows these names.
    QTemporaryFile temporaneo(destinazione.filePath(u".Quadrelo_backup_XXXXXX"_s));
    if (!temporaneo.open()) {
        esito.messaggio = messaggioScrittura(
            temporaneo.error() == QFile::ResourceError ? ENOSPC : 0, temporaneo.errorString());
        return esito;
    }
    temporaneo.close();
    const QString nomeTemporaneo = temporaneo.fileName();

    int errore = 0;
    zip_t *za =
        zip_open(QFile::encodeName(nomeTemporaneo).constData(), ZIP_CREATE | ZIP_TRUNCATE, &errore);
    if (!za) {
        esito.messaggio = messaggioScrittura(0, u"zip %1"_s.arg(errore));
        return esito;
    }
    bool aggiunti = true;
    for (const Voce &v : voci) {
        if (v.cartella)
            aggiunti = zip_dir_add(za, v.nome.constData(), ZIP_FL_ENC_GUESS) >= 0;
        else
            aggiunti =
                aggiungi(za, &stato, v.nome,
                         v.nome == ARCHIVIO || v.nome == MOVIMENTI ? Sorgente::Genere::Bloccato
                                                                   : Sorgente::Genere::File);
        if (!aggiunti) break;
    }
    if (aggiunti)
        aggiunti = aggiungi(za, &stato, QByteArray(MANIFESTO), Sorgente::Genere::Manifesto);
    if (!aggiunti || zip_close(za) != 0) {
        zip_error_t *e = zip_get_error(za);
        const int sistema = zip_error_code_system(e);
        esito.messaggio =
            !stato.problema.isEmpty()
                ? stato.problema
                : messaggioScrittura(sistema, QString::fromLocal8Bit(zip_error_strerror(e)));
        zip_discard(za);
        QFile::remove(nomeTemporaneo);
        return esito;
    }

    // Opened again and every member checked before it takes its name.
    const ContenutoBackup verificato = scorriBackup(nomeTemporaneo, avanza, nullptr);
    if (!verificato.valido || verificato.schede != stato.schede) {
        QFile::remove(nomeTemporaneo);
        esito.messaggio = u"Attenzione: il backup non ha superato la verifica ed è stato "
                          u"eliminato. I dati del programma non sono stati toccati."_s;
        return esito;
    }

    // A backup taken in the same minute as another keeps both.
    QString finale = destinazione.filePath(NomeBackup(ora));
    for (int n = 2; QFileInfo::exists(finale) && n < 10000; ++n)
        finale = destinazione.filePath(NomeBackup(ora).chopped(4) + u"_%1.zip"_s.arg(n));
    temporaneo.setAutoRemove(false);
    if (!PortaAlPostoFileIntero(nomeTemporaneo, finale, false)) {
        esito.messaggio = messaggioScrittura(errno, QString::fromLocal8Bit(std::strerror(errno)));
        return esito;
    }
    esito.riuscito = true;
    esito.percorso = finale;
    esito.schede = stato.schede;
    return esito;
}

ContenutoBackup LeggiBackup(const QString &zip, const AvanzamentoBackup &avanza,
                            const QString &cartellaProgramma) {
    return scorriBackup(zip, avanza, nullptr,
                        cartellaProgramma.isEmpty() ? -1 : SpazioLibero(cartellaProgramma));
}

EsitoRipristino RipristinaBackup(const QString &zip, const QString &cartellaProgramma,
                                 const AvanzamentoBackup &avanza) {
    EsitoRipristino esito;
    const QString programma = QDir(cartellaProgramma).absolutePath();
    const QByteArray base = QFile::encodeName(programma);
    // One restore at a time in a folder; what an earlier one left is settled first.
    BloccoCartella bloccoProgramma(base);
    if (!bloccoProgramma.esclusivo()) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito perché un'altra copia "
                          u"del programma sta ripristinando i dati in questa cartella. I dati "
                          u"attuali non sono stati toccati."_s;
        return esito;
    }
    if (assestaCartella(programma).genere == EsitoAssestamento::Genere::Fallito) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito perché un ripristino "
                          u"precedente, interrotto, non può essere concluso. I dati attuali non "
                          u"sono stati toccati."_s;
        return esito;
    }

    QDir sopra(programma);
    const QString nomeProgramma = sopra.dirName();
    const QString prefisso = u"."_s + nomeProgramma;
    // Beside the program folder, on the same disk, so the swap is renames
    // only; inside it where that cannot be.
    QString luogo = sopra.cdUp() ? sopra.absolutePath() : programma;
    QString estratta = nuovaCartellaAccanto(luogo, prefisso + u"_ripristino"_s);
    if (!estratta.isEmpty() && dispositivo(estratta) != dispositivo(programma)) {
        QDir(estratta).removeRecursively();
        estratta.clear();
    }
    if (estratta.isEmpty()) {
        luogo = programma;
        estratta = nuovaCartellaAccanto(luogo, prefisso + u"_ripristino"_s);
    }
    if (estratta.isEmpty()) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito: non è possibile "
                          u"creare una cartella accanto alla cartella del programma. I dati "
                          u"attuali non sono stati toccati."_s;
        return esito;
    }
    struct Pulizia {
        QString cartella;
        ~Pulizia() {
            if (!cartella.isEmpty()) QDir(cartella).removeRecursively();
        }
    } pulisciEstratta{estratta};

    const int fdEstratta =
        ::open(QFile::encodeName(estratta).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdEstratta < 0) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito. I dati attuali non "
                          u"sono stati toccati."_s;
        return esito;
    }
    {
        EstrattoreCartella estrattore(fdEstratta);
        const ContenutoBackup contenuto =
            scorriBackup(zip, avanza, &estrattore, SpazioLibero(programma));
        if (!contenuto.valido) {
            ::close(fdEstratta);
            esito.messaggio = contenuto.messaggio;
            return esito;
        }
    }
    // Everything extracted is on disk before the current data moves.
    const bool suDisco = ::syncfs(fdEstratta) == 0;
    ::close(fdEstratta);
    if (!suDisco) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito: i file estratti non "
                          u"possono essere scritti sul disco. I dati attuali non sono stati "
                          u"toccati."_s;
        return esito;
    }

    // The swap. Cards being added by another copy finish first.
    const QByteArray baseEstratta = QFile::encodeName(estratta);
    std::optional<Blocco> blocco;
    const int fdArchivio =
        ::open(QByteArray(base + '/' + ARCHIVIO).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fdArchivio >= 0) blocco.emplace(fdArchivio, F_WRLCK, 0, 0);
    auto sblocca = [&] {
        blocco.reset();
        if (fdArchivio >= 0) ::close(fdArchivio);
    };

    const QString precedenti = nuovaCartellaAccanto(luogo, prefisso + u"_precedente"_s);
    Pulizia pulisciPrecedenti{precedenti};
    const QDir qui(programma);
    Scambio scambio;
    scambio.estratta = QFile::encodeName(qui.relativeFilePath(estratta));
    scambio.precedenti = QFile::encodeName(qui.relativeFilePath(precedenti));
    for (const Voce &v : elencoDati(base))
        if (!v.nome.contains('/')) scambio.tolti << v.nome;
    // What a crash left of an operation on the current archive goes with it:
    // applied to the restored one it would undo cards that were never there.
    const QString intento = IntentoArchivio::percorsoPer(QFile::decodeName(base + '/' + ARCHIVIO));
    for (const QString &resto : {intento, QString(intento + u".nuovo"_s)})
        if (fileRegolare(QFile::encodeName(resto)))
            scambio.tolti << QFile::encodeName(QFileInfo(resto).fileName());
    scambio.messi = nomiIn(baseEstratta);
    esito.passwordCambiata = !stessiByte(base + '/' + PASSWORD, baseEstratta + '/' + PASSWORD);

    if (precedenti.isEmpty() || !scriviRegistro(base, scambio)) {
        sblocca();
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito: non è possibile "
                          u"scrivere nella cartella del programma. I dati attuali non sono "
                          u"stati toccati."_s;
        return esito;
    }
    // From here the record and the two folders belong together: a crash
    // leaves them for the next start, which settles them.
    pulisciEstratta.cartella.clear();
    pulisciPrecedenti.cartella.clear();
    passo();
    bool riuscito = true;
    for (qsizetype i = 0; riuscito && i < scambio.tolti.size(); ++i) {
        riuscito = rinomina(base + '/' + scambio.tolti[i],
                            base + '/' + scambio.precedenti + '/' + scambio.tolti[i]);
        passo();
    }
    for (qsizetype i = 0; riuscito && i < scambio.messi.size(); ++i) {
        riuscito = rinomina(baseEstratta + '/' + scambio.messi[i], base + '/' + scambio.messi[i]);
        passo();
    }
    // Done or undone as the next start would: a failed rename undoes the swap.
    const EsitoAssestamento assestato = assesta(base, scambio);
    riuscito = riuscito && assestato.genere == EsitoAssestamento::Genere::Completato;
    const bool chiuso =
        assestato.genere != EsitoAssestamento::Genere::Fallito && chiudiScambio(base, scambio);
    sblocca();
    if (!riuscito) {
        esito.passwordCambiata = false;
        esito.messaggio =
            chiuso ? u"Attenzione: il ripristino non è stato eseguito: non è possibile "
                     u"sostituire i file della cartella del programma. I dati attuali sono "
                     u"rimasti come erano."_s
                   : u"Attenzione: il ripristino non è stato eseguito: non è possibile "
                     u"sostituire i file della cartella del programma, e non tutti i file "
                     u"sono potuti tornare al loro posto. Alla prossima apertura il programma "
                     u"proverà di nuovo a rimetterli come erano."_s;
        return esito;
    }
    esito.riuscito = true;
    return esito;
}

EsitoAssestamento AssestaRipristino(const QString &cartellaProgramma) {
    const QString programma = QDir(cartellaProgramma).absolutePath();
    BloccoCartella blocco(QFile::encodeName(programma));
    if (!blocco.esclusivo()) return {};
    return assestaCartella(programma);
}

void PulisciTemporaneiBackup(const QString &cartellaBackup) {
    BloccoCartella blocco(QFile::encodeName(cartellaBackup));
    if (blocco.esclusivo()) pulisciTemporanei(cartellaBackup);
}

QString AssestaBackupAllAvvio(const QString &cartellaProgramma, const QString &cartellaBackup) {
    PulisciTemporaneiBackup(cartellaBackup);
    const EsitoAssestamento esito = AssestaRipristino(cartellaProgramma);
    switch (esito.genere) {
    case EsitoAssestamento::Genere::Nessuno:
        return QString();
    case EsitoAssestamento::Genere::Completato:
        return u"Il ripristino da un backup era stato interrotto quando ormai era concluso: i "
               u"dati sono quelli del backup."_s +
               (esito.passwordCambiata ? u" Anche la password di accesso è ora quella della "
                                         u"data del backup."_s
                                       : QString());
    case EsitoAssestamento::Genere::Annullato:
        return u"Il ripristino da un backup era stato interrotto: i dati sono rimasti quelli di "
               u"prima del ripristino."_s;
    case EsitoAssestamento::Genere::Fallito:
        break;
    }
    return u"Attenzione: un ripristino da un backup è stato interrotto e i file della cartella "
           u"del programma non possono essere rimessi a posto. Non modificare i dati e "
           u"verificare i permessi della cartella del programma."_s;
}

qint64 SpazioLibero(const QString &cartella) {
    if (spazioFinto()) return spazioFinto()(cartella);
    const QStorageInfo disco(cartella);
    return disco.isValid() ? disco.bytesAvailable() : -1;
}

bool SpazioSufficiente(qint64 serve, qint64 libero) {
    return libero < 0 || serve <= libero - MARGINE_SPAZIO;
}

QString Dimensione(qint64 byte) {
    return QLocale(QLocale::Italian).formattedDataSize(byte, 1, QLocale::DataSizeTraditionalFormat);
}

void ImpostaSpazioLibero(std::function<qint64(const QString &)> spazio) {
    spazioFinto() = std::move(spazio);
}

void ImpostaPassoRipristino(std::function<void()> funzione) {
    passoRipristino() = std::move(funzione);
}

bool CopiaDatiDellaPostazione(const QString &cartellaProgramma, const QString &verso) {
    const QByteArray base = QFile::encodeName(QDir(cartellaProgramma).absolutePath());
    for (const Voce &v : elencoDati(base)) {
        const bool dellArchivio = v.nome == ARCHIVIO || v.nome == MOVIMENTI || eFoto(v.nome) ||
                                  v.nome == ALLEGATI || v.nome.startsWith(prefissoAllegati()) ||
                                  v.nome == "Schede eliminate" ||
                                  v.nome.startsWith("Schede eliminate/");
        if (dellArchivio) continue;
        const QString da = QFile::decodeName(base + '/' + v.nome);
        const QString a = QDir(verso).filePath(QFile::decodeName(v.nome));
        if (v.cartella) {
            if (!QDir().mkpath(a)) return false;
            continue;
        }
        if (!QDir().mkpath(QFileInfo(a).absolutePath()) || !QFile::copy(da, a)) return false;
        QFile originale(da), copia(a);
        if (!originale.open(QIODevice::ReadOnly) || !copia.open(QIODevice::ReadOnly) ||
            originale.readAll() != copia.readAll())
            return false;
    }
    return true;
}
