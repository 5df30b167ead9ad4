#!/usr/bin/env bash
# Checks that every C++ source of the project is laid out as .clang-format says; with --fix, lays
# them out. Lists the files that differ and fails when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: falta clang-format (bash scripts/setup.sh)" >&2; exit 1; }
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
                                     'data/*.cpp' 'fuzz/*.cpp' 'fuzz/*.h' ':!tests/layers/*')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
differing=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || differing+=("$f")
done
if [ ${#differing[@]} -gt 0 ]; then
  echo "check-format: ${#differing[@]} archivo(s) no siguen .clang-format (bash scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${differing[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} archivos en orden"
