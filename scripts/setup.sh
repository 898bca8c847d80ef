#!/usr/bin/env bash
# Installs the Debian packages of the named lists in scripts/packages/ (default: build render), skipping what is
# already there. One list per purpose: build, render, perf, lv2-hosts, daw, reliability, windows, clap, install; and
# two that depend on the machine: wine32 (32-bit wine; adds dpkg's i386 architecture; only where the kernel runs
# 32-bit x86 programs) and emulation (qemu-user; only where it does not). Waits up to 10 minutes for another package
# manager's lock instead of failing. Usage: scripts/setup.sh [LIST...]   (as root, or with sudo available)
set -euo pipefail
cd "$(dirname "$0")/.."

lists=("$@")
[ ${#lists[@]} -gt 0 ] || lists=(build render)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq -o DPkg::Lock::Timeout=600)

packages=()
for list in "${lists[@]}"; do
  if [ "$list" = wine32 ] || [ "$list" = emulation ]; then
    runs_i386=$(cmake -P cmake/RunsI386.cmake 2>&1)
    if [ "$list" = wine32 ] && [ "$runs_i386" != yes ]; then echo "setup: no 32-bit wine: $runs_i386"; continue; fi
    if [ "$list" = emulation ] && [ "$runs_i386" = yes ]; then continue; fi
    if [ "$list" = wine32 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo[@]}" dpkg --add-architecture i386
    fi
  fi
  read -ra words <<< "$(sed 's/#.*//' "scripts/packages/$list.list" | tr '\n' ' ')"
  packages+=("${words[@]}")
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: ${lists[*]}: all packages present"
  exit 0
fi
echo "setup: installing ${missing[*]}"
log=$(mktemp)
# A mirror in the middle of a sync fails one list now and then: the install then goes on with the lists it has.
"${apt[@]}" update > "$log" 2>&1 < /dev/null || "${apt[@]}" update > "$log" 2>&1 < /dev/null || true
if ! "${apt[@]}" install -y --no-install-recommends "${missing[@]}" >> "$log" 2>&1 < /dev/null; then
  tail -n 20 "$log" >&2
  echo "setup: could not install ${missing[*]}" >&2
  exit 1
fi
rm -f "$log"
echo "setup: done"
