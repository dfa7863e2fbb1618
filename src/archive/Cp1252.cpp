#include "archive/Cp1252.h"

namespace Cp1252 {

namespace {

// 0x80..0x9F; the five unused bytes map to the C1 control of the same value.
constexpr char16_t TABELLA[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteDi(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (TABELLA[i] == u) return 0x80 + i;
    return -1;
}

} // namespace

QString decodifica(const char *byte, qsizetype lunghezza) {
    QString testo = QString::fromLatin1(byte, lunghezza);
    for (QChar &c : testo)
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) c = QChar(TABELLA[c.unicode() - 0x80]);
    return testo;
}

QString primoNonRappresentabile(const QString &testo) {
    for (qsizetype i = 0; i < testo.size(); ++i)
        if (byteDi(testo[i]) < 0) return testo.mid(i, testo[i].isHighSurrogate() ? 2 : 1);
    return {};
}

bool rappresentabile(const QString &testo) {
    return primoNonRappresentabile(testo).isEmpty();
}

QByteArray codifica(const QString &testo) {
    QByteArray byte;
    byte.reserve(testo.size());
    for (QChar c : testo) {
        const int b = byteDi(c);
        byte.append(char(b < 0 ? '?' : b));
    }
    return byte;
}

} // namespace Cp1252
