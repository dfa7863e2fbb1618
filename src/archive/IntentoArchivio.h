#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// What makes an operation final once its archive steps are on disk, for an
// operation whose result also lives in another file (a removed card lives on
// only in the journal). The operation counts as done once `file` holds
// `marca` at or after byte `da`; it is undone while it does not. The file
// steps follow once it is done, and can be done again without harm. Names
// are relative to the archive's folder.
struct ConclusioneIntento {
    QString file;
    qint64 da = 0;
    QByteArray marca;
    struct Rinomina {
        QString da;
        QString a; // empty: `da` is removed
    };
    // Renames whose source is gone are passed over: they were done before.
    QList<Rinomina> dopo;
    // Files the operation makes before it is final, which go when it is undone.
    QStringList annullando;
};

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

    bool inizia(qint64 lunghezza, const ConclusioneIntento *conclusione = nullptr);
    // Old bytes at an offset of the archive.
    bool aggiungi(qint64 offset, const unsigned char *byte, qint64 quanti);
    // Flushes the record and puts it in its place: from here on a crash is
    // undone. Never over a record already there (errore() is then EEXIST).
    bool conferma();
    // After the operation's last flush: the operation stays.
    bool rimuovi();
    int errore() const { return m_errore; }

  private:
    bool scrivi(const void *dati, qint64 quanti);
    bool svuota();
    bool scriviTutto(const unsigned char *byte, qint64 quanti);

    QString m_percorso;
    QString m_temporaneo;
    int m_fd = -1;
    quint64 m_impronta = 0;
    int m_errore = 0;
    std::vector<unsigned char> m_attesa; // written out at the latest by conferma()
};

// Nessuno: no record; Fatto: the archive put back; Concluso: the operation
// was already final and its file steps are done.
enum class Ripristino { Nessuno, Fatto, Concluso, Fallito };

// Puts the archive open at `fd` back as the record beside it says, or
// finishes an operation already final, and removes the record. The caller
// holds the whole-file lock. A record that cannot be read whole is left
// where it is and the archive untouched.
Ripristino RipristinaDaIntento(int fd, const QString &archivio);

// Called at each step of an operation that writes many records (tests stop
// the process there). An empty function: no calls.
void ImpostaPassoArchivio(std::function<void()> passo);
void PassoArchivio();
