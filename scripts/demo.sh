#!/bin/sh
# The demo: builds the plug-in and the stand-in player (vishost.exe), puts
# the committed meter face where the plug-in reads it, and runs the VU
# meters on the player's built-in program; --scope runs the oscilloscope.
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
usage: scripts/demo.sh [--scope] [--headless] [--seconds S] [--output DIR]

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
while [ $# -gt 0 ]; do
    case $1 in
        --scope) modules=1; shift ;;
        --headless) headless=1; shift ;;
        --seconds | --output)
            [ $# -ge 2 ] || { usage >&2; exit 2; }
            case $1 in
                --seconds) seconds=$2 ;;
                --output) output=$2 ;;
            esac
            shift 2 ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done
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
    echo "== running module ${modules:-0}: Esc in the player's window, or closing it, ends the run"
    run --module "${modules:-0}"
    exit 0
fi

mkdir -p "$output"
output=$(cd "$output" && pwd)
windows_path() { printf 'Z:%s' "$1" | tr / '\134'; }
for module in ${modules:-0 1}; do
    case $module in
        0) name=vu-meters still_frame=110 ;;  # 2.75 s: the loud passage
        *) name=oscilloscope still_frame=200 ;;  # 5 s: the tones sweeping apart
    esac
    frames=$output/$name
    rm -rf "$frames"
    echo "== $name: $seconds s headless"
    run --module "$module" --seconds "$seconds" --mute --stats --capture "$(windows_path "$frames")"
    count=$(find "$frames" -name 'frame-*.png' | wc -l)
    [ "$count" -gt 0 ] || { echo "demo: no frames were captured" >&2; exit 1; }
    [ "$still_frame" -lt "$count" ] || still_frame=$((count / 2))
    cp "$frames/$(printf 'frame-%06d.png' "$still_frame")" "$output/$name.png"
    # Every second frame at 20 frames a second keeps the GIF small and on time.
    set --
    i=0
    for frame in "$frames"/frame-*.png; do
        [ $((i % 2)) -eq 0 ] && set -- "$@" "$frame"
        i=$((i + 1))
    done
    convert -delay 5 -loop 0 "$@" -layers Optimize "$output/$name.gif"
done

echo "== done"
for module in ${modules:-0 1}; do
    case $module in 0) name=vu-meters ;; *) name=oscilloscope ;; esac
    echo "$name: $output/$name.gif, a still in $output/$name.png, every frame in $output/$name/"
done
