#!/bin/sh
# The Debian package as a user gets it: built by CPack from this build
# folder, unpacked into a scratch root, its files, Depends and programs
# checked, and lintian run on it.
# Usage: deb_test.sh BUILD_DIR VIEWER(ON|OFF)
# Exit 77 (skipped) only where dpkg-deb is missing.
set -u
build=$(cd "$1" && pwd)
viewer=$2
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
deb=$(ls "$work"/pkg/*.deb 2> /dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; echo "FAIL: no .deb written"; exit 1; }
case $(basename "$deb") in
    tavin_*_*.deb) ;;
    *) fail "package file name $(basename "$deb")" ;;
esac

root="$work/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
[ "$(dpkg-deb -f "$deb" Package)" = tavin ] || fail "package name"

expect_file() { [ -f "$root$1" ] || fail "missing $1"; }
expect_file /usr/bin/docx2html
expect_file /usr/share/man/man1/docx2html.1.gz
expect_file /usr/share/bash-completion/completions/docx2html
expect_file /usr/share/doc/tavin/copyright
expect_file /usr/share/doc/tavin/changelog.gz
[ -x "$root/usr/bin/docx2html" ] || fail "docx2html is not executable"
if [ "$viewer" = ON ]; then
    expect_file /usr/bin/tavin
    expect_file /usr/share/man/man1/tavin.1.gz
    expect_file /usr/share/tavin/help.htm
    expect_file /usr/share/applications/tavin.desktop
    expect_file /usr/share/icons/hicolor/scalable/apps/tavin.svg
    expect_file /usr/share/metainfo/tavin.metainfo.xml
    expect_file /usr/share/bash-completion/completions/tavin
    grep -qx 'Exec=/usr/bin/tavin %f' "$root/usr/share/applications/tavin.desktop" 2> /dev/null \
        || fail "desktop entry does not start /usr/bin/tavin"
fi
# Nothing outside /usr; no text file names the build folder (a sanitizer
# build's programs do, for their reports).
others=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$others" ] || fail "files outside /usr: $others"
grep -rlIF "$build" "$root" > "$work/leaks.txt" 2> /dev/null && fail "build paths in: $(cat "$work/leaks.txt")"

# Depends come from the libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libpcre2-8-0 zlib1g libstdc++6; do
    echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib"
done
if [ "$viewer" = ON ]; then
    for lib in libqt6core6 libqt6webenginewidgets6 qt6-qpa-plugins; do
        echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib"
    done
fi

# The packaged programs run, and convert as the built one does.
"$root/usr/bin/docx2html" "$build/sample.docx" > "$work/packaged.html" || fail "packaged docx2html failed"
"$build/docx2html" "$build/sample.docx" > "$work/built.html"
cmp -s "$work/packaged.html" "$work/built.html" || fail "packaged docx2html converts differently"
if [ "$viewer" = ON ]; then
    "$root/usr/bin/tavin" --version | grep -q '^tavin ' || fail "packaged tavin --version"
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
if lintian --fail-on error --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1; then
    grep -v '^running with root privileges' "$work/lintian.txt" || true
else
    cat "$work/lintian.txt"
    fail "lintian reports errors"
fi

[ "$failures" -eq 0 ] && echo "all package checks passed"
[ "$failures" -eq 0 ]
