#include "sheets/TfrmImportaCsv.h"

#include "access/TfrmGuida.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "journal/Movimenti.h"
#include "platform/Dialoghi.h"
#include "sheets/CsvMagazzino.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QVBoxLayout>
#include <cerrno>
#include <optional>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;

namespace {

QString testoStatoSenzaNota(const RigaImportata &riga);

QString testoStato(const RigaImportata &riga) {
    const QString stato = testoStatoSenzaNota(riga);
    return riga.nota.isEmpty() ? stato : stato + u" ("_s + riga.nota + u')';
}

QString testoStatoSenzaNota(const RigaImportata &riga) {
    switch (riga.stato) {
    case StatoRiga::Nuova:
        return u"nuova scheda"_s;
    case StatoRiga::Invariata:
        return u"già presente"_s;
    case StatoRiga::DaAggiornare: {
        // Each field that changes, with what the card holds and what it gets.
        QStringList campi;
        for (int i : riga.cambiati)
            campi << ColonneCsv()[std::size_t(i)].intestazione + u" da «"_s + riga.prima.value(i) +
                         u"» a «"_s + riga.campi.value(i) + u'»';
        return u"da aggiornare: "_s + campi.join(u"; "_s);
    }
    case StatoRiga::Rifiutata:
        break;
    }
    return riga.motivo;
}

QSettings impostazioni() {
    const QString percorso = QDir(CartellaProgramma()).filePath(u"ImportaCsv.ini"_s);
    // QSettings writes under a lock file of its own, which a copy stopped
    // while writing leaves behind. Taken and let go here only when its owner
    // is gone (QLockFile's own test): a living copy's lock stays.
    const QString blocco = percorso + u".lock"_s;
    if (QFileInfo::exists(blocco)) {
        QLockFile lasciato(blocco);
        if (lasciato.tryLock(0)) lasciato.unlock();
    }
    return QSettings(percorso, QSettings::IniFormat);
}

QString chiaveIntestazione(const QStringList &intestazione) {
    QStringList forme;
    for (const QString &cella : intestazione)
        forme << FormaIntestazione(cella);
    return u"colonne/"_s + QString::fromLatin1(forme.join(u'|').toUtf8().toBase64(
                               QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

QList<int> ColonneRicordate(const QStringList &intestazione) {
    const QStringList valori =
        impostazioni().value(chiaveIntestazione(intestazione)).toStringList();
    if (valori.size() != intestazione.size()) return {};
    QList<int> colonne;
    for (const QString &v : valori) {
        bool ok = false;
        const int campo = v.toInt(&ok);
        if (!ok || campo < -1 || campo >= COLONNE_CSV) return {};
        colonne << campo;
    }
    return colonne;
}

void RicordaColonne(const QStringList &intestazione, const QList<int> &colonne) {
    QStringList valori;
    for (int c : colonne)
        valori << QString::number(c);
    QSettings s = impostazioni();
    s.setValue(chiaveIntestazione(intestazione), valori);
}

// The rows of the file: its line, its state, then each column of the file as
// the card will store it. One row is read at a time and kept while the view
// asks for its cells.
class ModelloAnteprimaCsv : public QAbstractTableModel {
  public:
    ModelloAnteprimaCsv(const Importazione &importazione, QObject *genitore)
        : QAbstractTableModel(genitore), m_importazione(importazione) {}

    void ricarica(bool soloRifiutate) {
        beginResetModel();
        m_soloRifiutate = soloRifiutate;
        m_indici.clear();
        if (soloRifiutate)
            for (qsizetype i = 0; i < m_importazione.righe(); ++i)
                if (m_importazione.stato(i) == StatoRiga::Rifiutata) m_indici.push_back(qint32(i));
        m_letta = -1;
        endResetModel();
    }
    qsizetype indice(int riga) const {
        return m_soloRifiutate ? m_indici[std::size_t(riga)] : riga;
    }
    const RigaImportata &riga(int r) const {
        const qsizetype i = indice(r);
        if (i != m_letta) {
            m_riga = m_importazione.riga(i);
            m_letta = i;
        }
        return m_riga;
    }
    int rowCount(const QModelIndex &genitore = {}) const override {
        if (genitore.isValid()) return 0;
        return int(m_soloRifiutate ? qsizetype(m_indici.size()) : m_importazione.righe());
    }
    int columnCount(const QModelIndex &genitore = {}) const override {
        return genitore.isValid() ? 0 : int(m_importazione.intestazione().size()) + 2;
    }
    QVariant data(const QModelIndex &i, int ruolo) const override {
        if (!i.isValid()) return {};
        const qsizetype n = indice(i.row());
        if (ruolo == Qt::ForegroundRole)
            return m_importazione.stato(n) == StatoRiga::Rifiutata
                       ? QVariant(QBrush(QColor(0xA0, 0x1C, 0x1C)))
                       : QVariant();
        if (ruolo == Qt::ToolTipRole && i.column() == 1) return testoStato(riga(i.row()));
        if (ruolo != Qt::DisplayRole) return {};
        if (i.column() == 0) return QString::number(m_importazione.numero(n));
        const RigaImportata &r = riga(i.row());
        if (i.column() == 1) return testoStato(r);
        // A refused row shows the file's own cells, to see what to mend.
        const int campo = r.stato == StatoRiga::Rifiutata
                              ? -1
                              : m_importazione.scelta().colonne.value(i.column() - 2, -1);
        return campo < 0 ? r.celle.value(i.column() - 2) : r.campi.value(campo);
    }
    QVariant headerData(int sezione, Qt::Orientation verso, int ruolo) const override {
        if (verso != Qt::Horizontal || ruolo != Qt::DisplayRole)
            return QAbstractTableModel::headerData(sezione, verso, ruolo);
        if (sezione == 0) return u"Riga"_s;
        if (sezione == 1) return u"Stato"_s;
        return m_importazione.intestazione().value(sezione - 2);
    }

  private:
    const Importazione &m_importazione;
    bool m_soloRifiutate = false;
    std::vector<qint32> m_indici;
    mutable qsizetype m_letta = -1;
    mutable RigaImportata m_riga;
};

TfrmImportaCsv::TfrmImportaCsv(QWidget *genitore, Importazione importazione,
                               const QString &nomeFile, Deposito &deposito)
    : QDialog(genitore), m_importazione(std::move(importazione)), m_nomeFile(nomeFile),
      m_deposito(deposito) {
    setObjectName(u"frmImportaCsv"_s);
    setWindowTitle(u" Importa schede da CSV"_s);
    setAccessibleName(windowTitle().trimmed());
    // On a server the title says which archive the window works on.
    TitoloConArchivio(this);
    setModal(true);
    resize(1100, 680);
    setMinimumSize(800, 560);

    QFont verdana(u"Verdana"_s);
    verdana.setPointSize(11);
    m_lblRiepilogo = new QLabel(this);
    m_lblRiepilogo->setObjectName(u"lblRiepilogo"_s);
    m_lblRiepilogo->setWordWrap(true);
    m_lblRiepilogo->setFont(verdana);
    m_lblNote = new QLabel(this);
    m_lblNote->setObjectName(u"lblNote"_s);
    m_lblNote->setWordWrap(true);
    m_lblNote->setTextFormat(Qt::PlainText);

    // Values for every row, for what the file has no column for.
    auto casella = [this](const QString &nome, const QString &etichetta, QLineEdit *&campo,
                          const QString &valore) {
        auto *pannello = new QWidget(this);
        auto *riga = new QHBoxLayout(pannello);
        riga->setContentsMargins(0, 0, 0, 0);
        auto *lbl = new QLabel(etichetta, pannello);
        campo = new QLineEdit(valore, pannello);
        campo->setObjectName(nome);
        campo->setAccessibleName(etichetta.chopped(1).remove(u'&'));
        lbl->setBuddy(campo);
        riga->addWidget(lbl);
        riga->addWidget(campo, 1);
        connect(campo, &QLineEdit::editingFinished, this, &TfrmImportaCsv::ricalcola);
        return pannello;
    };
    const SceltaImportazione iniziale;
    m_panNome = casella(u"txtNomePerTutte"_s, u"&Nome prodotto per tutte le righe:"_s, m_txtNome,
                        iniziale.nome);
    m_panCosto = casella(u"txtCostoPerTutte"_s, u"C&osto unitario per tutte le righe:"_s,
                         m_txtCosto, iniziale.costo);
    m_panCategoria =
        casella(u"txtCategoriaPerTutte"_s, u"C&ategoria merceologica per tutte le righe:"_s,
                m_txtCategoria, iniziale.categoria);
    m_txtNome->setMaxLength(definizione(Campo::Nome).massimo);
    m_txtCosto->setMaxLength(definizione(Campo::Costo).massimo);
    m_txtCategoria->setMaxLength(definizione(Campo::Tipologia).massimo);

    auto *lblPagato = new QLabel(u"&Pagato, dove il file non lo dice:"_s, this);
    m_cboPagato = new QComboBox(this);
    m_cboPagato->setObjectName(u"cboPagato"_s);
    m_cboPagato->addItems({u"Sì"_s, u"No"_s});
    m_cboPagato->setAccessibleName(u"Pagato, dove il file non lo dice"_s);
    lblPagato->setBuddy(m_cboPagato);
    auto *lblGiacenza = new QLabel(u"&Giacenza delle schede da aggiornare:"_s, this);
    m_cboGiacenza = new QComboBox(this);
    m_cboGiacenza->setObjectName(u"cboGiacenza"_s);
    m_cboGiacenza->addItems({u"sostituirla con quella del file"_s,
                             u"aggiungerle la quantità del file"_s, u"lasciarla com'è"_s});
    // A supplier's list tells its prices, not the shop's shelves: the day's
    // sales stay unless the user asks otherwise.
    m_cboGiacenza->setCurrentIndex(2);
    m_cboGiacenza->setAccessibleName(u"Giacenza delle schede da aggiornare"_s);
    lblGiacenza->setBuddy(m_cboGiacenza);
    auto *opzioni = new QHBoxLayout;
    opzioni->addWidget(lblPagato);
    opzioni->addWidget(m_cboPagato);
    opzioni->addSpacing(24);
    opzioni->addWidget(lblGiacenza);
    opzioni->addWidget(m_cboGiacenza);
    opzioni->addStretch(1);

    m_chkSoloRifiutate =
        new QCheckBox(u"Mostra &solo le righe da correggere (non importate)"_s, this);
    m_chkSoloRifiutate->setObjectName(u"chkSoloRifiutate"_s);

    // The row of drop-downs, one over each column of the file.
    m_panColonne = new QWidget(this);
    m_panColonne->setObjectName(u"panColonne"_s);
    m_panColonne->setFixedHeight(30);
    auto *lblColonne = new QLabel(u"Campo di ogni colonna del file:"_s, m_panColonne);
    lblColonne->setGeometry(4, 2, 340, 26);
    QStringList scelte{u"non importare"_s};
    for (const ColonnaCsv &c : ColonneCsv())
        scelte << c.intestazione;
    const QStringList &intestazione = m_importazione.intestazione();
    QList<int> colonne = ColonneRicordate(intestazione);
    if (colonne.isEmpty()) colonne = m_importazione.colonneRiconosciute();
    for (qsizetype c = 0; c < intestazione.size(); ++c) {
        auto *cbo = new QComboBox(m_panColonne);
        cbo->setObjectName(u"cboColonna"_s + QString::number(c + 1));
        cbo->addItems(scelte);
        cbo->setCurrentIndex(colonne.value(c, -1) + 1);
        cbo->setAccessibleName(u"Colonna \""_s + intestazione[c] + u"\": campo"_s);
        connect(cbo, &QComboBox::activated, this, &TfrmImportaCsv::ricalcola);
        m_cboColonne << cbo;
    }

    m_modello = new ModelloAnteprimaCsv(m_importazione, this);
    m_grdAnteprima = new QTableView(this);
    m_grdAnteprima->setObjectName(u"grdAnteprima"_s);
    m_grdAnteprima->setAccessibleName(u"Righe del file"_s);
    m_grdAnteprima->setModel(m_modello);
    m_grdAnteprima->setAlternatingRowColors(true);
    m_grdAnteprima->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdAnteprima->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdAnteprima->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grdAnteprima->setTabKeyNavigation(false);
    m_grdAnteprima->verticalHeader()->hide();
    m_grdAnteprima->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grdAnteprima->verticalHeader()->setDefaultSectionSize(21);
    m_grdAnteprima->setColumnWidth(0, 50);
    m_grdAnteprima->setColumnWidth(1, 300);
    for (int c = 2; c < m_modello->columnCount(); ++c)
        m_grdAnteprima->setColumnWidth(c, 150);

    // The whole state of the current row, wrapped.
    m_lblMotivo = new QLabel(this);
    m_lblMotivo->setObjectName(u"lblMotivo"_s);
    m_lblMotivo->setWordWrap(true);
    m_lblMotivo->setTextFormat(Qt::PlainText);
    m_lblMotivo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblMotivo->setMinimumHeight(40);
    m_lblMotivo->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *btnAnnulla = new QPushButton(u"Annulla"_s, this);
    btnAnnulla->setObjectName(u"btnAnnulla"_s);
    btnAnnulla->setAutoDefault(true);
    m_btnImporta = new QPushButton(u"&Importa"_s, this);
    m_btnImporta->setObjectName(u"btnImporta"_s);
    m_btnImporta->setAccessibleName(u"Importa"_s);
    m_btnImporta->setAutoDefault(true);
    auto *btnGuida = new QPushButton(u"&Guida"_s, this);
    btnGuida->setObjectName(u"btnGuida"_s);
    btnGuida->setAccessibleName(u"Guida"_s);
    btnGuida->setAutoDefault(false);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(m_chkSoloRifiutate);
    pulsanti->addStretch(1);
    pulsanti->addWidget(btnGuida);
    pulsanti->addWidget(btnAnnulla);
    pulsanti->addWidget(m_btnImporta);

    auto *colonna = new QVBoxLayout(this);
    colonna->addWidget(m_lblRiepilogo);
    colonna->addWidget(m_lblNote);
    colonna->addWidget(m_panNome);
    colonna->addWidget(m_panCosto);
    colonna->addWidget(m_panCategoria);
    colonna->addLayout(opzioni);
    colonna->addWidget(m_panColonne);
    colonna->addWidget(m_grdAnteprima, 1);
    colonna->addWidget(m_lblMotivo);
    colonna->addLayout(pulsanti);

    QWidget *precedente = m_txtNome;
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_txtCosto, m_txtCategoria, m_cboPagato, m_cboGiacenza}) {
        setTabOrder(precedente, w);
        precedente = w;
    }
    for (QComboBox *cbo : std::as_const(m_cboColonne)) {
        setTabOrder(precedente, cbo);
        precedente = cbo;
    }
    for (QWidget *w : std::initializer_list<QWidget *>{m_grdAnteprima, m_chkSoloRifiutate, btnGuida,
                                                       btnAnnulla, m_btnImporta}) {
        setTabOrder(precedente, w);
        precedente = w;
    }

    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnGuida, &QPushButton::clicked, this,
            [this] { ApriGuida(this, TemaGuida::Importazione); });
    connect(m_btnImporta, &QPushButton::clicked, this, &TfrmImportaCsv::btnImportaClick);
    connect(m_cboPagato, &QComboBox::activated, this, &TfrmImportaCsv::ricalcola);
    connect(m_cboGiacenza, &QComboBox::activated, this, &TfrmImportaCsv::ricalcola);
    connect(m_chkSoloRifiutate, &QCheckBox::toggled, this, [this](bool solo) {
        m_modello->ricarica(solo);
        mostraRigaCorrente();
    });
    connect(m_grdAnteprima->horizontalHeader(), &QHeaderView::sectionResized, this,
            &TfrmImportaCsv::allineaColonne);
    connect(m_grdAnteprima->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &TfrmImportaCsv::allineaColonne);

    if (colonne != m_importazione.scelta().colonne)
        ricalcola();
    else
        aggiornaTesti();
    m_grdAnteprima->setFocus();
}

TfrmImportaCsv::~TfrmImportaCsv() {
    // The grid and its model read the rows, which go before the children do.
    delete m_grdAnteprima;
    delete m_modello;
}

SceltaImportazione TfrmImportaCsv::sceltaCorrente() const {
    SceltaImportazione scelta;
    for (QComboBox *cbo : m_cboColonne)
        scelta.colonne << cbo->currentIndex() - 1;
    scelta.nome = m_txtNome->text();
    scelta.costo = m_txtCosto->text();
    scelta.categoria = m_txtCategoria->text();
    scelta.pagato = m_cboPagato->currentIndex() == 0;
    scelta.giacenza = ModoGiacenza(m_cboGiacenza->currentIndex());
    return scelta;
}

void TfrmImportaCsv::ricalcola() {
    // A field goes to one column: choosing it again takes it from the other one.
    auto *mossa = qobject_cast<QComboBox *>(sender());
    if (mossa && m_cboColonne.contains(mossa) && mossa->currentIndex() > 0)
        for (QComboBox *cbo : std::as_const(m_cboColonne))
            if (cbo != mossa && cbo->currentIndex() == mossa->currentIndex())
                cbo->setCurrentIndex(0);
    const bool letto = m_importazione.valuta(sceltaCorrente(), m_deposito);
    aggiornaTesti();
    // Without the cards, rows that would update one look new: nothing to write.
    if (!letto && !dynamic_cast<DepositoFile *>(&m_deposito)) {
        m_btnImporta->setEnabled(false);
        dialoghi().messaggioSemplice(this, m_deposito.messaggio());
    }
}

void TfrmImportaCsv::aggiornaTesti() {
    m_modello->ricarica(m_chkSoloRifiutate->isChecked());
    const qsizetype totale = m_importazione.righe();
    QString testo = u"File "_s + m_nomeFile + u": "_s + QString::number(totale) +
                    (totale == 1 ? u" riga: "_s : u" righe: "_s) +
                    QString::number(m_importazione.nuove()) +
                    (m_importazione.nuove() == 1 ? u" nuova scheda, "_s : u" nuove schede, "_s) +
                    QString::number(m_importazione.aggiornate()) + u" da aggiornare, "_s +
                    QString::number(m_importazione.invariate()) + u" già presenti e "_s +
                    QString::number(m_importazione.rifiutate()) + u" rifiutate."_s;
    m_lblRiepilogo->setText(testo);
    m_lblRiepilogo->setAccessibleName(testo);

    const QList<int> &colonne = m_importazione.scelta().colonne;
    auto manca = [&colonne](Campo campo) {
        for (int c : colonne)
            if (c >= 0 && ColonneCsv()[std::size_t(c)].campo == campo) return false;
        return true;
    };
    m_panNome->setVisible(manca(Campo::Nome));
    m_panCosto->setVisible(manca(Campo::Costo));
    m_panCategoria->setVisible(manca(Campo::Tipologia));

    QStringList note;
    if (manca(Campo::Codice))
        note
            << u"Nessuna colonna porta il codice articolo: sceglierla tra i campi delle colonne."_s;
    if (m_importazione.virgoletteAperte)
        note << u"Attenzione: nel file ci sono virgolette non chiuse; l'ultimo campo arriva "
                "fino alla fine del file."_s;
    m_lblNote->setText(note.join(u'\n'));
    m_lblNote->setAccessibleName(m_lblNote->text());
    m_lblNote->setVisible(!note.isEmpty());
    m_btnImporta->setEnabled(m_importazione.nuove() + m_importazione.aggiornate() > 0);
    mostraRigaCorrente();
    allineaColonne();
}

void TfrmImportaCsv::mostraRigaCorrente() {
    const QModelIndex corrente = m_grdAnteprima->currentIndex();
    QString testo;
    if (corrente.isValid()) {
        const RigaImportata &riga = m_modello->riga(corrente.row());
        testo = u"Riga "_s + QString::number(riga.numero) + u": "_s + testoStato(riga);
    } else if (m_modello->rowCount() == 0) {
        testo = u"Nessuna riga da mostrare."_s;
    } else {
        testo = u"Scegliere una riga per leggerne lo stato per intero."_s;
    }
    m_lblMotivo->setText(testo);
    m_lblMotivo->setAccessibleName(testo);
    if (m_grdAnteprima->selectionModel())
        connect(m_grdAnteprima->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &TfrmImportaCsv::mostraRigaCorrente, Qt::UniqueConnection);
}

void TfrmImportaCsv::allineaColonne() {
    const QHeaderView *testata = m_grdAnteprima->horizontalHeader();
    const int scarto = m_grdAnteprima->viewport()->mapTo(this, QPoint(0, 0)).x() -
                       m_panColonne->mapTo(this, QPoint(0, 0)).x();
    for (qsizetype c = 0; c < m_cboColonne.size(); ++c) {
        const int sezione = int(c) + 2;
        const int x = testata->sectionViewportPosition(sezione);
        m_cboColonne[c]->setGeometry(scarto + x, 2, testata->sectionSize(sezione), 26);
    }
}

void TfrmImportaCsv::resizeEvent(QResizeEvent *evento) {
    QDialog::resizeEvent(evento);
    allineaColonne();
}

void TfrmImportaCsv::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    allineaColonne();
}

std::vector<qsizetype> TfrmImportaCsv::righeNuove() const {
    std::vector<qsizetype> righe;
    for (qsizetype i = 0; i < m_importazione.righe(); ++i)
        if (m_importazione.stato(i) == StatoRiga::Nuova) righe.push_back(i);
    return righe;
}

void TfrmImportaCsv::btnImportaClick() {
    // Boxes left by a click on Importa count as they read.
    if (m_importazione.scelta().nome != m_txtNome->text() ||
        m_importazione.scelta().costo != m_txtCosto->text() ||
        m_importazione.scelta().categoria != m_txtCategoria->text()) {
        ricalcola();
        if (!m_btnImporta->isEnabled()) return;
    }
    const ScritturaImportazione esito = ScriviImportazione(
        m_importazione, m_deposito, u"Importazione da "_s + QFileInfo(m_nomeFile).fileName());
    if (esito.prima < 0) {
        const QString nulla = u"Nessuna scheda è stata aggiunta o modificata."_s;
        if (!esito.messaggio.isEmpty())
            dialoghi().messaggioSemplice(this, esito.messaggio + u"\r\n\r\n"_s + nulla);
        else if (esito.errore == ESTALE)
            dialoghi().messaggioSemplice(
                this, u"Attenzione: una scheda da aggiornare è stata cambiata nel frattempo, "
                      "forse da un'altra copia del programma.\r\n\r\n"_s +
                          nulla + u" Scegliere di nuovo il file per rivederne le righe."_s);
        else if (esito.errore == ECANCELED)
            // The cards and their movements go together: without the lines, no card.
            dialoghi().messaggioSemplice(
                this, u"Attenzione: il giornale Movimenti.csv non può essere scritto, e "
                      "l'importazione cambia giacenze che vi devono essere registrate.\r\n\r\n"_s +
                          nulla +
                          u" Controllare lo spazio libero sul disco e i permessi della cartella "
                          "del programma."_s);
        else
            dialoghi().messaggioSemplice(this, MessaggioScritturaArchivio(esito.errore) +
                                                   u"\r\n\r\n"_s + nulla);
        return;
    }
    m_prima = esito.prima;
    m_aggiornate = esito.aggiornate;
    RicordaColonne(m_importazione.intestazione(), m_importazione.scelta().colonne);
    const qsizetype invariate = m_importazione.invariate();
    const qsizetype aggiornate = qsizetype(esito.aggiornate.size());
    const qsizetype saltate = m_importazione.righe() - esito.nuove - aggiornate - invariate;
    dialoghi().messaggioSemplice(
        this, u"Schede aggiunte all'archivio: "_s + QString::number(esito.nuove) +
                  u".\r\nSchede aggiornate: "_s + QString::number(aggiornate) +
                  u".\r\nRighe invariate: "_s + QString::number(invariate) +
                  u".\r\nRighe saltate: "_s + QString::number(saltate) + u'.');
    accept();
}
