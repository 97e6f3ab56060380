# shellcheck shell=sh
# Sourced by the shell tests: check DESCRIPTION COMMAND... runs the command
# and prints "ok" or "FAIL" with the description; $failures counts the fails.
failures=0
check() {
    what=$1
    shift
    if "$@"; then printf 'ok   %s\n' "$what"; else printf 'FAIL %s\n' "$what"; failures=$((failures + 1)); fi
}
