#pragma once

// Cards with realistic texts for the benchmarks, the same on every run.

#include "archive/TScheda.h"

#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <array>
#include <functional>
#include <span>
#include <vector>

namespace SchedeGenerate {

inline const char *const NOMI[] = {
    "Vite a legno",         "Bullone esagonale", "Tassello in nylon",   "Rondella piana",
    "Chiodo a testa larga", "Staffa angolare",   "Cerniera per mobili", "Guarnizione in gomma",
    "Dado autobloccante",   "Colla vinilica"};
inline const char *const DITTE[] = {"Ferramenta Rossi S.r.l.", "Bianchi & Figli",
                                    "Utensileria Verdi", "Idraulica Neri S.p.A.",
                                    "Colorificio Gallo"};
inline const char *const CATEGORIE[] = {"Ferramenta", "Idraulica", "Elettricità", "Vernici",
                                        "Giardinaggio"};

using Campi = std::array<QString, NUMERO_CAMPI>;

// The texts of card n. Given `note`, each card's notes are picked from it;
// otherwise every card has the same notes.
inline Campi CampiRealistici(qint64 n, QRandomGenerator &caso,
                             std::span<const char *const> note = {}) {
    Campi f;
    auto scegli = [&](std::span<const char *const> elenco) {
        return QString::fromUtf8(elenco[caso.bounded(int(elenco.size()))]);
    };
    f[int(Campo::Codice)] = QStringLiteral("ART-%1").arg(n, 7, 10, QLatin1Char('0'));
    f[int(Campo::Costo)] = QStringLiteral("%1,%2")
                               .arg(caso.bounded(200))
                               .arg(caso.bounded(100), 2, 10, QLatin1Char('0'));
    f[int(Campo::Nome)] = scegli(NOMI) + QStringLiteral(" %1 mm").arg(caso.bounded(2, 120));
    f[int(Campo::Giacenza)] = QString::number(caso.bounded(500));
    f[int(Campo::Avviso)] = QString::number(caso.bounded(20));
    f[int(Campo::UM)] = QStringLiteral("Scatola da 100 pezzi");
    f[int(Campo::Tipologia)] = scegli(CATEGORIE);
    f[int(Campo::Caratteristiche)] =
        QStringLiteral("Acciaio zincato, uso interno ed esterno, confezione in cartone riciclato "
                       "con etichetta del lotto");
    f[int(Campo::Collocazione)] = QStringLiteral("Scaffale %1, ripiano %2")
                                      .arg(QChar(u'A' + caso.bounded(8)))
                                      .arg(caso.bounded(1, 6));
    f[int(Campo::Ditta)] = scegli(DITTE);
    f[int(Campo::Agente)] = QStringLiteral("Mario Esposito");
    f[int(Campo::Recapito)] = QStringLiteral("+39 02 %1").arg(caso.bounded(1000000, 9999999));
    f[int(Campo::Documento)] = QStringLiteral("Fattura n. %1/2026").arg(caso.bounded(1, 900));
    f[int(Campo::Pagamento)] = QStringLiteral("Bonifico a 30 giorni");
    f[int(Campo::DataSca)] = QStringLiteral("%1/06/2027").arg(caso.bounded(10, 28));
    f[int(Campo::Note)] =
        note.empty() ? QStringLiteral("Ordinare con anticipo nei mesi estivi.") : scegli(note);
    f[int(Campo::Prezzo)] = QStringLiteral("%1,90").arg(caso.bounded(1, 400));
    f[int(Campo::Pagato)] = caso.bounded(2) ? QStringLiteral("Sì") : QStringLiteral("No");
    return f;
}

// Writes an archive of n such cards in blocks, handing each card's texts to
// `ogni` as well when given.
inline void GeneraArchivio(const QString &percorso, qint64 n,
                           std::span<const char *const> note = {},
                           const std::function<void(const Campi &)> &ogni = {}) {
    QFile file(percorso);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QRandomGenerator caso(42);
    std::vector<TScheda> blocco;
    blocco.reserve(1024);
    for (qint64 i = 1; i <= n; ++i) {
        const Campi campi = CampiRealistici(i, caso, note);
        TScheda s;
        for (int k = 0; k < NUMERO_CAMPI; ++k)
            s.impostaTesto(Campo(k), campi[k]);
        blocco.push_back(s);
        if (ogni) ogni(campi);
        if (blocco.size() == 1024 || i == n) {
            file.write(reinterpret_cast<const char *>(blocco.data()),
                       qint64(blocco.size()) * TScheda::DIMENSIONE);
            blocco.clear();
        }
    }
}

} // namespace SchedeGenerate
