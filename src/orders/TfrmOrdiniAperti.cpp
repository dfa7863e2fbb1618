#include "orders/TfrmOrdiniAperti.h"

#include "archive/Archivio.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/AspettoElenco.h"
#include "widgets/Controlli.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::TipoMessaggio;

namespace {

QString pezzi(qint64 quantita) {
    return QString::number(quantita) + (quantita == 1 ? u" pezzo"_s : u" pezzi"_s);
}

} // namespace

TfrmOrdiniAperti::TfrmOrdiniAperti(const OrdiniAperti &aperti, QWidget *genitore)
    : QDialog(genitore), m_aperti(aperti) {
    setObjectName(u"TfrmOrdiniAperti"_s);
    setWindowTitle(u" Ordini aperti"_s);
    // On a server the title says which archive the window works on.
    TitoloConArchivio(this);
    setAccessibleName(u"Ordini aperti"_s);
    setWindowIcon(QIcon(u":/quadrelo.svg"_s));
    setModal(true);
    resize(900, 560);

    auto *colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(16, 12, 16, 12);
    auto *istruzioni = new QLabel(
        u"La merce ordinata e non ancora caricata, fornitore per fornitore, anche per gli "
        "articoli tornati sopra la soglia. Se una merce non arriverà più, scegliere l'articolo o "
        "il fornitore e premere Chiudi ordine."_s,
        this);
    istruzioni->setObjectName(u"lblIstruzioni"_s);
    istruzioni->setWordWrap(true);
    istruzioni->setFont(FontVerdana(10));
    istruzioni->setStyleSheet(u"QLabel { color: white; }"_s);
    colonna->addWidget(istruzioni);

    m_trvAperti = new QTreeView(this);
    m_trvAperti->setObjectName(u"trvAperti"_s);
    m_trvAperti->setAccessibleName(u"Ordini aperti"_s);
    m_trvAperti->setModel(&m_modello);
    m_trvAperti->setUniformRowHeights(true);
    m_trvAperti->setAlternatingRowColors(true);
    m_trvAperti->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_trvAperti->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_trvAperti->setAllColumnsShowFocus(true);
    istruzioni->setBuddy(m_trvAperti);
    colonna->addWidget(m_trvAperti, 1);

    m_lblRiepilogo = new QLabel(this);
    m_lblRiepilogo->setObjectName(u"lblRiepilogo"_s);
    m_lblRiepilogo->setTextFormat(Qt::PlainText);
    m_lblRiepilogo->setFont(FontVerdana(11, true));
    m_lblRiepilogo->setStyleSheet(u"QLabel { color: maroon; background: rgba(255,255,255,225); "
                                  "padding: 4px 8px; border-radius: 6px; }"_s);
    ValoreAccessibile(m_lblRiepilogo, u"Ordini aperti"_s);
    colonna->addWidget(m_lblRiepilogo, 0, Qt::AlignRight);

    auto *pulsanti = new QHBoxLayout;
    m_btnChiudiOrdine = PulsanteElenco(u"btnChiudiOrdine"_s, u"Chiudi ordine"_s, this);
    const QString descrizione = u"Chiude la quantità ancora da ricevere dell'articolo o del "
                                "fornitore scelto, che non arriverà più"_s;
    m_btnChiudiOrdine->setAccessibleDescription(descrizione);
    m_btnChiudiOrdine->setToolTip(descrizione);
    pulsanti->addWidget(m_btnChiudiOrdine);
    pulsanti->addStretch(1);
    m_btnChiudi = PulsanteElenco(u"btnChiudi"_s, u"Chiudi"_s, this);
    m_btnChiudi->setAccessibleDescription(u"Chiude la finestra"_s);
    m_btnChiudi->setToolTip(u"Chiude la finestra"_s);
    pulsanti->addWidget(m_btnChiudi);
    colonna->addLayout(pulsanti);

    connect(m_btnChiudiOrdine, &QPushButton::clicked, this,
            &TfrmOrdiniAperti::btnChiudiOrdineClick);
    connect(m_btnChiudi, &QPushButton::clicked, this, &QDialog::reject);

    const EsitoOrdini esito = RaccogliOrdiniAperti(m_aperti, DepositoCorrente());
    m_gruppi = esito.gruppi;
    riempi();
    m_trvAperti->setFocus();
    if (!esito.riuscito)
        dialoghi().messaggioSemplice(this, esito.messaggio.isEmpty() ? MessaggioAccessoArchivio()
                                                                     : esito.messaggio);
}

void TfrmOrdiniAperti::riempi() {
    m_modello.clear();
    m_modello.setHorizontalHeaderLabels(
        {u"Fornitore / Codice"_s, u"Nome"_s, u"Giacenza"_s, u"Soglia"_s, u"Da ricevere"_s});
    qint64 totale = 0;
    int righe = 0;
    for (const GruppoOrdine &g : m_gruppi) {
        qint64 delGruppo = 0;
        QList<QStandardItem *> testa;
        for (int c = 0; c < COLONNE; ++c)
            testa << new QStandardItem;
        testa[Codice]->setText(g.nomeMostrato());
        QFont grassetto = testa[Codice]->font();
        grassetto.setBold(true);
        for (QStandardItem *i : testa)
            i->setFont(grassetto);
        for (const RigaOrdine &r : g.righe) {
            QList<QStandardItem *> riga;
            for (const QString &testo :
                 {r.codice, r.nome, r.testoGiacenza, r.testoAvviso, QString::number(r.inOrdine)})
                riga << new QStandardItem(testo);
            for (int c = Giacenza; c < COLONNE; ++c)
                riga[c]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            testa[Codice]->appendRow(riga);
            delGruppo += r.inOrdine;
            ++righe;
        }
        testa[DaRicevere]->setText(QString::number(delGruppo));
        testa[DaRicevere]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_modello.appendRow(testa);
        totale += delGruppo;
    }
    const int larghezze[COLONNE] = {240, 300, 90, 80, 110};
    for (int i = 0; i < COLONNE; ++i)
        m_trvAperti->setColumnWidth(i, larghezze[i]);
    m_trvAperti->expandAll();
    m_trvAperti->setCurrentIndex(m_modello.index(0, 0));
    m_btnChiudiOrdine->setEnabled(righe > 0);
    m_lblRiepilogo->setText(righe == 0 ? u"Nessun ordine aperto."_s
                                       : QString::number(righe) +
                                             (righe == 1 ? u" articolo"_s : u" articoli"_s) +
                                             u" da ricevere, "_s + pezzi(totale) + u" in tutto."_s);
}

void TfrmOrdiniAperti::btnChiudiOrdineClick() {
    const QModelIndex attuale = m_trvAperti->currentIndex();
    if (!attuale.isValid()) return;
    const bool riga = attuale.parent().isValid();
    const int g = riga ? attuale.parent().row() : attuale.row();
    if (g < 0 || g >= int(m_gruppi.size())) return;
    GruppoOrdine &gruppo = m_gruppi[std::size_t(g)];
    const int r = riga ? attuale.row() : -1;
    qint64 quantita = 0;
    for (int i = 0; i < int(gruppo.righe.size()); ++i)
        if (r < 0 || r == i) quantita += gruppo.righe[std::size_t(i)].inOrdine;
    const QString di = r < 0 ? u"del fornitore "_s + gruppo.nomeMostrato()
                             : u"dell'articolo "_s + gruppo.righe[std::size_t(r)].codice;
    if (dialoghi().domanda(this, u"Chiudere l'ordine aperto "_s + di + u" ("_s + pezzi(quantita) +
                                     u" ancora da ricevere)? Questa merce non sarà più attesa: "
                                     "nel giornale dei movimenti sarà registrata la riga "
                                     "opposta."_s) == Piattaforma::Risposta::No)
        return;
    const RegistrazioneOrdine esito = AnnullaOrdine(gruppo, r, DepositoCorrente());
    if (!esito.messaggio.isEmpty()) {
        dialoghi().messaggio(this, TipoMessaggio::Errore, esito.messaggio);
        return;
    }
    switch (esito.esito) {
    case RegistrazioneOrdine::Fatto:
    case RegistrazioneOrdine::NienteDaRegistrare:
        break;
    case RegistrazioneOrdine::ErroreArchivio:
        dialoghi().messaggio(this, TipoMessaggio::Errore, MessaggioAccessoArchivio());
        return;
    case RegistrazioneOrdine::SchedaCambiata:
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"La scheda "_s + esito.codice +
                                 u" non è più dove era quando la finestra è stata aperta: "
                                 "l'archivio è stato cambiato da un'altra postazione. Non è stato "
                                 "registrato nulla; chiudere e riaprire la finestra."_s);
        return;
    case RegistrazioneOrdine::GiornaleNonScritto:
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"Impossibile scrivere il giornale dei movimenti \""_s +
                                 QDir::toNativeSeparators(PercorsoGiornale()) +
                                 u"\": non è stato registrato nulla. Controllare lo spazio "
                                 "libero e i permessi della cartella."_s);
        return;
    }
    m_cambiati = true;
    // The closed lines go, and a supplier left with none.
    for (RigaOrdine &riga : gruppo.righe)
        if (riga.inOrdine <= 0) m_aperti.quantita.remove(riga.posizione);
    std::erase_if(gruppo.righe, [](const RigaOrdine &x) { return x.inOrdine <= 0; });
    if (gruppo.righe.empty()) m_gruppi.erase(m_gruppi.begin() + g);
    riempi();
}

void TfrmOrdiniAperti::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0x1f, 0x3a, 0x5f));
}
