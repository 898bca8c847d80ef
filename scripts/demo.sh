#!/usr/bin/env bash
# Does all set-up, builds the plug-in and shows what a host sees when it loads it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh 64
./build/tools/tessaloom-info build/Tessaloom.so
