#include "sheets/LibroMagazzino.h"

#include "archive/RegoleNumeri.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QTemporaryFile>
#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace {

struct Colonna {
    const char *intestazione; // UTF-8
    int pixel;                // as the header cells of Magazzino.xls
    enum { Testo, Importo, Quantita } genere;
};

constexpr Colonna Colonne[COLONNE_FOGLIO] = {
    {"Codice articolo", 250, Colonna::Testo},
    {"Costo unitario", 200, Colonna::Importo},
    {"Nome prodotto", 250, Colonna::Testo},
    {"Giacenza", 180, Colonna::Quantita},
    {"Aspetto esteriore del bene", 250, Colonna::Testo},
    {"Categoria merceologica", 250, Colonna::Testo},
    {"Caratteristiche", 350, Colonna::Testo},
    {"Collocazione in magazzino", 250, Colonna::Testo},
    {"Ditta fornitrice", 250, Colonna::Testo},
    {"Agente", 250, Colonna::Testo},
    {"Recapito telefonico", 200, Colonna::Testo},
    {"Documento di acquisto", 250, Colonna::Testo},
    {"Modalit\xC3\xA0 di pagamento", 250, Colonna::Testo},
    {"Data scadenza", 200, Colonna::Testo},
    {"Note", 350, Colonna::Testo},
    {"Prezzo di vendita", 200, Colonna::Importo},
    {"Pagato", 150, Colonna::Testo},
};

// The sheet itself, in the library's constant-memory mode: rows go to disk as
// they are written, so the memory does not grow with the archive.
bool scriviLibro(const QByteArray &nomeFile, qsizetype righe, const CellaFoglio &cella) {
    lxw_workbook_options opzioni{};
    opzioni.constant_memory = LXW_TRUE;
    lxw_workbook *libro = workbook_new_opt(nomeFile.constData(), &opzioni);
    if (!libro) return false;
    bool riuscito = true;
    auto controlla = [&riuscito](lxw_error errore) {
        if (errore != LXW_NO_ERROR) riuscito = false;
    };

    lxw_worksheet *foglio = workbook_add_worksheet(libro, "Magazzino Prodotti");
    lxw_format *grassetto = workbook_add_format(libro);
    format_set_bold(grassetto);
    // The stored value is kept; two decimals are shown.
    lxw_format *importo = workbook_add_format(libro);
    format_set_num_format(importo, "0.00");
    if (!foglio || !grassetto || !importo) riuscito = false;

    if (riuscito) {
        for (lxw_col_t c = 0; c < COLONNE_FOGLIO; ++c) {
            controlla(
                worksheet_set_column_pixels(foglio, c, c, uint32_t(Colonne[c].pixel), nullptr));
            controlla(worksheet_write_string(foglio, 0, c, Colonne[c].intestazione, grassetto));
        }
        worksheet_freeze_panes(foglio, 1, 0);
        controlla(worksheet_autofilter(foglio, 0, 0, lxw_row_t(righe), COLONNE_FOGLIO - 1));
    }
    for (qsizetype r = 0; riuscito && r < righe; ++r) {
        const auto riga = lxw_row_t(r + 1);
        for (lxw_col_t c = 0; c < COLONNE_FOGLIO; ++c) {
            const QString testo = Rifila(cella(r, int(c)));
            if (testo.isEmpty()) continue;
            if (Colonne[c].genere != Colonna::Testo) {
                if (const auto numero = LeggiNumero(testo)) {
                    controlla(worksheet_write_number(
                        foglio, riga, c, *numero,
                        Colonne[c].genere == Colonna::Importo ? importo : nullptr));
                    continue;
                }
            }
            controlla(worksheet_write_string(foglio, riga, c, testo.toUtf8().constData(), nullptr));
        }
    }
    // Closing writes the file; it also frees the workbook after a failure.
    const lxw_error chiusura = workbook_close(libro);
    return riuscito && chiusura == LXW_NO_ERROR;
}

} // namespace

bool ScriviLibroMagazzino(QIODevice *uscita, qsizetype righe, const CellaFoglio &cella,
                          const QString &cartellaLavoro) {
    // A name of our own for the library's file, removed when done.
    QTemporaryFile temporaneo(QDir(cartellaLavoro).filePath(u".Magazzino.xlsx.XXXXXX"_s));
    if (!temporaneo.open()) return false;
    temporaneo.close();
    if (!scriviLibro(QFile::encodeName(temporaneo.fileName()), righe, cella)) return false;
    if (!temporaneo.open()) return false;
    char blocco[1 << 16];
    for (;;) {
        const qint64 letti = temporaneo.read(blocco, sizeof blocco);
        if (letti < 0) return false;
        if (letti == 0) return true;
        for (qint64 fatti = 0; fatti < letti;) {
            const qint64 n = uscita->write(blocco + fatti, letti - fatti);
            if (n <= 0) return false;
            fatti += n;
        }
    }
}
