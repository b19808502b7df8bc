#!/usr/bin/env bash
# Starts or stops the throwaway PostgreSQL server of the test suite, on 127.0.0.1 only.
#   postgres-fixture.sh start DIR PORT
#   postgres-fixture.sh stop DIR
# The server refuses to run as root, so as root it runs as the postgres user. That user may
# not reach DIR (a clone inside /root or a home of mode 0700): its files then live in a
# private folder made for it under /tmp, and DIR is a link there. Callers that run programs
# as postgres give them the folder the link names.
set -euo pipefail

action=$1
dir=$2
port=${3:-}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# The server's folder, the link resolved.
real=$(readlink -f "$dir" 2>/dev/null || echo "$dir")

case "$action" in
start)
    # A server left over from an interrupted run goes first.
    if [ -f "$real/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$real/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    if [ -L "$dir" ] && [[ "$real" == /tmp/vimo-pg.* ]]; then
        rm -rf "$real"
    fi
    rm -rf "$dir"
    if [ "$(id -u)" = 0 ]; then
        mkdir -p "$(dirname "$dir")"
        real=$(mktemp -d /tmp/vimo-pg.XXXXXX)
        chown postgres: "$real"
        ln -s "$real" "$dir"
    else
        mkdir -p "$dir"
        real=$dir
    fi
    as_owner "$bin/initdb" -D "$real/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$real/initdb.log" 2>&1 \
        || { cat "$real/initdb.log" >&2; exit 1; }
    # Test ports lie in the kernel's range for the local ports of outgoing connections, so a
    # connection of another program, open or just closed (TIME_WAIT, a minute), may hold this
    # one and the server cannot bind it: wait for it to come free rather than fail.
    deadline=$((SECONDS + 180))
    said=
    until as_owner "$bin/pg_ctl" -D "$real/data" -l "$real/server.log" -w -t 60 \
        -o "-p $port -k $real -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null; do
        if ! grep -q "Address already in use" "$real/server.log" || [ $SECONDS -ge $deadline ]; then
            cat "$real/server.log" >&2
            exit 1
        fi
        [ -n "$said" ] || echo "port $port is held by another connection; waiting for it" >&2
        said=1
        : >"$real/server.log"
        sleep 1
    done
    echo "PostgreSQL test server on 127.0.0.1:$port"
    ;;
stop)
    if [ -f "$real/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$real/data" -m fast -w stop >/dev/null
    fi
    # The folder under /tmp goes; its logs stay where the link was.
    if [[ "$real" == /tmp/vimo-pg.* ]]; then
        if [ -L "$dir" ]; then
            rm "$dir"
            mkdir -p "$dir"
            cp "$real"/*.log "$dir"/ 2>/dev/null || true
        fi
        rm -rf "$real"
    fi
    echo "PostgreSQL test server stopped"
    ;;
restart)
    as_owner "$bin/pg_ctl" -D "$real/data" -m fast -w restart >/dev/null
    ;;
*)
    echo "usage: $0 start DIR PORT | stop DIR | restart DIR" >&2
    exit 2
    ;;
esac
