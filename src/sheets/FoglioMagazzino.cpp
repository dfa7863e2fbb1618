#include "sheets/FoglioMagazzino.h"

#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"

#include <QIODevice>

namespace {

struct Intestazione {
    const char *etichetta;
    int larghezza;
};

// Labels in Windows-1252 ("Modalit\xE0" is "Modalità").
constexpr Intestazione Intestazioni[COLONNE_FOGLIO] = {
    {"Codice articolo", 250},
    {"Costo unitario", 200},
    {"Nome prodotto", 250},
    {"Giacenza", 180},
    {"Aspetto esteriore del bene", 250},
    {"Categoria merceologica", 250},
    {"Caratteristiche", 350},
    {"Collocazione in magazzino", 250},
    {"Ditta fornitrice", 250},
    {"Agente", 250},
    {"Recapito telefonico", 200},
    {"Documento di acquisto", 250},
    {"Modalit\xE0 di pagamento", 250},
    {"Data scadenza", 200},
    {"Note", 350},
    {"Prezzo di vendita", 200},
    {"Pagato", 150},
};

constexpr char Inizio[] =
    "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\""
    " xmlns:x=\"urn:schemas-microsoft-com:office:excel\""
    " xmlns=\"http://www.w3.org/TR/REC-html40\">"
    "<head>"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
    "<!--[if gte mso 9]><xml>"
    "<x:ExcelWorkbook>"
    "<x:ExcelWorksheets>"
    "<x:ExcelWorksheet>"
    "<x:Name>Magazzino Prodotti</x:Name>"
    "<x:WorksheetOptions>"
    "<x:Selected/>"
    "<x:Panes>"
    "<x:Pane>"
    "<x:Number>1</x:Number>"
    "<x:ActiveRow>3</x:ActiveRow>"
    "</x:Pane>"
    "</x:Panes>"
    "<x:ProtectContents>False</x:ProtectContents>"
    "<x:ProtectObjects>False</x:ProtectObjects>"
    "<x:ProtectScenarios>False</x:ProtectScenarios>"
    "</x:WorksheetOptions>"
    "</x:ExcelWorksheet>"
    "</x:ExcelWorksheets>"
    "</x:ExcelWorkbook>"
    "</xml><![endif]-->"
    "</head>"
    "<body>"
    "<table x:str>"
    "<tr>";

// The table says every cell is text, but LibreOffice reads only the cell's own
// number format: without it a code such as "007" comes back as 7.
constexpr char InizioCella[] = "<td sdnum=\"1040;0;@\" style=\"text-align: left;\">";
constexpr char FineCella[] = "</td>";
constexpr char Fine[] = "</table></body></html>";

bool scrivi(QIODevice *destinazione, const QByteArray &pezzo) {
    return destinazione->write(pezzo) == pezzo.size();
}

void riferimento(QByteArray &byte, char32_t codice) {
    byte += "&#";
    byte += QByteArray::number(quint32(codice));
    byte += ';';
}

} // namespace

QByteArray CodificaCellaFoglio(const QString &testo) {
    QString cella = Rifila(testo);
    // Markup characters stay text; '&' goes first so the others are not doubled.
    if (cella.contains(u'&')) cella.replace(u'&', QStringLiteral("&amp;"));
    if (cella.contains(u'<')) cella.replace(u'<', QStringLiteral("&lt;"));
    if (cella.contains(u'>')) cella.replace(u'>', QStringLiteral("&gt;"));

    // One byte per character; those without a byte show up as '?'.
    const QByteArray grezzi = Cp1252::codifica(cella);
    if (!grezzi.contains('?')) return grezzi;
    QByteArray byte;
    byte.reserve(grezzi.size() + 16);
    for (qsizetype i = 0; i < cella.size(); ++i) {
        const QChar c = cella[i];
        if (grezzi[i] != '?' || c == u'?') {
            byte += grezzi[i];
        } else if (c.isHighSurrogate() && i + 1 < cella.size() && cella[i + 1].isLowSurrogate()) {
            riferimento(byte, QChar::surrogateToUcs4(c, cella[i + 1]));
            ++i;
        } else if (c.isSurrogate()) {
            // Half a pair is no character at all.
            riferimento(byte, QChar::ReplacementCharacter);
        } else {
            riferimento(byte, c.unicode());
        }
    }
    return byte;
}

bool ScriviFoglioMagazzino(QIODevice *destinazione, qsizetype righe, const CellaFoglio &cella) {
    QByteArray pezzo(Inizio);
    for (const Intestazione &i : Intestazioni) {
        pezzo += "<td style=\"text-align: left; font-weight: bold;\" width=";
        pezzo += QByteArray::number(i.larghezza);
        pezzo += '>';
        pezzo += i.etichetta;
        pezzo += FineCella;
    }
    pezzo += "</tr>";
    if (!scrivi(destinazione, pezzo)) return false;

    // One row at a time: memory holds a row, never the whole page.
    for (qsizetype r = 0; r < righe; ++r) {
        pezzo = "<tr>";
        for (int c = 0; c < COLONNE_FOGLIO; ++c) {
            pezzo += InizioCella;
            pezzo += CodificaCellaFoglio(cella(r, c));
            pezzo += FineCella;
        }
        pezzo += "</tr>";
        if (!scrivi(destinazione, pezzo)) return false;
    }
    return scrivi(destinazione, QByteArray(Fine));
}
