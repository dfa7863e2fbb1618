#include "archive/Archivio.h"

#include "archive/BloccoFile.h"
#include "archive/CartellaProgramma.h"
#include "archive/FileDiretto.h"
#include "archive/IntentoArchivio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

QString MessaggioAccessoArchivio() {
    return QStringLiteral("Attenzione: il sistema non permette di accedere all'archivio.") +
           QStringLiteral("\n\r\n\r") +
           QStringLiteral("Accertarsi di possedere i privilegi di scrittura nella cartella di "
                          "installazione del programma.");
}

QString MessaggioScritturaArchivio(int errore) {
    switch (errore) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Attenzione: il disco che contiene l'archivio è pieno.") +
               QStringLiteral("\n\r\n\r") +
               QStringLiteral("Liberare spazio sul disco e riprovare.");
    case EFBIG:
        return QStringLiteral("Attenzione: l'archivio ha raggiunto la dimensione massima che il "
                              "sistema consente per un file.");
    case EBADMSG:
        return MessaggioArchivioNonRiconosciuto();
    case EINVAL: {
        const QString nonRegolare = FileNonRegolareAccanto(PercorsoArchivio());
        if (!nonRegolare.isEmpty()) return MessaggioFileNonRegolare(nonRegolare);
        return MessaggioAccessoArchivio();
    }
    default:
        return MessaggioAccessoArchivio();
    }
}

QString MessaggioArchivioNonRiconosciuto() {
    return QStringLiteral("Attenzione: il file \"") + QDir::toNativeSeparators(PercorsoArchivio()) +
           QStringLiteral("\" non è un archivio di Quadrelo (forse è stato sostituito da un "
                          "altro file).") +
           QStringLiteral("\n\r\n\r") +
           QStringLiteral("Il programma non lo modifica: ripristinare l'archivio da un backup.");
}

namespace {

// A file whose length is not whole records and whose first record does not
// read as one (a length byte past its field) is something else saved over
// the archive; it must not be taken for an empty archive and written to.
bool NonEArchivio(int fd, qint64 dimensione) {
    // A first card cut short by a crash is still an archive: its length
    // bytes, as far as they go, are right.
    if (dimensione % TScheda::DIMENSIONE == 0) return false;
    const qint64 letti = std::min<qint64>(dimensione, TScheda::DIMENSIONE);
    TScheda prima;
    if (!LeggiTutto(fd, prima.byte.data(), letti, 0)) return false;
    for (const DefinizioneCampo &campo : CAMPI)
        if (campo.offset < letti && prima.byte[std::size_t(campo.offset)] > campo.massimo)
            return true;
    return false;
}

} // namespace

QString MessaggioAccessoArchivio(const QString &percorso) {
    const QString nonRegolare = FileNonRegolareAccanto(percorso);
    if (!nonRegolare.isEmpty()) return MessaggioFileNonRegolare(nonRegolare);
    return ArchivioNonRiconosciuto(percorso) ? MessaggioArchivioNonRiconosciuto()
                                             : MessaggioAccessoArchivio();
}

QString MessaggioFileNonRegolare(const QString &percorso) {
    return QStringLiteral("Attenzione: \"") + QDir::toNativeSeparators(percorso) +
           QStringLiteral("\" non è un file ordinario (forse una pipe o un dispositivo messo al "
                          "suo posto) e il programma non può usarlo.") +
           QStringLiteral("\n\r\n\r") +
           QStringLiteral("Toglierlo dalla cartella del programma e riprovare.");
}

QString FileNonRegolareAccanto(const QString &archivio) {
    // Its new copy is a leftover of the program's own, whatever it is, and
    // simply goes (RipristinaDaIntento).
    const QString intento = IntentoArchivio::percorsoPer(archivio);
    struct stat info {};
    if (::lstat(QFile::encodeName(intento).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return intento;
    return {};
}

bool ArchivioNonRiconosciuto(const QString &percorso) {
    const int fd = ApriFileRegolare(percorso, O_RDONLY);
    if (fd < 0) return false;
    struct stat info {};
    const bool non = ::fstat(fd, &info) == 0 && NonEArchivio(fd, info.st_size);
    ::close(fd);
    return non;
}

void IgnoraLimiteDimensione() {
    static const bool fatto = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)fatto;
}

namespace {
std::atomic<bool> avvisoRipristino{false};
}

bool PrendiAvvisoRipristino() {
    return avvisoRipristino.exchange(false);
}

QString MessaggioRipristino() {
    return QStringLiteral("Un'operazione sull'archivio (per esempio un'importazione da CSV) era "
                          "stata interrotta prima della fine: è stata annullata e l'archivio è "
                          "tornato com'era prima.");
}

namespace {

std::function<int(int)> &sincronizzazione() {
    static std::function<int(int)> funzione;
    return funzione;
}

// An intent record, or its new copy, in the archive's folder (of any kind).
bool intentoPresente(const QString &archivio) {
    const QString intento = IntentoArchivio::percorsoPer(archivio);
    struct stat info {};
    return ::lstat(QFile::encodeName(intento).constData(), &info) == 0 ||
           ::lstat(QFile::encodeName(intento + QStringLiteral(".nuovo")).constData(), &info) == 0;
}

// For a holder of the whole-file lock: taking and dropping a read lock on a
// range of it would drop the write lock there.
bool leggiSenzaBlocco(int fd, qint64 posizione, TScheda &scheda) {
    return LeggiTutto(fd, scheda.byte.data(), TScheda::DIMENSIONE,
                      (posizione - 1) * TScheda::DIMENSIONE);
}

} // namespace

int SincronizzaArchivio(int fd) {
    const auto &funzione = sincronizzazione();
    return funzione ? funzione(fd) : ::fsync(fd);
}

std::function<int(int)> ImpostaSincronizzazioneArchivio(std::function<int(int)> funzione) {
    return std::exchange(sincronizzazione(), std::move(funzione));
}

bool Archivio::assesta() {
    if (!intentoPresente(m_percorso)) return true;
    // The holder of the whole-file lock is the only one at work: a record
    // here is a dead copy's.
    if (RipristinaDaIntento(m_fd, m_percorso) == Ripristino::Fatto) avvisoRipristino = true;
    // Still there: it could not be read, or its last steps could not be done.
    if (!intentoPresente(m_percorso)) return true;
    m_errore = FileNonRegolareAccanto(m_percorso).isEmpty() ? EIO : EINVAL;
    return false;
}

bool Archivio::assestaPrimaDiScrivere() {
    if (!intentoPresente(m_percorso)) return true;
    const Blocco blocco(m_fd, F_WRLCK, 0, 0);
    return assesta();
}

Archivio::Archivio(QString percorso) : m_percorso(std::move(percorso)) {}

Archivio::Archivio() : Archivio(PercorsoArchivio()) {}

Archivio::~Archivio() {
    chiudi();
}

bool Archivio::ApriArchivio() {
    chiudi();
    const QByteArray nome = QFile::encodeName(m_percorso);
    auto apri = [&nome](int modo) {
        int fd;
        do {
            fd = ::open(nome.constData(), modo | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        return fd;
    };
    m_fd = apri(O_RDWR);
    if (m_fd < 0 && errno == ENOENT) {
        m_fd = apri(O_RDWR | O_CREAT);
        // A new archive's name must outlive a power cut as well as its records.
        if (m_fd >= 0) {
            const QByteArray cartella = QFile::encodeName(QFileInfo(m_percorso).absolutePath());
            const int fdCartella = ::open(cartella.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fdCartella >= 0) {
                SincronizzaArchivio(fdCartella);
                ::close(fdCartella);
            }
        }
    }
    if (m_fd < 0) return false;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        chiudi();
        return false;
    }
    IgnoraLimiteDimensione();
    // An operation a crash cut short is undone by whoever opens next, unless
    // a living copy is still at it (it holds the whole-file lock). A record
    // still beside its place, never renamed, is a leftover and goes.
    // A named pipe in the record's place cannot even be looked at: said.
    if (!FileNonRegolareAccanto(m_percorso).isEmpty()) {
        chiudi();
        m_errore = EINVAL;
        return false;
    }
    if (intentoPresente(m_percorso)) {
        const Blocco blocco(m_fd, F_WRLCK, 0, 0, false);
        if (!blocco.occupato() && RipristinaDaIntento(m_fd, m_percorso) == Ripristino::Fatto)
            avvisoRipristino = true;
    }
    if (::fstat(m_fd, &info) == 0 && NonEArchivio(m_fd, info.st_size)) {
        chiudi();
        m_errore = EBADMSG;
        return false;
    }
    return true;
}

qint64 Archivio::conta() const {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) return -1;
    return qint64(info.st_size) / TScheda::DIMENSIONE;
}

bool Archivio::leggi(qint64 posizione, TScheda &scheda) const {
    return leggi(posizione, &scheda, 1);
}

bool Archivio::leggi(qint64 posizione, TScheda *schede, qint64 quante) const {
    if (m_fd < 0 || posizione < 1 || quante < 1 || posizione > POSIZIONE_MASSIMA ||
        quante > POSIZIONE_MASSIMA - posizione + 1)
        return false;
    const qint64 offset = (posizione - 1) * TScheda::DIMENSIONE;
    const qint64 totale = quante * TScheda::DIMENSIONE;
    // One lock for the whole block: a card being written is read before or after.
    const Blocco blocco(m_fd, F_RDLCK, offset, totale);
    auto *dati = reinterpret_cast<unsigned char *>(schede);
    qint64 letti = 0;
    while (letti < totale) {
        const ssize_t n =
            ::pread(m_fd, dati + letti, std::size_t(totale - letti), off_t(offset + letti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false; // error, or past the end of the file
        letti += n;
    }
    return true;
}

bool Archivio::scorri(qint64 prima, qint64 quante,
                      const std::function<bool(const TScheda *, qint64, qint64)> &visita) const {
    if (m_fd < 0 || prima < 1 || quante < 0 || prima > POSIZIONE_MASSIMA ||
        quante > POSIZIONE_MASSIMA - prima + 1)
        return false;
    // Blocks of 256 records, each mapped and visited under its read lock: a
    // writer waits little, and the pages mapped at once (which the process
    // counts as its memory) are no more than a copied block would take.
    constexpr qint64 BLOCCO = 256;
    static const qint64 pagina = ::sysconf(_SC_PAGESIZE);
    std::vector<TScheda> copia; // where mapping is refused
    for (qint64 fatte = 0; fatte < quante;) {
        const qint64 n = qMin(BLOCCO, quante - fatte);
        const qint64 posizione = prima + fatte;
        const qint64 offset = (posizione - 1) * TScheda::DIMENSIONE;
        const qint64 lunghezza = n * TScheda::DIMENSIONE;
        const Blocco blocco(m_fd, F_RDLCK, offset, lunghezza);
        // Under the lock the file is not cut: its length now holds for the
        // block, and no page past its end is touched.
        struct stat info {};
        if (::fstat(m_fd, &info) != 0 || qint64(info.st_size) < offset + lunghezza) return false;
        const qint64 inizio = offset - offset % pagina;
        const std::size_t mappati = std::size_t(offset + lunghezza - inizio);
        void *mappa = ::mmap(nullptr, mappati, PROT_READ, MAP_SHARED, m_fd, off_t(inizio));
        const TScheda *schede;
        if (mappa != MAP_FAILED) {
            schede = reinterpret_cast<const TScheda *>(static_cast<const char *>(mappa) +
                                                       (offset - inizio));
        } else {
            copia.resize(std::size_t(BLOCCO));
            if (!LeggiTutto(m_fd, copia.data(), lunghezza, offset)) return false;
            schede = copia.data();
        }
        // The lock is held while the block is visited, so a card being
        // written is seen before or after, never half.
        const bool avanti = visita(schede, n, posizione);
        if (mappa != MAP_FAILED) ::munmap(mappa, mappati);
        if (!avanti) break;
        fatte += n;
    }
    return true;
}

bool Archivio::scriviRecord(qint64 offset, const TScheda &scheda) {
    if (!ScriviTutto(m_fd, scheda.byte.data(), sizeof scheda, off_t(offset)) ||
        SincronizzaArchivio(m_fd) != 0) {
        m_errore = errno;
        return false;
    }
    return true;
}

bool Archivio::bloccaRecord(qint64 offset, std::optional<Blocco> &blocco) {
    // An intent record that appears once the record's lock is held was
    // left by a copy that died meanwhile: settled first, then again.
    for (;;) {
        if (!assestaPrimaDiScrivere()) return false;
        blocco.emplace(m_fd, F_WRLCK, offset, TScheda::DIMENSIONE);
        if (!intentoPresente(m_percorso)) return true;
        blocco.reset();
    }
}

bool Archivio::scrivi(qint64 posizione, const TScheda &scheda) {
    // A position past the last whole record would leave a gap of empty
    // records that read as cards. The file only grows, so checking before
    // the lock is enough.
    if (m_fd < 0 || posizione < 1 || posizione > conta()) return false;
    const qint64 offset = (posizione - 1) * TScheda::DIMENSIONE;
    std::optional<Blocco> blocco;
    if (!bloccaRecord(offset, blocco)) return false;
    if (posizione > conta()) return false;
    return scriviRecord(offset, scheda);
}

qint64 Archivio::accoda(const TScheda &scheda) {
    if (m_fd < 0) return -1;
    // The whole file from counting to the flush: two copies appending at once
    // each get a record of their own.
    const Blocco blocco(m_fd, F_WRLCK, 0, 0);
    if (!assesta()) return -1;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) return -1;
    const qint64 lunghezza = info.st_size;
    const qint64 n = lunghezza / TScheda::DIMENSIONE;
    if (n >= POSIZIONE_MASSIMA) return -1;
    const qint64 offset = n * TScheda::DIMENSIONE;

    // The bytes of a partial last record, put back if the append fails.
    std::vector<unsigned char> coda(std::size_t(lunghezza - offset));
    const bool codaLetta = coda.empty() || ::pread(m_fd, coda.data(), coda.size(), off_t(offset)) ==
                                               ssize_t(coda.size());
    if (codaLetta && scriviRecord(offset, scheda)) return n + 1;

    // Whatever reached the file goes, so no card is left on disk that the
    // user was told was not saved, and saving again does not add a copy.
    int esito;
    do {
        esito = ::ftruncate(m_fd, off_t(lunghezza));
    } while (esito != 0 && errno == EINTR);
    if (esito == 0 && codaLetta && !coda.empty())
        ScriviTutto(m_fd, coda.data(), coda.size(), off_t(offset));
    SincronizzaArchivio(m_fd);
    return -1;
}

// New records from `inizio` on, built by `prepara` in blocks of 256, not flushed.
bool Archivio::scriviNuove(qint64 inizio, qint64 quante,
                           const std::function<void(qint64, TScheda &)> &prepara) {
    constexpr qint64 BLOCCO = 256;
    std::vector<TScheda> schede(std::size_t(qMin(BLOCCO, qMax<qint64>(quante, 1))));
    for (qint64 fatti = 0; fatti < quante;) {
        const qint64 n = qMin(qint64(schede.size()), quante - fatti);
        for (qint64 i = 0; i < n; ++i) {
            schede[std::size_t(i)] = TScheda();
            prepara(fatti + i, schede[std::size_t(i)]);
        }
        if (!ScriviTutto(m_fd, schede.front().byte.data(), n * TScheda::DIMENSIONE,
                         inizio + fatti * TScheda::DIMENSIONE)) {
            m_errore = errno;
            return false;
        }
        fatti += n;
        PassoArchivio();
    }
    return true;
}

qint64 Archivio::accodaTutte(qint64 quante, const std::function<void(qint64, TScheda &)> &prepara) {
    if (m_fd < 0 || quante < 0) return -1;
    // The same lock as accoda, over the whole pass.
    const Blocco blocco(m_fd, F_WRLCK, 0, 0);
    if (!assesta()) return -1;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) return -1;
    const qint64 primo = qint64(info.st_size) / TScheda::DIMENSIONE + 1;
    if (quante > POSIZIONE_MASSIMA - primo + 1) return -1;
    // A partial record at the end is overwritten like accoda does; its bytes
    // are kept to be put back if the pass fails.
    const off_t inizio = off_t(primo - 1) * TScheda::DIMENSIONE;
    std::vector<unsigned char> coda(std::size_t(info.st_size - inizio));
    if (!coda.empty() && ::pread(m_fd, coda.data(), coda.size(), inizio) != ssize_t(coda.size()))
        return -1;

    // One flush for the whole pass.
    if (scriviNuove(inizio, quante, prepara) && SincronizzaArchivio(m_fd) == 0) return primo;
    m_errore = errno;

    // Back to the length and bytes from before.
    int esito;
    do {
        esito = ::ftruncate(m_fd, info.st_size);
    } while (esito != 0 && errno == EINTR);
    if (esito == 0 && !coda.empty()) ScriviTutto(m_fd, coda.data(), coda.size(), inizio);
    SincronizzaArchivio(m_fd);
    return -1;
}

// After the operation's last flush. Without a conclusion the operation stays
// once the intent record goes; with one, once its line is written, and the
// record then says so to whoever finishes it, this copy or the next.
bool Archivio::concludi(IntentoArchivio &intento, const Conclusione *conclusione,
                        qint64 posizione) {
    PassoArchivio();
    if (!conclusione || (conclusione->senzaRiga && conclusione->senzaRiga(posizione))) {
        if (intento.rimuovi()) return true;
        m_errore = intento.errore();
        RipristinaDaIntento(m_fd, m_percorso);
        return false;
    }
    const bool scritta = conclusione->scrivi(posizione);
    PassoArchivio();
    if (RipristinaDaIntento(m_fd, m_percorso) == Ripristino::Concluso) return true;
    m_errore = scritta ? EIO : ECANCELED;
    return false;
}

qint64 Archivio::scriviInsieme(const std::vector<qint64> &posizioni,
                               const std::function<bool(qint64, TScheda &)> &aggiorna, qint64 nuove,
                               const std::function<void(qint64, TScheda &)> &prepara,
                               const Conclusione *conclusione) {
    m_errore = 0;
    if (m_fd < 0 || nuove < 0) {
        m_errore = EBADF;
        return -1;
    }
    const Blocco blocco(m_fd, F_WRLCK, 0, 0);
    if (!assesta()) return -1;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        m_errore = errno;
        return -1;
    }
    const qint64 contate = qint64(info.st_size) / TScheda::DIMENSIONE;
    const qint64 primo = contate + 1;
    if (nuove > POSIZIONE_MASSIMA - primo + 1) {
        m_errore = EFBIG;
        return -1;
    }
    const off_t inizio = off_t(contate) * TScheda::DIMENSIONE;

    // First the intent: the length, the bytes of a partial last record that
    // the new ones overwrite, and every record an update changes.
    IntentoArchivio intento(m_percorso);
    const ConclusioneIntento fine =
        conclusione ? conclusione->prepara(primo) : ConclusioneIntento();
    bool riuscito = intento.inizia(info.st_size, conclusione ? &fine : nullptr);
    std::vector<unsigned char> coda(std::size_t(info.st_size - inizio));
    if (riuscito && !coda.empty()) {
        riuscito = ::pread(m_fd, coda.data(), coda.size(), inizio) == ssize_t(coda.size());
        if (!riuscito) m_errore = errno ? errno : EIO;
        riuscito = riuscito && intento.aggiungi(inizio, coda.data(), qint64(coda.size()));
    }
    TScheda scheda;
    for (std::size_t i = 0; riuscito && i < posizioni.size(); ++i) {
        const qint64 p = posizioni[i];
        if (p < 1 || p > contate || !leggiSenzaBlocco(m_fd, p, scheda)) {
            m_errore = ESTALE;
            riuscito = false;
            break;
        }
        riuscito = intento.aggiungi((p - 1) * TScheda::DIMENSIONE, scheda.byte.data(),
                                    TScheda::DIMENSIONE);
        TScheda prova = scheda;
        if (riuscito && !aggiorna(qint64(i), prova)) {
            m_errore = ESTALE;
            riuscito = false;
        }
    }
    riuscito = riuscito && intento.conferma();
    if (!riuscito) {
        if (m_errore == 0) m_errore = intento.errore();
        return -1;
    }
    if (conclusione && conclusione->iniziata && !conclusione->iniziata()) {
        m_errore = EIO;
        RipristinaDaIntento(m_fd, m_percorso);
        return -1;
    }

    // Then the records. The updates are built again from what is on disk,
    // which has not changed under the lock.
    for (std::size_t i = 0; riuscito && i < posizioni.size(); ++i) {
        const qint64 p = posizioni[i];
        riuscito = leggiSenzaBlocco(m_fd, p, scheda) && aggiorna(qint64(i), scheda) &&
                   ScriviTutto(m_fd, scheda.byte.data(), TScheda::DIMENSIONE,
                               off_t(p - 1) * TScheda::DIMENSIONE);
        if (!riuscito) m_errore = errno ? errno : EIO;
        PassoArchivio();
    }
    riuscito = riuscito && scriviNuove(inizio, nuove, prepara);
    if (riuscito && SincronizzaArchivio(m_fd) != 0) {
        m_errore = errno ? errno : EIO;
        riuscito = false;
    }
    if (riuscito) return concludi(intento, conclusione, primo) ? primo : -1;
    // Back as before, from the intent record.
    RipristinaDaIntento(m_fd, m_percorso);
    return -1;
}

bool Archivio::togli(qint64 posizione, const std::function<bool(const TScheda &)> &verifica,
                     TScheda &tolta, TScheda &spostata, qint64 &spostataDa,
                     const Conclusione *conclusione) {
    m_errore = 0;
    spostataDa = 0;
    if (m_fd < 0) {
        m_errore = EBADF;
        return false;
    }
    const Blocco blocco(m_fd, F_WRLCK, 0, 0);
    if (!assesta()) return false;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        m_errore = errno;
        return false;
    }
    const qint64 contate = qint64(info.st_size) / TScheda::DIMENSIONE;
    if (posizione < 1 || posizione > contate || !leggiSenzaBlocco(m_fd, posizione, tolta) ||
        !verifica(tolta)) {
        m_errore = ESTALE;
        return false;
    }
    if (!leggiSenzaBlocco(m_fd, contate, spostata)) {
        m_errore = errno ? errno : EIO;
        return false;
    }
    // The intent keeps the length and every byte the steps overwrite or cut:
    // the removed record and everything from the last record on.
    const off_t ultimo = off_t(contate - 1) * TScheda::DIMENSIONE;
    std::vector<unsigned char> coda(std::size_t(info.st_size - ultimo));
    IntentoArchivio intento(m_percorso);
    const qint64 da = posizione != contate ? contate : 0;
    const ConclusioneIntento fine = conclusione ? conclusione->prepara(da) : ConclusioneIntento();
    bool riuscito =
        intento.inizia(info.st_size, conclusione ? &fine : nullptr) &&
        ::pread(m_fd, coda.data(), coda.size(), ultimo) == ssize_t(coda.size()) &&
        intento.aggiungi(ultimo, coda.data(), qint64(coda.size())) &&
        (posizione == contate || intento.aggiungi(off_t(posizione - 1) * TScheda::DIMENSIONE,
                                                  tolta.byte.data(), TScheda::DIMENSIONE)) &&
        intento.conferma();
    if (!riuscito) {
        m_errore = intento.errore() ? intento.errore() : (errno ? errno : EIO);
        return false;
    }
    if (conclusione && conclusione->iniziata && !conclusione->iniziata()) {
        m_errore = EIO;
        RipristinaDaIntento(m_fd, m_percorso);
        return false;
    }
    PassoArchivio();
    if (posizione != contate) {
        riuscito = ScriviTutto(m_fd, spostata.byte.data(), TScheda::DIMENSIONE,
                               off_t(posizione - 1) * TScheda::DIMENSIONE) &&
                   SincronizzaArchivio(m_fd) == 0;
        PassoArchivio();
    }
    if (riuscito) {
        int esito;
        do {
            esito = ::ftruncate(m_fd, ultimo);
        } while (esito != 0 && errno == EINTR);
        riuscito = esito == 0 && SincronizzaArchivio(m_fd) == 0;
    }
    if (riuscito) {
        spostataDa = da;
        if (concludi(intento, conclusione, da)) return true;
        spostataDa = 0;
        return false;
    }
    m_errore = errno ? errno : EIO;
    RipristinaDaIntento(m_fd, m_percorso);
    return false;
}

bool Archivio::aggiorna(qint64 posizione, const std::function<bool(TScheda &)> &modifica,
                        const std::function<void(const TScheda &)> &scritto) {
    if (m_fd < 0 || posizione < 1 || posizione > conta()) return false;
    const qint64 offset = (posizione - 1) * TScheda::DIMENSIONE;
    std::optional<Blocco> blocco;
    if (!bloccaRecord(offset, blocco)) return false;
    if (posizione > conta()) return false;
    TScheda scheda;
    auto *dati = scheda.byte.data();
    qint64 letti = 0;
    while (letti < TScheda::DIMENSIONE) {
        const ssize_t n = ::pread(m_fd, dati + letti, std::size_t(TScheda::DIMENSIONE - letti),
                                  off_t(offset + letti));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        letti += n;
    }
    if (!modifica(scheda)) return true;
    if (!scriviRecord(offset, scheda)) return false;
    if (scritto) scritto(scheda);
    return true;
}

void Archivio::chiudi() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool ScorriArchivio(const QString &percorso,
                    const std::function<bool(const TScheda &, qint64 posizione)> &visita) {
    Archivio archivio(percorso);
    if (!archivio.ApriArchivio()) return false;
    const qint64 totale = archivio.conta();
    if (totale < 0) return false;

    // A fixed block of records: memory stays the same whatever the archive's size.
    constexpr qint64 BLOCCO = 256;
    std::vector<TScheda> blocco(BLOCCO);
    qint64 posizione = 0;
    while (posizione < totale) {
        const qint64 quanti = qMin(BLOCCO, totale - posizione);
        if (!archivio.leggi(posizione + 1, blocco.data(), quanti)) return false;
        for (qint64 i = 0; i < quanti; ++i)
            if (!visita(blocco[std::size_t(i)], ++posizione)) return true;
    }
    return true;
}

bool ScorriArchivioInParti(const QString &percorso, int parti, const VisitaParte &visita) {
    Archivio archivio(percorso);
    if (!archivio.ApriArchivio()) return false;
    const qint64 totale = archivio.conta();
    if (totale < 0) return false;
    // A thread is worth its start only on a large archive.
    constexpr qint64 MINIMO_PER_PARTE = 8192;
    parti = int(std::clamp<qint64>(totale / MINIMO_PER_PARTE, 1, qMax(parti, 1)));
    std::vector<char> riuscite(std::size_t(parti), 0);
    auto parte = [&](int k) {
        const qint64 da = totale * k / parti;
        const qint64 a = totale * (k + 1) / parti;
        riuscite[std::size_t(k)] =
            archivio.scorri(da + 1, a - da, [&](const TScheda *schede, qint64 n, qint64 prima) {
                return visita(k, schede, n, prima);
            });
    };
    std::vector<std::thread> altre;
    for (int k = 1; k < parti; ++k)
        altre.emplace_back(parte, k);
    parte(0);
    for (auto &t : altre)
        t.join();
    return std::all_of(riuscite.begin(), riuscite.end(), [](char r) { return r != 0; });
}
