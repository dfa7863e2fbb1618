#include "sheets/CsvMagazzino.h"

#include "archive/Csv.h"
#include "archive/RegoleNumeri.h"
#include "archive/TestoFormula.h"

#include <QIODevice>

using namespace Qt::StringLiterals;

const std::array<ColonnaCsv, COLONNE_CSV> &ColonneCsv() {
    static const std::array<ColonnaCsv, COLONNE_CSV> colonne = {{
        {u"Codice articolo"_s, Campo::Codice},
        {u"Costo unitario"_s, Campo::Costo},
        {u"Nome prodotto"_s, Campo::Nome},
        {u"Giacenza"_s, Campo::Giacenza},
        {u"Aspetto esteriore del bene"_s, Campo::UM},
        {u"Categoria merceologica"_s, Campo::Tipologia},
        {u"Caratteristiche"_s, Campo::Caratteristiche},
        {u"Collocazione in magazzino"_s, Campo::Collocazione},
        {u"Ditta fornitrice"_s, Campo::Ditta},
        {u"Agente"_s, Campo::Agente},
        {u"Recapito telefonico"_s, Campo::Recapito},
        {u"Documento di acquisto"_s, Campo::Documento},
        {u"Modalità di pagamento"_s, Campo::Pagamento},
        {u"Data scadenza"_s, Campo::DataSca},
        {u"Note"_s, Campo::Note},
        {u"Prezzo di vendita"_s, Campo::Prezzo},
        {u"Pagato"_s, Campo::Pagato},
        {u"Avviso n. pezzi rimasti"_s, Campo::Avviso},
        {u"File allegato 1"_s, Campo::File01},
        {u"File allegato 2"_s, Campo::File02},
        {u"File allegato 3"_s, Campo::File03},
        {u"Descrizione allegato 1"_s, Campo::Desc01},
        {u"Descrizione allegato 2"_s, Campo::Desc02},
        {u"Descrizione allegato 3"_s, Campo::Desc03},
    }};
    return colonne;
}

QString TestoPerCampoCsv(const QString &testo) {
    return TestoSenzaFormula(testo, NumeroConSpazi::Si);
}

QString TestoDaCampoCsv(const QString &campo) {
    return TestoDaSenzaFormula(campo, NumeroConSpazi::Si);
}

QByteArray CampoEsportato(const QString &testo) {
    return CodificaCampoCsv(TestoPerCampoCsv(Rifila(testo)), ACapo::Tenuti);
}

bool ScriviCsvMagazzino(QIODevice *destinazione, qsizetype righe, const CampoCsv &campo) {
    auto scrivi = [destinazione](const QByteArray &riga) {
        return destinazione->write(riga) == riga.size();
    };
    QByteArray riga("\xEF\xBB\xBF");
    for (int c = 0; c < COLONNE_CSV; ++c) {
        if (c > 0) riga += ';';
        riga += CampoEsportato(ColonneCsv()[std::size_t(c)].intestazione);
    }
    riga += "\r\n";
    if (!scrivi(riga)) return false;
    for (qsizetype r = 0; r < righe; ++r) {
        riga.clear();
        for (int c = 0; c < COLONNE_CSV; ++c) {
            if (c > 0) riga += ';';
            riga += CampoEsportato(campo(r, c));
        }
        riga += "\r\n";
        if (!scrivi(riga)) return false;
    }
    return true;
}
