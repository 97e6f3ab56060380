#!/bin/sh
# Installs the Debian/Ubuntu packages the build, the tests and the demo need,
# 32-bit Wine among them (the i386 architecture is added for it).
# As root it runs apt-get; otherwise it prints the exact commands and stops.
set -eu

# GStreamer's plug-ins decode MP3, FLAC and Ogg Vorbis for the stand-in
# player under Wine; the encoders and PulseAudio serve its tests.
packages="cmake make g++ clang libclang-rt-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine64 xvfb xauth
  googletest libbenchmark-dev
  pkg-config libcairo2-dev libfreetype-dev libstb-dev fonts-dejavu-core
  nsis p7zip-full zip unzip file imagemagick shellcheck git
  qemu-system-x86 busybox-static xz-utils
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  lame flac vorbis-tools pulseaudio pulseaudio-utils"
packages_i386="wine32:i386 gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386"

# A name without an architecture means the machine's own (or "all"). dpkg
# lists every installed architecture of a name, so the one wanted is picked.
native_arch=$(dpkg --print-architecture)
installed() {
    case $1 in *:*) arch=${1#*:} ;; *) arch=$native_arch ;; esac
    dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "${1%%:*}" 2>/dev/null |
        grep -qx "installed \($arch\|all\)"
}
missing=
for package in $packages $packages_i386; do
    installed "$package" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

i386_listed=
dpkg --print-foreign-architectures | grep -qx i386 && i386_listed=1
if [ "$(id -u)" -ne 0 ]; then
    echo "These packages are missing. Install them, then run this again:" >&2
    [ -n "$i386_listed" ] || echo "  sudo dpkg --add-architecture i386" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi

# A mirror caught mid-sync may serve an index that does not match its signed
# release file; apt then drops that index. For the i386 index of a suite
# whose amd64 index did arrive, that leaves the i386 halves of libraries
# installed from that suite uninstallable, so the index is fetched again
# directly. The packages it lists are still checked against its hashes.
fetch_dropped_i386_indexes() {
    for amd64 in /var/lib/apt/lists/*_binary-amd64_Packages*; do
        [ -e "$amd64" ] || continue
        i386=$(echo "$amd64" | sed 's/_binary-amd64_Packages.*/_binary-i386_Packages/')
        if ls "$i386"* >/dev/null 2>&1; then continue; fi
        url=http://$(basename "$i386" | tr _ /).xz
        echo "install-deps: apt dropped $url; fetching it directly" >&2
        if /usr/lib/apt/apt-helper download-file "$url" "$i386.xz" >/dev/null 2>&1; then
            xz -dc "$i386.xz" >"$i386" && rm -f "$i386.xz"
        fi
    done
}

apt_update() {
    for _ in 1 2 3; do
        apt-get update -q && return 0
        sleep 5
    done
    echo "install-deps: apt-get update reported errors; going on with what it fetched" >&2
}

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
[ -n "$i386_listed" ] || dpkg --add-architecture i386
apt_update
# shellcheck disable=SC2086
if ! apt-get install -y -q --no-install-recommends $missing; then
    fetch_dropped_i386_indexes
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
fi
