#include "count/TfrmDifferenze.h"

#include "archive/Archivio.h"
#include "archive/FileIntero.h"
#include "archive/Importi.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/AspettoElenco.h"
#include "widgets/Controlli.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

class ModelloDifferenze final : public QAbstractTableModel {
  public:
    explicit ModelloDifferenze(QObject *genitore) : QAbstractTableModel(genitore) {}
    void imposta(const Differenze *differenze, FiltroDifferenze filtro) {
        beginResetModel();
        m_differenze = differenze;
        m_indici.clear();
        if (differenze)
            for (std::size_t i = 0; i < differenze->righe.size(); ++i)
                if (RigaNelFiltro(differenze->righe[i], filtro)) m_indici.push_back(i);
        endResetModel();
    }
    int rowCount(const QModelIndex &genitore) const override {
        return genitore.isValid() ? 0 : int(m_indici.size());
    }
    int columnCount(const QModelIndex &genitore) const override {
        return genitore.isValid() ? 0 : 9;
    }
    QVariant headerData(int sezione, Qt::Orientation verso, int ruolo) const override {
        static const char16_t *const TITOLI[] = {u"Codice",     u"Nome",       u"Giacenza",
                                                 u"Contati",    u"Mossi dopo", u"Nuova giacenza",
                                                 u"Differenza", u"Valore",     u"Nota"};
        if (verso != Qt::Horizontal || ruolo != Qt::DisplayRole) return {};
        return QString::fromUtf16(TITOLI[sezione]);
    }
    QVariant data(const QModelIndex &indice, int ruolo) const override {
        if (!m_differenze || !indice.isValid()) return {};
        const RigaDifferenza &r = m_differenze->righe[m_indici[std::size_t(indice.row())]];
        const bool scheda =
            r.stato != RigaDifferenza::Sconosciuta && r.stato != RigaDifferenza::Eliminata;
        const bool contata = r.stato != RigaDifferenza::NonContata;
        if (ruolo == Qt::TextAlignmentRole)
            return indice.column() >= 2 && indice.column() <= 7
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        if (ruolo != Qt::DisplayRole) return {};
        switch (indice.column()) {
        case 0:
            return r.codice();
        case 1:
            return r.nome();
        case 2:
            return scheda ? r.testoGiacenza() : QString();
        case 3:
            return contata ? QString::number(r.contati) : QString();
        case 4:
            return scheda && contata ? QString::number(r.mossiDopo) : QString();
        case 5:
            return scheda ? QString::number(r.nuova) : QString();
        case 6:
            return scheda ? QString::number(r.differenza) : QString();
        case 7:
            return scheda ? ImportoConMigliaia(r.valore) : QString();
        default:
            switch (r.stato) {
            case RigaDifferenza::Contata:
                return r.mossiDopo
                           ? QString::number(r.mossiDopo) +
                                 u" movimentati dopo la conta: inclusi nella nuova giacenza"_s
                           : QString();
            case RigaDifferenza::NonContata:
                return u"Non contata"_s;
            case RigaDifferenza::Eliminata:
                return u"Letture di una scheda eliminata o spostata: non applicate"_s;
            case RigaDifferenza::Sconosciuta:
                return u"Codice sconosciuto: nessuna scheda lo ha"_s;
            case RigaDifferenza::GiacenzaNonIntera:
                return u"Giacenza non intera: non cambiata"_s;
            }
        }
        return {};
    }

  private:
    const Differenze *m_differenze = nullptr;
    std::vector<std::size_t> m_indici;
};

TfrmDifferenze::TfrmDifferenze(QWidget *genitore, Conteggio &conteggio, QString archivio)
    : QDialog(genitore), m_conteggio(conteggio), m_archivio(std::move(archivio)) {
    setObjectName(u"frmDifferenze"_s);
    setWindowTitle(u"Differenze del conteggio - "_s + conteggio.nome());
    TitoloConArchivio(this);
    setAccessibleName(windowTitle());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMaximizeButtonHint);
    auto *colonna = new QVBoxLayout(this);
    auto *riga = new QHBoxLayout;
    auto *lblFiltro = new QLabel(u"&Mostra:"_s, this);
    lblFiltro->setObjectName(u"lblFiltro"_s);
    cboFiltro = new QComboBox(this);
    cboFiltro->setObjectName(u"cboFiltro"_s);
    cboFiltro->setAccessibleName(u"Mostra"_s);
    cboFiltro->addItems({u"Tutte le schede del conteggio"_s, u"Solo le differenze"_s,
                         u"Solo le schede non contate"_s});
    lblFiltro->setBuddy(cboFiltro);
    riga->addWidget(lblFiltro);
    riga->addWidget(cboFiltro);
    riga->addStretch(1);
    colonna->addLayout(riga);

    m_modello = new ModelloDifferenze(this);
    grdDifferenze = new QTableView(this);
    grdDifferenze->setObjectName(u"grdDifferenze"_s);
    grdDifferenze->setAccessibleName(u"Differenze"_s);
    grdDifferenze->setModel(m_modello);
    grdDifferenze->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdDifferenze->setTabKeyNavigation(false);
    grdDifferenze->verticalHeader()->hide();
    grdDifferenze->verticalHeader()->setDefaultSectionSize(22);
    grdDifferenze->horizontalHeader()->setStretchLastSection(true);
    colonna->addWidget(grdDifferenze, 1);

    lblTotali = new QLabel(this);
    lblTotali->setObjectName(u"lblTotali"_s);
    lblTotali->setTextFormat(Qt::PlainText);
    QFont totali(u"Courier New"_s, 12);
    totali.setBold(true);
    lblTotali->setFont(totali);
    ValoreAccessibile(lblTotali, u"Totali"_s);
    colonna->addWidget(lblTotali);

    auto *comandi = new QHBoxLayout;
    auto pulsante = [this, comandi](const QString &nome, const QString &testo) {
        auto *b = new QPushButton(testo, this);
        b->setObjectName(nome);
        b->setAutoDefault(false);
        b->setAccessibleName(QString(testo).remove(u'&').remove(u"..."_s));
        comandi->addWidget(b);
        return b;
    };
    btnApplica = pulsante(u"btnApplica"_s, u"&Applica alle schede..."_s);
    btnStampa = pulsante(u"btnStampa"_s, u"&Stampa..."_s);
    btnPdf = pulsante(u"btnPdf"_s, u"&PDF..."_s);
    btnEsporta = pulsante(u"btnEsporta"_s, u"&Esporta CSV..."_s);
    comandi->addStretch(1);
    btnChiudi = pulsante(u"btnChiudi"_s, u"C&hiudi"_s);
    colonna->addLayout(comandi);
    InvioPremePulsante(this);

    connect(cboFiltro, &QComboBox::currentIndexChanged, this,
            [this] { m_modello->imposta(&m_differenze, filtro()); });
    connect(btnApplica, &QPushButton::clicked, this, &TfrmDifferenze::btnApplicaClick);
    connect(btnStampa, &QPushButton::clicked, this, &TfrmDifferenze::btnStampaClick);
    connect(btnPdf, &QPushButton::clicked, this, &TfrmDifferenze::btnPdfClick);
    connect(btnEsporta, &QPushButton::clicked, this, &TfrmDifferenze::btnEsportaClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    resize(1100, 680);
    calcola();
    grdDifferenze->setColumnWidth(0, 140);
    grdDifferenze->setColumnWidth(1, 240);
    for (int colonna = 2; colonna <= 7; ++colonna)
        grdDifferenze->setColumnWidth(colonna, colonna == 5 ? 110 : 84);
    cboFiltro->setFocus();
}

TfrmDifferenze::~TfrmDifferenze() = default;

FiltroDifferenze TfrmDifferenze::filtro() const {
    return FiltroDifferenze(qMax(0, cboFiltro->currentIndex()));
}

QString TfrmDifferenze::titolo() const {
    return u"Differenze del conteggio "_s + m_conteggio.nome();
}

void TfrmDifferenze::calcola() {
    setCursor(Qt::WaitCursor);
    m_modello->imposta(nullptr, filtro());
    m_differenze = ArchivioSuServer()
                       ? CalcolaDifferenze(m_conteggio, DepositoCorrente())
                       : CalcolaDifferenze(m_conteggio, m_archivio, PercorsoGiornale());
    m_modello->imposta(&m_differenze, filtro());
    unsetCursor();
    if (!m_differenze.riuscito) {
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore, m_differenze.errore);
        btnApplica->setEnabled(false);
    }
    lblTotali->setText(TotaliDifferenze(m_differenze).mid(1).join(u'\n'));
}

void TfrmDifferenze::btnApplicaClick() {
    auto &dialoghi = Piattaforma::dialoghi();
    if (!m_differenze.riuscito) return;
    if (m_conteggio.applicato() &&
        dialoghi.domanda(this, u"Questo conteggio è già stato applicato alle schede. Applicarlo "
                               u"di nuovo? Cambieranno solo le schede contate o mosse da "
                               u"allora."_s) != Risposta::Si)
        return;
    bool azzera = false;
    if (m_differenze.nonContate > 0) {
        const Risposta r = dialoghi.domandaConAnnulla(
            this,
            QString::number(m_differenze.nonContate) +
                (m_differenze.nonContate == 1 ? u" scheda del conteggio non è stata contata"_s
                                              : u" schede del conteggio non sono state contate"_s) +
                u" (valore a costo "_s + ImportoInEuro(m_differenze.valoreNonContate) +
                u"). Portare la loro giacenza a 0?\n\nSì: giacenza a 0 (non sono sugli "
                u"scaffali).\nNo: lasciarle come sono.\nAnnulla: non applicare ora."_s);
        if (r == Risposta::Annulla) return;
        azzera = r == Risposta::Si;
    }
    qint64 cambiate = 0;
    for (const RigaDifferenza &r : m_differenze.righe)
        if ((r.stato == RigaDifferenza::Contata && r.differenza != 0) ||
            (azzera && r.stato == RigaDifferenza::NonContata && r.giacenza != 0))
            ++cambiate;
    if (dialoghi.domanda(this, u"Scrivere le giacenze contate in "_s + QString::number(cambiate) +
                                   u" schede? Ogni scheda cambiata avrà una riga «Rettifica» nel "
                                   u"giornale dei movimenti, con la nota «"_s +
                                   NotaConteggio(m_conteggio.nome()) + u"»."_s) != Risposta::Si)
        return;
    setCursor(Qt::WaitCursor);
    const EsitoApplicazione esito =
        ArchivioSuServer()
            ? ApplicaConteggio(m_conteggio, m_differenze, azzera, DepositoCorrente())
            : ApplicaConteggio(m_conteggio, m_differenze, azzera, m_archivio, PercorsoGiornale());
    unsetCursor();
    switch (esito.esito) {
    case EsitoApplicazione::Fatto:
    case EsitoApplicazione::Niente:
        dialoghi.messaggio(this, TipoMessaggio::Informazione,
                           esito.cambiate == 0
                               ? u"Nessuna giacenza da cambiare: le schede corrispondono al "
                                 u"conteggio."_s
                               : u"Le giacenze contate sono state scritte in "_s +
                                     QString::number(esito.cambiate) + u" schede."_s);
        break;
    case EsitoApplicazione::Cambiato:
        dialoghi.messaggio(this, TipoMessaggio::Avviso,
                           u"Attenzione: nel frattempo una scheda del conteggio è stata eliminata "
                           u"o spostata da un'altra postazione. Nessuna giacenza è stata cambiata: "
                           u"le differenze sono state ricalcolate, controllarle e applicare di "
                           u"nuovo."_s);
        break;
    case EsitoApplicazione::FuoriCampo:
        dialoghi.messaggio(this, TipoMessaggio::Avviso,
                           u"Attenzione: la giacenza della scheda "_s + esito.scheda +
                               u" non entra nel campo Giacenza (al massimo 4 caratteri). Nessuna "
                               u"giacenza è stata cambiata: correggere il conteggio."_s);
        break;
    case EsitoApplicazione::GiornaleNonScritto:
        dialoghi.messaggio(this, TipoMessaggio::Errore, MessaggioGiornaleNonScritto());
        break;
    case EsitoApplicazione::ErroreArchivio:
        dialoghi.messaggio(
            this, TipoMessaggio::Errore,
            u"Attenzione: l'archivio non può essere scritto; nessuna giacenza è "
            u"stata cambiata. "_s +
                (esito.errore.isEmpty() ? MessaggioAccessoArchivio(m_archivio) : esito.errore));
        break;
    }
    calcola();
}

void TfrmDifferenze::btnStampaClick() {
    StampaConteggio(this, titolo(),
                    RigheDifferenze(m_differenze, filtro()) + TotaliDifferenze(m_differenze));
}

void TfrmDifferenze::btnPdfClick() {
    PdfConteggio(this, titolo(),
                 RigheDifferenze(m_differenze, filtro()) + TotaliDifferenze(m_differenze),
                 u"Differenze "_s + m_conteggio.nome() + u".pdf"_s);
}

void TfrmDifferenze::btnEsportaClick() {
    const QString percorso = Piattaforma::ScegliFileDaSalvare(
        this, u"Esporta le differenze del conteggio"_s, {u"File CSV (*.csv)"_s},
        u"Differenze "_s + m_conteggio.nome() + u".csv"_s);
    if (percorso.isEmpty()) return;
    const bool scritto = ScriviFileIntero(percorso, [this](QIODevice *file) {
        return ScriviCsvDifferenze(file, m_conteggio, m_differenze);
    });
    if (scritto)
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Informazione,
                                          u"Le differenze sono state esportate nel file "_s +
                                              QDir::toNativeSeparators(percorso) + u'.');
    else
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore,
                                          u"Attenzione: non è stato possibile scrivere il file "_s +
                                              QDir::toNativeSeparators(percorso) + u'.');
}
