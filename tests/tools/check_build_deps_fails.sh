#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The dependency check must name a package the build uses once the README stops installing it.
set -u
build=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
readme=$(mktemp)
trap 'rm -f "$readme"' EXIT
sed 's/ libqt5opengl5-dev//g' "$top/README.md" > "$readme"
if grep -q libqt5opengl5-dev "$readme"; then
    echo "could not take libqt5opengl5-dev out of the README's lists"; exit 1
fi
out=$("$top/tools/check_build_deps.sh" "$build" "$readme")
rc=$?
echo "$out"
[ "$rc" -eq 1 ] || { echo "expected exit code 1, got $rc"; exit 1; }
echo "$out" | grep -q '^  libqt5opengl5-dev ' || { echo "libqt5opengl5-dev not named"; exit 1; }
