# shellcheck shell=sh
# Sourced by the shell tests: check DESCRIPTION COMMAND... runs the command
# and prints "ok" or "FAIL" with the description; $failures counts the fails.
failures=0
check() {
    what=$1
    shift
    if "$@"; then printf 'ok   %s\n' "$what"; else printf 'FAIL %s\n' "$what"; failures=$((failures + 1)); fi
}

# skip REASON: the test cannot run here; ctest counts status 77 as skipped.
skip() {
    echo "skipped: $*"
    exit 77
}

# package_test_start REASON: the tests that install or run the Debian
# package as another user need root (skipped without it, saying REASON),
# and run one at a time on a machine: another checkout's would purge ours.
package_test_start() {
    [ "$(id -u)" -eq 0 ] || skip "$1 (CI runs this test as root)"
    exec 9>/run/lock/vlvis-package-test.lock
    flock -w 900 9 || { echo "FAIL another package test holds /run/lock/vlvis-package-test.lock"; exit 1; }
}
