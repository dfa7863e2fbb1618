#pragma once

#include <QString>
#include <array>

// The 24 fields of a product record, in file order.
enum class Campo {
    Codice,
    Costo,
    Nome,
    Giacenza,
    Avviso,
    UM,
    Tipologia,
    Caratteristiche,
    Collocazione,
    Ditta,
    Agente,
    Recapito,
    Documento,
    Pagamento,
    DataSca,
    Note,
    Prezzo,
    Pagato,
    File01,
    File02,
    File03,
    Desc01,
    Desc02,
    Desc03
};
inline constexpr int NUMERO_CAMPI = 24;

struct DefinizioneCampo {
    int offset;  // of the length byte
    int massimo; // characters after it
};

inline constexpr std::array<DefinizioneCampo, NUMERO_CAMPI> CAMPI = {{
    {0, 25},    {26, 12},    {39, 50},    {90, 4},     {95, 3},     {99, 30},
    {130, 50},  {181, 250},  {432, 50},   {483, 50},   {534, 50},   {585, 30},
    {616, 50},  {667, 50},   {718, 10},   {729, 250},  {980, 12},   {993, 2},
    {996, 250}, {1247, 250}, {1498, 250}, {1749, 250}, {2000, 250}, {2251, 250},
}};

constexpr const DefinizioneCampo &definizione(Campo campo) {
    return CAMPI[std::size_t(campo)];
}

// One product record exactly as it lies in the file: 2502 bytes, each field a
// length byte followed by its Windows-1252 characters.
struct TScheda {
    static constexpr int DIMENSIONE = 2502;

    std::array<unsigned char, DIMENSIONE> byte{};

    // The field's text, decoded and trimmed. A length byte above the field's
    // width (a damaged record) reads as the width.
    QString testo(Campo campo) const;
    // Trimmed, encoded and cut to the field's width.
    void impostaTesto(Campo campo, const QString &testo);
    int lunghezza(Campo campo) const;
};

static_assert(sizeof(TScheda) == TScheda::DIMENSIONE);
