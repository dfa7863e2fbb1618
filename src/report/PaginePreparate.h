#pragma once

#include <QColor>
#include <QImage>
#include <QPageLayout>
#include <QPicture>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPainter;
class QPagedPaintDevice;

// Prepared pages are plain data: where each text, picture, line and
// rectangle lands on the paper, in report units (1/96 inch) from the paper's
// top-left corner. One renderer paints them on any device.

struct CarattereStampa {
    QString nome;
    double altezzaPx = 13.333; // pixels at 96 per inch
    bool grassetto = false;
    QColor colore = Qt::black;

    bool operator==(const CarattereStampa &) const = default;
};

// One piece of text: a single line, or a word-wrapped block when the
// alignment carries Qt::TextWordWrap. Drawn inside `riquadro` and cut at
// `taglio`, the visible part of its memo.
struct TestoPosizionato {
    QRectF riquadro;
    QRectF taglio;
    QString testo;
    CarattereStampa carattere;
    int allineamento = Qt::AlignLeft | Qt::AlignVCenter;
};

// A picture already scaled to fit its box; `riquadro` is where it lands. A
// drawing (painting commands) takes the picture's place when it is set.
struct ImmaginePosizionata {
    QRectF riquadro;
    QRectF taglio;
    QImage immagine;
    QPicture disegno;
};

struct LineaPosizionata {
    QPointF da;
    QPointF a;
};

// A filled background (riempimento valid) or a thin black outline.
struct RettangoloPosizionato {
    QRectF riquadro;
    QColor riempimento;
    bool contorno = false;
};

struct PaginaPreparata {
    QSizeF cartaMm; // as the page lies: landscape pages are wider than tall
    std::vector<RettangoloPosizionato> rettangoli;
    std::vector<ImmaginePosizionata> immagini;
    std::vector<TestoPosizionato> testi;
    std::vector<LineaPosizionata> linee;

    QPageLayout impaginazione() const;
    QSizeF dimensioneUnita() const;
};

// Paints one page with the painter's device origin at the paper's corner; the
// device's resolution gives the scale.
void DisegnaPagina(QPainter &pittore, const PaginaPreparata &pagina);

// The page as a picture at the given zoom (1.0 = 96 dots per inch).
QImage ImmaginePagina(const PaginaPreparata &pagina, double zoom, qreal rapportoPixel = 1.0);
