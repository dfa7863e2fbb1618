#include "movements/TfrmSchedeEliminate.h"

#include "archive/Archivio.h"
#include "platform/Dialoghi.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::TipoMessaggio;

TfrmSchedeEliminate::TfrmSchedeEliminate(QWidget *genitore, const QString &archivio,
                                         const QString &giornale)
    : QDialog(genitore), m_archivio(archivio), m_giornale(giornale) {
    setObjectName(u"TfrmSchedeEliminate"_s);
    setWindowTitle(u" Schede eliminate"_s);
    resize(820, 460);
    auto *colonna = new QVBoxLayout(this);
    grdEliminate = new QTableWidget(0, 6, this);
    grdEliminate->setObjectName(u"grdEliminate"_s);
    grdEliminate->setAccessibleName(u"Schede eliminate, dalla più recente"_s);
    grdEliminate->setHorizontalHeaderLabels(
        {u"Eliminata il"_s, u"Posizione"_s, u"Codice"_s, u"Nome"_s, u"Giacenza"_s, u"Nota"_s});
    grdEliminate->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdEliminate->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdEliminate->setSelectionMode(QAbstractItemView::SingleSelection);
    grdEliminate->verticalHeader()->hide();
    grdEliminate->horizontalHeader()->setStretchLastSection(true);
    colonna->addWidget(grdEliminate, 1);
    lblAvviso = new QLabel(this);
    lblAvviso->setObjectName(u"lblAvviso"_s);
    lblAvviso->setTextFormat(Qt::PlainText);
    lblAvviso->hide();
    colonna->addWidget(lblAvviso);
    auto *pulsanti = new QHBoxLayout;
    btnRipristina = new QPushButton(u"&Ripristina"_s, this);
    btnRipristina->setObjectName(u"btnRipristina"_s);
    btnChiudi = new QPushButton(u"&Chiudi"_s, this);
    btnChiudi->setObjectName(u"btnChiudi"_s);
    pulsanti->addStretch();
    pulsanti->addWidget(btnRipristina);
    pulsanti->addWidget(btnChiudi);
    colonna->addLayout(pulsanti);
    connect(btnRipristina, &QPushButton::clicked, this, &TfrmSchedeEliminate::btnRipristinaClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    carica();
}

void TfrmSchedeEliminate::carica() {
    qint64 danneggiate = 0;
    m_eliminate = SchedeEliminate(m_giornale, &danneggiate);
    grdEliminate->setRowCount(int(m_eliminate.size()));
    for (int r = 0; r < m_eliminate.size(); ++r) {
        const SchedaEliminata &e = m_eliminate[r];
        const QStringList celle = {e.movimento.quando.toString(u"dd/MM/yyyy HH:mm"_s),
                                   QString::number(e.movimento.posizione),
                                   e.scheda.testo(Campo::Codice),
                                   e.scheda.testo(Campo::Nome),
                                   e.scheda.testo(Campo::Giacenza),
                                   e.movimento.nota};
        for (int c = 0; c < celle.size(); ++c)
            grdEliminate->setItem(r, c, new QTableWidgetItem(celle[c]));
    }
    grdEliminate->resizeColumnsToContents();
    if (!m_eliminate.isEmpty()) grdEliminate->selectRow(0);
    btnRipristina->setEnabled(!m_eliminate.isEmpty());
    QString avviso = danneggiate == 0 ? QString()
                           : danneggiate == 1
                               ? u"Attenzione: 1 riga danneggiata del giornale è stata saltata."_s
                               : u"Attenzione: "_s + QString::number(danneggiate) +
                                     u" righe danneggiate del giornale sono state saltate."_s;
    if (m_eliminate.isEmpty())
        avviso = (avviso.isEmpty() ? QString() : avviso + u' ') +
                 u"Non ci sono schede eliminate da ripristinare."_s;
    lblAvviso->setText(avviso);
    lblAvviso->setAccessibleName(avviso);
    lblAvviso->setVisible(!avviso.isEmpty());
}

void TfrmSchedeEliminate::btnRipristinaClick() {
    const int riga = grdEliminate->currentRow();
    if (riga < 0 || riga >= m_eliminate.size()) return;
    const EsitoRipristino esito = RipristinaScheda(m_eliminate[riga], m_archivio, m_giornale);
    auto &dialoghi = Piattaforma::dialoghi();
    switch (esito.esito) {
    case EsitoRipristino::ErroreArchivio:
        dialoghi.messaggio(this, TipoMessaggio::Errore,
                           esito.errore ? MessaggioScritturaArchivio(esito.errore)
                                        : MessaggioAccessoArchivio());
        return;
    case EsitoRipristino::GiornaleNonScritto:
        dialoghi.messaggio(this, TipoMessaggio::Errore,
                           u"Attenzione: la scheda non è stata ripristinata, perché il giornale "
                           u"Movimenti.csv non può essere scritto. Controllare lo spazio libero "
                           u"e i permessi della cartella del programma."_s);
        return;
    case EsitoRipristino::Fatto:
        break;
    }
    m_ripristinata = esito.posizione;
    carica();
    // The button goes grey with the last card: the focus must not stay on it.
    if (!btnRipristina->isEnabled()) btnChiudi->setFocus();
    dialoghi.messaggio(this, TipoMessaggio::Informazione,
                       u"La scheda è stata ripristinata in archivio alla posizione "_s +
                           QString::number(esito.posizione) + u'.');
}
