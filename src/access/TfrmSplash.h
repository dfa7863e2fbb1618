#pragma once

#include <QDialog>

class Collegamento;

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
