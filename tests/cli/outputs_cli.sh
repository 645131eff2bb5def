#!/bin/sh
# docx2html's other outputs: the page's text, pictures inside the page, the
# warning for pictures standard output cannot hold, and folders of
# documents.
# Usage: outputs_cli.sh BUILD_DIR
set -u
build=$1
bin="$build/docx2html"
sample="$build/sample.docx"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
tab=$(printf '\t')

# The text: one line a paragraph, heading and list item with its label,
# cells separated by tabs, nothing of the markup; the same under -d.
"$bin" --text "$sample" > "$work/full.txt" 2> "$work/err.txt" || fail "--text exit status"
[ ! -s "$work/err.txt" ] || fail "--text warned: $(cat "$work/err.txt")"
"$bin" --text --no-fidelity "$sample" > "$work/classic.txt" || fail "--text --no-fidelity exit status"
for case in "full.txt|Formatted text" "full.txt|1. First step" "full.txt|a) A detail of the first step" \
        "full.txt|Two columns wide${tab}Header" "full.txt|Two rows high${tab}B2${tab}C2" \
        "full.txt|Visit the Tavin web site, or go back to the formatted text." \
        "classic.txt|• A bulleted item" "classic.txt|1. First step" "classic.txt|1. A detail of the first step"; do
    file=${case%%|*} line=${case#*|}
    grep -qxF "$line" "$work/$file" || fail "$file lacks the line '$line'"
done
! grep -q '[<>]' "$work/full.txt" || fail "--text holds markup"
"$bin" -q --text -d "$work/texts" "$sample" || fail "--text -d exit status"
cmp -s "$work/texts/sample/sample.txt" "$work/full.txt" || fail "--text -d differs from standard output"
[ ! -e "$work/texts/sample/media" ] && [ ! -e "$work/texts/sample/sample.html" ] || fail "--text -d wrote more than the text"

# Pictures: standard output says it leaves them out; --embed-media puts the
# package's bytes into the img, writes no media folder and warns of nothing.
"$bin" "$sample" > /dev/null 2> "$work/err.txt"
grep -qxF "docx2html: $sample: warning: 1 picture is not written to standard output (use -o, -d or --embed-media)" \
    "$work/err.txt" || fail "no warning for pictures on standard output: $(cat "$work/err.txt")"
"$bin" --embed-media "$sample" > "$work/embedded.html" 2> "$work/err.txt" || fail "--embed-media exit status"
[ ! -s "$work/err.txt" ] || fail "--embed-media warned: $(cat "$work/err.txt")"
sed -n 's/.*<img src="data:image\/png;base64,\([^"]*\)".*/\1/p' "$work/embedded.html" | base64 -d > "$work/picture.png"
cmp -s "$work/picture.png" "$build/sample/word/media/image1.png" || fail "embedded picture is not the package's"
! grep -q 'media/image1' "$work/embedded.html" || fail "--embed-media left a media address"
"$bin" --embed-media -o "$work/emb/page.html" "$sample" || fail "--embed-media -o"
cmp -s "$work/emb/page.html" "$work/embedded.html" && [ ! -e "$work/emb/media" ] || fail "--embed-media -o wrote media"

# A folder without [Content_Types].xml stands for the .docx files under it,
# converted as -d converts them; lock files are left out.
mkdir -p "$work/docs/a/b" "$work/empty/x"
cp "$sample" "$work/docs/a/one.docx"
cp "$sample" "$work/docs/a/b/two.DOCX"
cp "$sample" "$work/docs/~\$one.docx"
touch "$work/docs/a/notes.txt"
"$bin" -q -d "$work/out" "$work/docs" || fail "folder of documents: exit status"
(cd "$work/out" && find . -type f -name '*.html' | sort | tr '\n' ' ') > "$work/pages.txt"
[ "$(cat "$work/pages.txt")" = "./one/one.html ./two/two.html " ] || fail "folder of documents gave: $(cat "$work/pages.txt")"
"$bin" -q -d "$work/ref" "$work/docs/a/one.docx" "$work/docs/a/b/two.DOCX"
cmp -s "$work/out/one/one.html" "$work/ref/one/one.html" && cmp -s "$work/out/two/two.html" "$work/ref/two/two.html" \
    || fail "folder of documents converts differently"
"$bin" "$work/docs" > /dev/null 2> "$work/err.txt"; [ $? -eq 2 ] || fail "folder of documents without -d: exit 2"
grep -qxF 'docx2html: a folder of documents needs -d DIR; see --help' "$work/err.txt" || fail "usage: $(cat "$work/err.txt")"
"$bin" -q -d "$work/none" "$work/empty" "$sample" 2> "$work/err.txt"; [ $? -eq 1 ] || fail "empty folder: exit 1"
grep -qxF "docx2html: $work/empty: neither an extracted package (no [Content_Types].xml) nor a folder holding .docx files" \
    "$work/err.txt" || fail "empty folder message: $(cat "$work/err.txt")"
[ -f "$work/none/sample/sample.html" ] || fail "the other input was not converted"

[ "$failures" -eq 0 ] && echo "all output checks passed"
[ "$failures" -eq 0 ]
