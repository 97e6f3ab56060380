#!/bin/sh
# Boots the guest that runs 32-bit programs where this machine's kernel
# refuses them, and runs the i386 Wine loader in it: its output on the right
# stream, an exit status, a file on a share, a variable and awkward
# arguments come back; then a command that outlives its time limit. Both
# ways: a guest booted for the one command, and a guest served for many,
# which must also stop when told and when the process that started it ends.
#   guest_smoke_test.sh WORKDIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
guest_run=$here/../../cmake/guest/guest-run.sh
guest_dir=${VLVIS_GUEST_DIR:-$here/../../build/guest}
work=$1
rm -rf "$work"
mkdir -p "$work/share"
cd "$work" || exit 1

# shellcheck source=tests/checks.sh
. "$here/../checks.sh"

# The way's name, whether commands find themselves in a served guest, then
# the served guest's folder (empty: none).
smoke() {
    way=$1 served=$2
    export VLVIS_GUEST_SERVER="$3"
    rm -f share/*
    # The loader prints its usage and fails without a program to run.
    # shellcheck disable=SC2016 # expanded in the guest
    VLVIS_PROBE="it's \$HOME" "$guest_run" --timeout 120 --share "$work/share" --env VLVIS_PROBE -- sh -c '
        /usr/lib/wine/wine --version
        /usr/lib/wine/wine
        status=$?
        uname -r >share/kernel
        printf "%s|%s|%s|%s\n" "$VLVIS_PROBE" "$1" "$PWD" "${VLVIS_GUEST_SERVED:-}" >share/seen
        exit $((status + 40))' sh "two  words" >out 2>err
    status=$?
    cat out err
    check "$way: the loader's status plus 40 comes back" [ "$status" -eq 41 ]
    check "$way: its version alone on stdout" grep -qx 'wine-[0-9].*' out
    check "$way: nothing else on stdout" [ "$(wc -l <out)" -eq 1 ]
    check "$way: its usage on stderr" grep -q 'Usage: wine' err
    check "$way: it ran under the guest's own kernel" \
        [ "linux-image-$(cat share/kernel 2>/dev/null)" = "$(cut -d' ' -f1 "$guest_dir/kernel")" ]
    check "$way: variable, argument and folder reach the command" \
        [ "$(cat share/seen 2>/dev/null)" = "it's \$HOME|two  words|$work|$served" ]

    "$guest_run" --timeout 2 -- sleep 600 >out 2>err
    status=$?
    check "$way: a command past its time limit ends with status 124" [ "$status" -eq 124 ]
    check "$way: and one line saying so" [ "$(grep -c 'time limit' err)" -eq 1 ]
}
alive() { [ -s "$1/pid" ] && kill -0 "$(cat "$1/pid")" 2>/dev/null; }

smoke "a guest for the command" "" ""

"$guest_run" --serve "$work/served" --share "$work/share" >out 2>err
status=$?
cat out err
check "a served guest starts (status $status)" [ "$status" -eq 0 ]
qemu=$(cat "$work/served/pid" 2>/dev/null)
smoke "the served guest" 1 "$work/served"
check "the served guest ran every command" [ "$(cat "$work/served/pid" 2>/dev/null)" = "$qemu" ]
"$guest_run" --stop "$work/served"
check "the served guest stops when told" sh -c "! kill -0 ${qemu:-0} 2>/dev/null"

sleep 600 &
owner=$!
"$guest_run" --serve "$work/owned" --owner "$owner" >/dev/null 2>&1
check "a served guest starts for another process" alive "$work/owned"
qemu=$(cat "$work/owned/pid" 2>/dev/null)
kill "$owner"
wait "$owner" 2>/dev/null
for _ in $(seq 150); do kill -0 "${qemu:-0}" 2>/dev/null || break; sleep 0.2; done
check "and stops once that process has ended" sh -c "! kill -0 ${qemu:-0} 2>/dev/null"
"$guest_run" --stop "$work/owned"

[ "$failures" -eq 0 ]
