#!/usr/bin/env bash
# Installs what the Windows builds and their tests need on Debian 12 (amd64), skipping what is already there: the
# packages of scripts/packages-windows/*.list and, where the kernel runs 32-bit x86 programs, 32-bit wine (for which
# dpkg must know the i386 architecture).
# Usage: scripts/setup-windows.sh    (as root, or with sudo available)
set -euo pipefail
cd "$(dirname "$0")"
. ./machine.sh

bash setup.sh packages-windows
if ! runs_i386; then
  echo "setup-windows: no 32-bit wine: $i386_reason"
  exit 0
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup-windows: adding the i386 architecture (for 32-bit wine)"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
bash setup.sh packages-wine32
