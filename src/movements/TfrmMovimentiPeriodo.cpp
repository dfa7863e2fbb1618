#include "movements/TfrmMovimentiPeriodo.h"

#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "archive/Importi.h"
#include "movements/StampaMovimenti.h"
#include "output/ModelliStampa.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"
#include "widgets/TfrmCalendario.h"

#include <QAbstractTableModel>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCalendarWidget>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

using namespace Qt::StringLiterals;
using Piattaforma::TipoMessaggio;

// The movements of the period, read from the journal as the view shows them:
// memory holds an offset per line, not the lines.
class ModelloMovimenti : public QAbstractTableModel {
  public:
    using Lettura = std::function<std::optional<Movimento>(qint64 numero)>;
    ModelloMovimenti(Lettura leggi, QObject *genitore)
        : QAbstractTableModel(genitore), m_leggi(std::move(leggi)) {}

    void imposta(const std::vector<qint64> *righe) {
        beginResetModel();
        m_righe = righe;
        m_letti.clear();
        endResetModel();
    }
    int rowCount(const QModelIndex &genitore = {}) const override {
        return genitore.isValid() || !m_righe ? 0 : int(m_righe->size());
    }
    int columnCount(const QModelIndex & = {}) const override { return 9; }
    QVariant headerData(int sezione, Qt::Orientation verso, int ruolo) const override {
        static const QStringList titoli = {u"Data"_s,     u"Posizione"_s, u"Codice"_s,
                                           u"Nome"_s,     u"Categoria"_s, u"Tipo"_s,
                                           u"Quantità"_s, u"Costo"_s,     u"Nota"_s};
        if (verso == Qt::Horizontal && ruolo == Qt::DisplayRole) return titoli.value(sezione);
        return QAbstractTableModel::headerData(sezione, verso, ruolo);
    }
    QVariant data(const QModelIndex &indice, int ruolo) const override {
        if (!m_righe || !indice.isValid()) return {};
        if (ruolo == Qt::TextAlignmentRole)
            return indice.column() == 1 || indice.column() == 6 || indice.column() == 7
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant();
        if (ruolo != Qt::DisplayRole) return {};
        const Movimento *m = movimento(indice.row());
        if (!m) return {};
        switch (indice.column()) {
        case 0:
            return m->quando.toString(u"dd/MM/yyyy HH:mm"_s);
        case 1:
            return QString::number(m->posizione);
        case 2:
            return m->codice;
        case 3:
            return m->nome;
        case 4:
            return m->categoria;
        case 5:
            return NomeTipo(m->tipo);
        case 6:
            return QString::number(m->quantita);
        case 7:
            return m->costo;
        default:
            return m->nota;
        }
    }

  private:
    const Movimento *movimento(int riga) const {
        auto trovato = m_letti.constFind(riga);
        if (trovato == m_letti.cend()) {
            if (m_letti.size() > 2000) m_letti.clear();
            const auto letto = m_leggi((*m_righe)[std::size_t(riga)]);
            trovato = m_letti.insert(riga, letto.value_or(Movimento()));
        }
        return &trovato.value();
    }

    Lettura m_leggi;
    const std::vector<qint64> *m_righe = nullptr;
    mutable QHash<int, Movimento> m_letti;
};

namespace {

QTableWidget *tabellaTotali(QWidget *genitore, const QString &nome, const QString &accessibile,
                            const QStringList &chiavi) {
    auto *tabella = new QTableWidget(0, int(chiavi.size()) + 4, genitore);
    tabella->setObjectName(nome);
    tabella->setAccessibleName(accessibile);
    tabella->setHorizontalHeaderLabels(chiavi +
                                       QStringList{u"Pezzi in entrata"_s, u"Pezzi in uscita"_s,
                                                   u"Valore in entrata"_s, u"Valore in uscita"_s});
    tabella->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabella->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabella->verticalHeader()->hide();
    return tabella;
}

void riempiTotali(QTableWidget *tabella, int riga, const QStringList &chiavi, const Totali &t) {
    const QStringList celle =
        chiavi + QStringList{QString::number(t.entrate), QString::number(t.uscite),
                             ImportoInEuro(t.valoreEntrate), ImportoInEuro(t.valoreUscite)};
    for (int c = 0; c < celle.size(); ++c) {
        auto *cella = new QTableWidgetItem(celle[c]);
        if (c >= chiavi.size()) cella->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        tabella->setItem(riga, c, cella);
    }
}

QString Mese(const QString &chiave) {
    return chiave.mid(5, 2) + u'/' + chiave.left(4);
}

QPushButton *pulsante(QWidget *genitore, const QString &nome, const QString &testo) {
    auto *p = new QPushButton(testo, genitore);
    p->setObjectName(nome);
    return p;
}

} // namespace

TfrmMovimentiPeriodo::TfrmMovimentiPeriodo(QWidget *genitore, const QString &giornale)
    : QDialog(genitore), m_giornale(giornale) {
    if (ArchivioSuServer() && QFileInfo(giornale) == QFileInfo(PercorsoGiornale()))
        m_deposito = &DepositoCorrente();
    prepara();
}

TfrmMovimentiPeriodo::TfrmMovimentiPeriodo(QWidget *genitore, Deposito &deposito)
    : QDialog(genitore) {
    // The folder's journal through the program's own code, as above.
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        m_giornale = file->giornale();
    else
        m_deposito = &deposito;
    prepara();
}

std::optional<Movimento> TfrmMovimentiPeriodo::movimento(qint64 numero) const {
    if (!m_deposito) return LeggiMovimentoA(m_giornale, numero);
    Movimento m;
    if (!m_deposito->rigaGiornale(numero, m)) return std::nullopt;
    return m;
}

void TfrmMovimentiPeriodo::prepara() {
    setObjectName(u"TfrmMovimentiPeriodo"_s);
    setWindowTitle(u" Movimenti per periodo"_s);
    resize(1000, 680);
    CostruisciFrxReport(m_report);

    auto *colonna = new QVBoxLayout(this);
    auto *date = new QHBoxLayout;
    auto *lblDal = new QLabel(u"&Dal:"_s, this);
    txtDal = new QLineEdit(this);
    txtDal->setObjectName(u"txtDal"_s);
    txtDal->setInputMask(u"99/99/9999"_s);
    lblDal->setBuddy(txtDal);
    btnDal = pulsante(this, u"btnDal"_s, u"..."_s);
    btnDal->setAccessibleName(u"Scegli la data iniziale"_s);
    auto *lblAl = new QLabel(u"&Al:"_s, this);
    txtAl = new QLineEdit(this);
    txtAl->setObjectName(u"txtAl"_s);
    txtAl->setInputMask(u"99/99/9999"_s);
    lblAl->setBuddy(txtAl);
    btnAl = pulsante(this, u"btnAl"_s, u"..."_s);
    btnAl->setAccessibleName(u"Scegli la data finale"_s);
    btnCalcola = pulsante(this, u"btnCalcola"_s, u"&Calcola"_s);
    btnCalcola->setDefault(true);
    prgAvanzamento = new QProgressBar(this);
    prgAvanzamento->setObjectName(u"prgAvanzamento"_s);
    prgAvanzamento->setAccessibleName(u"Avanzamento"_s);
    prgAvanzamento->setRange(0, 1000);
    prgAvanzamento->hide();
    for (QLineEdit *casella : {txtDal, txtAl})
        casella->setFixedWidth(casella->fontMetrics().horizontalAdvance(u"00/00/00000"_s) + 16);
    for (QPushButton *scegli : {btnDal, btnAl})
        scegli->setFixedWidth(scegli->fontMetrics().horizontalAdvance(u"...."_s) + 16);
    for (QWidget *w : std::initializer_list<QWidget *>{lblDal, txtDal, btnDal, lblAl, txtAl, btnAl,
                                                       btnCalcola, prgAvanzamento})
        date->addWidget(w);
    date->addStretch();
    colonna->addLayout(date);

    tabRiepilogo = new QTabWidget(this);
    tabRiepilogo->setObjectName(u"tabRiepilogo"_s);
    grdMovimenti = new QTableView(this);
    grdMovimenti->setObjectName(u"grdMovimenti"_s);
    grdMovimenti->setAccessibleName(u"Movimenti del periodo"_s);
    m_modello = new ModelloMovimenti([this](qint64 numero) { return movimento(numero); }, this);
    grdMovimenti->setModel(m_modello);
    grdMovimenti->verticalHeader()->hide();
    grdMovimenti->verticalHeader()->setDefaultSectionSize(22);
    grdMovimenti->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdMovimenti->horizontalHeader()->setStretchLastSection(true);
    // Widths for what the columns hold, set once: fitting them to the rows
    // would read a thousand lines, on the server a thousand queries.
    {
        const QFontMetrics metrica = grdMovimenti->fontMetrics();
        const QStringList campioni = {u"00/00/0000 00:00"_s, u"Posizione"_s,
                                      u"ART-00000000"_s,     u"Cerniera per mobili 00 mm"_s,
                                      u"Giardinaggio"_s,     u"Nuova scheda"_s,
                                      u"Quantità"_s,         u"000.000,00"_s};
        for (int c = 0; c < campioni.size(); ++c)
            grdMovimenti->horizontalHeader()->resizeSection(
                c, metrica.horizontalAdvance(campioni[c]) + 18);
    }
    grdSchede =
        tabellaTotali(this, u"grdSchede"_s, u"Totali per scheda"_s, {u"Codice"_s, u"Nome"_s});
    grdCategorie =
        tabellaTotali(this, u"grdCategorie"_s, u"Totali per categoria"_s, {u"Categoria"_s});
    graMesi = new QChartView(this);
    graMesi->setObjectName(u"graMesi"_s);
    graMesi->setAccessibleName(u"Grafico del valore in entrata e in uscita per mese"_s);
    graMesi->setRenderHint(QPainter::Antialiasing);
    tabRiepilogo->addTab(graMesi, u"Grafico"_s);
    tabRiepilogo->addTab(grdMovimenti, u"Movimenti"_s);
    tabRiepilogo->addTab(grdSchede, u"Per scheda"_s);
    tabRiepilogo->addTab(grdCategorie, u"Per categoria"_s);
    colonna->addWidget(tabRiepilogo, 1);

    lblTotale = new QLabel(this);
    lblTotale->setObjectName(u"lblTotale"_s);
    lblTotale->setTextFormat(Qt::PlainText);
    // A long total goes on a second line rather than widening the window.
    lblTotale->setWordWrap(true);
    colonna->addWidget(lblTotale);
    lblAvviso = new QLabel(this);
    lblAvviso->setObjectName(u"lblAvviso"_s);
    lblAvviso->setTextFormat(Qt::PlainText);
    lblAvviso->hide();
    colonna->addWidget(lblAvviso);

    auto *pulsanti = new QHBoxLayout;
    btnStampa = pulsante(this, u"btnStampa"_s, u"&Stampa"_s);
    btnEsporta = pulsante(this, u"btnEsporta"_s, u"&Esporta CSV"_s);
    btnChiudi = pulsante(this, u"btnChiudi"_s, u"C&hiudi"_s);
    pulsanti->addStretch();
    pulsanti->addWidget(btnStampa);
    pulsanti->addWidget(btnEsporta);
    pulsanti->addWidget(btnChiudi);
    colonna->addLayout(pulsanti);

    const QDate oggi = QDate::currentDate();
    txtDal->setText(QDate(oggi.year(), oggi.month(), 1).toString(u"dd/MM/yyyy"_s));
    txtAl->setText(oggi.toString(u"dd/MM/yyyy"_s));

    connect(btnDal, &QPushButton::clicked, this, [this] { scegliData(txtDal); });
    connect(btnAl, &QPushButton::clicked, this, [this] { scegliData(txtAl); });
    connect(btnCalcola, &QPushButton::clicked, this, &TfrmMovimentiPeriodo::btnCalcolaClick);
    connect(btnStampa, &QPushButton::clicked, this, &TfrmMovimentiPeriodo::btnStampaClick);
    connect(btnEsporta, &QPushButton::clicked, this, &TfrmMovimentiPeriodo::btnEsportaClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    btnStampa->setEnabled(false);
    btnEsporta->setEnabled(false);
    graMesi->setChart(Grafico(m_riepilogo));
    if (m_deposito) TitoloConArchivio(this);
}

TfrmMovimentiPeriodo::~TfrmMovimentiPeriodo() = default;

void TfrmMovimentiPeriodo::scegliData(QLineEdit *casella) {
    TfrmCalendario finestra(this, casella);
    finestra.lblMemory->setText(u"datasca"_s);
    const QDate data = QDate::fromString(casella->text(), u"dd/MM/yyyy"_s);
    if (data.isValid()) finestra.calAppuntamenti->setSelectedDate(data);
    Piattaforma::dialoghi().esegui(&finestra);
}

bool TfrmMovimentiPeriodo::leggiDate(QDate &dal, QDate &al) {
    dal = QDate::fromString(txtDal->text(), u"dd/MM/yyyy"_s);
    al = QDate::fromString(txtAl->text(), u"dd/MM/yyyy"_s);
    QLineEdit *errata = !dal.isValid() ? txtDal : !al.isValid() ? txtAl : nullptr;
    if (errata) {
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Avviso,
            u"Attenzione: indicare una data valida nel formato gg/mm/aaaa."_s);
        errata->setFocus();
        return false;
    }
    if (dal > al) {
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Avviso,
            u"Attenzione: la data iniziale è successiva alla data finale."_s);
        txtDal->setFocus();
        return false;
    }
    return true;
}

void TfrmMovimentiPeriodo::btnCalcolaClick() {
    if (m_inPassata) return;
    QDate dal;
    QDate al;
    if (!leggiDate(dal, al)) return;
    m_inPassata = true;
    m_modello->imposta(nullptr);
    prgAvanzamento->setValue(0);
    prgAvanzamento->show();
    setCursor(Qt::WaitCursor);
    // The window keeps painting while the journal is read; what the user
    // types waits for the end.
    prgAvanzamento->setRange(0, 1000);
    const auto avanza = [this](qint64 letti, qint64 totale) {
        // A server's lines come without their number known ahead: the bar
        // then only shows that the work goes on.
        if (totale <= 0 && letti > 0)
            prgAvanzamento->setRange(0, 0);
        else
            prgAvanzamento->setValue(totale > 0 ? int(letti * 1000 / totale) : 1000);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_riepilogo = m_deposito ? RiepilogaPeriodo(dal, al, *m_deposito, avanza)
                             : RiepilogaPeriodo(dal, al, m_giornale, avanza);
    unsetCursor();
    prgAvanzamento->hide();
    m_inPassata = false;
    m_dal = dal;
    m_al = al;

    m_modello->imposta(&m_riepilogo.righe);
    grdSchede->setRowCount(int(m_riepilogo.perScheda.size()));
    int riga = 0;
    for (auto i = m_riepilogo.perScheda.cbegin(); i != m_riepilogo.perScheda.cend(); ++i)
        riempiTotali(grdSchede, riga++, {i.key().first, i.key().second}, i.value());
    grdCategorie->setRowCount(int(m_riepilogo.perCategoria.size()));
    riga = 0;
    for (auto i = m_riepilogo.perCategoria.cbegin(); i != m_riepilogo.perCategoria.cend(); ++i)
        riempiTotali(grdCategorie, riga++, {i.key()}, i.value());
    for (auto *tabella : {grdSchede, grdCategorie})
        tabella->resizeColumnsToContents();

    const Totali &t = m_riepilogo.totale;
    lblTotale->setText(QString::number(m_riepilogo.righe.size()) + u" movimenti. In entrata "_s +
                       QString::number(t.entrate) + u" pezzi per "_s +
                       ImportoInEuro(t.valoreEntrate) + u", in uscita "_s +
                       QString::number(t.uscite) + u" pezzi per "_s +
                       ImportoInEuro(t.valoreUscite) + u'.' +
                       (t.daSchede == 0 && t.valoreDaSchede == 0
                            ? QString()
                            : u" Giacenze di schede nuove e importate (non contate come "
                              u"entrate): "_s +
                                  QString::number(t.daSchede) + u" pezzi per "_s +
                                  ImportoInEuro(t.valoreDaSchede) + u'.'));
    lblTotale->setAccessibleName(lblTotale->text());
    QString avviso;
    if (!m_riepilogo.lettura.aperto)
        avviso = m_deposito ? m_deposito->messaggio() : AvvisoGiornaleIlleggibile(m_giornale);
    else if (m_riepilogo.lettura.danneggiate > 0)
        avviso = u"Attenzione: "_s + QString::number(m_riepilogo.lettura.danneggiate) +
                 (m_riepilogo.lettura.danneggiate == 1
                      ? u" riga danneggiata del giornale è stata saltata."_s
                      : u" righe danneggiate del giornale sono state saltate."_s);
    lblAvviso->setText(avviso);
    lblAvviso->setAccessibleName(avviso);
    lblAvviso->setVisible(!avviso.isEmpty());

    QChart *vecchio = graMesi->chart();
    graMesi->setChart(Grafico(m_riepilogo));
    delete vecchio;
    // A server that did not answer gave no movements to print or export.
    const bool letto = m_riepilogo.lettura.aperto || !m_deposito;
    if (!letto) {
        lblTotale->clear();
        lblTotale->setAccessibleName(QString());
    }
    btnStampa->setEnabled(letto);
    btnEsporta->setEnabled(letto);
}

QChart *TfrmMovimentiPeriodo::Grafico(const RiepilogoPeriodo &riepilogo) {
    auto *grafico = new QChart;
    grafico->setTitle(u"Valore al costo in entrata e in uscita per mese"_s);
    auto *entrate = new QBarSet(u"Entrate"_s);
    entrate->setColor(QColor(0x00, 0x80, 0x80));
    auto *uscite = new QBarSet(u"Uscite"_s);
    uscite->setColor(QColor(0xFF, 0x8C, 0x00));
    QStringList mesi;
    double massimo = 100; // an empty chart still reads in whole euros
    for (auto i = riepilogo.perMese.cbegin(); i != riepilogo.perMese.cend(); ++i) {
        mesi << Mese(i.key());
        *entrate << i.value().valoreEntrate;
        *uscite << i.value().valoreUscite;
        massimo = qMax(massimo, qMax(i.value().valoreEntrate, i.value().valoreUscite));
    }
    auto *serie = new QBarSeries;
    serie->append(entrate);
    serie->append(uscite);
    grafico->addSeries(serie);
    auto *asseX = new QBarCategoryAxis;
    asseX->append(mesi.isEmpty() ? QStringList{QString()} : mesi);
    // More than a year of months side by side would cut every label short.
    if (mesi.size() > 12) asseX->setLabelsAngle(-90);
    auto *asseY = new QValueAxis;
    asseY->setRange(0, massimo * 1.1);
    asseY->applyNiceNumbers();
    asseY->setLabelFormat(u"%.0f"_s);
    // Euro marks with the thousands point, as every amount of the window.
    grafico->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    grafico->setLocalizeNumbers(true);
    asseY->setTitleText(u"Euro"_s);
    grafico->addAxis(asseX, Qt::AlignBottom);
    grafico->addAxis(asseY, Qt::AlignLeft);
    serie->attachAxis(asseX);
    serie->attachAxis(asseY);
    grafico->legend()->setAlignment(Qt::AlignBottom);
    return grafico;
}

QStringList TfrmMovimentiPeriodo::righeStampa() const {
    QStringList righe;
    auto totali = [](const Totali &t) -> QString {
        return Colonna(QString::number(t.entrate), 9, true) + u' ' +
               Colonna(QString::number(t.uscite), 9, true) + u' ' +
               Colonna(ImportoInEuro(t.valoreEntrate), 16, true) + u' ' +
               Colonna(ImportoInEuro(t.valoreUscite), 16, true);
    };
    const QString intestazioneTotali =
        Colonna(u"Entrate"_s, 9, true) + u' ' + Colonna(u"Uscite"_s, 9, true) + u' ' +
        Colonna(u"Valore entrate"_s, 16, true) + u' ' + Colonna(u"Valore uscite"_s, 16, true);
    righe << Colonna(u"Data"_s, 16) + u' ' + Colonna(u"Codice"_s, 14) + u' ' +
                 Colonna(u"Nome"_s, 34) + u' ' + Colonna(u"Categoria"_s, 20) + u' ' +
                 Colonna(u"Tipo"_s, 12) + u' ' + Colonna(u"Quantità"_s, 9, true) + u' ' +
                 Colonna(u"Costo"_s, 12, true) + u' ' + Colonna(u"Nota"_s, 30);
    const auto riga = [&righe](const Movimento *m) {
        AggiungiRigaConNota(righe,
                            Colonna(m->quando.toString(u"dd/MM/yyyy HH:mm"_s), 16) + u' ' +
                                Colonna(m->codice, 14) + u' ' + Colonna(m->nome, 34) + u' ' +
                                Colonna(m->categoria, 20) + u' ' + Colonna(NomeTipo(m->tipo), 12) +
                                u' ' + Colonna(QString::number(m->quantita), 9, true) + u' ' +
                                Colonna(m->costo, 12, true) + u' ',
                            m->nota, 30);
    };
    if (m_deposito) {
        // The server's lines in one pass rather than one query each.
        VisitaRighePeriodo(m_dal, m_al, m_riepilogo, *m_deposito, [&](const Movimento &m) {
            riga(&m);
            return true;
        });
    } else {
        for (qint64 offset : m_riepilogo.righe)
            if (const auto m = movimento(offset)) riga(&*m);
    }
    righe << QString() << u"TOTALI PER SCHEDA"_s
          << Colonna(u"Codice"_s, 14) + u' ' + Colonna(u"Nome"_s, 40) + u' ' + intestazioneTotali;
    for (auto i = m_riepilogo.perScheda.cbegin(); i != m_riepilogo.perScheda.cend(); ++i)
        righe << Colonna(i.key().first, 14) + u' ' + Colonna(i.key().second, 40) + u' ' +
                     totali(i.value());
    righe << QString() << u"TOTALI PER CATEGORIA"_s
          << Colonna(u"Categoria"_s, 55) + u' ' + intestazioneTotali;
    for (auto i = m_riepilogo.perCategoria.cbegin(); i != m_riepilogo.perCategoria.cend(); ++i)
        righe << Colonna(i.key(), 55) + u' ' + totali(i.value());
    righe << QString() << Colonna(u"TOTALE"_s, 55) + u' ' + totali(m_riepilogo.totale);
    return righe;
}

void TfrmMovimentiPeriodo::btnStampaClick() {
    const QPicture grafico = DisegnoGrafico(Grafico(m_riepilogo), QSize(1600, 550));
    PreparaStampaMovimenti(m_report,
                           u"Movimenti dal "_s + m_dal.toString(u"dd/MM/yyyy"_s) + u" al "_s +
                               m_al.toString(u"dd/MM/yyyy"_s),
                           grafico, righeStampa());
    m_report.Print(this);
}

void TfrmMovimentiPeriodo::btnEsportaClick() {
    const QString percorso = Piattaforma::ScegliFileDaSalvare(
        this, u"Esporta i movimenti del periodo"_s, {u"File CSV (*.csv)"_s},
        u"Movimenti "_s + m_dal.toString(u"yyyy-MM-dd"_s) + u" "_s +
            m_al.toString(u"yyyy-MM-dd"_s) + u".csv"_s);
    if (percorso.isEmpty()) return;
    const bool scritto = ScriviFileIntero(percorso, [this](QIODevice *file) {
        return m_deposito ? ScriviCsvPeriodo(file, m_dal, m_al, m_riepilogo, *m_deposito)
                          : ScriviCsvPeriodo(file, m_dal, m_al, m_riepilogo, m_giornale);
    });
    if (scritto)
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Informazione,
            u"I movimenti del periodo sono stati esportati nel file "_s + percorso + u'.');
    else
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore,
                                          u"Attenzione: non è stato possibile scrivere il file "_s +
                                              percorso + u'.' +
                                              (m_deposito && !m_deposito->messaggio().isEmpty()
                                                   ? u"\n\n"_s + m_deposito->messaggio()
                                                   : QString()));
}
