#!/usr/bin/env bash
# Does the Windows set-up, builds both DLLs and their test binaries, reads the DLLs back, runs the Windows test
# binaries under wine, and checks that a clean rebuild in another folder gives the same DLL bytes.
# Usage: scripts/test-windows.sh    (headless; wine's prefix lives in build-wine/)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-windows.sh
echo "== Windows builds =="
bash scripts/build-windows.sh both

status=0
echo "== Windows DLLs read back =="
for arch in 32 64; do
  bash scripts/check-dll.sh "$arch" || status=1
done

echo "== Windows tests under wine =="
export WINEPREFIX="$PWD/build-wine/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no .NET or HTML engine in the prefix: nothing to offer to download
unset DISPLAY WAYLAND_DISPLAY
mkdir -p build-wine
wineserver -k >/dev/null 2>&1 || true # a server left over from an interrupted run
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 </dev/null
fi
wineserver -w
# One persistent server for all tests: otherwise each test waits for wine's service processes to start and stop.
# A first program starts those services now, with their output on /dev/null: started by a test, they would inherit
# and hold CTest's output pipe open, and CTest would wait for them until the test times out.
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null
for dir in build-win32 build-win64; do
  echo "-- $dir --"
  timeout 1200 ctest --test-dir "$dir" --output-on-failure --timeout 120 || status=1
done
wineserver -k >/dev/null 2>&1 || true

echo "== Windows DLLs rebuilt from scratch =="
for arch in 32 64; do
  case "$arch" in
    32) dir=build-win32; toolchain=cmake/toolchain-mingw-i686.cmake ;;
    64) dir=build-win64; toolchain=cmake/toolchain-mingw-x86_64.cmake ;;
  esac
  again="$dir-again"
  rm -rf "$again"
  cmake -S . -B "$again" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" \
    -DTESSALOOM_BUILD_TESTS=OFF >/dev/null
  cmake --build "$again" --target Tessaloom -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
  if cmp "$dir/Tessaloom.dll" "$again/Tessaloom.dll"; then
    echo "reproducible: $dir/Tessaloom.dll and $again/Tessaloom.dll are byte-identical"
  else
    echo "NOT reproducible: $dir/Tessaloom.dll and $again/Tessaloom.dll differ" >&2
    status=1
  fi
done
exit $status
