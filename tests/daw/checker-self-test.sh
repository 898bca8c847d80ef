#!/usr/bin/env bash
# The Ardour checks' own tools must see the faults they are there for: changed samples, a delay, a wrong or missing
# envelope period, silence, an export of the wrong length, an unclosed instance and a short pre-roll.
# Usage: checker-self-test.sh DAW_AUDIO_CHECK OUTDIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check=$1 sig=$2
rm -rf "$sig" && mkdir -p "$sig" || exit 1
sox -R -n -r 48000 -c 2 -e floating-point -b 32 "$sig/a.wav" synth 2 sine 440 pinknoise gain -12 &&
  sox "$sig/a.wav" "$sig/b.wav" vol 1.000001 &&
  sox "$sig/a.wav" "$sig/late.wav" pad 16s 0 trim 0 96000s &&
  sox -R -n -r 48000 -c 2 -e floating-point -b 32 "$sig/trem.wav" synth 8 whitenoise gain -12 tremolo 2.5 60 &&
  sox -n -r 48000 -c 2 -e floating-point -b 32 "$sig/silence.wav" trim 0 8 || exit 1
{
  echo "1 open 0x1"; echo "1 dispatch 0x1 10 0 0 48000"; echo "1 dispatch 0x1 11 0 1024 0"
  echo "1 dispatch 0x1 12 0 1 0"
  for _ in 1 2 3 4 5 6 7 8 9 10; do echo "1 process 0x1 1024 silent -1"; done
  echo "1 process 0x1 256 audio 0"
} > "$sig/calls.log"
# expect STATUS COMMAND...: the command's exit status must be STATUS.
expect() {
  local want=$1
  shift
  "$@" > "$sig/last.out" 2>&1
  local got=$?
  [ "$got" = "$want" ] || { echo "FAIL: '$*' exited $got, not $want:"; cat "$sig/last.out"; exit 1; }
}
expect 0 "$check" compare "$sig/a.wav" "$sig/a.wav"
expect 1 "$check" compare "$sig/a.wav" "$sig/b.wav"
expect 1 "$check" compare --subnormals-as-zero "$sig/a.wav" "$sig/b.wav"
expect 3 "$check" compare --subnormals-as-zero "$sig/a.wav" "$sig/late.wav"
expect 0 "$check" period "$sig/trem.wav" 0.4
expect 1 "$check" period "$sig/trem.wav" 0.5
expect 1 "$check" period "$sig/silence.wav" 0.4
expect 0 "$check" export "$sig/a.wav" "$sig/b.wav"
expect 1 "$check" export "$sig/a.wav" "$sig/silence.wav"
expect 1 awk -f "$here/check-call-log.awk" "$sig/calls.log"
grep -q "never closed" "$sig/last.out" && grep -q "fewer than the 62" "$sig/last.out" ||
  { echo "FAIL: the call-log check did not name the unclosed instance and the short pre-roll"; exit 1; }
echo "the checkers find every planted fault"
