#!/usr/bin/env bash
# Configures and builds Tessaloom. Usage: scripts/build.sh [64|32|asan] [extra cmake args...]
#   64 (default): native build in build/        32: 32-bit x86 build (-m32, SSE2 maths) in build-32/
#   asan: native build with the address and undefined-behaviour sanitizers in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-64}"
shift || true
jobs="$(nproc 2>/dev/null || echo 2)"

case "$arch" in
  64) dir=build; flags=() ;;
  32) dir=build-32
      flags=(-DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DCMAKE_EXE_LINKER_FLAGS=-m32 -DCMAKE_SHARED_LINKER_FLAGS=-m32) ;;
  asan) dir=build-asan
      san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
      flags=(-DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san"
             -DTESSALOOM_BUILD_BENCHMARKS=OFF) ;;
  *) echo "usage: $0 [64|32|asan] [cmake args...]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
