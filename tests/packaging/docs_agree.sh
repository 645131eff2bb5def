#!/bin/bash
# The --help texts, the manual pages and the bash completions name the same
# options, and the completions offer the files each place takes.
# Usage: docs_agree.sh BUILD_DIR SOURCE_DIR VIEWER(ON|OFF)
set -u
build=$(cd "$1" && pwd)
src=$2
viewer=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Options named in a --help text, and in bold in a manual page's source.
help_options() {
    "$build/$1" --help | grep -oE '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' | sed -E 's/^[^-]+//' | sort -u
}
man_options() {
    grep -oE '\*--?[[:alpha:]][[:alnum:]-]*\*' "$src/data/man/$1.1.scd" | tr -d '*' | sort -u
}
# What the completion offers for the words given (the last one is completed).
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    "_${1}"
    printf '%s\n' "${COMPREPLY[@]}" | sed -e '/^$/d' | sort
}

programs=docx2html
[ "$viewer" = ON ] && programs="docx2html tavin"
for program in $programs; do
    # shellcheck source=/dev/null
    . "$src/data/bash-completion/$program"
    help=$(help_options "$program")
    [ -n "$help" ] || fail "$program --help names no option"
    man=$(man_options "$program")
    only_help=$(comm -23 <(echo "$help") <(echo "$man"))
    only_man=$(comm -13 <(echo "$help") <(echo "$man"))
    [ -z "$only_help" ] || fail "$program: in --help, not in $program(1):" $only_help
    [ -z "$only_man" ] || fail "$program: in $program(1), not in --help:" $only_man
    # -h is only the short form of --help; the completion offers --help.
    # tavin's --no-fidelity and --final belong after --pdf, where they are
    # checked below.
    offered=$(complete_words "$program" -)
    after_pdf=-h
    [ "$program" = tavin ] && after_pdf=--final
    missing=$(comm -23 <(echo "$help" | grep -vx -e -h -e '--no-fidelity' -e "$after_pdf") <(echo "$offered"))
    [ -z "$missing" ] || fail "$program: completion does not offer:" $missing
done

# File completions, in a folder of files of every kind.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir sub
touch a.docx B.DOCX notes.txt out.html "with space.docx" x.pdf
expect() {
    local want=$1 got
    shift
    got=$(complete_words "$@" | tr '\n' '|')
    [ "$got" = "$want" ] || fail "completing '$*': got '$got', want '$want'"
}
expect 'B.DOCX|a.docx|sub|with space.docx|' docx2html ""
expect 'out.html|sub|' docx2html -o ""
expect 'sub|' docx2html -q -d ""
expect '--no-fidelity|--no-media|--no-optimize|--no-page-margin|' docx2html --no-
expect 'a.docx|' docx2html -- a
expect '' docx2html -j x
if [ "$viewer" = ON ]; then
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin ""
    expect '--pdf|' tavin --p
    expect 'sub|' tavin --thumbnail 128 ""
    touch t.png
    expect 'sub|t.png|' tavin --thumbnail 128 ""
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin --thumbnail 128 t.png ""
    rm t.png
    expect 'sub|x.pdf|' tavin --pdf ""
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin --pdf x.pdf ""
    expect '--no-fidelity|' tavin --pdf --n
    expect '--final|--no-fidelity|' tavin --pdf --
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin --pdf --final x.pdf ""
    expect 'sub|x.pdf|' tavin --pdf --no-fidelity ""
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin --pdf --no-fidelity x.pdf ""
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin a.docx ""
    expect 'B.DOCX|a.docx|sub|with space.docx|' tavin a.docx b.docx ""
fi

[ "$failures" -eq 0 ] && echo "help texts, manual pages and completions agree"
[ "$failures" -eq 0 ]
