#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every test: builds with the address and undefined-behaviour sanitizers into BUILD_DIR
# (default build-test next to this checkout) and runs every suite, then the thread-sanitizer
# suites (tools/tsan_check.sh, into build-tsan).
#
#     tools/run_tests.sh [BUILD_DIR]
#
# Most suites spend their time waiting on the simulated unit's timing, which leaves about half
# of the cores idle while they run. The thread-sanitizer build starts at the same time at the
# lowest priority and takes up that idle time; the suites are never held up by it.
set -u
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build-test}
jobs=$(nproc)
mkdir -p "$build_dir"
tsan_log=$build_dir/tsan-build.log

# A new build directory is made for Ninja, which schedules the whole build as one graph (make
# builds a library's dependants only once it is done) and checks it in a moment; one made
# before keeps its generator.
generator=""
[ -f "$build_dir/CMakeCache.txt" ] || generator="-G Ninja"

nice -n 19 "$source_dir/tools/tsan_check.sh" --build-only > "$tsan_log" 2>&1 &
tsan_build=$!
# One suite more than there are cores: the suites spend most of their time waiting.
cmake $generator -S "$source_dir" -B "$build_dir" -DQUORVANE_SANITIZE=ON &&
    cmake --build "$build_dir" -j"$jobs" &&
    ctest --test-dir "$build_dir" --output-on-failure -j"$((jobs + 1))"
suites=$?
wait "$tsan_build"
built=$?
if [ "$built" -ne 0 ]; then
    cat "$tsan_log"
    echo "The thread-sanitizer build failed (log above, also in $tsan_log)." >&2
fi
[ "$suites" -eq 0 ] && [ "$built" -eq 0 ] || exit 1
"$source_dir/tools/tsan_check.sh"
