#!/bin/sh
# Prints every corpus document with `tavin --pdf` and with LibreOffice and
# counts, word by word, how far the two prints agree on font family, size,
# bold, italic and colour (bench/agreement.py). LibreOffice's prints are kept
# in OUT/lo and made only once; ours are made again on every call.
# Usage: bench/agreement.sh [BUILD_DIR] [OUT_DIR]
# Needs soffice (LibreOffice) and pdftohtml (poppler-utils).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
OUT=${2:-/tmp/tavin-agreement}
CORPUS=$ROOT/../shared/corpus
mkdir -p "$OUT/in" "$OUT/lo" "$OUT/tv"

# One flat folder of links, named folder_file.docx, so that the prints of
# same-named documents from different folders do not overwrite each other.
find "$CORPUS" -name '*.docx' | sort | while read -r f; do
    rel=${f#"$CORPUS"/}
    ln -sf "$f" "$OUT/in/$(echo "$rel" | tr / _)"
done

missing=$(cd "$OUT/in" && for f in *.docx; do
    [ -e "$OUT/lo/${f%.docx}.pdf" ] || echo "$OUT/in/$f"; done)
if [ -n "$missing" ]; then
    echo "$missing" | xargs -n 30 soffice --headless --convert-to pdf \
        --outdir "$OUT/lo" > /dev/null 2>&1 || true
fi

for f in "$OUT"/in/*.docx; do
    name=$(basename "$f" .docx)
    QT_QPA_PLATFORM=offscreen timeout 120 "$BUILD/tavin" --pdf \
        "$OUT/tv/$name.pdf" "$f" > /dev/null 2>&1 || rm -f "$OUT/tv/$name.pdf"
done

: > "$OUT/agreement.jsonl"
for f in "$OUT"/tv/*.pdf; do
    name=$(basename "$f")
    [ -e "$OUT/lo/$name" ] && echo "$name"
done | xargs -P 2 -I{} python3 "$ROOT/bench/agreement.py" "$OUT/tv/{}" \
    "$OUT/lo/{}" >> "$OUT/agreement.jsonl" 2> /dev/null || true
python3 "$ROOT/bench/agreement.py" --summary "$OUT/agreement.jsonl"
