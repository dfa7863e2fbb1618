#include "access/FileIni.h"

#include <QList>

namespace Ini {

namespace {

bool vuoto(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView rifila(QByteArrayView testo) {
    qsizetype inizio = 0;
    qsizetype fine = testo.size();
    while (inizio < fine && vuoto(testo[inizio]))
        ++inizio;
    while (fine > inizio && vuoto(testo[fine - 1]))
        --fine;
    return testo.sliced(inizio, fine - inizio);
}

// Names compare with only A-Z and a-z taken as the same letter.
bool stessoNome(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A line's meaning: a section header, a key with its value, or anything else.
struct Riga {
    enum class Genere { Altro, Sezione, Chiave } genere = Genere::Altro;
    QByteArrayView nome;
    QByteArrayView valore;
};

Riga leggiRiga(QByteArrayView riga) {
    const QByteArrayView testo = rifila(riga);
    Riga r;
    if (testo.startsWith('[')) {
        const qsizetype chiusa = testo.indexOf(']');
        r.genere = Riga::Genere::Sezione;
        r.nome = rifila(testo.sliced(1, (chiusa < 0 ? testo.size() : chiusa) - 1));
        return r;
    }
    if (testo.startsWith(';')) return r;
    const qsizetype uguale = testo.indexOf('=');
    if (uguale < 0) return r;
    r.genere = Riga::Genere::Chiave;
    r.nome = rifila(testo.first(uguale));
    r.valore = rifila(testo.sliced(uguale + 1));
    return r;
}

QList<QByteArrayView> righe(const QByteArray &contenuto) {
    QList<QByteArrayView> elenco;
    qsizetype inizio = 0;
    while (inizio < contenuto.size()) {
        const qsizetype fine = contenuto.indexOf('\n', inizio);
        const qsizetype stop = fine < 0 ? contenuto.size() : fine;
        elenco << QByteArrayView(contenuto).sliced(inizio, stop - inizio);
        inizio = stop + 1;
    }
    return elenco;
}

} // namespace

QString LeggiValore(const QByteArray &contenuto, const QString &sezione, const QString &chiave) {
    const QByteArray nomeSezione = sezione.toLatin1();
    const QByteArray nomeChiave = chiave.toLatin1();
    bool dentro = false;
    for (const auto riga : righe(contenuto)) {
        const Riga r = leggiRiga(riga);
        if (r.genere == Riga::Genere::Sezione)
            dentro = stessoNome(r.nome, nomeSezione);
        else if (dentro && r.genere == Riga::Genere::Chiave && stessoNome(r.nome, nomeChiave))
            return QString::fromLatin1(r.valore);
    }
    return {};
}

QByteArray ScriviValore(const QByteArray &contenuto, const QString &sezione, const QString &chiave,
                        const QString &valore) {
    const QByteArray nomeSezione = sezione.toLatin1();
    const QByteArray nomeChiave = chiave.toLatin1();
    const QByteArray aCapo = contenuto.contains("\r\n") ? "\r\n" : "\n";
    const auto elenco = righe(contenuto);

    // Where the section starts, and where to put a missing key: after the
    // section's last key, or right after its header.
    qsizetype sezioneTrovata = -1;
    qsizetype dopo = -1;
    for (qsizetype i = 0; i < elenco.size(); ++i) {
        const Riga r = leggiRiga(elenco[i]);
        if (r.genere == Riga::Genere::Sezione) {
            if (sezioneTrovata >= 0) break;
            if (stessoNome(r.nome, nomeSezione)) sezioneTrovata = dopo = i;
        } else if (sezioneTrovata >= 0 && r.genere == Riga::Genere::Chiave) {
            if (stessoNome(r.nome, nomeChiave)) {
                // In place: the key keeps its spelling, the line its ending.
                QByteArray nuova = r.nome.toByteArray() + '=' + valore.toLatin1();
                if (elenco[i].endsWith('\r')) nuova += '\r';
                QByteArray risultato;
                for (qsizetype j = 0; j < elenco.size(); ++j) {
                    risultato += j == i ? QByteArrayView(nuova) : elenco[j];
                    if (j + 1 < elenco.size() || contenuto.endsWith('\n')) risultato += '\n';
                }
                return risultato;
            }
            dopo = i;
        }
    }

    const QByteArray rigaChiave = nomeChiave + '=' + valore.toLatin1() + aCapo;
    if (sezioneTrovata < 0) {
        QByteArray risultato = contenuto;
        if (!risultato.isEmpty() && !risultato.endsWith('\n')) risultato += aCapo;
        return risultato + '[' + nomeSezione + ']' + aCapo + rigaChiave;
    }
    QByteArray risultato;
    for (qsizetype j = 0; j < elenco.size(); ++j) {
        risultato += elenco[j];
        if (j + 1 < elenco.size() || contenuto.endsWith('\n'))
            risultato += '\n';
        else if (j == dopo)
            risultato += aCapo; // the section's last line ended the file
        if (j == dopo) risultato += rigaChiave;
    }
    return risultato;
}

} // namespace Ini
