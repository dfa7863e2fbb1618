#include "saving/TfrmConflittoScheda.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString nomeCampo(Campo c) {
    static const QStringList nomi = {
        u"Codice"_s,       u"Costo"_s,         u"Nome"_s,          u"Giacenza"_s,
        u"Avviso"_s,       u"Aspetto"_s,       u"Categoria"_s,     u"Caratteristiche"_s,
        u"Collocazione"_s, u"Ditta"_s,         u"Agente"_s,        u"Recapito"_s,
        u"Documento"_s,    u"Pagamento"_s,     u"Scadenza"_s,      u"Note"_s,
        u"Prezzo"_s,       u"Pagato"_s,        u"Allegato 1"_s,    u"Allegato 2"_s,
        u"Allegato 3"_s,   u"Descrizione 1"_s, u"Descrizione 2"_s, u"Descrizione 3"_s};
    return nomi.value(int(c));
}

} // namespace

TfrmConflittoScheda::TfrmConflittoScheda(QWidget *genitore, const QList<GruppoCampi> &gruppi,
                                         const TScheda &mia, const TScheda &suDisco)
    : QDialog(genitore) {
    setObjectName(u"TfrmConflittoScheda"_s);
    setWindowTitle(u" Scheda modificata da un'altra postazione"_s);
    auto *colonna = new QVBoxLayout(this);
    auto *spiegazione = new QLabel(
        u"La scheda è stata modificata da un'altra postazione dopo che è stata aperta qui. "
        u"Per ogni gruppo di campi cambiato da entrambe scegliere quale versione tenere; "
        u"i campi cambiati da una sola postazione restano come li ha lasciati, e la giacenza "
        u"somma i movimenti di entrambe."_s,
        this);
    spiegazione->setObjectName(u"lblSpiegazione"_s);
    spiegazione->setWordWrap(true);
    spiegazione->setTextFormat(Qt::PlainText);
    colonna->addWidget(spiegazione);
    auto *modulo = new QFormLayout;
    for (GruppoCampi gruppo : gruppi) {
        QStringList differenze;
        for (Campo c : CampiDelGruppo(gruppo))
            if (mia.testo(c) != suDisco.testo(c))
                differenze << nomeCampo(c) + u": qui \u00AB"_s + mia.testo(c) +
                                  u"\u00BB, altra postazione \u00AB"_s + suDisco.testo(c) +
                                  u"\u00BB"_s;
        auto *scelta = new QComboBox(this);
        scelta->setObjectName(u"cmbGruppo"_s + QString::number(int(gruppo)));
        scelta->addItems({u"Tieni le modifiche di questa postazione"_s,
                          u"Prendi quelle dell'altra postazione"_s});
        auto *etichetta = new QLabel(NomeGruppo(gruppo) + u':', this);
        etichetta->setBuddy(scelta);
        scelta->setToolTip(differenze.join(u'\n'));
        scelta->setAccessibleDescription(differenze.join(u"; "_s));
        modulo->addRow(etichetta, scelta);
        auto *dettaglio = new QLabel(differenze.join(u'\n'), this);
        dettaglio->setTextFormat(Qt::PlainText);
        dettaglio->setWordWrap(true);
        modulo->addRow(QString(), dettaglio);
        cmbGruppi.insert(gruppo, scelta);
    }
    colonna->addLayout(modulo);
    auto *pulsanti = new QHBoxLayout;
    btnSalva = new QPushButton(u"&Salva"_s, this);
    btnSalva->setObjectName(u"btnSalva"_s);
    btnSalva->setDefault(true);
    btnRicarica = new QPushButton(u"&Ricarica la scheda"_s, this);
    btnRicarica->setObjectName(u"btnRicarica"_s);
    btnAnnulla = new QPushButton(u"&Annulla"_s, this);
    btnAnnulla->setObjectName(u"btnAnnulla"_s);
    pulsanti->addStretch();
    pulsanti->addWidget(btnSalva);
    pulsanti->addWidget(btnRicarica);
    pulsanti->addWidget(btnAnnulla);
    colonna->addLayout(pulsanti);
    connect(btnSalva, &QPushButton::clicked, this, [this] {
        m_scelta = Salva;
        accept();
    });
    connect(btnRicarica, &QPushButton::clicked, this, [this] {
        m_scelta = Ricarica;
        accept();
    });
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

QMap<GruppoCampi, bool> TfrmConflittoScheda::tengoLeMie() const {
    QMap<GruppoCampi, bool> scelte;
    for (auto i = cmbGruppi.cbegin(); i != cmbGruppi.cend(); ++i)
        scelte.insert(i.key(), i.value()->currentIndex() == 0);
    return scelte;
}
