#include "access/DepositoPassword.h"

#include "access/Crypt.h"
#include "access/FileIni.h"
#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DepositoPassword {

namespace {

const QString SEZIONE = QStringLiteral("Accesso");
const QString CHIAVE = QStringLiteral("Valore");
constexpr qsizetype LUNGHEZZA_MASSIMA = 255;

// The store is a few lines; anything much bigger is not a store.
constexpr qint64 DIMENSIONE_MASSIMA = 64 * 1024;

// The byte-order mark a text editor may put in front of the store.
const QByteArray BOM = QByteArrayLiteral("\xEF\xBB\xBF");

// The store's bytes: empty when there is no store, nothing when it cannot be
// read. Only a regular file is read, and only up to a bound: a named pipe or a
// device in its place would otherwise hold the program at the first password.
std::optional<QByteArray> contenuto() {
    const QByteArray nome = QFile::encodeName(Percorso());
    const int fd = ::open(nome.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    std::optional<QByteArray> letto;
    struct stat stato {};
    if (::fstat(fd, &stato) == 0 && S_ISREG(stato.st_mode) && stato.st_size <= DIMENSIONE_MASSIMA) {
        QByteArray byte(DIMENSIONE_MASSIMA + 1, Qt::Uninitialized);
        qint64 presi = 0;
        bool riuscito = true;
        while (presi < byte.size()) {
            const ssize_t n = ::read(fd, byte.data() + presi, std::size_t(byte.size() - presi));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) riuscito = false;
            if (n <= 0) break;
            presi += n;
        }
        if (riuscito && presi <= DIMENSIONE_MASSIMA) {
            byte.truncate(presi);
            letto = byte;
        }
    }
    ::close(fd);
    return letto;
}

} // namespace

QString Percorso() {
    return QDir(CartellaProgramma()).filePath(QStringLiteral("unins000.dll"));
}

std::optional<QString> Leggi() {
    const auto byte = contenuto();
    if (!byte) return std::nullopt;
    const QByteArray testo = byte->startsWith(BOM) ? byte->mid(BOM.size()) : *byte;
    const auto password = Crypt::Decrypt(Ini::LeggiValore(testo, SEZIONE, CHIAVE));
    if (!password) return std::nullopt;
    return Rifila(*password);
}

bool ScriviContenuto(QIODevice *destinazione, const QByteArray &contenuto) {
    qsizetype scritti = 0;
    while (scritti < contenuto.size()) {
        const qint64 n =
            destinazione->write(contenuto.constData() + scritti, contenuto.size() - scritti);
        if (n <= 0) return false;
        scritti += n;
    }
    return true;
}

bool Scrivi(const QString &password) {
    const auto attuale = contenuto();
    if (!attuale) return false;
    // A byte-order mark stays in front, where the editor put it.
    const bool bom = attuale->startsWith(BOM);
    const QByteArray nuovo =
        (bom ? BOM : QByteArray()) + Ini::ScriviValore(bom ? attuale->mid(BOM.size()) : *attuale,
                                                       SEZIONE, CHIAVE, Crypt::Encrypt(password));
    return ScriviFileIntero(Percorso(),
                            [&nuovo](QIODevice *file) { return ScriviContenuto(file, nuovo); });
}

bool TienePasswordIniziale() {
    return Leggi() == Normalizza(PASSWORD_INIZIALE);
}

QString Normalizza(const QString &digitata) {
    QString testo = digitata;
    for (QChar &c : testo)
        if (c >= u'a' && c <= u'z') c = QChar(char16_t(c.unicode() - u'a' + u'A'));
    return Rifila(testo);
}

QString MotivoRifiuto(const QString &normalizzata) {
    for (qsizetype i = 0; i < normalizzata.size(); ++i) {
        if (normalizzata[i].unicode() <= 0xFF) continue;
        // A character outside the first 256 codes, shown whole even when it
        // takes two code units.
        const qsizetype lunghezza =
            normalizzata[i].isHighSurrogate() && i + 1 < normalizzata.size() ? 2 : 1;
        return QStringLiteral("Attenzione: la nuova password contiene il carattere \"") +
               normalizzata.mid(i, lunghezza) +
               QStringLiteral("\", che non può essere memorizzato. Scegliere una password "
                              "composta da lettere, cifre e simboli dell'alfabeto latino.");
    }
    if (normalizzata.size() > LUNGHEZZA_MASSIMA)
        return QStringLiteral("Attenzione: la nuova password è troppo lunga (") +
               QString::number(normalizzata.size()) +
               QStringLiteral(" caratteri). La lunghezza massima è di 255 caratteri.");
    return {};
}

} // namespace DepositoPassword
