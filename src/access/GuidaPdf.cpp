#include "access/GuidaPdf.h"

#include "access/ArgomentiGuida.h"
#include "access/Produttore.h"

#include <QAbstractTextDocumentLayout>
#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextDocument>
#include <cmath>

namespace {

const QString TITOLO = QStringLiteral("Guida all'utilizzo del software");

// The contents and the sections as one flowing document; `pagine` holds the
// page of each section once known (empty on the first pass).
// `aCapo` holds the sections that start on a page of their own.
QString documento(const QList<ArgomentoGuida> &argomenti, const QList<int> &pagine,
                  const QList<int> &aCapo) {
    QString html = QStringLiteral(
        "<html><body style=\"font-family: Verdana; font-size: 11pt;\">"
        "<h1 style=\"font-family: Arial; font-size: 20pt; color: #1d4f91;\">Indice</h1>"
        "<table width=\"100%\" cellpadding=\"6\" style=\"font-size: 12pt;\">");
    for (qsizetype i = 0; i < argomenti.size(); ++i)
        html += QStringLiteral("<tr><td>") + QString::number(i + 1) + QStringLiteral(". ") +
                argomenti[i].titolo.toHtmlEscaped() + QStringLiteral("</td><td align=\"right\">") +
                (i < pagine.size() ? QStringLiteral("pagina ") + QString::number(pagine[i])
                                   : QStringLiteral("pagina 00")) +
                QStringLiteral("</td></tr>");
    html += QStringLiteral("</table>");
    for (qsizetype i = 0; i < argomenti.size(); ++i) {
        // The sections follow one another; only the first leaves the contents' page.
        html += QStringLiteral("<h1 style=\"") +
                (i == 0 || aCapo.contains(int(i)) ? QStringLiteral("page-break-before: always; ")
                                                  : QString()) +
                QStringLiteral("font-family: Arial; font-size: 18pt; color: #dc143c; "
                               "margin-top: 18px;\">") +
                QString::number(i + 1) + QStringLiteral(". ") +
                argomenti[i].titolo.toHtmlEscaped() + QStringLiteral("</h1>");
        for (const auto &paragrafo : argomenti[i].paragrafi)
            html += QStringLiteral("<p align=\"justify\" style=\"margin-bottom: 10px;\">") +
                    paragrafo.trimmed().toHtmlEscaped() + QStringLiteral("</p>");
    }
    return html + QStringLiteral("</body></html>");
}

void paginaDelTitolo(QPainter &p, const QRectF &area) {
    const qreal u = area.width() / 1000; // one thousandth of the page's width
    QSvgRenderer logo(QStringLiteral(":/quadrelo.svg"));
    const QSizeF misura =
        QSizeF(logo.defaultSize()).scaled(QSizeF(360 * u, 300 * u), Qt::KeepAspectRatio);
    logo.render(
        &p, QRectF(QPointF(area.center().x() - misura.width() / 2, area.top() + 220 * u), misura));
    auto scrivi = [&](const QString &testo, qreal punti, bool grassetto, QColor colore, qreal y,
                      qreal altezza) {
        QFont font(QStringLiteral("Verdana"));
        font.setPointSizeF(punti);
        font.setBold(grassetto);
        p.setFont(font);
        p.setPen(colore);
        p.drawText(QRectF(area.left(), area.top() + y * u, area.width(), altezza * u),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, testo);
    };
    scrivi(QStringLiteral("Quadrelo"), 40, true, QColor(0x1d, 0x4f, 0x91), 600, 120);
    scrivi(TITOLO, 22, false, QColor(0xdc, 0x14, 0x3c), 740, 80);
    scrivi(QStringLiteral("Magazzino prodotti e inventario della merce"), 14, false,
           QColor(0x30, 0x30, 0x30), 830, 60);
    scrivi(QStringLiteral("Versione ") + Produttore::Versione() + QStringLiteral("\n") +
               Produttore::Nome() + QStringLiteral(" - www.quadrelo.it"),
           11, false, QColor(0x30, 0x30, 0x30), 1250, 100);
}

void piede(QPainter &p, const QRectF &area, int numero) {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.5);
    p.setFont(font);
    p.setPen(QPen(QColor(0x9f, 0xbf, 0xe0), area.width() / 1000));
    p.drawLine(QPointF(area.left(), area.top()), QPointF(area.right(), area.top()));
    p.setPen(QColor(0x50, 0x50, 0x50));
    p.drawText(area, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Quadrelo - ") + TITOLO);
    p.drawText(area, Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("Pagina ") + QString::number(numero));
}

} // namespace

bool ScriviGuidaPdf(QIODevice *destinazione) {
    QPdfWriter pdf(destinazione);
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Quadrelo - ") + TITOLO);
    pdf.setCreator(QStringLiteral("Quadrelo ") + Produttore::Versione());
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(20, 18, 20, 16), QPageLayout::Millimeter));
    const QRect pagina = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const QRectF area(0, 0, pagina.width(), pagina.height());
    const qreal altezzaPiede = area.height() * 0.05;
    const QSizeF corpo(area.width(), area.height() - altezzaPiede);

    const auto argomenti = SezioniGuida();
    QTextDocument testo;
    testo.documentLayout()->setPaintDevice(&pdf);
    testo.setPageSize(corpo);
    // Lay out to learn where each section starts, then again with the page
    // numbers in the contents (the title page is page 1). A section that
    // would start at the foot of a page starts on the next one instead.
    QList<int> pagine;
    QList<int> aCapo; // sections moved to a new page
    for (int passo = 0; passo < 2 + argomenti.size(); ++passo) {
        testo.setHtml(documento(argomenti, pagine, aCapo));
        testo.setPageSize(corpo);
        QList<int> trovate;
        int sezione = -2;
        bool spostata = false;
        for (QTextBlock b = testo.begin(); b.isValid(); b = b.next()) {
            if (b.blockFormat().headingLevel() != 1) continue;
            if (++sezione < 0) continue; // the contents' own heading
            const qreal y = testo.documentLayout()->blockBoundingRect(b).top();
            const qreal nellaPagina = y - std::floor(y / corpo.height()) * corpo.height();
            if (!spostata && !aCapo.contains(sezione) && nellaPagina > corpo.height() * 0.82) {
                aCapo << sezione;
                spostata = true;
            }
            trovate << int(y / corpo.height()) + 2;
        }
        const bool stabile = !spostata && trovate == pagine;
        pagine = trovate;
        if (stabile) break;
    }

    QPainter p;
    if (!p.begin(&pdf)) return false;
    paginaDelTitolo(p, area);
    // Every page the whole text takes, laid out to its end.
    const int numeroPagine =
        qMax(testo.pageCount(),
             int(std::ceil(testo.documentLayout()->documentSize().height() / corpo.height())));
    for (int n = 0; n < numeroPagine; ++n) {
        pdf.newPage();
        p.save();
        p.translate(0, -n * corpo.height());
        const QRectF visibile(0, n * corpo.height(), corpo.width(), corpo.height());
        QAbstractTextDocumentLayout::PaintContext contesto;
        contesto.clip = visibile;
        p.setClipRect(visibile);
        testo.documentLayout()->draw(&p, contesto);
        p.restore();
        piede(p, QRectF(0, corpo.height() + altezzaPiede * 0.3, area.width(), altezzaPiede * 0.7),
              n + 2);
    }
    return p.end();
}
