#!/bin/sh
# Time from `tavin FILE` to the first painted screen of the document, under a
# private Xvfb display: the viewer starts with a fresh cache (so the time
# holds extraction, conversion and layout), and the top part of its view is
# captured over and over until it is no longer one uniform colour (the
# blank view, or the opening notice in its middle, is left out). Prints the
# median of RUNS runs per document beside docx2html's conversion time, with
# the target: first screen within 0.5 s plus the conversion.
# The figure is the end of the first capture that shows the page, so it is
# late by at most one capture (printed as the poll period).
# Usage: bench/firstpaint.sh [BUILD_DIR] [FILE.docx...]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
[ $# -gt 0 ] && shift
CORPUS=$ROOT/../shared/corpus
RUNS=${RUNS:-5}
LIMIT_S=${LIMIT_S:-60}
if [ $# -eq 0 ]; then
    set -- "$BUILD/sample.docx" "$CORPUS/poi/stress004.docx" "$CORPUS/poi/bug65649.docx"
fi
for tool in Xvfb xdotool import; do
    command -v $tool >/dev/null || { echo "firstpaint.sh: $tool is not installed; skipped"; exit 0; }
done
[ -x "$BUILD/tavin" ] || { echo "firstpaint.sh: $BUILD/tavin was not built; skipped"; exit 0; }

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
until xdotool getdisplaygeometry >/dev/null 2>&1; do
    i=$((i + 1)); [ $i -gt 100 ] && { echo "firstpaint.sh: Xvfb did not start"; exit 1; }
    sleep 0.05
done
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 0.5
fi

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# One run: milliseconds to the first painted screen (or "-" past LIMIT_S),
# and the mean poll period, into $WORK/run.
first_paint() {
    rm -rf "$WORK/cache" "$WORK/config"
    start=$(now_ms)
    TAVIN_CACHE_DIR="$WORK/cache" XDG_CONFIG_HOME="$WORK/config" "$BUILD/tavin" "$1" >/dev/null 2>&1 &
    viewer=$!
    win=""
    result="-"; polls=0; polled=0
    while [ $(($(now_ms) - start)) -lt $((LIMIT_S * 1000)) ]; do
        if [ -z "$win" ]; then
            win=$(xdotool search --pid "$viewer" --name "Tavin - " 2>/dev/null | head -n 1 || true)
            [ -z "$win" ] && { sleep 0.02; continue; }
            geometry=$(xdotool getwindowgeometry "$win" | awk '/Geometry/ { print $2 }')
            w=${geometry%x*}; h=${geometry#*x}
            polled=$(now_ms)
        fi
        # The view below the menu bar, down to 40% of the window: the
        # opening notice sits in the middle and is left out.
        colours=$(import -window "$win" -crop "${w}x$((h * 2 / 5 - 30))+0+30" +repage -format %k info: 2>/dev/null || echo 1)
        polls=$((polls + 1))
        if [ "${colours:-1}" -gt 1 ]; then
            result=$(($(now_ms) - start))
            break
        fi
    done
    period=0
    [ $polls -gt 0 ] && [ -n "$polled" ] && [ "$polled" != 0 ] && period=$((($(now_ms) - polled) / polls))
    kill "$viewer" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
    viewer=""
    echo "$result $period" > "$WORK/run"
}

median() { sort -n | sed -n "$(((RUNS + 1) / 2))p"; }

conversion_ms() {
    : > "$WORK/c"
    k=0
    while [ $k -lt "$RUNS" ]; do
        s=$(now_ms); "$BUILD/docx2html" --no-media -o "$WORK/page.html" "$1" >/dev/null 2>&1 || true
        echo $(($(now_ms) - s)) >> "$WORK/c"
        k=$((k + 1))
    done
    median < "$WORK/c"
}

printf '%-22s %12s %12s %14s %10s\n' document "first paint" docx2html "target" "poll"
for f in "$@"; do
    [ -f "$f" ] || { echo "skipping missing $f"; continue; }
    : > "$WORK/t"; : > "$WORK/p"
    k=0
    while [ $k -lt "$RUNS" ]; do
        first_paint "$f"
        read -r t p < "$WORK/run"
        [ "$t" = "-" ] && t=$((LIMIT_S * 1000))
        echo "$t" >> "$WORK/t"; echo "$p" >> "$WORK/p"
        k=$((k + 1))
    done
    fp=$(median < "$WORK/t")
    conv=$(conversion_ms "$f")
    printf '%-22s %9s ms %9s ms %11s ms %7s ms\n' "$(basename "$f")" "$fp" "$conv" "$((conv + 500))" "$(median < "$WORK/p")"
done
echo "(first paint: median of $RUNS runs, each with a fresh cache; all runs: $(tr '\n' ' ' < "$WORK/t" 2>/dev/null)for the last document)"
