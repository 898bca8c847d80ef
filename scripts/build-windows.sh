#!/usr/bin/env bash
# Cross-compiles Tessaloom.dll and the Windows test binaries with mingw-w64.
# Usage: scripts/build-windows.sh [32|64|both] [extra cmake args...]
#   32: build-win32/Tessaloom.dll (PE32, i386)      64: build-win64/Tessaloom.dll (PE32+, x86-64)      both (default)
set -euo pipefail
cd "$(dirname "$0")/.."

which="${1:-both}"
shift || true
jobs="$(nproc 2>/dev/null || echo 2)"

case "$which" in
  32) arches=(32) ;;
  64) arches=(64) ;;
  both) arches=(32 64) ;;
  *) echo "usage: $0 [32|64|both] [cmake args...]" >&2; exit 2 ;;
esac

for arch in "${arches[@]}"; do
  case "$arch" in
    32) dir=build-win32; toolchain=cmake/toolchain-mingw-i686.cmake ;;
    64) dir=build-win64; toolchain=cmake/toolchain-mingw-x86_64.cmake ;;
  esac
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "build-windows: $dir/Tessaloom.dll"
done
