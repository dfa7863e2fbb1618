#include "media/ComandiFoto.h"

#include "archive/FotoScheda.h"
#include "media/TfrmZoom.h"
#include "platform/Dialoghi.h"
#include "widgets/RiquadroFoto.h"

#include <QDir>

using Piattaforma::dialoghi;
using Piattaforma::ScegliFileDaSalvare;
using Piattaforma::TipoMessaggio;

QString TitoloApriFoto() {
    return QStringLiteral("Selezionare un file di immagine in formato Jpeg o Bitmap.");
}

QStringList FiltriApriFoto() {
    return {QStringLiteral("Immagine JPEG (*.jpg; *.jpeg)"),
            QStringLiteral("Immagine Bitmap (*.bmp)")};
}

QString TitoloSalvaFoto() {
    return QStringLiteral("Selezionare la cartella in cui si desidera salvare il file Jpeg.");
}

QStringList FiltriSalvaFoto() {
    return {QStringLiteral("File Jpeg (*.jpg)")};
}

void CaricaFoto(QWidget *finestra, RiquadroFoto *foto) {
    const QString percorso =
        dialoghi().scegliFileDaAprire(finestra, TitoloApriFoto(), FiltriApriFoto());
    if (percorso.isEmpty()) return;
    QByteArray originale;
    const QImage immagine = LeggiImmagine(percorso, &originale);
    if (immagine.isNull()) {
        dialoghi().messaggio(finestra, TipoMessaggio::Avviso,
                             QStringLiteral("Attenzione: il file \"") +
                                 QDir::toNativeSeparators(percorso) +
                                 QStringLiteral("\" non può essere letto come immagine.") +
                                 QStringLiteral("\n\nLa foto della scheda non è stata cambiata."));
        return;
    }
    foto->impostaImmagine(immagine, originale);
}

QString MessaggioFotoNonScritta(const QString &percorso) {
    return QStringLiteral("Attenzione: non è stato possibile scrivere la foto nel file \"") +
           QDir::toNativeSeparators(percorso) +
           QStringLiteral("\".\n\nControllare il nome del file e i permessi della cartella; la "
                          "foto visualizzata non è stata cambiata.");
}

bool SalvaCopiaFoto(QWidget *finestra, const RiquadroFoto *foto) {
    const QString percorso = ScegliFileDaSalvare(finestra, TitoloSalvaFoto(), FiltriSalvaFoto(),
                                                 QStringLiteral("Foto.jpg"));
    if (percorso.isEmpty()) return false;
    if (ScriviImmagine(percorso, foto->immagine(), foto->originale())) return true;
    dialoghi().messaggio(finestra, TipoMessaggio::Avviso, MessaggioFotoNonScritta(percorso));
    return false;
}

void CancellaFoto(RiquadroFoto *foto, const QImage &bianco) {
    foto->impostaImmagine(bianco);
}

void IngrandisciFoto(QWidget *proprietario, const QImage &foto) {
    TfrmZoom finestra(proprietario);
    finestra.imgFoto->impostaImmagine(foto.copy());
    dialoghi().esegui(&finestra);
}
