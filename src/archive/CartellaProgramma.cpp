#include "archive/CartellaProgramma.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

bool FileDatiProgramma(const QString &percorso) {
    if (percorso.isEmpty()) return false;
    const QFileInfo scelto(percorso);
    const QString cartella = QFileInfo(scelto.absolutePath()).canonicalFilePath();
    const QString programma = QFileInfo(CartellaProgramma()).canonicalFilePath();
    if (cartella.isEmpty() || cartella != programma) {
        // The program folder itself, chosen as a file or a folder.
        const QString esso = scelto.canonicalFilePath();
        if (!esso.isEmpty() && esso == programma) return true;
        // The invoices received are kept as they came, in year folders.
        const QString fatture = programma + QStringLiteral("/Fatture/");
        return !programma.isEmpty() && !cartella.isEmpty() &&
               QString(cartella + u'/').startsWith(fatture);
    }
    static const QStringList NOMI = {
        QStringLiteral("Magazzino.pro"),
        QStringLiteral("Magazzino.pro.intento"),
        QStringLiteral("Movimenti.csv"),
        QStringLiteral("Movimenti.csv.indice"),
        QStringLiteral("unins000.dll"),
        QStringLiteral("Backup.ini"),
        QStringLiteral("ArchivioServer.ini"),
        QStringLiteral("ImportaCsv.ini"),
        QStringLiteral("Documenti_Allegati"),
        QStringLiteral("Schede eliminate"),
        QStringLiteral("Ordini"),
        QStringLiteral("Backup"),
        QStringLiteral("Negozio.txt"),
        QStringLiteral("Conteggi"),
        QStringLiteral("Fatture"),
        QStringLiteral("AbbinamentiFatture.json"),
    };
    const QString nome = scelto.fileName();
    if (NOMI.contains(nome)) return true;
    // A card's photo, "<n>.jpg"; any number, so a card added meanwhile is safe too.
    if (!nome.endsWith(QStringLiteral(".jpg"))) return false;
    bool numero = false;
    const qint64 n = QStringView(nome).chopped(4).toLongLong(&numero);
    return numero && n > 0 && !nome.startsWith(u'+') && !nome.startsWith(u'0');
}
