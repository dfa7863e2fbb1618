#pragma once

#include <QString>
#include <functional>

// A record, beside the archive, of what an operation that changes many
// records is about to do: the archive's length before it and the old bytes
// of every place it will overwrite. It is on disk before the first new byte
// reaches the archive and goes after the last flush, so a crash in between
// leaves enough to put the archive back as it was.
//
// The file is written beside the record's place and renamed there once
// flushed, so a record found at its place is always whole.
class IntentoArchivio {
  public:
    explicit IntentoArchivio(const QString &archivio);
    ~IntentoArchivio();
    IntentoArchivio(const IntentoArchivio &) = delete;
    IntentoArchivio &operator=(const IntentoArchivio &) = delete;

    static QString percorsoPer(const QString &archivio);

    bool inizia(qint64 lunghezza);
    // Old bytes at an offset of the archive.
    bool aggiungi(qint64 offset, const unsigned char *byte, qint64 quanti);
    // Flushes the record and puts it in its place: from here on a crash is undone.
    bool conferma();
    // After the operation's last flush: the operation stays.
    bool rimuovi();
    int errore() const { return m_errore; }

  private:
    bool scrivi(const void *dati, qint64 quanti);

    QString m_percorso;
    QString m_temporaneo;
    int m_fd = -1;
    quint64 m_impronta = 0;
    int m_errore = 0;
};

enum class Ripristino { Nessuno, Fatto, Fallito };

// Puts the archive open at `fd` back as the record beside it says and removes
// the record. The caller holds the whole-file lock. A record that cannot be
// read whole is left where it is and the archive untouched.
Ripristino RipristinaDaIntento(int fd, const QString &archivio);

// Called at each step of an operation that writes many records (tests stop
// the process there). An empty function: no calls.
void ImpostaPassoArchivio(std::function<void()> passo);
void PassoArchivio();
