#!/bin/sh
# Installs the Debian/Ubuntu packages the build, the tests and the demo need,
# 32-bit Wine among them (the i386 architecture is added for it).
# As root it runs apt-get; otherwise it prints the exact commands and stops.
#   install-deps.sh [--accept-unverified-i386-index]
#
# Only what apt verified is installed. A mirror caught mid-sync serves
# indexes that do not match its signed release files, and apt rejects them:
# apt-get update is tried again after a pause, and if an index stays
# rejected and the packages cannot be installed without it, the script says
# which index and what apt said, installs nothing and stops with status 75.
# --accept-unverified-i386-index (or VLVIS_ACCEPT_UNVERIFIED_I386_INDEX=1,
# for the scripts that run this one) is for machines whose mirror is known
# to keep serving a stale i386 index: such an index is then fetched directly
# and used anyway, with a warning saying what is not verified.
set -eu

accept_unverified=${VLVIS_ACCEPT_UNVERIFIED_I386_INDEX:-}
[ "$accept_unverified" != 0 ] || accept_unverified=
for argument; do
    case $argument in
        --accept-unverified-i386-index) accept_unverified=1 ;;
        *) echo "usage: install-deps.sh [--accept-unverified-i386-index]" >&2; exit 2 ;;
    esac
done

# GStreamer's plug-ins decode MP3, FLAC and Ogg Vorbis for the stand-in
# player under Wine; the encoders and PulseAudio serve its tests. lintian
# checks the Debian package; procps' pgrep waits for the package test's
# user's processes to end before the user is removed; xprop (x11-utils),
# which the package recommends, tells its launcher whether a window manager
# runs.
packages="cmake make g++ clang libclang-rt-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine64 xvfb xauth x11-utils
  googletest libbenchmark-dev
  pkg-config libcairo2-dev libfreetype-dev libstb-dev fonts-dejavu-core
  nsis p7zip-full zip unzip file imagemagick shellcheck git lintian procps
  qemu-system-x86 busybox-static xz-utils
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  lame flac vorbis-tools pulseaudio pulseaudio-utils"
# The desktop's sound servers for the live package test and the benchmark:
# PipeWire with its PulseAudio service, WirePlumber and a D-Bus session bus
# beside PulseAudio; notify-send for the launcher.
packages="$packages pipewire-pulse wireplumber pipewire-bin dbus-user-session libnotify-bin"
# The Debian package's source package: debhelper builds it, appstreamcli and
# desktop-file-validate check its metainfo and desktop entry, autopkgtest
# runs its test.
packages="$packages debhelper appstream desktop-file-utils autopkgtest"
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

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# apt-get update, tried again after a pause while an index fails: a mirror
# caught mid-sync serves indexes that do not match its signed release file.
# What apt said about each index it rejected as unverified on the last try
# stays in $work/rejected, one "URL  reason" a line.
update_tries=3
update_pause=20
apt_update() {
    try=1
    while :; do
        status=0
        apt-get update -q >"$work/update.log" 2>&1 || status=$?
        cat "$work/update.log"
        sed -n 's/^[EW]: Failed to fetch \([^ ]*\)  *\(.*\)$/\1  \2/p' "$work/update.log" >"$work/failed"
        { grep -i -e 'unexpected size' -e 'hash' -e 'signature' "$work/failed" || true
          sed -n 's/^[EW]: \(GPG error: .*\|The repository .* is not signed.*\)$/\1/p' "$work/update.log"
        } >"$work/rejected"
        [ "$status" -ne 0 ] || [ -s "$work/failed" ] || [ -s "$work/rejected" ] || return 0
        [ "$try" -lt "$update_tries" ] || return 0
        echo "install-deps: apt-get update failed on an index (try $try of $update_tries); again in $update_pause s" >&2
        sleep "$update_pause"
        try=$((try + 1))
    done
}

# Where apt keeps the index at a URL: its lists folder, the URL's slashes
# made underscores.
lists=/var/lib/apt/lists/
eval "$(apt-config shell lists Dir::State::lists/d)"
list_file() { printf '%s%s' "$lists" "$(printf '%s' "$1" | sed 's|^[a-z]*://||; s|/|_|g')"; }

# shellcheck disable=SC2086
missing_i386=$(printf '%s\n' $missing | grep ':i386$' | tr '\n' ' ')
accept_option="--accept-unverified-i386-index or VLVIS_ACCEPT_UNVERIFIED_I386_INDEX=1"

# Only with the opt-in: each i386 package index that apt rejected is fetched
# directly and written where apt keeps its indexes, uncompressed, and the
# warning says what is not verified, with what the suite's signed release
# file lists for the index beside what was taken.
take_unverified_i386_indexes() {
    helper=$(PATH=$PATH:/usr/lib/apt command -v apt-helper) || return 0
    while read -r url said; do
        case $url in */binary-i386/Packages.xz) ;; *) continue ;; esac
        rm -f "$work/index.xz"
        if ! "$helper" download-file "$url" "$work/index.xz" >/dev/null 2>&1; then
            echo "install-deps: could not fetch $url" >&2
            continue
        fi
        suite=${url%%/dists/*}/dists/$(printf '%s' "${url#*/dists/}" | cut -d/ -f1)
        signed=$(awk -v entry="${url#"$suite"/}" '/^SHA256:/ { sums = 1; next } /^[^ ]/ { sums = 0 }
            sums && $3 == entry { print "SHA256 " $1 ", " $2 " bytes" }' "$(list_file "$suite/InRelease")" 2>/dev/null)
        taken="SHA256 $(sha256sum <"$work/index.xz" | cut -d' ' -f1), $(wc -c <"$work/index.xz") bytes"
        index=$(list_file "${url%.xz}")
        xz -dc "$work/index.xz" >"$index.new" && mv "$index.new" "$index"
        cat >&2 <<WARNING
install-deps: WARNING: an unverified index is used ($accept_option):
    $url
apt rejected it ("$said"). The signed release file of $suite
lists ${signed:-no such file}; the copy taken: $taken. So nothing vouches
for the package hashes it lists: the i386 packages installed now from that
suite (${missing_i386}and the i386 packages they depend on) are checked
only against hashes from this unverified index. It was written into
$lists by hand; the next apt-get update that gets a verified copy replaces it.
WARNING
    done <"$work/rejected"
}

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
[ -n "$i386_listed" ] || dpkg --add-architecture i386
apt_update

install() {
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
}
installable() {
    # shellcheck disable=SC2086
    apt-get install -s -q --no-install-recommends $missing >"$work/simulated.log" 2>&1
}
# Tried first without installing: an index apt rejected may not be needed.
if installable; then
    [ ! -s "$work/rejected" ] ||
        echo "install-deps: the packages install without the indexes apt rejected; nothing is taken from those" >&2
    install
    exit 0
fi
# Not for want of an index apt rejected: apt's own words say why.
if [ ! -s "$work/rejected" ]; then
    install
    exit
fi
if [ -n "$accept_unverified" ]; then
    take_unverified_i386_indexes
    if installable; then
        install
        exit 0
    fi
fi

{
    echo
    echo "install-deps: stopped, nothing installed: apt rejected these package indexes"
    echo "$update_tries times, $update_pause s apart, and the packages cannot be installed without them:"
    sed 's/   */\n        /; s/^/    /' "$work/rejected"
    echo "A mirror part way through an update serves indexes that do not match its"
    echo "signed release file; once it has caught up, usually within hours, run:"
    echo "    sudo $0"
    [ -n "$accept_unverified" ] || {
        echo "On a machine whose mirror is known to keep serving a stale i386 index,"
        echo "$0 --accept-unverified-i386-index (or VLVIS_ACCEPT_UNVERIFIED_I386_INDEX=1"
        echo "for the scripts that run it) takes such an index anyway, unverified."
    }
} >&2
exit 75
