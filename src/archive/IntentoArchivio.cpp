#include "archive/IntentoArchivio.h"

#include "archive/FileDiretto.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char MARCA[8] = {'Q', 'D', 'R', 'I', 'N', 'T', '0', '1'};
// A record that also says what makes the operation final.
constexpr char MARCA_CONCLUSIONE[8] = {'Q', 'D', 'R', 'I', 'N', 'T', '0', '2'};
constexpr qint64 CONCLUSIONE_MASSIMA = 1 << 20;

QByteArray codifica(const ConclusioneIntento &c) {
    QByteArray byte;
    QDataStream flusso(&byte, QIODevice::WriteOnly);
    flusso.setVersion(QDataStream::Qt_6_0);
    flusso << c.file << c.da << c.marca << qint32(c.dopo.size());
    for (const auto &r : c.dopo)
        flusso << r.da << r.a;
    // Last, so that a record without them still reads.
    if (!c.annullando.isEmpty()) flusso << c.annullando;
    return byte;
}

// A file step stays inside the archive's folder, whatever the record says.
bool nomeDentro(const QString &nome, bool vuotoAmmesso) {
    if (nome.isEmpty()) return vuotoAmmesso;
    const QString pulito = QDir::cleanPath(nome);
    return !QDir::isAbsolutePath(pulito) && pulito != u".." &&
           !pulito.startsWith(QStringLiteral("../")) && pulito == nome;
}

bool decodifica(const QByteArray &byte, ConclusioneIntento &c) {
    QDataStream flusso(byte);
    flusso.setVersion(QDataStream::Qt_6_0);
    qint32 quanti = 0;
    flusso >> c.file >> c.da >> c.marca >> quanti;
    if (flusso.status() != QDataStream::Ok || quanti < 0 || quanti > 1000) return false;
    c.dopo.clear();
    for (qint32 i = 0; i < quanti; ++i) {
        ConclusioneIntento::Rinomina r;
        flusso >> r.da >> r.a;
        if (!nomeDentro(r.da, false) || !nomeDentro(r.a, true)) return false;
        c.dopo << r;
    }
    c.annullando.clear();
    if (!flusso.atEnd()) {
        flusso >> c.annullando;
        if (c.annullando.size() > 1000) return false;
        for (const QString &nome : std::as_const(c.annullando))
            if (!nomeDentro(nome, false)) return false;
    }
    return flusso.status() == QDataStream::Ok && flusso.atEnd() && !c.marca.isEmpty();
}

std::function<void()> &passo() {
    static std::function<void()> funzione;
    return funzione;
}

// FNV-1a: enough to tell a whole record from a damaged one.
quint64 impronta(quint64 h, const void *dati, qint64 quanti) {
    const auto *b = static_cast<const unsigned char *>(dati);
    for (qint64 i = 0; i < quanti; ++i) {
        h ^= b[i];
        h *= 1099511628211ULL;
    }
    return h;
}
constexpr quint64 IMPRONTA_INIZIALE = 14695981039346656037ULL;

bool sincronizza(int fd) {
    int esito;
    do {
        esito = ::fsync(fd);
    } while (esito != 0 && errno == EINTR);
    return esito == 0;
}

// The folder holding the file.
bool sincronizzaCartella(const QString &percorso) {
    return SincronizzaCartella(QFileInfo(percorso).absolutePath());
}

// Walks the entries of a record: each offset and its old bytes, read in pieces.
// Returns false when the record is not whole.
bool percorri(int fd, qint64 &lunghezza, std::optional<ConclusioneIntento> &conclusione,
              const std::function<bool(qint64 offset, const unsigned char *, qint64)> &tratto) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    const qint64 dimensione = info.st_size;
    char marca[8];
    if (dimensione < 8 + 8 + 8 + 8 || !LeggiTutto(fd, marca, 8, 0)) return false;
    const bool conConclusione = std::memcmp(marca, MARCA_CONCLUSIONE, 8) == 0;
    if (!conConclusione && std::memcmp(marca, MARCA, 8) != 0) return false;
    quint64 h = impronta(IMPRONTA_INIZIALE, marca, 8);
    qint64 pos = 8;
    conclusione.reset();
    if (conConclusione) {
        qint64 quanti = 0;
        if (!LeggiTutto(fd, &quanti, 8, pos) || quanti < 0 || quanti > CONCLUSIONE_MASSIMA ||
            quanti > dimensione - pos - 8)
            return false;
        h = impronta(h, &quanti, 8);
        pos += 8;
        QByteArray byte(quanti, Qt::Uninitialized);
        if (!LeggiTutto(fd, byte.data(), quanti, pos)) return false;
        h = impronta(h, byte.constData(), quanti);
        pos += quanti;
        ConclusioneIntento c;
        if (!decodifica(byte, c)) return false;
        conclusione = c;
    }
    if (!LeggiTutto(fd, &lunghezza, 8, pos)) return false;
    h = impronta(h, &lunghezza, 8);
    pos += 8;
    std::vector<unsigned char> pezzo(1 << 16);
    for (;;) {
        qint64 testa[2];
        if (pos + 8 > dimensione || !LeggiTutto(fd, testa, 8, pos)) return false;
        h = impronta(h, testa, 8);
        pos += 8;
        if (testa[0] < 0) break;
        if (pos + 8 > dimensione || !LeggiTutto(fd, &testa[1], 8, pos)) return false;
        h = impronta(h, &testa[1], 8);
        pos += 8;
        if (testa[1] < 0 || testa[1] > dimensione - pos) return false;
        for (qint64 fatti = 0; fatti < testa[1];) {
            const qint64 n = qMin(qint64(pezzo.size()), testa[1] - fatti);
            if (!LeggiTutto(fd, pezzo.data(), n, pos)) return false;
            h = impronta(h, pezzo.data(), n);
            if (tratto && !tratto(testa[0] + fatti, pezzo.data(), n)) return false;
            pos += n;
            fatti += n;
        }
    }
    quint64 scritta = 0;
    return pos + 8 == dimensione && LeggiTutto(fd, &scritta, 8, pos) && scritta == h &&
           lunghezza >= 0;
}

// Whether the file holds the mark at or after the byte the operation began
// at (from the start, if the file has since been made shorter).
bool concluso(const ConclusioneIntento &c, const QDir &cartella) {
    const int fd = ApriFileRegolare(cartella.filePath(c.file), O_RDONLY);
    if (fd < 0) return false;
    struct stat info {};
    bool trovato = false;
    if (::fstat(fd, &info) == 0) {
        const qint64 dimensione = info.st_size;
        qint64 pos = c.da >= 0 && c.da <= dimensione ? c.da : 0;
        const qint64 sovrapposti = c.marca.size() - 1;
        QByteArray pezzo(qMax<qint64>(1 << 16, 2 * c.marca.size()), Qt::Uninitialized);
        while (!trovato && pos < dimensione) {
            const qint64 n = qMin(qint64(pezzo.size()), dimensione - pos);
            if (!LeggiTutto(fd, pezzo.data(), n, pos)) break;
            trovato = QByteArrayView(pezzo.constData(), n).indexOf(c.marca) >= 0;
            if (pos + n >= dimensione) break;
            pos += n - sovrapposti;
        }
    }
    ::close(fd);
    return trovato;
}

bool rinomina(const ConclusioneIntento::Rinomina &r, const QDir &cartella) {
    const QByteArray da = QFile::encodeName(cartella.filePath(r.da));
    if (r.a.isEmpty()) return ::unlink(da.constData()) == 0 || errno == ENOENT;
    const QByteArray a = QFile::encodeName(cartella.filePath(r.a));
    if (::rename(da.constData(), a.constData()) != 0) return errno == ENOENT;
    sincronizzaCartella(cartella.filePath(r.da));
    return true;
}

// A record already in place belongs to an operation not yet settled: it is
// never replaced. Where the file system lacks the no-replace rename, the
// check before it is enough, since only the holder of the whole-file lock
// writes a record.
bool rinominaSenzaSostituire(const QString &da, const QString &a) {
    const QByteArray nomeDa = QFile::encodeName(da);
    const QByteArray nomeA = QFile::encodeName(a);
    if (::renameat2(AT_FDCWD, nomeDa.constData(), AT_FDCWD, nomeA.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat info {};
    if (::lstat(nomeA.constData(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(nomeDa.constData(), nomeA.constData()) == 0;
}

} // namespace

void ImpostaPassoArchivio(std::function<void()> funzione) {
    passo() = std::move(funzione);
}

void PassoArchivio() {
    if (passo()) passo()();
}

QString IntentoArchivio::percorsoPer(const QString &archivio) {
    return archivio + QStringLiteral(".intento");
}

IntentoArchivio::IntentoArchivio(const QString &archivio)
    : m_percorso(percorsoPer(archivio)),
      m_temporaneo(percorsoPer(archivio) + QStringLiteral(".nuovo")) {}

IntentoArchivio::~IntentoArchivio() {
    if (m_fd >= 0) {
        ::close(m_fd);
        QFile::remove(m_temporaneo);
    }
}

bool IntentoArchivio::scrivi(const void *dati, qint64 quanti) {
    // Gathered into large writes: a change of many records adds two small
    // pieces for each, and a write apiece costs more than the bytes.
    constexpr std::size_t BLOCCO = 1 << 20;
    const auto *b = static_cast<const unsigned char *>(dati);
    m_impronta = impronta(m_impronta, dati, quanti);
    if (m_attesa.size() + std::size_t(quanti) > BLOCCO && !svuota()) return false;
    if (std::size_t(quanti) > BLOCCO) return scriviTutto(b, quanti);
    m_attesa.reserve(BLOCCO);
    m_attesa.insert(m_attesa.end(), b, b + quanti);
    return true;
}

bool IntentoArchivio::svuota() {
    const bool fatto = scriviTutto(m_attesa.data(), qint64(m_attesa.size()));
    m_attesa.clear();
    return fatto;
}

bool IntentoArchivio::scriviTutto(const unsigned char *b, qint64 quanti) {
    qint64 scritti = 0;
    while (scritti < quanti) {
        const ssize_t n = ::write(m_fd, b + scritti, std::size_t(quanti - scritti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_errore = n < 0 ? errno : ENOSPC;
            return false;
        }
        scritti += n;
    }
    return true;
}

bool IntentoArchivio::inizia(qint64 lunghezza, const ConclusioneIntento *conclusione) {
    m_fd = ApriFileRegolare(m_temporaneo, O_WRONLY | O_CREAT | O_TRUNC);
    if (m_fd < 0) {
        m_errore = errno;
        return false;
    }
    m_impronta = IMPRONTA_INIZIALE;
    if (!conclusione) return scrivi(MARCA, 8) && scrivi(&lunghezza, 8);
    const QByteArray byte = codifica(*conclusione);
    const qint64 quanti = byte.size();
    if (quanti > CONCLUSIONE_MASSIMA) {
        m_errore = E2BIG;
        return false;
    }
    return scrivi(MARCA_CONCLUSIONE, 8) && scrivi(&quanti, 8) && scrivi(byte.constData(), quanti) &&
           scrivi(&lunghezza, 8);
}

bool IntentoArchivio::aggiungi(qint64 offset, const unsigned char *byte, qint64 quanti) {
    const qint64 testa[2] = {offset, quanti};
    if (!scrivi(testa, sizeof testa) || !scrivi(byte, quanti)) return false;
    PassoArchivio();
    return true;
}

bool IntentoArchivio::conferma() {
    const qint64 fine = -1;
    if (!scrivi(&fine, 8)) return false;
    const quint64 h = m_impronta;
    if (!scrivi(&h, 8) || !svuota()) return false;
    if (!sincronizza(m_fd)) {
        m_errore = errno;
        return false;
    }
    ::close(m_fd);
    m_fd = -1;
    PassoArchivio();
    if (!rinominaSenzaSostituire(m_temporaneo, m_percorso)) {
        m_errore = errno;
        QFile::remove(m_temporaneo);
        return false;
    }
    if (!sincronizzaCartella(m_percorso)) {
        m_errore = errno;
        QFile::remove(m_percorso);
        return false;
    }
    PassoArchivio();
    return true;
}

bool IntentoArchivio::rimuovi() {
    if (::unlink(QFile::encodeName(m_percorso).constData()) != 0 && errno != ENOENT) {
        m_errore = errno;
        return false;
    }
    if (!sincronizzaCartella(m_percorso)) {
        m_errore = errno;
        return false;
    }
    return true;
}

Ripristino RipristinaDaIntento(int fd, const QString &archivio) {
    const QString percorso = IntentoArchivio::percorsoPer(archivio);
    // A record never put in place: the operation had not begun.
    QFile::remove(percorso + QStringLiteral(".nuovo"));
    // A named pipe in its place would wait for ever: refused, and left there.
    const int registro = ApriFileRegolare(percorso, O_RDONLY);
    if (registro < 0) return errno == ENOENT ? Ripristino::Nessuno : Ripristino::Fallito;
    qint64 lunghezza = 0;
    std::optional<ConclusioneIntento> conclusione;
    bool riuscito = percorri(registro, lunghezza, conclusione, {});
    const QDir cartella = QFileInfo(archivio).absoluteDir();
    // The file steps move photos: never the archive or this record.
    const QString nome = QFileInfo(archivio).fileName();
    const QStringList protetti{nome, QFileInfo(percorso).fileName(),
                               QFileInfo(percorso).fileName() + QStringLiteral(".nuovo")};
    if (riuscito && conclusione) {
        for (const auto &r : conclusione->dopo)
            if (protetti.contains(QDir::cleanPath(r.da)) || protetti.contains(QDir::cleanPath(r.a)))
                riuscito = false;
        for (const QString &f : std::as_const(conclusione->annullando))
            if (protetti.contains(QDir::cleanPath(f)) || f == conclusione->file) riuscito = false;
    }
    if (riuscito && conclusione && concluso(*conclusione, cartella)) {
        // Already final: only the steps after it are left. One that fails
        // keeps the record, so the next opening tries again.
        ::close(registro);
        bool fatti = true;
        for (const auto &r : conclusione->dopo) {
            fatti = rinomina(r, cartella) && fatti;
            PassoArchivio();
        }
        if (fatti && ::unlink(QFile::encodeName(percorso).constData()) == 0)
            sincronizzaCartella(percorso);
        return Ripristino::Concluso;
    }
    if (riuscito) {
        int esito;
        do {
            esito = ::ftruncate(fd, off_t(lunghezza));
        } while (esito != 0 && errno == EINTR);
        riuscito =
            esito == 0 && percorri(registro, lunghezza, conclusione,
                                   [fd](qint64 offset, const unsigned char *byte, qint64 quanti) {
                                       return ScriviTutto(fd, byte, quanti, offset);
                                   });
        riuscito = riuscito && sincronizza(fd);
    }
    ::close(registro);
    if (!riuscito) return Ripristino::Fallito;
    // What the operation made for itself goes with it (a photo kept for a
    // removal that did not happen).
    if (conclusione)
        for (const QString &f : std::as_const(conclusione->annullando))
            QFile::remove(cartella.filePath(f));
    ::unlink(QFile::encodeName(percorso).constData());
    sincronizzaCartella(percorso);
    return Ripristino::Fatto;
}
