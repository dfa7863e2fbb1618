#include "lists/TfrmTrovaMagazzino.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/RegoleNumeri.h"
#include "labels/Etichette.h"
#include "labels/LettoreCodici.h"
#include "lists/Ancoraggi.h"
#include "passes/Passate.h"
#include "passes/VistaRighe.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Casella {
    QStringView nome;
    QStringView etichetta;
    QStringView evidenza;
};

// In tab order, which is also the order of the Enter cycle; two to a row.
constexpr Casella CASELLE[CASELLE_RICERCA] = {
    {u"txtCodice", u"Codice articolo:", u"effCampo01"},
    {u"txtCosto", u"Costo unitario:", u"effCampo02"},
    {u"txtNome", u"Nome prodotto:", u"effCampo09"},
    {u"txtTipologia", u"Categoria merceologica:", u"effCampo10"},
    {u"txtCaratteristiche", u"Caratteristiche:", u"effCampo05"},
    {u"txtCollocazione", u"Collocazione in magazzino:", u"effCampo06"},
    {u"txtDitta", u"Ditta fornitrice:", u"effCampo07"},
    {u"txtAgente", u"Agente:", u"effCampo08"},
    {u"txtDocumento", u"Documento di acquisto:", u"effCampo03"},
    {u"txtNote", u"Note:", u"effCampo04"},
};

QString ultimaChiaveTrova;

} // namespace

TfrmTrovaMagazzino::TfrmTrovaMagazzino(QWidget *genitore)
    : FinestraElenco(genitore, u"TfrmTrovaMagazzino"_s, u" Trova prodotti in magazzino"_s) {
    m_panAvvio = new QWidget(this);
    m_panAvvio->setObjectName(u"panAvvio"_s);
    m_panAvvio->setGeometry(0, 0, 862, 560);
    m_panContainer = new QWidget(this);
    m_panContainer->setObjectName(u"panContainer"_s);
    m_panContainer->setGeometry(0, 0, 862, 560);
    m_panContainer->hide();

    // Criteria panel.
    striscione(m_panAvvio, u"imgIntestazione"_s, u"lente"_s, u"Trova prodotti in magazzino"_s);
    // A plain frame: nothing for assistive technology to read.
    auto *riquadro = new QFrame(m_panAvvio);
    riquadro->setObjectName(u"shpCriteri"_s);
    riquadro->setGeometry(12, 84, 838, 468);
    riquadro->setStyleSheet(u"QFrame { background: rgba(255,255,255,225); "
                            "border: 1px solid #9fbfe0; border-radius: 10px; }"_s);
    auto testo = [this](const QString &nome, const QString &t, QRect posto) {
        auto *l = new QLabel(t, m_panAvvio);
        l->setObjectName(nome);
        l->setFont(FontVerdana(10));
        l->setWordWrap(true);
        l->setGeometry(posto);
        return l;
    };
    testo(u"lblRigo04"_s,
          u"Immettere nei campi prescelti una o più parole consecutive presenti nelle schede da "
          "trovare e premere il pulsante Cerca."_s,
          QRect(26, 90, 810, 36));
    testo(u"lblRigo05"_s, u"Lasciare in bianco tutti gli altri campi."_s, QRect(26, 126, 810, 18));
    testo(u"lblRigo06"_s,
          u"Per ogni ricerca è possibile utilizzare uno o più campi contemporaneamente."_s,
          QRect(26, 144, 810, 18));

    for (int i = 0; i < CASELLE_RICERCA; ++i) {
        const auto &d = CASELLE[i];
        const int x = i % 2 ? 442 : 30;
        const int y = 170 + (i / 2) * 58;
        auto *etichetta = new QLabel(d.etichetta.toString(), m_panAvvio);
        etichetta->setObjectName(u"lbl"_s + d.nome.mid(3).toString());
        etichetta->setFont(FontVerdana(12, true));
        etichetta->setGeometry(x, y, 390, 20);
        auto *casella = new QLineEdit(m_panAvvio);
        casella->setObjectName(d.nome.toString());
        casella->setFont(FontVerdana(12, true));
        casella->setGeometry(x, y + 22, 390, 26);
        casella->setAccessibleName(d.etichetta.chopped(1).toString());
        etichetta->setBuddy(casella);
        RiquadroEvidenza::perCasella(d.evidenza.toString(), casella);
        casella->installEventFilter(this);
        m_caselle[std::size_t(i)] = casella;
    }

    m_lblAttendere = testo(u"lblAttendere"_s, u"Ricerca schede in corso. Attendere..."_s,
                           QRect(26, 462, 500, 22));
    m_lblAttendere->setFont(FontVerdana(12, true));
    m_lblAttendere->setStyleSheet(u"QLabel { color: darkcyan; }"_s);
    m_lblAttendere->hide();
    m_prgAvanzamento = new QProgressBar(m_panAvvio);
    m_prgAvanzamento->setObjectName(u"prgAvanzamento"_s);
    m_prgAvanzamento->setAccessibleName(u"Archivio letto"_s);
    m_prgAvanzamento->setGeometry(26, 488, 500, 18);
    m_prgAvanzamento->hide();

    auto *btnAnnulla = PulsanteElenco(u"btnAnnulla"_s, u"Chiudi"_s, m_panAvvio);
    btnAnnulla->setGeometry(546, 504, 140, 38);
    auto *btnCerca = PulsanteElenco(u"btnCerca"_s, u"Cerca"_s, m_panAvvio);
    m_btnCerca = btnCerca;
    btnCerca->setGeometry(696, 504, 140, 38);
    // The waiting label shows as soon as the button goes down, before the pass.
    connect(btnCerca, &QPushButton::pressed, this, [this] {
        m_lblAttendere->show();
        m_lblAttendere->repaint();
    });
    connect(btnCerca, &QPushButton::clicked, this, &TfrmTrovaMagazzino::btnCercaClick);
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);

    m_lblConta = new QLabel(this);
    m_lblConta->setObjectName(u"lblConta"_s);
    m_lblConta->hide();
    lblMemory = new QLabel(u"lblMemory"_s, this);
    lblMemory->setObjectName(u"lblMemory"_s);
    lblMemory->hide();

    // Results panel.
    costruisciElenco(m_panContainer, u"lente"_s, u"Prodotti trovati"_s, u"Schede trovate"_s);
    m_lblTrovate = new QLabel(u"Il presente elenco contiene 0 schede."_s, m_panContainer);
    m_lblTrovate->setObjectName(u"lblTrovate"_s);
    m_lblTrovate->setAccessibleName(m_lblTrovate->text());
    m_lblTrovate->setFont(FontVerdana(11, true));
    m_lblTrovate->setStyleSheet(u"QLabel { color: darkcyan; }"_s);
    m_lblTrovate->setGeometry(26, 494, 500, 22);
    m_ancoraggiElenco->aggiungi(m_lblTrovate, Ancoraggi::SegueBasso);
    // The criteria keep their size, in the middle of the window.
    m_ancoraggi->aggiungi(m_panAvvio, Ancoraggi::Centra);

    // The code box also takes a scanned code: Enter looks it up exactly.
    auto *scanner = new IngressoScanner(m_caselle[0]);
    connect(scanner, &IngressoScanner::codiceLetto, this, [this](const QString &codice) {
        AzioniCodice azioni;
        azioni.apri = [this](const TScheda &s, qint64 p) { apriScheda(s, p); };
        if (m_nuovaScheda && puoAprire())
            azioni.nuova = [this](const QString &c) {
                m_nuovaScheda(c);
                accept();
            };
        azioni.elenco = [this](Righe &&righe) {
            m_lblConta->setText(u"1"_s);
            mostraSchede(std::move(righe));
        };
        GestisciCodiceLetto(this, DepositoCorrente(), codice, azioni);
    });

    QWidget *ordine[] = {m_caselle[0],   m_caselle[1], m_caselle[2], m_caselle[3], m_caselle[4],
                         m_caselle[5],   m_caselle[6], m_caselle[7], m_caselle[8], m_caselle[9],
                         btnCerca,       btnAnnulla,   m_txtTrova,   m_btnTrova,   m_lstRecords,
                         m_btnEtichette, m_btnStampa,  m_btnChiudi};
    for (std::size_t i = 1; i < std::size(ordine); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);
}

QString &TfrmTrovaMagazzino::ultimaChiave() {
    return ultimaChiaveTrova;
}

const FormatoRiga &TfrmTrovaMagazzino::formato() const {
    return FormatoTrova();
}

QString TfrmTrovaMagazzino::titoloStampa() const {
    return u"Riepilogo prodotti in magazzino"_s;
}

bool TfrmTrovaMagazzino::puoAprire() const {
    return Rifila(lblMemory->text()) == u"magazzino";
}

void TfrmTrovaMagazzino::showEvent(QShowEvent *evento) {
    FinestraElenco::showEvent(evento);
    if (m_panAvvio->isVisible()) m_caselle[0]->setFocus();
}

bool TfrmTrovaMagazzino::eventFilter(QObject *oggetto, QEvent *evento) {
    if (evento->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent *>(evento)->key();
        const auto trovata = std::find(m_caselle.begin(), m_caselle.end(), oggetto);
        if (trovata != m_caselle.end() && (tasto == Qt::Key_Return || tasto == Qt::Key_Enter)) {
            // Enter moves to the next box; in the last one it runs the search.
            const auto prossima = std::size_t(trovata - m_caselle.begin() + 1);
            if (prossima == m_caselle.size())
                m_btnCerca->click();
            else
                m_caselle[prossima]->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return FinestraElenco::eventFilter(oggetto, evento);
}

void TfrmTrovaMagazzino::done(int esito) {
    if (!m_inPassata) m_lblAttendere->hide();
    FinestraElenco::done(esito);
}

void TfrmTrovaMagazzino::btnCercaClick() {
    std::array<QString, CASELLE_RICERCA> testi;
    for (std::size_t i = 0; i < testi.size(); ++i)
        testi[i] = m_caselle[i]->text();
    m_lblConta->setText(QString::number(CaselleCompilate(testi)));
    m_lstRecords->svuota();
    m_lblAttendere->show();

    EsitoElenco esito = eseguiPassata(m_lblAttendere, [&testi](const Avanza &avanza) {
        return CercaSchede(DepositoCorrente(), testi, avanza);
    });
    if (!esito.riuscito) {
        // The criteria stay as typed, so the user may try again or close.
        Piattaforma::dialoghi().messaggioSemplice(
            this, esito.messaggio.isEmpty() ? MessaggioAccessoArchivio() : esito.messaggio);
        return;
    }
    mostraSchede(std::move(esito.righe));
}

void TfrmTrovaMagazzino::mostraSchede(Righe &&righe) {
    m_lstRecords->riempi(std::move(righe));
    const QString trovate = u"Il presente riepilogo contiene "_s +
                            ContaConNome(m_lstRecords->righe().size(), u"scheda."_s, u"schede."_s);
    m_lblTrovate->setText(trovate);
    m_lblTrovate->setAccessibleName(trovate);
    m_panContainer->show();
    m_panAvvio->hide();
    m_txtTrova->clear();
    m_txtTrova->setFocus();
}
