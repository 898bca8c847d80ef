#!/usr/bin/env bash
# Tessaloom in a real DAW. Ardour 7 (Debian) scans, loads and renders the plug-in headless (no audio hardware, no
# display) through the project's own driver, tests/daw/ardour-render.sh, and its exports are compared with
# tessaloom-render's renders of the same input, sample for sample.
#
# Usage: scripts/test-daw.sh [BUILD_DIR]      (default build/, built with scripts/build.sh 64 when something is missing)
# Installs what is missing from scripts/packages-daw/*.list (Ardour, sox; as root or with sudo). Writes everything
# into BUILD_DIR/daw-check/ and ends with one line "test-daw: N passed, N failed"; exit status 0 when all passed.
#
# What Ardour does that the checks allow for (details in the README, "Using Tessaloom in a DAW"):
#  - its export runs about 100 blocks of silence (stopped transport) before the range, then a 256-frame block at
#    position 0 (once 272, after a 752-frame pre-roll block) and 1024-frame blocks; the plug-in instance is new and
#    its input silent until then, so the filter history is exactly zero and every glide has landed when the range
#    starts. tessaloom-render gets the usual pattern with --preroll 2.128 (99 blocks of 1024 and one of 768)
#    --first-block 256 --block-size 1024;
#  - it processes with the processor's flush-to-zero and denormals-are-zero modes on (its default) and sums tracks
#    into the master bus, so where tessaloom-render writes a subnormal or -0 (the decaying tail after the input),
#    Ardour writes +0: the comparison counts those as equal and says how many there were; every other sample must
#    match bit for bit;
#  - its exporter sometimes aborts with a corrupted heap (also with no plug-in on the track), and once its export came
#    out delayed by 16 frames. Such a run is repeated, up to 4 attempts, and the log says so.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
started=$(date +%s)

build=$(realpath -m "${1:-build}")
out="$build/daw-check"
host_check="$root/tests/daw/ardour-render.sh"
attempts=4
passed=0
failed=0

pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
note() { echo "     $*"; }
finish() {
  echo "test-daw: took $(( $(date +%s) - started )) s; logs and audio in $out/"
  echo "test-daw: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# ---------------------------------------------------------------------------------------------------------------------
echo "== set-up"
if [ "$(uname -m)" != x86_64 ]; then
  fail "set-up: Debian's Ardour loads x86-64 Linux plug-ins; this machine is $(uname -m)"; finish
fi
bash scripts/setup.sh scripts/packages-daw || { fail "set-up: could not install the DAW packages"; finish; }
echo "Ardour $(dpkg-query -W -f='${Version}' ardour), sox $(dpkg-query -W -f='${Version}' sox)"

if [ ! -f "$build/Tessaloom.so" ] || [ ! -x "$build/tools/tessaloom-render" ]; then
  if [ "$build" = "$root/build" ]; then
    bash scripts/build.sh 64 || { fail "set-up: the 64-bit build failed"; finish; }
  fi
  [ -x "$build/tools/tessaloom-render" ] || { fail "set-up: $build/tools/tessaloom-render is missing"; finish; }
fi
render="$build/tools/tessaloom-render"

rm -rf "$out"
mkdir -p "$out/bin" "$out/shim" "$out/runs"
flags=(-std=c++17 -O2 -Wall -Wextra -Wshadow -Werror -ffp-contract=off -fno-fast-math -I"$root")
if ! g++ "${flags[@]}" -o "$out/bin/daw-audio-check" tests/daw/daw-audio-check.cpp tests/daw/AudioClip.cpp \
       tests/daw/SampleComparison.cpp tests/daw/EnvelopePeriod.cpp -lsndfile ||
   ! g++ "${flags[@]}" -fPIC -shared -fvisibility=hidden -o "$out/shim/Tessaloom.so" tests/daw/CallLoggingShim.cpp \
       -ldl; then
  fail "set-up: the check's helpers do not build"; finish
fi
check="$out/bin/daw-audio-check"

# ---------------------------------------------------------------------------------------------------------------------
echo "== the checks' own tools"
# The audio checker and the call-log check must see the faults they are there for.
sig="$out/selftest"
mkdir -p "$sig"
sox -R -n -r 48000 -c 2 -e floating-point -b 32 "$sig/a.wav" synth 2 sine 440 pinknoise gain -12
sox "$sig/a.wav" "$sig/b.wav" vol 1.000001          # every sample a little louder
sox "$sig/a.wav" "$sig/late.wav" pad 16s 0 trim 0 96000s # 16 frames late, cut to the same length
sox -R -n -r 48000 -c 2 -e floating-point -b 32 "$sig/trem.wav" synth 8 whitenoise gain -12 tremolo 2.5 60
sox -n -r 48000 -c 2 -e floating-point -b 32 "$sig/silence.wav" trim 0 8
{
  echo "1 open 0x1"; echo "1 dispatch 0x1 10 0 0 48000"; echo "1 dispatch 0x1 11 0 1024 0"
  echo "1 dispatch 0x1 12 0 1 0"
  for _ in 1 2 3 4 5 6 7 8 9 10; do echo "1 process 0x1 1024 silent -1"; done
  echo "1 process 0x1 256 audio 0"
} > "$sig/calls.log"
selftest_ok=1
"$check" compare "$sig/a.wav" "$sig/a.wav" > /dev/null || selftest_ok=0
"$check" compare "$sig/a.wav" "$sig/b.wav" > /dev/null && selftest_ok=0
"$check" compare --subnormals-as-zero "$sig/a.wav" "$sig/b.wav" > /dev/null && selftest_ok=0
"$check" compare --subnormals-as-zero "$sig/a.wav" "$sig/late.wav" > /dev/null
[ $? = 3 ] || selftest_ok=0
"$check" period "$sig/trem.wav" 0.4 > /dev/null || selftest_ok=0
"$check" period "$sig/trem.wav" 0.5 > /dev/null && selftest_ok=0
"$check" period "$sig/silence.wav" 0.4 > /dev/null && selftest_ok=0
"$check" export "$sig/a.wav" "$sig/b.wav" > /dev/null || selftest_ok=0
"$check" export "$sig/a.wav" "$sig/silence.wav" > /dev/null && selftest_ok=0
awk -f tests/daw/check-call-log.awk "$sig/calls.log" > "$sig/calls.out" && selftest_ok=0
grep -q "never closed" "$sig/calls.out" && grep -q "fewer than the 62" "$sig/calls.out" || selftest_ok=0
if [ $selftest_ok = 1 ]; then
  pass "self-test: the checks find changed samples, a delay, a wrong or missing envelope period, silence," \
    "an export of the wrong length, an unclosed instance and a short pre-roll"
else
  fail "self-test: a check's tool missed a fault it is there to find (files in $sig)"; finish
fi

# ---------------------------------------------------------------------------------------------------------------------
echo "== install"
prefix="$out/prefix"
if cmake --install "$build" --prefix "$prefix" > "$out/install.log" 2>&1 &&
   cmp -s "$build/Tessaloom.so" "$prefix/lib/vst/Tessaloom.so"; then
  pass "install: cmake --install puts Tessaloom.so into lib/vst under the prefix"
else
  cat "$out/install.log"
  fail "install: lib/vst/Tessaloom.so missing or not the built library"; finish
fi
# Ardour gets the installed copy: what a user has. plugin_kind says what plugin is: vst (a file) or lv2 (a URI).
plugin="$prefix/lib/vst/Tessaloom.so"
plugin_kind=vst

# ---------------------------------------------------------------------------------------------------------------------
# Processes left behind: each host check runs in a session of its own; whatever is still in it afterwards, or any
# Ardour program that was not running before, was left behind. Those in the session are ours and are ended.
ardour_pids() {
  local p exe
  for p in /proc/[0-9]*; do
    exe=$(readlink "$p/exe" 2>/dev/null) || continue
    case "$exe" in /usr/lib/ardour7/* | /usr/bin/ardour7*) echo "${p#/proc/}" ;; esac
  done
}
session_pids() { # SESSION_ID
  local f line rest session
  for f in /proc/[0-9]*/stat; do
    read -r line 2> /dev/null < "$f" || continue
    rest=${line##*) } # after "PID (COMMAND) ": state, parent, process group, session, ...
    read -r _ _ _ session _ <<< "$rest"
    if [ "$session" = "$1" ]; then
      f=${f%/stat}
      echo "${f#/proc/}"
    fi
  done
}
describe_pids() {
  local p
  for p in "$@"; do echo -n "$p ($(tr '\0' ' ' < "/proc/$p/cmdline" 2>/dev/null | cut -c1-80)) "; done
}
ardour_before=" $(ardour_pids | tr '\n' ' ') "
left_behind=""
check_left_behind() { # NAME SESSION_ID
  local left="" new="" p
  for _ in $(seq 1 50); do # let the last of them end: up to 10 s
    left=$(session_pids "$2")
    new=""
    for p in $(ardour_pids); do [[ "$ardour_before" == *" $p "* ]] || new="$new $p"; done
    [ -z "$left$new" ] && return 0
    sleep 0.2
  done
  # shellcheck disable=SC2086 # lists of process ids
  left_behind="$left_behind $1: $(describe_pids $left $new);"
  for p in $left; do kill "$p" 2> /dev/null; done
}

# run_host_check NAME PLUGIN [VARIABLE=VALUE ...]: Ardour renders through the plug-in (of plugin_kind) into
# $out/runs/NAME, its output in NAME.out; then the export is checked against its input (stereo, same length, finite,
# not silent).
run_host_check() {
  local name=$1 file=$2 rc
  shift 2
  rm -rf "$out/runs/$name"
  # shellcheck disable=SC2016 # $$ is the session's first process: expanded there
  env "$@" setsid --wait bash -c 'echo $$ > "$1"; shift; exec "$@"' host-check "$out/runs/$name.sid" \
    bash "$host_check" "$plugin_kind" "$file" "$out/runs/$name" > "$out/runs/$name.out" 2>&1 < /dev/null
  rc=$?
  check_left_behind "$name" "$(cat "$out/runs/$name.sid")"
  if [ $rc -eq 0 ] && ! "$check" export "$out/runs/$name/in.wav" "$out/runs/$name/out.wav" >> "$out/runs/$name.out"; then
    echo "FAIL: the export is not a finite, audible render of the input" >> "$out/runs/$name.out"
    rc=6
  fi
  return $rc
}

# Ardour's exporter died (abort or segmentation fault) rather than a check failing. Only the exporter counts: it is
# the step known to crash without any plug-in (heap corruption at the end of an export).
ardour_crashed() { grep -q -E "^FAIL: ardour7-export exit status (134|139)" "$out/runs/$1.out"; }
# keep_attempt NAME ATTEMPT: keeps a failed attempt's output beside the next one, and says what happened.
keep_attempt() {
  local status
  status=$(grep -m1 -o -E "ardour7-export exit status [0-9]+" "$out/runs/$1.out")
  rm -rf "$out/runs/$1.attempt$2" "$out/runs/$1.attempt$2.out"
  mv "$out/runs/$1" "$out/runs/$1.attempt$2"
  mv "$out/runs/$1.out" "$out/runs/$1.attempt$2.out"
  echo "${status:-}"
}

# --no-settle: Ardour starts from the plug-in's defaults, and so does the render it is compared with.
render_common=(--plugin "$plugin" -q --no-settle --format float --block-size 1024 --first-block 256 --preroll 2.128)
# A normalised value as tessaloom-render takes it: a percentage (30/100 is the same double as 0.3).
pct() { awk -v x="$1" 'BEGIN { printf "%.15g%%", x * 100 }'; }

# ardour_equals_render NAME TITLE 'DAW_VARIABLES' RENDER_OPTIONS...: runs the Ardour render with the variables
# (words VARIABLE=VALUE), renders its in.wav with tessaloom-render and the options, and compares the two.
ardour_equals_render() {
  local name=$1 title=$2 variables=$3 attempt rc result
  shift 3
  local dir="$out/runs/$name"
  for attempt in $(seq 1 $attempts); do
    # shellcheck disable=SC2086 # the variables are words on purpose
    run_host_check "$name" "$plugin" $variables
    rc=$?
    if [ $rc -ne 0 ] && ardour_crashed "$name"; then
      note "attempt $attempt: Ardour's exporter crashed ($(keep_attempt "$name" "$attempt")); again"
      continue
    fi
    if [ $rc -ne 0 ]; then
      tail -n 15 "$out/runs/$name.out" 2> /dev/null
      fail "$title: the host check failed (exit status $rc; log $out/runs/$name.out)"
      return 1
    fi
    if ! "$render" "${render_common[@]}" "$@" "$dir/in.wav" "$dir/render.wav" > "$dir/render.out" 2>&1; then
      cat "$dir/render.out"
      fail "$title: tessaloom-render failed"
      return 1
    fi
    result=$("$check" compare --subnormals-as-zero "$dir/render.wav" "$dir/out.wav")
    rc=$?
    if [ $rc -eq 3 ]; then
      note "attempt $attempt: Ardour's export came out shifted: ${result//$'\n'/; }; again"
      keep_attempt "$name" "$attempt" > /dev/null
      continue
    fi
    if [ $rc -eq 0 ]; then
      pass "$title: Ardour's export equals tessaloom-render's: $result"
      return 0
    fi
    fail "$title: Ardour's export differs from tessaloom-render's: $result"
    return 1
  done
  fail "$title: no usable Ardour export in $attempts attempts (log $out/runs/$name.out)"
  return 1
}

# ---------------------------------------------------------------------------------------------------------------------
echo "== Ardour: scan, insert, render with default parameters"
if ardour_equals_render defaults "default parameters" ""; then
  log="$out/runs/defaults/ardour.log"
  info=$(grep -m1 '<VST2Info ' "$log")
  want_info='id="1467119992" name="Tessaloom" creator="Vornmark" category="Unknown" version="" n_inputs="2" '
  want_info+='n_outputs="2" n_midi_inputs="0" n_midi_outputs="0" is_instrument="0" can_process_replace="1" '
  want_info+='has_editor="0"'
  if [[ "$info" == *"<VST2Info $want_info"* ]]; then
    pass "scanner: \"Tessaloom\" by \"Vornmark\", unique ID 1467119992 ('Wryx'), 2 in / 2 out, replacing, no editor"
  else
    fail "scanner: the cache says: $info"
  fi
  want_insert="inserted: 'Tessaloom' by 'Vornmark', 12 parameter(s), track I/O in 2 -> out 2 audio
  0: Pre Saturation = 0 [0 .. 1]
  1: Filter Type = 0 [0 .. 1]
  2: Filter Freq = 1 [0 .. 1]
  3: Filter Reso = 0 [0 .. 1]
  4: LFO Amount = 0 [0 .. 1]
  5: LFO Freq = 0.4 [0 .. 1]
  6: LFO Sync = 0 [0 .. 1]
  7: LFO Direction = 0 [0 .. 1]
  8: LFO Shape = 0 [0 .. 1]
  9: LFO Phase = 0 [0 .. 1]
  10: Post Saturation = 0 [0 .. 1]
  11: Mix = 1 [0 .. 1]"
  got_insert=$(grep -E "^inserted: |^  [0-9]+: " "$log")
  if [ "$got_insert" = "$want_insert" ]; then
    pass "insert: 12 parameters with their names and defaults"
  else
    diff <(echo "$want_insert") <(echo "$got_insert")
    fail "insert: parameters differ from the expected names and defaults (< expected, > Ardour)"
  fi
else
  fail "scanner: not checked, no Ardour run"
  fail "insert: not checked, no Ardour run"
fi

echo "== Ardour: renders with fixed settings"
ardour_equals_render dual "Dual LP/HP, Filter Freq 0.3, Reso 0.5" "DAW_PARAMS=1=1,2=0.3,3=0.5" \
  --set "Filter Type=Dual LP/HP" --set "Filter Freq=30%" --set "Filter Reso=50%"
ardour_equals_render highpass "High Pass at 0.6, Pre and Post Saturation 0.5, Mix 0.7" \
  "DAW_PARAMS=0=0.5,1=0.5,2=0.6,10=0.5,11=0.7" \
  --set "Pre Saturation=0.5" --set "Filter Type=High Pass" --set "Filter Freq=60%" --set "Post Saturation=0.5" \
  --set "Mix=0.7"

echo "== Ardour: LFO synced to the tempo (1/4 bar, amount 1, 140 BPM)"
# White noise through a low-pass whose cutoff the LFO sweeps: the level rises and falls once per quarter note. 140 BPM,
# not the plug-in's assumed 120 before it hears from the host, so the period proves that the host's tempo arrived.
sox -R -n -r 48000 -c 2 -e floating-point -b 32 "$out/noise.wav" synth 8 whitenoise gain -12
ardour_equals_render lfo "LFO synced" \
  "DAW_INPUT=$out/noise.wav DAW_TEMPO=140 DAW_PARAMS=2=0.7,4=1,5=0.2" \
  --tempo 140 --ppq-resolution 1920 --set "Filter Freq=70%" --set "LFO Amount=1" --set "LFO Freq=1/4 bar"
if [ -f "$out/runs/lfo/out.wav" ]; then
  if result=$("$check" period "$out/runs/lfo/out.wav" "$(awk 'BEGIN { printf "%.9f", 60 / 140 }')"); then
    pass "LFO synced: finite, not silent, envelope repeats every 60/140 s: ${result//$'\n'/; }"
  else
    fail "LFO synced: ${result//$'\n'/; }"
  fi
else
  fail "LFO synced: no Ardour export to measure"
fi

# ---------------------------------------------------------------------------------------------------------------------
echo "== Ardour: the calls it makes (through a pass-through plug-in that logs them)"
calls="$out/runs/calls.log"
for attempt in $(seq 1 $attempts); do
  rm -f "$calls"
  run_host_check calls "$out/shim/Tessaloom.so" TESSALOOM_SHIM_PLUGIN="$plugin" TESSALOOM_CALL_LOG="$calls"
  rc=$?
  if [ $rc -ne 0 ] && ardour_crashed calls; then
    note "attempt $attempt: Ardour's exporter crashed ($(keep_attempt calls "$attempt")); again"
    continue
  fi
  break
done
if [ "$rc" -ne 0 ]; then
  tail -n 15 "$out/runs/calls.out" 2> /dev/null
  fail "calls: the host check failed (exit status $rc; log $out/runs/calls.out)"
elif result=$(awk -f tests/daw/check-call-log.awk "$calls"); then
  pass "calls: every instance closed; ${result//$'\n'/; }"
else
  fail "calls: ${result//$'\n'/; } (log $calls)"
fi

# ---------------------------------------------------------------------------------------------------------------------
echo "== Ardour: the LV2 bundle, steady settings in plain units"
lv2_folder="$prefix/lib/lv2"
if [ -f "$lv2_folder/Tessaloom.lv2/manifest.ttl" ]; then
  # LV2_PATH replaces Ardour's default search path: /usr/lib/lv2 keeps the system's plug-ins and vocabularies.
  export LV2_PATH="$lv2_folder:/usr/lib/lv2"
  plugin_kind=lv2
  plugin=$(sed -n 's/^<\([^>#]*\)>.*/\1/p' "$lv2_folder/Tessaloom.lv2/manifest.ttl" | head -n 1)
  # Ardour sets LV2 controls in plain units: the cutoff in Hz at knob position p is 20 * 1000^p, which the bundle
  # maps back to exactly p; Reso 1.75 is the normalised 0.25. Controls 1, 2, 3: Filter Type, Filter Freq, Reso.
  for setting in "1 High%20Pass 0.625 1.75 0.25" "2 Dual%20LP/HP 0.25 4 1"; do
    read -r type type_name position reso reso_normalised <<< "$setting"
    type_name=${type_name//%20/ }
    hz=$(awk -v x="$position" 'BEGIN { printf "%.17g", 20 * exp(x * log(1000)) }')
    ardour_equals_render "lv2-$type" "LV2 bundle: $type_name at $hz Hz, Reso $reso" \
      "DAW_PARAMS=1=$type,2=$hz,3=$reso" \
      --set "Filter Type=$type_name" --set "Filter Freq=$(pct "$position")" --set "Filter Reso=$(pct "$reso_normalised")"
  done
  inserted=$(grep -m1 "^inserted: " "$out/runs/lv2-1/ardour.log" 2> /dev/null)
  if [[ "$inserted" == "inserted: 'Tessaloom' by 'Vornmark', "*"in 2 -> out 2 audio" ]]; then
    pass "LV2 bundle: Ardour finds it by URI on LV2_PATH and inserts it: ${inserted#inserted: }"
  else
    fail "LV2 bundle: Ardour's insert says: ${inserted:-nothing}"
  fi
  plugin_kind=vst
  plugin="$prefix/lib/vst/Tessaloom.so"
else
  fail "LV2 bundle: cmake --install put no lib/lv2/Tessaloom.lv2 under $prefix"
fi

# ---------------------------------------------------------------------------------------------------------------------
if [ -z "$left_behind" ]; then
  pass "processes: every Ardour process ended with its run, none left behind"
else
  fail "processes left behind (ended now):$left_behind"
fi
finish
