#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build/fuzz and runs each for a bounded time.
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_TARGETS   which targets (default "yedra dbf mdx")
#   FUZZ_JOBS      parallel build jobs (default 2)
# Seeds come from fuzz/corpus/<target> (kept small, in the repository) and, for the table reader,
# from the real-world tables of tests/data/dbf/other-writers; new inputs that libFuzzer finds go to build/fuzz/corpus/<target>.
# A crash, a hang or a sanitizer report stops the script with status 1 and leaves the input in
# build/fuzz/artifacts/; keep it as a regression fixture in tests/data/fuzz-regressions/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-"yedra dbf mdx"}
build=$root/build/fuzz

CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target $(printf 'fuzz_%s ' $targets)

mkdir -p "$build/artifacts"
status=0
for t in $targets; do
  work=$build/corpus/$t
  mkdir -p "$work"
  seeds=("$root/fuzz/corpus/$t")
  # Tables written by dBase and FoxPro seed the table reader.
  [ "$t" = dbf ] && seeds+=("$root/tests/data/dbf/other-writers")
  # The fuzz_* runs also pass every earlier crash input, so a fixed fault stays fixed.
  regressions=$root/tests/data/fuzz-regressions/$t
  [ -d "$regressions" ] && seeds+=("$regressions")
  dict=()
  [ -f "$root/fuzz/$t.dict" ] && dict=(-dict="$root/fuzz/$t.dict")
  maxlen=65536
  [ "$t" = dbf ] && maxlen=16384 # a longer table only repeats records, and each costs a full read
  echo "== fuzz_$t: ${seconds}s"
  # The targets write each input to a scratch file under TMPDIR; libFuzzer may end without running
  # exit handlers, so the scratch folder is kept inside the build and emptied here.
  rm -rf "$build/tmp" && mkdir -p "$build/tmp"
  if ! TMPDIR="$build/tmp" ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
      "$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=$maxlen \
        -print_final_stats=1 "${dict[@]}" -artifact_prefix="$build/artifacts/$t-" "$work" "${seeds[@]}" \
        >"$build/fuzz_$t.log" 2>&1; then
    echo "fuzz_$t encontró un fallo: vea $build/fuzz_$t.log y $build/artifacts/"
    grep -E 'ERROR|SUMMARY|Test unit written' "$build/fuzz_$t.log" | head -20 || true
    status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/fuzz_$t.log" | tr '\n' ' '
    echo
  fi
done
exit $status
