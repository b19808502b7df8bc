#!/usr/bin/env bash
# Runs the store-side benchmark programs once at toy sizes and fails when one of them fails or
# sees a wrong result: the benchmarks must keep working as the program changes under them.
# No figure is judged.
#   smoke.sh BUILD_DIR PSQLODBC_DRIVER sqlite|postgres [PG_PORT]
set -euo pipefail

build=$1
psqlodbc=$2
store=$3
port=${4:-}
bin=$build/bench
work=$(mktemp -d /tmp/vimo-bench-smoke-XXXXXX)
trap 'rm -rf "$work"' EXIT

{ cat "$build/odbcinst-entry.ini"; printf '\n[PostgreSQL ANSI]\nDriver=%s\n' "$psqlodbc"; } \
    >"$work/odbcinst.ini"
export ODBCSYSINI=$work ODBCINI=$work/odbc.ini HOME=$work XDG_CONFIG_HOME=$work TZ=UTC

if [ "$store" = sqlite ]; then
    where=sqlite:$work/store.vmo
    : >"$work/store.vmo"
    printf '[VIMO]\nDriver=Vimo SQLite\nDatabase=%s\nNoCreat=1\nTimeout=5000\n' \
        "$work/store.vmo" >"$ODBCINI"
else
    database=vimo_bench_smoke
    conninfo="host=127.0.0.1 port=$port user=postgres"
    psql_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)/psql
    "$psql_bin" "$conninfo dbname=postgres" -qc "DROP DATABASE IF EXISTS $database WITH (FORCE)" \
        -c "CREATE DATABASE $database" >/dev/null
    where="postgres:$conninfo dbname=$database"
    printf '[VIMO]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=%s\nDatabase=%s\nUsername=postgres\nPassword=\nConnSettings=SET client_encoding TO '"'UTF8'"'\n' \
        "$port" "$database" >"$ODBCINI"
fi

check() { # check WHAT OUTPUT AWK-CONDITION
    if ! awk -F'\t' "$3 { found = 1 } END { exit !found }" <<<"$2"; then
        echo "$1: unexpected output:" >&2
        echo "$2" >&2
        exit 1
    fi
    echo "$1: ok"
}

# Each query's result is checked inside the program, on both paths.
out=$("$bin/vimo_bench_store" queries "$where" 300 5)
check "queries" "$out" '$1 == "query" && $2 == "'"$store"'" && $4 == "no" && $5 == "delete"'

"$bin/vimo_bench_store" make "$where" 0 USER001
out=$("$bin/vimo_bench_store" post "$where" odbc 0.3 0)
check "posting through the program" "$out" '$1 == "post" && $3 > 0 && $5 == 0'
out=$("$bin/vimo_bench_store" post "$where" capi 0.3 0)
check "posting through the C API" "$out" '$1 == "post" && $3 > 0 && $5 == 0'

if [ "$store" = sqlite ]; then
    "$bin/vimo_bench_store" make "$where" 5 ANN
    out=$(QT_QPA_PLATFORM=offscreen "$bin/vimo_bench_store" poll-loop 500 ANN 10)
    check "polling in process" "$out" '$1 == "polls" && $4 == 5 && $5 == 5 && $6 == 0'
    out=$("$bin/vimo_bench_copies" 4 1 3600)
    check "copies on one file" "$out" '$1 == "copies" && $2 == 4 && $3 == 0 && $8 == 0 && $9 == 0 && $11 == 0'
else
    server=$(pgrep -o -f "postgres.*-p $port" || echo 0)
    # Copies 3 to 7 of an office of 8, as one of several processes: connected, then started.
    out=$(echo | "$bin/vimo_bench_clients" "${where#postgres:}" 5 1 3600 "$server" 0 "" "" 0 3/8)
    check "clients on one server, ready" "$out" '$1 == "ready" && $2 == 5'
    check "clients on one server" "$out" '$1 == "clients" && $3 == 5 && $4 == 0 && $5 == 0 && $12 == 0'
    "$psql_bin" "$conninfo dbname=$database" -q -v ON_ERROR_STOP=1 \
        -f "$(dirname "$0")/../resources/postgresql-schema.sql" 2>/dev/null
    out=$("$bin/vimo_bench_clients" "${where#postgres:}" 5 1 3600 "$server" 0 "${where#postgres:}")
    check "clients with listening links" "$out" '$1 == "clients" && $3 == 5 && $4 == 0 && $12 == 0 && $20 == 5'
fi
