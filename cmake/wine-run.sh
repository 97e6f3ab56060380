#!/bin/sh
# Runs one Windows program under Wine in a prefix of the project's own.
#   wine-run.sh [--win32] [--timeout S] [--wait] PREFIX PROGRAM [ARGUMENTS...]
#   wine-run.sh [--win32] --prepare PREFIX
#   wine-run.sh --win32 --way
#
# Without --win32 the program runs under 64-bit Wine. With it, under 32-bit
# Wine in a win32 prefix: natively where this kernel runs i386 code, else in
# a qemu guest whose kernel does (cmake/guest/guest-run.sh), with PREFIX's
# parent folder shared writable so that what is made there stays.
# VLVIS_WIN32_WAY=native or =guest forces a way; --way prints the one taken.
#
# PREFIX is made on first use (--prepare makes it and runs nothing) and
# reused; the user's ~/.wine is never touched. Where VLVIS_WINE_TEMPLATE
# names a folder, the first prefix of a width made is copied there untouched,
# and later new prefixes of that width start as copies of it: seconds
# natively, minutes emulated, saved each time.
#
# Without a DISPLAY a private Xvfb serves the run. A program still running
# after S seconds (default VLVIS_WINE_TIMEOUT; 0 or unset: no limit) is
# killed, and the run fails with status 124. In the guest, where everything
# takes about 15 times as long, S is stretched 15 times; the program gets the
# factor in VLVIS_TIME_STRETCH (1 elsewhere), so that the time limits inside
# it stretch alike. Where VLVIS_GUEST_SERVER names a guest served for a
# whole test run (cmake/guest/guest-run.sh --serve), the program runs in it;
# there the prefix's Wine processes and its desktop stay up from one program
# to the next, held by VLVIS_DESKTOP_KEEPER (cmake/guest/desktop_keeper.c),
# where that names it. --wait also waits for every
# process the program started in the prefix, and for the registry to be
# written back to the prefix's files. Status 125: Wine could not be run.
set -u
here=$(cd "$(dirname "$0")" && pwd)

width=64
timeout=${VLVIS_WINE_TIMEOUT:-0}
print_way=
prepare_only=
wait_all=
while [ $# -gt 0 ]; do
    case $1 in
        --win32) width=32; shift ;;
        --timeout) timeout=$2; shift 2 ;;
        --way) print_way=1; shift ;;
        --prepare) prepare_only=1; shift ;;
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
    native=1
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
if [ -n "$native" ]; then stretch=1; else stretch=15; fi
# Inside the guest the runner that started it has set the factor.
[ -n "${VLVIS_IN_GUEST:-}" ] || export VLVIS_TIME_STRETCH="$stretch"
if [ -n "$print_way" ]; then
    echo "$way"
    exit 0
fi
if [ $# -lt 1 ] || { [ $# -lt 2 ] && [ -z "$prepare_only" ]; }; then
    echo "usage: wine-run.sh [--win32] [--timeout S] [--wait] PREFIX PROGRAM [ARGUMENTS...]" >&2
    exit 2
fi

prefix=$1
shift
# Wine wants an absolute prefix; a relative one would be set up nowhere.
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
mkdir -p "$prefix" || fail "cannot make the prefix folder $prefix"
template=${VLVIS_WINE_TEMPLATE:-}

# A prefix is ready once its marker names its width.
ready() { [ "$(cat "$1/.vlvis-ready" 2>/dev/null)" = "win$width" ]; }
save_template() {
    ready "$template" && return 0
    rm -rf "$template.new" && cp -a "$prefix" "$template.new" && rm -rf "$template" && mv "$template.new" "$template"
}
# One maker of a prefix at a time, under its lock; later runs only see the
# marker.
if [ -n "$template" ] && ! ready "$prefix" && ready "$template"; then
    exec 9>"$prefix.lock"
    flock 9
    if ! ready "$prefix"; then
        rm -rf "$prefix"
        cp -a "$template" "$prefix" || fail "could not copy $template to $prefix"
    fi
    exec 9>&-
fi

if [ -z "$native" ]; then
    share=$(dirname "$prefix")
    # The guest gets a display of its own: the host's is out of its reach.
    in_guest() {
        guest_limit=$1
        shift
        # shellcheck disable=SC2086
        env -u DISPLAY VLVIS_IN_GUEST=1 VLVIS_WINE_TEMPLATE= \
            "$here/guest/guest-run.sh" $guest_limit --share "$share" --env VLVIS_IN_GUEST --env VLVIS_TIME_STRETCH \
            --env LANG --env LC_ALL --env LC_CTYPE --env VLVIS_DESKTOP_KEEPER \
            -- "$here/wine-run.sh" --win32 "$@"
    }
    if ! ready "$prefix"; then
        echo "wine-run: $way: making the prefix $prefix" >&2
        in_guest "--timeout 1800" --prepare "$prefix" || fail "could not make the prefix $prefix"
        [ -z "$template" ] || save_template || echo "wine-run: could not keep a copy in $template" >&2
    fi
    [ -n "$prepare_only" ] && exit 0
    echo "wine-run: $way" >&2
    timeout=$((timeout * stretch))
    guest_limit=
    [ "$timeout" = 0 ] || guest_limit="--timeout $((timeout + 300))"
    in_guest "$guest_limit" --timeout "$timeout" $wait_all "$prefix" "$@"
    exit
fi

export WINEPREFIX="$prefix"
export WINESERVER="$server"
export WINEDEBUG=-all
# Wine names Unix files in the locale's character set: under the C locale a
# name outside ASCII, such as a playlist's entry may have, can be neither
# made nor opened. C.UTF-8 comes with every Debian and Ubuntu libc.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
    unset LC_ALL
    export LC_CTYPE=C.UTF-8
fi
# No crash dialogs, no menu entries, no Mono or Gecko prompts. On a machine
# without a sound card Wine's ALSA driver has nothing to play to and only
# prints a screenful of errors, so it is left out there; a sound server
# (PulseAudio, PipeWire) is reached through Wine's driver for it either way.
no_alsa=
ls /dev/snd/pcm* >/dev/null 2>&1 || no_alsa=";winealsa.drv=d"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;winedbg.exe=d;mscoree=;mshtml=$no_alsa"

if [ -z "${DISPLAY:-}" ]; then
    # shellcheck source=scripts/xvfb.sh
    . "$here/../scripts/xvfb.sh"
    start_private_display || fail "Xvfb did not start"
    trap 'stop_private_display "$prefix"' EXIT
    trap 'exit 130' INT TERM
fi

make_prefix() {
    ready "$prefix" && return 0
    "$wine" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits about 2 s whenever a window is
    # hidden unless its windows are unmanaged.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || return 1
    "$server" -w
    echo "win$width" >"$prefix/.vlvis-ready"
}
if ! ready "$prefix"; then
    exec 9>"$prefix.lock"
    flock 9
    make_prefix || fail "could not set up the prefix $prefix"
    [ -z "$template" ] || save_template || echo "wine-run: could not keep a copy in $template" >&2
    exec 9>&-
fi
[ -n "$prepare_only" ] && exit 0

# In a served guest a program of the prefix holds its desktop open, which
# keeps the Wine server and its processes up too: the next program starts
# in about a tenth of the time. Keeping it takes Wine's own 10 s wait for
# its desktop process out of every program's start; the keeper's start
# waits as long as it takes, up to 5 minutes.
keeper_dir=
holding_desktop() {
    [ -s "$keeper_dir/pid" ] && kill -0 "$(cat "$keeper_dir/pid")" 2>/dev/null &&
        grep -q '^ready' "$keeper_dir/out" 2>/dev/null
}
release_desktop() {
    [ -s "$keeper_dir/feeder" ] && kill "$(cat "$keeper_dir/feeder")" 2>/dev/null
    rm -f "$keeper_dir/pid" "$keeper_dir/feeder"
}
hold_desktop() {
    holding_desktop && return 0
    release_desktop
    mkdir -p "$keeper_dir" || return 1
    since=$(date +%s)
    tries=0
    while [ $(($(date +%s) - since)) -lt 300 ]; do
        tries=$((tries + 1))
        rm -f "$keeper_dir/in"
        mkfifo "$keeper_dir/in" || return 1
        # Sessions of their own: they outlive this program's, which a time
        # limit ends with everything in it.
        setsid "$wine" "$VLVIS_DESKTOP_KEEPER" <"$keeper_dir/in" >"$keeper_dir/out" 2>&1 &
        echo $! >"$keeper_dir/pid"
        setsid sleep infinity >"$keeper_dir/in" &
        echo $! >"$keeper_dir/feeder"
        while kill -0 "$(cat "$keeper_dir/pid")" 2>/dev/null && ! grep -q '^ready' "$keeper_dir/out"; do
            sleep 0.2
        done
        if holding_desktop; then
            echo "wine-run: the desktop of $prefix is held open, up after $(($(date +%s) - since)) s (try $tries)" >&2
            return 0
        fi
        release_desktop
        sleep 1
    done
    sed 's/^/wine-run: /' "$keeper_dir/out" >&2
    return 1
}
if [ -n "${VLVIS_GUEST_SERVED:-}" ] && [ -n "${VLVIS_DESKTOP_KEEPER:-}" ]; then
    keeper_dir=${TMPDIR:-/tmp}/vlvis-desktop.$(printf '%s' "$prefix" | cksum | cut -d' ' -f1)
    hold_desktop || fail "Wine's desktop in $prefix did not come up within 5 minutes"
fi

timeout -k 10 "$timeout" "$wine" "$@"
status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
    echo "wine-run: $1 did not end within $timeout s and was killed" >&2
    "$server" -k 2>/dev/null
    status=124
elif [ -n "$wait_all" ]; then
    [ -z "$keeper_dir" ] || release_desktop
    "$server" -w
fi
exit $status
