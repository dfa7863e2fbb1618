#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The goods inventory prompt: a category, or nothing for all goods.
class TfrmMenuRiepilogo : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmMenuRiepilogo(QWidget *genitore = nullptr);

  public slots:
    void btnVisualizzaClick();

  signals:
    void chiusa();

  protected:
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;

  private:
    QLineEdit *m_txtTipologia;
    QLabel *m_lblAttendere;
};
