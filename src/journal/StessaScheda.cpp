#include "journal/StessaScheda.h"

#include <QFileInfo>

PercorsoScheda SeguiScheda(qint64 posizioneCaricata, qint64 segnoGiornale,
                           const QString &giornale) {
    PercorsoScheda percorso;
    percorso.posizione = posizioneCaricata;
    if (segnoGiornale < 0) return percorso;
    LeggiGiornale(
        giornale,
        [](QByteArrayView riga, char separatore) {
            const auto tipo = TipoDiRiga(riga, separatore);
            return tipo == TipoMovimento::Eliminazione || tipo == TipoMovimento::Spostamento;
        },
        [&](const Movimento &m, qint64 offset) {
            if (offset < segnoGiornale) return true;
            if (m.tipo == TipoMovimento::Eliminazione && m.posizione == percorso.posizione) {
                percorso.eliminata = true;
                return false;
            }
            bool ok = false;
            if (m.tipo == TipoMovimento::Spostamento &&
                m.dati.toLongLong(&ok) == percorso.posizione && ok)
                percorso.posizione = m.posizione;
            return true;
        });
    return percorso;
}

qint64 SegnoGiornale(const QString &giornale) {
    const QFileInfo info(giornale);
    if (!info.exists()) return 0;
    return info.isFile() ? info.size() : -1;
}

IdentitaScheda RiconosciScheda(qint64 posizione, const std::optional<TScheda> &suDisco,
                               qint64 posizioneCaricata, const TScheda &caricata,
                               qint64 segnoGiornale, const QString &giornale) {
    IdentitaScheda identita;
    identita.posizione = posizione;
    // The same bytes: nothing to ask, and no need to read the journal.
    if (suDisco && posizione == posizioneCaricata && suDisco->byte == caricata.byte)
        return identita;
    const PercorsoScheda percorso = SeguiScheda(posizioneCaricata, segnoGiornale, giornale);
    if (percorso.eliminata) {
        identita.esito = IdentitaScheda::Eliminata;
        return identita;
    }
    if (percorso.posizione != posizione) {
        identita.esito = IdentitaScheda::Spostata;
        identita.posizione = percorso.posizione;
        return identita;
    }
    if (!suDisco) {
        identita.esito = IdentitaScheda::Mancante;
        return identita;
    }
    if (suDisco->byte == caricata.byte) return identita;
    // Without a journal to tell (an older copy, a journal that is gone), a
    // card with neither the code nor the name is another one.
    if (suDisco->testo(Campo::Codice) != caricata.testo(Campo::Codice) &&
        suDisco->testo(Campo::Nome) != caricata.testo(Campo::Nome))
        identita.esito = IdentitaScheda::Altra;
    return identita;
}
