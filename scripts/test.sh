#!/bin/sh
# Builds all five presets from this checkout and runs every test, the
# fuzzers for a bounded time; the 32-bit build's Wine tests run under 32-bit
# Wine, natively or in a qemu guest (the first line of its part says which).
# On a fresh Debian or Ubuntu machine it first installs what is missing.
# Everything the tests use is fetched while setting up and building (the
# guest's kernel by the win32 build), so the tests need no network: they run
# with it cut where it can be (as root), and each preset's line says so.
#   test.sh [--after-release]
# --after-release is for a run right after scripts/release.sh in the same
# checkout (CI): the win32 tests labelled "release", which it has just run
# on the same build, are left out.
set -eu
cd "$(dirname "$0")/.."

win32_selection=
case ${1:-} in
    '') ;;
    --after-release) win32_selection="-LE release" ;;
    *) echo "usage: scripts/test.sh [--after-release]" >&2; exit 2 ;;
esac

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in native tsan fuzz win64 win32; do
    echo "== building $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

. scripts/xvfb.sh
# The Wine tests get a display of their own, whatever DISPLAY says: their
# windows must not be covered by anything on a real desktop.
start_private_display
trap 'stop_private_display "$PWD/build/win64/wineprefix" "$PWD/build/win32/wineprefix"' EXIT

for preset in native tsan fuzz win64 win32; do
    echo "== testing $preset"
    selection=
    if [ "$preset" = win32 ]; then
        echo "32-bit programs: $(cmake/wine-run.sh --win32 --way)"
        selection=$win32_selection
        [ -z "$selection" ] || echo "the release checks are left out: scripts/release.sh has just run them"
    fi
    # shellcheck disable=SC2086
    scripts/run-offline.sh ctest --preset "$preset" $selection
done
echo "== all tests passed"
