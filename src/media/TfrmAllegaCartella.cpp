#include "media/TfrmAllegaCartella.h"

#include "archive/CartellaProgramma.h"
#include "archive/Cp1252.h"
#include "archive/FileIntero.h"
#include "archive/RegoleNumeri.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"
#include "widgets/Controlli.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSvgRenderer>
#include <functional>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;
using Piattaforma::Risposta;
using Piattaforma::TipoMessaggio;

namespace {

// The longest name the card can store.
constexpr int NOME_MASSIMO = 250;

const QString ISTRUZIONI =
    QStringLiteral("Scegliere i file da allegare alla scheda con \"Sfoglia...\", poi premere "
                   "\"Applica e chiudi\" e infine \"Salva\" nella scheda per conservare le "
                   "modifiche. Premere \"Apri\" per aprire un file allegato.");

// The header picture: a paper clip and how to use the window.
QPixmap Intestazione(QSize dimensione) {
    QPixmap pixmap(dimensione);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x9a, 0x9a, 0x9a));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRoundedRect(QRectF(0.5, 0.5, dimensione.width() - 1, dimensione.height() - 1), 8, 8);
    QSvgRenderer graffetta(QStringLiteral(":/graffetta.svg"));
    if (graffetta.isValid()) graffetta.render(&p, QRectF(10, 8, 48, 48));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(9);
    p.setFont(font);
    p.setPen(QColor(0x1d, 0x4f, 0x91));
    p.drawText(QRect(68, 4, dimensione.width() - 76, dimensione.height() - 8),
               Qt::AlignVCenter | Qt::TextWordWrap, ISTRUZIONI);
    return pixmap;
}

// A name the card can store: every character without a byte in
// Windows-1252 (a surrogate pair counts as one) becomes "_".
QString NomeArchiviabile(const QString &nome) {
    QString risultato;
    for (qsizetype i = 0; i < nome.size(); ++i) {
        const bool coppia =
            nome[i].isHighSurrogate() && i + 1 < nome.size() && nome[i + 1].isLowSurrogate();
        const QString carattere = nome.mid(i, coppia ? 2 : 1);
        risultato += Cp1252::rappresentabile(carattere) ? carattere : u"_"_s;
        if (coppia) ++i;
    }
    return risultato;
}

// "certificato (2).pdf", "certificato (3).pdf"...: the first name not taken
// in the folder, cut to what the card can store.
QString NomeLibero(const std::function<bool(const QString &)> &esiste, const QString &nome) {
    const QFileInfo info(nome);
    const QString base = info.completeBaseName().isEmpty() ? nome : info.completeBaseName();
    const QString estensione = info.completeBaseName().isEmpty() || info.suffix().isEmpty()
                                   ? QString()
                                   : u'.' + info.suffix();
    for (int n = 2;; ++n) {
        const QString numero = u" ("_s + QString::number(n) + u')';
        const QString candidato =
            base.left(NOME_MASSIMO - numero.size() - estensione.size()) + numero + estensione;
        if (!esiste(candidato)) return candidato;
    }
}

} // namespace

bool CopiaAllegato(QIODevice *sorgente, const QString &destinazione) {
    // A file that ends early or fails to read part-way is no copy: the file
    // in the folder stays as it was.
    const qint64 attesi = sorgente->isSequential() ? -1 : sorgente->size();
    qint64 copiati = 0;
    return ScriviFileIntero(destinazione, [&](QIODevice *a) {
        QByteArray blocco(1 << 20, Qt::Uninitialized);
        for (;;) {
            const qint64 letti = sorgente->read(blocco.data(), blocco.size());
            if (letti < 0) return false;
            if (letti == 0) break;
            if (a->write(blocco.constData(), letti) != letti) return false;
            copiati += letti;
        }
        return attesi < 0 || copiati == attesi;
    });
}

namespace {

bool CopiaFile(const QString &sorgente, const QString &destinazione) {
    QFile da(sorgente);
    return da.open(QIODevice::ReadOnly) && CopiaAllegato(&da, destinazione);
}

// On a server the attachment goes into its table, whole or not at all.
bool CopiaSulServer(const QString &sorgente, const QString &nome) {
    QFile da(sorgente);
    if (!da.open(QIODevice::ReadOnly)) return false;
    const QByteArray byte = da.readAll();
    return da.error() == QFile::NoError && byte.size() == da.size() &&
           DepositoCorrente().scriviAllegato(nome, byte);
}

} // namespace

QString CartellaAllegati() {
    return QDir(CartellaProgramma()).filePath(QStringLiteral("Documenti_Allegati"));
}

TfrmAllegaCartella::TfrmAllegaCartella(QWidget *proprietario,
                                       const std::array<QLabel *, 6> &etichetteScheda)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_etichetteScheda(etichetteScheda) {
    ImpostaFormati();
    setObjectName(QStringLiteral("TfrmAllegaCartella"));
    setWindowTitle(QStringLiteral(" Allega file"));
    setFixedSize(634, 534);

    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setGeometry(12, 8, 610, 64);
    logo->setPixmap(Intestazione(logo->size()));
    logo->setAccessibleName(ISTRUZIONI);

    lblMemory = new QLabel(this);
    lblMemory->setObjectName(QStringLiteral("lblMemory"));
    lblMemory->hide();

    QFont normale(QStringLiteral("Verdana"));
    normale.setPointSize(10);
    QFont verdana12(QStringLiteral("Verdana"));
    verdana12.setPointSize(12);
    verdana12.setBold(true);

    QList<QWidget *> ordine;
    for (int i = 0; i < 3; ++i) {
        const QString n = QString::number(i + 1);
        const QString due = QStringLiteral("0") + n;
        auto *pan = new QWidget(this);
        pan->setObjectName(QStringLiteral("panAllegato") + due);
        pan->setAttribute(Qt::WA_StyledBackground);
        pan->setStyleSheet(QStringLiteral("#panAllegato") + due +
                           QStringLiteral(" { background: rgba(255,255,255,150); border: 1px "
                                          "solid #b4b4b4; border-radius: 6px; }"));
        pan->setGeometry(12, 80 + i * 140, 610, 132);

        auto etichetta = [&](int numero, const QString &testo, int y) {
            auto *l = new QLabel(testo, pan);
            l->setObjectName(QStringLiteral("lblCampo0") + QString::number(numero));
            l->setFont(normale);
            l->setGeometry(12, y, 400, 22);
            return l;
        };
        auto *lblNome = etichetta(
            2 * i + 1, QStringLiteral("Nome ") + n + QStringLiteral("° file allegato:"), 6);
        auto *lblDesc = etichetta(
            2 * i + 2, QStringLiteral("Descrizione ") + n + QStringLiteral("° file allegato:"), 66);

        auto *file = new QLineEdit(pan);
        file->setObjectName(QStringLiteral("txtFile") + due);
        file->setReadOnly(true);
        file->setFont(verdana12);
        file->setStyleSheet(QStringLiteral("QLineEdit { color: #707070; }"));
        file->setGeometry(12, 30, 376, 30);
        file->setAccessibleName(QStringLiteral("Nome ") + n + QStringLiteral("° file allegato"));
        file->setAccessibleDescription(
            QStringLiteral("Scegliere il file con Sfoglia; il tasto Canc lo toglie."));
        file->installEventFilter(this);
        lblNome->setBuddy(file);

        auto *cancella = new PulsanteImmagine(
            QStringLiteral("imgCancella") + due, QStringLiteral("gomma"),
            QStringLiteral("Cancella il ") + n + QStringLiteral("° file allegato"), pan, false);
        cancella->setIconSize(QSize(20, 20));
        cancella->setGeometry(394, 34, 22, 22);
        cancella->setStyleSheet(QString());

        auto pulsante = [&](const QString &nome, const QString &testo, int x) {
            auto *b = new QPushButton(testo, pan);
            b->setObjectName(nome);
            b->setFont(normale);
            b->setGeometry(x, 30, 88, 30);
            b->setCursor(Qt::PointingHandCursor);
            b->setAutoDefault(true);
            return b;
        };
        auto *sfoglia =
            pulsante(QStringLiteral("btnSfoglia") + due, QStringLiteral("Sfoglia..."), 422);
        sfoglia->setAccessibleName(QStringLiteral("Sfoglia per il ") + n +
                                   QStringLiteral("° file allegato"));
        auto *apri = pulsante(QStringLiteral("btnApri") + due, QStringLiteral("Apri"), 514);
        apri->setAccessibleName(QStringLiteral("Apri il ") + n + QStringLiteral("° file allegato"));
        apri->setEnabled(false);

        auto *desc = new QLineEdit(pan);
        desc->setObjectName(QStringLiteral("txtDesc") + due);
        desc->setFont(verdana12);
        desc->setGeometry(12, 90, 590, 30);
        desc->setAccessibleName(QStringLiteral("Descrizione ") + n +
                                QStringLiteral("° file allegato"));
        lblDesc->setBuddy(desc);

        txtFile[std::size_t(i)] = file;
        txtDesc[std::size_t(i)] = desc;
        btnSfoglia[std::size_t(i)] = sfoglia;
        btnApri[std::size_t(i)] = apri;
        imgCancella[std::size_t(i)] = cancella;
        ordine << file << sfoglia << apri << desc;

        connect(file, &QLineEdit::textChanged, this, [this, i] { txtFileChange(i); });
        connect(sfoglia, &QPushButton::clicked, this, [this, i] { btnSfogliaClick(i); });
        connect(apri, &QPushButton::clicked, this, [this, i] { btnApriClick(i); });
        connect(cancella, &QToolButton::clicked, this, [this, i] { imgCancellaClick(i); });
    }

    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));
    btnAnnulla->setGeometry(342, 498, 130, 30);
    btnApplica = new QPushButton(QStringLiteral("Applica e chiudi"), this);
    btnApplica->setObjectName(QStringLiteral("btnApplica"));
    btnApplica->setGeometry(478, 498, 144, 30);
    for (auto *b : {btnAnnulla, btnApplica}) {
        b->setFont(normale);
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoDefault(true);
    }
    ordine << btnApplica << btnAnnulla;
    for (int i = 1; i < ordine.size(); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    connect(btnApplica, &QPushButton::clicked, this, &TfrmAllegaCartella::btnApplicaClick);
    connect(btnAnnulla, &QPushButton::clicked, this, &TfrmAllegaCartella::btnAnnullaClick);
}

void TfrmAllegaCartella::txtFileChange(int slot) {
    const auto i = std::size_t(slot);
    btnApri[i]->setEnabled(!Rifila(txtFile[i]->text()).isEmpty());
}

void TfrmAllegaCartella::btnSfogliaClick(int slot) {
    const auto i = std::size_t(slot);
    const QString scelto =
        dialoghi().scegliFileDaAprire(this, QStringLiteral("Selezionare il file da allegare:"),
                                      {QStringLiteral("Tutti i file (*.*)")});
    if (scelto.isEmpty()) return;
    const QString scritto = Rifila(QFileInfo(scelto).fileName());
    // The card stores Windows-1252 only: a name it cannot hold is copied
    // under one it can, and the user is told.
    QString nome = NomeArchiviabile(scritto);
    auto avviso = [this](const QString &testo) {
        dialoghi().messaggio(this, TipoMessaggio::Avviso,
                             testo + QStringLiteral("\n\nL'allegato non è stato cambiato."));
    };
    // The card keeps at most 250 characters of a name: a longer one would
    // point at a file that does not exist.
    if (nome.isEmpty() || nome.size() > NOME_MASSIMO)
        return avviso(QStringLiteral("Attenzione: il nome del file \"") + nome +
                      QStringLiteral("\" non può essere archiviato nella scheda (al massimo ") +
                      QString::number(NOME_MASSIMO) + QStringLiteral(" caratteri)."));

    const QString cartella = CartellaAllegati();
    const bool server = ArchivioSuServer();
    QStringList sulServer;
    if (server && !DepositoCorrente().allegati(sulServer))
        return avviso(DepositoCorrente().messaggio());
    const auto esiste = [&](const QString &n) {
        return server ? sulServer.contains(n) : QFileInfo::exists(QDir(cartella).filePath(n));
    };
    if (!server && !QDir().mkpath(cartella))
        return avviso(QStringLiteral("Attenzione: non è stato possibile creare la cartella dei "
                                     "documenti allegati \"") +
                      QDir::toNativeSeparators(cartella) + QStringLiteral("\"."));
    if (esiste(nome) &&
        dialoghi().domanda(this, QStringLiteral("Attenzione: nella cartella dei documenti allegati "
                                                "è presente un file con lo stesso nome.\r\n\r\nSi "
                                                "vuole sovrascrivere il file esistente?")) ==
            Risposta::No) {
        // The file already there belongs to another card, or to nobody: the
        // chosen one goes beside it under a free name.
        nome = NomeLibero(esiste, nome);
    }
    if (server ? !CopiaSulServer(scelto, nome) : !CopiaFile(scelto, QDir(cartella).filePath(nome)))
        return avviso(QStringLiteral("Attenzione: non è stato possibile copiare il file \"") +
                      QDir::toNativeSeparators(scelto) +
                      (server ? QStringLiteral("\" tra i documenti allegati sul server.")
                              : QStringLiteral("\" nella cartella dei documenti allegati \"") +
                                    QDir::toNativeSeparators(cartella) + QStringLiteral("\".")));
    txtFile[i]->setText(nome);
    if (NomeArchiviabile(scritto) != scritto)
        dialoghi().messaggio(this, TipoMessaggio::Informazione,
                             QStringLiteral("Il nome del file \"") + scritto +
                                 QStringLiteral("\" contiene caratteri che la scheda non può "
                                                "conservare: il file è stato allegato come \"") +
                                 nome + QStringLiteral("\"."));
}

void TfrmAllegaCartella::btnApriClick(int slot) {
    const QString nome = Rifila(txtFile[std::size_t(slot)]->text());
    // A slot names a file inside the attachments folder, never a path: a
    // damaged card must not open a file from anywhere else.
    if (nome.contains(u'/') || nome == u".." || nome == u".") {
        dialoghi().messaggio(this, TipoMessaggio::Avviso,
                             QStringLiteral("Attenzione: \"") + nome +
                                 QStringLiteral("\" non è il nome di un file della cartella dei "
                                                "documenti allegati e non può essere aperto."));
        return;
    }
    if (ArchivioSuServer()) {
        // The desktop opens files: the server's copy is written to a
        // temporary folder first.
        QByteArray byte;
        const QString percorso = QDir(QDir::temp().filePath(u"Quadrelo allegati"_s)).filePath(nome);
        if (!DepositoCorrente().leggiAllegato(nome, byte) ||
            !QDir().mkpath(QFileInfo(percorso).absolutePath()) ||
            !ScriviFileIntero(percorso,
                              [&byte](QIODevice *d) { return d->write(byte) == byte.size(); })) {
            dialoghi().messaggio(this, TipoMessaggio::Avviso,
                                 QStringLiteral("Attenzione: l'allegato \"") + nome +
                                     QStringLiteral("\" non può essere letto dal server."));
            return;
        }
        Piattaforma::ApriFileConDesktop(percorso, this);
        return;
    }
    const QString percorso = QDir(CartellaAllegati()).filePath(nome);
    Piattaforma::ApriFileConDesktop(percorso, this);
}

void TfrmAllegaCartella::imgCancellaClick(int slot) {
    txtFile[std::size_t(slot)]->clear();
}

void TfrmAllegaCartella::btnApplicaClick() {
    if (Rifila(lblMemory->text()) == u"magazzino") {
        for (std::size_t i = 0; i < 3; ++i) {
            if (m_etichetteScheda[i]) m_etichetteScheda[i]->setText(Rifila(txtFile[i]->text()));
            if (m_etichetteScheda[i + 3])
                m_etichetteScheda[i + 3]->setText(Rifila(txtDesc[i]->text()));
        }
    }
    accept();
}

void TfrmAllegaCartella::btnAnnullaClick() {
    reject();
}

bool TfrmAllegaCartella::eventFilter(QObject *oggetto, QEvent *evento) {
    // From the keyboard, Canc in a file box does what the eraser does.
    if (evento->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent *>(evento)->key();
        for (int i = 0; i < 3; ++i)
            if (oggetto == txtFile[std::size_t(i)] &&
                (tasto == Qt::Key_Delete || tasto == Qt::Key_Backspace)) {
                imgCancellaClick(i);
                return true;
            }
    }
    return QDialog::eventFilter(oggetto, evento);
}

void TfrmAllegaCartella::keyPressEvent(QKeyEvent *evento) {
    // Enter presses the button that has the focus, never one from a box: the
    // dialog would otherwise press the first "Sfoglia..." from any box.
    if (evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter) {
        evento->accept();
        return;
    }
    QDialog::keyPressEvent(evento);
}

void TfrmAllegaCartella::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    // Centred on the screen.
    if (!evento->spontaneous() && screen()) {
        QRect cornice = frameGeometry();
        cornice.moveCenter(screen()->availableGeometry().center());
        move(cornice.topLeft());
    }
}

void TfrmAllegaCartella::paintEvent(QPaintEvent *) {
    DipingiSfumatura(this, QColor(0xd4, 0xd4, 0xd4));
}
