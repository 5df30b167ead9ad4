#!/usr/bin/env bash
# Installs what is missing, checks the sources' layout (scripts/check-format.sh), builds with
# AddressSanitizer and UndefinedBehaviorSanitizer, runs the fuzz targets of the two readers for a
# bounded time (FUZZ_SECONDS each, 60 by default), then every test (the layer rule of src/ among them),
# then the Windows build under Wine (scripts/windows-check.sh, skipped without ../shared/third_party).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/check-format.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
bash fuzz/run.sh
ctest --preset dev
bash scripts/interop-check.sh build/dev
bash scripts/windows-check.sh
