#!/usr/bin/env bash
# Builds the optimised preset and runs the benchmark: export and import at scales 1, 10 and 100
# against their floor, with peak memory. Arguments go to pontrel-bench (e.g. --repeats 3).
# Output format: bench/README.md. Exit status 1 when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release -B build/bench -DPONTREL_BUILD_GUI=OFF -DPONTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target pontrel-bench -j 2 >/dev/null
exec build/bench/bin/pontrel-bench "$@"
