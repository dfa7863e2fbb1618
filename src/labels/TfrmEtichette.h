#pragma once

#include "labels/FoglioEtichette.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class SchemaFoglio;

// The window that prints labels for one card or for the cards of a list: the
// sheet (a usual A4 sheet or a grid of one's own), the first free label of a
// sheet already used, the texts, how many labels; then preview, print or PDF.
class TfrmEtichette : public QDialog {
    Q_OBJECT
  public:
    // From the card window: one card, its copies preset to its stock.
    // From a list: every listed card, once or as many as its stock.
    enum class Origine { Scheda, Elenco };
    TfrmEtichette(QWidget *proprietario, QList<SchedaEtichetta> schede, Origine origine);
    ~TfrmEtichette() override;

    QComboBox *cboFoglio;
    QSpinBox *spnColonne;
    QSpinBox *spnRighe;
    QDoubleSpinBox *spnLarghezza;
    QDoubleSpinBox *spnAltezza;
    QDoubleSpinBox *spnMargineSinistro;
    QDoubleSpinBox *spnMargineAlto;
    QDoubleSpinBox *spnSpazioOrizzontale;
    QDoubleSpinBox *spnSpazioVerticale;
    QSpinBox *spnPrimaLibera;
    QLabel *lblPrimaLibera;
    QCheckBox *chkCodice;
    QCheckBox *chkNome;
    QCheckBox *chkPrezzo;
    QSpinBox *spnCopie = nullptr;            // one card
    QRadioButton *optUnaPerScheda = nullptr; // a list
    QRadioButton *optGiacenza = nullptr;
    QLabel *lblSchede; // the card, or how many cards of the list
    QLabel *lblRiepilogo;
    QPushButton *btnAnteprima;
    QPushButton *btnStampa;
    QPushButton *btnPdf;
    QPushButton *btnChiudi;

    FormatoFoglio formato() const;
    TestiEtichetta testi() const;
    // The cards with the number of labels each gets as the window is set.
    QList<SchedaEtichetta> schede() const;

  public slots:
    void btnAnteprimaClick();
    void btnStampaClick();
    void btnPdfClick();

  private:
    void foglioScelto(int indice);
    void aggiorna();
    // The labels laid out, after the checks and the question about codes
    // printed as text; nothing when the user stops or something is wrong.
    bool prepara(EtichettePreparate &esito);

    QList<SchedaEtichetta> m_schede;
    Origine m_origine;
    SchemaFoglio *m_schema;
    bool m_aggiornando = false;
};
