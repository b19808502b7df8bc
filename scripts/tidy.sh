#!/usr/bin/env bash
# Runs clang-tidy, with the checks of .clang-tidy, over the project's own C++ files (src/,
# odbcsetup/, tests/, bench/; not the generated ones) from a build's compile_commands.json.
# Any finding fails.
#   tidy.sh            every file
#   tidy.sh FILE...    only these; a header stands for the source file beside it
# BUILD_DIR names the build (default build-dev, the dev preset's). One without
# compile_commands.json is configured to write it, a missing one with the dev preset; of the
# program only what moc and uic generate is built.
set -euo pipefail

files=()
for file in "$@"; do
    files+=("$(realpath -m "$file")")
done
cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=$(realpath -m "${BUILD_DIR:-build-dev}")
start=$SECONDS

if [ ! -f "$build_dir/compile_commands.json" ]; then
    if [ -f "$build_dir/CMakeCache.txt" ]; then
        cmake -B "$build_dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    else
        # Moc and uic need nothing built before them; without this each waits for its
        # target's libraries.
        cmake --preset dev -B "$build_dir" -DCMAKE_AUTOGEN_ORIGIN_DEPENDS=OFF >/dev/null
    fi
fi
mapfile -t autogen < <(ninja -C "$build_dir" -t targets all \
    | sed -n 's|^\([^/:]*_autogen\): phony$|\1|p' | sort -u)
cmake --build "$build_dir" --target "${autogen[@]}" >/dev/null

# The files to check, each once, as they appear in the build's database.
mapfile -t sources < <(python3 - "$build_dir/compile_commands.json" "$source_dir" "${files[@]}" <<'PY'
import json
import re
import sys

database, source_dir, wanted = sys.argv[1], sys.argv[2], sys.argv[3:]
own = re.compile(re.escape(source_dir) + "/(src|odbcsetup|tests|bench)/")
compiled = {entry["file"] for entry in json.load(open(database))}
if not wanted:
    wanted = sorted(path for path in compiled if own.match(path))
for path in dict.fromkeys(re.sub(r"\.h$", ".cpp", path) for path in wanted):
    if path in compiled:
        print(path)
    else:
        print(f"tidy: skipping {path}, which the build does not compile", file=sys.stderr)
PY
)
[ ${#sources[@]} -gt 0 ] || { echo "tidy: nothing to check"; exit 0; }

# run-clang-tidy takes patterns on the paths.
patterns=()
for file in "${sources[@]}"; do
    patterns+=("^${file//./\\.}\$")
done
run-clang-tidy -quiet -p "$build_dir" -j "$(nproc)" -header-filter="^$source_dir/(src|odbcsetup|tests|bench)/" "${patterns[@]}" \
    >"$build_dir/tidy.log" 2>&1 || status=$?
grep -v -e '^clang-tidy' -e 'warnings\? generated\.$' "$build_dir/tidy.log" || true
if [ "${status:-0}" -ne 0 ]; then
    echo "tidy: FAILED: findings above (the whole output in $build_dir/tidy.log)"
    exit 1
fi
echo "clang-tidy: ${#sources[@]} files clean in $((SECONDS - start)) s"
