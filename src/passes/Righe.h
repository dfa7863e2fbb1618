#pragma once

#include "archive/TScheda.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QWidget;
class TfrxReport;

// What the four list windows share: lines of fixed-width text built from the
// cards, kept with the position of the card each was made from, in the lists'
// own order, searched by find next and printed through the list template.
//
// Lines are kept as the archive's Windows-1252 bytes: the cards' fields go
// into them unchanged, and "€" has a byte too. They are decoded only when
// shown or printed.

// The bytes of a field as stored, trimmed of blanks and control characters.
std::string_view CampoGrezzo(const TScheda &scheda, Campo campo);

// Fitting a field to a column: trimmed, padded with blanks, cut to n.
QString AdattaCampo(const QString &testo, int larghezza);

// Lower case of a Windows-1252 byte: only A-Z change.
unsigned char MinuscolaByte(unsigned char c);
// The text, lower-cased the same way, in Windows-1252 bytes; false when some
// character has no byte (such a text can never be found in a card).
bool ChiaveMinuscola(const QString &testo, std::string &chiave);
// Whether `chiave`, already lower-cased, occurs in `testo` lower-cased.
bool ContieneMinuscolo(std::string_view testo, std::string_view chiave);

// A column of a line: a fixed text, or a field fitted to a width (0: the
// field only trimmed, as the last column of a line is).
struct Colonna {
    QStringView fisso;
    Campo campo = Campo::Codice;
    int larghezza = 0;
};

class FormatoRiga {
  public:
    FormatoRiga(std::initializer_list<Colonna> colonne);
    // Builds the line of a card into `riga`; `coda` goes after the last column.
    void costruisci(const TScheda &scheda, std::string &riga, std::string_view coda = {}) const;
    QString testo(const TScheda &scheda) const;
    // The fields its lines show.
    std::vector<Campo> campi() const;

  private:
    struct Pezzo {
        QByteArray fisso;
        Campo campo;
        int larghezza;
    };
    std::vector<Pezzo> m_pezzi;
};

// The search and under-stock line, the unpaid line, and the inventory line
// (which ends with "  Valore: € " and takes the value as its tail).
const FormatoRiga &FormatoTrova();
const FormatoRiga &FormatoDaSaldare();
const FormatoRiga &FormatoInventario();

// The lines of a list, each with the record position it was built from.
// Their text lives in large shared blocks, so a million lines cost little
// more than their characters.
class Righe {
  public:
    Righe() = default;
    Righe(Righe &&) noexcept = default;
    Righe &operator=(Righe &&) noexcept = default;

    void aggiungi(std::string_view riga, qint64 posizione);
    void aggiungi(const QString &riga, qint64 posizione);
    // The lines of `altre` after these, their text not copied.
    void accoda(Righe &&altre);
    qsizetype size() const { return qsizetype(m_voci.size()); }
    bool isEmpty() const { return m_voci.empty(); }
    std::string_view byte(qsizetype i) const {
        return {m_voci[std::size_t(i)].testo, std::size_t(m_voci[std::size_t(i)].lunghezza)};
    }
    QString testo(qsizetype i) const;
    qint64 posizione(qsizetype i) const { return m_voci[std::size_t(i)].posizione; }
    QStringList testi() const;
    // Characters of the longest line.
    qsizetype lunghezzaMassima() const { return m_massima; }

    // The lists' order: whole text, a-z compared as A-Z, other characters by
    // their code, the shorter of two texts equal over its length first.
    // Lines that compare equal keep the archive's order.
    void ordina();
    // Back in the order of the cards' positions.
    void ordinaPerPosizione();
    void svuota();

  private:
    struct Voce {
        const char *testo;
        qint32 lunghezza;
        qint64 posizione;
    };
    std::vector<std::unique_ptr<char[]>> m_blocchi;
    std::size_t m_libero = 0;
    std::vector<Voce> m_voci;
    qsizetype m_massima = 0;
};

// True when line a comes before line b in the lists' order.
bool PrecedeRiga(std::string_view a, std::string_view b);

// Find next: from the selected line (-1 for none), the next line that holds
// the key. The key compared with the previous one decides whether the first
// line is tested at once. Returns the line to select: the found one, or the
// selection as it stands (the first line when there was none). `ultimaChiave`
// becomes the lower-cased key. The list must hold lines.
qsizetype TrovaSuccessiva(const Righe &righe, qsizetype selezionata, const QString &chiave,
                          QString &ultimaChiave);

// List printing: the title, every line and the extra lines into the list
// template, the memo and band heights from the number of lines, the pages
// prepared. StampaElenco then prints through the print dialog.
void PreparaStampaElenco(TfrxReport &report, const QString &titolo, const Righe &righe,
                         const QStringList &aggiunte = {});
void StampaElenco(TfrxReport &report, const QString &titolo, const Righe &righe,
                  const QStringList &aggiunte, QWidget *genitore);
