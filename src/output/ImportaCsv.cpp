#include "output/ImportaCsv.h"

#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "output/CsvMagazzino.h"

#include <QHash>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

QString decodifica(const QByteArray &byte) {
    QByteArrayView dati(byte);
    if (dati.startsWith("\xEF\xBB\xBF")) dati = dati.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString testo = utf8.decode(dati);
    if (!utf8.hasError()) return testo;
    return Cp1252::decodifica(dati.data(), dati.size());
}

QChar separatoreDi(const QString &testo) {
    qsizetype fine = testo.indexOf(u'\n');
    const QStringView prima = QStringView(testo).left(fine < 0 ? testo.size() : fine);
    QChar scelto = u';';
    qsizetype massimo = 0;
    // On equal counts the first of these wins.
    for (QChar candidato : {QChar(u';'), QChar(u'\t'), QChar(u',')}) {
        const qsizetype n = prima.count(candidato);
        if (n > massimo) {
            massimo = n;
            scelto = candidato;
        }
    }
    return scelto;
}

enum class Genere { Testo, Importo, Quantita, Pagato };

Genere genereDi(Campo campo) {
    switch (campo) {
    case Campo::Costo:
    case Campo::Prezzo:
        return Genere::Importo;
    case Campo::Giacenza:
    case Campo::Avviso:
        return Genere::Quantita;
    case Campo::Pagato:
        return Genere::Pagato;
    default:
        return Genere::Testo;
    }
}

QString citato(const QString &carattere) {
    const char32_t codice = carattere.toUcs4().value(0);
    const QString numero = u"U+%1"_s.arg(uint(codice), 4, 16, QLatin1Char('0')).toUpper();
    return QChar::isPrint(codice) ? u"\""_s + carattere + u"\" ("_s + numero + u')' : numero;
}

// Checks and normalises the fields of a row; the reason it is skipped, or nothing.
QString controlla(QStringList &campi) {
    const auto &colonne = ColonneCsv();
    bool vuota = true;
    for (QString &c : campi) {
        c = Rifila(c);
        vuota = vuota && c.isEmpty();
    }
    if (vuota) return u"riga vuota"_s;

    const std::pair<Campo, QString> obbligatori[] = {
        {Campo::Codice, u"manca il codice articolo"_s},
        {Campo::Costo, u"manca il costo unitario"_s},
        {Campo::Nome, u"manca il nome del prodotto"_s},
        {Campo::Tipologia, u"manca la categoria merceologica"_s}};
    for (const auto &[campo, motivo] : obbligatori)
        for (int i = 0; i < COLONNE_CSV; ++i)
            if (colonne[std::size_t(i)].campo == campo && campi[i].isEmpty()) return motivo;

    for (int i = 0; i < COLONNE_CSV; ++i) {
        const Campo campo = colonne[std::size_t(i)].campo;
        const QString nome = u"il campo \""_s + colonne[std::size_t(i)].intestazione + u'"';
        QString &testo = campi[i];
        const QString estraneo = Cp1252::primoNonRappresentabile(testo);
        if (!estraneo.isEmpty())
            return nome + u" contiene il carattere "_s + citato(estraneo) +
                   u", che non può essere archiviato"_s;
        switch (genereDi(campo)) {
        case Genere::Importo:
        case Genere::Quantita: {
            const bool importo = genereDi(campo) == Genere::Importo;
            // As saving a card does: an empty stock or threshold is 0, an
            // empty price stays empty.
            if (testo.isEmpty()) {
                if (!importo) testo = u"0"_s;
                break;
            }
            if (!LeggiNumero(testo)) return nome + u" non contiene un numero valido"_s;
            testo = importo ? NormalizzaImporto(testo) : NormalizzaQuantita(testo);
            break;
        }
        case Genere::Pagato: {
            const QString valore = testo.toLower();
            if (valore == u"sì" || valore == u"si")
                testo = u"Sì"_s;
            else if (valore.isEmpty() || valore == u"no")
                testo = u"No"_s;
            else
                return nome + u" deve valere Sì o No"_s;
            break;
        }
        case Genere::Testo:
            break;
        }
        const int massimo = definizione(campo).massimo;
        if (testo.size() > massimo)
            return nome + u" supera il limite di "_s + QString::number(massimo) + u" caratteri"_s;
    }
    return {};
}

} // namespace

TestoCsv LeggiCsv(const QByteArray &byte) {
    const QString testo = decodifica(byte);
    TestoCsv csv;
    csv.separatore = separatoreDi(testo);
    QStringList riga;
    QString campo;
    bool traVirgolette = false;
    bool virgolettato = false;
    auto chiudiRiga = [&] {
        riga << campo;
        // A line with nothing on it is no record.
        if (!(riga.size() == 1 && campo.isEmpty() && !virgolettato)) csv.righe << riga;
        riga.clear();
        campo.clear();
        virgolettato = false;
    };
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const QChar c = testo[i];
        if (traVirgolette) {
            if (c != u'"')
                campo += c;
            else if (i + 1 < testo.size() && testo[i + 1] == u'"')
                campo += testo[++i];
            else
                traVirgolette = false;
        } else if (c == u'"' && campo.isEmpty() && !virgolettato) {
            traVirgolette = virgolettato = true;
        } else if (c == csv.separatore) {
            riga << campo;
            campo.clear();
            virgolettato = false;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < testo.size() && testo[i + 1] == u'\n') ++i;
            chiudiRiga();
        } else {
            campo += c;
        }
    }
    csv.virgoletteAperte = traVirgolette;
    if (!riga.isEmpty() || !campo.isEmpty() || virgolettato) chiudiRiga();
    return csv;
}

Importazione PreparaImportazione(const QByteArray &contenuto) {
    Importazione importazione;
    TestoCsv csv = LeggiCsv(contenuto);
    importazione.virgoletteAperte = csv.virgoletteAperte;
    if (csv.righe.isEmpty()) {
        importazione.errore = u"Attenzione: il file scelto è vuoto."_s;
        return importazione;
    }

    // Header cells name the fields as the export writes them, in any case.
    const auto &colonne = ColonneCsv();
    QHash<QString, int> perNome;
    for (int i = 0; i < COLONNE_CSV; ++i)
        perNome.insert(colonne[std::size_t(i)].intestazione.toLower(), i);
    const QStringList intestazione = csv.righe.takeFirst();
    QList<int> destinazione; // for each column of the file, its field or -1
    QList<bool> presi(COLONNE_CSV, false);
    for (const QString &cella : intestazione) {
        const int i = perNome.value(Rifila(cella).toLower(), -1);
        if (i >= 0 && !presi[i]) {
            presi[i] = true;
            destinazione << i;
        } else {
            destinazione << -1;
            if (!Rifila(cella).isEmpty()) importazione.ignorate << Rifila(cella);
        }
    }
    for (Campo necessario : {Campo::Codice, Campo::Nome}) {
        for (int i = 0; i < COLONNE_CSV; ++i) {
            if (colonne[std::size_t(i)].campo == necessario && !presi[i]) {
                importazione.errore = u"Attenzione: il file scelto non ha la colonna \""_s +
                                      colonne[std::size_t(i)].intestazione +
                                      u"\", necessaria per importare le schede."_s;
                return importazione;
            }
        }
    }

    importazione.righe.reserve(std::size_t(csv.righe.size()));
    for (qsizetype r = 0; r < csv.righe.size(); ++r) {
        RigaImportata riga;
        riga.numero = r + 2;
        riga.campi = QStringList(COLONNE_CSV);
        const QStringList &celle = csv.righe[r];
        for (qsizetype c = 0; c < celle.size() && c < destinazione.size(); ++c)
            if (destinazione[c] >= 0) riga.campi[destinazione[c]] = celle[c];
        riga.motivo = controlla(riga.campi);
        if (riga.motivo.isEmpty()) ++importazione.valide;
        importazione.righe.push_back(std::move(riga));
        csv.righe[r].clear(); // memory for the preview rows only
    }
    return importazione;
}

TScheda SchedaDaRiga(const RigaImportata &riga) {
    TScheda scheda;
    for (int i = 0; i < COLONNE_CSV; ++i)
        scheda.impostaTesto(ColonneCsv()[std::size_t(i)].campo, riga.campi[i]);
    return scheda;
}
