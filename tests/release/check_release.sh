#!/bin/sh
# Checks the release files in DIST: what the zip holds, that its DLL is the
# 32-bit build with its version resource and without debug information,
# what the installer carries and where it puts it, what the Debian package
# carries, what lintian says of it and of its source package, what
# appstreamcli and desktop-file-validate say of its metainfo and desktop
# entry, and the checksums.
#   check_release.sh DIST VERSION FACE SOURCE_PACKAGE
# SOURCE_PACKAGE is the folder dpkg-buildpackage wrote the source package
# and the .changes into (make-release.sh's PACKAGE_WORK).
# The installer is a 32-bit program and cannot run here; 7-Zip lists and
# unpacks its payload instead.
set -u
dist=$1
version=$2
face=$3
source_package=$4
here=$(cd "$(dirname "$0")" && pwd)
zip=vlvis003-$version-win32.zip
setup=vlvis003-$version-setup.exe
deb=vlvis_${version}_amd64.deb

# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
same_text() { [ "$1" = "$2" ]; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check "$zip exists" test -f "$dist/$zip"
check "$setup exists" test -f "$dist/$setup"
check "$deb exists" test -f "$dist/$deb"
check "SHA256SUMS exists" test -f "$dist/SHA256SUMS"
[ "$failures" -eq 0 ] || exit 1

# Checksums: the three files, nothing else, all matching.
listed=$(sed 's/^[0-9a-f]\{64\}  //' "$dist/SHA256SUMS" | sort | tr '\n' ' ')
check "SHA256SUMS lists the three files (found: $listed)" same_text "$listed" "$setup $zip $deb "
check "SHA256SUMS matches the files" sh -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

# The zip: three files at its top level.
entries=$(unzip -Z1 "$dist/$zip" | sort | tr '\n' ' ')
check "zip holds readme.txt, vl-vu.bmp, vlvis003.dll (found: $entries)" \
    same_text "$entries" "readme.txt vl-vu.bmp vlvis003.dll "
mkdir "$work/zip"
unzip -q "$dist/$zip" -d "$work/zip"
dll=$work/zip/vlvis003.dll

pe_checked() {  # what, DLL, machine
    if "$here/../pe/check_pe.sh" "$2" "$3" "$version" >"$work/pe.txt"; then
        check "$1: $3, one export, system imports, version $version" true
    else
        sed -n 's/^FAIL/  FAIL/p' "$work/pe.txt"
        check "$1: $3, one export, system imports, version $version" false
    fi
}
pe_checked "zip's DLL" "$dll" i386
check "zip's DLL is PE32 for i386" sh -c "file -b '$dll' | grep -q '^PE32 executable (DLL).*Intel 80386'"
check "zip's DLL has no debug sections" sh -c "! i686-w64-mingw32-objdump -h '$dll' | grep -q '\.debug'"
check "zip's DLL has no symbol table" sh -c "i686-w64-mingw32-objdump -t '$dll' | grep -qx 'no symbols'"
# 7-Zip warns about a bad checksum or stray bytes after the last section.
check "zip's DLL is a clean PE file to 7-Zip" sh -c "7z l '$dll' >'$work/7z.txt' 2>&1 && ! grep -qiE 'warning|error' '$work/7z.txt'"
check "zip's face is the project's face" cmp -s "$work/zip/vl-vu.bmp" "$face"

readme=$work/zip/readme.txt
cr=$(printf '\r')
check "read-me ends every line with CRLF" sh -c "! grep -qv '$cr\$' '$readme'"
for text in "$version" 'c:\program files\winamp\vl-vu.bmp' 'CREATEFILE FAILED!!' 'ReadFile FAILED!!' \
    plugin.ini '[Analog VU meters - Velmora]' '[Z Ovi Zavoz]' 'Screen_x' 'The vlvis authors' \
    'Permission is hereby granted, free of charge'; do
    check "read-me mentions $text" grep -qF -- "$text" "$readme"
done
check "read-me has no placeholder left" sh -c "! grep -q '@[A-Z]*@' '$readme'"

# The installer: a 32-bit NSIS program carrying the DLL for the Plugins
# folder and the face for its fixed path.
check "installer is a PE32 i386 program" sh -c "file -b '$dist/$setup' | grep -q '^PE32 executable (GUI) Intel 80386'"
7z l -ba -slt "$dist/$setup" >"$work/setup.txt" 2>&1
paths=$(sed -n 's/^Path = //p' "$work/setup.txt" | sort | tr '\n' '|')
check "installer carries Plugins/vlvis003.dll, the face at C:/Program Files/Winamp/vl-vu.bmp and its uninstaller (found: $paths)" \
    same_text "$paths" "C:/Program Files/Winamp/vl-vu.bmp|Plugins/vlvis003-uninstall.exe|Plugins/vlvis003.dll|"
mkdir "$work/setup"
7z x -y -o"$work/setup" "$dist/$setup" Plugins/vlvis003.dll 'C:/Program Files/Winamp/vl-vu.bmp' >/dev/null 2>&1
check "installer's DLL is the zip's DLL" cmp -s "$work/setup/Plugins/vlvis003.dll" "$dll"
check "installer's face is the project's face" cmp -s "$work/setup/C:/Program Files/Winamp/vl-vu.bmp" "$face"

# The Debian package: its files and their modes, the 64-bit player and
# plug-in without debug information, the 32-bit plug-in and the face the
# other release files carry, and lintian, Debian's checker, clean.
dpkg-deb -c "$dist/$deb" >"$work/deb.txt"
awk '{ print $1, $6 }' "$work/deb.txt" | sort -k 2 >"$work/deb-modes.txt"
cat >"$work/deb-expected.txt" <<'LIST'
drwxr-xr-x ./
drwxr-xr-x ./usr/
drwxr-xr-x ./usr/bin/
-rwxr-xr-x ./usr/bin/vlvis
-rwxr-xr-x ./usr/bin/vlvis-install-plugin
drwxr-xr-x ./usr/lib/
drwxr-xr-x ./usr/lib/vlvis/
-rw-r--r-- ./usr/lib/vlvis/vishost.exe
-rw-r--r-- ./usr/lib/vlvis/vlvis003.dll
drwxr-xr-x ./usr/lib/vlvis/win32/
-rw-r--r-- ./usr/lib/vlvis/win32/vlvis003.dll
drwxr-xr-x ./usr/share/
drwxr-xr-x ./usr/share/applications/
-rw-r--r-- ./usr/share/applications/vlvis.desktop
drwxr-xr-x ./usr/share/doc/
drwxr-xr-x ./usr/share/doc/vlvis/
-rw-r--r-- ./usr/share/doc/vlvis/changelog.gz
-rw-r--r-- ./usr/share/doc/vlvis/copyright
drwxr-xr-x ./usr/share/icons/
drwxr-xr-x ./usr/share/icons/hicolor/
drwxr-xr-x ./usr/share/icons/hicolor/128x128/
drwxr-xr-x ./usr/share/icons/hicolor/128x128/apps/
-rw-r--r-- ./usr/share/icons/hicolor/128x128/apps/vlvis.png
drwxr-xr-x ./usr/share/icons/hicolor/48x48/
drwxr-xr-x ./usr/share/icons/hicolor/48x48/apps/
-rw-r--r-- ./usr/share/icons/hicolor/48x48/apps/vlvis.png
drwxr-xr-x ./usr/share/man/
drwxr-xr-x ./usr/share/man/man1/
-rw-r--r-- ./usr/share/man/man1/vlvis-install-plugin.1.gz
-rw-r--r-- ./usr/share/man/man1/vlvis.1.gz
drwxr-xr-x ./usr/share/metainfo/
-rw-r--r-- ./usr/share/metainfo/invalid.vlvis.vlvis.metainfo.xml
drwxr-xr-x ./usr/share/vlvis/
-rw-r--r-- ./usr/share/vlvis/vl-vu.bmp
LIST
same_listing() { diff "$1" "$2" | sed -n 's/^[<>]/  &/p'; cmp -s "$1" "$2"; }
check "package holds the expected files, in these modes (< expected, > found)" \
    same_listing "$work/deb-expected.txt" "$work/deb-modes.txt"
check "package's files belong to root" same_text "$(awk '{ print $2 }' "$work/deb.txt" | sort -u)" root/root
check "package is version $version for amd64" \
    same_text "$(dpkg-deb -f "$dist/$deb" Version Architecture | tr '\n' ' ')" "Version: $version Architecture: amd64 "
dpkg-deb -x "$dist/$deb" "$work/deb"
package=$work/deb/usr
pe_checked "package's 64-bit DLL" "$package/lib/vlvis/vlvis003.dll" x86-64
check "package's player is a PE32+ x86-64 program" sh -c "file -b '$package/lib/vlvis/vishost.exe' | grep -q '^PE32+ executable (console) x86-64'"
for file in vishost.exe vlvis003.dll; do
    check "package's $file has no debug sections" sh -c "! x86_64-w64-mingw32-objdump -h '$package/lib/vlvis/$file' | grep -q '\.debug'"
done
check "package's 32-bit plug-in is the zip's DLL" cmp -s "$package/lib/vlvis/win32/vlvis003.dll" "$dll"
check "package's face is the project's face" cmp -s "$package/share/vlvis/vl-vu.bmp" "$face"
for file in "$package/lib/vlvis/win32/vlvis003.dll" "$package/share/vlvis/vl-vu.bmp"; do
    check "vlvis-install-plugin installs ${file#"$work/deb"}" grep -qx "packaged_[a-z]*=${file#"$work/deb"}" "$package/bin/vlvis-install-plugin"
done
check "the .changes lists the package as it is in $dist" \
    cmp -s "$dist/$deb" "$source_package/$deb"
lintian --pedantic --fail-on error,warning "$source_package/vlvis_${version}_amd64.changes" >"$work/lintian.txt" 2>&1
status=$?
grep -v '^running with root privileges' "$work/lintian.txt" | sed 's/^/  lintian: /'
check "lintian finds no error and no warning in the source package and the package (status $status)" test "$status" -eq 0
metainfo=$work/deb/usr/share/metainfo/invalid.vlvis.vlvis.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" >"$work/appstream.txt" 2>&1
status=$?
sed 's/^/  appstreamcli: /' "$work/appstream.txt"
check "appstreamcli finds no error and no warning in the metainfo (status $status)" \
    sh -c "[ $status -eq 0 ] && ! grep -q '^[EW]:' '$work/appstream.txt'"
check "desktop-file-validate finds nothing in the desktop entry" \
    sh -c "out=\$(desktop-file-validate '$work/deb/usr/share/applications/vlvis.desktop' 2>&1) && [ -z \"\$out\" ] || { echo \"\$out\"; false; }"

[ "$failures" -eq 0 ]
