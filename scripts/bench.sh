#!/bin/sh
# Builds and runs the benchmarks: the level model natively, both renderers
# under 64-bit Wine on a private display, and the stand-in player's frame
# pacing with every frame captured, on an idle machine and with the other
# core kept busy. They report figures and never fail on time; run them on an
# otherwise idle machine.
#   scripts/bench.sh [frames per module, default 2000] [pacing seconds, default 30]
#   scripts/bench.sh --pacing [seconds, default 30]   the pacing benchmark alone
set -eu
cd "$(dirname "$0")/.."

pacing_only=
frames=2000
seconds=30
if [ "${1:-}" = --pacing ]; then
    pacing_only=1
    seconds=${2:-30}
else
    frames=${1:-2000}
    seconds=${2:-30}
fi

scripts/install-deps.sh

. scripts/xvfb.sh
start_private_display
bench=$PWD/build/bench
busy=
stop_all() {
    [ -n "$busy" ] && kill "$busy" 2>/dev/null
    stop_private_display "$PWD/build/win64/wineprefix" "$bench/wineprefix"
}
trap stop_all EXIT

cmake --preset win64 >/dev/null
if [ -z "$pacing_only" ]; then
    cmake --preset native >/dev/null
    cmake --build --preset native -j 2 --target vu_level_bench
    cmake --build --preset win64 -j 2 --target render_bench

    echo "== level model (native)"
    build/native/vu_level_bench
    echo "== renderers (64-bit Wine)"
    cmake/wine-run.sh "$PWD/build/win64/wineprefix" build/win64/render_bench.exe "$frames"
fi

# The player and the plug-in in a prefix of their own with the face in
# place, as the demo sets them up; the tests' prefix keeps no face.
cmake --build --preset win64 -j 2 --target vlvis003 vishost
mkdir -p "$bench"
cp build/win64/vishost.exe build/win64/vlvis003.dll "$bench/"
cmake/wine-run.sh "$bench/wineprefix" "$bench/vishost.exe" --list >/dev/null
program_files=$bench/wineprefix/drive_c/Program\ Files
[ -d "$program_files" ] || program_files=$bench/wineprefix/drive_c/program\ files
mkdir -p "$program_files/winamp"
cp assets/vl-vu.bmp "$program_files/winamp/vl-vu.bmp"

pace() {
    for module in 0 1; do
        rm -rf "$bench/frames"
        uptime
        cmake/wine-run.sh "$bench/wineprefix" "$bench/vishost.exe" --module "$module" --seconds "$seconds" \
            --mute --stats --capture 'Z:'"$(echo "$bench/frames" | tr / '\134')"
    done
    rm -rf "$bench/frames"
}
echo "== frame pacing with capture, $seconds s a module, the other core idle"
pace
echo "== frame pacing with capture, $seconds s a module, the other core kept busy by one busy loop"
sh -c 'while :; do :; done' &
busy=$!
pace
kill "$busy"
busy=
