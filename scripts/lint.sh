#!/usr/bin/env bash
# Checks the Python runs of tests/ and bench/ with flake8 (its settings in .flake8).
#   lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files -- '*.py')
flake8 "${files[@]}"
echo "flake8: ${#files[@]} Python files clean"
