#include "widgets/TfrmCalendario.h"

#include "archive/RegoleNumeri.h"
#include "widgets/Controlli.h"

#include <QCalendarWidget>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmCalendario::TfrmCalendario(QWidget *proprietario, QLineEdit *dataScheda)
    : QDialog(proprietario, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_dataScheda(dataScheda) {
    ImpostaFormati();
    setObjectName(QStringLiteral("TfrmCalendario"));
    setWindowTitle(QStringLiteral(" Importazione data"));
    setFixedSize(380, 330);

    QFont normale(QStringLiteral("Verdana"));
    normale.setPointSize(11);
    lblCampo001 = new QLabel(QStringLiteral("Importare una data:"), this);
    lblCampo001->setObjectName(QStringLiteral("lblCampo001"));
    lblCampo001->setFont(normale);
    lblCampo001->setGeometry(16, 10, 340, 26);

    calAppuntamenti = new QCalendarWidget(this);
    calAppuntamenti->setObjectName(QStringLiteral("calAppuntamenti"));
    calAppuntamenti->setGeometry(16, 40, 348, 230);
    calAppuntamenti->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    calAppuntamenti->setFirstDayOfWeek(Qt::Monday);
    calAppuntamenti->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // The box's own date when it holds one, today otherwise.
    const QDate nellaCasella =
        dataScheda ? QDate::fromString(Rifila(dataScheda->text()), QStringLiteral("dd/MM/yyyy"))
                   : QDate();
    calAppuntamenti->setSelectedDate(nellaCasella.isValid() ? nellaCasella : QDate::currentDate());
    calAppuntamenti->setAccessibleName(QStringLiteral("Importare una data"));
    lblCampo001->setBuddy(calAppuntamenti);

    btnImportaData = new QPushButton(QStringLiteral("Importa"), this);
    btnImportaData->setObjectName(QStringLiteral("btnImportaData"));
    btnImportaData->setGeometry(110, 284, 120, 32);
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));
    btnAnnulla->setGeometry(244, 284, 120, 32);
    btnImportaData->setAutoDefault(false);
    btnAnnulla->setAutoDefault(false);

    lblMemory = new QLabel(QStringLiteral("lblMemory"), this);
    lblMemory->setObjectName(QStringLiteral("lblMemory"));
    lblMemory->hide();

    setTabOrder(calAppuntamenti, btnImportaData);
    setTabOrder(btnImportaData, btnAnnulla);
    calAppuntamenti->setFocus();

    InvioPremePulsante(this);
    connect(btnImportaData, &QPushButton::clicked, this, &TfrmCalendario::btnImportaDataClick);
    connect(btnAnnulla, &QPushButton::clicked, this, &TfrmCalendario::btnAnnullaClick);
    // Enter or a double click on a day imports it, as the button does.
    connect(calAppuntamenti, &QCalendarWidget::activated, this,
            &TfrmCalendario::btnImportaDataClick);
}

void TfrmCalendario::btnImportaDataClick() {
    if (lblMemory->text() != u"datasca") return;
    if (m_dataScheda) m_dataScheda->setText(FormattaData(calAppuntamenti->selectedDate()));
    accept();
}

void TfrmCalendario::btnAnnullaClick() {
    reject();
}
