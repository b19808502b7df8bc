#!/usr/bin/env bash
# Starts or stops the test suite's own Kerberos realm: an MIT KDC on 127.0.0.1 with a principal
# for each person, lower case, and one for the PostgreSQL service on localhost.
#   kerberos-fixture.sh start DIR PORT NAME...
#   kerberos-fixture.sh stop DIR
# It leaves in DIR what the others take: krb5.conf (for KRB5_CONFIG), postgres.keytab for the
# server, name.keytab for each person's kinit, and pg_ident.conf, whose map "vimo" takes each
# principal to the role of the name in capitals.
set -euo pipefail

action=$1
dir=$2
realm=VIMO.TEST

stop_kdc() {
    if [ -f "$dir/kdc.pid" ]; then
        kill "$(cat "$dir/kdc.pid")" 2>/dev/null || true
        rm -f "$dir/kdc.pid"
    fi
}

case "$action" in
start)
    port=$3
    shift 3
    for tool in krb5kdc kdb5_util kadmin.local; do
        command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] \
            || { echo "$tool not found: install krb5-kdc and krb5-admin-server" >&2; exit 1; }
    done
    export PATH=$PATH:/usr/sbin
    stop_kdc
    rm -rf "$dir"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    cat >"$dir/krb5.conf" <<EOF
[libdefaults]
    default_realm = $realm
    dns_lookup_kdc = false
    dns_lookup_realm = false
    dns_canonicalize_hostname = false
    rdns = false
    udp_preference_limit = 1
[realms]
    $realm = {
        kdc = 127.0.0.1:$port
    }
[domain_realm]
    localhost = $realm
EOF
    cat >"$dir/kdc.conf" <<EOF
[kdcdefaults]
    kdc_listen = 127.0.0.1:$port
    kdc_tcp_listen = 127.0.0.1:$port
[realms]
    $realm = {
        database_name = $dir/principal
        key_stash_file = $dir/stash
        acl_file = $dir/kadm5.acl
    }
[logging]
    kdc = FILE:$dir/kdc.log
EOF
    : >"$dir/kadm5.acl"
    export KRB5_CONFIG=$dir/krb5.conf KRB5_KDC_PROFILE=$dir/kdc.conf
    kdb5_util create -s -r "$realm" -P "master-$RANDOM$RANDOM" >"$dir/setup.log" 2>&1 \
        || { cat "$dir/setup.log" >&2; exit 1; }
    admin() { kadmin.local -r "$realm" -q "$1" >>"$dir/setup.log" 2>&1 || { cat "$dir/setup.log" >&2; exit 1; }; }
    admin "addprinc -randkey postgres/localhost"
    admin "ktadd -k $dir/postgres.keytab postgres/localhost"
    : >"$dir/pg_ident.conf"
    for name in "$@"; do
        principal=${name,,}
        admin "addprinc -randkey $principal"
        admin "ktadd -k $dir/$principal.keytab $principal"
        echo "vimo $principal@$realm $name" >>"$dir/pg_ident.conf"
    done
    krb5kdc -r "$realm" -P "$dir/kdc.pid"
    # Up once it hands out a ticket.
    for _ in $(seq 1 100); do
        if KRB5CCNAME="FILE:$dir/probe.cc" kinit -k -t "$dir/postgres.keytab" postgres/localhost 2>/dev/null; then
            rm -f "$dir/probe.cc"
            echo "Kerberos realm $realm on 127.0.0.1:$port"
            exit 0
        fi
        sleep 0.1
    done
    cat "$dir/kdc.log" >&2
    exit 1
    ;;
stop)
    stop_kdc
    echo "Kerberos realm stopped"
    ;;
*)
    echo "usage: $0 start DIR PORT NAME... | stop DIR" >&2
    exit 2
    ;;
esac
