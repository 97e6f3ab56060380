#!/bin/sh
# Tries scripts/install-wine.sh on scratch prefixes: plain folder trees laid
# out like Wine's, since the script only places files.
#   install_wine_test.sh DLL FACE WORKDIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
install=$here/../../scripts/install-wine.sh
work=$3
rm -rf "$work"
mkdir -p "$work/files"
cp "$1" "$work/files/vlvis003.dll"
cp "$2" "$work/files/vl-vu.bmp"
files=$work/files

# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
# Every path with its size and change time, so that a second run that
# rewrites or adds anything shows.
snapshot() { (cd "$1" && find . -printf '%p %s %C@\n' | sort); }
run() {  # prefix, then arguments; output in $work/out, status in $status
    run_prefix=$1; shift
    "$install" --prefix "$run_prefix" --from "$files" "$@" >"$work/out" 2>&1
    status=$?
}
said() { grep -qF -- "$1" "$work/out"; }

# A 64-bit prefix: the player in Program Files (x86), no Plugins folder yet,
# C: reached through dosdevices.
p=$work/prefix64
mkdir -p "$p/drive_c/Program Files" "$p/drive_c/Program Files (x86)/Winamp" "$p/dosdevices"
ln -s ../drive_c "$p/dosdevices/c:"
: >"$p/drive_c/Program Files (x86)/Winamp/winamp.exe"
plugins="$p/drive_c/Program Files (x86)/Winamp/Plugins"
face="$p/drive_c/Program Files/Winamp/vl-vu.bmp"

run "$p"
check "finds the player without --player-dir (status $status)" test "$status" -eq 0
check "DLL lands in the player's Plugins folder" cmp -s "$plugins/vlvis003.dll" "$files/vlvis003.dll"
check "face lands at c:\\program files\\winamp\\vl-vu.bmp" cmp -s "$face" "$files/vl-vu.bmp"
check "says where the DLL went" said "installed  $plugins/vlvis003.dll"
check "says where the face went" said "installed  $face"
check "names the settings file" said "$plugins/plugin.ini"
before=$(snapshot "$p")
sleep 0.01

run "$p" --player-dir 'C:\Program Files (x86)\Winamp'
check "second run succeeds (status $status)" test "$status" -eq 0
check "second run touches nothing" test "$(snapshot "$p")" = "$before"
check "second run says the DLL is unchanged" said "unchanged  $plugins/vlvis003.dll"
check "second run says the face is unchanged" said "unchanged  $face"

# shellcheck disable=SC1003
run "$p" --player-dir 'c:\PROGRAM FILES (X86)\winamp\'
check "Windows path in another letter case: same folders (status $status)" \
    sh -c "[ $status -eq 0 ] && [ \"\$(cd '$p' && find . -printf '%p %s %C@\n' | sort)\" = \"\$0\" ]" "$before"

# Folders spelled in other letter cases, an older face and another
# plug-in's settings: reused and replaced in place, nothing added beside.
p=$work/prefix-cases
mkdir -p "$p/drive_c/program files/WINAMP/PLUGINS"
printf 'old face' >"$p/drive_c/program files/WINAMP/VL-VU.BMP"
printf '[other]\r\nkey=1\r\n' >"$p/drive_c/program files/WINAMP/PLUGINS/plugin.ini"
cp "$p/drive_c/program files/WINAMP/PLUGINS/plugin.ini" "$work/ini-before"
run "$p" --player-dir "$p/drive_c/program files/WINAMP"
check "Unix player path (status $status)" test "$status" -eq 0
check "DLL goes into the existing PLUGINS folder" cmp -s "$p/drive_c/program files/WINAMP/PLUGINS/vlvis003.dll" "$files/vlvis003.dll"
check "face replaces VL-VU.BMP in place" cmp -s "$p/drive_c/program files/WINAMP/VL-VU.BMP" "$files/vl-vu.bmp"
check "no second spelling of any folder or file" \
    test "$(cd "$p" && find . | sort | tr '\n' '|')" = ".|./drive_c|./drive_c/program files|./drive_c/program files/WINAMP|./drive_c/program files/WINAMP/PLUGINS|./drive_c/program files/WINAMP/PLUGINS/plugin.ini|./drive_c/program files/WINAMP/PLUGINS/vlvis003.dll|./drive_c/program files/WINAMP/VL-VU.BMP|"
check "plugin.ini untouched" cmp -s "$p/drive_c/program files/WINAMP/PLUGINS/plugin.ini" "$work/ini-before"

# Another drive: the DLL follows the drive's mapping, the face stays on C:.
p=$work/prefix-drive-d
mkdir -p "$p/drive_c" "$p/dosdevices" "$work/games/Winamp"
ln -s ../drive_c "$p/dosdevices/c:"
ln -s "$work/games" "$p/dosdevices/d:"
run "$p" --player-dir 'D:\Winamp'
check "player on drive D: (status $status)" test "$status" -eq 0
check "DLL lands on drive D:" cmp -s "$work/games/Winamp/Plugins/vlvis003.dll" "$files/vlvis003.dll"
check "face on drive C: in a new Program Files folder" cmp -s "$p/drive_c/Program Files/Winamp/vl-vu.bmp" "$files/vl-vu.bmp"

# Refusals: each stops before writing anything.
p=$work/prefix-refusals
mkdir -p "$p/drive_c/Program Files/Winamp"
before=$(snapshot "$p")
for case in "not a prefix|$work/no-prefix|C:\\Program Files\\Winamp" \
            "player folder missing|$p|C:\\Program Files\\Nothing" \
            "drive not mapped|$p|E:\\Winamp" \
            "no winamp.exe to find|$p|"; do
    name=${case%%|*}; rest=${case#*|}; prefix=${rest%%|*}; dir=${rest#*|}
    if [ -n "$dir" ]; then run "$prefix" --player-dir "$dir"; else run "$prefix"; fi
    check "refuses: $name (status $status: $(head -n 1 "$work/out"))" test "$status" -eq 1
    check "refuses: $name, writes nothing" test "$(snapshot "$p")" = "$before"
done
check "no-prefix folder not created" test ! -e "$work/no-prefix"
"$install" --prefix "$p" --from "$work/empty" >"$work/out" 2>&1
status=$?
check "refuses: files missing (status $status)" test "$status" -eq 1
check "refuses: files missing, writes nothing" test "$(snapshot "$p")" = "$before"
"$install" --prefix >"$work/out" 2>&1
check "refuses: option without value (status $?)" said usage

[ "$failures" -eq 0 ]
