#!/bin/sh
# Checks the release files in DIST: what the zip holds, that its DLL is the
# 32-bit build with its version resource and without debug information,
# what the installer carries and where it puts it, and the checksums.
#   check_release.sh DIST VERSION FACE
# The installer is a 32-bit program and cannot run here; 7-Zip lists and
# unpacks its payload instead.
set -u
dist=$1
version=$2
face=$3
here=$(cd "$(dirname "$0")" && pwd)
zip=vlvis003-$version-win32.zip
setup=vlvis003-$version-setup.exe

# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
same_text() { [ "$1" = "$2" ]; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check "$zip exists" test -f "$dist/$zip"
check "$setup exists" test -f "$dist/$setup"
check "SHA256SUMS exists" test -f "$dist/SHA256SUMS"
[ "$failures" -eq 0 ] || exit 1

# Checksums: both files, nothing else, all matching.
listed=$(sed 's/^[0-9a-f]\{64\}  //' "$dist/SHA256SUMS" | sort | tr '\n' ' ')
check "SHA256SUMS lists the two files (found: $listed)" same_text "$listed" "$setup $zip "
check "SHA256SUMS matches the files" sh -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

# The zip: three files at its top level.
entries=$(unzip -Z1 "$dist/$zip" | sort | tr '\n' ' ')
check "zip holds readme.txt, vl-vu.bmp, vlvis003.dll (found: $entries)" \
    same_text "$entries" "readme.txt vl-vu.bmp vlvis003.dll "
mkdir "$work/zip"
unzip -q "$dist/$zip" -d "$work/zip"
dll=$work/zip/vlvis003.dll

if "$here/../pe/check_pe.sh" "$dll" i386 "$version" >"$work/pe.txt"; then
    check "zip's DLL: 32-bit, one export, system imports, version $version" true
else
    sed -n 's/^FAIL/  FAIL/p' "$work/pe.txt"
    check "zip's DLL: 32-bit, one export, system imports, version $version" false
fi
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
    plugin.ini '[Analog VU meters - Velmora]' '[Z Ovi Zavoz]' 'Screen_x'; do
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

[ "$failures" -eq 0 ]
