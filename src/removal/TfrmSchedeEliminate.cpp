#include "removal/TfrmSchedeEliminate.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "movements/GrigliaGiornale.h"
#include "platform/Dialoghi.h"
#include "removal/EliminaDeposito.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::TipoMessaggio;

TfrmSchedeEliminate::TfrmSchedeEliminate(QWidget *genitore, const QString &archivio,
                                         const QString &giornale)
    : QDialog(genitore), m_archivio(archivio), m_giornale(giornale) {
    if (ArchivioSuServer() && QFileInfo(archivio) == QFileInfo(PercorsoArchivio()))
        m_deposito = &DepositoCorrente();
    prepara();
}

TfrmSchedeEliminate::TfrmSchedeEliminate(QWidget *genitore, Deposito &deposito)
    : QDialog(genitore) {
    // The folder's files through the program's own code, as above.
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito)) {
        m_archivio = file->archivio();
        m_giornale = file->giornale();
    } else {
        m_deposito = &deposito;
    }
    prepara();
}

void TfrmSchedeEliminate::prepara() {
    setObjectName(u"TfrmSchedeEliminate"_s);
    setWindowTitle(u" Schede eliminate"_s);
    resize(820, 460);
    auto *colonna = new QVBoxLayout(this);
    grdEliminate = GrigliaGiornale(
        this, u"grdEliminate"_s, u"Schede eliminate, dalla più recente"_s,
        {u"Eliminata il"_s, u"Posizione"_s, u"Codice"_s, u"Nome"_s, u"Giacenza"_s, u"Nota"_s});
    grdEliminate->setSelectionMode(QAbstractItemView::SingleSelection);
    colonna->addWidget(grdEliminate, 1);
    lblAvviso = RigaAvvisoGiornale(this);
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
    bool letto = true;
    if (m_deposito) {
        TitoloConArchivio(this);
        letto = SchedeEliminate(*m_deposito, m_eliminate, &danneggiate);
    } else {
        m_eliminate = SchedeEliminate(m_giornale, &danneggiate);
    }
    grdEliminate->setRowCount(int(m_eliminate.size()));
    for (int r = 0; r < m_eliminate.size(); ++r) {
        const SchedaEliminata &e = m_eliminate[r];
        // Position and stock to the right, as numbers are in the card's history.
        MettiRigaGiornale(grdEliminate, r,
                          {e.movimento.quando.toString(u"dd/MM/yyyy HH:mm"_s),
                           QString::number(e.movimento.posizione), e.scheda.testo(Campo::Codice),
                           e.scheda.testo(Campo::Nome), e.scheda.testo(Campo::Giacenza),
                           e.movimento.nota},
                          {1, 4});
    }
    grdEliminate->resizeColumnsToContents();
    if (!m_eliminate.isEmpty()) grdEliminate->selectRow(0);
    btnRipristina->setEnabled(!m_eliminate.isEmpty());
    QString avviso = AvvisoRigheDanneggiate(danneggiate);
    if (!letto)
        avviso = m_deposito->messaggio();
    else if (m_eliminate.isEmpty())
        avviso = (avviso.isEmpty() ? QString() : avviso + u' ') +
                 u"Non ci sono schede eliminate da ripristinare."_s;
    MostraAvvisoGiornale(lblAvviso, avviso);
}

void TfrmSchedeEliminate::btnRipristinaClick() {
    const int riga = grdEliminate->currentRow();
    if (riga < 0 || riga >= m_eliminate.size()) return;
    const EsitoRipristinoScheda esito =
        m_deposito ? RipristinaScheda(*m_deposito, m_eliminate[riga])
                   : RipristinaScheda(m_eliminate[riga], m_archivio, m_giornale);
    auto &dialoghi = Piattaforma::dialoghi();
    switch (esito.esito) {
    case EsitoRipristinoScheda::ErroreArchivio:
        dialoghi.messaggio(this, TipoMessaggio::Errore,
                           m_deposito     ? m_deposito->messaggio()
                           : esito.errore ? MessaggioScritturaArchivio(esito.errore)
                                          : MessaggioAccessoArchivio());
        return;
    case EsitoRipristinoScheda::GiornaleNonScritto:
        dialoghi.messaggio(this, TipoMessaggio::Errore,
                           u"Attenzione: la scheda non è stata ripristinata, perché il giornale "
                           u"Movimenti.csv non può essere scritto. Controllare lo spazio libero "
                           u"e i permessi della cartella del programma."_s);
        return;
    case EsitoRipristinoScheda::GiaRipristinata:
        carica();
        if (!btnRipristina->isEnabled()) btnChiudi->setFocus();
        dialoghi.messaggio(this, TipoMessaggio::Avviso,
                           u"Attenzione: un'altra postazione ha già ripristinato questa scheda, "
                           u"che quindi non è stata ripristinata una seconda volta."_s);
        return;
    case EsitoRipristinoScheda::Fatto:
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
