#!/usr/bin/env bash
# Instructions per stereo frame of each benchmark configuration, counted by callgrind over the measured blocks only
# (warm-up excluded). Stable on a busy machine, unlike times. Needs a 64-bit build (scripts/build.sh 64) and valgrind.
# Usage: scripts/bench-callgrind.sh [build-dir] [blocks]      (defaults: build, 50 blocks of 512 frames)
set -euo pipefail
cd "$(dirname "$0")/.."

dir="${1:-build}"
blocks="${2:-50}"
tool="$dir/bench/tessaloom-bench-instructions"
[ -x "$tool" ] || { echo "bench-callgrind: $tool not built" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "bench-callgrind: valgrind not installed" >&2; exit 1; }

names=(bare steadyLowPass steadyDual lfoSixteenthUpLowPass lfoSixteenthUpDual allStagesSteady allStagesLfoBar
       denormalTail)
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
printf '%-24s %14s %10s\n' configuration instructions per-frame
for name in "${names[@]}"; do
  collect=measuredBlocks
  [ "$name" = bare ] && collect=measuredBareBlocks
  valgrind --tool=callgrind --callgrind-out-file="$out/$name.out" --collect-atstart=no \
    "--toggle-collect=*${collect}*" "$tool" "$name" "$blocks" >/dev/null 2>"$out/$name.log" ||
    { cat "$out/$name.log" >&2; exit 1; }
  total="$(awk '/^(summary|totals):/ { print $2; exit }' "$out/$name.out")"
  awk -v n="$name" -v t="$total" -v f="$((blocks * 512))" 'BEGIN { printf "%-24s %14d %10.1f\n", n, t, t / f }'
done
