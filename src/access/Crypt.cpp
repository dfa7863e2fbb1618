#include "access/Crypt.h"

namespace Crypt {

namespace {

constexpr quint16 CHIAVE_INIZIALE = 4817;
constexpr quint16 MOLTIPLICATORE = 38152;
constexpr quint16 INCREMENTO = 29437;

// Every step wraps at 16 bits, as the stored values were made. Worked in
// unsigned 32 bits, where wrapping is defined, and cut to 16 at the end.
quint16 prossimaChiave(quint16 chiave, quint8 cifrato) {
    return quint16((quint32(chiave) + cifrato) * quint32(MOLTIPLICATORE) + INCREMENTO);
}

int valoreCifra(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    return -1;
}

} // namespace

QString Encrypt(const QString &password) {
    static constexpr char CIFRE[] = "0123456789ABCDEF";
    QString risultato;
    risultato.reserve(password.size() * 2);
    quint16 chiave = CHIAVE_INIZIALE;
    for (const QChar c : password) {
        const auto cifrato = quint8((c.unicode() & 0xFF) ^ (chiave >> 8));
        risultato += QLatin1Char(CIFRE[cifrato >> 4]);
        risultato += QLatin1Char(CIFRE[cifrato & 0x0F]);
        chiave = prossimaChiave(chiave, cifrato);
    }
    return risultato;
}

std::optional<QString> Decrypt(const QString &esadecimale) {
    const qsizetype coppie = esadecimale.size() / 2;
    QByteArray cifrati(coppie, Qt::Uninitialized);
    for (qsizetype i = 0; i < coppie; ++i) {
        const int alta = valoreCifra(esadecimale[2 * i]);
        const int bassa = valoreCifra(esadecimale[2 * i + 1]);
        if (alta < 0 || bassa < 0) return std::nullopt;
        cifrati[i] = char(alta * 16 + bassa);
    }
    QString risultato;
    risultato.reserve(coppie);
    quint16 chiave = CHIAVE_INIZIALE;
    for (const char b : cifrati) {
        const auto cifrato = quint8(b);
        risultato += QChar(char16_t(cifrato ^ (chiave >> 8)));
        chiave = prossimaChiave(chiave, cifrato);
    }
    return risultato;
}

} // namespace Crypt
