# Pontrel's Windows window under Wine, driven from outside as the Linux X11 tests drive the Linux one:
# a private Xvfb server, Velmora's stand-in (velmora_host.exe, a plain Win32 window that starts
# pontrel.exe with a direction and its handle) and xdotool on Wine's top-level windows.
# Sourced by scripts/windows-window-check.sh, and usable by any check of an installed pontrel.exe:
#
#   source scripts/windows-window.sh
#   window_display_start "$work"                      # Xvfb; Wine's windows go there
#   embedded_check 'C:\...\pontrel.exe' "$bin/velmora_host.exe" "$program_folder" "$work"
#   window_display_stop
#
# Needs WINEPREFIX exported. Functions return non-zero with a message on standard error; the caller
# decides whether that fails its check.

window_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Starts a private Xvfb (the display it chose itself) and a fresh Wine server that uses it.
window_display_start() { # WORK
  local work=$1
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$work/display" 2>/dev/null &
  window_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb no arrancó" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
  export PONTREL_WINE_DISPLAY=$DISPLAY
  # A Wine server started without a display would keep its desktop off the screen.
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
}

window_display_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "${window_xvfb_pid:-}" ] && kill "$window_xvfb_pid" 2>/dev/null || true
  window_xvfb_pid=
  unset PONTREL_WINE_DISPLAY
}

# Velmora's stand-in starting Pontrel: velmora_host.exe [--close-when FILE] PONTREL DIRECTION, in the
# background, its output in OUT and Pontrel's messages (PONTREL_ECHO_MESSAGES) in OUT.err.
host_start() { # HOST_EXE OUT PONTREL_WINDOWS_PATH DIRECTION [--close-when WINDOWS_PATH]
  local host=$1 out=$2
  shift 2
  rm -f "$out" "$out.err"
  PONTREL_ECHO_MESSAGES=1 "$window_root/scripts/wine-run.sh" "$host" "${@:3}" "$1" "$2" >"$out" 2>"$out.err" &
  host_pid=$!
}

# Waits for a line of the stand-in's output matching REGEX and prints it (\r taken off).
host_line() { # OUT REGEX [SECONDS]
  local tenths=$((${3:-60} * 10)) line
  for _ in $(seq "$tenths"); do
    line=$(tr -d '\r' <"$1" 2>/dev/null | grep -E -m1 "$2" || true)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.1
  done
  echo "el suplente de Velmora no dijo '$2'; dijo:" >&2
  tr -d '\r' <"$1" >&2 || true
  return 1
}

# Waits until Pontrel has written "Pontrel: TEXT" (a message box it shows).
said() { # OUT TEXT [SECONDS]
  local tenths=$((${3:-60} * 10))
  for _ in $(seq "$tenths"); do
    grep -qF "Pontrel: $2" "$1.err" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "Pontrel no mostró \"$2\"; mostró:" >&2
  grep -a 'Pontrel: ' "$1.err" >&2 || true
  return 1
}

# The X id of the visible top-level window whose name matches REGEX, once it is there.
window_find() { # REGEX [SECONDS]
  local tenths=$((${2:-60} * 10)) id
  for _ in $(seq "$tenths"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { sleep 0.5; echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no aparece la ventana '$1'" >&2
  return 1
}

window_gone() { # REGEX [SECONDS]
  local tenths=$((${2:-20} * 10))
  for _ in $(seq "$tenths"); do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  return 1
}

# Focus first, then plain keys: a key sent to a window that closes on it can stick.
window_key() { # ID KEYS...
  local id=$1
  shift
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  sleep 0.3
  xdotool key "$@"
}

# A click at X,Y of a window's client area; Wine's top-level X windows are their client areas.
window_click() { # ID X Y
  xdotool mousemove --window "$1" "$2" "$3"
  sleep 0.3
  xdotool click 1
}

# Types an ASCII path into the file dialog (the focus starts in its name field) and accepts it. Keys
# typed before the dialog has settled go to its file list.
choose_document() { # DIALOG_ID WINDOWS_PATH
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 1
  xdotool type --delay 60 "$2"
  sleep 0.5
  xdotool key Return
}

# Answers the message box that said TEXT with its "OK".
answer_message() { # OUT TEXT
  said "$1" "$2" || return 1
  local box
  box=$(window_find '^Pontrel$') || return 1
  window_key "$box" Return
  window_gone '^Pontrel$' || { echo "el mensaje \"$2\" no se cerró" >&2; return 1; }
}

# The CHILD line's fields: child_visible, child_x, child_y, child_width, child_height, child_caption,
# child_style, child_title, and child_screen_x/y (where its client area starts on the screen).
read_child() { # LINE
  child_visible=$(sed -E 's/.* visible=([01]) .*/\1/' <<<"$1")
  child_x=$(sed -E 's/.* x=(-?[0-9]+) .*/\1/' <<<"$1")
  child_y=$(sed -E 's/.* y=(-?[0-9]+) .*/\1/' <<<"$1")
  child_width=$(sed -E 's/.* width=([0-9]+) .*/\1/' <<<"$1")
  child_height=$(sed -E 's/.* height=([0-9]+) .*/\1/' <<<"$1")
  child_caption=$(sed -E 's/.* caption=([01]) .*/\1/' <<<"$1")
  child_style=$(sed -E 's/.* child=([01]) .*/\1/' <<<"$1")
  child_screen_x=$(sed -E 's/.* screen=(-?[0-9]+),.*/\1/' <<<"$1")
  child_screen_y=$(sed -E 's/.* screen=-?[0-9]+,(-?[0-9]+) .*/\1/' <<<"$1")
  child_title=${1#* title=}
}

# Pontrel's main window among the stand-in's child windows (not shown yet while a direction runs).
child_of_host() { # OUT
  local line
  line=$(host_line "$1" '^CHILD ') || { echo "la ventana de Pontrel no es hija del suplente" >&2; return 1; }
  read_child "$line"
  [ "$child_title" = "Exportar e importar datos entre Velmora y Yedra" ] || {
    echo "otra ventana hija del suplente: $line" >&2
    return 1
  }
}

# Pontrel's main window shown inside the stand-in: its child, at the top-left corner of its client area,
# no caption, the client size of the original window (632 x 266).
embedded_as_child() { # OUT
  local line
  line=$(host_line "$1" '^CHILD [0-9a-f]+ visible=1 ') || {
    echo "la ventana de Pontrel no se muestra dentro del suplente" >&2
    return 1
  }
  read_child "$line"
  [ "$child_title" = "Exportar e importar datos entre Velmora y Yedra" ] &&
    [ "$child_x,$child_y" = "0,0" ] && [ "$child_caption" = 0 ] && [ "$child_style" = 1 ] &&
    [ "${child_width}x$child_height" = "632x266" ] || {
    echo "la ventana de Pontrel no es hija del suplente en 0,0, sin título, de 632 x 266: $line" >&2
    return 1
  }
}

# Waits for Pontrel's end as the stand-in saw it; prints its exit code.
host_end() { # OUT [SECONDS]
  local line
  line=$(host_line "$1" '^EXIT ' "${2:-60}") || return 1
  wait "$host_pid" 2>/dev/null || true
  echo "${line#EXIT }"
}

# The Windows path of a file under the prefix's drive C: or anywhere else (drive Z:).
windows_path() { # UNIX_PATH
  local path=$1 drive_c=$WINEPREFIX/drive_c
  if [[ $path == "$drive_c"/* ]]; then
    path=${path#"$drive_c"}
    echo "C:${path//\//\\}"
  else
    echo "Z:${path//\//\\}"
  fi
}

# An installed or built pontrel.exe started by the stand-in with no direction: it must become the
# stand-in's child (at 0,0, no caption), and end by itself writing "Transformado=0" when the stand-in's
# window is destroyed. PROGRAM_FOLDER is where pontrel.exe is (its Velmora.ini goes there).
embedded_check() { # PONTREL_WINDOWS_PATH HOST_EXE PROGRAM_FOLDER WORK
  local pontrel=$1 host=$2 folder=$3 work=$4 code
  rm -f "$folder/Velmora.ini" "$work/cerrar"
  host_start "$host" "$work/suplente" "$pontrel" nada --close-when "$(windows_path "$work/cerrar")"
  embedded_as_child "$work/suplente" || return 1
  touch "$work/cerrar"
  code=$(host_end "$work/suplente" 30) || { echo "Pontrel no terminó al cerrarse la ventana del suplente" >&2; return 1; }
  [ "$(tr -d '\r' <"$folder/Velmora.ini" 2>/dev/null)" = $'[Transformadores]\nTransformado=0' ] || {
    echo "Velmora.ini tras cerrar el suplente (salida $code): $(cat "$folder/Velmora.ini" 2>/dev/null)" >&2
    return 1
  }
}
