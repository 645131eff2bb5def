#!/bin/sh
# Whole-process timings of docx2html on the public test documents, against
# the targets the project holds itself to:
#   1. poi/bug65649.docx end to end within 4x of inflating its document part
#      (`unzip -p`), with peak memory within 3x of the document part (both
#      with Full Fidelity, the default, and with --no-fidelity);
#   2. every document whose document part is below 100 KB within 10 ms;
#   3. (linear growth: printed by tavin_bench, BM_*Repeated)
#   4. the whole corpus with -j 2 within 60% of the time with -j 1.
# Usage: bench/endtoend.sh [BUILD_DIR]   (default: build)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
BIN=$BUILD/docx2html
CORPUS=$ROOT/../shared/corpus
RUNS=5
[ -x "$BIN" ] || { echo "endtoend.sh: build first (make)" >&2; exit 1; }
[ -d "$CORPUS" ] || { echo "endtoend.sh: $CORPUS is absent; nothing to measure"; exit 0; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

now_us() { echo $(($(date +%s%N) / 1000)); }

# Median wall time in microseconds of RUNS runs of the command.
median_us() {
    : > "$WORK/t"
    i=0
    while [ $i -lt $RUNS ]; do
        s=$(now_us); "$@" > /dev/null 2>&1 || true; e=$(now_us)
        echo $((e - s)) >> "$WORK/t"
        i=$((i + 1))
    done
    sort -n "$WORK/t" | sed -n "$(((RUNS + 1) / 2))p"
}

part_size() { unzip -l "$1" word/document.xml 2>/dev/null | awk '$4 == "word/document.xml" { print $1; exit }'; }

big=$CORPUS/poi/bug65649.docx
if [ -f "$big" ]; then
    u=$(median_us sh -c "unzip -p '$big' word/document.xml > /dev/null")
    part=$(part_size "$big")
    for mode in "" --no-fidelity; do
        d=$(median_us "$BIN" $mode -o "$WORK/big.html" "$big")
        rss=$(/usr/bin/time -f %M "$BIN" $mode -o "$WORK/big.html" "$big" 2>&1 >/dev/null | tail -n 1)
        echo "1. bug65649.docx${mode:+ $mode}: docx2html $((d / 1000)) ms, unzip -p $((u / 1000)) ms:" \
             "ratio $(awk "BEGIN { printf \"%.1f\", $d / $u }") (target <= 4);" \
             "peak $((rss / 1024)) MB for a $((part / 1048576)) MB part:" \
             "ratio $(awk "BEGIN { printf \"%.1f\", $rss * 1024 / $part }") (target <= 3)"
    done
fi

worst=0; worst_doc=""; over=0; count=0
for f in "$CORPUS"/*/*.docx; do
    p=$(part_size "$f")
    [ -n "$p" ] && [ "$p" -lt 102400 ] || continue
    t=$(median_us "$BIN" -o "$WORK/page.html" "$f")
    count=$((count + 1))
    [ "$t" -gt 10000 ] && { over=$((over + 1)); echo "   over 10 ms: $f ($((t / 1000)) ms)"; }
    [ "$t" -gt "$worst" ] && { worst=$t; worst_doc=$f; }
done
echo "2. $count documents below 100 KB of document part: slowest $(awk "BEGIN { printf \"%.1f\", $worst / 1000 }") ms" \
     "($(basename "$worst_doc")), $over over 10 ms (target: none)"

s=$(now_us); "$BIN" -q -j 1 --no-media -d "$WORK/j1" "$CORPUS"/*/*.docx 2>/dev/null || true; m=$(now_us)
"$BIN" -q -j 2 --no-media -d "$WORK/j2" "$CORPUS"/*/*.docx 2>/dev/null || true; e=$(now_us)
j1=$((m - s)); j2=$((e - m))
echo "4. whole corpus: -j 1 $((j1 / 1000)) ms, -j 2 $((j2 / 1000)) ms:" \
     "$(awk "BEGIN { printf \"%.0f\", 100 * $j2 / $j1 }")% (target <= 60%)"
