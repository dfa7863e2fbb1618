#pragma once

#include "server/Connessione.h"
#include "storage/Deposito.h"

#include <memory>

class CopiaLocale;

// The archive on a PostgreSQL server (see SchemaServer.h for its tables).
// Every change is one transaction; changes that move positions (append,
// removal, restore) take one advisory lock, so positions stay 1..n with no
// gap whichever site writes. A save applies its stock delta to the stock the
// server holds at that moment: the row is written only if nobody wrote it
// since it was read (its version), otherwise it is read again.
class DepositoServer : public Deposito {
  public:
    explicit DepositoServer(Connessione &connessione);
    // With a copy of the cards at this workstation, which every pass over
    // all cards and the lists of many read in place (see CopiaLocale.h).
    DepositoServer(Connessione &connessione, std::unique_ptr<CopiaLocale> copia);
    ~DepositoServer() override;

    qint64 conta() override;
    bool leggi(qint64 posizione, TScheda &scheda) override;
    Salvataggio scriviConRighe(qint64 posizione, const TScheda &scheda, qint64 delta,
                               const RigheDelta &righe) override;
    qint64 accoda(const TScheda &scheda) override;
    qint64 accodaConRighe(const TScheda &scheda,
                          const std::function<QList<Movimento>(qint64 posizione)> &righe) override;
    Rimozione togli(qint64 posizione, const TScheda &attesa) override;
    QList<Eliminata> eliminate() override;
    qint64 ripristina(const Eliminata &eliminata) override;
    bool scorri(const VisitaBlocco &visita) override;
    bool cerca(const QString &testo, const QList<Campo> &campi, QList<qint64> &posizioni) override;
    bool scorriFiltro(const Filtro &filtro, const VisitaSchede &visita,
                      const Progresso &avanza) override;
    QString archivioDaLeggere(const Filtro &filtro, const Progresso &avanza) override;
    qint64 insieme(const std::vector<qint64> &posizioni,
                   const std::function<bool(qint64 indice, TScheda &)> &aggiorna, qint64 nuove,
                   const std::function<void(qint64 indice, TScheda &)> &prepara,
                   const QList<Movimento> &movimenti) override;
    qint64 insiemeConRighe(const std::vector<qint64> &posizioni,
                           const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                           qint64 nuove,
                           const std::function<void(qint64 indice, TScheda &)> &prepara,
                           const RigheInsieme &righe) override;
    bool inEsclusiva(const std::function<bool()> &lavoro) override;
    bool registra(const QList<Movimento> &movimenti) override;
    bool movimentiScheda(qint64 posizione, QList<Movimento> &movimenti) override;
    bool movimentiPeriodo(const QDateTime &da, const QDateTime &a,
                          QList<Movimento> &movimenti) override;
    bool righePeriodo(const QDateTime &da, const QDateTime &a,
                      const VisitaRigaGrezza &visita) override;
    bool righeSchede(const QList<qint64> &posizioni, const VisitaRigaGrezza &visita) override;
    bool righeConTesto(const QByteArray &testo, const VisitaRigaGrezza &visita) override;
    bool rigaGiornale(qint64 numero, Movimento &movimento) override;
    qint64 segnoGiornale() override;
    bool righeDopo(qint64 segno, const VisitaRigaGrezza &visita) override;
    bool cercaCodice(const QString &codice, QList<qint64> &posizioni) override;
    bool leggiFoto(qint64 posizione, QByteArray &foto) override;
    bool scriviFoto(qint64 posizione, const QByteArray &foto) override;
    bool allegati(QStringList &nomi) override;
    bool leggiAllegato(const QString &nome, QByteArray &byte) override;
    bool scriviAllegato(const QString &nome, const QByteArray &byte) override;
    QString messaggio() const override { return m_messaggio; }
    // The connection it works on, for moving the archive whole.
    Connessione &connessioneInUso() const { return m_c; }

    // Cards per block of a pass.
    static constexpr int BLOCCO = 2048;

  private:
    bool errore();
    bool errore(const QString &messaggio);
    bool leggiVersione(qint64 posizione, TScheda &scheda, qint64 &versione, bool &trovata);
    bool inserisci(qint64 posizione, const TScheda &scheda);
    bool aggiornaRiga(qint64 posizione, const TScheda &scheda, qint64 versione, bool &fatto);
    bool leggiMovimenti(const Risultato &r, QList<Movimento> &movimenti);
    bool scorriRighe(const QByteArray &sql, const QList<ValoreSql> &valori,
                     const VisitaRigaGrezza &visita);
    bool pochiTrovati(const Filtro &filtro);
    Connessione &m_c;
    std::unique_ptr<CopiaLocale> m_copia;
    bool m_leggeCopia = false; // scorri is reading the copy
    QString m_messaggio;
};

// The journal's rows as the table keeps them.
bool InserisciMovimenti(Connessione &connessione, const QList<Movimento> &movimenti);
// The key a removal or a restore line carries, empty for other lines.
QString ChiaveDiMovimento(const Movimento &movimento);

// What a list pass's filter asks of the table, with its values; empty when
// every card is wanted. A card the server keeps as bytes always goes through.
QByteArray CondizioneFiltro(const Deposito::Filtro &filtro, QList<ValoreSql> &valori);
