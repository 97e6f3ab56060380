#!/bin/sh
# Checks that every function the player calls in the 32-bit DLL leaves the
# arguments to the caller (the C convention): the export, found through the
# export directory, and each entry point, found through the pointer its
# record holds. A callee-pops function on i686 (stdcall, fastcall) has "@N"
# in its symbol and returns with "ret $N"; both are looked for in the
# unstripped DLL's symbol table and code.
#   check_cdecl.sh DLL
set -u
dll=$1
nm=i686-w64-mingw32-nm
objdump=i686-w64-mingw32-objdump

# Record, offset of the entry point's slot in it (the player's fixed
# layout), entry point.
slots="visHeader 8 moduleByIndex
vuModule 2340 config
vuModule 2344 init
vuModule 2348 render
vuModule 2352 quit
scopeModule 2340 config
scopeModule 2344 init
scopeModule 2348 render
scopeModule 2352 quit"

if ! { symbols=$($nm "$dll") && headers=$($objdump -p "$dll"); }; then
    echo "FAIL: cannot read $dll"
    exit 1
fi
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"

address_of() {  # a data symbol's address, or nothing
    printf '%s\n' "$symbols" | awk -v name="_$1" '$2 ~ /^[DdBb]$/ && $3 == name { print $1 }'
}
word_at() {  # the 32-bit little-endian word at an address, in hex
    $objdump -s --start-address="0x$1" --stop-address="$(printf '0x%x' $((0x$1 + 4)))" "$dll" |
        sed -n 's/^ [0-9a-f]* \([0-9a-f]\{2\}\)\([0-9a-f]\{2\}\)\([0-9a-f]\{2\}\)\([0-9a-f]\{2\}\) .*/\4\3\2\1/p'
}
# Judges the function at an address: its symbols and its return instructions.
check_function() {  # what, address (8 hex digits)
    names=$(printf '%s\n' "$symbols" | awk -v at="$2" '$1 == at && $2 ~ /^[Tt]$/ && $3 !~ /^\./ { print $3 }' | xargs)
    if [ -z "$names" ]; then
        check "$1: a function symbol at 0x$2" false
        return
    fi
    name=${names%% *}
    pops=$($objdump -d --no-show-raw-insn --disassemble="$name" "$dll" | grep -oE 'ret +[$]0x[0-9a-f]+' | sort -u | xargs)
    found=
    case $names in *@*) found="symbol $names" ;; esac
    [ -z "$pops" ] || found="${found:+$found, }returns with $pops"
    check "$1 -> $name: cdecl (no @N in the symbol, plain ret)${found:+; found callee pops: $found}" test -z "$found"
}

export_rva=$(printf '%s\n' "$headers" | sed -n 's/^.*\[ *0\] +base\[ *1\] \([0-9a-f]*\) Export RVA$/\1/p')
image_base=$(printf '%s\n' "$headers" | sed -n 's/^ImageBase[[:space:]]*\([0-9a-f]*\)$/\1/p')
if [ -n "$export_rva" ] && [ -n "$image_base" ]; then
    check_function "export ordinal 1 (winampVisGetHeader)" "$(printf '%08x' $((0x$image_base + 0x$export_rva)))"
else
    check "export ordinal 1 found" false
fi

while read -r record offset entry; do
    base=$(address_of "$record")
    if [ -z "$base" ]; then
        check "$record.$entry: a data symbol $record" false
        continue
    fi
    target=$(word_at "$(printf '%08x' $((0x$base + offset)))")
    if [ -z "$target" ]; then
        check "$record.$entry: the slot at $record+$offset can be read" false
    elif [ "$target" = 00000000 ]; then
        check "$record.$entry: the slot at $record+$offset is filled" false
    else
        check_function "$record.$entry" "$target"
    fi
done <<EOF
$slots
EOF

[ "$failures" -eq 0 ]
