#!/usr/bin/env bash
# Does all set-up, builds the native 64-bit and the 32-bit x86 builds, and runs every test of both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
status=0
for arch in 64 32; do
  echo "== $arch-bit build =="
  bash scripts/build.sh "$arch"
  dir=build; [ "$arch" = 32 ] && dir=build-32
  echo "== $arch-bit tests =="
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
