#include "archive/FileIntero.h"

#include "archive/Archivio.h"

#include <QSaveFile>

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
