#pragma once

// Measures shared by the benchmarks.

#include <QElapsedTimer>
#include <algorithm>
#include <sys/resource.h>

namespace Misure {

// Peak resident memory of this process so far, in MiB.
inline double piccoMiB() {
    struct rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    return double(uso.ru_maxrss) / 1024.0;
}

inline double millisecondi(const QElapsedTimer &t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// The best of a few runs, with the file already in the page cache.
template <typename F> double migliore(int volte, F &&f) {
    double meglio = 1e300;
    for (int i = 0; i < volte; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        meglio = std::min(meglio, millisecondi(t));
    }
    return meglio;
}

} // namespace Misure
