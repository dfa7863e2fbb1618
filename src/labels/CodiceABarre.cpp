#include "labels/CodiceABarre.h"

#include "archive/RegoleNumeri.h"

#include <cmath>
#include <memory>
#include <zint.h>

using namespace Qt::StringLiterals;

namespace {

bool soloCifre(const QString &testo) {
    for (QChar c : testo)
        if (c < u'0' || c > u'9') return false;
    return !testo.isEmpty();
}

// Light margins either side that scanners need to find the symbol, in modules.
struct ZoneDiRispetto {
    int sinistra;
    int destra;
};

ZoneDiRispetto zone(Simbologia s) {
    switch (s) {
    case Simbologia::Ean13:
        return {11, 7};
    case Simbologia::Ean8:
        return {7, 7};
    case Simbologia::Code128:
    case Simbologia::Nessuna:
        break;
    }
    return {10, 10};
}

} // namespace

namespace {

// The check digit the digits before the last one call for.
int cifraAttesa(const QString &cifre) {
    // Weights 3, 1, 3, ... from the digit before the check digit leftwards.
    int somma = 0;
    int peso = 3;
    for (qsizetype i = cifre.size() - 2; i >= 0; --i) {
        somma += (cifre[i].unicode() - u'0') * peso;
        peso = 4 - peso;
    }
    return (10 - somma % 10) % 10;
}

} // namespace

bool CifraDiControlloEan(const QString &cifre) {
    if (!soloCifre(cifre) || cifre.size() < 2) return false;
    return cifraAttesa(cifre) == cifre.back().unicode() - u'0';
}

SceltaSimbologia ScegliSimbologia(const QString &codice) {
    SceltaSimbologia scelta;
    scelta.codice = Rifila(codice);
    const QString &c = scelta.codice;
    if (c.isEmpty()) {
        scelta.motivo = u"la scheda non ha un codice"_s;
        return scelta;
    }
    if ((c.size() == 13 || c.size() == 8) && soloCifre(c)) {
        const Simbologia ean = c.size() == 13 ? Simbologia::Ean13 : Simbologia::Ean8;
        if (CifraDiControlloEan(c)) {
            scelta.simbologia = ean;
            return scelta;
        }
        scelta.simbologia = Simbologia::Code128;
        scelta.nota = u"l'ultima cifra non è la cifra di controllo di un "_s + NomeSimbologia(ean) +
                      u" (sarebbe "_s + QString::number(cifraAttesa(c)) +
                      u"): stampato come Code 128"_s;
        return scelta;
    }
    // Code 128 carries more than ASCII only through shifts that many
    // scanners type back wrongly, so only printable ASCII goes into it.
    for (qsizetype i = 0; i < c.size(); ++i) {
        const char16_t u = c[i].unicode();
        if (u < 0x20 || u > 0x7E) {
            const qsizetype n = c[i].isHighSurrogate() && i + 1 < c.size() ? 2 : 1;
            scelta.motivo =
                u"il carattere «"_s + c.mid(i, n) + u"» non può stare in un codice a barre"_s;
            return scelta;
        }
    }
    scelta.simbologia = Simbologia::Code128;
    return scelta;
}

QString NomeSimbologia(Simbologia simbologia) {
    switch (simbologia) {
    case Simbologia::Ean13:
        return u"EAN-13"_s;
    case Simbologia::Ean8:
        return u"EAN-8"_s;
    case Simbologia::Code128:
        return u"Code 128"_s;
    case Simbologia::Nessuna:
        break;
    }
    return u"nessuno"_s;
}

std::vector<QRectF> Barre::rettangoli(double larghezza, double altezza) const {
    std::vector<QRectF> esito;
    if (moduli <= 0) return esito;
    const double modulo = larghezza / moduli;
    esito.reserve(barre.size());
    for (const Barra &b : barre)
        esito.emplace_back(b.inizio * modulo, 0, b.larghezza * modulo, altezza);
    return esito;
}

Barre CodificaBarre(const QString &codice) {
    const SceltaSimbologia scelta = ScegliSimbologia(codice);
    Barre barre;
    barre.simbologia = scelta.simbologia;
    barre.codice = scelta.codice;
    barre.motivo = scelta.motivo;
    barre.nota = scelta.nota;
    if (scelta.simbologia == Simbologia::Nessuna) return barre;

    const std::unique_ptr<zint_symbol, void (*)(zint_symbol *)> simbolo(ZBarcode_Create(),
                                                                        ZBarcode_Delete);
    if (!simbolo) {
        barre.motivo = u"memoria insufficiente"_s;
        return barre;
    }
    simbolo->symbology = scelta.simbologia == Simbologia::Code128 ? BARCODE_CODE128 : BARCODE_EANX;
    simbolo->input_mode = DATA_MODE;
    simbolo->show_hrt = 0; // the code is printed as text by the label itself
    // libzint takes an EAN-8 as its 7 digits and adds the check digit itself
    // (8 digits would make it an EAN-13); the digit was checked above.
    const QByteArray dati = scelta.simbologia == Simbologia::Ean8 ? scelta.codice.left(7).toLatin1()
                                                                  : scelta.codice.toLatin1();
    if (ZBarcode_Encode(simbolo.get(), reinterpret_cast<const unsigned char *>(dati.constData()),
                        int(dati.size())) >= ZINT_ERROR ||
        ZBarcode_Buffer_Vector(simbolo.get(), 0) >= ZINT_ERROR || !simbolo->vector ||
        simbolo->width <= 0) {
        barre.simbologia = Simbologia::Nessuna;
        barre.motivo = u"il codice non può diventare un codice a barre ("_s +
                       QString::fromLatin1(simbolo->errtxt) + u')';
        return barre;
    }

    // The vector output is in its own scale: bring it back to whole modules.
    double sinistra = 1e300, destra = -1e300;
    for (const zint_vector_rect *r = simbolo->vector->rectangles; r; r = r->next) {
        sinistra = std::min(sinistra, double(r->x));
        destra = std::max(destra, double(r->x + r->width));
    }
    const double modulo = (destra - sinistra) / simbolo->width;
    if (!(modulo > 0)) {
        barre.simbologia = Simbologia::Nessuna;
        barre.motivo = u"il codice non può diventare un codice a barre"_s;
        return barre;
    }
    const ZoneDiRispetto z = zone(scelta.simbologia);
    for (const zint_vector_rect *r = simbolo->vector->rectangles; r; r = r->next) {
        const int inizio = int(std::lround((r->x - sinistra) / modulo));
        const int larghezza = int(std::lround(r->width / modulo));
        if (larghezza > 0) barre.barre.push_back({z.sinistra + inizio, larghezza});
    }
    barre.moduli = z.sinistra + simbolo->width + z.destra;
    return barre;
}
