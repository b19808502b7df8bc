#!/usr/bin/env bash
# Starts or stops the suite's virtual desktop: an X server with a tray host, for the tests
# that drive the program as a person would.
#   desktop-fixture.sh start DISPLAY_NUMBER STATE_DIR
#   desktop-fixture.sh stop STATE_DIR
set -euo pipefail

action=$1

wait_for() { # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

stop_pid() {
    local file=$1
    [ -f "$file" ] || return 0
    local pid
    pid=$(cat "$file")
    kill "$pid" 2>/dev/null || true
    wait_for 10 bash -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null || true
    rm -f "$file"
}

case "$action" in
start)
    number=$2
    dir=$3
    mkdir -p "$dir"
    stop_pid "$dir/trayer.pid"
    stop_pid "$dir/xvfb.pid"
    # A lock left by a server that died goes; a display another server still runs on is not
    # taken over.
    lock="/tmp/.X${number}-lock"
    if [ -f "$lock" ]; then
        owner=$(tr -d ' ' <"$lock")
        if [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null; then
            echo "display :$number is in use by process $owner" >&2
            exit 1
        fi
        rm -f "$lock" "/tmp/.X11-unix/X${number}"
    fi
    # -noreset: the server would otherwise reset when its last client leaves, the readiness
    # probe below, and refuse the tray host that connects during the reset.
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    wait_for 30 xdpyinfo -display ":$number" || { cat "$dir/xvfb.log" >&2; exit 1; }
    DISPLAY=":$number" trayer --edge bottom --align right --height 28 --widthtype pixel \
        --width 200 --transparent false >"$dir/trayer.log" 2>&1 &
    echo $! >"$dir/trayer.pid"
    # trayer takes the tray selection as it makes its window.
    wait_for 30 env DISPLAY=":$number" xdotool search --class trayer \
        || { cat "$dir/trayer.log" >&2; exit 1; }
    echo "virtual desktop on :$number with a tray host"
    ;;
stop)
    dir=$2
    stop_pid "$dir/trayer.pid"
    stop_pid "$dir/xvfb.pid"
    echo "virtual desktop stopped"
    ;;
*)
    echo "usage: $0 start DISPLAY_NUMBER STATE_DIR | stop STATE_DIR" >&2
    exit 2
    ;;
esac
