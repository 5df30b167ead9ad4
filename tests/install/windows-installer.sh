#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer under Wine, in a fresh prefix of its own (scripts/package-windows.sh --check):
#   1. silent install (/S) into the default per-user folder: the files, the Start-menu entry and the
#      uninstaller registered under HKCU; the installed pontrel-cli.exe exports the sample school with
#      its own NIVELCAN.DBF (the only one the prefix holds); the installed pontrel.exe started by the
#      stand-in of Velmora's window (velmora_host.exe) sits inside it as its child;
#   2. silent uninstall: no program file, entry or key left; C:\VTEMP exactly as it was;
#   3. a planner's accented folders: installed with /D= into C:\users\José Núñez\Programas\Pontrel,
#      the document in ...\Documentos\Horario 2026-27\colegio Ñandú.xml exported and imported back,
#      ResultadoDastelcolegio Ñandú.xml written beside it; then uninstalled.
set -euo pipefail
setup=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "windows-installer: FALLO: $*" >&2; exit 1; }
step() { echo "== $*"; }

tmp=$(mktemp -d)
export WINEPREFIX=$tmp/wine
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
wine() { "$root/scripts/wine-run.sh" "$@"; }
# Waits up to 60 s for a condition (the installer and the uninstaller return before they finish).
wait_for() {
  for _ in $(seq 600); do eval "$1" && return 0; sleep 0.1; done
  return 1
}
snapshot() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum); }
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pontrel'

step "Prefijo de Wine nuevo"
wine cmd /c exit >/dev/null 2>&1 || true
drive_c=$WINEPREFIX/drive_c
profile=$(find "$drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
[ -n "$profile" ] || fail "el prefijo no tiene carpeta de usuario"
user=$(basename "$profile")
default=$profile/AppData/Local/Programs/Pontrel
menu_entry=$profile/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Pontrel.lnk
mkdir -p "$drive_c/VTEMP"

step "Instalación silenciosa (/S) en la carpeta del usuario"
wine "$setup" /S >/dev/null 2>&1 || fail "el instalador terminó con error"
wait_for '[ -f "$default/Desinstalar.exe" ]' || fail "no se instaló en $default"
for file in pontrel-cli.exe NIVELCAN.DBF COPYING.txt AVISOS-DE-TERCEROS.txt licenses/libxml2-2.9.14-Copyright.txt \
  ejemplo/colegio.xml ejemplo/SOLUC.DBF; do
  [ -f "$default/$file" ] || fail "falta $file en la instalación"
done
[ -f "$menu_entry" ] || fail "falta la entrada Pontrel del menú Inicio"
wine reg query "$key" /v UninstallString 2>/dev/null | grep -q 'Desinstalar.exe' ||
  fail "el desinstalador no está registrado en $key"
echo "instalado en C:\\users\\$user\\AppData\\Local\\Programs\\Pontrel"

step "El pontrel-cli.exe instalado exporta el centro de ejemplo con su NIVELCAN.DBF"
[ -z "$(find "$drive_c" -iname NIVELCAN.DBF ! -path "$default/*")" ] || fail "hay otra NIVELCAN.DBF en el prefijo"
installed='C:\users\'"$user"'\AppData\Local\Programs\Pontrel'
wine "$default/pontrel-cli.exe" export "$installed\\ejemplo\\colegio.xml" --frames JOR1 >"$tmp/salida" 2>&1 ||
  { cat "$tmp/salida" >&2; fail "la exportación con el programa instalado"; }
[ -f "$drive_c/VTEMP/CURSOST.DBF" ] || fail "la exportación no escribió CURSOST.DBF en C:\\VTEMP"
grep -q "Proceso finalizado" "$tmp/salida" || fail "falta «Proceso finalizado»"

# ---- The installed pontrel.exe started embedded in the stand-in of Velmora's window ----
step "El pontrel.exe instalado, dentro de la ventana del suplente de Velmora"
for file in pontrel.exe YEDRA.chm; do
  [ -f "$default/$file" ] || fail "falta $file en la instalación"
done
host=$root/build/windows/bin/velmora_host.exe
[ -f "$host" ] || fail "falta $host (la compilación windows lo hace)"
source "$root/scripts/windows-window.sh"
mkdir -p "$tmp/ventana"
window_display_start "$tmp/ventana" || fail "no arrancó Xvfb"
embedded_check "$installed\\pontrel.exe" "$host" "$default" "$tmp/ventana" || {
  window_display_stop
  fail "el pontrel.exe instalado no se coloca dentro de la ventana del suplente"
}
window_display_stop
echo "la ventana del pontrel.exe instalado es hija de la del suplente; Velmora.ini junto a él: Transformado=0"

step "Desinstalación silenciosa (/S)"
vtemp_before=$(snapshot "$drive_c/VTEMP")
wine "$default/Desinstalar.exe" /S >/dev/null 2>&1 || fail "el desinstalador terminó con error"
wait_for '[ ! -e "$default" ]' || fail "quedan archivos en la carpeta del programa: $(cd "$default" && find . -type f)"
[ ! -e "$menu_entry" ] || fail "queda la entrada del menú Inicio"
! wine reg query "$key" >/dev/null 2>&1 || fail "queda la clave $key"
[ "$vtemp_before" = "$(snapshot "$drive_c/VTEMP")" ] || fail "la desinstalación cambió C:\\VTEMP"
echo "sin archivos del programa; C:\\VTEMP intacta ($(ls "$drive_c/VTEMP" | wc -l) archivos)"

step "Carpetas con acentos: C:\\users\\José Núñez\\..."
accented='C:\users\José Núñez\Programas\Pontrel'
accented_unix="$drive_c/users/José Núñez/Programas/Pontrel"
documents="$drive_c/users/José Núñez/Documentos/Horario 2026-27"
document='C:\users\José Núñez\Documentos\Horario 2026-27\colegio Ñandú.xml'
mkdir -p "$documents"
cp "$root/data/sample/colegio.xml" "$documents/colegio Ñandú.xml"
# /D= takes the rest of the command line, unquoted; wine would quote an argument holding blanks, so the
# line goes through cmd /c as one piece (the installer's path has no blanks: it is copied into $tmp).
cp "$setup" "$tmp/setup.exe"
wine cmd /c "Z:${tmp//\//\\}\\setup.exe /S /D=$accented" >/dev/null 2>&1 || fail "el instalador con /D= terminó con error"
wait_for '[ -f "$accented_unix/Desinstalar.exe" ]' || fail "no se instaló en $accented"
wine "$accented_unix/pontrel-cli.exe" export "$document" --frames JOR1 >"$tmp/salida" 2>&1 ||
  { cat "$tmp/salida" >&2; fail "la exportación de «colegio Ñandú.xml»"; }
cp "$accented_unix/ejemplo/SOLUC.DBF" "$drive_c/VTEMP/SOLUC.DBF"
wine "$accented_unix/pontrel-cli.exe" import "$document" >"$tmp/salida" 2>&1 ||
  { cat "$tmp/salida" >&2; fail "la importación de «colegio Ñandú.xml»"; }
result="$documents/ResultadoDastelcolegio Ñandú.xml"
[ -f "$result" ] || fail "no está ResultadoDastelcolegio Ñandú.xml junto al documento"
# The output names the document by its real name, as UTF-8 bytes (the output is redirected).
grep -qF 'Documento escrito: C:\users\José Núñez\Documentos\Horario 2026-27\ResultadoDastelcolegio Ñandú.xml' "$tmp/salida" ||
  { cat "$tmp/salida" >&2; fail "la salida no nombra el documento escrito tal cual"; }
wine "$accented_unix/pontrel-cli.exe" export 'C:\users\José Núñez\Documentos\no está ñ.xml' >"$tmp/salida" 2>&1 || true
grep -qF 'No existe archivo: C:\users\José Núñez\Documentos\no está ñ.xml' "$tmp/salida" ||
  { cat "$tmp/salida" >&2; fail "el documento que no existe no se nombra tal cual"; }
wine "$accented_unix/Desinstalar.exe" /S >/dev/null 2>&1 || fail "el desinstalador con acentos terminó con error"
wait_for '[ ! -e "$accented_unix" ]' || fail "quedan archivos en $accented"
[ -f "$result" ] || fail "la desinstalación borró el documento de horarios del usuario"
echo "exportado, importado ($(wc -c <"$result") bytes) y desinstalado"

echo "windows-installer: correcto"
