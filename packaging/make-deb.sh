#!/bin/sh
# Makes the Debian package vlvis_<VERSION>_amd64.deb in OUTDIR: the launcher
# vlvis with the 64-bit stand-in player and plug-in, the meter face, a
# desktop entry with an icon drawn from the face, the 32-bit plug-in with
# vlvis-install-plugin, manual pages, copyright and changelog.
#   make-deb.sh OUTDIR VERSION VISHOST64 DLL64 DLL32 FACE
# A tree laid out by hand and packed by dpkg-deb: no maintainer scripts are
# needed (the icon and menu caches update through dpkg's triggers), so
# debhelper would add a source package's worth of files for nothing.
# Every time stamp is SOURCE_DATE_EPOCH, which make-release.sh sets.
set -eu
[ $# -eq 6 ] || { echo "usage: $0 OUTDIR VERSION VISHOST64 DLL64 DLL32 FACE" >&2; exit 2; }
out=$1 version=$2 vishost=$3 dll64=$4 dll32=$5 face=$6
here=$(cd "$(dirname "$0")" && pwd)
: "${SOURCE_DATE_EPOCH:?make-deb: SOURCE_DATE_EPOCH must be set}"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

for file in "$vishost" "$dll64" "$dll32" "$face"; do
    [ -f "$file" ] || { echo "make-deb: $file is missing" >&2; exit 1; }
done

deb=$out/vlvis_${version}_amd64.deb
stage=$(mktemp -d "$out/.deb.XXXXXX")
trap 'rm -rf "$stage"' EXIT
root=$stage/root
lib=$root/usr/lib/vlvis
share=$root/usr/share
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$lib/win32" "$share/vlvis" "$share/applications" \
    "$share/man/man1" "$share/doc/vlvis" "$share/icons/hicolor/48x48/apps" "$share/icons/hicolor/128x128/apps"

# The 64-bit files are the test builds' own, with debug information; it is
# stripped here. A time stamp of 0, as the link writes, keeps strip from
# putting today's into the headers.
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$lib/vishost.exe" "$vishost"
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$lib/vlvis003.dll" "$dll64"
cp "$dll32" "$lib/win32/vlvis003.dll"
cp "$face" "$share/vlvis/vl-vu.bmp"

sed "s/@VERSION@/$version/g" "$here/deb/vlvis" >"$root/usr/bin/vlvis"
sed -e 's|^packaged_dll=$|packaged_dll=/usr/lib/vlvis/win32/vlvis003.dll|' \
    -e 's|^packaged_face=$|packaged_face=/usr/share/vlvis/vl-vu.bmp|' \
    "$here/../scripts/install-wine.sh" >"$root/usr/bin/vlvis-install-plugin"
[ "$(grep -c '^packaged_[a-z]*=/usr/' "$root/usr/bin/vlvis-install-plugin")" -eq 2 ] ||
    { echo "make-deb: scripts/install-wine.sh no longer has the lines packaged_dll= and packaged_face=" >&2; exit 1; }
chmod 755 "$root/usr/bin/vlvis" "$root/usr/bin/vlvis-install-plugin"

for page in vlvis vlvis-install-plugin; do
    sed "s/@VERSION@/$version/g" "$here/deb/$page.1" | gzip -9n >"$share/man/man1/$page.1.gz"
done
cp "$here/deb/vlvis.desktop" "$share/applications/vlvis.desktop"
# The face on a square, with a needle near 0 VU.
for size in 48 128; do
    convert -size 137x137 xc:none "$face" -geometry +0+31 -composite \
        -stroke black -strokewidth 2 -draw "line 68,104 90,52" -resize "${size}x$size" -depth 8 \
        -define png:exclude-chunks=date,time -strip "$share/icons/hicolor/${size}x$size/apps/vlvis.png"
done
cp "$here/deb/copyright" "$share/doc/vlvis/copyright"
gzip -9n <"$here/deb/changelog" >"$share/doc/vlvis/changelog.gz"
changelog_version=$(sed -n '1s/^vlvis (\([^)]*\)).*/\1/p' "$here/deb/changelog")
[ "$changelog_version" = "$version" ] ||
    { echo "make-deb: packaging/deb/changelog's newest entry is for $changelog_version, not $version" >&2; exit 1; }

# dpkg's own measure: each file's size in KiB rounded up, 1 KiB for any
# other entry; the folders' sizes would differ from one file system to another.
installed_size=$(cd "$root" && find usr -printf '%y %s\n' |
    awk '$1 == "f" { kib += int(($2 + 1023) / 1024); next } { kib += 1 } END { print kib }')
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$installed_size/" "$here/deb/control" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f | sort | xargs md5sum) >"$root/DEBIAN/md5sums"

find "$root" -type d -exec chmod 755 {} +
find "$root" -type f ! -path "$root/usr/bin/*" -exec chmod 644 {} +
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -f "$deb"
# One compression thread: xz's output would otherwise depend on the cores.
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$root" "$deb" >/dev/null
