#!/usr/bin/env bash
# Times the single-threaded bicubic resize 4000x3000 -> 1024x768 of A8R8G8B8 against
# ImageMagick's Catrom resize of the same photo-like picture, in one run on one machine.
# ImageMagick's figure is its resize command minus a plain read-and-write of the same file,
# each the median of RUNS runs (interleaved, so that load from other processes hits both).
#
# Usage: bench/compare_resize_imagemagick.sh [BUILD_DIR]   (default build/release)
# Environment: RUNS (default 7), RESAMPLE_BENCH (path of the benchmark program).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
runs=${RUNS:-7}
bench=${RESAMPLE_BENCH:-$build/bench/resample_bench}

for tool in convert awk; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
if [[ ! -x $bench ]]; then
  cmake --build "$build" --target resample_bench >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1

echo "Making a 4000x3000 test picture..." >&2
convert -seed 1 -size 4000x3000 plasma:fractal -blur 0x1 "$work/big.ppm"

# "wall cpu" seconds of one command; cpu is user + system time, which other processes on
# a shared machine disturb far less than the wall clock.
seconds_of() {
  local TIMEFORMAT="%R %U %S" t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v t="$t" 'BEGIN { split(t, f, " "); printf "%.6f %.6f\n", f[1], f[2] + f[3] }'
}

# Median of column $1 of the lines on stdin.
median() {
  awk -v c="$1" '{ print $c }' | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

: >"$work/copy.txt"
: >"$work/resize.txt"
echo "Timing ImageMagick ($runs runs)..." >&2
for ((i = 0; i < runs; i++)); do
  seconds_of convert "$work/big.ppm" "$work/copy.ppm" >>"$work/copy.txt"
  seconds_of convert "$work/big.ppm" -filter Catrom -resize 1024x768 "$work/out.ppm" \
    >>"$work/resize.txt"
done

echo "Timing Pixolan ($runs repetitions)..." >&2
PIXOLAN_BENCH_PPM="$work/big.ppm" "$bench" \
  --benchmark_filter='^BM_ImageResize/bicubic$' --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '$1 ~ /_median"?$/ { printf "%.6f %.6f\n", $3 / 1000, $4 / 1000 }' >"$work/ours.txt"
if [[ ! -s $work/ours.txt ]]; then
  echo "The benchmark gave no median (times must be in milliseconds)" >&2
  exit 1
fi

report() {
  local column=$1 label=$2 copy resize ours
  copy=$(median "$column" <"$work/copy.txt")
  resize=$(median "$column" <"$work/resize.txt")
  ours=$(median "$column" <"$work/ours.txt")
  awk -v label="$label" -v copy="$copy" -v resize="$resize" -v ours="$ours" 'BEGIN {
    magick = resize - copy
    printf "%s time, median of the runs:\n", label
    printf "  ImageMagick read + write:                   %.3f s\n", copy
    printf "  ImageMagick read + Catrom resize + write:   %.3f s\n", resize
    printf "  ImageMagick resize alone:                   %.3f s\n", magick
    printf "  Pixolan ImageResize bicubic, one thread:    %.3f s\n", ours
    printf "  ratio ImageMagick / Pixolan:                %.1fx\n", magick / ours
  }'
}
report 2 "CPU"
report 1 "Wall-clock"
