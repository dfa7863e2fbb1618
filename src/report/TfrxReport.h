#pragma once

#include "report/PaginePreparate.h"

#include <QColor>
#include <QImage>
#include <QPageLayout>
#include <QPicture>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QWidget;

// A report template is a tree: report -> pages -> bands or views -> views.
// Positions and sizes are report units of 1/96 inch; paper and margins are
// millimetres. A child is created with its parent, which owns it:
//     auto *memo = new TfrxMemoView(banda);

constexpr double UnitaPerMm = 96.0 / 25.4;
constexpr double mm(double millimetri) {
    return millimetri * UnitaPerMm;
}

class TfrxComponent {
  public:
    explicit TfrxComponent(TfrxComponent *genitore = nullptr);
    virtual ~TfrxComponent();
    TfrxComponent(const TfrxComponent &) = delete;
    TfrxComponent &operator=(const TfrxComponent &) = delete;

    QString Name;
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;

    void SetBounds(double sinistra, double alto, double larghezza, double altezza);
    TfrxComponent *Parent() const { return m_genitore; }
    const std::vector<std::unique_ptr<TfrxComponent>> &Objects() const { return m_oggetti; }

  private:
    TfrxComponent *m_genitore;
    std::vector<std::unique_ptr<TfrxComponent>> m_oggetti;
};

// ---- Views ----------------------------------------------------------------

class TfrxView : public TfrxComponent {
  public:
    using TfrxComponent::TfrxComponent;
};

enum class TfrxHAlign { Left, Center, Right };
enum class TfrxVAlign { Top, Center, Bottom };

struct TfrxFont {
    QString Name = QStringLiteral("Arial");
    double Height = 13.333; // pixels at 96 per inch; points = pixels x 0.75
    bool Bold = false;
    QColor Color = Qt::black;

    static double DaPunti(double punti) { return punti / 0.75; }
};

class TfrxMemoView : public TfrxView {
  public:
    using TfrxView::TfrxView;

    // The memo's lines of text.
    QStringList Memo;
    // All lines as one text; setting it replaces every line.
    QString Text() const;
    void SetText(const QString &testo);

    QColor Color; // background; invalid means transparent
    TfrxFont Font;
    TfrxHAlign HAlign = TfrxHAlign::Left;
    TfrxVAlign VAlign = TfrxVAlign::Top;
    bool WordWrap = true;
    // Text between square brackets is an expression; only [DATE] is known.
    bool AllowExpressions = true;

    // Distance between two lines of text: 12.822 units for an 8 pt font, the
    // pitch the list windows size their memos with.
    double PassoRiga() const;
};

class TfrxPictureView : public TfrxView {
  public:
    using TfrxView::TfrxView;

    // QImage shares its data but copies on write, so later changes to the
    // bitmap the caller assigned do not reach the template.
    QImage Picture;
    // A drawing in its place (a chart): kept as painting commands, so it
    // prints sharp and its texts stay texts. Scaled to fit like a picture.
    QPicture Drawing;
    bool Center = false;
    bool HighQuality = false;
    bool Transparent = false;

  private:
    friend class Impaginatore;
    // The picture scaled for printing, kept while picture and box stay the same.
    mutable QImage m_scalata;
    mutable qint64 m_chiaveScalata = 0;
    mutable QSizeF m_boxScalata;
};

// A thin black horizontal line along the top edge of its box.
class TfrxLineView : public TfrxView {
  public:
    using TfrxView::TfrxView;
};

// A thin black rectangle outline, not filled.
class TfrxShapeView : public TfrxView {
  public:
    using TfrxView::TfrxView;
};

// Filled rectangles placed in the view's own coordinates (report units from
// its top-left corner), cut at the view's edges: the bars of a barcode, drawn
// as vectors so that they stay sharp on paper, in the preview and in a PDF.
class TfrxRectanglesView : public TfrxView {
  public:
    using TfrxView::TfrxView;

    std::vector<QRectF> Rectangles;
    QColor Fill = Qt::black;
};

// ---- Bands ----------------------------------------------------------------

class TfrxBand : public TfrxComponent {
  public:
    using TfrxComponent::TfrxComponent;
    // Whether the band may continue on the next page when it does not fit.
    bool AllowSplit = false;
};

class TfrxReportTitle : public TfrxBand {
  public:
    using TfrxBand::TfrxBand;
};

class TfrxMasterData : public TfrxBand {
  public:
    using TfrxBand::TfrxBand;
    int RowCount = 1;
};

class TfrxFooter : public TfrxBand {
  public:
    using TfrxBand::TfrxBand;
};

// ---- Pages ----------------------------------------------------------------

class TfrxPage : public TfrxComponent {
  public:
    using TfrxComponent::TfrxComponent;
};

// Always the report's first page; holds nothing and is never printed.
class TfrxDataPage : public TfrxPage {
  public:
    explicit TfrxDataPage(TfrxComponent *genitore);
};

class TfrxReportPage : public TfrxPage {
  public:
    explicit TfrxReportPage(TfrxComponent *genitore);

    int PaperSize = 9; // A4
    double PaperWidth = 210;
    double PaperHeight = 297;
    double LeftMargin = 10;
    double RightMargin = 10;
    double TopMargin = 10;
    double BottomMargin = 10;

    QPageLayout::Orientation Orientation() const { return m_orientamento; }
    // Turning the page exchanges paper width and height and turns the margins
    // with it; setting the orientation the page already has changes nothing.
    void SetOrientation(QPageLayout::Orientation orientamento);

  private:
    QPageLayout::Orientation m_orientamento = QPageLayout::Portrait;
};

// ---- Report ---------------------------------------------------------------

struct TfrxPreviewOptions {
    enum Pulsante {
        pbPrint = 0x01,
        pbZoom = 0x02,
        pbFullScreen = 0x04,
        pbThumbnails = 0x08,
        pbNavigator = 0x10,
        pbClose = 0x20,
    };
    bool AllowEdit = false;
    int Buttons = pbPrint | pbZoom | pbFullScreen | pbThumbnails | pbNavigator | pbClose;
    double Zoom = 1.0;
};

struct TfrxPrintOptions {
    QString Printer = QStringLiteral("Default"); // the system's default printer
    int Copies = 1;
    bool Collate = true;
    bool ShowDialog = true;
};

class TfrxReport : public TfrxComponent {
  public:
    TfrxReport();
    ~TfrxReport() override;

    QString ReportName;
    TfrxPreviewOptions PreviewOptions;
    TfrxPrintOptions PrintOptions;
    bool ShowProgress = false;

    // Pages[0] is the data page, Pages[1] the first report page.
    class ElencoPagine {
      public:
        explicit ElencoPagine(const TfrxReport &r) : m_report(r) {}
        TfrxPage *operator[](int indice) const;
        int Count() const;

      private:
        const TfrxReport &m_report;
    };
    const ElencoPagine Pages{*this};
    TfrxReportPage *ReportPage(int indice) const;

    // The first object whose name matches ignoring letter case, or nullptr.
    TfrxComponent *FindObject(const QString &nome) const;
    template <class T> T *FindObject(const QString &nome) const {
        return dynamic_cast<T *>(FindObject(nome));
    }

    // Lays the template out into pages with the objects' current contents.
    bool PrepareReport(bool clearLastReport = true);
    const std::vector<PaginaPreparata> &PreparedPages() const { return m_preparate; }

    // Print dialog, then the prepared pages to the chosen printer in a job
    // named after the report. False when the user cancelled.
    bool Print(QWidget *genitore = nullptr);
    // Prepares again and shows the preview window until the user closes it.
    bool ShowReport(bool clearLastReport = true, QWidget *genitore = nullptr);

    // Paints the prepared pages on a paged device (a PDF writer, a printer
    // already set up): pages numbered from 1, all of them when the list is empty.
    bool DisegnaPagine(QPagedPaintDevice &dispositivo, const QList<int> &pagine = {}) const;

    // Print dialog and printing with a known current page (the preview's).
    bool StampaConDialogo(QWidget *genitore, int paginaCorrente);

  private:
    std::vector<PaginaPreparata> m_preparate;
};
