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
    // Power of ten of the first digit that is not zero, to tell a value too
    // small for a double from one too large.
    std::optional<long long> primaCifra;
    long long posto = 0;
    while (i < n && cifra(testo[i])) {
        if (!primaCifra && testo[i] != u'0') primaCifra = posto;
        c += char(testo[i++].unicode());
        ++cifre;
        ++posto;
    }
    const long long intere = posto;
    bool virgola = false;
    if (i < n && testo[i] == u',') {
        virgola = true;
        c += '.';
        ++i;
        while (i < n && cifra(testo[i])) {
            if (!primaCifra && testo[i] != u'0') primaCifra = posto;
            c += char(testo[i++].unicode());
            ++cifre;
            ++posto;
        }
    }
    if (cifre == 0 && !virgola) return std::nullopt;
    long long esponente = 0;
    if (i < n && (testo[i] == u'e' || testo[i] == u'E')) {
        c += 'e';
        ++i;
        bool esponenteNegativo = false;
        if (i < n && (testo[i] == u'+' || testo[i] == u'-')) {
            esponenteNegativo = testo[i] == u'-';
            c += char(testo[i++].unicode());
        }
        int cifreEsponente = 0;
        while (i < n && cifra(testo[i])) {
            // Held below a bound no double comes near, so it cannot overflow.
            esponente = qMin(esponente * 10 + (testo[i].unicode() - u'0'), 1000000000LL);
            c += char(testo[i++].unicode());
            ++cifreEsponente;
        }
        if (cifreEsponente == 0) return std::nullopt;
        if (esponenteNegativo) esponente = -esponente;
    }
    while (i < n && testo[i] == u' ')
        ++i;
    if (i != n) return std::nullopt;
    double valore = 0;
    const auto esito = std::from_chars(c.data(), c.data() + c.size(), valore);
    if (esito.ec == std::errc::result_out_of_range && primaCifra &&
        intere - 1 - *primaCifra + esponente < 0)
        return 0.0; // rounds to zero, like any value below the smallest double
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
    std::string s(buffer, esito.ptr);
    // Next to the largest double, 15 digits round up past it and could not be
    // read back: one unit less in the last digit can.
    double riletto = 0;
    if (std::from_chars(s.data(), s.data() + s.size(), riletto).ec ==
        std::errc::result_out_of_range) {
        for (std::size_t k = s.find('e'); k-- > 0;) {
            if (s[k] == '.') continue;
            if (s[k] != '0') {
                --s[k];
                break;
            }
            s[k] = '9';
        }
    }
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
    const QString s = ScriviNumero(Arrotonda(*valore, 4));
    // In the exponent form the decimals go before the E, so the text stays
    // readable ("1,00E20", never "1E20,00").
    const qsizetype e = s.indexOf(u'E');
    QString cifre = e < 0 ? s : s.left(e);
    const qsizetype virgola = cifre.indexOf(u',');
    if (virgola < 0)
        cifre += QStringLiteral(",00");
    else if (cifre.size() - virgola - 1 == 1)
        cifre += u'0';
    return e < 0 ? cifre : cifre + s.mid(e);
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
