#include "access/ArgomentiGuida.h"

namespace {

// The program at a glance.
QString paragrafoA() {
    return QStringLiteral(
        "Quadrelo è un software facile e intuitivo studiato per catalogare beni, derrate, "
        "mercanzie e quant'altro venga commercializzato dalla propria ditta, visualizzare un "
        "elenco di tutti i prodotti in esaurimento, ottenere l'inventario parziale o totale della "
        "merce in magazzino con il valore complessivo del capitale in deposito, esportare in "
        "Microsoft Excel l'intero archivio degli articoli. Ogni scheda può inoltre contenere la "
        "foto del prodotto, acquisita direttamente con la propria WebCam.");
}

// The card window, paragraph by paragraph.
QStringList paragrafiMagazzino() {
    return {
        QStringLiteral(
            "L'applicazione Magazzino Prodotti serve a gestire la catalogazione della merce "
            "creando una scheda per ciascun prodotto. In ogni scheda si possono registrare il "
            "codice dell'articolo, il costo unitario, il nome del prodotto, la giacenza attuale, "
            "l'aspetto esteriore della merce, la categoria merceologica, le caratteristiche "
            "tecniche, la collocazione in magazzino, la ditta fornitrice, l'agente da contattare "
            "con il relativo recapito telefonico, gli estremi del documento di acquisto, le "
            "modalità di pagamento, la data di scadenza del pagamento o, per la merce deperibile, "
            "del prodotto stesso, il prezzo di vendita e qualsiasi altra annotazione."),
        QStringLiteral(
            "Per inserire la scheda di un prodotto nell'archivio del magazzino, bisogna premere il "
            "pulsante Nuovo, descrivere la merce compilando le caselle che interessano, caricare "
            "eventualmente la foto del prodotto e fare clic su Salva. Per aggiornare una scheda "
            "già presente in archivio, basta richiamarla con la funzione di ricerca oppure "
            "scorrendo le schede con le frecce di navigazione dei record, modificare i campi "
            "desiderati e fare clic su Salva."),
        QStringLiteral(
            "Per allegare una foto del prodotto, si può acquisirne l'immagine con la propria "
            "WebCam attivabile tramite il pulsante Acquisisci foto. Nella finestra che si apre "
            "bisogna accendere la WebCam, posizionare il prodotto davanti all'obiettivo, scattare "
            "la foto e importarla nella scheda; infine, occorre registrare la scheda in archivio "
            "facendo clic su Salva."),
        QStringLiteral(
            "La foto abbinata alla scheda viene ridotta in scala automaticamente per adeguarsi "
            "alle dimensioni del riquadro di anteprima. L'icona dello zoom permette di "
            "visualizzare l'immagine a tutto schermo. Per ritoccare la foto, basta salvarla su "
            "disco, modificarla con un qualsiasi programma di grafica e caricarla di nuovo nella "
            "scheda con il pulsante Carica foto. Allo stesso modo si può caricare una foto "
            "scattata con una fotocamera digitale e salvata in formato JPEG."),
        QStringLiteral(
            "Il campo Giacenza deve essere utilizzato per indicare la quantità di materiale "
            "disponibile in magazzino. Tale valore può essere aggiornato in qualsiasi momento "
            "attraverso i pulsanti del segno più e del segno meno che permettono di aggiungere o "
            "sottrarre un certo quantitativo di merce."),
        QStringLiteral(
            "Il campo Avviso n. pezzi rimasti permette di essere avvisati quando la giacenza di un "
            "articolo in magazzino diventa inferiore al valore minimo indicato. Per visualizzare "
            "l'elenco di tutti i prodotti in esaurimento, basta fare clic sul pulsante "
            "Sottoscorta."),
        QStringLiteral(
            "Il campo Categoria merceologica è molto importante ai fini della creazione degli "
            "inventari parziali, dal momento che serve ad associare l'articolo ad una determinata "
            "tipologia. Per questo motivo, in tutte le schede dei prodotti che devono far parte "
            "dello stesso inventario parziale bisogna scrivere in questo campo lo stesso identico "
            "valore."),
        QStringLiteral(
            "Il campo Note consente di registrare qualsiasi informazione aggiuntiva utile per "
            "identificare l'articolo in archivio tramite l'avanzata funzione di ricerca messa a "
            "disposizione dal programma. Ad esempio, si può annotare che il prodotto è stato "
            "prenotato da un acquirente, che presenta dei difetti oppure che è danneggiato. "),
        QStringLiteral(
            "Le ricerche funzionano anche con chiave parziale, ossia indicando una o più parole "
            "consecutive contenute in un qualsiasi campo. Una stessa ricerca può combinare più "
            "campi: in questo modo è possibile, ad esempio, elencare tutta la merce acquistata "
            "presso un determinato fornitore oppure tutti i materiali che presentano certe "
            "caratteristiche. I risultati di ogni ricerca possono essere stampati."),
        QStringLiteral(
            "L'utente del software ha la possibilità di allegare a ogni scheda non solo una foto "
            "del prodotto ma anche file esterni di qualsiasi tipo. Ad esempio, si può allegare un "
            "documento di videoscrittura in cui annotare tutti i carichi e gli scarichi della "
            "merce. Ogni allegato può essere descritto nella relativa casella di testo e aperto "
            "in qualsiasi momento con il pulsante Apri."),
        QStringLiteral(
            "Il pulsante Duplica serve a registrare più velocemente un nuovo prodotto simile ad un "
            "altro già presente in archivio. Basta visualizzare la scheda del vecchio prodotto "
            "con le frecce di navigazione dei record o con il pulsante Trova, fare clic su "
            "Duplica, modificare i campi che interessano, caricare eventualmente la foto del nuovo "
            "articolo e fare clic su Salva."),
        QStringLiteral(
            "La casella Pagato va spuntata se è stato effettuato il pagamento relativo "
            "all'acquisto del prodotto descritto nella scheda. Per visualizzare il riepilogo di "
            "tutti i pagamenti non ancora saldati, basta premere il pulsante Da saldare."),
        QStringLiteral(
            "La scheda di ciascun prodotto può essere visualizzata in anteprima o stampata su "
            "foglio A4 con o senza foto. Il pulsante Esporta archivio permette inoltre di "
            "esportare tutte le schede in un foglio di lavoro di Microsoft Excel, che potrà essere "
            "aperto con qualsiasi programma in grado di gestire i file in formato XLS, come Open "
            "Office, Libre Office o Microsoft Office."),
    };
}

// How to reach the inventory, as the launcher's topic tells it.
QString paragrafoD1() {
    return QStringLiteral(
        "L'applicazione Inventario Merce consente di visualizzare l'inventario di tutti i "
        "prodotti del proprio magazzino o soltanto di quelli appartenenti ad una tipologia. Per "
        "farlo, basta fare clic sulla scritta Inventario Merce presente nella schermata iniziale "
        "del programma, indicare una categoria merceologica nella casella della finestra "
        "successiva e premere il pulsante Visualizza. Premendo Visualizza senza indicare alcuna "
        "categoria si ottiene l'inventario di tutti gli articoli.");
}

QStringList paragrafiInventario() {
    return {
        QStringLiteral(
            "L'applicazione Inventario Merce consente di visualizzare l'inventario di tutti i "
            "prodotti del proprio magazzino o soltanto di quelli appartenenti ad una categoria "
            "merceologica. Per farlo, basta fare clic sul pulsante Inventario Merce presente "
            "nella schermata iniziale del programma, indicare una categoria merceologica nella "
            "casella della finestra successiva e premere il pulsante Visualizza. Premendo "
            "Visualizza senza indicare alcuna categoria si ottiene l'inventario di tutti gli "
            "articoli."),
        QStringLiteral(
            "La finestra dell'inventario mostra in apertura l'elenco dettagliato degli articoli, "
            "indicando per ciascuno di essi il codice identificativo, il nome del prodotto, "
            "l'eventuale data di scadenza, il costo, la giacenza e il valore ottenuto "
            "moltiplicando il costo per la giacenza. In fondo alla finestra compare il capitale "
            "complessivo in deposito, ossia la somma dei valori di tutti gli articoli elencati."),
        QStringLiteral(
            "Il pulsante Stampa inventario permette di ottenere su carta l'elenco della merce "
            "visualizzata in quel momento con l'indicazione in calce del valore complessivo."),
    };
}

QStringList paragrafiChiusura() {
    return {
        QStringLiteral(
            "Quadrelo funziona anche su chiavetta USB. A tal fine, basta copiare la cartella del "
            "programma su pen-drive e fare doppio clic sull'icona dell'applicazione per "
            "eseguirla. La copia della cartella su dispositivo esterno è anche il metodo più "
            "veloce per effettuare il backup dei dati archiviati."),
        QStringLiteral(
            "L'accesso al software è protetto da una password aggiornabile dall'utente che può "
            "essere cambiata tutte le volte che si desidera. Per il primo accesso al programma, "
            "bisogna utilizzare la parola chiave \"bilanciopronto\" (scritta senza le "
            "virgolette)."),
        QStringLiteral(
            "Quadrelo è quindi lo strumento ideale per chi vuole gestire in maniera veloce e "
            "professionale il magazzino della merce disponibile e in esaurimento, ottenendo con "
            "pochi clic l'inventario parziale e totale del materiale al fine di monitorare la "
            "giacenza di ogni singolo prodotto. Il programma, inoltre, non richiede praticamente "
            "alcun tempo di apprendimento."),
    };
}

QStringList paragrafiEsportazione() {
    return {
        QStringLiteral(
            "Il pulsante Esporta archivio consente di esportare le schede del magazzino prodotti "
            "in un foglio di lavoro di Microsoft Excel, che potrà essere aperto con qualsiasi "
            "software in grado di gestire i file in formato XLS (ad esempio, con Open Office, "
            "Libre Office o Microsoft Office)."),
        QStringLiteral(
            "Dopo aver aperto la finestra contenente la griglia dei dati, bisogna fare clic "
            "sull'icona di Excel. Questa operazione crea in tempo reale un file in formato XLS "
            "contenente le schede in archivio, che potrà essere aperto immediatamente rispondendo "
            "affermativamente al messaggio di domanda che appare."),
        QStringLiteral("A questo punto è sufficiente salvare il file sul proprio disco fisso "
                       "assegnandogli un nome qualsiasi."),
        QStringLiteral(
            "Accanto all'icona di Excel si trovano altri due formati. L'icona .xlsx crea il file "
            "Magazzino.xlsx, una cartella di lavoro in cui costi, giacenze e prezzi sono numeri "
            "pronti per i calcoli, con la riga dei titoli sempre in vista e i filtri già attivi. "
            "L'icona CSV crea il file Magazzino.csv, un testo con tutti i dati di ogni scheda, "
            "compresi la soglia di avviso e gli allegati, separati dal punto e virgola: è adatto "
            "ad altri programmi e alla conservazione dei dati."),
        QStringLiteral(
            "I tre file vengono scritti nella cartella del programma e sostituiscono quelli di "
            "un'esportazione precedente soltanto quando sono completi. Al termine, un messaggio "
            "indica il percorso completo del file creato."),
    };
}

QStringList paragrafiImportazione() {
    return {
        QStringLiteral(
            "Il pulsante Importa da CSV..., nella finestra dell'esportazione, legge un file CSV "
            "(per esempio il listino di un fornitore, o un file salvato da un foglio di calcolo) "
            "e aggiunge all'archivio una scheda per ogni riga nuova; una riga il cui codice "
            "articolo appartiene già a una scheda aggiorna quella scheda invece di crearne "
            "un'altra. Il file può essere in UTF-8 o in Windows-1252, con il punto e virgola, la "
            "virgola o la tabulazione come separatore."),
        QStringLiteral(
            "La prima riga del file deve contenere i nomi delle colonne. Sono riconosciuti, senza "
            "badare a maiuscole, accenti, spazi e punteggiatura: per il codice articolo Codice, "
            "Cod., Cod. Art., Codice articolo, Articolo, SKU, EAN; per il nome del prodotto "
            "Descrizione, Descrizione articolo, Nome, Prodotto; per il costo unitario Costo, "
            "Costo unitario, Prezzo acquisto, Prezzo netto, Netto; per il prezzo di vendita "
            "Prezzo, Prezzo vendita, Listino, Prezzo al pubblico; per la giacenza Quantità, Q.tà, "
            "Qta, Giacenza, Esistenza; per l'avviso di sottoscorta Scorta minima, Sottoscorta, "
            "Avviso; per la categoria merceologica Categoria, Famiglia, Gruppo, Reparto; per la "
            "ditta fornitrice Fornitore, Ditta; per la data di scadenza Scadenza. Valgono anche i "
            "nomi che l'esportazione in formato CSV scrive nella prima riga."),
        QStringLiteral(
            "L'anteprima mostra ogni riga del file con il suo numero di riga e il suo stato: "
            "nuova scheda, da aggiornare (con ogni campo che cambia, il valore attuale e quello "
            "nuovo), già presente oppure il motivo per cui non sarà importata. Un nome più lungo "
            "di 50 caratteri viene tagliato, come nella scheda, e lo stato della riga lo dice; un "
            "codice di sole cifre uguale a quello di una scheda a parte gli zeri iniziali (7 e "
            "007), che un foglio di calcolo toglie salvando il file, viene segnalato come "
            "probabilmente la stessa scheda. Sopra ogni colonna un elenco permette di "
            "scegliere il campo della scheda a cui va, oppure di non importarla; la scelta viene "
            "ricordata per i file con le stesse colonne. Per un campo necessario che il file non "
            "ha (per esempio la categoria) si può indicare un valore per tutte le righe; le "
            "righe che non dicono se l'acquisto è pagato sono considerate pagate, se non si "
            "sceglie altrimenti. Per le schede da aggiornare la giacenza resta com'è, perché il "
            "listino di un fornitore non conosce le vendite del negozio; si può scegliere invece "
            "di sostituirla con quella del file o di sommarle la quantità del file. La casella "
            "Mostra solo "
            "le righe da correggere lascia vedere soltanto le righe rifiutate, e sotto la "
            "griglia si legge per intero lo stato della riga scelta."),
        QStringLiteral(
            "Gli importi possono essere scritti come 1.052,25, 1052,25, € 7,90 o 7,90 €; un "
            "punto seguito da uno o due decimali (12.50) è letto come virgola quando nessun "
            "valore della colonna usa la virgola. Un valore che si può leggere in due modi viene "
            "rifiutato con l'indicazione di come scriverlo. Le date possono essere scritte come "
            "31/12/2026, 1/2/2027, 1/2/27 o 2026-12-31 e vengono archiviate come gg/mm/aaaa."),
        QStringLiteral(
            "Il pulsante Importa scrive tutte le righe accettate oppure nessuna: se la scrittura "
            "non riesce, o se il programma viene interrotto a metà, l'archivio torna com'era "
            "prima e all'avvio successivo un messaggio avverte che l'importazione è stata "
            "annullata."),
    };
}

QStringList paragrafiMovimenti() {
    return {
        QStringLiteral(
            "Ogni cambiamento della giacenza di una scheda viene registrato nel giornale dei "
            "movimenti, il file Movimenti.csv nella cartella del programma: carico, scarico, "
            "rettifica, nuova scheda, importazione, eliminazione, ripristino e ordini. Ogni riga "
            "riporta la data e l'ora, la scheda, la quantità con il suo segno, la giacenza prima "
            "e dopo, il costo unitario, la postazione e la causale. Le righe vengono solo "
            "aggiunte, mai cancellate; il file si apre con un foglio di calcolo."),
        QStringLiteral(
            "I pulsanti più e meno della scheda aprono la finestra della giacenza: si scrive la "
            "quantità caricata o scaricata e, nella casella Causale, il motivo (per esempio il "
            "numero del documento di trasporto). Se si corregge la giacenza attuale dopo averla "
            "contata, la correzione viene registrata come rettifica e non come merce ricevuta."),
        QStringLiteral(
            "Il pulsante Movimenti della scheda mostra i movimenti della scheda, dal più recente, "
            "con il grafico della giacenza nel tempo e della soglia di avviso; Stampa li stampa "
            "con il grafico. Annulla ultimo movimento registra il movimento opposto all'ultimo, "
            "dopo averlo nominato nella domanda. Una giacenza cambiata senza passare dal giornale "
            "compare come una riga Differenza non registrata."),
        QStringLiteral(
            "Il pulsante Movimenti della finestra iniziale mostra i movimenti fra due date, con i "
            "totali in entrata e in uscita per scheda e per categoria, il loro valore al costo e "
            "un grafico per mese; la stampa e l'esportazione in un file CSV riportano gli stessi "
            "totali. Le giacenze delle schede nuove e delle importazioni sono contate a parte, "
            "non come merce ricevuta, e un movimento annullato nel periodo non viene contato, "
            "come il suo annullamento. Gli ordini non muovono merce."),
    };
}

QStringList paragrafiEliminazione() {
    return {
        QStringLiteral(
            "Il pulsante Elimina toglie dall'archivio la scheda visualizzata, dopo una domanda di "
            "conferma. L'ultima scheda dell'archivio prende il suo posto, con la sua foto. La "
            "scheda eliminata resta per intero nel giornale dei movimenti e la sua foto nella "
            "cartella Schede eliminate."),
        QStringLiteral(
            "Il pulsante Schede eliminate elenca le schede tolte dall'archivio; Ripristina rimette "
            "in archivio la scheda scelta, in fondo, con la sua foto e la sua storia. Una scheda "
            "già ripristinata non può essere ripristinata una seconda volta."),
    };
}

QStringList paragrafiOrdini() {
    return {
        QStringLiteral(
            "Il pulsante Ordini dell'elenco dei prodotti sottoscorta prepara un ordine per ogni "
            "fornitore con le schede arrivate alla soglia di avviso. Per ogni riga la quantità "
            "proposta porta la giacenza al doppio della soglia, tenendo conto di quanto è già "
            "stato ordinato e non ancora ricevuto; la quantità si può cambiare prima di "
            "procedere."),
        QStringLiteral(
            "Dalla finestra degli ordini si creano i PDF (uno per fornitore, nella cartella Ordini "
            "del programma), il CSV di tutte le righe e i messaggi di posta ai fornitori. Segna "
            "come ordinato registra le quantità ordinate nel giornale dei movimenti, tutte "
            "insieme; prima di ordinare di nuovo una scheda che ha già un ordine aperto il "
            "programma lo chiede. Un carico della scheda riduce quanto resta da ricevere."),
        QStringLiteral(
            "L'elenco Ordini aperti mostra, fornitore per fornitore, che cosa resta da ricevere; "
            "un ordine che non arriverà più si chiude da lì."),
    };
}

QStringList paragrafiEtichette() {
    return {
        QStringLiteral(
            "Il pulsante Etichette della scheda stampa le etichette della scheda visualizzata "
            "(tante quante la giacenza, numero che si può cambiare); negli elenchi stampa le "
            "etichette delle schede elencate. Si sceglie il foglio di etichette (i formati A4 più "
            "comuni o una griglia a piacere in millimetri), la prima etichetta libera di un "
            "foglio già usato e i testi da mostrare; Invio mostra l'anteprima."),
        QStringLiteral(
            "Ogni etichetta riporta il codice a barre del codice articolo (EAN-13 o EAN-8 per i "
            "codici di 13 o 8 cifre con la cifra di controllo giusta, Code 128 per gli altri), il "
            "codice scritto, il nome e il prezzo di vendita."),
        QStringLiteral(
            "Con un lettore di codici a barre USB basta premere F3 nella scheda, da qualunque "
            "casella, e leggere il codice: la casella Codice a barre trova la scheda e la apre. "
            "Un codice letto per sbaglio in una casella di importi o quantità non cambia "
            "l'importo: viene passato alla casella Codice a barre."),
    };
}

QStringList paragrafiBackup() {
    return {
        QStringLiteral(
            "Il pulsante Backup della finestra iniziale apre la finestra delle copie di "
            "sicurezza. Esegui backup scrive un file zip con l'archivio, le foto, gli allegati, "
            "la password di accesso, il giornale dei movimenti, le schede eliminate, gli ordini e "
            "i dati del negozio, lo rilegge per intero e lo controlla. Cambia cartella... sceglie "
            "dove conservare i backup, meglio su un altro disco."),
        QStringLiteral(
            "Ripristina... riporta la cartella del programma com'era alla data del backup scelto: "
            "ogni file, la password di accesso compresa. Prima la situazione attuale viene "
            "salvata in un altro backup; la domanda indica lo spazio necessario e quello "
            "libero. Se il programma viene interrotto durante il ripristino, all'avvio "
            "successivo il ripristino viene completato o annullato."),
    };
}

QStringList paragrafiNegozio() {
    return {
        QStringLiteral(
            "Il pulsante Dati del negozio della finestra iniziale raccoglie il nome, l'indirizzo, "
            "la partita IVA, il telefono e l'indirizzo di posta del negozio, che compaiono in "
            "testa agli ordini ai fornitori e in fondo ai loro messaggi. I dati restano nel file "
            "Negozio.txt nella cartella del programma."),
        QStringLiteral(
            "Nessun comando di esportazione o di salvataggio può scrivere sopra i file dei dati "
            "del programma (l'archivio, il giornale, le foto delle schede, la password): un nome "
            "di questi viene rifiutato con un messaggio."),
    };
}

QStringList paragrafiConteggio() {
    return {
        QStringLiteral(
            "Il pulsante Conta inventario della finestra iniziale conta la merce di tutte le "
            "schede; il pulsante Conta delle finestre di ricerca, dei prodotti sottoscorta e "
            "degli acquisti da saldare conta solo le schede in elenco, per esempio quelle di uno "
            "scaffale cercate per Collocazione in magazzino. Ogni conteggio ha un nome e si può "
            "continuare in un altro momento scegliendolo tra i conteggi già iniziati."),
        QStringLiteral(
            "Nella casella Codice letto si legge il codice a barre con il lettore, oppure lo si "
            "scrive e si preme Invio: ogni lettura aggiunge un pezzo alla scheda e la mostra in "
            "grande con la giacenza in archivio e i pezzi contati finora. Per contare più pezzi "
            "insieme si scrive il numero e si preme Invio prima di leggere il codice, oppure si "
            "scrive per esempio 12*codice. Un codice che nessuna scheda ha viene tenuto tra i "
            "codici sconosciuti; se più schede hanno lo stesso codice, il programma chiede quale "
            "è stata contata. Correggi quantità imposta i pezzi contati della lettura scelta, "
            "Togli lettura toglie una lettura sbagliata."),
        QStringLiteral(
            "Ogni lettura viene scritta subito nel file del conteggio, nella cartella Conteggi "
            "della cartella del programma: un'interruzione di corrente non fa perdere nulla. Più "
            "postazioni possono contare lo stesso conteggio insieme, su scaffali diversi: le "
            "loro letture si sommano."),
        QStringLiteral(
            "Differenze mostra per ogni scheda la giacenza in archivio, i pezzi contati, i "
            "movimenti registrati dopo la conta della scheda (per esempio una vendita mentre si "
            "contava), la nuova giacenza e il valore a costo della differenza, dalla più grande; "
            "si possono vedere solo le differenze o solo le schede non contate, stampare, "
            "salvare in PDF ed esportare in CSV. Applica alle schede scrive le nuove giacenze "
            "tutte insieme, con una riga Rettifica nel giornale per ogni scheda cambiata; per le "
            "schede non contate il programma chiede se lasciarle come sono o portarle a 0. Foglio "
            "di conta stampa l'elenco delle schede per collocazione, con una colonna vuota per "
            "contare su carta."),
    };
}

QStringList paragrafiFatture() {
    return {
        QStringLiteral(
            "Il pulsante Carico da fattura elettronica..., nella finestra iniziale e nella "
            "scheda, legge le fatture elettroniche dei fornitori (FatturaPA): un file .xml, un "
            "file firmato .xml.p7m o un file .zip che ne contiene più di una. Si possono anche "
            "trascinare i file sulla finestra. La finestra mostra il fornitore, il numero, la "
            "data, il tipo di documento, i documenti di trasporto e ogni riga con i codici "
            "articolo, la quantità, il prezzo, gli sconti e l'IVA."),
        QStringLiteral(
            "Per ogni riga il programma cerca la scheda: prima quella scelta l'ultima volta per "
            "lo stesso articolo dello stesso fornitore, poi la scheda che ha per codice l'EAN "
            "della riga, poi quella che ha per codice il codice articolo del fornitore. Per le "
            "altre righe si preme Invio (Scegli scheda...) e si cerca la scheda per codice o "
            "nome, oppure si crea una Nuova scheda, oppure si indica che la riga Non è merce "
            "(trasporto, servizi, sconti). Le scelte vengono ricordate per le fatture "
            "successive dello stesso fornitore."),
        QStringLiteral(
            "Carica... mostra prima, scheda per scheda, la giacenza e il costo prima e dopo; "
            "confermando, le giacenze aumentano con un movimento Carico per scheda, il costo "
            "diventa il prezzo netto dopo gli sconti (sempre, solo se più alto o mai, a scelta), "
            "e la scheda prende il fornitore, il documento di acquisto e il pagamento (non "
            "pagato se la scadenza è futura). Tutto viene scritto insieme o niente. Una "
            "quantità con decimali viene chiesta riga per riga: arrotondata o non caricata."),
        QStringLiteral(
            "Una nota di credito toglie le quantità dalla giacenza (Scarico), dopo una domanda. "
            "La stessa fattura (stesso fornitore, numero e data) non viene caricata due volte: "
            "il messaggio dice quando è stata caricata. Ogni fattura caricata viene conservata, "
            "così come è arrivata, nella cartella Fatture del programma, divisa per anno, e fa "
            "parte del backup."),
    };
}

} // namespace

QString ArgomentoGuida::testo() const {
    return paragrafi.join(QStringLiteral("\r\n\r\n"));
}

ArgomentoGuida Argomento(TemaGuida tema) {
    switch (tema) {
    case TemaGuida::Avvio: {
        const QStringList inventario = paragrafiInventario();
        const QStringList magazzino = paragrafiMagazzino();
        const qsizetype inizioInventario = 1 + magazzino.size();
        return {QStringLiteral("Uno sguardo a Quadrelo."),
                QStringList{paragrafoA()} + magazzino +
                    QStringList{paragrafoD1(), inventario[1], inventario[2]} + paragrafiChiusura(),
                {{1, QStringLiteral("Magazzino Prodotti")},
                 {inizioInventario, QStringLiteral("Inventario Merce")},
                 {inizioInventario + 3, QStringLiteral("Da sapere")}}};
    }
    case TemaGuida::Magazzino:
        return {QStringLiteral("Applicazione Magazzino Prodotti."), paragrafiMagazzino()};
    case TemaGuida::Esportazione:
        return {QStringLiteral("Esportazione magazzino prodotti in Microsoft Excel."),
                paragrafiEsportazione()};
    case TemaGuida::Inventario:
        return {QStringLiteral("Applicazione Inventario Merce."), paragrafiInventario()};
    case TemaGuida::Importazione:
        return {QStringLiteral("Importazione di schede da un file CSV."), paragrafiImportazione()};
    case TemaGuida::Movimenti:
        return {QStringLiteral("Movimenti di magazzino."), paragrafiMovimenti()};
    case TemaGuida::Eliminazione:
        return {QStringLiteral("Eliminazione e ripristino delle schede."), paragrafiEliminazione()};
    case TemaGuida::Ordini:
        return {QStringLiteral("Ordini ai fornitori."), paragrafiOrdini()};
    case TemaGuida::Etichette:
        return {QStringLiteral("Etichette e codici a barre."), paragrafiEtichette()};
    case TemaGuida::Backup:
        return {QStringLiteral("Backup e ripristino."), paragrafiBackup()};
    case TemaGuida::Negozio:
        return {QStringLiteral("Dati del negozio."), paragrafiNegozio()};
    case TemaGuida::Conteggio:
        return {QStringLiteral("Conta inventario."), paragrafiConteggio()};
    case TemaGuida::Fatture:
        return {QStringLiteral("Carico da fattura elettronica."), paragrafiFatture()};
    }
    return {};
}

QList<ArgomentoGuida> TuttiGliArgomenti() {
    return {Argomento(TemaGuida::Avvio),        Argomento(TemaGuida::Magazzino),
            Argomento(TemaGuida::Inventario),   Argomento(TemaGuida::Esportazione),
            Argomento(TemaGuida::Importazione), Argomento(TemaGuida::Movimenti),
            Argomento(TemaGuida::Eliminazione), Argomento(TemaGuida::Ordini),
            Argomento(TemaGuida::Etichette),    Argomento(TemaGuida::Backup),
            Argomento(TemaGuida::Negozio),      Argomento(TemaGuida::Conteggio),
            Argomento(TemaGuida::Fatture)};
}

namespace {

// The sentences of a paragraph, each with its full stop.
QStringList frasi(const QString &paragrafo) {
    QStringList elenco;
    qsizetype inizio = 0;
    for (qsizetype i = 0; i < paragrafo.size(); ++i) {
        const bool fine =
            paragrafo[i] == u'.' && (i + 1 == paragrafo.size() || paragrafo[i + 1] == u' ');
        if (!fine) continue;
        elenco << paragrafo.mid(inizio, i + 1 - inizio).trimmed();
        inizio = i + 1;
    }
    const QString resto = paragrafo.mid(inizio).trimmed();
    if (!resto.isEmpty()) elenco << resto;
    return elenco;
}

} // namespace

QList<ArgomentoGuida> SezioniGuida() {
    // The launcher's topic tells everything at a glance; the guide takes its
    // parts from the topics that tell them in full, and its opening and
    // closing words on their own.
    const QStringList primi{
        Argomento(TemaGuida::Avvio).titolo, Argomento(TemaGuida::Magazzino).titolo,
        Argomento(TemaGuida::Inventario).titolo, Argomento(TemaGuida::Esportazione).titolo};
    QList<ArgomentoGuida> sezioni{{primi[0], {paragrafoA()}},
                                  Argomento(TemaGuida::Magazzino),
                                  Argomento(TemaGuida::Inventario),
                                  Argomento(TemaGuida::Esportazione)};
    for (const ArgomentoGuida &altro : TuttiGliArgomenti())
        if (!primi.contains(altro.titolo)) sezioni << altro;
    sezioni << ArgomentoGuida{QStringLiteral("Da sapere."), paragrafiChiusura()};

    // A sentence already told is not told again.
    QStringList dette;
    QList<ArgomentoGuida> guida;
    for (const ArgomentoGuida &sezione : sezioni) {
        ArgomentoGuida nuova{sezione.titolo, {}};
        for (const QString &paragrafo : sezione.paragrafi) {
            const QStringList tutte = frasi(paragrafo);
            QStringList nuove;
            for (const QString &frase : tutte) {
                if (dette.contains(frase)) continue;
                dette << frase;
                nuove << frase;
            }
            if (nuove.size() == tutte.size())
                nuova.paragrafi << paragrafo;
            else if (!nuove.isEmpty())
                nuova.paragrafi << nuove.join(u' ');
        }
        if (!nuova.paragrafi.isEmpty()) guida << nuova;
    }
    return guida;
}
