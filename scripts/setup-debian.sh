#!/usr/bin/env bash
# Makes a Debian 12 machine ready to run Vimo, as root: installs the packages that are
# missing, builds, installs, and registers our ODBC driver entry.
#   setup-debian.sh [extra CMake configure arguments...]
# BUILD_DIR (default: build) names the build folder.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$source_dir/build}

packages=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-base-dev-tools
    unixodbc-dev odbcinst libsqlite3-dev libsqliteodbc odbc-postgresql postgresql
    xvfb xauth x11-utils trayer xdotool imagemagick fonts-dejavu-core shared-mime-info
    clang-format clang-tidy
    python3 flake8
    # tests/faults: the shell that locks a data file, a share of ext4 on a loop device
    sqlite3 e2fsprogs mount util-linux
    # the notification test runs a session bus of its own
    dbus-daemon
    weston xwayland desktop-file-utils appstream lintian man-db dpkg-dev
    # translations: Qt Linguist's tools to build them, Qt's own German for its buttons
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    # tests/e2e: a screen reader's view of the notes through AT-SPI
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    # bench/: the engines' C APIs, the X watcher (TestNoteWindows_x11's too), and a pooler of
    # its own to measure through
    libpq-dev libxcb1-dev pkg-config pgbouncer
    # a share without change events, two FUSE mounts of one folder (wakeup test, bench/)
    bindfs fuse
    # the failover runs' replicated cluster (tests/harness/cluster.py), and the proxy that
    # bench/failover.py measures beside it
    patroni python3-etcd etcd-server haproxy
    # the secured links' runs: certificates for a TLS server, a Kerberos realm of their own
    openssl krb5-kdc krb5-admin-server krb5-user
    # the optional wake-ups through an MQTT broker: its client library's header, and a broker
    # for the wakeup test and bench/
    libmosquitto-dev mosquitto
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir"
cmake --install "$build_dir"

# The installed entry names the installed set-up library; -r replaces an older entry.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build_dir/CMakeCache.txt")
odbcinst -i -d -r -f "$prefix/share/vimo/odbcinst-entry.ini" >/dev/null
echo "Vimo is installed in $prefix; driver entry \"Vimo SQLite\" registered."
