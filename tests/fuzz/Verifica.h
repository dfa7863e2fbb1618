#pragma once

#include <QString>
#include <cstdio>
#include <cstdlib>

// A broken rule stops the fuzzer here, which keeps the input that broke it.
#define VERIFICA(condizione)                                                                       \
    do {                                                                                           \
        if (!(condizione)) {                                                                       \
            std::fprintf(stderr, "%s:%d: regola violata: %s\n", __FILE__, __LINE__, #condizione);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// For the message when a text comparison fails.
inline void Mostra(const char *nome, const QString &testo) {
    std::fprintf(stderr, "%s: \"%s\"\n", nome, testo.toUtf8().constData());
}
