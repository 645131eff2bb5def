#!/bin/sh
# Times docx2html against other .docx-to-HTML converters that happen to be
# installed (pandoc, mammoth, LibreOffice), whole process, median of RUNS
# runs, and prints the ratios. Converters that are not installed are skipped.
# Usage: bench/compare.sh [BUILD_DIR] [FILE.docx...]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
[ $# -gt 0 ] && shift
CORPUS=$ROOT/../shared/corpus
RUNS=${RUNS:-5}
if [ $# -eq 0 ]; then
    set -- "$CORPUS/pandoc/lists.docx" "$CORPUS/poi/stress004.docx" "$CORPUS/poi/bug65649.docx"
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

median_ms() {
    : > "$WORK/t"
    i=0
    while [ $i -lt "$RUNS" ]; do
        s=$(date +%s%N); "$@" > /dev/null 2>&1 || true; e=$(date +%s%N)
        echo $(((e - s) / 1000)) >> "$WORK/t"
        i=$((i + 1))
    done
    sort -n "$WORK/t" | sed -n "$(((RUNS + 1) / 2))p" | awk '{ printf "%.1f", $1 / 1000 }'
}

printf '%-28s %12s' document docx2html
have_pandoc=$(command -v pandoc || true)
have_mammoth=$(command -v mammoth || true)
have_soffice=$(command -v soffice || command -v libreoffice || true)
[ -n "$have_pandoc" ] && printf ' %18s' pandoc
[ -n "$have_mammoth" ] && printf ' %18s' mammoth
[ -n "$have_soffice" ] && printf ' %18s' libreoffice
printf '\n'
for f in "$@"; do
    [ -f "$f" ] || { echo "skipping missing $f"; continue; }
    ours=$(median_ms "$BUILD/docx2html" -o "$WORK/ours.html" "$f")
    printf '%-28s %10s ms' "$(basename "$f")" "$ours"
    ratio() { awk "BEGIN { printf \"%.1fx\", $1 / ($ours > 0 ? $ours : 0.1) }"; }
    if [ -n "$have_pandoc" ]; then
        t=$(median_ms pandoc -f docx -t html -o "$WORK/p.html" "$f"); printf ' %8s ms %6s' "$t" "$(ratio "$t")"
    fi
    if [ -n "$have_mammoth" ]; then
        t=$(median_ms mammoth "$f" "$WORK/m.html"); printf ' %8s ms %6s' "$t" "$(ratio "$t")"
    fi
    if [ -n "$have_soffice" ]; then
        t=$(median_ms "$have_soffice" --headless --convert-to html --outdir "$WORK/lo" "$f"); printf ' %8s ms %6s' "$t" "$(ratio "$t")"
    fi
    printf '\n'
done
[ -z "$have_pandoc$have_mammoth$have_soffice" ] && echo "(pandoc, mammoth and LibreOffice are not installed; only docx2html was timed)"
exit 0
