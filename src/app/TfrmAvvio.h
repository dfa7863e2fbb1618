#pragma once

#include <QWidget>

// The launcher: opens the card window or the goods inventory, the
// information, help and credits windows, the maker's site, or ends the program.
class TfrmAvvio : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmAvvio(QWidget *genitore = nullptr);

  signals:
    void apriMagazzino();
    void apriInventario();
    // The user asked to end the program.
    void esci();

  public slots:
    void imgMagazzinoClick();
    void imgInventarioClick();
    void imgEsciClick();
    void imgInfoClick();
    void imgGuidaClick();
    void imgCopyrightClick();
    void imgSitoClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;

  private:
    QWidget *m_primo = nullptr;
};
