#pragma once

#include <QTranslator>

// The few texts of Qt's own dialogs that its Italian catalogue leaves in
// English: the print dialog's page and double-sided choices, and the type of
// a folder in the file chooser.
class TraduzioniMancanti : public QTranslator {
    Q_OBJECT
  public:
    using QTranslator::QTranslator;
    QString translate(const char *contesto, const char *testo, const char *distinzione,
                      int n) const override;
    bool isEmpty() const override { return false; }
};

// Makes the file chooser show sizes and dates as the program does, in
// Italian, whatever the system's language: Qt's own list of files follows
// the system's. Installed once on the application.
void FileInItaliano(QObject *applicazione);
