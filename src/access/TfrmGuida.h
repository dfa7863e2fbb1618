#pragma once

#include "access/ArgomentiGuida.h"

#include <QDialog>

class Collegamento;
class QLabel;
class QTextEdit;

// Shows one help topic and opens the user guide.
class TfrmGuida : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmGuida(QWidget *proprietario);
    void mostraArgomento(const ArgomentoGuida &argomento);

  public slots:
    void lnkWebClick();

  protected:
    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    QLabel *m_lblTitolo;
    QTextEdit *m_txtGuida;
    Collegamento *m_lnkWeb;
};

// The help window over `proprietario` with the topic of that window, shown
// modally and freed when it closes. Every help button calls this.
void ApriGuida(QWidget *proprietario, TemaGuida tema);
