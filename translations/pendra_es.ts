<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AlarmRules</name>
    <message>
        <source>Sun</source>
        <translation>dom</translation>
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
        <translation>mié</translation>
    </message>
    <message>
        <source>Thu</source>
        <translation>jue</translation>
    </message>
    <message>
        <source>Fri</source>
        <translation>vie</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>sáb</translation>
    </message>
    <message>
        <source>Every day</source>
        <translation>Todos los días</translation>
    </message>
    <message>
        <source>Weekdays</source>
        <translation>Entre semana</translation>
    </message>
    <message>
        <source>Weekends</source>
        <translation>Fines de semana</translation>
    </message>
    <message>
        <source>Snooze: %1 mins</source>
        <translation>Posponer: %1 min</translation>
    </message>
    <message>
        <source>%1m left</source>
        <translation>quedan %1 min</translation>
    </message>
    <message>
        <source>Pendra - next alarm %1 %2</source>
        <translation>Pendra – próxima alarma %1 %2</translation>
    </message>
</context>
<context>
    <name>Ask</name>
    <message>
        <source>This cannot be undone.</source>
        <translation>Esto no se puede deshacer.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>Ringtones</name>
    <message>
        <source>%1 (no sound could be played)</source>
        <translation>%1 (no se pudo reproducir ningún sonido)</translation>
    </message>
</context>
<context>
    <name>pendra::AlarmViewController</name>
    <message>
        <source>Alarm</source>
        <translation>Alarma</translation>
    </message>
    <message>
        <source>New Alarm</source>
        <translation>Nueva alarma</translation>
    </message>
    <message>
        <source>Gentle wake</source>
        <translation>Despertar suave</translation>
    </message>
    <message>
        <source>Alarms rise from quiet to full volume over 30 s</source>
        <translation>Las alarmas suben de volumen bajo a máximo en 30 s</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Borrar</translation>
    </message>
    <message>
        <source>Delete 1 alarm?</source>
        <translation>¿Eliminar 1 alarma?</translation>
    </message>
    <message>
        <source>Delete all %1 alarms?</source>
        <translation>¿Eliminar las %1 alarmas?</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>No alarms</source>
        <translation>Sin alarmas</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Parar</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Editar</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Activada</translation>
    </message>
    <message>
        <source>Ringing</source>
        <translation>Sonando</translation>
    </message>
    <message>
        <source>Snooze</source>
        <translation>Posponer</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Detener</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Ninguno</translation>
    </message>
    <message>
        <source>snoozed</source>
        <translation>pospuesta</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Hecho</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Alarm time</source>
        <translation>Hora de la alarma</translation>
    </message>
    <message>
        <source>Alarm label</source>
        <translation>Etiqueta</translation>
    </message>
    <message>
        <source>Ringtone</source>
        <translation>Tono</translation>
    </message>
    <message>
        <source>Snooze minutes</source>
        <translation>Minutos de aplazamiento</translation>
    </message>
    <message>
        <source>mins</source>
        <translation>min</translation>
    </message>
    <message>
        <source>Alarm was missed</source>
        <translation>Alarma perdida</translation>
    </message>
    <message>
        <source>Missed alarm</source>
        <translation>Alarma perdida</translation>
    </message>
</context>
<context>
    <name>pendra::AppDelegate</name>
    <message>
        <source>Open Pendra</source>
        <translation>Abrir Pendra</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Are you sure you want to quit?</source>
        <translation>¿Seguro que quiere salir?</translation>
    </message>
    <message>
        <source>Alarms and timers will not go off if the app is closed.</source>
        <translation>Las alarmas y los temporizadores no sonarán si la aplicación está cerrada.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Don&apos;t show this again</source>
        <translation>No volver a mostrar</translation>
    </message>
</context>
<context>
    <name>pendra::StopwatchViewController</name>
    <message>
        <source>Start</source>
        <translation>Iniciar</translation>
    </message>
    <message>
        <source>Lap</source>
        <translation>Vuelta</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Parar</translation>
    </message>
    <message>
        <source>Lap %1</source>
        <translation>Vuelta %1</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reiniciar</translation>
    </message>
</context>
<context>
    <name>pendra::TabViewController</name>
    <message>
        <source>World Clock</source>
        <translation>Reloj mundial</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarmas</translation>
    </message>
    <message>
        <source>Timer</source>
        <translation>Temporizador</translation>
    </message>
    <message>
        <source>Stopwatch</source>
        <translation>Cronómetro</translation>
    </message>
</context>
<context>
    <name>pendra::TimerViewController</name>
    <message>
        <source>Hours</source>
        <translation>Horas</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minutos</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Segundos</translation>
    </message>
    <message>
        <source>Ringtone</source>
        <translation>Tono</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Iniciar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Timer done</source>
        <translation>Temporizador terminado</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>horas</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>minutos</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>segundos</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Ninguno</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Repetir</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Detener</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausa</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Reanudar</translation>
    </message>
</context>
<context>
    <name>pendra::TonePreview</name>
    <message>
        <source>Stop preview</source>
        <translation>Detener la escucha</translation>
    </message>
    <message>
        <source>Preview ringtone</source>
        <translation>Escuchar el tono</translation>
    </message>
</context>
<context>
    <name>pendra::ViewController</name>
    <message>
        <source>Start at Login</source>
        <translation>Iniciar al entrar</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
</context>
<context>
    <name>pendra::WorldClockViewController</name>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Borrar</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Actualizar</translation>
    </message>
    <message>
        <source>No cities</source>
        <translation>Sin ciudades</translation>
    </message>
    <message>
        <source>Remove 1 city?</source>
        <translation>¿Quitar 1 ciudad?</translation>
    </message>
    <message>
        <source>Remove all %1 cities?</source>
        <translation>¿Quitar las %1 ciudades?</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
    <message>
        <source>Delete %1</source>
        <translation>Eliminar %1</translation>
    </message>
</context>
</TS>
