#include "archive/FotoScheda.h"

#include "archive/CartellaProgramma.h"
#include "archive/RegoleNumeri.h"

#include <QImageWriter>
#include <QSaveFile>

namespace {

qint64 numeroPosizione(const QString &posizione) {
    bool ok = false;
    const qint64 n = Rifila(posizione).toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

} // namespace

QImage CaricaFotoScheda(const QString &posizione) {
    const qint64 n = numeroPosizione(posizione);
    return n > 0 ? QImage(PercorsoFoto(n)) : QImage();
}

bool SalvaFotoScheda(const QString &posizione, const QImage &foto) {
    const qint64 n = numeroPosizione(posizione);
    if (n == 0 || foto.isNull()) return false;
    QSaveFile file(PercorsoFoto(n));
    if (!file.open(QIODevice::WriteOnly)) return false;
    QImageWriter scrittore(&file, "jpg");
    scrittore.setQuality(90);
    if (!scrittore.write(foto)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
