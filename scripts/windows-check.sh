#!/usr/bin/env bash
# The Windows build, checked under Wine: cross-builds the `windows` preset (MinGW-w64, libxml2 from
# ../shared/third_party), then in a Wine prefix of its own, with C:\VTEMP inside it:
#   1. every cross-built test program, and the console output read back from a console's screen;
#   2. the sample school exported by pontrel-cli.exe, its tables compared byte for byte with the
#      Linux build's export (the dates in the headers aside); a SOLUC imported back to the timetable
#      document, compared the same way (its `fecha` aside);
#   3. Velmora holding a table or an index open (shared read, deny write), and a viewer holding a table
#      open for reading: the export stops with "abierta en otro programa" and changes nothing;
#   4. exports killed at moments spread over their run (SIGKILL of the Windows process: Wine ends it
#      as TerminateProcess does, its handles closed by the Wine server), then one start of
#      pontrel-cli.exe: the old set or the new set of tables, never a mix, and no leftovers;
#   5. the window, pontrel.exe, started by a stand-in for Velmora's window and driven on a private
#      Xvfb (scripts/windows-window-check.sh);
#   6. the installer (scripts/package-windows.sh --check, in a prefix of its own): silent install and
#      uninstall, the installed pontrel-cli.exe at work, and a planner's accented folders
#      (C:\users\José Núñez\...: arguments, program folder, document and ResultadoDastel<nombre>.xml).
# Skips, saying so in one line, when ../shared/third_party is not there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
third_party=${PONTREL_THIRD_PARTY:-$root/../shared/third_party}
tarball=$third_party/libxml2-2.9.14.tar.xz
qt_tarball=$third_party/qt6-mingw-static-6.4.2.tar.xz
if [ ! -f "$tarball" ]; then
  echo "windows-check: omitido, no está $tarball"
  exit 0
fi

bash scripts/setup.sh --windows
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}

step() { echo "== $*"; }
fail() { echo "windows-check: FALLO: $*" >&2; exit 1; }

step "Compilación de referencia (Linux)"
[ -f build/dev/CMakeCache.txt ] || cmake --preset dev >/dev/null
cmake --build build/dev --target pontrel-cli write_soluc >/dev/null
linux_cli=$root/build/dev/bin/pontrel-cli

step "Compilación cruzada (preset windows)"
# A build folder configured before the window was cross-built is configured again.
grep -qs '^PONTREL_QT_FROM_TARBALL:BOOL=ON' build/windows/CMakeCache.txt ||
  cmake --preset windows -DPONTREL_LIBXML2_TARBALL="$tarball" -DPONTREL_QT_TARBALL="$qt_tarball" >/dev/null
cmake --build --preset windows -j 2 >/dev/null
bin=$root/build/windows/bin

tmp=$(mktemp -d)
export WINEPREFIX=$tmp/wine
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export ASAN_OPTIONS=detect_leaks=0
wine() { "$root/scripts/wine-run.sh" "$@"; }

step "Prefijo de Wine nuevo"
wine cmd /c exit >/dev/null 2>&1 || true
drive_c=$WINEPREFIX/drive_c
vtemp=$drive_c/VTEMP
mkdir -p "$vtemp"

step "Programas de prueba bajo Wine"
ctest --test-dir build/windows --output-on-failure -j 2 || fail "pruebas bajo Wine"

source scripts/same-tables.sh

snapshot() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum); }

step "Texto con acentos en una consola de Windows"
# Wine opens a console only with a display: the checker runs in Xvfb, outside wine-run.sh.
WINEDEBUG=-all xvfb-run -a /usr/lib/wine/wine64 "$bin/console_check.exe" </dev/null >/dev/null ||
  fail "la consola no muestra los acentos"
echo "la consola muestra «José Núñez € Ω» tal cual"

step "Exportación de la escuela de ejemplo: Linux y Windows"
linux_work=$tmp/linux-vtemp
mkdir -p "$linux_work" "$tmp/linux-doc"
cp data/sample/colegio.xml "$tmp/linux-doc/colegio.xml"
cp data/sample/colegio.xml "$drive_c/colegio.xml"
"$linux_cli" export "$tmp/linux-doc/colegio.xml" --workdir "$linux_work" --frames JOR1 >/dev/null
wine "$bin/pontrel-cli.exe" export 'C:\colegio.xml' --frames JOR1 >/dev/null || fail "exportación bajo Wine"
same_tables "$linux_work" "$vtemp" || fail "las tablas exportadas difieren"
echo "tablas idénticas: $(ls "$vtemp" | tr '\n' ' ')"

step "Importación de un SOLUC: Linux y Windows"
"$root/build/dev/bin/write_soluc" "$linux_work"
cp "$linux_work/SOLUC.DBF" "$vtemp/SOLUC.DBF"
"$linux_cli" import "$tmp/linux-doc/colegio.xml" --workdir "$linux_work" >/dev/null
wine "$bin/pontrel-cli.exe" import 'C:\colegio.xml' >/dev/null || fail "importación bajo Wine"
without_date() { sed -E 's/fecha="[^"]*"/fecha=""/' "$1"; }
cmp <(without_date "$tmp/linux-doc/ResultadoDastelcolegio.xml") <(without_date "$drive_c/ResultadoDastelcolegio.xml") ||
  fail "los documentos de horarios difieren"
same_tables "$linux_work" "$vtemp" || fail "las tablas difieren tras la importación"
echo "documento de horarios idéntico ($(wc -c <"$drive_c/ResultadoDastelcolegio.xml") bytes)"
# The window's checks compare with this Linux export (its SOLUC included) and this document.
cp -r "$linux_work" "$tmp/linux-export"

step "Velmora con una tabla abierta"
held_case() { # FILE MODE
  local before after status
  before=$(snapshot "$vtemp")
  rm -f "$tmp/listo" "$tmp/parar"
  wine "$bin/hold_file.exe" "C:\\VTEMP\\$1" "$2" 'Z:'"${tmp//\//\\}"'\listo' 'Z:'"${tmp//\//\\}"'\parar' &
  local holder=$!
  for _ in $(seq 300); do [ -f "$tmp/listo" ] && break; sleep 0.1; done
  [ -f "$tmp/listo" ] || fail "hold_file no abrió $1"
  status=0
  wine "$bin/pontrel-cli.exe" export 'C:\colegio.xml' --frames JOR1 >"$tmp/salida" 2>&1 || status=$?
  touch "$tmp/parar"
  wait "$holder" || true
  after=$(snapshot "$vtemp")
  [ "$status" -ne 0 ] || fail "la exportación terminó con $1 abierta ($2)"
  grep -q "abierta en otro programa" "$tmp/salida" || { cat "$tmp/salida" >&2; fail "falta el mensaje ($1, $2)"; }
  [ "$before" = "$after" ] || fail "la carpeta cambió con $1 abierta ($2)"
  echo "$1 ($2): $(grep -o 'La tabla [^ ]* de la carpeta de trabajo .* está abierta en otro programa' "$tmp/salida" | head -1)"
}
held_case PROFT.DBF denegar-escritura
held_case DIASHORAST2.MDX denegar-escritura
held_case PROFT.DBF solo-lectura

step "Exportaciones cortadas en momentos al azar"
# The old set is JOR1's; the new one JOR2's (another week of slots).
old_set=$tmp/old-set new_set=$tmp/new-set
rm -f "$vtemp/SOLUC.DBF"
cp -r "$vtemp" "$old_set"
wine "$bin/pontrel-cli.exe" export 'C:\colegio.xml' --frames JOR2 >/dev/null || fail "exportación JOR2"
cp -r "$vtemp" "$new_set"
same_tables "$old_set" "$new_set" 2>/dev/null && fail "JOR1 y JOR2 dan las mismas tablas"
rm -rf "$vtemp" && cp -r "$old_set" "$vtemp"
# A server that stays up: a kill then ends one process, as on Windows, not the whole prefix.
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -p
outcomes=""
# A warm export of the sample takes about 0.2 s under Wine; the kills fall all over it.
for delay in $(seq 0.02 0.015 0.22); do
  # Started directly (not through a shell function), so that $! is the Windows process itself.
  "$root/scripts/wine-run.sh" "$bin/pontrel-cli.exe" export 'C:\colegio.xml' --frames JOR2 >/dev/null 2>&1 &
  runner=$!
  sleep "$delay"
  kill -KILL "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  # One start of pontrel-cli.exe: it puts the folder right before anything else.
  # (Into a file: Wine's service processes inherit the output and would keep a pipe open.)
  wine "$bin/pontrel-cli.exe" export 'C:\no-existe.xml' >"$tmp/arranque" 2>&1 || true
  repaired=""
  grep -q "Pontrel ha" "$tmp/arranque" && repaired="(reparada al arrancar)"
  leftovers=$(cd "$vtemp" && ls -A | grep -i 'pontrel' || true)
  [ -z "$leftovers" ] || fail "quedan restos tras cortar a los $delay s: $leftovers"
  if same_tables "$old_set" "$vtemp" 2>/dev/null; then
    outcomes+=" $delay:anteriores$repaired"
  elif same_tables "$new_set" "$vtemp" 2>/dev/null; then
    outcomes+=" $delay:nuevas$repaired"
    rm -rf "$vtemp" && cp -r "$old_set" "$vtemp"
  else
    fail "cortada a los $delay s: mezcla de tablas anteriores y nuevas"
  fi
done
echo "tablas tras cada corte:$outcomes"

step "La ventana (pontrel.exe) en el suplente de Velmora"
bash scripts/windows-window-check.sh "$bin" "$tmp/linux-export" "$tmp/linux-doc/ResultadoDastelcolegio.xml" \
  "$root/build/dev/bin/write_soluc" || fail "la ventana bajo Wine"

step "Instalador"
/usr/lib/wine/wineserver -k 2>/dev/null || true
bash scripts/package-windows.sh --check || fail "el instalador"

echo "windows-check: correcto"
