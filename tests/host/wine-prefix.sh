#!/usr/bin/env bash
# The Windows tests' wine prefix: makes it once (always with the 64-bit loader: the plain launcher may pick the 32-bit
# one) and starts one persistent wine server and wine's services for all tests. Their output goes to /dev/null: a
# service started by a test would inherit and hold CTest's output pipe, and CTest would wait for it until time-out.
# Usage: WINEPREFIX=... wine-prefix.sh       (the log of the prefix's creation is WINEPREFIX.log)
set -euo pipefail
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
server=/usr/lib/wine/wineserver64
mkdir -p "$(dirname "$WINEPREFIX")"
"$server" -k > /dev/null 2>&1 || true # a server left over from an interrupted run
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot -i > "$WINEPREFIX.log" 2>&1 < /dev/null || { tail -n 5 "$WINEPREFIX.log"; exit 1; }
  "$server" -w
fi
"$server" -p > /dev/null 2>&1 < /dev/null
/usr/lib/wine/wine64 cmd /c exit > "$WINEPREFIX.log" 2>&1 < /dev/null || { tail -n 5 "$WINEPREFIX.log"; exit 1; }
echo "wine prefix $WINEPREFIX ready, its server running"
