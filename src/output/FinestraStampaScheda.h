#pragma once

#include "report/TfrxReport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RiquadroFoto;

// What the card print window and the card preview window share: the same
// controls, templates and filling steps. They differ in their texts and in
// the last step, print or preview.
class FinestraStampaScheda : public QDialog {
    Q_OBJECT
  public:
    struct Testi {
        QString didascalia;
        QString uno;
        QString due;
        QString pulsante;
        QString intestazione;
        QString primoTesto;
        QString secondoTesto;
    };

    ~FinestraStampaScheda() override;

    // The two card templates, without and with photo.
    TfrxReport &repScheda() { return m_repScheda; }
    TfrxReport &repFoto() { return m_repFoto; }

  protected:
    // `scheda` is the card window: owner of this window and source of the data.
    FinestraStampaScheda(QWidget *scheda, const Testi &testi);
    // Prints or previews the filled template.
    virtual void concludi(TfrxReport &modello) = 0;

    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    void optUnoClick();
    void optDueClick();
    void btnAnnullaClick();
    void btnStampaClick();
    void stampa();
    void copiaFoto();
    QLineEdit *casella(const QString &nome) const;

    QWidget *m_scheda;
    TfrxReport m_repScheda;
    TfrxReport m_repFoto;

    QLabel *m_imgLogo02 = nullptr;
    QRadioButton *m_optUno = nullptr;
    QRadioButton *m_optDue = nullptr;
    QPushButton *m_btnAnnulla = nullptr;
    QPushButton *m_btnStampa = nullptr;
    QLabel *m_lblMemory = nullptr;
    RiquadroFoto *m_imgLogo = nullptr;
    RiquadroFoto *m_imgBianco = nullptr;
};

// The explanatory picture at the top of the window: heading, first text, and
// the second text beside a printer.
QPixmap DisegnaSpiegazione(const QString &intestazione, const QString &primoTesto,
                           const QString &secondoTesto);
// The placeholder photo (230 x 307) used when the card's photo cannot be copied.
QImage DisegnaSegnaposto();
