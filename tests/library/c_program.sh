#!/bin/sh
# The C program on libtavin writes docx2html's page and text, and names the
# sample's picture and title.
# Usage: c_program.sh C_PROGRAM DOCX2HTML SAMPLE.docx
set -u
program=$1 docx2html=$2 sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
"$program" "$sample" > "$work/c.html" 2> "$work/c.err" || fail "C program: $(cat "$work/c.err")"
"$docx2html" "$sample" > "$work/d.html" 2> /dev/null
cmp -s "$work/c.html" "$work/d.html" || fail "page differs from docx2html's"
"$program" "$sample" --text > "$work/c.txt" 2> /dev/null
"$docx2html" --text "$sample" > "$work/d.txt"
cmp -s "$work/c.txt" "$work/d.txt" || fail "text differs from docx2html --text"
grep -qx 'picture media/image1.png image/png [0-9]*' "$work/c.err" || fail "pictures: $(cat "$work/c.err")"
grep -qx 'title Tavin sample document' "$work/c.err" || fail "title: $(cat "$work/c.err")"
"$program" "$work/c.txt" 2> "$work/bad.err"; [ $? -eq 1 ] || fail "a text file converted"
grep -qx 'convert: c.txt is not a Word document (.docx)' "$work/bad.err" || fail "error: $(cat "$work/bad.err")"
[ "$failures" -eq 0 ]
