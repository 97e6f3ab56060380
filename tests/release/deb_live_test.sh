#!/bin/sh
# The Debian package's vlvis live, on what the desktop plays, on real sound
# servers: the package unpacked (dpkg-deb -x; the launcher finds its files
# beside itself, so the system is left alone), an ordinary user of the
# test's own, and on PulseAudio and then on PipeWire (sound_servers.sh),
# `vlvis --seconds S --capture DIR` run under Xvfb with no file, through
# the events of a desktop:
#   (a) the default output switched from speakers to headphones,
#   (b) the server killed and started again,
#   (c) the default output unloaded, the server then choosing headphones,
# each followed by a sweep played on the default output of then. After
# each, the frames must move: frames timed (frames.tsv) after the event,
# with different pictures among them. The run must end with status 0.
#   deb_live_test.sh DEB
# It needs root for the user, and skips (status 77) without it.
# Sounds are played a second at a time until the frames move, for up to
# half a minute after an event (five minutes at the start, while vlvis
# makes its Wine prefix): no bound here is meant to be reached.
set -u

# The user's part: one server, one run. Called by the root part below as
#   deb_live_test.sh --run pulseaudio|pipewire VLVIS FOLDER
# it prints its checks and ends with their failures' count.
if [ "${1:-}" = --run ]; then
    kind=$2 vlvis=$3 out=$4
    here=$(cd "$(dirname "$0")" && pwd)
    # shellcheck source=tests/checks.sh
    . "$here/../checks.sh"
    # shellcheck source=tests/release/sound_servers.sh
    . "$here/sound_servers.sh"
    run=
    # vlvis ends by itself; only a failed run leaves it to be ended.
    trap '[ -n "$run" ] && kill "$run" 2>/dev/null && wait "$run"; sound_stop' EXIT
    trap 'exit 130' INT TERM
    frames=$out/frames
    rm -rf "$frames"
    mkdir -p "$frames"
    seconds=60
    sound_start "$kind" || exit 1

    # frames_after MICROSECONDS: the frames rendered after that moment,
    # but the last, which may be being written. From frames.tsv; without
    # it, from the files' modification times (an older vishost).
    frames_after() {
        if [ -f "$frames/frames.tsv" ]; then
            awk -F '\t' -v after="$1" '$2 > after { print $1 }' "$frames/frames.tsv" | sed '$d'
        else
            (cd "$frames" && find . -name 'frame-*.png' -newermt "@${1%??????}.${1#"${1%??????}"}" | sort | sed '$d')
        fi
    }
    # pictures_after MICROSECONDS: how many different pictures among them.
    pictures_after() {
        frames_after "$1" | (cd "$frames" && xargs -r sha256sum) | cut -c 1-64 | sort -u | wc -l
    }
    now() { date +%s%6N; }
    running() { kill -0 "$run" 2>/dev/null; }
    # moves WHAT MICROSECONDS TRIES: a second of the sweep played on the
    # default output, again until three different pictures come after
    # the moment, or vlvis ends, or TRIES seconds of it have played.
    moves() {
        [ "$2" -gt 0 ] || { check "on $kind, $1: the frames move (the event failed)" false; return; }
        tries=0
        while [ "$(pictures_after "$2")" -lt 3 ] && [ "$tries" -lt "$3" ] && running; do
            sound_play 1 || sleep 1
            tries=$((tries + 1))
        done
        sleep 0.5
        pictures=$(pictures_after "$2")
        failed=$failures
        check "on $kind, $1: the frames move ($(frames_after "$2" | wc -l) frames after it, $pictures different pictures; $tries s of sound played on $(sound_default_sink))" \
            test "$pictures" -ge 3
        [ "$failures" -eq "$failed" ] || sound_log
        printf '%s\t%s\n' "$1" "$2" >>"$out/events.tsv"
        # The needles back at rest, or near, before the next event.
        sleep 2
    }

    "$vlvis" --seconds "$seconds" --capture "$frames" >"$out/run.txt" 2>&1 &
    run=$!
    started=$(now)
    moves "from the start" "$started" 300
    # Each event's moment is when it is over: the new default in place,
    # the server back.
    switched=0 restarted=0 unloaded=0
    sound_switch_default && switched=$(now)
    check "on $kind: headphones made the default output" test "$switched" -gt 0
    moves "after the default output was switched to headphones" "$switched" 30
    sound_restart && restarted=$(now)
    check "on $kind: the server killed and started again" test "$restarted" -gt 0
    moves "after the server was killed and came back" "$restarted" 30
    sound_unload_default && unloaded=$(now)
    check "on $kind: the default output unloaded, $(sound_default_sink) the default now" test "$unloaded" -gt 0
    moves "after the default output was unloaded" "$unloaded" 30
    check "on $kind: the events were over before the run's end (of $seconds s)" running

    # The run's own end: --seconds counts from the player's start, before
    # the first frame; a busy machine has the time until it the bound.
    status=
    for _ in $(seq $(((seconds + 300) * 10))); do
        running || break
        sleep 0.1
    done
    if running; then
        check "on $kind: vlvis ended by itself" false
    else
        wait "$run"
        status=$?
        check "on $kind: vlvis ran until its end, status 0 (status $status)" test "$status" -eq 0
    fi
    run=
    check "on $kind: each frame's time in frames.tsv" test -s "$frames/frames.tsv"
    # The user is told of an outage once, however long it lasts.
    said=$(grep -c 'no sound server answers' "$out/run.txt")
    check "on $kind: one line about the server's outage ($said)" test "$said" -eq 1
    sed 's/^/  | /' "$out/run.txt"
    exit "$failures"
fi

deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/checks.sh
. "$here/../checks.sh"
package_test_start "the test makes an ordinary user of its own to run vlvis as, which takes root"
# shellcheck source=scripts/xvfb.sh
. "$here/../../scripts/xvfb.sh"

user=vlvis-live-$$
home=$(mktemp -d /tmp/vlvis-live-test.XXXXXX)
chmod 755 "$home"
user_made=
clean_up() {
    if [ -n "$user_made" ]; then
        # The user's Wine server ends every Wine process of the user's; the
        # sound servers end with the user's part; anything left is killed.
        runuser -u "$user" -- env WINEPREFIX="$home/.local/share/vlvis" /usr/lib/wine/wineserver -k 2>/dev/null
        for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.2; done
        pkill -KILL -u "$user" 2>/dev/null
        for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.2; done
        userdel "$user" || echo "could not remove the test's user $user"
    fi
    # shellcheck disable=SC2119 # Wine's server in the prefix is the user's, ended above
    stop_private_display
    rm -rf "$home"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

# The package's files, and this test's scripts, where the user reads them.
check "the package unpacked" dpkg-deb -x "$deb" "$home/package"
mkdir -p "$home/tests/release"
cp "$here/../checks.sh" "$home/tests/"
cp "$here/sound_servers.sh" "$here/deb_live_test.sh" "$home/tests/release/"
useradd --home-dir "$home" --no-create-home --shell /bin/sh --user-group "$user" && user_made=1
check "an ordinary user of the test's own" test -n "$user_made"
chown -R "$user:$user" "$home"
[ "$failures" -eq 0 ] || exit 1

start_private_display

# One Wine prefix for both: the first run makes it.
for kind in pulseaudio pipewire; do
    echo "== vlvis live on $kind"
    mkdir -p "$home/$kind"
    chown "$user:$user" "$home/$kind"
    runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" \
        sh "$home/tests/release/deb_live_test.sh" --run "$kind" "$home/package/usr/bin/vlvis" "$home/$kind"
    status=$?
    check "vlvis live on $kind, through the three events ($status checks failed)" test "$status" -eq 0
done

[ "$failures" -eq 0 ]
