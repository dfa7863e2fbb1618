#pragma once

// A label as the webcam sees it, for the tests and the benchmarks: the sheet
// drawn at 150 dpi, one label cut out and set, a little turned, into a grey
// 1280 x 720 frame. Header only, so the benchmarks use it without the tests.

#include "labels/FoglioEtichette.h"
#include "report/PaginePreparate.h"
#include "report/TfrxReport.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

// The grey around the label; a frame of only this shows no code.
inline QColor SfondoFotogramma() {
    return {0x60, 0x60, 0x60};
}

inline QImage FotogrammaConEtichetta(const QString &codice) {
    const FormatoFoglio formato = FormatiStandard().at(0);
    const EtichettePreparate e = PreparaEtichette(
        formato, 1, {}, {{codice, QStringLiteral("Prodotto"), QStringLiteral("5"), 1}});
    const double zoom = 150.0 / 96.0;
    const QImage pagina = ImmaginePagina(e.report->PreparedPages().at(0), zoom);
    const QRectF p = formato.posto(1);
    const QImage etichetta = pagina.copy(
        QRectF(mm(p.left()) * zoom, mm(p.top()) * zoom, mm(p.width()) * zoom, mm(p.height()) * zoom)
            .toAlignedRect());
    QImage fotogramma(1280, 720, QImage::Format_RGB32);
    fotogramma.fill(SfondoFotogramma());
    QPainter pittore(&fotogramma);
    pittore.setRenderHint(QPainter::SmoothPixmapTransform);
    pittore.translate(640, 360);
    pittore.rotate(4);
    pittore.drawImage(QPointF(-etichetta.width() / 2.0, -etichetta.height() / 2.0), etichetta);
    return fotogramma;
}
