#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Adds a quantity to the card's stock, or subtracts it, and writes the new
// total into the card's stock box. The opener sets the mode through the text
// of lblAggiunta and fills the boxes before showing it.
class TfrmGiacenza : public QDialog {
    Q_OBJECT
  public:
    TfrmGiacenza(QWidget *proprietario, QLineEdit *giacenzaScheda);
    ~TfrmGiacenza() override;

    QLabel *lblGiacenza;
    QLineEdit *txtGiacenza;
    QLabel *lblAggiunta;
    QLineEdit *txtAggiunta;
    QPushButton *btnTotale;
    QLineEdit *txtTotale;
    QLabel *lblCausale;
    QLineEdit *txtCausale; // optional reason, the movement's note
    QPushButton *btnAggiorna;
    QPushButton *btnChiudi;

    // After "Applica e chiudi": how much "Giacenza attuale" was corrected
    // from the card's stock, and the quantity then added or taken off.
    qint64 correzione() const { return m_correzione; }
    qint64 quantita() const { return m_quantita; }

  public slots:
    void btnTotaleClick();
    void btnAggiornaClick();
    void btnChiudiClick();

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;
    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    QLineEdit *m_giacenzaScheda;
    qint64 m_correzione = 0;
    qint64 m_quantita = 0;
    QLineEdit *m_cliccata = nullptr; // focus came with a click not yet delivered
    class UscitaFocus *m_uscita = nullptr;
};
