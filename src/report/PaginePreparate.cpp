#include "report/PaginePreparate.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <optional>

namespace {

constexpr double UnitaPerMm = 96.0 / 25.4;

// Maps report units to the device's pixels and keeps the current font and
// clip, so that a page of list lines does not set them again for every line.
class Pittore {
  public:
    explicit Pittore(QPainter &p)
        : m_p(p), m_sx(p.device()->logicalDpiX() / 96.0), m_sy(p.device()->logicalDpiY() / 96.0) {}

    QRectF mappa(const QRectF &r) const {
        return {r.x() * m_sx, r.y() * m_sy, r.width() * m_sx, r.height() * m_sy};
    }
    QPointF mappa(const QPointF &q) const { return {q.x() * m_sx, q.y() * m_sy}; }
    double spessore() const { return std::max(1.0, m_sx); }

    void taglia(const QRectF &taglio) {
        if (taglio == m_taglio) return;
        m_taglio = taglio;
        if (taglio.isNull())
            m_p.setClipping(false);
        else
            m_p.setClipRect(mappa(taglio));
    }

    const QFontMetricsF &carattere(const CarattereStampa &c) {
        if (!m_metriche || !(c == m_carattere)) {
            QFont f(c.nome);
            // Points follow the device's resolution, so the text has the same
            // size on screen, paper and PDF.
            f.setPointSizeF(c.altezzaPx * 0.75);
            f.setBold(c.grassetto);
            f.setHintingPreference(QFont::PreferNoHinting);
            m_p.setFont(f);
            m_p.setPen(c.colore);
            m_carattere = c;
            m_metriche.emplace(m_p.font(), m_p.device());
        }
        return *m_metriche;
    }

    QPainter &p() { return m_p; }

  private:
    QPainter &m_p;
    double m_sx;
    double m_sy;
    QRectF m_taglio;
    CarattereStampa m_carattere;
    std::optional<QFontMetricsF> m_metriche;
};

void disegnaTesto(Pittore &pittore, const TestoPosizionato &t) {
    const QFontMetricsF &fm = pittore.carattere(t.carattere);
    pittore.taglia(t.taglio);
    const QRectF r = pittore.mappa(t.riquadro);
    if (t.allineamento & Qt::TextWordWrap) {
        pittore.p().drawText(r, t.allineamento | Qt::TextDontClip, t.testo);
        return;
    }
    // A single line: placing the baseline directly is much cheaper than the
    // general text layout, and list pages are made of nothing else.
    double x = r.left();
    if (t.allineamento & (Qt::AlignHCenter | Qt::AlignRight)) {
        const double larghezza = fm.horizontalAdvance(t.testo);
        x = (t.allineamento & Qt::AlignRight) ? r.right() - larghezza
                                              : r.left() + (r.width() - larghezza) / 2;
    }
    double y;
    if (t.allineamento & Qt::AlignBottom)
        y = r.bottom() - fm.descent();
    else if (t.allineamento & Qt::AlignTop)
        y = r.top() + fm.ascent();
    else
        y = r.top() + (r.height() - fm.ascent() - fm.descent()) / 2 + fm.ascent();
    pittore.p().drawText(QPointF(x, y), t.testo);
}

} // namespace

QPageLayout PaginaPreparata::impaginazione() const {
    const bool orizzontale = cartaMm.width() > cartaMm.height();
    const QSizeF verticale = orizzontale ? cartaMm.transposed() : cartaMm;
    QPageLayout layout(QPageSize(verticale, QPageSize::Millimeter),
                       orizzontale ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

QSizeF PaginaPreparata::dimensioneUnita() const {
    return cartaMm * UnitaPerMm;
}

void DisegnaPagina(QPainter &p, const PaginaPreparata &pagina) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    Pittore pittore(p);

    for (const auto &r : pagina.rettangoli) {
        if (r.riempimento.isValid()) p.fillRect(pittore.mappa(r.riquadro), r.riempimento);
    }
    for (const auto &i : pagina.immagini) {
        pittore.taglia(i.taglio);
        if (i.disegno.isNull()) {
            p.drawImage(pittore.mappa(i.riquadro), i.immagine);
            continue;
        }
        // The drawing's own area, scaled into the box.
        const QRectF da = i.disegno.boundingRect();
        const QRectF a = pittore.mappa(i.riquadro);
        if (da.isEmpty()) continue;
        // drawPicture scales by the device's resolution over the drawing's
        // own; that is taken back here, so only the box's scale remains.
        const QPaintDevice *dispositivo = p.device();
        const double rx = double(i.disegno.logicalDpiX()) / dispositivo->logicalDpiX();
        const double ry = double(i.disegno.logicalDpiY()) / dispositivo->logicalDpiY();
        p.save();
        p.translate(a.topLeft());
        p.scale(a.width() / da.width() * rx, a.height() / da.height() * ry);
        p.translate(-da.topLeft());
        p.drawPicture(QPointF(0, 0), i.disegno);
        p.restore();
    }
    for (const auto &t : pagina.testi)
        disegnaTesto(pittore, t);

    pittore.taglia({});
    p.setPen(QPen(Qt::black, pittore.spessore(), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    for (const auto &r : pagina.rettangoli) {
        if (r.contorno) p.drawRect(pittore.mappa(r.riquadro));
    }
    for (const auto &l : pagina.linee)
        p.drawLine(pittore.mappa(l.da), pittore.mappa(l.a));
    p.restore();
}

QImage ImmaginePagina(const PaginaPreparata &pagina, double zoom, qreal rapportoPixel) {
    const QSizeF unita = pagina.dimensioneUnita();
    const double scala = zoom * rapportoPixel;
    QImage immagine(std::max(1, int(std::lround(unita.width() * scala))),
                    std::max(1, int(std::lround(unita.height() * scala))),
                    QImage::Format_ARGB32_Premultiplied);
    const int puntiPerMetro = int(std::lround(96.0 * scala / 0.0254));
    immagine.setDotsPerMeterX(puntiPerMetro);
    immagine.setDotsPerMeterY(puntiPerMetro);
    immagine.fill(Qt::white);
    QPainter p(&immagine);
    DisegnaPagina(p, pagina);
    p.end();
    immagine.setDevicePixelRatio(rapportoPixel);
    return immagine;
}
