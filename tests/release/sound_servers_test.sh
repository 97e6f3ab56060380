#!/bin/sh
# The sound servers of sound_servers.sh, proved with Debian's own clients:
# on PulseAudio and on PipeWire, a reader of the default output's monitor
# (parec) hears a sweep played on the default output (paplay) at the start
# and after each event a live run meets (the default switched to
# headphones; the server killed and started again; the default output
# unloaded, the server then choosing headphones), and stopping leaves no
# process behind, also when Ctrl+C interrupts a script that uses them.
#   sound_servers_test.sh
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/checks.sh
. "$here/../checks.sh"
# shellcheck source=tests/release/sound_servers.sh
. "$here/sound_servers.sh"
trap sound_stop EXIT
trap 'exit 130' INT TERM

# group_ended GROUP: the group named has no process running.
group_ended() {
    [ -n "$1" ] && ! sound_group_alive "$1"
}

# heard WHEN: the loudest sample the monitor of the default output gave
# while a sweep played on that output, checked to be loud.
heard() {
    monitor=$(sound_default_sink).monitor
    capture=$sound_dir/heard.raw
    parec --latency-msec=20 --device="$monitor" --raw --format=s16le --channels=2 --rate=44100 >"$capture" &
    reader=$!
    sound_play 1.5
    played=$?
    kill "$reader"
    wait "$reader"
    peak=$(perl -e 'binmode STDIN; my $peak = 0;
        while (read(STDIN, my $block, 4096)) { for (unpack("s<*", $block)) { $peak = abs if abs > $peak } }
        print $peak' <"$capture")
    failed=$failures
    check "$kind, $1: $monitor hears the sweep played (peak $peak of 32767, paplay status $played)" \
        test "$played" -eq 0 -a "$peak" -gt 4000
    # What the server said, where it may have ended.
    [ "$failures" -eq "$failed" ] || sound_log
}

for kind in pulseaudio pipewire; do
    if ! sound_start "$kind"; then
        check "$kind starts" false
        sound_stop
        continue
    fi
    check "$kind: speakers is the default output" test "$(sound_default_sink)" = speakers
    heard "at the start"
    check "$kind: the default switched" sound_switch_default
    heard "after the default was switched to headphones"
    check "$kind: the server killed and started again" sound_restart
    check "$kind: speakers is the default output again" test "$(sound_default_sink)" = speakers
    heard "after the server came back"
    check "$kind: the default output unloaded" sound_unload_default
    check "$kind: headphones became the default output ($(sound_default_sink))" test "$(sound_default_sink)" = headphones
    heard "after the default output was unloaded"
    group=$(cat "$sound_dir/leader")
    sound_stop
    check "$kind: no process of the server's left" group_ended "$group"
done

# Ctrl+C: the interrupt reaches the foreground process group, the script
# of the caller's; its trap stops the servers, which run in sessions of
# their own.
for kind in pulseaudio pipewire; do
    state=$(mktemp -d)
    # shellcheck disable=SC2016 # expanded by the script it runs
    setsid -w env --default-signal=INT sh -c '
        echo $$ >"$2/script"
        . "$0"
        trap sound_stop EXIT
        trap "exit 130" INT TERM
        sound_start "$1" || exit 1
        cat "$sound_dir/leader" >"$2/leader"
        sleep 600' "$here/sound_servers.sh" "$kind" "$state" >"$state/out" 2>&1 &
    script=$!
    for _ in $(seq 600); do [ -s "$state/leader" ] && break; sleep 0.1; done
    group=$(cat "$state/leader" 2>/dev/null)
    check "$kind: a script started it" test -n "$group"
    kill -INT "-$(cat "$state/script")"
    wait "$script"
    status=$?
    check "$kind: the script ended on Ctrl+C (status $status)" test "$status" -eq 130
    check "$kind: no process of the server's left after Ctrl+C" group_ended "$group"
    rm -rf "$state"
done

[ "$failures" -eq 0 ]
