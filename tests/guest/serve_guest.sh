#!/bin/sh
# Starts (start) or stops (stop) the guest that serves every 32-bit program
# of a test run where they run in the qemu guest: one boot, and Wine's
# processes kept up between programs, instead of both for each program.
# Where 32-bit programs run natively it only says so.
#   serve_guest.sh start|stop SERVE_DIR SHARED_DIR
# The guest also stops once the test runner that started it has ended.
set -u
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 3 ] || { echo "usage: serve_guest.sh start|stop SERVE_DIR SHARED_DIR" >&2; exit 2; }
way=$("$here/../../cmake/wine-run.sh" --win32 --way)
case $way in
*natively*)
    echo "32-bit programs: $way; no guest to serve"
    exit 0
    ;;
esac
case $1 in
start)
    started=$(date +%s)
    "$here/../../cmake/guest/guest-run.sh" --serve "$2" --owner "$PPID" --share "$3" || exit
    echo "32-bit programs: $way; one guest serves them all, up in $(($(date +%s) - started)) s"
    ;;
stop) "$here/../../cmake/guest/guest-run.sh" --stop "$2" ;;
*) echo "usage: serve_guest.sh start|stop SERVE_DIR SHARED_DIR" >&2; exit 2 ;;
esac
