#pragma once

#include "orders/Ordini.h"

#include <QAbstractItemModel>
#include <QStyledItemDelegate>
#include <functional>

// The order window's tree: a row per supplier (ticked, with its agent,
// telephone and total), under it a row per card (ticked, quantity editable,
// the amount following it).
class ModelloOrdini : public QAbstractItemModel {
    Q_OBJECT
  public:
    enum Colonna { Codice, Nome, Aspetto, Giacenza, Soglia, InOrdine, Quantita, Costo, Importo };
    static constexpr int COLONNE = 9;

    explicit ModelloOrdini(QObject *genitore = nullptr);

    void imposta(std::vector<GruppoOrdine> gruppi);
    const std::vector<GruppoOrdine> &gruppi() const { return m_gruppi; }
    // Changes the groups in place (what is on order, for one) and shows them again.
    void modifica(const std::function<void(std::vector<GruppoOrdine> &)> &cambia);
    // Until what is on order has been read, its column shows that it is coming.
    void impostaInOrdineNoto(bool noto);
    // The group of a row, or -1.
    int gruppoDi(const QModelIndex &indice) const;

    QModelIndex index(int riga, int colonna, const QModelIndex &genitore = {}) const override;
    QModelIndex parent(const QModelIndex &figlio) const override;
    int rowCount(const QModelIndex &genitore = {}) const override;
    int columnCount(const QModelIndex &genitore = {}) const override;
    QVariant data(const QModelIndex &indice, int ruolo = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &indice, const QVariant &valore, int ruolo) override;
    Qt::ItemFlags flags(const QModelIndex &indice) const override;
    QVariant headerData(int sezione, Qt::Orientation orientamento,
                        int ruolo = Qt::DisplayRole) const override;

  signals:
    // A tick or a quantity changed: the totals are to be shown again.
    void ordineCambiato();

  private:
    void gruppoCambiato(int gruppo);

    std::vector<GruppoOrdine> m_gruppi;
    bool m_inOrdineNoto = true;
};

// The quantity is edited in a spin box from 1 to the largest quantity.
class DelegatoQuantita : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *genitore, const QStyleOptionViewItem &opzioni,
                          const QModelIndex &indice) const override;
};
