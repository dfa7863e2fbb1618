#pragma once

#include <QString>
#include <QStringList>

// Who the shop is, as its orders and mails name it: kept in Negozio.txt in
// the program folder, beside the archive, so a backup or a copy of the
// folder takes it along.
struct DatiNegozio {
    QString nome;
    QString indirizzo;
    QString partitaIva;
    QString telefono;
    QString email;

    bool vuoti() const;
    // The lines that head an order and sign a mail: the name, the address,
    // "P. IVA ...", the phone and the e-mail, each only when given.
    QStringList righe() const;
    bool operator==(const DatiNegozio &) const = default;
};

QString PercorsoDatiNegozio();
// Empty data when the file is missing or cannot be read.
DatiNegozio LeggiDatiNegozio(const QString &percorso = PercorsoDatiNegozio());
// Replaces the file whole; false when it cannot be written.
bool ScriviDatiNegozio(const DatiNegozio &dati, const QString &percorso = PercorsoDatiNegozio());

// What is wrong with a partita IVA (11 digits with its check digit), empty
// when it is right or not given.
QString ErrorePartitaIva(const QString &partitaIva);
