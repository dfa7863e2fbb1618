#pragma once

#include "shop/DatiNegozio.h"

#include <QDialog>
#include <QRect>

class QLineEdit;
class QPlainTextEdit;

// "Dati del negozio": who the shop is, for the header of its orders and the
// signature of its mails. Salva checks the partita IVA and writes the file.
class TfrmDatiNegozio : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmDatiNegozio(QWidget *genitore = nullptr, QString percorso = PercorsoDatiNegozio());

    QLineEdit *txtNome = nullptr;
    QPlainTextEdit *txtIndirizzo = nullptr;
    QLineEdit *txtPartitaIva = nullptr;
    QLineEdit *txtTelefono = nullptr;
    QLineEdit *txtEmail = nullptr;

    void btnSalvaClick();

  private:
    QString m_percorso;
};

// Places the "Dati del negozio" command on the launcher's panel.
void PreparaComandoNegozio(QWidget *finestra, QWidget *pannello, QRect pulsante);
