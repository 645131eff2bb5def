#!/bin/sh
# Documents per second over the public test documents: docx2html -j N -d
# against python3 -m tavin.batch on a local cluster of N workers (its
# summary line, which counts the conversion without the cluster's start),
# each into a fresh folder.
#
# Usage: bench/batch.sh [BUILD_DIR [N]]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
N=${2:-2}
CORPUS=$ROOT/../shared/corpus
[ -d "$CORPUS" ] || { echo "batch.sh: no documents in $CORPUS"; exit 0; }
[ -d "$BUILD/python/tavin" ] || { echo "batch.sh: the Python module is not built"; exit 0; }
/usr/bin/python3 -c 'import distributed' 2> /dev/null || { echo "batch.sh: python3-distributed is missing"; exit 0; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
count=$(find "$CORPUS" -name '*.docx' | wc -l)

start=$(date +%s%N)
"$BUILD/docx2html" -q -j "$N" -d "$WORK/d" "$CORPUS" 2> /dev/null || true
end=$(date +%s%N)
awk -v n="$count" -v ns="$((end - start))" -v j="$N" \
    'BEGIN { printf "docx2html -j %d: %d documents in %.2f s, %.1f documents per second\n", j, n, ns / 1e9, n / (ns / 1e9) }'
PYTHONPATH="$BUILD/python" /usr/bin/python3 -m tavin.batch -q "$CORPUS" -o "$WORK/b" --workers "$N" 2> /dev/null \
    | sed "s/^/tavin.batch --workers $N: /" || true
PYTHONPATH="$BUILD/python" /usr/bin/python3 -m tavin.batch -q "$CORPUS" -o "$WORK/b" --workers "$N" 2> /dev/null \
    | sed "s/^/tavin.batch again (resumed): /" || true
