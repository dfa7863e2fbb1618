#pragma once

#include "journal/Eliminazione.h"
#include "storage/Deposito.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// The removed cards, newest first, as the journal keeps them; "Ripristina"
// appends the chosen one back with its photo.
class TfrmSchedeEliminate : public QDialog {
    Q_OBJECT
  public:
    // The program folder's archive stands for the archive in use: on a
    // server, the server's.
    TfrmSchedeEliminate(QWidget *genitore, const QString &archivio,
                        const QString &giornale = PercorsoGiornale());
    TfrmSchedeEliminate(QWidget *genitore, Deposito &deposito);

    QTableWidget *grdEliminate;
    QLabel *lblAvviso;
    QPushButton *btnRipristina;
    QPushButton *btnChiudi;

    // The position of the last card brought back, 0 when none.
    qint64 posizioneRipristinata() const { return m_ripristinata; }

  public slots:
    void btnRipristinaClick();

  private:
    void prepara();
    void carica();

    QString m_archivio;
    QString m_giornale;
    Deposito *m_deposito = nullptr; // a server's archive; null for the files above
    QList<SchedaEliminata> m_eliminate;
    qint64 m_ripristinata = 0;
};
