#pragma once

#include <QtGlobal>
#include <cerrno>
#include <fcntl.h>

// An advisory lock on a byte range (length 0: to the end of the file and
// beyond), released when the object goes. Locks of the open file where the
// kernel has them, so two operations of one process exclude each other too;
// process locks otherwise; none where the file system refuses both.
class Blocco {
  public:
    // Without waiting, occupato() tells whether another holds the range.
    Blocco(int fd, short tipo, qint64 inizio, qint64 lunghezza, bool attendi = true) : m_fd(fd) {
        m_regione.l_type = tipo;
        m_regione.l_whence = SEEK_SET;
        m_regione.l_start = off_t(inizio);
        m_regione.l_len = off_t(lunghezza);
        const int comandi[2] = {attendi ? F_OFD_SETLKW : F_OFD_SETLK, attendi ? F_SETLKW : F_SETLK};
        for (const int comando : comandi) {
            m_regione.l_pid = 0;
            int esito;
            do {
                esito = ::fcntl(m_fd, comando, &m_regione);
            } while (esito != 0 && errno == EINTR);
            if (esito == 0) {
                m_sblocca = comando == comandi[0] ? F_OFD_SETLK : F_SETLK;
                return;
            }
            if (errno == EAGAIN || errno == EACCES) {
                m_occupato = true;
                return;
            }
            if (errno != EINVAL) return; // refused by the file system: go on without
        }
    }
    bool occupato() const { return m_occupato; }
    ~Blocco() {
        if (m_sblocca < 0) return;
        m_regione.l_type = F_UNLCK;
        m_regione.l_pid = 0;
        ::fcntl(m_fd, m_sblocca, &m_regione);
    }
    Blocco(const Blocco &) = delete;
    Blocco &operator=(const Blocco &) = delete;

  private:
    int m_fd;
    int m_sblocca = -1;
    bool m_occupato = false;
    struct flock m_regione {};
};
