#!/bin/sh
# The release command: builds the 32-bit preset, runs the checks of what it
# ships (the win32 tests labelled "release": the release files made and
# taken apart, the Debian source package built, lintian on it and on the
# package, appstreamcli on its metainfo, its launcher with fakes, the
# installer and the Wine install command run, the release built twice to
# compare, the DLL's PE headers and calling convention; as root, the
# package's autopkgtest: installed, run by an ordinary user, purged),
# without the network where it can, and makes
#   dist/vlvis003-<version>-win32.zip    the DLL, the meter face, a read-me
#   dist/vlvis003-<version>-setup.exe    the installer
#   dist/vlvis_<version>_amd64.deb       the Debian package: vlvis, the meters
#                                        on the desktop's sound under Wine,
#                                        built from debian/ by dpkg-buildpackage
#                                        in a copy of the tree (its source
#                                        package and .changes are left in
#                                        build/win32/debian-package/)
#   dist/SHA256SUMS
# The version is the one set in CMakeLists.txt. The whole test suite is
# scripts/test.sh.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

. scripts/xvfb.sh
start_private_display
trap 'stop_private_display "$PWD/build/win32/wineprefix"' EXIT
echo "32-bit programs: $(cmake/wine-run.sh --win32 --way)"
scripts/run-offline.sh ctest --preset win32 -L release
cmake --build --preset win32 --target release
echo "== the release files"
ls -l dist
