// The export file's writer. The input is read as UTF-16 text (so halves of
// surrogate pairs come too) and cut at U+001F into cells, 17 to a row:
// - every cell comes out without markup characters, and reading its bytes back
//   (Windows-1252 plus the entities written) gives the trimmed text, half a
//   surrogate pair as U+FFFD;
// - the page is written whole, with one table row per grid row plus the header.
#include "Verifica.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "sheets/FoglioMagazzino.h"

#include <QBuffer>
#include <QStringList>
#include <cstdint>

namespace {

// Cell bytes as a spreadsheet reads them; false for an entity it would not know.
bool rileggi(const QByteArray &byte, QString &testo) {
    for (qsizetype i = 0; i < byte.size(); ++i) {
        if (byte[i] != '&') {
            testo += Cp1252::decodifica(byte.constData() + i, 1);
            continue;
        }
        const qsizetype fine = byte.indexOf(';', i);
        if (fine < 0) return false;
        const QByteArray nome = byte.mid(i + 1, fine - i - 1);
        if (nome == "amp")
            testo += u'&';
        else if (nome == "lt")
            testo += u'<';
        else if (nome == "gt")
            testo += u'>';
        else if (nome.startsWith('#')) {
            bool numero = false;
            const uint codice = nome.mid(1).toUInt(&numero);
            if (!numero || codice > 0x10FFFF) return false;
            // By hand: a text decoder would drop a leading U+FEFF as a byte order mark.
            if (QChar::requiresSurrogates(codice)) {
                testo += QChar(QChar::highSurrogate(codice));
                testo += QChar(QChar::lowSurrogate(codice));
            } else
                testo += QChar(char16_t(codice));
        } else
            return false;
        i = fine;
    }
    return true;
}

// The trimmed text, with half pairs as the replacement character.
QString atteso(const QString &cella) {
    const QString rifilata = Rifila(cella);
    QString testo;
    for (qsizetype i = 0; i < rifilata.size(); ++i) {
        const QChar c = rifilata[i];
        if (c.isHighSurrogate() && i + 1 < rifilata.size() && rifilata[i + 1].isLowSurrogate()) {
            testo += c;
            testo += rifilata[++i];
        } else if (c.isSurrogate())
            testo += QChar(QChar::ReplacementCharacter);
        else
            testo += c;
    }
    return testo;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    const QString testo(reinterpret_cast<const QChar *>(dati), qsizetype(dimensione / 2));
    const QStringList celle = testo.split(QChar(0x1F));
    for (const QString &cella : celle) {
        const QByteArray byte = CodificaCellaFoglio(cella);
        VERIFICA(!byte.contains('<') && !byte.contains('>'));
        QString letta;
        const bool conosciuta = rileggi(byte, letta);
        if (!conosciuta || letta != atteso(cella)) {
            Mostra("cella", cella);
            Mostra("riletta", letta);
            VERIFICA(false);
        }
    }

    const qsizetype righe = (celle.size() + COLONNE_FOGLIO - 1) / COLONNE_FOGLIO;
    QByteArray pagina;
    QBuffer buffer(&pagina);
    buffer.open(QIODevice::WriteOnly);
    VERIFICA(ScriviFoglioMagazzino(&buffer, righe, [&celle](qsizetype riga, int colonna) {
        return celle.value(riga * COLONNE_FOGLIO + colonna);
    }));
    VERIFICA(pagina.count("<tr>") == righe + 1);
    VERIFICA(pagina.count("<td ") == (righe + 1) * COLONNE_FOGLIO);
    VERIFICA(pagina.endsWith("</table></body></html>"));
    return 0;
}
