#include "archive/TScheda.h"

#include "archive/Cp1252.h"
#include "archive/RegoleNumeri.h"

#include <cstring>

int TScheda::lunghezza(Campo campo) const {
    const auto &d = definizione(campo);
    return qMin<int>(byte[std::size_t(d.offset)], d.massimo);
}

QString TScheda::testo(Campo campo) const {
    const auto &d = definizione(campo);
    const auto *inizio = reinterpret_cast<const char *>(byte.data()) + d.offset + 1;
    return Rifila(Cp1252::decodifica(inizio, lunghezza(campo)));
}

void TScheda::impostaTesto(Campo campo, const QString &testo) {
    const auto &d = definizione(campo);
    const QByteArray codificato = Cp1252::codifica(Rifila(testo)).left(d.massimo);
    byte[std::size_t(d.offset)] = static_cast<unsigned char>(codificato.size());
    std::memset(byte.data() + d.offset + 1, 0, std::size_t(d.massimo));
    std::memcpy(byte.data() + d.offset + 1, codificato.constData(), std::size_t(codificato.size()));
}
