#include "movements/StampaMovimenti.h"

#include "output/ModelliStampa.h"
#include "report/TfrxReport.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPainter>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {
constexpr double ALTEZZA_GRAFICO = 95; // mm
}

void PreparaStampaMovimenti(TfrxReport &report, const QString &titolo, const QPicture &grafico,
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
    imgGrafico->Drawing = grafico;
    txtTitolo->SetText(titolo);
    txtRiepilogo->Memo = righe;
    txtRiepilogo->Height = double(righe.size()) * PassoRigaElenco;
    masterData->Height = txtRiepilogo->Height + 10;
    report.PrepareReport(true);
}

QPicture DisegnoGrafico(QChart *grafico, QSize dimensione) {
    // A view of its own, shown off screen so that it is really laid out at
    // this size: a view never shown paints only the part of the chart its
    // old size held, axes and legend missing.
    QChartView vista(grafico); // the view owns the chart from here
    vista.setAttribute(Qt::WA_DontShowOnScreen);
    vista.setRenderHint(QPainter::Antialiasing);
    vista.setFrameShape(QFrame::NoFrame);
    vista.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vista.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vista.resize(dimensione);
    grafico->setDropShadowEnabled(false);
    vista.show();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QPicture disegno;
    QPainter pittore(&disegno);
    pittore.setRenderHint(QPainter::Antialiasing);
    vista.render(&pittore);
    pittore.end();
    disegno.setBoundingRect(QRect(QPoint(0, 0), dimensione));
    vista.hide();
    return disegno;
}

QString Colonna(const QString &testo, int larghezza, bool destra) {
    const QString corto = testo.left(larghezza);
    return destra ? corto.rightJustified(larghezza) : corto.leftJustified(larghezza);
}

void AggiungiRigaConNota(QStringList &righe, const QString &inizio, const QString &nota,
                         int larghezza, const QString &fine) {
    righe << inizio + Colonna(nota, larghezza) + fine;
    const QString rientro(inizio.size(), u' ');
    for (qsizetype da = larghezza; da < nota.size(); da += larghezza)
        righe << rientro + nota.mid(da, larghezza).trimmed();
}
