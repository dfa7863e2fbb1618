#include "journal/Giornale.h"

#include "archive/Archivio.h"
#include "archive/BloccoFile.h"
#include "archive/CartellaProgramma.h"
#include "archive/Csv.h"
#include "archive/FileDiretto.h"
#include "archive/TestoFormula.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTimeZone>
#include <QUuid>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr std::array<const char16_t *, 9> NOMI_TIPI = {
    u"Carico",       u"Scarico",     u"Rettifica",  u"Nuova scheda", u"Importazione",
    u"Eliminazione", u"Spostamento", u"Ripristino", u"Ordine"};

constexpr QByteArrayView BOM("\xEF\xBB\xBF");

std::optional<qint64> intero(QByteArrayView byte) {
    byte = byte.trimmed();
    bool negativo = false;
    if (!byte.isEmpty() && (byte.front() == '-' || byte.front() == '+')) {
        negativo = byte.front() == '-';
        byte = byte.sliced(1);
    }
    if (byte.isEmpty() || byte.size() > 18) return std::nullopt;
    qint64 valore = 0;
    for (char c : byte) {
        if (c < '0' || c > '9') return std::nullopt;
        valore = valore * 10 + (c - '0');
    }
    return negativo ? -valore : valore;
}

// "2026-03-01T09:00:00+01:00" (seconds, fractions and offset as ISO 8601
// allows them, "Z" for UTC), read into its parts; false when it does not read.
bool partiDataOra(QByteArrayView t, CampiMovimento &c) {
    t = t.trimmed();
    auto numero = [&t](qsizetype da, qsizetype quante, int &valore) {
        if (da + quante > t.size()) return false;
        valore = 0;
        for (qsizetype i = da; i < da + quante; ++i) {
            if (t[i] < '0' || t[i] > '9') return false;
            valore = valore * 10 + (t[i] - '0');
        }
        return true;
    };
    int anno, mese, giorno, ora, minuto, secondo = 0, ms = 0;
    if (!numero(0, 4, anno) || t.size() < 16 || t[4] != '-' || !numero(5, 2, mese) || t[7] != '-' ||
        !numero(8, 2, giorno) || (t[10] != 'T' && t[10] != ' ') || !numero(11, 2, ora) ||
        t[13] != ':' || !numero(14, 2, minuto))
        return false;
    qsizetype i = 16;
    if (i < t.size() && t[i] == ':') {
        if (!numero(i + 1, 2, secondo)) return false;
        i += 3;
        if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
            ++i;
            int cifre = 0;
            while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
                if (cifre++ < 3) ms = ms * 10 + (t[i] - '0');
                ++i;
            }
            if (cifre == 0) return false;
            for (; cifre < 3; ++cifre)
                ms *= 10;
        }
    }
    c.giorno = QDate(anno, mese, giorno);
    c.ora = QTime(ora, minuto, secondo, ms);
    if (!c.giorno.isValid() || !c.ora.isValid()) return false;
    c.zona = CampiMovimento::Locale;
    c.scarto = 0;
    if (i == t.size()) return true;
    if (t[i] == 'Z' && i + 1 == t.size()) {
        c.zona = CampiMovimento::Utc;
        return true;
    }
    int ore, minuti = 0;
    if ((t[i] != '+' && t[i] != '-') || !numero(i + 1, 2, ore)) return false;
    qsizetype fine = i + 3;
    if (fine < t.size()) {
        if (t[fine] == ':') ++fine;
        if (!numero(fine, 2, minuti)) return false;
        fine += 2;
    }
    if (fine != t.size() || ore > 14 || minuti > 59) return false;
    c.zona = CampiMovimento::Scarto;
    c.scarto = (ore * 3600 + minuti * 60) * (t[i] == '-' ? -1 : 1);
    return true;
}

std::optional<TipoMovimento> tipoDaByte(QByteArrayView nome) {
    static const std::array<QByteArray, NOMI_TIPI.size()> nomi = [] {
        std::array<QByteArray, NOMI_TIPI.size()> n;
        for (std::size_t i = 0; i < n.size(); ++i)
            n[i] = QString::fromUtf16(NOMI_TIPI[i]).toUtf8();
        return n;
    }();
    for (std::size_t i = 0; i < nomi.size(); ++i)
        if (nome == nomi[i]) return TipoMovimento(i);
    return std::nullopt;
}

// The byte-order mark and a carriage return before the line end go.
QByteArrayView pulisci(QByteArrayView riga) {
    if (riga.endsWith('\r')) riga.chop(1);
    return riga;
}

} // namespace

char SeparatoreGiornale(QByteArrayView intestazione) {
    return intestazione.count(';') >= intestazione.count(',') ? ';' : ',';
}

QString NomeTipo(TipoMovimento tipo) {
    return QString::fromUtf16(NOMI_TIPI[std::size_t(tipo)]);
}

std::optional<TipoMovimento> TipoDaNome(const QString &nome) {
    for (std::size_t i = 0; i < NOMI_TIPI.size(); ++i)
        if (nome == QStringView(NOMI_TIPI[i])) return TipoMovimento(i);
    return std::nullopt;
}

QString PercorsoGiornale() {
    return QDir(CartellaProgramma()).filePath(u"Movimenti.csv"_s);
}

ConclusioneIntento FinaleNelGiornale(const QString &archivio, const QString &giornale,
                                     const QByteArray &dati) {
    ConclusioneIntento fine;
    fine.file = QFileInfo(archivio).absoluteDir().relativeFilePath(giornale);
    fine.da = QFileInfo(giornale).size();
    fine.marca = dati.toBase64();
    return fine;
}

QByteArray ChiaveOperazione(const QString &tipo) {
    return (tipo + u' ' + QUuid::createUuid().toString(QUuid::WithoutBraces)).toUtf8();
}

QString AvvisoGiornaleIlleggibile(const QString &giornale) {
    struct stat info {};
    if (::stat(QFile::encodeName(giornale).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return MessaggioFileNonRegolare(giornale);
    return u"Attenzione: il giornale dei movimenti non può essere letto."_s;
}

QString Postazione() {
    QString utente = qEnvironmentVariable("USER");
    if (utente.isEmpty()) {
        if (const passwd *voce = ::getpwuid(::getuid()))
            utente = QString::fromLocal8Bit(voce->pw_name);
    }
    return QSysInfo::machineHostName() + u" ("_s + utente + u')';
}

QString TestoPerGiornale(const QString &testo) {
    return TestoSenzaFormula(testo, NumeroConSpazi::No);
}

QByteArray CampoGiornale(const QString &testo) {
    return CodificaCampoCsv(TestoPerGiornale(testo), ACapo::InSpazi, Virgola::TraVirgolette);
}

QString TestoDaGiornale(const QString &campo) {
    return TestoDaSenzaFormula(campo, NumeroConSpazi::No);
}

QByteArray IntestazioneGiornale() {
    return "Data e ora;Posizione;Codice;Nome;Categoria;Tipo;Quantit\xC3\xA0;Giacenza prima;"
           "Giacenza dopo;Costo unitario;Postazione;Nota;Dati";
}

QByteArray RigaGiornale(const Movimento &m, char separatore) {
    QByteArray riga;
    riga.reserve(160 + m.dati.size());
    riga += m.quando.toString(Qt::ISODate).toLatin1();
    riga += separatore;
    riga += QByteArray::number(m.posizione);
    for (const QString *testo : {&m.codice, &m.nome, &m.categoria}) {
        riga += separatore;
        riga += CampoGiornale(*testo);
    }
    riga += separatore;
    riga += NomeTipo(m.tipo).toUtf8();
    for (qint64 numero : {m.quantita, m.prima, m.dopo}) {
        riga += separatore;
        riga += QByteArray::number(numero);
    }
    for (const QString *testo : {&m.costo, &m.postazione, &m.nota}) {
        riga += separatore;
        riga += CampoGiornale(*testo);
    }
    riga += separatore;
    riga += m.dati.toBase64();
    return riga;
}

bool LeggiCampiGiornale(QByteArrayView riga, char separatore, CampiMovimento &c) {
    riga = pulisci(riga);
    if (!Utf8Valido(riga)) return false;
    thread_local std::vector<QByteArray> spazio;
    if (!DividiRigaGiornale(riga, separatore, c.campi, spazio) ||
        c.campi.size() != std::size_t(CAMPI_GIORNALE))
        return false;
    if (!partiDataOra(c.campi[0], c)) return false;
    const auto posizione = intero(c.campi[1]);
    const auto tipo = tipoDaByte(c.campi[5].trimmed());
    const auto quantita = intero(c.campi[6]);
    const auto prima = intero(c.campi[7]);
    const auto dopo = intero(c.campi[8]);
    if (!posizione || *posizione < 1 || !tipo || !quantita || !prima || !dopo) return false;
    c.posizione = *posizione;
    c.tipo = *tipo;
    c.quantita = *quantita;
    c.prima = *prima;
    c.dopo = *dopo;
    const QByteArrayView dati = c.campi[12].trimmed();
    c.dati.clear();
    if (dati.isEmpty()) return true;
    auto decodificati =
        QByteArray::fromBase64Encoding(dati.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decodificati) return false;
    c.dati = std::move(*decodificati);
    return true;
}

QDateTime CampiMovimento::quando() const {
    switch (zona) {
    case Utc:
        return QDateTime(giorno, ora, QTimeZone::utc());
    case Scarto:
        return QDateTime(giorno, ora, Qt::OffsetFromUTC, scarto);
    default:
        return QDateTime(giorno, ora);
    }
}

QString TestoDiCampo(QByteArrayView campo) {
    if (campo.isEmpty()) return QString();
    QString t = QString::fromUtf8(campo);
    return campo.front() == '\'' ? TestoDaGiornale(t) : t;
}

bool LeggiRigaGiornale(QByteArrayView riga, char separatore, Movimento &m) {
    thread_local CampiMovimento c;
    if (!LeggiCampiGiornale(riga, separatore, c)) return false;
    m.quando = c.quando();
    m.posizione = c.posizione;
    m.tipo = c.tipo;
    m.quantita = c.quantita;
    m.prima = c.prima;
    m.dopo = c.dopo;
    m.codice = TestoDiCampo(c.campi[2]);
    m.nome = TestoDiCampo(c.campi[3]);
    m.categoria = TestoDiCampo(c.campi[4]);
    m.costo = TestoDiCampo(c.campi[9]);
    m.postazione = TestoDiCampo(c.campi[10]);
    m.nota = TestoDiCampo(c.campi[11]);
    m.dati = c.dati;
    return true;
}

namespace {
LetturaGiornale leggiDescrittore(int fd, const SceltaRiga &scelta, const VisitaMovimento &visita,
                                 const std::function<void(qint64, qint64)> &progresso);
} // namespace

void TestoMovimenti::aggiungi(const Movimento &movimento) {
    constexpr qsizetype BLOCCO = 1 << 20;
    const QByteArray riga = RigaGiornale(movimento, ';');
    if (m_blocchi.isEmpty() || m_blocchi.last().size() + riga.size() + 1 > BLOCCO) {
        m_blocchi.append(QByteArray());
        m_blocchi.last().reserve(qMax(BLOCCO, riga.size() + 1));
    }
    m_blocchi.last() += riga;
    m_blocchi.last() += '\n';
    ++m_righe;
}

void TestoMovimenti::svuota() {
    m_blocchi.clear();
    m_righe = 0;
}

void TestoMovimenti::datiUltima(const QByteArray &dati) {
    if (m_righe > 0) m_blocchi.last().insert(m_blocchi.last().size() - 1, dati.toBase64());
}

namespace {

// Lines written with ';' between fields, with ',' instead: every field that
// holds either is in quotes, so only the separators outside quotes change.
QByteArray conVirgole(const QByteArray &testo) {
    QByteArray altro = testo;
    bool virgolette = false;
    for (char &c : altro) {
        if (c == '"')
            virgolette = !virgolette;
        else if (c == ';' && !virgolette)
            c = ',';
    }
    return altro;
}

// Appends what `componi` gives for the journal's separator after `testo`
// (the header, a line end), under the journal's lock, after `rifiuta` (when
// given) has seen the lines there; in one write.
Registrazione accoda(
    const QString &percorso, const SceltaRiga &scelta,
    const std::function<bool(const Movimento &)> &rifiuta,
    const std::function<void(char separatore, QByteArray &testo, QList<QByteArray> &poi)> &componi);

} // namespace

bool RegistraTestoMovimenti(const TestoMovimenti &righe, const QString &percorso) {
    if (righe.vuoto()) return true;
    return accoda(percorso, {}, {}, [&](char separatore, QByteArray &, QList<QByteArray> &poi) {
               poi = righe.blocchi();
               if (separatore != ';')
                   for (QByteArray &b : poi)
                       b = conVirgole(b);
           }) == Registrazione::Fatta;
}

bool RegistraMovimenti(const QList<Movimento> &movimenti, const QString &percorso) {
    return RegistraMovimentiSe(movimenti, percorso, {}, {}) == Registrazione::Fatta;
}

Registrazione RegistraMovimentiSe(const QList<Movimento> &movimenti, const QString &percorso,
                                  const SceltaRiga &scelta,
                                  const std::function<bool(const Movimento &)> &rifiuta) {
    if (movimenti.isEmpty()) return Registrazione::Fatta;
    return accoda(percorso, scelta, rifiuta,
                  [&](char separatore, QByteArray &testo, QList<QByteArray> &) {
                      for (const Movimento &m : movimenti) {
                          testo += RigaGiornale(m, separatore);
                          testo += '\n';
                      }
                  });
}

namespace {

Registrazione accoda(const QString &percorso, const SceltaRiga &scelta,
                     const std::function<bool(const Movimento &)> &rifiuta,
                     const std::function<void(char separatore, QByteArray &testo,
                                              QList<QByteArray> &poi)> &componi) {
    const Descrittore file(ApriFileRegolare(percorso, O_RDWR | O_CREAT | O_APPEND));
    if (file.fd < 0) return Registrazione::NonScritta;
    // From looking at the end of the file to the flush: two copies appending
    // at once each write whole lines of their own.
    const Blocco blocco(file.fd, F_WRLCK, 0, 0);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return Registrazione::NonScritta;
    if (rifiuta) {
        bool rifiutata = false;
        const LetturaGiornale letta = leggiDescrittore(file.fd, scelta,
                                                       [&](const Movimento &m, qint64) {
                                                           rifiutata = rifiuta(m);
                                                           return !rifiutata;
                                                       },
                                                       {});
        if (!letta.aperto) return Registrazione::NonScritta;
        if (rifiutata) return Registrazione::Rifiutata;
    }

    QByteArray testo;
    char separatore = ';';
    if (info.st_size == 0) {
        testo += BOM.toByteArray();
        testo += IntestazioneGiornale();
        testo += '\n';
    } else {
        // A line cut short by a crash stays a damaged line of its own.
        char ultimo = '\n';
        if (::pread(file.fd, &ultimo, 1, info.st_size - 1) != 1) return Registrazione::NonScritta;
        if (ultimo != '\n') testo += '\n';
        // A journal saved again by a spreadsheet with commas goes on with them.
        char inizio[4096];
        const ssize_t letti = ::pread(file.fd, inizio, sizeof inizio, 0);
        if (letti > 0) {
            QByteArrayView prima(inizio, letti);
            const qsizetype fine = prima.indexOf('\n');
            separatore = SeparatoreGiornale(fine >= 0 ? prima.first(fine) : prima);
        }
    }
    QList<QByteArray> poi;
    componi(separatore, testo, poi);
    poi.prepend(testo);

    // Tests stop the process here too: just before the lines reach the file.
    PassoArchivio();
    // The pieces in one write, as one text would go; what a short write
    // leaves goes on from where it stopped.
    std::vector<iovec> pezzi;
    for (const QByteArray &b : std::as_const(poi))
        if (!b.isEmpty())
            pezzi.push_back({const_cast<char *>(b.constData()), std::size_t(b.size())});
    std::size_t primo = 0;
    bool riuscito = true;
    while (primo < pezzi.size()) {
        const ssize_t n = ::writev(file.fd, pezzi.data() + primo,
                                   int(std::min<std::size_t>(pezzi.size() - primo, IOV_MAX)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            riuscito = false;
            break;
        }
        for (std::size_t resto = std::size_t(n); resto > 0;) {
            const std::size_t qui = std::min(resto, pezzi[primo].iov_len);
            pezzi[primo].iov_base = static_cast<char *>(pezzi[primo].iov_base) + qui;
            pezzi[primo].iov_len -= qui;
            resto -= qui;
            if (pezzi[primo].iov_len == 0) ++primo;
        }
    }
    if (riuscito && SincronizzaArchivio(file.fd) == 0) return Registrazione::Fatta;
    // No half line stays behind to be read as damaged, or counted twice
    // when the user saves again.
    int esito;
    do {
        esito = ::ftruncate(file.fd, info.st_size);
    } while (esito != 0 && errno == EINTR);
    SincronizzaArchivio(file.fd);
    return Registrazione::NonScritta;
}

} // namespace

bool DividiRigaGiornale(QByteArrayView riga, char separatore, std::vector<QByteArrayView> &campi,
                        std::vector<QByteArray> &spazio, qsizetype fino) {
    campi.clear();
    std::size_t usati = 0;
    bool troppi = false;
    const bool letta =
        DividiCampiCsv(pulisci(riga), separatore, Virgolette::Rigorose, [&](auto &&campo) {
            if constexpr (std::is_same_v<std::decay_t<decltype(campo)>, QByteArray>) {
                if (usati == spazio.size()) spazio.emplace_back();
                spazio[usati] = std::move(campo);
                campi.push_back(spazio[usati++]);
            } else {
                campi.push_back(campo);
            }
            troppi = campi.size() > std::size_t(CAMPI_GIORNALE);
            return !troppi && qsizetype(campi.size()) < fino;
        });
    return letta && !troppi;
}

namespace {

// The first `quanti` fields of a raw line, or nothing when they do not read.
const std::vector<QByteArrayView> *primiCampi(QByteArrayView riga, char separatore,
                                              qsizetype quanti) {
    thread_local std::vector<QByteArrayView> campi;
    thread_local std::vector<QByteArray> spazio;
    if (!DividiRigaGiornale(riga, separatore, campi, spazio, quanti) ||
        qsizetype(campi.size()) < quanti)
        return nullptr;
    return &campi;
}

} // namespace

qint64 PosizioneDiRiga(QByteArrayView riga, char separatore) {
    const auto *campi = primiCampi(riga, separatore, 2);
    if (!campi) return -1;
    const auto valore = intero((*campi)[1]);
    return valore && *valore >= 0 ? *valore : -1;
}

std::optional<TipoMovimento> TipoDiRiga(QByteArrayView riga, char separatore) {
    const auto *campi = primiCampi(riga, separatore, 6);
    if (!campi) return std::nullopt;
    return tipoDaByte((*campi)[5].trimmed());
}

QByteArrayView DataDiRiga(QByteArrayView riga, char separatore) {
    const auto *campi = primiCampi(riga, separatore, 1);
    return campi ? (*campi)[0].trimmed() : QByteArrayView();
}

bool RigaDiSpostamento(QByteArrayView riga, char separatore) {
    return TipoDiRiga(riga, separatore) == TipoMovimento::Spostamento;
}

bool RigaDiOrdine(QByteArrayView riga, char separatore) {
    char cerca[] = ";Ordine;";
    cerca[0] = cerca[sizeof cerca - 2] = separatore;
    return ::memmem(riga.data(), std::size_t(riga.size()), cerca, sizeof cerca - 1) != nullptr;
}

std::optional<qint64> ScorriRigheGiornale(int fd, qint64 da, qint64 fino, bool ultimaParziale,
                                          const VisitaRiga &visita,
                                          const std::function<void(qint64)> &progresso) {
    constexpr qint64 BLOCCO = 1 << 20;
    QByteArray buffer;
    qint64 letti = da;        // bytes of the file read into the buffer so far
    qint64 inizioBuffer = da; // file offset of buffer[0]
    bool intestazione = da == 0;
    // Inside a line too long to be one of ours, which started at `lunga`:
    // its bytes are dropped as they come, up to its line end.
    qint64 lunga = -1;
    auto riga = [&](QByteArrayView testo, qint64 offset) -> bool {
        GenereRiga genere = GenereRiga::Movimento;
        if (intestazione) {
            intestazione = false;
            genere = GenereRiga::Intestazione;
            if (testo.startsWith(BOM)) testo = testo.sliced(BOM.size());
        } else if (pulisci(testo).trimmed().isEmpty()) {
            genere = GenereRiga::Vuota;
        }
        return visita(genere, testo, offset);
    };
    // A line longer than any of ours: a header that long is no header (the
    // lines go on with ';').
    auto troppoLunga = [&](qint64 offset) -> bool {
        const bool primo = intestazione;
        intestazione = false;
        return visita(primo ? GenereRiga::Intestazione : GenereRiga::TroppoLunga, {}, offset);
    };

    while (letti < fino) {
        const qint64 quanti = qMin(BLOCCO, fino - letti);
        const qsizetype resto = buffer.size();
        buffer.resize(resto + quanti);
        if (!LeggiTutto(fd, buffer.data() + resto, quanti, letti)) return std::nullopt;
        letti += quanti;
        const char *dati = buffer.constData();
        const qsizetype lunghezza = buffer.size();
        qsizetype inizio = 0;
        if (lunga >= 0) {
            const void *a = std::memchr(dati, '\n', std::size_t(lunghezza));
            if (!a) {
                inizio = lunghezza;
            } else {
                inizio = static_cast<const char *>(a) - dati + 1;
                const qint64 offset = lunga;
                lunga = -1;
                if (!troppoLunga(offset)) return inizioBuffer + inizio;
            }
        }
        while (inizio < lunghezza) {
            const void *a = std::memchr(dati + inizio, '\n', std::size_t(lunghezza - inizio));
            if (!a) break;
            const qsizetype fine = static_cast<const char *>(a) - dati;
            const bool avanti =
                fine - inizio > RIGA_GIORNALE_MASSIMA
                    ? troppoLunga(inizioBuffer + inizio)
                    : riga(QByteArrayView(dati + inizio, fine - inizio), inizioBuffer + inizio);
            inizio = fine + 1;
            if (!avanti) return inizioBuffer + inizio;
        }
        // The start of a line already too long to be one of ours: the rest
        // of it is skipped in the blocks that follow.
        if (lunga < 0 && lunghezza - inizio > RIGA_GIORNALE_MASSIMA) {
            lunga = inizioBuffer + inizio;
            inizio = lunghezza;
        }
        buffer.remove(0, inizio);
        inizioBuffer += inizio;
        if (progresso) progresso(letti);
    }
    const qint64 coperto = lunga >= 0 ? lunga : inizioBuffer;
    // A last line without its line end: cut by a crash, or saved that way.
    if (ultimaParziale) {
        if (lunga >= 0)
            troppoLunga(lunga);
        else if (!buffer.isEmpty())
            riga(buffer, inizioBuffer);
    }
    return coperto;
}

bool LettoreGiornale::operator()(GenereRiga genere, QByteArrayView testo, qint64 offset) {
    switch (genere) {
    case GenereRiga::Intestazione:
        separatore = testo.isEmpty() ? ';' : SeparatoreGiornale(testo);
        return true;
    case GenereRiga::Vuota:
        return true;
    case GenereRiga::TroppoLunga:
        ++esito.danneggiate;
        return true;
    case GenereRiga::Movimento:
        break;
    }
    if (m_scelta && !m_scelta(testo, separatore)) return true;
    if (!LeggiRigaGiornale(testo, separatore, m_movimento)) {
        ++esito.danneggiate;
        return true;
    }
    ++esito.righe;
    return m_visita(m_movimento, offset);
}

namespace {

// The reading of LeggiGiornale on a journal already open, so that a writer
// can read it under its own lock (closing another descriptor of the file
// would let the lock go).
LetturaGiornale leggiDescrittore(int fd, const SceltaRiga &scelta, const VisitaMovimento &visita,
                                 const std::function<void(qint64, qint64)> &progresso) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return {};
    // Lines are appended whole under the write lock; what lies beyond the
    // length seen now is left for the next reading.
    const qint64 totale = info.st_size;
    LettoreGiornale lettore(scelta, visita);
    const auto letta =
        ScorriRigheGiornale(fd, 0, totale, true, std::ref(lettore),
                            progresso ? [&](qint64 letti) { progresso(letti, totale); }
                                      : std::function<void(qint64)>());
    lettore.esito.aperto = letta.has_value();
    return lettore.esito;
}

} // namespace

LetturaGiornale LeggiGiornale(const QString &percorso, const SceltaRiga &scelta,
                              const VisitaMovimento &visita,
                              const std::function<void(qint64, qint64)> &progresso) {
    const Descrittore file(ApriFileRegolare(percorso, O_RDONLY));
    if (file.fd < 0) {
        LetturaGiornale esito;
        esito.aperto = errno == ENOENT;
        return esito;
    }
    return leggiDescrittore(file.fd, scelta, visita, progresso);
}

std::optional<Movimento> LeggiMovimentoA(const QString &percorso, qint64 offset) {
    const Descrittore file(ApriFileRegolare(percorso, O_RDONLY));
    if (file.fd < 0) return std::nullopt;
    // Empty for a line too long to be one of ours, which is damaged anyway.
    auto leggiRiga = [&file](qint64 da) -> QByteArray {
        QByteArray riga;
        char blocco[4096];
        while (riga.size() <= RIGA_GIORNALE_MASSIMA) {
            const ssize_t n = ::pread(file.fd, blocco, sizeof blocco, off_t(da + riga.size()));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return riga;
            const void *a = std::memchr(blocco, '\n', std::size_t(n));
            if (a) {
                riga.append(blocco, static_cast<const char *>(a) - blocco);
                return riga;
            }
            riga.append(blocco, n);
        }
        return {};
    };
    const QByteArray intestazione = leggiRiga(0);
    Movimento m;
    if (!LeggiRigaGiornale(leggiRiga(offset), SeparatoreGiornale(intestazione), m))
        return std::nullopt;
    return m;
}
