#!/usr/bin/env bash
# Reads a built Tessaloom.dll back and fails on any mismatch with what a Windows host relies on: machine type, DLL
# flag, exactly the exports VSTPluginMain and main (one function, undecorated), imports from system DLLs only, and the
# version block (numbers and strings, the version being the one of project(VERSION) in CMakeLists.txt).
# Usage: scripts/check-dll.sh 32|64 [path to Tessaloom.dll]   (default: build-win32/ or build-win64/Tessaloom.dll)
set -euo pipefail
cd "$(dirname "$0")/.."

arch="${1:-}"
case "$arch" in
  32) prefix=i686-w64-mingw32; format=pei-i386; machine=014c; magic='010b'; dll="${2:-build-win32/Tessaloom.dll}" ;;
  64) prefix=x86_64-w64-mingw32; format=pei-x86-64; machine=8664; magic='020b'; dll="${2:-build-win64/Tessaloom.dll}" ;;
  *) echo "usage: $0 32|64 [Tessaloom.dll]" >&2; exit 2 ;;
esac
if [ ! -f "$dll" ]; then
  echo "check-dll: $dll does not exist (run scripts/build-windows.sh first)" >&2
  exit 1
fi

version="$(sed -n 's/^project(Tessaloom VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "check-dll: cannot read a four-part version from project() in CMakeLists.txt (got '$version')" >&2
  exit 1
fi
version_numbers="${version//./, }" # as windres prints them: 1, 0, 0, 2

failures=0
fail() { echo "check-dll: $dll: $*" >&2; failures=$((failures + 1)); }

headers="$("$prefix-objdump" -p "$dll")" || { echo "check-dll: $dll: not a PE file that objdump reads" >&2; exit 1; }
resources="$("$prefix-windres" -J coff -O rc -i "$dll" 2>/dev/null)" || resources=""
[ -n "$resources" ] || fail "windres reads no resources"

# Machine type, from the file header itself: the PE header's offset is at 0x3c, the machine field follows "PE\0\0".
pe_offset=$(od -An -tu4 -j 60 -N 4 "$dll" | tr -d ' ')
actual_machine=$(od -An -tx2 -j $((pe_offset + 4)) -N 2 "$dll" | tr -d ' ')
[ "$actual_machine" = "$machine" ] || fail "machine type 0x$actual_machine, expected 0x$machine"
grep -q "file format $format\$" <<<"$headers" || fail "not in $format format"
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || fail "optional header magic is not $magic"

# The DLL flag of the file header's characteristics.
characteristics=$(sed -n 's/^Characteristics 0x\([0-9a-fA-F]*\)$/\1/p' <<<"$headers")
if [ -z "$characteristics" ] || [ $((0x$characteristics & 0x2000)) -eq 0 ]; then
  fail "the DLL flag (0x2000) is not set in characteristics 0x$characteristics"
fi

# Exactly two exported names, undecorated, both at the same address.
exports="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' <<<"$headers" | sort | tr '\n' ' ')"
[ "$exports" = "VSTPluginMain main " ] || fail "exports [${exports% }], expected exactly [VSTPluginMain main]"
addresses="$(sed -n 's/^[[:space:]]*\[ *[0-9]*\] +base\[ *[0-9]*\] *\([0-9a-f]*\) Export RVA$/\1/p' <<<"$headers" |
  sort -u | wc -l)"
[ "$addresses" -eq 1 ] || fail "main and VSTPluginMain are not one function ($addresses export addresses)"

# Imports: Windows' own DLLs only, no compiler runtime (libgcc, libstdc++, winpthread).
system_dlls=" kernel32.dll msvcrt.dll ntdll.dll user32.dll advapi32.dll ucrtbase.dll "
imports="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")"
[ -n "$imports" ] || fail "imports nothing at all (the import table was not read)"
for import in $imports; do
  lower="$(tr '[:upper:]' '[:lower:]' <<<"$import")"
  [[ "$system_dlls" == *" $lower "* ]] || fail "imports $import, which is not a system DLL"
done

# The version block.
grep -q "^ FILEVERSION $version_numbers\$" <<<"$resources" || fail "FILEVERSION is not $version_numbers"
grep -q "^ PRODUCTVERSION $version_numbers\$" <<<"$resources" || fail "PRODUCTVERSION is not $version_numbers"
grep -q "^ FILETYPE 0x2\$" <<<"$resources" || fail "FILETYPE is not VFT_DLL (0x2)"
for entry in "FileVersion=$version" "ProductVersion=$version" "ProductName=Tessaloom" "CompanyName=Vornmark" \
  "OriginalFilename=Tessaloom.dll"; do
  key="${entry%%=*}"
  value="${entry#*=}"
  grep -Fxq "      VALUE \"$key\", \"$value\"" <<<"$resources" || fail "version string $key is not \"$value\""
done

if [ "$failures" -ne 0 ]; then
  echo "check-dll: $dll: $failures mismatch(es)" >&2
  exit 1
fi
echo "check-dll: $dll: $format, DLL, exports [VSTPluginMain main] at one address, imports [$(echo $imports)]," \
  "version $version, Tessaloom by Vornmark"
