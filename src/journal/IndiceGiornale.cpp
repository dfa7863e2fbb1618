#include "journal/IndiceGiornale.h"

#include "archive/BloccoFile.h"
#include "archive/FileDiretto.h"

#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Header: magic, journal bytes covered, entries, a hash of the journal's
// first bytes and of its last bytes covered, a sum of the entries, the
// separator, and a hash of all of these. Then 12 bytes an entry: the line's
// offset with its marks in the top byte, and its position.
constexpr char MAGIA[8] = {'Q', 'd', 'r', 'I', 'd', 'x', 'G', '1'};
constexpr qint64 TESTA = 64;
constexpr qint64 VOCE = 12;
// How much of the journal's start and of its covered end the hashes see.
constexpr qint64 CAMPIONE = 4096;

// The kinds of line a card's history reads whatever their position.
enum Segno : quint8 { Spostamento = 1, Ordine = 2, TroppoLunga = 4, SenzaPosizione = 8 };

struct Testa {
    quint64 coperto = 0; // the journal's whole lines up to here are indexed
    quint64 voci = 0;
    quint64 inizio = 0; // hash of the journal's first bytes
    quint64 fine = 0;   // hash of the last bytes covered
    quint64 somma = 0;  // of the entries
    char separatore = ';';
};

quint64 hash(const char *dati, qint64 quanti, quint64 h = 14695981039346656037ull) {
    for (qint64 i = 0; i < quanti; ++i)
        h = (h ^ quint8(dati[i])) * 1099511628211ull;
    return h;
}

quint64 pesoVoce(quint64 offsetSegni, qint32 posizione) {
    return offsetSegni * 0x9E3779B97F4A7C15ull + quint32(posizione) + 1;
}

void scriviTesta(char *b, const Testa &t) {
    std::memset(b, 0, TESTA);
    std::memcpy(b, MAGIA, 8);
    std::memcpy(b + 8, &t.coperto, 8);
    std::memcpy(b + 16, &t.voci, 8);
    std::memcpy(b + 24, &t.inizio, 8);
    std::memcpy(b + 32, &t.fine, 8);
    std::memcpy(b + 40, &t.somma, 8);
    b[48] = t.separatore;
    const quint64 controllo = hash(b, 56);
    std::memcpy(b + 56, &controllo, 8);
}

bool leggiTesta(const char *b, Testa &t) {
    quint64 controllo;
    std::memcpy(&controllo, b + 56, 8);
    if (std::memcmp(b, MAGIA, 8) != 0 || controllo != hash(b, 56)) return false;
    std::memcpy(&t.coperto, b + 8, 8);
    std::memcpy(&t.voci, b + 16, 8);
    std::memcpy(&t.inizio, b + 24, 8);
    std::memcpy(&t.fine, b + 32, 8);
    std::memcpy(&t.somma, b + 40, 8);
    t.separatore = b[48];
    return t.separatore == ';' || t.separatore == ',';
}

// The hashes of the journal's first bytes and of its last bytes up to `coperto`.
bool campioni(int giornale, qint64 coperto, quint64 &inizio, quint64 &fine) {
    char b[CAMPIONE];
    const qint64 primi = qMin(CAMPIONE, coperto);
    if (!LeggiTutto(giornale, b, primi, 0)) return false;
    inizio = hash(b, primi);
    const qint64 da = qMax<qint64>(0, coperto - CAMPIONE);
    if (!LeggiTutto(giornale, b, coperto - da, da)) return false;
    fine = hash(b, coperto - da);
    return true;
}

// What the index holds of a line: its marks and position.
std::pair<quint8, qint32> vocaDi(QByteArrayView riga, char separatore) {
    quint8 segni = 0;
    qint32 posizione = -1;
    const qint64 p = PosizioneDiRiga(riga, separatore);
    if (p < 0 || p > std::numeric_limits<qint32>::max())
        segni |= SenzaPosizione;
    else
        posizione = qint32(p);
    if (RigaDiSpostamento(riga, separatore)) segni |= Spostamento;
    if (RigaDiOrdine(riga, separatore)) segni |= Ordine;
    return {segni, posizione};
}

// Brings the index up to date with the journal's first `lunghezza` bytes,
// from where it stopped; whole again when `daCapo` or when it does not match
// the journal. A crash halfway leaves a length that does not match its
// header, or a header that fails its own hash: rebuilt at the next use.
bool aggiorna(int indice, int giornale, qint64 lunghezza, bool daCapo, Testa &t) {
    struct stat info {};
    if (::fstat(indice, &info) != 0) return false;
    bool valido = !daCapo && info.st_size >= TESTA;
    if (valido) {
        char testa[TESTA];
        valido = LeggiTutto(indice, testa, TESTA, 0) && leggiTesta(testa, t) &&
                 t.voci < quint64(info.st_size) &&
                 qint64(TESTA + t.voci * VOCE) == qint64(info.st_size) &&
                 qint64(t.coperto) <= lunghezza && (t.coperto > 0 || t.voci == 0);
    }
    if (valido) {
        quint64 inizio = 0, fine = 0;
        valido = campioni(giornale, qint64(t.coperto), inizio, fine) && inizio == t.inizio &&
                 fine == t.fine;
    }
    if (!valido) {
        t = Testa{};
        int esito;
        do {
            esito = ::ftruncate(indice, 0);
        } while (esito != 0 && errno == EINTR);
        if (esito != 0) return false;
    }
    if (valido && qint64(t.coperto) == lunghezza) return true;

    QByteArray nuove;
    qint64 scritte = qint64(t.voci);
    bool scritto = true;
    auto svuota = [&] {
        if (nuove.isEmpty()) return true;
        if (!ScriviTutto(indice, nuove.constData(), nuove.size(), TESTA + scritte * VOCE))
            return false;
        scritte += nuove.size() / VOCE;
        nuove.clear();
        return true;
    };
    const auto fine =
        ScorriRigheGiornale(giornale, qint64(t.coperto), lunghezza, false,
                            [&](GenereRiga genere, QByteArrayView riga, qint64 offset) {
                                std::pair<quint8, qint32> voce{TroppoLunga, -1};
                                switch (genere) {
                                case GenereRiga::Intestazione:
                                    t.separatore = riga.isEmpty() ? ';' : SeparatoreGiornale(riga);
                                    return true;
                                case GenereRiga::Vuota:
                                    return true;
                                case GenereRiga::TroppoLunga:
                                    break;
                                case GenereRiga::Movimento:
                                    voce = vocaDi(riga, t.separatore);
                                    break;
                                }
                                const quint64 offsetSegni =
                                    quint64(offset) | (quint64(voce.first) << 56);
                                char b[VOCE];
                                std::memcpy(b, &offsetSegni, 8);
                                std::memcpy(b + 8, &voce.second, 4);
                                nuove.append(b, VOCE);
                                t.somma += pesoVoce(offsetSegni, voce.second);
                                if (nuove.size() >= (1 << 20)) scritto = svuota();
                                return scritto;
                            });
    if (!fine || !scritto || !svuota()) return false;
    t.voci = quint64(scritte);
    t.coperto = quint64(*fine);
    if (!campioni(giornale, qint64(t.coperto), t.inizio, t.fine)) return false;
    char testa[TESTA];
    scriviTesta(testa, t);
    return ScriviTutto(indice, testa, TESTA, 0);
}

struct Scelta {
    qint64 offset;
    quint8 segni;
    qint32 posizione;
};

// The entries a history reads, in journal order. False when the entries do
// not add up (offsets not rising, or not the sum of the header).
bool scegli(int indice, const Testa &t, const QSet<qint64> &posizioni,
            std::vector<Scelta> &scelte) {
    // Most histories ask for one or two positions.
    std::vector<qint32> cercate;
    for (qint64 p : posizioni)
        if (p >= 0 && p <= std::numeric_limits<qint32>::max()) cercate.push_back(qint32(p));
    const qint32 prima = cercate.empty() ? -1 : cercate.front();
    constexpr qint64 PER_BLOCCO = (1 << 20) / VOCE;
    std::vector<char> blocco(std::size_t(PER_BLOCCO * VOCE));
    quint64 somma = 0;
    quint64 precedente = 0;
    for (quint64 da = 0; da < t.voci; da += PER_BLOCCO) {
        const qint64 quante = qint64(qMin<quint64>(PER_BLOCCO, t.voci - da));
        if (!LeggiTutto(indice, blocco.data(), quante * VOCE, TESTA + qint64(da) * VOCE))
            return false;
        const char *p = blocco.data();
        for (qint64 i = 0; i < quante; ++i, p += VOCE) {
            quint64 offsetSegni;
            qint32 posizione;
            std::memcpy(&offsetSegni, p, 8);
            std::memcpy(&posizione, p + 8, 4);
            somma += pesoVoce(offsetSegni, posizione);
            const quint64 offset = offsetSegni & ((quint64(1) << 56) - 1);
            if (offset <= precedente) return false;
            precedente = offset;
            const quint8 segni = quint8(offsetSegni >> 56);
            bool presa = segni != 0 || posizione == prima;
            for (std::size_t k = 1; !presa && k < cercate.size(); ++k)
                presa = posizione == cercate[k];
            if (presa) scelte.push_back({qint64(offset), segni, posizione});
        }
    }
    return somma == t.somma && precedente < t.coperto;
}

// The line at `offset` as the index describes it: it starts after a line
// end, ends before `coperto` and reads with the same marks and position.
// Its text goes into `riga` (none for a line too long to be one of ours).
bool rigaConforme(int giornale, const Scelta &s, qint64 coperto, char separatore,
                  QByteArray &riga) {
    riga.clear();
    char prima = 0;
    if (s.offset < 1 || !LeggiTutto(giornale, &prima, 1, s.offset - 1) || prima != '\n')
        return false;
    if (s.segni & TroppoLunga) return true;
    char blocco[1024];
    while (riga.size() <= RIGA_GIORNALE_MASSIMA) {
        const qint64 da = s.offset + riga.size();
        const qint64 quanti = qMin<qint64>(sizeof blocco, coperto - da);
        if (quanti <= 0 || !LeggiTutto(giornale, blocco, quanti, da)) return false;
        const void *a = std::memchr(blocco, '\n', std::size_t(quanti));
        if (a) {
            riga.append(blocco, static_cast<const char *>(a) - blocco);
            if (riga.size() > RIGA_GIORNALE_MASSIMA) return false;
            return vocaDi(riga, separatore) ==
                   std::pair{quint8(s.segni & ~TroppoLunga), s.posizione};
        }
        riga.append(blocco, quanti);
    }
    return false;
}

} // namespace

QString PercorsoIndice(const QString &giornale) {
    return giornale + u".indice"_s;
}

std::optional<LetturaGiornale> LeggiConIndice(const QString &giornale,
                                              const QSet<qint64> &posizioni,
                                              const SceltaRiga &scelta,
                                              const VisitaMovimento &visita) {
    const Descrittore diario(ApriFileRegolare(giornale, O_RDONLY));
    if (diario.fd < 0) return std::nullopt;
    qint64 lunghezza = 0;
    {
        // No append is halfway while the lock is held: what lies before this
        // length stays as it is (an append that fails is taken back under the
        // writer's lock).
        const Blocco lettura(diario.fd, F_RDLCK, 0, 0);
        struct stat info {};
        if (::fstat(diario.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
        lunghezza = info.st_size;
    }
    const Descrittore indice(ApriFileRegolare(PercorsoIndice(giornale), O_RDWR | O_CREAT));
    if (indice.fd < 0) return std::nullopt;
    // One copy at a time updates it, and no copy reads it halfway.
    const Blocco blocco(indice.fd, F_WRLCK, 0, 0);

    for (int prova = 0; prova < 2; ++prova) {
        Testa t;
        if (!aggiorna(indice.fd, diario.fd, lunghezza, prova > 0, t)) return std::nullopt;
        std::vector<Scelta> scelte;
        if (!scegli(indice.fd, t, posizioni, scelte)) continue;
        // Many lines of other cards (orders, lines without a position): the
        // whole journal reads as fast.
        if (scelte.size() > 4096 && scelte.size() > t.voci / 8) return std::nullopt;
        std::vector<QByteArray> righe(scelte.size());
        bool conformi = true;
        for (std::size_t i = 0; conformi && i < scelte.size(); ++i)
            conformi =
                rigaConforme(diario.fd, scelte[i], qint64(t.coperto), t.separatore, righe[i]);
        if (!conformi) continue;

        LettoreGiornale lettore(scelta, visita, t.separatore);
        for (std::size_t i = 0; i < scelte.size(); ++i) {
            const GenereRiga genere =
                scelte[i].segni & TroppoLunga ? GenereRiga::TroppoLunga : GenereRiga::Movimento;
            if (!lettore(genere, righe[i], scelte[i].offset)) return lettore.esito;
        }
        // The last line, when it has no line end yet, is not in the index.
        if (!ScorriRigheGiornale(diario.fd, qint64(t.coperto), lunghezza, true, std::ref(lettore)))
            lettore.esito.aperto = false;
        return lettore.esito;
    }
    return std::nullopt;
}
