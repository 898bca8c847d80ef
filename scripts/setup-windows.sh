#!/usr/bin/env bash
# Installs what the Windows builds and their tests need on Debian 12 (amd64), skipping what is already there: the
# packages of scripts/packages-windows/windows.list, and 32-bit wine, for which dpkg must know the i386 architecture.
# Usage: scripts/setup-windows.sh    (as root, or with sudo available)
set -euo pipefail
cd "$(dirname "$0")"

packages=()
while read -r line; do
  line="${line%%#*}"
  for p in $line; do packages+=("$p"); done
done < packages-windows/windows.list
packages+=(wine32:i386)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo); else
    echo "setup-windows: need root (or sudo) to install packages" >&2; exit 1
  fi
fi

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup-windows: adding the i386 architecture (for 32-bit wine)"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-windows: all packages present"
  exit 0
fi

echo "setup-windows: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup-windows: done"
