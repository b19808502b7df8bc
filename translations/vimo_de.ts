<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CComposeDlg</name>
    <message>
        <source>New Vimo</source>
        <translation>Neues Vimo</translation>
    </message>
    <message>
        <source>Enter the name you wish to send a vimo to. If you are unsure of the name press the button with the ? and a list will be shown to you. Double-click on the correct name. If the name does not show up enter the name in the edit box. Press Send to finish</source>
        <translation>Geben Sie den Namen ein, an den das Vimo gehen soll. Sind Sie unsicher, drücken Sie die Schaltfläche mit dem ? und doppelklicken Sie in der Liste auf den richtigen Namen. Steht er nicht darin, tippen Sie ihn ins Feld. Mit Senden ist es fertig</translation>
    </message>
    <message>
        <source>Send To:</source>
        <translation>Senden an:</translation>
    </message>
    <message>
        <source>Urgency</source>
        <translation>Dringlichkeit</translation>
    </message>
    <message>
        <source>Yellow: normal</source>
        <translation>Gelb: normal</translation>
    </message>
    <message>
        <source>Green: important</source>
        <translation>Grün: wichtig</translation>
    </message>
    <message>
        <source>Red: urgent</source>
        <translation>Rot: dringend</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>List of users</source>
        <translation>Liste der Benutzer</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Benutzer</translation>
    </message>
</context>
<context>
    <name>CLoginDlg</name>
    <message>
        <source>Login &amp; Identification</source>
        <translation>Anmeldung &amp; Identifikation</translation>
    </message>
    <message>
        <source>Vimo

Short notes for your colleagues, right on their desktops.</source>
        <translation>Vimo

Kurze Notizen für Ihre Kollegen, direkt auf ihren Bildschirm.</translation>
    </message>
    <message>
        <source>User Name</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>List of users</source>
        <translation>Liste der Benutzer</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbruch</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Enter your user name in the edit box below. If you need a list of user names please press the button with the question mark and then double-click the correct user name. If this is your first time, just enter the name others will be sending your vimo&apos;s to.</source>
        <translation>Geben Sie unten Ihren Benutzernamen ein. Für eine Liste der Namen drücken Sie die Schaltfläche mit dem Fragezeichen und doppelklicken auf den richtigen. Sind Sie zum ersten Mal hier, geben Sie den Namen ein, an den andere Ihnen Vimos senden.</translation>
    </message>
</context>
<context>
    <name>CYesNoDlg</name>
    <message>
        <source>Vimo</source>
        <translation>Vimo</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no</source>
        <translation>nein</translation>
    </message>
</context>
<context>
    <name>DataExchange</name>
    <message>
        <source>Please enter no more than %1 characters.</source>
        <translation>Bitte geben Sie nicht mehr als %1 Zeichen ein.</translation>
    </message>
</context>
<context>
    <name>DateStamp</name>
    <message>
        <source>ddd d MMM yyyy</source>
        <translation>ddd d. MMM yyyy</translation>
    </message>
</context>
<context>
    <name>DesktopPlatform</name>
    <message>
        <source>This desktop shows no notification area, so Vimo has no icon in it. Vimo runs all the same and your notes arrive.
To write a note, start Vimo again. &quot;Sent Vimos&quot;, &quot;Show All Vimos&quot;, &quot;Hide All Vimos&quot; and &quot;Quit&quot; are in the menu of Vimo&apos;s entry in your applications (right-click it), or run vimo --sent, --show-all, --hide-all or --quit.</source>
        <translation>Dieser Desktop zeigt keinen Infobereich, daher hat Vimo dort kein Symbol. Vimo läuft trotzdem, und Ihre Notizen kommen an.
Um eine Notiz zu schreiben, starten Sie Vimo erneut. „Gesendete Vimos“, „Alle Vimos zeigen“, „Alle Vimos ausblenden“ und „Beenden“ stehen im Menü von Vimos Eintrag unter Ihren Anwendungen (Rechtsklick darauf), oder rufen Sie vimo --sent, --show-all, --hide-all oder --quit auf.</translation>
    </message>
    <message>
        <source>This Wayland desktop places every window itself, so notes open where the desktop puts them, not one below the other. With XWayland installed, Vimo places them as usual.</source>
        <translation>Dieser Wayland-Desktop setzt jedes Fenster selbst, daher öffnen sich Notizen dort, wo der Desktop sie hinsetzt, nicht eine unter der anderen. Mit installiertem XWayland setzt Vimo sie wie gewohnt.</translation>
    </message>
</context>
<context>
    <name>DesktopPrompts</name>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
</context>
<context>
    <name>Groups</name>
    <message>
        <source>there is no group %1.</source>
        <translation>es gibt keine Gruppe %1.</translation>
    </message>
</context>
<context>
    <name>LaterNotes</name>
    <message>
        <source>That time has passed already.</source>
        <translation>Dieser Zeitpunkt ist schon vorbei.</translation>
    </message>
    <message>
        <source>That time is more than a year ahead.</source>
        <translation>Dieser Zeitpunkt liegt mehr als ein Jahr voraus.</translation>
    </message>
    <message>
        <source>at %1</source>
        <translation>um %1</translation>
    </message>
</context>
<context>
    <name>NotePosting</name>
    <message>
        <source>User name cannot be Empty</source>
        <translation>Der Benutzername darf nicht leer sein</translation>
    </message>
    <message>
        <source>the addressee cannot be looked up now.</source>
        <translation>Der Empfänger lässt sich jetzt nicht nachschlagen.</translation>
    </message>
    <message>
        <source>User name must be Valid
[Press ? for List]</source>
        <translation>Der Benutzername muss gültig sein
[? drücken für die Liste]</translation>
    </message>
    <message>
        <source>the note was not sent.</source>
        <translation>Die Notiz wurde nicht gesendet.</translation>
    </message>
    <message>
        <source>the note was sent to %1 but not to %2.</source>
        <translation>Die Notiz ging an %1, aber nicht an %2.</translation>
    </message>
    <message>
        <source>%1 has nobody else in it.</source>
        <translation>%1 enthält sonst niemanden.</translation>
    </message>
</context>
<context>
    <name>NoteTexts</name>
    <message>
        <source>From %1</source>
        <translation>Von %1</translation>
    </message>
    <message>
        <source>Urgent</source>
        <translation>Dringend</translation>
    </message>
    <message>
        <source>Important</source>
        <translation>Wichtig</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>User name must be Valid: %1
[Press ? for List]</source>
        <translation>Der Benutzername muss gültig sein: %1
[? drücken für die Liste]</translation>
    </message>
    <message>
        <source>The name %1 holds characters that cannot be seen (%2): no Vimo name may hold them.</source>
        <translation>Der Name %1 enthält Zeichen, die man nicht sieht (%2): kein Vimo-Name darf sie enthalten.</translation>
    </message>
</context>
<context>
    <name>Notifications</name>
    <message>
        <source>%1 new Vimo</source>
        <translation>%1 neues Vimo</translation>
    </message>
    <message>
        <source>%1 new Vimos</source>
        <translation>%1 neue Vimos</translation>
    </message>
    <message>
        <source>%1 and %2 more</source>
        <translation>%1 und %2 weitere</translation>
    </message>
    <message>
        <source>%1 from %2</source>
        <translation>%1 von %2</translation>
    </message>
</context>
<context>
    <name>OpenStore</name>
    <message>
        <source>Create New File</source>
        <translation>Neue Datei anlegen</translation>
    </message>
    <message>
        <source>Vimo Files (*.vmo)</source>
        <translation>Vimo-Dateien (*.vmo)</translation>
    </message>
    <message>
        <source>The data file cannot be found:
%1

If it lies on a share, the share may not be there yet.</source>
        <translation>Die Datendatei ist nicht zu finden:
%1

Liegt sie auf einer Freigabe, ist diese vielleicht noch nicht verbunden.</translation>
    </message>
    <message>
        <source>The store cannot be reached:
%1 [%2]</source>
        <translation>Der Datenspeicher ist nicht erreichbar:
%1 [%2]</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>The data file path is too long (at most %1 bytes):
%2</source>
        <translation>Der Pfad der Datendatei ist zu lang (höchstens %1 Bytes):
%2</translation>
    </message>
    <message>
        <source>The data file path holds a control character:
%1</source>
        <translation>Der Pfad der Datendatei enthält ein Steuerzeichen:
%1</translation>
    </message>
    <message>
        <source>The data file path ends in a blank:
&quot;%1&quot;</source>
        <translation>Der Pfad der Datendatei endet mit einem Leerzeichen:
„%1“</translation>
    </message>
    <message>
        <source>The data file has no tables for the notes.</source>
        <translation>Die Datendatei enthält keine Tabellen für die Notizen.</translation>
    </message>
    <message>
        <source>The store&apos;s server could not prove that it is the office&apos;s server, so Vimo did not connect to it:
%1 [%2]

Please tell your administrator.</source>
        <translation>Der Server des Datenspeichers konnte nicht nachweisen, dass er der Server des Büros ist; Vimo hat sich deshalb nicht mit ihm verbunden:
%1 [%2]

Bitte sagen Sie es Ihrem Administrator.</translation>
    </message>
</context>
<context>
    <name>Presence</name>
    <message>
        <source>away</source>
        <translation>abwesend</translation>
    </message>
    <message>
        <source>in</source>
        <translation>da</translation>
    </message>
    <message>
        <source>ddd d MMM</source>
        <translation>ddd d. MMM</translation>
    </message>
    <message>
        <source>last in %1</source>
        <translation>zuletzt da %1</translation>
    </message>
    <message>
        <source>%1 has not been in since %2; the note waits for them.</source>
        <translation>%1 war seit %2 nicht da; die Notiz wartet auf sie.</translation>
    </message>
</context>
<context>
    <name>Prompts</name>
    <message>
        <source>%1 [Error (%2) %3]</source>
        <translation>%1 [Fehler (%2) %3]</translation>
    </message>
    <message>
        <source>The store cannot be reached: %1
[%2] %3</source>
        <translation>Der Datenspeicher ist nicht erreichbar: %1
[%2] %3</translation>
    </message>
</context>
<context>
    <name>Receipts</name>
    <message>
        <source>deleted %1</source>
        <translation>gelöscht %1</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>gelöscht</translation>
    </message>
    <message>
        <source>on screen since %1</source>
        <translation>auf dem Bildschirm seit %1</translation>
    </message>
    <message>
        <source>on screen</source>
        <translation>auf dem Bildschirm</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>wartet</translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>
Try &apos;vimo --help&apos; for more information.</source>
        <translation>
&apos;vimo --help&apos; gibt weitere Auskunft.</translation>
    </message>
    <message>
        <source>vimo: option &apos;%1&apos; needs a value</source>
        <translation>vimo: Die Option &apos;%1&apos; braucht einen Wert</translation>
    </message>
    <message>
        <source>vimo: unknown option &apos;%1&apos;</source>
        <translation>vimo: Unbekannte Option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Usage: vimo [OPTION] [DATA-FILE]
Post short notes to colleagues on the office network, and receive theirs as small
coloured windows on the desktop.

DATA-FILE is a shared Vimo data file (*.vmo). It is used only when the data source
&quot;VIMO&quot; does not open; Vimo then registers &quot;VIMO&quot; for it.

Vimo runs once for each user on each desktop. Started again, it opens the running
copy&apos;s &quot;New Vimo&quot; dialog. These options give the running copy a command of its tray
menu, also where the desktop shows no tray:
      --new        write a note (starts Vimo when it does not run)
      --sent       list the notes sent (starts Vimo when it does not run)
      --show-all   show every hidden note (starts Vimo when it does not run)
      --hide-all   hide every note
      --quit       end the running copy
      --login      the start at login: nothing when Vimo runs already
      --group NAME[=USER,...]
                   print a group&apos;s members, or give the group exactly these
                   members (none removes it), then exit
  -h, --help       print this help and exit
      --version    print the version and exit

Qt&apos;s own options (-platform, -display, -style, ...) are accepted as well.
Files and environment: see vimo(1).
</source>
        <translation>Aufruf: vimo [OPTION] [DATENDATEI]
Kurze Notizen an Kollegen im Büronetz senden und deren Notizen als kleine farbige
Fenster auf dem Bildschirm empfangen.

DATENDATEI ist eine gemeinsame Vimo-Datendatei (*.vmo). Sie zählt nur, wenn sich die
Datenquelle &quot;VIMO&quot; nicht öffnen lässt; Vimo trägt &quot;VIMO&quot; dann für sie ein.

Vimo läuft einmal je Benutzer und Bildschirmsitzung. Erneut gestartet, öffnet es den
Dialog &quot;Neues Vimo&quot; der laufenden Kopie. Diese Optionen geben der laufenden Kopie
einen Befehl ihres Menüs im Infobereich, auch wo der Desktop keinen Infobereich hat:
      --new        eine Notiz schreiben (startet Vimo, wenn es nicht läuft)
      --sent       die gesendeten Notizen zeigen (startet Vimo, wenn es nicht läuft)
      --show-all   alle ausgeblendeten Notizen zeigen (startet Vimo bei Bedarf)
      --hide-all   alle Notizen ausblenden
      --quit       die laufende Kopie beenden
      --login      der Start bei der Anmeldung: nichts, wenn Vimo schon läuft
      --group NAME[=BENUTZER,...]
                   die Mitglieder einer Gruppe ausgeben, oder der Gruppe genau diese
                   Mitglieder geben (keine entfernt sie), dann beenden
  -h, --help       diese Hilfe ausgeben und beenden
      --version    die Version ausgeben und beenden

Die Optionen von Qt selbst (-platform, -display, -style, ...) gelten ebenfalls.
Dateien und Umgebung: siehe vimo(1).
</translation>
    </message>
</context>
<context>
    <name>Store</name>
    <message>
        <source>No link to the store</source>
        <translation>Keine Verbindung zum Datenspeicher</translation>
    </message>
</context>
<context>
    <name>TrayLogic</name>
    <message>
        <source>%1 Vimo Active</source>
        <translation>%1 Vimo aktiv</translation>
    </message>
    <message>
        <source>%1 Vimos Active</source>
        <translation>%1 Vimos aktiv</translation>
    </message>
    <message>
        <source>Vimo: the store cannot be reached since %1</source>
        <translation>Vimo: Der Datenspeicher ist seit %1 nicht erreichbar</translation>
    </message>
</context>
<context>
    <name>UserSignIn</name>
    <message>
        <source>There must be a User name</source>
        <translation>Ein Benutzername ist nötig</translation>
    </message>
    <message>
        <source>the user name cannot be looked up now.</source>
        <translation>Der Benutzername lässt sich jetzt nicht nachschlagen.</translation>
    </message>
    <message>
        <source>The database role %1 cannot be a Vimo name: a name has at most 15 characters and no small letters. Ask the administrator for a role named as your colleagues write to you.</source>
        <translation>Die Datenbankrolle %1 kann kein Vimo-Name sein: ein Name hat höchstens 15 Zeichen und keine Kleinbuchstaben. Bitten Sie die Verwaltung um eine Rolle, die so heißt, wie Ihre Kollegen Ihnen schreiben.</translation>
    </message>
    <message>
        <source>The database role %1 lacks %2.
The administrator must grant it: GRANT vimo_users TO %3</source>
        <translation>Der Datenbankrolle %1 fehlt %2.
Die Verwaltung muss es gewähren: GRANT vimo_users TO %3</translation>
    </message>
    <message>
        <source>%1 is the name of a group; choose another user name.</source>
        <translation>%1 ist der Name einer Gruppe; wählen Sie einen anderen Benutzernamen.</translation>
    </message>
</context>
<context>
    <name>vimo</name>
    <message>
        <source>A group&apos;s name is written in capitals, 1 to 15 characters, with no comma.</source>
        <translation>Ein Gruppenname steht in Großbuchstaben, 1 bis 15 Zeichen, ohne Komma.</translation>
    </message>
    <message>
        <source>ALL is every user already; it cannot be changed.</source>
        <translation>ALL umfasst schon alle Benutzer; sie kann nicht geändert werden.</translation>
    </message>
    <message>
        <source>%1 is a user&apos;s name; a group needs a name of its own.</source>
        <translation>%1 ist ein Benutzername; eine Gruppe braucht einen eigenen Namen.</translation>
    </message>
    <message>
        <source>%1 is no user; a group holds users only.</source>
        <translation>%1 ist kein Benutzer; eine Gruppe enthält nur Benutzer.</translation>
    </message>
</context>
<context>
    <name>vimo::CComposeDlg</name>
    <message>
        <source>Sending…</source>
        <translation>Senden…</translation>
    </message>
    <message>
        <source>Send &amp;at</source>
        <translation>Senden &amp;um</translation>
    </message>
    <message>
        <source>Time the note is to come</source>
        <translation>Zeitpunkt, zu dem die Notiz kommt</translation>
    </message>
</context>
<context>
    <name>vimo::CDeletedDlg</name>
    <message>
        <source>&amp;Restore</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Deleted Vimos</source>
        <translation>Gelöschte Vimos</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Deleted</source>
        <translation>Gelöscht</translation>
    </message>
    <message numerus="yes">
        <source>No Vimo was deleted in the last %n days.</source>
        <translation>
            <numerusform>In den letzten %n Tag wurde kein Vimo gelöscht.</numerusform>
            <numerusform>In den letzten %n Tagen wurde kein Vimo gelöscht.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Vimos deleted in the last %n days, newest first.</source>
        <translation>
            <numerusform>Im letzten %n Tag gelöschte Vimos, die neuesten zuerst.</numerusform>
            <numerusform>In den letzten %n Tagen gelöschte Vimos, die neuesten zuerst.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vimo::CFileChooserDlg</name>
    <message>
        <source>%1
This file does not exist.
Create the file?</source>
        <translation>%1
Diese Datei gibt es nicht.
Datei anlegen?</translation>
    </message>
</context>
<context>
    <name>vimo::CGroupsDlg</name>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Groups</source>
        <translation>Gruppen</translation>
    </message>
    <message>
        <source>Group name</source>
        <translation>Gruppenname</translation>
    </message>
    <message>
        <source>Members</source>
        <translation>Mitglieder</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>&amp;Groups:</source>
        <translation>&amp;Gruppen:</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>&amp;Members:</source>
        <translation>&amp;Mitglieder:</translation>
    </message>
    <message>
        <source>the groups cannot be read now.</source>
        <translation>die Gruppen können jetzt nicht gelesen werden.</translation>
    </message>
    <message>
        <source>the group was not saved.</source>
        <translation>die Gruppe wurde nicht gespeichert.</translation>
    </message>
</context>
<context>
    <name>vimo::CLoginDlg</name>
    <message>
        <source>Add new User</source>
        <translation>Neuen Benutzer hinzufügen</translation>
    </message>
    <message>
        <source>The office&apos;s server knows you by your database login: you receive and send your vimo&apos;s under the name below. Press Login.</source>
        <translation>Der Server des Büros kennt Sie an Ihrer Datenbank-Anmeldung: Sie empfangen und senden Ihre Vimos unter dem Namen unten. Drücken Sie Login.</translation>
    </message>
</context>
<context>
    <name>vimo::CNoteDlg</name>
    <message>
        <source>&amp;Hide</source>
        <translation>Aus&amp;blenden</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>&amp;Enlarge</source>
        <translation>&amp;Vergrößern</translation>
    </message>
    <message>
        <source>&amp;Shrink</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
    <message>
        <source>&amp;Reply</source>
        <translation>&amp;Antworten</translation>
    </message>
</context>
<context>
    <name>vimo::CSentDlg</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Sent Vimos</source>
        <translation>Gesendete Vimos</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>You have sent no Vimos yet.</source>
        <translation>Sie haben noch keine Vimos gesendet.</translation>
    </message>
    <message>
        <source>Your last Vimo.</source>
        <translation>Ihr letztes Vimo.</translation>
    </message>
    <message>
        <source>Your last %1 Vimos, newest first.</source>
        <translation>Ihre letzten %1 Vimos, das neueste zuerst.</translation>
    </message>
    <message>
        <source>Take &amp;Back</source>
        <translation>&amp;Zurücknehmen</translation>
    </message>
</context>
<context>
    <name>vimo::CTrayDlg</name>
    <message>
        <source>&amp;Hide All Vimos</source>
        <translation>Alle Vimos &amp;ausblenden</translation>
    </message>
    <message>
        <source>&amp;Show All Vimos</source>
        <translation>Alle Vimos &amp;zeigen</translation>
    </message>
    <message>
        <source>&amp;New Vimo</source>
        <translation>&amp;Neues Vimo</translation>
    </message>
    <message>
        <source>Sen&amp;t Vimos</source>
        <translation>&amp;Gesendete Vimos</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>the notes sent cannot be listed now.</source>
        <translation>Die gesendeten Notizen lassen sich jetzt nicht auflisten.</translation>
    </message>
    <message>
        <source>&amp;Groups...</source>
        <translation>Gr&amp;uppen...</translation>
    </message>
    <message>
        <source>&amp;Deleted Vimos</source>
        <translation>Ge&amp;löschte Vimos</translation>
    </message>
    <message>
        <source>the note cannot be taken back now.</source>
        <translation>Die Notiz lässt sich jetzt nicht zurücknehmen.</translation>
    </message>
    <message>
        <source>Too late: the note has gone to its recipient already.</source>
        <translation>Zu spät: Die Notiz ist schon bei ihrem Empfänger.</translation>
    </message>
    <message>
        <source>the deleted notes cannot be listed now.</source>
        <translation>Die gelöschten Notizen lassen sich jetzt nicht auflisten.</translation>
    </message>
    <message>
        <source>The note from %1 is deleted. Click here to undo.</source>
        <translation>Die Notiz von %1 ist gelöscht. Hier klicken, um das rückgängig zu machen.</translation>
    </message>
    <message>
        <source>the note will be brought back when it is back.</source>
        <translation>Die Notiz wird wiederhergestellt, sobald er wieder erreichbar ist.</translation>
    </message>
    <message>
        <source>the note cannot be brought back.</source>
        <translation>Die Notiz lässt sich nicht wiederherstellen.</translation>
    </message>
    <message>
        <source>This note cannot be brought back any more.</source>
        <translation>Diese Notiz kann nicht mehr wiederhergestellt werden.</translation>
    </message>
    <message>
        <source>The note from %1 is deleted.</source>
        <translation>Die Notiz von %1 ist gelöscht.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
</context>
<context>
    <name>vimo::CUserListBox</name>
    <message>
        <source>group</source>
        <translation>Gruppe</translation>
    </message>
</context>
<context>
    <name>vimo::NoteInbox</name>
    <message>
        <source>Couldn&apos;t get all the vimo&apos;s - Please delete some</source>
        <translation>Nicht alle Vimos passen auf den Bildschirm – bitte löschen Sie einige</translation>
    </message>
    <message>
        <source>This note had already been deleted from the store.</source>
        <translation>Diese Notiz war schon aus dem Datenspeicher gelöscht.</translation>
    </message>
    <message>
        <source>the note will be deleted from it when it is back.</source>
        <translation>Die Notiz wird dort gelöscht, sobald er wieder erreichbar ist.</translation>
    </message>
</context>
</TS>
