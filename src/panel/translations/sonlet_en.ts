<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="es">
<context>
    <name>sonlet::AboutDialog</name>
    <message>
        <source>Acerca de: S O N L E T</source>
        <translation>About: S O N L E T</translation>
    </message>
    <message>
        <source>SONLET es una herramienta gratuita que ayuda a las personas con discapacidad a usar el ordenador sin las manos: una vocal sostenida mueve el puntero del ratón y un sonido corto, como la palabra &quot;click&quot;, hace clic.</source>
        <translation>SONLET is a free tool that helps people with disabilities use the computer without their hands: a sustained vowel moves the mouse pointer and a short sound, such as the word &quot;click&quot;, clicks.</translation>
    </message>
    <message>
        <source>Autores: Sonlet contributors
Contacto: la página del proyecto Sonlet
Copyright © Sonlet contributors.
Software libre: GNU GPL versión 3 o posterior.</source>
        <translation>Authors: Sonlet contributors
Contact: the Sonlet project page
Copyright © Sonlet contributors.
Free software: GNU GPL version 3 or later.</translation>
    </message>
    <message>
        <source>Aceptar</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>sonlet::ActionPalette</name>
    <message>
        <source>Izquierdo</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>Derecho</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>Doble</source>
        <translation>Double</translation>
    </message>
    <message>
        <source>Central</source>
        <translation>Middle</translation>
    </message>
    <message>
        <source>Arrastrar</source>
        <translation>Drag</translation>
    </message>
    <message>
        <source>Desplazar</source>
        <translation>Scroll</translation>
    </message>
    <message>
        <source>Acciones</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>%1 (fijo)</source>
        <translation>%1 (kept)</translation>
    </message>
    <message>
        <source>Pausa</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Deja de escuchar, como «Detener»</source>
        <translation>Stops listening, as “Stop” does</translation>
    </message>
</context>
<context>
    <name>sonlet::CalibrationDialog</name>
    <message>
        <source>la derecha</source>
        <translation>right</translation>
    </message>
    <message>
        <source>arriba</source>
        <translation>up</translation>
    </message>
    <message>
        <source>la izquierda</source>
        <translation>left</translation>
    </message>
    <message>
        <source>abajo</source>
        <translation>down</translation>
    </message>
    <message>
        <source>Calibración de las vocales</source>
        <translation>Vowel calibration</translation>
    </message>
    <message>
        <source>Diga cada vocal sostenida, con su voz de siempre, durante unos dos segundos, y calle después. Mientras tanto el puntero no se mueve. «Cancelar» o ESC la interrumpen.</source>
        <translation>Say each vowel, held, in your usual voice, for about two seconds, then fall silent. Meanwhile the pointer does not move. “Cancel” or ESC stops the calibration.</translation>
    </message>
    <message>
        <source>Nivel de la voz</source>
        <translation>Voice level</translation>
    </message>
    <message>
        <source>%v de %m pasadas</source>
        <translation>%v of %m passes</translation>
    </message>
    <message>
        <source>Toma</source>
        <translation>Take</translation>
    </message>
    <message>
        <source>Nivel</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>Guardar</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 dB (umbral %2 dB)</source>
        <translation>%1 dB (threshold %2 dB)</translation>
    </message>
    <message>
        <source>Demasiado corta (%1 pasadas de %2): repita la «%3», más larga.</source>
        <translation>Too short (%1 passes of %2): say “%3” again, for longer.</translation>
    </message>
    <message>
        <source>«%1» recogida (%2 pasadas).</source>
        <translation>“%1” taken (%2 passes).</translation>
    </message>
    <message>
        <source>«%1» y «%2» han salido demasiado parecidas: repítalas, cada una lo más clara que pueda.</source>
        <translation>“%1” and “%2” came out too alike: say them again, each as clearly as you can.</translation>
    </message>
    <message>
        <source>Vocal «%1» (mueve hacia %2): diga «%3» durante dos segundos.</source>
        <translation>Vowel “%1” (moves %2): say “%3” for two seconds.</translation>
    </message>
    <message>
        <source>Calibración completa: así quedan sus vocales.</source>
        <translation>Calibration complete: here are your vowels.</translation>
    </message>
    <message>
        <source>«Guardar» la guarda y la usa desde ahora para mover el puntero; «Cancelar» la descarta.</source>
        <translation>“Save” keeps it and uses it from now on to move the pointer; “Cancel” discards it.</translation>
    </message>
</context>
<context>
    <name>sonlet::ControlPanel</name>
    <message>
        <source>Error opening user.txt</source>
        <translation>Error opening user.txt</translation>
    </message>
    <message>
        <source>Error abriendo user.txt para escritura</source>
        <translation>Error opening user.txt for writing</translation>
    </message>
    <message>
        <source>Boton Izdo Raton</source>
        <translation>Left Mouse Button</translation>
    </message>
    <message>
        <source>Tecla &quot;ENTER&quot;</source>
        <translation>&quot;ENTER&quot; Key</translation>
    </message>
    <message>
        <source>Iniciar</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Detener</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Salir</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Usuario</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Masculino</source>
        <translation>Male</translation>
    </message>
    <message>
        <source>Femenino</source>
        <translation>Female</translation>
    </message>
    <message>
        <source>Sexo</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>Talla</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>Umbral</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>Intensidad</source>
        <translation>Intensity</translation>
    </message>
    <message>
        <source>Parámetros de la Voz</source>
        <translation>Voice Parameters</translation>
    </message>
    <message>
        <source>Tono</source>
        <translation>Pitch</translation>
    </message>
    <message>
        <source>Formante 1</source>
        <translation>Formant 1</translation>
    </message>
    <message>
        <source>Formante 2</source>
        <translation>Formant 2</translation>
    </message>
    <message>
        <source>Ventana de VOZ</source>
        <translation>VOICE Window</translation>
    </message>
    <message>
        <source>Click mínimo</source>
        <translation>Shortest click</translation>
    </message>
    <message>
        <source>Click máximo</source>
        <translation>Longest click</translation>
    </message>
    <message>
        <source>Velocidad</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Para el click izquierdo
utiliza la palabra /click/
o un sonido sonoro corto.</source>
        <translation>For the left click
use the word /click/
or a short voiced sound.</translation>
    </message>
    <message>
        <source>Manual (pdf)</source>
        <translation>Manual (PDF)</translation>
    </message>
    <message>
        <source>&amp;Vocales</source>
        <translation>&amp;Vowels</translation>
    </message>
    <message>
        <source>&amp;Calibración…</source>
        <translation>&amp;Calibration…</translation>
    </message>
    <message>
        <source>&amp;Usar calibración</source>
        <translation>&amp;Use calibration</translation>
    </message>
    <message>
        <source>&amp;Ver vocales</source>
        <translation>&amp;Show vowels</translation>
    </message>
    <message>
        <source>&amp;Opciones</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>&amp;Iniciar con la sesión</source>
        <translation>&amp;Start with the session</translation>
    </message>
    <message>
        <source>&amp;Pausa con «sss»</source>
        <translation>&amp;Pause with “sss”</translation>
    </message>
    <message>
        <source>&amp;Movimiento ágil</source>
        <translation>&amp;Agile movement</translation>
    </message>
    <message>
        <source>&amp;Acerca de</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>No se ha podido hacer que Sonlet se inicie con la sesión: %1.</source>
        <translation>Could not make Sonlet start with the session: %1.</translation>
    </message>
    <message>
        <source>No se ha podido quitar el inicio con la sesión: %1.</source>
        <translation>Could not stop Sonlet starting with the session: %1.</translation>
    </message>
    <message>
        <source>No se puede leer la calibración: %1.

Sonlet sigue con las regiones fijas de las vocales. Para hacer una calibración con su voz, use «Vocales › Calibración…».</source>
        <translation>Cannot read the calibration: %1.

Sonlet goes on with the fixed vowel regions. To make a calibration with your voice, use “Vowels › Calibration…”.</translation>
    </message>
    <message>
        <source>No se ha podido guardar la calibración: %1.</source>
        <translation>Could not save the calibration: %1.</translation>
    </message>
    <message>
        <source>&amp;Ajustar umbral</source>
        <translation>&amp;Set threshold</translation>
    </message>
    <message>
        <source>I&amp;gnorar el habla</source>
        <translation>I&amp;gnore speech</translation>
    </message>
    <message>
        <source>habla</source>
        <translation>speech</translation>
    </message>
    <message>
        <source>Se ha tomado un sonido por habla y se ha ignorado</source>
        <translation>A sound was taken for speech and ignored</translation>
    </message>
    <message>
        <source>Paleta de a&amp;cciones</source>
        <translation>A&amp;ction palette</translation>
    </message>
</context>
<context>
    <name>sonlet::FileReasons</name>
    <message>
        <source>no existe</source>
        <translation>it does not exist</translation>
    </message>
    <message>
        <source>no tiene permiso para ello</source>
        <translation>you do not have permission</translation>
    </message>
    <message>
        <source>es una carpeta</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>una parte de su ruta no es una carpeta</source>
        <translation>a part of its path is not a folder</translation>
    </message>
    <message>
        <source>está en un disco que solo se puede leer</source>
        <translation>it is on a read-only disk</translation>
    </message>
    <message>
        <source>no queda sitio en el disco</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>no es un archivo normal (es un dispositivo, una tubería o un socket)</source>
        <translation>it is not a regular file (it is a device, a pipe or a socket)</translation>
    </message>
    <message>
        <source>ocupa más de %1 KiB, mucho más que un archivo así</source>
        <translation>it is larger than %1 KiB, far more than such a file holds</translation>
    </message>
    <message>
        <source>es un enlace simbólico de otro usuario en una carpeta compartida, y Sonlet no escribe a través de él; borre el enlace o use otra carpeta</source>
        <translation>it is a symbolic link that another user owns in a shared folder, and Sonlet does not write through it; remove the link or use another folder</translation>
    </message>
    <message>
        <source>el sistema lo impide (error %1)</source>
        <translation>the system does not allow it (error %1)</translation>
    </message>
    <message>
        <source>no existe el archivo «%1»</source>
        <translation>the file “%1” does not exist</translation>
    </message>
    <message>
        <source>no se puede abrir «%1»: %2</source>
        <translation>cannot open “%1”: %2</translation>
    </message>
    <message>
        <source>«%1» no es una calibración de Sonlet (la línea %2 debería ser «sonlet-calibration %3»)</source>
        <translation>“%1” is not a Sonlet calibration (line %2 should be “sonlet-calibration %3”)</translation>
    </message>
    <message>
        <source>«%1» es de la versión %2, y este Sonlet lee la versión %3; haga la calibración de nuevo</source>
        <translation>“%1” is of version %2, and this Sonlet reads version %3; make the calibration again</translation>
    </message>
    <message>
        <source>en «%1», línea %2, «%3» no es una de las vocales a, e, i, o, u</source>
        <translation>in “%1”, line %2, “%3” is not one of the vowels a, e, i, o, u</translation>
    </message>
    <message>
        <source>en «%1», línea %2, faltan o sobran números: tras la vocal van siete (F1, F2 y F3 en Hz, sus dispersiones y las pasadas)</source>
        <translation>in “%1”, line %2, numbers are missing or too many: the vowel is followed by seven (F1, F2 and F3 in Hz, their spreads and the passes)</translation>
    </message>
    <message>
        <source>en «%1», línea %2, F1, F2 y F3 deben estar entre 50 y 4000 Hz (F3 y su dispersión pueden ser 0)</source>
        <translation>in “%1”, line %2, F1, F2 and F3 must lie between 50 and 4000 Hz (F3 and its spread may be 0)</translation>
    </message>
    <message>
        <source>en «%1», línea %2, las dispersiones deben estar entre 0,07 (F1), 0,05 (F2, F3) y 1</source>
        <translation>in “%1”, line %2, the spreads must lie between 0.07 (F1), 0.05 (F2, F3) and 1</translation>
    </message>
    <message>
        <source>en «%1», línea %2, la vocal %3 aparece por segunda vez</source>
        <translation>in “%1”, line %2, the vowel %3 comes a second time</translation>
    </message>
    <message>
        <source>«%1» está vacío</source>
        <translation>“%1” is empty</translation>
    </message>
    <message>
        <source>«%1» no tiene ninguna línea para la vocal %2</source>
        <translation>“%1” has no line for the vowel %2</translation>
    </message>
    <message>
        <source>no se puede escribir «%1»: %2</source>
        <translation>cannot write “%1”: %2</translation>
    </message>
    <message>
        <source>no es un sonido que Sonlet sepa leer, no contiene sonido o su frecuencia de muestreo no se puede convertir</source>
        <translation>it is not sound that Sonlet can read, it holds no sound, or its sample rate cannot be converted</translation>
    </message>
    <message>
        <source>No se puede escuchar la grabación «%1»: %2.

Indique un archivo de sonido (WAV, FLAC, OGG…) que exista y se pueda leer.</source>
        <translation>Cannot listen to the recording “%1”: %2.

Give a sound file (WAV, FLAC, OGG…) that exists and can be read.</translation>
    </message>
    <message>
        <source>no se sabe dónde está su carpeta de configuración (no están definidas ni HOME ni XDG_CONFIG_HOME)</source>
        <translation>it is not known where your configuration folder is (neither HOME nor XDG_CONFIG_HOME is set)</translation>
    </message>
    <message>
        <source>no se puede borrar «%1»: %2</source>
        <translation>cannot remove “%1”: %2</translation>
    </message>
</context>
<context>
    <name>sonlet::PanelApp</name>
    <message>
        <source>No se ha podido abrir el micrófono.</source>
        <translation>Could not open the microphone.</translation>
    </message>
    <message>
        <source>No se ha podido abrir el micrófono «%1».</source>
        <translation>Could not open the microphone “%1”.</translation>
    </message>
    <message>
        <source>

Compruebe que está conectado y que no está silenciado, y vuelva a iniciar Sonlet. La orden «sonlet --list-devices» muestra los micrófonos que Sonlet puede usar.</source>
        <translation>

Check that it is connected and not muted, and start Sonlet again. The command “sonlet --list-devices” shows the microphones Sonlet can use.</translation>
    </message>
</context>
<context>
    <name>sonlet::PanelTray</name>
    <message>
        <source>Iniciar</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Detener</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Mostrar panel</source>
        <translation>Show panel</translation>
    </message>
    <message>
        <source>Salir</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Sonlet: escuchando</source>
        <translation>Sonlet: listening</translation>
    </message>
    <message>
        <source>Sonlet: en pausa</source>
        <translation>Sonlet: paused</translation>
    </message>
    <message>
        <source>Sonlet: detenido</source>
        <translation>Sonlet: stopped</translation>
    </message>
    <message>
        <source>%1 (ignora el habla)</source>
        <translation>%1 (ignores speech)</translation>
    </message>
    <message>
        <source>%1, movimiento ágil</source>
        <translation>%1, agile movement</translation>
    </message>
    <message>
        <source>Paleta de acciones</source>
        <translation>Action palette</translation>
    </message>
    <message>
        <source>%1 (fijo)</source>
        <translation>%1 (kept)</translation>
    </message>
    <message>
        <source>%1; acción: %2</source>
        <translation>%1; action: %2</translation>
    </message>
</context>
<context>
    <name>sonlet::ThresholdDialog</name>
    <message>
        <source>Ajustar umbral</source>
        <translation>Set threshold</translation>
    </message>
    <message>
        <source>Primero escucho la sala unos tres segundos: no diga nada. Después le pediré una «aaa» corta con su voz de siempre. Mientras tanto el puntero no se mueve. «Cancelar» o ESC lo interrumpen.</source>
        <translation>First I listen to the room for about three seconds: say nothing. Then I will ask you for a short “aaa” in your usual voice. Meanwhile the pointer does not move. “Cancel” or ESC stops it.</translation>
    </message>
    <message>
        <source>Nivel</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
    <message>
        <source>Sala %p %</source>
        <translation>Room %p %</translation>
    </message>
    <message>
        <source>Sala</source>
        <translation>Room</translation>
    </message>
    <message>
        <source>Aceptar</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Repetir</source>
        <translation>Again</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Escuchando la sala: silencio, por favor.</source>
        <translation>Listening to the room: silence, please.</translation>
    </message>
    <message>
        <source>Ahora diga «aaa» con su voz de siempre, durante un segundo más o menos.</source>
        <translation>Now say “aaa” in your usual voice, for about a second.</translation>
    </message>
    <message>
        <source>Sala: %1 dB.</source>
        <translation>Room: %1 dB.</translation>
    </message>
    <message>
        <source>Demasiado corta (%1 pasadas de %2): repita la «aaa», más larga.</source>
        <translation>Too short (%1 passes of %2): say the “aaa” again, longer.</translation>
    </message>
    <message>
        <source>No se ha cambiado el umbral.</source>
        <translation>The threshold was not changed.</translation>
    </message>
    <message>
        <source>No se ha oído ninguna «aaa» por encima del ruido de la sala (%1 dB). Acérquese al micrófono o súbale el volumen, y pulse «Repetir».</source>
        <translation>No “aaa” was heard above the noise of the room (%1 dB). Move closer to the microphone or turn its volume up, and press “Again”.</translation>
    </message>
    <message>
        <source>Su voz (%1 dB) no se oye con claridad por encima del ruido de la sala (%2 dB): hacen falta al menos %3 dB más. Acérquese al micrófono o súbale el volumen, o baje el ruido de la sala, y pulse «Repetir».</source>
        <translation>Your voice (%1 dB) is not clearly louder than the noise of the room (%2 dB): it needs at least %3 dB more. Move closer to the microphone or turn its volume up, or make the room quieter, and press “Again”.</translation>
    </message>
    <message>
        <source>Umbral sugerido: %1.</source>
        <translation>Suggested threshold: %1.</translation>
    </message>
    <message>
        <source>Cuenta lo que pase de %1 dB: la sala (%2 dB) queda %3 dB por debajo y su voz (%4 dB) %5 dB por encima.</source>
        <translation>Sound above %1 dB counts: the room (%2 dB) stays %3 dB below it and your voice (%4 dB) %5 dB above.</translation>
    </message>
    <message>
        <source>La sala no deja bajarlo más: diga la «e» (arriba) algo más fuerte que esta «aaa».</source>
        <translation>The room does not let it go lower: say the “e” (up) somewhat louder than this “aaa”.</translation>
    </message>
    <message>
        <source>«Aceptar» lo pone en el control del umbral; «Cancelar» deja el de antes.</source>
        <translation>“OK” puts it on the threshold slider; “Cancel” keeps the one before.</translation>
    </message>
    <message>
        <source>Ese sonido dura demasiado para una «aaa»: parece que la sala ha cambiado, y la vuelvo a escuchar.</source>
        <translation>That sound lasts too long for an “aaa”: the room seems to have changed, so I am listening to it again.</translation>
    </message>
</context>
<context>
    <name>sonlet::VowelChart</name>
    <message>
        <source>Vocales</source>
        <translation>Vowels</translation>
    </message>
    <message>
        <source>Gráfico de las vocales</source>
        <translation>Vowel chart</translation>
    </message>
    <message>
        <source>Sus vocales, según su calibración</source>
        <translation>Your vowels, from your calibration</translation>
    </message>
    <message>
        <source>Regiones fijas, para %1 cm (%2)</source>
        <translation>Fixed regions, for %1 cm (%2)</translation>
    </message>
    <message>
        <source>hombre</source>
        <translation>man</translation>
    </message>
    <message>
        <source>mujer</source>
        <translation>woman</translation>
    </message>
    <message>
        <source>%1; flechas: movimiento ágil</source>
        <translation>%1; arrows: agile movement</translation>
    </message>
</context>
</TS>
