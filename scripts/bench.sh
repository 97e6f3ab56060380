#!/bin/sh
# Builds and runs the benchmarks: the level model natively, both renderers
# under 64-bit Wine on a private display, the stand-in player's frame
# pacing with every frame captured, on an idle machine and with the other
# core kept busy, and the player on long files: the time to its first frame
# and its peak memory for a one-minute and a ten-hour file, MP3 and WAV, on
# both widths, and its pacing while it streams. They report figures and
# never fail on time; run them on an otherwise idle machine.
#   scripts/bench.sh [frames per module, default 2000] [pacing seconds, default 30]
#   scripts/bench.sh --pacing [seconds, default 30]     the pacing benchmark alone
#   scripts/bench.sh --streaming [seconds, default 30]  the long files alone
#   scripts/bench.sh --desktop [DEB]    the package's vlvis live on PulseAudio
#                                       and PipeWire: CPU, latency and its end
#                                       (as root: it runs as a user of its own)
# With VISHOST_BEFORE set to a folder holding win64/ and win32/ builds of
# vishost.exe and vlvis003.dll, the long files are also played by those,
# for a comparison with an earlier version.
set -eu
cd "$(dirname "$0")/.."

pacing_only=
streaming_only=
desktop_only=
desktop_deb=
frames=2000
seconds=30
case ${1:-} in
    --pacing) pacing_only=1; seconds=${2:-30} ;;
    --streaming) streaming_only=1; seconds=${2:-30} ;;
    --desktop) desktop_only=1; desktop_deb=${2:-} ;;
    *) frames=${1:-2000}; seconds=${2:-30} ;;
esac

scripts/install-deps.sh

. scripts/xvfb.sh
start_private_display
bench=$PWD/build/bench
busy=
media=
desktop_user=
desktop_home=
stop_all() {
    [ -n "$busy" ] && kill "$busy" 2>/dev/null
    [ -n "$media" ] && rm -rf "$media"
    # Nothing here may fail under set -e: the rest would be left undone.
    if [ -n "$desktop_user" ]; then
        runuser -u "$desktop_user" -- env WINEPREFIX="$desktop_home/.local/share/vlvis" /usr/lib/wine/wineserver -k 2>/dev/null || true
        for _ in $(seq 50); do pgrep -u "$desktop_user" >/dev/null || break; sleep 0.2; done
        pkill -KILL -u "$desktop_user" 2>/dev/null || true
        for _ in $(seq 50); do pgrep -u "$desktop_user" >/dev/null || break; sleep 0.2; done
        userdel "$desktop_user" || echo "could not remove the benchmark's user $desktop_user"
    fi
    [ -n "$desktop_home" ] && rm -rf "$desktop_home"
    stop_private_display "$PWD/build/win64/wineprefix" "$bench/wineprefix" "$bench/wineprefix32"
    return 0
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# The package's vlvis live, as the desktop runs it: unpacked (the launcher
# finds its files beside itself) and run by an ordinary user of its own, so
# that every process of that user's is the chain's, on each sound server in
# turn (bench/desktop_sound.sh says what it measures). One Wine prefix.
desktop() {
    [ "$(id -u)" -eq 0 ] || { echo "bench.sh --desktop: vlvis runs as a user of its own, whose processes are the ones counted: run it as root" >&2; exit 1; }
    deb=$desktop_deb
    if [ -z "$deb" ]; then
        for deb in dist/vlvis_*_amd64.deb build/win32/tests/release/dist/vlvis_*_amd64.deb; do
            [ -f "$deb" ] && break
        done
    fi
    [ -f "$deb" ] || { echo "bench.sh --desktop: no package in dist/: run scripts/release.sh, or name one" >&2; exit 1; }
    desktop_home=$(mktemp -d /tmp/vlvis-bench-desktop.XXXXXX)
    chmod 755 "$desktop_home"
    dpkg-deb -x "$deb" "$desktop_home/package"
    cp bench/desktop_sound.sh tests/release/sound_servers.sh "$desktop_home/"
    desktop_user=vlvis-bench-$$
    useradd --home-dir "$desktop_home" --no-create-home --shell /bin/sh --user-group "$desktop_user"
    chown -R "$desktop_user:$desktop_user" "$desktop_home"
    echo "== the desktop's sound: $deb of $(date -u -r "$deb" '+%Y-%m-%d %H:%M UTC'), sha256 $(sha256sum "$deb" | cut -c 1-12), this tree at $(git log -1 --format=%h)"
    for kind in pulseaudio pipewire; do
        runuser -u "$desktop_user" -- env -i HOME="$desktop_home" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" \
            sh "$desktop_home/desktop_sound.sh" "$kind" "$desktop_home/package/usr/bin/vlvis" "$desktop_home/$kind" "$xvfb_pid" ||
            echo "the benchmark on $kind ended early (status $?)"
    done
}
if [ -n "$desktop_only" ]; then
    desktop
    exit 0
fi

cmake --preset win64 >/dev/null
if [ -z "$pacing_only" ] && [ -z "$streaming_only" ]; then
    cmake --preset native >/dev/null
    cmake --build --preset native -j 2 --target vu_level_bench
    cmake --build --preset win64 -j 2 --target render_bench

    echo "== level model (native)"
    build/native/vu_level_bench
    echo "== renderers (64-bit Wine)"
    cmake/wine-run.sh "$PWD/build/win64/wineprefix" build/win64/render_bench.exe "$frames"
fi

# The player and the plug-in in a prefix of their own with the face in
# place, as the demo sets them up; the tests' prefix keeps no face.
cmake --build --preset win64 -j 2 --target vlvis003 vishost
mkdir -p "$bench"
cp build/win64/vishost.exe build/win64/vlvis003.dll "$bench/"
# place_face PREFIX PROGRAM [--win32]
place_face() {
    prefix=$1 program=$2
    shift 2
    cmake/wine-run.sh "$@" "$prefix" "$program" --list >/dev/null
    program_files=$prefix/drive_c/Program\ Files
    [ -d "$program_files" ] || program_files=$prefix/drive_c/program\ files
    mkdir -p "$program_files/winamp"
    cp assets/vl-vu.bmp "$program_files/winamp/vl-vu.bmp"
}
place_face "$bench/wineprefix" "$bench/vishost.exe"
windows_path() { printf 'Z:%s' "$1" | tr / '\134'; }

# The player on long files. One minute of a sweep, and ten hours made by
# repeating it: MP3 frames simply follow each other, and a WAV file's
# data does too under a header that declares all of it. Ten hours of
# 44.1 kHz 16-bit stereo are 6.4 GB, past the 4 GiB a RIFF file can hold,
# so the WAV files are 22.05 kHz stereo (3.2 GB for ten hours).
make_media() {
    media=$(mktemp -d /tmp/vlvis-bench-media.XXXXXX)
    perl -e '
        my ($folder) = @ARGV;
        sub minute {
            my ($rate) = @_;
            my $data = "";
            for my $i (0 .. 60 * $rate - 1) {
                my $t = $i / $rate;
                my $phase = 2 * 3.14159265358979 * (110 * $t + 15 * $t * $t);
                $data .= pack("s<s<", int(12000 * sin($phase)), int(12000 * sin(1.5 * $phase)));
            }
            return $data;
        }
        sub header {
            my ($rate, $size) = @_;
            return "RIFF" . pack("V", 36 + $size) . "WAVEfmt " .
                pack("VvvVVvv", 16, 1, 2, $rate, $rate * 4, 4, 16) . "data" . pack("V", $size);
        }
        for my $job (["minute-44k.wav", 44100, 1], ["minute.wav", 22050, 1], ["ten-hours.wav", 22050, 600]) {
            my ($name, $rate, $times) = @$job;
            my $data = minute($rate);
            open my $file, ">:raw", "$folder/$name" or die "$name: $!";
            print $file header($rate, length($data) * $times);
            print $file $data for 1 .. $times;
            close $file or die "$name: $!";
        }' "$media"
    lame --quiet -b 128 -t "$media/minute-44k.wav" "$media/minute.mp3"
    rm "$media/minute-44k.wav"
    # 600 copies: 512 + 64 + 16 + 8.
    cp "$media/minute.mp3" "$media/2.mp3"
    for n in 4 8 16 32 64 128 256 512; do cat "$media/$((n / 2)).mp3" "$media/$((n / 2)).mp3" >"$media/$n.mp3"; done
    cat "$media/512.mp3" "$media/64.mp3" "$media/16.mp3" "$media/8.mp3" >"$media/ten-hours.mp3"
    for n in 2 4 8 16 32 64 128 256 512; do rm "$media/$n.mp3"; done
    ls -l "$media"
}

# One run: the time from the start to the first captured frame (Wine's
# start included), the process's peak resident memory, and what the host
# itself says of both where it does. The shell has no local variables:
# these take names of their own.
#   first_frame LABEL WIDTH HOST_FOLDER SOUND_FILE
first_frame() {
    if [ "$2" = 32 ]; then runner="--win32 $bench/wineprefix32"; else runner="$bench/wineprefix"; fi
    rm -rf "$bench/frames"
    start=$(date +%s.%N)
    # shellcheck disable=SC2086
    /usr/bin/time -f '%M' -o "$bench/peak" cmake/wine-run.sh $runner "$3/vishost.exe" \
        --plugin "$(windows_path "$3/vlvis003.dll")" --seconds 3 --mute --stats \
        --capture "$(windows_path "$bench/frames")" "$(windows_path "$4")" >"$bench/out" 2>&1 || true
    first=$bench/frames/frame-000000.png
    if [ -f "$first" ]; then
        to_first="$(awk -v end="$(stat -c %.9Y "$first")" -v start="$start" 'BEGIN { printf "%.2f", end - start }') s"
    else
        to_first="none: $(grep -m 1 -E 'vishost|what' "$bench/out" || tail -n 1 "$bench/out")"
    fi
    printf '%-7s %s-bit %-14s first frame after %s; peak resident %s MB\n' "$1" "$2" "$(basename "$4")" \
        "$to_first" "$(($(tail -n 1 "$bench/peak") / 1024))"
    grep -E 'first frame|peak memory' "$bench/out" | sed 's/^ */          the host says: /' || true
}

# The pacing of both modules, --stats, $seconds each.
#   pace_stream LABEL WIDTH HOST_FOLDER SOUND_FILE
pace_stream() {
    if [ "$2" = 32 ]; then runner="--win32 $bench/wineprefix32"; else runner="$bench/wineprefix"; fi
    uptime
    # shellcheck disable=SC2086
    cmake/wine-run.sh $runner "$3/vishost.exe" --plugin "$(windows_path "$3/vlvis003.dll")" --module 0,1 \
        --seconds "$seconds" --mute --stats "$(windows_path "$4")" | sed "s/^module/$1 $2-bit $(basename "$4"): module/"
}

streaming() {
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j 2 --target vlvis003 vishost
    mkdir -p "$bench/win64" "$bench/win32"
    cp build/win64/vishost.exe build/win64/vlvis003.dll "$bench/win64/"
    cp build/win32/vishost.exe build/win32/vlvis003.dll "$bench/win32/"
    place_face "$bench/wineprefix32" "$bench/win32/vishost.exe" --win32
    make_media
    echo "== first frame and peak memory, one minute against ten hours"
    uptime
    for width in 64 32; do
        for name in minute.mp3 ten-hours.mp3 minute.wav ten-hours.wav; do
            if [ -n "${VISHOST_BEFORE:-}" ]; then first_frame before "$width" "$VISHOST_BEFORE/win$width" "$media/$name"; fi
            first_frame now "$width" "$bench/win$width" "$media/$name"
        done
    done
    for load in idle busy; do
        if [ "$load" = busy ]; then
            echo "== frame pacing while streaming, $seconds s a module, the other core kept busy by one busy loop"
            sh -c 'while :; do :; done' &
            busy=$!
        else
            echo "== frame pacing while streaming, $seconds s a module, the other core idle"
        fi
        for width in 64 32; do
            # The earlier version on the file it can hold whole, beside this one on the same file.
            if [ -n "${VISHOST_BEFORE:-}" ]; then pace_stream before "$width" "$VISHOST_BEFORE/win$width" "$media/minute.mp3"; fi
            pace_stream now "$width" "$bench/win$width" "$media/minute.mp3"
            pace_stream now "$width" "$bench/win$width" "$media/ten-hours.mp3"
        done
        if [ -n "$busy" ]; then kill "$busy"; fi
        busy=
    done
    rm -rf "$media" "$bench/frames"
    media=
}

if [ -n "$streaming_only" ]; then
    streaming
    exit 0
fi

pace() {
    for module in 0 1; do
        rm -rf "$bench/frames"
        uptime
        cmake/wine-run.sh "$bench/wineprefix" "$bench/vishost.exe" --module "$module" --seconds "$seconds" \
            --mute --stats --capture 'Z:'"$(echo "$bench/frames" | tr / '\134')"
    done
    rm -rf "$bench/frames"
}
echo "== frame pacing with capture, $seconds s a module, the other core idle"
pace
echo "== frame pacing with capture, $seconds s a module, the other core kept busy by one busy loop"
sh -c 'while :; do :; done' &
busy=$!
pace
kill "$busy"
busy=
[ -n "$pacing_only" ] || streaming
