#!/bin/sh
# Makes the Debian package the one way there is: the source package in
# debian/ built with dpkg-buildpackage, without the network where this user
# can cut it. It builds in a copy of this tree under WORK, so that the
# source package, the .changes and the rest of dpkg-buildpackage's output
# land in WORK rather than beside the checkout, and copies the .deb to
# OUTDIR. The copy goes when the build succeeded.
#   build-deb.sh WORK OUTDIR
# The copy holds the files git tracks (as they are in the working tree), or,
# outside a checkout, every file but the build's. Every time stamp in the
# package is debian/changelog's date: dpkg-buildpackage takes
# SOURCE_DATE_EPOCH from there, so one set by the caller is dropped.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 WORK OUTDIR" >&2; exit 2; }
work=$1 out=$2
top=$(cd "$(dirname "$0")/.." && pwd -P)
unset SOURCE_DATE_EPOCH
umask 022

version=$(cd "$top" && dpkg-parsechangelog -SVersion)
rm -rf "$work"
mkdir -p "$work/vlvis-$version" "$out"
tree=$work/vlvis-$version
if [ "$(git -C "$top" rev-parse --show-toplevel 2>/dev/null)" = "$top" ]; then
    (cd "$top" && git ls-files -z | xargs -0 tar -cf - --no-recursion) | tar -C "$tree" -xf -
else
    tar -C "$top" --exclude=./build --exclude=./dist --exclude=./demo-output --exclude='./obj-*' \
        --exclude=./debian/vlvis --exclude=./debian/.debhelper --exclude=./.git -cf - . | tar -C "$tree" -xf -
fi

log=$work/dpkg-buildpackage.log
echo "building the Debian package in $tree (log: $log)"
if ! (cd "$tree" && "$top/scripts/run-offline.sh" dpkg-buildpackage -us -uc "-j$(nproc 2>/dev/null || echo 2)") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "build-deb: dpkg-buildpackage failed; its log: $log" >&2
    exit 1
fi
cp "$work/vlvis_${version}_amd64.deb" "$out/"
# The copy with its builds has served; the source package stays.
rm -rf "$tree"
