#include "movements/StampaMovimenti.h"

#include "output/ModelliStampa.h"
#include "report/TfrxReport.h"

#include <QChart>
#include <QChartView>
#include <QPainter>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {
constexpr double ALTEZZA_GRAFICO = 95; // mm
}

void PreparaStampaMovimenti(TfrxReport &report, const QString &titolo, const QImage &grafico,
                            const QStringList &righe) {
    auto *txtTitolo = report.FindObject<TfrxMemoView>(u"txtTitolo"_s);
    auto *txtRiepilogo = report.FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    auto *testata = report.FindObject<TfrxBand>(u"ReportTitle"_s);
    auto *masterData = report.FindObject<TfrxBand>(u"MasterData"_s);
    if (!txtTitolo || !txtRiepilogo || !testata || !masterData)
        throw std::logic_error("list template without its title, list or bands");
    auto *imgGrafico = report.FindObject<TfrxPictureView>(u"imgGrafico"_s);
    if (!imgGrafico) {
        imgGrafico = new TfrxPictureView(testata);
        imgGrafico->Name = u"imgGrafico"_s;
        imgGrafico->SetBounds(mm(2), mm(8), mm(273), mm(ALTEZZA_GRAFICO));
        imgGrafico->Center = true;
        testata->Height = mm(8 + ALTEZZA_GRAFICO + 3);
    }
    imgGrafico->Picture = grafico;
    txtTitolo->SetText(titolo);
    txtRiepilogo->Memo = righe;
    txtRiepilogo->Height = double(righe.size()) * PassoRigaElenco;
    masterData->Height = txtRiepilogo->Height + 10;
    report.PrepareReport(true);
}

QImage ImmagineGrafico(QChart *grafico, QSize dimensione) {
    QChartView vista(grafico);
    vista.setRenderHint(QPainter::Antialiasing);
    vista.resize(dimensione);
    grafico->resize(dimensione);
    QImage immagine(dimensione, QImage::Format_RGB32);
    immagine.fill(Qt::white);
    QPainter pittore(&immagine);
    pittore.setRenderHint(QPainter::Antialiasing);
    vista.render(&pittore, QRectF(QPointF(0, 0), QSizeF(dimensione)),
                 QRect(QPoint(0, 0), dimensione));
    return immagine;
}

QString Colonna(const QString &testo, int larghezza, bool destra) {
    const QString corto = testo.left(larghezza);
    return destra ? corto.rightJustified(larghezza) : corto.leftJustified(larghezza);
}
