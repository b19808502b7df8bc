#!/usr/bin/env bash
# Builds the Debian package from the build tree and installs it as dpkg would, into a fresh
# root with a private odbcinst.ini: its files, its dependencies, its driver entry, a purge.
#   check-package.sh BUILD_DIR WORK_DIR
set -euo pipefail
# dpkg wants ldconfig and start-stop-daemon, which an ordinary user's PATH leaves out.
export PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin"

build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

fail() { echo "package: FAILED: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/vimo_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no vimo_*.deb in $work"
echo "package: built $(basename "$deb")"

listing=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
for path in /usr/bin/vimo /usr/lib/vimo/libvimoodbcsetup.so /usr/share/vimo/odbcinst-entry.ini \
    /usr/share/applications/vimo.desktop /etc/xdg/autostart/vimo.desktop \
    /usr/share/mime/packages/vimo.xml /usr/share/icons/hicolor/48x48/apps/vimo.png \
    /usr/share/icons/hicolor/256x256/mimetypes/application-x-vimo.png \
    /usr/share/man/man1/vimo.1.gz /usr/share/doc/vimo/copyright /usr/share/vimo/postgresql-schema.sql \
    /usr/share/vimo/postgresql-identity.sql; do
    grep -qxF "$path" <<<"$listing" || fail "the package lacks $path"
done

depends=$(dpkg-deb -f "$deb" Depends)
for package in libsqliteodbc odbcinst libodbc2 libodbcinst2 libqt6widgets6 libqt6dbus6 libpq5; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
# Every dependency is one this Debian release has; apt only simulates.
apt-get -s -q install "$deb" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log" >&2; fail "apt cannot satisfy the dependencies"; }
grep -q '^Conf vimo\|^Inst vimo' "$work/apt.log" || { cat "$work/apt.log" >&2; fail "apt would not install vimo"; }

# dpkg into a fresh root; its maintainer scripts run here, on the private odbcinst.ini.
root=$work/root
odbc=$work/odbc
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$odbc"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available" "$odbc/odbcinst.ini"
export ODBCSYSINI=$odbc
# An ordinary user owns the fresh root; dpkg then only needs to be told so.
not_root=()
[ "$(id -u)" = 0 ] || not_root=(--force-not-root)
in_root() {
    dpkg --root="$root" --force-script-chrootless --force-depends "${not_root[@]}" \
        --log=/dev/null "$@"
}
in_root -i "$deb" >"$work/dpkg-install.log" 2>&1 \
    || { cat "$work/dpkg-install.log" >&2; fail "dpkg -i"; }

setup=$(sed -n '/^\[Vimo SQLite\]/,/^\[/s/^Setup=//p' "$odbc/odbcinst.ini")
driver=$(sed -n '/^\[Vimo SQLite\]/,/^\[/s/^Driver=//p' "$odbc/odbcinst.ini")
[ "$setup" = /usr/lib/vimo/libvimoodbcsetup.so ] || fail "the entry's Setup is '$setup'"
[ -f "$root$setup" ] || fail "the entry's set-up library is not installed: $setup"
[ -f "$driver" ] || fail "the entry's driver $driver is not on this machine"
echo "package: installed; driver entry \"Vimo SQLite\" names $setup"

# Reinstalling keeps one registration.
in_root -i "$deb" >>"$work/dpkg-install.log" 2>&1 || fail "dpkg -i again"
count=$(sed -n '/^\[Vimo SQLite\]/,/^\[/s/^UsageCount=//p' "$odbc/odbcinst.ini")
[ "$count" = 1 ] || fail "after a reinstall the entry's usage count is $count"

"$root/usr/bin/vimo" --version | grep -q '^vimo ' || fail "the installed vimo does not answer --version"
desktop-file-validate "$root/usr/share/applications/vimo.desktop" "$root/etc/xdg/autostart/vimo.desktop" \
    || fail "desktop-file-validate"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/vimo.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page: $warnings"

if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
    cat "$work/lintian.log"
    ! grep -q '^E:' "$work/lintian.log" || fail "lintian reports errors"
fi

in_root --purge vimo >"$work/dpkg-purge.log" 2>&1 || { cat "$work/dpkg-purge.log" >&2; fail "dpkg --purge"; }
! grep -q '^\[Vimo SQLite\]' "$odbc/odbcinst.ini" || fail "the purge left the driver entry"
[ ! -e "$root/usr/bin/vimo" ] || fail "the purge left /usr/bin/vimo"
echo "package: purged; driver entry removed"
