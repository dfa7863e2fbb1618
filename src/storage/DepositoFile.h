#pragma once

#include "storage/Deposito.h"

struct Conclusione;

// The archive in a folder: Magazzino.pro, Movimenti.csv, <n>.jpg,
// Documenti_Allegati and Schede eliminate, through the program's own code
// for each, so every file keeps its bytes and its locks.
class DepositoFile : public Deposito {
  public:
    explicit DepositoFile(const QString &cartella);

    QString cartella() const { return m_cartella; }
    QString archivio() const;
    QString giornale() const;
    QString cartellaAllegati() const;

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
    qint64 insieme(const std::vector<qint64> &posizioni,
                   const std::function<bool(qint64 indice, TScheda &)> &aggiorna, qint64 nuove,
                   const std::function<void(qint64 indice, TScheda &)> &prepara,
                   const QList<Movimento> &movimenti) override;
    qint64 insiemeConRighe(const std::vector<qint64> &posizioni,
                           const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                           qint64 nuove,
                           const std::function<void(qint64 indice, TScheda &)> &prepara,
                           const RigheInsieme &righe) override;
    bool registra(const QList<Movimento> &movimenti) override;
    bool movimentiScheda(qint64 posizione, QList<Movimento> &movimenti) override;
    bool movimentiPeriodo(const QDateTime &da, const QDateTime &a,
                          QList<Movimento> &movimenti) override;
    bool righePeriodo(const QDateTime &da, const QDateTime &a,
                      const VisitaRigaGrezza &visita) override;
    bool righeSchede(const QList<qint64> &posizioni, const VisitaRigaGrezza &visita) override;
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

  private:
    bool errore(const QString &messaggio);
    qint64 scriviInsieme(const std::vector<qint64> &posizioni,
                         const std::function<bool(qint64 indice, TScheda &)> &aggiorna,
                         qint64 nuove, const std::function<void(qint64 indice, TScheda &)> &prepara,
                         const Conclusione *conclusione);
    QString m_cartella;
    QString m_messaggio;
};

// A name under the attachments folder that stays inside it: relative, no
// "..", no empty part.
bool NomeAllegatoValido(const QString &nome);
// The files under `cartella`, by their paths relative to it, in name order.
QStringList FileSotto(const QString &cartella);
// Copies the raw field bytes of `campo` from one record to the other.
void CopiaCampo(TScheda &verso, const TScheda &da, Campo campo);
