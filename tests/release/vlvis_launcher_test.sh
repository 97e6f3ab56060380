#!/bin/sh
# The Debian package's launcher, vlvis, unpacked from the package and run
# with fakes for Wine's loader, pactl, parec and the desktop's notifications
# on PATH, which record how they were called: the prefix made once and
# where, the monitor of the default output recorded and handed to the
# player, files and options handed on as the player takes them, each
# failure a user can meet one line with a non-zero status, what keeps the
# needles at rest said once, and, from the menu, all of it on the desktop.
#   vlvis_launcher_test.sh DEB VERSION WORKDIR
set -u
deb=$1
version=$2
work=$3
rm -rf "$work"
mkdir -p "$work/tree" "$work/wine" "$work/pulse" "$work/x11" "$work/desktop" "$work/dialog" "$work/bare" "$work/home" \
    "$work/music"
work=$(cd "$work" && pwd)
dpkg-deb -x "$deb" "$work/tree"
vlvis=$work/tree/usr/bin/vlvis
log=$work/calls

# Only these tools, so that a real pactl or Wine on this machine is not found.
for tool in sh tr dirname readlink sed grep cut mkdir ln ls cat locale mktemp mkfifo rm sleep head tail setsid awk; do
    ln -s "$(command -v "$tool")" "$work/bare/$tool"
done
# Each call one line: the variables the launcher sets, then the arguments.
cat >"$work/wine/wine64" <<'FAKE'
#!/bin/sh
printf 'wine PREFIX=%s PULSE_SOURCE=%s OVERRIDES=%s ARGS=%s\n' "$WINEPREFIX" "${PULSE_SOURCE:-}" \
    "$WINEDLLOVERRIDES" "$*" >>"$FAKE_LOG"
[ "$1" != wineboot ] || mkdir -p "$WINEPREFIX/drive_c/Program Files"
case " $* " in
    # The player reads what the launcher records for it, or stays a while.
    *" --stdin "*) if [ -n "${FAKE_PLAYER_SECONDS:-}" ]; then
                       sleep "$FAKE_PLAYER_SECONDS"
                       # Whether a recording is going on as the player ends; one
                       # just stopped may take a moment to be gone.
                       recorder=$(sed -n 's/^parec PID=\([0-9]*\).*/\1/p' "$FAKE_LOG" | tail -n 1)
                       for _ in 1 2 3 4 5 6 7 8 9 10; do
                           [ -n "$recorder" ] && kill -0 "$recorder" 2>/dev/null || break
                           sleep 0.2
                       done
                       if [ -n "$recorder" ] && kill -0 "$recorder" 2>/dev/null; then echo "player ends recorded" >>"$FAKE_LOG"
                       else echo "player ends unrecorded" >>"$FAKE_LOG"; fi
                   else printf 'player read %s\n' "$(head -c 16)" >>"$FAKE_LOG"
                        # and stays until the recording has started.
                        for _ in 1 2 3 4 5 6 7 8 9 10; do grep -q '^parec ' "$FAKE_LOG" && break; sleep 0.2; done
                   fi ;;
esac
[ -z "${FAKE_PLAYER_SAYS:-}" ] || echo "$FAKE_PLAYER_SAYS" >&2
exit "${FAKE_WINE_STATUS:-0}"
FAKE
cat >"$work/pulse/pactl" <<'FAKE'
#!/bin/sh
[ "${FAKE_PULSE:-}" != down ] || exit 1
case $* in
    info) echo "Server Name: fake"
          [ "${FAKE_PULSE:-}" = no-sink ] || echo "Default Sink: speakers"
          echo "Default Source: mic" ;;
    'list short sources')
          [ "${FAKE_PULSE:-}" = no-monitor ] || printf '0\tspeakers.monitor\tmodule-null-sink.c\ts16le 2ch 44100Hz\tIDLE\n'
          printf '1\tmic\tmodule-null-source.c\ts16le 2ch 44100Hz\tIDLE\n' ;;
    'list short sinks') printf '0\tspeakers\tmodule-null-sink.c\ts16le 2ch 44100Hz\t%s\n' "${FAKE_SINK_STATE:-RUNNING}" ;;
    # Until the launcher ends it, which it must.
    subscribe) echo "subscribe PID=$$" >>"$FAKE_LOG"; exec sleep 60 ;;
esac
FAKE
cat >"$work/pulse/parec" <<'FAKE'
#!/bin/sh
echo "parec PID=$$ ARGS=$*" >>"$FAKE_LOG"
exec sleep 60
FAKE
cat >"$work/desktop/notify-send" <<'FAKE'
#!/bin/sh
echo "notify ARGS=$*" >>"$FAKE_LOG"
FAKE
cat >"$work/dialog/zenity" <<'FAKE'
#!/bin/sh
echo "dialog ARGS=$*" >>"$FAKE_LOG"
FAKE
# A window manager's EWMH check window, named on the root and by itself,
# where FAKE_WM=1; one left behind by a window manager that is gone where
# FAKE_WM=stale; a display that does not answer where FAKE_WM=down; none
# otherwise.
cat >"$work/x11/xprop" <<'FAKE'
#!/bin/sh
case ${FAKE_WM:-}/$1 in
    down/*) echo "xprop:  unable to open display ':7'" >&2; exit 1 ;;
    1/* | stale/-root) echo "_NET_SUPPORTING_WM_CHECK 0x200006" ;;
    stale/-id) echo "X Error of failed request:  BadWindow (invalid Window parameter)" >&2; exit 1 ;;
    *) echo "_NET_SUPPORTING_WM_CHECK:  no such atom on any window." ;;
esac
FAKE
chmod +x "$work/wine/wine64" "$work/pulse/pactl" "$work/pulse/parec" "$work/x11/xprop" "$work/desktop/notify-send" \
    "$work/dialog/zenity"
: >"$work/music/a song.ogg"

# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
run() {  # [NAME=VALUE...] ARGUMENTS...: output, errors, status and calls kept
    : >"$log"
    env PATH="$work/wine:$work/pulse:$work/bare" HOME="$work/home" XDG_DATA_HOME="$work/data" DISPLAY=:7 \
        FAKE_LOG="$log" "$@" >"$work/out" 2>"$work/err"
    status=$?
}
said() { grep -qF -- "$1" "$work/out" "$work/err"; }
called() { grep -qF -- "$1" "$log"; }
failed_with() { [ "$status" -eq "$1" ] && grep -qF -- "$2" "$work/err"; }
# One line, and the player never started.
one_line_only() { [ "$(wc -l <"$work/err")" -eq 1 ] && ! grep -q vishost "$log"; }
# Every recorder and event stream the launcher started has ended with it,
# or is ending: a moment for the system to take them away.
none_left() {
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        sed -n 's/^[a-z]* PID=\([0-9]*\).*/\1/p' "$log" | while read -r pid; do
            ! kill -0 "$pid" 2>/dev/null || return 1
        done && return 0
        sleep 0.2
    done
    return 1
}
# Status 0, the player run, and the line said once.
waited_saying() { [ "$status" -eq 0 ] && grep -q vishost "$log" && [ "$(grep -cF -- "$1" "$work/err")" -eq 1 ]; }
# Notifications are shown in the background: a moment for them to come.
shown() {  # what the log must come to hold
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        grep -qF -- "$1" "$log" && return 0
        sleep 0.25
    done
    return 1
}
windows() { printf 'Z:%s' "$1" | tr / '\134'; }

run "$vlvis" --version
check "--version prints vlvis $version" test "$status $(cat "$work/out")" = "0 vlvis $version"
run "$vlvis" --help
check "--help shows the usage (status $status)" sh -c "[ $status -eq 0 ] && grep -q '^usage: vlvis' '$work/out'"

# The first run makes the prefix, saying so once; the second only runs.
prefix=$work/data/vlvis
run "$vlvis"
check "first run: status 0 (status $status)" test "$status" -eq 0
check "first run: says it makes the prefix in $prefix" said "making its Wine prefix in $prefix"
check "first run: wineboot in that prefix, without menu entries, Mono or Gecko" \
    grep -qE "^wine PREFIX=$prefix .* OVERRIDES=winemenubuilder.exe=d;winedbg.exe=d;mscoree=;mshtml=(;winealsa.drv=d)? ARGS=wineboot --init\$" "$log"
check "first run: the VU meters on sound from standard input" \
    grep -qE "PULSE_SOURCE= .* ARGS=C:.Program Files.vlvis.vishost.exe --module 0 --stdin\$" "$log"
check "first run: the default output's monitor recorded, 16-bit stereo at 44.1 kHz in 25 ms pieces" \
    grep -qE "^parec PID=[0-9]+ ARGS=--raw --format=s16le --rate=44100 --channels=2 --latency-msec=25 --device=speakers.monitor " "$log"
check "first run: the player reads the mark of a new recording first" called "player read VLVIS-NEW-STREAM"
check "first run: the recorder and the server's events end with the player" none_left
run FAKE_SINK_STATE=IDLE FAKE_PLAYER_SECONDS=3 "$vlvis"
check "nothing plays: recorded at first, in case it does, not after 2 s, nothing said (status $status)" \
    sh -c "[ $status -eq 0 ] && grep -q '^parec ' '$log' && grep -q '^player ends unrecorded' '$log' && [ ! -s '$work/err' ]"
run FAKE_PLAYER_SECONDS=3 "$vlvis"
check "something plays: recorded throughout" called "player ends recorded"
for file in lib/vlvis/vishost.exe lib/vlvis/vlvis003.dll share/vlvis/vl-vu.bmp; do
    case $file in */vl-vu.bmp) link="$prefix/drive_c/Program Files/Winamp/vl-vu.bmp" ;;
                  *) link="$prefix/drive_c/Program Files/vlvis/${file##*/}" ;; esac
    check "the prefix links the package's $file" test "$(readlink "$link")" = "$work/tree/usr/$file"
done
run "$vlvis"
check "second run: no wineboot, no message (status $status)" \
    sh -c "[ $status -eq 0 ] && ! grep -q wineboot '$log' && [ ! -s '$work/err' ] && grep -q vishost '$log'"
check "\$HOME/.wine untouched" test ! -e "$work/home/.wine"
check "without xprop the windows are left to the window manager, as Wine has them" sh -c "! grep -q 'ARGS=reg ' '$log'"

# Where no window manager runs, Wine places its windows itself; the
# registry is written only when that changes.
managed_set() { called "ARGS=reg add HKCU\\Software\\Wine\\X11 Driver /v Managed /d $1 /f"; }
with_x11="PATH=$work/wine:$work/pulse:$work/x11:$work/bare"
run "$with_x11" "$vlvis"
check "no window manager: Wine's windows made unmanaged, then the player run (status $status)" \
    sh -c "[ $status -eq 0 ] && grep -n 'ARGS=reg add ' '$log' | grep -q '^1:.*Managed /d N /f' && grep -q vishost '$log'"
run "$with_x11" "$vlvis"
check "no window manager again: the registry left as it is" sh -c "! grep -q 'ARGS=reg ' '$log'"
run "$with_x11" FAKE_WM=1 "$vlvis"
check "a window manager: the windows are its own again" managed_set Y
run "$with_x11" FAKE_WM=1 "$vlvis"
check "a window manager again: the registry left as it is" sh -c "! grep -q 'ARGS=reg ' '$log'"
run "$with_x11" "$vlvis" --list-inputs
check "--list-inputs opens no window: the registry left as it is" sh -c "! grep -q 'ARGS=reg ' '$log'"
run "$with_x11" FAKE_WM=stale "$vlvis"
check "a check window whose window manager is gone: no window manager" managed_set N
run "$with_x11" FAKE_WM=down "$vlvis"
check "a display that does not answer xprop: the registry left as it is" sh -c "! grep -q 'ARGS=reg ' '$log'"
run XDG_DATA_HOME= "$vlvis" --list-inputs
check "without XDG_DATA_HOME the prefix is ~/.local/share/vlvis" called "PREFIX=$work/home/.local/share/vlvis "

# Files, the scope, the player's own options; a device by name.
cd "$work/music" || exit 1
run "$vlvis" --scope --seconds 2 --capture frames --stats --mute "a song.ogg"
check "files: played on module 1, options handed on, Windows paths (status $status)" \
    called "PULSE_SOURCE= OVERRIDES=winemenubuilder.exe=d;winedbg.exe=d;mscoree=;mshtml=;winealsa.drv=d ARGS=C:\\Program Files\\vlvis\\vishost.exe --module 1 --seconds 2 --capture Z:$(printf '%s' "$work" | tr / '\134')\\music\\frames --stats --mute Z:$(printf '%s' "$work" | tr / '\134')\\music\\a song.ogg"
run "$vlvis" --device mic
check "--device: that input, no monitor chosen" called "PULSE_SOURCE= OVERRIDES=winemenubuilder.exe=d;winedbg.exe=d;mscoree=;mshtml=;winealsa.drv=d ARGS=C:\\Program Files\\vlvis\\vishost.exe --module 0 --input mic"
run DISPLAY= "$vlvis" --list-inputs
check "--list-inputs needs no display (status $status)" called "vishost.exe --list-inputs"
cd - >/dev/null || exit 1

# Failures: one line each, a non-zero status, and the player not started.
while IFS='|' read -r name expected words environment arguments; do
    # shellcheck disable=SC2086
    run $environment "$vlvis" $arguments
    check "fails: $name (status $status: $(head -n 1 "$work/err"))" failed_with "$expected" "$words"
    check "fails: $name, in one line, the player not run" one_line_only
done <<'CASES'
unknown option|2|unknown option '--loud'|FAKE_PULSE=|--loud
option without value|2|--seconds needs a value|FAKE_PULSE=|--seconds
no such file|2|no file 'missing.ogg'|FAKE_PULSE=|missing.ogg
files and --device|2|not both|FAKE_PULSE=|--device mic /etc/hostname
no display|1|no display|DISPLAY=|/etc/hostname
no Wine|1|VLVIS_WINE names no program|VLVIS_WINE=/nowhere/wine64|
CASES
# What keeps the needles at rest is said once, and the run goes on.
while IFS='|' read -r name words environment; do
    run FAKE_PLAYER_SECONDS=1.2 "$environment" "$vlvis"
    check "waits: $name (status $status: $(cat "$work/err"))" waited_saying "$words"
    check "waits: $name, then ends with the player" none_left
done <<'CASES'
no sound server|no sound server answers (PulseAudio, or PipeWire's PulseAudio service): the needles rest until one does|FAKE_PULSE=down
no default output|the sound server has no default output: the needles rest until it has one|FAKE_PULSE=no-sink
no monitor|the default output speakers has no monitor to listen to: the needles rest until it has|FAKE_PULSE=no-monitor
CASES
run PATH="$work/wine:$work/bare" "$vlvis"
check "fails: no pactl (status $status: $(head -n 1 "$work/err"))" failed_with 1 pulseaudio-utils
check "fails: no pactl, in one line, the player not run" one_line_only
mv "$work/pulse/parec" "$work/parec"
run "$vlvis"
check "fails: no parec (status $status: $(head -n 1 "$work/err"))" failed_with 1 "recorded with parec, which is missing"
mv "$work/parec" "$work/pulse/parec"

# From the menu (its entry's command, no terminal): what the terminal
# would have said is shown on the desktop too; from a terminal, never.
menu=$(sed -n 's/^Exec=//p' "$work/tree/usr/share/applications/vlvis.desktop" | head -n 1)
notify_path=PATH=$work/wine:$work/pulse:$work/desktop:$work/bare:$work/tree/usr/bin
# shellcheck disable=SC2086 # the entry's command is words
run "$notify_path" FAKE_PULSE=down FAKE_PLAYER_SECONDS=1.2 $menu
said_line=$(sed -n 's/^vlvis: //p' "$work/err" | head -n 1)
check "menu: the entry's command ($menu) notifies what the terminal said: $said_line" \
    shown "notify ARGS=--app-name=vlvis --icon=vlvis VU Meters $said_line"
# shellcheck disable=SC2086
run "$notify_path" DISPLAY= $menu
check "menu: a failure before the player ran is notified" shown "notify ARGS=--app-name=vlvis --icon=vlvis VU Meters no display"
# shellcheck disable=SC2086
run "$notify_path" FAKE_WINE_STATUS=1 "FAKE_PLAYER_SAYS=vishost: cannot open the sound file" $menu /etc/hostname
check "menu: the player's failure is notified, and is vlvis's status (status $status)" \
    sh -c "[ $status -eq 1 ] && grep -qF 'vishost: cannot open the sound file' '$work/err'"
check "menu: the player's failure is notified" shown "notify ARGS=--app-name=vlvis --icon=vlvis VU Meters cannot open the sound file"
# shellcheck disable=SC2086
run "PATH=$work/wine:$work/pulse:$work/dialog:$work/bare:$work/tree/usr/bin" DISPLAY= $menu
check "menu: without notify-send, a dialog" shown "dialog ARGS=--error --title=VU Meters --no-markup --text=no display"
run "$notify_path" FAKE_PULSE=down FAKE_PLAYER_SECONDS=1.2 "$vlvis"
run "$notify_path" DISPLAY= "$vlvis"
sleep 1
check "from a terminal: nothing shown on the desktop" sh -c "! grep -qE '^(notify|dialog) ' '$log'"
run FAKE_WINE_STATUS=1 "$vlvis" /etc/hostname
check "the player's failure is vlvis's status (status $status)" test "$status" -eq 1
rm -rf "$work/data"
run FAKE_WINE_STATUS=1 "$vlvis"
check "fails: Wine cannot make the prefix (status $status: $(tail -n 1 "$work/err"))" \
    failed_with 1 "could not make its prefix in $prefix; what it said is in $prefix/setup.log"
check "fails: Wine cannot make the prefix, in one line after the one saying it tries" test "$(wc -l <"$work/err")" -eq 2
run "$vlvis"
check "after a failed making, the next run makes the prefix again" called wineboot

[ "$failures" -eq 0 ]
