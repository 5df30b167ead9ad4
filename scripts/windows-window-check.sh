#!/usr/bin/env bash
# Pontrel's Windows window under Wine, as Velmora uses it: started by a stand-in for Velmora's window
# (velmora_host.exe) with a direction and that window's handle, driven with xdotool on a private Xvfb.
#   1. Escape at the file dialog: "No existe archivo", the program ends by itself, Transformado=-1;
#   2. a completed export through the frame dialog (several frames, the first one taken): the tables
#      identical to the Linux export, Transformado=1;
#   3. a completed import through the teacher data dialog (the first teacher's X_EMPLEADO typed back
#      in): the timetable document identical to the Linux import, Transformado=1;
#   4. the stand-in's window destroyed while Pontrel waits at the file dialog: Pontrel ends, writing 0;
#   5. with no direction the window shows itself inside the stand-in: its child at the top-left corner
#      of its client area, no caption, 632 x 266; F1 there opens YEDRA.chm in Wine's HTML Help viewer
#      at the main window's topic; the stand-in's window closed then ends Pontrel, writing 0.
# In every case Pontrel's window is a child of the stand-in's from the start (a direction runs before
# the window shows itself, as Velmora's users know it). embedded_check of scripts/windows-window.sh is
# case 5 without the help, for any installed pontrel.exe.
# Only ASCII is typed into Wine's windows (xdotool's non-ASCII keys arrive garbled there).
#
#   windows-window-check.sh BIN REFERENCE_EXPORT REFERENCE_DOCUMENT WRITE_SOLUC
# BIN: the cross-build's programs; REFERENCE_EXPORT: the Linux export of the sample school with its
# first frame and the SOLUC of write_soluc; REFERENCE_DOCUMENT: the Linux import of that folder;
# WRITE_SOLUC: the Linux write_soluc. Runs in $WINEPREFIX (which must exist), C:\VTEMP its working folder.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 4 ] || { echo "uso: windows-window-check.sh BIN EXPORTACION_LINUX DOCUMENTO_LINUX WRITE_SOLUC" >&2; exit 2; }
bin=$1 reference_export=$2 reference_document=$3 write_soluc=$4
: "${WINEPREFIX:?WINEPREFIX}"
source scripts/same-tables.sh
source scripts/windows-window.sh

fail() { echo "windows-window-check: FALLO: $*" >&2; exit 1; }
step() { echo "== $*"; }

work=$(mktemp -d)
cleanup() {
  [ -n "${host_pid:-}" ] && kill "$host_pid" 2>/dev/null || true
  window_display_stop
  rm -rf "$work"
}
trap cleanup EXIT

drive_c=$WINEPREFIX/drive_c
vtemp=$drive_c/VTEMP
program_folder=$drive_c/Pontrel
mkdir -p "$program_folder"
cp "$bin/pontrel.exe" "$bin/NIVELCAN.DBF" "$bin/YEDRA.chm" "$program_folder/"
pontrel='C:\Pontrel\pontrel.exe'
host=$bin/velmora_host.exe
cp data/sample/colegio.xml "$drive_c/colegio.xml"
close_file=$work/cerrar
close_when=$(windows_path "$close_file")
result() { tr -d '\r' <"$program_folder/Velmora.ini" 2>/dev/null || true; }
fresh_run() { # empties the working folder and the result file
  rm -rf "$vtemp" "$program_folder/Velmora.ini" "$close_file" "$drive_c/ResultadoDastelcolegio.xml"
  mkdir -p "$vtemp"
}

window_display_start "$work"

step "Escape en el diálogo de archivos"
fresh_run
host_start "$host" "$work/escape" "$pontrel" exportar
child_of_host "$work/escape" || fail "no integrada"
dialog=$(window_find '^Archivo XML$') || fail "sin diálogo de archivos"
window_key "$dialog" Escape
answer_message "$work/escape" "No existe archivo" || fail "sin \"No existe archivo\""
code=$(host_end "$work/escape") || fail "Pontrel no terminó solo tras \"No existe archivo\""
[ "$(result)" = $'[Transformadores]\nTransformado=-1' ] || fail "Velmora.ini: $(result)"
echo "terminó solo (salida $code); Transformado=-1"

step "Exportación completa con el diálogo de marcos"
fresh_run
host_start "$host" "$work/exportar" "$pontrel" EXPORTAR
child_of_host "$work/exportar" || fail "no integrada"
dialog=$(window_find '^Archivo XML$') || fail "sin diálogo de archivos"
choose_document "$dialog" 'C:\colegio.xml'
frames=$(window_find '^Planillas, Marcos o Jornadas Horarias$') || fail "sin diálogo de marcos"
window_click "$frames" 40 63
window_key "$frames" Return
answer_message "$work/exportar" "Proceso finalizado" || fail "la exportación no terminó"
code=$(host_end "$work/exportar") || fail "Pontrel no terminó tras la exportación"
[ "$(result)" = $'[Transformadores]\nTransformado=1' ] || fail "Velmora.ini: $(result)"
reference_tables=$work/referencia
cp -r "$reference_export" "$reference_tables"
rm -f "$reference_tables/SOLUC.DBF"
same_tables "$reference_tables" "$vtemp" || fail "las tablas de la ventana difieren de las de Linux"
echo "Transformado=1; tablas idénticas a las de Linux"

step "Importación completa con el diálogo de datos del profesorado"
fresh_run
cp -r "$reference_export/." "$vtemp/"
key=$("$write_soluc" "$vtemp" --primero-sin-clave | tr -d ' ')
[[ $key =~ ^[0-9]+$ ]] || fail "write_soluc no dio la clave del primer profesor: '$key'"
host_start "$host" "$work/importar" "$pontrel" importar
child_of_host "$work/importar" || fail "no integrada"
dialog=$(window_find '^Archivo XML$') || fail "sin diálogo de archivos"
choose_document "$dialog" 'C:\colegio.xml'
teachers=$(window_find '^Control de Profesores$') || fail "sin diálogo de profesores"
# The grid opens on the first teacher's X_EMPLEADO: the key typed back, Enter stores it; "Salir" goes on.
xdotool windowfocus --sync "$teachers" 2>/dev/null || true
sleep 1
xdotool type --delay 100 "$key"
xdotool key Return
sleep 0.5
window_click "$teachers" $((583 + 1 + 37)) $((368 + 1 + 12))
answer_message "$work/importar" "Proceso finalizado" || fail "la importación no terminó"
code=$(host_end "$work/importar") || fail "Pontrel no terminó tras la importación"
[ "$(result)" = $'[Transformadores]\nTransformado=1' ] || fail "Velmora.ini: $(result)"
without_date() { sed -E 's/fecha="[^"]*"/fecha=""/' "$1"; }
cmp <(without_date "$reference_document") <(without_date "$drive_c/ResultadoDastelcolegio.xml") ||
  fail "el documento de horarios difiere del de Linux"
echo "X_EMPLEADO $key tecleado; Transformado=1; documento de horarios idéntico al de Linux"

step "Ventana del suplente destruida con Pontrel en el diálogo de archivos"
fresh_run
host_start "$host" "$work/cerrada" "$pontrel" exportar --close-when "$close_when"
child_of_host "$work/cerrada" || fail "no integrada"
window_find '^Archivo XML$' >/dev/null || fail "sin diálogo de archivos"
touch "$close_file"
host_line "$work/cerrada" '^HOST CLOSED' 10 >/dev/null || fail "el suplente no cerró su ventana"
code=$(host_end "$work/cerrada" 30) || fail "Pontrel sobrevivió a la ventana de Velmora"
[ "$(result)" = $'[Transformadores]\nTransformado=0' ] || fail "Velmora.ini: $(result)"
! grep -q 'Pontrel: ' "$work/cerrada.err" || fail "mensajes tras cerrarse Velmora: $(grep 'Pontrel: ' "$work/cerrada.err")"
echo "terminó (salida $code); Transformado=0"

step "Ventana mostrada en el suplente; F1: la ayuda YEDRA.chm en el visor de HTML Help de Wine"
fresh_run
# Wine's trace of HTML Help (channel htmlhelp) names the context asked for and the page it leads to.
WINEDEBUG=-all,+htmlhelp host_start "$host" "$work/ayuda" "$pontrel" nada --close-when "$close_when"
embedded_as_child "$work/ayuda" || fail "no integrada"
echo "hija del suplente en $child_x,$child_y, ${child_width}x$child_height, sin barra de título"
# A click on the main window's empty middle gives it the focus; F1 asks for its topic.
xdotool mousemove "$((child_screen_x + 420))" "$((child_screen_y + 60))"
sleep 0.3
xdotool click 1
sleep 0.5
xdotool key F1
help=$(window_find '^Ayuda de Pontrel' 30) || fail "F1 no abrió YEDRA.chm"
# F1 asks HTML Help for the main window's context number; the help file maps it to its page.
for _ in $(seq 50); do grep -aq 'FindContextAlias returning' "$work/ayuda.err" && break; sleep 0.1; done
grep -aq 'HtmlHelpW (.*YEDRA.chm", command=HH_HELP_CONTEXT, data=3)' "$work/ayuda.err" ||
  fail "F1 no pidió el contexto 3 de YEDRA.chm: $(grep -a -m3 'HtmlHelpW' "$work/ayuda.err")"
topic=$(grep -a -m1 'FindContextAlias returning' "$work/ayuda.err" | sed -E 's/.*returning "(.*)".*/\1/')
[[ $topic == */ventana_principal.html ]] || fail "el contexto 3 lleva a '$topic', no a ventana_principal.html"
echo "visor de ayuda abierto: $(xdotool getwindowname "$help"), contexto 3: $topic"
# chmcmd writes the topics of the context map with the folder it compiled in; HTML Help looks them up
# inside the file, where they are "/<page>".
[ "$topic" = /ventana_principal.html ] ||
  echo "AVISO: el mapa de contextos de YEDRA.chm nombra '$topic' (la carpeta de compilación de chmcmd)"
touch "$close_file"
code=$(host_end "$work/ayuda" 30) || fail "Pontrel no terminó al cerrarse la ventana del suplente"
[ "$(result)" = $'[Transformadores]\nTransformado=0' ] || fail "Velmora.ini: $(result)"

echo "windows-window-check: correcto"
