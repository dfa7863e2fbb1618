#include "archive/TestoFormula.h"

namespace {

// What follows a sign: a plain number, so no formula.
bool numero(QStringView resto, NumeroConSpazi spazi) {
    if (spazi == NumeroConSpazi::Si) {
        bool cifra = false;
        for (QChar c : resto) {
            if (c >= u'0' && c <= u'9')
                cifra = true;
            else if (c != u' ' && c != u',' && c != u'.')
                return false;
        }
        return cifra;
    }
    if (resto.isEmpty()) return false;
    for (QChar c : resto)
        if (!c.isDigit() && c != u',' && c != u'.') return false;
    return true;
}

bool formula(QStringView testo, NumeroConSpazi spazi) {
    if (testo.isEmpty()) return false;
    const QChar c = testo.front();
    if (c == u'=' || c == u'\t' || c == u'\r' || c == u'@') return true;
    if (c != u'+' && c != u'-') return false;
    return !numero(testo.sliced(1), spazi);
}

qsizetype apostrofiIniziali(QStringView testo) {
    qsizetype n = 0;
    while (n < testo.size() && testo[n] == u'\'')
        ++n;
    return n;
}

} // namespace

QString TestoSenzaFormula(const QString &testo, NumeroConSpazi spazi) {
    const QStringView t(testo);
    return formula(t.sliced(apostrofiIniziali(t)), spazi) ? u'\'' + testo : testo;
}

QString TestoDaSenzaFormula(const QString &campo, NumeroConSpazi spazi) {
    const QStringView c(campo);
    const qsizetype apostrofi = apostrofiIniziali(c);
    if (apostrofi > 0 && formula(c.sliced(apostrofi), spazi)) return campo.sliced(1);
    return campo;
}
