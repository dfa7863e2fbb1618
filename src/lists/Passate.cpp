#include "lists/Passate.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"

#include <QFileInfo>
#include <charconv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Records between two reports of progress: a few milliseconds of work.
constexpr qint64 PASSO_AVANZAMENTO = 4096;

template <class Visita>
bool passata(const QString &archivio, const Avanza &avanza, Visita &&visita) {
    const qint64 totale = QFileInfo(archivio).size() / TScheda::DIMENSIONE;
    return ScorriArchivio(archivio, [&](const TScheda &scheda, qint64 posizione) {
        visita(scheda, posizione);
        if (avanza && posizione % PASSO_AVANZAMENTO == 0) avanza(posizione, totale);
        return true;
    });
}

QString decodifica(std::string_view byte) {
    return Cp1252::decodifica(byte.data(), qsizetype(byte.size()));
}

// How a left-out card is named: its code, or its position when it has none.
QString nomeScheda(const TScheda &scheda, qint64 posizione) {
    const QString codice = decodifica(CampoGrezzo(scheda, Campo::Codice));
    return codice.isEmpty() ? u"scheda n. "_s + QString::number(posizione) : codice;
}

std::string_view rifila(std::string_view testo) {
    while (!testo.empty() && (unsigned char)testo.front() <= ' ')
        testo.remove_prefix(1);
    while (!testo.empty() && (unsigned char)testo.back() <= ' ')
        testo.remove_suffix(1);
    return testo;
}

bool cifra(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

int CaselleCompilate(const std::array<QString, CASELLE_RICERCA> &caselle) {
    int compilate = 0;
    for (const auto &testo : caselle)
        compilate += !Rifila(testo).isEmpty();
    return compilate;
}

std::optional<double> LeggiNumeroGrezzo(std::string_view testo) {
    // The same steps as LeggiNumero, on bytes: blanks, sign, digits, a decimal
    // comma, an exponent, blanks, and nothing else.
    const std::size_t n = testo.size();
    std::size_t i = 0;
    while (i < n && testo[i] == ' ')
        ++i;
    char c[64];
    std::size_t k = 0;
    auto metti = [&](char x) {
        if (k < sizeof c) c[k] = x;
        ++k;
    };
    bool negativo = false;
    if (i < n && (testo[i] == '+' || testo[i] == '-')) negativo = testo[i++] == '-';
    metti('0');
    int cifre = 0;
    while (i < n && cifra(testo[i])) {
        metti(testo[i++]);
        ++cifre;
    }
    bool virgola = false;
    if (i < n && testo[i] == ',') {
        virgola = true;
        metti('.');
        ++i;
        while (i < n && cifra(testo[i])) {
            metti(testo[i++]);
            ++cifre;
        }
    }
    if (cifre == 0 && !virgola) return std::nullopt;
    if (i < n && (testo[i] == 'e' || testo[i] == 'E')) {
        metti('e');
        ++i;
        if (i < n && (testo[i] == '+' || testo[i] == '-')) metti(testo[i++]);
        int cifreEsponente = 0;
        while (i < n && cifra(testo[i])) {
            metti(testo[i++]);
            ++cifreEsponente;
        }
        if (cifreEsponente == 0) return std::nullopt;
    }
    while (i < n && testo[i] == ' ')
        ++i;
    if (i != n) return std::nullopt;
    // Fields hold at most 250 characters; a longer number goes the long way.
    if (k > sizeof c) return LeggiNumero(decodifica(testo));
    double valore = 0;
    const auto esito = std::from_chars(c, c + k, valore);
    if (esito.ec != std::errc() || esito.ptr != c + k || !std::isfinite(valore))
        return std::nullopt;
    return negativo ? -valore : valore;
}

EsitoElenco CercaSchede(const QString &archivio,
                        const std::array<QString, CASELLE_RICERCA> &caselle, const Avanza &avanza) {
    const int compilate = CaselleCompilate(caselle);
    struct Criterio {
        Campo campo;
        std::string chiave;
    };
    // An empty box never matches, nor does a text that no card can hold.
    std::vector<Criterio> criteri;
    for (int i = 0; i < CASELLE_RICERCA; ++i) {
        Criterio c{CAMPI_RICERCA[std::size_t(i)], {}};
        if (ChiaveMinuscola(caselle[std::size_t(i)], c.chiave) && !c.chiave.empty())
            criteri.push_back(std::move(c));
    }

    EsitoElenco esito;
    std::string riga;
    const FormatoRiga &formato = FormatoTrova();
    esito.riuscito = passata(archivio, avanza, [&](const TScheda &scheda, qint64 posizione) {
        int corrispondenze = 0;
        for (std::size_t i = 0; i < criteri.size() && corrispondenze < compilate; ++i)
            corrispondenze +=
                ContieneMinuscolo(CampoGrezzo(scheda, criteri[i].campo), criteri[i].chiave);
        if (corrispondenze < compilate) return;
        formato.costruisci(scheda, riga);
        esito.righe.aggiungi(riga, posizione);
    });
    return esito;
}

EsitoElenco ElencaSottoscorta(const QString &archivio, const Avanza &avanza) {
    EsitoElenco esito;
    std::string riga;
    const FormatoRiga &formato = FormatoTrova();
    esito.riuscito = passata(archivio, avanza, [&](const TScheda &scheda, qint64 posizione) {
        const auto giacenza = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Giacenza));
        const auto avviso = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Avviso));
        if (!giacenza || !avviso) {
            esito.scartate << nomeScheda(scheda, posizione);
            return;
        }
        if (*giacenza > *avviso) return;
        formato.costruisci(scheda, riga);
        esito.righe.aggiungi(riga, posizione);
    });
    return esito;
}

EsitoElenco ElencaDaSaldare(const QString &archivio, const Avanza &avanza) {
    EsitoElenco esito;
    std::string riga;
    const FormatoRiga &formato = FormatoDaSaldare();
    esito.riuscito = passata(archivio, avanza, [&](const TScheda &scheda, qint64 posizione) {
        if (CampoGrezzo(scheda, Campo::Pagato) != "No") return;
        formato.costruisci(scheda, riga);
        esito.righe.aggiungi(riga, posizione);
    });
    return esito;
}

EsitoElenco ElencaInventario(const QString &archivio, const QString &categoria,
                             const Avanza &avanza) {
    // The category is matched as typed, blanks included; one of blanks only
    // stands for all goods.
    const bool tutte = Rifila(categoria).isEmpty();
    std::string chiave;
    const bool cercabile = ChiaveMinuscola(categoria, chiave);

    EsitoElenco esito;
    std::string riga;
    const FormatoRiga &formato = FormatoInventario();
    esito.riuscito = passata(archivio, avanza, [&](const TScheda &scheda, qint64 posizione) {
        if (!tutte) {
            const std::string_view tipologia = CampoGrezzo(scheda, Campo::Tipologia);
            if (tipologia.empty() || !cercabile || !ContieneMinuscolo(tipologia, chiave)) return;
        }
        const auto giacenza = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Giacenza));
        const auto costo = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Costo));
        if (!giacenza || !costo) {
            esito.scartate << nomeScheda(scheda, posizione);
            return;
        }
        const double valore = *giacenza * *costo;
        const QByteArray testoValore = ScriviNumero(valore).toLatin1();
        formato.costruisci(
            scheda, riga,
            std::string_view(testoValore.constData(), std::size_t(testoValore.size())));
        esito.righe.aggiungi(riga, posizione);
        esito.totale += valore;
    });
    return esito;
}

QString TestoTotale(double totale) {
    // The running total as number text, read back and rounded to 4 decimals:
    // 0,1 + 0,2 reads 0,3 and not 0,30000000000000004.
    const QString testo = ScriviNumero(totale);
    const auto letto = LeggiNumero(testo);
    if (!letto) return u"€ "_s + testo;
    QString s = ScriviNumero(Arrotonda(*letto, 4));
    if (!s.contains(u',')) s += u",00"_s;
    if (s.size() >= 2 && s[s.size() - 2] == u',' && s.back().isDigit()) s += u'0';
    return u"€ "_s + s;
}

bool SchedaDellaRiga(const QString &archivio, const FormatoRiga &formato, const QString &riga,
                     qint64 posizioneRiga, TScheda &scheda, qint64 &posizione) {
    const QByteArray byteScelta = Cp1252::codifica(riga);
    const std::string_view scelta =
        rifila(std::string_view(byteScelta.constData(), std::size_t(byteScelta.size())));
    std::string costruita;
    auto uguale = [&](const TScheda &s) {
        formato.costruisci(s, costruita);
        return rifila(costruita) == scelta;
    };

    {
        Archivio a(archivio);
        if (!a.ApriArchivio()) return false;
        TScheda s;
        if (posizioneRiga >= 1 && a.leggi(posizioneRiga, s) && uguale(s)) {
            scheda = s;
            posizione = posizioneRiga;
            return true;
        }
    }
    // The card has moved or changed: the last card in file order that gives
    // the same line, as found so far if the archive fails on the way.
    bool trovata = false;
    ScorriArchivio(archivio, [&](const TScheda &s, qint64 p) {
        if (uguale(s)) {
            scheda = s;
            posizione = p;
            trovata = true;
        }
        return true;
    });
    return trovata;
}

QString ElencoCodici(const QStringList &codici) {
    QStringList primi = codici.mid(0, 10);
    if (codici.size() > 10) primi << u"..."_s;
    return primi.join(u", "_s);
}
