#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The worker, model, simulated-unit, bridge and protocol suites under the thread sanitizer:
# builds only them into BUILD_DIR (default build-tsan next to this checkout) and runs them.
# Any race reported in our code fails the run; tests/tsan.supp names only what Qt does
# inside its own libraries, which were not built with the sanitizer.
#
#     tools/tsan_check.sh [--build-only] [BUILD_DIR]
set -eu
build_only=false
if [ "${1:-}" = "--build-only" ]; then
    build_only=true
    shift
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build-tsan}
jobs=$(nproc)

generator=""
[ -f "$build_dir/CMakeCache.txt" ] || generator="-G Ninja"

cmake $generator -S "$source_dir" -B "$build_dir" -DQUORVANE_TSAN=ON -DQUORVANE_BUILD_BENCH=OFF
cmake --build "$build_dir" -j"$jobs" --target thread_tests
if $build_only; then
    exit 0
fi

# halt_on_error: the first report ends the suite, and with exitcode the test fails.
TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 history_size=4"
TSAN_OPTIONS="$TSAN_OPTIONS suppressions=$source_dir/tests/tsan.supp"
export TSAN_OPTIONS
ctest --test-dir "$build_dir" --output-on-failure -j"$((jobs + 1))" -L '^(device|model|sim|d2xx|protocol)$'
