#!/bin/sh
# Runs the release's installer and uninstaller silently (/S) under 32-bit
# Wine in fresh prefixes, as a user would, and the DLL they install in the
# 32-bit stand-in player.
#   installer_test.sh SETUP RELEASE_DLL FACE VISHOST WORKDIR
# The prefixes live in WORKDIR; the runner makes them as copies of a pristine
# one where VLVIS_WINE_TEMPLATE names it. Each Windows program has the limit
# VLVIS_WINE_TIMEOUT gives the runner.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/checks.sh
. "$here/../checks.sh"
setup=$1 dll=$2 face=$3 vishost=$4 work=$5
runner=$here/../../cmake/wine-run.sh

windows_path() { printf 'Z:%s' "$1" | tr / '\134'; }
# run_and_wait also waits for every process the program started and for
# the registry to reach system.reg: Wine writes it back only when its server
# ends, and the uninstaller hands its work to a copy of itself. That is a
# Wine start from nothing for the next program, so only the runs whose
# registry or children are looked at wait.
run() {  # prefix, then a program and its arguments; status in $status
    "$runner" --win32 "$@" >>"$work/log" 2>&1
    status=$?
}
run_and_wait() {
    "$runner" --win32 --wait "$@" >>"$work/log" 2>&1
    status=$?
}
# Every file and folder under a folder with its size, so that anything left
# behind or taken away shows.
snapshot() { (cd "$1" 2>/dev/null && find . -printf '%p %s\n' | sort); }
# Wine keeps HKLM in system.reg, a key's backslashes doubled.
entries() { grep -cF '[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlvis003]' "$1/system.reg"; }
# The first frame's pixels in an area that no needle or line of a silent
# frame crosses, against the face's own pixels there.
area_pixels() { convert "$1" -crop 50x35+80+5 +repage rgb:- | od -An -tx1 | tr -d ' \n'; }

rm -rf "$work"
mkdir -p "$work"
for prefix in a b; do
    "$runner" --win32 --prepare "$work/$prefix" >>"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
done

# A: the player registered through its uninstall entry, in a folder of ours
# whose Plugins folder already holds another plug-in and its settings.
drive=$work/a/drive_c
player="$drive/Players/Test Player"
mkdir -p "$player/Plugins"
: >"$player/winamp.exe"
: >"$player/Plugins/other_plugin.dll"
printf '[Other]\r\nkey=1\r\n' >"$player/Plugins/plugin.ini"
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp]' \
    '"UninstallString"="\"C:\\Players\\Test Player\\UninstWA.exe\""' >"$work/player.reg"
before=$(snapshot "$drive/Program Files")
plugins_before=$(snapshot "$player/Plugins")
run "$work/a" regedit /S "$(windows_path "$work/player.reg")"
run_and_wait "$work/a" "$setup" /S
check "installs silently (status $status)" test "$status" -eq 0
check "the DLL lands in the registered player's Plugins folder" cmp -s "$player/Plugins/vlvis003.dll" "$dll"
check "the face lands at c:\\program files\\winamp\\vl-vu.bmp" cmp -s "$drive/Program Files/Winamp/vl-vu.bmp" "$face"
check "the uninstaller lands beside the DLL" test -f "$player/Plugins/vlvis003-uninstall.exe"
check "the uninstall entry is registered" test "$(entries "$work/a")" -eq 1
installed=$(snapshot "$drive/Program Files"; snapshot "$player")

run_and_wait "$work/a" "$setup" /S
check "installs again over the first (status $status)" test "$status" -eq 0
check "the second install leaves the same files" test "$(snapshot "$drive/Program Files"; snapshot "$player")" = "$installed"
check "the second install keeps one uninstall entry" test "$(entries "$work/a")" -eq 1

# The installed DLL in the 32-bit player: both modules, the face behind the
# meters. Its settings file appears beside it.
frames=$work/a-frames
run "$work/a" "$vishost" --plugin 'C:\Players\Test Player\Plugins\vlvis003.dll' --module 0,1 --seconds 1 \
    --mute --capture "$(windows_path "$frames")"
check "the installed DLL runs both modules in the 32-bit player (status $status)" test "$status" -eq 0
first=$frames/frame-000000.png
last=$(find "$frames" -name 'frame-*.png' 2>/dev/null | sort | tail -n 1)
check "the VU meters show the installed face" \
    test "$(area_pixels "$first" 2>/dev/null)" = "$(area_pixels "$face")"
check "the oscilloscope's frame follows" test "$(identify -format '%wx%h' "$last" 2>/dev/null)" = 576x512
check "the player wrote plugin.ini beside the DLL" grep -qF '[Analog VU meters - Velmora]' "$player/Plugins/plugin.ini"
check "plugin.ini keeps the other plug-in's section" grep -qF '[Other]' "$player/Plugins/plugin.ini"

run_and_wait "$work/a" 'C:\Players\Test Player\Plugins\vlvis003-uninstall.exe' /S
check "uninstalls silently (status $status)" test "$status" -eq 0
check "uninstalling leaves Program Files as it was" test "$(snapshot "$drive/Program Files")" = "$before"
check "uninstalling leaves the other plug-in and plugin.ini" \
    test "$(snapshot "$player/Plugins" | grep -v plugin.ini)" = "$(printf '%s\n' "$plugins_before" | grep -v plugin.ini)"
check "the uninstall entry is gone" test "$(entries "$work/a")" -eq 0

# B: no player registered: the default folder, made by the installer and
# taken away again by the uninstaller.
drive=$work/b/drive_c
before=$(snapshot "$drive/Program Files")
run "$work/b" "$setup" /S
check "installs without a registered player (status $status)" test "$status" -eq 0
check "the DLL lands in C:\\Program Files\\Winamp\\Plugins" cmp -s "$drive/Program Files/Winamp/Plugins/vlvis003.dll" "$dll"
run_and_wait "$work/b" 'C:\Program Files\Winamp\Plugins\vlvis003-uninstall.exe' /S
check "uninstalling removes the folders it made (status $status)" test "$(snapshot "$drive/Program Files")" = "$before"

[ "$failures" -eq 0 ] || { echo "== what the programs said"; cat "$work/log"; }
[ "$failures" -eq 0 ]
