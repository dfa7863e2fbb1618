#pragma once

#include <QDialog>

class Collegamento;

// About the program, with a mail link to the maker's support.
class TfrmInfo : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmInfo(QWidget *proprietario);

  public slots:
    void lnkWebClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    Collegamento *m_lnkWeb;
};
