#include "invoices/FatturaElettronica.h"

#include "archive/Cp1252.h"
#include "archive/FileDiretto.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <fcntl.h>
#include <memory>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

using namespace Qt::StringLiterals;

namespace {

// Far beyond any invoice's nesting, short of what a hostile file could use.
constexpr int PROFONDITA_MASSIMA = 64;
// A text longer than this in one element is not an invoice's.
constexpr qsizetype TESTO_MASSIMO = 100000;
constexpr int RIGHE_MASSIME = 200000;
constexpr int MEMBRI_MASSIMI = 2000;

bool LeggiDecimale(const QString &testo, NumeroFattura &numero) {
    // [-]digits[.digits], up to 8 decimals as the schema allows.
    qsizetype i = 0;
    const qsizetype n = testo.size();
    if (i < n && testo[i] == u'-') ++i;
    const qsizetype inizioIntero = i;
    while (i < n && testo[i].isDigit() && testo[i].unicode() < 128)
        ++i;
    const qsizetype cifreIntere = i - inizioIntero;
    if (cifreIntere < 1 || cifreIntere > 15) return false;
    if (i < n) {
        if (testo[i] != u'.') return false;
        ++i;
        const qsizetype inizioDecimali = i;
        while (i < n && testo[i].isDigit() && testo[i].unicode() < 128)
            ++i;
        const qsizetype decimali = i - inizioDecimali;
        if (decimali < 1 || decimali > 8 || i != n) return false;
    }
    bool ok = false;
    numero.valore = testo.toDouble(&ok);
    numero.testo = testo;
    return ok;
}

QString Decodifica(const QByteArray &xml, QString &errore) {
    if (xml.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString testo = utf8(xml.mid(3));
        if (utf8.hasError()) errore = u"contiene caratteri che non sono testo UTF-8 valido"_s;
        return testo;
    }
    if (xml.startsWith("\xFF\xFE") || xml.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(xml.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                        : QStringDecoder::Utf16BE);
        QString testo = utf16(xml.mid(2));
        if (utf16.hasError()) errore = u"contiene caratteri che non sono testo UTF-16 valido"_s;
        return testo;
    }
    QString codifica = u"utf-8"_s;
    if (xml.startsWith("<?xml")) {
        const qsizetype fine = xml.indexOf("?>");
        const QByteArray dichiarazione = xml.left(fine < 0 ? 200 : fine);
        static const QRegularExpression espressione(
            uR"(encoding\s*=\s*["']([A-Za-z0-9._\-]{1,40})["'])"_s);
        const auto trovata = espressione.match(QString::fromLatin1(dichiarazione));
        if (trovata.hasMatch()) codifica = trovata.captured(1).toLower();
    }
    if (codifica == u"utf-8" || codifica == u"utf8") {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString testo = utf8(xml);
        if (utf8.hasError()) errore = u"contiene caratteri che non sono testo UTF-8 valido"_s;
        return testo;
    }
    if (codifica == u"iso-8859-1" || codifica == u"latin1" || codifica == u"iso_8859-1" ||
        codifica == u"latin-1")
        return QString::fromLatin1(xml);
    if (codifica == u"windows-1252" || codifica == u"cp1252")
        return Cp1252::decodifica(xml.constData(), xml.size());
    if (codifica == u"iso-8859-15" || codifica == u"latin-9" || codifica == u"iso_8859-15") {
        QString testo = QString::fromLatin1(xml);
        for (QChar &c : testo) {
            switch (c.unicode()) {
            case 0xA4:
                c = QChar(0x20AC);
                break;
            case 0xA6:
                c = QChar(0x0160);
                break;
            case 0xA8:
                c = QChar(0x0161);
                break;
            case 0xB4:
                c = QChar(0x017D);
                break;
            case 0xB8:
                c = QChar(0x017E);
                break;
            case 0xBC:
                c = QChar(0x0152);
                break;
            case 0xBD:
                c = QChar(0x0153);
                break;
            case 0xBE:
                c = QChar(0x0178);
                break;
            default:
                break;
            }
        }
        return testo;
    }
    if (codifica == u"us-ascii" || codifica == u"ascii") {
        for (char c : xml)
            if (static_cast<unsigned char>(c) > 0x7F) {
                errore = u"contiene caratteri che la codifica dichiarata (ASCII) non ha"_s;
                return {};
            }
        return QString::fromLatin1(xml);
    }
    errore = u"dichiara la codifica «"_s + codifica + u"», che il programma non sa leggere"_s;
    return {};
}

// The notifications the exchange system sends back are XML files too.
bool NotificaSdi(QStringView nome) {
    static const QStringList NOMI{u"RicevutaConsegna"_s,
                                  u"NotificaMancataConsegna"_s,
                                  u"NotificaScarto"_s,
                                  u"NotificaEsito"_s,
                                  u"NotificaEsitoCommittente"_s,
                                  u"NotificaDecorrenzaTermini"_s,
                                  u"RicevutaImpossibilitaRecapito"_s,
                                  u"AttestazioneTrasmissioneFattura"_s,
                                  u"RicevutaScarto"_s,
                                  u"FileMetadati"_s,
                                  u"ScartoEsitoCommittente"_s};
    return NOMI.contains(nome.toString());
}

QString Dimmi(const RigaFattura &riga) {
    return u"la riga "_s + (riga.numero.isEmpty() ? u"?"_s : riga.numero);
}

class Lettore {
  public:
    explicit Lettore(const QString &testo) : m_xml(testo) {}

    LetturaFattura leggi() {
        LetturaFattura esito;
        esito.errore = scorri();
        if (esito.errore.isEmpty()) esito.errore = controlla();
        if (esito.errore.isEmpty()) esito.fatture = std::move(m_fatture);
        return esito;
    }

  private:
    QString scorri() {
        int profondita = 0;
        bool radice = false;
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::DTD:
                return u"contiene una dichiarazione DTD, che una fattura elettronica non ha: per "
                       u"sicurezza non viene letto"_s;
            case QXmlStreamReader::EntityReference:
                return u"usa entità non dichiarate, che una fattura elettronica non ha"_s;
            case QXmlStreamReader::StartElement: {
                if (++profondita > PROFONDITA_MASSIMA)
                    return u"ha una struttura annidata oltre ogni fattura elettronica"_s;
                const QStringView nome = m_xml.name();
                if (profondita == 1) {
                    radice = true;
                    if (NotificaSdi(nome))
                        return u"è una notifica del Sistema di Interscambio ("_s + nome.toString() +
                               u"), non una fattura"_s;
                    if (nome != u"FatturaElettronica")
                        return u"non è una fattura elettronica (FatturaPA)"_s;
                    m_versione = m_xml.attributes().value(u"versione"_s).toString();
                    break;
                }
                m_lunghezze.push_back(m_percorso.size());
                m_percorso += u'/';
                m_percorso += nome;
                m_testo.clear();
                if (const QString e = inizio(); !e.isEmpty()) return e;
                break;
            }
            case QXmlStreamReader::Characters:
                if (m_testo.size() + m_xml.text().size() > TESTO_MASSIMO)
                    return u"contiene un testo troppo lungo per una fattura"_s;
                m_testo += m_xml.text();
                break;
            case QXmlStreamReader::EndElement:
                --profondita;
                if (m_lunghezze.empty()) break;
                if (const QString e = fine(m_testo.trimmed()); !e.isEmpty()) return e;
                m_testo.clear();
                m_percorso.truncate(m_lunghezze.back());
                m_lunghezze.pop_back();
                break;
            default:
                break;
            }
        }
        if (m_xml.hasError()) {
            if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                return radice ? u"è incompleto: il file si interrompe prima della fine"_s
                              : u"è vuoto o non contiene XML"_s;
            return u"non è un file XML valido (errore alla riga "_s +
                   QString::number(m_xml.lineNumber()) + u", colonna "_s +
                   QString::number(m_xml.columnNumber()) + u')';
        }
        if (!radice) return u"è vuoto o non contiene XML"_s;
        return {};
    }

    Fattura *fattura() { return m_fatture.isEmpty() ? nullptr : &m_fatture.last(); }
    RigaFattura *riga() {
        Fattura *f = fattura();
        return f && !f->righe.isEmpty() ? &f->righe.last() : nullptr;
    }

    QString inizio() {
        static const QString CORPO = u"/FatturaElettronicaBody"_s;
        static const QString RIGA = u"/FatturaElettronicaBody/DatiBeniServizi/DettaglioLinee"_s;
        static const QString CODICE = RIGA + u"/CodiceArticolo"_s;
        static const QString SCONTO = RIGA + u"/ScontoMaggiorazione"_s;
        if (m_percorso == CORPO) {
            Fattura nuova;
            nuova.fornitore = m_fornitore;
            m_fatture << nuova;
        } else if (m_percorso == RIGA) {
            if (Fattura *f = fattura()) {
                if (f->righe.size() >= RIGHE_MASSIME)
                    return u"ha più righe di quante il programma ne possa caricare ("_s +
                           QString::number(RIGHE_MASSIME) + u')';
                f->righe << RigaFattura();
            }
        } else if (m_percorso == CODICE) {
            if (RigaFattura *r = riga()) r->codici << CodiceArticolo();
        } else if (m_percorso == SCONTO) {
            if (RigaFattura *r = riga()) r->sconti << ScontoMaggiorazione();
        } else if (m_percorso == u"/FatturaElettronicaBody/DatiGenerali/DatiDDT"_s) {
            if (Fattura *f = fattura()) f->ddt << DocumentoTrasporto();
        }
        return {};
    }

    QString numero(const QString &testo, NumeroFattura &numero, const QString &cosa) {
        return numeroDi(testo, numero, [&] { return cosa; });
    }
    // `cosa` names the field, asked only when the value does not read.
    template <typename Nome>
    QString numeroDi(const QString &testo, NumeroFattura &numero, const Nome &cosa) {
        if (LeggiDecimale(testo, numero)) return {};
        return u"ha un valore non valido in "_s + cosa() + u": «"_s + testo.left(40) +
               u"» (si scrive con il punto e al più 8 decimali, per esempio 12.50)"_s;
    }

    QString data(const QString &testo, QDate &data, const QString &cosa) {
        data = QDate::fromString(testo, Qt::ISODate);
        if (data.isValid() && testo.size() == 10) return {};
        return u"ha una data non valida in "_s + cosa + u": «"_s + testo.left(40) + u'»';
    }

    QString fine(const QString &testo) {
        static const QString ANAGRAFICI =
            u"/FatturaElettronicaHeader/CedentePrestatore/DatiAnagrafici"_s;
        static const QString DOCUMENTO =
            u"/FatturaElettronicaBody/DatiGenerali/DatiGeneraliDocumento/"_s;
        static const QString DDT = u"/FatturaElettronicaBody/DatiGenerali/DatiDDT/"_s;
        static const QString RIGA = u"/FatturaElettronicaBody/DatiBeniServizi/DettaglioLinee/"_s;
        static const QString PAGAMENTO =
            u"/FatturaElettronicaBody/DatiPagamento/DettaglioPagamento/"_s;
        const QString &p = m_percorso;
        if (p.startsWith(ANAGRAFICI)) {
            const QStringView resto = QStringView(p).mid(ANAGRAFICI.size());
            if (resto == u"/IdFiscaleIVA/IdPaese")
                m_fornitore.paese = testo;
            else if (resto == u"/IdFiscaleIVA/IdCodice")
                m_fornitore.partitaIva = testo;
            else if (resto == u"/CodiceFiscale")
                m_fornitore.codiceFiscale = testo;
            else if (resto == u"/Anagrafica/Denominazione")
                m_fornitore.denominazione = testo;
            else if (resto == u"/Anagrafica/Nome")
                m_nome = testo;
            else if (resto == u"/Anagrafica/Cognome")
                m_cognome = testo;
            else if (resto.isEmpty() && m_fornitore.denominazione.isEmpty())
                m_fornitore.denominazione = QString(m_nome + u' ' + m_cognome).trimmed();
            return {};
        }
        Fattura *f = fattura();
        if (!f) return {};
        if (p.startsWith(DOCUMENTO)) {
            const QStringView resto = QStringView(p).mid(DOCUMENTO.size());
            if (resto == u"TipoDocumento")
                f->tipo = testo;
            else if (resto == u"Divisa")
                f->divisa = testo;
            else if (resto == u"Numero")
                f->numero = testo;
            else if (resto == u"Data")
                return data(testo, f->data, u"Data del documento"_s);
            else if (resto == u"ImportoTotaleDocumento")
                return numero(testo, f->totale, u"ImportoTotaleDocumento"_s);
            return {};
        }
        if (p.startsWith(DDT) && !f->ddt.isEmpty()) {
            DocumentoTrasporto &d = f->ddt.last();
            const QStringView resto = QStringView(p).mid(DDT.size());
            if (resto == u"NumeroDDT")
                d.numero = testo;
            else if (resto == u"DataDDT")
                return data(testo, d.data, u"DataDDT"_s);
            else if (resto == u"RiferimentoNumeroLinea")
                d.righe << testo;
            return {};
        }
        if (p.startsWith(PAGAMENTO)) {
            const QStringView resto = QStringView(p).mid(PAGAMENTO.size());
            if (resto == u"ModalitaPagamento" && f->modalitaPagamento.isEmpty())
                f->modalitaPagamento = testo;
            else if (resto == u"DataScadenzaPagamento") {
                QDate scadenza;
                if (const QString e = data(testo, scadenza, u"DataScadenzaPagamento"_s);
                    !e.isEmpty())
                    return e;
                if (!f->scadenza.isValid() || scadenza > f->scadenza) f->scadenza = scadenza;
            }
            return {};
        }
        if (!p.startsWith(RIGA)) return {};
        RigaFattura *r = riga();
        if (!r) return {};
        const QStringView resto = QStringView(p).mid(RIGA.size());
        // Made only for a value that does not read.
        const auto dove = [r]() -> QString { return u" della "_s + Dimmi(*r).mid(3); };
        if (resto == u"NumeroLinea")
            r->numero = testo;
        else if (resto == u"Descrizione")
            r->descrizione = testo;
        else if (resto == u"UnitaMisura")
            r->unitaMisura = testo;
        else if (resto == u"Natura")
            r->natura = testo;
        else if (resto == u"Quantita")
            return numeroDi(testo, r->quantita,
                            [&]() -> QString { return u"Quantita"_s + dove(); });
        else if (resto == u"PrezzoUnitario")
            return numeroDi(testo, r->prezzoUnitario,
                            [&]() -> QString { return u"PrezzoUnitario"_s + dove(); });
        else if (resto == u"PrezzoTotale")
            return numeroDi(testo, r->prezzoTotale,
                            [&]() -> QString { return u"PrezzoTotale"_s + dove(); });
        else if (resto == u"AliquotaIVA")
            return numeroDi(testo, r->aliquotaIva,
                            [&]() -> QString { return u"AliquotaIVA"_s + dove(); });
        else if (resto == u"CodiceArticolo/CodiceTipo" && !r->codici.isEmpty())
            r->codici.last().tipo = testo;
        else if (resto == u"CodiceArticolo/CodiceValore" && !r->codici.isEmpty())
            r->codici.last().valore = testo;
        else if (resto == u"ScontoMaggiorazione/Tipo" && !r->sconti.isEmpty()) {
            if (testo != u"SC" && testo != u"MG")
                return u"ha un tipo di sconto non valido"_s + dove() + u": «"_s + testo.left(10) +
                       u"» (SC o MG)"_s;
            r->sconti.last().maggiorazione = testo == u"MG";
        } else if (resto == u"ScontoMaggiorazione/Percentuale" && !r->sconti.isEmpty())
            return numeroDi(testo, r->sconti.last().percentuale,
                            [&]() -> QString { return u"Percentuale dello sconto"_s + dove(); });
        else if (resto == u"ScontoMaggiorazione/Importo" && !r->sconti.isEmpty())
            return numeroDi(testo, r->sconti.last().importo,
                            [&]() -> QString { return u"Importo dello sconto"_s + dove(); });
        return {};
    }

    QString controlla() {
        if (m_fatture.isEmpty()) return u"non contiene alcuna fattura (manca il corpo)"_s;
        for (Fattura &f : m_fatture) {
            if (f.numero.isEmpty()) return u"ha una fattura senza numero"_s;
            if (!f.data.isValid()) return u"ha la fattura n. "_s + f.numero + u" senza data"_s;
            if (f.righe.isEmpty())
                return u"ha la fattura n. "_s + f.numero + u" del "_s +
                       f.data.toString(u"dd/MM/yyyy"_s) + u" senza righe"_s;
            for (RigaFattura &r : f.righe) {
                if (!r.prezzoUnitario.presente() || !r.prezzoTotale.presente())
                    return u"ha "_s + Dimmi(r) + u" della fattura n. "_s + f.numero +
                           u" senza prezzo unitario o senza prezzo totale"_s;
                for (auto &s : r.sconti)
                    if (!s.percentuale.presente() && !s.importo.presente())
                        return u"ha "_s + Dimmi(r) +
                               u" con uno sconto senza percentuale né "
                               u"importo"_s;
                r.codici.removeIf([](const CodiceArticolo &c) { return c.valore.isEmpty(); });
            }
        }
        return {};
    }

    QXmlStreamReader m_xml;
    QString m_percorso;
    std::vector<qsizetype> m_lunghezze;
    QString m_testo;
    QString m_versione;
    Fornitore m_fornitore;
    QString m_nome, m_cognome;
    QList<Fattura> m_fatture;
};

QString messaggioFile(const QString &nome, const QString &motivo) {
    return u"Attenzione: il file «"_s + nome + u"» "_s + motivo + u'.';
}

bool P7m(const QString &nome) {
    return nome.endsWith(u".p7m"_s, Qt::CaseInsensitive);
}

QByteArray Base64Busta(const QByteArray &busta) {
    // Headers such as "-----BEGIN PKCS7-----" and line breaks go.
    QByteArray pulito;
    pulito.reserve(busta.size());
    for (const QByteArray &riga : busta.split('\n')) {
        const QByteArray r = riga.trimmed();
        if (r.startsWith("-----")) continue;
        pulito += r;
    }
    auto decodificata =
        QByteArray::fromBase64Encoding(pulito, QByteArray::AbortOnBase64DecodingErrors);
    return decodificata ? *decodificata : QByteArray();
}

} // namespace

double RigaFattura::prezzoNetto() const {
    double prezzo = prezzoUnitario.valore;
    for (const ScontoMaggiorazione &s : sconti) {
        const double segno = s.maggiorazione ? 1.0 : -1.0;
        if (s.percentuale.presente())
            prezzo += segno * prezzo * s.percentuale.valore / 100.0;
        else
            prezzo += segno * s.importo.valore;
    }
    return prezzo;
}

bool RigaFattura::quantitaIntera() const {
    const qsizetype punto = quantita.testo.indexOf(u'.');
    if (punto < 0) return true;
    for (qsizetype i = punto + 1; i < quantita.testo.size(); ++i)
        if (quantita.testo[i] != u'0') return false;
    return true;
}

QString Fornitore::identita() const {
    if (!partitaIva.isEmpty()) return paese + partitaIva;
    return codiceFiscale;
}

QString NomeTipoDocumento(const QString &tipo) {
    static const QHash<QString, QString> NOMI{
        {u"TD01"_s, u"Fattura"_s},
        {u"TD02"_s, u"Acconto/anticipo su fattura"_s},
        {u"TD03"_s, u"Acconto/anticipo su parcella"_s},
        {u"TD04"_s, u"Nota di credito"_s},
        {u"TD05"_s, u"Nota di debito"_s},
        {u"TD06"_s, u"Parcella"_s},
        {u"TD16"_s, u"Integrazione fattura reverse charge interno"_s},
        {u"TD17"_s, u"Integrazione/autofattura per acquisto servizi dall'estero"_s},
        {u"TD18"_s, u"Integrazione per acquisto di beni intracomunitari"_s},
        {u"TD19"_s, u"Integrazione/autofattura per acquisto di beni ex art. 17 c. 2"_s},
        {u"TD20"_s, u"Autofattura per regolarizzazione"_s},
        {u"TD21"_s, u"Autofattura per splafonamento"_s},
        {u"TD22"_s, u"Estrazione beni da Deposito IVA"_s},
        {u"TD23"_s, u"Estrazione beni da Deposito IVA con versamento dell'IVA"_s},
        {u"TD24"_s, u"Fattura differita"_s},
        {u"TD25"_s, u"Fattura differita (triangolazione interna)"_s},
        {u"TD26"_s, u"Cessione di beni ammortizzabili e passaggi interni"_s},
        {u"TD27"_s, u"Fattura per autoconsumo o cessioni gratuite"_s},
        {u"TD28"_s, u"Acquisti da San Marino con IVA"_s},
    };
    return NOMI.value(tipo, tipo);
}

QString NomeModalitaPagamento(const QString &codice) {
    static const QHash<QString, QString> NOMI{
        {u"MP01"_s, u"Contanti"_s},
        {u"MP02"_s, u"Assegno"_s},
        {u"MP03"_s, u"Assegno circolare"_s},
        {u"MP04"_s, u"Contanti presso Tesoreria"_s},
        {u"MP05"_s, u"Bonifico"_s},
        {u"MP06"_s, u"Vaglia cambiario"_s},
        {u"MP07"_s, u"Bollettino bancario"_s},
        {u"MP08"_s, u"Carta di pagamento"_s},
        {u"MP09"_s, u"RID"_s},
        {u"MP10"_s, u"RID utenze"_s},
        {u"MP11"_s, u"RID veloce"_s},
        {u"MP12"_s, u"RIBA"_s},
        {u"MP13"_s, u"MAV"_s},
        {u"MP14"_s, u"Quietanza erario"_s},
        {u"MP15"_s, u"Giroconto su conti di contabilità speciale"_s},
        {u"MP16"_s, u"Domiciliazione bancaria"_s},
        {u"MP17"_s, u"Domiciliazione postale"_s},
        {u"MP18"_s, u"Bollettino di c/c postale"_s},
        {u"MP19"_s, u"SEPA Direct Debit"_s},
        {u"MP20"_s, u"SEPA Direct Debit CORE"_s},
        {u"MP21"_s, u"SEPA Direct Debit B2B"_s},
        {u"MP22"_s, u"Trattenuta su somme già riscosse"_s},
        {u"MP23"_s, u"PagoPA"_s},
    };
    return NOMI.value(codice, codice);
}

QString TestoNumero(const NumeroFattura &numero) {
    QString testo = numero.testo;
    testo.replace(u'.', u',');
    return testo;
}

LetturaFattura LeggiFatturaXml(const QByteArray &xml) {
    LetturaFattura esito;
    if (xml.trimmed().isEmpty()) {
        esito.errore = u"è vuoto"_s;
        return esito;
    }
    const QString testo = Decodifica(xml, esito.errore);
    if (!esito.errore.isEmpty()) return esito;
    // Read from text, the declaration's encoding is not applied a second time.
    Lettore lettore(testo);
    return lettore.leggi();
}

QByteArray SbustaP7m(const QByteArray &busta, QString &errore) {
    errore.clear();
    QByteArray der = busta;
    // DER starts with a SEQUENCE; anything else is taken for base64.
    if (der.isEmpty() || static_cast<unsigned char>(der[0]) != 0x30) der = Base64Busta(busta);
    if (der.isEmpty()) {
        errore = u"non è una busta firmata .p7m leggibile (né DER né base64)"_s;
        return {};
    }
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(der.constData(), int(qMin<qsizetype>(der.size(), INT_MAX))), &BIO_free);
    if (!bio) {
        errore = u"non può essere letto: memoria insufficiente"_s;
        return {};
    }
    const std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)> cms(
        d2i_CMS_bio(bio.get(), nullptr), &CMS_ContentInfo_free);
    ERR_clear_error();
    if (!cms) {
        errore = u"è una busta firmata .p7m danneggiata o incompleta"_s;
        return {};
    }
    if (OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed) {
        errore = u"non è una busta firmata .p7m (il contenuto non è firmato)"_s;
        return {};
    }
    ASN1_OCTET_STRING **contenuto = CMS_get0_content(cms.get());
    if (!contenuto || !*contenuto) {
        errore = u"è una busta firmata senza il documento (firma separata)"_s;
        return {};
    }
    const int lunghezza = ASN1_STRING_length(*contenuto);
    const unsigned char *dati = ASN1_STRING_get0_data(*contenuto);
    if (lunghezza <= 0 || !dati) {
        errore = u"è una busta firmata con il documento vuoto"_s;
        return {};
    }
    return QByteArray(reinterpret_cast<const char *>(dati), lunghezza);
}

namespace {

FileFattura LeggiUno(const QString &nome, const QByteArray &byte) {
    FileFattura file;
    file.nome = nome;
    file.originale = byte;
    QByteArray xml = byte;
    QString motivo;
    if (P7m(nome)) {
        xml = SbustaP7m(byte, motivo);
        if (!motivo.isEmpty()) {
            file.errore = messaggioFile(nome, motivo);
            return file;
        }
    }
    LetturaFattura letta = LeggiFatturaXml(xml);
    if (!letta.errore.isEmpty()) {
        file.errore = messaggioFile(nome, P7m(nome) ? u"contiene un documento che "_s + letta.errore
                                                    : letta.errore);
        return file;
    }
    file.fatture = std::move(letta.fatture);
    return file;
}

QList<FileFattura> LeggiZip(const QString &nome, const QByteArray &byte) {
    QList<FileFattura> file;
    zip_error_t errore;
    zip_error_init(&errore);
    zip_source_t *sorgente =
        zip_source_buffer_create(byte.constData(), zip_uint64_t(byte.size()), 0, &errore);
    zip_t *zip =
        sorgente ? zip_open_from_source(sorgente, ZIP_RDONLY | ZIP_CHECKCONS, &errore) : nullptr;
    zip_error_fini(&errore);
    if (!zip) {
        if (sorgente) zip_source_free(sorgente);
        return {FileFattura{nome,
                            {},
                            {},
                            messaggioFile(nome, u"è un archivio zip danneggiato o "
                                                u"incompleto"_s)}};
    }
    const zip_int64_t membri = zip_get_num_entries(zip, 0);
    QString difetto;
    for (zip_int64_t i = 0; i < membri && difetto.isEmpty(); ++i) {
        zip_stat_t info;
        zip_stat_init(&info);
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &info) != 0 || !info.name) continue;
        const QString membro = QString::fromUtf8(info.name);
        if (membro.endsWith(u'/')) continue;
        const QString base = QFileInfo(membro).fileName();
        if (base.startsWith(u'.')) continue;
        if (!base.endsWith(u".xml"_s, Qt::CaseInsensitive) && !P7m(base)) continue;
        if (file.size() >= MEMBRI_MASSIMI) {
            difetto = u"contiene troppi file"_s;
            break;
        }
        if (!(info.valid & ZIP_STAT_SIZE) || info.size > zip_uint64_t(DIMENSIONE_MASSIMA_FATTURA)) {
            difetto = u"contiene il file «"_s + base + u"», troppo grande per una fattura"_s;
            break;
        }
        zip_file_t *membroAperto = zip_fopen_index(zip, zip_uint64_t(i), 0);
        QByteArray dati(qsizetype(info.size), Qt::Uninitialized);
        const zip_int64_t letti =
            membroAperto ? zip_fread(membroAperto, dati.data(), zip_uint64_t(dati.size())) : -1;
        if (membroAperto) zip_fclose(membroAperto);
        if (letti != zip_int64_t(dati.size())) {
            difetto = u"è un archivio zip danneggiato o incompleto"_s;
            break;
        }
        file << LeggiUno(base, dati);
    }
    zip_close(zip);
    if (!difetto.isEmpty()) return {FileFattura{nome, {}, {}, messaggioFile(nome, difetto)}};
    if (file.isEmpty())
        return {FileFattura{nome,
                            {},
                            {},
                            messaggioFile(nome, u"non contiene fatture (file .xml "
                                                u"o .p7m)"_s)}};
    return file;
}

} // namespace

QList<FileFattura> LeggiFileFattura(const QString &nome, const QByteArray &byte) {
    if (byte.startsWith("PK\x03\x04") || byte.startsWith("PK\x05\x06") ||
        nome.endsWith(u".zip"_s, Qt::CaseInsensitive))
        return LeggiZip(nome, byte);
    return {LeggiUno(nome, byte)};
}

QList<FileFattura> ApriFileFattura(const QString &percorso) {
    const QString nome = QFileInfo(percorso).fileName();
    const int fd = ApriFileRegolare(percorso, O_RDONLY);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0) ::close(fd);
        return {FileFattura{nome, {}, {}, messaggioFile(nome, u"non può essere aperto"_s)}};
    }
    if (info.st_size > DIMENSIONE_MASSIMA_FATTURA) {
        ::close(fd);
        return {FileFattura{nome,
                            {},
                            {},
                            messaggioFile(nome, u"è troppo grande per una "
                                                u"fattura"_s)}};
    }
    QByteArray byte(qsizetype(info.st_size), Qt::Uninitialized);
    const bool letto = LeggiTutto(fd, byte.data(), byte.size(), 0);
    ::close(fd);
    if (!letto) return {FileFattura{nome, {}, {}, messaggioFile(nome, u"non può essere letto"_s)}};
    return LeggiFileFattura(nome, byte);
}
