#include "movements/GrigliaGiornale.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

using namespace Qt::StringLiterals;

QTableWidget *GrigliaGiornale(QWidget *genitore, const QString &nome, const QString &descrizione,
                              const QStringList &intestazioni) {
    auto *griglia = new QTableWidget(0, int(intestazioni.size()), genitore);
    griglia->setObjectName(nome);
    griglia->setAccessibleName(descrizione);
    griglia->setHorizontalHeaderLabels(intestazioni);
    griglia->setEditTriggers(QAbstractItemView::NoEditTriggers);
    griglia->setSelectionBehavior(QAbstractItemView::SelectRows);
    griglia->verticalHeader()->hide();
    griglia->horizontalHeader()->setStretchLastSection(true);
    return griglia;
}

void MettiRigaGiornale(QTableWidget *griglia, int riga, const QStringList &celle,
                       const QList<int> &aDestra) {
    for (int c = 0; c < celle.size(); ++c) {
        auto *cella = new QTableWidgetItem(celle[c]);
        if (aDestra.contains(c)) cella->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        griglia->setItem(riga, c, cella);
    }
}

QLabel *RigaAvvisoGiornale(QWidget *genitore) {
    auto *riga = new QLabel(genitore);
    riga->setObjectName(u"lblAvviso"_s);
    riga->setTextFormat(Qt::PlainText);
    riga->hide();
    return riga;
}

void MostraAvvisoGiornale(QLabel *riga, const QString &avviso) {
    riga->setText(avviso);
    riga->setAccessibleName(avviso);
    riga->setVisible(!avviso.isEmpty());
}

QString AvvisoRigheDanneggiate(qint64 danneggiate) {
    if (danneggiate <= 0) return {};
    if (danneggiate == 1) return u"Attenzione: 1 riga danneggiata del giornale è stata saltata."_s;
    return u"Attenzione: "_s + QString::number(danneggiate) +
           u" righe danneggiate del giornale sono state saltate."_s;
}
