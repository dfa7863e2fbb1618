#pragma once

#include <QString>
#include <unistd.h>

// Opening by name and whole reads and writes at an offset, going on where a
// signal cut a call short. A read short of bytes fails; a write that makes no
// progress fails with ENOSPC.
int ApriFile(const QString &percorso, int modo); // with O_CLOEXEC; a new file gets 0666
// The same, for a file that must be a regular one: a named pipe or a device
// put in its place is refused (EINVAL) without waiting on it.
int ApriFileRegolare(const QString &percorso, int modo);
bool LeggiTutto(int fd, void *dati, qint64 quanti, qint64 offset);
bool ScriviTutto(int fd, const void *dati, qint64 quanti, qint64 offset);
// Flushes a file written by someone else (opened again by name).
bool SincronizzaFile(const QString &percorso);
// Flushes the folder itself, so that a rename or removal in it outlives a
// power cut. False when it cannot be opened or flushed.
bool SincronizzaCartella(const QString &cartella);

// A descriptor closed when it goes.
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
