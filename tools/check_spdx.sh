#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check_spdx.sh [--fix]: every source file of the program, its tests, benchmarks and tools names
# its licence in its first lines ("SPDX-License-Identifier: GPL-3.0-or-later"). Lists the files
# that do not and fails; with --fix, adds the line at the top (after a #! line).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
line="SPDX-License-Identifier: GPL-3.0-or-later"
missing=0
while IFS= read -r -d '' f; do
    head -n 3 "$f" | grep -q "$line" && continue
    rel=${f#"$top"/}
    if [ "${1:-}" != "--fix" ]; then
        echo "no licence line: $rel"
        missing=$((missing + 1))
        continue
    fi
    case "$f" in *.cpp | *.h) comment="// $line" ;; *) comment="# $line" ;; esac
    if head -n 1 "$f" | grep -q '^#!'; then
        { head -n 1 "$f"; echo "$comment"; tail -n +2 "$f"; } > "$f.spdx"
    else
        { echo "$comment"; cat "$f"; } > "$f.spdx"
    fi
    chmod --reference="$f" "$f.spdx"
    mv "$f.spdx" "$f"
done < <(find "$top/src" "$top/tests" "$top/bench" "$top/tools" "$top/cmake" "$top/packaging" \
    "$top/CMakeLists.txt" "$top/.ci" -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' -o -name '*.cmake' \
    -o -name CMakeLists.txt -o -path "$top/.ci/run" -o -path "$top/packaging/postinst" \) -not -path '*/corpus/*' -print0)
if [ "$missing" -gt 0 ]; then
    echo "$missing files lack the line; tools/check_spdx.sh --fix adds it"
    exit 1
fi
echo "Every source file names its licence."
