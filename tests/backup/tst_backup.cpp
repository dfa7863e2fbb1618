#include "DialoghiFinti.h"
#include "Fixture.h"
#include "Scorciatoie.h"
#include "ServerDiProva.h"

#include "app/Programma.h"
#include "app/TfrmAvvio.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/IntentoArchivio.h"
#include "backup/ImpostazioniBackup.h"
#include "backup/TfrmBackup.h"
#include "backup/ZipBackup.h"
#include "server/CopieServer.h"
#include "server/DepositoServer.h"
#include "server/SchemaServer.h"
#include "server/Trasloco.h"
#include "storage/DepositoCorrente.h"
#include "storage/DepositoFile.h"

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;

namespace {

const QDateTime ORA(QDate(2026, 12, 10), QTime(14, 30));

void scrivi(const QString &percorso, const QByteArray &dati) {
    QDir().mkpath(QFileInfo(percorso).absolutePath());
    QFile file(percorso);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(dati), dati.size());
}

QByteArray jpeg(QColor colore) {
    QImage immagine(64, 48, QImage::Format_RGB32);
    immagine.fill(colore);
    QByteArray dati;
    QBuffer buffer(&dati);
    buffer.open(QIODevice::WriteOnly);
    immagine.save(&buffer, "JPEG");
    return dati;
}

QByteArray casuali(qsizetype quanti, quint32 seme) {
    QByteArray dati(quanti, '\0');
    QRandomGenerator caso(seme);
    for (auto &c : dati)
        c = char(caso.bounded(256));
    return dati;
}

// A program folder holding every kind of data, and files that are not data.
void riempi(const QString &cartella) {
    scrivi(cartella + u"/Magazzino.pro"_s,
           ArchivioDi({SchedaNumero(1), SchedaNumero(2), SchedaNumero(3)}));
    scrivi(cartella + u"/1.jpg"_s, jpeg(Qt::red));
    scrivi(cartella + u"/3.jpg"_s, jpeg(Qt::blue));
    scrivi(cartella + u"/unins000.dll"_s, "[Accesso]\r\nValore=C0FFEE\r\n");
    scrivi(cartella + u"/Movimenti.csv"_s, "1;10/12/2026;+5\n2;10/12/2026;-1\n");
    scrivi(cartella + u"/Documenti_Allegati/fattura 12.pdf"_s, "%PDF-1.4 " + casuali(3000, 1));
    scrivi(cartella + u"/Documenti_Allegati/fornitori/listino è.txt"_s, "prezzi\n");
    QVERIFY(QDir().mkpath(cartella + u"/Documenti_Allegati/vuota"_s));
    scrivi(cartella + u"/Schede eliminate/20261201-101010000-2.jpg"_s, jpeg(Qt::gray));
    scrivi(cartella + u"/Ordini/Ordine Rossi 2026-12-01.pdf"_s, "%PDF-1.4 ordine");
    scrivi(cartella + u"/Guida.pdf"_s, "guida");
    scrivi(cartella + u"/Magazzino.xls"_s, "esportazione");
}

// Every data file and folder of a program folder, with its bytes.
std::map<QString, QByteArray> dati(const QString &cartella) {
    std::map<QString, QByteArray> trovati;
    QDirIterator giro(cartella, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                      QDirIterator::Subdirectories);
    while (giro.hasNext()) {
        const QString percorso = giro.next();
        const QString nome = QDir(cartella).relativeFilePath(percorso);
        if (nome == u"Guida.pdf"_s || nome == u"Magazzino.xls"_s || nome.startsWith(u"Backup"_s))
            continue;
        trovati[nome] = giro.fileInfo().isDir() ? QByteArray("<cartella>") : Leggi(percorso);
    }
    return trovati;
}

// What a folder holds, names only, for checking that nothing was left behind.
QStringList nomi(const QString &cartella) {
    return QDir(cartella).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

struct Membro {
    QByteArray dati;
    zip_int32_t metodo = -1;
};

std::map<QByteArray, Membro> membri(const QString &zip) {
    std::map<QByteArray, Membro> trovati;
    int errore = 0;
    zip_t *za = zip_open(QFile::encodeName(zip).constData(), ZIP_RDONLY, &errore);
    if (!za) return trovati;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        Membro m;
        m.metodo = zip_int32_t(st.comp_method);
        m.dati.resize(qsizetype(st.size));
        if (zip_file_t *f = zip_fopen_index(za, zip_uint64_t(i), 0)) {
            zip_fread(f, m.dati.data(), st.size);
            zip_fclose(f);
        }
        trovati[QByteArray(st.name)] = m;
    }
    zip_discard(za);
    return trovati;
}

// Adds a member to an existing zip; `collegamento` marks it as a symbolic link.
void aggiungiMembro(const QString &zip, const QByteArray &nome, const QByteArray &contenuto,
                    bool collegamento = false) {
    int errore = 0;
    zip_t *za = zip_open(QFile::encodeName(zip).constData(), ZIP_CREATE, &errore);
    QVERIFY(za);
    zip_source_t *s =
        zip_source_buffer(za, contenuto.constData(), zip_uint64_t(contenuto.size()), 0);
    const zip_int64_t i = zip_file_add(za, nome.constData(), s, ZIP_FL_ENC_RAW);
    QVERIFY(i >= 0);
    if (collegamento)
        zip_file_set_external_attributes(za, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX,
                                         zip_uint32_t(S_IFLNK | 0777) << 16);
    QCOMPARE(zip_close(za), 0);
}

// A small file system of its own, full after `dimensione` bytes; where it
// cannot be mounted, the size limit of a file stands in for it.
class DiscoPiccolo {
  public:
    explicit DiscoPiccolo(const QString &dimensione) {
        m_montato = ::mount("tmpfs", QFile::encodeName(m_cartella.path()).constData(), "tmpfs", 0,
                            QByteArray("size=" + dimensione.toLatin1()).constData()) == 0;
    }
    ~DiscoPiccolo() {
        if (m_montato) ::umount2(QFile::encodeName(m_cartella.path()).constData(), MNT_DETACH);
    }
    bool montato() const { return m_montato; }
    QString percorso(const QString &nome) const { return m_cartella.filePath(nome); }
    QString cartella() const { return m_cartella.path(); }

  private:
    QTemporaryDir m_cartella;
    bool m_montato = false;
};

QString messaggioDanneggiato() {
    return u"Attenzione: il file scelto è danneggiato o incompleto e non può essere usato."_s;
}
QString messaggioEstraneo() {
    return u"Attenzione: il file scelto non è un backup di Quadrelo."_s;
}
QString messaggioNomi() {
    return u"Attenzione: il backup contiene nomi di file che non appartengono ai dati del "
           u"programma o che porterebbero fuori dalla sua cartella. Il file non può essere "
           u"usato."_s;
}

// The other copy of the program: appends cards until told to stop.
int Accoda(const QString &archivio, const QString &ferma) {
    for (int n = int(QFileInfo(archivio).size() / TScheda::DIMENSIONE) + 1;
         !QFileInfo::exists(ferma); ++n) {
        Archivio a(archivio);
        if (!a.ApriArchivio() || a.accoda(SchedaNumero(n)) != n) return 1;
    }
    return 0;
}

// The free space on the program folder's disk, as the restore sees it, while
// the object lives.
class SpazioFinto {
  public:
    explicit SpazioFinto(qint64 libero) {
        ImpostaSpazioLibero([libero](const QString &) { return libero; });
    }
    ~SpazioFinto() { ImpostaSpazioLibero({}); }
};

// Other data than riempi()'s, with names of its own and names in common.
void riempiAltri(const QString &cartella) {
    scrivi(cartella + u"/Magazzino.pro"_s, ArchivioDi({SchedaNumero(9)}));
    scrivi(cartella + u"/7.jpg"_s, jpeg(Qt::green));
    scrivi(cartella + u"/1.jpg"_s, jpeg(Qt::darkRed));
    scrivi(cartella + u"/unins000.dll"_s, "[Accesso]\r\nValore=BADA55\r\n");
    scrivi(cartella + u"/Documenti_Allegati/vecchio.txt"_s, "vecchio");
    scrivi(cartella + u"/Guida.pdf"_s, "guida di questa copia");
}

// The child of the crash test: a restore that dies at its step `passo`.
int RipristinaFinoAl(const QString &zip, const QString &programma, int passo) {
    int n = 0;
    ImpostaPassoRipristino([&] {
        if (++n == passo) ::raise(SIGKILL);
    });
    return RipristinaBackup(zip, programma).riuscito ? 0 : 1;
}

// The child of the interrupted backup: dies at its `chiamata`-th progress report.
int BackupFinoAlla(const QString &programma, const QString &cartellaBackup, int chiamata) {
    int n = 0;
    return EseguiBackup(
               programma, cartellaBackup, ORA,
               [&](qint64, qint64) {
                   if (++n == chiamata) ::raise(SIGKILL);
               }).riuscito
               ? 0
               : 1;
}

// Runs this test program as a child with the arguments; true when it was killed.
bool figlioUcciso(const QStringList &argomenti) {
    QProcess figlio;
    figlio.setProcessChannelMode(QProcess::ForwardedChannels);
    figlio.start(QCoreApplication::applicationFilePath(), argomenti);
    if (!figlio.waitForFinished(60000)) return false;
    if (figlio.exitStatus() == QProcess::CrashExit) return true;
    if (figlio.exitCode() != 0) qWarning("il figlio è uscito con %d", figlio.exitCode());
    return false;
}

QString messaggioSpazio(qint64 serve, qint64 libero) {
    return u"Attenzione: il backup, una volta estratto, occupa %1, ma sul disco della cartella "
           u"del programma sono liberi solo %2. Il ripristino non è stato eseguito e i dati "
           u"attuali non sono stati toccati: liberare spazio sul disco e riprovare."_s.arg(
               Dimensione(serve), Dimensione(libero));
}

QString domandaRipristino(const ContenutoBackup &c, qint64 libero) {
    return u"Il backup del %1 alle %2 contiene %3 schede, %4 foto e %5 allegati e, una volta "
           u"estratto, occupa %6; sul disco della cartella del programma sono liberi %7.\n\n"
           u"Tutti i file dei dati, compresa la password di accesso, torneranno come erano alla "
           u"data del backup. Dei dati attuali verrà fatto prima un backup a parte. "
           u"Continuare?"_s.arg(c.data.toString(u"dd/MM/yyyy"_s), c.data.toString(u"HH:mm"_s))
               .arg(c.schede)
               .arg(c.foto)
               .arg(c.allegati)
               .arg(Dimensione(c.dimensione), Dimensione(libero));
}

// What a restore made beside a program folder and left there. The folder
// around may be shared with others, so only names a restore gives count.
QStringList restiAccanto(const QString &programma) {
    const QFileInfo info(programma);
    return QDir(info.absolutePath())
        .entryList({u"."_s + info.fileName() + u"_*"_s},
                   QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// The bytes of every data file of a folder, as a restore would extract them.
qint64 byteDeiDati(const QString &cartella) {
    qint64 totale = 0;
    for (const auto &[nome, contenuto] : dati(cartella))
        if (contenuto != "<cartella>") totale += contenuto.size();
    return totale;
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
  private slots:
    void ripristinoIdentico_data();
    void ripristinoIdentico();
    void backupDuranteAccodamenti();
    void operazioneInterrotta();
    void fileRifiutati_data();
    void fileRifiutati();
    void discoPieno_data();
    void discoPieno();
    void ripristinoInterrotto_data();
    void ripristinoInterrotto();
    void ripristinoDiUnAltraCopia();
    void backupInterrotto_data();
    void backupInterrotto();
    void ripristinoTroppoGrande_data();
    void ripristinoTroppoGrande();
    void passwordDelBackup_data();
    void passwordDelBackup();
    void conservatiEPromemoria();
    void dalLanciatore();
    void finestraDaTastiera();
};

void TestBackup::ripristinoIdentico_data() {
    QTest::addColumn<bool>("altriDati");
    QTest::newRow("in una cartella vuota") << false;
    QTest::newRow("al posto di altri dati") << true;
}

void TestBackup::ripristinoIdentico() {
    QFETCH(bool, altriDati);
    QTemporaryDir origine, backup, sopra;
    riempi(origine.path());
    const EsitoBackup esito = EseguiBackup(origine.path(), backup.path(), ORA);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    QCOMPARE(esito.percorso, backup.filePath(u"Quadrelo_2026-12-10_1430.zip"_s));
    QCOMPARE(esito.schede, 3);
    QCOMPARE(nomi(backup.path()), QStringList{u"Quadrelo_2026-12-10_1430.zip"_s});

    // Photos and PDF stored as they are, the rest deflated; the manifest last.
    const auto zip = membri(esito.percorso);
    QCOMPARE(zip.at("1.jpg").metodo, ZIP_CM_STORE);
    QCOMPARE(zip.at("Documenti_Allegati/fattura 12.pdf").metodo, ZIP_CM_STORE);
    QCOMPARE(zip.at("Magazzino.pro").metodo, ZIP_CM_DEFLATE);
    QCOMPARE(zip.at("Magazzino.pro").dati, Leggi(origine.filePath(u"Magazzino.pro"_s)));
    QVERIFY(zip.count("Documenti_Allegati/vuota/"));
    QVERIFY(!zip.count("Guida.pdf"));
    QVERIFY(!zip.count("Magazzino.xls"));
    const QByteArray manifesto = zip.at("Manifesto.json").dati;
    QVERIFY(manifesto.contains("\"schede\": 3"));
    QVERIFY(manifesto.contains("\"versione\": \"1.0\""));

    const ContenutoBackup contenuto = LeggiBackup(esito.percorso);
    QVERIFY2(contenuto.valido, qPrintable(contenuto.messaggio));
    QCOMPARE(contenuto.data, ORA);
    QCOMPARE(contenuto.schede, 3);
    QCOMPARE(contenuto.foto, 2);
    QCOMPARE(contenuto.allegati, 2);

    const QString programma = sopra.filePath(u"Quadrelo"_s);
    QVERIFY(QDir().mkpath(programma));
    if (altriDati) {
        scrivi(programma + u"/Magazzino.pro"_s, ArchivioDi({SchedaNumero(9)}));
        scrivi(programma + u"/7.jpg"_s, jpeg(Qt::green));
        scrivi(programma + u"/Documenti_Allegati/vecchio.txt"_s, "vecchio");
        scrivi(programma + u"/Guida.pdf"_s, "guida di questa copia");
    }
    const EsitoRipristino ripristino = RipristinaBackup(esito.percorso, programma);
    QVERIFY2(ripristino.riuscito, qPrintable(ripristino.messaggio));
    QVERIFY(dati(programma) == dati(origine.path()));
    if (altriDati)
        QCOMPARE(Leggi(programma + u"/Guida.pdf"_s), QByteArray("guida di questa copia"));
    // Nothing left beside the program folder.
    QCOMPARE(nomi(sopra.path()), QStringList{u"Quadrelo"_s});
}

void TestBackup::backupDuranteAccodamenti() {
    QTemporaryDir programma, backup;
    const QString archivio = programma.filePath(u"Magazzino.pro"_s);
    const QString ferma = programma.filePath(u"ferma"_s);
    QProcess altraCopia;
    altraCopia.setProcessChannelMode(QProcess::ForwardedChannels);
    altraCopia.start(QCoreApplication::applicationFilePath(), {u"--accoda"_s, archivio, ferma});
    QVERIFY(altraCopia.waitForStarted());
    QTRY_VERIFY(QFileInfo(archivio).size() >= 10 * TScheda::DIMENSIONE);

    QList<qint64> schede;
    for (int i = 0; i < 6; ++i) {
        const EsitoBackup esito =
            EseguiBackup(programma.path(), backup.path(), ORA.addSecs(60 * i));
        QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
        const QByteArray copia = membri(esito.percorso).at("Magazzino.pro").dati;
        // Whole cards only, each exactly as it was written.
        QCOMPARE(copia.size() % TScheda::DIMENSIONE, 0);
        QCOMPARE(copia.size() / TScheda::DIMENSIONE, esito.schede);
        for (qint64 p = 1; p <= esito.schede; ++p) {
            const TScheda attesa = SchedaNumero(int(p));
            QVERIFY2(std::memcmp(copia.constData() + (p - 1) * TScheda::DIMENSIONE,
                                 attesa.byte.data(), TScheda::DIMENSIONE) == 0,
                     qPrintable(u"card %1"_s.arg(p)));
        }
        schede << esito.schede;
    }
    scrivi(ferma, "");
    QVERIFY(altraCopia.waitForFinished(60000));
    QCOMPARE(altraCopia.exitCode(), 0);
    // The other copy really was adding cards while the backups were taken.
    QVERIFY2(schede.first() < schede.last(),
             qPrintable(u"%1 %2"_s.arg(schede.first()).arg(schede.last())));
}

// What a crash left of an operation on many cards: the backup holds the
// archive as it was before it, and a restore does not let it touch the
// restored archive.
void TestBackup::operazioneInterrotta() {
    QTemporaryDir origine, backup, sopra;
    riempi(origine.path());
    {
        IntentoArchivio intento(origine.filePath(u"Magazzino.pro"_s));
        QVERIFY(intento.inizia(2 * TScheda::DIMENSIONE));
        QVERIFY(intento.conferma());
    }
    const EsitoBackup esito = EseguiBackup(origine.path(), backup.path(), ORA);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    QCOMPARE(esito.schede, 2);
    QCOMPARE(membri(esito.percorso).at("Magazzino.pro").dati,
             ArchivioDi({SchedaNumero(1), SchedaNumero(2)}));

    const QString programma = sopra.filePath(u"Quadrelo"_s);
    scrivi(programma + u"/Magazzino.pro"_s, ArchivioDi({SchedaNumero(9)}));
    {
        IntentoArchivio intento(programma + u"/Magazzino.pro"_s);
        QVERIFY(intento.inizia(0));
        QVERIFY(intento.conferma());
    }
    const EsitoRipristino ripristino = RipristinaBackup(esito.percorso, programma);
    QVERIFY2(ripristino.riuscito, qPrintable(ripristino.messaggio));
    Archivio archivio(programma + u"/Magazzino.pro"_s);
    QVERIFY(archivio.ApriArchivio());
    QCOMPARE(archivio.conta(), 2);
    archivio.chiudi();
    QVERIFY(dati(programma) == dati(origine.path()));
}

void TestBackup::fileRifiutati_data() {
    QTest::addColumn<QString>("guasto");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("troncato") << u"troncato"_s << messaggioDanneggiato();
    QTest::newRow("un byte cambiato in una foto") << u"byte"_s << messaggioDanneggiato();
    QTest::newRow("non è uno zip") << u"testo"_s << messaggioDanneggiato();
    QTest::newRow("zip di un altro programma") << u"estraneo"_s << messaggioEstraneo();
    QTest::newRow("../x") << u"../x"_s << messaggioNomi();
    QTest::newRow("percorso assoluto") << u"/tmp/x"_s << messaggioNomi();
    QTest::newRow("allegato che risale") << u"Documenti_Allegati/../../x"_s << messaggioNomi();
    QTest::newRow("collegamento") << u"link"_s << messaggioNomi();
    QTest::newRow("file di altri") << u"altro.exe"_s << messaggioNomi();
}

void TestBackup::fileRifiutati() {
    QFETCH(QString, guasto);
    QFETCH(QString, messaggio);
    QTemporaryDir origine, backup, sopra;
    riempi(origine.path());
    const EsitoBackup esito = EseguiBackup(origine.path(), backup.path(), ORA);
    QVERIFY(esito.riuscito);
    const QString zip = esito.percorso;
    QByteArray byte = Leggi(zip);
    if (guasto == u"troncato"_s) {
        scrivi(zip, byte.left(byte.size() / 2));
    } else if (guasto == u"byte"_s) {
        const qsizetype dove = byte.indexOf(jpeg(Qt::blue));
        QVERIFY(dove > 0);
        byte[dove + 200] = char(byte[dove + 200] ^ 0x55);
        scrivi(zip, byte);
    } else if (guasto == u"testo"_s) {
        scrivi(zip, "Questo non è un file zip.");
    } else if (guasto == u"estraneo"_s) {
        QFile::remove(zip);
        aggiungiMembro(zip, "leggimi.txt", "altro programma");
    } else if (guasto == u"link"_s) {
        aggiungiMembro(zip, "Documenti_Allegati/link", "/etc/passwd", true);
    } else {
        aggiungiMembro(zip, guasto.toUtf8(), "fuori");
    }

    const ContenutoBackup contenuto = LeggiBackup(zip);
    QVERIFY(!contenuto.valido);
    QCOMPARE(contenuto.messaggio, messaggio);

    // The current data stays as it was, and nothing is written anywhere else.
    const QString programma = sopra.filePath(u"Quadrelo"_s);
    QVERIFY(QDir().mkpath(programma));
    scrivi(programma + u"/Magazzino.pro"_s, ArchivioDi({SchedaNumero(9)}));
    scrivi(programma + u"/9.jpg"_s, jpeg(Qt::yellow));
    const auto prima = dati(programma);
    const QStringList intorno = nomi(sopra.path());
    const EsitoRipristino ripristino = RipristinaBackup(zip, programma);
    QVERIFY(!ripristino.riuscito);
    QCOMPARE(ripristino.messaggio, messaggio);
    QVERIFY(dati(programma) == prima);
    QCOMPARE(nomi(sopra.path()), intorno);
    QVERIFY(!QFileInfo::exists(u"/tmp/x"_s));
}

void TestBackup::discoPieno_data() {
    QTest::addColumn<bool>("ripristino");
    QTest::newRow("durante il backup") << false;
    QTest::newRow("durante il ripristino") << true;
}

void TestBackup::discoPieno() {
    QFETCH(bool, ripristino);
    DiscoPiccolo disco(u"1m"_s);
    QTemporaryDir origine, altrove;
    riempi(origine.path());
    // More than the small disk holds, whatever the compression.
    scrivi(origine.filePath(u"2.jpg"_s), casuali(2 * 1024 * 1024, 7));
    std::optional<DiscoPieno> limite;

    if (!ripristino) {
        const QString cartellaBackup = disco.percorso(u"Backup"_s);
        const auto prima = dati(origine.path());
        if (!disco.montato()) limite.emplace(1024 * 1024);
        const EsitoBackup esito = EseguiBackup(origine.path(), cartellaBackup, ORA);
        limite.reset();
        QVERIFY(!esito.riuscito);
        QCOMPARE(esito.messaggio,
                 u"Attenzione: il backup non è stato eseguito perché lo spazio nella cartella dei "
                 u"backup è esaurito. Non è rimasto nessun file di backup incompleto e i dati del "
                 u"programma non sono stati toccati."_s);
        QCOMPARE(nomi(cartellaBackup), QStringList());
        QVERIFY(dati(origine.path()) == prima);
        return;
    }

    const EsitoBackup esito = EseguiBackup(origine.path(), altrove.path(), ORA);
    QVERIFY(esito.riuscito);
    const QString programma = disco.percorso(u"Quadrelo"_s);
    QVERIFY(QDir().mkpath(programma));
    scrivi(programma + u"/Magazzino.pro"_s, ArchivioDi({SchedaNumero(9)}));
    scrivi(programma + u"/9.jpg"_s, jpeg(Qt::yellow));
    const auto prima = dati(programma);
    const QStringList intorno = nomi(disco.cartella());
    if (!disco.montato()) limite.emplace(1024 * 1024);
    // The disk fills while extracting, as when another program takes the
    // space after the check: the check itself is not asked here.
    SpazioFinto spazio(-1);
    const EsitoRipristino esitoRipristino = RipristinaBackup(esito.percorso, programma);
    limite.reset();
    QVERIFY(!esitoRipristino.riuscito);
    QCOMPARE(esitoRipristino.messaggio,
             u"Attenzione: il ripristino non è stato eseguito perché lo spazio sul disco è "
             u"esaurito. I dati attuali non sono stati toccati."_s);
    QVERIFY(dati(programma) == prima);
    QCOMPARE(nomi(disco.cartella()), intorno);
}

void TestBackup::conservatiEPromemoria() {
    QTemporaryDir programma, backup;
    riempi(programma.path());
    QCOMPARE(PromemoriaBackup(backup.path(), ORA),
             u"Non è ancora stato eseguito un backup dei dati: si consiglia di eseguirlo con il "
             u"comando Backup."_s);

    // Two in the same minute keep both; then twelve days of backups.
    QVERIFY(EseguiBackup(programma.path(), backup.path(), ORA).riuscito);
    const EsitoBackup stessoMinuto = EseguiBackup(programma.path(), backup.path(), ORA);
    QCOMPARE(stessoMinuto.percorso, backup.filePath(u"Quadrelo_2026-12-10_1430_2.zip"_s));
    for (int giorno = 1; giorno <= 12; ++giorno)
        QVERIFY(EseguiBackup(programma.path(), backup.path(), ORA.addDays(-giorno)).riuscito);
    QCOMPARE(BackupPresenti(backup.path()).size(), 14);
    const QString vecchio = backup.filePath(u"Quadrelo_2026-11-28_1430.zip"_s);
    ConservaUltimiBackup(backup.path(), 10, vecchio);
    QStringList attesi{vecchio};
    for (int giorno = 7; giorno >= 1; --giorno)
        attesi << backup.filePath(NomeBackup(ORA.addDays(-giorno)));
    attesi << backup.filePath(u"Quadrelo_2026-12-10_1430.zip"_s) << stessoMinuto.percorso;
    QCOMPARE(BackupPresenti(backup.path()), attesi);

    QCOMPARE(PromemoriaBackup(backup.path(), ORA.addDays(6)), QString());
    QCOMPARE(PromemoriaBackup(backup.path(), ORA.addDays(7)),
             u"L'ultimo backup dei dati risale al 10/12/2026: si consiglia di eseguirne uno "
             u"nuovo con il comando Backup."_s);
}

void TestBackup::dalLanciatore() {
    CartellaDiProva programma;
    riempi(programma.percorso());
    QTemporaryDir scelta;
    DialoghiFinti dialoghi;
    TfrmAvvio avvio;
    avvio.show();
    auto *promemoria = avvio.findChild<QLabel *>(u"lblPromemoriaBackup"_s);
    auto *comando = avvio.findChild<QToolButton *>(u"btnBackup"_s);
    QVERIFY(promemoria && comando);
    QVERIFY(promemoria->isVisible());
    QCOMPARE(comando->focusPolicy(), Qt::TabFocus);

    // Before any backup there is no backup folder: the restore chooser opens
    // in the program folder (cancelled here). Then the folder is chosen once,
    // and a backup.
    dialoghi.allaProssimaScelta(QString());
    dialoghi.allaProssimaScelta(scelta.path());
    dialoghi.allaProssimaFinestra([](QDialog *finestra) {
        QCOMPARE(finestra->windowTitle(), u" Backup"_s);
        finestra->findChild<QPushButton *>(u"btnRipristina"_s)->click();
        finestra->findChild<QPushButton *>(u"btnCartella"_s)->click();
        finestra->findChild<QPushButton *>(u"btnBackup"_s)->click();
        finestra->findChild<QPushButton *>(u"btnChiudi"_s)->click();
    });
    comando->click();
    QCOMPARE(dialoghi.sceltePresentate().first().titolo, u" Ripristina da un backup"_s);
    QCOMPARE(dialoghi.sceltePresentate().first().nome, QString());
    QCOMPARE(dialoghi.mostrati().size(), 1); // nothing but the backup's message
    QCOMPARE(ImpostazioniBackup::Cartella(), scelta.path());
    const QStringList presenti = BackupPresenti(scelta.path());
    QCOMPARE(presenti.size(), 1);
    QCOMPARE(dialoghi.ultimo(), u"Backup completato e verificato (3 schede): "_s +
                                    QDir::toNativeSeparators(presenti.first()));
    QVERIFY(promemoria->isHidden());

    // A restore asks first, backs the current data up, then swaps.
    const qint64 libero = 7LL * 1024 * 1024 * 1024;
    SpazioFinto spazio(libero);
    const auto attesi = dati(programma.percorso());
    scrivi(programma.percorso(u"Magazzino.pro"_s), ArchivioDi({SchedaNumero(9)}));
    QFile::remove(programma.percorso(u"1.jpg"_s));
    dialoghi.azzera();
    dialoghi.allaProssimaScelta(presenti.first());
    dialoghi.rispondi(Risposta::Si);
    dialoghi.allaProssimaFinestra([](QDialog *finestra) {
        finestra->findChild<QPushButton *>(u"btnRipristina"_s)->click();
        finestra->findChild<QPushButton *>(u"btnChiudi"_s)->click();
    });
    // This time from the keyboard.
    comando->setFocus(Qt::TabFocusReason);
    QTest::keyClick(comando, Qt::Key_Return);
    QCOMPARE(dialoghi.mostrati().size(), 2);
    // The chooser opened in the backup folder.
    QCOMPARE(dialoghi.sceltePresentate().last().titolo, u" Ripristina da un backup"_s);
    QCOMPARE(dialoghi.sceltePresentate().last().nome, scelta.path());
    const ContenutoBackup contenuto = LeggiBackup(presenti.first());
    QCOMPARE(dialoghi.mostrati().first().testo, domandaRipristino(contenuto, libero));
    QVERIFY(
        dialoghi.ultimo().startsWith(u"Ripristino completato: 3 schede, 2 foto e 2 allegati."_s));
    QVERIFY(dati(programma.percorso()) == attesi);
    QCOMPARE(BackupPresenti(scelta.path()).size(), 2);
}

// The backup window from the keyboard: a letter for each control, Alt+R
// opens the restore chooser in the backup folder, Esc closes the window.
void TestBackup::finestraDaTastiera() {
    CartellaDiProva programma;
    QTemporaryDir backup;
    ImpostazioniBackup::ImpostaCartella(backup.path());
    DialoghiFinti dialoghi;
    TfrmBackup finestra(nullptr);
    finestra.show();
    QApplication::setActiveWindow(&finestra);
    QVERIFY(QTest::qWaitForWindowActive(&finestra));
    int lettere = 0;
    QCOMPARE(ScorciatoieDoppie(&finestra, &lettere), QStringList());
    QCOMPARE(lettere, 5);
    QTest::keyClick(finestra.windowHandle(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(dialoghi.sceltePresentate().size(), 1); // a shortcut presses the button shortly
    QCOMPARE(dialoghi.sceltePresentate().first().titolo, u" Ripristina da un backup"_s);
    QCOMPARE(dialoghi.sceltePresentate().first().nome, backup.path());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!finestra.isVisible());
}

// A restore killed before and after each rename of its swap, in turn, until
// one runs to the end. After each, the settling that the next start does
// leaves the program folder holding exactly its old data or exactly the
// backup's, and nothing beside it.
void TestBackup::ripristinoInterrotto_data() {
    QTest::addColumn<QString>("nome"); // of the program folder
    QTest::newRow("Quadrelo") << u"Quadrelo"_s;
    QTest::newRow("con accenti e spazi") << u"Negozio Però (2)"_s;
}

void TestBackup::ripristinoInterrotto() {
    QFETCH(QString, nome);
    QTemporaryDir origine, backup;
    riempi(origine.path());
    const EsitoBackup esito = EseguiBackup(origine.path(), backup.path(), ORA);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    const auto nuovi = dati(origine.path());
    const QString annullato = u"Il ripristino da un backup era stato interrotto: i dati sono "
                              u"rimasti quelli di prima del ripristino."_s;
    const QString completato = u"Il ripristino da un backup era stato interrotto quando ormai "
                               u"era concluso: i dati sono quelli del backup. Anche la password "
                               u"di accesso è ora quella della data del backup."_s;
    QSet<QString> visti;
    for (int passo = 1;; ++passo) {
        QTemporaryDir sopra;
        const QString programma = sopra.filePath(nome);
        riempiAltri(programma);
        const auto vecchi = dati(programma);
        const bool ucciso =
            figlioUcciso({u"--ripristina"_s, esito.percorso, programma, QString::number(passo)});

        // As the program starts, before its password window.
        ImpostaCartellaProgramma(programma);
        DialoghiFinti dialoghi;
        AssestaDatiAllAvvio();
        ImpostaCartellaProgramma(QString());
        QVERIFY(dialoghi.mostrati().size() <= 1);
        const QString detto = dialoghi.ultimo();
        const auto trovati = dati(programma);
        QVERIFY2(trovati == vecchi || trovati == nuovi,
                 qPrintable(
                     u"passo %1: %2"_s.arg(passo).arg(QStringList(nomi(programma)).join(u", "_s))));
        QCOMPARE(nomi(sopra.path()), QStringList{nome});
        QCOMPARE(Leggi(programma + u"/Guida.pdf"_s), QByteArray("guida di questa copia"));
        if (trovati == vecchi) {
            QCOMPARE(detto, annullato);
            visti << u"vecchi"_s;
        } else {
            // Once the record is gone only the leftovers were there, and they
            // go without a word.
            QVERIFY2(detto == completato || detto.isEmpty(), qPrintable(detto));
            visti << (detto.isEmpty() ? u"nuovi, in silenzio"_s : u"nuovi"_s);
        }
        // Nothing is left for a second start.
        QCOMPARE(AssestaBackupAllAvvio(programma, backup.path()), QString());
        if (!ucciso) {
            QVERIFY(trovati == nuovi);
            break;
        }
        QVERIFY2(passo < 100, "il figlio non arriva mai alla fine");
    }
    // Each way out was met along the way.
    QCOMPARE(visti, (QSet<QString>{u"vecchi"_s, u"nuovi"_s, u"nuovi, in silenzio"_s}));
}

// While a copy is restoring into the folder (it holds the folder's lock), a
// copy that starts leaves its half-done swap alone and cannot restore too.
void TestBackup::ripristinoDiUnAltraCopia() {
    QTemporaryDir origine, backup, sopra;
    riempi(origine.path());
    const EsitoBackup esito = EseguiBackup(origine.path(), backup.path(), ORA);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    const QString programma = sopra.filePath(u"Quadrelo"_s);
    riempiAltri(programma);
    const auto vecchi = dati(programma);
    QVERIFY(figlioUcciso({u"--ripristina"_s, esito.percorso, programma, u"4"_s}));
    const auto aMeta = dati(programma);
    QVERIFY(aMeta != vecchi);
    QCOMPARE(restiAccanto(programma).size(), 2);

    const int fd =
        ::open(QFile::encodeName(programma).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX), 0);
    QCOMPARE(AssestaBackupAllAvvio(programma, backup.path()), QString());
    const EsitoRipristino altro = RipristinaBackup(esito.percorso, programma);
    QVERIFY(!altro.riuscito);
    QCOMPARE(altro.messaggio,
             u"Attenzione: il ripristino non è stato eseguito perché un'altra copia del "
             u"programma sta ripristinando i dati in questa cartella. I dati attuali non sono "
             u"stati toccati."_s);
    QVERIFY(dati(programma) == aMeta);
    QCOMPARE(restiAccanto(programma).size(), 2);
    ::close(fd);

    QCOMPARE(AssestaRipristino(programma).genere, EsitoAssestamento::Genere::Annullato);
    QVERIFY(dati(programma) == vecchi);
    QCOMPARE(restiAccanto(programma), QStringList());
}

void TestBackup::backupInterrotto_data() {
    QTest::addColumn<int>("chiamata"); // the progress report the child dies at
    QTest::addColumn<bool>("allAvvio");
    QTest::newRow("durante la scrittura, poi un backup") << 1 << false;
    QTest::newRow("durante la verifica, poi un backup") << 2 << false;
    QTest::newRow("verificato, prima del nome, poi un backup") << 3 << false;
    QTest::newRow("durante la scrittura, poi l'avvio") << 1 << true;
    QTest::newRow("durante la verifica, poi l'avvio") << 2 << true;
}

void TestBackup::backupInterrotto() {
    QFETCH(int, chiamata);
    QFETCH(bool, allAvvio);
    QTemporaryDir programma, backup;
    riempi(programma.path());
    // Files that only look like a backup's temporaries stay.
    const QStringList altri{u".Quadrelo_backup_abc"_s, u".Quadrelo_backup_AbC1234"_s,
                            u"Quadrelo_backup_AbC123"_s, u".Quadrelo_backup_AbC123.zip"_s,
                            u"appunti.txt"_s};
    for (const QString &nome : altri)
        scrivi(backup.filePath(nome), "altro");
    QVERIFY(QDir().mkpath(backup.filePath(u".Quadrelo_backup_Cart01"_s)));
    const QStringList estranei = nomi(backup.path());

    QVERIFY(
        figlioUcciso({u"--backup"_s, programma.path(), backup.path(), QString::number(chiamata)}));
    QStringList lasciati = nomi(backup.path());
    for (const QString &nome : estranei)
        lasciati.removeOne(nome);
    QVERIFY2(!lasciati.isEmpty(), "il backup interrotto non ha lasciato nulla");
    for (const QString &nome : lasciati)
        QVERIFY2(nome.startsWith(u".Quadrelo_backup_"_s), qPrintable(nome));

    // While another copy writes a backup there, its files are not touched.
    {
        const int fd = ::open(QFile::encodeName(backup.path()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_SH), 0);
        PulisciTemporaneiBackup(backup.path());
        ::close(fd);
        QCOMPARE(nomi(backup.path()).size(), estranei.size() + lasciati.size());
    }

    QStringList attesi = estranei;
    if (allAvvio) {
        QCOMPARE(AssestaBackupAllAvvio(programma.path(), backup.path()), QString());
    } else {
        const EsitoBackup esito = EseguiBackup(programma.path(), backup.path(), ORA);
        QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
        attesi << QFileInfo(esito.percorso).fileName();
    }
    attesi.sort();
    QCOMPARE(nomi(backup.path()), attesi);
}

void TestBackup::ripristinoTroppoGrande_data() {
    QTest::addColumn<qint64>("oltre"); // free space beyond what the restore needs
    QTest::newRow("non sta sul disco") << qint64(-1024 * 1024);
    QTest::newRow("sta appena sul disco") << qint64(0);
}

// A zip bomb: a small backup that grows a thousandfold once extracted.
void TestBackup::ripristinoTroppoGrande() {
    QFETCH(qint64, oltre);
    QTemporaryDir origine, backup;
    riempi(origine.path());
    scrivi(origine.filePath(u"Documenti_Allegati/zeri.bin"_s), QByteArray(16 << 20, '\0'));
    const EsitoBackup esito = EseguiBackup(origine.path(), backup.path(), ORA);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    QVERIFY(QFileInfo(esito.percorso).size() < 200 * 1024);
    const qint64 serve = byteDeiDati(origine.path());
    QCOMPARE(LeggiBackup(esito.percorso).dimensione, serve);

    CartellaDiProva programma;
    riempiAltri(programma.percorso());
    ImpostazioniBackup::ImpostaCartella(backup.path());
    const qint64 libero = serve + MARGINE_SPAZIO + oltre;
    SpazioFinto spazio(libero);
    const auto prima = dati(programma.percorso());

    DialoghiFinti dialoghi;
    dialoghi.allaProssimaScelta(esito.percorso);
    dialoghi.rispondi(Risposta::No);
    TfrmBackup finestra(nullptr);
    finestra.findChild<QPushButton *>(u"btnRipristina"_s)->click();
    QCOMPARE(dialoghi.mostrati().size(), 1);
    if (oltre < 0) {
        QCOMPARE(dialoghi.mostrati().first().genere, DialoghiFinti::Genere::Errore);
        QCOMPARE(dialoghi.ultimo(), messaggioSpazio(serve, libero));
        // Refused as well when asked directly.
        const EsitoRipristino diretto = RipristinaBackup(esito.percorso, programma.percorso());
        QVERIFY(!diretto.riuscito);
        QCOMPARE(diretto.messaggio, messaggioSpazio(serve, libero));
    } else {
        QCOMPARE(dialoghi.mostrati().first().genere, DialoghiFinti::Genere::Domanda);
        ContenutoBackup contenuto = LeggiBackup(esito.percorso);
        QCOMPARE(dialoghi.ultimo(), domandaRipristino(contenuto, libero));
        QVERIFY(dialoghi.ultimo().contains(u"occupa 16,"_s));
    }
    // Nothing written: no backup of the current data, no folder, no file.
    QCOMPARE(BackupPresenti(backup.path()), QStringList{esito.percorso});
    QVERIFY(dati(programma.percorso()) == prima);
    QCOMPARE(restiAccanto(programma.percorso()), QStringList());
}

void TestBackup::passwordDelBackup_data() {
    QTest::addColumn<bool>("cambiata");
    QTest::newRow("stessa password") << false;
    QTest::newRow("password cambiata dopo il backup") << true;
}

// The restore brings the password of the backup's date back, and says so
// when it is not the one in use.
void TestBackup::passwordDelBackup() {
    QFETCH(bool, cambiata);
    CartellaDiProva programma;
    riempi(programma.percorso());
    QTemporaryDir backup;
    ImpostazioniBackup::ImpostaCartella(backup.path());
    const EsitoBackup esito = EseguiBackup(programma.percorso(), backup.path(), ORA);
    QVERIFY2(esito.riuscito, qPrintable(esito.messaggio));
    const auto attesi = dati(programma.percorso());
    scrivi(programma.percorso(u"Magazzino.pro"_s), ArchivioDi({SchedaNumero(9)}));
    if (cambiata) scrivi(programma.percorso(u"unins000.dll"_s), "[Accesso]\r\nValore=BADA55\r\n");

    const qint64 libero = 5LL * 1024 * 1024 * 1024;
    SpazioFinto spazio(libero);
    DialoghiFinti dialoghi;
    dialoghi.allaProssimaScelta(esito.percorso);
    dialoghi.rispondi(Risposta::Si);
    TfrmBackup finestra(nullptr);
    finestra.findChild<QPushButton *>(u"btnRipristina"_s)->click();
    QVERIFY(dati(programma.percorso()) == attesi);

    const QStringList testi = dialoghi.testi();
    QCOMPARE(testi.size(), cambiata ? 3 : 2);
    QCOMPARE(testi[0], domandaRipristino(LeggiBackup(esito.percorso), libero));
    QVERIFY(testi[1].startsWith(u"Ripristino completato: 3 schede, 2 foto e 2 allegati."_s));
    if (cambiata) {
        QCOMPARE(dialoghi.mostrati().last().genere, DialoghiFinti::Genere::Avviso);
        QCOMPARE(testi[2], u"Attenzione: la password di accesso è ora quella in uso alla data "
                           u"del backup (10/12/2026 alle 14:30). Al prossimo accesso al "
                           u"programma serve quella password."_s);
    }
}

// The backup of the archive on a server: the same verified zip, restored
// into the server (all or nothing) or into a folder. A throwaway PostgreSQL
// cluster of the test's own.
class TestBackupServer : public QObject {
    Q_OBJECT

    std::unique_ptr<ServerDiProva> m_server;
    std::unique_ptr<Connessione> m_connessione;

    static CopieArchivio Copie() { return {ServerInUsoInCartella, CartellaNelServerInUso}; }

    // An archive of every kind of file in `cartella`, moved to the emptied
    // server and put in use.
    void archivioSulServer(const QString &cartella) {
        DepositoFile file(cartella);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(file.accoda(SchedaNumero(n)), n);
        TScheda s;
        QVERIFY(file.leggi(1, s));
        QCOMPARE(file.scrivi(1, s, 4, TipoMovimento::Carico, u"arrivo"_s).esito,
                 Deposito::Salvataggio::Fatto);
        QVERIFY(file.scriviFoto(1, "foto uno"));
        QVERIFY(file.scriviFoto(3, "foto tre"));
        QVERIFY(file.scriviAllegato(u"1/fattura.pdf"_s, "%PDF allegato"));
        QVERIFY(file.leggi(3, s));
        QCOMPARE(file.togli(3, s).esito, Deposito::Rimozione::Fatta);
        QVERIFY(m_server->svuota(*m_connessione));
        const EsitoTrasloco trasloco = CopiaSuServer(cartella, *m_connessione);
        QVERIFY2(trasloco.riuscito, qPrintable(trasloco.messaggio));
        ImpostaDepositoCorrente(std::make_unique<DepositoServer>(*m_connessione),
                                u"archivio sul server di prova"_s);
    }

  private slots:
    void initTestCase() {
        m_server = std::make_unique<ServerDiProva>();
        QVERIFY2(m_server->avviato(), qPrintable(m_server->errore()));
        m_connessione = std::make_unique<Connessione>(m_server->parametri());
        QVERIFY2(m_connessione->aperta(), qPrintable(m_connessione->messaggio()));
    }
    void init() {
        if (!m_server->avviato()) QVERIFY(m_server->avvia());
    }
    void cleanup() {
        ImpostaPassoTrasloco({});
        ImpostaDepositoCorrente(nullptr, QString());
    }
    void cleanupTestCase() {
        m_connessione.reset();
        m_server.reset();
    }

    // From the window: a backup of the server's archive, a restore into the
    // server through the window, and the same zip restored into a folder.
    void backupERipristino() {
        CartellaDiProva programma;
        QTemporaryDir origine, backup;
        scrivi(programma.percorso(u"unins000.dll"_s), "[Accesso]\r\nValore=C0FFEE\r\n");
        scrivi(programma.percorso(u"Ordini/ordine 1.csv"_s), "ordine");
        archivioSulServer(origine.path());
        if (QTest::currentTestFailed()) return;
        ImpostazioniBackup::ImpostaCartella(backup.path());
        DialoghiFinti dialoghi;
        TfrmBackup finestra(nullptr, Copie());
        QVERIFY(finestra.windowTitle().endsWith(u"archivio sul server di prova"_s));
        finestra.findChild<QPushButton *>(u"btnBackup"_s)->click();
        const QStringList presenti = BackupPresenti(backup.path());
        QCOMPARE(presenti.size(), 1);
        QCOMPARE(dialoghi.ultimo(), u"Backup completato e verificato (2 schede): "_s +
                                        QDir::toNativeSeparators(presenti.first()));
        // Nothing of the work left beside the backups.
        QCOMPARE(
            QDir(backup.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QFileInfo(presenti.first()).fileName()});
        const ContenutoBackup contenuto = LeggiBackup(presenti.first());
        QVERIFY2(contenuto.valido, qPrintable(contenuto.messaggio));
        QCOMPARE(contenuto.schede, 2);
        QCOMPARE(contenuto.foto, 1);

        // Into a folder: the folder's archive as it went to the server, and
        // this workstation's files.
        QTemporaryDir altrove;
        const QString cartella = QDir(altrove.path()).filePath(u"negozio"_s);
        QVERIFY(QDir().mkpath(cartella));
        const EsitoRipristino inCartella = RipristinaBackup(presenti.first(), cartella);
        QVERIFY2(inCartella.riuscito, qPrintable(inCartella.messaggio));
        for (const QString &nome : {u"Magazzino.pro"_s, u"Movimenti.csv"_s, u"1.jpg"_s,
                                    u"Documenti_Allegati/1/fattura.pdf"_s})
            QCOMPARE(Leggi(QDir(cartella).filePath(nome)),
                     Leggi(QDir(origine.path()).filePath(nome)));
        QCOMPARE(FileSotto(QDir(cartella).filePath(u"Schede eliminate"_s)).size(), 1);
        QCOMPARE(Leggi(QDir(cartella).filePath(u"unins000.dll"_s)),
                 Leggi(programma.percorso(u"unins000.dll"_s)));
        QCOMPARE(Leggi(QDir(cartella).filePath(u"Ordini/ordine 1.csv"_s)), QByteArray("ordine"));

        // The server changes, then the window brings it back as it was.
        Deposito &d = DepositoCorrente();
        QCOMPARE(d.accoda(SchedaNumero(7)), 3);
        TScheda s;
        QVERIFY(d.leggi(1, s));
        QCOMPARE(d.scrivi(1, s, -3, TipoMovimento::Scarico, QString()).esito,
                 Deposito::Salvataggio::Fatto);
        QVERIFY(d.scriviFoto(2, "foto nuova"));
        scrivi(programma.percorso(u"unins000.dll"_s), "[Accesso]\r\nValore=BADA55\r\n");
        dialoghi.azzera();
        dialoghi.allaProssimaScelta(presenti.first());
        dialoghi.rispondi(Risposta::Si);
        finestra.findChild<QPushButton *>(u"btnRipristina"_s)->click();
        QVERIFY2(dialoghi.ultimo().startsWith(u"Ripristino completato: 2 schede, 1 foto e 1 "
                                              u"allegati."_s),
                 qPrintable(dialoghi.ultimo()));
        QVERIFY(dialoghi.mostrati().first().testo.contains(u"L'archivio sul server"_s));
        QCOMPARE(d.conta(), 2);
        DepositoFile file(origine.path());
        for (qint64 p = 1; p <= 2; ++p) {
            TScheda attesa, letta;
            QVERIFY(file.leggi(p, attesa) && d.leggi(p, letta));
            QVERIFY(letta.byte == attesa.byte);
            QByteArray fotoAttesa, fotoLetta;
            QVERIFY(file.leggiFoto(p, fotoAttesa) && d.leggiFoto(p, fotoLetta));
            QCOMPARE(fotoLetta, fotoAttesa);
        }
        QList<Movimento> righe, attese;
        QVERIFY(d.movimentiScheda(1, righe) && file.movimentiScheda(1, attese));
        QCOMPARE(righe, attese);
        QCOMPARE(d.eliminate().size(), 1);
        // This workstation's password stays as it is, and the program
        // folder holds no archive of its own.
        QCOMPARE(Leggi(programma.percorso(u"unins000.dll"_s)),
                 QByteArray("[Accesso]\r\nValore=BADA55\r\n"));
        QVERIFY(!QFile::exists(programma.percorso(u"Magazzino.pro"_s)));
        // The data of before the restore were backed up first.
        QCOMPARE(BackupPresenti(backup.path()).size(), 2);
    }

    // A server that stops in the middle of a restore or of a backup: a clear
    // message, the server's archive as it was, no zip.
    void serverFermo() {
        CartellaDiProva programma;
        QTemporaryDir origine, backup;
        archivioSulServer(origine.path());
        if (QTest::currentTestFailed()) return;
        const EsitoBackup fatto =
            EseguiBackupDaCopia(programma.percorso(), backup.path(), ORA, Copie());
        QVERIFY2(fatto.riuscito, qPrintable(fatto.messaggio));
        Deposito &d = DepositoCorrente();
        QCOMPARE(d.accoda(SchedaNumero(7)), 3);

        for (const QString &quando : {u"schede"_s, u"movimenti"_s, u"eliminate"_s, u"verifica"_s}) {
            ImpostaPassoTrasloco([&](const QString &passo) {
                if (passo == quando) QVERIFY(m_server->ferma(true));
            });
            const EsitoRipristino esito =
                RipristinaInCopia(fatto.percorso, programma.percorso(), Copie());
            ImpostaPassoTrasloco({});
            QVERIFY(!esito.riuscito);
            QVERIFY(esito.messaggio.startsWith(u"Attenzione: il ripristino non è stato eseguito e "
                                               u"l'archivio è rimasto come era."_s));
            QVERIFY(m_server->avvia());
            QCOMPARE(d.conta(), 3);
            TScheda s;
            QVERIFY(d.leggi(3, s));
            QVERIFY(s.byte == SchedaNumero(7).byte);
        }

        QVERIFY(m_server->ferma(true));
        const EsitoBackup senzaServer =
            EseguiBackupDaCopia(programma.percorso(), backup.path(), ORA.addSecs(120), Copie());
        QVERIFY(!senzaServer.riuscito);
        QVERIFY(senzaServer.messaggio.startsWith(
            u"Attenzione: il backup non è stato eseguito: l'archivio non può essere letto."_s));
        QCOMPARE(
            QDir(backup.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QFileInfo(fatto.percorso).fileName()});
    }
};

int main(int argc, char *argv[]) {
    // The same program plays the other copy that adds cards.
    if (argc == 4 && qstrcmp(argv[1], "--accoda") == 0)
        return Accoda(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 5 && qstrcmp(argv[1], "--ripristina") == 0)
        return RipristinaFinoAl(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                std::atoi(argv[4]));
    if (argc == 5 && qstrcmp(argv[1], "--backup") == 0)
        return BackupFinoAlla(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                              std::atoi(argv[4]));
    QApplication applicazione(argc, argv);
    TestBackup test;
    QTEST_SET_MAIN_SOURCE_PATH
    const int esito = QTest::qExec(&test, argc, argv);
    TestBackupServer suServer;
    return esito | QTest::qExec(&suServer, argc, argv);
}
#include "tst_backup.moc"
