// The CSV import. The input is taken two ways:
// - as the bytes of a file: reading it and checking its rows never fails, and
//   every row found valid makes a card that holds its fields exactly;
// - as UTF-16 text cut at U+001E into rows and at U+001F into fields: what
//   the CSV export writes of those rows reads back as the same fields.
#include "Verifica.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "sheets/CsvMagazzino.h"
#include "sheets/ImportaCsv.h"

#include <QBuffer>
#include <cstdint>

namespace {

void provaFile(const QByteArray &byte) {
    const Importazione importazione = PreparaImportazione(byte);
    qsizetype nuove = 0;
    for (qsizetype i = 0; i < importazione.righe(); ++i) {
        const RigaImportata riga = importazione.riga(i);
        VERIFICA(riga.campi.size() == COLONNE_CSV);
        VERIFICA(riga.stato == importazione.stato(i));
        VERIFICA((riga.stato == StatoRiga::Rifiutata) == !riga.motivo.isEmpty());
        if (riga.stato != StatoRiga::Nuova) continue;
        ++nuove;
        const TScheda scheda = importazione.nuovaScheda(i);
        for (int c = 0; c < COLONNE_CSV; ++c) {
            if (scheda.testo(ColonneCsv()[std::size_t(c)].campo) != riga.campi[c]) {
                Mostra("campo", riga.campi[c]);
                VERIFICA(false);
            }
        }
    }
    VERIFICA(nuove == importazione.nuove());
    // Every header cell and value: recognising and reading never fail.
    for (const QString &cella : importazione.intestazione()) {
        const int campo = CampoDiIntestazione(cella);
        VERIFICA(campo >= -1 && campo < COLONNE_CSV);
    }
    const QString testo = QString::fromUtf8(byte.left(64));
    for (const UsoColonna uso :
         {UsoColonna{false, false}, UsoColonna{true, false}, UsoColonna{false, true}}) {
        const ValoreLetto letto = LeggiValoreNumerico(testo, true, uso, QStringLiteral("x"));
        VERIFICA(letto.motivo.isEmpty() == (!letto.testo.isEmpty() || Rifila(testo).isEmpty()));
        if (!letto.testo.isEmpty()) VERIFICA(LeggiNumero(letto.testo).has_value());
    }
}

void provaAndataERitorno(const QString &testo) {
    QList<QStringList> righe;
    for (const QString &riga : testo.split(QChar(0x1E))) {
        QStringList campi = riga.split(QChar(0x1F));
        campi.resize(COLONNE_CSV);
        // What a card holds and the export writes of a field: in UTF-8 (which
        // drops a leading byte order mark and mends lone surrogates), then
        // trimmed, since a card's texts are always trimmed.
        for (QString &c : campi)
            c = Rifila(QString::fromUtf8(c.toUtf8()));
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
        QStringList campi = letto.righe[r + 1];
        for (QString &c : campi)
            c = TestoDaCampoCsv(c);
        if (campi != righe[r]) {
            Mostra("scritta", righe[r].join(u'|'));
            Mostra("letta", campi.join(u'|'));
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
