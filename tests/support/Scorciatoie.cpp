#include "Scorciatoie.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMap>

QStringList ScorciatoieDoppie(const QWidget *finestra, int *quante) {
    QMap<QChar, QString> lettere;
    QStringList doppie;
    auto lettera = [&](const QString &testo, const QString &controllo) {
        qsizetype i = testo.indexOf(QLatin1Char('&'));
        while (i >= 0 && i + 1 < testo.size() && testo.at(i + 1) == QLatin1Char('&'))
            i = testo.indexOf(QLatin1Char('&'), i + 2); // "&&" is an ampersand
        if (i < 0 || i + 1 >= testo.size()) return;
        const QChar c = testo.at(i + 1).toLower();
        if (lettere.contains(c))
            doppie << QStringLiteral("Alt+") + c + QStringLiteral(": ") + lettere.value(c) +
                          QStringLiteral(" e ") + controllo;
        else
            lettere.insert(c, controllo);
    };
    for (const QAbstractButton *b : finestra->findChildren<QAbstractButton *>())
        if (b->isVisible()) lettera(b->text(), b->objectName());
    for (const QLabel *l : finestra->findChildren<QLabel *>())
        if (l->isVisible() && l->buddy()) lettera(l->text(), l->buddy()->objectName());
    if (quante) *quante = int(lettere.size());
    return doppie;
}
