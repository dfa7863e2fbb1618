#include "passes/VistaRighe.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

using namespace Qt::StringLiterals;

namespace {

int sogliaAvanzamento = 300;

// Repaint at most this often while a pass runs.
constexpr qint64 INTERVALLO_DISEGNO = 40;

} // namespace

ModelloRighe::ModelloRighe(QObject *genitore)
    : QAbstractListModel(genitore), m_carattere(u"Courier New"_s) {
    m_carattere.setPointSize(12);
    m_carattere.setStyleHint(QFont::TypeWriter);
    m_dimensione = QSize(1600, QFontMetrics(m_carattere).height() + 2);
}

int ModelloRighe::rowCount(const QModelIndex &genitore) const {
    return genitore.isValid() ? 0 : int(m_righe.size());
}

QVariant ModelloRighe::data(const QModelIndex &indice, int ruolo) const {
    if (!indice.isValid() || indice.row() >= m_righe.size()) return {};
    switch (ruolo) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return m_righe.testo(indice.row());
    case Qt::FontRole:
        return m_carattere;
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    case Qt::SizeHintRole:
        return m_dimensione;
    default:
        return {};
    }
}

void ModelloRighe::imposta(Righe righe) {
    beginResetModel();
    m_righe = std::move(righe);
    endResetModel();
}

void ModelloRighe::svuota() {
    imposta(Righe());
}

void ModelloRighe::impostaCarattere(const QFont &carattere, QSize dimensione) {
    if (carattere == m_carattere && dimensione == m_dimensione) return;
    emit layoutAboutToBeChanged();
    m_carattere = carattere;
    m_dimensione = dimensione;
    emit layoutChanged();
}

VistaRighe::VistaRighe(QWidget *genitore) : QListView(genitore) {
    setObjectName(u"lstRecords"_s);
    m_modello = new ModelloRighe(this);
    setModel(m_modello);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QFont carattere(u"Courier New"_s);
    carattere.setPointSize(12);
    carattere.setStyleHint(QFont::TypeWriter);
    setFont(carattere);
    QPalette tavolozza = palette();
    tavolozza.setColor(QPalette::Text, Qt::black);
    tavolozza.setColor(QPalette::Base, Qt::white);
    setPalette(tavolozza);
}

void VistaRighe::riempi(Righe righe) {
    righe.ordina();
    m_modello->imposta(std::move(righe));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    selectionModel()->clear();
    adattaCarattere();
}

void VistaRighe::resizeEvent(QResizeEvent *evento) {
    QListView::resizeEvent(evento);
    adattaCarattere();
}

void VistaRighe::adattaCarattere() {
    constexpr qreal PIENO = 12;
    constexpr qreal MINIMO = 9;
    constexpr int LARGHEZZA_RIGA = 1600;
    const qsizetype caratteri = righe().lunghezzaMassima();
    // Room for the item's own margins.
    const int spazio = viewport()->width() - 8;
    auto larghezza = [caratteri](const QFont &f) {
        return QFontMetricsF(f).horizontalAdvance(u'0') * qreal(caratteri);
    };
    QFont scelto = font();
    scelto.setPointSizeF(PIENO);
    int rigaLarga = LARGHEZZA_RIGA;
    if (larghezza(scelto) > spazio) {
        for (qreal punti = PIENO - 0.5; punti >= MINIMO; punti -= 0.5) {
            QFont f = scelto;
            f.setPointSizeF(punti);
            if (larghezza(f) <= spazio) {
                scelto = f;
                rigaLarga = spazio + 8;
                break;
            }
        }
    }
    m_modello->impostaCarattere(scelto, QSize(rigaLarga, QFontMetrics(scelto).height() + 2));
}

void VistaRighe::svuota() {
    m_modello->svuota();
}

qsizetype VistaRighe::selezionata() const {
    const QModelIndexList scelte = selectionModel()->selectedIndexes();
    return scelte.isEmpty() ? -1 : scelte.first().row();
}

void VistaRighe::seleziona(qsizetype riga) {
    const QModelIndex indice = m_modello->index(int(riga));
    if (!indice.isValid()) return;
    selectionModel()->setCurrentIndex(indice, QItemSelectionModel::ClearAndSelect);
    scrollTo(indice);
}

void VistaRighe::keyPressEvent(QKeyEvent *evento) {
    // Enter on a line opens its card, as a double-click does; it never
    // reaches the window's buttons.
    if (evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) {
        if (selezionata() >= 0) emit apriRiga();
        evento->accept();
        return;
    }
    QListView::keyPressEvent(evento);
}

void VistaRighe::mouseDoubleClickEvent(QMouseEvent *evento) {
    QListView::mouseDoubleClickEvent(evento);
    emit apriRiga();
}

AvanzamentoPassata::AvanzamentoPassata(QLabel *attendere, QProgressBar *barra)
    : m_attendere(attendere), m_barra(barra),
      m_attendereVisibile(attendere && !attendere->isHidden()) {
    m_tempo.start();
}

AvanzamentoPassata::~AvanzamentoPassata() {
    if (!m_mostrata) return;
    if (m_barra) m_barra->hide();
    if (m_attendere && !m_attendereVisibile) m_attendere->hide();
}

void AvanzamentoPassata::impostaSoglia(int millisecondi) {
    sogliaAvanzamento = millisecondi;
}

void AvanzamentoPassata::operator()(qint64 letti, qint64 totale) {
    const qint64 trascorsi = m_tempo.elapsed();
    if (trascorsi < sogliaAvanzamento) return;
    if (!m_mostrata) {
        m_mostrata = true;
        if (m_attendere) m_attendere->show();
        if (m_barra) {
            m_barra->setRange(0, 1000);
            m_barra->show();
        }
    } else if (trascorsi - m_ultimoDisegno < INTERVALLO_DISEGNO) {
        return;
    }
    m_ultimoDisegno = trascorsi;
    if (m_barra && totale > 0) {
        const int valore = int(qMin<qint64>(1000, letti * 1000 / totale));
        m_barra->setValue(valore);
        m_barra->setAccessibleDescription(QString::number(valore / 10) + u"%"_s);
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
