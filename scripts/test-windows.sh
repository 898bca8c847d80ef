#!/usr/bin/env bash
# One Windows DLL, as far as this machine allows: does the Windows set-up, builds the DLL and its test binaries,
# reads the DLL back, runs the test binaries under wine, and checks that a clean rebuild in another folder gives the
# same DLL bytes. The 64-bit tests run under 64-bit wine on every x86-64 machine; the 32-bit tests need a kernel that
# runs 32-bit x86 programs (wine's 32-bit loader does not run under an emulator) and are skipped elsewhere, saying
# why. Ends with "test-windows: N passed, N failed" (each step a check, each CTest test one), and
# "test-windows: skipped: ..." when the tests could not run here.
# Usage: scripts/test-windows.sh 32|64    (headless; wine's prefix lives in build-wine/)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. scripts/machine.sh

arch=${1:-}
case "$arch" in
  32) dir=build-win32; toolchain=cmake/toolchain-mingw-i686.cmake ;;
  64) dir=build-win64; toolchain=cmake/toolchain-mingw-x86_64.cmake ;;
  *) echo "usage: $0 32|64" >&2; exit 2 ;;
esac
passed=0
failed=0
skipped=""
pass() { echo "PASS win$arch: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL win$arch: $*"; failed=$((failed + 1)); }
finish() {
  echo "test-windows: $passed passed, $failed failed"
  [ -z "$skipped" ] || echo "test-windows: skipped: $skipped"
  [ "$failed" -eq 0 ]
  exit
}

echo "== set-up =="
if ! bash scripts/setup.sh || ! bash scripts/setup-windows.sh; then
  fail "set-up: the Windows packages could not be installed"
  finish
fi

echo "== build: $dir =="
if bash scripts/build-windows.sh "$arch"; then
  pass "$dir/Tessaloom.dll and its tests built"
else
  fail "the build of $dir failed"
  finish
fi

echo "== read back: $dir/Tessaloom.dll =="
if bash scripts/check-dll.sh "$arch"; then
  pass "$dir/Tessaloom.dll read back"
else
  fail "$dir/Tessaloom.dll does not read back as it should"
fi

echo "== tests under wine =="
if [ "$arch" = 64 ]; then
  loader=/usr/lib/wine/wine64
  [ -x "$loader" ] || loader=$(command -v wine64 || true)
elif runs_i386; then
  loader=/usr/lib/wine/wine
  [ -x "$loader" ] || loader=$(command -v wine || true)
else
  loader=""
  skipped="the 32-bit DLL's tests (wine's 32-bit loader needs a kernel that runs 32-bit programs; here $i386_reason)"
  echo "win32 tests skipped: $skipped"
fi
if [ -n "$loader" ] && [ ! -x "$loader" ]; then
  fail "no wine loader for win$arch (packages wine, wine64$([ "$arch" = 32 ] && echo ', wine32:i386'))"
elif [ -n "$loader" ]; then
  # One 64-bit prefix serves both DLLs (a 64-bit prefix runs 32-bit programs where 32-bit wine is installed).
  export WINEPREFIX="$PWD/build-wine/prefix" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=" # no .NET or HTML engine in the prefix: nothing to offer to download
  unset DISPLAY WAYLAND_DISPLAY
  server=/usr/lib/wine/wineserver64
  [ -x "$server" ] || server=$(command -v wineserver || echo wineserver)
  mkdir -p build-wine
  "$server" -k > /dev/null 2>&1 # a server left over from an interrupted run
  prefix_ok=1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # Always made with the 64-bit loader: the plain launcher may pick the 32-bit one, which needs 32-bit support.
    if ! /usr/lib/wine/wine64 wineboot -i > build-wine/wineboot.log 2>&1 < /dev/null; then
      tail -n 5 build-wine/wineboot.log
      fail "wineboot could not make the prefix $WINEPREFIX (log build-wine/wineboot.log)"
      prefix_ok=0
    fi
  fi
  if [ $prefix_ok = 1 ]; then
    "$server" -w
    # One persistent server for all tests: otherwise each test waits for wine's service processes to start and stop.
    # A first program starts those services now, with their output on /dev/null: started by a test, they would
    # inherit and hold CTest's output pipe open, and CTest would wait for them until the test times out.
    "$server" -p > /dev/null 2>&1 < /dev/null
    trap '"$server" -k > /dev/null 2>&1' EXIT
    if ! "$loader" cmd /c exit > build-wine/first-program.log 2>&1 < /dev/null; then
      tail -n 5 build-wine/first-program.log
      fail "$loader cannot run a first program in the prefix (log build-wine/first-program.log)"
    else
      log=build-wine/ctest-win$arch.log
      timeout 1200 ctest --test-dir "$dir" --output-on-failure --timeout 120 2>&1 | tee "$log"
      status=${PIPESTATUS[0]}
      line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
      if [ -z "$line" ]; then
        fail "CTest under wine gave no result (exit status $status; log $log)"
      else
        bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<< "$line")
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<< "$line")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
        echo "win$arch tests under $loader: $((total - bad)) passed, $bad failed"
        [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || fail "CTest under wine exited $status (log $log)"
      fi
    fi
    "$server" -k > /dev/null 2>&1
  fi
fi

echo "== rebuilt from scratch =="
again="$dir-again"
rebuild_log=build-logs/rebuild-win$arch.log
rm -rf "$again"
mkdir -p build-logs
if ! cmake -S . -B "$again" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" \
       -DTESSALOOM_BUILD_TESTS=OFF > "$rebuild_log" 2>&1 ||
   ! cmake --build "$again" --target Tessaloom -j "$(nproc 2>/dev/null || echo 2)" >> "$rebuild_log" 2>&1; then
  tail -n 20 "$rebuild_log"
  fail "the rebuild in $again failed (log $rebuild_log)"
elif cmp "$dir/Tessaloom.dll" "$again/Tessaloom.dll"; then
  pass "reproducible: $dir/Tessaloom.dll and $again/Tessaloom.dll are byte-identical"
else
  fail "not reproducible: $dir/Tessaloom.dll and $again/Tessaloom.dll differ"
fi
finish
