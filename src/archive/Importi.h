#pragma once

#include <QString>

// Money for a file a spreadsheet reads: two decimals and the decimal comma,
// no thousands point ("1490,00").
QString ImportoSemplice(double importo);
// Money as the windows added to the program show it: two decimals, a
// thousands point and the decimal comma ("1.490,00"); files for spreadsheets
// keep plain numbers instead.
QString ImportoConMigliaia(double importo);
// The same after the euro sign: "€ 827.810,24".
QString ImportoInEuro(double importo);
