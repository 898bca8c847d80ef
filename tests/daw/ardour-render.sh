#!/usr/bin/env bash
# ardour-render.sh vst PLUGIN.so OUTDIR | lv2 URI OUTDIR
#
# Renders audio through a plug-in in Ardour 7 (Debian's "ardour"), headless: no audio hardware, no display, no JACK.
#   1. vst: Ardour's own VST scanner reads the plug-in (a private copy, in a folder of its own) and writes its cache;
#      lv2: Ardour finds the bundle on LV2_PATH when its engine starts (set LV2_PATH; add :/usr/lib/lv2 to keep the
#      system's plug-ins);
#   2. OUTDIR/in.wav: the test signal (DAW_INPUT, or 3.5 s of a sine sweep left and pink noise right, then 0.5 s of
#      silence), stereo 32-bit float at the session rate;
#   3. ardour7-lua builds a session on the "None (Dummy)" backend: a stereo track playing in.wav into the master bus,
#      the plug-in inserted pre-fader, the parameters of DAW_PARAMS set (index=value, as Ardour takes them: normalised
#      for VST, plain units for LV2);
#   4. ardour7-export renders the session range from the master bus, freewheeling, into OUTDIR/out.wav (32-bit float).
# Everything printed also goes to OUTDIR/ardour.log. Ardour's configuration and caches live in a private folder.
#
# Settings (environment): DAW_INPUT=FILE, DAW_RATE (48000), DAW_TEMPO (120), DAW_TIMESIG (4/4), DAW_PARAMS
# ("2=0.3,3=0.5"), DAW_TIMEOUT (seconds per Ardour process, 180). Other variables pass through to the plug-in.
# Exit status: 0 rendered; 1 usage; 2 a tool is missing; 3 scan; 4 session or insert; 5 export.
set -u -o pipefail

usage() { echo "usage: $0 vst PLUGIN.so OUTDIR | lv2 URI OUTDIR" >&2; exit 1; }
[ $# -eq 3 ] || usage
kind=$1
case "$kind" in
  vst) [ -f "$2" ] || { echo "ardour-render: no such plug-in file: $2" >&2; exit 1; } ;;
  lv2) ;;
  *) usage ;;
esac
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lua="$here/ardour-session.lua"
out=$(realpath -m "$3")
ardour_lib=/usr/lib/ardour7
scanner=$ardour_lib/ardour-vst-scanner
luasession=/usr/bin/ardour7-lua
exporter=/usr/bin/ardour7-export

export DAW_RATE=${DAW_RATE:-48000} DAW_TEMPO=${DAW_TEMPO:-120} DAW_TIMESIG=${DAW_TIMESIG:-4/4}
export DAW_BLOCK=1024 # ardour7-export runs its engine in cycles of 1024 frames whatever it is asked
timeout_s=${DAW_TIMEOUT:-180}

for tool in "$scanner" "$luasession" "$exporter" "$lua" "$(command -v sox || echo sox)" \
  "$(command -v soxi || echo soxi)"; do
  [ -e "$tool" ] || { echo "ardour-render: missing $tool (Debian packages ardour and sox)" >&2; exit 2; }
done

mkdir -p "$out" || exit 1
exec > >(tee "$out/ardour.log") 2>&1
started=$(date +%s.%N)
step() { echo "=== [$(awk -v a="$(date +%s.%N)" -v b="$started" 'BEGIN { printf "%.2f", a - b }') s] $*"; }

private=$(mktemp -d "${TMPDIR:-/tmp}/ardour-render.XXXXXX")
trap 'rm -rf "$private"' EXIT
export XDG_CONFIG_HOME="$private/config" XDG_CACHE_HOME="$private/cache"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$private/vst"
unset DISPLAY WAYLAND_DISPLAY
# Lines Ardour prints on every run that say nothing about this render.
chatter="MP3 \((medium|extreme|standard)\).format': encoder is not available|in new MIDI buffer of size|"
chatter+="^Butler drops pool trash|direct dispatch of call slot|Exporting Audio"

echo "ardour-render: $kind plug-in $2; Ardour $(dpkg-query -W -f='${Version}' ardour 2>/dev/null || echo '?');" \
  "$DAW_RATE Hz, tempo $DAW_TEMPO, meter $DAW_TIMESIG"

if [ "$kind" = vst ]; then
  step "scan"
  plugin="$private/vst/$(basename "$2" .so).so"
  cp "$2" "$plugin"
  # Ardour trusts a cache file only when it is newer than the plug-in, in whole seconds: date the copy back.
  touch -d "@$(($(date +%s) - 10))" "$plugin"
  export LXVST_PATH="$private/vst"
  LD_LIBRARY_PATH=$ardour_lib timeout "$timeout_s" "$scanner" -f -v "$plugin"
  rc=$?
  # The scanner exits 0 even when the plug-in does not load; the cache file, named after the SHA-1 of the plug-in's
  # path, is what tells.
  cache="$XDG_CACHE_HOME/ardour7/vst/$(printf '%s' "$plugin" | sha1sum | cut -d' ' -f1)-x64.v2i"
  if [ $rc -ne 0 ] || [ ! -s "$cache" ]; then
    echo "FAIL: scanner exit status $rc, no cache file $cache"
    exit 3
  fi
  echo "scanner cache:"
  cat "$cache"
  echo
  attribute() { sed -n "s/.*<VST2Info [^>]* $1=\"\([^\"]*\)\".*/\1/p" "$cache" | head -n 1; }
  export DAW_PLUGIN_ID
  DAW_PLUGIN_ID=$(sed -n 's/.*<VST2Info id="\(-\{0,1\}[0-9]*\)".*/\1/p' "$cache" | head -n 1)
  [ -n "$DAW_PLUGIN_ID" ] || { echo "FAIL: the cache file holds no plug-in"; exit 3; }
  if [ "$(attribute n_inputs)" != 2 ] || [ "$(attribute n_outputs)" != 2 ]; then
    echo "FAIL: the scanner saw $(attribute n_inputs) inputs and $(attribute n_outputs) outputs, not 2 and 2"
    exit 3
  fi
else
  export DAW_PLUGIN_ID=$2
  echo "LV2_PATH=${LV2_PATH:-}"
fi
export DAW_PLUGIN_KIND=$kind

step "test signal"
if [ -n "${DAW_INPUT:-}" ]; then
  sox "$DAW_INPUT" -r "$DAW_RATE" -c 2 -e floating-point -b 32 "$out/in.wav" || exit 4
else
  sox -R -n -r "$DAW_RATE" -c 2 -e floating-point -b 32 "$out/in.wav" synth 3.5 sine 20:20000 pinknoise \
    gain -12 pad 0 0.5 || exit 4
fi
export DAW_FRAMES
DAW_FRAMES=$(soxi -s "$out/in.wav") || exit 4
echo "in.wav: $DAW_FRAMES frames"

export DAW_SESSION_DIR="$out/session" DAW_SESSION_NAME=render
rm -rf "$DAW_SESSION_DIR"
# stage NAME: one ardour7-lua process; its last line must say the stage went well.
stage() {
  DAW_STAGE=$1 timeout -k 5 "$timeout_s" "$luasession" "$lua" > "$private/$1.out" 2>&1
  local rc=$?
  grep -v -E "$chatter" "$private/$1.out"
  if [ $rc -ne 0 ] || ! grep -q "^DAW-$2-OK\$" "$private/$1.out"; then
    echo "FAIL: session stage $1: exit status $rc$([ $rc -eq 124 ] && echo ' (timed out)')"
    return 1
  fi
}

step "session"
stage create CREATE || exit 4
# Ardour plays mono files from the session's audio folder.
audio=$(find "$DAW_SESSION_DIR/interchange" -mindepth 2 -maxdepth 2 -type d -name audiofiles | head -n 1)
[ -d "$audio" ] || { echo "FAIL: the session has no audio folder"; exit 4; }
sox "$out/in.wav" "$audio/render-in-L.wav" remix 1 && sox "$out/in.wav" "$audio/render-in-R.wav" remix 2 || exit 4

step "insert"
stage insert INSERT || exit 4

step "export"
rm -f "$out/out.wav"
timeout -k 5 "$timeout_s" "$exporter" -b float -o "$out/out.wav" "$DAW_SESSION_DIR" "$DAW_SESSION_NAME" \
  > "$private/export.out" 2>&1
rc=$?
grep -v -E "$chatter" "$private/export.out"
if [ $rc -ne 0 ] || [ ! -s "$out/out.wav" ]; then
  echo "FAIL: ardour7-export exit status $rc$([ $rc -eq 124 ] && echo ' (timed out)'), out.wav" \
    "$([ -s "$out/out.wav" ] && echo present || echo missing)"
  exit 5
fi
step "rendered $out/out.wav"
exit 0
