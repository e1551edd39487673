#!/bin/bash
# Instructions per rendered track-frame, counted by callgrind (deterministic,
# unlike timings on a shared machine). For each module, renders a short and a
# long stretch through the stream in requests of 4096 frames and divides the
# difference of the total instruction counts (which cancels module building,
# loading and set-up) by the extra frames times the module's track count.
#
# Usage: bench/callgrind.sh [BUILD_DIR] [MODULE...]
#   BUILD_DIR: a Release build with -DDBM_BUILD_BENCH=ON (default build-bench)
#   MODULE: dense4 dense16 dense64 dense64echo demo (default dense16 dense64 dense64echo)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-bench}"
shift || true
modules=("$@")
[ ${#modules[@]} -gt 0 ] || modules=(dense16 dense64 dense64echo)
render="$build/bench/dbmrender"
[ -x "$render" ] || { echo "no $render: build the bench targets first" >&2; exit 1; }

short=44100      # 1 s
long=$((6 * 44100)) # 6 s
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Total instructions of one run.
count() {
    valgrind --tool=callgrind --callgrind-out-file="$work/out" "$render" "$1" "$2" >/dev/null 2>"$work/log" \
        || { cat "$work/log" >&2; exit 1; }
    sed -n 's/^summary: *//p' "$work/out"
}

tracks_of() {
    case $1 in
    dense4) echo 4 ;; dense16) echo 16 ;; dense64 | dense64echo) echo 64 ;; demo) echo 10 ;;
    *) echo "unknown module $1" >&2; exit 1 ;;
    esac
}

printf '%-12s %8s %16s %16s %14s\n' module tracks "Ir(${short})" "Ir(${long})" Ir/track-frame
for module in "${modules[@]}"; do
    tracks=$(tracks_of "$module")
    a=$(count "$module" $short)
    b=$(count "$module" $long)
    per=$(echo "scale=2; ($b - $a) / (($long - $short) * $tracks)" | bc)
    printf '%-12s %8s %16s %16s %14s\n' "$module" "$tracks" "$a" "$b" "$per"
done
