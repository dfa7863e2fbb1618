#include "report/TfrxReport.h"

#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "report/FinestraAnteprima.h"
#include "report/Impaginatore.h"

#include <QDate>
#include <QPainter>
#include <QPrinter>
#include <stdexcept>

// ---- Tree -----------------------------------------------------------------

TfrxComponent::TfrxComponent(TfrxComponent *genitore) : m_genitore(genitore) {
    if (genitore) genitore->m_oggetti.emplace_back(this);
}

TfrxComponent::~TfrxComponent() = default;

void TfrxComponent::SetBounds(double sinistra, double alto, double larghezza, double altezza) {
    Left = sinistra;
    Top = alto;
    Width = larghezza;
    Height = altezza;
}

QString TfrxMemoView::Text() const {
    return Memo.join(u'\n');
}

void TfrxMemoView::SetText(const QString &testo) {
    Memo.clear();
    if (testo.isEmpty()) return;
    QString righe = testo;
    righe.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo = righe.split(u'\n');
}

double TfrxMemoView::PassoRiga() const {
    // 12.822 units per line for 8 pt (10.667 pixels): the pitch the list
    // windows size their memos with, in proportion for other sizes.
    constexpr double PassoPerPixel = 12.822 / (8.0 / 0.75);
    return Font.Height * PassoPerPixel;
}

TfrxDataPage::TfrxDataPage(TfrxComponent *genitore) : TfrxPage(genitore) {
    Width = 1000;
    Height = 1000;
}

TfrxReportPage::TfrxReportPage(TfrxComponent *genitore) : TfrxPage(genitore) {}

void TfrxReportPage::SetOrientation(QPageLayout::Orientation orientamento) {
    if (orientamento == m_orientamento) return;
    m_orientamento = orientamento;
    // The margins turn with the paper: what was at the top is now at the left.
    std::swap(PaperWidth, PaperHeight);
    std::swap(LeftMargin, TopMargin);
    std::swap(RightMargin, BottomMargin);
}

// ---- Report ---------------------------------------------------------------

TfrxReport::TfrxReport() = default;
TfrxReport::~TfrxReport() = default;

TfrxPage *TfrxReport::ElencoPagine::operator[](int indice) const {
    int n = 0;
    for (const auto &figlio : m_report.Objects()) {
        if (auto *pagina = dynamic_cast<TfrxPage *>(figlio.get())) {
            if (n++ == indice) return pagina;
        }
    }
    return nullptr;
}

int TfrxReport::ElencoPagine::Count() const {
    int n = 0;
    for (const auto &figlio : m_report.Objects())
        n += dynamic_cast<TfrxPage *>(figlio.get()) ? 1 : 0;
    return n;
}

TfrxReportPage *TfrxReport::ReportPage(int indice) const {
    return dynamic_cast<TfrxReportPage *>(Pages[indice]);
}

namespace {

TfrxComponent *cerca(const TfrxComponent &radice, const QString &nome) {
    for (const auto &figlio : radice.Objects()) {
        if (figlio->Name.compare(nome, Qt::CaseInsensitive) == 0) return figlio.get();
        if (TfrxComponent *trovato = cerca(*figlio, nome)) return trovato;
    }
    return nullptr;
}

} // namespace

TfrxComponent *TfrxReport::FindObject(const QString &nome) const {
    // Unnamed objects are not found by an empty name.
    return nome.isEmpty() ? nullptr : cerca(*this, nome);
}

bool TfrxReport::PrepareReport(bool clearLastReport) {
    // Without a data set every band is printed once, so preparing again would
    // only repeat the same pages: the previous ones are always replaced.
    Q_UNUSED(clearLastReport);
    m_preparate.clear();
    m_preparate = Impaginatore(*this, FormattaData(QDate::currentDate())).esegui();
    return true;
}

bool TfrxReport::DisegnaPagine(QPagedPaintDevice &dispositivo, const QList<int> &pagine) const {
    QList<int> elenco = pagine;
    if (elenco.isEmpty()) {
        for (int i = 1; i <= int(m_preparate.size()); ++i)
            elenco << i;
    }
    QPainter pittore;
    bool prima = true;
    for (int numero : elenco) {
        if (numero < 1 || numero > int(m_preparate.size())) continue;
        const PaginaPreparata &pagina = m_preparate[std::size_t(numero - 1)];
        dispositivo.setPageLayout(pagina.impaginazione());
        if (prima) {
            if (!pittore.begin(&dispositivo)) return false;
            prima = false;
        } else if (!dispositivo.newPage()) {
            return false;
        }
        DisegnaPagina(pittore, pagina);
    }
    return prima || pittore.end();
}

bool TfrxReport::Print(QWidget *genitore) {
    return StampaConDialogo(genitore, 1);
}

bool TfrxReport::StampaConDialogo(QWidget *genitore, int paginaCorrente) {
    if (m_preparate.empty()) PrepareReport(true);
    if (m_preparate.empty()) return false;

    QPrinter stampante(QPrinter::HighResolution); // the system's default printer
    stampante.setDocName(ReportName);
    stampante.setCopyCount(PrintOptions.Copies);
    stampante.setCollateCopies(PrintOptions.Collate);
    stampante.setFullPage(true);
    stampante.setPageLayout(m_preparate.front().impaginazione());
    stampante.setFromTo(1, int(m_preparate.size()));
    if (PrintOptions.ShowDialog && !Piattaforma::dialoghi().dialogoStampa(genitore, &stampante))
        return false;
    // Printing to a file must not take the place of the program's own data.
    if (stampante.outputFormat() == QPrinter::PdfFormat &&
        Piattaforma::RifiutaFileDatiProgramma(genitore, stampante.outputFileName()))
        return false;

    const int totale = int(m_preparate.size());
    QList<int> scelte;
    switch (stampante.printRange()) {
    case QPrinter::PageRange:
        for (int i = std::max(1, stampante.fromPage());
             i <= std::min(totale, stampante.toPage() > 0 ? stampante.toPage() : totale); ++i)
            scelte << i;
        break;
    case QPrinter::CurrentPage:
        scelte << std::clamp(paginaCorrente, 1, totale);
        break;
    case QPrinter::AllPages:
    case QPrinter::Selection:
        for (int i = 1; i <= totale; ++i)
            scelte << i;
        break;
    }
    if (scelte.isEmpty()) return false;

    // Printers that cannot make copies themselves (a PDF file) get every copy.
    QList<int> pagine = scelte;
    const int copie = stampante.supportsMultipleCopies() ? 1 : std::max(1, stampante.copyCount());
    if (copie > 1) {
        pagine.clear();
        if (stampante.collateCopies()) {
            for (int c = 0; c < copie; ++c)
                pagine << scelte;
        } else {
            for (int p : scelte)
                for (int c = 0; c < copie; ++c)
                    pagine << p;
        }
    }
    if (!DisegnaPagine(stampante, pagine))
        throw std::runtime_error("Impossibile stampare sulla stampante scelta");
    return true;
}

bool TfrxReport::ShowReport(bool clearLastReport, QWidget *genitore) {
    if (clearLastReport || m_preparate.empty()) PrepareReport(true);
    FinestraAnteprima anteprima(*this, genitore);
    Piattaforma::dialoghi().esegui(&anteprima);
    return true;
}
