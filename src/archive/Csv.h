#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <type_traits>

// The fields of every CSV file the program writes or reads: separated by
// ';' (',' and tab are read too), a field in double quotes when it holds a
// separator, a quote or a line break, a quote inside it doubled.

// Whether a line break inside a field stays (the export, read back by the
// import) or becomes a blank (files read a line at a time: the journal).
enum class ACapo { Tenuti, InSpazi };

// Whether a comma also puts a field in quotes: in the journal, which a
// spreadsheet may save again with commas between its fields.
enum class Virgola { Libera, TraVirgolette };

// One field as UTF-8. The caller has already made the text safe from
// formulas by its own rule.
QByteArray CodificaCampoCsv(QStringView testo, ACapo acapo, Virgola virgola = Virgola::Libera);

// Whether a field that opens a quote and does not close it, or goes on past
// its closing quote, spoils the line (the journal: such a line is damaged)
// or is taken as written (the import of other programs' files).
enum class Virgolette { Rigorose, Tolleranti };

// Splits one record (no line end) into its fields and hands each to
// `campo`, in order: a view into `riga` when the field is one piece of it,
// else the field put together (a QByteArray or QString). `campo` returns
// false to stop early. False when a rigorous record does not read.
template <typename Vista, typename Campo>
bool DividiCampiCsv(Vista riga, typename Vista::value_type separatore, Virgolette regola,
                    Campo &&campo) {
    using Carattere = std::remove_const_t<typename Vista::value_type>;
    using Composto = std::conditional_t<std::is_same_v<Carattere, QChar>, QString, QByteArray>;
    const Carattere virgolette = Carattere(u'"');
    const qsizetype n = riga.size();
    // Next place of `c` from `da`, or the end.
    auto prossimo = [&](Carattere c, qsizetype da) {
        const qsizetype dove = riga.indexOf(c, da);
        return dove < 0 ? n : dove;
    };
    qsizetype i = 0;
    for (;;) {
        qsizetype fine;
        if (i >= n || riga[i] != virgolette) {
            fine = prossimo(separatore, i);
            if (!campo(riga.sliced(i, fine - i))) return true;
        } else {
            const qsizetype apre = ++i;
            Composto composto;
            bool unPezzo = true;
            for (;;) {
                const qsizetype chiude = prossimo(virgolette, i);
                if (chiude >= n) {
                    if (regola == Virgolette::Rigorose) return false;
                    composto += riga.sliced(i);
                    unPezzo = false;
                    i = n;
                    break;
                }
                if (chiude + 1 < n && riga[chiude + 1] == virgolette) {
                    // A doubled quote stands for one.
                    composto += riga.sliced(i, chiude + 1 - i);
                    unPezzo = false;
                    i = chiude + 2;
                    continue;
                }
                if (!unPezzo) composto += riga.sliced(i, chiude - i);
                i = chiude + 1;
                break;
            }
            fine = prossimo(separatore, i);
            if (fine > i) {
                if (regola == Virgolette::Rigorose) return false;
                if (unPezzo) composto += riga.sliced(apre, i - 1 - apre);
                composto += riga.sliced(i, fine - i);
                unPezzo = false;
            }
            const bool avanti =
                unPezzo ? campo(riga.sliced(apre, i - 1 - apre)) : campo(std::move(composto));
            if (!avanti) return true;
        }
        if (fine >= n) return true;
        i = fine + 1;
    }
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF, no sequence cut at the end).
bool Utf8Valido(QByteArrayView byte);
