#!/bin/sh
# The Debian package as a user gets it: built by CPack from this build
# folder, unpacked into a scratch root, its files, Depends and programs
# checked, and lintian run on it.
# The -dev package is checked by building a C program with pkg-config
# against the unpacked packages, the Python package by importing it.
# Usage: deb_test.sh BUILD_DIR VIEWER(ON|OFF) [PYTHON(ON|OFF) SOURCE_DIR]
# Exit 77 (skipped) only where dpkg-deb is missing.
set -u
build=$(cd "$1" && pwd)
viewer=$2
python=${3:-OFF}
src=${4:-}
# A sanitizer's runtime must come first in a process: programs built here
# without it cannot load a sanitized library.
sanitized=$(grep -c '^TAVIN_\(SANITIZE\|TSAN\):BOOL=ON' "$build/CMakeCache.txt" 2> /dev/null)
if ! command -v dpkg-deb > /dev/null 2>&1; then
    echo "dpkg-deb is not installed: the Debian package is not checked"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The package is built into the scratch folder, so make deb's own package
# in the build folder is left alone.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb=$(ls "$work"/pkg/tavin_*_*.deb 2> /dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; ls "$work/pkg"; echo "FAIL: no tavin_VERSION_ARCH.deb written"; exit 1; }
dev=$(ls "$work"/pkg/tavin-dev_*_*.deb 2> /dev/null | head -n 1)
[ -n "$dev" ] || fail "no tavin-dev package"
pydeb=$(ls "$work"/pkg/python3-tavin_*_*.deb 2> /dev/null | head -n 1)
[ "$python" != ON ] || [ -n "$pydeb" ] || fail "no python3-tavin package"

# The packages unpacked into one root, as a machine that installs them all.
root="$work/root"
for package in "$deb" $dev $pydeb; do
    dpkg-deb -x "$package" "$root" || { echo "FAIL: dpkg-deb -x $package"; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Package)" = tavin ] || fail "package name"

expect_file() { [ -f "$root$1" ] || fail "missing $1"; }
expect_file /usr/bin/docx2html
expect_file /usr/share/man/man1/docx2html.1.gz
expect_file /usr/share/bash-completion/completions/docx2html
expect_file /usr/share/doc/tavin/copyright
expect_file /usr/share/doc/tavin/changelog.gz
expect_file /usr/lib/libtavin.so.1
expect_file /usr/include/tavin/tavin.h
expect_file /usr/lib/pkgconfig/tavin.pc
[ -L "$root/usr/lib/libtavin.so" ] || fail "no libtavin.so link"
dpkg-deb -c "$deb" | grep -q 'usr/include\|libtavin\.so$' && fail "development files in the main package"
[ "$(dpkg-deb -f "$dev" Depends)" = "tavin (= $(dpkg-deb -f "$deb" Version))" ] || fail "tavin-dev Depends: $(dpkg-deb -f "$dev" Depends)"
[ -x "$root/usr/bin/docx2html" ] || fail "docx2html is not executable"
if [ "$viewer" = ON ]; then
    expect_file /usr/bin/tavin
    expect_file /usr/share/man/man1/tavin.1.gz
    expect_file /usr/share/tavin/help.htm
    expect_file /usr/share/applications/tavin.desktop
    expect_file /usr/share/icons/hicolor/scalable/apps/tavin.svg
    expect_file /usr/share/metainfo/tavin.metainfo.xml
    expect_file /usr/share/bash-completion/completions/tavin
    expect_file /usr/share/thumbnailers/tavin.thumbnailer
    grep -qx 'Exec=tavin --thumbnail %s %o %i' "$root/usr/share/thumbnailers/tavin.thumbnailer" 2> /dev/null \
        || fail "thumbnailer entry does not run tavin --thumbnail"
    grep -qx 'Exec=/usr/bin/tavin %f' "$root/usr/share/applications/tavin.desktop" 2> /dev/null \
        || fail "desktop entry does not start /usr/bin/tavin"
fi
# Nothing outside /usr; no text file names the build folder (a sanitizer
# build's programs do, for their reports).
others=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$others" ] || fail "files outside /usr: $others"
grep -rlIF "$build" "$root" > "$work/leaks.txt" 2> /dev/null && fail "build paths in: $(cat "$work/leaks.txt")"

# Depends come from the libraries the programs link, and name the fonts
# that stand in for documents' own.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The picture converters' libraries (libwmf, libemf2svg, libtiff, libpng) too.
for lib in libc6 libpcre2-8-0 zlib1g libstdc++6 libwmf-0.2-7 libwmflite-0.2-7 libemf2svg1 libtiff6 libpng16-16 \
        fonts-crosextra-carlito fonts-urw-base35 fonts-dejavu-extra; do
    echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib"
done
if [ "$viewer" = ON ]; then
    for lib in libqt6core6 libqt6webenginewidgets6 qt6-qpa-plugins; do
        echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib"
    done
fi

# The packaged programs run, and convert as the built one does; they find
# the library in the system's folders, not by a search path of their own.
readelf -d "$root/usr/bin/docx2html" | grep -q 'RPATH\|RUNPATH' && fail "docx2html has a library search path"
export LD_LIBRARY_PATH="$root/usr/lib"
"$root/usr/bin/docx2html" "$build/sample.docx" > "$work/packaged.html" || fail "packaged docx2html failed"
"$build/docx2html" "$build/sample.docx" > "$work/built.html"
cmp -s "$work/packaged.html" "$work/built.html" || fail "packaged docx2html converts differently"
if [ "$viewer" = ON ]; then
    "$root/usr/bin/tavin" --version | grep -q '^tavin ' || fail "packaged tavin --version"
    # The thumbnailer entry's command, as a file manager runs it.
    [ "$sanitized" = 0 ] && exec_line=$(sed -n 's/^Exec=tavin //p' "$root/usr/share/thumbnailers/tavin.thumbnailer" \
        | sed -e "s|%s|128|" -e "s|%o|$work/thumb.png|" -e "s|%i|$build/sample.docx|")
    if [ "$sanitized" = 0 ]; then
        # shellcheck disable=SC2086
        TAVIN_CACHE_DIR="$work/cache" "$root/usr/bin/tavin" $exec_line 2> "$work/thumb.err" || fail "thumbnailer: $(cat "$work/thumb.err")"
        file "$work/thumb.png" | grep -q 'PNG image data, [0-9]* x 128,' || fail "thumbnail: $(file "$work/thumb.png")"
    fi
fi
# A C program built with pkg-config from the -dev package converts as docx2html.
if [ -n "$src" ] && [ "$sanitized" = 0 ] && command -v cc > /dev/null 2>&1; then
    flags=$(PKG_CONFIG_PATH="$root/usr/lib/pkgconfig" pkg-config --define-variable=prefix="$root/usr" --cflags --libs tavin) \
        || fail "pkg-config --cflags --libs tavin"
    # shellcheck disable=SC2086
    if cc -o "$work/convert" "$src/tests/library/convert.c" $flags 2> "$work/cc.txt"; then
        "$work/convert" "$build/sample.docx" > "$work/c.html" 2> /dev/null || fail "the C program failed"
        cmp -s "$work/c.html" "$work/built.html" || fail "the C program converts differently"
    else
        cat "$work/cc.txt"
        fail "the C program does not build against tavin-dev"
    fi
fi
# The Python package imports and converts as docx2html.
if [ -n "$pydeb" ]; then
    PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c '
import sys, tavin
sys.stdout.buffer.write(tavin.convert(sys.argv[1]).html_bytes)' "$build/sample.docx" > "$work/py.html" \
        || fail "the Python module does not import"
    cmp -s "$work/py.html" "$work/built.html" || fail "the Python module converts differently"
    dpkg-deb -f "$pydeb" Depends | grep -q "tavin (= " || fail "python3-tavin does not depend on tavin"
fi
zcat "$root/usr/share/man/man1/docx2html.1.gz" | grep -q '^\.SH NAME' || fail "docx2html(1) is not a manual page"

# AppStream data a software centre accepts. The id stays "tavin", like the
# desktop entry, which the validator would like as a reverse domain name.
if [ "$viewer" = ON ]; then
    if ! appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
            "$root/usr/share/metainfo/tavin.metainfo.xml" > "$work/appstream.txt" 2>&1; then
        cat "$work/appstream.txt"
        fail "appstreamcli validate"
    fi
fi

# No lintian error (warnings and notes are shown, not failed).
# shellcheck disable=SC2086
if lintian --fail-on error --tag-display-limit 0 "$deb" $dev $pydeb > "$work/lintian.txt" 2>&1; then
    grep -v '^running with root privileges' "$work/lintian.txt" || true
else
    cat "$work/lintian.txt"
    fail "lintian reports errors"
fi

[ "$failures" -eq 0 ] && echo "all package checks passed"
[ "$failures" -eq 0 ]
