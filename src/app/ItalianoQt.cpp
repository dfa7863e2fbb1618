#include "app/ItalianoQt.h"

#include <QDateTime>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct Voce {
    const char *contesto;
    const char *testo;
    const char *italiano;
};

constexpr Voce VOCI[] = {
    {"QPrintSettingsOutput", "Pages", "Pagine"},
    {"QPrintSettingsOutput", "Double Sided Printing", "Stampa fronte/retro"},
    {"QPrintSettingsOutput", "Off", "Solo fronte"},
    {"QPrintSettingsOutput", "Long side binding", "Rilegatura sul lato lungo"},
    {"QPrintSettingsOutput", "Short side binding", "Rilegatura sul lato corto"},
    {"QAbstractFileIconProvider", "Folder", "Cartella"},
};

// The size and date columns of the file chooser's list, as the default
// locale writes them.
class ModelloFile : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &indice, int ruolo) const override {
        auto *file = qobject_cast<QFileSystemModel *>(sourceModel());
        if (ruolo != Qt::DisplayRole || !file || (indice.column() != 1 && indice.column() != 3))
            return QIdentityProxyModel::data(indice, ruolo);
        const QModelIndex origine = mapToSource(indice);
        if (indice.column() == 1)
            return file->isDir(origine) ? QString()
                                        : QLocale().formattedDataSize(file->size(origine));
        return QLocale().toString(file->lastModified(origine), QLocale::ShortFormat);
    }
};

class FiltroFile : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *oggetto, QEvent *evento) override {
        if (evento->type() == QEvent::Polish) {
            auto *dialogo = qobject_cast<QFileDialog *>(oggetto);
            if (dialogo && !dialogo->proxyModel()) dialogo->setProxyModel(new ModelloFile(dialogo));
        }
        return false;
    }
};

} // namespace

QString TraduzioniMancanti::translate(const char *contesto, const char *testo, const char *,
                                      int) const {
    if (!contesto || !testo) return {};
    for (const Voce &v : VOCI)
        if (std::strcmp(contesto, v.contesto) == 0 && std::strcmp(testo, v.testo) == 0)
            return QString::fromUtf8(v.italiano);
    return {};
}

void FileInItaliano(QObject *applicazione) {
    applicazione->installEventFilter(new FiltroFile(applicazione));
}
