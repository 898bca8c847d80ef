#!/usr/bin/env bash
# The reliability suite: what a hostile host does to the plug-in, each as one check with a PASS or FAIL line.
#   fuzz         libFuzzer over the exported entry point, AddressSanitizer and UndefinedBehaviorSanitizer (build-fuzz/)
#   threads      one audio thread against two control threads under ThreadSanitizer (build-tsan/)
#   leaks        1000 create/process/close cycles under LeakSanitizer (build-fuzz/)
#   hour         an hour of 44.1 kHz audio with random automation: no non-finite sample, none above 1e5; block times
#                (build-reliability/)
#   bound        the fastest modulation at 8..192 kHz in blocks of 1..8192 frames: no sample above 1e5 or non-finite
#   allocations  processing allocates nothing within the announced block length (CTest, build-reliability/)
#   rates        8000..768000 Hz x blocks of 1..8192 frames: finite output, sine gain at the cutoff (CTest)
#   mends        the reproducers of the mended faults: runaway, huge input, subnormal tail (CTest)
#   tail-cost    benchmark: a block 120 s into silence after a burst against a block of noise, at most 1.1x
# Usage: scripts/test-reliability.sh [fuzz seconds, default 120] [check names...]   (all checks unless named)
# Logs in build-reliability/logs/; the fuzz corpus grows in build-fuzz/fuzz-corpus/.
# Ends with "test-reliability: N passed, N failed"; exit status 1 when a check failed.
set -uo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds="${1:-120}"
shift || true
only=" $* "
jobs=2
logs=build-reliability/logs
mkdir -p "$logs"
passed=0
failed=0

pass() { echo "PASS $1${2:+: $2}"; passed=$((passed + 1)); }
# fail name reason: the FAIL line, then the start of the first report in the check's log (or the log's end).
fail() {
  local log="$logs/$1.log" pattern='ERROR: |WARNING: ThreadSanitizer|runtime error|invariant broken|Failure|FAILED|error:'
  echo "FAIL $1: $2"
  if [ -f "$log" ] && grep -qE "$pattern" "$log"; then
    grep -m 1 -A 14 -E "$pattern" "$log" | sed 's/^/    /'
  elif [ -f "$log" ]; then
    tail -n 25 "$log" | sed 's/^/    /'
  fi
  failed=$((failed + 1))
}
# want name: whether the check was asked for.
want() { [ "$only" = "  " ] || [[ "$only" == *" $1 "* ]]; }
finish() {
  echo "test-reliability: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}

# --- set-up and builds ------------------------------------------------------------------------------------------------
if bash scripts/setup.sh scripts/packages-reliability >"$logs/setup.log" 2>&1; then
  pass setup
else
  fail setup "could not install scripts/packages-reliability"
  finish
fi

common=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALOOM_BUILD_TOOLS=OFF -DTESSALOOM_BUILD_RELIABILITY=ON)
sanitized=("${common[@]}" -DCMAKE_CXX_COMPILER=clang++-14 -DTESSALOOM_BUILD_TESTS=OFF -DTESSALOOM_BUILD_BENCHMARKS=OFF
           -DTESSALOOM_WERROR=OFF)
asan="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
tsan="-fsanitize=thread -fno-omit-frame-pointer"

build() { # name folder targets -- cmake arguments
  local name=$1 dir=$2 targets=()
  shift 2
  while [ "$1" != -- ]; do targets+=(--target "$1"); shift; done
  shift
  if { cmake -S . -B "$dir" "$@" && cmake --build "$dir" -j "$jobs" "${targets[@]}"; } >"$logs/$name.log" 2>&1; then
    pass "$name"
    return 0
  fi
  fail "$name" "build failed"
  return 1
}

built_fuzz=0 built_tsan=0 built_plain=0
build build-fuzz build-fuzz tessaloom-fuzz-entry tessaloom-endurance -- "${sanitized[@]}" -DTESSALOOM_BUILD_FUZZER=ON \
  -DCMAKE_CXX_FLAGS="$asan -fsanitize=fuzzer-no-link" -DCMAKE_EXE_LINKER_FLAGS="$asan" && built_fuzz=1
build build-tsan build-tsan tessaloom-thread-stress -- "${sanitized[@]}" \
  -DCMAKE_CXX_FLAGS="$tsan" -DCMAKE_EXE_LINKER_FLAGS="$tsan" && built_tsan=1
build build-reliability build-reliability tessaloom-endurance FilterEffectTest FilterEffectAllocationTest \
  FilterEffectRatesTest tessaloom-bench -- "${common[@]}" && built_plain=1

# --- checks -------------------------------------------------------------------------------------------------------------
# run name command...: the command's output goes to the check's log; answers its exit status.
run() {
  local name=$1
  shift
  "$@" >"$logs/$name.log" 2>&1
}
# needs name built: false (and a FAIL line) when the check's build failed.
needs() {
  [ "$2" = 1 ] && return 0
  fail "$1" "not built"
  return 1
}

if want fuzz && needs fuzz $built_fuzz; then
  corpus=build-fuzz/fuzz-corpus
  mkdir -p "$corpus"
  if run fuzz build-fuzz/tests/reliability/tessaloom-fuzz-entry -max_total_time="$fuzz_seconds" -timeout=10 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$PWD/build-fuzz/" "$corpus" tests/reliability/corpus
  then
    execs=$(grep -o 'number_of_executed_units: *[0-9]*' "$logs/fuzz.log" | grep -o '[0-9]*$')
    cov=$(grep -E '^#[0-9]+' "$logs/fuzz.log" | tail -n 1 | grep -o 'cov: [0-9]* ft: [0-9]*')
    pass fuzz "$execs executions in ${fuzz_seconds} s, $cov"
  else
    fail fuzz "crash, sanitizer report, timeout or broken invariant (the reproducer is in build-fuzz/)"
  fi
fi

if want leaks && needs leaks $built_fuzz; then
  if ASAN_OPTIONS=detect_leaks=1 run leaks build-fuzz/tests/reliability/tessaloom-endurance cycles 1000; then
    pass leaks "$(grep -o '1000 create.*' "$logs/leaks.log")"
  else
    fail leaks "leak, sanitizer report or non-finite output in the create/process/close cycles"
  fi
fi

if want threads && needs threads $built_tsan; then
  if TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run threads \
       build-tsan/tests/reliability/tessaloom-thread-stress 10 && ! grep -q ThreadSanitizer "$logs/threads.log"; then
    pass threads "$(sed -n 's/^thread stress: //p' "$logs/threads.log")"
  else
    fail threads "data race or non-finite output"
  fi
fi

if want hour && needs hour $built_plain; then
  if run hour build-reliability/tests/reliability/tessaloom-endurance hour 3600; then
    pass hour "$(sed -n 's/^endurance: block CPU time //p' "$logs/hour.log")"
  else
    fail hour "non-finite output or a sample above 1e5 in an hour of automated audio"
  fi
fi

if want bound && needs bound $built_plain; then
  if run bound build-reliability/tests/reliability/tessaloom-endurance bound; then
    pass bound "$(sed -n 's/^bound: \([0-9]* runs\)/\1/p' "$logs/bound.log")"
  else
    fail bound "a sample above 1e5 or non-finite in the grid of fast settings"
  fi
fi

tests=build-reliability/tests/effect
if want allocations && needs allocations $built_plain; then
  if run allocations "$tests/FilterEffectAllocationTest"; then pass allocations; else
    fail allocations "allocation on the audio thread"; fi
fi
if want rates && needs rates $built_plain; then
  if run rates "$tests/FilterEffectRatesTest"; then pass rates "1152 combinations, sine gain at 32 cutoffs"; else
    fail rates "rate or block-size sweep"; fi
fi
if want mends && needs mends $built_plain; then
  if run mends "$tests/FilterEffectTest" --gtest_filter='*FastModulation*:*HugeFinite*:*SilentTail*:*DryBuffers*'
  then pass mends; else fail mends "a reproducer of a mended fault"; fi
fi

if want tail-cost && needs tail-cost $built_plain; then
  if run tail-cost build-reliability/bench/tessaloom-bench --benchmark_filter='^tail' --benchmark_repetitions=7 \
       --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true; then
    # CPU time medians (the fourth field), both in microseconds.
    noise=$(awk '/^tailNoiseBlock_median/ {print $4}' "$logs/tail-cost.log")
    silent=$(awk '/^tailSilentBlock120sAfterABurst_median/ {print $4}' "$logs/tail-cost.log")
    ratio=$(awk -v s="$silent" -v n="$noise" 'BEGIN { if (n > 0) printf "%.2f", s / n; else print "none" }')
    if [ "$ratio" != none ] && awk -v r="$ratio" 'BEGIN { exit !(r <= 1.1) }'; then
      pass tail-cost "silent block $silent us, noise block $noise us: ${ratio}x"
    else
      fail tail-cost "a silent block after a burst costs ${ratio}x a block of noise (target at most 1.1x)"
    fi
  else
    fail tail-cost "the benchmark did not run"
  fi
fi

finish
