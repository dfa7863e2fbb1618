#include "backup/BackupArchivio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// The folder the archive's copy goes in, inside a working folder made on
// the disk it is needed on: an archive's copy can be large.
QString cartellaDiLavoro(const QTemporaryDir &lavoro) {
    return lavoro.isValid() ? QDir(lavoro.path()).filePath(u"dati"_s) : QString();
}

} // namespace

EsitoBackup EseguiBackupDaCopia(const QString &cartellaProgramma, const QString &cartellaBackup,
                                const QDateTime &ora, const CopieArchivio &copie,
                                const AvanzamentoBackup &avanza) {
    EsitoBackup esito;
    QDir().mkpath(cartellaBackup);
    QTemporaryDir lavoro(QDir(cartellaBackup).filePath(u".Quadrelo_copia_XXXXXX"_s));
    const QString dati = cartellaDiLavoro(lavoro);
    if (dati.isEmpty()) {
        esito.messaggio =
            u"Attenzione: non è possibile scrivere nella cartella dei backup %1."_s.arg(
                QDir::toNativeSeparators(cartellaBackup));
        return esito;
    }
    QString messaggio;
    if (!copie.versoCartella(dati, messaggio)) {
        esito.messaggio = u"Attenzione: il backup non è stato eseguito: l'archivio non può essere "
                          u"letto.\n\n"_s +
                          messaggio;
        return esito;
    }
    if (!CopiaDatiDellaPostazione(cartellaProgramma, dati)) {
        esito.messaggio = u"Attenzione: il backup non è stato eseguito: i file della cartella del "
                          u"programma non possono essere copiati nella cartella dei backup."_s;
        return esito;
    }
    return EseguiBackup(dati, cartellaBackup, ora, avanza);
}

EsitoRipristino RipristinaInCopia(const QString &zip, const QString &cartellaProgramma,
                                  const CopieArchivio &copie, const AvanzamentoBackup &avanza) {
    EsitoRipristino esito;
    // Beside the program folder, where the restore of a folder extracts too.
    const QString sopra = QFileInfo(QDir(cartellaProgramma).absolutePath()).absolutePath();
    QTemporaryDir lavoro(QDir(sopra).filePath(u".Quadrelo_copia_XXXXXX"_s));
    const QString dati = cartellaDiLavoro(lavoro);
    if (dati.isEmpty() || !QDir().mkpath(dati)) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito: non è possibile "
                          u"creare una cartella accanto alla cartella del programma. I dati "
                          u"attuali non sono stati toccati."_s;
        return esito;
    }
    // The zip's members checked on the way out, into a folder of nobody's.
    const EsitoRipristino estratto = RipristinaBackup(zip, dati, avanza);
    if (!estratto.riuscito) {
        esito.messaggio = estratto.messaggio;
        return esito;
    }
    QString messaggio;
    if (!copie.daCartella(dati, messaggio)) {
        esito.messaggio = u"Attenzione: il ripristino non è stato eseguito e l'archivio è rimasto "
                          u"come era.\n\n"_s +
                          messaggio;
        return esito;
    }
    esito.riuscito = true;
    return esito;
}
