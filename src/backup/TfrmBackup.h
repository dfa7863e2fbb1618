#pragma once

#include "backup/BackupArchivio.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

// Backup and restore of the program folder: where backups go, how many are
// kept, a backup now, a restore from a chosen backup. On a server's archive
// the same, through `copie`.
class TfrmBackup : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmBackup(QWidget *proprietario, CopieArchivio copie = {});

  public slots:
    void btnBackupClick();
    void btnRipristinaClick();
    void btnCartellaClick();

  protected:
    void paintEvent(QPaintEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    void done(int esito) override;

  private:
    void aggiorna();
    void inCorso(bool attivo, const QString &attesa = QString());
    void avanza(qint64 fatti, qint64 totale);
    bool suServer() const;
    EsitoBackup backup(const AvanzamentoBackup &avanzamento);

    QLabel *m_lblCartella;
    QLabel *m_lblAvviso;
    QLabel *m_lblUltimo;
    QSpinBox *m_spnConservati;
    QLabel *m_lblAttendere;
    QProgressBar *m_prgAvanzamento;
    QPushButton *m_btnCartella;
    QPushButton *m_btnBackup;
    QPushButton *m_btnRipristina;
    QPushButton *m_btnChiudi;
    bool m_inCorso = false;
    CopieArchivio m_copie;
};
