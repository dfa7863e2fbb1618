#include "archive/RegoleNumeri.h"

#include <QDate>
#include <QLocale>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace {

bool cifra(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<double> LeggiNumero(const QString &testo) {
    const qsizetype n = testo.size();
    qsizetype i = 0;
    while (i < n && testo[i] == u' ')
        ++i;
    // Rebuilt in the form from_chars reads, which ignores the user's locale.
    std::string c;
    bool negativo = false;
    if (i < n && (testo[i] == u'+' || testo[i] == u'-')) {
        negativo = testo[i] == u'-';
        ++i;
    }
    c += '0';
    int cifre = 0;
    while (i < n && cifra(testo[i])) {
        c += char(testo[i++].unicode());
        ++cifre;
    }
    bool virgola = false;
    if (i < n && testo[i] == u',') {
        virgola = true;
        c += '.';
        ++i;
        while (i < n && cifra(testo[i])) {
            c += char(testo[i++].unicode());
            ++cifre;
        }
    }
    if (cifre == 0 && !virgola) return std::nullopt;
    if (i < n && (testo[i] == u'e' || testo[i] == u'E')) {
        c += 'e';
        ++i;
        if (i < n && (testo[i] == u'+' || testo[i] == u'-')) c += char(testo[i++].unicode());
        int cifreEsponente = 0;
        while (i < n && cifra(testo[i])) {
            c += char(testo[i++].unicode());
            ++cifreEsponente;
        }
        if (cifreEsponente == 0) return std::nullopt;
    }
    while (i < n && testo[i] == u' ')
        ++i;
    if (i != n) return std::nullopt;
    double valore = 0;
    const auto esito = std::from_chars(c.data(), c.data() + c.size(), valore);
    if (esito.ec != std::errc() || esito.ptr != c.data() + c.size() || !std::isfinite(valore))
        return std::nullopt;
    return negativo ? -valore : valore;
}

double LeggiNumeroObbligatorio(const QString &testo) {
    if (const auto valore = LeggiNumero(testo)) return *valore;
    const QString messaggio =
        u'\'' + testo + QStringLiteral("' is not a valid floating point value");
    throw std::runtime_error(messaggio.toStdString());
}

QString ScriviNumero(double valore) {
    if (std::isnan(valore)) return QStringLiteral("NAN");
    if (std::isinf(valore)) return valore < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (valore == 0) return QStringLiteral("0");

    // 15 significant digits in scientific form, then laid out by hand.
    char buffer[64];
    const auto esito =
        std::to_chars(buffer, buffer + sizeof buffer, valore, std::chars_format::scientific, 14);
    const std::string s(buffer, esito.ptr);
    const bool negativo = s[0] == '-';
    const std::size_t inizio = negativo ? 1 : 0;
    const std::size_t e = s.find('e');
    std::string cifre = s.substr(inizio, 1) + s.substr(inizio + 2, e - inizio - 2);
    const int esponente = std::stoi(s.substr(e + 1));
    while (cifre.size() > 1 && cifre.back() == '0')
        cifre.pop_back();

    std::string r = negativo ? "-" : "";
    if (esponente >= -5 && esponente < 15) {
        if (esponente >= 0) {
            const std::size_t intere = std::size_t(esponente) + 1;
            if (cifre.size() <= intere) {
                r += cifre + std::string(intere - cifre.size(), '0');
            } else {
                r += cifre.substr(0, intere) + ',' + cifre.substr(intere);
            }
        } else {
            r += "0," + std::string(std::size_t(-esponente - 1), '0') + cifre;
        }
    } else {
        r += cifre.substr(0, 1);
        if (cifre.size() > 1) r += ',' + cifre.substr(1);
        r += 'E' + std::to_string(esponente);
    }
    return QString::fromLatin1(r.data(), qsizetype(r.size()));
}

double Arrotonda(double valore, int decimali) {
    long double fattore = 1;
    for (int i = 0; i < decimali; ++i)
        fattore *= 10;
    return double(std::floor(static_cast<long double>(valore) * fattore + 0.5L) / fattore);
}

QString NormalizzaImporto(const QString &testo) {
    const auto valore = LeggiNumero(testo);
    if (Rifila(testo).isEmpty() || !valore) return QStringLiteral("0,00");
    QString s = ScriviNumero(Arrotonda(*valore, 4));
    const qsizetype virgola = s.indexOf(u',');
    if (virgola < 0)
        s += QStringLiteral(",00");
    else if (s.size() - virgola - 1 == 1)
        s += u'0';
    return s;
}

QString NormalizzaQuantita(const QString &testo) {
    const auto valore = LeggiNumero(testo);
    if (Rifila(testo).isEmpty() || !valore) return QStringLiteral("0");
    return ScriviNumero(Arrotonda(*valore, 0));
}

QString PrimiCaratteri(const QString &testo, int n) {
    return testo.left(qMax(n, 0));
}

QString UltimiCaratteri(const QString &testo, int n) {
    return testo.right(qMax(n, 0));
}

QString Rifila(const QString &testo) {
    qsizetype inizio = 0;
    qsizetype fine = testo.size();
    while (inizio < fine && testo[inizio].unicode() <= 32)
        ++inizio;
    while (fine > inizio && testo[fine - 1].unicode() <= 32)
        --fine;
    return testo.mid(inizio, fine - inizio);
}

void ImpostaFormati() {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

QString FormattaData(const QDate &data) {
    return data.toString(QStringLiteral("dd/MM/yyyy"));
}
