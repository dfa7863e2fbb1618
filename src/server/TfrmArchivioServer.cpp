#include "server/TfrmArchivioServer.h"

#include "access/FileIni.h"
#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"
#include "platform/Dialoghi.h"
#include "server/CopiaLocale.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoCorrente.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QIODevice>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString SEZIONE = u"Server"_s;
const QStringList MODI_SSL{u"prefer"_s, u"require"_s, u"verify-full"_s};

// The wait cursor while a long step runs; the window stays modal.
struct Attesa {
    Attesa() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Attesa() { QApplication::restoreOverrideCursor(); }
};

// The server's archive in use keeps its connection with it.
struct ConConnessione {
    std::unique_ptr<Connessione> connessione;
};
class DepositoServerInUso : private ConConnessione, public DepositoServer {
  public:
    DepositoServerInUso(std::unique_ptr<Connessione> c, std::unique_ptr<CopiaLocale> copia)
        : ConConnessione{std::move(c)}, DepositoServer(*connessione, std::move(copia)) {}
};

// The copy of the cards the list passes read at this workstation: in the
// user's cache folder, one per server, database and user.
std::unique_ptr<CopiaLocale> copiaLocale(const ParametriServer &p) {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty()) return {};
    return std::make_unique<CopiaLocale>(QDir(cache).filePath(u"Copie dei server"_s),
                                         NomeCopiaLocale(p.host, p.porta, p.database, p.utente));
}

// Asks the server's password at start, when the password file has none.
class TfrmPasswordServer : public QDialog {
  public:
    TfrmPasswordServer(QWidget *genitore, const ParametriServer &p) : QDialog(genitore) {
        setObjectName(u"frmPasswordServer"_s);
        setWindowTitle(u"Password del server"_s);
        auto *colonna = new QVBoxLayout(this);
        auto *testo = new QLabel(
            u"Password dell'utente "_s + p.utente + u" sul server "_s + p.host + u':', this);
        testo->setTextFormat(Qt::PlainText);
        testo->setWordWrap(true);
        colonna->addWidget(testo);
        txtPassword = new QLineEdit(this);
        txtPassword->setObjectName(u"txtPassword"_s);
        txtPassword->setEchoMode(QLineEdit::Password);
        txtPassword->setAccessibleName(u"Password"_s);
        testo->setBuddy(txtPassword);
        colonna->addWidget(txtPassword);
        auto *pulsanti =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        pulsanti->button(QDialogButtonBox::Ok)->setText(u"OK"_s);
        pulsanti->button(QDialogButtonBox::Cancel)->setText(u"Annulla"_s);
        colonna->addWidget(pulsanti);
        connect(pulsanti, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
        resize(420, sizeHint().height());
    }
    QLineEdit *txtPassword;
};

QString descrizioneServer(const ParametriServer &p) {
    return u"archivio sul server "_s + p.host + u", database "_s + p.database;
}

} // namespace

bool LeggiUsoServer(const QString &percorso) {
    QByteArray testo;
    QFile file(percorso);
    if (file.open(QIODevice::ReadOnly)) testo = file.readAll();
    return Ini::LeggiValore(testo, SEZIONE, u"Usa"_s) == u"1"_s;
}

bool ScriviUsoServer(bool usa, const QString &percorso) {
    QByteArray testo;
    QFile file(percorso);
    if (file.open(QIODevice::ReadOnly)) testo = file.readAll();
    file.close();
    testo = Ini::ScriviValore(testo, SEZIONE, u"Usa"_s, usa ? u"1"_s : u"0"_s);
    return ScriviFileIntero(percorso,
                            [&testo](QIODevice *d) { return d->write(testo) == testo.size(); });
}

bool ApriArchivioInUso(QWidget *finestra, const QString &percorso) {
    if (!LeggiUsoServer(percorso)) {
        ImpostaDepositoCorrente(nullptr, QString());
        return false;
    }
    ParametriServer p = LeggiParametriServer(percorso);
    std::unique_ptr<Connessione> c;
    {
        Attesa attesa;
        c = std::make_unique<Connessione>(p);
    }
    if (c->chiedePassword()) {
        TfrmPasswordServer domanda(finestra, p);
        if (Piattaforma::dialoghi().esegui(&domanda) == QDialog::Accepted) {
            p.password = domanda.txtPassword->text();
            Attesa attesa;
            c = std::make_unique<Connessione>(p);
        }
    }
    if (!c->aperta())
        Piattaforma::dialoghi().messaggio(
            finestra, Piattaforma::TipoMessaggio::Avviso,
            c->messaggio() + u" Il programma lavora sull'archivio del server "_s + p.host +
                u" e lo riprova a ogni operazione; per lavorare sulla cartella del programma "
                u"togliere la scelta in \u00ABArchivio su server\u00BB."_s);
    else
        AggiungiIndici(*c);
    ImpostaDepositoCorrente(std::make_unique<DepositoServerInUso>(std::move(c), copiaLocale(p)),
                            descrizioneServer(p));
    return true;
}

QString PercorsoParametriServer() {
    return QDir(CartellaProgramma()).filePath(u"ArchivioServer.ini"_s);
}

ParametriServer LeggiParametriServer(const QString &percorso) {
    QByteArray testo;
    QFile file(percorso);
    if (file.open(QIODevice::ReadOnly)) testo = file.readAll();
    ParametriServer p;
    p.host = Ini::LeggiValore(testo, SEZIONE, u"Host"_s);
    const int porta = Ini::LeggiValore(testo, SEZIONE, u"Porta"_s).toInt();
    if (porta > 0 && porta < 65536) p.porta = porta;
    p.database = Ini::LeggiValore(testo, SEZIONE, u"Database"_s);
    p.utente = Ini::LeggiValore(testo, SEZIONE, u"Utente"_s);
    const QString ssl = Ini::LeggiValore(testo, SEZIONE, u"SSL"_s);
    if (MODI_SSL.contains(ssl)) p.ssl = ssl;
    return p;
}

bool ScriviParametriServer(const ParametriServer &p, const QString &percorso) {
    QByteArray testo;
    QFile file(percorso);
    if (file.open(QIODevice::ReadOnly)) testo = file.readAll();
    file.close();
    // Never the password.
    testo = Ini::ScriviValore(testo, SEZIONE, u"Host"_s, p.host);
    testo = Ini::ScriviValore(testo, SEZIONE, u"Porta"_s, QString::number(p.porta));
    testo = Ini::ScriviValore(testo, SEZIONE, u"Database"_s, p.database);
    testo = Ini::ScriviValore(testo, SEZIONE, u"Utente"_s, p.utente);
    testo = Ini::ScriviValore(testo, SEZIONE, u"SSL"_s, p.ssl);
    return ScriviFileIntero(percorso,
                            [&testo](QIODevice *d) { return d->write(testo) == testo.size(); });
}

TfrmArchivioServer::TfrmArchivioServer(QWidget *genitore, QString percorso)
    : QDialog(genitore), m_percorso(std::move(percorso)) {
    setObjectName(u"frmArchivioServer"_s);
    setWindowTitle(u"Archivio su server"_s);
    auto *colonna = new QVBoxLayout(this);
    auto *spiegazione = new QLabel(
        u"Per un negozio con più sedi l'archivio può stare su un server PostgreSQL. Da qui si "
        u"prova il collegamento e si copia l'archivio della cartella del programma sul server "
        u"(in un database vuoto) o quello del server in una cartella. Con la casella in basso "
        u"tutte le finestre del programma lavorano sull'archivio del server."_s,
        this);
    spiegazione->setObjectName(u"lblSpiegazione"_s);
    spiegazione->setWordWrap(true);
    spiegazione->setTextFormat(Qt::PlainText);
    colonna->addWidget(spiegazione);

    auto *modulo = new QFormLayout;
    auto etichetta = [this, modulo](QWidget *c, const QString &testo) {
        auto *l = new QLabel(testo, this);
        l->setBuddy(c);
        c->setAccessibleName(QString(testo).remove(u'&').remove(u':'));
        modulo->addRow(l, c);
    };
    auto casella = [this, &etichetta](const QString &nome, const QString &testo) {
        auto *c = new QLineEdit(this);
        c->setObjectName(nome);
        c->setMaxLength(200);
        etichetta(c, testo);
        return c;
    };
    txtHost = casella(u"txtHost"_s, u"&Server (nome o indirizzo):"_s);
    txtPorta = new QSpinBox(this);
    txtPorta->setObjectName(u"txtPorta"_s);
    txtPorta->setRange(1, 65535);
    etichetta(txtPorta, u"P&orta:"_s);
    txtDatabase = casella(u"txtDatabase"_s, u"&Database:"_s);
    txtUtente = casella(u"txtUtente"_s, u"&Utente:"_s);
    cmbSsl = new QComboBox(this);
    cmbSsl->setObjectName(u"cmbSsl"_s);
    cmbSsl->addItem(u"Se il server la offre (prefer)"_s, u"prefer"_s);
    cmbSsl->addItem(u"Sempre cifrata (require)"_s, u"require"_s);
    cmbSsl->addItem(u"Cifrata, con verifica del server (verify-full)"_s, u"verify-full"_s);
    etichetta(cmbSsl, u"&Connessione cifrata (SSL):"_s);
    txtPassword = casella(u"txtPassword"_s, u"Pass&word:"_s);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setPlaceholderText(u"vuota: dal file delle password di PostgreSQL"_s);
    colonna->addLayout(modulo);
    auto *nota = new QLabel(u"La password non viene salvata: si scrive ogni volta, oppure si "
                            u"mette nel file ~/.pgpass dell'utente."_s,
                            this);
    nota->setObjectName(u"lblPassword"_s);
    nota->setWordWrap(true);
    nota->setTextFormat(Qt::PlainText);
    colonna->addWidget(nota);
    chkUsaServer = new QCheckBox(u"&Lavora sull'archivio del server (tutte le finestre)"_s, this);
    chkUsaServer->setObjectName(u"chkUsaServer"_s);
    chkUsaServer->setAccessibleName(u"Lavora sull'archivio del server"_s);
    colonna->addWidget(chkUsaServer);

    auto *pulsanti = new QDialogButtonBox(this);
    auto pulsante = [this, pulsanti](const QString &nome, const QString &testo) {
        auto *b = pulsanti->addButton(testo, QDialogButtonBox::ActionRole);
        b->setObjectName(nome);
        b->setAutoDefault(false);
        b->setAccessibleName(QString(testo).remove(u'&'));
        return b;
    };
    btnProva = pulsante(u"btnProva"_s, u"&Prova connessione"_s);
    btnCopiaSuServer = pulsante(u"btnCopiaSuServer"_s, u"Sposta l'&archivio sul server"_s);
    btnCopiaDaServer = pulsante(u"btnCopiaDaServer"_s, u"Riporta l'archivio in una &cartella..."_s);
    btnChiudi = pulsanti->addButton(u"C&hiudi"_s, QDialogButtonBox::RejectRole);
    btnChiudi->setObjectName(u"btnChiudi"_s);
    btnChiudi->setAccessibleName(u"Chiudi"_s);
    colonna->addWidget(pulsanti);
    connect(btnProva, &QPushButton::clicked, this, &TfrmArchivioServer::btnProvaClick);
    connect(btnCopiaSuServer, &QPushButton::clicked, this,
            &TfrmArchivioServer::btnCopiaSuServerClick);
    connect(btnCopiaDaServer, &QPushButton::clicked, this,
            &TfrmArchivioServer::btnCopiaDaServerClick);
    connect(btnChiudi, &QPushButton::clicked, this, &QDialog::reject);

    const ParametriServer p = LeggiParametriServer(m_percorso);
    txtHost->setText(p.host);
    txtPorta->setValue(p.porta);
    txtDatabase->setText(p.database);
    txtUtente->setText(p.utente);
    cmbSsl->setCurrentIndex(qMax(0, cmbSsl->findData(p.ssl)));
    m_usaAllInizio = LeggiUsoServer(m_percorso);
    chkUsaServer->setChecked(m_usaAllInizio);
    resize(600, sizeHint().height());
}

ParametriServer TfrmArchivioServer::parametri() const {
    ParametriServer p;
    p.host = txtHost->text().trimmed();
    p.porta = txtPorta->value();
    p.database = txtDatabase->text().trimmed();
    p.utente = txtUtente->text().trimmed();
    p.ssl = cmbSsl->currentData().toString();
    p.password = txtPassword->text();
    return p;
}

bool TfrmArchivioServer::prepara() {
    auto &dialoghi = Piattaforma::dialoghi();
    const ParametriServer p = parametri();
    if (p.host.isEmpty() || p.database.isEmpty() || p.utente.isEmpty()) {
        dialoghi.messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                           u"Attenzione: scrivere il server, il database e l'utente."_s);
        (p.host.isEmpty() ? txtHost : p.database.isEmpty() ? txtDatabase : txtUtente)->setFocus();
        return false;
    }
    if (!ScriviParametriServer(p, m_percorso))
        dialoghi.messaggio(
            this, Piattaforma::TipoMessaggio::Avviso,
            u"Attenzione: i dati del server non possono essere ricordati nel file "_s + m_percorso +
                u'.');
    return true;
}

void TfrmArchivioServer::btnProvaClick() {
    if (!prepara()) return;
    auto &dialoghi = Piattaforma::dialoghi();
    std::unique_ptr<Connessione> c;
    {
        Attesa attesa;
        c = std::make_unique<Connessione>(parametri());
    }
    if (c->aperta())
        dialoghi.messaggio(this, Piattaforma::TipoMessaggio::Informazione,
                           u"Collegamento riuscito: PostgreSQL "_s + c->versioneServer() + u'.');
    else
        dialoghi.messaggio(this, Piattaforma::TipoMessaggio::Avviso, c->messaggio());
}

void TfrmArchivioServer::btnCopiaSuServerClick() {
    if (!prepara()) return;
    auto &dialoghi = Piattaforma::dialoghi();
    if (dialoghi.domanda(this, u"Copiare l'archivio della cartella del programma (schede, "
                               u"movimenti, foto e allegati) sul server? Il database deve essere "
                               u"vuoto; la cartella del programma resta com'è."_s) !=
        Piattaforma::Risposta::Si)
        return;
    EsitoTrasloco esito;
    {
        Attesa attesa;
        Connessione c(parametri());
        esito = CopiaSuServer(CartellaProgramma(), c);
    }
    dialoghi.messaggio(this,
                       esito.riuscito ? Piattaforma::TipoMessaggio::Informazione
                                      : Piattaforma::TipoMessaggio::Avviso,
                       esito.messaggio);
    if (esito.riuscito && !chkUsaServer->isChecked() &&
        dialoghi.domanda(this, u"Lavorare da ora sull'archivio del server?"_s) ==
            Piattaforma::Risposta::Si)
        chkUsaServer->setChecked(true);
}

void TfrmArchivioServer::done(int risultato) {
    // The archive in use changes as the window closes, with the address as
    // now typed; the password typed here serves the connection too.
    const bool usa = chkUsaServer->isChecked();
    if (usa != m_usaAllInizio || (usa && !ArchivioSuServer())) {
        if (usa && !prepara()) return;
        if (!ScriviUsoServer(usa, m_percorso)) {
            Piattaforma::dialoghi().messaggio(
                this, Piattaforma::TipoMessaggio::Avviso,
                u"Attenzione: la scelta dell'archivio non può essere ricordata nel file "_s +
                    m_percorso + u'.');
            return;
        }
        if (usa && !txtPassword->text().isEmpty()) {
            const ParametriServer p = parametri();
            std::unique_ptr<Connessione> c;
            {
                Attesa attesa;
                c = std::make_unique<Connessione>(p);
            }
            if (!c->aperta()) {
                Piattaforma::dialoghi().messaggio(this, Piattaforma::TipoMessaggio::Avviso,
                                                  c->messaggio());
                return;
            }
            ImpostaDepositoCorrente(
                std::make_unique<DepositoServerInUso>(std::move(c), copiaLocale(p)),
                descrizioneServer(p));
        } else {
            ApriArchivioInUso(this, m_percorso);
        }
    }
    QDialog::done(risultato);
}

void TfrmArchivioServer::btnCopiaDaServerClick() {
    if (!prepara()) return;
    auto &dialoghi = Piattaforma::dialoghi();
    const QString cartella = Piattaforma::ScegliCartellaDaScrivere(
        this, u"Cartella vuota dove scrivere l'archivio del server"_s, QDir::homePath());
    if (cartella.isEmpty()) return;
    EsitoTrasloco esito;
    {
        Attesa attesa;
        Connessione c(parametri());
        esito = CopiaSuCartella(c, cartella);
    }
    dialoghi.messaggio(this,
                       esito.riuscito ? Piattaforma::TipoMessaggio::Informazione
                                      : Piattaforma::TipoMessaggio::Avviso,
                       esito.messaggio);
}

void PreparaComandoArchivioServer(QWidget *finestra, QWidget *pannello, QRect pulsante) {
    auto *btn = new QPushButton(u"Archivio su server\u2026"_s, pannello);
    btn->setObjectName(u"btnArchivioServer"_s);
    btn->setGeometry(pulsante);
    btn->setFocusPolicy(Qt::StrongFocus);
    btn->setCursor(Qt::PointingHandCursor);
    btn->setAccessibleName(u"Archivio su server"_s);
    const QString descrizione =
        u"Collegamento a un server PostgreSQL e copia dell'archivio verso il server e ritorno"_s;
    btn->setToolTip(descrizione);
    btn->setAccessibleDescription(descrizione);
    QObject::connect(btn, &QPushButton::clicked, finestra, [finestra] {
        TfrmArchivioServer server(finestra);
        Piattaforma::dialoghi().esegui(&server);
        TitoloConArchivio(finestra);
    });
}
