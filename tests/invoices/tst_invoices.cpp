#include "ArchivioInUso.h"
#include "Fixture.h"

#include "DialoghiFinti.h"
#include "Scorciatoie.h"
#include "archive/Archivio.h"
#include "archive/CartellaProgramma.h"
#include "archive/IntentoArchivio.h"
#include "invoices/AbbinamentiFattura.h"
#include "invoices/CaricoFattura.h"
#include "invoices/ComandoFattura.h"
#include "invoices/FatturaElettronica.h"
#include "invoices/TfrmFattura.h"
#include "journal/Giornale.h"
#include "journal/Movimenti.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <csignal>
#include <zip.h>

using namespace Qt::StringLiterals;
using Piattaforma::Risposta;

namespace {

// One DettaglioLinee; `altro` goes inside it as written (codes, discounts).
QString Riga(int numero, const QString &descrizione, const QString &quantita, const QString &prezzo,
             const QString &totale, const QString &altro = {}) {
    return u"<DettaglioLinee><NumeroLinea>"_s + QString::number(numero) + u"</NumeroLinea>"_s +
           altro + u"<Descrizione>"_s + descrizione + u"</Descrizione>"_s +
           (quantita.isEmpty() ? QString()
                               : u"<Quantita>"_s + quantita +
                                     u"</Quantita><UnitaMisura>PZ"
                                     u"</UnitaMisura>"_s) +
           u"<PrezzoUnitario>"_s + prezzo + u"</PrezzoUnitario><PrezzoTotale>"_s + totale +
           u"</PrezzoTotale><AliquotaIVA>22.00</AliquotaIVA></DettaglioLinee>"_s;
}

QString Codice(const QString &tipo, const QString &valore) {
    return u"<CodiceArticolo><CodiceTipo>"_s + tipo + u"</CodiceTipo><CodiceValore>"_s + valore +
           u"</CodiceValore></CodiceArticolo>"_s;
}

QString Corpo(const QString &numero, const QString &righe, const QString &tipo = u"TD01"_s,
              const QString &data = u"2025-03-14"_s, const QString &altro = {}) {
    return u"<FatturaElettronicaBody><DatiGenerali><DatiGeneraliDocumento><TipoDocumento>"_s +
           tipo + u"</TipoDocumento><Divisa>EUR</Divisa><Data>"_s + data + u"</Data><Numero>"_s +
           numero +
           u"</Numero><ImportoTotaleDocumento>100.00</ImportoTotaleDocumento>"
           u"</DatiGeneraliDocumento>"_s +
           altro + u"</DatiGenerali><DatiBeniServizi>"_s + righe +
           u"</DatiBeniServizi></FatturaElettronicaBody>"_s;
}

QString Anagrafica(const QString &denominazione = u"Ferramenta Rossi srl"_s) {
    return u"<Anagrafica><Denominazione>"_s + denominazione + u"</Denominazione></Anagrafica>"_s;
}

// A whole invoice with the namespace under `prefisso` (none when empty).
QByteArray Xml(const QString &corpi, const QString &prefisso = u"p"_s,
               const QString &anagrafica = Anagrafica()) {
    const QString p = prefisso.isEmpty() ? QString() : prefisso + u':';
    const QString ns = prefisso.isEmpty() ? u"xmlns"_s : u"xmlns:"_s + prefisso;
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<"_s + p +
            u"FatturaElettronica versione=\"FPR12\" "_s + ns +
            u"=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2\">"
            u"<FatturaElettronicaHeader><CedentePrestatore><DatiAnagrafici><IdFiscaleIVA>"
            u"<IdPaese>IT</IdPaese><IdCodice>01234567890</IdCodice></IdFiscaleIVA>"_s +
            anagrafica +
            u"</DatiAnagrafici></CedentePrestatore><ElementoSconosciuto>x</ElementoSconosciuto>"
            u"</FatturaElettronicaHeader>"_s +
            corpi + u"</"_s + p + u"FatturaElettronica>"_s)
        .toUtf8();
}

// The usual invoice of the tests: an EAN line, a supplier-code line with two
// discounts, a line no card has, and the transport.
QByteArray FatturaDiProva(const QString &numero = u"12/A"_s, const QString &tipo = u"TD01"_s,
                          const QString &pagamento = {}) {
    const QString righe =
        Riga(1, u"Vite 4x40"_s, u"10.00"_s, u"0.50"_s, u"5.00"_s,
             Codice(u"EAN"_s, u"8001234567890"_s) + Codice(u"SKU"_s, u"V440"_s)) +
        Riga(2, u"Tassello 8"_s, u"4.00"_s, u"2.00000000"_s, u"5.76"_s,
             Codice(u"Codice fornitore"_s, u"TS8"_s) +
                 u"<ScontoMaggiorazione><Tipo>SC</Tipo><Percentuale>20.00</Percentuale>"
                 u"</ScontoMaggiorazione><ScontoMaggiorazione><Tipo>SC</Tipo><Importo>0.16"
                 u"</Importo></ScontoMaggiorazione>"_s) +
        Riga(3, u"Martello nuovo"_s, u"1.00"_s, u"12.34567890"_s, u"12.35"_s,
             Codice(u"SKU"_s, u"MRT1"_s)) +
        Riga(4, u"Spese di trasporto"_s, {}, u"8.00"_s, u"8.00"_s);
    return Xml(Corpo(numero, righe, tipo, u"2025-03-14"_s,
                     u"<DatiDDT><NumeroDDT>77</NumeroDDT><DataDDT>2025-03-10</DataDDT>"
                     u"<RiferimentoNumeroLinea>1</RiferimentoNumeroLinea></DatiDDT>"_s) +
               pagamento);
}

QString Pagamento(const QDate &scadenza) {
    return u"<DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento>"
           u"<DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento>"
           u"<DataScadenzaPagamento>"_s +
           scadenza.toString(Qt::ISODate) +
           u"</DataScadenzaPagamento><ImportoPagamento>30.00</ImportoPagamento>"
           u"</DettaglioPagamento></DatiPagamento>"_s;
}

// The invoice with its payment inside its body.
QByteArray FatturaConPagamento(const QString &numero, const QDate &scadenza) {
    QByteArray xml = FatturaDiProva(numero);
    xml.replace("</DatiBeniServizi>",
                QByteArray("</DatiBeniServizi>" + Pagamento(scadenza).toUtf8()));
    return xml;
}

TScheda Carta(const QString &codice, const QString &nome, const QString &giacenza,
              const QString &costo = u"0,40"_s) {
    return SchedaDiProva({{Campo::Codice, codice},
                          {Campo::Costo, costo},
                          {Campo::Nome, nome},
                          {Campo::Giacenza, giacenza},
                          {Campo::Tipologia, u"Ferramenta"_s},
                          {Campo::Pagato, u"Sì"_s}});
}

QByteArray ArchivioDiProva() {
    return ArchivioDi({Carta(u"8001234567890"_s, u"Vite 4x40"_s, u"5"_s),
                       Carta(u"ts8"_s, u"Tassello 8 mm"_s, u"2"_s, u"1,00"_s),
                       Carta(u"X9"_s, u"Chiodo"_s, u"100"_s)});
}

TScheda Leggi(const CartellaDiProva &c, qint64 posizione) {
    TScheda s;
    Archivio a(c.archivio());
    if (!a.ApriArchivio() || !a.leggi(posizione, s)) qWarning("scheda %lld illeggibile", posizione);
    return s;
}

QList<Movimento> Giornale() {
    QList<Movimento> righe;
    LeggiGiornale(PercorsoGiornale(), {}, [&](const Movimento &m, qint64) {
        righe << m;
        return true;
    });
    return righe;
}

QString ScriviFattura(const CartellaDiProva &c, const QString &nome, const QByteArray &byte) {
    const QString percorso = c.percorso(u"arrivi/"_s + nome);
    QDir().mkpath(QFileInfo(percorso).path());
    Scrivi(percorso, byte);
    return percorso;
}

QPushButton *Pulsante(QWidget *w, const char *nome) {
    auto *b = w->findChild<QPushButton *>(QString::fromLatin1(nome));
    if (!b) qWarning("manca %s", nome);
    return b;
}

// Runs `openssl` with the arguments in `cartella`; false when it fails.
bool Openssl(const QString &cartella, const QStringList &argomenti) {
    QProcess p;
    p.setWorkingDirectory(cartella);
    p.start(u"openssl"_s, argomenti);
    return FinitoEntro(p, 60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A signed envelope of `contenuto`, made with a throwaway key and certificate.
QByteArray Firma(const QByteArray &contenuto, bool der = true) {
    QTemporaryDir cartella;
    const QString c = cartella.path();
    Scrivi(c + u"/documento"_s, contenuto);
    if (!Openssl(c, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-subj"_s,
                     u"/CN=Fornitore di prova"_s, u"-days"_s, u"1"_s, u"-keyout"_s, u"chiave.pem"_s,
                     u"-out"_s, u"certificato.pem"_s}) ||
        !Openssl(c, {u"cms"_s, u"-sign"_s, u"-binary"_s, u"-nodetach"_s, u"-in"_s, u"documento"_s,
                     u"-signer"_s, u"certificato.pem"_s, u"-inkey"_s, u"chiave.pem"_s,
                     u"-outform"_s, der ? u"DER"_s : u"PEM"_s, u"-out"_s, u"busta"_s}))
        return {};
    return ::Leggi(c + u"/busta"_s);
}

QByteArray Zip(const QList<std::pair<QString, QByteArray>> &membri) {
    QTemporaryDir cartella;
    const QByteArray percorso = QFile::encodeName(cartella.path() + u"/f.zip"_s);
    int errore = 0;
    zip_t *zip = zip_open(percorso.constData(), ZIP_CREATE | ZIP_TRUNCATE, &errore);
    if (!zip) return {};
    for (const auto &[nome, byte] : membri) {
        zip_source_t *s = zip_source_buffer(zip, byte.constData(), zip_uint64_t(byte.size()), 0);
        zip_file_add(zip, nome.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8);
    }
    if (zip_close(zip) != 0) return {};
    return ::Leggi(cartella.path() + u"/f.zip"_s);
}

// The usual invoice's goods: two cards of the archive and a new one.
RichiestaCarico RichiestaDiProva() {
    const auto file = LeggiFileFattura(u"IT01234567890_00001.xml"_s, FatturaDiProva());
    RichiestaCarico r;
    r.fattura = file[0].fatture[0];
    r.ditta = r.fattura.fornitore.denominazione;
    r.nomeFile = file[0].nome;
    r.originale = file[0].originale;
    r.voci = {
        VoceCarico{0, 1, u"8001234567890"_s, {}, 10}, VoceCarico{1, 2, u"ts8"_s, {}, 4},
        VoceCarico{2, 0, u"MRT1"_s, {u"MRT1"_s, u"Martello"_s, u"Utensili"_s, u"12,35"_s}, 1}};
    return r;
}

// The child of the crash test: loads the invoice and dies at step `passo`.
int CaricaEMuori(const QString &cartella, int passo) {
    int n = 0;
    ImpostaPassoArchivio([&] {
        if (++n == passo) ::raise(SIGKILL);
    });
    ImpostaCartellaProgramma(cartella);
    const RichiestaCarico r = RichiestaDiProva();
    const EsitoCarico esito = ApplicaCarico(r, PercorsoArchivio(), PercorsoGiornale());
    return esito.fatto ? 0 : 1;
}

} // namespace

class TestInvoices : public QObject {
    Q_OBJECT
    ServerDeiTest server;
  private slots:
    void initTestCase() { server.avvia(); }
    void cleanupTestCase() { server.ferma(); }
    void lettura();
    void formeDelFile_data();
    void formeDelFile();
    void prezzoNetto_data();
    void prezzoNetto();
    void fileRifiutati_data();
    void fileRifiutati();
    void bustaFirmata();
    void zipDiFatture();
    void abbinamenti();
    void codiciConfrontati_data();
    void codiciConfrontati();
    void caricoDallaFinestra();
    void secondaVoltaRifiutata();
    void sceltePerLaProssima();
    void notaDiCredito();
    void quantitaConDecimali_data();
    void quantitaConDecimali();
    void testoCheNonEntra();
    void pagamentoFuturo();
    void interrottoAdOgniPasso();
    void fattureProtette();
    void suDueArchivi_data() { DueArchivi(); }
    void suDueArchivi();
    void serverFermoNelCarico();
    void stessaFatturaDaDueSiti();
};

void TestInvoices::lettura() {
    const LetturaFattura letta = LeggiFatturaXml(FatturaDiProva());
    QCOMPARE(letta.errore, QString());
    QCOMPARE(letta.fatture.size(), 1);
    const Fattura &f = letta.fatture[0];
    QCOMPARE(f.fornitore.denominazione, u"Ferramenta Rossi srl"_s);
    QCOMPARE(f.fornitore.identita(), u"IT01234567890"_s);
    QCOMPARE(f.numero, u"12/A"_s);
    QCOMPARE(f.data, QDate(2025, 3, 14));
    QCOMPARE(f.tipo, u"TD01"_s);
    QCOMPARE(f.ddt.size(), 1);
    QCOMPARE(f.ddt[0].numero, u"77"_s);
    QCOMPARE(f.ddt[0].righe, QStringList{u"1"_s});
    QCOMPARE(f.righe.size(), 4);
    QCOMPARE(f.righe[0].codici.size(), 2);
    QCOMPARE(f.righe[0].codici[1].tipo, u"SKU"_s);
    QCOMPARE(f.righe[0].codici[1].valore, u"V440"_s);
    QCOMPARE(TestoNumero(f.righe[0].quantita), u"10,00"_s);
    QCOMPARE(f.righe[0].unitaMisura, u"PZ"_s);
    QCOMPARE(TestoNumero(f.righe[2].prezzoUnitario), u"12,34567890"_s);
    QCOMPARE(f.righe[1].sconti.size(), 2);
    QVERIFY(!f.righe[3].quantita.presente());
    QCOMPARE(TestoNumero(f.righe[3].aliquotaIva), u"22,00"_s);
}

void TestInvoices::formeDelFile_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("fatture");
    QTest::addColumn<int>("righe");
    QTest::addColumn<QString>("fornitore");
    QTest::addColumn<QString>("descrizione");
    const QString una = Riga(1, u"Più però"_s, u"1.00"_s, u"1.00"_s, u"1.00"_s);
    QTest::newRow("senza prefisso")
        << Xml(Corpo(u"1"_s, una), {}) << 1 << 1 << u"Ferramenta Rossi srl"_s << u"Più però"_s;
    QTest::newRow("prefisso qualunque") << Xml(Corpo(u"1"_s, una), u"ns3"_s) << 1 << 1
                                        << u"Ferramenta Rossi srl"_s << u"Più però"_s;
    QTest::newRow("lotto di due") << Xml(Corpo(u"1"_s, una) + Corpo(u"2"_s, una + una)) << 2 << 2
                                  << u"Ferramenta Rossi srl"_s << u"Più però"_s;
    QTest::newRow("nome e cognome")
        << Xml(Corpo(u"1"_s, una), u"p"_s,
               u"<Anagrafica><Nome>Mario</Nome><Cognome>Bianchi</Cognome></Anagrafica>"_s)
        << 1 << 1 << u"Mario Bianchi"_s << u"Più però"_s;
    QByteArray latino = Xml(Corpo(u"1"_s, una));
    latino.replace("UTF-8", "ISO-8859-1");
    latino.replace("Più però", "Pi\xF9 per\xF2");
    QTest::newRow("ISO-8859-1") << latino << 1 << 1 << u"Ferramenta Rossi srl"_s << u"Più però"_s;
    QByteArray windows = Xml(Corpo(u"1"_s, Riga(1, u"€ più"_s, u"1.00"_s, u"1.00"_s, u"1.00"_s)));
    windows.replace("UTF-8", "windows-1252");
    windows.replace("€ più", "\x80 pi\xF9");
    QTest::newRow("Windows-1252") << windows << 1 << 1 << u"Ferramenta Rossi srl"_s << u"€ più"_s;
    const QString utf16 =
        QString::fromUtf8(Xml(Corpo(u"1"_s, una))).replace(u"UTF-8"_s, u"UTF-16"_s);
    QByteArray sedici("\xFF\xFE");
    sedici += QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2);
    QTest::newRow("UTF-16 con BOM")
        << sedici << 1 << 1 << u"Ferramenta Rossi srl"_s << u"Più però"_s;
    QString molte;
    for (int i = 1; i <= 5000; ++i)
        molte += Riga(i, u"Articolo "_s + QString::number(i), u"3.00"_s, u"1.25"_s, u"3.75"_s,
                      Codice(u"EAN"_s, QString::number(8000000000000LL + i)));
    QTest::newRow("5000 righe") << Xml(Corpo(u"1"_s, molte)) << 1 << 5000
                                << u"Ferramenta Rossi srl"_s << u"Articolo 1"_s;
}

void TestInvoices::formeDelFile() {
    QFETCH(QByteArray, xml);
    QFETCH(int, fatture);
    QFETCH(int, righe);
    QFETCH(QString, fornitore);
    QFETCH(QString, descrizione);
    const LetturaFattura letta = LeggiFatturaXml(xml);
    QCOMPARE(letta.errore, QString());
    QCOMPARE(letta.fatture.size(), fatture);
    QCOMPARE(letta.fatture.last().righe.size(), righe);
    QCOMPARE(letta.fatture[0].fornitore.denominazione, fornitore);
    QCOMPARE(letta.fatture[0].righe[0].descrizione, descrizione);
}

void TestInvoices::prezzoNetto_data() {
    QTest::addColumn<QString>("sconti");
    QTest::addColumn<QString>("costo");
    const auto sc = [](const char *tipo, const char *cosa, const char *valore) -> QString {
        return u"<ScontoMaggiorazione><Tipo>"_s + QString::fromLatin1(tipo) + u"</Tipo><"_s +
               QString::fromLatin1(cosa) + u'>' + QString::fromLatin1(valore) + u"</"_s +
               QString::fromLatin1(cosa) + u"></ScontoMaggiorazione>"_s;
    };
    QTest::newRow("nessuno") << QString() << u"10,00"_s;
    QTest::newRow("20% poi 10%") << sc("SC", "Percentuale", "20.00") + sc("SC", "Percentuale", "10")
                                 << u"7,20"_s;
    QTest::newRow("importo poi percentuale")
        << sc("SC", "Importo", "2.00") + sc("SC", "Percentuale", "50.00") << u"4,00"_s;
    QTest::newRow("percentuale poi importo")
        << sc("SC", "Percentuale", "50.00") + sc("SC", "Importo", "2.00") << u"3,00"_s;
    QTest::newRow("maggiorazione") << sc("MG", "Percentuale", "5.5") << u"10,55"_s;
    QTest::newRow("tre decimali") << sc("SC", "Percentuale", "33.33333333") << u"6,6667"_s;
}

void TestInvoices::prezzoNetto() {
    QFETCH(QString, sconti);
    QFETCH(QString, costo);
    const LetturaFattura letta = LeggiFatturaXml(
        Xml(Corpo(u"1"_s, Riga(1, u"a"_s, u"1.00"_s, u"10.00"_s, u"10.00"_s, sconti))));
    QCOMPARE(letta.errore, QString());
    QCOMPARE(CostoDaPrezzo(letta.fatture[0].righe[0].prezzoNetto()), costo);
}

void TestInvoices::fileRifiutati_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<QString>("motivo");
    const QByteArray buona = FatturaDiProva();
    QTest::newRow("vuoto") << u"a.xml"_s << QByteArray() << u"è vuoto"_s;
    QTest::newRow("non XML") << u"a.xml"_s << QByteArray("ciao, non sono una fattura")
                             << u"non è un file XML valido (errore alla riga 1, colonna 1)"_s;
    QTest::newRow("altro XML") << u"a.xml"_s << QByteArray("<?xml version=\"1.0\"?><ordine/>")
                               << u"non è una fattura elettronica (FatturaPA)"_s;
    QTest::newRow("notifica")
        << u"IT01234567890_00001_RC_001.xml"_s
        << QByteArray("<?xml version=\"1.0\"?><ns2:RicevutaConsegna "
                      "xmlns:ns2=\"http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/"
                      "v1.0\"><IdentificativoSdI>1</IdentificativoSdI></ns2:RicevutaConsegna>")
        << u"è una notifica del Sistema di Interscambio (RicevutaConsegna), non una fattura"_s;
    QTest::newRow("senza righe") << u"a.xml"_s << Xml(Corpo(u"5"_s, {}))
                                 << u"ha la fattura n. 5 del 14/03/2025 senza righe"_s;
    QTest::newRow("senza corpo") << u"a.xml"_s << Xml({})
                                 << u"non contiene alcuna fattura (manca il corpo)"_s;
    QTest::newRow("troncato") << u"a.xml"_s << buona.left(buona.size() * 2 / 3)
                              << u"è incompleto: il file si interrompe prima della fine"_s;
    QTest::newRow("bomba di entità")
        << u"a.xml"_s
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\">"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                      "<FatturaElettronica>&c;</FatturaElettronica>")
        << u"contiene una dichiarazione DTD, che una fattura elettronica non ha: per sicurezza "
           "non viene letto"_s;
    QTest::newRow("entità esterna")
        << u"a.xml"_s
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM "
                      "\"file:///etc/passwd\">]><FatturaElettronica>&x;</FatturaElettronica>")
        << u"contiene una dichiarazione DTD, che una fattura elettronica non ha: per sicurezza "
           "non viene letto"_s;
    QByteArray quantita = buona;
    quantita.replace("<Quantita>10.00", "<Quantita>10,00");
    QTest::newRow("quantità con la virgola")
        << u"a.xml"_s << quantita
        << u"ha un valore non valido in Quantita della riga 1: «10,00» (si scrive con il punto e "
           "al più 8 decimali, per esempio 12.50)"_s;
    QByteArray decimali = buona;
    decimali.replace("12.34567890", "12.345678901");
    QTest::newRow("nove decimali")
        << u"a.xml"_s << decimali
        << u"ha un valore non valido in PrezzoUnitario della riga 3: «12.345678901» (si scrive "
           "con il punto e al più 8 decimali, per esempio 12.50)"_s;
    QByteArray codifica = buona;
    codifica.replace("UTF-8", "EBCDIC");
    QTest::newRow("codifica sconosciuta")
        << u"a.xml"_s << codifica
        << u"dichiara la codifica «ebcdic», che il programma non sa leggere"_s;
    QByteArray rotto = buona;
    rotto.replace("Vite 4x40", "Vite \xFF\xFE");
    QTest::newRow("UTF-8 non valido")
        << u"a.xml"_s << rotto << u"contiene caratteri che non sono testo UTF-8 valido"_s;
    QTest::newRow("p7m che non è una busta")
        << u"a.xml.p7m"_s << QByteArray("non una busta")
        << u"non è una busta firmata .p7m leggibile (né DER né base64)"_s;
    QTest::newRow("zip danneggiato") << u"a.zip"_s << QByteArray("PK\x03\x04rotto")
                                     << u"è un archivio zip danneggiato o incompleto"_s;
}

void TestInvoices::fileRifiutati() {
    QFETCH(QString, nome);
    QFETCH(QByteArray, byte);
    QFETCH(QString, motivo);
    const QList<FileFattura> file = LeggiFileFattura(nome, byte);
    QCOMPARE(file.size(), 1);
    QCOMPARE(file[0].errore, u"Attenzione: il file «"_s + nome + u"» "_s + motivo + u'.');
    QVERIFY(file[0].fatture.isEmpty());
}

void TestInvoices::bustaFirmata() {
    const QByteArray xml = FatturaDiProva();
    const QByteArray der = Firma(xml);
    QVERIFY2(!der.isEmpty(), "openssl non ha firmato");
    QString errore;
    QCOMPARE(SbustaP7m(der, errore), xml);
    QCOMPARE(errore, QString());
    // The same envelope as base64 text, with and without its header lines.
    QCOMPARE(SbustaP7m(der.toBase64(), errore), xml);
    const QByteArray pem = Firma(xml, false);
    QVERIFY(pem.startsWith("-----BEGIN"));
    QCOMPARE(SbustaP7m(pem, errore), xml);
    auto file = LeggiFileFattura(u"IT01234567890_abc.xml.p7m"_s, der);
    QCOMPARE(file.size(), 1);
    QCOMPARE(file[0].errore, QString());
    QCOMPARE(file[0].fatture[0].numero, u"12/A"_s);
    QCOMPARE(file[0].originale, der); // kept as received

    // A damaged envelope is said, never taken for something else.
    file = LeggiFileFattura(u"f.p7m"_s, der.left(der.size() / 2));
    QCOMPARE(file[0].errore,
             u"Attenzione: il file «f.p7m» è una busta firmata .p7m danneggiata o incompleta."_s);
    QByteArray alterata = der;
    alterata[1] = char(0x05);
    file = LeggiFileFattura(u"f.p7m"_s, alterata);
    QVERIFY(!file[0].errore.isEmpty());
    // A signed text that is not an invoice.
    file = LeggiFileFattura(u"t.p7m"_s, Firma("solo testo"));
    QCOMPARE(file[0].errore, u"Attenzione: il file «t.p7m» contiene un documento che non è un "
                             "file XML valido (errore alla riga 1, colonna 1)."_s);
}

void TestInvoices::zipDiFatture() {
    const QByteArray zip = Zip({{u"cartella/uno.xml"_s, FatturaDiProva(u"1"_s)},
                                {u"due.xml.p7m"_s, Firma(FatturaDiProva(u"2"_s))},
                                {u"leggimi.txt"_s, "altro"},
                                {u"tre.xml"_s, "<RicevutaScarto/>"}});
    QVERIFY(!zip.isEmpty());
    const QList<FileFattura> file = LeggiFileFattura(u"fatture.zip"_s, zip);
    QCOMPARE(file.size(), 3);
    QCOMPARE(file[0].nome, u"uno.xml"_s);
    QCOMPARE(file[0].fatture[0].numero, u"1"_s);
    QCOMPARE(file[1].fatture[0].numero, u"2"_s);
    QCOMPARE(file[2].errore, u"Attenzione: il file «tre.xml» è una notifica del Sistema di "
                             "Interscambio (RicevutaScarto), non una fattura."_s);
    QCOMPARE(LeggiFileFattura(u"vuoto.zip"_s, Zip({{u"a.txt"_s, "x"}}))[0].errore,
             u"Attenzione: il file «vuoto.zip» non contiene fatture (file .xml o .p7m)."_s);
}

void TestInvoices::codiciConfrontati_data() {
    QTest::addColumn<QString>("scheda");
    QTest::addColumn<QString>("riga");
    QTest::addColumn<bool>("trovata");
    QTest::newRow("maiuscole") << u"ts8"_s << u"TS8"_s << true;
    QTest::newRow("spazi intorno alla riga") << u"TS8"_s << u"  ts8 "_s << true;
    QTest::newRow("spazio in mezzo") << u"A B"_s << u"a b"_s << true;
    QTest::newRow("spazio in mezzo diverso") << u"A B"_s << u"ab"_s << false;
    QTest::newRow("accento") << u"CAFÉ-1"_s << u"café-1"_s << true;
    QTest::newRow("accento mancante") << u"ÉCRU"_s << u"ecru"_s << false;
    QTest::newRow("segno Kelvin") << u"K1"_s << u"\u212A1"_s << true;
    QTest::newRow("simboli") << u"A-1/2.#"_s << u"a-1/2.#"_s << true;
}

void TestInvoices::codiciConfrontati() {
    // Plain ASCII codes are compared from the card's bytes, the others from
    // the decoded text: both as the user reads them.
    QFETCH(QString, scheda);
    QFETCH(QString, riga);
    QFETCH(bool, trovata);
    CartellaDiProva cartella;
    cartella.scriviArchivio(
        ArchivioDi({Carta(u"ALTRO"_s, u"a"_s, u"1"_s), Carta(scheda, u"b"_s, u"1"_s)}));
    Fattura f;
    f.fornitore.partitaIva = u"01234567890"_s;
    RigaFattura r;
    r.codici << CodiceArticolo{u"SKU"_s, riga};
    f.righe << r;
    const QList<AbbinamentoRiga> a = AbbinaRighe(f, AbbinamentiRicordati(), cartella.archivio());
    QCOMPARE(a[0].stato == StatoAbbinamento::Scheda, trovata);
    if (trovata) QCOMPARE(a[0].scheda.posizione, 2);
}

void TestInvoices::abbinamenti() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    const Fattura f = LeggiFatturaXml(FatturaDiProva()).fatture[0];
    AbbinamentiRicordati ricordati;
    QVERIFY(ricordati.leggi(cartella.percorso(u"AbbinamentiFatture.json"_s)));
    QList<AbbinamentoRiga> a = AbbinaRighe(f, ricordati, cartella.archivio());
    QCOMPARE(a.size(), 4);
    QCOMPARE(a[0].stato, StatoAbbinamento::Scheda);
    QCOMPARE(a[0].origine, OrigineAbbinamento::Ean);
    QCOMPARE(a[0].scheda.posizione, 1);
    // The supplier's code, capitals and small letters alike.
    QCOMPARE(a[1].origine, OrigineAbbinamento::CodiceFornitore);
    QCOMPARE(a[1].scheda.posizione, 2);
    QCOMPARE(a[2].stato, StatoAbbinamento::DaScegliere);
    QCOMPARE(a[2].nuova.codice, u"MRT1"_s);
    QCOMPARE(a[2].nuova.costo, u"12,3457"_s);
    QCOMPARE(a[3].stato, StatoAbbinamento::NonMerce);
    // What was chosen before comes first, even over an EAN.
    ricordati.ricorda(f.fornitore.identita(), AbbinamentiRicordati::chiavi(f.righe[0]), u"X9"_s);
    ricordati.ricorda(f.fornitore.identita(), AbbinamentiRicordati::chiavi(f.righe[2]), QString());
    QVERIFY(ricordati.scrivi(cartella.percorso(u"AbbinamentiFatture.json"_s)));
    AbbinamentiRicordati riletti;
    QVERIFY(riletti.leggi(cartella.percorso(u"AbbinamentiFatture.json"_s)));
    a = AbbinaRighe(f, riletti, cartella.archivio());
    QCOMPARE(a[0].origine, OrigineAbbinamento::Ricordata);
    QCOMPARE(a[0].scheda.posizione, 3);
    QCOMPARE(a[2].stato, StatoAbbinamento::NonMerce);
    // Another supplier's choices are not this one's.
    Fattura altra = f;
    altra.fornitore.partitaIva = u"09876543210"_s;
    a = AbbinaRighe(altra, riletti, cartella.archivio());
    QCOMPARE(a[0].origine, OrigineAbbinamento::Ean);
    // Two cards with one code: the user chooses.
    cartella.scriviArchivio(
        ArchivioDi({Carta(u"TS8"_s, u"a"_s, u"1"_s), Carta(u"ts8"_s, u"b"_s, u"1"_s)}));
    a = AbbinaRighe(f, AbbinamentiRicordati(), cartella.archivio());
    QCOMPARE(a[1].stato, StatoAbbinamento::DaScegliere);
    QCOMPARE(a[1].nota, u"più schede hanno il codice TS8"_s);
}

namespace {

// Active, so its Alt shortcuts work as they do for the user.
void Attiva(QWidget *f) {
    QApplication::setActiveWindow(f);
    QVERIFY(QTest::qWaitForWindowActive(f));
}

// Opens the window on `percorso` through the command, and plays `copione` in it.
void ConFinestra(DialoghiFinti &dialoghi, const QString &percorso,
                 const std::function<void(TfrmFattura *)> &copione) {
    dialoghi.allaProssimaFinestra([&](QDialog *d) {
        auto *f = qobject_cast<TfrmFattura *>(d);
        QVERIFY(f);
        Attiva(f);
        copione(f);
        d->reject();
    });
    CaricaDaFattura(nullptr, {percorso});
}

// The preview's script: looks at its lines, then loads.
void ConfermaAnteprima(DialoghiFinti &dialoghi, QStringList *righe = nullptr) {
    dialoghi.allaProssimaFinestra([righe](QDialog *a) {
        auto *griglia = a->findChild<QTableWidget *>(u"grdAnteprima"_s);
        QVERIFY(griglia);
        if (righe)
            for (int r = 0; r < griglia->rowCount(); ++r) {
                QStringList celle;
                for (int c = 0; c < griglia->columnCount(); ++c)
                    celle << griglia->item(r, c)->text();
                *righe << celle.join(u" | "_s);
            }
        QTest::mouseClick(Pulsante(a, "btnConferma"), Qt::LeftButton);
    });
}

} // namespace

void TestInvoices::caricoDallaFinestra() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    DialoghiFinti dialoghi;
    const QByteArray xml = FatturaDiProva();
    const QString percorso = ScriviFattura(cartella, u"IT01234567890_00001.xml"_s, xml);
    QStringList anteprima;
    ConFinestra(dialoghi, percorso, [&](TfrmFattura *f) {
        auto *intestazione = f->findChild<QLabel *>(u"lblIntestazione"_s);
        QCOMPARE(intestazione->text(),
                 u"Fornitore: Ferramenta Rossi srl – partita IVA IT01234567890\n"
                 "Fattura (TD01) n. 12/A del 14/03/2025 – totale 100,00 EUR – 4 righe\n"
                 "DDT n. 77 del 10/03/2025 (righe 1)"_s);
        auto *griglia = f->findChild<QTableWidget *>(u"grdRighe"_s);
        QCOMPARE(griglia->rowCount(), 4);
        QCOMPARE(griglia->item(1, 6)->text(), u"-20,00% -0,16"_s);
        QCOMPARE(griglia->item(0, 9)->text(), u"8001234567890 – Vite 4x40 (codice EAN)"_s);
        QCOMPARE(griglia->item(2, 9)->text(), u"Da scegliere"_s);
        QCOMPARE(griglia->item(3, 9)->text(), u"Non è merce (senza quantità)"_s);
        // Loading with a line still to choose is stopped, the line named.
        QTest::mouseClick(Pulsante(f, "btnCarica"), Qt::LeftButton);
        QCOMPARE(dialoghi.ultimo(), u"Attenzione: la riga 3 («Martello nuovo») non ha ancora "
                                    "una scheda: sceglierla, crearne una nuova o indicarla come "
                                    "«Non è merce»."_s);
        QCOMPARE(griglia->currentRow(), 2);
        // A new card for it, its name shortened by the user.
        dialoghi.allaProssimaFinestra([](QDialog *n) {
            auto *nome = n->findChild<QLineEdit *>(u"txtNome"_s);
            QCOMPARE(nome->text(), u"Martello nuovo"_s);
            nome->clear();
            QTest::keyClicks(nome, u"Martello"_s);
            QTest::mouseClick(Pulsante(n, "btnOk"), Qt::LeftButton);
        });
        // A letter for each control, none twice.
        int lettere = 0;
        QCOMPARE(ScorciatoieDoppie(f, &lettere), QStringList());
        QCOMPARE(lettere, 9);
        QTest::keyClick(f->windowHandle(), Qt::Key_N, Qt::AltModifier);
        QTRY_COMPARE(griglia->item(2, 9)->text(), u"Nuova scheda: MRT1 – Martello"_s);
        ConfermaAnteprima(dialoghi, &anteprima);
        QTest::mouseClick(Pulsante(f, "btnCarica"), Qt::LeftButton);
        QCOMPARE(f->caricate(), 1);
        QVERIFY(!Pulsante(f, "btnCarica")->isEnabled());
    });
    QCOMPARE(anteprima, QStringList({u"8001234567890 | Vite 4x40 | 5 → 15 | 0,40 → 0,50"_s,
                                     u"ts8 | Tassello 8 mm | 2 → 6 | 1,00 → 1,44"_s,
                                     u"MRT1 | Martello | nuova → 1 | nuova → 12,3457"_s}));
    QCOMPARE(dialoghi.ultimo(), u"Fattura caricata: 3 schede. Il file è conservato in "
                                "Fatture/2025/IT01234567890_00001.xml."_s);
    // Every card, and its line in the journal with the invoice's note.
    Archivio a(cartella.archivio());
    QVERIFY(a.ApriArchivio());
    QCOMPARE(a.conta(), 4);
    const TScheda vite = Leggi(cartella, 1);
    QCOMPARE(vite.testo(Campo::Giacenza), u"15"_s);
    QCOMPARE(vite.testo(Campo::Costo), u"0,50"_s);
    QCOMPARE(vite.testo(Campo::Ditta), u"Ferramenta Rossi srl"_s);
    QCOMPARE(vite.testo(Campo::Documento), u"Fattura n. 12/A del 14/03/2025"_s);
    QCOMPARE(vite.testo(Campo::Pagato), u"Sì"_s); // no payment data: left as it was
    const TScheda martello = Leggi(cartella, 4);
    QCOMPARE(martello.testo(Campo::Codice), u"MRT1"_s);
    QCOMPARE(martello.testo(Campo::Nome), u"Martello"_s);
    QCOMPARE(martello.testo(Campo::Giacenza), u"1"_s);
    QCOMPARE(martello.testo(Campo::UM), u"PZ"_s);
    QCOMPARE(martello.testo(Campo::Tipologia), u"Da classificare"_s);
    QCOMPARE(Leggi(cartella, 3).testo(Campo::Giacenza), u"100"_s);
    const QList<Movimento> righe = Giornale();
    QCOMPARE(righe.size(), 4);
    const QString nota = u"Fattura 12/A del 14/03/2025 – Ferramenta Rossi srl"_s;
    QCOMPARE(righe[0].tipo, TipoMovimento::Carico);
    QCOMPARE(righe[0].posizione, 1);
    QCOMPARE(righe[0].quantita, 10);
    QCOMPARE(righe[0].prima, 5);
    QCOMPARE(righe[0].nota, nota);
    QCOMPARE(righe[1].quantita, 4);
    QCOMPARE(righe[2].tipo, TipoMovimento::NuovaScheda);
    QCOMPARE(righe[2].quantita, 0);
    QCOMPARE(righe[3].tipo, TipoMovimento::Carico);
    QCOMPARE(righe[3].posizione, 4);
    QCOMPARE(righe[3].quantita, 1);
    // Kept as received, byte for byte.
    QCOMPARE(::Leggi(cartella.percorso(u"Fatture/2025/IT01234567890_00001.xml"_s)), xml);
    QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
}

void TestInvoices::secondaVoltaRifiutata() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    DialoghiFinti dialoghi;
    const QString percorso = ScriviFattura(cartella, u"f.xml"_s, FatturaDiProva());
    const auto file = LeggiFileFattura(u"f.xml"_s, FatturaDiProva());
    RichiestaCarico r;
    r.fattura = file[0].fatture[0];
    r.ditta = u"Rossi"_s;
    r.nomeFile = u"f.xml"_s;
    r.originale = file[0].originale;
    r.voci = {VoceCarico{0, 1, u"8001234567890"_s, {}, 10}};
    QVERIFY(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).fatto);
    const QByteArray archivio = cartella.leggiArchivio();
    const QByteArray giornale = ::Leggi(PercorsoGiornale());
    const auto quando = FatturaGiaCaricata(r.fattura, PercorsoGiornale());
    QVERIFY(quando);
    const QString messaggio = u"Attenzione: la fattura n. 12/A del 14/03/2025 di Ferramenta "
                              "Rossi srl è già stata caricata il "_s +
                              quando->toString(u"dd/MM/yyyy 'alle' HH:mm"_s) +
                              u": non viene caricata una seconda volta."_s;
    // Applied again directly, and from the window.
    QCOMPARE(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).messaggio, messaggio);
    ConFinestra(dialoghi, percorso, [&](TfrmFattura *f) {
        f->findChild<QTableWidget *>(u"grdRighe"_s)->setCurrentCell(2, 0);
        f->btnNonMerceClick();
        f->btnCaricaClick();
        QCOMPARE(dialoghi.ultimo(), messaggio);
        QCOMPARE(f->caricate(), 0);
    });
    QCOMPARE(cartella.leggiArchivio(), archivio);
    QCOMPARE(::Leggi(PercorsoGiornale()), giornale);
    // Another number of the same supplier goes in.
    r.fattura.numero = u"13"_s;
    QVERIFY(!FatturaGiaCaricata(r.fattura, PercorsoGiornale()));
    QVERIFY(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).fatto);
    // The same file name kept twice: the second under a name of its own.
    QVERIFY(QFile::exists(cartella.percorso(u"Fatture/2025/f.xml"_s)));
    QVERIFY(!QFile::exists(cartella.percorso(u"Fatture/2025/f (2).xml"_s)));
}

void TestInvoices::sceltePerLaProssima() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    DialoghiFinti dialoghi;
    ConFinestra(dialoghi, ScriviFattura(cartella, u"a.xml"_s, FatturaDiProva(u"1"_s)),
                [&](TfrmFattura *f) {
                    auto *griglia = f->findChild<QTableWidget *>(u"grdRighe"_s);
                    // Line 3 goes to the card "Chiodo", chosen by a search.
                    griglia->setCurrentCell(2, 0);
                    dialoghi.allaProssimaFinestra([](QDialog *s) {
                        auto *cerca = s->findChild<QLineEdit *>(u"txtCerca"_s);
                        cerca->clear();
                        QTest::keyClicks(cerca, u"chio"_s);
                        auto *elenco = s->findChild<QListWidget *>(u"lstSchede"_s);
                        QCOMPARE(elenco->count(), 1);
                        QTest::keyClick(cerca, Qt::Key_Down);
                        QTest::keyClick(elenco, Qt::Key_Return);
                    });
                    QTest::keyClick(griglia, Qt::Key_Return);
                    QCOMPARE(griglia->item(2, 9)->text(), u"X9 – Chiodo"_s);
                    // The transport is not goods, chosen again explicitly.
                    griglia->setCurrentCell(3, 0);
                    QTest::mouseClick(Pulsante(f, "btnNonMerce"), Qt::LeftButton);
                    QCOMPARE(griglia->item(3, 9)->text(), u"Non è merce"_s);
                    ConfermaAnteprima(dialoghi);
                    f->btnCaricaClick();
                    QCOMPARE(f->caricate(), 1);
                });
    // The next invoice of the supplier finds them.
    ConFinestra(dialoghi, ScriviFattura(cartella, u"b.xml"_s, FatturaDiProva(u"2"_s)),
                [&](TfrmFattura *f) {
                    auto *griglia = f->findChild<QTableWidget *>(u"grdRighe"_s);
                    QCOMPARE(griglia->item(2, 9)->text(), u"X9 – Chiodo (come l'ultima volta)"_s);
                    QCOMPARE(griglia->item(3, 9)->text(), u"Non è merce"_s);
                    QCOMPARE(f->findChild<QLabel *>(u"lblRiepilogo"_s)->text(),
                             u"4 righe: 3 con la loro scheda, 0 nuove, 1 non merce, 0 da "
                             "scegliere."_s);
                });
    QVERIFY(dialoghi.rimasteAperte().isEmpty());
}

void TestInvoices::notaDiCredito() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    DialoghiFinti dialoghi;
    const QString righe = Riga(1, u"Vite 4x40 resa"_s, u"3.00"_s, u"0.50"_s, u"1.50"_s,
                               Codice(u"EAN"_s, u"8001234567890"_s));
    const QString percorso =
        ScriviFattura(cartella, u"nc.xml"_s, Xml(Corpo(u"NC1"_s, righe, u"TD04"_s)));
    ConFinestra(dialoghi, percorso, [&](TfrmFattura *f) {
        QCOMPARE(Pulsante(f, "btnCarica")->text(), u"S&carica..."_s);
        QVERIFY(!Pulsante(f, "btnNuova")->isEnabled());
        // No: nothing happens.
        dialoghi.rispondi(Risposta::No);
        f->btnCaricaClick();
        QCOMPARE(dialoghi.ultimo(), u"Questa è una nota di credito: le quantità delle sue righe "
                                    "vengono tolte dalla giacenza delle schede (Scarico). "
                                    "Procedere?"_s);
        QCOMPARE(f->caricate(), 0);
        dialoghi.rispondi(Risposta::Si);
        ConfermaAnteprima(dialoghi);
        f->btnCaricaClick();
        QCOMPARE(f->caricate(), 1);
    });
    const TScheda vite = Leggi(cartella, 1);
    QCOMPARE(vite.testo(Campo::Giacenza), u"2"_s);
    QCOMPARE(vite.testo(Campo::Costo), u"0,40"_s); // a credit note leaves the cost
    const QList<Movimento> m = Giornale();
    QCOMPARE(m.size(), 1);
    QCOMPARE(m[0].tipo, TipoMovimento::Scarico);
    QCOMPARE(m[0].quantita, -3);
    QCOMPARE(m[0].nota, u"Nota di credito NC1 del 14/03/2025 – Ferramenta Rossi srl"_s);
}

void TestInvoices::quantitaConDecimali_data() {
    QTest::addColumn<int>("risposta");
    QTest::addColumn<QString>("giacenza");
    QTest::addColumn<int>("caricate");
    QTest::newRow("arrotondata") << int(Risposta::Si) << u"8"_s << 1;
    QTest::newRow("riga non caricata") << int(Risposta::No) << u"5"_s << 1;
    QTest::newRow("annulla") << int(Risposta::Annulla) << u"5"_s << 0;
}

void TestInvoices::quantitaConDecimali() {
    QFETCH(int, risposta);
    QFETCH(QString, giacenza);
    QFETCH(int, caricate);
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    DialoghiFinti dialoghi;
    const QString righe =
        Riga(1, u"Vite"_s, u"2.50"_s, u"1.00"_s, u"2.50"_s, Codice(u"EAN"_s, u"8001234567890"_s)) +
        Riga(2, u"Chiodi"_s, u"1.000"_s, u"1.00"_s, u"1.00"_s, Codice(u"SKU"_s, u"X9"_s));
    const QString percorso = ScriviFattura(cartella, u"d.xml"_s, Xml(Corpo(u"D1"_s, righe)));
    ConFinestra(dialoghi, percorso, [&](TfrmFattura *f) {
        dialoghi.rispondi(Risposta(risposta));
        if (caricate) ConfermaAnteprima(dialoghi);
        f->btnCaricaClick();
        QCOMPARE(f->caricate(), caricate);
        QCOMPARE(dialoghi.mostrati()[0].testo,
                 u"La riga 1 («Vite») ha la quantità 2,50, ma la giacenza di una scheda è un "
                 "numero intero.\n\nSì: caricare 3 (arrotondata).\nNo: non caricare questa "
                 "riga.\nAnnulla: tornare alla fattura."_s);
    });
    QCOMPARE(Leggi(cartella, 1).testo(Campo::Giacenza), giacenza);
    // "1.000" is a whole number: no question for it.
    QCOMPARE(Leggi(cartella, 3).testo(Campo::Giacenza), caricate ? u"101"_s : u"100"_s);
}

void TestInvoices::testoCheNonEntra() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    const QByteArray prima = cartella.leggiArchivio();
    const auto file = LeggiFileFattura(u"f.xml"_s, FatturaDiProva());
    RichiestaCarico r;
    r.fattura = file[0].fatture[0];
    r.nomeFile = u"f.xml"_s;
    r.voci = {VoceCarico{0, 1, u"8001234567890"_s, {}, 10}};
    r.ditta = QString(51, u'R');
    QCOMPARE(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).messaggio,
             u"Attenzione: «"_s + r.ditta +
                 u"» (fornitore) ha 51 caratteri, ma il campo Ditta fornitrice della scheda ne "
                 "tiene al più 50: accorciarlo prima di caricare."_s);
    r.ditta = u"Rossi ✓"_s;
    QCOMPARE(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).messaggio,
             u"Attenzione: il carattere «✓» di «Rossi ✓» (fornitore) non può essere scritto nel "
             "campo Ditta fornitrice della scheda: sostituirlo prima di caricare."_s);
    r.ditta = u"Rossi"_s;
    r.voci = {VoceCarico{2, 0, {}, {u"M1"_s, QString(60, u'a'), u"x"_s, u"1"_s}, 1}};
    QVERIFY(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale())
                .messaggio.contains(u"ha 60 caratteri, ma il campo Nome"_s));
    // A new card with a code a card already has.
    r.voci = {VoceCarico{2, 0, {}, {u"x9"_s, u"Chiodo"_s, u"x"_s, u"1"_s}, 1}};
    QCOMPARE(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).messaggio,
             u"Attenzione: il codice «x9» di una nuova scheda è già della scheda n. 3: "
             "sceglierla invece di crearne una nuova."_s);
    // A stock beyond the field's four characters.
    r.voci = {VoceCarico{0, 1, u"8001234567890"_s, {}, 9995}};
    QCOMPARE(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).messaggio,
             u"Attenzione: la giacenza della scheda 8001234567890 – Vite 4x40 diventerebbe "
             "10000, che non entra nei 4 caratteri del campo Giacenza: nulla è stato "
             "caricato."_s);
    QCOMPARE(cartella.leggiArchivio(), prima);
    QVERIFY(!QFile::exists(PercorsoGiornale()));
    QVERIFY(!QFileInfo::exists(cartella.percorso(u"Fatture"_s)));
}

void TestInvoices::pagamentoFuturo() {
    CartellaDiProva cartella;
    cartella.scriviArchivio(ArchivioDiProva());
    const QDate scadenza = QDate::currentDate().addDays(30);
    const auto file = LeggiFileFattura(u"f.xml"_s, FatturaConPagamento(u"P1"_s, scadenza));
    QCOMPARE(file[0].errore, QString());
    RichiestaCarico r;
    r.fattura = file[0].fatture[0];
    r.ditta = u"Rossi"_s;
    r.nomeFile = u"f.xml"_s;
    r.costo = PoliticaCosto::SoloSePiuAlto;
    r.voci = {VoceCarico{0, 1, u"8001234567890"_s, {}, 10}, VoceCarico{1, 2, u"ts8"_s, {}, 4}};
    QVERIFY(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).fatto);
    const TScheda vite = Leggi(cartella, 1);
    QCOMPARE(vite.testo(Campo::Pagato), u"No"_s);
    QCOMPARE(vite.testo(Campo::DataSca), scadenza.toString(u"dd/MM/yyyy"_s));
    QCOMPARE(vite.testo(Campo::Pagamento), u"Bonifico"_s);
    QCOMPARE(vite.testo(Campo::Costo), u"0,50"_s);               // higher than 0,40
    QCOMPARE(Leggi(cartella, 2).testo(Campo::Costo), u"1,44"_s); // higher than 1,00
    r.fattura.numero = u"P2"_s;
    r.voci = {VoceCarico{0, 1, u"8001234567890"_s, {}, 1}};
    r.fattura.righe[0].prezzoUnitario.valore = 0.30;
    QVERIFY(ApplicaCarico(r, cartella.archivio(), PercorsoGiornale()).fatto);
    QCOMPARE(Leggi(cartella, 1).testo(Campo::Costo), u"0,50"_s); // lower: kept
}

void TestInvoices::interrottoAdOgniPasso() {
    // The child loads the invoice and is killed at every step in turn: the
    // archive, the journal and the kept file hold all of it or none of it.
    const QByteArray prima = ArchivioDiProva();
    int interrotti = 0;
    for (int passo = 1;; ++passo) {
        CartellaDiProva cartella;
        cartella.scriviArchivio(prima);
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::ForwardedChannels);
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"--carica"_s, cartella.percorso(), QString::number(passo)});
        QVERIFY(FinitoEntro(figlio, 60000));
        const bool interrotto = figlio.exitStatus() == QProcess::CrashExit;
        if (!interrotto) QCOMPARE(figlio.exitCode(), 0);
        Archivio archivio(cartella.archivio());
        QVERIFY(archivio.ApriArchivio());
        const qint64 schede = archivio.conta();
        archivio.chiudi();
        const QList<Movimento> righe = Giornale();
        const bool conservata =
            QFile::exists(cartella.percorso(u"Fatture/2025/IT01234567890_00001.xml"_s));
        if (schede == 3) {
            QCOMPARE(cartella.leggiArchivio(), prima);
            QVERIFY(righe.isEmpty());
            QVERIFY(!conservata);
        } else {
            QCOMPARE(schede, 4);
            QCOMPARE(righe.size(), 4);
            QCOMPARE(Leggi(cartella, 1).testo(Campo::Giacenza), u"15"_s);
            QCOMPARE(Leggi(cartella, 2).testo(Campo::Giacenza), u"6"_s);
            QCOMPARE(Leggi(cartella, 4).testo(Campo::Giacenza), u"1"_s);
            QVERIFY(conservata);
        }
        QVERIFY(!QFile::exists(IntentoArchivio::percorsoPer(cartella.archivio())));
        if (!interrotto) {
            QCOMPARE(schede, 4);
            QVERIFY2(interrotti >= 4, qPrintable(QString::number(interrotti)));
            break;
        }
        ++interrotti;
        QVERIFY2(passo < 40, "il figlio non arriva mai alla fine");
    }
}

void TestInvoices::fattureProtette() {
    CartellaDiProva cartella;
    QVERIFY(QDir().mkpath(cartella.percorso(u"Fatture/2025"_s)));
    Scrivi(cartella.percorso(u"Fatture/2025/f.xml"_s), "x");
    QVERIFY(FileDatiProgramma(cartella.percorso(u"Fatture"_s)));
    QVERIFY(FileDatiProgramma(cartella.percorso(u"Fatture/2025/f.xml"_s)));
    QVERIFY(FileDatiProgramma(cartella.percorso(u"Fatture/2025/nuovo.pdf"_s)));
    QVERIFY(FileDatiProgramma(cartella.percorso(u"AbbinamentiFatture.json"_s)));
    QVERIFY(!FileDatiProgramma(cartella.percorso(u"Fatture.pdf"_s)));
    QVERIFY(FileDiFattura(u"/tmp/a.XML.P7M"_s));
    QVERIFY(!FileDiFattura(u"/tmp/a.pdf"_s));
}

int main(int argc, char *argv[]) {
    // The same program is the child of the crash test.
    if (argc == 4 && qstrcmp(argv[1], "--carica") == 0)
        return CaricaEMuori(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    QApplication applicazione(argc, argv);
    TestInvoices test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_invoices.moc"

namespace {

QList<TScheda> SchedeDiProva() {
    return {Carta(u"8001234567890"_s, u"Vite 4x40"_s, u"5"_s),
            Carta(u"ts8"_s, u"Tassello 8 mm"_s, u"2"_s, u"1,00"_s),
            Carta(u"X9"_s, u"Chiodo"_s, u"100"_s)};
}

} // namespace

// Matching and receiving on the folder and on the server: the same cards,
// stocks and journal lines, and the same invoice refused the second time.
void TestInvoices::suDueArchivi() {
    QFETCH(QString, storage);
    server.riprendi();
    ArchivioInUso archivio(storage, server, SchedeDiProva());
    QVERIFY(archivio.pronto());
    const RichiestaCarico r = RichiestaDiProva();
    bool letto = false;
    const QList<AbbinamentoRiga> a =
        AbbinaRighe(r.fattura, AbbinamentiRicordati(), DepositoCorrente(), &letto);
    QVERIFY(letto);
    QCOMPARE(a[0].stato, StatoAbbinamento::Scheda);
    QCOMPARE(a[0].scheda.posizione, 1);
    QCOMPARE(a[1].scheda.posizione, 2);
    QCOMPARE(a[2].stato, StatoAbbinamento::DaScegliere);
    QCOMPARE(CercaSchede(DepositoCorrente(), u"tassello"_s).size(), 1);

    const PianoCarico piano = PreparaCarico(r, DepositoCorrente());
    QVERIFY2(piano.errore.isEmpty(), qPrintable(piano.errore));
    QCOMPARE(piano.schede.size(), 3);
    const EsitoCarico esito = ApplicaCarico(r, DepositoCorrente());
    QVERIFY2(esito.fatto, qPrintable(esito.messaggio));
    QCOMPARE(esito.schede, 3);
    QCOMPARE(::Leggi(esito.fileConservato), FatturaDiProva());

    QStringList viste;
    for (const TScheda &s : ArchivioInUso::schede())
        viste << s.testo(Campo::Codice) + u' ' + s.testo(Campo::Giacenza) + u' ' +
                     s.testo(Campo::Costo);
    QCOMPARE(viste, (QStringList{u"8001234567890 15 0,50"_s, u"ts8 6 1,44"_s, u"X9 100 0,40"_s,
                                 u"MRT1 1 12,35"_s}));
    const QString nota = u"Fattura 12/A del 14/03/2025 – Ferramenta Rossi srl"_s;
    QCOMPARE(
        ArchivioInUso::righe(),
        (QStringList{u"Carico 1 8001234567890 10 5 15 "_s + nota, u"Carico 2 ts8 4 2 6 "_s + nota,
                     u"Nuova scheda 4 MRT1 0 0 0 "_s + nota, u"Carico 4 MRT1 1 0 1 "_s + nota}));
    // Once only (its new card left out, which is now a card of the archive).
    RichiestaCarico ancoraUna = r;
    ancoraUna.voci.removeLast();
    const EsitoCarico ancora = ApplicaCarico(ancoraUna, DepositoCorrente());
    QVERIFY(!ancora.fatto);
    QVERIFY(ancora.messaggio.contains(u"è già stata caricata"_s));
    QCOMPARE(ArchivioInUso::righe().size(), 4);
}

namespace {

// A server storage on which another site does something just before this
// one starts its all-or-nothing change.
class DepositoConAltroSito : public DepositoServer {
  public:
    DepositoConAltroSito(Connessione &c, std::function<void()> altro)
        : DepositoServer(c), m_altro(std::move(altro)) {}
    bool inEsclusiva(const std::function<bool()> &lavoro) override {
        if (const auto altro = std::exchange(m_altro, {})) altro();
        return DepositoServer::inEsclusiva(lavoro);
    }

  private:
    std::function<void()> m_altro;
};

} // namespace

// Two sites load the same invoice at once: the one that comes second to
// write finds it loaded, and it is loaded once.
void TestInvoices::stessaFatturaDaDueSiti() {
    server.riprendi();
    const RichiestaCarico r = RichiestaDiProva();
    bool caricataAltrove = false;
    ArchivioInUso archivio(u"server"_s, server, SchedeDiProva(),
                           std::make_unique<DepositoConAltroSito>(server.connessione(), [&] {
                               Connessione altra(server.server().parametri());
                               DepositoServer sito(altra);
                               caricataAltrove = ApplicaCarico(r, sito).fatto;
                           }));
    QVERIFY(archivio.pronto());
    const EsitoCarico esito = ApplicaCarico(r, DepositoCorrente());
    QVERIFY(caricataAltrove);
    QVERIFY(!esito.fatto);
    QVERIFY2(esito.messaggio.contains(u"è già stata caricata"_s), qPrintable(esito.messaggio));
    QCOMPARE(ArchivioInUso::righe().size(), 4);
    QCOMPARE(ArchivioInUso::schede()[0].testo(Campo::Giacenza), u"15"_s);
}

// The server dies while the lines are written: a message, nothing of the
// invoice on the server, and no kept copy left behind.
void TestInvoices::serverFermoNelCarico() {
    server.riprendi();
    const QList<TScheda> prima = SchedeDiProva();
    ArchivioInUso archivio(
        u"server"_s, server, prima,
        std::make_unique<DepositoCheSiFerma>(server.connessione(), server.server()));
    QVERIFY(archivio.pronto());
    const EsitoCarico esito = ApplicaCarico(RichiestaDiProva(), DepositoCorrente());
    QVERIFY(!esito.fatto);
    QVERIFY(esito.messaggio.startsWith(u"Attenzione"_s));
    QVERIFY(
        !QFile::exists(archivio.cartella().percorso(u"Fatture/2025/IT01234567890_00001.xml"_s)));
    ImpostaDepositoCorrente(nullptr, {});
    server.riprendi();
    ImpostaDepositoCorrente(std::make_unique<DepositoServer>(server.connessione()), u"prova"_s);
    const QList<TScheda> dopo = ArchivioInUso::schede();
    QCOMPARE(dopo.size(), prima.size());
    for (qsizetype i = 0; i < dopo.size(); ++i)
        QCOMPARE(dopo[i].byte, prima[i].byte);
    QVERIFY(ArchivioInUso::righe().isEmpty());
}
