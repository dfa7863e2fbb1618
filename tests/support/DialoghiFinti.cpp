#include "DialoghiFinti.h"

#include <QDialog>
#include <QEventLoop>
#include <QPrinter>
#include <QTest>

using Piattaforma::Risposta;

DialoghiFinti::DialoghiFinti() {
    Piattaforma::impostaDialoghi(this);
}

DialoghiFinti::~DialoghiFinti() {
    Piattaforma::impostaDialoghi(nullptr);
}

QStringList DialoghiFinti::testi() const {
    QStringList elenco;
    for (const auto &m : m_mostrati)
        elenco << m.testo;
    return elenco;
}

Risposta DialoghiFinti::messaggio(QWidget *, Piattaforma::TipoMessaggio tipo,
                                  const QString &testo) {
    const Genere genere = tipo == Piattaforma::TipoMessaggio::Avviso   ? Genere::Avviso
                          : tipo == Piattaforma::TipoMessaggio::Errore ? Genere::Errore
                                                                       : Genere::Informazione;
    m_mostrati.append({genere, testo});
    return m_risposte.isEmpty() ? Risposta::Ok : m_risposte.dequeue();
}

void DialoghiFinti::messaggioSemplice(QWidget *, const QString &testo) {
    m_mostrati.append({Genere::Semplice, testo});
}

Risposta DialoghiFinti::domanda(QWidget *, const QString &testo) {
    m_mostrati.append({Genere::Domanda, testo});
    return m_risposte.isEmpty() ? Risposta::Si : m_risposte.dequeue();
}

Risposta DialoghiFinti::domandaConAnnulla(QWidget *, const QString &testo) {
    m_mostrati.append({Genere::DomandaConAnnulla, testo});
    return m_risposte.isEmpty() ? Risposta::No : m_risposte.dequeue();
}

int DialoghiFinti::esegui(QDialog *finestra) {
    ++m_finestre;
    finestra->setResult(QDialog::Rejected);
    finestra->setWindowModality(Qt::ApplicationModal);
    finestra->show();
    if (!m_copioni.isEmpty()) {
        const Copione copione = m_copioni.dequeue();
        copione.azione(finestra);
        if (copione.chiude && finestra->isVisible()) {
            m_rimasteAperte << finestra->windowTitle();
            const QByteArray errore = "the window \"" + finestra->windowTitle().toUtf8() +
                                      "\" is still open after the step that should close it";
            QTest::qFail(errore.constData(), __FILE__, __LINE__);
        }
    }
    if (finestra->isVisible()) finestra->reject();
    return finestra->result();
}

QString DialoghiFinti::fileStampa() const {
    return m_fileStampa.isEmpty() ? m_cartellaStampe.filePath(QStringLiteral("stampa.pdf"))
                                  : m_fileStampa;
}

bool DialoghiFinti::dialogoStampa(QWidget *, QPrinter *stampante) {
    ++m_dialoghiStampa;
    m_lavori << stampante->docName();
    const bool stampa = m_stampe.isEmpty() ? false : m_stampe.dequeue();
    if (stampa) {
        stampante->setOutputFormat(QPrinter::PdfFormat);
        stampante->setOutputFileName(fileStampa());
    }
    return stampa;
}

QString DialoghiFinti::scegliFileDaAprire(QWidget *, const QString &titolo,
                                          const QStringList &filtri, const QString &cartella) {
    m_sceltePresentate.append({titolo, filtri, cartella});
    return m_scelte.isEmpty() ? QString() : m_scelte.dequeue();
}

QString DialoghiFinti::scegliCartella(QWidget *, const QString &titolo, const QString &iniziale) {
    m_sceltePresentate.append({titolo, {}, iniziale});
    return m_scelte.isEmpty() ? QString() : m_scelte.dequeue();
}

QString DialoghiFinti::scegliFileDaSalvare(QWidget *, const QString &titolo,
                                           const QStringList &filtri, const QString &nome) {
    m_sceltePresentate.append({titolo, filtri, nome});
    return m_scelte.isEmpty() ? QString() : m_scelte.dequeue();
}
