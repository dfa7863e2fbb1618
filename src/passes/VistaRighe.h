#pragma once

#include "passes/Righe.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QListView>
#include <QPointer>

class QLabel;
class QProgressBar;

// The lines of a list as a model: the view asks only for the lines it shows,
// so a list of a hundred thousand lines opens and scrolls at once.
class ModelloRighe : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit ModelloRighe(QObject *genitore = nullptr);

    int rowCount(const QModelIndex &genitore = QModelIndex()) const override;
    QVariant data(const QModelIndex &indice, int ruolo = Qt::DisplayRole) const override;

    const Righe &righe() const { return m_righe; }
    void imposta(Righe righe);
    void svuota();
    // The lines' font and the room each takes.
    void impostaCarattere(const QFont &carattere, QSize dimensione);
    const QFont &carattere() const { return m_carattere; }

  private:
    Righe m_righe;
    QFont m_carattere;
    QSize m_dimensione;
};

// lstRecords: one line per item, in Courier New 12, opaque black, each line
// laid out 1600 units wide. Where a smaller size, down to 9 points, shows the
// longest line whole (a maximised window on a laptop screen), the lines take
// it. A double-click, or Enter on a selected line, asks to open the line's card.
class VistaRighe : public QListView {
    Q_OBJECT
  public:
    explicit VistaRighe(QWidget *genitore = nullptr);

    ModelloRighe *modello() const { return m_modello; }
    const Righe &righe() const { return m_modello->righe(); }
    // Sorts the lines into the lists' order and shows them, none selected.
    void riempi(Righe righe);
    void svuota();
    // The selected line, or -1.
    qsizetype selezionata() const;
    void seleziona(qsizetype riga);

  signals:
    void apriRiga();

  protected:
    void keyPressEvent(QKeyEvent *evento) override;
    void resizeEvent(QResizeEvent *evento) override;
    void mouseDoubleClickEvent(QMouseEvent *evento) override;

  private:
    void adattaCarattere();

    ModelloRighe *m_modello;
};

// Shows how far a long pass is: nothing for a pass too short to notice;
// then the waiting label, a progress bar with the share of the archive read,
// and the windows repainted every few hundredths of a second. The user's
// input waits until the pass is over, so the window stays modal.
class AvanzamentoPassata {
  public:
    AvanzamentoPassata(QLabel *attendere, QProgressBar *barra);
    ~AvanzamentoPassata();
    AvanzamentoPassata(const AvanzamentoPassata &) = delete;
    AvanzamentoPassata &operator=(const AvanzamentoPassata &) = delete;

    void operator()(qint64 letti, qint64 totale);

    // After how long a pass shows its progress; tests shorten it.
    static void impostaSoglia(int millisecondi);

  private:
    QPointer<QLabel> m_attendere;
    QPointer<QProgressBar> m_barra;
    bool m_attendereVisibile;
    QElapsedTimer m_tempo;
    qint64 m_ultimoDisegno = 0;
    bool m_mostrata = false;
};
