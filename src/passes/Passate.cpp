#include "passes/Passate.h"

#include "archive/Archivio.h"
#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "storage/DepositoFile.h"

#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Records between two reports of progress: a few milliseconds of work.
constexpr qint64 PASSO_AVANZAMENTO = 4096;

// What one part of a pass gathers: the parts are joined in file order.
struct Parziale {
    Righe righe;
    QStringList scartate;
    std::vector<double> valori; // added to the total, in file order
    // Their cards' positions, for a storage that gives the cards in any order.
    std::vector<qint64> posizioniScartate, posizioniValori;
    std::string riga; // room to build a line in
    std::string testo;
};

// One pass over the archive, its two halves on the two cores. `visita`
// works on one card into its part's gatherings; the total is summed in file
// order, as one pass would.
template <class Visita>
bool passata(const QString &archivio, const Avanza &avanza, EsitoElenco &esito,
             const std::vector<Campo> &campi, Visita &&visita) {
    constexpr int PARTI = 2;
    // The fields a pass looks at are asked of memory a few cards ahead: the
    // cards lie 2502 bytes apart, a stride memory does not guess.
    constexpr int AVANTI = 6;
    std::vector<int> offset;
    for (const Campo c : campi)
        offset.push_back(definizione(c).offset);
    std::array<Parziale, PARTI> parziali;
    const qint64 totale = QFileInfo(archivio).size() / TScheda::DIMENSIONE;
    qint64 prossimo = PASSO_AVANZAMENTO;
    const bool riuscita = ScorriArchivioInParti(
        archivio, PARTI, [&](int parte, const TScheda *schede, qint64 n, qint64 prima) {
            Parziale &p = parziali[std::size_t(parte)];
            for (qint64 i = 0; i < n; ++i) {
                if (i + AVANTI < n)
                    for (const int o : offset)
                        __builtin_prefetch(schede[i + AVANTI].byte.data() + o);
                visita(p, schede[i], prima + i);
            }
            // The first part runs on the caller's thread and stands for all.
            if (parte == 0 && avanza && (prima + n) * PARTI >= prossimo) {
                prossimo += PASSO_AVANZAMENTO;
                avanza(qMin(totale, (prima + n - 1) * PARTI), totale);
            }
            return true;
        });
    for (Parziale &p : parziali) {
        esito.righe.accoda(std::move(p.righe));
        esito.scartate += p.scartate;
        for (const double valore : p.valori)
            esito.totale += valore;
    }
    return riuscita;
}

// `elementi` in the order of their positions.
template <class Elenco>
Elenco inOrdineDi(const Elenco &elementi, const std::vector<qint64> &posizioni) {
    std::vector<std::size_t> indici(posizioni.size());
    for (std::size_t i = 0; i < indici.size(); ++i)
        indici[i] = i;
    std::sort(indici.begin(), indici.end(),
              [&](std::size_t a, std::size_t b) { return posizioni[a] < posizioni[b]; });
    Elenco ordinati;
    for (const std::size_t i : indici)
        ordinati.push_back(elementi[qsizetype(i)]);
    return ordinati;
}

// A card left out, and a value to add, each with its card's position.
void scarta(Parziale &p, const QString &nome, qint64 posizione) {
    p.scartate << nome;
    p.posizioniScartate.push_back(posizione);
}

void somma(Parziale &p, double valore, qint64 posizione) {
    p.valori.push_back(valore);
    p.posizioniValori.push_back(posizione);
}

// The same pass through a storage's interface, in one part: the storage
// narrows the cards down by `filtro`, `visita` judges each it gets.
template <class Visita>
bool passataDeposito(Deposito &deposito, const Deposito::Filtro &filtro, const Avanza &avanza,
                     EsitoElenco &esito, Visita &&visita) {
    Parziale p;
    // The cards may come in any order (a server then need not sort them):
    // the lines, the cards left out and the values are put back in the
    // archive's order, so the total is summed as on the file.
    Deposito::Filtro libero = filtro;
    libero.inOrdine = false;
    qint64 ultima = 0;
    bool inOrdine = true;
    const bool riuscita = deposito.scorriFiltro(
        libero,
        [&](const TScheda *schede, const qint64 *posizioni, qint64 n) {
            for (qint64 i = 0; i < n; ++i) {
                inOrdine = inOrdine && posizioni[i] > ultima;
                ultima = posizioni[i];
                visita(p, schede[i], posizioni[i]);
            }
            return true;
        },
        avanza);
    if (!inOrdine) {
        p.righe.ordinaPerPosizione();
        p.scartate = inOrdineDi(p.scartate, p.posizioniScartate);
        p.valori = inOrdineDi(p.valori, p.posizioniValori);
    }
    esito.righe.accoda(std::move(p.righe));
    esito.scartate += p.scartate;
    for (const double valore : p.valori)
        esito.totale += valore;
    if (!riuscita) esito.messaggio = deposito.messaggio();
    return riuscita;
}

// Where a pass reads: the record file in place, or a storage that is not
// the program folder's through its interface. One rule for a card serves both.
// The fields a pass reads: those of its lines, the code that names a
// left-out card, and those its rule looks at.
QList<Campo> campiPassata(const FormatoRiga &formato, std::initializer_list<Campo> altri) {
    QList<Campo> campi{Campo::Codice};
    for (const Campo c : formato.campi())
        if (!campi.contains(c)) campi << c;
    for (const Campo c : altri)
        if (!campi.contains(c)) campi << c;
    return campi;
}

struct Sorgente {
    QString archivio;
    Deposito *deposito = nullptr;
    Avanza avanza;

    template <class Visita>
    bool operator()(EsitoElenco &esito, const std::vector<Campo> &campi,
                    const Deposito::Filtro &filtro, Visita &&visita) const {
        if (!deposito) return passata(archivio, avanza, esito, campi, visita);
        // A copy the storage keeps up to date is read in place as the folder's
        // archive is; should that fail, the storage itself is asked.
        const QString copia = deposito->archivioDaLeggere(filtro, avanza);
        if (!copia.isEmpty()) {
            EsitoElenco letto;
            if (passata(copia, avanza, letto, campi, visita)) {
                esito = std::move(letto);
                return true;
            }
        }
        return passataDeposito(*deposito, filtro, avanza, esito, visita);
    }
};

Sorgente sorgente(Deposito &deposito, const Avanza &avanza) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return {file->archivio(), nullptr, avanza};
    return {QString(), &deposito, avanza};
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
    int decimali = 0;
    std::uint64_t mantissa = 0;
    auto cifraLetta = [&](char x) {
        metti(x);
        if (++cifre <= 18) mantissa = mantissa * 10 + std::uint64_t(x - '0');
    };
    while (i < n && cifra(testo[i]))
        cifraLetta(testo[i++]);
    bool virgola = false;
    if (i < n && testo[i] == ',') {
        virgola = true;
        metti('.');
        ++i;
        while (i < n && cifra(testo[i])) {
            cifraLetta(testo[i++]);
            ++decimali;
        }
    }
    if (cifre == 0 && !virgola) return std::nullopt;
    bool esponente = false;
    if (i < n && (testo[i] == 'e' || testo[i] == 'E')) {
        esponente = true;
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

    // The usual amounts and quantities: an exact whole number of at most 53
    // bits over an exact power of ten. One division rounds it correctly, as
    // from_chars would.
    constexpr double POTENZE[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (!esponente && cifre <= 18 && mantissa <= (std::uint64_t(1) << 53) && decimali <= 22) {
        const double valore = double(mantissa) / POTENZE[decimali];
        return negativo ? -valore : valore;
    }
    // Fields hold at most 250 characters; a longer number goes the long way.
    if (k > sizeof c) return LeggiNumero(decodifica(testo));
    double valore = 0;
    const auto esito = std::from_chars(c, c + k, valore);
    if (esito.ec != std::errc() || esito.ptr != c + k || !std::isfinite(valore))
        return std::nullopt;
    return negativo ? -valore : valore;
}

void ScriviNumeroGrezzo(double valore, std::string &uscita) {
    // Next to the largest double the 15-digit form needs a correction, and
    // the smallest ones have fewer digits of their own: ScriviNumero knows both.
    if (!std::isfinite(valore) || std::fabs(valore) > 1e308 ||
        (valore != 0 && std::fabs(valore) < std::numeric_limits<double>::min())) {
        uscita += ScriviNumero(valore).toStdString();
        return;
    }
    if (valore == 0) {
        uscita += '0';
        return;
    }
    // 15 significant digits in scientific form, then laid out as ScriviNumero
    // does. The shortest form that reads back as the value is quicker to find;
    // when it has 15 digits or fewer, they are the 15-digit rounding too, since
    // a double is closer to it than half a step of the 15th digit.
    char s[64];
    auto esito = std::to_chars(s, s + sizeof s, valore, std::chars_format::scientific);
    int significative = 0;
    for (const char *q = s; q < esito.ptr && *q != 'e'; ++q)
        significative += cifra(*q);
    if (significative > 15)
        esito = std::to_chars(s, s + sizeof s, valore, std::chars_format::scientific, 14);
    const char *fine = esito.ptr;
    const bool negativo = s[0] == '-';
    const char *p = s + (negativo ? 1 : 0);
    char cifre[20];
    int n = 0;
    cifre[n++] = *p++;
    if (*p == '.') ++p;
    while (*p != 'e')
        cifre[n++] = *p++;
    int esponente = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), fine, esponente);
    while (n > 1 && cifre[n - 1] == '0')
        --n;

    if (negativo) uscita += '-';
    if (esponente >= -5 && esponente < 15) {
        if (esponente >= 0) {
            const int intere = esponente + 1;
            if (n <= intere) {
                uscita.append(cifre, std::size_t(n));
                uscita.append(std::size_t(intere - n), '0');
            } else {
                uscita.append(cifre, std::size_t(intere));
                uscita += ',';
                uscita.append(cifre + intere, std::size_t(n - intere));
            }
        } else {
            uscita += "0,";
            uscita.append(std::size_t(-esponente - 1), '0');
            uscita.append(cifre, std::size_t(n));
        }
    } else {
        uscita += cifre[0];
        if (n > 1) {
            uscita += ',';
            uscita.append(cifre + 1, std::size_t(n - 1));
        }
        uscita += 'E';
        uscita += std::to_string(esponente);
    }
}

namespace {

EsitoElenco cercaSchede(const Sorgente &leggi,
                        const std::array<QString, CASELLE_RICERCA> &caselle) {
    const int compilate = CaselleCompilate(caselle);
    struct Criterio {
        Campo campo;
        std::string chiave;
    };
    // An empty box never matches, nor does a text that no card can hold.
    std::vector<Criterio> criteri;
    Deposito::Filtro filtro;
    filtro.almeno = compilate;
    filtro.campi = campiPassata(FormatoTrova(), {});
    for (int i = 0; i < CASELLE_RICERCA; ++i) {
        Criterio c{CAMPI_RICERCA[std::size_t(i)], {}};
        if (ChiaveMinuscola(caselle[std::size_t(i)], c.chiave) && !c.chiave.empty()) {
            filtro.testi.append({c.campo, caselle[std::size_t(i)]});
            if (!filtro.campi.contains(c.campo)) filtro.campi << c.campo;
            criteri.push_back(std::move(c));
        }
    }

    std::vector<Campo> campi;
    for (const Criterio &c : criteri)
        campi.push_back(c.campo);
    EsitoElenco esito;
    const FormatoRiga &formato = FormatoTrova();
    esito.riuscito =
        leggi(esito, campi, filtro, [&](Parziale &p, const TScheda &scheda, qint64 posizione) {
            int corrispondenze = 0;
            // Stops as soon as the card is in, or can no longer be.
            const int n = int(criteri.size());
            for (int i = 0;
                 i < n && corrispondenze < compilate && corrispondenze + (n - i) >= compilate; ++i)
                corrispondenze +=
                    ContieneMinuscolo(CampoGrezzo(scheda, criteri[std::size_t(i)].campo),
                                      criteri[std::size_t(i)].chiave);
            if (corrispondenze < compilate) return;
            formato.costruisci(scheda, p.riga);
            p.righe.aggiungi(p.riga, posizione);
        });
    return esito;
}

EsitoElenco elencaSottoscorta(const Sorgente &leggi) {
    EsitoElenco esito;
    const FormatoRiga &formato = FormatoTrova();
    Deposito::Filtro filtro;
    filtro.sottoscorta = true;
    filtro.campi = campiPassata(formato, {Campo::Giacenza, Campo::Avviso});
    esito.riuscito =
        leggi(esito, {Campo::Giacenza}, filtro,
              [&](Parziale &p, const TScheda &scheda, qint64 posizione) {
                  const auto giacenza = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Giacenza));
                  const auto avviso = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Avviso));
                  if (!giacenza || !avviso) {
                      scarta(p, nomeScheda(scheda, posizione), posizione);
                      return;
                  }
                  if (*giacenza > *avviso) return;
                  formato.costruisci(scheda, p.riga);
                  p.righe.aggiungi(p.riga, posizione);
              });
    return esito;
}

EsitoElenco elencaDaSaldare(const Sorgente &leggi) {
    EsitoElenco esito;
    const FormatoRiga &formato = FormatoDaSaldare();
    // Exactly "No" once trimmed holds "No" whatever the case.
    Deposito::Filtro filtro;
    filtro.testi.append({Campo::Pagato, u"No"_s});
    filtro.almeno = 1;
    filtro.campi = campiPassata(formato, {Campo::Pagato, Campo::Giacenza, Campo::Costo});
    esito.riuscito = leggi(esito, {Campo::Pagato}, filtro,
                           [&](Parziale &p, const TScheda &scheda, qint64 posizione) {
                               if (CampoGrezzo(scheda, Campo::Pagato) != "No") return;
                               formato.costruisci(scheda, p.riga);
                               p.righe.aggiungi(p.riga, posizione);
                               if (const auto valore = ValoreACosto(scheda))
                                   somma(p, *valore, posizione);
                               else
                                   scarta(p, nomeScheda(scheda, posizione), posizione);
                           });
    return esito;
}

EsitoElenco elencaInventario(const Sorgente &leggi, const QString &categoria) {
    // The category is matched as typed, blanks included; one of blanks only
    // stands for all goods.
    const bool tutte = Rifila(categoria).isEmpty();
    std::string chiave;
    const bool cercabile = ChiaveMinuscola(categoria, chiave);
    EsitoElenco esito;
    const FormatoRiga &formato = FormatoInventario();
    Deposito::Filtro filtro;
    if (!tutte) {
        filtro.testi.append({Campo::Tipologia, categoria});
        filtro.almeno = 1;
    }
    filtro.campi = campiPassata(formato, {Campo::Tipologia, Campo::Giacenza, Campo::Costo});
    esito.riuscito =
        leggi(esito, {Campo::Tipologia, Campo::Giacenza}, filtro,
              [&](Parziale &p, const TScheda &scheda, qint64 posizione) {
                  if (!tutte) {
                      const std::string_view tipologia = CampoGrezzo(scheda, Campo::Tipologia);
                      if (tipologia.empty() || !cercabile || !ContieneMinuscolo(tipologia, chiave))
                          return;
                  }
                  const auto valore = ValoreACosto(scheda);
                  if (!valore) {
                      scarta(p, nomeScheda(scheda, posizione), posizione);
                      return;
                  }
                  p.testo.clear();
                  ScriviNumeroGrezzo(*valore, p.testo);
                  formato.costruisci(scheda, p.riga, p.testo);
                  p.righe.aggiungi(p.riga, posizione);
                  somma(p, *valore, posizione);
              });
    return esito;
}

} // namespace

EsitoElenco CercaSchede(const QString &archivio,
                        const std::array<QString, CASELLE_RICERCA> &caselle, const Avanza &avanza) {
    return cercaSchede({archivio, nullptr, avanza}, caselle);
}

EsitoElenco CercaSchede(Deposito &deposito, const std::array<QString, CASELLE_RICERCA> &caselle,
                        const Avanza &avanza) {
    return cercaSchede(sorgente(deposito, avanza), caselle);
}

EsitoElenco ElencaSottoscorta(const QString &archivio, const Avanza &avanza) {
    return elencaSottoscorta({archivio, nullptr, avanza});
}

EsitoElenco ElencaSottoscorta(Deposito &deposito, const Avanza &avanza) {
    return elencaSottoscorta(sorgente(deposito, avanza));
}

EsitoElenco ElencaDaSaldare(const QString &archivio, const Avanza &avanza) {
    return elencaDaSaldare({archivio, nullptr, avanza});
}

EsitoElenco ElencaDaSaldare(Deposito &deposito, const Avanza &avanza) {
    return elencaDaSaldare(sorgente(deposito, avanza));
}

EsitoElenco ElencaInventario(const QString &archivio, const QString &categoria,
                             const Avanza &avanza) {
    return elencaInventario({archivio, nullptr, avanza}, categoria);
}

EsitoElenco ElencaInventario(Deposito &deposito, const QString &categoria, const Avanza &avanza) {
    return elencaInventario(sorgente(deposito, avanza), categoria);
}

std::optional<double> ValoreACosto(const TScheda &scheda) {
    const auto giacenza = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Giacenza));
    const auto costo = LeggiNumeroGrezzo(CampoGrezzo(scheda, Campo::Costo));
    if (!giacenza || !costo) return std::nullopt;
    return *giacenza * *costo;
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

namespace {

// Whether a card gives the chosen line, blanks at the ends aside.
class RigaUguale {
  public:
    RigaUguale(const FormatoRiga &formato, const QString &riga)
        : m_formato(formato), m_scelta(Cp1252::codifica(riga)) {}
    bool operator()(const TScheda &scheda) {
        m_formato.costruisci(scheda, m_costruita);
        return rifila(m_costruita) ==
               rifila(std::string_view(m_scelta.constData(), std::size_t(m_scelta.size())));
    }

  private:
    const FormatoRiga &m_formato;
    QByteArray m_scelta;
    std::string m_costruita;
};

} // namespace

bool SchedaDellaRiga(const QString &archivio, const FormatoRiga &formato, const QString &riga,
                     qint64 posizioneRiga, TScheda &scheda, qint64 &posizione) {
    RigaUguale uguale(formato, riga);

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

bool SchedaDellaRiga(Deposito &deposito, const FormatoRiga &formato, const QString &riga,
                     qint64 posizioneRiga, TScheda &scheda, qint64 &posizione) {
    if (auto *file = dynamic_cast<DepositoFile *>(&deposito))
        return SchedaDellaRiga(file->archivio(), formato, riga, posizioneRiga, scheda, posizione);
    RigaUguale uguale(formato, riga);
    TScheda s;
    if (posizioneRiga >= 1 && posizioneRiga <= deposito.conta() &&
        deposito.leggi(posizioneRiga, s) && uguale(s)) {
        scheda = s;
        posizione = posizioneRiga;
        return true;
    }
    bool trovata = false;
    deposito.scorri([&](const TScheda *schede, qint64 quante, qint64 prima) {
        for (qint64 i = 0; i < quante; ++i)
            if (uguale(schede[i])) {
                scheda = schede[i];
                posizione = prima + i;
                trovata = true;
            }
        return true;
    });
    return trovata;
}

QString ContaConNome(qsizetype n, const QString &singolare, const QString &plurale) {
    return QString::number(n) + u' ' + (n == 1 ? singolare : plurale);
}

QString ElencoCodici(const QStringList &codici) {
    QStringList primi = codici.mid(0, 10);
    if (codici.size() > 10) primi << u"..."_s;
    return primi.join(u", "_s);
}
