#pragma once

#include <QWidget>

class QLineEdit;

// The goods inventory prompt: a category, or nothing for all goods.
class TfrmMenuRiepilogo : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmMenuRiepilogo(QWidget *genitore = nullptr);

  signals:
    void chiusa();

  protected:
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;

  private:
    QLineEdit *m_txtTipologia;
};
