#!/usr/bin/env bash
# Installs Debian packages that Tessaloom needs, skipping what is already there.
# Usage: scripts/setup.sh [LIST_DIR...]     (as root, or with sudo available)
# Every LIST_DIR/*.list names packages, one or more per line ('#' starts a comment); the default LIST_DIR is
# scripts/packages (building, testing, the render tool). The Windows builds and the DAW check keep their own lists in
# scripts/packages-windows and scripts/packages-daw and call this script with them.
set -euo pipefail

dirs=("$@")
[ ${#dirs[@]} -gt 0 ] || dirs=("$(dirname "$0")/packages")

packages=()
for dir in "${dirs[@]}"; do
  for list in "$dir"/*.list; do
    while read -r line; do
      line="${line%%#*}"
      for p in $line; do packages+=("$p"); done
    done < "$list"
  done
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo); else
    echo "setup: need root (or sudo) to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
if ! { "${sudo_cmd[@]}" apt-get update -qq &&
       "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1 </dev/null; then
  tail -n 20 "$log" >&2
  rm -f "$log"
  echo "setup: could not install ${missing[*]}" >&2
  exit 1
fi
rm -f "$log"
echo "setup: done"
