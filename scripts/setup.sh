#!/usr/bin/env bash
# Installs every Debian package that Pontrel's build and tests need. Idempotent and quiet when
# everything is already there. With --windows also the MinGW-w64 cross compiler and Wine that
# scripts/windows-check.sh uses.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6opengl6-dev
  libgl-dev libxkbcommon-dev
  libxml2-dev libxml2-utils
  libgtest-dev googletest
  fpc fp-units-db fp-utils xz-utils
  xvfb xdotool x11-utils xauth imagemagick xchm
  fonts-dejavu-core fonts-liberation
  groff-base
  clang libclang-rt-14-dev clang-format
)
if [ "${1:-}" = "--windows" ]; then
  # fonts-wine: Wine's own fonts (MS Sans Serif, Tahoma), which the window draws with under Wine.
  packages+=(g++-mingw-w64-x86-64-posix wine64 fonts-wine nsis)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Instalando: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
