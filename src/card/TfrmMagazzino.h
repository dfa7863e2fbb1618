#pragma once

#include "archive/TScheda.h"
#include "saving/SalvataggioMovimenti.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class RiquadroFoto;

// The product card window: one card at a time in its controls, with the
// navigation through the archive and the buttons of every card function.
// The card on screen is the content of the controls; lblPosizione holds its
// position in the archive, empty for a card not yet saved.
class TfrmMagazzino : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmMagazzino(QWidget *genitore = nullptr);
    ~TfrmMagazzino() override;

    void PulisciScheda();
    void CaricaScheda(const TScheda &scheda, qint64 posizione);

    // The edit box of one of the 17 text fields of the card.
    QLineEdit *casella(Campo campo) const;
    // The picture that stands for no photo.
    const QImage &immagineBianca() const { return m_bianco; }

    // The card on screen differs from what was last shown, cleared or saved.
    bool modificata() const;
    // Before the card on screen is left: with unsaved changes, asks whether to
    // save them. False when the user chose to stay on the card (Annulla, or a
    // save that did not succeed).
    bool lasciaScheda();
    // Saves the card on screen; true when it reached the archive.
    bool salva();

    // The photo buttons and the attachments dialog.
    void btnCaricaFotoClick();
    void btnAcquisisciFotoClick();
    void btnSalvaFotoClick();
    void btnCancFotoClick();
    void btnZoomFotoClick();
    void btnEtichetteClick();
    // A code from the barcode box or the webcam: its card, a new one, or the list of them.
    void codiceLetto(const QString &codice);
    // A new card with this code, after the question about unsaved changes.
    void nuovaConCodice(const QString &codice);
    void btnAllegatiClick();

  signals:
    // The window was closed: the launcher comes back.
    void chiusa();

  public slots:
    void cmdPrimoClick();
    void cmdIndietroClick();
    void cmdAvantiClick();
    void cmdUltimoClick();
    void btnNuovoClick();
    void btnDuplicaClick();
    void btnSalvaClick();
    void btnEsciClick();
    void btnAnteprimaClick();
    void btnStampaClick();
    void btnEsportaClick();
    void btnAggiungiClick();
    void btnSottraiClick();
    void delDataScaClick();
    void btnTrovaClick();
    void btnSottoscortaClick();
    void btnScadutiClick();
    void btnMovimentiClick();
    void btnEliminaClick();
    void btnSchedeEliminateClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    void costruisci();
    void collegaFotoEAllegati();
    void naviga(const std::function<qint64(qint64 totale)> &destinazione,
                bool vuotoSvuotaPosizione = false);
    // Which of the 17 boxes, or -1.
    int indiceCasella(const QObject *oggetto) const;
    bool tastoCasella(QLineEdit *casella, class QKeyEvent *tasto);
    void casellaLasciata(QLineEdit *casella);
    void apriGiacenza(bool aggiunta);
    void apriCalendario();
    bool controllaCampi();
    bool confermaCodice();
    void apriDaElenco(const TScheda &scheda, qint64 posizione);
    // What decides "unsaved changes": every text as it would be stored, the
    // paid box, the position and the photo.
    QStringList statoScheda() const;
    void ricordaScheda(bool fotoSalvata = true);
    void aggiornaSegno();
    bool senzaFoto() const;
    void riempiSuggerimenti();
    void aggiungiSuggerimenti(const TScheda &scheda);
    TScheda schedaDallaFinestra() const;
    void mostraCampi(const TScheda &scheda);
    void impostaStato(const QString &testo);
    // The message for `errore` (an errno of the archive), access by default.
    void erroreArchivio(int errore = 0);
    // True when the key ended a scanner's burst in an amount or quantity box,
    // whose code then went to the code box.
    bool rafficaScanner(QLineEdit *box, class QKeyEvent *tasto);
    // The shortest burst taken for a code: a few digits typed by hand in one
    // quick stroke stay in the box.
    static constexpr int MINIMO_RAFFICA = 4;

    QLineEdit *m_caselle[17] = {};
    QLabel *m_nascoste[6] = {};
    QCheckBox *m_chkPagato = nullptr;
    QLabel *m_lblPosizione = nullptr;
    QLineEdit *m_txtCodiceABarre = nullptr;
    QLabel *m_panInfo = nullptr;
    QLabel *m_lblModificata = nullptr;
    QStringList m_ricordata;
    qint64 m_fotoRicordata = 0;
    class QStringListModel *m_tipologie = nullptr;
    class QStringListModel *m_ditte = nullptr;
    QString m_firmaSuggerimenti; // size and time of the archive the suggestions came from
    RiquadroFoto *m_imgFoto = nullptr;
    // The record as it was loaded or last saved, and the stock dialog's
    // changes since: a save applies them to the stock on disk.
    TScheda m_caricata;
    qint64 m_segnoGiornale = -1; // the journal's length when m_caricata was read
    QList<CambioGiacenza> m_cambi;
    QImage m_bianco;
    QHash<QObject *, QString> m_testiStato;
    // The background, panels and pictures: the mouse over them empties the status line.
    QSet<const QObject *> m_decorazioni;
    class UscitaFocus *m_uscita = nullptr;
    // A scanner's burst typed into an amount or quantity box: the box's text
    // before it and what the scanner typed, handed to the code box at Enter.
    struct Raffica {
        QLineEdit *casella = nullptr;
        QString prima;
        QString codice;
    };
    Raffica m_raffica;
    qint64 m_ultimoTastoNumero = -1000;
    bool m_inoltroVirgola = false;
    QLineEdit *m_entrataColMouse = nullptr; // a number box the mouse just entered
};
