#!/usr/bin/env bash
# Configures and builds Tessaloom. Usage: scripts/build.sh [64|32|asan] [extra cmake args...]
#   64 (default): native build in build/        32: 32-bit x86 build (-m32, SSE2 maths) in build-32/
#   asan: native build with the address and undefined-behaviour sanitizers in build-asan/
# Where the kernel does not run 32-bit x86 programs (or TESSALOOM_NO_I386=1), the 32-bit build's tests are set up to
# run under qemu-i386 (Debian's qemu-user, installed here when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/machine.sh

arch="${1:-64}"
shift || true
jobs="$(nproc 2>/dev/null || echo 2)"

case "$arch" in
  64) dir=build; flags=() ;;
  32) dir=build-32
      flags=(-DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 -DCMAKE_EXE_LINKER_FLAGS=-m32 -DCMAKE_SHARED_LINKER_FLAGS=-m32)
      if runs_i386; then
        flags+=(-DCMAKE_CROSSCOMPILING_EMULATOR=)
      else
        echo "build: 32-bit tests will run under qemu-i386: $i386_reason"
        bash scripts/setup.sh scripts/packages-emulation
        # -L /: the 32-bit libraries come from this machine's own multilib folders.
        flags+=("-DCMAKE_CROSSCOMPILING_EMULATOR=$(command -v qemu-i386);-L;/")
      fi ;;
  asan) dir=build-asan
      san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
      flags=(-DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san"
             -DTESSALOOM_BUILD_BENCHMARKS=OFF) ;;
  *) echo "usage: $0 [64|32|asan] [cmake args...]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
