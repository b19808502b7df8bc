#!/usr/bin/env bash
# Builds the benchmarks and runs them all: one table on standard output, progress on standard
# error, the table also in BUILD_DIR/bench-work/table.md.
#   bench/run.sh [--quick] [--only STEP,...] [--ports PG BOUNCER] [--displays N]
# BUILD_DIR (default: build) is a configured build folder. Runs at low priority: the figures
# are for comparing with the reference in the same run, not for the machine's best.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$source_dir/build}
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S "$source_dir" -B "$build_dir" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
nice cmake --build "$build_dir" --target vimo_bench
export PYTHONPATH="$source_dir/tests"
exec nice -n 10 python3 "$source_dir/bench/suite.py" --build "$build_dir" "$@"
