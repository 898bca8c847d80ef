#!/usr/bin/env bash
# Does all set-up, builds the native 64-bit, the 32-bit x86 and a sanitizer (address, undefined behaviour) build,
# and runs every test of each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
status=0
for arch in 64 32 asan; do
  echo "== build: $arch =="
  bash scripts/build.sh "$arch"
  dir=build; [ "$arch" != 64 ] && dir=build-$arch
  echo "== tests: $arch =="
  ctest --test-dir "$dir" --output-on-failure --timeout 600 || status=1
done

# Further checks, each a script of its own: the Windows DLLs under wine, and the plug-in in a real DAW.
for extra in scripts/test-windows.sh scripts/test-daw.sh; do
  if [ -f "$extra" ]; then
    echo "== $extra =="
    bash "$extra" || status=1
  fi
done
exit $status
