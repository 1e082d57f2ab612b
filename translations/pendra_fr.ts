<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AlarmRules</name>
    <message>
        <source>Sun</source>
        <translation>dim</translation>
    </message>
    <message>
        <source>Mon</source>
        <translation>lun</translation>
    </message>
    <message>
        <source>Tue</source>
        <translation>mar</translation>
    </message>
    <message>
        <source>Wed</source>
        <translation>mer</translation>
    </message>
    <message>
        <source>Thu</source>
        <translation>jeu</translation>
    </message>
    <message>
        <source>Fri</source>
        <translation>ven</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>sam</translation>
    </message>
    <message>
        <source>Every day</source>
        <translation>Tous les jours</translation>
    </message>
    <message>
        <source>Weekdays</source>
        <translation>En semaine</translation>
    </message>
    <message>
        <source>Weekends</source>
        <translation>Le week-end</translation>
    </message>
    <message>
        <source>Snooze: %1 mins</source>
        <translation>Rappel&#xa0;: %1&#xa0;min</translation>
    </message>
    <message>
        <source>%1m left</source>
        <translation>encore %1&#xa0;min</translation>
    </message>
    <message>
        <source>Pendra - next alarm %1 %2</source>
        <translation>Pendra – prochaine alarme %1 %2</translation>
    </message>
</context>
<context>
    <name>Ask</name>
    <message>
        <source>This cannot be undone.</source>
        <translation>Cette action est irréversible.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>Ringtones</name>
    <message>
        <source>%1 (no sound could be played)</source>
        <translation>%1 (aucun son n’a pu être joué)</translation>
    </message>
</context>
<context>
    <name>pendra::AlarmViewController</name>
    <message>
        <source>Alarm</source>
        <translation>Alarme</translation>
    </message>
    <message>
        <source>New Alarm</source>
        <translation>Nouvelle alarme</translation>
    </message>
    <message>
        <source>Gentle wake</source>
        <translation>Réveil en douceur</translation>
    </message>
    <message>
        <source>Alarms rise from quiet to full volume over 30 s</source>
        <translation>Les alarmes passent du silence au volume maximal en 30&#xa0;s</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Effacer</translation>
    </message>
    <message>
        <source>Delete 1 alarm?</source>
        <translation>Supprimer 1 alarme&#xa0;?</translation>
    </message>
    <message>
        <source>Delete all %1 alarms?</source>
        <translation>Supprimer les %1 alarmes&#xa0;?</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>No alarms</source>
        <translation>Aucune alarme</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Éditer</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Activée</translation>
    </message>
    <message>
        <source>Ringing</source>
        <translation>Sonne</translation>
    </message>
    <message>
        <source>Snooze</source>
        <translation>Rappel</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucune</translation>
    </message>
    <message>
        <source>snoozed</source>
        <translation>reportée</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Alarm time</source>
        <translation>Heure de l’alarme</translation>
    </message>
    <message>
        <source>Alarm label</source>
        <translation>Libellé</translation>
    </message>
    <message>
        <source>Ringtone</source>
        <translation>Sonnerie</translation>
    </message>
    <message>
        <source>Snooze minutes</source>
        <translation>Minutes de rappel</translation>
    </message>
    <message>
        <source>mins</source>
        <translation>min</translation>
    </message>
    <message>
        <source>Alarm was missed</source>
        <translation>Alarme manquée</translation>
    </message>
    <message>
        <source>Missed alarm</source>
        <translation>Alarme manquée</translation>
    </message>
</context>
<context>
    <name>pendra::AppDelegate</name>
    <message>
        <source>Open Pendra</source>
        <translation>Ouvrir Pendra</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Are you sure you want to quit?</source>
        <translation>Voulez-vous vraiment quitter&#xa0;?</translation>
    </message>
    <message>
        <source>Alarms and timers will not go off if the app is closed.</source>
        <translation>Les alarmes et les minuteurs ne sonneront pas si l’application est fermée.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Don&apos;t show this again</source>
        <translation>Ne plus afficher</translation>
    </message>
</context>
<context>
    <name>pendra::StopwatchViewController</name>
    <message>
        <source>Start</source>
        <translation>Démarrer</translation>
    </message>
    <message>
        <source>Lap</source>
        <translation>Tour</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Lap %1</source>
        <translation>Tour %1</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Remise à zéro</translation>
    </message>
</context>
<context>
    <name>pendra::TabViewController</name>
    <message>
        <source>World Clock</source>
        <translation>Horloges</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarmes</translation>
    </message>
    <message>
        <source>Timer</source>
        <translation>Minuteur</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Chronomètre</translation>
    </message>
</context>
<context>
    <name>pendra::TimerViewController</name>
    <message>
        <source>Hours</source>
        <translation>Heures</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minutes</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Secondes</translation>
    </message>
    <message>
        <source>Ringtone</source>
        <translation>Sonnerie</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Démarrer</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Timer done</source>
        <translation>Minuteur terminé</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>heures</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>secondes</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucune</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Relancer</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Reprendre</translation>
    </message>
</context>
<context>
    <name>pendra::TonePreview</name>
    <message>
        <source>Stop preview</source>
        <translation>Arrêter l’écoute</translation>
    </message>
    <message>
        <source>Preview ringtone</source>
        <translation>Écouter la sonnerie</translation>
    </message>
</context>
<context>
    <name>pendra::ViewController</name>
    <message>
        <source>Start at Login</source>
        <translation>Lancer à la connexion</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
</context>
<context>
    <name>pendra::WorldClockViewController</name>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Effacer</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Actualiser</translation>
    </message>
    <message>
        <source>No cities</source>
        <translation>Aucune ville</translation>
    </message>
    <message>
        <source>Remove 1 city?</source>
        <translation>Retirer 1 ville&#xa0;?</translation>
    </message>
    <message>
        <source>Remove all %1 cities?</source>
        <translation>Retirer les %1 villes&#xa0;?</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Delete %1</source>
        <translation>Supprimer %1</translation>
    </message>
</context>
</TS>
