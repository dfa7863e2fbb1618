#include "orders/ModelloOrdini.h"

#include <QFont>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {
// A line's internal id is its group's index + 1; a group row's is 0.
constexpr quintptr RIGA_GRUPPO = 0;
} // namespace

ModelloOrdini::ModelloOrdini(QObject *genitore) : QAbstractItemModel(genitore) {}

void ModelloOrdini::imposta(std::vector<GruppoOrdine> gruppi) {
    beginResetModel();
    m_gruppi = std::move(gruppi);
    endResetModel();
    emit ordineCambiato();
}

void ModelloOrdini::modifica(const std::function<void(std::vector<GruppoOrdine> &)> &cambia) {
    cambia(m_gruppi);
    for (int g = 0; g < int(m_gruppi.size()); ++g)
        gruppoCambiato(g);
    if (m_gruppi.empty()) emit ordineCambiato();
}

void ModelloOrdini::impostaInOrdineNoto(bool noto) {
    m_inOrdineNoto = noto;
    for (int g = 0; g < int(m_gruppi.size()); ++g)
        gruppoCambiato(g);
}

int ModelloOrdini::gruppoDi(const QModelIndex &indice) const {
    if (!indice.isValid()) return -1;
    return indice.internalId() == RIGA_GRUPPO ? indice.row() : int(indice.internalId() - 1);
}

QModelIndex ModelloOrdini::index(int riga, int colonna, const QModelIndex &genitore) const {
    if (colonna < 0 || colonna >= COLONNE || riga < 0) return {};
    if (!genitore.isValid())
        return riga < int(m_gruppi.size()) ? createIndex(riga, colonna, RIGA_GRUPPO)
                                           : QModelIndex();
    if (genitore.internalId() != RIGA_GRUPPO) return {};
    const auto &gruppo = m_gruppi[std::size_t(genitore.row())];
    if (riga >= int(gruppo.righe.size())) return {};
    return createIndex(riga, colonna, quintptr(genitore.row()) + 1);
}

QModelIndex ModelloOrdini::parent(const QModelIndex &figlio) const {
    if (!figlio.isValid() || figlio.internalId() == RIGA_GRUPPO) return {};
    return createIndex(int(figlio.internalId() - 1), 0, RIGA_GRUPPO);
}

int ModelloOrdini::rowCount(const QModelIndex &genitore) const {
    if (!genitore.isValid()) return int(m_gruppi.size());
    if (genitore.internalId() != RIGA_GRUPPO || genitore.column() != 0) return 0;
    return int(m_gruppi[std::size_t(genitore.row())].righe.size());
}

int ModelloOrdini::columnCount(const QModelIndex &) const {
    return COLONNE;
}

QVariant ModelloOrdini::data(const QModelIndex &indice, int ruolo) const {
    if (!indice.isValid()) return {};
    const int colonna = indice.column();
    if (ruolo == Qt::TextAlignmentRole && colonna >= Giacenza)
        return int(Qt::AlignRight | Qt::AlignVCenter);

    if (indice.internalId() == RIGA_GRUPPO) {
        const GruppoOrdine &g = m_gruppi[std::size_t(indice.row())];
        if (ruolo == Qt::CheckStateRole && colonna == Codice)
            return g.incluso ? Qt::Checked : Qt::Unchecked;
        if (ruolo == Qt::FontRole) {
            QFont grassetto;
            grassetto.setBold(true);
            return grassetto;
        }
        if (ruolo != Qt::DisplayRole && ruolo != Qt::ToolTipRole) return {};
        switch (colonna) {
        case Codice:
            return g.nomeMostrato();
        case Nome:
            return g.agente.isEmpty() ? QString() : QString(u"Agente: "_s + g.agente);
        case Aspetto:
            return g.recapito.isEmpty() ? QString() : QString(u"Tel.: "_s + g.recapito);
        case Quantita:
            return QString(QString::number(g.righeInOrdine()) +
                           (g.righeInOrdine() == 1 ? u" riga"_s : u" righe"_s));
        case Importo:
            return QString(u"€ "_s + TestoEuro(g.totale()));
        default:
            return {};
        }
    }

    const GruppoOrdine &g = m_gruppi[indice.internalId() - 1];
    const RigaOrdine &r = g.righe[std::size_t(indice.row())];
    if (ruolo == Qt::CheckStateRole && colonna == Codice)
        return r.inclusa ? Qt::Checked : Qt::Unchecked;
    if (ruolo == Qt::EditRole && colonna == Quantita) return r.quantita;
    if (ruolo != Qt::DisplayRole && ruolo != Qt::ToolTipRole) return {};
    switch (colonna) {
    case Codice:
        return r.codice;
    case Nome:
        return r.nome;
    case Aspetto:
        return r.aspetto;
    case Giacenza:
        return r.testoGiacenza;
    case Soglia:
        return r.testoAvviso;
    case InOrdine:
        if (!m_inOrdineNoto) return u"..."_s;
        return r.inOrdine == 0 ? QString() : QString::number(r.inOrdine);
    case Quantita:
        return QString::number(r.quantita);
    case Costo:
        return r.testoCosto;
    case Importo:
        return TestoImporto(r.importo());
    default:
        return {};
    }
}

bool ModelloOrdini::setData(const QModelIndex &indice, const QVariant &valore, int ruolo) {
    if (!indice.isValid()) return false;
    const bool gruppo = indice.internalId() == RIGA_GRUPPO;
    const int g = gruppoDi(indice);
    GruppoOrdine &gr = m_gruppi[std::size_t(g)];
    if (ruolo == Qt::CheckStateRole && indice.column() == Codice) {
        const bool spuntato = Qt::CheckState(valore.toInt()) == Qt::Checked;
        if (gruppo)
            gr.incluso = spuntato;
        else {
            gr.righe[std::size_t(indice.row())].inclusa = spuntato;
            gr.righe[std::size_t(indice.row())].scelta = true;
        }
        gruppoCambiato(g);
        return true;
    }
    if (!gruppo && ruolo == Qt::EditRole && indice.column() == Quantita) {
        bool letto = false;
        const qint64 q = valore.toLongLong(&letto);
        if (!letto) return false;
        gr.righe[std::size_t(indice.row())].quantita = std::clamp<qint64>(q, 1, QUANTITA_MASSIMA);
        gr.righe[std::size_t(indice.row())].scelta = true;
        gruppoCambiato(g);
        return true;
    }
    return false;
}

void ModelloOrdini::gruppoCambiato(int gruppo) {
    const QModelIndex testa = index(gruppo, 0);
    emit dataChanged(testa, index(gruppo, COLONNE - 1));
    const int righe = rowCount(testa);
    if (righe > 0) emit dataChanged(index(0, 0, testa), index(righe - 1, COLONNE - 1, testa));
    emit ordineCambiato();
}

Qt::ItemFlags ModelloOrdini::flags(const QModelIndex &indice) const {
    if (!indice.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (indice.column() == Codice) f |= Qt::ItemIsUserCheckable;
    if (indice.internalId() != RIGA_GRUPPO && indice.column() == Quantita) f |= Qt::ItemIsEditable;
    return f;
}

QVariant ModelloOrdini::headerData(int sezione, Qt::Orientation orientamento, int ruolo) const {
    if (orientamento != Qt::Horizontal || ruolo != Qt::DisplayRole) return {};
    static const char16_t *const TITOLI[COLONNE] = {
        u"Fornitore / Codice", u"Nome",        u"Aspetto", u"Giacenza", u"Soglia",
        u"In ordine",          u"Da ordinare", u"Costo €", u"Importo €"};
    if (sezione < 0 || sezione >= COLONNE) return {};
    return QString::fromUtf16(TITOLI[sezione]);
}

QWidget *DelegatoQuantita::createEditor(QWidget *genitore, const QStyleOptionViewItem &,
                                        const QModelIndex &) const {
    auto *casella = new QSpinBox(genitore);
    casella->setObjectName(u"txtQuantita"_s);
    casella->setAccessibleName(u"Quantità da ordinare"_s);
    casella->setRange(1, int(QUANTITA_MASSIMA));
    casella->setFrame(false);
    return casella;
}
