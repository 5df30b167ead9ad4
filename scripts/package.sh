#!/usr/bin/env bash
# Builds the Debian package of Pontrel (optimised, without tests) and checks it:
#   build/package/pontrel_<versión>_<arquitectura>.deb
# The checks: dpkg-deb --info and --contents, lintian when it is installed, and the package unpacked
# into a temporary root (dpkg -x) converting the sample school in both directions from there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

out=$PWD/build/package
build=$out/build
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPONTREL_BUILD_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" >/dev/null
# Only what the package holds (the benchmark and the tests stay out).
cmake --build "$build" -j2 --target pontrel pontrel-cli level_table pontrel_help manual_page sample_timetable
rm -f "$out"/*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/*.deb)

echo "== dpkg-deb --info $deb"
dpkg-deb --info "$deb"
echo "== dpkg-deb --contents"
dpkg-deb --contents "$deb"
if command -v lintian >/dev/null; then
  echo "== lintian"
  lintian --no-tag-display-limit "$deb"
else
  echo "== lintian no está instalado: no se ha revisado el paquete con él"
fi
echo "== El paquete instalado en una raíz temporal (dpkg -x)"
bash tests/install/installed-sample.sh --deb "$deb"
echo
echo "Paquete: $deb"
echo "Instalarlo: sudo apt install $deb"
