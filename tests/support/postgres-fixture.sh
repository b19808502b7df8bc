#!/usr/bin/env bash
# Starts or stops the throwaway PostgreSQL server of the test suite, on 127.0.0.1 only.
#   postgres-fixture.sh start DIR PORT [tls | gss KDC_DIR]
#   postgres-fixture.sh stop DIR
# tls: the server speaks TLS with a certificate for localhost and 127.0.0.1 from a CA of its
#   own (DIR/tls/ca.crt; DIR/tls/other-ca.crt signed nothing of it), and the people of the
#   identity mode come in over TLS only.
# gss: they come in by their Kerberos tickets only, over GSSAPI-encrypted links, each
#   principal mapped to its role by KDC_DIR/pg_ident.conf; the server's key is in KDC_DIR's
#   postgres.keytab (kerberos-fixture.sh makes both).
# The server refuses to run as root, so as root it runs as the postgres user. That user may
# not reach DIR (a clone inside /root or a home of mode 0700): its files then live in a
# private folder made for it under /tmp, and DIR is a link there. Callers that run programs
# as postgres give them the folder the link names.
set -euo pipefail

action=$1
dir=$2
port=${3:-}
mode=${4:-}
kdc=${5:-}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# A CA, a server certificate from it for localhost and 127.0.0.1, and another CA of the same
# name that signed nothing of this server's. Everybody may read them but the server's key.
make_certificates() {
    local folder=$1
    local key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
    mkdir -p "$folder"
    for ca in ca other-ca; do
        openssl req -x509 "${key[@]}" -days 3 -subj "/CN=Vimo test office CA" \
            -keyout "$folder/$ca.key" -out "$folder/$ca.crt" 2>/dev/null
    done
    openssl req -new "${key[@]}" -subj "/CN=localhost" \
        -keyout "$folder/server.key" -out "$folder/server.csr" 2>/dev/null
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n' \
        >"$folder/server.ext"
    openssl x509 -req -in "$folder/server.csr" -CA "$folder/ca.crt" -CAkey "$folder/ca.key" \
        -CAcreateserial -days 3 -extfile "$folder/server.ext" -out "$folder/server.crt" 2>/dev/null
    chmod 600 "$folder/server.key"
    chmod 755 "$folder"
    if [ "$(id -u)" = 0 ]; then chown -R postgres: "$folder"; fi
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
    # Everybody else comes in unasked, but the people of the identity mode prove who they are,
    # as in an office.
    people='host all +vimo_users 127.0.0.1/32 scram-sha-256'
    case "$mode" in
    tls)
        make_certificates "$real/tls"
        people='hostssl all +vimo_users 127.0.0.1/32 scram-sha-256\nhostnossl all +vimo_users 0.0.0.0/0 reject'
        printf "ssl = on\nssl_cert_file = '%s'\nssl_key_file = '%s'\n" \
            "$real/tls/server.crt" "$real/tls/server.key" | as_owner tee -a "$real/data/postgresql.conf" >/dev/null
        ;;
    gss)
        cp "$kdc/postgres.keytab" "$real/postgres.keytab"
        chmod 600 "$real/postgres.keytab"
        if [ "$(id -u)" = 0 ]; then chown postgres: "$real/postgres.keytab"; fi
        people='hostgssenc all +vimo_users 127.0.0.1/32 gss include_realm=1 map=vimo\nhost all +vimo_users 0.0.0.0/0 reject'
        as_owner tee -a "$real/data/pg_ident.conf" <"$kdc/pg_ident.conf" >/dev/null
        printf "krb_server_keyfile = 'FILE:%s'\n" "$real/postgres.keytab" \
            | as_owner tee -a "$real/data/postgresql.conf" >/dev/null
        ;;
    esac
    as_owner sed -i "0,/^local/s//${people//\//\\/}\nlocal/" "$real/data/pg_hba.conf"
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
