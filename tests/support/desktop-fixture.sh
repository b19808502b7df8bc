#!/usr/bin/env bash
# Starts or stops the suite's virtual desktop: an X server with a tray host (or without one,
# as GNOME has none), for the tests that drive the program as a person would.
#   desktop-fixture.sh start DISPLAY_NUMBER STATE_DIR [no-tray]
#   desktop-fixture.sh tray DISPLAY_NUMBER STATE_DIR     (adds the tray host later)
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

start_tray() { # start_tray DISPLAY_NUMBER STATE_DIR
    local attempt pid
    # WORKAROUND: on a busy machine trayer now and then fails to open a display that is
    # serving other clients ("cannot open display"); it ends at once, and a second try works.
    for attempt in 1 2 3; do
        DISPLAY=":$1" trayer --edge bottom --align right --height 28 --widthtype pixel \
            --width 200 --transparent false >"$2/trayer.log" 2>&1 &
        pid=$!
        echo $pid >"$2/trayer.pid"
        # trayer takes the tray selection as it makes its window.
        wait_for 30 bash -c "env DISPLAY=':$1' xdotool search --class trayer || ! kill -0 $pid" \
            || { cat "$2/trayer.log" >&2; exit 1; }
        kill -0 $pid 2>/dev/null && return 0
        cat "$2/trayer.log" >&2
    done
    exit 1
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
    if [ "${4:-}" = no-tray ]; then
        echo "virtual desktop on :$number without a tray host"
        exit 0
    fi
    start_tray "$number" "$dir"
    echo "virtual desktop on :$number with a tray host"
    ;;
tray)
    start_tray "$2" "$3"
    echo "tray host on :$2"
    ;;
stop)
    dir=$2
    stop_pid "$dir/trayer.pid"
    stop_pid "$dir/xvfb.pid"
    echo "virtual desktop stopped"
    ;;
*)
    echo "usage: $0 start DISPLAY_NUMBER STATE_DIR [no-tray] | tray DISPLAY_NUMBER STATE_DIR | stop STATE_DIR" >&2
    exit 2
    ;;
esac
