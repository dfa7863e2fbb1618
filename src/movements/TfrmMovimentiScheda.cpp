#include "movements/TfrmMovimentiScheda.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "journal/StessaScheda.h"
#include "movements/GrigliaGiornale.h"
#include "movements/StampaMovimenti.h"
#include "movements/StoriaDeposito.h"
#include "output/ModelliStampa.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

namespace {

QString Quantita(qint64 q) {
    return q > 0 ? u'+' + QString::number(q) : QString::number(q);
}

QString Data(const QDateTime &quando) {
    return quando.toString(u"dd/MM/yyyy HH:mm"_s);
}

const QString DIFFERENZA = u"Differenza non registrata"_s;

} // namespace

TfrmMovimentiScheda::TfrmMovimentiScheda(QWidget *genitore, qint64 posizione,
                                         const QString &archivio, const QString &giornale)
    : QDialog(genitore), m_posizione(posizione), m_archivio(archivio), m_giornale(giornale) {
    if (ArchivioSuServer() && QFileInfo(archivio) == QFileInfo(PercorsoArchivio()))
        m_deposito = &DepositoCorrente();
    prepara();
}

TfrmMovimentiScheda::TfrmMovimentiScheda(QWidget *genitore, qint64 posizione, Deposito &deposito)
    : QDialog(genitore), m_posizione(posizione) {
    // The folder's files through the program's own code, as above.
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito)) {
        m_archivio = file->archivio();
        m_giornale = file->giornale();
    } else {
        m_deposito = &deposito;
    }
    prepara();
}

void TfrmMovimentiScheda::prepara() {
    setObjectName(u"TfrmMovimentiScheda"_s);
    setWindowTitle(u" Movimenti della scheda"_s);
    resize(900, 640);
    CostruisciFrxReport(m_report);

    auto *colonna = new QVBoxLayout(this);
    lblScheda = new QLabel(this);
    lblScheda->setObjectName(u"lblScheda"_s);
    lblScheda->setTextFormat(Qt::PlainText);
    QFont grassetto = lblScheda->font();
    grassetto.setBold(true);
    lblScheda->setFont(grassetto);
    colonna->addWidget(lblScheda);

    graGiacenza = new QChartView(this);
    graGiacenza->setObjectName(u"graGiacenza"_s);
    graGiacenza->setAccessibleName(u"Grafico della giacenza nel tempo"_s);
    graGiacenza->setRenderHint(QPainter::Antialiasing);
    graGiacenza->setMinimumHeight(240);
    colonna->addWidget(graGiacenza, 2);

    grdMovimenti = GrigliaGiornale(
        this, u"grdMovimenti"_s, u"Movimenti, dal più recente"_s,
        {u"Data"_s, u"Tipo"_s, u"Quantità"_s, u"Giacenza dopo"_s, u"Nota"_s, u"Postazione"_s});
    colonna->addWidget(grdMovimenti, 3);

    lblAvviso = RigaAvvisoGiornale(this);
    colonna->addWidget(lblAvviso);

    auto *pulsanti = new QHBoxLayout;
    btnAnnullaUltimo = new QPushButton(u"Annulla ultimo movimento"_s, this);
    btnAnnullaUltimo->setObjectName(u"btnAnnullaUltimo"_s);
    btnStampa = new QPushButton(u"Stampa"_s, this);
    btnStampa->setObjectName(u"btnStampa"_s);
    btnChiudi = new QPushButton(u"Chiudi"_s, this);
    btnChiudi->setObjectName(u"btnChiudi"_s);
    pulsanti->addWidget(btnAnnullaUltimo);
    pulsanti->addStretch();
    pulsanti->addWidget(btnStampa);
    pulsanti->addWidget(btnChiudi);
    colonna->addLayout(pulsanti);

    connect(btnAnnullaUltimo, &QPushButton::clicked, this,
            &TfrmMovimentiScheda::btnAnnullaUltimoClick);
    connect(btnStampa, &QPushButton::clicked, this, &TfrmMovimentiScheda::btnStampaClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    carica();
    // Not on "Annulla ultimo movimento": Enter must not start an undo.
    grdMovimenti->setFocus();
    btnChiudi->setDefault(true);
}

void TfrmMovimentiScheda::carica() {
    QString nonLetta; // why the card or its lines could not be read
    if (m_deposito) {
        TitoloConArchivio(this);
        m_segnoGiornale = -1;
        if (!m_deposito->leggi(m_posizione, m_scheda)) {
            m_scheda = TScheda();
            nonLetta = m_deposito->messaggio();
        }
        if (nonLetta.isEmpty()) m_storia = LeggiStoriaScheda(*m_deposito, m_posizione);
        if (nonLetta.isEmpty() && !m_storia.letto) nonLetta = m_deposito->messaggio();
        if (!nonLetta.isEmpty()) m_storia = StoriaScheda{{}, 0, false};
        // Nothing to take back from a server that did not answer.
        btnAnnullaUltimo->setEnabled(m_storia.letto);
    } else {
        m_segnoGiornale = SegnoGiornale(m_giornale);
        Archivio archivio(m_archivio);
        if (!archivio.ApriArchivio() || !archivio.leggi(m_posizione, m_scheda))
            m_scheda = TScheda();
        archivio.chiudi();
        m_storia = LeggiStoriaScheda(m_posizione, m_giornale);
        if (!m_storia.letto) nonLetta = AvvisoGiornaleIlleggibile(m_giornale);
    }
    m_giacenza = GiacenzaDi(m_scheda).value_or(0);
    lblScheda->setText(u"Scheda n. "_s + QString::number(m_posizione) + u": "_s +
                       m_scheda.testo(Campo::Codice) + u" - "_s + m_scheda.testo(Campo::Nome) +
                       u"   Giacenza: "_s + QString::number(m_giacenza));
    lblScheda->setAccessibleName(lblScheda->text());

    const qint64 registrata = m_storia.movimenti.isEmpty() ? 0 : m_storia.movimenti.last().dopo;
    // Nothing read says nothing of a difference.
    m_differenza = m_storia.letto ? m_giacenza - registrata : 0;

    const qsizetype n = m_storia.movimenti.size();
    grdMovimenti->setRowCount(int(n + (m_differenza != 0 ? 1 : 0)));
    int riga = 0;
    // Quantities and stock to the right.
    auto metti = [this](int r, const QStringList &celle) {
        MettiRigaGiornale(grdMovimenti, r, celle, {2, 3});
    };
    if (m_differenza != 0)
        metti(riga++, {QString(), DIFFERENZA, Quantita(m_differenza), QString::number(m_giacenza),
                       QString(), QString()});
    for (qsizetype i = n - 1; i >= 0; --i) {
        const Movimento &m = m_storia.movimenti[i];
        metti(riga++, {Data(m.quando), NomeTipo(m.tipo), Quantita(m.quantita),
                       QString::number(m.dopo), m.nota, m.postazione});
    }
    grdMovimenti->resizeColumnsToContents();

    MostraAvvisoGiornale(lblAvviso,
                         m_storia.letto ? AvvisoRigheDanneggiate(m_storia.danneggiate) : nonLetta);

    QChart *vecchio = graGiacenza->chart();
    graGiacenza->setChart(Grafico(m_storia.movimenti, m_scheda.testo(Campo::Avviso).toLongLong()));
    delete vecchio;
}

QChart *TfrmMovimentiScheda::Grafico(const QList<Movimento> &movimenti, qint64 avviso) {
    auto *grafico = new QChart;
    grafico->setTitle(u"Giacenza nel tempo"_s);
    auto *giacenza = new QLineSeries;
    giacenza->setName(u"Giacenza"_s);
    auto *soglia = new QLineSeries;
    soglia->setName(u"Avviso (pezzi rimasti)"_s);
    QDateTime inizio = QDateTime::currentDateTime().addDays(-1);
    QDateTime fine = QDateTime::currentDateTime();
    qint64 minimo = qMin<qint64>(0, avviso);
    qint64 massimo = qMax<qint64>(1, avviso);
    if (!movimenti.isEmpty()) {
        // The movements and a small margin either side: a few minutes of
        // work fill the chart instead of being squeezed into one corner, and
        // a single movement still stands clear of the edges.
        inizio = movimenti.first().quando;
        fine = movimenti.last().quando;
        const qint64 durata = inizio.secsTo(fine);
        const qint64 margine = durata == 0 ? 300 : qMax<qint64>(30, durata / 20);
        inizio = inizio.addSecs(-margine);
        fine = fine.addSecs(margine);
        qint64 precedente = movimenti.first().prima;
        for (const Movimento &m : movimenti) {
            const qreal x = qreal(m.quando.toMSecsSinceEpoch());
            giacenza->append(x, qreal(precedente));
            giacenza->append(x, qreal(m.dopo));
            precedente = m.dopo;
            minimo = qMin(minimo, qMin(m.prima, m.dopo));
            massimo = qMax(massimo, qMax(m.prima, m.dopo));
        }
        giacenza->append(qreal(fine.toMSecsSinceEpoch()), qreal(precedente));
    }
    soglia->append(qreal(inizio.toMSecsSinceEpoch()), qreal(avviso));
    soglia->append(qreal(fine.toMSecsSinceEpoch()), qreal(avviso));
    grafico->addSeries(giacenza);
    grafico->addSeries(soglia);
    QPen tratteggio(QColor(0xFF, 0x8C, 0x00));
    tratteggio.setStyle(Qt::DashLine);
    tratteggio.setWidth(2);
    soglia->setPen(tratteggio);
    QPen linea(QColor(0x00, 0x80, 0x80));
    linea.setWidth(2);
    giacenza->setPen(linea);

    auto *asseX = new QDateTimeAxis;
    // Within a few days the day alone would repeat on every mark.
    asseX->setFormat(inizio.secsTo(fine) < 3600        ? u"HH:mm:ss"_s
                     : inizio.secsTo(fine) < 4 * 86400 ? u"dd/MM HH:mm"_s
                                                       : u"dd/MM/yy"_s);
    asseX->setRange(inizio, fine);
    asseX->setTitleText(u"Data"_s);
    auto *asseY = new QValueAxis;
    const qint64 margine = qMax<qint64>(1, (massimo - minimo) / 10);
    asseY->setRange(qreal(minimo - (minimo < 0 ? margine : 0)), qreal(massimo + margine));
    asseY->applyNiceNumbers();
    asseY->setLabelFormat(u"%d"_s);
    asseY->setTitleText(u"Pezzi"_s);
    grafico->addAxis(asseX, Qt::AlignBottom);
    grafico->addAxis(asseY, Qt::AlignLeft);
    for (auto *serie : {giacenza, soglia}) {
        serie->attachAxis(asseX);
        serie->attachAxis(asseY);
    }
    grafico->legend()->setAlignment(Qt::AlignBottom);
    return grafico;
}

QStringList TfrmMovimentiScheda::RigheStampa(const QList<Movimento> &movimenti, qint64 differenza,
                                             qint64 giacenza) {
    QStringList righe;
    auto riga = [&righe](const QString &data, const QString &tipo, const QString &quantita,
                         const QString &dopo, const QString &nota, const QString &postazione) {
        AggiungiRigaConNota(righe,
                            Colonna(data, 17) + u' ' + Colonna(tipo, 26) + u' ' +
                                Colonna(quantita, 9, true) + u' ' + Colonna(dopo, 9, true) +
                                u"  "_s,
                            nota, 60, u' ' + Colonna(postazione, 30));
    };
    riga(u"Data"_s, u"Tipo"_s, u"Quantità"_s, u"Giacenza"_s, u"Nota"_s, u"Postazione"_s);
    if (differenza != 0)
        riga(QString(), DIFFERENZA, Quantita(differenza), QString::number(giacenza), QString(),
             QString());
    for (qsizetype i = movimenti.size() - 1; i >= 0; --i) {
        const Movimento &m = movimenti[i];
        riga(Data(m.quando), NomeTipo(m.tipo), Quantita(m.quantita), QString::number(m.dopo),
             m.nota, m.postazione);
    }
    return righe;
}

void TfrmMovimentiScheda::btnStampaClick() {
    const QPicture grafico = DisegnoGrafico(
        Grafico(m_storia.movimenti, m_scheda.testo(Campo::Avviso).toLongLong()), QSize(1600, 550));
    PreparaStampaMovimenti(m_report,
                           u"Movimenti della scheda "_s + m_scheda.testo(Campo::Codice) + u" - "_s +
                               m_scheda.testo(Campo::Nome),
                           grafico, RigheStampa(m_storia.movimenti, m_differenza, m_giacenza));
    m_report.Print(this);
}

void TfrmMovimentiScheda::btnAnnullaUltimoClick() {
    auto &dialoghi = Piattaforma::dialoghi();
    // Said before the question when another copy recorded a movement since
    // the user looked.
    QString premessa;
    Annullamento esito;
    while (true) {
        const Movimento *ultimo = nullptr;
        for (qsizetype i = m_storia.movimenti.size() - 1; i >= 0 && !ultimo; --i)
            if (MovimentoDiGiacenza(m_storia.movimenti[i].tipo)) ultimo = &m_storia.movimenti[i];
        if (!ultimo || ultimo->quantita == 0) {
            dialoghi.messaggio(this, TipoMessaggio::Informazione,
                               premessa +
                                   u"Non ci sono movimenti da annullare per questa scheda."_s);
            return;
        }
        if (dialoghi.domanda(
                this, premessa + u"Annullare l'ultimo movimento ("_s + NomeTipo(ultimo->tipo) +
                          u' ' + Quantita(ultimo->quantita) + u" del "_s + Data(ultimo->quando) +
                          u")? Verrà registrato il movimento opposto."_s) == Risposta::No)
            return;
        const AttesaAnnullamento attesa{*ultimo, m_scheda, m_segnoGiornale};
        esito = m_deposito ? AnnullaUltimoMovimento(*m_deposito, m_posizione, &attesa)
                           : AnnullaUltimoMovimento(m_posizione, m_archivio, m_giornale, &attesa);
        if (esito.esito != Annullamento::Cambiato) break;
        // Never another movement than the one named: the history again, and
        // the question again.
        carica();
        premessa = u"Nel frattempo un'altra postazione ha registrato un altro movimento per "
                   u"questa scheda, e nulla è stato annullato. "_s;
    }
    switch (esito.esito) {
    case Annullamento::Fatto:
    case Annullamento::Cambiato:
        break;
    case Annullamento::NienteDaAnnullare:
        dialoghi.messaggio(this, TipoMessaggio::Informazione,
                           u"Non ci sono movimenti da annullare per questa scheda."_s);
        break;
    case Annullamento::FuoriCampo:
        dialoghi.messaggio(this, TipoMessaggio::Avviso,
                           u"Attenzione: la giacenza che ne risulterebbe non può essere "
                           u"archiviata (al massimo 4 caratteri)."_s);
        break;
    case Annullamento::NonPiuQui:
        dialoghi.messaggio(this, TipoMessaggio::Avviso,
                           u"Attenzione: un'altra postazione ha eliminato o spostato questa "
                           u"scheda dopo che è stata aperta qui, e nulla è stato annullato. "
                           u"Riaprire la scheda e riprovare."_s);
        break;
    case Annullamento::GiacenzaNonIntera:
        dialoghi.messaggio(this, TipoMessaggio::Avviso,
                           MessaggioGiacenzaNonIntera(esito.testoGiacenza) +
                               u" Il movimento non è stato annullato: correggere prima la "
                               u"giacenza nella scheda."_s);
        break;
    case Annullamento::ErroreArchivio:
        dialoghi.messaggio(this, TipoMessaggio::Errore,
                           m_deposito ? m_deposito->messaggio()
                                      : MessaggioAccessoArchivio(m_archivio));
        break;
    case Annullamento::GiornaleNonScritto:
        dialoghi.messaggio(this, TipoMessaggio::Avviso, MessaggioGiornaleNonScritto());
        break;
    }
    if (esito.esito == Annullamento::Fatto) m_cambiata = true;
    carica();
}
