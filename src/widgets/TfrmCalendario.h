#pragma once

#include <QDialog>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

// Picks a day on a month calendar and writes it as dd/mm/yyyy into the box
// named by the tag in lblMemory.
class TfrmCalendario : public QDialog {
    Q_OBJECT
  public:
    TfrmCalendario(QWidget *proprietario, QLineEdit *dataScheda);

    QLabel *lblCampo001;
    QCalendarWidget *calAppuntamenti;
    QPushButton *btnImportaData;
    QPushButton *btnAnnulla;
    QLabel *lblMemory;

  public slots:
    void btnImportaDataClick();
    void btnAnnullaClick();

  private:
    QLineEdit *m_dataScheda;
};
