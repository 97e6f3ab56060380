#!/bin/sh
# Makes the release files from a built 32-bit vlvis003.dll: the zip, the
# installer and their checksums, in OUTDIR.
#   make-release.sh OUTDIR VERSION DLL FACE
# DLL is the build linked for users, without debug information. Called by
# the build's `release` target, which knows all of these.
set -eu
[ $# -eq 4 ] || { echo "usage: $0 OUTDIR VERSION DLL FACE" >&2; exit 2; }
out=$1 version=$2 dll=$3 face=$4
here=$(cd "$(dirname "$0")" && pwd)

for file in "$dll" "$face"; do
    [ -f "$file" ] || { echo "make-release: $file is missing" >&2; exit 1; }
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
zip_name=vlvis003-$version-win32.zip
setup_name=vlvis003-$version-setup.exe
stage=$(mktemp -d "$out/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT

cp "$dll" "$stage/vlvis003.dll"
cp "$face" "$stage/vl-vu.bmp"
# CRLF, so that every Windows text viewer shows the lines.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/readme.txt" >"$stage/readme.txt"

rm -f "$out/$zip_name" "$out/$setup_name" "$out/SHA256SUMS"
(cd "$stage" && zip -q -X -D "$out/$zip_name" vlvis003.dll vl-vu.bmp readme.txt)
makensis -V2 -WX -NOCD "-DVERSION=$version" "-DDLL=$stage/vlvis003.dll" "-DFACE=$stage/vl-vu.bmp" \
    "-DOUTFILE=$out/$setup_name" "$here/installer.nsi"
(cd "$out" && sha256sum "$zip_name" "$setup_name" >SHA256SUMS)

echo "Release $version in $out:"
(cd "$out" && ls -l "$zip_name" "$setup_name" SHA256SUMS)
