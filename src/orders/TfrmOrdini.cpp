#include "orders/TfrmOrdini.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "orders/DocumentiOrdine.h"
#include "orders/OrdiniAperti.h"
#include "orders/TfrmOrdiniAperti.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"
#include "platform/ErroreGenerale.h"
#include "report/TfrxReport.h"
#include "shop/TfrmDatiNegozio.h"
#include "storage/DepositoCorrente.h"
#include "widgets/AspettoElenco.h"
#include "widgets/Controlli.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::TipoMessaggio;

TfrmOrdini::TfrmOrdini(QWidget *genitore)
    : QDialog(genitore), m_delegato(this), m_data(QDate::currentDate()) {
    setObjectName(u"TfrmOrdini"_s);
    setWindowTitle(u" Ordini ai fornitori"_s);
    // On a server the title says which archive the window works on.
    TitoloConArchivio(this);
    setAccessibleName(u"Ordini ai fornitori"_s);
    setWindowIcon(QIcon(u":/quadrelo.svg"_s));
    setModal(true);
    resize(1100, 640);

    auto *colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(16, 12, 16, 12);
    auto *istruzioni = new QLabel(
        u"Gli articoli in esaurimento, fornitore per fornitore. Togliere la spunta a un "
        "fornitore o a un articolo per lasciarlo fuori dall'ordine; la quantità da ordinare si "
        "modifica con un doppio clic o con F2."_s,
        this);
    istruzioni->setObjectName(u"lblIstruzioni"_s);
    istruzioni->setWordWrap(true);
    istruzioni->setFont(FontVerdana(10));
    istruzioni->setStyleSheet(u"QLabel { color: white; }"_s);
    colonna->addWidget(istruzioni);

    m_trvOrdini = new QTreeView(this);
    m_trvOrdini->setObjectName(u"trvOrdini"_s);
    m_trvOrdini->setAccessibleName(u"Articoli da ordinare"_s);
    m_trvOrdini->setModel(&m_modello);
    m_trvOrdini->setItemDelegateForColumn(ModelloOrdini::Quantita, &m_delegato);
    m_trvOrdini->setUniformRowHeights(true);
    m_trvOrdini->setAlternatingRowColors(true);
    m_trvOrdini->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    m_trvOrdini->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_trvOrdini->setAllColumnsShowFocus(true);
    const int larghezze[ModelloOrdini::COLONNE] = {220, 260, 150, 70, 60, 70, 90, 80, 100};
    for (int i = 0; i < ModelloOrdini::COLONNE; ++i)
        m_trvOrdini->setColumnWidth(i, larghezze[i]);
    istruzioni->setBuddy(m_trvOrdini);
    colonna->addWidget(m_trvOrdini, 1);

    auto *riga = new QHBoxLayout;
    m_lblAttendere = new QLabel(u"Caricamento elenco in corso. Attendere..."_s, this);
    m_lblAttendere->setObjectName(u"lblAttendere"_s);
    m_lblAttendere->setFont(FontVerdana(11, true));
    m_lblAttendere->setStyleSheet(u"QLabel { color: darkcyan; }"_s);
    m_lblAttendere->hide();
    riga->addWidget(m_lblAttendere);
    m_prgAvanzamento = new QProgressBar(this);
    m_prgAvanzamento->setObjectName(u"prgAvanzamento"_s);
    m_prgAvanzamento->setAccessibleName(u"Archivio letto"_s);
    m_prgAvanzamento->hide();
    riga->addWidget(m_prgAvanzamento);
    riga->addStretch(1);
    m_lblNegozio = new QLabel(this);
    m_lblNegozio->setObjectName(u"lblNegozio"_s);
    m_lblNegozio->setTextFormat(Qt::PlainText);
    m_lblNegozio->setWordWrap(true);
    m_lblNegozio->setStyleSheet(u"QLabel { color: maroon; background: rgba(255,255,255,225); "
                                "padding: 4px 8px; border-radius: 6px; }"_s);
    riga->addWidget(m_lblNegozio);
    m_lblTotale = new QLabel(this);
    m_lblTotale->setObjectName(u"lblTotale"_s);
    m_lblTotale->setFont(FontVerdana(12, true));
    m_lblTotale->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lblTotale->setStyleSheet(u"QLabel { color: maroon; background: rgba(255,255,255,225); "
                               "padding: 4px 8px; border-radius: 6px; }"_s);
    m_lblTotale->setTextFormat(Qt::PlainText);
    ValoreAccessibile(m_lblTotale, u"Totale dell'ordine"_s);
    riga->addWidget(m_lblTotale);
    colonna->addLayout(riga);

    auto *pulsanti = new QHBoxLayout;
    auto pulsante = [&](const QString &nome, const QString &testo, QString descrizione) {
        QPushButton *b = PulsanteElenco(nome, testo, this);
        b->setAccessibleDescription(descrizione);
        b->setToolTip(descrizione);
        pulsanti->addWidget(b);
        return b;
    };
    m_btnAnteprima = pulsante(u"btnAnteprima"_s, u"Anteprima"_s,
                              u"Mostra l'anteprima di stampa, un fornitore per pagina"_s);
    m_btnStampa =
        pulsante(u"btnStampa"_s, u"Stampa"_s, u"Stampa gli ordini, un fornitore per pagina"_s);
    m_btnSalvaPdf = pulsante(u"btnSalvaPdf"_s, u"Salva PDF"_s,
                             u"Salva un PDF per fornitore nella cartella Ordini"_s);
    m_btnSalvaCsv = pulsante(u"btnSalvaCsv"_s, u"Salva CSV"_s,
                             u"Salva tutte le righe dell'ordine in un file CSV"_s);
    m_btnInvia = pulsante(u"btnInvia"_s, u"Invia"_s,
                          u"Prepara un messaggio di posta all'agente del fornitore scelto"_s);
    m_btnSegnaOrdinato =
        pulsante(u"btnSegnaOrdinato"_s, u"Segna come ordinato"_s,
                 u"Registra nel giornale dei movimenti le quantità ordinate, senza cambiare la "
                 "giacenza"_s);
    m_btnAnnullaOrdine =
        pulsante(u"btnAnnullaOrdine"_s, u"Annulla ordine"_s,
                 u"Annulla la quantità in ordine dell'articolo o del fornitore scelto"_s);
    m_btnOrdiniAperti =
        pulsante(u"btnOrdiniAperti"_s, u"Ordini aperti"_s,
                 u"Mostra la merce ordinata e non ancora ricevuta, fornitore per fornitore"_s);
    auto *btnNegozio =
        pulsante(u"btnNegozio"_s, u"Dati del negozio"_s,
                 u"Nome, indirizzo e partita IVA del negozio, in testa agli ordini"_s);
    pulsanti->addStretch(1);
    m_btnChiudi = pulsante(u"btnChiudi"_s, u"Chiudi"_s, u"Chiude la finestra"_s);
    colonna->addLayout(pulsanti);

    connect(m_btnAnteprima, &QPushButton::clicked, this, &TfrmOrdini::btnAnteprimaClick);
    connect(m_btnStampa, &QPushButton::clicked, this, &TfrmOrdini::btnStampaClick);
    connect(m_btnSalvaPdf, &QPushButton::clicked, this, &TfrmOrdini::btnSalvaPdfClick);
    connect(m_btnSalvaCsv, &QPushButton::clicked, this, &TfrmOrdini::btnSalvaCsvClick);
    connect(m_btnInvia, &QPushButton::clicked, this, &TfrmOrdini::btnInviaClick);
    connect(m_btnSegnaOrdinato, &QPushButton::clicked, this, &TfrmOrdini::btnSegnaOrdinatoClick);
    connect(m_btnAnnullaOrdine, &QPushButton::clicked, this, &TfrmOrdini::btnAnnullaOrdineClick);
    connect(m_btnOrdiniAperti, &QPushButton::clicked, this, &TfrmOrdini::btnOrdiniApertiClick);
    connect(&m_lettura, &LetturaOrdiniAperti::letti, this, &TfrmOrdini::applicaInOrdine);
    connect(m_btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNegozio, &QPushButton::clicked, this, [this] {
        TfrmDatiNegozio negozio(this);
        dialoghi().esegui(&negozio);
        mostraNegozio();
    });
    connect(&m_modello, &ModelloOrdini::ordineCambiato, this, &TfrmOrdini::mostraTotale);
    mostraNegozio();
    mostraTotale();
}

TfrmOrdini::~TfrmOrdini() = default;

void TfrmOrdini::setVisible(bool visibile) {
    QDialog::setVisible(visibile);
    if (visibile && !m_riempita) {
        m_riempita = true;
        riempi();
    }
}

void TfrmOrdini::riempi() {
    // The journal is read beside the pass over the archive.
    m_modello.impostaInOrdineNoto(false);
    for (QPushButton *b : {m_btnSegnaOrdinato, m_btnAnnullaOrdine, m_btnOrdiniAperti})
        b->setEnabled(false);
    m_aperti.reset();
    m_lettura.avvia(DepositoCorrente());
    m_inPassata = true;
    EsitoOrdini esito;
    {
        AvanzamentoPassata avanzamento(m_lblAttendere, m_prgAvanzamento);
        esito = RaccogliOrdini(DepositoCorrente(), [&avanzamento](qint64 letti, qint64 totale) {
            avanzamento(letti, totale);
        });
    }
    m_inPassata = false;
    m_modello.imposta(std::move(esito.gruppi));
    m_trvOrdini->expandAll();
    m_trvOrdini->setCurrentIndex(m_modello.index(0, 0));
    m_trvOrdini->setFocus();
    if (!esito.riuscito)
        dialoghi().messaggioSemplice(this, esito.messaggio.isEmpty() ? MessaggioAccessoArchivio()
                                                                     : esito.messaggio);
    if (!esito.nonLeggibili.isEmpty())
        dialoghi().messaggio(this, TipoMessaggio::Avviso,
                             MessaggioNonLeggibili(esito.nonLeggibili));
    if (m_lettura.aperti()) applicaInOrdine();
}

void TfrmOrdini::applicaInOrdine() {
    // Read before the pass ended: applied when the lines are there.
    if (m_inPassata || !m_lettura.aperti()) return;
    m_aperti = m_lettura.aperti();
    const OrdiniAperti &aperti = *m_aperti;
    m_modello.impostaInOrdineNoto(true);
    m_modello.modifica(
        [&aperti](std::vector<GruppoOrdine> &gruppi) { ApplicaOrdiniAperti(gruppi, aperti); });
    for (QPushButton *b : {m_btnSegnaOrdinato, m_btnAnnullaOrdine, m_btnOrdiniAperti})
        b->setEnabled(true);
    if (!aperti.messaggio.isEmpty())
        dialoghi().messaggio(this, TipoMessaggio::Avviso,
                             aperti.messaggio + u" La colonna \"In ordine\" non mostra la merce "
                                                "già ordinata."_s);
    else if (!aperti.letto)
        dialoghi().messaggio(this, TipoMessaggio::Avviso,
                             u"Impossibile leggere il giornale dei movimenti \""_s +
                                 QDir::toNativeSeparators(PercorsoGiornale()) +
                                 u"\": la colonna \"In ordine\" non mostra la merce già "
                                 "ordinata. Controllare i permessi del file."_s);
}

void TfrmOrdini::mostraNegozio() {
    // Orders that do not say who sends them are no good to a supplier.
    const bool senzaNegozio = LeggiDatiNegozio().vuoti();
    m_lblNegozio->setVisible(senzaNegozio);
    m_lblNegozio->setText(senzaNegozio ? u"Mancano i dati del negozio per l'intestazione degli "
                                         u"ordini: premere Dati del negozio."_s
                                       : QString());
    m_lblNegozio->setAccessibleName(m_lblNegozio->text());
}

void TfrmOrdini::mostraTotale() {
    const auto &gruppi = m_modello.gruppi();
    if (gruppi.empty()) {
        m_lblTotale->setText(m_riempita ? u"Nessun articolo in esaurimento da ordinare."_s
                                        : QString());
        return;
    }
    int righe = 0;
    int fornitori = 0;
    for (const GruppoOrdine &g : gruppi) {
        righe += g.righeInOrdine();
        fornitori += g.righeInOrdine() > 0;
    }
    m_lblTotale->setText(u"Totale ordine: € "_s + TestoEuro(TotaleOrdini(gruppi)) + u"  ("_s +
                         QString::number(righe) + (righe == 1 ? u" riga, "_s : u" righe, "_s) +
                         QString::number(fornitori) +
                         (fornitori == 1 ? u" fornitore)"_s : u" fornitori)"_s));
}

bool TfrmOrdini::qualcosaDaOrdinare() {
    for (const GruppoOrdine &g : m_modello.gruppi())
        if (g.righeInOrdine() > 0) return true;
    dialoghi().messaggio(this, TipoMessaggio::Informazione,
                         u"Nessun articolo da ordinare: spuntare almeno un fornitore e un "
                         "articolo."_s);
    return false;
}

int TfrmOrdini::gruppoScelto() const {
    const int attuale = m_modello.gruppoDi(m_trvOrdini->currentIndex());
    const auto &gruppi = m_modello.gruppi();
    if (attuale >= 0 && gruppi[std::size_t(attuale)].righeInOrdine() > 0) return attuale;
    if (attuale >= 0) return -1;
    for (std::size_t i = 0; i < gruppi.size(); ++i)
        if (gruppi[i].righeInOrdine() > 0) return int(i);
    return -1;
}

void TfrmOrdini::btnAnteprimaClick() {
    if (!qualcosaDaOrdinare()) return;
    Piattaforma::eseguiProtetto(this, [this] {
        TfrxReport report;
        CostruisciRepOrdini(report, m_modello.gruppi(), m_data);
        report.ShowReport(true, this);
    });
}

void TfrmOrdini::btnStampaClick() {
    if (!qualcosaDaOrdinare()) return;
    Piattaforma::eseguiProtetto(this, [this] {
        TfrxReport report;
        CostruisciRepOrdini(report, m_modello.gruppi(), m_data);
        report.PrepareReport(true);
        report.Print(this);
    });
}

void TfrmOrdini::btnSalvaPdfClick() {
    if (!qualcosaDaOrdinare()) return;
    const EsitoPdf esito = SalvaPdfOrdini(m_modello.gruppi(), CartellaOrdini(), m_data);
    if (!esito.errore.isEmpty()) {
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"Impossibile scrivere \""_s + QDir::toNativeSeparators(esito.errore) +
                                 u"\". Controllare lo spazio libero e i permessi della "
                                 "cartella. Ordini salvati prima dell'errore: "_s +
                                 QString::number(esito.scritti.size()) + u"."_s);
        return;
    }
    QStringList nomi;
    for (const QString &p : esito.scritti)
        nomi << QFileInfo(p).fileName();
    dialoghi().messaggio(
        this, TipoMessaggio::Informazione,
        (esito.scritti.size() == 1
             ? u"È stato salvato un ordine"_s
             : u"Sono stati salvati "_s + QString::number(esito.scritti.size()) + u" ordini"_s) +
            u" nella cartella \""_s + QDir::toNativeSeparators(CartellaOrdini()) + u"\": "_s +
            nomi.join(u", "_s) + u"."_s);
}

void TfrmOrdini::btnSalvaCsvClick() {
    if (!qualcosaDaOrdinare()) return;
    const QString percorso = QDir(CartellaOrdini()).filePath(NomeFileCsv(m_data));
    const bool scritto =
        QDir().mkpath(CartellaOrdini()) && ScriviFileIntero(percorso, [this](QIODevice *d) {
            return ScriviCsvOrdini(d, m_modello.gruppi());
        });
    if (!scritto) {
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"Impossibile scrivere \""_s + QDir::toNativeSeparators(percorso) +
                                 u"\". Controllare lo spazio libero e i permessi della "
                                 "cartella."_s);
        return;
    }
    dialoghi().messaggio(this, TipoMessaggio::Informazione,
                         u"Le righe dell'ordine sono state salvate in \""_s +
                             QDir::toNativeSeparators(percorso) + u"\"."_s);
}

void TfrmOrdini::btnInviaClick() {
    if (!qualcosaDaOrdinare()) return;
    const int scelto = gruppoScelto();
    if (scelto < 0) {
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             u"Il fornitore scelto non ha articoli spuntati: spuntare almeno un "
                             "articolo o scegliere un altro fornitore."_s);
        return;
    }
    const GruppoOrdine &gruppo = m_modello.gruppi()[std::size_t(scelto)];
    const PostaOrdine posta = CollegamentoPosta(gruppo, m_data);
    if (posta.troncato) {
        // The whole order goes with the mail as its PDF.
        const EsitoPdf pdf = SalvaPdfOrdini({gruppo}, CartellaOrdini(), m_data);
        const QString dove = pdf.scritti.isEmpty()
                                 ? u"da salvare con il pulsante Salva PDF"_s
                                 : u"che è stato salvato in \""_s +
                                       QDir::toNativeSeparators(pdf.scritti.front()) + u"\""_s;
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             u"L'ordine è troppo lungo per il testo del messaggio, che ne "
                             "riporta solo le prime righe: allegare il PDF dell'ordine, "_s +
                                 dove + u"."_s);
    }
    Piattaforma::ApriConDesktop(posta.collegamento, this);
}

bool TfrmOrdini::riportaRegistrazione(const RegistrazioneOrdine &esito) {
    switch (esito.esito) {
    case RegistrazioneOrdine::Fatto:
        return true;
    case RegistrazioneOrdine::NienteDaRegistrare:
        break;
    case RegistrazioneOrdine::ErroreArchivio:
        if (!esito.messaggio.isEmpty()) {
            dialoghi().messaggio(this, TipoMessaggio::Errore, esito.messaggio);
            break;
        }
        dialoghi().messaggio(this, TipoMessaggio::Errore, MessaggioAccessoArchivio());
        break;
    case RegistrazioneOrdine::SchedaCambiata:
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"La scheda "_s + esito.codice +
                                 u" non è più dove era quando la finestra è stata aperta: "
                                 "l'archivio è stato cambiato da un'altra postazione. Non è stato "
                                 "registrato nulla; chiudere e riaprire la finestra degli "
                                 "ordini."_s);
        break;
    case RegistrazioneOrdine::GiornaleNonScritto:
        if (!esito.messaggio.isEmpty()) {
            dialoghi().messaggio(this, TipoMessaggio::Errore, esito.messaggio);
            break;
        }
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"Impossibile scrivere il giornale dei movimenti \""_s +
                                 QDir::toNativeSeparators(PercorsoGiornale()) +
                                 u"\": non è stato registrato nulla. Controllare lo spazio "
                                 "libero e i permessi della cartella."_s);
        break;
    }
    return false;
}

void TfrmOrdini::btnSegnaOrdinatoClick() {
    if (!qualcosaDaOrdinare()) return;
    int righe = 0;
    // Lines already on order are named, so nothing is ordered twice unawares.
    QStringList giaOrdinate;
    for (const GruppoOrdine &g : m_modello.gruppi()) {
        righe += g.righeInOrdine();
        for (const RigaOrdine &r : g.righe)
            if (g.inOrdine(r) && r.inOrdine > 0)
                giaOrdinate << r.codice + u" ("_s + QString::number(r.inOrdine) + u" in ordine)"_s;
    }
    QString domanda;
    if (!giaOrdinate.isEmpty())
        domanda =
            u"Attenzione: "_s +
            (giaOrdinate.size() == 1
                 ? u"un articolo ha già un ordine aperto, non ancora ricevuto: "_s
                 : QString::number(giaOrdinate.size()) +
                       u" articoli hanno già un ordine aperto, non ancora ricevuto: "_s) +
            ElencoCodici(giaOrdinate) +
            (giaOrdinate.size() == 1 ? u". Ordinarlo di nuovo? "_s : u". Ordinarli di nuovo? "_s);
    domanda += u"Registrare nel giornale dei movimenti l'ordine di "_s + QString::number(righe) +
               (righe == 1 ? u" articolo"_s : u" articoli"_s) +
               u"? La giacenza non cambia: la diminuirà il carico della merce ricevuta."_s;
    if (dialoghi().domanda(this, domanda) == Piattaforma::Risposta::No) return;
    RegistrazioneOrdine esito;
    m_modello.modifica([&](std::vector<GruppoOrdine> &gruppi) {
        esito = SegnaOrdinato(gruppi, DepositoCorrente());
    });
    if (!riportaRegistrazione(esito)) return;
    seguiLeRighe();
    dialoghi().messaggio(this, TipoMessaggio::Informazione,
                         u"Registrato l'ordine di "_s + QString::number(esito.righe) +
                             (esito.righe == 1 ? u" articolo"_s : u" articoli"_s) +
                             u": la colonna \"In ordine\" mostra le quantità attese."_s);
}

void TfrmOrdini::btnAnnullaOrdineClick() {
    const QModelIndex attuale = m_trvOrdini->currentIndex();
    const int g = m_modello.gruppoDi(attuale);
    if (g < 0) return;
    const int riga = attuale.parent().isValid() ? attuale.row() : -1;
    const GruppoOrdine &gruppo = m_modello.gruppi()[std::size_t(g)];
    qint64 quantita = 0;
    for (int i = 0; i < int(gruppo.righe.size()); ++i)
        if (riga < 0 || riga == i) quantita += gruppo.righe[std::size_t(i)].inOrdine;
    const QString di = riga < 0 ? u"del fornitore "_s + gruppo.nomeMostrato()
                                : u"dell'articolo "_s + gruppo.righe[std::size_t(riga)].codice;
    if (quantita == 0) {
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             u"Non ci sono ordini aperti "_s + di + u"."_s);
        return;
    }
    if (dialoghi().domanda(this, u"Annullare l'ordine aperto "_s + di + u" ("_s +
                                     QString::number(quantita) +
                                     u" pezzi in tutto)? Nel giornale dei movimenti sarà "
                                     "registrata la riga opposta."_s) == Piattaforma::Risposta::No)
        return;
    RegistrazioneOrdine esito;
    m_modello.modifica([&](std::vector<GruppoOrdine> &gruppi) {
        esito = AnnullaOrdine(gruppi[std::size_t(g)], riga, DepositoCorrente());
    });
    if (riportaRegistrazione(esito)) seguiLeRighe();
}

void TfrmOrdini::seguiLeRighe() {
    if (!m_aperti) return;
    for (const GruppoOrdine &g : m_modello.gruppi())
        for (const RigaOrdine &r : g.righe) {
            if (r.inOrdine > 0)
                m_aperti->quantita[r.posizione] = r.inOrdine;
            else
                m_aperti->quantita.remove(r.posizione);
        }
}

void TfrmOrdini::btnOrdiniApertiClick() {
    if (!m_aperti) return;
    TfrmOrdiniAperti aperti(*m_aperti, this);
    dialoghi().esegui(&aperti);
    if (!aperti.cambiati()) return;
    // Orders closed there are no longer on order here.
    m_aperti = aperti.aperti();
    m_modello.modifica([this](std::vector<GruppoOrdine> &gruppi) {
        for (GruppoOrdine &g : gruppi)
            for (RigaOrdine &r : g.righe)
                r.inOrdine = m_aperti->quantita.value(r.posizione);
    });
}

void TfrmOrdini::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0x1f, 0x3a, 0x5f));
}

void TfrmOrdini::closeEvent(QCloseEvent *evento) {
    if (m_inPassata) return evento->ignore();
    QDialog::closeEvent(evento);
}

void TfrmOrdini::done(int esito) {
    if (m_inPassata) return;
    QDialog::done(esito);
}
