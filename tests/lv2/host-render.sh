#!/usr/bin/env bash
# One real LV2 host renders the test input through the bundle. The output must be finite and audible and, with
# --reference, equal bit for bit to tessaloom-render's render (blocks of 512) given those options: with the settings
# in place before the first block, nothing in the chain depends on where blocks begin and end.
#   lv2apply: one frame per run; lv2file: blocks of 777 frames; ffmpeg's lv2 filter: blocks of 1000, 77 and 4096
#   frames and the odd remainders (checked with ashowinfo: at least three lengths must occur).
# Usage: host-render.sh lv2apply|lv2file|ffmpeg OUTDIR [--reference RENDER_OPTION... --] SYMBOL=VALUE...
# Environment: TESSALOOM_LV2_URI, TESSALOOM_RENDER, TESSALOOM_VST, DAW_AUDIO_CHECK, LV2_INPUT, LV2_PATH.
set -uo pipefail
host=$1 out=$2
shift 2
reference=()
if [ "${1:-}" = --reference ]; then
  shift
  while [ "$1" != -- ]; do reference+=("$1"); shift; done
  shift
fi
command -v "$host" > /dev/null || { echo "skipped: $host is not installed (scripts/setup.sh lv2-hosts)"; exit 77; }
rm -rf "$out" && mkdir -p "$out" || exit 1
uri=$TESSALOOM_LV2_URI in=$LV2_INPUT wav=$out/$host.wav
args=()
case "$host" in
  lv2apply)
    for c in "$@"; do args+=(-c "${c%%=*}" "${c#*=}"); done
    lv2apply -i "$in" -o "$wav" "${args[@]}" "$uri" ;;
  lv2file)
    for c in "$@"; do args+=(-p "${c%%=*}:${c#*=}"); done
    lv2file -i "$in" -o "$wav" -b 777 --ignore-clipping "${args[@]}" "$uri" ;;
  ffmpeg)
    controls=$(IFS='|'; echo "$*")
    graph="[0:a]asplit=3[s0][s1][s2];[s0]atrim=end_sample=30011,asetnsamples=n=1000:p=0[a];"
    graph+="[s1]atrim=start_sample=30011:end_sample=61000,asetpts=PTS-STARTPTS,asetnsamples=n=77:p=0[b];"
    graph+="[s2]atrim=start_sample=61000,asetpts=PTS-STARTPTS,asetnsamples=n=4096:p=0[c];"
    graph+="[a][b][c]concat=n=3:v=0:a=1,ashowinfo,lv2=p='${uri/:/\\:}'${controls:+:c=$controls}"
    ffmpeg -nostdin -hide_banner -loglevel info -y -i "$in" -filter_complex "$graph" -c:a pcm_f32le "$wav" ;;
esac > "$out/host.log" 2>&1 || { tail -n 10 "$out/host.log"; echo "FAIL: $host failed"; exit 1; }
if [ "$host" = ffmpeg ]; then
  lengths=$(grep -o 'nb_samples:[0-9]*' "$out/host.log" | sort -u | wc -l)
  [ "$lengths" -ge 3 ] || { echo "FAIL: ffmpeg ran blocks of only $lengths lengths"; exit 1; }
  echo "ffmpeg ran blocks of $lengths different lengths"
fi
"$DAW_AUDIO_CHECK" export "$in" "$wav" || exit 1
[ ${#reference[@]} -gt 0 ] || exit 0
"$TESSALOOM_RENDER" --plugin "$TESSALOOM_VST" --quiet "${reference[@]}" "$in" "$out/render.wav" || exit 1
"$DAW_AUDIO_CHECK" compare "$out/render.wav" "$wav"
