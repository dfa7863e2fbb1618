#include "storage/DepositoCorrente.h"

#include "archive/CartellaProgramma.h"
#include "storage/DepositoFile.h"

#include <QVariant>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

struct InUso {
    std::unique_ptr<Deposito> altro;
    QString descrizione;
    // The folder is asked for each time: tests move the program folder.
    std::unique_ptr<DepositoFile> file;
};

InUso &inUso() {
    static InUso u;
    return u;
}

} // namespace

DepositoFile *DepositoCorrenteSuFile() {
    InUso &u = inUso();
    if (u.altro) return nullptr;
    if (!u.file || u.file->cartella() != CartellaProgramma())
        u.file = std::make_unique<DepositoFile>(CartellaProgramma());
    return u.file.get();
}

Deposito &DepositoCorrente() {
    if (DepositoFile *file = DepositoCorrenteSuFile()) return *file;
    return *inUso().altro;
}

bool ArchivioSuServer() {
    return inUso().altro != nullptr;
}

QString DescrizioneArchivio() {
    return inUso().altro ? inUso().descrizione : QString();
}

void ImpostaDepositoCorrente(std::unique_ptr<Deposito> deposito, const QString &descrizione) {
    inUso().altro = std::move(deposito);
    inUso().descrizione = descrizione;
}

void TitoloConArchivio(QWidget *finestra) {
    // The window's own title is kept aside the first time.
    const char *nome = "titoloProprio";
    if (!finestra->property(nome).isValid()) finestra->setProperty(nome, finestra->windowTitle());
    const QString titolo = finestra->property(nome).toString();
    const QString descrizione = DescrizioneArchivio();
    finestra->setWindowTitle(descrizione.isEmpty() ? titolo : titolo + u" - "_s + descrizione);
}
