#!/bin/sh
# The docx2html command as scripts use it: outputs, media folders, names,
# exit statuses and clean-up.
# Usage: docx2html_cli.sh BUILD_DIR
set -u
build=$1
bin="$build/docx2html"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One document to a file: the page and the pictures it references.
"$bin" -o "$work/out/page.html" "$build/sample.docx" || fail "-o exit status"
[ -f "$work/out/page.html" ] || fail "no page written"
grep -q '<img src="media/image1.png"' "$work/out/page.html" || fail "page lacks its picture"
cmp -s "$work/out/media/image1.png" "$build/sample/word/media/image1.png" || fail "picture not copied"

# A .docx and its extracted folder give the same page on standard output.
"$bin" "$build/sample.docx" > "$work/a.html" || fail "stdout exit status"
"$bin" "$build/sample" > "$work/b.html" || fail "folder exit status"
cmp -s "$work/a.html" "$work/b.html" || fail "folder and .docx differ"
cmp -s "$work/a.html" "$work/out/page.html" || fail "stdout and -o differ"
"$bin" --no-media -o "$work/nomedia/p.html" "$build/sample.docx" || fail "--no-media"
[ ! -e "$work/nomedia/media" ] || fail "--no-media copied pictures"
"$bin" --no-fidelity "$build/sample.docx" > /dev/null || fail "--no-fidelity"
"$bin" --no-fidelity --no-page-margin --no-optimize "$build/sample.docx" | grep -q '\.tab{margin-left:3em}</style></head>' \
    || fail "--no-page-margin --no-optimize"

# Many documents: same names from different folders keep their own pages;
# a failing one is reported and the others are still written.
mkdir -p "$work/in/x" "$work/in/y"
cp "$build/sample.docx" "$work/in/x/doc.docx"
cp "$build/sample.docx" "$work/in/y/doc.docx"
printf 'not a zip' > "$work/in/bad.docx"
"$bin" -q -j 2 -d "$work/many" "$work/in/x/doc.docx" "$work/in/bad.docx" "$work/in/y/doc.docx" 2> "$work/err.txt"
status=$?
[ "$status" -eq 1 ] || fail "-d with a bad document: exit status $status"
grep -q "^docx2html: $work/in/bad.docx: bad.docx is not a Word document (.docx)\$" "$work/err.txt" || fail "failure message: $(cat "$work/err.txt")"
[ -f "$work/many/doc/doc.html" ] && [ -f "$work/many/doc-2/doc-2.html" ] || fail "same-named pages"
[ -f "$work/many/doc/media/image1.png" ] && [ -f "$work/many/doc-2/media/image1.png" ] || fail "media per page"
"$bin" -q -d "$work/good" "$work/in/x/doc.docx" || fail "-d exit status"

# Properties, usage errors.
"$bin" --info "$build/sample.docx" > "$work/info.txt" || fail "--info exit status"
grep -q '^title: Tavin sample document$' "$work/info.txt" || fail "--info title"
[ "$(wc -l < "$work/info.txt")" -eq 9 ] || fail "--info prints nine lines (no counts stated)"
grep -q '^keywords2' "$work/info.txt" && fail "--info repeats the keywords"
"$bin" > /dev/null 2>&1; [ $? -eq 2 ] || fail "no input: exit status 2"
"$bin" --bogus x > /dev/null 2> "$work/usage.txt"; [ $? -eq 2 ] || fail "unknown option: exit status 2"
[ "$(cat "$work/usage.txt")" = "docx2html: unknown option --bogus; see --help" ] \
    || fail "unknown option message: $(cat "$work/usage.txt")"
"$bin" -o 2> "$work/usage.txt"; [ $? -eq 2 ] && [ "$(wc -l < "$work/usage.txt")" -eq 1 ] || fail "-o without a value: one line, exit 2"
"$bin" > /dev/null 2> "$work/usage.txt"; grep -q '^Usage: docx2html' "$work/usage.txt" || fail "no arguments: usage"
"$bin" a.docx b.docx > /dev/null 2>&1; [ $? -eq 2 ] || fail "two inputs without -d: exit status 2"
"$bin" "$work/missing.docx" > /dev/null 2>&1; [ $? -eq 1 ] || fail "missing file: exit status 1"

# Standard input and output: "-" reads the document from a pipe, "-o -"
# writes to standard output. The page is the file's, less its title.
untitled() { sed 's#<title>[^<]*</title>#<title></title>#' "$1"; }
cat "$build/sample.docx" | "$bin" - > "$work/pipe.html" || fail "- exit status"
untitled "$work/a.html" | cmp -s - "$work/pipe.html" || fail "- converts differently from the file"
grep -q '<title></title>' "$work/pipe.html" || fail "- gives the page a title"
"$bin" -o - "$build/sample.docx" > "$work/dash-o.html" || fail "-o - exit status"
cmp -s "$work/dash-o.html" "$work/a.html" || fail "-o - differs from standard output"
"$bin" - -o "$work/piped/p.html" < "$build/sample.docx" || fail "- with -o"
[ -f "$work/piped/media/image1.png" ] || fail "- with -o copies no pictures"
"$bin" -q -d "$work/mixed" "$build/sample.docx" - < "$build/sample.docx" || fail "- with -d"
[ -f "$work/mixed/stdin/stdin.html" ] && [ -f "$work/mixed/sample/sample.html" ] || fail "- with -d: page names"
"$bin" --info - < "$build/sample.docx" | grep -q '^title: Tavin sample document$' || fail "--info -"
"$bin" -- - < "$build/sample.docx" > /dev/null || fail "- after --"
printf 'not a zip' | "$bin" - > /dev/null 2> "$work/err.txt"; [ $? -eq 1 ] || fail "bad document on stdin: exit 1"
grep -qx 'docx2html: -: standard input is not a Word document (.docx)' "$work/err.txt" || fail "bad stdin message: $(cat "$work/err.txt")"
"$bin" - < /dev/null > /dev/null 2> "$work/err.txt"; [ $? -eq 1 ] || fail "empty stdin: exit 1"
grep -qx 'docx2html: -: standard input is empty' "$work/err.txt" || fail "empty stdin message: $(cat "$work/err.txt")"
"$bin" -q -d "$work/twice" - - < "$build/sample.docx" 2> /dev/null; [ $? -eq 2 ] || fail "- twice: exit 2"

# No private extraction folder is left behind, also after failures.
[ -z "$(ls -A "$TMPDIR")" ] || fail "temporary folders left: $(ls -A "$TMPDIR")"

[ "$failures" -eq 0 ] && echo "all docx2html checks passed"
[ "$failures" -eq 0 ]
