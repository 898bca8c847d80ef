#!/usr/bin/env bash
# lilv finds the installed bundle on LV2_PATH (lv2ls lists its URI) and describes it (lv2info): Tessaloom, a filter
# plug-in by Vornmark with 18 ports.
# Usage: installed-bundle.sh URI
set -uo pipefail
command -v lv2info > /dev/null || { echo "skipped: lilv's tools are not installed (scripts/setup.sh lv2-hosts)"; exit 77; }
lv2ls 2> /dev/null | grep -qxF "$1" || { echo "FAIL: lv2ls does not list $1 on LV2_PATH=$LV2_PATH"; exit 1; }
info=$(lv2info "$1" 2>&1)
ports=$(grep -c $'^\tPort [0-9]*:' <<< "$info")
for want in 'Name: *Tessaloom$' 'Class: *Filter Plugin$' 'Author: *Vornmark$'; do
  grep -q "$want" <<< "$info" || { echo "$info" | head -n 20; echo "FAIL: lv2info lacks $want"; exit 1; }
done
[ "$ports" -eq 18 ] || { echo "FAIL: lv2info shows $ports ports, not 18"; exit 1; }
echo "lv2ls lists $1; lv2info: Tessaloom, Filter Plugin, by Vornmark, $ports ports"
