#pragma once

#include "archive/TScheda.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <initializer_list>
#include <sys/resource.h>
#include <utility>

// A temporary program folder, in force while the object lives.
class CartellaDiProva {
  public:
    CartellaDiProva();
    ~CartellaDiProva();
    QString percorso(const QString &nome = QString()) const;
    QString archivio() const { return percorso(QStringLiteral("Magazzino.pro")); }
    QByteArray leggiArchivio() const;
    void scriviArchivio(const QByteArray &contenuto) const;

  private:
    QTemporaryDir m_cartella;
};

// A record made from field values; unnamed fields stay empty.
TScheda SchedaDiProva(std::initializer_list<std::pair<Campo, QString>> campi);
// A usual card: code, cost, name, category and stock taken from the number n.
TScheda SchedaNumero(int n);
// An archive of the given records, written byte for byte.
QByteArray ArchivioDi(std::initializer_list<TScheda> schede);

// A whole file's bytes; empty when it cannot be read.
QByteArray Leggi(const QString &percorso);
// The text of a PDF as poppler's pdftotext reads it (layout kept); empty when
// it cannot be read.
QString TestoDelPdf(const QString &percorso);
// Writes the file whole (a failed write fails the test).
void Scrivi(const QString &percorso, const QByteArray &byte);

// Waits for a child process under a watchdog: one still running after
// `millisecondi` is killed and false is given, so a wait that never ends
// fails the test instead of hanging it.
bool FinitoEntro(QProcess &figlio, int millisecondi);

// With the real dialogs: the next message box is read, its text as shown and
// its format, and answered No.
void RispondiNoAlProssimoMessaggio(QString &mostrato, Qt::TextFormat &formato);

// Typed amounts and the box text after leaving it: one table for the rule and
// for the card's boxes.
struct CasoImporto {
    const char *nome;
    QString digitato;
    QString risultato;
};
QList<CasoImporto> TabellaImporti();

// The file may grow to the given size at most, as on a full disk; with no
// size, nothing is limited.
class DiscoPieno {
  public:
    explicit DiscoPieno(qint64 massimo) {
        if (massimo < 0) return;
        getrlimit(RLIMIT_FSIZE, &m_vecchio);
        m_segnale = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limite = m_vecchio;
        limite.rlim_cur = rlim_t(massimo);
        m_attivo = setrlimit(RLIMIT_FSIZE, &limite) == 0;
    }
    ~DiscoPieno() {
        if (!m_attivo) return;
        setrlimit(RLIMIT_FSIZE, &m_vecchio);
        std::signal(SIGXFSZ, m_segnale);
    }
    bool attivo() const { return m_attivo; }

  private:
    struct rlimit m_vecchio {};
    void (*m_segnale)(int) = nullptr;
    bool m_attivo = false;
};
