#!/bin/sh
# Makes the release files in OUTDIR: the zip and the installer from a built
# 32-bit vlvis003.dll, the Debian package from the source package in debian/
# (build-deb.sh, which builds its own DLLs; the 32-bit one comes out the
# same as DLL), and their checksums.
#   make-release.sh OUTDIR VERSION DLL FACE [PACKAGE_WORK]
# DLL is the build linked for users, without debug information. Called by
# the build's `release` target, which knows all of these. The source
# package, the .changes and the rest of dpkg-buildpackage's output stay in
# PACKAGE_WORK when it is given (the release checks run lintian on them).
set -eu
[ $# -eq 4 ] || [ $# -eq 5 ] || { echo "usage: $0 OUTDIR VERSION DLL FACE [PACKAGE_WORK]" >&2; exit 2; }
out=$1 version=$2 dll=$3 face=$4 package_work=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

for file in "$dll" "$face"; do
    [ -f "$file" ] || { echo "make-release: $file is missing" >&2; exit 1; }
done

# Two builds of one commit give the same bytes: every time stamp in the zip
# and the installer is the commit's (or SOURCE_DATE_EPOCH's), in UTC, and
# the modes do not hang on the builder's umask. The Debian package's are
# debian/changelog's date, as dpkg-buildpackage sets them.
top=$(cd "$here/.." && pwd -P)
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    stamp_from="SOURCE_DATE_EPOCH"
elif [ "$(git -C "$top" rev-parse --show-toplevel 2>/dev/null)" = "$top" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct)
    stamp_from="the commit $(git -C "$top" log -1 --format=%h)"
else
    # No checkout of its own: an unpacked source archive, whose files carry
    # the commit's time when `git archive` made it.
    SOURCE_DATE_EPOCH=$(stat -c %Y "$top/CMakeLists.txt")
    stamp_from="CMakeLists.txt's modification time (not a git checkout)"
fi
case $SOURCE_DATE_EPOCH in
    ''|*[!0-9]*) echo "make-release: SOURCE_DATE_EPOCH is not a number of seconds: '$SOURCE_DATE_EPOCH'" >&2; exit 1 ;;
esac
export TZ=UTC SOURCE_DATE_EPOCH
umask 022

mkdir -p "$out"
out=$(cd "$out" && pwd)
zip_name=vlvis003-$version-win32.zip
setup_name=vlvis003-$version-setup.exe
deb_name=vlvis_${version}_amd64.deb
stage=$(mktemp -d "$out/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT

cp "$dll" "$stage/vlvis003.dll"
cp "$face" "$stage/vl-vu.bmp"
# CRLF, so that every Windows text viewer shows the lines. The licence
# goes into the installer, which shows it on its first page.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/readme.txt" >"$stage/readme.txt"
mkdir "$stage/licence"
sed 's/$/\r/' "$here/../LICENSE" >"$stage/licence/LICENSE.txt"
# The zip keeps these times and modes; the installer keeps the times and
# gives them to the files it installs.
chmod 644 "$stage"/*.* "$stage/licence/LICENSE.txt"
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*.* "$stage/licence/LICENSE.txt"

rm -f "$out/$zip_name" "$out/$setup_name" "$out/$deb_name" "$out/SHA256SUMS"
(cd "$stage" && zip -q -X -D "$out/$zip_name" vlvis003.dll vl-vu.bmp readme.txt)
makensis -V2 -WX -NOCD "-DVERSION=$version" "-DDLL=$stage/vlvis003.dll" "-DFACE=$stage/vl-vu.bmp" \
    "-DLICENSE=$stage/licence/LICENSE.txt" "-DOUTFILE=$out/$setup_name" "$here/installer.nsi"
"$here/build-deb.sh" "${package_work:-$stage/deb}" "$out"
(cd "$out" && sha256sum "$zip_name" "$setup_name" "$deb_name" >SHA256SUMS)

echo "Release $version in $out, files dated $(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') from $stamp_from:"
(cd "$out" && ls -l "$zip_name" "$setup_name" "$deb_name" SHA256SUMS)
