#include "archive/Importi.h"

#include "archive/RegoleNumeri.h"

QString ImportoSemplice(double importo) {
    QString testo = QString::number(Arrotonda(importo, 2), 'f', 2);
    if (testo == QLatin1String("-0.00")) testo = QStringLiteral("0.00");
    return testo.replace(u'.', u',');
}

QString ImportoConMigliaia(double importo) {
    QString testo = ImportoSemplice(importo);
    const bool negativo = testo.startsWith(u'-');
    if (negativo) testo.remove(0, 1);
    const qsizetype punto = testo.indexOf(u',');
    QString intera = testo.left(punto);
    for (qsizetype i = intera.size() - 3; i > 0; i -= 3)
        intera.insert(i, u'.');
    return (negativo ? QStringLiteral("-") : QString()) + intera + u',' + testo.mid(punto + 1);
}

QString ImportoInEuro(double importo) {
    return QStringLiteral("€ ") + ImportoConMigliaia(importo);
}
