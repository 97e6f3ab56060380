#!/bin/sh
# Boots the guest that runs 32-bit programs where this machine's kernel
# refuses them, and runs the i386 Wine loader in it: its output on the right
# stream, an exit status, a file on a share, a variable and awkward
# arguments come back; then a command that outlives its time limit.
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

# The loader prints its usage and fails without a program to run.
# shellcheck disable=SC2016 # expanded in the guest
VLVIS_PROBE="it's \$HOME" "$guest_run" --timeout 120 --share "$work/share" --env VLVIS_PROBE -- sh -c '
    /usr/lib/wine/wine --version
    /usr/lib/wine/wine
    status=$?
    uname -r >share/kernel
    printf "%s|%s|%s\n" "$VLVIS_PROBE" "$1" "$PWD" >share/seen
    exit $((status + 40))' sh "two  words" >out 2>err
status=$?
cat out err
check "the loader's status plus 40 comes back" [ "$status" -eq 41 ]
check "its version alone on stdout" grep -qx 'wine-[0-9].*' out
check "nothing else on stdout" [ "$(wc -l <out)" -eq 1 ]
check "its usage on stderr" grep -q 'Usage: wine' err
check "it ran under the guest's own kernel" \
    [ "linux-image-$(cat share/kernel 2>/dev/null)" = "$(cut -d' ' -f1 "$guest_dir/kernel")" ]
check "variable, argument and folder reach the command" \
    [ "$(cat share/seen 2>/dev/null)" = "it's \$HOME|two  words|$work" ]

"$guest_run" --timeout 2 -- sleep 600 >out 2>err
status=$?
check "a command past its time limit ends with status 124" [ "$status" -eq 124 ]
check "and one line saying so" [ "$(grep -c 'time limit' err)" -eq 1 ]

[ "$failures" -eq 0 ]
