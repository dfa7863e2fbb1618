#pragma once

#include "storage/Deposito.h"

#include <QLockFile>
#include <QString>
#include <memory>

class Connessione;

// A copy of the server's cards in a record file at this workstation, which
// the list passes read in place on both cores, as they read the program
// folder's archive. Before each pass it takes the rows written since it last
// looked (every write marks its row with its transaction), so another site's
// change shows at the next pass as on the server itself. The server stays the
// archive: the copy is only read, and is made again whole whenever it cannot
// be trusted (another database, a file that is not as it was left).
class CopiaLocale {
  public:
    // The copy `nome` (letters and digits) in `cartella`, made there if
    // missing. One program at a time uses it (from its first update); another
    // gets none.
    CopiaLocale(const QString &cartella, const QString &nome);
    ~CopiaLocale();
    CopiaLocale(const CopiaLocale &) = delete;
    CopiaLocale &operator=(const CopiaLocale &) = delete;

    // Brings the copy up to the server's cards now; its record file, empty
    // when it cannot be used (no lock, a server without the change marks, a
    // disk that cannot take it), and the pass then reads the server.
    QString aggiorna(Connessione &connessione, const Deposito::Progresso &avanza);
    QString archivio() const;
    // Rows the last update read: every card when it was made again whole.
    qint64 righeLette() const { return m_lette; }

  private:
    QString stato() const;
    QString m_cartella;
    QString m_nome;
    std::unique_ptr<QLockFile> m_blocco;
    qint64 m_lette = 0;
};

// The name of the copy for a server's database and user.
QString NomeCopiaLocale(const QString &host, int porta, const QString &database,
                        const QString &utente);
