#include "backup/ImpostazioniBackup.h"

#include "archive/CartellaProgramma.h"
#include "backup/ZipBackup.h"

#include <QDir>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

QSettings impostazioni() {
    return QSettings(QDir(CartellaProgramma()).filePath(u"Backup.ini"_s), QSettings::IniFormat);
}

} // namespace

namespace ImpostazioniBackup {

QString Cartella() {
    const QString scelta = impostazioni().value(u"Backup/Cartella"_s).toString();
    return scelta.isEmpty() ? QDir(CartellaProgramma()).filePath(u"Backup"_s) : scelta;
}

void ImpostaCartella(const QString &cartella) {
    impostazioni().setValue(u"Backup/Cartella"_s, cartella);
}

int Conservati() {
    bool ok = false;
    const int quanti = impostazioni().value(u"Backup/Conservati"_s).toInt(&ok);
    return ok && quanti > 0 ? quanti : BACKUP_CONSERVATI;
}

void ImpostaConservati(int quanti) {
    impostazioni().setValue(u"Backup/Conservati"_s, quanti);
}

} // namespace ImpostazioniBackup
