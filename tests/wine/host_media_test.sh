#!/bin/sh
# The stand-in player on real sound: makes a WAV file, has Debian's encoders
# turn it into MP3, FLAC and Ogg Vorbis, and starts a PulseAudio server of
# its own, in a temporary folder, whose null sink plays a tone one second in
# two, and a second one that it kills when the test program asks, to take
# the sound device away part way through a file; nothing reaches the user's
# own sound setup. Then it runs the test program, which runs vishost.exe on
# them.
#   host_media_test.sh RUNNER... TEST_PROGRAM
# RUNNER is how this build runs a Windows program (cmake/wine-run.sh
# [--win32] PREFIX). A program run in the qemu guest cannot reach the
# servers, so there the live input and the lost sound device are left out,
# and the output says so.
set -eu

[ $# -ge 2 ] || { echo "usage: host_media_test.sh RUNNER... TEST_PROGRAM" >&2; exit 2; }
live=1
if [ "$2" = --win32 ]; then
    case $("$1" --win32 --way) in *guest*) live= ;; esac
fi
for program; do :; done
media=$(cd "$(dirname "$program")" && pwd)/host_media
rm -rf "$media"
mkdir -p "$media"
cd "$media"

# Two seconds of 440 Hz, 16-bit stereo at 44.1 kHz, rising from -30 dB to 0
# dB of 0.8 of full scale on the left and falling from -5 dB to -25 dB on
# the right, so that no two moments, nor the channels swapped, look alike.
# The same as 32-bit floats, and the tone for the sink.
perl -e '
    sub wav {
        my ($path, $tag, $bytes, $data) = @_;
        open my $file, ">:raw", $path or die "$path: $!";
        print $file "RIFF", pack("V", 36 + length $data), "WAVEfmt ",
            pack("VvvVVvv", 16, $tag, 2, 44100, 44100 * 2 * $bytes, 2 * $bytes, 8 * $bytes),
            "data", pack("V", length $data), $data;
    }
    sub wav6 {
        my ($path, $data) = @_;
        open my $file, ">:raw", $path or die "$path: $!";
        print $file "RIFF", pack("V", 36 + length $data), "WAVEfmt ",
            pack("VvvVVvv", 16, 1, 6, 44100, 44100 * 12, 12, 16), "data", pack("V", length $data), $data;
    }
    my ($integers, $floats, $tone) = ("", "", "");
    for my $i (0 .. 2 * 44100 - 1) {
        my $t = $i / 44100;
        my $sine = 0.8 * sin(2 * 3.14159265358979 * 440 * $t);
        my ($left, $right) = ($sine * 10 ** ((15 * $t - 30) / 20), $sine * 10 ** ((-5 - 10 * $t) / 20));
        $integers .= pack("s<s<", int($left * 32767), int($right * 32767));
        $floats .= pack("f<f<", $left, $right);
        my $beep = $i < 44100 ? int(0.5 * 32767 * sin(2 * 3.14159265358979 * 440 * $t)) : 0;
        $tone .= pack("s<s<", $beep, $beep);
    }
    wav("sweep.wav", 1, 2, $integers);
    # 5.1: the sweep as its front pair, a loud tone in the other four.
    my $surround = "";
    for my $i (0 .. 2 * 44100 - 1) {
        my $loud = int(0.9 * 32767 * sin(2 * 3.14159265358979 * 1000 * $i / 44100));
        $surround .= substr($integers, 4 * $i, 4) . pack("s<4", ($loud) x 4);
    }
    wav6("sweep-6.wav", $surround);
    wav("sweep-float.wav", 3, 4, $floats);
    wav("tone.wav", 1, 2, $tone);
    # Six seconds of 440 Hz whose level rises from -30 dB to 0 dB on both
    # channels: the needles show how far into it a frame is.
    my $rising = "";
    for my $i (0 .. 6 * 44100 - 1) {
        my $t = $i / 44100;
        my $sample = int(0.8 * 32767 * sin(2 * 3.14159265358979 * 440 * $t) * 10 ** ((5 * $t - 30) / 20));
        $rising .= pack("s<s<", $sample, $sample);
    }
    wav("rising.wav", 1, 2, $rising);
'
lame --quiet sweep.wav sweep.mp3
# About half an hour of MP3 without a long encode: frames of an encoding
# without the leading tag frame, repeated 1024 times.
lame --quiet -t sweep.wav long.mp3
for _ in 1 2 3 4 5 6 7 8 9 10; do cat long.mp3 long.mp3 >twice.mp3 && mv twice.mp3 long.mp3; done
flac --silent sweep.wav -o sweep.flac
flac --silent --channel-map=none sweep-6.wav -o sweep-5.1.flac
oggenc --quiet sweep.wav -o sweep.ogg
# Named as a music library names it, outside any one code page.
cp sweep.mp3 "b ♪.mp3"
# Cut off part way through a frame, as an interrupted download is.
head -c "$(($(wc -c <sweep.mp3) / 2 + 77))" sweep.mp3 >cut.mp3
head -c 65536 /dev/urandom >random.flac
echo "a text file, not sound" >text.mp3
cd - >/dev/null

server=
player=
server_dir=
lost_server=
lost_watcher=
lost_dir=
stop_server() {
    # Either server may be gone already: the lost one is killed by the test.
    for pid in $player $lost_watcher $server $lost_server; do
        if kill "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null || :; fi
    done
    [ -n "$server_dir" ] && rm -rf "$server_dir"
    [ -n "$lost_dir" ] && rm -rf "$lost_dir"
    return 0
}

# start_server FOLDER: a PulseAudio server with a null sink, its socket in
# FOLDER, in the background.
start_server() {
    PULSE_RUNTIME_PATH=$1 XDG_RUNTIME_DIR=$1 HOME=$1 PULSE_COOKIE=$1/cookie \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --enable-memfd=no \
        -L "module-native-protocol-unix socket=$1/pulse.sock auth-anonymous=1" \
        -L "module-null-sink sink_name=vis_sink rate=44100 channels=2" >"$1/log" 2>&1 &
}

# wait_for_server FOLDER
wait_for_server() {
    for _ in $(seq 100); do PULSE_SERVER="unix:$1/pulse.sock" pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "the test's PulseAudio did not start:" >&2
    cat "$1/log" >&2
    exit 1
}
trap stop_server EXIT
trap 'exit 130' INT TERM

if [ -n "$live" ]; then
    # A socket path must stay short, whatever the build folder's depth.
    server_dir=$(mktemp -d)
    start_server "$server_dir"
    server=$!
    wait_for_server "$server_dir"
    export PULSE_SERVER="unix:$server_dir/pulse.sock" PULSE_COOKIE="$server_dir/cookie"
    export PULSE_RUNTIME_PATH="$server_dir" XDG_RUNTIME_DIR="$server_dir"
    # A client with a short latency keeps the sink's blocks, and so the
    # monitor's, small; the tone goes round until the server ends.
    (while paplay --device=vis_sink --latency-msec=20 "$media/tone.wav" 2>/dev/null; do :; done) &
    player=$!
    status=0
    "$@" --gtest_filter=-HostSoundDevice.* || status=$?
    # The server to be lost, killed as a crash kills it once the test
    # program leaves the file end-server: the test program runs again for
    # it alone, so that nothing else plays there.
    lost_dir=$(mktemp -d)
    start_server "$lost_dir"
    lost_server=$!
    wait_for_server "$lost_dir"
    rm -f "$media/end-server"
    (while [ ! -e "$media/end-server" ]; do sleep 0.05; done; kill -KILL "$lost_server") &
    lost_watcher=$!
    PULSE_SERVER="unix:$lost_dir/pulse.sock" PULSE_COOKIE="$lost_dir/cookie" \
        PULSE_RUNTIME_PATH="$lost_dir" XDG_RUNTIME_DIR="$lost_dir" \
        "$@" --gtest_filter=HostSoundDevice.* || status=$?
    exit "$status"
else
    echo "host_media_test: live input and the lost sound device left out: 32-bit programs run in the qemu guest here, out of the sound server's reach"
    "$@" --gtest_filter=-HostLiveInput.*:HostSoundDevice.*
fi
