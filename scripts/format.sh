#!/usr/bin/env bash
# Formats every C++ file of the project with its .clang-format.
#   format.sh          rewrites the files
#   format.sh --check  changes nothing; fails and names each file that differs
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror "${files[@]}"
    echo "formatting: ${#files[@]} C++ files as .clang-format wants them"
else
    clang-format -i "${files[@]}"
fi
