#!/bin/sh
# Lays out the Debian package's generated files under DESTDIR (debian/vlvis
# when debian/rules calls it): the launcher vlvis, vlvis-install-plugin, the
# 64-bit stand-in player and plug-in without debug information, the 32-bit
# plug-in, the manual pages with the version filled in, and the icons drawn
# from the meter face. The files that go in as they are (the desktop entry,
# the AppStream metainfo, the face) are listed in debian/vlvis.install;
# debhelper adds the copyright and changelog, compresses and packs.
#   lay-out-deb.sh DESTDIR VERSION VISHOST64 DLL64 DLL32 FACE
set -eu
[ $# -eq 6 ] || { echo "usage: $0 DESTDIR VERSION VISHOST64 DLL64 DLL32 FACE" >&2; exit 2; }
root=$1 version=$2 vishost=$3 dll64=$4 dll32=$5 face=$6
here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C
umask 022

for file in "$vishost" "$dll64" "$dll32" "$face"; do
    [ -f "$file" ] || { echo "lay-out-deb: $file is missing" >&2; exit 1; }
done

lib=$root/usr/lib/vlvis
share=$root/usr/share
mkdir -p "$root/usr/bin" "$lib/win32" "$share/man/man1" \
    "$share/icons/hicolor/48x48/apps" "$share/icons/hicolor/128x128/apps"

# The 64-bit builds keep their debug information; it is stripped here
# (dh_strip knows only ELF files). A time stamp of 0, as the link writes,
# keeps strip from putting today's into the headers.
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$lib/vishost.exe" "$vishost"
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$lib/vlvis003.dll" "$dll64"
cp "$dll32" "$lib/win32/vlvis003.dll"
# Windows files are data to Linux, not programs it runs.
chmod 644 "$lib/vishost.exe" "$lib/vlvis003.dll" "$lib/win32/vlvis003.dll"

sed "s/@VERSION@/$version/g" "$here/deb/vlvis" >"$root/usr/bin/vlvis"
sed -e 's|^packaged_dll=$|packaged_dll=/usr/lib/vlvis/win32/vlvis003.dll|' \
    -e 's|^packaged_face=$|packaged_face=/usr/share/vlvis/vl-vu.bmp|' \
    "$here/../scripts/install-wine.sh" >"$root/usr/bin/vlvis-install-plugin"
[ "$(grep -c '^packaged_[a-z]*=/usr/' "$root/usr/bin/vlvis-install-plugin")" -eq 2 ] ||
    { echo "lay-out-deb: scripts/install-wine.sh no longer has the lines packaged_dll= and packaged_face=" >&2; exit 1; }
chmod 755 "$root/usr/bin/vlvis" "$root/usr/bin/vlvis-install-plugin"

for page in vlvis vlvis-install-plugin; do
    sed "s/@VERSION@/$version/g" "$here/deb/$page.1" >"$share/man/man1/$page.1"
done
# The face on a square, with a needle near 0 VU.
for size in 48 128; do
    convert -size 137x137 xc:none "$face" -geometry +0+31 -composite \
        -stroke black -strokewidth 2 -draw "line 68,104 90,52" -resize "${size}x$size" -depth 8 \
        -define png:exclude-chunks=date,time -strip "$share/icons/hicolor/${size}x$size/apps/vlvis.png"
done
