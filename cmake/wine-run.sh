#!/bin/sh
# Runs one Windows program under Wine in a prefix of the project's own.
#   wine-run.sh [--win32] [--timeout S] [--wait] PREFIX PROGRAM [ARGUMENTS...]
#   wine-run.sh --win32 --way
#
# Without --win32 the program runs under 64-bit Wine. With it, under 32-bit
# Wine in a win32 prefix: natively where this kernel runs i386 code, else in
# a qemu guest whose kernel does (cmake/guest/guest-run.sh), with PREFIX's
# parent folder shared writable so that the prefix is made only once.
# VLVIS_WIN32_WAY=native or =guest forces a way; --way prints the one taken.
#
# PREFIX is created on first use and reused; the user's ~/.wine is never
# touched. Without a DISPLAY a private Xvfb serves this run. A program still
# running after S seconds (default VLVIS_WINE_TIMEOUT; 0 or unset: no limit)
# is killed, and the run fails with status 124. --wait also waits for every
# process the program started in the prefix, and for the registry to be
# written back to the prefix's files.
set -u
here=$(cd "$(dirname "$0")" && pwd)

width=64
timeout=${VLVIS_WINE_TIMEOUT:-0}
print_way=
wait_all=
while [ $# -gt 0 ]; do
    case $1 in
        --win32) width=32; shift ;;
        --timeout) timeout=$2; shift 2 ;;
        --way) print_way=1; shift ;;
        --wait) wait_all=--wait; shift ;;
        *) break ;;
    esac
done

fail() {
    echo "wine-run: $*" >&2
    exit 125
}

if [ "$width" = 64 ]; then
    for candidate in /usr/lib/wine/wine64 wine64 wine; do
        if command -v "$candidate" >/dev/null 2>&1; then wine=$candidate; break; fi
    done
    [ -n "${wine:-}" ] || fail "no 64-bit Wine found (Debian package wine64)"
    server=$(dirname "$(command -v "$wine")")/wineserver
    [ -x "$server" ] || server=wineserver
    way="64-bit Wine"
else
    wine=/usr/lib/wine/wine
    server=/usr/lib/wine/wineserver32
    [ -x "$wine" ] || fail "no 32-bit Wine found (Debian package wine32:i386)"
    export WINEARCH=win32
    # The loader is itself an i386 program: whether it starts tells whether
    # this kernel runs i386 code.
    if "$wine" --version >/dev/null 2>&1; then native=1; else native=; fi
    case ${VLVIS_WIN32_WAY:-} in
        native) [ -n "$native" ] || fail "VLVIS_WIN32_WAY=native, but this kernel refuses i386 code" ;;
        guest) native= ;;
        '') ;;
        *) fail "VLVIS_WIN32_WAY must be native or guest, not '$VLVIS_WIN32_WAY'" ;;
    esac
    if [ -n "$native" ]; then
        way="32-bit Wine natively (this kernel runs i386 code)"
    elif [ -n "${VLVIS_IN_GUEST:-}" ]; then
        fail "the guest's kernel refuses i386 code"
    elif [ "${VLVIS_WIN32_WAY:-}" = guest ]; then
        way="32-bit Wine in a qemu guest (VLVIS_WIN32_WAY=guest)"
    else
        way="32-bit Wine in a qemu guest (this kernel refuses i386 code)"
    fi
fi
if [ -n "$print_way" ]; then
    echo "$way"
    exit 0
fi
[ $# -ge 2 ] || { echo "usage: wine-run.sh [--win32] [--timeout S] [--wait] PREFIX PROGRAM [ARGUMENTS...]" >&2; exit 2; }

prefix=$1
shift
# Wine wants an absolute prefix; a relative one would be set up nowhere.
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac

if [ "$width" = 32 ] && [ -z "$native" ]; then
    echo "wine-run: $way" >&2
    share=$(dirname "$prefix")
    mkdir -p "$share"
    # Emulated, everything takes about 15 times as long; the guest's own
    # limit leaves room for booting and for making the prefix. The guest
    # gets a display of its own: the host's is out of its reach.
    timeout=$((timeout * 15))
    guest_limit=
    [ "$timeout" = 0 ] || guest_limit="--timeout $((timeout + 600))"
    # shellcheck disable=SC2086
    exec env -u DISPLAY VLVIS_IN_GUEST=1 \
        "$here/guest/guest-run.sh" $guest_limit --share "$share" --env VLVIS_IN_GUEST -- \
        "$here/wine-run.sh" --win32 --timeout "$timeout" $wait_all "$prefix" "$@"
fi
[ "$width" = 32 ] && [ -n "${VLVIS_WINE_SAY_WAY:-}" ] && echo "wine-run: $way" >&2

export WINEPREFIX="$prefix"
export WINESERVER="$server"
export WINEDEBUG=-all
# No crash dialogs, no menu entries, no Mono or Gecko prompts.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;winedbg.exe=d;mscoree=;mshtml="

if [ -z "${DISPLAY:-}" ]; then
    # shellcheck source=scripts/xvfb.sh
    . "$here/../scripts/xvfb.sh"
    start_private_display || fail "Xvfb did not start"
    trap 'stop_private_display "$prefix"' EXIT
    trap 'exit 130' INT TERM
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

timeout -k 10 "$timeout" "$wine" "$@"
status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
    echo "wine-run: $1 did not end within $timeout s and was killed" >&2
    "$server" -k 2>/dev/null
    status=124
elif [ -n "$wait_all" ]; then
    "$server" -w
fi
exit $status
