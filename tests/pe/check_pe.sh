#!/bin/sh
# Reads the headers of a built vlvis003.dll and checks what the player and
# the user rely on: the machine, the export, the imported DLLs and the
# version resource that the file's properties show.
#   check_pe.sh DLL i386|x86-64 VERSION
set -u
dll=$1
machine=$2
version=$3

case $machine in
    i386) objdump=i686-w64-mingw32-objdump; format=pei-i386; magic='010b	(PE32)'; arch='i386,' ;;
    x86-64) objdump=x86_64-w64-mingw32-objdump; format=pei-x86-64; magic='020b	(PE32+)'; arch='i386:x86-64,' ;;
    *) echo "unknown machine $machine"; exit 2 ;;
esac

headers=$($objdump -p "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
has() { printf '%s\n' "$headers" | grep -qF -- "$1"; }

check "file format $format" has "file format $format"
check "optional header magic $magic" has "Magic			$magic"
check "architecture $machine" sh -c "$objdump -f '$dll' | grep -qF 'architecture: $arch'"
check "export directory names vlvis003.dll" sh -c "printf '%s\n' \"\$0\" | grep -qE '^Name[[:space:]]+[0-9a-f]+ vlvis003\.dll$'" "$headers"
check "ordinal base 1" has "Ordinal Base 			1"

# The one exported function, by name and ordinal, and nothing else.
addresses=$(printf '%s\n' "$headers" | sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' | grep -cE '^\s+\[')
names=$(printf '%s\n' "$headers" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s+\[')
check "one export address (found $addresses)" test "$addresses" -eq 1
check "one export name: winampVisGetHeader at ordinal 1 (found: $names)" \
    sh -c "printf '%s\n' \"\$0\" | grep -qxE '[[:space:]]+\[ *0\] winampVisGetHeader'" "$names"
check "ordinal 1 is the exported address" sh -c "printf '%s\n' \"\$0\" | grep -qE '\[ *0\] \+base\[ *1\] [0-9a-f]+ Export RVA'" "$headers"

# Only system DLLs: a user installs one file.
imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
check "imports something" test -n "$imports"
for name in $imports; do
    case $(printf '%s' "$name" | tr '[:upper:]' '[:lower:]') in
        kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll) check "imports system DLL $name" true ;;
        *) check "imports only system DLLs, not $name" false ;;
    esac
done

# The version resource, read by 7-Zip (not by the tool that wrote it): it
# unpacks the resource as UTF-16 text in resource-script form.
info=$(7z x -so "$dll" .rsrc/version.txt 2>/dev/null | iconv -f UTF-16LE -t UTF-8 | tr -d '\r')
value() { printf '%s\n' "$info" | sed -n "s/^ *VALUE \"$1\", *\"\\(.*\\)\"\$/\\1/p"; }
numeric=$(printf '%s' "$version" | tr . ,),0
check "version resource present" test -n "$info"
check "FILEVERSION $numeric" sh -c "printf '%s\n' \"\$0\" | grep -qxE 'FILEVERSION +$numeric'" "$info"
check "PRODUCTVERSION $numeric" sh -c "printf '%s\n' \"\$0\" | grep -qxE 'PRODUCTVERSION +$numeric'" "$info"
check "FILETYPE VFT_DLL" sh -c "printf '%s\n' \"\$0\" | grep -qxE 'FILETYPE +VFT_DLL'" "$info"
check "FileVersion \"$version\" (found \"$(value FileVersion)\")" test "$(value FileVersion)" = "$version"
check "ProductVersion \"$version\" (found \"$(value ProductVersion)\")" test "$(value ProductVersion)" = "$version"
check "OriginalFilename vlvis003.dll" test "$(value OriginalFilename)" = vlvis003.dll
for key in FileDescription ProductName CompanyName LegalCopyright InternalName; do
    check "$key is filled in" test -n "$(value "$key")"
done

[ "$failures" -eq 0 ]
