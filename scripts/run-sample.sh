#!/usr/bin/env bash
# Builds Pontrel and exports the bundled sample school into a temporary working folder; pontrel-cli
# then prints each table written with its record count.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target pontrel-cli -j2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The sample lists two school-day frames: the morning one (JOR1) is the one Velmora gets.
build/release/bin/pontrel-cli export data/sample/colegio.xml --workdir "$work" --frames JOR1
