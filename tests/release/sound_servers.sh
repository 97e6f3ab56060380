# shellcheck shell=sh
# Sourced by the tests and benchmarks that need what a desktop has: a sound
# server with two outputs, `speakers` (the default) and `headphones`, both
# null sinks, as no sound card is needed. It runs as the calling user, in a
# private runtime folder under /tmp (short, as a socket path must be), with
# a home of its own there, so nothing touches a real user session.
#   sound_start pulseaudio|pipewire  start the server; exports PULSE_SERVER,
#                                    PULSE_COOKIE and XDG_RUNTIME_DIR for the
#                                    clients, and sets sound_dir
#   sound_switch_default             make headphones the default output
#   sound_restart                    kill the server (as a crash does), start
#                                    it again 1 s later: same socket, same
#                                    outputs, speakers the default again
#   sound_unload_default             unload the default output's module; the
#                                    server picks another default
#   sound_default_sink               print the current default output
#   sound_play SECONDS               play a sweep on the current default
#                                    output, and return when it has played
#   sound_stop                       end every process started here and
#                                    remove the folder; safe to call twice
# Call them from the shell that sourced this file, not from a subshell: it
# waits for the processes it started. The caller's EXIT trap (and its INT
# and TERM traps, leading to EXIT) should call sound_stop; the servers run
# in a session of their own, so that Ctrl+C reaches them only through it.
# PipeWire runs with WirePlumber and pipewire-pulse under dbus-run-session.

sound_kind=
sound_dir=
sound_session=
sound_player=
# Runs a command as the leader of a session of its own, whose process id it
# writes to DIR/leader first: the group that everything the server starts
# belongs to. setsid -w: the background job stays the server's parent even
# where job control makes setsid fork.
#   setsid -w sh -c "$sound_lead" DIR COMMAND...
# shellcheck disable=SC2016 # expanded by the shell that setsid starts
sound_lead='echo $$ >"$0/leader"; exec "$@"'

# sound_log: what the servers said, for a failure's message.
sound_log() {
    for log in "$sound_dir"/*.log; do
        [ -s "$log" ] && sed "s|^|  $(basename "$log"): |" "$log" | tail -n 20
    done
    return 0
}

sound_start() {
    sound_kind=$1
    case $sound_kind in
        pulseaudio | pipewire) ;;
        *) echo "sound_start: pulseaudio or pipewire, not '$sound_kind'" >&2; return 2 ;;
    esac
    sound_dir=$(mktemp -d /tmp/vls.XXXXXX) || return 1
    chmod 700 "$sound_dir"
    mkdir -p "$sound_dir/home" "$sound_dir/pulse"
    export XDG_RUNTIME_DIR="$sound_dir" PULSE_SERVER="unix:$sound_dir/pulse/native"
    export PULSE_COOKIE="$sound_dir/home/.config/pulse/cookie"
    sound_launch
}

# The server itself, its outputs, and speakers made the default.
sound_launch() {
    # A fresh state each time: WirePlumber would otherwise bring back the
    # default chosen before a restart.
    rm -rf "$sound_dir/home/.local/state"
    rm -f "$sound_dir"/*.log "$sound_dir/leader"
    # No DISPLAY: with none, no session bus is started for the X display
    # (PulseAudio's D-Bus lookup) and no X client is made (PipeWire's bell).
    if [ "$sound_kind" = pulseaudio ]; then
        # -n: none of the system's configuration, so no module that moves
        # streams or remembers defaults; the socket named as PULSE_SERVER.
        # Told at info level, its log says which signal ended it.
        env -u DISPLAY HOME="$sound_dir/home" XDG_CONFIG_HOME="$sound_dir/home/.config" \
            setsid -w sh -c "$sound_lead" "$sound_dir" \
            pulseaudio -n --daemonize=no --exit-idle-time=-1 --enable-memfd=no --log-level=info \
            -L "module-native-protocol-unix socket=$sound_dir/pulse/native auth-anonymous=1" \
            >"$sound_dir/pulseaudio.log" 2>&1 </dev/null &
        sound_session=$!
    else
        # PipeWire first: its clients give up when its socket is not there.
        # The session's shell waits for all three and passes TERM on.
        cat >"$sound_dir/session.sh" <<'SESSION'
dir=$1
pipewire= wireplumber= pulse= ending=
trap 'ending=1; kill $pipewire $wireplumber $pulse 2>/dev/null' TERM INT HUP
echo $$ >"$dir/session"
pipewire >"$dir/pipewire.log" 2>&1 &
pipewire=$!
for _ in $(seq 300); do [ -S "$dir/pipewire-0" ] || [ -n "$ending" ] && break; sleep 0.1; done
if [ -z "$ending" ]; then
    wireplumber >"$dir/wireplumber.log" 2>&1 &
    wireplumber=$!
    pipewire-pulse >"$dir/pipewire-pulse.log" 2>&1 &
    pulse=$!
    echo "$pipewire $wireplumber $pulse" >"$dir/daemons"
fi
for daemon in $pipewire $wireplumber $pulse; do
    while kill -0 "$daemon" 2>/dev/null; do wait "$daemon"; done
done
SESSION
        rm -f "$sound_dir/daemons" "$sound_dir/session"
        env -u DISPLAY HOME="$sound_dir/home" XDG_CONFIG_HOME="$sound_dir/home/.config" \
            XDG_STATE_HOME="$sound_dir/home/.local/state" \
            setsid -w sh -c "$sound_lead" "$sound_dir" \
            dbus-run-session -- sh "$sound_dir/session.sh" "$sound_dir" \
            >"$sound_dir/session.log" 2>&1 </dev/null &
        sound_session=$!
    fi
    # Bounds are generous: the machine may be busy.
    for _ in $(seq 300); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    if ! pactl info >/dev/null 2>&1; then
        echo "the $sound_kind server did not answer within 30 s:" >&2
        sound_log >&2
        return 1
    fi
    for sink in speakers headphones; do
        pactl load-module module-null-sink "sink_name=$sink" "sink_properties=device.description=$sink" >/dev/null ||
            { echo "$sound_kind: could not make the output $sink" >&2; return 1; }
    done
    # WirePlumber keeps the default; until it has started, pipewire-pulse
    # answers "Not supported", and after, it settles a moment later.
    for _ in $(seq 300); do
        [ "$(sound_default_sink)" = speakers ] && sound_has_source headphones.monitor && break
        pactl set-default-sink speakers 2>/dev/null
        sleep 0.1
    done
    if [ "$(sound_default_sink)" != speakers ]; then
        echo "$sound_kind: speakers did not become the default output within 30 s ($(sound_default_sink))" >&2
        sound_log >&2
        return 1
    fi
}

sound_default_sink() {
    LC_ALL=C pactl info 2>/dev/null | sed -n 's/^Default Sink: //p'
}

sound_has_source() {
    LC_ALL=C pactl list short sources 2>/dev/null | cut -f 2 | grep -qxF "$1"
}

sound_switch_default() {
    pactl set-default-sink headphones || return 1
    for _ in $(seq 300); do [ "$(sound_default_sink)" = headphones ] && return 0; sleep 0.1; done
    echo "$sound_kind: headphones did not become the default output" >&2
    return 1
}

# Waits up to 5 s for the server's session to end, then kills whatever
# is left in it; the session's leader heads a process group of its own.
sound_reap() {
    group=$(cat "$sound_dir/leader" 2>/dev/null)
    for _ in $(seq 50); do
        sound_ended "$sound_session" && ! sound_group_alive "$group" && break
        sleep 0.1
    done
    # Only while the session is running is the group surely still ours:
    # the numbers of ended processes are given to new ones.
    sound_ended "$sound_session" || kill -KILL "-$group" 2>/dev/null
    wait "$sound_session" 2>/dev/null
    sound_session=
    return 0
}

# sound_ended PID: gone, or a zombie its parent has yet to wait for.
sound_ended() {
    [ ! -r "/proc/$1/stat" ] || [ "$(sed 's/.*) //; s/ .*//' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

# sound_group_alive GROUP: a process of the group is running. A zombie
# counts as ended: dbus-run-session, for one, leaves its bus to init to
# wait for.
sound_group_alive() {
    [ -n "$1" ] && ps -e -o pgid=,stat= | awk -v group="$1" '$1 == group && $2 !~ /^Z/ { found = 1 } END { exit !found }'
}

# The server's processes killed at once, with no chance to say goodbye, as
# a crash ends them.
sound_kill() {
    [ -n "$sound_session" ] || return 0
    if sound_ended "$sound_session"; then
        :
    elif [ "$sound_kind" = pipewire ]; then
        # The daemons; the session's shell, then dbus-run-session, follow.
        # shellcheck disable=SC2046 # three process ids
        kill -KILL $(cat "$sound_dir/daemons" 2>/dev/null) 2>/dev/null
    else
        kill -KILL "$(cat "$sound_dir/leader" 2>/dev/null)" 2>/dev/null
    fi
    sound_reap
}

sound_restart() {
    sound_kill
    sleep 1
    sound_launch
}

sound_unload_default() {
    sink=$(sound_default_sink)
    module=$(LC_ALL=C pactl list short modules |
        awk -v arg="sink_name=$sink" '$2 == "module-null-sink" { for (i = 3; i <= NF; i++) if ($i == arg) print $1 }')
    [ -n "$module" ] || { echo "$sound_kind: no module of the default output '$sink'" >&2; return 1; }
    pactl unload-module "$module" || return 1
    for _ in $(seq 300); do
        now=$(sound_default_sink)
        [ -n "$now" ] && [ "$now" != "$sink" ] && return 0
        sleep 0.1
    done
    echo "$sound_kind: no other default output after $sink went (now '$now')" >&2
    return 1
}

# A sweep of SECONDS (a decimal) from 220 Hz to 880 Hz at half of full
# scale, 16-bit stereo at 44.1 kHz, made once for each length.
sound_sweep() {
    file=$sound_dir/sweep-$1.wav
    [ -f "$file" ] || perl -e '
        my ($seconds, $path) = @ARGV;
        my $count = int($seconds * 44100);
        my ($data, $phase) = ("", 0);
        for my $i (0 .. $count - 1) {
            $phase += 2 * 3.14159265358979 * 220 * 4 ** ($i / $count) / 44100;
            my $sample = int(16384 * sin($phase));
            $data .= pack("s<s<", $sample, $sample);
        }
        open my $out, ">:raw", $path or die "$path: $!";
        print $out "RIFF", pack("V", 36 + length $data), "WAVEfmt ",
            pack("VvvVVvv", 16, 1, 2, 44100, 176400, 4, 16), "data", pack("V", length $data), $data;
        close $out or die "$path: $!";' "$1" "$file"
    echo "$file"
}

sound_play() {
    sweep=$(sound_sweep "$1") || return 1
    # Named, not left to the server: the default the caller just made.
    # A short latency, so that the sound starts as soon as it is asked for.
    paplay --latency-msec=20 --device="$(sound_default_sink)" "$sweep" &
    sound_player=$!
    wait "$sound_player"
    status=$?
    sound_player=
    return "$status"
}

sound_stop() {
    [ -n "$sound_player" ] && kill "$sound_player" 2>/dev/null && wait "$sound_player" 2>/dev/null
    sound_player=
    if [ -n "$sound_session" ]; then
        # Asked to end first: PipeWire's session shell passes it on to the
        # daemons, and dbus-run-session ends its bus when that shell ends.
        if sound_ended "$sound_session"; then
            :
        elif [ "$sound_kind" = pipewire ]; then
            kill -TERM "$(cat "$sound_dir/session" 2>/dev/null)" 2>/dev/null
        else
            kill -TERM "$(cat "$sound_dir/leader" 2>/dev/null)" 2>/dev/null
        fi
        sound_reap
    fi
    [ -n "$sound_dir" ] && rm -rf "$sound_dir"
    sound_dir=
    return 0
}
