#pragma once

#include "invoices/FatturaElettronica.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Deposito;

// Which card each line of an invoice goes to: what was chosen before for
// the same supplier and article, then a card whose code is the line's EAN,
// then one whose code is the supplier's article code; the rest is left to
// the user.

// How the card's cost follows the invoice's net price.
enum class PoliticaCosto { Sempre, SoloSePiuAlto, Mai };

// The choices remembered between invoices, in AbbinamentiFatture.json beside
// the archive: supplier + article → card code ("" for "not goods"), and the
// cost setting.
class AbbinamentiRicordati {
  public:
    static QString percorsoPredefinito(); // in the program folder
    // A missing file reads as empty; false (with nothing remembered) when it
    // exists and cannot be read.
    bool leggi(const QString &percorso = percorsoPredefinito());
    // Read again and merged with what this copy chose, then written whole.
    bool scrivi(const QString &percorso = percorsoPredefinito()) const;

    // The keys of a line: each article code ("EAN:800..."), or its
    // description when it has none.
    static QStringList chiavi(const RigaFattura &riga);
    std::optional<QString> cerca(const QString &fornitore, const QStringList &chiavi) const;
    void ricorda(const QString &fornitore, const QStringList &chiavi, const QString &codice);
    qsizetype voci() const { return m_voci.size(); }

    PoliticaCosto politica = PoliticaCosto::Sempre;

  private:
    QHash<QString, QString> m_voci;
    QHash<QString, QString> m_nuove; // chosen since reading
};

enum class StatoAbbinamento { DaScegliere, Scheda, Nuova, NonMerce };
enum class OrigineAbbinamento { Nessuna, Ricordata, Ean, CodiceFornitore, Scelta };

// A card as a line shows it.
struct SchedaTrovata {
    qint64 posizione = 0;
    QString codice;
    QString nome;
    QString giacenza;
    QString costo;
};

// What a new card takes from its line; the user may change it before.
struct DatiNuovaScheda {
    QString codice;
    QString nome;
    QString categoria;
    QString costo;
};

struct AbbinamentoRiga {
    StatoAbbinamento stato = StatoAbbinamento::DaScegliere;
    OrigineAbbinamento origine = OrigineAbbinamento::Nessuna;
    SchedaTrovata scheda;
    DatiNuovaScheda nuova;
    QString nota; // why the line is left to the user
};

// The card of each line of `fattura`, in one pass over the archive. False in
// `letto` when the archive cannot be read.
QList<AbbinamentoRiga> AbbinaRighe(const Fattura &fattura, const AbbinamentiRicordati &ricordati,
                                   const QString &archivio, bool *letto = nullptr);
// The same on the archive in `deposito`; on failure its message says why.
QList<AbbinamentoRiga> AbbinaRighe(const Fattura &fattura, const AbbinamentiRicordati &ricordati,
                                   Deposito &deposito, bool *letto = nullptr);

// The cards whose code or name holds `testo` (capitals and small letters
// alike), at most `quante`.
QList<SchedaTrovata> CercaSchede(const QString &archivio, const QString &testo, int quante = 200);
QList<SchedaTrovata> CercaSchede(Deposito &deposito, const QString &testo, int quante = 200);

// A new card's data from its line: the first EAN or article code, the
// description, the net price.
DatiNuovaScheda NuovaSchedaDaRiga(const RigaFattura &riga);

// The net price as a card's cost: four decimals at most, two at least.
QString CostoDaPrezzo(double prezzo);
// The card's code as compared: trimmed, capitals and small letters alike.
QString ChiaveCodice(const QString &codice);
