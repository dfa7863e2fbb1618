#pragma once

#include "archive/TScheda.h"

#include <QString>
#include <functional>

// The archive access message shown by the card window for any failure.
QString MessaggioAccessoArchivio();

// One operation on Magazzino.pro. The file is opened by apri() and closed by
// chiudi() or when the object goes, so no handle outlives a user action.
// Positions are 1-based.
class Archivio {
  public:
    explicit Archivio(QString percorso);
    Archivio();
    ~Archivio();
    Archivio(const Archivio &) = delete;
    Archivio &operator=(const Archivio &) = delete;

    // Opens for reading and writing, creating the file empty when missing.
    bool ApriArchivio();
    // Whole records only; a trailing partial record is not counted. -1 on error.
    qint64 conta() const;
    bool leggi(qint64 posizione, TScheda &scheda) const;
    // Several consecutive records into one buffer.
    bool leggi(qint64 posizione, TScheda *schede, qint64 quante) const;
    // One write of the whole record at its offset, on disk before returning.
    bool scrivi(qint64 posizione, const TScheda &scheda);
    // Writes after the last whole record; returns the new position or -1.
    qint64 accoda(const TScheda &scheda);
    // Writes `quante` records after the last whole one, each built by `prepara`
    // as it is written, and puts them on disk once at the end. All or nothing:
    // after a failure the file is as it was. Returns the first new position or -1.
    qint64 accodaTutte(qint64 quante, const std::function<void(qint64 indice, TScheda &)> &prepara);
    void chiudi();

  private:
    QString m_percorso;
    int m_fd = -1;
};

// Reads every whole record in file order, in large blocks. The visitor gets
// each record and its position and returns false to stop early. Returns false
// when the file cannot be opened or read.
bool ScorriArchivio(const QString &percorso,
                    const std::function<bool(const TScheda &, qint64 posizione)> &visita);
