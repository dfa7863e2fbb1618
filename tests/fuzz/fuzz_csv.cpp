// The CSV import. The input is taken two ways:
// - as the bytes of a file: reading it and checking its rows never fails, and
//   every row found valid makes a card that holds its fields exactly;
// - as UTF-16 text cut at U+001E into rows and at U+001F into fields: what
//   the CSV export writes of those rows reads back as the same fields.
#include "Verifica.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "output/CsvMagazzino.h"
#include "output/ImportaCsv.h"

#include <QBuffer>
#include <cstdint>

namespace {

void provaFile(const QByteArray &byte) {
    const Importazione importazione = PreparaImportazione(byte);
    qsizetype valide = 0;
    for (const RigaImportata &riga : importazione.righe) {
        VERIFICA(riga.campi.size() == COLONNE_CSV);
        if (!riga.motivo.isEmpty()) continue;
        ++valide;
        const TScheda scheda = SchedaDaRiga(riga);
        for (int i = 0; i < COLONNE_CSV; ++i) {
            if (scheda.testo(ColonneCsv()[std::size_t(i)].campo) != riga.campi[i]) {
                Mostra("campo", riga.campi[i]);
                VERIFICA(false);
            }
        }
    }
    VERIFICA(valide == importazione.valide);
}

void provaAndataERitorno(const QString &testo) {
    QList<QStringList> righe;
    for (const QString &riga : testo.split(QChar(0x1E))) {
        QStringList campi = riga.split(QChar(0x1F));
        campi.resize(COLONNE_CSV);
        // What the export writes of a field: trimmed, in UTF-8.
        for (QString &c : campi)
            c = QString::fromUtf8(Rifila(c).toUtf8());
        righe << campi;
    }
    QByteArray scritto;
    QBuffer buffer(&scritto);
    buffer.open(QIODevice::WriteOnly);
    VERIFICA(ScriviCsvMagazzino(&buffer, righe.size(),
                                [&righe](qsizetype r, int c) { return righe[r][c]; }));
    const TestoCsv letto = LeggiCsv(scritto);
    VERIFICA(letto.separatore == u';');
    VERIFICA(!letto.virgoletteAperte);
    VERIFICA(letto.righe.size() == righe.size() + 1);
    for (qsizetype r = 0; r < righe.size(); ++r) {
        if (letto.righe[r + 1] != righe[r]) {
            Mostra("scritta", righe[r].join(u'|'));
            Mostra("letta", letto.righe[r + 1].join(u'|'));
            VERIFICA(false);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *dati, std::size_t dimensione) {
    const QByteArray byte(reinterpret_cast<const char *>(dati), qsizetype(dimensione));
    provaFile(byte);
    provaAndataERitorno(QString(reinterpret_cast<const QChar *>(dati), qsizetype(dimensione / 2)));
    return 0;
}
