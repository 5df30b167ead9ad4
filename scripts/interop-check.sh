#!/usr/bin/env bash
# Another dBase engine on Pontrel's tables: TDbf 7.0.2, built with Free Pascal from
# ../shared/third_party, opens, walks, appends to and updates the working tables that Pontrel
# exports, as Velmora's engine does; Pontrel's engine then checks the index tree and reads every
# record. And the other way: tables and indexes that TDbf 7 created are read and walked by Pontrel.
#
#   bash scripts/interop-check.sh [BUILD_DIR]     (build/dev by default: AddressSanitizer build)
#
# PONTREL_THIRD_PARTY names the folder of the third-party sources when it is not ../shared/third_party
# (a worktree placed elsewhere).
# Exits non-zero on the first failure; skips, saying so in one line, when ../shared/third_party is
# not there (a clone of the repository alone).
set -euo pipefail
cd "$(dirname "$0")/.."

tarball=${PONTREL_THIRD_PARTY:-../shared/third_party}/tdbf-7.0.2.tar.xz
if [ ! -f "$tarball" ]; then
    echo "interop-check: skipped, $tarball is not there"
    exit 0
fi

build=${1:-build/dev}
[ -f "$build/CMakeCache.txt" ] || cmake --preset "$(basename "$build")" >/dev/null
interop=$build/interop
rm -rf "$interop"
mkdir -p "$interop/units"
cmake --build "$build" --target pontrel-cli mdx-check >"$interop/build.log" 2>&1 ||
    { tail -40 "$interop/build.log"; exit 1; }
cli=$build/bin/pontrel-cli
check=$build/bin/mdx-check

# TDbf 7 and our program, its units searched before Free Pascal's own unit dbf; the unit the program
# shares with the tests' other TDbf reader.
tar -xJf "$tarball" -C "$interop"
tdbf_src=$interop/tdbf-7.0.2/src
fpc -v0 -O1 -Fu"$tdbf_src" -Fi"$tdbf_src" -Futests/support/fpc -FU"$interop/units" -o"$interop/tdbf-interop" \
    tests/interop/tdbf_interop.pas >"$interop/fpc.log" 2>&1 || { cat "$interop/fpc.log"; exit 1; }
tdbf=$interop/tdbf-interop

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "interop-check: FAILED: $*" >&2
    exit 1
}

# Velmora opens its tables on Windows (or under Wine), where file names ignore letter case; TDbf on
# Linux looks for NAME.mdx in lower case, and Pontrel finds its index under either name.
lower_case_index() {
    local index
    for index in "$1"/*.MDX; do
        [ -e "$index" ] && mv "$index" "${index%.MDX}.mdx"
    done
    return 0
}

# Every record as TDbf reads it, opened shared and exclusively, equals pontrel-cli dump's.
same_records() {
    local table=$1 mode
    "$cli" dump "$table" >"$work/pontrel.csv" || fail "pontrel-cli dump $table"
    for mode in shared exclusive; do
        "$tdbf" dump "$table" "$mode" >"$work/tdbf.cp1252" || fail "TDbf cannot read $table ($mode)"
        iconv -f CP1252 -t UTF-8 "$work/tdbf.cp1252" >"$work/tdbf.csv"
        diff -u "$work/pontrel.csv" "$work/tdbf.csv" >"$work/diff" ||
            { head -20 "$work/diff" >&2; fail "TDbf ($mode) and Pontrel read $table differently"; }
    done
}

# TDbf walks the tag forwards and backwards in both open modes; Pontrel's engine checks the tree
# and that TDbf's walk is the tree's order. Extra arguments go to mdx-check.
walk_and_check() {
    local table=$1 mode
    shift
    for mode in shared exclusive; do
        "$tdbf" walk "$table" ORDEN "$mode" >"$work/walk-$mode" || fail "TDbf's walk of $table ($mode)"
    done
    cmp -s "$work/walk-shared" "$work/walk-exclusive" || fail "TDbf walks $table differently by open mode"
    "$check" check "$table" --walk "$work/walk-shared" "$@" || fail "the index of $table"
}

# Pontrel writes the tag header past the header region that other engines keep cached (pages 0-5),
# and equal keys in record order.
pontrel_layout=(--min-header-page 6 --ties-in-record-order)

echo "== a working folder exported by Pontrel"
export_dir=$work/export
mkdir -p "$export_dir"
"$cli" export data/sample/colegio.xml --workdir "$export_dir" --frames JOR1 >/dev/null
lower_case_index "$export_dir"
tables=$(find "$export_dir" -maxdepth 1 -name '*.DBF' | sort)
[ -n "$tables" ] || fail "the export wrote no tables"
for table in $tables; do
    same_records "$table"
done
slots=$export_dir/DIASHORAST2.DBF
walk_and_check "$slots" "${pontrel_layout[@]}"
echo "   every table read alike by TDbf 7 and Pontrel; DIASHORAST2 walked by ORDEN both ways"
for count in 300 3000; do
    "$tdbf" append "$slots" "$count" 15 >/dev/null || fail "TDbf appending $count records to DIASHORAST2"
    walk_and_check "$slots" --deleted-keep
    same_records "$slots"
done
echo "   TDbf 7 appended 300 and 3,000 records, changed and deleted some: index and records sound"

echo "== tables of 7, 300 and 5,000 records"
for size in 7 300 5000; do
    table=$work/p$size/DIASHORAST2.DBF
    mkdir -p "$(dirname "$table")"
    "$check" make "$table" "$size" "$size" || fail "making a table of $size records"
    lower_case_index "$(dirname "$table")"
    walk_and_check "$table" "${pontrel_layout[@]}"
    same_records "$table"
    "$tdbf" append "$table" 300 "$size" >/dev/null || fail "TDbf appending to a table of $size records"
    walk_and_check "$table" --deleted-keep
    same_records "$table"

    table=$work/t$size/DIASHORAST2.DBF
    mkdir -p "$(dirname "$table")"
    "$tdbf" create "$table" "$size" "$size" || fail "TDbf creating a table of $size records"
    walk_and_check "$table"
    same_records "$table"
done
echo "   Pontrel's tables walked and extended by TDbf 7, TDbf 7's tables read and walked by Pontrel"
echo "interop-check: passed"
