#pragma once

#include "archive/TScheda.h"
#include "passes/Passate.h"
#include "passes/Righe.h"
#include "report/TfrxReport.h"
#include "widgets/AspettoElenco.h"

#include <QDialog>
#include <functional>

class Ancoraggi;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class VistaRighe;

// What the search, under-stock and unpaid windows share: a fixed 862 x 560
// frame on a black-to-white background, and the list panel with its find
// box, find next, the lines, the card opening and the list printing.
class FinestraElenco : public QDialog {
    Q_OBJECT
  public:
    ~FinestraElenco() override;

    // How a chosen card reaches the card window; set by the opener.
    using ApriScheda = std::function<void(const TScheda &scheda, qint64 posizione)>;
    void impostaApriScheda(ApriScheda apri) { m_apriScheda = std::move(apri); }

    TfrxReport &frxReport() { return m_frxReport; }
    VistaRighe *lstRecords() const { return m_lstRecords; }

    // Closing lets go of the lines; not while a pass runs.
    void done(int esito) override;

  public slots:
    void btnTrovaClick();
    void lstRecordsDblClick();
    void btnStampaClick();
    void btnEtichetteClick();
    void btnContaClick();

  protected:
    // A card chosen other than by a line (a scanned code): on the card window
    // as a line's card would be, then the window closes.
    void apriScheda(const TScheda &scheda, qint64 posizione);

    FinestraElenco(QWidget *genitore, const QString &nome, const QString &didascalia);

    // The list panel's controls on `pannello`: the banner at the top, then the
    // two instruction lines, the find box and button, the list (named for
    // assistive technology by `nomeElenco`), the double-click hint and the
    // Stampa and Chiudi buttons.
    void costruisciElenco(QWidget *pannello, const QString &icona, const QString &titolo,
                          const QString &nomeElenco);
    // The banner across the top of a panel.
    static QLabel *striscione(QWidget *pannello, const QString &nome, const QString &icona,
                              const QString &titolo);

    // The last find key, one for each window class.
    virtual QString &ultimaChiave() = 0;
    virtual const FormatoRiga &formato() const = 0;
    virtual QString titoloStampa() const = 0;
    // Whether a chosen line may load its card.
    virtual bool puoAprire() const { return true; }

    // Runs a pass, its progress shown by `attendere` and the window's bar;
    // the window cannot be closed meanwhile.
    EsitoElenco eseguiPassata(QLabel *attendere,
                              const std::function<EsitoElenco(const Avanza &)> &passata);

    void paintEvent(QPaintEvent *evento) override;
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

    QLabel *m_lblRigo01 = nullptr;
    QLabel *m_lblRigo02 = nullptr;
    QLineEdit *m_txtTrova = nullptr;
    QPushButton *m_btnTrova = nullptr;
    VistaRighe *m_lstRecords = nullptr;
    QLabel *m_lblRigo03 = nullptr;
    QPushButton *m_btnStampa = nullptr;
    QPushButton *m_btnEtichette = nullptr;
    QPushButton *m_btnConta = nullptr;
    QPushButton *m_btnChiudi = nullptr;
    QProgressBar *m_prgAvanzamento = nullptr;
    bool m_inPassata = false;
    // The design size, and how the controls follow when the window grows:
    // those placed on the window itself, and those of the list panel.
    static constexpr QSize DIMENSIONE{862, 560};
    Ancoraggi *m_ancoraggi = nullptr;
    Ancoraggi *m_ancoraggiElenco = nullptr;

  private:
    TfrxReport m_frxReport;
    ApriScheda m_apriScheda;
    bool m_centrata = false;
};

// The find-next row of a list window: the lens at `origine`, the key box
// `txtTrova` beside it, `larghezzaChiave` wide, and the Trova button at
// `pulsante`. The box's keys go to `filtro`, and `etichetta` names it.
struct RigaTrova {
    QLineEdit *txtTrova;
    QPushButton *btnTrova;
};
RigaTrova CostruisciRigaTrova(QWidget *pannello, QObject *filtro, QLabel *etichetta, QPoint origine,
                              int larghezzaChiave, const QRect &pulsante);
