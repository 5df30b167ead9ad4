#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows installer with NSIS from the `windows` preset's programs:
#   build/package/pontrel-<versión>-setup.exe
# It holds pontrel.exe (when the windows build makes the window), pontrel-cli.exe, NIVELCAN.DBF,
# YEDRA.chm, COPYING.txt, the third-party notices (AVISOS-DE-TERCEROS.txt, licenses\) and the sample
# school (ejemplo\colegio.xml and its timetable SOLUC.DBF). Per-user install, no administrator.
# With --check it then installs, uses and uninstalls the installer under Wine in a fresh prefix
# (tests/install/windows-installer.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fail() { echo "package-windows: FALLO: $*" >&2; exit 1; }

check=false
case "${1:-}" in
--check) check=true ;;
"") ;;
*) fail "uso: scripts/package-windows.sh [--check]" ;;
esac

third_party=${PONTREL_THIRD_PARTY:-$root/../shared/third_party}
bash scripts/setup.sh --windows
command -v makensis >/dev/null || fail "falta makensis (paquete nsis): scripts/setup.sh --windows"

[ -f build/windows/CMakeCache.txt ] ||
  cmake --preset windows -DPONTREL_LIBXML2_TARBALL="$third_party/libxml2-2.9.14.tar.xz" >/dev/null
gui=$(sed -n 's/^PONTREL_BUILD_GUI:BOOL=//p' build/windows/CMakeCache.txt)
targets=(pontrel-cli level_table)
[ "$gui" = ON ] && targets+=(pontrel)
cmake --build build/windows -j 2 --target "${targets[@]}" >/dev/null
# The sample's timetable is written by the Linux build (a dBase file, the same on both systems).
[ -f build/dev/CMakeCache.txt ] || cmake --preset dev >/dev/null
cmake --build build/dev -j 2 --target sample_timetable >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
out=$root/build/package
stage=$out/windows
rm -rf "$stage" && mkdir -p "$stage/program/ejemplo"
cmake --install build/windows --prefix "$stage/install" >/dev/null
cp -r "$stage/install/bin/." "$stage/program/"
rm -rf "$stage/install"
cp data/sample/colegio.xml build/dev/data/sample/SOLUC.DBF "$stage/program/ejemplo/"

program=$stage/program
for file in pontrel-cli.exe NIVELCAN.DBF COPYING.txt AVISOS-DE-TERCEROS.txt licenses/libxml2-2.9.14-Copyright.txt; do
  [ -f "$program/$file" ] || fail "falta $file en la instalación de build/windows"
done
if [ "$gui" = ON ]; then
  for file in pontrel.exe YEDRA.chm licenses/qt-6.4.2/LGPL-3.0-only.txt; do
    [ -f "$program/$file" ] || fail "la compilación windows lleva la ventana, pero falta $file"
  done
else
  echo "package-windows: aviso: build/windows no lleva la ventana (PONTREL_BUILD_GUI=$gui): el instalador sale sin pontrel.exe ni YEDRA.chm"
fi

# The uninstaller removes exactly these files, then the folders that end up empty (deepest first).
{
  (cd "$program" && find . -type f | LC_ALL=C sort) | while read -r file; do
    printf 'Delete "$INSTDIR\\%s"\n' "$(echo "${file#./}" | tr / '\\')"
  done
  (cd "$program" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while read -r dir; do
    printf 'RMDir "$INSTDIR\\%s"\n' "$(echo "${dir#./}" | tr / '\\')"
  done
} >"$stage/files.nsh"

setup=$out/pontrel-$version-setup.exe
rm -f "$setup"
size_kb=$(du -sk "$program" | cut -f1)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" -DSIZE_KB="$size_kb" \
  packaging/windows/pontrel.nsi
echo "Instalador: $setup ($(du -h "$setup" | cut -f1))"

if $check; then
  bash tests/install/windows-installer.sh "$setup"
fi
