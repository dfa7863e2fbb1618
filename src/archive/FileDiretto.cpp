#include "archive/FileDiretto.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int ApriFile(const QString &percorso, int modo) {
    const QByteArray nome = QFile::encodeName(percorso);
    int fd;
    do {
        fd = ::open(nome.constData(), modo | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int ApriFileRegolare(const QString &percorso, int modo) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer for ever.
    const int fd = ApriFile(percorso, modo | O_NONBLOCK);
    if (fd < 0) return fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int flag = ::fcntl(fd, F_GETFL);
    if (flag >= 0) ::fcntl(fd, F_SETFL, flag & ~O_NONBLOCK);
    return fd;
}

bool LeggiTutto(int fd, void *dati, qint64 quanti, qint64 offset) {
    auto *b = static_cast<unsigned char *>(dati);
    qint64 letti = 0;
    while (letti < quanti) {
        const ssize_t n =
            ::pread(fd, b + letti, std::size_t(quanti - letti), off_t(offset + letti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        letti += n;
    }
    return true;
}

bool ScriviTutto(int fd, const void *dati, qint64 quanti, qint64 offset) {
    const auto *b = static_cast<const unsigned char *>(dati);
    qint64 scritti = 0;
    while (scritti < quanti) {
        const ssize_t n =
            ::pwrite(fd, b + scritti, std::size_t(quanti - scritti), off_t(offset + scritti));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        scritti += n;
    }
    return true;
}

namespace {

bool sincronizza(const QString &percorso, int modo) {
    const int fd = ApriFile(percorso, O_RDONLY | modo);
    if (fd < 0) return false;
    int esito;
    do {
        esito = ::fsync(fd);
    } while (esito != 0 && errno == EINTR);
    ::close(fd);
    return esito == 0;
}

} // namespace

bool SincronizzaFile(const QString &percorso) {
    return sincronizza(percorso, 0);
}

bool SincronizzaCartella(const QString &cartella) {
    return sincronizza(cartella, O_DIRECTORY);
}
