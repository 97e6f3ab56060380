#!/bin/sh
# The release command: builds the 32-bit preset, runs its checks, and makes
#   dist/vlvis003-<version>-win32.zip    the DLL, the meter face, a read-me
#   dist/vlvis003-<version>-setup.exe    the installer
#   dist/SHA256SUMS
# The version is the one set in CMakeLists.txt.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
ctest --preset win32
cmake --build --preset win32 --target release
