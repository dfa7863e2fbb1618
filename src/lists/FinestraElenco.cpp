#include "lists/FinestraElenco.h"
#include "labels/Etichette.h"
#include "count/ComandoConteggio.h"

#include "archive/CartellaProgramma.h"
#include "archive/RegoleNumeri.h"
#include "lists/Ancoraggi.h"
#include "output/ModelliStampa.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"
#include "platform/ErroreGenerale.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

RigaTrova CostruisciRigaTrova(QWidget *pannello, QObject *filtro, QLabel *etichetta, QPoint origine,
                              int larghezzaChiave, const QRect &pulsante) {
    auto *lente = new QLabel(pannello);
    lente->setObjectName(u"icoLente"_s);
    lente->setPixmap(Disegno(u"lente"_s, QSize(28, 28)));
    lente->setGeometry(origine.x(), origine.y(), 30, 30);
    lente->setAccessibleName(u"Lente"_s);
    auto *casella = new QLineEdit(pannello);
    casella->setObjectName(u"txtTrova"_s);
    casella->setFont(FontVerdana(12, true));
    casella->setGeometry(origine.x() + 36, origine.y(), larghezzaChiave, 30);
    casella->setAccessibleName(u"Chiave di ricerca"_s);
    casella->installEventFilter(filtro);
    etichetta->setBuddy(casella);
    QPushButton *trova = PulsanteElenco(u"btnTrova"_s, u"Trova"_s, pannello);
    trova->setGeometry(pulsante);
    return {casella, trova};
}

FinestraElenco::FinestraElenco(QWidget *genitore, const QString &nome, const QString &didascalia)
    : QDialog(genitore) {
    ImpostaFormati();
    CostruisciFrxReport(m_frxReport);
    setObjectName(nome);
    setWindowTitle(didascalia);
    setAccessibleName(didascalia.trimmed());
    setWindowIcon(QIcon(u":/quadrelo.svg"_s));
    // A frame that can be enlarged and maximised, so that a whole line shows
    // on a wide screen; it never gets smaller than its design size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMaximizeButtonHint);
    setModal(true);
    resize(DIMENSIONE);
    m_ancoraggi = new Ancoraggi(this, DIMENSIONE);
}

FinestraElenco::~FinestraElenco() = default;

QLabel *FinestraElenco::striscione(QWidget *pannello, const QString &nome, const QString &icona,
                                   const QString &titolo) {
    QPixmap disegno(862, 76);
    disegno.fill(Qt::transparent);
    {
        QPainter p(&disegno);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255, 160), 1));
        p.setBrush(QColor(255, 255, 255, 28));
        p.drawRoundedRect(QRectF(12.5, 8.5, 837, 60), 10, 10);
        p.drawPixmap(24, 14, Disegno(icona, QSize(48, 48)));
        p.setPen(Qt::white);
        p.setFont(FontVerdana(18, true));
        p.drawText(QRect(88, 8, 750, 60), Qt::AlignVCenter | Qt::AlignLeft, titolo);
    }
    auto *l = new QLabel(pannello);
    l->setObjectName(nome);
    l->setPixmap(disegno);
    l->setGeometry(0, 0, 862, 76);
    l->setAccessibleName(titolo);
    return l;
}

void FinestraElenco::costruisciElenco(QWidget *pannello, const QString &icona,
                                      const QString &titolo, const QString &nomeElenco) {
    striscione(pannello, u"imgLogo"_s, icona, titolo);
    // A plain frame: nothing for assistive technology to read.
    auto *riquadro = new QFrame(pannello);
    riquadro->setObjectName(u"shpRiquadro"_s);
    riquadro->setGeometry(12, 84, 838, 468);
    riquadro->setStyleSheet(u"QFrame { background: rgba(255,255,255,225); "
                            "border: 1px solid #9fbfe0; border-radius: 10px; }"_s);

    auto testo = [pannello](const QString &nome, const QString &t, QRect posto) {
        auto *l = new QLabel(t, pannello);
        l->setObjectName(nome);
        l->setFont(FontVerdana(10));
        l->setWordWrap(true);
        l->setGeometry(posto);
        return l;
    };
    m_lblRigo01 = testo(u"lblRigo01"_s,
                        u"Immettere una o più parole consecutive presenti nella scheda in elenco "
                        "da cercare e premere il pulsante Trova."_s,
                        QRect(26, 92, 810, 36));
    m_lblRigo02 = testo(u"lblRigo02"_s,
                        u"Per spostarsi sulla voce successiva contenente la stessa chiave di "
                        "ricerca, fare di nuovo clic su Trova."_s,
                        QRect(26, 128, 810, 20));

    const RigaTrova riga = CostruisciRigaTrova(pannello, this, m_lblRigo01, QPoint(26, 158), 600,
                                               QRect(674, 156, 162, 34));
    m_txtTrova = riga.txtTrova;
    m_btnTrova = riga.btnTrova;

    m_lstRecords = new VistaRighe(pannello);
    m_lstRecords->setGeometry(26, 198, 810, 268);
    m_lstRecords->setAccessibleName(nomeElenco);

    m_lblRigo03 = testo(u"lblRigo03"_s,
                        u"Per richiamare i dati di una scheda, selezionarla con un doppio clic."_s,
                        QRect(26, 472, 500, 20));
    m_lblRigo03->setStyleSheet(u"QLabel { color: crimson; }"_s);

    m_btnStampa = PulsanteElenco(u"btnStampa"_s, u"Stampa"_s, pannello);
    m_btnStampa->setGeometry(588, 504, 120, 38);
    m_btnChiudi = PulsanteElenco(u"btnChiudi"_s, u"Chiudi"_s, pannello);
    m_btnChiudi->setGeometry(716, 504, 120, 38);
    m_btnEtichette = PulsanteElenco(u"btnEtichette"_s, u"Etichette"_s, pannello);
    // In the row of the window's other commands, left of Stampa.
    m_btnEtichette->setGeometry(460, 504, 120, 38);
    // A count of the listed cards only: one shelf, one category.
    m_btnConta = PulsanteElenco(u"btnConta"_s, u"Conta"_s, pannello);
    m_btnConta->setAccessibleDescription(u"Conta inventario delle schede in elenco"_s);
    m_btnConta->setToolTip(m_btnConta->accessibleDescription());
    m_btnConta->setGeometry(204, 504, 120, 38);

    // The panel fills the window; the list and its frame grow with it, the
    // buttons keep to the bottom right.
    m_ancoraggi->aggiungi(pannello, Ancoraggi::Riempie);
    m_ancoraggiElenco = new Ancoraggi(pannello, DIMENSIONE);
    m_ancoraggiElenco->aggiungi(riquadro, Ancoraggi::Riempie);
    for (QWidget *w : {static_cast<QWidget *>(m_lblRigo01), static_cast<QWidget *>(m_lblRigo02),
                       static_cast<QWidget *>(m_txtTrova)})
        m_ancoraggiElenco->aggiungi(w, Ancoraggi::AllargaLarghezza);
    m_ancoraggiElenco->aggiungi(m_btnTrova, Ancoraggi::SegueDestra);
    m_ancoraggiElenco->aggiungi(m_lstRecords, Ancoraggi::Riempie);
    m_ancoraggiElenco->aggiungi(m_lblRigo03, Ancoraggi::SegueBasso);
    m_ancoraggiElenco->aggiungi(m_btnStampa, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);
    m_ancoraggiElenco->aggiungi(m_btnChiudi, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);
    m_ancoraggiElenco->aggiungi(m_btnEtichette, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);
    m_ancoraggiElenco->aggiungi(m_btnConta, Ancoraggi::SegueDestra | Ancoraggi::SegueBasso);

    connect(m_btnTrova, &QPushButton::clicked, this, &FinestraElenco::btnTrovaClick);
    connect(m_btnStampa, &QPushButton::clicked, this, &FinestraElenco::btnStampaClick);
    connect(m_btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnEtichette, &QPushButton::clicked, this, &FinestraElenco::btnEtichetteClick);
    connect(m_btnConta, &QPushButton::clicked, this, &FinestraElenco::btnContaClick);
    connect(m_lstRecords, &VistaRighe::apriRiga, this, &FinestraElenco::lstRecordsDblClick);
}

EsitoElenco
FinestraElenco::eseguiPassata(QLabel *attendere,
                              const std::function<EsitoElenco(const Avanza &)> &passata) {
    m_inPassata = true;
    EsitoElenco esito;
    {
        AvanzamentoPassata avanzamento(attendere, m_prgAvanzamento);
        esito =
            passata([&avanzamento](qint64 letti, qint64 totale) { avanzamento(letti, totale); });
    }
    m_inPassata = false;
    return esito;
}

void FinestraElenco::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, Qt::black);
}

void FinestraElenco::showEvent(QShowEvent *evento) {
    if (!m_centrata) {
        m_centrata = true;
        if (auto *schermo = screen()) {
            QRect r = frameGeometry();
            r.moveCenter(schermo->availableGeometry().center());
            move(r.topLeft());
        }
    }
    ultimaChiave().clear();
    m_txtTrova->clear();
    // The title names the server when the archive is on one.
    TitoloConArchivio(this);
    QDialog::showEvent(evento);
}

void FinestraElenco::closeEvent(QCloseEvent *evento) {
    if (m_inPassata) return evento->ignore();
    QDialog::closeEvent(evento);
}

void FinestraElenco::done(int esito) {
    if (m_inPassata) return;
    m_lstRecords->svuota();
    QDialog::done(esito);
}

bool FinestraElenco::eventFilter(QObject *oggetto, QEvent *evento) {
    if (oggetto == m_txtTrova && evento->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent *>(evento)->key();
        if (tasto == Qt::Key_Return || tasto == Qt::Key_Enter) {
            m_btnTrova->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(oggetto, evento);
}

void FinestraElenco::btnTrovaClick() {
    const Righe &righe = m_lstRecords->righe();
    if (righe.isEmpty()) {
        Piattaforma::dialoghi().messaggioSemplice(
            this, u"Ricerca non applicabile: la lista non contiene nessuna voce."_s);
        return;
    }
    qsizetype selezionata = m_lstRecords->selezionata();
    if (selezionata < 0) {
        selezionata = 0;
        m_lstRecords->seleziona(0);
    }
    m_lstRecords->seleziona(
        TrovaSuccessiva(righe, selezionata, m_txtTrova->text(), ultimaChiave()));
}

void FinestraElenco::lstRecordsDblClick() {
    // Whatever happens, the window closes: the card, if any, is on the card window.
    const qsizetype i = m_lstRecords->selezionata();
    if (i >= 0 && puoAprire() && m_apriScheda) {
        const Righe &righe = m_lstRecords->righe();
        TScheda scheda;
        qint64 posizione = 0;
        if (SchedaDellaRiga(DepositoCorrente(), formato(), righe.testo(i), righe.posizione(i),
                            scheda, posizione))
            m_apriScheda(scheda, posizione);
    }
    accept();
}

void FinestraElenco::apriScheda(const TScheda &scheda, qint64 posizione) {
    if (puoAprire() && m_apriScheda) m_apriScheda(scheda, posizione);
    accept();
}

void FinestraElenco::btnEtichetteClick() {
    const Righe &righe = m_lstRecords->righe();
    QList<qint64> posizioni;
    posizioni.reserve(righe.size());
    for (qsizetype i = 0; i < righe.size(); ++i)
        posizioni << righe.posizione(i);
    ApriEtichetteElenco(this, PercorsoArchivio(), posizioni);
}

void FinestraElenco::btnContaClick() {
    const Righe &righe = m_lstRecords->righe();
    if (righe.isEmpty()) {
        Piattaforma::dialoghi().messaggioSemplice(
            this, u"Conteggio non applicabile: la lista non contiene nessuna voce."_s);
        return;
    }
    QList<qint64> posizioni;
    posizioni.reserve(righe.size());
    for (qsizetype i = 0; i < righe.size(); ++i)
        posizioni << righe.posizione(i);
    ApriConteggio(this, PercorsoArchivio(), posizioni, titoloStampa());
}

void FinestraElenco::btnStampaClick() {
    Piattaforma::eseguiProtetto(this, [this] {
        StampaElenco(m_frxReport, titoloStampa(), m_lstRecords->righe(), {}, this);
    });
}
