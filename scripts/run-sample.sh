#!/usr/bin/env bash
# Builds Pontrel and exports the bundled sample school into a temporary working folder, then prints
# each table written with its record count.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target pontrel-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/release/bin/pontrel-cli export data/sample/colegio.xml --workdir "$work" --frames JOR1
build/release/bin/pontrel-cli summary "$work" 2>/dev/null || ls -l "$work"
