#!/usr/bin/env bash
# Installs what the Windows builds and their tests need on Debian 12 (amd64), skipping what is already there: the
# packages of scripts/packages-windows/*.list, among them 32-bit wine, for which dpkg must know the i386 architecture.
# Usage: scripts/setup-windows.sh    (as root, or with sudo available)
set -euo pipefail
cd "$(dirname "$0")"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup-windows: adding the i386 architecture (for 32-bit wine)"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
bash setup.sh packages-windows
