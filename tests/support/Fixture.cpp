#include "Fixture.h"

#include "archive/CartellaProgramma.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

CartellaDiProva::CartellaDiProva() {
    ImpostaCartellaProgramma(m_cartella.path());
}

CartellaDiProva::~CartellaDiProva() {
    ImpostaCartellaProgramma(QString());
}

QString CartellaDiProva::percorso(const QString &nome) const {
    return nome.isEmpty() ? m_cartella.path() : QDir(m_cartella.path()).filePath(nome);
}

QByteArray CartellaDiProva::leggiArchivio() const {
    QFile file(archivio());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void CartellaDiProva::scriviArchivio(const QByteArray &contenuto) const {
    QFile file(archivio());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(contenuto);
}

TScheda SchedaDiProva(std::initializer_list<std::pair<Campo, QString>> campi) {
    TScheda scheda;
    for (const auto &[campo, testo] : campi)
        scheda.impostaTesto(campo, testo);
    return scheda;
}

TScheda SchedaNumero(int n) {
    const QString numero = QString::number(n);
    return SchedaDiProva({{Campo::Codice, QStringLiteral("COD") + numero},
                          {Campo::Costo, numero + QStringLiteral(",50")},
                          {Campo::Nome, QStringLiteral("Prodotto ") + numero},
                          {Campo::Giacenza, numero},
                          {Campo::Avviso, QStringLiteral("1")},
                          {Campo::Tipologia, QStringLiteral("Ferramenta")},
                          {Campo::Pagato, n % 2 ? QStringLiteral("Sì") : QStringLiteral("No")}});
}

QByteArray ArchivioDi(std::initializer_list<TScheda> schede) {
    QByteArray byte;
    for (const auto &s : schede)
        byte.append(reinterpret_cast<const char *>(s.byte.data()), TScheda::DIMENSIONE);
    return byte;
}

QList<CasoImporto> TabellaImporti() {
    return {{"vuoto", QString(), QStringLiteral("0,00")},
            {"spazi", QStringLiteral("   "), QStringLiteral("0,00")},
            {"virgola", QStringLiteral(","), QStringLiteral("0,00")},
            {"7", QStringLiteral("7"), QStringLiteral("7,00")},
            {"007", QStringLiteral("007"), QStringLiteral("7,00")},
            {"12,5", QStringLiteral("12,5"), QStringLiteral("12,50")},
            {"12,34", QStringLiteral("12,34"), QStringLiteral("12,34")},
            {"12,345", QStringLiteral("12,345"), QStringLiteral("12,345")},
            {"0,123456", QStringLiteral("0,123456"), QStringLiteral("0,1235")},
            {"1,99999", QStringLiteral("1,99999"), QStringLiteral("2,00")},
            {",5", QStringLiteral(",5"), QStringLiteral("0,50")},
            {"5,", QStringLiteral("5,"), QStringLiteral("5,00")},
            {"1,2,3", QStringLiteral("1,2,3"), QStringLiteral("0,00")},
            {"dodici cifre", QStringLiteral("999999999999"), QStringLiteral("999999999999,00")}};
}

QString TestoDelPdf(const QString &percorso) {
    QProcess lettore;
    lettore.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), percorso, QStringLiteral("-")});
    if (!lettore.waitForFinished(60000) || lettore.exitCode() != 0) return {};
    return QString::fromUtf8(lettore.readAllStandardOutput());
}

QByteArray Leggi(const QString &percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Scrivi(const QString &percorso, const QByteArray &byte) {
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(byte), byte.size());
}

void RispondiNoAlProssimoMessaggio(QString &mostrato, Qt::TextFormat &formato) {
    QTimer::singleShot(0, [&mostrato, &formato] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        formato = box->textFormat();
        mostrato = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        box->done(QMessageBox::No);
    });
}

bool FinitoEntro(QProcess &figlio, int millisecondi) {
    if (figlio.waitForFinished(millisecondi)) return true;
    figlio.kill();
    figlio.waitForFinished();
    return false;
}
