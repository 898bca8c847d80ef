#!/usr/bin/env bash
# Installs what building and testing Tessaloom needs on Debian 12, skipping what is already there.
# Usage: scripts/setup.sh            (as root, or with sudo available)
set -euo pipefail

# Every scripts/packages/*.list names Debian packages, one per line ('#' starts a comment).
packages=()
for list in "$(dirname "$0")"/packages/*.list; do
  while read -r line; do
    line="${line%%#*}"
    for p in $line; do packages+=("$p"); done
  done < "$list"
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
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
