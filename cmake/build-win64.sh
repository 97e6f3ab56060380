#!/bin/sh
# Brings the win64 preset's build of this source tree up to date for the
# given targets, making it first if it is missing. A build folder made from
# another tree is refused, so that both widths always come from the same
# sources. The build's output goes to LOG, and its tail to stderr on failure.
#   build-win64.sh BUILD64 LOG TARGET...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/.." && pwd -P)
build64=$1
log=$2
shift 2

if [ -f "$build64/CMakeCache.txt" ]; then
    home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build64/CMakeCache.txt")
    if [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$source" ]; then
        echo "the 64-bit build $build64 was made from other sources (${home:-unknown}), not from $source;" >&2
        echo "remove it, and it is made anew from these sources" >&2
        exit 1
    fi
else
    echo "making the 64-bit build $build64 (the win64 preset)"
    (cd "$source" && cmake --preset win64 >/dev/null)
fi
echo "bringing the 64-bit build up to date: $*"
if ! cmake --build "$build64" -j "$(nproc 2>/dev/null || echo 2)" --target "$@" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "the 64-bit build failed; its log: $log" >&2
    exit 1
fi
