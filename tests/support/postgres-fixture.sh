#!/usr/bin/env bash
# Starts or stops the throwaway PostgreSQL server of the test suite, on 127.0.0.1 only.
#   postgres-fixture.sh start DIR PORT
#   postgres-fixture.sh stop DIR
# The server refuses to run as root, so as root it runs as the postgres user.
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

case "$action" in
start)
    # A server left over from an interrupted run goes first.
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" = 0 ] && chown postgres: "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; exit 1; }
    # Everybody else comes in unasked, but the people of the identity mode prove who they are,
    # as in an office.
    as_owner sed -i '0,/^local/s//host all +vimo_users 127.0.0.1\/32 scram-sha-256\nlocal/' "$dir/data/pg_hba.conf"
    # Test ports lie in the kernel's range for the local ports of outgoing connections, so a
    # connection of another program, open or just closed (TIME_WAIT, a minute), may hold this
    # one and the server cannot bind it: wait for it to come free rather than fail.
    deadline=$((SECONDS + 180))
    said=
    until as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null; do
        if ! grep -q "Address already in use" "$dir/server.log" || [ $SECONDS -ge $deadline ]; then
            cat "$dir/server.log" >&2
            exit 1
        fi
        [ -n "$said" ] || echo "port $port is held by another connection; waiting for it" >&2
        said=1
        : >"$dir/server.log"
        sleep 1
    done
    echo "PostgreSQL test server on 127.0.0.1:$port"
    ;;
stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    fi
    echo "PostgreSQL test server stopped"
    ;;
restart)
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w restart >/dev/null
    ;;
*)
    echo "usage: $0 start DIR PORT | stop DIR | restart DIR" >&2
    exit 2
    ;;
esac
