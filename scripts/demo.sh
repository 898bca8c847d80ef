#!/usr/bin/env bash
# The main job: installs what is missing, builds the plug-in and its command-line host, and renders a short demo into
# demo/out/: a drum loop under a saw chord through three settings and two factory presets (each a WAV file with a
# spectrogram) and the frequency responses of the three filter types at a few cutoffs, plotted. Prints each render's summary and where
# the files are.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tessaloom-render tessaloom-demo-signal

render=build/tools/tessaloom-render
out=demo/out
rm -rf "$out"
mkdir -p "$out/responses"

spectrogram() {  # WAV TITLE: a PNG beside the WAV, both channels mixed
  sox -V1 "$1" -n remix 1,2 spectrogram -x 640 -y 240 -z 100 -t "$2" -o "${1%.wav}.png"
}

echo "== source: two bars of drums under an A minor saw chord, 128 BPM"
build/tools/tessaloom-demo-signal "$out/source.wav" 2 128
spectrogram "$out/source.wav" "source: drums and a saw chord, 128 BPM"

# Half a second of pre-roll lets the glides settle; half a second of tail lets the filter ring out.
common=(--tempo 128 --preroll 0.5 --tail 0.5)

echo
echo "== sweep: Dual LP/HP, Filter Freq automated across the whole knob (low-pass closing up, then high-pass)"
"$render" "$out/source.wav" "$out/sweep.wav" "${common[@]}" \
  --set "Filter Type=Dual LP/HP" --set "Filter Reso=40%" --automate "Filter Freq=0s:5%,3.75s:95%"
spectrogram "$out/sweep.wav" "Dual LP/HP, Filter Freq swept across the knob"

echo
echo "== wobble: low-pass moved by a Sinus LFO synced to 1/8 bar at 128 BPM"
"$render" "$out/source.wav" "$out/wobble.wav" "${common[@]}" \
  --set "Filter Freq=3000Hz" --set "Filter Reso=50%" --set "LFO Amount=0.85" --set "LFO Freq=1/8 bar" \
  --set "LFO Shape=Sinus"
spectrogram "$out/wobble.wav" "wobble: Sinus LFO, 1/8 bar at 128 BPM"

echo
echo "== saturated: pre and post saturation around a resonant low-pass at 600 Hz, Mix 0.5"
"$render" "$out/source.wav" "$out/saturated.wav" "${common[@]}" \
  --set "Pre Saturation=0.9" --set "Filter Freq=600Hz" --set "Filter Reso=50%" --set "Post Saturation=0.7" \
  --set "Mix=0.5"
spectrogram "$out/saturated.wav" "saturated low-pass at 600 Hz, Mix 0.5"

for preset in "Synced Wobble" "Warm Drive"; do
  echo
  echo "== factory preset \"$preset\""
  file="$out/preset-$(tr 'A-Z ' 'a-z-' <<< "$preset").wav"
  "$render" "$out/source.wav" "$file" "${common[@]}" --preset "$preset"
  spectrogram "$file" "factory preset: $preset"
done

echo
echo "== responses: the three filter types at a few cutoffs (Filter Reso 30%)"
curves=()  # file|title|colour|dash type
for type in "Low Pass" "High Pass"; do
  colour=$([ "$type" = "Low Pass" ] && echo "#1f77b4" || echo "#d62728")
  for cutoff in 200 1000 5000; do
    file="$out/responses/${type// /-}-${cutoff}Hz.csv"
    "$render" --quiet --response "$file" --set "Filter Type=$type" --set "Filter Freq=${cutoff}Hz" \
      --set "Filter Reso=30%"
    curves+=("$file|$type, ${cutoff} Hz|$colour|1")
  done
done
# Dual LP/HP: one knob, a low-pass over its lower half and a high-pass over its upper half (dashed).
for position in "LP 300" "HP 3000"; do
  file="$out/responses/Dual-${position// /-}Hz.csv"
  "$render" --quiet --response "$file" --set "Filter Type=Dual LP/HP" --set "Filter Freq=${position}Hz" \
    --set "Filter Reso=30%"
  curves+=("$file|Dual LP/HP, ${position} Hz|#2ca02c|2")
done
plot=""
for curve in "${curves[@]}"; do
  IFS='|' read -r file title colour dash <<<"$curve"
  plot+="${plot:+, }'$file' using 1:2 with lines lw 2 lc rgb '$colour' dt $dash title '$title'"
done
gnuplot <<GNUPLOT
set terminal pngcairo size 820,440 font "sans,10"
set output "$out/responses.png"
set datafile separator ","
set key autotitle columnhead
set logscale x
set xrange [20:20000]
set yrange [-60:12]
set grid
set xlabel "frequency (Hz)"
set ylabel "magnitude (dB)"
set title "Tessaloom filter responses (Filter Reso 30%, measured with tessaloom-render --response)"
set key outside right top
plot $plot
GNUPLOT
echo "   ${#curves[@]} responses, plotted"

echo
echo "== files in $out/"
for f in "$out"/*.wav "$out"/*.png; do
  printf '   %-28s %s\n' "$f" "$(du -h "$f" | cut -f1)"
done
echo "   $out/responses/*.csv (frequency_hz,left_db,right_db)"
