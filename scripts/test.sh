#!/bin/sh
# Builds all four presets from this checkout and runs every test, the
# fuzzers for a bounded time.
# On a fresh Debian or Ubuntu machine it first installs what is missing.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

. scripts/xvfb.sh
# The Wine tests get a display of their own, whatever DISPLAY says: their
# windows must not be covered by anything on a real desktop.
start_private_display
trap 'stop_private_display "$PWD/build/win64/wineprefix"' EXIT

jobs=$(nproc 2>/dev/null || echo 2)
for preset in native fuzz win32 win64; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset"
done
echo "== all tests passed"
