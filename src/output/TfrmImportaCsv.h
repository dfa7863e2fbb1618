#pragma once

#include "output/ImportaCsv.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

// " Importa schede da CSV": the rows of the chosen file as they will become
// cards, each with its state, and the button that appends the valid ones to
// the archive, all or nothing.
class TfrmImportaCsv : public QDialog {
    Q_OBJECT
  public:
    TfrmImportaCsv(QWidget *genitore, Importazione importazione, const QString &nomeFile);
    ~TfrmImportaCsv() override;

    void btnImportaClick();
    // After a successful import: the position of the first new card.
    qint64 primaPosizione() const { return m_prima; }
    const Importazione &importazione() const { return m_importazione; }

  private:
    Importazione m_importazione;
    QTableView *m_grdAnteprima = nullptr;
    QPushButton *m_btnImporta = nullptr;
    qint64 m_prima = -1;
};
