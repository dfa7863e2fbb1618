#include "passes/Righe.h"

#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"
#include "output/ModelliStampa.h"
#include "report/TfrxReport.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

bool daRifilare(unsigned char c) {
    return c <= ' ';
}

// Sort weight of each byte: the code of its character, a-z weighed as A-Z.
const std::array<char16_t, 256> &pesi() {
    static const std::array<char16_t, 256> tabella = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            char16_t codice = Cp1252::decodifica(&c, 1).at(0).unicode();
            if (b >= 'a' && b <= 'z') codice = char16_t(b - 'a' + 'A');
            t[std::size_t(b)] = codice;
        }
        return t;
    }();
    return tabella;
}

constexpr std::array<unsigned char, 256> MINUSCOLE = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[std::size_t(b)] = (b >= 'A' && b <= 'Z') ? (unsigned char)(b + 32) : (unsigned char)b;
    return t;
}();

// Text blocks of the line store: large enough that allocating them is rare.
constexpr std::size_t BLOCCO_RIGHE = std::size_t(1) << 20;

} // namespace

std::string_view CampoGrezzo(const TScheda &scheda, Campo campo) {
    const auto &d = definizione(campo);
    const auto *inizio = reinterpret_cast<const char *>(scheda.byte.data()) + d.offset + 1;
    std::size_t a = 0, b = std::size_t(scheda.lunghezza(campo));
    while (a < b && daRifilare((unsigned char)inizio[a]))
        ++a;
    while (b > a && daRifilare((unsigned char)inizio[b - 1]))
        --b;
    return {inizio + a, b - a};
}

QString AdattaCampo(const QString &testo, int larghezza) {
    const QString adattato = Rifila(testo) + QString(larghezza, u' ');
    return adattato.left(larghezza);
}

unsigned char MinuscolaByte(unsigned char c) {
    return MINUSCOLE[c];
}

bool ChiaveMinuscola(const QString &testo, std::string &chiave) {
    chiave.clear();
    if (!Cp1252::rappresentabile(testo)) return false;
    const QByteArray byte = Cp1252::codifica(testo);
    chiave.reserve(std::size_t(byte.size()));
    for (char c : byte)
        chiave += char(MINUSCOLE[(unsigned char)c]);
    return true;
}

bool ContieneMinuscolo(std::string_view testo, std::string_view chiave) {
    if (chiave.empty()) return false;
    if (chiave.size() > testo.size()) return false;
    const auto *t = reinterpret_cast<const unsigned char *>(testo.data());
    const auto *k = reinterpret_cast<const unsigned char *>(chiave.data());
    const std::size_t ultimo = testo.size() - chiave.size();
    const unsigned char primo = k[0];
    for (std::size_t i = 0; i <= ultimo; ++i) {
        if (MINUSCOLE[t[i]] != primo) continue;
        std::size_t j = 1;
        while (j < chiave.size() && MINUSCOLE[t[i + j]] == k[j])
            ++j;
        if (j == chiave.size()) return true;
    }
    return false;
}

FormatoRiga::FormatoRiga(std::initializer_list<Colonna> colonne) {
    for (const auto &c : colonne)
        m_pezzi.push_back(
            {Cp1252::codifica(c.fisso.toString()), c.campo, c.fisso.isEmpty() ? c.larghezza : -1});
}

std::vector<Campo> FormatoRiga::campi() const {
    std::vector<Campo> campi;
    for (const auto &p : m_pezzi)
        if (p.larghezza >= 0) campi.push_back(p.campo);
    return campi;
}

void FormatoRiga::costruisci(const TScheda &scheda, std::string &riga,
                             std::string_view coda) const {
    riga.clear();
    for (const auto &p : m_pezzi) {
        if (p.larghezza < 0) {
            riga.append(p.fisso.constData(), std::size_t(p.fisso.size()));
            continue;
        }
        const std::string_view campo = CampoGrezzo(scheda, p.campo);
        if (p.larghezza == 0) {
            riga += campo;
            continue;
        }
        const std::size_t n = std::size_t(p.larghezza);
        riga += campo.substr(0, n);
        if (campo.size() < n) riga.append(n - campo.size(), ' ');
    }
    riga += coda;
}

QString FormatoRiga::testo(const TScheda &scheda) const {
    std::string riga;
    costruisci(scheda, riga);
    return Cp1252::decodifica(riga.data(), qsizetype(riga.size()));
}

const FormatoRiga &FormatoTrova() {
    static const FormatoRiga formato{
        {u"Cod. "},       {{}, Campo::Codice, 22},    {u"  "},       {{}, Campo::Nome, 34},
        {u"  Cat. "},     {{}, Campo::Tipologia, 22}, {u"  Giac. "}, {{}, Campo::Giacenza, 4},
        {u"  Pagato: "},  {{}, Campo::Pagato, 2},     {u"  Scad. "}, {{}, Campo::DataSca, 10},
        {u"  Costo: € "}, {{}, Campo::Costo, 0},
    };
    return formato;
}

const FormatoRiga &FormatoDaSaldare() {
    static const FormatoRiga formato{
        {u"Cod. "},       {{}, Campo::Codice, 20},    {u"  "},       {{}, Campo::Nome, 30},
        {u"  "},          {{}, Campo::Tipologia, 20}, {u"  Giac. "}, {{}, Campo::Giacenza, 4},
        {u"  "},          {{}, Campo::Ditta, 24},     {u"  Scad. "}, {{}, Campo::DataSca, 10},
        {u"  Costo: € "}, {{}, Campo::Costo, 0},
    };
    return formato;
}

const FormatoRiga &FormatoInventario() {
    static const FormatoRiga formato{
        {{}, Campo::Codice, 25},   {u"  "},           {{}, Campo::Nome, 42},  {u"  Scad. "},
        {{}, Campo::DataSca, 10},  {u"  Costo: € "},  {{}, Campo::Costo, 12}, {u"  Giacenza: "},
        {{}, Campo::Giacenza, 10}, {u"  Valore: € "},
    };
    return formato;
}

void Righe::aggiungi(std::string_view riga, qint64 posizione) {
    if (m_blocchi.empty() || BLOCCO_RIGHE - m_libero < riga.size()) {
        // Not zeroed: every byte handed out is written first.
        m_blocchi.emplace_back(new char[std::max(BLOCCO_RIGHE, riga.size())]);
        m_libero = 0;
    }
    char *dove = m_blocchi.back().get() + m_libero;
    if (!riga.empty()) std::memcpy(dove, riga.data(), riga.size());
    m_libero += riga.size();
    m_voci.push_back({dove, qint32(riga.size()), posizione});
    m_massima = std::max(m_massima, qsizetype(riga.size()));
}

void Righe::aggiungi(const QString &riga, qint64 posizione) {
    const QByteArray byte = Cp1252::codifica(riga);
    aggiungi(std::string_view(byte.constData(), std::size_t(byte.size())), posizione);
}

void Righe::accoda(Righe &&altre) {
    if (altre.m_voci.empty()) return;
    for (auto &blocco : altre.m_blocchi)
        m_blocchi.push_back(std::move(blocco));
    // New lines go on in the last block, which is now theirs.
    m_libero = altre.m_libero;
    m_voci.insert(m_voci.end(), altre.m_voci.begin(), altre.m_voci.end());
    m_massima = std::max(m_massima, altre.m_massima);
    altre.svuota();
}

QString Righe::testo(qsizetype i) const {
    const auto &v = m_voci[std::size_t(i)];
    return Cp1252::decodifica(v.testo, v.lunghezza);
}

QStringList Righe::testi() const {
    QStringList elenco;
    elenco.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        elenco << testo(i);
    return elenco;
}

bool PrecedeRiga(std::string_view a, std::string_view b) {
    const auto &peso = pesi();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t pa = peso[(unsigned char)a[i]];
        const char16_t pb = peso[(unsigned char)b[i]];
        if (pa != pb) return pa < pb;
    }
    return a.size() < b.size();
}

void Righe::ordina() {
    std::stable_sort(m_voci.begin(), m_voci.end(), [](const Voce &a, const Voce &b) {
        return PrecedeRiga({a.testo, std::size_t(a.lunghezza)},
                           {b.testo, std::size_t(b.lunghezza)});
    });
}

void Righe::ordinaPerPosizione() {
    std::stable_sort(m_voci.begin(), m_voci.end(),
                     [](const Voce &a, const Voce &b) { return a.posizione < b.posizione; });
}

void Righe::svuota() {
    m_voci.clear();
    m_voci.shrink_to_fit();
    m_blocchi.clear();
    m_libero = 0;
    m_massima = 0;
}

qsizetype TrovaSuccessiva(const Righe &righe, qsizetype selezionata, const QString &chiave,
                          QString &ultimaChiave) {
    const qsizetype n = righe.size();
    if (n == 0) return -1;
    if (selezionata < 0 || selezionata >= n) selezionata = 0;

    // Only A-Z change case, as everywhere in the program.
    QString minuscola = chiave;
    for (QChar &c : minuscola)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    std::string k;
    const bool cercabile = ChiaveMinuscola(minuscola, k) && !k.empty();
    auto contiene = [&](qsizetype i) { return cercabile && ContieneMinuscolo(righe.byte(i), k); };

    qsizetype trovata = -1;
    qsizetype inizio = selezionata;
    if (minuscola != ultimaChiave) {
        inizio = 0;
        if (contiene(0)) trovata = 0;
    }
    qsizetype i = inizio;
    while (trovata < 0 && cercabile) {
        i = (i + 1) % n;
        if (contiene(i)) trovata = i;
        if (i == inizio) break;
    }
    ultimaChiave = minuscola;
    return trovata >= 0 ? trovata : selezionata;
}

void PreparaStampaElenco(TfrxReport &report, const QString &titolo, const Righe &righe,
                         const QStringList &aggiunte) {
    auto *txtTitolo = report.FindObject<TfrxMemoView>(u"txtTitolo"_s);
    auto *txtRiepilogo = report.FindObject<TfrxMemoView>(u"txtRiepilogo"_s);
    auto *masterData = report.FindObject<TfrxBand>(u"MasterData"_s);
    if (!txtTitolo || !txtRiepilogo || !masterData)
        throw std::logic_error("list template without its title, list or band");
    txtTitolo->SetText(titolo);
    txtRiepilogo->Memo.clear();
    txtRiepilogo->Memo.reserve(righe.size() + aggiunte.size());
    for (qsizetype i = 0; i < righe.size(); ++i)
        txtRiepilogo->Memo << righe.testo(i);
    txtRiepilogo->Memo << aggiunte;
    txtRiepilogo->Height = double(txtRiepilogo->Memo.size()) * PassoRigaElenco;
    masterData->Height = txtRiepilogo->Height + 10;
    report.PrepareReport(true);
}

void StampaElenco(TfrxReport &report, const QString &titolo, const Righe &righe,
                  const QStringList &aggiunte, QWidget *genitore) {
    PreparaStampaElenco(report, titolo, righe, aggiunte);
    report.Print(genitore);
}
