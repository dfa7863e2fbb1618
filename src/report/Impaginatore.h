#pragma once

#include "report/TfrxReport.h"

#include <QPointF>

// Lays a report's pages out: objects placed directly on a page stay where
// they are designed; bands are stacked down the printable area in the order
// title, master data, footer. A band that may split continues on the next
// pages, cut only between two lines of text and never through an object.
class Impaginatore {
  public:
    Impaginatore(const TfrxReport &report, QString dataOdierna);
    std::vector<PaginaPreparata> esegui();

  private:
    struct Estensione {
        double alto;
        double basso;
    };

    void impagina(const TfrxReportPage &pagina);
    void nuovaPagina();
    void collocaBanda(const TfrxBand &banda);
    double trovaTaglio(const TfrxBand &banda, double da, double limite) const;
    bool contenutoOltre(const TfrxBand &banda, double da) const;
    // Calls `f` with the vertical extent of every piece that must not be cut.
    template <class F> void perOgniPezzo(const TfrxBand &banda, F &&f) const;

    // Emits the part [da, a) of a container's views, the container's top-left
    // corner landing at `origine` on the page.
    void emetti(const TfrxComponent &contenitore, QPointF origine, double da, double a);
    void emettiMemo(const TfrxMemoView &memo, QPointF origine, double da, double a);
    void emettiImmagine(const TfrxPictureView &vista, QPointF origine, double da, double a);
    QString espandi(const TfrxMemoView &memo, const QString &riga) const;

    const TfrxReport &m_report;
    QString m_dataOdierna;
    std::vector<PaginaPreparata> m_pagine;
    const TfrxReportPage *m_pagina = nullptr;
    double m_x0 = 0;
    double m_y0 = 0;
    double m_altezzaUtile = 0;
    double m_cursore = 0; // from the top of the printable area
};
