#pragma once

#include <QDialog>
#include <QImage>

class QComboBox;
class QLabel;
class QListWidget;
class QScrollArea;
class QSpinBox;
class QToolButton;
class TfrxReport;
class VistaPagina;

// The preview of a prepared report: one page at a time, with page navigation,
// zoom, thumbnails, full screen and printing through the report's own print
// dialog. Which buttons show is the template's choice.
class FinestraAnteprima : public QDialog {
    Q_OBJECT
  public:
    enum class Adattamento { Nessuno, LarghezzaPagina, PaginaIntera };

    FinestraAnteprima(TfrxReport &report, QWidget *genitore = nullptr);
    ~FinestraAnteprima() override;

    int paginaCorrente() const { return m_pagina; } // from 1
    int numeroPagine() const;
    double zoom() const { return m_zoom; }
    Adattamento adattamento() const { return m_adattamento; }

    void vaiAPagina(int numero);
    void impostaZoom(double zoom);
    void adatta(Adattamento modo);

  protected:
    void resizeEvent(QResizeEvent *evento) override;

  private:
    QToolButton *pulsante(const char *nome, const QString &testo, const QString &suggerimento,
                          const QKeySequence &tasti = {});
    void btnStampaClick();
    void cmbZoomInvio(const QString &testo);
    void btnMiniatureClick(bool mostra);
    void btnSchermoInteroClick(bool intero);
    void aggiornaZoom();
    void aggiorna();

    TfrxReport &m_report;
    int m_pagina = 1;
    double m_zoom = 1.0;
    Adattamento m_adattamento = Adattamento::Nessuno;

    QToolButton *m_btnPrima = nullptr;
    QToolButton *m_btnPrecedente = nullptr;
    QToolButton *m_btnSuccessiva = nullptr;
    QToolButton *m_btnUltima = nullptr;
    QSpinBox *m_spnPagina = nullptr;
    QLabel *m_lblTotale = nullptr;
    QComboBox *m_cmbZoom = nullptr;
    QListWidget *m_lstMiniature = nullptr;
    QScrollArea *m_scrPagina = nullptr;
    VistaPagina *m_vista = nullptr;
};
