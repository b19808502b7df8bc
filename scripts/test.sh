#!/usr/bin/env bash
# Sets the machine up (scripts/setup-debian.sh), building with warnings as errors, and runs
# the whole test suite through CTest. The tests start and stop their own PostgreSQL server
# on 127.0.0.1, port VIMO_TEST_PG_PORT (default 25438).
set -euo pipefail

script_dir=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$script_dir/../build}

bash "$script_dir/setup-debian.sh" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DVIMO_TEST_PG_PORT="${VIMO_TEST_PG_PORT:-25438}"

cd "$build_dir"
ctest --output-on-failure -j "$(nproc)"
