#!/usr/bin/env bash
# The lint gates, run by ctest -L lint (and the format check by .githooks/pre-commit on staged files).
#   scripts/lint.sh format [files...]   clang-format 14 check of the project's own C++ files (or the files given)
#   scripts/lint.sh tidy BUILD-DIR      clang-tidy 14 with .clang-tidy over the core folders' sources
# Format: every C++ file of the project's own. Tidy: the core folders (dsp, effect, host, modulation, parameters).
set -euo pipefail
cd "$(dirname "$0")/.."
core=(dsp effect host modulation parameters)
case "${1:-}" in
  format)
    shift
    if [ $# -eq 0 ]; then mapfile -t files < <(git ls-files -- '*.cpp' '*.h'); else files=("$@"); fi
    [ ${#files[@]} -eq 0 ] || clang-format-14 --dry-run -Werror "${files[@]}" ;;
  tidy)
    mapfile -t files < <(git ls-files -- "${core[@]/%//*.cpp}")
    clang-tidy-14 -p "${2:?build folder with compile_commands.json}" --quiet "${files[@]}" ;;
  *) echo "usage: $0 format [files...] | tidy BUILD-DIR" >&2; exit 2 ;;
esac
