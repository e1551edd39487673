#!/bin/bash
# Instructions per track-frame of the two x86-64 builds side by side: the
# plain one (no SSE2 paths, no vectoriser: the code a scalar CPU such as the
# target's PowerPC runs) and the default, vectorised one. Configures and
# builds dbmrender in Release in build-bench-plain and build-bench-vector
# (kept for the next run), then counts with callgrind.sh.
#
# Usage: bench/compare.sh [MODULE...]   (default dense16 dense64 dense64echo)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
modules=("$@")
[ ${#modules[@]} -gt 0 ] || modules=(dense16 dense64 dense64echo)
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

build() { # DIR CXX_FLAGS
    cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=Release -DDBM_BUILD_BENCH=ON -DDBM_BUILD_TESTS=OFF \
        -DDBM_BUILD_TOOLS=OFF "-DCMAKE_CXX_FLAGS=$2" "${launcher[@]}" >/dev/null
    cmake --build "$1" -j2 --target dbmrender >/dev/null
}

# The last column of callgrind.sh's table, one figure per module.
figures() {
    "$root/bench/callgrind.sh" "$1" "${modules[@]}" | awk 'NR > 1 { print $NF }'
}

build "$root/build-bench-plain" "-U__SSE2__ -fno-tree-vectorize"
build "$root/build-bench-vector" ""
mapfile -t plain < <(figures "$root/build-bench-plain")
mapfile -t vector < <(figures "$root/build-bench-vector")
printf '%-12s %10s %10s\n' module plain vectorised
for i in "${!modules[@]}"; do
    printf '%-12s %10s %10s\n' "${modules[$i]}" "${plain[$i]}" "${vector[$i]}"
done
echo "(instructions per track-frame, callgrind, requests of 4096 frames)"
