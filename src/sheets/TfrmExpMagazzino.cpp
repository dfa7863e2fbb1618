#include "sheets/TfrmExpMagazzino.h"
#include "access/TfrmGuida.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "sheets/CsvMagazzino.h"
#include "sheets/FoglioMagazzino.h"
#include "sheets/LibroMagazzino.h"
#include "sheets/TfrmImportaCsv.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"
#include "widgets/Controlli.h"

#include <QAbstractItemDelegate>
#include <QAbstractTableModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTableView>
#include <QToolButton>
#include <array>
#include <functional>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::Risposta;

namespace {

struct Colonna {
    QString intestazione;
    int larghezza;
    std::optional<Campo> campo; // none: the record position
    bool modificabile;
};

constexpr int NumeroColonne = COLONNE_FOGLIO + 1;

const std::array<Colonna, NumeroColonne> Colonne = {{
    {u"N."_s, 60, std::nullopt, false},
    {u"Codice articolo"_s, 160, Campo::Codice, false},
    {u"Costo unitario"_s, 150, Campo::Costo, false},
    {u"Nome prodotto"_s, 250, Campo::Nome, true},
    {u"Giacenza"_s, 100, Campo::Giacenza, false},
    {u"Aspetto esteriore del bene"_s, 250, Campo::UM, true},
    {u"Categoria merceologica"_s, 250, Campo::Tipologia, true},
    {u"Caratteristiche"_s, 300, Campo::Caratteristiche, false},
    {u"Collocazione in magazzino"_s, 250, Campo::Collocazione, false},
    {u"Ditta fornitrice"_s, 250, Campo::Ditta, false},
    {u"Agente"_s, 250, Campo::Agente, false},
    {u"Recapito telefonico"_s, 200, Campo::Recapito, true},
    {u"Documento di acquisto"_s, 250, Campo::Documento, false},
    {u"Modalità di pagamento"_s, 250, Campo::Pagamento, false},
    {u"Data scadenza"_s, 150, Campo::DataSca, false},
    {u"Note"_s, 300, Campo::Note, true},
    {u"Prezzo di vendita"_s, 150, Campo::Prezzo, true},
    {u"Pagato"_s, 120, Campo::Pagato, true},
}};

// Rows shown before the archive is read, and left when it holds no card.
constexpr int RigheIniziali = 10;

const QString TestoIniziale = u"Esportazione archivio in Microsoft Excel."_s;

const QString MessaggioFallimento = u"Attenzione: il sistema non permette di esportare i dati."_s +
                                    u"\n\r\n\r"_s +
                                    u"Accertarsi che il file di Excel non sia già aperto."_s;

// The white banner across the top: a small worksheet and the window's purpose.
QPixmap disegnaIntestazione() {
    QPixmap immagine(410, 76);
    immagine.fill(Qt::white);
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor verde(0x20, 0x72, 0x45);
    p.setPen(QPen(verde, 2));
    p.setBrush(QColor(0xe8, 0xf3, 0xec));
    p.drawRoundedRect(QRectF(14, 12, 60, 52), 4, 4);
    p.setPen(QPen(verde, 1.5));
    for (int y : {29, 46})
        p.drawLine(14, y, 74, y);
    for (int x : {34, 54})
        p.drawLine(x, 12, x, 64);
    QFont titolo(u"Verdana"_s);
    titolo.setPixelSize(20);
    titolo.setBold(true);
    p.setFont(titolo);
    p.setPen(verde);
    p.drawText(QRect(88, 0, 320, 76), Qt::AlignLeft | Qt::AlignVCenter, u"ESPORTAZIONE IN EXCEL"_s);
    return immagine;
}

// The closing question of an export: it says where the file is, so the user
// can find it again.
QString esportateIn(const QString &percorso, const QString &domanda) {
    return u"Le schede in archivio sono state esportate con successo."_s + u"\r\n\r\n"_s +
           u"File: "_s + QDir::toNativeSeparators(percorso) + u"\r\n\r\n"_s + domanda;
}

} // namespace

// The grid's rows: the texts read from the archive, edits included.
class ModelloEsportazione : public QAbstractTableModel {
  public:
    // The grid's columns, then the fields the grid does not show: the reorder
    // threshold and the attachments, which the CSV file carries.
    static constexpr int CampiNascosti = COLONNE_CSV - COLONNE_FOGLIO;
    static constexpr int Campi = NumeroColonne + CampiNascosti;

    // A row kept small, as a big archive has many: its texts in Windows-1252
    // one after the other, and where each ends. Cells edited in the grid are
    // kept apart, as typed.
    struct Riga {
        QByteArray byte;
        std::array<quint16, Campi> fine{};

        QString testo(int i) const {
            const int inizio = i ? fine[std::size_t(i - 1)] : 0;
            return Cp1252::decodifica(byte.constData() + inizio, fine[std::size_t(i)] - inizio);
        }
    };

    explicit ModelloEsportazione(QObject *genitore)
        : QAbstractTableModel(genitore), m_righe(RigheIniziali) {}

    int rowCount(const QModelIndex &genitore = {}) const override {
        return genitore.isValid() ? 0 : int(m_righe.size());
    }
    int columnCount(const QModelIndex &genitore = {}) const override {
        return genitore.isValid() ? 0 : NumeroColonne;
    }
    QVariant data(const QModelIndex &indice, int ruolo) const override {
        if (!indice.isValid() || (ruolo != Qt::DisplayRole && ruolo != Qt::EditRole)) return {};
        return testo(indice.row(), indice.column());
    }
    bool setData(const QModelIndex &indice, const QVariant &valore, int ruolo) override {
        if (!indice.isValid() || ruolo != Qt::EditRole ||
            !Colonne[std::size_t(indice.column())].modificabile)
            return false;
        m_modifiche.insert(chiave(indice.row(), indice.column()), valore.toString());
        emit dataChanged(indice, indice, {Qt::DisplayRole, Qt::EditRole});
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex &indice) const override {
        if (!indice.isValid()) return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (Colonne[std::size_t(indice.column())].modificabile) f |= Qt::ItemIsEditable;
        return f;
    }
    QVariant headerData(int sezione, Qt::Orientation verso, int ruolo) const override {
        if (verso == Qt::Horizontal && ruolo == Qt::DisplayRole && sezione >= 0 &&
            sezione < NumeroColonne)
            return Colonne[std::size_t(sezione)].intestazione;
        return QAbstractTableModel::headerData(sezione, verso, ruolo);
    }

    // Replaces the rows at once: one reset, however many cards.
    void impostaRighe(std::vector<Riga> righe) {
        beginResetModel();
        m_righe = std::move(righe);
        m_modifiche.clear();
        endResetModel();
    }
    // Text of an exported cell: the grid's columns 1 to 17.
    QString cella(qsizetype riga, int colonna) const { return testo(riga, colonna + 1); }
    // A field of the CSV file: the 17 exported cells, then the hidden fields.
    QString campoCsv(qsizetype riga, int colonna) const { return cella(riga, colonna); }
    // Rows for cards just added to the archive, after those on show; the
    // empty rows of an empty archive make room for them.
    // Cards built one at a time, so no more than one whole card is held.
    void aggiungiSchede(qint64 primaPosizione, qsizetype quante,
                        const std::function<void(qsizetype, TScheda &)> &scheda) {
        if (quante <= 0) return;
        if (righeSchede().isEmpty()) impostaRighe(std::vector<Riga>());
        beginInsertRows({}, int(m_righe.size()), int(m_righe.size() + std::size_t(quante)) - 1);
        TScheda nuova;
        for (qsizetype i = 0; i < quante; ++i) {
            scheda(i, nuova);
            m_righe.push_back(rigaDi(nuova, primaPosizione + qint64(i)));
        }
        endInsertRows();
    }
    // Rows of cards the import changed, read again from the archive.
    void rileggiSchede(const std::vector<qint64> &posizioni) {
        Deposito &deposito = DepositoCorrente();
        Archivio archivio;
        if (DepositoCorrenteSuFile() && !archivio.ApriArchivio()) return;
        TScheda scheda;
        for (const qint64 p : posizioni) {
            if (p < 1 || p > qint64(m_righe.size())) continue;
            if (DepositoCorrenteSuFile() ? !archivio.leggi(p, scheda) : !deposito.leggi(p, scheda))
                continue;
            m_righe[std::size_t(p - 1)] = rigaDi(scheda, p);
        }
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
    static Riga rigaDi(const TScheda &scheda, qint64 posizione) {
        Riga riga;
        riga.byte.reserve(128);
        auto aggiungi = [&riga](int i, const QString &testo) {
            // Decoded from the archive's bytes, so each has its byte again.
            riga.byte += Cp1252::codifica(testo);
            riga.fine[std::size_t(i)] = quint16(riga.byte.size());
        };
        aggiungi(0, QString::number(posizione));
        for (int c = 1; c < NumeroColonne; ++c)
            aggiungi(c, scheda.testo(*Colonne[std::size_t(c)].campo));
        for (int c = COLONNE_FOGLIO; c < COLONNE_CSV; ++c)
            aggiungi(c + 1, scheda.testo(ColonneCsv()[std::size_t(c)].campo));
        riga.byte.squeeze();
        return riga;
    }
    // The rows that hold a card, leaving out the empty ones.
    QList<qsizetype> righeSchede() const {
        QList<qsizetype> righe;
        for (std::size_t r = 0; r < m_righe.size(); ++r)
            if (m_righe[r].fine[0] > 0) righe << qsizetype(r);
        return righe;
    }

  private:
    static quint64 chiave(qsizetype riga, int colonna) {
        return (quint64(riga) << 8) | quint64(colonna);
    }
    QString testo(qsizetype riga, int colonna) const {
        if (!m_modifiche.isEmpty()) {
            const auto modificata = m_modifiche.constFind(chiave(riga, colonna));
            if (modificata != m_modifiche.cend()) return *modificata;
        }
        return m_righe[std::size_t(riga)].testo(colonna);
    }

    std::vector<Riga> m_righe;
    QHash<quint64, QString> m_modifiche;
};

TfrmExpMagazzino::TfrmExpMagazzino(QWidget *genitore) : QDialog(genitore) {
    ImpostaFormati();
    setObjectName(u"frmExpMagazzino"_s);
    setWindowTitle(u" Esporta magazzino prodotti in Microsoft Excel"_s);
    setAccessibleName(windowTitle().trimmed());
    // On a server the title says which archive the window works on.
    TitoloConArchivio(this);
    setWindowIcon(QIcon(u":/quadrelo.svg"_s));
    // A fixed frame with a title but no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFixedSize(1000, 640);
    setAutoFillBackground(true);
    QPalette grigio = palette();
    grigio.setColor(QPalette::Window, QColor(0xEE, 0xED, 0xED));
    setPalette(grigio);

    auto *griglia = new QGridLayout(this);
    griglia->setContentsMargins(0, 0, 0, 0);
    auto *pan = new QWidget(this);
    pan->setObjectName(u"panContainer"_s);
    pan->setFixedSize(980, 620);
    griglia->addWidget(pan, 0, 0, Qt::AlignCenter);

    auto *shpSfondo = new QWidget(pan);
    shpSfondo->setObjectName(u"shpSfondo"_s);
    shpSfondo->setGeometry(0, 0, 980, 84);
    shpSfondo->setAutoFillBackground(true);
    QPalette bianco = shpSfondo->palette();
    bianco.setColor(QPalette::Window, Qt::white);
    shpSfondo->setPalette(bianco);
    auto *imgLogo = new QLabel(shpSfondo);
    imgLogo->setObjectName(u"imgLogo"_s);
    imgLogo->setPixmap(disegnaIntestazione());
    imgLogo->setGeometry(4, 4, 410, 76);
    imgLogo->setAccessibleName(u"Esportazione in Excel"_s);
    imgLogo->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *icoHand = new QLabel(shpSfondo);
    icoHand->setObjectName(u"icoHand"_s);
    icoHand->setPixmap(Disegno(u"mano"_s, QSize(56, 56)));
    icoHand->setGeometry(424, 14, 56, 56);
    icoHand->setAttribute(Qt::WA_TransparentForMouseEvents);

    const struct {
        QString nome;
        QString icona;
        QString didascalia;
        QString stato;
        int x;
    } pulsanti[] = {
        {u"cmdEsporta"_s, u"foglio"_s, u"Esporta"_s,
         u"Esporta l'archivio in formato Microsoft Excel."_s, 484},
        {u"cmdEsportaXlsx"_s, u"foglio_xlsx"_s, u"Esporta in formato .xlsx"_s,
         u"Esporta l'archivio in una cartella di lavoro di Excel (.xlsx)."_s, 560},
        {u"cmdEsportaCsv"_s, u"foglio_csv"_s, u"Esporta in formato CSV"_s,
         u"Esporta tutti i dati delle schede in un file CSV."_s, 636},
        {u"cmdImportaCsv"_s, u"importa_csv"_s, u"Importa da CSV..."_s,
         u"Aggiunge o aggiorna schede dell'archivio leggendole da un file CSV, per esempio il "
         u"listino di un fornitore."_s,
         712},
        {u"cmdGuida"_s, u"guida"_s, u"Guida"_s,
         u"Visualizza la pagina della guida sensibile al contesto."_s, 816},
        {u"cmdEsci"_s, u"esci"_s, u"Esci"_s, u"Esci da questo ambiente di lavoro."_s, 896},
    };
    QToolButton *creati[std::size(pulsanti)] = {};
    int n = 0;
    for (const auto &p : pulsanti) {
        auto *b = new PulsanteImmagine(p.nome, p.icona, p.didascalia, shpSfondo, false);
        b->setIconSize(QSize(56, 56));
        b->setGeometry(p.x, 6, 72, 72);
        b->setAccessibleDescription(p.stato);
        // Reachable with Tab, while a click still leaves the focus where it was.
        b->setFocusPolicy(Qt::TabFocus);
        b->setStyleSheet(b->styleSheet() + u"QToolButton:focus { border: 2px solid #1d4f91; }"_s);
        b->installEventFilter(this);
        m_testiStato.insert(b, p.stato);
        creati[n++] = b;
    }

    // The import is a command of its own: its caption shows under the picture.
    QToolButton *importa = creati[3];
    importa->setText(importa->accessibleName());
    importa->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    importa->setIconSize(QSize(40, 40));
    importa->setGeometry(700, 4, 110, 80);

    m_modello = new ModelloEsportazione(this);
    m_grdRecords = new QTableView(pan);
    m_grdRecords->setObjectName(u"grdRecords"_s);
    m_grdRecords->setAccessibleName(u"Schede in archivio"_s);
    m_grdRecords->setModel(m_modello);
    m_grdRecords->setGeometry(0, 92, 980, 484);
    m_grdRecords->setAlternatingRowColors(true);
    m_grdRecords->setSelectionMode(QAbstractItemView::SingleSelection);
    // Arrows move between cells; Tab leaves the grid for the buttons.
    m_grdRecords->setTabKeyNavigation(false);
    m_grdRecords->verticalHeader()->hide();
    m_grdRecords->verticalHeader()->setMinimumSectionSize(0);
    m_grdRecords->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grdRecords->verticalHeader()->setDefaultSectionSize(21);
    for (int c = 0; c < NumeroColonne; ++c)
        m_grdRecords->setColumnWidth(c, Colonne[std::size_t(c)].larghezza);

    auto *shpInfo = new QWidget(pan);
    shpInfo->setObjectName(u"shpInfo"_s);
    shpInfo->setGeometry(0, 584, 980, 36);
    shpInfo->setAutoFillBackground(true);
    QPalette ardesia = shpInfo->palette();
    ardesia.setColor(QPalette::Window, QColor(0x6A, 0x5A, 0xCD));
    shpInfo->setPalette(ardesia);
    m_panInfo = new QLabel(shpInfo);
    m_panInfo->setObjectName(u"panInfo"_s);
    m_panInfo->setGeometry(12, 0, 956, 36);
    QFont tahoma(u"Tahoma"_s);
    tahoma.setPointSize(12);
    m_panInfo->setFont(tahoma);
    m_panInfo->setStyleSheet(u"QLabel { color: white; }"_s);
    m_panInfo->setAttribute(Qt::WA_TransparentForMouseEvents);
    impostaStato(TestoIniziale);

    // Moving over the background and the plain parts empties the status line.
    for (QWidget *w :
         {static_cast<QWidget *>(this), pan, m_grdRecords->viewport(), shpInfo, shpSfondo}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    QWidget *precedente = m_grdRecords;
    for (QToolButton *b : creati) {
        setTabOrder(precedente, b);
        precedente = b;
    }
    m_grdRecords->setFocus();

    connect(creati[0], &QToolButton::clicked, this, &TfrmExpMagazzino::cmdEsportaClick);
    connect(creati[1], &QToolButton::clicked, this, &TfrmExpMagazzino::cmdEsportaXlsxClick);
    connect(creati[2], &QToolButton::clicked, this, &TfrmExpMagazzino::cmdEsportaCsvClick);
    connect(creati[3], &QToolButton::clicked, this, &TfrmExpMagazzino::cmdImportaCsvClick);
    connect(creati[4], &QToolButton::clicked, this, &TfrmExpMagazzino::cmdGuidaClick);
    connect(creati[5], &QToolButton::clicked, this, &TfrmExpMagazzino::cmdEsciClick);
}

TfrmExpMagazzino::~TfrmExpMagazzino() = default;

void TfrmExpMagazzino::impostaStato(const QString &testo) {
    m_panInfo->setText(testo);
    m_panInfo->setAccessibleName(testo);
}

void TfrmExpMagazzino::showEvent(QShowEvent *evento) {
    if (auto *schermo = screen()) {
        QRect posto = frameGeometry();
        posto.moveCenter(schermo->availableGeometry().center());
        move(posto.topLeft());
    }
    QDialog::showEvent(evento);
    if (!m_riempita) {
        m_riempita = true;
        riempiGriglia();
    }
}

void TfrmExpMagazzino::riempiGriglia() {
    if (!DepositoCorrenteSuFile()) {
        // On a server the pass reads one snapshot: all the cards, or none
        // and the reason, so no export is made of half the archive.
        Deposito &deposito = DepositoCorrente();
        std::vector<ModelloEsportazione::Riga> righe;
        const bool letto =
            deposito.scorri([&righe](const TScheda *schede, qint64 quante, qint64 prima) {
                for (qint64 i = 0; i < quante; ++i)
                    righe.push_back(ModelloEsportazione::rigaDi(schede[i], prima + i));
                return true;
            });
        if (!letto) {
            dialoghi().messaggioSemplice(this, deposito.messaggio());
            return;
        }
        if (!righe.empty()) m_modello->impostaRighe(std::move(righe));
        return;
    }
    // The count first: a failure later leaves the rest of the rows empty.
    Archivio archivio;
    const qint64 totale = archivio.ApriArchivio() ? archivio.conta() : -1;
    archivio.chiudi();
    if (totale <= 0) return;

    std::vector<ModelloEsportazione::Riga> righe(static_cast<std::size_t>(totale));
    ScorriArchivio(PercorsoArchivio(), [&righe, totale](const TScheda &scheda, qint64 posizione) {
        if (posizione > totale) return false;
        righe[std::size_t(posizione - 1)] = ModelloEsportazione::rigaDi(scheda, posizione);
        return true;
    });
    m_modello->impostaRighe(std::move(righe));
}

void TfrmExpMagazzino::confermaModifica() {
    // A cell being edited counts with what it holds now.
    QWidget *editore = QApplication::focusWidget();
    if (editore && editore != m_grdRecords && m_grdRecords->isAncestorOf(editore))
        emit m_grdRecords->itemDelegate()->commitData(editore);
}

void TfrmExpMagazzino::cmdEsportaClick() {
    confermaModifica();

    if (dialoghi().domanda(this, u"L'esportazione dei dati in Excel può richiedere diversi minuti "
                                 u"a seconda del numero di schede presenti in archivio."_s +
                                     u"\r\n\r\n"_s + u"Si vuole esportare i dati adesso?"_s) ==
        Risposta::No)
        return;

    const QString percorso = QDir(CartellaProgramma()).filePath(u"Magazzino.xls"_s);
    const bool scritto = ScriviFileIntero(percorso, [this](QIODevice *file) {
        return ScriviFoglioMagazzino(
            file, m_modello->rowCount(),
            [this](qsizetype riga, int colonna) { return m_modello->cella(riga, colonna); });
    });
    if (!scritto) {
        dialoghi().messaggioSemplice(this, MessaggioFallimento);
        return;
    }
    if (dialoghi().domanda(this, esportateIn(percorso, u"Si vuole aprire il file di Excel?"_s)) !=
        Risposta::No)
        Piattaforma::ApriConDesktop(u'"' + percorso + u'"');
}

void TfrmExpMagazzino::cmdEsportaXlsxClick() {
    confermaModifica();
    const QString percorso = QDir(CartellaProgramma()).filePath(u"Magazzino.xlsx"_s);
    const QList<qsizetype> righe = m_modello->righeSchede();
    const bool scritto = ScriviFileIntero(percorso, [this, &righe](QIODevice *file) {
        return ScriviLibroMagazzino(
            file, righe.size(),
            [this, &righe](qsizetype r, int colonna) {
                return m_modello->cella(righe[r], colonna);
            },
            CartellaProgramma());
    });
    if (!scritto) {
        dialoghi().messaggioSemplice(this, MessaggioFallimento);
        return;
    }
    if (dialoghi().domanda(this, esportateIn(percorso, u"Si vuole aprire il file di Excel?"_s)) !=
        Risposta::No)
        Piattaforma::ApriConDesktop(u'"' + percorso + u'"');
}

void TfrmExpMagazzino::cmdImportaCsvClick() {
    const QString percorso = dialoghi().scegliFileDaAprire(
        this, u"Importa schede da CSV"_s, {u"File CSV (*.csv *.txt)"_s, u"Tutti i file (*)"_s});
    if (percorso.isEmpty()) return;
    QFile file(percorso);
    if (!file.open(QIODevice::ReadOnly)) {
        dialoghi().messaggioSemplice(this, u"Attenzione: non è possibile leggere il file \""_s +
                                               QFileInfo(percorso).fileName() + u"\"."_s);
        return;
    }
    Deposito &archivio = DepositoCorrente();
    Importazione importazione = PreparaImportazione(file.readAll(), archivio);
    file.close();
    if (PrendiAvvisoRipristino()) dialoghi().messaggioSemplice(this, MessaggioRipristino());
    if (!importazione.errore.isEmpty()) {
        dialoghi().messaggioSemplice(this, importazione.errore);
        return;
    }
    TfrmImportaCsv anteprima(this, std::move(importazione), QFileInfo(percorso).fileName(),
                             archivio);
    dialoghi().esegui(&anteprima);
    if (anteprima.primaPosizione() < 0) return;
    // The new cards join the grid, after what it shows; changed ones are read again.
    const std::vector<qsizetype> nuove = anteprima.righeNuove();
    m_modello->aggiungiSchede(
        anteprima.primaPosizione(), qsizetype(nuove.size()), [&](qsizetype i, TScheda &scheda) {
            anteprima.importazione().nuovaScheda(nuove[std::size_t(i)], scheda);
        });
    if (!anteprima.posizioniAggiornate().empty())
        m_modello->rileggiSchede(anteprima.posizioniAggiornate());
}

void TfrmExpMagazzino::cmdEsportaCsvClick() {
    confermaModifica();
    const QString percorso = QDir(CartellaProgramma()).filePath(u"Magazzino.csv"_s);
    const QList<qsizetype> righe = m_modello->righeSchede();
    const bool scritto = ScriviFileIntero(percorso, [this, &righe](QIODevice *file) {
        return ScriviCsvMagazzino(file, righe.size(), [this, &righe](qsizetype r, int colonna) {
            return m_modello->campoCsv(righe[r], colonna);
        });
    });
    if (!scritto) {
        dialoghi().messaggioSemplice(this, u"Attenzione: il sistema non permette di esportare i "
                                           u"dati.\r\n\r\nAccertarsi che il file Magazzino.csv non "
                                           u"sia già aperto in un altro programma."_s);
        return;
    }
    if (dialoghi().domanda(this, esportateIn(percorso, u"Si vuole aprire il file?"_s)) !=
        Risposta::No)
        Piattaforma::ApriConDesktop(u'"' + percorso + u'"');
}

void TfrmExpMagazzino::cmdGuidaClick() {
    ApriGuida(this, TemaGuida::Esportazione);
}

void TfrmExpMagazzino::cmdEsciClick() {
    reject();
}

bool TfrmExpMagazzino::eventFilter(QObject *oggetto, QEvent *evento) {
    switch (evento->type()) {
    case QEvent::Enter:
    case QEvent::FocusIn:
        if (m_testiStato.contains(oggetto)) impostaStato(m_testiStato.value(oggetto));
        break;
    case QEvent::MouseMove:
        if (!m_testiStato.contains(oggetto)) impostaStato(QString());
        break;
    case QEvent::KeyPress: {
        // Enter presses a focused picture button, as it does a push button.
        auto *pulsante = qobject_cast<QToolButton *>(oggetto);
        const int tasto = static_cast<QKeyEvent *>(evento)->key();
        if (pulsante && (tasto == Qt::Key_Return || tasto == Qt::Key_Enter)) {
            pulsante->click();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(oggetto, evento);
}
