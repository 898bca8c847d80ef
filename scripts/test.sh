#!/usr/bin/env bash
# Does all set-up, builds every variant and runs every test: the native 64-bit build, the 32-bit x86 build (natively
# or under qemu-i386, whichever this machine allows), a sanitizer (address, undefined behaviour) build, the Windows
# DLLs under wine, the reliability suite (fuzzing, threads, leaks, endurance), the LV2 bundle in LV2 hosts, and both
# plug-ins in Ardour. Ends with one line per section and a last line "N passed, N failed"
# counting sections; exits 1 when any section failed. A section that cannot run on this machine says why and counts
# as skipped. TESSALOOM_NO_I386=1 acts as on a machine that does not run 32-bit x86 programs.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
. scripts/machine.sh
started=$(date +%s)
mkdir -p build-logs

summary=()
passed=0
failed=0
# section_result NAME STATUS DETAIL: STATUS is passed, failed or skipped.
section_result() {
  summary+=("$(printf '%-22s %-7s %s' "$1" "$2" "$3")")
  case "$2" in
    passed) passed=$((passed + 1)) ;;
    failed) failed=$((failed + 1)) ;;
  esac
}

# ctest_counts LOG: "N passed, N failed" from a CTest run's closing lines.
ctest_counts() {
  local line total failures
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  [ -n "$line" ] || { echo "no CTest result"; return; }
  failures=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<< "$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<< "$line")
  echo "$((total - failures)) passed, $failures failed"
}

# build_and_test VARIANT NAME: one Linux build variant (scripts/build.sh) and its whole CTest suite.
build_and_test() {
  local variant=$1 name=$2 dir=build log
  [ "$variant" != 64 ] && dir=build-$variant
  log=build-logs/ctest-$variant.log
  echo "== $name: build =="
  if ! bash scripts/build.sh "$variant"; then
    section_result "$name" failed "the build failed"
    return
  fi
  echo "== $name: tests =="
  ctest --test-dir "$dir" --output-on-failure --timeout 600 -j "$(nproc 2>/dev/null || echo 2)" 2>&1 | tee "$log"
  if [ "${PIPESTATUS[0]}" -eq 0 ]; then
    section_result "$name" passed "$(ctest_counts "$log")"
  else
    section_result "$name" failed "$(ctest_counts "$log")"
  fi
}

# script_section NAME SCRIPT [ARGS...]: a check script that ends with "...: N passed, N failed" or, when it cannot
# run on this machine, with "...: skipped: REASON".
script_section() {
  local name=$1 log counts skipped
  shift
  log="build-logs/$(basename "$1" .sh)${2:+-$2}.log"
  echo "== $name: $* =="
  bash "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  counts=$(grep -o -E '[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  skipped=$(sed -n 's/^[a-z0-9-]*: skipped: //p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    section_result "$name" failed "${counts:-the script failed (exit status $status; log $log)}"
  elif [ -n "$skipped" ]; then
    section_result "$name" skipped "${counts:+$counts; }$skipped"
  else
    section_result "$name" passed "${counts:-no counts printed}"
  fi
}

echo "== set-up =="
if ! bash scripts/setup.sh; then
  echo "test: the set-up failed; nothing was built"
  echo "0 passed, 1 failed"
  exit 1
fi

build_and_test 64 "64-bit"
if runs_i386; then
  build_and_test 32 "32-bit (native)"
else
  echo "test: $i386_reason: the 32-bit tests run under qemu-i386"
  build_and_test 32 "32-bit (qemu-i386)"
fi
build_and_test asan "sanitizers"
script_section "win64" scripts/test-windows.sh 64
script_section "win32" scripts/test-windows.sh 32
script_section "reliability" scripts/test-reliability.sh
script_section "LV2 hosts" scripts/test-lv2.sh
script_section "DAW (Ardour)" scripts/test-daw.sh

echo
echo "== summary ($(( $(date +%s) - started )) s) =="
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
