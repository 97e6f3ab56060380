#!/bin/sh
# Builds the release files of the commit checked out in SOURCE twice, one
# build after the other in two folders under WORK whose paths differ in
# length, with another time zone and umask, and compares them byte for byte.
# One folder is a clone (time stamps from the commit), the other unpacked
# from `git archive` (time stamps from the files); outside a checkout both
# are copies of the tree. The folders stay behind when a file differs.
#   reproducible_release_test.sh SOURCE WORK VERSION
set -u
source=$(cd "$1" && pwd -P)
work=$2
version=$3
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd -P)
unset SOURCE_DATE_EPOCH

# Where each build's file lands, from the folder it was built in.
files="build/win32/release/vlvis003.dll dist/vlvis003-$version-win32.zip dist/vlvis003-$version-setup.exe
  dist/vlvis_${version}_amd64.deb dist/SHA256SUMS"

fetch() {  # folder, "clone" or "archive"
    if [ -z "$commit" ]; then
        mkdir "$1" && tar -C "$source" --exclude=./build --exclude=./dist -cf - . | tar -C "$1" -xpf -
    elif [ "$2" = clone ]; then
        git clone -q --shared --no-checkout "$source" "$1" && git -C "$1" checkout -q "$commit"
    else
        mkdir "$1" && git -C "$source" archive "$commit" | tar -C "$1" -xf -
    fi
}
build() {  # folder, time zone, umask
    echo "building in $1 at $(date -u '+%H:%M:%S UTC'), TZ=$2, umask $3"
    (cd "$1" && umask "$3" && export TZ="$2" &&
        cmake --preset win32 >build.log 2>&1 &&
        cmake --build --preset win32 -j2 --target vlvis003 release >>build.log 2>&1) ||
        { tail -n 20 "$1/build.log"; echo "FAIL the build in $1"; exit 1; }
}

commit=$(git -C "$source" rev-parse --verify -q HEAD 2>/dev/null) &&
    [ "$(git -C "$source" rev-parse --show-toplevel)" = "$source" ] || commit=
if [ -n "$commit" ]; then
    echo "commit $commit"
    [ -z "$(git -C "$source" status --porcelain --untracked-files=no)" ] ||
        echo "note: uncommitted changes in $source are not part of the builds"
else
    echo "$source is not a git checkout: both builds are copies of its files"
fi

a=$work/a
b=$work/second-folder
if ! { fetch "$a" clone && fetch "$b" archive; }; then
    echo "FAIL fetching the sources"
    exit 1
fi
build "$a" UTC 022
build "$b" CHAST-12:45 077

# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"
same() {  # a file of both builds, byte for byte; else where they first differ
    difference=$(cmp "$a/$1" "$b/$1" 2>&1) && return 0
    offset=$(printf '%s\n' "$difference" | sed -n 's/.* differ: byte \([0-9]*\),.*/\1/p')
    [ -n "$offset" ] && offset=$((offset - 1)) &&
        difference="first difference at offset $offset ($(printf '0x%x' "$offset"))"
    echo "     $difference"
    return 1
}
for file in $files; do
    check "$file identical ($(wc -c 2>/dev/null <"$a/$file" || echo no) bytes)" same "$file"
done

# Neither build's folder may show in its DLLs, the product or the debug build.
without() { ! grep -q -a -F "$1" "$2"; }
for dir in "$a" "$b"; do
    for dll in build/win32/release/vlvis003.dll build/win32/vlvis003.dll; do
        check "$dir/$dll holds no build folder's path" without "$dir" "$dir/$dll"
    done
done

if [ "$failures" -ne 0 ]; then
    echo "both builds are kept for a look: $a $b"
    exit 1
fi
rm -rf "$work"
