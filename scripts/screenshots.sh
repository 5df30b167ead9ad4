#!/usr/bin/env bash
# Screenshots of the window for the README and the help: the main window, the frame dialog during an
# export of the sample school, the window embedded in a stand-in for Velmora's window, and the
# teacher data dialog; and, when the Windows cross-build is there (build/windows/bin/pontrel.exe), the
# Windows window under Wine: the main window and the frame dialog of an export started by the stand-in
# for Velmora's window.
# Runs the built program under a private Xvfb server and drives it with xdotool.
#
#   bash scripts/screenshots.sh [BUILD_FOLDER]     (default build/dev)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
bin=$build/bin
out=docs/screenshots
for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || { echo "Falta $tool: ejecute scripts/setup.sh" >&2; exit 1; }
done
[ -x "$bin/pontrel" ] && [ -x "$bin/host_window" ] && [ -x "$bin/teacher_dialog_screenshot" ] || {
  echo "Compile antes: cmake --build $build --target pontrel host_window teacher_dialog_screenshot" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  [ -n "${app_pid:-}" ] && kill -9 -- "-$app_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, chosen by Xvfb itself.
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0
mkdir -p "$work/vtemp" "$out"
export PONTREL_VTEMP="$work/vtemp"
cp "$bin/pontrel" "$work/"
[ -f "$bin/NIVELCAN.DBF" ] && cp "$bin/NIVELCAN.DBF" "$work/"
cp data/sample/colegio.xml "$work/colegio.xml"

wait_window() { # name regex -> window id
  for _ in $(seq 600); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { sleep 0.5; echo "$id"; return 0; }
    sleep 0.1
  done
  echo "No aparece la ventana '$1'" >&2; return 1
}
start() { setsid "$@" >"$work/app.out" 2>&1 & app_pid=$!; }
stop() { kill -9 -- "-$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; app_pid=; }

# 1. The main window, standalone.
start "$work/pontrel"
main=$(wait_window '^Exportar e importar datos entre Velmora y Yedra$')
import -window "$main" "$out/ventana-principal.png"

# 2. The frame dialog: export the sample school up to the choice of frames.
xdotool mousemove --window "$main" 140 132 click 1
files=$(wait_window '^Archivo XML$')
xdotool windowfocus --sync "$files"
sleep 1 # keys typed before the dialog has settled go to its file list
xdotool type --delay 40 "$work/colegio.xml"
sleep 0.3
xdotool key Return
if frames=$(wait_window '^Planillas, Marcos o Jornadas Horarias$'); then
  xdotool mousemove --window "$frames" 40 63 click 1
  sleep 0.5
  import -window "$frames" "$out/marcos-horarios.png"
else
  echo "El diálogo de marcos no apareció; salida del programa:" >&2; cat "$work/app.out" >&2
fi
stop

# 3. Embedded in a stand-in for Velmora's window (a word that names no direction: the window waits).
start "$bin/host_window" "$work/pontrel" esperar
host=$(wait_window '^Velmora \(simulado\)$')
sleep 3
import -window "$host" "$out/ventana-integrada.png"
stop

# 4. The teacher data dialog over a small PROFT, drawn offscreen.
QT_QPA_PLATFORM=offscreen "$bin/teacher_dialog_screenshot" "$out/datos-profesorado.png"

# 5. The Windows window under Wine, in a Wine prefix of its own. Wine does not draw a window inside
# another process's window (the embedded window is there, placed and answering, but not painted), so
# the main window is shown on its own; the frame dialog comes from an export started by the stand-in.
windows_bin=build/windows/bin
if [ -f "$windows_bin/pontrel.exe" ] && [ -f "$windows_bin/velmora_host.exe" ]; then
  (
    export WINEPREFIX=$work/wine
    source scripts/windows-window.sh
    trap 'window_display_stop' EXIT
    scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true
    program_folder=$WINEPREFIX/drive_c/Pontrel
    mkdir -p "$program_folder" "$WINEPREFIX/drive_c/VTEMP"
    cp "$windows_bin/pontrel.exe" "$windows_bin/NIVELCAN.DBF" "$program_folder/"
    cp data/sample/colegio.xml "$WINEPREFIX/drive_c/colegio.xml"
    window_display_start "$work"

    scripts/wine-run.sh "$program_folder/pontrel.exe" >"$work/wine-main.out" 2>&1 &
    main=$(window_find '^Exportar e importar datos entre Velmora y Yedra$')
    sleep 1
    import -window "$main" "$out/ventana-windows.png"
    /usr/lib/wine/wineserver -k 2>/dev/null || true

    host_start "$windows_bin/velmora_host.exe" "$work/suplente" 'C:\Pontrel\pontrel.exe' exportar
    files=$(window_find '^Archivo XML$')
    choose_document "$files" 'C:\colegio.xml'
    frames=$(window_find '^Planillas, Marcos o Jornadas Horarias$')
    window_click "$frames" 40 63
    sleep 0.5
    import -window "$frames" "$out/marcos-windows.png"
  ) || echo "Las capturas de Windows (Wine) fallaron" >&2
fi

ls -l "$out"
