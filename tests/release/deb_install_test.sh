#!/bin/sh
# The Debian package installed into this system as a user installs it,
# `apt-get install ./vlvis_<version>_amd64.deb`, with its dependencies
# already there and no network; then vlvis run once by an ordinary user of
# the test's own on an Ogg Vorbis file under Xvfb, its frames captured and
# checked to move, and vlvis-install-plugin run; then `apt-get purge vlvis`,
# which must leave none of the package's files behind. Whatever happens,
# the package is purged and the user removed again.
#   deb_install_test.sh DEB
# It needs root, and skips (status 77) without it, or where vlvis is
# installed already: a package it did not install it leaves alone.
set -u
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
skip() {
    echo "skipped: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing the package into the system takes root (CI runs this test as root)"
# One such test at a time on a machine: another checkout's would purge ours.
exec 9>/run/lock/vlvis-package-test.lock
flock -w 900 9 || { echo "FAIL another package test holds /run/lock/vlvis-package-test.lock"; exit 1; }
package_state() { dpkg-query -W -f='${db:Status-Status}' vlvis 2>/dev/null; }
state=$(package_state)
[ -z "$state" ] || [ "$state" = not-installed ] ||
    skip "the package vlvis is on this system already ($state); this test installs and purges it, so it leaves that one alone"

# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
# shellcheck source=scripts/xvfb.sh
. "$(dirname "$0")/../../scripts/xvfb.sh"

user=vlvis-test-$$
home=$(mktemp -d /tmp/vlvis-package-test.XXXXXX)
chmod 755 "$home"
installed=
user_made=
apt() { apt-get -q -y -o DPkg::Lock::Timeout=300 "$@" >"$home/apt.log" 2>&1 || { sed 's/^/  apt: /' "$home/apt.log"; return 1; }; }
clean_up() {
    if [ -n "$user_made" ]; then
        # The user's Wine server, started by vlvis, and so every process of
        # the user's, ends with this.
        runuser -u "$user" -- env WINEPREFIX="$home/.local/share/vlvis" /usr/lib/wine/wineserver -k 2>/dev/null
        for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.2; done
        userdel "$user" || echo "could not remove the test's user $user"
    fi
    if [ -n "$installed" ] && [ -n "$(package_state)" ] && [ "$(package_state)" != not-installed ]; then
        apt purge vlvis || echo "could not purge vlvis"
    fi
    # shellcheck disable=SC2119 # Wine's server in the prefix is the user's, ended above
    stop_private_display
    rm -rf "$home"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

# The package's paths; which of its folders the system has before.
dpkg-deb -c "$deb" | awk '{ print $1, substr($6, 2) }' | sed 's|/$||' >"$home/paths"
folders_before=$(awk '$1 ~ /^d/ && $2 != "" { print $2 }' "$home/paths" | while read -r dir; do
    [ -d "$dir" ] && echo "$dir"; done)

installed=1
check "apt-get install $deb" apt install "$deb"
check "vlvis is installed" test "$(package_state)" = installed
[ "$failures" -eq 0 ] || exit 1

useradd --home-dir "$home" --no-create-home --shell /bin/sh --user-group "$user" && user_made=1
check "an ordinary user of the test's own" test -n "$user_made"
# Three seconds of 440 Hz: half a second of silence, then rising from
# -30 dB to 0 dB of 0.8 of full scale, so that the needles rise.
perl -e '
    my $data = "";
    for my $i (0 .. 3 * 44100 - 1) {
        my $t = $i / 44100;
        my $level = $t < 0.5 ? 0 : 0.8 * 10 ** ((12 * ($t - 0.5) - 30) / 20);
        my $sample = int(32767 * $level * sin(2 * 3.14159265358979 * 440 * $t));
        $data .= pack("s<s<", $sample, $sample);
    }
    print "RIFF", pack("V", 36 + length $data), "WAVEfmt ", pack("VvvVVvv", 16, 1, 2, 44100, 176400, 4, 16),
        "data", pack("V", length $data), $data;
' >"$home/rising.wav"
oggenc --quiet "$home/rising.wav" -o "$home/rising.ogg"
chown -R "$user:$user" "$home"

start_private_display

started=$(date +%s%N)
runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" \
    timeout 300 vlvis --seconds 3 --mute --stats --capture "$home/frames" "$home/rising.ogg" >"$home/run.txt" 2>&1
status=$?
ended=$(date +%s%N)
sed 's/^/  | /' "$home/run.txt"
echo "  vlvis ran $((($(date +%s%N) - started) / 1000000)) ms, its Wine prefix made on the way"
check "vlvis ran as $user (status $status)" test "$status" -eq 0
check "it said it made its prefix" grep -q "making its Wine prefix in $home/.local/share/vlvis" "$home/run.txt"
check "the prefix is in ~/.local/share/vlvis" test -f "$home/.local/share/vlvis/.vlvis-ready"
# Nor menu entries, file types, caches: nothing in the home but the
# prefix and what the test put there.
written=$(cd "$home" && find . -path ./.local/share/vlvis -prune -o -path ./frames -prune -o -print |
    grep -vxE '\.|\./(rising\.(wav|ogg)|apt\.log|paths|run\.txt|\.local|\.local/share|\.local/share/vlvis|frames)' | tr '\n' ' ')
check "vlvis wrote nothing in the user's home outside its prefix (found: $written)" test -z "$written"
frames=$(find "$home/frames" -name 'frame-*.png' 2>/dev/null | wc -l)
distinct=$(find "$home/frames" -name 'frame-*.png' -exec sha256sum {} + 2>/dev/null | cut -c1-64 | sort -u | wc -l)
check "frames captured ($frames)" test "$frames" -ge 40
check "the needles move: $distinct different frames among them" test "$distinct" -ge 10
# The run ends with its last frame: no window's closing waits for a window
# manager, which this bare X server lacks. 3 s is far above the tenth of a
# second it takes; the 2 s Wine waits for each of two windows is not.
last=$(find "$home/frames" -name 'frame-*.png' 2>/dev/null | sort | tail -n 1)
after_last=$(( (ended - $(date -r "${last:-/nonexistent}" +%s%N 2>/dev/null || echo 0)) / 1000000 ))
check "vlvis ended $after_last ms after its last frame was written (at most 3000)" test "$after_last" -le 3000

mkdir -p "$home/player/drive_c/Program Files/Winamp"
check "vlvis-install-plugin installs the 32-bit plug-in" sh -c \
    "vlvis-install-plugin --prefix '$home/player' --player-dir '$home/player/drive_c/Program Files/Winamp' >/dev/null &&
     cmp -s '$home/player/drive_c/Program Files/Winamp/Plugins/vlvis003.dll' /usr/lib/vlvis/win32/vlvis003.dll &&
     cmp -s '$home/player/drive_c/Program Files/Winamp/vl-vu.bmp' /usr/share/vlvis/vl-vu.bmp"

check "apt-get purge vlvis" apt purge vlvis && installed=
check "vlvis is gone from dpkg's records ($(package_state))" sh -c "[ -z '$(package_state)' ] || [ '$(package_state)' = not-installed ]"
left=$(awk '$1 !~ /^d/ { print $2 }' "$home/paths" | while read -r file; do
    { [ -e "$file" ] || [ -L "$file" ]; } && echo "$file"; done
    awk '$1 ~ /^d/ && $2 != "" { print $2 }' "$home/paths" | while read -r dir; do
    [ -d "$dir" ] && ! printf '%s\n' "$folders_before" | grep -qxF "$dir" && echo "$dir"; done)
check "the purge left none of the package's files or folders (left: $(printf '%s' "$left" | tr '\n' ' '))" test -z "$left"

[ "$failures" -eq 0 ]
