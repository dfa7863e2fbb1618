#include "archive/CartellaProgramma.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString cartellaImpostata;
}

QString CartellaProgramma() {
    return cartellaImpostata.isEmpty() ? QCoreApplication::applicationDirPath() : cartellaImpostata;
}

void ImpostaCartellaProgramma(const QString &cartella) {
    cartellaImpostata = cartella;
}

QString PercorsoArchivio() {
    return QDir(CartellaProgramma()).filePath(QStringLiteral("Magazzino.pro"));
}

QString PercorsoFoto(qint64 posizione) {
    return QDir(CartellaProgramma()).filePath(QString::number(posizione) + QStringLiteral(".jpg"));
}
