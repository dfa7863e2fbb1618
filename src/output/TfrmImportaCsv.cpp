#include "output/TfrmImportaCsv.h"

#include "archive/Archivio.h"
#include "output/CsvMagazzino.h"
#include "platform/Dialoghi.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using Piattaforma::dialoghi;

namespace {

// The rows of the file: its record number, its state, then the card's fields.
class ModelloAnteprima : public QAbstractTableModel {
  public:
    ModelloAnteprima(const Importazione &importazione, QObject *genitore)
        : QAbstractTableModel(genitore), m_importazione(importazione) {}

    int rowCount(const QModelIndex &genitore = {}) const override {
        return genitore.isValid() ? 0 : int(m_importazione.righe.size());
    }
    int columnCount(const QModelIndex &genitore = {}) const override {
        return genitore.isValid() ? 0 : COLONNE_CSV + 2;
    }
    QVariant data(const QModelIndex &indice, int ruolo) const override {
        if (!indice.isValid()) return {};
        const RigaImportata &riga = m_importazione.righe[std::size_t(indice.row())];
        if (ruolo == Qt::ForegroundRole)
            return riga.motivo.isEmpty() ? QVariant() : QBrush(QColor(0xA0, 0x1C, 0x1C));
        // The whole reason, when the column is too narrow for it.
        if (ruolo == Qt::ToolTipRole && indice.column() == 1) return riga.motivo;
        if (ruolo != Qt::DisplayRole) return {};
        switch (indice.column()) {
        case 0:
            return QString::number(riga.numero);
        case 1:
            return riga.motivo.isEmpty() ? u"da importare"_s : riga.motivo;
        default:
            return riga.campi.value(indice.column() - 2);
        }
    }
    QVariant headerData(int sezione, Qt::Orientation verso, int ruolo) const override {
        if (verso != Qt::Horizontal || ruolo != Qt::DisplayRole)
            return QAbstractTableModel::headerData(sezione, verso, ruolo);
        if (sezione == 0) return u"Riga"_s;
        if (sezione == 1) return u"Stato"_s;
        return ColonneCsv()[std::size_t(sezione - 2)].intestazione;
    }

  private:
    const Importazione &m_importazione;
};

} // namespace

TfrmImportaCsv::TfrmImportaCsv(QWidget *genitore, Importazione importazione,
                               const QString &nomeFile)
    : QDialog(genitore), m_importazione(std::move(importazione)) {
    setObjectName(u"frmImportaCsv"_s);
    setWindowTitle(u" Importa schede da CSV"_s);
    setAccessibleName(windowTitle().trimmed());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFixedSize(1000, 640);

    const qsizetype totale = qsizetype(m_importazione.righe.size());
    const qsizetype saltate = totale - m_importazione.valide;
    auto *lblRiepilogo = new QLabel(this);
    lblRiepilogo->setObjectName(u"lblRiepilogo"_s);
    lblRiepilogo->setWordWrap(true);
    lblRiepilogo->setText(u"File "_s + nomeFile + u": "_s + QString::number(totale) +
                          (totale == 1 ? u" riga, "_s : u" righe, "_s) +
                          QString::number(m_importazione.valide) + u" da importare e "_s +
                          QString::number(saltate) + u" da saltare."_s);
    lblRiepilogo->setAccessibleName(lblRiepilogo->text());
    QFont verdana(u"Verdana"_s);
    verdana.setPointSize(11);
    lblRiepilogo->setFont(verdana);

    QStringList note;
    if (!m_importazione.ignorate.isEmpty())
        note << u"Colonne ignorate: "_s + m_importazione.ignorate.join(u", "_s) + u'.';
    if (m_importazione.virgoletteAperte)
        note << u"Attenzione: nel file ci sono virgolette non chiuse; l'ultimo campo arriva "
                "fino alla fine del file."_s;
    auto *lblNote = new QLabel(note.join(u'\n'), this);
    lblNote->setObjectName(u"lblNote"_s);
    lblNote->setWordWrap(true);
    lblNote->setAccessibleName(lblNote->text());
    lblNote->setVisible(!note.isEmpty());

    m_grdAnteprima = new QTableView(this);
    m_grdAnteprima->setObjectName(u"grdAnteprima"_s);
    m_grdAnteprima->setAccessibleName(u"Righe del file"_s);
    m_grdAnteprima->setModel(new ModelloAnteprima(m_importazione, m_grdAnteprima));
    m_grdAnteprima->setAlternatingRowColors(true);
    m_grdAnteprima->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdAnteprima->setTabKeyNavigation(false);
    m_grdAnteprima->verticalHeader()->hide();
    m_grdAnteprima->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grdAnteprima->verticalHeader()->setDefaultSectionSize(21);
    m_grdAnteprima->setColumnWidth(0, 50);
    m_grdAnteprima->setColumnWidth(1, 340);
    for (int c = 2; c < COLONNE_CSV + 2; ++c)
        m_grdAnteprima->setColumnWidth(c, 160);

    auto *btnAnnulla = new QPushButton(u"Annulla"_s, this);
    btnAnnulla->setObjectName(u"btnAnnulla"_s);
    btnAnnulla->setAutoDefault(true);
    m_btnImporta = new QPushButton(u"Importa"_s, this);
    m_btnImporta->setObjectName(u"btnImporta"_s);
    m_btnImporta->setAutoDefault(true);
    m_btnImporta->setEnabled(m_importazione.valide > 0);
    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch(1);
    pulsanti->addWidget(btnAnnulla);
    pulsanti->addWidget(m_btnImporta);

    auto *colonna = new QVBoxLayout(this);
    colonna->addWidget(lblRiepilogo);
    colonna->addWidget(lblNote);
    colonna->addWidget(m_grdAnteprima, 1);
    colonna->addLayout(pulsanti);

    setTabOrder(m_grdAnteprima, btnAnnulla);
    setTabOrder(btnAnnulla, m_btnImporta);
    m_grdAnteprima->setFocus();

    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnImporta, &QPushButton::clicked, this, &TfrmImportaCsv::btnImportaClick);
}

TfrmImportaCsv::~TfrmImportaCsv() = default;

void TfrmImportaCsv::btnImportaClick() {
    std::vector<const RigaImportata *> valide;
    valide.reserve(std::size_t(m_importazione.valide));
    for (const RigaImportata &riga : m_importazione.righe)
        if (riga.motivo.isEmpty()) valide.push_back(&riga);

    Archivio archivio;
    const qint64 prima = archivio.ApriArchivio()
                             ? archivio.accodaTutte(qint64(valide.size()),
                                                    [&valide](qint64 i, TScheda &scheda) {
                                                        scheda =
                                                            SchedaDaRiga(*valide[std::size_t(i)]);
                                                    })
                             : -1;
    archivio.chiudi();
    if (prima < 0) {
        dialoghi().messaggioSemplice(this, MessaggioAccessoArchivio() + u"\r\n\r\n"_s +
                                               u"Nessuna scheda è stata aggiunta."_s);
        return;
    }
    m_prima = prima;
    const qsizetype saltate = qsizetype(m_importazione.righe.size()) - qsizetype(valide.size());
    dialoghi().messaggioSemplice(
        this, u"Schede aggiunte all'archivio: "_s + QString::number(valide.size()) +
                  u".\r\nRighe saltate: "_s + QString::number(saltate) + u'.');
    accept();
}
