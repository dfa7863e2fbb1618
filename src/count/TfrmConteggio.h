#pragma once

#include "count/Conteggio.h"

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QFrame;
class QTimer;

// The counting window: a box that takes the scanner's codes (each one adds
// the quantity to its card's count and shows the card big), the last scans,
// and the commands to correct a line, take a wrong scan back, see the
// differences and print the sheet to count on.
class TfrmConteggio : public QDialog {
    Q_OBJECT
  public:
    TfrmConteggio(QWidget *genitore, std::unique_ptr<Conteggio> conteggio, QString archivio);
    ~TfrmConteggio() override;

    QLineEdit *txtCodice = nullptr;
    QSpinBox *txtQuantita = nullptr;
    QFrame *pnlScheda = nullptr;
    QLabel *lblCodiceScheda = nullptr;
    QLabel *lblNomeScheda = nullptr;
    QLabel *lblGiacenza = nullptr;
    QLabel *lblContati = nullptr;
    QLabel *lblEsito = nullptr;
    QListWidget *lstLetture = nullptr;
    QPushButton *btnCorreggi = nullptr;
    QPushButton *btnTogli = nullptr;
    QPushButton *btnDifferenze = nullptr;
    QPushButton *btnFoglio = nullptr;
    QPushButton *btnFoglioPdf = nullptr;
    QPushButton *btnGuida = nullptr;
    QPushButton *btnChiudi = nullptr;

    Conteggio &conteggio() { return *m_conteggio; }

  public slots:
    // The text of the box as the scanner (or the user) sent it with Enter.
    void leggiCodice();
    void btnCorreggiClick();
    void btnTogliClick();
    void btnDifferenzeClick();
    void btnFoglioClick();
    void btnFoglioPdfClick();

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    // The card of a line of the list, as the code index has it; none when
    // the code is not at that position.
    const TScheda *schedaDi(const QString &codice, qint64 posizione, TScheda &scheda);
    void registra(TipoRigaConteggio tipo, const QString &codice, qint64 posizione, qint64 quantita,
                  const TScheda *scheda);
    void mostra(const QString &codice, const QString &nome, const QString &giacenza, qint64 contati,
                bool sconosciuto);
    void lampeggia(bool buono);
    // The shown card's count, after other copies' scans are read.
    void aggiornaContati();
    // Why the archive in use could not be read, in its own words.
    QString messaggioArchivio() const;
    bool righeFoglio(QStringList &righe);

    std::unique_ptr<Conteggio> m_conteggio;
    QString m_archivio;
    IndiceCodici m_indice;
    QTimer *m_spegni = nullptr;
    QTimer *m_rilettura = nullptr;
    qint64 m_posizioneMostrata = -1;
    QString m_codiceMostrato;
};

// Asks which of the cards holding a code was scanned; -1 when cancelled.
qint64 ScegliScheda(QWidget *genitore, const QString &codice, const QList<qint64> &posizioni,
                    const QList<TScheda> &schede);
// Asks a new count for a line; false when cancelled.
bool ChiediQuantita(QWidget *genitore, const QString &testo, qint64 &quantita);
