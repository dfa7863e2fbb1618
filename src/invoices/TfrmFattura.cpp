#include "invoices/TfrmFattura.h"

#include "access/TfrmGuida.h"
#include "archive/Importi.h"
#include "invoices/CaricoFattura.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::Risposta;

namespace {

enum Colonna {
    CNumero,
    CCodici,
    CDescrizione,
    CQuantita,
    CUnita,
    CPrezzo,
    CSconti,
    CTotale,
    CIva,
    CScheda,
    COLONNE
};

QString Data(const QDate &d) {
    return d.toString(u"dd/MM/yyyy"_s);
}

QString Codici(const RigaFattura &r) {
    QStringList elenco;
    for (const CodiceArticolo &c : r.codici)
        elenco << c.tipo + u' ' + c.valore;
    return elenco.join(u", "_s);
}

QString Sconti(const RigaFattura &r) {
    QStringList elenco;
    for (const ScontoMaggiorazione &s : r.sconti)
        elenco << (s.maggiorazione ? u"+"_s : u"-"_s) + (s.percentuale.presente()
                                                             ? TestoNumero(s.percentuale) + u'%'
                                                             : TestoNumero(s.importo));
    return elenco.join(u' ');
}

QString TestoAbbinamento(const AbbinamentoRiga &a) {
    switch (a.stato) {
    case StatoAbbinamento::Scheda: {
        QString origine;
        switch (a.origine) {
        case OrigineAbbinamento::Ricordata:
            origine = u" (come l'ultima volta)"_s;
            break;
        case OrigineAbbinamento::Ean:
            origine = u" (codice EAN)"_s;
            break;
        case OrigineAbbinamento::CodiceFornitore:
            origine = u" (codice del fornitore)"_s;
            break;
        default:
            break;
        }
        return a.scheda.codice + u" – "_s + a.scheda.nome + origine;
    }
    case StatoAbbinamento::Nuova:
        return u"Nuova scheda: "_s + a.nuova.codice + u" – "_s + a.nuova.nome;
    case StatoAbbinamento::NonMerce:
        return u"Non è merce"_s + (a.nota.isEmpty() ? QString() : u" ("_s + a.nota + u')');
    case StatoAbbinamento::DaScegliere:
        break;
    }
    return u"Da scegliere"_s + (a.nota.isEmpty() ? QString() : u" ("_s + a.nota + u')');
}

QLabel *Etichetta(const QString &testo, QWidget *casella, QWidget *genitore) {
    auto *l = new QLabel(testo, genitore);
    l->setObjectName(u"lbl"_s + casella->objectName().mid(3));
    l->setBuddy(casella);
    casella->setAccessibleName(QString(testo).remove(u'&').remove(u':'));
    return l;
}

QPushButton *Pulsante(const QString &nome, const QString &testo, QWidget *genitore) {
    auto *b = new QPushButton(testo, genitore);
    b->setObjectName(nome);
    b->setAccessibleName(QString(testo).remove(u'&').remove(u"..."_s));
    b->setAutoDefault(false);
    return b;
}

// Picks a card by a part of its code or name.
class TfrmSceltaScheda : public QDialog {
  public:
    TfrmSceltaScheda(QWidget *genitore, const QString &archivio, const QString &iniziale)
        : QDialog(genitore), m_archivio(archivio) {
        setObjectName(u"TfrmSceltaScheda"_s);
        setWindowTitle(u" Scegli la scheda"_s);
        m_txtCerca = new QLineEdit(this);
        m_txtCerca->setObjectName(u"txtCerca"_s);
        auto *etichetta = Etichetta(u"&Cerca nel codice o nel nome:"_s, m_txtCerca, this);
        m_lstSchede = new QListWidget(this);
        m_lstSchede->setObjectName(u"lstSchede"_s);
        m_lstSchede->setAccessibleName(u"Schede trovate"_s);
        auto *pulsanti =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        pulsanti->setObjectName(u"pulsanti"_s);
        pulsanti->button(QDialogButtonBox::Ok)->setObjectName(u"btnOk"_s);
        pulsanti->button(QDialogButtonBox::Ok)->setText(u"Scegli"_s);
        pulsanti->button(QDialogButtonBox::Ok)->setAccessibleName(u"Scegli"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setObjectName(u"btnAnnulla"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setText(u"Annulla"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setAccessibleName(u"Annulla"_s);
        auto *colonna = new QVBoxLayout(this);
        colonna->addWidget(etichetta);
        colonna->addWidget(m_txtCerca);
        colonna->addWidget(m_lstSchede, 1);
        colonna->addWidget(pulsanti);
        resize(560, 420);
        connect(pulsanti, &QDialogButtonBox::accepted, this, &TfrmSceltaScheda::scegli);
        connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(m_lstSchede, &QListWidget::itemActivated, this, &TfrmSceltaScheda::scegli);
        connect(m_txtCerca, &QLineEdit::textChanged, this, &TfrmSceltaScheda::cerca);
        m_txtCerca->installEventFilter(this);
        m_txtCerca->setText(iniziale);
        cerca();
        m_txtCerca->selectAll();
    }
    SchedaTrovata scelta() const { return m_scelta; }

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override {
        // Down from the box goes to the list, as in a search field.
        if (oggetto == m_txtCerca && evento->type() == QEvent::KeyPress) {
            const int tasto = static_cast<QKeyEvent *>(evento)->key();
            if ((tasto == Qt::Key_Down || tasto == Qt::Key_PageDown) && m_lstSchede->count()) {
                m_lstSchede->setFocus();
                if (m_lstSchede->currentRow() < 0) m_lstSchede->setCurrentRow(0);
                return true;
            }
        }
        return QDialog::eventFilter(oggetto, evento);
    }

  private:
    void cerca() {
        m_trovate = ArchivioSuServer() ? CercaSchede(DepositoCorrente(), m_txtCerca->text())
                                       : CercaSchede(m_archivio, m_txtCerca->text());
        m_lstSchede->clear();
        for (const SchedaTrovata &s : std::as_const(m_trovate))
            m_lstSchede->addItem(s.codice + u" – "_s + s.nome + u"  (giacenza "_s + s.giacenza +
                                 u", costo "_s + s.costo + u')');
        if (!m_trovate.isEmpty()) m_lstSchede->setCurrentRow(0);
    }
    void scegli() {
        const int riga = m_lstSchede->currentRow();
        if (riga < 0 || riga >= m_trovate.size()) {
            dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                                 u"Attenzione: nessuna scheda scelta: scrivere una parte del "
                                 u"codice o del nome e scegliere una scheda dell'elenco."_s);
            return;
        }
        m_scelta = m_trovate[riga];
        accept();
    }

    QString m_archivio;
    QLineEdit *m_txtCerca = nullptr;
    QListWidget *m_lstSchede = nullptr;
    QList<SchedaTrovata> m_trovate;
    SchedaTrovata m_scelta;
};

// The data of a new card made from a line.
class TfrmNuovaScheda : public QDialog {
  public:
    TfrmNuovaScheda(QWidget *genitore, const DatiNuovaScheda &dati) : QDialog(genitore) {
        setObjectName(u"TfrmNuovaScheda"_s);
        setWindowTitle(u" Nuova scheda dalla fattura"_s);
        auto *modulo = new QFormLayout;
        auto casella = [&](const QString &nome, const QString &testo, const QString &valore) {
            auto *c = new QLineEdit(valore, this);
            c->setObjectName(nome);
            modulo->addRow(Etichetta(testo, c, this), c);
            return c;
        };
        m_codice = casella(u"txtCodice"_s, u"C&odice:"_s, dati.codice);
        m_nome = casella(u"txtNome"_s, u"&Nome:"_s, dati.nome);
        m_categoria = casella(u"txtCategoria"_s, u"C&ategoria:"_s, dati.categoria);
        m_costo = casella(u"txtCosto"_s, u"Cos&to:"_s, dati.costo);
        auto *pulsanti =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        pulsanti->button(QDialogButtonBox::Ok)->setObjectName(u"btnOk"_s);
        pulsanti->button(QDialogButtonBox::Ok)->setText(u"OK"_s);
        pulsanti->button(QDialogButtonBox::Ok)->setAccessibleName(u"OK"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setObjectName(u"btnAnnulla"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setText(u"Annulla"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setAccessibleName(u"Annulla"_s);
        auto *nota = new QLabel(u"Il fornitore, la giacenza e il documento di acquisto vengono "
                                u"dalla fattura."_s,
                                this);
        nota->setObjectName(u"lblNota"_s);
        nota->setWordWrap(true);
        auto *colonna = new QVBoxLayout(this);
        colonna->addLayout(modulo);
        colonna->addWidget(nota);
        colonna->addWidget(pulsanti);
        resize(520, 220);
        connect(pulsanti, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }
    DatiNuovaScheda dati() const {
        return {m_codice->text().trimmed(), m_nome->text().trimmed(), m_categoria->text().trimmed(),
                m_costo->text().trimmed()};
    }

  private:
    QLineEdit *m_codice, *m_nome, *m_categoria, *m_costo;
};

// What the receiving will do to each card, before it is done.
class TfrmAnteprimaCarico : public QDialog {
  public:
    TfrmAnteprimaCarico(QWidget *genitore, const PianoCarico &piano, const QString &titolo)
        : QDialog(genitore) {
        setObjectName(u"TfrmAnteprimaCarico"_s);
        setWindowTitle(u" Anteprima del carico"_s);
        auto *intestazione = new QLabel(titolo, this);
        intestazione->setObjectName(u"lblTitolo"_s);
        intestazione->setTextFormat(Qt::PlainText);
        intestazione->setWordWrap(true);
        ValoreAccessibile(intestazione, u"Carico"_s);
        auto *griglia = new QTableWidget(int(piano.schede.size()), 4, this);
        griglia->setObjectName(u"grdAnteprima"_s);
        griglia->setAccessibleName(u"Schede del carico"_s);
        griglia->setHorizontalHeaderLabels(
            {u"Codice"_s, u"Nome"_s, u"Giacenza prima → dopo"_s, u"Costo prima → dopo"_s});
        griglia->setEditTriggers(QAbstractItemView::NoEditTriggers);
        griglia->setSelectionBehavior(QAbstractItemView::SelectRows);
        griglia->setTabKeyNavigation(false);
        griglia->verticalHeader()->hide();
        for (int i = 0; i < piano.schede.size(); ++i) {
            const AnteprimaScheda &a = piano.schede[i];
            const bool nuova = a.posizione == 0;
            const QString giacenza =
                (nuova ? u"nuova"_s : a.giacenzaPrima) + u" → "_s + a.giacenzaDopo;
            const QString costo = (nuova ? u"nuova"_s : a.costoPrima) + u" → "_s + a.costoDopo;
            const QStringList celle{a.codice, a.nome, giacenza, costo};
            for (int c = 0; c < 4; ++c)
                griglia->setItem(i, c, new QTableWidgetItem(celle[c]));
        }
        griglia->setColumnWidth(0, 140);
        griglia->setColumnWidth(1, 300);
        griglia->setColumnWidth(2, 170);
        griglia->setColumnWidth(3, 170);
        auto *btnCarica = Pulsante(u"btnConferma"_s, u"&Carica"_s, this);
        btnCarica->setDefault(true);
        btnCarica->setAutoDefault(true);
        auto *btnAnnulla = Pulsante(u"btnAnnulla"_s, u"&Annulla"_s, this);
        auto *riga = new QHBoxLayout;
        riga->addStretch(1);
        riga->addWidget(btnAnnulla);
        riga->addWidget(btnCarica);
        auto *colonna = new QVBoxLayout(this);
        colonna->addWidget(intestazione);
        colonna->addWidget(griglia, 1);
        colonna->addLayout(riga);
        resize(840, 480);
        connect(btnCarica, &QPushButton::clicked, this, &QDialog::accept);
        connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
        btnCarica->setFocus();
    }
};

} // namespace

TfrmFattura::TfrmFattura(QWidget *genitore, QList<FileFattura> file, const QString &archivio,
                         const QString &giornale)
    : QDialog(genitore), m_file(std::move(file)), m_archivio(archivio), m_giornale(giornale) {
    setObjectName(u"TfrmFattura"_s);
    setWindowTitle(u" Carico da fattura elettronica"_s);
    // On a server the title says which archive the window works on.
    TitoloConArchivio(this);
    if (!m_ricordati.leggi(
            QFileInfo(archivio).absoluteDir().filePath(u"AbbinamentiFatture.json"_s)))
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                             u"Attenzione: il file AbbinamentiFatture.json non può essere letto: "
                             u"le scelte delle fatture precedenti non vengono usate."_s);

    m_cboFattura = new QComboBox(this);
    m_cboFattura->setObjectName(u"cboFattura"_s);
    auto *lblFattura = Etichetta(u"&Fattura:"_s, m_cboFattura, this);
    for (int f = 0; f < m_file.size(); ++f)
        for (int i = 0; i < m_file[f].fatture.size(); ++i) {
            const Fattura &ft = m_file[f].fatture[i];
            m_voci << Voce{f, i, {}, false};
            m_cboFattura->addItem(NomeTipoDocumento(ft.tipo) + u" n. "_s + ft.numero + u" del "_s +
                                  Data(ft.data) + u" – "_s + ft.fornitore.denominazione + u"  ("_s +
                                  m_file[f].nome + u')');
        }

    m_lblIntestazione = new QLabel(this);
    m_lblIntestazione->setObjectName(u"lblIntestazione"_s);
    m_lblIntestazione->setTextFormat(Qt::PlainText);
    m_lblIntestazione->setWordWrap(true);
    m_lblIntestazione->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ValoreAccessibile(m_lblIntestazione, u"Intestazione della fattura"_s);

    m_txtDitta = new QLineEdit(this);
    m_txtDitta->setObjectName(u"txtDitta"_s);
    auto *lblDitta = Etichetta(u"Fornitore sulle &schede:"_s, m_txtDitta, this);
    m_cboCosto = new QComboBox(this);
    m_cboCosto->setObjectName(u"cboCosto"_s);
    m_cboCosto->addItems({u"sempre il prezzo netto della fattura"_s,
                          u"il prezzo netto solo se più alto"_s, u"mai (resta com'è)"_s});
    m_cboCosto->setCurrentIndex(int(m_ricordati.politica));
    auto *lblCosto = Etichetta(u"C&osto delle schede:"_s, m_cboCosto, this);

    m_grdRighe = new QTableWidget(0, COLONNE, this);
    m_grdRighe->setObjectName(u"grdRighe"_s);
    m_grdRighe->setAccessibleName(u"Righe della fattura"_s);
    m_grdRighe->setHorizontalHeaderLabels(
        {u"N."_s, u"Codici articolo"_s, u"Descrizione"_s, u"Quantità"_s, u"U.M."_s,
         u"Prezzo unitario"_s, u"Sconti"_s, u"Prezzo totale"_s, u"IVA %"_s, u"Scheda"_s});
    m_grdRighe->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdRighe->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdRighe->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grdRighe->setTabKeyNavigation(false);
    m_grdRighe->setWordWrap(false);
    m_grdRighe->verticalHeader()->hide();
    m_grdRighe->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grdRighe->verticalHeader()->setDefaultSectionSize(22);
    const int larghezze[COLONNE] = {40, 150, 260, 70, 45, 115, 80, 100, 50, 320};
    for (int c = 0; c < COLONNE; ++c)
        m_grdRighe->setColumnWidth(c, larghezze[c]);

    m_lblRiga = new QLabel(this);
    m_lblRiga->setObjectName(u"lblRiga"_s);
    m_lblRiga->setTextFormat(Qt::PlainText);
    m_lblRiga->setWordWrap(true);
    m_lblRiga->setMinimumHeight(36);
    ValoreAccessibile(m_lblRiga, u"Riga scelta"_s);
    m_lblRiepilogo = new QLabel(this);
    m_lblRiepilogo->setObjectName(u"lblRiepilogo"_s);
    m_lblRiepilogo->setTextFormat(Qt::PlainText);
    ValoreAccessibile(m_lblRiepilogo, u"Riepilogo"_s);

    m_btnScegli = Pulsante(u"btnScegli"_s, u"Sc&egli scheda... (Invio)"_s, this);
    m_btnScegli->setAccessibleName(u"Scegli scheda"_s);
    m_btnNuova = Pulsante(u"btnNuova"_s, u"&Nuova scheda..."_s, this);
    m_btnNonMerce = Pulsante(u"btnNonMerce"_s, u"Non è &merce"_s, this);
    m_btnCarica = Pulsante(u"btnCarica"_s, u"&Carica..."_s, this);
    auto *btnGuida = Pulsante(u"btnGuida"_s, u"&Guida"_s, this);
    auto *btnChiudi = Pulsante(u"btnChiudi"_s, u"C&hiudi"_s, this);

    auto *modulo = new QFormLayout;
    modulo->addRow(lblFattura, m_cboFattura);
    modulo->addRow(lblDitta, m_txtDitta);
    modulo->addRow(lblCosto, m_cboCosto);
    auto *riga = new QHBoxLayout;
    for (QPushButton *b : {m_btnScegli, m_btnNuova, m_btnNonMerce})
        riga->addWidget(b);
    riga->addStretch(1);
    for (QPushButton *b : {btnGuida, btnChiudi, m_btnCarica})
        riga->addWidget(b);
    auto *colonna = new QVBoxLayout(this);
    colonna->addLayout(modulo);
    colonna->addWidget(m_lblIntestazione);
    colonna->addWidget(m_grdRighe, 1);
    colonna->addWidget(m_lblRiga);
    colonna->addWidget(m_lblRiepilogo);
    colonna->addLayout(riga);
    resize(1240, 720);

    QWidget *ordine[] = {m_cboFattura, m_txtDitta,    m_cboCosto, m_grdRighe, m_btnScegli,
                         m_btnNuova,   m_btnNonMerce, btnGuida,   btnChiudi,  m_btnCarica};
    for (std::size_t i = 1; i < std::size(ordine); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    connect(m_cboFattura, &QComboBox::currentIndexChanged, this, &TfrmFattura::mostraFattura);
    connect(m_grdRighe, &QTableWidget::currentCellChanged, this, [this](int r) { mostraRiga(r); });
    connect(m_grdRighe, &QTableWidget::cellActivated, this, [this] { btnScegliClick(); });
    connect(m_btnScegli, &QPushButton::clicked, this, &TfrmFattura::btnScegliClick);
    connect(m_btnNuova, &QPushButton::clicked, this, &TfrmFattura::btnNuovaClick);
    connect(m_btnNonMerce, &QPushButton::clicked, this, &TfrmFattura::btnNonMerceClick);
    connect(m_btnCarica, &QPushButton::clicked, this, &TfrmFattura::btnCaricaClick);
    connect(btnGuida, &QPushButton::clicked, this, [this] { ApriGuida(this, TemaGuida::Fatture); });
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);

    if (!m_voci.isEmpty()) mostraFattura(0);
    m_grdRighe->setFocus();
}

const Fattura &TfrmFattura::fattura() const {
    const Voce &v = m_voci[m_corrente];
    return m_file[v.file].fatture[v.fattura];
}

int TfrmFattura::rigaCorrente() const {
    const int r = m_grdRighe->currentRow();
    return r >= 0 && r < m_grdRighe->rowCount() ? r : -1;
}

void TfrmFattura::mostraFattura(int indice) {
    if (indice < 0 || indice >= m_voci.size()) return;
    m_corrente = indice;
    const Fattura &f = fattura();
    Voce &v = voce();
    if (!v.letta) {
        bool letto = true;
        v.righe = ArchivioSuServer() ? AbbinaRighe(f, m_ricordati, DepositoCorrente(), &letto)
                                     : AbbinaRighe(f, m_ricordati, m_archivio, &letto);
        v.letta = true;
        if (!letto)
            dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                                 ArchivioSuServer()
                                     ? DepositoCorrente().messaggio() +
                                           u" Le righe non sono state confrontate con le schede."_s
                                     : u"Attenzione: l'archivio non può essere letto: le righe non "
                                       u"sono state confrontate con le schede."_s);
    }
    QStringList testo;
    testo << u"Fornitore: "_s + f.fornitore.denominazione +
                 (f.fornitore.partitaIva.isEmpty()
                      ? (f.fornitore.codiceFiscale.isEmpty()
                             ? QString()
                             : u" – codice fiscale "_s + f.fornitore.codiceFiscale)
                      : u" – partita IVA "_s + f.fornitore.paese + f.fornitore.partitaIva);
    testo << NomeTipoDocumento(f.tipo) + u" ("_s + f.tipo + u") n. "_s + f.numero + u" del "_s +
                 Data(f.data) +
                 (f.totale.presente() ? u" – totale "_s + TestoNumero(f.totale) + u' ' +
                                            (f.divisa.isEmpty() ? u"EUR"_s : f.divisa)
                                      : QString()) +
                 u" – "_s + QString::number(f.righe.size()) +
                 (f.righe.size() == 1 ? u" riga"_s : u" righe"_s);
    for (const DocumentoTrasporto &d : f.ddt)
        testo << u"DDT n. "_s + d.numero + u" del "_s + Data(d.data) +
                     (d.righe.isEmpty() ? QString() : u" (righe "_s + d.righe.join(u", "_s) + u')');
    if (!f.modalitaPagamento.isEmpty() || f.scadenza.isValid())
        testo << u"Pagamento: "_s + NomeModalitaPagamento(f.modalitaPagamento) +
                     (f.scadenza.isValid() ? u", scadenza "_s + Data(f.scadenza) : QString());
    if (m_caricate.contains(m_corrente)) testo << u"Questa fattura è stata caricata."_s;
    m_lblIntestazione->setText(testo.join(u'\n'));
    m_txtDitta->setText(f.fornitore.denominazione);

    m_grdRighe->setUpdatesEnabled(false);
    m_grdRighe->clearContents();
    m_grdRighe->setRowCount(int(f.righe.size()));
    for (int i = 0; i < f.righe.size(); ++i) {
        const RigaFattura &r = f.righe[i];
        const QString celle[COLONNE] = {r.numero,
                                        Codici(r),
                                        r.descrizione,
                                        r.quantita.presente() ? TestoNumero(r.quantita) : QString(),
                                        r.unitaMisura,
                                        TestoNumero(r.prezzoUnitario),
                                        Sconti(r),
                                        TestoNumero(r.prezzoTotale),
                                        TestoNumero(r.aliquotaIva),
                                        TestoAbbinamento(v.righe[i])};
        for (int c = 0; c < COLONNE; ++c) {
            auto *cella = new QTableWidgetItem(celle[c]);
            if (c == CQuantita || c == CPrezzo || c == CTotale || c == CIva || c == CNumero)
                cella->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_grdRighe->setItem(i, c, cella);
        }
    }
    m_grdRighe->setUpdatesEnabled(true);
    if (m_grdRighe->rowCount() > 0) m_grdRighe->setCurrentCell(0, 0);
    m_btnCarica->setText(f.notaDiCredito() ? u"S&carica..."_s : u"&Carica..."_s);
    m_btnCarica->setAccessibleName(f.notaDiCredito() ? u"Scarica"_s : u"Carica"_s);
    // A loaded invoice is only looked at.
    const bool caricata = m_caricate.contains(m_corrente);
    m_btnCarica->setEnabled(!caricata);
    m_btnScegli->setEnabled(!caricata);
    m_btnNonMerce->setEnabled(!caricata);
    m_btnNuova->setEnabled(!caricata && !f.notaDiCredito());
    aggiornaRiepilogo();
    mostraRiga(rigaCorrente());
}

void TfrmFattura::mostraRiga(int riga) {
    if (m_voci.isEmpty() || riga < 0 || riga >= fattura().righe.size()) {
        m_lblRiga->clear();
        return;
    }
    const RigaFattura &r = fattura().righe[riga];
    const AbbinamentoRiga &a = voce().righe[riga];
    QString testo = u"Riga "_s + r.numero + u": "_s + r.descrizione;
    if (r.quantita.presente())
        testo += u" – quantità "_s + TestoNumero(r.quantita) + u' ' + r.unitaMisura;
    testo += u" – prezzo netto "_s + CostoDaPrezzo(r.prezzoNetto());
    testo += u"\nScheda: "_s + TestoAbbinamento(a);
    m_lblRiga->setText(testo);
}

void TfrmFattura::aggiornaRiepilogo() {
    int conta[4] = {};
    for (const AbbinamentoRiga &a : std::as_const(voce().righe))
        ++conta[int(a.stato)];
    m_lblRiepilogo->setText(
        QString::number(voce().righe.size()) + u" righe: "_s +
        QString::number(conta[int(StatoAbbinamento::Scheda)]) + u" con la loro scheda, "_s +
        QString::number(conta[int(StatoAbbinamento::Nuova)]) + u" nuove, "_s +
        QString::number(conta[int(StatoAbbinamento::NonMerce)]) + u" non merce, "_s +
        QString::number(conta[int(StatoAbbinamento::DaScegliere)]) + u" da scegliere."_s);
}

void TfrmFattura::btnScegliClick() {
    const int riga = rigaCorrente();
    if (m_voci.isEmpty() || riga < 0 || m_caricate.contains(m_corrente)) return;
    const RigaFattura &r = fattura().righe[riga];
    TfrmSceltaScheda scelta(this, m_archivio,
                            r.codici.isEmpty() ? QString() : r.codici.first().valore);
    if (dialoghi().esegui(&scelta) != QDialog::Accepted) return;
    AbbinamentoRiga &a = voce().righe[riga];
    a.stato = StatoAbbinamento::Scheda;
    a.origine = OrigineAbbinamento::Scelta;
    a.scheda = scelta.scelta();
    a.nota.clear();
    m_grdRighe->item(riga, CScheda)->setText(TestoAbbinamento(a));
    aggiornaRiepilogo();
    mostraRiga(riga);
}

void TfrmFattura::btnNuovaClick() {
    const int riga = rigaCorrente();
    if (m_voci.isEmpty() || riga < 0 || fattura().notaDiCredito()) return;
    AbbinamentoRiga &a = voce().righe[riga];
    TfrmNuovaScheda nuova(this, a.nuova);
    if (dialoghi().esegui(&nuova) != QDialog::Accepted) return;
    a.stato = StatoAbbinamento::Nuova;
    a.origine = OrigineAbbinamento::Scelta;
    a.nuova = nuova.dati();
    a.nota.clear();
    m_grdRighe->item(riga, CScheda)->setText(TestoAbbinamento(a));
    aggiornaRiepilogo();
    mostraRiga(riga);
}

void TfrmFattura::btnNonMerceClick() {
    const int riga = rigaCorrente();
    if (m_voci.isEmpty() || riga < 0) return;
    AbbinamentoRiga &a = voce().righe[riga];
    a.stato = StatoAbbinamento::NonMerce;
    a.origine = OrigineAbbinamento::Scelta;
    a.nota.clear();
    m_grdRighe->item(riga, CScheda)->setText(TestoAbbinamento(a));
    aggiornaRiepilogo();
    mostraRiga(riga);
    // On to the next line, as a shop owner goes down the invoice.
    if (riga + 1 < m_grdRighe->rowCount()) m_grdRighe->setCurrentCell(riga + 1, 0);
}

void TfrmFattura::btnCaricaClick() {
    if (m_voci.isEmpty() || m_caricate.contains(m_corrente)) return;
    const Fattura &f = fattura();
    const Voce &v = voce();
    RichiestaCarico richiesta;
    richiesta.fattura = f;
    richiesta.ditta = m_txtDitta->text().trimmed();
    richiesta.costo = PoliticaCosto(m_cboCosto->currentIndex());
    richiesta.nomeFile = m_file[v.file].nome;
    richiesta.originale = m_file[v.file].originale;
    for (int i = 0; i < f.righe.size(); ++i) {
        const AbbinamentoRiga &a = v.righe[i];
        const RigaFattura &r = f.righe[i];
        if (a.stato == StatoAbbinamento::NonMerce) continue;
        if (a.stato == StatoAbbinamento::DaScegliere) {
            m_grdRighe->setCurrentCell(i, CScheda);
            dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                                 u"Attenzione: la riga "_s + r.numero + u" («"_s + r.descrizione +
                                     u"») non ha ancora una scheda: sceglierla, crearne una "
                                     u"nuova o indicarla come «Non è merce»."_s);
            return;
        }
        qint64 quantita = 1; // a service or a line without quantity counts one
        if (r.quantita.presente()) {
            if (r.quantita.valore < 0) {
                m_grdRighe->setCurrentCell(i, CQuantita);
                dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                                     u"Attenzione: la riga "_s + r.numero + u" («"_s +
                                         r.descrizione + u"») ha la quantità negativa "_s +
                                         TestoNumero(r.quantita) +
                                         u": non viene caricata. Indicarla come «Non è merce» "
                                         u"e registrare il reso dalla scheda."_s);
                return;
            }
            if (!r.quantitaIntera()) {
                const qint64 arrotondata = qint64(std::llround(r.quantita.valore));
                m_grdRighe->setCurrentCell(i, CQuantita);
                const Risposta risposta = dialoghi().domandaConAnnulla(
                    this, u"La riga "_s + r.numero + u" («"_s + r.descrizione +
                              u"») ha la quantità "_s + TestoNumero(r.quantita) +
                              u", ma la giacenza di una scheda è un numero intero.\n\nSì: "
                              u"caricare "_s +
                              QString::number(arrotondata) +
                              u" (arrotondata).\nNo: non caricare questa riga.\nAnnulla: "
                              u"tornare alla fattura."_s);
                if (risposta == Risposta::Annulla) return;
                if (risposta == Risposta::No) continue;
                quantita = arrotondata;
            } else {
                quantita = qint64(std::llround(r.quantita.valore));
            }
        }
        VoceCarico voceCarico;
        voceCarico.riga = i;
        voceCarico.quantita = quantita;
        if (a.stato == StatoAbbinamento::Scheda) {
            voceCarico.posizione = a.scheda.posizione;
            voceCarico.codice = a.scheda.codice;
        } else {
            voceCarico.nuova = a.nuova;
            voceCarico.codice = a.nuova.codice;
        }
        richiesta.voci << voceCarico;
    }
    if (f.notaDiCredito() &&
        dialoghi().domanda(this, u"Questa è una nota di credito: le quantità delle sue righe "
                                 u"vengono tolte dalla giacenza delle schede (Scarico). "
                                 u"Procedere?"_s) != Risposta::Si)
        return;
    std::optional<QDateTime> quando;
    if (!ArchivioSuServer())
        quando = FatturaGiaCaricata(f, m_giornale);
    else if (!FatturaGiaCaricata(f, DepositoCorrente(), quando)) {
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                             DepositoCorrente().messaggio());
        return;
    }
    if (quando) {
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                             MessaggioGiaCaricata(f, *quando));
        return;
    }
    const PianoCarico piano = ArchivioSuServer() ? PreparaCarico(richiesta, DepositoCorrente())
                                                 : PreparaCarico(richiesta, m_archivio);
    if (!piano.errore.isEmpty()) {
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso, piano.errore);
        return;
    }
    TfrmAnteprimaCarico anteprima(this, piano,
                                  NotaFattura(f, richiesta.ditta) + u": "_s +
                                      QString::number(piano.schede.size()) +
                                      (piano.schede.size() == 1 ? u" scheda"_s : u" schede"_s) +
                                      u". Carica scrive tutto insieme o niente."_s);
    if (dialoghi().esegui(&anteprima) != QDialog::Accepted) return;
    const EsitoCarico esito = ArchivioSuServer() ? ApplicaCarico(richiesta, DepositoCorrente())
                                                 : ApplicaCarico(richiesta, m_archivio, m_giornale);
    if (!esito.fatto) {
        dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso, esito.messaggio);
        return;
    }
    // The choices stay for the supplier's next invoice.
    const QString fornitore = f.fornitore.identita();
    for (int i = 0; i < f.righe.size(); ++i) {
        const AbbinamentoRiga &a = v.righe[i];
        const QStringList chiavi = AbbinamentiRicordati::chiavi(f.righe[i]);
        if (a.stato == StatoAbbinamento::Scheda)
            m_ricordati.ricorda(fornitore, chiavi, a.scheda.codice);
        else if (a.stato == StatoAbbinamento::Nuova)
            m_ricordati.ricorda(fornitore, chiavi, a.nuova.codice);
        else if (a.stato == StatoAbbinamento::NonMerce && a.origine != OrigineAbbinamento::Nessuna)
            m_ricordati.ricorda(fornitore, chiavi, QString());
    }
    m_ricordati.politica = richiesta.costo;
    const bool ricordate = m_ricordati.scrivi(
        QFileInfo(m_archivio).absoluteDir().filePath(u"AbbinamentiFatture.json"_s));
    m_caricate.insert(m_corrente);
    m_btnCarica->setEnabled(false);
    mostraFattura(m_corrente);
    const QString cartella =
        QFileInfo(m_archivio).absoluteDir().relativeFilePath(esito.fileConservato);
    dialoghi().messaggioSemplice(
        this, (f.notaDiCredito() ? u"Nota di credito scaricata: "_s : u"Fattura caricata: "_s) +
                  QString::number(esito.schede) +
                  (esito.schede == 1 ? u" scheda"_s : u" schede"_s) +
                  u". Il file è conservato in "_s + cartella + u'.' +
                  (ricordate ? QString()
                             : u" Le scelte delle righe non sono state ricordate: "
                               u"il file AbbinamentiFatture.json non può essere "
                               u"scritto."_s));
}
