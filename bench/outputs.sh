#!/bin/sh
# Records the pages of every corpus document, or compares the current
# build's pages with a recording byte for byte. Run `record` before changing
# a pass and `compare` after it: speed work must not change one byte. The
# pages are the classic ones (--no-fidelity); with OUTPUTS_FIDELITY=1 in
# the environment, the Full Fidelity ones.
# Usage: bench/outputs.sh record|compare DIR [BUILD_DIR]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
MODE=${1:?record or compare}
DIR=${2:?folder of the recording}
BUILD=${3:-$ROOT/build}
CORPUS=$ROOT/../shared/corpus
FIDELITY=--no-fidelity
[ "${OUTPUTS_FIDELITY:-0}" = 1 ] && FIDELITY=
[ -d "$CORPUS" ] || { echo "outputs.sh: $CORPUS is absent" >&2; exit 1; }

convert_all() {
    rm -rf "$1"
    mkdir -p "$1"
    # Each document into a folder named after its corpus folder and name, so
    # that same-named documents never share one; failures keep their message.
    for f in "$CORPUS"/*/*.docx; do
        name=$(basename "$(dirname "$f")")_$(basename "$f" .docx)
        "$BUILD/docx2html" $FIDELITY --no-media -o "$1/$name.html" "$f" 2> "$1/$name.err" || true
    done
}

case $MODE in
    record)
        convert_all "$DIR"
        echo "recorded $(ls "$DIR" | grep -c '\.html$') pages in $DIR" ;;
    compare)
        NOW=$(mktemp -d)
        trap 'rm -rf "$NOW"' EXIT INT TERM
        convert_all "$NOW"
        if diff -r -q "$DIR" "$NOW"; then
            echo "all $(ls "$NOW" | grep -c '\.html$') pages identical to $DIR"
        else
            echo "outputs differ from $DIR" >&2
            exit 1
        fi ;;
    *) echo "usage: outputs.sh record|compare DIR [BUILD_DIR]" >&2; exit 2 ;;
esac
