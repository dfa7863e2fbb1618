#pragma once

#include <QString>

// Who makes the program and where to find them.
namespace Produttore {

inline QString Nome() {
    return QStringLiteral("Quadrelo Software");
}
inline QString SitoWeb() {
    return QStringLiteral("https://www.quadrelo.it");
}
inline QString Versione() {
    return QStringLiteral("1.0");
}
inline QString PostaAssistenza() {
    return QStringLiteral("assistenza@quadrelo.it");
}

} // namespace Produttore
