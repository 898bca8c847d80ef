#!/usr/bin/env bash
# Qtractor's plug-in scanner (a real host's load, entry, descriptor and instance queries, no display or audio server)
# reads a plug-in file and prints one line "KIND|name|audio in:out|MIDI in:out|parameters in:out|flags|file|index|ID";
# the line must match the extended regular expression given, in which FILE stands for the plug-in's real path.
# Usage: qtractor-scan.sh VST|CLAP PLUGIN REGEX
set -uo pipefail
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
[ -x "$scanner" ] || { echo "skipped: Qtractor's scanner is not installed (scripts/setup.sh lv2-hosts)"; exit 77; }
file=$(realpath "$2") || exit 1
line=$(printf '%s:%s\n' "$1" "$file" | timeout 60 "$scanner" 2> /dev/null | grep "^$1|" | head -n 1)
echo "qtractor_plugin_scan: ${line:-nothing}"
regex=${3//FILE/$(sed 's/[.[\*^$()+?{|]/\\&/g' <<< "$file")}
grep -qE "$regex" <<< "$line" || { echo "FAIL: does not match $3"; exit 1; }
