#include "output/FinestraStampaScheda.h"

#include "archive/RegoleNumeri.h"
#include "output/ModelliStampa.h"
#include "platform/ErroreGenerale.h"
#include "widgets/Controlli.h"
#include "widgets/RiquadroFoto.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Row titles and the card window's box each row prints; rows 17 and 18 are
// the value line and the paid flag.
struct Riga {
    QString titolo;
    QString casella;
};

const Riga Righe[16] = {
    {u"Codice articolo:"_s, u"txtCodice"_s},
    {u"Costo unitario:"_s, u"txtCosto"_s},
    {u"Nome prodotto:"_s, u"txtNome"_s},
    {u"Giacenza attuale:"_s, u"txtGiacenza"_s},
    {u"Aspetto esteriore del bene:"_s, u"txtUM"_s},
    {u"Categoria merceologica:"_s, u"txtTipologia"_s},
    {u"Caratteristiche:"_s, u"txtCaratteristiche"_s},
    {u"Collocazione in magazzino:"_s, u"txtCollocazione"_s},
    {u"Ditta fornitrice:"_s, u"txtDitta"_s},
    {u"Agente:"_s, u"txtAgente"_s},
    {u"Recapito telefonico"_s, u"txtRecapito"_s},
    {u"Documento di acquisto:"_s, u"txtDocumento"_s},
    {u"Modalità di pagamento:"_s, u"txtPagamento"_s},
    {u"Data scadenza:"_s, u"txtDataSca"_s},
    {u"Note:"_s, u"txtNote"_s},
    {u"Prezzo di vendita:"_s, u"txtPrezzo"_s},
};

const QColor BluAcciaio(0x46, 0x82, 0xB4);

TfrxMemoView &memo(TfrxReport &modello, const QString &nome) {
    auto *m = modello.FindObject<TfrxMemoView>(nome);
    if (!m) throw std::logic_error("card template without " + nome.toStdString());
    return *m;
}

QString numeroRiga(int n) {
    return QString::number(n).rightJustified(2, u'0');
}

QFrame *pannelloBianco(QWidget *genitore, const QString &nome) {
    auto *pannello = new QFrame(genitore);
    pannello->setObjectName(nome);
    pannello->setAutoFillBackground(true);
    QPalette tavolozza = pannello->palette();
    tavolozza.setColor(QPalette::Window, Qt::white);
    tavolozza.setColor(QPalette::WindowText, Qt::black);
    pannello->setPalette(tavolozza);
    pannello->setFrameShape(QFrame::StyledPanel);
    return pannello;
}

} // namespace

FinestraStampaScheda::FinestraStampaScheda(QWidget *scheda, const Testi &testi)
    : QDialog(scheda), m_scheda(scheda) {
    ImpostaFormati();
    CostruisciRepScheda(m_repScheda);
    CostruisciRepFoto(m_repFoto);

    setWindowTitle(testi.didascalia);
    setAccessibleName(testi.didascalia.trimmed());
    // A fixed frame with a title but no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    auto *shpSfondo = pannelloBianco(this, u"shpSfondo"_s);
    m_imgLogo02 = new QLabel(shpSfondo);
    m_imgLogo02->setObjectName(u"imgLogo02"_s);
    m_imgLogo02->setPixmap(
        DisegnaSpiegazione(testi.intestazione, testi.primoTesto, testi.secondoTesto));
    m_imgLogo02->setAccessibleName(testi.intestazione);
    m_imgLogo02->setAccessibleDescription(testi.primoTesto + u' ' + testi.secondoTesto);
    auto *sfondo = new QVBoxLayout(shpSfondo);
    sfondo->setContentsMargins(0, 0, 0, 0);
    sfondo->addWidget(m_imgLogo02);

    auto *panScelta = pannelloBianco(this, u"panScelta"_s);
    QFont verdana(u"Verdana"_s);
    verdana.setPointSize(12);
    m_optUno = new QRadioButton(testi.uno, panScelta);
    m_optUno->setObjectName(u"optUno"_s);
    m_optUno->setFont(verdana);
    m_optUno->setAccessibleName(testi.uno);
    m_optUno->setChecked(true);
    m_optDue = new QRadioButton(testi.due, panScelta);
    m_optDue->setObjectName(u"optDue"_s);
    m_optDue->setFont(verdana);
    m_optDue->setAccessibleName(testi.due);
    auto *scelta = new QVBoxLayout(panScelta);
    scelta->addWidget(m_optUno);
    scelta->addWidget(m_optDue);

    m_btnAnnulla = new QPushButton(u"Annulla"_s, this);
    m_btnAnnulla->setObjectName(u"btnAnnulla"_s);
    m_btnAnnulla->setAccessibleName(u"Annulla"_s);
    m_btnStampa = new QPushButton(testi.pulsante, this);
    m_btnStampa->setObjectName(u"btnStampa"_s);
    m_btnStampa->setAccessibleName(testi.pulsante);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch(1);
    pulsanti->addWidget(m_btnAnnulla);
    pulsanti->addWidget(m_btnStampa);

    // Hidden: the choice, the copy of the card's photo and the placeholder.
    m_lblMemory = new QLabel(u"con"_s, this);
    m_lblMemory->setObjectName(u"lblMemory"_s);
    m_lblMemory->hide();
    m_imgLogo = new RiquadroFoto(this);
    m_imgLogo->setObjectName(u"imgLogo"_s);
    m_imgLogo->setAccessibleName(u"Foto della scheda"_s);
    m_imgLogo->hide();
    m_imgBianco = new RiquadroFoto(this);
    m_imgBianco->setObjectName(u"imgBianco"_s);
    m_imgBianco->setAccessibleName(u"Foto sostitutiva"_s);
    m_imgBianco->impostaImmagine(DisegnaSegnaposto());
    m_imgBianco->hide();

    auto *colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(10, 10, 10, 10);
    colonna->setSpacing(8);
    colonna->addWidget(shpSfondo);
    colonna->addWidget(panScelta);
    colonna->addLayout(pulsanti);
    colonna->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_btnAnnulla, m_btnStampa);
    setTabOrder(m_btnStampa, m_optUno);
    setTabOrder(m_optUno, m_optDue);
    m_btnAnnulla->setFocus();

    InvioPremePulsante(this);
    connect(m_optUno, &QRadioButton::clicked, this, &FinestraStampaScheda::optUnoClick);
    connect(m_optDue, &QRadioButton::clicked, this, &FinestraStampaScheda::optDueClick);
    connect(m_btnAnnulla, &QPushButton::clicked, this, &FinestraStampaScheda::btnAnnullaClick);
    connect(m_btnStampa, &QPushButton::clicked, this, &FinestraStampaScheda::btnStampaClick);

    copiaFoto();
}

FinestraStampaScheda::~FinestraStampaScheda() = default;

void FinestraStampaScheda::showEvent(QShowEvent *evento) {
    copiaFoto();
    QDialog::showEvent(evento);
}

void FinestraStampaScheda::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, BluAcciaio);
}

void FinestraStampaScheda::copiaFoto() {
    const RiquadroFoto *foto =
        m_scheda ? m_scheda->findChild<RiquadroFoto *>(u"imgFoto"_s) : nullptr;
    if (foto && !foto->immagine().isNull())
        m_imgLogo->impostaImmagine(foto->immagine());
    else
        m_imgLogo->impostaImmagine(m_imgBianco->immagine());
}

QLineEdit *FinestraStampaScheda::casella(const QString &nome) const {
    return m_scheda ? m_scheda->findChild<QLineEdit *>(nome) : nullptr;
}

void FinestraStampaScheda::optUnoClick() {
    m_lblMemory->setText(u"con"_s);
}

void FinestraStampaScheda::optDueClick() {
    m_lblMemory->setText(u"senza"_s);
}

void FinestraStampaScheda::btnAnnullaClick() {
    reject();
}

void FinestraStampaScheda::btnStampaClick() {
    Piattaforma::eseguiProtetto(this, [this] { stampa(); });
}

void FinestraStampaScheda::stampa() {
    auto testo = [this](const QString &nome) {
        const QLineEdit *c = casella(nome);
        return c ? c->text() : QString();
    };

    // Empty stock and cost become zero in the card window too.
    QLineEdit *giacenza = casella(u"txtGiacenza"_s);
    QLineEdit *costo = casella(u"txtCosto"_s);
    if (giacenza && Rifila(giacenza->text()).isEmpty()) giacenza->setText(u"0"_s);
    if (costo && Rifila(costo->text()).isEmpty()) costo->setText(u"0,00"_s);
    const double valore = LeggiNumeroObbligatorio(testo(u"txtGiacenza"_s)) *
                          LeggiNumeroObbligatorio(testo(u"txtCosto"_s));

    TfrxReport &modello = m_lblMemory->text() == u"con"_s ? m_repFoto : m_repScheda;
    modello.ReportPage(1)->SetOrientation(QPageLayout::Portrait);
    if (&modello == &m_repFoto) {
        if (auto *foto = modello.FindObject<TfrxPictureView>(u"imgFoto"_s))
            foto->Picture = m_imgLogo->immagine();
    }
    memo(modello, u"txtTitolo"_s).SetText(u"SCHEDA PRODOTTO"_s);

    int n = 1;
    for (const Riga &riga : Righe) {
        memo(modello, u"titCampo"_s + numeroRiga(n)).SetText(riga.titolo);
        memo(modello, u"txtCampo"_s + numeroRiga(n)).SetText(Rifila(testo(riga.casella)));
        ++n;
    }
    memo(modello, u"titCampo17"_s).SetText(u"Valore totale:"_s);
    memo(modello, u"txtCampo17"_s)
        .SetText(u"Costo unitario (€ "_s + Rifila(testo(u"txtCosto"_s)) + u") x giacenza ("_s +
                 Rifila(testo(u"txtGiacenza"_s)) + u" pezzi) = € "_s + ScriviNumero(valore));
    const QCheckBox *pagato = m_scheda ? m_scheda->findChild<QCheckBox *>(u"chkPagato"_s) : nullptr;
    memo(modello, u"titCampo18"_s).SetText(u"Pagato:"_s);
    memo(modello, u"txtCampo18"_s).SetText(pagato && pagato->isChecked() ? u"Sì"_s : u"No"_s);

    const QDateTime adesso = QDateTime::currentDateTime();
    memo(modello, u"txtCalce"_s)
        .SetText(u"Stampa eseguita in data "_s + FormattaData(adesso.date()) + u" alle ore "_s +
                 adesso.time().toString(u"HH:mm:ss"_s));

    modello.PrepareReport(true);
    concludi(modello);
    // Whatever the user did in the print dialog or the preview.
    accept();
}

QPixmap DisegnaSpiegazione(const QString &intestazione, const QString &primoTesto,
                           const QString &secondoTesto) {
    constexpr int Larghezza = 440;
    constexpr int Altezza = 170;
    QPixmap immagine(Larghezza, Altezza);
    immagine.fill(Qt::white);
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);

    QFont titolo(u"Verdana"_s);
    titolo.setPixelSize(18);
    titolo.setBold(true);
    p.setFont(titolo);
    p.setPen(BluAcciaio.darker(130));
    p.drawText(QRect(16, 10, Larghezza - 32, 26), Qt::AlignLeft | Qt::AlignVCenter, intestazione);
    p.setPen(QPen(BluAcciaio, 2));
    p.drawLine(16, 40, Larghezza - 16, 40);

    QFont corpo(u"Verdana"_s);
    corpo.setPixelSize(12);
    p.setFont(corpo);
    p.setPen(Qt::black);
    p.drawText(QRect(16, 48, Larghezza - 32, 44), Qt::TextWordWrap | Qt::AlignLeft, primoTesto);

    // A printer with a sheet coming out of it.
    p.save();
    p.translate(22, 98);
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(14, 0, 36, 22); // sheet going in
    p.setBrush(QColor(0x8a, 0x94, 0xa0));
    p.drawRoundedRect(0, 16, 64, 30, 5, 5); // body
    p.setBrush(QColor(0x5c, 0x66, 0x70));
    p.drawRect(8, 38, 48, 6); // paper slot
    p.setBrush(Qt::white);
    p.drawRect(12, 42, 40, 20); // printed sheet
    p.setPen(QPen(BluAcciaio, 1.5));
    p.drawLine(17, 49, 47, 49);
    p.drawLine(17, 55, 40, 55);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3c, 0xb3, 0x71));
    p.drawEllipse(QPointF(55, 24), 2.5, 2.5); // power light
    p.restore();

    p.setPen(Qt::black);
    p.drawText(QRect(104, 100, Larghezza - 120, 60), Qt::TextWordWrap | Qt::AlignVCenter,
               secondoTesto);
    return immagine;
}

QImage DisegnaSegnaposto() {
    QImage immagine(230, 307, QImage::Format_RGB32);
    immagine.fill(Qt::white);
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xc8, 0xcc, 0xd0), 2));
    p.drawRect(QRectF(1, 1, 228, 305));
    // A simple landscape: sun and two hills.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe2, 0xe6, 0xea));
    p.drawEllipse(QPointF(150, 120), 18, 18);
    QPainterPath colline;
    colline.moveTo(40, 200);
    colline.lineTo(95, 140);
    colline.lineTo(130, 175);
    colline.lineTo(150, 155);
    colline.lineTo(190, 200);
    colline.closeSubpath();
    p.drawPath(colline);
    return immagine;
}
