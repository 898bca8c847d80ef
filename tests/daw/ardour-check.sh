#!/usr/bin/env bash
# One Ardour check. Ardour renders its test signal through the plug-in (ardour-render.sh, in a process session of its
# own) and its export must equal tessaloom-render's render of the same input given RENDER_OPTIONS, with subnormals
# and zeros of either sign counted as +0 (Ardour processes with flush-to-zero on and sums into the master bus).
# Ardour's exporter sometimes aborts with a corrupted heap (also with no plug-in on the track) or comes out delayed
# by a few frames: such a run is repeated, up to 4 attempts, saying so. A process the run leaves behind fails it.
#
# Usage: ardour-check.sh OUTDIR vst|lv2 PLUGIN [VARIABLE=VALUE...] -- [RENDER_OPTION...]
#   CHECK_PERIOD=SECONDS  the export's envelope must also repeat with that period;
#   CHECK_LOG=FILE        every line of FILE must also appear in Ardour's log (the scanner's cache, the insert);
#   CHECK_CALLS=1         PLUGIN is the call-logging shim: its call log is checked instead of the render.
# Environment: TESSALOOM_RENDER, TESSALOOM_VST (the plug-in the render tool loads), DAW_AUDIO_CHECK.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1 kind=$2 plugin=$3
shift 3
variables=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do variables+=("$1"); shift; done
shift
check=$DAW_AUDIO_CHECK
if [ "$(uname -m)" != x86_64 ] || ! command -v ardour7-lua > /dev/null; then
  echo "skipped: Debian's Ardour 7 is not installed here (scripts/setup.sh daw), or this is not x86-64"
  exit 77
fi
calls="$out/calls.log"

for attempt in 1 2 3 4; do
  rm -rf "$out"
  mkdir -p "$out"
  [ "${CHECK_CALLS:-0}" = 1 ] && variables+=(TESSALOOM_SHIM_PLUGIN="$TESSALOOM_VST" TESSALOOM_CALL_LOG="$calls")
  # shellcheck disable=SC2016 # $$ is the new session's first process
  env "${variables[@]}" setsid --wait bash -c 'echo $$ > "$1"; shift; exec "$@"' session "$out.sid" \
    bash "$here/ardour-render.sh" "$kind" "$plugin" "$out/ardour" > "$out/run.log" 2>&1 < /dev/null
  rc=$?
  for _ in $(seq 50); do # let the last of them end: up to 10 s
    left=$(ps -eo pid=,sid=,stat= | awk -v s="$(cat "$out.sid")" '$2 == s && $3 !~ /^Z/ { print $1 }')
    [ -z "$left" ] && break
    sleep 0.2
  done
  if [ -n "$left" ]; then
    ps -o pid=,args= -p "$(tr '\n' ',' <<< "$left" | sed 's/,$//')"
    kill $left 2> /dev/null
    echo "FAIL: Ardour's run left processes behind (ended now)"
    exit 1
  fi
  if [ $rc -ne 0 ] && grep -q -E "^FAIL: ardour7-export exit status (134|139)" "$out/run.log"; then
    echo "attempt $attempt: Ardour's exporter crashed; again"
    continue
  fi
  if [ $rc -ne 0 ]; then
    tail -n 15 "$out/run.log"
    echo "FAIL: the Ardour run failed (exit status $rc; log $out/run.log)"
    exit 1
  fi
  "$check" export "$out/ardour/in.wav" "$out/ardour/out.wav" || exit 1
  if [ "${CHECK_CALLS:-0}" = 1 ]; then
    awk -f "$here/check-call-log.awk" "$calls"
    exit
  fi
  "$TESSALOOM_RENDER" --plugin "$TESSALOOM_VST" -q --no-settle --format float --block-size 1024 --first-block 256 \
    --preroll 2.128 "$@" "$out/ardour/in.wav" "$out/render.wav" || exit 1
  "$check" compare --subnormals-as-zero "$out/render.wav" "$out/ardour/out.wav"
  rc=$?
  if [ $rc -eq 3 ]; then
    echo "attempt $attempt: Ardour's export came out shifted; again"
    continue
  fi
  [ $rc -eq 0 ] || exit 1
  if [ -n "${CHECK_PERIOD:-}" ]; then
    "$check" period "$out/ardour/out.wav" "$CHECK_PERIOD" || exit 1
  fi
  if [ -n "${CHECK_LOG:-}" ]; then
    while IFS= read -r line; do
      grep -qF -- "$line" "$out/ardour/ardour.log" || { echo "FAIL: Ardour's log lacks: $line"; exit 1; }
    done < "$CHECK_LOG"
    echo "Ardour's log has every expected line of $(basename "$CHECK_LOG")"
  fi
  exit 0
done
echo "FAIL: no usable Ardour export in 4 attempts (logs in $out)"
exit 1
