#include "count/ComandoConteggio.h"

#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "count/TfrmConteggio.h"
#include "platform/Dialoghi.h"
#include "storage/DepositoCorrente.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

void PreparaComandoConteggio(QWidget *finestra, QWidget *pannello, QRect pulsante) {
    auto *btnConteggio = new QPushButton(u"Conta inventario"_s, pannello);
    btnConteggio->setObjectName(u"btnConteggio"_s);
    btnConteggio->setGeometry(pulsante);
    btnConteggio->setFocusPolicy(Qt::StrongFocus);
    btnConteggio->setCursor(Qt::PointingHandCursor);
    btnConteggio->setAccessibleName(u"Conta inventario"_s);
    const QString descrizione = u"Conta la merce sugli scaffali con il lettore di codici a barre"_s;
    btnConteggio->setToolTip(descrizione);
    btnConteggio->setAccessibleDescription(descrizione);
    QObject::connect(btnConteggio, &QPushButton::clicked, finestra, [finestra] {
        ApriConteggio(finestra, PercorsoArchivio(), {}, u"Tutte le schede"_s);
    });
}

void ApriConteggio(QWidget *proprietario, const QString &archivio, const QList<qint64> &posizioni,
                   const QString &ambito) {
    QDialog finestra(proprietario);
    finestra.setObjectName(u"frmNuovoConteggio"_s);
    finestra.setWindowTitle(u"Conta inventario"_s);
    auto *colonna = new QVBoxLayout(&finestra);
    auto *lblAmbito = new QLabel(
        u"Schede da contare: "_s +
            (posizioni.isEmpty() ? u"tutte le schede dell'archivio"_s
                                 : QString::number(posizioni.size()) + u" ("_s + ambito + u')'),
        &finestra);
    lblAmbito->setObjectName(u"lblAmbito"_s);
    lblAmbito->setTextFormat(Qt::PlainText);
    lblAmbito->setWordWrap(true);
    lblAmbito->setAccessibleName(lblAmbito->text());
    colonna->addWidget(lblAmbito);
    if (ArchivioSuServer()) {
        // The scans are kept on this computer even when the cards are not.
        auto *lblFile = new QLabel(u"Le schede sono sul server ("_s + DescrizioneArchivio() +
                                       u"); il file del conteggio resta nella cartella "
                                       u"Conteggi del programma su questo computer."_s,
                                   &finestra);
        lblFile->setObjectName(u"lblFile"_s);
        lblFile->setTextFormat(Qt::PlainText);
        lblFile->setWordWrap(true);
        lblFile->setAccessibleName(lblFile->text());
        colonna->addWidget(lblFile);
    }
    auto *lblNome = new QLabel(u"&Nome del nuovo conteggio:"_s, &finestra);
    lblNome->setObjectName(u"lblNome"_s);
    auto *txtNome = new QLineEdit(&finestra);
    txtNome->setObjectName(u"txtNome"_s);
    txtNome->setAccessibleName(u"Nome del nuovo conteggio"_s);
    txtNome->setMaxLength(60);
    txtNome->setText(u"Inventario "_s + QDate::currentDate().toString(u"yyyy-MM-dd"_s));
    txtNome->selectAll();
    lblNome->setBuddy(txtNome);
    colonna->addWidget(lblNome);
    colonna->addWidget(txtNome);
    auto *lblConteggi = new QLabel(u"Oppure &continuare un conteggio già iniziato:"_s, &finestra);
    lblConteggi->setObjectName(u"lblConteggi"_s);
    auto *lstConteggi = new QListWidget(&finestra);
    lstConteggi->setObjectName(u"lstConteggi"_s);
    lstConteggi->setAccessibleName(u"Conteggi già iniziati"_s);
    lstConteggi->addItems(ElencoConteggi());
    lblConteggi->setBuddy(lstConteggi);
    colonna->addWidget(lblConteggi);
    colonna->addWidget(lstConteggi);
    auto *pulsanti = new QDialogButtonBox(&finestra);
    auto *btnInizia = pulsanti->addButton(u"&Inizia nuovo"_s, QDialogButtonBox::AcceptRole);
    btnInizia->setObjectName(u"btnInizia"_s);
    auto *btnContinua = pulsanti->addButton(u"C&ontinua"_s, QDialogButtonBox::ActionRole);
    btnContinua->setObjectName(u"btnContinua"_s);
    auto *btnAnnulla = pulsanti->addButton(u"&Annulla"_s, QDialogButtonBox::RejectRole);
    btnAnnulla->setObjectName(u"btnAnnulla"_s);
    btnContinua->setEnabled(lstConteggi->count() > 0);
    colonna->addWidget(pulsanti);
    finestra.resize(520, 380);

    auto conteggio = std::make_unique<Conteggio>();
    QObject::connect(btnInizia, &QPushButton::clicked, &finestra, [&] {
        // The codes of the cards, so the file tells them even once moved.
        QStringList codici;
        if (!posizioni.isEmpty() && ArchivioSuServer()) {
            TScheda scheda;
            for (const qint64 p : posizioni)
                codici << (DepositoCorrente().leggi(p, scheda) ? scheda.testo(Campo::Codice)
                                                               : QString());
        } else if (!posizioni.isEmpty()) {
            Archivio file(archivio);
            TScheda scheda;
            if (file.ApriArchivio())
                for (const qint64 p : posizioni)
                    codici << (file.leggi(p, scheda) ? scheda.testo(Campo::Codice) : QString());
        }
        QString errore;
        auto nuovo = std::make_unique<Conteggio>();
        if (!nuovo->inizia(txtNome->text(), ambito, posizioni, codici, errore)) {
            Piattaforma::dialoghi().messaggio(&finestra, Piattaforma::TipoMessaggio::Avviso,
                                              u"Attenzione: "_s + errore);
            txtNome->setFocus();
            return;
        }
        conteggio = std::move(nuovo);
        finestra.accept();
    });
    auto continua = [&] {
        QListWidgetItem *voce = lstConteggi->currentItem();
        if (!voce) {
            Piattaforma::dialoghi().messaggioSemplice(&finestra,
                                                      u"Scegliere il conteggio da continuare."_s);
            lstConteggi->setFocus();
            return;
        }
        QString errore;
        auto aperto = std::make_unique<Conteggio>();
        if (!aperto->apri(voce->text(), errore)) {
            Piattaforma::dialoghi().messaggio(&finestra, Piattaforma::TipoMessaggio::Errore,
                                              u"Attenzione: "_s + errore);
            return;
        }
        conteggio = std::move(aperto);
        finestra.accept();
    };
    QObject::connect(btnContinua, &QPushButton::clicked, &finestra, continua);
    QObject::connect(lstConteggi, &QListWidget::itemActivated, &finestra, continua);
    QObject::connect(btnAnnulla, &QPushButton::clicked, &finestra, &QDialog::reject);
    txtNome->setFocus();
    if (Piattaforma::dialoghi().esegui(&finestra) != QDialog::Accepted) return;
    TfrmConteggio conta(proprietario, std::move(conteggio), archivio);
    Piattaforma::dialoghi().esegui(&conta);
}
