# shellcheck shell=sh
# Sourced by the project's scripts: gives them a private X display.
# start_private_display starts Xvfb on a free display number and exports
# DISPLAY; stop_private_display ends Wine's processes in the given prefixes
# and then the display.
xvfb_pid=

start_private_display() {
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    if [ ! -s "$fdfile" ]; then
        echo "Xvfb did not start" >&2
        rm -f "$fdfile"
        return 1
    fi
    DISPLAY=:$(head -n 1 "$fdfile")
    export DISPLAY
    rm -f "$fdfile"
}

# Runs from EXIT traps under set -e, so nothing here may fail the script.
stop_private_display() {
    for prefix in "$@"; do
        if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver_command -k 2>/dev/null || true; fi
    done
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    fi
    return 0
}

# WINESERVER, where set, is the server of the prefix's own width.
wineserver_command() {
    if [ -n "${WINESERVER:-}" ]; then
        "$WINESERVER" "$@"
    elif [ -x /usr/lib/wine/wineserver ]; then
        /usr/lib/wine/wineserver "$@"
    else
        wineserver "$@"
    fi
}
