#!/usr/bin/env bash
# Pontrel as installed: the files where the program looks for them, and the sample school carried in
# both directions by the installed pontrel-cli.
#   installed-sample.sh --build BUILD_DIR   cmake --install of that build into a temporary prefix
#   installed-sample.sh --deb PACKAGE.deb   the package unpacked into a temporary root (dpkg -x)
# Ends with status 1 and says what is wrong at the first fault.
set -euo pipefail

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
case "${1:-}" in
  --build)
    cmake --install "$2" --prefix "$root/usr" >/dev/null
    ;;
  --deb)
    dpkg -x "$2" "$root"
    ;;
  *)
    echo "Uso: $0 --build CARPETA_DE_COMPILACION | --deb PAQUETE.deb" >&2
    exit 2
    ;;
esac
prefix=$root/usr

fail() {
  echo "FALLO: $*" >&2
  exit 1
}

# Beside the executables: what the program reads from its own folder.
for file in lib/pontrel/pontrel lib/pontrel/pontrel-cli lib/pontrel/NIVELCAN.DBF lib/pontrel/YEDRA.chm; do
  [ -f "$prefix/$file" ] || fail "falta $file"
done
for program in pontrel pontrel-cli; do
  [ -L "$prefix/bin/$program" ] || fail "bin/$program no es un enlace"
  [ "$(readlink -f "$prefix/bin/$program")" = "$(readlink -f "$prefix/lib/pontrel/$program")" ] ||
    fail "bin/$program no lleva a lib/pontrel/$program"
done
for file in share/applications/pontrel.desktop share/icons/hicolor/scalable/apps/pontrel.svg \
  share/metainfo/org.pontrel.Pontrel.metainfo.xml share/man/man1/pontrel-cli.1.gz \
  share/pontrel/sample/colegio.xml share/pontrel/sample/SOLUC.DBF share/doc/pontrel/copyright share/doc/pontrel/AVISOS-DE-TERCEROS.txt; do
  [ -f "$prefix/$file" ] || fail "falta $file"
done
grep -qx 'Categories=Education;' "$prefix/share/applications/pontrel.desktop" || fail "pontrel.desktop sin Education"
# The manual page renders without a troff warning.
warnings=$(zcat "$prefix/share/man/man1/pontrel-cli.1.gz" | groff -k -man -Tutf8 -ww -z 2>&1 || true)
[ -z "$warnings" ] || fail "la página de manual da avisos: $warnings"

cli=$prefix/bin/pontrel-cli
"$cli" --version >/dev/null || fail "pontrel-cli --version"
for command in export import dump; do
  "$cli" "$command" --help >/dev/null || fail "pontrel-cli $command --help"
done

# The sample in both directions, from the installed files only.
work=$root/trabajo
mkdir -p "$work/VTEMP"
cp "$prefix/share/pontrel/sample/colegio.xml" "$work/"
out=$("$cli" export "$work/colegio.xml" --workdir "$work/VTEMP" --frames JOR1) || fail "la exportación: $out"
grep -q '^  PROFT.DBF  *40 registros$' <<<"$out" || fail "la exportación no lista PROFT con 40 registros: $out"
cp "$prefix/share/pontrel/sample/SOLUC.DBF" "$work/VTEMP/"
out=$("$cli" import "$work/colegio.xml" --workdir "$work/VTEMP") || fail "la importación: $out"
grep -q '^Entradas escritas: [1-9]' <<<"$out" || fail "la importación no escribe entradas: $out"
[ -s "$work/ResultadoDastelcolegio.xml" ] || fail "no se ha escrito ResultadoDastelcolegio.xml"
"$cli" dump "$work/VTEMP/GRUPOST.DBF" | grep -q '^ABREV,' || fail "pontrel-cli dump GRUPOST.DBF"
echo "Instalación correcta: exportación e importación del ejemplo desde $prefix"
