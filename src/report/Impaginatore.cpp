#include "report/Impaginatore.h"

#include <cmath>
#include <limits>

namespace {

constexpr double Tolleranza = 1e-6;
constexpr double Infinito = 1e12;
// Pictures are kept at print quality, scaled once when the report is prepared
// rather than at every paint.
constexpr double PuntiPerPollice = 300.0;

QRectF fasciaVerticale(double da, double a) {
    return {-Infinito, da, 2 * Infinito, a - da};
}

int allineamentoOrizzontale(TfrxHAlign a) {
    switch (a) {
    case TfrxHAlign::Center:
        return Qt::AlignHCenter;
    case TfrxHAlign::Right:
        return Qt::AlignRight;
    case TfrxHAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

int allineamentoVerticale(TfrxVAlign a) {
    switch (a) {
    case TfrxVAlign::Center:
        return Qt::AlignVCenter;
    case TfrxVAlign::Bottom:
        return Qt::AlignBottom;
    case TfrxVAlign::Top:
        break;
    }
    return Qt::AlignTop;
}

CarattereStampa carattere(const TfrxFont &f) {
    return {f.Name, f.Height, f.Bold, f.Color};
}

// The lines of an unwrapped memo: line i spans [primo + i * passo, + passo).
struct RigheMemo {
    double primo;
    double passo;
    int quante;
};

RigheMemo righe(const TfrxMemoView &memo) {
    const double passo = memo.PassoRiga();
    const int n = int(memo.Memo.size());
    double scarto = 0;
    if (memo.VAlign == TfrxVAlign::Center)
        scarto = (memo.Height - n * passo) / 2;
    else if (memo.VAlign == TfrxVAlign::Bottom)
        scarto = memo.Height - n * passo;
    return {memo.Top + scarto, passo, n};
}

// Indices of the lines that fall, even in part, inside [da, a).
std::pair<int, int> righeTra(const RigheMemo &r, double da, double a) {
    if (r.quante == 0 || a <= da) return {0, 0};
    const int primo = std::max(0, int(std::floor((da - r.primo) / r.passo + Tolleranza)));
    const double ultimo = std::ceil((a - r.primo) / r.passo - Tolleranza);
    const int fine = int(std::clamp(ultimo, 0.0, double(r.quante)));
    return {std::min(primo, fine), fine};
}

} // namespace

Impaginatore::Impaginatore(const TfrxReport &report, QString dataOdierna)
    : m_report(report), m_dataOdierna(std::move(dataOdierna)) {}

std::vector<PaginaPreparata> Impaginatore::esegui() {
    for (const auto &figlio : m_report.Objects()) {
        if (const auto *pagina = dynamic_cast<const TfrxReportPage *>(figlio.get()))
            impagina(*pagina);
    }
    return std::move(m_pagine);
}

void Impaginatore::impagina(const TfrxReportPage &pagina) {
    m_pagina = &pagina;
    m_x0 = mm(pagina.LeftMargin);
    m_y0 = mm(pagina.TopMargin);
    m_altezzaUtile = mm(pagina.PaperHeight - pagina.TopMargin - pagina.BottomMargin);
    nuovaPagina();

    // Their order in the design does not matter: titles, then data, then footers.
    std::vector<const TfrxBand *> bande;
    auto aggiungi = [&](auto *tipo) {
        using Tipo = std::remove_pointer_t<decltype(tipo)>;
        for (const auto &figlio : pagina.Objects()) {
            if (const auto *banda = dynamic_cast<const Tipo *>(figlio.get()))
                bande.push_back(banda);
        }
    };
    aggiungi(static_cast<TfrxReportTitle *>(nullptr));
    aggiungi(static_cast<TfrxMasterData *>(nullptr));
    aggiungi(static_cast<TfrxFooter *>(nullptr));
    for (const TfrxBand *banda : bande)
        collocaBanda(*banda);
}

void Impaginatore::nuovaPagina() {
    PaginaPreparata pagina;
    pagina.cartaMm = QSizeF(m_pagina->PaperWidth, m_pagina->PaperHeight);
    m_pagine.push_back(std::move(pagina));
    m_cursore = 0;
    // Views placed on the page itself appear on every page, where designed.
    emetti(*m_pagina, QPointF(m_x0, m_y0), -Infinito, Infinito);
}

void Impaginatore::collocaBanda(const TfrxBand &banda) {
    const double altezza = std::max(0.0, banda.Height);
    double da = 0;
    for (;;) {
        const double spazio = m_altezzaUtile - m_cursore;
        const bool paginaNuova = m_cursore <= Tolleranza;
        if (altezza - da <= spazio + Tolleranza) {
            emetti(banda, QPointF(m_x0, m_y0 + m_cursore - da), da, altezza);
            m_cursore += altezza - da;
            return;
        }
        if (!banda.AllowSplit && !paginaNuova) {
            nuovaPagina();
            continue;
        }
        if (banda.AllowSplit && !contenutoOltre(banda, da)) {
            // Only empty band is left: it ends with this page.
            m_cursore = m_altezzaUtile;
            return;
        }
        double fine = banda.AllowSplit ? trovaTaglio(banda, da, da + spazio) : da + spazio;
        if (fine <= da + Tolleranza) {
            if (!paginaNuova) {
                nuovaPagina();
                continue;
            }
            // A single piece taller than a whole page: it has to be cut.
            fine = da + spazio;
        }
        emetti(banda, QPointF(m_x0, m_y0 + m_cursore - da), da, fine);
        if (!banda.AllowSplit || !contenutoOltre(banda, fine)) {
            // Nothing but empty band left (or a band too tall for any page that
            // may not continue): the band ends at the bottom of this page.
            m_cursore = m_altezzaUtile;
            return;
        }
        nuovaPagina();
        da = fine;
    }
}

template <class F> void Impaginatore::perOgniPezzo(const TfrxBand &banda, F &&f) const {
    for (const auto &figlio : banda.Objects()) {
        const TfrxComponent *o = figlio.get();
        if (const auto *memo = dynamic_cast<const TfrxMemoView *>(o)) {
            if (memo->Memo.isEmpty()) continue; // a background alone may be cut anywhere
            if (memo->WordWrap) {
                f(Estensione{memo->Top, memo->Top + memo->Height}, nullptr);
                continue;
            }
            f(Estensione{0, 0}, memo);
            continue;
        }
        if (const auto *immagine = dynamic_cast<const TfrxPictureView *>(o)) {
            if (!immagine->Picture.isNull() || !immagine->Drawing.isNull())
                f(Estensione{o->Top, o->Top + o->Height}, nullptr);
            continue;
        }
        if (dynamic_cast<const TfrxLineView *>(o)) {
            f(Estensione{o->Top, o->Top + 1}, nullptr);
            continue;
        }
        if (dynamic_cast<const TfrxView *>(o)) f(Estensione{o->Top, o->Top + o->Height}, nullptr);
    }
}

double Impaginatore::trovaTaglio(const TfrxBand &banda, double da, double limite) const {
    // Move the cut up above every piece it would go through, until none is.
    double taglio = limite;
    bool spostato = true;
    while (spostato) {
        spostato = false;
        perOgniPezzo(banda, [&](Estensione e, const TfrxMemoView *memo) {
            if (memo) {
                const RigheMemo r = righe(*memo);
                const double fondoMemo = memo->Top + memo->Height;
                if (taglio <= memo->Top + Tolleranza || taglio >= fondoMemo - Tolleranza) return;
                const int i = int(std::floor((taglio - r.primo) / r.passo));
                if (i < 0 || i >= r.quante) return;
                e = {r.primo + i * r.passo, r.primo + (i + 1) * r.passo};
            }
            if (e.alto < taglio - Tolleranza && e.basso > taglio + Tolleranza &&
                e.alto > da + Tolleranza) {
                taglio = e.alto;
                spostato = true;
            }
        });
    }
    return taglio;
}

bool Impaginatore::contenutoOltre(const TfrxBand &banda, double da) const {
    bool trovato = false;
    perOgniPezzo(banda, [&](Estensione e, const TfrxMemoView *memo) {
        if (memo) {
            const RigheMemo r = righe(*memo);
            const double fondo = std::min(r.primo + r.quante * r.passo, memo->Top + memo->Height);
            e = {memo->Top, fondo};
        }
        if (e.basso > da + Tolleranza) trovato = true;
    });
    return trovato;
}

void Impaginatore::emetti(const TfrxComponent &contenitore, QPointF origine, double da, double a) {
    PaginaPreparata &pagina = m_pagine.back();
    for (const auto &figlio : contenitore.Objects()) {
        const TfrxComponent *o = figlio.get();
        const QRectF riquadro(origine.x() + o->Left, origine.y() + o->Top, o->Width, o->Height);
        if (const auto *memo = dynamic_cast<const TfrxMemoView *>(o)) {
            emettiMemo(*memo, origine, da, a);
        } else if (const auto *immagine = dynamic_cast<const TfrxPictureView *>(o)) {
            emettiImmagine(*immagine, origine, da, a);
        } else if (dynamic_cast<const TfrxLineView *>(o)) {
            if (o->Top >= da - Tolleranza && o->Top < a - Tolleranza)
                pagina.linee.push_back({riquadro.topLeft(), riquadro.topRight()});
        } else if (const auto *forme = dynamic_cast<const TfrxRectanglesView *>(o)) {
            const QRectF visibile =
                riquadro.intersected(fasciaVerticale(origine.y() + da, origine.y() + a));
            if (visibile.isEmpty()) continue;
            for (const QRectF &r : forme->Rectangles) {
                const QRectF posto = r.translated(riquadro.topLeft()).intersected(visibile);
                if (!posto.isEmpty()) pagina.rettangoli.push_back({posto, forme->Fill, false});
            }
        } else if (dynamic_cast<const TfrxShapeView *>(o)) {
            if (o->Top < a && o->Top + o->Height > da)
                pagina.rettangoli.push_back({riquadro, QColor(), true});
        }
    }
}

void Impaginatore::emettiMemo(const TfrxMemoView &memo, QPointF origine, double da, double a) {
    PaginaPreparata &pagina = m_pagine.back();
    const QRectF riquadro(origine.x() + memo.Left, origine.y() + memo.Top, memo.Width, memo.Height);
    const QRectF visibile =
        riquadro.intersected(fasciaVerticale(origine.y() + da, origine.y() + a));
    if (visibile.isEmpty()) return;
    if (memo.Color.isValid()) pagina.rettangoli.push_back({visibile, memo.Color, false});

    const CarattereStampa c = carattere(memo.Font);
    const int orizzontale = allineamentoOrizzontale(memo.HAlign);
    if (memo.WordWrap) {
        QStringList righe;
        righe.reserve(memo.Memo.size());
        for (const QString &riga : memo.Memo)
            righe << espandi(memo, riga);
        const QString testo = righe.join(u'\n');
        if (!testo.isEmpty())
            pagina.testi.push_back(
                {riquadro, visibile, testo, c,
                 orizzontale | allineamentoVerticale(memo.VAlign) | Qt::TextWordWrap});
        return;
    }
    // Without word wrap every line of the memo is exactly one printed line.
    const RigheMemo r = righe(memo);
    const auto [primo, fine] =
        righeTra(r, std::max(da, memo.Top), std::min(a, memo.Top + memo.Height));
    pagina.testi.reserve(pagina.testi.size() + std::size_t(fine - primo));
    for (int i = primo; i < fine; ++i) {
        const QString &riga = memo.Memo.at(i);
        if (riga.isEmpty()) continue;
        const QRectF posto(riquadro.left(), origine.y() + r.primo + i * r.passo, riquadro.width(),
                           r.passo);
        pagina.testi.push_back(
            {posto, visibile, espandi(memo, riga), c, orizzontale | Qt::AlignVCenter});
    }
}

void Impaginatore::emettiImmagine(const TfrxPictureView &vista, QPointF origine, double da,
                                  double a) {
    if ((vista.Picture.isNull() && vista.Drawing.isNull()) || vista.Width <= 0 || vista.Height <= 0)
        return;
    const QRectF riquadro(origine.x() + vista.Left, origine.y() + vista.Top, vista.Width,
                          vista.Height);
    const QRectF visibile =
        riquadro.intersected(fasciaVerticale(origine.y() + da, origine.y() + a));
    if (visibile.isEmpty()) return;

    if (!vista.Drawing.isNull()) {
        const QSizeF adatta = QSizeF(vista.Drawing.boundingRect().size())
                                  .scaled(riquadro.size(), Qt::KeepAspectRatio);
        QRectF posto(riquadro.topLeft(), adatta);
        if (vista.Center) posto.moveCenter(riquadro.center());
        m_pagine.back().immagini.push_back({posto, visibile, QImage(), vista.Drawing});
        return;
    }
    // Scaled to fit keeping its proportions; centred, or at the top-left corner.
    const QSizeF adatta = QSizeF(vista.Picture.size()).scaled(riquadro.size(), Qt::KeepAspectRatio);
    QRectF posto(riquadro.topLeft(), adatta);
    if (vista.Center) posto.moveCenter(riquadro.center());

    const QSize pixel = (adatta * (PuntiPerPollice / 96.0)).toSize().expandedTo(QSize(1, 1));
    if (vista.Picture.width() <= pixel.width() && vista.Picture.height() <= pixel.height()) {
        vista.m_scalata = vista.Picture;
    } else if (vista.m_chiaveScalata != vista.Picture.cacheKey() ||
               vista.m_boxScalata != riquadro.size() || vista.m_scalata.isNull()) {
        vista.m_scalata =
            vista.Picture.scaled(pixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    vista.m_chiaveScalata = vista.Picture.cacheKey();
    vista.m_boxScalata = riquadro.size();
    m_pagine.back().immagini.push_back({posto, visibile, vista.m_scalata, QPicture()});
}

QString Impaginatore::espandi(const TfrxMemoView &memo, const QString &riga) const {
    // [DATE] is the only expression the program uses; any other bracketed
    // text (which may come from a card's fields) is printed as it stands.
    if (!memo.AllowExpressions || !riga.contains(u"[DATE]")) return riga;
    QString testo = riga;
    return testo.replace(QStringLiteral("[DATE]"), m_dataOdierna);
}
