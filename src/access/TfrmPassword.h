#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The access check, the program's first and main window: the launcher opens
// only once the password in force has been typed.
class TfrmPassword : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmPassword(QWidget *genitore = nullptr);

    // Back from the change window: an empty box, ready for the password in force.
    void riprendi();

  signals:
    void passwordAccettata();
    void cambiaPassword();
    // The user asked to end the program.
    void esci();

  public slots:
    void cmdOKClick();
    void cmdEsciClick();
    void btnCambiaPasswordClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    void aggiornaOK();
    void aggiornaIntestazione();

    QLineEdit *m_txtPassword;
    QPushButton *m_cmdOK;
    QLabel *m_lblMemory;
    QLabel *m_imgLogo = nullptr;
    bool m_inizialeMostrata = false;
};
