#include "labels/FoglioEtichette.h"

#include "archive/Archivio.h"
#include "archive/Importi.h"
#include "archive/RegoleNumeri.h"
#include "labels/CodiceABarre.h"
#include "report/TfrxReport.h"
#include "storage/DepositoFile.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr double Tolleranza = 0.005; // mm
// Bars lower than this are not printed; taller than this are not needed.
constexpr double AltezzaBarreMinima = 5;
constexpr double AltezzaBarreMassima = 20;

QString millimetri(double valore) {
    return ScriviNumero(Arrotonda(valore, 2));
}

FormatoFoglio centrato(int colonne, int righe, double larghezza, double altezza,
                       double spazioOrizzontale) {
    FormatoFoglio f;
    f.colonne = colonne;
    f.righe = righe;
    f.larghezza = larghezza;
    f.altezza = altezza;
    f.spazioOrizzontale = spazioOrizzontale;
    f.margineSinistro =
        Arrotonda((LarghezzaA4 - colonne * larghezza - (colonne - 1) * spazioOrizzontale) / 2, 3);
    f.margineAlto = Arrotonda((AltezzaA4 - righe * altezza) / 2, 3);
    f.nome = QString::number(colonne) + u" × "_s + QString::number(righe) + u" etichette da "_s +
             millimetri(larghezza) + u" × "_s + millimetri(altezza) + u" mm"_s;
    return f;
}

double altezzaRiga(double punti) {
    return punti * 25.4 / 72 * 1.25;
}

// Text measured as the report engine draws it: points at 96 units per inch.
// Glyph widths are rounded to the device's pixels, so the same text is a
// little wider on some resolutions than on others: it is cut to fit on the
// screen's and on the usual printer and PDF resolutions alike, so that the
// ellipsis is never cut off by the label's edge. One object serves a whole
// sheet: the measures of each size of text are made once, and the copies of
// a card ask for the same texts again.
class Tagliatore {
  public:
    QString taglia(const QString &testo, double punti, bool grassetto, double larghezzaMm) {
        const QString chiave = QString::number(punti) + (grassetto ? u'g' : u'n') +
                               QString::number(larghezzaMm) + u'|' + testo;
        if (const auto trovato = m_tagliati.constFind(chiave); trovato != m_tagliati.cend())
            return *trovato;
        const std::vector<QFontMetricsF> &misure = metriche(punti, grassetto);
        QString esito = testo;
        // Rounding moves each character by less than a pixel, and a pixel is
        // widest at 96 dpi: a text that fits with that much to spare, as
        // measured at the finest resolution, fits on every device.
        const double fine = misure.back().horizontalAdvance(testo) * 96.0 / Risoluzioni[4];
        if (fine + double(testo.size()) <= mm(larghezzaMm)) return testo;
        for (std::size_t i = 0; i < misure.size(); ++i) {
            const double larghezza = mm(larghezzaMm) * Risoluzioni[i] / 96.0;
            if (misure[i].horizontalAdvance(esito) <= larghezza) continue;
            // Cut from the whole text again: the ellipsis stays one character.
            const QString tagliato = misure[i].elidedText(testo, Qt::ElideRight, larghezza);
            if (tagliato.size() < esito.size()) esito = tagliato;
        }
        if (m_tagliati.size() > 4096) m_tagliati.clear();
        m_tagliati.insert(chiave, esito);
        return esito;
    }

  private:
    static constexpr double Risoluzioni[] = {96.0, 150.0, 300.0, 600.0, 1200.0};

    const std::vector<QFontMetricsF> &metriche(double punti, bool grassetto) {
        std::vector<QFontMetricsF> &misure = m_metriche[{punti, grassetto}];
        if (!misure.empty()) return misure;
        QFont f(u"Arial"_s);
        f.setPointSizeF(punti);
        f.setBold(grassetto);
        f.setHintingPreference(QFont::PreferNoHinting);
        for (const double dpi : Risoluzioni) {
            QImage superficie(1, 1, QImage::Format_RGB32);
            const int puntiPerMetro = int(std::lround(dpi / 0.0254));
            superficie.setDotsPerMeterX(puntiPerMetro);
            superficie.setDotsPerMeterY(puntiPerMetro);
            misure.emplace_back(f, &superficie);
        }
        return misure;
    }

    std::map<std::pair<double, bool>, std::vector<QFontMetricsF>> m_metriche;
    QHash<QString, QString> m_tagliati;
};

TfrxMemoView *memo(TfrxReportPage *pagina, const QRectF &postoMm, const QString &testo,
                   double punti, bool grassetto, TfrxHAlign allineamento, bool aCapo = false) {
    auto *m = new TfrxMemoView(pagina);
    m->SetBounds(mm(postoMm.left()), mm(postoMm.top()), mm(postoMm.width()), mm(postoMm.height()));
    m->Font.Name = u"Arial"_s;
    m->Font.Height = TfrxFont::DaPunti(punti);
    m->Font.Bold = grassetto;
    m->HAlign = allineamento;
    m->VAlign = TfrxVAlign::Center;
    m->WordWrap = aCapo;
    // A card's text is printed as it stands, brackets and all.
    m->AllowExpressions = false;
    if (aCapo)
        m->SetText(testo);
    else
        m->Memo = QStringList{testo};
    return m;
}

// One label's contents within its rectangle on the sheet (mm).
void disegnaEtichetta(Tagliatore &tagliatore, TfrxReportPage *pagina, const QRectF &posto,
                      const TestiEtichetta &testi, const SchedaEtichetta &scheda,
                      const Barre &barre, QString &motivo) {
    const double margine = std::clamp(std::min(posto.width(), posto.height()) * 0.06, 1.0, 2.0);
    const QRectF interno = posto.adjusted(margine, margine, -margine, -margine);
    const bool piccola = interno.height() < 24;
    const double puntiNome = piccola ? 7 : 8;
    const double puntiCodice = piccola ? 6 : 7;
    const double puntiPrezzo = piccola ? 8 : 10;

    double alto = interno.top();
    double basso = interno.bottom();
    const QString nome = Rifila(scheda.nome);
    if (testi.nome && !nome.isEmpty()) {
        const double h = altezzaRiga(puntiNome);
        memo(pagina, QRectF(interno.left(), alto, interno.width(), h),
             tagliatore.taglia(nome, puntiNome, false, interno.width()), puntiNome, false,
             TfrxHAlign::Left);
        alto += h + 0.5;
    }
    const QString prezzo = TestoPrezzo(scheda.prezzo);
    if (testi.prezzo && !prezzo.isEmpty()) {
        const double h = altezzaRiga(puntiPrezzo);
        memo(pagina, QRectF(interno.left(), basso - h, interno.width(), h),
             tagliatore.taglia(prezzo, puntiPrezzo, true, interno.width()), puntiPrezzo, true,
             TfrxHAlign::Right);
        basso -= h + 0.5;
    }

    // The bars with the code in text under them, centred in what is left.
    const double hCodice = testi.codice ? altezzaRiga(puntiCodice) : 0;
    const double spazio = basso - alto;
    motivo = barre.motivo;
    double modulo = 0;
    if (barre.valide()) {
        modulo = std::min(ModuloMassimo, interno.width() / barre.moduli);
        if (modulo < ModuloMinimo)
            motivo = u"il codice è troppo lungo per la larghezza dell'etichetta"_s;
        else if (spazio - hCodice < AltezzaBarreMinima)
            motivo = u"l'etichetta è troppo bassa per il codice a barre"_s;
    }
    if (motivo.isEmpty()) {
        const double hBarre = std::min(AltezzaBarreMassima, spazio - hCodice);
        const double larghezza = modulo * barre.moduli;
        const double y = alto + (spazio - hBarre - hCodice) / 2;
        auto *vista = new TfrxRectanglesView(pagina);
        vista->SetBounds(mm(interno.center().x() - larghezza / 2), mm(y), mm(larghezza),
                         mm(hBarre));
        vista->Rectangles = barre.rettangoli(vista->Width, vista->Height);
        if (testi.codice)
            memo(pagina, QRectF(interno.left(), y + hBarre, interno.width(), hCodice),
                 tagliatore.taglia(barre.codice, puntiCodice, false, interno.width()), puntiCodice,
                 false, TfrxHAlign::Center);
        return;
    }

    // No barcode: the code in text, and a note that says why.
    const double hNota = std::min(spazio, altezzaRiga(6) * 2);
    const QString codice = Rifila(scheda.codice);
    // The code whole, in the largest size that fits: it is all there is to read.
    double punti = 9;
    while (punti > 5 && tagliatore.taglia(codice, punti, true, interno.width()) != codice)
        punti -= 0.5;
    const double hTesto = codice.isEmpty() ? 0 : std::min(spazio - hNota, altezzaRiga(punti));
    const double y = alto + (spazio - hTesto - hNota) / 2;
    if (hTesto > 0)
        memo(pagina, QRectF(interno.left(), y, interno.width(), hTesto), codice, punti, true,
             TfrxHAlign::Center);
    if (hNota > 0)
        memo(pagina, QRectF(interno.left(), y + hTesto, interno.width(), hNota),
             u"Senza codice a barre: "_s + motivo + u'.', 6, false, TfrxHAlign::Center, true);
}

} // namespace

QRectF FormatoFoglio::posto(int numero) const {
    const int i = numero - 1;
    const int riga = colonne > 0 ? i / colonne : 0;
    const int colonna = colonne > 0 ? i % colonne : 0;
    return {margineSinistro + colonna * (larghezza + spazioOrizzontale),
            margineAlto + riga * (altezza + spazioVerticale), larghezza, altezza};
}

const QList<FormatoFoglio> &FormatiStandard() {
    static const QList<FormatoFoglio> formati{
        centrato(3, 8, 70, 37, 0),
        centrato(3, 7, 70, 42.3, 0),
        centrato(2, 7, 99.1, 38.1, 2.5),
        centrato(4, 10, 48.5, 25.4, 0),
    };
    return formati;
}

QString ControllaFormato(const FormatoFoglio &f) {
    if (f.colonne < 1 || f.righe < 1)
        return u"Il foglio deve avere almeno una colonna e una riga di etichette."_s;
    if (!(f.larghezza >= 20 - Tolleranza) || !(f.altezza >= 10 - Tolleranza))
        return u"Ogni etichetta deve misurare almeno 20 mm di larghezza e 10 mm di altezza."_s;
    if (!(f.margineSinistro >= 0) || !(f.margineAlto >= 0) || !(f.spazioOrizzontale >= 0) ||
        !(f.spazioVerticale >= 0))
        return u"Margini e spazi tra le etichette non possono essere negativi."_s;
    const double destra =
        f.margineSinistro + f.colonne * f.larghezza + (f.colonne - 1) * f.spazioOrizzontale;
    if (destra > LarghezzaA4 + Tolleranza)
        return u"Le etichette non stanno sul foglio A4: con i margini arrivano a "_s +
               millimetri(destra) + u" mm in larghezza, ma il foglio è largo "_s +
               millimetri(LarghezzaA4) + u" mm."_s;
    const double fondo = f.margineAlto + f.righe * f.altezza + (f.righe - 1) * f.spazioVerticale;
    if (fondo > AltezzaA4 + Tolleranza)
        return u"Le etichette non stanno sul foglio A4: con i margini arrivano a "_s +
               millimetri(fondo) + u" mm in altezza, ma il foglio è alto "_s +
               millimetri(AltezzaA4) + u" mm."_s;
    return {};
}

QString TestoPrezzo(const QString &prezzo) {
    const QString p = Rifila(prezzo);
    if (p.isEmpty()) return {};
    const auto valore = LeggiNumero(p);
    if (!valore) return p;
    return ImportoInEuro(*valore);
}

SchedaEtichetta EtichettaDellaScheda(const TScheda &scheda) {
    return {scheda.testo(Campo::Codice), scheda.testo(Campo::Nome), scheda.testo(Campo::Prezzo),
            CopieDaGiacenza(scheda.testo(Campo::Giacenza))};
}

namespace {

// `scorri` hands the cards in position order to its visitor, which says
// whether to go on; false when they cannot be read.
bool leggiEtichette(
    const QList<qint64> &posizioni, QList<SchedaEtichetta> &schede,
    const std::function<bool(const std::function<bool(const TScheda &, qint64)> &)> &scorri) {
    schede.clear();
    if (posizioni.isEmpty()) return true;
    QHash<qint64, SchedaEtichetta> lette;
    for (qint64 p : posizioni)
        lette.insert(p, {});
    QSet<qint64> trovate;
    const qint64 ultima = *std::max_element(posizioni.begin(), posizioni.end());
    const bool riuscito = scorri([&](const TScheda &scheda, qint64 posizione) {
        auto voce = lette.find(posizione);
        if (voce != lette.end()) {
            *voce = EtichettaDellaScheda(scheda);
            trovate.insert(posizione);
        }
        return posizione < ultima;
    });
    for (qint64 p : posizioni)
        if (trovate.contains(p)) schede << lette.value(p);
    return riuscito;
}

} // namespace

bool LeggiSchedeEtichette(const QString &archivio, const QList<qint64> &posizioni,
                          QList<SchedaEtichetta> &schede) {
    return leggiEtichette(posizioni, schede,
                          [&archivio](const std::function<bool(const TScheda &, qint64)> &vedi) {
                              return ScorriArchivio(archivio, vedi);
                          });
}

bool LeggiSchedeEtichette(Deposito &deposito, const QList<qint64> &posizioni,
                          QList<SchedaEtichetta> &schede) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return LeggiSchedeEtichette(file->archivio(), posizioni, schede);
    return leggiEtichette(
        posizioni, schede, [&deposito](const std::function<bool(const TScheda &, qint64)> &vedi) {
            return deposito.scorri([&vedi](const TScheda *blocco, qint64 quante, qint64 prima) {
                for (qint64 i = 0; i < quante; ++i)
                    if (!vedi(blocco[i], prima + i)) return false;
                return true;
            });
        });
}

int CopieDaGiacenza(const QString &giacenza) {
    const auto valore = LeggiNumero(Rifila(giacenza));
    if (!valore || !(*valore >= 1)) return 0;
    return int(std::min(std::floor(*valore), double(MassimoCopie)));
}

EtichettePreparate PreparaEtichette(const FormatoFoglio &formato, int primaLibera,
                                    const TestiEtichetta &testi,
                                    const QList<SchedaEtichetta> &schede) {
    EtichettePreparate esito;
    esito.report = std::make_unique<TfrxReport>();
    TfrxReport &report = *esito.report;
    report.ReportName = u"Etichette"_s;
    new TfrxDataPage(&report);

    const int perFoglio = formato.etichette();
    int numero = std::clamp(primaLibera, 1, std::max(1, perFoglio));
    TfrxReportPage *pagina = nullptr;
    // Each code is encoded once, however many labels it has.
    QHash<QString, Barre> codificati;
    QSet<QString> giaSegnalati;
    Tagliatore tagliatore;
    for (const SchedaEtichetta &scheda : schede) {
        if (scheda.copie <= 0) continue;
        auto trovato = codificati.find(scheda.codice);
        if (trovato == codificati.end())
            trovato = codificati.insert(scheda.codice, CodificaBarre(scheda.codice));
        for (int copia = 0; copia < scheda.copie; ++copia) {
            if (!pagina || numero > perFoglio) {
                if (pagina) numero = 1;
                pagina = new TfrxReportPage(&report);
                pagina->LeftMargin = pagina->RightMargin = 0;
                pagina->TopMargin = pagina->BottomMargin = 0;
                ++esito.fogli;
            }
            QString motivo;
            disegnaEtichetta(tagliatore, pagina, formato.posto(numero), testi, scheda, *trovato,
                             motivo);
            if (!motivo.isEmpty()) {
                const QString codice = Rifila(scheda.codice);
                const QString voce =
                    (codice.isEmpty() ? u"(senza codice)"_s : codice) + u": "_s + motivo;
                if (!giaSegnalati.contains(voce)) {
                    giaSegnalati.insert(voce);
                    esito.senzaBarre << voce;
                }
            } else if (!trovato->nota.isEmpty()) {
                const QString voce = trovato->codice + u": "_s + trovato->nota;
                if (!giaSegnalati.contains(voce)) {
                    giaSegnalati.insert(voce);
                    esito.comeCode128 << voce;
                }
            }
            ++numero;
            ++esito.etichette;
        }
    }
    report.PrepareReport(true);
    return esito;
}
