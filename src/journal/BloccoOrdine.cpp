#include "journal/BloccoOrdine.h"

#include <optional>
#include <utility>

namespace {

struct Segno {
    QByteArray chiave;
    qint64 n = 0;
    qint64 quante = 0;
};

std::optional<Segno> leggiSegno(const QByteArray &dati) {
    if (!dati.endsWith('.')) return std::nullopt;
    const qsizetype spazio = dati.indexOf(' ');
    const qsizetype barra = dati.indexOf('/', spazio + 1);
    if (spazio <= 0 || barra < 0) return std::nullopt;
    Segno s;
    s.chiave = dati.first(spazio);
    bool ok1 = false, ok2 = false;
    s.n = dati.mid(spazio + 1, barra - spazio - 1).toLongLong(&ok1);
    s.quante = dati.mid(barra + 1, dati.size() - barra - 2).toLongLong(&ok2);
    if (!ok1 || !ok2 || s.n < 1 || s.n > s.quante) return std::nullopt;
    return s;
}

} // namespace

QByteArray SegnoOrdine(const QByteArray &chiave, qsizetype n, qsizetype quante) {
    return chiave + ' ' + QByteArray::number(n) + '/' + QByteArray::number(quante) + '.';
}

QList<Movimento> BloccoOrdine::aggiungi(const Movimento &m) {
    if (m.tipo != TipoMovimento::Ordine || m.dati.isEmpty()) {
        // The lines of an order are written together: anything else between
        // them means its end never reached the journal.
        m_righe.clear();
        return {m};
    }
    const std::optional<Segno> segno = leggiSegno(m.dati);
    // A mark that does not read is a damaged order: it counts for nothing.
    if (!segno) {
        m_righe.clear();
        return {};
    }
    if (segno->n == 1) {
        m_righe.clear();
        m_chiave = segno->chiave;
        m_quante = segno->quante;
    } else if (m_righe.isEmpty() || segno->chiave != m_chiave || segno->quante != m_quante ||
               segno->n != m_righe.size() + 1) {
        m_righe.clear();
        return {};
    }
    m_righe << m;
    if (m_righe.size() < m_quante) return {};
    return std::exchange(m_righe, {});
}
