#pragma once

#include "platform/Dialoghi.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>

// Scripted stand-in for the dialogs: records what was shown and answers from a
// queue. A modal window is shown modal, as the real one would be, and handed to
// the next script in line, which plays the user's part up to the step that
// closes it: a window still open after that step fails the test. A window the
// script only looks at, or one with no script, is cancelled as by the user.
class DialoghiFinti final : public Piattaforma::Dialoghi {
  public:
    enum class Genere { Avviso, Informazione, Errore, Semplice, Domanda, DomandaConAnnulla };
    struct Mostrato {
        Genere genere;
        QString testo;
    };

    DialoghiFinti();
    ~DialoghiFinti() override;

    void rispondi(Piattaforma::Risposta risposta) { m_risposte.enqueue(risposta); }
    void allaProssimaFinestra(std::function<void(QDialog *)> copione) {
        m_copioni.enqueue({std::move(copione), true});
    }
    void guardaProssimaFinestra(std::function<void(QDialog *)> copione) {
        m_copioni.enqueue({std::move(copione), false});
    }
    // Captions of the windows a script left open though it should have closed them.
    const QStringList &rimasteAperte() const { return m_rimasteAperte; }
    void allaProssimaStampa(bool stampa) { m_stampe.enqueue(stampa); }
    // The next file chooser answers this path (empty: the user cancels).
    void allaProssimaScelta(const QString &percorso) { m_scelte.enqueue(percorso); }
    struct SceltaFile {
        QString titolo;
        QStringList filtri;
        // The preset name, for a save chooser; the starting folder, for a folder
        // chooser and for an open chooser (empty: the program folder).
        QString nome;
    };
    const QList<SceltaFile> &sceltePresentate() const { return m_sceltePresentate; }
    // Everything handed to the desktop's open verb.
    const QList<QUrl> &aperti() const { return m_aperti; }
    // The desktop refuses every open from now on (no program for the type).
    void desktopRifiuta(bool rifiuta = true) { m_desktopRifiuta = rifiuta; }
    // An accepted print goes to this PDF file (by default one in a folder of
    // the stand-in's own), since a test machine may have no printer.
    void stampaSuFile(const QString &percorso) { m_fileStampa = percorso; }
    QString fileStampa() const;
    // Document name of each print job offered to the print dialog.
    const QStringList &lavoriStampa() const { return m_lavori; }

    const QList<Mostrato> &mostrati() const { return m_mostrati; }
    QStringList testi() const;
    QString ultimo() const { return m_mostrati.isEmpty() ? QString() : m_mostrati.last().testo; }
    void azzera() { m_mostrati.clear(); }
    int finestreEseguite() const { return m_finestre; }
    int stampeRichieste() const { return m_dialoghiStampa; }

    Piattaforma::Risposta messaggio(QWidget *, Piattaforma::TipoMessaggio tipo,
                                    const QString &testo) override;
    void messaggioSemplice(QWidget *, const QString &testo) override;
    Piattaforma::Risposta domanda(QWidget *, const QString &testo) override;
    // Unanswered, it goes on without saving (No), as leaving a card always did.
    Piattaforma::Risposta domandaConAnnulla(QWidget *, const QString &testo) override;
    int esegui(QDialog *finestra) override;
    bool dialogoStampa(QWidget *, QPrinter *) override;
    QString scegliFileDaAprire(QWidget *, const QString &titolo, const QStringList &filtri,
                               const QString &cartella) override;
    QString scegliFileDaSalvare(QWidget *, const QString &titolo, const QStringList &filtri,
                                const QString &nome) override;
    QString scegliCartella(QWidget *, const QString &titolo, const QString &iniziale) override;
    bool apriConDesktop(const QUrl &indirizzo) override {
        m_aperti << indirizzo;
        return !m_desktopRifiuta;
    }

  private:
    QList<Mostrato> m_mostrati;
    QQueue<Piattaforma::Risposta> m_risposte;
    struct Copione {
        std::function<void(QDialog *)> azione;
        bool chiude;
    };
    QQueue<Copione> m_copioni;
    QStringList m_rimasteAperte;
    QQueue<bool> m_stampe;
    QQueue<QString> m_scelte;
    QList<SceltaFile> m_sceltePresentate;
    QList<QUrl> m_aperti;
    QStringList m_lavori;
    QString m_fileStampa;
    QTemporaryDir m_cartellaStampe;
    bool m_desktopRifiuta = false;
    int m_finestre = 0;
    int m_dialoghiStampa = 0;
};
