#include "shop/DatiNegozio.h"

#include "archive/CartellaProgramma.h"
#include "archive/FileIntero.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

using namespace Qt::StringLiterals;

namespace {

// One "key=value" line each, UTF-8; a line break in a value is written as \n.
const std::pair<const char16_t *, QString DatiNegozio::*> CHIAVI[] = {
    {u"Nome", &DatiNegozio::nome},
    {u"Indirizzo", &DatiNegozio::indirizzo},
    {u"PartitaIva", &DatiNegozio::partitaIva},
    {u"Telefono", &DatiNegozio::telefono},
    {u"Email", &DatiNegozio::email},
};

QString protetto(QString testo) {
    return testo.replace(u'\\', u"\\\\"_s).replace(u'\r', QString()).replace(u'\n', u"\\n"_s);
}

QString inChiaro(const QString &testo) {
    QString risultato;
    for (qsizetype i = 0; i < testo.size(); ++i) {
        if (testo[i] == u'\\' && i + 1 < testo.size()) {
            risultato += testo[i + 1] == u'n' ? u'\n' : testo[i + 1];
            ++i;
        } else {
            risultato += testo[i];
        }
    }
    return risultato;
}

} // namespace

bool DatiNegozio::vuoti() const {
    return nome.trimmed().isEmpty() && indirizzo.trimmed().isEmpty() &&
           partitaIva.trimmed().isEmpty() && telefono.trimmed().isEmpty() &&
           email.trimmed().isEmpty();
}

QStringList DatiNegozio::righe() const {
    QStringList r;
    if (!nome.trimmed().isEmpty()) r << nome.trimmed();
    for (const QString &riga : indirizzo.split(u'\n'))
        if (!riga.trimmed().isEmpty()) r << riga.trimmed();
    if (!partitaIva.trimmed().isEmpty()) r << u"P. IVA "_s + partitaIva.trimmed();
    if (!telefono.trimmed().isEmpty()) r << u"Tel. "_s + telefono.trimmed();
    if (!email.trimmed().isEmpty()) r << email.trimmed();
    return r;
}

QString PercorsoDatiNegozio() {
    return QDir(CartellaProgramma()).filePath(u"Negozio.txt"_s);
}

DatiNegozio LeggiDatiNegozio(const QString &percorso) {
    DatiNegozio dati;
    QFile file(percorso);
    // A regular file only: a pipe put there must not hold the program up.
    if (!QFileInfo(percorso).isFile() || file.size() > 64 * 1024 || !file.open(QIODevice::ReadOnly))
        return dati;
    for (const QByteArray &riga : file.readAll().split('\n')) {
        const QString testo = QString::fromUtf8(riga).trimmed();
        const qsizetype uguale = testo.indexOf(u'=');
        if (uguale <= 0) continue;
        const QString chiave = testo.left(uguale).trimmed();
        for (const auto &[nome, campo] : CHIAVI)
            if (chiave == QStringView(nome))
                dati.*campo = inChiaro(testo.mid(uguale + 1).trimmed());
    }
    return dati;
}

bool ScriviDatiNegozio(const DatiNegozio &dati, const QString &percorso) {
    QByteArray testo;
    for (const auto &[nome, campo] : CHIAVI)
        testo +=
            (QStringView(nome).toString() + u'=' + protetto((dati.*campo).trimmed())).toUtf8() +
            "\r\n";
    return ScriviFileIntero(
        percorso, [&testo](QIODevice *file) { return file->write(testo) == testo.size(); });
}

QString ErrorePartitaIva(const QString &partitaIva) {
    const QString p = partitaIva.trimmed();
    if (p.isEmpty()) return {};
    if (p.size() != 11)
        return u"la partita IVA deve avere 11 cifre (ne ha "_s + QString::number(p.size()) + u')';
    int somma = 0;
    for (int i = 0; i < 11; ++i) {
        if (!p[i].isDigit() || p[i].unicode() > u'9')
            return u"la partita IVA deve avere solo cifre"_s;
        int cifra = p[i].unicode() - u'0';
        // Digits in even places (from the second) are doubled, as for the
        // Luhn check.
        if (i % 2 == 1) {
            cifra *= 2;
            if (cifra > 9) cifra -= 9;
        }
        somma += cifra;
    }
    if (somma % 10 != 0) return u"l'ultima cifra della partita IVA non torna: controllarla"_s;
    return {};
}
