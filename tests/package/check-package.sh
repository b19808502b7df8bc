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
    /usr/share/metainfo/org.example.vimo.metainfo.xml \
    /usr/share/mime/packages/vimo.xml /usr/share/icons/hicolor/48x48/apps/vimo.png \
    /usr/share/icons/hicolor/256x256/mimetypes/application-x-vimo.png \
    /usr/share/man/man1/vimo.1.gz /usr/share/man/de/man1/vimo.1.gz /usr/share/doc/vimo/copyright /usr/share/vimo/postgresql-schema.sql \
    /usr/share/vimo/postgresql-identity-role.sql /usr/share/vimo/postgresql-identity.sql \
    /usr/share/doc/vimo/administration.md.gz /usr/share/doc/vimo/user-guide.md.gz; do
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

# dpkg into a fresh root; its maintainer scripts run here and, told the root by DPKG_ROOT,
# work on the root's odbcinst.ini. Where they did not, the entry would land in the decoy.
root=$work/root
odbc=$root/etc
decoy=$work/decoy
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$decoy"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available" "$decoy/odbcinst.ini"
export ODBCSYSINI=$decoy
# An ordinary user owns the fresh root; dpkg then only needs to be told so.
not_root=()
[ "$(id -u)" = 0 ] || not_root=(--force-not-root)
in_root() {
    dpkg --root="$root" --force-script-chrootless --force-depends "${not_root[@]}" \
        --log=/dev/null "$@"
}
in_root -i "$deb" >"$work/dpkg-install.log" 2>&1 \
    || { cat "$work/dpkg-install.log" >&2; fail "dpkg -i"; }
[ ! -s "$decoy/odbcinst.ini" ] || fail "the maintainer scripts wrote outside DPKG_ROOT"

entry() { sed -n "/^\[Vimo SQLite\]/,/^\[/s/^$1=//p" "$odbc/odbcinst.ini"; }
setup=$(entry Setup)
driver=$(entry Driver)
[ "$setup" = /usr/lib/vimo/libvimoodbcsetup.so ] || fail "the entry's Setup is '$setup'"
[ -f "$root$setup" ] || fail "the entry's set-up library is not installed: $setup"
[ -f "$driver" ] || fail "the entry's driver $driver is not on this machine"
echo "package: installed; driver entry \"Vimo SQLite\" names $setup"

# An upgrade or reinstall keeps the entry as the administrator left it, and one registration.
sed -i '/^\[Vimo SQLite\]/a Threading=0' "$odbc/odbcinst.ini"
in_root -i "$deb" >>"$work/dpkg-install.log" 2>&1 || fail "dpkg -i again"
count=$(entry UsageCount)
[ "$count" = 1 ] || fail "after a reinstall the entry's usage count is $count"
[ "$(entry Threading)" = 0 ] || fail "a reinstall undid the administrator's change to the entry"

"$root/usr/bin/vimo" --version | grep -q '^vimo ' || fail "the installed vimo does not answer --version"
desktop-file-validate "$root/usr/share/applications/vimo.desktop" "$root/etc/xdg/autostart/vimo.desktop" \
    || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.vimo.metainfo.xml" \
    || fail "appstreamcli validate"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/vimo.1.gz" \
    "$root/usr/share/man/de/man1/vimo.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page: $warnings"

# Debian's hardening flags reach the binaries; fortify needs an optimised build.
lintian -I --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -q '^E:' "$work/lintian.log" || fail "lintian reports errors"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
unhardened=$(grep -o 'hardening-[a-z-]*' "$work/lintian.log" | sort -u || true)
[ "$build_type" != Debug ] || unhardened=$(grep -v '^hardening-no-fortify-functions$' <<<"$unhardened" || true)
[ -z "$unhardened" ] || fail "lintian: $unhardened"

in_root --purge vimo >"$work/dpkg-purge.log" 2>&1 || { cat "$work/dpkg-purge.log" >&2; fail "dpkg --purge"; }
! grep -q '^\[Vimo SQLite\]' "$odbc/odbcinst.ini" || fail "the purge left the driver entry"
[ ! -s "$decoy/odbcinst.ini" ] || fail "the purge worked outside DPKG_ROOT"
[ ! -e "$root/usr/bin/vimo" ] || fail "the purge left /usr/bin/vimo"
echo "package: purged; driver entry removed"
