#include "movements/Eliminazione.h"

#include "archive/Archivio.h"
#include "archive/FileIntero.h"
#include "movements/Movimenti.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

QString foto(const QString &archivio, qint64 posizione) {
    return QFileInfo(archivio).dir().filePath(QString::number(posizione) + u".jpg"_s);
}

QString fotoConservata(const QString &archivio, const QString &chiave) {
    return QDir(CartellaEliminate(archivio)).filePath(chiave + u".jpg"_s);
}

bool copia(const QString &da, const QString &a) {
    QFile origine(da);
    if (!origine.open(QIODevice::ReadOnly)) return false;
    const QByteArray byte = origine.readAll();
    if (origine.error() != QFile::NoError) return false;
    return ScriviFileIntero(a,
                            [&byte](QIODevice *file) { return file->write(byte) == byte.size(); });
}

QString nomiAllegati(const TScheda &scheda) {
    QStringList nomi;
    for (Campo c : {Campo::File01, Campo::File02, Campo::File03})
        if (!scheda.testo(c).isEmpty()) nomi << scheda.testo(c);
    return nomi.join(u", "_s);
}

} // namespace

QString CartellaEliminate(const QString &archivio) {
    return QFileInfo(archivio).dir().filePath(u"Schede eliminate"_s);
}

EsitoEliminazione EliminaScheda(qint64 posizione, const TScheda &attesa, const QString &archivio,
                                const QString &giornale) {
    EsitoEliminazione esito;
    const QDateTime adesso = QDateTime::currentDateTime();
    const QString chiave =
        adesso.toString(u"yyyyMMdd-HHmmsszzz"_s) + u'-' + QString::number(posizione);

    // The photo is kept first, so no step of the removal can lose it.
    const QString suaFoto = foto(archivio, posizione);
    const bool conFoto = QFile::exists(suaFoto);
    if (conFoto) {
        QDir().mkpath(CartellaEliminate(archivio));
        if (!copia(suaFoto, fotoConservata(archivio, chiave))) {
            esito.errore = EIO;
            return esito;
        }
    }

    Archivio file(archivio);
    TScheda tolta;
    if (!file.ApriArchivio() ||
        !file.togli(
            posizione, [&attesa](const TScheda &suDisco) { return suDisco.byte == attesa.byte; },
            tolta, esito.spostata, esito.spostataDa)) {
        esito.errore = file.errore();
        esito.esito = file.errore() == ESTALE ? EsitoEliminazione::NonPiuLaStessa
                                              : EsitoEliminazione::ErroreArchivio;
        file.chiudi();
        if (conFoto) QFile::remove(fotoConservata(archivio, chiave));
        return esito;
    }
    file.chiudi();

    // The moved card takes its photo with it; the removed card's is kept.
    QFile::remove(suaFoto);
    if (esito.spostataDa > 0) {
        const QString daFoto = foto(archivio, esito.spostataDa);
        if (QFile::exists(daFoto)) QFile::rename(daFoto, suaFoto);
    }

    const qint64 giacenza = GiacenzaDi(tolta).value_or(0);
    Movimento eliminazione =
        MovimentoScheda(tolta, posizione, TipoMovimento::Eliminazione, -giacenza, giacenza);
    eliminazione.dati =
        QByteArray(reinterpret_cast<const char *>(tolta.byte.data()), TScheda::DIMENSIONE) +
        chiave.toUtf8();
    QString nota =
        conFoto ? u"Foto conservata: Schede eliminate/"_s + chiave + u".jpg"_s : u"Senza foto"_s;
    if (!nomiAllegati(tolta).isEmpty()) nota += u"; allegati: "_s + nomiAllegati(tolta);
    eliminazione.nota = nota;
    QList<Movimento> righe{eliminazione};
    if (esito.spostataDa > 0) {
        const qint64 suaGiacenza = GiacenzaDi(esito.spostata).value_or(0);
        Movimento spostamento =
            MovimentoScheda(esito.spostata, posizione, TipoMovimento::Spostamento, 0, suaGiacenza);
        spostamento.dati = QByteArray::number(esito.spostataDa);
        spostamento.nota = u"Spostata dalla posizione "_s + QString::number(esito.spostataDa) +
                           u" alla posizione "_s + QString::number(posizione);
        righe << spostamento;
    }
    esito.esito = RegistraMovimenti(righe, giornale) ? EsitoEliminazione::Fatta
                                                     : EsitoEliminazione::GiornaleNonScritto;
    return esito;
}

QList<SchedaEliminata> SchedeEliminate(const QString &giornale, qint64 *danneggiate) {
    QList<SchedaEliminata> eliminate;
    QSet<QString> ripristinate;
    char cercaE[] = ";Eliminazione;";
    char cercaR[] = ";Ripristino;";
    const LetturaGiornale lettura = LeggiGiornale(
        giornale,
        [&](QByteArrayView riga, char separatore) {
            cercaE[0] = cercaE[sizeof cercaE - 2] = separatore;
            cercaR[0] = cercaR[sizeof cercaR - 2] = separatore;
            return riga.indexOf(QByteArrayView(cercaE, sizeof cercaE - 1)) >= 0 ||
                   riga.indexOf(QByteArrayView(cercaR, sizeof cercaR - 1)) >= 0;
        },
        [&](const Movimento &m, qint64) {
            if (m.tipo == TipoMovimento::Ripristino) {
                ripristinate.insert(QString::fromUtf8(m.dati));
            } else if (m.tipo == TipoMovimento::Eliminazione &&
                       m.dati.size() > TScheda::DIMENSIONE) {
                SchedaEliminata e;
                e.movimento = m;
                std::copy_n(m.dati.constData(), TScheda::DIMENSIONE, e.scheda.byte.begin());
                e.chiave = QString::fromUtf8(m.dati.mid(TScheda::DIMENSIONE));
                eliminate << e;
            }
            return true;
        });
    if (danneggiate) *danneggiate = lettura.danneggiate;
    eliminate.removeIf(
        [&ripristinate](const SchedaEliminata &e) { return ripristinate.contains(e.chiave); });
    std::reverse(eliminate.begin(), eliminate.end());
    return eliminate;
}

qint64 RipristinaScheda(const SchedaEliminata &eliminata, const QString &archivio,
                        const QString &giornale, bool *registrato) {
    Archivio file(archivio);
    const qint64 posizione = file.ApriArchivio() ? file.accoda(eliminata.scheda) : -1;
    file.chiudi();
    if (posizione < 1) return -1;
    const QString conservata = fotoConservata(archivio, eliminata.chiave);
    if (QFile::exists(conservata) && copia(conservata, foto(archivio, posizione)))
        QFile::remove(conservata);
    const qint64 giacenza = GiacenzaDi(eliminata.scheda).value_or(0);
    Movimento ripristino = MovimentoScheda(
        eliminata.scheda, posizione, TipoMovimento::Ripristino, giacenza, 0,
        u"Scheda eliminata il "_s + eliminata.movimento.quando.toString(u"dd/MM/yyyy HH:mm"_s) +
            u" dalla posizione "_s + QString::number(eliminata.movimento.posizione));
    ripristino.dati = eliminata.chiave.toUtf8();
    const bool scritto = RegistraMovimenti({ripristino}, giornale);
    if (registrato) *registrato = scritto;
    return posizione;
}
