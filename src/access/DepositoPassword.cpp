#include "access/DepositoPassword.h"

#include "access/Crypt.h"
#include "access/FileIni.h"
#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"

#include <QDir>
#include <QFile>

namespace DepositoPassword {

namespace {

const QString SEZIONE = QStringLiteral("Accesso");
const QString CHIAVE = QStringLiteral("Valore");
constexpr qsizetype LUNGHEZZA_MASSIMA = 255;

// The store's bytes: empty when there is no store, nothing when it cannot be read.
std::optional<QByteArray> contenuto() {
    QFile file(Percorso());
    if (!file.exists()) return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray byte = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return byte;
}

} // namespace

QString Percorso() {
    return QDir(CartellaProgramma()).filePath(QStringLiteral("unins000.dll"));
}

std::optional<QString> Leggi() {
    const auto byte = contenuto();
    if (!byte) return std::nullopt;
    const auto password = Crypt::Decrypt(Ini::LeggiValore(*byte, SEZIONE, CHIAVE));
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
    const QByteArray nuovo = Ini::ScriviValore(*attuale, SEZIONE, CHIAVE, Crypt::Encrypt(password));
    return ScriviFileIntero(Percorso(),
                            [&nuovo](QIODevice *file) { return ScriviContenuto(file, nuovo); });
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
