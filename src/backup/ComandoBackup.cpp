#include "backup/ComandoBackup.h"

#include "backup/ImpostazioniBackup.h"
#include "backup/TfrmBackup.h"
#include "backup/ZipBackup.h"
#include "platform/Dialoghi.h"
#include "widgets/PulsanteTastiera.h"

#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Brings the reminder up to date each time the launcher is shown.
class Promemoria final : public QObject {
  public:
    Promemoria(QWidget *finestra, QLabel *riga) : QObject(finestra), m_riga(riga) {
        finestra->installEventFilter(this);
        aggiorna();
    }
    void aggiorna() {
        const QString testo =
            PromemoriaBackup(ImpostazioniBackup::Cartella(), QDateTime::currentDateTime());
        m_riga->setText(testo);
        m_riga->setVisible(!testo.isEmpty());
    }

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override {
        if (evento->type() == QEvent::Show && oggetto == parent()) aggiorna();
        return false;
    }

  private:
    QLabel *m_riga;
};

} // namespace

void PreparaComandoBackup(QWidget *finestra, QWidget *pannello, QRect pulsante, QRect promemoria,
                          CopieArchivio copie) {
    auto *btnBackup = new QToolButton(pannello);
    btnBackup->setObjectName(u"btnBackup"_s);
    btnBackup->setText(u"Backup"_s);
    btnBackup->setGeometry(pulsante);
    btnBackup->setCursor(Qt::PointingHandCursor);
    btnBackup->setToolTip(u"Backup e ripristino dei dati"_s);
    btnBackup->setAccessibleName(u"Backup"_s);
    btnBackup->setAccessibleDescription(u"Backup e ripristino dei dati"_s);
    // Like the launcher's pictures: Tab reaches it, Enter or Space presses it.
    // Its look is the launcher's.
    PulsanteDaTastiera(btnBackup);

    auto *riga = new QLabel(pannello);
    riga->setObjectName(u"lblPromemoriaBackup"_s);
    riga->setTextFormat(Qt::PlainText);
    riga->setWordWrap(true);
    riga->setAlignment(Qt::AlignCenter);
    riga->setGeometry(promemoria);
    riga->setStyleSheet(u"QLabel { color: #5a1200; background: rgba(255,236,160,220); "
                        u"border-radius: 6px; padding: 2px 10px; }"_s);
    auto *aggiornatore = new Promemoria(finestra, riga);

    QObject::connect(btnBackup, &QToolButton::clicked, finestra, [finestra, aggiornatore, copie] {
        TfrmBackup backup(finestra, copie);
        Piattaforma::dialoghi().esegui(&backup);
        aggiornatore->aggiorna();
    });
}
