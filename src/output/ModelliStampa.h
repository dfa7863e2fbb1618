#pragma once

class TfrxReport;

// The program's report templates, built in code: every window that prints
// builds its own copy, so a new window starts from the designed layout.

// List windows size the list memo at this many report units per line, and
// its band 10 units taller than the memo.
constexpr double PassoRigaElenco = 12.822;

// "Riepilogo dati", A4 landscape: title band with txtTitolo, master data band
// MasterData with the list memo txtRiepilogo, footer with the print date.
void CostruisciFrxReport(TfrxReport &report);

// "Scheda informativa", A4 portrait: the product card without photo (with a
// notes box) and with photo (picture view imgFoto).
void CostruisciRepScheda(TfrxReport &report);
void CostruisciRepFoto(TfrxReport &report);
