#include "orders/DocumentiOrdine.h"

#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "archive/Importi.h"
#include "archive/RegoleNumeri.h"
#include "passes/Righe.h"
#include "report/TfrxReport.h"
#include "sheets/CsvMagazzino.h"
#include "shop/DatiNegozio.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QColor SlateGray(0x70, 0x80, 0x90);

// Columns of a printed order line.
constexpr int L_CODICE = 16;
constexpr int L_NOME = 34;
constexpr int L_ASPETTO = 16;
constexpr int L_QUANTITA = 8;
constexpr int L_COSTO = 12;
constexpr int L_IMPORTO = 13;
constexpr int L_RIGA = L_CODICE + L_NOME + L_ASPETTO + L_QUANTITA + L_COSTO + L_IMPORTO + 5;

QString aDestra(const QString &testo, int larghezza) {
    return Rifila(testo).rightJustified(larghezza, u' ', true);
}

QString rigaColonne(const QString &codice, const QString &nome, const QString &aspetto,
                    const QString &quantita, const QString &costo, const QString &importo) {
    return AdattaCampo(codice, L_CODICE) + u' ' + AdattaCampo(nome, L_NOME) + u' ' +
           AdattaCampo(aspetto, L_ASPETTO) + u' ' + aDestra(quantita, L_QUANTITA) + u' ' +
           aDestra(costo, L_COSTO) + u' ' + aDestra(importo, L_IMPORTO);
}

bool haNonLeggibili(const GruppoOrdine &gruppo) {
    for (const RigaOrdine &r : gruppo.righe)
        if (gruppo.inOrdine(r) && !r.importo()) return true;
    return false;
}

TfrxFont carattere(const QString &nome, double punti, bool grassetto, QColor colore = Qt::black) {
    TfrxFont f;
    f.Name = nome;
    f.Height = TfrxFont::DaPunti(punti);
    f.Bold = grassetto;
    f.Color = colore;
    return f;
}

// A memo of card texts: no expressions, so brackets in a name stay as typed.
TfrxMemoView *memo(TfrxComponent *genitore, const QString &nome, double alto, double altezza,
                   const TfrxFont &font, const QString &testo) {
    auto *m = new TfrxMemoView(genitore);
    m->Name = nome;
    m->SetBounds(0, mm(alto), mm(190), mm(altezza));
    m->Font = font;
    m->WordWrap = false;
    m->AllowExpressions = false;
    m->VAlign = TfrxVAlign::Center;
    m->SetText(testo);
    return m;
}

void paginaGruppo(TfrxReport &report, const GruppoOrdine &gruppo, const QDate &data, int numero) {
    auto *pagina = new TfrxReportPage(&report);
    pagina->Name = u"Fornitore"_s + QString::number(numero);

    auto *titolo = new TfrxReportTitle(pagina);
    titolo->Name = u"Intestazione"_s + QString::number(numero);
    // Who orders, above whom the order goes to.
    const QStringList negozio = LeggiDatiNegozio().righe();
    const double sotto = negozio.isEmpty() ? 0 : 7;
    titolo->Height = mm(30 + sotto);
    const TfrxFont testo = carattere(u"Verdana"_s, 9, false);
    if (!negozio.isEmpty())
        memo(titolo, u"txtNegozio"_s, 0, 5, carattere(u"Verdana"_s, 9, true),
             u"Da: "_s + negozio.join(u" - "_s));
    auto *t =
        memo(titolo, u"txtFornitore"_s, sotto, 8, carattere(u"Verdana"_s, 11, true, Qt::white),
             u"Ordine a: "_s + gruppo.nomeMostrato());
    t->Color = SlateGray;
    t->HAlign = TfrxHAlign::Center;
    memo(titolo, u"txtAgente"_s, sotto + 10, 5, testo, u"Agente: "_s + gruppo.agente);
    memo(titolo, u"txtRecapito"_s, sotto + 15, 5, testo, u"Recapito: "_s + gruppo.recapito);
    memo(titolo, u"txtData"_s, sotto + 20, 5, testo, u"Data dell'ordine: "_s + FormattaData(data));

    auto *dati = new TfrxMasterData(pagina);
    dati->Name = u"Righe"_s + QString::number(numero);
    dati->AllowSplit = true;
    auto *righe = new TfrxMemoView(dati);
    righe->Name = u"txtRighe"_s;
    righe->Font = carattere(u"Courier New"_s, 8, false);
    righe->WordWrap = false;
    righe->AllowExpressions = false;
    righe->Memo = RigheStampaOrdine(gruppo);
    righe->SetBounds(0, 0, mm(190), double(righe->Memo.size()) * righe->PassoRiga());
    dati->Height = righe->Height + 10;

    auto *piede = new TfrxFooter(pagina);
    piede->Name = u"Piede"_s + QString::number(numero);
    piede->Height = mm(8);
    auto *p = new TfrxMemoView(piede);
    p->Name = u"txtPagina"_s;
    p->SetBounds(0, mm(2), mm(190), mm(5));
    p->Color = SlateGray;
    p->Font = carattere(u"Verdana"_s, 8, true, Qt::white);
    p->HAlign = TfrxHAlign::Center;
    p->SetText(u"Stampa eseguita in data [DATE]"_s);
}

QString percentuale(const QString &testo) {
    return QString::fromLatin1(QUrl::toPercentEncoding(testo));
}

} // namespace

QStringList RigheStampaOrdine(const GruppoOrdine &gruppo) {
    QStringList righe;
    righe << rigaColonne(u"Codice"_s, u"Descrizione"_s, u"Aspetto"_s, u"Quantità"_s, u"Costo €"_s,
                         u"Importo €"_s);
    righe << QString(L_RIGA, u'-');
    for (const RigaOrdine &r : gruppo.righe) {
        if (!gruppo.inOrdine(r)) continue;
        righe << rigaColonne(r.codice, r.nome, r.aspetto, QString::number(r.quantita), r.testoCosto,
                             TestoImporto(r.importo()));
    }
    righe << QString(L_RIGA, u'-');
    righe << aDestra(u"Totale ordine: € "_s + TestoEuro(gruppo.totale()), L_RIGA);
    if (haNonLeggibili(gruppo))
        righe << u"Le righe con importo n.d. non sono comprese nel totale."_s;
    return righe;
}

bool CostruisciRepOrdini(TfrxReport &report, const std::vector<GruppoOrdine> &gruppi,
                         const QDate &data) {
    report.ReportName = u"Ordini ai fornitori"_s;
    report.ShowProgress = false;
    auto *dati = new TfrxDataPage(&report);
    dati->Name = u"Data"_s;
    int pagine = 0;
    for (const GruppoOrdine &g : gruppi) {
        if (g.righeInOrdine() == 0) continue;
        paginaGruppo(report, g, data, ++pagine);
    }
    return pagine > 0;
}

QString NomeFileSicuro(const QString &testo) {
    QString nome;
    for (const QChar c : testo) {
        const bool buono =
            c.isLetterOrNumber() || c == u' ' || c == u'-' || c == u'_' || c == u'.' || c == u',';
        const QChar scelto = buono ? c : u'_';
        // One stand-in for a run of characters that cannot be in a name.
        if (scelto == u'_' && nome.endsWith(u'_')) continue;
        nome += scelto;
    }
    nome = nome.simplified();
    nome = nome.left(60);
    // No hidden file, no "." or "..", no blank or dot at either end.
    while (!nome.isEmpty() &&
           (nome.front() == u'.' || nome.front() == u' ' || nome.front() == u'_'))
        nome.remove(0, 1);
    while (!nome.isEmpty() && (nome.back() == u'.' || nome.back() == u' ' || nome.back() == u'_'))
        nome.chop(1);
    return nome.isEmpty() ? u"Fornitore"_s : nome;
}

QString NomeFilePdf(const GruppoOrdine &gruppo, const QDate &data) {
    return u"Ordine "_s + NomeFileSicuro(gruppo.nomeMostrato()) + u' ' +
           data.toString(u"yyyy-MM-dd"_s) + u".pdf"_s;
}

QString NomeFileCsv(const QDate &data) {
    return u"Ordini "_s + data.toString(u"yyyy-MM-dd"_s) + u".csv"_s;
}

QString CartellaOrdini() {
    return QDir(CartellaProgramma()).filePath(u"Ordini"_s);
}

QByteArray PdfOrdine(const GruppoOrdine &gruppo, const QDate &data) {
    TfrxReport report;
    CostruisciRepOrdini(report, {gruppo}, data);
    report.PrepareReport(true);
    QByteArray byte;
    QBuffer buffer(&byte);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(u"Ordine a "_s + gruppo.nomeMostrato());
        pdf.setCreator(u"Quadrelo"_s);
        pdf.setResolution(600);
        if (!report.DisegnaPagine(pdf)) return {};
    }
    return byte;
}

EsitoPdf SalvaPdfOrdini(const std::vector<GruppoOrdine> &gruppi, const QString &cartella,
                        const QDate &data) {
    EsitoPdf esito;
    if (!QDir().mkpath(cartella)) {
        esito.errore = cartella;
        return esito;
    }
    QStringList usati;
    for (const GruppoOrdine &g : gruppi) {
        if (g.righeInOrdine() == 0) continue;
        const QString base = NomeFilePdf(g, data);
        QString nome = base;
        for (int n = 2; usati.contains(nome, Qt::CaseInsensitive); ++n)
            nome = base.chopped(4) + u" ("_s + QString::number(n) + u").pdf"_s;
        usati << nome;
        const QString percorso = QDir(cartella).filePath(nome);
        const QByteArray pdf = PdfOrdine(g, data);
        const bool scritto = !pdf.isEmpty() && ScriviFileIntero(percorso, [&](QIODevice *d) {
            return d->write(pdf) == pdf.size();
        });
        if (!scritto) {
            esito.errore = percorso;
            return esito;
        }
        esito.scritti << percorso;
    }
    return esito;
}

bool ScriviCsvOrdini(QIODevice *destinazione, const std::vector<GruppoOrdine> &gruppi) {
    auto scrivi = [destinazione](const QByteArray &riga) {
        return destinazione->write(riga) == riga.size();
    };
    auto riga = [](const QStringList &campi) -> QByteArray {
        QByteArray r;
        for (qsizetype i = 0; i < campi.size(); ++i) {
            if (i > 0) r += ';';
            r += CampoEsportato(campi[i]);
        }
        r += "\r\n";
        return r;
    };
    // A number that reads is written by the number rule, any other text as
    // the card holds it; the field encoding keeps texts from becoming formulas.
    auto numero = [](const std::optional<double> &valore, const QString &testo) {
        return valore ? ScriviNumero(*valore) : testo;
    };
    if (!scrivi("\xEF\xBB\xBF" + riga({u"Fornitore"_s, u"Agente"_s, u"Recapito"_s, u"Codice"_s,
                                       u"Nome"_s, u"Aspetto"_s, u"Giacenza"_s, u"Soglia"_s,
                                       u"Quantità"_s, u"Costo"_s, u"Importo"_s})))
        return false;
    for (const GruppoOrdine &g : gruppi) {
        for (const RigaOrdine &r : g.righe) {
            if (!g.inOrdine(r)) continue;
            const auto importo = r.importo();
            if (!scrivi(riga({g.nomeMostrato(), g.agente, g.recapito, r.codice, r.nome, r.aspetto,
                              numero(r.giacenza, r.testoGiacenza), numero(r.avviso, r.testoAvviso),
                              QString::number(r.quantita), numero(r.costo, r.testoCosto),
                              importo ? ImportoSemplice(*importo) : u"n.d."_s})))
                return false;
        }
    }
    return true;
}

PostaOrdine CollegamentoPosta(const GruppoOrdine &gruppo, const QDate &data, int massimo) {
    static const QRegularExpression indirizzo(
        u"[^\\s@<>;,:\"()]+@[^\\s@<>;,:\"()]+\\.[A-Za-z]{2,}"_s);
    QString destinatario;
    for (const QString &testo : {gruppo.recapito, gruppo.agente}) {
        const auto trovato = indirizzo.match(testo);
        if (trovato.hasMatch()) {
            destinatario = trovato.captured();
            break;
        }
    }

    const QString oggetto = u"Ordine "_s + gruppo.nomeMostrato() + u" del "_s + FormattaData(data);
    const QString saluto =
        gruppo.agente.isEmpty() ? u"Buongiorno,"_s : u"Buongiorno "_s + gruppo.agente + u","_s;
    const QString inizio = saluto + u"\r\n\r\nvi trasmettiamo il seguente ordine:\r\n\r\n"_s;
    QString chiusura = u"\r\nTotale ordine: € "_s + TestoEuro(gruppo.totale());
    if (haNonLeggibili(gruppo)) chiusura += u" (le righe con importo n.d. non sono comprese)"_s;
    chiusura += u"\r\n\r\nCordiali saluti\r\n"_s;
    // The shop signs its mail as it heads its orders.
    for (const QString &riga : LeggiDatiNegozio().righe())
        chiusura += riga + u"\r\n"_s;
    const QString nota =
        u"...\r\nL'elenco è troppo lungo per questo messaggio: allegare il PDF dell'ordine.\r\n"_s;

    const QString testa = u"mailto:"_s +
                          QString::fromLatin1(QUrl::toPercentEncoding(destinatario, "@")) +
                          u"?subject="_s + percentuale(oggetto) + u"&body="_s;
    const QString fine = percentuale(chiusura);
    const QString fineTroncata = percentuale(nota + chiusura);
    QStringList righe;
    qsizetype lunghezzaRighe = 0;
    for (const RigaOrdine &r : gruppo.righe) {
        if (!gruppo.inOrdine(r)) continue;
        QString riga = u"- "_s + QString::number(r.quantita) + u" x "_s + r.codice + u' ' + r.nome;
        if (!r.aspetto.isEmpty()) riga += u" ("_s + r.aspetto + u')';
        righe << percentuale(riga + u"\r\n"_s);
        lunghezzaRighe += righe.back().size();
    }
    QString corpo = percentuale(inizio);
    PostaOrdine posta;
    if (testa.size() + corpo.size() + lunghezzaRighe + fine.size() <= massimo) {
        corpo += righe.join(QString());
    } else {
        // Whole lines only, as many as leave room for the note.
        posta.troncato = true;
        for (const QString &riga : righe) {
            if (testa.size() + corpo.size() + riga.size() + fineTroncata.size() > massimo) break;
            corpo += riga;
        }
    }
    posta.collegamento = testa + corpo + (posta.troncato ? fineTroncata : fine);
    return posta;
}
