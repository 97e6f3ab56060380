#!/bin/sh
# Runs one Windows program under 64-bit Wine in the project's own prefix.
#   wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
# PREFIX is created on first use and reused. Without a DISPLAY an Xvfb is
# started for this run and stopped afterwards. The user's ~/.wine is never
# touched.
set -u

prefix=$1
shift
# Wine wants an absolute prefix; a relative one would be set up nowhere.
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac

for candidate in /usr/lib/wine/wine64 wine64 wine; do
    if command -v "$candidate" >/dev/null 2>&1; then wine=$candidate; break; fi
done
if [ -z "${wine:-}" ]; then
    echo "wine-run: no 64-bit Wine found (Debian package wine64)" >&2
    exit 127
fi
server=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$server" ] || server=wineserver

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No crash dialogs, no menu entries, no Mono or Gecko prompts. On a machine
# without a sound card Wine's ALSA driver has nothing to play to and only
# prints a screenful of errors, so it is left out there; a sound server
# (PulseAudio, PipeWire) is reached through Wine's driver for it either way.
no_alsa=
ls /dev/snd/pcm* >/dev/null 2>&1 || no_alsa=";winealsa.drv=d"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;winedbg.exe=d;mscoree=;mshtml=$no_alsa"

xvfb_pid=
stop_display() {
    if [ -n "$xvfb_pid" ]; then
        "$server" -k 2>/dev/null
        "$server" -w 2>/dev/null
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
if [ -z "${DISPLAY:-}" ]; then
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    trap stop_display EXIT
    trap 'exit 130' INT TERM
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    DISPLAY=:$(head -n 1 "$fdfile")
    export DISPLAY
    rm -f "$fdfile"
fi

# One creation at a time; later runs only see the marker.
mkdir -p "$prefix"
if [ ! -f "$prefix/.vlvis-ready" ]; then
    (
        flock 9
        if [ ! -f "$prefix/.vlvis-ready" ]; then
            "$wine" wineboot -i >/dev/null 2>&1
            # Without a window manager Wine waits about 2 s whenever a window
            # is hidden unless its windows are unmanaged.
            if "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1; then
                "$server" -w
                touch "$prefix/.vlvis-ready"
            else
                echo "wine-run: could not set up the prefix $prefix" >&2
            fi
        fi
    ) 9>"$prefix.lock"
fi

"$wine" "$@"
status=$?
exit $status
