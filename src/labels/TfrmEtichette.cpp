#include "labels/TfrmEtichette.h"

#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "report/TfrxReport.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::ScegliFileDaSalvare;
using Piattaforma::TipoMessaggio;

// The sheet in miniature: the labels already used, those this print fills on
// the first sheet, and the free ones. A click on a label makes it the first free.
class SchemaFoglio : public QWidget {
  public:
    explicit SchemaFoglio(QWidget *genitore) : QWidget(genitore) {
        setObjectName(u"imgFoglio"_s);
        setAccessibleName(u"Schema del foglio"_s);
        setToolTip(u"Un clic su un'etichetta la sceglie come prima libera"_s);
        setFixedSize(150, 212);
        setCursor(Qt::PointingHandCursor);
    }
    void imposta(const FormatoFoglio &formato, int primaLibera, int etichette) {
        m_formato = formato;
        m_prima = primaLibera;
        m_etichette = etichette;
        update();
    }
    std::function<void(int)> scelta;

  protected:
    QRectF foglio() const { return QRectF(0.5, 0.5, width() - 1, height() - 1); }
    QRectF posto(int numero) const {
        const double s = foglio().width() / LarghezzaA4;
        const QRectF r = m_formato.posto(numero);
        return {foglio().left() + r.left() * s, foglio().top() + r.top() * s, r.width() * s,
                r.height() * s};
    }
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(0x4f, 0x73, 0x97));
        p.drawRect(foglio());
        if (!ControllaFormato(m_formato).isEmpty()) {
            p.drawLine(foglio().topLeft(), foglio().bottomRight());
            p.drawLine(foglio().topRight(), foglio().bottomLeft());
            return;
        }
        for (int n = 1; n <= m_formato.etichette(); ++n) {
            const QRectF r = posto(n).adjusted(0.5, 0.5, -0.5, -0.5);
            QColor colore = Qt::white;
            if (n < m_prima)
                colore = QColor(0xc8, 0xc8, 0xc8);
            else if (n < m_prima + m_etichette)
                colore = QColor(0x4f, 0x73, 0x97);
            p.fillRect(r, colore);
            p.setPen(QColor(0x90, 0x90, 0x90));
            p.drawRect(r);
        }
    }
    void mousePressEvent(QMouseEvent *evento) override {
        if (!ControllaFormato(m_formato).isEmpty()) return;
        for (int n = 1; n <= m_formato.etichette(); ++n) {
            if (posto(n).contains(evento->position()) && scelta) {
                scelta(n);
                return;
            }
        }
    }

  private:
    FormatoFoglio m_formato;
    int m_prima = 1;
    int m_etichette = 0;
};

namespace {

QLabel *etichettaPer(const QString &testo, QWidget *controllo, QWidget *genitore) {
    auto *l = new QLabel(testo, genitore);
    l->setBuddy(controllo);
    QString nome = testo;
    nome.remove(u'&');
    if (nome.endsWith(u':')) nome.chop(1);
    controllo->setAccessibleName(nome);
    return l;
}

QDoubleSpinBox *misura(const QString &nome, double minimo, double massimo, QWidget *genitore) {
    auto *s = new QDoubleSpinBox(genitore);
    s->setObjectName(nome);
    s->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    s->setDecimals(2);
    s->setRange(minimo, massimo);
    s->setSingleStep(0.5);
    s->setSuffix(u" mm"_s);
    return s;
}

QString fogli(int n) {
    return n == 1 ? u"1 foglio"_s : QString::number(n) + u" fogli"_s;
}

} // namespace

TfrmEtichette::TfrmEtichette(QWidget *proprietario, QList<SchedaEtichetta> schede, Origine origine)
    : QDialog(proprietario), m_schede(std::move(schede)), m_origine(origine) {
    setObjectName(u"TfrmEtichette"_s);
    setWindowTitle(u" Stampa etichette"_s);
    // On a server the title says which archive the window works on.
    TitoloConArchivio(this);

    auto *principale = new QHBoxLayout(this);
    auto *colonna = new QVBoxLayout;
    principale->addLayout(colonna, 1);

    // The sheet.
    auto *gruppoFoglio = new QGroupBox(u"Foglio di etichette A4"_s, this);
    auto *griglia = new QGridLayout(gruppoFoglio);
    cboFoglio = new QComboBox(gruppoFoglio);
    cboFoglio->setObjectName(u"cboFoglio"_s);
    for (const FormatoFoglio &f : FormatiStandard())
        cboFoglio->addItem(f.nome);
    cboFoglio->addItem(u"Personalizzato (misure in mm)"_s);
    griglia->addWidget(etichettaPer(u"&Formato:"_s, cboFoglio, gruppoFoglio), 0, 0);
    griglia->addWidget(cboFoglio, 0, 1, 1, 3);

    spnColonne = new QSpinBox(gruppoFoglio);
    spnColonne->setObjectName(u"spnColonne"_s);
    spnColonne->setRange(1, 20);
    spnRighe = new QSpinBox(gruppoFoglio);
    spnRighe->setObjectName(u"spnRighe"_s);
    spnRighe->setRange(1, 40);
    spnLarghezza = misura(u"spnLarghezza"_s, 1, 210, gruppoFoglio);
    spnAltezza = misura(u"spnAltezza"_s, 1, 297, gruppoFoglio);
    spnMargineSinistro = misura(u"spnMargineSinistro"_s, 0, 210, gruppoFoglio);
    spnMargineAlto = misura(u"spnMargineAlto"_s, 0, 297, gruppoFoglio);
    spnSpazioOrizzontale = misura(u"spnSpazioOrizzontale"_s, 0, 210, gruppoFoglio);
    spnSpazioVerticale = misura(u"spnSpazioVerticale"_s, 0, 297, gruppoFoglio);
    const std::pair<QString, QWidget *> campi[] = {
        {u"Colonne:"_s, spnColonne},
        {u"Righe:"_s, spnRighe},
        {u"Larghezza etichetta:"_s, spnLarghezza},
        {u"Altezza etichetta:"_s, spnAltezza},
        {u"Margine sinistro:"_s, spnMargineSinistro},
        {u"Margine superiore:"_s, spnMargineAlto},
        {u"Spazio tra le colonne:"_s, spnSpazioOrizzontale},
        {u"Spazio tra le righe:"_s, spnSpazioVerticale},
    };
    for (int i = 0; i < 8; ++i) {
        const int riga = 1 + i / 2;
        const int col = (i % 2) * 2;
        griglia->addWidget(etichettaPer(campi[i].first, campi[i].second, gruppoFoglio), riga, col);
        griglia->addWidget(campi[i].second, riga, col + 1);
    }
    colonna->addWidget(gruppoFoglio);

    // Where to start, what to show, how many.
    auto *gruppoStampa = new QGroupBox(u"Etichette"_s, this);
    auto *g2 = new QGridLayout(gruppoStampa);
    spnPrimaLibera = new QSpinBox(gruppoStampa);
    spnPrimaLibera->setObjectName(u"spnPrimaLibera"_s);
    spnPrimaLibera->setRange(1, 24);
    lblPrimaLibera = new QLabel(gruppoStampa);
    lblPrimaLibera->setObjectName(u"lblPrimaLibera"_s);
    ValoreAccessibile(lblPrimaLibera, u"Posizione della prima etichetta libera"_s);
    g2->addWidget(etichettaPer(u"&Prima etichetta libera:"_s, spnPrimaLibera, gruppoStampa), 0, 0);
    g2->addWidget(spnPrimaLibera, 0, 1);
    g2->addWidget(lblPrimaLibera, 0, 2);

    chkCodice = new QCheckBox(u"&Codice in chiaro"_s, gruppoStampa);
    chkCodice->setObjectName(u"chkCodice"_s);
    chkNome = new QCheckBox(u"&Nome del prodotto"_s, gruppoStampa);
    chkNome->setObjectName(u"chkNome"_s);
    chkPrezzo = new QCheckBox(u"P&rezzo di vendita"_s, gruppoStampa);
    chkPrezzo->setObjectName(u"chkPrezzo"_s);
    for (QCheckBox *c : {chkCodice, chkNome, chkPrezzo})
        c->setChecked(true);
    auto *testiRiga = new QHBoxLayout;
    testiRiga->addWidget(new QLabel(u"Testi sull'etichetta:"_s, gruppoStampa));
    testiRiga->addWidget(chkCodice);
    testiRiga->addWidget(chkNome);
    testiRiga->addWidget(chkPrezzo);
    testiRiga->addStretch();
    g2->addLayout(testiRiga, 1, 0, 1, 3);

    if (m_origine == Origine::Scheda) {
        spnCopie = new QSpinBox(gruppoStampa);
        spnCopie->setObjectName(u"spnCopie"_s);
        spnCopie->setRange(1, MassimoCopie);
        spnCopie->setValue(m_schede.isEmpty() ? 1 : std::max(1, m_schede.first().copie));
        g2->addWidget(etichettaPer(u"Numero di c&opie:"_s, spnCopie, gruppoStampa), 2, 0);
        g2->addWidget(spnCopie, 2, 1);
    } else {
        optUnaPerScheda = new QRadioButton(u"&Una etichetta per scheda"_s, gruppoStampa);
        optUnaPerScheda->setObjectName(u"optUnaPerScheda"_s);
        optGiacenza = new QRadioButton(u"Tante etichette quante la &giacenza"_s, gruppoStampa);
        optGiacenza->setObjectName(u"optGiacenza"_s);
        optUnaPerScheda->setChecked(true);
        auto *quante = new QHBoxLayout;
        quante->addWidget(optUnaPerScheda);
        quante->addSpacing(16);
        quante->addWidget(optGiacenza);
        quante->addStretch();
        g2->addLayout(quante, 2, 0, 1, 3);
    }
    colonna->addWidget(gruppoStampa);

    lblSchede = new QLabel(this);
    lblSchede->setObjectName(u"lblSchede"_s);
    lblSchede->setTextFormat(Qt::PlainText);
    lblSchede->setWordWrap(true);
    // Which cards: its code and name from the card window, how many from a list.
    if (m_origine == Origine::Scheda && !m_schede.isEmpty()) {
        const QString codice = m_schede.first().codice.trimmed();
        const QString nome = m_schede.first().nome.trimmed();
        lblSchede->setText(u"Scheda: "_s + (codice.isEmpty() ? u"(senza codice)"_s : codice) +
                           (nome.isEmpty() ? QString() : u" - "_s + nome));
    } else {
        lblSchede->setText(u"Schede dell'elenco: "_s + QString::number(m_schede.size()));
    }
    QFont grassetto = lblSchede->font();
    grassetto.setBold(true);
    lblSchede->setFont(grassetto);
    colonna->insertWidget(0, lblSchede);

    lblRiepilogo = new QLabel(this);
    lblRiepilogo->setObjectName(u"lblRiepilogo"_s);
    lblRiepilogo->setWordWrap(true);
    lblRiepilogo->setTextFormat(Qt::PlainText);
    ValoreAccessibile(lblRiepilogo, u"Riepilogo"_s);
    colonna->addWidget(lblRiepilogo);

    auto *pulsanti = new QHBoxLayout;
    auto pulsante = [&](const QString &nome, const QString &testo) {
        auto *b = new QPushButton(testo, this);
        b->setObjectName(nome);
        b->setAutoDefault(false);
        pulsanti->addWidget(b);
        return b;
    };
    btnAnteprima = pulsante(u"btnAnteprima"_s, u"&Anteprima"_s);
    btnStampa = pulsante(u"btnStampa"_s, u"&Stampa"_s);
    btnPdf = pulsante(u"btnPdf"_s, u"Salva P&DF"_s);
    pulsanti->addStretch();
    btnChiudi = pulsante(u"btnChiudi"_s, u"C&hiudi"_s);
    colonna->addLayout(pulsanti);
    // Enter anywhere shows the preview; on a button, it presses that button.
    btnAnteprima->setDefault(true);
    InvioPremePulsante(this);

    auto *colonnaSchema = new QVBoxLayout;
    m_schema = new SchemaFoglio(this);
    colonnaSchema->addWidget(m_schema, 0, Qt::AlignHCenter);
    // What the miniature's colours mean; the same is said by the summary
    // and the first free label's position for those who cannot see it.
    auto *legenda = new QLabel(this);
    legenda->setObjectName(u"lblLegenda"_s);
    legenda->setTextFormat(Qt::RichText);
    legenda->setText(u"<span style='color:#c8c8c8; font-size:large'>&#9632;</span> già usate<br>"
                     u"<span style='color:#4f7397; font-size:large'>&#9632;</span> da stampare<br>"
                     u"<span style='color:#909090; font-size:large'>&#9633;</span> libere<br>"
                     u"<small>Un clic su un'etichetta la sceglie<br>come prima libera.</small>"_s);
    legenda->setAccessibleName(u"Legenda: in grigio le etichette già usate, in blu quelle da "
                               u"stampare, in bianco quelle libere. Un clic su un'etichetta la "
                               u"sceglie come prima libera."_s);
    colonnaSchema->addWidget(legenda);
    colonnaSchema->addStretch();
    principale->addLayout(colonnaSchema);
    m_schema->scelta = [this](int n) { spnPrimaLibera->setValue(n); };

    connect(cboFoglio, &QComboBox::currentIndexChanged, this, &TfrmEtichette::foglioScelto);
    for (QSpinBox *s : {spnColonne, spnRighe, spnPrimaLibera})
        connect(s, &QSpinBox::valueChanged, this, &TfrmEtichette::aggiorna);
    for (QDoubleSpinBox *s : {spnLarghezza, spnAltezza, spnMargineSinistro, spnMargineAlto,
                              spnSpazioOrizzontale, spnSpazioVerticale})
        connect(s, &QDoubleSpinBox::valueChanged, this, &TfrmEtichette::aggiorna);
    if (spnCopie) connect(spnCopie, &QSpinBox::valueChanged, this, &TfrmEtichette::aggiorna);
    if (optGiacenza) connect(optGiacenza, &QRadioButton::toggled, this, &TfrmEtichette::aggiorna);
    connect(btnAnteprima, &QPushButton::clicked, this, &TfrmEtichette::btnAnteprimaClick);
    connect(btnStampa, &QPushButton::clicked, this, &TfrmEtichette::btnStampaClick);
    connect(btnPdf, &QPushButton::clicked, this, &TfrmEtichette::btnPdfClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);

    foglioScelto(0);
}

TfrmEtichette::~TfrmEtichette() = default;

void TfrmEtichette::foglioScelto(int indice) {
    const bool personalizzato = indice >= FormatiStandard().size();
    if (!personalizzato) {
        const FormatoFoglio &f = FormatiStandard().at(indice);
        m_aggiornando = true;
        spnColonne->setValue(f.colonne);
        spnRighe->setValue(f.righe);
        spnLarghezza->setValue(f.larghezza);
        spnAltezza->setValue(f.altezza);
        spnMargineSinistro->setValue(f.margineSinistro);
        spnMargineAlto->setValue(f.margineAlto);
        spnSpazioOrizzontale->setValue(f.spazioOrizzontale);
        spnSpazioVerticale->setValue(f.spazioVerticale);
        m_aggiornando = false;
    }
    for (QWidget *w : std::initializer_list<QWidget *>{
             spnColonne, spnRighe, spnLarghezza, spnAltezza, spnMargineSinistro, spnMargineAlto,
             spnSpazioOrizzontale, spnSpazioVerticale})
        w->setEnabled(personalizzato);
    aggiorna();
}

FormatoFoglio TfrmEtichette::formato() const {
    FormatoFoglio f;
    f.nome = cboFoglio->currentText();
    f.colonne = spnColonne->value();
    f.righe = spnRighe->value();
    f.larghezza = spnLarghezza->value();
    f.altezza = spnAltezza->value();
    f.margineSinistro = spnMargineSinistro->value();
    f.margineAlto = spnMargineAlto->value();
    f.spazioOrizzontale = spnSpazioOrizzontale->value();
    f.spazioVerticale = spnSpazioVerticale->value();
    return f;
}

TestiEtichetta TfrmEtichette::testi() const {
    return {chkCodice->isChecked(), chkNome->isChecked(), chkPrezzo->isChecked()};
}

QList<SchedaEtichetta> TfrmEtichette::schede() const {
    QList<SchedaEtichetta> esito = m_schede;
    for (SchedaEtichetta &s : esito) {
        if (spnCopie)
            s.copie = spnCopie->value();
        else if (!optGiacenza->isChecked())
            s.copie = 1;
    }
    return esito;
}

void TfrmEtichette::aggiorna() {
    if (m_aggiornando) return;
    const FormatoFoglio f = formato();
    const int perFoglio = std::max(1, f.etichette());
    spnPrimaLibera->setMaximum(perFoglio);
    const int prima = spnPrimaLibera->value();
    const int colonne = std::max(1, f.colonne);
    lblPrimaLibera->setText(u"riga "_s + QString::number((prima - 1) / colonne + 1) +
                            u", colonna "_s + QString::number((prima - 1) % colonne + 1));

    qint64 totale = 0;
    for (const SchedaEtichetta &s : schede())
        totale += std::max(0, s.copie);
    const QString errore = ControllaFormato(f);
    QString riepilogo;
    if (!errore.isEmpty()) {
        riepilogo = errore;
    } else {
        const qint64 fogliNecessari = totale == 0 ? 0 : (prima - 1 + totale - 1) / perFoglio + 1;
        riepilogo = QString::number(totale) +
                    (totale == 1 ? u" etichetta su "_s : u" etichette su "_s) +
                    fogli(int(std::min<qint64>(fogliNecessari, 1000000))) + u'.';
        if (totale > MassimoEtichette)
            riepilogo += u" Troppe per una stampa sola: al massimo "_s +
                         QString::number(MassimoEtichette) + u'.';
    }
    lblRiepilogo->setText(riepilogo);
    m_schema->imposta(f, prima, int(std::min<qint64>(totale, perFoglio)));
}

bool TfrmEtichette::prepara(EtichettePreparate &esito) {
    const FormatoFoglio f = formato();
    const QString errore = ControllaFormato(f);
    if (!errore.isEmpty()) {
        dialoghi().messaggio(this, TipoMessaggio::Avviso, errore);
        return false;
    }
    const QList<SchedaEtichetta> elenco = schede();
    qint64 totale = 0;
    for (const SchedaEtichetta &s : elenco)
        totale += std::max(0, s.copie);
    if (totale == 0) {
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             u"Nessuna etichetta da stampare: nessuna scheda ha una giacenza "
                             u"maggiore di zero."_s);
        return false;
    }
    if (totale > MassimoEtichette) {
        dialoghi().messaggio(this, TipoMessaggio::Avviso,
                             u"Le etichette richieste sono "_s + QString::number(totale) +
                                 u": se ne possono stampare al massimo "_s +
                                 QString::number(MassimoEtichette) +
                                 u" per volta. Scegliere una etichetta per scheda o un elenco più "
                                 u"breve."_s);
        return false;
    }
    esito = PreparaEtichette(f, spnPrimaLibera->value(), testi(), elenco);
    if (!esito.senzaBarre.isEmpty()) {
        QStringList righe = esito.senzaBarre.mid(0, 10);
        if (esito.senzaBarre.size() > 10) righe << u"..."_s;
        const QString domanda =
            u"Questi codici non possono essere stampati come codici a barre: le loro etichette "
            u"riporteranno il codice come testo, con una nota.\n\n"_s +
            righe.join(u'\n') + u"\n\nStampare comunque le etichette?"_s;
        if (dialoghi().domanda(this, domanda) == Piattaforma::Risposta::No) return false;
    }
    if (!esito.comeCode128.isEmpty()) {
        // Most likely a mistyped EAN: worth a look before the sheet is used.
        QStringList righe = esito.comeCode128.mid(0, 10);
        if (esito.comeCode128.size() > 10) righe << u"..."_s;
        const QString domanda =
            u"Questi codici hanno le cifre di un EAN ma non la sua cifra di controllo: saranno "
            u"stampati come Code 128.\n\n"_s +
            righe.join(u'\n') + u"\n\nStampare comunque le etichette?"_s;
        if (dialoghi().domanda(this, domanda) == Piattaforma::Risposta::No) return false;
    }
    return true;
}

void TfrmEtichette::btnAnteprimaClick() {
    EtichettePreparate esito;
    if (prepara(esito)) esito.report->ShowReport(false, this);
}

void TfrmEtichette::btnStampaClick() {
    EtichettePreparate esito;
    if (prepara(esito)) esito.report->Print(this);
}

void TfrmEtichette::btnPdfClick() {
    EtichettePreparate esito;
    if (!prepara(esito)) return;
    const QString percorso = ScegliFileDaSalvare(this, u"Salva le etichette in un file PDF"_s,
                                                 {u"File PDF (*.pdf)"_s}, u"Etichette.pdf"_s);
    if (percorso.isEmpty()) return;
    const bool scritto = ScriviFileIntero(percorso, [&](QIODevice *uscita) {
        QPdfWriter pdf(uscita);
        pdf.setTitle(u"Etichette"_s);
        pdf.setCreator(u"Quadrelo"_s);
        return esito.report->DisegnaPagine(pdf);
    });
    if (scritto)
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             u"Etichette salvate nel file "_s + percorso + u'.');
    else
        dialoghi().messaggio(this, TipoMessaggio::Errore,
                             u"Non è stato possibile scrivere il file "_s + percorso +
                                 u". Controllare lo spazio libero e i permessi della cartella."_s);
}
