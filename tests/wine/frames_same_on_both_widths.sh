#!/bin/sh
# The VU sweep's frames from the 32-bit build (written by its render tests)
# against those of the 64-bit build, made here: the window pixels must agree
# byte for byte.
#   frames_same_on_both_widths.sh WIN32_BUILD WIN64_BUILD
# WIN64_BUILD is the win64 preset's folder of this source tree. It is made
# if missing and brought up to date otherwise, so that both widths' frames
# come from the same sources; one configured from another tree fails.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
frames32=$1/vu-sweep-frames.bin
build64=$2
[ -f "$frames32" ] || { echo "no frames from the 32-bit build: $frames32" >&2; exit 1; }

"$here/../../cmake/build-win64.sh" "$build64" "$1/win64-build.log" vlvis_wine_tests

# What the 64-bit run said is shown only when it fails, and then whole.
if ! said=$("$here/../../cmake/wine-run.sh" --timeout 120 "$build64/wineprefix" "$build64/vlvis_wine_tests.exe" \
    --gtest_filter='*.SweepOverTheWholeTravelIsWrittenForTheOtherWidth' 2>&1); then
    printf '%s\n' "$said" >&2
    echo "the 64-bit build's sweep failed: no frames to compare" >&2
    exit 1
fi
frames64=$build64/vu-sweep-frames.bin

if difference=$(cmp "$frames32" "$frames64" 2>&1); then
    echo "same frames on both widths: $(($(wc -c <"$frames32") / (275 * 75 * 4))) frames of 275 x 75"
    exit 0
fi
echo "$difference" >&2
# cmp counts bytes from 1; a frame is 275 x 75 pixels of 4 bytes.
offset=$(echo "$difference" | sed -n 's/.* byte \([0-9]*\),.*/\1/p')
if [ -n "$offset" ]; then
    pixel=$(((offset - 1) / 4 % (275 * 75)))
    echo "the widths differ first in frame $(((offset - 1) / (275 * 75 * 4))) at pixel ($((pixel % 275)), $((pixel / 275)))" >&2
fi
exit 1
