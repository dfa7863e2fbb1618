#include "backup/ComandoBackup.h"

#include "backup/ImpostazioniBackup.h"
#include "backup/TfrmBackup.h"
#include "backup/ZipBackup.h"
#include "platform/Dialoghi.h"

#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QPushButton>

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

void PreparaComandoBackup(QWidget *finestra, QWidget *pannello, QRect pulsante, QRect promemoria) {
    auto *btnBackup = new QPushButton(u"Backup"_s, pannello);
    btnBackup->setObjectName(u"btnBackup"_s);
    btnBackup->setGeometry(pulsante);
    btnBackup->setFocusPolicy(Qt::StrongFocus);
    btnBackup->setCursor(Qt::PointingHandCursor);
    btnBackup->setToolTip(u"Backup e ripristino dei dati"_s);
    btnBackup->setAccessibleDescription(u"Backup e ripristino dei dati"_s);
    btnBackup->setStyleSheet(
        u"QPushButton { background: rgba(255,255,255,210); color: #1d4f8a; font: bold 11pt "
        u"'Verdana'; border: 1px solid #2f6fb8; border-radius: 8px; }"
        u"QPushButton:hover { background: white; }"
        u"QPushButton:focus { border: 3px solid #ffd700; }"_s);

    auto *riga = new QLabel(pannello);
    riga->setObjectName(u"lblPromemoriaBackup"_s);
    riga->setTextFormat(Qt::PlainText);
    riga->setWordWrap(true);
    riga->setAlignment(Qt::AlignCenter);
    riga->setGeometry(promemoria);
    riga->setStyleSheet(u"QLabel { color: #5a1200; background: rgba(255,236,160,220); "
                        u"border-radius: 6px; padding: 2px 10px; }"_s);
    auto *aggiornatore = new Promemoria(finestra, riga);

    QObject::connect(btnBackup, &QPushButton::clicked, finestra, [finestra, aggiornatore] {
        TfrmBackup backup(finestra);
        Piattaforma::dialoghi().esegui(&backup);
        aggiornatore->aggiorna();
    });
}
