#pragma once

#include "orders/Ordini.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

class QIODevice;
class TfrxReport;

// What leaves the order window: the printed order (one supplier a page), a
// PDF per supplier, a CSV of the lines and a mail link.

// The order of one supplier as fixed-width lines for Courier New: the column
// heads, one line per ordered line, the total.
QStringList RigheStampaOrdine(const GruppoOrdine &gruppo);

// "Ordini ai fornitori": one A4 page (continued when long) per group that has
// lines in the order. False when no group has any.
bool CostruisciRepOrdini(TfrxReport &report, const std::vector<GruppoOrdine> &gruppi,
                         const QDate &data);

// A file name made of the supplier's text: letters, digits, blanks and
// "-_." only, at most 60 characters, never empty, never hidden.
QString NomeFileSicuro(const QString &testo);
// "Ordine <supplier> <yyyy-mm-dd>.pdf"
QString NomeFilePdf(const GruppoOrdine &gruppo, const QDate &data);

// The printed order of one group as a PDF file's bytes.
QByteArray PdfOrdine(const GruppoOrdine &gruppo, const QDate &data);

struct EsitoPdf {
    QStringList scritti; // full paths, in the groups' order
    QString errore;      // the file that could not be written, if any
};
// One PDF per group with lines in the order, in `cartella` (created when
// missing), each written whole or not at all. Two suppliers whose names give
// the same file name get " (2)", " (3)"... Stops at the first failure.
EsitoPdf SalvaPdfOrdini(const std::vector<GruppoOrdine> &gruppi, const QString &cartella,
                        const QDate &data);
// The Ordini folder of the program folder.
QString CartellaOrdini();

// Every line in the order, supplier by supplier: UTF-8 with a byte-order
// mark, ';' between fields, CRLF, no text a spreadsheet would run as a formula. False as soon as a
// write fails.
bool ScriviCsvOrdini(QIODevice *destinazione, const std::vector<GruppoOrdine> &gruppi);
// "Ordini <yyyy-mm-dd>.csv"
QString NomeFileCsv(const QDate &data);

// Desktop mail programs take links up to about this length.
inline constexpr int LUNGHEZZA_MASSIMA_COLLEGAMENTO = 2000;

struct PostaOrdine {
    QString collegamento; // mailto:..., percent-encoded
    bool troncato = false;
};
// A mail to the agent (the first mail address found in the agent's name or
// telephone, else none: the user types it) with the order in the body; a
// body too long for a link is cut between lines, with a note to attach the PDF.
PostaOrdine CollegamentoPosta(const GruppoOrdine &gruppo, const QDate &data,
                              int massimo = LUNGHEZZA_MASSIMA_COLLEGAMENTO);
