#include "journal/Eliminazione.h"

#include "archive/Archivio.h"
#include "archive/FileDiretto.h"
#include "journal/Movimenti.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString nomeFoto(qint64 posizione) {
    return QString::number(posizione) + u".jpg"_s;
}

const QString CARTELLA_ELIMINATE = u"Schede eliminate"_s;

QString nomeConservata(const QString &chiave) {
    return CARTELLA_ELIMINATE + u'/' + NomeFotoEliminata(chiave);
}

// The copy is written under a name of its own beside it, which the intent
// record names too, so a copy cut short goes with the removal undone rather
// than staying in the folder under a random name.
QString nomeProvvisorio(const QString &nome) {
    return nome + u".nuovo"_s;
}

bool copia(const QString &da, const QString &a) {
    QFile origine(da);
    if (!origine.open(QIODevice::ReadOnly)) return false;
    const QByteArray byte = origine.readAll();
    if (origine.error() != QFile::NoError) return false;
    const QString provvisorio = nomeProvvisorio(a);
    const int fd = ApriFileRegolare(provvisorio, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0) return false;
    bool riuscito = ScriviTutto(fd, byte.constData(), byte.size(), 0) && ::fsync(fd) == 0;
    ::close(fd);
    riuscito = riuscito && ::rename(QFile::encodeName(provvisorio).constData(),
                                    QFile::encodeName(a).constData()) == 0;
    if (!riuscito) {
        QFile::remove(provvisorio);
        return false;
    }
    SincronizzaCartella(QFileInfo(a).absolutePath());
    return true;
}

QString nomiAllegati(const TScheda &scheda) {
    QStringList nomi;
    for (Campo c : {Campo::File01, Campo::File02, Campo::File03})
        if (!scheda.testo(c).isEmpty()) nomi << scheda.testo(c);
    return nomi.join(u", "_s);
}

} // namespace

QString ChiaveEliminazione(qint64 posizione) {
    return QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmsszzz"_s) + u'-' +
           QString::number(posizione);
}

QString NomeFotoEliminata(const QString &chiave) {
    return chiave + u".jpg"_s;
}

Movimento RigaEliminazione(qint64 posizione, const TScheda &attesa, const QString &chiave,
                           bool conFoto) {
    const qint64 giacenza = GiacenzaDi(attesa).value_or(0);
    Movimento eliminazione =
        MovimentoScheda(attesa, posizione, TipoMovimento::Eliminazione, -giacenza, giacenza);
    eliminazione.dati =
        QByteArray(reinterpret_cast<const char *>(attesa.byte.data()), TScheda::DIMENSIONE) +
        chiave.toUtf8();
    QString nota = conFoto ? u"Foto conservata: "_s + nomeConservata(chiave) : u"Senza foto"_s;
    if (!nomiAllegati(attesa).isEmpty()) nota += u"; allegati: "_s + nomiAllegati(attesa);
    eliminazione.nota = nota;
    return eliminazione;
}

Movimento RigaSpostamento(const TScheda &spostata, qint64 posizione, qint64 spostataDa) {
    const qint64 suaGiacenza = GiacenzaDi(spostata).value_or(0);
    Movimento spostamento =
        MovimentoScheda(spostata, posizione, TipoMovimento::Spostamento, 0, suaGiacenza);
    spostamento.dati = QByteArray::number(spostataDa);
    spostamento.nota = u"Spostata dalla posizione "_s + QString::number(spostataDa) +
                       u" alla posizione "_s + QString::number(posizione);
    return spostamento;
}

Movimento RigaRipristino(const SchedaEliminata &eliminata) {
    const qint64 giacenza = GiacenzaDi(eliminata.scheda).value_or(0);
    Movimento ripristino = MovimentoScheda(
        eliminata.scheda, 0, TipoMovimento::Ripristino, giacenza, 0,
        u"Scheda eliminata il "_s + eliminata.movimento.quando.toString(u"dd/MM/yyyy HH:mm"_s) +
            u" dalla posizione "_s + QString::number(eliminata.movimento.posizione));
    ripristino.dati = eliminata.chiave.toUtf8();
    return ripristino;
}

QString CartellaEliminate(const QString &archivio) {
    return QFileInfo(archivio).dir().filePath(CARTELLA_ELIMINATE);
}

EsitoEliminazione EliminaScheda(qint64 posizione, const TScheda &attesa, const QString &archivio,
                                const QString &giornale) {
    EsitoEliminazione esito;
    const QDir cartella = QFileInfo(archivio).absoluteDir();
    const QString chiave = ChiaveEliminazione(posizione);

    const QString suaFoto = cartella.filePath(nomeFoto(posizione));
    const QString conservata = cartella.filePath(nomeConservata(chiave));
    const bool conFoto = QFile::exists(suaFoto);

    // The journal keeps the whole record: its line is what makes the removal
    // final, so a crash before it leaves the card in the archive.
    const Movimento eliminazione = RigaEliminazione(posizione, attesa, chiave, conFoto);

    Conclusione conclusione;
    conclusione.prepara = [&](qint64 spostataDa) {
        ConclusioneIntento fine = FinaleNelGiornale(archivio, giornale, eliminazione.dati);
        // The kept photo goes if the removal is undone, by this copy or the next.
        if (conFoto)
            fine.annullando << nomeConservata(chiave) << nomeProvvisorio(nomeConservata(chiave));
        // The moved card takes its photo with it; the removed card's is kept.
        if (spostataDa > 0 && QFile::exists(cartella.filePath(nomeFoto(spostataDa))))
            fine.dopo << ConclusioneIntento::Rinomina{nomeFoto(spostataDa), nomeFoto(posizione)};
        else
            fine.dopo << ConclusioneIntento::Rinomina{nomeFoto(posizione), QString()};
        return fine;
    };
    // The photo is kept once the intent record names it and before the
    // archive changes, so no step of the removal can lose it and none leaves
    // a copy of it behind.
    conclusione.iniziata = [&] {
        if (!conFoto) return true;
        QDir().mkpath(CartellaEliminate(archivio));
        return copia(suaFoto, conservata);
    };
    conclusione.scrivi = [&](qint64 spostataDa) {
        QList<Movimento> righe{eliminazione};
        if (spostataDa > 0) righe << RigaSpostamento(esito.spostata, posizione, spostataDa);
        return RegistraMovimenti(righe, giornale);
    };

    Archivio file(archivio);
    TScheda tolta;
    const bool fatta =
        file.ApriArchivio() &&
        file.togli(
            posizione, [&attesa](const TScheda &suDisco) { return suDisco.byte == attesa.byte; },
            tolta, esito.spostata, esito.spostataDa, &conclusione);
    file.chiudi();
    if (fatta) {
        esito.esito = EsitoEliminazione::Fatta;
        return esito;
    }
    esito.errore = file.errore();
    esito.esito = file.errore() == ESTALE      ? EsitoEliminazione::NonPiuLaStessa
                  : file.errore() == ECANCELED ? EsitoEliminazione::GiornaleNonScritto
                                               : EsitoEliminazione::ErroreArchivio;
    if (conFoto) QFile::remove(conservata);
    return esito;
}

QList<SchedaEliminata> SchedeEliminate(const QString &giornale, qint64 *danneggiate) {
    QList<SchedaEliminata> eliminate;
    QSet<QString> ripristinate;
    const LetturaGiornale lettura = LeggiGiornale(
        giornale,
        [](QByteArrayView riga, char separatore) {
            // A line whose kind does not read is decoded, and counted if damaged.
            const auto tipo = TipoDiRiga(riga, separatore);
            return !tipo || tipo == TipoMovimento::Eliminazione ||
                   tipo == TipoMovimento::Ripristino;
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

EsitoRipristinoScheda RipristinaScheda(const SchedaEliminata &eliminata, const QString &archivio,
                                       const QString &giornale) {
    EsitoRipristinoScheda esito;
    const QDir cartella = QFileInfo(archivio).absoluteDir();
    Movimento ripristino = RigaRipristino(eliminata);

    // As for a removal, the journal line makes it final: without it the card
    // would stay among the removed ones and could be brought back twice.
    Conclusione conclusione;
    conclusione.prepara = [&](qint64 posizione) {
        ConclusioneIntento fine = FinaleNelGiornale(archivio, giornale, ripristino.dati);
        const QString conservata = nomeConservata(eliminata.chiave);
        if (QFile::exists(cartella.filePath(conservata)))
            fine.dopo << ConclusioneIntento::Rinomina{conservata, nomeFoto(posizione)};
        else
            fine.dopo << ConclusioneIntento::Rinomina{nomeFoto(posizione), QString()};
        return fine;
    };
    // Checked under the journal's lock, as the line is appended: another
    // copy that brought the card back meanwhile has its line there, and this
    // append is then undone.
    bool giaRipristinata = false;
    conclusione.scrivi = [&](qint64 posizione) {
        ripristino.posizione = posizione;
        const Registrazione r = RegistraMovimentiSe(
            {ripristino}, giornale,
            [](QByteArrayView riga, char separatore) {
                const auto tipo = TipoDiRiga(riga, separatore);
                return !tipo || tipo == TipoMovimento::Ripristino;
            },
            [&](const Movimento &m) {
                return m.tipo == TipoMovimento::Ripristino && m.dati == ripristino.dati;
            });
        giaRipristinata = r == Registrazione::Rifiutata;
        return r == Registrazione::Fatta;
    };
    Archivio file(archivio);
    const qint64 posizione =
        file.ApriArchivio()
            ? file.scriviInsieme(
                  {}, {}, 1, [&](qint64, TScheda &scheda) { scheda = eliminata.scheda; },
                  &conclusione)
            : -1;
    file.chiudi();
    if (posizione > 0) {
        esito.esito = EsitoRipristinoScheda::Fatto;
        esito.posizione = posizione;
        return esito;
    }
    esito.errore = file.errore();
    esito.esito = giaRipristinata              ? EsitoRipristinoScheda::GiaRipristinata
                  : file.errore() == ECANCELED ? EsitoRipristinoScheda::GiornaleNonScritto
                                               : EsitoRipristinoScheda::ErroreArchivio;
    return esito;
}
