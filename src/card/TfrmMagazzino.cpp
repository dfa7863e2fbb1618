#include "card/TfrmMagazzino.h"
#include "access/TfrmGuida.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/FotoScheda.h"
#include "archive/RegoleNumeri.h"
#include "card/ComandiScheda.h"
#include "card/TfrmGiacenza.h"
#include "invoices/ComandoFattura.h"
#include "journal/Movimenti.h"
#include "labels/Etichette.h"
#include "labels/LettoreCodici.h"
#include "lists/TfrmDaSaldare.h"
#include "lists/TfrmSottoscorta.h"
#include "lists/TfrmTrovaMagazzino.h"
#include "media/ComandiFoto.h"
#include "media/TfrmAllegaCartella.h"
#include "media/TfrmWebCam.h"
#include "output/TfrmAnteprimaMag.h"
#include "output/TfrmStampaMag.h"
#include "platform/Dialoghi.h"
#include "saving/SalvaScheda.h"
#include "sheets/TfrmExpMagazzino.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"
#include "widgets/ImmagineBianca.h"
#include "widgets/RiquadroFoto.h"
#include "widgets/TfrmCalendario.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStringListModel>
#include <algorithm>
#include <functional>
#include <utility>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

namespace {

// The archive in use: the file as it always was, or the server.
bool leggiInUso(qint64 posizione, TScheda &scheda) {
    if (ArchivioSuServer()) return DepositoCorrente().leggi(posizione, scheda);
    Archivio archivio;
    return archivio.ApriArchivio() && archivio.leggi(posizione, scheda);
}

void scorriInUso(const std::function<bool(const TScheda &, qint64)> &visita) {
    if (!ArchivioSuServer()) {
        if (QFileInfo::exists(PercorsoArchivio())) ScorriArchivio(PercorsoArchivio(), visita);
        return;
    }
    DepositoCorrente().scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        for (qint64 i = 0; i < quante; ++i)
            if (!visita(schede[i], prima + i)) return false;
        return true;
    });
}

enum class Classe { Testo, Importo, Quantita, Data };

struct DefinizioneCasella {
    QStringView nome;      // after "txt" and "eff"
    QStringView etichetta; // the label beside the box
    QStringView iniziale;
    Qt::Alignment allineamento;
    Classe classe;
    int larghezza;
};

// The 17 boxes in the order of the record's fields.
constexpr DefinizioneCasella CASELLE[17] = {
    {u"Codice", u"Codice articolo:", u"", Qt::AlignLeft, Classe::Testo, 300},
    {u"Costo", u"Costo unitario:", u"0,00", Qt::AlignRight, Classe::Importo, 150},
    {u"Nome", u"Nome prodotto:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Giacenza", u"Giacenza:", u"0", Qt::AlignHCenter, Classe::Quantita, 70},
    {u"Avviso", u"Avviso n.", u"0", Qt::AlignHCenter, Classe::Quantita, 50},
    {u"UM", u"Aspetto esteriore del bene:", u"", Qt::AlignLeft, Classe::Testo, 360},
    {u"Tipologia", u"Categoria merceologica:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Caratteristiche", u"Caratteristiche:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Collocazione", u"Collocazione in magazzino:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Ditta", u"Ditta fornitrice:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Agente", u"Agente:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Recapito", u"Recapito telefonico:", u"", Qt::AlignLeft, Classe::Testo, 300},
    {u"Documento", u"Documento di acquisto:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Pagamento", u"Modalità di pagamento:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"DataSca", u"Data scadenza:", u"", Qt::AlignHCenter, Classe::Data, 130},
    {u"Note", u"Note:", u"", Qt::AlignLeft, Classe::Testo, 430},
    {u"Prezzo", u"Prezzo di vendita:", u"0,00", Qt::AlignRight, Classe::Importo, 150},
};

// Names used in messages for the hidden attachment fields.
constexpr QStringView NASCOSTE[6][2] = {
    {u"lblFile01", u"Allegato 1"},
    {u"lblFile02", u"Allegato 2"},
    {u"lblFile03", u"Allegato 3"},
    {u"lblDesc01", u"Descrizione allegato 1"},
    {u"lblDesc02", u"Descrizione allegato 2"},
    {u"lblDesc03", u"Descrizione allegato 3"},
};

Classe classeDi(int indice) {
    return CASELLE[indice].classe;
}

int indiceDi(Campo campo) {
    return int(campo);
}

// A character in quotes, with its code when it would not show there.
QString carattereCitato(const QString &carattere) {
    QString testo = u'"' + carattere + u'"';
    const auto codici = carattere.toUcs4();
    if (codici.size() == 1) {
        const char32_t c = codici[0];
        if (!QChar::isPrint(c) || QChar::isSpace(c) || QChar::isMark(c))
            testo += QStringLiteral(" (U+") +
                     QString::number(uint(c), 16).toUpper().rightJustified(4, u'0') + u')';
    }
    return testo;
}

QString nomeCampo(int indice) {
    QString etichetta = CASELLE[indice].etichetta.toString();
    if (etichetta.endsWith(u':')) etichetta.chop(1);
    if (etichetta == u"Avviso n.") etichetta = QStringLiteral("Avviso");
    return etichetta;
}

// Lower-cases A-Z only, as every comparison that ignores case does.
QString MinuscoleAZ(const QString &testo) {
    QString risultato = testo;
    for (QChar &c : risultato)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return risultato;
}

// Suggestions sorted ignoring case, each value once.
void Ordina(QStringList &valori) {
    std::sort(valori.begin(), valori.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    valori.erase(std::unique(valori.begin(), valori.end()), valori.end());
}

QFont verdana(bool grassetto) {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(12);
    font.setBold(grassetto);
    return font;
}

} // namespace

TfrmMagazzino::TfrmMagazzino(QWidget *genitore) : QWidget(genitore, Qt::Window) {
    m_bianco = ImmagineBianca();
    costruisci();
    collegaFotoEAllegati();
}

TfrmMagazzino::~TfrmMagazzino() {
    delete m_uscita; // the boxes are not normalised while the window goes away
}

void TfrmMagazzino::costruisci() {
    auto *pan = PreparaFinestra(this, QStringLiteral("TfrmMagazzino"),
                                QStringLiteral(" Quadrelo - Magazzino Prodotti"),
                                QColor(0xbf, 0xdc, 0xf5), QSize(1240, 636));
    auto *griglia = static_cast<QGridLayout *>(layout());
    auto *sfondo = findChild<QWidget *>(QStringLiteral("imgSfondo"));

    m_panInfo = new QLabel(QStringLiteral("Pronto per archiviare una nuova scheda..."), this);
    m_panInfo->setObjectName(QStringLiteral("panInfo"));
    ValoreAccessibile(m_panInfo, QStringLiteral("Stato"));
    m_panInfo->setAccessibleDescription(m_panInfo->text());
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(12);
    m_panInfo->setFont(tahoma);
    m_panInfo->setAutoFillBackground(true);
    m_panInfo->setStyleSheet(QStringLiteral("QLabel { background: #1d4f91; color: white; "
                                            "padding: 4px 12px; }"));
    m_panInfo->setFixedHeight(32);
    griglia->addWidget(m_panInfo, 1, 0);
    // Shown while the card has changes that are not in the archive.
    m_lblModificata = new QLabel(QStringLiteral("\u270E Modifiche non salvate"), this);
    m_lblModificata->setObjectName(QStringLiteral("lblModificata"));
    m_lblModificata->setFont(tahoma);
    m_lblModificata->setStyleSheet(
        QStringLiteral("QLabel { background: #1d4f91; color: #ffd84d; font-weight: bold; "
                       "padding: 4px 12px; }"));
    m_lblModificata->setAccessibleName(QStringLiteral("Modifiche non salvate"));
    m_lblModificata->setFixedHeight(32);
    m_lblModificata->hide();
    griglia->addWidget(m_lblModificata, 1, 0, Qt::AlignRight);

    // Decorative white frames behind the photo and the fields.
    auto cornice = [pan](const QString &nome, QRect r) {
        auto *c = new QLabel(pan);
        c->setObjectName(nome);
        c->setGeometry(r);
        c->setStyleSheet(QStringLiteral("QLabel { background: rgba(255,255,255,170); "
                                        "border: 1px solid #9fbfe0; border-radius: 8px; }"));
        return c;
    };
    QList<QWidget *> decorazioni{sfondo, pan};
    decorazioni << cornice(QStringLiteral("shpFoto"), QRect(4, 72, 386, 388));
    decorazioni << cornice(QStringLiteral("shpCampi"), QRect(396, 72, 688, 560));

    // Header: logo and the title of the card list.
    auto *logo = new QLabel(pan);
    logo->setObjectName(QStringLiteral("icoLogo"));
    logo->setPixmap(Disegno(QStringLiteral("quadrelo"), QSize(62, 52)));
    logo->setGeometry(8, 6, 62, 56);
    logo->setAccessibleName(QStringLiteral("Quadrelo"));
    auto *intestazione = new QLabel(QStringLiteral("SCHEDE PRODOTTI IN MAGAZZINO"), pan);
    intestazione->setObjectName(QStringLiteral("imgIntestazione"));
    intestazione->setGeometry(76, 10, 560, 48);
    QFont titolo(QStringLiteral("Verdana"));
    titolo.setPointSize(20);
    titolo.setBold(true);
    intestazione->setFont(titolo);
    intestazione->setStyleSheet(QStringLiteral("QLabel { color: #1d4f91; }"));
    decorazioni << logo << intestazione;

    // Navigation bar.
    struct Navigazione {
        QString nome, icona, didascalia, stato;
        void (TfrmMagazzino::*azione)();
    };
    const Navigazione barra[4] = {
        {QStringLiteral("cmdPrimo"), QStringLiteral("primo"), QStringLiteral("Prima scheda"),
         QStringLiteral("Visualizza la prima scheda in archivio."), &TfrmMagazzino::cmdPrimoClick},
        {QStringLiteral("cmdIndietro"), QStringLiteral("indietro"),
         QStringLiteral("Scheda precedente"),
         QStringLiteral("Visualizza la scheda precedente in archivio."),
         &TfrmMagazzino::cmdIndietroClick},
        {QStringLiteral("cmdAvanti"), QStringLiteral("avanti"), QStringLiteral("Scheda successiva"),
         QStringLiteral("Visualizza la scheda successiva in archivio."),
         &TfrmMagazzino::cmdAvantiClick},
        {QStringLiteral("cmdUltimo"), QStringLiteral("ultimo"), QStringLiteral("Ultima scheda"),
         QStringLiteral("Visualizza l'ultima scheda in archivio."), &TfrmMagazzino::cmdUltimoClick},
    };
    m_lblPosizione = new QLabel(pan);
    m_lblPosizione->setObjectName(QStringLiteral("lblPosizione"));
    ValoreAccessibile(m_lblPosizione, QStringLiteral("Posizione"));
    m_lblPosizione->setAlignment(Qt::AlignCenter);
    m_lblPosizione->setFont(verdana(true));
    m_lblPosizione->setStyleSheet(QStringLiteral(
        "QLabel { background: white; border: 1px solid #9fbfe0; border-radius: 4px; }"));
    int x = 900;
    for (int i = 0; i < 4; ++i) {
        auto *b =
            new PulsanteImmagine(barra[i].nome, barra[i].icona, barra[i].didascalia, pan, false);
        b->setIconSize(QSize(32, 32));
        b->setGeometry(x, 14, 56, 44);
        m_testiStato.insert(b, barra[i].stato);
        connect(b, &QToolButton::clicked, this, barra[i].azione);
        x += 60;
        if (i == 1) {
            m_lblPosizione->setGeometry(x, 18, 90, 36);
            x += 96;
        }
    }

    // Photo box and its buttons.
    m_imgFoto = new RiquadroFoto(pan);
    m_imgFoto->setObjectName(QStringLiteral("imgFoto"));
    m_imgFoto->setAccessibleName(QStringLiteral("Foto del prodotto"));
    m_imgFoto->setGeometry(14, 82, 366, 274);
    m_imgFoto->impostaImmagine(m_bianco);
    decorazioni << m_imgFoto;
    auto *imgBianco = new RiquadroFoto(pan);
    imgBianco->setObjectName(QStringLiteral("imgBianco"));
    imgBianco->impostaImmagine(m_bianco);
    imgBianco->hide();

    struct Pulsante {
        QString nome, icona, didascalia, stato;
        QRect posto;
        bool testo;
    };
    const Pulsante foto[5] = {
        {QStringLiteral("btnCaricaFoto"), QStringLiteral("cartella"), QStringLiteral("Carica foto"),
         QStringLiteral("Carica una foto esistente."), QRect(14, 364, 178, 40), true},
        {QStringLiteral("btnAcquisisciFoto"), QStringLiteral("webcam"),
         QStringLiteral("Acquisisci foto"), QStringLiteral("Acquisisci la foto da WebCam."),
         QRect(198, 364, 182, 40), true},
        {QStringLiteral("btnSalvaFoto"), QStringLiteral("disco"), QStringLiteral("Salva foto"),
         QStringLiteral("Salva la foto su disco."), QRect(14, 410, 56, 44), false},
        {QStringLiteral("btnCancFoto"), QStringLiteral("gomma"), QStringLiteral("Cancella foto"),
         QStringLiteral("Cancella la foto."), QRect(356, 332, 22, 22), false},
        {QStringLiteral("btnZoomFoto"), QStringLiteral("lente"), QStringLiteral("Ingrandisci foto"),
         QStringLiteral("Visualizza la foto nelle sue dimensioni reali."), QRect(16, 332, 22, 22),
         false},
    };
    for (const auto &f : foto) {
        auto *b = new PulsanteImmagine(f.nome, f.icona, f.didascalia, pan, f.testo);
        // The eraser and the magnifier are small, on the picture's lower corners.
        b->setIconSize(f.posto.height() < 30 ? QSize(18, 18) : QSize(28, 28));
        if (f.posto.height() < 30)
            b->setStyleSheet(QStringLiteral(
                "QToolButton { background: rgba(255,255,255,210); border: 1px solid #9fbfe0; "
                "border-radius: 4px; padding: 1px; }"
                "QToolButton:hover { background: white; border-color: #1d4f91; }"
                "QToolButton:focus { background: white; border: 2px solid #1d4f91; }"));
        b->setGeometry(f.posto);
        b->setFont(verdana(false));
        m_testiStato.insert(b, f.stato);
    }

    // Labels of this card, and the box a barcode scanner types into (F3).
    auto *etichette =
        new PulsanteImmagine(QStringLiteral("btnEtichette"), QStringLiteral("etichetta"),
                             QStringLiteral("Etichette"), pan, true);
    etichette->setIconSize(QSize(28, 28));
    etichette->setFont(verdana(false));
    etichette->setGeometry(76, 410, 304, 44);
    m_testiStato.insert(etichette, QStringLiteral("Stampa le etichette con il codice a barre di "
                                                  "questa scheda."));
    connect(etichette, &QToolButton::clicked, this, &TfrmMagazzino::btnEtichetteClick);
    auto *lblCodiceABarre = new QLabel(QStringLiteral("Codice a barre (F3):"), pan);
    lblCodiceABarre->setObjectName(QStringLiteral("lblCodiceABarre"));
    lblCodiceABarre->setFont(verdana(false));
    lblCodiceABarre->setGeometry(14, 556, 366, 22);
    m_txtCodiceABarre = new QLineEdit(pan);
    m_txtCodiceABarre->setObjectName(QStringLiteral("txtCodiceABarre"));
    m_txtCodiceABarre->setFont(verdana(true));
    m_txtCodiceABarre->setGeometry(14, 580, 366, 32);
    m_txtCodiceABarre->setPlaceholderText(QStringLiteral("Leggere o digitare un codice e Invio"));
    lblCodiceABarre->setBuddy(m_txtCodiceABarre);
    m_txtCodiceABarre->setAccessibleName(QStringLiteral("Codice a barre"));
    m_testiStato.insert(m_txtCodiceABarre,
                        QStringLiteral("Apre la scheda del codice letto con il lettore di codici a "
                                       "barre."));
    auto *scanner = new IngressoScanner(m_txtCodiceABarre);
    connect(scanner, &IngressoScanner::codiceLetto, this, &TfrmMagazzino::codiceLetto);
    auto *f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
    f3->setObjectName(QStringLiteral("scCodiceABarre"));
    connect(f3, &QShortcut::activated, this, [this] {
        m_txtCodiceABarre->setFocus(Qt::ShortcutFocusReason);
        m_txtCodiceABarre->selectAll();
    });

    // Fields: a label and a box per row, the yellow frame behind each box.
    const int sinistra = 410, caselle = 650, passo = 34, primaRiga = 84;
    auto riga = [&](int n) { return primaRiga + n * passo; };
    const int righe[17] = {0, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 17; ++i) {
        const auto &d = CASELLE[i];
        auto *casella = new QLineEdit(d.iniziale.toString(), pan);
        casella->setObjectName(QStringLiteral("txt") + d.nome.toString());
        casella->setFont(verdana(true));
        casella->setAlignment(d.allineamento | Qt::AlignVCenter);
        new LimiteDigitazione(casella, CAMPI[std::size_t(i)].massimo);
        casella->setAcceptDrops(false);
        auto *etichetta = new QLabel(d.etichetta.toString(), pan);
        etichetta->setObjectName(QStringLiteral("lbl") + d.nome.toString());
        etichetta->setFont(verdana(false));
        etichetta->setBuddy(casella);
        etichetta->setAttribute(Qt::WA_NoMousePropagation);
        casella->setAttribute(Qt::WA_NoMousePropagation);
        casella->setAccessibleName(nomeCampo(i));
        const int y = riga(righe[i]);
        if (i == indiceDi(Campo::Avviso)) {
            etichetta->setGeometry(810, y, 96, 26);
            casella->setGeometry(900, y, d.larghezza, 26);
            auto *pezzi = new QLabel(QStringLiteral("pezzi rimasti."), pan);
            pezzi->setObjectName(QStringLiteral("lblPezzi"));
            pezzi->setFont(verdana(false));
            pezzi->setGeometry(960, y, 120, 26);
            pezzi->setAttribute(Qt::WA_NoMousePropagation);
        } else {
            etichetta->setGeometry(sinistra, y, caselle - sinistra - 8, 26);
            casella->setGeometry(caselle, y, d.larghezza, 26);
        }
        if (classeDi(i) == Classe::Data) {
            casella->setReadOnly(true);
            m_testiStato.insert(casella, QStringLiteral("Fai clic su questo campo e premi un tasto "
                                                        "qualsiasi per importare una data dal "
                                                        "calendario."));
        }
        if (classeDi(i) == Classe::Importo || classeDi(i) == Classe::Quantita) {
            // Only keys reach these boxes: no paste by menu or by dropping.
            casella->setContextMenuPolicy(Qt::NoContextMenu);
            casella->setAcceptDrops(false);
        }
        RiquadroEvidenza::perCasella(QStringLiteral("eff") + d.nome.toString(), casella);
        casella->installEventFilter(this);
        m_caselle[i] = casella;
    }
    auto *aggiungi = new QPushButton(QStringLiteral("+"), pan);
    aggiungi->setObjectName(QStringLiteral("btnAggiungi"));
    aggiungi->setAccessibleName(QStringLiteral("Aggiungi alla giacenza"));
    aggiungi->setGeometry(728, riga(3), 30, 26);
    auto *sottrai = new QPushButton(QStringLiteral("-"), pan);
    sottrai->setObjectName(QStringLiteral("btnSottrai"));
    sottrai->setAccessibleName(QStringLiteral("Sottrai dalla giacenza"));
    sottrai->setGeometry(762, riga(3), 30, 26);
    for (auto *b : {aggiungi, sottrai}) {
        QFont f = verdana(true);
        b->setFont(f);
        b->setCursor(Qt::PointingHandCursor);
    }
    m_testiStato.insert(aggiungi,
                        QStringLiteral("Aggiorna la giacenza aggiungendo una certa quantità."));
    m_testiStato.insert(sottrai,
                        QStringLiteral("Aggiorna la giacenza sottraendo una certa quantità."));
    connect(aggiungi, &QPushButton::clicked, this, &TfrmMagazzino::btnAggiungiClick);
    connect(sottrai, &QPushButton::clicked, this, &TfrmMagazzino::btnSottraiClick);

    auto *dataSca = casella(Campo::DataSca);
    auto *cancellaData = new PulsanteImmagine(QStringLiteral("delDataSca"), QStringLiteral("gomma"),
                                              QStringLiteral("Cancella la data"), pan, false);
    cancellaData->setIconSize(QSize(22, 22));
    cancellaData->setGeometry(dataSca->geometry().right() + 8, dataSca->y() - 2, 32, 30);
    m_testiStato.insert(cancellaData, QStringLiteral("Cancella la data."));
    connect(cancellaData, &QToolButton::clicked, this, &TfrmMagazzino::delDataScaClick);

    m_chkPagato = new QCheckBox(QStringLiteral("Pagato"), pan);
    m_chkPagato->setObjectName(QStringLiteral("chkPagato"));
    m_chkPagato->setFont(verdana(true));
    m_chkPagato->setAccessibleName(m_chkPagato->text());
    m_chkPagato->setGeometry(900, dataSca->y(), 160, 26);
    m_testiStato.insert(m_chkPagato,
                        QStringLiteral("Contrassegna questa casella per indicare che il "
                                       "pagamento è stato effettuato."));

    // Tab order: the boxes in field order, with the two stock buttons after
    // the stock and the paid box before the due date.
    QList<QWidget *> ordine;
    for (int i = 0; i < 17; ++i) {
        if (i == indiceDi(Campo::DataSca)) ordine << m_chkPagato;
        ordine << m_caselle[i];
        if (i == indiceDi(Campo::Giacenza)) ordine << aggiungi << sottrai;
        if (i == indiceDi(Campo::DataSca)) ordine << cancellaData;
    }
    for (int i = 0; i < 6; ++i) {
        m_nascoste[i] = new QLabel(pan);
        m_nascoste[i]->setObjectName(NASCOSTE[i][0].toString());
        m_nascoste[i]->setTextFormat(Qt::PlainText);
        m_nascoste[i]->hide();
    }

    // Right-hand column of picture buttons.
    const Pulsante colonna[12] = {
        {QStringLiteral("btnNuovo"),
         QStringLiteral("nuovo"),
         QStringLiteral("Nuovo"),
         QStringLiteral("Predispone la schermata per l'inserimento di una nuova scheda."),
         {},
         true},
        {QStringLiteral("btnDuplica"),
         QStringLiteral("duplica"),
         QStringLiteral("Duplica"),
         QStringLiteral("Prepara la schermata per la registrazione di una nuova scheda duplicando "
                        "i dati correnti."),
         {},
         true},
        {QStringLiteral("btnSalva"),
         QStringLiteral("disco"),
         QStringLiteral("Salva"),
         QStringLiteral("Salva la scheda corrente in archivio."),
         {},
         true},
        {QStringLiteral("btnTrova"),
         QStringLiteral("lente"),
         QStringLiteral("Trova"),
         QStringLiteral("Trova schede in archivio."),
         {},
         true},
        {QStringLiteral("btnAllegati"),
         QStringLiteral("graffetta"),
         QStringLiteral("Allegati"),
         QStringLiteral("Allega file alla scheda corrente."),
         {},
         true},
        {QStringLiteral("btnAnteprima"),
         QStringLiteral("anteprima"),
         QStringLiteral("Anteprima"),
         QStringLiteral("Visualizza l'anteprima di stampa."),
         {},
         true},
        {QStringLiteral("btnStampa"),
         QStringLiteral("stampante"),
         QStringLiteral("Stampa"),
         QStringLiteral("Stampa la scheda corrente."),
         {},
         true},
        {QStringLiteral("btnScaduti"),
         QStringLiteral("euro"),
         QStringLiteral("Da saldare"),
         QStringLiteral("Visualizza il riepilogo dei pagamenti non ancora saldati."),
         {},
         true},
        {QStringLiteral("btnSottoscorta"),
         QStringLiteral("scorta"),
         QStringLiteral("Sottoscorta"),
         QStringLiteral("Visualizza il riepilogo dei materiali in esaurimento."),
         {},
         true},
        {QStringLiteral("btnEsporta"),
         QStringLiteral("foglio"),
         QStringLiteral("Esporta"),
         QStringLiteral("Esporta l'archivio in un foglio di Microsoft Excel."),
         {},
         true},
        {QStringLiteral("btnGuida"),
         QStringLiteral("guida"),
         QStringLiteral("Guida"),
         QStringLiteral("Visualizza la pagina della guida sensibile al contesto."),
         {},
         true},
        {QStringLiteral("btnEsci"),
         QStringLiteral("esci"),
         QStringLiteral("Esci"),
         QStringLiteral("Esci da questa schermata di lavoro."),
         {},
         true},
    };
    int y = 72;
    for (const auto &c : colonna) {
        auto *b = new PulsanteImmagine(c.nome, c.icona, c.didascalia, pan, c.testo);
        b->setIconSize(QSize(28, 28));
        b->setFont(verdana(false));
        b->setGeometry(1092, y, 144, 44);
        m_testiStato.insert(b, c.stato);
        y += 47;
        ordine << b;
    }
    // After the fields, Tab reaches the picture buttons too: the column, the
    // navigation, then the photo's. A click still leaves the focus where it is.
    for (const QString &nome :
         {u"cmdPrimo"_s, u"cmdIndietro"_s, u"cmdAvanti"_s, u"cmdUltimo"_s, u"btnCaricaFoto"_s,
          u"btnAcquisisciFoto"_s, u"btnSalvaFoto"_s, u"btnZoomFoto"_s, u"btnCancFoto"_s})
        ordine << findChild<QToolButton *>(nome);
    for (auto *w : ordine)
        if (qobject_cast<QToolButton *>(w)) w->setFocusPolicy(Qt::TabFocus);
    for (int i = 1; i < ordine.size(); ++i)
        QWidget::setTabOrder(ordine[i - 1], ordine[i]);
    InvioPremePulsante(this);
    connect(findChild<QToolButton *>(QStringLiteral("btnNuovo")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnNuovoClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnDuplica")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnDuplicaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnSalva")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnSalvaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnEsci")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnEsciClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnAnteprima")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnAnteprimaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnStampa")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnStampaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnTrova")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnTrovaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnSottoscorta")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnSottoscortaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnScaduti")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnScadutiClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnEsporta")), &QToolButton::clicked, this,
            &TfrmMagazzino::btnEsportaClick);
    connect(findChild<QToolButton *>(QStringLiteral("btnGuida")), &QToolButton::clicked, this,
            [this] { ApriGuida(this, TemaGuida::Magazzino); });
    // Under the photo: the card's movements, its removal, the removed cards.
    const PulsantiMovimenti giornale = PreparaPulsantiMovimenti(pan, QRect(14, 470, 366, 78));
    setTabOrder(findChild<QWidget *>(QStringLiteral("btnCancFoto")), giornale.btnMovimenti);
    setTabOrder(giornale.btnMovimenti, giornale.btnElimina);
    setTabOrder(giornale.btnElimina, giornale.btnSchedeEliminate);
    // Then the labels and the barcode box.
    auto *btnEtichette = findChild<QToolButton *>(QStringLiteral("btnEtichette"));
    btnEtichette->setFocusPolicy(Qt::TabFocus);
    setTabOrder(giornale.btnSchedeEliminate, btnEtichette);
    setTabOrder(btnEtichette, m_txtCodiceABarre);
    // Goods in from a supplier's invoice, beside the heading; the card on
    // screen, when untouched, shows its stock on disk afterwards.
    auto *btnFattura = PreparaComandoFattura(this, pan, QRect(606, 16, 270, 40), [this] {
        const qint64 p = Rifila(m_lblPosizione->text()).toLongLong();
        TScheda scheda;
        if (p > 0 && !modificata() && leggiInUso(p, scheda)) CaricaScheda(scheda, p);
    });
    btnFattura->setFocusPolicy(Qt::TabFocus);
    btnFattura->setFont(verdana(false));
    m_testiStato.insert(btnFattura, btnFattura->accessibleDescription());
    setTabOrder(m_txtCodiceABarre, btnFattura);
    connect(giornale.btnMovimenti, &QAbstractButton::clicked, this,
            &TfrmMagazzino::btnMovimentiClick);
    connect(giornale.btnElimina, &QAbstractButton::clicked, this, &TfrmMagazzino::btnEliminaClick);
    connect(giornale.btnSchedeEliminate, &QAbstractButton::clicked, this,
            &TfrmMagazzino::btnSchedeEliminateClick);
    // Their descriptions go to the status line, as the other commands' do.
    for (QAbstractButton *b :
         {giornale.btnMovimenti, giornale.btnElimina, giornale.btnSchedeEliminate}) {
        b->setFont(verdana(false));
        m_testiStato.insert(b, b->accessibleDescription());
    }

    // Status line: the listed controls put their text there, the background
    // and the decorations empty it, everything else leaves it alone.
    for (auto it = m_testiStato.cbegin(); it != m_testiStato.cend(); ++it) {
        auto *w = static_cast<QWidget *>(it.key());
        w->setAccessibleDescription(it.value());
        w->setAttribute(Qt::WA_NoMousePropagation);
        w->installEventFilter(this);
    }
    for (auto *d : decorazioni) {
        d->setMouseTracking(true);
        d->installEventFilter(this);
        m_decorazioni.insert(d);
    }
    setMouseTracking(true);

    // Every change of the card shows at once whether it still matches the archive.
    for (auto *c : m_caselle)
        connect(c, &QLineEdit::textChanged, this, &TfrmMagazzino::aggiornaSegno);
    connect(m_chkPagato, &QCheckBox::toggled, this, &TfrmMagazzino::aggiornaSegno);
    connect(m_imgFoto, &RiquadroFoto::cambiata, this, &TfrmMagazzino::aggiornaSegno);
    auto *salva = new QShortcut(QKeySequence::Save, this);
    salva->setObjectName(QStringLiteral("scSalva"));
    connect(salva, &QShortcut::activated, this, &TfrmMagazzino::btnSalvaClick);

    // Category and supplier offer the values already in the archive.
    m_tipologie = new QStringListModel(this);
    m_ditte = new QStringListModel(this);
    for (auto [campo, modello] :
         {std::pair{Campo::Tipologia, m_tipologie}, std::pair{Campo::Ditta, m_ditte}}) {
        auto *suggerimenti = new QCompleter(modello, this);
        suggerimenti->setCaseSensitivity(Qt::CaseInsensitive);
        suggerimenti->setFilterMode(Qt::MatchContains);
        suggerimenti->setCompletionMode(QCompleter::PopupCompletion);
        casella(campo)->setCompleter(suggerimenti);
    }

    // Amounts and quantities are normalised when the focus really leaves them.
    m_uscita = new UscitaFocus(this);
    connect(m_uscita, &UscitaFocus::lasciato, this, [this](QWidget *controllo) {
        const int i = indiceCasella(controllo);
        if (i >= 0) casellaLasciata(m_caselle[i]);
    });
}

QLineEdit *TfrmMagazzino::casella(Campo campo) const {
    const int i = int(campo);
    if (i < 17) return m_caselle[i];
    return nullptr;
}

void TfrmMagazzino::impostaStato(const QString &testo) {
    m_panInfo->setText(testo);
    m_panInfo->setAccessibleDescription(testo);
}

void TfrmMagazzino::PulisciScheda() {
    for (int i = 0; i < 17; ++i)
        m_caselle[i]->setText(CASELLE[i].iniziale.toString());
    m_chkPagato->setChecked(false);
    for (auto *l : m_nascoste)
        l->clear();
    m_imgFoto->impostaImmagine(m_bianco);
    m_lblPosizione->clear();
    m_caselle[0]->setFocus();
    m_caricata = TScheda();
    m_segnoGiornale = -1;
    m_cambi.clear();
    ricordaScheda();
}

QStringList TfrmMagazzino::statoScheda() const {
    // Texts as a save would store them; an amount or a quantity by its value,
    // so that leaving a box ("5" becoming "5,00") is no change.
    QStringList stato;
    for (int i = 0; i < 17; ++i) {
        const QString testo = Rifila(m_caselle[i]->text());
        stato << (classeDi(i) == Classe::Importo    ? NormalizzaImporto(testo)
                  : classeDi(i) == Classe::Quantita ? NormalizzaQuantita(testo)
                                                    : testo);
    }
    stato << (m_chkPagato->isChecked() ? u"Sì"_s : u"No"_s);
    for (auto *l : m_nascoste)
        stato << Rifila(l->text());
    stato << Rifila(m_lblPosizione->text());
    return stato;
}

void TfrmMagazzino::ricordaScheda(bool fotoSalvata) {
    m_ricordata = statoScheda();
    // A photo that could not be written still counts as a change.
    m_fotoRicordata = fotoSalvata ? m_imgFoto->immagine().cacheKey() : -1;
    aggiornaSegno();
}

bool TfrmMagazzino::modificata() const {
    return m_fotoRicordata != m_imgFoto->immagine().cacheKey() || statoScheda() != m_ricordata;
}

void TfrmMagazzino::aggiornaSegno() {
    if (m_ricordata.isEmpty()) return; // still being built
    m_lblModificata->setVisible(modificata());
}

bool TfrmMagazzino::senzaFoto() const {
    return m_imgFoto->immagine().cacheKey() == m_bianco.cacheKey();
}

bool TfrmMagazzino::lasciaScheda() {
    if (!modificata()) return true;
    switch (
        dialoghi().domandaConAnnulla(this, QStringLiteral("Salvare le modifiche alla scheda?"))) {
    case Risposta::Si:
        return salva();
    case Risposta::No:
        return true;
    default:
        return false;
    }
}

void TfrmMagazzino::mostraCampi(const TScheda &scheda) {
    for (int i = 0; i < 17; ++i)
        m_caselle[i]->setText(scheda.testo(Campo(i)));
    const QString pagato = scheda.testo(Campo::Pagato);
    if (pagato == u"Sì")
        m_chkPagato->setChecked(true);
    else if (pagato == u"No")
        m_chkPagato->setChecked(false);
    for (int i = 0; i < 6; ++i)
        m_nascoste[i]->setText(scheda.testo(Campo(int(Campo::File01) + i)));
}

void TfrmMagazzino::CaricaScheda(const TScheda &scheda, qint64 posizione) {
    mostraCampi(scheda);
    m_caricata = scheda;
    m_segnoGiornale = SegnoGiornale();
    m_cambi.clear();
    m_lblPosizione->setText(QString::number(posizione));
    QByteArray originale;
    QImage foto;
    QByteArray byte;
    if (!ArchivioSuServer())
        foto = CaricaFotoScheda(m_lblPosizione->text(), &originale);
    else if (DepositoCorrente().leggiFoto(posizione, byte) && !byte.isEmpty())
        foto = ImmagineDaByte(byte, &originale);
    m_imgFoto->impostaImmagine(foto.isNull() ? m_bianco : foto, originale);
    ricordaScheda();
}

void TfrmMagazzino::erroreArchivio(int errore) {
    dialoghi().messaggio(this, TipoMessaggio::Errore,
                         ArchivioSuServer() ? DepositoCorrente().messaggio()
                                            : MessaggioScritturaArchivio(errore));
}

void TfrmMagazzino::collegaFotoEAllegati() {
    const std::pair<const char16_t *, void (TfrmMagazzino::*)()> pulsanti[] = {
        {u"btnCaricaFoto", &TfrmMagazzino::btnCaricaFotoClick},
        {u"btnAcquisisciFoto", &TfrmMagazzino::btnAcquisisciFotoClick},
        {u"btnSalvaFoto", &TfrmMagazzino::btnSalvaFotoClick},
        {u"btnCancFoto", &TfrmMagazzino::btnCancFotoClick},
        {u"btnZoomFoto", &TfrmMagazzino::btnZoomFotoClick},
        {u"btnAllegati", &TfrmMagazzino::btnAllegatiClick},
    };
    for (const auto &[nome, azione] : pulsanti)
        connect(findChild<QToolButton *>(QString::fromUtf16(nome)), &QToolButton::clicked, this,
                azione);
}

void TfrmMagazzino::btnCaricaFotoClick() {
    CaricaFoto(this, m_imgFoto);
}

void TfrmMagazzino::btnAcquisisciFotoClick() {
    TfrmWebCam finestra(this, m_imgFoto);
    dialoghi().esegui(&finestra);
    // A code read by the webcam opens its card once the window is closed.
    if (!finestra.codiceLetto().isEmpty()) codiceLetto(finestra.codiceLetto());
}

void TfrmMagazzino::btnEtichetteClick() {
    ApriEtichetteScheda(this, {casella(Campo::Codice)->text(), casella(Campo::Nome)->text(),
                               casella(Campo::Prezzo)->text(),
                               CopieDaGiacenza(casella(Campo::Giacenza)->text())});
}

void TfrmMagazzino::nuovaConCodice(const QString &codice) {
    if (!lasciaScheda()) return;
    PulisciScheda();
    casella(Campo::Codice)->setText(codice);
    casella(Campo::Nome)->setFocus();
}

void TfrmMagazzino::codiceLetto(const QString &codice) {
    AzioniCodice azioni;
    azioni.apri = [this](const TScheda &s, qint64 p) { apriDaElenco(s, p); };
    azioni.nuova = [this](const QString &c) { nuovaConCodice(c); };
    azioni.elenco = [this](Righe &&righe) {
        TfrmTrovaMagazzino finestra(this);
        finestra.lblMemory->setText(QStringLiteral("magazzino"));
        finestra.impostaApriScheda([this](const TScheda &s, qint64 p) { apriDaElenco(s, p); });
        finestra.mostraSchede(std::move(righe));
        dialoghi().esegui(&finestra);
    };
    GestisciCodiceLetto(this, DepositoCorrente(), codice, azioni);
}

void TfrmMagazzino::btnSalvaFotoClick() {
    SalvaCopiaFoto(this, m_imgFoto);
}

void TfrmMagazzino::btnCancFotoClick() {
    CancellaFoto(m_imgFoto, m_bianco);
}

void TfrmMagazzino::btnZoomFotoClick() {
    IngrandisciFoto(this, m_imgFoto->immagine());
}

void TfrmMagazzino::btnAllegatiClick() {
    TfrmAllegaCartella finestra(this, {m_nascoste[0], m_nascoste[1], m_nascoste[2], m_nascoste[3],
                                       m_nascoste[4], m_nascoste[5]});
    finestra.lblMemory->setText(QStringLiteral("magazzino"));
    for (std::size_t i = 0; i < 3; ++i) {
        finestra.txtFile[i]->setText(Rifila(m_nascoste[i]->text()));
        finestra.txtDesc[i]->setText(Rifila(m_nascoste[i + 3]->text()));
    }
    dialoghi().esegui(&finestra);
    aggiornaSegno();
}

void TfrmMagazzino::naviga(const std::function<qint64(qint64)> &destinazione,
                           bool vuotoSvuotaPosizione) {
    // One opening of the archive: count, then read the record chosen from the
    // count (0 stays on the card on screen).
    Archivio archivio;
    const bool server = ArchivioSuServer();
    const qint64 totale = server                    ? DepositoCorrente().conta()
                          : archivio.ApriArchivio() ? archivio.conta()
                                                    : -1;
    if (totale <= 0) {
        archivio.chiudi();
        if (totale < 0) return erroreArchivio(archivio.errore());
        if (vuotoSvuotaPosizione) m_lblPosizione->clear();
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             QStringLiteral("L'archivio non contiene nessuna scheda."));
        return;
    }
    const qint64 p = destinazione(totale);
    archivio.chiudi();
    if (p < 1 || !lasciaScheda()) return;
    TScheda scheda;
    if (!leggiInUso(p, scheda)) return erroreArchivio();
    CaricaScheda(scheda, p);
}

void TfrmMagazzino::cmdPrimoClick() {
    naviga([](qint64) { return qint64(1); });
}

void TfrmMagazzino::cmdUltimoClick() {
    naviga([](qint64 totale) { return totale; });
}

void TfrmMagazzino::cmdAvantiClick() {
    // A card not in the archive stands before record 1.
    if (Rifila(m_lblPosizione->text()).isEmpty()) m_lblPosizione->setText(QStringLiteral("0"));
    const qint64 p = Rifila(m_lblPosizione->text()).toLongLong();
    naviga([p](qint64 totale) { return p < totale ? p + 1 : 0; }, true);
}

void TfrmMagazzino::cmdIndietroClick() {
    const QString etichetta = Rifila(m_lblPosizione->text());
    if (etichetta == u"1") return;
    naviga([&etichetta](qint64) { return etichetta.isEmpty() ? 1 : etichetta.toLongLong() - 1; });
}

void TfrmMagazzino::btnNuovoClick() {
    if (!lasciaScheda()) return;
    PulisciScheda();
    m_caselle[0]->setFocus();
}

void TfrmMagazzino::btnDuplicaClick() {
    if (Rifila(m_lblPosizione->text()).isEmpty()) {
        dialoghi().messaggio(
            this, TipoMessaggio::Avviso,
            QStringLiteral("Attenzione: la duplicazione di una scheda può avvenire "
                           "soltanto dopo che questa è stata inserita in archivio."));
        return;
    }
    if (!lasciaScheda()) return;
    for (auto *l : m_nascoste)
        l->clear();
    m_lblPosizione->clear();
    m_imgFoto->impostaImmagine(m_bianco);
    m_caselle[0]->setFocus();
    aggiornaSegno(); // a copy not yet in the archive
    dialoghi().messaggio(
        this, TipoMessaggio::Informazione,
        QStringLiteral("E' ora possibile apportare le proprie modifiche alla scheda corrente.") +
            QStringLiteral("\n\r\n\r") +
            QStringLiteral("Al termine premere Salva per inserire la scheda in archivio."));
}

bool TfrmMagazzino::controllaCampi() {
    auto avviso = [this](QWidget *dove, const QString &testo) {
        dialoghi().messaggio(this, TipoMessaggio::Avviso, testo);
        if (dove) dove->setFocus();
        return false;
    };
    const struct {
        Campo campo;
        const char16_t *cosa;
    } obbligatori[] = {{Campo::Codice, u"il codice articolo"},
                       {Campo::Costo, u"il costo unitario"},
                       {Campo::Nome, u"il nome del prodotto"},
                       {Campo::Tipologia, u"la categoria merceologica"}};
    for (const auto &o : obbligatori)
        if (Rifila(casella(o.campo)->text()).isEmpty())
            return avviso(
                casella(o.campo),
                QStringLiteral("Attenzione: per salvare la scheda è necessario indicare ") +
                    QString::fromUtf16(o.cosa) + u'.');

    // Nothing is stored that the archive cannot hold as it stands.
    for (int i = 0; i < 17; ++i) {
        const QString testo = Rifila(m_caselle[i]->text());
        const QString estraneo = Cp1252::primoNonRappresentabile(testo);
        if (!estraneo.isEmpty())
            return avviso(m_caselle[i],
                          QStringLiteral("Attenzione: il campo \"") + nomeCampo(i) +
                              QStringLiteral("\" contiene il carattere ") +
                              carattereCitato(estraneo) +
                              QStringLiteral(", che non può essere archiviato. Sostituirlo o "
                                             "eliminarlo prima di salvare la scheda."));
        const int massimo = CAMPI[std::size_t(i)].massimo;
        if ((classeDi(i) == Classe::Importo || classeDi(i) == Classe::Quantita) &&
            testo.size() > massimo) {
            // Cutting may only drop trailing zeros or the comma, never change the value.
            const auto intero = LeggiNumero(testo);
            const auto tagliato = LeggiNumero(testo.left(massimo));
            if (!intero || !tagliato || *intero != *tagliato)
                return avviso(m_caselle[i],
                              QStringLiteral("Attenzione: il valore del campo \"") + nomeCampo(i) +
                                  QStringLiteral("\" supera il limite di ") +
                                  QString::number(massimo) +
                                  QStringLiteral(" caratteri e non può essere archiviato."));
        }
    }
    for (int i = 0; i < 6; ++i) {
        const QString estraneo = Cp1252::primoNonRappresentabile(m_nascoste[i]->text());
        if (!estraneo.isEmpty())
            return avviso(nullptr, QStringLiteral("Attenzione: il campo \"") +
                                       NASCOSTE[i][1].toString() +
                                       QStringLiteral("\" contiene il carattere ") +
                                       carattereCitato(estraneo) +
                                       QStringLiteral(", che non può essere archiviato."));
    }
    return true;
}

TScheda TfrmMagazzino::schedaDallaFinestra() const {
    TScheda scheda;
    for (int i = 0; i < 17; ++i)
        scheda.impostaTesto(Campo(i), m_caselle[i]->text());
    scheda.impostaTesto(Campo::Pagato,
                        m_chkPagato->isChecked() ? QStringLiteral("Sì") : QStringLiteral("No"));
    for (int i = 0; i < 6; ++i)
        scheda.impostaTesto(Campo(int(Campo::File01) + i), m_nascoste[i]->text());
    return scheda;
}

void TfrmMagazzino::btnSalvaClick() {
    salva();
}

bool TfrmMagazzino::confermaCodice() {
    // A new card whose code another card already has: say which one first.
    const QString codice = schedaDallaFinestra().testo(Campo::Codice);
    const QString chiave = MinuscoleAZ(codice);
    qint64 trovata = 0;
    QString nome;
    const auto confronta = [&](const TScheda &scheda, qint64 posizione) {
        if (MinuscoleAZ(scheda.testo(Campo::Codice)) != chiave) return true;
        trovata = posizione;
        nome = scheda.testo(Campo::Nome);
        return false;
    };
    if (ArchivioSuServer()) {
        // The server's index of codes rather than a pass over the network.
        QList<qint64> candidate;
        DepositoCorrente().cercaCodice(codice, candidate);
        std::sort(candidate.begin(), candidate.end());
        TScheda scheda;
        for (qint64 p : candidate)
            if (DepositoCorrente().leggi(p, scheda) && !confronta(scheda, p)) break;
    } else {
        scorriInUso(confronta);
    }
    if (trovata == 0) return true;
    const Risposta risposta = dialoghi().domanda(
        this, QStringLiteral("Attenzione: il codice articolo \"") + codice +
                  QStringLiteral("\" è già usato dalla scheda n. ") + QString::number(trovata) +
                  QStringLiteral(" (\"") + nome +
                  QStringLiteral("\").\n\nSalvare comunque questa scheda con lo stesso codice?"));
    if (risposta != Risposta::No) return true;
    casella(Campo::Codice)->setFocus();
    return false;
}

bool TfrmMagazzino::salva() {
    for (Campo c : {Campo::Giacenza, Campo::Avviso})
        if (Rifila(casella(c)->text()).isEmpty()) casella(c)->setText(QStringLiteral("0"));
    if (!controllaCampi()) return false;
    const QString etichetta = Rifila(m_lblPosizione->text());
    const bool aggiornamento = !etichetta.isEmpty();
    if (!aggiornamento && !confermaCodice()) return false;

    const TScheda scheda = schedaDallaFinestra();
    const qint64 daScrivere = aggiornamento ? etichetta.toLongLong() : 0;
    if (aggiornamento && daScrivere < 1) {
        erroreArchivio();
        return false;
    }
    // The stock goes to the archive as movements on the stock on disk; another
    // copy's changes since loading are kept or asked about.
    const SalvataggioScheda salvataggio = SalvaScheda(this, DepositoCorrente(), daScrivere,
                                                      m_caricata, scheda, m_cambi, m_segnoGiornale);
    if (salvataggio.esito == SalvataggioScheda::Ricaricare) {
        CaricaScheda(salvataggio.scritta, salvataggio.posizione);
        return false;
    }
    if (salvataggio.esito != SalvataggioScheda::Salvata) return false;
    const qint64 p = salvataggio.posizione;
    const bool nuova = salvataggio.nuova;
    // What the other copy changed, and the stock it leads to, is on screen too.
    if (salvataggio.scritta.byte != scheda.byte) mostraCampi(salvataggio.scritta);
    m_caricata = salvataggio.scritta;
    m_segnoGiornale = SegnoGiornale();
    m_cambi.clear();
    m_lblPosizione->setText(QString::number(p));
    aggiungiSuggerimenti(salvataggio.scritta);

    // The record is safe on disk. A card without a photo of its own gets the
    // default picture in its file (no command deletes a photo file); a photo
    // that cannot be written stays on screen, and the card keeps counting as
    // changed, so the next save tries again.
    bool fotoScritta = false;
    if (!ArchivioSuServer()) {
        fotoScritta = senzaFoto() ? SalvaFotoScheda(m_lblPosizione->text(), m_bianco)
                                  : SalvaFotoScheda(m_lblPosizione->text(), m_imgFoto->immagine(),
                                                    m_imgFoto->originale());
    } else {
        const QByteArray jpeg = senzaFoto()
                                    ? ByteJpeg(m_bianco)
                                    : ByteJpeg(m_imgFoto->immagine(), m_imgFoto->originale());
        fotoScritta = !jpeg.isEmpty() && DepositoCorrente().scriviFoto(p, jpeg);
    }
    ricordaScheda(fotoScritta);
    dialoghi().messaggio(
        this, TipoMessaggio::Informazione,
        !nuova ? QStringLiteral(
                     "Le modifiche apportate alla scheda corrente sono state salvate in archivio.")
               : QStringLiteral("La scheda corrente è stata inserita in archivio."));
    AvvisaGiornale(this, salvataggio);
    if (!fotoScritta)
        dialoghi().messaggio(
            this, TipoMessaggio::Avviso,
            QStringLiteral("Attenzione: non è stato possibile scrivere la foto della scheda "
                           "nel file ") +
                QString::number(p) +
                QStringLiteral(".jpg. La scheda è stata salvata; la foto resta visualizzata e "
                               "sarà scritta al prossimo salvataggio."));
    return true;
}

void TfrmMagazzino::btnEsciClick() {
    close();
}

void TfrmMagazzino::btnAnteprimaClick() {
    TfrmAnteprimaMag finestra(this);
    dialoghi().esegui(&finestra);
}

void TfrmMagazzino::btnStampaClick() {
    TfrmStampaMag finestra(this);
    dialoghi().esegui(&finestra);
}

// The list windows put a chosen card on this window through CaricaScheda.
void TfrmMagazzino::btnTrovaClick() {
    TfrmTrovaMagazzino finestra(this);
    finestra.lblMemory->setText(QStringLiteral("magazzino"));
    finestra.impostaApriScheda([this](const TScheda &s, qint64 p) { apriDaElenco(s, p); });
    finestra.impostaNuovaScheda([this](const QString &c) { nuovaConCodice(c); });
    dialoghi().esegui(&finestra);
}

void TfrmMagazzino::btnSottoscortaClick() {
    TfrmSottoscorta finestra(this);
    finestra.impostaApriScheda([this](const TScheda &s, qint64 p) { apriDaElenco(s, p); });
    dialoghi().esegui(&finestra);
}

void TfrmMagazzino::btnScadutiClick() {
    TfrmDaSaldare finestra(this);
    finestra.impostaApriScheda([this](const TScheda &s, qint64 p) { apriDaElenco(s, p); });
    dialoghi().esegui(&finestra);
}

void TfrmMagazzino::apriDaElenco(const TScheda &scheda, qint64 posizione) {
    if (lasciaScheda()) CaricaScheda(scheda, posizione);
}

void TfrmMagazzino::btnEsportaClick() {
    TfrmExpMagazzino finestra(this);
    dialoghi().esegui(&finestra);
}

void TfrmMagazzino::delDataScaClick() {
    casella(Campo::DataSca)->clear();
}

void TfrmMagazzino::btnAggiungiClick() {
    apriGiacenza(true);
}

void TfrmMagazzino::btnSottraiClick() {
    apriGiacenza(false);
}

void TfrmMagazzino::apriGiacenza(bool aggiunta) {
    QLineEdit *giacenza = casella(Campo::Giacenza);
    if (Rifila(giacenza->text()).isEmpty()) giacenza->setText(QStringLiteral("0"));
    TfrmGiacenza finestra(this, giacenza);
    finestra.lblAggiunta->setText(aggiunta ? QStringLiteral("Quantità da aggiungere:")
                                           : QStringLiteral("Quantità da sottrarre:"));
    finestra.txtGiacenza->setText(Rifila(giacenza->text()));
    finestra.txtTotale->setText(Rifila(giacenza->text()));
    finestra.txtAggiunta->setText(QStringLiteral("0"));
    dialoghi().esegui(&finestra);
    if (finestra.result() != QDialog::Accepted) return;
    // Each change applied is a movement of its own: a corrected count is a
    // correction, the quantity added or taken off goods in or out with its
    // reason.
    if (finestra.correzione() != 0)
        m_cambi << CambioGiacenza{finestra.correzione(),
                                  QStringLiteral("Giacenza attuale corretta"), true};
    if (finestra.quantita() != 0)
        m_cambi << CambioGiacenza{finestra.quantita(), Rifila(finestra.txtCausale->text())};
}

void TfrmMagazzino::btnMovimentiClick() {
    const qint64 giacenza =
        MostraMovimentiScheda(this, Rifila(m_lblPosizione->text()).toLongLong());
    if (giacenza < 0) return;
    // A movement taken back changed the stock on disk: the box moves by as
    // much, keeping whatever this window changed and has not saved yet.
    const qint64 primaSuDisco = GiacenzaDi(m_caricata).value_or(0);
    const auto nelRiquadro = LeggiNumero(Rifila(casella(Campo::Giacenza)->text()));
    const bool invariata = !modificata();
    m_caricata.impostaTesto(Campo::Giacenza, QString::number(giacenza));
    casella(Campo::Giacenza)
        ->setText(QString::number(qint64(nelRiquadro.value_or(0)) + giacenza - primaSuDisco));
    if (invariata)
        ricordaScheda();
    else
        aggiornaSegno();
}

void TfrmMagazzino::btnEliminaClick() {
    const SchedaDopoEliminazione dopo =
        EliminaSchedaConDomanda(this, Rifila(m_lblPosizione->text()).toLongLong(), m_caricata);
    if (!dopo.eliminata) return;
    if (dopo.mostrare)
        CaricaScheda(dopo.scheda, dopo.posizione);
    else
        PulisciScheda();
}

void TfrmMagazzino::btnSchedeEliminateClick() {
    const qint64 ripristinata = MostraSchedeEliminate(this);
    if (ripristinata < 1 || !lasciaScheda()) return;
    TScheda scheda;
    if (!leggiInUso(ripristinata, scheda)) return erroreArchivio();
    CaricaScheda(scheda, ripristinata);
}

void TfrmMagazzino::apriCalendario() {
    TfrmCalendario finestra(this, casella(Campo::DataSca));
    finestra.lblMemory->setText(QStringLiteral("datasca"));
    dialoghi().esegui(&finestra);
}

void TfrmMagazzino::showEvent(QShowEvent *evento) {
    QWidget::showEvent(evento);
    if (evento->spontaneous()) return;
    PulisciScheda();
    riempiSuggerimenti();
    // Said at once, before the user types a card that could not be saved.
    if (!ArchivioSuServer() && ArchivioNonRiconosciuto(PercorsoArchivio()))
        dialoghi().messaggio(this, TipoMessaggio::Errore, MessaggioArchivioNonRiconosciuto());
}

void TfrmMagazzino::closeEvent(QCloseEvent *evento) {
    if (!lasciaScheda()) return evento->ignore();
    evento->accept();
    emit chiusa();
}

void TfrmMagazzino::riempiSuggerimenti() {
    // One pass, only when the archive changed since the last one.
    // On a server a pass crosses the network (seconds on a large archive):
    // once per server, the cards saved here adding to it.
    const QFileInfo file(PercorsoArchivio());
    const QString firma = ArchivioSuServer() ? DescrizioneArchivio()
                          : file.exists()
                              ? QString::number(file.size()) + u'/' +
                                    QString::number(file.lastModified().toMSecsSinceEpoch())
                              : QString();
    if (!firma.isEmpty() && firma == m_firmaSuggerimenti) return;
    m_firmaSuggerimenti = firma;
    QStringList tipologie, ditte;
    QSet<QString> visteT, visteD;
    if (!firma.isEmpty())
        scorriInUso([&](const TScheda &scheda, qint64) {
            const QString t = scheda.testo(Campo::Tipologia);
            const QString d = scheda.testo(Campo::Ditta);
            if (!t.isEmpty() && !visteT.contains(t)) {
                visteT.insert(t);
                tipologie << t;
            }
            if (!d.isEmpty() && !visteD.contains(d)) {
                visteD.insert(d);
                ditte << d;
            }
            return true;
        });
    Ordina(tipologie);
    Ordina(ditte);
    m_tipologie->setStringList(tipologie);
    m_ditte->setStringList(ditte);
}

void TfrmMagazzino::aggiungiSuggerimenti(const TScheda &scheda) {
    for (auto [campo, modello] :
         {std::pair{Campo::Tipologia, m_tipologie}, std::pair{Campo::Ditta, m_ditte}}) {
        const QString valore = scheda.testo(campo);
        QStringList valori = modello->stringList();
        if (valore.isEmpty() || valori.contains(valore)) continue;
        valori << valore;
        Ordina(valori);
        modello->setStringList(valori);
    }
}

int TfrmMagazzino::indiceCasella(const QObject *oggetto) const {
    const auto trovata = std::find(std::begin(m_caselle), std::end(m_caselle), oggetto);
    return trovata == std::end(m_caselle) ? -1 : int(trovata - std::begin(m_caselle));
}

bool TfrmMagazzino::tastoCasella(QLineEdit *box, QKeyEvent *tasto) {
    const int i = indiceCasella(box);
    const int codice = tasto->key();
    const Classe classe = classeDi(i);

    if (classe == Classe::Data) {
        switch (codice) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            box->clear();
            return true;
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_CapsLock:
            return false; // a modifier on its own, as on the way to Shift+Tab
        default:
            apriCalendario();
            return true;
        }
    }

    if ((classe == Classe::Importo || classe == Classe::Quantita) && !m_inoltroVirgola &&
        rafficaScanner(box, tasto))
        return true;

    if (codice == Qt::Key_Return || codice == Qt::Key_Enter) {
        // Along the chain; from the notes on to the price and back to the code.
        const int prossima = i == indiceDi(Campo::Prezzo) ? 0 : i + 1;
        m_caselle[prossima]->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (classe == Classe::Testo) return false;
    if (codice == Qt::Key_Backspace || codice == Qt::Key_Delete || codice == Qt::Key_Left ||
        codice == Qt::Key_Right || codice == Qt::Key_Home || codice == Qt::Key_End ||
        tasto->matches(QKeySequence::SelectAll))
        return false;
    if (tasto->modifiers() & Qt::ControlModifier) return true;
    const QString testo = tasto->text();
    if (classe == Classe::Importo && testo == u".") {
        // A point, from the main keys or the keypad, is meant as the decimal
        // comma: it goes on as a comma key, typing limit included.
        QKeyEvent virgola(QEvent::KeyPress, Qt::Key_Comma, tasto->modifiers(), u","_s);
        m_inoltroVirgola = true;
        QCoreApplication::sendEvent(box, &virgola);
        m_inoltroVirgola = false;
        return true;
    }
    const bool cifra = testo.size() == 1 && testo[0] >= u'0' && testo[0] <= u'9';
    const bool virgola = classe == Classe::Importo && testo == u",";
    return !(cifra || virgola);
}

bool TfrmMagazzino::rafficaScanner(QLineEdit *box, QKeyEvent *tasto) {
    // A scanner types a code and Enter far quicker than anyone types by hand.
    // Such a burst in an amount box is a code scanned without F3: it must not
    // change the amount, so it goes to the code box as if typed there.
    static const QElapsedTimer orologio = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    const qint64 ora = orologio.elapsed();
    const bool vicino = ora - m_ultimoTastoNumero <= IngressoScanner::RAFFICA_MS;
    m_ultimoTastoNumero = ora;
    const int codice = tasto->key();
    if (codice == Qt::Key_Return || codice == Qt::Key_Enter) {
        Raffica raffica = std::exchange(m_raffica, Raffica{});
        if (!vicino || raffica.casella != box || raffica.codice.size() < MINIMO_RAFFICA)
            return false;
        box->setText(raffica.prima);
        m_txtCodiceABarre->setFocus(Qt::OtherFocusReason);
        impostaStato(QStringLiteral("Codice letto nella casella \"Codice a barre\": ") +
                     raffica.codice);
        codiceLetto(raffica.codice);
        return true;
    }
    const QString testo = tasto->text();
    if (testo.size() != 1 || !testo[0].isPrint()) {
        m_raffica = {};
        return false;
    }
    if (!vicino || m_raffica.casella != box) m_raffica = {box, box->text(), QString()};
    m_raffica.codice += testo;
    return false;
}

void TfrmMagazzino::casellaLasciata(QLineEdit *box) {
    const int i = indiceCasella(box);
    const Classe classe = classeDi(i);
    if (classe != Classe::Importo && classe != Classe::Quantita) return;
    const QString scritto = box->text();
    const QString normale =
        classe == Classe::Importo ? NormalizzaImporto(scritto) : NormalizzaQuantita(scritto);
    box->setText(normale);
    // A text that cannot be read becomes zero, as it always has; say so.
    if (!Rifila(scritto).isEmpty() && !LeggiNumero(Rifila(scritto)))
        impostaStato(classe == Classe::Importo
                         ? QStringLiteral("Importo non leggibile: ") + scritto +
                               QStringLiteral(" sostituito con ") + normale
                         : QStringLiteral("Quantità non leggibile: ") + scritto +
                               QStringLiteral(" sostituita con ") + normale);
}

bool TfrmMagazzino::eventFilter(QObject *oggetto, QEvent *evento) {
    const int indice = indiceCasella(oggetto);
    const bool nostra = indice >= 0;
    auto *box = nostra ? m_caselle[indice] : nullptr;
    switch (evento->type()) {
    case QEvent::KeyPress:
        if (nostra) {
            auto *tasto = static_cast<QKeyEvent *>(evento);
            // Tab and Shift+Tab belong to the window.
            if (tasto->key() == Qt::Key_Tab || tasto->key() == Qt::Key_Backtab) return false;
            return tastoCasella(box, tasto);
        }
        break;
    case QEvent::ShortcutOverride: {
        // Keep Ctrl combinations (paste, undo) away from the number boxes;
        // Ctrl+S still saves from there, and keys without Ctrl (F3) reach
        // the window's shortcuts.
        const auto *tasto = static_cast<QKeyEvent *>(evento);
        if (nostra &&
            (classeDi(indice) == Classe::Importo || classeDi(indice) == Classe::Quantita) &&
            (tasto->modifiers() & Qt::ControlModifier) && !tasto->matches(QKeySequence::Save)) {
            evento->accept();
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        // Entering a number box by the mouse selects its text, as the
        // keyboard does, so what is typed replaces it: the click that gave
        // the focus arrives next and must not place the caret.
        if (nostra && static_cast<QFocusEvent *>(evento)->reason() == Qt::MouseFocusReason &&
            (classeDi(indice) == Classe::Importo || classeDi(indice) == Classe::Quantita))
            m_entrataColMouse = box;
        break;
    case QEvent::MouseButtonPress:
        if (nostra && m_entrataColMouse == box) {
            m_entrataColMouse = nullptr;
            box->selectAll();
            return true;
        }
        break;
    case QEvent::MouseButtonDblClick:
    case QEvent::FocusOut:
        if (nostra) m_entrataColMouse = nullptr;
        break;
    case QEvent::MouseButtonRelease:
        // No middle-button paste into the number boxes.
        if (nostra && static_cast<QMouseEvent *>(evento)->button() == Qt::MiddleButton &&
            box->contextMenuPolicy() == Qt::NoContextMenu)
            return true;
        break;
    case QEvent::Enter:
        if (m_testiStato.contains(oggetto)) impostaStato(m_testiStato.value(oggetto));
        break;
    case QEvent::MouseMove:
        // The plain boxes and the labels leave the line as it is.
        if (m_decorazioni.contains(oggetto)) impostaStato(QString());
        break;
    default:
        break;
    }
    return QWidget::eventFilter(oggetto, evento);
}
