#!/bin/sh
# The demo: builds the plug-in and the stand-in player (vishost.exe), puts
# the committed meter face where the plug-in reads it, and runs the VU
# meters on the player's built-in program, on sound files (MP3, FLAC, Ogg
# Vorbis, WAV, or .m3u/.m3u8 playlists of them) played in turn or, with
# --live, on what the desktop plays; --scope runs the oscilloscope.
#
# With a display the windows open for real (Esc or closing the player's
# window ends the run). Without one, or with --headless, it runs each module
# for a few seconds under a private Xvfb and writes the captured frames, a
# still and an animated GIF of each module into demo-output/.
#
# Everything Wine needs lives in a prefix of its own, build/demo/wineprefix;
# ~/.wine is never touched.
set -eu
cd "$(dirname "$0")/.."

usage() {
    cat <<'USAGE'
usage: scripts/demo.sh [--scope] [--headless] [--seconds S] [--output DIR] [FILE... | --live | --device NAME]

  FILE...       play these sound files in turn instead of the built-in
                program; a .m3u or .m3u8 playlist plays its entries
  --live        show what the desktop plays: the sound server's monitor of
                its default output; nothing is played
  --device NAME show what the recording device whose name contains NAME
                hears (vishost --list-inputs lists them)
  --scope       run the oscilloscope instead of the VU meters
                (headless runs show both unless --scope is given)
  --headless    capture frames under a private Xvfb even when DISPLAY is set
  --seconds S   how long each module runs headless (default 10: the whole
                built-in program)
  --output DIR  where the headless frames, stills and GIFs go (default demo-output)
USAGE
}

modules=
headless=
seconds=10
output="demo-output"
files=  # one absolute path a line
live=
input=
while [ $# -gt 0 ]; do
    case $1 in
        --scope) modules=1; shift ;;
        --live) live=1; shift ;;
        --headless) headless=1; shift ;;
        --seconds | --output | --device)
            [ $# -ge 2 ] || { usage >&2; exit 2; }
            case $1 in
                --seconds) seconds=$2 ;;
                --output) output=$2 ;;
                --device) live=1 input=$2 ;;
            esac
            shift 2 ;;
        -h | --help) usage; exit 0 ;;
        -*) usage >&2; exit 2 ;;
        *)
            [ -f "$1" ] || { echo "demo: no file '$1'" >&2; exit 2; }
            files="$files$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
"
            shift ;;
    esac
done
[ -z "$files" ] || [ -z "$live" ] || { echo "demo: files or live sound, not both" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || headless=1

scripts/install-deps.sh

echo "== building the plug-in and the player (64-bit, the build Wine runs here)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc 2>/dev/null || echo 2)" --target vlvis003 vishost

# The demo's own folder: the player with the plug-in beside it, as in a real
# install, so that plugin.ini lands there and not in the test build.
demo=$PWD/build/demo
prefix=$demo/wineprefix
mkdir -p "$demo"
cp build/win64/vishost.exe build/win64/vlvis003.dll "$demo/"
run() { cmake/wine-run.sh "$prefix" "$demo/vishost.exe" "$@"; }
windows_path() { printf 'Z:%s' "$1" | tr / '\134'; }

# The recording device that carries what the desktop plays: the monitor of
# the sound server's default output, as the server describes it (Wine names
# the device so). Empty when the server does not say.
monitor_of_default_output() {
    command -v pactl >/dev/null 2>&1 || return 0
    sink=$(LC_ALL=C pactl get-default-sink 2>/dev/null) || return 0
    LC_ALL=C pactl list sources 2>/dev/null | awk -v source="$sink.monitor" '
        $1 == "Name:" { mine = $2 == source }
        mine && $1 == "Description:" { sub(/^[ \t]*Description: /, ""); print; exit }'
}

# What the modules run on: the built-in program, the files, or live sound.
set --
source=
if [ -n "$files" ]; then
    old_ifs=$IFS
    IFS='
'
    for file in $files; do
        set -- "$@" "$(windows_path "$file")"
        source="${source:- on} $file"
    done
    IFS=$old_ifs
elif [ -n "$live" ]; then
    [ -n "$input" ] || input=$(monitor_of_default_output)
    if [ -n "$input" ]; then set -- --input "$input"; else set -- --input; fi
    source=" on ${input:-the default recording device}"
fi

if [ -n "$headless" ]; then
    . scripts/xvfb.sh
    start_private_display
    trap 'stop_private_display "$prefix"' EXIT
fi

echo "== the Wine prefix $prefix (made once, in about ten seconds)"
run --list

# The face at c:\program files\winamp\vl-vu.bmp. Wine matches names without
# regard to case, so the prefix's own "Program Files" folder is used.
program_files=$prefix/drive_c/Program\ Files
[ -d "$program_files" ] || program_files=$prefix/drive_c/program\ files
mkdir -p "$program_files/winamp"
cp assets/vl-vu.bmp "$program_files/winamp/vl-vu.bmp"

if [ -z "$headless" ]; then
    echo "== running module ${modules:-0}$source: Esc in the player's window, or closing it, ends the run"
    run --module "${modules:-0}" "$@"
    exit 0
fi

# Every second frame at 20 frames a second keeps the GIF small and on time.
make_gif() {
    folder=$1 gif=$2
    set --
    i=0
    for frame in "$folder"/frame-*.png; do
        [ $((i % 2)) -eq 0 ] && set -- "$@" "$frame"
        i=$((i + 1))
    done
    convert -delay 5 -loop 0 "$@" -layers Optimize "$gif"
}

mkdir -p "$output"
output=$(cd "$output" && pwd)
for module in ${modules:-0 1}; do
    case $module in
        0) name=vu-meters still_frame=110 ;;  # 2.75 s: the loud passage
        *) name=oscilloscope still_frame=200 ;;  # 5 s: the tones sweeping apart
    esac
    frames=$output/$name
    rm -rf "$frames"
    echo "== $name: $seconds s headless$source"
    run --module "$module" --seconds "$seconds" --mute --stats --capture "$(windows_path "$frames")" "$@"
    count=$(find "$frames" -name 'frame-*.png' | wc -l)
    [ "$count" -gt 0 ] || { echo "demo: no frames were captured" >&2; exit 1; }
    # A frame the capture had to drop leaves its number out.
    still=$frames/$(printf 'frame-%06d.png' "$still_frame")
    [ -f "$still" ] || still=$(find "$frames" -name 'frame-*.png' | sort | sed -n "$((count / 2 + 1))p")
    cp "$still" "$output/$name.png"
    make_gif "$frames" "$output/$name.gif"
done

echo "== done"
for module in ${modules:-0 1}; do
    case $module in 0) name=vu-meters ;; *) name=oscilloscope ;; esac
    echo "$name: $output/$name.gif, a still in $output/$name.png, every frame in $output/$name/"
done
