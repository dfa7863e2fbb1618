#include "invoices/ComandoFattura.h"

#include "archive/CartellaProgramma.h"
#include "invoices/FatturaElettronica.h"
#include "invoices/TfrmFattura.h"
#include "journal/Giornale.h"
#include "platform/Dialoghi.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;

namespace {

QStringList FileTrascinati(const QMimeData *dati) {
    QStringList file;
    if (!dati || !dati->hasUrls()) return file;
    for (const QUrl &url : dati->urls())
        if (url.isLocalFile() && FileDiFattura(url.toLocalFile())) file << url.toLocalFile();
    return file;
}

// Invoice files dropped anywhere on the window, its text boxes included.
class RicevitoreFatture : public QObject {
  public:
    RicevitoreFatture(QWidget *finestra, std::function<void()> caricata)
        : QObject(finestra), m_finestra(finestra), m_caricata(std::move(caricata)) {}

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override {
        if (evento->type() == QEvent::DragEnter || evento->type() == QEvent::DragMove) {
            auto *trascina = static_cast<QDropEvent *>(evento);
            if (FileTrascinati(trascina->mimeData()).isEmpty()) return false;
            trascina->acceptProposedAction();
            return true;
        }
        if (evento->type() == QEvent::Drop) {
            auto *lascia = static_cast<QDropEvent *>(evento);
            const QStringList file = FileTrascinati(lascia->mimeData());
            if (file.isEmpty()) return false;
            lascia->acceptProposedAction();
            if (CaricaDaFattura(m_finestra, file) && m_caricata) m_caricata();
            return true;
        }
        return QObject::eventFilter(oggetto, evento);
    }

  private:
    QWidget *m_finestra;
    std::function<void()> m_caricata;
};

} // namespace

bool FileDiFattura(const QString &percorso) {
    for (const char *fine : {".xml", ".p7m", ".zip"})
        if (percorso.endsWith(QLatin1StringView(fine), Qt::CaseInsensitive)) return true;
    return false;
}

bool CaricaDaFattura(QWidget *genitore, QStringList file) {
    if (file.isEmpty()) {
        const QString scelto = dialoghi().scegliFileDaAprire(
            genitore, u"Carico da fattura elettronica"_s,
            {u"Fatture elettroniche (*.xml; *.p7m; *.zip)"_s, u"Tutti i file (*.*)"_s});
        if (scelto.isEmpty()) return false;
        file << scelto;
    }
    QList<FileFattura> letti;
    QStringList errori;
    for (const QString &percorso : std::as_const(file))
        for (FileFattura &f : ApriFileFattura(percorso)) {
            if (!f.errore.isEmpty())
                errori << f.errore;
            else
                letti << std::move(f);
        }
    if (!errori.isEmpty()) {
        // One message for all, so a zip of many files does not ask many times.
        QString testo = errori.mid(0, 10).join(u'\n');
        if (errori.size() > 10)
            testo += u"\n... e altri "_s + QString::number(errori.size() - 10) + u" file."_s;
        if (!letti.isEmpty()) testo += u"\n\nLe altre fatture vengono mostrate."_s;
        dialoghi().messaggio(genitore, Piattaforma::TipoMessaggio::Avviso, testo);
    }
    if (letti.isEmpty()) return false;
    TfrmFattura finestra(genitore, std::move(letti), PercorsoArchivio(), PercorsoGiornale());
    dialoghi().esegui(&finestra);
    return finestra.caricate() > 0;
}

QAbstractButton *PreparaComandoFattura(QWidget *finestra, QWidget *pannello, QRect pulsante,
                                       std::function<void()> caricata) {
    auto *btnFattura = new QPushButton(u"Carico da fattura elettronica..."_s, pannello);
    btnFattura->setObjectName(u"btnFattura"_s);
    btnFattura->setGeometry(pulsante);
    btnFattura->setFocusPolicy(Qt::StrongFocus);
    btnFattura->setCursor(Qt::PointingHandCursor);
    btnFattura->setAccessibleName(u"Carico da fattura elettronica"_s);
    const QString descrizione =
        u"Carica la merce da una fattura elettronica del fornitore (.xml, .p7m o .zip)."_s;
    btnFattura->setToolTip(descrizione);
    btnFattura->setAccessibleDescription(descrizione);
    QObject::connect(btnFattura, &QPushButton::clicked, finestra, [finestra, caricata] {
        if (CaricaDaFattura(finestra) && caricata) caricata();
    });
    // Files dropped on the window, or on a box of it, go the same way.
    auto *ricevitore = new RicevitoreFatture(finestra, caricata);
    finestra->setAcceptDrops(true);
    finestra->installEventFilter(ricevitore);
    for (QLineEdit *casella : finestra->findChildren<QLineEdit *>())
        casella->installEventFilter(ricevitore);
    return btnFattura;
}
