#pragma once

#include "journal/Giornale.h"
#include "storage/Deposito.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <functional>
#include <vector>

class QIODevice;

// Pieces in and out and their value at the unit cost of each movement. The
// stock a card starts with, or an imported list sets, is not goods received:
// it is counted apart.
struct Totali {
    qint64 entrate = 0;
    qint64 uscite = 0;
    double valoreEntrate = 0;
    double valoreUscite = 0;
    qint64 daSchede = 0; // new cards and imports, with their sign
    double valoreDaSchede = 0;
    void aggiungi(const Movimento &m);
    void aggiungi(const Movimento &m, double costo);
    // Takes back what aggiungi counted of the same movement.
    void togli(const Movimento &m, double costo);
    bool operator==(const Totali &) const = default;

  private:
    void conta(const Movimento &m, double costo, int segno);
};

// Every movement between two days (both included, by the date the line was
// written with), with totals per card, per category and per month. A
// movement undone by "Annulla ultimo movimento" within the period counts in
// neither direction, and neither does its undoing.
struct RiepilogoPeriodo {
    std::vector<qint64> righe;                           // offsets of the lines, in journal order
    QMap<std::pair<QString, QString>, Totali> perScheda; // code and name
    QMap<QString, Totali> perCategoria;
    QMap<QString, Totali> perMese; // "yyyy-MM"
    Totali totale;
    LetturaGiornale lettura;
};

RiepilogoPeriodo
RiepilogaPeriodo(const QDate &dal, const QDate &al, const QString &giornale = PercorsoGiornale(),
                 const std::function<void(qint64 letti, qint64 totale)> &progresso = {});

// The same on a storage: the folder's journal read in place as above, the
// server's lines streamed and counted by the same rule. `righe` then holds
// the lines' numbers in that storage (Deposito::rigaGiornale).
RiepilogoPeriodo
RiepilogaPeriodo(const QDate &dal, const QDate &al, Deposito &deposito,
                 const std::function<void(qint64 letti, qint64 totale)> &progresso = {});

// A value at cost as the program writes amounts: "1234,50".
QString Valore(double valore);

// The period as a CSV file a spreadsheet opens: the movements, then the
// totals per card and per category. False as soon as a write fails.
bool ScriviCsvPeriodo(QIODevice *destinazione, const QDate &dal, const QDate &al,
                      const RiepilogoPeriodo &riepilogo,
                      const QString &giornale = PercorsoGiornale());
bool ScriviCsvPeriodo(QIODevice *destinazione, const QDate &dal, const QDate &al,
                      const RiepilogoPeriodo &riepilogo, Deposito &deposito);

// The lines the summary counted, decoded, in journal order, read again in one
// pass over the storage; false when it could not be read or `visita` stopped.
bool VisitaRighePeriodo(const QDate &dal, const QDate &al, const RiepilogoPeriodo &riepilogo,
                        Deposito &deposito, const std::function<bool(const Movimento &)> &visita);
