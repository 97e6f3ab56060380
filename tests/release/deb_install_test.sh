#!/bin/sh
# The Debian package's own test, debian/tests (autopkgtest, on this system
# with the null server): the package installed as a user installs it, with
# its dependencies already there and no network, and vlvis run by an
# ordinary user under Xvfb. autopkgtest leaves the package installed; then
# `apt-get purge vlvis`, which must leave none of the package's files
# behind. Whatever happens, the package is purged again.
#   deb_install_test.sh DEB DSC
# DSC is the source package DEB was built from, whose debian/tests run.
# It needs root, and skips (status 77) without it, or where vlvis is
# installed already: a package it did not install it leaves alone.
set -u
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dsc=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
package_test_start "installing the package into the system takes root"
package_state() { dpkg-query -W -f='${db:Status-Status}' vlvis 2>/dev/null; }
package_gone() { [ -z "$(package_state)" ] || [ "$(package_state)" = not-installed ]; }
package_gone ||
    skip "the package vlvis is on this system already ($(package_state)); this test installs and purges it, so it leaves that one alone"

work=$(mktemp -d /tmp/vlvis-package-test.XXXXXX)
installed=
apt() { apt-get -q -y -o DPkg::Lock::Timeout=300 "$@" >"$work/apt.log" 2>&1 || { sed 's/^/  apt: /' "$work/apt.log"; return 1; }; }
clean_up() {
    if [ -n "$installed" ] && ! package_gone; then
        apt purge vlvis || echo "could not purge vlvis"
    fi
    rm -rf "$work"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

# The package's paths; which of its folders the system has before.
dpkg-deb -c "$deb" | awk '{ print $1, substr($6, 2) }' | sed 's|/$||' >"$work/paths"
folders_before=$(awk '$1 ~ /^d/ && $2 != "" { print $2 }' "$work/paths" | while read -r dir; do
    [ -d "$dir" ] && echo "$dir"; done)

installed=1
autopkgtest --output-dir "$work/autopkgtest" "$deb" "$dsc" -- null >"$work/autopkgtest.log" 2>&1
status=$?
sed 's/^/  | /' "$work/autopkgtest.log"
check "autopkgtest passes (status $status)" test "$status" -eq 0
check "vlvis is installed" test "$(package_state)" = installed

check "apt-get purge vlvis" apt purge vlvis
package_gone && installed=
check "vlvis is gone from dpkg's records ($(package_state))" package_gone
left=$(awk '$1 !~ /^d/ { print $2 }' "$work/paths" | while read -r file; do
    { [ -e "$file" ] || [ -L "$file" ]; } && echo "$file"; done
    awk '$1 ~ /^d/ && $2 != "" { print $2 }' "$work/paths" | while read -r dir; do
    [ -d "$dir" ] && ! printf '%s\n' "$folders_before" | grep -qxF "$dir" && echo "$dir"; done)
check "the purge left none of the package's files or folders (left: $(printf '%s' "$left" | tr '\n' ' '))" test -z "$left"

[ "$failures" -eq 0 ]
