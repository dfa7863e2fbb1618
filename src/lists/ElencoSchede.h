#pragma once

#include "lists/FinestraElenco.h"

// The under-stock and unpaid windows: twins that fill their list from the
// archive as soon as they are shown and differ only in what they list, how
// the lines read, the banner and the print title.
class ElencoSchede : public FinestraElenco {
    Q_OBJECT
  public:
    void setVisible(bool visibile) override;

  protected:
    ElencoSchede(QWidget *genitore, const QString &nome, const QString &didascalia,
                 const QString &icona, const QString &titolo, const QString &nomeElenco);

    virtual EsitoElenco passata(const Avanza &avanza) const = 0;
    // What to tell the user about cards the pass had to leave out.
    virtual void segnalaScartate(const QStringList &) {}
    // After the list is filled, for what a window shows besides the lines.
    virtual void riempito(const EsitoElenco &) {}
    // Where the waiting label and the count go (a window with one more
    // command keeps them narrower).
    void spazioAttesa(int larghezza);

  private:
    void riempi();

    QLabel *m_lblAttendere = nullptr;
    bool m_riempita = false;
};
