#include "count/TfrmConteggio.h"

#include "access/TfrmGuida.h"
#include "archive/Archivio.h"
#include "archive/RegoleNumeri.h"
#include "count/StampaConteggio.h"
#include "count/TfrmDifferenze.h"
#include "labels/CercaCodice.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/AspettoElenco.h"
#include "widgets/Controlli.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;
using Piattaforma::TipoMessaggio;

namespace {

constexpr int RUOLO_POSIZIONE = Qt::UserRole;
constexpr int RUOLO_CODICE = Qt::UserRole + 1;
constexpr int RUOLO_QUANTITA = Qt::UserRole + 2;
// The last scans the window lists; the file keeps them all.
constexpr int LETTURE_MOSTRATE = 500;

QLabel *etichetta(const QString &nome, int punti, bool grassetto, QWidget *genitore) {
    auto *l = new QLabel(genitore);
    l->setObjectName(nome);
    l->setTextFormat(Qt::PlainText);
    l->setFont(FontVerdana(punti, grassetto));
    l->setWordWrap(true);
    return l;
}

QPushButton *pulsante(const QString &nome, const QString &testo, QWidget *genitore) {
    auto *b = new QPushButton(testo, genitore);
    b->setObjectName(nome);
    b->setAutoDefault(false);
    b->setAccessibleName(QString(testo).remove(u'&').remove(u"..."_s));
    return b;
}

} // namespace

TfrmConteggio::TfrmConteggio(QWidget *genitore, std::unique_ptr<Conteggio> conteggio,
                             QString archivio)
    : QDialog(genitore), m_conteggio(std::move(conteggio)), m_archivio(std::move(archivio)),
      m_indice(m_archivio, ArchivioSuServer() ? &DepositoCorrente() : nullptr) {
    setObjectName(u"frmConteggio"_s);
    setWindowTitle(u"Conta inventario - "_s + m_conteggio->nome());
    TitoloConArchivio(this);
    setAccessibleName(windowTitle());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMaximizeButtonHint);
    auto *colonna = new QVBoxLayout(this);

    auto *lblTitolo = etichetta(u"lblTitolo"_s, 11, true, this);
    lblTitolo->setText(u"Conteggio «"_s + m_conteggio->nome() + u"», iniziato il "_s +
                       m_conteggio->inizio().toLocalTime().toString(u"dd/MM/yyyy HH:mm"_s) +
                       u" - "_s + m_conteggio->ambito());
    ValoreAccessibile(lblTitolo, u"Conteggio"_s);
    colonna->addWidget(lblTitolo);

    auto *riga = new QHBoxLayout;
    auto *lblCodice = etichetta(u"lblCodice"_s, 12, true, this);
    lblCodice->setText(u"&Codice letto:"_s);
    lblCodice->setWordWrap(false);
    txtCodice = new QLineEdit(this);
    txtCodice->setObjectName(u"txtCodice"_s);
    txtCodice->setFont(FontVerdana(20, true));
    txtCodice->setAccessibleName(u"Codice letto"_s);
    txtCodice->setPlaceholderText(u"leggere il codice a barre"_s);
    lblCodice->setBuddy(txtCodice);
    auto *lblQuantita = etichetta(u"lblQuantita"_s, 12, true, this);
    lblQuantita->setText(u"&Quantità:"_s);
    lblQuantita->setWordWrap(false);
    txtQuantita = new QSpinBox(this);
    txtQuantita->setObjectName(u"txtQuantita"_s);
    txtQuantita->setRange(1, 9999);
    txtQuantita->setValue(1);
    txtQuantita->setFont(FontVerdana(20, true));
    txtQuantita->setAccessibleName(u"Quantità"_s);
    lblQuantita->setBuddy(txtQuantita);
    riga->addWidget(lblCodice);
    riga->addWidget(txtCodice, 1);
    riga->addWidget(lblQuantita);
    riga->addWidget(txtQuantita);
    colonna->addLayout(riga);

    auto *aiuto = etichetta(u"lblAiuto"_s, 9, false, this);
    aiuto->setText(
        u"Ogni lettura aggiunge la quantità alla scheda. Per contarne più pezzi "
        u"insieme, scrivere il numero e premere Invio prima di leggere il codice "
        u"(oppure «12*codice»). Ogni lettura è subito salvata nel file del conteggio."_s);
    ValoreAccessibile(aiuto, u"Aiuto"_s);
    colonna->addWidget(aiuto);

    pnlScheda = new QFrame(this);
    pnlScheda->setObjectName(u"pnlScheda"_s);
    pnlScheda->setAccessibleName(u"Scheda letta"_s);
    pnlScheda->setAutoFillBackground(true);
    pnlScheda->setFrameShape(QFrame::StyledPanel);
    auto *griglia = new QGridLayout(pnlScheda);
    lblCodiceScheda = etichetta(u"lblCodiceScheda"_s, 22, true, pnlScheda);
    lblNomeScheda = etichetta(u"lblNomeScheda"_s, 22, false, pnlScheda);
    lblGiacenza = etichetta(u"lblGiacenza"_s, 36, false, pnlScheda);
    lblContati = etichetta(u"lblContati"_s, 48, true, pnlScheda);
    lblEsito = etichetta(u"lblEsito"_s, 14, true, pnlScheda);
    ValoreAccessibile(lblCodiceScheda, u"Codice"_s);
    ValoreAccessibile(lblNomeScheda, u"Nome"_s);
    ValoreAccessibile(lblGiacenza, u"Giacenza in archivio"_s);
    ValoreAccessibile(lblContati, u"Contati finora"_s);
    ValoreAccessibile(lblEsito, u"Esito"_s);
    // A wrapped label in a grid is not given its second line by itself.
    lblEsito->setMinimumHeight(2 * QFontMetrics(lblEsito->font()).lineSpacing() + 4);
    griglia->addWidget(lblCodiceScheda, 0, 0, 1, 2);
    griglia->addWidget(lblNomeScheda, 1, 0, 1, 2);
    // Captions apart from the numbers, so the numbers stay big and alone.
    auto *titGiacenza = etichetta(u"titGiacenza"_s, 12, false, pnlScheda);
    titGiacenza->setText(u"Giacenza in archivio"_s);
    auto *titContati = etichetta(u"titContati"_s, 12, true, pnlScheda);
    titContati->setText(u"Contati finora"_s);
    griglia->addWidget(titGiacenza, 2, 0);
    griglia->addWidget(titContati, 2, 1);
    griglia->addWidget(lblGiacenza, 3, 0);
    griglia->addWidget(lblContati, 3, 1);
    griglia->addWidget(lblEsito, 4, 0, 1, 2);
    colonna->addWidget(pnlScheda);

    auto *lblLetture = etichetta(u"lblLetture"_s, 10, true, this);
    lblLetture->setText(u"&Ultime letture (la più recente in alto):"_s);
    lstLetture = new QListWidget(this);
    lstLetture->setObjectName(u"lstLetture"_s);
    lstLetture->setAccessibleName(u"Ultime letture"_s);
    lstLetture->setFont(QFont(u"Courier New"_s, 11));
    // Every line is one line of one font: a new scan need not measure the
    // hundreds already listed again.
    lstLetture->setUniformItemSizes(true);
    lblLetture->setBuddy(lstLetture);
    colonna->addWidget(lblLetture);
    colonna->addWidget(lstLetture, 1);

    auto *comandi = new QHBoxLayout;
    btnCorreggi = pulsante(u"btnCorreggi"_s, u"Co&rreggi quantità..."_s, this);
    btnTogli = pulsante(u"btnTogli"_s, u"&Togli lettura"_s, this);
    btnDifferenze = pulsante(u"btnDifferenze"_s, u"&Differenze..."_s, this);
    btnFoglio = pulsante(u"btnFoglio"_s, u"&Foglio di conta..."_s, this);
    btnFoglioPdf = pulsante(u"btnFoglioPdf"_s, u"Foglio in &PDF..."_s, this);
    btnGuida = pulsante(u"btnGuida"_s, u"&Guida"_s, this);
    btnChiudi = pulsante(u"btnChiudi"_s, u"C&hiudi"_s, this);
    for (QPushButton *b : {btnCorreggi, btnTogli, btnDifferenze, btnFoglio, btnFoglioPdf})
        comandi->addWidget(b);
    comandi->addStretch(1);
    comandi->addWidget(btnGuida);
    comandi->addWidget(btnChiudi);
    colonna->addLayout(comandi);
    btnCorreggi->setToolTip(u"Imposta il numero di pezzi contati della lettura scelta"_s);
    btnTogli->setToolTip(u"Toglie dal conteggio la lettura scelta, se era sbagliata"_s);
    InvioPremePulsante(this);

    connect(btnCorreggi, &QPushButton::clicked, this, &TfrmConteggio::btnCorreggiClick);
    connect(btnTogli, &QPushButton::clicked, this, &TfrmConteggio::btnTogliClick);
    connect(btnDifferenze, &QPushButton::clicked, this, &TfrmConteggio::btnDifferenzeClick);
    connect(btnFoglio, &QPushButton::clicked, this, &TfrmConteggio::btnFoglioClick);
    connect(btnFoglioPdf, &QPushButton::clicked, this, &TfrmConteggio::btnFoglioPdfClick);
    connect(btnGuida, &QPushButton::clicked, this,
            [this] { ApriGuida(this, TemaGuida::Conteggio); });
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::accept);
    txtCodice->installEventFilter(this);

    m_spegni = new QTimer(this);
    m_spegni->setSingleShot(true);
    m_spegni->setInterval(500);
    connect(m_spegni, &QTimer::timeout, this, [this] { pnlScheda->setPalette(palette()); });
    // Scans of other copies show in the card's count while nobody scans here.
    m_rilettura = new QTimer(this);
    m_rilettura->setInterval(3000);
    connect(m_rilettura, &QTimer::timeout, this, &TfrmConteggio::aggiornaContati);
    m_rilettura->start();

    // Scans this count already holds, newest first.
    const qsizetype righe = m_conteggio->righe();
    const qsizetype da = righe > LETTURE_MOSTRATE ? righe - LETTURE_MOSTRATE : 0;
    for (qsizetype i = da; i < righe; ++i) {
        const RigaConteggio r = m_conteggio->riga(i);
        if (r.tipo != TipoRigaConteggio::Lettura && r.tipo != TipoRigaConteggio::Correzione)
            continue;
        auto *voce = new QListWidgetItem;
        voce->setText(r.quando.toLocalTime().toString(u"HH:mm:ss"_s) + u"  "_s +
                      (r.tipo == TipoRigaConteggio::Correzione
                           ? u"= "_s + QString::number(r.quantita)
                           : (r.quantita > 0 ? u"+"_s : QString()) + QString::number(r.quantita)) +
                      u"  "_s + r.codice +
                      (r.posizione == 0 ? u"  (codice sconosciuto)"_s : QString()));
        voce->setData(RUOLO_POSIZIONE, r.posizione);
        voce->setData(RUOLO_CODICE, r.codice);
        voce->setData(RUOLO_QUANTITA, r.tipo == TipoRigaConteggio::Lettura ? r.quantita : 0);
        lstLetture->insertItem(0, voce);
    }
    if (!m_indice.costruisci())
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Avviso, messaggioArchivio());
    mostra(QString(), QString(), QString(), 0, false);
    lblEsito->setText(u"Pronto: leggere il primo codice."_s);
    if (m_conteggio->applicato())
        lblEsito->setText(u"Questo conteggio è già stato applicato alle schede."_s);
    if (m_conteggio->danneggiate() > 0)
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Avviso,
            u"Attenzione: nel file del conteggio "_s + QString::number(m_conteggio->danneggiate()) +
                (m_conteggio->danneggiate() == 1
                     ? u" riga è danneggiata ed è stata saltata."_s
                     : u" righe sono danneggiate e sono state saltate."_s));
    resize(1000, 720);
    txtCodice->setFocus();
}

TfrmConteggio::~TfrmConteggio() = default;

bool TfrmConteggio::eventFilter(QObject *oggetto, QEvent *evento) {
    if (oggetto == txtCodice && evento->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent *>(evento)->key();
        if (tasto == Qt::Key_Return || tasto == Qt::Key_Enter) {
            leggiCodice();
            return true;
        }
    }
    return QDialog::eventFilter(oggetto, evento);
}

void TfrmConteggio::leggiCodice() {
    // The box empties at once: the next code the scanner sends starts clean.
    const QString testo = Rifila(txtCodice->text());
    txtCodice->clear();
    if (testo.isEmpty()) return;
    qint64 quantita = txtQuantita->value();
    QString codice = testo;
    static const QRegularExpression perQuantita(u"^(\\d{1,4})\\s*\\*\\s*(\\S.*)$"_s);
    const QRegularExpressionMatch m = perQuantita.match(testo);
    if (m.hasMatch() && m.captured(1).toLongLong() > 0) {
        quantita = m.captured(1).toLongLong();
        codice = Rifila(m.captured(2));
    }
    const IndiceCodici::Trovate trovate = m_indice.cerca(codice);
    if (!trovate.riuscito) {
        lampeggia(false);
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore, messaggioArchivio());
        return;
    }
    // A short number no card has is the quantity of the next scan.
    static const QRegularExpression numero(u"^\\d{1,4}$"_s);
    if (!m.hasMatch() && trovate.posizioni.isEmpty() && numero.match(codice).hasMatch() &&
        codice.toInt() > 0) {
        txtQuantita->setValue(codice.toInt());
        lblEsito->setText(u"Quantità per la prossima lettura: "_s + codice);
        return;
    }
    txtQuantita->setValue(1);
    if (trovate.posizioni.isEmpty()) {
        registra(TipoRigaConteggio::Lettura, codice, 0, quantita, nullptr);
        return;
    }
    qsizetype scelta = 0;
    if (trovate.posizioni.size() > 1) {
        const qint64 p = ScegliScheda(this, codice, trovate.posizioni, trovate.schede);
        if (p < 0) {
            lblEsito->setText(u"Lettura di "_s + codice +
                              u" non registrata: nessuna scheda scelta."_s);
            lampeggia(false);
            return;
        }
        scelta = trovate.posizioni.indexOf(p);
    }
    registra(TipoRigaConteggio::Lettura, codice, trovate.posizioni[scelta], quantita,
             &trovate.schede[scelta]);
}

void TfrmConteggio::registra(TipoRigaConteggio tipo, const QString &codice, qint64 posizione,
                             qint64 quantita, const TScheda *scheda) {
    if (!m_conteggio->registra(tipo, codice, posizione, quantita)) {
        lampeggia(false);
        QApplication::beep();
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Errore,
            u"Attenzione: la lettura di "_s + codice +
                u" non è stata salvata nel file del conteggio "_s + m_conteggio->percorso() +
                (ArchivioSuServer()
                     ? u". Controllare lo spazio libero e i permessi della cartella del "
                       u"programma e il collegamento al server, poi leggere di nuovo il codice."_s
                     : u". Controllare lo spazio libero e i permessi della cartella del programma, "
                       u"poi leggere di nuovo il codice."_s));
        return;
    }
    auto *voce = new QListWidgetItem;
    const QString quanto = tipo == TipoRigaConteggio::Correzione
                               ? u"= "_s + QString::number(quantita)
                               : (quantita > 0 ? u"+"_s : QString()) + QString::number(quantita);
    voce->setText(QTime::currentTime().toString(u"HH:mm:ss"_s) + u"  "_s + quanto + u"  "_s +
                  codice +
                  (scheda ? u"  "_s + scheda->testo(Campo::Nome)
                          : (posizione == 0 ? u"  (codice sconosciuto)"_s : QString())));
    voce->setData(RUOLO_POSIZIONE, posizione);
    voce->setData(RUOLO_CODICE, codice);
    voce->setData(RUOLO_QUANTITA, tipo == TipoRigaConteggio::Lettura ? quantita : 0);
    lstLetture->insertItem(0, voce);
    while (lstLetture->count() > LETTURE_MOSTRATE)
        delete lstLetture->takeItem(lstLetture->count() - 1);
    lstLetture->setCurrentRow(0);

    if (posizione == 0) {
        mostra(codice, QString(), QString(), m_conteggio->sconosciuti(codice), true);
        const QString motivo = CodiceNonValido(codice);
        lblEsito->setText(u"Codice sconosciuto: nessuna scheda ha il codice "_s + codice +
                          u". La lettura è tenuta tra i codici sconosciuti."_s +
                          (motivo.isEmpty() ? QString() : u' ' + motivo));
        QApplication::beep();
        lampeggia(false);
        return;
    }
    TScheda letta;
    if (scheda) letta = *scheda;
    m_posizioneMostrata = posizione;
    m_codiceMostrato = codice;
    mostra(letta.testo(Campo::Codice).isEmpty() ? codice : letta.testo(Campo::Codice),
           letta.testo(Campo::Nome), letta.testo(Campo::Giacenza),
           m_conteggio->contati(posizione, codice), false);
    lblEsito->setText(tipo == TipoRigaConteggio::Correzione
                          ? u"Conteggio corretto."_s
                          : (quantita > 0 ? u"Aggiunti "_s + QString::number(quantita)
                                          : u"Tolti "_s + QString::number(-quantita)) +
                                u"."_s);
    lampeggia(true);
}

void TfrmConteggio::mostra(const QString &codice, const QString &nome, const QString &giacenza,
                           qint64 contati, bool sconosciuto) {
    lblCodiceScheda->setText(codice);
    lblNomeScheda->setText(sconosciuto ? u"CODICE SCONOSCIUTO"_s : nome);
    lblGiacenza->setText(sconosciuto || codice.isEmpty() ? QString() : giacenza);
    lblContati->setText(codice.isEmpty() ? QString() : QString::number(contati));
}

void TfrmConteggio::lampeggia(bool buono) {
    QPalette colori = pnlScheda->palette();
    colori.setColor(QPalette::Window, buono ? QColor(0x9be7a0) : QColor(0xff8a65));
    pnlScheda->setPalette(colori);
    m_spegni->start();
}

void TfrmConteggio::aggiornaContati() {
    m_conteggio->aggiorna();
    if (m_posizioneMostrata > 0)
        lblContati->setText(
            QString::number(m_conteggio->contati(m_posizioneMostrata, m_codiceMostrato)));
}

void TfrmConteggio::btnCorreggiClick() {
    QListWidgetItem *voce = lstLetture->currentItem();
    if (!voce) {
        Piattaforma::dialoghi().messaggioSemplice(
            this, u"Scegliere nell'elenco delle ultime letture la scheda da correggere."_s);
        return;
    }
    const qint64 posizione = voce->data(RUOLO_POSIZIONE).toLongLong();
    const QString codice = voce->data(RUOLO_CODICE).toString();
    m_conteggio->aggiorna();
    qint64 quantita =
        posizione > 0 ? m_conteggio->contati(posizione, codice) : m_conteggio->sconosciuti(codice);
    if (!ChiediQuantita(this, u"Pezzi contati in tutto per il codice "_s + codice + u':', quantita))
        return;
    TScheda scheda;
    const TScheda *mostrata = schedaDi(codice, posizione, scheda);
    registra(TipoRigaConteggio::Correzione, codice, posizione, quantita, mostrata);
    txtCodice->setFocus();
}

const TScheda *TfrmConteggio::schedaDi(const QString &codice, qint64 posizione, TScheda &scheda) {
    const IndiceCodici::Trovate trovate = m_indice.cerca(codice);
    const qsizetype i = trovate.posizioni.indexOf(posizione);
    if (i < 0) return nullptr;
    scheda = trovate.schede[i];
    return &scheda;
}

void TfrmConteggio::btnTogliClick() {
    QListWidgetItem *voce = lstLetture->currentItem();
    const qint64 quantita = voce ? voce->data(RUOLO_QUANTITA).toLongLong() : 0;
    if (!voce || quantita <= 0) {
        Piattaforma::dialoghi().messaggioSemplice(
            this,
            u"Scegliere nell'elenco delle ultime letture la lettura sbagliata da togliere."_s);
        return;
    }
    const qint64 posizione = voce->data(RUOLO_POSIZIONE).toLongLong();
    const QString codice = voce->data(RUOLO_CODICE).toString();
    if (Piattaforma::dialoghi().domanda(
            this, u"Togliere dal conteggio la lettura di "_s + QString::number(quantita) +
                      u" pezzi del codice "_s + codice + u'?') != Piattaforma::Risposta::Si)
        return;
    // A scan taken back stays listed, with its quantity no longer to be taken.
    voce->setData(RUOLO_QUANTITA, 0);
    voce->setText(voce->text() + u"  (tolta)"_s);
    TScheda scheda;
    const TScheda *mostrata = schedaDi(codice, posizione, scheda);
    registra(TipoRigaConteggio::Lettura, codice, posizione, -quantita, mostrata);
    txtCodice->setFocus();
}

void TfrmConteggio::btnDifferenzeClick() {
    m_conteggio->aggiorna();
    TfrmDifferenze differenze(this, *m_conteggio, m_archivio);
    Piattaforma::dialoghi().esegui(&differenze);
    txtCodice->setFocus();
}

QString TfrmConteggio::messaggioArchivio() const {
    return ArchivioSuServer() ? DepositoCorrente().messaggio()
                              : MessaggioAccessoArchivio(m_archivio);
}

bool TfrmConteggio::righeFoglio(QStringList &righe) {
    return ArchivioSuServer() ? RigheFoglioConta(*m_conteggio, DepositoCorrente(), righe)
                              : RigheFoglioConta(*m_conteggio, m_archivio, righe);
}

void TfrmConteggio::btnFoglioClick() {
    QStringList righe;
    if (!righeFoglio(righe)) {
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore, messaggioArchivio());
        return;
    }
    StampaConteggio(this, u"Foglio di conta - "_s + m_conteggio->nome(), righe);
}

void TfrmConteggio::btnFoglioPdfClick() {
    QStringList righe;
    if (!righeFoglio(righe)) {
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore, messaggioArchivio());
        return;
    }
    PdfConteggio(this, u"Foglio di conta - "_s + m_conteggio->nome(), righe,
                 u"Foglio di conta "_s + m_conteggio->nome() + u".pdf"_s);
}

qint64 ScegliScheda(QWidget *genitore, const QString &codice, const QList<qint64> &posizioni,
                    const QList<TScheda> &schede) {
    QDialog finestra(genitore);
    finestra.setObjectName(u"frmSceltaScheda"_s);
    finestra.setWindowTitle(u"Più schede con lo stesso codice"_s);
    auto *colonna = new QVBoxLayout(&finestra);
    auto *testo = new QLabel(u"Il codice "_s + codice +
                                 u" è in più schede: scegliere quella contata e premere Invio."_s,
                             &finestra);
    testo->setObjectName(u"lblSpiegazione"_s);
    testo->setTextFormat(Qt::PlainText);
    testo->setWordWrap(true);
    auto *elenco = new QListWidget(&finestra);
    elenco->setObjectName(u"lstSchede"_s);
    elenco->setAccessibleName(u"Schede con il codice"_s);
    testo->setBuddy(elenco);
    for (qsizetype i = 0; i < posizioni.size(); ++i) {
        const TScheda &s = schede[i];
        elenco->addItem(s.testo(Campo::Codice) + u" - "_s + s.testo(Campo::Nome) +
                        u" - collocazione: "_s + s.testo(Campo::Collocazione) + u" - giacenza: "_s +
                        s.testo(Campo::Giacenza));
    }
    elenco->setCurrentRow(0);
    auto *pulsanti =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &finestra);
    pulsanti->setObjectName(u"pulsanti"_s);
    pulsanti->button(QDialogButtonBox::Ok)->setText(u"Conta questa"_s);
    pulsanti->button(QDialogButtonBox::Ok)->setObjectName(u"btnOk"_s);
    pulsanti->button(QDialogButtonBox::Cancel)->setText(u"Annulla"_s);
    pulsanti->button(QDialogButtonBox::Cancel)->setObjectName(u"btnAnnulla"_s);
    QObject::connect(pulsanti, &QDialogButtonBox::accepted, &finestra, &QDialog::accept);
    QObject::connect(pulsanti, &QDialogButtonBox::rejected, &finestra, &QDialog::reject);
    QObject::connect(elenco, &QListWidget::itemActivated, &finestra, &QDialog::accept);
    colonna->addWidget(testo);
    colonna->addWidget(elenco);
    colonna->addWidget(pulsanti);
    elenco->setFocus();
    finestra.resize(700, 320);
    if (Piattaforma::dialoghi().esegui(&finestra) != QDialog::Accepted) return -1;
    const int riga = elenco->currentRow();
    return riga >= 0 && riga < posizioni.size() ? posizioni[riga] : -1;
}

bool ChiediQuantita(QWidget *genitore, const QString &testo, qint64 &quantita) {
    QDialog finestra(genitore);
    finestra.setObjectName(u"frmQuantita"_s);
    finestra.setWindowTitle(u"Correggi quantità"_s);
    auto *colonna = new QVBoxLayout(&finestra);
    auto *etichettaTesto = new QLabel(testo, &finestra);
    etichettaTesto->setObjectName(u"lblQuantita"_s);
    etichettaTesto->setTextFormat(Qt::PlainText);
    auto *casella = new QSpinBox(&finestra);
    casella->setObjectName(u"txtNuovaQuantita"_s);
    casella->setAccessibleName(u"Pezzi contati"_s);
    casella->setRange(0, 999999);
    casella->setValue(int(std::clamp<qint64>(quantita, 0, 999999)));
    casella->selectAll();
    etichettaTesto->setBuddy(casella);
    auto *pulsanti =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &finestra);
    pulsanti->button(QDialogButtonBox::Ok)->setObjectName(u"btnOk"_s);
    pulsanti->button(QDialogButtonBox::Cancel)->setText(u"Annulla"_s);
    pulsanti->button(QDialogButtonBox::Cancel)->setObjectName(u"btnAnnulla"_s);
    QObject::connect(pulsanti, &QDialogButtonBox::accepted, &finestra, &QDialog::accept);
    QObject::connect(pulsanti, &QDialogButtonBox::rejected, &finestra, &QDialog::reject);
    colonna->addWidget(etichettaTesto);
    colonna->addWidget(casella);
    colonna->addWidget(pulsanti);
    casella->setFocus();
    if (Piattaforma::dialoghi().esegui(&finestra) != QDialog::Accepted) return false;
    quantita = casella->value();
    return true;
}
