#include "storage/DepositoFile.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/FileDiretto.h"
#include "archive/FileIntero.h"
#include "journal/Eliminazione.h"
#include "journal/Movimenti.h"
#include "journal/StessaScheda.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool leggiFile(const QString &percorso, QByteArray &byte, bool &esiste) {
    const QFileInfo info(percorso);
    esiste = info.exists();
    byte.clear();
    if (!esiste) return true;
    if (!info.isFile()) return false;
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly)) return false;
    byte = file.readAll();
    return file.error() == QFile::NoError;
}

bool scriviFile(const QString &percorso, const QByteArray &byte) {
    QDir().mkpath(QFileInfo(percorso).absolutePath());
    return ScriviFileIntero(percorso,
                            [&byte](QIODevice *d) { return d->write(byte) == byte.size(); });
}

} // namespace

bool NomeAllegatoValido(const QString &nome) {
    if (nome.isEmpty() || QDir::isAbsolutePath(nome)) return false;
    for (const QString &parte : nome.split(u'/'))
        if (parte.isEmpty() || parte == u"."_s || parte == u".."_s) return false;
    return true;
}

QStringList FileSotto(const QString &cartella) {
    QStringList nomi;
    const QDir radice(cartella);
    QDirIterator it(cartella, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        nomi << radice.relativeFilePath(it.next());
    nomi.sort();
    return nomi;
}

void CopiaCampo(TScheda &verso, const TScheda &da, Campo campo) {
    const auto &d = definizione(campo);
    std::memcpy(verso.byte.data() + d.offset, da.byte.data() + d.offset,
                std::size_t(d.massimo + 1));
}

DepositoFile::DepositoFile(const QString &cartella) : m_cartella(cartella) {}

QString DepositoFile::archivio() const {
    return QDir(m_cartella).filePath(u"Magazzino.pro"_s);
}

QString DepositoFile::giornale() const {
    return QDir(m_cartella).filePath(u"Movimenti.csv"_s);
}

QString DepositoFile::cartellaAllegati() const {
    return QDir(m_cartella).filePath(u"Documenti_Allegati"_s);
}

bool DepositoFile::errore(const QString &messaggio) {
    m_messaggio = messaggio;
    return false;
}

qint64 DepositoFile::conta() {
    Archivio file(archivio());
    const qint64 n = file.ApriArchivio() ? file.conta() : -1;
    if (n < 0) errore(MessaggioAccessoArchivio(archivio()));
    return n;
}

bool DepositoFile::leggi(qint64 posizione, TScheda &scheda) {
    Archivio file(archivio());
    if (file.ApriArchivio() && file.leggi(posizione, scheda)) return true;
    return errore(MessaggioAccessoArchivio(archivio()));
}

Deposito::Salvataggio DepositoFile::scriviConRighe(qint64 posizione, const TScheda &scheda,
                                                   qint64 delta, const RigheDelta &righe) {
    Salvataggio esito;
    Archivio file(archivio());
    if (!file.ApriArchivio()) {
        errore(MessaggioAccessoArchivio(archivio()));
        return esito;
    }
    const qint64 n = file.conta();
    if (posizione < 1 || posizione > n) {
        esito.esito = n < 0 ? Salvataggio::Errore : Salvataggio::NonTrovata;
        errore(MessaggioAccessoArchivio(archivio()));
        return esito;
    }
    if (delta == 0) {
        // The stock stays as stored, byte for byte.
        const bool scritto = file.aggiorna(posizione, [&](TScheda &suDisco) {
            const TScheda vecchia = suDisco;
            suDisco = scheda;
            CopiaCampo(suDisco, vecchia, Campo::Giacenza);
            const auto g = GiacenzaDi(suDisco);
            esito.prima = esito.dopo = g.value_or(0);
            return true;
        });
        if (scritto)
            esito.esito = Salvataggio::Fatto;
        else
            errore(MessaggioScritturaArchivio(file.errore()));
        return esito;
    }
    QList<Movimento> movimenti;
    bool scrittoGiornale = false;
    Conclusione conclusione =
        ConclusioneDeiMovimenti(archivio(), giornale(), movimenti, scrittoGiornale, [](qint64) {});
    bool rifiutata = false;
    const auto aggiorna = [&](qint64, TScheda &suDisco) {
        const auto prima = GiacenzaDi(suDisco);
        if (!prima) {
            esito.esito = Salvataggio::GiacenzaNonIntera;
            rifiutata = true;
            return false;
        }
        if (!GiacenzaArchiviabile(*prima + delta)) {
            esito.esito = Salvataggio::FuoriCampo;
            esito.prima = *prima;
            rifiutata = true;
            return false;
        }
        esito.prima = *prima;
        esito.dopo = *prima + delta;
        suDisco = scheda;
        suDisco.impostaTesto(Campo::Giacenza, QString::number(esito.dopo));
        movimenti = righe(esito.prima, suDisco);
        return true;
    };
    if (file.scriviInsieme({posizione}, aggiorna, 0, {}, &conclusione) > 0) {
        esito.esito = Salvataggio::Fatto;
        return esito;
    }
    if (rifiutata) {
        errore(esito.esito == Salvataggio::GiacenzaNonIntera
                   ? u"Attenzione: la giacenza in archivio non è un numero intero di pezzi."_s
                   : u"Attenzione: la giacenza non entra nel campo della scheda."_s);
        return esito;
    }
    esito.esito = Salvataggio::Errore;
    errore(file.errore() == ECANCELED ? MessaggioGiornaleNonScritto()
                                      : MessaggioScritturaArchivio(file.errore()));
    return esito;
}

qint64 DepositoFile::accoda(const TScheda &scheda) {
    Archivio file(archivio());
    const qint64 posizione = file.ApriArchivio() ? file.accoda(scheda) : -1;
    if (posizione < 0) errore(MessaggioScritturaArchivio(file.errore()));
    return posizione;
}

qint64 DepositoFile::accodaConRighe(const TScheda &scheda,
                                    const std::function<QList<Movimento>(qint64)> &righe) {
    if (!righe) return accoda(scheda);
    // The card and its lines together, as for a save.
    Archivio file(archivio());
    if (!file.ApriArchivio()) return errore(MessaggioAccessoArchivio(archivio())), -1;
    QList<Movimento> movimenti;
    bool registrati = false;
    const Conclusione conclusione =
        ConclusioneDeiMovimenti(archivio(), giornale(), movimenti, registrati,
                                [&](qint64 posizione) { movimenti = righe(posizione); });
    const qint64 posizione = file.scriviInsieme(
        {}, {}, 1, [&](qint64, TScheda &nuova) { nuova = scheda; }, &conclusione);
    if (posizione < 0)
        errore(file.errore() == ECANCELED ? MessaggioGiornaleNonScritto()
                                          : MessaggioScritturaArchivio(file.errore()));
    return posizione;
}

Deposito::Rimozione DepositoFile::togli(qint64 posizione, const TScheda &attesa) {
    Rimozione esito;
    const EsitoEliminazione e = EliminaScheda(posizione, attesa, archivio(), giornale());
    esito.spostataDa = e.spostataDa;
    switch (e.esito) {
    case EsitoEliminazione::Fatta:
        esito.esito = Rimozione::Fatta;
        break;
    case EsitoEliminazione::NonPiuLaStessa:
        esito.esito = Rimozione::NonPiuLaStessa;
        errore(u"Attenzione: la scheda è stata cambiata da un'altra postazione."_s);
        break;
    case EsitoEliminazione::GiornaleNonScritto:
        errore(MessaggioGiornaleNonScritto());
        break;
    case EsitoEliminazione::ErroreArchivio:
        errore(MessaggioScritturaArchivio(e.errore));
        break;
    }
    return esito;
}

QList<Deposito::Eliminata> DepositoFile::eliminate() {
    QList<Eliminata> elenco;
    for (const SchedaEliminata &e : SchedeEliminate(giornale()))
        elenco << Eliminata{e.chiave, e.scheda, e.movimento};
    return elenco;
}

qint64 DepositoFile::ripristina(const Eliminata &eliminata) {
    const EsitoRipristinoScheda e =
        RipristinaScheda(SchedaEliminata{eliminata.movimento, eliminata.scheda, eliminata.chiave},
                         archivio(), giornale());
    if (e.esito == EsitoRipristinoScheda::Fatto) return e.posizione;
    errore(e.esito == EsitoRipristinoScheda::GiaRipristinata
               ? u"Attenzione: la scheda è già stata ripristinata."_s
               : MessaggioScritturaArchivio(e.errore));
    return -1;
}

bool DepositoFile::scorri(const VisitaBlocco &visita) {
    Archivio file(archivio());
    const qint64 n = file.ApriArchivio() ? file.conta() : -1;
    if (n < 0) return errore(MessaggioAccessoArchivio(archivio()));
    bool fermato = false;
    const bool letto = file.scorri(1, n, [&](const TScheda *schede, qint64 quante, qint64 prima) {
        fermato = !visita(schede, quante, prima);
        return !fermato;
    });
    return letto || fermato || errore(MessaggioAccessoArchivio(archivio()));
}

bool DepositoFile::cerca(const QString &testo, const QList<Campo> &campi,
                         QList<qint64> &posizioni) {
    posizioni.clear();
    return scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        for (qint64 i = 0; i < quante; ++i)
            for (Campo c : campi)
                if (schede[i].testo(c).contains(testo, Qt::CaseInsensitive)) {
                    posizioni << prima + i;
                    break;
                }
        return true;
    });
}

qint64 DepositoFile::scriviInsieme(const std::vector<qint64> &posizioni,
                                   const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                                   qint64 nuove,
                                   const std::function<void(qint64 indice, TScheda &)> &prepara,
                                   const Conclusione *conclusione) {
    Archivio file(archivio());
    const qint64 prima = file.ApriArchivio()
                             ? file.scriviInsieme(posizioni, aggiorna, nuove, prepara, conclusione)
                             : -1;
    if (prima < 0)
        errore(file.errore() == ECANCELED ? MessaggioGiornaleNonScritto()
                                          : MessaggioScritturaArchivio(file.errore()));
    return prima;
}

qint64 DepositoFile::insieme(const std::vector<qint64> &posizioni,
                             const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                             qint64 nuove,
                             const std::function<void(qint64 indice, TScheda &)> &prepara,
                             const QList<Movimento> &movimenti) {
    QList<Movimento> righe = movimenti;
    bool scrittoGiornale = false;
    Conclusione conclusione =
        ConclusioneDeiMovimenti(archivio(), giornale(), righe, scrittoGiornale, [](qint64) {});
    return scriviInsieme(posizioni, aggiorna, nuove, prepara,
                         righe.isEmpty() ? nullptr : &conclusione);
}

qint64 DepositoFile::insiemeConRighe(const std::vector<qint64> &posizioni,
                                     const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                                     qint64 nuove,
                                     const std::function<void(qint64 indice, TScheda &)> &prepara,
                                     const RigheInsieme &righe) {
    QList<Movimento> movimenti;
    bool scrittoGiornale = false;
    Conclusione conclusione =
        ConclusioneDeiMovimenti(archivio(), giornale(), movimenti, scrittoGiornale,
                                [&](qint64 prima) { movimenti = righe(prima); });
    return scriviInsieme(posizioni, aggiorna, nuove, prepara, &conclusione);
}

bool DepositoFile::registra(const QList<Movimento> &movimenti) {
    return RegistraMovimenti(movimenti, giornale()) || errore(MessaggioGiornaleNonScritto());
}

bool DepositoFile::movimentiScheda(qint64 posizione, QList<Movimento> &movimenti) {
    movimenti.clear();
    const LetturaGiornale l = LeggiGiornale(
        giornale(),
        [posizione](QByteArrayView riga, char separatore) {
            return PosizioneDiRiga(riga, separatore) == posizione;
        },
        [&](const Movimento &m, qint64) {
            movimenti << m;
            return true;
        });
    return l.aperto || errore(AvvisoGiornaleIlleggibile(giornale()));
}

bool DepositoFile::movimentiPeriodo(const QDateTime &da, const QDateTime &a,
                                    QList<Movimento> &movimenti) {
    movimenti.clear();
    const LetturaGiornale l = LeggiGiornale(
        giornale(), [](QByteArrayView, char) { return true; },
        [&](const Movimento &m, qint64) {
            if (m.quando >= da && m.quando < a) movimenti << m;
            return true;
        });
    return l.aperto || errore(AvvisoGiornaleIlleggibile(giornale()));
}

bool DepositoFile::leggiFoto(qint64 posizione, QByteArray &foto) {
    bool esiste = false;
    return leggiFile(QDir(m_cartella).filePath(QString::number(posizione) + u".jpg"_s), foto,
                     esiste) ||
           errore(u"Attenzione: la foto della scheda non può essere letta."_s);
}

bool DepositoFile::scriviFoto(qint64 posizione, const QByteArray &foto) {
    return scriviFile(QDir(m_cartella).filePath(QString::number(posizione) + u".jpg"_s), foto) ||
           errore(u"Attenzione: la foto della scheda non può essere scritta."_s);
}

bool DepositoFile::allegati(QStringList &nomi) {
    nomi = FileSotto(cartellaAllegati());
    return true;
}

bool DepositoFile::leggiAllegato(const QString &nome, QByteArray &byte) {
    bool esiste = false;
    if (NomeAllegatoValido(nome) &&
        leggiFile(QDir(cartellaAllegati()).filePath(nome), byte, esiste) && esiste)
        return true;
    return errore(u"Attenzione: l'allegato \u00AB"_s + nome + u"\u00BB non può essere letto."_s);
}

bool DepositoFile::scriviAllegato(const QString &nome, const QByteArray &byte) {
    if (NomeAllegatoValido(nome) && scriviFile(QDir(cartellaAllegati()).filePath(nome), byte))
        return true;
    return errore(u"Attenzione: l'allegato \u00AB"_s + nome + u"\u00BB non può essere scritto."_s);
}

namespace {

// The journal's lines that `scegli` keeps, as written, with their offsets.
bool righeDelFile(const QString &giornale,
                  const std::function<bool(QByteArrayView riga, char separatore)> &scegli,
                  const Deposito::VisitaRigaGrezza &visita, qint64 da = 0) {
    const Descrittore file(ApriFileRegolare(giornale, O_RDONLY));
    if (file.fd < 0) return errno == ENOENT;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return false;
    char separatore = ';';
    // From a mark on: the separator is the header's, at the file's start.
    if (da > 0 && !ScorriRigheGiornale(file.fd, 0, info.st_size, true,
                                       [&](GenereRiga genere, QByteArrayView riga, qint64) {
                                           if (genere == GenereRiga::Intestazione &&
                                               !riga.isEmpty())
                                               separatore = SeparatoreGiornale(riga);
                                           return false;
                                       }))
        return false;
    return ScorriRigheGiornale(file.fd, std::min<qint64>(da, info.st_size), info.st_size, true,
                               [&](GenereRiga genere, QByteArrayView riga, qint64 offset) {
                                   if (genere == GenereRiga::Intestazione && !riga.isEmpty())
                                       separatore = SeparatoreGiornale(riga);
                                   if (genere != GenereRiga::Movimento) return true;
                                   return !scegli(riga, separatore) ||
                                          visita(riga, separatore, offset);
                               })
        .has_value();
}

} // namespace

bool DepositoFile::righePeriodo(const QDateTime &da, const QDateTime &a,
                                const VisitaRigaGrezza &visita) {
    // The day written in a line is local to the site that wrote it: a day's
    // leeway either side, the caller keeps its own days.
    const QByteArray primo = da.date().addDays(-1).toString(Qt::ISODate).toLatin1();
    const QByteArray ultimo = a.date().addDays(1).toString(Qt::ISODate).toLatin1();
    return righeDelFile(
               giornale(),
               [&](QByteArrayView riga, char separatore) {
                   const QByteArrayView data = DataDiRiga(riga, separatore);
                   if (data.size() < 10) return true;
                   const QByteArrayView giorno = data.first(10);
                   return (giorno >= primo && giorno <= ultimo) ||
                          !QDate::fromString(QString::fromLatin1(giorno), Qt::ISODate).isValid();
               },
               visita) ||
           errore(AvvisoGiornaleIlleggibile(giornale()));
}

bool DepositoFile::righeSchede(const QList<qint64> &posizioni, const VisitaRigaGrezza &visita) {
    return righeDelFile(
               giornale(),
               [&](QByteArrayView riga, char separatore) {
                   const qint64 p = PosizioneDiRiga(riga, separatore);
                   return p < 0 || posizioni.contains(p) || RigaDiSpostamento(riga, separatore) ||
                          RigaDiOrdine(riga, separatore);
               },
               visita) ||
           errore(AvvisoGiornaleIlleggibile(giornale()));
}

bool DepositoFile::rigaGiornale(qint64 numero, Movimento &movimento) {
    const auto m = LeggiMovimentoA(giornale(), numero);
    if (!m) return errore(AvvisoGiornaleIlleggibile(giornale()));
    movimento = *m;
    return true;
}

qint64 DepositoFile::segnoGiornale() {
    const qint64 segno = SegnoGiornale(giornale());
    if (segno < 0) errore(AvvisoGiornaleIlleggibile(giornale()));
    return segno;
}

bool DepositoFile::righeDopo(qint64 segno, const VisitaRigaGrezza &visita) {
    return righeDelFile(
               giornale(), [](QByteArrayView, char) { return true; }, visita, segno) ||
           errore(AvvisoGiornaleIlleggibile(giornale()));
}

bool DepositoFile::cercaCodice(const QString &codice, QList<qint64> &posizioni) {
    posizioni.clear();
    // A code compares byte for byte, capitals aside: the same length at least.
    const qsizetype lunghezza = Cp1252::codifica(codice).size();
    return scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        for (qint64 i = 0; i < quante; ++i)
            if (schede[i].lunghezza(Campo::Codice) == lunghezza) posizioni << prima + i;
        return true;
    });
}
