#include "movements/Giornale.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTimeZone>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr std::array<const char16_t *, 9> NOMI_TIPI = {
    u"Carico",       u"Scarico",      u"Rettifica",   u"Nuova scheda", u"Importazione",
    u"Eliminazione", u"Spostamento", u"Ripristino",  u"Ordine"};

constexpr QByteArrayView BOM("\xEF\xBB\xBF");

// An advisory lock on the whole journal, released when the object goes: a
// lock of the open file where the kernel has them, of the process otherwise,
// none where the file system refuses both.
class BloccoGiornale {
  public:
    BloccoGiornale(int fd, short tipo) : m_fd(fd) {
        m_regione.l_type = tipo;
        m_regione.l_whence = SEEK_SET;
        for (const int comando : {F_OFD_SETLKW, F_SETLKW}) {
            m_regione.l_pid = 0;
            int esito;
            do {
                esito = ::fcntl(m_fd, comando, &m_regione);
            } while (esito != 0 && errno == EINTR);
            if (esito == 0) {
                m_sblocca = comando == F_OFD_SETLKW ? F_OFD_SETLK : F_SETLK;
                return;
            }
            if (errno != EINVAL) return;
        }
    }
    ~BloccoGiornale() {
        if (m_sblocca < 0) return;
        m_regione.l_type = F_UNLCK;
        m_regione.l_pid = 0;
        ::fcntl(m_fd, m_sblocca, &m_regione);
    }
    BloccoGiornale(const BloccoGiornale &) = delete;
    BloccoGiornale &operator=(const BloccoGiornale &) = delete;

  private:
    int m_fd;
    int m_sblocca = -1;
    struct flock m_regione {};
};

class Descrittore {
  public:
    explicit Descrittore(int fd) : fd(fd) {}
    ~Descrittore() {
        if (fd >= 0) ::close(fd);
    }
    Descrittore(const Descrittore &) = delete;
    Descrittore &operator=(const Descrittore &) = delete;
    int fd;
};

int apri(const QString &percorso, int modo) {
    const QByteArray nome = QFile::encodeName(percorso);
    int fd;
    do {
        fd = ::open(nome.constData(), modo | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool utf8Valido(QByteArrayView byte) {
    const auto *p = reinterpret_cast<const unsigned char *>(byte.data());
    const auto *fine = p + byte.size();
    while (p < fine) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int seguono;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            seguono = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            seguono = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            seguono = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (fine - p <= seguono) return false;
        for (int i = 1; i <= seguono; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((seguono == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (seguono == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += seguono + 1;
    }
    return true;
}

// A field in quotes when it holds the separators, a quote or a line break.
QByteArray codifica(const QString &testo) {
    QByteArray byte = testo.toUtf8();
    for (char &c : byte)
        if (c == '\r' || c == '\n') c = ' ';
    if (!byte.contains(';') && !byte.contains(',') && !byte.contains('"')) return byte;
    byte.replace("\"", "\"\"");
    return '"' + byte + '"';
}

// The fields of a line; false when a quote is left open or text follows a
// closing quote.
bool dividi(QByteArrayView riga, char separatore, std::vector<QByteArray> &campi) {
    campi.clear();
    qsizetype i = 0;
    const qsizetype n = riga.size();
    while (true) {
        QByteArray campo;
        if (i < n && riga[i] == '"') {
            ++i;
            while (true) {
                if (i >= n) return false;
                if (riga[i] == '"') {
                    if (i + 1 < n && riga[i + 1] == '"') {
                        campo += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                campo += riga[i++];
            }
            if (i < n && riga[i] != separatore) return false;
        } else {
            qsizetype fine = i;
            while (fine < n && riga[fine] != separatore)
                ++fine;
            campo = riga.sliced(i, fine - i).toByteArray();
            i = fine;
        }
        campi.push_back(std::move(campo));
        if (campi.size() > std::size_t(CAMPI_GIORNALE)) return false;
        if (i >= n) return true;
        ++i; // the separator
    }
}

std::optional<qint64> intero(const QByteArray &byte) {
    bool ok = false;
    const qint64 valore = byte.trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return valore;
}

bool cominciaComeFormula(QStringView testo) {
    if (testo.isEmpty()) return false;
    const QChar c = testo.front();
    if (c == u'\t' || c == u'\r') return true;
    if (c != u'=' && c != u'+' && c != u'-' && c != u'@') return false;
    // A plain signed number is a number to a spreadsheet too, not a formula.
    if (c == u'+' || c == u'-') {
        const QStringView resto = testo.sliced(1);
        bool cifre = !resto.isEmpty();
        for (QChar x : resto)
            if (!x.isDigit() && x != u',' && x != u'.') cifre = false;
        if (cifre) return false;
    }
    return true;
}

char separatoreDi(QByteArrayView intestazione) {
    return intestazione.count(';') >= intestazione.count(',') ? ';' : ',';
}

// The byte-order mark and a carriage return before the line end go.
QByteArrayView pulisci(QByteArrayView riga) {
    if (riga.endsWith('\r')) riga.chop(1);
    return riga;
}

} // namespace

QString NomeTipo(TipoMovimento tipo) {
    return QString::fromUtf16(NOMI_TIPI[std::size_t(tipo)]);
}

std::optional<TipoMovimento> TipoDaNome(const QString &nome) {
    for (std::size_t i = 0; i < NOMI_TIPI.size(); ++i)
        if (nome == QStringView(NOMI_TIPI[i])) return TipoMovimento(i);
    return std::nullopt;
}

QString PercorsoGiornale() {
    return QDir(CartellaProgramma()).filePath(u"Movimenti.csv"_s);
}

QString Postazione() {
    QString utente = qEnvironmentVariable("USER");
    if (utente.isEmpty()) {
        if (const passwd *voce = ::getpwuid(::getuid()))
            utente = QString::fromLocal8Bit(voce->pw_name);
    }
    return QSysInfo::machineHostName() + u" ("_s + utente + u')';
}

QString TestoPerGiornale(const QString &testo) {
    qsizetype apostrofi = 0;
    while (apostrofi < testo.size() && testo[apostrofi] == u'\'')
        ++apostrofi;
    if (cominciaComeFormula(QStringView(testo).sliced(apostrofi))) return u'\'' + testo;
    return testo;
}

QString TestoDaGiornale(const QString &campo) {
    qsizetype apostrofi = 0;
    while (apostrofi < campo.size() && campo[apostrofi] == u'\'')
        ++apostrofi;
    if (apostrofi > 0 && cominciaComeFormula(QStringView(campo).sliced(apostrofi)))
        return campo.sliced(1);
    return campo;
}

QByteArray IntestazioneGiornale() {
    return "Data e ora;Posizione;Codice;Nome;Categoria;Tipo;Quantit\xC3\xA0;Giacenza prima;"
           "Giacenza dopo;Costo unitario;Postazione;Nota;Dati";
}

QByteArray RigaGiornale(const Movimento &m, char separatore) {
    QByteArray riga;
    riga.reserve(160 + m.dati.size());
    riga += m.quando.toString(Qt::ISODate).toLatin1();
    riga += separatore;
    riga += QByteArray::number(m.posizione);
    for (const QString *testo : {&m.codice, &m.nome, &m.categoria}) {
        riga += separatore;
        riga += codifica(TestoPerGiornale(*testo));
    }
    riga += separatore;
    riga += NomeTipo(m.tipo).toUtf8();
    for (qint64 numero : {m.quantita, m.prima, m.dopo}) {
        riga += separatore;
        riga += QByteArray::number(numero);
    }
    for (const QString *testo : {&m.costo, &m.postazione, &m.nota}) {
        riga += separatore;
        riga += codifica(TestoPerGiornale(*testo));
    }
    riga += separatore;
    riga += m.dati.toBase64();
    return riga;
}

bool LeggiRigaGiornale(QByteArrayView riga, char separatore, Movimento &m) {
    riga = pulisci(riga);
    if (!utf8Valido(riga)) return false;
    thread_local std::vector<QByteArray> campi;
    if (!dividi(riga, separatore, campi) || campi.size() != std::size_t(CAMPI_GIORNALE))
        return false;
    m.quando = QDateTime::fromString(QString::fromLatin1(campi[0].trimmed()), Qt::ISODate);
    if (!m.quando.isValid()) return false;
    const auto posizione = intero(campi[1]);
    const auto tipo = TipoDaNome(QString::fromUtf8(campi[5]).trimmed());
    const auto quantita = intero(campi[6]);
    const auto prima = intero(campi[7]);
    const auto dopo = intero(campi[8]);
    if (!posizione || *posizione < 1 || !tipo || !quantita || !prima || !dopo) return false;
    m.posizione = *posizione;
    m.tipo = *tipo;
    m.quantita = *quantita;
    m.prima = *prima;
    m.dopo = *dopo;
    m.codice = TestoDaGiornale(QString::fromUtf8(campi[2]));
    m.nome = TestoDaGiornale(QString::fromUtf8(campi[3]));
    m.categoria = TestoDaGiornale(QString::fromUtf8(campi[4]));
    m.costo = TestoDaGiornale(QString::fromUtf8(campi[9]));
    m.postazione = TestoDaGiornale(QString::fromUtf8(campi[10]));
    m.nota = TestoDaGiornale(QString::fromUtf8(campi[11]));
    auto dati = QByteArray::fromBase64Encoding(campi[12].trimmed(),
                                               QByteArray::AbortOnBase64DecodingErrors);
    if (!dati) return false;
    m.dati = *dati;
    return true;
}

bool RegistraMovimenti(const QList<Movimento> &movimenti, const QString &percorso) {
    if (movimenti.isEmpty()) return true;
    const Descrittore file(apri(percorso, O_RDWR | O_CREAT | O_APPEND));
    if (file.fd < 0) return false;
    // From looking at the end of the file to the flush: two copies appending
    // at once each write whole lines of their own.
    const BloccoGiornale blocco(file.fd, F_WRLCK);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;

    QByteArray testo;
    char separatore = ';';
    if (info.st_size == 0) {
        testo += BOM.toByteArray();
        testo += IntestazioneGiornale();
        testo += '\n';
    } else {
        // A line cut short by a crash stays a damaged line of its own.
        char ultimo = '\n';
        if (::pread(file.fd, &ultimo, 1, info.st_size - 1) != 1) return false;
        if (ultimo != '\n') testo += '\n';
        // A journal saved again by a spreadsheet with commas goes on with them.
        char inizio[4096];
        const ssize_t letti = ::pread(file.fd, inizio, sizeof inizio, 0);
        if (letti > 0) {
            QByteArrayView prima(inizio, letti);
            const qsizetype fine = prima.indexOf('\n');
            separatore = separatoreDi(fine >= 0 ? prima.first(fine) : prima);
        }
    }
    for (const Movimento &m : movimenti) {
        testo += RigaGiornale(m, separatore);
        testo += '\n';
    }

    qsizetype scritti = 0;
    bool riuscito = true;
    while (scritti < testo.size()) {
        const ssize_t n =
            ::write(file.fd, testo.constData() + scritti, std::size_t(testo.size() - scritti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            riuscito = false;
            break;
        }
        scritti += n;
    }
    if (riuscito && SincronizzaArchivio(file.fd) == 0) return true;
    // No half line stays behind to be read as damaged, or counted twice
    // when the user saves again.
    int esito;
    do {
        esito = ::ftruncate(file.fd, info.st_size);
    } while (esito != 0 && errno == EINTR);
    SincronizzaArchivio(file.fd);
    return false;
}

qint64 PosizioneDiRiga(QByteArrayView riga, char separatore) {
    const qsizetype primo = riga.indexOf(separatore);
    if (primo < 0) return -1;
    qint64 valore = 0;
    qsizetype i = primo + 1;
    const qsizetype inizio = i;
    while (i < riga.size() && riga[i] >= '0' && riga[i] <= '9' && i - inizio < 18)
        valore = valore * 10 + (riga[i++] - '0');
    if (i == inizio || i >= riga.size() || riga[i] != separatore) return -1;
    return valore;
}

bool RigaDiSpostamento(QByteArrayView riga, char separatore) {
    char cerca[] = ";Spostamento;";
    cerca[0] = cerca[sizeof cerca - 2] = separatore;
    return riga.indexOf(QByteArrayView(cerca, sizeof cerca - 1)) >= 0;
}

LetturaGiornale LeggiGiornale(const QString &percorso, const SceltaRiga &scelta,
                              const VisitaMovimento &visita,
                              const std::function<void(qint64, qint64)> &progresso) {
    LetturaGiornale esito;
    const Descrittore file(apri(percorso, O_RDONLY));
    if (file.fd < 0) {
        esito.aperto = errno == ENOENT;
        return esito;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return esito;
    // Lines are appended whole under the write lock; what lies beyond the
    // length seen now is left for the next reading.
    const qint64 totale = info.st_size;
    esito.aperto = true;

    constexpr qint64 BLOCCO = 1 << 20;
    QByteArray buffer;
    qint64 letti = 0;        // bytes of the file read into the buffer so far
    qint64 inizioBuffer = 0; // file offset of buffer[0]
    bool intestazione = true;
    char separatore = ';';
    Movimento movimento;
    auto riga = [&](QByteArrayView testo, qint64 offset) -> bool {
        if (intestazione) {
            intestazione = false;
            if (testo.startsWith(BOM)) testo = testo.sliced(BOM.size());
            separatore = separatoreDi(testo);
            return true;
        }
        if (pulisci(testo).trimmed().isEmpty()) return true;
        if (scelta && !scelta(testo, separatore)) return true;
        if (!LeggiRigaGiornale(testo, separatore, movimento)) {
            ++esito.danneggiate;
            return true;
        }
        ++esito.righe;
        return visita(movimento, offset);
    };

    while (letti < totale) {
        const qint64 quanti = qMin(BLOCCO, totale - letti);
        const qsizetype resto = buffer.size();
        buffer.resize(resto + quanti);
        qint64 presi = 0;
        while (presi < quanti) {
            const ssize_t n = ::pread(file.fd, buffer.data() + resto + presi,
                                      std::size_t(quanti - presi), off_t(letti + presi));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                esito.aperto = false;
                return esito;
            }
            presi += n;
        }
        letti += quanti;
        const char *dati = buffer.constData();
        const qsizetype lunghezza = buffer.size();
        qsizetype inizio = 0;
        while (inizio < lunghezza) {
            const void *a = std::memchr(dati + inizio, '\n', std::size_t(lunghezza - inizio));
            if (!a) break;
            const qsizetype fine = static_cast<const char *>(a) - dati;
            if (!riga(QByteArrayView(dati + inizio, fine - inizio), inizioBuffer + inizio))
                return esito;
            inizio = fine + 1;
        }
        buffer.remove(0, inizio);
        inizioBuffer += inizio;
        if (progresso) progresso(letti, totale);
    }
    // A last line without its line end: cut by a crash, or saved that way.
    if (!buffer.isEmpty()) riga(buffer, inizioBuffer);
    return esito;
}

std::optional<Movimento> LeggiMovimentoA(const QString &percorso, qint64 offset) {
    const Descrittore file(apri(percorso, O_RDONLY));
    if (file.fd < 0) return std::nullopt;
    auto leggiRiga = [&file](qint64 da) -> QByteArray {
        QByteArray riga;
        char blocco[4096];
        while (true) {
            const ssize_t n = ::pread(file.fd, blocco, sizeof blocco, off_t(da + riga.size()));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return riga;
            const void *a = std::memchr(blocco, '\n', std::size_t(n));
            if (a) {
                riga.append(blocco, static_cast<const char *>(a) - blocco);
                return riga;
            }
            riga.append(blocco, n);
        }
    };
    const QByteArray intestazione = leggiRiga(0);
    Movimento m;
    if (!LeggiRigaGiornale(leggiRiga(offset), separatoreDi(intestazione), m)) return std::nullopt;
    return m;
}
