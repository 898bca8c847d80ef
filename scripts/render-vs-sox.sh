#!/usr/bin/env bash
# Whole-process time of tessaloom-render against sox on the same job: a 60 s 44.1 kHz stereo float WAV through a
# steady low-pass at 1000 Hz, in alternating runs. Usage: scripts/render-vs-sox.sh [RUNS] [FOLDER]
#   RUNS (default 20) runs of each; FOLDER (default a fresh one under /dev/shm, so that the disk does not count).
# Prints the median wall-clock time and the median CPU time (user + system) of each, and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20}"
folder="${2:-$(mktemp -d /dev/shm/render-vs-sox.XXXXXX)}"
render="${RENDER:-$PWD/build/tools/tessaloom-render}"
[ -x "$render" ] || { echo "build first: cmake --preset default && cmake --build --preset default" >&2; exit 1; }
cd "$folder"
[ -f in.wav ] || sox -n -r 44100 -c 2 -e floating-point -b 32 in.wav synth 60 pinknoise vol 0.5
: > times.txt
for _ in $(seq "$runs"); do
  TIMEFORMAT="render %R %U %S"
  { time "$render" in.wav render.wav --set "Filter Freq=1000Hz" -q 2>/dev/null; } 2>> times.txt
  TIMEFORMAT="sox %R %U %S"
  { time sox in.wav sox.wav lowpass 1000 2>/dev/null; } 2>> times.txt
done
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
for tool in render sox; do
  wall=$(awk -v t="$tool" '$1 == t {print $2}' times.txt | median)
  cpu=$(awk -v t="$tool" '$1 == t {print $3 + $4}' times.txt | median)
  echo "$tool wall $wall s cpu $cpu s"
done | tee summary.txt
awk '{w[$1]=$3; c[$1]=$6} END {printf "render/sox: wall %.2f, cpu %.2f\n", w["render"]/w["sox"], c["render"]/c["sox"]}' summary.txt
echo "files in $folder"
