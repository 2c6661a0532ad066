#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_build_deps.sh BUILD_DIR [README]
#
# Fails when a build used a file that comes from a Debian package which the README's two
# set-up commands neither install nor pull in through their dependencies. What the build
# used is read from the build itself: the headers in the compiler's dependency files, the
# libraries on the link lines, the pkg-config modules it asked for (with everything they
# require), the CMake package files it loaded and the tools it ran.
set -uo pipefail

build=$(cd "${1:?usage: check_build_deps.sh BUILD_DIR [README]}" && pwd) || exit 2
top=$(cd "$(dirname "$0")/.." && pwd)
readme=${2:-$top/README.md}
cache=$build/CMakeCache.txt
[ -f "$cache" ] || { echo "no CMakeCache.txt in $build: configure and build first" >&2; exit 2; }

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$cache" | head -n 1; }

# --- What the build used -----------------------------------------------------------------
{
    # Headers: every dependency file the compiler wrote, outside our own trees. A file that
    # uses the precompiled header lists only what it includes beyond it; the header's own
    # dependency file (.gch.d) lists the rest.
    # Ninja keeps them in its own log once read, make's builds beside the objects.
    {
        find "$build" \( -name '*.o.d' -o -name '*.gch.d' \) -print0 | xargs -0 -r cat
        [ -f "$build/build.ninja" ] && ninja -C "$build" -t deps
    } | tr ' \\' '\n\n' | grep '^/'

    # Libraries: absolute paths on the link lines, and -lname resolved as the linker would.
    {
        find "$build" -name link.txt -print0 | xargs -0 -r cat
        [ -f "$build/build.ninja" ] &&
            sed -n 's/^ *LINK_\(LIBRARIES\|FLAGS\) = //p' "$build/build.ninja"
    } | tr ' ' '\n' > "$work/link"
    grep -E '^/.*\.(so|a)(\.[0-9]+)*$' "$work/link"
    cxx=$(cache_value CMAKE_CXX_COMPILER)
    for lib in $(sed -n 's/^-l//p' "$work/link" | sort -u); do
        for kind in so a; do
            found=$("$cxx" -print-file-name="lib$lib.$kind")
            [ "${found#/}" != "$found" ] && { echo "$found"; break; }
        done
    done

    # pkg-config modules, with everything they require.
    modules=$(sed -n 's/^[A-Za-z0-9_]*_MODULE_NAME:INTERNAL=//p' "$cache")
    seen=""
    while [ -n "$modules" ]; do
        next=""
        for m in $modules; do
            case " $seen " in *" $m "*) continue ;; esac
            seen="$seen $m"
            dir=$(pkg-config --variable=pcfiledir "$m" 2>/dev/null) && echo "$dir/$m.pc"
            next="$next $(pkg-config --print-requires --print-requires-private "$m" 2>/dev/null |
                awk '{print $1}')"
        done
        modules=$(echo $next)
    done

    # CMake package files and the tools the build ran.
    sed -n 's/^[A-Za-z0-9_]*_DIR:PATH=//p' "$cache" | while read -r dir; do
        ls "$dir"/*Config.cmake 2>/dev/null
    done
    for var in CMAKE_CXX_COMPILER CMAKE_MAKE_PROGRAM PKG_CONFIG_EXECUTABLE CMAKE_COMMAND \
        CMAKE_AR CMAKE_LINKER; do
        cache_value "$var"
    done
    find "$build" -name AutogenInfo.json -print0 | xargs -0 -r cat |
        sed -n 's/.*"\(MOC\|UIC\|RCC\)_EXECUTABLE" *: *"\([^"]*\)".*/\2/p'
} 2>/dev/null | grep '^/' | grep -v -e "^$top/" -e "^$build/" | sort -u > "$work/used"

# Each file under every name dpkg may know it by: as used, resolved, and across the
# /usr merge (a file in /usr/lib may be registered as /lib and the other way round).
while read -r f; do
    for p in "$f" "$(realpath -m "$f")"; do
        echo "$f	$p"
        case "$p" in
            /usr/lib/* | /usr/bin/* | /usr/sbin/*) echo "$f	${p#/usr}" ;;
            /lib/* | /lib64/* | /bin/* | /sbin/*) echo "$f	/usr$p" ;;
        esac
    done
done < "$work/used" | sort -u > "$work/names"

# One dpkg call for every name: "pkg[:arch][, pkg...]: /path".
cut -f2 "$work/names" | sort -u | xargs -r dpkg -S 2>/dev/null |
    grep -v '^diversion ' > "$work/owners"

# --- What the README installs ------------------------------------------------------------
readme_packages() {
    awk '/<!-- (run|test)-command -->/{found=1; next} found && /^```sh/{getline; print; found=0}' \
        "$readme" | grep -o 'apt-get install[^&]*' | tr ' ' '\n' |
        grep -v -e '^apt-get$' -e '^install$' -e '^-' -e '^$' | sort -u
}
readme_packages > "$work/named"
[ -s "$work/named" ] || { echo "no apt-get install list found in $readme" >&2; exit 2; }
{
    cat "$work/named"
    xargs -r apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances < "$work/named" 2>/dev/null |
        sed -n 's/^ *|\?\(Pre\)\?Depends: \(.*\)$/\2/p'
    # What every Debian system has before anything is installed.
    dpkg-query -W -f '${Package} ${Essential} ${Priority}\n' |
        awk '$2 == "yes" || $3 == "required" {print $1}'
} | tr -d '<>' | sed 's/:.*//' | sort -u > "$work/installed"

# --- Compare -----------------------------------------------------------------------------
awk -F'\t' -v owners="$work/owners" -v installed="$work/installed" '
    BEGIN {
        while ((getline line < installed) > 0) ok[line] = 1
        while ((getline line < owners) > 0) {
            split(line, parts, ": ")
            path = substr(line, length(parts[1]) + 3)
            n = split(parts[1], pkgs, ", ")
            for (i = 1; i <= n; i++) { sub(/:.*/, "", pkgs[i]); owner[path] = owner[path] " " pkgs[i] }
        }
    }
    { used[$1] = 1; if ($2 in owner) by[$1] = by[$1] owner[$2] }
    END {
        # A file no package owns was put there by hand: a fresh machine will not have it.
        for (f in used) if (!(f in by)) print "(no Debian package)\t" f
        for (f in by) {
            n = split(by[f], pkgs, " "); good = 0
            for (i = 1; i <= n; i++) if (pkgs[i] in ok) good = 1
            if (!good) for (i = 1; i <= n; i++) if (!(pkgs[i] in example)) example[pkgs[i]] = f
        }
        for (p in example) print p "\t" example[p]
    }' "$work/names" | sort > "$work/missing"

count=$(wc -l < "$work/used")
if [ -s "$work/missing" ]; then
    echo "The build uses files that the README's set-up commands do not install:"
    while IFS=$'\t' read -r pkg file; do echo "  $pkg (for example $file)"; done < "$work/missing"
    echo "Add the packages to the apt-get install list of both commands in $readme;"
    echo "a file from no package must come from one, or the build must not use it."
    exit 1
fi
echo "All $count files the build used come from packages the README installs."
