#!/usr/bin/env bash
# Tessaloom's LV2 bundle in real LV2 hosts, and the VST plug-in in a second real host's scanner.
#
# Usage: scripts/test-lv2.sh [BUILD_DIR]      (default build/, built with scripts/build.sh 64 when something is missing)
# Installs what is missing from scripts/packages-lv2/*.list (as root or with sudo). Writes everything into
# BUILD_DIR/lv2-check/ and ends with one line "test-lv2: N passed, N failed"; exit status 0 when all passed.
#
# The checks:
#  - the bundle validates (lv2_validate), lilv lists and describes it (lv2ls, lv2info), and `cmake --install` puts a
#    bundle that lilv finds under lib/lv2/;
#  - lilv's lv2apply (one frame per run), lv2file (blocks of 777 frames) and ffmpeg's lv2 filter (blocks of 1000, 77
#    and 4096 frames and the odd remainders, checked with ashowinfo) each render a file: finite and not silent, and,
#    with steady settings (no saturation, Mix 1, LFO Amount 0; four filter types, cutoffs and resonances), equal bit
#    for bit to tessaloom-render (blocks of 512) given the same normalised values on the same input. With the
#    settings in place before the first block, nothing in the chain depends on where blocks begin and end;
#  - a render with saturation, mix and a moving LFO in each host is finite and not silent;
#  - Qtractor's plug-in scanner loads the VST plug-in and reports its name, 2 audio inputs and outputs, no MIDI ports,
#    12 parameters and its unique ID.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
started=$(date +%s)

build=$(realpath -m "${1:-build}")
out="$build/lv2-check"
passed=0
failed=0

pass() { echo "PASS $*"; passed=$((passed + 1)); }
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
note() { echo "     $*"; }
finish() {
  trap - EXIT
  echo "test-lv2: took $(( $(date +%s) - started )) s; logs and audio in $out/"
  echo "test-lv2: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
# Whatever stops the script, it says so and ends with the summary line.
trap 'fail "the script stopped early (line $LINENO)"; finish' EXIT
trap 'fail "interrupted"; finish' INT TERM

# ---------------------------------------------------------------------------------------------------------------------
echo "== set-up"
bash scripts/setup.sh scripts/packages-lv2 || { fail "set-up: could not install the LV2 packages"; finish; }
bundle="$build/lv2/Tessaloom.lv2"
render="$build/tools/tessaloom-render"
if [ ! -f "$bundle/Tessaloom.so" ] || [ ! -x "$render" ] || [ ! -f "$build/Tessaloom.so" ]; then
  if [ "$build" = "$root/build" ]; then
    bash scripts/build.sh 64 || { fail "set-up: the 64-bit build failed"; finish; }
  fi
fi
for f in "$bundle/manifest.ttl" "$bundle/Tessaloom.ttl" "$bundle/Tessaloom.so" "$render" "$build/Tessaloom.so"; do
  [ -e "$f" ] || { fail "set-up: $f is missing"; finish; }
done
rm -rf "$out"
mkdir -p "$out"
# The plug-in's URI, as the bundle states it.
uri=$(sed -n 's/^<\([^>#]*\)>.*/\1/p' "$bundle/manifest.ttl" | head -n 1)
[ -n "$uri" ] || { fail "set-up: no plug-in URI in $bundle/manifest.ttl"; finish; }
echo "plug-in $uri; lilv $(dpkg-query -W -f='${Version}' lilv-utils), lv2file $(dpkg-query -W -f='${Version}' lv2file)," \
  "ffmpeg $(dpkg-query -W -f='${Version}' ffmpeg), qtractor $(dpkg-query -W -f='${Version}' qtractor)"
# LV2_PATH replaces the default search path; /usr/lib/lv2 keeps the vocabularies (plug-in classes, units) in view.
export LV2_PATH="$build/lv2:/usr/lib/lv2"

# ---------------------------------------------------------------------------------------------------------------------
echo "== the bundle"
if lv2_validate "$bundle"/*.ttl >"$out/validate.log" 2>&1 && grep -q "Found 0 errors" "$out/validate.log"; then
  pass "lv2_validate: $(grep -o 'Found 0 errors.*' "$out/validate.log")"
else
  fail "lv2_validate reports problems"; sed 's/^/     /' "$out/validate.log" | tail -n 20
fi
if lv2ls 2>"$out/lv2ls.err" | grep -qxF "$uri"; then pass "lv2ls lists $uri"; else fail "lv2ls does not list $uri"; fi
lv2info "$uri" >"$out/lv2info.txt" 2>&1
ports=$(grep -c '^	Port [0-9]*:' "$out/lv2info.txt")
if grep -q 'Name: *Tessaloom$' "$out/lv2info.txt" && grep -q 'Class: *Filter Plugin$' "$out/lv2info.txt" &&
   grep -q 'Author: *Vornmark$' "$out/lv2info.txt" && [ "$ports" -eq 18 ]; then
  pass "lv2info: Tessaloom, Filter Plugin, by Vornmark, $ports ports"
else
  fail "lv2info shows something else (see $out/lv2info.txt; $ports ports)"
fi

prefix="$out/prefix"
if cmake --install "$build" --prefix "$prefix" >"$out/install.log" 2>&1 &&
   [ -f "$prefix/lib/lv2/Tessaloom.lv2/manifest.ttl" ] && [ -f "$prefix/lib/lv2/Tessaloom.lv2/Tessaloom.ttl" ] &&
   [ -f "$prefix/lib/lv2/Tessaloom.lv2/Tessaloom.so" ] &&
   LV2_PATH="$prefix/lib/lv2:/usr/lib/lv2" lv2ls 2>/dev/null | grep -qxF "$uri"; then
  pass "cmake --install puts lib/lv2/Tessaloom.lv2/ under the prefix, and lilv finds it there"
else
  fail "cmake --install: no bundle that lilv finds under $prefix/lib/lv2 (see $out/install.log)"
fi

# ---------------------------------------------------------------------------------------------------------------------
echo "== the input"
in="$out/in.wav"
if ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "anoisesrc=d=3:c=pink:r=48000:a=0.25:seed=11" \
     -f lavfi -i "aevalsrc=0.3*(2*mod(110*t\,1)-1)+0.2*sin(2*PI*277*t):s=48000:d=3" \
     -filter_complex "[0][1]amerge=inputs=2" -c:a pcm_f32le "$in" 2>"$out/input.log"; then
  note "3 s of pink noise (left) and a saw with a sine (right), 48 kHz, 32-bit float"
else
  fail "ffmpeg could not make the input"; finish
fi

# raw FILE.wav: the samples as 32-bit floats, whatever container the host wrote.
raw() { ffmpeg -nostdin -hide_banner -loglevel error -y -i "$1" -f f32le -c:a pcm_f32le "${1%.wav}.raw"; }
# sound FILE.raw: "ok PEAK" when every sample is finite and some are not zero.
sound() {
  od -An -v -f "$1" | awk '{ for (i = 1; i <= NF; ++i) { v = $i
      if (v ~ /nan|inf/) bad++; else { n++; a = v < 0 ? -v : v; if (a > peak) peak = a; if (a > 0) loud++ } } }
    END { if (bad) print bad " non-finite samples"; else if (!loud) print "silent"; else printf "ok %.4f\n", peak }'
}
# check HOST NAME FILE.wav [REFERENCE.raw]: finite, not silent, and bit for bit the reference when one is given.
check() {
  local host=$1 name=$2 wav=$3 reference=${4:-}
  if [ ! -s "$wav" ]; then fail "$host, $name: no output"; return; fi
  raw "$wav" || { fail "$host, $name: the output cannot be read"; return; }
  local verdict
  verdict=$(sound "${wav%.wav}.raw")
  if [ "${verdict%% *}" != ok ]; then fail "$host, $name: $verdict"; return; fi
  if [ -z "$reference" ]; then pass "$host, $name: finite, not silent, peak ${verdict#ok }"; return; fi
  if cmp -s "${wav%.wav}.raw" "$reference"; then
    pass "$host, $name: equals tessaloom-render bit for bit (peak ${verdict#ok })"
  else
    fail "$host, $name: differs from tessaloom-render: $(cmp "${wav%.wav}.raw" "$reference" 2>&1 | head -n 1)"
  fi
}

# The hosts. Arguments after the output: SYMBOL VALUE pairs.
run_lv2apply() {
  local wav=$1; shift
  local args=()
  while [ $# -gt 0 ]; do args+=(-c "$1" "$2"); shift 2; done
  lv2apply -i "$in" -o "$wav" "${args[@]}" "$uri" >"${wav%.wav}.log" 2>&1
}
run_lv2file() {
  local wav=$1; shift
  local args=()
  while [ $# -gt 0 ]; do args+=(-p "$1:$2"); shift 2; done
  lv2file -i "$in" -o "$wav" -b 777 --ignore-clipping "${args[@]}" "$uri" >"${wav%.wav}.log" 2>&1
}
run_ffmpeg() {
  local wav=$1; shift
  local controls=""
  while [ $# -gt 0 ]; do controls+="${controls:+|}$1=$2"; shift 2; done
  # Three stretches cut into blocks of 1000, 77 and 4096 frames; ffmpeg's lv2 filter runs each block as it comes.
  # The URI's colon is escaped for the filter's option parser.
  local graph="[0:a]asplit=3[s0][s1][s2];[s0]atrim=end_sample=30011,asetnsamples=n=1000:p=0[a];"
  graph+="[s1]atrim=start_sample=30011:end_sample=61000,asetpts=PTS-STARTPTS,asetnsamples=n=77:p=0[b];"
  graph+="[s2]atrim=start_sample=61000,asetpts=PTS-STARTPTS,asetnsamples=n=4096:p=0[c];"
  graph+="[a][b][c]concat=n=3:v=0:a=1,ashowinfo,lv2=p='${uri/:/\\:}'${controls:+:c=$controls}"
  ffmpeg -nostdin -hide_banner -loglevel info -y -i "$in" -filter_complex "$graph" -c:a pcm_f32le "$wav" \
    >"${wav%.wav}.log" 2>&1
}

# ---------------------------------------------------------------------------------------------------------------------
echo "== steady settings: each host against tessaloom-render"
# type (entry), cutoff position, resonance (plain) and its normalised value. The hosts get the cutoff in Hz,
# 20 · 1000^position with 17 digits: the adapter maps such a value back to the position exactly (Lv2HostTest).
settings=("0 0.375 2.5 0.5" "1 0.625 1.75 0.25" "2 0.25 4 1" "2 0.875 1 0")
type_names=("Low Pass" "High Pass" "Dual LP/HP")
# A normalised value as tessaloom-render takes it: a percentage (30/100 is the same double as 0.3).
pct() { awk -v x="$1" 'BEGIN { printf "%.15g%%", x * 100 }'; }
ffmpeg_blocks_checked=false
for s in "${settings[@]}"; do
  read -r type position reso reso_normalised <<<"$s"
  hz=$(awk -v x="$position" 'BEGIN { printf "%.17g", 20 * exp(x * log(1000)) }')
  name="${type_names[$type]}, Filter Freq $hz Hz (position $position), Reso $reso"
  tag="steady-$type-$position"
  reference="$out/$tag-render.wav"
  # --no-settle: the hosts start from the plug-in's defaults too.
  if ! "$render" "$in" "$reference" --quiet --no-settle --set "Filter Type=${type_names[$type]}" \
         --set "Filter Freq=$(pct "$position")" --set "Filter Reso=$(pct "$reso_normalised")" >"$out/$tag-render.log" 2>&1; then
    fail "tessaloom-render, $name: it failed (see $out/$tag-render.log)"; continue
  fi
  raw "$reference"
  controls=(filter_type "$type" filter_freq "$hz" filter_reso "$reso")
  run_lv2apply "$out/$tag-lv2apply.wav" "${controls[@]}" || fail "lv2apply, $name: it failed"
  check lv2apply "$name" "$out/$tag-lv2apply.wav" "${reference%.wav}.raw"
  run_lv2file "$out/$tag-lv2file.wav" "${controls[@]}" || fail "lv2file, $name: it failed"
  check lv2file "$name" "$out/$tag-lv2file.wav" "${reference%.wav}.raw"
  run_ffmpeg "$out/$tag-ffmpeg.wav" "${controls[@]}" || fail "ffmpeg, $name: it failed"
  check ffmpeg "$name" "$out/$tag-ffmpeg.wav" "${reference%.wav}.raw"
  if ! $ffmpeg_blocks_checked; then
    ffmpeg_blocks_checked=true
    lengths=$(grep -o 'nb_samples:[0-9]*' "$out/$tag-ffmpeg.log" | sort | uniq -c | sort -rn | awk '{ sub("nb_samples:", "", $2); printf "%s%s x %s", sep, $1, $2; sep = ", " }')
    distinct=$(grep -o 'nb_samples:[0-9]*' "$out/$tag-ffmpeg.log" | sort -u | wc -l)
    if [ "$distinct" -ge 3 ]; then pass "ffmpeg ran blocks of varying length: $lengths"
    else fail "ffmpeg's blocks did not vary: ${lengths:-none seen}"; fi
  fi
done

# ---------------------------------------------------------------------------------------------------------------------
echo "== saturation, mix and a moving LFO in each host"
moving=(pre_saturation 0.6 post_saturation 0.4 mix 0.7 filter_freq 800 filter_reso 3 lfo_amount 0.8 lfo_length 2
        lfo_shape 1 lfo_sync 3 lfo_rate 3)
run_lv2apply "$out/moving-lv2apply.wav" "${moving[@]}" || fail "lv2apply, moving LFO: it failed"
check lv2apply "saturation, Mix 0.7, a free LFO at 3 Hz" "$out/moving-lv2apply.wav"
run_lv2file "$out/moving-lv2file.wav" "${moving[@]}" || fail "lv2file, moving LFO: it failed"
check lv2file "saturation, Mix 0.7, a free LFO at 3 Hz" "$out/moving-lv2file.wav"
run_ffmpeg "$out/moving-ffmpeg.wav" "${moving[@]}" || fail "ffmpeg, moving LFO: it failed"
check ffmpeg "saturation, Mix 0.7, a free LFO at 3 Hz" "$out/moving-ffmpeg.wav"
if cmp -s "$out/moving-lv2apply.raw" "$out/steady-0-0.375-lv2apply.raw"; then
  fail "the moving-LFO render equals a steady one: the controls did not arrive"
fi

# ---------------------------------------------------------------------------------------------------------------------
echo "== Qtractor's plug-in scanner on the VST plug-in"
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
vst=$(realpath "$build/Tessaloom.so")
if [ ! -x "$scanner" ]; then
  fail "Qtractor's scanner is missing: $scanner"
else
  printf 'VST:%s\n' "$vst" | timeout 60 "$scanner" >"$out/qtractor-scan.txt" 2>"$out/qtractor-scan.err"
  # One line: VST|name|audio in:out|MIDI in:out|parameters in:out|flags|file|index|unique ID
  line=$(grep '^VST|' "$out/qtractor-scan.txt" | head -n 1)
  IFS='|' read -r kind name audio midi params _flags file _index id <<<"$line"
  if [ "$name" = Tessaloom ] && [ "$audio" = 2:2 ] && [ "$midi" = 0:0 ] && [ "$params" = 12:0 ] &&
     [ "$file" = "$vst" ] && [ "$id" = 0x57727978 ]; then
    pass "qtractor_plugin_scan: $name, audio $audio, MIDI $midi, parameters $params, ID $id"
  else
    fail "qtractor_plugin_scan reported: ${line:-nothing} $(head -c 300 "$out/qtractor-scan.err")"
  fi
fi

finish
