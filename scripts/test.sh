#!/bin/sh
# Builds all four presets from this checkout and runs every test, the
# fuzzers for a bounded time; the 32-bit build's Wine tests run under 32-bit
# Wine, natively or in a qemu guest (the first line of its part says which).
# On a fresh Debian or Ubuntu machine it first installs what is missing.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

. scripts/xvfb.sh
# The Wine tests get a display of their own, whatever DISPLAY says: their
# windows must not be covered by anything on a real desktop.
start_private_display
trap 'stop_private_display "$PWD/build/win64/wineprefix" "$PWD/build/win32/wineprefix"' EXIT

jobs=$(nproc 2>/dev/null || echo 2)
# win64 before win32: the 32-bit tests compare frames with the 64-bit build.
for preset in native fuzz win64 win32; do
    echo "== $preset"
    [ "$preset" = win32 ] && echo "32-bit programs: $(cmake/wine-run.sh --win32 --way)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset"
done
echo "== all tests passed"
