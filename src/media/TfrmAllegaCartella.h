#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// Edits the three attachment slots of the card on screen. The card window
// fills the slots from its six hidden labels and sets the caller tag in
// lblMemory; "Applica e chiudi" writes them back. Sfoglia copies the chosen
// file into the attachments folder; nothing here touches the archive.
class TfrmAllegaCartella : public QDialog {
    Q_OBJECT
  public:
    // The card window's labels, in the order lblFile01, lblFile02, lblFile03,
    // lblDesc01, lblDesc02, lblDesc03.
    TfrmAllegaCartella(QWidget *proprietario, const std::array<QLabel *, 6> &etichetteScheda);

    QLabel *lblMemory;
    std::array<QLineEdit *, 3> txtFile{};
    std::array<QLineEdit *, 3> txtDesc{};
    std::array<QPushButton *, 3> btnSfoglia{};
    std::array<QPushButton *, 3> btnApri{};
    std::array<QToolButton *, 3> imgCancella{};
    QPushButton *btnApplica;
    QPushButton *btnAnnulla;

    void btnSfogliaClick(int slot);
    void btnApriClick(int slot);
    void imgCancellaClick(int slot);
    void btnApplicaClick();
    void btnAnnullaClick();

  protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;
    void showEvent(QShowEvent *evento) override;
    void paintEvent(QPaintEvent *evento) override;

  private:
    void txtFileChange(int slot);

    std::array<QLabel *, 6> m_etichetteScheda;
};

// The attachments folder of the program folder.
QString CartellaAllegati();

// Copies what the source gives into a file, replacing it only once every byte
// is on disk. A source that fails to read, or ends before its size, leaves
// the file as it was and gives false.
bool CopiaAllegato(class QIODevice *sorgente, const QString &destinazione);
