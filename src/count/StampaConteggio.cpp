#include "count/StampaConteggio.h"

#include "archive/Archivio.h"
#include "archive/FileIntero.h"
#include "archive/Importi.h"
#include "output/ModelliStampa.h"
#include "passes/Righe.h"
#include "platform/Dialoghi.h"
#include "platform/ErroreGenerale.h"
#include "report/TfrxReport.h"

#include <QDir>
#include <QPdfWriter>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString colonna(const QString &testo, int larghezza, bool destra = false) {
    const QString corto = testo.left(larghezza);
    return destra ? corto.rightJustified(larghezza) : corto.leftJustified(larghezza);
}

using Scorri = std::function<bool(const std::function<bool(const TScheda &, qint64)> &)>;

bool righeFoglio(const Conteggio &conteggio, const Scorri &scorri, QStringList &righe) {
    struct Voce {
        QString collocazione, codice, nome, giacenza;
    };
    std::vector<Voce> voci;
    QSet<qint64> coperte(conteggio.posizioniCoperte().cbegin(),
                         conteggio.posizioniCoperte().cend());
    const bool tutte = conteggio.tutte();
    const bool letto = scorri([&](const TScheda &scheda, qint64 posizione) {
        if (tutte || coperte.contains(posizione))
            voci.push_back({scheda.testo(Campo::Collocazione), scheda.testo(Campo::Codice),
                            scheda.testo(Campo::Nome), scheda.testo(Campo::Giacenza)});
        return true;
    });
    std::stable_sort(voci.begin(), voci.end(), [](const Voce &a, const Voce &b) {
        const int c = QString::compare(a.collocazione, b.collocazione, Qt::CaseInsensitive);
        if (c != 0) return c < 0;
        return QString::compare(a.codice, b.codice, Qt::CaseInsensitive) < 0;
    });
    righe.clear();
    righe << colonna(u"Collocazione"_s, 20) + u' ' + colonna(u"Codice"_s, 25) + u' ' +
                 colonna(u"Nome"_s, 40) + u' ' + colonna(u"Giacenza"_s, 8, true) + u"   Contati"_s;
    for (const Voce &v : voci)
        righe << colonna(v.collocazione, 20) + u' ' + colonna(v.codice, 25) + u' ' +
                     colonna(v.nome, 40) + u' ' + colonna(v.giacenza, 8, true) + u"   __________"_s;
    righe << QString() << u"Schede da contare: "_s + QString::number(voci.size());
    return letto;
}

} // namespace

bool RigheFoglioConta(const Conteggio &conteggio, const QString &archivio, QStringList &righe) {
    return righeFoglio(
        conteggio, [&](const auto &visita) { return ScorriArchivio(archivio, visita); }, righe);
}

bool RigheFoglioConta(const Conteggio &conteggio, Deposito &deposito, QStringList &righe) {
    return righeFoglio(
        conteggio, [&](const auto &visita) { return ScorriSchede(deposito, visita); }, righe);
}

bool RigaNelFiltro(const RigaDifferenza &riga, FiltroDifferenze filtro) {
    switch (filtro) {
    case FiltroDifferenze::Tutte:
        return true;
    case FiltroDifferenze::SoloDifferenze:
        return riga.differenza != 0 || riga.stato == RigaDifferenza::Sconosciuta ||
               riga.stato == RigaDifferenza::Eliminata ||
               riga.stato == RigaDifferenza::GiacenzaNonIntera;
    case FiltroDifferenze::NonContate:
        return riga.stato == RigaDifferenza::NonContata;
    }
    return true;
}

QStringList RigheDifferenze(const Differenze &differenze, FiltroDifferenze filtro) {
    QStringList righe;
    righe << colonna(u"Codice"_s, 20) + u' ' + colonna(u"Nome"_s, 30) + u' ' +
                 colonna(u"Giacenza"_s, 8, true) + u' ' + colonna(u"Contati"_s, 8, true) + u' ' +
                 colonna(u"Dopo"_s, 6, true) + u' ' + colonna(u"Nuova"_s, 8, true) + u' ' +
                 colonna(u"Diff."_s, 7, true) + u' ' + colonna(u"Valore"_s, 14, true) + u"  Nota"_s;
    for (const RigaDifferenza &r : differenze.righe) {
        if (!RigaNelFiltro(r, filtro)) continue;
        QString nota;
        switch (r.stato) {
        case RigaDifferenza::Contata:
            if (r.mossiDopo != 0)
                nota = QString::number(r.mossiDopo) + u" movimentati dopo la conta"_s;
            break;
        case RigaDifferenza::NonContata:
            nota = u"non contata"_s;
            break;
        case RigaDifferenza::Eliminata:
            nota = u"scheda eliminata o spostata"_s;
            break;
        case RigaDifferenza::Sconosciuta:
            nota = u"codice sconosciuto"_s;
            break;
        case RigaDifferenza::GiacenzaNonIntera:
            nota = u"giacenza non intera: non cambiata"_s;
            break;
        }
        const bool scheda =
            r.stato != RigaDifferenza::Sconosciuta && r.stato != RigaDifferenza::Eliminata;
        const bool contata = r.stato != RigaDifferenza::NonContata;
        righe << colonna(r.codice(), 20) + u' ' + colonna(r.nome(), 30) + u' ' +
                     colonna(scheda ? r.testoGiacenza() : QString(), 8, true) + u' ' +
                     colonna(contata ? QString::number(r.contati) : QString(), 8, true) + u' ' +
                     colonna(scheda && contata ? QString::number(r.mossiDopo) : QString(), 6,
                             true) +
                     u' ' + colonna(scheda ? QString::number(r.nuova) : QString(), 8, true) + u' ' +
                     colonna(scheda ? QString::number(r.differenza) : QString(), 7, true) + u' ' +
                     colonna(scheda ? ImportoConMigliaia(r.valore) : QString(), 14, true) +
                     u"  "_s + nota;
    }
    return righe;
}

QStringList TotaliDifferenze(const Differenze &d) {
    return {QString(), u"Valore prima del conteggio:  "_s + ImportoInEuro(d.valorePrima),
            u"Valore dopo il conteggio:    "_s + ImportoInEuro(d.valoreDopo),
            u"Differenza:                  "_s + ImportoInEuro(d.valoreDopo - d.valorePrima),
            u"Schede non contate:          "_s + QString::number(d.nonContate) + u" (valore "_s +
                ImportoInEuro(d.valoreNonContate) + u')'};
}

void PreparaStampaConteggio(TfrxReport &report, const QString &titolo, const QStringList &righe) {
    PreparaStampaElenco(report, titolo, Righe(), righe);
}

void StampaConteggio(QWidget *genitore, const QString &titolo, const QStringList &righe) {
    Piattaforma::eseguiProtetto(genitore, [&] {
        TfrxReport report;
        CostruisciFrxReport(report);
        PreparaStampaConteggio(report, titolo, righe);
        report.Print(genitore);
    });
}

void PdfConteggio(QWidget *genitore, const QString &titolo, const QStringList &righe,
                  const QString &nomeFile) {
    const QString percorso = Piattaforma::ScegliFileDaSalvare(genitore, u"Salva in un file PDF"_s,
                                                              {u"File PDF (*.pdf)"_s}, nomeFile);
    if (percorso.isEmpty()) return;
    TfrxReport report;
    CostruisciFrxReport(report);
    PreparaStampaConteggio(report, titolo, righe);
    const bool scritto = ScriviFileIntero(percorso, [&](QIODevice *uscita) {
        QPdfWriter pdf(uscita);
        pdf.setTitle(titolo);
        pdf.setCreator(u"Quadrelo"_s);
        return report.DisegnaPagine(pdf);
    });
    auto &dialoghi = Piattaforma::dialoghi();
    if (scritto)
        dialoghi.messaggio(genitore, Piattaforma::TipoMessaggio::Informazione,
                           u"Il file "_s + QDir::toNativeSeparators(percorso) +
                               u" è stato salvato."_s);
    else
        dialoghi.messaggio(genitore, Piattaforma::TipoMessaggio::Errore,
                           u"Attenzione: non è stato possibile scrivere il file "_s +
                               QDir::toNativeSeparators(percorso) +
                               u". Controllare lo spazio libero e i permessi della cartella."_s);
}
