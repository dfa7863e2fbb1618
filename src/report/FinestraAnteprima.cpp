#include "report/FinestraAnteprima.h"

#include "platform/ErroreGenerale.h"
#include "report/TfrxReport.h"
#include "widgets/Controlli.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

// The page as a picture at the current zoom, drawn again only when the page
// or the zoom changes.
class VistaPagina : public QWidget {
  public:
    explicit VistaPagina(QWidget *genitore) : QWidget(genitore) {}

    void mostra(const QImage &immagine) {
        m_immagine = immagine;
        resize(m_immagine.deviceIndependentSize().toSize());
        update();
    }
    const QImage &immagine() const { return m_immagine; }

  protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.drawImage(QPointF(0, 0), m_immagine);
    }

  private:
    QImage m_immagine;
};

namespace {

constexpr int Bordo = 16; // grey space around the page
const int LivelliZoom[] = {25, 50, 75, 100, 150, 200, 300, 400};

} // namespace

FinestraAnteprima::FinestraAnteprima(TfrxReport &report, QWidget *genitore)
    : QDialog(genitore), m_report(report) {
    setObjectName(QStringLiteral("frmAnteprima"));
    setWindowTitle(report.ReportName);
    setAccessibleName(report.ReportName);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    // Fills the screen even where nothing maximises the window.
    if (auto *schermo = screen()) setGeometry(schermo->availableGeometry());
    setWindowState(Qt::WindowMaximized);

    const int pulsanti = report.PreviewOptions.Buttons;
    using P = TfrxPreviewOptions;

    auto *barra = new QHBoxLayout;
    barra->setSpacing(2);

    if (pulsanti & P::pbPrint) {
        auto *b = pulsante("btnStampa", QStringLiteral("Stampa"),
                           QStringLiteral("Stampa il documento"), QKeySequence::Print);
        connect(b, &QToolButton::clicked, this, &FinestraAnteprima::btnStampaClick);
        barra->addWidget(b);
        barra->addSpacing(12);
    }
    if (pulsanti & P::pbZoom) {
        auto *intera = pulsante("btnPaginaIntera", QStringLiteral("Pagina intera"),
                                QStringLiteral("Mostra la pagina intera"));
        connect(intera, &QToolButton::clicked, this, [this] { adatta(Adattamento::PaginaIntera); });
        auto *larghezza =
            pulsante("btnLarghezzaPagina", QStringLiteral("Larghezza pagina"),
                     QStringLiteral("Adatta la pagina alla larghezza della finestra"));
        connect(larghezza, &QToolButton::clicked, this,
                [this] { adatta(Adattamento::LarghezzaPagina); });
        m_cmbZoom = new QComboBox(this);
        m_cmbZoom->setObjectName(QStringLiteral("cmbZoom"));
        m_cmbZoom->setEditable(true);
        m_cmbZoom->setInsertPolicy(QComboBox::NoInsert);
        for (int livello : LivelliZoom)
            m_cmbZoom->addItem(QString::number(livello) + QStringLiteral(" %"));
        m_cmbZoom->setAccessibleName(QStringLiteral("Zoom"));
        m_cmbZoom->setToolTip(QStringLiteral("Zoom in percentuale"));
        // A level chosen from the list, or a number typed and confirmed with Enter.
        connect(m_cmbZoom, &QComboBox::textActivated, this, &FinestraAnteprima::cmbZoomInvio);
        connect(m_cmbZoom->lineEdit(), &QLineEdit::returnPressed, this,
                [this] { cmbZoomInvio(m_cmbZoom->currentText()); });
        barra->addWidget(intera);
        barra->addWidget(larghezza);
        barra->addWidget(m_cmbZoom);
        barra->addSpacing(12);
    }
    if (pulsanti & P::pbThumbnails) {
        auto *b = pulsante("btnMiniature", QStringLiteral("Miniature"),
                           QStringLiteral("Mostra o nasconde le miniature delle pagine"));
        b->setCheckable(true);
        connect(b, &QToolButton::toggled, this, &FinestraAnteprima::btnMiniatureClick);
        barra->addWidget(b);
    }
    if (pulsanti & P::pbFullScreen) {
        auto *b = pulsante("btnSchermoIntero", QStringLiteral("Schermo intero"),
                           QStringLiteral("Mostra l'anteprima a schermo intero"),
                           QKeySequence(Qt::Key_F11));
        b->setCheckable(true);
        connect(b, &QToolButton::toggled, this, &FinestraAnteprima::btnSchermoInteroClick);
        barra->addWidget(b);
    }
    if (pulsanti & P::pbNavigator) {
        barra->addSpacing(12);
        m_btnPrima =
            pulsante("btnPrimaPagina", QStringLiteral("Prima pagina"),
                     QStringLiteral("Va alla prima pagina"), QKeySequence(Qt::CTRL | Qt::Key_Home));
        m_btnPrecedente =
            pulsante("btnPaginaPrecedente", QStringLiteral("Pagina precedente"),
                     QStringLiteral("Va alla pagina precedente"), QKeySequence(Qt::Key_PageUp));
        m_spnPagina = new QSpinBox(this);
        m_spnPagina->setObjectName(QStringLiteral("spnPagina"));
        m_spnPagina->setRange(1, std::max(1, numeroPagine()));
        m_spnPagina->setAccessibleName(QStringLiteral("Numero di pagina"));
        m_spnPagina->setToolTip(QStringLiteral("Pagina mostrata"));
        m_lblTotale = new QLabel(this);
        m_lblTotale->setObjectName(QStringLiteral("lblTotalePagine"));
        m_btnSuccessiva =
            pulsante("btnPaginaSuccessiva", QStringLiteral("Pagina successiva"),
                     QStringLiteral("Va alla pagina successiva"), QKeySequence(Qt::Key_PageDown));
        m_btnUltima =
            pulsante("btnUltimaPagina", QStringLiteral("Ultima pagina"),
                     QStringLiteral("Va all'ultima pagina"), QKeySequence(Qt::CTRL | Qt::Key_End));
        connect(m_btnPrima, &QToolButton::clicked, this, [this] { vaiAPagina(1); });
        connect(m_btnPrecedente, &QToolButton::clicked, this, [this] { vaiAPagina(m_pagina - 1); });
        connect(m_btnSuccessiva, &QToolButton::clicked, this, [this] { vaiAPagina(m_pagina + 1); });
        connect(m_btnUltima, &QToolButton::clicked, this, [this] { vaiAPagina(numeroPagine()); });
        connect(m_spnPagina, &QSpinBox::valueChanged, this, [this](int n) { vaiAPagina(n); });
        barra->addWidget(m_btnPrima);
        barra->addWidget(m_btnPrecedente);
        barra->addWidget(m_spnPagina);
        barra->addWidget(m_lblTotale);
        barra->addWidget(m_btnSuccessiva);
        barra->addWidget(m_btnUltima);
    }
    barra->addStretch(1);
    if (pulsanti & P::pbClose) {
        auto *b =
            pulsante("btnChiudi", QStringLiteral("Chiudi"), QStringLiteral("Chiude l'anteprima"));
        connect(b, &QToolButton::clicked, this, &QDialog::accept);
        barra->addWidget(b);
    }

    m_lstMiniature = new QListWidget(this);
    m_lstMiniature->setObjectName(QStringLiteral("lstMiniature"));
    m_lstMiniature->setAccessibleName(QStringLiteral("Miniature delle pagine"));
    m_lstMiniature->setViewMode(QListView::IconMode);
    m_lstMiniature->setFlow(QListView::TopToBottom);
    m_lstMiniature->setWrapping(false);
    m_lstMiniature->setMovement(QListView::Static);
    m_lstMiniature->setIconSize(QSize(120, 120));
    m_lstMiniature->setUniformItemSizes(true);
    m_lstMiniature->hide();
    connect(m_lstMiniature, &QListWidget::currentRowChanged, this, [this](int riga) {
        if (riga >= 0) vaiAPagina(riga + 1);
    });

    m_scrPagina = new QScrollArea(this);
    m_scrPagina->setObjectName(QStringLiteral("scrPagina"));
    m_scrPagina->setAccessibleName(QStringLiteral("Pagina"));
    m_scrPagina->setAlignment(Qt::AlignCenter);
    m_scrPagina->setBackgroundRole(QPalette::Dark);
    m_scrPagina->setFocusPolicy(Qt::StrongFocus);
    m_vista = new VistaPagina(m_scrPagina);
    m_vista->setObjectName(QStringLiteral("imgPagina"));
    m_vista->setAccessibleName(QStringLiteral("Pagina"));
    m_scrPagina->setWidget(m_vista);

    auto *divisore = new QSplitter(this);
    divisore->addWidget(m_lstMiniature);
    divisore->addWidget(m_scrPagina);
    divisore->setStretchFactor(1, 1);

    auto *colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(4, 4, 4, 4);
    colonna->addLayout(barra);
    colonna->addWidget(divisore, 1);

    InvioPremePulsante(this);
    m_zoom = report.PreviewOptions.Zoom > 0 ? report.PreviewOptions.Zoom : 1.0;
    aggiorna();
    m_scrPagina->setFocus();
}

FinestraAnteprima::~FinestraAnteprima() = default;

int FinestraAnteprima::numeroPagine() const {
    return int(m_report.PreparedPages().size());
}

QToolButton *FinestraAnteprima::pulsante(const char *nome, const QString &testo,
                                         const QString &suggerimento, const QKeySequence &tasti) {
    auto *b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(nome));
    b->setText(testo);
    b->setAccessibleName(testo);
    b->setAccessibleDescription(suggerimento);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    if (!tasti.isEmpty()) {
        b->setShortcut(tasti);
        b->setToolTip(suggerimento + QStringLiteral(" (") +
                      tasti.toString(QKeySequence::NativeText) + u')');
    } else {
        b->setToolTip(suggerimento);
    }
    return b;
}

void FinestraAnteprima::vaiAPagina(int numero) {
    const int n = std::clamp(numero, 1, std::max(1, numeroPagine()));
    if (n == m_pagina && !m_vista->immagine().isNull()) return;
    m_pagina = n;
    aggiorna();
    m_scrPagina->verticalScrollBar()->setValue(0);
}

void FinestraAnteprima::impostaZoom(double zoom) {
    m_adattamento = Adattamento::Nessuno;
    m_zoom = std::clamp(zoom, 0.1, 8.0);
    aggiorna();
}

void FinestraAnteprima::adatta(Adattamento modo) {
    m_adattamento = modo;
    aggiorna();
}

void FinestraAnteprima::resizeEvent(QResizeEvent *evento) {
    QDialog::resizeEvent(evento);
    if (m_adattamento != Adattamento::Nessuno) aggiorna();
}

void FinestraAnteprima::aggiornaZoom() {
    if (m_adattamento == Adattamento::Nessuno || numeroPagine() == 0) return;
    const QSizeF pagina = m_report.PreparedPages()[std::size_t(m_pagina - 1)].dimensioneUnita();
    const QSize spazio = m_scrPagina->viewport()->size() - QSize(2 * Bordo, 2 * Bordo);
    const double perLarghezza = std::max(1, spazio.width()) / pagina.width();
    const double perAltezza = std::max(1, spazio.height()) / pagina.height();
    m_zoom = m_adattamento == Adattamento::LarghezzaPagina ? perLarghezza
                                                           : std::min(perLarghezza, perAltezza);
    m_zoom = std::clamp(m_zoom, 0.1, 8.0);
}

void FinestraAnteprima::aggiorna() {
    aggiornaZoom();
    const int totale = numeroPagine();
    if (totale > 0) {
        const auto &pagina = m_report.PreparedPages()[std::size_t(m_pagina - 1)];
        const QImage nuova = ImmaginePagina(pagina, m_zoom, devicePixelRatioF());
        m_vista->mostra(nuova);
    }
    if (m_cmbZoom) {
        const QSignalBlocker blocco(m_cmbZoom);
        m_cmbZoom->setEditText(QString::number(std::lround(m_zoom * 100)) + QStringLiteral(" %"));
    }
    if (m_spnPagina) {
        const QSignalBlocker blocco(m_spnPagina);
        m_spnPagina->setValue(m_pagina);
        m_lblTotale->setText(QStringLiteral("di ") + QString::number(totale));
        m_btnPrima->setEnabled(m_pagina > 1);
        m_btnPrecedente->setEnabled(m_pagina > 1);
        m_btnSuccessiva->setEnabled(m_pagina < totale);
        m_btnUltima->setEnabled(m_pagina < totale);
    }
    if (m_lstMiniature->count() > 0) {
        const QSignalBlocker blocco(m_lstMiniature);
        m_lstMiniature->setCurrentRow(m_pagina - 1);
    }
}

void FinestraAnteprima::btnStampaClick() {
    Piattaforma::eseguiProtetto(this, [this] { m_report.StampaConDialogo(this, m_pagina); });
}

void FinestraAnteprima::cmbZoomInvio(const QString &testo) {
    QString cifre = testo;
    cifre.remove(u'%');
    bool ok = false;
    const double percento = cifre.trimmed().replace(u',', u'.').toDouble(&ok);
    if (ok && percento > 0)
        impostaZoom(percento / 100.0);
    else
        aggiorna(); // shows the zoom in force again
}

void FinestraAnteprima::btnMiniatureClick(bool mostra) {
    if (mostra && m_lstMiniature->count() == 0) {
        // Drawn the first time they are asked for: most previews never need them.
        const auto &pagine = m_report.PreparedPages();
        for (std::size_t i = 0; i < pagine.size(); ++i) {
            const QSizeF unita = pagine[i].dimensioneUnita();
            const double scala = 120.0 / std::max(unita.width(), unita.height());
            auto *voce =
                new QListWidgetItem(QIcon(QPixmap::fromImage(ImmaginePagina(pagine[i], scala))),
                                    QString::number(int(i) + 1), m_lstMiniature);
            voce->setData(Qt::AccessibleTextRole,
                          QString(QStringLiteral("Pagina ") + QString::number(int(i) + 1)));
        }
        const QSignalBlocker blocco(m_lstMiniature);
        m_lstMiniature->setCurrentRow(m_pagina - 1);
    }
    m_lstMiniature->setVisible(mostra);
    if (m_adattamento != Adattamento::Nessuno) aggiorna();
}

void FinestraAnteprima::btnSchermoInteroClick(bool intero) {
    if (intero)
        setWindowState(windowState() | Qt::WindowFullScreen);
    else
        setWindowState((windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
}
