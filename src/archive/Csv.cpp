#include "Csv.h"

#include <cstring>

QByteArray CodificaCampoCsv(QStringView testo, ACapo acapo, Virgola virgola) {
    QByteArray byte = testo.toUtf8();
    if (acapo == ACapo::InSpazi)
        for (char &c : byte)
            if (c == '\r' || c == '\n') c = ' ';
    bool virgolette = false;
    for (const char c : byte)
        if (c == ';' || c == '"' || c == '\r' || c == '\n' ||
            (c == ',' && virgola == Virgola::TraVirgolette)) {
            virgolette = true;
            break;
        }
    if (!virgolette) return byte;
    byte.replace("\"", "\"\"");
    return '"' + byte + '"';
}

bool Utf8Valido(QByteArrayView byte) {
    const auto *p = reinterpret_cast<const unsigned char *>(byte.data());
    const auto *fine = p + byte.size();
    while (p < fine) {
        // Eight plain ASCII bytes at a time.
        if (fine - p >= 8) {
            quint64 otto;
            std::memcpy(&otto, p, 8);
            if ((otto & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int seguono;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            seguono = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            seguono = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            seguono = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (fine - p <= seguono) return false;
        for (int i = 1; i <= seguono; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((seguono == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (seguono == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += seguono + 1;
    }
    return true;
}
