#include "archive/FotoScheda.h"

#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

namespace {

qint64 numeroPosizione(const QString &posizione) {
    bool ok = false;
    const qint64 n = Rifila(posizione).toLongLong(&ok);
    return ok && n > 0 ? n : 0;
}

} // namespace

QImage LeggiImmagine(const QString &percorso, QByteArray *originale) {
    if (originale) originale->clear();
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly)) return QImage();
    QByteArray byte = file.readAll();
    if (file.error() != QFileDevice::NoError) return QImage();
    return ImmagineDaByte(std::move(byte), originale);
}

QImage ImmagineDaByte(QByteArray byte, QByteArray *originale) {
    if (originale) originale->clear();
    // Decoded by content, whatever the name says.
    QBuffer sorgente(&byte);
    sorgente.open(QIODevice::ReadOnly);
    QImageReader lettore(&sorgente);
    const bool jpeg = lettore.format() == "jpeg";
    const QImage immagine = lettore.read();
    if (!immagine.isNull() && jpeg && originale) *originale = std::move(byte);
    return immagine;
}

QImage CaricaFotoScheda(const QString &posizione, QByteArray *originale) {
    if (originale) originale->clear();
    const qint64 n = numeroPosizione(posizione);
    return n > 0 ? LeggiImmagine(PercorsoFoto(n), originale) : QImage();
}

bool SalvaFotoScheda(const QString &posizione, const QImage &foto, const QByteArray &originale) {
    const qint64 n = numeroPosizione(posizione);
    if (n == 0 || foto.isNull()) return false;
    if (!originale.isEmpty()) {
        QFile attuale(PercorsoFoto(n));
        if (attuale.size() == originale.size() && attuale.open(QIODevice::ReadOnly) &&
            attuale.readAll() == originale)
            return true;
    }
    return ScriviImmagine(PercorsoFoto(n), foto, originale);
}

QByteArray ByteJpeg(const QImage &foto, const QByteArray &originale) {
    if (!originale.isEmpty()) return originale;
    QByteArray byte;
    QBuffer uscita(&byte);
    uscita.open(QIODevice::WriteOnly);
    QImageWriter scrittore(&uscita, "jpg");
    scrittore.setQuality(90);
    return scrittore.write(foto) ? byte : QByteArray();
}

bool ScriviImmagine(const QString &percorso, const QImage &immagine, const QByteArray &originale) {
    if (immagine.isNull()) return false;
    QByteArray formato = QFileInfo(percorso).suffix().toLower().toLatin1();
    if (formato == "jpeg") formato = "jpg";
    if (formato.isEmpty() || !QImageWriter::supportedImageFormats().contains(formato)) return false;
    return ScriviFileIntero(percorso, [&](QIODevice *uscita) {
        if (formato == "jpg" && !originale.isEmpty())
            return uscita->write(originale) == originale.size();
        QImageWriter scrittore(uscita, formato);
        if (formato == "jpg") scrittore.setQuality(90);
        return scrittore.write(immagine);
    });
}
