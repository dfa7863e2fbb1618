#include "lists/TfrmRiepilogo.h"
#include "access/TfrmGuida.h"
#include "labels/Etichette.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/RegoleNumeri.h"
#include "lists/Ancoraggi.h"
#include "lists/FinestraElenco.h"
#include "output/ModelliStampa.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"
#include "platform/ErroreGenerale.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"
#include "widgets/PulsanteTastiera.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::TipoMessaggio;

namespace {

const QColor BluAcciaio(0x46, 0x82, 0xb4);
const QString TUTTI = u"Tutti gli articoli in magazzino."_s;
QString ultimaChiaveRiepilogo;

} // namespace

TfrmRiepilogo::TfrmRiepilogo(QWidget *genitore, const QString &categoria)
    : QDialog(genitore), m_categoria(categoria) {
    setWindowFlags(Qt::Window);
    setModal(true);
    auto *pan = PreparaFinestra(this, u"TfrmRiepilogo"_s, u" Quadrelo - Inventario Merce"_s,
                                BluAcciaio, PANNELLO);
    // The panel grows with the window (see resizeEvent), so that on a wide
    // screen the whole of each line shows.
    layout()->removeWidget(pan);
    pan->setMinimumSize(PANNELLO);
    pan->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setMinimumSize(PANNELLO + QSize(2 * MARGINE, 2 * MARGINE));
    m_pan = pan;
    setAccessibleName(windowTitle().trimmed());
    CostruisciFrxReport(m_frxReport);

    auto *intestazione = new QLabel(u"INVENTARIO MERCE"_s, pan);
    intestazione->setObjectName(u"imgIntestazione"_s);
    intestazione->setGeometry(0, 4, 700, 52);
    intestazione->setFont(FontVerdana(22, true));
    intestazione->setStyleSheet(u"QLabel { color: white; }"_s);
    auto *guida = new PulsanteImmagine(u"imgGuida"_s, u"guida"_s, u"Guida"_s, pan, false);
    guida->setIconSize(QSize(36, 36));
    guida->setGeometry(1152, 8, 44, 44);
    connect(guida, &QToolButton::clicked, this, [this] { ApriGuida(this, TemaGuida::Inventario); });

    auto *lblTipologia = new QLabel(u"Categoria selezionata:"_s, pan);
    lblTipologia->setObjectName(u"lblTipologia"_s);
    lblTipologia->setFont(FontVerdana(12, true));
    lblTipologia->setStyleSheet(u"QLabel { color: white; }"_s);
    lblTipologia->setGeometry(0, 62, 240, 28);
    m_titTipologia = new QLabel(TUTTI, pan);
    m_titTipologia->setObjectName(u"titTipologia"_s);
    m_titTipologia->setFont(FontVerdana(12, true));
    m_titTipologia->setStyleSheet(u"QLabel { color: #fff3b0; }"_s);
    m_titTipologia->setGeometry(244, 62, 900, 28);
    m_titTipologia->setTextFormat(Qt::PlainText);

    // A plain frame: nothing for assistive technology to read.
    auto *riquadro = new QFrame(pan);
    riquadro->setObjectName(u"shpRiquadro"_s);
    riquadro->setGeometry(0, 98, 1200, 500);
    riquadro->setStyleSheet(u"QFrame { background: rgba(255,255,255,225); "
                            "border: 1px solid #9fbfe0; border-radius: 10px; }"_s);
    auto testo = [pan](const QString &nome, const QString &t, QRect posto) {
        auto *l = new QLabel(t, pan);
        l->setObjectName(nome);
        l->setFont(FontVerdana(10));
        l->setWordWrap(true);
        l->setGeometry(posto);
        return l;
    };
    auto *lblRigo01 =
        testo(u"lblRigo01"_s,
              u"Immettere una o più parole consecutive presenti nella scheda in elenco da "
              "cercare e premere il pulsante Trova."_s,
              QRect(16, 106, 1168, 22));
    testo(u"lblRigo02"_s,
          u"Per spostarsi sulla voce successiva contenente la stessa chiave di ricerca, fare di "
          "nuovo clic su Trova."_s,
          QRect(16, 128, 1168, 22));
    const RigaTrova riga =
        CostruisciRigaTrova(pan, this, lblRigo01, QPoint(16, 156), 700, QRect(766, 154, 160, 34));
    m_txtTrova = riga.txtTrova;
    m_btnTrova = riga.btnTrova;

    m_lstRecords = new VistaRighe(pan);
    m_lstRecords->setGeometry(16, 198, 1168, 344);
    m_lstRecords->setAccessibleName(u"Articoli in inventario"_s);

    m_lblAttendere = testo(u"lblAttendere"_s, u"Caricamento inventario in corso. Attendere..."_s,
                           QRect(16, 550, 520, 20));
    m_lblAttendere->setFont(FontVerdana(11, true));
    m_lblAttendere->setStyleSheet(u"QLabel { color: darkcyan; }"_s);
    m_lblAttendere->hide();
    m_prgAvanzamento = new QProgressBar(pan);
    m_prgAvanzamento->setObjectName(u"prgAvanzamento"_s);
    m_prgAvanzamento->setAccessibleName(u"Archivio letto"_s);
    m_prgAvanzamento->setGeometry(16, 572, 520, 16);
    m_prgAvanzamento->hide();

    auto *infValore = new QLabel(u"Valore totale:"_s, pan);
    infValore->setObjectName(u"infValore"_s);
    infValore->setFont(FontVerdana(12, true));
    infValore->setStyleSheet(u"QLabel { color: black; }"_s);
    infValore->setGeometry(760, 552, 170, 30);
    m_lblTotale = new QLabel(pan);
    m_lblTotale->setObjectName(u"lblTotale"_s);
    m_lblTotale->setFont(FontVerdana(12, true));
    m_lblTotale->setStyleSheet(u"QLabel { color: maroon; }"_s);
    m_lblTotale->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lblTotale->setGeometry(930, 552, 254, 30);
    impostaTotale(u"0,00"_s);

    m_panInfo = new QLabel(pan);
    m_panInfo->setObjectName(u"panInfo"_s);
    QFont tahoma(u"Tahoma"_s);
    tahoma.setPointSize(12);
    m_panInfo->setFont(tahoma);
    m_panInfo->setStyleSheet(u"QLabel { background: midnightblue; color: white; "
                             "padding: 4px 12px; border-radius: 4px; }"_s);
    m_panInfo->setGeometry(0, 612, 700, 36);
    impostaConta(u"Il presente inventario contiene 0 articoli."_s);

    auto *btnStampa = PulsanteElenco(u"btnStampa"_s, u"Stampa inventario"_s, pan);
    btnStampa->setGeometry(856, 610, 200, 40);
    auto *btnEsci = PulsanteElenco(u"btnEsci"_s, u"Esci"_s, pan);
    btnEsci->setGeometry(1066, 610, 134, 40);
    auto *btnEtichette = PulsanteElenco(u"btnEtichette"_s, u"Etichette"_s, pan);
    btnEtichette->setGeometry(712, 610, 134, 40);
    connect(btnEtichette, &QPushButton::clicked, this, [this] {
        const Righe &righe = m_lstRecords->righe();
        QList<qint64> posizioni;
        for (qsizetype i = 0; i < righe.size(); ++i)
            posizioni << righe.posizione(i);
        ApriEtichetteElenco(this, PercorsoArchivio(), posizioni);
    });

    connect(m_btnTrova, &QPushButton::clicked, this, &TfrmRiepilogo::btnTrovaClick);
    connect(btnStampa, &QPushButton::clicked, this, &TfrmRiepilogo::btnStampaClick);
    connect(btnEsci, &QPushButton::clicked, this, &QDialog::reject);

    PulsanteDaTastiera(guida);
    auto *ancoraggi = new Ancoraggi(pan, PANNELLO);
    ancoraggi->aggiungi(guida, Ancoraggi::SegueDestra);
    for (QWidget *w :
         {static_cast<QWidget *>(m_titTipologia), static_cast<QWidget *>(lblRigo01),
          pan->findChild<QWidget *>(u"lblRigo02"_s), static_cast<QWidget *>(m_txtTrova)})
        ancoraggi->aggiungi(w, Ancoraggi::AllargaLarghezza);
    ancoraggi->aggiungi(m_btnTrova, Ancoraggi::SegueDestra);
    ancoraggi->aggiungi(riquadro, Ancoraggi::Riempie);
    ancoraggi->aggiungi(m_lstRecords, Ancoraggi::Riempie);
    ancoraggi->aggiungi(m_lblAttendere, Ancoraggi::SegueBasso);
    ancoraggi->aggiungi(m_prgAvanzamento, Ancoraggi::SegueBasso);
    ancoraggi->aggiungi(m_panInfo, Ancoraggi::SegueBasso | Ancoraggi::AllargaLarghezza);
    for (QWidget *w : {static_cast<QWidget *>(infValore), static_cast<QWidget *>(m_lblTotale),
                       static_cast<QWidget *>(btnStampa), static_cast<QWidget *>(btnEsci),
                       static_cast<QWidget *>(btnEtichette)})
        ancoraggi->aggiungi(w, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);

    QWidget *ordine[] = {m_txtTrova, m_lstRecords, btnEtichette, btnStampa,
                         btnEsci,    m_btnTrova,   guida};
    for (std::size_t i = 1; i < std::size(ordine); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    if (auto *schermo = screen()) setGeometry(schermo->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

TfrmRiepilogo::~TfrmRiepilogo() = default;

void TfrmRiepilogo::resizeEvent(QResizeEvent *evento) {
    QDialog::resizeEvent(evento);
    if (!m_pan) return;
    const QSize spazio = size() - QSize(2 * MARGINE, 2 * MARGINE);
    const QSize pannello = spazio.expandedTo(PANNELLO);
    m_pan->setGeometry(QRect(
        QPoint((width() - pannello.width()) / 2, (height() - pannello.height()) / 2), pannello));
}

void TfrmRiepilogo::impostaTotale(const QString &testo) {
    m_lblTotale->setText(testo);
    m_lblTotale->setAccessibleName(u"Valore totale: "_s + testo);
}

void TfrmRiepilogo::impostaConta(const QString &testo) {
    m_panInfo->setText(testo);
    m_panInfo->setAccessibleName(testo);
}

void TfrmRiepilogo::setVisible(bool visibile) {
    if (visibile) TitoloConArchivio(this);
    QDialog::setVisible(visibile);
    // Filled once, when first shown, with the window already on screen.
    if (visibile && !m_riempita) {
        m_riempita = true;
        riempi();
    }
}

void TfrmRiepilogo::riempi() {
    ultimaChiaveRiepilogo.clear();
    m_txtTrova->clear();
    impostaTotale(u"0,00"_s);
    const QString categoria = Rifila(m_categoria);
    m_titTipologia->setText(categoria.isEmpty() ? TUTTI : categoria);
    m_titTipologia->setAccessibleName(u"Categoria selezionata: "_s + m_titTipologia->text());

    m_inPassata = true;
    EsitoElenco esito;
    {
        AvanzamentoPassata avanzamento(m_lblAttendere, m_prgAvanzamento);
        esito = ElencaInventario(
            DepositoCorrente(), m_categoria,
            [&avanzamento](qint64 letti, qint64 totale) { avanzamento(letti, totale); });
    }
    m_inPassata = false;

    m_lstRecords->riempi(std::move(esito.righe));
    // Cards left out are named below, so the total is always finished.
    impostaTotale(TestoTotale(esito.totale));
    impostaConta(u"Il presente inventario contiene "_s +
                 ContaConNome(m_lstRecords->righe().size(), u"articolo."_s, u"articoli."_s));
    m_txtTrova->setFocus();

    if (!esito.riuscito)
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             esito.messaggio.isEmpty() ? MessaggioAccessoArchivio()
                                                       : esito.messaggio);
    m_scartate = esito.scartate;
    if (!m_scartate.isEmpty())
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             TestoScartate(m_scartate) +
                                 u" Correggere queste schede e aprire di nuovo l'inventario."_s);
}

QString TestoScartate(const QStringList &codici) {
    const qsizetype n = codici.size();
    return (n == 1 ? u"Una scheda non è compresa"_s
                   : QString::number(n) + u" schede non sono comprese"_s) +
           u" nell'inventario né nel valore totale, perché la giacenza o il costo unitario "
           "non è un numero valido: "_s +
           ElencoCodici(codici) + u"."_s;
}

QStringList DividiInRighe(const QString &testo, qsizetype larghezza) {
    QStringList righe;
    QString riga;
    for (const QString &parola : testo.split(u' ', Qt::SkipEmptyParts)) {
        if (!riga.isEmpty() && riga.size() + 1 + parola.size() > larghezza) {
            righe << riga;
            riga.clear();
        }
        riga += (riga.isEmpty() ? QString() : u" "_s) + parola;
    }
    if (!riga.isEmpty()) righe << riga;
    return righe;
}

void TfrmRiepilogo::closeEvent(QCloseEvent *evento) {
    if (m_inPassata) return evento->ignore();
    QDialog::closeEvent(evento);
}

void TfrmRiepilogo::done(int esito) {
    if (m_inPassata) return;
    m_lstRecords->svuota();
    QDialog::done(esito);
}

bool TfrmRiepilogo::eventFilter(QObject *oggetto, QEvent *evento) {
    // Enter in the find box does nothing: it presses no button.
    if (oggetto == m_txtTrova && evento->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent *>(evento)->key();
        if (tasto == Qt::Key_Return || tasto == Qt::Key_Enter) return true;
    }
    return QDialog::eventFilter(oggetto, evento);
}

void TfrmRiepilogo::btnTrovaClick() {
    const Righe &righe = m_lstRecords->righe();
    if (righe.isEmpty()) {
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             u"Ricerca non applicabile: la lista non contiene nessuna voce."_s);
        return;
    }
    qsizetype selezionata = m_lstRecords->selezionata();
    if (selezionata < 0) {
        selezionata = 0;
        m_lstRecords->seleziona(0);
    }
    m_lstRecords->seleziona(
        TrovaSuccessiva(righe, selezionata, m_txtTrova->text(), ultimaChiaveRiepilogo));
}

void TfrmRiepilogo::btnStampaClick() {
    Piattaforma::eseguiProtetto(this, [this] {
        QStringList aggiunte{QString(26, u'-'), u"VALORE TOTALE: "_s + Rifila(m_lblTotale->text())};
        // The paper tells of the cards left out, as the screen did; the list
        // memo does not wrap, so the note comes in lines of its own.
        if (!m_scartate.isEmpty())
            aggiunte << QString() << DividiInRighe(TestoScartate(m_scartate), 120);
        StampaElenco(m_frxReport,
                     u"Inventario merce - Categoria: "_s + Rifila(m_titTipologia->text()),
                     m_lstRecords->righe(), aggiunte, this);
    });
}
