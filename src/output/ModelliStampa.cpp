#include "output/ModelliStampa.h"

#include "report/TfrxReport.h"

#include <QPainter>
#include <QSvgRenderer>

using namespace Qt::StringLiterals;

namespace {

const QColor SlateGray(0x70, 0x80, 0x90);
const QColor DarkOrange(0xFF, 0x8C, 0x00);
const QColor Teal(0x00, 0x80, 0x80);

TfrxFont carattere(const QString &nome, double punti, bool grassetto, QColor colore) {
    TfrxFont f;
    f.Name = nome;
    f.Height = TfrxFont::DaPunti(punti);
    f.Bold = grassetto;
    f.Color = colore;
    return f;
}

// Positions of the templates are whole millimetres.
template <class T>
T *crea(TfrxComponent *genitore, const QString &nome, double sinistra, double alto,
        double larghezza, double altezza) {
    auto *oggetto = new T(genitore);
    oggetto->Name = nome;
    oggetto->SetBounds(mm(sinistra), mm(alto), mm(larghezza), mm(altezza));
    return oggetto;
}

// A card template's memo: one line, vertically centred, no expressions.
TfrxMemoView *memoScheda(TfrxComponent *genitore, const QString &nome, double sinistra, double alto,
                         double larghezza, double altezza, QColor sfondo, const TfrxFont &font,
                         const QString &testo) {
    auto *m = crea<TfrxMemoView>(genitore, nome, sinistra, alto, larghezza, altezza);
    m->Color = sfondo;
    m->Font = font;
    m->VAlign = TfrxVAlign::Center;
    m->WordWrap = false;
    m->AllowExpressions = false;
    m->SetText(testo);
    return m;
}

TfrxReportPage *pagine(TfrxReport &report, const char *nomePagina) {
    auto *dati = new TfrxDataPage(&report);
    dati->Name = QStringLiteral("Data");
    auto *pagina = new TfrxReportPage(&report);
    pagina->Name = QString::fromLatin1(nomePagina);
    pagina->PaperSize = 9;
    pagina->PaperWidth = 210;
    pagina->PaperHeight = 297;
    pagina->LeftMargin = pagina->RightMargin = pagina->TopMargin = pagina->BottomMargin = 10;
    return pagina;
}

// The program's logo, the yellow folder, at its 82 x 68 pixels.
QImage logo() {
    QImage immagine(82, 68, QImage::Format_ARGB32_Premultiplied);
    immagine.fill(Qt::white);
    QSvgRenderer disegno(QStringLiteral(":/quadrelo.svg"));
    QPainter p(&immagine);
    disegno.render(&p);
    return immagine;
}

void schedaComune(TfrxReport &report, double primaRiga, double passoRighe) {
    report.ReportName = QStringLiteral("Scheda informativa");
    report.ShowProgress = false;
    report.PreviewOptions.AllowEdit = false;
    report.PreviewOptions.Buttons = TfrxPreviewOptions::pbPrint | TfrxPreviewOptions::pbZoom |
                                    TfrxPreviewOptions::pbFullScreen |
                                    TfrxPreviewOptions::pbThumbnails |
                                    TfrxPreviewOptions::pbNavigator | TfrxPreviewOptions::pbClose;
    report.PreviewOptions.Zoom = 1.0;
    auto *pagina = pagine(report, "Page1");

    auto *immagine = crea<TfrxPictureView>(pagina, u"frxPictureView1"_s, 3, 3, 17, 13);
    immagine->Picture = logo();

    memoScheda(pagina, u"txtTitolo"_s, 23, 3, 165, 9, DarkOrange,
               carattere(QStringLiteral("Arial"), 16, false, Qt::white),
               QStringLiteral("Titolo Scheda"))
        ->HAlign = TfrxHAlign::Center;

    crea<TfrxLineView>(pagina, u"linSepara01"_s, 23, 16, 165, 0);

    for (int n = 1; n <= 18; ++n) {
        const QString numero = QString::number(n).rightJustified(2, u'0');
        const double alto = primaRiga + passoRighe * (n - 1);
        const QString progetto = QStringLiteral("Campo ") + QString::number(n);

        memoScheda(pagina, u"titCampo"_s + numero, 3, alto, 52, 6, Teal,
                   carattere(QStringLiteral("Arial"), 9, false, Qt::white), progetto);
        memoScheda(pagina, u"txtCampo"_s + numero, 60, alto, 128, 6, QColor(),
                   carattere(QStringLiteral("Arial"), 10, false, Qt::black), progetto);
    }

    crea<TfrxLineView>(pagina, u"linSepara02"_s, 3, 265, 185, 0);

    memoScheda(pagina, u"txtCalce"_s, 3, 269, 185, 6, DarkOrange,
               carattere(QStringLiteral("Arial"), 10, false, Qt::white),
               QStringLiteral("Termine scheda"))
        ->HAlign = TfrxHAlign::Center;
}

} // namespace

void CostruisciFrxReport(TfrxReport &report) {
    report.ReportName = QStringLiteral("Riepilogo dati");
    report.ShowProgress = false;
    auto *pagina = pagine(report, "Page");
    pagina->SetOrientation(QPageLayout::Landscape);

    auto *testata = crea<TfrxReportTitle>(pagina, u"ReportTitle"_s, 0, 0, 277, 8);
    auto *titolo = crea<TfrxMemoView>(testata, u"txtTitolo"_s, 2, 1, 273, 5);
    titolo->Color = SlateGray;
    titolo->Font = carattere(QStringLiteral("Verdana"), 9, true, Qt::white);
    titolo->HAlign = TfrxHAlign::Center;
    titolo->SetText(QStringLiteral("Riepilogo"));

    auto *dati = crea<TfrxMasterData>(pagina, u"MasterData"_s, 0, 8, 277, 28);
    dati->AllowSplit = true;
    dati->RowCount = 1;
    auto *elenco = crea<TfrxMemoView>(dati, u"txtRiepilogo"_s, 3, 0, 273, 27);
    elenco->Font = carattere(QStringLiteral("Courier New"), 8, false, Qt::black);
    elenco->WordWrap = false;

    auto *calce = crea<TfrxFooter>(pagina, u"Footer"_s, 0, 36, 277, 8);
    auto *stampaData = crea<TfrxMemoView>(calce, u"txtPagina"_s, 3, 2, 272, 5);
    stampaData->Color = SlateGray;
    stampaData->Font = carattere(QStringLiteral("Verdana"), 8, true, Qt::white);
    stampaData->HAlign = TfrxHAlign::Center;
    stampaData->SetText(QStringLiteral("Stampa eseguita in data [DATE]"));
}

void CostruisciRepScheda(TfrxReport &report) {
    schedaComune(report, 24, 10);
    auto *pagina = report.ReportPage(1);
    crea<TfrxShapeView>(pagina, u"Shape1"_s, 3, 204, 185, 57);
    memoScheda(pagina, u"Memo1"_s, 4, 205, 34, 4, QColor(),
               carattere(QStringLiteral("Arial"), 6, false, Qt::black),
               QStringLiteral("SPAZIO PER APPUNTI:"));
}

void CostruisciRepFoto(TfrxReport &report) {
    schedaComune(report, 104, 9);
    auto *foto = crea<TfrxPictureView>(report.ReportPage(1), u"imgFoto"_s, 4, 21, 183, 79);
    foto->Center = true;
}
