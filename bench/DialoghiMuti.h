#pragma once

// The dialogs of a benchmark: nothing waits on a user. Messages are answered
// at once, plain ones printed (they tell of a failure); questions get Yes
// unless `domande` says otherwise; file choosers are cancelled, windows and
// the print dialog closed, the desktop's open verb accepted.

#include "platform/Dialoghi.h"

#include <QString>
#include <cstdio>
#include <functional>

class DialoghiMuti final : public Piattaforma::Dialoghi {
  public:
    DialoghiMuti() { Piattaforma::impostaDialoghi(this); }
    explicit DialoghiMuti(std::function<Piattaforma::Risposta(const QString &)> domande)
        : DialoghiMuti() {
        m_domande = std::move(domande);
    }
    ~DialoghiMuti() override { Piattaforma::impostaDialoghi(nullptr); }
    DialoghiMuti(const DialoghiMuti &) = delete;
    DialoghiMuti &operator=(const DialoghiMuti &) = delete;

    Piattaforma::Risposta messaggio(QWidget *, Piattaforma::TipoMessaggio,
                                    const QString &) override {
        return Piattaforma::Risposta::Ok;
    }
    void messaggioSemplice(QWidget *, const QString &testo) override {
        std::printf("  messaggio: %s\n", qPrintable(testo));
    }
    Piattaforma::Risposta domanda(QWidget *, const QString &testo) override {
        return m_domande ? m_domande(testo) : Piattaforma::Risposta::Si;
    }
    Piattaforma::Risposta domandaConAnnulla(QWidget *, const QString &) override {
        return Piattaforma::Risposta::No;
    }
    int esegui(QDialog *) override { return 0; }
    bool dialogoStampa(QWidget *, QPrinter *) override { return false; }
    QString scegliFileDaAprire(QWidget *, const QString &, const QStringList &,
                               const QString &) override {
        return {};
    }
    QString scegliFileDaSalvare(QWidget *, const QString &, const QStringList &,
                                const QString &) override {
        return {};
    }
    QString scegliCartella(QWidget *, const QString &, const QString &) override { return {}; }
    bool apriConDesktop(const QUrl &) override { return true; }

  private:
    std::function<Piattaforma::Risposta(const QString &)> m_domande;
};
