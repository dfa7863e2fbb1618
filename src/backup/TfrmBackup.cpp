#include "backup/TfrmBackup.h"

#include "archive/CartellaProgramma.h"
#include "backup/ImpostazioniBackup.h"
#include "backup/ZipBackup.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

namespace {

bool stessoDisco(const QString &a, const QString &b) {
    // The backup folder may not exist yet: its nearest existing parent counts.
    auto dispositivo = [](QString percorso) -> qint64 {
        struct stat info {};
        while (!percorso.isEmpty()) {
            if (::stat(QFile::encodeName(percorso).constData(), &info) == 0)
                return qint64(info.st_dev);
            const QString sopra = QFileInfo(percorso).absolutePath();
            if (sopra == percorso) break;
            percorso = sopra;
        }
        return -1;
    };
    const qint64 da = dispositivo(a);
    return da >= 0 && da == dispositivo(b);
}

QString numero(qint64 n) {
    return QLocale(QLocale::Italian).toString(n);
}

} // namespace

TfrmBackup::TfrmBackup(QWidget *proprietario, CopieArchivio copie)
    : QDialog(proprietario), m_copie(std::move(copie)) {
    setObjectName(u"TfrmBackup"_s);
    setWindowTitle(u" Backup"_s);
    setModal(true);

    auto *titolo = new QLabel(u"Backup e ripristino dei dati"_s, this);
    titolo->setObjectName(u"lblTitolo"_s);
    QFont grande(u"Verdana"_s);
    grande.setPointSize(14);
    grande.setBold(true);
    titolo->setFont(grande);

    auto *spiegazione = new QLabel(
        ArchivioSuServer()
            ? u"Il backup raccoglie in un solo file zip l'archivio del server (schede, foto, "
              u"allegati e registro dei movimenti) e la password di questa postazione, e lo "
              u"controlla dopo averlo scritto."_s
            : u"Il backup raccoglie in un solo file zip l'archivio, le foto, gli allegati, la "
              u"password e il registro dei movimenti, e lo controlla dopo averlo scritto."_s,
        this);
    spiegazione->setObjectName(u"lblSpiegazione"_s);
    spiegazione->setWordWrap(true);

    auto *rigoCartella = new QLabel(u"Cartella dei backup:"_s, this);
    rigoCartella->setObjectName(u"lblRigoCartella"_s);
    m_lblCartella = new QLabel(this);
    m_lblCartella->setObjectName(u"lblCartella"_s);
    m_lblCartella->setTextFormat(Qt::PlainText);
    m_lblCartella->setWordWrap(true);
    m_lblCartella->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ValoreAccessibile(m_lblCartella, u"Cartella dei backup"_s);
    m_btnCartella = new QPushButton(u"Cambia c&artella..."_s, this);
    m_btnCartella->setObjectName(u"btnCartella"_s);

    m_lblAvviso = new QLabel(
        u"Attenzione: la cartella dei backup si trova sullo stesso disco dei dati. Un backup "
        u"sullo stesso disco non sopravvive a un guasto del disco: scegliere una cartella su un "
        u"altro disco, una chiavetta o un disco di rete."_s,
        this);
    m_lblAvviso->setObjectName(u"lblAvviso"_s);
    m_lblAvviso->setWordWrap(true);
    m_lblAvviso->setStyleSheet(u"QLabel { color: #8a1c00; }"_s);

    m_lblUltimo = new QLabel(this);
    m_lblUltimo->setObjectName(u"lblUltimo"_s);
    m_lblUltimo->setTextFormat(Qt::PlainText);

    auto *rigoConservati = new QLabel(u"Backup da &conservare:"_s, this);
    rigoConservati->setObjectName(u"lblRigoConservati"_s);
    m_spnConservati = new QSpinBox(this);
    m_spnConservati->setObjectName(u"spnConservati"_s);
    m_spnConservati->setRange(1, 999);
    m_spnConservati->setValue(ImpostazioniBackup::Conservati());
    rigoConservati->setBuddy(m_spnConservati);
    m_spnConservati->setAccessibleName(u"Backup da conservare"_s);

    m_lblAttendere = new QLabel(this);
    m_lblAttendere->setObjectName(u"lblAttendere"_s);
    m_lblAttendere->setTextFormat(Qt::PlainText);
    m_prgAvanzamento = new QProgressBar(this);
    m_prgAvanzamento->setObjectName(u"prgAvanzamento"_s);
    m_prgAvanzamento->setRange(0, 1000);
    m_prgAvanzamento->setAccessibleName(u"Avanzamento"_s);
    m_lblAttendere->hide();
    m_prgAvanzamento->hide();

    m_btnBackup = new QPushButton(u"&Esegui backup"_s, this);
    m_btnBackup->setObjectName(u"btnBackup"_s);
    m_btnBackup->setDefault(true);
    m_btnRipristina = new QPushButton(u"&Ripristina..."_s, this);
    m_btnRipristina->setObjectName(u"btnRipristina"_s);
    m_btnChiudi = new QPushButton(u"C&hiudi"_s, this);
    m_btnChiudi->setObjectName(u"btnChiudi"_s);

    auto *colonna = new QVBoxLayout(this);
    colonna->setContentsMargins(24, 20, 24, 20);
    colonna->setSpacing(10);
    colonna->addWidget(titolo);
    colonna->addWidget(spiegazione);
    auto *cartella = new QGridLayout;
    cartella->addWidget(rigoCartella, 0, 0, Qt::AlignTop);
    cartella->addWidget(m_lblCartella, 0, 1);
    cartella->addWidget(m_btnCartella, 0, 2, Qt::AlignTop);
    cartella->setColumnStretch(1, 1);
    colonna->addLayout(cartella);
    colonna->addWidget(m_lblAvviso);
    colonna->addWidget(m_lblUltimo);
    auto *conservati = new QHBoxLayout;
    conservati->addWidget(rigoConservati);
    conservati->addWidget(m_spnConservati);
    conservati->addStretch(1);
    colonna->addLayout(conservati);
    colonna->addStretch(1);
    colonna->addWidget(m_lblAttendere);
    colonna->addWidget(m_prgAvanzamento);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addWidget(m_btnBackup);
    pulsanti->addWidget(m_btnRipristina);
    pulsanti->addStretch(1);
    pulsanti->addWidget(m_btnChiudi);
    colonna->addLayout(pulsanti);
    setMinimumSize(600, 400);
    TitoloConArchivio(this);

    connect(m_btnBackup, &QPushButton::clicked, this, &TfrmBackup::btnBackupClick);
    connect(m_btnRipristina, &QPushButton::clicked, this, &TfrmBackup::btnRipristinaClick);
    connect(m_btnCartella, &QPushButton::clicked, this, &TfrmBackup::btnCartellaClick);
    connect(m_btnChiudi, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_spnConservati, &QSpinBox::valueChanged, this,
            [](int quanti) { ImpostazioniBackup::ImpostaConservati(quanti); });
    aggiorna();
}

void TfrmBackup::aggiorna() {
    const QString cartella = ImpostazioniBackup::Cartella();
    m_lblCartella->setText(QDir::toNativeSeparators(cartella));
    // The server's data are not on this disk.
    m_lblAvviso->setVisible(!ArchivioSuServer() && stessoDisco(cartella, CartellaProgramma()));
    const QStringList presenti = BackupPresenti(cartella);
    if (presenti.isEmpty()) {
        m_lblUltimo->setText(u"Nessun backup in questa cartella."_s);
    } else {
        const QDateTime ultimo = *DataDalNome(QFileInfo(presenti.last()).fileName());
        m_lblUltimo->setText(u"Ultimo backup: %1 alle %2 (%3 in questa cartella)."_s.arg(
            ultimo.toString(u"dd/MM/yyyy"_s), ultimo.toString(u"HH:mm"_s),
            numero(presenti.size())));
    }
}

void TfrmBackup::inCorso(bool attivo, const QString &attesa) {
    m_inCorso = attivo;
    for (QWidget *w : {static_cast<QWidget *>(m_btnBackup), static_cast<QWidget *>(m_btnRipristina),
                       static_cast<QWidget *>(m_btnCartella), static_cast<QWidget *>(m_btnChiudi),
                       static_cast<QWidget *>(m_spnConservati)})
        w->setEnabled(!attivo);
    m_lblAttendere->setText(attesa);
    m_lblAttendere->setVisible(attivo);
    m_prgAvanzamento->setValue(0);
    m_prgAvanzamento->setVisible(attivo);
    if (attivo) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmBackup::avanza(qint64 fatti, qint64 totale) {
    m_prgAvanzamento->setValue(totale > 0 ? int(qMin<qint64>(1000, fatti * 1000 / totale)) : 0);
    // The window keeps painting; the user's input waits until the end.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TfrmBackup::suServer() const {
    return ArchivioSuServer();
}

EsitoBackup TfrmBackup::backup(const AvanzamentoBackup &avanzamento) {
    if (!suServer())
        return EseguiBackup(CartellaProgramma(), ImpostazioniBackup::Cartella(),
                            QDateTime::currentDateTime(), avanzamento);
    if (!m_copie) {
        EsitoBackup esito;
        esito.messaggio = u"Attenzione: il backup dell'archivio sul server non è disponibile in "
                          u"questa finestra."_s;
        return esito;
    }
    return EseguiBackupDaCopia(CartellaProgramma(), ImpostazioniBackup::Cartella(),
                               QDateTime::currentDateTime(), m_copie, avanzamento);
}

void TfrmBackup::btnCartellaClick() {
    // The default Backup folder is the one data folder a backup may go to.
    const QString scelta = Piattaforma::ScegliCartellaDaScrivere(
        this, u" Cartella dei backup"_s, ImpostazioniBackup::Cartella(),
        QDir(CartellaProgramma()).filePath(u"Backup"_s));
    if (scelta.isEmpty()) return;
    ImpostazioniBackup::ImpostaCartella(QDir(scelta).absolutePath());
    aggiorna();
}

void TfrmBackup::btnBackupClick() {
    const QString cartella = ImpostazioniBackup::Cartella();
    inCorso(true, u"Backup in corso..."_s);
    const EsitoBackup esito =
        backup([this](qint64 fatti, qint64 totale) { avanza(fatti, totale); });
    if (esito.riuscito) ConservaUltimiBackup(cartella, m_spnConservati->value(), esito.percorso);
    inCorso(false);
    aggiorna();
    if (esito.riuscito)
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Informazione,
            u"Backup completato e verificato (%1 schede): %2"_s.arg(
                numero(esito.schede), QDir::toNativeSeparators(esito.percorso)));
    else
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore, esito.messaggio);
}

void TfrmBackup::btnRipristinaClick() {
    // The chooser opens where the backups are, once there is that folder.
    const QString cartella = ImpostazioniBackup::Cartella();
    const QString zip = Piattaforma::dialoghi().scegliFileDaAprire(
        this, u" Ripristina da un backup"_s, {u"Backup di Quadrelo (*.zip)"_s},
        QFileInfo(cartella).isDir() ? cartella : QString());
    if (zip.isEmpty()) return;

    inCorso(true, u"Controllo del backup in corso..."_s);
    auto avanzamento = [this](qint64 fatti, qint64 totale) { avanza(fatti, totale); };
    // A backup that would not fit once extracted is refused here, before
    // anything is written.
    const ContenutoBackup contenuto = LeggiBackup(zip, avanzamento, CartellaProgramma());
    inCorso(false);
    if (!contenuto.valido) {
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore, contenuto.messaggio);
        return;
    }
    const QString giorno = contenuto.data.toString(u"dd/MM/yyyy"_s);
    const QString ora = contenuto.data.toString(u"HH:mm"_s);
    const qint64 libero = SpazioLibero(CartellaProgramma());
    QString domanda = u"Il backup del %1 alle %2 contiene %3 schede, %4 foto e %5 allegati e, "
                      u"una volta estratto, occupa %6"_s.arg(
                          giorno, ora, numero(contenuto.schede), numero(contenuto.foto),
                          numero(contenuto.allegati), Dimensione(contenuto.dimensione));
    if (libero >= 0)
        domanda +=
            u"; sul disco della cartella del programma sono liberi %1"_s.arg(Dimensione(libero));
    domanda += suServer()
                   ? u".\n\nL'archivio sul server (schede, foto, allegati e movimenti) tornerà "
                     u"come era alla data del backup, per tutte le postazioni; la password di "
                     u"questa postazione resta quella attuale. Dell'archivio attuale verrà fatto "
                     u"prima un backup a parte. Continuare?"_s
                   : u".\n\nTutti i file dei dati, compresa la password di accesso, torneranno "
                     u"come erano alla data del backup. Dei dati attuali verrà fatto prima un "
                     u"backup a parte. Continuare?"_s;
    if (Piattaforma::dialoghi().domanda(this, domanda) == Risposta::No) return;

    inCorso(true, u"Backup dei dati attuali in corso..."_s);
    const EsitoBackup prima = backup(avanzamento);
    if (!prima.riuscito) {
        inCorso(false);
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Errore,
            u"Attenzione: il ripristino non è stato eseguito perché non è stato possibile fare "
            u"prima il backup dei dati attuali.\n\n"_s +
                prima.messaggio);
        return;
    }
    inCorso(true, u"Ripristino in corso..."_s);
    const EsitoRipristino esito =
        suServer() ? RipristinaInCopia(zip, CartellaProgramma(), m_copie, avanzamento)
                   : RipristinaBackup(zip, CartellaProgramma(), avanzamento);
    ConservaUltimiBackup(cartella, m_spnConservati->value(), zip);
    inCorso(false);
    aggiorna();
    const QString copia = QDir::toNativeSeparators(prima.percorso);
    if (!esito.riuscito) {
        Piattaforma::dialoghi().messaggio(this, TipoMessaggio::Errore,
                                          esito.messaggio +
                                              u"\n\nUna copia dei dati attuali è "
                                              u"anche nel backup "_s +
                                              copia);
        return;
    }
    Piattaforma::dialoghi().messaggio(
        this, TipoMessaggio::Informazione,
        u"Ripristino completato: %1 schede, %2 foto e %3 allegati.\n\nI dati di prima del "
        u"ripristino sono nel backup %4"_s.arg(numero(contenuto.schede), numero(contenuto.foto),
                                               numero(contenuto.allegati), copia));
    // Whoever changed the password since the backup would otherwise be locked out.
    if (esito.passwordCambiata)
        Piattaforma::dialoghi().messaggio(
            this, TipoMessaggio::Avviso,
            u"Attenzione: la password di accesso è ora quella in uso alla data del backup (%1 "
            u"alle %2). Al prossimo accesso al programma serve quella password."_s.arg(giorno,
                                                                                       ora));
}

void TfrmBackup::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0x46, 0x82, 0xb4));
}

void TfrmBackup::closeEvent(QCloseEvent *evento) {
    if (m_inCorso) return evento->ignore();
    QDialog::closeEvent(evento);
}

void TfrmBackup::done(int esito) {
    if (m_inCorso) return;
    QDialog::done(esito);
}
