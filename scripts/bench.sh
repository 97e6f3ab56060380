#!/bin/sh
# Builds and runs the benchmarks: the level model natively, and both
# renderers under 64-bit Wine on a private display. They report figures and
# never fail on time; run them on an otherwise idle machine.
#   scripts/bench.sh [frames per module, default 2000]
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

. scripts/xvfb.sh
start_private_display
trap 'stop_private_display "$PWD/build/win64/wineprefix"' EXIT

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target vu_level_bench
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j 2 --target render_bench

echo "== level model (native)"
build/native/vu_level_bench
echo "== renderers (64-bit Wine)"
cmake/wine-run.sh "$PWD/build/win64/wineprefix" build/win64/render_bench.exe "${1:-2000}"
