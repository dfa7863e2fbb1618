#include "archive/FileIntero.h"

#include "archive/Archivio.h"
#include "archive/FileDiretto.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Passes every write on to the save file and remembers any that fell short,
// so a writer that does not look at what write() returns (an image encoder)
// still cannot leave a cut-short file behind.
class ScritturaControllata final : public QIODevice {
  public:
    explicit ScritturaControllata(QSaveFile *file) : m_file(file) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool fallita() const { return m_fallita; }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *dati, qint64 quanti) override {
        qint64 fatti = 0;
        while (fatti < quanti) {
            const qint64 n = m_file->write(dati + fatti, quanti - fatti);
            if (n <= 0) {
                m_fallita = true;
                setErrorString(m_file->errorString());
                return -1;
            }
            fatti += n;
        }
        return quanti;
    }

  private:
    QSaveFile *m_file;
    bool m_fallita = false;
};

} // namespace

bool ScriviFileIntero(const QString &percorso, const std::function<bool(QIODevice *)> &scrivi) {
    IgnoraLimiteDimensione();
    QSaveFile file(percorso);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    ScritturaControllata uscita(&file);
    if (!scrivi(&uscita) || uscita.fallita()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool PortaAlPostoFileIntero(const QString &scritto, const QString &percorso, bool sostituisci) {
    const QByteArray da = QFile::encodeName(scritto);
    const QByteArray a = QFile::encodeName(percorso);
    bool riuscito = SincronizzaFile(scritto);
    if (riuscito) {
        if (sostituisci) {
            riuscito = std::rename(da.constData(), a.constData()) == 0;
        } else {
            // Not replacing is one step where the file system has it.
            const int esito =
                ::renameat2(AT_FDCWD, da.constData(), AT_FDCWD, a.constData(), RENAME_NOREPLACE);
            if (esito == 0)
                riuscito = true;
            else if (errno == EINVAL || errno == ENOSYS)
                riuscito =
                    !QFileInfo::exists(percorso) && std::rename(da.constData(), a.constData()) == 0;
            else
                riuscito = false;
        }
    }
    if (!riuscito) {
        ::unlink(da.constData());
        return false;
    }
    // A failed flush of the folder leaves the file whole under one name or the other.
    SincronizzaCartella(QFileInfo(percorso).absolutePath());
    return true;
}
