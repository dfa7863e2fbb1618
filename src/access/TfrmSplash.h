#pragma once

#include <QDialog>
#include <QRect>

class Collegamento;

// Where the credits picture shows the product's name.
inline constexpr QRect AreaNomeRiconoscimenti{180, 34, 400, 80};

// The credits, with a link to the maker's web site.
class TfrmSplash : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSplash(QWidget *proprietario);

  public slots:
    void lnkWebClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    Collegamento *m_lnkWeb;
};
