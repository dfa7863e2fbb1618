#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>

class TfrxReport;

// A sheet of labels on A4 paper: a grid of equal labels, measured in mm from
// the sheet's top-left corner. Labels are counted row by row from 1.
struct FormatoFoglio {
    QString nome;
    int colonne = 3;
    int righe = 8;
    double larghezza = 70; // of each label
    double altezza = 37;
    double margineSinistro = 0;
    double margineAlto = 0.5;
    double spazioOrizzontale = 0; // between two columns
    double spazioVerticale = 0;   // between two rows

    int etichette() const { return colonne * righe; }
    // Where label n (from 1) lies on the sheet, in mm.
    QRectF posto(int numero) const;
};

inline constexpr double LarghezzaA4 = 210;
inline constexpr double AltezzaA4 = 297;

// The usual A4 sheets, each centred on the paper.
const QList<FormatoFoglio> &FormatiStandard();

// Why labels could not be printed on this sheet as they are designed (too
// small, negative margins, not fitting on A4), as a message for the user;
// empty when the sheet is sound.
QString ControllaFormato(const FormatoFoglio &formato);

// Which texts each label shows besides the barcode.
struct TestiEtichetta {
    bool codice = true;
    bool nome = true;
    bool prezzo = true;
};

// One card to label: its code, name and sale price as stored, how many labels.
struct SchedaEtichetta {
    QString codice;
    QString nome;
    QString prezzo;
    int copie = 1;
};

class Deposito;
struct TScheda;
// A card's label data, as many copies as its stock.
SchedaEtichetta EtichettaDellaScheda(const TScheda &scheda);
// The cards at these positions, in the order given, read in one pass over the
// archive; positions past its end are left out. False when it cannot be read.
bool LeggiSchedeEtichette(const QString &archivio, const QList<qint64> &posizioni,
                          QList<SchedaEtichetta> &schede);
// The same from the archive in `deposito`.
bool LeggiSchedeEtichette(Deposito &deposito, const QList<qint64> &posizioni,
                          QList<SchedaEtichetta> &schede);

// The price as a label shows it, "€ 12,50"; a price that is not a number is
// shown as stored, an empty one not at all.
QString TestoPrezzo(const QString &prezzo);
// Labels asked for by a stock text: its whole part, none for a stock of zero,
// below zero or not a number, at most MassimoCopie.
int CopieDaGiacenza(const QString &giacenza);
inline constexpr int MassimoCopie = 9999;
// More than this at once is refused: 417 sheets of 24.
inline constexpr int MassimoEtichette = 10000;

struct EtichettePreparate {
    std::unique_ptr<TfrxReport> report; // one page per sheet
    int etichette = 0;
    int fogli = 0;
    // Codes printed as text, each once: "code: reason".
    QStringList senzaBarre;
    // Codes that look like an EAN but are printed as Code 128, each once:
    // "code: note".
    QStringList comeCode128;
};

// Lays the labels out on as many sheets as they need, the first sheet from
// label `primaLibera`, and prepares the report's pages. The sheet must have
// passed ControllaFormato.
EtichettePreparate PreparaEtichette(const FormatoFoglio &formato, int primaLibera,
                                    const TestiEtichetta &testi,
                                    const QList<SchedaEtichetta> &schede);

// The smallest module (narrowest bar) that is printed, in mm, and the widest.
inline constexpr double ModuloMinimo = 0.19;
inline constexpr double ModuloMassimo = 0.5;
