#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// A supplier's electronic invoice (FatturaPA, schema 1.2.x, FPR12 or FPA12)
// as the receiving of goods needs it. Amounts and quantities keep the text
// the file has ("12.34567890") next to their value, so what is shown is what
// was written.

struct NumeroFattura {
    QString testo; // as in the file, point for decimals; empty when absent
    double valore = 0;
    bool presente() const { return !testo.isEmpty(); }
};

struct CodiceArticolo {
    QString tipo; // CodiceTipo: "EAN", "SKU", "Codice fornitore" ...
    QString valore;
};

struct ScontoMaggiorazione {
    bool maggiorazione = false; // MG raises the price, SC lowers it
    NumeroFattura percentuale;
    NumeroFattura importo; // per unit, when there is no percentage
};

struct RigaFattura {
    QString numero; // NumeroLinea
    QList<CodiceArticolo> codici;
    QString descrizione;
    NumeroFattura quantita; // absent for a service
    QString unitaMisura;
    NumeroFattura prezzoUnitario;
    QList<ScontoMaggiorazione> sconti;
    NumeroFattura prezzoTotale;
    NumeroFattura aliquotaIva;
    QString natura; // why no VAT, when AliquotaIVA is 0

    // The unit price after every discount and surcharge, in their order.
    double prezzoNetto() const;
    // The quantity has no decimal part other than zeros.
    bool quantitaIntera() const;
};

struct DocumentoTrasporto {
    QString numero;
    QDate data;
    QStringList righe; // RiferimentoNumeroLinea
};

struct Fornitore {
    QString denominazione; // or Nome + Cognome
    QString paese;         // IdPaese
    QString partitaIva;    // IdCodice
    QString codiceFiscale;
    // The partita IVA with its country ("IT01234567890"), or the fiscal code.
    QString identita() const;
};

// One FatturaElettronicaBody: a file of a batch holds several.
struct Fattura {
    Fornitore fornitore;
    QString tipo; // TD01, TD04, TD24 ...
    QString numero;
    QDate data;
    QString divisa;
    NumeroFattura totale;
    QList<DocumentoTrasporto> ddt;
    QList<RigaFattura> righe;
    QString modalitaPagamento; // MP01 ... of the first payment
    QDate scadenza;            // the latest DataScadenzaPagamento

    bool notaDiCredito() const { return tipo == u"TD04"; }
};

// "TD04" → "Nota di credito"; an unknown code is given back as it is.
QString NomeTipoDocumento(const QString &tipo);
// "MP05" → "Bonifico".
QString NomeModalitaPagamento(const QString &codice);
// A number of the file as the windows write it: decimal comma, the digits as given.
QString TestoNumero(const NumeroFattura &numero);

struct LetturaFattura {
    QList<Fattura> fatture;
    QString errore; // the reason the file is refused, a sentence without the file's name
};

// Reads the XML of an invoice: UTF-8, UTF-16 with its mark, or the encoding
// its declaration names (ISO-8859-1, ISO-8859-15, Windows-1252); any prefix
// for the namespace. A DTD is refused, so no entity is ever expanded.
LetturaFattura LeggiFatturaXml(const QByteArray &xml);

// The content of a signed envelope (.p7m, CMS SignedData), DER or base64.
// The signature is not checked. On failure the content is empty and `errore`
// says why.
QByteArray SbustaP7m(const QByteArray &busta, QString &errore);

// One invoice file as received, and what it holds.
struct FileFattura {
    QString nome;         // the file's name, or the member's within a zip
    QByteArray originale; // as received, to be kept once applied
    QList<Fattura> fatture;
    QString errore; // a whole message naming the file
};

// Largest file taken: the biggest invoices are a few megabytes.
inline constexpr qint64 DIMENSIONE_MASSIMA_FATTURA = 64 * 1024 * 1024;

// A file chosen by the user: .xml, .p7m (DER or base64) or a .zip of those.
QList<FileFattura> ApriFileFattura(const QString &percorso);
// The same on bytes already read, with the name that tells their kind.
QList<FileFattura> LeggiFileFattura(const QString &nome, const QByteArray &byte);
