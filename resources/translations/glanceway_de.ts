<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AboutDialog</name>
    <message>
        <source>A lightweight photo viewer with ratings and RAW previews.</source>
        <translation>Ein schlanker Fotobetrachter mit Bewertungen und RAW-Vorschauen.</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>About Qt…</source>
        <translation>Über Qt…</translation>
    </message>
    <message>
        <source>Libraries and licenses</source>
        <translation>Bibliotheken und Lizenzen</translation>
    </message>
    <message>
        <source></source>
        <translation></translation>
    </message>
    <message>
        <source>Support and contact via our website.</source>
        <translation>Support und Kontakt über unsere Website.</translation>
    </message>
    <message>
        <source>Uses Qt %1. Qt is available under the GNU LGPL version 3 and other licenses. See About Qt and the license information supplied with the application.</source>
        <translation>Verwendet Qt %1. Qt ist unter der GNU LGPL Version 3 und weiteren Lizenzen erhältlich. Siehe „Über Qt“ und die mit der Anwendung gelieferten Lizenzinformationen.</translation>
    </message>
    <message>
        <source>Version %1 · %2 · Public test</source>
        <translation>Version %1 · %2 · Öffentlicher Test</translation>
    </message>
    <message>
        <source>%1 (%2-bit)</source>
        <translation>%1 (%2 Bit)</translation>
    </message>
</context>
<context>
    <name>AdvancePreferences</name>
    <message>
        <source>Move to the next photo after:</source>
        <translation>Weiter zum nächsten Foto nach:</translation>
    </message>
    <message>
        <source>Stars</source>
        <translation>Sterne</translation>
    </message>
    <message>
        <source>Color label</source>
        <translation>Farbmarkierung</translation>
    </message>
    <message>
        <source>Rejection</source>
        <translation>Ablehnung</translation>
    </message>
</context>
<context>
    <name>AnalysisOverlay</name>
    <message>
        <source>Blown: %1 %</source>
        <translation>Ausgefressen: %1 %</translation>
    </message>
    <message>
        <source>Blocked: %1 %</source>
        <translation>Abgesoffen: %1 %</translation>
    </message>
    <message>
        <source>Channel at 0: %1 %</source>
        <translation>Kanal auf 0: %1 %</translation>
    </message>
</context>
<context>
    <name>BurstPreferences</name>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Consecutive photos taken at most this far apart that look alike form a group (a burst or an exposure bracket). Off: no groups.</source>
        <translation>Aufeinanderfolgende Fotos, die höchstens so weit auseinander aufgenommen wurden und einander gleichen, bilden eine Gruppe (eine Serie oder eine Belichtungsreihe). Aus: keine Gruppen.</translation>
    </message>
    <message>
        <source>None: it keeps its marks</source>
        <translation>Keine: es behält seine Markierungen</translation>
    </message>
    <message numerus="yes">
        <source>%n star(s)</source>
        <translation>
            <numerusform>%n Stern</numerusform>
            <numerusform>%n Sterne</numerusform>
        </translation>
    </message>
    <message>
        <source>Group photos taken within:</source>
        <translation>Fotos gruppieren, aufgenommen innerhalb von:</translation>
    </message>
    <message>
        <source>Rating for the best of a group:</source>
        <translation>Bewertung für das beste Foto einer Gruppe:</translation>
    </message>
</context>
<context>
    <name>CopyUndo</name>
    <message>
        <source>it changed after it was copied</source>
        <translation>sie wurde nach dem Kopieren geändert</translation>
    </message>
</context>
<context>
    <name>ColorLabel</name>
    <message>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message>
        <source>Purple</source>
        <translation>Violett</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Gelb</translation>
    </message>
</context>
<context>
    <name>Filter</name>
    <message>
        <source>&amp;All Images</source>
        <translation>&amp;Alle Bilder</translation>
    </message>
    <message>
        <source>&amp;Zero Stars</source>
        <translation>&amp;Ohne Sterne</translation>
    </message>
    <message>
        <source>&amp;Unreviewed</source>
        <translation>&amp;Ungesichtet</translation>
    </message>
    <message>
        <source>R&amp;ejected</source>
        <translation>Abgele&amp;hnt</translation>
    </message>
    <message>
        <source>&amp;1 Star</source>
        <translation>&amp;1 Stern</translation>
    </message>
    <message>
        <source>&amp;2 Stars</source>
        <translation>&amp;2 Sterne</translation>
    </message>
    <message>
        <source>&amp;3 Stars</source>
        <translation>&amp;3 Sterne</translation>
    </message>
    <message>
        <source>&amp;4 Stars</source>
        <translation>&amp;4 Sterne</translation>
    </message>
    <message>
        <source>&amp;5 Stars</source>
        <translation>&amp;5 Sterne</translation>
    </message>
    <message>
        <source>Re&amp;d</source>
        <translation>&amp;Rot</translation>
    </message>
    <message>
        <source>&amp;Yellow</source>
        <translation>Ge&amp;lb</translation>
    </message>
    <message>
        <source>&amp;Green</source>
        <translation>Gr&amp;ün</translation>
    </message>
    <message>
        <source>B&amp;lue</source>
        <translation>&amp;Blau</translation>
    </message>
    <message>
        <source>1 Star or &amp;More</source>
        <translation>1 Stern oder &amp;mehr</translation>
    </message>
    <message>
        <source>2 Stars or Mo&amp;re</source>
        <translation>2 Sterne oder m&amp;ehr</translation>
    </message>
    <message>
        <source>3 Stars or M&amp;ore</source>
        <translation>3 Sterne o&amp;der mehr</translation>
    </message>
    <message>
        <source>4 S&amp;tars or More</source>
        <translation>4 S&amp;terne oder mehr</translation>
    </message>
    <message>
        <source>5 &amp;Stars or More</source>
        <translation>5 &amp;Sterne oder mehr</translation>
    </message>
</context>
<context>
    <name>FocusPointOverlay</name>
    <message>
        <source>not recorded</source>
        <translation>nicht aufgezeichnet</translation>
    </message>
    <message>
        <source>%1 of %2 points in focus (%3)</source>
        <translation>%1 von %2 Punkten scharfgestellt (%3)</translation>
    </message>
    <message>
        <source>1 point (%1)</source>
        <translation>1 Punkt (%1)</translation>
    </message>
    <message>
        <source>%1 points (%2)</source>
        <translation>%1 Punkte (%2)</translation>
    </message>
</context>
<context>
    <name>HelpDialog</name>
    <message>
        <source>%1 Help</source>
        <translation>Hilfe zu %1</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Find on this page</source>
        <translation>Auf dieser Seite suchen</translation>
    </message>
    <message>
        <source>Find on this page…</source>
        <translation>Auf dieser Seite suchen…</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Vorwärts</translation>
    </message>
    <message>
        <source>Help on the Web…</source>
        <translation>Hilfe im Web…</translation>
    </message>
    <message>
        <source>en</source>
        <extracomment>The language code of this translation, for example &quot;de&quot;. The help shows its pages in this language when the program has them.</extracomment>
        <translation>de</translation>
    </message>
</context>
<context>
    <name>ImportDialog</name>
    <message>
        <source>Import from Card</source>
        <translation>Von Karte importieren</translation>
    </message>
    <message>
        <source>Choose &amp;Folder…</source>
        <translation>&amp;Ordner wählen…</translation>
    </message>
    <message>
        <source>Import &amp;from:</source>
        <translation>Importieren &amp;von:</translation>
    </message>
    <message>
        <source>&amp;Browse…</source>
        <translation>&amp;Durchsuchen…</translation>
    </message>
    <message>
        <source>&amp;Destination:</source>
        <translation>&amp;Ziel:</translation>
    </message>
    <message>
        <source>Tokens: {year} {month} {day} {camera}; &quot;/&quot; starts a subfolder.</source>
        <translation>Platzhalter: {year} {month} {day} {camera}; „/“ beginnt einen Unterordner.</translation>
    </message>
    <message>
        <source>Folders &amp;by:</source>
        <translation>Ordner &amp;nach:</translation>
    </message>
    <message>
        <source>Keep the names from the card</source>
        <translation>Namen von der Karte beibehalten</translation>
    </message>
    <message>
        <source>Tokens: {original} {date} {time} {sequence} {camera}.</source>
        <translation>Platzhalter: {original} {date} {time} {sequence} {camera}.</translation>
    </message>
    <message>
        <source>File &amp;names:</source>
        <translation>Datei&amp;namen:</translation>
    </message>
    <message>
        <source>&amp;Second copy to:</source>
        <translation>Zweite &amp;Kopie nach:</translation>
    </message>
    <message>
        <source>No second copy</source>
        <translation>Keine zweite Kopie</translation>
    </message>
    <message>
        <source>Also copy &amp;videos</source>
        <translation>Auch &amp;Videos kopieren</translation>
    </message>
    <message>
        <source>&amp;Import</source>
        <translation>&amp;Importieren</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Import from Folder</source>
        <translation>Aus Ordner importieren</translation>
    </message>
    <message>
        <source>Insert a card, or choose a folder to import from.</source>
        <translation>Stecken Sie eine Karte ein oder wählen Sie einen Ordner, aus dem importiert wird.</translation>
    </message>
    <message>
        <source>Choose a destination folder.</source>
        <translation>Wählen Sie einen Zielordner.</translation>
    </message>
    <message>
        <source>The destination and the second copy cannot lie on the card&apos;s own folder.</source>
        <translation>Das Ziel und die zweite Kopie können nicht im Ordner der Karte selbst liegen.</translation>
    </message>
    <message>
        <source>The second copy needs a folder of its own, outside the destination.</source>
        <translation>Die zweite Kopie braucht einen eigenen Ordner außerhalb des Ziels.</translation>
    </message>
    <message>
        <source>There are no photos in %1.</source>
        <translation>In %1 sind keine Fotos.</translation>
    </message>
    <message>
        <source>Every photo here was imported before.</source>
        <translation>Jedes Foto hier wurde schon importiert.</translation>
    </message>
    <message>
        <source>%1 — %2 photo(s), %3</source>
        <translation>%1 — %2 Foto(s), %3</translation>
    </message>
    <message>
        <source>No new photos</source>
        <translation>Keine neuen Fotos</translation>
    </message>
    <message>
        <source>%1 new photo(s), %2</source>
        <translation>%1 neue(s) Foto(s), %2</translation>
    </message>
    <message>
        <source>%1 imported before, skipped</source>
        <translation>%1 schon importiert, übersprungen</translation>
    </message>
    <message>
        <source>%1 other file(s) left on the card</source>
        <translation>%1 andere Datei(en) bleiben auf der Karte</translation>
    </message>
    <message>
        <source>The first photo goes to %1</source>
        <translation>Das erste Foto kommt nach %1</translation>
    </message>
    <message>
        <source>The folder %1 cannot be created.</source>
        <translation>Der Ordner %1 kann nicht angelegt werden.</translation>
    </message>
</context>
<context>
    <name>ImportTexts</name>
    <message>
        <source>%1 of %2 photos · %3 of %4</source>
        <translation>%1 von %2 Fotos · %3 von %4</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>noch etwa %1 s</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>noch etwa %1 min</translation>
    </message>
    <message>
        <source>%1 photo(s) imported, %2 skipped (imported before), %3 failed.</source>
        <translation>%1 Foto(s) importiert, %2 übersprungen (schon importiert), %3 fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The import was cancelled; %1 photo(s) were not copied.</source>
        <translation>Der Import wurde abgebrochen; %1 Foto(s) wurden nicht kopiert.</translation>
    </message>
    <message>
        <source>%1 The import stopped; %2 photo(s) were not copied.</source>
        <translation>%1 Der Import wurde angehalten; %2 Foto(s) wurden nicht kopiert.</translation>
    </message>
    <message>
        <source>…and %1 more</source>
        <translation>…und %1 weitere</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>%1 (photo)</source>
        <translation>%1 (Foto)</translation>
    </message>
    <message>
        <source>%1 (XMP sidecar)</source>
        <translation>%1 (XMP-Begleitdatei)</translation>
    </message>
    <message>
        <source>%1 file(s) could not be moved to the Recycle Bin:

%2</source>
        <translation>%1 Datei(en) konnten nicht in den Papierkorb verschoben werden:

%2</translation>
    </message>
    <message>
        <source>%1 image(s) selected — Ctrl-click and Shift-click to select — Enter to open</source>
        <translation>%1 Bild(er) ausgewählt — Auswahl mit Strg-Klick und Umschalt-Klick — Eingabetaste zum Öffnen</translation>
    </message>
    <message>
        <source>%1 photo(s) moved to the Recycle Bin</source>
        <translation>%1 Foto(s) in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>%1 total · %2 reviewed · %3 rejected · %4 open</source>
        <translation>%1 gesamt · %2 gesichtet · %3 abgelehnt · %4 offen</translation>
    </message>
    <message>
        <source>
…and more</source>
        <translation>
…und weitere</translation>
    </message>
    <message>
        <source>Folder unavailable</source>
        <translation>Ordner nicht verfügbar</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Move %1 selected photo(s) and %2 associated XMP sidecar(s) to the Recycle Bin?

The files will not be permanently deleted.</source>
        <translation>%1 ausgewählte(s) Foto(s) und %2 zugehörige XMP-Begleitdatei(en) in den Papierkorb verschieben?

Die Dateien werden nicht endgültig gelöscht.</translation>
    </message>
    <message>
        <source>Move photos to Recycle Bin?</source>
        <translation>Fotos in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>Open a folder to begin</source>
        <translation>Öffnen Sie einen Ordner, um zu beginnen</translation>
    </message>
    <message>
        <source>1 file could not be shown</source>
        <translation>1 Datei konnte nicht angezeigt werden</translation>
    </message>
    <message>
        <source>%1 files could not be shown</source>
        <translation>%1 Dateien konnten nicht angezeigt werden</translation>
    </message>
    <message>
        <source>Open Photo Folder</source>
        <translation>Fotoordner öffnen</translation>
    </message>
    <message>
        <source>Saving metadata for selected images…</source>
        <translation>Metadaten der ausgewählten Bilder werden gespeichert…</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Weitere</translation>
    </message>
    <message>
        <source>Show / hide this overview</source>
        <translation>Diese Übersicht ein-/ausblenden</translation>
    </message>
    <message>
        <source>Some files could not be moved</source>
        <translation>Einige Dateien konnten nicht verschoben werden</translation>
    </message>
    <message>
        <source>Some metadata could not be saved</source>
        <translation>Einige Metadaten konnten nicht gespeichert werden</translation>
    </message>
    <message>
        <source>The folder cannot be opened:
%1

Check the drive, network connection, and permissions.</source>
        <translation>Der Ordner kann nicht geöffnet werden:
%1

Prüfen Sie das Laufwerk, die Netzwerkverbindung und die Zugriffsrechte.</translation>
    </message>
    <message>
        <source>The XMP data could not be written for %1 image(s):

%2%3</source>
        <translation>Die XMP-Daten konnten für %1 Bild(er) nicht geschrieben werden:

%2%3</translation>
    </message>
    <message>
        <source>%1 image(s) selected — loading %2 preview(s) before moving them to the Recycle Bin…</source>
        <translation>%1 Bild(er) ausgewählt — %2 Vorschau(en) werden geladen, bevor sie in den Papierkorb verschoben werden…</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Open Folder…</source>
        <translation>Ordner ö&amp;ffnen…</translation>
    </message>
    <message>
        <source>&amp;Refresh Folder and Metadata</source>
        <translation>Ordner und Metadaten &amp;aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Move Selected Photos to Recycle Bin…</source>
        <translation>Ausgewählte Fotos in den &amp;Papierkorb verschieben…</translation>
    </message>
    <message>
        <source>&amp;Move Photo to Recycle Bin…</source>
        <translation>Foto in den &amp;Papierkorb verschieben…</translation>
    </message>
    <message>
        <source>&amp;Preferences…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>&amp;Navigate</source>
        <translation>&amp;Navigieren</translation>
    </message>
    <message>
        <source>&amp;Previous Image</source>
        <translation>&amp;Vorheriges Bild</translation>
    </message>
    <message>
        <source>&amp;Next Image</source>
        <translation>&amp;Nächstes Bild</translation>
    </message>
    <message>
        <source>&amp;Resume Review</source>
        <translation>&amp;Sichtung fortsetzen</translation>
    </message>
    <message>
        <source>F&amp;ilter</source>
        <translation>F&amp;ilter</translation>
    </message>
    <message>
        <source>E&amp;xclude selected filter</source>
        <translation>&amp;Gewählten Filter ausschließen</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>&amp;Vollbild</translation>
    </message>
    <message>
        <source>E&amp;xit Full Screen</source>
        <translation>Vollbild &amp;beenden</translation>
    </message>
    <message>
        <source>Thumbnail &amp;Grid</source>
        <translation>&amp;Miniaturansicht</translation>
    </message>
    <message>
        <source>&amp;Smaller Thumbnails</source>
        <translation>&amp;Kleinere Miniaturen</translation>
    </message>
    <message>
        <source>&amp;Larger Thumbnails</source>
        <translation>&amp;Größere Miniaturen</translation>
    </message>
    <message>
        <source>Fit to &amp;Window</source>
        <translation>An &amp;Fenster anpassen</translation>
    </message>
    <message>
        <source>&amp;Actual Size (100%)</source>
        <translation>&amp;Originalgröße (100 %)</translation>
    </message>
    <message>
        <source>&amp;Toggle Fit / 100%</source>
        <translation>Einpassen / 100 % &amp;umschalten</translation>
    </message>
    <message>
        <source>R&amp;otate Left 90°</source>
        <translation>90° nach &amp;links drehen</translation>
    </message>
    <message>
        <source>Rotate &amp;Right 90°</source>
        <translation>90° nach &amp;rechts drehen</translation>
    </message>
    <message>
        <source>Show &amp;EXIF Overlay</source>
        <translation>&amp;EXIF-Einblendung anzeigen</translation>
    </message>
    <message>
        <source>&amp;Rating</source>
        <translation>Be&amp;wertung</translation>
    </message>
    <message>
        <source>&amp;Clear Rating</source>
        <translation>&amp;Bewertung entfernen</translation>
    </message>
    <message>
        <source>Re&amp;ject</source>
        <translation>Ab&amp;lehnen</translation>
    </message>
    <message>
        <source>Clear Rejec&amp;tion</source>
        <translation>Ablehnung auf&amp;heben</translation>
    </message>
    <message>
        <source>Clear Color &amp;Label</source>
        <translation>&amp;Farbmarkierung entfernen</translation>
    </message>
    <message>
        <source>Clear &amp;All Marks</source>
        <translation>Alle &amp;Markierungen entfernen</translation>
    </message>
    <message>
        <source>&amp;Slideshow</source>
        <translation>Dia&amp;show</translation>
    </message>
    <message>
        <source>&amp;Start Slideshow</source>
        <translation>Diashow &amp;starten</translation>
    </message>
    <message>
        <source>&amp;Pause Slideshow</source>
        <translation>Diashow &amp;anhalten</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;User Guide…</source>
        <translation>&amp;Benutzerhandbuch…</translation>
    </message>
    <message>
        <source>Show &amp;Keyboard Shortcuts</source>
        <translation>&amp;Tastenkürzel anzeigen</translation>
    </message>
    <message>
        <source>Hide &amp;Keyboard Shortcuts</source>
        <translation>&amp;Tastenkürzel ausblenden</translation>
    </message>
    <message>
        <source>Help on the &amp;Web…</source>
        <translation>Hilfe im &amp;Web…</translation>
    </message>
    <message>
        <source>Give F&amp;eedback…</source>
        <translation>&amp;Feedback geben…</translation>
    </message>
    <message>
        <source>&amp;About %1…</source>
        <translation>&amp;Über %1…</translation>
    </message>
    <message>
        <source>Color: &amp;Red</source>
        <translation>Farbe: &amp;Rot</translation>
    </message>
    <message>
        <source>Color: &amp;Yellow</source>
        <translation>Farbe: &amp;Gelb</translation>
    </message>
    <message>
        <source>Color: &amp;Green</source>
        <translation>Farbe: Gr&amp;ün</translation>
    </message>
    <message>
        <source>Color: &amp;Blue</source>
        <translation>Farbe: Bl&amp;au</translation>
    </message>
    <message>
        <source>&amp;First Image</source>
        <translation>&amp;Erstes Bild</translation>
    </message>
    <message>
        <source>&amp;Last Image</source>
        <translation>&amp;Letztes Bild</translation>
    </message>
    <message>
        <source>&amp;Back %1 Images</source>
        <translation>%1 Bilder &amp;zurück</translation>
    </message>
    <message>
        <source>F&amp;orward %1 Images</source>
        <translation>%1 Bilder v&amp;or</translation>
    </message>
    <message>
        <source>Slideshow finished</source>
        <translation>Diashow beendet</translation>
    </message>
    <message numerus="yes">
        <source>&amp;%n Star(s)</source>
        <translation>
            <numerusform>Sterne: &amp;%n</numerusform>
            <numerusform>Sterne: &amp;%n</numerusform>
        </translation>
    </message>
    <message>
        <source>Sort &amp;by</source>
        <translation>Sortieren &amp;nach</translation>
    </message>
    <message>
        <source>&amp;File name</source>
        <translation>&amp;Dateiname</translation>
    </message>
    <message>
        <source>File name, &amp;numbers as numbers</source>
        <translation>Dateiname, &amp;Zahlen als Zahlen</translation>
    </message>
    <message>
        <source>&amp;Capture time</source>
        <translation>&amp;Aufnahmezeit</translation>
    </message>
    <message>
        <source>&amp;Modified time</source>
        <translation>Ä&amp;nderungszeit</translation>
    </message>
    <message>
        <source>Include &amp;Subfolders</source>
        <translation>&amp;Unterordner einbeziehen</translation>
    </message>
    <message>
        <source>Move Re&amp;jected Photos to Recycle Bin…</source>
        <translation>Abge&amp;lehnte Fotos in den Papierkorb verschieben…</translation>
    </message>
    <message>
        <source>No photo in this folder is rejected</source>
        <translation>In diesem Ordner ist kein Foto abgelehnt</translation>
    </message>
    <message>
        <source>Move rejected photos to Recycle Bin?</source>
        <translation>Abgelehnte Fotos in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>Move Photos To</source>
        <translation>Fotos verschieben nach</translation>
    </message>
    <message>
        <source>Copy Photos To</source>
        <translation>Fotos kopieren nach</translation>
    </message>
    <message>
        <source>Some of the photos are already in this folder:
%1

Choose another folder.</source>
        <translation>Einige der Fotos liegen bereits in diesem Ordner:
%1

Wählen Sie einen anderen Ordner.</translation>
    </message>
    <message>
        <source>Moving photos…</source>
        <translation>Fotos werden verschoben…</translation>
    </message>
    <message>
        <source>Copying photos…</source>
        <translation>Fotos werden kopiert…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Moving %1…</source>
        <translation>%1 wird verschoben…</translation>
    </message>
    <message>
        <source>Copying %1…</source>
        <translation>%1 wird kopiert…</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>…and %1 more</source>
        <translation>…und %1 weitere</translation>
    </message>
    <message>
        <source>Some photos could not be moved</source>
        <translation>Einige Fotos konnten nicht verschoben werden</translation>
    </message>
    <message>
        <source>Some photos could not be copied</source>
        <translation>Einige Fotos konnten nicht kopiert werden</translation>
    </message>
    <message>
        <source>These files were not moved to %1; they are still where they were:

%2</source>
        <translation>Diese Dateien wurden nicht nach %1 verschoben; sie liegen weiterhin an ihrem Platz:

%2</translation>
    </message>
    <message>
        <source>These files were not copied to %1:

%2</source>
        <translation>Diese Dateien wurden nicht nach %1 kopiert:

%2</translation>
    </message>
    <message>
        <source>Some copies were kept</source>
        <translation>Einige Kopien wurden behalten</translation>
    </message>
    <message>
        <source>These copies in %1 were kept:

%2</source>
        <translation>Diese Kopien in %1 wurden behalten:

%2</translation>
    </message>
    <message>
        <source>Undone: %1 copied to %2</source>
        <translation>Rückgängig: %1 nach %2 kopiert</translation>
    </message>
    <message>
        <source>%1 of %2 photo(s) moved to %3</source>
        <translation>%1 von %2 Foto(s) nach %3 verschoben</translation>
    </message>
    <message>
        <source>%1 of %2 photo(s) copied to %3</source>
        <translation>%1 von %2 Foto(s) nach %3 kopiert</translation>
    </message>
    <message>
        <source>Cancelled: %1</source>
        <translation>Abgebrochen: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n photo(s)</source>
        <translation>
            <numerusform>%n Foto</numerusform>
            <numerusform>%n Fotos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n XMP sidecar(s)</source>
        <translation>
            <numerusform>%n XMP-Begleitdatei</numerusform>
            <numerusform>%n XMP-Begleitdateien</numerusform>
        </translation>
    </message>
    <message>
        <source>Move %1 and %2 to the Recycle Bin?

The files will not be permanently deleted.</source>
        <translation>%1 und %2 in den Papierkorb verschieben?

Die Dateien werden nicht endgültig gelöscht.</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s)</source>
        <translation>
            <numerusform>%n Datei</numerusform>
            <numerusform>%n Dateien</numerusform>
        </translation>
    </message>
    <message>
        <source>Move %1 (%2) and %3 to the Recycle Bin?

The files will not be permanently deleted.</source>
        <translation>%1 (%2) und %3 in den Papierkorb verschieben?

Die Dateien werden nicht endgültig gelöscht.</translation>
    </message>
    <message>
        <source>&amp;Compare Two Photos</source>
        <translation>&amp;Zwei Fotos vergleichen</translation>
    </message>
    <message>
        <source>&amp;Move</source>
        <translation>&amp;Verschieben</translation>
    </message>
    <message>
        <source>In the compare view</source>
        <translation>Im Vergleich</translation>
    </message>
    <message>
        <source>Next candidate</source>
        <translation>Nächster Kandidat</translation>
    </message>
    <message>
        <source>Previous candidate</source>
        <translation>Vorheriger Kandidat</translation>
    </message>
    <message>
        <source>Switch the active pane</source>
        <translation>Aktive Seite wechseln</translation>
    </message>
    <message>
        <source>Keep the candidate</source>
        <translation>Kandidaten behalten</translation>
    </message>
    <message>
        <source>Move %1 and its XMP sidecar to the Recycle Bin?

The files will not be permanently deleted.</source>
        <translation>%1 und die zugehörige XMP-Begleitdatei in den Papierkorb verschieben?

Die Dateien werden nicht endgültig gelöscht.</translation>
    </message>
    <message>
        <source>Move %1 to the Recycle Bin?

The files will not be permanently deleted.</source>
        <translation>%1 in den Papierkorb verschieben?

Die Dateien werden nicht endgültig gelöscht.</translation>
    </message>
    <message>
        <source>Press Esc or the shortcut again to close · Change keys in Preferences</source>
        <translation>Zum Schließen Esc oder das Tastenkürzel erneut drücken · Tasten ändern unter Einstellungen</translation>
    </message>
    <message>
        <source>%1 was removed from the folder</source>
        <translation>%1 wurde aus dem Ordner entfernt</translation>
    </message>
    <message>
        <source>%1 photos were removed from the folder</source>
        <translation>%1 Fotos wurden aus dem Ordner entfernt</translation>
    </message>
    <message>
        <source>The move to the Recycle Bin cannot be undone here</source>
        <translation>Das Verschieben in den Papierkorb kann hier nicht rückgängig gemacht werden</translation>
    </message>
    <message>
        <source>Cannot Undo</source>
        <translation>Rückgängig nicht möglich</translation>
    </message>
    <message>
        <source>The photos were not put back; they are where they were.

%1</source>
        <translation>Die Fotos wurden nicht zurückgelegt; sie liegen weiterhin dort, wo sie waren.

%1</translation>
    </message>
    <message>
        <source>Undone: %1 moved to the Recycle Bin</source>
        <translation>Rückgängig: %1 in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>Undone: %1 moved to %2</source>
        <translation>Rückgängig: %1 nach %2 verschoben</translation>
    </message>
    <message>
        <source>Focus Pea&amp;king</source>
        <translation>Fokus-Pe&amp;aking</translation>
    </message>
    <message>
        <source>&amp;Histogram</source>
        <translation>&amp;Histogramm</translation>
    </message>
    <message>
        <source>Clipp&amp;ing Warning</source>
        <translation>&amp;Clipping-Warnung</translation>
    </message>
    <message>
        <source>Show Focus &amp;Points</source>
        <translation>Fokus&amp;punkte anzeigen</translation>
    </message>
    <message>
        <source>Follow Focus Point When Zoo&amp;med</source>
        <translation>Fokuspunkt be&amp;im Vergrößern folgen</translation>
    </message>
    <message>
        <source>%1st</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1nd</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1rd</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1th</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>%1 of %2 in group</source>
        <translation>%1 von %2 in der Gruppe</translation>
    </message>
    <message>
        <source>Next &amp;Group</source>
        <translation>Nächste &amp;Gruppe</translation>
    </message>
    <message>
        <source>Pre&amp;vious Group</source>
        <translation>Vorherige Gr&amp;uppe</translation>
    </message>
    <message>
        <source>&amp;Keep Best of Group, Reject the Rest</source>
        <translation>Bes&amp;tes der Gruppe behalten, Rest ablehnen</translation>
    </message>
    <message>
        <source>Collapse Gro&amp;ups</source>
        <translation>Gruppen zu&amp;sammenklappen</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>Schärfe</translation>
    </message>
    <message>
        <source>%1 (%2 % of the sharpest)</source>
        <translation>%1 (%2 % des schärfsten)</translation>
    </message>
    <message>
        <source>Grouping: %1 of %2</source>
        <translation>Gruppieren: %1 von %2</translation>
    </message>
    <message>
        <source>Sharpness: %1</source>
        <translation>Schärfe: %1</translation>
    </message>
    <message>
        <source>The photos are still being grouped.</source>
        <translation>Die Fotos werden noch gruppiert.</translation>
    </message>
    <message>
        <source>This photo is not part of a group.</source>
        <translation>Dieses Foto gehört zu keiner Gruppe.</translation>
    </message>
    <message>
        <source>Reject photos with stars?</source>
        <translation>Fotos mit Sternen ablehnen?</translation>
    </message>
    <message>
        <source>%1 other photo(s) of this group already have stars. Reject them too?</source>
        <translation>%1 andere(s) Foto(s) dieser Gruppe haben schon Sterne. Auch ablehnen?</translation>
    </message>
    <message>
        <source>Kept %1, rejected %2 of %3</source>
        <translation>%1 behalten, %2 von %3 abgelehnt</translation>
    </message>
    <message>
        <source>Rejected %1 frames of this group</source>
        <translation>%1 Bilder dieser Gruppe abgelehnt</translation>
    </message>
    <message>
        <source>Lifted the rejection of %1 frames of this group</source>
        <translation>Ablehnung von %1 Bildern dieser Gruppe aufgehoben</translation>
    </message>
    <message>
        <source>Rejected %1 photos, collapsed groups whole</source>
        <translation>%1 Fotos abgelehnt, zusammengeklappte Gruppen ganz</translation>
    </message>
    <message>
        <source>Lifted the rejection of %1 photos, collapsed groups whole</source>
        <translation>Ablehnung von %1 Fotos aufgehoben, zusammengeklappte Gruppen ganz</translation>
    </message>
    <message>
        <source>%1: only %2, the frame shown of its group of %3</source>
        <translation>%1: nur %2, das gezeigte Bild seiner Gruppe aus %3</translation>
    </message>
    <message>
        <source>&amp;Import from Card…</source>
        <translation>Von Karte &amp;importieren…</translation>
    </message>
    <message>
        <source>Importing photos…</source>
        <translation>Fotos werden importiert…</translation>
    </message>
    <message>
        <source>Import from Card</source>
        <translation>Von Karte importieren</translation>
    </message>
</context>
<context>
    <name>MarkEdit</name>
    <message>
        <source>%1 stars</source>
        <translation>%1 Sterne</translation>
    </message>
    <message>
        <source>1 star</source>
        <translation>1 Stern</translation>
    </message>
    <message>
        <source>all marks cleared</source>
        <translation>alle Markierungen entfernt</translation>
    </message>
    <message>
        <source>label %1</source>
        <translation>Farbmarkierung %1</translation>
    </message>
    <message>
        <source>label cleared</source>
        <translation>Farbmarkierung entfernt</translation>
    </message>
    <message>
        <source>marks</source>
        <translation>Markierungen</translation>
    </message>
    <message>
        <source>no stars</source>
        <translation>keine Sterne</translation>
    </message>
    <message>
        <source>rejection</source>
        <translation>Ablehnung</translation>
    </message>
    <message>
        <source>rejection cleared</source>
        <translation>Ablehnung aufgehoben</translation>
    </message>
    <message>
        <source>rotation %1°</source>
        <translation>Drehung um %1°</translation>
    </message>
</context>
<context>
    <name>PhotoCatalog</name>
    <message>
        <source>%1 is gone: another program deleted or renamed it. Its mark was not saved, and it was taken off the list.</source>
        <translation>%1 ist nicht mehr da: Ein anderes Programm hat das Foto gelöscht oder umbenannt. Die Markierung wurde nicht gespeichert, und das Foto wurde aus der Liste genommen.</translation>
    </message>
    <message>
        <source>%1 photos</source>
        <translation>%1 Fotos</translation>
    </message>
    <message>
        <source>Could not save rotation for %1.</source>
        <translation>Die Drehung für %1 konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Could not write XMP sidecar for %1. The file may be damaged or use an unsupported XMP structure. Check write permissions and storage availability. Existing data was not overwritten.</source>
        <translation>Die XMP-Begleitdatei für %1 konnte nicht geschrieben werden. Die Datei ist möglicherweise beschädigt oder verwendet eine nicht unterstützte XMP-Struktur. Prüfen Sie die Schreibrechte und den freien Speicherplatz. Vorhandene Daten wurden nicht überschrieben.</translation>
    </message>
    <message>
        <source>Redone: %1 on %2</source>
        <translation>Wiederholt: %1 bei %2</translation>
    </message>
    <message>
        <source>Undone: %1 on %2</source>
        <translation>Rückgängig gemacht: %1 bei %2</translation>
    </message>
</context>
<context>
    <name>PhotoIngest</name>
    <message>
        <source>cancelled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>not copied: the import stopped</source>
        <translation>nicht kopiert: der Import wurde angehalten</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>der Ordner %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>The backup folder %1 is full.</source>
        <translation>Der Sicherungsordner %1 ist voll.</translation>
    </message>
    <message>
        <source>The destination %1 is full.</source>
        <translation>Das Ziel %1 ist voll.</translation>
    </message>
    <message>
        <source>The card or folder %1 can no longer be read; was it removed?</source>
        <translation>Die Karte oder der Ordner %1 kann nicht mehr gelesen werden; wurde sie entfernt?</translation>
    </message>
    <message>
        <source>the file on the card ended before its size; the copy was refused</source>
        <translation>die Datei auf der Karte endete vor ihrer Größe; die Kopie wurde abgelehnt</translation>
    </message>
    <message>
        <source>The destination and the backup cannot lie in the folder imported from, %1.</source>
        <translation>Das Ziel und die Sicherung dürfen nicht im Ordner liegen, aus dem importiert wird, %1.</translation>
    </message>
    <message>
        <source>The backup %1 needs a folder of its own, outside the destination %2.</source>
        <translation>Die Sicherung %1 braucht einen eigenen Ordner außerhalb des Ziels %2.</translation>
    </message>
</context>
<context>
    <name>PhotoTransfer</name>
    <message>
        <source>the copy differs from the original</source>
        <translation>die Kopie weicht vom Original ab</translation>
    </message>
    <message>
        <source>copied, but the original cannot be deleted</source>
        <translation>kopiert, aber das Original kann nicht gelöscht werden</translation>
    </message>
    <message>
        <source>the original ended before its size; the copy was refused</source>
        <translation>das Original endete vor seiner Größe; die Kopie wurde abgelehnt</translation>
    </message>
    <message>
        <source>%1 is already there</source>
        <translation>%1 ist schon vorhanden</translation>
    </message>
    <message>
        <source>it cannot be copied</source>
        <translation>sie kann nicht kopiert werden</translation>
    </message>
    <message>
        <source>it cannot be moved to %1: %2</source>
        <translation>sie kann nicht nach %1 verschoben werden: %2</translation>
    </message>
    <message>
        <source>it was left at %1: %2</source>
        <translation>sie blieb in %1: %2</translation>
    </message>
    <message>
        <source>it is already in this folder</source>
        <translation>sie liegt bereits in diesem Ordner</translation>
    </message>
    <message>
        <source>another file now has this name</source>
        <translation>eine andere Datei trägt jetzt diesen Namen</translation>
    </message>
    <message>
        <source>the original is no longer there</source>
        <translation>das Original ist nicht mehr da</translation>
    </message>
</context>
<context>
    <name>PreferencesDialog</name>
    <message>
        <source> MB</source>
        <translation> MB</translation>
    </message>
    <message>
        <source> seconds</source>
        <translation> Sekunden</translation>
    </message>
    <message>
        <source>Behavior</source>
        <translation>Verhalten</translation>
    </message>
    <message>
        <source>Clear thumbnail cache</source>
        <translation>Miniaturen-Cache leeren</translation>
    </message>
    <message>
        <source>Keyboard shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Loop slideshow</source>
        <translation>Diashow wiederholen</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Remember manual rotations in XMP</source>
        <translation>Manuelle Drehungen in XMP speichern</translation>
    </message>
    <message>
        <source>Restore shortcut defaults</source>
        <translation>Standard-Tastenkürzel wiederherstellen</translation>
    </message>
    <message>
        <source>Shortcut conflict</source>
        <translation>Tastenkürzel-Konflikt</translation>
    </message>
    <message>
        <source>Slide duration:</source>
        <translation>Anzeigedauer je Bild:</translation>
    </message>
    <message>
        <source>Some cached thumbnails could not be removed.</source>
        <translation>Einige zwischengespeicherte Miniaturen konnten nicht entfernt werden.</translation>
    </message>
    <message>
        <source>Start at first unreviewed image</source>
        <translation>Beim ersten ungesichteten Bild beginnen</translation>
    </message>
    <message>
        <source>The shortcut %1 is used by &quot;%2&quot; and &quot;%3&quot;.</source>
        <translation>Das Tastenkürzel %1 wird von „%2“ und „%3“ verwendet.</translation>
    </message>
    <message>
        <source>The thumbnail cache was cleared.</source>
        <translation>Der Miniaturen-Cache wurde geleert.</translation>
    </message>
    <message>
        <source>Thumbnail cache</source>
        <translation>Miniaturen-Cache</translation>
    </message>
    <message>
        <source>Thumbnail cache:</source>
        <translation>Miniaturen-Cache:</translation>
    </message>
    <message>
        <source>Colour management</source>
        <translation>Farbmanagement</translation>
    </message>
    <message>
        <source>Show photos and thumbnails in their own colours on this display. Off shows the pixels as stored, for comparison.</source>
        <translation>Fotos und Miniaturen in ihren eigenen Farben auf diesem Bildschirm zeigen. Aus zeigt die Pixel wie gespeichert, zum Vergleich.</translation>
    </message>
    <message>
        <source>Show RAW+JPEG pairs as one photo</source>
        <translation>RAW+JPEG-Paare als ein Foto zeigen</translation>
    </message>
    <message>
        <source>A RAW file and a JPEG file with the same name in one folder are shown once, as the JPEG; marks and the recycle bin apply to both.</source>
        <translation>Eine RAW- und eine JPEG-Datei gleichen Namens in einem Ordner werden einmal gezeigt, als JPEG; Markierungen und der Papierkorb gelten für beide.</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Weitere</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Loading preview…</source>
        <translation>Vorschau wird geladen…</translation>
    </message>
    <message>
        <source>Preview unavailable</source>
        <translation>Keine Vorschau verfügbar</translation>
    </message>
    <message>
        <source>REJECTED</source>
        <translation>ABGELEHNT</translation>
    </message>
    <message>
        <source>RAW+JPEG</source>
        <translation>RAW+JPEG</translation>
    </message>
    <message>
        <source>R+J</source>
        <extracomment>The RAW+JPEG tag of a thumbnail too small for it written out.</extracomment>
        <translation>R+J</translation>
    </message>
</context>
<context>
    <name>RawClippingPreference</name>
    <message>
        <source>Clipping from RAW data when available</source>
        <translation>Clipping aus RAW-Daten, wenn vorhanden</translation>
    </message>
    <message>
        <source>When a RAW file is shown from its sensor data, the clipping warning marks what the sensor recorded at its white level, which the embedded JPEG may hide.</source>
        <translation>Wird eine RAW-Datei aus ihren Sensordaten gezeigt, markiert die Clipping-Warnung, was der Sensor an seinem Weißpunkt aufgezeichnet hat; das eingebettete JPEG kann das verbergen.</translation>
    </message>
</context>
<context>
    <name>RawDecoder</name>
    <message>
        <source>The file cannot be read.</source>
        <translation>Die Datei kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The file holds no RAW data that can be decoded.</source>
        <translation>Die Datei enthält keine RAW-Daten, die dekodiert werden können.</translation>
    </message>
    <message>
        <source>The RAW data needs more memory than the %1 MiB allowed.</source>
        <translation>Die RAW-Daten brauchen mehr Speicher als die erlaubten %1 MiB.</translation>
    </message>
    <message>
        <source>The RAW data is damaged or incomplete.</source>
        <translation>Die RAW-Daten sind beschädigt oder unvollständig.</translation>
    </message>
</context>
<context>
    <name>ThumbnailGridWidget</name>
    <message>
        <source>No photos to display.

Open a photo folder or choose Filter → All Images.</source>
        <translation>Keine Fotos vorhanden.

Öffnen Sie einen Fotoordner oder wählen Sie Filter → Alle Bilder.</translation>
    </message>
</context>
<context>
    <name>TransferDialog</name>
    <message>
        <source>Move Photos To</source>
        <translation>Fotos verschieben nach</translation>
    </message>
    <message>
        <source>Copy Photos To</source>
        <translation>Fotos kopieren nach</translation>
    </message>
    <message>
        <source>Move them to this folder:</source>
        <translation>In diesen Ordner verschieben:</translation>
    </message>
    <message>
        <source>Copy them to this folder:</source>
        <translation>In diesen Ordner kopieren:</translation>
    </message>
    <message>
        <source>The photos are already in this folder. Choose another one.</source>
        <translation>Die Fotos liegen bereits in diesem Ordner. Wählen Sie einen anderen.</translation>
    </message>
    <message>
        <source>&amp;Browse…</source>
        <translation>&amp;Durchsuchen…</translation>
    </message>
    <message>
        <source>&amp;Move</source>
        <translation>&amp;Verschieben</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Type a folder or choose one with Browse.</source>
        <translation>Geben Sie einen Ordner ein oder wählen Sie einen mit „Durchsuchen“.</translation>
    </message>
    <message>
        <source>New folder, made when you confirm: %1</source>
        <translation>Neuer Ordner, wird beim Bestätigen angelegt: %1</translation>
    </message>
    <message>
        <source>This is a file, not a folder: %1</source>
        <translation>Dies ist eine Datei, kein Ordner: %1</translation>
    </message>
    <message>
        <source>%1 is a file, not a folder.</source>
        <translation>%1 ist eine Datei, kein Ordner.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be created.</source>
        <translation>Der Ordner %1 kann nicht angelegt werden.</translation>
    </message>
</context>
<context>
    <name>TransferTexts</name>
    <message numerus="yes">
        <source>%n selected photo(s)</source>
        <translation>
            <numerusform>%n ausgewähltes Foto</numerusform>
            <numerusform>%n ausgewählte Fotos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n photo(s)</source>
        <translation>
            <numerusform>%n Foto</numerusform>
            <numerusform>%n Fotos</numerusform>
        </translation>
    </message>
    <message>
        <source>not %1</source>
        <translation>nicht %1</translation>
    </message>
    <message>
        <source>zero stars</source>
        <translation>ohne Sterne</translation>
    </message>
    <message>
        <source>unreviewed</source>
        <translation>ungesichtet</translation>
    </message>
    <message>
        <source>rejected</source>
        <translation>abgelehnt</translation>
    </message>
    <message numerus="yes">
        <source>%n star(s)</source>
        <translation>
            <numerusform>%n Stern</numerusform>
            <numerusform>%n Sterne</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n star(s) or more</source>
        <translation>
            <numerusform>%n Stern oder mehr</numerusform>
            <numerusform>%n Sterne oder mehr</numerusform>
        </translation>
    </message>
    <message>
        <source>red label</source>
        <translation>Farbe Rot</translation>
    </message>
    <message>
        <source>yellow label</source>
        <translation>Farbe Gelb</translation>
    </message>
    <message>
        <source>green label</source>
        <translation>Farbe Grün</translation>
    </message>
    <message>
        <source>blue label</source>
        <translation>Farbe Blau</translation>
    </message>
    <message>
        <source>Mo&amp;ve Photos To…</source>
        <translation>Fotos &amp;verschieben nach…</translation>
    </message>
    <message>
        <source>&amp;Copy Photos To…</source>
        <translation>Fotos &amp;kopieren nach…</translation>
    </message>
    <message numerus="yes">
        <source>Mo&amp;ve %n Selected Photo(s) To…</source>
        <translation>
            <numerusform>%n ausgewähltes Foto &amp;verschieben nach…</numerusform>
            <numerusform>%n ausgewählte Fotos &amp;verschieben nach…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Mo&amp;ve %n Shown Photo(s) To…</source>
        <translation>
            <numerusform>%n gezeigtes Foto &amp;verschieben nach…</numerusform>
            <numerusform>%n gezeigte Fotos &amp;verschieben nach…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>&amp;Copy %n Selected Photo(s) To…</source>
        <translation>
            <numerusform>%n ausgewähltes Foto &amp;kopieren nach…</numerusform>
            <numerusform>%n ausgewählte Fotos &amp;kopieren nach…</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>&amp;Copy %n Shown Photo(s) To…</source>
        <translation>
            <numerusform>%n gezeigtes Foto &amp;kopieren nach…</numerusform>
            <numerusform>%n gezeigte Fotos &amp;kopieren nach…</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 with %2</source>
        <translation>%1 mit %2</translation>
    </message>
    <message numerus="yes">
        <source>%n XMP sidecar(s)</source>
        <translation>
            <numerusform>%n XMP-Begleitdatei</numerusform>
            <numerusform>%n XMP-Begleitdateien</numerusform>
        </translation>
    </message>
    <message>
        <source>Move %1 and %2 to %3? They leave this folder.</source>
        <translation>%1 und %2 nach %3 verschieben? Sie verlassen diesen Ordner.</translation>
    </message>
    <message>
        <source>Move %1 to %2? They leave this folder.</source>
        <translation>%1 nach %2 verschieben? Sie verlassen diesen Ordner.</translation>
    </message>
</context>
<context>
    <name>ViewerWidget</name>
    <message>
        <source> — %1</source>
        <translation> — %1</translation>
    </message>
    <message>
        <source> — rotated %1°</source>
        <translation> — gedreht um %1°</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>%1 × %2 px</source>
        <translation>%1 × %2 px</translation>
    </message>
    <message>
        <source>Aperture</source>
        <translation>Blende</translation>
    </message>
    <message>
        <source>cache</source>
        <translation>Cache</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Kamera</translation>
    </message>
    <message>
        <source>Captured</source>
        <translation>Aufgenommen</translation>
    </message>
    <message>
        <source>Compensation</source>
        <translation>Belichtungskorrektur</translation>
    </message>
    <message>
        <source>Could not read preview: %1</source>
        <translation>Vorschau konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>Dimensions</source>
        <translation>Abmessungen</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>Belichtungszeit</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>File size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Eingepasst</translation>
    </message>
    <message>
        <source>Focal length</source>
        <translation>Brennweite</translation>
    </message>
    <message>
        <source>ISO</source>
        <translation>ISO</translation>
    </message>
    <message>
        <source>Lens</source>
        <translation>Objektiv</translation>
    </message>
    <message>
        <source>loading</source>
        <translation>wird geladen</translation>
    </message>
    <message>
        <source>Loading preview…</source>
        <translation>Vorschau wird geladen…</translation>
    </message>
    <message>
        <source>No EXIF data available</source>
        <translation>Keine EXIF-Daten vorhanden</translation>
    </message>
    <message>
        <source>No images match the active filter</source>
        <translation>Keine Bilder entsprechen dem aktiven Filter</translation>
    </message>
    <message>
        <source>No images match the active filter.

Choose Filter → All Images to see your photos again.</source>
        <translation>Keine Bilder entsprechen dem aktiven Filter.

Wählen Sie Filter → Alle Bilder, um wieder alle Fotos zu sehen.</translation>
    </message>
    <message>
        <source>No supported images found</source>
        <translation>Keine unterstützten Bilder gefunden</translation>
    </message>
    <message>
        <source>No supported images in this folder.

Choose another folder with File → Open Folder… (Ctrl+O).</source>
        <translation>Keine unterstützten Bilder in diesem Ordner.

Wählen Sie mit Datei → Ordner öffnen… (Strg+O) einen anderen Ordner.</translation>
    </message>
    <message>
        <source>Open a folder to start viewing photos.

File → Open Folder… · Ctrl+O</source>
        <translation>Öffnen Sie einen Ordner, um Fotos anzusehen.

Datei → Ordner öffnen… · Strg+O</translation>
    </message>
    <message>
        <source>preparing filter</source>
        <translation>Filter wird vorbereitet</translation>
    </message>
    <message>
        <source>preparing resume position</source>
        <translation>Fortsetzungsposition wird ermittelt</translation>
    </message>
    <message>
        <source>REJECTED</source>
        <translation>ABGELEHNT</translation>
    </message>
    <message>
        <source>Rejected</source>
        <translation>Abgelehnt</translation>
    </message>
    <message>
        <source>reloading metadata</source>
        <translation>Metadaten werden neu gelesen</translation>
    </message>
    <message>
        <source>scanning ratings</source>
        <translation>Bewertungen werden gelesen</translation>
    </message>
    <message>
        <source>This photo could not be displayed.
%1

Check that the file and drive are available. The file may be damaged or contain no supported preview.
Use the arrow keys to continue to the next photo.</source>
        <translation>Dieses Foto konnte nicht angezeigt werden.
%1

Prüfen Sie, ob Datei und Laufwerk verfügbar sind. Die Datei ist möglicherweise beschädigt oder enthält keine unterstützte Vorschau.
Mit den Pfeiltasten gelangen Sie zum nächsten Foto.</translation>
    </message>
    <message>
        <source>XMP rotation write failed</source>
        <translation>Drehung nicht in XMP gespeichert</translation>
    </message>
    <message>
        <source>XMP write failed</source>
        <translation>XMP-Speichern fehlgeschlagen</translation>
    </message>
    <message>
        <source>Colours</source>
        <translation>Farben</translation>
    </message>
    <message>
        <source>Colour profile</source>
        <translation>Farbprofil</translation>
    </message>
    <message>
        <source>%1 (not applied)</source>
        <translation>%1 (nicht angewendet)</translation>
    </message>
    <message>
        <source>This file is damaged; only part of it could be shown</source>
        <translation>Diese Datei ist beschädigt; nur ein Teil konnte angezeigt werden</translation>
    </message>
    <message>
        <source>embedded preview, loading</source>
        <translation>eingebettete Vorschau, wird geladen</translation>
    </message>
    <message>
        <source>%1 — %2%3%4%5%6 — Left/Right to navigate</source>
        <translation>%1 — %2%3%4%5%6 — Links/Rechts zum Blättern</translation>
    </message>
    <message>
        <source>Image %1 of %2</source>
        <translation>Bild %1 von %2</translation>
    </message>
    <message>
        <source>Filter: %1 — image %2 of %3</source>
        <translation>Filter: %1 — Bild %2 von %3</translation>
    </message>
    <message>
        <source>zero stars</source>
        <translation>ohne Sterne</translation>
    </message>
    <message>
        <source>unreviewed</source>
        <translation>ungesichtet</translation>
    </message>
    <message>
        <source>rejected</source>
        <translation>abgelehnt</translation>
    </message>
    <message>
        <source>label %1</source>
        <translation>Farbe %1</translation>
    </message>
    <message>
        <source>not %1</source>
        <translation>nicht %1</translation>
    </message>
    <message>
        <source>RAW+JPEG</source>
        <translation>RAW+JPEG</translation>
    </message>
    <message>
        <source>RAW file</source>
        <translation>RAW-Datei</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>%1 — Preview %2 × %3</source>
        <translation>%1 — Vorschau %2 × %3</translation>
    </message>
    <message>
        <source>Pinned photo</source>
        <translation>Angeheftetes Foto</translation>
    </message>
    <message>
        <source>Filter: %1 — pinned photo</source>
        <translation>Filter: %1 — angeheftetes Foto</translation>
    </message>
    <message>
        <source>Candidate %1 of %2</source>
        <translation>Kandidat %1 von %2</translation>
    </message>
    <message>
        <source>Filter: %1 — candidate %2 of %3</source>
        <translation>Filter: %1 — Kandidat %2 von %3</translation>
    </message>
    <message>
        <source>Open a folder to begin</source>
        <translation>Öffnen Sie einen Ordner, um zu beginnen</translation>
    </message>
    <message>
        <source>▶ Slideshow</source>
        <translation>▶ Diashow</translation>
    </message>
    <message>
        <source>❚❚ Paused</source>
        <translation>❚❚ Angehalten</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>Fokus</translation>
    </message>
    <message>
        <source>%1: %2 Its embedded preview is shown instead.</source>
        <translation>%1: %2 Stattdessen wird die eingebettete Vorschau gezeigt.</translation>
    </message>
    <message>
        <source>%1 — Rendering RAW… — Sensor %2 × %3</source>
        <translation>%1 — RAW wird berechnet… — Sensor %2 × %3</translation>
    </message>
    <message>
        <source>%1 — Sensor %2 × %3</source>
        <translation>%1 — Sensor %2 × %3</translation>
    </message>
</context>
<context>
    <name>WebAddress</name>
    <message>
        <source>No Web Browser</source>
        <translation>Kein Webbrowser</translation>
    </message>
    <message>
        <source>No web browser could be started. Open this address in one yourself:</source>
        <translation>Es konnte kein Webbrowser gestartet werden. Öffnen Sie diese Adresse selbst in einem Browser:</translation>
    </message>
    <message>
        <source>&amp;Copy Address</source>
        <translation>Adresse &amp;kopieren</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Kopiert</translation>
    </message>
</context>
<context>
    <name>WriteProblemBar</name>
    <message>
        <source>%1 mark(s) could not be saved.</source>
        <translation>%1 Markierung(en) konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>Marks cannot be saved in this folder: %1</source>
        <translation>Markierungen können in diesem Ordner nicht gespeichert werden: %1</translation>
    </message>
</context>
</TS>
