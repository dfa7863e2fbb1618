#pragma once

#include "lists/FinestraElenco.h"

#include <array>

class QLineEdit;

// " Trova prodotti in magazzino": cards found by partial text in up to ten
// fields, one line each; a chosen line loads its card in the card window.
class TfrmTrovaMagazzino : public FinestraElenco {
    Q_OBJECT
  public:
    explicit TfrmTrovaMagazzino(QWidget *genitore = nullptr);

    // The caller tag: only "magazzino" lets a chosen line load its card.
    QLabel *lblMemory = nullptr;

    void done(int esito) override;

    // A card for a code that no card has yet, asked for by the user; without
    // it the search only says that none has it.
    void impostaNuovaScheda(std::function<void(const QString &codice)> nuova) {
        m_nuovaScheda = std::move(nuova);
    }
    // The results panel with these lines, as after a search.
    void mostraSchede(Righe &&righe);

  public slots:
    void btnCercaClick();

  protected:
    QString &ultimaChiave() override;
    const FormatoRiga &formato() const override;
    QString titoloStampa() const override;
    bool puoAprire() const override;
    void showEvent(QShowEvent *evento) override;
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

  private:
    QWidget *m_panAvvio = nullptr;
    QWidget *m_panContainer = nullptr;
    std::array<QLineEdit *, 10> m_caselle{};
    QLabel *m_lblAttendere = nullptr;
    QLabel *m_lblConta = nullptr;
    QLabel *m_lblTrovate = nullptr;
    QPushButton *m_btnCerca = nullptr;
    std::function<void(const QString &)> m_nuovaScheda;
};
