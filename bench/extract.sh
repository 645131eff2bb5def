#!/bin/sh
# Times the extraction of a .docx package by Tavin's ZIP reader against
# `unzip -o -q` of the same file, each into an empty folder, and prints the
# median of 5 runs of each and their ratio.
#
# Usage: bench/extract.sh [FILE.docx]
#   default FILE: ../shared/corpus/poi/bug65649.docx
#   BUILD=folder  where the package library is built (default build-bench)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
FILE=${1:-$ROOT/../shared/corpus/poi/bug65649.docx}
BUILD=${BUILD:-$ROOT/build-bench}
RUNS=5

[ -f "$FILE" ] || { echo "extract.sh: no such file: $FILE" >&2; exit 1; }
command -v unzip >/dev/null || { echo "extract.sh: unzip is missing (scripts/install-deps)" >&2; exit 1; }

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVIN_TESTS=OFF -DTAVIN_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j 2 --target tavin_engine >/dev/null

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

cat >"$WORK/extract.cpp" <<'EOF'
// Extracts a package with the viewer's settings.
#include <cstdio>
#include "package/zip.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    tavin::TVCLUnZip z;
    z.SetZipName(argv[1]);
    z.SetDestDir(argv[2]);
    z.RecreateDirs = true;
    z.DoAll = true;
    z.OverwriteMode = tavin::TUZOverwriteMode::Always;
    try {
        z.ExtractEntries();
    } catch (const tavin::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
EOF
# The package reader lives in libtavin.
g++ -std=c++20 -O2 -I"$ROOT" "$WORK/extract.cpp" -L"$BUILD" -ltavin -Wl,-rpath,"$BUILD" \
    $(pkg-config --libs libpcre2-8) -lz -o "$WORK/extract"

# Median wall time in milliseconds of RUNS runs of "$@ DEST", DEST a fresh folder.
median_ms() {
    i=0
    : >"$WORK/times"
    while [ $i -lt $RUNS ]; do
        rm -rf "$WORK/out"
        mkdir "$WORK/out"
        start=$(date +%s%N)
        "$@" "$WORK/out" >/dev/null
        end=$(date +%s%N)
        echo $(((end - start) / 1000)) >>"$WORK/times"
        i=$((i + 1))
    done
    sort -n "$WORK/times" | sed -n "$(((RUNS + 1) / 2))p" | awk '{ printf "%.2f", $1 / 1000 }'
}

unzip_to() { unzip -o -q "$FILE" -d "$1"; }

tavin=$(median_ms "$WORK/extract" "$FILE")
ref=$(median_ms unzip_to)
echo "file:   $FILE"
echo "tavin:  $tavin ms (median of $RUNS)"
echo "unzip:  $ref ms (median of $RUNS)"
awk -v a="$tavin" -v b="$ref" 'BEGIN { printf "ratio:  %.2f (tavin / unzip)\n", a / b }'
