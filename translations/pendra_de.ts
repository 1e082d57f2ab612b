<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AlarmRules</name>
    <message>
        <source>Sun</source>
        <translation>So</translation>
    </message>
    <message>
        <source>Mon</source>
        <translation>Mo</translation>
    </message>
    <message>
        <source>Tue</source>
        <translation>Di</translation>
    </message>
    <message>
        <source>Wed</source>
        <translation>Mi</translation>
    </message>
    <message>
        <source>Thu</source>
        <translation>Do</translation>
    </message>
    <message>
        <source>Fri</source>
        <translation>Fr</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>Sa</translation>
    </message>
    <message>
        <source>Every day</source>
        <translation>Täglich</translation>
    </message>
    <message>
        <source>Weekdays</source>
        <translation>Werktags</translation>
    </message>
    <message>
        <source>Weekends</source>
        <translation>Wochenende</translation>
    </message>
    <message>
        <source>Snooze: %1 mins</source>
        <translation>Snooze: %1 Min.</translation>
    </message>
    <message>
        <source>%1m left</source>
        <translation>noch %1 Min.</translation>
    </message>
    <message>
        <source>Pendra - next alarm %1 %2</source>
        <translation>Pendra – nächster Wecker %1 %2</translation>
    </message>
</context>
<context>
    <name>Ask</name>
    <message>
        <source>This cannot be undone.</source>
        <translation>Dies kann nicht rückgängig gemacht werden.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Ringtones</name>
    <message>
        <source>%1 (no sound could be played)</source>
        <translation>%1 (es konnte kein Ton abgespielt werden)</translation>
    </message>
</context>
<context>
    <name>pendra::AlarmViewController</name>
    <message>
        <source>Alarm</source>
        <translation>Wecker</translation>
    </message>
    <message>
        <source>New Alarm</source>
        <translation>Neuer Wecker</translation>
    </message>
    <message>
        <source>Gentle wake</source>
        <translation>Sanft wecken</translation>
    </message>
    <message>
        <source>Alarms rise from quiet to full volume over 30 s</source>
        <translation>Wecker werden über 30 s von leise bis zur vollen Lautstärke lauter</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Delete 1 alarm?</source>
        <translation>1 Wecker löschen?</translation>
    </message>
    <message>
        <source>Delete all %1 alarms?</source>
        <translation>Alle %1 Wecker löschen?</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>No alarms</source>
        <translation>Keine Wecker</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Ringing</source>
        <translation>Klingelt</translation>
    </message>
    <message>
        <source>Snooze</source>
        <translation>Schlummern</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keiner</translation>
    </message>
    <message>
        <source>snoozed</source>
        <translation>schlummert</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Alarm time</source>
        <translation>Weckzeit</translation>
    </message>
    <message>
        <source>Alarm label</source>
        <translation>Bezeichnung</translation>
    </message>
    <message>
        <source>Ringtone</source>
        <translation>Klingelton</translation>
    </message>
    <message>
        <source>Snooze minutes</source>
        <translation>Schlummerminuten</translation>
    </message>
    <message>
        <source>mins</source>
        <translation>Min.</translation>
    </message>
    <message>
        <source>Alarm was missed</source>
        <translation>Wecker verpasst</translation>
    </message>
    <message>
        <source>Missed alarm</source>
        <translation>Verpasster Wecker</translation>
    </message>
</context>
<context>
    <name>pendra::AppDelegate</name>
    <message>
        <source>Open Pendra</source>
        <translation>Pendra öffnen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Are you sure you want to quit?</source>
        <translation>Pendra wirklich beenden?</translation>
    </message>
    <message>
        <source>Alarms and timers will not go off if the app is closed.</source>
        <translation>Wecker und Timer gehen nicht los, solange die App geschlossen ist.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Don&apos;t show this again</source>
        <translation>Nicht mehr anzeigen</translation>
    </message>
</context>
<context>
    <name>pendra::StopwatchViewController</name>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Lap</source>
        <translation>Runde</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Lap %1</source>
        <translation>Runde %1</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
</context>
<context>
    <name>pendra::TabViewController</name>
    <message>
        <source>World Clock</source>
        <translation>Weltuhr</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Wecker</translation>
    </message>
    <message>
        <source>Timer</source>
        <translation>Timer</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Stoppuhr</translation>
    </message>
</context>
<context>
    <name>pendra::TimerViewController</name>
    <message>
        <source>Hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Ringtone</source>
        <translation>Klingelton</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Timer done</source>
        <translation>Timer abgelaufen</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keiner</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
</context>
<context>
    <name>pendra::TonePreview</name>
    <message>
        <source>Stop preview</source>
        <translation>Vorhören beenden</translation>
    </message>
    <message>
        <source>Preview ringtone</source>
        <translation>Klingelton vorhören</translation>
    </message>
</context>
<context>
    <name>pendra::ViewController</name>
    <message>
        <source>Start at Login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>pendra::WorldClockViewController</name>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>No cities</source>
        <translation>Keine Städte</translation>
    </message>
    <message>
        <source>Remove 1 city?</source>
        <translation>1 Stadt entfernen?</translation>
    </message>
    <message>
        <source>Remove all %1 cities?</source>
        <translation>Alle %1 Städte entfernen?</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Delete %1</source>
        <translation>%1 löschen</translation>
    </message>
</context>
</TS>
