#!/bin/sh
# The desktop's sound benchmark on one server, run by scripts/bench.sh
# --desktop as an ordinary user of its own, so that every process of the
# user's is the chain's: vlvis (the unpacked package's launcher) live on a
# sound server of sound_servers.sh, under the X server given.
#   desktop_sound.sh pulseaudio|pipewire VLVIS FOLDER XVFB_PID
# It reports, and never fails on time:
#   - the CPU, from /proc (utime + stime), of each process of the user's, of
#     the sound server's and of the X server, as % of one core: over 10 s
#     of silence begun 3 s after the last sound, and over 10 s of a sweep;
#   - the latency from a burst's arrival at the monitor of the default
#     output (timed by a reference reader of that monitor) to the first
#     frame that differs from the resting picture;
#   - the end: from the last frame to the exit of the vlvis process of a
#     --seconds 5 run.
# Frames are timed by frames.tsv, or, where the player writes none, by the
# modification times of the captured pictures (later than the render, by
# the time the writer takes), and it says so.
set -u
kind=$1 vlvis=$2 out=$3 xvfb=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/release/sound_servers.sh
. "$here/sound_servers.sh"
run=
reader=
player=
# shellcheck disable=SC2317 # called by the traps
clean_up() {
    for process in $reader $player $run; do kill "$process" 2>/dev/null; done
    sound_stop
}
trap clean_up EXIT
trap 'exit 130' INT TERM
mkdir -p "$out"
now() { date +%s%6N; }
# play_in_background SECONDS: a sweep on the default output; $player.
play_in_background() {
    paplay --latency-msec=20 --device="$(sound_default_sink)" "$(sound_sweep "$1")" &
    player=$!
}
# server_up: the server still answers; where it has ended, what it said,
# and it is started again, so that the figures after it are still had.
server_up() {
    pactl info >/dev/null 2>&1 && return 0
    echo "  the $kind server had ended; what it said:"
    sound_log
    sound_kill
    sound_launch
}
load() { echo "  load average: $(cut -d ' ' -f 1-3 /proc/loadavg)"; }

sound_start "$kind" || exit 1
echo "== $kind: $(LC_ALL=C pactl info | sed -n 's/^Server Name: //p')"

# cpu_sample FILE: pid, name, utime + stime in clock ticks and part (the
# X server, the sound server, the rest) of every process of this user's but
# this script's own (the shell, the sampler, the player of the sounds,
# sleep) and of the X server. The sound server's processes are those of its
# session's process group.
cpu_sample() {
    perl -e '
        my ($xvfb, $shell, $server) = @ARGV;
        opendir my $proc, "/proc" or die;
        for my $pid (grep { /^\d+$/ } readdir $proc) {
            next if $pid == $$ || $pid == $shell;
            open my $file, "<", "/proc/$pid/stat" or next;
            my $stat = <$file>;
            my @owner = stat "/proc/$pid";
            next unless $pid == $xvfb || $owner[4] == $<;
            my ($name, $rest) = $stat =~ /\((.*)\) (.*)/ or next;
            next if $name eq "paplay" || $name eq "sleep";
            my @field = split / /, $rest;
            my $part = $pid == $xvfb ? "x" : $field[2] == $server ? "s" : "u";
            print "$pid\t$name\t", $field[11] + $field[12], "\t$part\n";
        }' "$xvfb" "$$" "$(cat "$sound_dir/leader")" >"$1"
}

# cpu_report BEFORE AFTER SECONDS: each process's share of one core
# between the samples, by name, then by part and summed. A process
# started between them counts whole; one ended between them is missed.
cpu_report() {
    awk -F '\t' -v seconds="$3" -v ticks="$(getconf CLK_TCK)" -v server="$kind" '
        NR == FNR { before[$1] = $3; next }
        {
            used = $3 - ($1 in before ? before[$1] : 0)
            name = $2 ($4 == "s" && $2 == "sh" ? " (its session)" : "")
            share[name] += 100 * used / ticks / seconds
            if ($4 == "x") part = "the X server"
            else if ($4 == "s") part = "the sound server (" server ")"
            else if (name == "vishost.exe") part = name
            else if (name ~ /^wineserver/) part = "wineserver"
            else part = "the rest of the user'"'"'s processes"
            parts[part] += 100 * used / ticks / seconds
            where[name] = part
        }
        END {
            for (name in share) printf "    %-28s %6.2f%%   (%s)\n", name, share[name], where[name] | "sort -t % -k 1.34rn"
            close("sort -t % -k 1.34rn")
            order = "vishost.exe|wineserver|the rest of the user'"'"'s processes|the sound server (" server ")|the X server"
            count = split(order, names, "|")
            for (i = 1; i <= count; i++) { printf "  %-40s %6.2f%%\n", names[i], parts[names[i]]; sum += parts[names[i]] }
            printf "  %-40s %6.2f%%\n", "all together", sum
        }' "$1" "$2"
}

# A first run makes the Wine prefix, if it is not there yet; a sweep keeps
# a player that pauses in silence drawing.
"$vlvis" --seconds 3 >"$out/first.txt" 2>&1 &
run=$!
while kill -0 "$run" 2>/dev/null; do sound_play 1; done
wait "$run"
run=

server_up
echo "-- CPU, % of one core"
"$vlvis" --seconds 40 >"$out/cpu.txt" 2>&1 &
run=$!
for _ in $(seq 600); do pgrep -u "$(id -u)" -x vishost.exe >/dev/null && break; sleep 0.1; done
sound_play 2
sleep 3
load
cpu_sample "$out/cpu-0"
sleep 10
cpu_sample "$out/cpu-1"
echo "  10 s of silence, 3 s after the last sound:"
cpu_report "$out/cpu-0" "$out/cpu-1" 10
play_in_background 12
sleep 1
cpu_sample "$out/cpu-2"
sleep 10
cpu_sample "$out/cpu-3"
echo "  10 s of a sweep:"
cpu_report "$out/cpu-2" "$out/cpu-3" 10
wait "$player"
player=
wait "$run"
run=

# frame_times FOLDER [mtime]: each frame's name, time in microseconds and
# picture's hash, in order; the time from frames.tsv, or, where there is
# none or "mtime" is asked for, the file's modification time.
frame_times() {
    [ -d "$1" ] || return 0
    if [ -f "$1/frames.tsv" ] && [ "${2:-}" != mtime ]; then
        sort "$1/frames.tsv"
    else
        (cd "$1" && find . -name 'frame-*.png' -printf '%f\t%T@\n' | sort |
            awk -F '\t' '{ split($2, t, "."); printf "%s\t%s%s\n", $1, t[1], substr(t[2] "000000", 1, 6) }')
    fi | while IFS="$(printf '\t')" read -r name time; do
        printf '%s\t%s\t%s\n' "$name" "$time" "$(sha256sum "$1/$name" | cut -c 1-64)"
    done
}

# latency ARRIVALS FRAMES HOW: for each burst's arrival, the first frame
# after it whose picture differs from the one shown at the arrival (the
# resting picture; before the first frame, the commonest picture).
latency() {
    awk -F '\t' -v how="$3" '
        NR == FNR { arrival[++bursts] = $1; next }
        { time[++frames] = $2; hash[frames] = $3; seen[$3]++ }
        END {
            for (h in seen) if (seen[h] > most) { most = seen[h]; common = h }
            for (b = 1; b <= bursts; b++) {
                rest = common
                for (f = 1; f <= frames && time[f] <= arrival[b]; f++) rest = hash[f]
                if (f <= frames && time[f] - arrival[b] < 1.5e6) any[++anyone] = (time[f] - arrival[b]) / 1000
                for (; f <= frames; f++) if (hash[f] != rest) break
                if (f <= frames && time[f] - arrival[b] < 1.5e6) latency[++found] = (time[f] - arrival[b]) / 1000
            }
            printf "  %s: %d bursts heard at the monitor, %d frames, %d bursts with a frame off rest within 1.5 s\n", how, bursts, frames, found
            if (found) report("the first frame off rest", latency, found)
            if (anyone) report("the first frame of any picture, for comparison", any, anyone)
        }
        function report(what, values, n,    i, j, v) {
            for (i = 2; i <= n; i++) { v = values[i]; for (j = i - 1; j >= 1 && values[j] > v; j--) values[j + 1] = values[j]; values[j + 1] = v }
            printf "    %s: median %.0f ms, 90th percentile %.0f ms, least %.0f ms, most %.0f ms\n", what,
                values[int((n + 1) / 2)], values[int(0.9 * n + 0.99)], values[1], values[n]
        }' "$1" "$2"
}

echo "-- latency: bursts of 0.3 s after 1.7 s of silence, from the burst's arrival at the monitor to the first frame off rest"
bursts=24
server_up
rm -rf "$out/frames"
"$vlvis" --seconds $((bursts * 2 + 12)) --capture "$out/frames" >"$out/latency.txt" 2>&1 &
run=$!
for _ in $(seq 600); do pgrep -u "$(id -u)" -x vishost.exe >/dev/null && break; sleep 0.1; done
# The reference reader: blocks of at most 5 ms, each timed as it arrives,
# with its loudest sample.
parec --latency-msec=5 --device=speakers.monitor --raw --format=s16le --channels=2 --rate=44100 2>/dev/null |
    perl -e '
        use Time::HiRes qw(time);
        $| = 1;
        binmode STDIN;
        while (sysread(STDIN, my $block, 4096)) {
            my $peak = 0;
            for (unpack("s<*", $block)) { $peak = abs if abs > $peak }
            printf "%d\t%d\n", time * 1e6, $peak;
        }' >"$out/monitor.tsv" &
reader=$!
sleep 4
load
for _ in $(seq "$bursts"); do
    sleep 1.7
    sound_play 0.3
done
sleep 2
kill "$reader" 2>/dev/null
reader=
wait "$run"
run=
frame_times "$out/frames" >"$out/frames-hashed.tsv"
# A burst arrives at the first loud block after a second of quiet ones.
awk -F '\t' '$2 > 1000 { if ($1 - quiet_since >= 1e6 && quiet_since) print $1; quiet_since = 0; next }
             !quiet_since { quiet_since = $1 }' "$out/monitor.tsv" >"$out/arrivals"
if [ -f "$out/frames/frames.tsv" ]; then
    latency "$out/arrivals" "$out/frames-hashed.tsv" "frames timed by frames.tsv"
    # The same frames timed as those of a player without frames.tsv, to
    # compare with them.
    frame_times "$out/frames" mtime >"$out/frames-mtime.tsv"
    latency "$out/arrivals" "$out/frames-mtime.tsv" "the same frames timed by their files' modification times"
else
    latency "$out/arrivals" "$out/frames-hashed.tsv" "frames timed by their files' modification times (no frames.tsv)"
fi

echo "-- the end: from the last frame to the exit of vlvis, --seconds 5 with a sweep playing"
load
for attempt in 1 2 3; do
    server_up
    rm -rf "$out/frames"
    "$vlvis" --seconds 5 --capture "$out/frames" >"$out/end.txt" 2>&1 &
    run=$!
    play_in_background 30
    wait "$run"
    status=$?
    ended=$(now)
    run=
    kill "$player" 2>/dev/null
    wait "$player" 2>/dev/null
    player=
    last=$(frame_times "$out/frames" | tail -n 1 | cut -f 2)
    if [ -n "$last" ]; then
        if [ -f "$out/frames/frames.tsv" ]; then timed="the last frame timed by frames.tsv"
        else timed="the last frame timed by its file's modification time (no frames.tsv)"; fi
        echo "  run $attempt: $(((ended - last) / 1000)) ms (status $status, $timed)"
    else
        echo "  run $attempt: no frame (status $status): $(tail -n 1 "$out/end.txt")"
    fi
done
