#!/usr/bin/env bash
# Runs a Windows program of the cross-build under Wine: the build's emulator (CMake runs the level
# table's generator and the tests through it) and scripts/windows-check.sh's launcher. Uses
# $WINEPREFIX, or a prefix of its own in build/windows/wine; no display, unless PONTREL_WINE_DISPLAY
# names one (the window's checks, scripts/windows-window.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
loader=$(command -v wine64 || true)
[ -n "$loader" ] || loader=/usr/lib/wine/wine64
[ -x "$loader" ] || { echo "Falta wine64: ejecute scripts/setup.sh --windows" >&2; exit 127; }
export WINEPREFIX="${WINEPREFIX:-$here/build/windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export DISPLAY="${PONTREL_WINE_DISPLAY:-}"
mkdir -p "$WINEPREFIX"
exec "$loader" "$@"
