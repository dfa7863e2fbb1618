// The intent record beside the archive, as whoever opens the archive next
// reads it. The input is the record's whole content, put beside an archive of
// three records with a journal and photos of its own:
// - a record that cannot be read whole leaves the archive as it was and the
//   record where it is;
// - an operation found final leaves the archive as it was;
// - no file outside the archive's folder is ever touched.
#include "Verifica.h"
#include "archive/IntentoArchivio.h"
#include "archive/TScheda.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray leggi(const QString &percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void scrivi(const QString &percorso, const QByteArray &byte) {
    QFile file(percorso);
    VERIFICA(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    VERIFICA(file.write(byte) == byte.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    static QTemporaryDir base;
    VERIFICA(base.isValid());
    const QString fuori = base.filePath(QStringLiteral("fuori.jpg"));
    QDir cartella(base.filePath(QStringLiteral("sotto")));
    cartella.removeRecursively();
    VERIFICA(cartella.mkpath(QStringLiteral("Schede eliminate")));
    scrivi(fuori, "fuori");
    QByteArray archivio(3 * TScheda::DIMENSIONE, 'a');
    archivio[TScheda::DIMENSIONE] = 'b';
    const QString percorso = cartella.filePath(QStringLiteral("Magazzino.pro"));
    scrivi(percorso, archivio);
    scrivi(cartella.filePath(QStringLiteral("giornale")), "...FATTO...");
    scrivi(cartella.filePath(QStringLiteral("1.jpg")), "foto 1");
    scrivi(cartella.filePath(QStringLiteral("Schede eliminate/x.jpg")), "foto x");
    const QString registro = IntentoArchivio::percorsoPer(percorso);
    scrivi(registro, QByteArray(reinterpret_cast<const char *>(dati), qsizetype(dimensione)));

    const int fd = ::open(QFile::encodeName(percorso).constData(), O_RDWR | O_CLOEXEC);
    VERIFICA(fd >= 0);
    const Ripristino esito = RipristinaDaIntento(fd, percorso);
    ::close(fd);

    VERIFICA(esito != Ripristino::Nessuno);
    if (esito == Ripristino::Fallito) {
        VERIFICA(leggi(percorso) == archivio);
        VERIFICA(QFile::exists(registro));
    }
    if (esito == Ripristino::Concluso) VERIFICA(leggi(percorso) == archivio);
    if (esito == Ripristino::Fatto) VERIFICA(!QFile::exists(registro));
    VERIFICA(leggi(fuori) == "fuori");
    VERIFICA(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ==
             (QStringList{QStringLiteral("fuori.jpg"), QStringLiteral("sotto")}));
    return 0;
}
