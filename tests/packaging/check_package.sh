#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_package.sh STEP BUILD_DIR VERSION
#
# build:     cpack makes quorvane_VERSION_amd64.deb from the build (into BUILD_DIR/package-test)
# contents:  the package holds every file it must, and its dependencies were worked out
# lintian:   lintian finds no error (its warnings are printed)
# desktop:   the packaged menu entry validates; the file types name both patterns and are
#            taken by the desktop's MIME database
# installed: the programs unpacked into a scratch root run from there
set -euo pipefail

step=${1:?usage: check_package.sh STEP BUILD_DIR VERSION}
build=$(cd "${2:?}" && pwd)
version=${3:?}
out=$build/package-test
deb=$out/quorvane_${version}_$(dpkg --print-architecture).deb
top=$(cd "$(dirname "$0")/../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A fresh scratch folder of this step, with the package unpacked into root/.
unpack() {
    scratch=$out/$step
    rm -rf "$scratch"
    mkdir -p "$scratch/root"
    dpkg-deb -x "$deb" "$scratch/root"
}

case $step in
build)
    rm -rf "$out"
    mkdir -p "$out"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out"
    [ -f "$deb" ] || fail "cpack made no $deb: $(ls "$out")"
    ;;

contents)
    dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$out/contents.txt"
    missing=0
    for file in /usr/bin/quorvane /usr/bin/quorvane-cli \
        /usr/lib/udev/rules.d/70-quorvane.rules \
        /usr/share/applications/quorvane.desktop /usr/share/mime/packages/quorvane.xml \
        /usr/share/man/man1/quorvane.1.gz /usr/share/man/man1/quorvane-cli.1.gz \
        /usr/share/doc/quorvane/copyright /usr/share/doc/quorvane/changelog.gz \
        /usr/share/doc/quorvane/guide/index.html /usr/share/doc/quorvane/guide/images/main.png \
        /usr/share/doc-base/quorvane-guide \
        /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/quorvane.png; do
        grep -qx "$file" "$out/contents.txt" || { echo "missing: $file" >&2; missing=1; }
    done
    # The whole guide, as the program shows it.
    for page in "$top"/doc/guide/*.html "$top"/doc/guide/images/*.png; do
        file=/usr/share/doc/quorvane/guide/${page#"$top"/doc/guide/}
        grep -qx "$file" "$out/contents.txt" || { echo "missing: $file" >&2; missing=1; }
    done
    [ $missing = 0 ] || fail "files missing from the package"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for lib in libc6 libqt5widgets5 libqt5script5 libqwt-qt5 libmgl-qt5; do
        [[ $depends == *"$lib"* ]] ||
            fail "Depends lacks $lib, which the binaries link"
    done
    unpack
    grep -qx 'License: GPL-3.0-or-later' "$scratch/root/usr/share/doc/quorvane/copyright" ||
        fail "the copyright file does not give the licence"
    # The manual pages come from the programs' own help.
    man1=$scratch/root/usr/share/man/man1
    zcat "$man1/quorvane.1.gz" | grep -q '^\\fB\\-\\-simulate\\fR' || fail "quorvane(1) lacks --simulate"
    zcat "$man1/quorvane.1.gz" | grep -q 'FILE' || fail "quorvane(1) does not describe FILE"
    zcat "$man1/quorvane-cli.1.gz" | grep -q '^\\fBinfo\\fR' || fail "quorvane-cli(1) lacks info"
    zcat "$man1/quorvane-cli.1.gz" | grep -q '^\\fBdoctor\\fR' || fail "quorvane-cli(1) lacks doctor"
    zcat "$man1/quorvane-cli.1.gz" | grep -q 'a local file or folder could not be written' ||
        fail "quorvane-cli(1) lacks exit code 4"
    # ModemManager is told to leave the unit's bridge alone.
    grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' "$scratch/root/usr/lib/udev/rules.d/70-quorvane.rules" ||
        fail "the udev rule does not keep ModemManager away"
    # Every icon is a PNG of its folder's size.
    for png in "$scratch"/root/usr/share/icons/hicolor/*/apps/quorvane.png; do
        size=$(basename "$(dirname "$(dirname "$png")")")
        python3 - "$png" "${size%x*}" <<'EOF' || fail "$png is not a ${size} PNG"
import struct, sys
data = open(sys.argv[1], "rb").read(24)
width, height = struct.unpack(">II", data[16:24])
sys.exit(0 if data[:8] == b"\x89PNG\r\n\x1a\n" and width == height == int(sys.argv[2]) else 1)
EOF
    done
    ;;

lintian)
    # Warnings and notes are shown; only errors fail.
    lintian --fail-on error --display-level '>=info' --tag-display-limit 0 "$deb"
    ;;

desktop)
    unpack
    desktop-file-validate "$scratch/root/usr/share/applications/quorvane.desktop"
    mime=$scratch/root/usr/share/mime
    python3 - "$mime/packages/quorvane.xml" <<'EOF'
import sys
import xml.etree.ElementTree as tree
ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
root = tree.parse(sys.argv[1]).getroot()  # fails on XML that is not well formed
globs = {g.get("pattern"): t.get("type") for t in root.iter(ns + "mime-type")
         for g in t.iter(ns + "glob")}
print(globs)
assert globs.get("*.vkini") == "application/x-quorvane-settings", globs
assert globs.get("*.vklog") == "application/x-quorvane-log", globs
EOF
    # The desktop's own tool accepts the types and files by those names get them.
    update-mime-database "$mime"
    grep -q ':application/x-quorvane-settings:\*\.vkini$' "$mime/globs2" || fail "no .vkini glob"
    grep -q ':application/x-quorvane-log:\*\.vklog$' "$mime/globs2" || fail "no .vklog glob"
    # The menu entry opens exactly the types the package defines.
    grep -qx 'MimeType=application/x-quorvane-settings;application/x-quorvane-log;' \
        "$scratch/root/usr/share/applications/quorvane.desktop" ||
        fail "the menu entry does not name both file types"
    ;;

installed)
    unpack
    export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config
    mkdir -p "$HOME"
    info=$("$scratch/root/usr/bin/quorvane-cli" --simulate info) || fail "quorvane-cli info failed"
    echo "$info"
    grep -q 'RQ7-NVS' <<<"$info" || fail "quorvane-cli info did not report the simulated unit"
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$scratch/root/usr/bin/quorvane" --help) ||
        fail "quorvane --help needs more than a terminal"
    grep -q '\[FILE\]' <<<"$help" || fail "quorvane --help does not describe FILE"
    [ "$("$scratch/root/usr/bin/quorvane" --version)" = "Quorvane $version" ] ||
        fail "quorvane --version is not $version"
    ;;

*)
    fail "unknown step $step"
    ;;
esac
