#include "lists/ElencoSchede.h"

#include "archive/Archivio.h"
#include "lists/Ancoraggi.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

ElencoSchede::ElencoSchede(QWidget *genitore, const QString &nome, const QString &didascalia,
                           const QString &icona, const QString &titolo, const QString &nomeElenco)
    : FinestraElenco(genitore, nome, didascalia) {
    auto *pan = new QWidget(this);
    pan->setObjectName(u"panContainer"_s);
    pan->setGeometry(0, 0, 862, 560);
    costruisciElenco(pan, icona, titolo, nomeElenco);

    m_lblAttendere = new QLabel(u"Caricamento elenco in corso. Attendere..."_s, pan);
    m_lblAttendere->setObjectName(u"lblAttendere"_s);
    m_lblAttendere->setFont(FontVerdana(11, true));
    m_lblAttendere->setStyleSheet(u"QLabel { color: darkcyan; }"_s);
    m_lblAttendere->setGeometry(26, 494, 426, 20);
    m_lblAttendere->hide();
    m_prgAvanzamento = new QProgressBar(pan);
    m_prgAvanzamento->setObjectName(u"prgAvanzamento"_s);
    m_prgAvanzamento->setAccessibleName(u"Archivio letto"_s);
    m_prgAvanzamento->setGeometry(26, 518, 426, 16);
    m_prgAvanzamento->hide();
    m_ancoraggiElenco->aggiungi(m_lblAttendere, Ancoraggi::SegueBasso);
    m_ancoraggiElenco->aggiungi(m_prgAvanzamento, Ancoraggi::SegueBasso);

    QWidget *ordine[] = {m_txtTrova, m_lstRecords, m_btnStampa, m_btnTrova, m_btnChiudi};
    for (std::size_t i = 1; i < std::size(ordine); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);
}

void ElencoSchede::setVisible(bool visibile) {
    FinestraElenco::setVisible(visibile);
    // Filled once, when first shown: the window is already on screen, so a
    // long pass can show its progress in it.
    if (visibile && !m_riempita) {
        m_riempita = true;
        riempi();
    }
}

void ElencoSchede::riempi() {
    EsitoElenco esito =
        eseguiPassata(m_lblAttendere, [this](const Avanza &avanza) { return passata(avanza); });
    m_lstRecords->riempi(std::move(esito.righe));
    m_txtTrova->setFocus();
    riempito(esito);
    // An archive that cannot be read must not pass for an empty list.
    if (!esito.riuscito)
        Piattaforma::dialoghi().messaggioSemplice(
            this, esito.messaggio.isEmpty() ? MessaggioAccessoArchivio() : esito.messaggio);
    if (!esito.scartate.isEmpty()) segnalaScartate(esito.scartate);
}

void ElencoSchede::spazioAttesa(int larghezza) {
    m_lblAttendere->setGeometry(26, 494, larghezza, 40);
    m_lblAttendere->setWordWrap(true);
    m_lblAttendere->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_prgAvanzamento->setGeometry(26, 518, larghezza, 16);
}
