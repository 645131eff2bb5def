#!/bin/sh
# The viewer's first painted screen against the floor of a web view on this
# machine, under a private Xvfb display (with openbox when installed):
#
#   tavin     `tavin FILE` with a fresh cache and settings: extraction,
#             conversion and layout, up to the first painted screen;
#   floor     build/bench/floorview, the least Qt WebEngine program, showing
#             the page docx2html made of the same document from its file.
#
# Both are timed by build/bench/paintpoll, which starts the program and
# reads its window with XGetImage every 20 ms (without grabbing the X
# server) until the band below the menu bar holds several colours. Runs
# alternate between the two; medians of RUNS runs, and their ratio.
#
# Then F5 and the Full Fidelity toggle (sent with xdotool, skipped without
# it): the time from the command to the end of the page's load, from the
# viewer's own timeline (TAVIN_DEBUG), against the floor program loading
# the same page again; and docx2html's whole conversion of the document.
#
# Usage: bench/firstpaint.sh [BUILD_DIR] [FILE.docx...]
# Environment: RUNS (default 5), CORPUS (default ../shared/corpus beside
# the repository), LIMIT_S (a run's time limit, default 60).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
[ $# -gt 0 ] && shift
BUILD=$(cd "$BUILD" && pwd)
TOP=$(git -C "$ROOT" rev-parse --show-toplevel 2>/dev/null || echo "$ROOT")
CORPUS=${CORPUS:-$TOP/../shared/corpus}
RUNS=${RUNS:-5}
LIMIT_S=${LIMIT_S:-60}
if [ $# -eq 0 ]; then
    set -- "$BUILD/sample.docx" "$CORPUS/poi/stress004.docx" "$CORPUS/poi/bug65649.docx"
fi
command -v Xvfb >/dev/null || { echo "firstpaint.sh: Xvfb is not installed; skipped"; exit 0; }
for p in tavin docx2html bench/paintpoll bench/floorview; do
    [ -x "$BUILD/$p" ] || { echo "firstpaint.sh: $BUILD/$p was not built; skipped"; exit 0; }
done

WORK=$(mktemp -d)
xvfb=""; wm=""; viewer=""
cleanup() {
    [ -n "$viewer" ] && kill "$viewer" 2>/dev/null || true
    [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

# A display number nobody uses.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
DISPLAY=":$n"
export DISPLAY
i=0
until [ -e "/tmp/.X11-unix/X$n" ]; do
    i=$((i + 1)); [ $i -gt 200 ] && { echo "firstpaint.sh: Xvfb did not start"; exit 1; }
    sleep 0.05
done
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 0.5
fi

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | sed -n "$(((RUNS + 1) / 2))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# Milliseconds to the first painted screen of one run (LIMIT_S * 1000 when
# it never came).
paint_ms() {
    out=$("$BUILD/bench/paintpoll" -t "$LIMIT_S" "$@" 2>/dev/null || true)
    t=$(echo "$out" | awk '$1 == "paint" { print $2 }')
    echo "${t:-$((LIMIT_S * 1000))}"
}
tavin_run() {
    rm -rf "$WORK/cache" "$WORK/config"
    TAVIN_CACHE_DIR="$WORK/cache" XDG_CONFIG_HOME="$WORK/config" paint_ms -n "Tavin - " -- "$BUILD/tavin" "$1"
}
floor_run() { paint_ms -n "Floor - " -- "$BUILD/bench/floorview" "$1"; }

conversion_ms() {
    : > "$WORK/c"
    k=0
    while [ $k -lt "$RUNS" ]; do
        s=$(now_ms); "$BUILD/docx2html" --no-media -o "$WORK/conv.html" "$1" >/dev/null 2>&1 || true
        echo $(($(now_ms) - s)) >> "$WORK/c"
        k=$((k + 1))
    done
    median < "$WORK/c"
}

# The viewer's timeline mark after the line count given: the milliseconds of
# the first line matching the pattern.
mark_after() { tail -n +"$(($1 + 1))" "$WORK/timeline" | awk -v p="$2" '$0 ~ p { print $2; exit }'; }
wait_mark() {
    waited=0
    while [ -z "$(mark_after "$1" "$2")" ]; do
        waited=$((waited + 1)); [ $waited -gt $((LIMIT_S * 20)) ] && return 1
        sleep 0.05
    done
}

# Median times from F5 and from the Full Fidelity toggle to the page loaded,
# in one viewer, into $WORK/again ("F5 TOGGLE").
commands_ms() {
    rm -rf "$WORK/cache" "$WORK/config"
    TAVIN_DEBUG=1 TAVIN_CACHE_DIR="$WORK/cache" XDG_CONFIG_HOME="$WORK/config" "$BUILD/tavin" "$1" \
        2> "$WORK/timeline" >/dev/null &
    viewer=$!
    wait_mark 0 "page loaded" || { echo "- -" > "$WORK/again"; return; }
    sleep 1
    win=$(xdotool search --all --onlyvisible --pid "$viewer" --name "Tavin - " 2>/dev/null | head -n 1)
    [ -n "$win" ] && xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
    : > "$WORK/f5"; : > "$WORK/ff"
    k=0
    while [ $k -lt "$RUNS" ]; do
        for command in f5 ff; do
            lines=$(wc -l < "$WORK/timeline")
            if [ $command = f5 ]; then
                xdotool key --window "$win" F5
                wait_mark "$lines" "reload asked" || break
                asked=$(mark_after "$lines" "reload asked")
            else
                # Option menu, Full Fidelity.
                xdotool key --window "$win" alt+o
                sleep 0.3
                xdotool key --window "$win" f
                wait_mark "$lines" "options changed" || break
                asked=$(mark_after "$lines" "options changed")
            fi
            wait_mark "$lines" "page loaded" || break
            echo $(($(mark_after "$lines" "page loaded") - asked)) >> "$WORK/$command"
            sleep 1
        done
        k=$((k + 1))
    done
    kill "$viewer" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
    viewer=""
    echo "$(median < "$WORK/f5") $(median < "$WORK/ff")" > "$WORK/again"
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-18s %9s %9s %6s | %9s %9s %9s %9s\n' document tavin floor ratio F5 toggle "floor F5" docx2html
for f in "$@"; do
    [ -f "$f" ] || { echo "skipping missing $f"; continue; }
    name=$(basename "$f" .docx)
    page="$WORK/page/$name/$name.html"
    "$BUILD/docx2html" -q -o "$page" "$f" || { echo "skipping $f: docx2html failed"; continue; }
    : > "$WORK/t"; : > "$WORK/w"
    k=0
    while [ $k -lt "$RUNS" ]; do
        tavin_run "$f" >> "$WORK/t"
        floor_run "$page" >> "$WORK/w"
        k=$((k + 1))
    done
    tm=$(median < "$WORK/t"); wm_=$(median < "$WORK/w")
    f5="-"; ff="-"; floorf5="-"
    if command -v xdotool >/dev/null; then
        commands_ms "$f"
        read -r f5 ff < "$WORK/again"
    fi
    "$BUILD/bench/floorview" "$page" "$RUNS" 2>/dev/null | awk '$1 == "reload" { print $2 }' > "$WORK/r" || true
    [ -s "$WORK/r" ] && floorf5=$(median < "$WORK/r")
    printf '%-18s %6s ms %6s ms %6s | %6s ms %6s ms %6s ms %6s ms\n' "$name" "$tm" "$wm_" "$(ratio "$tm" "$wm_")" \
        "$f5" "$ff" "$floorf5" "$(conversion_ms "$f")"
    echo "  runs: tavin $(tr '\n' ' ' < "$WORK/t")| floor $(tr '\n' ' ' < "$WORK/w")"
    # In turn: the first toggle converts, F5 and the later toggles may show
    # a page already made (README, "tavin, the viewer").
    [ "$f5" != "-" ] && echo "  in turn: F5 $(tr '\n' ' ' < "$WORK/f5")| toggle $(tr '\n' ' ' < "$WORK/ff")"
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
