#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// Changes the access password: the old one, then the new one twice.
class TfrmCambiaPassword : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmCambiaPassword(QWidget *genitore = nullptr);

  signals:
    // The window closed, after a change or not: the password window comes back.
    void chiusa();

  public slots:
    void cmdOKClick();
    void cmdEsciClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    void aggiornaOK();

    QLineEdit *m_txtPasswordOld;
    QLineEdit *m_txtPasswordNew;
    QLineEdit *m_txtConferma;
    QPushButton *m_cmdOK;
    QLabel *m_lblMemory;
};
