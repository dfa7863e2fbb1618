#pragma once

#include <QRectF>
#include <QString>
#include <vector>

// Which barcode a card's code becomes, and its bars.
//
// A code of 13 digits whose last digit is the right check digit is an EAN-13,
// one of 8 digits likewise an EAN-8; any other code of printable ASCII
// characters is a Code 128. Digits that would be an EAN but for their check
// digit become a Code 128 with a note that says so, since the code was most
// likely mistyped. A code with any other character (an accented letter, the
// euro sign), or an empty one, has no barcode: it is printed as text, and the
// reason says why.
enum class Simbologia { Nessuna, Ean13, Ean8, Code128 };

struct SceltaSimbologia {
    Simbologia simbologia = Simbologia::Nessuna;
    QString codice; // trimmed
    QString motivo; // why there is no barcode; empty when there is one
    QString nota;   // why a Code 128 stands where an EAN was expected
};

SceltaSimbologia ScegliSimbologia(const QString &codice);
// Whether the last digit of a string of digits is its EAN check digit.
bool CifraDiControlloEan(const QString &cifre);
QString NomeSimbologia(Simbologia simbologia);

// The bars of a symbol in modules, quiet zones included: each bar is
// [inizio, inizio + larghezza) from the left edge of the left quiet zone.
struct Barre {
    Simbologia simbologia = Simbologia::Nessuna;
    QString codice;
    QString motivo; // when there are no bars
    QString nota;   // as in SceltaSimbologia
    int moduli = 0; // whole width, quiet zones included
    struct Barra {
        int inizio;
        int larghezza;
    };
    std::vector<Barra> barre;

    bool valide() const { return !barre.empty(); }
    // The bars as rectangles in a box `larghezza` x `altezza` wide, the
    // symbol filling the box's width.
    std::vector<QRectF> rettangoli(double larghezza, double altezza) const;
};

// Encodes the code with libzint in the symbology it calls for.
Barre CodificaBarre(const QString &codice);
