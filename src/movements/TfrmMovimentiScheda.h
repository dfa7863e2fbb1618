#pragma once

#include "archive/TScheda.h"
#include "journal/Movimenti.h"
#include "report/TfrxReport.h"
#include "storage/Deposito.h"

#include <QDialog>

class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QTableWidget;

// A card's movements, newest first, with the chart of its stock over time
// and the reorder threshold; prints them, and takes back the latest.
class TfrmMovimentiScheda : public QDialog {
    Q_OBJECT
  public:
    // The program folder's archive stands for the archive in use: on a
    // server, the server's.
    TfrmMovimentiScheda(QWidget *genitore, qint64 posizione, const QString &archivio,
                        const QString &giornale = PercorsoGiornale());
    TfrmMovimentiScheda(QWidget *genitore, qint64 posizione, Deposito &deposito);

    QLabel *lblScheda;
    QTableWidget *grdMovimenti;
    QChartView *graGiacenza;
    QLabel *lblAvviso;
    QPushButton *btnAnnullaUltimo;
    QPushButton *btnStampa;
    QPushButton *btnChiudi;

    // Whether the stock on disk changed here, and what it is now.
    bool giacenzaCambiata() const { return m_cambiata; }
    qint64 giacenza() const { return m_giacenza; }
    TfrxReport &frxReport() { return m_report; }

    // Newest first, as the grid shows them; the unrecorded difference, when
    // there is one, comes first as a line of its own.
    static QStringList RigheStampa(const QList<Movimento> &movimenti, qint64 differenza,
                                   qint64 giacenza);
    // Stock after each movement as a step line, the threshold as a flat line.
    static QChart *Grafico(const QList<Movimento> &movimenti, qint64 avviso);

  public slots:
    void btnAnnullaUltimoClick();
    void btnStampaClick();

  private:
    void prepara();
    void carica();

    qint64 m_posizione;
    QString m_archivio;
    QString m_giornale;
    Deposito *m_deposito = nullptr; // a server's archive; null for the files above
    TScheda m_scheda;
    qint64 m_segnoGiornale = -1; // the journal's length when m_scheda was read
    StoriaScheda m_storia;
    qint64 m_giacenza = 0;
    qint64 m_differenza = 0;
    bool m_cambiata = false;
    TfrxReport m_report;
};
