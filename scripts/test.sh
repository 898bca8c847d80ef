#!/usr/bin/env bash
# Does all set-up, builds every variant and runs every test, all through the CMake presets of CMakePresets.json and
# CTest (docs/TESTING.md): the 64-bit build with its unit, host-level, golden and lint tests; the 32-bit x86 build
# (natively or under qemu-i386, whichever this machine allows); the sanitizer build; the Windows DLLs under wine;
# the reliability suite (fuzzing, leaks, threads, endurance, rates, tail cost); real LV2 hosts; Ardour; the
# installed package; the instruction budget. Prints one line per section (its tests passed, failed and skipped, from
# CTest's JUnit report in the preset's build folder) and last "N passed, N failed" counting sections; exits 1 when any failed. A
# test that cannot run on this machine is reported as skipped with its reason. TESSALOOM_NO_I386=1 acts as on a
# machine that does not run 32-bit x86 programs.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
started=$(date +%s)
mkdir -p build-logs
summary=()
passed=0
failed=0
built=" "
broken=" "

record() { # NAME STATUS DETAIL
  summary+=("$(printf '%-30s %-7s %s' "$1" "$2" "$3")")
  case "$2" in passed) passed=$((passed + 1)) ;; failed) failed=$((failed + 1)) ;; esac
}
attribute() { tr '\n\t' '  ' < "$2" | grep -o -m 1 "<testsuite [^>]*" | grep -o " $1=\"[0-9]*\"" | grep -o '[0-9]*'; }

# section NAME PRESET [CTEST OPTIONS...]: builds the preset once, then runs its tests with the options.
section() {
  local name=$1 preset=$2 junit log status
  shift 2
  log=build-logs/build-$preset.log
  if [[ $broken == *" $preset "* ]]; then record "$name" failed "the $preset build failed (log $log)"; return; fi
  if [[ $built != *" $preset "* ]]; then
    echo "== $name: build (preset $preset) =="
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } > "$log" 2>&1; then
      tail -n 30 "$log"
      broken+="$preset "
      record "$name" failed "the $preset build failed (log $log)"
      return
    fi
    built+="$preset "
  fi
  echo "== $name: tests (preset $preset${*:+, $*}) =="
  # CTest writes the report into the preset's build folder (a relative path is taken from there).
  junit=junit-$(tr -c 'a-zA-Z0-9\n' - <<< "$name" | tr -s -).xml
  local dir=build-$preset
  [ "$preset" = default ] && dir=build
  rm -f "$dir/$junit"
  ctest --preset "$preset" --output-junit "$junit" "$@"
  status=$?
  junit=$dir/$junit
  local tests failures skipped reason
  tests=$(attribute tests "$junit") failures=$(attribute failures "$junit") skipped=$(attribute skipped "$junit")
  if [ -z "$tests" ]; then record "$name" failed "no test report (CTest exit status $status)"; return; fi
  local counts="$((tests - failures - skipped)) passed, $failures failed, $skipped skipped"
  reason=$(grep -o -m 1 'skipped: [^<&]*' "$junit" | head -c 200)
  if [ "$status" -ne 0 ] || [ "$failures" -gt 0 ]; then record "$name" failed "$counts"
  elif [ "$skipped" -eq "$tests" ]; then record "$name" skipped "$counts (${reason#skipped: })"
  else record "$name" passed "$counts${reason:+ (${reason})}"; fi
}

echo "== set-up =="
lists=()
for list in scripts/packages/*.list; do
  list=$(basename "$list" .list)
  [ "$list" = wine32 ] || lists+=("$list")
done
if ! bash scripts/setup.sh "${lists[@]}"; then
  echo "test: the set-up failed; nothing was built"
  echo "0 passed, 1 failed"
  exit 1
fi
# 32-bit wine is a large set of i386 packages that a mirror in mid-sync can hold back: without it the 32-bit DLL's
# tests say so and are skipped.
bash scripts/setup.sh wine32 || echo "test: 32-bit wine could not be installed; the 32-bit DLL's tests will say so"

runs_i386=$(cmake -P cmake/RunsI386.cmake 2>&1)
section "64-bit" default -LE 'lv2-hosts|daw|install|perf|reliability'
if [ "$runs_i386" = yes ]; then section "32-bit (native)" x86-32; else section "32-bit (qemu-i386)" x86-32; fi
section "sanitizers" asan
section "win64" win64
section "win32" win32
section "reliability: fuzz, leaks" fuzz
section "reliability: threads" tsan
section "reliability: endurance, rates" default -L reliability
section "LV2 hosts" default -L lv2-hosts
section "DAW (Ardour)" default -L daw
[ -z "$(ctest --test-dir build -N -L install 2> /dev/null | grep 'Test *#')" ] || section "install" default -L install
section "perf (instruction budget)" default -L perf

echo
echo "== summary ($(($(date +%s) - started)) s) =="
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
