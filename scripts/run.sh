#!/usr/bin/env bash
# Sets the machine up (scripts/setup-debian.sh) and starts Vimo. Without a display it starts
# a virtual one with a tray host first and says how to look at it.
#   run.sh [vimo arguments...]
set -euo pipefail

script_dir=$(cd "$(dirname "$0")" && pwd)
bash "$script_dir/setup-debian.sh"

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "${BUILD_DIR:-$script_dir/../build}/CMakeCache.txt")

started=()
stop_started() {
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
}
trap stop_started EXIT

if [ -z "${DISPLAY:-}" ]; then
    display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    started+=($!)
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$display"
    trayer --edge bottom --align right --height 28 --widthtype pixel --width 200 >/dev/null 2>&1 &
    started+=($!)
    echo "No display was set: started Xvfb on $DISPLAY with a tray host (trayer)."
    echo "Look at it with: DISPLAY=$DISPLAY import -window root vimo.png"
fi

"$prefix/bin/vimo" "$@"
