#!/bin/sh
# Makes the release files from a built 32-bit vlvis003.dll and the 64-bit
# stand-in player and plug-in: the zip, the installer, the Debian package
# and their checksums, in OUTDIR.
#   make-release.sh OUTDIR VERSION DLL FACE VISHOST64 DLL64
# DLL is the build linked for users, without debug information. Called by
# the build's `release` target, which knows all of these.
set -eu
[ $# -eq 6 ] || { echo "usage: $0 OUTDIR VERSION DLL FACE VISHOST64 DLL64" >&2; exit 2; }
out=$1 version=$2 dll=$3 face=$4 vishost64=$5 dll64=$6
here=$(cd "$(dirname "$0")" && pwd)

for file in "$dll" "$face" "$vishost64" "$dll64"; do
    [ -f "$file" ] || { echo "make-release: $file is missing" >&2; exit 1; }
done

# Two builds of one commit give the same bytes: every time stamp in the
# files is the commit's (or SOURCE_DATE_EPOCH's), in UTC, and the modes do
# not hang on the builder's umask.
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
# CRLF, so that every Windows text viewer shows the lines.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/readme.txt" >"$stage/readme.txt"
# The zip keeps these times and modes; the installer keeps the times and
# gives them to the files it installs.
chmod 644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

rm -f "$out/$zip_name" "$out/$setup_name" "$out/$deb_name" "$out/SHA256SUMS"
(cd "$stage" && zip -q -X -D "$out/$zip_name" vlvis003.dll vl-vu.bmp readme.txt)
makensis -V2 -WX -NOCD "-DVERSION=$version" "-DDLL=$stage/vlvis003.dll" "-DFACE=$stage/vl-vu.bmp" \
    "-DOUTFILE=$out/$setup_name" "$here/installer.nsi"
"$here/make-deb.sh" "$out" "$version" "$vishost64" "$dll64" "$dll" "$face"
(cd "$out" && sha256sum "$zip_name" "$setup_name" "$deb_name" >SHA256SUMS)

echo "Release $version in $out, files dated $(date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC') from $stamp_from:"
(cd "$out" && ls -l "$zip_name" "$setup_name" "$deb_name" SHA256SUMS)
