#pragma once

// Measures shared by the benchmarks.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <sys/resource.h>

namespace Misure {

// Peak resident memory of this process so far, in MiB.
inline double piccoMiB() {
    struct rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    return double(uso.ru_maxrss) / 1024.0;
}

// CPU time of this process so far (user and system), in ms: less shaken
// than the wall clock on a machine shared with other work.
inline double cpuMs() {
    struct rusage uso {};
    getrusage(RUSAGE_SELF, &uso);
    return double(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) * 1e3 +
           double(uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e3;
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

// The command line "[folder] [N ...]": the folder where the files are
// generated, a temporary one when the first word names no folder, and the
// sizes to measure, `normali` when none is given.
struct Argomenti {
    QTemporaryDir temporanea;
    QString cartella;
    QList<qint64> quanti;

    explicit Argomenti(const QList<qint64> &normali) {
        QStringList parole = QCoreApplication::arguments().mid(1);
        cartella = !parole.isEmpty() && QDir(parole.first()).exists() ? parole.takeFirst()
                                                                      : temporanea.path();
        for (const QString &p : parole)
            quanti << p.toLongLong();
        if (quanti.isEmpty()) quanti = normali;
    }
    QString file(const QString &nome) const { return QDir(cartella).filePath(nome); }
};

} // namespace Misure
